// SPDX-License-Identifier: MIT
// The fold scan of the PHP highlighter: block comments over several lines, region markers and
// braces.
//
// Each scanned line is tokenised at most once, and only when it can hold a marker (a brace, or a
// comment as its first non-blank character); every other line gets no marker at once.

#include "lexedit/LexHighlighterPHP.h"

#include "lexedit/LexEditTextBuffer.h"

#include <algorithm>

namespace lexedit {

using namespace php;

namespace {

// Fold types of the PHP highlighter.
constexpr int BraceFoldType = 1;
constexpr int CommentFoldType = 2;

bool EndsInComment(TLexRange Range) {
    return Range == TLexRange(rsComment) || Range == TLexRange(rsDocument);
}

bool IsIdentCodeUnit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_';
}

// Whether the text at P (N units) starts with the ASCII word AWord in any letter case and the
// word ends there (the marker is not the start of a longer word).
bool StartsWithMarker(const char16_t *P, int N, const char *AWord) {
    int i = 0;
    for (; AWord[i] != 0; ++i) {
        if (i >= N) return false;
        char16_t c = P[i];
        if (c >= u'a' && c <= u'z') c = char16_t(c - 32);
        if (c != char16_t(AWord[i])) return false;
    }
    return i >= N || !IsIdentCodeUnit(P[i]);
}

enum TRegionMarker { rmNone, rmStart, rmEnd };

TRegionMarker RegionMarkerOf(const char16_t *P, int N) {
    for (const char *W : {"//#REGION", "#REGION", "//REGION"})
        if (StartsWithMarker(P, N, W)) return rmStart;
    for (const char *W : {"//#ENDREGION", "#ENDREGION", "//ENDREGION"})
        if (StartsWithMarker(P, N, W)) return rmEnd;
    return rmNone;
}

// Whether the line can hold a region or brace marker at all.
bool MayHoldMarker(const QString &S) {
    const char16_t *P = reinterpret_cast<const char16_t *>(S.constData());
    const int N = int(S.size());
    int i = 0;
    while (i < N && P[i] <= 32)
        ++i;
    if (i < N && (P[i] == u'/' || P[i] == u'#')) return true;
    return std::any_of(P + i, P + N, [](char16_t c) { return c == u'{' || c == u'}'; });
}

// Whether the line, started outside strings and comments, holds nothing that opens a string or a
// comment: then every brace on it is a symbol and the line needs no tokenising.
bool IsPlainCode(const QString &S) {
    for (QChar c : S) {
        const char16_t u = c.unicode();
        if (u == u'"' || u == u'\'' || u == u'`' || u == u'#' || u == u'/') return false;
    }
    return true;
}

} // namespace

void TLexPHPLex::ScanForFoldRanges(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan,
                                   int FromLine, int ToLine) {
    const int Count = LinesToScan.Count();
    FromLine = std::max(FromLine, 0);
    ToLine = std::min(ToLine, Count - 1);
    if (FromLine > ToLine) return; // no line to scan (an empty buffer, a start past the end)
    bool PrevInComment = FromLine > 0 && EndsInComment(LinesToScan.GetRange(FromLine - 1));
    for (int i = FromLine; i <= ToLine; ++i) {
        const bool InComment = EndsInComment(LinesToScan.GetRange(i));
        if (InComment) {
            if (PrevInComment)
                FoldRanges.NoFoldInfo(i + 1);
            else
                FoldRanges.StartFoldRange(i + 1, CommentFoldType);
        } else if (PrevInComment) {
            FoldRanges.StopFoldRange(i + 1, CommentFoldType);
        } else {
            ScanLineFolds(FoldRanges, LinesToScan, i);
        }
        PrevInComment = InComment;
    }
}

void TLexPHPLex::ScanLineFolds(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan, int Line) {
    const QString S = LinesToScan.Get(Line);
    if (S.isEmpty() || !MayHoldMarker(S)) {
        FoldRanges.NoFoldInfo(Line + 1);
        return;
    }
    char16_t FirstBrace = 0;   // the first brace outside comments and strings
    bool MatchedLater = false; // the opposite brace follows it on the line
    int Region = rmNone;
    const TLexRange Start = Line > 0 ? LinesToScan.GetRange(Line - 1) : TLexRange(rsUnKnown);
    if ((Start == TLexRange(rsUnKnown) || Start == NullRange) && IsPlainCode(S)) {
        for (QChar c : S) {
            if (c != QLatin1Char('{') && c != QLatin1Char('}')) continue;
            if (FirstBrace == 0)
                FirstBrace = c.unicode();
            else if (c.unicode() != FirstBrace)
                MatchedLater = true;
        }
    } else {
        ScanLineTokens(LinesToScan, Line, FirstBrace, MatchedLater, Region);
    }
    if (Region == rmStart)
        FoldRanges.StartFoldRange(Line + 1, FoldRegionType);
    else if (Region == rmEnd)
        FoldRanges.StopFoldRange(Line + 1, FoldRegionType);
    else if (FirstBrace == u'{' && !MatchedLater)
        FoldRanges.StartFoldRange(Line + 1, BraceFoldType);
    else if (FirstBrace == u'}' && !MatchedLater)
        FoldRanges.StopFoldRange(Line + 1, BraceFoldType);
    else
        FoldRanges.NoFoldInfo(Line + 1);
}

void TLexPHPLex::ScanLineTokens(const TLexEditStringList &LinesToScan, int Line, char16_t &FirstBrace,
                                bool &MatchedLater, int &Region) {
    StartLineScan(LinesToScan, Line);
    bool First = true; // no token but blanks seen yet
    while (!GetEol()) {
        const TtkTokenKind Kind = FTokenID;
        if (Kind == tkSymbol) {
            for (int p = fTokenPos; p < Run; ++p) {
                const char16_t c = fLine[p];
                if (c != u'{' && c != u'}') continue;
                if (FirstBrace == 0)
                    FirstBrace = c;
                else if (c != FirstBrace)
                    MatchedLater = true;
            }
        }
        if (First && Kind != tkSpace && Kind != tkNull) {
            First = false;
            if (Kind == tkComment) Region = RegionMarkerOf(fLine + fTokenPos, Run - fTokenPos);
            if (Region != rmNone) break;
        }
        Next();
    }
    ReleaseLargeLineCopy();
}

} // namespace lexedit
