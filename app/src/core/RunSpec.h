// SPDX-License-Identifier: MIT
#pragma once
// What a run is: the interpreter, the script, their arguments and the bounds of the run, as one
// value the window and the batch mode both build and hand to a TRunSession.

#include "OutputLimit.h"

#include <QString>
#include <QStringList>

namespace app {

struct TRunSpec {
    QString Interpreter; // full file name; required
    // Options of the interpreter before the script ("-d display_errors=1 -n"), as a shell reads
    // words.
    QString InterpreterOptions;
    QString Script; // full file name; empty: the interpreter runs with the parameters alone
    // The script's arguments as a shell reads words: `'b c' "d e" f\ g` gives three.
    QString Params;
    // NAME=VALUE entries added to the environment the child inherits.
    QStringList Environment;
    // The folder the child starts in; empty: this process's own.
    QString WorkingFolder;
    // The run ends this long after its start (0: no limit), or after this long without output.
    int MaxTimeAfterBeginning = 0;
    int MaxTimeAfterLastOutput = 1000;
    // The run is stopped once its output passes this many bytes (0: no limit).
    qint64 MaxOutputBytes = kDefaultMaxOutput;
    // The child reads this process's standard input instead of the input the caller sends.
    bool InheritStandardInput = false;

    // The interpreter and the script, each quoted for the runner's splitting ("" for neither).
    QString Commands() const;
    // The words of the command: the interpreter, its options, the script and the parameters.
    // Throws common::Exception naming the field whose quoting is broken.
    QStringList Words() const;
    // The runner's command line: the commands, the options before the script, a blank and the
    // parameters; its splitting gives Words() back (an empty word cannot be passed: it is dropped).
    QString CommandLine() const;
    // The command as a shell would read it, for the window to show.
    QString ShellText() const;
};

} // namespace app
