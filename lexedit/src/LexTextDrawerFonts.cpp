// SPDX-License-Identifier: MIT
// Font variants of the text drawer: the drawing-ready variant, the process-wide sharing of
// variants between equal base fonts, and the font stock.

#include "lexedit/LexTextDrawer.h"

#include "common/Exception.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QTextLayout>

#include <algorithm>
#include <cmath>

namespace lexedit {

TFontStyles FontStylesOf(const QFont &AFont) {
    TFontStyles s;
    if (AFont.weight() >= QFont::Bold) s.Include(fsBold);
    if (AFont.italic()) s.Include(fsItalic);
    if (AFont.underline()) s.Include(fsUnderline);
    if (AFont.strikeOut()) s.Include(fsStrikeOut);
    return s;
}

QFont FontWithStyles(const QFont &AFont, TFontStyles AStyles) {
    QFont f(AFont);
    f.setWeight(AStyles.Contains(fsBold) ? QFont::Bold : QFont::Normal);
    f.setItalic(AStyles.Contains(fsItalic));
    f.setUnderline(AStyles.Contains(fsUnderline));
    f.setStrikeOut(AStyles.Contains(fsStrikeOut));
    return f;
}

// ---------------------------------------------------------------------------------------------

TheFontHandle::TheFontHandle(const QFont &AFont)
    : FFont(AFont), FMetrics(AFont), FAscent(FMetrics.ascent()), FHeight(std::abs(FMetrics.height())),
      FUnderline(AFont.underline()), FStrikeOut(AFont.strikeOut()),
      FLineWidth(std::max(1, FMetrics.lineWidth())), FUnderlinePos(FMetrics.underlinePos()),
      FStrikeOutPos(FMetrics.strikeOutPos()) {
    FRawFonts.push_back(QRawFont::fromFont(FFont));
    FRuns.emplace_back();
    FRuns.back().setRawFont(FRawFonts.back());
}

const TheFontHandle::TGlyph &TheFontHandle::FindGlyph(char32_t ACode) const {
    if (ACode < 256) {
        if (!FLatin1Known[ACode]) {
            FLatin1[ACode] = LookUp(ACode);
            FLatin1Known[ACode] = true;
        }
        return FLatin1[ACode];
    }
    auto it = FOthers.constFind(ACode);
    if (it == FOthers.constEnd()) it = FOthers.insert(ACode, LookUp(ACode));
    return *it;
}

TheFontHandle::TGlyph TheFontHandle::LookUp(char32_t ACode) const {
    TGlyph g;
    QRawFont raw;
    quint32 index = 0;
    const QRawFont &main = FRawFonts.front();
    if (main.isValid() && main.supportsCharacter(ACode)) {
        const QString s = QString::fromUcs4(&ACode, 1);
        const QList<quint32> indexes = main.glyphIndexesForString(s);
        if (!indexes.isEmpty() && indexes.front() != 0) {
            raw = main;
            index = indexes.front();
        }
    }
    if (!raw.isValid()) {
        // Let Qt's font matching pick the fallback font that has the character.
        QTextLayout layout(QString::fromUcs4(&ACode, 1), FFont);
        layout.beginLayout();
        layout.createLine();
        layout.endLayout();
        for (const QGlyphRun &run : layout.glyphRuns()) {
            if (!run.glyphIndexes().isEmpty() && run.glyphIndexes().front() != 0) {
                raw = run.rawFont();
                index = run.glyphIndexes().front();
                break;
            }
        }
    }
    if (!raw.isValid()) {
        // No font has it: printable characters show the main font's missing-glyph box, format
        // and control characters nothing.
        if (!QChar::isPrint(ACode) || !main.isValid()) return g;
        raw = main;
        index = 0;
    }
    auto it = std::find(FRawFonts.begin(), FRawFonts.end(), raw);
    if (it == FRawFonts.end()) {
        FRawFonts.push_back(raw);
        FRuns.emplace_back();
        FRuns.back().setRawFont(raw);
        it = FRawFonts.end() - 1;
    }
    g.Font = int16_t(it - FRawFonts.begin());
    g.Index = index;
    const QList<QPointF> adv = raw.advancesForGlyphIndexes(QList<quint32>{index});
    g.Advance = adv.isEmpty() ? 0.0f : float(adv.front().x());
    const QRectF ink = raw.boundingRect(index);
    g.InkLeft = float(ink.left());
    g.InkRight = float(ink.right());
    g.InkTop = float(ink.top());
    g.InkBottom = float(ink.bottom());
    return g;
}

// ---------------------------------------------------------------------------------------------

TheFontsInfoManager::~TheFontsInfoManager() {
    // Remaining records belong to drawers that outlive the manager; free them newest first.
    while (!FFontsInfo.empty())
        FFontsInfo.pop_back();
}

QString TheFontsInfoManager::RetrieveLogFontForComparison(const QFont &AFont) {
    QFont f(AFont);
    f.setItalic(false);
    f.setUnderline(false);
    f.setStrikeOut(false);
    return f.key();
}

TheSharedFontsInfo *TheFontsInfoManager::FindFontsInfo(const QString &ALogFont) const {
    for (const auto &p : FFontsInfo)
        if (p->BaseLF == ALogFont) return p.get();
    return nullptr;
}

TheSharedFontsInfo *TheFontsInfoManager::CreateFontsInfo(const QFont &ABaseFont, const QString &ALogFont) {
    auto info = std::make_unique<TheSharedFontsInfo>();
    info->BaseFont = ABaseFont;
    info->BaseLF = ALogFont;
    const QFontInfo fi(ABaseFont);
    info->IsTrueType = QFontDatabase::isScalable(fi.family(), fi.styleName());
    for (int i = 0; i < 16; ++i)
        info->FontsData[size_t(i)].Style = TFontStyles::FromMask(uint8_t(i));
    FFontsInfo.push_back(std::move(info));
    return FFontsInfo.back().get();
}

int TheFontsInfoManager::IndexOf(const TheSharedFontsInfo *pFontsInfo) const {
    for (size_t i = 0; i < FFontsInfo.size(); ++i)
        if (FFontsInfo[i].get() == pFontsInfo) return int(i);
    return -1;
}

TheSharedFontsInfo *TheFontsInfoManager::GetFontsInfo(const QFont &ABaseFont) {
    const QString key = RetrieveLogFontForComparison(ABaseFont);
    TheSharedFontsInfo *p = FindFontsInfo(key);
    if (!p) p = CreateFontsInfo(ABaseFont, key);
    ++p->RefCount;
    return p;
}

void TheFontsInfoManager::ReleaseFontsInfo(TheSharedFontsInfo *pFontsInfo) {
    const int i = IndexOf(pFontsInfo);
    COMMON_ASSERT(i >= 0 && pFontsInfo->LockCount < pFontsInfo->RefCount);
    if (pFontsInfo->RefCount > 1)
        --pFontsInfo->RefCount;
    else
        FFontsInfo.erase(FFontsInfo.begin() + i);
}

void TheFontsInfoManager::LockFontsInfo(TheSharedFontsInfo *pFontsInfo) {
    COMMON_ASSERT(IndexOf(pFontsInfo) >= 0);
    ++pFontsInfo->LockCount;
}

void TheFontsInfoManager::UnLockFontsInfo(TheSharedFontsInfo *pFontsInfo) {
    COMMON_ASSERT(IndexOf(pFontsInfo) >= 0 && pFontsInfo->LockCount > 0);
    if (--pFontsInfo->LockCount == 0) DestroyFontHandles(pFontsInfo);
}

void TheFontsInfoManager::DestroyFontHandles(TheSharedFontsInfo *pFontsInfo) {
    for (TheFontData &d : pFontsInfo->FontsData)
        d.Handle.reset();
}

TheFontsInfoManager &GetFontsInfoManager() {
    static TheFontsInfoManager manager;
    return manager;
}

// ---------------------------------------------------------------------------------------------

TheFontStock::TheFontStock(const QFont &AInitialFont) {
    SetBaseFont(AInitialFont);
}

TheFontStock::~TheFontStock() {
    FCrntFont.reset();
    ReleaseFontsInfo();
}

void TheFontStock::ReleaseFontsInfo() {
    if (!FpInfo) return;
    if (FUsingFontHandles) {
        FUsingFontHandles = false;
        GetFontsInfoManager().UnLockFontsInfo(FpInfo);
    }
    GetFontsInfoManager().ReleaseFontsInfo(FpInfo);
    FpInfo = nullptr;
    FpCrntFontData = nullptr;
}

void TheFontStock::UseFontHandles() {
    if (!FUsingFontHandles) {
        GetFontsInfoManager().LockFontsInfo(FpInfo);
        FUsingFontHandles = true;
    }
}

void TheFontStock::ReleaseFontHandles() {
    if (FUsingFontHandles) {
        FUsingFontHandles = false;
        GetFontsInfoManager().UnLockFontsInfo(FpInfo);
    }
}

void TheFontStock::SetBaseFont(const QFont &AValue) {
    TheSharedFontsInfo *p = GetFontsInfoManager().GetFontsInfo(AValue);
    if (p == FpInfo) {
        GetFontsInfoManager().ReleaseFontsInfo(p); // the reference already held suffices
        return;
    }
    ReleaseFontsInfo();
    FpInfo = p;
    FBaseLF = p->BaseFont;
    // The variant records of the old base font are gone: the next SetStyle selects afresh.
    FpCrntFontData = nullptr;
    SetStyle(FontStylesOf(AValue));
}

TheFontData *TheFontStock::GetFontData(int AIndex) {
    COMMON_ASSERT(AIndex >= 0 && AIndex < 16 && FpInfo);
    return &FpInfo->FontsData[size_t(AIndex)];
}

void TheFontStock::SetStyle(TFontStyles AValue) {
    const int index = AValue.ToMask();
    COMMON_ASSERT(index <= 15);
    UseFontHandles();
    TheFontData *data = GetFontData(index);
    FpCrntFontData = data;
    FCrntStyle = AValue;
    if (!data->Handle) {
        std::shared_ptr<const TheFontHandle> handle = InternalCreateFont(AValue);
        int height = 0;
        data->CharAdv = CalcFontAdvance(*handle, &height);
        data->CharHeight = height;
        data->Handle = std::move(handle);
    }
    FCrntFont = data->Handle;
}

std::shared_ptr<const TheFontHandle> TheFontStock::InternalCreateFont(TFontStyles AStyle) {
    return std::make_shared<const TheFontHandle>(FontWithStyles(FBaseLF, AStyle));
}

int TheFontStock::CalcFontAdvance(const TheFontHandle &AFont, int *pCharHeight) {
    if (pCharHeight) *pCharHeight = AFont.Height();
    // The integer advance of "M" (A + B + C) is the cell of the monospaced grid.
    const int advance = AFont.Metrics().horizontalAdvance(QLatin1Char('M'));
    return advance > 0 ? advance : AFont.Metrics().averageCharWidth();
}

int TheFontStock::CharAdvance() const {
    return FpCrntFontData ? FpCrntFontData->CharAdv : 0;
}
int TheFontStock::CharHeight() const {
    return FpCrntFontData ? FpCrntFontData->CharHeight : 0;
}
const QFont &TheFontStock::BaseFont() const {
    return FpInfo->BaseFont;
}
bool TheFontStock::IsTrueType() const {
    return FpInfo && FpInfo->IsTrueType;
}

} // namespace lexedit
