// SPDX-License-Identifier: MIT
// The command gate and the execution of the built-in commands: caret and selection moves,
// paging and scrolling, modes, bookmarks, and the dispatch of the editing commands (typing and
// deleting are in LexEditTyping.cpp, the block, case and line commands in
// LexEditBlockCommands.cpp). Also the indentation helpers, clearing and the undo
// brackets.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditCodeFolding.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>

namespace lexedit {

// ---- the gate -------------------------------------------------------------------------------

void TCustomLexEdit::DoOnProcessCommand(TLexEditorCommand &Command, QChar &AChar, void *Data) {
    if (Command < ecUserFirst) {
        if (OnProcessCommand) OnProcessCommand(this, Command, AChar, Data);
    } else if (OnProcessUserCommand) {
        OnProcessUserCommand(this, Command, AChar, Data);
    }
}

void TCustomLexEdit::DoOnCommandProcessed(TLexEditorCommand Command, QChar AChar, void *Data) {
    // The handler gets copies: what it changes does not come back.
    if (OnCommandProcessed) OnCommandProcessed(this, Command, AChar, Data);
}

void TCustomLexEdit::CommandProcessor(TLexEditorCommand Command, QChar AChar, void *Data) {
    DoOnProcessCommand(Command, AChar, Data);
    if (Command != ecNone) {
        NotifyHookedCommandHandlers(false, Command, AChar, Data);
        if (Command != ecNone && Command < ecUserFirst) ExecuteCommand(Command, AChar, Data);
        if (Command != ecNone) NotifyHookedCommandHandlers(true, Command, AChar, Data);
    }
    DoOnCommandProcessed(Command, AChar, Data);
}

TLexEditorCommand TCustomLexEdit::TranslateKeyCode(uint16_t Code, TShiftState Shift, void *&Data) {
    Data = nullptr;
    return lexedit::TranslateKeyCode(*fPriv->fKeyStrokes, Code, Shift, fPriv->fLastKey,
                                     fPriv->fLastShiftState);
}

// ---- execution ------------------------------------------------------------------------------

void TLexEditPrivate::UpdateView() {
    // The rows collected so far are repainted at the next paint; the update lock flushes them.
    if (fPaintLock == 0) Ed.FlushPendingInvalidation();
}

void TLexEditPrivate::ExecPage(TLexEditorCommand Command, bool Sel) {
    switch (Command) {
    case ecPageUp:
    case ecPageDown: {
        int n = std::max(fLinesInWindow, 1);
        if (fOptions.Contains(eoHalfPageScroll)) n >>= 1;
        if (fOptions.Contains(eoScrollByOneLess)) --n;
        n = std::max(n, 1);
        if (Command == ecPageUp) n = -n;
        Ed.SetTopLine(fTopLine + n);
        Ed.MoveCaretVert(n, Sel);
        UpdateView();
        break;
    }
    case ecPageLeft:
        Ed.MoveCaretHorz(-std::max(fCharsInWindow, 1), Sel);
        break;
    case ecPageRight:
        Ed.MoveCaretHorz(std::max(fCharsInWindow, 1), Sel);
        break;
    case ecPageTop:
    case ecPageBottom: {
        const int Row = Command == ecPageTop ? fTopLine : fTopLine + std::max(fLinesInWindow, 1) - 1;
        const TBufferCoord P = Ed.DisplayToBufferPos(DisplayCoord(Ed.DisplayX(), Row));
        Ed.MoveCaretAndSelection(Ed.CaretXY(), P, Sel);
        UpdateView();
        break;
    }
    default:
        break;
    }
}

void TLexEditPrivate::ExecScrollLine(bool AUp) {
    const int Y = Ed.DisplayY();
    const int Lines = std::max(fLinesInWindow, 1);
    if (Y < fTopLine || Y >= fTopLine + Lines) {
        Ed.EnsureCursorPosVisible();
        return;
    }
    if (AUp) {
        Ed.SetTopLine(fTopLine - 1);
        const int B = fTopLine + Lines - 1;
        if (Y > B) Ed.MoveCaretVert(B - Y, false);
    } else {
        Ed.SetTopLine(fTopLine + 1);
        if (Y < fTopLine) Ed.MoveCaretVert(fTopLine - Y, false);
    }
    Ed.EnsureCursorPosVisible();
    UpdateView();
}

void TCustomLexEdit::ExecuteCommand(TLexEditorCommand Command, QChar AChar, void *Data) {
    TUpdateGuard Lock(*this);
    const bool Sel = Command >= ecSelLeft && Command <= ecSelGotoXY;
    const TLexEditorCommand Move = Sel ? TLexEditorCommand(Command - ecSelection) : Command;
    const bool Edits = !GetReadOnly();
    switch (Move) {
    case ecLeft:
        MoveCaretHorz(-1, Sel);
        return;
    case ecRight:
        MoveCaretHorz(1, Sel);
        return;
    case ecUp:
        MoveCaretVert(-1, Sel);
        fPriv->UpdateView();
        return;
    case ecDown:
        MoveCaretVert(1, Sel);
        fPriv->UpdateView();
        return;
    case ecWordLeft:
        MoveCaretAndSelection(CaretXY(), PrevWordPos(), Sel);
        return;
    case ecWordRight:
        MoveCaretAndSelection(CaretXY(), NextWordPos(), Sel);
        return;
    case ecLineStart:
        DoHomeKey(Sel);
        return;
    case ecLineEnd:
        DoEndKey(Sel);
        return;
    case ecPageUp:
    case ecPageDown:
    case ecPageLeft:
    case ecPageRight:
    case ecPageTop:
    case ecPageBottom:
        fPriv->ExecPage(Move, Sel);
        return;
    case ecEditorTop:
        MoveCaretAndSelection(CaretXY(), BufferCoord(1, 1), Sel);
        fPriv->UpdateView();
        return;
    case ecEditorBottom: {
        const int Count = fPriv->fLines->Count();
        const TBufferCoord P =
            Count > 0 ? BufferCoord(fPriv->LineLength(Count) + 1, Count) : BufferCoord(1, 1);
        MoveCaretAndSelection(CaretXY(), P, Sel);
        fPriv->UpdateView();
        return;
    }
    case ecGotoXY:
        if (Data != nullptr) {
            MoveCaretAndSelection(CaretXY(), *static_cast<const TBufferCoord *>(Data), Sel);
            fPriv->UpdateView();
        }
        return;
    default:
        break;
    }
    if (Command >= ecGotoMarker0 && Command <= ecGotoMarker9) {
        if (fPriv->fBookMarkOpt.EnableKeys()) GotoBookMark(Command - ecGotoMarker0);
        return;
    }
    if (Command >= ecSetMarker0 && Command <= ecSetMarker9) {
        if (fPriv->fBookMarkOpt.EnableKeys()) fPriv->ExecSetMarker(Command - ecSetMarker0, Data);
        return;
    }
    switch (Command) {
    case ecSelWord:
        SetSelWord();
        break;
    case ecSelectAll:
        SelectAll();
        break;
    case ecCopy:
        CopyToClipboard();
        break;
    case ecScrollUp:
    case ecScrollDown:
        fPriv->ExecScrollLine(Command == ecScrollUp);
        break;
    case ecScrollLeft:
    case ecScrollRight:
        SetLeftChar(fPriv->fLeftChar + (Command == ecScrollLeft ? -1 : 1));
        fPriv->UpdateView();
        break;
    case ecInsertMode:
        SetInsertMode(true);
        break;
    case ecOverwriteMode:
        SetInsertMode(false);
        break;
    case ecToggleMode:
        SetInsertMode(!fPriv->fInserting);
        break;
    case ecNormalSelect:
        SetSelectionMode(smNormal);
        break;
    case ecColumnSelect:
        SetSelectionMode(smColumn);
        break;
    case ecLineSelect:
        SetSelectionMode(smLine);
        break;
    case ecContextHelp:
        if (OnContextHelp) OnContextHelp(this, WordAtCursor());
        break;
    case ecDeleteLastChar:
        if (Edits) fPriv->ExecDeleteLastChar();
        break;
    case ecDeleteChar:
        if (Edits) fPriv->ExecDeleteChar();
        break;
    case ecDeleteWord:
    case ecDeleteEOL:
    case ecDeleteLastWord:
    case ecDeleteBOL:
        if (Edits) fPriv->ExecDeleteToBoundary(Command);
        break;
    case ecDeleteLine:
        ExecCmdDeleteLine();
        break;
    case ecClearAll:
        if (Edits) ClearAll();
        break;
    case ecLineBreak:
    case ecInsertLine:
        if (Edits) fPriv->ExecLineBreak(Command);
        break;
    case ecChar:
        if (Edits) fPriv->ExecChar(AChar);
        break;
    case ecImeStr:
        if (Edits && Data != nullptr) fPriv->ExecImeStr(*static_cast<const QString *>(Data));
        break;
    case ecUndo:
        if (Edits) Undo();
        break;
    case ecRedo:
        if (Edits) Redo();
        break;
    case ecCut:
        if (Edits && SelAvail()) CutToClipboard();
        break;
    case ecPaste:
        if (Edits) PasteFromClipboard();
        break;
    case ecTab:
        if (Edits) DoTabKey();
        break;
    case ecShiftTab:
        if (Edits) DoShiftTabKey();
        break;
    case ecBlockIndent:
        if (Edits) DoBlockIndent();
        break;
    case ecBlockUnindent:
        if (Edits) DoBlockUnindent();
        break;
    case ecUpperCase:
    case ecLowerCase:
    case ecToggleCase:
    case ecTitleCase:
        ExecCmdCaseChange(Command);
        break;
    case ecCopyLineUp:
    case ecCopyLineDown:
    case ecMoveLineUp:
    case ecMoveLineDown:
        ExecCmdCopyOrMoveLine(Command);
        break;
    case ecMatchBracket:
        FindMatchingBracket();
        break;
    case ecFoldAll:
        CollapseAll();
        break;
    case ecUnfoldAll:
        UncollapseAll();
        break;
    case ecFoldNearest:
        CollapseNearest();
        break;
    case ecUnfoldNearest:
        UncollapseNearest();
        break;
    case ecFoldLevel1:
    case ecFoldLevel2:
    case ecFoldLevel3:
        CollapseLevel(Command - ecFoldLevel1 + 1);
        break;
    case ecUnfoldLevel1:
    case ecUnfoldLevel2:
    case ecUnfoldLevel3:
        UnCollapseLevel(Command - ecUnfoldLevel1 + 1);
        break;
    case ecFoldRanges:
        CollapseFoldType(FoldRegionType);
        break;
    case ecUnfoldRanges:
        UnCollapseFoldType(FoldRegionType);
        break;
    default:
        // The focus commands, ecCommentBlock, ecString and ecAutoCompletion have no built-in
        // behaviour.
        break;
    }
}

// ---- indentation helpers ----------------------------------------------------------------------

int TCustomLexEdit::LeftSpacesEx(const QString &S, bool WantTabs, bool CalcAlways) const {
    if (S.isEmpty() || (!CalcAlways && !fPriv->fOptions.Contains(eoAutoIndent))) return 0;
    int Result = 0;
    for (QChar c : S) {
        if (c.unicode() > 32) break;
        Result += c == QLatin1Char('\t') && WantTabs ? fPriv->fTabWidth : 1;
    }
    return Result;
}

QString TCustomLexEdit::GetLeftSpacing(int CharCount, bool WantTabs) const {
    CharCount = std::max(CharCount, 0);
    if (!WantTabs || fPriv->fOptions.Contains(eoTabsToSpaces) || CharCount < fPriv->fTabWidth)
        return QString(CharCount, QLatin1Char(' '));
    return QString(CharCount / fPriv->fTabWidth, QLatin1Char('\t')) +
           QString(CharCount % fPriv->fTabWidth, QLatin1Char(' '));
}

QString TCustomLexEdit::ExpandTabs(const QString &S) const {
    int Width = 0;
    for (QChar c : S)
        Width = c == QLatin1Char('\t') ? (Width / fPriv->fTabWidth + 1) * fPriv->fTabWidth : Width + 1;
    return QString(Width, QLatin1Char(' '));
}

// ---- clearing and undo brackets ----------------------------------------------------------------

void TCustomLexEdit::ClearAll() {
    fPriv->fLines->Clear();
    fPriv->fMarkList.Clear();
    fPriv->fUndoRedo->Clear();
    SetModified(false);
}

void TCustomLexEdit::ClearSelection() {
    if (SelAvail()) SetSelText(QString());
}

void TCustomLexEdit::BeginUndoBlock() {
    fPriv->fUndoRedo->BeginBlock();
}

void TCustomLexEdit::EndUndoBlock() {
    fPriv->fUndoRedo->EndBlock();
}

void TCustomLexEdit::ClearUndo() {
    fPriv->fUndoRedo->Clear();
    fPriv->fWholeTextDeletion.reset();
}

void TCustomLexEdit::LockUndo() {
    fPriv->fUndoRedo->Lock();
}

void TCustomLexEdit::UnlockUndo() {
    fPriv->fUndoRedo->Unlock();
}

} // namespace lexedit
