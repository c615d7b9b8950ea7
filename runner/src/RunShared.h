#pragma once
// What one run shares between its worker and the GUI thread: the queue of posted calls
// (batched: one post carries everything one read produced), the bound on undelivered output,
// and the synchronous question OnTerminateProcess. Plus the GUI-side state of the run's
// delivery (touched on the GUI thread only).

#include "posix/Posix.h"
#include "runner/ConsoleCommand.h"

#include <QObject>
#include <QPointer>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace runner {

// One posted call.
struct TRunEvent {
    enum TKind : uint8_t {
        rkChars,        // OnNewChar for every character of Text, in order
        rkLine,         // DoLinesAdd(Text) (Lines, OutputLines), then OnNewLine(Text, otEntireLine)
        rkPartial,      // OnNewLine(Text, otBeginningOfLine)
        rkProcessInfo,  // ProcessInformation := (A: pidfd, B: pid)
        rkAskTerminate, // OnTerminateProcess; the worker waits for the answer
        rkTerminated    // the worker has ended: ThreadTerminated
    };
    TKind Kind;
    int64_t A = 0;
    int64_t B = 0;
    QString Text;

    TRunEvent(TKind AKind, QString AText) : Kind(AKind), Text(std::move(AText)) {}
    TRunEvent(TKind AKind, int64_t AA, int64_t AB) : Kind(AKind), A(AA), B(AB) {}
    // Estimated memory an undelivered event holds.
    size_t Cost() const {
        return sizeof(TRunEvent) + (Text.isEmpty() ? 0 : 32 + 2 * static_cast<size_t>(Text.size()));
    }
};

// The handlers and lists of a run, taken at Execute (GUI thread only).
struct TRunHandlers {
    TNewLineEvent OnNewLine;
    TNewCharEvent OnNewChar;
    TTerminateProcessEvent OnTerminateProcess;
    QStringList *OutputLines = nullptr;
};

class TRunShared {
public:
    // Past this much undelivered output the worker stops reading: the child then waits on a
    // full pipe and nothing is lost.
    static constexpr size_t kUndeliveredLimit = 8u * 1024u * 1024u;

    explicit TRunShared(QObject *ASink) : FSink(ASink) {}

    // Worker: appends the batch (emptied) and posts a call to the GUI thread unless one is
    // pending.
    void Post(std::vector<TRunEvent> &ABatch, size_t ACost);
    // Worker: whether undelivered output is past the bound; if so, the GUI signals Drained()
    // once it has delivered enough.
    bool MustPause();
    // Worker: posts the question (after everything posted before) and waits for the answer or
    // for cancellation (destruction of the component: the answer is then true).
    bool AskCanTerminate(std::vector<TRunEvent> &ABatch, size_t ACost);
    posix::TEvent &Drained() { return FDrained; }

    // GUI: takes everything posted so far (appending to AInto); false when nothing was there, in
    // which case no post is pending any more.
    bool Take(std::vector<TRunEvent> &AInto);
    // GUI: ACost bytes have been delivered.
    void Delivered(size_t ACost);
    // GUI: the answer to AskCanTerminate.
    void Answer(bool ACanTerminate);
    // GUI: cancels every wait of the worker (destruction).
    void Cancel();
    // GUI: posts another call (a delivery that stopped to let the event loop breathe).
    void Repost();
    size_t PeakUndelivered() const;

    // GUI-thread-only state of the delivery.
    TRunHandlers FHandlers;
    bool FComponentAlive = true;
    bool FInDelivery = false;
    std::vector<TRunEvent> FCurrent; // taken, being delivered
    size_t FCurrentIndex = 0;

private:
    void PostCall();

    QObject *FSink; // the component's sink; lives as long as the component
    mutable std::mutex FLock;
    std::condition_variable FAnswered;
    std::vector<TRunEvent> FQueue;
    size_t FUndelivered = 0;
    size_t FPeakUndelivered = 0;
    bool FPostPending = false;
    bool FWorkerPaused = false;
    bool FAnswerReady = false;
    bool FCanTerminate = true;
    bool FCancelled = false;
    posix::TEvent FDrained;
};

// The QObject the worker posts to; lives on the component's thread as the component's child.
class TRunSink : public QObject {
    Q_OBJECT
public:
    explicit TRunSink(TConsoleCommand *AOwner) : QObject(AOwner), FOwner(AOwner) {}
    Q_INVOKABLE void Deliver();

private:
    TConsoleCommand *FOwner;
};

} // namespace runner
