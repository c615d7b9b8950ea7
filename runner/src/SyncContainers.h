#pragma once
// The two small lock-protected containers of the runner: TSyncString carries decoded output text
// from the pipe reader to the line assembly, TInputLines carries input entries from the GUI
// thread to the worker. Each operation holds the one lock for its own duration only.

#include "posix/Posix.h"

#include <QString>
#include <QStringList>

#include <mutex>

namespace runner {

class TSyncString {
public:
    void Add(const QString &AValue);
    // Removes ACount characters starting at the 1-based position APos.
    void Delete(qsizetype APos, qsizetype ACount);
    QString Value() const;
    void SetValue(const QString &AValue);
    qsizetype Length() const;
    // Takes the whole value and leaves the string empty (one step of Value + Delete).
    QString Take();

private:
    mutable std::mutex FLock;
    QString FValue;
};

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
