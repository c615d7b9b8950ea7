// SPDX-License-Identifier: MIT
// Replacing the selected text, and reversing and re-applying undo items.
//
// Every change of the selection's text runs through SetSelTextPrimitiveEx: it deletes the
// selection in the active mode and inserts the new text in one of three paste modes, recording
// both. Undo and redo must restore the text exactly, so what is recorded is exactly what
// changed:
//  - blanks the editor adds by itself to reach a position past a line end are recorded as
//    crWhiteSpaceAdd, so that undo takes them away again (and re-applying an item that needs them
//    records them anew);
//  - an insert records exactly the characters inserted, in every paste mode;
//  - a column block is cut into rows by one rule (ColumnRowRange) for copying, deleting and
//    undoing, and its undo text is exactly the characters removed;
//  - a line break records the point where the line was split, never a position past the end;
//  - under eoTrimTrailingSpaces the lines a replacement writes are trimmed at its end, each
//    trim recorded after the edit itself, so that undo first brings the blanks back and then
//    reverses the edit on exactly the text it made; undo and redo never trim.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "LexEditBrackets.h"
#include "LexEditHelpers.h"
#include "LexEditTextBufferStore.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"
#include "lexedit/LexUnicode.h"

#include <algorithm>
#include <climits>
#include <optional>

namespace lexedit {

namespace {

const QString CRLF = QStringLiteral("\r\n");

bool EndsWithLineBreak(const QString &S) {
    return !S.isEmpty() && (S.back() == QLatin1Char('\r') || S.back() == QLatin1Char('\n'));
}

} // namespace

// ---- small helpers ----------------------------------------------------------------------------

void TCustomLexEdit::ProperSetLine(int ALine, const QString &ALineText) {
    fPriv->PutTrimmedLine(ALine, ALineText);
}

void TLexEditPrivate::PutTrimmedLine(int ALine, const QString &ALineText) {
    if (!fOptions.Contains(eoTrimTrailingSpaces) || fUndoRedoing) {
        fLines->Put(ALine, ALineText);
    } else if (fTrimLines != nullptr) {
        fLines->Put(ALine, ALineText);
        fTrimLines->push_back(ALine + 1);
    } else {
        fLines->Put(ALine, TrimTrailingSpaces(ALineText));
    }
}

void TLexEditPrivate::TrimNotedLines(std::vector<int> &ALines, bool AddToUndoList) {
    std::sort(ALines.begin(), ALines.end());
    ALines.erase(std::unique(ALines.begin(), ALines.end()), ALines.end());
    for (int L : ALines) {
        if (L < 1 || L > fLines->Count()) continue;
        const QString S = fLines->Get(L - 1);
        const QString T = TrimTrailingSpaces(S);
        if (T.size() == S.size()) continue;
        fLines->Put(L - 1, T);
        if (AddToUndoList)
            fUndoRedo->AddUndoChange(crSilentDelete, BufferCoord(int(T.size()) + 1, L),
                                     BufferCoord(int(S.size()) + 1, L), S.mid(T.size()), smNormal);
        LimitToTrimmedLine(L);
    }
}

void TLexEditPrivate::LimitToTrimmedLine(int ALine) {
    // The caret and the block ends stand no further than the end the line now has: pasted text
    // ends where its line ends when only blanks followed it.
    const int End = LineLength(ALine) + 1;
    const bool Collapsed = fBlockBegin == fBlockEnd;
    if (fCaretY == ALine && fCaretX > End) Ed.SetCaretXYEx(true, BufferCoord(End, ALine));
    for (TBufferCoord *P : {&fBlockBegin, &fBlockEnd})
        if (P->Line == ALine && P->Char > End) P->Char = End;
    if (Collapsed) fBlockBegin = fBlockEnd = Ed.CaretXY();
}

void TLexEditPrivate::WithScrollPastEol(const std::function<void()> &AFunction) {
    const bool WasOn = fOptions.Contains(eoScrollPastEol);
    fOptions.Include(eoScrollPastEol);
    try {
        AFunction();
    } catch (...) {
        if (!WasOn) fOptions.Exclude(eoScrollPastEol);
        throw;
    }
    if (!WasOn) fOptions.Exclude(eoScrollPastEol);
}

TBufferCoord TLexEditPrivate::ResolveEol(TBufferCoord P) const {
    // The end-of-line marker stands for the end of its line.
    if (P.Char == INT_MAX) P.Char = LineLength(P.Line) + 1;
    return P;
}

void TLexEditPrivate::RecordFill(const TBufferCoord &AStart, const TBufferCoord &AEnd, const QString &AText) {
    if (fReversingUndo)
        fUndoRedo->AddRedoChange(crSilentDelete, AStart, AEnd, AText, smNormal);
    else
        fUndoRedo->AddUndoChange(crWhiteSpaceAdd, AStart, AEnd, AText, smNormal);
}

int TLexEditPrivate::PadLine(int ALine, int AWidth) {
    if (ALine < 1 || ALine > fLines->Count()) return 0;
    const QString S = fLines->Get(ALine - 1);
    const int Len = int(S.size());
    if (Len >= AWidth) return 0;
    const QString Fill(AWidth - Len, QLatin1Char(' '));
    fLines->Put(ALine - 1, S + Fill);
    RecordFill(BufferCoord(Len + 1, ALine), BufferCoord(AWidth + 1, ALine), Fill);
    return AWidth - Len;
}

QString TLexEditPrivate::SplitLineAt(const TBufferCoord &Pos) {
    while (fLines->Count() < Pos.Line)
        fLines->Add(QString());
    const QString S = fLines->Get(Pos.Line - 1);
    const int c = std::clamp(Pos.Char, 1, int(S.size()) + 1);
    const QString Right = S.mid(c - 1);
    fLines->Put(Pos.Line - 1, S.left(c - 1));
    fLines->Insert(Pos.Line, Right);
    return Right;
}

void TLexEditPrivate::SetUndoSelection(const TBufferCoord &ACaret, const TBufferCoord &ABegin,
                                       const TBufferCoord &AEnd, TLexSelectionMode AMode) {
    TUpdateGuard Lock(Ed);
    Ed.InvalidateSelection();
    Ed.SetCaretXYEx(true, ResolveEol(ACaret));
    const int LastLine = std::max(fLines->Count(), 1);
    const auto Clamp = [&](TBufferCoord P) {
        P = ResolveEol(P);
        P.Line = std::clamp(P.Line, 1, LastLine);
        P.Char = std::max(P.Char, 1);
        // A recorded end can fall inside a pair once the text before it changed (a column
        // unindent keeps its block's characters): it goes to the pair's start.
        if (P.Char >= 2 && P.Line <= fLines->Count() &&
            IsSurrogatePairAt(fLines->Get(P.Line - 1), P.Char - 2))
            --P.Char;
        return P;
    };
    fBlockBegin = Clamp(ABegin);
    fBlockEnd = Clamp(AEnd);
    // An empty selection at the caret stays on it (the caret never stands inside a pair).
    if (ABegin == ACaret && AEnd == ACaret) fBlockBegin = fBlockEnd = Ed.CaretXY();
    fActiveSelectionMode = AMode;
    Ed.InvalidateSelection();
    Ed.StatusChanged({scSelection});
}

// ---- column rows ------------------------------------------------------------------------------

void TCustomLexEdit::ColumnRowRange(int ALine, int Left, int Right, int &From, int &To) const {
    const int Row = LineToRow(ALine);
    const int Len = fPriv->LineLength(ALine);
    const QString S = Len > 0 ? fPriv->fLines->Get(ALine - 1) : QString();
    // The first character starting at or after column C.
    const auto StartingFrom = [&](int C) {
        TBufferCoord P = DisplayToBufferPos(DisplayCoord(C, Row));
        if (P.Char <= Len && BufferToDisplayPos(P).Column < C)
            P.Char += IsSurrogatePairAt(S, P.Char - 1) ? 2 : 1;
        return P.Char;
    };
    From = StartingFrom(Left);
    To = std::max(From, StartingFrom(Right));
}

QString TLexEditPrivate::RemovedSelText() const {
    if (fActiveSelectionMode != smColumn) return Ed.GetSelText();
    if (!Ed.SelAvail()) return QString();
    const TDisplayCoord DB = Ed.BufferToDisplayPos(fBlockBegin);
    const TDisplayCoord DE = Ed.BufferToDisplayPos(fBlockEnd);
    const int Left = std::min(DB.Column, DE.Column);
    const int Right = std::max(DB.Column, DE.Column);
    const int First = std::min(fBlockBegin.Line, fBlockEnd.Line);
    const int Last = std::max(fBlockBegin.Line, fBlockEnd.Line);
    QString Result;
    bool Any = false;
    for (int L = First; L <= Last; ++L) {
        int From = 0;
        int To = 0;
        Ed.ColumnRowRange(L, Left, Right, From, To);
        const int Len = LineLength(L);
        if (From <= Len) {
            Result += fLines->Get(L - 1).mid(From - 1, std::min(To, Len + 1) - From);
            Any = true;
        }
        if (L < Last) Result += CRLF;
    }
    return Any ? Result : QString();
}

// ---- replacing the selection ------------------------------------------------------------------

void TCustomLexEdit::SetSelText(const QString &Value) {
    SetSelTextPrimitiveEx(fPriv->fActiveSelectionMode, Value, true, false);
}

void TCustomLexEdit::SetSelTextPrimitiveEx(TLexSelectionMode PasteMode, const QString &Value,
                                           bool AddToUndoList, bool SilentDelete) {
    TOwnBufferBracket Bracket(*this);
    TUpdateGuard Lock(*this);
    // The lines written lose their trailing blanks at the end, recorded in the same block.
    const bool Trims = fPriv->fOptions.Contains(eoTrimTrailingSpaces) && !fPriv->fUndoRedoing &&
                       fPriv->fTrimLines == nullptr;
    std::vector<int> Written;
    common::ScopedValue<std::vector<int> *> TrimScope(fPriv->fTrimLines,
                                                      Trims ? &Written : fPriv->fTrimLines);
    std::optional<TUndoBlockGuard> Block;
    if (AddToUndoList && (!Value.isEmpty() || (Trims && SelAvail()))) Block.emplace(*fPriv->fUndoRedo);
    if (SelAvail()) {
        if (fPriv->fActiveSelectionMode == smNormal) {
            // Past a line end a normal selection holds nothing more: its ends are recorded where
            // the text is, so that undo never needs fill. An end inside a surrogate pair goes to
            // the pair's start, so that the pair is never split.
            const auto Limit = [this](TBufferCoord &P) {
                P.Char = std::min(P.Char, fPriv->LineLength(P.Line) + 1);
                if (P.Line >= 1 && P.Line <= fPriv->fLines->Count() &&
                    IsSurrogatePairAt(fPriv->fLines->Get(P.Line - 1), P.Char - 2))
                    --P.Char;
            };
            Limit(fPriv->fBlockBegin);
            Limit(fPriv->fBlockEnd);
        }
        const QString Removed = fPriv->RemovedSelText();
        if (!Removed.isEmpty()) {
            if (AddToUndoList)
                fPriv->fUndoRedo->AddUndoChange(SilentDelete ? crSilentDelete : crDelete, fPriv->fBlockBegin,
                                                fPriv->fBlockEnd, Removed, fPriv->fActiveSelectionMode);
            fPriv->DeleteSelection(BlockBegin(), BlockEnd());
            // Lines kept by a deletion of the whole text belong to the text just recorded.
            if (fPriv->fWholeTextDeletion && fPriv->fWholeTextDeletion->Text.isNull())
                fPriv->fWholeTextDeletion->Text = Removed;
        }
        fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
    }
    if (!Value.isEmpty()) {
        // The lines noted so far move with the lines the insertion puts before them.
        std::vector<int> Deleted;
        Deleted.swap(Written);
        const int Count = fPriv->fLines->Count();
        const int At = fPriv->fCaretY;
        fPriv->InsertText(PasteMode, Value, AddToUndoList);
        const int Delta = fPriv->fLines->Count() - Count;
        for (int L : Deleted) {
            if ((PasteMode == smNormal && L > At) || (PasteMode == smLine && L >= At)) L += Delta;
            Written.push_back(L);
        }
    }
    if (Trims) fPriv->TrimNotedLines(Written, AddToUndoList);
    if (fPriv->fCaretY < 1) fPriv->fCaretY = 1;
}

void TLexEditPrivate::DeleteSelection(const TBufferCoord &BB, const TBufferCoord &BE) {
    const int Count = fLines->Count();
    if (Count == 0) return;
    switch (fActiveSelectionMode) {
    case smNormal: {
        const int Last = std::min(BE.Line, Count);
        if (BB == BufferCoord(1, 1) && Last == Count && Count > 1 && BE.Char > LineLength(Last)) {
            DeleteWholeText();
            break;
        }
        QString Joined = fLines->Get(BB.Line - 1).left(BB.Char - 1);
        Joined += QStringView(fLines->Get(Last - 1)).mid(std::min<qsizetype>(BE.Char - 1, LineLength(Last)));
        if (Last > BB.Line) fLines->DeleteLines(BB.Line, Last - BB.Line);
        if (fOptions.Contains(eoScrollPastEol))
            PutTrimmedLine(BB.Line - 1, Joined);
        else
            fLines->Put(BB.Line - 1, Joined);
        Ed.SetCaretXYEx(true, BB);
        break;
    }
    case smLine: {
        const int Last = std::min(BE.Line, Count);
        // One deletion for all lines; at the end of the buffer one empty line stays.
        if (Last == Count) {
            if (Last > BB.Line) fLines->DeleteLines(BB.Line - 1, Last - BB.Line);
            fLines->Put(BB.Line - 1, QString());
        } else {
            fLines->DeleteLines(BB.Line - 1, Last - BB.Line + 1);
        }
        Ed.SetCaretXYEx(true, BufferCoord(1, BB.Line));
        break;
    }
    case smColumn: {
        const TDisplayCoord DB = Ed.BufferToDisplayPos(fBlockBegin);
        const TDisplayCoord DE = Ed.BufferToDisplayPos(fBlockEnd);
        const int Left = std::min(DB.Column, DE.Column);
        const int Right = std::max(DB.Column, DE.Column);
        int CaretChar = BB.Char;
        for (int L = BB.Line; L <= std::min(BE.Line, Count); ++L) {
            int From = 0;
            int To = 0;
            Ed.ColumnRowRange(L, Left, Right, From, To);
            if (L == BB.Line) CaretChar = From;
            const int Len = LineLength(L);
            if (From > Len) continue;
            QString S = fLines->Get(L - 1);
            S.remove(From - 1, std::min(To, Len + 1) - From);
            Ed.ProperSetLine(L - 1, S);
        }
        // The block's left edge on its first line: never the right edge of the block.
        Ed.SetCaretXYEx(true, BufferCoord(CaretChar, BB.Line));
        break;
    }
    }
}

void TLexEditPrivate::DeleteWholeText() {
    TWholeTextDeletion D;
    D.Lines = fLines;
    D.FirstLine = fLines->Get(0);
    D.Highlighter = fHighlighter;
    D.FullScans = fFullScans;
    // A new deletion drops the lines kept for an older one first.
    fWholeTextDeletion.reset();
    D.Rest = fLines->TakeLines(1);
    fLines->Put(0, QString());
    fWholeTextDeletion = std::move(D);
    Ed.SetCaretXYEx(true, BufferCoord(1, 1));
}

bool TLexEditPrivate::RestoreWholeText(const QString &S) {
    if (!fWholeTextDeletion) return false;
    const TWholeTextDeletion &D = *fWholeTextDeletion;
    if (D.Lines != fLines || fLines->Count() != 1 || LineLength(1) != 0 ||
        Ed.CaretXY() != BufferCoord(1, 1) || S.size() != D.Text.size() || S != D.Text)
        return false;
    TWholeTextDeletion Kept = std::move(*fWholeTextDeletion);
    fWholeTextDeletion.reset();
    fLines->Put(0, Kept.FirstLine);
    {
        // The kept ranges follow the first line's, scanned again just now from the same start.
        common::ScopedValue<bool> Restored(fRangesRestored,
                                           Kept.Highlighter == fHighlighter && Kept.FullScans == fFullScans);
        fLines->RestoreLines(1, *Kept.Rest);
    }
    const int Count = fLines->Count();
    Ed.SetCaretXYEx(true, BufferCoord(LineLength(Count) + 1, Count));
    return true;
}

// ---- inserting --------------------------------------------------------------------------------

void TLexEditPrivate::InsertText(TLexSelectionMode PasteMode, const QString &Value, bool AddToUndoList) {
    if (Value.isEmpty()) return;
    switch (PasteMode) {
    case smNormal: {
        const int Before = fCaretX;
        const int Line = fCaretY;
        const bool Record = AddToUndoList || fUndoRedoing;
        // The fill before the text is recorded (by PadLine) when recording.
        if (fLines->Count() == 0) fLines->Add(QString());
        if (Record)
            PadLine(Line, Before - 1);
        else if (LineLength(Line) < Before - 1)
            fLines->Put(Line - 1,
                        fLines->Get(Line - 1) + QString(Before - 1 - LineLength(Line), QLatin1Char(' ')));
        InsertNormal(Value);
        if (AddToUndoList)
            fUndoRedo->AddUndoChange(crInsert, BufferCoord(Before, Line), Ed.CaretXY(), QString(), smNormal);
        break;
    }
    case smLine:
        InsertLine(Value, AddToUndoList, false);
        break;
    case smColumn:
        InsertColumn(Value, AddToUndoList);
        break;
    }
}

void TLexEditPrivate::InsertNormal(const QString &Value) {
    QStringList Pieces = StringToLines(Value);
    if (Pieces.isEmpty()) return;
    const int Line = fCaretY;
    const QString S = fLines->Get(Line - 1);
    const int X = std::min<int>(fCaretX, int(S.size()) + 1);
    const QString Left = S.left(X - 1);
    const QString Right = S.mid(X - 1);
    Pieces.first().prepend(Left);
    Pieces.last().append(Right);
    PutTrimmedLine(Line - 1, Pieces.first());
    if (Pieces.size() > 1) fLines->InsertStrings(Line, Pieces, 1);
    const int NewLine = Line + int(Pieces.size()) - 1;
    if (fTrimLines != nullptr)
        for (int L = Line + 1; L <= NewLine; ++L)
            fTrimLines->push_back(L);
    const int NewChar = std::max(1, int(Pieces.last().size()) - int(Right.size()) + 1);
    Ed.SetCaretXYEx(true, BufferCoord(NewChar, NewLine));
}

void TLexEditPrivate::InsertLine(const QString &Value, bool AddToUndoList, bool AFillLastLine) {
    QStringList Pieces = StringToLines(Value);
    if (Pieces.isEmpty()) return;
    const int Line = fCaretY;
    if (Pieces.size() == 1) {
        const QString P = Pieces.first();
        int NewLen = 0;
        if (Line > fLines->Count()) {
            fLines->Add(QString());
            PutTrimmedLine(fLines->Count() - 1, P);
            NewLen = LineLength(fLines->Count());
        } else {
            fLines->Put(Line - 1, P + fLines->Get(Line - 1));
            NewLen = LineLength(Line);
        }
        const int L = std::min(Line, fLines->Count());
        // Exactly the characters put in front of the line.
        if (AddToUndoList)
            fUndoRedo->AddUndoChange(crInsert, BufferCoord(1, L), BufferCoord(int(P.size()) + 1, L),
                                     QString(), smNormal);
        Ed.SetCaretXYEx(true, BufferCoord(NewLen + 1, L));
        return;
    }
    if (Pieces.last().isEmpty()) Pieces.removeLast();
    // Undoing a line-mode deletion that reached the last line: the leftover empty line takes
    // the last piece.
    QString LastPiece;
    if (AFillLastLine && Pieces.size() > 1 && Line <= fLines->Count()) {
        LastPiece = Pieces.takeLast();
        fLines->Put(Line - 1, LastPiece + fLines->Get(Line - 1));
    }
    const int k = int(Pieces.size());
    if (!fInserting && !fUndoRedoing && Line <= fLines->Count()) {
        // Overwrite mode replaces as many lines; the replaced lines are recorded as a line-mode
        // deletion, which leaves an empty line where it reaches the end of the buffer.
        const int n = std::min(k, fLines->Count() - Line + 1);
        const TLexSelectionMode Mode = fActiveSelectionMode;
        // The end's character only has to differ from the start's for the lines to count as
        // selected, also for one empty line.
        fBlockBegin = BufferCoord(1, Line);
        fBlockEnd = BufferCoord(std::max(2, LineLength(Line + n - 1) + 1), Line + n - 1);
        fActiveSelectionMode = smLine;
        const QString Removed = Ed.GetSelText();
        if (AddToUndoList) fUndoRedo->AddUndoChange(crDelete, fBlockBegin, fBlockEnd, Removed, smLine);
        DeleteSelection(fBlockBegin, fBlockEnd);
        fActiveSelectionMode = Mode;
        fBlockBegin = fBlockEnd = Ed.CaretXY();
    }
    const int At = std::min(Line - 1, fLines->Count());
    fLines->InsertStrings(At, Pieces);
    if (fTrimLines != nullptr)
        for (int L = At + 1; L <= At + k; ++L)
            fTrimLines->push_back(L);
    if (AddToUndoList) {
        const int Count = fLines->Count();
        const TBufferCoord End =
            At + k + 1 <= Count ? BufferCoord(1, At + k + 1) : BufferCoord(LineLength(Count) + 1, Count);
        fUndoRedo->AddUndoChange(crInsert, BufferCoord(1, At + 1), End, QString(), smNormal);
    }
    Ed.SetCaretXYEx(true, BufferCoord(1, At + k + 1));
}

void TLexEditPrivate::InsertColumn(const QString &Value, bool AddToUndoList) {
    const QStringList Pieces = StringToLines(Value);
    const int p = fCaretX;
    const int Line = fCaretY;
    const bool Record = AddToUndoList || fUndoRedoing;
    int LastLen = 0;
    for (int i = 0; i < Pieces.size(); ++i) {
        const QString &P = Pieces[i];
        const int L = Line + i;
        // The empty piece after a final line break is only a line end.
        if (i == Pieces.size() - 1 && P.isEmpty() && EndsWithLineBreak(Value)) break;
        if (L > fLines->Count()) {
            // Every row past the end gets a line of its own, also for an empty piece.
            const int Count = fLines->Count();
            if (Count > 0 && AddToUndoList) {
                const TBufferCoord At = BufferCoord(LineLength(Count) + 1, Count);
                fUndoRedo->AddUndoChange(crLineBreak, At, At, QString(), smNormal);
            }
            fLines->Add(QString());
        }
        if (P.isEmpty()) continue;
        if (Record)
            PadLine(L, p - 1);
        else if (LineLength(L) < p - 1)
            fLines->Put(L - 1, fLines->Get(L - 1) + QString(p - 1 - LineLength(L), QLatin1Char(' ')));
        QString S = fLines->Get(L - 1);
        // A row whose character p is the second half of a surrogate pair gets the piece before
        // the pair: the pair is never split.
        const int q = IsSurrogatePairAt(S, p - 2) ? p - 1 : p;
        S.insert(q - 1, P);
        Ed.ProperSetLine(L - 1, S);
        if (AddToUndoList)
            fUndoRedo->AddUndoChange(crInsert, BufferCoord(q, L), BufferCoord(q + int(P.size()), L),
                                     QString(), smColumn);
        LastLen = int(P.size());
    }
    Ed.SetCaretXYEx(true, BufferCoord(p + LastLen, Line + std::max(0, int(Pieces.size()) - 1)));
}

void TCustomLexEdit::InsertBlock(const TBufferCoord &BB, const TBufferCoord &BE, const QString &ChangeStr,
                                 bool AddToUndoList) {
    TUpdateGuard Lock(*this);
    const TLexSelectionMode Old = fPriv->fActiveSelectionMode;
    // The block is set as it stands: the setters limit a normal-mode end to its line, which would
    // give a zero-width column block a width (and delete a character) on a shorter line.
    SetInternalCaretXY(BB);
    const int LastLine = std::max(fPriv->fLines->Count(), 1);
    fPriv->fBlockBegin = BufferCoord(std::max(BB.Char, 1), std::clamp(BB.Line, 1, LastLine));
    fPriv->fBlockEnd = BufferCoord(std::max(BE.Char, 1), std::clamp(BE.Line, 1, LastLine));
    // The block's character is the same on every row: the caret's step out of a surrogate pair
    // on BB's line does not move it (each row keeps its pairs whole by itself, InsertColumn).
    if (fPriv->fCaretX == BB.Char - 1 && fPriv->fCaretY == BB.Line && BB.Line <= fPriv->fLines->Count() &&
        IsSurrogatePairAt(fPriv->fLines->Get(BB.Line - 1), BB.Char - 2))
        fPriv->fCaretX = BB.Char;
    fPriv->fActiveSelectionMode = smColumn;
    SetSelTextPrimitiveEx(smColumn, ChangeStr, AddToUndoList, false);
    StatusChanged({scSelection});
    fPriv->fActiveSelectionMode = Old;
}

// ---- reversing items --------------------------------------------------------------------------

void TLexEditPrivate::UndoColumnDelete(const TBufferCoord &Start, const TBufferCoord &End, const QString &S) {
    // The left edge of the block: the end whose line kept its characters before it. The other
    // end lies at or right of it once its row lost the block's characters.
    const int Left = std::min(Ed.BufferToDisplayPos(Start).Column, Ed.BufferToDisplayPos(End).Column);
    const int First = std::min(Start.Line, End.Line);
    const QStringList Pieces = S.split(CRLF);
    for (int i = 0; i < Pieces.size(); ++i) {
        const int L = First + i;
        if (Pieces[i].isEmpty() || L > fLines->Count()) continue;
        int From = 0;
        int To = 0;
        Ed.ColumnRowRange(L, Left, Left + 1, From, To);
        PadLine(L, From - 1);
        QString T = fLines->Get(L - 1);
        T.insert(From - 1, Pieces[i]);
        Ed.ProperSetLine(L - 1, T);
    }
}

TLexEditPrivate::TUndoStep TLexEditPrivate::UnpackUndoItem(const TLexEditUndoItem &Item) const {
    return TUndoStep{ResolveEol(Item.ChangeStartPos), ResolveEol(Item.ChangeEndPos), Item.ChangeStr,
                     Item.ChangeSelMode, Item.GroupBreak};
}

void TCustomLexEdit::DoUndoItem(const TLexEditUndoItem &Item) {
    fPriv->ReverseItem(Item, false);
}

void TCustomLexEdit::DoRedoItem(const TLexEditUndoItem &Item) {
    fPriv->ReverseItem(Item, true);
}

void TLexEditPrivate::ReverseItem(const TLexEditUndoItem &Item, bool ARedo) {
    // Undo leaves the item's selection mode active; redo restores the mode in force.
    const TLexSelectionMode Saved = fActiveSelectionMode;
    common::ScopedValue<bool> Reversing(fReversingUndo, !ARedo);
    try {
        WithScrollPastEol([&] { ApplyItem(Item, ARedo); });
    } catch (...) {
        if (ARedo) fActiveSelectionMode = Saved;
        throw;
    }
    fActiveSelectionMode = ARedo ? Saved : Item.ChangeSelMode;
}

void TLexEditPrivate::ApplyItem(const TLexEditUndoItem &Item, bool ARedo) {
    const auto [Start, End, S, M, G] = UnpackUndoItem(Item);
    ILexEditUndo &U = *fUndoRedo;
    // What was done here goes on the other stack: redo's when undoing, undo's when redoing.
    const auto Record = [&, G = G](TLexChangeReason AReason, const TBufferCoord &AStart,
                                   const TBufferCoord &AEnd, const QString &AText, TLexSelectionMode AMode,
                                   std::shared_ptr<TLexSwappedLines> ALines = nullptr) {
        if (ARedo)
            U.AddUndoChange(AReason, AStart, AEnd, AText, AMode, G, std::move(ALines));
        else
            U.AddRedoChange(AReason, AStart, AEnd, AText, AMode, G, std::move(ALines));
    };
    fActiveSelectionMode = M;
    switch (Item.ChangeReason) {
    case crNothing:
        Record(crNothing, Start, End, S, M);
        break;
    case crInsert:
        if (ARedo) {
            SetUndoSelection(Start, Start, Start, M);
            Ed.SetSelTextPrimitiveEx(M, S, false);
            SetUndoSelection(End, End, End, M);
            Record(crInsert, Start, End, QString(), M);
        } else {
            SetUndoSelection(Start, Start, End, M);
            const QString T = RemovedSelText();
            Ed.SetSelTextPrimitiveEx(M, S, false);
            const TBufferCoord AfterS = Ed.CaretXY();
            SetUndoSelection(Start, Start, Start, M);
            Record(crInsert, Start, End, T, M);
            // Text that was overwritten comes back; re-applying removes it first (the redo stack
            // is applied from its newest item).
            if (!S.isEmpty()) Record(crSilentDelete, Start, AfterS, S, smNormal);
        }
        break;
    case crDelete:
    case crSilentDelete:
        if (ARedo) {
            // A join from past a line end (Delete there) pads the line again first.
            const TBufferCoord Lo = TBufferCoord::Min(Start, End);
            if (M == smNormal && Start.Line != End.Line && Lo.Char > LineLength(Lo.Line) + 1)
                PadLine(Lo.Line, Lo.Char - 1);
            SetUndoSelection(Start, Start, End, M);
            const QString T = RemovedSelText();
            Ed.SetSelTextPrimitiveEx(M, QString(), false);
            SetUndoSelection(Start, Start, Start, M);
            Record(Item.ChangeReason, Start, End, T, M);
        } else {
            TBufferCoord q = TBufferCoord::Min(Start, End);
            if (M == smColumn)
                q = BufferCoord(std::min(Start.Char, End.Char), std::min(Start.Line, End.Line));
            if (q.Line > fLines->Count()) {
                Ed.SetCaretXYEx(false, BufferCoord(1, fLines->Count()));
                fLines->Add(QString());
            }
            SetUndoSelection(q, q, q, M);
            if (M == smColumn)
                UndoColumnDelete(Start, End, S);
            else if (M == smLine)
                InsertLine(S, false, !EndsWithLineBreak(S));
            else if (!S.isEmpty() && !RestoreWholeText(S))
                InsertText(smNormal, S, false);
            // The end-of-line marker stands for the end of the line as it is now, with S back.
            const TBufferCoord S2 = ResolveEol(Item.ChangeStartPos);
            const TBufferCoord E2 = ResolveEol(Item.ChangeEndPos);
            if (Item.ChangeReason == crSilentDelete)
                SetUndoSelection(E2, E2, E2, M);
            else
                SetUndoSelection(E2, S2, E2, M);
            Ed.EnsureCursorPosVisible();
            Record(Item.ChangeReason, S2, E2, QString(), M);
        }
        break;
    case crLineBreak:
        SetUndoSelection(Start, Start, Start, M);
        if (ARedo) {
            // The line is split directly: running the line-break command again would type its
            // indentation once more and could be cancelled by a handler.
            Record(crLineBreak, Start, End, SplitLineAt(Start), M);
        } else {
            if (Start.Line <= fLines->Count()) {
                if (Ed.LeftSpaces(S) == 0) PadLine(Start.Line, Start.Char - 1);
                Ed.ProperSetLine(Start.Line - 1, fLines->Get(Start.Line - 1) + S);
                if (End.Line < fLines->Count()) fLines->Delete(End.Line);
            }
            Record(crLineBreak, Start, End, QString(), M);
        }
        break;
    case crIndent:
        Ed.SetCaretAndSelection(End, Start, End);
        // Ends limited to one place at a line end leave no selection: it lies on the caret.
        if (!Ed.SelAvail()) Ed.SetCaretXY(Ed.CaretXY());
        Record(crIndent, Start, End, S, M);
        break;
    case crUnindent:
        if (ARedo)
            RedoUnindent(Start, End, S, M);
        else {
            const int c = M == smColumn ? std::min(Start.Char, End.Char) : 1;
            Ed.InsertBlock(BufferCoord(c, Start.Line), BufferCoord(c, End.Line), S, false);
            SetUndoSelection(Start, Start, End, M);
        }
        Record(crUnindent, Start, End, S, M);
        break;
    case crCaret:
        Record(crCaret, Ed.CaretXY(), Ed.CaretXY(), QString(), fActiveSelectionMode);
        Ed.SetCaretXYEx(true, Start);
        break;
    case crSelection:
        Record(crSelection, Ed.BlockBegin(), Ed.BlockEnd(), QString(), fActiveSelectionMode);
        SetUndoSelection(Ed.CaretXY(), Start, End, M);
        break;
    case crWhiteSpaceAdd:
        // Undo takes the fill away; re-applying puts back exactly this fill (a tab on an empty
        // line, say) before the edit that needed it, from the insert recorded here.
        if (!ARedo) {
            const TBufferCoord Lo = TBufferCoord::Min(Start, End);
            SetUndoSelection(Lo, Lo, TBufferCoord::Max(Start, End), smNormal);
            const QString T = RemovedSelText();
            Ed.SetSelTextPrimitiveEx(smNormal, QString(), false);
            SetUndoSelection(Lo, Lo, Lo, smNormal);
            if (!T.isEmpty()) Record(crInsert, Lo, TBufferCoord::Max(Start, End), T, smNormal);
        }
        break;
    case crLineReplace:
        // The lines get their other texts back in one swap, and the other stack the same set:
        // undo selects the changed part of the first line as it was, redo leaves the caret after
        // the changed part of the last line, as when the lines were written.
        // The lines are told of the change in the order they were written, undo in reverse.
        if (Item.ChangeLines) {
            TLexSwappedLines &L = *Item.ChangeLines;
            fLines->SwapLines(
                L, !ARedo, [&] { Record(crLineReplace, Start, End, QString(), smNormal, Item.ChangeLines); });
            if (ARedo)
                SetUndoSelection(L.RedoCaret, L.RedoCaret, L.RedoCaret, smNormal);
            else
                SetUndoSelection(L.UndoEnd, L.UndoBegin, L.UndoEnd, smNormal);
        }
        break;
    }
}

void TLexEditPrivate::RedoUnindent(const TBufferCoord &Start, const TBufferCoord &End, const QString &S,
                                   TLexSelectionMode M) {
    const int c = M == smColumn ? std::min(Start.Char, End.Char) : 1;
    const QStringList Pieces = S.split(CRLF);
    for (int i = 0; i < Pieces.size(); ++i) {
        const int L = Start.Line + i;
        if (L > fLines->Count()) break;
        QString T = fLines->Get(L - 1);
        if (T.mid(c - 1, Pieces[i].size()) == Pieces[i]) T.remove(c - 1, Pieces[i].size());
        fLines->Put(L - 1, T);
    }
    if (M == smColumn) {
        SetUndoSelection(Start, Start, End, M);
        return;
    }
    // The selection ends follow the text, as the unindent left them.
    const int LastLine = Start.Line + int(Pieces.size()) - 1;
    const TBufferCoord B = BufferCoord(std::max(1, Start.Char - int(Pieces.first().size())), Start.Line);
    const TBufferCoord E =
        BufferCoord(std::max(1, End.Char - (End.Line == LastLine ? int(Pieces.last().size()) : 0)), End.Line);
    SetUndoSelection(B, B, E, M);
}

} // namespace lexedit
