#include "RunShared.h"

#include <QMetaObject>

#include <algorithm>

namespace runner {

void TRunShared::PostCall() {
    // A string-named call without arguments: nothing the worker builds travels in the event.
    QMetaObject::invokeMethod(FSink, "Deliver", Qt::QueuedConnection);
}

void TRunShared::Post(TRunBatch &ABatch, size_t ACost) {
    if (ABatch.Events.empty()) {
        ABatch.Chunk.clear();
        return;
    }
    const size_t cost = ABatch.Cost() + ACost;
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FQueue.push_back(std::move(ABatch));
        FUndelivered += cost;
        FPeakUndelivered = std::max(FPeakUndelivered, FUndelivered);
        if (!FPostPending) {
            FPostPending = true;
            post = true;
        }
    }
    ABatch.Chunk = QString();
    ABatch.OwnChunk = false;
    ABatch.Events.clear();
    {
        // A delivered batch's event vector, so that its capacity is reused.
        std::lock_guard<std::mutex> lock(FLock);
        for (TRunBatch &spare : FSpare) {
            if (spare.Events.capacity() > 0) {
                ABatch.Events.swap(spare.Events);
                break;
            }
        }
    }
    if (post)
        PostCall();
}

bool TRunShared::MustPause() {
    std::lock_guard<std::mutex> lock(FLock);
    if (FUndelivered < kUndeliveredLimit)
        return false;
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
    std::lock_guard<std::mutex> lock(FLock);
    if (FQueue.empty()) {
        FPostPending = false;
        return false;
    }
    AInto.swap(FQueue);
    return true;
}

void TRunShared::Delivered(size_t ACost, std::vector<TRunBatch> &ASpare) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FUndelivered = ACost > FUndelivered ? 0 : FUndelivered - ACost;
        if (FWorkerPaused && FUndelivered < kUndeliveredLimit / 2) {
            FWorkerPaused = false;
            wake = true;
        }
        for (TRunBatch &b : ASpare) {
            if (FSpare.size() >= 4)
                break;
            b.Events.clear();
            if (!b.OwnChunk)
                b.Chunk = QString();
            FSpare.push_back(std::move(b));
        }
    }
    ASpare.clear();
    if (wake)
        FDrained.Signal();
}

QString TRunShared::TakeSpareChunk() {
    std::lock_guard<std::mutex> lock(FLock);
    for (TRunBatch &spare : FSpare) {
        if (spare.OwnChunk && !spare.Chunk.isNull()) {
            QString chunk;
            chunk.swap(spare.Chunk);
            spare.OwnChunk = false;
            return chunk;
        }
    }
    // Drop spares that have nothing left to give.
    FSpare.erase(std::remove_if(FSpare.begin(), FSpare.end(),
                                [](const TRunBatch &b) { return b.Events.capacity() == 0 && b.Chunk.isNull(); }),
                 FSpare.end());
    return QString();
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

void TRunShared::Repost() { PostCall(); }

size_t TRunShared::PeakUndelivered() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FPeakUndelivered;
}

void TRunSink::Deliver() { FOwner->DeliverPosted(); }

} // namespace runner
