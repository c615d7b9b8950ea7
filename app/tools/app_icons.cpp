// SPDX-License-Identifier: MIT
// Writes the application's icon into a hicolor theme tree, as the build installs it:
//   OUTDIR/hicolor/NxN/apps/checkphp.png for every installed size, and
//   OUTDIR/hicolor/scalable/apps/checkphp.svg.
// Run at build time; the pictures are drawn by AppIcon.cpp, as the window draws its own.

#include "AppIcon.h"

#include <QDir>
#include <QFile>
#include <QString>

#include <cstdio>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: app_icons OUTDIR\n");
        return 2;
    }
    const QString root = QString::fromLocal8Bit(argv[1]) + QStringLiteral("/hicolor");
    const QString name = QString::fromLatin1(app::kAppIconName);
    for (int size : app::kAppIconSizes) {
        const QString folder = QStringLiteral("%1/%2x%2/apps").arg(root).arg(size);
        const QString file = folder + QLatin1Char('/') + name + QStringLiteral(".png");
        if (!QDir().mkpath(folder) || !app::DrawAppIcon(size).save(file, "PNG")) {
            std::fprintf(stderr, "app_icons: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    const QString folder = root + QStringLiteral("/scalable/apps");
    QFile svg(folder + QLatin1Char('/') + name + QStringLiteral(".svg"));
    const QByteArray bytes = app::AppIconSvg();
    if (!QDir().mkpath(folder) || !svg.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        svg.write(bytes) != bytes.size() || !svg.flush()) {
        std::fprintf(stderr, "app_icons: cannot write %s\n", qPrintable(svg.fileName()));
        return 1;
    }
    return 0;
}
