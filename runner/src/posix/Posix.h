// SPDX-License-Identifier: MIT
#pragma once
// The runner's small platform layer. Every POSIX call of the runner lives behind this header
// (in Posix.cpp); the header itself includes no POSIX header, so the rest of the runner stays
// portable C++ and Qt.

#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>
#include <string>

namespace runner::posix {

// The system's text for an error number (strerror).
QString ErrorText(int AError);

// "SIGKILL" for 9 and so on; "signal N" for a number without a name.
QString SignalName(int ASignal);

// An owned file descriptor; closed when destroyed. Move-only.
class TFd {
public:
    TFd() = default;
    explicit TFd(int AFd) : FFd(AFd) {}
    ~TFd() { Close(); }
    TFd(TFd &&AOther) noexcept : FFd(AOther.Release()) {}
    TFd &operator=(TFd &&AOther) noexcept;
    TFd(const TFd &) = delete;
    TFd &operator=(const TFd &) = delete;

    int Get() const { return FFd; }
    bool IsOpen() const { return FFd >= 0; }
    int Release() {
        int fd = FFd;
        FFd = -1;
        return fd;
    }
    // Closes the descriptor; returns 0 or the error number of close().
    int Close();

private:
    int FFd = -1;
};

// pipe2(O_CLOEXEC). Returns 0 or the error number.
int MakePipe(TFd &ARead, TFd &AWrite);
// Sets O_NONBLOCK. Returns 0 or the error number.
int SetNonBlocking(int AFd);

// An auto-reset event for poll(): an eventfd in non-blocking mode. Signal() may be called from
// any thread; Reset() consumes all signals.
class TEvent {
public:
    TEvent(); // throws std::system_error when the system has no descriptor left
    int Fd() const { return FFd.Get(); }
    void Signal();
    // Returns true if the event was signalled.
    bool Reset();

private:
    TFd FFd;
};

// Starting a child. Arguments[0] is the program, searched on PATH when it has no slash.
struct TSpawnRequest {
    QStringList Arguments;
    QString CurrentDir;          // empty: the parent's
    QStringList Environment;     // complete NAME=value list; used only when UseEnvironment
    bool UseEnvironment = false; // false: the child inherits the parent's environment
    int StdinFd = -1;            // becomes the child's 0
    int StdoutFd = -1;           // becomes the child's 1 and 2
    int Nice = 0;                // nice value applied right after the start (0: unchanged)
};
struct TSpawnResult {
    int Pid = 0;       // > 0 when started: the direct child, the one to wait for and reap
    int Group = 0;     // the program's process id, also the id of its process group
    int Error = 0;     // error number when not started (exec failures included)
    int NiceError = 0; // error number of applying Nice (the child runs anyway)
    // When the program runs under the launcher: the non-blocking read end of its report (see
    // ReadLaunchReport). Closed when the program was started directly.
    TFd Report;
};
// Starts the program with the three standard descriptors set up, every other descriptor closed,
// the working directory changed, all signal dispositions default, an empty signal mask, a
// process group of its own (Group) and SIGKILL as its parent-death signal, so it never outlives
// this process. Failures of the exec itself are reported here.
//
// The program runs under the launcher (Launch.c) when one is found: the direct child (Pid) is
// then the launcher, which forks the program, reaps it, reports its figures and ends the way the
// program ended. Started straight from this process, a program's peak memory would count this
// process's own (Linux carries the peak over exec). The launcher is taken from
// $CONSOLECOMMAND_LAUNCHER (set but empty: none), the installed tree, or the build tree.
TSpawnResult Spawn(const TSpawnRequest &ARequest);
// The launcher Spawn uses, empty when programs are started directly.
const std::string &LauncherPath();

// The descriptor a child started with this process's own standard input should get: 0 when it
// is open; when it is closed, /dev/null opened into ANull (so the child sees end of input at
// once). -1 with AError when even that fails.
int InheritableStandardInput(TFd &ANull, int &AError);

// pidfd_open(pid). Returns the descriptor or -1 (AError set) when the system has none.
int PidfdOpen(int APid, int &AError);
// Whether the child has ended, without reaping it (waitid WNOHANG|WNOWAIT on this pid only).
// AExitCode: the exit status, or 128 + signal when a signal ended it. AKilledBySignal: the signal
// number or 0.
bool ChildHasEnded(int APid, uint32_t &AExitCode, int &AKilledBySignal);
// What the kernel accounted to a reaped child and the children it waited for.
struct TChildUsage {
    bool Valid = false;
    bool MaxResidentKnown = false; // false: the peak counts this process's own (see Spawn)
    int64_t UserMicroseconds = 0;
    int64_t SystemMicroseconds = 0;
    int64_t MaxResidentKilobytes = 0;
};
// Reaps this child (wait4(pid), blocking). Same outputs as ChildHasEnded, and its usage when
// AUsage is given. False when the pid is not (any more) our child.
bool ReapChild(int APid, uint32_t &AExitCode, int &AKilledBySignal, TChildUsage *AUsage = nullptr);
// The launcher's report of how the program ended, read once the launcher has ended: its exit
// status (as ChildHasEnded gives it) and usage, the peak memory its own. False when there is no
// complete report (the launcher was killed before it could write one).
bool ReadLaunchReport(int AFd, uint32_t &AExitCode, int &AKilledBySignal, TChildUsage &AUsage);
// SIGKILL to the process group APgid. Returns 0 or the error number (ESRCH: no process left).
int KillGroup(int APgid);
// Whether any process of the group still exists (kill(-pgid, 0)).
bool GroupExists(int APgid);

// One entry of a poll() call.
struct TPollItem {
    int Fd = -1;
    bool WantRead = false;
    bool WantWrite = false;
    // results
    bool Readable = false; // data, end of file, hang-up or error: a read will not block
    bool Writable = false; // writable or the reader has gone: a write will not block
};
// poll() over the items; ATimeoutMs < 0 waits without limit. Returns the number of ready
// items, 0 on time-out, -1 with AError on failure (EINTR is retried).
int Poll(TPollItem *AItems, size_t ACount, int ATimeoutMs, int &AError);

// read(): returns bytes read (0 = end of file), or -1 with AError (EAGAIN: nothing now).
long Read(int AFd, char *ABuf, size_t ACount, int &AError);
// write(): returns bytes written, or -1 with AError (EAGAIN: pipe full; EPIPE: reader gone).
long Write(int AFd, const char *ABuf, size_t ACount, int &AError);
inline constexpr int kErrAgain = 11; // EAGAIN on Linux (checked in Posix.cpp)
inline constexpr int kErrPipe = 32;  // EPIPE on Linux (checked in Posix.cpp)
inline constexpr int kErrInval = 22; // EINVAL on Linux (checked in Posix.cpp)
inline constexpr int kSigKill = 9;   // SIGKILL (checked in Posix.cpp)

// Handlers for SIGINT, SIGTERM and SIGHUP that write the signal's number into a pipe (a
// self-pipe: nothing else is done in the handler). Returns the pipe's non-blocking read end;
// -1 with AError when the pipe cannot be made, -2 when the handlers are already installed.
int InstallTerminationHandlers(int &AError);
// The next signal number from the read end, 0 when none is waiting.
int TakeTerminationSignal(int AReadFd);
// Default actions for the three signals again; the pipe is closed.
void RemoveTerminationHandlers();

// Ignores SIGPIPE process-wide (once), so a write to a child that has gone returns EPIPE.
void IgnoreSigpipe();
// Names the calling thread for debuggers (at most 15 characters are kept).
void SetThreadName(const char *AName);

} // namespace runner::posix
