// SPDX-License-Identifier: MIT
#pragma once
// TConsoleThread: the worker of one run. It creates the pipes and the child, then waits in one
// poll() for everything that can move a run on: output (the pipe itself), the child's end (its
// pidfd), the run's wake event (queued input, a stop request, the GUI having delivered enough
// output), the clock's tick (only when a time limit is set) and the pipe to the child becoming
// writable (only while input waits to be written). Few descriptors: each one costs every poll.
//
// One loop instead of a worker plus a blocking reader thread: on Linux poll() waits on pipes and
// the child's pidfd alike, so a separate thread blocked in read() would have nothing left to
// do. TReadPipe keeps its job (reading and decoding chunks) but is driven by the worker's loop
// and decodes straight into the chunk of the batch being built; the decoding hook therefore runs
// on the worker thread (still never on the GUI thread).

#include "ProcessTimer.h"
#include "RunShared.h"
#include "SyncContainers.h"
#include "posix/Posix.h"
#include "runner/ConsoleCommand.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <exception>
#include <memory>
#include <thread>
#include <vector>

namespace runner {

// Reads the child's output in chunks and decodes each chunk on its own.
class TReadPipe {
public:
    static constexpr size_t kChunk = 64 * 1024;
    // AFastDecoding: the default decoding applies (no hook, no override), so a chunk is decoded
    // here into a reused buffer of AShared's.
    TReadPipe(posix::TFd ARead, TConsoleCommand *AOwner, bool AFastDecoding);
    bool FastDecoding() const { return FFastDecoding; }
    int Fd() const { return FRead.Get(); }
    bool IsOpen() const { return FRead.IsOpen(); }
    // One read: returns > 0 (decoded into AChunk, replacing its text; with the fast decoding
    // AChunk's buffer is reused), 0 at end of file (the pipe is then closed), -1 when nothing is
    // there now. A failed read raises EConsoleCommand with the system's text.
    long ReadChunk(QString &AChunk);
    void Close() { FRead.Close(); }

private:
    posix::TFd FRead;
    TConsoleCommand *FOwner; // the decoding hook (DoCharDecoding)
    bool FFastDecoding;
    QByteArray FBuffer;
};

// Settings of one run, copied at Execute.
struct TRunSettings {
    QString CommandLine;
    QString CurrentDir;
    QStringList Environment;
    int32_t MaxTimeAfterBeginning = 0;
    int32_t MaxTimeAfterLastOutput = 0;
    int32_t Priority = NORMAL_PRIORITY_CLASS;
    bool InputToOutput = false;
    bool InheritStandardInput = false; // the child reads this process's standard input
    bool ReportChars = false;          // OnNewChar was set
    bool ReportPartial = false;        // OnNewLine was set
    bool AskTerminate = false;         // OnTerminateProcess was set
    bool DefaultDecoding = false;      // the owner's HasDefaultCharDecoding() at Execute
    QString InputLineBreak;            // appended to a line sent with its end
};

class TConsoleThread {
public:
    // After the direct child has exited, output is still taken for this long (a grandchild may
    // hold the pipe open); the run ends earlier at end of file.
    static constexpr std::chrono::milliseconds kGrace{200};
    // At a stop or a time-out the pipe is read this many times more at most, for what it holds.
    static constexpr int kWaitingOutputReads = 2;
    // Output that streams (a read that found less than kStreamingChunk bytes came within
    // kStreamingGap of the read before) is read once per kStreamingNap: a child writing many
    // small pieces then rarely has to wake this thread, nor this thread the GUI, and each read
    // takes what many writes left. Output that comes in single lines is read at once.
    static constexpr std::chrono::microseconds kStreamingGap{1000};
    static constexpr std::chrono::microseconds kStreamingNap{250};
    static constexpr long kStreamingChunk = 16 * 1024;
    // Exit code reported for a child left running (veto): the conventional still-active code.
    static constexpr uint32_t kStillActive = 259;

    TConsoleThread(TConsoleCommand *AOwner, TRunSettings ASettings, std::shared_ptr<TRunShared> AShared,
                   std::shared_ptr<TProcessTimerCore> ATimer, std::atomic<TEndStatus> *AEndStatus);
    ~TConsoleThread(); // joins
    TConsoleThread(const TConsoleThread &) = delete;
    TConsoleThread &operator=(const TConsoleThread &) = delete;

    void Start();
    // Sets the terminated flag, then signals the terminate event.
    void Terminate();
    bool Terminated() const { return FTerminated.load(); }
    void Join();
    TInputLines &InputLines() { return FInputLines; }
    // Valid after Join().
    uint32_t ExitCode() const { return FExitCode; }
    int TerminationSignal() const { return FSignal; }
    // The child's figures once it was reaped (not valid when it was left running).
    TRunFigures Figures() const;
    std::exception_ptr FatalError() const { return FFatalError; }

private:
    void Execute();
    void Run();
    void StartChild();
    void Loop();
    void Finish();
    void Cleanup();
    void DoEndStatus(TEndStatus AValue) { FEndStatus->exchange(AValue); }
    void TakeWaitingOutput();
    void DoTerminateProcess();
    bool TimedOut() const;
    void ServeInput();

    // Line assembly: the batch's chunk holds what one read produced.
    void DoReadLine();
    // AText is output from the child (AFromChild; then it is also the batch's chunk) or the echo.
    void Assemble(const QString &AText, bool AFromChild);
    void DoNewChar(const QChar *AChars, qsizetype ACount, bool AInChunk, qsizetype AOffset);
    void DoNewLine(const QString &AStr, TOutputType AOutputType);
    void DoLinesAdd(const QString &AStr); // with DoNewLine(AStr, otEntireLine): one event
    void DoLinesAddInChunk(qsizetype AOffset, qsizetype ALength);
    void Flush();

    TConsoleCommand *FOwner;
    TRunSettings FSettings;
    std::shared_ptr<TRunShared> FShared;
    std::shared_ptr<TProcessTimerCore> FTimer;
    std::atomic<TEndStatus> *FEndStatus;
    TInputLines FInputLines;
    std::atomic<bool> FTerminated{false};
    std::thread FThread;

    // Run state (worker thread only).
    posix::TFd FInputWrite;
    posix::TFd FPidfd;
    std::unique_ptr<TReadPipe> FReader;
    int FPid = 0;       // the direct child: the launcher, or the program started without one
    int FGroup = 0;     // the program's process group (its pid)
    posix::TFd FReport; // the launcher's report; closed without a launcher
    bool FChildEnded = false;
    bool FCanTerminate = false;
    bool FKilledByUs = false;
    bool FVetoed = false;
    uint32_t FExitCode = 0;
    int FSignal = 0; // the signal that ended the child, 0 when it exited
    posix::TChildUsage FUsage;
    std::chrono::steady_clock::time_point FSpawnedAt{};
    std::chrono::steady_clock::time_point FEndedAt{};
    std::exception_ptr FFatalError;

    // Line assembly state: the pending unfinished line, whether it was reported partially, and
    // whether the last character seen was a CR.
    QString FLast;
    bool FLineBeginned = false;
    bool FLastWasCR = false;
    qsizetype FPartialReportedLen = 0;
    std::chrono::steady_clock::time_point FPartialReportedAt{};
    TRunBatch FBatch;
    size_t FBatchCost = 0; // bytes of the batch's own texts

    // Input being written (non-blocking, served when the pipe is writable).
    QByteArray FPendingInput;
    qsizetype FPendingOffset = 0;
    QString FPendingEcho;
};

// The nice value for a priority class (idle 19, below normal 10, normal 0, above normal -5,
// high -10, realtime -20).
int NiceForPriority(int32_t APriority);

} // namespace runner
