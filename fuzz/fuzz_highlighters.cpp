// SPDX-License-Identifier: MIT
// libFuzzer target for the PHP and HTML highlighters: random lines scanned from random start
// ranges (also values no scanner produces) must end, give tokens that join to exactly the line,
// and give the same tokens and end range on a second highlighter with another history. Lines are
// also scanned with a display form holding fillers, or shorter than the line.
//
// Input: byte 0 selects the highlighter and the variants, byte 1 the start range, the rest is
// the line as UTF-16 code units.

#include "lexedit/LexEditTypes.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>

using namespace lexedit;

namespace {

[[noreturn]] void Fail(const char *AWhat) {
    std::fprintf(stderr, "highlighter invariant broken: %s\n", AWhat);
    std::abort();
}

struct ScanResult {
    QString Joined;
    TLexRange End = 0;
    int Tokens = 0;
};

ScanResult Scan(TLexCustomHighlighter &AHighlighter, TLexRange AStart, const QString &ALine,
                const QString *AExpanded) {
    ScanResult r;
    AHighlighter.SetRange(AStart);
    if (AExpanded)
        AHighlighter.SetLineExpandedAtWideGlyphs(ALine, *AExpanded, 0);
    else
        AHighlighter.SetLine(ALine, 0);
    int steps = 0;
    while (!AHighlighter.GetEol()) {
        if (++steps > 2 * (ALine.size() + 2)) Fail("the scan does not end");
        if (AHighlighter.GetTokenPos() != r.Joined.size()) Fail("a gap between tokens");
        r.Joined += AHighlighter.GetToken();
        ++r.Tokens;
        (void)AHighlighter.GetTokenAttribute();
        (void)AHighlighter.GetExpandedToken();
        (void)AHighlighter.GetExpandedTokenPos();
        AHighlighter.Next();
    }
    r.End = AHighlighter.GetRange();
    return r;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *AData, size_t ASize) {
    static TLexPHPLex php1, php2;
    static TLexHTMLLex html1, html2;
    if (ASize < 2) return 0;
    const uint8_t flags = AData[0];
    const auto rangeByte = static_cast<int8_t>(AData[1]);
    const TLexRange start = rangeByte == -128 ? (TLexRange(1) << 40) : TLexRange(rangeByte % 12);
    QString line;
    for (size_t i = 2; i + 1 < ASize; i += 2) {
        auto c = char16_t(AData[i] | AData[i + 1] << 8);
        if ((flags & 2) && c >= 0x80 && c < 0xE000) c = char16_t(c & 0x7F); // mostly ASCII
        line += QChar(c);
    }
    const bool html = flags & 1;
    TLexCustomHighlighter &first = html ? static_cast<TLexCustomHighlighter &>(html1) : php1;
    TLexCustomHighlighter &second = html ? static_cast<TLexCustomHighlighter &>(html2) : php2;

    const ScanResult a = Scan(first, start, line, nullptr);
    if (a.Joined != line) Fail("tokens do not join to the line");
    const ScanResult b = Scan(second, start, line, nullptr);
    if (b.Joined != a.Joined || b.End != a.End || b.Tokens != a.Tokens) Fail("two highlighters disagree");

    QString expanded;
    for (int i = 0; i < line.size(); ++i) {
        if ((flags & 4) && i % 3 == 0) expanded += FillerChar;
        expanded += line[i];
    }
    if (flags & 8) expanded.chop(expanded.size() / 2);
    if (Scan(first, start, line, &expanded).Joined != line)
        Fail("tokens with a display form do not join to the line");
    return 0;
}
