// The events of one object, raised to every subscriber in order.
#pragma once

#include "Apartment.h"

#include <corvane/Errors.h>
#include <corvane/Events.h>

#include <memory>
#include <mutex>
#include <vector>

namespace corvane {

class EventFanOut {
public:
    void subscribe(EventSink *sink);
    void unsubscribe(EventSink *sink);

    // Events go to a copy of the subscriber list, so a handler may unsubscribe.
    void PrintComplete();
    void PrintError(Variant &number, Variant &description);
    void PrintProgress(Variant &page);

    // PrintError for a run-time error, from the error itself: what a handler writes back into
    // the arguments goes nowhere.
    void PrintError(const RuntimeError &error);

private:
    std::vector<EventSink *> m_sinks;
};

// The events of an object as work that outlives the call sees them (a page printed later):
// they are raised on the object's own thread (posted there when they come from another, and
// raised when it lets its messages through), while the object lives, and reach nobody once it
// is gone.
class LateEvents : public std::enable_shared_from_this<LateEvents> {
public:
    explicit LateEvents(EventFanOut &events)
        : m_events(&events)
        , m_home(Apartment::current())
    {
    }
    // The object is going: later events reach nobody. Waits for an event being raised.
    void close();
    void PrintError(int32_t number, const UString &description);
    // The thread the object belongs to.
    const std::shared_ptr<Apartment> &home() const { return m_home; }

private:
    void raise(int32_t number, const UString &description);

    std::recursive_mutex m_mutex; // held while an event is raised, so the object outlives it
    EventFanOut *m_events;
    std::shared_ptr<Apartment> m_home;
};

// The number of an error as its event and result carry it: -1, the document driver's own
// "File Not Found!", is an Integer; the run-time's error numbers are Longs.
Variant errorNumber(int32_t number);

// The error result text: number in decimal, "|", description.
UString errorResultText(int32_t number, std::u16string_view description);

} // namespace corvane
