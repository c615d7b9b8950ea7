// SPDX-License-Identifier: MIT
#pragma once
// What the editor benchmarks share: the editor font and the peer's highlighting, a
// QSyntaxHighlighter giving a QTextDocument the PHP highlighter's runs.

#include "lexedit/LexColor.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QFont>
#include <QPalette>
#include <QSyntaxHighlighter>
#include <QTextCharFormat>
#include <QTextDocument>

inline QFont BenchEditorFont(int APixelSize) {
    QFont f;
    f.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(APixelSize);
    return f;
}

// The PHP highlighter's tokens with their attributes' colours and styles as the formats of a
// QTextDocument; the range at a line's end is kept as the block state.
class PhpRuns : public QSyntaxHighlighter {
public:
    PhpRuns(QTextDocument *ADocument, lexedit::TLexPHPLex &AHighlighter, const QPalette &APalette)
        : QSyntaxHighlighter(ADocument), H(AHighlighter), Palette(APalette) {}

protected:
    void highlightBlock(const QString &AText) override {
        const int Previous = previousBlockState();
        if (Previous <= 0)
            H.ResetRange();
        else
            H.SetRange(lexedit::TLexRange(Previous - 1));
        H.SetLine(AText, currentBlock().blockNumber());
        while (!H.GetEol()) {
            const lexedit::TLexHighlighterAttributes *A = H.GetTokenAttribute();
            const int Len = int(H.GetToken().size());
            if (A != nullptr && Len > 0) setFormat(H.GetTokenPos(), Len, FormatOf(*A));
            H.Next();
        }
        setCurrentBlockState(int(H.GetRange()) + 1);
    }

private:
    QTextCharFormat FormatOf(const lexedit::TLexHighlighterAttributes &A) {
        using namespace lexedit;
        QTextCharFormat F;
        if (A.Foreground() != clNone) F.setForeground(ColorToQColor(A.Foreground(), Palette));
        if (A.Background() != clNone) F.setBackground(ColorToQColor(A.Background(), Palette));
        F.setFontWeight(A.Style().Contains(fsBold) ? QFont::Bold : QFont::Normal);
        F.setFontItalic(A.Style().Contains(fsItalic));
        F.setFontUnderline(A.Style().Contains(fsUnderline));
        return F;
    }
    lexedit::TLexPHPLex &H;
    QPalette Palette;
};
