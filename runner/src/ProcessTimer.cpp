// SPDX-License-Identifier: MIT
#include "ProcessTimer.h"

#include "runner/ConsoleCommand.h"

namespace runner {

TProcessTimer::TProcessTimer() : FCore(std::make_shared<TProcessTimerCore>()) {
    FTimer.setInterval(1000);
    FTimer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&FTimer, &QTimer::timeout, [this] { MyTimer(); });
}

TProcessTimer::~TProcessTimer() {
    FTimer.stop();
    FEnabled = false;
}

void TProcessTimer::Beginning() {
    FCore->FSinceBeginning.store(0);
    FCore->FSinceLastOutput.store(0);
    FCore->FEvent.Reset();
    SetEnabled(true);
}

void TProcessTimer::Ending() {
    SetEnabled(false);
}

void TProcessTimer::SetEnabled(bool AValue) {
    if (AValue == FEnabled) return;
    FEnabled = AValue;
    if (AValue) {
        FTimer.start();
        // QTimer refuses to start without an event loop thread (it warns and stays inactive).
        if (!FTimer.isActive()) {
            FEnabled = false;
            throw EProcessTimer(QStringLiteral("could not start timer"));
        }
    } else {
        FTimer.stop();
        if (FTimer.isActive()) throw EProcessTimer(QStringLiteral("could not kill timer"));
    }
}

void TProcessTimer::MyTimer() {
    FCore->FSinceBeginning.fetch_add(1);
    FCore->FSinceLastOutput.fetch_add(1);
    FCore->FEvent.Signal();
}

} // namespace runner
