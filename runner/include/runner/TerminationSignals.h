// SPDX-License-Identifier: MIT
#pragma once
// TTerminationSignals: turns SIGINT, SIGTERM and SIGHUP into a call on the thread that created
// the watcher, through its event loop. The signal handler itself only writes the signal's
// number into a pipe; everything else (stopping a run, writing what it printed, leaving the
// event loop) happens in the handler given here, where anything may be done.

#include <QObject>

#include <functional>
#include <memory>

class QSocketNotifier;

namespace runner {

class TTerminationSignals : public QObject {
    Q_OBJECT
public:
    using THandler = std::function<void(int ASignal)>;
    // Installs the handlers; at most one watcher exists at a time (a second one raises
    // common::EAssertionFailed). A failure to make the pipe raises common::Exception.
    explicit TTerminationSignals(THandler AOnSignal, QObject *AParent = nullptr);
    // The three signals get their default actions back.
    ~TTerminationSignals() override;
    TTerminationSignals(const TTerminationSignals &) = delete;
    TTerminationSignals &operator=(const TTerminationSignals &) = delete;

    // The exit status a shell reports for a process ended by ASignal: 128 + the signal.
    static int ExitStatusFor(int ASignal) { return 128 + ASignal; }

private:
    void Drain();

    THandler FOnSignal;
    int FReadFd = -1;
    QSocketNotifier *FNotifier = nullptr; // child of this
};

} // namespace runner
