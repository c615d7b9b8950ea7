// SPDX-License-Identifier: MIT
#include "LineMarks.h"

#include "lexedit/LexEdit.h"

#include <QPainter>
#include <QPainterPath>

#include <algorithm>

namespace app {

TLineMarks::TLineMarks(lexedit::TCustomLexEdit *AEditor)
    : lexedit::TLexEditPlugin(AEditor,
                              {lexedit::phLinesInserted, lexedit::phLinesDeleted, lexedit::phAfterPaint}) {}

std::vector<std::pair<int, TLineMarkKind>>::iterator TLineMarks::LowerBound(int ALine) {
    return std::lower_bound(
        FMarks.begin(), FMarks.end(), ALine,
        [](const std::pair<int, TLineMarkKind> &AMark, int ALineNo) { return AMark.first < ALineNo; });
}

std::vector<std::pair<int, TLineMarkKind>>::const_iterator TLineMarks::LowerBound(int ALine) const {
    return std::lower_bound(
        FMarks.begin(), FMarks.end(), ALine,
        [](const std::pair<int, TLineMarkKind> &AMark, int ALineNo) { return AMark.first < ALineNo; });
}

void TLineMarks::Set(int ALine, TLineMarkKind AKind) {
    auto it = LowerBound(ALine);
    const bool present = it != FMarks.end() && it->first == ALine;
    if (present) --FCounts[it->second];
    if (AKind == lmNone) {
        if (present) FMarks.erase(it);
        return;
    }
    ++FCounts[AKind];
    if (present)
        it->second = AKind;
    else
        FMarks.insert(it, {ALine, AKind});
}

TLineMarkKind TLineMarks::Kind(int ALine) const {
    const auto it = LowerBound(ALine);
    return it != FMarks.end() && it->first == ALine ? it->second : lmNone;
}

int TLineMarks::LastOf(TLineMarkKind AKind) const {
    if (FCounts[AKind] == 0) return 0;
    for (auto it = FMarks.rbegin(); it != FMarks.rend(); ++it)
        if (it->second == AKind) return it->first;
    return 0;
}

int TLineMarks::NextOf(int ALine, bool AForward, std::initializer_list<TLineMarkKind> AKinds) const {
    const auto wanted = [&](const std::pair<int, TLineMarkKind> &AMark) {
        return std::find(AKinds.begin(), AKinds.end(), AMark.second) != AKinds.end();
    };
    if (FMarks.empty()) return 0;
    if (AForward) {
        // From the first mark after ALine to the end, then from the start up to ALine.
        const auto from = LowerBound(ALine + 1);
        auto it = std::find_if(from, FMarks.end(), wanted);
        if (it == FMarks.end()) it = std::find_if(FMarks.begin(), from, wanted);
        return it != FMarks.end() && wanted(*it) ? it->first : 0;
    }
    const auto before = std::make_reverse_iterator(LowerBound(ALine));
    auto it = std::find_if(before, FMarks.rend(), wanted);
    if (it == FMarks.rend()) it = std::find_if(FMarks.rbegin(), before, wanted);
    return it != FMarks.rend() && wanted(*it) ? it->first : 0;
}

void TLineMarks::Clear() {
    FMarks.clear();
    std::fill(std::begin(FCounts), std::end(FCounts), 0);
}

void TLineMarks::RepaintGutter() {
    if (lexedit::TCustomLexEdit *editor = Owner())
        editor->viewport()->update(QRect(0, 0, editor->GutterWidth(), editor->viewport()->height()));
}

void TLineMarks::LinesInserted(int FirstLine, int Count) {
    // Lines inserted at 0-based FirstLine push down the line that was there (1-based FirstLine + 1).
    for (auto it = LowerBound(FirstLine + 1); it != FMarks.end(); ++it)
        it->first += Count;
}

void TLineMarks::LinesDeleted(int FirstLine, int Count) {
    const auto from = LowerBound(FirstLine + 1);
    const auto to = LowerBound(FirstLine + 1 + Count);
    for (auto it = from; it != to; ++it)
        --FCounts[it->second];
    const auto rest = FMarks.erase(from, to);
    for (auto it = rest; it != FMarks.end(); ++it)
        it->first -= Count;
}

QColor TLineMarks::ColorOf(TLineMarkKind AKind) {
    switch (AKind) {
    case lmError:
        return QColor(0xD0, 0x21, 0x1B);
    case lmWarning:
        return QColor(0xE8, 0x9A, 0x0C);
    case lmNote:
        return QColor(0x8A, 0x8A, 0x8A);
    case lmPending:
        return QColor(0x6D, 0x6D, 0x6D);
    case lmInput:
        return QColor(0x1A, 0x5F, 0xB4);
    case lmJumpTarget:
    case lmRemoved:
        return QColor(0xD0, 0x21, 0x1B);
    case lmAdded:
        return QColor(0x2E, 0x8B, 0x2E);
    case lmNone:
        break;
    }
    return QColor();
}

void TLineMarks::AfterPaint(QPainter &ACanvas, const QRect &AClip, int FirstRow, int LastRow) {
    lexedit::TCustomLexEdit *editor = Owner();
    if (!editor || FMarks.empty() || AClip.left() >= editor->GutterWidth()) return;
    const int firstLine = editor->RowToLine(FirstRow);
    const int lastLine = editor->RowToLine(LastRow);
    const int h = editor->LineHeight();
    const int size = std::max(6, std::min(h - 4, 10));
    ACanvas.save();
    ACanvas.setRenderHint(QPainter::Antialiasing);
    ACanvas.setClipRect(AClip.intersected(QRect(0, AClip.top(), editor->GutterWidth(), AClip.height())));
    for (auto it = LowerBound(firstLine); it != FMarks.end() && it->first <= lastLine; ++it) {
        const int y = (editor->LineToRow(it->first) - editor->TopLine()) * h;
        const QRectF box(3, y + (h - size) / 2.0, size, size);
        const QColor colour = ColorOf(it->second);
        ACanvas.setPen(Qt::NoPen);
        ACanvas.setBrush(colour);
        switch (it->second) {
        case lmError:
            ACanvas.drawEllipse(box);
            break;
        case lmWarning: {
            QPainterPath triangle;
            triangle.moveTo(box.center().x(), box.top());
            triangle.lineTo(box.right(), box.bottom());
            triangle.lineTo(box.left(), box.bottom());
            triangle.closeSubpath();
            ACanvas.drawPath(triangle);
            break;
        }
        case lmNote:
            ACanvas.drawEllipse(box.adjusted(2, 2, -2, -2));
            break;
        case lmPending:
            // Three dots: the line is still being written.
            for (int i = 0; i < 3; ++i)
                ACanvas.drawEllipse(QRectF(box.left() + i * size / 3.0, box.center().y() - 1, 2.2, 2.2));
            break;
        case lmInput:
        case lmJumpTarget: {
            QPainterPath arrow;
            arrow.moveTo(box.left(), box.top());
            arrow.lineTo(box.right(), box.center().y());
            arrow.lineTo(box.left(), box.bottom());
            arrow.closeSubpath();
            ACanvas.drawPath(arrow);
            break;
        }
        case lmRemoved: // a minus
            ACanvas.drawRect(QRectF(box.left(), box.center().y() - 1, box.width(), 2));
            break;
        case lmAdded: // a plus
            ACanvas.drawRect(QRectF(box.left(), box.center().y() - 1, box.width(), 2));
            ACanvas.drawRect(QRectF(box.center().x() - 1, box.top(), 2, box.height()));
            break;
        case lmNone:
            break;
        }
    }
    ACanvas.restore();
}

} // namespace app
