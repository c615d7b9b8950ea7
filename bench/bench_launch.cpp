// SPDX-License-Identifier: MIT
// What the launcher (consolecommand-launch, through which the runner starts every program so that
// the program's peak memory is its own) adds to a run. Its peer is the same run with the program
// started directly, measured in the same run of this program: this program runs itself as a
// worker, taking turns with and without the launcher (CONSOLECOMMAND_LAUNCHER set empty), and
// each worker times RUNS runs of /bin/true through TConsoleCommand, from Execute to the end of
// the run. The difference of the medians is the added cost (must be under 1 ms); on a machine
// busy with other work the wall time also counts waits for a core at each process the run
// passes through, so the CPU time a run costs (the worker's own and its children's, per run) is
// given as well. The workers also report the peak memory the figures give for /bin/true while the worker
// itself holds 200 MB: the program's own under the launcher, unknown without it.
//
// Usage: bench_launch [rounds, default 5] [runs per worker, default 200]

#include "runner/ConsoleCommand.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QProcessEnvironment>

#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

// CPU time of this process and of its reaped children, in microseconds.
double CpuMicroseconds() {
    double total = 0;
    for (const int who : {RUSAGE_SELF, RUSAGE_CHILDREN}) {
        struct rusage usage {};
        getrusage(who, &usage);
        total += double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e6 +
                 double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
    }
    return total;
}

// The worker: prints "median_us peak_kb cpu_us_per_run" (peak -1 when unknown).
int Worker(int ARuns) {
    std::vector<char> ballast(size_t(200) << 20);
    volatile char *pages = ballast.data();
    for (size_t i = 0; i < ballast.size(); i += 4096)
        pages[i] = 1;
    runner::TConsoleCommand cmd;
    cmd.SetCommandLine(QStringLiteral("/bin/true"));
    std::vector<double> times;
    QElapsedTimer timer;
    double cpuFrom = 0;
    for (int i = 0; i < ARuns + 10; ++i) {
        if (i == 10) cpuFrom = CpuMicroseconds();
        timer.start();
        cmd.Execute();
        while (cmd.IsRunning())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double us = double(timer.nsecsElapsed()) / 1000.0;
        if (cmd.EndStatus() != runner::esProcess || cmd.ExitCode() != 0) {
            std::fprintf(stderr, "bench_launch: /bin/true did not end well\n");
            return 1;
        }
        if (i >= 10) times.push_back(us); // the first runs warm up
    }
    const runner::TRunFigures &figures = cmd.Figures();
    std::printf("%.1f %lld %.1f\n", Median(times),
                figures.MaxResidentKnown ? static_cast<long long>(figures.MaxResidentBytes / 1024) : -1LL,
                (CpuMicroseconds() - cpuFrom) / ARuns);
    return pages[4096] == 1 ? 0 : 1;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    if (argc > 2 && qstrcmp(argv[1], "--worker") == 0) return Worker(std::max(1, std::atoi(argv[2])));
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 200;

    std::vector<double> with, without, cpuWith, cpuWithout;
    long long peakWith = 0, peakWithout = 0;
    for (int round = 0; round < rounds; ++round) {
        for (const bool launcher : {true, false}) {
            QProcess worker;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            if (launcher)
                env.remove(QStringLiteral("CONSOLECOMMAND_LAUNCHER"));
            else
                env.insert(QStringLiteral("CONSOLECOMMAND_LAUNCHER"), QString());
            worker.setProcessEnvironment(env);
            worker.start(QCoreApplication::applicationFilePath(),
                         {QStringLiteral("--worker"), QString::number(runs)});
            if (!worker.waitForFinished(-1) || worker.exitCode() != 0) {
                std::fprintf(stderr, "bench_launch: the worker failed: %s\n",
                             worker.readAllStandardError().constData());
                return 1;
            }
            const QList<QByteArray> fields = worker.readAllStandardOutput().trimmed().split(' ');
            if (fields.size() != 3) return 1;
            (launcher ? with : without).push_back(fields[0].toDouble());
            (launcher ? cpuWith : cpuWithout).push_back(fields[2].toDouble());
            (launcher ? peakWith : peakWithout) = fields[1].toLongLong();
        }
    }
    const double a = Median(with), b = Median(without);
    const double ca = Median(cpuWith), cb = Median(cpuWithout);
    std::printf("runs of /bin/true through TConsoleCommand, %d rounds of %d runs (median per run):\n", rounds,
                runs);
    std::printf("  through the launcher   %8.1f us   CPU %8.1f us   peak memory reported: %lld kB\n", a, ca,
                peakWith);
    std::printf("  started directly       %8.1f us   CPU %8.1f us   peak memory reported: %s\n", b, cb,
                peakWithout < 0 ? "unknown"
                                : qPrintable(QString::number(peakWithout) + QStringLiteral(" kB")));
    std::printf("  added by the launcher  %8.1f us   CPU %8.1f us per run (wall %.2fx)  %s\n", a - b, ca - cb,
                a / b, a - b < 1000.0 ? "under 1 ms: ok" : "OVER 1 ms");
    return a - b < 1000.0 ? 0 : 1;
}
