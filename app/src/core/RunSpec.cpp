// SPDX-License-Identifier: MIT
#include "RunSpec.h"

#include "CommandLine.h"
#include "RunConfig.h"
#include "common/Exception.h"

namespace app {

namespace {

QStringList WordsOf(const QString &AText, const char *AField) {
    QStringList words;
    QString error;
    if (!SplitShellWords(AText, words, error))
        throw common::Exception(QStringLiteral("%1: %2").arg(QString::fromLatin1(AField), error));
    return words;
}

QString RunnerText(const QStringList &AWords) {
    QStringList quoted;
    for (const QString &word : AWords)
        if (!word.isEmpty()) quoted << QuoteCommandArgument(word);
    return quoted.join(QLatin1Char(' '));
}

} // namespace

QString TRunSpec::Commands() const {
    QStringList parts;
    if (!Interpreter.isEmpty()) parts << QuoteCommandArgument(Interpreter);
    if (!Script.isEmpty()) parts << QuoteCommandArgument(Script);
    return parts.join(QLatin1Char(' '));
}

QStringList TRunSpec::Words() const {
    QStringList words;
    if (!Interpreter.isEmpty()) words << Interpreter;
    words << WordsOf(InterpreterOptions, "Interpreter options");
    if (!Script.isEmpty()) words << Script;
    words << WordsOf(Params, "Parameters");
    return words;
}

QString TRunSpec::CommandLine() const {
    QStringList head;
    if (!Interpreter.isEmpty()) head << QuoteCommandArgument(Interpreter);
    const QString options = RunnerText(WordsOf(InterpreterOptions, "Interpreter options"));
    if (!options.isEmpty()) head << options;
    if (!Script.isEmpty()) head << QuoteCommandArgument(Script);
    return BuildCommandLine(head.join(QLatin1Char(' ')), RunnerText(WordsOf(Params, "Parameters")));
}

QString TRunSpec::ShellText() const {
    return ShellCommandText(Words());
}

bool ParseEnvironment(const QString &AText, QStringList &AEntries, QString &AError) {
    AEntries.clear();
    for (const QString &raw : AText.split(QLatin1Char('\n'))) {
        const QString line = raw.trimmed();
        if (line.isEmpty()) continue;
        const qsizetype equals = line.indexOf(QLatin1Char('='));
        const QString name = line.left(equals);
        bool valid = equals > 0 && !name[0].isDigit();
        for (const QChar c : name)
            valid = valid && (c == QLatin1Char('_') || (c.unicode() < 0x80 && c.isLetterOrNumber()));
        if (!valid) {
            AError = QStringLiteral("\"%1\" is not NAME=VALUE").arg(line);
            return false;
        }
        AEntries << line;
    }
    return true;
}

} // namespace app
