// SPDX-License-Identifier: MIT
#pragma once
// TControlPanelForm: the "Check PHP file" window. It lets the user choose the PHP interpreter,
// open a script (shown and run at once), watch the output arrive line by line in the result view,
// render the result in the browser pane and save it as a UTF-8 HTML file.

#include "FileDialogs.h"
#include "OutputLimit.h"
#include "RunConfig.h"
#include "RunHistory.h"
#include "RunSession.h"
#include "runner/ConsoleCommand.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QWidget>

#include <memory>

class QAction;
class QCheckBox;
class QComboBox;
class QFileSystemWatcher;
class QFrame;
class QLabel;
class QLineEdit;
class QSplitter;
class QTabWidget;
class QTimer;
class QToolButton;

namespace lexedit {
class TLexEdit;
class TLexHTMLLex;
class TLexPHPLex;
} // namespace lexedit

namespace app {

// What the status line says when no interpreter is known.
inline constexpr char kNoInterpreter[] = "No PHP interpreter found. Choose one with the PHP button.";

class TAppSettings;
class TComparePanel;
class TDiffView;
class TFileView;
class TRunsPanel;
class TFindBar;
class TLineMarks;
class TResultBrowser;
class TWindowMemory;

class TControlPanelForm : public QWidget {
    Q_OBJECT
public:
    explicit TControlPanelForm(QWidget *AParent = nullptr);
    ~TControlPanelForm() override;

    // Replaces the dialogs (tests answer them themselves).
    void SetDialogs(std::unique_ptr<TFileDialogs> ADialogs);

    // State: folder of the interpreter (with its trailing separator), the script shown and the
    // command built from them (the interpreter, then the script: one script at a time).
    const QString &PhpFolder() const { return FPhpFolder; }
    const QString &PhpScript() const { return FPhpScript; }
    const QString &Commands() const { return FCommands; }
    // The interpreter a run uses: the one chosen, else php on PATH; "" when there is none.
    const QString &Interpreter() const { return FInterpreter; }
    bool HasInterpreter() const { return !FInterpreter.isEmpty(); }
    // Whether a script opened now would run: there is an interpreter and no run is going.
    bool ScriptWouldRun() const { return HasInterpreter() && !FRun->IsRunning(); }
    // The folder a run starts in: the script's own, as `cd dir && php script.php` has it, unless
    // its run configuration names another.
    QString WorkingFolder() const;
    // The script's run configuration (its parameters are the Parameters field's text). A script
    // opened takes the one kept for it; one without keeps the parameters shown. Each run keeps it
    // for the script.
    TRunConfig RunConfig() const;
    void SetRunConfig(const TRunConfig &AConfig);
    // Ctrl+Shift+P and the button beside Parameters: edits the run configuration in a dialog.
    void RunConfigActionExecute();
    // Ctrl+R: the menu of the scripts opened last, under the Script button.
    void RecentScriptsActionExecute();
    TWindowMemory &Memory() const { return *FMemory; }
    TFileDialogs &Dialogs() const { return *FDialogs; }
    TAppSettings &Settings() const { return *FSettings; }
    // The output limit of a run (0: none); remembered in the settings.
    qint64 MaxOutput() const { return FRun->MaxOutput(); }
    void SetMaxOutput(qint64 ABytes);
    // A sentence in the status line (replaced by the next run's status; during a run, by the
    // run's status after a few seconds).
    void ShowNotice(const QString &AText);

    // The four user commands and the runner's line handler.
    void FormShow();
    void SelectPHPFolderActionExecute();
    void OpenScriptActionExecute();
    void ExecuteScriptActionExecute();
    void SaveResultsActionExecute();
    // Run control: Stop (the button, Esc) ends a run; F5 runs the current command again as
    // cancelling the script dialog does, but during a run it is ignored, never a second child.
    void StopRunActionExecute();
    void RunAgainActionExecute();
    // A line of the runner as its OnNewLine delivers it: counted, decoded and recognised by the
    // run, then shown (RunNewLine, RunPartialLine).
    void ConsoleCommandNewLine(QObject *ASender, const QString &ANewLine, runner::TOutputType AOutputType);
    // Input to the running script: Enter in the input row sends its text as one line (echoed
    // into the result view, not part of the result); "Close input" (Ctrl+D in the row) closes
    // the script's standard input once the lines sent before are written.
    void SendInputActionExecute();
    void CloseInputActionExecute();
    // Follows the PHP message on line AResultLine of the result view to its line: in the script
    // shown, or in the "file" tab for another file (ShowFileAtLine). False (nothing happens) when
    // the line is no message or names a line the script does not have.
    bool JumpToMessage(int AResultLine);
    // The console by keys (ControlPanelConsole.cpp). F8 and Shift+F8 put the caret on the next
    // and previous PHP message of the output (an error, warning or note in ResultMarks()),
    // wrapping around, with the result tab in front; the first of a run goes to its first (last)
    // message. Ctrl+Tab and Ctrl+PgDn show the next tab, Ctrl+Shift+Tab and Ctrl+PgUp the
    // previous one, wrapping around; the tab's editor takes the focus.
    void NextMessageActionExecute();
    void PreviousMessageActionExecute();
    void NextTabActionExecute();
    void PreviousTabActionExecute();
    // Shows AFileName, another file than the script, read-only at line ALine in the "file" tab
    // (one tab, captioned with the file's name, its tooltip the full path); a file that is gone
    // or cannot be read gives a sentence in the status line instead. The run command stays.
    void ShowFileAtLine(const QString &AFileName, int ALine);
    // Ctrl+S: saves the script shown to its file through the line buffer, keeping the encoding,
    // byte-order mark and line breaks it was loaded with; asks before characters 8-bit text
    // cannot hold would be lost. A failure is shown and the text stays, marked modified.
    void SaveScriptActionExecute();
    bool SaveScript(); // false when it was not saved
    bool ScriptModified() const;
    // Run on save (ControlPanelRunOnSave.cpp; the box beside Parameters, Ctrl+F5, remembered):
    // while it is on, a change of the script runs it again. A change is a save with Ctrl+S, or a
    // change of the file on disk (another program's save, in place or by renaming a new file
    // over it) that the view took in (a modified view asks first; kept edits are no change).
    // Changes come in bursts, so they are coalesced:
    // - a change after kSaveRunQuietMs without one runs the script at once (kSaveRunSettleMs
    //   later, so that the run and the view see the whole of one save: truncating and writing
    //   the file, or writing a new one and renaming it, are several events);
    // - changes within kSaveRunQuietMs of the one before make one more run, kSaveRunQuietMs
    //   after the last of them (a single-shot timer restarted by each change), when one of them
    //   came after the run started.
    // The run is the window's own (StartRun), and only while the view holds the file's text. A
    // run still going when the next one is due is stopped first; the new run starts when the
    // stopped one has ended (RunEnded). Without an interpreter nothing runs and the status line
    // says so.
    bool RunOnSave() const;
    void SetRunOnSave(bool AValue);
    // The result view's text as Save writes it and Execute renders it: the entire output lines,
    // without the pending partial line and the echo of sent input. The view is read-only to the
    // user, so this is the output as it came.
    QString ResultText() const;
    // Marks beside the lines of the result view and of the script view.
    TLineMarks &ResultMarks() const { return *FResultMarks; }
    TLineMarks &ScriptMarks() const { return *FScriptMarks; }
    int ErrorCount() const { return FRun->Errors(); }
    int WarningCount() const { return FRun->Warnings(); }
    // The run of the window: the current or last one.
    TRunSession &Run() const { return *FRun; }
    // The run the Script button and F5 start: the interpreter and the script shown, the
    // parameters, the script's folder and the output limit.
    TRunSpec CurrentRunSpec() const;

    // Runs kept and compared (ControlPanelCompare.cpp). Each run that ends is kept in the "Runs"
    // tab (shown from the first). Ctrl+Shift+F5 runs the script on each interpreter of the list
    // (InterpreterCommands) in the "Compare" tab; Stop ends them all. F7 and Shift+F7 go to the
    // next and previous change of the diff shown in either tab.
    void RunOnAllActionExecute();
    void NextChangeActionExecute();
    void PreviousChangeActionExecute();
    void EditInterpretersActionExecute();
    // The interpreters listed in the settings, else those on PATH.
    QStringList InterpreterCommands() const;

    // The find bars (ControlPanelFind.cpp): Ctrl+F opens the bar under the view that has the
    // focus (else under the view shown), Ctrl+H the script view's bar with its replace row, F3 and
    // Shift+F3 find the next and previous match of that bar's search.
    void FindActionExecute();
    void ReplaceActionExecute();
    void FindNextActionExecute();
    void FindPreviousActionExecute();
    TFindBar *ActiveFindBar() const;

    // What the command line's options do: choose the interpreter, then open the script (asking
    // first when the script shown has unsaved changes) and run it when there is an interpreter.
    void ChooseInterpreter(const QString &AFileName);
    void OpenScript(const QString &AFileName);

    // Owned widgets and components, named as in the window's layout.
    QFrame *ControlPanel = nullptr;
    QToolButton *SpeedButton1 = nullptr;
    QToolButton *SpeedButton2 = nullptr;
    QToolButton *PHPFileButton = nullptr;
    QToolButton *SaveButton = nullptr;
    QToolButton *StopButton = nullptr;
    QFrame *Panel2 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *ParamsEdit = nullptr;
    QToolButton *RunConfigButton = nullptr;
    QCheckBox *RunOnSaveBox = nullptr; // "Run on save", at the end of the Parameters row
    QFrame *StatusPanel = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *ControlLabel = nullptr;
    QLabel *RunStatusLabel = nullptr;  // how the run goes or how it ended
    QComboBox *MaxOutputBox = nullptr; // the output limit, in the input row
    QFrame *InputPanel = nullptr;      // the input row under the result view
    QLabel *InputLabel = nullptr;
    QLineEdit *InputEdit = nullptr;
    QToolButton *CloseInputButton = nullptr;
    QFrame *Panel1 = nullptr;
    QSplitter *HSplitter = nullptr;
    TResultBrowser *WB = nullptr;
    QTabWidget *PageControl = nullptr;
    QWidget *CodeSheet = nullptr;
    QWidget *TabSheet2 = nullptr;
    lexedit::TLexEdit *PHPmemo = nullptr;
    lexedit::TLexEdit *WebMemo = nullptr;
    TFindBar *ScriptFindBar = nullptr;                 // under PHPmemo, with a replace row
    TFindBar *ResultFindBar = nullptr;                 // under WebMemo
    TFileView *FileSheet = nullptr;                    // the "file" tab, made when first shown
    TRunsPanel *RunsSheet = nullptr;                   // the "Runs" tab, a tab from the first run kept
    TComparePanel *CompareSheet = nullptr;             // the "Compare" tab, a tab from the first use
    lexedit::TLexPHPLex *PHPCode = nullptr;            // the script view's highlighter
    lexedit::TLexHTMLLex *HTML5 = nullptr;             // the result view's highlighter
    runner::TConsoleCommand *ConsoleCommand = nullptr; // the runner of FRun
    QAction *SelectPHPFolderAction = nullptr;
    QAction *OpenScriptAction = nullptr;
    QAction *ExecuteScriptAction = nullptr;
    QAction *SaveResultsAction = nullptr;
    QAction *StopRunAction = nullptr;
    QAction *RunAgainAction = nullptr;
    QAction *CloseInputAction = nullptr;
    QAction *SaveScriptAction = nullptr;
    QAction *RunConfigAction = nullptr;
    QAction *RunOnSaveAction = nullptr; // checkable, as RunOnSaveBox
    QAction *RecentScriptsAction = nullptr;
    QAction *FindAction = nullptr;
    QAction *ReplaceAction = nullptr;
    QAction *FindNextAction = nullptr;
    QAction *FindPreviousAction = nullptr;
    QAction *NextMessageAction = nullptr;
    QAction *PreviousMessageAction = nullptr;
    QAction *NextTabAction = nullptr;
    QAction *PreviousTabAction = nullptr;
    QAction *RunOnAllAction = nullptr;
    QAction *NextChangeAction = nullptr;
    QAction *PreviousChangeAction = nullptr;
    QAction *EditInterpretersAction = nullptr;

protected:
    void showEvent(QShowEvent *AEvent) override;
    void changeEvent(QEvent *AEvent) override;
    bool eventFilter(QObject *AObject, QEvent *AEvent) override;
    // Asks about unsaved changes of the script (save, discard, cancel).
    void closeEvent(QCloseEvent *AEvent) override;

private:
    void CreateWidgets();
    void CreateActions();
    // An action of the window that runs AHandler, errors shown as every command's are.
    QAction *MakeAction(const char *AName, void (TControlPanelForm::*AHandler)());
    void CreateInputRow(const QColor &AGreyText);
    void CreateFindBars();
    // The runs kept and compared (ControlPanelCompare.cpp).
    void SetUpComparing();
    void ShowSheet(QWidget *ASheet, const QString &ACaption);
    void KeepRun();
    TDiffView *ShownDiffView() const;
    // The console's actions and timer, the result view read-only (ControlPanelConsole.cpp).
    void SetUpConsole();
    void GoToMessage(bool AForward);
    void ShowTab(int AStep);
    // A partial line pending and no output since kPromptQuietMs: the input row takes the focus.
    void PromptWaiting();
    // "script.php — Check PHP file", with "*" after the name while the script is modified.
    void UpdateWindowTitle();
    // Refuses (throws) while a run is going on.
    void RefuseWhileRunning() const;
    // Loads the script (after asking about unsaved changes; false when cancelled) and runs it.
    bool LoadScriptAndRun(const QString &AFileName);
    // Runs the script shown: says what is missing instead when there is no script or no
    // interpreter.
    void StartRun();
    void UpdateCommand();
    void TakeInterpreterAtStart();
    void CreateOutputLimitBox();
    void RunEnded();
    void ShowRunStatus();
    // The status line's text, in red when it warns.
    void ShowStatus(const QString &AText, bool AWarn);
    // Output lines arrive in batches: the result view takes each batch inside one update bracket,
    // closed when the event loop is through with it, or at the end of the frame when the view
    // was brought up to date less than a frame ago.
    void OpenResultUpdate();
    void ResultBatchDelivered();
    void CloseResultUpdate();
    // Shows the partial line at the end of the result view, marked pending (replacing the one
    // shown before); an entire line then takes its place.
    void ShowPendingLine(const QString &AText);
    // Adds or replaces (at ALine, 1-based; 0 adds) a line of the result view, keeping a
    // selection the user made and following the end when it is in view; returns the line.
    int PutResultLine(int ALine, const QString &AText);
    void RunNewLine(const TRunLine &ALine);
    void RunPartialLine(const QString &AText);
    // The result tab comes to the front with the run's first output; the view takes the
    // batch of lines inside one update bracket.
    void ShowOutput();
    void NoteMessage(int ALine, const TPhpMessage &AMessage);
    void SetInputEnabled(bool AEnabled);
    // The script view as an editor of its file (ControlPanelScript.cpp).
    void SetUpScriptEditing();
    void ScriptLoaded();
    void RememberScriptFile();
    void UpdateScriptCaption();
    void ShowSaveError(const QString &AReason);
    // A modified script is saved before a run; false when it could not be (no run then).
    bool SaveModifiedScript();
    // Before unsaved changes would be lost: save, discard or cancel; false when cancelled.
    bool ConfirmDiscardScript();
    void ScriptFileChanged();
    void ReloadScript();
    // Run on save (ControlPanelRunOnSave.cpp): its action and box, a change of the script, the
    // timer's end, the run when it is due, and forgetting what was due.
    void SetUpRunOnSave();
    void ScriptChangedForRun();
    void SaveRunTimerFired();
    void RunForSave();
    void CancelSaveRun();

    QString FPhpFolder;
    QString FPhpScript;
    QString FCommands;
    QString FInterpreter;
    std::unique_ptr<TAppSettings> FSettings;
    TRunConfig FRunConfig;            // all but the parameters, which ParamsEdit holds
    TWindowMemory *FMemory = nullptr; // a child object
    QList<int> FNormalSplitter;       // the splitter's sizes before the window was maximised
    TRunSession *FRun = nullptr;      // a child object
    bool FShown = false;
    QTimer *FStatusTimer = nullptr; // while running, 10 updates a second
    // The result view repaints (and updates its scroll bars) at most every kResultFrameMs while
    // output streams in; a batch after a pause shows at once.
    static constexpr int kResultFrameMs = 50;
    bool FResultUpdateOpen = false;
    QElapsedTimer FResultShown;          // since the view was last brought up to date
    QTimer *FResultFrameTimer = nullptr; // closes a bracket held open for the rest of a frame
    std::unique_ptr<TFileDialogs> FDialogs;
    std::unique_ptr<TLineMarks> FResultMarks;
    std::unique_ptr<TLineMarks> FScriptMarks;
    bool FOutputShown = false; // the result tab was brought to the front in this run
    // The run going, as it is kept when it ends.
    QString FRunCommand;
    QDateTime FRunStarted;
    TOutputBytes FRunOutput;
    // The script's file as last loaded or saved, to tell its own saves from changes by others.
    QFileSystemWatcher *FScriptWatcher = nullptr;
    QDateTime FScriptFileTime;
    qint64 FScriptFileSize = -1;
    bool FAskingReload = false;
    // Run on save: idle (no change for kSaveRunQuietMs), a first change settling, or the quiet
    // time after the first change's run started, until kSaveRunQuietMs pass without a change.
    enum TSaveRunState : uint8_t { srIdle, srSettling, srQuiet };
    static constexpr int kSaveRunQuietMs = 300;
    static constexpr int kSaveRunSettleMs = 20;
    TSaveRunState FSaveRunState = srIdle;
    QTimer *FSaveRunTimer = nullptr;   // single shot: the settling, then the quiet time
    QElapsedTimer FLastScriptChange;   // since the last change of the script
    bool FChangedSinceSaveRun = false; // a change came after the last run on save started
    bool FSaveRunAfterStop = false;    // a run on save waits for the stopped run to end
    // The console (ControlPanelConsole.cpp).
    static constexpr int kPromptQuietMs = 200;
    QTimer *FPromptTimer = nullptr;        // started by each part of a pending line
    int FMessageLine = 0;                  // the message F8 went to last in this run; 0: none yet
    bool FShowsHint = false;               // the page shows the hint of a start without an interpreter
    static constexpr int kNoticeMs = 4000; // a notice shown during a run stays this long
    QElapsedTimer FNoticeShown;            // since the last notice
};

} // namespace app
