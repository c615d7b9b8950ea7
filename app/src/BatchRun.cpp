#include "BatchRun.h"

#include "AppController.h"
#include "OutputLimit.h"
#include "PhpMessages.h"
#include "runner/ConsoleCommand.h"
#include "runner/TerminationSignals.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>

namespace app {

namespace {
void PrintError(const QString &AMessage) {
    std::fprintf(stderr, "checkphp: %s\n", AMessage.toLocal8Bit().constData());
    std::fflush(stderr);
}
// Writes PHP's messages in the form editors and CI tools read. A message is written when the
// next one comes (or the run ends): with display and log both on and html_errors set, PHP logs a
// message with its HTML escapes before the first HTML copy shows that they are escapes, and the
// displayed copy that follows gives the plain text.
class TToolReport {
public:
    // ARawLine as the runner delivers it (each byte one character): the marks of a message are
    // ASCII, which UTF-8 never uses inside a character, so it is recognised as it is and decoded
    // only when it is one.
    void Line(const QString &ARawLine) {
        TPhpMessage message;
        if (!RecognisePhpMessage(ARawLine, message)) return;
        const QString line = DecodeResultLine(ARawLine); // the line itself when it is ASCII
        if (line.constData() != ARawLine.constData() && !RecognisePhpMessage(line, message)) return;
        if (FFilter.Accept(message)) {
            Flush();
            FHeld = message;
            FHolding = true;
        } else if (FHolding && message.Html && !FHeld.Html && message.Counted && !message.Chained &&
                   FHeld.Counted && !FHeld.Chained) {
            // The displayed copy of the held logged message: its text without PHP's escapes.
            FHeld.Text = message.Text;
            FHeld.File = message.File;
        }
    }
    void Flush() {
        if (!FHolding) return;
        FHolding = false;
        std::fprintf(stderr, "%s\n", FormatForTools(FHeld).toLocal8Bit().constData());
        std::fflush(stderr);
    }

private:
    TPhpMessageFilter FFilter;
    TPhpMessage FHeld;
    bool FHolding = false;
};
} // namespace

int RunBatch(const TBatchOptions &AOptions) {
    const QString interpreter = AOptions.Interpreter.isEmpty() ? DefaultInterpreter() : AOptions.Interpreter;
    if (interpreter.isEmpty()) {
        PrintError(QStringLiteral("No PHP interpreter found. Give one with --php."));
        return kExitUsage;
    }
    QString commands = QuoteCommandArgument(interpreter);
    if (!AOptions.Script.isEmpty()) {
        QFile script(AOptions.Script);
        if (!script.open(QIODevice::ReadOnly)) {
            PrintError(
                QStringLiteral("Cannot open file \"%1\": %2").arg(AOptions.Script, script.errorString()));
            return kExitUsage;
        }
        commands += QLatin1Char(' ') + QuoteCommandArgument(AOptions.Script);
    }

    TResultBytes result; // what the result file needs, once: the runner keeps no lines
    QString startError;
    QEventLoop loop;
    runner::TConsoleCommand command;
    command.SetInputToOutput(false);
    command.SetKeepLines(false);
    command.SetInheritStandardInput(true);
    command.SetMaxTimeAfterBeginning(AOptions.TimeoutSeconds);
    command.SetMaxTimeAfterLastOutput(1000);
    command.SetCommandLine(BuildCommandLine(commands, AOptions.Params));
    // In the script's folder, as `cd dir && php script.php` runs it; without a script, here.
    if (!AOptions.Script.isEmpty()) command.SetCurrentDir(QFileInfo(AOptions.Script).absolutePath());
    TToolReport toolReport;
    TOutputLimit limit(AOptions.MaxOutputBytes);
    command.SetOnNewLine([&](QObject *, const QString &ANewLine, runner::TOutputType AType) {
        if (limit.Passed()) return; // being stopped: the rest is dropped
        if (limit.Add(ANewLine.size(), AType == runner::otEntireLine)) {
            command.Stop();
            return;
        }
        if (AType != runner::otEntireLine) return;
        result.AddLine(ANewLine);
        if (AOptions.ReportErrors) toolReport.Line(ANewLine);
    });
    command.SetOnExecuteError([&](QObject *, const common::Exception &AE, bool &AHandled) {
        startError = AE.Message();
        AHandled = true;
    });
    command.SetOnTerminated([&](QObject *) { loop.quit(); });
    // A terminating signal stops the run as Stop does; what was printed is still written.
    int stopSignal = 0;
    runner::TTerminationSignals signalWatcher([&](int ASignal) {
        if (stopSignal == 0) stopSignal = ASignal;
        command.Stop();
    });
    try {
        command.Execute();
    } catch (const common::Exception &e) {
        PrintError(e.Message());
        return kExitNotStarted;
    }
    loop.exec();
    toolReport.Flush();

    if (command.ProcessInformation().dwProcessId <= 0) {
        PrintError(startError.isEmpty() ? QStringLiteral("the interpreter could not be run") : startError);
        return kExitNotStarted;
    }
    try {
        WriteResultBytes(AOptions.ResultFile, result.Bytes());
    } catch (const common::Exception &e) {
        PrintError(e.Message());
        return kExitResultFile;
    }
    if (stopSignal != 0) {
        PrintError(QStringLiteral("the run was stopped by signal %1").arg(stopSignal));
        return runner::TTerminationSignals::ExitStatusFor(stopSignal);
    }
    if (limit.Passed()) {
        PrintError(QStringLiteral("the run was %1").arg(limit.StopText()));
        return kExitOutputLimit;
    }
    switch (command.EndStatus()) {
    case runner::esError:
        PrintError(startError.isEmpty() ? QStringLiteral("the run failed") : startError);
        return kExitRunFailed;
    case runner::esTime:
        PrintError(QStringLiteral("the run ended by time-out"));
        return kExitTimeOut;
    default:
        break;
    }
    return int(command.ExitCode() & 0xFF);
}

} // namespace app
