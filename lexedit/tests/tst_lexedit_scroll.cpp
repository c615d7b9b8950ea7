// SPDX-License-Identifier: MIT
// The view: pixels and cells, the clamps of the top line and left column, moving pixels against
// repainting, keeping the caret in view, the scroll bars and their actions, the wheel, the caret's
// shapes and the cell size. Sizes are the editor's own measured cells, never a font's pixels.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QLabel>
#include <QPaintEvent>
#include <QScrollBar>
#include <QWheelEvent>
#include <QtTest>

#include <climits>

using namespace lexedit;
using namespace editor_test;

namespace {

QStringList NumberedLines(int ACount, int AWidth = 10) {
    QStringList L;
    for (int i = 1; i <= ACount; ++i)
        L << QStringLiteral("%1").arg(i).leftJustified(AWidth, QLatin1Char('x'));
    return L;
}

// Collects the regions of the viewport's paint events.
class TPaintRecorder : public QObject {
public:
    explicit TPaintRecorder(QWidget *AViewport) { AViewport->installEventFilter(this); }
    QRegion Painted;
    int Events = 0;
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override {
        if (AEvent->type() == QEvent::Paint) {
            Painted += static_cast<QPaintEvent *>(AEvent)->region();
            ++Events;
        }
        return QObject::eventFilter(AWatched, AEvent);
    }
    void Reset() {
        Painted = QRegion();
        Events = 0;
    }
};

// Counts the scroll-bar updates that reach the bars (not those deferred by the update lock).
class TCountingEdit : public TLexEdit {
public:
    int BarUpdates = 0;

protected:
    void UpdateScrollBars() override {
        if (PaintLock() == 0) ++BarUpdates;
        TLexEdit::UpdateScrollBars();
    }
};

void Wheel(TCustomLexEdit &E, int ADelta, Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
    const QPointF At(20, 20);
    QWheelEvent Ev(At, E.viewport()->mapToGlobal(At), QPoint(), QPoint(0, ADelta), Qt::NoButton, AModifiers,
                   Qt::NoScrollPhase, false);
    QCoreApplication::sendEvent(E.viewport(), &Ev);
}

} // namespace

class TestLexEditScroll : public QObject {
    Q_OBJECT

private slots:
    void pixelsToCells_data();
    void pixelsToCells();
    void topLineClamps_data();
    void topLineClamps();
    void leftCharClamps();
    void leftCharCapKeepsPixelOffsetsIn32Bits();
    void smallScrollMovesPixelsLargeOneRepaints();
    void ensureVisible_data();
    void ensureVisible();
    void forceToMiddleShowsCaretOneRowAbove();
    void windowSmallerThanACellKeepsTheCaretInView();
    void cellAndCaretSizesAtLeastOnePixel();
    void wheelAccumulatesAndPages();
    void caretShapes_data();
    void caretShapes();
    void caretIsDrawnInverted();
    void focusCreatesAndRemovesTheCaret();
    void scrollBarState_data();
    void scrollBarState();
    void scrollBarActionsMoveTheView();
    void scrollBarsUpdateOncePerUpdateBracket();
    void proportionalFontAskedForWithFixedPitch();
};

// ---- pixels and cells ---------------------------------------------------------------------------

void TestLexEditScroll::pixelsToCells_data() {
    QTest::addColumn<double>("cellsX"); // from the text's left edge, in cells
    QTest::addColumn<int>("pixelsX");   // and pixels added
    QTest::addColumn<int>("cell");      // PixelsToRowColumn column
    QTest::addColumn<int>("nearest");   // PixelsToNearestRowColumn column
    QTest::newRow("left edge") << 0.0 << 0 << 3 << 3;
    QTest::newRow("one pixel into the strip") << 0.0 << -1 << 3 << 3;
    QTest::newRow("strip after the gutter") << 0.0 << -2 << 3 << 3;
    QTest::newRow("right half") << 0.5 << 1 << 3 << 4;
    QTest::newRow("second cell") << 1.0 << 1 << 4 << 4;
    // Just in the middle of a cell: the even boundary (needs an even cell width).
    QTest::newRow("half: to even below") << 0.5 << 0 << 3 << 3;
    QTest::newRow("one and a half: to even above") << 1.5 << 0 << 4 << 5;
}

void TestLexEditScroll::pixelsToCells() {
    QFETCH(double, cellsX);
    QFETCH(int, pixelsX);
    QFETCH(int, cell);
    QFETCH(int, nearest);
    TLexEdit E;
    E.SetLines(NumberedLines(50, 100));
    E.SetLeftChar(3);
    E.SetTopLine(5);
    QCOMPARE(E.LeftChar(), 3);
    const int W = E.CharWidth();
    const int H = E.LineHeight();
    if (pixelsX == 0 && cellsX != int(cellsX) && W % 2 != 0) QSKIP("odd cell width: no exact middle");
    const int X = E.GutterWidth() + 2 + int(cellsX * W) + pixelsX;
    const int Y = 2 * H + H / 2;
    QCOMPARE(E.PixelsToRowColumn(X, Y), DisplayCoord(cell, 7));
    QCOMPARE(E.PixelsToNearestRowColumn(X, Y), DisplayCoord(nearest, 7));
    // The top-left pixel of a cell is its own cell and its own nearest boundary.
    const QPoint P = E.RowColumnToPixels(DisplayCoord(6, 9));
    QCOMPARE(E.PixelsToRowColumn(P.x(), P.y()), DisplayCoord(6, 9));
    QCOMPARE(E.PixelsToNearestRowColumn(P.x(), P.y()), DisplayCoord(6, 9));
    // A point in the partly visible row below the last whole row goes up to that row.
    const int Below = E.LinesInWindow() * H + 1;
    QCOMPARE(E.PixelsToNearestRowColumn(X, Below).Row, 5 + E.LinesInWindow() - 1);
    QCOMPARE(E.PixelsToRowColumn(X, Below).Row, 5 + E.LinesInWindow());
}

// ---- clamps --------------------------------------------------------------------------------------

void TestLexEditScroll::topLineClamps_data() {
    QTest::addColumn<bool>("pastEof");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected"); // -1: the last row that keeps the window full
    QTest::newRow("below 1") << false << -7 << 1;
    QTest::newRow("inside") << false << 20 << 20;
    QTest::newRow("beyond the end") << false << 1000 << -1;
    QTest::newRow("past eof: beyond the end") << true << 1000 << 100;
    QTest::newRow("past eof: last line") << true << 100 << 100;
}

void TestLexEditScroll::topLineClamps() {
    QFETCH(bool, pastEof);
    QFETCH(int, value);
    QFETCH(int, expected);
    TLexEdit E;
    E.SetLines(NumberedLines(100));
    TLexEditorOptions O = E.Options();
    if (pastEof) O.Include(eoScrollPastEof);
    E.SetOptions(O);
    E.SetTopLine(value);
    QCOMPARE(E.TopLine(), expected < 0 ? 100 - E.LinesInWindow() + 1 : expected);
}

void TestLexEditScroll::leftCharClamps() {
    TLexEdit E;
    E.SetLines(NumberedLines(10, 300));
    TLexEditorOptions O = E.Options();
    O.Exclude(eoScrollPastEol);
    E.SetOptions(O);
    E.SetLeftChar(1000);
    QCOMPARE(E.LeftChar(), 300 - E.CharsInWindow() + 1);
    E.SetLeftChar(-3);
    QCOMPARE(E.LeftChar(), 1);
    // Lines shorter than the window: nothing to scroll.
    E.SetLines(NumberedLines(10, 3));
    E.SetLeftChar(5);
    QCOMPARE(E.LeftChar(), 1);
    // Past the line ends the view may go far right.
    O.Include(eoScrollPastEol);
    E.SetOptions(O);
    E.SetLeftChar(100000);
    QCOMPARE(E.LeftChar(), 100000);
}

void TestLexEditScroll::leftCharCapKeepsPixelOffsetsIn32Bits() {
    TLexEdit E;
    E.SetLines(NumberedLines(3));
    QVERIFY(E.Options().Contains(eoScrollPastEol));
    E.SetLeftChar(INT_MAX);
    const int64_t Right = (int64_t(E.LeftChar()) + E.CharsInWindow() + 2) * E.CharWidth();
    QVERIFY2(Right <= INT_MAX, qPrintable(QString::number(Right)));
    QVERIFY(E.LeftChar() > INT_MAX / E.CharWidth() - E.CharsInWindow() - 3);
    // The first visible column starts right after the gutter, however far right that is.
    QCOMPARE(E.RowColumnToPixels(DisplayCoord(E.LeftChar(), 1)).x(), E.GutterWidth() + 2);
    QCOMPARE(E.PixelsToRowColumn(E.GutterWidth() + 2, 0).Column, E.LeftChar());
    // The caret far right is scrolled into view without leaving the cap.
    E.SetCaretXY(BufferCoord(INT_MAX - 5, 1));
    QVERIFY(int64_t(E.LeftChar() + E.CharsInWindow() + 2) * E.CharWidth() <= INT_MAX);
}

// ---- scroll or repaint -----------------------------------------------------------------------------

void TestLexEditScroll::smallScrollMovesPixelsLargeOneRepaints() {
    TLexEdit E;
    E.SetLines(NumberedLines(500, 400));
    E.resize(400, 300);
    E.show();
    QVERIFY(QTest::qWaitForWindowExposed(&E));
    TPaintRecorder Recorder(E.viewport());
    QCoreApplication::processEvents();
    const QRect Client = E.viewport()->rect();
    const int H = E.LineHeight();
    const int W = E.CharWidth();
    E.SetTopLine(10);
    QCoreApplication::processEvents();

    Recorder.Reset();
    E.SetTopLine(E.TopLine() + 1);
    QTRY_VERIFY(Recorder.Events > 0);
    // One row up: only the band that came into view at the bottom.
    QCOMPARE(Recorder.Painted.boundingRect(), QRect(0, Client.height() - H, Client.width(), H));

    Recorder.Reset();
    E.SetTopLine(E.TopLine() - 2);
    QTRY_VERIFY(Recorder.Events > 0);
    QCOMPARE(Recorder.Painted.boundingRect(), QRect(0, 0, Client.width(), 2 * H));

    Recorder.Reset();
    E.SetTopLine(E.TopLine() + E.LinesInWindow() + 3);
    QTRY_VERIFY(Recorder.Events > 0);
    QCOMPARE(Recorder.Painted.boundingRect(), Client);

    // One column right: the band at the text's right edge; the gutter does not move.
    Recorder.Reset();
    E.SetLeftChar(E.LeftChar() + 1);
    QTRY_VERIFY(Recorder.Events > 0);
    const QRect Band = Recorder.Painted.boundingRect();
    QCOMPARE(Band.right(), Client.right());
    QCOMPARE(Band.width(), W);
    QCOMPARE(Band.height(), Client.height());
}

// ---- keeping the caret in view -----------------------------------------------------------------

void TestLexEditScroll::ensureVisible_data() {
    QTest::addColumn<int>("topLine");
    QTest::addColumn<int>("caretLine");
    QTest::addColumn<bool>("forceToMiddle");
    QTest::addColumn<bool>("evenIfVisible");
    QTest::addColumn<int>("expected"); // top line; -1: unchanged
    // Rows counted from the window size in the test: h is half of the window.
    QTest::newRow("visible stays") << 20 << 22 << false << false << -1;
    QTest::newRow("above goes to top") << 20 << 10 << false << false << 10;
    QTest::newRow("middle: far above") << 50 << 10 << true << false << -2;  // 10 - h + 1, at least 1
    QTest::newRow("middle: far below") << 10 << 150 << true << false << -3; // 150 - (L - 1) + h
    QTest::newRow("middle: visible stays") << 20 << 22 << true << false << -1;
    QTest::newRow("middle: visible, even so") << 20 << 22 << true << true << -2; // 22 - h + 1
}

void TestLexEditScroll::ensureVisible() {
    QFETCH(int, topLine);
    QFETCH(int, caretLine);
    QFETCH(bool, forceToMiddle);
    QFETCH(bool, evenIfVisible);
    QFETCH(int, expected);
    TLexEdit E;
    E.SetLines(NumberedLines(200));
    E.SetTopLine(topLine);
    E.SetCaretXYEx(false, BufferCoord(1, caretLine));
    QCOMPARE(E.TopLine(), topLine);
    E.EnsureCursorPosVisibleEx(forceToMiddle, evenIfVisible);
    const int Half = E.LinesInWindow() / 2;
    const int L = E.LinesInWindow();
    int Expected = expected;
    if (expected == -1) Expected = topLine;
    if (expected == -2) Expected = caretLine - Half < 0 ? 1 : caretLine - Half + 1;
    if (expected == -3) Expected = caretLine - (L - 1) + Half;
    QCOMPARE(E.TopLine(), Expected);
    QVERIFY(E.CaretInView());
}

void TestLexEditScroll::forceToMiddleShowsCaretOneRowAbove() {
    TLexEdit E;
    E.SetLines(NumberedLines(200));
    E.SetTopLine(50);
    E.SetCaretXYEx(false, BufferCoord(1, 49));
    E.EnsureCursorPosVisibleEx(true, false);
    QVERIFY2(E.TopLine() <= 49 && 49 < E.TopLine() + E.LinesInWindow(),
             qPrintable(QString::number(E.TopLine())));
}

void TestLexEditScroll::windowSmallerThanACellKeepsTheCaretInView() {
    TLexEdit E;
    E.SetLines(NumberedLines(100, 200));
    E.show();
    QVERIFY(QTest::qWaitForWindowExposed(&E));
    // A viewport less than one cell high and wide.
    E.resize(E.width() - E.viewport()->width() + E.CharWidth() / 2,
             E.height() - E.viewport()->height() + E.LineHeight() / 2);
    QTRY_VERIFY(E.viewport()->height() < E.LineHeight());
    QCOMPARE(E.LinesInWindow(), 1);
    QCOMPARE(E.CharsInWindow(), 1);
    E.SetCaretXY(BufferCoord(150, 60));
    QCOMPARE(E.TopLine(), 60);
    QCOMPARE(E.LeftChar(), 150);
    QVERIFY(E.CaretInView());
    E.SetCaretXY(BufferCoord(1, 20));
    QCOMPARE(E.TopLine(), 20);
    QCOMPARE(E.LeftChar(), 1);
}

void TestLexEditScroll::cellAndCaretSizesAtLeastOnePixel() {
    TLexEdit E;
    E.SetLines(NumberedLines(10));
    E.SetAlwaysShowCaret(true);
    E.SetExtraLineSpacing(-E.LineHeight() - 5);
    QCOMPARE(E.LineHeight(), 1);
    QVERIFY(E.CharWidth() >= 1);
    QVERIFY(E.LinesInWindow() >= 1);
    for (const TLexEditCaretType T : {ctVerticalLine, ctHorizontalLine, ctHalfBlock, ctBlock}) {
        E.SetInsertCaret(T);
        const QRect R = E.CaretRectangle();
        QVERIFY2(R.width() >= 1 && R.height() >= 1, qPrintable(QString::number(int(T))));
    }
}

// ---- wheel -----------------------------------------------------------------------------------------

void TestLexEditScroll::wheelAccumulatesAndPages() {
    TLexEdit E;
    E.SetLines(NumberedLines(500));
    E.SetTopLine(100);
    int Scrolls = 0;
    E.OnScroll = [&](TCustomLexEdit *, TScrollBarKind Bar) {
        QCOMPARE(Bar, sbVertical);
        ++Scrolls;
    };
    // Towards the user: down. Three events of a third of a notch make one notch of 3 rows.
    Wheel(E, -40);
    Wheel(E, -40);
    QCOMPARE(E.TopLine(), 100);
    Wheel(E, -40);
    QCOMPARE(E.TopLine(), 103);
    QCOMPARE(Scrolls, 3);
    Wheel(E, 240);
    QCOMPARE(E.TopLine(), 97);
    // Ctrl: a page a notch, half a page with eoHalfPageScroll.
    Wheel(E, -120, Qt::ControlModifier);
    QCOMPARE(E.TopLine(), 97 + E.LinesInWindow());
    TLexEditorOptions O = E.Options();
    O.Include(eoHalfPageScroll);
    E.SetOptions(O);
    const int Top = E.TopLine();
    Wheel(E, 120, Qt::ControlModifier);
    QCOMPARE(E.TopLine(), Top - E.LinesInWindow() / 2);
}

// ---- caret ----------------------------------------------------------------------------------------

void TestLexEditScroll::caretShapes_data() {
    QTest::addColumn<int>("type");
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("kind"); // 0 vertical, 1 horizontal, 2 half, 3 block
    QTest::newRow("insert default: vertical line") << -1 << true << 0;
    QTest::newRow("overwrite default: block") << -1 << false << 3;
    QTest::newRow("insert block") << int(ctBlock) << true << 3;
    QTest::newRow("insert horizontal line") << int(ctHorizontalLine) << true << 1;
    QTest::newRow("insert half block") << int(ctHalfBlock) << true << 2;
}

void TestLexEditScroll::caretShapes() {
    QFETCH(int, type);
    QFETCH(bool, insert);
    QFETCH(int, kind);
    TLexEdit E;
    E.SetLines(NumberedLines(200));
    E.SetAlwaysShowCaret(true);
    if (type >= 0) E.SetInsertCaret(TLexEditCaretType(type));
    E.SetInsertMode(insert);
    E.SetCaretXY(BufferCoord(3, 2));
    const int W = E.CharWidth();
    const int H = E.LineHeight();
    const QPoint Cell = E.RowColumnToPixels(DisplayCoord(3, 2)) + E.viewport()->pos();
    QRect Expected;
    switch (kind) {
    case 0:
        Expected = QRect(Cell + QPoint(-1, 0), QSize(2, H - 2));
        break;
    case 1:
        Expected = QRect(Cell + QPoint(0, H - 2), QSize(W, 2));
        break;
    case 2:
        Expected = QRect(Cell + QPoint(0, (H - 2) / 2), QSize(W, (H - 2) / 2));
        break;
    default:
        Expected = QRect(Cell, QSize(W, H - 2));
        break;
    }
    QCOMPARE(E.CaretRectangle(), Expected);
    QVERIFY(E.CaretShown());
    // Scrolled out of view, the caret is hidden; back in view it shows again.
    E.SetTopLine(10);
    QVERIFY(!E.CaretShown());
    E.SetTopLine(1);
    QVERIFY(E.CaretShown());
    QCOMPARE(E.CaretRectangle(), Expected);
}

void TestLexEditScroll::caretIsDrawnInverted() {
    TLexEdit E;
    E.SetLines(NumberedLines(20));
    E.SetColor(TColor(0x00FFFFFF));
    E.SetInsertCaret(ctBlock);
    E.SetAlwaysShowCaret(true);
    // Past the line's text: the cell under the caret is blank.
    E.SetCaretXY(BufferCoord(13, 2));
    const QRect R = E.CaretRectangle().translated(-E.viewport()->pos());
    const QImage Image = E.viewport()->grab().toImage();
    const qreal Ratio = Image.devicePixelRatio();
    const auto Pixel = [&](QPoint P) { return QColor(Image.pixel(int(P.x() * Ratio), int(P.y() * Ratio))); };
    QCOMPARE(Pixel(R.center()), QColor(Qt::black));
    QCOMPARE(Pixel(R.bottomRight() + QPoint(3, 3)), QColor(Qt::white));
    // With eoNoCaret nothing is drawn.
    TLexEditorOptions O = E.Options();
    O.Include(eoNoCaret);
    E.SetOptions(O);
    QVERIFY(!E.CaretShown());
    const QImage Plain = E.viewport()->grab().toImage();
    QCOMPARE(QColor(Plain.pixel(int(R.center().x() * Ratio), int(R.center().y() * Ratio))),
             QColor(Qt::white));
}

void TestLexEditScroll::focusCreatesAndRemovesTheCaret() {
    QWidget Window;
    auto *E = new TLexEdit(&Window);
    auto *Other = new QWidget(&Window);
    Other->setFocusPolicy(Qt::StrongFocus);
    Other->move(0, 200);
    E->SetLines(NumberedLines(20));
    QList<int> Commands;
    E->OnProcessCommand = [&](TCustomLexEdit *, TLexEditorCommand &C, QChar &, void *) { Commands << C; };
    Window.show();
    QVERIFY(QTest::qWaitForWindowActive(&Window));
    E->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(E->hasFocus());
    QVERIFY(E->CaretShown());
    QCOMPARE(Commands, QList<int>{480});
    // A popup takes the focus for a while: the caret stays.
    Other->setFocus(Qt::PopupFocusReason);
    QTRY_VERIFY(!E->hasFocus());
    QVERIFY(E->CaretShown());
    QCOMPARE(Commands, QList<int>{480});
    E->setFocus(Qt::PopupFocusReason);
    QTRY_VERIFY(E->hasFocus());
    // Another control takes it: the caret goes.
    Other->setFocus(Qt::TabFocusReason);
    QTRY_VERIFY(!E->hasFocus());
    QVERIFY(!E->CaretShown());
    QCOMPARE(Commands.last(), 481);
    // The focus list: the editor hands the focus to its last control.
    E->AddFocusControl(Other);
    E->SetFocus();
    QVERIFY(Other->hasFocus());
}

// ---- scroll bars ----------------------------------------------------------------------------------

void TestLexEditScroll::scrollBarState_data() {
    QTest::addColumn<int>("lines");
    QTest::addColumn<int>("scrollBars");
    QTest::addColumn<bool>("hideShow");
    QTest::addColumn<bool>("pastEof");
    QTest::addColumn<bool>("vShown");
    QTest::addColumn<bool>("vEnabled");
    QTest::newRow("short: disabled") << 3 << int(ssBoth) << false << false << true << false;
    QTest::newRow("long: enabled") << 300 << int(ssBoth) << false << false << true << true;
    QTest::newRow("short, hide-show: hidden") << 3 << int(ssBoth) << true << false << false << false;
    QTest::newRow("long, hide-show: shown") << 300 << int(ssBoth) << true << false << true << true;
    QTest::newRow("long, past eof") << 300 << int(ssBoth) << false << true << true << true;
    QTest::newRow("horizontal only") << 300 << int(ssHorizontal) << false << false << false << true;
    QTest::newRow("none") << 300 << int(ssNone) << false << false << false << true;
}

void TestLexEditScroll::scrollBarState() {
    QFETCH(int, lines);
    QFETCH(int, scrollBars);
    QFETCH(bool, hideShow);
    QFETCH(bool, pastEof);
    QFETCH(bool, vShown);
    QFETCH(bool, vEnabled);
    TLexEdit E;
    E.SetLines(NumberedLines(lines, 8));
    TLexEditorOptions O = E.Options();
    if (hideShow) O.Include(eoHideShowScrollbars);
    if (pastEof) O.Include(eoScrollPastEof);
    E.SetOptions(O);
    E.SetScrollBars(TScrollStyle(scrollBars));
    E.SetTopLine(5);
    const QScrollBar *V = E.verticalScrollBar();
    QCOMPARE(E.verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOn, vShown);
    if (!vShown) return;
    QCOMPARE(V->isEnabled(), vEnabled);
    const int L = E.LinesInWindow();
    const int Last = pastEof ? lines : std::max(1, lines - L + 1);
    QCOMPARE(V->minimum(), 1);
    QCOMPARE(V->maximum(), Last);
    QCOMPARE(V->pageStep(), L);
    QCOMPARE(V->value(), E.TopLine());
    // Short lines: the horizontal bar is there but has nothing to do.
    if (scrollBars == ssBoth && !hideShow) QVERIFY(!E.horizontalScrollBar()->isEnabled());
}

void TestLexEditScroll::scrollBarActionsMoveTheView() {
    TLexEdit E;
    E.SetLines(NumberedLines(300, 400));
    QScrollBar *V = E.verticalScrollBar();
    int VScrolls = 0;
    int HScrolls = 0;
    E.OnScroll = [&](TCustomLexEdit *, TScrollBarKind Bar) { ++(Bar == sbVertical ? VScrolls : HScrolls); };
    V->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(E.TopLine(), 1 + E.LinesInWindow());
    QCOMPARE(V->value(), E.TopLine());
    V->triggerAction(QAbstractSlider::SliderSingleStepSub);
    QCOMPARE(E.TopLine(), E.LinesInWindow());
    TLexEditorOptions O = E.Options();
    O.Include(eoScrollByOneLess);
    E.SetOptions(O);
    V->triggerAction(QAbstractSlider::SliderPageStepAdd);
    QCOMPARE(E.TopLine(), 2 * E.LinesInWindow() - 1);
    V->triggerAction(QAbstractSlider::SliderToMaximum);
    QCOMPARE(E.TopLine(), 300 - E.LinesInWindow() + 1);
    // Dragging the box: the track position is the top line, no scaling.
    V->setSliderDown(true);
    V->setSliderPosition(150);
    QCOMPARE(E.TopLine(), 150);
    QVERIFY(E.IsScrolling());
    // The hint tells the top line while the box is dragged.
    QLabel *Hint = nullptr;
    for (QWidget *W : QApplication::topLevelWidgets())
        if (auto *L = qobject_cast<QLabel *>(W); L != nullptr && L->isVisible()) Hint = L;
    QVERIFY(Hint != nullptr);
    QCOMPARE(Hint->text(), QStringLiteral("Top Line: 150"));
    V->setSliderDown(false);
    QVERIFY(!E.IsScrolling());
    QVERIFY(!Hint->isVisible());
    QCOMPARE(VScrolls, 6);
    QScrollBar *Hb = E.horizontalScrollBar();
    Hb->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    QCOMPARE(E.LeftChar(), 2);
    Hb->triggerAction(QAbstractSlider::SliderToMinimum);
    QCOMPARE(E.LeftChar(), 1);
    QCOMPARE(HScrolls, 2);
    QCOMPARE(Hb->value(), 1);
}

void TestLexEditScroll::scrollBarsUpdateOncePerUpdateBracket() {
    TCountingEdit E;
    E.BarUpdates = 0;
    {
        TCustomLexEdit::TUpdateGuard Lock(E);
        for (int i = 0; i < 2000; ++i)
            E.Lines()->Add(QStringLiteral("line %1").arg(i));
        E.SetTopLine(1500);
    }
    QCOMPARE(E.BarUpdates, 1);
    QCOMPARE(E.verticalScrollBar()->maximum(), 2000 - E.LinesInWindow() + 1);
    QCOMPARE(E.horizontalScrollBar()->maximum(), std::max(1, 9 - E.CharsInWindow() + 1));
}

// ---- font ----------------------------------------------------------------------------------------

void TestLexEditScroll::proportionalFontAskedForWithFixedPitch() {
    TLexEdit E;
    QFont Proportional(QStringLiteral("DejaVu Sans"), 12);
    if (QFontInfo(Proportional).fixedPitch()) QSKIP("no proportional face here");
    const int OldHeight = E.LineHeight();
    E.SetEditorFont(Proportional);
    QCOMPARE(E.EditorFont().family(), QStringLiteral("DejaVu Sans"));
    QVERIFY(E.EditorFont().fixedPitch());
    QCOMPARE(E.EditorFont().pointSize(), 12);
    // The cells follow the font.
    QVERIFY(E.LineHeight() > OldHeight);
    QCOMPARE(E.LinesInWindow(), std::max(1, E.viewport()->height() / E.LineHeight()));
}

QTEST_MAIN(TestLexEditScroll)
#include "tst_lexedit_scroll.moc"
