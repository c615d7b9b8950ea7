// SPDX-License-Identifier: MIT
#include "RunShared.h"

#include <algorithm>

namespace runner {

void TRunShared::PostCall() {
    FGuiWake.Signal();
}

void TRunShared::Post(TRunBatch &ABatch, size_t ACost) {
    if (ABatch.Events.empty()) {
        if (ABatch.OwnChunk)
            ABatch.Chunk.resize(0); // the buffer stays for the next read
        else
            ABatch.Chunk = QString();
        return;
    }
    const size_t cost = ABatch.Cost() + ACost;
    ABatch.PostedCost = cost;
    bool post = false;
    TRunBatch next;
    {
        // One lock per batch: the batch goes in, a delivered one (its buffers) comes back.
        std::lock_guard<std::mutex> lock(FLock);
        FQueue.push_back(std::move(ABatch));
        FUndelivered += cost;
        FQueued += cost;
        FPeakUndelivered = std::max(FPeakUndelivered, FUndelivered);
        if (!FPostPending) {
            FPostPending = true;
            post = true;
        }
        if (!FSpare.empty()) {
            next = std::move(FSpare.back());
            FSpare.pop_back();
        }
    }
    ABatch = std::move(next);
    if (post) PostCall();
}

bool TRunShared::CanResume() const {
    return FUndelivered < kUndeliveredLimit / 2 && FQueued < kAheadLimit;
}

bool TRunShared::MustPause() {
    std::lock_guard<std::mutex> lock(FLock);
    if (FWorkerPaused ? CanResume() : FUndelivered < kUndeliveredLimit && FQueued < kAheadLimit) {
        FWorkerPaused = false;
        return false;
    }
    FWorkerPaused = true;
    return true;
}

bool TRunShared::AskCanTerminate(TRunBatch &ABatch, size_t ACost) {
    ABatch.Events.emplace_back(TRunEvent::rkAskTerminate, 0, 0, false);
    {
        std::lock_guard<std::mutex> lock(FLock);
        FAnswerReady = false;
    }
    Post(ABatch, ACost);
    std::unique_lock<std::mutex> lock(FLock);
    FAnswered.wait(lock, [this] { return FAnswerReady || FCancelled; });
    return FCancelled ? true : FCanTerminate;
}

bool TRunShared::Take(std::vector<TRunBatch> &AInto) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FQueue.empty()) {
            FPostPending = false;
            return false;
        }
        AInto.swap(FQueue);
        FQueued = 0;
        if (FWorkerPaused && CanResume()) {
            FWorkerPaused = false;
            wake = true;
        }
    }
    if (wake) FWake.Signal();
    return true;
}

void TRunShared::Delivered(size_t ACost, std::vector<TRunBatch> &ASpare) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FUndelivered = ACost > FUndelivered ? 0 : FUndelivered - ACost;
        if (FWorkerPaused && CanResume()) {
            FWorkerPaused = false;
            wake = true;
        }
        for (TRunBatch &b : ASpare) {
            if (FSpare.size() >= 8) break;
            FSpare.push_back(std::move(b));
        }
    }
    ASpare.clear(); // those not kept are freed outside the lock
    if (wake) FWake.Signal();
}

void TRunShared::ReleaseBuffers() {
    std::vector<TRunBatch> spare;
    std::vector<TRunBatch> queue;
    {
        std::lock_guard<std::mutex> lock(FLock);
        spare.swap(FSpare);
        if (FQueue.empty()) queue.swap(FQueue);
    }
}

void TRunShared::Answer(bool ACanTerminate) {
    std::lock_guard<std::mutex> lock(FLock);
    FCanTerminate = ACanTerminate;
    FAnswerReady = true;
    FAnswered.notify_all();
}

void TRunShared::Cancel() {
    std::lock_guard<std::mutex> lock(FLock);
    FCancelled = true;
    FAnswered.notify_all();
}

void TRunShared::Repost() {
    PostCall();
}

size_t TRunShared::PeakUndelivered() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FPeakUndelivered;
}

size_t TRunShared::Undelivered() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FUndelivered;
}

void TRunSink::Watch(TRunShared &AShared) {
    delete FNotifier;
    FNotifier = new QSocketNotifier(AShared.GuiWake().Fd(), QSocketNotifier::Read, this);
    posix::TEvent *wake = &AShared.GuiWake();
    connect(FNotifier, &QSocketNotifier::activated, this, [this, wake] {
        // Reset first: what the worker posts during the delivery signals the event again.
        wake->Reset();
        FOwner->DeliverPosted();
    });
}

} // namespace runner
