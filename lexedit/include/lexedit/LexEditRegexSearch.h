// SPDX-License-Identifier: MIT
#pragma once
// The regular-expression search engine on PCRE2 (its syntax, with Unicode properties).
//
// ssoMatchCase off makes the match case-insensitive; ssoWholeWord requires that a match is not
// preceded or followed by a word character. Lines held as Latin-1 bytes are matched as they are,
// through PCRE2's 8-bit library, with the same results as the same text as UTF-16. A line that is
// not valid UTF-16 is matched with each lone surrogate standing as U+FFFD (groups still hand out
// the line's own characters).
//
// Every engine call runs under a PCRE2 match limit, and one search (from the setting of its
// options or pattern on) has one budget of expensive start positions: a pattern that backtracks
// without end fails with "pattern too complex" instead of freezing, whether on one line or a
// little on each of many.
//
// The replacement expression knows the back-references \0..\9 and $0..$9 (group 0 is the whole
// match; a group that took no part inserts nothing), "$$" for '$', the escapes \\, \n and \t, and
// the case operators \U and \L (upper or lower case up to \E or the end) and \u and \l (the next
// character only). Any other backslash pair is kept as it is.

#include "lexedit/LexEditMiscClasses.h"
#include "lexedit/LexEditTypes.h"

#include <QByteArray>
#include <QLatin1String>
#include <QString>

#include <functional>
#include <memory>
#include <vector>

namespace lexedit {

class TLexEditRegexSearch : public TLexEditSearchCustom {
public:
    // The PCRE2 match limit of one start position: far above what ordinary patterns need, low
    // enough that a runaway pattern gives up within a fraction of a second.
    static constexpr int MatchLimit = 5000000;
    // Start positions that need more than this many steps are expensive: each is charged
    // MatchLimit to the search's budget.
    static constexpr int CheapLimit = 100000;
    // The budget of one search, in match-limit steps: twenty start positions at the limit.
    static constexpr long long DefaultSearchBudget = 20LL * MatchLimit;

    TLexEditRegexSearch();
    ~TLexEditRegexSearch() override;

    QString GetPattern() const override { return fPattern; }
    // Setting the pattern or the options starts a new search with a full budget.
    void SetPattern(const QString &Value) override;
    int GetLength(int Index) const override;
    int GetResult(int Index) const override;
    int GetResultCount() const override { return fCount; }
    void SetOptions(TLexSearchOptions Value) override;
    // Throws ELexSearchError for an invalid pattern and for a pattern too complex to finish.
    // After an empty match the next one is looked for at the same place only if it is not empty,
    // then from the next character on.
    int FindAll(const QString &NewText) override;
    int FindAllLatin1(QLatin1String NewText) override;
    // Expands the replacement expression with the groups of the match of the last FindAll whose
    // text is aOccurrence (or, when none is, of the pattern matched against aOccurrence alone).
    QString Replace(const QString &aOccurrence, const QString &aReplacement) override;
    // Expands it with the groups of match Index of the last FindAll when its text is aOccurrence.
    QString ReplaceMatch(int Index, QStringView aOccurrence, const QString &aReplacement) override;
    // Lines held as Latin-1 bytes are searched many at a time (those that lie one after another
    // in one block, as a loaded file's do, where they are; others copied into one), one engine
    // call for a stretch without matches, when the pattern cannot tell a
    // line break from the end of a line (no lookarounds, anchors of the whole text, atomic
    // groups, possessive quantifiers, verbs or changes of multi-line mode). A match found so
    // stands for the line's own search unless it reaches past the line's end; then that line is
    // searched on its own.
    long long FindAllLines(const TLexEditStringList &ALines, int AFirst, int ALast,
                           const std::function<bool(int, int)> &AFound) override;

    // The budget a search starts with (see DefaultSearchBudget).
    long long SearchBudget = DefaultSearchBudget;

private:
    struct TImpl;
    void Compile();
    void Invalidate();
    QString Group(int AMatch, int AGroup) const;
    bool GroupEquals(int AMatch, int AGroup, QStringView AText) const;
    int GatherLatin1(const TLexEditStringList &ALines, int AFirst, int ALast, QLatin1String &ARun);
    QString Expand(const QString &AExpression, int AMatch) const;
    QString fPattern;
    TLexSearchOptions fOptions;
    std::unique_ptr<TImpl> fImpl;
    // The matches of the last FindAll: fGroups + 1 pairs of (start, end) offsets each, -1 for a
    // group that took no part.
    int fCount = 0;
    int fGroups = 0;
    std::vector<int> fOffsets;
    // The text they were found in (for the groups): UTF-16, or Latin-1 bytes (fView, which is
    // fBytes or, inside FindAllLines, the line in the buffer).
    QString fText;
    QByteArray fBytes;
    QLatin1String fView;
    bool fTextIsBytes = false;
    QByteArray fScratch; // lines copied into one block for FindAllLines
    long long fBudgetLeft = DefaultSearchBudget;
};

} // namespace lexedit
