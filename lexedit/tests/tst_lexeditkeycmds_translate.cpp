// SPDX-License-Identifier: MIT
// Translation of Qt key events into virtual keys and shift states, with synthesized events as
// X11 and Wayland deliver them (X keycodes in nativeScanCode, the layout's symbol as key).

#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditKeyConst.h"

#include <QKeyEvent>
#include <QtTest>

using namespace lexedit;

namespace {

constexpr quint32 XK_1 = 10, XK_3 = 12, XK_7 = 16, XK_MINUS = 20, XK_EQUAL = 21, XK_Q = 24, XK_K = 45,
                  XK_L = 46, XK_SEMI = 47, XK_M = 58, XK_COMMA = 59, XK_SLASH = 61, XK_LESS = 94;

QKeyEvent Press(int AKey, Qt::KeyboardModifiers AMods, quint32 AScanCode = 0,
                const QString &AText = QString()) {
    return QKeyEvent(QEvent::KeyPress, AKey, AMods, AScanCode, 0, 0, AText);
}

} // namespace

class TestLexEditKeyTranslate : public QObject {
    Q_OBJECT
private slots:
    void translate_data() {
        QTest::addColumn<int>("qtKey");
        QTest::addColumn<int>("mods");
        QTest::addColumn<int>("scan");
        QTest::addColumn<int>("vk");
        QTest::addColumn<int>("shift");
        const int S = 1 << ssShift, A = 1 << ssAlt, C = 1 << ssCtrl;
        const int sh = Qt::ShiftModifier, ct = Qt::ControlModifier, al = Qt::AltModifier,
                  kp = Qt::KeypadModifier, gs = Qt::GroupSwitchModifier;
        QTest::newRow("backtab is shift+tab") << int(Qt::Key_Backtab) << sh << 23 << int(VK_TAB) << S;
        QTest::newRow("backtab without shift flag") << int(Qt::Key_Backtab) << 0 << 0 << int(VK_TAB) << S;
        QTest::newRow("ctrl+shift+tab") << int(Qt::Key_Backtab) << (ct | sh) << 23 << int(VK_TAB) << (S | C);
        QTest::newRow("return") << int(Qt::Key_Return) << 0 << 36 << int(VK_RETURN) << 0;
        QTest::newRow("keypad enter") << int(Qt::Key_Enter) << kp << 104 << int(VK_RETURN) << 0;
        QTest::newRow("shift+enter") << int(Qt::Key_Enter) << (kp | sh) << 104 << int(VK_RETURN) << S;
        // QKeyEvent reports a modifier key's own modifier as toggled.
        QTest::newRow("shift key") << int(Qt::Key_Shift) << 0 << 50 << int(VK_SHIFT) << S;
        QTest::newRow("control key") << int(Qt::Key_Control) << 0 << 37 << int(VK_CONTROL) << C;
        QTest::newRow("alt key") << int(Qt::Key_Alt) << 0 << 64 << int(VK_MENU) << A;
        QTest::newRow("altgr key") << int(Qt::Key_AltGr) << (ct | al) << 108 << int(VK_MENU) << 0;
        // US layout: Shift+1 arrives as '!', Ctrl+Shift+3 as '#'.
        QTest::newRow("shift+1 us") << int(Qt::Key_Exclam) << sh << int(XK_1) << int('1') << S;
        QTest::newRow("ctrl+shift+3 us")
            << int(Qt::Key_NumberSign) << (ct | sh) << int(XK_3) << int('3') << (S | C);
        // French layout: the digit keys print '&', and '7' needs Shift.
        QTest::newRow("ctrl+1 azerty") << int(Qt::Key_Ampersand) << ct << int(XK_1) << int('1') << C;
        QTest::newRow("ctrl+shift+7 azerty")
            << int(Qt::Key_7) << (ct | sh) << int(XK_7) << int('7') << (S | C);
        // German layout: Shift+7 prints '/', which must not become the slash key.
        QTest::newRow("shift+7 qwertz") << int(Qt::Key_Slash) << sh << int(XK_7) << int('7') << S;
        QTest::newRow("ctrl+shift+minus us")
            << int(Qt::Key_Underscore) << (ct | sh) << int(XK_MINUS) << int(VK_OEM_MINUS) << (S | C);
        QTest::newRow("ctrl+shift+equal us")
            << int(Qt::Key_Plus) << (ct | sh) << int(XK_EQUAL) << int(VK_OEM_PLUS) << (S | C);
        QTest::newRow("ctrl+shift+slash us")
            << int(Qt::Key_Question) << (ct | sh) << int(XK_SLASH) << int(VK_OEM_2) << (S | C);
        QTest::newRow("semicolon key") << int(Qt::Key_Semicolon) << 0 << int(XK_SEMI) << int(VK_OEM_1) << 0;
        QTest::newRow("iso extra key") << int(Qt::Key_Less) << 0 << int(XK_LESS) << int(VK_OEM_102) << 0;
        // Without a keycode, symbols are read as on a US keyboard.
        QTest::newRow("'?' without keycode")
            << int(Qt::Key_Question) << (ct | sh) << 0 << int(VK_OEM_2) << (S | C);
        QTest::newRow("'@' without keycode") << int(Qt::Key_At) << sh << 0 << int('2') << S;
        QTest::newRow("digit without keycode") << int(Qt::Key_4) << ct << 0 << int('4') << C;
        // Latin letters by their letter (AZERTY's A sits on the US Q key) ...
        QTest::newRow("ctrl+a azerty") << int(Qt::Key_A) << ct << int(XK_Q) << int('A') << C;
        QTest::newRow("ctrl+k") << int(Qt::Key_K) << ct << int(XK_K) << int('K') << C;
        // ... but punctuation on a letter key keeps its symbol (AZERTY's ',' on the US M key).
        QTest::newRow("comma on m key") << int(Qt::Key_Comma) << ct << int(XK_M) << int(VK_OEM_COMMA) << C;
        // Cyrillic letters by their physical key: Л on the L key, Қ not known but keyed.
        QTest::newRow("ctrl+cyrillic el") << 0x041B << ct << int(XK_L) << int('L') << C;
        QTest::newRow("cyrillic on comma key") << 0x0411 << 0 << int(XK_COMMA) << int(VK_OEM_COMMA) << 0;
        QTest::newRow("dead key by position")
            << int(Qt::Key_Dead_Circumflex) << 0 << 34 << int(VK_OEM_4) << 0;
        // Keypad keys keep their own codes; navigation keys of the keypad are the ordinary ones.
        QTest::newRow("keypad 5") << int(Qt::Key_5) << kp << 84 << int(VK_NUMPAD0 + 5) << 0;
        QTest::newRow("keypad plus") << int(Qt::Key_Plus) << kp << 86 << int(VK_ADD) << 0;
        QTest::newRow("keypad minus") << int(Qt::Key_Minus) << (kp | ct) << 82 << int(VK_SUBTRACT) << C;
        QTest::newRow("keypad slash") << int(Qt::Key_Slash) << kp << 106 << int(VK_DIVIDE) << 0;
        QTest::newRow("keypad home") << int(Qt::Key_Home) << kp << 79 << int(VK_HOME) << 0;
        // AltGr is neither Ctrl nor Alt.
        QTest::newRow("altgr+q is @") << int(Qt::Key_At) << (gs | ct | al) << int(XK_Q) << int('Q') << 0;
        QTest::newRow("altgr+7 is {") << int(Qt::Key_BraceLeft) << int(gs) << int(XK_7) << int('7') << 0;
        QTest::newRow("ctrl+alt+q") << int(Qt::Key_Q) << (ct | al) << int(XK_Q) << int('Q') << (C | A);
        QTest::newRow("f12") << int(Qt::Key_F12) << 0 << 96 << int(VK_F1 + 11) << 0;
        QTest::newRow("page down") << int(Qt::Key_PageDown) << sh << 117 << int(VK_NEXT) << S;
        QTest::newRow("space") << int(Qt::Key_Space) << ct << 65 << int(VK_SPACE) << C;
    }
    void translate() {
        QFETCH(int, qtKey);
        QFETCH(int, mods);
        QFETCH(int, scan);
        QFETCH(int, vk);
        QFETCH(int, shift);
        const QKeyEvent ev = Press(qtKey, Qt::KeyboardModifiers(mods), quint32(scan));
        uint16_t key = 0xFFFF;
        TShiftState ss;
        QCOMPARE(KeyEventToVirtualKey(ev, key, ss), vk != 0);
        QCOMPARE(int(key), vk);
        QCOMPARE(int(ss.ToMask()), shift);
    }

    void untranslatableKeysGiveZero() {
        uint16_t key = 0xFFFF;
        TShiftState ss;
        QVERIFY(!KeyEventToVirtualKey(Press(Qt::Key_unknown, Qt::ControlModifier), key, ss));
        QCOMPARE(key, uint16_t(0));
        QCOMPARE(ss, TShiftState{ssCtrl});
        QVERIFY(!KeyEventToVirtualKey(Press(0x041B, Qt::NoModifier), key, ss)); // no keycode
        QVERIFY(!KeyEventToVirtualKey(Press(Qt::Key_LaunchMail, Qt::NoModifier), key, ss));
    }

    // The events of a real Ctrl+K, Ctrl+L typed on a Russian layout reach the default command.
    void sequenceOnNonLatinLayout() {
        TLexEditKeyStrokes keys;
        keys.ResetDefaults();
        uint16_t last = 0;
        TShiftState lastShift;
        const auto run = [&](const QKeyEvent &ev) {
            uint16_t key;
            TShiftState ss;
            KeyEventToVirtualKey(ev, key, ss);
            return TranslateKeyCode(keys, key, ss, last, lastShift);
        };
        QCOMPARE(run(Press(0x041B /* Л */, Qt::ControlModifier, XK_K)), ecNone);
        QCOMPARE(run(Press(0x0414 /* Д */, Qt::ControlModifier, XK_L)), ecLowerCase);
        // Pressing Shift on its own in between cancels the sequence.
        QCOMPARE(run(Press(Qt::Key_K, Qt::ControlModifier, XK_K)), ecNone);
        QCOMPARE(run(Press(Qt::Key_Shift, Qt::ControlModifier, 50)), ecNone);
        QCOMPARE(run(Press(Qt::Key_L, Qt::ControlModifier, XK_L)), ecNone);
        // Ctrl+Shift+1 on a US keyboard arrives as '!' and sets marker 1.
        QCOMPARE(run(Press(Qt::Key_Exclam, Qt::ControlModifier | Qt::ShiftModifier, XK_1)), ecSetMarker1);
        QCOMPARE(run(Press(Qt::Key_Backtab, Qt::ShiftModifier, 23)), ecShiftTab);
        QCOMPARE(run(Press(Qt::Key_Enter, Qt::KeypadModifier, 104)), ecLineBreak);
    }

    void virtualKeysShowAsQtKeys() {
        QCOMPARE(VirtualKeyToQtKey('A'), int(Qt::Key_A));
        QCOMPARE(VirtualKeyToQtKey(VK_RETURN), int(Qt::Key_Return));
        QCOMPARE(VirtualKeyToQtKey(VK_OEM_2), int(Qt::Key_Slash));
        QCOMPARE(VirtualKeyToQtKey(VK_DIVIDE), int(Qt::Key_Slash) | int(Qt::KeypadModifier));
        QCOMPARE(VirtualKeyToQtKey(VK_F1 + 23), int(Qt::Key_F24));
        QCOMPARE(VirtualKeyToQtKey(250), 0);
        // Every code a key event can produce has a display key.
        for (quint32 scan = 8; scan < 256; ++scan)
            if (const uint16_t vk = ScanCodeToVirtualKey(scan))
                QVERIFY2(VirtualKeyToQtKey(vk) != 0, qPrintable(QString::number(vk)));
    }
};

QTEST_GUILESS_MAIN(TestLexEditKeyTranslate)
#include "tst_lexeditkeycmds_translate.moc"
