// SPDX-License-Identifier: MIT
#pragma once
// The dialog that edits a script's run configuration: its parameters and the interpreter's
// options (as a shell reads words), the environment variables added (NAME=VALUE lines) and the
// working folder. It shows the whole command as it changes, and keeps itself open while a field
// cannot be read, saying which.

#include "RunConfig.h"
#include "RunSpec.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPlainTextEdit;

namespace app {

class TRunConfigDialog : public QDialog {
public:
    // ASpec: the run as it stands (its interpreter and script give the command shown).
    TRunConfigDialog(const TRunSpec &ASpec, const TRunConfig &AConfig, QWidget *AParent);
    // The configuration as edited (valid once the dialog was accepted).
    TRunConfig Config() const;

    QLineEdit *ParamsEdit = nullptr;
    QLineEdit *OptionsEdit = nullptr;
    QPlainTextEdit *EnvironmentEdit = nullptr;
    QLineEdit *FolderEdit = nullptr;
    QLabel *CommandLabel = nullptr; // the command as a shell would read it, or what is wrong

    void accept() override;

private:
    // Reads the fields; false, with the reason shown, when one cannot be read.
    bool Check();
    TRunSpec FSpec;
};

} // namespace app
