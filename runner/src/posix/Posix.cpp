// SPDX-License-Identifier: MIT
// Every POSIX call of the runner.
#include "posix/Posix.h"

#include "posix/LaunchReport.h"

#include <QFile>

#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/prctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

extern char **environ;

namespace runner::posix {

static_assert(kErrAgain == EAGAIN && kErrAgain == EWOULDBLOCK, "EAGAIN");
static_assert(kErrPipe == EPIPE, "EPIPE");
static_assert(kErrInval == EINVAL, "EINVAL");
static_assert(kSigKill == SIGKILL, "SIGKILL");

QString ErrorText(int AError) {
    char buf[256];
    // GNU strerror_r returns the text (possibly not in buf).
    const char *text = strerror_r(AError, buf, sizeof buf);
    return QString::fromLocal8Bit(text);
}

QString SignalName(int ASignal) {
    const char *name = ::sigabbrev_np(ASignal);
    return name ? QStringLiteral("SIG") + QString::fromLatin1(name)
                : QStringLiteral("signal %1").arg(ASignal);
}

TFd &TFd::operator=(TFd &&AOther) noexcept {
    if (this != &AOther) {
        Close();
        FFd = AOther.Release();
    }
    return *this;
}

int TFd::Close() {
    if (FFd < 0) return 0;
    int fd = FFd;
    FFd = -1;
    // Linux always releases the descriptor, even when close() reports EINTR: never retry.
    if (::close(fd) != 0 && errno != EINTR) return errno;
    return 0;
}

int MakePipe(TFd &ARead, TFd &AWrite) {
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0) return errno;
    ARead = TFd(fds[0]);
    AWrite = TFd(fds[1]);
    return 0;
}

int SetNonBlocking(int AFd) {
    int flags = ::fcntl(AFd, F_GETFL);
    if (flags < 0 || ::fcntl(AFd, F_SETFL, flags | O_NONBLOCK) != 0) return errno;
    return 0;
}

TEvent::TEvent() {
    int fd = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
    if (fd < 0) throw std::system_error(errno, std::generic_category(), "eventfd");
    FFd = TFd(fd);
}

void TEvent::Signal() {
    uint64_t one = 1;
    // Fails only when the counter would overflow, which means it is signalled anyway.
    while (::write(FFd.Get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
}

bool TEvent::Reset() {
    uint64_t value = 0;
    for (;;) {
        ssize_t n = ::read(FFd.Get(), &value, sizeof value);
        if (n == static_cast<ssize_t>(sizeof value)) return true;
        if (n < 0 && errno == EINTR) continue;
        return false;
    }
}

namespace {

std::string Encode(const QString &AText) {
    return QFile::encodeName(AText).toStdString();
}

// Holds the strings and the NULL-terminated pointer array of an argv or envp.
struct TCStringArray {
    std::vector<std::string> Strings;
    std::vector<char *> Pointers;
    explicit TCStringArray(const QStringList &AList) {
        Strings.reserve(static_cast<size_t>(AList.size()));
        for (const QString &s : AList)
            Strings.push_back(Encode(s));
        for (std::string &s : Strings)
            Pointers.push_back(s.data());
        Pointers.push_back(nullptr);
    }
    char *const *Get() { return Pointers.data(); }
};

uint32_t DecodeStatus(int ACode, int AStatus, int &AKilledBySignal) {
    AKilledBySignal = 0;
    if (ACode == CLD_EXITED) return static_cast<uint32_t>(AStatus);
    AKilledBySignal = AStatus;
    return 128u + static_cast<uint32_t>(AStatus);
}

} // namespace

namespace {

// The program to execute: AProgram itself when it names a folder, else the first executable
// file of that name in the folders of PATH (as a shell would find it). 0 or the error number.
int FindProgram(const std::string &AProgram, std::string &APath) {
    if (AProgram.find('/') != std::string::npos) {
        APath = AProgram;
        return 0;
    }
    const char *env = std::getenv("PATH");
    const std::string path = env ? env : "/bin:/usr/bin";
    int error = ENOENT;
    size_t from = 0;
    for (;;) {
        const size_t colon = path.find(':', from);
        std::string dir = path.substr(from, colon == std::string::npos ? std::string::npos : colon - from);
        if (dir.empty()) dir = ".";
        const std::string candidate = dir + '/' + AProgram;
        struct stat st;
        if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            if (::access(candidate.c_str(), X_OK) == 0) {
                APath = candidate;
                return 0;
            }
            error = EACCES;
        }
        if (colon == std::string::npos) return error;
        from = colon + 1;
    }
}

// Everything the child needs between vfork and exec, prepared before.
struct TChildSetup {
    const char *Program; // the program, or the launcher
    char *const *Argv;
    char *const *Envp;
    const char *Dir;
    int Stdin;
    int Stdout;
    int ErrorFd;  // write end of the close-on-exec error pipe
    int ReportFd; // write end of the launcher's report pipe; -1 without the launcher
    pid_t Parent;
};

[[noreturn]] void ChildFails(int AErrorFd, int AError) {
    while (::write(AErrorFd, &AError, sizeof AError) < 0 && errno == EINTR) {
    }
    ::_exit(127);
}

// What the child does between vfork and exec. It shares the memory of the (suspended) launcher
// thread, so it calls nothing but system calls; a failure is written to the error pipe.
[[noreturn]] void ChildAfterFork(const TChildSetup &ASetup) {
    // Every signal to its default (the launcher blocks them all, so none was delivered here).
    struct sigaction dfl;
    std::memset(&dfl, 0, sizeof dfl);
    dfl.sa_handler = SIG_DFL;
    sigemptyset(&dfl.sa_mask);
    for (int sig = 1; sig < NSIG; ++sig)
        if (sig != SIGKILL && sig != SIGSTOP) ::sigaction(sig, &dfl, nullptr); // glibc's own fail harmlessly
    if (::setpgid(0, 0) != 0) ChildFails(ASetup.ErrorFd, errno);
    // The child ends when this process ends, however it ends (SIGKILL included). The signal is
    // tied to the thread that forked, which lives as long as the process.
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0) ChildFails(ASetup.ErrorFd, errno);
    if (::getppid() != ASetup.Parent) ::_exit(127); // the parent is already gone
    // The descriptors are first moved above the ones they become (0..2, and 3 and 4 for the
    // launcher), so that none is overwritten by another's dup2 when the parent had some of
    // those closed.
    int errorFd = ::fcntl(ASetup.ErrorFd, F_DUPFD_CLOEXEC, 5);
    if (errorFd < 0) ChildFails(ASetup.ErrorFd, errno);
    const int in = ::fcntl(ASetup.Stdin, F_DUPFD_CLOEXEC, 5);
    const int out = ::fcntl(ASetup.Stdout, F_DUPFD_CLOEXEC, 5);
    if (in < 0 || out < 0) ChildFails(errorFd, errno);
    if (::dup2(in, 0) < 0 || ::dup2(out, 1) < 0 || ::dup2(out, 2) < 0) ChildFails(errorFd, errno);
    if (ASetup.ReportFd >= 0) {
        // The launcher gets the error pipe and its report pipe as 3 and 4, open across its exec;
        // its child makes them close-on-exec before it runs the program.
        const int reportFd = ::fcntl(ASetup.ReportFd, F_DUPFD_CLOEXEC, 5);
        if (reportFd < 0) ChildFails(errorFd, errno);
        if (::dup2(errorFd, LAUNCH_ERROR_FD) < 0) ChildFails(errorFd, errno);
        errorFd = LAUNCH_ERROR_FD;
        if (::dup2(reportFd, LAUNCH_REPORT_FD) < 0) ChildFails(errorFd, errno);
        ::syscall(SYS_close_range, 5u, ~0u, 0u);
    } else {
        // Stray descriptors that someone opened without O_CLOEXEC do not reach the child; the
        // error pipe closes itself at exec.
        ::syscall(SYS_close_range, 3u, static_cast<unsigned>(errorFd - 1), 0u);
        ::syscall(SYS_close_range, static_cast<unsigned>(errorFd + 1), ~0u, 0u);
    }
    if (*ASetup.Dir && ::chdir(ASetup.Dir) != 0) ChildFails(errorFd, errno);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::execve(ASetup.Program, ASetup.Argv, ASetup.Envp);
    ChildFails(errorFd, errno);
}

// vfork in a frame of its own, so that no local of the caller lives across it.
__attribute__((noinline)) pid_t ForkChild(const TChildSetup &ASetup) {
    const pid_t pid = ::vfork();
    if (pid == 0) ChildAfterFork(ASetup);
    return pid;
}

// Starts children from one thread that lives as long as the process, because a child's
// parent-death signal fires when the thread that started it ends, not only the process: a
// worker that ends before its child (a child left running at the handler's request) must not
// take the child with it. The thread blocks every signal, so none is handled between its
// vfork and the child's exec.
class TLauncher {
public:
    static TLauncher &Instance() {
        static TLauncher *launcher = new TLauncher; // lives until the process ends, never freed
        return *launcher;
    }

    TSpawnResult Run(const TSpawnRequest &ARequest) {
        std::lock_guard<std::mutex> caller(FCallerLock); // one start at a time
        std::unique_lock<std::mutex> lock(FLock);
        FRequest = &ARequest;
        FDone = false;
        FWake.notify_all();
        FFinished.wait(lock, [this] { return FDone; });
        FRequest = nullptr;
        TSpawnResult result = std::move(FResult);
        return result;
    }

private:
    TLauncher() {
        sigset_t all, previous;
        sigfillset(&all);
        // The thread starts with every signal blocked; the caller's mask is restored at once.
        pthread_sigmask(SIG_SETMASK, &all, &previous);
        std::thread([this] { Loop(); }).detach();
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    }

    void Loop() {
        SetThreadName("TLauncher");
        std::unique_lock<std::mutex> lock(FLock);
        for (;;) {
            FWake.wait(lock, [this] { return FRequest != nullptr && !FDone; });
            FResult = Start(*FRequest);
            FDone = true;
            FFinished.notify_all();
        }
    }

    static TSpawnResult Start(const TSpawnRequest &ARequest);

    std::mutex FCallerLock;
    std::mutex FLock;
    std::condition_variable FWake;
    std::condition_variable FFinished;
    const TSpawnRequest *FRequest = nullptr;
    bool FDone = false;
    TSpawnResult FResult;
};

// Reads exactly sizeof(ARecord) bytes; false at end of file, on an error or (non-blocking)
// when they are not all there.
template <typename TRecord> bool ReadRecord(int AFd, TRecord &ARecord) {
    ssize_t n;
    do {
        n = ::read(AFd, &ARecord, sizeof ARecord);
    } while (n < 0 && errno == EINTR);
    return n == static_cast<ssize_t>(sizeof ARecord);
}

TSpawnResult TLauncher::Start(const TSpawnRequest &ARequest) {
    TSpawnResult result;
    TCStringArray argv(ARequest.Arguments);
    TCStringArray envp(ARequest.Environment);
    const std::string dir = Encode(ARequest.CurrentDir);
    std::string program;
    if (int err = FindProgram(argv.Strings.front(), program)) {
        result.Error = err;
        return result;
    }
    TFd errorRead, errorWrite, reportRead, reportWrite;
    if (int err = MakePipe(errorRead, errorWrite)) {
        result.Error = err;
        return result;
    }
    // Through the launcher: its own path, the two descriptors, the program's path and argv.
    const std::string &launcher = LauncherPath();
    static const std::string kErrorFd = std::to_string(LAUNCH_ERROR_FD);
    static const std::string kReportFd = std::to_string(LAUNCH_REPORT_FD);
    std::vector<char *> launcherArgv;
    if (!launcher.empty()) {
        if (int err = MakePipe(reportRead, reportWrite)) {
            result.Error = err;
            return result;
        }
        for (const std::string *s :
             std::initializer_list<const std::string *>{&launcher, &kErrorFd, &kReportFd, &program})
            launcherArgv.push_back(const_cast<char *>(s->c_str())); // execve does not write them
        launcherArgv.insert(launcherArgv.end(), argv.Pointers.begin(), argv.Pointers.end());
    }
    const TChildSetup setup{launcher.empty() ? program.c_str() : launcher.c_str(),
                            launcher.empty() ? argv.Get() : launcherArgv.data(),
                            ARequest.UseEnvironment ? envp.Get() : environ,
                            dir.c_str(),
                            ARequest.StdinFd,
                            ARequest.StdoutFd,
                            errorWrite.Get(),
                            reportWrite.Get(),
                            ::getpid()};
    const pid_t pid = ForkChild(setup);
    if (pid < 0) {
        result.Error = errno;
        return result;
    }
    errorWrite.Close();
    reportWrite.Close();
    // End of file: the exec succeeded (the pipe closed itself). Else the child's error number;
    // the child has then exited and is reaped here, so a failure never looks like an exit code.
    int childError = 0;
    ssize_t n;
    do {
        n = ::read(errorRead.Get(), &childError, sizeof childError);
    } while (n < 0 && errno == EINTR);
    // The launcher wrote the program's pid before the pipe closed on its side.
    TLaunchStarted started{};
    if (n != static_cast<ssize_t>(sizeof childError) && !launcher.empty() &&
        (!ReadRecord(reportRead.Get(), started) || started.Magic != LAUNCH_STARTED_MAGIC ||
         started.Pid <= 0)) {
        // The launcher died before it started the program, or is of another version: it ends
        // now (the program, if any, with it: its parent-death signal).
        ::kill(pid, SIGKILL);
        childError = ECHILD;
        n = sizeof childError;
    }
    if (n == static_cast<ssize_t>(sizeof childError)) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        result.Error = childError != 0 ? childError : ECHILD;
        return result;
    }
    result.Pid = pid;
    result.Group = launcher.empty() ? pid : started.Pid;
    if (!launcher.empty()) {
        if (int err = SetNonBlocking(reportRead.Get())) {
            ::kill(-result.Group, SIGKILL);
            int status = 0;
            while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
            }
            TSpawnResult failed;
            failed.Error = err;
            return failed;
        }
        result.Report = std::move(reportRead);
    }
    if (ARequest.Nice != 0) {
        // The program's whole group, so that what it starts at once is covered as well.
        if (setpriority(PRIO_PGRP, static_cast<id_t>(result.Group), ARequest.Nice) != 0)
            result.NiceError = errno;
    }
    return result;
}

// Whether APath names a file this process may execute.
bool Executable(const std::string &APath) {
    return !APath.empty() && ::access(APath.c_str(), X_OK) == 0;
}

std::string FindLauncher() {
    if (const char *env = std::getenv("CONSOLECOMMAND_LAUNCHER"))
        return Executable(env) ? std::string(env) : std::string();
    std::vector<std::string> candidates;
    // In an installed tree (wherever it was installed or unpacked), beside the program.
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    if (n > 0) {
        std::string exe(self, static_cast<size_t>(n));
        candidates.push_back(exe.substr(0, exe.rfind('/') + 1) + RUNNER_LAUNCH_FROM_BIN);
    }
    candidates.push_back(RUNNER_LAUNCH_INSTALLED);
    candidates.push_back(RUNNER_LAUNCH_BUILT);
    for (const std::string &candidate : candidates)
        if (Executable(candidate)) return candidate;
    return std::string();
}

} // namespace

const std::string &LauncherPath() {
    static const std::string path = FindLauncher();
    return path;
}

TSpawnResult Spawn(const TSpawnRequest &ARequest) {
    if (ARequest.Arguments.isEmpty() || ARequest.Arguments.front().isEmpty()) {
        TSpawnResult result;
        result.Error = ENOENT;
        return result;
    }
    LauncherPath(); // found once, on a caller's thread
    return TLauncher::Instance().Run(ARequest);
}

int InheritableStandardInput(TFd &ANull, int &AError) {
    if (::fcntl(0, F_GETFD) >= 0) return 0;
    int fd;
    do {
        fd = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        AError = errno;
        return -1;
    }
    ANull = TFd(fd);
    return fd;
}

int PidfdOpen(int APid, int &AError) {
    // Through syscall(): glibc 2.36's <sys/pidfd.h> lacks C linkage for C++.
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, APid, 0));
    if (fd < 0) {
        AError = errno;
        return -1;
    }
    // pidfd_open sets close-on-exec itself.
    return fd;
}

bool ChildHasEnded(int APid, uint32_t &AExitCode, int &AKilledBySignal) {
    siginfo_t info;
    std::memset(&info, 0, sizeof info);
    for (;;) {
        if (::waitid(P_PID, static_cast<id_t>(APid), &info, WEXITED | WNOHANG | WNOWAIT) == 0) break;
        if (errno == EINTR) continue;
        // ECHILD: not our child (any more); treat it as ended.
        AExitCode = 0;
        AKilledBySignal = 0;
        return true;
    }
    if (info.si_pid == 0) return false;
    AExitCode = DecodeStatus(info.si_code, info.si_status, AKilledBySignal);
    return true;
}

bool ReapChild(int APid, uint32_t &AExitCode, int &AKilledBySignal, TChildUsage *AUsage) {
    int status = 0;
    struct rusage usage {};
    for (;;) {
        pid_t r = ::wait4(APid, &status, 0, &usage);
        if (r == APid) break;
        if (r < 0 && errno == EINTR) continue;
        return false;
    }
    if (AUsage) {
        AUsage->Valid = true;
        // The peak of a child started from this process counts this process's own (see Spawn);
        // the launcher's report holds the program's.
        AUsage->MaxResidentKnown = false;
        AUsage->UserMicroseconds = int64_t(usage.ru_utime.tv_sec) * 1000000 + usage.ru_utime.tv_usec;
        AUsage->SystemMicroseconds = int64_t(usage.ru_stime.tv_sec) * 1000000 + usage.ru_stime.tv_usec;
        AUsage->MaxResidentKilobytes = usage.ru_maxrss; // kilobytes on Linux
    }
    if (WIFEXITED(status))
        AExitCode = DecodeStatus(CLD_EXITED, WEXITSTATUS(status), AKilledBySignal);
    else
        AExitCode = DecodeStatus(CLD_KILLED, WTERMSIG(status), AKilledBySignal);
    return true;
}

bool ReadLaunchReport(int AFd, uint32_t &AExitCode, int &AKilledBySignal, TChildUsage &AUsage) {
    TLaunchEnded ended{};
    if (AFd < 0 || !ReadRecord(AFd, ended) || ended.Magic != LAUNCH_ENDED_MAGIC) return false;
    AExitCode = DecodeStatus(ended.Code, ended.Status, AKilledBySignal);
    AUsage.Valid = true;
    AUsage.MaxResidentKnown = true;
    AUsage.UserMicroseconds = ended.UserMicroseconds;
    AUsage.SystemMicroseconds = ended.SystemMicroseconds;
    AUsage.MaxResidentKilobytes = ended.MaxResidentKilobytes;
    return true;
}

int KillGroup(int APgid) {
    if (APgid <= 1) return EINVAL;
    if (::kill(-APgid, SIGKILL) != 0) return errno;
    return 0;
}

bool GroupExists(int APgid) {
    if (APgid <= 1) return false;
    return ::kill(-APgid, 0) == 0 || errno == EPERM;
}

int Poll(TPollItem *AItems, size_t ACount, int ATimeoutMs, int &AError) {
    pollfd fds[16];
    if (ACount > 16) {
        AError = EINVAL;
        return -1;
    }
    for (size_t i = 0; i < ACount; ++i) {
        fds[i].fd = AItems[i].Fd;
        fds[i].events =
            static_cast<short>((AItems[i].WantRead ? POLLIN : 0) | (AItems[i].WantWrite ? POLLOUT : 0));
        fds[i].revents = 0;
    }
    int n;
    do {
        n = ::poll(fds, static_cast<nfds_t>(ACount), ATimeoutMs);
    } while (n < 0 && errno == EINTR);
    if (n < 0) {
        AError = errno;
        return -1;
    }
    for (size_t i = 0; i < ACount; ++i) {
        short r = fds[i].revents;
        bool failed = (r & (POLLERR | POLLHUP | POLLNVAL)) != 0;
        AItems[i].Readable = AItems[i].WantRead && ((r & POLLIN) != 0 || failed);
        AItems[i].Writable = AItems[i].WantWrite && ((r & POLLOUT) != 0 || failed);
    }
    return n;
}

long Read(int AFd, char *ABuf, size_t ACount, int &AError) {
    for (;;) {
        ssize_t n = ::read(AFd, ABuf, ACount);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        AError = errno;
        return -1;
    }
}

long Write(int AFd, const char *ABuf, size_t ACount, int &AError) {
    for (;;) {
        ssize_t n = ::write(AFd, ABuf, ACount);
        if (n >= 0) return static_cast<long>(n);
        if (errno == EINTR) continue;
        AError = errno;
        return -1;
    }
}

namespace {
constexpr int kTerminationSignals[] = {SIGINT, SIGTERM, SIGHUP};
// The self-pipe's write end, for the signal handler; -1 when no handlers are installed.
std::atomic<int> gSignalWrite{-1};
int gSignalRead = -1;

void OnTerminationSignal(int ASignal) {
    const int saved = errno;
    const unsigned char number = static_cast<unsigned char>(ASignal);
    const int fd = gSignalWrite.load();
    if (fd >= 0) {
        // A full pipe drops the byte: enough of the same are waiting to be read.
        [[maybe_unused]] ssize_t n = ::write(fd, &number, 1);
    }
    errno = saved;
}

void SetDisposition(int ASignal, void (*AHandler)(int)) {
    struct sigaction sa;
    std::memset(&sa, 0, sizeof sa);
    sa.sa_handler = AHandler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    ::sigaction(ASignal, &sa, nullptr);
}
} // namespace

int InstallTerminationHandlers(int &AError) {
    if (gSignalWrite.load() >= 0) return -2;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
        AError = errno;
        return -1;
    }
    gSignalRead = fds[0];
    gSignalWrite.store(fds[1]);
    for (int sig : kTerminationSignals)
        SetDisposition(sig, OnTerminationSignal);
    return fds[0];
}

int TakeTerminationSignal(int AReadFd) {
    unsigned char number = 0;
    for (;;) {
        ssize_t n = ::read(AReadFd, &number, 1);
        if (n == 1) return number;
        if (n < 0 && errno == EINTR) continue;
        return 0;
    }
}

void RemoveTerminationHandlers() {
    if (gSignalWrite.load() < 0) return;
    for (int sig : kTerminationSignals)
        SetDisposition(sig, SIG_DFL);
    ::close(gSignalWrite.exchange(-1));
    ::close(gSignalRead);
    gSignalRead = -1;
}

void IgnoreSigpipe() {
    static std::once_flag once;
    std::call_once(once, [] {
        struct sigaction sa;
        std::memset(&sa, 0, sizeof sa);
        sa.sa_handler = SIG_IGN;
        sigemptyset(&sa.sa_mask);
        ::sigaction(SIGPIPE, &sa, nullptr);
    });
}

void SetThreadName(const char *AName) {
    char name[16];
    std::strncpy(name, AName, sizeof name - 1);
    name[sizeof name - 1] = '\0';
    pthread_setname_np(pthread_self(), name);
}

} // namespace runner::posix
