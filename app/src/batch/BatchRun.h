// SPDX-License-Identifier: MIT
#pragma once
// The batch mode: runs a script as the window would and writes the result file, without a window.

#include "OutputLimit.h"
#include "RunOutcome.h"
#include "RunSpec.h"

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

// Runs the script on each interpreter command (as a shell reads words; {dir} stands for the
// script's folder), at most as many at a time as there are cores, and writes to standard output
// a table (version, how each run ended, time, peak memory, output group) and, for each group
// whose output differs from the first group's, a unified diff against it. Returns 0 when every
// output is the same, 1 when they differ or a run could not start, 2 (kExitUsage) on a broken
// command or an unreadable script. Children read no input.
int CompareBatch(const TBatchOptions &AOptions, const QStringList &AInterpreters);

// The run the batch mode makes of its options; false, with the reason on standard error, when
// there is no interpreter or the script cannot be read.
bool MakeBatchSpec(const TBatchOptions &AOptions, TRunSpec &ASpec);
void PrintBatchError(const QString &AMessage);

} // namespace app
