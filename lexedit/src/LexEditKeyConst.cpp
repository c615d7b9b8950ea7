// SPDX-License-Identifier: MIT
// Translation of Qt key events into layout-independent virtual-key codes.

#include "lexedit/LexEditKeyConst.h"

#include <QKeyEvent>

namespace lexedit {

namespace {

struct TKeyPair {
    int QtKey;
    uint16_t Vk;
};

// Keys whose Qt code does not depend on the layout. The first entry of a virtual key is the one
// shown in shortcut texts.
constexpr TKeyPair FixedKeys[] = {
    {Qt::Key_Backspace, VK_BACK},  {Qt::Key_Tab, VK_TAB},           {Qt::Key_Clear, VK_CLEAR},
    {Qt::Key_Return, VK_RETURN},   {Qt::Key_Enter, VK_RETURN},      {Qt::Key_Shift, VK_SHIFT},
    {Qt::Key_Control, VK_CONTROL}, {Qt::Key_Alt, VK_MENU},          {Qt::Key_AltGr, VK_MENU},
    {Qt::Key_Pause, VK_PAUSE},     {Qt::Key_CapsLock, VK_CAPITAL},  {Qt::Key_Escape, VK_ESCAPE},
    {Qt::Key_Space, VK_SPACE},     {Qt::Key_PageUp, VK_PRIOR},      {Qt::Key_PageDown, VK_NEXT},
    {Qt::Key_End, VK_END},         {Qt::Key_Home, VK_HOME},         {Qt::Key_Left, VK_LEFT},
    {Qt::Key_Up, VK_UP},           {Qt::Key_Right, VK_RIGHT},       {Qt::Key_Down, VK_DOWN},
    {Qt::Key_Print, VK_SNAPSHOT},  {Qt::Key_SysReq, VK_SNAPSHOT},   {Qt::Key_Insert, VK_INSERT},
    {Qt::Key_Delete, VK_DELETE},   {Qt::Key_Help, VK_HELP},         {Qt::Key_Meta, VK_LWIN},
    {Qt::Key_Super_L, VK_LWIN},    {Qt::Key_Super_R, VK_RWIN},      {Qt::Key_Menu, VK_APPS},
    {Qt::Key_NumLock, VK_NUMLOCK}, {Qt::Key_ScrollLock, VK_SCROLL},
};

// Punctuation as a US keyboard types it, unshifted and shifted.
constexpr TKeyPair UsSymbols[] = {
    {';', VK_OEM_1},     {':', VK_OEM_1},     {'=', VK_OEM_PLUS},  {'+', VK_OEM_PLUS},   {',', VK_OEM_COMMA},
    {'<', VK_OEM_COMMA}, {'-', VK_OEM_MINUS}, {'_', VK_OEM_MINUS}, {'.', VK_OEM_PERIOD}, {'>', VK_OEM_PERIOD},
    {'/', VK_OEM_2},     {'?', VK_OEM_2},     {'`', VK_OEM_3},     {'~', VK_OEM_3},      {'[', VK_OEM_4},
    {'{', VK_OEM_4},     {'\\', VK_OEM_5},    {'|', VK_OEM_5},     {']', VK_OEM_6},      {'}', VK_OEM_6},
    {'\'', VK_OEM_7},    {'"', VK_OEM_7},     {'!', '1'},          {'@', '2'},           {'#', '3'},
    {'$', '4'},          {'%', '5'},          {'^', '6'},          {'&', '7'},           {'*', '8'},
    {'(', '9'},          {')', '0'},
};

// Keys of the numeric keypad with NumLock on.
constexpr TKeyPair KeypadKeys[] = {
    {Qt::Key_0, VK_NUMPAD0},       {Qt::Key_1, VK_NUMPAD0 + 1},     {Qt::Key_2, VK_NUMPAD0 + 2},
    {Qt::Key_3, VK_NUMPAD0 + 3},   {Qt::Key_4, VK_NUMPAD0 + 4},     {Qt::Key_5, VK_NUMPAD0 + 5},
    {Qt::Key_6, VK_NUMPAD0 + 6},   {Qt::Key_7, VK_NUMPAD0 + 7},     {Qt::Key_8, VK_NUMPAD0 + 8},
    {Qt::Key_9, VK_NUMPAD0 + 9},   {Qt::Key_Asterisk, VK_MULTIPLY}, {Qt::Key_Plus, VK_ADD},
    {Qt::Key_Comma, VK_SEPARATOR}, {Qt::Key_Minus, VK_SUBTRACT},    {Qt::Key_Period, VK_DECIMAL},
    {Qt::Key_Slash, VK_DIVIDE},
};

// Physical keys by X keycode (Linux evdev code + 8), as labelled on a US keyboard.
constexpr TKeyPair PhysicalKeys[] = {
    {10, '1'},      {11, '2'}, {12, '3'},          {13, '4'},           {14, '5'},          {15, '6'},
    {16, '7'},      {17, '8'}, {18, '9'},          {19, '0'},           {20, VK_OEM_MINUS}, {21, VK_OEM_PLUS},
    {24, 'Q'},      {25, 'W'}, {26, 'E'},          {27, 'R'},           {28, 'T'},          {29, 'Y'},
    {30, 'U'},      {31, 'I'}, {32, 'O'},          {33, 'P'},           {34, VK_OEM_4},     {35, VK_OEM_6},
    {38, 'A'},      {39, 'S'}, {40, 'D'},          {41, 'F'},           {42, 'G'},          {43, 'H'},
    {44, 'J'},      {45, 'K'}, {46, 'L'},          {47, VK_OEM_1},      {48, VK_OEM_7},     {49, VK_OEM_3},
    {51, VK_OEM_5}, {52, 'Z'}, {53, 'X'},          {54, 'C'},           {55, 'V'},          {56, 'B'},
    {57, 'N'},      {58, 'M'}, {59, VK_OEM_COMMA}, {60, VK_OEM_PERIOD}, {61, VK_OEM_2},     {94, VK_OEM_102},
};

template <size_t N> uint16_t Lookup(const TKeyPair (&ATable)[N], int AQtKey) {
    for (const TKeyPair &p : ATable)
        if (p.QtKey == AQtKey) return p.Vk;
    return 0;
}

template <size_t N> int ReverseLookup(const TKeyPair (&ATable)[N], uint16_t AVk) {
    for (const TKeyPair &p : ATable)
        if (p.Vk == AVk) return p.QtKey;
    return 0;
}

bool IsLetterOrDigitOrOem(uint16_t AVk) {
    return (AVk >= '0' && AVk <= '9') || (AVk >= 'A' && AVk <= 'Z') || AVk >= VK_OEM_1;
}

uint16_t PrintableKeyToVirtualKey(int AQtKey, quint32 AScanCode, bool AAltGrLevel) {
    if (AQtKey >= Qt::Key_A && AQtKey <= Qt::Key_Z) return uint16_t(AQtKey);
    const uint16_t physical = ScanCodeToVirtualKey(AScanCode);
    const bool physicalIsLetter = physical >= 'A' && physical <= 'Z';
    if (physical != 0 && !physicalIsLetter)
        return physical; // digits and punctuation: whatever the layout prints on the key
    const bool isLetter = AQtKey > 0 && AQtKey <= 0x10FFFF && QChar::isLetter(char32_t(AQtKey));
    // A letter of a non-Latin layout, or a symbol typed with AltGr on a letter key. Other
    // symbols on letter keys (the comma on the French M key) keep their symbol's code.
    if (physicalIsLetter && (isLetter || AAltGrLevel)) return physical;
    if (AQtKey >= Qt::Key_0 && AQtKey <= Qt::Key_9) return uint16_t(AQtKey);
    return Lookup(UsSymbols, AQtKey);
}

} // namespace

TShiftState ModifiersToShiftState(Qt::KeyboardModifiers AModifiers) {
    TShiftState s;
    if (AModifiers & Qt::ShiftModifier) s.Include(ssShift);
    // A character typed on the AltGr level reports the group switch; any Ctrl or Alt that comes
    // with it belongs to AltGr, not to a shortcut.
    if (!(AModifiers & Qt::GroupSwitchModifier)) {
        if (AModifiers & Qt::ControlModifier) s.Include(ssCtrl);
        if (AModifiers & Qt::AltModifier) s.Include(ssAlt);
    }
    return s;
}

uint16_t ScanCodeToVirtualKey(quint32 AScanCode) {
    if (AScanCode == 0 || AScanCode > 255) return 0;
    return Lookup(PhysicalKeys, int(AScanCode));
}

bool KeyEventToVirtualKey(const QKeyEvent &AEvent, uint16_t &AKey, TShiftState &AShift) {
    const int qtKey = AEvent.key();
    const Qt::KeyboardModifiers mods = AEvent.modifiers();
    AShift = ModifiersToShiftState(mods);
    AKey = 0;
    if (qtKey == Qt::Key_Backtab) {
        AKey = VK_TAB;
        AShift.Include(ssShift);
    } else if (qtKey == Qt::Key_AltGr) {
        AKey = VK_MENU;
        AShift.Exclude(ssCtrl).Exclude(ssAlt);
    } else if ((mods & Qt::KeypadModifier) && (AKey = Lookup(KeypadKeys, qtKey)) != 0) {
        // keypad digit or operator
    } else if ((AKey = Lookup(FixedKeys, qtKey)) != 0) {
        // navigation, editing and modifier keys
    } else if (qtKey >= Qt::Key_F1 && qtKey <= Qt::Key_F24) {
        AKey = uint16_t(VK_F1 + (qtKey - Qt::Key_F1));
    } else if (qtKey != 0 && qtKey != Qt::Key_unknown && qtKey < Qt::Key_Escape) {
        AKey = PrintableKeyToVirtualKey(qtKey, AEvent.nativeScanCode(), mods & Qt::GroupSwitchModifier);
    } else {
        // Dead keys and keys Qt cannot name still have a physical position.
        const uint16_t physical = ScanCodeToVirtualKey(AEvent.nativeScanCode());
        if (IsLetterOrDigitOrOem(physical)) AKey = physical;
    }
    return AKey != 0;
}

int VirtualKeyToQtKey(uint16_t AKey) {
    if ((AKey >= '0' && AKey <= '9') || (AKey >= 'A' && AKey <= 'Z')) return AKey;
    if (AKey >= VK_F1 && AKey <= VK_F24) return Qt::Key_F1 + (AKey - VK_F1);
    if (const int k = ReverseLookup(KeypadKeys, AKey)) return k | Qt::KeypadModifier;
    if (const int k = ReverseLookup(FixedKeys, AKey)) return k;
    if (AKey == VK_OEM_102) return Qt::Key_Less;
    return ReverseLookup(UsSymbols, AKey);
}

} // namespace lexedit
