// SPDX-License-Identifier: MIT
// Run on all as the window makes it (TCompareRuns, in this process), against its bound: four
// interpreters (the installed php with four precision settings) run a script of about WORK
// seconds of CPU, at most one per core, and must end within ceil(4 / cores) x the slowest of the
// four run alone x 1.15. The single runs go through the same runner (TRunSession), one after
// another; the rounds take turns. The window asks each interpreter for its version once: the
// first Run on all (versions asked) is printed apart from the later ones (versions known).
// bench/bench_runall.sh measures the batch mode's --compare against a shell loop.
//
// Usage: bench_runall [rounds, default 5] [work seconds, default 0.4]   (needs php)

#include "CompareRuns.h"
#include "Interpreters.h"
#include "RunSession.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace app;

namespace {
double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

// One run of ASpec through the runner, start to end, in seconds.
double RunAlone(const TRunSpec &ASpec) {
    TRunSession session;
    QEventLoop loop;
    session.SetOnEnded([&](const TRunOutcome &) { loop.quit(); });
    QElapsedTimer clock;
    clock.start();
    session.Start(ASpec);
    loop.exec();
    return double(clock.nsecsElapsed()) / 1e9;
}

TRunSpec SpecForInterpreterOrDie(const TRunSpec &ABase, const QString &ACommand) {
    try {
        return SpecForInterpreter(ABase, ACommand);
    } catch (const common::Exception &e) {
        std::fprintf(stderr, "bench_runall: %s\n", e.Message().toLocal8Bit().constData());
        std::exit(1);
    }
}

double RunOnAll(TCompareRuns &ARuns, const TRunSpec &ABase, const QStringList &ACommands) {
    QEventLoop loop;
    ARuns.SetOnFinished([&] { loop.quit(); });
    QElapsedTimer clock;
    clock.start();
    ARuns.Start(ABase, ACommands);
    if (ARuns.IsRunning()) loop.exec();
    return double(clock.nsecsElapsed()) / 1e9;
}
} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 5;
    const double work = argc > 2 ? atof(argv[2]) : 0.4;
    QTemporaryDir dir;
    QFile script(dir.filePath(QStringLiteral("busy.php")));
    if (!script.open(QIODevice::WriteOnly)) return 1;
    script.write(QStringLiteral("<?php\n$end = microtime(true) + %1; $x = 0.0; $n = 0;\n"
                                "while (microtime(true) < $end) { $x += sqrt(++$n) / 3; }\n"
                                "for ($i = 1; $i <= 2000; $i++) echo $i, ' ', 1 / $i, \"\\n\";\n")
                     .arg(work)
                     .toUtf8());
    script.close();
    TRunSpec base;
    base.Script = script.fileName();
    base.WorkingFolder = dir.path();
    QStringList commands;
    for (const int precision : {5, 10, 14, 17})
        commands << QStringLiteral("php -d precision=%1").arg(precision);

    TCompareRuns runs;
    const double first = RunOnAll(runs, base, commands); // the versions are asked
    std::vector<double> single, all;
    for (int r = 0; r < rounds; ++r) {
        double slowest = 0;
        for (const QString &command : commands)
            slowest = std::max(slowest, RunAlone(SpecForInterpreterOrDie(base, command)));
        single.push_back(slowest);
        all.push_back(RunOnAll(runs, base, commands));
    }
    const int cores = QThread::idealThreadCount();
    const int waves = (4 + cores - 1) / cores;
    const double bound = waves * Median(single) * 1.15;
    std::printf(
        "run on all in the window's way: 4 interpreters, %d cores, %.1f s of CPU each, median of %d rounds "
        "taking turns\n",
        cores, work, rounds);
    std::printf("  slowest single run                  %7.3f s\n", Median(single));
    std::printf(
        "  run on all, versions known          %7.3f s  (bound %d x slowest x 1.15 = %.3f s: %s; %.2fx the "
        "slowest)\n",
        Median(all), waves, bound, Median(all) <= bound ? "within" : "OVER", Median(all) / Median(single));
    std::printf("  the first run on all, versions asked %6.3f s\n", first);
    std::printf("  groups: %d (of %d outputs)\n", runs.GroupCount(), int(runs.Rows().size()));
    return 0;
}
