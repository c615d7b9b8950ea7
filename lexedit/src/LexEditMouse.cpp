// The mouse: click series, presses, drags and releases that place the caret and build the
// selection, double, triple and quadruple clicks, the automatic scrolling while the mouse is
// dragged outside the text, the mouse cursor, and extending a multi-click selection by words or
// lines.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QApplication>
#include <QCursor>
#include <QDateTime>
#include <QDrag>
#include <QGuiApplication>
#include <QMimeData>
#include <QMouseEvent>
#include <QStyleHints>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace lexedit {

TLexMouseEnvironment DefaultMouseEnvironment() {
    TLexMouseEnvironment Env;
    Env.CursorPos = [] { return QCursor::pos(); };
    Env.KeyboardModifiers = [] { return QGuiApplication::queryKeyboardModifiers(); };
    Env.DoubleClickTime = [] { return QGuiApplication::styleHints()->mouseDoubleClickInterval(); };
    Env.DragDistance = [] { return QGuiApplication::styleHints()->startDragDistance(); };
    Env.Now = [] { return int64_t(QDateTime::currentMSecsSinceEpoch()); };
    Env.StartDrag = [](QWidget *ASource, std::unique_ptr<QMimeData> AData, Qt::DropActions AActions) {
        auto *Drag = new QDrag(ASource); // deleted by Qt when the drag ends
        Drag->setMimeData(AData.release());
        return Drag->exec(AActions, (AActions & Qt::MoveAction) ? Qt::MoveAction : Qt::CopyAction);
    };
    return Env;
}

namespace {

TMouseButton ToButton(Qt::MouseButton AButton) {
    if (AButton == Qt::RightButton) return mbRight;
    if (AButton == Qt::MiddleButton) return mbMiddle;
    return mbLeft;
}

// Pixels given for 96 dots per inch at the control's resolution, rounded.
int ScaledPixels(int APixels, int ADpi) {
    return int((int64_t(APixels) * ADpi + 48) / 96);
}

} // namespace

// ---- Qt events ------------------------------------------------------------------------------------

TShiftState TCustomLexEdit::ShiftFromEvent(const QMouseEvent &AEvent) const {
    TShiftState Shift;
    const Qt::KeyboardModifiers M = AEvent.modifiers();
    if (M & Qt::ShiftModifier) Shift.Include(ssShift);
    if (M & Qt::ControlModifier) Shift.Include(ssCtrl);
    if (M & Qt::AltModifier) Shift.Include(ssAlt);
    const Qt::MouseButtons B = AEvent.buttons() | AEvent.button();
    if (B & Qt::LeftButton) Shift.Include(ssLeft);
    if (B & Qt::RightButton) Shift.Include(ssRight);
    if (B & Qt::MiddleButton) Shift.Include(ssMiddle);
    return Shift;
}

void TCustomLexEdit::mousePressEvent(QMouseEvent *AEvent) {
    HandleMousePress(AEvent);
}

void TCustomLexEdit::mouseDoubleClickEvent(QMouseEvent *AEvent) {
    // The clicks of a series are counted here, from the presses' times and places.
    HandleMousePress(AEvent);
}

void TCustomLexEdit::HandleMousePress(QMouseEvent *AEvent) {
    AEvent->accept();
    common::Guarded([&] {
        TShiftState Shift = ShiftFromEvent(*AEvent);
        CountClick(*AEvent, Shift);
        if (fClickCount > 1) Shift.Include(ssDouble);
        const QPoint P = AEvent->position().toPoint();
        MouseDown(ToButton(AEvent->button()), Shift, P.x(), P.y());
    });
}

void TCustomLexEdit::mouseMoveEvent(QMouseEvent *AEvent) {
    AEvent->accept();
    common::Guarded([&] {
        const QPoint P = AEvent->position().toPoint();
        MouseMove(ShiftFromEvent(*AEvent), P.x(), P.y());
        UpdateMouseCursor(P);
    });
}

void TCustomLexEdit::mouseReleaseEvent(QMouseEvent *AEvent) {
    AEvent->accept();
    common::Guarded([&] {
        const QPoint P = AEvent->position().toPoint();
        MouseUp(ToButton(AEvent->button()), ShiftFromEvent(*AEvent), P.x(), P.y());
        UpdateMouseCursor(P);
    });
}

// ---- clicks -----------------------------------------------------------------------------------------

void TCustomLexEdit::CountClick(const QMouseEvent &AEvent, TShiftState Shift) {
    TShiftState Buttons = Shift;
    Buttons.Exclude(ssDouble);
    if (AEvent.button() != Qt::LeftButton || Buttons != TShiftState{ssLeft}) {
        fClickCount = 0;
        return;
    }
    const QPoint P = AEvent.position().toPoint();
    const int64_t Time = AEvent.timestamp() != 0 ? int64_t(AEvent.timestamp()) : fMouseEnv.Now();
    const int Distance = fMouseEnv.DragDistance();
    if (fClickCount > 0 && std::abs(P.x() - fMouseDownX) < Distance &&
        std::abs(P.y() - fMouseDownY) < Distance && Time - fLastClickTime < fMouseEnv.DoubleClickTime())
        ++fClickCount;
    else
        fClickCount = 1;
    fMouseDownX = P.x();
    fMouseDownY = P.y();
    fLastClickTime = Time;
    if (fClickCount == 3)
        TripleClick();
    else if (fClickCount == 4)
        QuadrupleClick();
}

void TCustomLexEdit::DblClick() {
    if (fOptions.Contains(eoNoSelection) || fMouseDownX < fGutterWidth + 2) return;
    SetWordBlock(CaretXY());
}

void TCustomLexEdit::TripleClick() {
    if (!fOptions.Contains(eoNoSelection)) {
        const int Line = fCaretY;
        const TBufferCoord Start = BufferCoord(1, Line);
        const TBufferCoord End =
            Line < fLines->Count() ? BufferCoord(1, Line + 1) : BufferCoord(LineLength(Line) + 1, Line);
        SetCaretAndSelection(End, Start, End);
    }
    if (OnTripleClick) OnTripleClick(this);
}

void TCustomLexEdit::QuadrupleClick() {
    if (!fOptions.Contains(eoNoSelection)) SelectAll();
    if (OnQuadrupleClick) OnQuadrupleClick(this);
}

// ---- press, move, release -----------------------------------------------------------------------

int TCustomLexEdit::ClampRow(int ARow) const {
    return MinMax(ARow, 1, std::max(1, DisplayLineCount()));
}

void TCustomLexEdit::ComputeCaret(int X, int Y) {
    TDisplayCoord P = PixelsToNearestRowColumn(X, Y);
    P.Row = ClampRow(P.Row);
    SetInternalDisplayXY(P);
}

void TCustomLexEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const bool HadSelection = SelAvail();
    const TBufferCoord OldBegin = fBlockBegin;
    const TBufferCoord OldEnd = fBlockEnd;
    if (Button == mbLeft) fMouseCaptured = true;
    // The second and later clicks of a series only select words, lines or everything.
    if (Button == mbLeft && fClickCount > 1) {
        if (fClickCount == 2) DblClick();
        return;
    }
    fKbdHandler.ExecuteMouseDown(this, Button, Shift, X, Y);
    if (Button == mbRight) {
        TDisplayCoord Cell = PixelsToRowColumn(X, Y);
        Cell.Row = ClampRow(Cell.Row);
        if (!fOptions.Contains(eoRightMouseMovesCursor) ||
            (HadSelection && IsPointInSelection(DisplayToBufferPos(Cell))))
            return;
        InvalidateSelection();
        fBlockEnd = fBlockBegin;
        ComputeCaret(X, Y);
    } else if (Button == mbLeft) {
        TDisplayCoord Cell = PixelsToNearestRowColumn(X, Y);
        Cell.Row = ClampRow(Cell.Row);
        if (HadSelection && fOptions.Contains(eoDragDropEditing) && X >= fGutterWidth + 2 &&
            !Shift.Contains(ssAlt) && IsPointInSelection(DisplayToBufferPos(Cell))) {
            // Perhaps the start of a drag of the selection: the caret waits for the release.
            fPendingDrag = true;
            fPendingShift = Shift;
            fMouseDownX = X;
            fMouseDownY = Y;
            SetFocus();
            return;
        }
        ComputeCaret(X, Y);
        fBlockBegin = OldBegin;
        fBlockEnd = OldEnd;
    } else {
        return;
    }
    PlaceSelectionAtCaret(Shift);
    if (X < fGutterWidth) {
        fStateFlags.Include(sfPossibleGutterClick);
        if (Button == mbRight) DoOnGutterClick(Button, X, Y);
    }
    SetFocus();
}

void TCustomLexEdit::PlaceSelectionAtCaret(TShiftState Shift) {
    if (Shift.Contains(ssDouble)) return;
    if (Shift.Contains(ssShift)) {
        SetBlockEnd(CaretXY());
        return;
    }
    if (fOptions.Contains(eoAltSetsColumnMode) && fSelectionMode != smLine)
        SetSelectionMode(Shift.Contains(ssAlt) ? smColumn : smNormal);
    CollapseSelectionOnCaret();
}

void TCustomLexEdit::ApplyPendingPress() {
    fPendingDrag = false;
    ComputeCaret(fMouseDownX, fMouseDownY);
    PlaceSelectionAtCaret(fPendingShift);
}

void TCustomLexEdit::MouseMove(TShiftState Shift, int X, int Y) {
    if (!Shift.Contains(ssLeft) || !fMouseCaptured || FIsScrolling) return;
    if (fPendingDrag) {
        const int Distance = fMouseEnv.DragDistance();
        if (std::abs(X - fMouseDownX) < Distance && std::abs(Y - fMouseDownY) < Distance) return;
        // The selection is dragged away; without a way to drag, the move selects from the press.
        if (fMouseEnv.StartDrag) {
            DragSelection();
            return;
        }
        ApplyPendingPress();
    }
    ComputeScroll(X, Y);
    TDisplayCoord P = PixelsToNearestRowColumn(X, Y);
    P.Row = ClampRow(P.Row);
    const TBufferCoord Target = DisplayToBufferPos(P);
    if (Target == CaretXY()) return;
    if (fActiveSelectionMode == smNormal && fClickCount == 2) {
        DoMouseSelectWordRange(Target);
    } else if (fActiveSelectionMode == smNormal && fClickCount == 3) {
        DoMouseSelectLineRange(Target);
    } else {
        DragCaretTo(Target, true);
    }
    if (fStateFlags.Contains(sfPossibleGutterClick) && fCaretY != fBlockBegin.Line)
        fStateFlags.Include(sfGutterDragging);
}

void TCustomLexEdit::DragCaretTo(const TBufferCoord &APos, bool AExtend) {
    TUpdateGuard Lock(*this);
    // A collapsed block follows the caret: the press's place is kept as the anchor.
    const TBufferCoord Begin = fBlockBegin;
    const TBufferCoord End = fBlockEnd;
    InternalSetCaretXY(APos);
    if (!AExtend) return;
    fBlockBegin = Begin;
    fBlockEnd = End;
    SetBlockEnd(CaretXY());
}

void TCustomLexEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    fKbdHandler.ExecuteMouseUp(this, Button, Shift, X, Y);
    fScrollTimer.stop();
    fScrollDeltaX = fScrollDeltaY = 0;
    if (Button == mbRight && Shift == TShiftState{ssRight} && contextMenuPolicy() != Qt::DefaultContextMenu &&
        contextMenuPolicy() != Qt::NoContextMenu)
        return;
    fMouseCaptured = false;
    if (fPendingDrag && Button == mbLeft) ApplyPendingPress();
    fPendingDrag = false;
    // A click that began and ended in the gutter without leaving its line is the gutter's.
    const bool GutterClick = fStateFlags.Contains(sfPossibleGutterClick) &&
                             !fStateFlags.Contains(sfGutterDragging) && X < fGutterWidth && Button != mbRight;
    fStateFlags.Exclude(sfPossibleGutterClick);
    fStateFlags.Exclude(sfGutterDragging);
    if (GutterClick) DoOnGutterClick(Button, X, Y);
}

// ---- automatic scrolling ----------------------------------------------------------------------------

void TCustomLexEdit::ComputeScroll(int X, int Y) {
    int Margin = fStateFlags.Contains(sfOleDragSource) ? 4 : 0;
    if (fBorderStyle == bsNone) Margin += 2;
    const int Inset = ScaledPixels(Margin, logicalDpiX());
    const int Left = fGutterWidth + Inset;
    const int Right =
        int(std::min<int64_t>(INT_MAX, int64_t(fGutterWidth) + int64_t(fCharsInWindow) * fCharWidth)) - Inset;
    const int Top = Inset;
    const int Bottom = int(std::min<int64_t>(INT_MAX, int64_t(fLinesInWindow) * fTextHeight)) - Inset;
    if (X < Left && fLeftChar > 1)
        fScrollDeltaX = (X - Left) / fCharWidth - 1;
    else if (X >= Right)
        fScrollDeltaX = (X - Right) / fCharWidth + 1;
    else
        fScrollDeltaX = 0;
    if (Y < Top && fTopLine > 1)
        fScrollDeltaY = (Y - Top) / fTextHeight - 1;
    else if (Y >= Bottom)
        fScrollDeltaY = (Y - Bottom) / fTextHeight + 1;
    else
        fScrollDeltaY = 0;
    if (fScrollDeltaX != 0 || fScrollDeltaY != 0) {
        if (!fScrollTimer.isActive()) fScrollTimer.start();
    } else {
        fScrollTimer.stop();
    }
}

bool TCustomLexEdit::AutoScrolling() const {
    return fScrollTimer.isActive();
}

void TCustomLexEdit::ScrollTimerHandler() {
    const QPoint Pt = viewport()->mapFromGlobal(fMouseEnv.CursorPos());
    TDisplayCoord Target = PixelsToRowColumn(Pt.x(), Pt.y());
    Target.Row = ClampRow(Target.Row);
    if (fScrollDeltaX != 0) {
        SetLeftChar(int(std::clamp<int64_t>(int64_t(fLeftChar) + fScrollDeltaX, 1, INT_MAX)));
        Target.Column = fLeftChar;
        if (fScrollDeltaX > 0) Target.Column += fCharsInWindow;
    }
    if (fScrollDeltaY != 0) {
        const bool Pages = (fMouseEnv.KeyboardModifiers() & Qt::ShiftModifier) != 0;
        const int64_t Step = int64_t(fScrollDeltaY) * (Pages ? fLinesInWindow : 1);
        SetTopLine(int(std::clamp<int64_t>(int64_t(fTopLine) + Step, 1, INT_MAX)));
        Target.Row = fTopLine;
        if (fScrollDeltaY > 0) Target.Row += fLinesInWindow - 1;
        Target.Row = ClampRow(Target.Row);
    }
    const TBufferCoord Pos = DisplayToBufferPos(Target);
    if (Pos != CaretXY()) {
        TUpdateGuard Lock(*this);
        if (fMouseCaptured && fActiveSelectionMode == smNormal && fClickCount == 2) {
            DoMouseSelectWordRange(Pos);
        } else if (fMouseCaptured && fActiveSelectionMode == smNormal && fClickCount == 3) {
            DoMouseSelectLineRange(Pos);
        } else {
            // Without the mouse held the timer serves a drop: the selection stays.
            DragCaretTo(Pos, fMouseCaptured);
        }
    }
    ComputeScroll(Pt.x(), Pt.y());
}

// ---- positions and cursor ---------------------------------------------------------------------------

bool TCustomLexEdit::IsPointInSelection(const TBufferCoord &Value) const {
    const TBufferCoord B = BlockBegin();
    const TBufferCoord E = BlockEnd();
    if (Value.Line < B.Line || Value.Line > E.Line || !SelAvail()) return false;
    switch (fActiveSelectionMode) {
    case smLine:
        return true;
    case smColumn: {
        const int c1 = std::min(fBlockBegin.Char, fBlockEnd.Char);
        const int c2 = std::max(fBlockBegin.Char, fBlockEnd.Char);
        return c1 < c2 && Value.Char >= c1 && Value.Char < c2;
    }
    case smNormal:
    default:
        return (Value.Line > B.Line || Value.Char >= B.Char) && (Value.Line < E.Line || Value.Char < E.Char);
    }
}

bool TCustomLexEdit::GetPositionOfMouse(TBufferCoord &aPos) const {
    const QPoint Pt = viewport()->mapFromGlobal(fMouseEnv.CursorPos());
    if (Pt.x() < 0 || Pt.y() < 0 || Pt.x() > viewport()->width() || Pt.y() > viewport()->height())
        return false;
    aPos = DisplayToBufferPos(PixelsToRowColumn(Pt.x(), Pt.y()));
    return true;
}

QString TCustomLexEdit::GetWordAtMouse() const {
    TBufferCoord P;
    return GetPositionOfMouse(P) ? GetWordAtRowCol(P) : QString();
}

void TCustomLexEdit::SetTextCursor(Qt::CursorShape Value) {
    fTextCursor = Value;
    viewport()->setCursor(Value);
}

void TCustomLexEdit::UpdateMouseCursor(const QPoint &APoint) {
    TDisplayCoord Cell = PixelsToRowColumn(APoint.x(), APoint.y());
    Cell.Row = ClampRow(Cell.Row);
    const TBufferCoord Pos = DisplayToBufferPos(Cell);
    Qt::CursorShape Chosen = fTextCursor;
    if (APoint.x() < fGutterWidth)
        Chosen = Qt::ArrowCursor;
    else if (fOptions.Contains(eoDragDropEditing) && !fMouseCaptured && IsPointInSelection(Pos))
        Chosen = Qt::ArrowCursor;
    if (OnMouseCursor) OnMouseCursor(this, Pos, Chosen);
    fKbdHandler.ExecuteMouseCursor(this, Pos, Chosen);
    if (viewport()->cursor().shape() != Chosen) viewport()->setCursor(Chosen);
}

// ---- multi-click selection while dragging -------------------------------------------------------------

void TCustomLexEdit::DoMouseSelectWordRange(TBufferCoord APos) {
    const int Count = fLines->Count();
    APos.Line = MinMax(APos.Line, 1, std::max(Count, 1));
    const int Len = LineLength(APos.Line);
    APos.Char = MinMax(APos.Char, 1, Len + 1);
    // The anchor word: the one the double click selected, as long as it is still selected.
    TBufferCoord A0 = BlockBegin();
    TBufferCoord A1 = BlockEnd();
    if (fWordAnchorBegin.Line > 0 && A0 <= fWordAnchorBegin && fWordAnchorEnd <= A1) {
        A0 = fWordAnchorBegin;
        A1 = fWordAnchorEnd;
    }
    if (APos >= A1) {
        TBufferCoord End = APos;
        if (APos.Char > 1 && IsIdentChar(fLines->Get(APos.Line - 1)[APos.Char - 2])) End = WordEndEx(APos);
        SetCaretAndSelection(End, A0, End);
    } else if (APos < A0) {
        const TBufferCoord Start = WordStartEx(APos);
        SetCaretAndSelection(Start, A1, Start);
    } else {
        SetCaretAndSelection(A1, A0, A1);
    }
}

void TCustomLexEdit::DoMouseSelectLineRange(TBufferCoord APos) {
    const int Count = fLines->Count();
    APos.Line = MinMax(APos.Line, 1, std::max(Count, 1));
    // The end of a selected line is the start of the next one, or the end of the last line.
    const auto LineEnd = [this, Count](int L) {
        return L < Count ? BufferCoord(1, L + 1) : BufferCoord(LineLength(L) + 1, L);
    };
    // The line clicked: the first selected line while the caret is at the end of the block,
    // else the last line the block covers (a block ending at character 1 does not cover that
    // line).
    const TBufferCoord B = BlockBegin();
    const TBufferCoord E = BlockEnd();
    int Anchor = B.Line;
    if (CaretXY() < E) Anchor = E.Char == 1 && E.Line > B.Line ? E.Line - 1 : E.Line;
    if (APos.Line < Anchor) {
        const TBufferCoord Start = BufferCoord(1, APos.Line);
        SetCaretAndSelection(Start, LineEnd(Anchor), Start);
    } else {
        const TBufferCoord End = LineEnd(APos.Line);
        SetCaretAndSelection(End, BufferCoord(1, Anchor), End);
    }
}

} // namespace lexedit
