// SPDX-License-Identifier: MIT
// lextokens --lang php|html [--ranges] FILE
//
// Prints every token of FILE as the editor's highlighter scans it, one per line:
//   <line>\t<start>\t<kind>\t<attribute>\t<text>
// line is 1-based, start the 0-based position of the token in its line, kind the ordinal of the
// highlighter's token kind, attribute the attribute's Name ("-" for none, as for the end-of-line
// token that closes every line). The text is UTF-8 with backslash, TAB, CR, LF, NUL and other
// control characters escaped (\\ \t \r \n \0 \xNN). With --ranges, each line's tokens are followed
// by "<line>\trange\t<value>", the range the line ends in. Lines are split at CR LF, CR and LF and
// scanned with the range of the previous line carried, starting from the initial state.

#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdio>
#include <memory>
#include <string>

namespace {

std::string Escape(const QString &AText) {
    std::string Result;
    for (QChar ch : AText) {
        const char16_t c = ch.unicode();
        switch (c) {
        case u'\\':
            Result += "\\\\";
            break;
        case u'\t':
            Result += "\\t";
            break;
        case u'\r':
            Result += "\\r";
            break;
        case u'\n':
            Result += "\\n";
            break;
        case 0:
            Result += "\\0";
            break;
        default:
            if (c < 32 || c == 127) {
                char Buf[8];
                std::snprintf(Buf, sizeof Buf, "\\x%02X", unsigned(c));
                Result += Buf;
            } else {
                Result += QString(ch).toUtf8().toStdString();
            }
            break;
        }
    }
    return Result;
}

// Lone surrogates are kept as they are by splitting on code units.
QStringList SplitLines(const QString &AText) {
    QStringList Lines;
    qsizetype Start = 0;
    const qsizetype n = AText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = AText[i];
        if (c == u'\r' || c == u'\n') {
            Lines << AText.mid(Start, i - Start);
            if (c == u'\r' && i + 1 < n && AText[i + 1] == u'\n') ++i;
            Start = i + 1;
        }
    }
    if (Start < n) Lines << AText.mid(Start);
    return Lines;
}

int Usage() {
    std::fputs("usage: lextokens --lang php|html [--ranges] FILE\n", stderr);
    return 2;
}

} // namespace

int main(int argc, char **argv) {
    QString Lang, FileName;
    bool Ranges = false;
    for (int i = 1; i < argc; ++i) {
        const QString Arg = QString::fromLocal8Bit(argv[i]);
        if (Arg == QLatin1String("--lang") && i + 1 < argc)
            Lang = QString::fromLocal8Bit(argv[++i]);
        else if (Arg == QLatin1String("--ranges"))
            Ranges = true;
        else if (Arg.startsWith(QLatin1String("--")) || !FileName.isEmpty())
            return Usage();
        else
            FileName = Arg;
    }
    if (FileName.isEmpty()) return Usage();
    std::unique_ptr<lexedit::TLexCustomHighlighter> Highlighter;
    if (Lang == QLatin1String("php"))
        Highlighter = std::make_unique<lexedit::TLexPHPLex>();
    else if (Lang == QLatin1String("html"))
        Highlighter = std::make_unique<lexedit::TLexHTMLLex>();
    else
        return Usage();

    QFile File(FileName);
    if (!File.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "lextokens: cannot read %s: %s\n", qPrintable(FileName),
                     qPrintable(File.errorString()));
        return 1;
    }
    QString Text = QString::fromUtf8(File.readAll());
    if (Text.startsWith(QChar(0xFEFF))) Text.remove(0, 1);

    const QStringList Lines = SplitLines(Text);
    Highlighter->ResetRange();
    std::string Out;
    for (int i = 0; i < Lines.size(); ++i) {
        Highlighter->SetLine(Lines[i], i);
        for (;;) {
            const lexedit::TLexHighlighterAttributes *Attr = Highlighter->GetTokenAttribute();
            Out += std::to_string(i + 1) + '\t' + std::to_string(Highlighter->GetTokenPos()) + '\t' +
                   std::to_string(Highlighter->GetTokenKind()) + '\t' +
                   (Attr ? Attr->Name().toStdString() : std::string("-")) + '\t' +
                   Escape(Highlighter->GetToken()) + '\n';
            if (Highlighter->GetEol()) break;
            Highlighter->Next();
        }
        if (Ranges)
            Out += std::to_string(i + 1) + "\trange\t" + std::to_string(Highlighter->GetRange()) + '\n';
    }
    std::fwrite(Out.data(), 1, Out.size(), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
}
