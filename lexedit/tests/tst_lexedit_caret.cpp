// SPDX-License-Identifier: MIT
// Caret, selection and coordinate mapping: display and buffer positions, selected text in every
// mode, character offsets, words, Home and End, vertical moves, the empty buffer.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QtTest>

#include <climits>

using namespace lexedit;
using namespace editor_test;

namespace {

// The 1-based positions that start a character of S, and the one after its end.
QList<int> CharStarts(const QString &S) {
    QList<int> R;
    for (int i = 0; i < S.size(); ++i)
        if (!(S[i].isLowSurrogate() && i > 0 && S[i - 1].isHighSurrogate())) R << i + 1;
    R << int(S.size()) + 1;
    return R;
}

// An editor whose undo callback moves the caret to another line, as undoing an edit does.
class TUndoMovingEdit : public TLexEdit {
public:
    int Undone = 0;

protected:
    void DoUndoItem(const TLexEditUndoItem &Item) override {
        ++Undone;
        SetCaretXY(Item.ChangeStartPos);
    }
};

} // namespace

class TestLexEditCaret : public QObject {
    Q_OBJECT

private slots:
    void displayBufferRoundTrip_data();
    void displayBufferRoundTrip();
    void tabsAndWideGlyphColumns();
    void hugePositionsDoNotOverflow();
    void selText_data();
    void selText();
    void selStartAndLengthMatchText();
    void charIndexBeyondText();
    void words_data();
    void words();
    void wordBlockAndWordAtCursor();
    void wordCharsWithAdditionalSetsAndHighlighter();
    void homeAndEnd_data();
    void homeAndEnd();
    void verticalMovesRememberColumn();
    void horizontalMovesAcrossLines();
    void emptyBufferGivesOneOne();
    void selectingMoveStartsAtCaretWhateverMovedIt();
    void trimTrailingSpacesIsUndoableAndNotDuringUndo();
    void selectionModesAndAvailability();
    void dragAfterDoubleClickExtendsByWords();
    void dragAfterTripleClickExtendsByLines();
    void nextWordFromBeforeLastCharacterMovesToLineEnd();
};

void TestLexEditCaret::displayBufferRoundTrip_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("tabWidth");
    QTest::newRow("tabs") << QStringLiteral("a\tbc\t\td\t") << 4;
    QTest::newRow("tabs width 8") << QStringLiteral("\t\tx\ty") << 8;
    QTest::newRow("wide") << QStringLiteral("\x4E2D\x6587\tab\x4E2D") << 4;
    QTest::newRow("combining") << QStringLiteral("e\x0301\x0301x\ty\x0308") << 8;
    QTest::newRow("surrogate pairs") << QString::fromUtf8("\xF0\x9F\x98\x80"
                                                          "a\t\xF0\x9F\x98\x80\xF0\x9F\x98\x80")
                                     << 4;
    QTest::newRow("lone surrogates") << (QString(QChar(0xD800)) + QLatin1Char('a') + QChar(0xDC00) +
                                         QLatin1Char('\t'))
                                     << 4;
    QTest::newRow("zero width") << QStringLiteral("\x200B\x200Bz\x200D") << 2;
    QTest::newRow("tab width 1") << QStringLiteral("\t\ta\t") << 1;
    QTest::newRow("empty") << QString() << 8;
}

void TestLexEditCaret::displayBufferRoundTrip() {
    QFETCH(QString, line);
    QFETCH(int, tabWidth);
    TLexEdit E;
    E.SetTabWidth(tabWidth);
    E.SetLines({QStringLiteral("above"), line});
    const QList<int> Starts = CharStarts(line);
    QList<int> Columns;
    for (int Char : Starts) {
        const TDisplayCoord D = E.BufferToDisplayPos(BufferCoord(Char, 2));
        QCOMPARE(D.Row, 2);
        Columns << D.Column;
        QCOMPARE(E.DisplayToBufferPos(D), BufferCoord(Char, 2));
    }
    // Every character takes at least one column.
    for (int i = 1; i < Columns.size(); ++i)
        QVERIFY2(Columns[i] > Columns[i - 1], qPrintable(QStringLiteral("char %1").arg(Starts[i - 1])));
    // A column inside a character maps to that character's start.
    for (int C = 1; C < Columns.back(); ++C) {
        const TBufferCoord B = E.DisplayToBufferPos(DisplayCoord(C, 2));
        const int k = int(Starts.indexOf(B.Char));
        QVERIFY2(k >= 0 && k + 1 < Starts.size(), qPrintable(QStringLiteral("column %1").arg(C)));
        QVERIFY(Columns[k] <= C && C < Columns[k + 1]);
    }
    // Past the end: one column per position, both ways.
    for (int Extra = 0; Extra < 4; ++Extra) {
        const TBufferCoord B = BufferCoord(int(line.size()) + 1 + Extra, 2);
        QCOMPARE(E.BufferToDisplayPos(B).Column, Columns.back() + Extra);
        QCOMPARE(E.DisplayToBufferPos(E.BufferToDisplayPos(B)), B);
    }
    // The display form used for painting has as many cells as the mapping counts.
    QCOMPARE(E.Lines()->ExpandedStringLengths(1), Columns.back() - 1);
    // Lines beyond the buffer map one to one.
    QCOMPARE(E.BufferToDisplayPos(BufferCoord(7, 9)), DisplayCoord(7, 9));
    QCOMPARE(E.DisplayToBufferPos(DisplayCoord(7, 9)), BufferCoord(7, 9));
}

void TestLexEditCaret::tabsAndWideGlyphColumns() {
    TLexEdit E;
    E.SetTabWidth(4);
    const QString Wide = QStringLiteral("\x4E2D");
    E.SetLines({QStringLiteral("ab\tc"), Wide + QStringLiteral("x")});
    QCOMPARE(E.BufferToDisplayPos(BufferCoord(3, 1)).Column, 3); // the tab starts at column 3
    QCOMPARE(E.BufferToDisplayPos(BufferCoord(4, 1)).Column, 5); // and ends at the stop
    QCOMPARE(E.DisplayToBufferPos(DisplayCoord(4, 1)).Char, 3);
    const int WideCols = E.TextDrawer().CharColumns(Wide, 0);
    QVERIFY(WideCols >= 1);
    QCOMPARE(E.BufferToDisplayPos(BufferCoord(2, 2)).Column, 1 + WideCols);
    const QString Expanded = E.ExpandAtWideGlyphs(Wide + QStringLiteral("x"));
    QCOMPARE(Expanded.size(), qsizetype(WideCols + 1));
    QCOMPARE(Expanded.back(), QLatin1Char('x'));
    QCOMPARE(Expanded[WideCols - 1], Wide[0]);
    for (int i = 0; i + 1 < WideCols; ++i)
        QCOMPARE(Expanded[i], FillerChar);
}

void TestLexEditCaret::hugePositionsDoNotOverflow() {
    TLexEdit E;
    E.SetLines({QStringLiteral("\x4E2D\tword"), QStringLiteral("x")});
    QCOMPARE(E.BufferToDisplayPos(BufferCoord(INT_MAX, 1)).Column, INT_MAX);
    QVERIFY(E.DisplayToBufferPos(DisplayCoord(INT_MAX, 1)).Char >= 1);
    // The end-of-line marker resolves to the line end wherever a position is placed.
    E.SetCaretXY(BufferCoord(INT_MAX, 1));
    QCOMPARE(E.CaretXY(), BufferCoord(7, 1));
    E.SetSelectionMode(smColumn);
    E.SetBlockEnd(BufferCoord(INT_MAX, 2));
    QCOMPARE(E.BlockEnd(), BufferCoord(2, 2));
    E.ForceCaretX(INT_MAX - 1);
    E.MoveCaretHorz(5, false);
    QVERIFY(E.CaretX() >= 1);
    E.SetSelectionMode(smNormal);
    E.SetCaretXY(BufferCoord(1, 1));
    QCOMPARE(E.WordStartEx(BufferCoord(INT_MAX, 1)), BufferCoord(3, 1));
    QCOMPARE(E.PrevWordPosEx(BufferCoord(INT_MAX, 1)), BufferCoord(3, 1));
}

void TestLexEditCaret::selText_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("trim");
    QTest::addColumn<TBufferCoord>("anchor");
    QTest::addColumn<TBufferCoord>("end");
    QTest::addColumn<QString>("expected");
    const auto B = [](int c, int l) { return BufferCoord(c, l); };
    QTest::newRow("normal one line") << int(smNormal) << false << B(2, 1) << B(5, 1) << QStringLiteral("bcd");
    QTest::newRow("normal lines") << int(smNormal) << false << B(3, 1) << B(2, 3)
                                  << QStringLiteral("cdef\r\nab\r\n\t");
    QTest::newRow("normal backwards")
        << int(smNormal) << false << B(2, 3) << B(3, 1) << QStringLiteral("cdef\r\nab\r\n\t");
    QTest::newRow("normal from line end")
        << int(smNormal) << false << B(7, 1) << B(1, 2) << QStringLiteral("\r\n");
    QTest::newRow("line") << int(smLine) << false << B(2, 1) << B(1, 2) << QStringLiteral("abcdef\r\nab\r\n");
    QTest::newRow("line to last") << int(smLine) << false << B(1, 3) << B(3, 4)
                                  << QStringLiteral("\tx1234567\r\n0123456789");
    QTest::newRow("column short row")
        << int(smColumn) << false << B(2, 1) << B(4, 4) << QStringLiteral("bc\r\nb \r\n\r\n12");
    QTest::newRow("column short row trimmed")
        << int(smColumn) << true << B(2, 1) << B(4, 4) << QStringLiteral("bc\r\nb\r\n\r\n12");
    QTest::newRow("column tab at right edge")
        << int(smColumn) << false << B(1, 3) << B(5, 4) << QStringLiteral("\t\r\n0123");
    QTest::newRow("column past line ends")
        << int(smColumn) << false << B(6, 1) << B(9, 2) << QStringLiteral("f  \r\n   ");
    QTest::newRow("column zero width") << int(smColumn) << false << B(3, 1) << B(3, 4) << QString();
}

void TestLexEditCaret::selText() {
    QFETCH(int, mode);
    QFETCH(bool, trim);
    QFETCH(TBufferCoord, anchor);
    QFETCH(TBufferCoord, end);
    QFETCH(QString, expected);
    TLexEdit E;
    E.SetLines({QStringLiteral("abcdef"), QStringLiteral("ab"), QStringLiteral("\tx1234567"),
                QStringLiteral("0123456789")});
    if (trim) E.SetOptions(E.Options() + TLexEditorOptions{eoTrimTrailingSpaces});
    E.SetSelectionMode(TLexSelectionMode(mode));
    E.SetCaretAndSelection(end, anchor, end);
    QCOMPARE(E.ActiveSelectionMode(), TLexSelectionMode(mode));
    QCOMPARE(E.GetSelText(), expected);
}

void TestLexEditCaret::selStartAndLengthMatchText() {
    QRandomGenerator Random(11);
    TLexEdit E;
    QStringList L;
    for (int i = 0; i < 40; ++i)
        L << QString(Random.bounded(0, 12), QLatin1Char('a' + i % 26));
    E.SetLines(L);
    const QString Text = E.Text();
    const auto RandomPos = [&] {
        const int Line = Random.bounded(1, 41);
        return BufferCoord(Random.bounded(1, E.Lines()->LineCharLength(Line - 1) + 2), Line);
    };
    for (int k = 0; k < 200; ++k) {
        const TBufferCoord A = RandomPos();
        const TBufferCoord B = RandomPos();
        // Offsets and positions convert both ways.
        QCOMPARE(E.CharIndexToRowCol(E.RowColToCharIndex(A)), A);
        E.SetCaretAndSelection(B, A, B);
        QCOMPARE(Text.mid(E.SelStart(), E.SelLength()), E.GetSelText());
        QCOMPARE(E.SelEnd() - E.SelStart(), E.SelLength());
        // Setting them selects the same text.
        const int Start = E.RowColToCharIndex(TBufferCoord::Min(A, B));
        const int Length = E.RowColToCharIndex(TBufferCoord::Max(A, B)) - Start;
        E.SetSelStart(Start);
        QCOMPARE(E.SelLength(), 0);
        QCOMPARE(E.SelStart(), Start);
        E.SetSelLength(Length);
        QCOMPARE(E.GetSelText(), Text.mid(Start, Length));
        QCOMPARE(E.CaretXY(), TBufferCoord::Max(A, B));
        // A negative length selects backwards from the start.
        E.SetSelStart(Start + Length);
        E.SetSelLength(-Length);
        QCOMPARE(E.GetSelText(), Text.mid(Start, Length));
        QCOMPARE(E.CaretXY(), TBufferCoord::Min(A, B));
    }
}

void TestLexEditCaret::charIndexBeyondText() {
    TLexEdit E;
    E.SetLines({QStringLiteral("abc"), QStringLiteral("de")});
    QCOMPARE(E.CharIndexToRowCol(4), BufferCoord(5, 1)); // on the line break
    QCOMPARE(E.CharIndexToRowCol(5), BufferCoord(1, 2));
    QCOMPARE(E.CharIndexToRowCol(7), BufferCoord(3, 2));
    QCOMPARE(E.CharIndexToRowCol(100), BufferCoord(1, 3));
    QCOMPARE(E.RowColToCharIndex(BufferCoord(3, 2)), 7);
    QCOMPARE(E.RowColToCharIndex(BufferCoord(1, 9)), 5); // the line is limited to the last
    // An offset beyond the text selects to its end.
    E.SetSelStart(1);
    E.SetSelLength(1000);
    QCOMPARE(E.GetSelText(), QStringLiteral("bc\r\nde"));
    E.SetSelStart(1000);
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
}

void TestLexEditCaret::words_data() {
    QTest::addColumn<QString>("op");
    QTest::addColumn<TBufferCoord>("from");
    QTest::addColumn<TBufferCoord>("to");
    const auto B = [](int c, int l) { return BufferCoord(c, l); };
    // Line 1 "  foo_bar, baz  " (16), line 2 "", line 3 "qux".
    QTest::newRow("start inside") << "start" << B(6, 1) << B(3, 1);
    QTest::newRow("start at start") << "start" << B(3, 1) << B(3, 1);
    QTest::newRow("start past end") << "start" << B(40, 3) << B(1, 3);
    QTest::newRow("end inside") << "end" << B(4, 1) << B(10, 1);
    QTest::newRow("end past end") << "end" << B(20, 1) << B(17, 1);
    QTest::newRow("end on blank") << "end" << B(1, 1) << B(1, 1);
    QTest::newRow("next from word") << "next" << B(3, 1) << B(12, 1);
    QTest::newRow("next last word") << "next" << B(12, 1) << B(17, 1);
    QTest::newRow("next from blanks") << "next" << B(1, 1) << B(3, 1);
    QTest::newRow("next at line end") << "next" << B(17, 1) << B(1, 2);
    QTest::newRow("next empty line") << "next" << B(1, 2) << B(1, 3);
    QTest::newRow("next buffer end") << "next" << B(4, 3) << B(4, 3);
    QTest::newRow("prev over blank") << "prev" << B(12, 1) << B(3, 1);
    QTest::newRow("prev inside word") << "prev" << B(6, 1) << B(3, 1);
    QTest::newRow("prev first word") << "prev" << B(3, 1) << B(1, 1);
    QTest::newRow("prev line start") << "prev" << B(1, 3) << B(1, 2);
    QTest::newRow("prev from blanks at end") << "prev" << B(17, 1) << B(12, 1);
    QTest::newRow("prev word at line start") << "prev" << B(2, 3) << B(1, 3);
    QTest::newRow("outside buffer") << "next" << B(5, 9) << B(5, 9);
}

void TestLexEditCaret::words() {
    QFETCH(QString, op);
    QFETCH(TBufferCoord, from);
    QFETCH(TBufferCoord, to);
    TLexEdit E;
    E.SetLines({QStringLiteral("  foo_bar, baz  "), QString(), QStringLiteral("qux")});
    TBufferCoord Got;
    if (op == QLatin1String("start"))
        Got = E.WordStartEx(from);
    else if (op == QLatin1String("end"))
        Got = E.WordEndEx(from);
    else if (op == QLatin1String("next"))
        Got = E.NextWordPosEx(from);
    else
        Got = E.PrevWordPosEx(from);
    QCOMPARE(Got, to);
    // The caret forms apply the same rule to the caret.
    if (from.Line <= 3 && from.Char <= E.Lines()->LineCharLength(from.Line - 1) + 1) {
        E.SetCaretXY(from);
        const TBufferCoord ViaCaret = op == QLatin1String("start")  ? E.WordStart()
                                      : op == QLatin1String("end")  ? E.WordEnd()
                                      : op == QLatin1String("next") ? E.NextWordPos()
                                                                    : E.PrevWordPos();
        QCOMPARE(ViaCaret, to);
    }
}

void TestLexEditCaret::wordBlockAndWordAtCursor() {
    TLexEdit E;
    E.SetLines({QStringLiteral("  foo_bar, baz  ")});
    QCOMPARE(E.GetWordAtRowCol(BufferCoord(5, 1)), QStringLiteral("foo_bar"));
    QCOMPARE(E.GetWordAtRowCol(BufferCoord(3, 1)), QStringLiteral("foo_bar"));
    QCOMPARE(E.GetWordAtRowCol(BufferCoord(2, 1)), QString());
    QCOMPARE(E.GetWordAtRowCol(BufferCoord(10, 1)), QString());
    QCOMPARE(E.GetWordAtRowCol(BufferCoord(17, 1)), QString());
    E.SetCaretXY(BufferCoord(13, 1));
    QCOMPARE(E.WordAtCursor(), QStringLiteral("baz"));
    // On the character right after a word: that word.
    E.SetWordBlock(BufferCoord(10, 1));
    QCOMPARE(E.SelText(), QStringLiteral("foo_bar"));
    QCOMPARE(E.CaretXY(), BufferCoord(10, 1));
    E.SetCaretXY(BufferCoord(14, 1));
    E.SetSelWord();
    QCOMPARE(E.SelText(), QStringLiteral("baz"));
    // Past the end: the caret goes to the line end, nothing selected.
    E.SetWordBlock(BufferCoord(30, 1));
    QVERIFY(!E.SelAvail());
    QCOMPARE(E.CaretXY(), BufferCoord(17, 1));
    // On blanks between words: nothing to select.
    E.SetWordBlock(BufferCoord(16, 1));
    QVERIFY(!E.SelAvail());
}

void TestLexEditCaret::wordCharsWithAdditionalSetsAndHighlighter() {
    TLexEdit E;
    QVERIFY(E.IsWordBreakChar(QLatin1Char('-')));
    QVERIFY(!E.IsIdentChar(QLatin1Char('-')));
    QVERIFY(E.IsWordBreakChar(QChar(0xA7)));
    QVERIFY(!E.IsWordBreakChar(QChar(0x4E2D)));
    QVERIFY(!E.IsIdentChar(QChar(0x4E2D)));
    QVERIFY(E.IsWhiteChar(QChar(0x4E2D))); // neither identifier nor break
    QVERIFY(E.IsWhiteChar(QLatin1Char(' ')));
    QVERIFY(!E.IsWhiteChar(QLatin1Char('a')));
    E.SetAdditionalIdentChars(TLexCharSet{u'-'});
    E.SetAdditionalWordBreakChars(TLexCharSet{u'q'});
    QVERIFY(E.IsIdentChar(QLatin1Char('-')));
    QVERIFY(!E.IsWordBreakChar(QLatin1Char('-')));
    QVERIFY(E.IsWordBreakChar(QLatin1Char('q')));
    QVERIFY(!E.IsIdentChar(QLatin1Char('q')));
    E.SetLines({QStringLiteral("a-b qq")});
    QCOMPARE(E.GetWordAtRowCol(BufferCoord(2, 1)), QStringLiteral("a-b"));
    TLexPHPLex H;
    E.SetHighlighter(&H);
    QCOMPARE(E.IsIdentChar(QLatin1Char('$')), H.IsIdentChar(QLatin1Char('$')));
    QCOMPARE(E.IsWordBreakChar(QLatin1Char('-')), H.IsWordBreakChar(QLatin1Char('-')));
}

void TestLexEditCaret::homeAndEnd_data() {
    QTest::addColumn<bool>("enhanced");
    QTest::addColumn<bool>("home");
    QTest::addColumn<int>("from");
    QTest::addColumn<int>("to");
    // "    code  ": first non-blank 5, last non-blank ends at 9, line end 11.
    QTest::newRow("home after text") << true << true << 7 << 5;
    QTest::newRow("home on first non-blank") << true << true << 5 << 1;
    QTest::newRow("home at column 1") << true << true << 1 << 5;
    QTest::newRow("home in blanks") << true << true << 3 << 1;
    QTest::newRow("home plain") << false << true << 7 << 1;
    QTest::newRow("end from start") << true << false << 1 << 9;
    QTest::newRow("end at text end") << true << false << 9 << 11;
    QTest::newRow("end at line end") << true << false << 11 << 9;
    QTest::newRow("end plain") << false << false << 1 << 11;
}

void TestLexEditCaret::homeAndEnd() {
    QFETCH(bool, enhanced);
    QFETCH(bool, home);
    QFETCH(int, from);
    QFETCH(int, to);
    TLexEdit E;
    TLexEditorOptions O = E.Options() - TLexEditorOptions{eoEnhanceHomeKey, eoEnhanceEndKey};
    if (enhanced) O += TLexEditorOptions{eoEnhanceHomeKey, eoEnhanceEndKey};
    E.SetOptions(O);
    E.SetLines({QStringLiteral("x"), QStringLiteral("    code  ")});
    E.SetCaretXY(BufferCoord(from, 2));
    if (home)
        E.DoHomeKey(false);
    else
        E.DoEndKey(false);
    QCOMPARE(E.CaretXY(), BufferCoord(to, 2));
    QVERIFY(!E.SelAvail());
    // With selection: from the old caret to the new one.
    E.SetCaretXY(BufferCoord(from, 2));
    if (home)
        E.DoHomeKey(true);
    else
        E.DoEndKey(true);
    QCOMPARE(E.CaretXY(), BufferCoord(to, 2));
    QCOMPARE(E.BlockBegin(), BufferCoord(std::min(from, to), 2));
    QCOMPARE(E.BlockEnd(), BufferCoord(std::max(from, to), 2));
}

void TestLexEditCaret::verticalMovesRememberColumn() {
    TLexEdit E;
    E.SetLines({QStringLiteral("0123456789"), QStringLiteral("ab"), QStringLiteral("0123456789"),
                QStringLiteral("\tx")});
    // Default options (past the end allowed): the column stays as it is.
    E.SetCaretXY(BufferCoord(8, 1));
    E.MoveCaretVert(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(8, 2));
    // Without it the caret is cut to the line end, and only eoKeepCaretX brings it back.
    E.SetOptions(E.Options() - TLexEditorOptions{eoScrollPastEol});
    E.SetCaretXY(BufferCoord(8, 1));
    E.MoveCaretVert(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
    E.MoveCaretVert(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(3, 3));
    E.SetOptions(E.Options() + TLexEditorOptions{eoKeepCaretX});
    E.SetCaretXY(BufferCoord(8, 1));
    QCOMPARE(E.LastCaretX(), 8);
    E.MoveCaretVert(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
    QCOMPARE(E.LastCaretX(), 8);
    E.MoveCaretVert(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(8, 3));
    // A column inside a tab snaps to the tab.
    E.SetCaretXY(BufferCoord(5, 3));
    E.MoveCaretVert(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 4));
    // The ends of the buffer stop the move.
    E.MoveCaretVert(5, false);
    QCOMPARE(E.CaretY(), 4);
    E.MoveCaretVert(-10, false);
    QCOMPARE(E.CaretY(), 1);
    // Selecting moves extend from the caret.
    E.SetCaretXY(BufferCoord(2, 1));
    E.MoveCaretVert(2, true);
    QCOMPARE(E.BlockBegin(), BufferCoord(2, 1));
    QCOMPARE(E.BlockEnd(), E.CaretXY());
    QCOMPARE(E.CaretY(), 3);
}

void TestLexEditCaret::horizontalMovesAcrossLines() {
    TLexEdit E;
    const QString Pair = QString::fromUtf8("\xF0\x9F\x98\x80");
    E.SetLines({QStringLiteral("ab"), QStringLiteral("c") + Pair + QStringLiteral("d")});
    E.SetOptions(E.Options() - TLexEditorOptions{eoScrollPastEol});
    E.SetCaretXY(BufferCoord(3, 1));
    E.MoveCaretHorz(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 2));
    E.MoveCaretHorz(-1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(3, 1));
    // Over a surrogate pair in one step.
    E.SetCaretXY(BufferCoord(2, 2));
    E.MoveCaretHorz(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(4, 2));
    E.MoveCaretHorz(-1, true);
    QCOMPARE(E.CaretXY(), BufferCoord(2, 2));
    QCOMPARE(E.SelText(), Pair);
    // With past-the-end allowed the caret goes on along the line.
    E.SetOptions(E.Options() + TLexEditorOptions{eoScrollPastEol});
    E.SetCaretXY(BufferCoord(3, 1));
    E.MoveCaretHorz(1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(4, 1));
    E.SetCaretXY(BufferCoord(1, 2));
    E.MoveCaretHorz(-1, false);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 2));
}

void TestLexEditCaret::emptyBufferGivesOneOne() {
    TLexEdit E;
    E.SetOptions(E.Options() - TLexEditorOptions{eoScrollPastEol});
    const TBufferCoord One = BufferCoord(1, 1);
    E.SelectAll();
    QCOMPARE(E.CaretXY(), One);
    QCOMPARE(E.BlockBegin(), One);
    QCOMPARE(E.BlockEnd(), One);
    QVERIFY(E.SelText().isEmpty());
    QCOMPARE(E.SelStart(), 0);
    QCOMPARE(E.SelLength(), 0);
    QCOMPARE(E.CharIndexToRowCol(0), One);
    QCOMPARE(E.CharIndexToRowCol(5), One);
    QCOMPARE(E.RowColToCharIndex(BufferCoord(3, 3)), 2);
    E.SetCaretXY(BufferCoord(5, 3));
    QCOMPARE(E.CaretXY(), One);
    E.SetBlockBegin(BufferCoord(4, 4));
    QCOMPARE(E.BlockBegin(), One);
    for (int Step = 0; Step < 6; ++Step) {
        switch (Step) {
        case 0:
            E.DoHomeKey(false);
            break;
        case 1:
            E.DoEndKey(true);
            break;
        case 2:
            E.MoveCaretHorz(1, true);
            break;
        case 3:
            E.MoveCaretHorz(-1, false);
            break;
        case 4:
            E.MoveCaretVert(1, true);
            break;
        default:
            E.MoveCaretVert(-1, false);
            break;
        }
        QCOMPARE(E.CaretXY(), One);
        QVERIFY(!E.SelAvail());
    }
    QCOMPARE(E.DisplayXY(), DisplayCoord(1, 1));
    QCOMPARE(E.NextWordPos(), One);
    QCOMPARE(E.PrevWordPos(), One);
    QCOMPARE(E.WordStart(), One);
    QCOMPARE(E.WordEnd(), One);
    QCOMPARE(E.WordAtCursor(), QString());
    E.SetSelWord();
    QCOMPARE(E.CaretXY(), One);
}

void TestLexEditCaret::selectingMoveStartsAtCaretWhateverMovedIt() {
    TLexEdit E;
    E.SetLines({QStringLiteral("first line"), QStringLiteral("second line")});
    E.SetCaretXY(BufferCoord(2, 1));
    // Moved without touching the selection (as bracket matching or a drag hover do).
    E.SetInternalCaretXY(BufferCoord(5, 2));
    QCOMPARE(E.BlockBegin(), BufferCoord(5, 2));
    E.MoveCaretHorz(1, true);
    QCOMPARE(E.SelText(), QStringLiteral("n"));
    // After a buffer change the collapsed block is the caret, also past the line end.
    E.SetCaretXY(BufferCoord(15, 1));
    E.Lines()->Put(1, QStringLiteral("changed"));
    QCOMPARE(E.BlockBegin(), BufferCoord(15, 1));
    E.MoveCaretHorz(1, true); // nothing to select past the end: the block stays on the caret
    QVERIFY(!E.SelAvail());
    QCOMPARE(E.BlockBegin(), BufferCoord(16, 1));
    QCOMPARE(E.CaretXY(), BufferCoord(16, 1));
    E.SetCaretXY(BufferCoord(5, 2));
    E.MoveCaretHorz(1, true);
    QCOMPARE(E.SelText(), QStringLiteral("g"));
    // A selection that exists stays when the caret is moved that way.
    E.SetInternalCaretXY(BufferCoord(1, 1));
    QCOMPARE(E.SelText(), QStringLiteral("g"));
}

void TestLexEditCaret::trimTrailingSpacesIsUndoableAndNotDuringUndo() {
    TUndoMovingEdit E;
    E.SetOptions(E.Options() + TLexEditorOptions{eoTrimTrailingSpaces});
    E.SetLines({QStringLiteral("abc  \t"), QStringLiteral("x  "), QStringLiteral("y ")});
    E.SetCaretXY(BufferCoord(2, 1));
    E.SetCaretXY(BufferCoord(4, 1)); // same line: kept
    QCOMPARE(E.Lines()->Get(0), QStringLiteral("abc  \t"));
    E.SetCaretXY(BufferCoord(1, 2));
    QCOMPARE(E.Lines()->Get(0), QStringLiteral("abc"));
    QVERIFY(E.UndoRedo()->CanUndo());
    const TLexEditUndoItem Item = UndoStackItem(*E.UndoRedo(), false, 0);
    QCOMPARE(Item.ChangeStr, QStringLiteral("  \t"));
    QCOMPARE(Item.ChangeStartPos, BufferCoord(4, 1));
    QCOMPARE(Item.ChangeEndPos, BufferCoord(7, 1));
    // Undo moves the caret off line 2 without trimming it.
    E.UndoRedo()->Undo();
    QCOMPARE(E.Undone, 1);
    QCOMPARE(E.CaretY(), 1);
    QCOMPARE(E.Lines()->Get(1), QStringLiteral("x  "));
    // A selecting move off a trimmed line keeps its selection.
    E.SetLines({QStringLiteral("abc  "), QStringLiteral("defg")});
    E.SetCaretXY(BufferCoord(2, 1));
    E.MoveCaretVert(1, true);
    QCOMPARE(E.Lines()->Get(0), QStringLiteral("abc"));
    QCOMPARE(E.BlockBegin(), BufferCoord(2, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(2, 2));
    QCOMPARE(E.SelText(), QStringLiteral("bc\r\nd"));
    // A line without trailing blanks records nothing.
    E.UndoRedo()->Clear();
    E.SetCaretXY(BufferCoord(1, 1));
    E.SetCaretXY(BufferCoord(1, 3));
    QVERIFY(!E.UndoRedo()->CanUndo());
}

void TestLexEditCaret::selectionModesAndAvailability() {
    TLexEdit E;
    E.SetLines({QStringLiteral("abc"), QStringLiteral("defgh")});
    QList<TLexStatusChanges> Reports;
    E.OnStatusChange = [&](TCustomLexEdit *, TLexStatusChanges C) { Reports << C; };
    E.SetSelectionMode(smColumn);
    QCOMPARE(E.ActiveSelectionMode(), smColumn);
    QVERIFY(!Reports.isEmpty() && Reports.back().Contains(scSelection));
    E.SetCaretAndSelection(BufferCoord(2, 2), BufferCoord(2, 1), BufferCoord(2, 2));
    QVERIFY(!E.SelAvail()); // a column block of no width
    QVERIFY(!E.SelTabBlock());
    E.SetActiveSelectionMode(smNormal);
    QVERIFY(E.SelAvail());
    QVERIFY(E.SelTabBlock());
    QCOMPARE(E.SelectionMode(), smColumn);
    // A block from column 1 to past the caret line's end.
    E.SetSelectionMode(smNormal);
    E.SetCaretAndSelection(BufferCoord(6, 2), BufferCoord(1, 1), BufferCoord(6, 2));
    QVERIFY(E.SelTabLine());
    E.SelectAll();
    QCOMPARE(E.SelText(), QStringLiteral("abc\r\ndefgh"));
    QCOMPARE(E.CaretXY(), BufferCoord(6, 2));
    // Placing the caret collapses the selection onto it.
    E.SetCaretXY(BufferCoord(2, 1));
    QVERIFY(!E.SelAvail());
    QCOMPARE(E.BlockBegin(), BufferCoord(2, 1));
    // Going to a line centres it and leaves nothing selected.
    E.GotoLineAndCenter(2);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 2));
    QVERIFY(!E.SelAvail());
    // Bookmarks: only a set bookmark on an existing line moves the caret.
    E.Marks().Add(TLexEditMark{2, 3, 0, 4, true, false});
    E.Marks().Add(TLexEditMark{9, 1, 0, 5, true, false});
    E.SetCaretXY(BufferCoord(1, 1));
    E.GotoBookMark(5);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    E.GotoBookMark(10);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    E.GotoBookMark(4);
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
    QVERIFY(!E.SelAvail());
    // With eoNoSelection the end does not move.
    E.SetOptions(E.Options() + TLexEditorOptions{eoNoSelection});
    E.SetBlockEnd(BufferCoord(3, 2));
    QVERIFY(!E.SelAvail());
}

void TestLexEditCaret::dragAfterDoubleClickExtendsByWords() {
    TLexEdit E;
    E.SetLines({QStringLiteral("one two three four"), QStringLiteral("five six")});
    E.SetWordBlock(BufferCoord(6, 1)); // "two"
    QCOMPARE(E.SelText(), QStringLiteral("two"));
    E.DoMouseSelectWordRange(BufferCoord(9, 1)); // after a blank: to the mouse
    QCOMPARE(E.SelText(), QStringLiteral("two "));
    E.DoMouseSelectWordRange(BufferCoord(12, 1)); // inside "three": to the word's end
    QCOMPARE(E.SelText(), QStringLiteral("two three"));
    QCOMPARE(E.CaretXY(), BufferCoord(14, 1));
    E.DoMouseSelectWordRange(BufferCoord(3, 2));
    QCOMPARE(E.SelText(), QStringLiteral("two three four\r\nfive"));
    // Back before the anchor word: from the start of the word under the mouse, "two" kept.
    E.DoMouseSelectWordRange(BufferCoord(2, 1));
    QCOMPARE(E.SelText(), QStringLiteral("one two"));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    // A position past the line end is cut to it.
    E.DoMouseSelectWordRange(BufferCoord(50, 2));
    QCOMPARE(E.SelText(), QStringLiteral("two three four\r\nfive six"));
}

void TestLexEditCaret::dragAfterTripleClickExtendsByLines() {
    TLexEdit E;
    E.SetLines({QStringLiteral("l1"), QStringLiteral("l2"), QStringLiteral("l3"), QStringLiteral("l4")});
    // As a triple click on line 2 leaves it.
    E.SetCaretAndSelection(BufferCoord(1, 3), BufferCoord(1, 2), BufferCoord(1, 3));
    E.DoMouseSelectLineRange(BufferCoord(2, 3));
    QCOMPARE(E.SelText(), QStringLiteral("l2\r\nl3\r\n"));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 4));
    E.DoMouseSelectLineRange(BufferCoord(1, 1));
    QCOMPARE(E.SelText(), QStringLiteral("l1\r\nl2\r\n"));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    E.DoMouseSelectLineRange(BufferCoord(1, 4)); // the last line: to its end
    QCOMPARE(E.SelText(), QStringLiteral("l2\r\nl3\r\nl4"));
    QCOMPARE(E.CaretXY(), BufferCoord(3, 4));
    E.DoMouseSelectLineRange(BufferCoord(1, 2));
    QCOMPARE(E.SelText(), QStringLiteral("l2\r\n"));
    // A triple click on the line before the last keeps that line as the anchor.
    E.SetCaretAndSelection(BufferCoord(1, 4), BufferCoord(1, 3), BufferCoord(1, 4));
    E.DoMouseSelectLineRange(BufferCoord(1, 1));
    QCOMPARE(E.SelText(), QStringLiteral("l1\r\nl2\r\nl3\r\n"));
    E.DoMouseSelectLineRange(BufferCoord(1, 2));
    QCOMPARE(E.SelText(), QStringLiteral("l2\r\nl3\r\n"));
}

void TestLexEditCaret::nextWordFromBeforeLastCharacterMovesToLineEnd() {
    TLexEdit E;
    // The last line: the caret before its last character moves behind it.
    E.SetLines({QStringLiteral("ab")});
    QCOMPARE(E.NextWordPosEx(BufferCoord(2, 1)), BufferCoord(3, 1));
    QCOMPARE(E.NextWordPosEx(BufferCoord(3, 1)), BufferCoord(3, 1));
    // With a next line, the last character is not skipped: first the line end, then the next
    // line's first word.
    E.SetLines({QStringLiteral("x ab"), QStringLiteral("  cd")});
    QCOMPARE(E.NextWordPosEx(BufferCoord(4, 1)), BufferCoord(5, 1));
    QCOMPARE(E.NextWordPosEx(BufferCoord(5, 1)), BufferCoord(3, 2));
    // A break character last on the line: its end too.
    E.SetLines({QStringLiteral("ab;"), QStringLiteral("c")});
    QCOMPARE(E.NextWordPosEx(BufferCoord(3, 1)), BufferCoord(4, 1));
    // Every step moves forward until the end of the text, visiting each line's end.
    E.SetLines({QStringLiteral("a b"), QStringLiteral("c"), QStringLiteral(""), QStringLiteral("de f")});
    QList<TBufferCoord> Steps;
    TBufferCoord P = BufferCoord(1, 1);
    for (;;) {
        const TBufferCoord Next = E.NextWordPosEx(P);
        if (Next == P) break;
        QVERIFY(P < Next);
        Steps << Next;
        P = Next;
    }
    const QList<TBufferCoord> Want{BufferCoord(3, 1), BufferCoord(4, 1), BufferCoord(1, 2),
                                   BufferCoord(2, 2), BufferCoord(1, 3), BufferCoord(1, 4),
                                   BufferCoord(4, 4), BufferCoord(5, 4)};
    QCOMPARE(Steps, Want);
}

QTEST_MAIN(TestLexEditCaret)
#include "tst_lexedit_caret.moc"
