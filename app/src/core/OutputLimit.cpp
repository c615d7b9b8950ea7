// SPDX-License-Identifier: MIT
#include "OutputLimit.h"

#include <QRegularExpression>

#include <cmath>

namespace app {

bool ParseByteSize(const QString &AText, qint64 &ABytes) {
    const QString text = AText.trimmed().toLower();
    if (text == QLatin1String("none")) {
        ABytes = 0;
        return true;
    }
    static const QRegularExpression kSize(
        QStringLiteral("^(\\d+(?:\\.\\d+)?)\\s*(|b|bytes?|k|kb|kib|m|mb|mib|g|gb|gib)$"));
    const QRegularExpressionMatch match = kSize.match(text);
    if (!match.hasMatch()) return false;
    const QString unit = match.captured(2);
    int shift = 0;
    if (unit.startsWith(QLatin1Char('k')))
        shift = 10;
    else if (unit.startsWith(QLatin1Char('m')))
        shift = 20;
    else if (unit.startsWith(QLatin1Char('g')))
        shift = 30;
    const double value = std::ldexp(match.captured(1).toDouble(), shift);
    if (!(value < 9.0e18)) return false;
    ABytes = qint64(std::llround(value));
    return true;
}

QString ByteSizeText(qint64 ABytes) {
    if (ABytes <= 0) return QStringLiteral("none");
    static const char *const kUnits[] = {"GB", "MB", "KB"};
    for (int i = 0; i < 3; ++i) {
        const int shift = 30 - 10 * i;
        if (ABytes >= (qint64(1) << shift)) {
            const double value = std::ldexp(double(ABytes), -shift);
            const bool whole = ABytes % (qint64(1) << shift) == 0;
            return QStringLiteral("%1 %2").arg(QString::number(value, 'f', whole ? 0 : 1),
                                               QLatin1String(kUnits[i]));
        }
    }
    return QStringLiteral("%1 bytes").arg(ABytes);
}

bool TOutputLimit::Add(qsizetype ALength, bool AEntireLine) {
    if (FPassed) return true;
    // A line that never ends counts too, with what it has so far.
    const qint64 bytes = FBytes + qint64(ALength) + (AEntireLine ? 1 : 0);
    if (AEntireLine) FBytes = bytes;
    FPassed = FMax > 0 && bytes > FMax;
    return FPassed;
}

QString TOutputLimit::StopText() const {
    return QStringLiteral("stopped: the output passed ") + ByteSizeText(FMax);
}

} // namespace app
