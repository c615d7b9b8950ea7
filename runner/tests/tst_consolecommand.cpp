// SPDX-License-Identifier: MIT
// The runner's public face: state after construction, the three error messages,
// Stop when idle, settings taken at Execute.
#include "RunnerTestUtil.h"

#include <QtTest>

using namespace runner;
using namespace runnertest;

class TestConsoleCommand : public QObject {
    Q_OBJECT
private slots:
    void freshState() {
        TConsoleCommand cmd;
        QCOMPARE(cmd.EndStatus(), esNone);
        QVERIFY(!cmd.IsRunning());
        QCOMPARE(cmd.Priority(), 32);
        QVERIFY(cmd.Lines().isEmpty());
        QCOMPARE(cmd.ExitCode(), 0u);
        QVERIFY(cmd.CommandLine().isEmpty());
        QVERIFY(cmd.CurrentDir().isEmpty());
        QVERIFY(cmd.Environment().isEmpty());
        QVERIFY(!cmd.InputToOutput());
        QCOMPARE(cmd.MaxTimeAfterBeginning(), 0);
        QCOMPARE(cmd.MaxTimeAfterLastOutput(), 0);
        QVERIFY(cmd.OutputLines() == nullptr);
        QVERIFY(!cmd.OnNewLine() && !cmd.OnNewChar() && !cmd.OnTerminated() && !cmd.OnExecuteError());
        QCOMPARE(cmd.ProcessInformation().hProcess, -1);
        QCOMPARE(EolCh[0], u' ');
        QCOMPARE(EolCh[1], u'_');
    }

    void executeWithoutCommandLine() {
        TConsoleCommand cmd;
        try {
            cmd.Execute();
            QFAIL("no error");
        } catch (const EConsoleCommand &e) {
            QCOMPARE(e.Message(), QStringLiteral("No Commandline to execute"));
            QCOMPARE(QString::fromLatin1(e.ClassName()), QStringLiteral("EConsoleCommand"));
        }
        QCOMPARE(cmd.EndStatus(), esNone);
        QVERIFY(!cmd.IsRunning());
    }

    void sendLineWhenIdle() {
        TConsoleCommand cmd;
        try {
            cmd.SendLine(QStringLiteral("x"), true);
            QFAIL("no error");
        } catch (const EConsoleCommand &e) {
            QCOMPARE(e.Message(), QStringLiteral("ConsoleCommand not running"));
        }
    }

    void closeInputWhenIdle() {
        TConsoleCommand cmd;
        try {
            cmd.CloseInput();
            QFAIL("no error");
        } catch (const EConsoleCommand &e) {
            QCOMPARE(e.Message(), QStringLiteral("ConsoleCommand not running"));
        }
    }

    void stopWhenIdle() {
        TConsoleCommand cmd;
        cmd.Stop();
        QCOMPARE(cmd.EndStatus(), esNone);
        QVERIFY(!cmd.IsRunning());
    }

    void executeWhileRunningLeavesTheRunAlone() {
        TConsoleCommand cmd;
        TRecorder rec(cmd);
        cmd.SetCommandLine(Child(QStringLiteral("print first\\n hang")));
        cmd.Execute();
        QVERIFY(cmd.IsRunning());
        QCOMPARE(cmd.EndStatus(), esStill_Active);
        QVERIFY(QTest::qWaitFor([&] { return rec.Lines().size() == 1; }, 5000));
        for (int attempt = 0; attempt < 3; ++attempt) {
            try {
                if (attempt == 0)
                    cmd.Execute();
                else if (attempt == 1)
                    cmd.SetOnCharDecoding([](QObject *, const QByteArray &) { return QString(); });
                else
                    cmd.SetOnCharEncoding([](QObject *, const QString &, QByteArray &) {});
                QFAIL("no error");
            } catch (const EConsoleCommand &e) {
                QCOMPARE(e.Message(), QStringLiteral("ConsoleCommand still running"));
            }
        }
        QVERIFY(cmd.IsRunning());
        QCOMPARE(cmd.EndStatus(), esStill_Active);
        QVERIFY(!cmd.OnCharDecoding());
        cmd.Stop();
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.EndStatus(), esStop);
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("first")});
        QCOMPARE(rec.Terminated, 1);
        QVERIFY(rec.Reports.isEmpty());
    }

    void settingsTakenAtExecute() {
        TConsoleCommand cmd;
        QStringList first, second;
        cmd.SetOnNewLine([&](QObject *, const QString &ALine, TOutputType AType) {
            if (AType == otEntireLine) first << ALine;
        });
        cmd.SetMaxTimeAfterBeginning(0);
        cmd.SetCommandLine(Child(QStringLiteral("print a\\n sleep 300 print b\\n sleep 1500 print c\\n")));
        cmd.Execute();
        QVERIFY(QTest::qWaitFor([&] { return first.size() == 1; }, 5000));
        // Changed during the run: affects only later runs.
        cmd.SetOnNewLine([&](QObject *, const QString &ALine, TOutputType) { second << ALine; });
        cmd.SetMaxTimeAfterBeginning(1);
        cmd.SetCommandLine(QStringLiteral("/nonexistent"));
        QVERIFY(WaitEnd(cmd));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(first, (QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}));
        QVERIFY(second.isEmpty());
        QCOMPARE(cmd.Lines(), first);
    }

    void executeClearsLines() {
        TConsoleCommand cmd;
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print one\\n"))));
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("one")});
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("print two\\n"))));
        QCOMPARE(cmd.Lines(), QStringList{QStringLiteral("two")});
    }

    // The compact line store reads back exactly what was appended, whatever the characters
    // (Latin-1 lines and lines with wider ones mixed, empty lines, NULs), and holds ASCII output
    // at about a byte a character plus its index.
    void linesReadBackAsAppended() {
        QRandomGenerator random(20240613);
        const char16_t alphabet[] = {u'a',      u'<',      u' ',      u'\0',     u'\u00E9',
                                     u'\u00FF', u'\u0100', u'\u20AC', u'\xD83D', u'\xDE00'};
        TConsoleLines lines;
        QStringList expected;
        for (int round = 0; round < 3; ++round) {
            for (int i = 0; i < 2000; ++i) {
                QString line;
                const int n = int(random.bounded(12));
                const bool wide = random.bounded(4) == 0; // otherwise only the first six characters
                for (int k = 0; k < n; ++k)
                    line += QChar(alphabet[random.bounded(wide ? 10 : 6)]);
                lines.append(line);
                expected.append(line);
            }
            QCOMPARE(lines.size(), expected.size());
            QVERIFY(lines == expected);
            QCOMPARE(lines.toStringList(), expected);
            for (qsizetype i = 0; i < expected.size(); i += 97) {
                QCOMPARE(lines.at(i), expected.at(i));
                QVERIFY(lines.contains(expected.at(i)));
            }
            QCOMPARE(lines.constLast(), expected.constLast());
            QCOMPARE(lines.value(-1), QString());
            QCOMPARE(lines.value(lines.size()), QString());
            expected.append(QStringLiteral("x"));
            QVERIFY(lines != expected); // one line more
            expected.removeLast();
            expected[1].append(QLatin1Char('x'));
            QVERIFY(!(lines == expected)); // one line differs
            expected[1].chop(1);
        }
        QVERIFY(!lines.contains(QStringLiteral("not a line of them")));
        lines.clear();
        QVERIFY(lines.isEmpty());

        const QString row = QStringLiteral("<tr><td>123456</td></tr>");
        for (int i = 0; i < 100000; ++i)
            lines.append(row);
        QCOMPARE(lines.at(99999), row);
        // 24 characters and 8 bytes of index a line, with room to grow: far below the ~100 bytes
        // a line of a string list.
        QVERIFY2(lines.MemoryUsed() <= 100000 * (24 + 8) * 2,
                 qPrintable(QString::number(lines.MemoryUsed())));
    }
};

QTEST_GUILESS_MAIN(TestConsoleCommand)
#include "tst_consolecommand.moc"
