#include "EventFanOut.h"

#include <algorithm>

namespace corvane {

void EventFanOut::subscribe(EventSink *sink)
{
    if (sink && std::find(m_sinks.begin(), m_sinks.end(), sink) == m_sinks.end())
        m_sinks.push_back(sink);
}

void EventFanOut::unsubscribe(EventSink *sink)
{
    m_sinks.erase(std::remove(m_sinks.begin(), m_sinks.end(), sink), m_sinks.end());
}

void EventFanOut::PrintComplete()
{
    const auto sinks = m_sinks;
    for (EventSink *sink : sinks)
        sink->PrintComplete();
}

void EventFanOut::PrintError(Variant &number, Variant &description)
{
    const auto sinks = m_sinks;
    for (EventSink *sink : sinks)
        sink->PrintError(number, description);
}

void EventFanOut::PrintProgress(Variant &page)
{
    const auto sinks = m_sinks;
    for (EventSink *sink : sinks)
        sink->PrintProgress(page);
}

void EventFanOut::PrintError(const RuntimeError &error)
{
    Variant number = errorNumber(error.number());
    Variant description = Variant::string(error.description());
    PrintError(number, description);
}

void LateEvents::close()
{
    std::lock_guard lock(m_mutex);
    m_events = nullptr;
}

void LateEvents::PrintError(int32_t number, const UString &description)
{
    runAt(m_home, [self = shared_from_this(), number, description] { self->raise(number, description); });
}

void LateEvents::raise(int32_t number, const UString &description)
{
    std::lock_guard lock(m_mutex);
    if (!m_events)
        return;
    Variant errNumber = Variant::longValue(number);
    Variant errDescription = Variant::string(description);
    m_events->PrintError(errNumber, errDescription);
}

Variant errorNumber(int32_t number)
{
    return number == err::DocumentFileNotFound ? Variant::integer(static_cast<int16_t>(number))
                                               : Variant::longValue(number);
}

UString errorResultText(int32_t number, std::u16string_view description)
{
    return decimal(number) + u"|" + UString(description);
}

} // namespace corvane
