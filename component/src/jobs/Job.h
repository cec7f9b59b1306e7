// What every print job works with, and the thread's one open job.
//
// A job runs inside a JobHold and either returns (it printed, or had nothing to print, or queued
// its page) or raises the RuntimeError that ended it, having abandoned what it opened. The
// object turns that into its events and result; jobs never raise PrintComplete or PrintError
// themselves, except for the progress of pages and the late outcome of queued pages.
#pragma once

#include "core/EventFanOut.h"
#include "core/Properties.h"
#include "ports/Platform.h"

#include <memory>
#include <vector>

namespace corvane {

// A temporary HTML file an object wrote, and the last page asked of it (while that page is
// pending the file stays).
struct TemporaryFile {
    UString path;
    std::weak_ptr<PageTicket> page;
};

// The object as a job sees it: its live property record, its events, and its platform.
struct JobContext {
    Properties &properties;
    EventFanOut &events;
    Platform &platform;
    // The object's events for outcomes that come after the call returns.
    std::shared_ptr<LateEvents> late;
    // The temporary HTML files this object wrote and has not deleted yet, the latest last.
    std::vector<TemporaryFile> &temporaryFiles;
};

// How a job that did not fail ended.
enum class JobEnd {
    Printed, // PrintComplete follows
    NoEvent, // nothing to print, or a page queued whose outcome comes later
};

// A thread prints one job at a time. A print method called while the thread's job is open (from
// one of its event handlers) is refused before it touches the printer, the rich-text form, the
// browser or the shell, so the open job goes on whole and alone; a printer chosen meanwhile is
// chosen when the job ends. The hold ends before the job's closing event is raised, so a handler
// of PrintComplete or PrintError may start the next job.
class JobHold {
public:
    JobHold();
    ~JobHold() { release(); }
    JobHold(const JobHold &) = delete;
    JobHold &operator=(const JobHold &) = delete;
    void release();

    // True while a job of the calling thread is open.
    static bool open();
    // Chooses the printer when the open job ends.
    static void selectWhenDone(Platform &platform, const UString &name);

private:
    bool m_held = true;
};

// The thread's printer surface.
PrinterSurface &jobPrinter(Platform &platform);

// Makes the first installed printer whose name, in upper case, is the given one the current
// printer; nothing changes when none is. A printer of a print server that did not answer cannot
// be looked for: it is chosen as named, and its jobs then say what became of them (rather than
// going, unasked, to another printer).
void selectByName(PrinterCatalogue &printers, const UString &name);

// The paper settings of the next job, each passed over when it fails or does not fit the
// printer's 16-bit setting.
void applyPaperSettings(PrinterCatalogue &printer, const LayoutParameters &layout);

} // namespace corvane
