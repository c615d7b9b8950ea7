// SPDX-License-Identifier: MIT
#include "Interpreters.h"

#include "CommandLine.h"
#include "common/Exception.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QVersionNumber>

#include <algorithm>

namespace app {

QStringList FindInterpretersOnPath(const QString &APath) {
    static const QRegularExpression kName(QStringLiteral("^php(\\d+\\.\\d+)?$"));
    struct TFound {
        QString File;
        QVersionNumber Version; // null for plain php
    };
    QList<TFound> found;
    QStringList realFiles;
    for (const QString &folder : APath.split(QLatin1Char(':'), Qt::SkipEmptyParts)) {
        const QDir dir(folder);
        for (const QFileInfo &info :
             dir.entryInfoList({QStringLiteral("php*")}, QDir::Files | QDir::Executable)) {
            const QRegularExpressionMatch match = kName.match(info.fileName());
            if (!match.hasMatch()) continue;
            const QString real = info.canonicalFilePath();
            if (realFiles.contains(real)) continue; // php and php8.2 are often one file
            realFiles << real;
            found.append({info.absoluteFilePath(), QVersionNumber::fromString(match.captured(1))});
        }
    }
    std::stable_sort(found.begin(), found.end(), [](const TFound &A, const TFound &B) {
        if (A.Version.isNull() != B.Version.isNull()) return A.Version.isNull();
        return A.Version > B.Version;
    });
    QStringList files;
    for (const TFound &f : found)
        files << f.File;
    return files;
}

TRunSpec SpecForInterpreter(const TRunSpec &ABase, const QString &ACommand) {
    QStringList words;
    QString error;
    if (!SplitShellWords(ACommand, words, error))
        throw common::Exception(QStringLiteral("Interpreter \"%1\": %2").arg(ACommand, error));
    if (words.isEmpty()) throw common::Exception(QStringLiteral("An interpreter's command is empty."));
    const QString folder =
        ABase.Script.isEmpty() ? ABase.WorkingFolder : QFileInfo(ABase.Script).absolutePath();
    for (QString &word : words)
        word.replace(QLatin1String("{dir}"), folder);
    TRunSpec spec = ABase;
    QString program = words.takeFirst();
    if (!program.contains(QLatin1Char('/'))) {
        const QString found = QStandardPaths::findExecutable(program);
        if (found.isEmpty())
            throw common::Exception(
                QStringLiteral("Interpreter \"%1\": %2 is not on PATH.").arg(ACommand, program));
        program = found;
    } else {
        program = QFileInfo(program).absoluteFilePath(); // the run starts in another folder
        if (!QFileInfo(program).isExecutable())
            throw common::Exception(
                QStringLiteral("Interpreter \"%1\": %2 is not an executable file.").arg(ACommand, program));
    }
    spec.Interpreter = program;
    QStringList quoted;
    for (const QString &word : words)
        quoted << ShellQuote(word);
    if (!ABase.InterpreterOptions.trimmed().isEmpty()) quoted << ABase.InterpreterOptions;
    spec.InterpreterOptions = quoted.join(QLatin1Char(' '));
    return spec;
}

TRunSpec VersionQuery(const TRunSpec &ASpec) {
    TRunSpec spec = ASpec;
    spec.Script.clear();
    spec.Params = QStringLiteral("-r 'echo PHP_VERSION;'");
    spec.MaxTimeAfterBeginning = 30;
    spec.MaxOutputBytes = 4096;
    spec.InheritStandardInput = false;
    return spec;
}

} // namespace app
