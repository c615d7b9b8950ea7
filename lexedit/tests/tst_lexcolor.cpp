// SPDX-License-Identifier: MIT
#include "lexedit/LexColor.h"

#include <QtTest>

using namespace lexedit;

class TestLexColor : public QObject {
    Q_OBJECT
private slots:
    void rgbLayoutIsRedInLowByte() {
        QCOMPARE(RGBToColor(255, 128, 0), TColor(0x0080FF));
        const QColor c = ColorToQColor(RGBToColor(0, 107, 159), QPalette());
        QCOMPARE(c, QColor(0, 107, 159));
    }
    void noneFallsBackAndSystemColoursResolveThroughPalette() {
        QPalette pal;
        pal.setColor(QPalette::Active, QPalette::Base, QColor(1, 2, 3));
        pal.setColor(QPalette::Disabled, QPalette::Text, QColor(9, 9, 9));
        QCOMPARE(ColorToQColor(clNone, pal, QColor(7, 7, 7)), QColor(7, 7, 7));
        QCOMPARE(ColorToQColor(clWindow, pal), QColor(1, 2, 3));
        QCOMPARE(ColorToQColor(clGrayText, pal), QColor(9, 9, 9));
        QCOMPARE(ColorToRGB(clWindow, pal), RGBToColor(1, 2, 3));
        QVERIFY(IsSystemColor(clWindowText));
        QVERIFY(!IsSystemColor(clNone));
    }
    void fontStyleSetUsesOrdinalBits() {
        TFontStyles s{fsItalic};
        QCOMPARE(int(s.ToMask()), 2);
        s.Include(fsStrikeOut);
        QCOMPARE(int(s.ToMask()), 10);
        QVERIFY(s.Contains(fsStrikeOut) && !s.Contains(fsBold));
        s.Exclude(fsItalic);
        QCOMPARE(s, TFontStyles{fsStrikeOut});
        QVERIFY(TFontStyles{fsBold} <= (TFontStyles{fsBold} + TFontStyles{fsUnderline}));
        QVERIFY(!((TFontStyles{fsBold} + TFontStyles{fsUnderline}) <= TFontStyles{fsBold}));
        QVERIFY(((TFontStyles{fsBold} + TFontStyles{fsUnderline}) - TFontStyles{fsBold}) ==
                TFontStyles{fsUnderline});
    }
};

QTEST_GUILESS_MAIN(TestLexColor)
#include "tst_lexcolor.moc"
