// SPDX-License-Identifier: MIT
#include "DiffView.h"

#include "FindBar.h"
#include "LineMarks.h"
#include "OutputDiff.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QBoxLayout>
#include <QLabel>
#include <QSplitter>

#include <algorithm>

namespace app {

TDiffView::TDiffView(lexedit::TLexCustomHighlighter *AHighlighter, const QFont &AFont,
                     const QFont &AGutterFont, QWidget *AParent)
    : QWidget(AParent) {
    Caption = new QLabel(this);
    Caption->setContentsMargins(4, 2, 4, 2);
    Caption->setTextInteractionFlags(Qt::TextSelectableByMouse);
    Memo = new lexedit::TLexEdit(this);
    Memo->SetEditorFont(AFont);
    Memo->SetUseCodeFolding(false);
    Memo->Gutter().SetFont(AGutterFont);
    Memo->Gutter().SetShowLineNumbers(true);
    Memo->Gutter().SetAutoSize(true);
    Memo->SetHighlighter(AHighlighter);
    Memo->SetReadOnly(true); // a kept run is looked at, never changed
    FMarks = std::make_unique<TLineMarks>(Memo);
    Memo->OnSpecialLineColors = [this](lexedit::TCustomLexEdit *, int ALine, bool &ASpecial,
                                       lexedit::TColor &AForeground, lexedit::TColor &ABackground) {
        const TLineMarkKind kind = FMarks->Kind(ALine);
        if (kind != lmRemoved && kind != lmAdded) return;
        ASpecial = true;
        AForeground = lexedit::TColor(0); // $00BBGGRR
        ABackground = kind == lmRemoved ? lexedit::TColor(0xE0 << 16 | 0xE0 << 8 | 0xFF)
                                        : lexedit::TColor(0xD8 << 16 | 0xF5 << 8 | 0xD8);
    };
    FFindBar = new TFindBar(Memo, false, this);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Caption);
    layout->addWidget(Memo, 1);
    layout->addWidget(FFindBar);
}

// The marks (a member) go before the editor they watch (a child).
TDiffView::~TDiffView() = default;

void TDiffView::ShowOutput(const QString &ACaption, const QByteArray &AOutput) {
    FMarks->Clear();
    FChanges.clear();
    FShowsDiff = false;
    QByteArray text = AOutput;
    if (text.endsWith('\n')) text.chop(1); // the last line's LF ends it; it adds no line
    Memo->Lines()->LoadFromBytes(std::move(text), lexedit::seUTF8);
    Memo->SetCaretXY(lexedit::BufferCoord(1, 1));
    Caption->setText(ACaption);
}

void TDiffView::ShowDiff(const QString &ACaption, const QByteArray &AOld, const QByteArray &ANew) {
    TOutputDiff::TMerged merged = TOutputDiff::Compare(AOld, ANew).Merged(AOld, ANew);
    FMarks->Clear();
    Memo->Lines()->LoadFromBytes(std::move(merged.Text), lexedit::seUTF8);
    for (const int line : merged.Removed)
        FMarks->Set(line, lmRemoved);
    for (const int line : merged.Added)
        FMarks->Set(line, lmAdded);
    FChanges = std::move(merged.Changes);
    FShowsDiff = true;
    Caption->setText(QStringLiteral("%1 \u2014 %2")
                         .arg(ACaption, FChanges.empty()
                                            ? QStringLiteral("the same output")
                                            : QStringLiteral("%1 %2 (F7, Shift+F7)")
                                                  .arg(FChanges.size())
                                                  .arg(FChanges.size() == 1 ? QStringLiteral("change")
                                                                            : QStringLiteral("changes"))));
    Memo->SetCaretXY(lexedit::BufferCoord(1, 1));
    if (!FChanges.empty()) GoToChange(true);
    Memo->viewport()->update(); // the marks and line colours came after the text
}

bool TDiffView::GoToChange(bool AForward) {
    if (FChanges.empty()) return false;
    const int caret = Memo->CaretXY().Line;
    int target;
    if (AForward) {
        const auto next = std::upper_bound(FChanges.begin(), FChanges.end(), caret);
        target = next == FChanges.end() ? FChanges.front() : *next;
    } else {
        const auto next = std::lower_bound(FChanges.begin(), FChanges.end(), caret);
        target = next == FChanges.begin() ? FChanges.back() : *(next - 1);
    }
    Memo->SetCaretXY(lexedit::BufferCoord(1, target));
    Memo->EnsureCursorPosVisibleEx(true);
    return true;
}

void LayOutOverDiffView(QWidget &APanel, QWidget *AList, std::initializer_list<QWidget *> ARow,
                        TDiffView *AView) {
    auto *top = new QWidget(&APanel);
    auto *topLayout = new QVBoxLayout(top);
    topLayout->setContentsMargins(0, 0, 0, 0);
    topLayout->addWidget(AList, 1);
    auto *row = new QHBoxLayout;
    for (QWidget *widget : ARow)
        row->addWidget(widget, widget == *ARow.begin() ? 1 : 0);
    topLayout->addLayout(row);
    auto *split = new QSplitter(Qt::Vertical, &APanel);
    split->setChildrenCollapsible(false);
    split->addWidget(top);
    split->addWidget(AView);
    split->setSizes({120, 240});
    auto *layout = new QVBoxLayout(&APanel);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(split);
}

} // namespace app
