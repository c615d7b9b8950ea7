#pragma once
// What the window remembers between starts, in one INI file under the user's configuration
// folder ($XDG_CONFIG_HOME/checkphp/checkphp.ini, else ~/.config/checkphp/checkphp.ini). A file
// that cannot be read is moved aside (never lost, never a crash) and the defaults apply.

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

private:
    void Write(const QString &AKey, const QString &AValue);
    QString FFileName;
    QString FNotice;
    std::unique_ptr<QSettings> FSettings; // none when the file could not be moved aside
};

} // namespace app
