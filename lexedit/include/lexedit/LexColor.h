// SPDX-License-Identifier: MIT
#pragma once
// Colours and font styles as the editor and its highlighters store them.
//
// TColor is a 32-bit value: 0x00BBGGRR is an RGB colour (red in the low byte); a value with the top
// byte 0xFF is a system colour (its low byte indexes the system palette); clNone means "no colour of
// its own: the normal one applies". ColorToQColor resolves a TColor through a widget palette at
// paint or export time.

#include "lexedit/LexSet.h"

#include <QColor>
#include <QPalette>

#include <cstdint>

namespace lexedit {

using TColor = int32_t;

inline constexpr TColor clNone = 0x1FFFFFFF;
inline constexpr TColor clDefault = 0x20000000;

// System colours (top byte 0xFF, low byte the system colour index).
inline constexpr TColor clScrollBar = TColor(0xFF000000u);
inline constexpr TColor clBackground = TColor(0xFF000001u);
inline constexpr TColor clActiveCaption = TColor(0xFF000002u);
inline constexpr TColor clInactiveCaption = TColor(0xFF000003u);
inline constexpr TColor clMenu = TColor(0xFF000004u);
inline constexpr TColor clWindow = TColor(0xFF000005u);
inline constexpr TColor clWindowFrame = TColor(0xFF000006u);
inline constexpr TColor clMenuText = TColor(0xFF000007u);
inline constexpr TColor clWindowText = TColor(0xFF000008u);
inline constexpr TColor clCaptionText = TColor(0xFF000009u);
inline constexpr TColor clActiveBorder = TColor(0xFF00000Au);
inline constexpr TColor clInactiveBorder = TColor(0xFF00000Bu);
inline constexpr TColor clAppWorkSpace = TColor(0xFF00000Cu);
inline constexpr TColor clHighlight = TColor(0xFF00000Du);
inline constexpr TColor clHighlightText = TColor(0xFF00000Eu);
inline constexpr TColor clBtnFace = TColor(0xFF00000Fu);
inline constexpr TColor clBtnShadow = TColor(0xFF000010u);
inline constexpr TColor clGrayText = TColor(0xFF000011u);
inline constexpr TColor clBtnText = TColor(0xFF000012u);
inline constexpr TColor clInactiveCaptionText = TColor(0xFF000013u);
inline constexpr TColor clBtnHighlight = TColor(0xFF000014u);
inline constexpr TColor cl3DDkShadow = TColor(0xFF000015u);
inline constexpr TColor cl3DLight = TColor(0xFF000016u);
inline constexpr TColor clInfoText = TColor(0xFF000017u);
inline constexpr TColor clInfoBk = TColor(0xFF000018u);

// A few plain colours.
inline constexpr TColor clBlack = 0x000000;
inline constexpr TColor clMaroon = 0x000080;
inline constexpr TColor clGreen = 0x008000;
inline constexpr TColor clOlive = 0x008080;
inline constexpr TColor clNavy = 0x800000;
inline constexpr TColor clPurple = 0x800080;
inline constexpr TColor clTeal = 0x808000;
inline constexpr TColor clGray = 0x808080;
inline constexpr TColor clSilver = 0xC0C0C0;
inline constexpr TColor clRed = 0x0000FF;
inline constexpr TColor clLime = 0x00FF00;
inline constexpr TColor clYellow = 0x00FFFF;
inline constexpr TColor clBlue = 0xFF0000;
inline constexpr TColor clFuchsia = 0xFF00FF;
inline constexpr TColor clAqua = 0xFFFF00;
inline constexpr TColor clWhite = 0xFFFFFF;

constexpr TColor RGBToColor(int R, int G, int B) {
    return TColor((B & 0xFF) << 16 | (G & 0xFF) << 8 | (R & 0xFF));
}
constexpr bool IsSystemColor(TColor AColor) {
    return (uint32_t(AColor) & 0xFF000000u) == 0xFF000000u;
}

// Font styles: one byte, bold = bit 0, italic = bit 1, underline = bit 2, strike-out = bit 3.
enum TFontStyle : uint8_t { fsBold, fsItalic, fsUnderline, fsStrikeOut };
using TFontStyles = TSet<TFontStyle, uint8_t>;

// The RGB value of a colour: system colours resolved through APalette, clNone / clDefault through
// AFallback.
QColor ColorToQColor(TColor AColor, const QPalette &APalette, const QColor &AFallback = QColor());
// The same as a plain 0x00BBGGRR value.
TColor ColorToRGB(TColor AColor, const QPalette &APalette);

} // namespace lexedit
