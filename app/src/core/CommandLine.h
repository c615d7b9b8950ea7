// SPDX-License-Identifier: MIT
#pragma once
// The command line of a run. The user writes parameters and interpreter options as a POSIX shell
// reads words; the runner is handed its own command line, whose splitting gives the same words
// back. The interpreter found on PATH.

#include <QString>
#include <QStringList>

namespace app {

// The interpreter used when none was chosen: "php" on PATH, or "" when there is none.
QString DefaultInterpreter();

// The folder part of a full file name, up to and including the last separator ("" when none).
QString FolderOf(const QString &AFileName);

// An argument as it is added to the runner's command line: unchanged when it holds no white space
// and no double quote, else enclosed in double quotes with each inner quote written as three, so that the
// runner's splitting gives it back as one argument.
QString QuoteCommandArgument(const QString &AArgument);

// The runner's command line: the commands so far, a blank, the parameters text (always appended,
// even when empty).
QString BuildCommandLine(const QString &ACommands, const QString &AParams);

// Splits AText into words as a POSIX shell does, without expansions: blanks, tabs and line
// breaks separate words; 'single quotes' keep everything literally; "double quotes" keep all but
// a backslash before $ ` " \ or a line break; a backslash outside quotes keeps the next character.
// `'b c' "d e" f\ g` gives three words. False, with AError saying why, for an unclosed quote
// or a trailing backslash.
bool SplitShellWords(const QString &AText, QStringList &AWords, QString &AError);
// A word as a shell must be given it to read it back: unchanged when it is made of characters a
// shell takes literally, else in single quotes (a quote inside written as '\'').
QString ShellQuote(const QString &AWord);
// The words quoted and joined by blanks: the command as a shell would read it.
QString ShellCommandText(const QStringList &AWords);

} // namespace app
