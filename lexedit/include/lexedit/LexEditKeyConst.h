// SPDX-License-Identifier: MIT
#pragma once
// Virtual-key codes used by the keystroke table, and the translation of Qt key events into
// them. The codes do not depend on the keyboard layout: digits and punctuation are taken from
// the physical key, letters from the key's Latin letter (or its physical key on layouts without
// Latin letters).

#include "lexedit/LexEditKeyCmds.h"

#include <Qt>

#include <cstdint>

class QKeyEvent;

namespace lexedit {

inline constexpr uint16_t VK_BACK = 8;
inline constexpr uint16_t VK_TAB = 9;
inline constexpr uint16_t VK_CLEAR = 12;
inline constexpr uint16_t VK_RETURN = 13;
inline constexpr uint16_t VK_SHIFT = 16;
inline constexpr uint16_t VK_CONTROL = 17;
inline constexpr uint16_t VK_MENU = 18; // Alt
inline constexpr uint16_t VK_PAUSE = 19;
inline constexpr uint16_t VK_CAPITAL = 20;
inline constexpr uint16_t VK_ESCAPE = 27;
inline constexpr uint16_t VK_SPACE = 32;
inline constexpr uint16_t VK_PRIOR = 33; // Page Up
inline constexpr uint16_t VK_NEXT = 34;  // Page Down
inline constexpr uint16_t VK_END = 35;
inline constexpr uint16_t VK_HOME = 36;
inline constexpr uint16_t VK_LEFT = 37;
inline constexpr uint16_t VK_UP = 38;
inline constexpr uint16_t VK_RIGHT = 39;
inline constexpr uint16_t VK_DOWN = 40;
inline constexpr uint16_t VK_SNAPSHOT = 44;
inline constexpr uint16_t VK_INSERT = 45;
inline constexpr uint16_t VK_DELETE = 46;
inline constexpr uint16_t VK_HELP = 47;
// '0'..'9' are 48..57, 'A'..'Z' are 65..90.
inline constexpr uint16_t VK_LWIN = 91;
inline constexpr uint16_t VK_RWIN = 92;
inline constexpr uint16_t VK_APPS = 93;
inline constexpr uint16_t VK_NUMPAD0 = 96; // ..VK_NUMPAD9 = 105
inline constexpr uint16_t VK_MULTIPLY = 106;
inline constexpr uint16_t VK_ADD = 107;
inline constexpr uint16_t VK_SEPARATOR = 108;
inline constexpr uint16_t VK_SUBTRACT = 109;
inline constexpr uint16_t VK_DECIMAL = 110;
inline constexpr uint16_t VK_DIVIDE = 111;
inline constexpr uint16_t VK_F1 = 112; // ..VK_F24 = 135
inline constexpr uint16_t VK_F24 = 135;
inline constexpr uint16_t VK_NUMLOCK = 144;
inline constexpr uint16_t VK_SCROLL = 145;
inline constexpr uint16_t VK_OEM_1 = 186;      // ;:  (US layout)
inline constexpr uint16_t VK_OEM_PLUS = 187;   // =+
inline constexpr uint16_t VK_OEM_COMMA = 188;  // ,<
inline constexpr uint16_t VK_OEM_MINUS = 189;  // -_
inline constexpr uint16_t VK_OEM_PERIOD = 190; // .>
inline constexpr uint16_t VK_OEM_2 = 191;      // /?
inline constexpr uint16_t VK_OEM_3 = 192;      // `~
inline constexpr uint16_t VK_OEM_4 = 219;      // [{
inline constexpr uint16_t VK_OEM_5 = 220;      // \|
inline constexpr uint16_t VK_OEM_6 = 221;      // ]}
inline constexpr uint16_t VK_OEM_7 = 222;      // '"
inline constexpr uint16_t VK_OEM_102 = 226;    // the extra key left of Z on ISO keyboards

// The virtual-key code and shift state of a key event. Returns false (and key 0) for a key
// that has no code; the shift state is filled in either way.
//  - Shift+Tab (Qt::Key_Backtab) is Tab with Shift; Return and keypad Enter are VK_RETURN.
//  - Shift, Ctrl, Alt and AltGr themselves give 16, 17, 18 and 18 (so that they end a pending
//    two-key sequence).
//  - Keypad digits and operators keep their keypad codes; keypad navigation keys (NumLock off)
//    are the ordinary navigation keys.
//  - Digits and punctuation come from the physical key (the X keycode in nativeScanCode()),
//    because X11 and Wayland report the shifted or layout symbol; without a known keycode the
//    symbol is read as on a US keyboard ('!' is 1, '?' is the slash key).
//  - Latin letters come from the key's letter; other letters from the physical key.
//  - A key typed on the AltGr level (Qt::GroupSwitchModifier) does not count as Ctrl+Alt.
bool KeyEventToVirtualKey(const QKeyEvent &AEvent, uint16_t &AKey, TShiftState &AShift);
// The shift state of Qt keyboard modifiers (Shift, Ctrl, Alt; AltGr counts as neither).
TShiftState ModifiersToShiftState(Qt::KeyboardModifiers AModifiers);
// The virtual-key code of the physical key with the X keycode AScanCode (evdev code + 8) for
// the keys whose meaning depends on the layout (digits, letters, punctuation); 0 otherwise.
uint16_t ScanCodeToVirtualKey(quint32 AScanCode);
// The Qt key (with Qt::KeypadModifier for keypad keys) that shows a virtual-key code in key
// sequence texts; 0 when there is none.
int VirtualKeyToQtKey(uint16_t AKey);

} // namespace lexedit
