// SPDX-License-Identifier: MIT
#include "FileDrop.h"

#include "ControlPanelUnit.h"
#include "common/Exception.h"

#include <QApplication>
#include <QDropEvent>
#include <QFileInfo>
#include <QMimeData>
#include <QTimer>
#include <QUrl>

#include <cstdio>

namespace app {

TFileDrop::TFileDrop(TControlPanelForm &AForm) : QObject(&AForm), FForm(AForm) {
    setObjectName(QStringLiteral("FileDrop"));
    // Drags over widgets that take no drops of their own reach the window; drags over those that
    // do (the browser pane, an editor) are looked at before them, through the application.
    FForm.setAcceptDrops(true);
    qApp->installEventFilter(this);
}

QString TFileDrop::DroppedFile(const QMimeData &AData) {
    if (!AData.hasUrls()) return QString();
    for (const QUrl &url : AData.urls()) {
        if (!url.isLocalFile()) continue;
        const QFileInfo info(url.toLocalFile());
        if (info.exists() && !info.isDir()) return info.absoluteFilePath();
    }
    return QString();
}

bool TFileDrop::eventFilter(QObject *AWatched, QEvent *AEvent) {
    const QEvent::Type type = AEvent->type();
    if (type != QEvent::DragEnter && type != QEvent::DragMove && type != QEvent::Drop) return false;
    auto *widget = qobject_cast<QWidget *>(AWatched);
    if (!widget || (widget != &FForm && !FForm.isAncestorOf(widget))) return false;
    auto *drop = static_cast<QDropEvent *>(AEvent); // DragEnter and DragMove derive from it
    const QMimeData *data = drop->mimeData();
    // A drag moves over the window many times a second: its file is looked up once, on entering.
    if (type != QEvent::DragMove || data != FDragData) {
        FDragData = data;
        FDragFile = data ? DroppedFile(*data) : QString();
    }
    if (FDragFile.isEmpty() || !(drop->possibleActions() & Qt::CopyAction))
        return false; // not a file: the widget's own drag and drop
    drop->setDropAction(Qt::CopyAction);
    drop->accept();
    if (type == QEvent::Drop) {
        FDragData = nullptr;
        int files = 0;
        for (const QUrl &url : data->urls())
            files += url.isLocalFile() ? 1 : 0;
        if (files > 1)
            std::fprintf(stderr, "checkphp: %d files dropped; only the first is opened: %s\n", files,
                         FDragFile.toLocal8Bit().constData());
        // Opened once the drop is over: a question or a message box must not run inside the
        // platform's drag and drop.
        QTimer::singleShot(0, this,
                           [this, file = FDragFile] { common::Guarded([&] { OpenDropped(file); }); });
    }
    return true;
}

void TFileDrop::OpenDropped(const QString &AFileName) {
    // Without an interpreter, or during a run, the Script button's own answer comes first: no
    // question about a file that would not run anyway.
    if (FForm.ScriptWouldRun() && !AFileName.endsWith(QLatin1String(".php"), Qt::CaseInsensitive) &&
        !FForm.Dialogs().AskRunNonPhpFile(AFileName))
        return;
    FForm.OpenScript(AFileName);
}

} // namespace app
