// SPDX-License-Identifier: MIT
// The plain-text search engine.

#include "lexedit/LexEditSearch.h"

#include <QChar>

#include <algorithm>
#include <array>
#include <cstring>

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

namespace {

// The simple case folding of every Latin-1 character: what a case-insensitive QString search
// compares, code unit by code unit.
const std::array<char16_t, 256> &Latin1Folds() {
    static const std::array<char16_t, 256> Folds = [] {
        std::array<char16_t, 256> Result{};
        for (int i = 0; i < 256; ++i)
            Result[size_t(i)] = QChar(char16_t(i)).toCaseFolded().unicode();
        return Result;
    }();
    return Folds;
}

} // namespace

TLexEditSearch::TLexEditSearch() : WordCharRule(&TLexEditSearch::DefaultWordChar) {}

void TLexEditSearch::SetPattern(const QString &Value) {
    if (Value != fPattern) fLatin1Ready = false;
    fPattern = Value;
}

void TLexEditSearch::SetOptions(TLexSearchOptions Value) {
    if (Value.Contains(ssoMatchCase) != fOptions.Contains(ssoMatchCase)) fLatin1Ready = false;
    fOptions = Value;
}

void TLexEditSearch::PrepareLatin1() {
    fLatin1Ready = true;
    fLatin1Possible = true;
    fFolded.clear();
    fPatternBytes.clear();
    if (fOptions.Contains(ssoMatchCase)) {
        fLatin1Possible =
            std::all_of(fPattern.begin(), fPattern.end(), [](QChar C) { return C.unicode() <= 0xFF; });
        if (fLatin1Possible) fPatternBytes = fPattern.toLatin1();
        return;
    }
    // A pattern character matches a Latin-1 one when their folds are equal; one whose fold is
    // no Latin-1 character's (most of them beyond Latin-1) matches nothing here.
    const auto &Folds = Latin1Folds();
    for (QChar C : fPattern) {
        const char16_t F = C.toCaseFolded().unicode();
        if (std::find(Folds.begin(), Folds.end(), F) == Folds.end()) fLatin1Possible = false;
        fFolded.push_back(F);
    }
}

int TLexEditSearch::FindAllLatin1(QLatin1String NewText) {
    fResults.clear();
    const qsizetype Len = fPattern.size();
    if (Len == 0) return 0;
    if (!fLatin1Ready) PrepareLatin1();
    const qsizetype N = NewText.size();
    if (!fLatin1Possible || Len > N) return 0;
    const auto *T = reinterpret_cast<const unsigned char *>(NewText.data());
    const bool WholeWord = fOptions.Contains(ssoWholeWord) && WordCharRule;
    // The same rule as FindAll: a candidate failing the word test lets the search go on one
    // character later, a match after its end.
    const auto Take = [&](qsizetype Start) {
        if (WholeWord &&
            ((Start > 0 && WordCharRule(T[Start - 1])) || (Start + Len < N && WordCharRule(T[Start + Len]))))
            return false;
        fResults.push_back(int(Start) + 1);
        return true;
    };
    if (fOptions.Contains(ssoMatchCase)) {
        const auto *P = reinterpret_cast<const unsigned char *>(fPatternBytes.constData());
        qsizetype From = 0;
        while (From + Len <= N) {
            const void *Hit = std::memchr(T + From, P[0], size_t(N - Len + 1 - From));
            if (Hit == nullptr) break;
            const qsizetype At = static_cast<const unsigned char *>(Hit) - T;
            if (std::memcmp(T + At + 1, P + 1, size_t(Len - 1)) == 0 && Take(At))
                From = At + Len;
            else
                From = At + 1;
        }
    } else {
        const auto &Folds = Latin1Folds();
        const char16_t *F = fFolded.data();
        qsizetype From = 0;
        while (From + Len <= N) {
            if (Folds[T[From]] != F[0]) {
                ++From;
                continue;
            }
            qsizetype k = 1;
            while (k < Len && Folds[T[From + k]] == F[k])
                ++k;
            if (k == Len && Take(From))
                From += Len;
            else
                ++From;
        }
    }
    return int(fResults.size());
}

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
