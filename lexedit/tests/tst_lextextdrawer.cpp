// SPDX-License-Identifier: MIT
// The font stock and the drawer's metrics and measuring. Drawing: tst_lextextdrawer_paint.cpp.

#include "lexedit/LexTextDrawer.h"

#include "common/Exception.h"

#include <QFontMetrics>
#include <QPainter>
#include <QtTest>

using namespace lexedit;

namespace {

QFont EditorFont(int APixelSize = 14) {
    QFont f;
    f.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(APixelSize);
    return f;
}

// Counts the variants it makes.
class CountingStock : public TheFontStock {
public:
    using TheFontStock::TheFontStock;
    int Created = 0;

protected:
    std::shared_ptr<const TheFontHandle> InternalCreateFont(TFontStyles AStyle) override {
        ++Created;
        return TheFontStock::InternalCreateFont(AStyle);
    }
};

// Counts measurements and can pretend that some characters are wide.
class ProbeDrawer : public TheTextDrawer {
public:
    using TheTextDrawer::TheTextDrawer;
    mutable int Measured = 0;
    QHash<char32_t, int> Injected;

protected:
    int MeasureCharWidth(QStringView ACharacter) const override {
        ++Measured;
        const char32_t code = ACharacter.size() == 2 ? QChar::surrogateToUcs4(ACharacter[0], ACharacter[1])
                                                     : char32_t(ACharacter[0].unicode());
        if (Injected.contains(code)) return Injected.value(code);
        return TheTextDrawer::MeasureCharWidth(ACharacter);
    }
};

} // namespace

class TestLexTextDrawer : public QObject {
    Q_OBJECT
private slots:
    void cellMetricsArePositiveAndFollowTheFont() {
        for (int size : {9, 14, 23}) {
            TheTextDrawer d(TFontStyles(), EditorFont(size));
            const QFontMetrics m(EditorFont(size));
            QVERIFY(d.CharWidth() > 0);
            QVERIFY(d.CharHeight() > 0);
            QCOMPARE(d.CharWidth(), m.horizontalAdvance(QLatin1Char('M')));
            QCOMPARE(d.CharHeight(), m.height());
            QVERIFY(d.CharHeight() >= m.ascent() + m.descent());
            // A monospaced font: every ASCII letter measures one cell.
            for (QChar c : QStringLiteral("iW_.@"))
                QCOMPARE(d.TextWidth(QStringView(&c, 1)), d.CharWidth());
            QCOMPARE(d.TextExtent(QStringLiteral("abc")).height(), m.height());
        }
        TheTextDrawer small(TFontStyles(), EditorFont(9));
        TheTextDrawer big(TFontStyles(), EditorFont(23));
        QVERIFY(big.CharWidth() > small.CharWidth());
        QVERIFY(big.CharHeight() > small.CharHeight());
    }

    void charWidthFollowsCharExtra() {
        TheTextDrawer d(TFontStyles(), EditorFont());
        const int w = d.CharWidth();
        d.SetCharExtra(3);
        QCOMPARE(d.CharWidth(), w + 3);
        d.SetCharExtra(0);
        QCOMPARE(d.CharWidth(), w);
        d.SetCharExtra(2);
        const QString text = QStringLiteral("ab\u00E9");
        QImage img(100, 40, QImage::Format_ARGB32_Premultiplied);
        QPainter p(&img);
        d.BeginDrawing(&p);
        d.ExtTextOut(0, 0, TTextOutOptions(), QRect(), text);
        d.EndDrawing();
        QCOMPARE(d.ETODist(), std::vector<int>({w + 2, w + 2, w + 2}));
    }

    // Zero-width and wide Latin-1 characters keep one cell each; wide ones take whole cells.
    void advancesFollowTheColumnRule() {
        ProbeDrawer d(TFontStyles(), EditorFont());
        const int cw = d.CharWidth();
        d.Injected.insert(0x00C6, cw + cw / 2);
        d.Injected.insert(0x4E00, 2 * cw);
        d.Injected.insert(0x1D400, 2 * cw + 1);
        const QString text = QStringLiteral("e\u0301\u200B\u00C6\u4E00") + QString::fromUcs4(U"\U0001D400") +
                             QStringLiteral("x");
        QImage img(300, 40, QImage::Format_RGB32);
        QPainter p(&img);
        d.BeginDrawing(&p);
        d.ExtTextOut(0, 0, TTextOutOptions(), QRect(), text);
        d.EndDrawing();
        QCOMPARE(d.ETODist(), std::vector<int>({cw, cw, cw, cw, 2 * cw, 2 * cw, cw, cw}));
    }

    void baseStyleDefinesTheCell() {
        QFont f = EditorFont();
        TheTextDrawer d(TFontStyles{fsBold}, f);
        const QFontMetrics bold(FontWithStyles(f, TFontStyles{fsBold}));
        QCOMPARE(d.CharWidth(), bold.horizontalAdvance(QLatin1Char('M')));
        QCOMPARE(d.Style(), TFontStyles()); // drawing style follows the font, not the cell
        d.SetStyle(TFontStyles{fsItalic, fsUnderline});
        d.SetBaseStyle(TFontStyles());
        QCOMPARE(d.Style(), (TFontStyles{fsItalic, fsUnderline}));
        QCOMPARE(d.CharWidth(), QFontMetrics(f).horizontalAdvance(QLatin1Char('M')));
    }

    void variantsAreMadeOncePerStyleAndShared() {
        const QFont f = EditorFont(17);
        const int recordsBefore = GetFontsInfoManager().Count();
        {
            CountingStock a(f);
            QCOMPARE(a.Created, 0); // made in the constructor, before the override applies
            a.SetStyle(TFontStyles{fsBold, fsItalic});
            QCOMPARE(a.Created, 1);
            TheSharedFontsInfo *info = a.SharedFontsInfo();
            QVERIFY(info->FontsData[3].Handle);
            QCOMPARE(info->FontsData[3].Style, (TFontStyles{fsBold, fsItalic}));
            QCOMPARE(a.FontHandle(), info->FontsData[3].Handle);
            QVERIFY(a.FontHandle()->Font().bold() && a.FontHandle()->Font().italic());
            QVERIFY(!a.FontHandle()->Font().underline());
            QVERIFY(a.CharAdvance() > 0 && a.CharHeight() > 0);
            a.SetStyle(TFontStyles());
            a.SetStyle(TFontStyles{fsBold, fsItalic});
            QCOMPARE(a.Created, 1);
            a.SetStyle(TFontStyles{fsStrikeOut});
            QCOMPARE(a.Created, 2);
            QVERIFY(a.FontHandle()->Font().strikeOut());

            {
                // A second stock of an equal font (italic and underline do not matter) shares them.
                QFont g = f;
                g.setItalic(true);
                CountingStock b(g);
                QCOMPARE(b.SharedFontsInfo(), info);
                QCOMPARE(info->RefCount, 2);
                QCOMPARE(GetFontsInfoManager().Count(), recordsBefore + 1);
                b.SetStyle(TFontStyles{fsBold, fsItalic});
                QCOMPARE(b.Created, 0);
                QCOMPARE(b.FontHandle(), info->FontsData[3].Handle);
            }
            // Destroying the second leaves the first intact.
            QCOMPARE(info->RefCount, 1);
            QVERIFY(info->FontsData[3].Handle);
            QVERIFY(a.FontHandle()->Font().strikeOut());

            // Giving up the handles drops the variants; the next use makes them again.
            a.ReleaseFontHandles();
            QVERIFY(!info->FontsData[3].Handle);
            QVERIFY(a.FontHandle()); // the current variant stays usable
            a.SetStyle(TFontStyles{fsBold, fsItalic});
            QCOMPARE(a.Created, 3);

            // A bold base font is another record.
            QFont heavy = f;
            heavy.setBold(true);
            a.SetBaseFont(heavy);
            QVERIFY(a.SharedFontsInfo() != info);
            QCOMPARE(a.Style(), TFontStyles{fsBold});
        }
        QCOMPARE(GetFontsInfoManager().Count(), recordsBefore);
    }

    void styleAbove15IsRefused() {
        TheFontStock s(EditorFont());
        QVERIFY_THROWS_EXCEPTION(common::EAssertionFailed, s.SetStyle(TFontStyles::FromMask(16)));
    }

    void cachesClearedWhenBaseFontOrStyleChanges() {
        ProbeDrawer d(TFontStyles(), EditorFont());
        const QString a = QStringLiteral("a");
        d.TextWidth(a);
        const int once = d.Measured;
        QCOMPARE(once, 1);
        d.TextWidth(a);
        QCOMPARE(d.Measured, once);
        const QString cjk = QStringLiteral("\u4E00");
        d.CharColumns(cjk, 0);
        d.CharColumns(cjk, 0);
        QCOMPARE(d.Measured, once + 1);
        d.SetBaseStyle(TFontStyles{fsBold});
        d.TextWidth(a);
        d.CharColumns(cjk, 0);
        QCOMPARE(d.Measured, once + 3);
        d.SetBaseFont(EditorFont(20));
        d.TextWidth(a);
        QCOMPARE(d.Measured, once + 4);
        d.SetStyle(TFontStyles{fsItalic}); // the drawing style does not define the cell
        d.TextWidth(a);
        QCOMPARE(d.Measured, once + 4);
    }

    void columnRule_data() {
        QTest::addColumn<uint>("code");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("cell");
        QTest::addColumn<int>("columns");
        QTest::newRow("ascii") << 0x41u << 8 << 8 << 1;
        QTest::newRow("ascii tab measured wide") << 0x09u << 64 << 8 << 1;
        QTest::newRow("latin-1 wide glyph") << 0xC6u << 13 << 8 << 1;
        QTest::newRow("latin-1 zero width") << 0xADu << 0 << 8 << 1;
        QTest::newRow("cjk two cells") << 0x4E00u << 16 << 8 << 2;
        QTest::newRow("cjk a bit over") << 0x4E00u << 17 << 8 << 3;
        QTest::newRow("narrow above 255") << 0x0410u << 8 << 8 << 1;
        QTest::newRow("zero width above 255") << 0x200Bu << 0 << 8 << 1;
        QTest::newRow("combining mark") << 0x0301u << 0 << 8 << 1;
        QTest::newRow("negative width") << 0x0301u << -3 << 8 << 1;
        QTest::newRow("zero cell") << 0x4E00u << 16 << 0 << 1;
        QTest::newRow("negative cell") << 0x4E00u << 16 << -4 << 1;
    }
    void columnRule() {
        QFETCH(uint, code);
        QFETCH(int, width);
        QFETCH(int, cell);
        QFETCH(int, columns);
        QCOMPARE(ColumnsOfWidth(char32_t(code), width, cell), columns);
    }

    void pairColumns() {
        QCOMPARE(ColumnsOfPairHead(13, 8), 1); // pair spans 2
        QCOMPARE(ColumnsOfPairHead(16, 8), 1);
        QCOMPARE(ColumnsOfPairHead(17, 8), 2); // pair spans 3
        QCOMPARE(ColumnsOfPairHead(0, 8), 1);
        QCOMPARE(ColumnsOfPairHead(40, 0), 1);
    }

    void drawerColumnsPerCodeUnit() {
        ProbeDrawer d(TFontStyles(), EditorFont());
        const int cw = d.CharWidth();
        d.Injected.insert(0x4E00, 2 * cw);
        d.Injected.insert(0x1D400, 3 * cw);
        d.Injected.insert(0x00C6, 3 * cw); // Latin-1 stays one column however wide
        // a, AE, cjk, combining acute, zero-width space, pair, lone low surrogate, lone high, z
        const QString text = QStringLiteral("a\u00C6\u4E00\u0301\u200B") + QString::fromUcs4(U"\U0001D400") +
                             QChar(0xDC00) + QChar(0xD800) + QStringLiteral("z");
        const QList<int> expected = {1, 1, 2, 1, 1, 2, 1, 1, 1, 1};
        QCOMPARE(text.size(), expected.size());
        int before = 0;
        for (int i = 0; i < text.size(); ++i) {
            QCOMPARE(d.CharColumns(text, i), expected[i]);
            QCOMPARE(d.ColumnsBefore(text, i), before);
            before += expected[i];
        }
        // The real fonts: a supplementary character and a combining mark.
        TheTextDrawer real(TFontStyles(), EditorFont());
        const QString pair = QString::fromUcs4(U"\U0001D400");
        const int w = QFontMetrics(EditorFont()).horizontalAdvance(pair);
        QCOMPARE(real.CharColumns(pair, 0) + real.CharColumns(pair, 1), std::max(2, (w + cw - 1) / cw));
        QCOMPARE(real.CharColumns(QStringLiteral("e\u0301"), 1), 1);
    }
};

QTEST_MAIN(TestLexTextDrawer)
#include "tst_lextextdrawer.moc"
