// SPDX-License-Identifier: MIT
// The editor's reaction to changes of its buffer: highlighter ranges kept current by an
// incremental rescan, marks and plug-ins told, rows collected for repainting, OnChange reported;
// editors that show this editor's buffer are told after this editor has reacted. Also showing
// another editor's buffer and undo engine.

#include "lexedit/LexEdit.h"

#include "LexEditFolding.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>

namespace lexedit {

// ---- highlighter ranges -------------------------------------------------------------------

void TCustomLexEdit::ScanRanges() {
    TLexCustomHighlighter *H = fPriv->fHighlighter;
    const int Count = fPriv->fLines->Count();
    ++fPriv->fFullScans;
    if (H == nullptr || Count == 0) return;
    H->ResetRange();
    for (int i = 0; i < Count; ++i) {
        H->SetLine(fPriv->fLines->Get(i), i);
        H->NextToEol();
        fPriv->fLines->PutRange(i, H->GetRange());
    }
}

int TCustomLexEdit::ScanFrom(int Index) {
    TLexCustomHighlighter *H = fPriv->fHighlighter;
    const int Count = fPriv->fLines->Count();
    if (Index < 0) Index = 0;
    if (H == nullptr || Index >= Count) return Index;
    // Never start from the state of a line that was not scanned yet.
    while (Index > 0 && fPriv->fLines->GetRange(Index - 1) == NullRange)
        --Index;
    if (Index == 0)
        H->ResetRange();
    else
        H->SetRange(fPriv->fLines->GetRange(Index - 1));
    for (;;) {
        H->SetLine(fPriv->fLines->Get(Index), Index);
        H->NextToEol();
        const TLexRange Range = H->GetRange();
        if (Range == fPriv->fLines->GetRange(Index)) return Index; // the lines below start as before
        fPriv->fLines->PutRange(Index, Range);
        if (++Index >= Count) return Count - 1;
    }
}

// ---- notifications ----------------------------------------------------------------------------

void TLexEditPrivate::DoLinesInserted(int FirstLine, int Count) {
    // A line inserted at 0-based FirstLine pushes down the line that was there (1-based
    // FirstLine + 1) and everything below it; the line above keeps its marks.
    fMarkList.LinesInserted(FirstLine + 1, Count);
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinesInserted)) P->LinesInserted(FirstLine, Count);
}

void TLexEditPrivate::DoLinesDeleted(int FirstLine, int Count) {
    fMarkList.LinesDeleted(FirstLine + 1, Count);
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinesDeleted)) P->LinesDeleted(FirstLine, Count);
}

void TLexEditPrivate::DoLinePut(int Index, const QString &OldLine) {
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinePut)) P->LinePut(Index, OldLine);
}

void TLexEditPrivate::ListInserted(TLexEditStringList *Sender, int Index, int Count) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    DoLinesInserted(Index, Count);
    WrapLinesInserted(Index, Count);
    // The last line scanned (a follower does not know how far the owner scanned: all of them).
    int LastScanned = fLines->Count() - 1;
    if (ScansRanges() && fLines->Count() > 0 && !fRangesRestored) {
        // Every inserted line is scanned, even when a scan stops early.
        int i = Index;
        do {
            LastScanned = Ed.ScanFrom(i);
            i = LastScanned + 1;
        } while (i < Index + Count);
    }
    fFolding->LinesInserted(Index, Count, LastScanned);
    Ed.InvalidateLines(Index + 1, -1);
    Ed.InvalidateGutterLines(Index + 1, -1);
    fStateFlags.Include(sfScrollbarChanged);
    ForEachFollower([&](TCustomLexEdit *F) { F->fPriv->ListInserted(Sender, Index, Count); });
}

void TLexEditPrivate::ListDeleted(TLexEditStringList *Sender, int Index, int Count) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    DoLinesDeleted(Index, Count);
    WrapLinesDeleted(Index, Count);
    int LastScanned = fLines->Count() - 1;
    if (ScansRanges() && fLines->Count() > 0) LastScanned = Ed.ScanFrom(Index);
    fFolding->LinesDeleted(Index, Count, LastScanned);
    KeepCaretAndBlockInBuffer();
    Ed.InvalidateLines(Index + 1, -1);
    Ed.InvalidateGutterLines(Index + 1, -1);
    fStateFlags.Include(sfScrollbarChanged);
    ForEachFollower([&](TCustomLexEdit *F) { F->fPriv->ListDeleted(Sender, Index, Count); });
}

void TLexEditPrivate::ListPut(TLexEditStringList *Sender, int Index, const QString &OldLine) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    DoLinePut(Index, OldLine);
    // A line that now takes another number of rows moves every row below it.
    const bool RowsMoved = WrapLinePut(Index, OldLine);
    int EndLine = Index + 1; // 1-based
    int LastScanned = fLines->Count() - 1;
    if (ScansRanges()) LastScanned = Ed.ScanFrom(Index);
    if (RowsMoved)
        EndLine = -1;
    else if (ScansRanges())
        EndLine = std::max(EndLine, LastScanned + 1);
    else if (fHighlighter != nullptr)
        EndLine = -1; // a follower does not know how far the owner rescanned
    fFolding->LinePut(Index, LastScanned);
    Ed.InvalidateLines(Index + 1, EndLine);
    Ed.InvalidateGutterLines(Index + 1, EndLine);
    fStateFlags.Include(sfScrollbarChanged);
    ForEachFollower([&](TCustomLexEdit *F) { F->fPriv->ListPut(Sender, Index, OldLine); });
}

void TLexEditPrivate::ListExchanged(TLexEditStringList *Sender, int Index1, int Index2) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    // The two lines took their stored ranges along: both are scanned again, as changed lines are
    // (the first scan may stop before it reaches the second line).
    const int Low = std::min(Index1, Index2);
    const int High = std::max(Index1, Index2);
    int EndLine = High + 1; // 1-based
    bool RowsMoved = WrapLinePut(Low, QString());
    RowsMoved = WrapLinePut(High, QString()) || RowsMoved;
    if (ScansRanges()) {
        // A swapped-in range may equal what the new text gives and stop the scan too early.
        fLines->PutRange(Low, NullRange);
        fLines->PutRange(High, NullRange);
        EndLine = std::max(EndLine, Ed.ScanFrom(Low) + 1);
        EndLine = std::max(EndLine, Ed.ScanFrom(High) + 1);
    } else if (fHighlighter != nullptr) {
        EndLine = -1; // a follower does not know how far the owner rescanned
    }
    if (RowsMoved) EndLine = -1;
    const int LastScanned = EndLine < 0 ? fLines->Count() - 1 : EndLine - 1;
    fFolding->LinePut(Low, LastScanned);
    fFolding->LinePut(High, LastScanned);
    Ed.InvalidateLines(Low + 1, EndLine);
    Ed.InvalidateGutterLines(Low + 1, EndLine);
    ForEachFollower([&](TCustomLexEdit *F) { F->fPriv->ListExchanged(Sender, Index1, Index2); });
}

void TLexEditPrivate::ListCleared(TLexEditStringList *Sender) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    WrapReset();
    fFolding->Cleared();
    fUndoRedo->Clear();
    fInvalidateRect = QRect();
    fFollowFromRow = -1; // an empty view follows what comes next
    Ed.InvalidateAll();
    {
        TUpdateGuard Lock(Ed);
        Ed.SetCaretXYEx(false, BufferCoord(1, 1));
        fBlockBegin = fBlockEnd = Ed.CaretXY();
        Ed.SetTopLine(1);
        Ed.SetLeftChar(1);
        Ed.StatusChanged({scAll});
    }
    ForEachFollower([&](TCustomLexEdit *F) { F->fPriv->ListCleared(Sender); });
}

void TLexEditPrivate::LinesChanging(TLexEditStringList *Sender) {
    if (Sender != fLines) return;
    fStateFlags.Include(sfLinesChanging);
    fLinesNotified = false;
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinesChanging)) P->LinesChanging();
    ForEachFollower([&](TCustomLexEdit *F) { F->fPriv->LinesChanging(Sender); });
}

void TCustomLexEdit::LinesChanged(TLexEditStringList *Sender) {
    if (Sender != fPriv->fLines) return;
    fPriv->UpdateGutterDigits();
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPriv->fPlugins))
        if (P->Handlers().Contains(phLinesChanged)) P->LinesChanged();
    fPriv->fStateFlags.Exclude(sfLinesChanging);
    if (!fPriv->fLinesNotified && !fPriv->BufferOwner().fPriv->fOwnBracket && !fPriv->fDestroying) {
        // A bracket opened from outside may have changed lines without saying which (Exchange
        // swaps two lines with their stored ranges): every range is checked again and
        // everything repainted.
        if (fPriv->ScansRanges()) ScanRanges();
        fPriv->WrapReset();
        fPriv->fFolding->Cleared();
        FullFoldScan();
        InvalidateAll();
    }
    fPriv->fLinesNotified = false;
    // The rebuild of the fold ranges left for the end of the update, and the caret out of
    // collapsed ranges (an edit or an undo may have put it on a hidden line).
    if (!fPriv->fDestroying) fPriv->fFolding->LinesChanged();
    if (!fPriv->fDestroying) {
        // The selection collapses onto the caret, except after Undo and Redo, which restore
        // selections.
        if (!fPriv->fUndoRedoRunning) {
            const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
            fPriv->CollapseSelectionOnCaret();
            fPriv->fActiveSelectionMode = Mode;
            // The collapsed block stays on the caret itself, also past the line end.
            fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
        }
        FlushPendingInvalidation();
        if (!fPriv->fOptions.Contains(eoScrollPastEof)) SetTopLine(fPriv->fTopLine);
        if (fPriv->fPaintLock == 0 && fPriv->fStateFlags.Contains(sfScrollbarChanged)) UpdateScrollBars();
    }
    DoChange();
    fPriv->ForEachFollower([&](TCustomLexEdit *F) { F->LinesChanged(Sender); });
}

void TLexEditPrivate::KeepCaretAndBlockInBuffer() {
    const int LastLine = std::max(fLines->Count(), 1);
    if (fBlockBegin.Line > LastLine) fBlockBegin = ClampBlockPos(fBlockBegin);
    if (fBlockEnd.Line > LastLine) fBlockEnd = ClampBlockPos(fBlockEnd);
    // Placing the caret again clamps it to the last line (a collapsed block follows it).
    if (fCaretY > LastLine) Ed.SetCaretXYEx(false, Ed.CaretXY());
}

// ---- sharing a buffer -----------------------------------------------------------------------

void TCustomLexEdit::SetLinesPointer(TCustomLexEdit *AEdit) {
    if (AEdit == nullptr) throw ELexEdit(QStringLiteral("No editor given to share lines with"));
    TCustomLexEdit *Owner = AEdit->fPriv->fChainedEditor != nullptr ? AEdit->fPriv->fChainedEditor : AEdit;
    if (Owner == this || Owner == fPriv->fChainedEditor) return;
    if (!fPriv->fFollowers.empty())
        throw ELexEdit(QStringLiteral("Other editors show the lines of this editor: it cannot show another "
                                      "editor's lines"));
    RemoveLinesPointer();
    fPriv->HookTextBuffer(Owner);
}

void TCustomLexEdit::RemoveLinesPointer() {
    fPriv->UnHookTextBuffer();
}

void TLexEditPrivate::HookTextBuffer(TCustomLexEdit *AOwnerEdit) {
    COMMON_ASSERT(fChainedEditor == nullptr);
    COMMON_ASSERT(fLines == fOrigLines.get());
    fChainedEditor = AOwnerEdit;
    AOwnerEdit->fPriv->fFollowers.push_back(&Ed);
    fLines = AOwnerEdit->fPriv->fLines;
    fUndoRedo = AOwnerEdit->fPriv->fUndoRedo;
    // One set of ranges: the owner's highlighter scans it for every editor of the buffer.
    AssignHighlighter(AOwnerEdit->fPriv->fHighlighter);
    {
        TUpdateGuard Lock(Ed);
        WrapReset();
        fFolding->Cleared();
        Ed.FullFoldScan();
        Ed.SetCaretXYEx(false, Ed.CaretXY());
        fBlockBegin = fBlockEnd = Ed.CaretXY();
        fStateFlags.Include(sfScrollbarChanged);
        Ed.InvalidateAll();
    }
}

void TLexEditPrivate::UnHookTextBuffer() {
    if (fLines == fOrigLines.get()) return;
    if (fChainedEditor != nullptr) {
        auto &F = fChainedEditor->fPriv->fFollowers;
        F.erase(std::remove(F.begin(), F.end(), &Ed), F.end());
    }
    fChainedEditor = nullptr;
    fLines = fOrigLines.get();
    fUndoRedo = fOrigUndoRedo;
    if (fDestroying) return;
    TUpdateGuard Lock(Ed);
    // The own lines may have been scanned by another highlighter.
    if (ScansRanges()) Ed.ScanRanges();
    WrapReset();
    fFolding->Cleared();
    Ed.FullFoldScan();
    Ed.SetCaretXYEx(false, Ed.CaretXY());
    fBlockBegin = fBlockEnd = Ed.CaretXY();
    fStateFlags.Include(sfScrollbarChanged);
    Ed.InvalidateAll();
}

} // namespace lexedit
