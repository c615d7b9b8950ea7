// SPDX-License-Identifier: MIT
// Persistence of highlighter attributes: INI files, the key/value store and the colour import.

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QFile>
#include <QSettings>
#include <QTemporaryDir>
#include <QtTest>

using namespace lexedit;

namespace {

QString ReadAll(const QString &AFileName) {
    QFile f(AFileName);
    if (!f.open(QIODevice::ReadOnly)) return QString();
    return QString::fromUtf8(f.readAll());
}

struct TAttrValues {
    TColor Bg, Fg;
    int Style;
    bool operator==(const TAttrValues &O) const { return Bg == O.Bg && Fg == O.Fg && Style == O.Style; }
};

QVector<TAttrValues> Values(const TLexCustomHighlighter &H) {
    QVector<TAttrValues> Result;
    for (int i = 0; i < H.AttrCount(); ++i)
        Result << TAttrValues{H.Attribute(i)->Background(), H.Attribute(i)->Foreground(),
                              H.Attribute(i)->IntegerStyle()};
    return Result;
}

// Gives every attribute distinct values, system colours and clNone among them.
void Scramble(TLexCustomHighlighter &H) {
    for (int i = 0; i < H.AttrCount(); ++i) {
        TLexHighlighterAttributes *A = H.Attribute(i);
        A->SetColors(i % 3 == 0 ? clWindowText : RGBToColor(i * 20, 255 - i, i),
                     i % 2 ? clNone : TColor(0x00123456 + i));
        A->SetIntegerStyle(i % 16);
    }
}

} // namespace

class TestLexEditHighlighterPersist : public QObject {
    Q_OBJECT

private slots:
    void iniCommentSectionIsExact();
    void iniRoundTrip();
    void iniReaderAcceptsOtherSpellings();
    void iniLoadTriesEveryAttribute();
    void iniMissingFileLoadsNothing();
    void iniWriteFailureIsAnErrorAndKeepsTheFile();
    void registryRoundTrip();
    void registryLoadTriesEveryAttribute();
    void registryBadValueFailsWithoutChange();
    void ideImportOldStyle_data();
    void ideImportOldStyle();
    void ideImportNewStyle_data();
    void ideImportNewStyle();
};

void TestLexEditHighlighterPersist::iniCommentSectionIsExact() {
    QTemporaryDir Dir;
    const QString File = Dir.filePath(QStringLiteral("php.ini"));
    TLexPHPLex P;
    QVERIFY(P.SaveToFile(File));
    const QString Text = ReadAll(File);
    QVERIFY2(
        Text.startsWith(QStringLiteral("[Comment]\nBackground=536870911\nForeground=536870911\nStyle=2\n\n")),
        qPrintable(Text));
    QVERIFY(Text.contains(
        QStringLiteral("[ReservedWord]\nBackground=536870911\nForeground=536870911\nStyle=1\n")));
    TLexIniFile Ini(File);
    QCOMPARE(Ini.ReadSections(), (QStringList{"Comment", "Documentation", "Identifier", "Number",
                                              "ReservedWord", "Space", "String", "Symbol", "Variable"}));
    QCOMPARE(Ini.ReadSection(QStringLiteral("Comment")), (QStringList{"Background", "Foreground", "Style"}));
}

void TestLexEditHighlighterPersist::iniRoundTrip() {
    QTemporaryDir Dir;
    const QString File = Dir.filePath(QStringLiteral("html.ini"));
    TLexHTMLLex Src;
    Scramble(Src);
    QVERIFY(Src.SaveToFile(File));
    TLexHTMLLex Dst;
    QVERIFY(!(Values(Dst) == Values(Src)));
    QVERIFY(Dst.LoadFromFile(File));
    QCOMPARE(Values(Dst), Values(Src));
    // Saving over an existing file keeps other sections and replaces ours.
    TLexIniFile Ini(File);
    Ini.WriteString(QStringLiteral("Other"), QStringLiteral("Key"), QStringLiteral("v"));
    Ini.UpdateFile();
    TLexHTMLLex Plain;
    QVERIFY(Plain.SaveToFile(File));
    TLexIniFile Again(File);
    QCOMPARE(Again.ReadString(QStringLiteral("Other"), QStringLiteral("Key"), QString()),
             QStringLiteral("v"));
    QCOMPARE(Again.ReadInteger(QStringLiteral("ReservedWord"), QStringLiteral("Foreground"), 0), 0x00FF0080);
}

void TestLexEditHighlighterPersist::iniReaderAcceptsOtherSpellings() {
    TLexIniFile Ini;
    Ini.SetText(
        QStringLiteral("; a comment\r\nstray=1\r\n[comment]\r\n background = $FF000008 \r\nSTYLE=3\r\n"
                       "Foreground=0x000000FF\r\n\r\n[Symbol]\r\nStyle=junk\r\n[Space]\r\n"));
    QVERIFY(Ini.SectionExists(QStringLiteral("COMMENT")));
    QCOMPARE(Ini.ReadInteger(QStringLiteral("Comment"), QStringLiteral("Background"), 0), int(clWindowText));
    QCOMPARE(Ini.ReadInteger(QStringLiteral("Comment"), QStringLiteral("Foreground"), 0), int(clRed));
    QCOMPARE(Ini.ReadInteger(QStringLiteral("Symbol"), QStringLiteral("Style"), 7), 7);
    QCOMPARE(Ini.ReadInteger(QStringLiteral("Comment"), QStringLiteral("Missing"), -3), -3);
    QCOMPARE(Ini.ReadInteger(QStringLiteral("Comment"), QStringLiteral("Style"), 0), 3);
    QVERIFY(Ini.ReadSection(QStringLiteral("Space")).isEmpty());
    QVERIFY(!Ini.ValueExists(QStringLiteral("Comment"), QStringLiteral("stray")));
    Ini.DeleteKey(QStringLiteral("comment"), QStringLiteral("style"));
    QVERIFY(!Ini.ValueExists(QStringLiteral("Comment"), QStringLiteral("Style")));
    Ini.EraseSection(QStringLiteral("SYMBOL"));
    QVERIFY(!Ini.SectionExists(QStringLiteral("Symbol")));
    // Out of range decimal numbers give the default.
    Ini.WriteString(QStringLiteral("N"), QStringLiteral("Big"), QStringLiteral("4294967296"));
    QCOMPARE(Ini.ReadInteger(QStringLiteral("N"), QStringLiteral("Big"), 5), 5);

    TLexPHPLex P;
    QVERIFY(!P.LoadFromIniFile(Ini)); // most sections are missing
    QCOMPARE(P.CommentAttri()->Background(), clWindowText);
    QCOMPARE(P.CommentAttri()->Foreground(), clRed);
    QCOMPARE(P.CommentAttri()->IntegerStyle(), 2); // no Style key any more: unchanged
}

void TestLexEditHighlighterPersist::iniLoadTriesEveryAttribute() {
    // The first attribute in order has no section; every later one must still be loaded.
    TLexPHPLex Src;
    Scramble(Src);
    TLexIniFile Ini;
    QVERIFY(Src.SaveToIniFile(Ini)); // no file name: kept in memory
    Ini.EraseSection(QStringLiteral("Comment"));
    TLexPHPLex Dst;
    QVERIFY(!Dst.LoadFromIniFile(Ini));
    for (int i = 1; i < Dst.AttrCount(); ++i)
        QCOMPARE(Values(Dst)[i], Values(Src)[i]);
    QCOMPARE(Dst.CommentAttri()->IntegerStyle(), 2);
}

void TestLexEditHighlighterPersist::iniMissingFileLoadsNothing() {
    QTemporaryDir Dir;
    TLexPHPLex P;
    const auto Before = Values(P);
    QVERIFY(!P.LoadFromFile(Dir.filePath(QStringLiteral("none.ini"))));
    QCOMPARE(Values(P), Before);
}

void TestLexEditHighlighterPersist::iniWriteFailureIsAnErrorAndKeepsTheFile() {
    QTemporaryDir Dir;
    // A file name inside a missing folder cannot be written.
    TLexPHPLex P;
    QVERIFY_THROWS_EXCEPTION(ELexIniFile, P.SaveToFile(Dir.filePath(QStringLiteral("missing/x.ini"))));
    // A folder in place of the file cannot be read.
    QVERIFY_THROWS_EXCEPTION(ELexIniFile, P.LoadFromFile(Dir.path()));
}

void TestLexEditHighlighterPersist::registryRoundTrip() {
    QTemporaryDir Dir;
    const QString File = Dir.filePath(QStringLiteral("store.conf"));
    TLexPHPLex Src;
    Scramble(Src);
    {
        QSettings Store(File, QSettings::IniFormat);
        QVERIFY(Src.SaveToRegistry(Store, QStringLiteral("\\Software\\CheckPHP\\Highlighters\\PHP")));
        QCOMPARE(Store.group(), QString()); // the group stack is restored
    }
    QSettings Store(File, QSettings::IniFormat);
    QCOMPARE(Store.value(QStringLiteral("Software/CheckPHP/Highlighters/PHP/Comment/Style")).toInt(),
             Src.CommentAttri()->IntegerStyle());
    QVERIFY(Store.contains(QStringLiteral("Software/CheckPHP/Highlighters/PHP/Variable/Foreground")));
    TLexPHPLex Dst;
    QVERIFY(Dst.LoadFromRegistry(Store, QStringLiteral("Software\\CheckPHP\\Highlighters\\PHP")));
    QCOMPARE(Values(Dst), Values(Src));
    QCOMPARE(Store.group(), QString());
    QVERIFY(!Dst.LoadFromRegistry(Store, QStringLiteral("Software\\Nothing")));
}

void TestLexEditHighlighterPersist::registryLoadTriesEveryAttribute() {
    QTemporaryDir Dir;
    QSettings Store(Dir.filePath(QStringLiteral("s.conf")), QSettings::IniFormat);
    TLexHTMLLex Src;
    Scramble(Src);
    QVERIFY(Src.SaveToRegistry(Store, QStringLiteral("K")));
    Store.remove(QStringLiteral("K/Comment")); // the first attribute in order
    TLexHTMLLex Dst;
    QVERIFY(!Dst.LoadFromRegistry(Store, QStringLiteral("K")));
    for (int i = 1; i < Dst.AttrCount(); ++i)
        QCOMPARE(Values(Dst)[i], Values(Src)[i]);
}

void TestLexEditHighlighterPersist::registryBadValueFailsWithoutChange() {
    QTemporaryDir Dir;
    QSettings Store(Dir.filePath(QStringLiteral("s.conf")), QSettings::IniFormat);
    Store.setValue(QStringLiteral("K/Comment/Foreground"), QStringLiteral("not a number"));
    Store.setValue(QStringLiteral("K/Comment/Style"), 1);
    TLexPHPLex P;
    QVERIFY(!P.LoadFromRegistry(Store, QStringLiteral("K")));
    QCOMPARE(P.CommentAttri()->Foreground(), clNone);
    QCOMPARE(P.CommentAttri()->IntegerStyle(), 1); // the good value is read
}

void TestLexEditHighlighterPersist::ideImportOldStyle_data() {
    QTest::addColumn<QString>("value");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("fg");
    QTest::addColumn<int>("bg");
    QTest::addColumn<int>("style");
    QTest::newRow("palette") << "x,y,BU,0,0,9,14" << true << int(clRed) << int(clAqua) << 5;
    QTest::newRow("defaults") << "x,y,I,1,1,99,99" << true << int(clWindowText) << int(clWindow) << 2;
    QTest::newRow("last index") << ",,,0,0,15,0" << true << int(clWhite) << int(clBlack) << 0;
    QTest::newRow("fg index 16") << "x,y,B,0,0,16,1" << false << 0 << 0 << 0;
    QTest::newRow("bg index -1") << "x,y,B,0,0,1,-1" << false << 0 << 0 << 0;
    QTest::newRow("index not a number") << "x,y,B,0,0,z,1" << false << 0 << 0 << 0;
    QTest::newRow("six fields") << "x,y,B,0,0,1" << false << 0 << 0 << 0;
    QTest::newRow("one field") << "x" << false << 0 << 0 << 0;
    QTest::newRow("empty") << "" << false << 0 << 0 << 0;
}

void TestLexEditHighlighterPersist::ideImportOldStyle() {
    QFETCH(QString, value);
    QFETCH(bool, ok);
    QTemporaryDir Dir;
    QSettings Store(Dir.filePath(QStringLiteral("ide.conf")), QSettings::IniFormat);
    Store.setValue(QStringLiteral("Editor/Highlight/Comment"), value);
    TLexHighlighterAttributes A(QStringLiteral("Comment"), QStringLiteral("Comment"));
    A.SetColors(clTeal, clMaroon);
    A.SetStyle({fsStrikeOut});
    QCOMPARE(
        A.LoadFromIDERegistry(Store, QStringLiteral("\\Editor\\Highlight"), QStringLiteral("Comment"), true),
        ok);
    if (ok) {
        QFETCH(int, fg);
        QFETCH(int, bg);
        QFETCH(int, style);
        QCOMPARE(A.Foreground(), TColor(fg));
        QCOMPARE(A.Background(), TColor(bg));
        QCOMPARE(A.IntegerStyle(), style);
    } else { // nothing changed
        QCOMPARE(A.Foreground(), clTeal);
        QCOMPARE(A.Background(), clMaroon);
        QCOMPARE(A.Style(), TFontStyles{fsStrikeOut});
    }
    QVERIFY(
        !A.LoadFromIDERegistry(Store, QStringLiteral("Editor\\Highlight"), QStringLiteral("Missing"), true));
    QVERIFY(!A.LoadFromIDERegistry(Store, QStringLiteral("Nowhere"), QStringLiteral("Comment"), true));
}

void TestLexEditHighlighterPersist::ideImportNewStyle_data() {
    QTest::addColumn<QStringList>("entries"); // name=value pairs
    QTest::addColumn<bool>("ok");
    QTest::addColumn<int>("fg");
    QTest::addColumn<int>("bg");
    QTest::addColumn<int>("style");
    const QStringList Flags{"Bold=True", "Italic=FALSE", "Underline=1", "Default Foreground=false",
                            "Default Background=0"};
    QTest::newRow("palette") << (QStringList{"Foreground Color=12", "Background Color=7"} + Flags) << true
                             << int(clBlue) << int(clSilver) << 5;
    QTest::newRow("names") << (QStringList{"Foreground Color New=clRed", "Background Color New=$00112233"} +
                               Flags)
                           << true << int(clRed) << 0x00112233 << 5;
    QTest::newRow("defaults") << QStringList{"Foreground Color=1",
                                             "Background Color=1",
                                             "Bold=0",
                                             "Italic=yes",
                                             "Underline=False",
                                             "Default Foreground=x",
                                             "Default Background=TRUE"}
                              << true << int(clWindowText) << int(clWindow) << 2;
    QTest::newRow("fg index 16") << (QStringList{"Foreground Color=16", "Background Color=7"} + Flags)
                                 << false << 0 << 0 << 0;
    QTest::newRow("bg index negative")
        << (QStringList{"Foreground Color=1", "Background Color=-2"} + Flags) << false << 0 << 0 << 0;
    QTest::newRow("bad colour name") << (QStringList{"Foreground Color New=clNoSuch", "Background Color=7"} +
                                         Flags)
                                     << false << 0 << 0 << 0;
    QTest::newRow("no foreground") << (QStringList{"Background Color=7"} + Flags) << false << 0 << 0 << 0;
    QTest::newRow("flag missing")
        << QStringList{"Foreground Color=1", "Background Color=1", "Bold=0",
                       "Italic=0",           "Underline=0",        "Default Foreground=0"}
        << false << 0 << 0 << 0;
}

void TestLexEditHighlighterPersist::ideImportNewStyle() {
    QFETCH(QStringList, entries);
    QFETCH(bool, ok);
    QTemporaryDir Dir;
    QSettings Store(Dir.filePath(QStringLiteral("ide.conf")), QSettings::IniFormat);
    for (const QString &e : entries) {
        const int Eq = int(e.indexOf(QLatin1Char('=')));
        Store.setValue(QStringLiteral("Editor/Highlight/Reserved word/") + e.left(Eq), e.mid(Eq + 1));
    }
    TLexHighlighterAttributes A(QStringLiteral("ReservedWord"), QStringLiteral("Reserved Word"));
    A.SetColors(clTeal, clMaroon);
    int Changes = 0;
    A.SetOnChange([&](QObject *) { ++Changes; });
    QCOMPARE(A.LoadFromIDERegistry(Store, QStringLiteral("Editor\\Highlight"),
                                   QStringLiteral("Reserved word"), false),
             ok);
    if (ok) {
        QFETCH(int, fg);
        QFETCH(int, bg);
        QFETCH(int, style);
        QCOMPARE(A.Foreground(), TColor(fg));
        QCOMPARE(A.Background(), TColor(bg));
        QCOMPARE(A.IntegerStyle(), style);
    } else {
        QCOMPARE(Changes, 0);
        QCOMPARE(A.Foreground(), clTeal);
        QCOMPARE(A.Background(), clMaroon);
    }
}

QTEST_MAIN(TestLexEditHighlighterPersist)
#include "tst_lexedithighlighter_persist.moc"
