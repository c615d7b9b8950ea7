// SPDX-License-Identifier: MIT
#include "FileView.h"

#include "FindBar.h"
#include "LineMarks.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QBoxLayout>

#include <algorithm>

namespace app {

TFileView::TFileView(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont,
                     const QFont &AGutterFont, QWidget *AParent)
    : QWidget(AParent) {
    setObjectName(QStringLiteral("FileSheet"));
    Memo = new lexedit::TLexEdit(this);
    Memo->setObjectName(QStringLiteral("FileMemo"));
    Memo->SetEditorFont(AFont);
    Memo->SetUseCodeFolding(false);
    Memo->Gutter().SetFont(AGutterFont);
    Memo->Gutter().SetShowLineNumbers(true);
    Memo->Gutter().SetAutoSize(true);
    Memo->SetHighlighter(AHighlighter);
    // Shown to be read, never edited: the window saves no file but the script.
    Memo->SetReadOnly(true);
    FMarks = std::make_unique<TLineMarks>(Memo);
    FindBar = new TFindBar(Memo, false, this);
    FindBar->setObjectName(QStringLiteral("FileFindBar"));
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Memo);
    layout->addWidget(FindBar);
}

// The marks (a member) go before the editor they watch (a child).
TFileView::~TFileView() = default;

void TFileView::ShowFile(const QString &AFileName, int ALine) {
    lexedit::TLexEditStringList &lines = *Memo->Lines();
    lines.LoadFromFile(AFileName); // throws before anything changed when the file cannot be opened
    FFileName = AFileName;
    const int line = std::clamp(ALine, 1, std::max(1, lines.Count()));
    FMarks->Clear();
    FMarks->Set(line, lmJumpTarget);
    Memo->SetCaretXY(lexedit::BufferCoord(1, line));
    Memo->EnsureCursorPosVisibleEx(true);
    FMarks->RepaintGutter();
}

} // namespace app
