// SPDX-License-Identifier: MIT
#pragma once
// TRunSession: one run of the interpreter as the window and the batch mode both make it. It sets
// up the runner from a TRunSpec, bounds the output, decodes the lines, recognises and counts
// PHP's messages, and hands on each line and, at the end, the run as a TRunOutcome.

#include "OutputLimit.h"
#include "PhpMessages.h"
#include "RunOutcome.h"
#include "RunSpec.h"
#include "runner/ConsoleCommand.h"

#include <QElapsedTimer>
#include <QObject>

#include <functional>

namespace app {

// An entire output line as a session hands it on.
class TRunLine {
public:
    explicit TRunLine(const QString &ARaw) : Raw(ARaw) {}
    // As the runner delivers it: each byte one Latin-1 character.
    const QString &Raw;
    // The message the line is, or nullptr.
    const TPhpMessage *Message = nullptr;
    // The message is one to report: not the second copy PHP writes with display and log both on.
    bool Reported = false;
    // The line decoded as UTF-8 (the line itself when it is ASCII), decoded once on demand.
    const QString &Text() const;

private:
    mutable QString FText;
    mutable bool FDecoded = false;
};

class TRunSession : public QObject {
public:
    explicit TRunSession(QObject *AParent = nullptr);
    ~TRunSession() override;

    // The runner, named "ConsoleCommand"; owned by the session.
    runner::TConsoleCommand &Command() const { return *FCommand; }

    // Each entire line, in order; a partial line (a prompt) decoded, each time it grows; the end
    // of the run, with how it ended.
    void SetOnLine(std::function<void(const TRunLine &)> AValue) { FOnLine = std::move(AValue); }
    void SetOnPartialLine(std::function<void(const QString &)> AValue) { FOnPartialLine = std::move(AValue); }
    void SetOnEnded(std::function<void(const TRunOutcome &)> AValue) { FOnEnded = std::move(AValue); }
    // A failure of the runner: AHandled = true keeps it from being reported further (as an
    // error dialog in the window). The outcome notes it either way.
    void SetOnError(std::function<void(const common::Exception &, bool &)> AValue) {
        FOnError = std::move(AValue);
    }

    // Starts the run (throws what the runner throws when it cannot). A running session refuses.
    void Start(const TRunSpec &ASpec);
    // Stops a run (nothing when none is going); AStopSignal: a signal to this process asked for
    // it, which the outcome keeps.
    void Stop(int AStopSignal = 0);
    bool IsRunning() const { return FCommand->IsRunning(); }
    void SendLine(const QString &AText) { FCommand->SendLine(AText, true); }
    void CloseInput() { FCommand->CloseInput(); }

    // The output limit; changed during a run it applies to what came already.
    qint64 MaxOutput() const { return FLimit.MaxBytes(); }
    void SetMaxOutput(qint64 ABytes) { FLimit.SetMaxBytes(ABytes); }
    // The output counted against the limit so far.
    qint64 OutputBytes() const { return FLimit.Bytes(); }

    // Figures of the current run so far, or of the last run.
    qint64 Lines() const { return FLines; }
    int Errors() const { return FErrors; }
    int Warnings() const { return FWarnings; }
    // The current run so far, or the last run.
    TRunOutcome Outcome() const;

    // A line as the runner's OnNewLine delivers it (the session's runner calls it itself).
    void TakeLine(const QString &ANewLine, runner::TOutputType AType);

private:
    void Ended();

    runner::TConsoleCommand *FCommand; // a child object
    TOutputLimit FLimit;
    TPhpMessageFilter FFilter;
    QElapsedTimer FClock;
    qint64 FWallMs = 0;
    qint64 FLines = 0;
    int FErrors = 0;
    int FWarnings = 0;
    QString FError;
    bool FFailedToStart = false;
    int FStopSignal = 0;
    std::function<void(const TRunLine &)> FOnLine;
    std::function<void(const QString &)> FOnPartialLine;
    std::function<void(const TRunOutcome &)> FOnEnded;
    std::function<void(const common::Exception &, bool &)> FOnError;
};

} // namespace app
