// SPDX-License-Identifier: MIT
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
    if (Value && fPriv->fUseCodeFolding) return; // folding and word wrap exclude each other
    InvalidateAll();
    const bool WasInView = CaretInView();
    const int TopBufferLine = RowToLine(fPriv->fTopLine);
    TUpdateGuard Lock(*this);
    fPriv->fCaretAtEOL = false;
    if (Value) {
        auto Wrap = std::make_unique<TLexWordWrapPlugin>(this);
        fPriv->fWordWrapPlugin = Wrap.get();
        fPriv->fRowMap = std::move(Wrap);
        SetLeftChar(1);
    } else {
        fPriv->fWordWrapPlugin = nullptr;
        fPriv->fRowMap.reset();
    }
    SetTopLine(LineToRow(TopBufferLine));
    UpdateScrollBars();
    if (WasInView) EnsureCursorPosVisible();
    fPriv->fStateFlags.Include(sfCaretChanged);
    InvalidateAll();
}

// ---- the plug-in told of changes ----------------------------------------------------------------

// Each notification is checked against the line count it must lead to: a plug-in that missed a
// change (or never had a width) wraps everything again instead of mapping wrong lines.

void TLexEditPrivate::WrapLinesInserted(int Index, int Count) {
    if (!fWordWrapPlugin) return;
    if (fWordWrapPlugin->MaxRowLength() == 0) return;
    if (fWordWrapPlugin->LineCount() + Count != fLines->Count() || Index > fWordWrapPlugin->LineCount())
        fWordWrapPlugin->Reset();
    else
        fWordWrapPlugin->LinesInserted(Index, Count);
}

void TLexEditPrivate::WrapLinesDeleted(int Index, int Count) {
    if (!fWordWrapPlugin) return;
    if (fWordWrapPlugin->MaxRowLength() == 0) return;
    if (fWordWrapPlugin->LineCount() - Count != fLines->Count() ||
        Index + Count > fWordWrapPlugin->LineCount())
        fWordWrapPlugin->Reset();
    else
        fWordWrapPlugin->LinesDeleted(Index, Count);
}

bool TLexEditPrivate::WrapLinePut(int Index, const QString &OldLine) {
    if (!fWordWrapPlugin || fWordWrapPlugin->MaxRowLength() == 0) return false;
    if (fWordWrapPlugin->LineCount() != fLines->Count() || Index >= fWordWrapPlugin->LineCount()) {
        fWordWrapPlugin->Reset();
        return true;
    }
    return fWordWrapPlugin->LinePut(Index, OldLine) != 0;
}

void TLexEditPrivate::WrapReset() {
    if (!fWordWrapPlugin) return;
    fWordWrapPlugin->Reset();
    fCaretAtEOL = false;
    fStateFlags.Include(sfScrollbarChanged);
    Ed.InvalidateAll();
}

void TLexEditPrivate::WrapDisplayChanged() {
    if (!fWordWrapPlugin) return;
    const int Before = fWordWrapPlugin->MaxRowLength();
    fWordWrapPlugin->DisplayChanged();
    if (fWordWrapPlugin->MaxRowLength() != Before) Ed.InvalidateAll();
}

// ---- the caret on wrapped rows ----------------------------------------------------------------

bool TLexEditPrivate::IsContinuationRow(int aRow) const {
    return fWordWrapPlugin && aRow >= 1 && aRow <= fWordWrapPlugin->RowCount() &&
           Ed.LineToRow(Ed.RowToLine(aRow)) != aRow;
}

void TLexEditPrivate::SetCaretAtEOL(bool Value) {
    TUpdateGuard Lock(Ed);
    fCaretAtEOL = Value;
    Ed.UpdateLastCaretX();
    Ed.EnsureCursorPosVisible();
    fStateFlags.Include(sfCaretChanged);
}

bool TLexEditPrivate::WrapMoveCaretHorz(int DX) {
    if (!fWordWrapPlugin) return false;
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
    if (!fWordWrapPlugin || fCharsInWindow <= 0) return;
    if (!fStatusChanges.Contains(scCaretX) && !fStatusChanges.Contains(scCaretY)) return;
    const TDisplayCoord P = Ed.DisplayXY();
    if (P.Column <= fCharsInWindow + 1) return;
    if (fCaretAtEOL) {
        fCaretAtEOL = false;
    } else if (fStatusChanges.Contains(scCaretY)) {
        fCaretX = Ed.DisplayToBufferPos(DisplayCoord(fCharsInWindow + 1, P.Row)).Char;
        fStatusChanges.Include(scCaretX);
        Ed.UpdateLastCaretX();
    }
    fStateFlags.Include(sfCaretChanged);
}

// ---- gutter -------------------------------------------------------------------------------------

void TLexEditPrivate::PaintWrapGlyphs(QPainter &ACanvas, int aFirstRow, int aLastRow) {
    if (!fWordWrapPlugin || !fWordWrapGlyph.Visible()) return;
    const int X = fGutterWidth - fGutter.RightOffset() - 2 - fWordWrapGlyph.Width();
    // Walks the lines of the painted rows: every row after a line's first is a continuation.
    int Row = aFirstRow;
    while (Row <= aLastRow && Row <= fWordWrapPlugin->RowCount()) {
        const int Line = Ed.RowToLine(Row);
        const int NextLineRow = Ed.LineToRow(Line + 1);
        for (int r = std::max(Row, Ed.LineToRow(Line) + 1); r < NextLineRow && r <= aLastRow; ++r)
            fWordWrapGlyph.Draw(ACanvas, X, (r - fTopLine) * fTextHeight, fTextHeight);
        Row = NextLineRow;
    }
}

} // namespace lexedit
