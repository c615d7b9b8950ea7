// SPDX-License-Identifier: MIT
// The figures of a run (TRunFigures: wall time, CPU time, peak memory; batch mode's --stats)
// against tools that measure the same run from outside, in the same run of this program:
//  (a) peak memory of a script holding a 64 MB string, as `checkphp --stats` reports it, against
//      GNU time's %M for `php script.php` (median of the rounds; must agree within 5 %);
//  (b) wall time of a script busy for 0.2 s, as --stats reports it (median), against hyperfine's
//      mean for `php script.php` (no shell);
//  (c) what the figures add to a run: the runner reaps its child with wait4 and a rusage and reads
//      the clock at the child's start and end; its peer is the bare reap (waitpid) the run needs
//      anyway. Timed in this process on children that have already ended (so neither waits),
//      taking turns; the difference of the medians is the added cost (must be under 1 ms).
//      Running checkphp with and without --stats would not measure it: the figures are taken on
//      every run, --stats only prints them.
//
// Usage: bench_figures [rounds, default 7]   (needs php, /usr/bin/time and hyperfine)

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

// Set by the build to the checkphp it builds; else the one on PATH.
#ifndef CHECKPHP_BINARY
#define CHECKPHP_BINARY "checkphp"
#endif

namespace {

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

[[noreturn]] void Fail(const QString &AWhat) {
    std::fprintf(stderr, "bench_figures: %s\n", qPrintable(AWhat));
    std::exit(1);
}

// Runs a program to its end; its standard error.
QByteArray Run(const QString &AProgram, const QStringList &AArguments) {
    QProcess process;
    process.setStandardOutputFile(QProcess::nullDevice());
    process.start(AProgram, AArguments);
    if (!process.waitForFinished(-1) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
        Fail(AProgram + QStringLiteral(" failed: ") + QString::fromLocal8Bit(process.readAllStandardError()));
    return process.readAllStandardError();
}

// One figure of checkphp's --stats line ("... wall=0.412s ... maxrss=12.6MB ...").
double StatsFigure(const QByteArray &AStderr, const char *AName) {
    const QRegularExpression re(QStringLiteral("\\b%1=([0-9.]+)").arg(QLatin1String(AName)));
    const QRegularExpressionMatch m = re.match(QString::fromUtf8(AStderr));
    if (!m.hasMatch())
        Fail(QStringLiteral("no %1 in: %2").arg(QLatin1String(AName), QString::fromUtf8(AStderr)));
    return m.captured(1).toDouble();
}

// Nanoseconds of a steady clock.
int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// A child that has ended and is not reaped yet.
pid_t EndedChild() {
    const pid_t pid = ::fork();
    if (pid == 0) ::_exit(0);
    if (pid < 0) Fail(QStringLiteral("fork failed"));
    siginfo_t info{};
    while (::waitid(P_PID, id_t(pid), &info, WEXITED | WNOWAIT) != 0) {
    }
    return pid;
}

// (c): the reap the runner does (clock at start and end, wait4 with rusage, the figures worked
// out) against a bare waitpid, in nanoseconds (medians).
void ReapCost(int ATurns, double &AWithFigures, double &ABare) {
    std::vector<double> with, bare;
    volatile int64_t sink = 0;
    const auto bareReap = [&] {
        const pid_t pid = EndedChild();
        int status = 0;
        const int64_t t0 = NowNs();
        ::waitpid(pid, &status, 0);
        bare.push_back(double(NowNs() - t0));
    };
    const auto reapWithFigures = [&] {
        const pid_t pid = EndedChild();
        int status = 0;
        const int64_t t0 = NowNs();
        const auto spawnedAt = std::chrono::steady_clock::now();
        const auto endedAt = std::chrono::steady_clock::now();
        struct rusage usage {};
        ::wait4(pid, &status, 0, &usage);
        sink = sink + std::chrono::duration_cast<std::chrono::milliseconds>(endedAt - spawnedAt).count() +
               int64_t(usage.ru_utime.tv_sec) * 1000000 + usage.ru_utime.tv_usec +
               int64_t(usage.ru_stime.tv_sec) * 1000000 + usage.ru_stime.tv_usec + usage.ru_maxrss * 1024;
        with.push_back(double(NowNs() - t0));
    };
    // Taking turns, each first every other time.
    for (int i = 0; i < ATurns; ++i) {
        if (i % 2 == 0) {
            bareReap();
            reapWithFigures();
        } else {
            reapWithFigures();
            bareReap();
        }
    }
    AWithFigures = Median(with);
    ABare = Median(bare);
}

// One read of the steady clock, in nanoseconds (median); the figures take two per run. Tens of
// nanoseconds through the vDSO, microseconds where the clock is a system call.
double ClockReadNs() {
    std::vector<double> reads;
    for (int i = 0; i < 2000; ++i) {
        const int64_t t0 = NowNs();
        reads.push_back(double(NowNs() - t0));
    }
    return Median(reads);
}

} // namespace

int main(int argc, char **argv) {
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 7;
    // (c) first, before Qt starts threads of its own.
    double reapWith = 0, reapBare = 0;
    ReapCost(2000, reapWith, reapBare);
    const double clockNs = ClockReadNs();

    QCoreApplication application(argc, argv);
    const QString checkphp = QStringLiteral(CHECKPHP_BINARY);
    QTemporaryDir dir;
    const QString memoryScript = dir.filePath(QStringLiteral("memory.php"));
    const QString busyScript = dir.filePath(QStringLiteral("busy.php"));
    for (const auto &[name, source] :
         {std::pair{memoryScript, "<?php $s = str_repeat('x', 64 << 20); echo strlen($s), \"\\n\";\n"},
          std::pair{busyScript, "<?php $t = microtime(true); $n = 0;\n"
                                "while (microtime(true) - $t < 0.2) $n++;\necho $n, \"\\n\";\n"}}) {
        QFile file(name);
        if (!file.open(QIODevice::WriteOnly) || file.write(source) < 0)
            Fail(QStringLiteral("cannot write ") + name);
    }
    const QString php = QStringLiteral("php");
    const auto stats = [&](const QString &AScript) {
        return Run(checkphp, {QStringLiteral("--php"), php, QStringLiteral("--save"),
                              QStringLiteral("/dev/null"), QStringLiteral("--stats"), AScript});
    };

    // (a) taking turns with GNU time.
    std::vector<double> ourMb, timeMb;
    for (int r = 0; r < rounds; ++r) {
        ourMb.push_back(StatsFigure(stats(memoryScript), "maxrss"));
        const QByteArray kb = Run(QStringLiteral("/usr/bin/time"),
                                  {QStringLiteral("-f"), QStringLiteral("%M"), php, memoryScript});
        timeMb.push_back(kb.trimmed().split('\n').last().toDouble() / 1024.0);
    }
    // (b) our wall times, then hyperfine's mean over as many runs.
    std::vector<double> ourWall;
    for (int r = 0; r < rounds; ++r)
        ourWall.push_back(StatsFigure(stats(busyScript), "wall"));
    const QString json = dir.filePath(QStringLiteral("hyperfine.json"));
    Run(QStringLiteral("hyperfine"),
        {QStringLiteral("-N"), QStringLiteral("--style"), QStringLiteral("none"), QStringLiteral("--warmup"),
         QStringLiteral("1"), QStringLiteral("--runs"), QString::number(rounds),
         QStringLiteral("--export-json"), json, php + QLatin1Char(' ') + busyScript});
    QFile jsonFile(json);
    if (!jsonFile.open(QIODevice::ReadOnly)) Fail(QStringLiteral("no hyperfine results"));
    const double hyperfineMean = QJsonDocument::fromJson(jsonFile.readAll())
                                     .object()
                                     .value(QStringLiteral("results"))
                                     .toArray()
                                     .at(0)
                                     .toObject()
                                     .value(QStringLiteral("mean"))
                                     .toDouble();

    const double mb = Median(ourMb), peerMb = Median(timeMb), wall = Median(ourWall);
    std::printf("bench_figures: %d rounds (medians), %s\n", rounds, qPrintable(checkphp));
    std::printf(
        "  (a) peak memory, 64 MB string   --stats %8.1f MB   /usr/bin/time %%M %8.1f MB   ratio %.3f (%s)\n",
        mb, peerMb, mb / peerMb, std::abs(mb / peerMb - 1) <= 0.05 ? "within 5 %" : "OFF BY MORE THAN 5 %");
    std::printf(
        "  (b) wall time, 0.2 s busy loop  --stats %8.3f s    hyperfine mean   %8.3f s    ratio %.3f\n", wall,
        hyperfineMean, wall / hyperfineMean);
    std::printf(
        "  (c) reap with figures %8.1f us   bare waitpid %8.1f us   added %.1f us = %.4f of the 1 ms bound\n",
        reapWith / 1000, reapBare / 1000, (reapWith - reapBare) / 1000, (reapWith - reapBare) / 1e6);
    std::printf("      (one read of the steady clock: %.2f us; the figures take two)\n", clockNs / 1000);
    return 0;
}
