// SPDX-License-Identifier: MIT
#include "ControlPanelUnit.h"

#include "AppSettings.h"
#include "CommandLine.h"
#include "ElidedLabel.h"
#include "FileDrop.h"
#include "FileWriting.h"
#include "LineMarks.h"
#include "ResultBrowser.h"
#include "WindowMemory.h"
#include "WindowShortcuts.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "runner/FreeMemory.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSplitter>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace app {

TControlPanelForm::TControlPanelForm(QWidget *AParent)
    : QWidget(AParent), FSettings(std::make_unique<TAppSettings>()), FRun(new TRunSession(this)),
      FDialogs(std::make_unique<TWidgetFileDialogs>(this)) {
    setObjectName(QStringLiteral("ControlPanelForm"));
    CreateWidgets();
    CreateOutputLimitBox();
    CreateActions();
    SetUpConsole();
    SetUpComparing();
    new TFileDrop(*this);      // a file dropped on the window runs as the Script button would
    AddWindowShortcuts(*this); // Ctrl+P, Ctrl+O, Ctrl+E, Ctrl+Shift+S and the buttons' tooltips
    SetUpRunOnSave();
    FResultMarks = std::make_unique<TLineMarks>(WebMemo);
    FScriptMarks = std::make_unique<TLineMarks>(PHPmemo);
    SetUpScriptEditing();
    // The echo of sent input and the pending partial line stand apart from the output.
    WebMemo->OnSpecialLineColors = [this](lexedit::TCustomLexEdit *, int ALine, bool &ASpecial,
                                          lexedit::TColor &AForeground, lexedit::TColor &ABackground) {
        const TLineMarkKind kind = FResultMarks->Kind(ALine);
        if (kind == lmInput) {
            ASpecial = true;
            AForeground = lexedit::TColor(0xB4 << 16 | 0x5F << 8 | 0x1A); // $00BBGGRR
            ABackground = lexedit::TColor(0xFB << 16 | 0xF1 << 8 | 0xE8);
        } else if (kind == lmPending) {
            ASpecial = true;
            AForeground = lexedit::TColor(0x40 << 16 | 0x40 << 8 | 0x40);
            ABackground = lexedit::TColor(0xE8 << 16 | 0xF8 << 8 | 0xFF);
        }
    };
    FMemory = new TWindowMemory(*this);
    WB->ShowPlaceholder();
    WebMemo->viewport()->installEventFilter(this);
    WebMemo->installEventFilter(this);
    InputEdit->installEventFilter(this);

    FRun->SetMaxOutput(FSettings->MaxOutput());
    FRun->SetOnLine([this](const TRunLine &ALine) { RunNewLine(ALine); });
    FRun->SetOnPartialLine([this](const QString &AText) { RunPartialLine(AText); });
    FRun->SetOnEnded([this](const TRunOutcome &) { RunEnded(); });
    ConsoleCommand = &FRun->Command();

    FResultFrameTimer = new QTimer(this);
    FResultFrameTimer->setSingleShot(true);
    connect(FResultFrameTimer, &QTimer::timeout, this,
            [this] { common::Guarded([this] { CloseResultUpdate(); }); });

    FStatusTimer = new QTimer(this);
    FStatusTimer->setInterval(100);
    connect(FStatusTimer, &QTimer::timeout, this, [this] {
        // A sentence shown during the run (a file that is gone ...) stays a while before the
        // run's status takes the line back.
        if (FNoticeShown.isValid() && FNoticeShown.elapsed() < kNoticeMs) return;
        common::Guarded([this] { ShowRunStatus(); });
    });
}

// The run is a child object: Qt destroys it with the window, and its runner's destructor stops a
// running child and waits for the worker.
TControlPanelForm::~TControlPanelForm() {
    // A window destroyed with the focus in the output limit's field (the input row passes it
    // there when a run ends) would take the field's text on the focus leaving it, after the
    // settings are gone.
    MaxOutputBox->disconnect(this);
    MaxOutputBox->lineEdit()->disconnect(this);
}

void TControlPanelForm::SetDialogs(std::unique_ptr<TFileDialogs> ADialogs) {
    FDialogs = std::move(ADialogs);
}

// A maximised window gives its extra height to the views as well as to the page (a window
// resized by hand grows the page); back to normal, the splitter is as it was.
void TControlPanelForm::changeEvent(QEvent *AEvent) {
    QWidget::changeEvent(AEvent);
    if (AEvent->type() != QEvent::WindowStateChange) return;
    const bool maximised = isMaximized() || isFullScreen();
    if (maximised && FNormalSplitter.isEmpty()) {
        FNormalSplitter = HSplitter->sizes();
        QTimer::singleShot(0, this, [this] {
            const QList<int> now = HSplitter->sizes();
            if (now.size() != 2 || FNormalSplitter.size() != 2) return;
            const int extra = now[0] + now[1] - FNormalSplitter[0] - FNormalSplitter[1];
            if (extra > 0)
                HSplitter->setSizes({FNormalSplitter[0] + extra / 2, FNormalSplitter[1] + extra - extra / 2});
        });
    } else if (!maximised && !FNormalSplitter.isEmpty()) {
        const QList<int> normal = FNormalSplitter;
        FNormalSplitter.clear();
        QTimer::singleShot(0, this, [this, normal] { HSplitter->setSizes(normal); });
    }
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
    TakeInterpreterAtStart();
}

// The interpreter chosen at an earlier start, else php on PATH, named in the status line.
void TControlPanelForm::TakeInterpreterAtStart() {
    QStringList notice;
    if (!FSettings->Notice().isEmpty()) notice << FSettings->Notice();
    const QString remembered = FSettings->Interpreter();
    const QFileInfo info(remembered);
    if (!remembered.isEmpty() && info.isFile() && info.isExecutable()) {
        ChooseInterpreter(remembered);
    } else {
        if (!remembered.isEmpty())
            notice << QStringLiteral("The interpreter %1 chosen before is gone.").arg(remembered);
        const QString found = DefaultInterpreter();
        if (found.isEmpty()) {
            notice << QString::fromLatin1(kNoInterpreter);
            // The first start's page says which keys get going.
            WB->ShowPlaceholder(
                TResultBrowser::NoInterpreterHint(ShortcutKeysOf(&TControlPanelForm::SelectPHPFolderAction),
                                                  ShortcutKeysOf(&TControlPanelForm::OpenScriptAction)));
            FShowsHint = true;
        } else {
            ChooseInterpreter(found);
            notice << QStringLiteral("Using php from PATH: %1").arg(found);
        }
    }
    ShowNotice(notice.join(QLatin1Char(' ')));
}

void TControlPanelForm::SelectPHPFolderActionExecute() {
    QString fileName;
    if (!FDialogs->ExecuteOpen(1, fileName)) return;
    ChooseInterpreter(fileName);
    FSettings->SetInterpreter(fileName);
    ShowNotice(QString());
}

void TControlPanelForm::ChooseInterpreter(const QString &AFileName) {
    FInterpreter = AFileName;
    FPhpFolder = FolderOf(AFileName);
    UpdateCommand();
    if (FShowsHint) {
        FShowsHint = false;
        WB->ShowPlaceholder();
    }
}

QString TControlPanelForm::WorkingFolder() const {
    if (!FRunConfig.WorkingFolder.isEmpty()) return FRunConfig.WorkingFolder;
    return FPhpScript.isEmpty() ? QString() : QFileInfo(FPhpScript).absolutePath();
}

TRunConfig TControlPanelForm::RunConfig() const {
    TRunConfig config = FRunConfig;
    config.Params = ParamsEdit->text();
    return config;
}

void TControlPanelForm::SetRunConfig(const TRunConfig &AConfig) {
    FRunConfig = AConfig;
    FRunConfig.Params.clear();
    ParamsEdit->setText(AConfig.Params);
    UpdateCommand();
}

void TControlPanelForm::RecentScriptsActionExecute() {
    FMemory->ShowRecentMenu();
}

void TControlPanelForm::RunConfigActionExecute() {
    TRunConfig config = RunConfig();
    if (!FDialogs->EditRunConfig(CurrentRunSpec(), config)) return;
    SetRunConfig(config);
    if (!FPhpScript.isEmpty()) FSettings->SetRunConfig(FPhpScript, config);
}

// The command is the interpreter and the script shown: opening another script replaces it. The
// label shows the whole command as a shell would read it.
void TControlPanelForm::UpdateCommand() {
    const TRunSpec spec = CurrentRunSpec();
    FCommands = spec.Commands();
    QString shown;
    try {
        shown = spec.ShellText();
    } catch (const common::Exception &) {
        shown = FCommands + QLatin1Char(' ') + spec.Params; // quoting the run will report
    }
    ControlLabel->setText(shown.trimmed().isEmpty() ? QStringLiteral(">") : shown.trimmed());
    ControlLabel->setToolTip(FPhpScript.isEmpty()
                                 ? ControlLabel->text()
                                 : ControlLabel->text() + QStringLiteral("\nRuns in ") + WorkingFolder());
}

TRunSpec TControlPanelForm::CurrentRunSpec() const {
    TRunSpec spec;
    spec.Interpreter = FInterpreter;
    spec.InterpreterOptions = FRunConfig.InterpreterOptions;
    spec.Script = FPhpScript;
    spec.Params = ParamsEdit->text();
    spec.Environment = FRunConfig.Environment;
    spec.WorkingFolder = WorkingFolder();
    spec.MaxOutputBytes = FRun->MaxOutput();
    return spec;
}

void TControlPanelForm::RefuseWhileRunning() const {
    // A second run would be refused by the runner after the result view had been cleared;
    // refuse before anything changes so that the running child's output stays.
    if (FRun->IsRunning()) throw runner::EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
}

void TControlPanelForm::OpenScriptActionExecute() {
    RefuseWhileRunning();
    QString fileName;
    if (FDialogs->ExecuteOpen(2, fileName)) {
        LoadScriptAndRun(fileName);
    } else {
        // Runs the command again: the script as shown.
        if (!SaveModifiedScript()) return;
        StartRun();
    }
}

void TControlPanelForm::OpenScript(const QString &AFileName) {
    RefuseWhileRunning();
    LoadScriptAndRun(AFileName);
}

bool TControlPanelForm::LoadScriptAndRun(const QString &AFileName) {
    if (!ConfirmDiscardScript()) return false;
    FMemory->KeepFolds(); // of the script shown so far
    CancelSaveRun();      // a run due for the script shown so far
    // Load first: a script that cannot be read changes nothing and starts no run.
    PHPmemo->Lines()->LoadFromFile(AFileName);
    FPhpScript = AFileName;
    // The script's own configuration; one without any keeps the parameters shown.
    TRunConfig config = FSettings->RunConfig(AFileName);
    if (config.IsDefault()) config.Params = ParamsEdit->text();
    FRunConfig = config;
    FRunConfig.Params.clear();
    ParamsEdit->setText(config.Params);
    FMemory->ScriptLoaded(AFileName);
    ScriptLoaded();
    UpdateCommand();
    StartRun();
    return true;
}

void TControlPanelForm::ShowNotice(const QString &AText) {
    if (AText.isEmpty())
        FNoticeShown.invalidate();
    else
        FNoticeShown.start();
    ShowStatus(AText, !AText.isEmpty());
}

void TControlPanelForm::ShowStatus(const QString &AText, bool AWarn) {
    RunStatusLabel->setText(AText);
    QPalette pal = RunStatusLabel->palette();
    pal.setColor(RunStatusLabel->foregroundRole(),
                 AWarn ? QColor(0xB4, 0x1E, 0x14) : Label1->palette().color(Label1->foregroundRole()));
    RunStatusLabel->setPalette(pal);
}

bool TControlPanelForm::JumpToMessage(int AResultLine) {
    if (AResultLine < 1 || AResultLine > WebMemo->Lines()->Count()) return false;
    const TLineMarkKind kind = FResultMarks->Kind(AResultLine);
    if (kind == lmInput || kind == lmPending) return false;
    TPhpMessage message;
    if (!RecognisePhpMessage(WebMemo->Lines()->Get(AResultLine - 1), message)) return false;
    // A relative name is the run's: from the folder it ran in.
    const QString file = QDir(WorkingFolder()).absoluteFilePath(message.File);
    // The script shown, compared by resolved paths; a file that is gone resolves to nothing.
    const QString target = QFileInfo(file).canonicalFilePath();
    if (FPhpScript.isEmpty() || target.isEmpty() || target != QFileInfo(FPhpScript).canonicalFilePath()) {
        ShowFileAtLine(file, message.Line);
        return true;
    }
    if (message.Line > PHPmemo->Lines()->Count()) return false;
    PageControl->setCurrentWidget(CodeSheet);
    PHPmemo->SetCaretXY(lexedit::BufferCoord(1, message.Line));
    PHPmemo->EnsureCursorPosVisibleEx(true);
    PHPmemo->setFocus();
    FScriptMarks->Clear();
    FScriptMarks->Set(message.Line, lmJumpTarget);
    FScriptMarks->RepaintGutter();
    return true;
}

bool TControlPanelForm::eventFilter(QObject *AObject, QEvent *AEvent) {
    bool handled = false;
    common::Guarded([&] {
        if (AObject == WebMemo->viewport() && AEvent->type() == QEvent::MouseButtonDblClick) {
            const auto *mouse = static_cast<QMouseEvent *>(AEvent);
            if (mouse->button() != Qt::LeftButton) return;
            const QPoint at = mouse->position().toPoint();
            const lexedit::TDisplayCoord cell = WebMemo->PixelsToRowColumn(at.x(), at.y());
            if (cell.Row < 1 || cell.Row > WebMemo->DisplayLineCount()) return;
            handled = JumpToMessage(WebMemo->RowToLine(cell.Row));
        } else if (AObject == InputEdit && AEvent->type() == QEvent::KeyPress) {
            // The line edit takes Ctrl+D for itself (delete): the row's shortcut is served here.
            const auto *key = static_cast<QKeyEvent *>(AEvent);
            if (key->key() == Qt::Key_D && key->modifiers() == Qt::ControlModifier) {
                CloseInputAction->trigger();
                handled = true;
            }
        } else if (AObject == WebMemo && AEvent->type() == QEvent::KeyPress) {
            const auto *key = static_cast<QKeyEvent *>(AEvent);
            if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) &&
                (key->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier)
                handled = JumpToMessage(WebMemo->CaretY());
        }
    });
    return handled || QWidget::eventFilter(AObject, AEvent);
}

void TControlPanelForm::ExecuteScriptActionExecute() {
    WB->WriteDocument(ResultText());
}

void TControlPanelForm::SaveResultsActionExecute() {
    const QString text = ResultText();
    QString fileName;
    if (!FDialogs->ExecuteSave(fileName)) return;
    WriteResultFile(fileName, text);
}

QAction *TControlPanelForm::MakeAction(const char *AName, void (TControlPanelForm::*AHandler)()) {
    auto *action = new QAction(this);
    action->setObjectName(QString::fromLatin1(AName));
    connect(action, &QAction::triggered, this,
            [this, AHandler] { common::Guarded([&] { (this->*AHandler)(); }); });
    return action;
}

// The keys of the actions come from the window's shortcut table (WindowShortcuts.h).
void TControlPanelForm::CreateActions() {
    OpenScriptAction = MakeAction("OpenScriptAction", &TControlPanelForm::OpenScriptActionExecute);
    SaveResultsAction = MakeAction("SaveResultsAction", &TControlPanelForm::SaveResultsActionExecute);
    ExecuteScriptAction = MakeAction("ExecuteScriptAction", &TControlPanelForm::ExecuteScriptActionExecute);
    SelectPHPFolderAction =
        MakeAction("SelectPHPFolderAction", &TControlPanelForm::SelectPHPFolderActionExecute);
    connect(SpeedButton1, &QToolButton::clicked, SelectPHPFolderAction, &QAction::trigger);
    connect(SpeedButton2, &QToolButton::clicked, OpenScriptAction, &QAction::trigger);
    connect(PHPFileButton, &QToolButton::clicked, ExecuteScriptAction, &QAction::trigger);
    connect(SaveButton, &QToolButton::clicked, SaveResultsAction, &QAction::trigger);
    StopRunAction = MakeAction("StopRunAction", &TControlPanelForm::StopRunActionExecute);
    StopRunAction->setEnabled(false);
    connect(StopButton, &QToolButton::clicked, StopRunAction, &QAction::trigger);
    StopButton->setEnabled(false);
    RunAgainAction = MakeAction("RunAgainAction", &TControlPanelForm::RunAgainActionExecute);
    connect(InputEdit, &QLineEdit::returnPressed, this,
            [this] { common::Guarded([this] { SendInputActionExecute(); }); });
    SaveScriptAction = MakeAction("SaveScriptAction", &TControlPanelForm::SaveScriptActionExecute);
    FindAction = MakeAction("FindAction", &TControlPanelForm::FindActionExecute);
    ReplaceAction = MakeAction("ReplaceAction", &TControlPanelForm::ReplaceActionExecute);
    FindNextAction = MakeAction("FindNextAction", &TControlPanelForm::FindNextActionExecute);
    FindPreviousAction = MakeAction("FindPreviousAction", &TControlPanelForm::FindPreviousActionExecute);
    RunConfigAction = MakeAction("RunConfigAction", &TControlPanelForm::RunConfigActionExecute);
    connect(RunConfigButton, &QToolButton::clicked, RunConfigAction, &QAction::trigger);
    connect(ParamsEdit, &QLineEdit::textChanged, this,
            [this] { common::Guarded([this] { UpdateCommand(); }); });
    RunOnSaveAction = new QAction(this);
    RunOnSaveAction->setObjectName(QStringLiteral("RunOnSaveAction"));
    RunOnSaveAction->setCheckable(true);
    RecentScriptsAction = MakeAction("RecentScriptsAction", &TControlPanelForm::RecentScriptsActionExecute);
    CloseInputAction = MakeAction("CloseInputAction", &TControlPanelForm::CloseInputActionExecute);
    connect(CloseInputButton, &QToolButton::clicked, CloseInputAction, &QAction::trigger);
    SetInputEnabled(false);
}

} // namespace app
