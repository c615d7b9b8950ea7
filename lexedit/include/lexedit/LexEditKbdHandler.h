// SPDX-License-Identifier: MIT
#pragma once
// Handler chains through which plug-ins see the editor's key and mouse events before the
// editor acts on them.

#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditTypes.h"

#include <QChar>
#include <Qt>

#include <cstdint>
#include <functional>
#include <utility>
#include <vector>

class QObject;

namespace lexedit {

enum TMouseButton : uint8_t { mbLeft, mbRight, mbMiddle };

// Key down / key up: the handler may set AKey to 0 to consume the key.
using TKeyEvent = std::function<void(QObject *Sender, uint16_t &AKey, TShiftState AShift)>;
// Key press: the handler may set AKey to NUL to consume the character.
using TKeyPressEvent = std::function<void(QObject *Sender, QChar &AKey)>;
using TMouseEvent =
    std::function<void(QObject *Sender, TMouseButton AButton, TShiftState AShift, int X, int Y)>;
using TMouseCursorEvent =
    std::function<void(QObject *Sender, const TBufferCoord &aLineCharPos, Qt::CursorShape &aCursor)>;

// Identifies one registration in a handler chain.
using TLexHandlerId = uint64_t;

// A list of handlers. Every Add is a registration of its own (adding the same function twice
// makes it run twice); Remove takes the id that Add returned.
template <typename Handler> class TMethodList {
public:
    TLexHandlerId Add(Handler AHandler) {
        const TLexHandlerId id = ++FLastId;
        FData.emplace_back(id, std::move(AHandler));
        return id;
    }
    // False when the id is not (or no longer) registered.
    bool Remove(TLexHandlerId AId) {
        for (auto it = FData.rbegin(); it != FData.rend(); ++it) {
            if (it->first == AId) {
                FData.erase(std::next(it).base());
                return true;
            }
        }
        return false;
    }
    bool Contains(TLexHandlerId AId) const {
        for (const auto &e : FData)
            if (e.first == AId) return true;
        return false;
    }
    int Count() const { return int(FData.size()); }
    // Calls the handlers from the most recently added to the first, over a copy of the list:
    // a handler may add or remove handlers (itself included). A handler removed during the walk
    // is not called any more; one added during the walk is called from the next walk on.
    // AContinue is asked after each handler; false stops the walk.
    template <typename Call, typename Continue> void Walk(Call &&ACall, Continue &&AContinue) const {
        const std::vector<std::pair<TLexHandlerId, Handler>> snapshot = FData;
        for (auto it = snapshot.rbegin(); it != snapshot.rend(); ++it) {
            if (!Contains(it->first) || !it->second) continue;
            ACall(it->second);
            if (!AContinue()) return;
        }
    }

private:
    std::vector<std::pair<TLexHandlerId, Handler>> FData;
    TLexHandlerId FLastId = 0;
};

class TLexEditKbdHandler {
public:
    TLexEditKbdHandler() = default;
    TLexEditKbdHandler(const TLexEditKbdHandler &) = delete;
    TLexEditKbdHandler &operator=(const TLexEditKbdHandler &) = delete;

    TLexHandlerId AddKeyDownHandler(TKeyEvent AHandler) { return fKeyDownChain.Add(std::move(AHandler)); }
    TLexHandlerId AddKeyUpHandler(TKeyEvent AHandler) { return fKeyUpChain.Add(std::move(AHandler)); }
    TLexHandlerId AddKeyPressHandler(TKeyPressEvent AHandler) {
        return fKeyPressChain.Add(std::move(AHandler));
    }
    TLexHandlerId AddMouseDownHandler(TMouseEvent AHandler) {
        return fMouseDownChain.Add(std::move(AHandler));
    }
    TLexHandlerId AddMouseUpHandler(TMouseEvent AHandler) { return fMouseUpChain.Add(std::move(AHandler)); }
    TLexHandlerId AddMouseCursorHandler(TMouseCursorEvent AHandler) {
        return fMouseCursorChain.Add(std::move(AHandler));
    }
    bool RemoveKeyDownHandler(TLexHandlerId AId) { return fKeyDownChain.Remove(AId); }
    bool RemoveKeyUpHandler(TLexHandlerId AId) { return fKeyUpChain.Remove(AId); }
    bool RemoveKeyPressHandler(TLexHandlerId AId) { return fKeyPressChain.Remove(AId); }
    bool RemoveMouseDownHandler(TLexHandlerId AId) { return fMouseDownChain.Remove(AId); }
    bool RemoveMouseUpHandler(TLexHandlerId AId) { return fMouseUpChain.Remove(AId); }
    bool RemoveMouseCursorHandler(TLexHandlerId AId) { return fMouseCursorChain.Remove(AId); }

    // Each runs its chain from the most recently added handler to the first. A nested call of
    // the same chain (from inside one of its handlers) does nothing. The key chains stop as
    // soon as a handler has set the key to 0 (NUL for key press).
    void ExecuteKeyDown(QObject *Sender, uint16_t &AKey, TShiftState AShift);
    void ExecuteKeyUp(QObject *Sender, uint16_t &AKey, TShiftState AShift);
    void ExecuteKeyPress(QObject *Sender, QChar &AKey);
    void ExecuteMouseDown(QObject *Sender, TMouseButton AButton, TShiftState AShift, int X, int Y);
    void ExecuteMouseUp(QObject *Sender, TMouseButton AButton, TShiftState AShift, int X, int Y);
    void ExecuteMouseCursor(QObject *Sender, const TBufferCoord &aLineCharPos, Qt::CursorShape &aCursor);

    const TMethodList<TKeyEvent> &KeyDownChain() const { return fKeyDownChain; }
    const TMethodList<TKeyEvent> &KeyUpChain() const { return fKeyUpChain; }
    const TMethodList<TKeyPressEvent> &KeyPressChain() const { return fKeyPressChain; }
    const TMethodList<TMouseEvent> &MouseDownChain() const { return fMouseDownChain; }
    const TMethodList<TMouseEvent> &MouseUpChain() const { return fMouseUpChain; }
    const TMethodList<TMouseCursorEvent> &MouseCursorChain() const { return fMouseCursorChain; }

private:
    TMethodList<TKeyPressEvent> fKeyPressChain;
    TMethodList<TKeyEvent> fKeyDownChain;
    TMethodList<TKeyEvent> fKeyUpChain;
    TMethodList<TMouseEvent> fMouseDownChain;
    TMethodList<TMouseEvent> fMouseUpChain;
    TMethodList<TMouseCursorEvent> fMouseCursorChain;
    bool fInKeyPress = false;
    bool fInKeyDown = false;
    bool fInKeyUp = false;
    bool fInMouseDown = false;
    bool fInMouseUp = false;
    bool fInMouseCursor = false;
};

} // namespace lexedit
