// SPDX-License-Identifier: MIT
#pragma once
// Scope guards for the Begin/End brackets of the project (update locks, buffer update brackets,
// undo blocks, drawing phases) and for values set for the duration of a call.

#include <exception>
#include <utility>

namespace common {

// Opens a bracket on construction (Begin, with the constructor's further arguments) and closes
// it on destruction (End). An End that throws propagates, except while another exception is
// already leaving the scope: that one is passed on and the second is dropped, instead of ending
// the process.
//
//     using UpdateLock = common::BracketGuard<TEdit, &TEdit::BeginUpdate, &TEdit::EndUpdate>;
template <typename T, auto Begin, auto End> class BracketGuard {
public:
    template <typename... Args>
    explicit BracketGuard(T &AObject, Args &&...AArgs)
        : FObject(AObject), FUncaught(std::uncaught_exceptions()) {
        (FObject.*Begin)(std::forward<Args>(AArgs)...);
    }
    ~BracketGuard() noexcept(false) {
        if (std::uncaught_exceptions() > FUncaught) {
            try {
                (FObject.*End)();
            } catch (...) {
            }
        } else {
            (FObject.*End)();
        }
    }
    BracketGuard(const BracketGuard &) = delete;
    BracketGuard &operator=(const BracketGuard &) = delete;

private:
    T &FObject;
    int FUncaught;
};

// Gives AVariable the value AValue for the lifetime of the guard; the previous value comes back
// when the guard ends, also when an exception leaves the scope.
template <typename T> class ScopedValue {
public:
    ScopedValue(T &AVariable, T AValue)
        : FVariable(AVariable), FSaved(std::exchange(AVariable, std::move(AValue))) {}
    ~ScopedValue() { FVariable = std::move(FSaved); }
    ScopedValue(const ScopedValue &) = delete;
    ScopedValue &operator=(const ScopedValue &) = delete;

private:
    T &FVariable;
    T FSaved;
};

} // namespace common
