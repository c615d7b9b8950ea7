#pragma once
// The batch mode: runs a script as the window would and writes the result file, without a window.

#include <QString>

namespace app {

struct TBatchOptions {
    QString Interpreter;
    QString Params;
    QString Script; // may be empty: the interpreter then runs with the parameters alone
    QString ResultFile;
};

// Exit statuses of the batch mode besides the interpreter's own exit code.
inline constexpr int kExitUsage = 2;        // bad arguments, unreadable script
inline constexpr int kExitResultFile = 74;  // the result file could not be written
inline constexpr int kExitTimeOut = 124;    // the run ended by time-out
inline constexpr int kExitNotStarted = 127; // the interpreter could not be started

// Runs the interpreter on the script inside the running event loop's thread and returns the exit
// status for the process. Messages go to standard error, one line each.
int RunBatch(const TBatchOptions &AOptions);

} // namespace app
