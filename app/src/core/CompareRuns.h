// SPDX-License-Identifier: MIT
#pragma once
// TCompareRuns: one script run on several interpreters, at most as many at a time as the machine
// has cores, each asked once for its version. Identical outputs share a group, named by a letter
// in the order the interpreters are listed. The window's "Run on all" and the batch mode's
// --compare both use it.

#include "RunOutcome.h"
#include "RunSpec.h"

#include <QHash>
#include <QObject>

#include <functional>
#include <memory>
#include <vector>

namespace app {

class TRunSession;

struct TCompareRow {
    QString Command; // the interpreter's command as listed
    QString Version; // as the interpreter tells it; "?" when it could not say
    TRunOutcome Outcome;
    QByteArray Output; // each entire line's bytes ending in LF (see TOutputBytes)
    QString Error;     // why the run could not be made (a broken command), else empty
    int Group = -1;    // set when every run has ended; -1 for a run that never started
    bool Ended = false;
};

class TCompareRuns : public QObject {
public:
    explicit TCompareRuns(QObject *AParent = nullptr);
    ~TCompareRuns() override;

    // A row started, ended or learnt its version; every run ended (the groups are set).
    void SetOnRowChanged(std::function<void(int)> AValue) { FOnRowChanged = std::move(AValue); }
    void SetOnFinished(std::function<void()> AValue) { FOnFinished = std::move(AValue); }

    // Runs ABase (its script, parameters, options, folder and output limit) on each command, at
    // most AParallel at a time (0: as many as the machine has cores). Refused (throws) while
    // runs are going.
    void Start(const TRunSpec &ABase, const QStringList &ACommands, int AParallel = 0);
    // Ends every run; those not started yet are not run.
    void Stop();
    bool IsRunning() const { return FRunning; }

    const std::vector<TCompareRow> &Rows() const { return FRows; }
    int GroupCount() const { return FGroupCount; }
    // The index of the first row of AGroup, -1 when none.
    int FirstRowOf(int AGroup) const;
    // "A" for the first group, "B" for the second, … "Z", then "AA", "AB".
    static QString GroupName(int AGroup);
    // Row ARow's cells: the command, version, how the run ended ("running" while it runs), wall
    // time, peak memory and group; empty for what is not known (yet).
    QStringList RowCells(int ARow) const;
    // The rows as a plain-text table, one row per interpreter: the command, version, how the
    // run ended, wall time, peak memory and the group.
    QString TableText() const;

private:
    struct TJob;
    void Launch();
    void JobEnded(TJob *AJob);
    void Finish();

    std::vector<TCompareRow> FRows;
    std::vector<TRunSpec> FSpecs;
    std::vector<std::unique_ptr<TJob>> FJobs; // the runs going
    QHash<QString, QString> FVersions;        // asked once per command in the object's life
    int FNext = 0;                            // the next row to start
    int FParallel = 1;
    int FGroupCount = 0;
    bool FRunning = false;
    bool FStopping = false;
    std::function<void(int)> FOnRowChanged;
    std::function<void()> FOnFinished;
};

} // namespace app
