// SPDX-License-Identifier: MIT
#pragma once
// TConsoleCommand: runs one console program at a time as a child process with redirected standard
// input, output and error, and reports what the child writes as characters and lines on the GUI
// thread (the thread that owns the component).

#include "common/Exception.h"

#include <QByteArray>
#include <QObject>
#include <QString>
#include <QStringList>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace runner {

enum TOutputType : uint8_t { otEntireLine, otBeginningOfLine };

enum TEndStatus : uint8_t { esStop, esProcess, esStill_Active, esNone, esError, esTime };

// How SendLine's text becomes bytes when no OnCharEncoding hook is set: Latin-1 (the ANSI code
// page here; a character it cannot hold becomes "?") or UTF-8.
enum TInputEncoding : uint8_t { ieAnsi, ieUTF8 };

// Events. The sender is always the TConsoleCommand itself.
using TNotifyEvent = std::function<void(QObject *ASender)>;
using TNewLineEvent = std::function<void(QObject *ASender, const QString &ANewLine, TOutputType AOutputType)>;
using TNewCharEvent = std::function<void(QObject *ASender, QChar ANewChar)>;
using TErrorEvent = std::function<void(QObject *ASender, const common::Exception &AE, bool &AHandled)>;
using TTerminateProcessEvent = std::function<void(QObject *ASender, bool &ACanTerminate)>;
// Decodes one chunk of raw output (runs on a worker thread; must not touch GUI objects).
using TCharDecoding = std::function<QString(QObject *ASender, const QByteArray &ABuf)>;
// Encodes input text, appending the bytes to AOutBuf (runs on a worker thread).
using TCharEncoding = std::function<void(QObject *ASender, const QString &AChars, QByteArray &AOutBuf)>;

COMMON_DECLARE_EXCEPTION(EConsoleCommand, common::Exception)
COMMON_DECLARE_EXCEPTION(ECreatePipeError, common::Exception)
COMMON_DECLARE_EXCEPTION(ECreateProcessError, common::Exception)
COMMON_DECLARE_EXCEPTION(EProcessTimer, common::Exception)

// Priority classes (the values or-ed into process creation flags); mapped to nice values.
inline constexpr int32_t IDLE_PRIORITY_CLASS = 0x40;
inline constexpr int32_t BELOW_NORMAL_PRIORITY_CLASS = 0x4000;
inline constexpr int32_t NORMAL_PRIORITY_CLASS = 0x20;
inline constexpr int32_t ABOVE_NORMAL_PRIORITY_CLASS = 0x8000;
inline constexpr int32_t HIGH_PRIORITY_CLASS = 0x80;
inline constexpr int32_t REALTIME_PRIORITY_CLASS = 0x100;

// Identifiers of the child of the current or last run. dwProcessId is the program's process id,
// which is also the id of its process group (Stop ends that group). On Linux the "process
// handle" is the pidfd the worker holds (-1 when none): that of the small launcher the program
// runs under (see TRunFigures), or of the program when it was started without one. There is no
// separate thread handle or thread id.
struct TProcessInformation {
    int hProcess = -1;
    int hThread = -1;
    int64_t dwProcessId = 0;
    int64_t dwThreadId = 0;
};

// What the child of a run cost, as the kernel accounted it when the child was reaped (wait4):
// its CPU time and peak resident memory include those of the children it waited for. The wall
// time runs from the child's start to its end. Not valid before a run has ended, for a run whose
// child could not start, or for a child left running at the terminate question's answer.
//
// Linux carries a process's peak memory over exec, so a program started straight from a big
// process would report that process's size as its own peak. The program therefore runs under a
// small launcher (consolecommand-launch, installed in libexec/checkphp/) that reaps it and
// reports its figures. The launcher costs a run one more process start and exec of a program of
// a few pages (bench/bench_launch measures it: 0.7 ms of wall and 0.8 ms of CPU time on a
// virtual machine where a run of /bin/true through the runner takes 2 ms) and adds none of its
// own CPU time to the figures.
// MaxResidentKnown is false (and MaxResidentBytes 0) when that report is missing: no launcher
// was found (the program was then started directly, as CONSOLECOMMAND_LAUNCHER set to an empty
// value in the environment also asks), or the launcher was killed from outside before the
// program ended. The CPU times are then those of the launcher and of whatever it had reaped;
// the wall time stays right.
struct TRunFigures {
    bool Valid = false;
    bool MaxResidentKnown = false;
    int64_t WallMilliseconds = 0;
    int64_t UserMicroseconds = 0;
    int64_t SystemMicroseconds = 0;
    int64_t MaxResidentBytes = 0;
};

// Marker characters of input queue entries: blank = send as is, "_" = append the line break.
inline constexpr char16_t EolCh[2] = {u' ', u'_'};
// The marker of the queue entry CloseInput adds: close the child's standard input there.
inline constexpr char16_t CloseInputCh = u'\x04';

// The entire lines of a run, kept compactly: the characters of all lines in one byte store (one
// byte a character for a line whose characters are all below U+0100, as the default decoding
// gives; its UTF-16 code units otherwise) and 8 bytes of index a line, instead of a string with
// its own allocation and header per line. Reading a line builds its QString. Read like a
// QStringList.
class TConsoleLines {
public:
    qsizetype size() const { return FStarts.size(); }
    qsizetype count() const { return size(); }
    bool isEmpty() const { return FStarts.isEmpty(); }
    // ALine in 0 .. size() - 1.
    QString at(qsizetype ALine) const;
    QString operator[](qsizetype ALine) const { return at(ALine); }
    // The line, or an empty string outside the list.
    QString value(qsizetype ALine) const;
    QString front() const { return at(0); }
    QString constFirst() const { return at(0); }
    QString constLast() const { return at(size() - 1); }
    bool contains(QStringView AText) const;
    QStringList toStringList() const;
    // Bytes held for the characters and the index (capacity included).
    qsizetype MemoryUsed() const;

    void append(QStringView ALine);
    void clear();

    friend bool operator==(const TConsoleLines &A, const QStringList &B);
    friend bool operator==(const QStringList &A, const TConsoleLines &B) { return B == A; }
    friend bool operator!=(const TConsoleLines &A, const QStringList &B) { return !(A == B); }

private:
    // Bit 63 of an index entry: the line is held as UTF-16 code units.
    static constexpr quint64 kWide = quint64(1) << 63;
    qsizetype Start(qsizetype ALine) const { return qsizetype(FStarts[ALine] & ~kWide); }
    qsizetype End(qsizetype ALine) const { return ALine + 1 < size() ? Start(ALine + 1) : FBytes.size(); }
    bool Wide(qsizetype ALine) const { return (FStarts[ALine] & kWide) != 0; }
    // Whether ALine holds the characters of AText.
    bool Equals(qsizetype ALine, QStringView AText) const;

    QByteArray FBytes;      // the characters of every line, line after line
    QList<quint64> FStarts; // where each line starts in FBytes, with kWide
};

class TConsoleThread;
class TProcessTimer;
class TRunDelivery;
class TRunShared;
class TRunSink;

class TConsoleCommand : public QObject {
    Q_OBJECT
public:
    explicit TConsoleCommand(QObject *AOwner = nullptr);
    // Stops a running child and waits (serving the run's posted calls is not needed: they are
    // dropped) until the worker has released everything; no worker outlives the component.
    ~TConsoleCommand() override;
    TConsoleCommand(const TConsoleCommand &) = delete;
    TConsoleCommand &operator=(const TConsoleCommand &) = delete;

    // Published properties. Settings are taken at Execute: changing them during a run affects
    // only later runs.
    const QString &CommandLine() const { return FCommandLine; }
    void SetCommandLine(const QString &AValue) { FCommandLine = AValue; }
    const QString &CurrentDir() const { return FCurrentDir; }
    void SetCurrentDir(const QString &AValue) { FCurrentDir = AValue; }
    // Extra NAME=value strings; a name given here replaces the inherited variable.
    QStringList &Environment() { return FEnvironment; }
    const QStringList &Environment() const { return FEnvironment; }
    bool InputToOutput() const { return FInputToOutput; }
    void SetInputToOutput(bool AValue) { FInputToOutput = AValue; }
    // Whether the child reads this process's own standard input (a terminal, a file, a pipe)
    // instead of a pipe fed by SendLine; SendLine then sends nothing. A closed standard input
    // gives the child an empty one.
    bool InheritStandardInput() const { return FInheritStandardInput; }
    void SetInheritStandardInput(bool AValue) { FInheritStandardInput = AValue; }
    int32_t MaxTimeAfterBeginning() const { return FMaxTimeAfterBeginning; }
    void SetMaxTimeAfterBeginning(int32_t AValue) { FMaxTimeAfterBeginning = AValue; }
    int32_t MaxTimeAfterLastOutput() const { return FMaxTimeAfterLastOutput; }
    void SetMaxTimeAfterLastOutput(int32_t AValue) { FMaxTimeAfterLastOutput = AValue; }

    const TCharDecoding &OnCharDecoding() const { return FOnCharDecoding; }
    void SetOnCharDecoding(TCharDecoding AValue); // raises EConsoleCommand while running
    const TCharEncoding &OnCharEncoding() const { return FOnCharEncoding; }
    void SetOnCharEncoding(TCharEncoding AValue); // raises EConsoleCommand while running
    // The encoding of sent lines without an OnCharEncoding hook (default ieAnsi), and the line
    // break SendLine appends when asked (default CR LF). Both raise EConsoleCommand while running.
    TInputEncoding InputEncoding() const { return FInputEncoding; }
    void SetInputEncoding(TInputEncoding AValue);
    const QString &InputLineBreak() const { return FInputLineBreak; }
    void SetInputLineBreak(const QString &AValue);
    const TErrorEvent &OnExecuteError() const { return FonExecuteError; }
    void SetOnExecuteError(TErrorEvent AValue) { FonExecuteError = std::move(AValue); }
    const TNewCharEvent &OnNewChar() const { return FOnNewChar; }
    void SetOnNewChar(TNewCharEvent AValue) { FOnNewChar = std::move(AValue); }
    const TNewLineEvent &OnNewLine() const { return FOnNewLine; }
    void SetOnNewLine(TNewLineEvent AValue) { FOnNewLine = std::move(AValue); }
    const TNotifyEvent &OnTerminated() const { return FOnTerminated; }
    void SetOnTerminated(TNotifyEvent AValue) { FOnTerminated = std::move(AValue); }
    const TTerminateProcessEvent &OnTerminateProcess() const { return FOnTerminateProcess; }
    void SetOnTerminateProcess(TTerminateProcessEvent AValue) { FOnTerminateProcess = std::move(AValue); }

    // Public properties.
    TEndStatus EndStatus() const { return FEndStatus.load(); }
    uint32_t ExitCode() const { return FExitCode; }
    // The signal that ended the child of the last run (ExitCode is then 128 + it), 0 when the
    // child exited by itself or was ended by Stop, a time-out or the component's destruction.
    int TerminationSignal() const { return FTerminationSignal; }
    // The figures of the child of the last run (see TRunFigures).
    const TRunFigures &Figures() const { return FFigures; }
    // The name of a signal ("SIGKILL"), or "signal N" for a number the system does not name.
    static QString SignalName(int ASignal);
    bool IsRunning() const { return FThread != nullptr; }
    const TConsoleLines &Lines() const { return FLines; }
    // Whether Lines keeps every entire line of a run (the default). A caller that keeps the
    // output its own way (the batch mode writes it straight into its result) switches it off, so
    // the output is not held twice; OnNewLine and OutputLines get every line either way.
    bool KeepLines() const { return FKeepLines; }
    void SetKeepLines(bool AValue) { FKeepLines = AValue; }
    // Optional external list that also receives every complete line; not owned.
    QStringList *OutputLines() const { return FOutputLines; }
    void SetOutputLines(QStringList *AValue) { FOutputLines = AValue; }
    int32_t Priority() const { return FPriority; }
    void SetPriority(int32_t AValue) { FPriority = AValue; }
    const TProcessInformation &ProcessInformation() const { return FProcessInformation; }

    // Operations.
    void Execute();
    void Stop();
    void SendLine(const QString &AValue, bool AEol);
    // Closes the child's standard input once every line queued before it has been written, so a
    // child reading to the end of its input finishes; lines sent afterwards are dropped. Raises
    // EConsoleCommand when no run is going, like SendLine.
    void CloseInput();

    // Byte/character conversion: the hooks when set, else Latin-1 (the ANSI code page here).
    virtual QString DoCharDecoding(QObject *ASender, const QByteArray &ABuf);
    virtual void DoCharEncoding(QObject *ASender, const QString &AChars, QByteArray &AOutBuf);
    // Whether DoCharDecoding is the default conversion: true when no OnCharDecoding hook is set.
    // The worker then decodes by itself, into a reused buffer, without calling DoCharDecoding. A
    // subclass that overrides DoCharDecoding overrides this as well and returns false.
    virtual bool HasDefaultCharDecoding() const;

    // Largest amount of output (estimated bytes) that waited for delivery to this thread
    // during the last run; output past a bound of 8 MB waits in the child's pipe instead.
    size_t PeakUndelivered() const;
    // Output (estimated bytes) posted by the worker and not yet delivered; 0 once a run has ended.
    size_t Undelivered() const;

private:
    friend class TConsoleThread;
    friend class TRunDelivery;
    friend class TRunSink;
    // The worker's termination handler, run on the GUI thread once the run has ended.
    void ThreadTerminated(TConsoleThread *ASender);
    // Runs the calls the worker posted (batched), in order, through the run's delivery; called
    // through the sink.
    void DeliverPosted();

    QString FCommandLine;
    QString FCurrentDir;
    QStringList FEnvironment;
    uint32_t FExitCode = 0;
    int FTerminationSignal = 0;
    bool FInputToOutput = false;
    bool FInheritStandardInput = false;
    bool FKeepLines = true;
    TConsoleLines FLines;
    int32_t FMaxTimeAfterBeginning = 0;
    int32_t FMaxTimeAfterLastOutput = 0;
    TCharDecoding FOnCharDecoding;
    TCharEncoding FOnCharEncoding;
    TInputEncoding FInputEncoding = ieAnsi;
    QString FInputLineBreak = QStringLiteral("\r\n");
    TErrorEvent FonExecuteError;
    TNewCharEvent FOnNewChar;
    TNewLineEvent FOnNewLine;
    TNotifyEvent FOnTerminated;
    TTerminateProcessEvent FOnTerminateProcess;
    QStringList *FOutputLines = nullptr;
    int32_t FPriority = NORMAL_PRIORITY_CLASS;
    std::unique_ptr<TConsoleThread> FThread;
    std::unique_ptr<TProcessTimer> FTimer;
    std::atomic<TEndStatus> FEndStatus{esNone};
    TProcessInformation FProcessInformation;
    TRunFigures FFigures;
    // The current (or last) run's shared state, and the object the worker posts to.
    std::shared_ptr<TRunShared> FShared;
    std::shared_ptr<TRunDelivery> FDelivery; // the GUI side of the current (or last) run
    TRunSink *FSink = nullptr;
    // False once the destructor has begun; every run's delivery holds it.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};

} // namespace runner
