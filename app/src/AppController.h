#pragma once
// The pure parts of running a script: building the command line, decoding output lines and
// writing the result file. The window and the batch mode share them.

#include "runner/ConsoleCommand.h"

#include <QByteArray>
#include <QString>

namespace app {

// The interpreter used when none was chosen: "php" on PATH, or "" when there is none.
QString DefaultInterpreter();

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

// Writes the result file. A regular file (or a new one) is written atomically: an existing file
// is replaced only when the whole new content was written, and keeps its mode. A target that is
// not a regular file (a device, a FIFO, /dev/stdout) is opened and written in place, never
// replaced. Throws common::Exception with the reason on failure.
void WriteResultFile(const QString &AFileName, const QString &AText);
// The same with the file's bytes already encoded.
void WriteResultBytes(const QString &AFileName, const QByteArray &ABytes);

// The run status of the status line. While running: "running: 3.2 s, 1,234 lines". At the end,
// how the run ended ("exit code N", "killed by signal N (SIGNAME)", "stopped", "timed out: no
// output for N s", "timed out after N s", "could not start: reason", "failed: reason"), then
// the wall time and the line count.
// A run that could not start shows no figures (no time passed in the run). AStopReason, when
// given, says why a stopped run was stopped ("stopped: the output passed 256 MB").
QString RunStatusText(const runner::TConsoleCommand &ACommand, bool ARunning, qint64 AElapsedMs,
                      qint64 ALines, const QString &AError, bool AFailedToStart,
                      const QString &AStopReason = QString());
// An error's message as an error dialog shows it: a sentence (a capital first letter, a full stop
// at the end), without the exception's class name.
QString ErrorDialogText(const QString &AMessage);

// Whether the last run ended in a way shown as a warning: a non-zero exit code, a signal, or a
// failure.
bool RunEndedBadly(const runner::TConsoleCommand &ACommand);

} // namespace app
