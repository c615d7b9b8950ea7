// The plain-text search engine.

#include "lexedit/LexEditSearch.h"

#include <QChar>

namespace lexedit {

char32_t CodePointBefore(const QString &AText, int Index) {
    if (Index <= 0 || Index > AText.size()) return 0;
    const QChar Low = AText.at(Index - 1);
    if (Low.isLowSurrogate() && Index >= 2 && AText.at(Index - 2).isHighSurrogate())
        return QChar::surrogateToUcs4(AText.at(Index - 2), Low);
    return Low.unicode();
}

char32_t CodePointAt(const QString &AText, int Index) {
    if (Index < 0 || Index >= AText.size()) return 0;
    const QChar High = AText.at(Index);
    if (High.isHighSurrogate() && Index + 1 < AText.size() && AText.at(Index + 1).isLowSurrogate())
        return QChar::surrogateToUcs4(High, AText.at(Index + 1));
    return High.unicode();
}

namespace {

// True when a boundary at Index (0-based) falls between the two halves of a surrogate pair.
bool SplitsPair(const QString &AText, int Index) {
    return Index > 0 && Index < AText.size() && AText.at(Index - 1).isHighSurrogate() &&
           AText.at(Index).isLowSurrogate();
}

} // namespace

TLexEditSearch::TLexEditSearch() : WordCharRule(&TLexEditSearch::DefaultWordChar) {}

bool TLexEditSearch::DefaultWordChar(char32_t C) {
    return C == U'_' || QChar::isLetterOrNumber(C);
}

int TLexEditSearch::GetLength(int Index) const {
    if (Index < 0 || Index >= int(fResults.size())) return 0;
    return int(fPattern.size());
}

int TLexEditSearch::GetResult(int Index) const {
    if (Index < 0 || Index >= int(fResults.size())) return 0;
    return fResults[size_t(Index)];
}

int TLexEditSearch::FindAll(const QString &NewText) {
    fResults.clear();
    const auto Len = fPattern.size();
    if (Len == 0) return 0;
    const Qt::CaseSensitivity Cs = fOptions.Contains(ssoMatchCase) ? Qt::CaseSensitive : Qt::CaseInsensitive;
    const bool WholeWord = fOptions.Contains(ssoWholeWord);
    qsizetype From = 0;
    for (;;) {
        const qsizetype Found = NewText.indexOf(fPattern, From, Cs);
        if (Found < 0) break;
        const int Start = int(Found);
        const int End = int(Found + Len);
        bool Accept = !SplitsPair(NewText, Start) && !SplitsPair(NewText, End);
        if (Accept && WholeWord && WordCharRule) {
            const char32_t Before = CodePointBefore(NewText, Start);
            const char32_t After = CodePointAt(NewText, End);
            Accept = !(Before != 0 && WordCharRule(Before)) && !(After != 0 && WordCharRule(After));
        }
        if (Accept) {
            fResults.push_back(Start + 1);
            From = End;
        } else {
            From = Found + 1;
        }
    }
    return int(fResults.size());
}

QString TLexEditSearch::Replace(const QString &aOccurrence, const QString &aReplacement) {
    Q_UNUSED(aOccurrence);
    return aReplacement;
}

} // namespace lexedit
