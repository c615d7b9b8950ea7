// SPDX-License-Identifier: MIT
// consolerun COMMAND [ARGUMENT...]
//
// Runs COMMAND as a child process with ConsoleCommand and prints every line it writes (standard
// output and standard error together) as the line arrives. Exits with the child's exit code, or
// 127 when the child could not be started.

#include "runner/ConsoleCommand.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

// The runner splits its command line at blanks, and double quotes group: quote an argument
// that holds a blank (a quote inside is written as three).
QString Quoted(QString AArgument) {
    if (!AArgument.contains(QLatin1Char(' ')) && !AArgument.contains(QLatin1Char('"')) &&
        !AArgument.contains(QLatin1Char('\t')) && !AArgument.isEmpty())
        return AArgument;
    AArgument.replace(QLatin1Char('"'), QStringLiteral("\"\"\""));
    return QLatin1Char('"') + AArgument + QLatin1Char('"');
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication application(argc, argv);
    QStringList arguments = application.arguments().mid(1);
    if (arguments.isEmpty()) {
        std::fprintf(stderr, "usage: consolerun COMMAND [ARGUMENT...]\n");
        return 2;
    }
    for (QString &argument : arguments)
        argument = Quoted(argument);

    runner::TConsoleCommand command;
    command.SetCommandLine(arguments.join(QLatin1Char(' ')));
    command.SetKeepLines(false); // every line is printed as it comes; nothing to keep
    command.SetOnNewLine([](QObject *, const QString &ALine, runner::TOutputType AType) {
        // A line comes first in pieces (otBeginningOfLine) and then whole (otEntireLine).
        if (AType != runner::otEntireLine) return;
        // The runner's default decoding gives one character per byte (Latin-1): these are the
        // child's own bytes.
        const QByteArray bytes = ALine.toLatin1();
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    });
    int status = 0;
    command.SetOnExecuteError([&status](QObject *, const common::Exception &AError, bool &AHandled) {
        std::fprintf(stderr, "consolerun: %s\n", AError.Message().toLocal8Bit().constData());
        status = 127;
        AHandled = true; // reported here; no error report of the library's own
    });
    command.SetOnTerminated([&](QObject *) {
        if (status == 0)
            status = command.TerminationSignal() != 0 ? 128 + command.TerminationSignal()
                                                      : int(command.ExitCode());
        QCoreApplication::exit(status);
    });
    command.Execute();
    return application.exec();
}
