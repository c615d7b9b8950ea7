// SPDX-License-Identifier: MIT
#pragma once
// How a script is run, as the user configured it for that script: kept in the settings with the
// script's path and applied to every run of it.

#include <QString>
#include <QStringList>

namespace app {

struct TRunConfig {
    QString Params;             // the script's arguments, as a shell reads words
    QString InterpreterOptions; // before the script ("-d display_errors=1"), as a shell reads words
    QStringList Environment;    // NAME=VALUE, added to the inherited environment
    QString WorkingFolder;      // empty: the script's own folder

    bool IsDefault() const {
        return Params.isEmpty() && InterpreterOptions.isEmpty() && Environment.isEmpty() &&
               WorkingFolder.isEmpty();
    }
    bool operator==(const TRunConfig &AOther) const {
        return Params == AOther.Params && InterpreterOptions == AOther.InterpreterOptions &&
               Environment == AOther.Environment && WorkingFolder == AOther.WorkingFolder;
    }
    bool operator!=(const TRunConfig &AOther) const { return !(*this == AOther); }
};

// Checks NAME=VALUE lines: false, with AError naming the first bad line, when one has no "=" or
// no valid name (letters, digits and "_", not starting with a digit). Blank lines are dropped.
bool ParseEnvironment(const QString &AText, QStringList &AEntries, QString &AError);

} // namespace app
