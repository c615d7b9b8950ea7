#pragma once
// The regular-expression search engine on QRegularExpression (PCRE2 syntax).
//
// ssoMatchCase off makes the match case-insensitive; ssoWholeWord requires that a match is not
// preceded or followed by a word character. Every match runs under a PCRE2 match limit, so that a
// pattern that backtracks without end fails with "pattern too complex" instead of freezing (a
// pattern with backtracking verbs such as (*COMMIT) stops at the limit too, but silently).
//
// The replacement expression knows the back-references \0..\9 and $0..$9 (group 0 is the whole
// match; a group that took no part inserts nothing), "$$" for '$', the escapes \\, \n and \t, and
// the case operators \U and \L (upper or lower case up to \E or the end) and \u and \l (the next
// character only). Any other backslash pair is kept as it is.

#include "lexedit/LexEditMiscClasses.h"
#include "lexedit/LexEditSearch.h"
#include "lexedit/LexEditTypes.h"

#include <QLatin1String>
#include <QRegularExpression>
#include <QRegularExpressionMatch>
#include <QString>

#include <vector>

namespace lexedit {

class TLexEditRegexSearch : public TLexEditSearchCustom {
public:
    // The PCRE2 match limit given to every pattern: far above what ordinary patterns need on any
    // start position, low enough that a runaway pattern gives up within a fraction of a second.
    static constexpr int MatchLimit = 5000000;

    QString GetPattern() const override { return fPattern; }
    void SetPattern(const QString &Value) override;
    int GetLength(int Index) const override;
    int GetResult(int Index) const override;
    int GetResultCount() const override { return int(fMatches.size()); }
    void SetOptions(TLexSearchOptions Value) override;
    // Throws ELexSearchError for an invalid pattern and for a pattern too complex to finish.
    int FindAll(const QString &NewText) override;
    // The same on a line of Latin-1 text. A pattern that starts with plain ASCII text (up to its
    // first character with a meaning in a regular expression) first looks for that text in the
    // bytes: a line without it has no match and is neither converted nor matched.
    int FindAllLatin1(QLatin1String NewText) override;
    // Expands the replacement expression with the groups of the match of the last FindAll whose
    // text is aOccurrence (or, when none is, of the pattern matched against aOccurrence alone).
    QString Replace(const QString &aOccurrence, const QString &aReplacement) override;

    // Expands a replacement expression for one match (see above).
    static QString ExpandReplacement(const QString &AExpression, const QRegularExpressionMatch &AMatch);

private:
    void Compile();
    QString fPattern;
    TLexSearchOptions fOptions;
    bool fCompiled = false;
    QRegularExpression fRegex;
    // Tried only when fRegex stops on an error: it fails where fRegex failed and matches at the end of
    // the text otherwise, so a failure means the match limit cut the search short.
    QRegularExpression fProbe;
    QString fLastText;
    // Searches for the ASCII text every match starts with (no pattern when none is known).
    TLexEditSearch fPrefix;
    std::vector<QRegularExpressionMatch> fMatches;
};

} // namespace lexedit
