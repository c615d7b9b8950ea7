#pragma once
// What the window remembers between starts, in one INI file under the user's configuration
// folder ($XDG_CONFIG_HOME/checkphp/checkphp.ini, else ~/.config/checkphp/checkphp.ini). A file
// that cannot be read is moved aside (never lost, never a crash) and the defaults apply.

#include "RunConfig.h"

#include <QString>
#include <QtGlobal>

#include <memory>

class QSettings;

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

    // The run configuration kept for the script AFileName (the defaults when none is kept); a
    // configuration of defaults is not kept.
    TRunConfig RunConfig(const QString &AFileName) const;
    void SetRunConfig(const QString &AFileName, const TRunConfig &AConfig);

private:
    void Write(const QString &AKey, const QString &AValue);
    QString FFileName;
    QString FNotice;
    std::unique_ptr<QSettings> FSettings; // none when the file could not be moved aside
};

} // namespace app
