// SPDX-License-Identifier: MIT
#pragma once
// The generated PHP file the text benchmarks load: about 38 characters a line, mixed HTML and
// PHP, with CR LF line ends.

#include <QByteArray>

inline QByteArray GeneratePhp(int Lines) {
    QByteArray Out;
    Out.reserve(qsizetype(Lines) * 38);
    for (int i = 0; i < Lines; ++i) {
        switch (i % 4) {
        case 0:
            Out += "<div class=\"row\"><?php echo $v" + QByteArray::number(i % 97) + "; ?></div>\r\n";
            break;
        case 1:
            Out += "  $total += $items[" + QByteArray::number(i % 1000) + "] * 2; // sum\r\n";
            break;
        case 2:
            Out += "<p>Line " + QByteArray::number(i) + " of the generated page</p>\r\n";
            break;
        default:
            Out += "\tif ($a > $b) { $c = 'x'; }\r\n";
            break;
        }
    }
    return Out;
}

// The same lines in blocks that fold, about ALines lines in all: each unit is a documentation
// comment (3 lines), a function holding four lines of the mix above and a nested if block, and
// every 64 units a region around them. A unit of 13 lines has three fold ranges.
inline QByteArray GeneratePhpWithFolds(int ALines) {
    QByteArray Out;
    Out.reserve(qsizetype(ALines) * 34);
    const QByteArray Mix = GeneratePhp(4);
    int Lines = 0;
    for (int Unit = 0; Lines < ALines; ++Unit) {
        const QByteArray N = QByteArray::number(Unit);
        if (Unit % 64 == 0) {
            if (Unit > 0) Out += "//#endregion\r\n";
            Out += "//#region part " + N + "\r\n";
            Lines += Unit > 0 ? 2 : 1;
        }
        Out += "/**\r\n * Function " + N + ".\r\n */\r\n";
        Out += "function f" + N + "($a, $b) {\r\n";
        Out += Mix;
        Out += "  if ($a > $b) {\r\n    $total += $items[" + N + "] * 2;\r\n  }\r\n  return $a;\r\n}\r\n";
        Lines += 13;
    }
    Out += "//#endregion\r\n";
    return Out;
}
