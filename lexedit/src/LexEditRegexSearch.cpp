// The regular-expression search engine.

#include "lexedit/LexEditRegexSearch.h"

#include <QChar>

namespace lexedit {

namespace {

enum class TCaseMode { None, Upper, Lower };

// Appends S to AResult, changing case by the mode and the one-shot operator for the first
// character.
void AppendCased(QString &AResult, const QString &S, TCaseMode AMode, TCaseMode &AOneShot) {
    for (qsizetype i = 0; i < S.size();) {
        char32_t C = S.at(i).unicode();
        qsizetype Step = 1;
        if (S.at(i).isHighSurrogate() && i + 1 < S.size() && S.at(i + 1).isLowSurrogate()) {
            C = QChar::surrogateToUcs4(S.at(i), S.at(i + 1));
            Step = 2;
        }
        TCaseMode Mode = AMode;
        if (AOneShot != TCaseMode::None) {
            Mode = AOneShot;
            AOneShot = TCaseMode::None;
        }
        if (Mode == TCaseMode::Upper)
            C = QChar::toUpper(C);
        else if (Mode == TCaseMode::Lower)
            C = QChar::toLower(C);
        AResult.append(QString::fromUcs4(&C, 1));
        i += Step;
    }
}

// The printable ASCII text every match of APattern starts with (empty when there is none known):
// the characters that stand for themselves up to the first that does not, less the last one when
// a quantifier lets it be absent. A pattern with an alternative anywhere has none.
QString RequiredAsciiPrefix(const QString &APattern) {
    if (APattern.contains(u'|')) return QString();
    QString Text;
    for (QChar c : APattern) {
        const char16_t u = c.unicode();
        if (u < 0x20 || u > 0x7E) break;
        if (QByteArrayView("\\^$.?*+()[]{}").contains(char(u))) {
            if ((u == u'?' || u == u'*' || u == u'{') && !Text.isEmpty()) Text.chop(1);
            break;
        }
        Text += c;
    }
    return Text;
}

} // namespace

void TLexEditRegexSearch::SetPattern(const QString &Value) {
    if (Value != fPattern) fCompiled = false;
    fPattern = Value;
}

void TLexEditRegexSearch::SetOptions(TLexSearchOptions Value) {
    const bool Relevant = Value.Contains(ssoMatchCase) != fOptions.Contains(ssoMatchCase) ||
                          Value.Contains(ssoWholeWord) != fOptions.Contains(ssoWholeWord);
    if (Relevant) fCompiled = false;
    fOptions = Value;
}

int TLexEditRegexSearch::GetLength(int Index) const {
    if (Index < 0 || Index >= int(fMatches.size())) return 0;
    return int(fMatches[size_t(Index)].capturedLength(0));
}

int TLexEditRegexSearch::GetResult(int Index) const {
    if (Index < 0 || Index >= int(fMatches.size())) return 0;
    return int(fMatches[size_t(Index)].capturedStart(0)) + 1;
}

void TLexEditRegexSearch::Compile() {
    if (fCompiled) return;
    QRegularExpression::PatternOptions Options = QRegularExpression::UseUnicodePropertiesOption;
    if (!fOptions.Contains(ssoMatchCase)) Options |= QRegularExpression::CaseInsensitiveOption;
    // Checked on its own first, so that the error offset refers to the user's text.
    const QRegularExpression Plain(fPattern, Options);
    if (!Plain.isValid())
        throw ELexSearchError(QStringLiteral("Invalid regular expression: %1 at offset %2")
                                  .arg(Plain.errorString())
                                  .arg(Plain.patternErrorOffset()));
    QString Body = QStringLiteral("(?:%1)").arg(fPattern);
    if (fOptions.Contains(ssoWholeWord)) Body = QStringLiteral("(?<!\\w)%1(?!\\w)").arg(Body);
    const QString Limit = QStringLiteral("(*LIMIT_MATCH=%1)").arg(MatchLimit);
    fRegex = QRegularExpression(Limit + Body, Options);
    fProbe = QRegularExpression(Limit + QStringLiteral("(?:%1(*FAIL)|\\z)").arg(Body), Options);
    // The plain engine finds that text in Latin-1 bytes; case folding agrees with the regular
    // expression's there, as the other cases of ASCII letters (the Kelvin sign, the long s) lie
    // beyond Latin-1.
    fPrefix.SetOptions(fOptions.Contains(ssoMatchCase) ? TLexSearchOptions{ssoMatchCase}
                                                       : TLexSearchOptions());
    fPrefix.SetPattern(RequiredAsciiPrefix(fPattern));
    if (!fRegex.isValid() || !fProbe.isValid())
        throw ELexSearchError(QStringLiteral("Invalid regular expression: %1").arg(fRegex.errorString()));
    fCompiled = true;
}

int TLexEditRegexSearch::FindAll(const QString &NewText) {
    fMatches.clear();
    fLastText = NewText;
    if (fPattern.isEmpty()) return 0;
    Compile();
    qsizetype ResumeAt = 0;
    auto It = fRegex.globalMatch(fLastText);
    while (It.hasNext()) {
        QRegularExpressionMatch Match = It.next();
        ResumeAt = Match.capturedEnd(0);
        fMatches.push_back(std::move(Match));
    }
    // The matching stopped: either no match is left or the match limit cut it short. An
    // iterator still valid saw PCRE2 answer "no match", which it never does at the limit: the
    // search is complete (the common case, at no extra cost). Otherwise the probe redoes the
    // failed part and tells the two apart. An empty match at the end is complete.
    if (It.isValid()) return int(fMatches.size());
    const bool EndedAtEnd = !fMatches.empty() && fMatches.back().capturedLength(0) == 0 &&
                            fMatches.back().capturedStart(0) == fLastText.size();
    // Backtracking verbs ((*COMMIT), (*PRUNE) ...) may end a search without a match in a way the
    // probe cannot tell from the limit: such patterns keep what was found.
    const bool HasVerbs = fPattern.contains(QStringLiteral("(*"));
    if (!EndedAtEnd && !HasVerbs && !fProbe.match(fLastText, ResumeAt).hasMatch()) {
        fMatches.clear();
        throw ELexSearchError(QStringLiteral("pattern too complex"));
    }
    return int(fMatches.size());
}

int TLexEditRegexSearch::FindAllLatin1(QLatin1String NewText) {
    if (!fPattern.isEmpty()) {
        Compile();
        if (!fPrefix.GetPattern().isEmpty() && fPrefix.FindAllLatin1(NewText) == 0) {
            fMatches.clear();
            return 0;
        }
    }
    return FindAll(QString(NewText));
}

QString TLexEditRegexSearch::Replace(const QString &aOccurrence, const QString &aReplacement) {
    for (const QRegularExpressionMatch &Match : fMatches)
        if (Match.captured(0) == aOccurrence) return ExpandReplacement(aReplacement, Match);
    if (!fPattern.isEmpty()) {
        Compile();
        const QRegularExpressionMatch Alone = fRegex.match(aOccurrence, 0, QRegularExpression::NormalMatch,
                                                           QRegularExpression::AnchorAtOffsetMatchOption);
        if (Alone.hasMatch() && Alone.capturedLength(0) == aOccurrence.size())
            return ExpandReplacement(aReplacement, Alone);
    }
    // No match to take groups from: group 0 is the occurrence, the others are empty.
    const QRegularExpression Whole(QStringLiteral("\\A.*\\z"),
                                   QRegularExpression::DotMatchesEverythingOption);
    return ExpandReplacement(aReplacement, Whole.match(aOccurrence));
}

QString TLexEditRegexSearch::ExpandReplacement(const QString &AExpression,
                                               const QRegularExpressionMatch &AMatch) {
    QString Result;
    TCaseMode Mode = TCaseMode::None;
    TCaseMode OneShot = TCaseMode::None;
    const qsizetype N = AExpression.size();
    for (qsizetype i = 0; i < N; ++i) {
        const QChar C = AExpression.at(i);
        const QChar Next = i + 1 < N ? AExpression.at(i + 1) : QChar();
        if ((C == u'\\' || C == u'$') && Next.isDigit() && Next.unicode() <= u'9') {
            AppendCased(Result, AMatch.captured(Next.unicode() - u'0'), Mode, OneShot);
            ++i;
        } else if (C == u'$' && Next == u'$') {
            AppendCased(Result, QStringLiteral("$"), Mode, OneShot);
            ++i;
        } else if (C == u'\\' && i + 1 < N) {
            ++i;
            switch (Next.unicode()) {
            case u'U':
                Mode = TCaseMode::Upper;
                break;
            case u'L':
                Mode = TCaseMode::Lower;
                break;
            case u'E':
                Mode = TCaseMode::None;
                OneShot = TCaseMode::None;
                break;
            case u'u':
                OneShot = TCaseMode::Upper;
                break;
            case u'l':
                OneShot = TCaseMode::Lower;
                break;
            case u'n':
                Result.append(QChar(u'\n'));
                break;
            case u't':
                Result.append(QChar(u'\t'));
                break;
            case u'\\':
                AppendCased(Result, QStringLiteral("\\"), Mode, OneShot);
                break;
            default:
                AppendCased(Result, QString(C) + Next, Mode, OneShot);
                break;
            }
        } else {
            AppendCased(Result, QString(C), Mode, OneShot);
        }
    }
    return Result;
}

} // namespace lexedit
