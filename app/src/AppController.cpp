#include "AppController.h"

#include "common/Exception.h"

#include <QSaveFile>

namespace app {

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

QString DecodeResultLine(const QString &ANewLine) {
    return QString::fromUtf8(ANewLine.toLatin1());
}

QByteArray EncodeResultText(const QString &AText) {
    return AText.toUtf8();
}

void WriteResultFile(const QString &AFileName, const QString &AText) {
    QSaveFile file(AFileName);
    if (!file.open(QIODevice::WriteOnly))
        throw common::Exception(
            QStringLiteral("Cannot create file \"%1\": %2").arg(AFileName, file.errorString()));
    const QByteArray bytes = EncodeResultText(AText);
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        throw common::Exception(QStringLiteral("Cannot write file \"%1\": %2").arg(AFileName, reason));
    }
    if (!file.commit())
        throw common::Exception(
            QStringLiteral("Cannot write file \"%1\": %2").arg(AFileName, file.errorString()));
}

} // namespace app
