// SPDX-License-Identifier: MIT
#pragma once
// Dropping a file on the window opens and runs it as the Script button would.
//
// A drag that carries local files (text/uri-list, as a file manager gives it) is taken wherever
// it is over the window, the editors and the browser pane included; the first file that is not
// a folder is the one opened. A name that does not end in ".php" is run only after the user
// confirms (through the window's dialogs). Without an interpreter the file is loaded and the
// status line says what is missing, as the Script button does; during a run it is refused as the
// Script button refuses it; unsaved changes of the script shown are asked about first. Any other drag (text
// dragged within or onto an editor) is left alone: it stays the editor's own drag and drop.

#include <QObject>
#include <QString>

class QMimeData;

namespace app {

class TControlPanelForm;

class TFileDrop : public QObject {
    Q_OBJECT
public:
    // Watches AForm (a child of it, destroyed with it) and lets it accept drops.
    explicit TFileDrop(TControlPanelForm &AForm);

    // The file a drag would open: the first local file of its URLs that is not a folder, or ""
    // when it carries none.
    static QString DroppedFile(const QMimeData &AData);

    // Opens and runs AFileName as the Script button would (the steps above).
    void OpenDropped(const QString &AFileName);

protected:
    bool eventFilter(QObject *AWatched, QEvent *AEvent) override;

private:
    TControlPanelForm &FForm;
    // The drag going on: its data (only compared, never read) and the file it would open.
    const QMimeData *FDragData = nullptr;
    QString FDragFile;
};

} // namespace app
