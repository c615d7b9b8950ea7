// SPDX-License-Identifier: MIT
// Drag and drop: dragging the selection out of the editor, the editor as a drop target for text
// (with the caret following the mouse and automatic scrolling near the edges), moving text
// within the editor, and files dropped onto it.
//
// The effect of a drop is decided by the keys held at the moment of the drop: Ctrl copies,
// otherwise the text moves (or is copied when the source offers no move). A move within the
// editor is carried out by the drop alone, as one undo step; the drop point is corrected by what
// deleting the selection actually removed in front of it.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditDataObject.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QUrl>

#include <algorithm>

namespace lexedit {

namespace {

// Text inserted as lines ends with a line break: a last line copied without one would otherwise
// be put in front of the line it is dropped on.
QString WholeLines(const QString &AText) {
    if (AText.isEmpty() || AText.endsWith(QLatin1Char('\n')) || AText.endsWith(QLatin1Char('\r')))
        return AText;
    return AText + QStringLiteral("\r\n");
}

Qt::DropAction StandardEffect(TShiftState State, Qt::DropActions Possible) {
    if (!State.Contains(ssCtrl) && (Possible & Qt::MoveAction)) return Qt::MoveAction;
    return (Possible & Qt::CopyAction) ? Qt::CopyAction : Qt::IgnoreAction;
}

TShiftState ShiftOfDrop(const QDropEvent &AEvent) {
    TShiftState S;
    const Qt::KeyboardModifiers M = AEvent.modifiers();
    if (M & Qt::ShiftModifier) S.Include(ssShift);
    if (M & Qt::ControlModifier) S.Include(ssCtrl);
    if (M & Qt::AltModifier) S.Include(ssAlt);
    const Qt::MouseButtons B = AEvent.buttons();
    if (B & Qt::LeftButton) S.Include(ssLeft);
    if (B & Qt::RightButton) S.Include(ssRight);
    if (B & Qt::MiddleButton) S.Include(ssMiddle);
    return S;
}

// The full names of the local files of a drop (never cut short).
QStringList LocalFiles(const QMimeData *AData) {
    QStringList Files;
    if (AData == nullptr || !AData->hasUrls()) return Files;
    for (const QUrl &Url : AData->urls())
        if (Url.isLocalFile()) Files << Url.toLocalFile();
    return Files;
}

} // namespace

// ---- dragging out ------------------------------------------------------------------------------------

void TCustomLexEdit::DragSelection() {
    fPriv->fPendingDrag = false;
    // The press belongs to the drag now: the automatic scrolling serves drops only.
    fPriv->fMouseCaptured = false;
    if (!SelAvail() || !fPriv->fMouseEnv.StartDrag) return;
    std::unique_ptr<QMimeData> Data = CreateDataObject(fPriv->SelTextForCopy());
    const Qt::DropActions Allowed = GetReadOnly() ? Qt::CopyAction : Qt::CopyAction | Qt::MoveAction;
    fPriv->fDropMovedHere = false;
    fPriv->fStateFlags.Include(sfOleDragSource);
    Qt::DropAction Action = Qt::IgnoreAction;
    try {
        Action = fPriv->fMouseEnv.StartDrag(this, std::move(Data), Allowed);
    } catch (...) {
        fPriv->fStateFlags.Exclude(sfOleDragSource);
        fPriv->fScrollTimer.stop();
        throw;
    }
    fPriv->fStateFlags.Exclude(sfOleDragSource);
    fPriv->fScrollTimer.stop();
    // A drop into this editor has moved the text itself.
    const bool MovedHere = fPriv->fDropMovedHere;
    fPriv->fDropMovedHere = false;
    if (Action == Qt::MoveAction && !MovedHere && !GetReadOnly()) ClearSelection();
}

// ---- the drop target -----------------------------------------------------------------------------------

void TCustomLexEdit::OleDragEnter(const QMimeData *DataObject, TShiftState State, const QPoint &MousePt,
                                  Qt::DropAction &Effect) {
    Q_UNUSED(State);
    Q_UNUSED(MousePt);
    if (GetReadOnly() || DataObject == nullptr) {
        Effect = Qt::IgnoreAction;
    } else if (fPriv->fOptions.Contains(eoDropFiles) && OnDropFiles && !LocalFiles(DataObject).isEmpty()) {
        Effect = Qt::CopyAction;
    } else if (!DataObject->hasFormat(QStringLiteral("text/plain"))) {
        Effect = Qt::IgnoreAction;
    }
}

void TCustomLexEdit::OleDragOver(const QMimeData *DataObject, TShiftState State, const QPoint &MousePt,
                                 Qt::DropAction &Effect) {
    OleDragEnter(DataObject, State, MousePt, Effect);
    if (Effect == Qt::IgnoreAction) return;
    // The caret shows where the text would go, inside the visible cells.
    TDisplayCoord P = PixelsToNearestRowColumn(MousePt.x(), MousePt.y());
    P.Column = std::clamp(P.Column, fPriv->fLeftChar,
                          std::max(fPriv->fLeftChar, fPriv->fLeftChar + fPriv->fCharsInWindow - 1));
    P.Row = fPriv->ClampRow(std::clamp(
        P.Row, fPriv->fTopLine, std::max(fPriv->fTopLine, fPriv->fTopLine + fPriv->fLinesInWindow - 1)));
    InternalSetCaretXY(DisplayToBufferPos(P));
    ComputeScroll(MousePt.x(), MousePt.y());
}

void TCustomLexEdit::OleDragLeave() {
    fPriv->fScrollTimer.stop();
    fPriv->fScrollDeltaX = fPriv->fScrollDeltaY = 0;
    if (fPriv->fStateFlags.Contains(sfOleDragSource)) ComputeCaret(fPriv->fMouseDownX, fPriv->fMouseDownY);
}

void TCustomLexEdit::OleDrop(const QMimeData *DataObject, TShiftState State, const QPoint &MousePt,
                             Qt::DropAction &Effect) {
    fPriv->fScrollTimer.stop();
    fPriv->fScrollDeltaX = fPriv->fScrollDeltaY = 0;
    OleDragEnter(DataObject, State, MousePt, Effect);
    if (Effect == Qt::IgnoreAction) return;
    const QStringList Files =
        fPriv->fOptions.Contains(eoDropFiles) && OnDropFiles ? LocalFiles(DataObject) : QStringList();
    if (!Files.isEmpty()) {
        OnDropFiles(this, MousePt.x(), MousePt.y(), Files);
        return;
    }
    const TLexDataObjectContent Content = ReadDataObject(DataObject);
    if (!Content.HasText || Content.Text.isEmpty()) {
        Effect = Qt::IgnoreAction;
        return;
    }
    TUpdateGuard Lock(*this);
    const bool DropMove = Effect == Qt::MoveAction;
    const bool FromHere = fPriv->fStateFlags.Contains(sfOleDragSource) && SelAvail();
    // The drop point: where the caret would go; the caret and the selection stay meanwhile.
    const TBufferCoord SavedCaret = CaretXY();
    const TBufferCoord SavedBegin = fPriv->fBlockBegin;
    const TBufferCoord SavedEnd = fPriv->fBlockEnd;
    ComputeCaret(MousePt.x(), MousePt.y());
    TBufferCoord P = CaretXY();
    InternalSetCaretXY(SavedCaret);
    fPriv->fBlockBegin = SavedBegin;
    fPriv->fBlockEnd = SavedEnd;
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    const TBufferCoord BB = BlockBegin();
    const TBufferCoord BE = BlockEnd();
    // Where the drop lies against the selection dragged from here: a drop inside it, or a move
    // onto its edges, changes nothing; a copy onto an edge puts the text there.
    bool After = false;
    bool DoDrop = true;
    int ColumnFrom = 0;
    int ColumnTo = 0;
    if (FromHere) {
        switch (Mode) {
        case smNormal:
            After = P > BE || (!DropMove && P == BE);
            DoDrop = After || P < BB || (!DropMove && P == BB);
            break;
        case smLine:
            After = P.Line > BE.Line;
            DoDrop = After || P.Line < BB.Line || (!DropMove && P.Line == BB.Line);
            break;
        case smColumn:
            if (P.Line >= BB.Line && P.Line <= BE.Line) {
                const int Left = std::min(BufferToDisplayPos(fPriv->fBlockBegin).Column,
                                          BufferToDisplayPos(fPriv->fBlockEnd).Column);
                const int Right = std::max(BufferToDisplayPos(fPriv->fBlockBegin).Column,
                                           BufferToDisplayPos(fPriv->fBlockEnd).Column);
                ColumnRowRange(P.Line, Left, Right, ColumnFrom, ColumnTo);
                After = P.Char >= ColumnTo;
                const bool Inside = P.Char > ColumnFrom && P.Char < ColumnTo;
                const bool Edge = P.Char == ColumnFrom || P.Char == ColumnTo;
                DoDrop = !Inside && !(DropMove && Edge);
            }
            break;
        }
    }
    if (!DoDrop) {
        Effect = Qt::IgnoreAction;
        return;
    }
    const TLexSelectionMode PasteMode = Content.Mode ? *Content.Mode : fPriv->fSelectionMode;
    const QString Text = PasteMode == smLine ? WholeLines(Content.Text) : Content.Text;
    TUndoBlockGuard Block(*fPriv->fUndoRedo);
    if (FromHere && DropMove) {
        // The source must not delete the text again.
        fPriv->fDropMovedHere = true;
        Effect = Qt::IgnoreAction;
        const int CountBefore = fPriv->fLines->Count();
        const int LenBefore = fPriv->LineLength(P.Line);
        SetSelText(QString());
        switch (Mode) {
        case smNormal:
            if (After) {
                if (P.Line == BE.Line) P.Char = BB.Char + (P.Char - BE.Char);
                P.Line -= BE.Line - BB.Line;
            }
            break;
        case smLine:
            // The lines removed, as many as the line count lost.
            if (After) P.Line -= CountBefore - fPriv->fLines->Count();
            P.Char = 1;
            break;
        case smColumn:
            // On a row of the block, right of it: by the characters that row lost.
            if (After && ColumnTo > 0) P.Char -= LenBefore - fPriv->LineLength(P.Line);
            break;
        }
        P.Line = std::clamp(P.Line, 1, std::max(1, fPriv->fLines->Count()));
        P.Char = std::max(1, P.Char);
    } else {
        Effect = DropMove ? Qt::MoveAction : Qt::CopyAction;
    }
    fPriv->WithScrollPastEol([&] {
        SetCaretAndSelection(P, P, P);
        const int CountBefore = fPriv->fLines->Count();
        SetSelTextPrimitiveEx(PasteMode, Text);
        // The dropped text is selected, the caret after it (dropped lines: after their last).
        TBufferCoord Start = P;
        TBufferCoord End = CaretXY();
        if (PasteMode == smLine) {
            const int Last = P.Line + std::max(0, fPriv->fLines->Count() - CountBefore - 1);
            Start = BufferCoord(1, P.Line);
            End = BufferCoord(fPriv->LineLength(Last) + 1, Last);
        }
        SetActiveSelectionMode(PasteMode);
        SetCaretAndSelection(End, Start, End);
    });
    fPriv->fUndoRedo->AddUndoChange(crSelection, BlockBegin(), BlockEnd(), QString(),
                                    fPriv->fActiveSelectionMode);
}

// ---- Qt events -------------------------------------------------------------------------------------------

void TCustomLexEdit::dragEnterEvent(QDragEnterEvent *AEvent) {
    AEvent->ignore();
    common::Guarded([&] {
        const TShiftState State = ShiftOfDrop(*AEvent);
        Qt::DropAction Effect = StandardEffect(State, AEvent->possibleActions());
        OleDragEnter(AEvent->mimeData(), State, AEvent->position().toPoint(), Effect);
        if (Effect == Qt::IgnoreAction) return;
        AEvent->setDropAction(Effect);
        AEvent->accept();
    });
}

void TCustomLexEdit::dragMoveEvent(QDragMoveEvent *AEvent) {
    AEvent->ignore();
    common::Guarded([&] {
        const TShiftState State = ShiftOfDrop(*AEvent);
        Qt::DropAction Effect = StandardEffect(State, AEvent->possibleActions());
        OleDragOver(AEvent->mimeData(), State, AEvent->position().toPoint(), Effect);
        if (Effect == Qt::IgnoreAction) return;
        AEvent->setDropAction(Effect);
        AEvent->accept();
    });
}

void TCustomLexEdit::dragLeaveEvent(QDragLeaveEvent *AEvent) {
    AEvent->accept();
    common::Guarded([&] { OleDragLeave(); });
}

void TCustomLexEdit::dropEvent(QDropEvent *AEvent) {
    AEvent->ignore();
    common::Guarded([&] {
        const TShiftState State = ShiftOfDrop(*AEvent);
        Qt::DropAction Effect = StandardEffect(State, AEvent->possibleActions());
        OleDrop(AEvent->mimeData(), State, AEvent->position().toPoint(), Effect);
        if (Effect == Qt::IgnoreAction) return;
        AEvent->setDropAction(Effect);
        AEvent->accept();
    });
}

} // namespace lexedit
