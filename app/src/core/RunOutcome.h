// SPDX-License-Identifier: MIT
#pragma once
// A run as a value: how it ended and its figures. The window's status line and the batch mode's
// exit status and message are read from it, so the mapping of how a run ended exists once.

#include "runner/ConsoleCommand.h"

#include <QString>

namespace app {

// Exit statuses of the batch mode besides the interpreter's own exit code.
inline constexpr int kExitUsage = 2;        // bad arguments, unreadable script
inline constexpr int kExitRunFailed = 70;   // the run failed after the interpreter had started
inline constexpr int kExitResultFile = 74;  // the result file could not be written
inline constexpr int kExitOutputLimit = 75; // the output passed the limit; the run was stopped
inline constexpr int kExitTimeOut = 124;    // the run ended by time-out
inline constexpr int kExitNotStarted = 127; // the interpreter could not be started

// The peak memory of a run in MB with one decimal ("12.3"), "?" when it is unknown.
QString PeakMegabytes(const runner::TRunFigures &AFigures);

struct TRunOutcome {
    bool Running = false;
    runner::TEndStatus EndStatus = runner::esNone; // esNone: no run yet
    int ExitCode = 0;
    int Signal = 0;       // the signal that ended the child, 0 when it exited by itself or was stopped
    bool Started = false; // the child was started
    bool FailedToStart = false;
    QString Error;      // why the run could not start or failed
    QString StopReason; // why a stopped run was stopped ("stopped: the output passed 256 MB")
    bool OutputLimitPassed = false;
    int StopSignal = 0; // a signal to this process stopped the run (the batch mode)
    int MaxTimeAfterBeginning = 0;
    int MaxTimeAfterLastOutput = 0;
    qint64 WallMs = 0; // so far, while running
    qint64 Lines = 0;  // entire output lines
    int Errors = 0;    // PHP's errors and warnings, each counted once
    int Warnings = 0;
    // The child's wall time, CPU time and peak memory, once it has ended (Figures.Valid).
    runner::TRunFigures Figures;

    // The status line's text. While running: "running: 3.2 s, 1,234 lines". At the end, how the
    // run ended ("exit code N", "killed by signal N (SIGNAME)", "stopped", "timed out: no output
    // for N s", "timed out after N s", "could not start: reason", "failed: reason"), then the
    // wall time and the line count (with the child's figures: "exit code 0 — 0.41 s, CPU 0.30 s,
    // 12.3 MB peak, 13 lines"); a run that could not start shows no figures. The counts of
    // errors and warnings follow when there are any. Empty before the first run.
    QString StatusText() const;
    // How the run ended, the first part of StatusText ("exit code 0", "stopped", "could not
    // start: reason"); empty while running or before the first run.
    QString EndText() const;
    // Whether the run ended in a way shown as a warning: a non-zero exit code, a signal, or a
    // failure.
    bool EndedBadly() const;
    // The batch mode's exit status for a run that started: the interpreter's exit code, or the
    // code of a time-out, the output limit, a failure or a stopping signal; AMessage says why
    // when the code is not the interpreter's.
    int BatchExitCode(QString &AMessage) const;
    // The figures as one machine-readable line: "exit=0 wall=0.412s user=0.301s sys=0.020s
    // maxrss=12.6MB lines=13" (no CPU and memory fields when the child's figures are missing,
    // no maxrss when its peak memory is unknown).
    QString StatsLine() const;
};

} // namespace app
