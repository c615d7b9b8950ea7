// SPDX-License-Identifier: MIT
// The script view as an editor of the script's file: Ctrl+S saves it through the line buffer
// (keeping the encoding, byte-order mark and line breaks it was loaded with, and the file's mode,
// owner and group), the tab caption
// shows an asterisk while the text differs from the file, a run saves a modified script first,
// unsaved changes are never lost without a question, and a change of the file on disk reloads it.

#include "ControlPanelUnit.h"
#include "FileWriting.h"
#include "LineMarks.h"
#include "WindowMemory.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QBuffer>
#include <QCloseEvent>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QTabWidget>

#include <algorithm>

namespace app {

namespace {
const QString kScriptCaption = QStringLiteral("PHP Code");
}

bool TControlPanelForm::ScriptModified() const {
    return PHPmemo->Modified();
}

void TControlPanelForm::SetUpScriptEditing() {
    // The script view folds as the PHP highlighter marks its blocks, comments and regions.
    PHPmemo->SetUseCodeFolding(true);
    FScriptWatcher = new QFileSystemWatcher(this);
    // A save that replaces the file (as most editors and this window do) ends the watch of the
    // file; the folder's watch sees the new one.
    connect(FScriptWatcher, &QFileSystemWatcher::fileChanged, this,
            [this] { common::Guarded([this] { ScriptFileChanged(); }); });
    connect(FScriptWatcher, &QFileSystemWatcher::directoryChanged, this,
            [this] { common::Guarded([this] { ScriptFileChanged(); }); });
    PHPmemo->OnStatusChange = [this](lexedit::TCustomLexEdit *, lexedit::TLexStatusChanges) {
        UpdateScriptCaption();
    };
}

void TControlPanelForm::UpdateScriptCaption() {
    const int index = PageControl->indexOf(CodeSheet);
    const QString caption = PHPmemo->Modified() ? kScriptCaption + QLatin1Char('*') : kScriptCaption;
    if (PageControl->tabText(index) != caption) PageControl->setTabText(index, caption);
    UpdateWindowTitle();
}

void TControlPanelForm::ScriptLoaded() {
    PHPmemo->SetModified(false);
    FScriptMarks->Clear();
    RememberScriptFile();
    const QStringList watched = FScriptWatcher->files() + FScriptWatcher->directories();
    if (!watched.isEmpty()) FScriptWatcher->removePaths(watched);
    FScriptWatcher->addPath(FPhpScript);
    FScriptWatcher->addPath(QFileInfo(FPhpScript).absolutePath());
    UpdateScriptCaption();
}

void TControlPanelForm::RememberScriptFile() {
    const QFileInfo info(FPhpScript);
    FScriptFileTime = info.exists() ? info.lastModified() : QDateTime();
    FScriptFileSize = info.exists() ? info.size() : -1;
}

void TControlPanelForm::SaveScriptActionExecute() {
    // Only the user's save counts for run on save: the save before a run runs it anyway.
    if (SaveScript()) ScriptChangedForRun();
}

bool TControlPanelForm::SaveScript() {
    if (FPhpScript.isEmpty()) return false;
    const QFileInfo info(FPhpScript);
    // A file the user made read-only is not replaced behind its back.
    if (info.exists() && info.isFile() && !info.isWritable()) {
        ShowSaveError(QStringLiteral("the file is read-only."));
        return false;
    }
    lexedit::TLexEditStringList &lines = *PHPmemo->Lines();
    bool cancelled = false;
    // Characters that 8-bit text cannot hold are never written as "?": the user chooses UTF-8
    // or keeps the text unsaved.
    lines.OnInfoLoss = [&](lexedit::TLexEncoding &AEncoding, bool &ACancel) {
        if (FDialogs->AskSaveAsUtf8(FPhpScript))
            AEncoding = lexedit::seUTF8;
        else
            ACancel = cancelled = true;
    };
    struct TResetHook {
        lexedit::TLexEditStringList &Lines;
        ~TResetHook() { Lines.OnInfoLoss = nullptr; }
    } resetHook{lines};
    try {
        // The buffer's save gives the bytes (its encoding, byte-order mark and line breaks); they
        // are written as the result file is: a regular file replaced atomically keeping its mode,
        // owner and group, anything else written in place.
        QBuffer bytes;
        bytes.open(QIODevice::WriteOnly);
        lines.SaveToStream(bytes, lines.Encoding());
        if (cancelled) return false;
        WriteFileBytes(FPhpScript, bytes.data());
    } catch (const common::Exception &e) {
        ShowSaveError(e.Message());
        return false;
    }
    PHPmemo->SetModified(false);
    RememberScriptFile();
    UpdateScriptCaption();
    return true;
}

void TControlPanelForm::ShowSaveError(const QString &AReason) {
    FDialogs->ShowError(
        QStringLiteral("The script \"%1\" could not be saved: %2 The text stays in the editor, "
                       "marked modified.")
            .arg(FPhpScript, ErrorDialogText(AReason)));
}

bool TControlPanelForm::SaveModifiedScript() {
    if (FPhpScript.isEmpty() || !PHPmemo->Modified()) return true;
    return SaveScript();
}

bool TControlPanelForm::ConfirmDiscardScript() {
    if (FPhpScript.isEmpty() || !PHPmemo->Modified()) return true;
    switch (FDialogs->AskUnsavedScript(FPhpScript)) {
    case uaSave:
        return SaveScript();
    case uaDiscard:
        return true;
    case uaCancel:
        break;
    }
    return false;
}

void TControlPanelForm::closeEvent(QCloseEvent *AEvent) {
    bool close = true;
    common::Guarded([&] { close = ConfirmDiscardScript(); });
    if (close) {
        FMemory->KeepFolds();
        FMemory->KeepWindowLayout();
        AEvent->accept();
    } else {
        AEvent->ignore();
    }
}

void TControlPanelForm::ScriptFileChanged() {
    if (FPhpScript.isEmpty() || FAskingReload) return;
    const QFileInfo info(FPhpScript);
    if (!info.exists()) return; // gone (or being replaced): the text stays
    if (!FScriptWatcher->files().contains(FPhpScript)) FScriptWatcher->addPath(FPhpScript);
    if (info.lastModified() == FScriptFileTime && info.size() == FScriptFileSize)
        return; // as loaded or saved
    if (PHPmemo->Modified()) {
        FAskingReload = true;
        const bool reload = FDialogs->AskReloadScript(FPhpScript);
        FAskingReload = false;
        if (!reload) {
            RememberScriptFile(); // asked once for this change
            return;
        }
    }
    ReloadScript();
}

void TControlPanelForm::ReloadScript() {
    const lexedit::TBufferCoord caret = PHPmemo->CaretXY();
    const int top = PHPmemo->TopLine();
    PHPmemo->Lines()->LoadFromFile(FPhpScript);
    ScriptLoaded();
    const int line = std::min(caret.Line, std::max(1, PHPmemo->Lines()->Count()));
    PHPmemo->SetCaretXY(lexedit::BufferCoord(1, line));
    PHPmemo->SetTopLine(top);
    ScriptChangedForRun(); // the view holds the file's new text
}

} // namespace app
