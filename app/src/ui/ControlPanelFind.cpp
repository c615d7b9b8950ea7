// SPDX-License-Identifier: MIT
// The find bars of the two views and the window's find keys.

#include "ControlPanelUnit.h"
#include "FileView.h"
#include "FindBar.h"
#include "lexedit/LexEdit.h"

#include <QAction>
#include <QApplication>
#include <QBoxLayout>
#include <QTabWidget>

namespace app {

void TControlPanelForm::CreateFindBars() {
    ScriptFindBar = new TFindBar(PHPmemo, true, CodeSheet);
    ScriptFindBar->setObjectName(QStringLiteral("ScriptFindBar"));
    qobject_cast<QVBoxLayout *>(CodeSheet->layout())->addWidget(ScriptFindBar);
    ResultFindBar = new TFindBar(WebMemo, false, TabSheet2);
    ResultFindBar->setObjectName(QStringLiteral("ResultFindBar"));
    // Between the result view and the input row.
    auto *ResultLayout = qobject_cast<QVBoxLayout *>(TabSheet2->layout());
    ResultLayout->insertWidget(ResultLayout->indexOf(WebMemo) + 1, ResultFindBar);
}

TFindBar *TControlPanelForm::ActiveFindBar() const {
    const QWidget *Focus = QApplication::focusWidget();
    for (TFindBar *Bar : {ScriptFindBar, ResultFindBar, FileSheet ? FileSheet->FindBar : nullptr})
        if (Bar != nullptr && Focus != nullptr &&
            (Focus == Bar->Editor() || Bar->isAncestorOf(Focus) ||
             (Bar->Editor() != nullptr && Bar->Editor()->isAncestorOf(Focus))))
            return Bar;
    if (FileSheet != nullptr && PageControl->currentWidget() == FileSheet) return FileSheet->FindBar;
    return PageControl->currentWidget() == TabSheet2 ? ResultFindBar : ScriptFindBar;
}

void TControlPanelForm::FindActionExecute() {
    ActiveFindBar()->Open(false);
}

void TControlPanelForm::ReplaceActionExecute() {
    // Only the script is edited by replacing: the result view gets its find bar alone.
    TFindBar *Bar = ActiveFindBar();
    Bar->Open(Bar->AllowsReplace());
}

void TControlPanelForm::FindNextActionExecute() {
    TFindBar *Bar = ActiveFindBar();
    if (Bar->isHidden()) Bar->Open(false);
    Bar->FindNext();
}

void TControlPanelForm::FindPreviousActionExecute() {
    TFindBar *Bar = ActiveFindBar();
    if (Bar->isHidden()) Bar->Open(false);
    Bar->FindPrevious();
}

} // namespace app
