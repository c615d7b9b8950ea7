// SPDX-License-Identifier: MIT
// Editing: the random-command undo property, the command gate, and one regression test for each
// mended fault of the replacement primitive, the undo reversal and the typing commands.

#include "editing_helpers.h"
#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QtTest>

#include <climits>

using namespace lexedit;
using namespace editor_test;

namespace {

const QString Pair = QString::fromUtf8("\xF0\x9F\x98\x80");

void Run(TLexEdit &E, TLexEditorCommand Cmd, QChar C = QChar(0), void *Data = nullptr) {
    E.CommandProcessor(Cmd, C, Data);
}

QStringList LinesOf(TLexEdit &E) {
    return E.Lines()->ToStringList();
}

void GotoXY(TLexEdit &E, TLexEditorCommand Cmd, int Char, int Line) {
    TBufferCoord P = BufferCoord(Char, Line);
    E.CommandProcessor(Cmd, QChar(0), &P);
}

// The caret and both block ends stand at most one past their line's end.
bool WithinLines(TLexEdit &E) {
    for (const TBufferCoord &P : {E.CaretXY(), E.BlockBegin(), E.BlockEnd()})
        if (P.Char > E.Lines()->LineCharLength(P.Line - 1) + 1) return false;
    return true;
}

bool HasLoneSurrogate(const QString &S) {
    for (int i = 0; i < S.size(); ++i) {
        if (S[i].isHighSurrogate() && i + 1 < S.size() && S[i + 1].isLowSurrogate())
            ++i;
        else if (S[i].isSurrogate())
            return true;
    }
    return false;
}

} // namespace

class TestLexEditEdit : public QObject {
    Q_OBJECT

private slots:
    void randomCommandsKeepTheUndoProperty();
    void cancelledCommandReachesCommandProcessedAsNone();
    void everyHookedHandlerRunsAfterOneSetsHandled();
    // One test for each mended fault.
    void redoOfLineBreakSplitsOutsideTheGate();
    void smartBackspaceRemovesTheBlanksBeforeTheCaret();
    void fillBeforeAnEditIsUndoneWithIt();
    void backspaceDeleteLeftRightKeepSurrogatePairs();
    void lineModeSingleLineInsertIsUndoneExactly();
    void overwriteLineInsertRecordsTheReplacedLines();
    void lineDeleteAtTheLastLineIsUndoneExactly();
    void columnCopyDeleteAndUndoAgreeOnEachRow();
    void columnDeleteCaretAtTheLeftEdge();
    void columnInsertPastTheLastLineAppendsRecordedLines();
    void lineModeDeleteIsOneDeletion();
    void undoKeepsTheRestoredSelection();
    void textAfterNulIsKept();
    void endOfLineMarkerResolvedInEveryReversal();
    void trimmedTrailingBlanksComeBackOnUndo();
    void columnPasteNeverSplitsASurrogatePair();
    void columnUnindentUndoKeepsEveryCharacter();
    void shiftTabRemovesOnlyBlanksBeforeTheCaret();
    void lineModeTabDeletesNoSelectedCharacters();
    void selectionEndsNeverSplitASurrogatePair();
    void trimLimitsCaretAndBlockToTheShortenedLine();
    void undoRedoKeepTheCaretWithinTheLine();
    // Behaviour of the typing commands.
    void typingPastTheEndFillsAndOneUndoTakesBoth();
    void lineBreakIndentsLikeTheLineAbove();
    void deleteWordCases();
    void setMarkerTogglesAndMoves();
    // The indentation, case, line and bracket commands, and the clipboard's selection mode.
    void blockIndentAndUnindentShiftTheSelectedLines();
    void caseCommandsConvertTheSelectionOrTheWord();
    void lineCommandsCopyMoveAndDeleteLines();
    void matchingBracketSkipsStringsAndComments();
    void pasteKeepsTheCopiedSelectionMode();
};

void TestLexEditEdit::randomCommandsKeepTheUndoProperty() {
    TLexEdit E;
    int Total = 0;
    // LEXEDIT_SEED runs one sequence alone (to trace it with LEXEDIT_TRACE).
    const uint32_t Only = qEnvironmentVariableIntValue("LEXEDIT_SEED");
    // LEXEDIT_COMMANDS asks for a longer run.
    const int Wanted = std::max(300000, qEnvironmentVariableIntValue("LEXEDIT_COMMANDS"));
    for (uint32_t Seed = Only > 0 ? Only : 1; Total < Wanted; ++Seed) {
        TSeededChoices Choices(Seed);
        const TEditRunResult R = RunEditSequence(E, Choices, 250);
        Total += R.Commands;
        if (!R.Failure.isEmpty())
            QFAIL(qPrintable(QStringLiteral("seed %1: ").arg(Seed) + ShrinkFailure(E, R, 250)));
        if (Only > 0) return;
    }
    QVERIFY(Total >= Wanted);
}

void TestLexEditEdit::cancelledCommandReachesCommandProcessedAsNone() {
    TLexEdit E;
    E.SetText(QStringLiteral("abc"));
    E.OnProcessCommand = [](TCustomLexEdit *, TLexEditorCommand &Cmd, QChar &, void *) {
        if (Cmd == ecChar) Cmd = ecNone;
    };
    QList<TLexEditorCommand> Seen;
    E.OnCommandProcessed = [&](TCustomLexEdit *, TLexEditorCommand &Cmd, QChar &, void *) { Seen << Cmd; };
    int Hooked = 0;
    E.RegisterCommandHandler(
        &Hooked,
        [&](TCustomLexEdit *, bool, bool &, TLexEditorCommand &, QChar &, void *, void *) { ++Hooked; },
        nullptr);
    Run(E, ecChar, QLatin1Char('x'));
    QCOMPARE(E.Text(), QStringLiteral("abc"));
    QCOMPARE(Seen, QList<TLexEditorCommand>{ecNone});
    QCOMPARE(Hooked, 0);
    Run(E, ecRight);
    QCOMPARE(Seen.last(), ecRight);
    QCOMPARE(E.CaretX(), 2);
    QCOMPARE(Hooked, 2); // before and after
}

void TestLexEditEdit::everyHookedHandlerRunsAfterOneSetsHandled() {
    TLexEdit E;
    E.SetText(QStringLiteral("abc"));
    QStringList Calls;
    int Owners[3];
    for (int i = 0; i < 3; ++i)
        E.RegisterCommandHandler(
            &Owners[i],
            [&Calls, i](TCustomLexEdit *, bool After, bool &Handled, TLexEditorCommand &Cmd, QChar &, void *,
                        void *) {
                Calls << QStringLiteral("%1:%2:%3").arg(i).arg(After).arg(Cmd);
                if (i == 0) Handled = true;
            },
            nullptr);
    TLexEditorCommand Processed = 0xFFFF;
    E.OnCommandProcessed = [&](TCustomLexEdit *, TLexEditorCommand &Cmd, QChar &, void *) {
        Processed = Cmd;
    };
    Run(E, ecChar, QLatin1Char('x'));
    // All three ran before the command and saw it unchanged; the command did not run.
    QCOMPARE(Calls,
             (QStringList{QStringLiteral("0:0:511"), QStringLiteral("1:0:511"), QStringLiteral("2:0:511")}));
    QCOMPARE(E.Text(), QStringLiteral("abc"));
    QCOMPARE(Processed, ecNone);
}

void TestLexEditEdit::redoOfLineBreakSplitsOutsideTheGate() {
    TLexEdit E;
    E.SetText(QStringLiteral("    abc"));
    E.SetCaretXY(BufferCoord(8, 1));
    Run(E, ecLineBreak);
    const QString After = E.Text();
    QCOMPARE(After, QStringLiteral("    abc\r\n    "));
    // A handler that cancels every later line break cannot stop the redo, and the redo does not
    // type the indentation once more.
    E.OnProcessCommand = [](TCustomLexEdit *, TLexEditorCommand &Cmd, QChar &, void *) {
        if (Cmd == ecLineBreak || Cmd == ecChar) Cmd = ecNone;
    };
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("    abc"));
    E.Redo();
    QCOMPARE(E.Text(), After);
    // The whole break was one group: one undo takes all of it again.
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("    abc"));
    QVERIFY(!E.CanUndo());
}

void TestLexEditEdit::smartBackspaceRemovesTheBlanksBeforeTheCaret() {
    TLexEdit E;
    E.SetText(QStringLiteral(" x\r\n\t  y"));
    E.SetCaretXY(BufferCoord(4, 2)); // right after the three blanks
    Run(E, ecDeleteLastChar);
    // Down to the indentation of the line above (one blank): the two blanks before the caret go.
    QCOMPARE(E.Lines()->Get(1), QStringLiteral("\ty"));
    QCOMPARE(E.CaretXY(), BufferCoord(2, 2));
    E.Undo();
    QCOMPARE(E.Lines()->Get(1), QStringLiteral("\t  y"));
}

void TestLexEditEdit::fillBeforeAnEditIsUndoneWithIt() {
    TLexEdit E;
    // Overwrite past the line end inserts after the fill.
    E.SetText(QStringLiteral("ab"));
    E.SetInsertMode(false);
    E.SetCaretXY(BufferCoord(4, 1));
    Run(E, ecChar, QLatin1Char('x'));
    QCOMPARE(E.Text(), QStringLiteral("ab x"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab"));
    E.SetInsertMode(true);
    // An input-method string past the end.
    E.SetCaretXY(BufferCoord(5, 1));
    QString S = QStringLiteral("ime");
    Run(E, ecImeStr, QChar(0), &S);
    QCOMPARE(E.Text(), QStringLiteral("ab  ime"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab"));
    // Delete joining a short line.
    E.SetText(QStringLiteral("ab\r\ncd"));
    E.SetCaretXY(BufferCoord(5, 1));
    Run(E, ecDeleteChar);
    QCOMPARE(E.Text(), QStringLiteral("ab  cd"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab\r\ncd"));
    E.Redo();
    QCOMPARE(E.Text(), QStringLiteral("ab  cd"));
    // A normal insert past the end.
    E.SetText(QStringLiteral("ab"));
    E.SetCaretXY(BufferCoord(6, 1));
    E.SetSelText(QStringLiteral("p\r\nq"));
    QCOMPARE(E.Text(), QStringLiteral("ab   p\r\nq"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab"));
}

void TestLexEditEdit::backspaceDeleteLeftRightKeepSurrogatePairs() {
    TLexEdit E;
    const QString Text = QStringLiteral("a") + Pair + QStringLiteral("b");
    E.SetText(Text);
    E.SetCaretXY(BufferCoord(4, 1));
    Run(E, ecLeft);
    QCOMPARE(E.CaretX(), 2);
    Run(E, ecRight);
    QCOMPARE(E.CaretX(), 4);
    Run(E, ecDeleteLastChar);
    QCOMPARE(E.Text(), QStringLiteral("ab"));
    QCOMPARE(E.CaretX(), 2);
    E.Undo();
    QCOMPARE(E.Text(), Text);
    E.SetCaretXY(BufferCoord(2, 1));
    Run(E, ecDeleteChar);
    QCOMPARE(E.Text(), QStringLiteral("ab"));
    E.Undo();
    QCOMPARE(E.Text(), Text);
    // Overwriting the pair replaces both halves.
    E.SetInsertMode(false);
    E.SetCaretXY(BufferCoord(2, 1));
    Run(E, ecChar, QLatin1Char('x'));
    QCOMPARE(E.Text(), QStringLiteral("axb"));
    E.Undo();
    QCOMPARE(E.Text(), Text);
}

void TestLexEditEdit::lineModeSingleLineInsertIsUndoneExactly() {
    TLexEdit E;
    E.SetText(QStringLiteral("A\r\nB\r\nC\r\nD"));
    E.SetSelectionMode(smLine);
    E.SetCaretAndSelection(BufferCoord(2, 2), BufferCoord(1, 2), BufferCoord(2, 2));
    Run(E, ecChar, QLatin1Char('x'));
    QCOMPARE(LinesOf(E), (QStringList{"A", "xC", "D"}));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"A", "B", "C", "D"}));
}

void TestLexEditEdit::overwriteLineInsertRecordsTheReplacedLines() {
    TLexEdit E;
    E.SetText(QStringLiteral("A\r\nB\r\nC"));
    E.SetInsertMode(false);
    E.SetCaretXY(BufferCoord(1, 1));
    E.SetSelTextPrimitiveEx(smLine, QStringLiteral("x\r\ny\r\n"));
    QCOMPARE(LinesOf(E), (QStringList{"x", "y", "C"}));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"A", "B", "C"}));
    E.Redo();
    QCOMPARE(LinesOf(E), (QStringList{"x", "y", "C"}));
}

void TestLexEditEdit::lineDeleteAtTheLastLineIsUndoneExactly() {
    TLexEdit E;
    E.SetText(QStringLiteral("A\r\nB\r\nC"));
    E.SetSelectionMode(smLine);
    E.SetCaretAndSelection(BufferCoord(2, 3), BufferCoord(1, 2), BufferCoord(2, 3));
    E.SetSelText(QString());
    QCOMPARE(LinesOf(E), (QStringList{"A", ""}));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"A", "B", "C"}));
}

void TestLexEditEdit::columnCopyDeleteAndUndoAgreeOnEachRow() {
    TLexEdit E;
    E.SetTabWidth(4);
    E.SetText(QStringLiteral("a\tbcdef\r\nxy\r\n123456789"));
    E.SetSelectionMode(smColumn);
    // Display columns 3 to 8 (the 'f' of line 1 starts at column 9): the tab (columns 2..4)
    // starts left of the block and stays; the short row is padded in the copy only.
    E.SetCaretAndSelection(BufferCoord(7, 3), BufferCoord(3, 3), BufferCoord(7, 1));
    const QString Copied = E.SelText();
    QCOMPARE(Copied, QStringLiteral("bcde\r\n      \r\n345678"));
    E.SetSelText(QString());
    QCOMPARE(LinesOf(E), (QStringList{"a\tf", "xy", "129"}));
    // The undo text is exactly what was removed, without the padding of the copy.
    QCOMPARE(UndoStackItem(*E.UndoRedo(), false, 0).ChangeStr, QStringLiteral("bcde\r\n\r\n345678"));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"a\tbcdef", "xy", "123456789"}));
}

void TestLexEditEdit::columnDeleteCaretAtTheLeftEdge() {
    TLexEdit E;
    E.SetText(QStringLiteral("abcdef\r\nabcdef\r\nabcdef"));
    E.SetSelectionMode(smColumn);
    // The anchor is the right edge on the first line.
    E.SetCaretAndSelection(BufferCoord(2, 3), BufferCoord(5, 1), BufferCoord(2, 3));
    E.SetSelText(QString());
    QCOMPARE(LinesOf(E), (QStringList{"aef", "aef", "aef"}));
    QCOMPARE(E.CaretXY(), BufferCoord(2, 1));
}

void TestLexEditEdit::columnInsertPastTheLastLineAppendsRecordedLines() {
    TLexEdit E;
    E.SetText(QStringLiteral("ab"));
    E.SetCaretXY(BufferCoord(2, 1));
    E.BeginUndoBlock();
    E.SetSelTextPrimitiveEx(smColumn, QStringLiteral("1\r\n\r\n3"));
    E.EndUndoBlock();
    QCOMPARE(LinesOf(E), (QStringList{"a1b", "", " 3"}));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"ab"}));
    E.Redo();
    QCOMPARE(LinesOf(E), (QStringList{"a1b", "", " 3"}));
}

void TestLexEditEdit::lineModeDeleteIsOneDeletion() {
    TLexEdit E;
    E.SetText(QStringLiteral("1\r\n2\r\n3\r\n4\r\n5\r\n6"));
    TRecordingPlugin Plugin(&E);
    E.SetSelectionMode(smLine);
    E.SetCaretAndSelection(BufferCoord(1, 5), BufferCoord(1, 2), BufferCoord(1, 5));
    E.SetSelText(QString());
    QCOMPARE(LinesOf(E), (QStringList{"1", "6"}));
    QCOMPARE(Plugin.Log.filter(QStringLiteral("deleted")), QStringList{QStringLiteral("deleted 1 4")});
}

void TestLexEditEdit::undoKeepsTheRestoredSelection() {
    TLexEdit E;
    E.SetText(QStringLiteral("hello world"));
    E.SetCaretAndSelection(BufferCoord(12, 1), BufferCoord(7, 1), BufferCoord(12, 1));
    E.SetSelText(QString());
    QCOMPARE(E.Text(), QStringLiteral("hello "));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("hello world"));
    QVERIFY(E.SelAvail());
    QCOMPARE(E.SelText(), QStringLiteral("world"));
}

void TestLexEditEdit::textAfterNulIsKept() {
    TLexEdit E;
    const QString V = QStringLiteral("a") + QChar(0) + QStringLiteral("b\r\nc");
    E.SetSelText(V);
    QCOMPARE(E.Text(), V);
    E.SelectAll();
    E.SetSelText(QString());
    QCOMPARE(E.Text(), QString());
    E.Undo();
    QCOMPARE(E.Text(), V);
    QString Ime = QStringLiteral("x") + QChar(0) + QStringLiteral("y");
    E.SetCaretXY(BufferCoord(1, 1));
    Run(E, ecImeStr, QChar(0), &Ime);
    QCOMPARE(E.Lines()->Get(0), Ime + QStringLiteral("a") + QChar(0) + QStringLiteral("b"));
}

void TestLexEditEdit::endOfLineMarkerResolvedInEveryReversal() {
    TLexEdit E;
    E.SetText(QStringLiteral("abc"));
    // An insert recorded up to the end-of-line marker.
    E.UndoRedo()->AddUndoChange(crInsert, BufferCoord(2, 1), BufferCoord(INT_MAX, 1), QString(), smNormal);
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("a"));
    QCOMPARE(E.CaretXY(), BufferCoord(2, 1));
    E.Redo();
    QCOMPARE(E.Text(), QStringLiteral("abc"));
    QCOMPARE(E.CaretXY(), BufferCoord(4, 1));
    // A deletion recorded with the marker selects up to the real line end after undo.
    E.SetText(QStringLiteral("a"));
    E.UndoRedo()->AddUndoChange(crDelete, BufferCoord(2, 1), BufferCoord(INT_MAX, 1), QStringLiteral("XY"),
                                smNormal);
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("aXY"));
    QCOMPARE(E.SelText(), QStringLiteral("XY"));
    QCOMPARE(E.CaretXY(), BufferCoord(4, 1));
}

void TestLexEditEdit::typingPastTheEndFillsAndOneUndoTakesBoth() {
    TLexEdit E;
    E.SetText(QStringLiteral("ab"));
    E.SetCaretXY(BufferCoord(6, 1));
    Run(E, ecChar, QLatin1Char('x'));
    QCOMPARE(E.Text(), QStringLiteral("ab   x"));
    QCOMPARE(E.CaretX(), 7);
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab"));
    E.Redo();
    QCOMPARE(E.Text(), QStringLiteral("ab   x"));
    // Typing in overwrite mode right after the last character appends.
    E.SetInsertMode(false);
    Run(E, ecChar, QLatin1Char('y'));
    QCOMPARE(E.Text(), QStringLiteral("ab   xy"));
}

void TestLexEditEdit::lineBreakIndentsLikeTheLineAbove() {
    TLexEdit E;
    E.SetText(QStringLiteral("    abcd\r\nx\r\ny"));
    E.SetCaretXY(BufferCoord(7, 1));
    Run(E, ecLineBreak);
    QCOMPARE(LinesOf(E), (QStringList{"    ab", "    cd", "x", "y"}));
    QCOMPARE(E.CaretXY(), BufferCoord(5, 2));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("    abcd\r\nx\r\ny"));
    E.Redo();
    QCOMPARE(LinesOf(E), (QStringList{"    ab", "    cd", "x", "y"}));
    // At column 1 of line 3: an empty line 3, the caret on line 4.
    E.SetCaretXY(BufferCoord(1, 3));
    Run(E, ecLineBreak);
    QCOMPARE(LinesOf(E), (QStringList{"    ab", "    cd", "", "x", "y"}));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 4));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"    ab", "    cd", "x", "y"}));
}

void TestLexEditEdit::deleteWordCases() {
    TLexEdit E;
    E.SetText(QStringLiteral("ab cd,ef\r\nlast"));
    // Caret moves through ecGotoXY end the undo group, as the keys do.
    TBufferCoord P = BufferCoord(3, 1); // on the space
    Run(E, ecGotoXY, QChar(0), &P);
    Run(E, ecDeleteWord);
    QCOMPARE(E.Lines()->Get(0), QStringLiteral("ab cd,ef"));
    P = BufferCoord(6, 1); // on the comma
    Run(E, ecGotoXY, QChar(0), &P);
    Run(E, ecDeleteWord);
    QCOMPARE(E.Lines()->Get(0), QStringLiteral("ab cdef"));
    P = BufferCoord(5, 1); // inside a word
    Run(E, ecGotoXY, QChar(0), &P);
    Run(E, ecDeleteWord);
    E.UndoRedo()->AddGroupBreak();
    QCOMPARE(E.Lines()->Get(0), QStringLiteral("ab c"));
    Run(E, ecDeleteWord); // at the line end: joins the next line
    QCOMPARE(E.Text(), QStringLiteral("ab clast"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab c\r\nlast"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab cdef\r\nlast"));
}

void TestLexEditEdit::setMarkerTogglesAndMoves() {
    TLexEdit E;
    E.SetText(QStringLiteral("a\r\nb\r\nc"));
    E.SetCaretXY(BufferCoord(1, 2));
    Run(E, ecSetMarker3);
    QCOMPARE(E.Marks().Count(), 1);
    QCOMPARE(E.Marks().Items(0).Line, 2);
    E.SetCaretXY(BufferCoord(1, 3));
    Run(E, ecSetMarker3);
    QCOMPARE(E.Marks().Count(), 1);
    QCOMPARE(E.Marks().Items(0).Line, 3);
    Run(E, ecSetMarker3);
    QCOMPARE(E.Marks().Count(), 0);
}

void TestLexEditEdit::trimmedTrailingBlanksComeBackOnUndo() {
    TLexEdit E;
    TLexEditorOptions Options = LEXEDIT_DEFAULT_OPTIONS;
    Options.Include(eoTrimTrailingSpaces);
    E.SetOptions(Options);
    // A column insert writes its rows without trailing blanks; undo gives them back.
    E.SetText(QStringLiteral("ab  \r\ncd"));
    E.SetCaretXY(BufferCoord(1, 1));
    E.SetSelTextPrimitiveEx(smColumn, QStringLiteral("x\r\ny"));
    QCOMPARE(LinesOf(E), (QStringList{"xab", "ycd"}));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab  \r\ncd"));
    E.Redo();
    QCOMPARE(LinesOf(E), (QStringList{"xab", "ycd"}));
    // Text typed in front of trailing blanks, ending with blanks itself: the caret ends where
    // the line now ends.
    E.SetText(QStringLiteral("ab  \r\ncd"));
    E.SetCaretXY(BufferCoord(3, 1));
    E.SetSelTextPrimitiveEx(smNormal, QStringLiteral("q "));
    QCOMPARE(LinesOf(E), (QStringList{"abq", "cd"}));
    QCOMPARE(E.CaretXY(), BufferCoord(4, 1));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab  \r\ncd"));
    // The caret moving on inside a multi-line insert does not trim the line it leaves before
    // the insert is recorded.
    E.SetText(QString());
    E.SetSelTextPrimitiveEx(smNormal, QStringLiteral("a  \r\nb"));
    QCOMPARE(LinesOf(E), (QStringList{"a", "b"}));
    E.Undo();
    QCOMPARE(E.Text(), QString());
    E.Redo();
    QCOMPARE(LinesOf(E), (QStringList{"a", "b"}));
    // Backspace joining a line of blanks: the caret leaving it trims it first.
    E.SetText(QStringLiteral("x\r\n\t"));
    E.SetCaretXY(BufferCoord(1, 2));
    Run(E, ecDeleteLastChar);
    QCOMPARE(E.Text(), QStringLiteral("x"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("x\r\n\t"));
}

void TestLexEditEdit::columnPasteNeverSplitsASurrogatePair() {
    TLexEdit E;
    const QString Text = QStringLiteral("abc\r\na") + Pair + QStringLiteral("b");
    E.SetText(Text);
    // Character 3 of line 2 is the pair's second half: that row takes its piece before the pair.
    E.SetCaretXY(BufferCoord(3, 1));
    E.SetSelTextPrimitiveEx(smColumn, QStringLiteral("X\r\nY"));
    QCOMPARE(LinesOf(E), (QStringList{"abXc", QStringLiteral("aY") + Pair + QStringLiteral("b")}));
    E.Undo();
    QCOMPARE(E.Text(), Text);
    E.Redo();
    QCOMPARE(E.Lines()->Get(1), QStringLiteral("aY") + Pair + QStringLiteral("b"));
    // Nor does the caret stand between the halves, or a normal selection end there.
    E.SetText(Text);
    E.SetCaretXY(BufferCoord(3, 2));
    QCOMPARE(E.CaretXY(), BufferCoord(2, 2));
    E.SetCaretAndSelection(BufferCoord(3, 2), BufferCoord(1, 2), BufferCoord(3, 2));
    E.SetActiveSelectionMode(smNormal); // the undo above left the column mode active
    E.SetSelText(QString());
    QCOMPARE(E.Lines()->Get(1), Pair + QStringLiteral("b"));
}

void TestLexEditEdit::blockIndentAndUnindentShiftTheSelectedLines() {
    TLexEdit E;
    E.SetTabWidth(4);
    // A selection ending at the start of line 5 indents lines 2 to 4.
    E.SetText(QStringLiteral("a\r\nb\r\nc\r\nd\r\ne"));
    E.SetCaretAndSelection(BufferCoord(1, 5), BufferCoord(1, 2), BufferCoord(1, 5));
    Run(E, ecBlockIndent);
    const QStringList Indented{"a", "    b", "    c", "    d", "e"};
    QCOMPARE(LinesOf(E), Indented);
    QCOMPARE(E.BlockBegin(), BufferCoord(5, 2));
    QCOMPARE(E.BlockEnd(), BufferCoord(1, 5));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("a\r\nb\r\nc\r\nd\r\ne"));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 2));
    QCOMPARE(E.BlockEnd(), BufferCoord(1, 5));
    QCOMPARE(E.ActiveSelectionMode(), smNormal);
    E.Redo();
    QCOMPARE(LinesOf(E), Indented);
    // Unindent takes two spaces and a tab together, and at most a tab width of spaces.
    E.SetText(QStringLiteral("  \tX\r\n      Y\r\nZ"));
    E.SetCaretAndSelection(BufferCoord(2, 2), BufferCoord(1, 1), BufferCoord(2, 2));
    Run(E, ecBlockUnindent);
    QCOMPARE(LinesOf(E), (QStringList{"X", "  Y", "Z"}));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("  \tX\r\n      Y\r\nZ"));
    E.Redo();
    QCOMPARE(LinesOf(E), (QStringList{"X", "  Y", "Z"}));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(1, 2));
    // With tab indent, Tab and Shift+Tab indent and unindent the selected lines.
    TLexEditorOptions Options = LEXEDIT_DEFAULT_OPTIONS;
    Options.Include(eoTabIndent);
    Options.Exclude(eoTabsToSpaces);
    E.SetOptions(Options);
    E.SetText(QStringLiteral("p\r\nq"));
    E.SetCaretAndSelection(BufferCoord(2, 2), BufferCoord(1, 1), BufferCoord(2, 2));
    Run(E, ecTab);
    QCOMPARE(LinesOf(E), (QStringList{"\tp", "\tq"}));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(3, 2));
    Run(E, ecShiftTab);
    QCOMPARE(LinesOf(E), (QStringList{"p", "q"}));
    // In column mode the unit goes in, and the indentation comes out, at the block's left
    // character of every row.
    E.SetText(QStringLiteral("abcd\r\nefgh"));
    E.SetSelectionMode(smColumn);
    E.SetCaretAndSelection(BufferCoord(4, 2), BufferCoord(3, 1), BufferCoord(4, 2));
    Run(E, ecBlockIndent);
    QCOMPARE(LinesOf(E), (QStringList{"ab\tcd", "ef\tgh"}));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("abcd\r\nefgh"));
    E.SetText(QStringLiteral("ab\tcd\r\nef  gh"));
    E.SetCaretAndSelection(BufferCoord(4, 2), BufferCoord(3, 1), BufferCoord(4, 2));
    Run(E, ecBlockUnindent);
    QCOMPARE(LinesOf(E), (QStringList{"abcd", "efgh"}));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("ab\tcd\r\nef  gh"));
}

void TestLexEditEdit::caseCommandsConvertTheSelectionOrTheWord() {
    TLexEdit E;
    // Without a selection the word at the caret changes; caret and (empty) selection stay.
    E.SetText(QStringLiteral("one hELLo two"));
    E.SetCaretXY(BufferCoord(7, 1));
    Run(E, ecToggleCase);
    QCOMPARE(E.Text(), QStringLiteral("one HellO two"));
    QCOMPARE(E.CaretXY(), BufferCoord(7, 1));
    QVERIFY(!E.SelAvail());
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("one hELLo two"));
    QCOMPARE(E.CaretXY(), BufferCoord(7, 1));
    // Title case on two words keeps the selection; upper and lower case convert all of it.
    E.SetText(QStringLiteral("fOO bAR baz"));
    E.SetCaretAndSelection(BufferCoord(8, 1), BufferCoord(1, 1), BufferCoord(8, 1));
    Run(E, ecTitleCase);
    QCOMPARE(E.Text(), QStringLiteral("Foo Bar baz"));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(8, 1));
    Run(E, ecUpperCase);
    QCOMPARE(E.Text(), QStringLiteral("FOO BAR baz"));
    Run(E, ecLowerCase);
    QCOMPARE(E.Text(), QStringLiteral("foo bar baz"));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("FOO BAR baz"));
    // A column block: only its own characters change, no row is padded or moved.
    E.SetText(QStringLiteral("abcdef\r\nab\r\nabcdef"));
    E.SetSelectionMode(smColumn);
    E.SetCaretAndSelection(BufferCoord(5, 3), BufferCoord(3, 1), BufferCoord(5, 3));
    Run(E, ecUpperCase);
    QCOMPARE(LinesOf(E), (QStringList{"abCDef", "ab", "abCDef"}));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("abcdef\r\nab\r\nabcdef"));
}

void TestLexEditEdit::lineCommandsCopyMoveAndDeleteLines() {
    TLexEdit E;
    const QString Five = QStringLiteral("1\r\n2\r\n3\r\n4\r\n5");
    E.SetText(Five);
    // Moving line 2 down swaps it with line 3; the caret stays on its text.
    E.SetCaretXY(BufferCoord(1, 2));
    Run(E, ecMoveLineDown);
    QCOMPARE(LinesOf(E), (QStringList{"1", "3", "2", "4", "5"}));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 3));
    E.Undo();
    QCOMPARE(E.Text(), Five);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 2));
    // Line 1 does not move up; the last line does not move down.
    E.SetCaretXY(BufferCoord(1, 1));
    Run(E, ecMoveLineUp);
    E.SetCaretXY(BufferCoord(1, 5));
    Run(E, ecMoveLineDown);
    QCOMPARE(E.Text(), Five);
    // Lines 2 and 3 selected up to the start of line 4: copied below, the selection follows.
    E.SetCaretAndSelection(BufferCoord(1, 4), BufferCoord(1, 2), BufferCoord(1, 4));
    Run(E, ecCopyLineDown);
    QCOMPARE(LinesOf(E), (QStringList{"1", "2", "3", "2", "3", "4", "5"}));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 4));
    QCOMPARE(E.BlockEnd(), BufferCoord(1, 6));
    // Copied above, the caret stays on the same line number (the original's copy).
    E.SetCaretXY(BufferCoord(1, 7));
    Run(E, ecCopyLineUp);
    QCOMPARE(LinesOf(E), (QStringList{"1", "2", "3", "2", "3", "4", "5", "5"}));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 7));
    // Moving lines up takes the selection along.
    E.SetCaretAndSelection(BufferCoord(2, 5), BufferCoord(1, 4), BufferCoord(2, 5));
    Run(E, ecMoveLineUp);
    QCOMPARE(LinesOf(E), (QStringList{"1", "2", "2", "3", "3", "4", "5", "5"}));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 3));
    QCOMPARE(E.BlockEnd(), BufferCoord(2, 4));
    // Deleting the last line empties it and keeps it.
    E.SetText(QStringLiteral("a\r\nb"));
    E.SetCaretXY(BufferCoord(2, 2));
    Run(E, ecDeleteLine);
    QCOMPARE(LinesOf(E), (QStringList{"a", ""}));
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("a\r\nb"));
}

void TestLexEditEdit::matchingBracketSkipsStringsAndComments() {
    const QString Code = QStringLiteral("<?php\r\nf(a, \")\", (b)); // )\r\n{\r\n  [x] <y>\r\n}");
    const auto MatchFrom = [](TLexEdit &E, const TBufferCoord &P) {
        E.SetCaretXY(P);
        Run(E, ecMatchBracket);
        return E.CaretXY();
    };
    {
        // Without a highlighter the quoted parenthesis counts.
        TLexEdit E;
        E.SetText(Code);
        QCOMPARE(MatchFrom(E, BufferCoord(2, 2)), BufferCoord(7, 2));
    }
    TLexPHPLex Php;
    TLexEdit E;
    E.SetHighlighter(&Php);
    E.SetText(Code);
    // The string's and the comment's parentheses are skipped, forwards and backwards.
    QCOMPARE(MatchFrom(E, BufferCoord(2, 2)), BufferCoord(14, 2));
    QCOMPARE(MatchFrom(E, BufferCoord(14, 2)), BufferCoord(2, 2));
    QCOMPARE(MatchFrom(E, BufferCoord(11, 2)), BufferCoord(13, 2));
    // Across lines, with nesting of other kinds in between; angle brackets pair too.
    QCOMPARE(MatchFrom(E, BufferCoord(1, 3)), BufferCoord(1, 5));
    QCOMPARE(MatchFrom(E, BufferCoord(1, 5)), BufferCoord(1, 3));
    QCOMPARE(MatchFrom(E, BufferCoord(7, 4)), BufferCoord(9, 4));
    // No bracket, or no partner (the commented one): (0, 0), and the caret stays.
    QCOMPARE(E.GetMatchingBracketEx(BufferCoord(1, 2)), BufferCoord(0, 0));
    QCOMPARE(MatchFrom(E, BufferCoord(20, 2)), BufferCoord(20, 2));
    QString Token;
    TLexHighlighterAttributes *Attri = nullptr;
    QVERIFY(E.GetHighlighterAttriAtRowCol(BufferCoord(7, 2), Token, Attri));
    QCOMPARE(Token, QStringLiteral("\")\""));
    QCOMPARE(Attri, Php.GetDefaultAttribute(LEX_ATTR_STRING));
}

void TestLexEditEdit::pasteKeepsTheCopiedSelectionMode() {
    TLexEdit E;
    const QString Abc = QStringLiteral("abc\r\ndef\r\nghi");
    // A column block pastes as a column, also into an editor in normal mode.
    E.SetText(Abc);
    E.SetSelectionMode(smColumn);
    E.SetCaretAndSelection(BufferCoord(3, 2), BufferCoord(2, 1), BufferCoord(3, 2));
    Run(E, ecCopy);
    E.SetSelectionMode(smNormal);
    E.SetCaretXY(BufferCoord(1, 3));
    Run(E, ecPaste);
    QCOMPARE(LinesOf(E), (QStringList{"abc", "def", "bghi", "e"}));
    E.Undo();
    QCOMPARE(E.Text(), Abc);
    // Selected lines paste as lines, before the caret's line.
    E.SetSelectionMode(smLine);
    E.SetCaretAndSelection(BufferCoord(2, 1), BufferCoord(1, 1), BufferCoord(2, 1));
    Run(E, ecCut);
    QCOMPARE(LinesOf(E), (QStringList{"def", "ghi"}));
    E.SetSelectionMode(smNormal);
    E.SetCaretXY(BufferCoord(2, 2));
    Run(E, ecPaste);
    QCOMPARE(LinesOf(E), (QStringList{"def", "abc", "ghi"}));
    // Text from elsewhere carries no mode: it pastes in the editor's selection mode.
    QGuiApplication::clipboard()->setText(QStringLiteral("x\r\ny"));
    E.SetText(Abc);
    E.SetCaretXY(BufferCoord(2, 1));
    Run(E, ecPaste);
    QCOMPARE(LinesOf(E), (QStringList{"ax", "ybc", "def", "ghi"}));
    E.SetText(Abc);
    E.SetSelectionMode(smColumn);
    E.SetCaretXY(BufferCoord(2, 1));
    Run(E, ecPaste);
    QCOMPARE(LinesOf(E), (QStringList{"axbc", "dyef", "ghi"}));
}

void TestLexEditEdit::columnUnindentUndoKeepsEveryCharacter() {
    TLexEdit E;
    E.SetTabWidth(4);
    E.SetSelectionMode(smLine);
    E.SetText(QStringLiteral("    ba"));
    E.Lines()->Add(QString());
    QCOMPARE(LinesOf(E), (QStringList{"    ba", ""}));
    Run(E, ecRight);
    Run(E, ecColumnSelect);
    GotoXY(E, ecSelGotoXY, 3, 7);
    Run(E, ecBlockUnindent);
    const QString Unindented = E.Text();
    Run(E, ecNormalSelect);
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"    ba", ""}));
    E.Redo();
    QCOMPARE(E.Text(), Unindented);
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"    ba", ""}));
}

void TestLexEditEdit::shiftTabRemovesOnlyBlanksBeforeTheCaret() {
    TLexEdit E;
    E.SetOptions(LEXEDIT_DEFAULT_OPTIONS - TLexEditorOptions{eoSmartTabs});
    E.SetTabWidth(8);
    // At or past the line end, or after letters: the caret moves, no letter goes.
    for (int X : {11, 12, 17}) {
        E.SetText(QStringLiteral("abcdefghij"));
        E.SetCaretXY(BufferCoord(X, 1));
        Run(E, ecShiftTab);
        QCOMPARE(E.Text(), QStringLiteral("abcdefghij"));
        QVERIFY2(E.CaretX() < X, qPrintable(QString::number(X)));
        QVERIFY(!E.CanUndo() || (E.Undo(), E.Text() == QStringLiteral("abcdefghij")));
    }
    // Smart Shift+Tab to a word start above, with a letter before the caret.
    E.SetOptions(LEXEDIT_DEFAULT_OPTIONS);
    E.SetText(QStringLiteral("xxxxxxxxxx yyyy\r\nabcdefghijklmn"));
    E.SetCaretXY(BufferCoord(13, 2));
    Run(E, ecShiftTab);
    QCOMPARE(LinesOf(E), (QStringList{"xxxxxxxxxx yyyy", "abcdefghijklmn"}));
    QCOMPARE(E.CaretX(), 12);
    // Blanks directly before the caret still go, as far as the previous tab stop.
    E.SetOptions(LEXEDIT_DEFAULT_OPTIONS - TLexEditorOptions{eoSmartTabs});
    E.SetTabWidth(4);
    E.SetText(QStringLiteral("ab    cd"));
    E.SetCaretXY(BufferCoord(7, 1));
    Run(E, ecShiftTab);
    QCOMPARE(E.Text(), QStringLiteral("ab  cd"));
    QCOMPARE(E.CaretX(), 5);
    E.SetText(QStringLiteral("ab x  cd"));
    E.SetCaretXY(BufferCoord(7, 1));
    Run(E, ecShiftTab);
    QCOMPARE(E.Text(), QStringLiteral("ab xcd"));
    QCOMPARE(E.CaretX(), 5);
}

void TestLexEditEdit::lineModeTabDeletesNoSelectedCharacters() {
    TLexEdit E;
    E.SetTabWidth(4);
    const QString Start = QStringLiteral("first\r\nabc def\r\nlast");
    for (const bool TabIndent : {false, true}) {
        E.SetOptions(LEXEDIT_DEFAULT_OPTIONS - TLexEditorOptions{eoSmartTabs, eoTabIndent} +
                     TLexEditorOptions{eoTabsToSpaces} +
                     (TabIndent ? TLexEditorOptions{eoTabIndent} : TLexEditorOptions{}));
        // Two characters selected in line mode show the whole caret line: Tab indents it,
        // Shift+Tab takes the indent away again, and then has nothing left to take.
        E.SetText(Start);
        Run(E, ecLineSelect);
        GotoXY(E, ecGotoXY, 1, 2);
        Run(E, ecSelRight);
        Run(E, ecSelRight);
        Run(E, ecTab);
        QCOMPARE(LinesOf(E), (QStringList{"first", "    abc def", "last"}));
        Run(E, ecShiftTab);
        Run(E, ecShiftTab);
        QCOMPARE(E.Text(), Start);
        // Lines selected down to the start of the last one include it.
        E.SetCaretAndSelection(BufferCoord(1, 3), BufferCoord(3, 2), BufferCoord(1, 3));
        Run(E, ecTab);
        QCOMPARE(LinesOf(E), (QStringList{"first", "    abc def", "    last"}));
        Run(E, ecNormalSelect);
    }
}

void TestLexEditEdit::selectionEndsNeverSplitASurrogatePair() {
    TLexEdit E;
    const QString S = QStringLiteral("ab") + Pair + QStringLiteral("cd");
    E.SetText(S);
    E.SetSelStart(0);
    E.SetSelLength(3);
    QCOMPARE(E.SelText(), QStringLiteral("ab"));
    E.SetSelEnd(3);
    QVERIFY(!HasLoneSurrogate(E.SelText()));
    E.SetCaretAndSelection(BufferCoord(4, 1), BufferCoord(4, 1), BufferCoord(6, 1));
    QCOMPARE(E.BlockBegin().Char, 3);
    E.SetBlockBegin(BufferCoord(4, 1));
    E.SetBlockEnd(BufferCoord(1, 1));
    QCOMPARE(E.SelText(), QStringLiteral("ab"));
    E.MoveCaretAndSelection(BufferCoord(1, 1), BufferCoord(4, 1), true);
    QVERIFY(!HasLoneSurrogate(E.SelText()));
    for (TLexSelectionMode Mode : {smNormal, smColumn}) {
        E.SetSelectionMode(Mode);
        E.SetText(Pair);
        QGuiApplication::clipboard()->clear();
        GotoXY(E, ecSelGotoXY, 2, 1);
        Run(E, ecCut);
        Run(E, ecPaste);
        QCOMPARE(E.Text(), Pair);
    }
    // Column unindent with its block ends inside pairs on each row.
    E.SetSelectionMode(smColumn);
    E.SetText(Pair + QStringLiteral("  x\r\n") + Pair + QStringLiteral("  y"));
    E.SetCaretAndSelection(BufferCoord(2, 2), BufferCoord(2, 1), BufferCoord(2, 2));
    Run(E, ecBlockUnindent);
    QVERIFY2(!HasLoneSurrogate(E.Text()), qPrintable(E.Text()));
    E.Undo();
    QCOMPARE(E.Text(), Pair + QStringLiteral("  x\r\n") + Pair + QStringLiteral("  y"));
}

void TestLexEditEdit::trimLimitsCaretAndBlockToTheShortenedLine() {
    TLexEdit E;
    E.SetOptions(LEXEDIT_DEFAULT_OPTIONS + TLexEditorOptions{eoTrimTrailingSpaces});
    E.SetSelectionMode(smColumn);
    E.SetText(QString());
    E.SetSelTextPrimitiveEx(smColumn, QStringLiteral("  "));
    QCOMPARE(E.Text(), QString());
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    QVERIFY(WithinLines(E));

    E.SetText(QStringLiteral("one\r\ntwo"));
    Run(E, ecColumnSelect);
    Run(E, ecDeleteLine);
    E.SetSelText(QStringLiteral("(x)\r\n[y]  \r\n"));
    QVERIFY2(WithinLines(E), qPrintable(E.Text()));

    // Typing over a column selection whose rows end in blanks.
    E.SetText(QStringLiteral("ab  \r\ncd  "));
    E.SetCaretAndSelection(BufferCoord(5, 2), BufferCoord(3, 1), BufferCoord(5, 2));
    Run(E, ecDeleteChar);
    QVERIFY2(WithinLines(E), qPrintable(E.Text()));

    // A selecting move off a line that loses its trailing blanks.
    E.SetOptions(LEXEDIT_DEFAULT_OPTIONS + TLexEditorOptions{eoTrimTrailingSpaces} -
                 TLexEditorOptions{eoScrollPastEol});
    E.SetSelectionMode(smNormal);
    E.SetText(QString());
    Run(E, ecInsertLine);
    Run(E, ecTab);
    Run(E, ecSelRight);
    QCOMPARE(LinesOf(E), (QStringList{"", ""}));
    QVERIFY2(WithinLines(E), qPrintable(E.Text()));
    const QString Text = E.Text();
    E.Undo();
    E.Redo();
    QCOMPARE(E.Text(), Text);
}

void TestLexEditEdit::undoRedoKeepTheCaretWithinTheLine() {
    TLexEdit E;
    E.SetOptions(LEXEDIT_DEFAULT_OPTIONS - TLexEditorOptions{eoScrollPastEol});
    E.SetSelectionMode(smLine);
    E.SetText(QStringLiteral("e\r\n "));
    GotoXY(E, ecGotoXY, 9, 26);
    Run(E, ecDeleteLine);
    E.SetCaretAndSelection(BufferCoord(4, 19), BufferCoord(0, 1), BufferCoord(4, 19));
    Run(E, ecDeleteChar);
    E.Undo();
    QVERIFY2(WithinLines(E), qPrintable(E.Text()));
    E.Redo();
    QVERIFY2(WithinLines(E), qPrintable(E.Text()));

    E.SetSelectionMode(smNormal);
    E.SetText(QStringLiteral("S"));
    E.SetInsertMode(false);
    Run(E, ecDeleteEOL);
    E.Undo();
    QCOMPARE(E.Text(), QStringLiteral("S"));
    E.Redo();
    QCOMPARE(E.Text(), QString());
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    E.SetInsertMode(true);
}

QTEST_MAIN(TestLexEditEdit)
#include "tst_lexedit_edit.moc"
