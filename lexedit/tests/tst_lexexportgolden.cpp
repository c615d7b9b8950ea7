// SPDX-License-Identifier: MIT
// Exports compared byte for byte with reference outputs kept in tests/data/export: the highlighter
// test files and a text with every kind of character the exporter treats, each exported in four
// settings (attributes, backgrounds, document, fragment and clipboard payload, the encodings,
// whole texts, ranges and column rows). What the exporter writes must not change when the way it
// is made changes (the token walk, its tables, the buffer). Also the header that does not fit the
// room left for it before the body.
//
// LEXEXPORT_WRITE_GOLDEN=1 writes the reference files instead of comparing: review the difference
// before committing them.

#include "editor_helpers.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexExportHTML.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QMimeData>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>
#include <vector>

using namespace lexedit;
using editor_test::TrickyExportLines;

Q_DECLARE_METATYPE(lexedit::TLexEncoding)

namespace {

QString DataDir() {
    return QFINDTESTDATA("tests/data");
}

// Every kind of character: the exporter tests' tricky lines, then a lone surrogate, the two
// non-characters and a documentation comment.
QStringList TrickyLines() {
    return TrickyExportLines() +
           QStringList{QStringLiteral("  $a = \"x $b[1] {$c['k']} ${d}\" . `cmd` ; \\\\ ") + QChar(0xFFFF) +
                           QChar(0xFFFE) + QChar(0xD800) + QStringLiteral(" end"),
                       QStringLiteral("/** doc"), QStringLiteral(" * more */ $q = 1;   \t\t  ")};
}

enum TColours { coDefault, coForeground, coEverything };

void Colour(TLexCustomHighlighter &H, TColours AColours) {
    for (int i = 0; i < H.AttrCount(); ++i) {
        TLexHighlighterAttributes *A = H.Attribute(i);
        if (AColours == coForeground && i % 3 != 2) A->SetForeground(RGBToColor(40 * i % 256, 128, 90));
        if (AColours == coEverything) {
            A->SetForeground(RGBToColor(40 * i % 256, 255 - 30 * i % 256, 90));
            A->SetBackground(i % 2 == 0 ? RGBToColor(250, 250, 200 + i) : clNone);
            A->SetStyle(TFontStyles::FromMask(uint8_t(i % 16)));
        }
    }
}

// The four settings, one after the other, each after a line naming it.
QByteArray Exports(const QStringList &ALines, bool APhp) {
    QByteArray Out;
    for (int Setting = 1; Setting <= 4; ++Setting) {
        std::unique_ptr<TLexCustomHighlighter> H;
        if (APhp)
            H = std::make_unique<TLexPHPLex>();
        else
            H = std::make_unique<TLexHTMLLex>();
        TLexExporterHTML X;
        X.SetHighlighter(H.get());
        X.SetTitle(QStringLiteral("T <&> \"q\""));
        const int Count = int(ALines.size());
        switch (Setting) {
        case 1: // default attributes, document, UTF-8, everything
            X.SetExportAsText(true);
            X.ExportAll(ALines);
            break;
        case 2: // every attribute coloured, with backgrounds, clipboard payload, UTF-8, everything
            Colour(*H, coEverything);
            X.SetUseBackground(true);
            X.ExportAll(ALines);
            break;
        case 3: // foregrounds, fragment with inline styles, Latin-1, a range
            Colour(*H, coForeground);
            X.SetExportAsText(true);
            X.SetCreateHTMLFragment(true);
            X.SetInlineStyles(true);
            X.SetEncoding(seAnsi);
            X.ExportRange(ALines, BufferCoord(3, 2), BufferCoord(5, Count - 1));
            break;
        default: { // every attribute coloured, no backgrounds, document, UTF-16 BE, column rows
            Colour(*H, coEverything);
            X.SetExportAsText(true);
            X.SetEncoding(seUTF16BE);
            std::vector<TLexExportRow> Rows;
            for (int L = 2; L <= Count; L += 2) {
                TLexExportRow R;
                R.Line = L;
                R.From = 2;
                R.To = 9;
                R.Padding = L % 3;
                R.LineBreak = true;
                Rows.push_back(R);
                R.From = 12;
                R.To = 30;
                Rows.push_back(R);
            }
            X.ExportRows(ALines, Rows);
            break;
        }
        }
        Out += "==== setting " + QByteArray::number(Setting) + "\n";
        Out += X.Buffer();
        Out += "\n";
    }
    return Out;
}

} // namespace

class TestLexExportGolden : public QObject {
    Q_OBJECT

private slots:
    void sameBytesAsTheReference_data();
    void sameBytesAsTheReference();
    void headerLongerThanItsRoom_data();
    void headerLongerThanItsRoom();
    void streamedExportIsTheSameBytes_data();
    void streamedExportIsTheSameBytes();
    void streamWriteFailureRaises();
    void failedExportLeavesTheEarlierFile();
};

void TestLexExportGolden::sameBytesAsTheReference_data() {
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<bool>("php");
    QTest::addColumn<QString>("golden");
    for (const char *Lang : {"php", "html"}) {
        QDir Dir(DataDir() + QStringLiteral("/highlighter/") + QLatin1String(Lang));
        const QStringList Files =
            Dir.entryList({QStringLiteral("*.php"), QStringLiteral("*.html")}, QDir::Files, QDir::Name);
        QVERIFY(Files.size() >= 6);
        for (const QString &File : Files) {
            TLexEditStringList L;
            L.LoadFromFile(Dir.filePath(File));
            QTest::newRow(qPrintable(File))
                << L.ToStringList() << (QLatin1String(Lang) == QLatin1String("php"))
                << File + QStringLiteral(".exports");
        }
    }
    QTest::newRow("tricky php") << TrickyLines() << true << QStringLiteral("tricky-php.exports");
    QTest::newRow("tricky html") << TrickyLines() << false << QStringLiteral("tricky-html.exports");
}

void TestLexExportGolden::sameBytesAsTheReference() {
    QFETCH(QStringList, lines);
    QFETCH(bool, php);
    QFETCH(QString, golden);
    const QByteArray Got = Exports(lines, php);
    QFile F(DataDir() + QStringLiteral("/export/") + golden);
    if (qEnvironmentVariableIntValue("LEXEXPORT_WRITE_GOLDEN") == 1) {
        QVERIFY(F.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(F.write(Got), Got.size());
        return;
    }
    QVERIFY2(F.open(QIODevice::ReadOnly), qPrintable(F.fileName()));
    const QByteArray Want = F.readAll();
    if (Got == Want) return;
    qsizetype At = 0;
    while (At < Got.size() && At < Want.size() && Got[At] == Want[At])
        ++At;
    QFAIL(qPrintable(
        QStringLiteral("differs at byte %1: got \"%2\", want \"%3\"")
            .arg(At)
            .arg(QString::fromLatin1(
                     Got.mid(std::max<qsizetype>(0, At - 40), 100).toPercentEncoding(" <>/=\"")),
                 QString::fromLatin1(
                     Want.mid(std::max<qsizetype>(0, At - 40), 100).toPercentEncoding(" <>/=\"")))));
}

void TestLexExportGolden::headerLongerThanItsRoom_data() {
    QTest::addColumn<TLexEncoding>("encoding");
    QTest::addColumn<bool>("text");
    for (TLexEncoding E : {seUTF8, seUTF16LE, seUTF16BE, seAnsi}) {
        QTest::newRow(qPrintable(TLexCustomExporter::EncodingStr(E) + QStringLiteral(", document")))
            << E << true;
        QTest::newRow(qPrintable(TLexCustomExporter::EncodingStr(E) + QStringLiteral(", payload")))
            << E << false;
    }
}

void TestLexExportGolden::headerLongerThanItsRoom() {
    // A title of 20,000 characters makes a header larger than the room the export leaves before
    // the body: the body stays the same and the header comes first, with the payload's offsets
    // still pointing at the document and the fragment.
    QFETCH(TLexEncoding, encoding);
    QFETCH(bool, text);
    const QStringList Lines = TrickyLines();
    const auto Export = [&](const QString &ATitle) {
        TLexPHPLex Php;
        Colour(Php, coForeground);
        TLexExporterHTML X;
        X.SetHighlighter(&Php);
        X.SetExportAsText(text);
        X.SetEncoding(encoding);
        X.SetTitle(ATitle);
        X.ExportAll(Lines);
        return X.BufferText();
    };
    QString Long;
    for (int i = 0; Long.size() < 20000; ++i)
        Long += QStringLiteral("title %1 & ").arg(i);
    const QString Short = Export(QStringLiteral("t"));
    const QString Big = Export(Long);
    const QString Escaped = TLexExporterHTML::EscapeXml(Long);
    QVERIFY(Big.contains(QStringLiteral("<title>") + Escaped + QStringLiteral("</title>")));
    // Everything after the title is the same.
    const QString Tail = QStringLiteral("</title>");
    QCOMPARE(Big.mid(Big.indexOf(Tail)), Short.mid(Short.indexOf(Tail)));
    if (text) {
        QVERIFY(Big.startsWith(QLatin1String("<?xml")));
        return;
    }
    // The payload: the offsets of the long one count the longer head.
    const auto Field = [&](const QString &AText, const char *AName) {
        const QString Name = QLatin1String(AName) + QLatin1Char(':');
        const qsizetype At = AText.indexOf(Name);
        return At < 0 ? -1 : AText.mid(At + Name.size(), 10).toLongLong();
    };
    const qsizetype Grown = Field(Big, "EndHTML") - Field(Short, "EndHTML");
    QVERIFY(Grown > 20000);
    QCOMPARE(Field(Big, "StartHTML"), Field(Short, "StartHTML"));
    QCOMPARE(Field(Big, "StartFragment") - Field(Short, "StartFragment"), Grown);
    QCOMPARE(Field(Big, "EndFragment") - Field(Short, "EndFragment"), Grown);
    // EndHTML is the size of the payload, in bytes.
    TLexPHPLex Php;
    Colour(Php, coForeground);
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetEncoding(encoding);
    X.SetTitle(Long);
    X.ExportAll(Lines);
    QCOMPARE(Field(X.BufferText(), "EndHTML"), X.Buffer().size());
}

QTEST_MAIN(TestLexExportGolden)
void TestLexExportGolden::streamedExportIsTheSameBytes_data() {
    QTest::addColumn<TLexEncoding>("encoding");
    QTest::addColumn<int>("kind"); // 0 document, 1 fragment, 2 clipboard payload
    for (TLexEncoding E : {seUTF8, seUTF16LE, seUTF16BE, seAnsi})
        for (int Kind = 0; Kind < 3; ++Kind)
            QTest::newRow(qPrintable(TLexCustomExporter::EncodingStr(E) + QLatin1String(", ") +
                                     QLatin1String(Kind == 0   ? "document"
                                                   : Kind == 1 ? "fragment"
                                                               : "payload")))
                << E << Kind;
}

void TestLexExportGolden::streamedExportIsTheSameBytes() {
    // Exported straight to a stream, written out in pieces as the walk goes (the text is long
    // enough for several), the bytes are those of an export saved from the buffer; afterwards
    // the buffer is empty.
    QFETCH(TLexEncoding, encoding);
    QFETCH(int, kind);
    QStringList Lines;
    for (int i = 0; i < 2000; ++i)
        Lines += TrickyLines();
    const auto Exporter = [&](TLexExporterHTML &X, TLexPHPLex &Php) {
        Colour(Php, coForeground);
        X.SetHighlighter(&Php);
        X.SetExportAsText(kind != 2);
        X.SetCreateHTMLFragment(kind == 1);
        X.SetEncoding(encoding);
    };
    TLexPHPLex Php1;
    TLexExporterHTML Buffered;
    Exporter(Buffered, Php1);
    Buffered.ExportAll(Lines);
    QBuffer Want;
    QVERIFY(Want.open(QIODevice::WriteOnly));
    Buffered.SaveToStream(Want);
    QVERIFY(Want.data().size() > 3 * 256 * 1024); // several pieces of the streamed export

    TLexPHPLex Php2;
    TLexExporterHTML Streamed;
    Exporter(Streamed, Php2);
    QBuffer Got;
    QVERIFY(Got.open(QIODevice::WriteOnly));
    Streamed.ExportAllToStream(Lines, Got);
    QVERIFY(Got.data() == Want.data());
    QCOMPARE(Streamed.GetBufferSize(), qsizetype(kind == 2 ? Buffered.GetBufferSize() : 0));
}

void TestLexExportGolden::streamWriteFailureRaises() {
    // A stream that takes no bytes: the export raises and leaves no partial output behind.
    TLexPHPLex Php;
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    QBuffer ReadOnly;
    QVERIFY(ReadOnly.open(QIODevice::ReadOnly));
    QVERIFY_THROWS_EXCEPTION(ELexExporterError, X.ExportAllToStream(TrickyLines(), ReadOnly));
    QCOMPARE(X.GetBufferSize(), qsizetype(0));
    QVERIFY(X.Buffer().isEmpty());
    QTemporaryDir Dir;
    QVERIFY_THROWS_EXCEPTION(
        ELexExporterError,
        X.ExportAllToFile(TrickyLines(), Dir.filePath(QStringLiteral("no/such/dir.html"))));
}

void TestLexExportGolden::failedExportLeavesTheEarlierFile() {
    // An export that fails after much of it was written out leaves the file it was to replace
    // as it was, and no other file beside it.
    struct TFailingExporter : TLexExporterHTML {
        QString GetFooter() override { throw ELexExporterError(QStringLiteral("no footer")); }
    };
    QTemporaryDir Dir;
    const QString Name = Dir.filePath(QStringLiteral("page.html"));
    {
        QFile F(Name);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write("earlier");
    }
    QStringList Lines;
    for (int i = 0; i < 2000; ++i)
        Lines += TrickyLines();
    TLexPHPLex Php;
    TFailingExporter X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    QVERIFY_THROWS_EXCEPTION(ELexExporterError, X.ExportAllToFile(Lines, Name));
    QFile F(Name);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(F.readAll(), QByteArray("earlier"));
    QCOMPARE(QDir(Dir.path()).entryList(QDir::Files), QStringList{QStringLiteral("page.html")});
}

#include "tst_lexexportgolden.moc"
