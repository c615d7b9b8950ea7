// The view: the first visible line and column with their clamps, keeping the caret in view, the
// scroll bars, and the cell and window size in cells.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexTextDrawer.h"

#include <QResizeEvent>
#include <QScrollBar>

#include <algorithm>

namespace lexedit {

// ---- top line and left column -------------------------------------------------------------

void TCustomLexEdit::SetTopLine(int Value) {
    const int Count = DisplayLineCount();
    const int Max =
        fOptions.Contains(eoScrollPastEof) ? std::max(Count, 1) : std::max(Count - fLinesInWindow + 1, 1);
    Value = MinMax(Value, 1, Max);
    if (Value == fTopLine) return;
    fTopLine = Value;
    InvalidateAll();
    fStateFlags.Include(sfScrollbarChanged);
    StatusChanged({scTopLine});
}

void TCustomLexEdit::SetLeftChar(int Value) {
    int Max = 65535;
    if (!fOptions.Contains(eoScrollPastEol))
        Max = std::max(fLines->LengthOfLongestLine() - fCharsInWindow + 1, 1);
    Value = MinMax(Value, 1, Max);
    if (Value == fLeftChar) return;
    fLeftChar = Value;
    fTextOffset = fGutterWidth + 2 - (fLeftChar - 1) * fCharWidth;
    InvalidateAll();
    fStateFlags.Include(sfScrollbarChanged);
    StatusChanged({scLeftChar});
}

void TCustomLexEdit::EnsureCursorPosVisible() {
    TUpdateGuard Lock(*this);
    const TDisplayCoord P = DisplayXY();
    if (P.Column < fLeftChar)
        SetLeftChar(P.Column);
    else if (P.Column >= fLeftChar + fCharsInWindow)
        SetLeftChar(P.Column - fCharsInWindow + 1);
    if (P.Row < fTopLine)
        SetTopLine(P.Row);
    else if (P.Row > fTopLine + fLinesInWindow - 1)
        SetTopLine(P.Row - fLinesInWindow + 1);
}

void TCustomLexEdit::UpdateScrollBars() {
    fStateFlags.Exclude(sfScrollbarChanged);
    if (fDestroying) return;
    verticalScrollBar()->setRange(0, std::max(0, DisplayLineCount() - fLinesInWindow));
    verticalScrollBar()->setPageStep(std::max(1, fLinesInWindow));
    verticalScrollBar()->setValue(fTopLine - 1);
}

// ---- cell and window size -----------------------------------------------------------------

void TCustomLexEdit::RecalcCharExtent() {
    fCharWidth = fTextDrawer->CharWidth();
    fTextHeight = fTextDrawer->CharHeight() + fExtraLineSpacing;
}

void TCustomLexEdit::SizeOrFontChanged(bool bFont) {
    if (bFont) RecalcCharExtent();
    const int Width = std::max(0, viewport()->width() - fGutterWidth - 2);
    fCharsInWindow = fCharWidth > 0 ? std::max(1, Width / fCharWidth) : 1;
    fLinesInWindow = fTextHeight > 0 ? std::max(1, viewport()->height() / fTextHeight) : 1;
    fStateFlags.Include(sfScrollbarChanged);
    if (fPaintLock == 0) UpdateScrollBars();
    InvalidateAll();
}

void TCustomLexEdit::resizeEvent(QResizeEvent *AEvent) {
    QAbstractScrollArea::resizeEvent(AEvent);
    common::Guarded([this] { SizeOrFontChanged(false); });
}

} // namespace lexedit
