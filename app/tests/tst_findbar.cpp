// SPDX-License-Identifier: MIT
// The find bar in the window, driven by keys like a user would: the count, next and previous,
// wrap-around, the toggles, the highlight of the matches in view, replace and replace-all as one
// undo step in the script view, and the count while output streams into the result view.

#include "ControlPanelUnit.h"
#include "FindBar.h"
#include "ResultBrowser.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "window_fixture.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QTabWidget>
#include <QToolButton>
#include <QtTest>

using namespace app;
using window_test::PaintEditor;
using window_test::ShowNewForm;

namespace {

class TNoDialogs : public TFileDialogs {
public:
    int Asked = 0;
    bool ExecuteOpen(int, QString &) override { return ++Asked, false; }
    bool ExecuteSave(QString &) override { return ++Asked, false; }
    void ShowInformation(const QString &) override { ++Asked; }
    TUnsavedAnswer AskUnsavedScript(const QString &) override { return ++Asked, uaDiscard; }
    bool AskSaveAsUtf8(const QString &) override { return ++Asked, false; }
    bool AskReloadScript(const QString &) override { return ++Asked, false; }
    void ShowError(const QString &) override { ++Asked; }
};

QStringList LinesOf(const lexedit::TCustomLexEdit &E) {
    QStringList Result;
    for (int i = 0; i < E.Lines()->Count(); ++i)
        Result << E.Lines()->Get(i);
    return Result;
}

// The number of pixels of ARect within 12 of AColour in every channel.
int PixelsNear(const QImage &AImage, const QRect &ARect, const QColor &AColour) {
    int Count = 0;
    const QRect R = ARect.intersected(AImage.rect());
    for (int y = R.top(); y <= R.bottom(); ++y)
        for (int x = R.left(); x <= R.right(); ++x) {
            const QColor C = AImage.pixelColor(x, y);
            if (std::abs(C.red() - AColour.red()) <= 12 && std::abs(C.green() - AColour.green()) <= 12 &&
                std::abs(C.blue() - AColour.blue()) <= 12)
                ++Count;
        }
    return Count;
}

} // namespace

class TestFindBar : public QObject {
    Q_OBJECT

    QList<common::ErrorReport> FErrors;
    std::unique_ptr<TControlPanelForm> FForm;
    TNoDialogs *FDialogs = nullptr;

    void Key(QWidget *AWidget, const QString &AKeys) {
        QTest::keySequence(AWidget, QKeySequence(AKeys, QKeySequence::PortableText));
    }
    void LoadScript(const QStringList &ALines) {
        FForm->PageControl->setCurrentWidget(FForm->CodeSheet);
        FForm->PHPmemo->SetLines(ALines);
        FForm->PHPmemo->ClearUndo();
        FForm->PHPmemo->SetCaretXY(lexedit::BufferCoord(1, 1));
        FForm->PHPmemo->setFocus();
        QTRY_VERIFY(FForm->PHPmemo->hasFocus());
    }
    TFindBar &Script() { return *FForm->ScriptFindBar; }

private slots:
    void initTestCase() {
        common::SetErrorReporter([this](const common::ErrorReport &AReport) { FErrors << AReport; });
    }

    void init() {
        FErrors.clear();
        QVERIFY(ShowNewForm(FForm, FDialogs));
        FForm->activateWindow(); // the window's shortcuts need it active
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
    }

    void cleanup() {
        QCOMPARE(FDialogs->Asked, 0);
        QVERIFY(FErrors.isEmpty());
        FForm.reset();
    }

    void countNextPreviousAndWrapAround() {
        LoadScript({"<?php", "$foo = 1;", "echo $foo;", "// foo and foo"});
        QVERIFY(Script().isHidden());
        Key(FForm->PHPmemo, "Ctrl+F");
        QVERIFY(Script().isVisible());
        QVERIFY(FForm->ResultFindBar->isHidden());
        QVERIFY(!Script().ReplaceShown());
        QTRY_VERIFY(Script().FindEdit->hasFocus());
        QTest::keyClicks(Script().FindEdit, "foo");
        // Typing selects the first match from where the search began.
        QCOMPARE(Script().CountText(), QString("1 of 4"));
        QCOMPARE(FForm->PHPmemo->BlockBegin(), lexedit::BufferCoord(2, 2));
        QCOMPARE(FForm->PHPmemo->SelText(), QString("foo"));
        Key(Script().FindEdit, "Return");
        QCOMPARE(Script().CountText(), QString("2 of 4"));
        QCOMPARE(FForm->PHPmemo->BlockBegin(), lexedit::BufferCoord(7, 3));
        Key(Script().FindEdit, "Return");
        Key(Script().FindEdit, "Return");
        QCOMPARE(Script().CountText(), QString("4 of 4"));
        QVERIFY(Script().NoticeText().isEmpty());
        Key(Script().FindEdit, "Return");
        QCOMPARE(Script().CountText(), QString("1 of 4"));
        QCOMPARE(Script().NoticeText(), QString("Wrapped around to the top"));
        Key(Script().FindEdit, "Shift+Return");
        QCOMPARE(Script().CountText(), QString("4 of 4"));
        QCOMPARE(Script().NoticeText(), QString("Wrapped around to the bottom"));
        Key(Script().FindEdit, "Shift+Return");
        QCOMPARE(Script().CountText(), QString("3 of 4"));
        QVERIFY(Script().NoticeText().isEmpty());
        // F3 and Shift+F3 from the editor.
        FForm->PHPmemo->setFocus();
        QTRY_VERIFY(FForm->PHPmemo->hasFocus());
        Key(FForm->PHPmemo, "F3");
        QCOMPARE(Script().CountText(), QString("4 of 4"));
        Key(FForm->PHPmemo, "Shift+F3");
        Key(FForm->PHPmemo, "Shift+F3");
        QCOMPARE(Script().CountText(), QString("2 of 4"));
        // Moving the caret away: the count stays, no match is the current one.
        FForm->PHPmemo->SetCaretXY(lexedit::BufferCoord(1, 1));
        Script().UpdateCount();
        QCOMPARE(Script().CountText(), QString("4 matches"));
        // Esc in the bar closes it and gives the focus back to the view.
        Script().FindEdit->setFocus();
        Key(Script().FindEdit, "Esc");
        QVERIFY(Script().isHidden());
        QTRY_VERIFY(FForm->PHPmemo->hasFocus());
        // F3 after closing opens it again and goes on with the same search.
        Key(FForm->PHPmemo, "F3");
        QVERIFY(Script().isVisible());
        QCOMPARE(Script().CountText(), QString("1 of 4"));
    }

    void togglesAndExactCount() {
        QStringList Lines = {"Foo foo food FOO"};
        for (int i = 0; i < 3000; ++i)
            Lines << QStringLiteral("x foo y foo");
        LoadScript(Lines);
        Key(FForm->PHPmemo, "Ctrl+F");
        QTest::keyClicks(Script().FindEdit, "foo");
        QCOMPARE(Script().CountText(), QString("1 of 6004")); // no cap
        Script().MatchCaseButton->click();
        QCOMPARE(Script().CountText(), QString("1 of 6002"));
        QCOMPARE(FForm->PHPmemo->BlockBegin(), lexedit::BufferCoord(5, 1));
        Script().WholeWordButton->click();
        QCOMPARE(Script().CountText(), QString("1 of 6001"));
        Script().MatchCaseButton->click();
        QCOMPARE(Script().CountText(), QString("1 of 6003"));
        Script().RegexButton->click();
        Script().FindEdit->setText("f(o+");
        QVERIFY(Script().NoticeText().startsWith("Invalid regular expression"));
        Script().FindEdit->setText("f[o]{2}");
        QCOMPARE(Script().CountText(), QString("1 of 6003"));
        QVERIFY(Script().NoticeText().isEmpty());
        Script().WholeWordButton->click();
        QCOMPARE(Script().CountText(), QString("1 of 6004"));
        // A runaway pattern is reported, the window goes on.
        FForm->PHPmemo->SetLines({QString(40, u'x') + u'z'});
        Script().FindEdit->setText("(x+)+$");
        QCOMPARE(Script().NoticeText(), QString("pattern too complex"));
        Script().FindEdit->setText("x+z");
        QCOMPARE(Script().CountText(), QString("1 of 1"));
        QVERIFY(Script().NoticeText().isEmpty());
    }

    void matchesInViewArePainted() {
        LoadScript({"<?php", "echo 'needle';", "echo 'hay';", "// needle"});
        FForm->resize(1000, 700);
        QApplication::processEvents();
        lexedit::TLexEdit &Memo = *FForm->PHPmemo;
        const auto TextOf = [&](int ALine) {
            return QRect(Memo.GutterWidth() + 2, (Memo.LineToRow(ALine) - Memo.TopLine()) * Memo.LineHeight(),
                         Memo.viewport()->width() - Memo.GutterWidth() - 2, Memo.LineHeight());
        };
        // The highlight blended over the white page.
        const QColor Highlight(255, 230, 145);
        QCOMPARE(PixelsNear(PaintEditor(Memo), TextOf(4), Highlight), 0);
        Key(&Memo, "Ctrl+F");
        QTest::keyClicks(Script().FindEdit, "needle");
        // The first match is selected; the second (line 4) shows the highlight, line 3 none.
        const QImage Image = PaintEditor(Memo);
        QVERIFY(PixelsNear(Image, TextOf(4), Highlight) > 20);
        QCOMPARE(PixelsNear(Image, TextOf(3), Highlight), 0);
        Key(Script().FindEdit, "Esc");
        QCOMPARE(PixelsNear(PaintEditor(Memo), TextOf(4), Highlight), 0);
    }

    void replaceAllIsOneUndoStep() {
        const QStringList Original = {"<?php", "$a = 1; $a++;", "echo $a . $ab;"};
        LoadScript(Original);
        Key(FForm->PHPmemo, "Ctrl+H");
        QVERIFY(Script().ReplaceShown());
        QTest::keyClicks(Script().FindEdit, "$a");
        Script().WholeWordButton->click();
        QCOMPARE(Script().CountText(), QString("1 of 3"));
        QTest::keyClicks(Script().ReplaceEdit, "$count");
        Script().ReplaceAllButton->click();
        QCOMPARE(LinesOf(*FForm->PHPmemo),
                 QStringList({"<?php", "$count = 1; $count++;", "echo $count . $ab;"}));
        QCOMPARE(Script().NoticeText(), QString("3 replaced"));
        QCOMPARE(Script().CountText(), QString("No matches"));
        FForm->PHPmemo->Undo();
        QCOMPARE(LinesOf(*FForm->PHPmemo), Original);
        QVERIFY(!FForm->PHPmemo->CanUndo());
    }

    void replaceOneAndFindNext() {
        LoadScript({"a1 a2", "a3"});
        Key(FForm->PHPmemo, "Ctrl+H");
        Script().RegexButton->click();
        QTest::keyClicks(Script().FindEdit, "a(\\d)");
        QCOMPARE(Script().CountText(), QString("1 of 3"));
        QTest::keyClicks(Script().ReplaceEdit, "b\\1");
        Key(Script().ReplaceEdit, "Return");
        QCOMPARE(LinesOf(*FForm->PHPmemo), QStringList({"b1 a2", "a3"}));
        QCOMPARE(Script().CountText(), QString("1 of 2"));
        QCOMPARE(FForm->PHPmemo->SelText(), QString("a2"));
        Script().ReplaceButton->click();
        Script().ReplaceButton->click();
        QCOMPARE(LinesOf(*FForm->PHPmemo), QStringList({"b1 b2", "b3"}));
        QCOMPARE(Script().CountText(), QString("No matches"));
    }

    // Ctrl+H after a regular-expression search put the selected match into the field as the
    // pattern: "No matches". The pattern stays; a selection that is no match comes escaped.
    void ctrlHKeepsTheRegularExpression() {
        LoadScript({"<?php", "$price = 2; $qty = 3;", "echo $price * $qty;", "$pricey = 1;"});
        Key(FForm->PHPmemo, "Ctrl+F");
        Script().RegexButton->click();
        QTest::keyClicks(Script().FindEdit, "\\$(price|qty)\\b");
        QCOMPARE(Script().CountText(), QString("1 of 4"));
        FForm->PHPmemo->setFocus();
        Key(FForm->PHPmemo, "Ctrl+H");
        QCOMPARE(Script().FindEdit->text(), QString("\\$(price|qty)\\b"));
        QCOMPARE(Script().CountText(), QString("1 of 4"));
        // Selected by hand, not a match: the text as a pattern that finds itself.
        FForm->PHPmemo->SetCaretAndSelection(lexedit::BufferCoord(6, 3), lexedit::BufferCoord(6, 3),
                                             lexedit::BufferCoord(14, 3));
        Key(FForm->PHPmemo, "Ctrl+H");
        QCOMPARE(Script().FindEdit->text(), QString("\\$price\\ \\*"));
        QCOMPARE(Script().CountText(), QString("1 of 1"));
    }

    void resultViewHasNoReplaceRow() {
        FForm->PageControl->setCurrentWidget(FForm->TabSheet2);
        FForm->WebMemo->setFocus();
        QTRY_VERIFY(FForm->WebMemo->hasFocus());
        Key(FForm->WebMemo, "Ctrl+H");
        QVERIFY(FForm->ResultFindBar->isVisible());
        QVERIFY(!FForm->ResultFindBar->ReplaceShown());
        QVERIFY(FForm->ScriptFindBar->isHidden());
    }

    void countFollowsStreamingOutput() {
        FForm->PageControl->setCurrentWidget(FForm->TabSheet2);
        FForm->WebMemo->setFocus();
        QTRY_VERIFY(FForm->WebMemo->hasFocus());
        TFindBar &Result = *FForm->ResultFindBar;
        Key(FForm->WebMemo, "Ctrl+F");
        QTest::keyClicks(Result.FindEdit, "error");
        QCOMPARE(Result.CountText(), QString("No matches"));
        // Lines arrive while the bar is open: the count follows, exactly.
        int Expected = 0;
        for (int Batch = 0; Batch < 20; ++Batch) {
            for (int i = 0; i < 50; ++i) {
                const bool Match = (Batch * 50 + i) % 7 == 0;
                Expected += Match ? (i % 2 == 0 ? 2 : 1) : 0;
                const QString Line = Match ? (i % 2 == 0 ? QStringLiteral("error: x, error: y")
                                                         : QStringLiteral("<b>Error</b> here"))
                                           : QStringLiteral("line %1").arg(Batch * 50 + i);
                FForm->ConsoleCommandNewLine(FForm->ConsoleCommand, Line, runner::otEntireLine);
            }
            QApplication::processEvents();
        }
        QTRY_COMPARE(Result.MatchCount(), qint64(Expected));
        QTRY_COMPARE(Result.CountText(), QStringLiteral("%1 matches").arg(Expected));
        QVERIFY(Result.FindNext());
        QCOMPARE(Result.CountText(), QStringLiteral("1 of %1").arg(Expected));
        // A partial line shown and then replaced by its entire line is counted once.
        FForm->ConsoleCommandNewLine(FForm->ConsoleCommand, "error pending", runner::otBeginningOfLine);
        QTRY_COMPARE(Result.MatchCount(), qint64(Expected + 1));
        FForm->ConsoleCommandNewLine(FForm->ConsoleCommand, "error pending, error done",
                                     runner::otEntireLine);
        QTRY_COMPARE(Result.MatchCount(), qint64(Expected + 2));
        // The view cleared for the next run: nothing left to count.
        FForm->WebMemo->Lines()->Clear();
        QTRY_COMPARE(Result.MatchCount(), qint64(0));
    }
};

int main(int argc, char **argv) {
    TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    TestFindBar test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_findbar.moc"
