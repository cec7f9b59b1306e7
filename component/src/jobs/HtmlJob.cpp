#include "HtmlJob.h"

#include "ThreadForms.h"

#include "core/Files.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <random>

namespace corvane {

bool isTemporaryHtmlName(std::u16string_view name)
{
    static constexpr std::u16string_view tail = u"$.htm";
    return name.size() >= 1 + tail.size() && name.front() == u'$'
        && equalsIgnoreCase(name.substr(name.size() - tail.size()), tail);
}

namespace {

// An address with a scheme ("https:", "file:", "about:") stands as it is; anything else is a
// file path, taken from the current folder when it is relative.
UString resolveAddress(const UString &address)
{
    const auto letter = [](char16_t c) { return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z'); };
    std::error_code ec;
    if (!address.empty() && letter(address[0])) {
        for (size_t i = 1; i < address.size(); ++i) {
            const char16_t c = address[i];
            // "notes:v2.html" in the current folder is that file, not an address.
            if (c == u':') {
                if (address.compare(i + 1, 2, u"//") == 0 || !std::filesystem::exists(systemPath(address), ec))
                    return address;
                break;
            }
            if (!letter(c) && !(c >= u'0' && c <= u'9') && c != u'+' && c != u'-' && c != u'.')
                break;
        }
    }
    if (!address.empty() && address[0] == u'/')
        return address;
    const std::filesystem::path here = std::filesystem::current_path(ec);
    if (ec)
        throw RuntimeError(err::PathNotFound, u"Path not found: " + address + u" (the current folder is gone)");
    return fromUtf8((here / toUtf8(address)).lexically_normal().string());
}

// The number of a temporary HTML file's name: 111111 to 999999, drawn from a generator seeded
// from the time of day on every call, as the name's number always was.
// Numbers for temporary file names. One generator per thread, seeded once: a generator seeded
// from the clock at every call repeats its numbers for calls within one clock tick (a tick is
// up to 16 ms on Windows), and every redraw after a taken name would repeat too.
class TemporaryNumbers {
public:
    long next() { return static_cast<long>(std::floor(m_fraction(generator()) * 888889 + 111111)); }

private:
    static std::mt19937 &generator()
    {
        thread_local std::mt19937 random = [] {
            std::random_device device;
            const auto clock = std::chrono::steady_clock::now().time_since_epoch().count();
            std::seed_seq seed{device(), device(), static_cast<unsigned>(clock), static_cast<unsigned>(clock >> 32)};
            return std::mt19937(seed);
        }();
        return random;
    }
    std::uniform_real_distribution<double> m_fraction{0.0, 1.0};
};

// Queues a page on the browser, to print on the asking thread's current printer; its outcome
// comes back to the asking thread.
std::shared_ptr<PageTicket> requestPage(JobContext &job, UString address, bool onlyItself, std::shared_ptr<void> fileHold)
{
    Platform &platform = job.platform;
    platform.prepareBrowser();
    HtmlRequest request;
    request.address = std::move(address);
    request.onlyItself = onlyItself;
    request.printer = jobPrinter(platform).currentDeviceName();
    request.fileHold = std::move(fileHold);
    request.failed = [late = job.late](int32_t number, const UString &description) {
        late->PrintError(number, description);
    };
    request.home = job.late->home();
    request.ticket = std::make_shared<PageTicket>();
    request.ticket->cancelled = [late = job.late, address = request.address](const UString &why) {
        const UString description = u"Path/File access error: the page " + address + u" was not printed: " + why;
        reportHtmlOutcome({HtmlOutcome::Kind::Failed, address, err::PathFileAccessError, description});
        late->PrintError(err::PathFileAccessError, description);
    };
    request.home->addPage(request.ticket);
    reportHtmlOutcome({HtmlOutcome::Kind::Requested, request.address, 0, {}});
    // The queued work owns the request: if the browser cannot take it, the page fails there.
    const std::shared_ptr<PageTicket> ticket = request.ticket;
    auto queued = std::make_shared<HtmlRequest>(std::move(request));
    platform.onBrowserThread([&platform, queued] {
        try {
            threadBrowser(platform).request(std::move(*queued));
        } catch (...) {
            const RuntimeError error = currentRuntimeError();
            HtmlRequest &lost = *queued;
            if (lost.ticket && !lost.ticket->end())
                return;
            runAt(lost.home, [address = lost.address, error] {
                reportHtmlOutcome({HtmlOutcome::Kind::Failed, address, error.number(), error.description()});
            });
            if (lost.failed)
                lost.failed(error.number(), error.description());
            if (lost.home)
                lost.home->pageEnded();
        }
    });
    return ticket;
}

} // namespace

JobEnd printHtmlDocument(JobContext &job, const UString &address)
{
    if (address.empty())
        return JobEnd::NoEvent;
    const UString resolved = resolveAddress(address);
    const std::shared_ptr<PageTicket> ticket = requestPage(job, resolved, false, nullptr);
    // A temporary file of the object's, printed again (PrintDoc with FileName still naming it),
    // stays while this page is pending.
    for (TemporaryFile &file : job.temporaryFiles) {
        if (file.path == resolved)
            file.page = ticket;
    }
    return JobEnd::NoEvent;
}

JobEnd printHtmlSource(JobContext &job, const UString &source)
{
    if (source.empty())
        return JobEnd::NoEvent;
    // A platform that cannot print HTML says so before any file of the caller's text is written.
    job.platform.prepareBrowser();
    // The file goes to the user's own temporary folder, "$" + six digits + "$.htm", created
    // anew (another number is drawn when the name is taken).
    UString &fileName = job.properties.FileName;
    const UString folder = job.platform.temporaryFolder();
    const UString separator = !folder.empty() && isPathSeparator(folder.back()) ? UString() : UString(1, kPathSeparator);
    const std::string bytes = toUtf8(source) + "\r\n";
    TemporaryNumbers numbers;
    std::shared_ptr<void> fileHold;
    for (int attempt = 0; attempt < 100 && !fileHold; ++attempt) {
        fileName = folder + separator + u"$" + decimal(numbers.next()) + u"$.htm";
        fileHold = job.platform.createTemporaryFile(fileName, bytes);
    }
    if (!fileHold)
        throw RuntimeError(err::FileAlreadyExists);

    // Wait until the file shows its length, letting messages through now and then; the wait is
    // bounded, and a file that vanished is an error.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (long poll = 0;; ++poll) {
        std::error_code ec;
        const auto size = std::filesystem::file_size(systemPath(fileName), ec);
        if (ec)
            throw RuntimeError(err::FileNotFound);
        if (size != 0)
            break;
        if (std::chrono::steady_clock::now() > deadline)
            throw RuntimeError(err::PathFileAccessError);
        if (poll % 1000 == 0)
            job.platform.processEvents();
    }
    const std::shared_ptr<PageTicket> ticket = requestPage(job, fileName, true, std::move(fileHold));

    // The object keeps its latest file only (the one FileName names): the ones before hold
    // earlier documents (customer data) and go now, once no pending page needs them.
    std::vector<TemporaryFile> &written = job.temporaryFiles;
    written.push_back({fileName, ticket});
    const auto pending = [](const TemporaryFile &file) {
        const auto page = file.page.lock();
        return page && (page->state() == PageTicket::State::Waiting || page->state() == PageTicket::State::Delivering);
    };
    std::vector<UString> older;
    for (auto it = written.begin(); it + 1 != written.end(); ++it) {
        if (!pending(*it))
            older.push_back(it->path);
    }
    if (!older.empty()) {
        job.platform.deleteLeftoverFiles(folder, [&](std::u16string_view name) {
            return std::any_of(older.begin(), older.end(), [&](const UString &path) { return fileNameOf(path) == name; });
        });
        std::error_code ec;
        written.erase(std::remove_if(written.begin(), written.end() - 1,
                                     [&](const TemporaryFile &file) {
                                         return !std::filesystem::exists(systemPath(file.path), ec);
                                     }),
                      written.end() - 1);
    }
    return JobEnd::NoEvent;
}

} // namespace corvane
