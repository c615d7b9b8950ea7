// SPDX-License-Identifier: MIT
// The editor's state: defaults, settings with side effects, the update lock and status reports,
// the highlighter hook-up, registration lists and stored keystroke differences.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QtTest>

using namespace lexedit;
using namespace editor_test;

class TestLexEditState : public QObject {
    Q_OBJECT

private slots:
    void defaults();
    void optionsDefaultMask();
    void tabWidthClamped_data();
    void tabWidthClamped();
    void oneStatusReportPerUpdateBracket();
    void statusAccumulatesWithoutHandler();
    void unmatchedEndUpdateKeepsLockAtZero();
    void insertModeAndReadOnlyReportOnChangeOnly();
    void optionsDriveGroupUndo();
    void modifiedFalseAddsGroupBreak();
    void sameHighlighterTwiceDoesNothing();
    void highlighterChangeRescansAttributeChangeDoesNot();
    void destroyedHighlighterLeavesPlainText();
    void keystrokeDifferencesRoundTrip();
    void commandHandlerRegistration();
    void lineTextAndLines();
};

void TestLexEditState::defaults() {
    TLexEdit E;
    QCOMPARE(E.Lines()->Count(), 0);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(1, 1));
    QVERIFY(!E.Modified());
    QCOMPARE(E.Text(), QString());
    QCOMPARE(E.RightEdge(), 80);
    QCOMPARE(E.RightEdgeColor(), TColor(12632256));
    QCOMPARE(E.ActiveLineColor(), TColor(536870911));
    QCOMPARE(E.Color(), clWindow);
    QCOMPARE(E.TabWidth(), 8);
    QCOMPARE(E.Lines()->TabWidth(), 8);
    QVERIFY(E.InsertMode());
    QVERIFY(!E.ReadOnly());
    QVERIFY(E.WantReturns());
    QVERIFY(!E.WantTabs());
    QVERIFY(!E.HideSelection());
    QVERIFY(!E.UseCodeFolding());
    QVERIFY(!E.WordWrap());
    QCOMPARE(E.SelectionMode(), smNormal);
    QCOMPARE(E.ActiveSelectionMode(), smNormal);
    QCOMPARE(E.InsertCaret(), ctVerticalLine);
    QCOMPARE(E.OverwriteCaret(), ctBlock);
    QCOMPARE(E.ScrollBars(), ssBoth);
    QCOMPARE(E.BorderStyle(), bsSingle);
    QCOMPARE(E.ExtraLineSpacing(), 0);
    QCOMPARE(E.FontQuality(), fqClearTypeNatural);
    QCOMPARE(E.ScrollHintColor(), clInfoBk);
    QCOMPARE(E.ScrollHintFormat(), shfTopLineOnly);
    QCOMPARE(E.Highlighter(), nullptr);
    QCOMPARE(E.Keystrokes().Count(), DefaultKeyStrokeCount);
    QCOMPARE(E.TopLine(), 1);
    QCOMPARE(E.LeftChar(), 1);
    QCOMPARE(E.LastCaretX(), 1);
    QCOMPARE(E.size(), QSize(200, 150));
    QCOMPARE(E.viewport()->cursor().shape(), Qt::IBeamCursor);
    QCOMPARE(E.EditorFont().family(), DefaultFontName());
    QCOMPARE(E.EditorFont().pointSize(), 10);
    QVERIFY(E.CharWidth() > 0);
    QVERIFY(E.LineHeight() > 0);
    QCOMPARE(E.PaintLock(), 0);
    QVERIFY(E.AdditionalIdentChars().Empty());
    QVERIFY(E.AdditionalWordBreakChars().Empty());
    QVERIFY(E.SelText().isEmpty());
    QCOMPARE(E.UndoRedo()->CanUndo(), false);
}

void TestLexEditState::optionsDefaultMask() {
    TLexEdit E;
    QCOMPARE(E.Options().ToMask(), uint32_t(20316362));
    QCOMPARE(LEXEDIT_DEFAULT_OPTIONS.ToMask(), uint32_t(20316362));
}

void TestLexEditState::tabWidthClamped_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("stored");
    QTest::newRow("zero") << 0 << 1;
    QTest::newRow("negative") << -7 << 1;
    QTest::newRow("four") << 4 << 4;
    QTest::newRow("max") << 256 << 256;
    QTest::newRow("thousand") << 1000 << 256;
}

void TestLexEditState::tabWidthClamped() {
    QFETCH(int, value);
    QFETCH(int, stored);
    TLexEdit E;
    E.Lines()->Add(QStringLiteral("\tx"));
    E.SetTabWidth(value);
    QCOMPARE(E.TabWidth(), stored);
    QCOMPARE(E.Lines()->TabWidth(), stored);
    // The mapping follows the new width at once.
    QCOMPARE(E.BufferToDisplayPos(BufferCoord(2, 1)).Column, stored + 1);
}

void TestLexEditState::oneStatusReportPerUpdateBracket() {
    TLexEdit E;
    E.SetLines({QStringLiteral("alpha beta"), QStringLiteral("gamma")});
    QList<TLexStatusChanges> Reports;
    E.OnStatusChange = [&](TCustomLexEdit *Sender, TLexStatusChanges C) {
        QCOMPARE(Sender, &E);
        Reports << C;
    };
    {
        TCustomLexEdit::TUpdateGuard Lock(E);
        E.SetCaretXY(BufferCoord(3, 1));
        E.SetCaretXY(BufferCoord(2, 2));
        E.SelectAll();
        E.SetInsertMode(false);
        QVERIFY(Reports.isEmpty());
    }
    QCOMPARE(Reports.size(), 1);
    const TLexStatusChanges C = Reports.front();
    QVERIFY(C.Contains(scCaretX));
    QVERIFY(C.Contains(scCaretY));
    QVERIFY(C.Contains(scSelection));
    QVERIFY(C.Contains(scInsertMode));
    QVERIFY(E.PendingStatusChanges().Empty());
    // Nested brackets still give one report, at the outermost end.
    Reports.clear();
    E.BeginUpdate();
    E.BeginUpdate();
    E.SetCaretXY(BufferCoord(1, 1));
    E.EndUpdate();
    QVERIFY(Reports.isEmpty());
    E.EndUpdate();
    QCOMPARE(Reports.size(), 1);
}

void TestLexEditState::statusAccumulatesWithoutHandler() {
    TLexEdit E;
    E.SetLines({QStringLiteral("abc")});
    E.SetCaretXY(BufferCoord(2, 1));
    E.SetReadOnly(true);
    QVERIFY(E.PendingStatusChanges().Contains(scCaretX));
    QVERIFY(E.PendingStatusChanges().Contains(scReadOnly));
    TLexStatusChanges Got;
    int Calls = 0;
    E.OnStatusChange = [&](TCustomLexEdit *, TLexStatusChanges C) {
        Got = C;
        ++Calls;
    };
    E.SetInsertMode(false);
    QCOMPARE(Calls, 1);
    QVERIFY(Got.Contains(scCaretX));
    QVERIFY(Got.Contains(scReadOnly));
    QVERIFY(Got.Contains(scInsertMode));
    QVERIFY(E.PendingStatusChanges().Empty());
}

void TestLexEditState::unmatchedEndUpdateKeepsLockAtZero() {
    TLexEdit E;
    E.SetLines({QStringLiteral("abc")});
    QVERIFY_THROWS_EXCEPTION(common::EAssertionFailed, E.EndUpdate());
    QCOMPARE(E.PaintLock(), 0);
    // Reports still come at once, not deferred by a lock below zero.
    int Calls = 0;
    E.OnStatusChange = [&](TCustomLexEdit *, TLexStatusChanges) { ++Calls; };
    E.SetCaretXY(BufferCoord(2, 1));
    QCOMPARE(Calls, 1);
    E.BeginUpdate();
    E.SetCaretXY(BufferCoord(3, 1));
    QCOMPARE(Calls, 1);
    E.EndUpdate();
    QCOMPARE(Calls, 2);
}

void TestLexEditState::insertModeAndReadOnlyReportOnChangeOnly() {
    TLexEdit E;
    QList<TLexStatusChanges> Reports;
    E.OnStatusChange = [&](TCustomLexEdit *, TLexStatusChanges C) { Reports << C; };
    E.SetInsertMode(true);
    E.SetReadOnly(false);
    QVERIFY(Reports.isEmpty());
    E.SetInsertMode(false);
    E.SetReadOnly(true);
    QCOMPARE(Reports.size(), 2);
    QCOMPARE(Reports[0], TLexStatusChanges({scInsertMode}));
    QCOMPARE(Reports[1], TLexStatusChanges({scReadOnly}));
    QVERIFY(E.ReadOnly());
    QVERIFY(!E.InsertMode());
}

void TestLexEditState::optionsDriveGroupUndo() {
    TLexEdit E;
    // Two changes of one kind: undone together with group undo, one by one without.
    auto Record = [&E] {
        E.UndoRedo()->Clear();
        E.UndoRedo()->AddUndoChange(crInsert, BufferCoord(1, 1), BufferCoord(2, 1), QString(), smNormal);
        E.UndoRedo()->AddUndoChange(crInsert, BufferCoord(2, 1), BufferCoord(3, 1), QString(), smNormal);
        E.UndoRedo()->Undo();
        return UndoStackCount(*E.UndoRedo(), false) == 0;
    };
    const bool GroupedOn = Record();
    E.SetOptions(E.Options() - TLexEditorOptions{eoGroupUndo});
    const bool GroupedOff = Record();
    QVERIFY(GroupedOn);
    QVERIFY(!GroupedOff);
    QVERIFY(!E.Options().Contains(eoGroupUndo));
    // Setting the same set again changes nothing.
    const TLexEditorOptions Before = E.Options();
    E.SetOptions(Before);
    QCOMPARE(E.Options(), Before);
}

void TestLexEditState::modifiedFalseAddsGroupBreak() {
    TLexEdit E;
    QList<TLexStatusChanges> Reports;
    E.OnStatusChange = [&](TCustomLexEdit *, TLexStatusChanges C) { Reports << C; };
    E.UndoRedo()->AddUndoChange(crInsert, BufferCoord(1, 1), BufferCoord(2, 1), QString(), smNormal);
    QVERIFY(E.Modified());
    Reports.clear();
    E.SetModified(false);
    QVERIFY(!E.Modified());
    QVERIFY(!Reports.isEmpty());
    QVERIFY(Reports.back().Contains(scModified));
    QVERIFY(UndoStackItem(*E.UndoRedo(), false, 0).GroupBreak);
    Reports.clear();
    E.SetModified(false);
    QVERIFY(Reports.isEmpty());
}

void TestLexEditState::sameHighlighterTwiceDoesNothing() {
    TLexEdit E;
    E.SetLines({QStringLiteral("<?php /* a"), QStringLiteral("b */ echo 1;")});
    TCountingHighlighter H(std::make_unique<TLexPHPLex>());
    E.SetHighlighter(&H);
    QCOMPARE(H.ScannedLines, 2);
    QCOMPARE(E.Lines()->GetRange(0), TLexRange(php::rsComment));
    E.SetHighlighter(&H);
    QCOMPARE(H.ScannedLines, 2);
    E.SetHighlighter(nullptr);
    QCOMPARE(E.Highlighter(), nullptr);
    // No longer hooked: a highlighter change does not reach the editor.
    H.SetEnabled(false);
    QCOMPARE(H.ScannedLines, 2);
}

void TestLexEditState::highlighterChangeRescansAttributeChangeDoesNot() {
    TLexEdit E;
    E.SetLines({QStringLiteral("<p>"), QStringLiteral("<!-- x")});
    TCountingHighlighter H(std::make_unique<TLexHTMLLex>());
    E.SetHighlighter(&H);
    const int AfterSet = H.ScannedLines;
    QCOMPARE(AfterSet, 2);
    // An attribute change repaints only.
    H.Inner().CommentAttribute()->SetForeground(clRed);
    QCOMPARE(H.ScannedLines, AfterSet);
    // A change of the highlighter itself rescans every line.
    H.SetEnabled(false);
    QCOMPARE(H.ScannedLines, AfterSet + 2);
}

void TestLexEditState::destroyedHighlighterLeavesPlainText() {
    TLexEdit E;
    E.SetLines({QStringLiteral("<?php /* open")});
    {
        auto *H = new TLexPHPLex();
        E.SetHighlighter(H);
        QCOMPARE(E.Highlighter(), H);
        delete H;
    }
    QCOMPARE(E.Highlighter(), nullptr);
    // The editor goes on working without touching the destroyed highlighter.
    E.Lines()->Add(QStringLiteral("more */"));
    E.Lines()->Put(0, QStringLiteral("plain"));
    E.SetCaretXY(BufferCoord(3, 2));
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
    QVERIFY(E.IsWordBreakChar(QLatin1Char(' ')));
}

void TestLexEditState::keystrokeDifferencesRoundTrip() {
    TLexEdit E;
    QVERIFY(E.AddedKeystrokes().empty());
    QVERIFY(E.RemovedKeystrokes().empty());
    const TLexEditorCommand RemovedCmd = E.Keystrokes().Items(0)->Command();
    const uint16_t RemovedKey = E.Keystrokes().Items(0)->Key();
    E.Keystrokes().Delete(0);
    E.Keystrokes().AddKey(ecUserFirst, 'Q', TShiftState{ssCtrl, ssAlt, ssShift});
    const auto Added = E.AddedKeystrokes();
    const auto RemovedList = E.RemovedKeystrokes();
    QCOMPARE(int(Added.size()), 1);
    QCOMPARE(Added[0].Command, ecUserFirst);
    QCOMPARE(int(RemovedList.size()), 1);
    QCOMPARE(RemovedList[0].Command, RemovedCmd);
    QCOMPARE(RemovedList[0].Key, RemovedKey);
    // A fresh editor reading the two lists ends with the same entries.
    TLexEdit F;
    F.ReadRemovedKeystrokes(RemovedList);
    F.ReadAddedKeystrokes(Added);
    QCOMPARE(F.Keystrokes().Count(), E.Keystrokes().Count());
    QVERIFY(F.AddedKeystrokes() == Added);
    QVERIFY(F.RemovedKeystrokes() == RemovedList);
    F.SetKeystrokes(nullptr);
    QCOMPARE(F.Keystrokes().Count(), 0);
    F.SetKeystrokes(&E.Keystrokes());
    QCOMPARE(F.Keystrokes().Count(), E.Keystrokes().Count());
}

void TestLexEditState::commandHandlerRegistration() {
    TLexEdit E;
    int A = 0;
    int B = 0;
    int OwnerA = 0;
    int OwnerB = 0;
    E.RegisterCommandHandler(&OwnerA, nullptr, nullptr);
    QCOMPARE(E.HookedCommandHandlerCount(), 0);
    E.RegisterCommandHandler(
        &OwnerA, [&](TCustomLexEdit *, bool, bool &, TLexEditorCommand &, QChar &, void *, void *) { ++A; },
        nullptr);
    E.RegisterCommandHandler(
        &OwnerA,
        [&](TCustomLexEdit *, bool, bool &, TLexEditorCommand &, QChar &, void *, void *) { A += 100; },
        nullptr);
    E.RegisterCommandHandler(
        &OwnerB,
        [&](TCustomLexEdit *, bool After, bool &Handled, TLexEditorCommand &, QChar &, void *, void *Data) {
            ++B;
            QCOMPARE(Data, static_cast<void *>(&OwnerB));
            Handled = !After;
        },
        &OwnerB);
    QCOMPARE(E.HookedCommandHandlerCount(), 2);
    TLexEditorCommand Cmd = ecUp;
    QChar Ch;
    E.NotifyHookedCommandHandlers(false, Cmd, Ch, nullptr);
    QCOMPARE(A, 1);
    QCOMPARE(B, 1);
    QCOMPARE(Cmd, ecNone); // handled
    E.UnregisterCommandHandler(&OwnerA);
    QCOMPARE(E.HookedCommandHandlerCount(), 1);
    Cmd = ecDown;
    E.NotifyHookedCommandHandlers(true, Cmd, Ch, nullptr);
    QCOMPARE(A, 1);
    QCOMPARE(B, 2);
    QCOMPARE(Cmd, ecDown);
    // Focus controls and key handlers.
    QWidget W;
    E.AddFocusControl(&W);
    QCOMPARE(E.FocusControlCount(), 1);
    E.RemoveFocusControl(&W);
    QCOMPARE(E.FocusControlCount(), 0);
    const TLexHandlerId Id = E.AddKeyDownHandler([](QObject *, uint16_t &, TShiftState) {});
    QVERIFY(E.RemoveKeyDownHandler(Id));
    QVERIFY(!E.RemoveKeyDownHandler(Id));
}

void TestLexEditState::lineTextAndLines() {
    TLexEdit E;
    QCOMPARE(E.LineText(), QString());
    // Writing the caret line of an empty buffer appends it.
    E.SetLineText(QStringLiteral("first"));
    QCOMPARE(E.Lines()->Count(), 1);
    QCOMPARE(E.LineText(), QStringLiteral("first"));
    E.SetLines({QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(E.Lines()->ToStringList(), QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    E.SetCaretXY(BufferCoord(1, 2));
    E.SetLineText(QStringLiteral("B"));
    QCOMPARE(E.Text(), QStringLiteral("a\r\nB"));
    E.SetText(QStringLiteral("x\ny\nz"));
    QCOMPARE(E.Lines()->Count(), 3);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
}

QTEST_MAIN(TestLexEditState)
#include "tst_lexedit_state.moc"
