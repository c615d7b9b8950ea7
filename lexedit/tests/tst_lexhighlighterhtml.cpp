// SPDX-License-Identifier: MIT
// The HTML highlighter: token rules, tag-name lookup, entities, ranges across lines, scan
// properties on random lines, and golden files through lextokens.

#include "highlighter_helpers.h"
#include "keyword_table_helpers.h"

#include "LexHighlighterKeywords.h"
#include "lexedit/LexHighlighterHtml.h"

#include <QDir>
#include <QFile>
#include <QRandomGenerator>
#include <QtTest>

#include <set>

using namespace lexedit;
using namespace lexedit::html;
using namespace lexedit_test;

namespace {

const char *const KindNames[] = {"amp", "com", "id", "key", "null", "sp", "sym", "txt", "undef", "val"};

QString Tokens(const TScannedLine &AScan) {
    QStringList Parts;
    for (const TScannedToken &t : AScan.Tokens)
        Parts << QString::fromLatin1(KindNames[t.Kind]) + QLatin1Char(':') + t.Text;
    return Parts.join(QLatin1Char('|'));
}

TScannedLine Scan(TLexHTMLLex &H, TLexRange AStart, const QString &ALine) {
    TScannedLine Result;
    QString Error;
    if (!ScanLine(H, false, AStart, ALine, Result, &Error)) qWarning("%s", qPrintable(Error));
    return Result;
}

QString DataDir() {
    return QFINDTESTDATA("tests/data/highlighter/html");
}

} // namespace

class TestLexHighlighterHTML : public QObject {
    Q_OBJECT

private slots:
    void tokens_data();
    void tokens();
    void tagTableFindsExactlyItsNames();
    void everyTagIsFoundInAnyCase();
    void everyLowerCaseEntityIsFound();
    void staleEntityNeverMovesTheScan();
    void attributesAndTexts();
    void rangesCarryAcrossLines();
    void sampleSourceProperties();
    void randomLinesKeepTheScanProperties();
    void batchScanAgreesWithTokenLoop();
    void goldenFiles_data();
    void goldenFiles();
};

void TestLexHighlighterHTML::tokens_data() {
    QTest::addColumn<qlonglong>("start");
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<qlonglong>("end");
    auto Row = [](const char *Name, qlonglong Start, const QString &Line, const QString &Expected,
                  qlonglong End) { QTest::newRow(Name) << Start << Line << Expected << End; };
    Row("tag", rsText, "<html>", "sym:<|key:html|sym:>", rsText);
    Row("tag in capitals", rsText, "<HTML>", "sym:<|key:HTML|sym:>", rsText);
    Row("unknown tag", rsText, "<invalid>", "sym:<|undef:invalid|sym:>", rsText);
    Row("br is unknown", rsText, "<br>", "sym:<|undef:br|sym:>", rsText);
    Row("hr is unknown", rsText, "<HR>", "sym:<|undef:HR|sym:>", rsText);
    Row("closing tag", rsText, "</div>", "sym:<|key:/div|sym:>", rsText);
    Row("self-closing without blank", rsText, "<img/>", "sym:<|undef:img/|sym:>", rsText);
    Row("self-closing with blank", rsText, "<img />", "sym:<|key:img|sp: |id:/|sym:>", rsText);
    Row("double-quoted value", rsText, "<a href=\"x y\">", "sym:<|key:a|sp: |id:href|sym:=|val:\"x y\"|sym:>",
        rsText);
    Row("value leaves param", rsText, "<a b=\"c\"", "sym:<|key:a|sp: |id:b|sym:=|val:\"c\"", rsParam);
    Row("apostrophe value open", rsText, "<input value='any", "sym:<|key:input|sp: |id:value|sym:=|val:'any",
        rsQuoteValue);
    Row("apostrophe value continues", rsQuoteValue, "  value'>", "val:  value'|sym:>", rsText);
    Row("double value continues", rsDoubleQuoteValue, "a\" b>", "val:a\"|sp: |id:b|sym:>", rsText);
    Row("value range on empty line", rsQuoteValue, "", "", rsQuoteValue);
    Row("unquoted value", rsText, "<a b=c d>", "sym:<|key:a|sp: |id:b|sym:=|val:c|sp: |id:d|sym:>", rsText);
    Row("unquoted value to bracket", rsText, "<a b=c>x", "sym:<|key:a|sp: |id:b|sym:=|val:c|sym:>|txt:x",
        rsText);
    Row("quote outside a value", rsParam, "\"x\"=", "id:\"x|id:\"|sym:=", rsValue);
    Row("entity", rsText, "a &copy; b", "txt:a |amp:&copy;|txt: b", rsText);
    Row("entity in capitals", rsText, "a &COPY; b", "txt:a |amp:&COPY;|txt: b", rsText);
    Row("capital entity matches lower twin", rsText, "&Alpha;", "amp:&Alpha;", rsText);
    Row("decimal reference", rsText, "x&#169;y", "txt:x|amp:&#169;|txt:y", rsText);
    Row("hexadecimal reference", rsText, "x&#xA9;y", "txt:x|amp:&#xA9;|txt:y", rsText);
    Row("reference in capitals", rsText, "&#XfF;", "amp:&#XfF;", rsText);
    Row("reference without semicolon", rsText, "x&#169 y", "txt:x&#169|txt: y", rsText);
    Row("unknown entity is text", rsText, "a &foo; b", "txt:a &foo; b", rsText);
    Row("entity cut by line end", rsText, "x &lt", "txt:x &lt", rsText);
    Row("two entities", rsText, "&lt;&gt;", "amp:&lt;|txt:|amp:&gt;", rsText);
    Row("comment open", rsText, "<!-- a", "com:<!--|com: a", rsComment);
    Row("comment closes", rsComment, "word -->", "com:word -->", rsText);
    Row("comment closes with text after", rsComment, "--> t", "com:-->|txt: t", rsText);
    Row("shortest comment", rsText, "<!-->", "com:<!--|com:>", rsText);
    Row("empty line in comment", rsComment, "", "", rsComment);
    Row("dashes apart", rsComment, "- ->x", "com:- ->x", rsComment);
    Row("text with blanks", rsText, "   text here", "txt:   text here", rsText);
    Row("tab starts space", rsText, "a\t b", "txt:a|sp:\t |txt:b", rsText);
    Row("tab ends blanks", rsParam, "  \t x", "sp:  |sp:\t |id:x", rsParam);
    Row("ampersand after bracket", rsText, "<&x", "sym:<|txt:&|txt:x", rsText);
    Row("blank before tag name", rsText, "< div>", "sym:<|sp: |key:div|sym:>", rsText);
    Row("doctype", rsText, "<!DOCTYPE html>", "sym:<|undef:|id:!DOCTYPE|sp: |id:html|sym:>", rsText);
    Row("lexedit tag", rsText, "<lexedit>", "sym:<|key:lexedit|sym:>", rsText);
    Row("greater in text", rsText, "a > b = c", "txt:a > b = c", rsText);
    Row("line breaks in line", rsText, "a\r\nb", "txt:a|sp:\r\n|txt:b", rsText);
    Row("attribute ends at quote", rsParam, "ab\"c", "id:ab|id:\"c", rsParam);
    // Unknown ranges start from the initial state.
    Row("null range", -1, "a<b", "txt:a|sym:<|key:b", rsParam);
    Row("range 9", 9, "x", "txt:x", rsText);
    Row("huge range", qlonglong(1) << 40, "&amp;", "amp:&amp;", rsText);
    Row("state never set by the scanner", rsUnKnown, "abc", "id:abc", rsUnKnown);
    Row("ampersand state at line start", rsAmpersand, "&x", "txt:&x", rsText);
}

void TestLexHighlighterHTML::tokens() {
    QFETCH(qlonglong, start);
    QFETCH(QString, line);
    QFETCH(QString, expected);
    QFETCH(qlonglong, end);
    TLexHTMLLex H;
    const TScannedLine S = Scan(H, TLexRange(start), line);
    QCOMPARE(Tokens(S), expected);
    QCOMPARE(qlonglong(S.EndRange), end);
    const QString Problem = CheckLine(line, S);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

void TestLexHighlighterHTML::tagTableFindsExactlyItsNames() {
    QCOMPARE(TagNames.Count(), size_t(257));
    const TKeywordTableCheck Check = CheckKeywordTable(TagNames);
    QVERIFY2(Check.Problem.isEmpty(), qPrintable(Check.Problem));
    QCOMPARE(Check.Reachable, 255); // not "!doctype" and "/!doctype": a name stops at the "!"
    QVERIFY(Check.Words >= 50 * long(TagNames.Count())); // the neighbourhood of each name was tried
}

void TestLexHighlighterHTML::everyTagIsFoundInAnyCase() {
    TLexHTMLLex H;
    int Found = 0;
    for (size_t k = 0; k < TagNames.Count(); ++k) {
        const QString Name = QString::fromUtf16(TagNames.Word(k));
        if (Name.contains(QLatin1Char('!'))) {
            QVERIFY(!Tokens(Scan(H, rsText, QStringLiteral("<") + Name + QStringLiteral(">")))
                         .contains(QStringLiteral("key:")));
            continue;
        }
        for (const QString &Form : {Name, Name.toUpper()}) {
            QCOMPARE(Tokens(Scan(H, rsText, QStringLiteral("<") + Form + QStringLiteral(">"))),
                     QStringLiteral("sym:<|key:") + Form + QStringLiteral("|sym:>"));
        }
        QCOMPARE(Tokens(Scan(H, rsText, QStringLiteral("<") + Name + QStringLiteral("x>"))),
                 QStringLiteral("sym:<|undef:") + Name + QStringLiteral("x|sym:>"));
        ++Found;
    }
    QCOMPARE(Found, 255);
    QCOMPARE(MAX_ESCAPEAMPS, 249);
}

void TestLexHighlighterHTML::everyLowerCaseEntityIsFound() {
    TLexHTMLLex H;
    for (const char16_t *Entity : EscapeAmps) {
        const QString Text = QString::fromUtf16(Entity);
        const TScannedLine S = Scan(H, rsText, QStringLiteral("x") + Text + QStringLiteral("y"));
        QString Lower = Text;
        bool HasCapital = Text != Text.toLower();
        if (!HasCapital ||
            EscapeAmps.end() != std::find_if(EscapeAmps.begin(), EscapeAmps.end(), [&](const char16_t *e) {
                return QString::fromUtf16(e) == Text.toLower();
            }))
            QCOMPARE(Tokens(S), QStringLiteral("txt:x|amp:") + Text + QStringLiteral("|txt:y"));
        else
            QCOMPARE(Tokens(S), QStringLiteral("txt:x") + Text + QStringLiteral("y"));
    }
}

void TestLexHighlighterHTML::staleEntityNeverMovesTheScan() {
    // Stop a scan right after the text token that found "&copy;", then start another line.
    TLexHTMLLex H;
    H.ResetRange();
    H.SetLine(QStringLiteral("a &copy;"), 0);
    QCOMPARE(H.GetToken(), QStringLiteral("a "));
    QCOMPARE(H.GetRange(), TLexRange(rsAmpersand));
    H.SetLine(QStringLiteral("&amp;x"), 1); // the range is still rsAmpersand
    TScannedLine S;
    while (!H.GetEol()) {
        S.Tokens << TScannedToken{H.GetTokenPos(), H.GetTokenKind(), H.GetToken(), nullptr};
        H.Next();
    }
    QCOMPARE(Tokens(S), QStringLiteral("amp:&amp;|txt:x"));
    // The same through SetRange.
    H.ResetRange();
    H.SetLine(QStringLiteral("a &copy;"), 0);
    H.SetRange(rsAmpersand);
    H.SetLine(QStringLiteral("&lt;"), 1);
    QCOMPARE(H.GetToken(), QStringLiteral("&lt;"));
    QCOMPARE(H.GetTokenKind(), int(tkAmpersand));
}

void TestLexHighlighterHTML::attributesAndTexts() {
    TLexHTMLLex H;
    QCOMPARE(H.KeyAttri()->Foreground(), TColor(0x00FF0080));
    QCOMPARE(H.KeyAttri()->Style(), TFontStyles{fsBold});
    QCOMPARE(H.UndefKeyAttri()->Foreground(), clRed);
    QCOMPARE(H.UndefKeyAttri()->FriendlyName(), QStringLiteral("Unknown Word"));
    QCOMPARE(H.ValueAttri()->Foreground(), TColor(0x00FF8000));
    QVERIFY(H.ValueAttri()->Style().Empty());
    QCOMPARE(H.AndAttri()->Foreground(), clLime);
    QCOMPARE(H.AndAttri()->FriendlyName(), QStringLiteral("Escape Ampersand"));
    QCOMPARE(H.IdentifierAttri()->Style(), TFontStyles{fsBold});
    QCOMPARE(H.SymbolAttri()->Style(), TFontStyles{fsBold});
    QVERIFY(H.CommentAttri()->Style().Empty() && H.TextAttri()->Style().Empty());
    QVERIFY(!H.KeyAttri()->GetForegroundColorStored()); // construction values are the defaults
    QCOMPARE(H.DefaultFilter(), QStringLiteral("HTML Documents (*.htm;*.html)|*.htm;*.html"));
    QVERIFY(!H.IsFilterStored());
    const QStringList Sample = H.SampleSource().split(QStringLiteral("\r\n"));
    QCOMPARE(Sample.size(), 11);
    QCOMPARE(Sample[1], QString());
    QCOMPARE(Sample[5], QStringLiteral("    <input name=\"user\" value='any"));
    QVERIFY(H.IsIdentChar(u'/') && H.IsIdentChar(u'9') && H.IsIdentChar(u'_') && H.IsIdentChar(u'Z'));
    QVERIFY(!H.IsIdentChar(u'!') && !H.IsIdentChar(u'-') && !H.IsIdentChar(QChar(0xE9)) &&
            !H.IsIdentChar(u':'));
    const TScannedLine S = Scan(H, rsText, QStringLiteral("<a b=\"c\">&amp;t<!--"));
    QCOMPARE(S.Tokens[0].Attr, H.SymbolAttri());
    QCOMPARE(S.Tokens[1].Attr, H.KeyAttri());
    QCOMPARE(S.Tokens[3].Attr, H.IdentifierAttri());
    QCOMPARE(S.Tokens[5].Attr, H.ValueAttri());
    QCOMPARE(S.Tokens[7].Text, QString()); // the text scan stops at the entity: a zero-length text token
    QCOMPARE(S.Tokens[7].Attr, H.TextAttri());
    QCOMPARE(S.Tokens[8].Attr, H.AndAttri());
    QCOMPARE(S.Tokens[9].Attr, H.TextAttri());
    QCOMPARE(S.Tokens[10].Attr, H.CommentAttri());
}

void TestLexHighlighterHTML::rangesCarryAcrossLines() {
    TLexHTMLLex H;
    const QStringList Lines{"<!-- a", "", "b --> <p", "class=\"x", "y\" id", "=", "v>t"};
    const auto Scans = ScanText(H, Lines);
    QVector<qlonglong> Ends;
    for (const auto &s : Scans)
        Ends << s.EndRange;
    QCOMPARE(Ends, (QVector<qlonglong>{rsComment, rsComment, rsParam, rsDoubleQuoteValue, rsParam, rsValue,
                                       rsText}));
    QCOMPARE(Tokens(Scans[2]), QStringLiteral("com:b -->|txt: |sym:<|key:p"));
    QCOMPARE(Tokens(Scans[6]), QStringLiteral("val:v|sym:>|txt:t"));
}

void TestLexHighlighterHTML::sampleSourceProperties() {
    QString Missing;
    const QStringList Lines =
        SampleAndDataLines(TLexHTMLLex().SampleSource(), DataDir(), QStringLiteral("*.html"), &Missing);
    QVERIFY2(Missing.isEmpty(), qPrintable(Missing));
    QVERIFY(Lines.size() > 40);
    TLexHTMLLex Carried, Fresh;
    const QString Problem = RescanMismatch(Carried, Fresh, Lines);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

void TestLexHighlighterHTML::randomLinesKeepTheScanProperties() {
    const QString Alphabet =
        QStringLiteral("<<>>!--==&&#;;xX9'\"/ \t\r\nabdivhtmlcopyampltAB_\u00e9") + QChar(0xD800) + QChar(0);
    QRandomGenerator Rng(20260513);
    TLexHTMLLex H, Other;
    const TLexRange Starts[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, -1, 9, 255, TLexRange(1) << 40};
    const std::set<TLexRange> Produced{1, 2, 3, 4, 6, 7, 8}; // 0 and 5 only when started there
    for (int n = 0; n < 20000; ++n) {
        const QString Line = RandomLine(Rng, Alphabet, 24);
        for (TLexRange Start : Starts) {
            TScannedLine S, Again;
            QString Error;
            QVERIFY2(ScanLine(H, false, Start, Line, S, &Error), qPrintable(Error));
            const QString Problem = CheckLine(Line, S);
            QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
            QVERIFY2(Produced.count(S.EndRange) || S.EndRange == Start, qPrintable(Dump(S)));
            // Another highlighter with another history gives the same tokens and end range.
            TScannedLine Junk;
            QVERIFY(ScanLine(Other, false, TLexRange(n % 9), QStringLiteral("<a b='c &copy"), Junk));
            QVERIFY(ScanLine(Other, false, Start, Line, Again));
            QCOMPARE(Again, S);
        }
    }
}

void TestLexHighlighterHTML::batchScanAgreesWithTokenLoop() {
    // The batch scan the exporter uses gives the tokens of the loop of Next, in batches of any
    // size, on the sample, the test files and random lines (long ones, so that batches split them).
    QString Missing;
    QStringList Lines =
        SampleAndDataLines(TLexHTMLLex().SampleSource(), DataDir(), QStringLiteral("*.html"), &Missing);
    QVERIFY2(Missing.isEmpty(), qPrintable(Missing));
    const QString Alphabet =
        QStringLiteral("<<>>!--==&&#;;xX9'\"/ \tabdivhtmlcopyampltAB_\u00e9") + QChar(0xD800) + QChar(0);
    QRandomGenerator Rng(20260602);
    for (int n = 0; n < 300; ++n)
        Lines << RandomLine(Rng, Alphabet, 400);
    TLexHTMLLex H;
    const QString Problem = BatchScanMismatch(H, Lines);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

void TestLexHighlighterHTML::goldenFiles_data() {
    QTest::addColumn<QString>("source");
    QDir Dir(DataDir());
    const QStringList Files = Dir.entryList({QStringLiteral("*.html")}, QDir::Files, QDir::Name);
    QVERIFY(Files.size() >= 6);
    for (const QString &Name : Files)
        QTest::newRow(qPrintable(Name)) << Dir.filePath(Name);
}

void TestLexHighlighterHTML::goldenFiles() {
    QFETCH(QString, source);
    const QString Problem = GoldenFileMismatch(QStringLiteral("html"), source);
    QVERIFY2(Problem.isEmpty(), qPrintable(Problem));
}

QTEST_MAIN(TestLexHighlighterHTML)
#include "tst_lexhighlighterhtml.moc"
