// SPDX-License-Identifier: MIT
#pragma once
// What one run shares between its worker and the GUI thread: the queue of posted calls
// (batched: one post carries everything one read produced), the bound on undelivered output,
// and the synchronous question OnTerminateProcess. The GUI thread's side of the delivery is
// TRunDelivery (RunDelivery.h).

#include "posix/Posix.h"
#include "runner/ConsoleCommand.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QString>

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <vector>

namespace runner {

// Where one entire line lies in the batch's chunk.
struct TLineSpan {
    int32_t Offset;
    int32_t Length;
};

// One posted call. A line or run of characters that lies inside the batch's chunk (the decoded
// text of one read) is given by offset and length, so the worker allocates nothing per line; the
// GUI thread makes each line's string itself. Consecutive such lines share one event (rkLines)
// and take 8 bytes each in the batch's Spans.
struct TRunEvent {
    enum TKind : uint8_t {
        rkChars,        // OnNewChar for every character of the text, in order
        rkLine,         // DoLinesAdd(text) (Lines, OutputLines), then OnNewLine(text, otEntireLine)
        rkLines,        // rkLine for each of Spans[Offset, Offset + Length), texts in the chunk
        rkPartial,      // OnNewLine(text, otBeginningOfLine)
        rkProcessInfo,  // ProcessInformation := (Offset: pidfd, Length: pid)
        rkAskTerminate, // OnTerminateProcess; the worker waits for the answer
        rkTerminated    // the worker has ended: ThreadTerminated
    };
    TKind Kind;
    bool InChunk = false; // the text is Chunk[Offset, Offset + Length), else Text
    int32_t Offset = 0;
    int32_t Length = 0;
    QString Text;

    TRunEvent(TKind AKind, QString AText) : Kind(AKind), Text(std::move(AText)) {}
    TRunEvent(TKind AKind, int32_t AOffset, int32_t ALength, bool AInChunk)
        : Kind(AKind), InChunk(AInChunk), Offset(AOffset), Length(ALength) {}
};

// Everything one read (or one echo, or the end of the run) produced, posted at once.
struct TRunBatch {
    QString Chunk;
    bool OwnChunk = false; // Chunk was decoded by the runner itself (its buffer may be reused)
    std::vector<TRunEvent> Events;
    std::vector<TLineSpan> Spans; // the lines of the rkLines events
    // What Post added to the count of undelivered output for this batch; delivery subtracts
    // exactly this, whatever the batch holds (its own texts are counted by the worker).
    size_t PostedCost = 0;
    // Estimated memory the batch holds while undelivered.
    size_t Cost() const {
        return sizeof(TRunBatch) + 2 * static_cast<size_t>(Chunk.size()) + Events.size() * sizeof(TRunEvent) +
               Spans.size() * sizeof(TLineSpan);
    }
};

class TRunShared {
public:
    // Past this much undelivered output the worker stops reading: the child then waits on a
    // full pipe and nothing is lost.
    static constexpr size_t kUndeliveredLimit = 8u * 1024u * 1024u;
    // The worker also waits while this much is posted and not yet taken by the GUI thread: it
    // then reads again as soon as the GUI takes the queue, in large chunks, and the buffers of
    // delivered batches come back to it (still warm in the cache) instead of new memory being
    // touched for output that only waits.
    static constexpr size_t kAheadLimit = 512u * 1024u;

    TRunShared() = default;
    // The event the GUI thread's loop watches; the GUI resets it before each delivery.
    posix::TEvent &GuiWake() { return FGuiWake; }

    // Worker: appends the batch and posts a call to the GUI thread unless one is pending. ABatch
    // is then empty, or a delivered batch whose buffers (events, spans, an own chunk) are reused.
    // ACost: bytes of own texts not counted by the batch itself.
    void Post(TRunBatch &ABatch, size_t ACost);
    // Worker: whether undelivered output is past the bound, or the GUI thread has not taken what
    // is posted and that is past kAheadLimit; if so, the GUI signals Wake() once it has
    // delivered enough and taken the queue.
    bool MustPause();
    // Worker: posts the question (after everything posted before) and waits for the answer or
    // for cancellation (destruction of the component: the answer is then true).
    bool AskCanTerminate(TRunBatch &ABatch, size_t ACost);
    // The one event the worker waits on besides the pipes and the child: a stop, queued input,
    // enough output delivered. Each waking reason is a state the worker tests after every wait.
    posix::TEvent &Wake() { return FWake; }

    // GUI: takes everything posted so far (into the empty AInto); false when nothing was there,
    // in which case no post is pending any more.
    bool Take(std::vector<TRunBatch> &AInto);
    // GUI: ACost bytes have been delivered; ASpare: delivered batches whose buffers the worker
    // may reuse (taken).
    void Delivered(size_t ACost, std::vector<TRunBatch> &ASpare);
    // Once the worker is gone: frees the batches kept for reuse (their buffers grow with a
    // flood of output) and the queue's storage, which no later run uses.
    void ReleaseBuffers();
    // GUI: the answer to AskCanTerminate.
    void Answer(bool ACanTerminate);
    // GUI: cancels every wait of the worker (destruction).
    void Cancel();
    // GUI: posts another call (a delivery that stopped to let the event loop breathe).
    void Repost();
    size_t PeakUndelivered() const;
    // Output posted and not yet delivered (0 whenever no run is going).
    size_t Undelivered() const;

private:
    void PostCall();

    // Wakes the GUI thread: an eventfd its event loop watches (TRunSink). The worker only
    // writes to it; the queue itself is guarded by FLock alone, so no synchronisation of the
    // hand-off is hidden inside Qt.
    posix::TEvent FGuiWake;
    mutable std::mutex FLock;
    std::condition_variable FAnswered;
    std::vector<TRunBatch> FQueue;
    std::vector<TRunBatch> FSpare; // delivered batches, kept for their buffers
    bool CanResume() const;        // under FLock
    size_t FUndelivered = 0;
    size_t FQueued = 0; // cost of FQueue
    size_t FPeakUndelivered = 0;
    bool FPostPending = false;
    bool FWorkerPaused = false;
    bool FAnswerReady = false;
    bool FCanTerminate = true;
    bool FCancelled = false;
    posix::TEvent FWake;
};

// The GUI thread's end of the hand-off: watches the current run's wake event in the component's
// event loop and runs the delivery when it is signalled. A child of the component.
class TRunSink : public QObject {
    Q_OBJECT
public:
    explicit TRunSink(TConsoleCommand *AOwner) : QObject(AOwner), FOwner(AOwner) {}
    // Watches AShared's wake event from now on (the previous run's is dropped). AShared lives as
    // long as the component holds it, which is longer than the watch.
    void Watch(TRunShared &AShared);

private:
    TConsoleCommand *FOwner;
    QSocketNotifier *FNotifier = nullptr; // child of this
};

} // namespace runner
