// SPDX-License-Identifier: MIT
#pragma once
// The application's icon: a page with the blue elephant of the Script button and a green check
// mark. One drawing gives both the raster pictures (any size) and the scalable SVG, so the
// installed icons and the window's own icon are the same picture.

#include <QByteArray>
#include <QIcon>
#include <QImage>

namespace app {

// The icon's name in the icon theme and the desktop entry.
inline constexpr const char *kAppIconName = "checkphp";

// The sizes installed into the hicolor theme besides the scalable one.
inline constexpr int kAppIconSizes[] = {16, 22, 24, 32, 48, 64, 128, 256};

// The icon drawn at ASize x ASize pixels (transparent around the page). Below 32 pixels the
// page's text lines are left out: they would only blur the elephant.
QImage DrawAppIcon(int ASize);

// The same drawing as an SVG document (256 x 256 user units).
QByteArray AppIconSvg();

// The window's icon: the installed theme icon when there is one, else the drawing itself.
QIcon AppIcon();

} // namespace app
