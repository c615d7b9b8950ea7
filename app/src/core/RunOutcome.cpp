// SPDX-License-Identifier: MIT
#include "RunOutcome.h"

#include "PhpMessages.h"
#include "runner/TerminationSignals.h"

#include <QLocale>

namespace app {

QString PeakMegabytes(const runner::TRunFigures &AFigures) {
    if (!AFigures.MaxResidentKnown) return QStringLiteral("?");
    return QLocale(QLocale::English).toString(double(AFigures.MaxResidentBytes) / double(1 << 20), 'f', 1);
}

QString TRunOutcome::StatusText() const {
    const QLocale english(QLocale::English);
    const QString figures =
        QStringLiteral("%1 s, %2 %3")
            .arg(english.toString(double(WallMs) / 1000.0, 'f', 1), english.toString(Lines),
                 Lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
    QString status;
    if (Running) {
        status = QStringLiteral("running: ") + figures;
    } else {
        const QString how = EndText();
        if (how.isEmpty()) return QString(); // no run yet
        if (EndStatus == runner::esError && FailedToStart) return how;
        const QString done =
            !Figures.Valid
                ? figures
                : QStringLiteral("%1 s, CPU %2 s, %3 MB peak, %4 %5")
                      .arg(english.toString(double(Figures.WallMilliseconds) / 1000.0, 'f', 2),
                           english.toString(
                               double(Figures.UserMicroseconds + Figures.SystemMicroseconds) / 1e6, 'f', 2),
                           PeakMegabytes(Figures), english.toString(Lines),
                           Lines == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
        status = how + QStringLiteral(" \u2014 ") + done;
    }
    const QString counts = ErrorCountText(Errors, Warnings);
    if (!counts.isEmpty()) status += QStringLiteral(" \u2014 ") + counts;
    return status;
}

QString TRunOutcome::EndText() const {
    switch (EndStatus) {
    case runner::esProcess:
        return Signal != 0 ? QStringLiteral("killed by signal %1 (%2)")
                                 .arg(Signal)
                                 .arg(runner::TConsoleCommand::SignalName(Signal))
                           : QStringLiteral("exit code %1").arg(ExitCode);
    case runner::esStop:
        return StopReason.isEmpty() ? QStringLiteral("stopped") : StopReason;
    case runner::esTime:
        return MaxTimeAfterBeginning > 0 && WallMs >= qint64(MaxTimeAfterBeginning) * 1000
                   ? QStringLiteral("timed out after %1 s").arg(MaxTimeAfterBeginning)
                   : QStringLiteral("timed out: no output for %1 s").arg(MaxTimeAfterLastOutput);
    case runner::esError:
        return (FailedToStart ? QStringLiteral("could not start: ") : QStringLiteral("failed: ")) + Error;
    default:
        return QString();
    }
}

bool TRunOutcome::EndedBadly() const {
    if (Running) return false;
    switch (EndStatus) {
    case runner::esProcess:
        return ExitCode != 0 || Signal != 0;
    case runner::esError:
        return true;
    default:
        return false;
    }
}

QString TRunOutcome::StatsLine() const {
    QString line = QStringLiteral("exit=%1").arg(ExitCode);
    if (Figures.Valid)
        line += QStringLiteral(" wall=%1s user=%2s sys=%3s")
                    .arg(double(Figures.WallMilliseconds) / 1000.0, 0, 'f', 3)
                    .arg(double(Figures.UserMicroseconds) / 1e6, 0, 'f', 3)
                    .arg(double(Figures.SystemMicroseconds) / 1e6, 0, 'f', 3);
    if (Figures.Valid && Figures.MaxResidentKnown)
        line +=
            QStringLiteral(" maxrss=%1MB").arg(double(Figures.MaxResidentBytes) / double(1 << 20), 0, 'f', 1);
    return line + QStringLiteral(" lines=%1").arg(Lines);
}

int TRunOutcome::BatchExitCode(QString &AMessage) const {
    AMessage.clear();
    if (StopSignal != 0) {
        AMessage = QStringLiteral("the run was stopped by signal %1").arg(StopSignal);
        return runner::TTerminationSignals::ExitStatusFor(StopSignal);
    }
    if (OutputLimitPassed) {
        AMessage = QStringLiteral("the run was ") + StopReason;
        return kExitOutputLimit;
    }
    switch (EndStatus) {
    case runner::esError:
        AMessage = Error.isEmpty() ? QStringLiteral("the run failed") : Error;
        return kExitRunFailed;
    case runner::esTime:
        AMessage = QStringLiteral("the run ended by time-out");
        return kExitTimeOut;
    default:
        return ExitCode & 0xFF;
    }
}

} // namespace app
