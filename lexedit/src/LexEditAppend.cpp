// SPDX-License-Identifier: MIT
// Output shown as it comes: lines added at the end and a line rewritten in place keep the user's
// selection and caret (a selection being made or made to copy from must survive a stream of
// output), and the view follows the end like a terminal. The following itself happens when the
// update lock ends (DecPaintLock), so that a caller holding the lock over a batch of lines moves
// the view once, judged by the end the user could see before the batch.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditTextBuffer.h"

namespace lexedit {

// A change of the lines collapses the selection onto the caret (LinesChanged). These changes move
// no text before or into the selection, so it is put back exactly as it was: the anchor, the
// moving end and the mode, also a block of no width (a column being dragged out straight down
// has one) whose anchor the collapse would lose. Ends on a line the change shortened are clamped
// to it.

void TCustomLexEdit::AppendLines(const QStringList &ALines) {
    if (ALines.isEmpty()) return;
    TUpdateGuard Lock(*this);
    if (fPriv->fFollowFromRow < 0) fPriv->fFollowFromRow = DisplayLineCount();
    const TBufferCoord Anchor = fPriv->fBlockBegin;
    const TBufferCoord End = fPriv->fBlockEnd;
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    fPriv->fLines->AddStrings(ALines);
    if (fPriv->fBlockBegin == Anchor && fPriv->fBlockEnd == End && fPriv->fActiveSelectionMode == Mode)
        return;
    fPriv->fBlockBegin = Anchor;
    fPriv->fBlockEnd = End;
    fPriv->fActiveSelectionMode = Mode;
    InvalidateSelection();
    StatusChanged({scSelection});
}

void TCustomLexEdit::ReplaceLine(int ALine, const QString &AText) {
    // Only a line that is there (the buffer's Put would add one after the last).
    if (ALine < 1 || ALine > fPriv->fLines->Count())
        throw ELexEditStringList(QStringLiteral("Invalid stringlist index %1").arg(ALine - 1));
    TUpdateGuard Lock(*this);
    if (fPriv->fFollowFromRow < 0) fPriv->fFollowFromRow = DisplayLineCount();
    const TBufferCoord Anchor = fPriv->fBlockBegin;
    const TBufferCoord End = fPriv->fBlockEnd;
    const TLexSelectionMode Mode = fPriv->fActiveSelectionMode;
    fPriv->fLines->Put(ALine - 1, AText);
    // The caret stays, within the line when that became shorter.
    if (fPriv->fCaretY == ALine && fPriv->fCaretX > fPriv->LineLength(ALine) + 1 &&
        !fPriv->fOptions.Contains(eoScrollPastEol))
        SetCaretXYEx(false, CaretXY());
    const TBufferCoord KeptAnchor = Anchor.Line == ALine ? fPriv->ClampBlockPos(Anchor) : Anchor;
    const TBufferCoord KeptEnd = End.Line == ALine ? fPriv->ClampBlockPos(End) : End;
    if (fPriv->fBlockBegin == KeptAnchor && fPriv->fBlockEnd == KeptEnd &&
        fPriv->fActiveSelectionMode == Mode)
        return;
    fPriv->fBlockBegin = KeptAnchor;
    fPriv->fBlockEnd = KeptEnd;
    fPriv->fActiveSelectionMode = Mode;
    InvalidateSelection();
    StatusChanged({scSelection});
}

} // namespace lexedit
