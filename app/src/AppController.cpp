#include "AppController.h"

#include "common/Exception.h"
#include "runner/FileOwnership.h"

#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QSaveFile>
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

QString DecodeResultLine(const QString &ANewLine) {
    // A line of ASCII characters is its own UTF-8 decoding (the common case: no conversion).
    const char16_t *p = reinterpret_cast<const char16_t *>(ANewLine.constData());
    const qsizetype n = ANewLine.size();
    char16_t all = 0;
    for (qsizetype i = 0; i < n; ++i)
        all |= p[i];
    if (all < 0x80) return ANewLine;
    return QString::fromUtf8(ANewLine.toLatin1());
}

QByteArray EncodeResultText(const QString &AText) {
    return AText.toUtf8();
}

namespace {

// Whether the target is written in place instead of being replaced: it exists and is not a
// regular file (a device, a FIFO, a socket, or a link to one), or it lies under /dev or /proc,
// where /dev/stdout names whatever the standard output is (a pipe, or a file a shell opened).
bool WritesInPlace(const QString &AFileName) {
    const QFileInfo info(AFileName);
    const QString path = info.absoluteFilePath();
    if (path.startsWith(QLatin1String("/dev/")) || path.startsWith(QLatin1String("/proc/"))) return true;
    return info.exists() && !info.isFile();
}

[[noreturn]] void CannotWrite(const QString &AFileName, const QString &AReason) {
    throw common::Exception(QStringLiteral("Cannot write file \"%1\": %2").arg(AFileName, AReason));
}

[[noreturn]] void CannotCreate(const QString &AFileName, const QString &AReason) {
    throw common::Exception(QStringLiteral("Cannot create file \"%1\": %2").arg(AFileName, AReason));
}

void WriteInPlace(const QString &AFileName, const QByteArray &ABytes) {
    QFile file(AFileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) CannotCreate(AFileName, file.errorString());
    if (file.write(ABytes) != ABytes.size()) CannotWrite(AFileName, file.errorString());
    file.close();
    if (file.error() != QFileDevice::NoError) CannotWrite(AFileName, file.errorString());
}

// The replacement is created by this process and so belongs to it; give it the owner and group
// of the file it replaces (root saving a user's file must not take it over). A process that may
// not give a file away (EPERM) keeps its own ownership, as any editor saving in place of another
// user's file does; any other failure is reported.
void KeepOwnerAndGroup(const QString &AFileName, QSaveFile &AFile) {
    const int error = runner::CopyOwnerAndGroup(AFileName, AFile.handle());
    if (error == 0) return;
    AFile.cancelWriting();
    CannotWrite(AFileName, runner::FileErrorText(error));
}

} // namespace

void TResultBytes::AddLine(const QString &ANewLine) {
    if (!FEmpty) FBytes.append("\r\n", 2);
    FEmpty = false;
    // Every character stands for one byte; when all are ASCII the bytes are the UTF-8 text.
    const qsizetype from = FBytes.size();
    const qsizetype n = ANewLine.size();
    FBytes.resize(from + n);
    const char16_t *src = reinterpret_cast<const char16_t *>(ANewLine.constData());
    char *dst = FBytes.data() + from;
    char16_t all = 0;
    for (qsizetype i = 0; i < n; ++i) {
        all |= src[i];
        dst[i] = static_cast<char>(src[i]);
    }
    if (all >= 0x80) {
        FBytes.truncate(from);
        FBytes.append(EncodeResultText(DecodeResultLine(ANewLine)));
    }
}

void WriteResultFile(const QString &AFileName, const QString &AText) {
    WriteResultBytes(AFileName, EncodeResultText(AText));
}

void WriteResultBytes(const QString &AFileName, const QByteArray &ABytes) {
    if (WritesInPlace(AFileName)) {
        WriteInPlace(AFileName, ABytes);
        return;
    }
    // An existing file keeps its mode. Only the owner, group and other bits are taken: the
    // "user" bits say what this process may do (all of it, for root) and would add to the mode.
    const QFileInfo existing(AFileName);
    const QFileDevice::Permissions mode =
        existing.exists() ? existing.permissions() &
                                ~(QFileDevice::ReadUser | QFileDevice::WriteUser | QFileDevice::ExeUser)
                          : QFileDevice::Permissions();
    QSaveFile file(AFileName);
    if (!file.open(QIODevice::WriteOnly)) CannotCreate(AFileName, file.errorString());
    if (file.write(ABytes) != ABytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        CannotWrite(AFileName, reason);
    }
    if (existing.exists() && !file.setPermissions(mode)) {
        const QString reason = file.errorString();
        file.cancelWriting();
        CannotWrite(AFileName, reason);
    }
    KeepOwnerAndGroup(AFileName, file);
    if (!file.commit()) CannotWrite(AFileName, file.errorString());
}

QString RunStatusText(const runner::TConsoleCommand &ACommand, bool ARunning, qint64 AElapsedMs,
                      qint64 ALines, const QString &AError, bool AFailedToStart, const QString &AStopReason) {
    const QLocale english(QLocale::English);
    const QString figures =
        QStringLiteral("%1 s, %2 %3")
            .arg(english.toString(double(AElapsedMs) / 1000.0, 'f', 1), english.toString(ALines),
                 ALines == 1 ? QStringLiteral("line") : QStringLiteral("lines"));
    if (ARunning) return QStringLiteral("running: ") + figures;
    QString how;
    switch (ACommand.EndStatus()) {
    case runner::esProcess:
        how = ACommand.TerminationSignal() != 0
                  ? QStringLiteral("killed by signal %1 (%2)")
                        .arg(ACommand.TerminationSignal())
                        .arg(runner::TConsoleCommand::SignalName(ACommand.TerminationSignal()))
                  : QStringLiteral("exit code %1").arg(ACommand.ExitCode());
        break;
    case runner::esStop:
        how = AStopReason.isEmpty() ? QStringLiteral("stopped") : AStopReason;
        break;
    case runner::esTime: {
        const int sinceStart = ACommand.MaxTimeAfterBeginning();
        how = sinceStart > 0 && AElapsedMs >= qint64(sinceStart) * 1000
                  ? QStringLiteral("timed out after %1 s").arg(sinceStart)
                  : QStringLiteral("timed out: no output for %1 s").arg(ACommand.MaxTimeAfterLastOutput());
        break;
    }
    case runner::esError:
        if (AFailedToStart) return QStringLiteral("could not start: ") + AError;
        how = QStringLiteral("failed: ") + AError;
        break;
    default:
        return QString(); // no run yet
    }
    return how + QStringLiteral(" \u2014 ") + figures;
}

QString ErrorDialogText(const QString &AMessage) {
    QString text = AMessage.trimmed();
    if (text.isEmpty()) return QStringLiteral("An unknown error occurred.");
    if (text[0].isLower()) text[0] = text[0].toUpper();
    const QChar last = text.back();
    if (last != QLatin1Char('.') && last != QLatin1Char('!') && last != QLatin1Char('?'))
        text += QLatin1Char('.');
    return text;
}

bool RunEndedBadly(const runner::TConsoleCommand &ACommand) {
    switch (ACommand.EndStatus()) {
    case runner::esProcess:
        return ACommand.ExitCode() != 0 || ACommand.TerminationSignal() != 0;
    case runner::esError:
        return true;
    default:
        return false;
    }
}

} // namespace app
