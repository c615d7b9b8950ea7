// SPDX-License-Identifier: MIT
// Painting of the editor: the text rows with their colours, selection and special characters,
// the gutter with line numbers, border and marks, the bookmarks, and the column rule the display
// form shares with the mapping and the line buffer. Pictures are painted into images with
// DejaVu Sans Mono without antialiasing, so they do not depend on rendering details.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include "../../bench/BenchPhpFile.h"

#include <QPainter>
#include <QtTest>

using namespace lexedit;
using namespace editor_test;

namespace {

constexpr QRgb Magenta = 0xFFFF00FF;

// An editor shown offscreen with the test font and plain colours.
struct TPaintEdit {
    TLexEdit E;
    explicit TPaintEdit(int AWidth = 640, int AHeight = 400, int APixelSize = 14) {
        E.setAttribute(Qt::WA_DontShowOnScreen);
        E.SetEditorFont(TestFont(APixelSize));
        E.Gutter().SetFont(TestFont(APixelSize));
        E.SetColor(clWhite);
        E.SelectedColor().SetBackground(clNavy);
        E.SelectedColor().SetForeground(clWhite);
        E.resize(AWidth, AHeight);
        E.show();
    }
    QSize Size() const { return E.viewport()->size(); }
    // The viewport painted over magenta, as one area or strip by strip.
    QImage Paint(const QList<QRect> &AStrips = {}) {
        QImage Image(Size(), QImage::Format_ARGB32);
        Image.fill(Magenta);
        QPainter P(&Image);
        if (AStrips.isEmpty())
            E.paintArea(P, Image.rect());
        else
            for (const QRect &R : AStrips)
                E.paintArea(P, R);
        return Image;
    }
    // A pixel of the cell (column, row) well away from glyph ink (its top left corner).
    QPoint Cell(int AColumn, int ARow) const {
        return QPoint(E.GutterWidth() + 2 + (AColumn - E.LeftChar()) * E.CharWidth() + 1,
                      (ARow - E.TopLine()) * E.LineHeight() + 1);
    }
    QRgb At(const QImage &AImage, int AColumn, int ARow) const { return AImage.pixel(Cell(AColumn, ARow)); }
};

QRgb Rgb(TColor C) {
    return ColorToQColor(C, QPalette()).rgb();
}

int CountOf(const QImage &AImage, QRgb AColor) {
    int n = 0;
    for (int y = 0; y < AImage.height(); ++y)
        for (int x = 0; x < AImage.width(); ++x)
            n += AImage.pixel(x, y) == AColor;
    return n;
}

QStringList PhpLines(int ACount) {
    return QString::fromUtf8(GeneratePhp(ACount)).split(QStringLiteral("\n"));
}

} // namespace

class TestLexEditPaint : public QObject {
    Q_OBJECT

private slots:
    void fullPaintCoversEveryPixel_data();
    void fullPaintCoversEveryPixel();
    void stripsPaintAsTheWhole_data();
    void stripsPaintAsTheWhole();
    void selectionColours_data();
    void selectionColours();
    void hiddenSelectionWithoutFocus();
    void activeLineAndRightEdge();
    void specialLineColors();
    void specialCharacters();
    void gutterWidths();
    void lineNumbersAndBorder();
    void gradientBands();
    void marksAndBookmarks();
    void bookmarksMoveWithLines();

    // One regression test per mended fault.
    void wideGlyphBeforeTabOneColumnRule();
    void genuineFillerCharacterKeepsItsCell();
    void surrogatePairIsOneGlyph();
    void endOfLineGlyphWithoutDefaultAttribute();
    void gutterPaintOffsetsAndEmptyPictureStrip();
    void zeroCellSizesDoNotDivide();
    void rowsHoldUnderscores();
};

// ---- the whole picture --------------------------------------------------------------------------

void TestLexEditPaint::fullPaintCoversEveryPixel_data() {
    QTest::addColumn<bool>("Highlighted");
    QTest::addColumn<bool>("Special");
    QTest::addColumn<bool>("LineNumbers");
    QTest::newRow("plain") << false << false << false;
    QTest::newRow("php") << true << false << true;
    QTest::newRow("php special") << true << true << true;
    QTest::newRow("empty") << false << true << true;
}

void TestLexEditPaint::fullPaintCoversEveryPixel() {
    QFETCH(bool, Highlighted);
    QFETCH(bool, Special);
    QFETCH(bool, LineNumbers);
    TPaintEdit P;
    TLexPHPLex Php;
    if (Highlighted) P.E.SetHighlighter(&Php);
    if (Special) P.E.SetOptions(P.E.Options() + TLexEditorOptions{eoShowSpecialChars});
    P.E.Gutter().SetShowLineNumbers(LineNumbers);
    if (QTest::currentDataTag() != QByteArray("empty")) P.E.SetLines(PhpLines(12));
    P.E.SetCaretXY(BufferCoord(3, 2));
    P.E.SetBlockBegin(BufferCoord(2, 3));
    P.E.SetBlockEnd(BufferCoord(5, 5));
    const QImage Image = P.Paint();
    QCOMPARE(CountOf(Image, Magenta), 0);
}

void TestLexEditPaint::stripsPaintAsTheWhole_data() {
    QTest::addColumn<int>("Mode");
    QTest::addColumn<bool>("Special");
    QTest::addColumn<bool>("Wrap");
    QTest::newRow("normal") << int(smNormal) << false << false;
    QTest::newRow("line") << int(smLine) << false << false;
    QTest::newRow("column special") << int(smColumn) << true << false;
    QTest::newRow("normal special") << int(smNormal) << true << false;
    QTest::newRow("normal wrap") << int(smNormal) << false << true;
    QTest::newRow("line wrap") << int(smLine) << false << true;
    QTest::newRow("column special wrap") << int(smColumn) << true << true;
    QTest::newRow("normal special wrap") << int(smNormal) << true << true;
}

// Painting the whole area equals painting it as random strips one after the other: the column
// and row bounds, token cuts and run offsets agree wherever a paint is cut.
void TestLexEditPaint::stripsPaintAsTheWhole() {
    QFETCH(int, Mode);
    QFETCH(bool, Special);
    QFETCH(bool, Wrap);
    TPaintEdit P(560, 360);
    TLexPHPLex Php;
    P.E.SetHighlighter(&Php);
    P.E.Gutter().SetShowLineNumbers(true);
    P.E.SetTabWidth(4);
    if (Special) P.E.SetOptions(P.E.Options() + TLexEditorOptions{eoShowSpecialChars});
    QStringList Lines = PhpLines(30);
    Lines[3] = QStringLiteral("\t$a\t= 1;\t\t// tabs\tand blanks   ");
    Lines[5] = QStringLiteral("x\tyy\tzzz\t/* open comment");
    if (Wrap) {
        // Lines of several rows: words, tabs and strings crossing row ends, a word wider than
        // the window, and a comment opened on one row and closed on a later one.
        Lines[6] =
            QStringLiteral("$s = 'a string of words that goes on';\t$t = \"more\" . $s . 'x'; ").repeated(3);
        Lines[7] = QStringLiteral("$") + QString(150, QLatin1Char('w')) +
                   QStringLiteral(" = 1; /* a comment ") + QString(40, QLatin1Char('-')) +
                   QStringLiteral(" */ $b = 2;");
        Lines[10] = QStringLiteral("\t\t// tabbed comment ").repeated(8);
    }
    P.E.SetLines(Lines);
    P.E.SetWordWrap(Wrap);
    P.E.SetActiveLineColor(clYellow);
    P.E.SetRightEdge(40);
    P.E.SetSelectionMode(TLexSelectionMode(Mode));
    P.E.SetCaretXY(BufferCoord(4, 4));
    P.E.SetBlockBegin(BufferCoord(6, 2));
    P.E.SetBlockEnd(BufferCoord(12, 9));
    P.E.SetLeftChar(3);
    if (Wrap) {
        QVERIFY(P.E.DisplayLineCount() > Lines.size() + 5);
        // The first row shown continues line 8.
        P.E.SetTopLine(P.E.LineToRow(8) + 1);
        QCOMPARE(P.E.RowToLine(P.E.TopLine()), 8);
    }
    const QImage Whole = P.Paint();
    if (Wrap) QCOMPARE(CountOf(Whole, Magenta), 0);
    QRandomGenerator Random(11);
    for (int Round = 0; Round < 12; ++Round) {
        const bool Vertical = Round % 2 == 0;
        const int Extent = Vertical ? Whole.width() : Whole.height();
        QList<QRect> Strips;
        int From = 0;
        while (From < Extent) {
            const int To = std::min(Extent, From + int(Random.bounded(1, 40)));
            Strips << (Vertical ? QRect(From, 0, To - From, Whole.height())
                                : QRect(0, From, Whole.width(), To - From));
            From = To;
        }
        // Strips in random order.
        for (int i = int(Strips.size()) - 1; i > 0; --i)
            Strips.swapItemsAt(i, int(Random.bounded(i + 1)));
        const QImage Cut = P.Paint(Strips);
        for (int y = 0; y < Whole.height(); ++y)
            for (int x = 0; x < Whole.width(); ++x)
                if (Whole.pixel(x, y) != Cut.pixel(x, y))
                    QFAIL(qPrintable(QStringLiteral("round %1: pixel (%2, %3) differs: %4 against %5")
                                         .arg(Round)
                                         .arg(x)
                                         .arg(y)
                                         .arg(Whole.pixel(x, y), 0, 16)
                                         .arg(Cut.pixel(x, y), 0, 16)));
    }
}

// ---- colours -------------------------------------------------------------------------------

void TestLexEditPaint::selectionColours_data() {
    QTest::addColumn<int>("Mode");
    QTest::addColumn<TBufferCoord>("Begin");
    QTest::addColumn<TBufferCoord>("End");
    QTest::addColumn<QStringList>("Expected"); // per row: S selected, . not, for columns 1..12
    QTest::newRow("stream one line") << int(smNormal) << BufferCoord(5, 2) << BufferCoord(9, 2)
                                     << QStringList{"............", "....SSSS....", "............"};
    QTest::newRow("stream lines") << int(smNormal) << BufferCoord(3, 1) << BufferCoord(2, 3)
                                  << QStringList{"..SSSSSSSSSS", "SSSSSSSSSSSS", "S..........."};
    QTest::newRow("ends at column 1") << int(smNormal) << BufferCoord(3, 1) << BufferCoord(1, 2)
                                      << QStringList{"..SSSSSSSSSS", "............", "............"};
    QTest::newRow("line") << int(smLine) << BufferCoord(3, 1) << BufferCoord(2, 2)
                          << QStringList{"SSSSSSSSSSSS", "SSSSSSSSSSSS", "............"};
    QTest::newRow("column") << int(smColumn) << BufferCoord(7, 1) << BufferCoord(3, 3)
                            << QStringList{"..SSSS......", "..SSSS......", "..SSSS......"};
}

void TestLexEditPaint::selectionColours() {
    QFETCH(int, Mode);
    QFETCH(TBufferCoord, Begin);
    QFETCH(TBufferCoord, End);
    QFETCH(QStringList, Expected);
    TPaintEdit P;
    P.E.SetLines({QStringLiteral("      "), QStringLiteral("          "), QStringLiteral("    ")});
    P.E.SetSelectionMode(TLexSelectionMode(Mode));
    P.E.SetBlockBegin(Begin);
    P.E.SetBlockEnd(End);
    const QImage Image = P.Paint();
    for (int Row = 1; Row <= 3; ++Row) {
        QString Got;
        for (int Col = 1; Col <= 12; ++Col)
            Got += P.At(Image, Col, Row) == Rgb(clNavy) ? QLatin1Char('S') : QLatin1Char('.');
        QCOMPARE(Got, Expected[Row - 1]);
    }
}

void TestLexEditPaint::hiddenSelectionWithoutFocus() {
    TPaintEdit P;
    P.E.SetLines({QStringLiteral("        ")});
    P.E.SetBlockBegin(BufferCoord(2, 1));
    P.E.SetBlockEnd(BufferCoord(6, 1));
    P.E.clearFocus();
    QCOMPARE(P.At(P.Paint(), 3, 1), Rgb(clNavy));
    P.E.SetHideSelection(true);
    QCOMPARE(P.At(P.Paint(), 3, 1), Rgb(clWhite));
}

void TestLexEditPaint::activeLineAndRightEdge() {
    TPaintEdit P(800);
    TLexPHPLex Php;
    P.E.SetHighlighter(&Php);
    P.E.SetLines({QStringLiteral("<?php $a = 'x';"), QStringLiteral("  ")});
    P.E.SetActiveLineColor(clYellow);
    P.E.SetCaretXY(BufferCoord(1, 2));
    const QImage Image = P.Paint();
    // The caret line and the rest of its row take the active colour; the strip after the gutter
    // and the area below the last line do not.
    QCOMPARE(P.At(Image, 1, 2), Rgb(clYellow));
    QCOMPARE(P.At(Image, 30, 2), Rgb(clYellow));
    QVERIFY(P.At(Image, 30, 1) != Rgb(clYellow));
    QVERIFY(Image.pixel(P.E.GutterWidth() + 1, P.Cell(1, 2).y()) != Rgb(clYellow));
    QVERIFY(P.At(Image, 1, 4) != Rgb(clYellow));
    // The right edge at gutter width + 2 + 80 cells, through every row and below the text.
    const int X = P.E.GutterWidth() + 2 + 80 * P.E.CharWidth();
    if (X < Image.width()) {
        for (int y = 0; y < Image.height(); ++y)
            QCOMPARE(Image.pixel(X, y), Rgb(clSilver));
        QVERIFY(Image.pixel(X - 1, P.Cell(1, 4).y()) != Rgb(clSilver));
    } else {
        QFAIL("the viewport is too narrow for the right edge");
    }
    // Scrolled so that the edge leaves the clip, it is not drawn there.
    P.E.SetRightEdge(5);
    P.E.SetLeftChar(20);
    QCOMPARE(CountOf(P.Paint(), Rgb(clSilver)), 0);
}

void TestLexEditPaint::specialLineColors() {
    TPaintEdit P;
    P.E.SetLines({QStringLiteral("    "), QStringLiteral("    "), QStringLiteral("    ")});
    P.E.OnSpecialLineColors = [](TCustomLexEdit *, int Line, bool &Special, TColor &FG, TColor &BG) {
        if (Line != 2) return;
        Special = true;
        FG = clRed;
        BG = clGreen;
    };
    P.E.SetBlockBegin(BufferCoord(3, 2));
    P.E.SetBlockEnd(BufferCoord(3, 3));
    const QImage Image = P.Paint();
    QCOMPARE(P.At(Image, 1, 2), Rgb(clGreen));
    QCOMPARE(P.At(Image, 20, 2), Rgb(clRed)); // selected part: the special colours swapped
    QCOMPARE(P.At(Image, 1, 1), Rgb(clWhite));
    QCOMPARE(P.At(Image, 1, 3), Rgb(clNavy));
}

void TestLexEditPaint::specialCharacters() {
    TPaintEdit P;
    P.E.SetTabWidth(4);
    P.E.SetLines({QStringLiteral("a b\tc")});
    P.E.SetOptions(P.E.Options() + TLexEditorOptions{eoShowSpecialChars});
    const QImage Shown = P.Paint();
    P.E.SetOptions(P.E.Options() - TLexEditorOptions{eoShowSpecialChars});
    const QImage Plain = P.Paint();
    // Ink in the blank's cell (the dot), in the tab's cells (the arrow) and after the line end
    // (the pilcrow) only with special characters shown.
    const auto InkIn = [&](const QImage &I, int ACol) {
        const QPoint C = P.Cell(ACol, 1);
        int n = 0;
        for (int y = C.y(); y < C.y() + P.E.LineHeight() - 1; ++y)
            for (int x = C.x() - 1; x < C.x() - 1 + P.E.CharWidth(); ++x)
                n += qGray(I.pixel(x, y)) < 128;
        return n;
    };
    for (int Col : {2, 4, 6}) {
        QCOMPARE(InkIn(Plain, Col), 0);
        QVERIFY2(InkIn(Shown, Col) > 0, qPrintable(QString::number(Col)));
    }
    QCOMPARE(InkIn(Shown, 8), 0);
}

// ---- gutter ---------------------------------------------------------------------------------

void TestLexEditPaint::gutterWidths() {
    TPaintEdit P;
    TLexGutter &G = P.E.Gutter();
    const int Cell = P.E.TextDrawer().CharWidth(); // the gutter font equals the editor font here
    QCOMPARE(P.E.GutterWidth(), 30);
    QStringList Lines;
    for (int i = 0; i < 1000; ++i)
        Lines << QString();
    P.E.SetLines(Lines);
    G.SetShowLineNumbers(true);
    QCOMPARE(P.E.GutterWidth(), 16 + 2 + 4 * Cell + 2);
    G.SetAutoSize(true);
    QCOMPARE(G.AutoSizeDigits(), 4);
    P.E.SetLines(Lines + QStringList(9000, QString()));
    QCOMPARE(G.AutoSizeDigits(), 5);
    QCOMPARE(P.E.GutterWidth(), 16 + 2 + 5 * Cell + 2);
    // With ZeroStart the largest number is one less: 10000 lines still show 4 digits.
    G.SetZeroStart(true);
    P.E.SetLines(Lines + QStringList(9000, QString()));
    QCOMPARE(G.AutoSizeDigits(), 4);
    P.E.Lines()->Add(QString());
    QCOMPARE(G.AutoSizeDigits(), 5);
    G.SetShowLineNumbers(false);
    QCOMPARE(P.E.GutterWidth(), 20);
    G.SetVisible(false);
    QCOMPARE(P.E.GutterWidth(), 0);
    QCOMPARE(G.Width(), 0);
    const QImage Image = P.Paint();
    QCOMPARE(Image.pixel(1, 1), Rgb(clWhite)); // no gutter painted
}

void TestLexEditPaint::lineNumbersAndBorder() {
    TPaintEdit P;
    TLexGutter &G = P.E.Gutter();
    G.SetColor(clSilver);
    G.SetBorderColor(clRed);
    QCOMPARE(G.FormatLineNumber(7), QStringLiteral("   7"));
    G.SetLeadingZeros(true);
    QCOMPARE(G.FormatLineNumber(7), QStringLiteral("0007"));
    QCOMPARE(G.FormatLineNumber(123456), QStringLiteral("123456"));
    G.SetLeadingZeros(false);
    G.SetLineNumberStart(10);
    QCOMPARE(G.FormatLineNumber(1), QStringLiteral("  10"));
    G.SetLineNumberStart(0);
    QVERIFY(G.ZeroStart());
    QCOMPARE(G.FormatLineNumber(1), QStringLiteral("   0"));
    G.SetLineNumberStart(1);
    G.SetShowLineNumbers(true);
    P.E.SetLines(QStringList(10, QStringLiteral("x")));
    const QImage Image = P.Paint();
    const int W = P.E.GutterWidth();
    // The digits of "7" end at x = gutter width - 4: the ink of row 7 lies inside the last cell.
    const int Top = 6 * P.E.LineHeight();
    int InkLeft = W, InkRight = -1;
    for (int y = Top; y < Top + P.E.LineHeight(); ++y)
        for (int x = 0; x < W - 2; ++x)
            if (qGray(Image.pixel(x, y)) < 100) {
                InkLeft = std::min(InkLeft, x);
                InkRight = std::max(InkRight, x);
            }
    QVERIFY(InkRight >= 0);
    QVERIFY2(InkRight < W - 4 && InkLeft >= W - 4 - P.E.CharWidth(),
             qPrintable(QStringLiteral("%1..%2 of %3").arg(InkLeft).arg(InkRight).arg(W)));
    // gbsMiddle: the border colour one pixel left of the edge, the gutter colour at the edge.
    for (int y : {0, Top + 3, Image.height() - 1}) {
        QCOMPARE(Image.pixel(W - 2, y), Rgb(clRed));
        QCOMPARE(Image.pixel(W - 1, y), Rgb(clSilver));
        QCOMPARE(Image.pixel(W - 3, y) == Rgb(clRed), false);
    }
    G.SetBorderStyle(gbsRight);
    const QImage Right = P.Paint();
    QCOMPARE(Right.pixel(W - 1, 5), Rgb(clRed));
    QCOMPARE(Right.pixel(W - 2, 5), Rgb(clSilver));
    G.SetBorderStyle(gbsNone);
    QCOMPARE(CountOf(P.Paint(), Rgb(clRed)), 0);
}

void TestLexEditPaint::gradientBands() {
    TPaintEdit P;
    TLexGutter &G = P.E.Gutter();
    G.SetGradient(true);
    G.SetGradientStartColor(clBlack);
    G.SetGradientEndColor(clWhite);
    G.SetGradientSteps(3);
    G.SetBorderStyle(gbsNone);
    const int W = P.E.GutterWidth();
    const QImage Image = P.Paint();
    // Three bands across the width: black, mid grey, white, each a third of the gutter.
    QCOMPARE(Image.pixel(0, 3), qRgb(0, 0, 0));
    QCOMPARE(Image.pixel(W / 3 - 1, 3), qRgb(0, 0, 0));
    QCOMPARE(Image.pixel(W / 3 + 1, 3), qRgb(128, 128, 128));
    QCOMPARE(Image.pixel(W - 1, Image.height() - 1), qRgb(255, 255, 255));
}

void TestLexEditPaint::marksAndBookmarks() {
    TPaintEdit P;
    P.E.SetLines(QStringList(20, QStringLiteral("text")));
    P.E.SetBookMark(3, 2, 5);
    P.E.SetBookMark(4, 1, 5);
    P.E.Marks().Add(TLexEditMark{5, 1, 7, -1, true, true});
    int X = 0, Y = 0;
    QVERIFY(P.E.GetBookMark(3, X, Y));
    QCOMPARE(QPoint(X, Y), QPoint(2, 5));
    QVERIFY(!P.E.IsBookmark(1));
    QList<QPoint> Offsets;
    P.E.OnGutterPaint = [&](TCustomLexEdit *, int Line, int AX, int) { Offsets << QPoint(Line, AX); };
    const QImage Image = P.Paint();
    // Three marks on line 5: only the first picture is drawn, each advances the offset.
    QVERIFY(Offsets.contains(QPoint(5, 36)));
    QVERIFY(Offsets.contains(QPoint(4, 0)));
    const int Top = 4 * P.E.LineHeight();
    int Blue = 0;
    for (int y = Top; y < Top + P.E.LineHeight(); ++y)
        for (int x = 2; x < 13; ++x)
            Blue += qBlue(Image.pixel(x, y)) > 150 && qRed(Image.pixel(x, y)) < 120;
    QVERIFY(Blue > 20);
    // Setting bookmark 3 elsewhere moves it: the old one is cleared first.
    QList<int> Cleared;
    P.E.OnClearBookmark = [&](TCustomLexEdit *, TLexEditMark &M) { Cleared << M.Line; };
    P.E.SetBookMark(3, 1, 9);
    QCOMPARE(Cleared, QList<int>{5});
    QVERIFY(P.E.GetBookMark(3, X, Y));
    QCOMPARE(Y, 9);
    P.E.GotoBookMark(3);
    QCOMPARE(P.E.CaretXY(), BufferCoord(1, 9));
    P.E.ClearBookMark(3);
    QVERIFY(!P.E.IsBookmark(3));
    // Out of range numbers and lines do nothing.
    P.E.SetBookMark(10, 1, 1);
    P.E.SetBookMark(2, 1, 99);
    QVERIFY(!P.E.IsBookmark(10) && !P.E.IsBookmark(2));
    // A handler may cancel the placing.
    P.E.OnPlaceBookmark = [](TCustomLexEdit *, TLexEditMark &, bool &Place) { Place = false; };
    P.E.SetBookMark(1, 1, 1);
    QVERIFY(!P.E.IsBookmark(1));
}

void TestLexEditPaint::bookmarksMoveWithLines() {
    TPaintEdit P;
    P.E.SetLines(QStringList(10, QStringLiteral("line")));
    P.E.SetBookMark(0, 1, 4);
    P.E.SetBookMark(1, 1, 8);
    P.E.Lines()->Insert(1, QStringLiteral("new"));
    int X = 0, Y = 0;
    QVERIFY(P.E.GetBookMark(0, X, Y));
    QCOMPARE(Y, 5);
    P.E.Lines()->Delete(0);
    P.E.Lines()->Delete(0);
    QVERIFY(P.E.GetBookMark(0, X, Y));
    QCOMPARE(Y, 3);
    QVERIFY(P.E.GetBookMark(1, X, Y));
    QCOMPARE(Y, 7);
}

// ---- regressions ------------------------------------------------------------------------------

// A glyph two cells wide before a tab: the tab reaches its stop in display columns everywhere.
void TestLexEditPaint::wideGlyphBeforeTabOneColumnRule() {
    TLexEdit E;
    E.SetTabWidth(4);
    InjectWidths(E, {{0x216B, 1.5}, {0x4E2D, 2.0}});
    const QString Twelve = QStringLiteral("\x216B");
    E.SetLines(
        {Twelve + QStringLiteral("\tx"), QStringLiteral("ab\x4E2D\t\x4E2D\ty"), QStringLiteral("\tq")});
    const struct {
        int Line;
        int Width;
    } Expected[] = {{1, 5}, {2, 13}, {3, 5}};
    for (const auto &X : Expected) {
        const int Index = X.Line - 1;
        const int Len = E.Lines()->LineCharLength(Index);
        // The mapping's width of the line, the buffer's expanded length and the display form.
        QCOMPARE(E.BufferToDisplayPos(BufferCoord(Len + 1, X.Line)).Column - 1, X.Width);
        QCOMPARE(E.Lines()->ExpandedStringLengths(Index), X.Width);
        QCOMPARE(E.ExpandAtWideGlyphs(E.Lines()->ExpandedStrings(Index)).size(), qsizetype(X.Width));
    }
    QCOMPARE(E.Lines()->LengthOfLongestLine(), 13);
    // The last character of each line sits in the last column of its display form.
    const QString Shown = E.ExpandAtWideGlyphs(E.Lines()->ExpandedStrings(1));
    QCOMPARE(Shown.back(), QLatin1Char('y'));
    QCOMPARE(E.DisplayToBufferPos(DisplayCoord(13, 2)).Char, 7);
}

// A U+E000 of the text is no filler: shrinking keeps it, and only the fillers a wide glyph asks
// for go.
void TestLexEditPaint::genuineFillerCharacterKeepsItsCell() {
    TLexEdit E;
    InjectWidths(E, {{0x4E2D, 2.0}, {0xE000, 1.0}});
    const QString Line = QStringLiteral("a\xE000"
                                        "b\xE000\x4E2D"
                                        "c");
    const QString Form = E.ExpandAtWideGlyphs(Line);
    QCOMPARE(Form, QStringLiteral("a\xE000"
                                  "b\xE000\xE000\x4E2D"
                                  "c"));
    int Count = int(Form.size());
    QCOMPARE(E.ShrinkAtWideGlyphs(Form, 1, Count), Line);
    QCOMPARE(Count, int(Line.size()));
    // A cut starting inside the filler run keeps the text's own U+E000 only.
    Count = 3;
    QCOMPARE(E.ShrinkAtWideGlyphs(Form, 4, Count), QStringLiteral("\xE000\x4E2D"));
    QCOMPARE(Count, 2);
}

// A surrogate pair is one glyph over its columns: painting a row cut inside it equals painting
// the whole row (strip property on a line of pairs and wide glyphs).
void TestLexEditPaint::surrogatePairIsOneGlyph() {
    TPaintEdit P;
    InjectWidths(P.E, {{0x1D11E, 2.0}, {0x4E2D, 2.0}});
    const QString Clef = QString::fromUcs4(U"\U0001D11E");
    P.E.SetLines(
        {QStringLiteral("a") + Clef + QStringLiteral("b\x4E2D") + Clef + Clef + QStringLiteral("z")});
    // The pair takes two columns: z is in column 1 + 2 + 1 + 2 + 2 + 2 + 1 = column 11.
    QCOMPARE(P.E.BufferToDisplayPos(BufferCoord(10, 1)).Column, 11);
    const QString Form = P.E.ExpandAtWideGlyphs(P.E.Lines()->ExpandedStrings(0));
    QCOMPARE(Form.size(), qsizetype(11));
    const QImage Whole = P.Paint();
    QList<QRect> Strips;
    const int X0 = P.E.GutterWidth() + 2;
    const int Cw = P.E.CharWidth();
    int From = 0;
    for (int Col = 1; Col <= 12; ++Col) {
        const int To = X0 + Col * Cw;
        Strips << QRect(From, 0, To - From, Whole.height());
        From = To;
    }
    Strips << QRect(From, 0, Whole.width() - From, Whole.height());
    QCOMPARE(P.Paint(Strips), Whole);
}

// Special characters with a highlighter that has no whitespace or comment attribute: the end of
// line glyph takes the line's colours instead of reading a missing attribute.
void TestLexEditPaint::endOfLineGlyphWithoutDefaultAttribute() {
    class TBareHighlighter : public TLexCustomHighlighter {
    public:
        TBareHighlighter() : TLexCustomHighlighter(nullptr) {}
        // One token per character, then the end of the line.
        bool GetEol() const override { return Run > LineLength(); }
        void Next() override {
            fTokenPos = Run;
            ++Run;
            TLexCustomHighlighter::Next();
        }
        int GetTokenKind() const override { return 0; }
        TLexHighlighterAttributes *GetTokenAttribute() const override { return nullptr; }
        TLexHighlighterAttributes *GetDefaultAttribute(int) const override { return nullptr; }
    } Bare;
    TPaintEdit P;
    P.E.SetHighlighter(&Bare);
    P.E.SetOptions(P.E.Options() + TLexEditorOptions{eoShowSpecialChars});
    P.E.SetLines({QStringLiteral("ab")});
    const QImage Image = P.Paint();
    QCOMPARE(CountOf(Image, Magenta), 0);
    QCOMPARE(P.At(Image, 3, 1), Rgb(clWhite));
    P.E.SetHighlighter(nullptr);
}

// OnGutterPaint gets an offset for every painted line, 0 where no mark was drawn, also when the
// clip starts inside a row; a picture strip without pictures draws nothing instead of dividing
// by its count.
void TestLexEditPaint::gutterPaintOffsetsAndEmptyPictureStrip() {
    TPaintEdit P;
    P.E.SetLines(QStringList(30, QStringLiteral("x")));
    P.E.SetTopLine(5);
    P.E.Marks().Add(TLexEditMark{6, 1, 2, -1, true, true});
    QList<QPoint> Calls;
    P.E.OnGutterPaint = [&](TCustomLexEdit *, int Line, int X, int Y) {
        Calls << QPoint(Line, X);
        QCOMPARE(Y, (Line - 5) * P.E.LineHeight());
    };
    QImage Image(P.Size(), QImage::Format_ARGB32);
    QPainter Painter(&Image);
    // A clip starting half way down the first row.
    P.E.paintArea(Painter, QRect(0, P.E.LineHeight() / 2, P.E.GutterWidth(), 3 * P.E.LineHeight()));
    QCOMPARE(Calls, (QList<QPoint>{{5, 0}, {6, 12}, {7, 0}, {8, 0}, {9, 0}}));
    // The built-in picture strip of no pictures draws nothing rather than dividing by zero.
    TLexInternalImage None(QImage(10, 10, QImage::Format_ARGB32), 0);
    None.Draw(Painter, 0, 0, 0, 10);
    QCOMPARE(None.Width(), 0);
}

// A font without width or height: every division stays defined.
void TestLexEditPaint::zeroCellSizesDoNotDivide() {
    TPaintEdit P;
    QFont Tiny = TestFont();
    Tiny.setPixelSize(1);
    P.E.SetEditorFont(Tiny);
    P.E.SetLines({QStringLiteral("abc\tdef"), QStringLiteral("\x4E2D")});
    QVERIFY(P.E.CharWidth() >= 1);
    QVERIFY(P.E.LineHeight() >= 1);
    QCOMPARE(CountOf(P.Paint(), Magenta), 0);
    QVERIFY(P.E.ExpandAtWideGlyphs(QStringLiteral("\x4E2D")).size() >= 1);
}

// Rows hold the ink of underscores at every pixel size: each row of "____" shows ink inside its
// own rows of pixels.
void TestLexEditPaint::rowsHoldUnderscores() {
    for (int Size = 9; Size <= 24; ++Size) {
        TPaintEdit P(400, 300, Size);
        P.E.SetLines({QStringLiteral("____"), QStringLiteral("____"), QStringLiteral("____")});
        const QImage Image = P.Paint();
        const int H = P.E.LineHeight();
        for (int Row = 0; Row < 3; ++Row) {
            int Ink = 0;
            const int X = P.E.GutterWidth() + 2;
            for (int y = Row * H; y < (Row + 1) * H; ++y)
                for (int x = X; x < X + 4 * P.E.CharWidth(); ++x)
                    Ink += Image.pixel(x, y) != Rgb(clWhite); // small sizes are drawn in grey
            QVERIFY2(Ink >= 2 * P.E.CharWidth(),
                     qPrintable(QStringLiteral("size %1 row %2: %3 ink pixels, row height %4")
                                    .arg(Size)
                                    .arg(Row)
                                    .arg(Ink)
                                    .arg(H)));
        }
    }
}

QTEST_MAIN(TestLexEditPaint)
#include "tst_lexedit_paint.moc"
