// SPDX-License-Identifier: MIT
// The window's result view under a flood: php printing LINES lines of "<tr><td>N</td></tr>" into
// the "Check PHP file" window, end to end through the runner, the controller and the highlighted
// result view, from the start of the run until the last line is in the view's buffer and has
// been painted; against php writing the same into a pipe drained by `cat > /dev/null` (php's own
// cost of writing into a pipe, the floor for any reader), the two taking turns.
//
// Every window run is a fresh process of this program (`--window PHP SCRIPT LINES`) that shows
// the window with the result tab in front, takes its resident memory as the baseline, resets the
// peak (clear_refs) and reports the run's wall time and its peak memory above the baseline.
//
//   xvfb-run -a build/bench/bench_resultview [LINES, default 1000000] [ROUNDS, default 5]
// (QT_QPA_PLATFORM=offscreen works as well.)

#include "ControlPanelUnit.h"
#include "ResultBrowser.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <vector>

namespace {

// A field of /proc/self/status in kB.
long StatusKb(const char *AField) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QList<QByteArray> lines = f.readAll().split('\n');
    for (const QByteArray &line : lines)
        if (line.startsWith(AField))
            return line.mid(qstrlen(AField) + 1).trimmed().split(' ').front().toLong();
    return -1;
}

// Waits in the event loop for AMs milliseconds.
void Settle(int AMs) {
    QEventLoop loop;
    QTimer::singleShot(AMs, &loop, &QEventLoop::quit);
    loop.exec();
}

// Notes the paints of the result view once every line is in its buffer.
class TPaintWatch : public QObject {
public:
    TPaintWatch(lexedit::TLexEdit &AEdit, int ALines) : FEdit(AEdit), FLines(ALines) {}
    int Paints = 0;
    bool PaintedAll = false;
    std::function<void()> OnPaintedAll; // after the paint

protected:
    bool eventFilter(QObject *AObject, QEvent *AEvent) override {
        if (AEvent->type() == QEvent::Paint) {
            ++Paints;
            if (!PaintedAll && FEdit.Lines()->Count() >= FLines) {
                PaintedAll = true;
                QTimer::singleShot(0, this, [this] {
                    if (OnPaintedAll) OnPaintedAll();
                });
            }
        }
        return QObject::eventFilter(AObject, AEvent);
    }

private:
    lexedit::TLexEdit &FEdit;
    int FLines;
};

// CPU seconds of the calling thread.
double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

// CPU seconds of each thread of this process (BENCH_VERBOSE), busiest first.
void PrintThreadTimes() {
    const long tick = sysconf(_SC_CLK_TCK);
    std::vector<std::pair<double, QByteArray>> threads;
    for (const QString &tid :
         QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        QFile f(QStringLiteral("/proc/self/task/%1/stat").arg(tid));
        if (!f.open(QIODevice::ReadOnly)) continue;
        const QByteArray stat = f.readAll();
        const qsizetype open = stat.indexOf('('), close = stat.lastIndexOf(')');
        const QList<QByteArray> rest = stat.mid(close + 2).split(' ');
        if (open < 0 || close < 0 || rest.size() < 13) continue;
        threads.emplace_back(double(rest[11].toLong() + rest[12].toLong()) / double(tick),
                             stat.mid(open + 1, close - open - 1));
    }
    std::sort(threads.rbegin(), threads.rend());
    for (size_t i = 0; i < threads.size() && i < 6; ++i)
        std::fprintf(stderr, "  cpu %.2f s  %s\n", threads[i].first, threads[i].second.constData());
}

int RunWindow(int argc, char **argv, const QString &APhp, const QString &AScript, int ALines) {
    app::TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    app::TControlPanelForm form;
    form.show();
    form.PageControl->setCurrentIndex(1); // the result view in front, as a user watching it
    Settle(500);
    form.ChooseInterpreter(APhp);
    lexedit::TLexEdit &view = *form.WebMemo;
    TPaintWatch watch(view, ALines);
    view.viewport()->installEventFilter(&watch);

    // Done once the run has ended and a paint has happened with every line in the buffer. A view
    // that needs no paint after the last line (it does not show the end) gives up after 2 s.
    QEventLoop loop;
    bool ended = false;
    bool painted = true;
    QElapsedTimer timer;
    double seconds = 0;
    const auto done = [&] {
        if (seconds == 0) seconds = double(timer.nsecsElapsed()) / 1e9;
        loop.quit();
    };
    watch.OnPaintedAll = [&] {
        if (ended) done();
    };
    const auto previous = form.ConsoleCommand->OnTerminated();
    form.ConsoleCommand->SetOnTerminated([&](QObject *ASender) {
        if (previous) previous(ASender);
        ended = true;
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            std::fprintf(stderr, "run ended after %.3f s\n", double(timer.nsecsElapsed()) / 1e9);
        if (watch.PaintedAll) {
            QTimer::singleShot(0, &loop, done); // after the paints this turn may still bring
            return;
        }
        QTimer::singleShot(2000, &loop, [&] {
            painted = false;
            done();
        });
    });

    malloc_trim(0);
    const long baseKb = StatusKb("VmRSS:");
    {
        QFile clear(QStringLiteral("/proc/self/clear_refs"));
        if (clear.open(QIODevice::WriteOnly)) clear.write("5"); // peak := current
    }
    const double cpuBefore = ThreadCpuSeconds();
    timer.start();
    form.OpenScript(AScript);
    loop.exec();
    const double guiCpu = ThreadCpuSeconds() - cpuBefore;
    if (!painted) std::fprintf(stderr, "the last line was never painted\n");
    if (qEnvironmentVariableIsSet("BENCH_VERBOSE")) PrintThreadTimes();
    const long peakKb = StatusKb("VmHWM:");
    const qint64 chars = view.Text().size();
    std::printf("%.4f %ld %d %d %lld %d %.4f\n", seconds, peakKb - baseKb, view.Lines()->Count(),
                watch.Paints, static_cast<long long>(chars), painted ? 1 : 0, guiCpu);
    return view.Lines()->Count() == ALines ? 0 : 1;
}

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues.empty() ? 0 : AValues[AValues.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 5 && qstrcmp(argv[1], "--window") == 0)
        return RunWindow(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]),
                         std::atoi(argv[4]));

    QCoreApplication application(argc, argv);
    const int lines = argc > 1 ? std::max(1, std::atoi(argv[1])) : 1000000;
    const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty()) {
        std::printf("bench_resultview: php is needed\n");
        return 1;
    }
    QTemporaryDir dir;
    const QString script = dir.filePath(QStringLiteral("m.php"));
    {
        QFile f(script);
        if (!f.open(QIODevice::WriteOnly)) return 1;
        f.write(QByteArray("<?php for ($i = 0; $i < ") + QByteArray::number(lines) +
                "; $i++) echo \"<tr><td>$i</td></tr>\\n\";\n");
    }
    qint64 bytes = 0;
    for (int i = 0; i < lines; ++i)
        bytes += qstrlen("<tr><td></td></tr>\n") + QByteArray::number(i).size();

    std::vector<double> windowS, floorS, ratios, memory, guiCpu;
    for (int round = 0; round < rounds; ++round) {
        QProcess window;
        // The browser engine's start-up messages are dropped unless BENCH_VERBOSE is set.
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            window.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        else
            window.setStandardErrorFile(QProcess::nullDevice());
        window.start(QCoreApplication::applicationFilePath(),
                     {QStringLiteral("--window"), php, script, QString::number(lines)});
        window.waitForFinished(-1);
        const QList<QByteArray> fields = window.readAllStandardOutput().trimmed().split(' ');
        if (window.exitCode() != 0 || fields.size() < 7 || fields[5] != "1") {
            std::printf("window run failed (exit %d): %s\n", window.exitCode(), fields.join(' ').constData());
            return 1;
        }
        const double w = fields[0].toDouble();
        const double kb = fields[1].toDouble();
        guiCpu.push_back(fields[6].toDouble());

        QProcess pipe;
        QElapsedTimer timer;
        timer.start();
        pipe.start(QStringLiteral("sh"),
                   {QStringLiteral("-c"), QStringLiteral("'%1' '%2' | cat > /dev/null").arg(php, script)});
        pipe.waitForFinished(-1);
        const double f = double(timer.nsecsElapsed()) / 1e9;
        windowS.push_back(w);
        floorS.push_back(f);
        ratios.push_back(w / f);
        memory.push_back(kb * 1024.0 / double(bytes));
        std::printf(
            "round %d: window %.3f s (%s paints, GUI thread %.3f s of CPU), php | cat %.3f s, ratio %.2f, "
            "peak +%.0f MB = %.2f bytes per output byte\n",
            round + 1, w, fields[3].constData(), guiCpu.back(), f, w / f, kb / 1024.0,
            kb * 1024.0 / double(bytes));
        std::fflush(stdout);
    }
    std::printf("%d lines, %lld bytes of output; medians of %d rounds taking turns:\n", lines,
                static_cast<long long>(bytes), rounds);
    std::printf(
        "  window, run to last line painted  %.3f s (its GUI thread: %.3f s of CPU, %.2f us a line)\n",
        Median(windowS), Median(guiCpu), Median(guiCpu) * 1e6 / lines);
    std::printf("  php | cat > /dev/null             %.3f s\n", Median(floorS));
    std::printf(
        "  ratio %.2fx the floor (target <= 1.3); peak memory %.2f bytes per output byte (target <= 8)\n",
        Median(ratios), Median(memory));
    return 0;
}
