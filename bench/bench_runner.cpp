// SPDX-License-Identifier: MIT
// Benchmark: our runner (TConsoleCommand) against QProcess, the handler on the GUI thread.
//   (a) `seq 1 1000000`: lines/s and CPU time of this process (all threads)
//   (b) 1 M lines into a handler that spins 5 us per line: wall time and peak memory
//   (c) latency from the child's write to the handler for lines 2 ms apart: p50 and p99
// QProcess is read two ways: readyRead + readLine, and readyRead + readAll with our own CR/LF
// split. Every variant turns each line into a QString and keeps it in a QStringList (as the
// runner's Lines and the application's result view do), so peak memory compares like with like.
//
// Every measurement runs in a fresh process of this program (`--case VARIANT SCENARIO`), so peak
// memory (VmHWM) belongs to that measurement alone; the latency child is this program too
// (`--emit N INTERVAL_US`). Usage: bench_runner [--quick]
#include "runner/ConsoleCommand.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTextStream>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <thread>
#include <vector>

namespace {

constexpr long kLines = 1000000;
constexpr int kLatencyLines = 1000;
constexpr int kLatencyIntervalUs = 2000;

int64_t NowNs() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

double CpuSeconds() {
    return static_cast<double>(std::clock()) / CLOCKS_PER_SEC;
}

// A field of /proc/self/status in kB.
long StatusKb(const char *AField) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines)
        if (line.startsWith(AField))
            return line.mid(static_cast<qsizetype>(qstrlen(AField)) + 1)
                .trimmed()
                .split(' ')
                .front()
                .toLong();
    return -1;
}

void Spin(int64_t ANs) {
    const int64_t end = NowNs() + ANs;
    while (NowNs() < end) {
    }
}

// The latency child: N lines, each holding the steady clock at the moment of writing.
int Emit(int ACount, int AIntervalUs) {
    std::setvbuf(stdout, nullptr, _IOFBF, 1 << 16);
    auto next = std::chrono::steady_clock::now();
    for (int i = 0; i < ACount; ++i) {
        next += std::chrono::microseconds(AIntervalUs);
        std::this_thread::sleep_until(next);
        std::printf("%lld\n", static_cast<long long>(NowNs()));
        std::fflush(stdout);
    }
    return 0;
}

struct TResult {
    long Lines = 0;
    double WallS = 0;
    double CpuS = 0;
    long PeakGrowthKb = 0;  // VmHWM during the run minus VmRSS before
    long FinalGrowthKb = 0; // VmRSS after the run (lines kept) minus VmRSS before
    double P50Us = 0;
    double P99Us = 0;
};

// Splits at CR, LF and CR LF like the runner (a lone CR ends a line).
class TLineSplitter {
public:
    template <typename F> void Feed(const QByteArray &AData, F &&AOnLine) {
        const char *p = AData.constData();
        const qsizetype n = AData.size();
        qsizetype start = 0;
        for (qsizetype i = 0; i < n; ++i) {
            const char c = p[i];
            if (c != '\n' && c != '\r') {
                FLastWasCR = false;
                continue;
            }
            if (c == '\n' && FLastWasCR) {
                FLastWasCR = false;
                start = i + 1;
                continue;
            }
            FLastWasCR = c == '\r';
            if (FPending.isEmpty())
                AOnLine(QString::fromLatin1(p + start, i - start));
            else {
                FPending.append(p + start, i - start);
                AOnLine(QString::fromLatin1(FPending));
                FPending.clear();
            }
            start = i + 1;
        }
        FPending.append(p + start, n - start);
    }
    template <typename F> void Finish(F &&AOnLine) {
        if (!FPending.isEmpty()) AOnLine(QString::fromLatin1(FPending));
        FPending.clear();
    }

private:
    QByteArray FPending;
    bool FLastWasCR = false;
};

QString SelfPath() {
    return QCoreApplication::applicationFilePath();
}

// One measurement in this process.
TResult RunCase(const QString &AVariant, const QString &AScenario) {
    // The application is a multi-threaded process (Qt's GUI and web engine start threads), and
    // once a process has had a second thread, glibc's malloc and free take the arena lock on
    // every call for the rest of its life. A QProcess variant left single-threaded would skip
    // that cost, which no QProcess in the application skips; so every variant starts as a
    // process that has had a thread.
    std::thread([] {}).join();
    QStringList program;
    if (AScenario == QLatin1String("latency"))
        program = {SelfPath(), QStringLiteral("--emit"), QString::number(kLatencyLines),
                   QString::number(kLatencyIntervalUs)};
    else
        program = {QStringLiteral("seq"), QStringLiteral("1"), QString::number(kLines)};
    const bool slow = AScenario == QLatin1String("slow");
    const bool latency = AScenario == QLatin1String("latency");

    QStringList kept; // the QProcess variants keep their lines, as the runner keeps Lines
    std::vector<double> latencies;
    latencies.reserve(kLatencyLines);
    long count = 0;
    auto onLine = [&](const QString &ALine) {
        ++count;
        if (slow) Spin(5000);
        if (latency) latencies.push_back(static_cast<double>(NowNs() - ALine.toLongLong()) / 1000.0);
    };

    const long rssBefore = StatusKb("VmRSS:");
    QElapsedTimer wall;
    const double cpu0 = CpuSeconds();
    wall.start();
    TResult r;
    if (AVariant == QLatin1String("runner")) {
        runner::TConsoleCommand cmd;
        cmd.SetCommandLine(program.join(QLatin1Char(' ')));
        cmd.SetOnNewLine([&](QObject *, const QString &ALine, runner::TOutputType AType) {
            if (AType == runner::otEntireLine) onLine(ALine);
        });
        cmd.SetOnTerminated([](QObject *) { QCoreApplication::quit(); });
        cmd.Execute();
        QCoreApplication::exec();
        r.WallS = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        r.CpuS = CpuSeconds() - cpu0;
        r.FinalGrowthKb = StatusKb("VmRSS:") - rssBefore;
        r.PeakGrowthKb = StatusKb("VmHWM:") - rssBefore;
    } else {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        TLineSplitter splitter;
        const bool readAll = AVariant == QLatin1String("qprocess-readall");
        auto keep = [&](const QString &ALine) {
            kept.append(ALine);
            onLine(ALine);
        };
        QObject::connect(&p, &QProcess::readyRead, [&] {
            if (readAll) {
                splitter.Feed(p.readAll(), keep);
            } else {
                while (p.canReadLine()) {
                    QByteArray line = p.readLine();
                    while (line.endsWith('\n') || line.endsWith('\r'))
                        line.chop(1);
                    keep(QString::fromLatin1(line));
                }
            }
        });
        QObject::connect(&p, &QProcess::finished, [&] {
            if (readAll) {
                splitter.Feed(p.readAll(), keep);
                splitter.Finish(keep);
            } else {
                QByteArray rest = p.readAll();
                for (QByteArray line : rest.split('\n'))
                    if (!line.isEmpty()) keep(QString::fromLatin1(line));
            }
            QCoreApplication::quit();
        });
        p.start(program.front(), program.mid(1));
        QCoreApplication::exec();
        r.WallS = static_cast<double>(wall.nsecsElapsed()) / 1e9;
        r.CpuS = CpuSeconds() - cpu0;
        r.FinalGrowthKb = StatusKb("VmRSS:") - rssBefore;
        r.PeakGrowthKb = StatusKb("VmHWM:") - rssBefore;
    }
    r.Lines = count;
    if (!latencies.empty()) {
        std::sort(latencies.begin(), latencies.end());
        r.P50Us = latencies[latencies.size() / 2];
        r.P99Us = latencies[std::min(latencies.size() - 1, latencies.size() * 99 / 100)];
    }
    return r;
}

// Runs one measurement in a fresh process and reads its result line.
TResult Measure(const QString &AVariant, const QString &AScenario) {
    QProcess p;
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.start(SelfPath(), {QStringLiteral("--case"), AVariant, AScenario});
    p.waitForFinished(300000);
    const QList<QByteArray> f = p.readAllStandardOutput().trimmed().split(' ');
    TResult r;
    if (f.size() >= 7) {
        r.Lines = f[0].toLong();
        r.WallS = f[1].toDouble();
        r.CpuS = f[2].toDouble();
        r.PeakGrowthKb = f[3].toLong();
        r.FinalGrowthKb = f[4].toLong();
        r.P50Us = f[5].toDouble();
        r.P99Us = f[6].toDouble();
    }
    return r;
}

// The best (shortest wall time) of ARepeats measurements of every variant. The variants take
// turns (round by round), so a burst of load on the machine does not fall on one variant only.
std::vector<TResult> Best(const QStringList &AVariants, const QString &AScenario, int ARepeats) {
    std::vector<TResult> best(static_cast<size_t>(AVariants.size()));
    for (int i = 0; i < ARepeats; ++i)
        for (qsizetype v = 0; v < AVariants.size(); ++v) {
            TResult r = Measure(AVariants[v], AScenario);
            TResult &b = best[static_cast<size_t>(v)];
            if (i == 0 || r.WallS < b.WallS) b = r;
        }
    return best;
}

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc >= 4 && QByteArray(argv[1]) == "--emit") return Emit(std::atoi(argv[2]), std::atoi(argv[3]));
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() >= 4 && args[1] == QLatin1String("--case")) {
        const TResult r = RunCase(args[2], args[3]);
        std::printf("%ld %.6f %.6f %ld %ld %.2f %.2f\n", r.Lines, r.WallS, r.CpuS, r.PeakGrowthKb,
                    r.FinalGrowthKb, r.P50Us, r.P99Us);
        return 0;
    }
    const bool quick = args.contains(QLatin1String("--quick"));
    const QStringList variants = {QStringLiteral("runner"), QStringLiteral("qprocess-readline"),
                                  QStringLiteral("qprocess-readall")};
    QTextStream out(stdout);
    out << "bench_runner: our runner against QProcess, handler on the GUI thread\n";

    out << "\n(a) seq 1 " << kLines << ": lines/s and CPU time (best of " << (quick ? 1 : 3) << ")\n";
    const std::vector<TResult> a = Best(variants, QStringLiteral("seq"), quick ? 1 : 3);
    for (size_t i = 0; i < a.size(); ++i)
        out << QStringLiteral(
                   "  %1 %2 M lines/s  wall %3 s  cpu %4 s  lines %5  | lines/s x%6  cpu x%7 vs readAll\n")
                   .arg(variants[static_cast<qsizetype>(i)], -18)
                   .arg(static_cast<double>(a[i].Lines) / a[i].WallS / 1e6, 6, 'f', 2)
                   .arg(a[i].WallS, 0, 'f', 3)
                   .arg(a[i].CpuS, 0, 'f', 3)
                   .arg(a[i].Lines)
                   .arg((static_cast<double>(a[i].Lines) / a[i].WallS) /
                            (static_cast<double>(a[2].Lines) / a[2].WallS),
                        0, 'f', 2)
                   .arg(a[i].CpuS / a[2].CpuS, 0, 'f', 2);
    out.flush();

    out << "\n(b) seq 1 " << kLines << " into a handler spinning 5 us per line: wall time and memory\n"
        << "    (peak = VmHWM growth during the run; kept = RSS growth after it, the 1 M lines held;\n"
        << "     transit = peak - kept, what waited between the child and the handler)\n";
    std::vector<TResult> b;
    for (const QString &v : variants)
        b.push_back(Measure(v, QStringLiteral("slow")));
    for (size_t i = 0; i < b.size(); ++i)
        out << QStringLiteral("  %1 wall %2 s  peak %3 MB  kept %4 MB  transit %5 MB  lines %6\n")
                   .arg(variants[static_cast<qsizetype>(i)], -18)
                   .arg(b[i].WallS, 0, 'f', 2)
                   .arg(static_cast<double>(b[i].PeakGrowthKb) / 1024.0, 0, 'f', 1)
                   .arg(static_cast<double>(b[i].FinalGrowthKb) / 1024.0, 0, 'f', 1)
                   .arg(static_cast<double>(b[i].PeakGrowthKb - b[i].FinalGrowthKb) / 1024.0, 0, 'f', 1)
                   .arg(b[i].Lines);
    out.flush();

    // Each variant runs several times, the variants taking turns; the median run's p50 and p99
    // are reported with the range over the runs (one run's tail is at the mercy of the machine's
    // other load during its two seconds).
    const int latencyRuns = quick ? 1 : 3;
    out << "\n(c) latency from the child's write to the handler, " << kLatencyLines << " lines "
        << kLatencyIntervalUs / 1000 << " ms apart (median of " << latencyRuns
        << " runs per variant, range)\n";
    std::vector<std::vector<TResult>> c(static_cast<size_t>(variants.size()));
    for (int i = 0; i < latencyRuns; ++i)
        for (qsizetype v = 0; v < variants.size(); ++v)
            c[static_cast<size_t>(v)].push_back(Measure(variants[v], QStringLiteral("latency")));
    for (qsizetype v = 0; v < variants.size(); ++v) {
        std::vector<double> p50, p99;
        long lines = -1;
        for (const TResult &r : c[static_cast<size_t>(v)]) {
            p50.push_back(r.P50Us);
            p99.push_back(r.P99Us);
            lines = lines < 0 ? r.Lines : std::min(lines, r.Lines);
        }
        out << QStringLiteral("  %1 p50 %2 us (%3..%4)  p99 %5 us (%6..%7)  lines %8\n")
                   .arg(variants[v], -18)
                   .arg(Median(p50), 0, 'f', 1)
                   .arg(*std::min_element(p50.begin(), p50.end()), 0, 'f', 1)
                   .arg(*std::max_element(p50.begin(), p50.end()), 0, 'f', 1)
                   .arg(Median(p99), 0, 'f', 1)
                   .arg(*std::min_element(p99.begin(), p99.end()), 0, 'f', 1)
                   .arg(*std::max_element(p99.begin(), p99.end()), 0, 'f', 1)
                   .arg(lines);
    }
    return 0;
}
