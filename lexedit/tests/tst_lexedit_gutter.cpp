// SPDX-License-Identifier: MIT
// The gutter's answers to the mouse and to its marks: clicks through hand-made mouse events (the
// line and the mark under the point, no click after a drag to another line or out of the
// gutter), the rows repainted when marks and bookmarks change, and the scaling of the pixel sizes
// to another resolution.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtTest>

using namespace lexedit;
using namespace editor_test;

namespace {

QStringList ManyLines(int ACount) {
    QStringList L;
    for (int i = 1; i <= ACount; ++i)
        L << QStringLiteral("line %1").arg(i);
    return L;
}

// An editor with line numbers that records the gutter clicks it reports and the rectangles it
// asks to repaint; its mouse is driven by hand-made events with the test's clock.
class TGutterEdit : public TLexEdit {
public:
    TGutterEdit() {
        setAttribute(Qt::WA_DontShowOnScreen);
        SetEditorFont(TestFont(14));
        Gutter().SetFont(TestFont(14));
        Gutter().SetShowLineNumbers(true);
        resize(500, 600);
        show();
        TLexMouseEnvironment Env;
        Env.CursorPos = [this] { return viewport()->mapToGlobal(Cursor); };
        Env.KeyboardModifiers = [] { return Qt::KeyboardModifiers(); };
        Env.DoubleClickTime = [] { return 400; };
        Env.DragDistance = [] { return 4; };
        Env.Now = [this] { return Clock; };
        SetMouseEnvironment(Env);
        OnGutterClick = [this](TCustomLexEdit *, TMouseButton Button, int, int, int Line,
                               TLexEditMark *Mark) {
            Clicks << TClick{Button, Line, Mark};
        };
    }
    struct TClick {
        TMouseButton Button;
        int Line;
        TLexEditMark *Mark;
    };
    QList<TClick> Clicks;
    QList<QRect> Rects;
    QPoint Cursor;
    int64_t Clock = 1000;

    // A point x pixels from the left in the middle of the screen row ARow.
    QPoint At(int AX, int ARow) const { return QPoint(AX, (ARow - 1) * LineHeight() + LineHeight() / 2); }
    void Send(QEvent::Type AType, QPoint AAt, Qt::MouseButton AButton, Qt::MouseButtons AButtons) {
        Cursor = AAt;
        QMouseEvent Ev(AType, QPointF(AAt), QPointF(viewport()->mapToGlobal(AAt)), AButton, AButtons,
                       Qt::NoModifier);
        Ev.setTimestamp(quint64(Clock));
        QCoreApplication::sendEvent(viewport(), &Ev);
    }
    // A press at AFrom, a drag to ATo when it differs, and the release there, well after the
    // last click (no click series).
    void Click(QPoint AFrom, QPoint ATo, Qt::MouseButton AButton = Qt::LeftButton) {
        Clock += 1000;
        Send(QEvent::MouseButtonPress, AFrom, AButton, AButton);
        if (ATo != AFrom) Send(QEvent::MouseMove, ATo, Qt::NoButton, AButton);
        Send(QEvent::MouseButtonRelease, ATo, AButton, Qt::NoButton);
    }
    void Click(QPoint AAt, Qt::MouseButton AButton = Qt::LeftButton) { Click(AAt, AAt, AButton); }

protected:
    void InvalidateRect(const QRect &aRect) override {
        Rects << aRect;
        TLexEdit::InvalidateRect(aRect);
    }
};

// The gutter rows of the lines ALines as the rectangles an editor asks to repaint.
QList<QRect> GutterRows(const TGutterEdit &AEdit, const QList<int> &ALines) {
    QList<QRect> Result;
    for (int Line : ALines)
        Result << QRect(0, (Line - AEdit.TopLine()) * AEdit.LineHeight(), AEdit.GutterWidth(),
                        AEdit.LineHeight());
    return Result;
}

// The width of the widest run of pixels in AImage, within AArea, that differ from its top-left
// pixel.
int InkWidth(const QImage &AImage, const QRect &AArea) {
    const QRgb Background = AImage.pixel(AArea.topLeft());
    int Left = INT_MAX, Right = -1;
    for (int y = AArea.top(); y <= AArea.bottom(); ++y)
        for (int x = AArea.left(); x <= AArea.right(); ++x)
            if (AImage.pixel(x, y) != Background) {
                Left = std::min(Left, x);
                Right = std::max(Right, x);
            }
    return Right < 0 ? 0 : Right - Left + 1;
}

} // namespace

class TestLexEditGutter : public QObject {
    Q_OBJECT

private slots:
    void clickReportsLineAndMark();
    void clicksThatAreNoGutterClicks();
    void rightClickWhenItMovesTheCaret();
    void markChangesRepaintTheirRowsOnly();
    void changeScaleScalesPixelSizes();
};

void TestLexEditGutter::clickReportsLineAndMark() {
    TGutterEdit E;
    E.SetLines(ManyLines(20));
    E.SetBookMark(1, 1, 3);
    E.Marks().Add(TLexEditMark(3, 1, 4, -1, true, true));
    E.Marks().Add(TLexEditMark(5, 1, 4, -1, true, true));
    const int Step = E.BookMarkOptions().Xoffset();
    QVERIFY(3 * Step < E.GutterWidth());
    // Each mark of a line owns one Xoffset of the gutter, in list order; beyond them, none.
    E.Click(E.At(1, 3));
    E.Click(E.At(Step + 1, 3));
    E.Click(E.At(2 * Step + 1, 3));
    E.Click(E.At(Step - 1, 7));
    E.Click(E.At(Step + 1, 5));
    QCOMPARE(E.Clicks.size(), 5);
    const std::vector<TLexEditMark *> OnThree = E.Marks().GetMarksForLine(3);
    QCOMPARE(E.Clicks[0].Line, 3);
    QCOMPARE(E.Clicks[0].Mark, OnThree[0]);
    QVERIFY(E.Clicks[0].Mark->IsBookmark());
    QCOMPARE(E.Clicks[1].Mark, OnThree[1]);
    QCOMPARE(E.Clicks[2].Line, 3);
    QCOMPARE(E.Clicks[2].Mark, nullptr);
    QCOMPARE(E.Clicks[3].Line, 7);
    QCOMPARE(E.Clicks[3].Mark, nullptr);
    QCOMPARE(E.Clicks[4].Line, 5);
    QCOMPARE(E.Clicks[4].Mark, nullptr); // its only mark owns the first Xoffset
    for (const auto &C : E.Clicks)
        QCOMPARE(C.Button, mbLeft);
    // The click placed the caret at the start of the line clicked, as any press does.
    QCOMPARE(E.CaretXY(), BufferCoord(1, 5));
    // Under word wrap a continuation row belongs to its line.
    E.Clicks.clear();
    E.SetLines({QStringLiteral("short"), QString(300, QLatin1Char('x')), QStringLiteral("after")});
    E.SetWordWrap(true);
    QVERIFY(E.LineToRow(3) - E.LineToRow(2) > 1);
    E.Click(E.At(1, E.LineToRow(2) + 1));
    E.Click(E.At(1, E.LineToRow(3)));
    QCOMPARE(E.Clicks.size(), 2);
    QCOMPARE(E.Clicks[0].Line, 2);
    QCOMPARE(E.Clicks[1].Line, 3);
}

void TestLexEditGutter::clicksThatAreNoGutterClicks() {
    TGutterEdit E;
    E.SetLines(ManyLines(20));
    E.SetBookMark(0, 1, 4);
    QVERIFY(E.LinesInWindow() > 22);
    // Beyond the last line; dragged to another line and back into the gutter; released right of
    // the gutter; pressed in the text and released in the gutter; a right click (the right button
    // does not move the caret by default).
    E.Click(E.At(1, 22));
    E.Click(E.At(1, 4), E.At(1, 6));
    E.Click(E.At(1, 4), E.At(E.GutterWidth() + 5, 4));
    E.Click(E.At(E.GutterWidth() + 5, 4), E.At(1, 4));
    E.Click(E.At(1, 4), Qt::RightButton);
    QCOMPARE(E.Clicks.size(), 0);
    // A drag within the line is still a click.
    E.Click(E.At(1, 4), E.At(3, 4));
    QCOMPARE(E.Clicks.size(), 1);
    QCOMPARE(E.Clicks[0].Line, 4);
    QVERIFY(E.Clicks[0].Mark != nullptr && E.Clicks[0].Mark->BookmarkNumber == 0);
}

void TestLexEditGutter::rightClickWhenItMovesTheCaret() {
    TGutterEdit E;
    E.SetLines(ManyLines(20));
    E.SetOptions(E.Options() + TLexEditorOptions{eoRightMouseMovesCursor});
    // The right press runs the click at once; its release runs none.
    E.Clock += 1000;
    E.Send(QEvent::MouseButtonPress, E.At(1, 6), Qt::RightButton, Qt::RightButton);
    QCOMPARE(E.Clicks.size(), 1);
    E.Send(QEvent::MouseButtonRelease, E.At(1, 6), Qt::RightButton, Qt::NoButton);
    QCOMPARE(E.Clicks.size(), 1);
    QCOMPARE(E.Clicks[0].Button, mbRight);
    QCOMPARE(E.Clicks[0].Line, 6);
    QCOMPARE(E.CaretY(), 6);
}

void TestLexEditGutter::markChangesRepaintTheirRowsOnly() {
    TGutterEdit E;
    E.SetLines(ManyLines(60));
    E.SetTopLine(2);
    QVERIFY(E.TopLine() == 2 && E.LinesInWindow() < 50);
    const auto Take = [&E] {
        const QList<QRect> R = E.Rects;
        E.Rects.clear();
        return R;
    };
    Take();
    // Bookmarks: set, moved to another line, cleared.
    E.SetBookMark(2, 1, 5);
    QCOMPARE(Take(), GutterRows(E, {5}));
    E.SetBookMark(2, 1, 9);
    QCOMPARE(Take(), GutterRows(E, {5, 9}));
    E.ClearBookMark(2);
    QCOMPARE(Take(), GutterRows(E, {9}));
    // A mark's setters: its old and new line, its picture, hiding and showing it.
    TLexEditMark &M = E.Marks().Add(TLexEditMark(3, 1, 1, -1, true, true));
    QCOMPARE(Take(), GutterRows(E, {3}));
    M.SetLine(7);
    QCOMPARE(Take(), GutterRows(E, {3, 7}));
    M.SetImageIndex(2);
    M.SetInternalImage(false);
    QCOMPARE(Take(), GutterRows(E, {7, 7}));
    M.SetImageIndex(2); // no change
    M.SetVisible(false);
    QCOMPARE(Take(), GutterRows(E, {7}));
    // Hidden, it repaints nothing until it is shown again.
    M.SetLine(8);
    M.SetImageIndex(3);
    QCOMPARE(Take(), QList<QRect>());
    M.SetVisible(true);
    QCOMPARE(Take(), GutterRows(E, {8}));
    // Lines out of view are not repainted; a copy of a mark belongs to no editor.
    M.SetLine(1);
    QCOMPARE(Take(), GutterRows(E, {8}));
    TLexEditMark Copy = E.Marks().Items(0);
    Copy.SetLine(10);
    Copy.SetVisible(false);
    QCOMPARE(Take(), QList<QRect>());
    QCOMPARE(E.Marks().Items(0).Line, 1);
    QVERIFY(E.Marks().Items(0).List() == &E.Marks());
    QVERIFY(Copy.List() == nullptr);
}

void TestLexEditGutter::changeScaleScalesPixelSizes() {
    TGutterEdit E;
    E.SetLines(ManyLines(20));
    TLexGutter &G = E.Gutter();
    G.SetFont(TestFont(13));
    E.SetBookMark(0, 1, 1);
    const int PPI = E.CurrentPPI();
    const int Left = G.LeftOffset(), Right = G.RightOffset(), Margin = G.RightMargin(), Width = G.Width();
    const int MarkLeft = E.BookMarkOptions().LeftMargin(), Step = E.BookMarkOptions().Xoffset();
    const int CharWidth = E.CharWidth();
    const QSize WrapGlyph(E.WordWrapGlyph().Width(), E.WordWrapGlyph().Height());
    QVERIFY(!WrapGlyph.isEmpty());
    const int CellBefore = (E.GutterWidth() - Left - Right - Margin) / G.AutoSizeDigits();
    // The bookmark picture's ink at this resolution (the picture strip is made by this paint).
    QImage Before(E.viewport()->size(), QImage::Format_RGB32);
    {
        QPainter P(&Before);
        E.paintArea(P, Before.rect());
    }
    const int InkBefore = InkWidth(Before, QRect(0, 0, Left, E.LineHeight()));
    QVERIFY(InkBefore > 5);

    E.ChangeScale(3, 2);
    QCOMPARE(E.CurrentPPI(), MulDiv(PPI, 3, 2));
    QCOMPARE(G.LeftOffset(), MulDiv(Left, 3, 2));
    QCOMPARE(G.RightOffset(), MulDiv(Right, 3, 2));
    QCOMPARE(G.RightMargin(), MulDiv(Margin, 3, 2));
    QCOMPARE(G.Width(), MulDiv(Width, 3, 2));
    QCOMPARE(E.BookMarkOptions().LeftMargin(), MulDiv(MarkLeft, 3, 2));
    QCOMPARE(E.BookMarkOptions().Xoffset(), MulDiv(Step, 3, 2));
    QCOMPARE(E.WordWrapGlyph().Width(), MulDiv(WrapGlyph.width(), 3, 2));
    QCOMPARE(E.WordWrapGlyph().Height(), MulDiv(WrapGlyph.height(), 3, 2));
    // Fonts in pixels: the editor's by multiply-divide (14 -> 21), the gutter's to the nearest
    // size with halves to even (13 -> 19.5 -> 20).
    QCOMPARE(E.EditorFont().pixelSize(), 21);
    QCOMPARE(G.Font().pixelSize(), 20);
    QVERIFY(E.CharWidth() > CharWidth);
    // The width follows the scaled offsets and the scaled gutter font's cells.
    const int Cells = E.GutterWidth() - G.LeftOffset() - G.RightOffset() - G.RightMargin();
    QCOMPARE(Cells % G.AutoSizeDigits(), 0);
    QVERIFY(Cells / G.AutoSizeDigits() > CellBefore);
    QImage After(E.viewport()->size(), QImage::Format_RGB32);
    {
        QPainter P(&After);
        E.paintArea(P, After.rect());
    }
    const int InkAfter = InkWidth(After, QRect(0, 0, G.LeftOffset(), E.LineHeight()));
    QVERIFY2(InkAfter * 2 >= InkBefore * 3 - 4 && InkAfter * 2 <= InkBefore * 3 + 4,
             qPrintable(QStringLiteral("%1 -> %2").arg(InkBefore).arg(InkAfter)));
    // And back: 20 -> 13.33 -> 13; the offsets and the editor font come back exactly.
    E.ChangeScale(2, 3);
    QCOMPARE(G.Font().pixelSize(), 13);
    QCOMPARE(G.LeftOffset(), Left);
    QCOMPARE(E.EditorFont().pixelSize(), 14);
    QCOMPARE(E.CurrentPPI(), PPI);
}

QTEST_MAIN(TestLexEditGutter)
#include "tst_lexedit_gutter.moc"
