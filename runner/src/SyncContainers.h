// SPDX-License-Identifier: MIT
#pragma once
// TInputLines: the lock-protected queue that carries input entries from the GUI thread to the
// worker. Each operation holds the lock for its own duration only. (Output needs no such
// container: the worker reads, decodes and assembles lines itself.)

#include "posix/Posix.h"

#include <QString>
#include <QStringList>

#include <mutex>

namespace runner {

class TInputLines {
public:
    // AEvent: signalled by Add (the worker's wake event; it outlives the queue).
    explicit TInputLines(posix::TEvent &AEvent) : FEvent(AEvent) {}
    TInputLines(const TInputLines &) = delete;
    TInputLines &operator=(const TInputLines &) = delete;

    // Appends under the lock, then signals Event(); returns the index.
    qsizetype Add(const QString &AValue);
    qsizetype Count() const;
    void Delete(qsizetype AIndex);
    QString Strings(qsizetype AIndex) const;
    void SetStrings(qsizetype AIndex, const QString &AValue);
    // Removes every entry.
    void Clear();
    // Takes the first entry out of the queue; false when it is empty.
    bool TakeFirst(QString &AValue);
    // The event signalled by Add.
    posix::TEvent &Event() { return FEvent; }

private:
    posix::TEvent &FEvent;
    mutable std::mutex FLock;
    QStringList FList;
};

} // namespace runner
