// SPDX-License-Identifier: MIT
// The window's runs kept and compared: each run that ends is kept in the "Runs" tab; "Run on
// all" runs the script on every interpreter of the list and shows the "Compare" tab; F7 and
// Shift+F7 move from change to change of the diff shown.

#include "AppSettings.h"
#include "ComparePanel.h"
#include "ControlPanelUnit.h"
#include "DiffView.h"
#include "Interpreters.h"
#include "RunsPanel.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexHighlighterHtml.h"

#include <QAction>
#include <QPushButton>
#include <QTabWidget>
#include <QToolButton>

namespace app {

void TControlPanelForm::SetUpComparing() {
    RunsSheet = new TRunsPanel(HTML5, WebMemo->EditorFont(), WebMemo->Gutter().Font(), this);
    RunsSheet->hide();
    CompareSheet = new TComparePanel(HTML5, WebMemo->EditorFont(), WebMemo->Gutter().Font(), this);
    CompareSheet->hide();
    RunOnAllAction = MakeAction("RunOnAllAction", &TControlPanelForm::RunOnAllActionExecute);
    NextChangeAction = MakeAction("NextChangeAction", &TControlPanelForm::NextChangeActionExecute);
    PreviousChangeAction =
        MakeAction("PreviousChangeAction", &TControlPanelForm::PreviousChangeActionExecute);
    EditInterpretersAction =
        MakeAction("EditInterpretersAction", &TControlPanelForm::EditInterpretersActionExecute);
    connect(CompareSheet->InterpretersButton, &QPushButton::clicked, EditInterpretersAction,
            &QAction::trigger);
}

void TControlPanelForm::ShowSheet(QWidget *ASheet, const QString &ACaption) {
    if (PageControl->indexOf(ASheet) < 0) PageControl->addTab(ASheet, ACaption);
    PageControl->setCurrentWidget(ASheet);
}

void TControlPanelForm::KeepRun() {
    TRunRecord record;
    record.Command = FRunCommand;
    record.Started = FRunStarted;
    record.Outcome = FRun->Outcome();
    record.Output = FRunOutput.Take();
    const bool first = PageControl->indexOf(RunsSheet) < 0;
    RunsSheet->Keep(std::move(record));
    if (first) PageControl->addTab(RunsSheet, QStringLiteral("Runs"));
}

QStringList TControlPanelForm::InterpreterCommands() const {
    const QStringList listed = FSettings->Interpreters();
    return listed.isEmpty() ? FindInterpretersOnPath() : listed;
}

void TControlPanelForm::RunOnAllActionExecute() {
    if (FPhpScript.isEmpty()) {
        ShowNotice(QStringLiteral("Open a script first."));
        return;
    }
    if (FRun->IsRunning() || CompareSheet->IsRunning()) {
        ShowNotice(QStringLiteral("Wait for the run to end, or stop it (Esc)."));
        return;
    }
    const QStringList commands = InterpreterCommands();
    if (commands.isEmpty()) {
        ShowNotice(QStringLiteral(
            "No interpreter to run on: list them with the Interpreters button of the Compare tab."));
        ShowSheet(CompareSheet, QStringLiteral("Compare"));
        return;
    }
    if (!SaveModifiedScript()) return;
    ShowSheet(CompareSheet, QStringLiteral("Compare"));
    ShowNotice(QStringLiteral("Running on %1 interpreters\u2026").arg(commands.size()));
    CompareSheet->Start(CurrentRunSpec(), commands, [this] {
        StopRunAction->setEnabled(false);
        StopButton->setEnabled(false);
        const int groups = CompareSheet->Runs().GroupCount();
        // Outputs that differ are what the user looks for: in red; all the same, in black.
        ShowStatus(groups <= 1 ? QStringLiteral("Run on all: every output is the same.")
                               : QStringLiteral("Run on all: %1 different outputs.").arg(groups),
                   groups > 1);
    });
    StopRunAction->setEnabled(true);
    StopButton->setEnabled(true);
}

TDiffView *TControlPanelForm::ShownDiffView() const {
    if (PageControl->currentWidget() == RunsSheet) return RunsSheet->View;
    if (PageControl->currentWidget() == CompareSheet) return CompareSheet->View;
    return nullptr;
}

void TControlPanelForm::NextChangeActionExecute() {
    if (TDiffView *view = ShownDiffView()) view->GoToChange(true);
}

void TControlPanelForm::PreviousChangeActionExecute() {
    if (TDiffView *view = ShownDiffView()) view->GoToChange(false);
}

void TControlPanelForm::EditInterpretersActionExecute() {
    QStringList commands = FSettings->Interpreters();
    if (FDialogs->EditInterpreters(commands, FindInterpretersOnPath())) FSettings->SetInterpreters(commands);
}

} // namespace app
