// SPDX-License-Identifier: MIT
// Scan speed of the PHP and HTML highlighters, scanning every line with the range carried from
// the line before (as the editor does after loading a file), against a peer measured in the same
// run: a tokenizer built on one QRegularExpression per line, the way simple highlighters work.
//
// Usage: bench_highlighters [megabytes of UTF-16 text per language, default 50]

#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRegularExpression>
#include <QStringList>

#include <cstdio>

using namespace lexedit;

namespace {

struct Sample {
    QStringList Lines;
    qint64 Bytes = 0; // UTF-16 bytes including a CR LF per line
};

Sample Generate(const QStringList &APattern, qint64 ABytes) {
    Sample s;
    while (s.Bytes < ABytes) {
        for (const QString &line : APattern) {
            s.Lines << line;
            s.Bytes += 2 * (line.size() + 2);
        }
    }
    return s;
}

double ScanWithHighlighter(TLexCustomHighlighter &AHighlighter, const Sample &ASample, qint64 &ATokens) {
    QElapsedTimer timer;
    timer.start();
    ATokens = 0;
    AHighlighter.ResetRange();
    for (int i = 0; i < ASample.Lines.size(); ++i) {
        if (i > 0) AHighlighter.SetRange(AHighlighter.GetRange());
        AHighlighter.SetLine(ASample.Lines[i], i);
        while (!AHighlighter.GetEol()) {
            AHighlighter.Next();
            ++ATokens;
        }
    }
    return timer.nsecsElapsed() / 1e9;
}

double ScanWithRegularExpression(const Sample &ASample, qint64 &ATokens) {
    static const QRegularExpression token(QStringLiteral(
        R"(\$?[A-Za-z_][A-Za-z0-9_]*|0[xX][0-9A-Fa-f]+|\d+|"(?:[^"\\]|\\.)*"|'(?:[^'\\]|\\.)*'|//.*|#.*|/\*.*?\*/|<!--.*?-->|&\w+;|\s+|.)"));
    QElapsedTimer timer;
    timer.start();
    ATokens = 0;
    for (const QString &line : ASample.Lines) {
        auto it = token.globalMatch(line);
        while (it.hasNext()) {
            it.next();
            ++ATokens;
        }
    }
    return timer.nsecsElapsed() / 1e9;
}

void Report(const char *AName, const Sample &ASample, TLexCustomHighlighter &AHighlighter) {
    qint64 ours = 0, peer = 0;
    const double oursSeconds = ScanWithHighlighter(AHighlighter, ASample, ours);
    const double peerSeconds = ScanWithRegularExpression(ASample, peer);
    const double mb = ASample.Bytes / 1e6;
    std::printf(
        "%-5s %9lld lines %6.1f MB | highlighter %7.3f s %7.1f MB/s %9lld tokens | regex peer %7.3f s "
        "%7.1f MB/s | %.1fx the peer\n",
        AName, static_cast<long long>(ASample.Lines.size()), mb, oursSeconds, mb / oursSeconds,
        static_cast<long long>(ours), peerSeconds, mb / peerSeconds, peerSeconds / oursSeconds);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    const qint64 bytes = (argc > 1 ? QByteArray(argv[1]).toLongLong() : 50) * 1000 * 1000;

    const QStringList php = {
        QStringLiteral("<?php"),
        QStringLiteral("/**"),
        QStringLiteral(" * Documentation of the function."),
        QStringLiteral(" */"),
        QStringLiteral("function compute($a, $b = 10, array $opts = []) {"),
        QStringLiteral("    // add things up"),
        QStringLiteral("    $total = $a + $b * 2 - 0x1F;"),
        QStringLiteral("    $name = \"value {$opts['key']} and $a->b[0]\";"),
        QStringLiteral("    if ($total >= 100 && isset($opts['x'])) { echo 'big\\'one'; }"),
        QStringLiteral("    foreach ($opts as $k => $v) { $total += strlen($k) . $v; } # trailing"),
        QStringLiteral("    return $total;"),
        QStringLiteral("}"),
        QStringLiteral("?><p class=\"x\">Text &amp; more</p>")};
    const QStringList html = {QStringLiteral("<!DOCTYPE html>"),
                              QStringLiteral("<html><head><title>Result &amp; report</title></head>"),
                              QStringLiteral("<body bgcolor=\"white\">"),
                              QStringLiteral("  <table border=1 class='grid'>"),
                              QStringLiteral("    <tr><td>Value &lt; 10</td><td>&#169; 2024</td></tr>"),
                              QStringLiteral("  </table>"),
                              QStringLiteral("  <!-- a comment"),
                              QStringLiteral("  spanning lines -->"),
                              QStringLiteral("  <p>Plain text output line with some words in it.</p>"),
                              QStringLiteral("</body></html>")};

    TLexPHPLex phpHighlighter;
    Report("PHP", Generate(php, bytes), phpHighlighter);
    TLexHTMLLex htmlHighlighter;
    Report("HTML", Generate(html, bytes), htmlHighlighter);
    return 0;
}
