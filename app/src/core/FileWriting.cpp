// SPDX-License-Identifier: MIT
#include "FileWriting.h"

#include "common/Exception.h"
#include "runner/FileOwnership.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace app {

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
    WriteFileBytes(AFileName, EncodeResultText(AText));
}

void WriteFileBytes(const QString &AFileName, const QByteArray &ABytes) {
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

} // namespace app
