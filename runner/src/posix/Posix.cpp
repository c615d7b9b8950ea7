// Every POSIX call of the runner.
#include "posix/Posix.h"

#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <pthread.h>
#include <spawn.h>
#include <sys/eventfd.h>
#include <sys/resource.h>
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

TSpawnResult Spawn(const TSpawnRequest &ARequest) {
    TSpawnResult result;
    if (ARequest.Arguments.isEmpty() || ARequest.Arguments.front().isEmpty()) {
        result.Error = ENOENT;
        return result;
    }
    TCStringArray argv(ARequest.Arguments);
    TCStringArray envp(ARequest.Environment);
    std::string dir = Encode(ARequest.CurrentDir);

    posix_spawn_file_actions_t actions;
    posix_spawnattr_t attr;
    int err = posix_spawn_file_actions_init(&actions);
    if (err != 0) {
        result.Error = err;
        return result;
    }
    err = posix_spawnattr_init(&attr);
    if (err != 0) {
        posix_spawn_file_actions_destroy(&actions);
        result.Error = err;
        return result;
    }

    // The standard descriptors (glibc clears close-on-exec when a descriptor is duplicated
    // onto itself, so this holds even when the parent had 0..2 closed).
    if (err == 0) err = posix_spawn_file_actions_adddup2(&actions, ARequest.StdinFd, 0);
    if (err == 0) err = posix_spawn_file_actions_adddup2(&actions, ARequest.StdoutFd, 1);
    if (err == 0) err = posix_spawn_file_actions_adddup2(&actions, ARequest.StdoutFd, 2);
    // Stray descriptors that someone opened without O_CLOEXEC do not reach the child.
    if (err == 0) err = posix_spawn_file_actions_addclosefrom_np(&actions, 3);
    if (err == 0 && !dir.empty()) err = posix_spawn_file_actions_addchdir_np(&actions, dir.c_str());

    sigset_t defaults;
    sigfillset(&defaults);
    sigdelset(&defaults, SIGKILL);
    sigdelset(&defaults, SIGSTOP);
    sigset_t mask;
    sigemptyset(&mask);
    if (err == 0) err = posix_spawnattr_setsigdefault(&attr, &defaults);
    if (err == 0) err = posix_spawnattr_setsigmask(&attr, &mask);
    if (err == 0) err = posix_spawnattr_setpgroup(&attr, 0);
    if (err == 0)
        err = posix_spawnattr_setflags(
            &attr,
            static_cast<short>(POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETPGROUP));
    if (err == 0) {
        pid_t pid = 0;
        // glibc reports failures of the exec itself (missing program, not executable, bad
        // directory) as the return value, so they never look like an exit code 127.
        err = posix_spawnp(&pid, argv.Strings.front().c_str(), &actions, &attr, argv.Get(),
                           ARequest.UseEnvironment ? envp.Get() : environ);
        if (err == 0) result.Pid = pid;
    }
    posix_spawnattr_destroy(&attr);
    posix_spawn_file_actions_destroy(&actions);
    result.Error = err;
    if (result.Pid > 0 && ARequest.Nice != 0) {
        // The child's whole group, so that what it starts at once is covered as well.
        if (setpriority(PRIO_PGRP, static_cast<id_t>(result.Pid), ARequest.Nice) != 0)
            result.NiceError = errno;
    }
    return result;
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

bool ReapChild(int APid, uint32_t &AExitCode, int &AKilledBySignal) {
    int status = 0;
    for (;;) {
        pid_t r = ::waitpid(APid, &status, 0);
        if (r == APid) break;
        if (r < 0 && errno == EINTR) continue;
        return false;
    }
    if (WIFEXITED(status))
        AExitCode = DecodeStatus(CLD_EXITED, WEXITSTATUS(status), AKilledBySignal);
    else
        AExitCode = DecodeStatus(CLD_KILLED, WTERMSIG(status), AKilledBySignal);
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
