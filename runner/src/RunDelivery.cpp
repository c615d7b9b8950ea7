// SPDX-License-Identifier: MIT
#include "RunDelivery.h"

#include <QCoreApplication>
#include <QFileInfo>

namespace runner {

namespace {

// The caption of the runner's error reports: the program's file name (the runner has no window
// of its own to name).
QString ErrorCaption() {
    if (!QCoreApplication::instance()) return QString();
    return QFileInfo(QCoreApplication::applicationFilePath()).fileName();
}

} // namespace

TRunDelivery::TRunDelivery(TConsoleCommand &AOwner, std::shared_ptr<const bool> AAlive,
                           std::shared_ptr<TRunShared> AShared, TRunHandlers AHandlers)
    : FOwner(&AOwner), FAlive(std::move(AAlive)), FShared(std::move(AShared)),
      FHandlers(std::move(AHandlers)), FCaption(ErrorCaption()) {}

void TRunDelivery::Deliver() {
    if (FInDelivery || !Alive()) return;
    FInDelivery = true;
    FBudgetEnd = std::chrono::steady_clock::now() + kBudget;
    FCost = 0;
    FCounter = 0;
    bool more = false;
    for (;;) {
        if (FCurrentBatch < FCurrent.size() && FCurrentIndex >= FCurrent[FCurrentBatch].Events.size()) {
            BatchDone();
            continue;
        }
        if (FCurrentBatch >= FCurrent.size()) {
            FCurrent.clear();
            Rewind();
            if (!FShared->Take(FCurrent)) break; // nothing more posted: no post is pending any more
            continue;
        }
        if (OutOfBudget()) {
            more = true;
            break;
        }
        TRunBatch &batch = FCurrent[FCurrentBatch];
        TRunEvent &e = batch.Events[FCurrentIndex];
        TStep step = TStep::sNext;
        if (e.Kind == TRunEvent::rkLines) {
            step = NewLines(batch, e); // moves on to the next event itself once every line is delivered
        } else {
            ++FCurrentIndex;
            switch (e.Kind) {
            case TRunEvent::rkChars:
                step = NewChars(batch, e);
                break;
            case TRunEvent::rkLine:
                if (e.InChunk) e.Text = QString(batch.Chunk.constData() + e.Offset, e.Length);
                step = NewLine(e.Text);
                break;
            case TRunEvent::rkPartial:
                step = PartialLine(e.Text);
                break;
            case TRunEvent::rkLines:
                break; // delivered above
            case TRunEvent::rkProcessInfo:
                step = ProcessInfo(e);
                break;
            case TRunEvent::rkAskTerminate:
                step = TerminateQuestion();
                break;
            case TRunEvent::rkTerminated:
                step = RunEnded();
                break;
            }
        }
        if (step == TStep::sNext) continue;
        if (step == TStep::sPause) {
            more = true;
            break;
        }
        return; // the component is gone, or the run is over and handed to ThreadTerminated
    }
    FShared->Delivered(FCost, FDone);
    FInDelivery = false;
    if (more) FShared->Repost();
}

void TRunDelivery::BatchDone() {
    TRunBatch &done = FCurrent[FCurrentBatch];
    FCost += done.PostedCost;
    done.PostedCost = 0;
    // Its buffers go back to the worker, emptied here (not under the shared lock).
    done.Events.clear();
    done.Spans.clear();
    if (done.OwnChunk)
        done.Chunk.resize(0);
    else
        done.Chunk = QString();
    FDone.push_back(std::move(done));
    ++FCurrentBatch;
    FCurrentIndex = 0;
    FCurrentSpan = 0;
}

void TRunDelivery::Rewind() {
    FCurrentBatch = 0;
    FCurrentIndex = 0;
    FCurrentSpan = 0;
}

TRunDelivery::TStep TRunDelivery::NewLines(TRunBatch &ABatch, const TRunEvent &AEvent) {
    // One line per turn of the outer loop would cost a test per line more; the lines of the event
    // are delivered here, the budget still looked at every 64 lines.
    const QChar *chunk = ABatch.Chunk.constData();
    const TLineSpan *span = ABatch.Spans.data() + AEvent.Offset;
    while (FCurrentSpan < AEvent.Length) {
        const TLineSpan &l = span[FCurrentSpan++];
        // The handlers' string: its buffer is reused from line to line unless a handler kept the
        // string.
        QString &line = FLineScratch;
        line.resize(0);
        line.append(chunk + l.Offset, l.Length);
        if (NewLine(line) == TStep::sDetached) return TStep::sDetached;
        if ((++FCounter & 63u) == 0 && FCurrentSpan < AEvent.Length &&
            std::chrono::steady_clock::now() >= FBudgetEnd)
            return TStep::sPause;
    }
    FCurrentSpan = 0;
    ++FCurrentIndex;
    return TStep::sNext;
}

TRunDelivery::TStep TRunDelivery::NewLine(const QString &ALine) {
    if (FHandlers.KeptLines) FHandlers.KeptLines->append(ALine);
    if (FHandlers.OutputLines) FHandlers.OutputLines->append(ALine);
    if (FHandlers.OnNewLine) {
        common::Guarded([&] { FHandlers.OnNewLine(FOwner, ALine, otEntireLine); }, FCaption);
        if (!Alive()) return TStep::sDetached;
    }
    return TStep::sNext;
}

TRunDelivery::TStep TRunDelivery::NewChars(const TRunBatch &ABatch, const TRunEvent &AEvent) {
    if (!FHandlers.OnNewChar) return TStep::sNext;
    const QChar *p = AEvent.InChunk ? ABatch.Chunk.constData() + AEvent.Offset : AEvent.Text.constData();
    const qsizetype n = AEvent.InChunk ? AEvent.Length : AEvent.Text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = p[i];
        common::Guarded([&] { FHandlers.OnNewChar(FOwner, c); }, FCaption);
        if (!Alive()) return TStep::sDetached;
    }
    return TStep::sNext;
}

TRunDelivery::TStep TRunDelivery::PartialLine(const QString &AText) {
    if (FHandlers.OnNewLine) {
        common::Guarded([&] { FHandlers.OnNewLine(FOwner, AText, otBeginningOfLine); }, FCaption);
        if (!Alive()) return TStep::sDetached;
    }
    return TStep::sNext;
}

TRunDelivery::TStep TRunDelivery::ProcessInfo(const TRunEvent &AEvent) {
    TProcessInformation &info = FOwner->FProcessInformation;
    info.hProcess = AEvent.Offset;
    info.hThread = -1;
    info.dwProcessId = AEvent.Length;
    info.dwThreadId = 0;
    return TStep::sNext;
}

TRunDelivery::TStep TRunDelivery::TerminateQuestion() {
    bool canTerminate = true;
    if (FHandlers.OnTerminateProcess) {
        common::Guarded([&] { FHandlers.OnTerminateProcess(FOwner, canTerminate); }, FCaption);
        if (!Alive()) return TStep::sDetached; // the worker was released by the destruction
    }
    FShared->Answer(canTerminate);
    return TStep::sNext;
}

TRunDelivery::TStep TRunDelivery::RunEnded() {
    for (size_t b = FCurrentBatch; b < FCurrent.size(); ++b)
        FCost += FCurrent[b].PostedCost; // the last batch, which ends here
    FCurrent.clear();
    Rewind();
    FShared->Delivered(FCost, FDone);
    FInDelivery = false;
    FOwner->ThreadTerminated(FOwner->FThread.get());
    return TStep::sRunEnded;
}

bool TRunDelivery::ExecuteError(const std::exception_ptr &AError) {
    try {
        std::rethrow_exception(AError);
    } catch (const common::Exception &e) {
        // Handled also when the handler throws: its own exception is reported instead.
        bool handled = true;
        if (FOwner->FonExecuteError) {
            common::Guarded(
                [&] {
                    bool taken = false;
                    FOwner->FonExecuteError(FOwner, e, taken);
                    handled = taken;
                },
                FCaption);
            if (!Alive()) return false;
        } else {
            handled = false;
        }
        if (!handled) common::ReportException(e, FCaption);
    } catch (...) {
        ReportCurrentException();
    }
    return true;
}

void TRunDelivery::Terminated() {
    if (FOwner->FOnTerminated) common::Guarded([&] { FOwner->FOnTerminated(FOwner); }, FCaption);
}

void TRunDelivery::ReportCurrentException() const {
    common::ReportCurrentException(FCaption);
}

} // namespace runner
