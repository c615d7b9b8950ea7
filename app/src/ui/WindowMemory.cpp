// SPDX-License-Identifier: MIT
#include "WindowMemory.h"

#include "AppSettings.h"
#include "ControlPanelUnit.h"
#include "FindBar.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditCodeFolding.h"

#include <QAction>
#include <QFileInfo>
#include <QMenu>
#include <QSplitter>
#include <QToolButton>

namespace app {

TWindowMemory::TWindowMemory(TControlPanelForm &AForm)
    : QObject(&AForm), FForm(AForm), FRecent(new QMenu(QStringLiteral("Recent"), &AForm)) {
    setObjectName(QStringLiteral("WindowMemory"));
    TAppSettings &settings = FForm.Settings();
    // The first start keeps the layout the window makes itself.
    const QByteArray geometry = settings.WindowGeometry();
    if (!geometry.isEmpty()) FForm.restoreGeometry(geometry);
    const QByteArray splitter = settings.SplitterState();
    if (!splitter.isEmpty()) FForm.HSplitter->restoreState(splitter);

    const TAppSettings::TFindOptions options = settings.FindOptions();
    for (TFindBar *bar : {FForm.ScriptFindBar, FForm.ResultFindBar}) {
        bar->MatchCaseButton->setChecked(options.MatchCase);
        bar->WholeWordButton->setChecked(options.WholeWord);
        bar->RegexButton->setChecked(options.Regex);
        for (QToolButton *button : {bar->MatchCaseButton, bar->WholeWordButton, bar->RegexButton})
            connect(button, &QToolButton::toggled, this, [this] { KeepFindOptions(); });
    }

    // Run on save, as it was left.
    FForm.RunOnSaveAction->setChecked(settings.RunOnSave());
    connect(FForm.RunOnSaveAction, &QAction::toggled, this,
            [this](bool AOn) { FForm.Settings().SetRunOnSave(AOn); });

    // The Script button opens the file dialog; its arrow the scripts opened last.
    FForm.SpeedButton2->setMenu(FRecent);
    FForm.SpeedButton2->setPopupMode(QToolButton::MenuButtonPopup);
    connect(FRecent, &QMenu::aboutToShow, this, [this] { FillRecentMenu(); });
}

void TWindowMemory::KeepWindowLayout() {
    FForm.Settings().SetWindowLayout(FForm.saveGeometry(), FForm.HSplitter->saveState());
}

void TWindowMemory::KeepFindOptions() {
    // The options as the bar just changed has them: the next start opens both bars with them.
    const auto *changed = qobject_cast<QToolButton *>(sender());
    const TFindBar *bar =
        FForm.ResultFindBar->isAncestorOf(changed) ? FForm.ResultFindBar : FForm.ScriptFindBar;
    TAppSettings::TFindOptions options;
    options.MatchCase = bar->MatchCaseButton->isChecked();
    options.WholeWord = bar->WholeWordButton->isChecked();
    options.Regex = bar->RegexButton->isChecked();
    FForm.Settings().SetFindOptions(options);
}

void TWindowMemory::ScriptLoaded(const QString &AFileName) {
    FForm.Settings().AddRecentScript(AFileName);
    const QFileInfo info(AFileName);
    const QList<int> folds = FForm.Settings().CollapsedFolds(AFileName, info.size(), info.lastModified());
    if (folds.isEmpty()) return;
    lexedit::TLexEdit &memo = *FForm.PHPmemo;
    const lexedit::TLexFoldRanges &ranges = memo.AllFoldRanges();
    for (int index = ranges.Count() - 1; index >= 0; --index)
        if (folds.contains(ranges.Ranges(index).FromLine)) memo.Collapse(index, false);
    memo.viewport()->update();
}

void TWindowMemory::KeepFolds() {
    const QString script = FForm.PhpScript();
    if (script.isEmpty() || FForm.ScriptModified()) return;
    QList<int> lines;
    for (const lexedit::TLexFoldRange &range : FForm.PHPmemo->AllFoldRanges().AllRanges())
        if (range.Collapsed) lines << range.FromLine;
    const QFileInfo info(script);
    if (info.exists()) FForm.Settings().SetCollapsedFolds(script, info.size(), info.lastModified(), lines);
}

void TWindowMemory::FillRecentMenu() {
    FRecent->clear();
    const QStringList scripts = FForm.Settings().RecentScripts();
    if (scripts.isEmpty()) FRecent->addAction(QStringLiteral("(no scripts yet)"))->setEnabled(false);
    for (int i = 0; i < scripts.size(); ++i) {
        const QString script = scripts[i];
        // &1 .. &9, then &0: each entry has a key of its own.
        QAction *entry = FRecent->addAction(QStringLiteral("&%1  %2").arg((i + 1) % 10).arg(script));
        connect(entry, &QAction::triggered, this, [this, script] {
            common::Guarded([&] {
                if (!QFileInfo(script).isFile()) {
                    FForm.Settings().RemoveRecentScript(script);
                    FForm.ShowNotice(
                        QStringLiteral("The script %1 is gone; it was taken off the list.").arg(script));
                    return;
                }
                FForm.OpenScript(script);
            });
        });
    }
}

void TWindowMemory::ShowRecentMenu() {
    FRecent->popup(FForm.SpeedButton2->mapToGlobal(QPoint(0, FForm.SpeedButton2->height())));
}

} // namespace app
