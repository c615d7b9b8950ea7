// The clipboard commands: copying and cutting the selected text, pasting text at the caret.
//
// The text goes to the clipboard as plain text together with the selection mode it was selected
// in (one byte, the mode's ordinal, under a format of the editor's own), so that a column block
// pasted into an editor of this process goes in as a column and selected lines as lines. Text
// without that format pastes in the editor's selection mode.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditUndo.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace lexedit {

namespace {

// The "Internal LexEdit clipboard format": the selection mode of the copied text.
const QString SelectionModeFormat = QStringLiteral("application/x-internal-lexedit-clipboard-format");

} // namespace

void TCustomLexEdit::DoCopyToClipboard(const QString &SText) {
    QClipboard *C = QGuiApplication::clipboard();
    if (C == nullptr) return;
    auto *Data = new QMimeData;
    Data->setText(SText);
    Data->setData(SelectionModeFormat, QByteArray(1, char(fActiveSelectionMode)));
    C->setMimeData(Data); // the clipboard owns it
}

void TCustomLexEdit::CopyToClipboard() {
    if (!SelAvail()) return;
    // The rows of a column block keep the blanks that pad the shorter ones.
    const bool Trim = fActiveSelectionMode == smColumn && fOptions.Contains(eoTrimTrailingSpaces);
    if (Trim) fOptions.Exclude(eoTrimTrailingSpaces);
    QString Text;
    try {
        Text = GetSelText();
    } catch (...) {
        if (Trim) fOptions.Include(eoTrimTrailingSpaces);
        throw;
    }
    if (Trim) fOptions.Include(eoTrimTrailingSpaces);
    DoCopyToClipboard(Text);
}

void TCustomLexEdit::CutToClipboard() {
    if (GetReadOnly() || !SelAvail()) return;
    TUndoBlockGuard Block(*fUndoRedo);
    DoCopyToClipboard(GetSelText());
    SetSelText(QString());
}

bool TCustomLexEdit::CanPaste() const {
    if (GetReadOnly()) return false;
    const QClipboard *C = QGuiApplication::clipboard();
    const QMimeData *Data = C != nullptr ? C->mimeData() : nullptr;
    return Data != nullptr && Data->hasText();
}

void TCustomLexEdit::PasteFromClipboard() {
    if (!CanPaste()) return;
    const QMimeData *Data = QGuiApplication::clipboard()->mimeData();
    TLexSelectionMode PasteMode = fSelectionMode;
    if (Data->hasFormat(SelectionModeFormat)) {
        const QByteArray Mode = Data->data(SelectionModeFormat);
        if (!Mode.isEmpty() && uint8_t(Mode[0]) <= uint8_t(smColumn)) PasteMode = TLexSelectionMode(Mode[0]);
    }
    const QString Text = Data->text();
    if (Text.isEmpty()) return;
    DoOnPaintTransient(ttBefore);
    {
        TUndoBlockGuard Block(*fUndoRedo);
        SetSelTextPrimitiveEx(PasteMode, Text);
    }
    EnsureCursorPosVisible();
    StatusChanged({scSelection});
    DoOnPaintTransient(ttAfter);
}

} // namespace lexedit
