// SPDX-License-Identifier: MIT
// The PHP developer's loop in the window, with the real interpreter: the output comes to the
// front, a prompt shows before any input, input reaches the script, errors jump to the script's
// lines.

#include "ControlPanelUnit.h"
#include "FileView.h"
#include "FindBar.h"
#include "LineMarks.h"
#include "ResultBrowser.h"
#include "WindowMemory.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditCodeFolding.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"
#include "window_fixture.h"

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QProcess>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEnginePage>
#include <QtTest>

#include <cstdio>
#include <deque>

using namespace app;
using namespace window_test;

namespace {

// The gutter and the text of buffer line ALine, in viewport pixels.
QRect GutterOf(const lexedit::TLexEdit &AEdit, int ALine) {
    return QRect(0, (AEdit.LineToRow(ALine) - AEdit.TopLine()) * AEdit.LineHeight(), AEdit.GutterWidth(),
                 AEdit.LineHeight());
}
QRect TextOf(const lexedit::TLexEdit &AEdit, int ALine) {
    return QRect(AEdit.GutterWidth() + 2, (AEdit.LineToRow(ALine) - AEdit.TopLine()) * AEdit.LineHeight(),
                 AEdit.viewport()->width() - AEdit.GutterWidth() - 2, AEdit.LineHeight());
}

} // namespace

class TestPhpLoop : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QList<common::ErrorReport> FErrors;
    std::unique_ptr<TControlPanelForm> FForm;
    TScriptedDialogs *FDialogs = nullptr;

    QString WriteScript(const QString &AName, const QByteArray &ASource) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test script");
        file.write(ASource);
        return path;
    }

    QString StartScript(const QString &AName, const QByteArray &ASource) {
        FForm->activateWindow(); // the window's shortcuts need it active
        if (!QTest::qWaitForWindowActive(FForm.get())) qWarning("window not active");
        const QString path = WriteScript(AName, ASource);
        FDialogs->OpenAnswers = {Php(), path};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        return path;
    }

    bool WaitForRunEnd() {
        return QTest::qWaitFor([&] { return !FForm->ConsoleCommand->IsRunning(); }, 20000);
    }

    lexedit::TLexEditStringList &ResultLines() { return *FForm->WebMemo->Lines(); }

    static QByteArray ReadFile(const QString &APath) {
        QFile file(APath);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
    }

    // Opens the script (which runs at once) and waits for the end of the run.
    QString OpenAndRun(const QString &AName, const QByteArray &ABytes) {
        const QString path = StartScript(AName, ABytes);
        if (!WaitForRunEnd()) qWarning("run did not end");
        FForm->PageControl->setCurrentWidget(FForm->CodeSheet);
        FForm->PHPmemo->setFocus();
        return path;
    }

    void TypeInScript(int ALine, int AChar, const QString &AText) {
        FForm->PHPmemo->SetCaretXY(lexedit::BufferCoord(AChar, ALine));
        for (const QChar c : AText) {
            // As a keyboard delivers a character without a key of its own.
            QKeyEvent press(QEvent::KeyPress, c.unicode() < 0x80 ? c.toUpper().unicode() : 0, Qt::NoModifier,
                            QString(c));
            QApplication::sendEvent(FForm->PHPmemo, &press);
        }
    }

    void PressCtrlS() { QTest::keyClick(FForm->PHPmemo, Qt::Key_S, Qt::ControlModifier); }

    QString ScriptCaption() {
        return FForm->PageControl->tabText(FForm->PageControl->indexOf(FForm->CodeSheet));
    }

    // The first line of the result view that starts with APrefix (1-based), 0 when none.
    int ResultLineStartingWith(const QString &APrefix) {
        for (int i = 0; i < ResultLines().Count(); ++i)
            if (ResultLines().Get(i).startsWith(APrefix)) return i + 1;
        return 0;
    }

    void DoubleClickResultLine(int ALine) {
        lexedit::TLexEdit &view = *FForm->WebMemo;
        view.SetTopLine(std::max(1, ALine - 1));
        const QPoint cell = view.RowColumnToPixels(lexedit::TDisplayCoord{3, view.LineToRow(ALine)});
        QTest::mouseDClick(view.viewport(), Qt::LeftButton, Qt::NoModifier,
                           cell + QPoint(2, view.LineHeight() / 2));
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
    }

    void cleanup() {
        QCOMPARE(FDialogs->Unexpected, 0);
        QCOMPARE(FDialogs->Informations, QStringList());
        FForm.reset();
    }

    // Output that never ended took all memory. A run stops at the output limit and says why;
    // what arrived stays.
    void runStopsAtTheOutputLimit() {
        FForm->SetMaxOutput(64 << 10);
        StartScript(QStringLiteral("forever.php"),
                    "<?php $i = 0; while (true) echo ++$i, ' ', str_repeat('x', 90), \"\\n\";\n");
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->ConsoleCommand->EndStatus(), runner::esStop);
        QVERIFY2(FForm->RunStatusLabel->text().startsWith(QStringLiteral("stopped: the output passed 64 KB")),
                 qPrintable(FForm->RunStatusLabel->text()));
        const int lines = ResultLines().Count();
        QVERIFY2(lines > 600 && lines < 720, qPrintable(QString::number(lines)));
        QVERIFY2(ResultLines().Get(0).startsWith(QStringLiteral("1 x")), qPrintable(ResultLines().Get(0)));
        QVERIFY(FForm->ConsoleCommand->Lines().isEmpty()); // the view alone holds the output
    }

    // The input row sent Latin-1 with CR LF: "€" became "?" and rtrim($l, "\n") left a "\r".
    void inputReachesTheScriptAsUtf8EndingInLf() {
        StartScript(QStringLiteral("hex.php"), "<?php echo bin2hex(fgets(STDIN)), \"\\n\";\n");
        FForm->InputEdit->setText(QString::fromUtf8("\xC3\xA4\xC3\xA9\xE2\x82\xAC"));
        FForm->SendInputActionExecute();
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->ResultText(), QStringLiteral("c3a4c3a9e282ac0a"));
    }

    // Numbers of seven and more digits were cut and overwrote the mark column: the gutter widens.
    void lineNumbersOfEightDigitsFitBesideTheMarks() {
        lexedit::TLexEdit &view = *FForm->WebMemo;
        view.Lines()->Add(QStringLiteral("Fatal error: x in /a.php on line 1"));
        const int narrow = view.GutterWidth();
        view.Gutter().SetLineNumberStart(12000000);
        const int cell = QFontMetrics(view.Gutter().Font()).horizontalAdvance(QLatin1Char('0'));
        QVERIFY(view.GutterWidth() > narrow);
        const int numberLeft =
            view.GutterWidth() - view.Gutter().RightOffset() - view.Gutter().RightMargin() - 8 * cell;
        QVERIFY2(numberLeft >= view.Gutter().LeftOffset(), qPrintable(QString::number(numberLeft)));
    }

    // Before the first Execute the browser pane shows a short neutral text, not a blank page.
    void browserShowsAPlaceholderUntilExecute() {
        QString text;
        QVERIFY(QTest::qWaitFor(
            [&] {
                bool done = false;
                FForm->WB->page()->toPlainText([&](const QString &AText) {
                    text = AText;
                    done = true;
                });
                if (!QTest::qWaitFor([&] { return done; }, 5000)) return false;
                return text.contains(TResultBrowser::PlaceholderText());
            },
            30000));
    }

    // "PHP Code" is in front at start; the first output line of a run brings "HTML Result" to
    // the front while the script still runs.
    void outputTabComesToTheFrontAtTheFirstLine() {
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->CodeSheet);
        StartScript(QStringLiteral("slow.php"),
                    "<?php\necho \"first\\n\";\nusleep(700000);\necho \"second\\n\";\n");
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->CodeSheet); // nothing printed yet
        QTRY_COMPARE_WITH_TIMEOUT(ResultLines().Count(), 1, 10000);
        QVERIFY(FForm->ConsoleCommand->IsRunning());
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->TabSheet2);
        // The user goes back to the script: the rest of the run leaves it there.
        FForm->PageControl->setCurrentWidget(FForm->CodeSheet);
        QVERIFY(WaitForRunEnd());
        QCOMPARE(ResultLines().Count(), 2);
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->CodeSheet);
        QVERIFY(FErrors.isEmpty());
    }

    // A script asking a question: the prompt (no line end) is visible and marked pending before
    // any input; a line sent with Enter in the input row reaches the script, is echoed apart, and
    // the prompt becomes the entire line the script completed. Save and Execute see the entire
    // lines only.
    void promptShowsAndInputReachesTheScript() {
        QVERIFY(!FForm->InputEdit->isEnabled());
        FForm->ParamsEdit->setFocus();
        StartScript(QStringLiteral("ask.php"), "<?php\necho \"Name? \";\n$name = trim(fgets(STDIN));\necho "
                                               "\"Hello $name\\n\";\necho \"bye\\n\";\n");
        QTRY_COMPARE_WITH_TIMEOUT(ResultLines().Count(), 1, 10000);
        QCOMPARE(ResultLines().Get(0), QStringLiteral("Name? "));
        QCOMPARE(FForm->ResultMarks().Kind(1), lmPending);
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->TabSheet2);
        QCOMPARE(FForm->ResultText(), QString()); // the pending line is not part of the result
        QVERIFY(FForm->ConsoleCommand->IsRunning());
        QVERIFY(FForm->InputEdit->isEnabled());
        // Nothing more comes: the input row takes the focus for the answer.
        QTRY_VERIFY(FForm->InputEdit->hasFocus());

        FForm->InputEdit->setText(QStringLiteral("Bob"));
        QTest::keyClick(FForm->InputEdit, Qt::Key_Return);
        QCOMPARE(FForm->InputEdit->text(), QString());
        QVERIFY(WaitForRunEnd());
        QCOMPARE(ResultLines().Count(), 3);
        QCOMPARE(ResultLines().Get(0), QStringLiteral("Name? Hello Bob"));
        QCOMPARE(FForm->ResultMarks().Kind(1), lmNone);
        QCOMPARE(ResultLines().Get(1), QStringLiteral("Bob"));
        QCOMPARE(FForm->ResultMarks().Kind(2), lmInput);
        QCOMPARE(ResultLines().Get(2), QStringLiteral("bye"));
        QCOMPARE(FForm->ResultText(), QStringLiteral("Name? Hello Bob\r\nbye"));
        QCOMPARE(FForm->ConsoleCommand->ExitCode(), 0u);
        // The echo is painted in its own colour with an arrow in the gutter; output is not.
        QTRY_COMPARE(FForm->WebMemo->PaintLock(), 0);
        const QImage view = PaintEditor(*FForm->WebMemo);
        const QColor blue = TLineMarks::ColorOf(lmInput);
        QVERIFY(NearestTo(view, TextOf(*FForm->WebMemo, 2), blue) <= 40);
        QVERIFY(NearestTo(view, GutterOf(*FForm->WebMemo, 2), blue) <= 40);
        QVERIFY(NearestTo(view, TextOf(*FForm->WebMemo, 3), blue) > 40);
        QVERIFY(NearestTo(view, GutterOf(*FForm->WebMemo, 3), blue) > 40);
        QVERIFY(!FForm->InputEdit->isEnabled());

        const QString out = FDir.filePath(QStringLiteral("ask.html"));
        FDialogs->SaveAnswers = {out};
        FForm->SaveResultsAction->trigger();
        QFile saved(out);
        QVERIFY(saved.open(QIODevice::ReadOnly));
        QCOMPARE(saved.readAll(), QByteArray("Name? Hello Bob\r\nbye"));
        QVERIFY(FErrors.isEmpty());
    }

    // A line without an end grows in place while it is pending and ends, with the run, as an
    // entire line.
    void pendingLineGrowsAndEndsWithTheRun() {
        StartScript(QStringLiteral("dots.php"),
                    "<?php\necho \"done\\nLoading\";\nfor ($i = 0; $i < 3; $i++) { usleep(250000); "
                    "echo \".\"; }\nusleep(250000);\necho \"end\";\n");
        QTRY_COMPARE_WITH_TIMEOUT(ResultLines().Count(), 2, 10000);
        // Seen while it grows (the pieces come a quarter second apart).
        QTRY_VERIFY_WITH_TIMEOUT(ResultLines().Get(1).startsWith(QStringLiteral("Loading.")) &&
                                     FForm->ConsoleCommand->IsRunning(),
                                 10000);
        QCOMPARE(FForm->ResultMarks().Kind(2), lmPending);
        QCOMPARE(ResultLines().Count(), 2); // replaced in place, never a line per piece
        QCOMPARE(FForm->ResultText(), QStringLiteral("done"));
        QVERIFY(WaitForRunEnd());
        QCOMPARE(ResultLines().Count(), 2);
        QCOMPARE(ResultLines().Get(1), QStringLiteral("Loading...end"));
        QCOMPARE(FForm->ResultMarks().Kind(2), lmNone);
        QCOMPARE(FForm->ResultText(), QStringLiteral("done\r\nLoading...end"));
    }

    // "Close input" (Ctrl+D in the input row) ends a script that reads to the end of its input,
    // after the lines sent before it.
    void closeInputEndsAScriptReadingToTheEnd() {
        StartScript(QStringLiteral("cat.php"),
                    "<?php\nwhile (($l = fgets(STDIN)) !== false) echo \"got \", rtrim($l), "
                    "\"\\n\";\necho \"end\\n\";\n");
        QTRY_VERIFY_WITH_TIMEOUT(FForm->InputEdit->isEnabled(), 5000);
        FForm->InputEdit->setFocus();
        FForm->InputEdit->setText(QStringLiteral("one"));
        QTest::keyClick(FForm->InputEdit, Qt::Key_Return);
        FForm->InputEdit->setText(QStringLiteral("two"));
        QTest::keyClick(FForm->InputEdit, Qt::Key_Enter);
        QTest::keyClick(FForm->InputEdit, Qt::Key_D, Qt::ControlModifier);
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->ConsoleCommand->EndStatus(), runner::esProcess);
        QCOMPARE(FForm->ResultText(), QStringLiteral("got one\r\ngot two\r\nend"));
        QCOMPARE(FForm->ResultMarks().CountOf(lmInput), 2);
        QVERIFY(FErrors.isEmpty());
    }

    // The same with the button, and the button is a part of the input row.
    void closeInputButton() {
        QCOMPARE(FForm->CloseInputButton->text(), QStringLiteral("Close input"));
        StartScript(QStringLiteral("count.php"), "<?php\necho count(file('php://stdin')), \" lines\\n\";\n");
        QTRY_VERIFY_WITH_TIMEOUT(FForm->CloseInputButton->isEnabled(), 5000);
        FForm->InputEdit->setText(QStringLiteral("a"));
        QTest::keyClick(FForm->InputEdit, Qt::Key_Return);
        QTest::mouseClick(FForm->CloseInputButton, Qt::LeftButton);
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->ResultText(), QStringLiteral("1 lines"));
    }

    // A warning, a deprecation and an uncaught exception with its stack trace, printed by PHP
    // twice (the script turns display on beside Debian's log): every copy is marked by severity,
    // each message is counted once, and a double click or Enter on a line puts the caret on the
    // script's line, which is marked until the next run.
    void errorsAreMarkedCountedAndJumpToTheScript() {
        const QString script =
            StartScript(QStringLiteral("errors.php"),
                        "<?php\nini_set('display_errors', '1');\necho \"start\\n\";\necho $x;\n"
                        "trigger_error(\"old\", E_USER_DEPRECATED);\n"
                        "function fail() { throw new RuntimeException(\"boom\"); }\n"
                        "eval('echo $y;');\nfail();\n");
        QVERIFY(WaitForRunEnd());
        const int logged = ResultLineStartingWith(QStringLiteral("PHP Warning:  Undefined variable $x"));
        const int shown = ResultLineStartingWith(QStringLiteral("Warning: Undefined variable $x"));
        const int evalLine = ResultLineStartingWith(QStringLiteral("PHP Warning:  Undefined variable $y"));
        const int deprecated = ResultLineStartingWith(QStringLiteral("PHP Deprecated:  old"));
        const int uncaught =
            ResultLineStartingWith(QStringLiteral("PHP Fatal error:  Uncaught RuntimeException"));
        const int frame = ResultLineStartingWith(QStringLiteral("#0 "));
        const int thrown = ResultLineStartingWith(QStringLiteral("  thrown in"));
        QVERIFY(logged > 0 && shown > 0 && evalLine > 0 && deprecated > 0 && uncaught > 0 && frame > 0 &&
                thrown > 0);
        const TLineMarks &marks = FForm->ResultMarks();
        QCOMPARE(marks.Kind(1), lmNone); // "start"
        QCOMPARE(marks.Kind(logged), lmWarning);
        QCOMPARE(marks.Kind(shown), lmWarning);
        QCOMPARE(marks.Kind(deprecated), lmWarning);
        QCOMPARE(marks.Kind(uncaught), lmError);
        QCOMPARE(marks.Kind(frame), lmNote);
        QCOMPARE(marks.Kind(thrown), lmNote);
        QCOMPARE(FForm->ErrorCount(), 1);
        QCOMPARE(FForm->WarningCount(), 3);
        QVERIFY2(FForm->RunStatusLabel->text().endsWith(QStringLiteral("1 error, 3 warnings")),
                 qPrintable(FForm->RunStatusLabel->text()));
        // The gutter shows each mark in its severity's colour.
        lexedit::TLexEdit &view = *FForm->WebMemo;
        const auto gutterNear = [&](int ALine, TLineMarkKind AKind) {
            view.SetTopLine(ALine);
            return NearestTo(PaintEditor(view), GutterOf(view, ALine), TLineMarks::ColorOf(AKind));
        };
        QTRY_COMPARE(view.PaintLock(), 0);
        QVERIFY(gutterNear(uncaught, lmError) <= 40);
        QVERIFY(gutterNear(uncaught, lmWarning) > 40);
        QVERIFY(gutterNear(logged, lmWarning) <= 40);
        QVERIFY(gutterNear(logged, lmError) > 40);
        QVERIFY(gutterNear(1, lmError) > 40);
        QVERIFY(gutterNear(1, lmWarning) > 40);

        // Double click on the warning: line 4 of the script.
        DoubleClickResultLine(logged);
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->CodeSheet);
        QCOMPARE(FForm->PHPmemo->CaretY(), 4);
        QCOMPARE(FForm->ScriptMarks().Kind(4), lmJumpTarget);
        // Enter on the uncaught exception: line 6, where it was thrown; on its frame: line 8,
        // the call; on the warning of eval'd code: line 7, where eval ran.
        const auto enterOn = [&](int AResultLine) {
            FForm->PageControl->setCurrentWidget(FForm->TabSheet2);
            FForm->WebMemo->setFocus();
            FForm->WebMemo->SetCaretXY(lexedit::BufferCoord(1, AResultLine));
            QTest::keyClick(FForm->WebMemo, Qt::Key_Return);
            return FForm->PageControl->currentWidget() == FForm->CodeSheet ? FForm->PHPmemo->CaretY() : 0;
        };
        QCOMPARE(enterOn(uncaught), 6);
        QCOMPARE(FForm->ScriptMarks().Kind(6), lmJumpTarget);
        QCOMPARE(FForm->ScriptMarks().Kind(4), lmNone); // one target at a time
        QCOMPARE(enterOn(frame), 8);
        QCOMPARE(enterOn(evalLine), 7);
        QCOMPARE(enterOn(deprecated), 5);
        // Enter on a line that is no message changes nothing: the view is read-only.
        const int count = ResultLines().Count();
        QCOMPARE(enterOn(1), 0);
        QCOMPARE(ResultLines().Count(), count);
        QCOMPARE(FForm->ResultText().count(QStringLiteral("PHP Warning:  Undefined variable $x")), 1);

        // The next run clears the script's mark.
        QVERIFY(FForm->ScriptMarks().Count() > 0);
        FForm->RunAgainAction->trigger();
        QCOMPARE(FForm->ScriptMarks().Count(), 0);
        QVERIFY(WaitForRunEnd());
        QVERIFY(FErrors.isEmpty());
        Q_UNUSED(script);
    }

    // A parse error names the line PHP could not read.
    void parseErrorJumpsToItsLine() {
        StartScript(QStringLiteral("parse.php"), "<?php\necho 1;\n$a = ;\necho 2;\n");
        QVERIFY(WaitForRunEnd());
        const int line = ResultLineStartingWith(QStringLiteral("PHP Parse error:"));
        QVERIFY(line > 0);
        QCOMPARE(FForm->ResultMarks().Kind(line), lmError);
        QCOMPARE(FForm->ErrorCount(), 1);
        QVERIFY(FForm->RunStatusLabel->text().endsWith(QStringLiteral("1 error")));
        DoubleClickResultLine(line);
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->CodeSheet);
        QCOMPARE(FForm->PHPmemo->CaretY(), 3);
    }

    // A chained exception's "Next" is an error of its own: marked, counted once although PHP
    // writes the trace twice (display and log), and a double click goes to where it was thrown.
    void chainedExceptionIsMarkedAndCounted() {
        StartScript(QStringLiteral("chained.php"),
                    "<?php\nini_set('display_errors', '1');\nclass Foo { function bar() {\n"
                    "  try { throw new LogicException('low'); }\n"
                    "  catch (Exception $e) { throw new RuntimeException('high level', 0, $e); } } }\n"
                    "(new Foo)->bar();\n");
        QVERIFY(WaitForRunEnd());
        const int next = ResultLineStartingWith(QStringLiteral("Next RuntimeException: high level"));
        QVERIFY(next > 0);
        QCOMPARE(FForm->ResultMarks().Kind(next), lmError);
        QCOMPARE(FForm->ErrorCount(), 2);
        QVERIFY2(FForm->RunStatusLabel->text().endsWith(QStringLiteral("2 errors")),
                 qPrintable(FForm->RunStatusLabel->text()));
        DoubleClickResultLine(next);
        QCOMPARE(FForm->PHPmemo->CaretY(), 5);
    }

    // A warning in an included file shows that file, read-only with the script's highlighter, at
    // the warning's line in a tab of its own; the run command stays the script's. Ctrl+Tab,
    // Ctrl+PgDn (next) and Ctrl+Shift+Tab, Ctrl+PgUp (previous) go round the tabs from inside the
    // editors. A file gone since gives a sentence; a line past the script's end does nothing.
    void messageInAnotherFileShowsThatFile() {
        QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("lib")));
        const QString helper =
            WriteScript(QStringLiteral("lib/helper.php"), "<?php\n// A helper\nfunction helper() {\n"
                                                          "    return $missing . \"done\";\n}\n");
        const QString script =
            StartScript(QStringLiteral("main.php"),
                        "<?php\nini_set('display_errors', '1');\nini_set('log_errors', '0');\n"
                        "require __DIR__ . '/lib/helper.php';\necho helper(), \"\\n\";\n");
        QVERIFY(WaitForRunEnd());
        const QString command = FForm->Commands();
        const int warning = ResultLineStartingWith(QStringLiteral("Warning: Undefined variable $missing"));
        QVERIFY2(warning > 0, qPrintable(FForm->WebMemo->Text()));
        DoubleClickResultLine(warning);
        QVERIFY(FForm->FileSheet);
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->FileSheet);
        const int tab = FForm->PageControl->indexOf(FForm->FileSheet);
        QCOMPARE(FForm->PageControl->tabText(tab), QStringLiteral("helper.php"));
        QCOMPARE(FForm->PageControl->tabToolTip(tab), helper);
        lexedit::TLexEdit &file = *FForm->FileSheet->Memo;
        QCOMPARE(file.CaretY(), 4);
        QCOMPARE(file.Lines()->Get(3), QStringLiteral("    return $missing . \"done\";"));
        QCOMPARE(FForm->FileSheet->Marks().Kind(4), lmJumpTarget);
        QCOMPARE(file.Highlighter(), FForm->PHPCode);
        QVERIFY(file.hasFocus());
        QTest::keyClicks(&file, QStringLiteral("x"));
        QCOMPARE(file.Lines()->Get(3), QStringLiteral("    return $missing . \"done\";"));
        QCOMPARE(FForm->PhpScript(), script);
        QCOMPARE(FForm->Commands(), command);

        // Round the three tabs by keys, each from inside the editor that has the focus.
        const auto key = [&](Qt::Key AKey, Qt::KeyboardModifiers AModifiers) {
            QTest::keyClick(QApplication::focusWidget(), AKey, AModifiers);
            return FForm->PageControl->currentWidget();
        };
        QCOMPARE(key(Qt::Key_Tab, Qt::ControlModifier), FForm->CodeSheet);
        QVERIFY(FForm->PHPmemo->hasFocus());
        QCOMPARE(key(Qt::Key_PageDown, Qt::ControlModifier), FForm->TabSheet2);
        QVERIFY(FForm->WebMemo->hasFocus());
        QCOMPARE(key(Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier), FForm->CodeSheet);
        QCOMPARE(key(Qt::Key_PageUp, Qt::ControlModifier), FForm->FileSheet);
        QCOMPARE(key(Qt::Key_PageDown, Qt::ControlModifier), FForm->CodeSheet);

        // Gone since the run: a sentence, and the view stays.
        QVERIFY(QFile::remove(helper));
        FForm->PageControl->setCurrentWidget(FForm->TabSheet2);
        FForm->WebMemo->setFocus();
        FForm->WebMemo->SetCaretXY(lexedit::BufferCoord(1, warning));
        QTest::keyClick(FForm->WebMemo, Qt::Key_Return);
        QCOMPARE(FForm->RunStatusLabel->text(), QStringLiteral("The file %1 no longer exists.").arg(helper));
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->TabSheet2);

        // A line the script does not have, and lines that are not there.
        FForm->ConsoleCommandNewLine(FForm->ConsoleCommand,
                                     QStringLiteral("PHP Warning:  c in %1 on line 99").arg(script),
                                     runner::otEntireLine);
        QTRY_COMPARE(FForm->WebMemo->PaintLock(), 0);
        QVERIFY(!FForm->JumpToMessage(ResultLines().Count()));
        QVERIFY(!FForm->JumpToMessage(0));
        QVERIFY(!FForm->JumpToMessage(ResultLines().Count() + 1));
        QVERIFY(FErrors.isEmpty());
    }

    // F8 and Shift+F8 go from message to message of the output, wrapping around, from any tab:
    // the result tab comes to the front with the caret on the message.
    void f8GoesFromMessageToMessage() {
        OpenAndRun(QStringLiteral("three.php"),
                   "<?php\nerror_reporting(E_ALL);\nini_set('display_errors', '1');\n"
                   "ini_set('log_errors', '0');\necho \"start\\n\";\necho $a;\necho \"middle\\n\";\n"
                   "trigger_error('careful', E_USER_NOTICE);\ntrigger_error('stop', E_USER_WARNING);\n"
                   "echo \"end\\n\";\n");
        const QList<int> messages = {
            ResultLineStartingWith(QStringLiteral("Warning: Undefined variable $a")),
            ResultLineStartingWith(QStringLiteral("Notice: careful")),
            ResultLineStartingWith(QStringLiteral("Warning: stop")),
        };
        QVERIFY2(!messages.contains(0), qPrintable(FForm->WebMemo->Text()));
        QCOMPARE(FForm->PageControl->currentWidget(), FForm->CodeSheet); // OpenAndRun shows the script
        const auto press = [&](Qt::KeyboardModifiers AModifiers) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_F8, AModifiers);
            return FForm->PageControl->currentWidget() == FForm->TabSheet2 ? FForm->WebMemo->CaretY() : 0;
        };
        QCOMPARE(press(Qt::NoModifier), messages[0]);
        QCOMPARE(press(Qt::NoModifier), messages[1]);
        QCOMPARE(press(Qt::NoModifier), messages[2]);
        QCOMPARE(press(Qt::NoModifier), messages[0]);
        QCOMPARE(press(Qt::ShiftModifier), messages[2]);
        QCOMPARE(press(Qt::ShiftModifier), messages[1]);
        // From the script's tab too, on from where the caret was left.
        FForm->PageControl->setCurrentWidget(FForm->CodeSheet);
        FForm->PHPmemo->setFocus();
        QCOMPARE(press(Qt::NoModifier), messages[2]);
        QVERIFY(FForm->WebMemo->hasFocus());
        QVERIFY(FErrors.isEmpty());
    }

    // The result view is read to, never typed into: keys, paste, cut, line commands and undo
    // change nothing, neither the view nor what Save writes; a selection is copied.
    void typingIntoTheResultViewChangesNothing() {
        StartScript(QStringLiteral("out.php"), "<?php\necho \"<p>one</p>\\n<p>two</p>\\n\";\n");
        QVERIFY(WaitForRunEnd());
        lexedit::TLexEdit &view = *FForm->WebMemo;
        const QString shown = view.Text();
        QCOMPARE(FForm->ResultText(), QStringLiteral("<p>one</p>\r\n<p>two</p>"));
        view.setFocus();
        view.SetCaretXY(lexedit::BufferCoord(4, 1));
        QApplication::clipboard()->setText(QStringLiteral("pasted"));
        QTest::keyClicks(&view, QStringLiteral("typed"));
        for (const Qt::Key key : {Qt::Key_Return, Qt::Key_Backspace, Qt::Key_Delete, Qt::Key_Tab})
            QTest::keyClick(&view, key);
        for (const Qt::Key key : {Qt::Key_V, Qt::Key_Y, Qt::Key_T, Qt::Key_Z})
            QTest::keyClick(&view, key, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(&view, Qt::Key_X, Qt::ControlModifier);
        QCOMPARE(view.Text(), shown);
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("pasted")); // nothing was cut
        QTest::keyClick(&view, Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QApplication::clipboard()->text(), shown);
        const QString out = FDir.filePath(QStringLiteral("out.html"));
        FDialogs->SaveAnswers = {out};
        FForm->SaveResultsAction->trigger();
        QCOMPARE(ReadFile(out), QByteArray("<p>one</p>\r\n<p>two</p>"));
        QVERIFY(FErrors.isEmpty());
    }

    // The title names the script, with "*" while it is modified; without a script, the program.
    void titleNamesTheScript() {
        QCOMPARE(FForm->windowTitle(), QStringLiteral("Check PHP file"));
        OpenAndRun(QStringLiteral("title.php"), "<?php\necho 1;\n");
        QCOMPARE(FForm->windowTitle(), QStringLiteral("title.php \u2014 Check PHP file"));
        TypeInScript(2, 6, QStringLiteral("2"));
        QCOMPARE(FForm->windowTitle(), QStringLiteral("title.php* \u2014 Check PHP file"));
        PressCtrlS();
        QCOMPARE(FForm->windowTitle(), QStringLiteral("title.php \u2014 Check PHP file"));
    }

    // Ctrl+S writes the script back byte for byte when the text is as loaded, in the encoding,
    // byte-order mark and line breaks it was loaded with; the caption's asterisk shows while the
    // text was changed (a character typed, then deleted: the save still writes).
    void saveRoundTripsTheFile_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("latin-1") << QByteArray("<?php\necho \"caf\xE9 \xA9\";\n");
        QTest::newRow("utf-8, byte-order mark, CR LF")
            << QByteArray("\xEF\xBB\xBF<?php\r\necho \"caf\xC3\xA9 \xE2\x82\xAC\";\r\n");
        QTest::newRow("no final line break") << QByteArray("<?php\necho 1;");
        QTest::newRow("utf-8 without mark, LF") << QByteArray("<?php\necho \"\xC3\xA9\";\n");
    }

    void saveRoundTripsTheFile() {
        QFETCH(QByteArray, bytes);
        const QString path = OpenAndRun(QStringLiteral("roundtrip.php"), bytes);
        QCOMPARE(ScriptCaption(), QStringLiteral("PHP Code"));
        QVERIFY(QFile::remove(path)); // so the save must write it anew
        PressCtrlS();                 // nothing edited
        QCOMPARE(ReadFile(path), bytes);
        TypeInScript(2, 1, QStringLiteral("x"));
        QVERIFY(FForm->ScriptModified());
        QCOMPARE(ScriptCaption(), QStringLiteral("PHP Code*"));
        QTest::keyClick(FForm->PHPmemo, Qt::Key_Backspace);
        QVERIFY(QFile::remove(path)); // so the save must write it anew
        PressCtrlS();
        QCOMPARE(ReadFile(path), bytes);
        QVERIFY(!FForm->ScriptModified());
        QCOMPARE(ScriptCaption(), QStringLiteral("PHP Code"));
        QVERIFY(FDialogs->Errors.isEmpty());
    }

    // A saved script keeps its mode, and (saved by root) its owner and group.
    void saveKeepsModeOwnerAndGroup() {
        const QString path = OpenAndRun(QStringLiteral("mode.php"), "<?php\necho 1;\n");
        const QFileDevice::Permissions mode =
            QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner | QFileDevice::ReadGroup;
        QVERIFY(QFile::setPermissions(path, mode));
        const bool root = QFileInfo(QStringLiteral("/proc/self")).ownerId() == 0;
        if (root)
            QCOMPARE(QProcess::execute(QStringLiteral("chown"), {QStringLiteral("65534:65533"), path}), 0);
        TypeInScript(2, 6, QStringLiteral("2"));
        PressCtrlS();
        QVERIFY(FDialogs->Errors.isEmpty());
        QCOMPARE(ReadFile(path), QByteArray("<?php\necho 21;\n"));
        const QFileInfo info(path);
        QCOMPARE(info.permissions() &
                     ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser),
                 mode);
        if (root) {
            QCOMPARE(info.ownerId(), 65534u);
            QCOMPARE(info.groupId(), 65533u);
        }
    }

    // An edit is saved in the file's own form.
    void editIsSavedInTheFilesForm() {
        const QString path = OpenAndRun(QStringLiteral("form.php"), "\xEF\xBB\xBF<?php\r\necho 1;\r\n");
        TypeInScript(2, 6, QStringLiteral("2"));
        PressCtrlS();
        QCOMPARE(ReadFile(path), QByteArray("\xEF\xBB\xBF<?php\r\necho 21;\r\n"));
    }

    // F5 runs what is shown: a modified script is saved first. A cancelled script dialog (which
    // runs the command again) does the same.
    void runSavesTheModifiedScriptFirst() {
        const QString path = OpenAndRun(QStringLiteral("f5.php"), "<?php\necho 1, \"\\n\";\n");
        QCOMPARE(FForm->ResultText(), QStringLiteral("1"));
        TypeInScript(2, 6, QStringLiteral("2"));
        FForm->activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
        QTest::keyClick(FForm->PHPmemo, Qt::Key_F5);
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->ResultText(), QStringLiteral("21"));
        QCOMPARE(ReadFile(path), QByteArray("<?php\necho 21, \"\\n\";\n"));
        QVERIFY(!FForm->ScriptModified());

        TypeInScript(2, 6, QStringLiteral("3"));
        FDialogs->OpenAnswers = {QString()}; // cancelled: runs again
        FForm->OpenScriptAction->trigger();
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->ResultText(), QStringLiteral("321"));
    }

    // Closing the window with unsaved changes asks: cancel keeps the window, discard closes
    // without writing, save writes and closes. Without changes nothing is asked.
    void closingAsksAboutUnsavedChanges() {
        const QString path = OpenAndRun(QStringLiteral("close.php"), "<?php\necho 1;\n");
        TypeInScript(2, 6, QStringLiteral("2"));
        FDialogs->UnsavedAnswers = {uaCancel};
        QVERIFY(!FForm->close());
        QVERIFY(FForm->isVisible());
        QVERIFY(FDialogs->UnsavedAnswers.empty());
        FDialogs->UnsavedAnswers = {uaDiscard};
        QVERIFY(FForm->close());
        QCOMPARE(ReadFile(path), QByteArray("<?php\necho 1;\n"));

        FForm->show();
        TypeInScript(2, 6, QStringLiteral("3"));
        FDialogs->UnsavedAnswers = {uaSave};
        QVERIFY(FForm->close());
        QCOMPARE(ReadFile(path), QByteArray("<?php\necho 321;\n"));
        FForm->show();
        QVERIFY(FForm->close()); // nothing changed: no question (an unexpected one would count)
    }

    // The Script button asks before loading another script over a modified one.
    void scriptButtonAsksBeforeLoadingOverChanges() {
        const QString first = OpenAndRun(QStringLiteral("first.php"), "<?php\necho 1;\n");
        const QString second = WriteScript(QStringLiteral("second.php"), "<?php\necho 2;\n");
        TypeInScript(2, 6, QStringLiteral("9"));
        FDialogs->OpenAnswers = {second};
        FDialogs->UnsavedAnswers = {uaCancel};
        FForm->OpenScriptAction->trigger();
        QCOMPARE(FForm->PhpScript(), first);
        QVERIFY(!FForm->ConsoleCommand->IsRunning());
        QVERIFY(FForm->ScriptModified());

        FDialogs->OpenAnswers = {second};
        FDialogs->UnsavedAnswers = {uaDiscard};
        FForm->OpenScriptAction->trigger();
        QCOMPARE(FForm->PhpScript(), second);
        QVERIFY(!FForm->ScriptModified());
        QCOMPARE(FForm->PHPmemo->Lines()->Get(1), QStringLiteral("echo 2;"));
        QCOMPARE(ReadFile(first), QByteArray("<?php\necho 1;\n"));
        QVERIFY(WaitForRunEnd());
    }

    // A script that can no longer be written (here: a folder took its name) gives a clear
    // message; the text stays in the editor, marked modified.
    void unwritableScriptKeepsTheText() {
        const QString path = OpenAndRun(QStringLiteral("gone.php"), "<?php\necho 1;\n");
        TypeInScript(2, 6, QStringLiteral("2"));
        QVERIFY(QFile::remove(path));
        QVERIFY(QDir().mkdir(path));
        PressCtrlS();
        QCOMPARE(FDialogs->Errors.size(), 1);
        QVERIFY2(FDialogs->Errors.constFirst().startsWith(
                     QStringLiteral("The script \"%1\" could not be saved: ").arg(path)),
                 qPrintable(FDialogs->Errors.constFirst()));
        QVERIFY(FDialogs->Errors.constFirst().endsWith(
            QStringLiteral("The text stays in the editor, marked modified.")));
        QVERIFY(FForm->ScriptModified());
        QCOMPARE(ScriptCaption(), QStringLiteral("PHP Code*"));
        QCOMPARE(FForm->PHPmemo->Lines()->Get(1), QStringLiteral("echo 21;"));
        QVERIFY(QDir().rmdir(path));
        FDialogs->UnsavedAnswers = {uaDiscard};
    }

    // A script loaded as 8-bit text, with a character typed that 8-bit text cannot hold: the
    // save asks; cancel writes nothing (never a "?"), UTF-8 writes every character.
    void eightBitScriptAsksBeforeSavingAsUtf8() {
        const QString path = OpenAndRun(QStringLiteral("latin.php"), "<?php\necho \"caf\xE9\";\n");
        TypeInScript(2, 6, QString(QChar(0x20AC)));
        FDialogs->Utf8Answers = {false};
        PressCtrlS();
        QVERIFY(FDialogs->Utf8Answers.empty());
        QCOMPARE(ReadFile(path), QByteArray("<?php\necho \"caf\xE9\";\n"));
        QVERIFY(FForm->ScriptModified());
        FDialogs->Utf8Answers = {true};
        PressCtrlS();
        QCOMPARE(ReadFile(path), QByteArray("<?php\necho \xE2\x82\xAC\"caf\xC3\xA9\";\n"));
        QVERIFY(!FForm->ScriptModified());
        // Typing Latin-1 characters only into an 8-bit script asks nothing.
        const QString other = OpenAndRun(QStringLiteral("latin2.php"), "<?php\necho \"caf\xE9\";\n");
        TypeInScript(2, 6, QString(QChar(0xE8)));
        PressCtrlS();
        QCOMPARE(ReadFile(other), QByteArray("<?php\necho \xE8\"caf\xE9\";\n"));
    }

    // A change of the file on disk reloads an unmodified script; with changes in the editor it
    // asks (no: the text stays; yes: reloaded).
    void externalChangeReloads() {
        const QString path = OpenAndRun(QStringLiteral("outside.php"), "<?php\necho 1;\n");
        const auto writeOutside = [&](const QByteArray &ABytes) {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(ABytes);
        };
        writeOutside("<?php\necho 2;\necho 3;\n");
        QTRY_COMPARE_WITH_TIMEOUT(FForm->PHPmemo->Lines()->Text(),
                                  QStringLiteral("<?php\r\necho 2;\r\necho 3;\r\n"), 5000);
        QVERIFY(!FForm->ScriptModified());

        TypeInScript(1, 1, QStringLiteral(" "));
        FDialogs->ReloadAnswers = {false};
        writeOutside("<?php\necho 4;\n");
        QTRY_VERIFY_WITH_TIMEOUT(FDialogs->ReloadAnswers.empty(), 5000);
        QCOMPARE(FForm->PHPmemo->Lines()->Get(0), QStringLiteral(" <?php"));
        QVERIFY(FForm->ScriptModified());

        FDialogs->ReloadAnswers = {true};
        writeOutside("<?php\necho 5;\n\n");
        QTRY_VERIFY_WITH_TIMEOUT(FDialogs->ReloadAnswers.empty(), 5000);
        QTRY_COMPARE(FForm->PHPmemo->Lines()->Get(1), QStringLiteral("echo 5;"));
        QVERIFY(!FForm->ScriptModified());
        // Replaced by another file, as editors save (a new file renamed over it): reloaded too,
        // and the new file is watched in turn.
        const auto replaceOutside = [&](const QByteArray &ABytes) {
            const QString temp = path + QStringLiteral(".new");
            QFile file(temp);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ABytes);
            file.close();
            QVERIFY(std::rename(QFile::encodeName(temp).constData(), QFile::encodeName(path).constData()) ==
                    0);
        };
        replaceOutside("<?php\necho 7;\n");
        QTRY_COMPARE_WITH_TIMEOUT(FForm->PHPmemo->Lines()->Get(1), QStringLiteral("echo 7;"), 5000);
        writeOutside("<?php\necho 8;\n");
        QTRY_COMPARE_WITH_TIMEOUT(FForm->PHPmemo->Lines()->Get(1), QStringLiteral("echo 8;"), 5000);
        QVERIFY(!FForm->ScriptModified());
        // Its own save is no change from outside: with a change typed right after it, nothing
        // is asked (an unexpected question fails the test) and nothing is reloaded.
        TypeInScript(2, 6, QStringLiteral("6"));
        PressCtrlS();
        TypeInScript(2, 6, QStringLiteral("9"));
        QTest::qWait(400);
        QCOMPARE(FForm->PHPmemo->Lines()->Get(1), QStringLiteral("echo 968;"));
        QVERIFY(FForm->ScriptModified());
        QCOMPARE(ReadFile(path), QByteArray("<?php\necho 68;\n"));
    }

    // Run on save. Another program writes the script, and writes it twice more within 100 ms
    // once the first write's run has begun (well within the 300 ms quiet time): the first write
    // runs at once, the next two make one more run, which stops the first (still sleeping) and
    // shows the last version. Ctrl+S runs once (its own save is no change from outside); unticked
    // (Ctrl+F5), a write is reloaded and not run; the box comes back ticked in the next window.
    void runOnSaveRunsAtOnceAndCoalescesABurst() {
        QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("save")));
        const QString log = FDir.filePath(QStringLiteral("runs.log")); // one line a run
        const auto source = [&](const char *AVersion, bool AHang) {
            return QByteArray("<?php file_put_contents('") + QFile::encodeName(log) + "', \"" + AVersion +
                   "\\n\", FILE_APPEND); echo \"" + AVersion + "\\n\";" +
                   (AHang ? " flush(); sleep(20);" : "") + "\n";
        };
        const QString path = OpenAndRun(QStringLiteral("save/loop.php"), source("v0", false));
        QTest::mouseClick(FForm->RunOnSaveBox, Qt::LeftButton);
        QVERIFY(FForm->RunOnSave());
        const auto runs = [&] {
            return QString::fromLatin1(ReadFile(log)).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        };
        const auto settled = [&](const QString &AOutput) {
            QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), AOutput, 20000);
            QVERIFY(WaitForRunEnd());
            QTest::qWait(700); // past the quiet time: any run still due would have started
            QVERIFY(!FForm->ConsoleCommand->IsRunning());
        };
        QProcess writer;
        writer.start(
            QStringLiteral("sh"),
            {QStringLiteral("-c"),
             // Waits at most 200 ms for the first write's run: a run only after 300 ms
             // of quiet would come too late, and one run would take all three writes.
             QStringLiteral("printf %s \"$1\" > \"$4\"; end=$(($(date +%s%N) + 200000000)); "
                            "until grep -qx v1 \"$5\" || [ $(date +%s%N) -ge $end ]; do sleep 0.005; "
                            "done; printf %s \"$2\" > \"$4\"; sleep 0.05; printf %s \"$3\" > \"$4\""),
             QStringLiteral("sh"), QString::fromUtf8(source("v1", true)),
             QString::fromUtf8(source("v2", false)), QString::fromUtf8(source("v3", false)), path, log});
        // Waited for in the event loop: the window takes in the writes meanwhile.
        QTRY_COMPARE_WITH_TIMEOUT(writer.state(), QProcess::NotRunning, 10000);
        settled(QStringLiteral("v3"));
        QCOMPARE(runs(), QStringList({"v0", "v1", "v3"}));
        QCOMPARE(FForm->Run().Outcome().ExitCode, 0);
        QCOMPARE(FForm->PHPmemo->Lines()->Text(),
                 QString::fromUtf8(source("v3", false)).replace("\n", "\r\n"));

        PressCtrlS();
        QTRY_COMPARE_WITH_TIMEOUT(runs().size(), 4, 20000);
        settled(QStringLiteral("v3"));
        QCOMPARE(runs(), QStringList({"v0", "v1", "v3", "v3"}));

        QTest::keyClick(FForm->PHPmemo, Qt::Key_F5, Qt::ControlModifier);
        QVERIFY(!FForm->RunOnSaveBox->isChecked());
        writer.start(QStringLiteral("sh"),
                     {QStringLiteral("-c"), QStringLiteral("printf %s \"$1\" > \"$2\""), QStringLiteral("sh"),
                      QString::fromUtf8(source("v4", false)), path});
        QTRY_COMPARE_WITH_TIMEOUT(writer.state(), QProcess::NotRunning, 10000);
        QTRY_VERIFY_WITH_TIMEOUT(FForm->PHPmemo->Lines()->Text().contains(QStringLiteral("v4")), 5000);
        settled(QStringLiteral("v3"));
        QCOMPARE(runs().size(), 4);
        QVERIFY(FErrors.isEmpty());

        FForm->RunOnSaveBox->click();
        FForm.reset();
        QVERIFY(ShowNewForm(FForm, FDialogs, true, false));
        QVERIFY(FForm->RunOnSaveBox->isChecked() && FForm->RunOnSave());
    }

    // A run configuration (a quoted parameter, an interpreter option, an environment variable, a
    // working folder) reaches the script, the label shows the command as a shell reads it, and
    // the next window's first run of the script uses it again.
    void runConfigurationReachesTheScriptAndIsRemembered() {
        const QString script = StartScript(
            QStringLiteral("config.php"),
            "<?php echo json_encode([array_slice($argv, 1), ini_get('precision'), getenv('CHECKPHP_T'), "
            "basename(getcwd())]);\n");
        QVERIFY(WaitForRunEnd());
        QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("work place")));
        TRunConfig config;
        config.Params = QStringLiteral("'b c' \"d e\" f\\ g");
        config.InterpreterOptions = QStringLiteral("-d precision=5");
        config.Environment = {QStringLiteral("CHECKPHP_T=x=y")};
        config.WorkingFolder = FDir.filePath(QStringLiteral("work place"));
        FDialogs->RunConfigAnswers = {config};
        QTest::keyClick(FForm.get(), Qt::Key_P, Qt::ControlModifier | Qt::ShiftModifier);
        QVERIFY(FDialogs->RunConfigAnswers.empty());
        QCOMPARE(FForm->ParamsEdit->text(), config.Params);
        QVERIFY2(FForm->ControlLabel->text().endsWith(QStringLiteral(" -d precision=5 ") + script +
                                                      QStringLiteral(" 'b c' 'd e' 'f g'")),
                 qPrintable(FForm->ControlLabel->text()));
        const QString expected = QStringLiteral("[[\"b c\",\"d e\",\"f g\"],\"5\",\"x=y\",\"work place\"]");
        FForm->RunAgainAction->trigger();
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->WebMemo->Text(), expected);

        FForm.reset();
        QVERIFY(ShowNewForm(FForm, FDialogs, true, false));
        FForm->OpenScript(script);
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FForm->WebMemo->Text(), expected);
        QVERIFY(FForm->RunConfig() == config);
        QCOMPARE(FDialogs->Unexpected, 0);
    }

    // The next window comes back as this one closed: its size and splitter, the find options,
    // the script at the top of the recent list (opened from the Script button's menu) with its
    // collapsed fold.
    void windowSettingsComeBackInTheNextWindow() {
        const QString script =
            StartScript(QStringLiteral("folds.php"), "<?php\nfunction f() {\n    echo 1;\n}\necho 2;\n");
        QVERIFY(WaitForRunEnd());
        const auto collapsedAt = [this](int ALine) {
            for (const lexedit::TLexFoldRange &range : FForm->PHPmemo->AllFoldRanges().AllRanges())
                if (range.FromLine == ALine) return range.Collapsed ? 1 : 0;
            return -1;
        };
        QCOMPARE(collapsedAt(2), 0);
        for (int i = 0; i < FForm->PHPmemo->AllFoldRanges().Count(); ++i)
            if (FForm->PHPmemo->AllFoldRanges().Ranges(i).FromLine == 2) FForm->PHPmemo->Collapse(i);
        FForm->ResultFindBar->RegexButton->setChecked(true);
        FForm->resize(900, 640);
        FForm->HSplitter->setSizes({200, 400});
        const QList<int> sizes = FForm->HSplitter->sizes();
        QVERIFY(FForm->close());

        FForm.reset();
        QVERIFY(ShowNewForm(FForm, FDialogs, true, false));
        QCOMPARE(FForm->size(), QSize(900, 640));
        QCOMPARE(FForm->HSplitter->sizes(), sizes);
        QVERIFY(FForm->ScriptFindBar->RegexButton->isChecked() &&
                FForm->ResultFindBar->RegexButton->isChecked());
        QMenu *recent = FForm->Memory().RecentMenu();
        emit recent->aboutToShow();
        QVERIFY(!recent->actions().isEmpty() && recent->actions().constFirst()->text().endsWith(script));
        recent->actions().constFirst()->trigger();
        QCOMPARE(FForm->PhpScript(), script);
        QCOMPARE(collapsedAt(2), 1);
        QVERIFY(WaitForRunEnd());
        QCOMPARE(FDialogs->Unexpected, 0);
    }
};

int main(int argc, char **argv) {
    TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    TestPhpLoop test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_phploop.moc"
