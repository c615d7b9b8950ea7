// SPDX-License-Identifier: MIT
#include "CommandLine.h"

#include <QStandardPaths>

#include <algorithm>

namespace app {

QString DefaultInterpreter() {
    return QStandardPaths::findExecutable(QStringLiteral("php"));
}

QString FolderOf(const QString &AFileName) {
    const int cut = AFileName.lastIndexOf(QLatin1Char('/'));
    return cut < 0 ? QString() : AFileName.left(cut + 1);
}

QString QuoteCommandArgument(const QString &AArgument) {
    const bool needsQuotes = std::any_of(AArgument.cbegin(), AArgument.cend(),
                                         [](QChar c) { return c.isSpace() || c == QLatin1Char('"'); });
    if (!needsQuotes) return AArgument;
    QString quoted = AArgument;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString BuildCommandLine(const QString &ACommands, const QString &AParams) {
    return ACommands + QLatin1Char(' ') + AParams;
}

bool SplitShellWords(const QString &AText, QStringList &AWords, QString &AError) {
    AWords.clear();
    QString word;
    bool inWord = false; // a word was begun, perhaps by an empty pair of quotes
    enum { Plain, Single, Double } state = Plain;
    for (qsizetype i = 0; i < AText.size(); ++i) {
        const QChar c = AText[i];
        if (state == Single) {
            if (c == QLatin1Char('\''))
                state = Plain;
            else
                word += c;
            continue;
        }
        if (state == Double) {
            if (c == QLatin1Char('"')) {
                state = Plain;
            } else if (c == QLatin1Char('\\') && i + 1 < AText.size() &&
                       QStringLiteral("$`\"\\\n").contains(AText[i + 1])) {
                if (AText[++i] != QLatin1Char('\n')) word += AText[i];
            } else {
                word += c;
            }
            continue;
        }
        if (c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\n') ||
            c == QLatin1Char('\r')) {
            if (inWord) AWords << word;
            word.clear();
            inWord = false;
        } else if (c == QLatin1Char('\'')) {
            state = Single;
            inWord = true;
        } else if (c == QLatin1Char('"')) {
            state = Double;
            inWord = true;
        } else if (c == QLatin1Char('\\')) {
            if (i + 1 == AText.size()) {
                AError = QStringLiteral("a backslash ends the text");
                return false;
            }
            if (AText[++i] != QLatin1Char('\n')) word += AText[i]; // backslash-newline: a continuation
            inWord = true;
        } else {
            word += c;
            inWord = true;
        }
    }
    if (state != Plain) {
        AError = state == Single ? QStringLiteral("a single quote is not closed")
                                 : QStringLiteral("a double quote is not closed");
        return false;
    }
    if (inWord) AWords << word;
    return true;
}

QString ShellQuote(const QString &AWord) {
    if (AWord.isEmpty()) return QStringLiteral("''");
    bool plain = true;
    for (const QChar c : AWord) {
        const char16_t u = c.unicode();
        const bool literal = (u >= u'a' && u <= u'z') || (u >= u'A' && u <= u'Z') ||
                             (u >= u'0' && u <= u'9') || QStringLiteral("_@%+=:,./-").contains(c) ||
                             u >= 0x80;
        if (!literal) {
            plain = false;
            break;
        }
    }
    if (plain) return AWord;
    QString quoted = AWord;
    quoted.replace(QLatin1Char('\''), QStringLiteral("'\\''"));
    return QLatin1Char('\'') + quoted + QLatin1Char('\'');
}

QString ShellCommandText(const QStringList &AWords) {
    QStringList quoted;
    quoted.reserve(AWords.size());
    for (const QString &word : AWords)
        quoted << ShellQuote(word);
    return quoted.join(QLatin1Char(' '));
}

} // namespace app
