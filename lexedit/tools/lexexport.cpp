// SPDX-License-Identifier: MIT
// Exports a PHP or HTML file as the editor highlights it, as an XHTML document (or only its
// <pre> element), in one of the exporter's encodings. The highlighter is chosen by the file's
// extension (.php .php3 .php4 .php5 .phtml .inc: PHP; .html .htm .xhtml: HTML).
//
//   ./lexexport [--fragment] [--encoding utf-8|utf-16le|utf-16be|latin1] FILE OUT.html

#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexExportHTML.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QStringList>

#include <cstdio>
#include <exception>
#include <memory>

using namespace lexedit;

namespace {

int Usage() {
    std::fprintf(stderr,
                 "usage: lexexport [--fragment] [--encoding utf-8|utf-16le|utf-16be|latin1] FILE OUT.html\n");
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    QStringList Args = QCoreApplication::arguments().mid(1);
    bool Fragment = false;
    TLexEncoding Encoding = seUTF8;
    QStringList Files;
    for (int i = 0; i < Args.size(); ++i) {
        const QString &A = Args[i];
        if (A == QLatin1String("--fragment")) {
            Fragment = true;
        } else if (A == QLatin1String("--encoding") && i + 1 < Args.size()) {
            const QString E = Args[++i].toLower();
            if (E == QLatin1String("utf-8") || E == QLatin1String("utf8"))
                Encoding = seUTF8;
            else if (E == QLatin1String("utf-16le"))
                Encoding = seUTF16LE;
            else if (E == QLatin1String("utf-16be"))
                Encoding = seUTF16BE;
            else if (E == QLatin1String("latin1") || E == QLatin1String("iso-8859-1"))
                Encoding = seAnsi;
            else
                return Usage();
        } else if (A.startsWith(QLatin1String("--"))) {
            return Usage();
        } else {
            Files << A;
        }
    }
    if (Files.size() != 2) return Usage();
    const QString Suffix = QFileInfo(Files[0]).suffix().toLower();
    std::unique_ptr<TLexCustomHighlighter> Highlighter;
    if (QStringList{"php", "php3", "php4", "php5", "phtml", "inc"}.contains(Suffix))
        Highlighter = std::make_unique<TLexPHPLex>();
    else if (QStringList{"html", "htm", "xhtml"}.contains(Suffix))
        Highlighter = std::make_unique<TLexHTMLLex>();
    if (!Highlighter) {
        std::fprintf(stderr, "lexexport: %s: not a PHP or HTML file name\n", qPrintable(Files[0]));
        return 2;
    }
    try {
        TLexEditStringList Lines;
        Lines.LoadFromFile(Files[0]);
        TLexExporterHTML Exporter;
        Exporter.SetHighlighter(Highlighter.get());
        Exporter.SetExportAsText(true);
        Exporter.SetCreateHTMLFragment(Fragment);
        Exporter.SetEncoding(Encoding);
        Exporter.SetTitle(QFileInfo(Files[0]).fileName());
        Exporter.ExportAllToFile(Lines, Files[1]);
    } catch (const std::exception &E) {
        std::fprintf(stderr, "lexexport: %s\n", E.what());
        return 1;
    }
    return 0;
}
