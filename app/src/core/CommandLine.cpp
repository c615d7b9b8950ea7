#include "CommandLine.h"

#include <QStandardPaths>

namespace app {

QString DefaultInterpreter() {
    return QStandardPaths::findExecutable(QStringLiteral("php"));
}

QString FolderOf(const QString &AFileName) {
    const int cut = AFileName.lastIndexOf(QLatin1Char('/'));
    return cut < 0 ? QString() : AFileName.left(cut + 1);
}

QString QuoteCommandArgument(const QString &AArgument) {
    const bool needsQuotes = AArgument.contains(QLatin1Char(' ')) || AArgument.contains(QLatin1Char('\t')) ||
                             AArgument.contains(QLatin1Char('"')) || AArgument.contains(QLatin1Char('\n'));
    if (!needsQuotes) return AArgument;
    QString quoted = AArgument;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString BuildCommandLine(const QString &ACommands, const QString &AParams) {
    return ACommands + QLatin1Char(' ') + AParams;
}

} // namespace app
