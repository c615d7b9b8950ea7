#include "RunShared.h"

#include <QMetaObject>

#include <algorithm>
#include <iterator>

namespace runner {

void TRunShared::PostCall() {
    // A string-named call without arguments: nothing the worker builds travels in the event.
    QMetaObject::invokeMethod(FSink, "Deliver", Qt::QueuedConnection);
}

void TRunShared::Post(std::vector<TRunEvent> &ABatch, size_t ACost) {
    if (ABatch.empty())
        return;
    bool post = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        if (FQueue.empty())
            FQueue.swap(ABatch);
        else
            std::move(ABatch.begin(), ABatch.end(), std::back_inserter(FQueue));
        FUndelivered += ACost;
        FPeakUndelivered = std::max(FPeakUndelivered, FUndelivered);
        if (!FPostPending) {
            FPostPending = true;
            post = true;
        }
    }
    ABatch.clear();
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

bool TRunShared::AskCanTerminate(std::vector<TRunEvent> &ABatch, size_t ACost) {
    ABatch.emplace_back(TRunEvent::rkAskTerminate, 0, 0);
    {
        std::lock_guard<std::mutex> lock(FLock);
        FAnswerReady = false;
    }
    Post(ABatch, ACost);
    std::unique_lock<std::mutex> lock(FLock);
    FAnswered.wait(lock, [this] { return FAnswerReady || FCancelled; });
    return FCancelled ? true : FCanTerminate;
}

bool TRunShared::Take(std::vector<TRunEvent> &AInto) {
    std::lock_guard<std::mutex> lock(FLock);
    if (FQueue.empty()) {
        FPostPending = false;
        return false;
    }
    if (AInto.empty())
        AInto.swap(FQueue);
    else {
        std::move(FQueue.begin(), FQueue.end(), std::back_inserter(AInto));
        FQueue.clear();
    }
    return true;
}

void TRunShared::Delivered(size_t ACost) {
    bool wake = false;
    {
        std::lock_guard<std::mutex> lock(FLock);
        FUndelivered = ACost > FUndelivered ? 0 : FUndelivered - ACost;
        if (FWorkerPaused && FUndelivered < kUndeliveredLimit / 2) {
            FWorkerPaused = false;
            wake = true;
        }
    }
    if (wake)
        FDrained.Signal();
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
