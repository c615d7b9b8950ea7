// SPDX-License-Identifier: MIT
#pragma once
// What the window remembers between starts, in one INI file under the user's configuration
// folder ($XDG_CONFIG_HOME/checkphp/checkphp.ini, else ~/.config/checkphp/checkphp.ini). A file
// that cannot be read is moved aside (never lost, never a crash) and the defaults apply.

#include "RunConfig.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>

class QSettings;
class QVariant;

namespace app {

class TAppSettings {
public:
    // AFileName empty: the file under the user's configuration folder.
    explicit TAppSettings(const QString &AFileName = QString());
    ~TAppSettings();
    TAppSettings(const TAppSettings &) = delete;
    TAppSettings &operator=(const TAppSettings &) = delete;

    static QString DefaultFileName();
    const QString &FileName() const { return FFileName; }
    // A sentence for the status line when the file could not be read and was moved aside.
    const QString &Notice() const { return FNotice; }

    // The interpreter chosen with the PHP button (empty: none chosen).
    QString Interpreter() const;
    void SetInterpreter(const QString &AFileName);
    // The output limit of a run in bytes (0: none).
    qint64 MaxOutput() const;
    void SetMaxOutput(qint64 ABytes);
    // Whether the window runs the script again each time it is saved (off unless turned on).
    bool RunOnSave() const;
    void SetRunOnSave(bool AValue);

    // The run configuration kept for the script AFileName (the defaults when none is kept); a
    // configuration of defaults is not kept.
    TRunConfig RunConfig(const QString &AFileName) const;
    void SetRunConfig(const QString &AFileName, const TRunConfig &AConfig);

    // The interpreters "Run on all" compares, each a command as a shell reads words (empty: none
    // listed; the window then offers those on PATH).
    QStringList Interpreters() const;
    void SetInterpreters(const QStringList &ACommands);

    // The scripts opened last, the latest first (at most kRecentScripts).
    static constexpr int kRecentScripts = 10;
    QStringList RecentScripts() const;
    void AddRecentScript(const QString &AFileName);
    void RemoveRecentScript(const QString &AFileName);

    // The window's geometry and its splitter, as Qt saves them (empty: none kept).
    QByteArray WindowGeometry() const;
    QByteArray SplitterState() const;
    void SetWindowLayout(const QByteArray &AGeometry, const QByteArray &ASplitter);

    // The find bars' options: match case, whole word, regular expression.
    struct TFindOptions {
        bool MatchCase = false;
        bool WholeWord = false;
        bool Regex = false;
    };
    TFindOptions FindOptions() const;
    void SetFindOptions(const TFindOptions &AOptions);

    // The collapsed folds of a script (their first lines, 1-based), kept with the file's size
    // and time of change: they come back only on the file as it was.
    QList<int> CollapsedFolds(const QString &AFileName, qint64 ASize, const QDateTime &AModified) const;
    void SetCollapsedFolds(const QString &AFileName, qint64 ASize, const QDateTime &AModified,
                           const QList<int> &ALines);

private:
    void Write(const QString &AKey, const QString &AValue);
    void WriteValue(const QString &AKey, const QVariant &AValue);
    QString FFileName;
    QString FNotice;
    std::unique_ptr<QSettings> FSettings; // none when the file could not be moved aside
};

} // namespace app
