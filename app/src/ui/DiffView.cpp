// SPDX-License-Identifier: MIT
#include "DiffView.h"

#include "FindBar.h"
#include "LineMarks.h"
#include "OutputDiff.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QBoxLayout>
#include <QLabel>

#include <algorithm>

namespace app {

namespace {
// Appends lines [AFrom, ATo) of AText (split at ALineStarts), each after APrefix.
void AppendLines(QByteArray &AOut, const QByteArray &AText, const std::vector<qsizetype> &ALineStarts,
                 int AFrom, int ATo, const char *APrefix) {
    for (int i = AFrom; i < ATo; ++i) {
        const qsizetype start = ALineStarts[size_t(i)];
        qsizetype end = ALineStarts[size_t(i) + 1];
        if (end > start && AText[end - 1] == '\n') --end;
        AOut.append(APrefix, 2);
        AOut.append(AText.constData() + start, end - start);
        AOut.append('\n');
    }
}

// Where each line of AText starts, and the end as the last entry.
std::vector<qsizetype> LineStarts(const QByteArray &AText) {
    std::vector<qsizetype> starts{0};
    for (qsizetype at = AText.indexOf('\n'); at >= 0; at = AText.indexOf('\n', at + 1))
        starts.push_back(at + 1);
    if (starts.back() != AText.size()) starts.push_back(AText.size()); // a last line without LF
    return starts;
}
} // namespace

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
    const TOutputDiff diff = TOutputDiff::Compare(AOld, ANew);
    const std::vector<qsizetype> oldStarts = LineStarts(AOld);
    const std::vector<qsizetype> newStarts = LineStarts(ANew);
    const int oldLines = int(oldStarts.size()) - 1;
    QByteArray merged;
    merged.reserve(AOld.size() + ANew.size() / 8 + 2 * oldLines + 16);
    std::vector<std::pair<int, TLineMarkKind>> marks;
    FChanges.clear();
    int line = 0;    // lines of the merged text so far
    int oldNext = 0; // the next line of the old output to show
    for (const TDiffHunk &hunk : diff.Hunks()) {
        const int same = std::clamp(hunk.OldStart, oldNext, oldLines); // an empty range: where it goes
        AppendLines(merged, AOld, oldStarts, oldNext, same, "  ");
        line += same - oldNext;
        FChanges.push_back(line + 1);
        AppendLines(merged, AOld, oldStarts, hunk.OldStart, hunk.OldStart + hunk.OldCount, "- ");
        for (int i = 0; i < hunk.OldCount; ++i)
            marks.emplace_back(++line, lmRemoved);
        AppendLines(merged, ANew, newStarts, hunk.NewStart, hunk.NewStart + hunk.NewCount, "+ ");
        for (int i = 0; i < hunk.NewCount; ++i)
            marks.emplace_back(++line, lmAdded);
        oldNext = same + hunk.OldCount;
    }
    AppendLines(merged, AOld, oldStarts, oldNext, oldLines, "  ");
    if (merged.endsWith('\n')) merged.chop(1);
    FMarks->Clear();
    Memo->Lines()->LoadFromBytes(std::move(merged), lexedit::seUTF8);
    for (const auto &[at, kind] : marks)
        FMarks->Set(at, kind);
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

} // namespace app
