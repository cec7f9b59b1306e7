#include "Job.h"

#include "ThreadForms.h"

#include "core/Steps.h"
#include "core/ThreadLocal.h"

#include <csignal>
#include <mutex>
#include <optional>

namespace corvane {

namespace {

thread_local bool t_jobOpen = false;

// A printer chosen with SetPrinter while the thread's job is open, with the platform whose
// surface it is chosen on: it takes effect when the job ends.
struct PendingPrinter {
    Platform *platform;
    UString name;
};
std::optional<PendingPrinter> &pendingPrinter() { return threadLocal<std::optional<PendingPrinter>>(); }

// A property value given to a 16-bit device setting; false when it does not fit.
bool fits16(int32_t value) { return value >= -32768 && value <= 32767; }

// A file written past the process's size limit (RLIMIT_FSIZE) raises SIGXFSZ, whose default
// ends the process: with it ignored the write fails with EFBIG instead, and the job that wrote
// ends in "Disk full". A handler the application installed itself is left alone. Windows has
// neither the limit nor the signal.
void ignoreFileSizeSignal()
{
#if defined(SIGXFSZ)
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction current {};
        if (::sigaction(SIGXFSZ, nullptr, &current) == 0 && current.sa_handler == SIG_DFL
            && !(current.sa_flags & SA_SIGINFO)) {
            struct sigaction ignore {};
            ignore.sa_handler = SIG_IGN;
            sigemptyset(&ignore.sa_mask);
            ::sigaction(SIGXFSZ, &ignore, nullptr);
        }
    });
#endif
}

} // namespace

JobHold::JobHold()
{
    ignoreFileSizeSignal();
    if (t_jobOpen)
        throw RuntimeError(err::InvalidProcedureCall,
                           u"Invalid procedure call or argument: a print job of this thread is still open "
                           u"(a print method was called from one of its event handlers)");
    t_jobOpen = true;
}

void JobHold::release()
{
    if (!m_held)
        return;
    m_held = false;
    t_jobOpen = false;
    if (std::optional<PendingPrinter> &waiting = pendingPrinter()) {
        const PendingPrinter pending = std::move(*waiting);
        waiting.reset();
        try {
            selectByName(threadSurface(*pending.platform), pending.name);
        } catch (...) {
        }
    }
}

bool JobHold::open() { return t_jobOpen; }

void JobHold::selectWhenDone(Platform &platform, const UString &name)
{
    pendingPrinter() = PendingPrinter{&platform, name};
}

PrinterSurface &jobPrinter(Platform &platform) { return threadSurface(platform); }

void selectByName(PrinterCatalogue &printers, const UString &name)
{
    const UString wanted = toUpper(name);
    const int count = printers.PrinterCount();
    for (int i = 0; i < count; ++i) {
        if (toUpper(printers.DeviceName(i)) == wanted) {
            printers.selectPrinter(i);
            return;
        }
    }
    printers.selectUnlisted(name);
}

void applyPaperSettings(PrinterCatalogue &printer, const LayoutParameters &layout)
{
    const auto apply = [](auto &&set, int32_t value) {
        if (fits16(value))
            skipOnError([&] { set(static_cast<int16_t>(value)); });
    };
    apply([&](int16_t v) { printer.setOrientation(v); }, layout.PrnPaperOrientation);
    apply([&](int16_t v) { printer.setPaperSize(v); }, layout.PrnPaperSize);
    apply([&](int16_t v) { printer.setPaperBin(v); }, layout.PrnPaperBin);
    apply([&](int16_t v) { printer.setPrintQuality(v); }, layout.PrnPrintQuality);
    apply([&](int16_t v) { printer.setCopies(v); }, layout.PrnCopies);
}

} // namespace corvane
