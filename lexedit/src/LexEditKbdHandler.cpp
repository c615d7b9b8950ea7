// SPDX-License-Identifier: MIT
#include "lexedit/LexEditKbdHandler.h"

namespace lexedit {

namespace {

// Sets a re-entrancy flag for the lifetime of the guard, also when a handler throws.
class TReentryGuard {
public:
    explicit TReentryGuard(bool &AFlag) : FFlag(AFlag) { FFlag = true; }
    ~TReentryGuard() { FFlag = false; }
    TReentryGuard(const TReentryGuard &) = delete;
    TReentryGuard &operator=(const TReentryGuard &) = delete;

private:
    bool &FFlag;
};

constexpr auto Always = [] { return true; };

} // namespace

void TLexEditKbdHandler::ExecuteKeyDown(QObject *Sender, uint16_t &AKey, TShiftState AShift) {
    if (fInKeyDown) return;
    TReentryGuard guard(fInKeyDown);
    fKeyDownChain.Walk([&](const TKeyEvent &h) { h(Sender, AKey, AShift); }, [&] { return AKey != 0; });
}

void TLexEditKbdHandler::ExecuteKeyUp(QObject *Sender, uint16_t &AKey, TShiftState AShift) {
    if (fInKeyUp) return;
    TReentryGuard guard(fInKeyUp);
    fKeyUpChain.Walk([&](const TKeyEvent &h) { h(Sender, AKey, AShift); }, [&] { return AKey != 0; });
}

void TLexEditKbdHandler::ExecuteKeyPress(QObject *Sender, QChar &AKey) {
    if (fInKeyPress) return;
    TReentryGuard guard(fInKeyPress);
    fKeyPressChain.Walk([&](const TKeyPressEvent &h) { h(Sender, AKey); }, [&] { return !AKey.isNull(); });
}

void TLexEditKbdHandler::ExecuteMouseDown(QObject *Sender, TMouseButton AButton, TShiftState AShift, int X,
                                          int Y) {
    if (fInMouseDown) return;
    TReentryGuard guard(fInMouseDown);
    fMouseDownChain.Walk([&](const TMouseEvent &h) { h(Sender, AButton, AShift, X, Y); }, Always);
}

void TLexEditKbdHandler::ExecuteMouseUp(QObject *Sender, TMouseButton AButton, TShiftState AShift, int X,
                                        int Y) {
    if (fInMouseUp) return;
    TReentryGuard guard(fInMouseUp);
    fMouseUpChain.Walk([&](const TMouseEvent &h) { h(Sender, AButton, AShift, X, Y); }, Always);
}

void TLexEditKbdHandler::ExecuteMouseCursor(QObject *Sender, const TBufferCoord &aLineCharPos,
                                            Qt::CursorShape &aCursor) {
    if (fInMouseCursor) return;
    TReentryGuard guard(fInMouseCursor);
    fMouseCursorChain.Walk([&](const TMouseCursorEvent &h) { h(Sender, aLineCharPos, aCursor); }, Always);
}

} // namespace lexedit
