// SPDX-License-Identifier: MIT
// The window's shortcuts, the tooltips that name them, and --help listing them; the command line
// given several files.

#include "ControlPanelUnit.h"
#include "ResultBrowser.h"
#include "WindowShortcuts.h"
#include "common/Exception.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditTextBuffer.h"
#include "window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QSet>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QToolButton>
#include <QtTest>

#include <memory>

using namespace app;
using window_test::Php;
using window_test::ShowNewForm;
using window_test::StopRun;

namespace {

class TCancellingDialogs : public TFileDialogs {
public:
    QList<int> Opened;
    int Saved = 0;
    QStringList Informations;
    bool ExecuteOpen(int AFilterIndex, QString &) override {
        Opened << AFilterIndex;
        return false;
    }
    bool ExecuteSave(QString &) override {
        ++Saved;
        return false;
    }
    void ShowInformation(const QString &AText) override { Informations << AText; }
};

QKeySequence Keys(const TWindowShortcut &AShortcut) {
    return QKeySequence(QString::fromLatin1(AShortcut.Keys), QKeySequence::PortableText);
}

// checkphp run with AArguments, without a display; returns its standard output.
QByteArray RunWithoutDisplay(const QStringList &AArguments, int &AExitCode) {
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        environment.remove(QString::fromLatin1(name));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(CHECKPHP_BINARY), AArguments);
    if (!process.waitForFinished(30000)) qWarning("checkphp did not finish");
    AExitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return process.readAllStandardOutput();
}

} // namespace

class TestShortcuts : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QList<common::ErrorReport> FErrors;
    std::unique_ptr<TControlPanelForm> FForm;
    TCancellingDialogs *FDialogs = nullptr;

    QString WriteFile(const QString &AName, const QByteArray &ASource) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test file");
        file.write(ASource);
        return path;
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        QVERIFY2(!Php().isEmpty(), "php-cli must be installed");
        common::SetErrorReporter([this](const common::ErrorReport &AReport) { FErrors << AReport; });
    }

    void init() {
        FErrors.clear();
        QVERIFY(ShowNewForm(FForm, FDialogs));
        // Window shortcuts answer in the active window only (no window manager here gives it).
        QApplication::setActiveWindow(FForm.get());
        QTRY_VERIFY(FForm->isActiveWindow());
    }

    void cleanup() {
        QVERIFY(StopRun(*FForm));
        FForm.reset();
    }

    // Each key runs its action from the parameters box, where the focus usually is.
    void eachShortcutRunsItsAction_data() {
        QTest::addColumn<int>("index");
        for (int i = 0; i < int(std::size(kWindowShortcuts)); ++i)
            if (!kWindowShortcuts[i].InputRow) QTest::newRow(kWindowShortcuts[i].Keys) << i;
    }
    void eachShortcutRunsItsAction() {
        QFETCH(int, index);
        const TWindowShortcut &shortcut = kWindowShortcuts[index];
        QAction *action = FForm.get()->*shortcut.Action;
        QVERIFY(action);
        QVERIFY(action->shortcuts().contains(Keys(shortcut))); // an action may have several keys
        QVERIFY(FForm->actions().contains(action));
        if (action == FForm->StopRunAction) { // enabled only during a run
            FForm->ChooseInterpreter(Php());
            FForm->OpenScript(
                WriteFile(QStringLiteral("hang.php"), "<?php echo \"up\\n\"; flush(); sleep(30);"));
            QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("up"), 20000);
        }
        QSignalSpy triggered(action, &QAction::triggered);
        FForm->ParamsEdit->setFocus();
        QTest::keySequence(FForm->ParamsEdit, Keys(shortcut));
        QCOMPARE(triggered.count(), 1);
        // What the handlers did with the dialogs shows that the key went the whole way.
        if (action == FForm->SelectPHPFolderAction) QCOMPARE(FDialogs->Opened, QList<int>{1});
        if (action == FForm->SaveResultsAction) QCOMPARE(FDialogs->Saved, 1);
        // F5 (or a cancelled Script dialog) before any script starts nothing, not php alone.
        if (action == FForm->OpenScriptAction || action == FForm->RunAgainAction) {
            QCOMPARE(FForm->RunStatusLabel->text(), QStringLiteral("Open a script first."));
            QCOMPARE(FForm->ConsoleCommand->EndStatus(), runner::esNone);
        }
        if (action == FForm->StopRunAction)
            QTRY_COMPARE_WITH_TIMEOUT(FForm->ConsoleCommand->EndStatus(), runner::esStop, 10000);
        QVERIFY(FErrors.isEmpty());
    }

    void toolButtonTooltipsNameTheirShortcuts() {
        QSet<QString> buttons;
        for (const TWindowShortcut &shortcut : kWindowShortcuts) {
            if (!shortcut.Button) continue;
            QToolButton *button = FForm.get()->*shortcut.Button;
            QVERIFY(button);
            const QString line = QStringLiteral("%1 (%2)").arg(
                QString::fromUtf8(shortcut.What), Keys(shortcut).toString(QKeySequence::NativeText));
            QVERIFY2(button->toolTip().split(QLatin1Char('\n')).contains(line),
                     qPrintable(button->toolTip()));
            buttons << button->objectName();
        }
        // PHP, Script (Ctrl+O and F5), Execute, Save, Stop, the run configuration.
        QCOMPARE(buttons.size(), 6);
        QCOMPARE(FForm->SpeedButton2->toolTip().count(QLatin1Char('\n')), 1);
    }

    // Inside an editor the editor's keystroke table wins: a key it maps is the editor's command,
    // any other key is still the window's shortcut.
    void editorKeystrokeWinsInsideTheEditor_data() {
        QTest::addColumn<bool>("editorMapsKey");
        QTest::newRow("key not in the editor's table") << false;
        QTest::newRow("key in the editor's table") << true;
    }
    void editorKeystrokeWinsInsideTheEditor() {
        QFETCH(bool, editorMapsKey);
        lexedit::TLexEdit &editor = *FForm->PHPmemo;
        editor.Lines()->Add(QStringLiteral("<?php echo 1;"));
        if (editorMapsKey)
            editor.Keystrokes().AddKey(lexedit::ecSelectAll, 'E', lexedit::TShiftState{lexedit::ssCtrl});
        QSignalSpy executed(FForm->ExecuteScriptAction, &QAction::triggered);
        editor.setFocus();
        QTest::keySequence(&editor, QKeySequence(QStringLiteral("Ctrl+E")));
        QCOMPARE(executed.count(), editorMapsKey ? 0 : 1);
        QCOMPARE(editor.SelAvail(), editorMapsKey);
    }

    // Every key the window answers to is in --help's list, and the list is the table's.
    void helpListsEveryWindowShortcut() {
        int status = -1;
        const QString help = QString::fromUtf8(RunWithoutDisplay({QStringLiteral("--help")}, status));
        QCOMPARE(status, 0);
        QVERIFY2(help.contains(ShortcutHelpText()), qPrintable(help));
        QStringList listed;
        for (const TWindowShortcut &shortcut : kWindowShortcuts)
            listed << QString::fromLatin1(shortcut.Keys);
        for (const QAction *action : FForm->actions()) {
            for (const QKeySequence &sequence : action->shortcuts()) {
                const QString keys = sequence.toString(QKeySequence::PortableText);
                QVERIFY2(listed.contains(keys), qPrintable(keys));
                QVERIFY2(help.contains(QStringLiteral("  ") + keys + QLatin1Char(' ')), qPrintable(keys));
            }
        }
    }

    // Regression: --help-all created the window's application first and so needed a display.
    void helpAllNeedsNoDisplay() {
        int status = -1;
        const QString help = QString::fromUtf8(RunWithoutDisplay({QStringLiteral("--help-all")}, status));
        QCOMPARE(status, 0);
        QVERIFY(help.contains(QStringLiteral("Shortcuts in the window:")));
        QVERIFY(help.contains(QStringLiteral("--qmljsdebugger"))); // Qt's own options too
    }

    // As a file manager starts it (Exec=checkphp %F): the first file runs, standard error says so.
    void severalFilesOnTheCommandLineRunTheFirst() {
        // Each script leaves a mark in the test's folder (the child runs in the interpreter's).
        const QString firstMark = FDir.filePath(QStringLiteral("first.ran"));
        const QString secondMark = FDir.filePath(QStringLiteral("second.ran"));
        const QString first =
            WriteFile(QStringLiteral("first.php"), "<?php touch('" + firstMark.toUtf8() + "');");
        const QString second =
            WriteFile(QStringLiteral("second.php"), "<?php touch('" + secondMark.toUtf8() + "');");
        QProcess process;
        process.start(QStringLiteral(CHECKPHP_BINARY), {QStringLiteral("--php"), Php(), first, second});
        QVERIFY(process.waitForStarted());
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(firstMark), 30000);
        process.terminate(); // SIGTERM closes the window
        QVERIFY(process.waitForFinished(20000));
        QVERIFY(!QFile::exists(secondMark));
        const QString errors = QString::fromLocal8Bit(process.readAllStandardError());
        QVERIFY2(
            errors.contains(QStringLiteral("checkphp: 2 files given; only the first is opened: ") + first),
            qPrintable(errors));
    }
};

int main(int argc, char **argv) {
    TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    TestShortcuts test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_shortcuts.moc"
