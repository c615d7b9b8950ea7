// SPDX-License-Identifier: MIT
// Runs kept and compared in the window, with the real interpreter: the Runs tab and the diff of
// two kept runs, the Compare tab's runs on several interpreters, their groups and their diff.
#include "AppSettings.h"
#include "ComparePanel.h"
#include "DiffView.h"
#include "RunsPanel.h"
#include "lexedit/LexEditTextBuffer.h"
#include "window_fixture.h"

#include <QPushButton>
#include <QTableWidget>
#include <QTreeWidget>
#include <QtTest>

using namespace app;
using namespace window_test;

class TestCompare : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    std::unique_ptr<TControlPanelForm> FForm;
    TScriptedDialogs *FDialogs = nullptr;

    QString WriteFile(const QString &AName, const QByteArray &ABytes) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test file");
        file.write(ABytes);
        return path;
    }

    bool WaitForRunEnd() {
        return QTest::qWaitFor([&] { return !FForm->ConsoleCommand->IsRunning(); }, 20000);
    }

    QStringList ViewLines(const TDiffView &AView) {
        QStringList lines;
        for (int i = 0; i < AView.Memo->Lines()->Count(); ++i)
            lines << AView.Memo->Lines()->Get(i);
        return lines;
    }

private slots:
    void initTestCase() { QVERIFY(!Php().isEmpty()); }

    void init() { QVERIFY(ShowNewForm(FForm, FDialogs)); }

    void cleanup() {
        QCOMPARE(FDialogs->Unexpected, 0);
        FForm.reset();
    }

    // Three runs of a script whose data changes between them are kept with their figures; the
    // first against the current one shows the changed and the added line, and F7 goes from
    // change to change, wrapping around.
    void threeRunsAreKeptAndTwoCompared() {
        const QString data = WriteFile(QStringLiteral("data.txt"), "a\nb\nc\n");
        const QString script = WriteFile(QStringLiteral("cat.php"), "<?php readfile('data.txt');\n");
        FForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
        FForm->OpenScript(script);
        QVERIFY(WaitForRunEnd());
        WriteFile(QStringLiteral("data.txt"), "a\nB\nc\n");
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QVERIFY(WaitForRunEnd());
        WriteFile(QStringLiteral("data.txt"), "a\nB\nc\nd\n");
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QVERIFY(WaitForRunEnd());

        TRunsPanel &runs = *FForm->RunsSheet;
        QVERIFY(FForm->PageControl->indexOf(&runs) >= 0);
        QCOMPARE(int(runs.History().Runs().size()), 3);
        QCOMPARE(runs.List->topLevelItemCount(), 3);
        for (const TRunRecord &run : runs.History().Runs()) {
            QVERIFY(run.Outcome.Figures.Valid);
            QVERIFY2(run.Command.endsWith(QStringLiteral("cat.php")), qPrintable(run.Command));
        }
        QCOMPARE(runs.History().Runs().front().Output, QByteArray("a\nb\nc\n"));

        QVERIFY(runs.Select(1)); // while the tab is hidden: shown when the tab is
        FForm->PageControl->setCurrentWidget(&runs);
        QCOMPARE(ViewLines(*runs.View), (QStringList{"a", "b", "c"}));
        QVERIFY(runs.CompareButton->isEnabled());
        QTest::mouseClick(runs.CompareButton, Qt::LeftButton);
        QCOMPARE(ViewLines(*runs.View), (QStringList{"  a", "- b", "+ B", "  c", "+ d"}));
        QCOMPARE(runs.View->ChangeCount(), 2);
        QCOMPARE(runs.View->Memo->CaretXY().Line, 2); // at the first change
        QTest::keyClick(FForm.get(), Qt::Key_F7);
        QCOMPARE(runs.View->Memo->CaretXY().Line, 5);
        QTest::keyClick(FForm.get(), Qt::Key_F7);
        QCOMPARE(runs.View->Memo->CaretXY().Line, 2);
        QTest::keyClick(FForm.get(), Qt::Key_F7, Qt::ShiftModifier);
        QCOMPARE(runs.View->Memo->CaretXY().Line, 5);
        Q_UNUSED(data);
    }

    // "Run on all" runs the script on each interpreter listed: identical outputs share a group,
    // the row of the other group shows its output and its diff against group A; Stop ends every
    // run of a script that never ends.
    void runOnAllGroupsTheOutputsAndStopEndsThemAll() {
        const QString wrapper =
            WriteFile(QStringLiteral("php5"), "#!/bin/sh\nexec php -d precision=5 \"$@\"\n");
        QVERIFY(QFile::setPermissions(wrapper, QFile::permissions(wrapper) | QFile::ExeOwner));
        FForm->Settings().SetInterpreters(
            {Php(), wrapper, QStringLiteral("env -C {dir} php -d precision=14")});
        const QString script =
            WriteFile(QStringLiteral("float.php"), "<?php echo 1/3, \"\\n\", PHP_VERSION, \"\\n\";\n");
        FForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
        FForm->OpenScript(script);
        QVERIFY(WaitForRunEnd());

        TComparePanel &compare = *FForm->CompareSheet;
        QTest::keyClick(FForm.get(), Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QTest::qWaitFor([&] { return !compare.IsRunning(); }, 30000));
        QCOMPARE(FForm->PageControl->currentWidget(), &compare);
        QCOMPARE(compare.Table->rowCount(), 3);
        const auto cell = [&](int ARow, int AColumn) { return compare.Table->item(ARow, AColumn)->text(); };
        const QString version = QString::fromLatin1(compare.Runs().Rows()[0].Output.split('\n').value(1));
        for (int row = 0; row < 3; ++row) {
            QCOMPARE(cell(row, 1), version);
            QCOMPARE(cell(row, 2), QStringLiteral("exit code 0"));
            QVERIFY2(cell(row, 3).endsWith(QStringLiteral(" s")) &&
                         cell(row, 4).endsWith(QStringLiteral(" MB")),
                     qPrintable(cell(row, 3) + cell(row, 4)));
        }
        QCOMPARE(cell(0, 5) + cell(1, 5) + cell(2, 5), QStringLiteral("ABA"));
        compare.Table->selectRow(1);
        QCOMPARE(ViewLines(*compare.View), (QStringList{"0.33333", version}));
        QVERIFY(compare.DiffButton->isEnabled());
        QTest::mouseClick(compare.DiffButton, Qt::LeftButton);
        QCOMPARE(ViewLines(*compare.View), (QStringList{"- 0.33333333333333", "+ 0.33333", "  " + version}));
        QCOMPARE(compare.View->ChangeCount(), 1);

        WriteFile(QStringLiteral("float.php"), "<?php echo \"up\\n\"; while (true) usleep(10000);\n");
        QTest::keyClick(FForm.get(), Qt::Key_F5, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(QTest::qWaitFor([&] { return compare.Runs().Rows()[0].Outcome.Running; }, 10000));
        QTest::qWait(300);
        QTest::keyClick(FForm.get(), Qt::Key_Escape);
        QVERIFY(QTest::qWaitFor([&] { return !compare.IsRunning(); }, 10000));
        for (int row = 0; row < 3; ++row)
            QVERIFY2(cell(row, 2) == QStringLiteral("stopped") || cell(row, 2) == QStringLiteral("not run"),
                     qPrintable(cell(row, 2)));
    }
};

QTEST_MAIN(TestCompare)
#include "tst_compare.moc"
