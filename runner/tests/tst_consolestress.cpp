// SPDX-License-Identifier: MIT
// The runner under load and at its edges: a million lines, a grandchild holding the pipe, a
// thousand consecutive runs without leaks, destruction in the middle of a run, back-pressure.
#include "RunnerTestUtil.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace runner;
using namespace runnertest;

class TestConsoleStress : public QObject {
    Q_OBJECT
private slots:
    void millionLinesInOrder() {
        TConsoleCommand cmd;
        qsizetype partialsOrLines = 0;
        cmd.SetOnNewLine([&](QObject *, const QString &, TOutputType) { ++partialsOrLines; });
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("lines 1000000 lf noeol")), 60000));
        QCOMPARE(cmd.EndStatus(), esProcess);
        const TConsoleLines &lines = cmd.Lines();
        QCOMPARE(lines.size(), 1000000);
        for (qsizetype i = 0; i < lines.size(); ++i) {
            if (lines[i] != QLatin1String("line") + QString::number(i + 1))
                QFAIL(qPrintable(QStringLiteral("line %1 is %2").arg(i + 1).arg(lines[i])));
        }
        QVERIFY(partialsOrLines >= 1000000);
    }

    // A slow handler: output waits in the child's pipe instead of piling up here.
    void slowHandlerBoundsUndeliveredOutput() {
        TConsoleCommand cmd;
        qsizetype n = 0;
        cmd.SetOnNewLine([&](QObject *, const QString &, TOutputType AType) {
            if (AType != otEntireLine) return;
            ++n;
            QElapsedTimer t;
            t.start();
            while (t.nsecsElapsed() < 5000) {
            }
        });
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("lines 300000 lf")), 60000));
        QCOMPARE(n, 300000);
        QVERIFY2(cmd.PeakUndelivered() <= 9u * 1024u * 1024u,
                 qPrintable(QString::number(cmd.PeakUndelivered())));
    }

    // Regression: partial-line reports and lines that cross a read or hold a NUL were added to
    // the count of undelivered output when posted but not subtracted when delivered, so the
    // count only grew; past the bound the worker stopped reading for good and the run hung.
    void outputInPiecesNeverStallsTheRun_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<int>("lines");
        QTest::newRow("a 10 MB line") << "bigline 10485760" << 1;
        QTest::newRow("a NUL in every line") << "nullines 200000" << 200000;
        QTest::newRow("lines in two pieces, 5 us apart") << "pieces 80000 5" << 80000;
        QTest::newRow("400,000 lines in two pieces") << "pieces 400000 0" << 400000;
    }
    void outputInPiecesNeverStallsTheRun() {
        QFETCH(QString, steps);
        QFETCH(int, lines);
        TConsoleCommand cmd;
        qsizetype partials = 0;
        cmd.SetOnNewLine([&](QObject *, const QString &, TOutputType AType) {
            if (AType == otBeginningOfLine) ++partials;
        });
        QVERIFY(RunToEnd(cmd, Child(steps), 120000));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(cmd.Lines().size(), lines);
        QCOMPARE(cmd.Undelivered(), size_t(0));
        const QString &last = cmd.Lines().constLast();
        if (lines == 1)
            QCOMPARE(last.size(), 10485760);
        else
            QVERIFY2(last.endsWith(QString::number(lines - 1) + (steps.startsWith(QLatin1String("pieces"))
                                                                     ? QStringLiteral("</td></tr>")
                                                                     : QString())),
                     qPrintable(last));
        qInfo("%s: %lld partial reports", qPrintable(steps), static_cast<long long>(partials));
    }

    void grandchildHoldingThePipe() {
        TConsoleCommand cmd;
        QElapsedTimer t;
        t.start();
        QVERIFY(RunToEnd(cmd, Child(QStringLiteral("grandchild 30000 print done\\n exit 4")), 10000));
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QCOMPARE(cmd.EndStatus(), esProcess);
        QCOMPARE(cmd.ExitCode(), 4u);
        QCOMPARE(cmd.Lines(), (QStringList{QStringLiteral("grandchild started"), QStringLiteral("done")}));
        const qint64 pgid = cmd.ProcessInformation().dwProcessId;
        QVERIFY(QTest::qWaitFor([&] { return GroupMembers(pgid).isEmpty(); }, 2000));
    }

    void stopKillsTheWholeGroup() {
        TConsoleCommand cmd;
        cmd.SetCommandLine(Child(QStringLiteral("grandchild 30000 hang")));
        cmd.Execute();
        QVERIFY(QTest::qWaitFor([&] { return cmd.Lines().size() == 1; }, 5000));
        const qint64 pgid = cmd.ProcessInformation().dwProcessId;
        QVERIFY(GroupMembers(pgid).size() >= 2);
        cmd.Stop();
        QVERIFY(WaitEnd(cmd, 3000));
        QCOMPARE(cmd.EndStatus(), esStop);
        QVERIFY(QTest::qWaitFor([&] { return GroupMembers(pgid).isEmpty(); }, 2000));
    }

    void thousandRunsLeaveNothingBehind() {
        TConsoleCommand cmd;
        QVERIFY(RunToEnd(cmd, Child())); // the clock (with its event) lives as long as the runner
        const int fdsBefore = OpenFdCount();
        const int childrenBefore = ChildCount();
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < 1000; ++i) {
            cmd.SetCommandLine(Child(i % 2 ? QStringLiteral("print x") : QString()));
            cmd.Execute();
            QVERIFY(WaitEnd(cmd));
            QCOMPARE(cmd.EndStatus(), esProcess);
        }
        qInfo("1000 runs: %lld ms", static_cast<long long>(t.elapsed()));
        // Failing runs too.
        common::ErrorReporter previous = common::SetErrorReporter([](const common::ErrorReport &) {});
        QtMessageHandler previousHandler =
            qInstallMessageHandler([](QtMsgType, const QMessageLogContext &, const QString &) {});
        for (int i = 0; i < 50; ++i) {
            cmd.SetCommandLine(QStringLiteral("/nonexistent/%1").arg(i));
            cmd.Execute();
            QVERIFY(WaitEnd(cmd));
            QCOMPARE(cmd.EndStatus(), esError);
            cmd.SetCurrentDir(QStringLiteral("/nonexistent"));
            cmd.SetCommandLine(Child());
            cmd.Execute();
            QVERIFY(WaitEnd(cmd));
            QCOMPARE(cmd.EndStatus(), esError);
            cmd.SetCurrentDir(QString());
        }
        qInstallMessageHandler(previousHandler);
        common::SetErrorReporter(previous);
        QCOMPARE(OpenFdCount(), fdsBefore);
        QCOMPARE(ChildCount(), childrenBefore);
    }

    void destroyMidRun_data() {
        QTest::addColumn<QString>("steps");
        QTest::addColumn<bool>("veto");
        QTest::addColumn<int>("waitMs");
        QTest::newRow("flood, destroyed at once") << "flood" << false << 0;
        QTest::newRow("flood, destroyed while delivering") << "flood" << false << 50;
        QTest::newRow("lines, destroyed while delivering") << "lines 1000000 lf" << false << 30;
        QTest::newRow("hang with a veto handler") << "grandchild 30000 hang" << true << 100;
    }
    void destroyMidRun() {
        QFETCH(QString, steps);
        QFETCH(bool, veto);
        QFETCH(int, waitMs);
        const int fdsBefore = OpenFdCount();
        const int childrenBefore = ChildCount();
        auto cmd = std::make_unique<TConsoleCommand>();
        QStringList output;
        cmd->SetOutputLines(&output);
        cmd->SetOnNewLine([&](QObject *, const QString &, TOutputType) {});
        if (veto) {
            cmd->SetOnTerminateProcess([](QObject *, bool &ACanTerminate) { ACanTerminate = false; });
        }
        cmd->SetCommandLine(Child(steps));
        cmd->Execute();
        if (waitMs > 0) QTest::qWait(waitMs);
        qint64 pgid = cmd->ProcessInformation().dwProcessId;
        if (veto) {
            QVERIFY(QTest::qWaitFor([&] { return !output.isEmpty(); }, 5000));
            pgid = cmd->ProcessInformation().dwProcessId;
            cmd->Stop(); // the worker now waits for the veto handler's answer
        }
        QElapsedTimer t;
        t.start();
        cmd.reset();
        QVERIFY2(t.elapsed() < 2000, qPrintable(QString::number(t.elapsed())));
        QTest::qWait(20); // posted calls of the destroyed runner must be dropped
        if (pgid > 0) QVERIFY(QTest::qWaitFor([&] { return GroupMembers(pgid).isEmpty(); }, 2000));
        QCOMPARE(OpenFdCount(), fdsBefore);
        QCOMPARE(ChildCount(), childrenBefore);
    }

    void destroyFromInsideAHandler() {
        auto *cmd = new TConsoleCommand;
        int lines = 0;
        cmd->SetOnNewLine([&](QObject *, const QString &, TOutputType AType) {
            if (AType == otEntireLine && ++lines == 10) delete cmd;
        });
        cmd->SetCommandLine(Child(QStringLiteral("lines 100000 lf")));
        cmd->Execute();
        QVERIFY(QTest::qWaitFor([&] { return lines >= 10; }, 5000));
        QTest::qWait(50);
        QCOMPARE(lines, 10);
    }

    // Regression: OnExecuteError starts the next run and then destroys the component. The end of
    // the first run must stop there (no OnTerminated on the destroyed component), although the
    // component's current run is the second one by then.
    void destroyInsideTheErrorHandlerAfterANewRun() {
        auto *cmd = new TConsoleCommand;
        int errors = 0;
        int terminated = 0;
        cmd->SetOnTerminated([&](QObject *) { ++terminated; });
        cmd->SetOnExecuteError([&](QObject *, const common::Exception &, bool &AHandled) {
            AHandled = true;
            ++errors;
            cmd->SetCommandLine(Child(QStringLiteral("hang")));
            cmd->Execute();
            delete cmd;
        });
        cmd->SetCommandLine(QStringLiteral("/nonexistent/program"));
        cmd->Execute();
        QVERIFY(QTest::qWaitFor([&] { return errors == 1; }, 5000));
        QTest::qWait(50);
        QCOMPARE(errors, 1);
        QCOMPARE(terminated, 0);
    }
};

QTEST_GUILESS_MAIN(TestConsoleStress)
#include "tst_consolestress.moc"
