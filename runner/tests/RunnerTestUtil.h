// SPDX-License-Identifier: MIT
#pragma once
// Helpers shared by the runner tests.

#include "common/Exception.h"
#include "runner/ConsoleCommand.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTest>
#include <QTimer>

#include <memory>

namespace runnertest {

// The test child with its steps, as a command line.
inline QString Child(const QString &ASteps = QString()) {
    QString cl = QStringLiteral("\"%1\"").arg(QStringLiteral(RUNNER_TEST_CHILD));
    if (!ASteps.isEmpty()) cl += QLatin1Char(' ') + ASteps;
    return cl;
}

// Records every event of a runner, in order, and every error report.
struct TRecorder {
    QStringList Events;
    QList<common::ErrorReport> Reports;
    int Terminated = 0;
    common::ErrorReporter Previous;

    explicit TRecorder(runner::TConsoleCommand &ACmd, bool AChars = false) {
        ACmd.SetOnNewLine([this](QObject *, const QString &ALine, runner::TOutputType AType) {
            Events << (AType == runner::otEntireLine ? QStringLiteral("line:") : QStringLiteral("partial:")) +
                          ALine;
        });
        if (AChars)
            ACmd.SetOnNewChar(
                [this](QObject *, QChar AChar) { Events << QStringLiteral("char:%1").arg(AChar.unicode()); });
        ACmd.SetOnTerminated([this](QObject *) {
            ++Terminated;
            Events << QStringLiteral("terminated");
        });
        Previous =
            common::SetErrorReporter([this](const common::ErrorReport &AReport) { Reports << AReport; });
    }
    ~TRecorder() { common::SetErrorReporter(Previous); }
    QStringList Lines() const {
        QStringList r;
        for (const QString &e : Events)
            if (e.startsWith(QLatin1String("line:"))) r << e.mid(5);
        return r;
    }
};

// Waits until the run has ended (serving the event loop).
inline bool WaitEnd(runner::TConsoleCommand &ACmd, int AMs = 10000) {
    QElapsedTimer t;
    t.start();
    QTimer tick; // wakes the loop now and then, so the time limit is seen
    tick.start(20);
    while (ACmd.IsRunning() && t.elapsed() < AMs)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    return !ACmd.IsRunning();
}

// Runs ACommandLine to its end.
inline bool RunToEnd(runner::TConsoleCommand &ACmd, const QString &ACommandLine, int AMs = 10000) {
    ACmd.SetCommandLine(ACommandLine);
    ACmd.Execute();
    return WaitEnd(ACmd, AMs);
}

// Whether a process exists (also as a zombie).
inline bool ProcessExists(qint64 APid) {
    return QFile::exists(QStringLiteral("/proc/%1").arg(APid));
}

// Field AIndex (1-based, as in proc(5)) of /proc/PID/stat; -1 if gone.
inline qint64 StatField(const QString &APid, int AIndex) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(APid));
    if (!f.open(QIODevice::ReadOnly)) return -1;
    const QByteArray stat = f.readAll();
    const qsizetype close = stat.lastIndexOf(')');
    if (close < 0) return -1;
    const QList<QByteArray> rest = stat.mid(close + 2).split(' '); // field 3 onwards
    const int k = AIndex - 3;
    if (k < 0 || k >= rest.size()) return -1;
    return rest[k].toLongLong();
}

// The processes of a process group.
inline QList<qint64> GroupMembers(qint64 APgid) {
    QList<qint64> r;
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        bool ok = false;
        const qint64 pid = e.toLongLong(&ok);
        if (ok && StatField(e, 5) == APgid) r << pid;
    }
    return r;
}

// Children of this process (zombies included).
inline int ChildCount() {
    int n = 0;
    const qint64 self = QCoreApplication::applicationPid();
    const QStringList entries = QDir(QStringLiteral("/proc")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &e : entries) {
        bool ok = false;
        e.toLongLong(&ok);
        if (ok && StatField(e, 4) == self) ++n;
    }
    return n;
}

inline int OpenFdCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/fd"))
                                .entryList(QDir::NoDotAndDotDot | QDir::AllEntries | QDir::System)
                                .size());
}

} // namespace runnertest
