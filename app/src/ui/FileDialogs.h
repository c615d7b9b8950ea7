// SPDX-License-Identifier: MIT
#pragma once
// The dialogs the window uses, behind an interface so that tests can answer them.

#include "RunConfig.h"
#include "RunSpec.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class QWidget;

namespace app {

// The answer to the question about unsaved changes of the script.
enum TUnsavedAnswer : uint8_t { uaSave, uaDiscard, uaCancel };

class TFileDialogs {
public:
    virtual ~TFileDialogs() = default;
    // The open dialog with filter 1 (interpreters) or 2 (PHP scripts) selected. Returns false
    // when the user cancelled; otherwise AFileName is the chosen full file name.
    virtual bool ExecuteOpen(int AFilterIndex, QString &AFileName) = 0;
    // The save dialog (default name "TestResults", filter "HTML file|*.html").
    virtual bool ExecuteSave(QString &AFileName) = 0;
    // An information message with a single "Cancel" button.
    virtual void ShowInformation(const QString &AText) = 0;

    // Questions and messages about the script shown. The defaults answer as a user who wants
    // nothing changed would (cancel, keep the text) and show nothing.
    // The script AFileName has unsaved changes: save, discard or cancel?
    virtual TUnsavedAnswer AskUnsavedScript(const QString &AFileName);
    // The script was loaded as 8-bit text and now holds characters 8-bit text cannot: true to
    // save it as UTF-8, false to cancel the save.
    virtual bool AskSaveAsUtf8(const QString &AFileName);
    // The script changed on disk while it has unsaved changes here: true to reload it.
    virtual bool AskReloadScript(const QString &AFileName);
    // An error message (a save that failed).
    virtual void ShowError(const QString &AText);
    // A file dropped on the window does not end in ".php": true to run it anyway.
    virtual bool AskRunNonPhpFile(const QString &AFileName);
    // The run configuration of the script of ASpec, edited: true (AConfig changed) when accepted.
    virtual bool EditRunConfig(const TRunSpec &ASpec, TRunConfig &AConfig);
    // The interpreters "Run on all" compares, one command a line, edited: true (ACommands
    // changed) when accepted. AFound: those on PATH, offered.
    virtual bool EditInterpreters(QStringList &ACommands, const QStringList &AFound);
};

// An error's message as an error dialog shows it: a sentence (a capital first letter, a full stop
// at the end), without the exception's class name.
QString ErrorDialogText(const QString &AMessage);

// The real dialogs, parented to AParent.
class TWidgetFileDialogs : public TFileDialogs {
public:
    explicit TWidgetFileDialogs(QWidget *AParent) : FParent(AParent) {}
    bool ExecuteOpen(int AFilterIndex, QString &AFileName) override;
    bool ExecuteSave(QString &AFileName) override;
    void ShowInformation(const QString &AText) override;
    TUnsavedAnswer AskUnsavedScript(const QString &AFileName) override;
    bool AskSaveAsUtf8(const QString &AFileName) override;
    bool AskReloadScript(const QString &AFileName) override;
    void ShowError(const QString &AText) override;
    bool AskRunNonPhpFile(const QString &AFileName) override;
    bool EditRunConfig(const TRunSpec &ASpec, TRunConfig &AConfig) override;
    bool EditInterpreters(QStringList &ACommands, const QStringList &AFound) override;

private:
    QWidget *FParent; // not owned
    QString FLastOpenFolder;
};

} // namespace app
