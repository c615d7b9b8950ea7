// SPDX-License-Identifier: MIT
#pragma once
// The option objects of the editor's gutter and painting: the gutter itself (width, line
// numbers, background, border), the bookmark options, the selection colours, and the built-in
// strip of the ten bookmark pictures. Each tells its owner about changes through OnChange.

#include "lexedit/LexColor.h"

#include <QFont>
#include <QImage>
#include <QString>

#include <functional>

class QPainter;

namespace lexedit {

enum TLexGutterBorderStyle : uint8_t { gbsNone, gbsMiddle, gbsRight };

class TLexGutter {
public:
    TLexGutter();
    TLexGutter(const TLexGutter &) = delete;
    TLexGutter &operator=(const TLexGutter &) = delete;

    // Copies every setting but RightOffset, then fires OnChange.
    void Assign(const TLexGutter &Source);
    // Scales the pixel sizes and the font from M to D dots per inch.
    void ChangeScale(int M, int D);

    // The line number text of ALine: right-aligned in the digit count in effect, blanks or
    // zeros in front; longer numbers are never cut.
    QString FormatLineNumber(int ALine) const;
    // The gutter's width for cells of ACharWidth pixels (0 when not visible).
    int RealGutterWidth(int ACharWidth) const;
    // With AutoSize and line numbers, widens the digit count to the largest number shown.
    void AutoSizeDigitCount(int ALinesCount);
    int AutoSizeDigits() const { return fAutoSizeDigitCount; }

    bool AutoSize() const { return fAutoSize; }
    void SetAutoSize(bool Value);
    TLexGutterBorderStyle BorderStyle() const { return fBorderStyle; }
    void SetBorderStyle(TLexGutterBorderStyle Value);
    TColor Color() const { return fColor; }
    void SetColor(TColor Value);
    TColor BorderColor() const { return fBorderColor; }
    void SetBorderColor(TColor Value);
    int DigitCount() const { return fDigitCount; }
    void SetDigitCount(int Value);
    const QFont &Font() const { return fFont; }
    void SetFont(const QFont &Value);
    TColor FontColor() const { return fFontColor; }
    void SetFontColor(TColor Value);
    bool LeadingZeros() const { return fLeadingZeros; }
    void SetLeadingZeros(bool Value);
    int LeftOffset() const { return fLeftOffset; }
    void SetLeftOffset(int Value);
    int RightOffset() const { return fRightOffset; }
    void SetRightOffset(int Value);
    int RightMargin() const { return fRightMargin; }
    void SetRightMargin(int Value);
    bool ShowLineNumbers() const { return fShowLineNumbers; }
    void SetShowLineNumbers(bool Value);
    bool UseFontStyle() const { return fUseFontStyle; }
    void SetUseFontStyle(bool Value);
    bool Visible() const { return fVisible; }
    void SetVisible(bool Value);
    // Reads 0 while the gutter is not visible.
    int Width() const { return fVisible ? fWidth : 0; }
    void SetWidth(int Value);
    bool ZeroStart() const { return fZeroStart; }
    void SetZeroStart(bool Value);
    int LineNumberStart() const { return fLineNumberStart; }
    // Also sets ZeroStart to (Value == 0).
    void SetLineNumberStart(int Value);
    bool Gradient() const { return fGradient; }
    void SetGradient(bool Value);
    TColor GradientStartColor() const { return fGradientStartColor; }
    void SetGradientStartColor(TColor Value);
    TColor GradientEndColor() const { return fGradientEndColor; }
    void SetGradientEndColor(TColor Value);
    int GradientSteps() const { return fGradientSteps; }
    void SetGradientSteps(int Value);

    std::function<void()> OnChange;

private:
    template <typename T> void Set(T &AField, T AValue);
    void Changed();
    // The largest number shown for ALinesCount lines.
    int LargestNumber(int ALinesCount) const;

    bool fAutoSize = false;
    TLexGutterBorderStyle fBorderStyle = gbsMiddle;
    TColor fColor = clBtnFace;
    TColor fBorderColor = clWindow;
    int fDigitCount = 4;
    int fAutoSizeDigitCount = 4;
    QFont fFont;
    TColor fFontColor = clWindowText;
    bool fLeadingZeros = false;
    int fLeftOffset = 16;
    int fRightOffset = 2;
    int fRightMargin = 2;
    bool fShowLineNumbers = false;
    bool fUseFontStyle = true;
    bool fVisible = true;
    int fWidth = 30;
    bool fZeroStart = false;
    int fLineNumberStart = 1;
    bool fGradient = false;
    TColor fGradientStartColor = clWindow;
    TColor fGradientEndColor = clBtnFace;
    int fGradientSteps = 48;
};

// The colours of selected text. OnChange fires only on a change.
class TLexSelectedColor {
public:
    TColor Background() const { return fBG; }
    void SetBackground(TColor Value);
    TColor Foreground() const { return fFG; }
    void SetForeground(TColor Value);
    std::function<void()> OnChange;

private:
    TColor fBG = clHighlight;
    TColor fFG = clHighlightText;
};

// How marks are drawn in the gutter. Pictures come from the built-in strip (no image lists here).
class TLexBookMarkOpt {
public:
    bool DrawBookmarksFirst() const { return fDrawBookmarksFirst; }
    void SetDrawBookmarksFirst(bool Value);
    bool EnableKeys() const { return fEnableKeys; }
    void SetEnableKeys(bool Value);
    bool GlyphsVisible() const { return fGlyphsVisible; }
    void SetGlyphsVisible(bool Value);
    int LeftMargin() const { return fLeftMargin; }
    void SetLeftMargin(int Value);
    int Xoffset() const { return fXoffset; }
    void SetXoffset(int Value);
    void ChangeScale(int M, int D);
    std::function<void()> OnChange;

private:
    template <typename T> void Set(T &AField, T AValue);
    bool fDrawBookmarksFirst = true;
    bool fEnableKeys = true;
    bool fGlyphsVisible = true;
    int fLeftMargin = 2;
    int fXoffset = 12;
};

// A strip of equal pictures side by side. The built-in one holds the ten bookmark pictures
// (11 x 14 pixels each at 96 dpi), drawn in code: a flag with the bookmark's digit.
class TLexInternalImage {
public:
    TLexInternalImage(QImage AStrip, int ACount);
    static TLexInternalImage BookmarkImages();

    // Draws picture ANumber centred in a row of ALineHeight pixels at AY, or its middle band
    // when the row is lower than the picture. Nothing for a number outside the strip.
    void Draw(QPainter &ACanvas, int ANumber, int AX, int AY, int ALineHeight) const;
    // Rescales the strip from M to D dots per inch.
    void ChangeScale(int M, int D);
    int Width() const { return fWidth; }
    int Height() const { return fHeight; }
    int Count() const { return fCount; }

private:
    QImage fImages;
    int fWidth = 0;
    int fHeight = 0;
    int fCount = 0;
};

} // namespace lexedit
