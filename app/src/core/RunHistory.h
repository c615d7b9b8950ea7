// SPDX-License-Identifier: MIT
#pragma once
// The runs of a session kept to be looked at and compared again: the command, when it started,
// how it ended with its figures, and its output. At most kMaxRuns are kept; the outputs together
// stay within a budget, the oldest outputs let go first (their entries stay and say so).

#include "RunOutcome.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <deque>

namespace app {

// A run's output as it is kept and compared: each entire line's bytes as the interpreter wrote
// them, each ending in LF.
class TOutputBytes {
public:
    // ARaw as the runner delivers a line (each byte one Latin-1 character).
    void AddLine(const QString &ARaw);
    const QByteArray &Bytes() const { return FBytes; }
    QByteArray Take() { return std::move(FBytes); }

private:
    QByteArray FBytes;
};

struct TRunRecord {
    int Number = 0;    // counted from 1 in the session
    QString Command;   // as a shell would read it
    QDateTime Started; // local time
    TRunOutcome Outcome;
    QByteArray Output;          // see TOutputBytes; empty once let go
    bool OutputDropped = false; // let go to keep the kept outputs within the budget
    // One line for a list: "#3  14:02:11  exit code 0 — 0.41 s, CPU 0.30 s, 12.3 MB peak, 13 lines".
    QString Summary() const;
};

class TRunHistory {
public:
    static constexpr int kMaxRuns = 20;
    static constexpr qint64 kDefaultBudget = qint64(256) << 20;
    explicit TRunHistory(qint64 ABudget = kDefaultBudget) : FBudget(ABudget) {}

    // Keeps a run as the newest, numbering it; the oldest run beyond kMaxRuns goes, then the
    // oldest outputs until the outputs kept fit the budget (the newest output always stays).
    // Returns the run as kept.
    const TRunRecord &Add(TRunRecord ARecord);
    const std::deque<TRunRecord> &Runs() const { return FRuns; } // the oldest first
    // The run numbered ANumber, or nullptr when it is no longer kept.
    const TRunRecord *Find(int ANumber) const;
    qint64 OutputBytes() const { return FOutputBytes; }
    qint64 Budget() const { return FBudget; }

private:
    std::deque<TRunRecord> FRuns;
    qint64 FBudget;
    qint64 FOutputBytes = 0;
    int FNextNumber = 1;
};

} // namespace app
