// The editor's side of word wrap: the WordWrap property, the plug-in told of buffer and window
// changes, the caret at the end of a wrapped row, and the continuation glyphs of the gutter.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

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
    fPriv->fCaretAtEOL = false;
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

void TLexEditPrivate::WrapLinesInserted(int Index, int Count) {
    if (!Ed.fWordWrapPlugin) return;
    if (Ed.fWordWrapPlugin->MaxRowLength() == 0) return;
    if (Ed.fWordWrapPlugin->LineCount() + Count != Ed.fLines->Count() ||
        Index > Ed.fWordWrapPlugin->LineCount())
        Ed.fWordWrapPlugin->Reset();
    else
        Ed.fWordWrapPlugin->LinesInserted(Index, Count);
}

void TLexEditPrivate::WrapLinesDeleted(int Index, int Count) {
    if (!Ed.fWordWrapPlugin) return;
    if (Ed.fWordWrapPlugin->MaxRowLength() == 0) return;
    if (Ed.fWordWrapPlugin->LineCount() - Count != Ed.fLines->Count() ||
        Index + Count > Ed.fWordWrapPlugin->LineCount())
        Ed.fWordWrapPlugin->Reset();
    else
        Ed.fWordWrapPlugin->LinesDeleted(Index, Count);
}

bool TLexEditPrivate::WrapLinePut(int Index, const QString &OldLine) {
    if (!Ed.fWordWrapPlugin || Ed.fWordWrapPlugin->MaxRowLength() == 0) return false;
    if (Ed.fWordWrapPlugin->LineCount() != Ed.fLines->Count() || Index >= Ed.fWordWrapPlugin->LineCount()) {
        Ed.fWordWrapPlugin->Reset();
        return true;
    }
    return Ed.fWordWrapPlugin->LinePut(Index, OldLine) != 0;
}

void TLexEditPrivate::WrapReset() {
    if (!Ed.fWordWrapPlugin) return;
    Ed.fWordWrapPlugin->Reset();
    fCaretAtEOL = false;
    Ed.fStateFlags.Include(sfScrollbarChanged);
    Ed.InvalidateAll();
}

void TLexEditPrivate::WrapDisplayChanged() {
    if (!Ed.fWordWrapPlugin) return;
    const int Before = Ed.fWordWrapPlugin->MaxRowLength();
    Ed.fWordWrapPlugin->DisplayChanged();
    if (Ed.fWordWrapPlugin->MaxRowLength() != Before) Ed.InvalidateAll();
}

// ---- the caret on wrapped rows ----------------------------------------------------------------

bool TLexEditPrivate::IsContinuationRow(int aRow) const {
    return Ed.fWordWrapPlugin && aRow >= 1 && aRow <= Ed.fWordWrapPlugin->RowCount() &&
           Ed.LineToRow(Ed.RowToLine(aRow)) != aRow;
}

void TLexEditPrivate::SetCaretAtEOL(bool Value) {
    TUpdateGuard Lock(Ed);
    fCaretAtEOL = Value;
    Ed.UpdateLastCaretX();
    Ed.EnsureCursorPosVisible();
    Ed.fStateFlags.Include(sfCaretChanged);
}

bool TLexEditPrivate::WrapMoveCaretHorz(int DX) {
    if (!Ed.fWordWrapPlugin) return false;
    if (DX == 1 && fCaretAtEOL) {
        // From the end of a row to the start of the next one: the same buffer position.
        SetCaretAtEOL(false);
        return true;
    }
    if (DX == -1 && !fCaretAtEOL) {
        const TDisplayCoord P = Ed.DisplayXY();
        if (P.Column == 1 && IsContinuationRow(P.Row)) {
            SetCaretAtEOL(true);
            return true;
        }
    }
    return false;
}

void TLexEditPrivate::WrapKeepCaretInWindow() {
    if (!Ed.fWordWrapPlugin || Ed.fCharsInWindow <= 0) return;
    if (!Ed.fStatusChanges.Contains(scCaretX) && !Ed.fStatusChanges.Contains(scCaretY)) return;
    const TDisplayCoord P = Ed.DisplayXY();
    if (P.Column <= Ed.fCharsInWindow + 1) return;
    if (fCaretAtEOL) {
        fCaretAtEOL = false;
    } else if (Ed.fStatusChanges.Contains(scCaretY)) {
        Ed.fCaretX = Ed.DisplayToBufferPos(DisplayCoord(Ed.fCharsInWindow + 1, P.Row)).Char;
        Ed.fStatusChanges.Include(scCaretX);
        Ed.UpdateLastCaretX();
    }
    Ed.fStateFlags.Include(sfCaretChanged);
}

// ---- gutter -------------------------------------------------------------------------------------

void TLexEditPrivate::PaintWrapGlyphs(QPainter &ACanvas, int aFirstRow, int aLastRow) {
    if (!Ed.fWordWrapPlugin || !Ed.fWordWrapGlyph.Visible()) return;
    const int X = Ed.fGutterWidth - Ed.fGutter.RightOffset() - 2 - Ed.fWordWrapGlyph.Width();
    // Walks the lines of the painted rows: every row after a line's first is a continuation.
    int Row = aFirstRow;
    while (Row <= aLastRow && Row <= Ed.fWordWrapPlugin->RowCount()) {
        const int Line = Ed.RowToLine(Row);
        const int NextLineRow = Ed.LineToRow(Line + 1);
        for (int r = std::max(Row, Ed.LineToRow(Line) + 1); r < NextLineRow && r <= aLastRow; ++r)
            Ed.fWordWrapGlyph.Draw(ACanvas, X, (r - Ed.fTopLine) * Ed.fTextHeight, Ed.fTextHeight);
        Row = NextLineRow;
    }
}

} // namespace lexedit
