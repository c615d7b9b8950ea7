// SPDX-License-Identifier: MIT
// The editor's data object: building the QMimeData of a copy or a drag, and reading one.

#include "lexedit/LexEditDataObject.h"

#include "lexedit/LexEdit.h"

#include "LexEditPrivate.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexExportHTML.h"

#include <QMimeData>

#include <algorithm>
#include <exception>
#include <vector>

namespace lexedit {

QString LexEditClipboardFormat() {
    return QStringLiteral("application/x-internal-lexedit-clipboard-format");
}

TLexDataObjectContent ReadDataObject(const QMimeData *AData) {
    TLexDataObjectContent R;
    if (AData == nullptr) return R;
    // Qt also answers hasText() for data that holds only URLs.
    R.HasText = AData->hasFormat(QStringLiteral("text/plain"));
    if (!R.HasText) return R;
    R.Text = AData->text();
    const QByteArray Mode = AData->data(LexEditClipboardFormat());
    if (Mode.size() == 1 && uint8_t(Mode[0]) <= uint8_t(smColumn))
        R.Mode = TLexSelectionMode(uint8_t(Mode[0]));
    return R;
}

namespace {

// The pieces of the selection as GetSelText takes them, for the exporter.
std::vector<TLexExportRow> SelectionRows(const TCustomLexEdit &E) {
    std::vector<TLexExportRow> Rows;
    const TBufferCoord B = E.BlockBegin();
    const TBufferCoord End = E.BlockEnd();
    const int Count = E.Lines()->Count();
    switch (E.ActiveSelectionMode()) {
    case smNormal:
        for (int L = B.Line; L <= End.Line; ++L)
            Rows.push_back(
                {L, L == B.Line ? B.Char : 1, L == End.Line ? End.Char : INT_MAX, 0, L < End.Line});
        break;
    case smLine:
        for (int L = B.Line; L <= End.Line; ++L)
            Rows.push_back({L, 1, INT_MAX, 0, L < End.Line || L < Count});
        break;
    case smColumn: {
        const TDisplayCoord DB = E.BufferToDisplayPos(B);
        const TDisplayCoord DE = E.BufferToDisplayPos(End);
        const int Left = std::min(DB.Column, DE.Column);
        const int Right = std::max(DB.Column, DE.Column);
        const int FirstRow = std::min(DB.Row, DE.Row);
        const int LastRow = std::max(DB.Row, DE.Row);
        for (int Row = FirstRow; Row <= LastRow; ++Row) {
            const int L = E.RowToLine(Row);
            const int Len = L >= 1 && L <= Count ? E.Lines()->LineCharLength(L - 1) : 0;
            int From = 0;
            int To = 0;
            E.ColumnRowRange(L, Left, Right, From, To);
            const int Missing = E.Options().Contains(eoTrimTrailingSpaces) ? 0 : To - std::max(From, Len + 1);
            Rows.push_back({L, From, std::min(To, Len + 1), std::max(0, Missing), Row < LastRow});
        }
        break;
    }
    }
    return Rows;
}

} // namespace

std::unique_ptr<QMimeData> TCustomLexEdit::CreateDataObject(const QString &SText) const {
    auto Data = std::make_unique<QMimeData>();
    Data->setText(SText);
    Data->setData(LexEditClipboardFormat(), QByteArray(1, char(fPriv->fActiveSelectionMode)));
    if (fPriv->fHighlighter == nullptr || !SelAvail()) return Data;
    // The HTML flavour is optional: whatever goes wrong with it, the text is still copied.
    try {
        TLexExporterHTML X;
        X.SetHighlighter(fPriv->fHighlighter);
        X.SetInlineStyles(true);
        X.SetUseBackground(fPriv->fHTMLCopyUseBackground);
        if (fPriv->fHTMLCopyUseBackground) X.SetColor(fPriv->fColor);
        X.SetPalette(palette());
        TLexExportFont Font = X.Font();
        Font.Name = font().family();
        if (font().pointSize() > 0) Font.Size = font().pointSize();
        X.SetFont(Font);
        const std::vector<TLexExportRow> Rows = SelectionRows(*this);
        // The ranges stored in the buffer are the highlighter's: the first line starts from the
        // range of the line above it.
        std::optional<TLexRange> StartRange;
        const int First = Rows.empty() ? 1 : Rows.front().Line;
        if (First == 1) {
            fPriv->fHighlighter->ResetRange();
            StartRange = fPriv->fHighlighter->GetRange();
        } else if (First - 2 < fPriv->fLines->Count() && fPriv->fLines->GetRange(First - 2) != NullRange) {
            StartRange = fPriv->fLines->GetRange(First - 2);
        }
        X.ExportRows(*fPriv->fLines, Rows, StartRange);
        Data->setData(QStringLiteral("text/html"), X.HtmlUtf8());
    } catch (const std::exception &) {
        Data->removeFormat(QStringLiteral("text/html"));
    }
    return Data;
}

} // namespace lexedit
