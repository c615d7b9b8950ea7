// SPDX-License-Identifier: MIT
#include "lexedit/LexEditTypes.h"

#include <QtTest>

using namespace lexedit;

class TestLexEditTypes : public QObject {
    Q_OBJECT
private slots:
    void bufferCoordOrder_data();
    void bufferCoordOrder();
    void displayCoordOrderAndMinMax();
};

void TestLexEditTypes::bufferCoordOrder_data() {
    QTest::addColumn<int>("c1");
    QTest::addColumn<int>("l1");
    QTest::addColumn<int>("c2");
    QTest::addColumn<int>("l2");
    QTest::addColumn<int>("order"); // -1: first is smaller, 0 equal, 1 greater
    QTest::newRow("same") << 3 << 2 << 3 << 2 << 0;
    QTest::newRow("line decides before char") << 99 << 1 << 1 << 2 << -1;
    QTest::newRow("char within line") << 5 << 4 << 2 << 4 << 1;
    QTest::newRow("beyond line end") << 200 << 7 << 199 << 7 << 1;
}

void TestLexEditTypes::bufferCoordOrder() {
    QFETCH(int, c1);
    QFETCH(int, l1);
    QFETCH(int, c2);
    QFETCH(int, l2);
    QFETCH(int, order);
    const TBufferCoord a = BufferCoord(c1, l1), b = BufferCoord(c2, l2);
    QCOMPARE(a == b, order == 0);
    QCOMPARE(a != b, order != 0);
    QCOMPARE(a < b, order < 0);
    QCOMPARE(a <= b, order <= 0);
    QCOMPARE(a > b, order > 0);
    QCOMPARE(a >= b, order >= 0);
    const TBufferCoord lo = order > 0 ? b : a, hi = order > 0 ? a : b;
    QCOMPARE(TBufferCoord::Min(a, b), lo);
    QCOMPARE(TBufferCoord::Min(b, a), lo);
    QCOMPARE(TBufferCoord::Max(a, b), hi);
    QCOMPARE(TBufferCoord::Max(b, a), hi);
}

void TestLexEditTypes::displayCoordOrderAndMinMax() {
    const TDisplayCoord a = DisplayCoord(50, 3), b = DisplayCoord(1, 4), c = DisplayCoord(2, 4);
    QVERIFY(a < b && b < c && a < c);
    QVERIFY(c > a && !(a > c) && a <= a && a >= a && a != b);
    QCOMPARE(TDisplayCoord::Min(c, a), a);
    QCOMPARE(TDisplayCoord::Max(a, c), c);
    QCOMPARE(TDisplayCoord::Max(b, c), c);
    QCOMPARE(c.Column, 2);
    QCOMPARE(c.Row, 4);
}

QTEST_GUILESS_MAIN(TestLexEditTypes)
#include "tst_lexedittypes.moc"
