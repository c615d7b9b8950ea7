// SPDX-License-Identifier: MIT
#include "RunSpec.h"

#include "CommandLine.h"
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

} // namespace app
