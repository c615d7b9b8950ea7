// SPDX-License-Identifier: MIT
// The text drawer: cell metrics, measuring with the column rule, drawing phases and runs of
// text with one advance per character.

#include "lexedit/LexTextDrawer.h"

#include "LexEditHelpers.h"
#include "common/Exception.h"

#include <QGuiApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace lexedit {

namespace {

// Scratch buffers of the drawing routine (GUI thread only).
struct TGlyphScratch {
    std::vector<quint32> Indexes;
    std::vector<QPointF> Positions;
    std::vector<int16_t> Fonts;
    std::vector<quint32> FontIndexes; // the glyphs of one font of a run with fallback glyphs
    std::vector<QPointF> FontPositions;
};

TGlyphScratch &Scratch() {
    static TGlyphScratch scratch;
    return scratch;
}

void DrawLine(QPainter *DC, qreal ALeft, qreal ARight, qreal AY, qreal AWidth) {
    if (ARight <= ALeft) return;
    DC->fillRect(QRectF(ALeft, AY, ARight - ALeft, AWidth), DC->pen().color());
}

} // namespace

bool UniversalExtTextOut(QPainter *DC, int X, int Y, TTextOutOptions AOptions, const QRect &ARect,
                         const QChar *AStr, int ACount, const int *AETODist, bool AUseLigatures,
                         const TheFontHandle *AFont) {
    // Ligatures would need a shaper that maps each ligature glyph onto the cells of its
    // characters; drawing glyph by glyph keeps every character in its cell.
    Q_UNUSED(AUseLigatures);
    if (!DC || !DC->isActive()) return false;
    std::unique_ptr<TheFontHandle> own;
    if (!AFont) {
        own = std::make_unique<TheFontHandle>(DC->font());
        AFont = own.get();
    }

    // Place the glyphs and find the box of their ink.
    TGlyphScratch &s = Scratch();
    s.Indexes.clear();
    s.Positions.clear();
    s.Fonts.clear();
    const qreal baseline = Y + AFont->Ascent();
    qreal x = X;
    qreal inkLeft = 1e9, inkRight = -1e9, inkTop = 1e9, inkBottom = -1e9; // bottom and top: from the baseline
    bool singleFont = true;
    for (int i = 0; i < ACount && AStr; ++i) {
        const QChar c = AStr[i];
        char32_t code = c.unicode();
        int units = 1;
        if (IsSurrogatePairAt(QStringView(AStr, ACount), i)) {
            code = QChar::surrogateToUcs4(c, AStr[i + 1]);
            units = 2;
        }
        const TheFontHandle::TGlyph &g = AFont->Glyph(code);
        qreal cells = 0;
        for (int u = 0; u < units; ++u)
            cells += AETODist ? AETODist[i + u] : (u == 0 ? g.Advance : 0);
        // A glyph without ink (a blank) leaves no pixels: it is not handed to the painter, which
        // would look it up all the same.
        const bool drawable = g.Font >= 0 && (g.InkRight > g.InkLeft || g.InkBottom > g.InkTop) &&
                              !c.isLowSurrogate() && !(c.isHighSurrogate() && units == 1);
        if (drawable) {
            qreal gx = x;
            if (AETODist && g.Advance <= 0.0f && g.InkRight > g.InkLeft) {
                // A mark without advance of its own: centre its ink in its cell.
                gx = x + (cells - (g.InkRight - g.InkLeft)) / 2 - g.InkLeft;
            }
            s.Indexes.push_back(g.Index);
            s.Positions.emplace_back(gx, baseline);
            s.Fonts.push_back(g.Font);
            singleFont = singleFont && g.Font == 0;
            if (g.InkRight > g.InkLeft) {
                inkLeft = std::min(inkLeft, gx + g.InkLeft);
                inkRight = std::max(inkRight, gx + g.InkRight);
                inkTop = std::min<qreal>(inkTop, g.InkTop);
                inkBottom = std::max<qreal>(inkBottom, g.InkBottom);
            }
        }
        x += cells;
        i += units - 1;
    }
    // Underline and strike-out run through every cell, blanks and empty cells included.
    const bool underline = AFont->Underline() && x > X, strikeOut = AFont->StrikeOut() && x > X;
    const qreal lineWidth = AFont->LineWidth();
    const qreal underlineY = baseline + AFont->UnderlinePos(), strikeOutY = baseline - AFont->StrikeOutPos();
    QRectF ink;
    if (inkRight > inkLeft) ink = QRectF(inkLeft, baseline + inkTop, inkRight - inkLeft, inkBottom - inkTop);
    if (underline) ink |= QRectF(X, underlineY, x - X, lineWidth);
    if (strikeOut) ink |= QRectF(X, strikeOutY, x - X, lineWidth);

    // Clip only when some ink would leave the rectangle: the pixels a glyph touches are those
    // its ink box overlaps. Then clip without saving the whole painter state when the painter
    // has no clip of its own (the usual case inside a paint event): switching the clip off
    // afterwards restores it.
    const bool inkInside =
        ink.isEmpty() ||
        (std::floor(ink.left()) >= ARect.left() && std::ceil(ink.right()) <= ARect.right() + 1 &&
         std::floor(ink.top()) >= ARect.top() && std::ceil(ink.bottom()) <= ARect.bottom() + 1);
    const bool clipped = AOptions.Contains(tooClipped) && ARect.isValid() && !inkInside;
    const bool savedState = clipped && DC->hasClipping();
    if (savedState) {
        DC->save();
        DC->setClipRect(ARect, Qt::IntersectClip);
    } else if (clipped) {
        DC->setClipRect(ARect, Qt::ReplaceClip);
    }
    if (AOptions.Contains(tooOpaque) && ARect.isValid()) {
        // A solid background is filled by colour: the painter then skips setting up a brush.
        const QBrush &background = DC->background();
        if (background.style() == Qt::SolidPattern)
            DC->fillRect(ARect, background.color());
        else
            DC->fillRect(ARect, background);
    }

    const int glyphs = int(s.Indexes.size());
    if (glyphs > 0 && singleFont) {
        QGlyphRun &run = AFont->MainGlyphRun();
        run.setRawData(s.Indexes.data(), s.Positions.data(), glyphs);
        DC->drawGlyphRun(QPointF(0, 0), run);
    } else if (glyphs > 0) {
        // One glyph run per font: the main font and the fallback fonts found for the text.
        std::vector<quint32> &idx = s.FontIndexes;
        std::vector<QPointF> &pos = s.FontPositions;
        for (int f = 0; f < AFont->RawFontCount(); ++f) {
            idx.clear();
            pos.clear();
            for (int k = 0; k < glyphs; ++k) {
                if (s.Fonts[size_t(k)] == f) {
                    idx.push_back(s.Indexes[size_t(k)]);
                    pos.push_back(s.Positions[size_t(k)]);
                }
            }
            if (idx.empty()) continue;
            QGlyphRun &run = AFont->GlyphRun(f);
            run.setRawData(idx.data(), pos.data(), int(idx.size()));
            DC->drawGlyphRun(QPointF(0, 0), run);
        }
    }
    if (underline) DrawLine(DC, X, x, underlineY, lineWidth);
    if (strikeOut) DrawLine(DC, X, x, strikeOutY, lineWidth);

    if (savedState)
        DC->restore();
    else if (clipped)
        DC->setClipping(false);
    return true;
}

// ---------------------------------------------------------------------------------------------

TheTextDrawer::TheTextDrawer(TFontStyles ACalcExtentBaseStyle, const QFont &ABaseFont)
    : FFontStock(ABaseFont), FMeasureMetrics(QFont()), FCalcExtentBaseStyle(ACalcExtentBaseStyle),
      FPalette(QGuiApplication::palette()) {
    SetBaseFont(ABaseFont);
}

TheTextDrawer::~TheTextDrawer() = default;

int TheTextDrawer::GetCharWidth() const {
    return FBaseCharWidth + FCharExtra;
}
int TheTextDrawer::GetCharHeight() const {
    return FBaseCharHeight;
}

void TheTextDrawer::FlushCharWidthCache() {
    FCharWidthCache.fill(-1);
    FWideCharWidthCache.clear();
}

void TheTextDrawer::SetBaseFont(const QFont &AValue) {
    FlushCharWidthCache();
    ReleaseETODist();
    FBaseFont = AValue;
    FMeasureFont = FontWithStyles(AValue, TFontStyles());
    FMeasureMetrics = QFontMetrics(FMeasureFont);
    FFontStock.SetBaseFont(AValue);
    FFontStock.SetStyle(FCalcExtentBaseStyle);
    FBaseCharWidth = FFontStock.CharAdvance();
    FBaseCharHeight = FFontStock.CharHeight();
    SetStyle(FontStylesOf(AValue));
}

void TheTextDrawer::SetBaseStyle(TFontStyles AValue) {
    if (AValue == FCalcExtentBaseStyle) return;
    FCalcExtentBaseStyle = AValue;
    FlushCharWidthCache();
    ReleaseETODist();
    const TFontStyles current = FFontStock.Style();
    FFontStock.SetStyle(AValue);
    FBaseCharWidth = FFontStock.CharAdvance();
    FBaseCharHeight = FFontStock.CharHeight();
    // Keep drawing with the variant selected before.
    FFontStock.SetStyle(current);
    FCrntFont = FFontStock.FontHandle();
}

void TheTextDrawer::SetStyle(TFontStyles AValue) {
    FFontStock.SetStyle(AValue);
    AfterStyleSet();
}

void TheTextDrawer::AfterStyleSet() {
    // Runs carry their variant to the painter with their glyphs; the painter's own font is
    // set once per drawing phase (BeginDrawing), which keeps style changes cheap.
    FCrntFont = FFontStock.FontHandle();
}

namespace {

// Colours kept per drawer; more are rare (a highlighter uses a few dozen at most).
constexpr size_t MaxCachedColors = 64;

} // namespace

const QPen &TheTextDrawer::PenOf(TColor AColor) {
    for (const auto &entry : FPens)
        if (entry.first == AColor) return entry.second;
    if (FPens.size() >= MaxCachedColors) FPens.clear();
    // As QPainter::setPen(QColor) makes it: solid, width 1, black for an invalid colour.
    const QColor c = ColorToQColor(AColor, FPalette, FPalette.color(QPalette::Text));
    FPens.emplace_back(AColor, QPen(c.isValid() ? c : QColor(Qt::black)));
    return FPens.back().second;
}

const QBrush &TheTextDrawer::BrushOf(TColor AColor) {
    for (const auto &entry : FBrushes)
        if (entry.first == AColor) return entry.second;
    if (FBrushes.size() >= MaxCachedColors) FBrushes.clear();
    FBrushes.emplace_back(AColor, QBrush(ColorToQColor(AColor, FPalette, FPalette.color(QPalette::Base))));
    return FBrushes.back().second;
}

void TheTextDrawer::ApplyColors() {
    FDC->setPen(PenOf(FColor));
    FDC->setBackground(BrushOf(FBkColor));
}

void TheTextDrawer::SetForeColor(TColor AValue) {
    if (AValue == FColor) return;
    FColor = AValue;
    if (FDC) FDC->setPen(PenOf(FColor));
}

void TheTextDrawer::SetBackColor(TColor AValue) {
    if (AValue == FBkColor) return;
    FBkColor = AValue;
    if (FDC) FDC->setBackground(BrushOf(FBkColor));
}

void TheTextDrawer::SetCharExtra(int AValue) {
    if (AValue == FCharExtra) return;
    FCharExtra = AValue;
    DoSetCharExtra(AValue);
}

void TheTextDrawer::DoSetCharExtra(int AValue) {
    // The spacing is part of every advance handed to the painter; nothing to set on it.
    Q_UNUSED(AValue);
}

void TheTextDrawer::SetPalette(const QPalette &APalette) {
    FPalette = APalette;
    // System colours and the defaults resolve through the palette: resolve them afresh.
    FPens.clear();
    FBrushes.clear();
    if (FDC) ApplyColors();
}

void TheTextDrawer::ReleaseTemporaryResources() {
    FFontStock.ReleaseFontHandles();
}

void TheTextDrawer::ReleaseETODist() {
    FETODist.clear();
    FETODist.shrink_to_fit();
}

void TheTextDrawer::BeginDrawing(QPainter *DC) {
    if (FDC && DC == FDC) {
        ++FDrawingCount;
        return;
    }
    COMMON_ASSERT(!FDC && DC && FDrawingCount == 0);
    FDC = DC;
    FDC->save();
    if (!FCrntFont) FCrntFont = FFontStock.FontHandle();
    FDC->setFont(FCrntFont->Font());
    FDC->setBackgroundMode(Qt::TransparentMode);
    ApplyColors();
    FDrawingCount = 1;
}

void TheTextDrawer::EndDrawing() {
    COMMON_ASSERT(FDrawingCount >= 1 && FDC);
    if (--FDrawingCount == 0) {
        FDC->restore();
        FDC = nullptr;
    }
}

// ---------------------------------------------------------------------------------------------

int TheTextDrawer::MeasureCharWidth(QStringView ACharacter) const {
    return FMeasureMetrics.horizontalAdvance(ACharacter.toString());
}

int TheTextDrawer::CachedCharWidth(QStringView ACharacter) {
    const char32_t code = ACharacter.size() == 2 ? QChar::surrogateToUcs4(ACharacter[0], ACharacter[1])
                                                 : char32_t(ACharacter[0].unicode());
    if (code < 128) {
        int &w = FCharWidthCache[code];
        if (w < 0) w = std::max(0, MeasureCharWidth(ACharacter));
        return w;
    }
    auto it = FWideCharWidthCache.constFind(code);
    if (it == FWideCharWidthCache.constEnd())
        it = FWideCharWidthCache.insert(code, MeasureCharWidth(ACharacter));
    return *it;
}

QSize TheTextDrawer::TextExtent(QStringView AText) const {
    return QSize(FMeasureMetrics.horizontalAdvance(AText.toString()), FMeasureMetrics.height());
}

int TheTextDrawer::TextWidth(QStringView AText) {
    if (AText.size() == 1 && AText[0].unicode() < 128) return CachedCharWidth(AText);
    return TextExtent(AText).width();
}

int TheTextDrawer::CharColumns(QStringView AText, int AIndex) {
    const QChar c = AText[AIndex];
    if (c.unicode() <= 255) return 1;
    const int cw = CharWidth();
    if (IsSurrogatePairAt(AText, AIndex)) return ColumnsOfPairHead(CachedCharWidth(AText.mid(AIndex, 2)), cw);
    if (c.isSurrogate()) return 1; // a lone half, or the low half of a pair
    return ColumnsOfWidth(c.unicode(), CachedCharWidth(AText.mid(AIndex, 1)), cw);
}

int TheTextDrawer::ColumnsBefore(QStringView AText, int AIndex) {
    int n = 0;
    for (int i = 0; i < AIndex && i < AText.size(); ++i)
        n += CharColumns(AText, i);
    return n;
}

void TheTextDrawer::InitETODist(const QChar *AText, int ALength) {
    FETODist.resize(size_t(std::max(0, ALength)));
    const int cw = CharWidth();
    const QStringView text(AText, ALength);
    for (int i = 0; i < ALength; ++i)
        FETODist[size_t(i)] = AText[i].unicode() <= 255 ? cw : CharColumns(text, i) * cw;
}

void TheTextDrawer::AdjustLastCharWidthAndRect(const QChar *AText, int ALength, QRect &ARect) {
    if (ALength <= 0 || !FCrntFont) return;
    // The last glyph starts at the last character, or at the high half of a final pair.
    int first = ALength - 1;
    char32_t code = AText[first].unicode();
    if (IsSurrogatePairAt(QStringView(AText, ALength), first - 1)) {
        --first;
        code = QChar::surrogateToUcs4(AText[first], AText[first + 1]);
    }
    const TheFontHandle::TGlyph &g = FCrntFont->Glyph(code);
    if (g.Font < 0 || g.Advance <= 0.0f) return; // nothing drawn, or a mark centred in its cell
    int cells = 0;
    for (int i = first; i < ALength; ++i)
        cells += FETODist[size_t(i)];
    // The right edge of the ink (A + B). With integer glyph widths A + B + C equals the cell
    // when C is not negative; advances here are fractional, so only the ink itself counts.
    const int real = int(std::ceil(g.InkRight));
    if (real > cells) {
        if (ARect.isValid()) ARect.setRight(ARect.right() + (real - cells));
        FETODist[size_t(ALength - 1)] += real - cells;
    }
}

void TheTextDrawer::ExtTextOut(int X, int Y, TTextOutOptions AOptions, QRect ARect, const QChar *AText,
                               int ALength, bool AUseLigatures) {
    if (!AText || ALength < 0) ALength = 0;
    InitETODist(AText, ALength);
    AdjustLastCharWidthAndRect(AText, ALength, ARect);
    UniversalExtTextOut(FDC, X, Y, AOptions, ARect, AText, ALength, FETODist.data(), AUseLigatures,
                        FCrntFont.get());
}

void TheTextDrawer::TextOut(int X, int Y, const QChar *AText, int ALength) {
    UniversalExtTextOut(FDC, X, Y, TTextOutOptions(), QRect(), AText, ALength, nullptr, false,
                        FCrntFont.get());
}

} // namespace lexedit
