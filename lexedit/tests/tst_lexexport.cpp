// SPDX-License-Identifier: MIT
// Tests of the HTML exporter: every export is well-formed XML (checked by xmllint), the text comes
// back from the markup, runs and class names, encodings, the clipboard payload's byte offsets, and
// tolerance of bad ranges.

#include "editor_helpers.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexExportHTML.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QBuffer>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QMimeData>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QtTest>

#include <climits>
#include <memory>

using namespace lexedit;
using editor_test::TrickyExportLines;

Q_DECLARE_METATYPE(lexedit::TLexEncoding)

namespace {

QString DataDir() {
    return QFINDTESTDATA("tests/data/highlighter");
}

// The same text as it must come back from the export (controls other than TAB as U+FFFD).
QString Expected(const QString &AText) {
    QString R = AText;
    for (qsizetype i = 0; i < R.size(); ++i) {
        const char16_t c = R[i].unicode();
        const bool Pair =
            QChar::isHighSurrogate(c) && i + 1 < R.size() && QChar::isLowSurrogate(R[i + 1].unicode());
        if (Pair)
            ++i;
        else if ((c < 0x20 && c != u'\t' && c != u'\n') || (c >= 0x7F && c <= 0x9F) || QChar::isSurrogate(c))
            R[i] = QChar(0xFFFD);
    }
    return R;
}

// Gives every attribute of AHighlighter its own colours and all styles in turn.
void ColourEveryAttribute(TLexCustomHighlighter &AHighlighter) {
    for (int i = 0; i < AHighlighter.AttrCount(); ++i) {
        TLexHighlighterAttributes *A = AHighlighter.Attribute(i);
        A->SetForeground(RGBToColor(40 * i % 256, 255 - 30 * i % 256, 90));
        A->SetBackground(i % 2 == 0 ? RGBToColor(250, 250, 200 + i) : clNone);
        A->SetStyle(TFontStyles::FromMask(uint8_t(i % 16)));
    }
}

// The decoded text of a saved export (with its byte-order mark).
QString Decode(const QByteArray &ABytes, TLexEncoding AEncoding) {
    switch (AEncoding) {
    case seUTF8:
        return QString::fromUtf8(ABytes);
    case seAnsi:
        return QString::fromLatin1(ABytes);
    case seUTF16LE:
    case seUTF16BE: {
        QStringDecoder D(QStringDecoder::Utf16);
        return D.decode(ABytes);
    }
    }
    return QString();
}

QByteArray Saved(TLexCustomExporter &AExporter) {
    QBuffer B;
    B.open(QIODevice::WriteOnly);
    AExporter.SaveToStream(B);
    return B.data();
}

// The text inside the <code> element: <br /> as a line break, tags dropped, the five entities and
// numeric character references decoded.
QString TextOfBody(const QString &AHtml) {
    const qsizetype Start = AHtml.indexOf(QLatin1String("<code>"));
    const qsizetype End = AHtml.lastIndexOf(QLatin1String("</code>"));
    if (Start < 0 || End < Start) return QStringLiteral("<no code element>");
    QString Body = AHtml.mid(Start + 6, End - Start - 6);
    Body.replace(QLatin1String("<br />"), QLatin1String("\n"));
    Body.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    QString R;
    static const QRegularExpression Entity(
        QStringLiteral("^&(amp|lt|gt|quot|apos|#39|#x([0-9A-Fa-f]+)|#([0-9]+));"));
    for (qsizetype i = 0; i < Body.size(); ++i) {
        if (Body[i] != u'&') {
            R += Body[i];
            continue;
        }
        const QRegularExpressionMatch M = Entity.match(QStringView(Body).mid(i));
        if (!M.hasMatch()) return QStringLiteral("<bare ampersand>");
        const QString Name = M.captured(1);
        if (Name == QLatin1String("amp"))
            R += u'&';
        else if (Name == QLatin1String("lt"))
            R += u'<';
        else if (Name == QLatin1String("gt"))
            R += u'>';
        else if (Name == QLatin1String("quot"))
            R += u'"';
        else if (Name == QLatin1String("apos") || Name == QLatin1String("#39"))
            R += u'\'';
        else {
            const char32_t Code =
                !M.captured(2).isEmpty() ? M.captured(2).toUInt(nullptr, 16) : M.captured(3).toUInt();
            R += QString::fromUcs4(&Code, 1);
        }
        i += M.capturedLength() - 1;
    }
    return R;
}

// xmllint's complaints about ABytes (empty when it is well-formed).
QString XmlLint(const QByteArray &ABytes) {
    QTemporaryDir Dir;
    const QString Name = Dir.filePath(QStringLiteral("export.html"));
    QFile F(Name);
    if (!F.open(QIODevice::WriteOnly) || F.write(ABytes) != ABytes.size())
        return QStringLiteral("cannot write");
    F.close();
    QProcess P;
    P.start(QStringLiteral("xmllint"), {QStringLiteral("--noout"), QStringLiteral("--nonet"), Name});
    if (!P.waitForFinished(60000)) return QStringLiteral("xmllint did not run (install libxml2-utils)");
    if (P.exitStatus() == QProcess::NormalExit && P.exitCode() == 0) return QString();
    return QString::fromLocal8Bit(P.readAllStandardError() + P.readAllStandardOutput()).left(2000);
}

struct TSample {
    QString Name;
    QStringList Lines;
    bool Php = true;
};

std::vector<TSample> Samples() {
    std::vector<TSample> R;
    for (const char *Lang : {"php", "html"}) {
        QDir Dir(DataDir() + QLatin1Char('/') + QLatin1String(Lang));
        for (const QString &File :
             Dir.entryList({QStringLiteral("*.php"), QStringLiteral("*.html")}, QDir::Files)) {
            TLexEditStringList L;
            L.LoadFromFile(Dir.filePath(File));
            R.push_back({File, L.ToStringList(), QLatin1String(Lang) == QLatin1String("php")});
        }
    }
    R.push_back({QStringLiteral("tricky.php"), TrickyExportLines(), true});
    R.push_back({QStringLiteral("tricky.html"), TrickyExportLines(), false});
    return R;
}

} // namespace

class TestLexExport : public QObject {
    Q_OBJECT

private slots:
    void wellFormedAndKeepsText_data();
    void wellFormedAndKeepsText();
    void rangesKeepTheirText();
    void runsAndClassNames();
    void sameLookSharesOneSpan();
    void backgroundOnlyWithUseBackground();
    void pieceIsColouredAsTheWholeFile();
    void encodingsAndByteOrderMarks();
    void unsupportedEncodingIsRefused();
    void latin1KeepsEveryCharacter();
    void payloadOffsetsCountUtf8Bytes_data();
    void payloadOffsetsCountUtf8Bytes();
    void copyToClipboardLeavesTheBuffer();
    void lexexportTool_data();
    void lexexportTool();
    // Regression tests of the faults mended.
    void lineBreaksAreClosedTags();
    void titleAndFontNameAreEscaped();
    void controlCharactersBecomeReplacementCharacters();
    void nulTokenIsKept();
    void exportRangeToleratesBadRanges_data();
    void exportRangeToleratesBadRanges();
};

void TestLexExport::wellFormedAndKeepsText_data() {
    QTest::addColumn<QStringList>("Lines");
    QTest::addColumn<bool>("Php");
    QTest::addColumn<bool>("Fragment");
    QTest::addColumn<bool>("Coloured");
    QTest::addColumn<TLexEncoding>("Encoding");
    const std::pair<TLexEncoding, const char *> Encodings[] = {
        {seUTF8, "utf-8"}, {seUTF16LE, "utf-16le"}, {seUTF16BE, "utf-16be"}, {seAnsi, "latin1"}};
    for (const TSample &S : Samples())
        for (const auto &E : Encodings)
            for (int Variant = 0; Variant < 3; ++Variant) {
                // Document, document with every attribute coloured and backgrounds, fragment.
                QTest::addRow("%s %s %s", qPrintable(S.Name), E.second,
                              Variant == 0   ? "document"
                              : Variant == 1 ? "coloured"
                                             : "fragment")
                    << S.Lines << S.Php << (Variant == 2) << (Variant == 1) << E.first;
            }
}

void TestLexExport::wellFormedAndKeepsText() {
    QFETCH(QStringList, Lines);
    QFETCH(bool, Php);
    QFETCH(bool, Fragment);
    QFETCH(bool, Coloured);
    QFETCH(TLexEncoding, Encoding);
    std::unique_ptr<TLexCustomHighlighter> H;
    if (Php)
        H = std::make_unique<TLexPHPLex>();
    else
        H = std::make_unique<TLexHTMLLex>();
    if (Coloured) ColourEveryAttribute(*H);
    TLexExporterHTML X;
    X.SetHighlighter(H.get());
    X.SetExportAsText(true);
    X.SetCreateHTMLFragment(Fragment);
    X.SetUseBackground(Coloured);
    X.SetEncoding(Encoding);
    X.ExportAll(Lines);
    const QByteArray Bytes = Saved(X);
    QCOMPARE(XmlLint(Bytes), QString());
    QCOMPARE(TextOfBody(Decode(Bytes, Encoding)), Expected(Lines.join(QLatin1Char('\n'))));
}

void TestLexExport::rangesKeepTheirText() {
    // Random ranges of the tricky text and of a sample, with and without a highlighter: the body
    // holds exactly the characters from Start up to Stop.
    QRandomGenerator Random(22);
    TLexPHPLex Php;
    for (const QStringList &Lines : {TrickyExportLines(), Samples().front().Lines}) {
        for (int Round = 0; Round < 200; ++Round) {
            const auto Coord = [&] {
                const int L = int(Random.bounded(Lines.size())) + 1;
                return BufferCoord(int(Random.bounded(int(Lines[L - 1].size()) + 2)) + 1, L);
            };
            TBufferCoord A = Coord();
            TBufferCoord B = Coord();
            if (B < A) std::swap(A, B);
            QString Want;
            for (int L = A.Line; L <= B.Line; ++L) {
                const QString &S = Lines[L - 1];
                const int From = L == A.Line ? std::min(A.Char, int(S.size()) + 1) : 1;
                const int To = L == B.Line ? std::min(B.Char, int(S.size()) + 1) : int(S.size()) + 1;
                Want += S.mid(From - 1, std::max(0, To - From));
                if (L < B.Line) Want += QLatin1Char('\n');
            }
            TLexExporterHTML X;
            X.SetExportAsText(true);
            if (Round % 2 == 0) X.SetHighlighter(&Php);
            X.ExportRange(Lines, A, B);
            const QString Html = X.BufferText();
            QVERIFY2(
                TextOfBody(Html) == Expected(Want),
                qPrintable(QStringLiteral("%1,%2 to %3,%4").arg(A.Char).arg(A.Line).arg(B.Char).arg(B.Line)));
        }
    }
}

void TestLexExport::runsAndClassNames() {
    // One line whose tokens are all comment: one span around the escaped text, then the line
    // break is not written after the last line.
    TLexPHPLex Php;
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    X.SetCreateHTMLFragment(true);
    X.ExportAll(QStringList{QStringLiteral("// a<b")});
    QVERIFY2(
        X.BufferText().contains(QLatin1String("<code><span class=\"php1-comment\">// a&lt;b</span></code>")),
        qPrintable(X.BufferText()));
    // Class names from the fixed export names of the highlighters.
    QCOMPARE(Php.ExportName(), QStringLiteral("PHP"));
    TLexHTMLLex Html;
    QCOMPARE(Html.ExportName(), QStringLiteral("HTML"));
    X.SetHighlighter(&Html);
    X.SetCreateHTMLFragment(false);
    X.ExportAll(QStringList{QStringLiteral("a &amp; b")});
    QVERIFY(X.BufferText().contains(
        QLatin1String(".html1-escapeampersand { color: #00FF00; font-weight: bold; }")));
    QVERIFY(X.BufferText().contains(QLatin1String("<span class=\"html1-escapeampersand\">&amp;amp;</span>")));
    QCOMPARE(TLexExporterHTML::MakeValidName(QStringLiteral("PHP1.Reserved_Word")),
             QStringLiteral("php1-reserved-word"));
    // Blanks and tabs are written as they are inside the <pre> element.
    X.ExportAll(QStringList{QStringLiteral("  a\tb  ")});
    QVERIFY(X.BufferText().contains(QLatin1String("  a\tb  ")));
}

void TestLexExport::sameLookSharesOneSpan() {
    // Identifiers and symbols in one colour: one run; the keyword after them opens another.
    TLexPHPLex Php;
    Php.IdentifierAttri()->SetForeground(clRed);
    Php.SymbolAttri()->SetForeground(clRed);
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    X.SetCreateHTMLFragment(true);
    X.ExportAll(QStringList{QStringLiteral("<?php foo(bar); echo")});
    const QString T = X.BufferText();
    QVERIFY2(T.contains(QLatin1String("<span class=\"php1-symbol\">&lt;?php foo(bar); </span><span "
                                      "class=\"php1-reservedword\">echo</span>")),
             qPrintable(T));
    // Inline styles carry the look itself; the default colour is left to the reader.
    X.SetInlineStyles(true);
    X.ExportAll(QStringList{QStringLiteral("<?php foo(bar); echo")});
    QVERIFY2(X.BufferText().contains(
                 QLatin1String("<span style=\"color: #FF0000;\">&lt;?php foo(bar); </span><span "
                               "style=\"font-weight: bold;\">echo</span>")),
             qPrintable(X.BufferText()));
}

void TestLexExport::backgroundOnlyWithUseBackground() {
    TLexPHPLex Php;
    Php.CommentAttri()->SetBackground(clYellow);
    Php.SpaceAttri()->SetBackground(clNavy);
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    const QStringList Text{QStringLiteral("<?php // x"), QStringLiteral("$a;")};
    X.ExportAll(Text);
    QVERIFY(!X.BufferText().contains(QLatin1String("background-color: #FFFF00")));
    QVERIFY(X.BufferText().contains(QLatin1String("background-color: #FFFFFF")));
    X.SetUseBackground(true);
    // The page takes the whitespace attribute's background.
    X.ExportAll(Text);
    QVERIFY(X.BufferText().contains(QLatin1String(".php1-comment { background-color: #FFFF00;")));
    QVERIFY(X.BufferText().contains(QLatin1String("body { color: #000000; background-color: #000080; }")));
}

void TestLexExport::pieceIsColouredAsTheWholeFile() {
    // A range that starts inside a comment opened lines above is exported as comment, and a
    // piece cut from the middle of a string keeps the string's look.
    TLexPHPLex Php;
    Php.StringAttri()->SetForeground(clBlue);
    const QStringList Text{QStringLiteral("<?php /* a"), QStringLiteral("b */ $x = 'one two';")};
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    X.SetCreateHTMLFragment(true);
    X.ExportRange(Text, BufferCoord(1, 2), BufferCoord(3, 2));
    QVERIFY2(X.BufferText().contains(QLatin1String("<span class=\"php1-comment\">b </span>")),
             qPrintable(X.BufferText()));
    X.ExportRange(Text, BufferCoord(16, 2), BufferCoord(19, 2));
    QVERIFY2(X.BufferText().contains(QLatin1String("<span class=\"php1-string\">two</span>")),
             qPrintable(X.BufferText()));
    // The same with the range of the line above given, as an editor gives it.
    Php.ResetRange();
    Php.SetLine(Text[0], 0);
    Php.NextToEol();
    X.ExportRows(Text, {TLexExportRow{2, 1, 3, 0, false}}, Php.GetRange());
    QVERIFY(X.BufferText().contains(QLatin1String("<span class=\"php1-comment\">b </span>")));
}

void TestLexExport::encodingsAndByteOrderMarks() {
    TLexExporterHTML X;
    X.SetExportAsText(true);
    const QStringList Text{QStringLiteral("\u00E9")};
    X.ExportAll(Text);
    QVERIFY(!Saved(X).startsWith("\xEF\xBB\xBF"));
    QVERIFY(Saved(X).startsWith("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));
    X.SetEncoding(seUTF16LE);
    X.ExportAll(Text);
    QVERIFY(Saved(X).startsWith(QByteArray("\xFF\xFE<\0?\0", 6)));
    QVERIFY(X.BufferText().contains(QLatin1String("encoding=\"UTF-16\"")));
    X.SetEncoding(seUTF16BE);
    X.ExportAll(Text);
    QVERIFY(Saved(X).startsWith(QByteArray("\xFE\xFF\0<\0?", 6)));
    X.SetEncoding(seAnsi);
    X.ExportAll(Text);
    QVERIFY(Saved(X).contains("encoding=\"ISO-8859-1\""));
    QVERIFY(Saved(X).contains("<code>\xE9</code>"));
}

void TestLexExport::unsupportedEncodingIsRefused() {
    // A format without the 8-bit encoding: the error names both, the encoding stays.
    class TUtf8Only : public TLexExporterHTML {
    public:
        TLexEncodings SupportedEncodings() const override { return {seUTF8}; }
    } X;
    try {
        X.SetEncoding(seAnsi);
        QFAIL("no error");
    } catch (const ELexExporterError &E) {
        QCOMPARE(E.Message(), QStringLiteral("ANSI encoding is not supported by HTML-exporter"));
    }
    QCOMPARE(X.Encoding(), seUTF8);
    QVERIFY_THROWS_EXCEPTION(ELexExporterError, X.SetEncoding(seUTF16LE));
}

void TestLexExport::latin1KeepsEveryCharacter() {
    TLexExporterHTML X;
    X.SetExportAsText(true);
    X.SetEncoding(seAnsi);
    X.ExportAll(QStringList{QStringLiteral("\u4E2D \U0001F600 \u00FF")});
    QVERIFY2(Saved(X).contains("<code>&#x4E2D; &#x1F600; \xFF</code>"), Saved(X).constData());
}

void TestLexExport::payloadOffsetsCountUtf8Bytes_data() {
    QTest::addColumn<TLexEncoding>("Encoding");
    QTest::newRow("utf-8") << seUTF8;
    QTest::newRow("utf-16le") << seUTF16LE;
    QTest::newRow("utf-16be") << seUTF16BE;
}

void TestLexExport::payloadOffsetsCountUtf8Bytes() {
    // Non-ASCII text and title: every offset points at the right bytes of the payload.
    QFETCH(TLexEncoding, Encoding);
    TLexPHPLex Php;
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetEncoding(Encoding);
    X.SetTitle(QStringLiteral("\u00FCber \u4E2D"));
    X.ExportAll(QStringList{QStringLiteral("<?php echo 'gr\u00FC\u00DFe \U0001F600'; // \u00E9"),
                            QStringLiteral("$x;")});
    const QByteArray &P = X.Buffer();
    const int Unit = Encoding == seUTF8 ? 1 : 2;
    const QString Text = X.BufferText();
    const auto Field = [&](const QString &Name) {
        const qsizetype At = Text.indexOf(Name + QLatin1Char(':'));
        return At < 0 ? -1 : Text.mid(At + Name.size() + 1, 10).toLongLong();
    };
    const qsizetype StartHTML = Field(QStringLiteral("StartHTML"));
    const qsizetype EndHTML = Field(QStringLiteral("EndHTML"));
    const qsizetype StartFragment = Field(QStringLiteral("StartFragment"));
    const qsizetype EndFragment = Field(QStringLiteral("EndFragment"));
    QVERIFY(Text.startsWith(QLatin1String("Version:0.9\r\nStartHTML:0000000105\r\n")) || Unit == 2);
    QCOMPARE(StartHTML, 105 * Unit);
    QCOMPARE(EndHTML, P.size());
    const auto Part = [&](qsizetype From, qsizetype To) {
        const QByteArray B = P.mid(From, To - From);
        return Encoding == seUTF8 ? QString::fromUtf8(B)
                                  : Decode((Encoding == seUTF16LE ? "\xFF\xFE" : "\xFE\xFF") + B, Encoding);
    };
    const QString Html = Part(StartHTML, EndHTML);
    QVERIFY(Html.startsWith(QLatin1String("<?xml")));
    QVERIFY(Html.endsWith(QLatin1String("</html>")));
    QVERIFY(Html.contains(QStringLiteral("<title>\u00FCber \u4E2D</title>")));
    const QString Fragment = Part(StartFragment, EndFragment);
    QVERIFY2(Fragment.startsWith(QLatin1String("<pre ")), qPrintable(Fragment));
    QVERIFY2(Fragment.endsWith(QLatin1String("</code></pre>")), qPrintable(Fragment));
    QCOMPARE(Part(StartFragment - 20 * Unit, StartFragment), QStringLiteral("<!--StartFragment-->"));
    QCOMPARE(Part(EndFragment, EndFragment + 18 * Unit), QStringLiteral("<!--EndFragment-->"));
    QCOMPARE(TextOfBody(Fragment), QStringLiteral("<?php echo 'gr\u00FC\u00DFe \U0001F600'; // \u00E9\n$x;"));
    // The text/html flavour is the document part, as UTF-8 and labelled so.
    QString Utf8Html = Html;
    Utf8Html.replace(QLatin1String("encoding=\"UTF-16\""), QLatin1String("encoding=\"UTF-8\""));
    Utf8Html.replace(QLatin1String("charset=UTF-16\""), QLatin1String("charset=UTF-8\""));
    QCOMPARE(QString::fromUtf8(X.HtmlUtf8()), Utf8Html);
    QCOMPARE(XmlLint(X.HtmlUtf8()), QString());
}

void TestLexExport::copyToClipboardLeavesTheBuffer() {
    // Copying puts the decoded text on the clipboard and adds nothing to the buffer.
    TLexPHPLex Php;
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    X.SetEncoding(seUTF16BE);
    X.ExportAll(QStringList{QStringLiteral("<?php $a = 1;")});
    const QByteArray Before = X.Buffer();
    X.CopyToClipboard();
    QCOMPARE(X.Buffer(), Before);
    const QMimeData *Data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(Data != nullptr);
    QCOMPARE(Data->text(), X.BufferText());
    QVERIFY(!Data->text().contains(QChar(0)));
    // The payload goes on the clipboard as text/html holding the document.
    X.SetExportAsText(false);
    X.SetEncoding(seUTF8);
    X.ExportAll(QStringList{QStringLiteral("<?php $a = 1;")});
    const QByteArray Payload = X.Buffer();
    X.CopyToClipboard();
    QCOMPARE(X.Buffer(), Payload);
    QCOMPARE(QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/html")), X.HtmlUtf8());
}

void TestLexExport::lexexportTool_data() {
    QTest::addColumn<QString>("File");
    QTest::addColumn<QStringList>("Options");
    QTest::addColumn<TLexEncoding>("Encoding");
    const QString Php = DataDir() + QStringLiteral("/php/sample.php");
    const QString Html = DataDir() + QStringLiteral("/html/sample.html");
    QTest::newRow("php") << Php << QStringList() << seUTF8;
    QTest::newRow("php fragment latin1")
        << Php << QStringList{"--fragment", "--encoding", "latin1"} << seAnsi;
    QTest::newRow("html utf-16le") << Html << QStringList{"--encoding", "utf-16le"} << seUTF16LE;
    QTest::newRow("html utf-16be fragment")
        << Html << QStringList{"--encoding", "utf-16be", "--fragment"} << seUTF16BE;
}

void TestLexExport::lexexportTool() {
    // The tool writes what the exporter makes of the file with the highlighter of its extension.
    QFETCH(QString, File);
    QFETCH(QStringList, Options);
    QFETCH(TLexEncoding, Encoding);
    QTemporaryDir Dir;
    const QString Out = Dir.filePath(QStringLiteral("out.html"));
    QProcess P;
    P.start(QStringLiteral(LEXEXPORT_BINARY), Options + QStringList{File, Out});
    QVERIFY(P.waitForFinished(60000));
    QCOMPARE(P.exitCode(), 0);
    QFile F(Out);
    QVERIFY(F.open(QIODevice::ReadOnly));
    const QByteArray Bytes = F.readAll();
    QCOMPARE(XmlLint(Bytes), QString());
    TLexEditStringList L;
    L.LoadFromFile(File);
    QCOMPARE(TextOfBody(Decode(Bytes, Encoding)), Expected(L.ToStringList().join(QLatin1Char('\n'))));
    const bool Php = File.endsWith(QLatin1String(".php"));
    QVERIFY(Decode(Bytes, Encoding)
                .contains(Php ? QLatin1String("class=\"php1-") : QLatin1String("class=\"html1-")));
    // Into a pipe (its standard output), the same bytes.
    P.start(QStringLiteral(LEXEXPORT_BINARY), Options + QStringList{File, QStringLiteral("/dev/stdout")});
    QVERIFY(P.waitForFinished(60000));
    QCOMPARE(P.exitCode(), 0);
    QVERIFY(P.readAllStandardOutput() == Bytes);
    // A file of another kind and bad options are refused.
    P.start(QStringLiteral(LEXEXPORT_BINARY), {Dir.filePath(QStringLiteral("a.txt")), Out});
    QVERIFY(P.waitForFinished(60000));
    QCOMPARE(P.exitCode(), 2);
    P.start(QStringLiteral(LEXEXPORT_BINARY),
            {QStringLiteral("--encoding"), QStringLiteral("ebcdic"), File, Out});
    QVERIFY(P.waitForFinished(60000));
    QCOMPARE(P.exitCode(), 2);
}

void TestLexExport::lineBreaksAreClosedTags() {
    TLexExporterHTML X;
    X.SetExportAsText(true);
    X.ExportAll(QStringList{QStringLiteral("a"), QStringLiteral("b"), QString()});
    QVERIFY(X.BufferText().contains(QLatin1String("<code>a<br />b<br /></code>")));
    QVERIFY(!X.BufferText().contains(QLatin1String("<br>")));
    QCOMPARE(XmlLint(Saved(X)), QString());
}

void TestLexExport::titleAndFontNameAreEscaped() {
    TLexExporterHTML X;
    X.SetExportAsText(true);
    X.SetTitle(QStringLiteral("a & <b> \"c\" 'd'"));
    TLexExportFont F = X.Font();
    F.Name = QStringLiteral("Odd\"<Font>' & \\");
    X.SetFont(F);
    X.ExportAll(QStringList{QStringLiteral("x")});
    QVERIFY(
        X.BufferText().contains(QLatin1String("<title>a &amp; &lt;b&gt; &quot;c&quot; &#39;d&#39;</title>")));
    QVERIFY2(X.BufferText().contains(
                 QLatin1String("font-family: &#39;Odd&quot;&lt;Font&gt;\\&#39; &amp; \\\\&#39;, monospace;")),
             qPrintable(X.BufferText()));
    QCOMPARE(XmlLint(Saved(X)), QString());
}

void TestLexExport::controlCharactersBecomeReplacementCharacters() {
    TLexExporterHTML X;
    X.SetExportAsText(true);
    X.SetCreateHTMLFragment(true);
    X.ExportAll(QStringList{QString::fromUtf16(u"a\u0001b\u001Bc\td\u007Fe\u0085f")});
    QVERIFY2(X.BufferText().contains(QString::fromUtf16(u"<code>a\uFFFDb\uFFFDc\td\uFFFDe\uFFFDf</code>")),
             qPrintable(X.BufferText()));
    // A lone half of a surrogate pair too.
    X.ExportAll(QStringList{QString(QChar(0xD800)) + QLatin1Char('x') + QChar(0xDC00)});
    QVERIFY(X.BufferText().contains(QString::fromUtf16(u"<code>\uFFFDx\uFFFD</code>")));
    QCOMPARE(XmlLint(Saved(X)), QString());
}

void TestLexExport::nulTokenIsKept() {
    // The highlighters make a NUL of the text a token without an attribute; it is written.
    for (bool Php : {true, false}) {
        std::unique_ptr<TLexCustomHighlighter> H;
        if (Php)
            H = std::make_unique<TLexPHPLex>();
        else
            H = std::make_unique<TLexHTMLLex>();
        TLexExporterHTML X;
        X.SetHighlighter(H.get());
        X.SetExportAsText(true);
        X.SetCreateHTMLFragment(true);
        const QString Line = QStringLiteral("<?php a") + QChar(0) + QStringLiteral("b c");
        X.ExportAll(QStringList{Line});
        QCOMPARE(TextOfBody(X.BufferText()), QStringLiteral("<?php a\uFFFDb c"));
    }
}

void TestLexExport::exportRangeToleratesBadRanges_data() {
    QTest::addColumn<TBufferCoord>("Start");
    QTest::addColumn<TBufferCoord>("Stop");
    QTest::addColumn<QString>("Text");
    QTest::newRow("start line 0") << BufferCoord(3, 0) << BufferCoord(3, 1) << QStringLiteral("ab");
    QTest::newRow("start line negative")
        << BufferCoord(1, -5) << BufferCoord(2, 2) << QStringLiteral("abc\nd");
    QTest::newRow("empty beyond the end") << BufferCoord(9, 1) << BufferCoord(12, 1) << QString();
    QTest::newRow("same point") << BufferCoord(2, 2) << BufferCoord(2, 2) << QString();
    QTest::newRow("reversed") << BufferCoord(2, 2) << BufferCoord(2, 1) << QStringLiteral("bc\nd");
    QTest::newRow("beyond the last line") << BufferCoord(1, 7) << BufferCoord(1, 9) << QString();
    QTest::newRow("stop beyond the end")
        << BufferCoord(2, 2) << BufferCoord(INT_MAX, INT_MAX) << QStringLiteral("ef");
    QTest::newRow("char 0") << BufferCoord(0, 1) << BufferCoord(0, 2) << QStringLiteral("abc\n");
}

void TestLexExport::exportRangeToleratesBadRanges() {
    QFETCH(TBufferCoord, Start);
    QFETCH(TBufferCoord, Stop);
    QFETCH(QString, Text);
    TLexPHPLex Php;
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    X.ExportRange(QStringList{QStringLiteral("abc"), QStringLiteral("def")}, Start, Stop);
    QCOMPARE(TextOfBody(X.BufferText()), Text);
    QCOMPARE(XmlLint(Saved(X)), QString());
    // The clipboard payload too.
    X.SetExportAsText(false);
    X.ExportRange(QStringList{QStringLiteral("abc"), QStringLiteral("def")}, Start, Stop);
    QCOMPARE(TextOfBody(QString::fromUtf8(X.HtmlUtf8())), Text);
    X.ExportRange(QStringList{}, Start, Stop);
    QCOMPARE(TextOfBody(QString::fromUtf8(X.HtmlUtf8())), QString());
}

QTEST_MAIN(TestLexExport)
#include "tst_lexexport.moc"
