// Records a Corvane object's events as text lines ("PrintProgress 1", "PrintError -1 File Not
// Found!", "PrintComplete"); optionally rewrites the arguments of PrintError.
#pragma once

#include <corvane/Corvane.h>

#include <functional>
#include <string>
#include <vector>

namespace corvane::testing {

class EventRecorder : public EventSink {
public:
    std::vector<std::string> events;
    std::function<void(Variant &, Variant &)> onError;
    std::function<void(Variant &)> onProgress;

    void PrintComplete() override { events.push_back("PrintComplete"); }
    void PrintError(Variant &number, Variant &description) override
    {
        events.push_back("PrintError " + toUtf8(number.toString()) + " " + toUtf8(description.toString()));
        if (onError)
            onError(number, description);
    }
    void PrintProgress(Variant &page) override
    {
        events.push_back("PrintProgress " + toUtf8(page.toString()));
        if (onProgress)
            onProgress(page);
    }
};

} // namespace corvane::testing
