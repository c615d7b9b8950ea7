// SPDX-License-Identifier: MIT
// The window as a console a PHP developer moves around in by keys: F8 and Shift+F8 go from PHP
// message to PHP message of the output; Ctrl+Tab and Ctrl+PgDn (Ctrl+Shift+Tab, Ctrl+PgUp) show
// the next (previous) tab; a message about another file than the script shows that file in the
// "file" tab; the result view is read to, never typed into; a script waiting at a prompt gets the
// input row's focus; the title names the script.

#include "ControlPanelUnit.h"
#include "FileView.h"
#include "LineMarks.h"
#include "WindowShortcuts.h"
#include "common/Exception.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QAction>
#include <QFileInfo>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>

namespace app {

namespace {
const QString kAppCaption = QStringLiteral("Check PHP file");
} // namespace

void TControlPanelForm::SetUpConsole() {
    // Output is selected, copied and searched there, never edited: stray keys must not end up in
    // the saved result. The window's own appends and replacements of lines are not edits of the
    // user and go on (AppendLines and ReplaceLine change the lines, not through commands).
    WebMemo->SetReadOnly(true);
    NextMessageAction = MakeAction("NextMessageAction", &TControlPanelForm::NextMessageActionExecute);
    PreviousMessageAction =
        MakeAction("PreviousMessageAction", &TControlPanelForm::PreviousMessageActionExecute);
    NextTabAction = MakeAction("NextTabAction", &TControlPanelForm::NextTabActionExecute);
    PreviousTabAction = MakeAction("PreviousTabAction", &TControlPanelForm::PreviousTabActionExecute);
    FPromptTimer = new QTimer(this);
    FPromptTimer->setSingleShot(true);
    FPromptTimer->setInterval(kPromptQuietMs);
    connect(FPromptTimer, &QTimer::timeout, this, [this] { common::Guarded([this] { PromptWaiting(); }); });
}

// ---- messages -------------------------------------------------------------------------------

void TControlPanelForm::NextMessageActionExecute() {
    GoToMessage(true);
}

void TControlPanelForm::PreviousMessageActionExecute() {
    GoToMessage(false);
}

void TControlPanelForm::GoToMessage(bool AForward) {
    // The first F8 of a run goes to its first message (Shift+F8: its last), whatever line the
    // caret is on; later ones go on from the caret.
    const int from = FMessageLine > 0 ? WebMemo->CaretY() : AForward ? 0 : WebMemo->Lines()->Count() + 1;
    const int line = FResultMarks->NextOf(from, AForward, {lmError, lmWarning, lmNote});
    if (line == 0) {
        ShowNotice(QStringLiteral("No PHP messages in the output."));
        return;
    }
    FMessageLine = line;
    PageControl->setCurrentWidget(TabSheet2);
    WebMemo->SetCaretXY(lexedit::BufferCoord(1, line));
    WebMemo->EnsureCursorPosVisibleEx(true);
    WebMemo->setFocus();
}

// ---- tabs -----------------------------------------------------------------------------------

void TControlPanelForm::NextTabActionExecute() {
    ShowTab(1);
}

void TControlPanelForm::PreviousTabActionExecute() {
    ShowTab(-1);
}

void TControlPanelForm::ShowTab(int AStep) {
    const int count = PageControl->count();
    if (count < 2) return;
    PageControl->setCurrentIndex((PageControl->currentIndex() + AStep + count) % count);
    // The keys are the keyboard's way to another view: its editor takes the focus.
    if (auto *editor = PageControl->currentWidget()->findChild<lexedit::TLexEdit *>()) editor->setFocus();
}

// ---- another file than the script -----------------------------------------------------------

void TControlPanelForm::ShowFileAtLine(const QString &AFileName, int ALine) {
    const QFileInfo info(AFileName);
    if (!info.exists()) {
        ShowNotice(QStringLiteral("The file %1 no longer exists.").arg(AFileName));
        return;
    }
    // A folder, a device or a pipe is never read (a pipe would wait for a writer).
    if (!info.isFile()) {
        ShowNotice(QStringLiteral("%1 is not a file.").arg(AFileName));
        return;
    }
    if (!FileSheet) {
        FileSheet = new TFileView(PHPCode, PHPmemo->EditorFont(), PHPmemo->Gutter().Font());
        TakeWindowKeysFrom(*FileSheet->Memo);
    }
    try {
        FileSheet->ShowFile(AFileName, ALine);
    } catch (const common::Exception &) {
        ShowNotice(QStringLiteral("The file %1 cannot be read.").arg(AFileName));
        return;
    }
    int index = PageControl->indexOf(FileSheet);
    if (index < 0) index = PageControl->addTab(FileSheet, QString());
    PageControl->setTabText(index, info.fileName());
    PageControl->setTabToolTip(index, info.absoluteFilePath());
    PageControl->setCurrentIndex(index);
    FileSheet->Memo->setFocus();
}

// ---- the prompt -----------------------------------------------------------------------------

void TControlPanelForm::PromptWaiting() {
    // Still waiting: the partial line is the last output (an entire line would have taken its
    // place, and each new part started the timer again).
    if (!FRun->IsRunning() || !InputEdit->isEnabled() || FResultMarks->LastOf(lmPending) == 0) return;
    if (InputEdit->hasFocus()) return;
    if (!InputEdit->isVisible()) PageControl->setCurrentWidget(TabSheet2);
    InputEdit->setFocus(Qt::OtherFocusReason);
}

// ---- the title ------------------------------------------------------------------------------

void TControlPanelForm::UpdateWindowTitle() {
    const QString title = FPhpScript.isEmpty()
                              ? kAppCaption
                              : QStringLiteral("%1%2 \u2014 %3")
                                    .arg(QFileInfo(FPhpScript).fileName(),
                                         ScriptModified() ? QStringLiteral("*") : QString(), kAppCaption);
    if (windowTitle() != title) setWindowTitle(title);
}

} // namespace app
