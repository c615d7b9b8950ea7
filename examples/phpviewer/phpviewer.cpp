// SPDX-License-Identifier: MIT
// phpviewer FILE.php [--paint OUT.png]
//
// Shows a PHP file in a LexEdit editor with the PHP highlighter and line numbers, read-only.
// With --paint it paints the editor's view into OUT.png instead of opening a window (this works
// without a display: QT_QPA_PLATFORM=offscreen).

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <exception>

int main(int argc, char **argv) {
    QApplication application(argc, argv);
    const QStringList arguments = application.arguments();
    if (arguments.size() != 2 && !(arguments.size() == 4 && arguments.at(2) == QLatin1String("--paint"))) {
        std::fprintf(stderr, "usage: phpviewer FILE.php [--paint OUT.png]\n");
        return 2;
    }

    lexedit::TLexPHPLex highlighter; // not owned by the editor: it must outlive it
    lexedit::TLexEdit editor;
    QFont font(QStringLiteral("DejaVu Sans Mono"));
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    editor.SetEditorFont(font);
    editor.Gutter().SetShowLineNumbers(true);
    editor.SetHighlighter(&highlighter);
    try {
        editor.Lines()->LoadFromFile(arguments.at(1));
    } catch (const std::exception &e) {
        std::fprintf(stderr, "phpviewer: %s\n", e.what());
        return 1;
    }
    editor.SetReadOnly(true);
    editor.setWindowTitle(arguments.at(1));
    editor.resize(800, 600);

    if (arguments.size() == 4) {
        editor.setAttribute(Qt::WA_DontShowOnScreen);
        editor.show();
        QImage image(editor.viewport()->size(), QImage::Format_RGB32);
        QPainter painter(&image);
        editor.paintArea(painter, image.rect());
        painter.end();
        return image.save(arguments.at(3)) ? 0 : 1;
    }
    editor.show();
    return application.exec();
}
