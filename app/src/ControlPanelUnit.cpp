#include "ControlPanelUnit.h"

#include "AppController.h"
#include "LineMemo.h"
#include "ResultBrowser.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

namespace app {

TControlPanelForm::TControlPanelForm(QWidget *AParent)
    : QWidget(AParent), FDialogs(std::make_unique<TWidgetFileDialogs>(this)) {
    setObjectName(QStringLiteral("ControlPanelForm"));
    CreateWidgets();
    CreateActions();

    ConsoleCommand = new runner::TConsoleCommand(this);
    ConsoleCommand->setObjectName(QStringLiteral("ConsoleCommand"));
    ConsoleCommand->SetInputToOutput(false);
    ConsoleCommand->SetMaxTimeAfterBeginning(0);
    ConsoleCommand->SetMaxTimeAfterLastOutput(1000);
    ConsoleCommand->SetOnNewLine(
        [this](QObject *ASender, const QString &ANewLine, runner::TOutputType AType) {
            ConsoleCommandNewLine(ASender, ANewLine, AType);
        });
}

// The runner is a child object: Qt destroys it with the window, and its destructor stops a
// running child and waits for the worker.
TControlPanelForm::~TControlPanelForm() = default;

void TControlPanelForm::SetDialogs(std::unique_ptr<TFileDialogs> ADialogs) {
    FDialogs = std::move(ADialogs);
}

void TControlPanelForm::showEvent(QShowEvent *AEvent) {
    QWidget::showEvent(AEvent);
    if (!FShown) {
        FShown = true;
        FormShow();
    }
}

void TControlPanelForm::FormShow() {
    FPhpFolder.clear();
    FPhpScript.clear();
    FCommands.clear();
}

void TControlPanelForm::SelectPHPFolderActionExecute() {
    QString fileName;
    if (!FDialogs->ExecuteOpen(1, fileName)) return;
    ChooseInterpreter(fileName);
}

void TControlPanelForm::ChooseInterpreter(const QString &AFileName) {
    FPhpFolder = FolderOf(AFileName);
    FCommands = QuoteCommandArgument(AFileName);
    ControlLabel->setText(AFileName);
}

bool TControlPanelForm::ReadyForScript() {
    if (FPhpFolder.isEmpty()) {
        FDialogs->ShowInformation(QStringLiteral("No php.exe specified."));
        return false;
    }
    // A second run would be refused by the runner after the result view had been cleared;
    // refuse before anything changes so that the running child's output stays.
    if (ConsoleCommand->IsRunning())
        throw runner::EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
    return true;
}

void TControlPanelForm::OpenScriptActionExecute() {
    if (!ReadyForScript()) return;
    QString fileName;
    if (FDialogs->ExecuteOpen(2, fileName))
        LoadScriptAndRun(fileName);
    else
        StartRun();
}

void TControlPanelForm::OpenScript(const QString &AFileName) {
    if (ReadyForScript()) LoadScriptAndRun(AFileName);
}

void TControlPanelForm::LoadScriptAndRun(const QString &AFileName) {
    // Load first: a script that cannot be read changes nothing and starts no run.
    PHPmemo->LoadFromFile(AFileName);
    FPhpScript = AFileName;
    FCommands += QLatin1Char(' ') + QuoteCommandArgument(AFileName);
    ControlLabel->setText(FCommands);
    StartRun();
}

void TControlPanelForm::StartRun() {
    WebMemo->Clear();
    ConsoleCommand->SetCommandLine(BuildCommandLine(FCommands, ParamsEdit->text()));
    ConsoleCommand->SetCurrentDir(FPhpFolder);
    ConsoleCommand->Execute();
}

void TControlPanelForm::ConsoleCommandNewLine(QObject *, const QString &ANewLine,
                                              runner::TOutputType AOutputType) {
    if (AOutputType != runner::otEntireLine) return;
    WebMemo->Add(DecodeResultLine(ANewLine));
}

void TControlPanelForm::ExecuteScriptActionExecute() {
    WB->WriteDocument(WebMemo->Text());
}

void TControlPanelForm::SaveResultsActionExecute() {
    const QString text = WebMemo->Text();
    QString fileName;
    if (!FDialogs->ExecuteSave(fileName)) return;
    WriteResultFile(fileName, text);
}

void TControlPanelForm::CreateActions() {
    auto makeAction = [this](const char *AName, void (TControlPanelForm::*AHandler)()) {
        auto *action = new QAction(this);
        action->setObjectName(QString::fromLatin1(AName));
        connect(action, &QAction::triggered, this,
                [this, AHandler] { common::Guarded([&] { (this->*AHandler)(); }); });
        return action;
    };
    OpenScriptAction = makeAction("OpenScriptAction", &TControlPanelForm::OpenScriptActionExecute);
    SaveResultsAction = makeAction("SaveResultsAction", &TControlPanelForm::SaveResultsActionExecute);
    ExecuteScriptAction = makeAction("ExecuteScriptAction", &TControlPanelForm::ExecuteScriptActionExecute);
    SelectPHPFolderAction =
        makeAction("SelectPHPFolderAction", &TControlPanelForm::SelectPHPFolderActionExecute);
    connect(SpeedButton1, &QToolButton::clicked, SelectPHPFolderAction, &QAction::trigger);
    connect(SpeedButton2, &QToolButton::clicked, OpenScriptAction, &QAction::trigger);
    connect(PHPFileButton, &QToolButton::clicked, ExecuteScriptAction, &QAction::trigger);
    connect(SaveButton, &QToolButton::clicked, SaveResultsAction, &QAction::trigger);
}

} // namespace app
