#pragma once
// What a run is: the interpreter, the script, their arguments and the bounds of the run, as one
// value the window and the batch mode both build and hand to a TRunSession.

#include "OutputLimit.h"

#include <QString>
#include <QStringList>

namespace app {

struct TRunSpec {
    QString Interpreter; // full file name; required
    QString Script;      // full file name; empty: the interpreter runs with the parameters alone
    // The rest of the command line as the user writes it, after the script.
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
    // The runner's command line: the commands, a blank and the parameters.
    QString CommandLine() const;
};

} // namespace app
