// SPDX-License-Identifier: MIT
// The mouse: click series driven by hand-made, time-stamped events, presses and drags that place
// the caret and select, the automatic scrolling while dragging outside the text, right clicks,
// presses inside the selection and the mouse cursor.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QMouseEvent>
#include <QtTest>

using namespace lexedit;
using namespace editor_test;

namespace {

const int DoubleClickTime = 400;
const int DragDistance = 4;

// An editor whose system answers come from the test, with the timer's handler at hand.
class TMouseEdit : public TLexEdit {
public:
    TMouseEdit() {
        TLexMouseEnvironment Env;
        Env.CursorPos = [this] { return viewport()->mapToGlobal(Cursor); };
        Env.KeyboardModifiers = [this] { return Modifiers; };
        Env.DoubleClickTime = [] { return DoubleClickTime; };
        Env.DragDistance = [] { return DragDistance; };
        Env.Now = [this] { return Clock; };
        SetMouseEnvironment(Env);
    }
    QPoint Cursor;
    Qt::KeyboardModifiers Modifiers = Qt::NoModifier;
    int64_t Clock = 1000;
    using TCustomLexEdit::AutoScrolling;
    using TCustomLexEdit::ScrollTimerHandler;

    // The pixel of the middle of a cell's left half (column, row on screen).
    QPoint CellPoint(int AColumn, int ARow) const {
        return RowColumnToPixels(DisplayCoord(AColumn, ARow)) + QPoint(CharWidth() / 4, LineHeight() / 2);
    }
    void Send(QEvent::Type AType, QPoint AAt, Qt::MouseButton AButton, Qt::MouseButtons AButtons,
              Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
        Cursor = AAt;
        QMouseEvent Ev(AType, QPointF(AAt), QPointF(viewport()->mapToGlobal(AAt)), AButton, AButtons,
                       AModifiers);
        Ev.setTimestamp(quint64(Clock));
        QCoreApplication::sendEvent(viewport(), &Ev);
    }
    void Press(QPoint AAt, Qt::KeyboardModifiers AModifiers = Qt::NoModifier,
               Qt::MouseButton AButton = Qt::LeftButton) {
        Send(QEvent::MouseButtonPress, AAt, AButton, AButton, AModifiers);
    }
    void Release(QPoint AAt, Qt::KeyboardModifiers AModifiers = Qt::NoModifier,
                 Qt::MouseButton AButton = Qt::LeftButton) {
        Send(QEvent::MouseButtonRelease, AAt, AButton, Qt::NoButton, AModifiers);
    }
    void Move(QPoint AAt, Qt::KeyboardModifiers AModifiers = Qt::NoModifier) {
        Send(QEvent::MouseMove, AAt, Qt::NoButton, Qt::LeftButton, AModifiers);
    }
    void Click(QPoint AAt, int64_t AAfter = 100) {
        Clock += AAfter;
        Press(AAt);
        Release(AAt);
    }
};

QStringList SampleLines() {
    return {QStringLiteral("alpha beta gamma"), QStringLiteral("delta epsilon"),
            QStringLiteral("zeta eta theta")};
}

QStringList ManyLines(int ACount) {
    QStringList L;
    for (int i = 1; i <= ACount; ++i)
        L << QStringLiteral("line %1 with some words in it").arg(i);
    return L;
}

} // namespace

class TestLexEditMouse : public QObject {
    Q_OBJECT

private slots:
    void clickPlacesCaretAtTheNearerBoundary();
    void clickSeries_data();
    void clickSeries();
    void tripleClickOnTheLastLineStopsAtItsEnd();
    void doubleClickDragExtendsByWords();
    void shiftClickExtends();
    void altDragSelectsAColumnBlock();
    void dragBelowTheTextScrolls();
    void dragAtTheLeftEdgeWithoutScrollDoesNothing();
    void rightClick_data();
    void rightClick();
    void pressInsideTheSelectionWaitsForDragOrRelease();
    void emptyBufferKeepsRowOne();
    void cursorOverSelectionAndText();
    void gutterPressIsAClickUnlessItLeavesTheLine();
};

void TestLexEditMouse::clickPlacesCaretAtTheNearerBoundary() {
    TMouseEdit E;
    E.SetLines(SampleLines());
    // The left half of a cell: before its character; the right half: after it.
    E.Click(E.CellPoint(3, 2));
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
    const QPoint RightHalf = E.RowColumnToPixels(DisplayCoord(3, 2)) + QPoint(E.CharWidth() * 3 / 4, 1);
    E.Click(RightHalf, 1000);
    QCOMPARE(E.CaretXY(), BufferCoord(4, 2));
    QVERIFY(!E.SelAvail());
    // Below the last line: the last line.
    E.Click(E.CellPoint(2, 10), 1000);
    QCOMPARE(E.CaretXY(), BufferCoord(2, 3));
}

void TestLexEditMouse::clickSeries_data() {
    QTest::addColumn<QList<int>>("delays"); // before each click, ms
    QTest::addColumn<QList<int>>("shifts"); // pixels right of the first click
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("selected");
    QTest::newRow("double: word") << QList<int>{0, 100} << QList<int>{0, 1} << 2 << QStringLiteral("epsilon");
    QTest::newRow("triple: line with its break")
        << QList<int>{0, 100, 100} << QList<int>{0, 0, 0} << 3 << QStringLiteral("delta epsilon\r\n");
    QTest::newRow("quadruple: everything") << QList<int>{0, 100, 100, 100} << QList<int>{0, 0, 0, 0} << 4
                                           << SampleLines().join(QStringLiteral("\r\n"));
    QTest::newRow("slow second click starts again")
        << QList<int>{0, DoubleClickTime + 1} << QList<int>{0, 0} << 1 << QString();
    QTest::newRow("far second click starts again")
        << QList<int>{0, 100} << QList<int>{0, DragDistance} << 1 << QString();
    QTest::newRow("slow third click after a double")
        << QList<int>{0, 100, DoubleClickTime} << QList<int>{0, 0, 0} << 1 << QString();
}

void TestLexEditMouse::clickSeries() {
    QFETCH(QList<int>, delays);
    QFETCH(QList<int>, shifts);
    QFETCH(int, count);
    QFETCH(QString, selected);
    TMouseEdit E;
    E.SetLines(SampleLines());
    int Triples = 0;
    int Quadruples = 0;
    E.OnTripleClick = [&](TCustomLexEdit *) { ++Triples; };
    E.OnQuadrupleClick = [&](TCustomLexEdit *) { ++Quadruples; };
    const QPoint At = E.CellPoint(9, 2); // inside "epsilon"
    for (int i = 0; i < delays.size(); ++i)
        E.Click(At + QPoint(shifts[i], 0), delays[i]);
    QCOMPARE(E.ClickCount(), count);
    QCOMPARE(E.SelText(), selected);
    QCOMPARE(Triples, count >= 3 ? 1 : 0);
    QCOMPARE(Quadruples, count >= 4 ? 1 : 0);
    // A press of another kind ends the series.
    E.Clock += 50;
    E.Press(At, Qt::ShiftModifier);
    E.Release(At, Qt::ShiftModifier);
    QCOMPARE(E.ClickCount(), 0);
}

void TestLexEditMouse::tripleClickOnTheLastLineStopsAtItsEnd() {
    TMouseEdit E;
    E.SetLines(SampleLines());
    const QPoint At = E.CellPoint(3, 3);
    E.Click(At, 0);
    E.Click(At);
    E.Click(At);
    QCOMPARE(E.SelText(), QStringLiteral("zeta eta theta"));
    QCOMPARE(E.CaretXY(), BufferCoord(15, 3));
}

void TestLexEditMouse::doubleClickDragExtendsByWords() {
    TMouseEdit E;
    E.SetLines(SampleLines());
    const QPoint At = E.CellPoint(8, 1); // "beta"
    E.Click(At, 0);
    E.Clock += 100;
    E.Press(At);
    QCOMPARE(E.SelText(), QStringLiteral("beta"));
    // Into "gamma": the selection grows by the whole word.
    E.Move(E.CellPoint(14, 1));
    QCOMPARE(E.SelText(), QStringLiteral("beta gamma"));
    E.Release(E.CellPoint(14, 1));
}

void TestLexEditMouse::shiftClickExtends() {
    TMouseEdit E;
    E.SetLines(SampleLines());
    E.Click(E.CellPoint(3, 1), 0);
    E.Clock += 1000;
    E.Press(E.CellPoint(6, 2), Qt::ShiftModifier);
    E.Release(E.CellPoint(6, 2), Qt::ShiftModifier);
    QCOMPARE(E.BlockBegin(), BufferCoord(3, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(6, 2));
    QCOMPARE(E.CaretXY(), BufferCoord(6, 2));
}

void TestLexEditMouse::altDragSelectsAColumnBlock() {
    TMouseEdit E;
    E.SetLines(SampleLines());
    TLexEditorOptions O = E.Options();
    O.Include(eoAltSetsColumnMode);
    E.SetOptions(O);
    E.Press(E.CellPoint(2, 1), Qt::AltModifier);
    E.Move(E.CellPoint(5, 3), Qt::AltModifier);
    E.Release(E.CellPoint(5, 3), Qt::AltModifier);
    QCOMPARE(E.ActiveSelectionMode(), smColumn);
    QCOMPARE(E.SelText(), QStringLiteral("lph\r\nelt\r\neta"));
    // A plain press goes back to the normal mode.
    E.Clock += 1000;
    E.Press(E.CellPoint(2, 1));
    E.Move(E.CellPoint(5, 1));
    E.Release(E.CellPoint(5, 1));
    QCOMPARE(E.ActiveSelectionMode(), smNormal);
    QCOMPARE(E.SelText(), QStringLiteral("lph"));
}

void TestLexEditMouse::dragBelowTheTextScrolls() {
    TMouseEdit E;
    E.SetLines(ManyLines(500));
    const int H = E.LineHeight();
    const int L = E.LinesInWindow();
    E.Press(E.CellPoint(2, 1));
    QVERIFY(!E.AutoScrolling());
    // Three rows below the last whole row: 4 rows a tick.
    const QPoint Below(E.CellPoint(2, 1).x(), L * H + 3 * H);
    E.Move(Below);
    QVERIFY(E.AutoScrolling());
    E.ScrollTimerHandler();
    QCOMPARE(E.TopLine(), 5);
    E.ScrollTimerHandler();
    QCOMPARE(E.TopLine(), 9);
    // The caret and the block end follow to the last visible row.
    QCOMPARE(E.CaretY(), 9 + L - 1);
    QCOMPARE(E.BlockBegin(), BufferCoord(2, 1));
    QCOMPARE(E.BlockEnd(), E.CaretXY());
    // Shift held: that many pages a tick.
    E.Modifiers = Qt::ShiftModifier;
    E.ScrollTimerHandler();
    QCOMPARE(E.TopLine(), 9 + 4 * L);
    E.Modifiers = Qt::NoModifier;
    // Back inside: the scrolling stops; the release ends the drag.
    E.Move(QPoint(Below.x(), 2 * H + H / 2));
    QVERIFY(!E.AutoScrolling());
    E.Move(Below);
    QVERIFY(E.AutoScrolling());
    E.Release(Below);
    QVERIFY(!E.AutoScrolling());
}

void TestLexEditMouse::dragAtTheLeftEdgeWithoutScrollDoesNothing() {
    TMouseEdit E;
    E.SetLines(ManyLines(50));
    E.Press(E.CellPoint(5, 2));
    E.Move(QPoint(E.GutterWidth() - 3 * E.CharWidth(), E.CellPoint(5, 2).y()));
    QVERIFY(!E.AutoScrolling());
    QCOMPARE(E.LeftChar(), 1);
    // Scrolled right, the same place scrolls left.
    E.Release(E.CellPoint(5, 2));
    E.SetLeftChar(10);
    E.Clock += 1000;
    E.Press(E.CellPoint(15, 2));
    E.Move(QPoint(E.GutterWidth() - 3 * E.CharWidth(), E.CellPoint(5, 2).y()));
    QVERIFY(E.AutoScrolling());
    E.ScrollTimerHandler();
    QVERIFY(E.LeftChar() < 10);
    E.Release(E.CellPoint(5, 2));
}

void TestLexEditMouse::rightClick_data() {
    QTest::addColumn<bool>("movesCursor");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("selectionKept");
    QTest::addColumn<int>("caretChar");
    // The selection is "beta" (7..11 of line 1), the caret at its end.
    QTest::newRow("inside keeps") << true << 8 << true << 11;
    QTest::newRow("outside moves") << true << 14 << false << 14;
    QTest::newRow("without the option nothing") << false << 14 << true << 11;
}

void TestLexEditMouse::rightClick() {
    QFETCH(bool, movesCursor);
    QFETCH(int, column);
    QFETCH(bool, selectionKept);
    QFETCH(int, caretChar);
    TMouseEdit E;
    E.SetLines(SampleLines());
    TLexEditorOptions O = E.Options();
    if (movesCursor) O.Include(eoRightMouseMovesCursor);
    E.SetOptions(O);
    E.SetCaretAndSelection(BufferCoord(11, 1), BufferCoord(7, 1), BufferCoord(11, 1));
    E.Press(E.CellPoint(column, 1), Qt::NoModifier, Qt::RightButton);
    E.Release(E.CellPoint(column, 1), Qt::NoModifier, Qt::RightButton);
    QCOMPARE(E.SelAvail(), selectionKept);
    if (selectionKept) QCOMPARE(E.SelText(), QStringLiteral("beta"));
    QCOMPARE(E.CaretXY(), BufferCoord(caretChar, 1));
    QCOMPARE(E.ClickCount(), 0);
}

void TestLexEditMouse::pressInsideTheSelectionWaitsForDragOrRelease() {
    TMouseEdit E;
    E.SetLines(SampleLines());
    E.SetCaretAndSelection(BufferCoord(17, 1), BufferCoord(1, 1), BufferCoord(17, 1));
    // Pressed inside: the selection stays until the release, which places the caret.
    E.Press(E.CellPoint(7, 1));
    QCOMPARE(E.SelText(), QStringLiteral("alpha beta gamma"));
    E.Move(E.CellPoint(7, 1) + QPoint(DragDistance - 1, 0));
    QCOMPARE(E.SelText(), QStringLiteral("alpha beta gamma"));
    E.Release(E.CellPoint(7, 1));
    QVERIFY(!E.SelAvail());
    QCOMPARE(E.CaretXY(), BufferCoord(7, 1));
    // Pressed inside and dragged past the drag distance: selects from the press.
    E.SetCaretAndSelection(BufferCoord(17, 1), BufferCoord(1, 1), BufferCoord(17, 1));
    E.Clock += 1000;
    E.Press(E.CellPoint(7, 1));
    E.Move(E.CellPoint(7, 2));
    QCOMPARE(E.BlockBegin(), BufferCoord(7, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(7, 2));
    E.Release(E.CellPoint(7, 2));
    QCOMPARE(E.SelText(), QStringLiteral("beta gamma\r\ndelta "));
}

void TestLexEditMouse::emptyBufferKeepsRowOne() {
    TMouseEdit E;
    QStringList Errors;
    const common::ErrorReporter Old =
        common::SetErrorReporter([&](const common::ErrorReport &R) { Errors << R.Message; });
    E.Press(E.CellPoint(3, 4));
    QCOMPARE(E.CaretXY(), BufferCoord(3, 1));
    E.Move(E.CellPoint(5, 6));
    QCOMPARE(E.CaretXY(), BufferCoord(5, 1));
    E.Move(QPoint(10, E.LinesInWindow() * E.LineHeight() + 2 * E.LineHeight()));
    E.ScrollTimerHandler();
    E.Release(E.CellPoint(5, 6));
    common::SetErrorReporter(Old);
    QCOMPARE(Errors, QStringList());
    QCOMPARE(E.CaretY(), 1);
    QCOMPARE(E.TopLine(), 1);
    QCOMPARE(E.Lines()->Count(), 0);
}

void TestLexEditMouse::cursorOverSelectionAndText() {
    TMouseEdit E;
    E.SetLines(SampleLines());
    E.SetCaretAndSelection(BufferCoord(10, 1), BufferCoord(6, 1), BufferCoord(10, 1));
    E.Send(QEvent::MouseMove, E.CellPoint(7, 1), Qt::NoButton, Qt::NoButton);
    QCOMPARE(E.viewport()->cursor().shape(), Qt::ArrowCursor);
    E.Send(QEvent::MouseMove, E.CellPoint(3, 2), Qt::NoButton, Qt::NoButton);
    QCOMPARE(E.viewport()->cursor().shape(), Qt::IBeamCursor);
    // The event may choose another one.
    E.OnMouseCursor = [](TCustomLexEdit *, const TBufferCoord &P, Qt::CursorShape &C) {
        if (P.Line == 3) C = Qt::PointingHandCursor;
    };
    E.Send(QEvent::MouseMove, E.CellPoint(3, 3), Qt::NoButton, Qt::NoButton);
    QCOMPARE(E.viewport()->cursor().shape(), Qt::PointingHandCursor);
    TBufferCoord P;
    QVERIFY(E.GetPositionOfMouse(P));
    QCOMPARE(P, BufferCoord(3, 3));
    QCOMPARE(E.GetWordAtMouse(), QStringLiteral("zeta"));
}

void TestLexEditMouse::gutterPressIsAClickUnlessItLeavesTheLine() {
    TMouseEdit E;
    E.SetLines(ManyLines(20));
    E.Gutter().SetShowLineNumbers(true);
    QVERIFY(E.GutterWidth() > 4);
    const int H = E.LineHeight();
    const QPoint InGutter(2, H + H / 2);
    // A press and release in the gutter on one line: a gutter click (the flags end with it).
    E.Press(InGutter);
    QVERIFY(E.StateFlags().Contains(sfPossibleGutterClick));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 2));
    E.Move(InGutter + QPoint(1, 1));
    QVERIFY(!E.StateFlags().Contains(sfGutterDragging));
    E.Release(InGutter);
    QVERIFY(!E.StateFlags().Contains(sfPossibleGutterClick));
    // Dragged to another line: a selection, no longer a click.
    E.Clock += 1000;
    E.Press(InGutter);
    E.Move(QPoint(2, 4 * H + H / 2));
    QVERIFY(E.StateFlags().Contains(sfGutterDragging));
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 2));
    QCOMPARE(E.BlockEnd(), BufferCoord(1, 5));
    E.Release(QPoint(2, 4 * H + H / 2));
    QVERIFY(!E.StateFlags().Contains(sfGutterDragging));
    QVERIFY(!E.StateFlags().Contains(sfPossibleGutterClick));
    // Over the gutter the cursor is the arrow.
    E.Send(QEvent::MouseMove, InGutter, Qt::NoButton, Qt::NoButton);
    QCOMPARE(E.viewport()->cursor().shape(), Qt::ArrowCursor);
}

QTEST_MAIN(TestLexEditMouse)
#include "tst_lexedit_mouse.moc"
