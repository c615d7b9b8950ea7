#pragma once
// The dialogs the window uses, behind an interface so that tests can answer them.

#include <QString>

class QWidget;

namespace app {

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
};

// The real dialogs, parented to AParent.
class TWidgetFileDialogs : public TFileDialogs {
public:
    explicit TWidgetFileDialogs(QWidget *AParent) : FParent(AParent) {}
    bool ExecuteOpen(int AFilterIndex, QString &AFileName) override;
    bool ExecuteSave(QString &AFileName) override;
    void ShowInformation(const QString &AText) override;

private:
    QWidget *FParent; // not owned
    QString FLastOpenFolder;
};

} // namespace app
