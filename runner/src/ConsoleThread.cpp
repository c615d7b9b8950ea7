// SPDX-License-Identifier: MIT
// The worker of one run and its line assembly and input sending.
#include "ConsoleThread.h"

#include "common/Exception.h"

#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QtDebug>

#include <algorithm>
#include <thread>

namespace runner {

using Clock = std::chrono::steady_clock;

int NiceForPriority(int32_t APriority) {
    if (APriority & REALTIME_PRIORITY_CLASS) return -20;
    if (APriority & HIGH_PRIORITY_CLASS) return -10;
    if (APriority & ABOVE_NORMAL_PRIORITY_CLASS) return -5;
    if (APriority & IDLE_PRIORITY_CLASS) return 19;
    if (APriority & BELOW_NORMAL_PRIORITY_CLASS) return 10;
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
    if (ACount <= 0) return;
    if (!AHasNul) {
        ADst.append(AChars, ACount);
        return;
    }
    for (qsizetype i = 0; i < ACount; ++i)
        if (AChars[i].unicode() != 0) ADst.append(AChars[i]);
}

} // namespace

// ---------------------------------------------------------------------------------------------
// TReadPipe

TReadPipe::TReadPipe(posix::TFd ARead, TConsoleCommand *AOwner, bool AFastDecoding)
    : FRead(std::move(ARead)), FOwner(AOwner), FFastDecoding(AFastDecoding) {}

long TReadPipe::ReadChunk(QString &AChunk) {
    FBuffer.resize(static_cast<qsizetype>(kChunk)); // no reallocation unless a hook kept the last chunk
    int err = 0;
    long n = posix::Read(FRead.Get(), FBuffer.data(), kChunk, err);
    if (n < 0) {
        if (err == posix::kErrAgain) return -1;
        throw EConsoleCommand(QStringLiteral("Error reading Pipe: %1").arg(posix::ErrorText(err)));
    }
    if (n == 0) {
        FRead.Close();
        return 0;
    }
    if (!FFastDecoding) {
        FBuffer.resize(static_cast<qsizetype>(n));
        AChunk = FOwner->DoCharDecoding(FOwner, FBuffer);
        return n;
    }
    // The default decoding (Latin-1: every byte is the character of the same code), by Qt's
    // vectorised conversion into the chunk's buffer (handed back by the GUI thread, so no
    // allocation once the run is going). Appending to an empty string of sufficient capacity
    // keeps the buffer.
    AChunk.resize(0);
    if (AChunk.capacity() < static_cast<qsizetype>(n)) AChunk.reserve(static_cast<qsizetype>(kChunk));
    AChunk.append(QLatin1StringView(FBuffer.constData(), static_cast<qsizetype>(n)));
    return n;
}

// ---------------------------------------------------------------------------------------------
// TConsoleThread

TConsoleThread::TConsoleThread(TConsoleCommand *AOwner, TRunSettings ASettings,
                               std::shared_ptr<TRunShared> AShared, std::shared_ptr<TProcessTimerCore> ATimer,
                               std::atomic<TEndStatus> *AEndStatus)
    : FOwner(AOwner), FSettings(std::move(ASettings)), FShared(std::move(AShared)), FTimer(std::move(ATimer)),
      FEndStatus(AEndStatus), FInputLines(FShared->Wake()) {
    DoEndStatus(esStill_Active);
}

TConsoleThread::~TConsoleThread() {
    Terminate();
    Join();
}

void TConsoleThread::Start() {
    FThread = std::thread([this] { Execute(); });
}

void TConsoleThread::Terminate() {
    FTerminated.store(true);
    FShared->Wake().Signal();
}

void TConsoleThread::Join() {
    if (FThread.joinable()) FThread.join();
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
    posix::TFd outputRead, outputWrite, inputRead, inputWrite, nullInput;
    if (int err = posix::MakePipe(outputRead, outputWrite)) throw pipeError(err);
    if (int err = posix::SetNonBlocking(outputRead.Get())) throw pipeError(err);
    int childInput = -1;
    if (FSettings.InheritStandardInput) {
        // No input pipe: queued input lines are dropped as for a child that closed its input.
        int err = 0;
        childInput = posix::InheritableStandardInput(nullInput, err);
        if (childInput < 0) throw pipeError(err);
    } else {
        if (int err = posix::MakePipe(inputRead, inputWrite)) throw pipeError(err);
        if (int err = posix::SetNonBlocking(inputWrite.Get())) throw pipeError(err);
        childInput = inputRead.Get();
    }

    posix::TSpawnRequest request;
    request.Arguments = QProcess::splitCommand(FSettings.CommandLine);
    request.CurrentDir = FSettings.CurrentDir;
    if (!FSettings.Environment.isEmpty()) {
        request.UseEnvironment = true;
        request.Environment = BuildEnvironment(FSettings.Environment);
    }
    request.StdinFd = childInput;
    request.StdoutFd = outputWrite.Get();
    request.Nice = NiceForPriority(FSettings.Priority);
    posix::TSpawnResult spawned = posix::Spawn(request);
    if (spawned.Pid <= 0)
        throw ECreateProcessError(QStringLiteral("Error creating Process: %1 - (%2)")
                                      .arg(FSettings.CommandLine, posix::ErrorText(spawned.Error)));
    FPid = spawned.Pid;
    FGroup = spawned.Group;
    FReport = std::move(spawned.Report);
    FSpawnedAt = std::chrono::steady_clock::now();
    if (spawned.NiceError != 0)
        qWarning().noquote() << QStringLiteral("TConsoleThread: could not set the priority of %1: %2")
                                    .arg(FSettings.CommandLine, posix::ErrorText(spawned.NiceError));
    int pidfdError = 0;
    FPidfd = posix::TFd(posix::PidfdOpen(FPid, pidfdError));

    FBatch.Events.emplace_back(TRunEvent::rkProcessInfo, FPidfd.Get(), FGroup, false);
    Flush();

    // The parent's copies of the child's ends.
    if (int err = inputRead.Close()) throw pipeError(err);
    if (int err = outputWrite.Close()) throw pipeError(err);
    FInputWrite = std::move(inputWrite);
    FReader = std::make_unique<TReadPipe>(std::move(outputRead), FOwner, FSettings.DefaultDecoding);
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
    Clock::time_point lastRead{};
    bool streaming = false;
    bool wasPaused = false;
    const bool timeLimited = FSettings.MaxTimeAfterBeginning > 0 || FSettings.MaxTimeAfterLastOutput > 0;
    for (;;) {
        // Back-pressure: past the bound of undelivered output the pipe is not read.
        const bool paused = FReader->IsOpen() && FShared->MustPause();
        if (FChildEnded && (paused || wasPaused))
            graceEnd = std::max(graceEnd, Clock::now() + kGrace); // the grace counts while reading
        wasPaused = paused;

        // Leave the loop, tested in this order: stop; the child has ended and its output has
        // been taken (end of file, or the grace period is over); a time-out.
        if (FTerminated.load()) break;
        if (FChildEnded && (!FReader->IsOpen() || Clock::now() >= graceEnd)) break;
        if (!FChildEnded && TimedOut()) break;

        // Only the descriptors that can matter now are polled (the others would only add to the
        // cost of every wait): the clock only with a time limit (its counters are tested after
        // every wait anyway), the pipe to the child only while input waits.
        enum { iOut, iWake, iChild, iTick, iStdin, iCount };
        posix::TPollItem items[iCount];
        size_t count = 0;
        size_t slot[iCount] = {iCount, iCount, iCount, iCount, iCount}; // index in items, iCount: not polled
        auto add = [&](size_t AIndex, int AFd, bool AWrite) {
            if (AFd < 0) return;
            slot[AIndex] = count;
            items[count].Fd = AFd;
            items[count].WantRead = !AWrite;
            items[count].WantWrite = AWrite;
            ++count;
        };
        add(iOut, FReader->IsOpen() && !paused ? FReader->Fd() : -1, false);
        add(iWake, FShared->Wake().Fd(), false);
        add(iChild, !FChildEnded ? FPidfd.Get() : -1, false);
        add(iTick, !FChildEnded && timeLimited ? FTimer->FEvent.Fd() : -1, false);
        add(iStdin, FInputWrite.IsOpen() && !FPendingInput.isEmpty() ? FInputWrite.Get() : -1, true);
        auto ready = [&](size_t AIndex) {
            const size_t i = slot[AIndex];
            return i < count && (items[i].Readable || items[i].Writable);
        };

        int timeout = -1;
        if (FChildEnded) {
            auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(graceEnd - Clock::now()).count();
            timeout = static_cast<int>(std::max<long long>(0, left) + 1);
        } else if (!FPidfd.IsOpen()) {
            timeout = 20; // no pidfd on this system: look at the child now and then
        }
        if (streaming) {
            // A short nap lets the pipe fill; a stop or an input line waits for it at most.
            std::this_thread::sleep_until(lastRead + kStreamingNap);
            streaming = false;
        }
        int err = 0;
        if (posix::Poll(items, count, timeout, err) < 0)
            throw EConsoleCommand(QStringLiteral("Error waiting: %1").arg(posix::ErrorText(err)));

        // The wake event first: what it announces is tested below or at the top of the loop.
        if (ready(iWake)) FShared->Wake().Reset();
        // Output.
        if (ready(iOut)) {
            long n = FReader->ReadChunk(FBatch.Chunk);
            if (n > 0) {
                const Clock::time_point now = Clock::now();
                streaming = n < kStreamingChunk && now - lastRead < kStreamingGap;
                lastRead = now;
                DoReadLine();
            }
        }
        // Input, and the pipe to the child writable again.
        ServeInput();
        // The child.
        if (!FChildEnded && (ready(iChild) || !FPidfd.IsOpen())) {
            uint32_t code = 0;
            int signal = 0;
            if (posix::ChildHasEnded(FPid, code, signal)) {
                FChildEnded = true;
                FEndedAt = Clock::now();
                FExitCode = code;
                FSignal = signal;
                graceEnd = Clock::now() + kGrace;
            }
        }
        if (ready(iTick)) FTimer->FEvent.Reset();
    }
}

void TConsoleThread::Finish() {
    if (FChildEnded) {
        DoEndStatus(esProcess);
        FCanTerminate = false;
    } else {
        FCanTerminate = true;
        TakeWaitingOutput();
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

void TConsoleThread::TakeWaitingOutput() {
    // What the child printed before the stop or the time-out is part of the run's output: the
    // chunk in hand was assembled, and what the pipe still holds is taken too. A child that
    // keeps writing would refill the pipe for ever: the reads are bounded (a pipe holds 64 KiB
    // unless the child enlarged it).
    for (int reads = 0; reads < kWaitingOutputReads && FReader->IsOpen(); ++reads) {
        if (FReader->ReadChunk(FBatch.Chunk) <= 0) break;
        DoReadLine();
    }
}

void TConsoleThread::DoTerminateProcess() {
    FCanTerminate = true;
    if (FSettings.AskTerminate) {
        FCanTerminate = FShared->AskCanTerminate(FBatch, FBatchCost);
        FBatchCost = 0;
    }
    if (FCanTerminate) {
        posix::KillGroup(FGroup);
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
            // before, so its process group id cannot have been given to anyone else (the
            // launcher joins the program's group before it reaps the program).
            const bool wasRunning = !FChildEnded;
            posix::KillGroup(FGroup);
            uint32_t code = 0;
            int signal = 0;
            const bool reaped = posix::ReapChild(FPid, code, signal, &FUsage);
            // Under the launcher, how the program ended and what it cost come from its report.
            // Without one (the launcher was killed too) the launcher's own figures stand, with
            // the peak memory unknown.
            const bool reported =
                reaped && FReport.IsOpen() && posix::ReadLaunchReport(FReport.Get(), code, signal, FUsage);
            if (reported && !wasRunning) {
                FExitCode = code;
                FSignal = signal;
            }
            if (!FChildEnded) FEndedAt = Clock::now();
            // After our own kill the exit code is 0 (a child that exited by itself in the
            // meantime keeps its code).
            if (reaped && wasRunning) {
                FExitCode = signal == posix::kSigKill ? 0 : code;
                FSignal = signal == posix::kSigKill ? 0 : signal;
            }
        }
        FPid = 0;
        FGroup = 0;
    }
    FReport.Close();
    FInputWrite.Close();
    FPidfd.Close();
    FReader.reset();
}

void TConsoleThread::ServeInput() {
    while (!FTerminated.load()) {
        if (FPendingInput.isEmpty()) {
            QString entry;
            if (!FInputLines.TakeFirst(entry)) return;
            if (!FInputWrite.IsOpen()) continue; // the child closed its input: queued input is dropped
            if (entry.startsWith(QChar(CloseInputCh))) {
                // Everything queued before was written (a pending write finishes first): the
                // child now sees the end of its input.
                FInputWrite.Close();
                continue;
            }
            if (entry.startsWith(QLatin1Char('_'))) entry += FSettings.InputLineBreak;
            entry.remove(0, 1);
            if (entry.isEmpty()) continue;
            FOwner->DoCharEncoding(FOwner, entry, FPendingInput);
            FPendingOffset = 0;
            FPendingEcho = entry;
        }
        if (!FPendingInput.isEmpty()) {
            int err = 0;
            long n = posix::Write(FInputWrite.Get(), FPendingInput.constData() + FPendingOffset,
                                  static_cast<size_t>(FPendingInput.size() - FPendingOffset), err);
            if (n < 0) {
                if (err == posix::kErrAgain) return; // served again when the pipe is writable
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
            if (FPendingOffset < FPendingInput.size()) return;
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

void TConsoleThread::DoReadLine() {
    FBatch.OwnChunk = FReader->FastDecoding();
    if (FBatch.Chunk.isEmpty()) {
        Flush(); // posts nothing; keeps or drops the chunk's buffer
        return;
    }
    Assemble(FBatch.Chunk, true);
    Flush();
}

void TConsoleThread::Assemble(const QString &AText, bool AFromChild) {
    const QChar *p = AText.constData();
    const char16_t *u = reinterpret_cast<const char16_t *>(p);
    const qsizetype n = AText.size();
    const bool chars = AFromChild && FSettings.ReportChars;
    qsizetype segment = 0;   // start of the current line's text in AText
    qsizetype charsFrom = 0; // first character not yet reported to OnNewChar
    bool hasNul = false;
    bool completed = false;
    bool lastWasCR = FLastWasCR;
    for (qsizetype i = 0; i < n; ++i) {
        if (u[i] > 13) {
            // The common case: a run of ordinary characters, skipped in a tight loop.
            ++i;
            while (i < n && u[i] > 13)
                ++i;
            lastWasCR = false;
            if (i == n) break;
        }
        const char16_t c = u[i];
        if (c == 0) {
            hasNul = true;
            lastWasCR = false;
            continue;
        }
        if (c != 13 && c != 10) {
            lastWasCR = false;
            continue;
        }
        if (c == 10 && lastWasCR) {
            // The LF of a CR LF pair (also when the CR came with an earlier chunk).
            lastWasCR = false;
            segment = i + 1;
            continue;
        }
        lastWasCR = c == 13;
        if (chars) {
            DoNewChar(p + charsFrom, i + 1 - charsFrom, AFromChild, charsFrom);
            charsFrom = i + 1;
        }
        if (FLast.isEmpty() && !hasNul && AFromChild) {
            // The common case: 8 bytes in the batch's spans, one event for consecutive lines.
            if (FBatch.Events.empty() || FBatch.Events.back().Kind != TRunEvent::rkLines)
                DoLinesAddInChunk(segment, i - segment);
            else {
                FBatch.Spans.push_back({static_cast<int32_t>(segment), static_cast<int32_t>(i - segment)});
                ++FBatch.Events.back().Length;
            }
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
    FLastWasCR = lastWasCR;
    AppendWithoutNul(FLast, p + segment, n - segment, hasNul);
    if (chars && charsFrom < n) DoNewChar(p + charsFrom, n - charsFrom, AFromChild, charsFrom);
    if (completed && AFromChild) FTimer->NewOutput();
    if (!FLast.isEmpty()) {
        FLineBeginned = true;
        // Partial reports are throttled: small lines every time, long ones when they have
        // doubled or a quarter second has passed, so a huge line without end costs linear
        // copying. Every line still ends as one entire line.
        const qsizetype len = FLast.size();
        if (FSettings.ReportPartial && len != FPartialReportedLen) {
            const auto now = Clock::now();
            if (len <= 4096 || len >= 2 * FPartialReportedLen ||
                now - FPartialReportedAt >= std::chrono::milliseconds(250)) {
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
        FBatch.Events.emplace_back(TRunEvent::rkChars, static_cast<int32_t>(AOffset),
                                   static_cast<int32_t>(ACount), true);
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
    // Consecutive lines of the chunk extend one rkLines event: 8 bytes per line.
    if (FBatch.Events.empty() || FBatch.Events.back().Kind != TRunEvent::rkLines) {
        if (FBatch.Spans.capacity() == 0)
            FBatch.Spans.reserve(static_cast<size_t>(FBatch.Chunk.size() / 8 + 16));
        FBatch.Events.emplace_back(TRunEvent::rkLines, static_cast<int32_t>(FBatch.Spans.size()), 0, true);
    }
    FBatch.Spans.push_back({static_cast<int32_t>(AOffset), static_cast<int32_t>(ALength)});
    ++FBatch.Events.back().Length;
}

void TConsoleThread::Flush() {
    FShared->Post(FBatch, FBatchCost);
    FBatchCost = 0;
}

TRunFigures TConsoleThread::Figures() const {
    TRunFigures figures;
    if (!FUsage.Valid) return figures;
    figures.Valid = true;
    figures.WallMilliseconds =
        std::chrono::duration_cast<std::chrono::milliseconds>(FEndedAt - FSpawnedAt).count();
    figures.UserMicroseconds = FUsage.UserMicroseconds;
    figures.SystemMicroseconds = FUsage.SystemMicroseconds;
    figures.MaxResidentKnown = FUsage.MaxResidentKnown;
    figures.MaxResidentBytes = FUsage.MaxResidentKnown ? FUsage.MaxResidentKilobytes * 1024 : 0;
    return figures;
}

} // namespace runner
