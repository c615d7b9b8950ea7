// SPDX-License-Identifier: MIT
// Word wrap: how lines split into rows, the row mapping over random text and widths, the rows
// kept up to date through random edits, the caret on wrapped rows, the scroll bars, and the
// gutter and text painted on rows.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditWordWrap.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QPainter>
#include <QScrollBar>
#include <QtTest>

using namespace lexedit;
using namespace editor_test;

namespace {

// An editor shown offscreen without scroll bars, so that its width in columns is exact.
struct TWrapEdit {
    TLexEdit E;
    TWrapEdit() {
        E.setAttribute(Qt::WA_DontShowOnScreen);
        E.SetEditorFont(TestFont());
        E.Gutter().SetFont(TestFont());
        E.SetScrollBars(ssNone);
        E.resize(500, 300);
        E.show();
    }
    // Resizes the window to AColumns text columns; false when it does not get there.
    bool SetColumns(int AColumns) {
        const int Frame = E.width() - E.viewport()->width();
        E.resize(Frame + E.GutterWidth() + 2 + AColumns * E.CharWidth() + E.CharWidth() / 2, E.height());
        return QTest::qWaitFor([&] { return E.CharsInWindow() == AColumns; }, 2000);
    }
    const TLexWordWrapPlugin &W() const { return *E.WordWrapPlugin(); }
    QString Display(int AIndex) const { return E.ExpandAtWideGlyphs(E.Lines()->ExpandedStrings(AIndex)); }
    // The row lengths of the 0-based line AIndex.
    QList<int> Rows(int AIndex) const {
        QList<int> Result;
        const int First = W().LineToRow(AIndex + 1);
        for (int r = 0; r < W().LineRowCount(AIndex); ++r)
            Result << W().GetRowLength(First + r);
        return Result;
    }
};

// Words, blanks, tabs, punctuation, wide glyphs (two and three cells) and now and then a word
// longer than any row.
QString RandomText(QRandomGenerator &R) {
    QString S;
    const int Pieces = R.bounded(40);
    for (int i = 0; i < Pieces; ++i) {
        switch (R.bounded(10)) {
        case 0:
            S += QLatin1Char('\t');
            break;
        case 1:
            S += QChar(0x4E00 + R.bounded(2)); // 2 or 3 cells
            break;
        case 2:
            S += QString(10 + R.bounded(90), QChar('a' + R.bounded(26)));
            break;
        case 3:
            S += QStringLiteral(", ");
            break;
        default:
            S += QString(1 + R.bounded(12), QChar('a' + R.bounded(26)));
            S += QLatin1Char(' ');
        }
    }
    return S;
}

void InjectWideGlyphs(TCustomLexEdit &E) {
    InjectWidths(E, {{0x4E00, 2.0}, {0x4E01, 3.0}});
}

} // namespace

class TestLexEditWordWrap : public QObject {
    Q_OBJECT

private slots:
    void splitsAtWordsAndCells_data();
    void splitsAtWordsAndCells();
    void randomTextRowsAndMapping();
    void incrementalRewrapEqualsFullWrap();
    void widthChangesRewrap();
    void caretMovesByRows();
    void scrollBarsCountRows();
    void paintingWrappedRows();

    // One regression test per mended fault.
    void gutterPaintFromContinuationRow();
    void wrappedLineScannedOncePerPaint();
    void rowMapRoundTripsThroughWrapToggles();
};

// ---- splitting ----------------------------------------------------------------------------------

void TestLexEditWordWrap::splitsAtWordsAndCells_data() {
    QTest::addColumn<QString>("Line");
    QTest::addColumn<QList<int>>("Rows");
    // 40 columns: a row may end at a word break beyond column 28 (40 - 40 div 3 = 27 cells).
    QString Words;
    while (Words.size() < 100)
        Words += QStringLiteral("abcdefg ");
    Words.truncate(100);
    QTest::newRow("words") << Words << QList<int>{40, 40, 20};
    QString Sentence =
        QStringLiteral("aaaaaaaaaaaaaaaaaaaaaaaaaaaaa bbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbbb cc");
    QTest::newRow("break in last third") << Sentence << QList<int>{30, 40, 4};
    QTest::newRow("one long word") << QString(100, QLatin1Char('x')) << QList<int>{40, 40, 20};
    QTest::newRow("early blank only")
        << QStringLiteral("aa ") + QString(60, QLatin1Char('y')) << QList<int>{40, 23};
    QTest::newRow("empty line") << QString() << QList<int>{0};
    // A two-cell glyph whose filler would take the last column moves to the next row with it.
    QTest::newRow("wide glyph at the edge")
        << QString(39, QLatin1Char('z')) + QChar(0x4E00) + QStringLiteral("w") << QList<int>{39, 3};
    QTest::newRow("tab expanded") << QStringLiteral("\t\t\t\t\tabc") << QList<int>{40, 3};
}

void TestLexEditWordWrap::splitsAtWordsAndCells() {
    QFETCH(QString, Line);
    QFETCH(QList<int>, Rows);
    TWrapEdit T;
    InjectWideGlyphs(T.E);
    T.E.SetLines({QStringLiteral("first"), Line});
    QVERIFY(T.SetColumns(40));
    T.E.SetWordWrap(true);
    QCOMPARE(T.W().MaxRowLength(), 40);
    QCOMPARE(T.W().MinRowLength(), 27);
    QCOMPARE(T.Rows(1), Rows);
    QCOMPARE(T.W().RowCount(), 1 + Rows.size());
    QCOMPARE(T.E.DisplayLineCount(), 1 + Rows.size());
    // An empty buffer has no rows.
    T.E.Lines()->Clear();
    QCOMPARE(T.W().RowCount(), 0);
    QCOMPARE(T.E.DisplayLineCount(), 0);
}

// ---- the mapping over random text ---------------------------------------------------------------

// Over random lines and widths: every row fits the width, the rows of a line add up to its
// display form, every character of a line stands on exactly one of its rows in order, and buffer
// and display positions map back and forth.
void TestLexEditWordWrap::randomTextRowsAndMapping() {
    TWrapEdit T;
    InjectWideGlyphs(T.E);
    T.E.SetTabWidth(4);
    QRandomGenerator R(5);
    QStringList Lines;
    for (int i = 0; i < 60; ++i)
        Lines << RandomText(R);
    T.E.SetLines(Lines);
    T.E.SetWordWrap(true);
    for (const int Columns : {1, 2, 3, 7, 13, 29, 40, 64}) {
        QVERIFY(T.SetColumns(Columns));
        QCOMPARE(T.W().MaxRowLength(), Columns);
        int Row = 1;
        for (int i = 0; i < T.E.Lines()->Count(); ++i) {
            const QString Line = T.E.Lines()->Get(i);
            const QString DisplayForm = T.Display(i);
            const QList<int> Rows = T.Rows(i);
            const QString Where = QStringLiteral("width %1, line %2").arg(Columns).arg(i + 1);
            QCOMPARE(T.E.LineToRow(i + 1), Row);
            int Sum = 0;
            for (int k = 0; k < Rows.size(); ++k) {
                QVERIFY2(Rows[k] <= Columns, qPrintable(Where));
                QVERIFY2(Rows[k] >= 1 || DisplayForm.isEmpty(), qPrintable(Where));
                QCOMPARE(T.E.RowToLine(Row + k), i + 1);
                Sum += Rows[k];
            }
            QVERIFY2(Sum == DisplayForm.size(), qPrintable(Where));
            // Each character starts on one row, in order, inside that row's cells (the end of
            // the line after the last row's cells); each maps back to itself.
            TDisplayCoord Previous{0, 0};
            for (int c = 1; c <= Line.size() + 1; ++c) {
                if (c <= Line.size() && Line[c - 1].isLowSurrogate()) continue;
                const TBufferCoord B = BufferCoord(c, i + 1);
                const TDisplayCoord D = T.E.BufferToDisplayPos(B);
                QVERIFY2(D.Row >= Row && D.Row < Row + Rows.size(), qPrintable(Where));
                const int Limit = Rows[D.Row - Row] + (c > Line.size() ? 1 : 0);
                QVERIFY2(D.Column >= 1 && D.Column <= std::max(Limit, 1), qPrintable(Where));
                QVERIFY2(Previous < D, qPrintable(Where));
                Previous = D;
                QCOMPARE(T.E.DisplayToBufferPos(D), B);
            }
            // Every cell maps to the character that covers it.
            for (int k = 0; k < Rows.size(); ++k) {
                for (int Col = 1; Col <= Rows[k]; ++Col) {
                    const TBufferCoord B = T.E.DisplayToBufferPos(DisplayCoord(Col, Row + k));
                    QCOMPARE(B.Line, i + 1);
                    QVERIFY2(T.E.BufferToDisplayPos(B) <= DisplayCoord(Col, Row + k), qPrintable(Where));
                }
            }
            Row += Rows.size();
        }
        QCOMPARE(T.W().RowCount(), Row - 1);
    }
}

// ---- incremental rewrap -------------------------------------------------------------------------

// After every random change of the buffer (single lines, runs of lines larger than a block,
// exchanges, typing at a line's end) the rows kept by the plug-in equal those of a fresh full
// wrap, line by line.
void TestLexEditWordWrap::incrementalRewrapEqualsFullWrap() {
    TWrapEdit T;
    InjectWideGlyphs(T.E);
    QRandomGenerator R(17);
    QStringList Lines;
    for (int i = 0; i < 5000; ++i)
        Lines << (R.bounded(3) == 0 ? RandomText(R) : QStringLiteral("line %1").arg(i));
    T.E.SetLines(Lines);
    QVERIFY(T.SetColumns(30));
    T.E.SetWordWrap(true);
    TLexEditStringList &L = *T.E.Lines();
    for (int Step = 0; Step < 300; ++Step) {
        const int Count = L.Count();
        QString What;
        switch (R.bounded(8)) {
        case 0: {
            const int At = R.bounded(Count + 1);
            L.Insert(At, RandomText(R));
            What = QStringLiteral("insert at %1").arg(At);
            break;
        }
        case 1: {
            if (Count == 0) continue;
            const int At = R.bounded(Count);
            const int n = std::min(Count - At, 1 + R.bounded(R.bounded(4) == 0 ? 3000 : 5));
            L.DeleteLines(At, n);
            What = QStringLiteral("delete %1 at %2").arg(n).arg(At);
            break;
        }
        case 2: {
            const int At = R.bounded(Count + 1);
            QStringList Many;
            const int n = R.bounded(2) == 0 ? 1 + R.bounded(10) : 200 + R.bounded(2500);
            for (int i = 0; i < n; ++i)
                Many << RandomText(R);
            L.InsertStrings(At, Many);
            What = QStringLiteral("insert %1 at %2").arg(n).arg(At);
            break;
        }
        case 3: {
            if (Count < 2) continue;
            const int A = R.bounded(Count);
            const int B = R.bounded(Count);
            if (A == B) continue;
            L.Exchange(A, B);
            What = QStringLiteral("exchange %1 %2").arg(A).arg(B);
            break;
        }
        default: {
            if (Count == 0) continue;
            // Typing at the end of a line, one character at a time.
            const int At = R.bounded(Count);
            const int Typed = 1 + R.bounded(40);
            for (int k = 0; k < Typed; ++k)
                L.Put(At, L.Get(At) + QChar(k % 7 == 6 ? ' ' : 'k'));
            What = QStringLiteral("type %1 at %2").arg(Typed).arg(At);
            break;
        }
        }
        const TLexWordWrapPlugin Fresh(&T.E);
        QVERIFY2(T.W().LineCount() == L.Count(), qPrintable(What));
        QVERIFY2(T.W().RowCount() == Fresh.RowCount(), qPrintable(What));
        for (int i = 0; i < L.Count(); ++i)
            if (T.W().LineToRow(i + 1) != Fresh.LineToRow(i + 1))
                QFAIL(qPrintable(What + QStringLiteral(": line %1 starts on another row").arg(i + 1)));
        for (int r = 1; r <= Fresh.RowCount(); ++r)
            if (T.W().GetRowLength(r) != Fresh.GetRowLength(r))
                QFAIL(qPrintable(What + QStringLiteral(": row %1 has another length").arg(r)));
    }
    // A typed character that overflows a line's full last row adds one row below it.
    L.Clear();
    L.AddStrings({QString(60, QLatin1Char('q')), QStringLiteral("next")});
    QCOMPARE(T.W().RowCount(), 3);
    L.Put(0, L.Get(0) + QLatin1Char('q'));
    QCOMPARE(T.W().RowCount(), 4);
    QCOMPARE(T.E.LineToRow(2), 4);
}

// Narrowing the window rewraps every line; widening it back gives the earlier rows again.
void TestLexEditWordWrap::widthChangesRewrap() {
    TWrapEdit T;
    QRandomGenerator R(3);
    QStringList Lines;
    for (int i = 0; i < 40; ++i)
        Lines << RandomText(R);
    T.E.SetLines(Lines);
    QVERIFY(T.SetColumns(50));
    T.E.SetWordWrap(true);
    QList<QList<int>> Before;
    for (int i = 0; i < 40; ++i)
        Before << T.Rows(i);
    QVERIFY(T.SetColumns(20));
    for (int i = 0; i < 40; ++i)
        for (const int Len : T.Rows(i))
            QVERIFY(Len <= 20);
    QVERIFY(T.SetColumns(50));
    for (int i = 0; i < 40; ++i)
        QCOMPARE(T.Rows(i), Before[i]);
    // Without word wrap every line is one row again.
    T.E.SetWordWrap(false);
    QVERIFY(T.E.WordWrapPlugin() == nullptr);
    QCOMPARE(T.E.DisplayLineCount(), 40);
    QCOMPARE(T.E.LineToRow(17), 17);
}

// ---- the caret ----------------------------------------------------------------------------------

void TestLexEditWordWrap::caretMovesByRows() {
    TWrapEdit T;
    // Rows of 10: "aaaa bbbb " "cccc dddd " "ee"; then a short line.
    T.E.SetLines({QStringLiteral("aaaa bbbb cccc dddd ee"), QStringLiteral("xy")});
    QVERIFY(T.SetColumns(10));
    T.E.SetOptions(T.E.Options() - TLexEditorOptions{eoScrollPastEol});
    T.E.SetWordWrap(true);
    QCOMPARE(T.Rows(0), (QList<int>{10, 10, 2}));
    T.E.SetCaretXY(BufferCoord(3, 1));
    // Down by rows, keeping the column; past the last row of the line to the next line.
    T.E.MoveCaretVert(1, false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(13, 1));
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(3, 2));
    T.E.MoveCaretVert(1, false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(23, 1)); // column 3 of the last row: the line's end
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(3, 3));
    T.E.MoveCaretVert(1, false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(3, 2));
    QCOMPARE(T.E.DisplayY(), 4);
    // Home and End of a continuation row; End parks the caret after the row's last character.
    T.E.SetCaretXY(BufferCoord(14, 1));
    T.E.DoHomeKey(false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(11, 1));
    T.E.DoEndKey(false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(21, 1));
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(11, 2));
    // Right un-parks the caret onto the next row, then moves on.
    T.E.MoveCaretHorz(1, false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(21, 1));
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(1, 3));
    T.E.MoveCaretHorz(1, false);
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(2, 3));
    // Left from the first column of a continuation row parks it at the end of the row before.
    T.E.MoveCaretHorz(-1, false);
    T.E.MoveCaretHorz(-1, false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(21, 1));
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(11, 2));
    T.E.MoveCaretHorz(-1, false);
    QCOMPARE(T.E.CaretXY(), BufferCoord(20, 1));
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(10, 2));
    // Moving right onto the start of a continuation row shows the caret at the end of its row.
    T.E.MoveCaretHorz(1, false);
    QCOMPARE(T.E.DisplayXY(), DisplayCoord(11, 2));
    // Up from the short last row keeps the display column.
    T.E.SetCaretXY(BufferCoord(2, 1));
    T.E.MoveCaretVert(2, true);
    QCOMPARE(T.E.CaretXY(), BufferCoord(22, 1));
    QCOMPARE(T.E.SelText(), QStringLiteral("aaa bbbb cccc dddd ee").mid(0, 20));
    // The caret's pixel follows its display row.
    QCOMPARE(T.E.RowColumnToPixels(T.E.DisplayXY()).y(), 2 * T.E.LineHeight());
}

// ---- scroll bars --------------------------------------------------------------------------------

// The vertical bar counts rows, the horizontal one goes, and switching word wrap on and off
// keeps the line at the top.
void TestLexEditWordWrap::scrollBarsCountRows() {
    TLexEdit E;
    E.setAttribute(Qt::WA_DontShowOnScreen);
    E.SetEditorFont(TestFont());
    E.resize(500, 300);
    E.show();
    QStringList Lines;
    for (int i = 0; i < 200; ++i)
        Lines << QString(i % 3 == 0 ? 300 : 10, QLatin1Char('w'));
    E.SetLines(Lines);
    E.SetTopLine(100);
    E.SetWordWrap(true);
    QCOMPARE(E.RowToLine(E.TopLine()), 100);
    QCOMPARE(E.LineToRow(E.RowToLine(E.TopLine())), E.TopLine());
    QCOMPARE(E.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    QTRY_VERIFY(E.DisplayLineCount() > 200);
    const QScrollBar *V = E.verticalScrollBar();
    QTRY_COMPARE(V->maximum(), E.DisplayLineCount() - E.LinesInWindow() + 1);
    QCOMPARE(V->value(), E.TopLine());
    E.SetLeftChar(5);
    QCOMPARE(E.LeftChar(), 1);
    // The last rows can be reached.
    E.SetTopLine(INT_MAX);
    QCOMPARE(E.TopLine(), E.DisplayLineCount() - E.LinesInWindow() + 1);
    E.SetTopLine(E.LineToRow(120));
    E.SetWordWrap(false);
    QCOMPARE(E.TopLine(), 120);
    QCOMPARE(E.verticalScrollBar()->maximum(), 200 - E.LinesInWindow() + 1);
}

// ---- painting -----------------------------------------------------------------------------------

// Each row shows its own part of the line: the cells of a wrapped row are those of the text
// from the row's first character, the gutter numbers only first rows and marks every
// continuation row with the glyph.
void TestLexEditWordWrap::paintingWrappedRows() {
    TWrapEdit T;
    T.E.SetColor(clWhite);
    T.E.Gutter().SetShowLineNumbers(true);
    T.E.SetLines({QStringLiteral("aaaaaaaaaa") + QStringLiteral("bbbbbbbbbb") + QStringLiteral("cc"),
                  QStringLiteral("aaaaaaaaaa"), QStringLiteral("bbbbbbbbbb")});
    QVERIFY(T.SetColumns(10));
    T.E.SetWordWrap(true);
    QVERIFY(T.SetColumns(10));
    QCOMPARE(T.E.DisplayLineCount(), 5);
    QImage Image(T.E.viewport()->size(), QImage::Format_ARGB32);
    Image.fill(0xFFFF00FF);
    {
        QPainter P(&Image);
        T.E.paintArea(P, Image.rect());
    }
    const int H = T.E.LineHeight();
    const int Text = T.E.GutterWidth() + 2;
    const int Width = 10 * T.E.CharWidth();
    const auto RowPixels = [&](int ARow, int AWidth) { return Image.copy(Text, (ARow - 1) * H, AWidth, H); };
    // Row 2 of line 1 looks like line 3, row 1 like line 2.
    QCOMPARE(RowPixels(1, Width), RowPixels(4, Width));
    QCOMPARE(RowPixels(2, Width), RowPixels(5, Width));
    QVERIFY(RowPixels(1, Width) != RowPixels(2, Width));
    // The gutter: a number on rows 1, 4 and 5, the glyph on rows 2 and 3.
    const auto GutterPixels = [&](int ARow) { return Image.copy(0, (ARow - 1) * H, T.E.GutterWidth(), H); };
    QCOMPARE(GutterPixels(2), GutterPixels(3));
    QVERIFY(GutterPixels(2) != GutterPixels(1));
    QVERIFY(GutterPixels(4) != GutterPixels(5));
    T.E.WordWrapGlyph().SetVisible(false);
    Image.fill(0xFFFF00FF);
    {
        QPainter P(&Image);
        T.E.paintArea(P, Image.rect());
    }
    // Without the glyph a continuation row of the gutter is plain.
    const QImage Plain = GutterPixels(2);
    for (int y = 0; y < Plain.height(); ++y)
        for (int x = 0; x < T.E.GutterWidth() - 2; ++x)
            QCOMPARE(Plain.pixel(x, y), Plain.pixel(0, 0));
}

// ---- regression tests ---------------------------------------------------------------------------

// When the first painted row continues a line, OnGutterPaint reports that line with offset 0
// (its row lies outside the painted rows) and the lines below with their marks' offsets.
void TestLexEditWordWrap::gutterPaintFromContinuationRow() {
    TWrapEdit T;
    T.E.SetLines({QString(50, QLatin1Char('x')), QStringLiteral("y"), QStringLiteral("z")});
    QVERIFY(T.SetColumns(10));
    T.E.SetWordWrap(true);
    QCOMPARE(T.E.DisplayLineCount(), 7);
    T.E.SetOptions(T.E.Options() + TLexEditorOptions{eoScrollPastEof});
    T.E.SetTopLine(3);
    T.E.Marks().Add(TLexEditMark{2, 1, 2, -1, true, true});
    T.E.Marks().Add(TLexEditMark{1, 1, 3, -1, true, true});
    QList<QPoint> Calls;
    QList<int> Ys;
    T.E.OnGutterPaint = [&](TCustomLexEdit *, int Line, int X, int Y) {
        Calls << QPoint(Line, X);
        Ys << Y;
    };
    QImage Image(T.E.viewport()->size(), QImage::Format_ARGB32);
    QPainter Painter(&Image);
    T.E.paintArea(Painter, QRect(0, 0, T.E.GutterWidth(), 5 * T.E.LineHeight()));
    const int Off = T.E.BookMarkOptions().Xoffset();
    QCOMPARE(Calls, (QList<QPoint>{{1, 0}, {2, Off}, {3, 0}}));
    QCOMPARE(Ys, (QList<int>{-2 * T.E.LineHeight(), 3 * T.E.LineHeight(), 4 * T.E.LineHeight()}));
}

// A wrapped line is scanned by the highlighter once per paint, however many rows it shows.
void TestLexEditWordWrap::wrappedLineScannedOncePerPaint() {
    // One token per character; counts the lines it is given for painting.
    class TCounting : public TLexCustomHighlighter {
    public:
        TCounting() : TLexCustomHighlighter(nullptr) {}
        QHash<int, int> Scans;
        void SetLineExpandedAtWideGlyphs(const QString &Line, const QString &ExpandedLine,
                                         int LineNumber) override {
            ++Scans[LineNumber];
            TLexCustomHighlighter::SetLineExpandedAtWideGlyphs(Line, ExpandedLine, LineNumber);
        }
        bool GetEol() const override { return Run > LineLength(); }
        void Next() override {
            fTokenPos = Run;
            ++Run;
            TLexCustomHighlighter::Next();
        }
        int GetTokenKind() const override { return 0; }
        TLexHighlighterAttributes *GetTokenAttribute() const override { return nullptr; }
        TLexHighlighterAttributes *GetDefaultAttribute(int) const override { return nullptr; }
    } Php;
    TWrapEdit T;
    T.E.SetHighlighter(&Php);
    QString Long = QStringLiteral("<?php ");
    while (Long.size() < 2000)
        Long += QStringLiteral("$a = 'text' . 42; // c\n").left(21);
    T.E.SetLines({QStringLiteral("<?php"), Long, QStringLiteral("$b = 1;")});
    QVERIFY(T.SetColumns(40));
    T.E.SetWordWrap(true);
    T.E.SetTopLine(10); // inside the long line
    QVERIFY(T.W().LineRowCount(1) > 40);
    Php.Scans.clear();
    QImage Image(T.E.viewport()->size(), QImage::Format_ARGB32);
    Image.fill(0xFFFF00FF);
    {
        QPainter P(&Image);
        T.E.paintArea(P, Image.rect());
    }
    QCOMPARE(Php.Scans.value(1), 1);
    for (int y = 0; y < Image.height(); ++y)
        for (int x = 0; x < Image.width(); ++x)
            QVERIFY(Image.pixel(x, y) != 0xFFFF00FF);
    T.E.SetHighlighter(nullptr);
}

void TestLexEditWordWrap::rowMapRoundTripsThroughWrapToggles() {
    // Word wrap on, off and on again at random widths after random edits: every line's first row
    // maps back to it, and the rows are the lines' rows in order, each line at least one.
    TWrapEdit T;
    InjectWideGlyphs(T.E);
    QRandomGenerator R(23);
    QStringList Lines;
    for (int i = 0; i < 300; ++i)
        Lines << RandomText(R);
    T.E.SetLines(Lines);
    TLexEditStringList &L = *T.E.Lines();
    for (int Round = 0; Round < 12; ++Round) {
        for (int k = 0; k < 20; ++k) {
            const int At = R.bounded(L.Count() + 1);
            switch (R.bounded(3)) {
            case 0:
                L.Insert(At, RandomText(R));
                break;
            case 1:
                if (At < L.Count()) L.Delete(At);
                break;
            default:
                if (At < L.Count()) L.Put(At, RandomText(R));
            }
        }
        const bool Wrap = Round % 3 != 1;
        if (Wrap) QVERIFY(T.SetColumns(10 + R.bounded(60)));
        T.E.SetWordWrap(Wrap);
        int Rows = 0;
        for (int Line = 1; Line <= L.Count(); ++Line) {
            const int Row = T.E.LineToRow(Line);
            QCOMPARE(T.E.RowToLine(Row), Line);
            QCOMPARE(Row, Rows + 1);
            // The rows the wrap made of this line, checked against its own split of the line.
            const int LineRows = Wrap ? T.W().LineRowCount(Line - 1) : 1;
            QVERIFY(LineRows >= 1);
            if (Wrap) {
                std::vector<uint16_t> Split;
                QCOMPARE(T.W().SplitLine(T.Display(Line - 1), Split), LineRows);
            }
            QCOMPARE(T.E.LineToRow(Line + 1) - Row, LineRows);
            Rows += LineRows;
        }
        QCOMPARE(T.E.DisplayLineCount(), Rows);
    }
}

QTEST_MAIN(TestLexEditWordWrap)
#include "tst_lexedit_wordwrap.moc"
