#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexUnicode.h"
#include "textmodel_helpers.h"

#include <QBuffer>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexedit;
using textmodel_test::LinesOf;
using textmodel_test::NotificationLog;

Q_DECLARE_METATYPE(TLexEditFileFormat)
Q_DECLARE_METATYPE(TLexEncoding)

namespace {

void LoadBytes(TLexEditStringList &L, const QByteArray &Bytes) {
    QByteArray Copy = Bytes;
    QBuffer Buffer(&Copy);
    QVERIFY(Buffer.open(QIODevice::ReadOnly));
    L.LoadFromStream(Buffer);
}

QByteArray SaveBytes(TLexEditStringList &L) {
    QByteArray Out;
    QBuffer Buffer(&Out);
    if (!Buffer.open(QIODevice::WriteOnly)) return "cannot open";
    L.SaveToStream(Buffer, L.Encoding());
    return Out;
}

QByteArray Utf16(const QString &S, bool BigEndian) {
    QByteArray Out;
    for (QChar c : S) {
        const char hi = char(c.unicode() >> 8), lo = char(c.unicode() & 0xFF);
        Out += BigEndian ? hi : lo;
        Out += BigEndian ? lo : hi;
    }
    return Out;
}

const QString LS(QChar(0x2028));

} // namespace

class TestLexEditTextBufferIO : public QObject {
    Q_OBJECT
private slots:
    void load_data();
    void load();
    void loadNotifiesOnce();
    void loadGivenEncoding();
    void saveReproducesBytes_data();
    void saveReproducesBytes();
    void saveRestoresLineBreak();
    void infoLossCancel();
    void infoLossChangesEncoding();
    void failedLoadLeavesListUnchanged();
    void cancelledSaveKeepsOldFile();
    void saveToMissingFolderFails();
    void largeSingleLine();
    void loadKeepsEveryCharacter_data();
    void loadKeepsEveryCharacter();
};

void TestLexEditTextBufferIO::load_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<TLexEditFileFormat>("format");
    QTest::addColumn<TLexEncoding>("encoding");
    QTest::addColumn<bool>("bom");
    QTest::newRow("dos with final break")
        << QByteArray("a\r\nb\r\n") << QStringList{"a", "b", ""} << sffDos << seAnsi << false;
    QTest::newRow("unix") << QByteArray("a\nb") << QStringList{"a", "b"} << sffUnix << seAnsi << false;
    QTest::newRow("mac") << QByteArray("a\rb") << QStringList{"a", "b"} << sffMac << seAnsi << false;
    QTest::newRow("mixed LF and CR LF")
        << QByteArray("a\nb\r\nc") << QStringList{"a", "b", "c"} << sffDos << seAnsi << false;
    QTest::newRow("LF CR is two breaks")
        << QByteArray("a\n\rb") << QStringList{"a", "", "b"} << sffDos << seAnsi << false;
    QTest::newRow("empty") << QByteArray() << QStringList{} << sffDos << seAnsi << false;
    QTest::newRow("only breaks") << QByteArray("\r\n\r\n") << QStringList{"", "", ""} << sffDos << seAnsi
                                 << false;
    QTest::newRow("single LF") << QByteArray("\n") << QStringList{"", ""} << sffUnix << seAnsi << false;
    QTest::newRow("NUL bytes") << QByteArray("a\0b\nc", 5) << QStringList{QString("a") + QChar(0) + "b", "c"}
                               << sffUnix << seAnsi << false;
    QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF"
                                            "caf\xC3\xA9")
                              << QStringList{"caf\u00e9"} << sffDos << seUTF8 << true;
    QTest::newRow("utf8 bom only") << QByteArray("\xEF\xBB\xBF") << QStringList{} << sffDos << seUTF8 << true;
    QTest::newRow("utf8 sniffed") << QByteArray("x\ncaf\xC3\xA9\n") << QStringList{"x", "caf\u00e9", ""}
                                  << sffUnix << seUTF8 << false;
    QTest::newRow("latin1") << QByteArray("caf\xE9\r\n") << QStringList{"caf\u00e9", ""} << sffDos << seAnsi
                            << false;
    QTest::newRow("ascii stays 8-bit")
        << QByteArray("<?php echo 1;") << QStringList{"<?php echo 1;"} << sffDos << seAnsi << false;
    // Valid UTF-8 first, an invalid byte later: decoding as UTF-8 would lose the byte.
    QTest::newRow("invalid utf8 later")
        << QByteArray("\xC3\xA9 \xFF") << QStringList{"\u00c3\u00a9 \u00ff"} << sffDos << seAnsi << false;
    QTest::newRow("utf16le bom") << QByteArray("\xFF\xFE") + Utf16("hi\r\n\u20ac", false)
                                 << QStringList{"hi", "\u20ac"} << sffDos << seUTF16LE << true;
    QTest::newRow("utf16be bom") << QByteArray("\xFE\xFF") + Utf16("hi\n", true) << QStringList{"hi", ""}
                                 << sffUnix << seUTF16BE << true;
    QTest::newRow("utf16 odd length") << QByteArray("\xFF\xFE"
                                                    "a\0b",
                                                    5)
                                      << QStringList{"\u00ff\u00fe"
                                                     "a" +
                                                     QString(QChar(0)) + "b"}
                                      << sffDos << seAnsi << false;
    QTest::newRow("line separator") << QByteArray("\xEF\xBB\xBF"
                                                  "a\xE2\x80\xA8"
                                                  "b\xE2\x80\xA8\r\nc")
                                    << QStringList{"a", "b", "c"} << sffUnicode << seUTF8 << true;
}

void TestLexEditTextBufferIO::load() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, lines);
    QFETCH(TLexEditFileFormat, format);
    QFETCH(TLexEncoding, encoding);
    QFETCH(bool, bom);
    TLexEditStringList L;
    L.SetFileFormat(sffMac); // must be replaced by the load
    L.Add("old");
    LoadBytes(L, bytes);
    QCOMPARE(LinesOf(L), lines);
    QCOMPARE(L.FileFormat(), format);
    QCOMPARE(L.Encoding(), std::optional<TLexEncoding>(encoding));
    QCOMPARE(L.WriteBOM(), bom);
}

void TestLexEditTextBufferIO::loadNotifiesOnce() {
    TLexEditStringList L;
    L.Add("old");
    NotificationLog Log(L);
    LoadBytes(L, "a\nb\nc");
    QCOMPARE(Log.Entries, (QStringList{"changing", "cleared", "inserted 0 3", "change"}));
    Log.clear();
    TLexEditStringList Empty;
    NotificationLog EmptyLog(Empty);
    LoadBytes(Empty, "");
    QCOMPARE(EmptyLog.Entries, (QStringList{"changing", "change"}));
    QCOMPARE(Empty.Text(), QString());
    // Text written back: a loaded final line break reads back as one.
    LoadBytes(L, "a\r\nb\r\n");
    QCOMPARE(L.Text(), QStringLiteral("a\r\nb\r\n"));
}

void TestLexEditTextBufferIO::loadGivenEncoding() {
    TLexEditStringList L;
    QByteArray Bytes = QByteArray("\xFF\xFE") + Utf16("x", false);
    QBuffer Buffer(&Bytes);
    QVERIFY(Buffer.open(QIODevice::ReadOnly));
    L.LoadFromStream(Buffer, seUTF16LE);
    QCOMPARE(LinesOf(L), QStringList{"x"});
    QVERIFY(L.WriteBOM());
    // A given 8-bit encoding is still sniffed for UTF-8; with detection off it is kept.
    QByteArray Utf8("\xC3\xA9");
    QBuffer B2(&Utf8);
    QVERIFY(B2.open(QIODevice::ReadOnly));
    L.SetDetectUTF8(false);
    L.LoadFromStream(B2);
    QCOMPARE(LinesOf(L), QStringList{"\u00c3\u00a9"});
    QCOMPARE(L.Encoding(), std::optional<TLexEncoding>(seAnsi));
}

void TestLexEditTextBufferIO::saveReproducesBytes_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("dos") << QByteArray("a\r\nb\r\n");
    QTest::newRow("dos no final break") << QByteArray("a\r\n\r\nb");
    QTest::newRow("unix") << QByteArray("<?php\n echo 1;\n");
    QTest::newRow("mac") << QByteArray("a\rb\r");
    QTest::newRow("unicode") << QByteArray("\xEF\xBB\xBF"
                                           "a\xE2\x80\xA8"
                                           "b");
    QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF"
                                            "caf\xC3\xA9\r\n");
    QTest::newRow("utf8 no bom") << QByteArray("caf\xC3\xA9\n\xE2\x82\xAC");
    QTest::newRow("latin1") << QByteArray("caf\xE9\r\n\xFF");
    QTest::newRow("invalid utf8") << QByteArray("\xC3\xA9\xFF\xFE\r\n");
    QTest::newRow("utf16le") << QByteArray("\xFF\xFE") + Utf16("a\r\n\u20ac", false);
    QTest::newRow("utf16be") << QByteArray("\xFE\xFF") + Utf16("a\n\u20ac\n", true);
    QTest::newRow("NUL") << QByteArray("a\0\nb", 4);
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("only break") << QByteArray("\n");
}

void TestLexEditTextBufferIO::saveReproducesBytes() {
    QFETCH(QByteArray, bytes);
    TLexEditStringList L;
    LoadBytes(L, bytes);
    QCOMPARE(SaveBytes(L), bytes);
    // Through a file as well.
    QTemporaryDir Dir;
    const QString Name = Dir.filePath("f.txt");
    L.SaveToFile(Name);
    TLexEditStringList L2;
    L2.LoadFromFile(Name);
    QCOMPARE(LinesOf(L2), LinesOf(L));
    QFile F(Name);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(F.readAll(), bytes);
}

void TestLexEditTextBufferIO::saveRestoresLineBreak() {
    TLexEditStringList L;
    LoadBytes(L, "a\nb");
    QCOMPARE(SaveBytes(L), QByteArray("a\nb"));
    QCOMPARE(L.LineBreak(), QStringLiteral("\r\n"));
    QCOMPARE(L.Text(), QStringLiteral("a\r\nb"));
    // Without an encoding the 8-bit code page is used.
    L.Put(0, "\u00e9");
    QByteArray Out;
    QBuffer B(&Out);
    QVERIFY(B.open(QIODevice::WriteOnly));
    L.SaveToStream(B);
    QCOMPARE(Out, QByteArray("\xE9\nb"));
}

void TestLexEditTextBufferIO::infoLossCancel() {
    TLexEditStringList L;
    L.Add("price: \u20ac");
    int Calls = 0;
    L.OnInfoLoss = [&Calls](TLexEncoding &Enc, bool &Cancel) {
        ++Calls;
        QCOMPARE(Enc, seAnsi);
        QVERIFY(!Cancel);
        Cancel = true;
    };
    QByteArray Out;
    QBuffer B(&Out);
    QVERIFY(B.open(QIODevice::WriteOnly));
    L.SaveToStream(B, seAnsi);
    QCOMPARE(Calls, 1);
    QVERIFY(Out.isEmpty());
    // No call when nothing would be lost.
    L.Put(0, "plain \u00e9");
    L.SaveToStream(B, seAnsi);
    QCOMPARE(Calls, 1);
    QCOMPARE(Out, QByteArray("plain \xE9"));
}

void TestLexEditTextBufferIO::infoLossChangesEncoding() {
    TLexEditStringList L;
    L.Add("\u20ac");
    L.OnInfoLoss = [](TLexEncoding &Enc, bool &) { Enc = seUTF8; };
    QByteArray Out;
    QBuffer B(&Out);
    QVERIFY(B.open(QIODevice::WriteOnly));
    L.SaveToStream(B);
    QCOMPARE(Out, QByteArray("\xE2\x82\xAC"));
    QCOMPARE(L.Encoding(), std::optional<TLexEncoding>(seUTF8));
}

void TestLexEditTextBufferIO::failedLoadLeavesListUnchanged() {
    QTemporaryDir Dir;
    TLexEditStringList L;
    L.AddStrings({"keep", "me"});
    L.SetFileFormat(sffUnix);
    NotificationLog Log(L);
    auto Check = [&](const QString &Name, const QString &Fragment) {
        try {
            L.LoadFromFile(Name);
            QFAIL("no exception");
        } catch (const ELexEditStringList &E) {
            QVERIFY2(E.Message().contains(Fragment), qPrintable(E.Message()));
            QVERIFY(E.Message().contains(Name));
        }
        QCOMPARE(LinesOf(L), (QStringList{"keep", "me"}));
        QCOMPARE(L.FileFormat(), sffUnix);
        QCOMPARE(Log.Entries, QStringList{});
    };
    Check(Dir.filePath("missing.php"), "Cannot open file");
    Check(Dir.path(), "Cannot"); // a folder
    const QString Locked = Dir.filePath("locked.php");
    QFile F(Locked);
    QVERIFY(F.open(QIODevice::WriteOnly));
    F.write("x");
    F.close();
    QVERIFY(F.setPermissions(QFileDevice::Permissions()));
    QFile Probe(Locked);
    if (!Probe.open(QIODevice::ReadOnly)) // a privileged user reads it anyway
        Check(Locked, "Cannot open file");
    QBuffer NotOpen;
    QVERIFY_THROWS_EXCEPTION(ELexEditStringList, L.LoadFromStream(NotOpen));
    QCOMPARE(LinesOf(L), (QStringList{"keep", "me"}));
}

void TestLexEditTextBufferIO::cancelledSaveKeepsOldFile() {
    QTemporaryDir Dir;
    const QString Name = Dir.filePath("keep.txt");
    {
        QFile F(Name);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write("old content");
    }
    TLexEditStringList L;
    L.Add("\u20ac");
    L.OnInfoLoss = [](TLexEncoding &, bool &Cancel) { Cancel = true; };
    L.SaveToFile(Name);
    QFile F(Name);
    QVERIFY(F.open(QIODevice::ReadOnly));
    QCOMPARE(F.readAll(), QByteArray("old content"));
}

void TestLexEditTextBufferIO::saveToMissingFolderFails() {
    QTemporaryDir Dir;
    TLexEditStringList L;
    L.Add("x");
    QVERIFY_THROWS_EXCEPTION(ELexEditStringList, L.SaveToFile(Dir.filePath("no/such/dir/f.txt")));
}

void TestLexEditTextBufferIO::largeSingleLine() {
    QByteArray Big(10 * 1024 * 1024, 'x');
    Big[5 * 1024 * 1024] = '\xE9'; // Latin-1 beyond the sniffed window
    TLexEditStringList L;
    LoadBytes(L, Big);
    QCOMPARE(L.Count(), 1);
    QCOMPARE(L.LineCharLength(0), Big.size());
    QCOMPARE(L.Get(0).at(5 * 1024 * 1024), QChar(0xE9));
    QCOMPARE(L.LengthOfLongestLine(), int(Big.size()));
    QCOMPARE(SaveBytes(L), Big);
}

void TestLexEditTextBufferIO::loadKeepsEveryCharacter_data() {
    QTest::addColumn<TLexEncoding>("encoding");
    QTest::addColumn<bool>("loneSurrogates");
    QTest::newRow("utf8") << seUTF8 << false;
    QTest::newRow("utf16le") << seUTF16LE << true;
    QTest::newRow("utf16be") << seUTF16BE << true;
}

void TestLexEditTextBufferIO::loadKeepsEveryCharacter() {
    // Lines at the boundaries of the 8-bit storage (U+00FF, U+0100), NUL, pairs and (where the
    // encoding can hold them) lone surrogates, and lines longer than the 8-bit limit: loading
    // gives them back exactly, and saving reproduces the bytes.
    QFETCH(TLexEncoding, encoding);
    QFETCH(bool, loneSurrogates);
    QStringList Lines{QStringLiteral("<?php echo 1;"),
                      QString(QChar(0xFF)),
                      QString(QChar(0x100)),
                      QStringLiteral("caf") + QChar(0xE9) + QChar(0) + QStringLiteral("x"),
                      QString(),
                      QString::fromUcs4(U"\U0001F600 \u20ac"),
                      QString(5000, QChar(0xE9)),
                      QString(5000, QChar('a')) + QChar(0x100),
                      QStringLiteral("\tend")};
    if (loneSurrogates) Lines << QString(QChar(0xD800)) << QString(QChar(0xDFFF)) + QStringLiteral("z");
    const QString Text = Lines.join(QStringLiteral("\r\n"));
    const QByteArray Bytes = EncodingPreamble(encoding) + EncodeText(Text, encoding);
    TLexEditStringList L;
    LoadBytes(L, Bytes);
    QCOMPARE(L.Encoding(), std::optional<TLexEncoding>(encoding));
    QCOMPARE(LinesOf(L), Lines);
    QCOMPARE(L.Text(), Text);
    for (int i = 0; i < Lines.size(); ++i)
        QCOMPARE(L.LineCharLength(i), int(Lines[i].size()));
    QCOMPARE(SaveBytes(L), Bytes);
}

QTEST_GUILESS_MAIN(TestLexEditTextBufferIO)
#include "tst_lexedittextbufferio.moc"
