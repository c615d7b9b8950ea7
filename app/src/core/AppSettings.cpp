// SPDX-License-Identifier: MIT
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
const QString kRunOnSaveKey = QStringLiteral("Run/RunOnSave");
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

bool TAppSettings::RunOnSave() const {
    return FSettings && FSettings->value(kRunOnSaveKey, false).toBool();
}

void TAppSettings::SetRunOnSave(bool AValue) {
    WriteValue(kRunOnSaveKey, AValue);
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
    // Each run keeps its configuration: one that is kept already costs no write.
    if (!FSettings || RunConfig(AFileName) == AConfig) return;
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    for (const char *key : {"Params", "InterpreterOptions", "Environment", "WorkingFolder"})
        FSettings->remove(ScriptGroup(AFileName) + QLatin1Char('/') + QLatin1String(key));
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

QStringList TAppSettings::Interpreters() const {
    return FSettings ? FSettings->value(QStringLiteral("Compare/Interpreters")).toStringList()
                     : QStringList();
}

void TAppSettings::SetInterpreters(const QStringList &ACommands) {
    WriteValue(QStringLiteral("Compare/Interpreters"), ACommands);
}

QStringList TAppSettings::RecentScripts() const {
    return FSettings ? FSettings->value(QStringLiteral("Recent/Scripts")).toStringList() : QStringList();
}

void TAppSettings::AddRecentScript(const QString &AFileName) {
    QStringList scripts = RecentScripts();
    scripts.removeAll(AFileName);
    scripts.prepend(AFileName);
    while (scripts.size() > kRecentScripts)
        scripts.removeLast();
    WriteValue(QStringLiteral("Recent/Scripts"), scripts);
}

void TAppSettings::RemoveRecentScript(const QString &AFileName) {
    QStringList scripts = RecentScripts();
    if (scripts.removeAll(AFileName) > 0) WriteValue(QStringLiteral("Recent/Scripts"), scripts);
}

QByteArray TAppSettings::WindowGeometry() const {
    return FSettings ? FSettings->value(QStringLiteral("Window/Geometry")).toByteArray() : QByteArray();
}

QByteArray TAppSettings::SplitterState() const {
    return FSettings ? FSettings->value(QStringLiteral("Window/Splitter")).toByteArray() : QByteArray();
}

void TAppSettings::SetWindowLayout(const QByteArray &AGeometry, const QByteArray &ASplitter) {
    WriteValue(QStringLiteral("Window/Geometry"), AGeometry);
    WriteValue(QStringLiteral("Window/Splitter"), ASplitter);
}

TAppSettings::TFindOptions TAppSettings::FindOptions() const {
    TFindOptions options;
    if (!FSettings) return options;
    options.MatchCase = FSettings->value(QStringLiteral("Find/MatchCase"), false).toBool();
    options.WholeWord = FSettings->value(QStringLiteral("Find/WholeWord"), false).toBool();
    options.Regex = FSettings->value(QStringLiteral("Find/Regex"), false).toBool();
    return options;
}

void TAppSettings::SetFindOptions(const TFindOptions &AOptions) {
    WriteValue(QStringLiteral("Find/MatchCase"), AOptions.MatchCase);
    WriteValue(QStringLiteral("Find/WholeWord"), AOptions.WholeWord);
    WriteValue(QStringLiteral("Find/Regex"), AOptions.Regex);
}

namespace {
QString FileStamp(qint64 ASize, const QDateTime &AModified) {
    return QStringLiteral("%1 %2").arg(ASize).arg(AModified.toMSecsSinceEpoch());
}
} // namespace

QList<int> TAppSettings::CollapsedFolds(const QString &AFileName, qint64 ASize,
                                        const QDateTime &AModified) const {
    QList<int> lines;
    if (!FSettings) return lines;
    const QString group = ScriptGroup(AFileName);
    if (FSettings->value(group + QStringLiteral("/FoldsOf")).toString() != FileStamp(ASize, AModified))
        return lines;
    for (const QString &line :
         FSettings->value(group + QStringLiteral("/Folds")).toString().split(QLatin1Char(' '))) {
        bool ok = false;
        const int number = line.toInt(&ok);
        if (ok && number > 0) lines << number;
    }
    return lines;
}

void TAppSettings::SetCollapsedFolds(const QString &AFileName, qint64 ASize, const QDateTime &AModified,
                                     const QList<int> &ALines) {
    if (!FSettings) return;
    const QString group = ScriptGroup(AFileName);
    if (ALines.isEmpty()) {
        FSettings->remove(group + QStringLiteral("/Folds"));
        FSettings->remove(group + QStringLiteral("/FoldsOf"));
        FSettings->sync();
        return;
    }
    QStringList numbers;
    for (const int line : ALines)
        numbers << QString::number(line);
    WriteValue(group + QStringLiteral("/Folds"), numbers.join(QLatin1Char(' ')));
    WriteValue(group + QStringLiteral("/FoldsOf"), FileStamp(ASize, AModified));
}

void TAppSettings::WriteValue(const QString &AKey, const QVariant &AValue) {
    if (!FSettings) return;
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    FSettings->setValue(AKey, AValue);
    FSettings->sync();
}

void TAppSettings::Write(const QString &AKey, const QString &AValue) {
    if (!FSettings) return; // the unreadable file stays as it is
    QDir().mkpath(QFileInfo(FFileName).absolutePath());
    FSettings->setValue(AKey, AValue);
    FSettings->sync();
}

} // namespace app
