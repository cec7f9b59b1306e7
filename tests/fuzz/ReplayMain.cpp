// The main() of a fuzz target in an ordinary build (libFuzzer brings its own in the fuzzing
// build): runs LLVMFuzzerTestOneInput once on every file under the folders and files named on
// the command line, all of them in sorted order, so that each test run checks the seed corpus
// and every input that once broke the target, the same way each time. An input that crashes,
// aborts, lets an exception escape or runs past the time limit ends the run, naming the file.
//   <target> [-timeout=SECONDS] FOLDER_OR_FILE...
// Files whose names start with a dot (.gitkeep) are not inputs. Anything else that cannot be read
// as an input (a FIFO, a dangling link, a folder or file without permission, a file too big to
// hold) stops the run, naming it: an input passed over would pass unchecked.
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size);
// A target may define this to set itself up once; libFuzzer calls it before the first input.
extern "C" __attribute__((weak)) int LLVMFuzzerInitialize(int *argc, char ***argv);

namespace {

namespace fs = std::filesystem;

// The input being run, for the signal handlers, which may only write what is already there: a
// copy of its name that stays put while the next file is read.
char current[4096] = "(no input yet)";
unsigned timeLimit = 10;

void setCurrent(const std::string &name)
{
    const size_t length = std::min(name.size(), sizeof current - 1);
    std::memcpy(current, name.data(), length);
    current[length] = 0;
}

// The whole option value as seconds, 1 to a day; 0 when it is not that.
unsigned parseSeconds(const char *text)
{
    char *end = nullptr;
    errno = 0;
    const unsigned long value = std::strtoul(text, &end, 10);
    if (errno != 0 || end == text || *end != 0 || text[0] == '-' || value < 1 || value > 86400)
        return 0;
    return static_cast<unsigned>(value);
}

int refuse(const std::string &what, const std::string &name)
{
    std::fprintf(stderr, "fuzz replay: %s: %s\n", what.c_str(), name.c_str());
    return 2;
}

void say(const char *text)
{
    const size_t length = std::strlen(text);
    for (size_t done = 0; done < length;) {
        const ssize_t n = write(STDERR_FILENO, text + done, length - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

const char *signalName(int sig)
{
    switch (sig) {
    case SIGSEGV: return "SIGSEGV";
    case SIGBUS: return "SIGBUS";
    case SIGILL: return "SIGILL (a trap)";
    case SIGFPE: return "SIGFPE";
    case SIGABRT: return "SIGABRT (an abort)";
    default: return "a signal";
    }
}

// What each signal did before: the default, or a sanitizer's report when a build has them.
struct sigaction previous[NSIG];

extern "C" void onCrash(int sig, siginfo_t *info, void *)
{
    say("fuzz replay: ");
    say(current);
    say(" crashed with ");
    say(signalName(sig));
    say("\n");
    // Hand the signal on to whoever had it before, so that the test runner sees the process die
    // of it (and a sanitizer prints its report): a fault comes again when the handler returns,
    // a signal that was sent (abort) is sent again.
    sigaction(sig, &previous[sig], nullptr);
    if (info->si_code <= 0)
        std::raise(sig);
}

extern "C" void onAlarm(int)
{
    say("fuzz replay: ");
    say(current);
    say(" ran past the time limit\n");
    _exit(3);
}

void installHandlers()
{
    // An input that recurses without end overflows the stack; the handler runs on a stack of its own.
    static char altStack[1 << 16];
    stack_t stack{};
    stack.ss_sp = altStack;
    stack.ss_size = sizeof altStack;
    sigaltstack(&stack, nullptr);
    struct sigaction action {};
    action.sa_sigaction = onCrash;
    action.sa_flags = SA_ONSTACK | SA_SIGINFO;
    sigemptyset(&action.sa_mask);
    for (const int sig : {SIGSEGV, SIGBUS, SIGILL, SIGFPE, SIGABRT})
        sigaction(sig, &action, &previous[sig]);
    struct sigaction alarmAction {};
    alarmAction.sa_handler = onAlarm;
    sigemptyset(&alarmAction.sa_mask);
    sigaction(SIGALRM, &alarmAction, nullptr);
}

bool isInput(const fs::path &path)
{
    const std::string name = path.filename().string();
    return !name.empty() && name[0] != '.';
}

} // namespace

int main(int argc, char **argv)
{
    if (LLVMFuzzerInitialize)
        LLVMFuzzerInitialize(&argc, &argv);

    std::vector<fs::path> inputs;
    size_t named = 0;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg.rfind("-timeout=", 0) == 0) {
            timeLimit = parseSeconds(arg.c_str() + 9);
            if (timeLimit == 0)
                return refuse("-timeout needs a whole number of seconds from 1 to 86400", arg);
            continue;
        }
        if (arg.rfind("-", 0) == 0) {
            std::fprintf(stderr, "fuzz replay: unknown option %s\n", arg.c_str());
            return 2;
        }
        ++named;
        std::error_code ec;
        const fs::file_status status = fs::status(arg, ec);
        if (ec && ec != std::errc::no_such_file_or_directory)
            return refuse(ec.message(), arg);
        if (fs::is_directory(status)) {
            fs::recursive_directory_iterator it(arg, ec), end;
            std::string folder = arg; // the folder being entered, for an error on the way in
            for (; !ec && it != end; it.increment(ec)) {
                if (!isInput(it->path())) {
                    if (it->is_directory())
                        it.disable_recursion_pending();
                    continue;
                }
                std::error_code kind;
                if (it->is_directory(kind)) {
                    folder = it->path().string();
                    continue;
                }
                if (!it->is_regular_file(kind))
                    return refuse(kind ? kind.message() : "not a regular file", it->path().string());
                inputs.push_back(it->path());
            }
            if (ec)
                return refuse("cannot read the folder (" + ec.message() + ")", folder);
        } else if (fs::is_regular_file(status)) {
            inputs.push_back(arg);
        } else if (fs::exists(status)) {
            return refuse("not a regular file", arg);
        } else {
            return refuse("no such file or folder", arg);
        }
    }
    if (named == 0) {
        std::fprintf(stderr, "usage: %s [-timeout=SECONDS] FOLDER_OR_FILE...\n", argv[0]);
        return 2;
    }
    if (inputs.empty()) {
        std::fprintf(stderr, "fuzz replay: no inputs in what was named\n");
        return 2;
    }
    std::sort(inputs.begin(), inputs.end());

    installHandlers();
    using Clock = std::chrono::steady_clock;
    const Clock::time_point start = Clock::now();
    Clock::duration slowest{};
    std::string slowestName;
    for (const fs::path &path : inputs) {
        const std::string name = path.string();
        setCurrent(name);
        // A buffer of exactly the input's size, as libFuzzer gives, so reads past its end go
        // where the sanitizers (when they are on) see them. Inputs are small; one that cannot be
        // held or read is refused, not taken for a crash of the target.
        std::unique_ptr<uint8_t[]> data;
        size_t size = 0;
        try {
            std::ifstream file(path, std::ios::binary);
            const std::string bytes((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
            if (!file.is_open() || (!file.good() && !file.eof()))
                return refuse("cannot read", name);
            size = bytes.size();
            data.reset(new uint8_t[size]);
            std::memcpy(data.get(), bytes.data(), size);
        } catch (const std::exception &e) {
            return refuse(std::string("cannot read (") + e.what() + ")", name);
        }

        const Clock::time_point before = Clock::now();
        alarm(timeLimit);
        try {
            LLVMFuzzerTestOneInput(data.get(), size);
        } catch (const std::exception &e) {
            std::fprintf(stderr, "fuzz replay: %s let an exception escape: %s\n", current, e.what());
            return 1;
        } catch (...) {
            std::fprintf(stderr, "fuzz replay: %s let an exception escape\n", current);
            return 1;
        }
        alarm(0);
        const Clock::duration took = Clock::now() - before;
        if (took >= slowest) {
            slowest = took;
            slowestName = name;
        }
    }
    setCurrent("(after the last input)");
    const auto ms = [](Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("fuzz replay: %zu input%s ran to the end in %.1f ms; the slowest, %s, in %.1f ms\n", inputs.size(),
                inputs.size() == 1 ? "" : "s", ms(Clock::now() - start), slowestName.c_str(), ms(slowest));
    return 0;
}
