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
CORVANE_EXPORT void setHtmlOutcomeObserver(std::function<void(const HtmlOutcome &)> observer);
// Requests made in the whole process and not yet ended.
CORVANE_EXPORT int pendingHtmlRequests();

} // namespace corvane

namespace corvane::qt {

// For a program's last step: returns the status, or, when a page whose print never came back
// is still held by the browser engine (which would stop the process on the way out), flushes
// the standard streams and ends the process at once (_exit) with it.
CORVANE_EXPORT int exitStatusAfterHtml(int status);

// HTML pages requested and not yet printed (or given up), in the whole process.
CORVANE_EXPORT int pendingHtmlPrints();
// Lets the application's events run until every requested page has printed or the time is up;
// false on time-out.
CORVANE_EXPORT bool waitForHtmlPrints(int64_t milliseconds);

} // namespace corvane::qt
