// SPDX-License-Identifier: MIT
#pragma once
// The result as bytes and the safe writing of files: the result file of the window and of the
// batch mode, and the script the window saves.

#include <QByteArray>
#include <QString>

namespace app {

// An output line as the runner delivers it (each byte one Latin-1 character) decoded as UTF-8;
// malformed sequences become U+FFFD.
QString DecodeResultLine(const QString &ANewLine);

// The bytes of the result file: the text as UTF-8, no byte-order mark.
QByteArray EncodeResultText(const QString &AText);

// The bytes of the result file built line by line as the output arrives, without keeping the
// lines: each output line as DecodeResultLine gives it, in UTF-8, lines joined with CR LF. The
// same bytes as EncodeResultText of the joined decoded lines, at about one byte per byte.
class TResultBytes {
public:
    // ANewLine as the runner delivers it (each byte one Latin-1 character).
    void AddLine(const QString &ANewLine);
    const QByteArray &Bytes() const { return FBytes; }

private:
    QByteArray FBytes;
    bool FEmpty = true;
};

// Writes a file. A regular file (or a new one) is written atomically: an existing file is
// replaced only when the whole new content was written, and keeps its mode, owner and group. A
// target that is not a regular file (a device, a FIFO, /dev/stdout) is opened and written in
// place, never replaced. Throws common::Exception with the reason on failure.
void WriteFileBytes(const QString &AFileName, const QByteArray &ABytes);
// The result file: the text as EncodeResultText gives it, written as WriteFileBytes does.
void WriteResultFile(const QString &AFileName, const QString &AText);

} // namespace app
