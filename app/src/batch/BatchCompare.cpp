// SPDX-License-Identifier: MIT
#include "BatchRun.h"

#include "CompareRuns.h"
#include "Interpreters.h"
#include "OutputDiff.h"
#include "common/Exception.h"
#include "runner/TerminationSignals.h"

#include <QEventLoop>

#include <cstdio>

namespace app {

namespace {
void PrintOut(const QByteArray &ABytes) {
    std::fwrite(ABytes.constData(), 1, size_t(ABytes.size()), stdout);
}
} // namespace

int CompareBatch(const TBatchOptions &AOptions, const QStringList &AInterpreters) {
    if (AInterpreters.isEmpty()) {
        PrintBatchError(QStringLiteral("No PHP interpreter found to compare. Give them with --php."));
        return kExitUsage;
    }
    TRunSpec base;
    TBatchOptions options = AOptions;
    options.Interpreter = AInterpreters.constFirst(); // each row's own takes its place
    if (!MakeBatchSpec(options, base)) return kExitUsage;
    for (const QString &command : AInterpreters) {
        try {
            SpecForInterpreter(base, command);
        } catch (const common::Exception &e) {
            PrintBatchError(e.Message());
            return kExitUsage;
        }
    }
    TCompareRuns runs;
    QEventLoop loop;
    runs.SetOnFinished([&] { loop.quit(); });
    int stopSignal = 0;
    runner::TTerminationSignals signalWatcher([&](int ASignal) {
        stopSignal = ASignal;
        runs.Stop();
    });
    runs.Start(base, AInterpreters);
    if (runs.IsRunning()) loop.exec();

    PrintOut(runs.TableText().toUtf8());
    bool differ = runs.GroupCount() > 1;
    for (const TCompareRow &row : runs.Rows())
        if (row.Group < 0) {
            differ = true;
            PrintBatchError(QStringLiteral("%1: %2").arg(
                row.Command, row.Error.isEmpty() ? row.Outcome.EndText() : row.Error));
        }
    const int first = runs.FirstRowOf(0);
    for (int group = 1; group < runs.GroupCount(); ++group) {
        const TCompareRow &a = runs.Rows()[size_t(first)];
        const TCompareRow &b = runs.Rows()[size_t(runs.FirstRowOf(group))];
        PrintOut("\n");
        PrintOut(TOutputDiff::Unified(a.Output, b.Output, QStringLiteral("A: ") + a.Command,
                                      TCompareRuns::GroupName(group) + QStringLiteral(": ") + b.Command));
    }
    std::fflush(stdout);
    if (stopSignal != 0) return runner::TTerminationSignals::ExitStatusFor(stopSignal);
    return differ ? 1 : 0;
}

} // namespace app
