// SPDX-License-Identifier: MIT
#include "SyncContainers.h"

#include "common/Exception.h"

namespace runner {

qsizetype TInputLines::Add(const QString &AValue) {
    qsizetype index;
    {
        std::lock_guard<std::mutex> lock(FLock);
        // A copy of its own, not sharing the caller's data across threads.
        FList.append(QString(AValue.constData(), AValue.size()));
        index = FList.size() - 1;
    }
    FEvent.Signal();
    return index;
}

qsizetype TInputLines::Count() const {
    std::lock_guard<std::mutex> lock(FLock);
    return FList.size();
}

void TInputLines::Delete(qsizetype AIndex) {
    std::lock_guard<std::mutex> lock(FLock);
    COMMON_ASSERT(AIndex >= 0 && AIndex < FList.size());
    FList.removeAt(AIndex);
}

QString TInputLines::Strings(qsizetype AIndex) const {
    std::lock_guard<std::mutex> lock(FLock);
    COMMON_ASSERT(AIndex >= 0 && AIndex < FList.size());
    return FList.at(AIndex);
}

void TInputLines::SetStrings(qsizetype AIndex, const QString &AValue) {
    std::lock_guard<std::mutex> lock(FLock);
    COMMON_ASSERT(AIndex >= 0 && AIndex < FList.size());
    FList[AIndex] = AValue;
}

void TInputLines::Clear() {
    std::lock_guard<std::mutex> lock(FLock);
    FList.clear();
}

bool TInputLines::TakeFirst(QString &AValue) {
    std::lock_guard<std::mutex> lock(FLock);
    if (FList.isEmpty()) return false;
    AValue = FList.takeFirst();
    return true;
}

} // namespace runner
