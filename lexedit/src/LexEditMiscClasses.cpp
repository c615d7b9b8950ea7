// SPDX-License-Identifier: MIT
// The mark list of the editor, the picture holder of the continuation glyph and the references
// to search engines.

#include "lexedit/LexEditMiscClasses.h"

#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditOptions.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QPainter>

#include <algorithm>
#include <cstdint>

namespace lexedit {

// ---- TLexEditMark --------------------------------------------------------------------------

TLexEditMarkList *TLexEditMark::List() const {
    return fOwner.fList != nullptr && fOwner.fList->Holds(this) ? fOwner.fList : nullptr;
}

void TLexEditMark::RepaintLine(int ALine) const {
    if (TLexEditMarkList *L = List()) L->Changed(ALine, ALine);
}

void TLexEditMark::SetLine(int Value) {
    if (Value == Line) return;
    const int Old = Line;
    Line = Value;
    if (!Visible) return;
    if (Old > 0) RepaintLine(Old);
    RepaintLine(Value);
}

void TLexEditMark::SetImageIndex(int Value) {
    if (Value == ImageIndex) return;
    ImageIndex = Value;
    if (Visible) RepaintLine(Line);
}

void TLexEditMark::SetInternalImage(bool Value) {
    if (Value == InternalImage) return;
    InternalImage = Value;
    if (Visible) RepaintLine(Line);
}

void TLexEditMark::SetVisible(bool Value) {
    if (Value == Visible) return;
    Visible = Value;
    RepaintLine(Line);
}

// ---- TLexEditMarkList ------------------------------------------------------------------------

TLexEditMark &TLexEditMarkList::Items(int Index) {
    if (Index < 0 || Index >= Count())
        throw ELexEdit(QStringLiteral("Mark index out of range (%1)").arg(Index));
    return FItems[size_t(Index)];
}

const TLexEditMark &TLexEditMarkList::Items(int Index) const {
    return const_cast<TLexEditMarkList *>(this)->Items(Index);
}

bool TLexEditMarkList::Holds(const TLexEditMark *AMark) const {
    // Compared as addresses: the marks of the list lie side by side.
    const auto Address = reinterpret_cast<std::uintptr_t>(AMark);
    const auto First = reinterpret_cast<std::uintptr_t>(FItems.data());
    return !FItems.empty() && Address >= First && Address < First + FItems.size() * sizeof(TLexEditMark);
}

TLexEditMark &TLexEditMarkList::Add(const TLexEditMark &AMark) {
    FItems.push_back(AMark);
    TLexEditMark &Added = FItems.back();
    Added.fOwner.fList = this;
    Changed(Added.Line, Added.Line);
    return FItems.back();
}

void TLexEditMarkList::Delete(int Index) {
    const int Line = Items(Index).Line; // range check
    FItems.erase(FItems.begin() + Index);
    Changed(Line, Line);
}

void TLexEditMarkList::Clear() {
    if (FItems.empty()) return;
    FItems.clear();
    Changed(-1, -1);
}

void TLexEditMarkList::ClearLine(int ALine) {
    const size_t Before = FItems.size();
    FItems.erase(std::remove_if(FItems.begin(), FItems.end(),
                                [ALine](const TLexEditMark &M) { return M.Line == ALine; }),
                 FItems.end());
    if (FItems.size() != Before) Changed(ALine, ALine);
}

std::vector<TLexEditMark *> TLexEditMarkList::GetMarksForLine(int ALine) {
    std::vector<TLexEditMark *> Result;
    for (TLexEditMark &M : FItems)
        if (M.Line == ALine) Result.push_back(&M);
    return Result;
}

void TLexEditMarkList::LinesInserted(int AFirstLine, int ACount) {
    bool Moved = false;
    for (TLexEditMark &M : FItems) {
        if (M.Line >= AFirstLine) {
            M.Line += ACount;
            Moved = true;
        }
    }
    if (Moved) Changed(AFirstLine, -1);
}

void TLexEditMarkList::LinesDeleted(int AFirstLine, int ACount) {
    bool Moved = false;
    for (TLexEditMark &M : FItems) {
        if (M.Line >= AFirstLine + ACount) {
            M.Line -= ACount;
            Moved = true;
        } else if (M.Line >= AFirstLine) {
            // A mark of a deleted line goes to the line above the deletion.
            M.Line = std::max(1, AFirstLine - 1);
            Moved = true;
        }
    }
    if (Moved) Changed(std::max(1, AFirstLine - 1), -1);
}

void TLexEditMarkList::Changed(int FirstLine, int LastLine) {
    if (OnChange) OnChange(FirstLine, LastLine);
}

} // namespace lexedit

// ---- TLexGlyph -------------------------------------------------------------------------------------

namespace lexedit {

namespace {

// The continuation-row arrow: a line coming down on the right and turning left into an
// arrowhead, in dark blue on a transparent ground.
QImage WrappedPicture() {
    constexpr int W = 15, H = 14;
    QImage Image(W, H, QImage::Format_ARGB32_Premultiplied);
    Image.fill(Qt::transparent);
    const QRgb Ink = qRgba(0x1F, 0x3F, 0x8F, 0xFF);
    const auto Dot = [&](int X, int Y) {
        if (X >= 0 && X < W && Y >= 0 && Y < H) Image.setPixel(X, Y, Ink);
    };
    for (int Y = 2; Y <= 9; ++Y) {
        Dot(11, Y);
        Dot(12, Y);
    }
    for (int X = 3; X <= 12; ++X) {
        Dot(X, 9);
        Dot(X, 10);
    }
    for (int i = 0; i <= 3; ++i) // the arrowhead at the left end, pointing left
        for (int Y = 9 - i; Y <= 10 + i; ++Y)
            Dot(1 + i, Y);
    return Image;
}

} // namespace

TLexGlyph::TLexGlyph(const QString &aName) {
    if (aName == QLatin1String("LexEditWrapped")) fInternalGlyph = WrappedPicture();
}

void TLexGlyph::Changed() {
    if (OnChange) OnChange();
}

void TLexGlyph::Assign(const TLexGlyph &Source) {
    fVisible = Source.fVisible;
    fGlyph = Source.fGlyph;
    fInternalGlyph = Source.fInternalGlyph;
    Changed();
}

void TLexGlyph::SetGlyph(const QImage &Value) {
    fGlyph = Value;
    Changed();
}

void TLexGlyph::SetVisible(bool Value) {
    if (Value == fVisible) return;
    fVisible = Value;
    Changed();
}

int TLexGlyph::Width() const {
    return Picture().isNull() ? 0 : Picture().width();
}

int TLexGlyph::Height() const {
    return Picture().isNull() ? 0 : Picture().height();
}

void TLexGlyph::Draw(QPainter &aCanvas, int aX, int aY, int aLineHeight) const {
    const QImage &P = Picture();
    if (P.isNull()) return;
    if (aLineHeight >= P.height())
        aCanvas.drawImage(QPoint(aX, aY + (aLineHeight - P.height()) / 2), P);
    else
        aCanvas.drawImage(QPoint(aX, aY), P,
                          QRect(0, (P.height() - aLineHeight) / 2, P.width(), aLineHeight));
}

void TLexGlyph::ChangeScale(int M, int D) {
    if (M == D || D == 0) return;
    const auto Scale = [M, D](QImage &I) {
        if (I.isNull()) return;
        const int W = MulDiv(I.width(), M, D);
        const int H = MulDiv(I.height(), M, D);
        if (W > 0 && H > 0) I = I.scaled(W, H, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    };
    Scale(fInternalGlyph);
    Scale(fGlyph);
}

// ---- search engine references -----------------------------------------------------------------

void TLexSearchEngineRef::Set(TLexEditSearchCustom *AEngine) {
    if (AEngine == fEngine) return;
    if (fEngine != nullptr) {
        auto &Refs = fEngine->fRefs;
        Refs.erase(std::remove(Refs.begin(), Refs.end(), this), Refs.end());
    }
    fEngine = AEngine;
    if (fEngine != nullptr) fEngine->fRefs.push_back(this);
}

long long TLexEditSearchCustom::FindAllLines(const TLexEditStringList &ALines, int AFirst, int ALast,
                                             const std::function<bool(int, int)> &AFound) {
    long long Total = 0;
    QLatin1String Bytes;
    for (int i = std::max(AFirst, 0); i <= ALast && i < ALines.Count(); ++i) {
        const int n = ALines.GetLatin1(i, Bytes) ? FindAllLatin1(Bytes) : FindAll(ALines.Get(i));
        if (n == 0) continue;
        Total += n;
        if (!AFound(i, n)) break;
    }
    return Total;
}

TLexEditSearchCustom::~TLexEditSearchCustom() {
    for (TLexSearchEngineRef *Ref : fRefs)
        Ref->fEngine = nullptr;
}

} // namespace lexedit
