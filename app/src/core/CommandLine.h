#pragma once
// The command line of a run: the interpreter found on PATH, and the one quoting grammar the
// runner's splitting reads back.

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

} // namespace app
