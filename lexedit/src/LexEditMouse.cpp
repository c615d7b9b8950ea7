// SPDX-License-Identifier: MIT
// The mouse: click series, presses, drags and releases that place the caret and build the
// selection, double, triple and quadruple clicks, the automatic scrolling while the mouse is
// dragged outside the text, the mouse cursor, and extending a multi-click selection by words or
// lines.

#include "lexedit/LexEdit.h"

#include "LexEditFolding.h"

#include "LexEditPrivate.h"

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

TShiftState TLexEditPrivate::ShiftFromEvent(const QMouseEvent &AEvent) const {
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
    fPriv->HandleMousePress(AEvent);
}

void TCustomLexEdit::mouseDoubleClickEvent(QMouseEvent *AEvent) {
    // The clicks of a series are counted here, from the presses' times and places.
    fPriv->HandleMousePress(AEvent);
}

void TLexEditPrivate::HandleMousePress(QMouseEvent *AEvent) {
    AEvent->accept();
    common::Guarded([&] {
        TShiftState Shift = ShiftFromEvent(*AEvent);
        CountClick(*AEvent, Shift);
        if (fClickCount > 1) Shift.Include(ssDouble);
        const QPoint P = AEvent->position().toPoint();
        Ed.MouseDown(ToButton(AEvent->button()), Shift, P.x(), P.y());
    });
}

void TCustomLexEdit::mouseMoveEvent(QMouseEvent *AEvent) {
    AEvent->accept();
    common::Guarded([&] {
        const QPoint P = AEvent->position().toPoint();
        MouseMove(fPriv->ShiftFromEvent(*AEvent), P.x(), P.y());
        UpdateMouseCursor(P);
    });
}

void TCustomLexEdit::mouseReleaseEvent(QMouseEvent *AEvent) {
    AEvent->accept();
    common::Guarded([&] {
        const QPoint P = AEvent->position().toPoint();
        MouseUp(ToButton(AEvent->button()), fPriv->ShiftFromEvent(*AEvent), P.x(), P.y());
        UpdateMouseCursor(P);
    });
}

// ---- clicks -----------------------------------------------------------------------------------------

void TLexEditPrivate::CountClick(const QMouseEvent &AEvent, TShiftState Shift) {
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
        Ed.TripleClick();
    else if (fClickCount == 4)
        Ed.QuadrupleClick();
}

void TCustomLexEdit::DblClick() {
    if (fPriv->fOptions.Contains(eoNoSelection) || fPriv->fMouseDownX < fPriv->fGutterWidth + 2) return;
    SetWordBlock(CaretXY());
}

void TCustomLexEdit::TripleClick() {
    if (!fPriv->fOptions.Contains(eoNoSelection)) {
        const int Line = fPriv->fCaretY;
        const TBufferCoord Start = BufferCoord(1, Line);
        const TBufferCoord End = Line < fPriv->fLines->Count()
                                     ? BufferCoord(1, Line + 1)
                                     : BufferCoord(fPriv->LineLength(Line) + 1, Line);
        SetCaretAndSelection(End, Start, End);
    }
    if (OnTripleClick) OnTripleClick(this);
}

void TCustomLexEdit::QuadrupleClick() {
    if (!fPriv->fOptions.Contains(eoNoSelection)) SelectAll();
    if (OnQuadrupleClick) OnQuadrupleClick(this);
}

// ---- press, move, release -----------------------------------------------------------------------

int TLexEditPrivate::ClampRow(int ARow) const {
    return MinMax(ARow, 1, std::max(1, Ed.DisplayLineCount()));
}

void TCustomLexEdit::ComputeCaret(int X, int Y) {
    TDisplayCoord P = PixelsToNearestRowColumn(X, Y);
    P.Row = fPriv->ClampRow(P.Row);
    SetInternalDisplayXY(P);
}

void TCustomLexEdit::MouseDown(TMouseButton Button, TShiftState Shift, int X, int Y) {
    const bool HadSelection = SelAvail();
    const TBufferCoord OldBegin = fPriv->fBlockBegin;
    const TBufferCoord OldEnd = fPriv->fBlockEnd;
    if (Button == mbLeft) {
        fPriv->fMouseCaptured = true;
        fPriv->fFolding->Pressed(X, Y);
    }
    // The second and later clicks of a series only select words, lines or everything.
    if (Button == mbLeft && fPriv->fClickCount > 1) {
        if (fPriv->fClickCount == 2) DblClick();
        return;
    }
    fPriv->fKbdHandler.ExecuteMouseDown(this, Button, Shift, X, Y);
    if (Button == mbRight) {
        TDisplayCoord Cell = PixelsToRowColumn(X, Y);
        Cell.Row = fPriv->ClampRow(Cell.Row);
        if (!fPriv->fOptions.Contains(eoRightMouseMovesCursor) ||
            (HadSelection && IsPointInSelection(DisplayToBufferPos(Cell))))
            return;
        InvalidateSelection();
        fPriv->fBlockEnd = fPriv->fBlockBegin;
        ComputeCaret(X, Y);
    } else if (Button == mbLeft) {
        TDisplayCoord Cell = PixelsToNearestRowColumn(X, Y);
        Cell.Row = fPriv->ClampRow(Cell.Row);
        if (HadSelection && fPriv->fOptions.Contains(eoDragDropEditing) && X >= fPriv->fGutterWidth + 2 &&
            !Shift.Contains(ssAlt) && IsPointInSelection(DisplayToBufferPos(Cell))) {
            // Perhaps the start of a drag of the selection: the caret waits for the release.
            fPriv->fPendingDrag = true;
            fPriv->fPendingShift = Shift;
            fPriv->fMouseDownX = X;
            fPriv->fMouseDownY = Y;
            SetFocus();
            return;
        }
        ComputeCaret(X, Y);
        fPriv->fBlockBegin = OldBegin;
        fPriv->fBlockEnd = OldEnd;
    } else {
        return;
    }
    fPriv->PlaceSelectionAtCaret(Shift);
    if (X < fPriv->fGutterWidth) {
        fPriv->fStateFlags.Include(sfPossibleGutterClick);
        if (Button == mbRight) DoOnGutterClick(Button, X, Y);
    }
    SetFocus();
}

void TLexEditPrivate::PlaceSelectionAtCaret(TShiftState Shift) {
    if (Shift.Contains(ssDouble)) return;
    if (Shift.Contains(ssShift)) {
        Ed.SetBlockEnd(Ed.CaretXY());
        return;
    }
    if (fOptions.Contains(eoAltSetsColumnMode) && fSelectionMode != smLine)
        Ed.SetSelectionMode(Shift.Contains(ssAlt) ? smColumn : smNormal);
    CollapseSelectionOnCaret();
}

void TLexEditPrivate::ApplyPendingPress() {
    fPendingDrag = false;
    Ed.ComputeCaret(fMouseDownX, fMouseDownY);
    PlaceSelectionAtCaret(fPendingShift);
}

void TCustomLexEdit::MouseMove(TShiftState Shift, int X, int Y) {
    if (!Shift.Contains(ssLeft) || !fPriv->fMouseCaptured || fPriv->FIsScrolling) return;
    if (fPriv->fPendingDrag) {
        const int Distance = fPriv->fMouseEnv.DragDistance();
        if (std::abs(X - fPriv->fMouseDownX) < Distance && std::abs(Y - fPriv->fMouseDownY) < Distance)
            return;
        // The selection is dragged away; without a way to drag, the move selects from the press.
        if (fPriv->fMouseEnv.StartDrag) {
            DragSelection();
            return;
        }
        fPriv->ApplyPendingPress();
    }
    ComputeScroll(X, Y);
    TDisplayCoord P = PixelsToNearestRowColumn(X, Y);
    P.Row = fPriv->ClampRow(P.Row);
    const TBufferCoord Target = DisplayToBufferPos(P);
    if (Target == CaretXY()) return;
    if (fPriv->fActiveSelectionMode == smNormal && fPriv->fClickCount == 2) {
        DoMouseSelectWordRange(Target);
    } else if (fPriv->fActiveSelectionMode == smNormal && fPriv->fClickCount == 3) {
        DoMouseSelectLineRange(Target);
    } else {
        fPriv->DragCaretTo(Target, true);
    }
    if (fPriv->fStateFlags.Contains(sfPossibleGutterClick) && fPriv->fCaretY != fPriv->fBlockBegin.Line)
        fPriv->fStateFlags.Include(sfGutterDragging);
}

void TLexEditPrivate::DragCaretTo(const TBufferCoord &APos, bool AExtend) {
    TUpdateGuard Lock(Ed);
    // A collapsed block follows the caret: the press's place is kept as the anchor.
    const TBufferCoord Begin = fBlockBegin;
    const TBufferCoord End = fBlockEnd;
    Ed.InternalSetCaretXY(APos);
    if (!AExtend) return;
    fBlockBegin = Begin;
    fBlockEnd = End;
    Ed.SetBlockEnd(Ed.CaretXY());
}

void TCustomLexEdit::MouseUp(TMouseButton Button, TShiftState Shift, int X, int Y) {
    fPriv->fKbdHandler.ExecuteMouseUp(this, Button, Shift, X, Y);
    fPriv->fScrollTimer.stop();
    fPriv->fScrollDeltaX = fPriv->fScrollDeltaY = 0;
    if (Button == mbRight && Shift == TShiftState{ssRight} && contextMenuPolicy() != Qt::DefaultContextMenu &&
        contextMenuPolicy() != Qt::NoContextMenu)
        return;
    fPriv->fMouseCaptured = false;
    if (fPriv->fPendingDrag && Button == mbLeft) fPriv->ApplyPendingPress();
    fPriv->fPendingDrag = false;
    // A click that began and ended in the gutter without leaving its line is the gutter's.
    const bool GutterClick = fPriv->fStateFlags.Contains(sfPossibleGutterClick) &&
                             !fPriv->fStateFlags.Contains(sfGutterDragging) && X < fPriv->fGutterWidth &&
                             Button != mbRight;
    fPriv->fStateFlags.Exclude(sfPossibleGutterClick);
    fPriv->fStateFlags.Exclude(sfGutterDragging);
    if (GutterClick) DoOnGutterClick(Button, X, Y);
    // A release on the collapse mark behind a collapsed line expands it.
    if (!GutterClick && Button == mbLeft && X >= fPriv->fGutterWidth)
        fPriv->fFolding->CollapseMarkClick(X, Y);
    if (Button == mbLeft) fPriv->fFolding->Released();
}

// ---- automatic scrolling ----------------------------------------------------------------------------

void TCustomLexEdit::ComputeScroll(int X, int Y) {
    int Margin = fPriv->fStateFlags.Contains(sfOleDragSource) ? 4 : 0;
    if (fPriv->fBorderStyle == bsNone) Margin += 2;
    const int Inset = ScaledPixels(Margin, logicalDpiX());
    const int Left = fPriv->fGutterWidth + Inset;
    const int Right =
        int(std::min<int64_t>(INT_MAX, int64_t(fPriv->fGutterWidth) +
                                           int64_t(fPriv->fCharsInWindow) * fPriv->fCharWidth)) -
        Inset;
    const int Top = Inset;
    const int Bottom =
        int(std::min<int64_t>(INT_MAX, int64_t(fPriv->fLinesInWindow) * fPriv->fTextHeight)) - Inset;
    if (X < Left && fPriv->fLeftChar > 1)
        fPriv->fScrollDeltaX = (X - Left) / fPriv->fCharWidth - 1;
    else if (X >= Right)
        fPriv->fScrollDeltaX = (X - Right) / fPriv->fCharWidth + 1;
    else
        fPriv->fScrollDeltaX = 0;
    if (Y < Top && fPriv->fTopLine > 1)
        fPriv->fScrollDeltaY = (Y - Top) / fPriv->fTextHeight - 1;
    else if (Y >= Bottom)
        fPriv->fScrollDeltaY = (Y - Bottom) / fPriv->fTextHeight + 1;
    else
        fPriv->fScrollDeltaY = 0;
    if (fPriv->fScrollDeltaX != 0 || fPriv->fScrollDeltaY != 0) {
        if (!fPriv->fScrollTimer.isActive()) fPriv->fScrollTimer.start();
    } else {
        fPriv->fScrollTimer.stop();
    }
}

bool TCustomLexEdit::AutoScrolling() const {
    return fPriv->fScrollTimer.isActive();
}

void TCustomLexEdit::ScrollTimerHandler() {
    const QPoint Pt = viewport()->mapFromGlobal(fPriv->fMouseEnv.CursorPos());
    TDisplayCoord Target = PixelsToRowColumn(Pt.x(), Pt.y());
    Target.Row = fPriv->ClampRow(Target.Row);
    if (fPriv->fScrollDeltaX != 0) {
        SetLeftChar(int(std::clamp<int64_t>(int64_t(fPriv->fLeftChar) + fPriv->fScrollDeltaX, 1, INT_MAX)));
        Target.Column = fPriv->fLeftChar;
        if (fPriv->fScrollDeltaX > 0) Target.Column += fPriv->fCharsInWindow;
    }
    if (fPriv->fScrollDeltaY != 0) {
        const bool Pages = (fPriv->fMouseEnv.KeyboardModifiers() & Qt::ShiftModifier) != 0;
        const int64_t Step = int64_t(fPriv->fScrollDeltaY) * (Pages ? fPriv->fLinesInWindow : 1);
        SetTopLine(int(std::clamp<int64_t>(int64_t(fPriv->fTopLine) + Step, 1, INT_MAX)));
        Target.Row = fPriv->fTopLine;
        if (fPriv->fScrollDeltaY > 0) Target.Row += fPriv->fLinesInWindow - 1;
        Target.Row = fPriv->ClampRow(Target.Row);
    }
    const TBufferCoord Pos = DisplayToBufferPos(Target);
    if (Pos != CaretXY()) {
        TUpdateGuard Lock(*this);
        if (fPriv->fMouseCaptured && fPriv->fActiveSelectionMode == smNormal && fPriv->fClickCount == 2) {
            DoMouseSelectWordRange(Pos);
        } else if (fPriv->fMouseCaptured && fPriv->fActiveSelectionMode == smNormal &&
                   fPriv->fClickCount == 3) {
            DoMouseSelectLineRange(Pos);
        } else {
            // Without the mouse held the timer serves a drop: the selection stays.
            fPriv->DragCaretTo(Pos, fPriv->fMouseCaptured);
        }
    }
    ComputeScroll(Pt.x(), Pt.y());
}

// ---- positions and cursor ---------------------------------------------------------------------------

bool TCustomLexEdit::IsPointInSelection(const TBufferCoord &Value) const {
    const TBufferCoord B = BlockBegin();
    const TBufferCoord E = BlockEnd();
    if (Value.Line < B.Line || Value.Line > E.Line || !SelAvail()) return false;
    switch (fPriv->fActiveSelectionMode) {
    case smLine:
        return true;
    case smColumn: {
        const int c1 = std::min(fPriv->fBlockBegin.Char, fPriv->fBlockEnd.Char);
        const int c2 = std::max(fPriv->fBlockBegin.Char, fPriv->fBlockEnd.Char);
        return c1 < c2 && Value.Char >= c1 && Value.Char < c2;
    }
    case smNormal:
    default:
        return (Value.Line > B.Line || Value.Char >= B.Char) && (Value.Line < E.Line || Value.Char < E.Char);
    }
}

bool TCustomLexEdit::GetPositionOfMouse(TBufferCoord &aPos) const {
    const QPoint Pt = viewport()->mapFromGlobal(fPriv->fMouseEnv.CursorPos());
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
    fPriv->fTextCursor = Value;
    viewport()->setCursor(Value);
}

void TCustomLexEdit::UpdateMouseCursor(const QPoint &APoint) {
    TDisplayCoord Cell = PixelsToRowColumn(APoint.x(), APoint.y());
    Cell.Row = fPriv->ClampRow(Cell.Row);
    const TBufferCoord Pos = DisplayToBufferPos(Cell);
    Qt::CursorShape Chosen = fPriv->fTextCursor;
    if (fPriv->fFolding->OverFoldHitArea(APoint.x(), APoint.y()))
        Chosen = Qt::PointingHandCursor;
    else if (APoint.x() < fPriv->fGutterWidth)
        Chosen = Qt::ArrowCursor;
    else if (fPriv->fOptions.Contains(eoDragDropEditing) && !fPriv->fMouseCaptured && IsPointInSelection(Pos))
        Chosen = Qt::ArrowCursor;
    if (OnMouseCursor) OnMouseCursor(this, Pos, Chosen);
    fPriv->fKbdHandler.ExecuteMouseCursor(this, Pos, Chosen);
    if (viewport()->cursor().shape() != Chosen) viewport()->setCursor(Chosen);
}

// ---- multi-click selection while dragging -------------------------------------------------------------

void TCustomLexEdit::DoMouseSelectWordRange(TBufferCoord APos) {
    const int Count = fPriv->fLines->Count();
    APos.Line = MinMax(APos.Line, 1, std::max(Count, 1));
    const int Len = fPriv->LineLength(APos.Line);
    APos.Char = MinMax(APos.Char, 1, Len + 1);
    // The anchor word: the one the double click selected, as long as it is still selected.
    TBufferCoord A0 = BlockBegin();
    TBufferCoord A1 = BlockEnd();
    if (fPriv->fWordAnchorBegin.Line > 0 && A0 <= fPriv->fWordAnchorBegin && fPriv->fWordAnchorEnd <= A1) {
        A0 = fPriv->fWordAnchorBegin;
        A1 = fPriv->fWordAnchorEnd;
    }
    if (APos >= A1) {
        TBufferCoord End = APos;
        if (APos.Char > 1 && IsIdentChar(fPriv->fLines->Get(APos.Line - 1)[APos.Char - 2]))
            End = WordEndEx(APos);
        SetCaretAndSelection(End, A0, End);
    } else if (APos < A0) {
        const TBufferCoord Start = WordStartEx(APos);
        SetCaretAndSelection(Start, A1, Start);
    } else {
        SetCaretAndSelection(A1, A0, A1);
    }
}

void TCustomLexEdit::DoMouseSelectLineRange(TBufferCoord APos) {
    const int Count = fPriv->fLines->Count();
    APos.Line = MinMax(APos.Line, 1, std::max(Count, 1));
    // The end of a selected line is the start of the next one, or the end of the last line.
    const auto LineEnd = [this, Count](int L) {
        return L < Count ? BufferCoord(1, L + 1) : BufferCoord(fPriv->LineLength(L) + 1, L);
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
