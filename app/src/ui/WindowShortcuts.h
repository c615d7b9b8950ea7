#pragma once
// The window's keyboard shortcuts: one table gives the actions their keys, the tool buttons their
// tooltips and --help its list.
//
// The shortcuts work anywhere in the window. Inside an editor a key of the editor's keystroke
// table wins over the window's (the editor claims it before the window sees it); none of the
// keys below is in the editors' default table.

#include <QKeySequence>
#include <QString>

namespace app {

class TControlPanelForm;

struct TWindowShortcut {
    const char *Action; // object name of the window's action; nullptr: bound by the window itself
    const char *Button; // object name of the tool button whose tooltip names it, or nullptr
    const char *Keys;   // portable text of the key sequence ("Ctrl+Shift+S")
    const char *What;   // what it does, as --help and the tooltip say it
};

inline constexpr TWindowShortcut kWindowShortcuts[] = {
    {"SelectPHPFolderAction", "SpeedButton1", "Ctrl+P", "Choose the PHP interpreter"},
    {"OpenScriptAction", "SpeedButton2", "Ctrl+O", "Open a PHP script and run it"},
    {"RunAgainAction", "SpeedButton2", "F5", "Run the current command again"},
    {"ExecuteScriptAction", "PHPFileButton", "Ctrl+E", "Render the result as a page"},
    {"SaveResultsAction", "SaveButton", "Ctrl+Shift+S", "Save the result as an HTML file"},
    {nullptr, nullptr, "Ctrl+S", "Save the script shown in \"PHP Code\""},
    {"StopRunAction", "StopButton", "Esc", "Stop the run"},
    {"FindAction", nullptr, "Ctrl+F", "Find in the view that has the focus"},
    {"ReplaceAction", nullptr, "Ctrl+H", "Find and replace in the script"},
    {"FindNextAction", nullptr, "F3", "Find the next match"},
    {"FindPreviousAction", nullptr, "Shift+F3", "Find the previous match"},
};

// Gives the window's actions their shortcuts (reachable from anywhere in the window) and the
// tool buttons tooltips naming them.
void AddWindowShortcuts(TControlPanelForm &AForm);

// The list --help prints: a heading and one line a shortcut.
QString ShortcutHelpText();

} // namespace app
