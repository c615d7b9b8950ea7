// SPDX-License-Identifier: MIT
// The application's icon: the raster pictures at every installed size and the SVG document come
// from one drawing.

#include "AppIcon.h"

#include <QGuiApplication>
#include <QRegularExpression>
#include <QSet>
#include <QXmlStreamReader>
#include <QtTest>

using namespace app;

namespace {

// A point of the drawing (256 x 256 units) at a picture of ASize pixels.
QPoint At(int ASize, double X, double Y) {
    return QPoint(int(X * ASize / 256.0), int(Y * ASize / 256.0));
}

int Distance(const QColor &A, const QColor &B) {
    return std::max(
        {std::abs(A.red() - B.red()), std::abs(A.green() - B.green()), std::abs(A.blue() - B.blue())});
}

} // namespace

class TestAppIcon : public QObject {
    Q_OBJECT
private slots:
    void everySizeShowsPageElephantAndCheck_data() {
        QTest::addColumn<int>("size");
        for (int size : kAppIconSizes)
            QTest::newRow(qPrintable(QString::number(size))) << size;
    }
    void everySizeShowsPageElephantAndCheck() {
        QFETCH(int, size);
        const QImage image = DrawAppIcon(size).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));
        // Transparent around the page, opaque on it.
        QCOMPARE(qAlpha(image.pixel(0, 0)), 0);
        QCOMPARE(qAlpha(image.pixel(0, size - 1)), 0);
        QCOMPARE(qAlpha(image.pixel(At(size, 100, 30))), 255);
        // The elephant's blue body, the check's green disc, the page's white.
        QVERIFY(Distance(image.pixelColor(At(size, 133, 140)), QColor(0x5B, 0x7F, 0xC7)) < 40);
        QVERIFY(Distance(image.pixelColor(At(size, 200, 235)), QColor(0x2F, 0x9E, 0x44)) < 40);
        QVERIFY(Distance(image.pixelColor(At(size, 190, 110)), QColor(0xFA, 0xFB, 0xFD)) < 30);
    }

    // The page's text lines would blur at the smallest sizes: they are drawn from 32 pixels on.
    void textLinesOnlyFrom32Pixels_data() {
        QTest::addColumn<int>("size");
        QTest::addColumn<bool>("lines");
        for (int size : kAppIconSizes)
            QTest::newRow(qPrintable(QString::number(size))) << size << (size >= 32);
    }
    void textLinesOnlyFrom32Pixels() {
        QFETCH(int, size);
        QFETCH(bool, lines);
        const QImage image = DrawAppIcon(size);
        const QColor text(0xA8, 0xB3, 0xC4);
        // The middle of the second line, where the page is white without it.
        const QColor seen = image.pixelColor(At(size, 124, 63));
        QCOMPARE(Distance(seen, text) < Distance(seen, QColor(0xFA, 0xFB, 0xFD)), lines);
    }

    void svgIsAWellFormedDocumentOfTheSameColours() {
        const QByteArray svg = AppIconSvg();
        QXmlStreamReader reader(svg);
        QSet<QString> fills;
        int shapes = 0;
        bool root = true;
        while (!reader.atEnd()) {
            if (reader.readNext() != QXmlStreamReader::StartElement) continue;
            if (root) {
                QCOMPARE(reader.name(), QStringLiteral("svg"));
                QCOMPARE(reader.namespaceUri(), QStringLiteral("http://www.w3.org/2000/svg"));
                QCOMPARE(reader.attributes().value(QStringLiteral("viewBox")), QStringLiteral("0 0 256 256"));
                root = false;
                continue;
            }
            ++shapes;
            QVERIFY2(reader.attributes().hasAttribute(QStringLiteral("fill")),
                     qPrintable(reader.name().toString()));
            fills << reader.attributes().value(QStringLiteral("fill")).toString();
            // Geometry stays inside the drawing's square.
            static const QRegularExpression number(QStringLiteral("-?\\d+(\\.\\d+)?"));
            for (const auto &attribute : reader.attributes()) {
                if (attribute.name() == QStringLiteral("fill") ||
                    attribute.name() == QStringLiteral("stroke"))
                    continue;
                auto it = number.globalMatch(attribute.value());
                while (it.hasNext()) {
                    const double value = it.next().captured().toDouble();
                    QVERIFY2(value >= 0 && value <= 256, qPrintable(attribute.value().toString()));
                }
            }
        }
        QVERIFY2(!reader.hasError(), qPrintable(reader.errorString()));
        QVERIFY(shapes >= 10);
        // The colours the raster pictures show are those of the SVG.
        const QImage image = DrawAppIcon(256);
        for (const QPoint &p : {At(256, 133, 140), At(256, 200, 235), At(256, 190, 110)})
            QVERIFY2(fills.contains(image.pixelColor(p).name()), qPrintable(image.pixelColor(p).name()));
    }

    // Without an installed theme icon the window shows the drawing, at every installed size.
    void windowIconFallsBackToTheDrawing() {
        if (!QIcon::fromTheme(QString::fromLatin1(kAppIconName)).isNull())
            QSKIP("the icon is installed in the current theme");
        const QIcon icon = AppIcon();
        QList<QSize> expected;
        for (int size : kAppIconSizes)
            expected << QSize(size, size);
        QCOMPARE(icon.availableSizes(), expected);
    }
};

QTEST_MAIN(TestAppIcon)
#include "tst_appicon.moc"
