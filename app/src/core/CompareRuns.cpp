// SPDX-License-Identifier: MIT
#include "CompareRuns.h"

#include "Interpreters.h"
#include "RunHistory.h"
#include "RunSession.h"
#include "common/Exception.h"

#include <QLocale>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace app {

// A row's runs: first the version query when the command's version is not known yet, then the
// script, on one session.
struct TCompareRuns::TJob {
    int Row = 0;
    bool AskingVersion = false;
    TOutputBytes Output;
    TRunSession *Session = nullptr; // a child object, let go when the job ends
};

TCompareRuns::TCompareRuns(QObject *AParent) : QObject(AParent) {}

// The sessions, child objects, go with it: their runners stop their children and wait for their
// workers, without telling.
TCompareRuns::~TCompareRuns() {
    for (auto &job : FJobs) {
        job->Session->SetOnLine(nullptr);
        job->Session->SetOnEnded(nullptr);
    }
}

void TCompareRuns::Start(const TRunSpec &ABase, const QStringList &ACommands, int AParallel) {
    if (FRunning) throw common::Exception(QStringLiteral("The runs on all interpreters are still going."));
    FRows.assign(size_t(ACommands.size()), TCompareRow());
    FSpecs.assign(size_t(ACommands.size()), TRunSpec());
    for (int i = 0; i < ACommands.size(); ++i) {
        FRows[size_t(i)].Command = ACommands[i];
        try {
            FSpecs[size_t(i)] = SpecForInterpreter(ABase, ACommands[i]);
            FSpecs[size_t(i)].InheritStandardInput = false;
        } catch (const common::Exception &e) {
            FRows[size_t(i)].Error = e.Message();
            FRows[size_t(i)].Ended = true;
        }
        if (FVersions.contains(ACommands[i])) FRows[size_t(i)].Version = FVersions.value(ACommands[i]);
    }
    FParallel = std::max(1, AParallel > 0 ? AParallel : QThread::idealThreadCount());
    FNext = 0;
    FGroupCount = 0;
    FStopping = false;
    FRunning = true;
    Launch();
}

void TCompareRuns::Launch() {
    while (!FStopping && int(FJobs.size()) < FParallel && FNext < int(FRows.size())) {
        const int row = FNext++;
        if (FRows[size_t(row)].Ended) continue; // its command is broken
        auto job = std::make_unique<TJob>();
        job->Row = row;
        job->Session = new TRunSession(this);
        TJob *raw = job.get();
        job->Session->SetOnLine([raw](const TRunLine &ALine) { raw->Output.AddLine(ALine.Raw); });
        job->Session->SetOnError([](const common::Exception &, bool &AHandled) { AHandled = true; });
        // The next run of a job starts from the event loop, not from inside its runner's event.
        job->Session->SetOnEnded([this, raw](const TRunOutcome &) {
            QTimer::singleShot(0, this, [this, raw] { JobEnded(raw); });
        });
        TCompareRow &target = FRows[size_t(row)];
        job->AskingVersion = !FVersions.contains(target.Command);
        FJobs.push_back(std::move(job));
        try {
            raw->Session->Start(raw->AskingVersion ? VersionQuery(FSpecs[size_t(row)]) : FSpecs[size_t(row)]);
            target.Outcome = raw->Session->Outcome();
        } catch (const common::Exception &e) {
            target.Error = e.Message();
            QTimer::singleShot(0, this, [this, raw] { JobEnded(raw); });
        }
        if (FOnRowChanged) FOnRowChanged(row);
    }
    if (FJobs.empty()) Finish();
}

void TCompareRuns::JobEnded(TJob *AJob) {
    TCompareRow &row = FRows[size_t(AJob->Row)];
    if (AJob->AskingVersion && row.Error.isEmpty()) {
        const TRunOutcome asked = AJob->Session->Outcome();
        const QString version = QString::fromUtf8(AJob->Output.Take()).trimmed();
        const bool valid = asked.EndStatus == runner::esProcess && asked.ExitCode == 0 &&
                           !version.isEmpty() && !version.contains(QLatin1Char('\n')) && version.size() <= 40;
        row.Version = valid ? version : QStringLiteral("?");
        if (asked.Started && !FStopping) FVersions.insert(row.Command, row.Version);
        AJob->AskingVersion = false;
        if (FOnRowChanged) FOnRowChanged(AJob->Row);
        if (!asked.Started) {
            row.Outcome = asked; // the interpreter could not be started: the run would fail alike
        } else if (!FStopping) {
            try {
                AJob->Session->Start(FSpecs[size_t(AJob->Row)]);
                row.Outcome = AJob->Session->Outcome();
                return;
            } catch (const common::Exception &e) {
                row.Error = e.Message();
            }
        } else {
            row.Outcome = TRunOutcome(); // stopped before its run: not run
        }
    } else if (row.Error.isEmpty()) {
        row.Outcome = AJob->Session->Outcome();
        row.Output = AJob->Output.Take();
    }
    row.Ended = true;
    const int index = AJob->Row;
    const auto it =
        std::find_if(FJobs.begin(), FJobs.end(), [AJob](const auto &AJ) { return AJ.get() == AJob; });
    const std::unique_ptr<TJob> ended = std::move(*it);
    FJobs.erase(it);
    ended->Session->SetOnLine(nullptr);
    ended->Session->SetOnEnded(nullptr);
    ended->Session->deleteLater();
    if (FOnRowChanged) FOnRowChanged(index);
    Launch();
}

void TCompareRuns::Stop() {
    if (!FRunning) return;
    FStopping = true;
    for (auto &job : FJobs)
        job->Session->Stop();
}

void TCompareRuns::Finish() {
    if (!FRunning) return;
    QHash<QByteArray, int> groups;
    FGroupCount = 0;
    for (TCompareRow &row : FRows) {
        row.Ended = true;
        if (row.Error.isEmpty() && row.Outcome.EndStatus == runner::esNone)
            row.Error = QStringLiteral("not run");
        if (!row.Outcome.Started) continue;
        const auto found = groups.constFind(row.Output);
        row.Group =
            found != groups.constEnd() ? *found : (groups.insert(row.Output, FGroupCount), FGroupCount++);
    }
    FRunning = false;
    if (FOnFinished) FOnFinished();
}

int TCompareRuns::FirstRowOf(int AGroup) const {
    for (size_t i = 0; i < FRows.size(); ++i)
        if (FRows[i].Group == AGroup) return int(i);
    return -1;
}

QString TCompareRuns::GroupName(int AGroup) {
    if (AGroup < 0) return QStringLiteral("-");
    QString name;
    for (int n = AGroup + 1; n > 0; n = (n - 1) / 26)
        name.prepend(QChar(u'A' + (n - 1) % 26));
    return name;
}

QStringList TCompareRuns::RowCells(int ARow) const {
    const TCompareRow &row = FRows[size_t(ARow)];
    const runner::TRunFigures &figures = row.Outcome.Figures;
    const QString end = !row.Error.isEmpty()  ? row.Error
                        : row.Outcome.Running ? QStringLiteral("running")
                                              : row.Outcome.EndText();
    return {row.Command,
            row.Version,
            end,
            figures.Valid
                ? QLocale(QLocale::English).toString(double(figures.WallMilliseconds) / 1000.0, 'f', 3) +
                      QStringLiteral(" s")
                : QString(),
            figures.Valid ? PeakMegabytes(figures) + QStringLiteral(" MB") : QString(),
            row.Group >= 0 ? GroupName(row.Group) : QString()};
}

QString TCompareRuns::TableText() const {
    QList<QStringList> cells{{QStringLiteral("interpreter"), QStringLiteral("version"), QStringLiteral("end"),
                              QStringLiteral("time"), QStringLiteral("peak"), QStringLiteral("group")}};
    for (int row = 0; row < int(FRows.size()); ++row) {
        QStringList line = RowCells(row);
        if (line[1].isEmpty()) line[1] = QStringLiteral("?"); // the version could not be asked
        for (const int c : {3, 4, 5})
            if (line[c].isEmpty()) line[c] = QStringLiteral("-");
        cells.append(line);
    }
    std::vector<int> widths(6, 0);
    for (const QStringList &line : cells)
        for (int c = 0; c < 6; ++c)
            widths[size_t(c)] = std::max(widths[size_t(c)], int(line[c].size()));
    QString text;
    for (const QStringList &line : cells) {
        QString out;
        for (int c = 0; c < 6; ++c)
            out += c == 5 ? line[c] : line[c].leftJustified(widths[size_t(c)] + 2);
        text += out + QLatin1Char('\n');
    }
    return text;
}

} // namespace app
