// SPDX-License-Identifier: MIT
#include "FileDialogs.h"

#include "RunConfigDialog.h"

#include <QBoxLayout>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>

namespace app {

namespace {
// Interpreters have no extension on Linux: the first filter lists the usual names so that php,
// php8.2 and the like can be picked directly.
const QString kInterpreterFilter = QStringLiteral("PHP translator (php php[0-9]* php-cli* *.exe)");
const QString kScriptFilter = QStringLiteral("PHP script (*.php)");
const QString kAllFilesFilter = QStringLiteral("All files (*)");
} // namespace

QString ErrorDialogText(const QString &AMessage) {
    QString text = AMessage.trimmed();
    if (text.isEmpty()) return QStringLiteral("An unknown error occurred.");
    if (text[0].isLower()) text[0] = text[0].toUpper();
    const QChar last = text.back();
    if (last != QLatin1Char('.') && last != QLatin1Char('!') && last != QLatin1Char('?'))
        text += QLatin1Char('.');
    return text;
}

bool TWidgetFileDialogs::ExecuteOpen(int AFilterIndex, QString &AFileName) {
    QFileDialog dialog(FParent);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters({kInterpreterFilter, kScriptFilter, kAllFilesFilter});
    dialog.selectNameFilter(AFilterIndex == 1 ? kInterpreterFilter : kScriptFilter);
    if (!FLastOpenFolder.isEmpty())
        dialog.setDirectory(FLastOpenFolder);
    else if (AFilterIndex == 1)
        dialog.setDirectory(QStringLiteral("/usr/bin"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    AFileName = dialog.selectedFiles().constFirst();
    if (AFilterIndex == 2) FLastOpenFolder = QFileInfo(AFileName).absolutePath();
    return true;
}

bool TWidgetFileDialogs::ExecuteSave(QString &AFileName) {
    QFileDialog dialog(FParent);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setNameFilters({QStringLiteral("HTML file (*.html)")});
    dialog.setDefaultSuffix(QStringLiteral("html"));
    dialog.selectFile(QStringLiteral("TestResults"));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return false;
    AFileName = dialog.selectedFiles().constFirst();
    return true;
}

void TWidgetFileDialogs::ShowInformation(const QString &AText) {
    QMessageBox box(QMessageBox::Information, QStringLiteral("Information"), AText, QMessageBox::Cancel,
                    FParent);
    box.exec();
}

TUnsavedAnswer TFileDialogs::AskUnsavedScript(const QString &) {
    return uaCancel;
}

bool TFileDialogs::AskSaveAsUtf8(const QString &) {
    return false;
}

bool TFileDialogs::AskReloadScript(const QString &) {
    return false;
}

void TFileDialogs::ShowError(const QString &) {}

bool TFileDialogs::AskRunNonPhpFile(const QString &) {
    return false;
}

TUnsavedAnswer TWidgetFileDialogs::AskUnsavedScript(const QString &AFileName) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Check PHP file"),
                    QStringLiteral("The script \"%1\" has unsaved changes. Save them?")
                        .arg(QFileInfo(AFileName).fileName()),
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, FParent);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Save:
        return uaSave;
    case QMessageBox::Discard:
        return uaDiscard;
    default:
        return uaCancel;
    }
}

bool TWidgetFileDialogs::AskSaveAsUtf8(const QString &AFileName) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Check PHP file"),
                    QStringLiteral("The script \"%1\" was loaded as 8-bit (Latin-1) text, which cannot hold "
                                   "some of the characters it now contains. Save it as UTF-8?")
                        .arg(QFileInfo(AFileName).fileName()),
                    QMessageBox::Cancel, FParent);
    QPushButton *utf8 = box.addButton(QStringLiteral("Save as UTF-8"), QMessageBox::AcceptRole);
    box.setDefaultButton(QMessageBox::Cancel);
    box.exec();
    return box.clickedButton() == utf8;
}

bool TWidgetFileDialogs::AskReloadScript(const QString &AFileName) {
    QMessageBox box(QMessageBox::Question, QStringLiteral("Check PHP file"),
                    QStringLiteral("The script \"%1\" was changed on disk. Reload it and lose the changes "
                                   "made here?")
                        .arg(QFileInfo(AFileName).fileName()),
                    QMessageBox::Yes | QMessageBox::No, FParent);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TWidgetFileDialogs::ShowError(const QString &AText) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Check PHP file"), AText, QMessageBox::Ok, FParent);
    box.exec();
}

bool TWidgetFileDialogs::AskRunNonPhpFile(const QString &AFileName) {
    const QString text = QStringLiteral("\"%1\" is not a .php file.\nRun it with the PHP interpreter anyway?")
                             .arg(QFileInfo(AFileName).fileName());
    return QMessageBox::question(FParent, QStringLiteral("Check PHP file"), text,
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

bool TFileDialogs::EditRunConfig(const TRunSpec &, TRunConfig &) {
    return false;
}

bool TWidgetFileDialogs::EditRunConfig(const TRunSpec &ASpec, TRunConfig &AConfig) {
    TRunConfigDialog dialog(ASpec, AConfig, FParent);
    if (dialog.exec() != QDialog::Accepted) return false;
    AConfig = dialog.Config();
    return true;
}

bool TFileDialogs::EditInterpreters(QStringList &, const QStringList &) {
    return false;
}

bool TWidgetFileDialogs::EditInterpreters(QStringList &ACommands, const QStringList &AFound) {
    QDialog dialog(FParent);
    dialog.setWindowTitle(QStringLiteral("Interpreters"));
    auto *text = new QPlainTextEdit(&dialog);
    text->setPlainText(ACommands.join(QLatin1Char('\n')));
    auto *found = new QPushButton(QStringLiteral("&Add those on PATH"), &dialog);
    found->setEnabled(!AFound.isEmpty());
    QObject::connect(found, &QPushButton::clicked, text, [text, AFound] {
        QStringList lines = text->toPlainText().split(QLatin1Char('\n'), Qt::SkipEmptyParts);
        for (const QString &file : AFound)
            if (!lines.contains(file)) lines << file;
        text->setPlainText(lines.join(QLatin1Char('\n')));
    });
    auto *buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
    buttons->addButton(found, QDialogButtonBox::ActionRole);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    auto *layout = new QVBoxLayout(&dialog);
    auto *label = new QLabel(
        QStringLiteral(
            "One interpreter a line: a path such as /usr/bin/php8.1, or a command with arguments "
            "such as\ndocker run --rm -i -v {dir}:{dir} -w {dir} php:7.4-cli php\n"
            "where {dir} stands for the script's folder. With none listed, those on PATH are used:\n%1")
            .arg(AFound.isEmpty() ? QStringLiteral("(none found)") : AFound.join(QStringLiteral(", "))),
        &dialog);
    label->setWordWrap(true);
    label->setBuddy(text);
    layout->addWidget(label);
    layout->addWidget(text, 1);
    layout->addWidget(buttons);
    dialog.resize(640, 320);
    if (dialog.exec() != QDialog::Accepted) return false;
    ACommands.clear();
    for (const QString &line : text->toPlainText().split(QLatin1Char('\n')))
        if (!line.trimmed().isEmpty()) ACommands << line.trimmed();
    return true;
}

} // namespace app
