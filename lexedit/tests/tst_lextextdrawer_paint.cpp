// SPDX-License-Identifier: MIT
// Drawing through the text drawer into images: every character in its own cell, lines across
// cells, opaque and clipped runs, drawing phases and colours.

#include "lexedit/LexTextDrawer.h"

#include "common/Exception.h"

#include <QImage>
#include <QPainter>
#include <QtTest>

using namespace lexedit;

namespace {

constexpr QRgb White = 0xFFFFFFFF;

QFont EditorFont(int APixelSize = 16) {
    QFont f;
    f.setFamilies({QStringLiteral("Consolas"), QStringLiteral("DejaVu Sans Mono")});
    f.setStyleHint(QFont::Monospace);
    f.setPixelSize(APixelSize);
    return f;
}

QImage Canvas() {
    QImage img(400, 60, QImage::Format_RGB32);
    img.fill(White);
    return img;
}

// Bounding box of the pixels of AArea that are not AColour.
QRect Ink(const QImage &AImage, const QRect &AArea, QRgb AColour = White) {
    QRect r;
    const QRect area = AArea & AImage.rect();
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x)
            if (AImage.pixel(x, y) != AColour) r |= QRect(x, y, 1, 1);
    return r;
}

bool IsDark(QRgb APixel) {
    return qGray(APixel) < 128;
}

class WideDrawer : public TheTextDrawer {
public:
    using TheTextDrawer::TheTextDrawer;
    QHash<char32_t, int> Injected;

protected:
    int MeasureCharWidth(QStringView ACharacter) const override {
        const char32_t code = ACharacter.size() == 2 ? QChar::surrogateToUcs4(ACharacter[0], ACharacter[1])
                                                     : char32_t(ACharacter[0].unicode());
        return Injected.contains(code) ? Injected.value(code) : TheTextDrawer::MeasureCharWidth(ACharacter);
    }
};

constexpr int X0 = 10, Y0 = 8;

// Draws AText as one run at (X0, Y0).
void DrawRun(TheTextDrawer &ADrawer, QImage &AImage, const QString &AText,
             TTextOutOptions AOptions = TTextOutOptions(), QRect ARect = QRect()) {
    QPainter p(&AImage);
    ADrawer.BeginDrawing(&p);
    ADrawer.ExtTextOut(X0, Y0, AOptions, ARect, AText);
    ADrawer.EndDrawing();
}

// Draws each character (a surrogate pair as one) of AText alone at its cell.
void DrawOneByOne(TheTextDrawer &ADrawer, QImage &AImage, const QString &AText) {
    QPainter p(&AImage);
    ADrawer.BeginDrawing(&p);
    for (int i = 0; i < AText.size(); ++i) {
        const int n = AText[i].isHighSurrogate() && i + 1 < AText.size() ? 2 : 1;
        const int x = X0 + ADrawer.ColumnsBefore(AText, i) * ADrawer.CharWidth();
        ADrawer.ExtTextOut(x, Y0, TTextOutOptions(), QRect(), QStringView(AText).mid(i, n));
        i += n - 1;
    }
    ADrawer.EndDrawing();
}

const QString Pair = QString::fromUcs4(U"\U0001D400"); // from a fallback font

} // namespace

class TestLexTextDrawerPaint : public QObject {
    Q_OBJECT
private slots:
    void runEqualsCharactersDrawnOneByOne_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("style");
        QTest::newRow("ascii") << QStringLiteral("Wiq_#@Mm|") << 0;
        QTest::newRow("latin-1") << QStringLiteral("\u00C0\u00E9\u00FF\u00C6\u00DF\u00B6") << 0;
        QTest::newRow("combining mark") << QStringLiteral("e\u0301x") << 0;
        QTest::newRow("surrogate pair") << QStringLiteral("a") + Pair + QStringLiteral("b") << 0;
        QTest::newRow("missing glyph") << QStringLiteral("a\u4E00b") << 0;
        QTest::newRow("bold") << QStringLiteral("Wiq_#@Mm") << int(TFontStyles{fsBold}.ToMask());
        QTest::newRow("italic") << QStringLiteral("fWfl/") << int(TFontStyles{fsItalic}.ToMask());
        QTest::newRow("underline, strike-out")
            << QStringLiteral("a b_") << int(TFontStyles{fsUnderline, fsStrikeOut}.ToMask());
    }
    void runEqualsCharactersDrawnOneByOne() {
        QFETCH(QString, text);
        QFETCH(int, style);
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetStyle(TFontStyles::FromMask(uint8_t(style)));
        d.SetForeColor(clBlack);
        QImage run = Canvas(), single = Canvas();
        DrawRun(d, run, text);
        DrawOneByOne(d, single, text);
        QVERIFY(Ink(run, run.rect()).isValid());
        QCOMPARE(run, single);
    }

    void eachCharacterInkStaysInItsCells_data() {
        QTest::addColumn<QString>("text");
        QTest::newRow("ascii") << QStringLiteral("Wiq_#@Mm|j");
        QTest::newRow("latin-1") << QStringLiteral("\u00C0\u00E9\u00FF\u00C6\u00DF\u00B6");
        QTest::newRow("combining mark") << QStringLiteral("e\u0301x");
        QTest::newRow("surrogate pair") << QStringLiteral("a") + Pair + QStringLiteral("b");
    }
    void eachCharacterInkStaysInItsCells() {
        QFETCH(QString, text);
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetForeColor(clBlack);
        const int cw = d.CharWidth();
        for (int i = 0; i < text.size(); ++i) {
            const int n = text[i].isHighSurrogate() ? 2 : 1;
            QImage img = Canvas();
            DrawRun(d, img, text); // sets the advances of the whole run
            const std::vector<int> dist = d.ETODist();
            img = Canvas();
            int cellsWidth = 0;
            for (int u = 0; u < n; ++u)
                cellsWidth += dist[size_t(i + u)];
            const int left = X0 + d.ColumnsBefore(text, i) * cw;
            {
                QPainter p(&img);
                d.BeginDrawing(&p);
                d.ExtTextOut(left, Y0, TTextOutOptions(), QRect(), QStringView(text).mid(i, n));
                d.EndDrawing();
            }
            const QRect ink = Ink(img, img.rect());
            QVERIFY2(ink.isValid(), qPrintable(QString::number(i)));
            // Anti-aliasing may touch one pixel beyond the glyph's box.
            QVERIFY2(ink.left() >= left - 1 && ink.right() <= left + cellsWidth,
                     qPrintable(QStringLiteral("char %1: ink %2..%3, cell %4..%5")
                                    .arg(i)
                                    .arg(ink.left())
                                    .arg(ink.right())
                                    .arg(left)
                                    .arg(left + cellsWidth - 1)));
            QVERIFY(ink.top() >= Y0 - 1 && ink.bottom() <= Y0 + d.CharHeight());
            i += n - 1;
        }
    }

    void wideCharacterTakesItsCells() {
        WideDrawer d(TFontStyles(), EditorFont());
        d.SetForeColor(clBlack);
        const int cw = d.CharWidth();
        d.Injected.insert(0x4E00, 2 * cw);
        d.Injected.insert(0x00C6, 2 * cw); // wide Latin-1 stays in one cell
        const QString text = QStringLiteral("a\u4E00b\u00C6c");
        QImage run = Canvas(), single = Canvas();
        DrawRun(d, run, text);
        QCOMPARE(d.ETODist(), std::vector<int>({cw, 2 * cw, cw, cw, cw}));
        DrawOneByOne(d, single, text);
        QCOMPARE(run, single);
        // 'b' starts in the fourth cell, 'c' in the sixth.
        QImage b = Canvas();
        {
            QPainter p(&b);
            d.BeginDrawing(&p);
            d.ExtTextOut(X0 + 3 * cw, Y0, TTextOutOptions(), QRect(), QStringLiteral("b"));
            d.EndDrawing();
        }
        const QRect cells(X0 + 3 * cw, 0, cw, run.height());
        QCOMPARE(run.copy(cells), b.copy(cells));
        QVERIFY(Ink(run, QRect(X0 + 5 * cw, 0, cw, run.height())).isValid());
        QVERIFY(!Ink(run, QRect(X0 + 6 * cw, 0, 100, run.height())).isValid());
    }

    void linesRunThroughEveryCell_data() {
        QTest::addColumn<int>("style");
        QTest::newRow("underline") << int(TFontStyles{fsUnderline}.ToMask());
        QTest::newRow("strike-out") << int(TFontStyles{fsStrikeOut}.ToMask());
        QTest::newRow("bold underline") << int(TFontStyles{fsUnderline, fsBold}.ToMask());
    }
    void linesRunThroughEveryCell() {
        QFETCH(int, style);
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetStyle(TFontStyles::FromMask(uint8_t(style)));
        d.SetForeColor(clBlack);
        const QString text = QStringLiteral("a  \u00E9 ") + Pair + QStringLiteral("  ");
        QImage img = Canvas();
        DrawRun(d, img, text);
        const int right = X0 + d.ColumnsBefore(text, int(text.size())) * d.CharWidth(); // exclusive
        int found = -1;
        for (int y = Y0; y < Y0 + d.CharHeight() && found < 0; ++y) {
            bool full = true;
            for (int x = X0; x < right && full; ++x)
                full = IsDark(img.pixel(x, y));
            if (full) found = y;
        }
        QVERIFY2(found >= 0, "no line across all cells");
        QVERIFY(!IsDark(img.pixel(X0 - 1, found)));
        QVERIFY(!IsDark(img.pixel(right, found)));
    }

    void opaqueRunFillsItsRectangle() {
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetForeColor(clBlack);
        d.SetBackColor(clRed);
        const QString text = QStringLiteral("a b");
        const QRect rect(X0, Y0, 3 * d.CharWidth(), d.CharHeight());
        QImage img = Canvas();
        DrawRun(d, img, text, TTextOutOptions{tooOpaque}, rect);
        const QRgb red = qRgb(255, 0, 0);
        QCOMPARE(Ink(img, img.rect()), rect);   // nothing outside the rectangle
        QVERIFY(!Ink(img, rect, red).isNull()); // the text
        int reds = 0;
        for (int y = rect.top(); y <= rect.bottom(); ++y)
            for (int x = rect.left(); x <= rect.right(); ++x)
                reds += img.pixel(x, y) == red;
        QVERIFY(reds > rect.width() * rect.height() / 2);
        // The blank cell is all background.
        QCOMPARE(Ink(img, QRect(X0 + d.CharWidth(), Y0, d.CharWidth(), d.CharHeight()), red), QRect());
        // Without the option nothing is filled.
        img = Canvas();
        DrawRun(d, img, text, TTextOutOptions(), rect);
        QCOMPARE(Ink(img, QRect(X0 + d.CharWidth(), Y0, d.CharWidth(), d.CharHeight())), QRect());
    }

    void clippedRunStaysInsideItsRectangle() {
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetStyle(TFontStyles{fsItalic, fsUnderline});
        d.SetForeColor(clBlack);
        const QString text = QStringLiteral("WWWWWW");
        const QRect rect(X0 + 3, Y0 + 4, 2 * d.CharWidth(), d.CharHeight() - 6);
        QImage img = Canvas();
        DrawRun(d, img, text, TTextOutOptions{tooClipped}, rect);
        const QRect ink = Ink(img, img.rect());
        QVERIFY(ink.isValid());
        // The rectangle only grows to the right, by the overhang of the last glyph.
        const int overhang = d.ETODist().back() - d.CharWidth();
        QVERIFY(overhang >= 0 && overhang < d.CharWidth());
        QVERIFY2(rect.adjusted(0, 0, overhang, 0).contains(ink), "ink outside the clip rectangle");
        QCOMPARE(ink.top(), rect.top());
        // The same run unclipped reaches beyond it.
        img = Canvas();
        DrawRun(d, img, text, TTextOutOptions(), rect);
        QVERIFY(!rect.contains(Ink(img, img.rect())));
        // The clip ends with its run, with or without a clip of the painter's own.
        for (bool ownClip : {false, true}) {
            img = Canvas();
            QPainter p(&img);
            if (ownClip) p.setClipRect(QRect(0, 0, 300, 60));
            d.BeginDrawing(&p);
            d.ExtTextOut(X0, Y0, TTextOutOptions{tooClipped}, rect, text);
            d.ExtTextOut(X0, Y0 + 20, TTextOutOptions(), QRect(), text);
            d.EndDrawing();
            QCOMPARE(p.hasClipping(), ownClip);
            p.end();
            QVERIFY(
                Ink(img, QRect(X0 + 4 * d.CharWidth(), Y0 + 20, d.CharWidth(), d.CharHeight())).isValid());
            QVERIFY(!Ink(img, QRect(300, 0, 100, 60)).isValid());
        }
    }

    // Runs whose ink fits their rectangle are drawn without clip; the pixels must be the same.
    void clippedAndUnclippedRunsAgreeInsideTheRectangle_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("style");
        QTest::newRow("ascii") << QStringLiteral("$x = [a|b]; // {W_M}") << 0;
        QTest::newRow("accents") << QStringLiteral("\u00C0\u00C5\u00C9 \u00E7\u00FF q") << 0;
        QTest::newRow("italic") << QStringLiteral("fWfl/jy") << int(TFontStyles{fsItalic}.ToMask());
        QTest::newRow("bold underline")
            << QStringLiteral("W_jgM") << int(TFontStyles{fsBold, fsUnderline}.ToMask());
        QTest::newRow("fallback") << QStringLiteral("a") + Pair + QStringLiteral("\u4E00") << 0;
    }
    void clippedAndUnclippedRunsAgreeInsideTheRectangle() {
        QFETCH(QString, text);
        QFETCH(int, style);
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetStyle(TFontStyles::FromMask(uint8_t(style)));
        d.SetForeColor(clBlack);
        // Each character alone and the whole text, in cell-sized rectangles.
        for (int from = -1; from < int(text.size()); ++from) {
            const QString run = from < 0 ? text : text.mid(from, 1);
            if (run.size() == 1 && run[0].isSurrogate()) continue;
            const QRect rect(X0, Y0, d.ColumnsBefore(run, int(run.size())) * d.CharWidth(), d.CharHeight());
            QImage clipped = Canvas(), free = Canvas();
            DrawRun(d, clipped, run, TTextOutOptions{tooClipped}, rect);
            // The rectangle grows by the overhang of the last glyph.
            const int last = int(run.size()) - 1;
            const QRect area =
                rect.adjusted(0, 0, d.ETODist().back() - d.CharColumns(run, last) * d.CharWidth(), 0);
            DrawRun(d, free, run, TTextOutOptions(), rect);
            const QRect ink = Ink(clipped, clipped.rect());
            QVERIFY2(!ink.isValid() || area.contains(ink), qPrintable(run));
            QCOMPARE(clipped.copy(area), free.copy(area));
        }
    }

    void overhangingLastGlyphWidensTheRectangle() {
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetStyle(TFontStyles{fsItalic});
        const int cw = d.CharWidth();
        // Find an italic letter whose ink leaves its cell.
        QChar over;
        for (QChar c : QStringLiteral("fWMmw_Ty")) {
            const TheFontHandle::TGlyph &g = d.FontStock().FontHandle()->Glyph(c.unicode());
            if (std::ceil(g.InkRight) > cw) {
                over = c;
                break;
            }
        }
        if (over.isNull()) QSKIP("no italic glyph of this font overhangs its cell");
        d.SetBackColor(clRed);
        QImage img = Canvas();
        const QRect rect(X0, Y0, 2 * cw, d.CharHeight());
        DrawRun(d, img, QString(QLatin1Char('a')) + over, TTextOutOptions{tooOpaque, tooClipped}, rect);
        QVERIFY(d.ETODist()[1] > cw);
        QCOMPARE(d.ETODist()[0], cw);
        // The fill (and the clip) reach past the cells, so the overhang is not cut off.
        QCOMPARE(img.pixel(rect.right() + 1, rect.top()), qRgb(255, 0, 0));
    }

    void drawersOfOneFontShareVariantsAndSurviveEachOther() {
        const QString text = QStringLiteral("Bold text \u00E9") + Pair;
        QImage before = Canvas(), after = Canvas();
        auto second = std::make_unique<TheTextDrawer>(TFontStyles(), EditorFont());
        {
            TheTextDrawer first(TFontStyles(), EditorFont());
            first.SetStyle(TFontStyles{fsBold, fsUnderline});
            second->SetStyle(TFontStyles{fsBold, fsUnderline});
            QCOMPARE(first.FontStock().FontHandle(), second->FontStock().FontHandle());
            second->SetForeColor(clBlack);
            DrawRun(*second, before, text);
        }
        DrawRun(*second, after, text);
        QCOMPARE(after, before);
        second->ReleaseTemporaryResources(); // drops the shared variants; drawing makes them again
        after = Canvas();
        second->SetStyle(TFontStyles{fsBold, fsUnderline});
        DrawRun(*second, after, text);
        QCOMPARE(after, before);
    }

    void drawingPhasesNestAndRestore() {
        TheTextDrawer d(TFontStyles(), EditorFont());
        QImage img = Canvas(), other = Canvas();
        QPainter p(&img);
        const QFont before = p.font();
        p.setPen(Qt::green);
        d.BeginDrawing(&p);
        d.BeginDrawing(&p);
        QCOMPARE(d.DrawingCount(), 2);
        QPainter q(&other);
        QVERIFY_THROWS_EXCEPTION(common::EAssertionFailed, d.BeginDrawing(&q));
        QVERIFY_THROWS_EXCEPTION(common::EAssertionFailed,
                                 TheTextDrawer(TFontStyles(), EditorFont()).EndDrawing());
        d.EndDrawing();
        QCOMPARE(d.DC(), &p);
        d.SetStyle(TFontStyles{fsBold}); // used by the next run at once
        d.SetForeColor(clBlack);
        d.ExtTextOut(X0, Y0, TTextOutOptions(), QRect(), QStringLiteral("M"));
        d.SetStyle(TFontStyles());
        d.ExtTextOut(X0 + 40, Y0, TTextOutOptions(), QRect(), QStringLiteral("M"));
        d.EndDrawing();
        const auto darkPixels = [&](int ALeft) {
            int n = 0;
            for (int y = 0; y < img.height(); ++y)
                for (int x = ALeft; x < ALeft + 20; ++x)
                    n += IsDark(img.pixel(x, y));
            return n;
        };
        QVERIFY(darkPixels(X0) > darkPixels(X0 + 40)); // bold has more ink
        QCOMPARE(d.DC(), nullptr);
        QCOMPARE(p.font(), before);
        QCOMPARE(p.pen().color(), QColor(Qt::green));
        {
            TTextDrawingGuard guard(d, &q); // another painter once idle
            QCOMPARE(d.DC(), &q);
            d.ExtTextOut(0, 0, TTextOutOptions{tooOpaque}, QRect(0, 0, 5, 5), nullptr,
                         3); // no text: fill only
        }
        QCOMPARE(d.DC(), nullptr);
        QCOMPARE(d.DrawingCount(), 0);
    }

    void coloursApplyAtOnceAndResolveSystemColours() {
        TheTextDrawer d(TFontStyles{}, EditorFont());
        QPalette pal;
        pal.setColor(QPalette::Text, QColor(0, 160, 0));
        pal.setColor(QPalette::Base, QColor(0, 0, 200));
        d.SetPalette(pal);
        QCOMPARE(d.ForeColor(), clWindowText);
        QCOMPARE(d.BackColor(), clWindow);
        QImage img = Canvas();
        QPainter p(&img);
        d.BeginDrawing(&p);
        const QString m = QStringLiteral("M");
        d.ExtTextOut(X0, Y0, TTextOutOptions{tooOpaque}, QRect(X0, Y0, d.CharWidth(), d.CharHeight()), m);
        d.SetForeColor(RGBToColor(200, 0, 0));
        d.ExtTextOut(X0 + 40, Y0, TTextOutOptions(), QRect(), m);
        d.EndDrawing();
        p.end();
        QCOMPARE(img.pixel(X0, Y0), qRgb(0, 0, 200)); // clWindow through the palette
        // Fully covered stem pixels carry the exact text colour.
        const auto has = [&](int ALeft, QRgb AColour) {
            for (int y = Y0; y < Y0 + d.CharHeight(); ++y)
                for (int x = ALeft; x < ALeft + d.CharWidth(); ++x)
                    if (img.pixel(x, y) == AColour) return true;
            return false;
        };
        QVERIFY(has(X0, qRgb(0, 160, 0)));      // clWindowText through the palette
        QVERIFY(has(X0 + 40, qRgb(200, 0, 0))); // changed while drawing
        QVERIFY(!has(X0 + 40, qRgb(0, 160, 0)));
    }

    // The pens and brushes kept per colour follow a change of the palette.
    void paletteChangeResolvesColoursAfresh() {
        TheTextDrawer d(TFontStyles{}, EditorFont());
        QPalette pal;
        pal.setColor(QPalette::Text, QColor(0, 160, 0));
        pal.setColor(QPalette::Base, QColor(0, 0, 200));
        d.SetPalette(pal);
        QImage img = Canvas();
        const QString m = QStringLiteral("M");
        const QRect first(X0, Y0, d.CharWidth(), d.CharHeight());
        const QRect second = first.translated(40, 0), third = first.translated(80, 0);
        QPainter p(&img);
        d.BeginDrawing(&p);
        d.ExtTextOut(first.left(), first.top(), TTextOutOptions{tooOpaque}, first, m);
        pal.setColor(QPalette::Text, QColor(200, 0, 0));
        pal.setColor(QPalette::Base, QColor(220, 220, 0));
        d.SetPalette(pal); // while drawing
        d.ExtTextOut(second.left(), second.top(), TTextOutOptions{tooOpaque}, second, m);
        d.EndDrawing();
        pal.setColor(QPalette::Text, QColor(0, 0, 0));
        pal.setColor(QPalette::Base, QColor(0, 200, 200));
        d.SetPalette(pal); // between drawing phases
        d.BeginDrawing(&p);
        d.ExtTextOut(third.left(), third.top(), TTextOutOptions{tooOpaque}, third, m);
        d.EndDrawing();
        p.end();
        const auto has = [&](const QRect &ACell, QRgb AColour) {
            for (int y = ACell.top(); y <= ACell.bottom(); ++y)
                for (int x = ACell.left(); x <= ACell.right(); ++x)
                    if (img.pixel(x, y) == AColour) return true;
            return false;
        };
        QCOMPARE(img.pixel(first.topLeft()), qRgb(0, 0, 200));
        QVERIFY(has(first, qRgb(0, 160, 0)));
        QCOMPARE(img.pixel(second.topLeft()), qRgb(220, 220, 0));
        QVERIFY(has(second, qRgb(200, 0, 0)));
        QVERIFY(!has(second, qRgb(0, 160, 0)));
        QCOMPARE(img.pixel(third.topLeft()), qRgb(0, 200, 200));
        QVERIFY(has(third, qRgb(0, 0, 0)));
        QVERIFY(!has(third, qRgb(200, 0, 0)));
    }

    // Each raw font of a variant keeps a glyph run of its own; fallback fonts found after the
    // variant has drawn get theirs as well.
    void glyphRunsFollowFallbackFontsFoundLater() {
        const QFont font = EditorFont(21); // a size no other test uses: the variant starts fresh
        TheTextDrawer d(TFontStyles(), font);
        d.SetForeColor(clBlack);
        const TheFontHandle &handle = *d.FontStock().FontHandle();
        QImage img = Canvas();
        DrawRun(d, img, QStringLiteral("ab"));
        const int before = handle.RawFontCount();
        const QString text = QStringLiteral("a") + Pair + QStringLiteral("bé");
        QImage run = Canvas(), single = Canvas();
        DrawRun(d, run, text);
        QVERIFY(handle.RawFontCount() > before);
        for (int f = 0; f < handle.RawFontCount(); ++f)
            QVERIFY(handle.GlyphRun(f).rawFont() == handle.RawFont(f));
        DrawOneByOne(d, single, text);
        QCOMPARE(run, single);
        // The pair's cells carry ink: its glyph came from the fallback font.
        const int left = X0 + d.ColumnsBefore(text, 1) * d.CharWidth();
        QVERIFY(Ink(run, QRect(left, 0, d.CharWidth(), run.height())).isValid());
    }

    // What a drawer keeps per variant (glyphs, glyph runs, line metrics) and per colour follows a
    // change of the base font or of the base style: it then draws as a drawer made afresh.
    void drawsAsAFreshDrawerAfterBaseFontOrStyleChange() {
        const QString text = QStringLiteral("a_gW \u00E9") + Pair + QStringLiteral("j");
        const TFontStyles style{fsBold, fsUnderline};
        const auto draw = [&](TheTextDrawer &ADrawer) {
            ADrawer.SetStyle(style);
            ADrawer.SetForeColor(clNavy);
            ADrawer.SetBackColor(clYellow);
            QImage img = Canvas();
            const QRect rect(X0, Y0, ADrawer.ColumnsBefore(text, int(text.size())) * ADrawer.CharWidth(),
                             ADrawer.CharHeight());
            DrawRun(ADrawer, img, text, TTextOutOptions{tooOpaque}, rect);
            return img;
        };
        TheTextDrawer d(TFontStyles(), EditorFont(12));
        const QImage small = draw(d);
        d.SetBaseFont(EditorFont(22));
        const QImage big = draw(d);
        TheTextDrawer freshBig(TFontStyles(), EditorFont(22));
        QCOMPARE(big, draw(freshBig));
        QVERIFY(big != small);
        d.SetBaseStyle(TFontStyles{fsBold});
        TheTextDrawer freshBold(TFontStyles{fsBold}, EditorFont(22));
        QCOMPARE(d.CharWidth(), freshBold.CharWidth());
        QCOMPARE(draw(d), draw(freshBold));
        d.SetBaseFont(EditorFont(12));
        TheTextDrawer freshSmall(TFontStyles{fsBold}, EditorFont(12));
        QCOMPARE(draw(d), draw(freshSmall));
    }

    void universalTextOutWithThePaintersFont() {
        TheTextDrawer d(TFontStyles(), EditorFont());
        d.SetForeColor(clBlack);
        const QString text = QStringLiteral("ab\u00E9") + Pair;
        QImage viaDrawer = Canvas(), viaPainter = Canvas();
        DrawRun(d, viaDrawer, text);
        const std::vector<int> dist = d.ETODist();
        QPainter p(&viaPainter);
        p.setFont(d.FontStock().FontHandle()->Font());
        p.setPen(Qt::black);
        QVERIFY(UniversalExtTextOut(&p, X0, Y0, TTextOutOptions(), QRect(), text.constData(),
                                    int(text.size()), dist.data(), true, nullptr));
        p.end();
        QCOMPARE(viaPainter, viaDrawer);
        QPainter idle;
        QVERIFY(!UniversalExtTextOut(&idle, 0, 0, TTextOutOptions(), QRect(), text.constData(), 1, nullptr,
                                     false));
        QVERIFY(!UniversalExtTextOut(nullptr, 0, 0, TTextOutOptions(), QRect(), text.constData(), 1, nullptr,
                                     false));
    }
};

QTEST_MAIN(TestLexTextDrawerPaint)
#include "tst_lextextdrawer_paint.moc"
