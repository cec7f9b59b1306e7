#include "platform/qt/picture/Confinement.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include <fcntl.h>
#include <grp.h>
#include <sched.h>
#include <seccomp.h>
#include <sys/ioctl.h>
#include <linux/landlock.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/ptrace.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace corvane::picture {

namespace {

// Argument comparisons for the rules below, every field set.
scmp_arg_cmp equals(unsigned argument, scmp_datum_t value) { return {argument, SCMP_CMP_EQ, value, 0}; }
scmp_arg_cmp masked(unsigned argument, scmp_datum_t mask, scmp_datum_t value)
{
    return {argument, SCMP_CMP_MASKED_EQ, mask, value};
}

// Allows a syscall whatever its arguments.
bool allow(scmp_filter_ctx filter, int syscall) { return seccomp_rule_add(filter, SCMP_ACT_ALLOW, syscall, 0) == 0; }

// What decoding, Qt's offscreen platform, its font database and the C library need, and no more:
// reading what is already open or may be opened for reading, memory, time, threads, signals to
// itself. Nothing that writes a file other than the descriptors it was given, makes a socket,
// starts a program or a process, or reaches another process.
bool installFilter()
{
    scmp_filter_ctx filter = seccomp_init(SCMP_ACT_ERRNO(EPERM));
    if (!filter)
        return false;
    bool ok = true;
    for (const int syscall : {SCMP_SYS(read),          SCMP_SYS(readv),
                              SCMP_SYS(pread64),       SCMP_SYS(write),
                              SCMP_SYS(writev),        SCMP_SYS(close),
                              SCMP_SYS(fstat),         SCMP_SYS(newfstatat),
                              SCMP_SYS(stat),          SCMP_SYS(lstat),
                              SCMP_SYS(statx),         SCMP_SYS(statfs),
                              SCMP_SYS(fstatfs),       SCMP_SYS(lseek),
                              SCMP_SYS(getdents64),    SCMP_SYS(readlink),
                              SCMP_SYS(readlinkat),    SCMP_SYS(access),
                              SCMP_SYS(faccessat),     SCMP_SYS(faccessat2),
                              SCMP_SYS(getcwd),        SCMP_SYS(dup),
                              SCMP_SYS(dup2),          SCMP_SYS(dup3),
                              SCMP_SYS(pipe2),         SCMP_SYS(eventfd2),
                              SCMP_SYS(poll),          SCMP_SYS(ppoll),
                              SCMP_SYS(mmap),          SCMP_SYS(munmap),
                              SCMP_SYS(mprotect),      SCMP_SYS(mremap),
                              SCMP_SYS(madvise),       SCMP_SYS(brk),
                              SCMP_SYS(rt_sigaction),  SCMP_SYS(rt_sigprocmask),
                              SCMP_SYS(rt_sigreturn),  SCMP_SYS(sigaltstack),
                              SCMP_SYS(futex),         SCMP_SYS(set_robust_list),
                              SCMP_SYS(rseq),          SCMP_SYS(getpid),
                              SCMP_SYS(gettid),        SCMP_SYS(getuid),
                              SCMP_SYS(geteuid),       SCMP_SYS(getgid),
                              SCMP_SYS(getegid),       SCMP_SYS(getgroups),
                              SCMP_SYS(getresuid),     SCMP_SYS(getresgid),
                              SCMP_SYS(uname),         SCMP_SYS(sysinfo),
                              SCMP_SYS(clock_gettime), SCMP_SYS(clock_getres),
                              SCMP_SYS(gettimeofday),  SCMP_SYS(nanosleep),
                              SCMP_SYS(fadvise64),     SCMP_SYS(clock_nanosleep),
                              SCMP_SYS(sched_yield),   SCMP_SYS(sched_getaffinity),
                              SCMP_SYS(getrandom),     SCMP_SYS(exit),
                              SCMP_SYS(exit_group)})
        ok = ok && allow(filter, syscall);

    // Files open for reading only: any flag that writes, creates or truncates is refused.
    // (O_TMPFILE needs O_WRONLY or O_RDWR.)
    const scmp_datum_t writing = O_WRONLY | O_RDWR | O_CREAT | O_TRUNC | O_APPEND;
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(openat), 1, masked(2, writing, 0)) == 0
      && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(open), 1, masked(1, writing, 0)) == 0;
    // openat2 and clone3 pass their flags in memory the filter cannot read: as if the kernel
    // lacked them, so that the C library falls back on openat and clone.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(openat2), 0) == 0
      && seccomp_rule_add(filter, SCMP_ACT_ERRNO(ENOSYS), SCMP_SYS(clone3), 0) == 0;
    // Threads (Qt converts and scales large images on several), never a process nor a namespace.
    const scmp_datum_t cloneMask = CLONE_THREAD | CLONE_NEWNS | CLONE_NEWUSER | CLONE_NEWPID | CLONE_NEWNET
                                 | CLONE_NEWIPC | CLONE_NEWUTS | CLONE_NEWCGROUP;
    ok = ok
      && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(clone), 1, masked(0, cloneMask, scmp_datum_t(CLONE_THREAD)))
             == 0;
    // Signals only to itself (abort, a thread's own).
    const auto self = static_cast<scmp_datum_t>(getpid());
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(kill), 1, equals(0, self)) == 0
      && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(tgkill), 1, equals(0, self)) == 0;
    // Limits may be read, not raised.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(prlimit64), 2, equals(0, 0), equals(2, 0)) == 0
      && allow(filter, SCMP_SYS(getrlimit));
    // Descriptor flags and copies; no locks, leases or notifications on files of others.
    for (const int command : {F_GETFD, F_SETFD, F_GETFL, F_SETFL, F_DUPFD_CLOEXEC})
        ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(fcntl), 1, equals(1, scmp_datum_t(command))) == 0;
    // isatty and the like; no ioctl that acts on a device.
    ok = ok && seccomp_rule_add(filter, SCMP_ACT_ALLOW, SCMP_SYS(ioctl), 1, equals(1, TCGETS)) == 0;
    ok = ok && seccomp_load(filter) == 0;
    seccomp_release(filter);
    return ok;
}

// Files may be read only beneath the system's own folders (libraries, Qt's plugins, fonts and
// their configuration) and the process's own /proc entries: not the user's files, and not another
// process's memory or environment (/proc/PID/mem of the printing process, which a child of the
// same user could otherwise read). Nothing may be written or made anywhere. A kernel without
// Landlock leaves the filter alone to hold.
bool restrictFiles()
{
    const long abi = syscall(SYS_landlock_create_ruleset, nullptr, 0, LANDLOCK_CREATE_RULESET_VERSION);
    if (abi < 1)
        return errno == ENOSYS || errno == EOPNOTSUPP;
    landlock_ruleset_attr attributes{};
    attributes.handled_access_fs = LANDLOCK_ACCESS_FS_EXECUTE | LANDLOCK_ACCESS_FS_WRITE_FILE
                                 | LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_READ_DIR
                                 | LANDLOCK_ACCESS_FS_REMOVE_DIR | LANDLOCK_ACCESS_FS_REMOVE_FILE
                                 | LANDLOCK_ACCESS_FS_MAKE_CHAR | LANDLOCK_ACCESS_FS_MAKE_DIR
                                 | LANDLOCK_ACCESS_FS_MAKE_REG | LANDLOCK_ACCESS_FS_MAKE_SOCK
                                 | LANDLOCK_ACCESS_FS_MAKE_FIFO | LANDLOCK_ACCESS_FS_MAKE_BLOCK
                                 | LANDLOCK_ACCESS_FS_MAKE_SYM;
    const int ruleset = static_cast<int>(syscall(SYS_landlock_create_ruleset, &attributes, sizeof attributes, 0));
    if (ruleset < 0)
        return false;
    bool ok = true;
    for (const char *path : {"/usr", "/lib", "/lib64", "/etc", "/var/cache/fontconfig", "/dev/null", "/dev/urandom",
                             "/proc/self", "/sys/devices/system/cpu"}) {
        const int fd = open(path, O_PATH | O_CLOEXEC);
        if (fd < 0)
            continue; // a folder this system does not have
        struct stat status {};
        const bool folder = fstat(fd, &status) == 0 && S_ISDIR(status.st_mode);
        landlock_path_beneath_attr rule{};
        rule.allowed_access = LANDLOCK_ACCESS_FS_READ_FILE | LANDLOCK_ACCESS_FS_EXECUTE
                            | (folder ? LANDLOCK_ACCESS_FS_READ_DIR : 0);
        rule.parent_fd = fd;
        ok = ok && syscall(SYS_landlock_add_rule, ruleset, LANDLOCK_RULE_PATH_BENEATH, &rule, 0) == 0;
        close(fd);
    }
    ok = ok && syscall(SYS_landlock_restrict_self, ruleset, 0) == 0;
    close(ruleset);
    return ok;
}

bool limitTo(int resource, rlim_t value)
{
    const rlimit limit{value, value};
    return setrlimit(resource, &limit) == 0;
}

} // namespace

bool confine()
{
    // Nothing of the caller's: no environment, no working folder. (The component starts it with
    // neither, in a session of its own without a terminal; this holds whoever starts it.)
    if (clearenv() != 0 || chdir("/") != 0)
        return false;
    // Root's rights are given up for good before anything else: no groups, then the group and the
    // user of nobody, so that nothing can set them back. Another user has no rights to give up.
    const bool dropped = getuid() == 0 || geteuid() == 0;
    if (dropped) {
        if (setgroups(0, nullptr) != 0 || setresgid(nobodyId, nobodyId, nobodyId) != 0
            || setresuid(nobodyId, nobodyId, nobodyId) != 0)
            return false;
        if (setuid(0) == 0 || getuid() == 0 || geteuid() == 0)
            return false;
    }
    // A write to a regular file fails (EFBIG) rather than ending the process.
    signal(SIGXFSZ, SIG_IGN);
    // No file may grow, the processor not be used for more than its share, and no core file be
    // written. The process limit counts every process and thread of the user: nobody's are
    // capped (the filter already refuses new processes, and Qt needs its image threads); another
    // user's count is unknown here, and a lower cap would stop those threads, so it stays.
    if (!limitTo(RLIMIT_FSIZE, 0) || !limitTo(RLIMIT_CORE, 0) || !limitTo(RLIMIT_CPU, cpuSeconds)
        || (dropped && !limitTo(RLIMIT_NPROC, nobodyProcesses)))
        return false;
    // No program it might start gains rights (a set-user-ID one), and the filter may be loaded
    // without rights of its own.
    if (prctl(PR_SET_NO_NEW_PRIVS, 1, 0, 0, 0) != 0)
        return false;
    return restrictFiles() && installFilter();
}

namespace {

// "done" when the call succeeded, else the name of its error.
std::string outcome(long result)
{
    if (result >= 0)
        return "done";
    const char *name = strerrorname_np(errno);
    return name ? name : std::to_string(errno);
}

std::string limit(int resource)
{
    rlimit value{};
    if (getrlimit(resource, &value) != 0)
        return outcome(-1);
    return value.rlim_max == RLIM_INFINITY ? std::string("unlimited") : std::to_string(value.rlim_max);
}

// A field of /proc/self/status: Seccomp is 2 when a filter is in force.
std::string statusField(const char *name)
{
    FILE *status = std::fopen("/proc/self/status", "re");
    if (!status)
        return outcome(-1);
    char line[256];
    std::string value = "unknown";
    const std::size_t length = std::strlen(name);
    while (std::fgets(line, sizeof line, status)) {
        if (std::strncmp(line, name, length) == 0 && line[length] == ':') {
            value = std::to_string(std::atoi(line + length + 1));
            break;
        }
    }
    std::fclose(status);
    return value;
}

} // namespace

void probe(const char *path)
{
    int count = 0;
    for (char **e = environ; e && *e; ++e)
        ++count;
    char cwd[4096] = "";
    const char *folder = getcwd(cwd, sizeof cwd) ? cwd : "?";
    std::printf("uid %u %u\ngid %u %u\ngroups %d\nenvironment %d\ncwd %s\nno_new_privs %s\nseccomp %s\n", getuid(),
                geteuid(), getgid(), getegid(), getgroups(0, nullptr), count, folder, statusField("NoNewPrivs").c_str(),
                statusField("Seccomp").c_str());
    std::printf("fsize %s\nnproc %s\ncpu %s\n", limit(RLIMIT_FSIZE).c_str(), limit(RLIMIT_NPROC).c_str(),
                limit(RLIMIT_CPU).c_str());

    const std::string existing = std::string(path) + ".existing", folderPath = std::string(path) + ".d";
    const int created = open(path, O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    std::printf("create %s\n", outcome(created).c_str());
    if (created >= 0)
        close(created);
    const int appended = open(existing.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
    std::printf("append %s\n", outcome(appended).c_str());
    if (appended >= 0) {
        const ssize_t wrote = write(appended, "written\n", 8);
        std::printf("append-write %s\n", outcome(wrote).c_str());
        close(appended);
    }
    std::printf("mkdir %s\n", outcome(mkdir(folderPath.c_str(), 0777)).c_str());
    const int inet = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::printf("socket-inet %s\n", outcome(inet).c_str());
    const int local = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    std::printf("socket-unix %s\n", outcome(local).c_str());
    // The printing process's memory and environment, as a file of the same user would read them.
    // (Its number from the process's own status: the filter refuses getppid.)
    const std::string parent = "/proc/" + statusField("PPid");
    for (const char *what : {"mem", "environ"}) {
        const int fd = open((parent + "/" + what).c_str(), O_RDONLY | O_CLOEXEC);
        std::printf("parent-%s %s\n", what, outcome(fd).c_str());
        if (fd >= 0)
            close(fd);
    }
    // Peeking into a process that is not being traced: ESRCH unless the call itself is refused.
    std::printf("ptrace %s\n", outcome(ptrace(PTRACE_PEEKDATA, getppid(), nullptr, nullptr)).c_str());
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    std::printf("fork %s\n", outcome(child).c_str());
    if (child > 0)
        waitpid(child, nullptr, 0);
    // Last: when it succeeds, /bin/true takes the process's place and this report ends here.
    std::fflush(stdout);
    char program[] = "/bin/true";
    char *const args[] = {program, nullptr};
    const int ran = execve(program, args, environ);
    std::printf("exec %s\n", outcome(ran).c_str());
    std::fflush(stdout);
}

} // namespace corvane::picture
