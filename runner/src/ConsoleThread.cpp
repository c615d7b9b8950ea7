// The worker of one run and its line assembly and input sending.
#include "ConsoleThread.h"

#include "common/Exception.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtDebug>

#include <algorithm>

namespace runner {

using Clock = std::chrono::steady_clock;

int NiceForPriority(int32_t APriority) {
    if (APriority & REALTIME_PRIORITY_CLASS)
        return -20;
    if (APriority & HIGH_PRIORITY_CLASS)
        return -10;
    if (APriority & ABOVE_NORMAL_PRIORITY_CLASS)
        return -5;
    if (APriority & IDLE_PRIORITY_CLASS)
        return 19;
    if (APriority & BELOW_NORMAL_PRIORITY_CLASS)
        return 10;
    return 0;
}

namespace {

// The child's environment: the inherited one, where a name given in AExtra replaces the
// inherited variable; the added strings come after the inherited ones.
QStringList BuildEnvironment(const QStringList &AExtra) {
    QStringList result = QProcessEnvironment::systemEnvironment().toStringList();
    auto nameOf = [](const QString &AEntry) {
        qsizetype eq = AEntry.indexOf(QLatin1Char('='), 1);
        return eq < 0 ? AEntry : AEntry.left(eq);
    };
    for (const QString &extra : AExtra) {
        const QString name = nameOf(extra);
        result.removeIf([&](const QString &AEntry) { return nameOf(AEntry) == name; });
        result.append(extra);
    }
    return result;
}

// Appends AChars to ADst without NUL characters.
void AppendWithoutNul(QString &ADst, const QChar *AChars, qsizetype ACount, bool AHasNul) {
    if (ACount <= 0)
        return;
    if (!AHasNul) {
        ADst.append(AChars, ACount);
        return;
    }
    for (qsizetype i = 0; i < ACount; ++i)
        if (AChars[i].unicode() != 0)
            ADst.append(AChars[i]);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TReadPipe

TReadPipe::TReadPipe(posix::TFd ARead, TConsoleCommand *AOwner, bool AFastDecoding, TRunShared *AShared)
    : FRead(std::move(ARead)), FOwner(AOwner), FFastDecoding(AFastDecoding), FShared(AShared) {}

long TReadPipe::ReadChunk() {
    FBuffer.resize(static_cast<qsizetype>(kChunk)); // no reallocation unless a hook kept the last chunk
    int err = 0;
    long n = posix::Read(FRead.Get(), FBuffer.data(), kChunk, err);
    if (n < 0) {
        if (err == posix::kErrAgain)
            return -1;
        throw EConsoleCommand(QStringLiteral("Error reading Pipe: %1").arg(posix::ErrorText(err)));
    }
    if (n == 0) {
        FRead.Close();
        return 0;
    }
    FBuffer.resize(static_cast<qsizetype>(n));
    if (!FFastDecoding) {
        FSyncString.Add(FOwner->DoCharDecoding(FOwner, FBuffer));
        return n;
    }
    // The default decoding (Latin-1: every byte is the character of the same code), into a
    // buffer the GUI thread has handed back.
    QString chunk = FShared->TakeSpareChunk();
    chunk.resize(static_cast<qsizetype>(n));
    char16_t *dst = reinterpret_cast<char16_t *>(chunk.data());
    const unsigned char *src = reinterpret_cast<const unsigned char *>(FBuffer.constData());
    for (long i = 0; i < n; ++i)
        dst[i] = src[i];
    FSyncString.Add(chunk);
    return n;
}

// ---------------------------------------------------------------------------------------------
// TConsoleThread

TConsoleThread::TConsoleThread(TConsoleCommand *AOwner, TRunSettings ASettings, std::shared_ptr<TRunShared> AShared,
                               std::shared_ptr<TProcessTimerCore> ATimer, std::atomic<TEndStatus> *AEndStatus)
    : FOwner(AOwner), FSettings(std::move(ASettings)), FShared(std::move(AShared)), FTimer(std::move(ATimer)),
      FEndStatus(AEndStatus) {
    DoEndStatus(esStill_Active);
}

TConsoleThread::~TConsoleThread() {
    Terminate();
    Join();
}

void TConsoleThread::Start() { FThread = std::thread([this] { Execute(); }); }

void TConsoleThread::Terminate() {
    FTerminated.store(true);
    FTerminateEvent.Signal();
}

void TConsoleThread::Join() {
    if (FThread.joinable())
        FThread.join();
}

void TConsoleThread::Execute() {
    posix::SetThreadName("TConsoleThread");
    try {
        Run();
    } catch (...) {
        QString message;
        try {
            throw;
        } catch (const common::Exception &e) {
            message = e.Message();
            FFatalError = std::current_exception();
        } catch (const std::exception &e) {
            message = QString::fromLocal8Bit(e.what());
            FFatalError = std::make_exception_ptr(common::Exception(message));
        } catch (...) {
            message = QStringLiteral("Unknown error");
            FFatalError = std::make_exception_ptr(common::Exception(message));
        }
        qWarning().noquote() << QStringLiteral("EXCEPTION: TConsoleThread ") + message;
        DoEndStatus(esError);
    }
    // The last posted call: everything posted before has run when ThreadTerminated runs.
    FBatch.Events.emplace_back(TRunEvent::rkTerminated, 0, 0, false);
    Flush();
}

void TConsoleThread::Run() {
    try {
        StartChild();
        Loop();
        Finish();
    } catch (...) {
        try {
            Cleanup();
        } catch (...) {
        }
        throw;
    }
    Cleanup();
}

void TConsoleThread::StartChild() {
    posix::IgnoreSigpipe();
    auto pipeError = [](int AError) {
        return ECreatePipeError(QStringLiteral("Error creating Pipe: %1").arg(posix::ErrorText(AError)));
    };
    posix::TFd outputRead, outputWrite, inputRead, inputWrite;
    if (int err = posix::MakePipe(outputRead, outputWrite))
        throw pipeError(err);
    if (int err = posix::MakePipe(inputRead, inputWrite))
        throw pipeError(err);
    if (int err = posix::SetNonBlocking(outputRead.Get()))
        throw pipeError(err);
    if (int err = posix::SetNonBlocking(inputWrite.Get()))
        throw pipeError(err);

    posix::TSpawnRequest request;
    request.Arguments = QProcess::splitCommand(FSettings.CommandLine);
    request.CurrentDir = FSettings.CurrentDir;
    if (!FSettings.Environment.isEmpty()) {
        request.UseEnvironment = true;
        request.Environment = BuildEnvironment(FSettings.Environment);
    }
    request.StdinFd = inputRead.Get();
    request.StdoutFd = outputWrite.Get();
    request.Nice = NiceForPriority(FSettings.Priority);
    posix::TSpawnResult spawned = posix::Spawn(request);
    if (spawned.Pid <= 0)
        throw ECreateProcessError(QStringLiteral("Error creating Process: %1 - (%2)")
                                      .arg(FSettings.CommandLine, posix::ErrorText(spawned.Error)));
    FPid = spawned.Pid;
    if (spawned.NiceError != 0)
        qWarning().noquote() << QStringLiteral("TConsoleThread: could not set the priority of %1: %2")
                                    .arg(FSettings.CommandLine, posix::ErrorText(spawned.NiceError));
    int pidfdError = 0;
    FPidfd = posix::TFd(posix::PidfdOpen(FPid, pidfdError));

    FBatch.Events.emplace_back(TRunEvent::rkProcessInfo, FPidfd.Get(), FPid, false);
    Flush();

    // The parent's copies of the child's ends.
    if (int err = inputRead.Close())
        throw pipeError(err);
    if (int err = outputWrite.Close())
        throw pipeError(err);
    FInputWrite = std::move(inputWrite);
    FReader = std::make_unique<TReadPipe>(std::move(outputRead), FOwner, FSettings.DefaultDecoding, FShared.get());
}

bool TConsoleThread::TimedOut() const {
    if (FSettings.MaxTimeAfterBeginning > 0 && FTimer->SinceBeginning() > FSettings.MaxTimeAfterBeginning)
        return true;
    if (FSettings.MaxTimeAfterLastOutput > 0 && FTimer->SinceLastOutput() > FSettings.MaxTimeAfterLastOutput)
        return true;
    return false;
}

void TConsoleThread::Loop() {
    Clock::time_point graceEnd{};
    bool wasPaused = false;
    for (;;) {
        // Back-pressure: past the bound of undelivered output the pipe is not read.
        const bool paused = FReader->IsOpen() && FShared->MustPause();
        if (FChildEnded && (paused || wasPaused))
            graceEnd = std::max(graceEnd, Clock::now() + kGrace); // the grace counts while reading
        wasPaused = paused;

        // Leave the loop, tested in this order: stop; the child has ended and its output has
        // been taken (end of file, or the grace period is over); a time-out.
        if (FTerminated.load())
            break;
        if (FChildEnded && (!FReader->IsOpen() || Clock::now() >= graceEnd))
            break;
        if (!FChildEnded && TimedOut())
            break;

        enum { iOut, iInput, iChild, iTerminate, iTick, iDrained, iStdin, iCount };
        posix::TPollItem items[iCount];
        items[iOut].Fd = FReader->IsOpen() && !paused ? FReader->Fd() : -1;
        items[iOut].WantRead = true;
        items[iInput].Fd = FInputLines.Event().Fd();
        items[iInput].WantRead = true;
        items[iChild].Fd = !FChildEnded ? FPidfd.Get() : -1;
        items[iChild].WantRead = true;
        items[iTerminate].Fd = FTerminateEvent.Fd();
        items[iTerminate].WantRead = true;
        items[iTick].Fd = FTimer->FEvent.Fd();
        items[iTick].WantRead = true;
        items[iDrained].Fd = FShared->Drained().Fd();
        items[iDrained].WantRead = true;
        items[iStdin].Fd = FInputWrite.IsOpen() && !FPendingInput.isEmpty() ? FInputWrite.Get() : -1;
        items[iStdin].WantWrite = true;

        int timeout = -1;
        if (FChildEnded) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(graceEnd - Clock::now()).count();
            timeout = static_cast<int>(std::max<long long>(0, left) + 1);
        } else if (!FPidfd.IsOpen()) {
            timeout = 20; // no pidfd on this system: look at the child now and then
        }
        int err = 0;
        if (posix::Poll(items, iCount, timeout, err) < 0)
            throw EConsoleCommand(QStringLiteral("Error waiting: %1").arg(posix::ErrorText(err)));

        // [0] output
        if (items[iOut].Readable) {
            long n = FReader->ReadChunk();
            if (n > 0)
                DoReadLine(FReader->SyncString());
        }
        // [1] input, and the pipe to the child writable again
        if (items[iInput].Readable)
            FInputLines.Event().Reset();
        ServeInput();
        // [2] the child
        if (!FChildEnded && (items[iChild].Readable || !FPidfd.IsOpen())) {
            uint32_t code = 0;
            int signal = 0;
            if (posix::ChildHasEnded(FPid, code, signal)) {
                FChildEnded = true;
                FExitCode = code;
                graceEnd = Clock::now() + kGrace;
            }
        }
        // [3], [4], [5]: nothing but consuming the signal.
        if (items[iTerminate].Readable)
            FTerminateEvent.Reset();
        if (items[iTick].Readable)
            FTimer->FEvent.Reset();
        if (items[iDrained].Readable)
            FShared->Drained().Reset();
    }
}

void TConsoleThread::Finish() {
    if (FChildEnded) {
        DoEndStatus(esProcess);
        FCanTerminate = false;
    } else {
        FCanTerminate = true;
        DoEndStatus(FTerminated.load() ? esStop : esTime);
        DoTerminateProcess();
    }
    // A line without line end still pending is delivered as an entire line.
    if (!FLast.isEmpty()) {
        DoLinesAdd(FLast);
        FLast.clear();
    }
    Flush();
}

void TConsoleThread::DoTerminateProcess() {
    FCanTerminate = true;
    if (FSettings.AskTerminate) {
        FCanTerminate = FShared->AskCanTerminate(FBatch, FBatchCost);
        FBatchCost = 0;
    }
    if (FCanTerminate) {
        posix::KillGroup(FPid);
        FKilledByUs = true;
    } else {
        FVetoed = true;
    }
}

void TConsoleThread::Cleanup() {
    if (FPid > 0) {
        if (FVetoed) {
            // The child is left running, as the handler asked; it is reaped when it ends, so it
            // never stays a zombie.
            FExitCode = kStillActive;
            int pid = FPid;
            std::thread([pid] {
                uint32_t code = 0;
                int signal = 0;
                posix::ReapChild(pid, code, signal);
            }).detach();
        } else {
            // The child (still running after an error, a stop or a time-out) and whatever is left of
            // its process group (a grandchild holding the pipe) end now. The child is not reaped
            // before, so its process group id cannot have been given to anyone else.
            const bool wasRunning = !FChildEnded;
            posix::KillGroup(FPid);
            uint32_t code = 0;
            int signal = 0;
            // After our own kill the exit code is 0 (a child that exited by itself in the
            // meantime keeps its code).
            if (posix::ReapChild(FPid, code, signal) && wasRunning)
                FExitCode = signal == posix::kSigKill ? 0 : code;
        }
        FPid = 0;
    }
    FInputWrite.Close();
    FPidfd.Close();
    FReader.reset();
}

void TConsoleThread::ServeInput() {
    while (!FTerminated.load()) {
        if (FPendingInput.isEmpty()) {
            QString entry;
            if (!FInputLines.TakeFirst(entry))
                return;
            if (!FInputWrite.IsOpen())
                continue; // the child closed its input: queued input is dropped
            if (entry.startsWith(QLatin1Char('_')))
                entry += QStringLiteral("\r\n");
            entry.remove(0, 1);
            if (entry.isEmpty())
                continue;
            FOwner->DoCharEncoding(FOwner, entry, FPendingInput);
            FPendingOffset = 0;
            FPendingEcho = entry;
        }
        if (!FPendingInput.isEmpty()) {
            int err = 0;
            long n = posix::Write(FInputWrite.Get(), FPendingInput.constData() + FPendingOffset,
                                  static_cast<size_t>(FPendingInput.size() - FPendingOffset), err);
            if (n < 0) {
                if (err == posix::kErrAgain)
                    return; // served again when the pipe is writable
                if (err == posix::kErrPipe) {
                    // The child closed its standard input: not an error of the run.
                    FInputWrite.Close();
                    FInputLines.Clear();
                    FPendingInput.clear();
                    FPendingEcho.clear();
                    return;
                }
                throw common::EAssertionFailed();
            }
            FPendingOffset += n;
            if (FPendingOffset < FPendingInput.size())
                return;
            FPendingInput.clear();
            FPendingOffset = 0;
        }
        if (FSettings.InputToOutput && !FPendingEcho.isEmpty()) {
            // The echo goes through the line assembly like output (without character events and
            // without resetting the idle clock), so it never overwrites a completed line.
            Assemble(FPendingEcho, false);
            Flush();
        }
        FPendingEcho.clear();
    }
}

// ---------------------------------------------------------------------------------------------
// Line assembly

void TConsoleThread::DoReadLine(TSyncString &AReadString) {
    QString s = AReadString.Take();
    if (s.isEmpty())
        return;
    if (FTerminated.load())
        return; // a stop drops the rest; FLast stays consistent with what was delivered
    FBatch.Chunk = std::move(s);
    FBatch.OwnChunk = FReader->FastDecoding();
    Assemble(FBatch.Chunk, true);
    Flush();
}

void TConsoleThread::Assemble(const QString &AText, bool AFromChild) {
    const QChar *p = AText.constData();
    const qsizetype n = AText.size();
    const bool chars = AFromChild && FSettings.ReportChars;
    qsizetype segment = 0;   // start of the current line's text in AText
    qsizetype charsFrom = 0; // first character not yet reported to OnNewChar
    bool hasNul = false;
    bool completed = false;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t c = p[i].unicode();
        if (c > 13) {
            FLastWasCR = false;
            continue;
        }
        if (c == 0) {
            hasNul = true;
            FLastWasCR = false;
            continue;
        }
        if (c != 13 && c != 10) {
            FLastWasCR = false;
            continue;
        }
        if (c == 10 && FLastWasCR) {
            // The LF of a CR LF pair (also when the CR came with an earlier chunk).
            FLastWasCR = false;
            segment = i + 1;
            continue;
        }
        FLastWasCR = c == 13;
        if (chars) {
            DoNewChar(p + charsFrom, i + 1 - charsFrom, AFromChild, charsFrom);
            charsFrom = i + 1;
        }
        if (FLast.isEmpty() && !hasNul && AFromChild) {
            DoLinesAddInChunk(segment, i - segment); // the common case: nothing allocated here
        } else {
            QString line;
            line.swap(FLast);
            AppendWithoutNul(line, p + segment, i - segment, hasNul);
            DoLinesAdd(line);
        }
        hasNul = false;
        completed = true;
        FPartialReportedLen = 0;
        segment = i + 1;
    }
    AppendWithoutNul(FLast, p + segment, n - segment, hasNul);
    if (chars && charsFrom < n)
        DoNewChar(p + charsFrom, n - charsFrom, AFromChild, charsFrom);
    if (completed && AFromChild)
        FTimer->NewOutput();
    if (!FLast.isEmpty()) {
        FLineBeginned = true;
        // Partial reports are throttled: small lines every time, long ones when they have
        // doubled or a quarter second has passed, so a huge line without end costs linear
        // copying. Every line still ends as one entire line.
        const qsizetype len = FLast.size();
        if (FSettings.ReportPartial && len != FPartialReportedLen) {
            const auto now = Clock::now();
            if (len <= 4096 || len >= 2 * FPartialReportedLen || now - FPartialReportedAt >= std::chrono::milliseconds(250)) {
                // A copy of its own: FLast is never shared with the GUI thread, so appending to it
                // never races with the GUI dropping its reference (Qt's detach test is relaxed).
                DoNewLine(QString(FLast.constData(), len), otBeginningOfLine);
                FPartialReportedLen = len;
                FPartialReportedAt = now;
            }
        }
    }
}

void TConsoleThread::DoNewChar(const QChar *AChars, qsizetype ACount, bool AInChunk, qsizetype AOffset) {
    if (AInChunk) {
        FBatch.Events.emplace_back(TRunEvent::rkChars, static_cast<int32_t>(AOffset), static_cast<int32_t>(ACount), true);
        return;
    }
    FBatch.Events.emplace_back(TRunEvent::rkChars, QString(AChars, ACount));
    FBatchCost += 2 * static_cast<size_t>(ACount) + 32;
}

void TConsoleThread::DoNewLine(const QString &AStr, TOutputType AOutputType) {
    if (AOutputType == otEntireLine)
        return; // an entire line is always reported together with DoLinesAdd (one event)
    FBatch.Events.emplace_back(TRunEvent::rkPartial, AStr);
    FBatchCost += 2 * static_cast<size_t>(AStr.size()) + 32;
}

void TConsoleThread::DoLinesAdd(const QString &AStr) {
    FBatch.Events.emplace_back(TRunEvent::rkLine, AStr);
    FBatchCost += 2 * static_cast<size_t>(AStr.size()) + 32;
}

void TConsoleThread::DoLinesAddInChunk(qsizetype AOffset, qsizetype ALength) {
    FBatch.Events.emplace_back(TRunEvent::rkLine, static_cast<int32_t>(AOffset), static_cast<int32_t>(ALength), true);
}

void TConsoleThread::Flush() {
    FShared->Post(FBatch, FBatchCost);
    FBatchCost = 0;
}

} // namespace runner
