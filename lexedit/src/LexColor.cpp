// SPDX-License-Identifier: MIT
#include "lexedit/LexColor.h"

namespace lexedit {

namespace {
QColor SystemColor(int AIndex, const QPalette &APalette) {
    switch (AIndex) {
    case 0x05:
        return APalette.color(QPalette::Active, QPalette::Base); // clWindow
    case 0x08:
        return APalette.color(QPalette::Active, QPalette::Text); // clWindowText
    case 0x0D:
        return APalette.color(QPalette::Active, QPalette::Highlight); // clHighlight
    case 0x0E:
        return APalette.color(QPalette::Active, QPalette::HighlightedText); // clHighlightText
    case 0x0F:
        return APalette.color(QPalette::Active, QPalette::Button); // clBtnFace
    case 0x10:
        return APalette.color(QPalette::Active, QPalette::Dark); // clBtnShadow
    case 0x11:
        return APalette.color(QPalette::Disabled, QPalette::Text); // clGrayText
    case 0x12:
        return APalette.color(QPalette::Active, QPalette::ButtonText); // clBtnText
    case 0x14:
        return APalette.color(QPalette::Active, QPalette::Light); // clBtnHighlight
    case 0x15:
        return APalette.color(QPalette::Active, QPalette::Shadow); // cl3DDkShadow
    case 0x16:
        return APalette.color(QPalette::Active, QPalette::Midlight); // cl3DLight
    case 0x17:
        return APalette.color(QPalette::Active, QPalette::ToolTipText); // clInfoText
    case 0x18:
        return APalette.color(QPalette::Active, QPalette::ToolTipBase); // clInfoBk
    case 0x07:
        return APalette.color(QPalette::Active, QPalette::WindowText); // clMenuText
    case 0x04:
        return APalette.color(QPalette::Active, QPalette::Window); // clMenu
    case 0x0C:
        return APalette.color(QPalette::Active, QPalette::Dark); // clAppWorkSpace
    default:
        return APalette.color(QPalette::Active, QPalette::Window);
    }
}
} // namespace

QColor ColorToQColor(TColor AColor, const QPalette &APalette, const QColor &AFallback) {
    if (AColor == clNone || AColor == clDefault) return AFallback;
    if (IsSystemColor(AColor)) return SystemColor(int(uint32_t(AColor) & 0xFF), APalette);
    const uint32_t v = uint32_t(AColor);
    return QColor(int(v & 0xFF), int((v >> 8) & 0xFF), int((v >> 16) & 0xFF));
}

TColor ColorToRGB(TColor AColor, const QPalette &APalette) {
    const QColor c = ColorToQColor(AColor, APalette, QColor(Qt::black));
    return RGBToColor(c.red(), c.green(), c.blue());
}

} // namespace lexedit
