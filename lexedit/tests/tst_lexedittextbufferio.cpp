// SPDX-License-Identifier: MIT
#include "LexEditTextBufferStore.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexUnicode.h"
#include "textmodel_helpers.h"

#include <QBuffer>
#include <QRandomGenerator>
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

// Random input for the loading property: text of one kind of character with every kind of
// line break between and after the lines.
enum TInputKind { ikAscii, ikLatin1, ikUtf8, ikBadUtf8, ikKindCount };

void AppendUtf8(QByteArray &Out, char32_t c) {
    const QString S = QString::fromUcs4(&c, 1);
    Out += S.toUtf8();
}

// A byte sequence that is not valid UTF-8.
QByteArray BadUtf8(QRandomGenerator &R) {
    static const char *const Bad[] = {
        "\x80",             // stray continuation
        "\xC3",             // truncated two-byte sequence
        "\xE2\x82",         // truncated three-byte sequence
        "\xF0\x9F\x98",     // truncated four-byte sequence
        "\xC0\x80",         // overlong NUL
        "\xE0\x80\xAF",     // overlong slash
        "\xED\xA0\x80",     // a surrogate
        "\xF4\x90\x80\x80", // beyond U+10FFFF
        "\xF5\x80\x80\x80", // no such lead byte
        "\xFF",
        "\xC3\xA9\xA9", // a continuation too many
    };
    return QByteArray(Bad[R.bounded(int(std::size(Bad)))]);
}

void AppendChar(QByteArray &Out, TInputKind Kind, QRandomGenerator &R) {
    const int Pick = R.bounded(100);
    if (Kind == ikAscii || Pick < 55) {
        // Mostly printable, sometimes a tab or NUL.
        Out += Pick % 17 == 0 ? (Pick % 2 == 0 ? '\t' : '\0') : char(0x20 + R.bounded(95));
        return;
    }
    if (Kind == ikLatin1) {
        Out += char(0x80 + R.bounded(128));
        return;
    }
    if (Kind == ikBadUtf8 && Pick < 58) {
        Out += BadUtf8(R);
        return;
    }
    // Valid UTF-8: Latin-1 range, the line separator, byte-order marks, other planes.
    static const char32_t Special[] = {0xE9,   0xFF,   0x100,  0x2028,  0x2029,
                                       0xFEFF, 0x20AC, 0xFFFD, 0x1F600, 0x10FFFF};
    if (Pick < 80) {
        AppendUtf8(Out, Special[R.bounded(int(std::size(Special)))]);
        return;
    }
    char32_t c;
    do
        c = char32_t(0x80 + R.bounded(0x10FF80));
    while (c >= 0xD800 && c <= 0xDFFF);
    AppendUtf8(Out, c);
}

QByteArray RandomInput(QRandomGenerator &R, TInputKind Kind) {
    static const char *const Breaks[] = {"\r\n", "\n", "\r", "\n\r", "\r\r\n"};
    QByteArray Out;
    const int Start = R.bounded(10);
    if (Start == 0) Out += "\xEF\xBB\xBF";
    if (Start == 1) Out += "\xEF\xBB\xBF\xEF\xBB\xBF";
    if (Start == 2) Out += "\xFF\xFE"; // a UTF-16 mark, for the given encodings
    const int Lines = R.bounded(12);
    // One break kind for the whole text, or any mix.
    const int Mixed = R.bounded(3) == 0 ? -1 : R.bounded(int(std::size(Breaks)));
    for (int i = 0; i < Lines; ++i) {
        // Lines around the 16-byte scan width, some beyond the 8-bit storage limit.
        const int Shape = R.bounded(20);
        const int Length = Shape == 0  ? 4090 + R.bounded(12)
                           : Shape < 4 ? 0
                                       : R.bounded(Shape < 12 ? 40 : 300);
        const int Limit = Out.size() + Length;
        while (Out.size() < Limit)
            AppendChar(Out, Kind, R);
        if (i + 1 < Lines || R.bounded(2) == 0) {
            if (Kind != ikAscii && Kind != ikLatin1 && R.bounded(6) == 0)
                AppendUtf8(Out, 0x2028);
            else
                Out += Breaks[Mixed >= 0 ? Mixed : R.bounded(int(std::size(Breaks)))];
        }
    }
    return Out;
}

void CompareLists(TLexEditStringList &Fast, TLexEditStringList &General) {
    QCOMPARE(LinesOf(Fast), LinesOf(General));
    QCOMPARE(Fast.FileFormat(), General.FileFormat());
    QCOMPARE(Fast.Encoding(), General.Encoding());
    QCOMPARE(Fast.WriteBOM(), General.WriteBOM());
    QCOMPARE(Fast.Text(), General.Text());
    for (int i = 0; i < Fast.Count(); ++i)
        QCOMPARE(Fast.ExpandedStringLengths(i), General.ExpandedStringLengths(i));
    QCOMPARE(Fast.LengthOfLongestLine(), General.LengthOfLongestLine());
}

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
    void byteSplitMatchesDecodedText();
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

void TestLexEditTextBufferIO::byteSplitMatchesDecodedText() {
    // Loading splits 8-bit and UTF-8 bytes straight into lines; decoding everything first and
    // cutting the text is the general way. For random ASCII, Latin-1, valid and invalid UTF-8
    // with every mix of line breaks (and a final one or none), given or detected encodings and
    // both TrailingLineBreak settings, both give the same lines, file format, encoding, mark and
    // notifications, also when loading replaces lines loaded before and after edits.
    const quint32 Seed = 20261209;
    QRandomGenerator R(Seed);
    const std::optional<TLexEncoding> Given[] = {std::nullopt, seAnsi, seUTF8, seUTF16LE};
    TLexEditStringList Fast, General;
    NotificationLog FastLog(Fast), GeneralLog(General);
    int Utf8Loads = 0, AnsiLoads = 0, FallBacks = 0, Separators = 0;
    for (int Case = 0; Case < 1500; ++Case) {
        const auto Kind = TInputKind(Case % ikKindCount);
        QByteArray Bytes = RandomInput(R, Kind);
        // Some inputs are longer than the sniffed start, so that what follows decides.
        if (Case % 100 == 7) Bytes = QByteArray(17000, 'a') + "\n" + Bytes;
        const std::optional<TLexEncoding> Encoding = Given[R.bounded(int(std::size(Given)))];
        const bool Detect = R.bounded(4) != 0;
        const bool Trailing = R.bounded(4) == 0;
        for (TLexEditStringList *L : {&Fast, &General}) {
            L->SetDetectUTF8(Detect);
            L->SetTrailingLineBreak(Trailing);
        }
        FastLog.clear();
        GeneralLog.clear();
        Fast.LoadFromBytes(Bytes, Encoding);
        LoadDecodedText(General, Bytes, Encoding);
        const QByteArray Context = QByteArray("seed ") + QByteArray::number(Seed) + " case " +
                                   QByteArray::number(Case) + ": " + Bytes.left(200).toHex(' ');
        CompareLists(Fast, General);
        if (QTest::currentTestFailed()) QFAIL(Context.constData());
        QCOMPARE(FastLog.Entries, GeneralLog.Entries);
        Utf8Loads += Fast.Encoding() == seUTF8;
        AnsiLoads += Fast.Encoding() == seAnsi;
        FallBacks += Fast.Encoding() == seAnsi && (Encoding == seUTF8 || (Kind == ikBadUtf8 && Detect));
        Separators += Fast.FileFormat() == sffUnicode;
        // Edits on the loaded lines (which free the bytes they point into) keep both in step.
        for (int Edit = 0; Edit < 3 && Fast.Count() > 0; ++Edit) {
            const int Index = R.bounded(Fast.Count());
            switch (R.bounded(3)) {
            case 0: {
                const QString S = QString::number(Case) + QString(R.bounded(5), QChar(0xE9));
                Fast.Put(Index, S);
                General.Put(Index, S);
                break;
            }
            case 1: {
                const int Num = 1 + R.bounded(Fast.Count());
                Fast.DeleteLines(Index, Num);
                General.DeleteLines(Index, Num);
                break;
            }
            default: {
                const int Other = R.bounded(Fast.Count());
                Fast.Exchange(Index, Other);
                General.Exchange(Index, Other);
                break;
            }
            }
        }
        QCOMPARE(LinesOf(Fast), LinesOf(General));
    }
    // Every path was taken often.
    QVERIFY2(Utf8Loads > 200 && AnsiLoads > 200 && FallBacks > 50 && Separators > 50,
             qPrintable(QStringLiteral("UTF-8 %1, 8-bit %2, fall-backs %3, separators %4")
                            .arg(Utf8Loads)
                            .arg(AnsiLoads)
                            .arg(FallBacks)
                            .arg(Separators)));
}

QTEST_GUILESS_MAIN(TestLexEditTextBufferIO)
#include "tst_lexedittextbufferio.moc"
