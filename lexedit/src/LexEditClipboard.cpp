// SPDX-License-Identifier: MIT
// The clipboard commands: copying and cutting the selected text, pasting text at the caret.
//
// The clipboard gets the editor's data object (LexEditDataObject.h): the text, the selection
// mode it was selected in, so that a column block pasted into an editor of this process goes in
// as a column and selected lines as lines, and with a highlighter an HTML flavour. Text without
// a valid mode byte pastes in the editor's selection mode.

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"

#include "lexedit/LexEditDataObject.h"
#include "lexedit/LexEditUndo.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace lexedit {

void TCustomLexEdit::DoCopyToClipboard(const QString &SText) {
    QClipboard *C = QGuiApplication::clipboard();
    if (C == nullptr) return;
    C->setMimeData(CreateDataObject(SText).release()); // the clipboard owns it
}

QString TLexEditPrivate::SelTextForCopy() {
    // The rows of a column block keep the blanks that pad the shorter ones.
    const bool Trim = fActiveSelectionMode == smColumn && fOptions.Contains(eoTrimTrailingSpaces);
    if (!Trim) return Ed.GetSelText();
    fOptions.Exclude(eoTrimTrailingSpaces);
    QString Text;
    try {
        Text = Ed.GetSelText();
    } catch (...) {
        fOptions.Include(eoTrimTrailingSpaces);
        throw;
    }
    fOptions.Include(eoTrimTrailingSpaces);
    return Text;
}

void TCustomLexEdit::CopyToClipboard() {
    if (!SelAvail()) return;
    const bool Trim =
        fPriv->fActiveSelectionMode == smColumn && fPriv->fOptions.Contains(eoTrimTrailingSpaces);
    // The HTML flavour pads the rows as the text does.
    if (Trim) fPriv->fOptions.Exclude(eoTrimTrailingSpaces);
    try {
        DoCopyToClipboard(GetSelText());
    } catch (...) {
        if (Trim) fPriv->fOptions.Include(eoTrimTrailingSpaces);
        throw;
    }
    if (Trim) fPriv->fOptions.Include(eoTrimTrailingSpaces);
}

void TCustomLexEdit::CutToClipboard() {
    if (GetReadOnly() || !SelAvail()) return;
    TUndoBlockGuard Block(*fPriv->fUndoRedo);
    DoCopyToClipboard(GetSelText());
    SetSelText(QString());
}

bool TCustomLexEdit::CanPaste() const {
    if (GetReadOnly()) return false;
    const QClipboard *C = QGuiApplication::clipboard();
    const QMimeData *Data = C != nullptr ? C->mimeData() : nullptr;
    // Qt answers hasText() also for data holding only URLs.
    return Data != nullptr && Data->hasFormat(QStringLiteral("text/plain"));
}

void TCustomLexEdit::PasteFromClipboard() {
    if (!CanPaste()) return;
    // The text and its mode from one snapshot of the clipboard.
    const TLexDataObjectContent Content = ReadDataObject(QGuiApplication::clipboard()->mimeData());
    if (!Content.HasText || Content.Text.isEmpty()) return;
    const TLexSelectionMode PasteMode = Content.Mode ? *Content.Mode : fPriv->fSelectionMode;
    QString Text = Content.Text;
    // Lines copied from an editor paste as whole lines, also the last line of a text, which was
    // copied without a line break.
    if (Content.Mode == smLine && !Text.endsWith(QLatin1Char('\n')) && !Text.endsWith(QLatin1Char('\r')))
        Text += QStringLiteral("\r\n");
    DoOnPaintTransient(ttBefore);
    {
        TUndoBlockGuard Block(*fPriv->fUndoRedo);
        SetSelTextPrimitiveEx(PasteMode, Text);
    }
    EnsureCursorPosVisible();
    StatusChanged({scSelection});
    DoOnPaintTransient(ttAfter);
}

} // namespace lexedit
