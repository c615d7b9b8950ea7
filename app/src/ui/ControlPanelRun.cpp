// SPDX-License-Identifier: MIT
// The window's run: starting and stopping it, its lines shown in the result view as they come,
// its status, the input sent to it and the output limit.

#include "AppSettings.h"
#include "ComparePanel.h"
#include "ControlPanelUnit.h"
#include "LineMarks.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "runner/FreeMemory.h"

#include <QAction>
#include <QBoxLayout>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTimer>
#include <QToolButton>

namespace app {

namespace {
// Past this much output, the memory of a result is given back to the system when it goes.
constexpr qint64 kReturnMemoryAbove = qint64(16) << 20;
} // namespace

void TControlPanelForm::SetMaxOutput(qint64 ABytes) {
    FRun->SetMaxOutput(ABytes);
    FSettings->SetMaxOutput(ABytes);
    const QString text = ByteSizeText(ABytes);
    if (MaxOutputBox->currentText() != text) MaxOutputBox->setCurrentText(text);
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
        ShowNotice(QString::fromLatin1(kNoInterpreter));
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
    FMessageLine = 0;
    FSettings->SetRunConfig(FPhpScript, RunConfig()); // the configuration a run used is kept
    const TRunSpec spec = CurrentRunSpec();
    FRun->Start(spec);
    FRunCommand = spec.ShellText();
    FRunStarted = QDateTime::currentDateTime();
    FRunOutput = TOutputBytes();
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
    if (FRun->Outcome().Started) KeepRun();
    if (FSaveRunAfterStop) {
        // Run on save stopped this run for a new one (ControlPanelRunOnSave.cpp); it starts once
        // the runner is through with the end of this one, if the view still holds the file.
        FSaveRunAfterStop = false;
        QTimer::singleShot(0, this, [this] {
            common::Guarded([this] {
                if (!FRun->IsRunning() && !PHPmemo->Modified()) StartRun();
            });
        });
    }
}

void TControlPanelForm::StopRunActionExecute() {
    FSaveRunAfterStop = false; // stopped by the user: no run on save takes its place
    ConsoleCommand->Stop();    // nothing when no run is going
    CompareSheet->Stop();      // the runs on all interpreters too
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
    FPromptTimer->start(); // a prompt, when nothing follows it for a while
}

void TControlPanelForm::RunNewLine(const TRunLine &ALine) {
    FRunOutput.AddLine(ALine.Raw);
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

} // namespace app
