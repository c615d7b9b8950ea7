// SPDX-License-Identifier: MIT
// The PHP developer's loop, measured.
//
// 1. Recognising PHP's messages in 100,000 output lines, against the plain streaming of the same
//    lines: in process (each line as the runner delivers it, decoded and appended to the result's
//    bytes, with and without the recogniser and its filter), and end to end in batch mode
//    (`checkphp --save` against `checkphp --errors --save` on php printing the lines), the
//    variants taking turns round by round.
// 2. The F5 loop for a hello-world script in the window: from the F5 key until the printed line is in the
// result view and painted, unmodified and with a modified
//    script (saved first); against `php hello.php` alone (start to exit, output read).
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_phploop [ROUNDS, default 11] [CHECKPHP]
// CHECKPHP defaults to the checkphp next to this build (../app/checkphp).

#include "ControlPanelUnit.h"
#include "FileWriting.h"
#include "LineMarks.h"
#include "PhpMessages.h"
#include "ResultBrowser.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QKeyEvent>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest/QTest>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    const size_t n = AValues.size();
    return n == 0 ? 0 : n % 2 ? AValues[n / 2] : (AValues[n / 2 - 1] + AValues[n / 2]) / 2;
}

// 100,000 lines as a PHP page prints them: table rows, with a warning pair (logged and shown),
// a deprecation and an uncaught exception with its trace now and then (about 2% of the lines).
QStringList OutputLines(int ACount) {
    QStringList lines;
    lines.reserve(ACount);
    for (int i = 0; lines.size() < ACount; ++i) {
        if (i % 200 == 100) {
            lines << QStringLiteral("PHP Warning:  Undefined variable $x in /srv/www/page.php on line %1")
                         .arg(i % 90 + 1)
                  << QStringLiteral("Warning: Undefined variable $x in /srv/www/page.php on line %1")
                         .arg(i % 90 + 1)
                  << QStringLiteral(
                         "PHP Deprecated:  strftime() is deprecated in /srv/www/lib.php on line 12");
        } else if (i % 1000 == 500) {
            lines << QStringLiteral(
                         "PHP Fatal error:  Uncaught RuntimeException: boom in /srv/www/lib.php:40")
                  << QStringLiteral("Stack trace:") << QStringLiteral("#0 /srv/www/page.php(7): fail()")
                  << QStringLiteral("#1 {main}") << QStringLiteral("  thrown in /srv/www/lib.php on line 40");
        } else {
            lines << QStringLiteral("<tr><td>%1</td><td>item %1</td><td>%2.50</td></tr>").arg(i).arg(i % 97);
        }
    }
    while (lines.size() > ACount)
        lines.removeLast();
    return lines;
}

// Streams the lines into the result's bytes, with or without recognition; seconds.
double StreamLines(const QStringList &ALines, bool ARecognise, int &AFound) {
    QElapsedTimer timer;
    timer.start();
    app::TResultBytes bytes;
    app::TPhpMessageFilter filter;
    AFound = 0;
    for (const QString &line : ALines) {
        bytes.AddLine(line);
        if (ARecognise) {
            // As the batch mode does: recognised as delivered, decoded when it is a message.
            app::TPhpMessage message;
            if (app::RecognisePhpMessage(line, message)) {
                const QString decoded = app::DecodeResultLine(line);
                if ((decoded.constData() == line.constData() || app::RecognisePhpMessage(decoded, message)) &&
                    filter.Accept(message))
                    ++AFound;
            }
        }
    }
    const double s = double(timer.nsecsElapsed()) / 1e9;
    if (bytes.Bytes().isEmpty()) std::printf("(nothing streamed)\n");
    return s;
}

// One batch run of checkphp; wall seconds.
double BatchRun(const QString &ACheckphp, const QString &AScript, const QString &AOut, bool AErrors) {
    QProcess process;
    process.setStandardErrorFile(QProcess::nullDevice());
    QStringList args = {QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--save"), AOut,
                        AScript};
    if (AErrors) args.prepend(QStringLiteral("--errors"));
    QElapsedTimer timer;
    timer.start();
    process.start(ACheckphp, args);
    process.waitForFinished(120000);
    return double(timer.nsecsElapsed()) / 1e9;
}

// Waits in the event loop until ADone or AMs milliseconds.
template <typename F> bool WaitFor(F ADone, int AMs) {
    QElapsedTimer timer;
    timer.start();
    while (!ADone()) {
        if (timer.elapsed() > AMs) return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

// Notes the first paint of the result view that shows a line.
class TPaintWatch : public QObject {
public:
    explicit TPaintWatch(lexedit::TLexEdit &AEdit) : FEdit(AEdit) {}
    bool Painted = false;

protected:
    bool eventFilter(QObject *AObject, QEvent *AEvent) override {
        if (AEvent->type() == QEvent::Paint && FEdit.Lines()->Count() >= 1 &&
            FEdit.Lines()->Get(0) == QLatin1String("Hello, world!"))
            Painted = true;
        return QObject::eventFilter(AObject, AEvent);
    }

private:
    lexedit::TLexEdit &FEdit;
};

} // namespace

int main(int argc, char **argv) {
    app::TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 11;
    const QString checkphp =
        argc > 2 ? QString::fromLocal8Bit(argv[2])
                 : QCoreApplication::applicationDirPath() + QStringLiteral("/../app/checkphp");
    QTemporaryDir dir;
    const QString php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (php.isEmpty()) {
        std::printf("php not found\n");
        return 1;
    }

    // 1. Recognition against plain streaming, in process.
    const QStringList lines = OutputLines(100000);
    std::vector<double> plain, recognised;
    int found = 0;
    for (int r = 0; r < rounds; ++r) {
        plain.push_back(StreamLines(lines, false, found));
        recognised.push_back(StreamLines(lines, true, found));
    }
    // Recognition alone, over the same lines (the best of the rounds: the least disturbed).
    std::vector<double> recogniseOnly;
    for (int r = 0; r < rounds; ++r) {
        QElapsedTimer timer;
        timer.start();
        int n = 0;
        for (const QString &line : lines) {
            app::TPhpMessage message;
            n += app::RecognisePhpMessage(line, message);
        }
        recogniseOnly.push_back(double(timer.nsecsElapsed()) / 1e9);
        if (n == 0) std::printf("(nothing recognised)\n");
    }
    const double aloneBest = *std::min_element(recogniseOnly.begin(), recogniseOnly.end());
    std::vector<double> ratios;
    for (size_t i = 0; i < plain.size(); ++i)
        ratios.push_back(recognised[i] / plain[i]);
    const double plainBest = *std::min_element(plain.begin(), plain.end());
    const double recognisedBest = *std::min_element(recognised.begin(), recognised.end());
    std::printf("100,000 lines in process (median of %d rounds; best round in brackets):\n", rounds);
    std::printf("  plain streaming             %7.2f ms  (%.2f ms)\n", Median(plain) * 1e3, plainBest * 1e3);
    std::printf("  streaming + recognition     %7.2f ms  (%.2f ms; %d messages counted)\n",
                Median(recognised) * 1e3, recognisedBest * 1e3, found);
    std::printf("  best against best           %7.2fx\n", recognisedBest / plainBest);
    std::printf("  recognition alone, best     %7.2f ms, %.1f ns a line: %.2fx the best plain streaming\n",
                aloneBest * 1e3, aloneBest / lines.size() * 1e9, (plainBest + aloneBest) / plainBest);
    std::printf(
        "  ratio                       %7.2fx  (rounds %.2f-%.2f); recognition alone %.0f ns a line\n",
        Median(ratios), *std::min_element(ratios.begin(), ratios.end()),
        *std::max_element(ratios.begin(), ratios.end()), (Median(recognised) - Median(plain)) / 100000 * 1e9);

    // The same lines printed by php, through checkphp's batch mode.
    {
        QFile script(dir.filePath(QStringLiteral("lines.php")));
        script.open(QIODevice::WriteOnly);
        QByteArray source = "<?php\n$lines = [\n";
        for (const QString &l : lines)
            source += "'" + l.toUtf8().replace('\\', "\\\\").replace('\'', "\\'") + "',\n";
        source += "];\nforeach ($lines as $l) echo $l, \"\\n\";\n";
        script.write(source);
    }
    if (QFile::exists(checkphp)) {
        std::vector<double> save, errors, batchRatios;
        const QString script = dir.filePath(QStringLiteral("lines.php"));
        for (int r = 0; r < rounds; ++r) {
            save.push_back(BatchRun(checkphp, script, dir.filePath(QStringLiteral("a.html")), false));
            errors.push_back(BatchRun(checkphp, script, dir.filePath(QStringLiteral("b.html")), true));
            batchRatios.push_back(errors.back() / save.back());
        }
        std::printf("the same 100,000 lines printed by php, checkphp batch mode (median of %d rounds):\n",
                    rounds);
        std::printf("  --save                      %7.1f ms\n", Median(save) * 1e3);
        std::printf("  --errors --save             %7.1f ms\n", Median(errors) * 1e3);
        std::printf("  ratio                       %7.2fx  (rounds %.2f-%.2f)\n", Median(batchRatios),
                    *std::min_element(batchRatios.begin(), batchRatios.end()),
                    *std::max_element(batchRatios.begin(), batchRatios.end()));
    } else {
        std::printf("checkphp not found at %s: batch comparison skipped\n", qPrintable(checkphp));
    }

    // 2. The F5 loop.
    const QString hello = dir.filePath(QStringLiteral("hello.php"));
    {
        QFile file(hello);
        file.open(QIODevice::WriteOnly);
        file.write("<?php\necho \"Hello, world!\\n\";\n");
    }
    app::TControlPanelForm form;
    form.show();
    form.activateWindow(); // its shortcuts need it active
    WaitFor([&] { return form.isActiveWindow(); }, 5000);
    form.ChooseInterpreter(php);
    form.OpenScript(hello);
    WaitFor([&] { return !form.ConsoleCommand->IsRunning(); }, 20000);
    // The window's handling of the same 100,000 lines (the result view, its highlighter, the
    // marks and the recognition), against the recognition alone measured above.
    {
        std::vector<double> window;
        for (int r = 0; r < std::min(rounds, 5); ++r) {
            form.WebMemo->Lines()->Clear();
            form.ResultMarks().Clear();
            WaitFor([] { return false; }, 50);
            QElapsedTimer timer;
            timer.start();
            for (const QString &line : lines)
                form.ConsoleCommandNewLine(form.ConsoleCommand, line, runner::otEntireLine);
            WaitFor([&] { return form.WebMemo->PaintLock() == 0; }, 20000);
            window.push_back(double(timer.nsecsElapsed()) / 1e9);
        }
        const double best = *std::min_element(window.begin(), window.end());
        std::printf("the same lines into the window's result view (best of %d):\n", int(window.size()));
        std::printf(
            "  window, recognition included %6.1f ms, %.2f us a line; without the recognition's %.1f ms: "
            "%.3fx\n",
            best * 1e3, best / lines.size() * 1e6, aloneBest * 1e3, best / (best - aloneBest));
    }
    TPaintWatch watch(*form.WebMemo);
    form.WebMemo->viewport()->installEventFilter(&watch);
    const auto f5 = [&](bool AModify) {
        if (AModify) {
            // A character typed and deleted: modified, the same text; F5 saves it first.
            form.PHPmemo->SetCaretXY(lexedit::BufferCoord(1, 2));
            QKeyEvent x(QEvent::KeyPress, Qt::Key_X, Qt::NoModifier, QStringLiteral("x"));
            QApplication::sendEvent(form.PHPmemo, &x);
            QKeyEvent back(QEvent::KeyPress, Qt::Key_Backspace, Qt::NoModifier);
            QApplication::sendEvent(form.PHPmemo, &back);
            if (!form.ScriptModified()) std::printf("(the script is not modified)\n");
        }
        watch.Painted = false;
        WaitFor([] { return false; }, 20); // settle
        QElapsedTimer timer;
        timer.start();
        QTest::keyClick(form.PHPmemo, Qt::Key_F5); // through the window's shortcut, as typed
        if (!WaitFor([&] { return watch.Painted; }, 20000)) std::printf("(no paint)\n");
        const double s = double(timer.nsecsElapsed()) / 1e9;
        WaitFor([&] { return !form.ConsoleCommand->IsRunning(); }, 20000);
        return s;
    };
    std::vector<double> loop, loopSaved, alone;
    for (int r = 0; r < rounds; ++r) {
        loop.push_back(f5(false));
        loopSaved.push_back(f5(true));
        QProcess process;
        QElapsedTimer timer;
        timer.start();
        process.start(php, {hello});
        process.waitForFinished(20000);
        const QByteArray out = process.readAllStandardOutput();
        alone.push_back(double(timer.nsecsElapsed()) / 1e9);
        if (out != "Hello, world!\n") std::printf("(php printed something else)\n");
    }
    std::printf("F5 loop, hello world (median of %d rounds):\n", rounds);
    std::printf("  F5 to the line painted      %7.1f ms  (%.2fx php alone)\n", Median(loop) * 1e3,
                Median(loop) / Median(alone));
    std::printf("  same, modified script saved %7.1f ms  (%.2fx php alone)\n", Median(loopSaved) * 1e3,
                Median(loopSaved) / Median(alone));
    std::printf("  php hello.php alone         %7.1f ms\n", Median(alone) * 1e3);
    return 0;
}
