// Pages printed from HTML finish after the print method has returned: the browser loads and
// prints them while the thread lets its messages through. A program that ends once its calls
// return waits for them with these.
#pragma once

#include "Export.h"
#include "UString.h"

#include <cstdint>
#include <functional>

namespace corvane {

// A request made (Requested) and how it ended, for whoever watches the process's requests (the
// command-line tools).
struct HtmlOutcome {
    enum class Kind { Requested, Printed, Failed, Cancelled };
    Kind kind;
    UString address;
    int32_t number = 0;
    UString description;
};

// The watcher of every request's outcome in the process (empty for none); it is called on the
// thread whose form the request was made on.
void setHtmlOutcomeObserver(std::function<void(const HtmlOutcome &)> observer);
// Requests made in the whole process and not yet ended.
int pendingHtmlRequests();

} // namespace corvane
