// SPDX-License-Identifier: MIT
#pragma once
// The text drawer of an editor and its font stock.
//
// The drawer measures characters and draws runs of text so that every character sits in its own
// cell of the editor's monospaced grid. The font stock makes the sixteen bold / italic /
// underline / strike-out variants of a base font on first use; variants of equal base fonts are
// shared by all stocks of the process.
//
// The column rule, shared with the mapping between buffer and display positions: a character
// with code 0..255 takes one column; any other character max(1, ceil(width / cell width))
// columns. A surrogate pair is measured and drawn as one glyph starting in the cell of its high
// half; the pair spans max(2, ceil(width / cell width)) columns, its low half taking exactly one.
// A cell width of zero or less is never divided by (every character then takes one column).

#include "common/BracketGuard.h"
#include "lexedit/LexColor.h"

#include <QFont>
#include <QFontMetrics>
#include <QGlyphRun>
#include <QHash>
#include <QPalette>
#include <QPen>
#include <QRawFont>
#include <QRect>
#include <QStringView>

#include <array>
#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QPainter;

namespace lexedit {

enum TTextOutOption : uint8_t { tooOpaque, tooClipped };
using TTextOutOptions = TSet<TTextOutOption, uint8_t>;

// ceil(ANumerator / ADenominator) for a positive denominator and a non-negative numerator.
constexpr int CeilOfDivision(int ANumerator, int ADenominator) {
    return ANumerator <= 0 ? 0 : (ANumerator + ADenominator - 1) / ADenominator;
}

// Columns of a character of code ACode and width AWidth on a grid of ACellWidth pixels. U+E000,
// the code of the display form's fillers, always takes one column: a U+E000 of the text then
// never has fillers of its own, and every other U+E000 of a display form is a filler.
constexpr int ColumnsOfWidth(char32_t ACode, int AWidth, int ACellWidth) {
    if (ACode <= 255 || ACode == 0xE000 || ACellWidth <= 0) return 1;
    const int n = CeilOfDivision(AWidth, ACellWidth);
    return n < 1 ? 1 : n;
}

// Columns of the high half of a surrogate pair whose glyph is APairWidth pixels wide (the low
// half always takes one more column).
constexpr int ColumnsOfPairHead(int APairWidth, int ACellWidth) {
    if (ACellWidth <= 0) return 1;
    const int n = CeilOfDivision(APairWidth, ACellWidth) - 1;
    return n < 1 ? 1 : n;
}

// The font style set of a QFont (bold when its weight is at least Bold).
TFontStyles FontStylesOf(const QFont &AFont);
// AFont with the styles of AStyles: weight Normal or Bold, italic, underline, strike-out.
QFont FontWithStyles(const QFont &AFont, TFontStyles AStyles);

// ---------------------------------------------------------------------------------------------
// One font variant ready for drawing: the font, its raw fonts (the font itself and the fallback
// fonts found for characters it lacks) and a glyph cache.
// ---------------------------------------------------------------------------------------------

class TheFontHandle {
public:
    struct TGlyph {
        quint32 Index = 0;  // glyph index in RawFont(Font)
        int16_t Font = -1;  // raw font index; -1: no glyph for the character
        float Advance = 0;  // natural advance
        float InkLeft = 0;  // left edge of the ink from the origin (the A width)
        float InkRight = 0; // right edge of the ink from the origin (A + B)
        float InkTop = 0;   // top and bottom of the ink from the baseline (down is positive)
        float InkBottom = 0;
    };

    explicit TheFontHandle(const QFont &AFont);
    TheFontHandle(const TheFontHandle &) = delete;
    TheFontHandle &operator=(const TheFontHandle &) = delete;

    const QFont &Font() const { return FFont; }
    const QFontMetrics &Metrics() const { return FMetrics; }
    int Ascent() const { return FAscent; }
    int Height() const { return FHeight; }
    // The font's underline and strike-out, with their metrics read once (a run draws them from
    // these rather than asking the metrics again).
    bool Underline() const { return FUnderline; }
    bool StrikeOut() const { return FStrikeOut; }
    int LineWidth() const { return FLineWidth; }       // at least 1
    int UnderlinePos() const { return FUnderlinePos; } // below the baseline
    int StrikeOutPos() const { return FStrikeOutPos; } // above the baseline
    // The glyph of a code point (cached; Latin-1 ones found inline, as drawing asks per character).
    const TGlyph &Glyph(char32_t ACode) const {
        if (ACode < 256 && FLatin1Known[ACode]) return FLatin1[ACode];
        return FindGlyph(ACode);
    }
    const QRawFont &RawFont(int AIndex) const { return FRawFonts[size_t(AIndex)]; }
    int RawFontCount() const { return int(FRawFonts.size()); }
    // A glyph run of the main raw font, reused by every run drawn with it.
    QGlyphRun &MainGlyphRun() const { return FRuns.front(); }
    // A glyph run of raw font AIndex (the main one or a fallback), reused likewise.
    QGlyphRun &GlyphRun(int AIndex) const { return FRuns[size_t(AIndex)]; }

private:
    const TGlyph &FindGlyph(char32_t ACode) const;
    TGlyph LookUp(char32_t ACode) const;

    QFont FFont;
    QFontMetrics FMetrics;
    int FAscent;
    int FHeight;
    bool FUnderline;
    bool FStrikeOut;
    int FLineWidth;
    int FUnderlinePos;
    int FStrikeOutPos;
    mutable std::vector<QRawFont> FRawFonts;
    mutable std::array<TGlyph, 256> FLatin1;
    mutable std::array<bool, 256> FLatin1Known{};
    mutable QHash<char32_t, TGlyph> FOthers;
    mutable std::vector<QGlyphRun> FRuns; // one per raw font, each set to its font
};

// ---------------------------------------------------------------------------------------------
// Font sharing
// ---------------------------------------------------------------------------------------------

// One style variant of a shared base font.
struct TheFontData {
    TFontStyles Style;
    std::shared_ptr<const TheFontHandle> Handle; // none until first used
    int CharAdv = 0;
    int CharHeight = 0;
};

// The variants of one base font, shared by every font stock whose base font is equal.
struct TheSharedFontsInfo {
    int RefCount = 0;  // font stocks using the record
    int LockCount = 0; // font stocks holding its handles
    QFont BaseFont;
    QString BaseLF; // comparison key of the base font
    bool IsTrueType = false;
    std::array<TheFontData, 16> FontsData; // indexed by the style set's bit mask
};

// The process-wide list of shared base fonts (GUI thread only).
class TheFontsInfoManager {
public:
    TheFontsInfoManager() = default;
    TheFontsInfoManager(const TheFontsInfoManager &) = delete;
    TheFontsInfoManager &operator=(const TheFontsInfoManager &) = delete;
    ~TheFontsInfoManager();

    // The record of ABaseFont (made when there is none yet), with one more reference.
    TheSharedFontsInfo *GetFontsInfo(const QFont &ABaseFont);
    // Gives back a reference; the last one frees the record.
    void ReleaseFontsInfo(TheSharedFontsInfo *pFontsInfo);
    void LockFontsInfo(TheSharedFontsInfo *pFontsInfo);
    // The last unlock drops every variant's handle; variants are made again on next use.
    void UnLockFontsInfo(TheSharedFontsInfo *pFontsInfo);
    int Count() const { return int(FFontsInfo.size()); }

    // The key under which a font is shared: its description without italic, underline and
    // strike-out (the weight stays part of it).
    static QString RetrieveLogFontForComparison(const QFont &AFont);

private:
    TheSharedFontsInfo *FindFontsInfo(const QString &ALogFont) const;
    TheSharedFontsInfo *CreateFontsInfo(const QFont &ABaseFont, const QString &ALogFont);
    static void DestroyFontHandles(TheSharedFontsInfo *pFontsInfo);
    int IndexOf(const TheSharedFontsInfo *pFontsInfo) const;

    std::vector<std::unique_ptr<TheSharedFontsInfo>> FFontsInfo;
};

TheFontsInfoManager &GetFontsInfoManager();

// ---------------------------------------------------------------------------------------------
// Font stock
// ---------------------------------------------------------------------------------------------

class TheFontStock {
public:
    explicit TheFontStock(const QFont &AInitialFont);
    TheFontStock(const TheFontStock &) = delete;
    TheFontStock &operator=(const TheFontStock &) = delete;
    virtual ~TheFontStock();

    virtual void SetBaseFont(const QFont &AValue);
    // Selects the variant of AValue (made on first use). A set is 4 bits: 0..15.
    virtual void SetStyle(TFontStyles AValue);
    TFontStyles Style() const { return FCrntStyle; }
    // Cell advance and height of the current variant.
    int CharAdvance() const;
    int CharHeight() const;
    // The current variant, ready for drawing (none before the first SetStyle).
    const std::shared_ptr<const TheFontHandle> &FontHandle() const { return FCrntFont; }
    const QFont &BaseFont() const;
    bool IsTrueType() const;
    // Gives up this stock's hold on the shared variants.
    void ReleaseFontHandles();
    TheSharedFontsInfo *SharedFontsInfo() const { return FpInfo; }

protected:
    // Makes the variant font of AStyle from the base description.
    virtual std::shared_ptr<const TheFontHandle> InternalCreateFont(TFontStyles AStyle);
    // The cell advance of a variant: the integer advance of "M"; its height into *pCharHeight.
    virtual int CalcFontAdvance(const TheFontHandle &AFont, int *pCharHeight);
    TheFontData *GetFontData(int AIndex);

private:
    void UseFontHandles();
    void ReleaseFontsInfo();

    TheSharedFontsInfo *FpInfo = nullptr; // one reference held
    bool FUsingFontHandles = false;
    std::shared_ptr<const TheFontHandle> FCrntFont;
    TFontStyles FCrntStyle;
    TheFontData *FpCrntFontData = nullptr;
    QFont FBaseLF; // description of the base font; the style parts are set per variant
};

// ---------------------------------------------------------------------------------------------
// Drawing
// ---------------------------------------------------------------------------------------------

// Draws ACount characters of AStr at X, Y (top of the cell) with the painter's pen, each
// character at the sum of the advances before it (the natural advances when AETODist is null).
// tooOpaque fills ARect with the painter's background first; tooClipped clips to ARect.
// Underline and strike-out of the font are drawn as one continuous line across the run. A
// surrogate pair is one glyph at its high half; a glyph without advance of its own (a
// combining mark) is centred in its cell. Ligatures are never formed: without a shaping engine
// that maps glyphs to cells every glyph stays in its own cell, so AUseLigatures draws the same.
// AFont is the variant to draw with; without it the painter's font is used (slower).
// Returns false when the painter is not active.
bool UniversalExtTextOut(QPainter *DC, int X, int Y, TTextOutOptions AOptions, const QRect &ARect,
                         const QChar *AStr, int ACount, const int *AETODist, bool AUseLigatures,
                         const TheFontHandle *AFont = nullptr);

class TheTextDrawer {
public:
    TheTextDrawer(TFontStyles ACalcExtentBaseStyle, const QFont &ABaseFont);
    TheTextDrawer(const TheTextDrawer &) = delete;
    TheTextDrawer &operator=(const TheTextDrawer &) = delete;
    virtual ~TheTextDrawer();

    // Cell width (the base style's advance plus the extra spacing) and cell height.
    virtual int GetCharWidth() const;
    virtual int GetCharHeight() const;
    int CharWidth() const { return GetCharWidth(); }
    int CharHeight() const { return GetCharHeight(); }

    // Starts (or nests, on the same painter) a drawing phase; the last EndDrawing restores the
    // painter's state.
    virtual void BeginDrawing(QPainter *DC);
    virtual void EndDrawing();
    QPainter *DC() const { return FDC; }
    int DrawingCount() const { return FDrawingCount; }

    // Draws text at its natural advances, without rectangle.
    virtual void TextOut(int X, int Y, const QChar *AText, int ALength);
    // Draws a run with one advance per character, per the column rule; the rectangle of the
    // options grows to the right when the last glyph overhangs its cells.
    virtual void ExtTextOut(int X, int Y, TTextOutOptions AOptions, QRect ARect, const QChar *AText,
                            int ALength, bool AUseLigatures = false);
    void ExtTextOut(int X, int Y, TTextOutOptions AOptions, const QRect &ARect, QStringView AText,
                    bool AUseLigatures = false) {
        ExtTextOut(X, Y, AOptions, ARect, AText.data(), int(AText.size()), AUseLigatures);
    }
    // The advances of the last run drawn.
    const std::vector<int> &ETODist() const { return FETODist; }

    // Measured with the base font in its plain style.
    QSize TextExtent(QStringView AText) const;
    int TextWidth(QStringView AText);

    // Columns taken by the code unit at AIndex of AText (see the column rule above).
    int CharColumns(QStringView AText, int AIndex);
    // Columns of the code units [0, AIndex) of AText.
    int ColumnsBefore(QStringView AText, int AIndex);

    const QFont &BaseFont() const { return FBaseFont; }
    virtual void SetBaseFont(const QFont &AValue);
    TFontStyles BaseStyle() const { return FCalcExtentBaseStyle; }
    virtual void SetBaseStyle(TFontStyles AValue);
    TFontStyles Style() const { return FFontStock.Style(); }
    virtual void SetStyle(TFontStyles AValue);
    TColor ForeColor() const { return FColor; }
    virtual void SetForeColor(TColor AValue);
    TColor BackColor() const { return FBkColor; }
    virtual void SetBackColor(TColor AValue);
    int CharExtra() const { return FCharExtra; }
    virtual void SetCharExtra(int AValue);
    // The palette through which system colours are resolved (the application's by default).
    void SetPalette(const QPalette &APalette);
    virtual void ReleaseTemporaryResources();

    TheFontStock &FontStock() { return FFontStock; }

protected:
    virtual void ReleaseETODist();
    virtual void AfterStyleSet();
    virtual void DoSetCharExtra(int AValue);
    // Width in pixels of one character (or one surrogate pair) in the base font's plain style.
    virtual int MeasureCharWidth(QStringView ACharacter) const;

private:
    int CachedCharWidth(QStringView ACharacter);
    void FlushCharWidthCache();
    void InitETODist(const QChar *AText, int ALength);
    void AdjustLastCharWidthAndRect(const QChar *AText, int ALength, QRect &ARect);
    void ApplyColors();
    // The pen of a text colour and the brush of a background colour, resolved through the
    // palette once per colour and kept (until the palette changes): a colour switch then hands
    // the painter a shared pen or brush instead of making one.
    const QPen &PenOf(TColor AColor);
    const QBrush &BrushOf(TColor AColor);

    QPainter *FDC = nullptr; // not owned; set while drawing
    TheFontStock FFontStock;
    QFont FBaseFont;
    QFont FMeasureFont; // the base font in its plain style
    QFontMetrics FMeasureMetrics;
    TFontStyles FCalcExtentBaseStyle;
    int FBaseCharWidth = 0;
    int FBaseCharHeight = 0;
    std::shared_ptr<const TheFontHandle> FCrntFont;
    std::vector<int> FETODist;
    TColor FColor = clWindowText;
    TColor FBkColor = clWindow;
    int FCharExtra = 0;
    int FDrawingCount = 0;
    QPalette FPalette;
    std::vector<std::pair<TColor, QPen>> FPens;
    std::vector<std::pair<TColor, QBrush>> FBrushes;
    std::array<int, 128> FCharWidthCache; // -1: not measured yet
    QHash<char32_t, int> FWideCharWidthCache;
};

// Keeps a drawing phase open for its lifetime: BeginDrawing(DC) on construction, EndDrawing on
// destruction.
using TTextDrawingGuard =
    common::BracketGuard<TheTextDrawer, &TheTextDrawer::BeginDrawing, &TheTextDrawer::EndDrawing>;

} // namespace lexedit
