// Painting: the rows to repaint (collected while the update lock is held or the buffer is inside
// its update bracket) and the paint entry, which draws the background so far.

#include "lexedit/LexEdit.h"

#include "lexedit/LexTextDrawer.h"

#include <QPaintEvent>
#include <QPainter>

#include <algorithm>

namespace lexedit {

// ---- invalidation -------------------------------------------------------------------------------

void TCustomLexEdit::InvalidateRect(const QRect &aRect) {
    if (fDestroying || aRect.isEmpty()) return;
    if (fPaintLock > 0 || fStateFlags.Contains(sfLinesChanging))
        fInvalidateRect = fInvalidateRect.united(aRect);
    else
        viewport()->update(aRect);
}

void TCustomLexEdit::InvalidateRows(int FirstLine, int LastLine, int ALeft, int ARight) {
    if (fTextHeight <= 0 || ARight <= ALeft) return;
    const int Height = viewport()->height();
    int Top = 0;
    int Bottom = Height;
    if (FirstLine > 0) Top = std::max(0, (LineToRow(FirstLine) - fTopLine) * fTextHeight);
    if (LastLine > 0) Bottom = std::min(Height, (LineToRow(LastLine) - fTopLine + 1) * fTextHeight);
    if (Bottom > Top) InvalidateRect(QRect(ALeft, Top, ARight - ALeft, Bottom - Top));
}

void TCustomLexEdit::InvalidateLines(int FirstLine, int LastLine) {
    InvalidateRows(FirstLine, LastLine, fGutterWidth, viewport()->width());
}

void TCustomLexEdit::InvalidateGutterLines(int FirstLine, int LastLine) {
    InvalidateRows(FirstLine, LastLine, 0, fGutterWidth);
}

void TCustomLexEdit::InvalidateSelection() {
    if (fBlockBegin == fBlockEnd) return;
    const TBufferCoord B = BlockBegin();
    const TBufferCoord E = BlockEnd();
    InvalidateLines(B.Line, E.Line);
}

void TCustomLexEdit::InvalidateAll() {
    InvalidateRect(viewport()->rect());
}

void TCustomLexEdit::FlushPendingInvalidation() {
    if (fPaintLock > 0 || fStateFlags.Contains(sfLinesChanging) || fInvalidateRect.isEmpty()) return;
    const QRect R = fInvalidateRect;
    fInvalidateRect = QRect();
    if (!fDestroying) viewport()->update(R);
}

// ---- text drawer --------------------------------------------------------------------------------

void TCustomLexEdit::SetTextDrawer(std::unique_ptr<TheTextDrawer> ADrawer) {
    if (!ADrawer) return;
    fTextDrawer = std::move(ADrawer);
    LexFontChanged();
}

// ---- paint entry ----------------------------------------------------------------------------

void TCustomLexEdit::paintEvent(QPaintEvent *AEvent) {
    common::Guarded([&] {
        QPainter Painter(viewport());
        Painter.fillRect(AEvent->rect(), ColorToQColor(fColor, palette()));
        // The input method's composition string, over the text at the caret.
        PaintPreedit(Painter);
        // The caret last, over everything.
        PaintCaret(Painter, AEvent->rect());
    });
}

} // namespace lexedit
