// The editor's side of word wrap: the WordWrap property, the plug-in told of buffer and window
// changes, the caret at the end of a wrapped row, and the continuation glyphs of the gutter.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditGutter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditWordWrap.h"

#include <QPainter>

#include <algorithm>

namespace lexedit {

void TCustomLexEdit::SetWordWrap(bool Value) {
    if (Value == WordWrap()) return;
    InvalidateAll();
    const bool WasInView = CaretInView();
    const int TopBufferLine = RowToLine(fTopLine);
    TUpdateGuard Lock(*this);
    fCaretAtEOL = false;
    if (Value) {
        auto Wrap = std::make_unique<TLexWordWrapPlugin>(this);
        fWordWrapPlugin = Wrap.get();
        fRowMap = std::move(Wrap);
        SetLeftChar(1);
    } else {
        fWordWrapPlugin = nullptr;
        fRowMap.reset();
    }
    SetTopLine(LineToRow(TopBufferLine));
    UpdateScrollBars();
    if (WasInView) EnsureCursorPosVisible();
    fStateFlags.Include(sfCaretChanged);
    InvalidateAll();
}

// ---- the plug-in told of changes ----------------------------------------------------------------

// Each notification is checked against the line count it must lead to: a plug-in that missed a
// change (or never had a width) wraps everything again instead of mapping wrong lines.

void TCustomLexEdit::WrapLinesInserted(int Index, int Count) {
    if (!fWordWrapPlugin) return;
    if (fWordWrapPlugin->MaxRowLength() == 0) return;
    if (fWordWrapPlugin->LineCount() + Count != fLines->Count() || Index > fWordWrapPlugin->LineCount())
        fWordWrapPlugin->Reset();
    else
        fWordWrapPlugin->LinesInserted(Index, Count);
}

void TCustomLexEdit::WrapLinesDeleted(int Index, int Count) {
    if (!fWordWrapPlugin) return;
    if (fWordWrapPlugin->MaxRowLength() == 0) return;
    if (fWordWrapPlugin->LineCount() - Count != fLines->Count() ||
        Index + Count > fWordWrapPlugin->LineCount())
        fWordWrapPlugin->Reset();
    else
        fWordWrapPlugin->LinesDeleted(Index, Count);
}

bool TCustomLexEdit::WrapLinePut(int Index, const QString &OldLine) {
    if (!fWordWrapPlugin || fWordWrapPlugin->MaxRowLength() == 0) return false;
    if (fWordWrapPlugin->LineCount() != fLines->Count() || Index >= fWordWrapPlugin->LineCount()) {
        fWordWrapPlugin->Reset();
        return true;
    }
    return fWordWrapPlugin->LinePut(Index, OldLine) != 0;
}

void TCustomLexEdit::WrapReset() {
    if (!fWordWrapPlugin) return;
    fWordWrapPlugin->Reset();
    fCaretAtEOL = false;
    fStateFlags.Include(sfScrollbarChanged);
    InvalidateAll();
}

void TCustomLexEdit::WrapDisplayChanged() {
    if (!fWordWrapPlugin) return;
    const int Before = fWordWrapPlugin->MaxRowLength();
    fWordWrapPlugin->DisplayChanged();
    if (fWordWrapPlugin->MaxRowLength() != Before) InvalidateAll();
}

// ---- the caret on wrapped rows ----------------------------------------------------------------

bool TCustomLexEdit::IsContinuationRow(int aRow) const {
    return fWordWrapPlugin && aRow >= 1 && aRow <= fWordWrapPlugin->RowCount() &&
           LineToRow(RowToLine(aRow)) != aRow;
}

void TCustomLexEdit::SetCaretAtEOL(bool Value) {
    TUpdateGuard Lock(*this);
    fCaretAtEOL = Value;
    UpdateLastCaretX();
    EnsureCursorPosVisible();
    fStateFlags.Include(sfCaretChanged);
}

bool TCustomLexEdit::WrapMoveCaretHorz(int DX) {
    if (!fWordWrapPlugin) return false;
    if (DX == 1 && fCaretAtEOL) {
        // From the end of a row to the start of the next one: the same buffer position.
        SetCaretAtEOL(false);
        return true;
    }
    if (DX == -1 && !fCaretAtEOL) {
        const TDisplayCoord P = DisplayXY();
        if (P.Column == 1 && IsContinuationRow(P.Row)) {
            SetCaretAtEOL(true);
            return true;
        }
    }
    return false;
}

void TCustomLexEdit::WrapKeepCaretInWindow() {
    if (!fWordWrapPlugin || fCharsInWindow <= 0) return;
    if (!fStatusChanges.Contains(scCaretX) && !fStatusChanges.Contains(scCaretY)) return;
    const TDisplayCoord P = DisplayXY();
    if (P.Column <= fCharsInWindow + 1) return;
    if (fCaretAtEOL) {
        fCaretAtEOL = false;
    } else if (fStatusChanges.Contains(scCaretY)) {
        fCaretX = DisplayToBufferPos(DisplayCoord(fCharsInWindow + 1, P.Row)).Char;
        fStatusChanges.Include(scCaretX);
        UpdateLastCaretX();
    }
    fStateFlags.Include(sfCaretChanged);
}

// ---- gutter -------------------------------------------------------------------------------------

void TCustomLexEdit::PaintWrapGlyphs(QPainter &ACanvas, int aFirstRow, int aLastRow) {
    if (!fWordWrapPlugin || !fWordWrapGlyph.Visible()) return;
    const int X = fGutterWidth - fGutter.RightOffset() - 2 - fWordWrapGlyph.Width();
    // Walks the lines of the painted rows: every row after a line's first is a continuation.
    int Row = aFirstRow;
    while (Row <= aLastRow && Row <= fWordWrapPlugin->RowCount()) {
        const int Line = RowToLine(Row);
        const int NextLineRow = LineToRow(Line + 1);
        for (int r = std::max(Row, LineToRow(Line) + 1); r < NextLineRow && r <= aLastRow; ++r)
            fWordWrapGlyph.Draw(ACanvas, X, (r - fTopLine) * fTextHeight, fTextHeight);
        Row = NextLineRow;
    }
}

} // namespace lexedit
