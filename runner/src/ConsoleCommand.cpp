// TConsoleCommand: the component's public face, and the GUI side of a run: the
// delivery of the worker's batched calls and the termination handler.
#include "runner/ConsoleCommand.h"

#include "ConsoleThread.h"
#include "ProcessTimer.h"
#include "RunShared.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <chrono>
#include <cstring>
#include <typeinfo>

namespace runner {

namespace {

// Deep copies: what the worker receives shares no string data with the GUI thread.
QString Own(const QString &AValue) {
    return QString(AValue.constData(), AValue.size());
}
QStringList Own(const QStringList &AValue) {
    QStringList result;
    result.reserve(AValue.size());
    for (const QString &s : AValue)
        result.append(Own(s));
    return result;
}

// The error box: the runner has no widgets, so it goes to the application's reporter.
void ErrorBox(const common::Exception &AError) {
    QString caption;
    if (QCoreApplication::instance()) caption = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    common::ReportError({caption, QString::fromLatin1(AError.ClassName()), AError.Message()});
}

void ErrorBoxForCurrentException() {
    try {
        throw;
    } catch (const common::Exception &e) {
        ErrorBox(e);
    } catch (const std::exception &e) {
        ErrorBox(common::Exception(QString::fromLocal8Bit(e.what())));
    } catch (...) {
        ErrorBox(common::Exception(QStringLiteral("Unknown error")));
    }
}

// Runs a user handler; what it throws goes to the error box (no exception leaves a posted call).
template <typename F> void Guarded(F &&ACall) {
    try {
        ACall();
    } catch (...) {
        ErrorBoxForCurrentException();
    }
}

} // namespace

// ---- TConsoleLines -------------------------------------------------------------------------

QString TConsoleLines::at(qsizetype ALine) const {
    if (ALine < 0 || ALine >= size()) throw common::EAssertionFailed();
    const qsizetype start = Start(ALine);
    const qsizetype bytes = End(ALine) - start;
    const char *p = FBytes.constData() + start;
    if (!Wide(ALine)) return QString::fromLatin1(p, bytes);
    QString line(bytes / 2, Qt::Uninitialized);
    std::memcpy(line.data(), p, size_t(bytes));
    return line;
}

QString TConsoleLines::value(qsizetype ALine) const {
    return ALine >= 0 && ALine < size() ? at(ALine) : QString();
}

bool TConsoleLines::Equals(qsizetype ALine, QStringView AText) const {
    const qsizetype start = Start(ALine);
    const qsizetype bytes = End(ALine) - start;
    const char *p = FBytes.constData() + start;
    if (Wide(ALine)) return AText.size() * 2 == bytes && std::memcmp(AText.data(), p, size_t(bytes)) == 0;
    return AText == QLatin1StringView(p, bytes);
}

bool TConsoleLines::contains(QStringView AText) const {
    for (qsizetype i = 0; i < size(); ++i)
        if (Equals(i, AText)) return true;
    return false;
}

QStringList TConsoleLines::toStringList() const {
    QStringList lines;
    lines.reserve(size());
    for (qsizetype i = 0; i < size(); ++i)
        lines.append(at(i));
    return lines;
}

qsizetype TConsoleLines::MemoryUsed() const {
    return FBytes.capacity() + FStarts.capacity() * qsizetype(sizeof(quint64));
}

void TConsoleLines::append(QStringView ALine) {
    const qsizetype from = FBytes.size();
    const qsizetype n = ALine.size();
    const char16_t *src = ALine.utf16();
    // Narrowed at once; a character above U+00FF sends the line to the UTF-16 form.
    FBytes.resize(from + n);
    char *dst = FBytes.data() + from;
    char16_t all = 0;
    for (qsizetype i = 0; i < n; ++i) {
        all |= src[i];
        dst[i] = char(src[i]);
    }
    if (all <= 0xFF) {
        FStarts.append(quint64(from));
        return;
    }
    FBytes.resize(from + 2 * n);
    std::memcpy(FBytes.data() + from, src, size_t(2 * n));
    FStarts.append(quint64(from) | kWide);
}

void TConsoleLines::clear() {
    FBytes = QByteArray();
    FStarts = QList<quint64>();
}

bool operator==(const TConsoleLines &A, const QStringList &B) {
    if (A.size() != B.size()) return false;
    for (qsizetype i = 0; i < A.size(); ++i)
        if (!A.Equals(i, B[i])) return false;
    return true;
}

// ---- TConsoleCommand ------------------------------------------------------------------------

TConsoleCommand::TConsoleCommand(QObject *AOwner) : QObject(AOwner), FSink(new TRunSink(this)) {}

TConsoleCommand::~TConsoleCommand() {
    // Destroy: stop the run and wait for the worker. Calls it posted are dropped with the sink;
    // a worker waiting for the answer of OnTerminateProcess is released (the child is killed).
    // The sink goes first: nothing is delivered any more, and its watch ends before the run's
    // wake event can close.
    delete FSink;
    FSink = nullptr;
    if (FShared) {
        FShared->FComponentAlive = false;
        FShared->Cancel();
    }
    if (FThread) {
        FThread->Terminate();
        FThread->Join();
        FThread.reset();
    }
}

void TConsoleCommand::SetOnCharDecoding(TCharDecoding AValue) {
    if (FThread) throw EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
    FOnCharDecoding = std::move(AValue);
}

void TConsoleCommand::SetOnCharEncoding(TCharEncoding AValue) {
    if (FThread) throw EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
    FOnCharEncoding = std::move(AValue);
}

size_t TConsoleCommand::PeakUndelivered() const {
    return FShared ? FShared->PeakUndelivered() : 0;
}

QString TConsoleCommand::SignalName(int ASignal) {
    return posix::SignalName(ASignal);
}

size_t TConsoleCommand::Undelivered() const {
    return FShared ? FShared->Undelivered() : 0;
}

void TConsoleCommand::Execute() {
    if (FThread) throw EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
    if (FCommandLine.isEmpty()) throw EConsoleCommand(QStringLiteral("No Commandline to execute"));
    if (!FTimer) FTimer = std::make_unique<TProcessTimer>();
    FLines.clear();
    FTimer->Beginning();

    try {
        TRunSettings settings;
        settings.CommandLine = Own(FCommandLine);
        settings.CurrentDir = Own(FCurrentDir);
        settings.Environment = Own(FEnvironment);
        settings.MaxTimeAfterBeginning = FMaxTimeAfterBeginning;
        settings.MaxTimeAfterLastOutput = FMaxTimeAfterLastOutput;
        settings.Priority = FPriority;
        settings.InputToOutput = FInputToOutput;
        settings.InheritStandardInput = FInheritStandardInput;
        settings.ReportChars = static_cast<bool>(FOnNewChar);
        settings.ReportPartial = static_cast<bool>(FOnNewLine);
        settings.AskTerminate = static_cast<bool>(FOnTerminateProcess);
        settings.DefaultDecoding = !FOnCharDecoding && typeid(*this) == typeid(TConsoleCommand);

        auto shared = std::make_shared<TRunShared>();
        shared->FHandlers.OnNewLine = FOnNewLine;
        shared->FHandlers.OnNewChar = FOnNewChar;
        shared->FHandlers.OnTerminateProcess = FOnTerminateProcess;
        shared->FHandlers.OutputLines = FOutputLines;
        shared->FHandlers.KeepLines = FKeepLines;

        auto thread =
            std::make_unique<TConsoleThread>(this, std::move(settings), shared, FTimer->Core(), &FEndStatus);
        FSink->Watch(*shared);
        FShared = std::move(shared);
        FThread = std::move(thread);
        FThread->Start();
    } catch (...) {
        FThread.reset();
        FEndStatus.store(esError);
        try {
            FTimer->Ending();
        } catch (...) {
        }
        throw;
    }
}

void TConsoleCommand::Stop() {
    if (FThread) FThread->Terminate();
}

void TConsoleCommand::SendLine(const QString &AValue, bool AEol) {
    if (!FThread) throw EConsoleCommand(QStringLiteral("ConsoleCommand not running"));
    FThread->InputLines().Add(QChar(EolCh[AEol ? 1 : 0]) + AValue);
}

void TConsoleCommand::CloseInput() {
    if (!FThread) throw EConsoleCommand(QStringLiteral("ConsoleCommand not running"));
    // Queued behind the lines sent before, so they are written first.
    FThread->InputLines().Add(QString(QChar(CloseInputCh)));
}

QString TConsoleCommand::DoCharDecoding(QObject *ASender, const QByteArray &ABuf) {
    (void)ASender;
    if (FOnCharDecoding) return FOnCharDecoding(this, ABuf);
    if (ABuf.size() < 1) return QString();
    return QString::fromLatin1(ABuf);
}

void TConsoleCommand::DoCharEncoding(QObject *ASender, const QString &AChars, QByteArray &AOutBuf) {
    (void)ASender;
    if (FOnCharEncoding) {
        FOnCharEncoding(this, AChars, AOutBuf);
        return;
    }
    if (!AChars.isEmpty()) AOutBuf += AChars.toLatin1();
}

void TConsoleCommand::DeliverPosted() {
    const std::shared_ptr<TRunShared> shared = FShared;
    if (!shared || shared->FInDelivery)
        return; // a nested event loop inside a handler: the outer delivery goes on afterwards
    TRunShared &s = *shared;
    s.FInDelivery = true;
    const TRunHandlers &h = s.FHandlers;
    // Deliver for at most this long per posted call, then let the event loop breathe.
    const auto budgetEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(15);
    size_t cost = 0;
    bool more = false;
    unsigned counter = 0;
    for (;;) {
        if (s.FCurrentBatch < s.FCurrent.size() &&
            s.FCurrentIndex >= s.FCurrent[s.FCurrentBatch].Events.size()) {
            TRunBatch &done = s.FCurrent[s.FCurrentBatch];
            cost += done.PostedCost;
            done.PostedCost = 0;
            // Its buffers go back to the worker, emptied here (not under the shared lock).
            done.Events.clear();
            done.Spans.clear();
            if (done.OwnChunk)
                done.Chunk.resize(0);
            else
                done.Chunk = QString();
            s.FDone.push_back(std::move(done));
            ++s.FCurrentBatch;
            s.FCurrentIndex = 0;
            s.FCurrentSpan = 0;
            continue;
        }
        if (s.FCurrentBatch >= s.FCurrent.size()) {
            s.FCurrent.clear();
            s.FCurrentBatch = 0;
            s.FCurrentIndex = 0;
            s.FCurrentSpan = 0;
            if (!s.Take(s.FCurrent)) break; // nothing more posted: no post is pending any more
            continue;
        }
        if ((++counter & 63u) == 0 && std::chrono::steady_clock::now() >= budgetEnd) {
            more = true;
            break;
        }
        TRunBatch &batch = s.FCurrent[s.FCurrentBatch];
        TRunEvent &e = batch.Events[s.FCurrentIndex];
        if (e.Kind == TRunEvent::rkLines) {
            // One line per turn of the outer loop would cost a test per line more; lines of the
            // event are delivered here, the budget still looked at every 64 lines.
            const QChar *chunk = batch.Chunk.constData();
            const TLineSpan *span = batch.Spans.data() + e.Offset;
            bool outOfBudget = false;
            while (s.FCurrentSpan < e.Length) {
                const TLineSpan &l = span[s.FCurrentSpan++];
                const QStringView text(chunk + l.Offset, l.Length);
                if (h.KeepLines) FLines.append(text);
                // The handlers' string: its buffer is reused from line to line unless a handler
                // kept the string.
                QString &line = s.FLineScratch;
                line.resize(0);
                line.append(text);
                if (h.OutputLines) h.OutputLines->append(line);
                if (h.OnNewLine) {
                    Guarded([&] { h.OnNewLine(this, line, otEntireLine); });
                    if (!s.FComponentAlive) return;
                }
                if ((++counter & 63u) == 0 && s.FCurrentSpan < e.Length &&
                    std::chrono::steady_clock::now() >= budgetEnd) {
                    outOfBudget = true;
                    break;
                }
            }
            if (outOfBudget) {
                more = true;
                break;
            }
            s.FCurrentSpan = 0;
            ++s.FCurrentIndex;
            continue;
        }
        ++s.FCurrentIndex;
        switch (e.Kind) {
        case TRunEvent::rkChars:
            if (h.OnNewChar) {
                const QChar *p = e.InChunk ? batch.Chunk.constData() + e.Offset : e.Text.constData();
                const qsizetype n = e.InChunk ? e.Length : e.Text.size();
                for (qsizetype i = 0; i < n; ++i) {
                    const QChar c = p[i];
                    Guarded([&] { h.OnNewChar(this, c); });
                    if (!s.FComponentAlive) return;
                }
            }
            break;
        case TRunEvent::rkLine: {
            if (e.InChunk) e.Text = QString(batch.Chunk.constData() + e.Offset, e.Length);
            if (h.KeepLines) FLines.append(e.Text);
            const QString &line = e.Text;
            if (h.OutputLines) h.OutputLines->append(line);
            if (h.OnNewLine) {
                Guarded([&] { h.OnNewLine(this, line, otEntireLine); });
                if (!s.FComponentAlive) return;
            }
            break;
        }
        case TRunEvent::rkPartial:
            if (h.OnNewLine) {
                Guarded([&] { h.OnNewLine(this, e.Text, otBeginningOfLine); });
                if (!s.FComponentAlive) return;
            }
            break;
        case TRunEvent::rkLines:
            break; // delivered above
        case TRunEvent::rkProcessInfo:
            FProcessInformation.hProcess = e.Offset;
            FProcessInformation.hThread = -1;
            FProcessInformation.dwProcessId = e.Length;
            FProcessInformation.dwThreadId = 0;
            break;
        case TRunEvent::rkAskTerminate: {
            bool canTerminate = true;
            if (h.OnTerminateProcess) {
                Guarded([&] { h.OnTerminateProcess(this, canTerminate); });
                if (!s.FComponentAlive) return;
            }
            s.Answer(canTerminate);
            break;
        }
        case TRunEvent::rkTerminated:
            for (size_t b = s.FCurrentBatch; b < s.FCurrent.size(); ++b)
                cost += s.FCurrent[b].PostedCost; // the last batch, which ends here
            s.FCurrent.clear();
            s.FCurrentBatch = 0;
            s.FCurrentIndex = 0;
            s.FCurrentSpan = 0;
            s.Delivered(cost, s.FDone);
            s.FInDelivery = false;
            ThreadTerminated(FThread.get());
            return;
        }
    }
    s.Delivered(cost, s.FDone);
    s.FInDelivery = false;
    if (more) s.Repost();
}

void TConsoleCommand::ThreadTerminated(TConsoleThread *ASender) {
    if (!ASender) return;
    ASender->Join(); // it has posted its last call; joining takes no time
    std::unique_ptr<TConsoleThread> thread = std::move(FThread);
    const std::shared_ptr<TRunShared> shared = FShared;
    // 1. The exit code.
    FExitCode = thread->ExitCode();
    FTerminationSignal = thread->TerminationSignal();
    std::exception_ptr error = thread->FatalError();
    FProcessInformation.hProcess = -1; // the pidfd went with the run
    // 2. The clock.
    try {
        FTimer->Ending();
    } catch (...) {
        ErrorBoxForCurrentException();
    }
    // 3. From here IsRunning is false and Execute is allowed.
    thread.reset();
    // 4. The error of the run: OnExecuteError, else the error box.
    if (error) {
        try {
            std::rethrow_exception(error);
        } catch (const common::Exception &e) {
            bool handled = false;
            if (FonExecuteError) {
                try {
                    FonExecuteError(this, e, handled);
                } catch (...) {
                    ErrorBoxForCurrentException();
                    handled = true;
                }
                if (!shared->FComponentAlive) return;
            }
            if (!handled) ErrorBox(e);
        } catch (...) {
            ErrorBoxForCurrentException();
        }
    }
    // 5. OnTerminated.
    if (FOnTerminated) Guarded([&] { FOnTerminated(this); });
}

} // namespace runner
