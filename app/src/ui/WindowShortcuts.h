// SPDX-License-Identifier: MIT
#pragma once
// The window's keyboard shortcuts: one table of the window's actions gives them their keys, the
// tool buttons their tooltips and --help its list.
//
// The shortcuts work anywhere in the window. Inside an editor a key of the editor's keystroke
// table wins over the window's (the editor claims it before the window sees it), so the window
// takes its keys out of its editors' tables when it makes them (TakeWindowKeysFrom): of the
// default table that is Ctrl+PgUp and Ctrl+PgDn (caret to the top and bottom of the page), which
// switch tabs here as in browsers and terminals; Ctrl+Home and Ctrl+End, and Ctrl+Shift+PgUp and
// Ctrl+Shift+PgDn (selecting to the top and bottom of the page), stay the editors'. A key given
// to an editor's table later wins inside that editor.
//
// An action may have several entries, one for each of its keys (the next tab: Ctrl+Tab and
// Ctrl+PgDn).

#include "ControlPanelUnit.h"

#include <QKeySequence>
#include <QString>

class QAction;
class QToolButton;

namespace lexedit {
class TCustomLexEdit;
}

namespace app {

struct TWindowShortcut {
    QAction *TControlPanelForm::*Action;     // the window's action the keys trigger
    QToolButton *TControlPanelForm::*Button; // the tool button whose tooltip names it, or nullptr
    const char *Keys;                        // portable text of the key sequence ("Ctrl+Shift+S")
    const char *What;                        // what it does, as --help and the tooltip say it
    bool InputRow = false;                   // the keys act in the input row only
};

inline const TWindowShortcut kWindowShortcuts[] = {
    {&TControlPanelForm::SelectPHPFolderAction, &TControlPanelForm::SpeedButton1, "Ctrl+P",
     "Choose the PHP interpreter"},
    {&TControlPanelForm::OpenScriptAction, &TControlPanelForm::SpeedButton2, "Ctrl+O",
     "Open a PHP script and run it"},
    {&TControlPanelForm::RecentScriptsAction, nullptr, "Ctrl+R",
     "Open one of the scripts opened last (also the Script button's arrow)"},
    {&TControlPanelForm::RunAgainAction, &TControlPanelForm::SpeedButton2, "F5",
     "Run the current command again"},
    {&TControlPanelForm::ExecuteScriptAction, &TControlPanelForm::PHPFileButton, "Ctrl+E",
     "Render the result as a page"},
    {&TControlPanelForm::SaveResultsAction, &TControlPanelForm::SaveButton, "Ctrl+Shift+S",
     "Save the result as an HTML file"},
    {&TControlPanelForm::SaveScriptAction, nullptr, "Ctrl+S", "Save the script shown in \"PHP Code\""},
    {&TControlPanelForm::RunConfigAction, &TControlPanelForm::RunConfigButton, "Ctrl+Shift+P",
     "Edit the script's run configuration"},
    {&TControlPanelForm::RunOnSaveAction, nullptr, "Ctrl+F5",
     "Turn run on save on or off: the script runs again each time it is saved"},
    {&TControlPanelForm::StopRunAction, &TControlPanelForm::StopButton, "Esc", "Stop the run"},
    {&TControlPanelForm::FindAction, nullptr, "Ctrl+F", "Find in the view that has the focus"},
    {&TControlPanelForm::ReplaceAction, nullptr, "Ctrl+H", "Find and replace in the script"},
    {&TControlPanelForm::FindNextAction, nullptr, "F3", "Find the next match"},
    {&TControlPanelForm::FindPreviousAction, nullptr, "Shift+F3", "Find the previous match"},
    {&TControlPanelForm::NextMessageAction, nullptr, "F8", "Go to the next PHP message in the output"},
    {&TControlPanelForm::PreviousMessageAction, nullptr, "Shift+F8",
     "Go to the previous PHP message in the output"},
    {&TControlPanelForm::NextTabAction, nullptr, "Ctrl+Tab", "Show the next tab"},
    {&TControlPanelForm::NextTabAction, nullptr, "Ctrl+PgDown", "Show the next tab"},
    {&TControlPanelForm::PreviousTabAction, nullptr, "Ctrl+Shift+Tab", "Show the previous tab"},
    {&TControlPanelForm::PreviousTabAction, nullptr, "Ctrl+PgUp", "Show the previous tab"},
    {&TControlPanelForm::RunOnAllAction, nullptr, "Ctrl+Shift+F5",
     "Run the script on every interpreter listed and compare their outputs"},
    {&TControlPanelForm::NextChangeAction, nullptr, "F7", "Go to the next change of the diff shown"},
    {&TControlPanelForm::PreviousChangeAction, nullptr, "Shift+F7",
     "Go to the previous change of the diff shown"},
    {&TControlPanelForm::CloseInputAction, nullptr, "Ctrl+D", "Close the script's input (in the input row)",
     true},
};

// Gives the window's actions their shortcuts (reachable from anywhere in the window, or in the
// input row) and the tool buttons tooltips naming them, and takes the window's keys out of the
// keystroke tables of the window's editors.
void AddWindowShortcuts(TControlPanelForm &AForm);

// Takes every key of the window's shortcuts (but the input row's) out of AEditor's keystroke
// table, so that the window's shortcut answers it inside that editor too.
void TakeWindowKeysFrom(lexedit::TCustomLexEdit &AEditor);

// The keys of AAction's first entry, as the user's keyboard names them ("Ctrl+P").
QString ShortcutKeysOf(QAction *TControlPanelForm::*AAction);

// The list --help prints: a heading and one line a shortcut.
QString ShortcutHelpText();

} // namespace app
