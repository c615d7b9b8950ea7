// SPDX-License-Identifier: MIT
#include "BatchRun.h"

#include "CommandLine.h"
#include "FileWriting.h"
#include "RunSession.h"
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
    void Line(const TRunLine &ALine) {
        if (!ALine.Message) return;
        const TPhpMessage &message = *ALine.Message;
        if (ALine.Reported) {
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
    TPhpMessage FHeld;
    bool FHolding = false;
};
} // namespace

void PrintBatchError(const QString &AMessage) {
    PrintError(AMessage);
}

bool MakeBatchSpec(const TBatchOptions &AOptions, TRunSpec &ASpec) {
    ASpec.Interpreter = AOptions.Interpreter.isEmpty() ? DefaultInterpreter() : AOptions.Interpreter;
    if (ASpec.Interpreter.isEmpty()) {
        PrintError(QStringLiteral("No PHP interpreter found. Give one with --php."));
        return false;
    }
    if (!AOptions.Script.isEmpty()) {
        QFile script(AOptions.Script);
        if (!script.open(QIODevice::ReadOnly)) {
            PrintError(
                QStringLiteral("Cannot open file \"%1\": %2").arg(AOptions.Script, script.errorString()));
            return false;
        }
        ASpec.Script = AOptions.Script;
        // In the script's folder, as `cd dir && php script.php` runs it; without a script, here.
        ASpec.WorkingFolder = QFileInfo(AOptions.Script).absolutePath();
    }
    ASpec.Params = AOptions.Params;
    ASpec.InterpreterOptions = AOptions.InterpreterOptions;
    ASpec.Environment = AOptions.Environment;
    if (!AOptions.WorkingFolder.isEmpty()) ASpec.WorkingFolder = AOptions.WorkingFolder;
    ASpec.MaxTimeAfterBeginning = AOptions.TimeoutSeconds;
    ASpec.MaxOutputBytes = AOptions.MaxOutputBytes;
    ASpec.InheritStandardInput = true;
    return true;
}

int RunBatch(const TBatchOptions &AOptions) {
    TRunSpec spec;
    if (!MakeBatchSpec(AOptions, spec)) return kExitUsage;

    TResultBytes result; // what the result file needs, once: the runner keeps no lines
    TToolReport toolReport;
    QEventLoop loop;
    TRunSession session;
    session.SetOnLine([&](const TRunLine &ALine) {
        result.AddLine(ALine.Raw);
        if (AOptions.ReportErrors) toolReport.Line(ALine);
    });
    session.SetOnError([](const common::Exception &, bool &AHandled) { AHandled = true; });
    session.SetOnEnded([&](const TRunOutcome &) { loop.quit(); });
    // A terminating signal stops the run as Stop does; what was printed is still written.
    runner::TTerminationSignals signalWatcher([&](int ASignal) { session.Stop(ASignal); });
    try {
        session.Start(spec);
    } catch (const common::Exception &e) {
        PrintError(e.Message());
        return kExitNotStarted;
    }
    loop.exec();
    toolReport.Flush();

    const TRunOutcome outcome = session.Outcome();
    if (!outcome.Started) {
        PrintError(outcome.Error.isEmpty() ? QStringLiteral("the interpreter could not be run")
                                           : outcome.Error);
        return kExitNotStarted;
    }
    try {
        WriteFileBytes(AOptions.ResultFile, result.Bytes());
    } catch (const common::Exception &e) {
        PrintError(e.Message());
        return kExitResultFile;
    }
    if (AOptions.ReportStats) PrintError(outcome.StatsLine());
    QString message;
    const int status = outcome.BatchExitCode(message);
    if (!message.isEmpty()) PrintError(message);
    return status;
}

} // namespace app
