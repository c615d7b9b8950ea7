// SPDX-License-Identifier: MIT
#include "RunConfigDialog.h"

#include "common/Exception.h"

#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

namespace app {

TRunConfigDialog::TRunConfigDialog(const TRunSpec &ASpec, const TRunConfig &AConfig, QWidget *AParent)
    : QDialog(AParent), FSpec(ASpec) {
    setObjectName(QStringLiteral("RunConfigDialog"));
    setWindowTitle(QStringLiteral("Run configuration"));
    auto *form = new QFormLayout(this);
    ParamsEdit = new QLineEdit(AConfig.Params, this);
    ParamsEdit->setPlaceholderText(QStringLiteral("'b c' \"d e\" f\\ g"));
    form->addRow(QStringLiteral("&Parameters:"), ParamsEdit);
    OptionsEdit = new QLineEdit(AConfig.InterpreterOptions, this);
    OptionsEdit->setPlaceholderText(QStringLiteral("-d display_errors=1"));
    form->addRow(QStringLiteral("&Interpreter options:"), OptionsEdit);
    EnvironmentEdit = new QPlainTextEdit(AConfig.Environment.join(QLatin1Char('\n')), this);
    EnvironmentEdit->setPlaceholderText(QStringLiteral("NAME=VALUE, one a line"));
    EnvironmentEdit->setTabChangesFocus(true);
    EnvironmentEdit->setFixedHeight(fontMetrics().lineSpacing() * 5);
    form->addRow(QStringLiteral("&Environment:"), EnvironmentEdit);
    auto *folderRow = new QHBoxLayout;
    FolderEdit = new QLineEdit(AConfig.WorkingFolder, this);
    FolderEdit->setPlaceholderText(ASpec.Script.isEmpty() ? QStringLiteral("the script's folder")
                                                          : QFileInfo(ASpec.Script).absolutePath());
    auto *browse = new QPushButton(QStringLiteral("&Browse\u2026"), this);
    folderRow->addWidget(FolderEdit, 1);
    folderRow->addWidget(browse);
    auto *folderLabel = new QLabel(QStringLiteral("&Working folder:"), this);
    folderLabel->setBuddy(FolderEdit);
    form->addRow(folderLabel, folderRow);
    CommandLabel = new QLabel(this);
    CommandLabel->setWordWrap(true);
    CommandLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
    form->addRow(QStringLiteral("Command:"), CommandLabel);
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    form->addRow(buttons);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString folder = QFileDialog::getExistingDirectory(
            this, QStringLiteral("Working folder"),
            FolderEdit->text().isEmpty() ? FolderEdit->placeholderText() : FolderEdit->text());
        if (!folder.isEmpty()) FolderEdit->setText(folder);
    });
    for (QLineEdit *edit : {ParamsEdit, OptionsEdit, FolderEdit})
        connect(edit, &QLineEdit::textChanged, this, [this] { Check(); });
    connect(EnvironmentEdit, &QPlainTextEdit::textChanged, this, [this] { Check(); });
    Check();
    resize(qMax(width(), 560), height());
}

TRunConfig TRunConfigDialog::Config() const {
    TRunConfig config;
    config.Params = ParamsEdit->text();
    config.InterpreterOptions = OptionsEdit->text();
    QString error;
    ParseEnvironment(EnvironmentEdit->toPlainText(), config.Environment, error);
    config.WorkingFolder = FolderEdit->text().trimmed();
    return config;
}

bool TRunConfigDialog::Check() {
    QString problem;
    QStringList environment;
    if (!ParseEnvironment(EnvironmentEdit->toPlainText(), environment, problem)) {
        problem = QStringLiteral("Environment: ") + problem;
    } else if (const QString folder = FolderEdit->text().trimmed();
               !folder.isEmpty() && !QFileInfo(folder).isDir()) {
        problem = QStringLiteral("Working folder: \"%1\" is not a folder").arg(folder);
    } else {
        TRunSpec spec = FSpec;
        spec.Params = ParamsEdit->text();
        spec.InterpreterOptions = OptionsEdit->text();
        try {
            CommandLabel->setText(spec.ShellText());
            CommandLabel->setStyleSheet(QString());
            return true;
        } catch (const common::Exception &e) {
            problem = e.Message();
        }
    }
    CommandLabel->setText(problem);
    CommandLabel->setStyleSheet(QStringLiteral("color: #b41e14"));
    return false;
}

void TRunConfigDialog::accept() {
    if (Check()) QDialog::accept();
}

} // namespace app
