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
// Waits until every page the calling thread asked for has printed or failed, raising on this
// thread the events those pages leave for its objects (and letting the application's events
// run when this is the application's thread). On time-out the pages that have not begun
// printing are cancelled: they never print, and each raises PrintError 75 on its object
// ("... was not printed: ... it was cancelled ..."); false then. A page reported failed never
// prints, and one reported printed was handed to its printer.
CORVANE_EXPORT bool waitForHtmlPrints(int64_t milliseconds);
// One part of such a wait, for a caller that must look up now and then (a signal): at most
// milliseconds; true once the calling thread has no page pending. Cancels nothing.
CORVANE_EXPORT bool waitForHtmlPrintsFor(int64_t milliseconds);
// Cancels the calling thread's pages that have not begun printing, raising PrintError on their
// objects at once; the number cancelled. waitedMilliseconds goes into the description.
CORVANE_EXPORT int cancelHtmlPrints(int64_t waitedMilliseconds);
// Raises the events that work done on other threads left for the calling thread's objects (a
// page that failed after its method returned), in order; the number raised.
CORVANE_EXPORT int deliverThreadEvents();

} // namespace corvane::qt
