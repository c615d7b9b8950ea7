#include "ControlPanelUnit.h"

#include "AppController.h"
#include "FileDrop.h"
#include "ResultBrowser.h"
#include "WindowShortcuts.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QAction>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QTimer>
#include <QToolButton>

#include <algorithm>

namespace app {

TControlPanelForm::TControlPanelForm(QWidget *AParent)
    : QWidget(AParent), FDialogs(std::make_unique<TWidgetFileDialogs>(this)) {
    setObjectName(QStringLiteral("ControlPanelForm"));
    CreateWidgets();
    CreateActions();
    new TFileDrop(*this);      // a file dropped on the window runs as the Script button would
    AddWindowShortcuts(*this); // Ctrl+P, Ctrl+O, Ctrl+E, Ctrl+Shift+S and the buttons' tooltips

    ConsoleCommand = new runner::TConsoleCommand(this);
    ConsoleCommand->setObjectName(QStringLiteral("ConsoleCommand"));
    ConsoleCommand->SetInputToOutput(false);
    ConsoleCommand->SetMaxTimeAfterBeginning(0);
    ConsoleCommand->SetMaxTimeAfterLastOutput(1000);
    ConsoleCommand->SetOnNewLine(
        [this](QObject *ASender, const QString &ANewLine, runner::TOutputType AType) {
            ConsoleCommandNewLine(ASender, ANewLine, AType);
        });
    ConsoleCommand->SetOnExecuteError([this](QObject *, const common::Exception &AE, bool &) {
        // Noted for the status line; the error is still reported as before.
        FRunError = AE.Message();
        FRunFailedToStart = qstrcmp(AE.ClassName(), "ECreateProcessError") == 0 ||
                            qstrcmp(AE.ClassName(), "ECreatePipeError") == 0;
    });
    ConsoleCommand->SetOnTerminated([this](QObject *) { RunEnded(); });

    FResultFrameTimer = new QTimer(this);
    FResultFrameTimer->setSingleShot(true);
    connect(FResultFrameTimer, &QTimer::timeout, this,
            [this] { common::Guarded([this] { CloseResultUpdate(); }); });

    FStatusTimer = new QTimer(this);
    FStatusTimer->setInterval(100);
    connect(FStatusTimer, &QTimer::timeout, this, [this] { ShowRunStatus(); });
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
    PHPmemo->Lines()->LoadFromFile(AFileName);
    FPhpScript = AFileName;
    FCommands += QLatin1Char(' ') + QuoteCommandArgument(AFileName);
    ControlLabel->setText(FCommands);
    StartRun();
}

void TControlPanelForm::StartRun() {
    CloseResultUpdate();
    WebMemo->Lines()->Clear();
    ConsoleCommand->SetCommandLine(BuildCommandLine(FCommands, ParamsEdit->text()));
    ConsoleCommand->SetCurrentDir(FPhpFolder);
    FRunLines = 0;
    FRunError.clear();
    FRunFailedToStart = false;
    FRunClock.start();
    ConsoleCommand->Execute();
    StopRunAction->setEnabled(true);
    StopButton->setEnabled(true);
    FStatusTimer->start();
    ShowRunStatus();
}

void TControlPanelForm::RunEnded() {
    CloseResultUpdate();
    FRunMs = FRunClock.elapsed();
    FStatusTimer->stop();
    StopRunAction->setEnabled(false);
    StopButton->setEnabled(false);
    ShowRunStatus();
}

void TControlPanelForm::StopRunActionExecute() {
    ConsoleCommand->Stop(); // nothing when no run is going
}

void TControlPanelForm::RunAgainActionExecute() {
    if (ConsoleCommand->IsRunning()) return;
    if (!ReadyForScript()) return;
    StartRun();
}

void TControlPanelForm::ShowRunStatus() {
    const bool running = ConsoleCommand->IsRunning();
    RunStatusLabel->setText(RunStatusText(*ConsoleCommand, running, running ? FRunClock.elapsed() : FRunMs,
                                          FRunLines, FRunError, FRunFailedToStart));
    const bool warn = !running && RunEndedBadly(*ConsoleCommand);
    QPalette pal = RunStatusLabel->palette();
    const QPalette::ColorRole role = RunStatusLabel->foregroundRole();
    pal.setColor(role, warn ? QColor(0xB4, 0x1E, 0x14) : Label1->palette().color(Label1->foregroundRole()));
    RunStatusLabel->setPalette(pal);
}

void TControlPanelForm::ConsoleCommandNewLine(QObject *, const QString &ANewLine,
                                              runner::TOutputType AOutputType) {
    if (AOutputType != runner::otEntireLine) return;
    ++FRunLines;
    OpenResultUpdate();
    if (!WebMemo->SelAvail()) {
        WebMemo->Lines()->Add(DecodeResultLine(ANewLine));
        return;
    }
    // The view collapses its selection at every change of its lines; a line added at the end
    // moves no text, so a selection the user is making or has made (to copy from it) stays.
    const lexedit::TBufferCoord caret = WebMemo->CaretXY();
    const lexedit::TBufferCoord first = WebMemo->BlockBegin();
    const lexedit::TBufferCoord last = WebMemo->BlockEnd();
    const lexedit::TLexSelectionMode mode = WebMemo->ActiveSelectionMode();
    const lexedit::TBufferCoord anchor = caret == first ? last : first;
    WebMemo->Lines()->Add(DecodeResultLine(ANewLine));
    WebMemo->SetBlockBegin(anchor);
    WebMemo->SetBlockEnd(caret == first || caret == last ? caret : last);
    WebMemo->SetActiveSelectionMode(mode);
}

void TControlPanelForm::OpenResultUpdate() {
    if (FResultUpdateOpen) return;
    FResultUpdateOpen = true;
    FResultLinesAtOpen = WebMemo->Lines()->Count();
    WebMemo->BeginUpdate();
    // Runs after the rest of the batch the runner posted.
    QTimer::singleShot(0, this, [this] { common::Guarded([this] { ResultBatchDelivered(); }); });
}

void TControlPanelForm::ResultBatchDelivered() {
    if (!FResultUpdateOpen) return;
    // While output streams, the view is brought up to date at most once a frame: later batches
    // join the open bracket until the frame is over.
    const qint64 wait = FResultShown.isValid() ? kResultFrameMs - FResultShown.elapsed() : 0;
    if (wait <= 0)
        CloseResultUpdate();
    else if (!FResultFrameTimer->isActive())
        FResultFrameTimer->start(int(wait));
}

void TControlPanelForm::CloseResultUpdate() {
    if (!FResultUpdateOpen) return;
    FResultUpdateOpen = false;
    FResultFrameTimer->stop();
    // Like a terminal: the view follows the output when the end it showed before the bracket is
    // still in view (the scroll range the user had stops there), and stays where the user
    // scrolled otherwise. Scrolled inside the bracket, it moves once for all the lines.
    const int rows = std::max(WebMemo->LinesInWindow(), 1);
    if (WebMemo->TopLine() + rows - 1 >= FResultLinesAtOpen)
        WebMemo->SetTopLine(WebMemo->Lines()->Count() - rows + 1);
    WebMemo->EndUpdate();
    FResultShown.start();
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
    StopRunAction = makeAction("StopRunAction", &TControlPanelForm::StopRunActionExecute);
    StopRunAction->setShortcut(QKeySequence(Qt::Key_Escape));
    StopRunAction->setShortcutContext(Qt::WindowShortcut);
    StopRunAction->setEnabled(false);
    addAction(StopRunAction);
    connect(StopButton, &QToolButton::clicked, StopRunAction, &QAction::trigger);
    StopButton->setEnabled(false);
    RunAgainAction = makeAction("RunAgainAction", &TControlPanelForm::RunAgainActionExecute);
    RunAgainAction->setShortcut(QKeySequence(Qt::Key_F5));
    RunAgainAction->setShortcutContext(Qt::WindowShortcut);
    RunAgainAction->setAutoRepeat(false);
    addAction(RunAgainAction);
}

} // namespace app
