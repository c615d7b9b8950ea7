#include "FileDialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>

namespace app {

namespace {
// Interpreters have no extension on Linux: the first filter lists the usual names so that php,
// php8.2 and the like can be picked directly.
const QString kInterpreterFilter = QStringLiteral("PHP translator (php php[0-9]* php-cli* *.exe)");
const QString kScriptFilter = QStringLiteral("PHP script (*.php)");
const QString kAllFilesFilter = QStringLiteral("All files (*)");
} // namespace

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

} // namespace app
