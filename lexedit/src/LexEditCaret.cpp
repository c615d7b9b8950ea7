// SPDX-License-Identifier: MIT
// Caret and selection: placement, selection ends and modes, selected text, character offsets,
// word blocks and the caret moves by characters, lines, Home and End.
//
// Without a selection (anchor equal to end) the anchor and end follow the caret whatever moves
// it, so that a selecting move always starts from the caret.

#include "lexedit/LexEdit.h"

#include "LexEditFolding.h"

#include "LexEditPrivate.h"

#include "LexEditHelpers.h"
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <algorithm>
#include <climits>

namespace lexedit {

namespace {

const QString CRLF = QStringLiteral("\r\n");

} // namespace

// ---- caret ----------------------------------------------------------------------------------

void TCustomLexEdit::SetCaretXYEx(bool CallEnsureCursorPos, TBufferCoord Value) {
    fPriv->fCaretAtEOL = false;
    DoOnPaintTransient(ttBefore);
    const int Count = fPriv->fLines->Count();
    if (Value.Line > Count) Value.Line = Count;
    if (Value.Line < 1) Value.Line = 1;
    const int Len = fPriv->LineLength(Value.Line);
    if (Value.Char == INT_MAX) Value.Char = Len + 1; // the end-of-line marker
    if (!fPriv->fOptions.Contains(eoScrollPastEol) && Value.Char > Len + 1) Value.Char = Len + 1;
    if (Value.Char < 1) Value.Char = 1;
    // Never between the two halves of a surrogate pair: an edit there would split it.
    if (Value.Char >= 2 && Value.Char <= Len &&
        IsSurrogatePairAt(fPriv->fLines->Get(Value.Line - 1), Value.Char - 2))
        --Value.Char;
    // The line the caret leaves loses its trailing blanks; inside a replacement the lines it
    // wrote are trimmed at its end instead, after the edit is recorded.
    if (Value.Line != fPriv->fCaretY && fPriv->fOptions.Contains(eoTrimTrailingSpaces) &&
        !fPriv->fUndoRedoing && fPriv->fTrimLines == nullptr)
        fPriv->TrimLineLeft(fPriv->fCaretY);
    if (Value == CaretXY()) {
        // A collapsed block set elsewhere (a selection end is clamped differently) joins the caret.
        if (fPriv->fBlockBegin == fPriv->fBlockEnd) fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
        UpdateLastCaretX();
    } else {
        TUpdateGuard Lock(*this);
        const bool Collapsed = fPriv->fBlockBegin == fPriv->fBlockEnd;
        if (Value.Char != fPriv->fCaretX) {
            fPriv->fCaretX = Value.Char;
            StatusChanged({scCaretX});
        }
        if (Value.Line != fPriv->fCaretY) {
            if (fPriv->fActiveLineColor != clNone || fPriv->fOptions.Contains(eoShowLigatures)) {
                InvalidateLine(fPriv->fCaretY);
                InvalidateLine(Value.Line);
            }
            fPriv->fCaretY = Value.Line;
            StatusChanged({scCaretY});
        }
        if (Collapsed) fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
        UpdateLastCaretX();
        // A caret placed on a line hidden by collapsed ranges (a goto, a search hit) shows it.
        fPriv->fFolding->RevealCaret();
        if (CallEnsureCursorPos) EnsureCursorPosVisible();
        fPriv->fStateFlags.Include(sfCaretChanged);
    }
    DoOnPaintTransient(ttAfter);
}

void TLexEditPrivate::TrimLineLeft(int ALine) {
    if (ALine < 1 || ALine > fLines->Count()) return;
    const QString S = fLines->Get(ALine - 1);
    const QString T = TrimTrailingSpaces(S);
    if (T.size() == S.size()) return;
    // Recorded, so that undo brings the blanks back.
    fUndoRedo->AddUndoChange(crSilentDelete, BufferCoord(int(T.size()) + 1, ALine),
                             BufferCoord(int(S.size()) + 1, ALine), S.mid(T.size()), smNormal);
    // The end of the buffer change collapses the selection onto the caret; a selecting move
    // that leaves the line must keep its selection.
    const TBufferCoord SavedBegin = fBlockBegin;
    const TBufferCoord SavedEnd = fBlockEnd;
    const TLexSelectionMode SavedMode = fActiveSelectionMode;
    fLines->Put(ALine - 1, T);
    fBlockBegin = SavedBegin;
    fBlockEnd = SavedEnd;
    fActiveSelectionMode = SavedMode;
    // A selection end left past the new line end moves to it.
    for (TBufferCoord *P : {&fBlockBegin, &fBlockEnd})
        if (P->Line == ALine && P->Char > T.size() + 1) P->Char = int(T.size()) + 1;
}

void TCustomLexEdit::SetCaretXY(const TBufferCoord &Value) {
    TUpdateGuard Lock(*this);
    fPriv->fStatusChanges.Include(scSelection);
    const bool HadSelection = SelAvail();
    if (HadSelection) InvalidateSelection();
    SetCaretXYEx(true, Value);
    fPriv->fBlockBegin = fPriv->fBlockEnd = CaretXY();
}

void TCustomLexEdit::ForceCaretX(int aCaretX) {
    const bool WasOn = fPriv->fOptions.Contains(eoScrollPastEol);
    fPriv->fOptions.Include(eoScrollPastEol);
    try {
        SetInternalCaretX(aCaretX);
    } catch (...) {
        if (!WasOn) fPriv->fOptions.Exclude(eoScrollPastEol);
        throw;
    }
    if (!WasOn) fPriv->fOptions.Exclude(eoScrollPastEol);
}

void TCustomLexEdit::UpdateLastCaretX() {
    fPriv->fLastCaretX = DisplayX();
}

void TCustomLexEdit::SetInternalDisplayXY(const TDisplayCoord &aPos) {
    TUpdateGuard Lock(*this);
    SetInternalCaretXY(DisplayToBufferPos(aPos));
    // Beyond the end of a wrapped row the caret stays at the end of that row rather than at the
    // start of the next one, which is the same buffer position.
    if (WordWrap() && aPos.Row >= 1 && aPos.Row <= DisplayLineCount() &&
        aPos.Column > GetRowLength(aPos.Row) && BufferToDisplayPos(CaretXY()).Row != aPos.Row)
        fPriv->fCaretAtEOL = true;
    UpdateLastCaretX();
}

void TCustomLexEdit::GotoLineAndCenter(int ALine) {
    TUpdateGuard Lock(*this);
    SetCaretXYEx(false, BufferCoord(1, ALine));
    fPriv->CollapseSelectionOnCaret();
    SetTopLine(LineToRow(fPriv->fCaretY) - fPriv->fLinesInWindow / 2);
}

void TCustomLexEdit::GotoBookMark(int BookMark) {
    if (BookMark < 0 || BookMark > 9) return;
    for (int i = 0; i < fPriv->fMarkList.Count(); ++i) {
        const TLexEditMark &M = fPriv->fMarkList.Items(i);
        if (M.BookmarkNumber != BookMark) continue;
        if (M.Line < 1 || M.Line > fPriv->fLines->Count()) return;
        TUpdateGuard Lock(*this);
        SetCaretXYEx(false, BufferCoord(M.Char, M.Line));
        SetTopLine(LineToRow(fPriv->fCaretY) - fPriv->fLinesInWindow / 2);
        fPriv->CollapseSelectionOnCaret();
        return;
    }
}

TDisplayCoord TCustomLexEdit::DisplayXY() const {
    TDisplayCoord Result = BufferToDisplayPos(CaretXY());
    // Parked at the end of a wrapped row: shown after the last character of the row before.
    if (fPriv->fCaretAtEOL && WordWrap() && Result.Column == 1 && Result.Row > 1) {
        --Result.Row;
        Result.Column = GetRowLength(Result.Row) + 1;
    }
    return Result;
}

int TCustomLexEdit::DisplayY() const {
    return fPriv->fRowMap ? DisplayXY().Row : fPriv->fCaretY;
}

// ---- selection ----------------------------------------------------------------------------------

TBufferCoord TCustomLexEdit::BlockBegin() const {
    return TBufferCoord::Min(fPriv->fBlockBegin, fPriv->fBlockEnd);
}
TBufferCoord TCustomLexEdit::BlockEnd() const {
    return TBufferCoord::Max(fPriv->fBlockBegin, fPriv->fBlockEnd);
}

bool TCustomLexEdit::SelAvail() const {
    return fPriv->fBlockBegin.Char != fPriv->fBlockEnd.Char ||
           (fPriv->fBlockBegin.Line != fPriv->fBlockEnd.Line && fPriv->fActiveSelectionMode != smColumn);
}

bool TCustomLexEdit::SelTabBlock() const {
    return fPriv->fBlockBegin.Line != fPriv->fBlockEnd.Line && fPriv->fActiveSelectionMode != smColumn;
}

bool TCustomLexEdit::SelTabLine() const {
    return SelAvail() && BlockBegin().Char <= 1 && BlockEnd().Char > fPriv->LineLength(fPriv->fCaretY);
}

TBufferCoord TLexEditPrivate::ClampBlockPos(TBufferCoord Value) const {
    const int Count = fLines->Count();
    Value.Line = MinMax(Value.Line, 1, std::max(Count, 1));
    const int Len = LineLength(Value.Line);
    if (Value.Char == INT_MAX) Value.Char = Len + 1;
    if (Value.Char < 1) Value.Char = 1;
    if ((fSelectionMode == smNormal || !fOptions.Contains(eoScrollPastEol)) && Value.Char > Len + 1)
        Value.Char = Len + 1;
    // Never between the two halves of a surrogate pair: the selected text would split it.
    if (Value.Char >= 2 && Value.Char <= Len &&
        IsSurrogatePairAt(fLines->Get(Value.Line - 1), Value.Char - 2))
        --Value.Char;
    return Value;
}

void TCustomLexEdit::SetBlockBegin(TBufferCoord Value) {
    fPriv->fActiveSelectionMode = fPriv->fSelectionMode;
    Value = fPriv->ClampBlockPos(Value);
    const bool HadSelection = SelAvail();
    if (HadSelection)
        InvalidateLines(std::min({fPriv->fBlockBegin.Line, fPriv->fBlockEnd.Line, Value.Line}),
                        std::max({fPriv->fBlockBegin.Line, fPriv->fBlockEnd.Line, Value.Line}));
    const bool Moved = fPriv->fBlockBegin != Value || fPriv->fBlockEnd != Value;
    fPriv->fBlockBegin = fPriv->fBlockEnd = Value;
    if (HadSelection || Moved) StatusChanged({scSelection});
}

void TLexEditPrivate::CollapseSelectionOnCaret() {
    Ed.SetBlockBegin(Ed.CaretXY());
    // Also where the caret stands past a line end, which the block setters limit.
    fBlockBegin = fBlockEnd = Ed.CaretXY();
}

void TCustomLexEdit::SetBlockEnd(TBufferCoord Value) {
    fPriv->fActiveSelectionMode = fPriv->fSelectionMode;
    if (fPriv->fOptions.Contains(eoNoSelection)) return;
    Value = fPriv->ClampBlockPos(Value);
    if (Value == fPriv->fBlockEnd) return;
    if (fPriv->fActiveSelectionMode == smColumn && Value.Char != fPriv->fBlockEnd.Char)
        InvalidateLines(std::min({fPriv->fBlockBegin.Line, fPriv->fBlockEnd.Line, Value.Line}),
                        std::max({fPriv->fBlockBegin.Line, fPriv->fBlockEnd.Line, Value.Line}));
    else
        InvalidateLines(std::min(fPriv->fBlockEnd.Line, Value.Line),
                        std::max(fPriv->fBlockEnd.Line, Value.Line));
    fPriv->fBlockEnd = Value;
    StatusChanged({scSelection});
}

void TCustomLexEdit::SetSelectionMode(TLexSelectionMode Value) {
    if (Value == fPriv->fSelectionMode) return;
    fPriv->fSelectionMode = Value;
    SetActiveSelectionMode(Value);
}

void TCustomLexEdit::SetActiveSelectionMode(TLexSelectionMode Value) {
    if (Value == fPriv->fActiveSelectionMode) return;
    InvalidateSelection();
    fPriv->fActiveSelectionMode = Value;
    InvalidateSelection();
    StatusChanged({scSelection});
}

void TCustomLexEdit::SetCaretAndSelection(const TBufferCoord &ptCaret, const TBufferCoord &ptBefore,
                                          const TBufferCoord &ptAfter) {
    TUpdateGuard Lock(*this);
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    SetInternalCaretXY(ptCaret);
    SetBlockBegin(ptBefore);
    SetBlockEnd(ptAfter);
    SetActiveSelectionMode(Mode);
}

void TCustomLexEdit::MoveCaretAndSelection(const TBufferCoord &ptBefore, const TBufferCoord &ptAfter,
                                           bool SelectionCommand) {
    if (fPriv->fOptions.Contains(eoGroupUndo) && fPriv->fUndoRedo->CanUndo())
        fPriv->fUndoRedo->AddGroupBreak();
    TUpdateGuard Lock(*this);
    if (SelectionCommand) {
        if (!SelAvail()) SetBlockBegin(ptBefore);
        SetBlockEnd(ptAfter);
    } else {
        SetBlockBegin(ptAfter);
    }
    SetInternalCaretXY(ptAfter);
}

void TCustomLexEdit::SelectAll() {
    const int Count = fPriv->fLines->Count();
    const TBufferCoord End = BufferCoord(fPriv->LineLength(Count) + 1, std::max(Count, 1));
    SetCaretAndSelection(End, BufferCoord(1, 1), End);
    StatusChanged({scSelection});
}

QString TCustomLexEdit::GetSelText() const {
    if (!SelAvail()) return QString();
    const TBufferCoord B = BlockBegin();
    const TBufferCoord E = BlockEnd();
    const auto Line = [this](int L) {
        return L >= 1 && L <= fPriv->fLines->Count() ? fPriv->fLines->Get(L - 1) : QString();
    };
    QString Result;
    switch (fPriv->fActiveSelectionMode) {
    case smNormal: {
        const QString First = Line(B.Line);
        if (B.Line == E.Line) return First.mid(B.Char - 1, std::max(0, E.Char - B.Char));
        if (B.Char - 1 < First.size()) Result += QStringView(First).mid(B.Char - 1);
        Result += CRLF;
        for (int L = B.Line + 1; L < E.Line; ++L)
            Result += Line(L) + CRLF;
        Result += QStringView(Line(E.Line)).left(std::max(0, E.Char - 1));
        return Result;
    }
    case smLine: {
        const int Count = fPriv->fLines->Count();
        for (int L = B.Line; L <= E.Line; ++L) {
            Result += Line(L);
            if (L < E.Line || L < Count) Result += CRLF;
        }
        return Result;
    }
    case smColumn: {
        // The block covers the display columns [Left, Right) of every row (ColumnRowRange).
        const TDisplayCoord DB = BufferToDisplayPos(fPriv->fBlockBegin);
        const TDisplayCoord DE = BufferToDisplayPos(fPriv->fBlockEnd);
        const int Left = std::min(DB.Column, DE.Column);
        const int Right = std::max(DB.Column, DE.Column);
        const int FirstRow = std::min(DB.Row, DE.Row);
        const int LastRow = std::max(DB.Row, DE.Row);
        for (int Row = FirstRow; Row <= LastRow; ++Row) {
            const int L = RowToLine(Row);
            const QString S = Line(L);
            const int Len = int(S.size());
            int From = 0;
            int To = 0;
            ColumnRowRange(L, Left, Right, From, To);
            if (From <= Len) Result += QStringView(S).mid(From - 1, std::min(To, Len + 1) - From);
            if (!fPriv->fOptions.Contains(eoTrimTrailingSpaces)) {
                const int Missing = To - std::max(From, Len + 1);
                if (Missing > 0) Result += QString(Missing, QLatin1Char(' '));
            }
            if (Row < LastRow) Result += CRLF;
        }
        return Result;
    }
    }
    return Result;
}

// ---- character offsets ----------------------------------------------------------------------

int TCustomLexEdit::SelStart() const {
    return RowColToCharIndex(SelAvail() ? BlockBegin() : CaretXY());
}

int TCustomLexEdit::SelEnd() const {
    return RowColToCharIndex(SelAvail() ? BlockEnd() : CaretXY());
}

int TCustomLexEdit::SelLength() const {
    return SelAvail() ? RowColToCharIndex(BlockEnd()) - RowColToCharIndex(BlockBegin()) : 0;
}

namespace {

// An offset beyond the text means its end.
TBufferCoord EndOfText(const TLexEditStringList &L) {
    const int Count = L.Count();
    return BufferCoord(Count > 0 ? L.LineCharLength(Count - 1) + 1 : 1, std::max(Count, 1));
}

} // namespace

TBufferCoord TLexEditPrivate::OffsetToPos(int64_t AOffset) const {
    // Past the end of the text: its end. On a line break: the end of that line, where the block
    // setters put a selection end too, so that the caret and an empty selection agree.
    if (AOffset < 0 || AOffset > INT_MAX) return EndOfText(*fLines);
    TBufferCoord P = Ed.CharIndexToRowCol(int(AOffset));
    if (P.Line > fLines->Count()) return EndOfText(*fLines);
    P.Char = std::min(P.Char, LineLength(P.Line) + 1);
    return P;
}

void TCustomLexEdit::SetSelStart(int Value) {
    SetCaretXY(fPriv->OffsetToPos(std::max(Value, 0)));
}

void TCustomLexEdit::SetSelEnd(int Value) {
    SetBlockEnd(fPriv->OffsetToPos(std::max(Value, 0)));
}

void TCustomLexEdit::SetSelLength(int Value) {
    const TBufferCoord B = BlockBegin();
    const int64_t n = int64_t(RowColToCharIndex(B)) + Value;
    if (Value < 0 && n >= 0) {
        const TBufferCoord P = fPriv->OffsetToPos(n);
        SetCaretAndSelection(P, P, B);
        return;
    }
    const TBufferCoord P = fPriv->OffsetToPos(n);
    SetCaretAndSelection(P, B, P);
}

// ---- words ------------------------------------------------------------------------------------

void TCustomLexEdit::SetWordBlock(TBufferCoord Value) {
    Value.Char = std::max(Value.Char, 1);
    Value.Line = MinMax(Value.Line, 1, std::max(fPriv->fLines->Count(), 1));
    const QString S = fPriv->LineLength(Value.Line) > 0 ? fPriv->fLines->Get(Value.Line - 1) : QString();
    const int Len = int(S.size());
    // The line followed by a NUL: Len + 1 characters.
    if (Value.Char > Len + 1) {
        SetCaretXY(BufferCoord(Len + 1, Value.Line));
        return;
    }
    int WordEnd = Value.Char;
    while (WordEnd <= Len && IsIdentChar(S[WordEnd - 1]))
        ++WordEnd;
    int WordStart = Value.Char;
    while (WordStart > 1 && IsIdentChar(S[WordStart - 2]))
        --WordStart;
    SetCaretAndSelection(BufferCoord(WordEnd, Value.Line), BufferCoord(WordStart, Value.Line),
                         BufferCoord(WordEnd, Value.Line));
    fPriv->fWordAnchorBegin = BufferCoord(WordStart, Value.Line);
    fPriv->fWordAnchorEnd = BufferCoord(WordEnd, Value.Line);
    InvalidateLine(Value.Line);
    StatusChanged({scSelection});
}

// ---- caret keys -------------------------------------------------------------------------------

void TCustomLexEdit::MoveCaretHorz(int DX, bool SelectionCommand) {
    // With word wrap a step may only park or un-park the caret at the end of a row.
    if (fPriv->WrapMoveCaretHorz(DX)) return;
    const bool PastEol = fPriv->fOptions.Contains(eoScrollPastEol);
    const int Len = fPriv->LineLength(fPriv->fCaretY);
    TBufferCoord Dest;
    if (!PastEol && DX == -1 && fPriv->fCaretX == 1 && fPriv->fCaretY > 1) {
        Dest = BufferCoord(fPriv->LineLength(fPriv->fCaretY - 1) + 1, fPriv->fCaretY - 1);
    } else if (!PastEol && DX == 1 && fPriv->fCaretX > Len && fPriv->fCaretY < fPriv->fLines->Count()) {
        Dest = BufferCoord(1, fPriv->fCaretY + 1);
    } else {
        int x = ClampToInt(std::max<int64_t>(1, int64_t(fPriv->fCaretX) + DX));
        if (DX > 0 && !PastEol) x = std::min(x, Len + 1);
        // Never between the two halves of a surrogate pair.
        if (x >= 2 && x <= Len) {
            const QString S = fPriv->fLines->Get(fPriv->fCaretY - 1);
            if (IsSurrogatePairAt(S, x - 2)) x += DX < 0 ? -1 : 1;
        }
        Dest = BufferCoord(x, fPriv->fCaretY);
    }
    MoveCaretAndSelection(fPriv->fBlockBegin, Dest, SelectionCommand);
    // Reaching the start of a continuation row from the row before shows the caret at the end
    // of that row first.
    if (WordWrap() && DX == 1) {
        const TDisplayCoord P = BufferToDisplayPos(CaretXY());
        if (P.Column == 1 && fPriv->IsContinuationRow(P.Row)) fPriv->SetCaretAtEOL(true);
    }
}

void TCustomLexEdit::MoveCaretVert(int DY, bool SelectionCommand) {
    const TDisplayCoord P = DisplayXY();
    int64_t Row = int64_t(P.Row) + DY;
    if (DY >= 0) Row = std::min<int64_t>(Row, std::max(DisplayLineCount(), 1));
    Row = std::max<int64_t>(Row, 1);
    int Column = P.Column;
    if (Row != P.Row && fPriv->fOptions.Contains(eoKeepCaretX)) Column = fPriv->fLastCaretX;
    TBufferCoord Dest = DisplayToBufferPos(DisplayCoord(Column, int(Row)));
    // A column inside a surrogate pair maps to its start already.
    const int SavedLastCaretX = fPriv->fLastCaretX;
    {
        TUpdateGuard Lock(*this);
        MoveCaretAndSelection(fPriv->fBlockBegin, Dest, SelectionCommand);
        // A target beyond the end of a wrapped row stays on that row.
        if (WordWrap() && BufferToDisplayPos(CaretXY()).Row != Row) {
            fPriv->fCaretAtEOL = true;
            fPriv->fStateFlags.Include(sfCaretChanged);
        }
    }
    fPriv->fLastCaretX = SavedLastCaretX;
}

void TCustomLexEdit::DoHomeKey(bool Selection) {
    int Target = 1;
    // With word wrap: the start of the caret's row, and the blanks only within its first row.
    int RowChars = INT_MAX;
    if (WordWrap()) {
        const TDisplayCoord P = DisplayXY();
        if (fPriv->IsContinuationRow(P.Row)) {
            MoveCaretAndSelection(CaretXY(), DisplayToBufferPos(DisplayCoord(1, P.Row)), Selection);
            return;
        }
        if (P.Row <= DisplayLineCount())
            RowChars = DisplayToBufferPos(DisplayCoord(GetRowLength(P.Row) + 1, P.Row)).Char - 1;
    }
    if (fPriv->fOptions.Contains(eoEnhanceHomeKey)) {
        const QString S = LineText();
        int n = 0;
        while (n < S.size() && n < RowChars && (S[n] == QLatin1Char(' ') || S[n] == QLatin1Char('\t')))
            ++n;
        if (fPriv->fCaretX - 1 > n || fPriv->fCaretX == 1) Target = n + 1;
    }
    MoveCaretAndSelection(CaretXY(), BufferCoord(Target, fPriv->fCaretY), Selection);
}

void TCustomLexEdit::DoEndKey(bool Selection) {
    const QString S = LineText();
    const int LineEnd = int(S.size()) + 1;
    if (WordWrap()) {
        fPriv->DoWrappedEndKey(Selection, S);
        return;
    }
    int Target = LineEnd;
    if (fPriv->fOptions.Contains(eoEnhanceEndKey)) {
        const int k = int(TrimTrailingSpaces(S).size()) + 1;
        Target = fPriv->fCaretX == k ? LineEnd : k;
    }
    MoveCaretAndSelection(CaretXY(), BufferCoord(Target, fPriv->fCaretY), Selection);
}

void TLexEditPrivate::DoWrappedEndKey(bool Selection, const QString &S) {
    // The end of the caret's row; on the line's last row the enhanced end toggles between the
    // last non-blank (not before the row's start) and the line's end. The column stays within
    // the window.
    const TDisplayCoord P = Ed.DisplayXY();
    const bool LastRow = P.Row >= Ed.DisplayLineCount() || Ed.RowToLine(P.Row + 1) != fCaretY;
    int Column = Ed.GetRowLength(P.Row) + 1;
    if (fOptions.Contains(eoEnhanceEndKey) && LastRow) {
        const int RowStart = Ed.DisplayToBufferPos(DisplayCoord(1, P.Row)).Char;
        const int k = std::max(int(TrimTrailingSpaces(S).size()) + 1, RowStart);
        const int Target = fCaretX == k ? int(S.size()) + 1 : k;
        Column = Ed.BufferToDisplayPos(BufferCoord(Target, fCaretY)).Column;
    }
    Column = std::min(Column, std::max(fCharsInWindow, 1) + 1);
    const TDisplayCoord To = DisplayCoord(Column, P.Row);
    TUpdateGuard Lock(Ed);
    Ed.MoveCaretAndSelection(Ed.CaretXY(), Ed.DisplayToBufferPos(To), Selection);
    if (Column > Ed.GetRowLength(P.Row) && Ed.BufferToDisplayPos(Ed.CaretXY()).Row != P.Row)
        fCaretAtEOL = true;
    Ed.UpdateLastCaretX();
}

} // namespace lexedit
