// SPDX-License-Identifier: MIT
#pragma once
// TProcessTimer: the runner's one-second clock. A QTimer on the GUI thread ticks once
// a second while a run is in progress; every tick increments both counters atomically and
// signals the event the worker waits on. The worker holds the shared core (counters and event)
// by shared pointer, so it never refers to the component's timer object itself.
//
// No class-wide registry of timer identifiers is needed: the QTimer's signal is connected to its
// own TProcessTimer.

#include "posix/Posix.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <cstdint>
#include <memory>

namespace runner {

// What the worker shares with the clock.
struct TProcessTimerCore {
    std::atomic<int32_t> FSinceBeginning{0};
    std::atomic<int32_t> FSinceLastOutput{0};
    posix::TEvent FEvent; // auto reset; signalled on every tick

    int32_t SinceBeginning() const { return FSinceBeginning.load(std::memory_order_relaxed); }
    int32_t SinceLastOutput() const { return FSinceLastOutput.load(std::memory_order_relaxed); }
    // Called by the worker for every completed output line.
    void NewOutput() { FSinceLastOutput.store(0, std::memory_order_relaxed); }
};

class TProcessTimer {
public:
    TProcessTimer();
    ~TProcessTimer(); // stops the timer
    TProcessTimer(const TProcessTimer &) = delete;
    TProcessTimer &operator=(const TProcessTimer &) = delete;

    // Both counters to 0, then Enabled := true. Raises EProcessTimer "could not start timer".
    void Beginning();
    // Enabled := false. Raises EProcessTimer "could not kill timer".
    void Ending();
    void NewOutput() { FCore->NewOutput(); }
    int32_t SinceBeginning() const { return FCore->SinceBeginning(); }
    int32_t SinceLastOutput() const { return FCore->SinceLastOutput(); }
    bool Enabled() const { return FEnabled; }
    void SetEnabled(bool AValue);
    // One tick: increments both counters and signals the event.
    void MyTimer();
    const std::shared_ptr<TProcessTimerCore> &Core() const { return FCore; }

private:
    bool FEnabled = false;
    std::shared_ptr<TProcessTimerCore> FCore;
    QTimer FTimer;
};

} // namespace runner
