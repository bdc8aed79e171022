#include "ProgramStarter.h"

#include "CommandLine.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace quintaro::stations {

namespace {

// The children run no fork handlers of other libraries: those may take locks
// that another thread of this program held at the moment of the fork.
pid_t forkProcess()
{
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
    return ::_Fork();
#else
    return ::fork();
#endif
}

// What the two forked processes report to the starter through the pipe. Each
// record is far below PIPE_BUF, so it arrives whole even when both write.
struct Report
{
    std::int64_t kind; // 'P': the program's pid; 'E': errno of a failed step
    std::int64_t value;
};

void writeReport(int fd, char kind, std::int64_t value)
{
    const Report report{kind, value};
    while (::write(fd, &report, sizeof report) < 0 && errno == EINTR) {
    }
}

// Runs in the grandchild between fork and exec: async-signal-safe calls only.
// Ignored signals and the blocked mask would survive exec and confuse
// Brezomat, so it starts with the defaults a shell would give it.
[[noreturn]] void execProgram(const char *program, char *const argv[], int reportFd)
{
    using SignalAction = struct sigaction;
    SignalAction defaultAction{};
    defaultAction.sa_handler = SIG_DFL;
    for (int sig = 1; sig < NSIG; ++sig) {
        if (sig != SIGKILL && sig != SIGSTOP)
            ::sigaction(sig, &defaultAction, nullptr);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
#ifdef CLOSE_RANGE_CLOEXEC
    // Descriptors this program left inheritable (a socket to the packet
    // engine, say) are none of Brezomat's business.
    ::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC);
#endif
    ::execve(program, argv, environ);
    writeReport(reportFd, 'E', errno);
    ::_exit(127);
}

// Runs in the intermediate child: leaves this program's session and starts
// the grandchild, whose parent then exits so that init adopts it.
[[noreturn]] void startGrandchild(const char *program, char *const argv[], int reportFd)
{
    ::setsid();
    const pid_t pid = forkProcess();
    if (pid == 0)
        execProgram(program, argv, reportFd);
    if (pid < 0)
        writeReport(reportFd, 'E', errno);
    else
        writeReport(reportFd, 'P', pid);
    ::_exit(0);
}

long long startDetached(const ResolvedCommand &command)
{
    // Everything the children need exists before fork: they may not allocate.
    std::vector<std::string> argvText = command.argv();
    std::vector<char *> argv;
    argv.reserve(argvText.size() + 1);
    for (std::string &argument : argvText)
        argv.push_back(argument.data());
    argv.push_back(nullptr);

    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return 0;
    const int readFd = fds[0];
    const int writeFd = fds[1];

    const pid_t child = forkProcess();
    if (child == 0) {
        ::close(readFd);
        startGrandchild(command.program.c_str(), argv.data(), writeFd);
    }
    ::close(writeFd);
    if (child < 0) {
        ::close(readFd);
        return 0;
    }

    // The pipe reaches end of file once the intermediate child has exited and
    // the grandchild has either executed the program (close-on-exec) or died.
    long long pid = 0;
    bool failed = false;
    Report report{};
    std::size_t filled = 0;
    for (;;) {
        const ssize_t n =
            ::read(readFd, reinterpret_cast<char *>(&report) + filled, sizeof report - filled);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            break;
        filled += static_cast<std::size_t>(n);
        if (filled < sizeof report)
            continue;
        filled = 0;
        if (report.kind == 'P')
            pid = report.value;
        else
            failed = true;
    }
    ::close(readFd);

    while (::waitpid(child, nullptr, 0) < 0 && errno == EINTR) {
    }
    return failed ? 0 : pid;
}

std::string currentDirectory()
{
    std::vector<char> buffer(PATH_MAX + 1);
    for (;;) {
        if (::getcwd(buffer.data(), buffer.size()))
            return std::string(buffer.data());
        if (errno != ERANGE || buffer.size() > (1u << 20))
            return {};
        buffer.resize(buffer.size() * 2);
    }
}

bool isExecutableRegularFile(const std::string &path)
{
    using FileStatus = struct stat;
    FileStatus st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
           ::access(path.c_str(), X_OK) == 0;
}

} // namespace

ExecutableLookup systemExecutableLookup()
{
    ExecutableLookup lookup;
    lookup.isExecutableFile = isExecutableRegularFile;
    lookup.currentDirectory = currentDirectory();
    if (const char *path = std::getenv("PATH"))
        lookup.searchPath = path;
    return lookup;
}

long long SystemProgramStarter::start(std::string_view commandLine)
{
    const std::optional<ResolvedCommand> command =
        resolveCommandLine(commandLine, systemExecutableLookup());
    if (!command)
        return 0;
    return startDetached(*command);
}

} // namespace quintaro::stations
