#include "AppSettings.h"

#include "OutputLimit.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>
#include <QUrl>

namespace app {

namespace {
const QString kInterpreterKey = QStringLiteral("Run/Interpreter");
const QString kMaxOutputKey = QStringLiteral("Run/MaxOutput");
// A script's group: its path, percent-encoded so that its separators do not nest groups.
QString ScriptGroup(const QString &AFileName) {
    return QStringLiteral("Scripts/") + QString::fromLatin1(QUrl::toPercentEncoding(AFileName));
}
} // namespace

QString TAppSettings::DefaultFileName() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/checkphp/checkphp.ini");
}

TAppSettings::TAppSettings(const QString &AFileName)
    : FFileName(AFileName.isEmpty() ? DefaultFileName() : AFileName) {
    const QFileInfo info(FFileName);
    FSettings = std::make_unique<QSettings>(FFileName, QSettings::IniFormat);
    if (!info.exists() || (info.isFile() && info.isReadable() && FSettings->status() == QSettings::NoError))
        return;
    // Unreadable or not an INI file: kept beside under another name, and the defaults apply.
    FSettings.reset();
    const QString aside = FFileName + QStringLiteral(".unreadable-") +
                          QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (QFile::rename(FFileName, aside))
        FNotice = QStringLiteral("The settings file could not be read; it was moved to %1 and the "
                                 "defaults apply.")
                      .arg(aside);
    else
        FNotice = QStringLiteral("The settings file %1 could not be read; the defaults apply and "
                                 "nothing is saved to it.")
                      .arg(FFileName);
    if (!QFile::exists(FFileName)) FSettings = std::make_unique<QSettings>(FFileName, QSettings::IniFormat);
}

TAppSettings::~TAppSettings() = default;

QString TAppSettings::Interpreter() const {
    return FSettings ? FSettings->value(kInterpreterKey).toString() : QString();
}

void TAppSettings::SetInterpreter(const QString &AFileName) {
    Write(kInterpreterKey, AFileName);
}

qint64 TAppSettings::MaxOutput() const {
    qint64 bytes = kDefaultMaxOutput;
    const QVariant value = FSettings ? FSettings->value(kMaxOutputKey) : QVariant();
    if (value.isValid() && !ParseByteSize(value.toString(), bytes)) bytes = kDefaultMaxOutput;
    return bytes;
}

void TAppSettings::SetMaxOutput(qint64 ABytes) {
    Write(kMaxOutputKey, ByteSizeText(ABytes));
}

TRunConfig TAppSettings::RunConfig(const QString &AFileName) const {
    TRunConfig config;
    if (!FSettings) return config;
    FSettings->beginGroup(ScriptGroup(AFileName));
    config.Params = FSettings->value(QStringLiteral("Params")).toString();
    config.InterpreterOptions = FSettings->value(QStringLiteral("InterpreterOptions")).toString();
    config.Environment = FSettings->value(QStringLiteral("Environment")).toStringList();
    config.WorkingFolder = FSettings->value(QStringLiteral("WorkingFolder")).toString();
    FSettings->endGroup();
    return config;
}

void TAppSettings::SetRunConfig(const QString &AFileName, const TRunConfig &AConfig) {
    if (!FSettings) return;
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    FSettings->remove(ScriptGroup(AFileName));
    if (!AConfig.IsDefault()) {
        FSettings->beginGroup(ScriptGroup(AFileName));
        FSettings->setValue(QStringLiteral("Params"), AConfig.Params);
        FSettings->setValue(QStringLiteral("InterpreterOptions"), AConfig.InterpreterOptions);
        FSettings->setValue(QStringLiteral("Environment"), AConfig.Environment);
        FSettings->setValue(QStringLiteral("WorkingFolder"), AConfig.WorkingFolder);
        FSettings->endGroup();
    }
    FSettings->sync();
}

void TAppSettings::Write(const QString &AKey, const QString &AValue) {
    if (!FSettings) return; // the unreadable file stays as it is
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    FSettings->setValue(AKey, AValue);
    FSettings->sync();
}

} // namespace app
