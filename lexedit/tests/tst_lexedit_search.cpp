// SPDX-License-Identifier: MIT
#include "lexedit/LexEditRegexSearch.h"
#include "lexedit/LexEditSearch.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

#include <climits>
#include <vector>

using namespace lexedit;

namespace {

TLexSearchOptions Options(bool AMatchCase, bool AWholeWord) {
    TLexSearchOptions Result;
    if (AMatchCase) Result.Include(ssoMatchCase);
    if (AWholeWord) Result.Include(ssoWholeWord);
    return Result;
}

QList<int> Positions(const TLexEditSearchCustom &AEngine) {
    QList<int> Result;
    for (int i = 0; i < AEngine.ResultCount(); ++i)
        Result << AEngine.Results(i);
    return Result;
}

QString RandomText(QRandomGenerator &R, const QString &AAlphabet, int AMaxLength) {
    QString S;
    const int Len = R.bounded(AMaxLength + 1);
    for (int i = 0; i < Len; ++i)
        S += AAlphabet.at(R.bounded(int(AAlphabet.size())));
    return S;
}

// The plain engine's rule, built on QString::indexOf: every candidate in turn, a candidate taken
// when it passes the word test and starts after the previous match.
QList<int> PlainModel(const QString &AText, const QString &APattern, bool AMatchCase, bool AWholeWord) {
    QList<int> Result;
    if (APattern.isEmpty()) return Result;
    const Qt::CaseSensitivity Cs = AMatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
    auto IsWord = [](QChar C) { return C == u'_' || C.isLetterOrNumber(); };
    qsizetype NextFree = 0;
    for (qsizetype p = AText.indexOf(APattern, 0, Cs); p >= 0; p = AText.indexOf(APattern, p + 1, Cs)) {
        if (p < NextFree) continue;
        const qsizetype e = p + APattern.size();
        if (AWholeWord && ((p > 0 && IsWord(AText.at(p - 1))) || (e < AText.size() && IsWord(AText.at(e)))))
            continue;
        Result << int(p + 1);
        NextFree = e;
    }
    return Result;
}

} // namespace

class TestLexEditSearch : public QObject {
    Q_OBJECT
private slots:
    void plainFind_data();
    void plainFind();
    void plainLengthsAndLiteralReplace();
    void plainProperty();
    void plainLatin1MatchesModel();
    void regexFind_data();
    void regexFind();
    void regexInvalidPattern();
    void regexReplace_data();
    void regexReplace();
    void regexCatastrophicPattern();
    void regexQuickFailureIsNoRunaway();
    void regexLargeTextWithinLimit();
    void regexProperty();
    void regexLatin1MatchesConvertedText();
    void quotingAndCommentsSurviveWrapping_data();
    void quotingAndCommentsSurviveWrapping();
    void loneSurrogateIsSearched();
    void lowerCaseOfDottedCapitalI();
    void linesAtOnceMatchLineByLine();
};

void TestLexEditSearch::plainFind_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QList<int>>("expected");
    QTest::newRow("any case") << "Foo foo FOO"
                              << "foo" << false << false << QList<int>{1, 5, 9};
    QTest::newRow("match case") << "Foo foo FOO"
                                << "foo" << true << false << QList<int>{5};
    QTest::newRow("whole word") << "foo food _foo foo1 foo"
                                << "foo" << false << true << QList<int>{1, 20};
    QTest::newRow("whole word at punctuation") << "(foo)-foo."
                                               << "foo" << true << true << QList<int>{2, 7};
    QTest::newRow("overlapping candidates") << "aaaa"
                                            << "aaa" << true << false << QList<int>{1};
    QTest::newRow("non-overlapping repeats") << "aaaaaaa"
                                             << "aaa" << true << false << QList<int>{1, 4};
    QTest::newRow("whole word skips a refused candidate") << "aaaa aaa"
                                                          << "aaa" << true << true << QList<int>{6};
    QTest::newRow("empty pattern") << "abc"
                                   << "" << false << false << QList<int>{};
    QTest::newRow("empty text") << ""
                                << "a" << false << false << QList<int>{};
    const QString Smile = QString::fromUcs4(U"\U0001F600");
    QTest::newRow("surrogate pair found")
        << ("x" + Smile + "y" + Smile) << Smile << true << false << QList<int>{2, 5};
    QTest::newRow("half of a pair is not a match")
        << (Smile + Smile) << QString(Smile.at(1)) << true << false << QList<int>{};
    QTest::newRow("astral letter is a word character")
        << (QString::fromUcs4(U"\U0001D400") + "ab ab") << "ab" << true << true << QList<int>{6};
    QTest::newRow("astral symbol is no word character")
        << (Smile + "ab" + Smile) << "ab" << true << true << QList<int>{3};
}

void TestLexEditSearch::plainFind() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QList<int>, expected);
    TLexEditSearch Engine;
    Engine.SetOptions(Options(matchCase, wholeWord));
    Engine.SetPattern(pattern);
    QCOMPARE(Engine.FindAll(text), int(expected.size()));
    QCOMPARE(Positions(Engine), expected);
}

void TestLexEditSearch::plainLengthsAndLiteralReplace() {
    TLexEditSearch Engine;
    Engine.SetOptions(Options(false, false));
    Engine.SetPattern("ab");
    QCOMPARE(Engine.FindAll("xABab"), 2);
    QCOMPARE(Engine.Lengths(0), 2);
    QCOMPARE(Engine.Lengths(1), 2);
    QCOMPARE(Engine.Results(5), 0); // out of range
    QCOMPARE(Engine.Replace("AB", "\\1$0\\U"), QString("\\1$0\\U"));
    QCOMPARE(Engine.PreprocessReplaceExpression("a\\n"), QString("a\\n"));
    // Results belong to the last text only.
    QCOMPARE(Engine.FindAll("none"), 0);
    QCOMPARE(Engine.ResultCount(), 0);
}

void TestLexEditSearch::plainProperty() {
    QRandomGenerator R(2611);
    const QString Alphabet = QStringLiteral("aAbB _1\u00e9\u00c9.");
    TLexEditSearch Engine;
    for (int Round = 0; Round < 4000; ++Round) {
        const QString Text = RandomText(R, Alphabet, 40);
        const QString Pattern = RandomText(R, Alphabet, 3);
        const bool MatchCase = R.bounded(2) == 1;
        const bool WholeWord = R.bounded(2) == 1;
        Engine.SetOptions(Options(MatchCase, WholeWord));
        Engine.SetPattern(Pattern);
        Engine.FindAll(Text);
        const QList<int> Expected = PlainModel(Text, Pattern, MatchCase, WholeWord);
        if (Positions(Engine) != Expected)
            QFAIL(qPrintable(QStringLiteral("text \"%1\" pattern \"%2\" case %3 word %4")
                                 .arg(Text, Pattern)
                                 .arg(MatchCase)
                                 .arg(WholeWord)));
    }
}

void TestLexEditSearch::plainLatin1MatchesModel() {
    // Searching Latin-1 bytes gives what the QString search model gives on the same characters:
    // case folding of Latin-1 letters (also to characters beyond Latin-1: the micro sign and the
    // Greek mu, the Kelvin sign and k, y with diaeresis and its capital), whole words, patterns
    // that cannot occur in Latin-1 text, and matches that do not overlap.
    QRandomGenerator R(2612);
    const QString TextAlphabet = QStringLiteral("aAbBkK _1\u00b5\u00df\u00ff\u00e9\u00c9\u00e0.");
    const QString PatternAlphabet = TextAlphabet + QStringLiteral("\u039c\u03bc\u212a\u0178\u1e9e");
    TLexEditSearch Engine;
    for (int Round = 0; Round < 6000; ++Round) {
        const QString Text = RandomText(R, TextAlphabet, 40);
        const QString Pattern = RandomText(R, R.bounded(4) == 0 ? PatternAlphabet : TextAlphabet, 3);
        const bool MatchCase = R.bounded(2) == 1;
        const bool WholeWord = R.bounded(2) == 1;
        Engine.SetOptions(Options(MatchCase, WholeWord));
        Engine.SetPattern(Pattern);
        const QByteArray Bytes = Text.toLatin1();
        const int Count = Engine.FindAllLatin1(QLatin1String(Bytes.constData(), Bytes.size()));
        const QList<int> Expected = PlainModel(Text, Pattern, MatchCase, WholeWord);
        if (Positions(Engine) != Expected || Count != Expected.size())
            QFAIL(qPrintable(QStringLiteral("text \"%1\" pattern \"%2\" case %3 word %4")
                                 .arg(Text, Pattern)
                                 .arg(MatchCase)
                                 .arg(WholeWord)));
    }
    // The default entry point of an engine converts the text and calls FindAll.
    TLexEditRegexSearch Regex;
    Regex.SetOptions(Options(false, false));
    Regex.SetPattern(QStringLiteral("\u00e9+"));
    QCOMPARE(Regex.FindAllLatin1(QLatin1String("x\xe9\xc9\xe9 \xe9")), 2);
    QCOMPARE(Regex.Lengths(0), 3);
}

void TestLexEditSearch::regexFind_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<bool>("matchCase");
    QTest::addColumn<bool>("wholeWord");
    QTest::addColumn<QList<int>>("expected");
    QTest::addColumn<QList<int>>("lengths");
    QTest::newRow("any case") << "Ab ab AB"
                              << "a[b]" << false << false << QList<int>{1, 4, 7} << QList<int>{2, 2, 2};
    QTest::newRow("match case") << "Ab ab AB"
                                << "a[b]" << true << false << QList<int>{4} << QList<int>{2};
    QTest::newRow("whole word") << "cat cats scat cat"
                                << "c\\w+" << true << true << QList<int>{1, 5, 15} << QList<int>{3, 4, 3};
    QTest::newRow("alternation under whole word")
        << "ab abc"
        << "ab|abc" << true << true << QList<int>{1, 4} << QList<int>{2, 3};
    QTest::newRow("empty matches") << "ab"
                                   << "x*" << true << false << QList<int>{1, 2, 3} << QList<int>{0, 0, 0};
    // A verb that ends the search early is no runaway pattern.
    QTest::newRow("commit verb") << "ac ab"
                                 << "a(*COMMIT)b" << true << false << QList<int>{} << QList<int>{};
    QTest::newRow("anchors") << "aXa"
                             << "^a|a$" << true << false << QList<int>{1, 3} << QList<int>{1, 1};
}

void TestLexEditSearch::regexFind() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(bool, matchCase);
    QFETCH(bool, wholeWord);
    QFETCH(QList<int>, expected);
    QFETCH(QList<int>, lengths);
    TLexEditRegexSearch Engine;
    Engine.SetOptions(Options(matchCase, wholeWord));
    Engine.SetPattern(pattern);
    QCOMPARE(Engine.FindAll(text), int(expected.size()));
    QCOMPARE(Positions(Engine), expected);
    QList<int> Lengths;
    for (int i = 0; i < Engine.ResultCount(); ++i)
        Lengths << Engine.Lengths(i);
    QCOMPARE(Lengths, lengths);
}

void TestLexEditSearch::regexInvalidPattern() {
    TLexEditRegexSearch Engine;
    Engine.SetPattern("(ab");
    try {
        Engine.FindAll("ab");
        QFAIL("an invalid pattern was accepted");
    } catch (const ELexSearchError &E) {
        QVERIFY2(E.Message().startsWith("Invalid regular expression: "), qPrintable(E.Message()));
        QVERIFY2(E.Message().contains("offset 3"), qPrintable(E.Message()));
    }
    QCOMPARE(Engine.ResultCount(), 0);
    // A valid pattern afterwards works.
    Engine.SetPattern("(ab)");
    QCOMPARE(Engine.FindAll("abab"), 2);
}

void TestLexEditSearch::regexReplace_data() {
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected"); // the first match's replacement
    QTest::newRow("backslash groups") << "(\\w+)-(\\w+)"
                                      << "ab-cd"
                                      << "\\2-\\1"
                                      << "cd-ab";
    QTest::newRow("dollar groups") << "(\\w+)-(\\w+)"
                                   << "ab-cd"
                                   << "$2$1"
                                   << "cdab";
    QTest::newRow("whole match \\0") << "(\\w+)-(\\w+)"
                                     << "ab-cd"
                                     << "[\\0]"
                                     << "[ab-cd]";
    QTest::newRow("whole match $0") << "b+"
                                    << "abbc"
                                    << "<$0>"
                                    << "<bb>";
    QTest::newRow("group 9") << "(a)(b)(c)(d)(e)(f)(g)(h)(i)"
                             << "abcdefghi"
                             << "\\9$8"
                             << "ih";
    QTest::newRow("group 10 is group 1 and a digit") << "(a)"
                                                     << "a"
                                                     << "\\10"
                                                     << "a0";
    QTest::newRow("group that took no part") << "(a)|(b)"
                                             << "b"
                                             << "[\\1][\\2]"
                                             << "[][b]";
    QTest::newRow("upper to \\E") << "(\\w+)-(\\w+)"
                                  << "ab-cd"
                                  << "\\U\\1\\E-\\2"
                                  << "AB-cd";
    QTest::newRow("upper to the end") << "(\\w+)-(\\w+)"
                                      << "ab-cd"
                                      << "\\U\\1-x\\2"
                                      << "AB-XCD";
    QTest::newRow("lower") << "(\\w+)-(\\w+)"
                           << "AB-CD"
                           << "\\L\\1\\E\\2"
                           << "abCD";
    QTest::newRow("upper first letters") << "(\\w+) (\\w+)"
                                         << "hello world"
                                         << "\\u\\1 \\u\\2"
                                         << "Hello World";
    QTest::newRow("lower first letter") << "\\w+"
                                        << "ABC"
                                        << "\\l\\0"
                                        << "aBC";
    QTest::newRow("one-shot inside a mode") << "\\w+"
                                            << "hELLO"
                                            << "\\L\\u\\0"
                                            << "Hello";
    QTest::newRow("one-shot on literal text") << "\\w+"
                                              << "x"
                                              << "\\uab\\0"
                                              << "Abx";
    QTest::newRow("\\E ends a pending one-shot") << "\\w+"
                                                 << "x"
                                                 << "\\u\\E\\0"
                                                 << "x";
    QTest::newRow("case of non-ASCII") << "\\w+"
                                       << "\u00e9t\u00e9"
                                       << "\\U\\0"
                                       << "\u00c9T\u00c9";
    QTest::newRow("escapes") << "a"
                             << "a"
                             << "x\\\\y\\ty\\nz"
                             << "x\\y\ty\nz";
    QTest::newRow("escaped backslash before a digit") << "a"
                                                      << "a"
                                                      << "\\\\1"
                                                      << "\\1";
    QTest::newRow("dollar dollar") << "a"
                                   << "a"
                                   << "$$\\0"
                                   << "$a";
    QTest::newRow("lone dollar") << "a"
                                 << "a"
                                 << "5$"
                                 << "5$";
    QTest::newRow("unknown escape kept") << "a"
                                         << "a"
                                         << "\\q"
                                         << "\\q";
    QTest::newRow("trailing backslash") << "a"
                                        << "a"
                                        << "b\\"
                                        << "b\\";
    QTest::newRow("groups from the line's context") << "(?<=x)(a)"
                                                    << "xa"
                                                    << "\\1\\1"
                                                    << "aa";
}

void TestLexEditSearch::regexReplace() {
    QFETCH(QString, pattern);
    QFETCH(QString, text);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    TLexEditRegexSearch Engine;
    Engine.SetOptions(Options(true, false));
    Engine.SetPattern(pattern);
    QVERIFY(Engine.FindAll(text) > 0);
    const QString Occurrence = text.mid(Engine.Results(0) - 1, Engine.Lengths(0));
    QCOMPARE(Engine.Replace(Occurrence, replacement), expected);
    // Without a stored match the groups come from the pattern matched against the occurrence alone
    // (the lookbehind row has none then: only group 0 is known).
    if (!pattern.startsWith("(?<=")) {
        TLexEditRegexSearch Fresh;
        Fresh.SetOptions(Options(true, false));
        Fresh.SetPattern(pattern);
        QCOMPARE(Fresh.Replace(Occurrence, replacement), expected);
    }
}

void TestLexEditSearch::regexCatastrophicPattern() {
    TLexEditRegexSearch Engine;
    Engine.SetOptions(Options(true, false));
    Engine.SetPattern("(a+)+$");
    QElapsedTimer Watchdog;
    Watchdog.start();
    try {
        Engine.FindAll(QString(30, u'a') + u'b');
        QFAIL("a runaway pattern reported no error");
    } catch (const ELexSearchError &E) {
        QCOMPARE(E.Message(), QString("pattern too complex"));
    }
    QVERIFY2(Watchdog.elapsed() < 20000, "the match limit did not stop the pattern");
    QCOMPARE(Engine.ResultCount(), 0);
    // The same pattern on a text it matches quickly still works.
    QCOMPARE(Engine.FindAll(QString(30, u'a')), 1);
}

void TestLexEditSearch::regexQuickFailureIsNoRunaway() {
    // PCRE2 rejects this pattern at once on a text without a 'z' (the character is required);
    // the engine must not call that "too complex" because a check of its own would run away.
    TLexEditRegexSearch Engine;
    Engine.SetOptions(Options(true, false));
    Engine.SetPattern("(x+x+)+z");
    QCOMPARE(Engine.FindAll(QString(40, u'x')), 0);
    QCOMPARE(Engine.FindAll(QString(40, u'x') + u'z'), 1);
}

void TestLexEditSearch::regexLargeTextWithinLimit() {
    // The limit counts per start position: ordinary patterns over a text of megabytes, found or
    // absent, never reach it.
    const QString Text = QStringLiteral("lorem ipsum dolor sit amet ").repeated(200000);
    TLexEditRegexSearch Engine;
    Engine.SetOptions(Options(false, false));
    Engine.SetPattern("(\\w+)\\s+(\\w+)zz");
    QCOMPARE(Engine.FindAll(Text), 0);
    Engine.SetPattern("dolor");
    QCOMPARE(Engine.FindAll(Text), 200000);
    Engine.SetPattern("(?:\\w+\\s){5}");
    QCOMPARE(Engine.FindAll(Text), 200000);
}

void TestLexEditSearch::regexProperty() {
    QRandomGenerator R(2612);
    // Lookarounds, patterns that match empty, quotes (\\Q..\\E, or open to the end) and, in some
    // rounds, free spacing with a comment at the end.
    const QStringList Pieces = {"a",       "b",     "A",        "[ab]",      "a*",     "b+",    "\\w",
                                "\\s",     "(a|b)", ".",        " ",         "a?",     "\\b",   "(?=a)",
                                "$",       "^",     "[^a]",     "(b)\\1",    "(?<=a)", "(?!b)", "(?<!\\w)",
                                "(?=(.))", "x*",    "\\Qa.\\E", "\\Q(a|\\E", "\\B",    "()"};
    const QString Alphabet = QStringLiteral("aAbB _1\u00e9");
    TLexEditRegexSearch Engine;
    for (int Round = 0; Round < 3000; ++Round) {
        const QString Text = RandomText(R, Alphabet, 30);
        QString Pattern;
        const int Count = 1 + R.bounded(3);
        for (int i = 0; i < Count; ++i)
            Pattern += Pieces.at(R.bounded(int(Pieces.size())));
        const int Form = R.bounded(6);
        if (Form == 0) Pattern += QStringLiteral("\\Q)(");
        if (Form == 1) Pattern = QStringLiteral("(?x)") + Pattern + QStringLiteral(" # a comment)");
        const bool MatchCase = R.bounded(2) == 1;
        Engine.SetOptions(Options(MatchCase, false));
        Engine.SetPattern(Pattern);
        Engine.FindAll(Text);
        QRegularExpression::PatternOptions PatternOptions = QRegularExpression::UseUnicodePropertiesOption;
        if (!MatchCase) PatternOptions |= QRegularExpression::CaseInsensitiveOption;
        QList<int> Expected;
        QList<int> ExpectedLengths;
        QStringList ExpectedGroups;
        auto It = QRegularExpression(Pattern, PatternOptions).globalMatch(Text);
        while (It.hasNext()) {
            const QRegularExpressionMatch M = It.next();
            Expected << int(M.capturedStart(0)) + 1;
            ExpectedLengths << int(M.capturedLength(0));
            ExpectedGroups << M.captured(0) + u'|' + M.captured(1) + u'|' + M.captured(2);
        }
        QList<int> Lengths;
        QStringList Groups;
        for (int i = 0; i < Engine.ResultCount(); ++i) {
            Lengths << Engine.Lengths(i);
            // Each match's replacement takes that match's groups, also where several have the
            // same text.
            Groups << Engine.ReplaceMatch(i, Text.mid(Engine.Results(i) - 1, Engine.Lengths(i)),
                                          "\\0|\\1|\\2");
        }
        if (Positions(Engine) != Expected || Lengths != ExpectedLengths || Groups != ExpectedGroups)
            QFAIL(qPrintable(
                QStringLiteral("text \"%1\" pattern \"%2\" case %3").arg(Text, Pattern).arg(MatchCase)));
    }
}

QTEST_GUILESS_MAIN(TestLexEditSearch)
void TestLexEditSearch::regexLatin1MatchesConvertedText() {
    // On Latin-1 bytes the regular-expression engine finds what it finds in the same text as a
    // QString, also where a pattern starting with plain text skips lines without that text:
    // letters of both cases (k and s, whose other cases lie beyond Latin-1), Latin-1 letters,
    // whole words, and quantifiers, alternatives and classes after the text.
    QRandomGenerator R(2613);
    const QString TextAlphabet = QStringLiteral("aAbBkKsS _1-#\u00b5\u00df\u00ff\u00e9\u00c9\u00e0");
    const QString PatternAlphabet = QStringLiteral("aAbBkKsS _1-#.");
    const QStringList Tails = {QString(),
                               QStringLiteral("?"),
                               QStringLiteral("*"),
                               QStringLiteral("+"),
                               QStringLiteral("{0,2}"),
                               QStringLiteral("\\w*"),
                               QStringLiteral("|k"),
                               QStringLiteral("(s|b)"),
                               QStringLiteral("[ab]"),
                               QStringLiteral(".")};
    TLexEditRegexSearch Bytes;
    TLexEditRegexSearch Text;
    for (int Round = 0; Round < 4000; ++Round) {
        const QString Line = RandomText(R, TextAlphabet, 40);
        QString Pattern;
        if (R.bounded(2) == 0 && !Line.isEmpty()) {
            // A piece of the line, its ASCII letters in random case.
            const int From = R.bounded(int(Line.size()));
            for (QChar c : Line.mid(From, 1 + R.bounded(4)))
                Pattern +=
                    c.unicode() < 0x80 && R.bounded(2) == 0 ? (c.isUpper() ? c.toLower() : c.toUpper()) : c;
        } else {
            Pattern = RandomText(R, PatternAlphabet, 3);
        }
        // Special characters after the text: quantifiers of its last character, alternatives.
        Pattern += Tails.at(R.bounded(int(Tails.size())));
        if (Pattern.isEmpty()) continue;
        const TLexSearchOptions O = Options(R.bounded(2) == 1, R.bounded(2) == 1);
        for (TLexEditRegexSearch *E : {&Bytes, &Text}) {
            E->SetOptions(O);
            E->SetPattern(Pattern);
        }
        const QByteArray Latin1 = Line.toLatin1();
        // An invalid pattern (a quantifier with nothing before it) is refused by both.
        int Count = -1, Want = -1;
        try {
            Count = Bytes.FindAllLatin1(QLatin1String(Latin1.constData(), Latin1.size()));
        } catch (const ELexSearchError &) {
        }
        try {
            Want = Text.FindAll(Line);
        } catch (const ELexSearchError &) {
        }
        if (Count < 0 && Want < 0) continue;
        QList<int> GotLengths, WantLengths;
        for (int k = 0; k < Count; ++k)
            GotLengths << Bytes.Lengths(k);
        for (int k = 0; k < Want; ++k)
            WantLengths << Text.Lengths(k);
        if (Count != Want || Positions(Bytes) != Positions(Text) || GotLengths != WantLengths)
            QFAIL(qPrintable(QStringLiteral("text \"%1\" pattern \"%2\" case %3 word %4: %5 matches, want %6")
                                 .arg(Line, Pattern)
                                 .arg(O.Contains(ssoMatchCase))
                                 .arg(O.Contains(ssoWholeWord))
                                 .arg(Count)
                                 .arg(Want)));
    }
}

void TestLexEditSearch::quotingAndCommentsSurviveWrapping_data() {
    // Patterns that the engine once broke by wrapping them in a group of its own: a \Q quote
    // left open swallowed the closing parenthesis, and so did a (?x) comment. With whole words
    // the pattern is still wrapped, so both forms are checked with and without.
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<int>("position");
    QTest::addColumn<int>("length");
    QTest::newRow("open quote") << "x a.b y"
                                << "\\Qa.b" << 3 << 3;
    QTest::newRow("quoted parenthesis") << "x a) y"
                                        << "a\\Q)" << 3 << 2;
    QTest::newRow("comment to the end") << "b a"
                                        << "(?x)a # comment" << 3 << 1;
    QTest::newRow("comment after a quote") << "b a#"
                                           << "(?x)a\\Q#\\E # comment" << 3 << 2;
    QTest::newRow("leading option item") << "b a"
                                         << "(*UCP)(?x)a # comment" << 3 << 1;
}

void TestLexEditSearch::quotingAndCommentsSurviveWrapping() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(int, position);
    QFETCH(int, length);
    for (const bool WholeWord : {false, true}) {
        TLexEditRegexSearch Engine;
        Engine.SetOptions(Options(true, WholeWord));
        Engine.SetPattern(pattern);
        QCOMPARE(Engine.FindAll(text), 1);
        QCOMPARE(Engine.Results(0), position);
        QCOMPARE(Engine.Lengths(0), length);
        const QByteArray Bytes = text.toLatin1();
        QCOMPARE(Engine.FindAllLatin1(QLatin1String(Bytes.constData(), Bytes.size())), 1);
        QCOMPARE(Engine.Results(0), position);
    }
}

void TestLexEditSearch::loneSurrogateIsSearched() {
    // A line that is not valid UTF-16 is searched all the same: a lone surrogate stands as
    // U+FFFD for the pattern, and the groups hand out the line's own characters.
    TLexEditRegexSearch Engine;
    Engine.SetOptions(Options(true, false));
    Engine.SetPattern("x(.)y|b");
    const QString Line = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y b ") + QChar(0xDC00);
    QCOMPARE(Engine.FindAll(Line), 2);
    QCOMPARE(Positions(Engine), QList<int>({1, 5}));
    QCOMPARE(Engine.ReplaceMatch(0, Line.left(3), "[\\1]"), QStringLiteral("[") + QChar(0xD800) + u']');
    Engine.SetPattern("\\x{FFFD}");
    QCOMPARE(Engine.FindAll(Line), 2);
    QCOMPARE(Positions(Engine), QList<int>({2, 7}));
}

void TestLexEditSearch::lowerCaseOfDottedCapitalI() {
    // The case operators change case through the string functions: U+0130 lower-cases to i and
    // a combining dot above, which the one-character mapping leaves as it is.
    TLexEditRegexSearch Engine;
    Engine.SetOptions(Options(true, false));
    Engine.SetPattern("(.)X");
    QCOMPARE(Engine.FindAll(QStringLiteral("\u0130X")), 1);
    QCOMPARE(Engine.ReplaceMatch(0, QStringLiteral("\u0130X"), "\\L\\1"), QStringLiteral("i\u0307"));
    QCOMPARE(Engine.ReplaceMatch(0, QStringLiteral("\u0130X"), "\\l\\1\\1"), QStringLiteral("i\u0307\u0130"));
    QCOMPARE(Engine.FindAll(QStringLiteral("\u00dfX")), 1);
    QCOMPARE(Engine.ReplaceMatch(0, QStringLiteral("\u00dfX"), "\\U\\1"), QStringLiteral("SS"));
}

void TestLexEditSearch::linesAtOnceMatchLineByLine() {
    // A loaded file's lines searched many at a time give each line the matches, groups and count
    // that the line searched on its own has: mixed line breaks, empty lines, edited lines that
    // break the block, patterns whose matches could run on over a line break, and patterns
    // that must go line by line (lookarounds, anchors, atomic groups). A search stopped early
    // leaves the stopping line's results readable.
    QRandomGenerator R(4242);
    const QString Alphabet = QStringLiteral("ab A_1 \u00e9");
    const QStringList Breaks = {"\n", "\r\n", "\r"};
    const QStringList Pieces = {"a",     "b",    "\\w+",      "\\s*",     "[^a]",  ".",     "$",
                                "^",     "\\b",  "a*",        "(a|b)",    "\\R",   "\\v",   "(?s).",
                                "x*",    "\\B",  "(b)\\1",    "\u00e9",   "(?=a)", "a++",   "\\z",
                                "(?m)$", "\\n?", "(?>a|ab)c", "[\\s\\S]", " ",     "(?<!b)"};
    TLexEditRegexSearch Lines;
    TLexEditRegexSearch Alone;
    for (int Round = 0; Round < 1500; ++Round) {
        QStringList Text;
        QByteArray Bytes;
        const int Count = 1 + R.bounded(12);
        for (int i = 0; i < Count; ++i) {
            Text << RandomText(R, Alphabet, 8);
            Bytes += Text.last().toLatin1();
            if (i + 1 < Count || R.bounded(2) == 0) Bytes += Breaks.at(R.bounded(3)).toLatin1();
        }
        TLexEditStringList List;
        List.LoadFromBytes(Bytes);
        if (R.bounded(3) == 0 && List.Count() > 0)
            List.Put(R.bounded(List.Count()), RandomText(R, Alphabet, 8));
        if (R.bounded(4) == 0 && List.Count() > 1) List.Delete(R.bounded(List.Count()));
        if (List.Count() == 0) continue;
        QString Pattern;
        for (int i = 0, n = 1 + R.bounded(3); i < n; ++i)
            Pattern += Pieces.at(R.bounded(int(Pieces.size())));
        const TLexSearchOptions O = Options(R.bounded(2) == 1, R.bounded(4) == 0);
        for (TLexEditRegexSearch *E : {&Lines, &Alone}) {
            E->SetOptions(O);
            E->SetPattern(Pattern);
        }
        const int First = R.bounded(List.Count());
        const int Last = First + R.bounded(List.Count() - First);
        const int StopAfter = R.bounded(4) == 0 ? 1 + R.bounded(3) : INT_MAX;
        const auto Describe = [&](int ALine) {
            return QStringLiteral("pattern \"%1\" case %2 word %3 line %4 of %5")
                .arg(Pattern)
                .arg(O.Contains(ssoMatchCase))
                .arg(O.Contains(ssoWholeWord))
                .arg(ALine)
                .arg(List.Count());
        };
        // What each line has on its own.
        const auto Expected = [&](int ALine) {
            QStringList Result;
            const QString Line = List.Get(ALine);
            for (int k = 0, n = Alone.FindAll(Line); k < n; ++k)
                Result << QStringLiteral("%1+%2:").arg(Alone.Results(k)).arg(Alone.Lengths(k)) +
                              Alone.ReplaceMatch(k, Line.mid(Alone.Results(k) - 1, Alone.Lengths(k)),
                                                 "\\0|\\1");
            return Result;
        };
        const auto Got = [&](int ALine) {
            QStringList Result;
            const QString Line = List.Get(ALine);
            for (int k = 0; k < Lines.ResultCount(); ++k)
                Result << QStringLiteral("%1+%2:").arg(Lines.Results(k)).arg(Lines.Lengths(k)) +
                              Lines.ReplaceMatch(k, Line.mid(Lines.Results(k) - 1, Lines.Lengths(k)),
                                                 "\\0|\\1");
            return Result;
        };
        int Next = First;
        int Reported = 0;
        int LastReported = -1;
        bool Failed = false;
        Lines.FindAllLines(List, First, Last, [&](int AIndex, int n) {
            for (; Next < AIndex; ++Next)
                if (!Expected(Next).isEmpty()) Failed = true;
            const QStringList Want = Expected(AIndex);
            if (Failed || Got(AIndex) != Want || n != int(Want.size())) {
                Failed = true;
                qWarning("%s: got %s, want %s", qPrintable(Describe(AIndex)),
                         qPrintable(Got(AIndex).join(u' ')), qPrintable(Want.join(u' ')));
                return false;
            }
            Next = AIndex + 1;
            LastReported = AIndex;
            return ++Reported < StopAfter;
        });
        if (Failed) QFAIL("a line's matches differ from its own search");
        if (Reported < StopAfter) {
            for (; Next <= Last; ++Next)
                if (!Expected(Next).isEmpty()) QFAIL(qPrintable(Describe(Next) + ": matches not reported"));
        } else {
            QVERIFY2(Got(LastReported) == Expected(LastReported), qPrintable(Describe(LastReported)));
        }
    }
}

#include "tst_lexedit_search.moc"
