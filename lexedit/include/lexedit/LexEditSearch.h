// SPDX-License-Identifier: MIT
#pragma once
// The plain-text search engine: finds a literal string, with or without case, optionally only as
// a whole word.

#include "lexedit/LexEditMiscClasses.h"
#include "lexedit/LexEditTypes.h"

#include <QByteArray>
#include <QString>

#include <functional>
#include <vector>

namespace lexedit {

class TLexEditSearch : public TLexEditSearchCustom {
public:
    // Tells whether a character (a full code point) belongs to a word.
    using TWordCharRule = std::function<bool(char32_t)>;

    TLexEditSearch();

    QString GetPattern() const override { return fPattern; }
    void SetPattern(const QString &Value) override;
    int GetLength(int Index) const override;
    int GetResult(int Index) const override;
    int GetResultCount() const override { return int(fResults.size()); }
    void SetOptions(TLexSearchOptions Value) override;
    // Matches do not overlap: the search goes on after the end of each match. A match never
    // starts or ends inside a surrogate pair; an empty pattern finds nothing.
    int FindAll(const QString &NewText) override;
    // Searches the bytes themselves, with the same results as FindAll on the converted text.
    int FindAllLatin1(QLatin1String NewText) override;
    // The replacement is literal text.
    QString Replace(const QString &aOccurrence, const QString &aReplacement) override;
    QString ReplaceMatch(int Index, QStringView aOccurrence, const QString &aReplacement) override {
        Q_UNUSED(Index);
        Q_UNUSED(aOccurrence);
        return aReplacement;
    }

    // The rule for whole words; by default letters, digits and '_'.
    TWordCharRule WordCharRule;
    static bool DefaultWordChar(char32_t C);

private:
    void PrepareLatin1();
    QString fPattern;
    TLexSearchOptions fOptions;
    std::vector<int> fResults;
    // For Latin-1 text: the pattern's characters case-folded (when not matching case), whether
    // every one of them can stand in Latin-1 text at all, and the pattern as bytes (matching case).
    bool fLatin1Ready = false;
    bool fLatin1Possible = false;
    std::vector<char16_t> fFolded;
    QByteArray fPatternBytes;
};

// The code point ending just before Index (0-based) and the one starting at Index; 0 when there
// is none. Shared by the engines' whole-word tests.
char32_t CodePointBefore(const QString &AText, int Index);
char32_t CodePointAt(const QString &AText, int Index);

} // namespace lexedit
