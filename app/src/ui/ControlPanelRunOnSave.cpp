// SPDX-License-Identifier: MIT
// Run on save: while the box is ticked, each change of the script (a save with Ctrl+S, or its file
// changed on disk and taken into the view) runs it again, with the changes of a burst coalesced
// as ControlPanelUnit.h says. A run still going is stopped first, and the new one starts when it
// has ended.

#include "ControlPanelUnit.h"
#include "WindowShortcuts.h"
#include "lexedit/LexEdit.h"

#include <QAction>
#include <QCheckBox>
#include <QTimer>

#include <algorithm>

namespace app {

bool TControlPanelForm::RunOnSave() const {
    return RunOnSaveAction->isChecked();
}

void TControlPanelForm::SetRunOnSave(bool AValue) {
    RunOnSaveAction->setChecked(AValue);
}

void TControlPanelForm::SetUpRunOnSave() {
    // The action carries the state (its key toggles it anywhere in the window); the box shows it.
    connect(RunOnSaveBox, &QCheckBox::toggled, RunOnSaveAction, &QAction::setChecked);
    connect(RunOnSaveAction, &QAction::toggled, RunOnSaveBox, &QCheckBox::setChecked);
    connect(RunOnSaveAction, &QAction::toggled, this, [this](bool AOn) {
        if (!AOn) common::Guarded([this] { CancelSaveRun(); });
    });
    RunOnSaveBox->setToolTip(QStringLiteral("Run the script again each time it is saved, here or by "
                                            "another program (%1)")
                                 .arg(ShortcutKeysOf(&TControlPanelForm::RunOnSaveAction)));
    FSaveRunTimer = new QTimer(this);
    FSaveRunTimer->setSingleShot(true);
    connect(FSaveRunTimer, &QTimer::timeout, this,
            [this] { common::Guarded([this] { SaveRunTimerFired(); }); });
}

void TControlPanelForm::ScriptChangedForRun() {
    if (!RunOnSave()) return;
    FLastScriptChange.start();
    switch (FSaveRunState) {
    case srIdle:
        // The first change after a quiet time: the run comes as soon as this save is complete.
        FSaveRunState = srSettling;
        FSaveRunTimer->start(kSaveRunSettleMs);
        break;
    case srSettling:
        break; // the run about to start takes this change in too
    case srQuiet:
        // A change after the run started: one more run when the changes have stopped.
        FChangedSinceSaveRun = true;
        FSaveRunTimer->start(kSaveRunQuietMs);
        break;
    }
}

void TControlPanelForm::SaveRunTimerFired() {
    if (FSaveRunState == srSettling) {
        FSaveRunState = srQuiet;
        FChangedSinceSaveRun = false;
        // The quiet time counts from the last change, which may have come while settling.
        FSaveRunTimer->start(std::max<qint64>(0, kSaveRunQuietMs - FLastScriptChange.elapsed()));
        RunForSave();
    } else {
        // kSaveRunQuietMs without a change: the burst is over, and the next change is a first
        // one again. One more run when the file changed after the first run started.
        FSaveRunState = srIdle;
        if (FChangedSinceSaveRun) {
            FChangedSinceSaveRun = false;
            RunForSave();
        }
    }
}

void TControlPanelForm::RunForSave() {
    // The run shows what the view shows: not when the user kept edits over the file's change.
    if (FPhpScript.isEmpty() || PHPmemo->Modified()) return;
    if (!HasInterpreter()) {
        StartRun(); // says that there is none, and runs nothing
        return;
    }
    if (FRun->IsRunning()) {
        // The run ends asynchronously: RunEnded starts the new one.
        FSaveRunAfterStop = true;
        FRun->Stop();
        return;
    }
    StartRun();
}

void TControlPanelForm::CancelSaveRun() {
    FSaveRunTimer->stop();
    FSaveRunState = srIdle;
    FChangedSinceSaveRun = false;
    FSaveRunAfterStop = false;
}

} // namespace app
