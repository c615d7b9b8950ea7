// SPDX-License-Identifier: MIT
#include "lexedit/LexEditKbdHandler.h"

#include <QObject>
#include <QStringList>
#include <QtTest>

using namespace lexedit;

class TestLexEditKbdHandler : public QObject {
    Q_OBJECT
private slots:
    void keyDownRunsNewestFirstAndStopsWhenConsumed() {
        TLexEditKbdHandler h;
        QStringList log;
        h.AddKeyDownHandler([&](QObject *, uint16_t &, TShiftState) { log << "first"; });
        h.AddKeyDownHandler([&](QObject *, uint16_t &k, TShiftState) {
            log << "second";
            if (k == 'X') k = 0;
        });
        h.AddKeyDownHandler([&](QObject *s, uint16_t &k, TShiftState ss) {
            log << QStringLiteral("third %1 %2 %3").arg(k).arg(ss.ToMask()).arg(s == this);
        });
        uint16_t key = 'A';
        h.ExecuteKeyDown(this, key, TShiftState{ssCtrl});
        QCOMPARE(log, QStringList({"third 65 4 1", "second", "first"}));
        log.clear();
        key = 'X';
        h.ExecuteKeyDown(this, key, TShiftState());
        QCOMPARE(key, uint16_t(0));
        QCOMPARE(log, QStringList({"third 88 0 1", "second"}));
    }

    void keyUpAndKeyPressStopAtZero() {
        TLexEditKbdHandler h;
        int earlier = 0;
        h.AddKeyUpHandler([&](QObject *, uint16_t &, TShiftState) { ++earlier; });
        h.AddKeyUpHandler([&](QObject *, uint16_t &k, TShiftState) { k = 0; });
        uint16_t key = 13;
        h.ExecuteKeyUp(nullptr, key, TShiftState());
        QCOMPARE(earlier, 0);
        h.AddKeyPressHandler([&](QObject *, QChar &) { ++earlier; });
        h.AddKeyPressHandler([&](QObject *, QChar &c) { c = c == QLatin1Char('a') ? QChar() : c.toUpper(); });
        QChar c = QLatin1Char('b');
        h.ExecuteKeyPress(nullptr, c);
        QCOMPARE(c, QLatin1Char('B'));
        QCOMPARE(earlier, 1);
        c = QLatin1Char('a');
        h.ExecuteKeyPress(nullptr, c);
        QVERIFY(c.isNull());
        QCOMPARE(earlier, 1);
    }

    void mouseChainsCallEveryHandler() {
        TLexEditKbdHandler h;
        QStringList log;
        h.AddMouseDownHandler([&](QObject *, TMouseButton b, TShiftState, int x, int y) {
            log << QStringLiteral("d1 %1 %2 %3").arg(int(b)).arg(x).arg(y);
        });
        h.AddMouseDownHandler([&](QObject *, TMouseButton, TShiftState, int, int) { log << "d2"; });
        h.AddMouseUpHandler([&](QObject *, TMouseButton, TShiftState ss, int, int) {
            log << QStringLiteral("u %1").arg(ss.ToMask());
        });
        h.AddMouseCursorHandler([&](QObject *, const TBufferCoord &p, Qt::CursorShape &c) {
            if (p.Line == 3) c = Qt::PointingHandCursor;
        });
        h.AddMouseCursorHandler([&](QObject *, const TBufferCoord &, Qt::CursorShape &c) {
            log << QStringLiteral("cursor %1").arg(int(c));
        });
        h.ExecuteMouseDown(nullptr, mbRight, TShiftState(), 5, 7);
        h.ExecuteMouseUp(nullptr, mbLeft, TShiftState{ssShift}, 0, 0);
        Qt::CursorShape cursor = Qt::IBeamCursor;
        TBufferCoord p;
        p.Char = 1;
        p.Line = 3;
        h.ExecuteMouseCursor(nullptr, p, cursor);
        QCOMPARE(cursor, Qt::PointingHandCursor);
        QCOMPARE(log, QStringList(
                          {"d2", "d1 1 5 7", "u 1", QStringLiteral("cursor %1").arg(int(Qt::IBeamCursor))}));
    }

    void sameHandlerTwiceRunsTwiceAndRemovesOnce() {
        TLexEditKbdHandler h;
        int calls = 0;
        const TKeyEvent handler = [&](QObject *, uint16_t &, TShiftState) { ++calls; };
        const TLexHandlerId a = h.AddKeyDownHandler(handler);
        const TLexHandlerId b = h.AddKeyDownHandler(handler);
        QVERIFY(a != b);
        uint16_t key = 1;
        h.ExecuteKeyDown(nullptr, key, TShiftState());
        QCOMPARE(calls, 2);
        QVERIFY(h.RemoveKeyDownHandler(b));
        QVERIFY(!h.RemoveKeyDownHandler(b));
        QVERIFY(!h.RemoveKeyUpHandler(a)); // ids belong to their chain
        h.ExecuteKeyDown(nullptr, key, TShiftState());
        QCOMPARE(calls, 3);
        QCOMPARE(h.KeyDownChain().Count(), 1);
    }

    // A handler removes itself and an older handler, and adds a new one, during the walk.
    void chainChangedFromInsideAHandler() {
        TLexEditKbdHandler h;
        QStringList log;
        TLexHandlerId older = 0, self = 0;
        older = h.AddKeyDownHandler([&](QObject *, uint16_t &, TShiftState) { log << "older"; });
        h.AddKeyDownHandler([&](QObject *, uint16_t &, TShiftState) { log << "oldest-but-one"; });
        self = h.AddKeyDownHandler([&](QObject *, uint16_t &, TShiftState) {
            log << "self";
            QVERIFY(h.RemoveKeyDownHandler(self)); // destroys the stored function while it runs
            QVERIFY(h.RemoveKeyDownHandler(older));
            h.AddKeyDownHandler([&](QObject *, uint16_t &, TShiftState) { log << "added"; });
        });
        uint16_t key = 'A';
        h.ExecuteKeyDown(nullptr, key, TShiftState());
        QCOMPARE(log, QStringList({"self", "oldest-but-one"}));
        log.clear();
        h.ExecuteKeyDown(nullptr, key, TShiftState());
        QCOMPARE(log, QStringList({"added", "oldest-but-one"}));
    }

    void nestedCallOfTheSameChainDoesNothing() {
        TLexEditKbdHandler h;
        int depth = 0, calls = 0, mouseUps = 0;
        h.AddMouseDownHandler([&](QObject *, TMouseButton b, TShiftState s, int x, int y) {
            ++calls;
            ++depth;
            QCOMPARE(depth, 1);
            h.ExecuteMouseDown(nullptr, b, s, x, y); // ignored
            h.ExecuteMouseUp(nullptr, b, s, x, y);   // another chain: runs
            --depth;
        });
        h.AddMouseUpHandler([&](QObject *, TMouseButton, TShiftState, int, int) { ++mouseUps; });
        h.ExecuteMouseDown(nullptr, mbLeft, TShiftState(), 0, 0);
        QCOMPARE(calls, 1);
        QCOMPARE(mouseUps, 1);
    }

    void flagClearedWhenAHandlerThrows() {
        TLexEditKbdHandler h;
        bool raise = true;
        int calls = 0;
        h.AddKeyPressHandler([&](QObject *, QChar &) {
            ++calls;
            if (raise) throw std::runtime_error("handler failed");
        });
        QChar c = QLatin1Char('x');
        QVERIFY_THROWS_EXCEPTION(std::runtime_error, h.ExecuteKeyPress(nullptr, c));
        raise = false;
        h.ExecuteKeyPress(nullptr, c);
        QCOMPARE(calls, 2);
    }
};

QTEST_GUILESS_MAIN(TestLexEditKbdHandler)
#include "tst_lexeditkbdhandler.moc"
