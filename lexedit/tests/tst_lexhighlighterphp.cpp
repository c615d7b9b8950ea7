// SPDX-License-Identifier: MIT
// The PHP highlighter: token rules, keyword lookup, ranges across lines, scan properties on
// random lines, golden files through lextokens, and agreement with PHP's own tokenizer.

#include "highlighter_helpers.h"
#include "keyword_table_helpers.h"

#include "LexHighlighterKeywords.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <set>

using namespace lexedit;
using namespace lexedit::php;
using namespace lexedit_test;

namespace {

const char *const KindNames[] = {"sym", "key", "com", "doc", "id", "null", "num", "sp", "str", "unk", "var"};

// "kind:text|kind:text|..." of a scanned line.
QString Tokens(const TScannedLine &AScan) {
    QStringList Parts;
    for (const TScannedToken &t : AScan.Tokens)
        Parts << QString::fromLatin1(KindNames[t.Kind]) + QLatin1Char(':') + t.Text;
    return Parts.join(QLatin1Char('|'));
}

TScannedLine Scan(TLexPHPLex &H, TLexRange AStart, const QString &ALine) {
    TScannedLine Result;
    QString Error;
    if (!ScanLine(H, false, AStart, ALine, Result, &Error)) qWarning("%s", qPrintable(Error));
    return Result;
}

QString DataDir() {
    return QFINDTESTDATA("tests/data/highlighter/php");
}

} // namespace

class TestLexHighlighterPHP : public QObject {
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
    void keywordTableFindsExactlyItsWords();
    void everyKeywordIsFoundInAnyCase();
    void attributesAndTexts();
    void rangesCarryAcrossLines();
    void sampleSourceProperties();
    void randomLinesKeepTheScanProperties();
    void batchScanAgreesWithTokenLoop();
    void goldenFiles_data();
    void goldenFiles();
    void lexTokensRejectsBadUse();
    void agreesWithPhpTokenizer();
};

void TestLexHighlighterPHP::tokens_data() {
    QTest::addColumn<qlonglong>("start");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qlonglong>("end");
    auto Row = [](const char *Name, qlonglong Start, const QString &Line, const QString &Expected,
                  qlonglong End) { QTest::newRow(Name) << Start << Line << Expected << End; };
    Row("keyword in capitals", 0, "ECHO $x;", "key:ECHO|sp: |var:$x|sym:;", rsUnKnown);
    Row("increment", 0, "$i++", "var:$i|sym:++", 0);
    Row("plus assign", 0, "$i+=1", "var:$i|sym:+=|num:1", 0);
    Row("plus minus", 0, "+-", "sym:+|sym:-", 0);
    Row("arrow and minus", 0, "->--=>", "sym:->|sym:--|sym:=>", 0);
    Row("logical", 0, "&&||!=^=%=*=", "sym:&&|sym:|||sym:!=|sym:^=|sym:%=|sym:*=", 0);
    Row("identity is two symbols", 0, "===", "sym:==|sym:=", 0);
    Row("shift assign", 0, "<<=", "sym:<<=", 0);
    Row("no here-document", 0, "<<<x", "sym:<<|sym:<|id:x", 0);
    Row("greater", 0, ">>=<=", "sym:>>|sym:=|sym:<=", 0);
    Row("empty comment", 0, "/**/", "com:/**/", 0);
    Row("documentation", 0, "/** doc", "doc:/** doc", rsDocument);
    Row("block comment open", 0, "/* open", "com:/* open", rsComment);
    Row("block comment closes", rsComment, "word */ name", "com:word */|sp: |id:name", 0);
    Row("documentation closes", rsDocument, "x */$a", "doc:x */|var:$a", 0);
    Row("empty line in comment", rsComment, "", "", rsComment);
    Row("pound comment", 0, "a # c ?>", "id:a|sp: |com:# c ?>", 0);
    Row("slash comment", 0, "// c", "com:// c", 0);
    Row("slash assign", 0, "/=/", "sym:/=|sym:/", 0);
    Row("escaped apostrophe", 0, "'it\\'s'", "str:'it\\'s'", 0);
    Row("double backslash ends", 0, "\"a\\\\\";", "str:\"a\\\\\"|sym:;", 0);
    Row("variable in string", 0, "\"n=$n\"", "str:\"n=|var:$n|str:\"", 0);
    Row("complex expansion", 0, "\"{$a['k']}\"", "str:\"|var:{$a['k']}|str:\"", 0);
    Row("brace expansion", 0, "\"${a}x\"", "str:\"|var:${a}|str:x\"", 0);
    Row("property expansion", 0, "\"$a->b c\"", "str:\"|var:$a->b|str: c\"", 0);
    Row("index expansion", 0, "\"$a[0]$b[$i]\"", "str:\"|var:$a[0]|str:|var:$b[$i]|str:\"", 0);
    Row("quoted key expansion", 0, "\"$a['k'] \"", "str:\"|var:$a['k']|str: \"", 0);
    Row("unclosed index", 0, "\"$a[b\"", "str:\"|var:$a|str:[b\"", 0);
    Row("escaped dollar", 0, "\"\\$a\"", "str:\"\\$a\"", 0);
    Row("escaped brace", 0, "\"a\\{$b}\"", "str:\"a\\{$b}\"", 0);
    Row("dollar continues a variable", 0, "\"$a$b\"", "str:\"|var:$a$b|str:\"", 0);
    Row("apostrophe string no expansion", 0, "'$a'", "str:'$a'", 0);
    Row("string open", 0, "\"open", "str:\"open", rsString34);
    Row("string continues", rsString34, "more\";", "str:more\"|sym:;", 0);
    Row("string continues with variable", rsString34, "$a\"", "var:$a|str:\"", 0);
    Row("apostrophe string open", 0, "x = 'a", "id:x|sp: |sym:=|sp: |str:'a", rsString39);
    Row("grave accent open", 0, "`open", "str:`open", rsString96);
    Row("grave accent does not carry", rsString96, "$x`", "var:$x|str:`", rsString96);
    Row("grave accent range on empty line", rsString96, "", "", 0);
    Row("number letters", 0, "123abc", "num:123abc", 0);
    Row("hexadecimal", 0, "0x1F", "num:0x1F", 0);
    Row("exponent", 0, "1.5e3", "num:1.5e3", 0);
    Row("one-two one number", 0, "1-2", "num:1-2", 0);
    Row("range dots", 0, "1..2", "num:1|sym:.|sym:.|num:2", 0);
    Row("non-ASCII start", 0, QStringLiteral("\u00e9x"), QStringLiteral("unk:\u00e9|id:x"), 0);
    Row("non-ASCII inside", 0, QStringLiteral("a\u00e9"), QStringLiteral("id:a\u00e9"), 0);
    Row("double dollar", 0, "$$a", "var:$$a", 0);
    Row("lone dollar", 0, "$ x", "sym:$|sp: |id:x", 0);
    Row("keyword prefix", 0, "echo1", "id:echo1", 0);
    Row("variable named as keyword", 0, "$echo", "var:$echo", 0);
    Row("symbols", 0, "(),.:;?@[\\]{}~",
        "sym:(|sym:)|sym:,|sym:.|sym::|sym:;|sym:?|sym:@|sym:[|sym:\\|sym:]|sym:{|sym:}|sym:~", 0);
    Row("tab and blanks", 0, "\t  x", "sp:\t  |id:x", 0);
    Row("php tags are plain symbols", 0, "<?php", "sym:<|sym:?|id:php", 0);
    // Mended: a backslash at the very start of a continued string escapes the quote after it.
    Row("escape at line start", rsString39, "\\'x", "str:\\'x", rsString39);
    Row("escape at line start closes after", rsString39, "\\'x'", "str:\\'x'", 0);
    Row("escaped quote at line start", rsString34, "\\\"a\";", "str:\\\"a\"|sym:;", 0);
    // Mended: an expansion range restored onto a line that does not start one.
    Row("expansion range on empty line", rsVarExpansion, "", "", rsString34);
    Row("expansion range on text", rsVarExpansion, "ab\"", "str:ab\"", 0);
    Row("expansion range at dollar", rsVarExpansion, "$a\"", "var:$a|str:\"", 0);
    Row("expansion range at lone brace", rsVarExpansion, "{", "str:{", rsString34);
    // Mended: unknown ranges start from the initial state.
    Row("null range", -1, "$x /*", "var:$x|sp: |com:/*", rsComment);
    Row("range 7", 7, "$x", "var:$x", 0);
    Row("huge range", qlonglong(1) << 40, "'a", "str:'a", rsString39);
    Row("range 256", 256, "*/", "sym:*|sym:/", 0);
}

void TestLexHighlighterPHP::tokens() {
    QFETCH(qlonglong, start);
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QFETCH(qlonglong, end);
    TLexPHPLex H;
    const TScannedLine S = Scan(H, TLexRange(start), line);
    QCOMPARE(Tokens(S), expected);
    QCOMPARE(qlonglong(S.EndRange), end);
    const QString Problem = CheckLine(line, S);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

void TestLexHighlighterPHP::keywordTableFindsExactlyItsWords() {
    const TKeywordTableCheck Check = CheckKeywordTable(Keywords);
    QVERIFY2(Check.Problem.isEmpty(), qPrintable(Check.Problem));
    QCOMPARE(Check.Reachable, 111);
    QVERIFY(Check.Words >= 50 * long(Keywords.Count())); // the neighbourhood of each word was tried
}

void TestLexHighlighterPHP::everyKeywordIsFoundInAnyCase() {
    TLexPHPLex H;
    for (size_t k = 0; k < Keywords.Count(); ++k) {
        const QString Word = QString::fromUtf16(Keywords.Word(k));
        QString Mixed = Word;
        for (int i = 0; i < Mixed.size(); i += 2)
            Mixed[i] = Mixed[i].toUpper();
        for (const QString &Form : {Word, Word.toUpper(), Mixed}) {
            const TScannedLine S = Scan(H, 0, Form + QStringLiteral(";"));
            QCOMPARE(Tokens(S), QStringLiteral("key:") + Form + QStringLiteral("|sym:;"));
        }
        QCOMPARE(Tokens(Scan(H, 0, Word + QStringLiteral("x"))),
                 QStringLiteral("id:") + Word + QStringLiteral("x"));
        QCOMPARE(Tokens(Scan(H, 0, QStringLiteral("$") + Word)), QStringLiteral("var:$") + Word);
    }
    // Near misses: a prefix and a longer word.
    QCOMPARE(Tokens(Scan(H, 0, QStringLiteral("ech"))), QStringLiteral("id:ech"));
    QCOMPARE(Tokens(Scan(H, 0, QStringLiteral("classes"))), QStringLiteral("id:classes"));
}

void TestLexHighlighterPHP::attributesAndTexts() {
    TLexPHPLex H;
    QCOMPARE(H.CommentAttri()->Style(), TFontStyles{fsItalic});
    QCOMPARE(H.DocumentAttri()->Style(), TFontStyles{fsItalic});
    QCOMPARE(H.KeyAttri()->Style(), TFontStyles{fsBold});
    QCOMPARE(H.KeyAttri()->FriendlyName(), QStringLiteral("Reserved Word"));
    QVERIFY(H.IdentifierAttri()->Style().Empty());
    QCOMPARE(H.DefaultFilter(),
             QStringLiteral("PHP Files (*.php;*.php3;*.phtml;*.inc)|*.php;*.php3;*.phtml;*.inc"));
    QVERIFY(!H.IsFilterStored());
    H.SetDefaultFilter(QStringLiteral("x|*.x"));
    QVERIFY(H.IsFilterStored());
    const QStringList Sample = H.SampleSource().split(QStringLiteral("\r\n"));
    QCOMPARE(Sample.size(), 12);
    QCOMPARE(Sample[4], QStringLiteral("  print \"The number is $number\";"));
    QCOMPARE(Sample.last(), QStringLiteral("}"));
    // Attribute of each kind.
    const TScannedLine S = Scan(H, 0, QStringLiteral("\u00e9 $v 'x' 1 /**/ /** a */ a"));
    QCOMPARE(S.Tokens[0].Attr, H.IdentifierAttri()); // unknown
    QCOMPARE(S.Tokens[2].Attr, H.VariableAttri());
    QCOMPARE(S.Tokens[4].Attr, H.StringAttri());
    QCOMPARE(S.Tokens[6].Attr, H.NumberAttri());
    QCOMPARE(S.Tokens[8].Attr, H.CommentAttri());
    QCOMPARE(S.Tokens[10].Attr, H.DocumentAttri());
    QCOMPARE(S.Tokens[1].Attr, H.SpaceAttri());
    H.SetLine(QString(), 0);
    QVERIFY(H.GetTokenAttribute() == nullptr);
}

void TestLexHighlighterPHP::rangesCarryAcrossLines() {
    TLexPHPLex H;
    const QStringList Lines{"/* a", "", "b */ $x = \"s", "t $y", "u\"; `g", "$z", "'p\\", "q'"};
    const auto Scans = ScanText(H, Lines);
    QVector<qlonglong> Ends;
    for (const auto &s : Scans)
        Ends << s.EndRange;
    QCOMPARE(Ends, (QVector<qlonglong>{rsComment, rsComment, rsString34, rsString34, rsString96, 0,
                                       rsString39, 0}));
    QCOMPARE(Tokens(Scans[3]), QStringLiteral("str:t |var:$y"));
    QCOMPARE(Tokens(Scans[5]), QStringLiteral("var:$z"));
}

void TestLexHighlighterPHP::sampleSourceProperties() {
    // Line by line with carried ranges equals rescanning each line from its stored start range,
    // in any order and with a fresh highlighter.
    QString Missing;
    const QStringList Lines =
        SampleAndDataLines(TLexPHPLex().SampleSource(), DataDir(), QStringLiteral("*.php"), &Missing);
    QVERIFY2(Missing.isEmpty(), qPrintable(Missing));
    QVERIFY(Lines.size() > 50);
    TLexPHPLex Carried, Fresh;
    const QString Problem = RescanMismatch(Carried, Fresh, Lines);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

void TestLexHighlighterPHP::randomLinesKeepTheScanProperties() {
    // Lines of characters that drive the scanner's rules, started from every range and from
    // values it never produces.
    const QString Alphabet =
        QStringLiteral("$${}[]'\"`\\/*#-+=<>!&|^%.:;?@(),~ \t\r\n0129aexfEX_L\u00e9\u4E2D") + QChar(0xD800) +
        QChar(0);
    QRandomGenerator Rng(20260512);
    TLexPHPLex H, Other;
    const TLexRange Starts[] = {0, 1, 2, 3, 4, 5, 6, -1, 7, 255, 256, TLexRange(1) << 40};
    const std::set<TLexRange> Produced{0, 1, 2, 3, 4, 5};
    for (int n = 0; n < 20000; ++n) {
        const QString Line = RandomLine(Rng, Alphabet, 24);
        for (TLexRange Start : Starts) {
            TScannedLine S, Again;
            QString Error;
            QVERIFY2(ScanLine(H, false, Start, Line, S, &Error), qPrintable(Error));
            const QString Problem = CheckLine(Line, S);
            QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
            QVERIFY2(Produced.count(S.EndRange), qPrintable(Dump(S)));
            // Another highlighter with another history gives the same tokens and end range.
            TScannedLine Junk;
            QVERIFY(ScanLine(Other, false, TLexRange(n % 7), QStringLiteral("\"$a /* '"), Junk));
            QVERIFY(ScanLine(Other, false, Start, Line, Again));
            QCOMPARE(Again, S);
        }
    }
}

void TestLexHighlighterPHP::batchScanAgreesWithTokenLoop() {
    // The batch scan the exporter uses gives the tokens of the loop of Next, in batches of any
    // size, on the sample, the test files and random lines (long ones, so that batches split them).
    QString Missing;
    QStringList Lines =
        SampleAndDataLines(TLexPHPLex().SampleSource(), DataDir(), QStringLiteral("*.php"), &Missing);
    QVERIFY2(Missing.isEmpty(), qPrintable(Missing));
    const QString Alphabet = QStringLiteral("$${}[]'\"`\\/*#-+=<>!&|^%.:;?@(),~ \t0129aexfEX_L\u00e9\u4E2D") +
                             QChar(0xD800) + QChar(0);
    QRandomGenerator Rng(20260601);
    for (int n = 0; n < 300; ++n)
        Lines << RandomLine(Rng, Alphabet, 400);
    TLexPHPLex H;
    const QString Problem = BatchScanMismatch(H, Lines);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

void TestLexHighlighterPHP::goldenFiles_data() {
    QTest::addColumn<QString>("source");
    QDir Dir(DataDir());
    const QStringList Files = Dir.entryList({QStringLiteral("*.php")}, QDir::Files, QDir::Name);
    QVERIFY(Files.size() >= 6);
    for (const QString &Name : Files)
        QTest::newRow(qPrintable(Name)) << Dir.filePath(Name);
}

void TestLexHighlighterPHP::goldenFiles() {
    QFETCH(QString, source);
    const QString Problem = GoldenFileMismatch(QStringLiteral("php"), source);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

void TestLexHighlighterPHP::lexTokensRejectsBadUse() {
    int Exit = 0;
    QByteArray Err;
    RunLexTokens(
        {QStringLiteral("--lang"), QStringLiteral("cobol"), DataDir() + QStringLiteral("/sample.php")}, Exit,
        &Err);
    QCOMPARE(Exit, 2);
    QVERIFY(Err.contains("usage"));
    RunLexTokens({QStringLiteral("--lang"), QStringLiteral("php"), QStringLiteral("/nonexistent/x.php")},
                 Exit, &Err);
    QCOMPARE(Exit, 1);
    QVERIFY(Err.contains("cannot read"));
}

void TestLexHighlighterPHP::agreesWithPhpTokenizer() {
    const QString Php = QStandardPaths::findExecutable(QStringLiteral("php"));
    if (Php.isEmpty()) QSKIP("php is not installed");
    // Generated PHP made of constructs both lexers treat alike, one blank between tokens.
    const QStringList Keywords{"echo",     "if",      "else",         "while",        "for",     "foreach",
                               "function", "return",  "new",          "class",        "print",   "array",
                               "isset",    "unset",   "empty",        "global",       "static",  "abstract",
                               "final",    "public",  "private",      "protected",    "const",   "break",
                               "continue", "switch",  "case",         "default",      "do",      "try",
                               "catch",    "throw",   "clone",        "instanceof",   "extends", "implements",
                               "include",  "require", "include_once", "require_once", "and",     "or",
                               "xor"};
    const QStringList Operators{
        "+", "-", "*", "/", "%", "=", "==", "!=", "<",  ">",  "<=", ">=", "&&", "||", "!", ".", ",", ";",
        "(", ")", "[", "]", "{", "}", "+=", "-=", "*=", "++", "--", "=>", "&",  "|",  "^", "~", "@", "%="};
    QRandomGenerator Rng(7);
    auto Name = [&Rng](bool AVar) {
        // Names start with "id", which begins no keyword of either lexer.
        QString s = AVar ? QStringLiteral("$") : QStringLiteral("id");
        s += QChar(u'a' + Rng.bounded(26));
        const int n = int(Rng.bounded(0, 6));
        for (int i = 0; i < n; ++i)
            s += QStringLiteral("abcdefghijklmnopqrstuvwxyz_0123456789")[Rng.bounded(37)];
        return s;
    };
    QStringList Lines;
    for (int l = 0; l < 400; ++l) {
        QStringList Parts;
        const int n = int(Rng.bounded(1, 12));
        for (int i = 0; i < n; ++i) {
            switch (Rng.bounded(7)) {
            case 0:
                Parts << Name(true);
                break;
            case 1:
                Parts << QString::number(Rng.bounded(0, 100000));
                break;
            case 2: {
                QString k = Keywords[Rng.bounded(Keywords.size())];
                if (Rng.bounded(2)) k = k.toUpper();
                Parts << k;
                break;
            }
            case 3: {
                QString s = QStringLiteral("'");
                const int m = int(Rng.bounded(0, 6));
                for (int j = 0; j < m; ++j)
                    s += QStringList{"a", " ", "\\'", "\\\\", "$x", "\"", "{"}[Rng.bounded(7)];
                Parts << s + QStringLiteral("'");
                break;
            }
            case 4:
                Parts << QStringLiteral("/* ") + Name(false) + QStringLiteral(" */");
                break;
            case 5: {
                QString id = Name(false);
                Parts << id;
                break;
            }
            default:
                Parts << Operators[Rng.bounded(Operators.size())];
                break;
            }
        }
        if (Rng.bounded(5) == 0) Parts << QStringLiteral("// ") + Name(false);
        Lines << Parts.join(QLatin1Char(' '));
    }
    TLexPHPLex H;
    QTemporaryDir Dir;
    const QString Source = QStringLiteral("<?php\n") + Lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    QFile Src(Dir.filePath(QStringLiteral("gen.php")));
    QVERIFY(Src.open(QIODevice::WriteOnly));
    Src.write(Source.toUtf8());
    Src.close();
    const QString Script = QStringLiteral(
        "$o = 0; foreach (token_get_all(file_get_contents($argv[1])) as $t) {"
        " if (is_array($t)) { $n = token_name($t[0]); $s = $t[1]; } else { $n = 'CHAR'; $s = $t; }"
        " echo $o, \"\\t\", strlen($s), \"\\t\", $n, \"\\n\"; $o += strlen($s); }");
    QProcess P;
    P.start(Php, {QStringLiteral("-r"), Script, Src.fileName()});
    QVERIFY(P.waitForFinished(60000));
    QCOMPARE(P.exitCode(), 0);
    // Their tokens, without white space and the open tag, as offset -> (length, class).
    QMap<int, QPair<int, int>> Theirs;
    for (const QByteArray &Row : P.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> F = Row.split('\t');
        if (F.size() != 3 || F[2] == "T_WHITESPACE" || F[2] == "T_OPEN_TAG") continue;
        int Kind = tkSymbol;
        if (F[2] == "T_VARIABLE")
            Kind = tkVariable;
        else if (F[2] == "T_LNUMBER")
            Kind = tkNumber;
        else if (F[2] == "T_CONSTANT_ENCAPSED_STRING")
            Kind = tkString;
        else if (F[2] == "T_COMMENT")
            Kind = tkComment;
        else if (F[2] == "T_STRING")
            Kind = tkIdentifier;
        else if (F[2] != "CHAR" && Source.mid(F[0].toInt(), 1).at(0).isLetter())
            Kind = tkKey;
        Theirs.insert(F[0].toInt(), qMakePair(F[1].toInt(), Kind));
    }
    // Ours (ASCII only, so byte offsets are character offsets).
    QMap<int, QPair<int, int>> Ours;
    int Offset = 6;
    TLexRange Range = 0;
    for (const QString &L : Lines) {
        TScannedLine S;
        QVERIFY(ScanLine(H, false, Range, L, S));
        Range = S.EndRange;
        for (const TScannedToken &t : S.Tokens)
            if (t.Kind != tkSpace) Ours.insert(Offset + t.Pos, qMakePair(int(t.Text.size()), t.Kind));
        Offset += int(L.size()) + 1;
    }
    QVERIFY(Theirs.size() > 1000);
    for (auto it = Theirs.cbegin(); it != Theirs.cend(); ++it) {
        const auto Mine = Ours.value(it.key(), qMakePair(-1, -1));
        QVERIFY2(Mine == it.value(), qPrintable(QStringLiteral("at %1 \"%2\": php (%3, %4), ours (%5, %6)")
                                                    .arg(it.key())
                                                    .arg(Source.mid(it.key(), std::max(it.value().first, 1)))
                                                    .arg(it.value().first)
                                                    .arg(it.value().second)
                                                    .arg(Mine.first)
                                                    .arg(Mine.second)));
    }
    QCOMPARE(Ours.size(), Theirs.size());
}

QTEST_MAIN(TestLexHighlighterPHP)
#include "tst_lexhighlighterphp.moc"
