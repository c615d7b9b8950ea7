// The clipboard commands with plain text: copying and cutting the selected text, pasting text
// as a normal insert.

#include "lexedit/LexEdit.h"

#include "lexedit/LexEditUndo.h"

#include <QClipboard>
#include <QGuiApplication>

namespace lexedit {

void TCustomLexEdit::CopyToClipboard() {
    if (!SelAvail()) return;
    if (QClipboard *C = QGuiApplication::clipboard()) C->setText(SelText());
}

void TCustomLexEdit::CutToClipboard() {
    if (GetReadOnly() || !SelAvail()) return;
    CopyToClipboard();
    SetSelText(QString());
}

void TCustomLexEdit::PasteFromClipboard() {
    if (GetReadOnly()) return;
    QClipboard *C = QGuiApplication::clipboard();
    if (C == nullptr) return;
    const QString Text = C->text();
    if (Text.isEmpty()) return;
    TUndoBlockGuard Block(*fUndoRedo);
    SetSelTextPrimitiveEx(smNormal, Text);
    EnsureCursorPosVisible();
}

} // namespace lexedit
