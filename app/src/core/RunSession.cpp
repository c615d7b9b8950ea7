// SPDX-License-Identifier: MIT
#include "RunSession.h"

#include "FileWriting.h"

namespace app {

const QString &TRunLine::Text() const {
    if (!FDecoded) {
        FText = DecodeResultLine(Raw);
        FDecoded = true;
    }
    return FText;
}

TRunSession::TRunSession(QObject *AParent) : QObject(AParent), FCommand(new runner::TConsoleCommand(this)) {
    FCommand->setObjectName(QStringLiteral("ConsoleCommand"));
    FCommand->SetInputToOutput(false);
    FCommand->SetKeepLines(false); // whoever takes the lines keeps them, once
    // Input sent to the script reaches it as a shell's would: UTF-8, ending in LF.
    FCommand->SetInputEncoding(runner::ieUTF8);
    FCommand->SetInputLineBreak(QStringLiteral("\n"));
    FCommand->SetOnNewLine(
        [this](QObject *, const QString &ANewLine, runner::TOutputType AType) { TakeLine(ANewLine, AType); });
    FCommand->SetOnExecuteError([this](QObject *, const common::Exception &AE, bool &AHandled) {
        FError = AE.Message();
        FFailedToStart = dynamic_cast<const runner::ECreateProcessError *>(&AE) != nullptr ||
                         dynamic_cast<const runner::ECreatePipeError *>(&AE) != nullptr;
        if (FOnError) FOnError(AE, AHandled);
    });
    FCommand->SetOnTerminated([this](QObject *) { Ended(); });
}

// The runner is a child object: its destructor stops a running child and waits for the worker.
TRunSession::~TRunSession() = default;

void TRunSession::Start(const TRunSpec &ASpec) {
    if (FCommand->IsRunning()) throw runner::EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
    FCommand->SetCommandLine(ASpec.CommandLine());
    FCommand->SetCurrentDir(ASpec.WorkingFolder);
    FCommand->Environment() = ASpec.Environment;
    FCommand->SetInheritStandardInput(ASpec.InheritStandardInput);
    FCommand->SetMaxTimeAfterBeginning(ASpec.MaxTimeAfterBeginning);
    FCommand->SetMaxTimeAfterLastOutput(ASpec.MaxTimeAfterLastOutput);
    FLimit = TOutputLimit(ASpec.MaxOutputBytes);
    FFilter.Reset();
    FLines = 0;
    FErrors = 0;
    FWarnings = 0;
    FError.clear();
    FFailedToStart = false;
    FStopSignal = 0;
    FWallMs = 0;
    FClock.start();
    FCommand->Execute();
}

void TRunSession::Stop(int AStopSignal) {
    if (FStopSignal == 0) FStopSignal = AStopSignal;
    FCommand->Stop(); // nothing when no run is going
}

void TRunSession::TakeLine(const QString &ANewLine, runner::TOutputType AType) {
    // Past the limit the run is being stopped: what still comes is dropped.
    if (FLimit.Passed()) return;
    if (FLimit.Add(ANewLine.size(), AType == runner::otEntireLine)) {
        FCommand->Stop();
        return;
    }
    if (AType != runner::otEntireLine) {
        if (FOnPartialLine) FOnPartialLine(DecodeResultLine(ANewLine));
        return;
    }
    ++FLines;
    // The marks of a message are ASCII, which UTF-8 never uses inside a character: the line is
    // recognised as it came, and again decoded only when it is a message and not ASCII.
    TRunLine line(ANewLine);
    TPhpMessage message;
    if (RecognisePhpMessage(ANewLine, message) &&
        (line.Text().constData() == ANewLine.constData() || RecognisePhpMessage(line.Text(), message))) {
        line.Message = &message;
        line.Reported = FFilter.Accept(message);
        if (line.Reported && message.Counted) {
            if (message.Severity == psError)
                ++FErrors;
            else if (message.Severity == psWarning)
                ++FWarnings;
        }
    }
    if (FOnLine) FOnLine(line);
}

void TRunSession::Ended() {
    FWallMs = FClock.elapsed();
    if (FOnEnded) FOnEnded(Outcome());
}

TRunOutcome TRunSession::Outcome() const {
    TRunOutcome outcome;
    outcome.Running = FCommand->IsRunning();
    outcome.EndStatus = outcome.Running ? runner::esStill_Active : FCommand->EndStatus();
    outcome.ExitCode = int(FCommand->ExitCode());
    outcome.Signal = FCommand->TerminationSignal();
    outcome.Started = FCommand->ProcessInformation().dwProcessId > 0;
    outcome.FailedToStart = FFailedToStart;
    outcome.Error = FError;
    outcome.OutputLimitPassed = FLimit.Passed();
    if (FLimit.Passed()) outcome.StopReason = FLimit.StopText();
    outcome.StopSignal = FStopSignal;
    outcome.MaxTimeAfterBeginning = FCommand->MaxTimeAfterBeginning();
    outcome.MaxTimeAfterLastOutput = FCommand->MaxTimeAfterLastOutput();
    outcome.WallMs = outcome.Running && FClock.isValid() ? FClock.elapsed() : FWallMs;
    outcome.Lines = FLines;
    outcome.Errors = FErrors;
    outcome.Warnings = FWarnings;
    if (!outcome.Running) outcome.Figures = FCommand->Figures();
    return outcome;
}

} // namespace app
