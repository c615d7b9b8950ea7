// SPDX-License-Identifier: MIT
#include "runner/TerminationSignals.h"

#include "common/Exception.h"
#include "posix/Posix.h"

#include <QSocketNotifier>

namespace runner {

TTerminationSignals::TTerminationSignals(THandler AOnSignal, QObject *AParent)
    : QObject(AParent), FOnSignal(std::move(AOnSignal)) {
    int err = 0;
    FReadFd = posix::InstallTerminationHandlers(err);
    if (FReadFd == -2) throw common::EAssertionFailed();
    if (FReadFd < 0)
        throw common::Exception(QStringLiteral("Cannot watch for signals: %1").arg(posix::ErrorText(err)));
    FNotifier = new QSocketNotifier(FReadFd, QSocketNotifier::Read, this);
    connect(FNotifier, &QSocketNotifier::activated, this, [this] { Drain(); });
}

TTerminationSignals::~TTerminationSignals() {
    delete FNotifier;
    posix::RemoveTerminationHandlers();
}

void TTerminationSignals::Drain() {
    for (int sig; (sig = posix::TakeTerminationSignal(FReadFd)) > 0;)
        if (FOnSignal) common::Guarded([&] { FOnSignal(sig); });
}

} // namespace runner
