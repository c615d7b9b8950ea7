// Mouse selection: extending the selection of a double click by words and of a triple click by
// lines while the mouse drags.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"

#include <algorithm>

namespace lexedit {

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
