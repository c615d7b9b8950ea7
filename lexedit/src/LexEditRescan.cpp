// The editor's reaction to changes of its buffer: highlighter ranges kept current by an
// incremental rescan, marks and plug-ins told, rows collected for repainting, OnChange reported;
// editors that show this editor's buffer are told after this editor has reacted. Also showing
// another editor's buffer and undo engine.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>

namespace lexedit {

// ---- highlighter ranges -------------------------------------------------------------------

void TCustomLexEdit::ScanRanges() {
    TLexCustomHighlighter *H = fHighlighter;
    const int Count = fLines->Count();
    if (H == nullptr || Count == 0) return;
    H->ResetRange();
    for (int i = 0; i < Count; ++i) {
        H->SetLine(fLines->Get(i), i);
        H->NextToEol();
        fLines->PutRange(i, H->GetRange());
    }
}

int TCustomLexEdit::ScanFrom(int Index) {
    TLexCustomHighlighter *H = fHighlighter;
    const int Count = fLines->Count();
    if (Index < 0) Index = 0;
    if (H == nullptr || Index >= Count) return Index;
    // Never start from the state of a line that was not scanned yet.
    while (Index > 0 && fLines->GetRange(Index - 1) == NullRange)
        --Index;
    if (Index == 0)
        H->ResetRange();
    else
        H->SetRange(fLines->GetRange(Index - 1));
    for (;;) {
        H->SetLine(fLines->Get(Index), Index);
        H->NextToEol();
        const TLexRange Range = H->GetRange();
        if (Range == fLines->GetRange(Index)) return Index; // the lines below start as before
        fLines->PutRange(Index, Range);
        if (++Index >= Count) return Count - 1;
    }
}

// ---- notifications ----------------------------------------------------------------------------

void TCustomLexEdit::DoLinesInserted(int FirstLine, int Count) {
    // A line inserted at 0-based FirstLine pushes down the line that was there (1-based
    // FirstLine + 1) and everything below it; the line above keeps its marks.
    fMarkList.LinesInserted(FirstLine + 1, Count);
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinesInserted)) P->LinesInserted(FirstLine, Count);
}

void TCustomLexEdit::DoLinesDeleted(int FirstLine, int Count) {
    fMarkList.LinesDeleted(FirstLine + 1, Count);
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinesDeleted)) P->LinesDeleted(FirstLine, Count);
}

void TCustomLexEdit::DoLinePut(int Index, const QString &OldLine) {
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinePut)) P->LinePut(Index, OldLine);
}

void TCustomLexEdit::ListInserted(TLexEditStringList *Sender, int Index, int Count) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    DoLinesInserted(Index, Count);
    WrapLinesInserted(Index, Count);
    if (ScansRanges() && fLines->Count() > 0) {
        // Every inserted line is scanned, even when a scan stops early.
        int i = Index;
        do {
            i = ScanFrom(i) + 1;
        } while (i < Index + Count);
    }
    InvalidateLines(Index + 1, -1);
    InvalidateGutterLines(Index + 1, -1);
    fStateFlags.Include(sfScrollbarChanged);
    ForEachFollower([&](TCustomLexEdit *F) { F->ListInserted(Sender, Index, Count); });
}

void TCustomLexEdit::ListDeleted(TLexEditStringList *Sender, int Index, int Count) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    DoLinesDeleted(Index, Count);
    WrapLinesDeleted(Index, Count);
    if (ScansRanges() && fLines->Count() > 0) ScanFrom(Index);
    KeepCaretAndBlockInBuffer();
    InvalidateLines(Index + 1, -1);
    InvalidateGutterLines(Index + 1, -1);
    fStateFlags.Include(sfScrollbarChanged);
    ForEachFollower([&](TCustomLexEdit *F) { F->ListDeleted(Sender, Index, Count); });
}

void TCustomLexEdit::ListPut(TLexEditStringList *Sender, int Index, const QString &OldLine) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    DoLinePut(Index, OldLine);
    // A line that now takes another number of rows moves every row below it.
    const bool RowsMoved = WrapLinePut(Index, OldLine);
    int EndLine = Index + 1; // 1-based
    if (RowsMoved)
        EndLine = -1;
    else if (ScansRanges())
        EndLine = std::max(EndLine, ScanFrom(Index) + 1);
    else if (fHighlighter != nullptr)
        EndLine = -1; // a follower does not know how far the owner rescanned
    InvalidateLines(Index + 1, EndLine);
    InvalidateGutterLines(Index + 1, EndLine);
    fStateFlags.Include(sfScrollbarChanged);
    ForEachFollower([&](TCustomLexEdit *F) { F->ListPut(Sender, Index, OldLine); });
}

void TCustomLexEdit::ListExchanged(TLexEditStringList *Sender, int Index1, int Index2) {
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
        EndLine = std::max(EndLine, ScanFrom(Low) + 1);
        EndLine = std::max(EndLine, ScanFrom(High) + 1);
    } else if (fHighlighter != nullptr) {
        EndLine = -1; // a follower does not know how far the owner rescanned
    }
    if (RowsMoved) EndLine = -1;
    InvalidateLines(Low + 1, EndLine);
    InvalidateGutterLines(Low + 1, EndLine);
    ForEachFollower([&](TCustomLexEdit *F) { F->ListExchanged(Sender, Index1, Index2); });
}

void TCustomLexEdit::ListCleared(TLexEditStringList *Sender) {
    if (Sender != fLines) return;
    fLinesNotified = true;
    WrapReset();
    fUndoRedo->Clear();
    fInvalidateRect = QRect();
    fFollowFromRow = -1; // an empty view follows what comes next
    InvalidateAll();
    {
        TUpdateGuard Lock(*this);
        SetCaretXYEx(false, BufferCoord(1, 1));
        fBlockBegin = fBlockEnd = CaretXY();
        SetTopLine(1);
        SetLeftChar(1);
        StatusChanged({scAll});
    }
    ForEachFollower([&](TCustomLexEdit *F) { F->ListCleared(Sender); });
}

void TCustomLexEdit::LinesChanging(TLexEditStringList *Sender) {
    if (Sender != fLines) return;
    fStateFlags.Include(sfLinesChanging);
    fLinesNotified = false;
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinesChanging)) P->LinesChanging();
    ForEachFollower([&](TCustomLexEdit *F) { F->LinesChanging(Sender); });
}

void TCustomLexEdit::LinesChanged(TLexEditStringList *Sender) {
    if (Sender != fLines) return;
    UpdateGutterDigits();
    for (TLexEditPlugin *P : std::vector<TLexEditPlugin *>(fPlugins))
        if (P->Handlers().Contains(phLinesChanged)) P->LinesChanged();
    fStateFlags.Exclude(sfLinesChanging);
    if (!fLinesNotified && !BufferOwner().fOwnBracket && !fDestroying) {
        // A bracket opened from outside may have changed lines without saying which (Exchange
        // swaps two lines with their stored ranges): every range is checked again and
        // everything repainted.
        if (ScansRanges()) ScanRanges();
        WrapReset();
        InvalidateAll();
    }
    fLinesNotified = false;
    if (!fDestroying) {
        // The selection collapses onto the caret, except after Undo and Redo, which restore
        // selections.
        if (!fUndoRedoRunning) {
            const TLexSelectionMode Mode = fActiveSelectionMode;
            CollapseSelectionOnCaret();
            fActiveSelectionMode = Mode;
            // The collapsed block stays on the caret itself, also past the line end.
            fBlockBegin = fBlockEnd = CaretXY();
        }
        FlushPendingInvalidation();
        if (!fOptions.Contains(eoScrollPastEof)) SetTopLine(fTopLine);
        if (fPaintLock == 0 && fStateFlags.Contains(sfScrollbarChanged)) UpdateScrollBars();
    }
    DoChange();
    ForEachFollower([&](TCustomLexEdit *F) { F->LinesChanged(Sender); });
}

void TCustomLexEdit::KeepCaretAndBlockInBuffer() {
    const int LastLine = std::max(fLines->Count(), 1);
    if (fBlockBegin.Line > LastLine) fBlockBegin = ClampBlockPos(fBlockBegin);
    if (fBlockEnd.Line > LastLine) fBlockEnd = ClampBlockPos(fBlockEnd);
    // Placing the caret again clamps it to the last line (a collapsed block follows it).
    if (fCaretY > LastLine) SetCaretXYEx(false, CaretXY());
}

// ---- sharing a buffer -----------------------------------------------------------------------

void TCustomLexEdit::SetLinesPointer(TCustomLexEdit *AEdit) {
    if (AEdit == nullptr) throw ELexEdit(QStringLiteral("No editor given to share lines with"));
    TCustomLexEdit *Owner = AEdit->fChainedEditor != nullptr ? AEdit->fChainedEditor : AEdit;
    if (Owner == this || Owner == fChainedEditor) return;
    if (!fFollowers.empty())
        throw ELexEdit(QStringLiteral("Other editors show the lines of this editor: it cannot show another "
                                      "editor's lines"));
    RemoveLinesPointer();
    HookTextBuffer(Owner);
}

void TCustomLexEdit::RemoveLinesPointer() {
    UnHookTextBuffer();
}

void TCustomLexEdit::HookTextBuffer(TCustomLexEdit *AOwnerEdit) {
    COMMON_ASSERT(fChainedEditor == nullptr);
    COMMON_ASSERT(fLines == fOrigLines.get());
    fChainedEditor = AOwnerEdit;
    AOwnerEdit->fFollowers.push_back(this);
    fLines = AOwnerEdit->fLines;
    fUndoRedo = AOwnerEdit->fUndoRedo;
    // One set of ranges: the owner's highlighter scans it for every editor of the buffer.
    AssignHighlighter(AOwnerEdit->fHighlighter);
    {
        TUpdateGuard Lock(*this);
        WrapReset();
        SetCaretXYEx(false, CaretXY());
        fBlockBegin = fBlockEnd = CaretXY();
        fStateFlags.Include(sfScrollbarChanged);
        InvalidateAll();
    }
}

void TCustomLexEdit::UnHookTextBuffer() {
    if (fLines == fOrigLines.get()) return;
    if (fChainedEditor != nullptr) {
        auto &F = fChainedEditor->fFollowers;
        F.erase(std::remove(F.begin(), F.end(), this), F.end());
    }
    fChainedEditor = nullptr;
    fLines = fOrigLines.get();
    fUndoRedo = fOrigUndoRedo;
    if (fDestroying) return;
    TUpdateGuard Lock(*this);
    // The own lines may have been scanned by another highlighter.
    if (ScansRanges()) ScanRanges();
    WrapReset();
    SetCaretXYEx(false, CaretXY());
    fBlockBegin = fBlockEnd = CaretXY();
    fStateFlags.Include(sfScrollbarChanged);
    InvalidateAll();
}

} // namespace lexedit
