// SPDX-License-Identifier: MIT
#pragma once
// The window's keyboard shortcuts: one table of the window's actions gives them their keys, the
// tool buttons their tooltips and --help its list.
//
// The shortcuts work anywhere in the window. Inside an editor a key of the editor's keystroke
// table wins over the window's (the editor claims it before the window sees it); none of the
// keys below is in the editors' default table.

#include "ControlPanelUnit.h"

#include <QKeySequence>
#include <QString>

class QAction;
class QToolButton;

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
    {&TControlPanelForm::StopRunAction, &TControlPanelForm::StopButton, "Esc", "Stop the run"},
    {&TControlPanelForm::FindAction, nullptr, "Ctrl+F", "Find in the view that has the focus"},
    {&TControlPanelForm::ReplaceAction, nullptr, "Ctrl+H", "Find and replace in the script"},
    {&TControlPanelForm::FindNextAction, nullptr, "F3", "Find the next match"},
    {&TControlPanelForm::FindPreviousAction, nullptr, "Shift+F3", "Find the previous match"},
    {&TControlPanelForm::CloseInputAction, nullptr, "Ctrl+D", "Close the script's input (in the input row)",
     true},
};

// Gives the window's actions their shortcuts (reachable from anywhere in the window, or in the
// input row) and the tool buttons tooltips naming them.
void AddWindowShortcuts(TControlPanelForm &AForm);

// The list --help prints: a heading and one line a shortcut.
QString ShortcutHelpText();

} // namespace app
