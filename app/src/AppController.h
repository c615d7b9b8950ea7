#pragma once
// The pure parts of running a script: building the command line, decoding output lines and
// writing the result file. The window and the batch mode share them.

#include <QByteArray>
#include <QString>

namespace app {

// The folder part of a full file name, up to and including the last separator ("" when none).
QString FolderOf(const QString &AFileName);

// An argument as it is added to the command line: unchanged when it holds no blank, tab or double
// quote, else enclosed in double quotes with each inner quote written as three, so that the
// runner's splitting gives it back as one argument.
QString QuoteCommandArgument(const QString &AArgument);

// The runner's command line: the commands so far, a blank, the parameters text (always appended,
// even when empty).
QString BuildCommandLine(const QString &ACommands, const QString &AParams);

// An output line as the runner delivers it (each byte one Latin-1 character) decoded as UTF-8;
// malformed sequences become U+FFFD.
QString DecodeResultLine(const QString &ANewLine);

// The bytes of the result file: the text as UTF-8, no byte-order mark.
QByteArray EncodeResultText(const QString &AText);

// Writes the result file. A regular file (or a new one) is written atomically: an existing file
// is replaced only when the whole new content was written, and keeps its mode. A target that is
// not a regular file (a device, a FIFO, /dev/stdout) is opened and written in place, never
// replaced. Throws common::Exception with the reason on failure.
void WriteResultFile(const QString &AFileName, const QString &AText);

} // namespace app
