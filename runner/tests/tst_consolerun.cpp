// SPDX-License-Identifier: MIT
// Real children through the runner (Parts 2.2-2.4): events in order, line ends, partial lines,
// errors with their exact texts, time-outs, stop, veto, input, echo, environment, directory.
#include "RunnerTestUtil.h"

#include "posix/Posix.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <atomic>
#include <vector>

using namespace runner;
using namespace runnertest;

namespace {

// A subclass that decodes by itself: Latin-1 in capitals, counting its calls.
class TUpperDecoding : public TConsoleCommand {
public:
    explicit TUpperDecoding(std::atomic<int> &ACalls) : FCalls(ACalls) {}
    QString DoCharDecoding(QObject *, const QByteArray &ABuf) override {
        ++FCalls;
        return QString::fromLatin1(ABuf).toUpper();
    }
    bool HasDefaultCharDecoding() const override { return false; }

private:
    std::atomic<int> &FCalls;
};

// A subclass that changes the encoding only: the decoding stays the default one.
class TUtf8Encoding : public TConsoleCommand {
public:
    void DoCharEncoding(QObject *, const QString &AChars, QByteArray &AOutBuf) override {
        AOutBuf += AChars.toUtf8();
    }
};

} // namespace

class TestConsoleRun : public QObject {
    Q_OBJECT
private slots:
    void threeLinesThenExit3() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print one\\ntwo\\nthree\\n sleep 300 exit 3"))));
        QCOMPARE(rec.Events, (QStringList{QStringLiteral("line:one"), QStringLiteral("line:two"),
                                          QStringLiteral("line:three"), QStringLiteral("terminated")}));
        QCOMPARE(cmd.Lines(),
                 (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")}));
        QCOMPARE(cmd.ExitCode(), 3u);
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(rec.Terminated, 1);
        QVERIFY(cmd.ProcessInformation().dwProcessId > 0);
        QVERIFY(rec.Reports.isEmpty());
    }

    void partialThenEntire() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print abc sleep 300"))));
        QCOMPARE(rec.Events, (QStringList{QStringLiteral("partial:abc"), QStringLiteral("line:abc"),
                                          QStringLiteral("terminated")}));
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("abc")});
    }

    void partialGrowsAcrossReads() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print ab sleep 200 print c\\n"))));
        QCOMPARE(rec.Events, (QStringList{QStringLiteral("partial:ab"), QStringLiteral("line:abc"),
                                          QStringLiteral("terminated")}));
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("abc")});
    }

    void lineEnds_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QStringList>("lines");
        QTest::newRow("CR LF and LF in one chunk") << "print a\\r\\nb\\n" << QStringList{"a", "b"};
        QTest::newRow("CR, then LF in the next chunk") << "print a\\r sleep 100 print \\nb\\n"
                                                       << QStringList{"a", "b"};
        QTest::newRow("lone CRs") << "print a\\rb\\r" << QStringList{"a", "b"};
        QTest::newRow("LF CR makes an empty line") << "print a\\n\\r" << QStringList{"a", ""};
        QTest::newRow("empty lines") << "print \\n\\n" << QStringList{"", ""};
        QTest::newRow("NUL is dropped") << "print a\\0b\\n" << QStringList{"ab"};
        QTest::newRow("lost tail") << "print x\\ny exit 0" << QStringList{"x", "y"};
        QTest::newRow("stderr merged") << "print out\\n sleep 50 err err\\n" << QStringList{"out", "err"};
        QTest::newRow("LF lines") << "lines 3 lf" << QStringList{"line1", "line2", "line3"};
        QTest::newRow("CR LF lines, no final end")
            << "lines 3 crlf noeol" << QStringList{"line1", "line2", "line3"};
        QTest::newRow("CR lines") << "lines 3 cr" << QStringList{"line1", "line2", "line3"};
    }
    void lineEnds() {
        QFETCH(QString, steps);
        QFETCH(QStringList, lines);
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        QVERIFY(RunToEnd(cmd, Child(steps)));
        QCOMPARE(cmd.Lines(), lines);
        QCOMPARE(rec.Lines(), lines);
        QCOMPARE(cmd.EndStatus(), esProcess);
    }

    void charsAreReportedIncludingLineEndsAndNul() {
        TConsoleCommand cmd;
        TRecorder rec(cmd, true);
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print a\\0\\r\\n"))));
        QCOMPARE(rec.Events, (QStringList{QStringLiteral("char:97"), QStringLiteral("char:0"),
                                          QStringLiteral("char:13"), QStringLiteral("line:a"),
                                          QStringLiteral("char:10"), QStringLiteral("terminated")}));
    }

    // Every byte passes through the default (Latin-1) decoding unchanged, so the application can
    // re-encode and decode UTF-8, whatever the chunk boundaries.
    void utf8AndCrLfSplitAtEveryOffset() {
        const QByteArray bytes = QByteArray("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z\r\n");
        const QString expected = QString::fromUtf8("\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
        QString escaped;
        for (char b : bytes)
            escaped += QStringLiteral("\\x%1").arg(static_cast<uint8_t>(b), 2, 16, QLatin1Char('0'));
        for (int k = 0; k <= bytes.size(); ++k) {
            TConsoleCommand cmd;
            QVERIFY(RunToEnd(cmd, Child(QStringLiteral("split %1 %2").arg(k).arg(escaped))));
            QCOMPARE(cmd.Lines().size(), 1);
            QCOMPARE(cmd.Lines().front().toLatin1(), bytes.left(bytes.size() - 2));
            QCOMPARE(QString::fromUtf8(cmd.Lines().front().toLatin1()), expected);
        }
    }

    void allHighBytesPassThrough() {
        QString escaped;
        QByteArray bytes;
        for (int b = 0x80; b <= 0xFF; ++b) {
            escaped += QStringLiteral("\\x%1").arg(b, 2, 16);
            bytes += static_cast<char>(b);
        }
        TConsoleCommand cmd;
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print %1\\n").arg(escaped))));
        QCOMPARE(cmd.Lines().size(), 1);
        QCOMPARE(cmd.Lines().front().toLatin1(), bytes);
    }

    void errors_data() {
        QTest::addColumn<QString>("commandLine");
        QTest::addColumn<QString>("dir");
        QTest::addColumn<QString>("systemText");
        QTest::newRow("missing program") << "/nonexistent/program arg"
                                         << "" << posix::ErrorText(2);
        QTest::newRow("missing program on PATH") << "no-such-program-4711 -x"
                                                 << "" << posix::ErrorText(2);
        QTest::newRow("bad directory") << Child() << "/nonexistent/dir" << posix::ErrorText(2);
        QTest::newRow("not executable") << "/etc/passwd"
                                        << "" << posix::ErrorText(13);
    }
    void errors() {
        QFETCH(QString, commandLine);
        QFETCH(QString, dir);
        QFETCH(QString, systemText);
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetCurrentDir(dir);
        QVERIFY(RunToEnd(cmd, commandLine));
        QCOMPARE(cmd.EndStatus(), esError);
        QCOMPARE(rec.Reports.size(), 1);
        QCOMPARE(rec.Reports[0].ClassName, QStringLiteral("ECreateProcessError"));
        QCOMPARE(rec.Reports[0].Message,
                 QStringLiteral("Error creating Process: %1 - (%2)").arg(commandLine, systemText));
        QCOMPARE(rec.Reports[0].Caption, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        QCOMPARE(rec.Events, QStringList{QStringLiteral("terminated")});
        QVERIFY(!cmd.IsRunning());
    }

    void errorHandler() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        QString seen;
        bool handle = true;
        cmd.SetOnExecuteError([&](QObject *, const common::Exception &AE, bool &AHandled) {
            seen = QString::fromLatin1(AE.ClassName()) + QLatin1Char(':') + AE.Message();
            AHandled = handle;
        });
        QVERIFY(RunToEnd(cmd, QStringLiteral("/nonexistent/x")));
        QCOMPARE(seen, QStringLiteral("ECreateProcessError:Error creating Process: /nonexistent/x - (%1)")
                           .arg(posix::ErrorText(2)));
        QVERIFY(rec.Reports.isEmpty()); // handled
        handle = false;
        QVERIFY(RunToEnd(cmd, QStringLiteral("/nonexistent/x")));
        QCOMPARE(rec.Reports.size(), 1); // not handled: the error box
        cmd.SetOnExecuteError([&](QObject *, const common::Exception &, bool &) {
            throw EConsoleCommand(QStringLiteral("from the handler"));
        });
        QVERIFY(RunToEnd(cmd, QStringLiteral("/nonexistent/x")));
        QCOMPARE(rec.Reports.size(), 2);
        QCOMPARE(rec.Reports[1].Message, QStringLiteral("from the handler"));
        QCOMPARE(rec.Terminated, 3);
    }

    void withoutKeptLinesEveryLineStillReachesTheHandlers() {
        TConsoleCommand cmd;
        cmd.SetKeepLines(false);
        QStringList output;
        cmd.SetOutputLines(&output);
        QStringList handled;
        cmd.SetOnNewLine([&](QObject *, const QString &ALine, TOutputType AType) {
            if (AType == otEntireLine) handled << ALine;
        });
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("lines 3000 crlf print \\0x\\r split 2 a\\0bc"))));
        QVERIFY(cmd.Lines().isEmpty());
        QCOMPARE(handled.size(), 3002);
        QCOMPARE(handled.constFirst(), QStringLiteral("line1"));
        QCOMPARE(handled[2999], QStringLiteral("line3000"));
        QCOMPARE(handled[3000], QStringLiteral("x"));
        QCOMPARE(handled[3001], QStringLiteral("abc"));
        QCOMPARE(output, handled);
    }

    void exitCodes_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<uint>("code");
        QTest::addColumn<int>("signal");
        QTest::newRow("exit 5 without output") << "exit 5" << 5u << 0;
        QTest::newRow("exit 0") << "" << 0u << 0;
        QTest::newRow("exit 137 is not a signal") << "exit 137" << 137u << 0;
        QTest::newRow("crash by SIGSEGV") << "crash 11" << 139u << 11;
        QTest::newRow("killed by SIGTERM") << "crash 15" << 143u << 15;
        QTest::newRow("killed by SIGKILL") << "crash 9" << 137u << 9;
    }
    void exitCodes() {
        QFETCH(QString, steps);
        QFETCH(uint, code);
        QFETCH(int, signal);
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        QVERIFY(RunToEnd(cmd, Child(steps)));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(cmd.ExitCode(), code);
        QCOMPARE(cmd.TerminationSignal(), signal);
        if (signal == 9) QCOMPARE(TConsoleCommand::SignalName(signal), QStringLiteral("SIGKILL"));
        QVERIFY(cmd.Lines().isEmpty());
    }

    void timeOutAfterBeginning() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetMaxTimeAfterBeginning(1);
        QElapsedTimer t;
        t.start();
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print x\\n hang"))));
        QCOMPARE(cmd.EndStatus(), esTime);
        QCOMPARE(cmd.ExitCode(), 0u);
        QVERIFY2(t.elapsed() >= 1900 && t.elapsed() < 3500, qPrintable(QString::number(t.elapsed())));
        QVERIFY(!ProcessExists(cmd.ProcessInformation().dwProcessId));
    }

    void timeOutAfterLastOutput() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetMaxTimeAfterLastOutput(1);
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("sleep 1500 print late\\n hang"))));
        QCOMPARE(cmd.EndStatus(), esTime);
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("late")});
    }

    // Only completed lines reset the idle clock: a flood without line ends is ended.
    void partialOutputDoesNotResetIdleClock() {
        TConsoleCommand cmd;
        int partials = 0;
        cmd.SetOnNewLine([&](QObject *, const QString &, TOutputType AType) {
            if (AType == otBeginningOfLine) ++partials;
        });
        cmd.SetMaxTimeAfterLastOutput(1);
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("flood"))));
        QCOMPARE(cmd.EndStatus(), esTime);
        QCOMPARE(cmd.Lines().size(), 1); // the pending line, entire at the end
        QVERIFY(cmd.Lines().front().size() > 100000);
        QVERIFY(partials >= 1);
        QVERIFY(partials < 200); // throttled
    }

    void stop() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetCommandLine(Child(QStringLiteral("print started\\n hang")));
        cmd.Execute();
        QVERIFY(QTest::qWaitFor([&] { return rec.Lines().size() == 1; }, 5000));
        const qint64 pid = cmd.ProcessInformation().dwProcessId;
        QVERIFY(ProcessExists(pid));
        cmd.Stop();
        QVERIFY(WaitEnd(cmd, 3000));
        QCOMPARE(cmd.EndStatus(), esStop);
        QCOMPARE(cmd.ExitCode(), 0u);
        QVERIFY(!ProcessExists(pid));
        QCOMPARE(rec.Events.last(), QStringLiteral("terminated"));
    }

    // Regression: a stop left unread what the child had printed into the pipe before it, so the
    // last lines of a stopped run were lost. The decoding hook holds the worker after the first
    // line until the second is in the pipe and the stop is requested.
    void stopTakesTheOutputWaitingInThePipe() {
        QTemporaryDir dir;
        const QString go = dir.filePath(QStringLiteral("go"));
        const QString written = dir.filePath(QStringLiteral("written"));
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        std::atomic<bool> stopped{false};
        std::atomic<int> chunks{0};
        cmd.SetOnCharDecoding([&](QObject *, const QByteArray &ABytes) {
            if (chunks++ == 0) {
                QFile(go).open(QIODevice::WriteOnly);
                while (!stopped.load())
                    QThread::msleep(2);
            }
            return QString::fromLatin1(ABytes);
        });
        cmd.SetCommandLine(
            Child(QStringLiteral("print one\\n waitfile %1 print two\\n touch %2 hang").arg(go, written)));
        cmd.Execute();
        QVERIFY(QTest::qWaitFor([&] { return QFileInfo::exists(written); }, 10000));
        cmd.Stop();
        stopped = true;
        QVERIFY(WaitEnd(cmd, 5000));
        QCOMPARE(cmd.EndStatus(), esStop);
        QCOMPARE(rec.Lines(), QStringList({QStringLiteral("one"), QStringLiteral("two")}));
    }

    void vetoKeepsTheChild() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        int asked = 0;
        cmd.SetOnTerminateProcess([&](QObject *, bool &ACanTerminate) {
            ++asked;
            ACanTerminate = false;
        });
        cmd.SetCommandLine(Child(QStringLiteral("print started\\n hang")));
        cmd.Execute();
        QVERIFY(QTest::qWaitFor([&] { return rec.Lines().size() == 1; }, 5000));
        const qint64 pid = cmd.ProcessInformation().dwProcessId;
        cmd.Stop();
        QVERIFY(WaitEnd(cmd, 3000));
        QCOMPARE(asked, 1);
        QCOMPARE(cmd.EndStatus(), esStop);
        QCOMPARE(cmd.ExitCode(), 259u);
        QVERIFY(ProcessExists(pid));
        QCOMPARE(StatField(QString::number(pid), 3) == 'Z', false);
        posix::KillGroup(static_cast<int>(pid));
        // Reaped by the runner once it ends: no zombie stays.
        QVERIFY(QTest::qWaitFor([&] { return !ProcessExists(pid); }, 3000));
    }

    void sendLine() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetCommandLine(Child(QStringLiteral("readline readline")));
        cmd.Execute();
        cmd.SendLine(QStringLiteral("hello"), true);
        cmd.SendLine(QStringLiteral("wor"), false);
        cmd.SendLine(QString(), false); // nothing written
        cmd.SendLine(QStringLiteral("ld"), true);
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.Lines(), (QStringList{QStringLiteral("got:hello"), QStringLiteral("got:world")}));
    }

    void echoDoesNotOverwriteCompletedLines() {
        TConsoleCommand cmd;
        QStringList output;
        cmd.SetOutputLines(&output);
        cmd.SetInputToOutput(true);
        cmd.SetCommandLine(Child(QStringLiteral("print done\\n readline print prompt: readline")));
        cmd.Execute();
        QVERIFY(QTest::qWaitFor([&] { return output.size() == 1; }, 5000));
        cmd.SendLine(QStringLiteral("x"), true);
        QVERIFY(QTest::qWaitFor([&] { return output.size() == 3; }, 5000));
        QTest::qWait(100); // the prompt arrives as a partial line
        cmd.SendLine(QStringLiteral("y"), true);
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(output, (QStringList{QStringLiteral("done"), QStringLiteral("x"), QStringLiteral("got:x"),
                                      QStringLiteral("prompt:y"), QStringLiteral("got:y")}));
        QCOMPARE(cmd.Lines(), output);
    }

    void childClosedItsInputIsNoError() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetCommandLine(Child(QStringLiteral("closein sleep 200 print alive\\n sleep 200")));
        cmd.Execute();
        QTest::qWait(100);
        for (int i = 0; i < 100; ++i)
            cmd.SendLine(QString(1000, QLatin1Char('x')), true);
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("alive")});
        QVERIFY(rec.Reports.isEmpty());
    }

    // Input the child never reads fills the pipe; the worker does not block on it.
    void stopWithInputPending() {
        TConsoleCommand cmd;
        cmd.SetCommandLine(Child(QStringLiteral("hang")));
        cmd.Execute();
        for (int i = 0; i < 50; ++i)
            cmd.SendLine(QString(10000, QLatin1Char('x')), true);
        QTest::qWait(100);
        QElapsedTimer t;
        t.start();
        cmd.Stop();
        QVERIFY(WaitEnd(cmd, 3000));
        QVERIFY(t.elapsed() < 1000);
        QCOMPARE(cmd.EndStatus(), esStop);
    }

    // CloseInput closes the child's input after the lines queued before it: a child reading to
    // the end of its input gets them all and then finishes by itself.
    void closeInputEndsAChildReadingToTheEnd() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetCommandLine(Child(QStringLiteral("echo print end\\n")));
        cmd.Execute();
        cmd.SendLine(QStringLiteral("one"), true);
        cmd.SendLine(QStringLiteral("two"), true);
        cmd.CloseInput();
        cmd.SendLine(QStringLiteral("dropped"), true); // after the close: never written
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(cmd.Lines(),
                 (QStringList{QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("end")}));
        QVERIFY(rec.Reports.isEmpty());
    }

    // Input larger than the pipe holds is written in pieces as the child reads; the close waits
    // for the last piece, so nothing queued before it is cut off.
    void closeInputWaitsForAPartlyWrittenLine() {
        TConsoleCommand cmd;
        cmd.SetCommandLine(Child(QStringLiteral("echo")));
        cmd.Execute();
        for (int i = 0; i < 40; ++i)
            cmd.SendLine(QString(10000, QLatin1Char('a' + i % 26)), true);
        cmd.CloseInput();
        QVERIFY(WaitEnd(cmd, 20000));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(cmd.Lines().size(), 40);
        for (int i = 0; i < 40; ++i)
            QCOMPARE(cmd.Lines().at(i), QString(10000, QLatin1Char('a' + i % 26)));
    }

    // A child that closed its input before: the close is no error either.
    void closeInputAfterTheChildClosedItsInput() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetCommandLine(Child(QStringLiteral("closein sleep 100 print alive\\n")));
        cmd.Execute();
        cmd.SendLine(QStringLiteral("x"), true);
        cmd.CloseInput();
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("alive")});
        QVERIFY(rec.Reports.isEmpty());
    }

    void echoOfStdinRoundTrip() {
        TConsoleCommand cmd;
        cmd.SetCommandLine(Child(QStringLiteral("echo")));
        cmd.Execute();
        for (int i = 0; i < 1000; ++i)
            cmd.SendLine(QStringLiteral("input %1").arg(i), true);
        QVERIFY(QTest::qWaitFor([&] { return cmd.Lines().size() == 1000; }, 10000));
        cmd.Stop();
        QVERIFY(WaitEnd(cmd));
        for (int i = 0; i < 1000; ++i)
            QCOMPARE(cmd.Lines().at(i), QStringLiteral("input %1").arg(i));
    }

    void environment() {
        TConsoleCommand cmd;
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("env RUNNER_TEST_VAR env PATH"))));
        QCOMPARE(cmd.Lines().at(0), QStringLiteral("RUNNER_TEST_VAR unset"));
        const QString path = cmd.Lines().at(1);
        cmd.Environment() << QStringLiteral("RUNNER_TEST_VAR=hello world")
                          << QStringLiteral("HOME=/replaced");
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("env RUNNER_TEST_VAR env HOME env PATH"))));
        QCOMPARE(cmd.Lines(), (QStringList{QStringLiteral("RUNNER_TEST_VAR=hello world"),
                                           QStringLiteral("HOME=/replaced"), path}));
    }

    void currentDir() {
        QTemporaryDir dir;
        TConsoleCommand cmd;
        cmd.SetCurrentDir(dir.path());
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("pwd"))));
        QCOMPARE(QFileInfo(cmd.Lines().value(0)).canonicalFilePath(),
                 QFileInfo(dir.path()).canonicalFilePath());
    }

    void onlyStandardDescriptorsReachTheChild() {
        TConsoleCommand cmd;
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("fds"))));
        // 0, 1, 2 and the directory listing's own descriptor.
        QCOMPARE(cmd.Lines().size(), 4);
        QVERIFY(cmd.Lines().contains(QStringLiteral("fd 0")));
        QVERIFY(cmd.Lines().contains(QStringLiteral("fd 1")));
        QVERIFY(cmd.Lines().contains(QStringLiteral("fd 2")));
    }

    // Regression: a child's peak memory was the runner's own. Linux carries a process's peak
    // resident memory over exec, so a small child started straight from a big process (the
    // window) reported the big process's size. The child runs under the launcher now, whose
    // report holds the child's own peak.
    void peakMemoryIsTheChildsNotTheRunners() {
        // This process grows past 200 MB resident: every page of the ballast is written.
        std::vector<char> ballast(size_t(200) << 20);
        volatile char *pages = ballast.data();
        for (size_t i = 0; i < ballast.size(); i += 4096)
            pages[i] = 1;
        QFile status(QStringLiteral("/proc/self/status"));
        QVERIFY(status.open(QIODevice::ReadOnly));
        const QByteArray text = status.readAll();
        const qsizetype hwm = text.indexOf("VmHWM:");
        QVERIFY(hwm >= 0);
        const qint64 ownPeakKb =
            text.mid(hwm + 6, text.indexOf('\n', hwm) - hwm - 6).trimmed().split(' ')[0].toLongLong();
        QVERIFY2(ownPeakKb >= 200 * 1024, qPrintable(QString::number(ownPeakKb)));

        TConsoleCommand cmd;
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("exit 0"))));
        const TRunFigures &figures = cmd.Figures();
        QVERIFY(figures.Valid);
        QVERIFY(figures.MaxResidentKnown);
        QVERIFY2(figures.MaxResidentBytes > 0 && figures.MaxResidentBytes < qint64(50) << 20,
                 qPrintable(QString::number(figures.MaxResidentBytes)));
        QCOMPARE(pages[ballast.size() - 4096], char(1));
    }

    void twoRunnersHaveTheirOwnClock() {
        TConsoleCommand a, b;
        a.SetMaxTimeAfterBeginning(1);
        b.SetMaxTimeAfterBeginning(2);
        a.SetCommandLine(Child(QStringLiteral("hang")));
        b.SetCommandLine(Child(QStringLiteral("hang")));
        QElapsedTimer t;
        t.start();
        a.Execute();
        b.Execute();
        QVERIFY(WaitEnd(a));
        const qint64 aEnd = t.elapsed();
        QVERIFY(b.IsRunning());
        QVERIFY(WaitEnd(b));
        QCOMPARE(a.EndStatus(), esTime);
        QCOMPARE(b.EndStatus(), esTime);
        QVERIFY2(t.elapsed() - aEnd >= 700, qPrintable(QString::number(t.elapsed() - aEnd)));
    }

    void customDecodingAndEncoding() {
        TConsoleCommand cmd;
        cmd.SetOnCharDecoding(
            [](QObject *, const QByteArray &ABuf) { return QString::fromLatin1(ABuf).toUpper(); });
        cmd.SetOnCharEncoding(
            [](QObject *, const QString &AChars, QByteArray &AOut) { AOut += AChars.toUtf8(); });
        cmd.SetCommandLine(Child(QStringLiteral("readline")));
        cmd.Execute();
        cmd.SendLine(QStringLiteral("é"), true);
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("GOT:\u00C3\u00A9")});
    }

    // Input went out as Latin-1 with CR LF whatever the caller needed: "€" became "?".
    void inputEncodingAndLineBreakAreTheCallers() {
        TConsoleCommand cmd;
        cmd.SetInputEncoding(ieUTF8);
        cmd.SetInputLineBreak(QStringLiteral("!\n"));
        cmd.SetCommandLine(Child(QStringLiteral("readline")));
        cmd.Execute();
        QVERIFY_THROWS_EXCEPTION(EConsoleCommand, cmd.SetInputLineBreak(QStringLiteral("\n")));
        cmd.SendLine(QStringLiteral("\u00E9\u20AC"), true);
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.Lines(), QStringList{QString::fromLatin1("got:\xC3\xA9\xE2\x82\xAC!")});
    }

    // Who decodes the output: the worker's own Latin-1 conversion only while DoCharDecoding is the
    // default one; a user hook or a subclass's override is called for every chunk.
    void decodingHooks_data() {
        QTest::addColumn<QString>("decoder");
        QTest::addColumn<bool>("fast");
        QTest::addColumn<QStringList>("lines");
        const QStringList latin1{QStringLiteral("h\u00E9llo"), QStringLiteral("w\u00F6rld")};
        const QStringList upper{QStringLiteral("H\u00C9LLO"), QStringLiteral("W\u00D6RLD")};
        QTest::newRow("the base class") << "none" << true << latin1;
        QTest::newRow("a user OnCharDecoding") << "hook" << false << upper;
        QTest::newRow("a subclass overriding DoCharDecoding") << "override" << false << upper;
        QTest::newRow("a subclass overriding only the encoding") << "encoding" << true << latin1;
    }
    void decodingHooks() {
        QFETCH(QString, decoder);
        QFETCH(bool, fast);
        QFETCH(QStringList, lines);
        std::unique_ptr<TConsoleCommand> cmd;
        std::atomic<int> calls{0};
        if (decoder == QLatin1String("override"))
            cmd = std::make_unique<TUpperDecoding>(calls);
        else if (decoder == QLatin1String("encoding"))
            cmd = std::make_unique<TUtf8Encoding>();
        else
            cmd = std::make_unique<TConsoleCommand>();
        if (decoder == QLatin1String("hook"))
            cmd->SetOnCharDecoding([&](QObject *, const QByteArray &ABuf) {
                ++calls;
                return QString::fromLatin1(ABuf).toUpper();
            });
        QCOMPARE(cmd->HasDefaultCharDecoding(), fast);
        QVERIFY(RunToEnd(*cmd, Child(QStringLiteral("print h\\xE9llo\\nw\\xF6rld\\n"))));
        QCOMPARE(cmd->Lines(), lines);
        QCOMPARE(calls.load() > 0, !fast);
    }

    // An exception from a handler goes to the error reporter, captioned with the program's name,
    // and never ends the delivery: the lines after it and OnTerminated still come.
    void handlerExceptionsAreReported_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<QString>("steps");
        QTest::addColumn<QString>("thrown");
        QTest::addColumn<int>("reports");
        QTest::addColumn<QString>("className");
        QTest::addColumn<QString>("message");
        const QString lines = QStringLiteral("print 1\\n2\\n3\\n hang");
        const QString partial = QStringLiteral("print 1\\n2\\n3\\n sleep 100 print ab hang");
        QTest::newRow("OnNewLine, own exception") << "line" << lines << "own" << 3 << "EConsoleCommand"
                                                  << "thrown";
        QTest::newRow("OnNewLine, partial line") << "partial" << partial << "own" << 1 << "EConsoleCommand"
                                                 << "thrown";
        QTest::newRow("OnNewChar, standard exception") << "char" << lines << "std" << 6 << ""
                                                       << "thrown";
        QTest::newRow("OnTerminateProcess, anything") << "terminate" << lines << "int" << 1 << "Exception"
                                                      << "Unknown error";
        QTest::newRow("OnTerminated, own exception")
            << "terminated" << lines << "own" << 1 << "EConsoleCommand"
            << "thrown";
    }
    void handlerExceptionsAreReported() {
        QFETCH(QString, handler);
        QFETCH(QString, steps);
        QFETCH(QString, thrown);
        QFETCH(int, reports);
        QFETCH(QString, className);
        QFETCH(QString, message);
        TConsoleCommand cmd;
        QList<common::ErrorReport> seen;
        const common::ErrorReporter previous =
            common::SetErrorReporter([&](const common::ErrorReport &AReport) { seen << AReport; });
        auto raise = [thrown] {
            if (thrown == QLatin1String("own")) throw EConsoleCommand(QStringLiteral("thrown"));
            if (thrown == QLatin1String("std")) throw std::runtime_error("thrown");
            throw 42;
        };
        QStringList entire;
        int terminated = 0;
        cmd.SetOnNewLine([&](QObject *, const QString &ALine, TOutputType AType) {
            if (AType == otEntireLine) entire << ALine;
            if (handler == QLatin1String(AType == otEntireLine ? "line" : "partial")) raise();
        });
        if (handler == QLatin1String("char")) cmd.SetOnNewChar([&](QObject *, QChar) { raise(); });
        if (handler == QLatin1String("terminate"))
            cmd.SetOnTerminateProcess([&](QObject *, bool &) { raise(); });
        cmd.SetOnTerminated([&](QObject *) {
            ++terminated;
            if (handler == QLatin1String("terminated")) raise();
        });
        // Three lines (six characters with their line ends), perhaps a partial line; the child then
        // hangs until it is stopped.
        cmd.SetCommandLine(Child(steps));
        cmd.Execute();
        const bool atTheEnd = handler == QLatin1String("terminate") || handler == QLatin1String("terminated");
        QVERIFY(QTest::qWaitFor([&] { return entire.size() == 3 && seen.size() == (atTheEnd ? 0 : reports); },
                                5000));
        cmd.Stop();
        const bool ended = WaitEnd(cmd);
        common::SetErrorReporter(previous);
        QVERIFY(ended);
        QCOMPARE(cmd.EndStatus(), esStop);
        QCOMPARE(entire.mid(0, 3),
                 (QStringList{QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")}));
        QCOMPARE(terminated, 1);
        QCOMPARE(seen.size(), reports);
        for (const common::ErrorReport &r : seen) {
            QCOMPARE(r.Caption, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
            if (!className.isEmpty()) QCOMPARE(r.ClassName, className);
            QCOMPARE(r.Message, message);
        }
    }
};

QTEST_GUILESS_MAIN(TestConsoleRun)
#include "tst_consolerun.moc"
