// SPDX-License-Identifier: MIT
#pragma once
// The batch mode: runs a script as the window would and writes the result file, without a window.

#include "OutputLimit.h"
#include "RunOutcome.h"

#include <QString>
#include <QStringList>

namespace app {

struct TBatchOptions {
    QString Interpreter;        // empty: php on PATH
    QString Params;             // as a shell reads words
    QString InterpreterOptions; // before the script, as a shell reads words
    QStringList Environment;    // NAME=VALUE added to the inherited environment
    QString WorkingFolder;      // empty: the script's folder (without a script, this process's)
    QString Script;             // may be empty: the interpreter then runs with the parameters alone
    QString ResultFile;
    int TimeoutSeconds = 0; // the run ends this long after its start (0: no limit)
    // The run is stopped once its output passes this many bytes (0: no limit).
    qint64 MaxOutputBytes = kDefaultMaxOutput;
    // Also write each of PHP's messages to standard error as "FILE:LINE: error: message"
    // (warning, note), once even when PHP writes it twice.
    bool ReportErrors = false;
    // Also write the run's figures to standard error as one line: "checkphp: exit=0 wall=0.412s
    // user=0.301s sys=0.020s maxrss=12.6MB lines=13".
    bool ReportStats = false;
};

// Runs the interpreter on the script and returns the exit status for the process. The child reads
// this process's standard input. Once the interpreter has started, the result file is written
// with everything it printed however the run ends (its own exit, a time-out, SIGINT, SIGTERM or
// SIGHUP, which stop the run; the status is then 128 + the signal). Messages go to standard
// error, one line each.
int RunBatch(const TBatchOptions &AOptions);

} // namespace app
