// SPDX-License-Identifier: MIT
#pragma once
// Shared pieces of the window tests: a window shown with dialogs of a test's own, the end of a
// run, dialogs answered from queues, the php found on the PATH, and pictures of an editor's
// viewport for pixel checks.

#include "ControlPanelUnit.h"
#include "FileDialogs.h"
#include "lexedit/LexEdit.h"

#include <QColor>
#include <QImage>
#include <QList>
#include <QPainter>
#include <QRect>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTest>

#include <algorithm>
#include <cstdlib>
#include <deque>
#include <memory>

namespace window_test {

// Dialogs answered from queues. A dialog or question with no answer queued counts as unexpected
// and is answered as a user who wants nothing changed would; messages are recorded.
class TScriptedDialogs : public app::TFileDialogs {
public:
    std::deque<QString> OpenAnswers; // an empty string answers "cancel"
    std::deque<QString> SaveAnswers;
    std::deque<app::TUnsavedAnswer> UnsavedAnswers;
    std::deque<bool> Utf8Answers;
    std::deque<bool> ReloadAnswers;
    std::deque<app::TRunConfig> RunConfigAnswers;
    QList<int> OpenFilterIndexes; // the filter of every open dialog shown
    QStringList Informations;
    QStringList Errors;
    int Unexpected = 0;

    bool ExecuteOpen(int AFilterIndex, QString &AFileName) override {
        OpenFilterIndexes << AFilterIndex;
        return Answer(OpenAnswers, AFileName);
    }
    bool ExecuteSave(QString &AFileName) override { return Answer(SaveAnswers, AFileName); }
    void ShowInformation(const QString &AText) override { Informations << AText; }
    app::TUnsavedAnswer AskUnsavedScript(const QString &) override {
        return Take(UnsavedAnswers, app::uaCancel);
    }
    bool AskSaveAsUtf8(const QString &) override { return Take(Utf8Answers, false); }
    bool AskReloadScript(const QString &) override { return Take(ReloadAnswers, false); }
    void ShowError(const QString &AText) override { Errors << AText; }
    bool EditRunConfig(const app::TRunSpec &, app::TRunConfig &AConfig) override {
        if (RunConfigAnswers.empty()) return Take(ReloadAnswers, false); // unexpected
        AConfig = RunConfigAnswers.front();
        RunConfigAnswers.pop_front();
        return true;
    }

private:
    template <typename T> T Take(std::deque<T> &AAnswers, T ADefault) {
        if (AAnswers.empty()) {
            ++Unexpected;
            return ADefault;
        }
        const T answer = AAnswers.front();
        AAnswers.pop_front();
        return answer;
    }
    bool Answer(std::deque<QString> &AAnswers, QString &AFileName) {
        if (AAnswers.empty()) {
            ++Unexpected;
            return false;
        }
        AFileName = AAnswers.front();
        AAnswers.pop_front();
        return !AFileName.isEmpty();
    }
};

// An environment variable set for the life of the object; the old value comes back after.
class TScopedEnv {
public:
    TScopedEnv(const char *AName, const QByteArray &AValue)
        : FName(AName), FHad(qEnvironmentVariableIsSet(AName)), FOld(qgetenv(AName)) {
        qputenv(AName, AValue);
    }
    ~TScopedEnv() {
        if (FHad)
            qputenv(FName, FOld);
        else
            qunsetenv(FName);
    }
    TScopedEnv(const TScopedEnv &) = delete;
    TScopedEnv &operator=(const TScopedEnv &) = delete;

private:
    const char *FName;
    bool FHad;
    QByteArray FOld;
};

// A PATH on which no php is found.
inline QByteArray PathWithoutPhp() {
    return QByteArrayLiteral("/nonexistent-checkphp-test");
}

// Each new window reads and writes a settings folder of its own: no test sees what another one
// (or the user running the tests) remembered.
inline void UseFreshSettings(bool AFresh = true) {
    if (!AFresh) return;
    static std::unique_ptr<QTemporaryDir> Folder;
    Folder = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", Folder->path().toLocal8Bit());
}

// A new window in AForm with a new TDialogs as its dialogs (the window owns them; ADialogs points
// at them), shown; false when it was never exposed. With APhpOnPath false the window starts
// without an interpreter (none remembered, none on PATH); with AFreshSettings false it reads what
// the window before it remembered.
template <typename TDialogs>
bool ShowNewForm(std::unique_ptr<app::TControlPanelForm> &AForm, TDialogs *&ADialogs, bool APhpOnPath = true,
                 bool AFreshSettings = true) {
    UseFreshSettings(AFreshSettings);
    TScopedEnv path("PATH", APhpOnPath ? qgetenv("PATH") : PathWithoutPhp());
    AForm = std::make_unique<app::TControlPanelForm>();
    auto Dialogs = std::make_unique<TDialogs>();
    ADialogs = Dialogs.get();
    AForm->SetDialogs(std::move(Dialogs));
    AForm->show();
    return QTest::qWaitForWindowExposed(AForm.get());
}

// Stops the window's run if one is going; false when it has not ended within 10 s.
inline bool StopRun(app::TControlPanelForm &AForm) {
    if (AForm.ConsoleCommand->IsRunning()) AForm.ConsoleCommand->Stop();
    return QTest::qWaitFor([&AForm] { return !AForm.ConsoleCommand->IsRunning(); }, 10000);
}

inline QString Php() {
    return QStandardPaths::findExecutable(QStringLiteral("php"));
}

// The editor's viewport painted through its paint entry.
inline QImage PaintEditor(lexedit::TLexEdit &AEdit) {
    QImage image(AEdit.viewport()->size(), QImage::Format_RGB32);
    image.fill(Qt::black); // anything the paint leaves out shows
    QPainter painter(&image);
    AEdit.paintArea(painter, image.rect());
    return image;
}

// The largest channel difference between two colours.
inline int ColourDistance(const QColor &A, const QColor &B) {
    return std::max(
        {std::abs(A.red() - B.red()), std::abs(A.green() - B.green()), std::abs(A.blue() - B.blue())});
}

// How near the pixels of ARect come to AColour (0: one of them is that colour).
inline int NearestTo(const QImage &AImage, const QRect &ARect, const QColor &AColour) {
    int best = 255;
    const QRect r = ARect.intersected(AImage.rect());
    for (int y = r.top(); y <= r.bottom(); ++y)
        for (int x = r.left(); x <= r.right(); ++x)
            best = std::min(best, ColourDistance(AImage.pixelColor(x, y), AColour));
    return best;
}

} // namespace window_test
