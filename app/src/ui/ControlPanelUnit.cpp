#include "ControlPanelUnit.h"

#include "AppSettings.h"
#include "CommandLine.h"
#include "ElidedLabel.h"
#include "FileDrop.h"
#include "FileWriting.h"
#include "LineMarks.h"
#include "ResultBrowser.h"
#include "WindowShortcuts.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "runner/FreeMemory.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QFileInfo>
#include <QKeyEvent>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
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
    new TFileDrop(*this);      // a file dropped on the window runs as the Script button would
    AddWindowShortcuts(*this); // Ctrl+P, Ctrl+O, Ctrl+E, Ctrl+Shift+S and the buttons' tooltips
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
    connect(FStatusTimer, &QTimer::timeout, this, [this] { common::Guarded([this] { ShowRunStatus(); }); });
}

// The run is a child object: Qt destroys it with the window, and its runner's destructor stops a
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

namespace {
constexpr qint64 kReturnMemoryAbove = qint64(16) << 20;
const QString kNoInterpreter = QStringLiteral("No PHP interpreter found. Choose one with the PHP button.");
} // namespace

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
            notice << kNoInterpreter;
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
}

QString TControlPanelForm::WorkingFolder() const {
    return FPhpScript.isEmpty() ? QString() : QFileInfo(FPhpScript).absolutePath();
}

// The command is the interpreter and the script shown: opening another script replaces it.
void TControlPanelForm::UpdateCommand() {
    FCommands = CurrentRunSpec().Commands();
    ControlLabel->setText(FCommands.isEmpty() ? QStringLiteral(">") : FCommands);
    ControlLabel->setToolTip(
        FPhpScript.isEmpty() ? FCommands : FCommands + QStringLiteral("\nRuns in ") + WorkingFolder());
}

TRunSpec TControlPanelForm::CurrentRunSpec() const {
    TRunSpec spec;
    spec.Interpreter = FInterpreter;
    spec.Script = FPhpScript;
    spec.Params = ParamsEdit->text();
    spec.WorkingFolder = WorkingFolder();
    spec.MaxOutputBytes = FRun->MaxOutput();
    return spec;
}

void TControlPanelForm::RefuseWhileRunning() const {
    // A second run would be refused by the runner after the result view had been cleared;
    // refuse before anything changes so that the running child's output stays.
    if (ConsoleCommand->IsRunning())
        throw runner::EConsoleCommand(QStringLiteral("ConsoleCommand still running"));
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
    // Load first: a script that cannot be read changes nothing and starts no run.
    PHPmemo->Lines()->LoadFromFile(AFileName);
    FPhpScript = AFileName;
    ScriptLoaded();
    UpdateCommand();
    StartRun();
    return true;
}

void TControlPanelForm::SetMaxOutput(qint64 ABytes) {
    FRun->SetMaxOutput(ABytes);
    FSettings->SetMaxOutput(ABytes);
    const QString text = ByteSizeText(ABytes);
    if (MaxOutputBox->currentText() != text) MaxOutputBox->setCurrentText(text);
}

void TControlPanelForm::ShowNotice(const QString &AText) {
    ShowStatus(AText, !AText.isEmpty());
}

void TControlPanelForm::ShowStatus(const QString &AText, bool AWarn) {
    RunStatusLabel->setText(AText);
    QPalette pal = RunStatusLabel->palette();
    pal.setColor(RunStatusLabel->foregroundRole(),
                 AWarn ? QColor(0xB4, 0x1E, 0x14) : Label1->palette().color(Label1->foregroundRole()));
    RunStatusLabel->setPalette(pal);
}

// An editable list of limits beside the input row; a size typed there counts when it reads as
// one ("100 MB", "2G", "none"), else the field shows the limit in force again.
void TControlPanelForm::CreateOutputLimitBox() {
    auto *label = new QLabel(QStringLiteral("Output limit:"), InputPanel);
    label->setFont(InputLabel->font());
    label->setPalette(InputLabel->palette());
    MaxOutputBox = new QComboBox(InputPanel);
    MaxOutputBox->setObjectName(QStringLiteral("MaxOutputBox"));
    MaxOutputBox->setEditable(true);
    MaxOutputBox->setInsertPolicy(QComboBox::NoInsert);
    MaxOutputBox->setFont(InputEdit->font());
    MaxOutputBox->setToolTip(
        QStringLiteral("A run whose output passes this size is stopped (none: no limit)"));
    for (const qint64 size :
         {qint64(16) << 20, qint64(64) << 20, kDefaultMaxOutput, qint64(1) << 30, qint64(0)})
        MaxOutputBox->addItem(ByteSizeText(size));
    MaxOutputBox->setCurrentText(ByteSizeText(FRun->MaxOutput()));
    const auto take = [this] {
        common::Guarded([this] {
            qint64 bytes = 0;
            if (ParseByteSize(MaxOutputBox->currentText(), bytes))
                SetMaxOutput(bytes);
            else
                MaxOutputBox->setCurrentText(ByteSizeText(FRun->MaxOutput()));
        });
    };
    connect(MaxOutputBox, &QComboBox::activated, this, take);
    connect(MaxOutputBox->lineEdit(), &QLineEdit::editingFinished, this, take);
    auto *row = qobject_cast<QHBoxLayout *>(InputPanel->layout());
    row->addSpacing(12);
    row->addWidget(label);
    row->addWidget(MaxOutputBox);
}

void TControlPanelForm::StartRun() {
    if (FPhpScript.isEmpty()) {
        ShowNotice(QStringLiteral("Open a script first."));
        return;
    }
    if (!HasInterpreter()) {
        ShowNotice(kNoInterpreter);
        return;
    }
    ShowNotice(QString());
    CloseResultUpdate();
    WebMemo->Lines()->Clear();
    // The memory of a large result goes back to the system, not only to the allocator.
    if (FRun->OutputBytes() > kReturnMemoryAbove) runner::ReturnFreeMemory();
    FResultMarks->Clear();
    FScriptMarks->Clear();
    FScriptMarks->RepaintGutter();
    FOutputShown = false;
    FRun->Start(CurrentRunSpec());
    StopRunAction->setEnabled(true);
    StopButton->setEnabled(true);
    SetInputEnabled(true);
    FStatusTimer->start();
    ShowRunStatus();
}

void TControlPanelForm::RunEnded() {
    CloseResultUpdate();
    // The runner's buffers of a flood are freed by now: given back to the system too.
    if (FRun->OutputBytes() > kReturnMemoryAbove) runner::ReturnFreeMemory();
    FStatusTimer->stop();
    StopRunAction->setEnabled(false);
    StopButton->setEnabled(false);
    SetInputEnabled(false);
    // The runner delivered the pending line as an entire line; what is still marked pending was
    // never completed (an edit of the view took its place).
    if (const int pending = FResultMarks->LastOf(lmPending)) {
        FResultMarks->Set(pending, lmNone);
        FResultMarks->RepaintGutter();
    }
    ShowRunStatus();
}

void TControlPanelForm::StopRunActionExecute() {
    ConsoleCommand->Stop(); // nothing when no run is going
}

void TControlPanelForm::RunAgainActionExecute() {
    if (ConsoleCommand->IsRunning()) return;
    if (!SaveModifiedScript()) return; // F5 runs what is shown
    StartRun();
}

void TControlPanelForm::ShowRunStatus() {
    const TRunOutcome outcome = FRun->Outcome();
    ShowStatus(outcome.StatusText(), outcome.EndedBadly());
}

void TControlPanelForm::ConsoleCommandNewLine(QObject *, const QString &ANewLine,
                                              runner::TOutputType AOutputType) {
    FRun->TakeLine(ANewLine, AOutputType);
}

void TControlPanelForm::RunPartialLine(const QString &AText) {
    ShowOutput();
    ShowPendingLine(AText);
}

void TControlPanelForm::RunNewLine(const TRunLine &ALine) {
    ShowOutput();
    // The entire line takes the place of its pending beginning.
    const int pending = FResultMarks->LastOf(lmPending);
    if (pending > 0) FResultMarks->Set(pending, lmNone);
    const int line = PutResultLine(pending, ALine.Text());
    if (ALine.Message) NoteMessage(line, *ALine.Message);
}

void TControlPanelForm::ShowOutput() {
    if (!FOutputShown) {
        // The output comes to the front with its first line (a prompt without a line end too).
        FOutputShown = true;
        PageControl->setCurrentWidget(TabSheet2);
    }
    OpenResultUpdate();
}

void TControlPanelForm::ShowPendingLine(const QString &AText) {
    const int line = PutResultLine(FResultMarks->LastOf(lmPending), AText);
    FResultMarks->Set(line, lmPending);
}

int TControlPanelForm::PutResultLine(int ALine, const QString &AText) {
    // The view keeps a selection the user is making or has made (to copy from it) while output
    // comes, and follows the end like a terminal when the bracket closes.
    if (ALine > 0 && ALine <= WebMemo->Lines()->Count()) {
        WebMemo->ReplaceLine(ALine, AText);
        return ALine;
    }
    WebMemo->AppendLines({AText});
    return WebMemo->Lines()->Count();
}

void TControlPanelForm::NoteMessage(int ALine, const TPhpMessage &AMessage) {
    FResultMarks->Set(ALine, AMessage.Severity == psError     ? lmError
                             : AMessage.Severity == psWarning ? lmWarning
                                                              : lmNote);
}

QString TControlPanelForm::ResultText() const {
    if (FResultMarks->CountOf(lmPending) == 0 && FResultMarks->CountOf(lmInput) == 0) return WebMemo->Text();
    const lexedit::TLexEditStringList &lines = *WebMemo->Lines();
    QStringList kept;
    kept.reserve(lines.Count());
    for (int i = 0; i < lines.Count(); ++i) {
        const TLineMarkKind kind = FResultMarks->Kind(i + 1);
        if (kind != lmPending && kind != lmInput) kept << lines.Get(i);
    }
    return kept.join(lines.LineBreak());
}

void TControlPanelForm::SendInputActionExecute() {
    if (!ConsoleCommand->IsRunning()) return;
    const QString text = InputEdit->text();
    ConsoleCommand->SendLine(text, true);
    InputEdit->clear();
    // The echo goes after the output so far (a pending prompt stays above it and is completed
    // in its place); it is shown, never saved or rendered.
    OpenResultUpdate();
    const int line = PutResultLine(0, text);
    FResultMarks->Set(line, lmInput);
}

void TControlPanelForm::CloseInputActionExecute() {
    if (!ConsoleCommand->IsRunning()) return;
    ConsoleCommand->CloseInput();
    InputEdit->setEnabled(false);
    CloseInputButton->setEnabled(false);
    CloseInputAction->setEnabled(false);
}

void TControlPanelForm::SetInputEnabled(bool AEnabled) {
    InputEdit->setEnabled(AEnabled);
    CloseInputButton->setEnabled(AEnabled);
    CloseInputAction->setEnabled(AEnabled);
}

bool TControlPanelForm::JumpToMessage(int AResultLine) {
    if (AResultLine < 1 || AResultLine > WebMemo->Lines()->Count()) return false;
    const TLineMarkKind kind = FResultMarks->Kind(AResultLine);
    if (kind == lmInput || kind == lmPending) return false;
    TPhpMessage message;
    if (!RecognisePhpMessage(WebMemo->Lines()->Get(AResultLine - 1), message)) return false;
    if (FPhpScript.isEmpty()) return false;
    // The script shown, compared by resolved paths; a file that is gone resolves to nothing.
    const QString target = QFileInfo(message.File).canonicalFilePath();
    if (target.isEmpty() || target != QFileInfo(FPhpScript).canonicalFilePath()) return false;
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

void TControlPanelForm::OpenResultUpdate() {
    if (FResultUpdateOpen) return;
    FResultUpdateOpen = true;
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
    // still in view, and stays where the user scrolled otherwise; it moves once for all the
    // lines of the bracket, when the bracket ends.
    WebMemo->EndUpdate();
    FResultShown.start();
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
    connect(InputEdit, &QLineEdit::returnPressed, this,
            [this] { common::Guarded([this] { SendInputActionExecute(); }); });
    SaveScriptAction = makeAction("SaveScriptAction", &TControlPanelForm::SaveScriptActionExecute);
    SaveScriptAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    SaveScriptAction->setShortcutContext(Qt::WindowShortcut);
    addAction(SaveScriptAction);
    CreateFindActions();
    CloseInputAction = makeAction("CloseInputAction", &TControlPanelForm::CloseInputActionExecute);
    CloseInputAction->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_D));
    CloseInputAction->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    InputPanel->addAction(CloseInputAction);
    connect(CloseInputButton, &QToolButton::clicked, CloseInputAction, &QAction::trigger);
    SetInputEnabled(false);
}

} // namespace app
