// SPDX-License-Identifier: MIT
#pragma once
// What the window remembers between starts, through the settings file: its size, place and
// splitter, the find bars' options, run on save, the scripts opened last (the Script button's
// menu and Ctrl+R) and each script's collapsed folds.

#include <QObject>
#include <QString>

class QMenu;

namespace app {

class TControlPanelForm;

class TWindowMemory : public QObject {
public:
    // Restores what is kept (the window not shown yet) and follows the find bars' options.
    explicit TWindowMemory(TControlPanelForm &AForm);

    // The window's size, place and splitter, kept when it closes.
    void KeepWindowLayout();
    // A script was loaded into the script view: it goes to the top of the recent list, and its
    // folds come back when its file is as it was when they were kept.
    void ScriptLoaded(const QString &AFileName);
    // The script view is about to take another file or the window closes: the script's
    // collapsed folds are kept with its file's size and time (not while it has unsaved edits,
    // when its lines are not the file's).
    void KeepFolds();
    // The recent scripts' menu, under the Script button (Ctrl+R).
    void ShowRecentMenu();
    QMenu *RecentMenu() const { return FRecent; }

private:
    void FillRecentMenu();
    void KeepFindOptions();
    TControlPanelForm &FForm;
    QMenu *FRecent;
};

} // namespace app
