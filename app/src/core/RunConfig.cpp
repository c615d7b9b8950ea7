// SPDX-License-Identifier: MIT
#include "RunConfig.h"

namespace app {

bool ParseEnvironment(const QString &AText, QStringList &AEntries, QString &AError) {
    AEntries.clear();
    for (const QString &raw : AText.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty()) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString name = line.left(equals);
        bool valid = equals > 0 && !name[0].isDigit();
        for (const QChar c : name)
            valid = valid && (c == QLatin1Char('_') || (c.unicode() < 0x80 && c.isLetterOrNumber()));
        if (!valid) {
            AError = QStringLiteral("\"%1\" is not NAME=VALUE").arg(line);
            return false;
        }
        AEntries << line;
    }
    return true;
}

} // namespace app
