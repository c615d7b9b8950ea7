// SPDX-License-Identifier: MIT
// Undo and redo in the editor: the editor's Undo and Redo run the undo engine in use, and the
// engine's callbacks apply each item in the editor that runs them. An editor that shows another
// editor's buffer uses that editor's engine, whose callbacks were made by the other editor: they
// pass the items on to the editor that runs Undo or Redo.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "LexEditBrackets.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>

namespace lexedit {

bool TCustomLexEdit::CanUndo() const {
    return !ReadOnly() && fPriv->fUndoRedo->CanUndo();
}

bool TCustomLexEdit::CanRedo() const {
    return !ReadOnly() && fPriv->fUndoRedo->CanRedo();
}

void TLexEditPrivate::ModifiedChanged(ILexEditUndo *Sender) {
    if (Sender != fUndoRedo.get()) return;
    Ed.StatusChanged({scModified});
    ForEachFollower([Sender](TCustomLexEdit *F) { F->fPriv->ModifiedChanged(Sender); });
}

void TLexEditPrivate::UndoItem(const TLexEditUndoItem &Item) {
    TCustomLexEdit &Target = fUndoRedoEditor != nullptr ? *fUndoRedoEditor : Ed;
    common::ScopedValue<bool> Running(Target.fPriv->fUndoRedoing, true);
    Target.DoUndoItem(Item);
}

void TLexEditPrivate::RedoItem(const TLexEditUndoItem &Item) {
    TCustomLexEdit &Target = fUndoRedoEditor != nullptr ? *fUndoRedoEditor : Ed;
    common::ScopedValue<bool> Running(Target.fPriv->fUndoRedoing, true);
    Target.DoRedoItem(Item);
}

void TCustomLexEdit::Undo() {
    if (!ReadOnly()) fPriv->RunUndoRedo(false);
}

void TCustomLexEdit::Redo() {
    if (!ReadOnly()) fPriv->RunUndoRedo(true);
}

void TLexEditPrivate::LimitToLineEnds() {
    if (fOptions.Contains(eoScrollPastEol)) return;
    const bool Collapsed = fBlockBegin == fBlockEnd;
    if (fCaretX > LineLength(fCaretY) + 1) Ed.SetCaretXYEx(false, Ed.CaretXY());
    for (TBufferCoord *P : {&fBlockBegin, &fBlockEnd})
        P->Char = std::min(P->Char, LineLength(P->Line) + 1);
    if (Collapsed) fBlockBegin = fBlockEnd = Ed.CaretXY();
}

void TLexEditPrivate::RunUndoRedo(bool ARedo) {
    Ed.DoOnPaintTransient(ttBefore);
    try {
        // Outlives the buffer bracket, whose end would otherwise collapse the restored selection.
        common::ScopedValue<bool> Running(fUndoRedoRunning, true);
        TUpdateGuard Lock(Ed);
        TOwnBufferBracket Bracket(Ed);
        // The engine calls the editor that created it, which passes the items on to this one.
        common::ScopedValue<TCustomLexEdit *> Route(BufferOwner().fPriv->fUndoRedoEditor, &Ed);
        if (ARedo)
            fUndoRedo->Redo();
        else
            fUndoRedo->Undo();
        // The steps place the caret as if the caret could stand past a line end; afterwards it
        // obeys the options in force.
        LimitToLineEnds();
    } catch (...) {
        Ed.DoOnPaintTransient(ttAfter);
        throw;
    }
    Ed.DoOnPaintTransient(ttAfter);
}

} // namespace lexedit
