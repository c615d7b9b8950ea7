// SPDX-License-Identifier: MIT
#pragma once
// The GUI thread's side of one run: takes the batches the worker posted and hands each event to
// the component's handlers, in order, for a bounded time per wake; and the end of the run (the
// error of the run, OnTerminated). Every handler runs guarded: what it throws goes to the error
// reporter, with the program's file name as the caption, and the delivery goes on. Lives on the
// GUI thread only.

#include "RunShared.h"
#include "runner/ConsoleCommand.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <exception>
#include <memory>
#include <vector>

namespace runner {

// The handlers and lists of a run, taken at Execute.
struct TRunHandlers {
    TNewLineEvent OnNewLine;
    TNewCharEvent OnNewChar;
    TTerminateProcessEvent OnTerminateProcess;
    QStringList *OutputLines = nullptr; // not owned
    TConsoleLines *KeptLines = nullptr; // the component's Lines, when it keeps them
};

class TRunDelivery {
public:
    // Deliver for at most this long per wake, then let the event loop breathe.
    static constexpr std::chrono::milliseconds kBudget{15};

    // AAlive: false once the component is being destroyed (shared by all its runs' deliveries).
    TRunDelivery(TConsoleCommand &AOwner, std::shared_ptr<const bool> AAlive,
                 std::shared_ptr<TRunShared> AShared, TRunHandlers AHandlers);
    TRunDelivery(const TRunDelivery &) = delete;
    TRunDelivery &operator=(const TRunDelivery &) = delete;

    // Runs the calls posted so far, in order; at the end of the run, the component's
    // ThreadTerminated. The caller holds the delivery alive: a handler may destroy the component.
    // A call from a nested event loop inside a handler does nothing: the outer delivery goes on.
    // Once the component is being destroyed nothing is delivered any more, and a delivery under
    // way stops as soon as the handler it is in returns.
    void Deliver();

    // The end of the run, called by ThreadTerminated. ExecuteError hands the run's error to
    // OnExecuteError, or to the error reporter when no handler took it; false when the handler
    // destroyed the component. Terminated runs OnTerminated.
    bool ExecuteError(const std::exception_ptr &AError);
    void Terminated();
    // For use inside catch (...): reports the exception being handled.
    void ReportCurrentException() const;

private:
    // What delivering one event left to do.
    enum class TStep : uint8_t {
        sNext,     // go on with the next event
        sPause,    // out of budget: the rest in the next call
        sDetached, // a handler destroyed the component: stop at once
        sRunEnded  // the run has ended: the delivery is over
    };

    // One method per kind of posted event.
    TStep NewLines(TRunBatch &ABatch, const TRunEvent &AEvent); // rkLines, resumable
    TStep NewLine(const QString &ALine);                        // rkLine and each line of rkLines
    TStep NewChars(const TRunBatch &ABatch, const TRunEvent &AEvent);
    TStep PartialLine(const QString &AText);
    TStep ProcessInfo(const TRunEvent &AEvent);
    TStep TerminateQuestion();
    TStep RunEnded();

    bool OutOfBudget() { return (++FCounter & 63u) == 0 && std::chrono::steady_clock::now() >= FBudgetEnd; }
    // The current batch is delivered: its buffers go back to the worker.
    void BatchDone();
    void Rewind();

    bool Alive() const { return *FAlive; }

    TConsoleCommand *FOwner; // valid while Alive()
    std::shared_ptr<const bool> FAlive;
    std::shared_ptr<TRunShared> FShared; // the worker's end of the run
    const TRunHandlers FHandlers;
    const QString FCaption; // the caption of error reports
    bool FInDelivery = false;
    std::vector<TRunBatch> FCurrent; // taken, being delivered
    std::vector<TRunBatch> FDone;    // delivered, to be handed back for reuse
    size_t FCurrentBatch = 0;
    size_t FCurrentIndex = 0;
    int32_t FCurrentSpan = 0; // within an rkLines event: lines already delivered
    QString FLineScratch;     // the string each line of an rkLines event is handed over in
    // Of the call under way.
    std::chrono::steady_clock::time_point FBudgetEnd;
    size_t FCost = 0; // posted cost of the batches delivered
    unsigned FCounter = 0;
};

} // namespace runner
