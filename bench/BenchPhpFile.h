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
