// SPDX-License-Identifier: MIT
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexUnicode.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace lexedit;

namespace {
const QString Tab = QStringLiteral("\t");

// Independent expansion: a tab moves to the next multiple of the width, as tab characters.
QString NaiveExpand(const QString &Line, int Width) {
    QString Result;
    for (QChar c : Line) {
        if (c == QLatin1Char('\t')) do
                Result += QLatin1Char('\t');
            while (Result.size() % Width != 0);
        else
            Result += c;
    }
    return Result;
}

struct HighlighterA {
    virtual ~HighlighterA() = default;
};
struct HighlighterB : HighlighterA {};
} // namespace

class TestLexEditMiscProcs : public QObject {
    Q_OBJECT
private slots:
    void countLines_data();
    void countLines();
    void getEOL();
    void tabExpansion_data();
    void tabExpansion();
    void tabExpansionMatchesColumnRule();
    void isPowerOfTwoAndProcChoice();
    void isUTF8_data();
    void isUTF8();
    void categoryScans();
    void trimTrailingSpaces_data();
    void trimTrailingSpaces();
    void deleteTypePrefixAndLexSuffix_data();
    void deleteTypePrefixAndLexSuffix();
    void arithmetic();
    void unicodeHelpers();
    void highlighterIndex();
    void gradientBands();
};

void TestLexEditMiscProcs::countLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("empty") << QString() << QStringList();
    QTest::newRow("letter") << "a" << QStringList{"a"};
    QTest::newRow("CR LF alone") << "\r\n" << QStringList{"", ""};
    QTest::newRow("LF CR") << "\n\r" << QStringList{"", "", ""};
    QTest::newRow("letter CR LF") << "a\r\n" << QStringList{"a", ""};
    QTest::newRow("a LF") << "a\n" << QStringList{"a", ""};
    QTest::newRow("two lines") << "a\r\nb" << QStringList{"a", "b"};
    QTest::newRow("mixed") << "a\rb\nc\r\nd" << QStringList{"a", "b", "c", "d"};
    QTest::newRow("U+2028 is no break here")
        << QString("a") + QChar(0x2028) + "b" << QStringList{QString("a") + QChar(0x2028) + "b"};
}

void TestLexEditMiscProcs::countLines() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QCOMPARE(CountLines(text), int(lines.size()));
    QCOMPARE(StringToLines(text), lines);
}

void TestLexEditMiscProcs::getEOL() {
    const QString s = QStringLiteral("ab\ncd");
    QCOMPARE(GetEOL(s.constData()), s.constData() + 2);
    QCOMPARE(GetEOL(s.constData() + 3), s.constData() + 5); // the terminating NUL
    QCOMPARE(GetEOL(nullptr), nullptr);
}

void TestLexEditMiscProcs::tabExpansion_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("hasTabs");
    QTest::newRow("width 4") << "a\tb" << 4 << "a" + Tab.repeated(3) + "b" << true;
    QTest::newRow("width 1 gives a space") << "a\tb" << 1 << "a b" << true;
    QTest::newRow("width 0 gives a space") << "\t\t" << 0 << "  " << true;
    QTest::newRow("width 3") << "ab\t" << 3 << "ab" + Tab << true;
    QTest::newRow("width 3 leading") << "\tx" << 3 << Tab.repeated(3) + "x" << true;
    QTest::newRow("width 8 at stop") << "12345678\tx" << 8 << "12345678" + Tab.repeated(8) + "x" << true;
    QTest::newRow("no tabs") << "plain" << 4 << "plain" << false;
    QTest::newRow("empty") << "" << 4 << "" << false;
}

void TestLexEditMiscProcs::tabExpansion() {
    QFETCH(QString, line);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QFETCH(bool, hasTabs);
    bool HasTabs = !hasTabs;
    QCOMPARE(GetBestConvertTabsProcEx(width)(line, width, HasTabs), expected);
    QCOMPARE(HasTabs, hasTabs);
}

void TestLexEditMiscProcs::tabExpansionMatchesColumnRule() {
    // Power-of-two and general routines agree with a naive column walk on random lines.
    QRandomGenerator rng(4711);
    for (int n = 0; n < 2000; ++n) {
        QString Line;
        const int Len = int(rng.bounded(12));
        for (int i = 0; i < Len; ++i)
            Line += rng.bounded(3) == 0 ? QChar('\t') : QChar('a' + int(rng.bounded(26)));
        for (int Width : {2, 3, 4, 5, 7, 8, 16}) {
            bool HasTabs = false;
            const QString Got = GetBestConvertTabsProcEx(Width)(Line, Width, HasTabs);
            QCOMPARE(Got, NaiveExpand(Line, Width));
            QCOMPARE(HasTabs, Line.contains('\t'));
            // The general routine gives the same result for powers of two.
            QCOMPARE(ConvertTabsEx(Line, Width, HasTabs), Got);
        }
    }
    int Before = -1;
    QVERIFY(GetHasTabs(u"abc\tx", Before));
    QCOMPARE(Before, 3);
    QVERIFY(!GetHasTabs(u"abc", Before));
    QCOMPARE(Before, 0);
}

void TestLexEditMiscProcs::isPowerOfTwoAndProcChoice() {
    QVERIFY(!IsPowerOfTwo(1));
    QVERIFY(IsPowerOfTwo(2));
    QVERIFY(IsPowerOfTwo(64));
    QVERIFY(!IsPowerOfTwo(6));
    QVERIFY(IsPowerOfTwo(65536));
    QVERIFY(!IsPowerOfTwo(131072));
    QVERIFY(GetBestConvertTabsProcEx(1) == &ConvertTabs1Ex);
    QVERIFY(GetBestConvertTabsProcEx(8) == &ConvertTabs2nEx);
    QVERIFY(GetBestConvertTabsProcEx(6) == &ConvertTabsEx);
}

void TestLexEditMiscProcs::isUTF8_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("start");
    QTest::addColumn<int>("count");
    QTest::addColumn<bool>("expected");
    QTest::newRow("ascii") << QByteArray("hello") << 0 << 16384 << false;
    QTest::newRow("empty") << QByteArray() << 0 << 16384 << false;
    QTest::newRow("e acute") << QByteArray("\xC3\xA9") << 0 << 16384 << true;
    QTest::newRow("after ascii") << QByteArray("abc\xC3\xA9xyz") << 0 << 16384 << true;
    QTest::newRow("truncated lead") << QByteArray("ab\xC3") << 0 << 16384 << false;
    QTest::newRow("overlong E0") << QByteArray("\xE0\x80\x80") << 0 << 16384 << false;
    QTest::newRow("E0 valid") << QByteArray("\xE0\xA0\x80") << 0 << 16384 << true;
    QTest::newRow("stray continuation") << QByteArray("\xC3\xA9\xA9") << 0 << 16384 << false;
    QTest::newRow("surrogate ED A0") << QByteArray("\xED\xA0\x80") << 0 << 16384 << false;
    QTest::newRow("ED 9F ok") << QByteArray("\xED\x9F\xBF") << 0 << 16384 << true;
    QTest::newRow("F0 90 4 bytes") << QByteArray("\xF0\x90\x80\x80") << 0 << 16384 << true;
    QTest::newRow("F0 8F overlong") << QByteArray("\xF0\x8F\x80\x80") << 0 << 16384 << false;
    QTest::newRow("F4 90 too big") << QByteArray("\xF4\x90\x80\x80") << 0 << 16384 << false;
    QTest::newRow("F5") << QByteArray("\xF5\x80\x80\x80") << 0 << 16384 << false;
    QTest::newRow("C0 overlong") << QByteArray("\xC0\x80") << 0 << 16384 << false;
    QTest::newRow("latin1 before utf8") << QByteArray("\xE9 \xC3\xA9") << 0 << 16384 << false;
    QTest::newRow("start skips mark") << QByteArray("\xEF\xBB\xBF"
                                                    "abc")
                                      << 3 << 16384 << false;
    QTest::newRow("outside window") << QByteArray("abcd\xC3\xA9") << 0 << 4 << false;
    QTest::newRow("sequence cut by window") << QByteArray("abc\xC3\xA9") << 0 << 4 << false;
    QTest::newRow("start beyond end") << QByteArray("\xC3\xA9") << 5 << 10 << false;
}

void TestLexEditMiscProcs::isUTF8() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, start);
    QFETCH(int, count);
    QFETCH(bool, expected);
    QCOMPARE(IsUTF8(bytes, start, count), expected);
}

void TestLexEditMiscProcs::categoryScans() {
    int Calls = 0;
    const TCategoryMethod IsDigit = [&Calls](QChar c) {
        ++Calls;
        return c.isDigit();
    };
    const QString s = QStringLiteral("ab1cd2");
    QCOMPARE(StrScanForCharInCategory(s, 1, IsDigit), 3);
    QCOMPARE(StrScanForCharInCategory(s, 3, IsDigit), 3);
    QCOMPARE(StrScanForCharInCategory(s, 4, IsDigit), 6);
    QCOMPARE(StrRScanForCharInCategory(s, 5, IsDigit), 3);
    QCOMPARE(StrRScanForCharInCategory(s, 2, IsDigit), 0);
    QCOMPARE(StrScanForCharInCategory(u"abc", 1, IsDigit), 0);
    Calls = 0;
    QCOMPARE(StrScanForCharInCategory(s, int(s.size()) + 1, IsDigit), 0);
    QCOMPARE(StrRScanForCharInCategory(s, int(s.size()) + 1, IsDigit), 0);
    QCOMPARE(StrScanForCharInCategory(s, 0, IsDigit), 0);
    QCOMPARE(StrRScanForCharInCategory(s, 0, IsDigit), 0);
    QCOMPARE(Calls, 0);
}

void TestLexEditMiscProcs::trimTrailingSpaces_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("tab and space") << "a\t "
                                   << "a";
    QTest::newRow("only blanks") << " \t \t"
                                 << "";
    QTest::newRow("inner kept") << " a b "
                                << " a b";
    QTest::newRow("other white kept") << "a\r"
                                      << "a\r";
    QTest::newRow("nbsp kept") << QString("a") + QChar(0xA0) << QString("a") + QChar(0xA0);
}

void TestLexEditMiscProcs::trimTrailingSpaces() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(TrimTrailingSpaces(in), out);
}

void TestLexEditMiscProcs::deleteTypePrefixAndLexSuffix_data() {
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("php") << "TLexPHPLex"
                         << "PHP";
    QTest::newRow("html") << "TLexHTMLLex"
                          << "HTML";
    QTest::newRow("T and two letters") << "Tab"
                                       << "ab";
    QTest::newRow("tlex and three letters") << "tlexabc"
                                            << "abc";
    QTest::newRow("only prefix and suffix") << "TLexLex"
                                            << "";
    QTest::newRow("no T prefix") << "MyLex"
                                 << "My";
    QTest::newRow("empty") << ""
                           << "";
    QTest::newRow("lower suffix kept when short") << "Tle"
                                                  << "le";
}

void TestLexEditMiscProcs::deleteTypePrefixAndLexSuffix() {
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(DeleteTypePrefixAndLexSuffix(in), out);
}

void TestLexEditMiscProcs::arithmetic() {
    QCOMPARE(CeilOfIntDiv(10, 3), uint16_t(4));
    QCOMPARE(CeilOfIntDiv(9, 3), uint16_t(3));
    QCOMPARE(CeilOfIntDiv(0, 7), uint16_t(0));
    // A cell size of 0 (font not measured yet) must not fault.
    QCOMPARE(CeilOfIntDiv(100, 0), uint16_t(0));
    QCOMPARE(CeilOfIntDiv(4000000000u, 1), uint16_t(65535));
    QCOMPARE(MinMax(5, 1, 3), 3);
    QCOMPARE(MinMax(-5, 1, 3), 1);
    QCOMPARE(MinMax(2, 1, 3), 2);
    QCOMPARE(MinMax(2, 4, 3), 4); // limited to ma first, then raised to mi
    int l = 1, r = 2;
    SwapInt(l, r);
    QCOMPARE(l, 2);
    QCOMPARE(r, 1);
}

void TestLexEditMiscProcs::unicodeHelpers() {
    QVERIFY(IsAnsiOnly(u"caf\u00e9 \u00ff"));
    QVERIFY(!IsAnsiOnly(u"\u20ac"));
    QVERIFY(IsAnsiOnly(u""));
    char16_t buf[] = {0x1234, 0x00FF, 0};
    StrSwapByteOrder(buf);
    QCOMPARE(int(buf[0]), 0x3412);
    QCOMPARE(int(buf[1]), 0xFF00);
    QCOMPARE(int(buf[2]), 0);
    QCOMPARE(LineBreakFromFileFormat(sffDos), QStringLiteral("\r\n"));
    QCOMPARE(LineBreakFromFileFormat(sffUnix), QStringLiteral("\n"));
    QCOMPARE(LineBreakFromFileFormat(sffMac), QStringLiteral("\r"));
    QCOMPARE(LineBreakFromFileFormat(sffUnicode), QString(QChar(0x2028)));
    QCOMPARE(FillerChar.unicode(), char16_t(0xE000));
}

void TestLexEditMiscProcs::highlighterIndex() {
    HighlighterA a1, a2;
    HighlighterB b1;
    const QList<HighlighterA *> List{&a1, &b1, &a2};
    QCOMPARE(GetHighlighterIndex(&a1, List), 1);
    QCOMPARE(GetHighlighterIndex(&b1, List), 1); // a derived class is not "exactly the same"
    QCOMPARE(GetHighlighterIndex(&a2, List), 2);
}

void TestLexEditMiscProcs::gradientBands() {
    QImage Image(100, 10, QImage::Format_RGB32);
    Image.fill(Qt::white);
    {
        QPainter p(&Image);
        LexDrawGradient(p, RGBToColor(0, 0, 0), RGBToColor(200, 100, 0), 5, QRect(0, 0, 100, 10), true);
    }
    // Five bands of 20 pixels; channel steps of (end - start) * i / 4.
    QCOMPARE(QColor(Image.pixel(0, 5)), QColor(0, 0, 0));
    QCOMPARE(QColor(Image.pixel(19, 5)), QColor(0, 0, 0));
    QCOMPARE(QColor(Image.pixel(20, 5)), QColor(50, 25, 0));
    QCOMPARE(QColor(Image.pixel(50, 0)), QColor(100, 50, 0));
    QCOMPARE(QColor(Image.pixel(99, 9)), QColor(200, 100, 0));
}

QTEST_MAIN(TestLexEditMiscProcs)
#include "tst_lexeditmiscprocs.moc"
