// SPDX-License-Identifier: MIT
// Paints a PHP file the way the editor shows it into a PNG image: line numbers, the PHP
// highlighter's colours, a selection, the caret line colour, a bookmark and the right edge.
// With --fold, code folding instead: fold shapes, indent guides (tab width 4), the collapsed-line
// rule and collapse marks, with the regions, the block comments and the first block nested two
// deep collapsed.
//
//   QT_QPA_PLATFORM=offscreen ./lexpaint [--fold] input.php output.png [width height]

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditCodeFolding.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QImage>
#include <QPainter>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace lexedit;

int main(int argc, char **argv) {
    QApplication App(argc, argv);
    const bool Fold = argc > 1 && std::strcmp(argv[1], "--fold") == 0;
    if (Fold) {
        --argc;
        ++argv;
    }
    if (argc < 3) {
        std::fprintf(stderr, "usage: lexpaint [--fold] input.php output.png [width height]\n");
        return 2;
    }
    const int Width = argc > 4 ? std::atoi(argv[3]) : 800;
    const int Height = argc > 4 ? std::atoi(argv[4]) : 420;
    TLexPHPLex Php;
    TLexEdit E;
    QFont Font(QStringLiteral("DejaVu Sans Mono"));
    Font.setPixelSize(13);
    E.SetEditorFont(Font);
    E.Gutter().SetShowLineNumbers(true);
    E.Gutter().SetFont(Font);
    E.SetHighlighter(&Php);
    E.Lines()->LoadFromFile(QString::fromLocal8Bit(argv[1]));
    E.SetActiveLineColor(0xF0F8FF);
    if (Fold) {
        E.SetTabWidth(4);
        E.SetUseCodeFolding(true);
        E.CodeFolding().SetShowCollapsedLine(true);
        E.SetCaretXY(BufferCoord(1, 1));
        E.CollapseFoldType(FoldRegionType);
        E.CollapseFoldType(2);
        const std::vector<int> Nested = E.AllFoldRanges().FoldsAtLevel(2);
        if (!Nested.empty()) E.Collapse(Nested.front());
    } else {
        E.SetCaretXY(BufferCoord(1, 4));
        E.SetBlockBegin(BufferCoord(5, 9));
        E.SetBlockEnd(BufferCoord(20, 10));
        E.SetBookMark(1, 1, 6);
    }
    E.SetRightEdge(60);
    E.setAttribute(Qt::WA_DontShowOnScreen);
    E.resize(Width, Height);
    E.show();
    QImage Image(E.viewport()->size(), QImage::Format_RGB32);
    QPainter P(&Image);
    E.paintArea(P, Image.rect());
    P.end();
    return Image.save(QString::fromLocal8Bit(argv[2])) ? 0 : 1;
}
