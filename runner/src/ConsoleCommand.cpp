// SPDX-License-Identifier: MIT
// TConsoleCommand: the component's public face and the termination handler of a run. The
// delivery of the worker's batched calls is TRunDelivery (RunDelivery.h).
#include "runner/ConsoleCommand.h"

#include "ConsoleThread.h"
#include "ProcessTimer.h"
#include "RunDelivery.h"
#include "RunShared.h"

#include <cstring>

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
    *FAlive = false; // every delivery of this component, also one of an earlier run on the stack
    if (FShared) FShared->Cancel();
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

void TConsoleCommand::SetInputEncoding(TInputEncoding AValue) {
    if (FThread) throw EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
    FInputEncoding = AValue;
}

void TConsoleCommand::SetInputLineBreak(const QString &AValue) {
    if (FThread) throw EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
    FInputLineBreak = AValue;
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
        settings.DefaultDecoding = HasDefaultCharDecoding();
        settings.InputLineBreak = Own(FInputLineBreak);

        TRunHandlers handlers;
        handlers.OnNewLine = FOnNewLine;
        handlers.OnNewChar = FOnNewChar;
        handlers.OnTerminateProcess = FOnTerminateProcess;
        handlers.OutputLines = FOutputLines;
        handlers.KeptLines = FKeepLines ? &FLines : nullptr;

        auto shared = std::make_shared<TRunShared>();
        auto delivery = std::make_shared<TRunDelivery>(*this, FAlive, shared, std::move(handlers));
        auto thread =
            std::make_unique<TConsoleThread>(this, std::move(settings), shared, FTimer->Core(), &FEndStatus);
        FSink->Watch(*shared);
        FDelivery = std::move(delivery);
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
    if (AChars.isEmpty()) return;
    AOutBuf += FInputEncoding == ieUTF8 ? AChars.toUtf8() : AChars.toLatin1();
}

bool TConsoleCommand::HasDefaultCharDecoding() const {
    return !FOnCharDecoding;
}

void TConsoleCommand::DeliverPosted() {
    // The copy keeps the delivery alive while a handler destroys the component.
    if (const std::shared_ptr<TRunDelivery> delivery = FDelivery) delivery->Deliver();
}

void TConsoleCommand::ThreadTerminated(TConsoleThread *ASender) {
    if (!ASender) return;
    ASender->Join(); // it has posted its last call; joining takes no time
    std::unique_ptr<TConsoleThread> thread = std::move(FThread);
    const std::shared_ptr<TRunDelivery> delivery = FDelivery;
    // 1. The exit code.
    FExitCode = thread->ExitCode();
    FTerminationSignal = thread->TerminationSignal();
    FFigures = thread->Figures();
    std::exception_ptr error = thread->FatalError();
    FProcessInformation.hProcess = -1; // the pidfd went with the run
    // 2. The clock.
    try {
        FTimer->Ending();
    } catch (...) {
        delivery->ReportCurrentException();
    }
    // 3. From here IsRunning is false and Execute is allowed.
    thread.reset();
    if (FShared) FShared->ReleaseBuffers();
    // 4. The error of the run: OnExecuteError, else the error box.
    if (error && !delivery->ExecuteError(error)) return;
    // 5. OnTerminated.
    delivery->Terminated();
}

} // namespace runner
