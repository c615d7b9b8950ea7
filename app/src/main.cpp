// SPDX-License-Identifier: MIT
// checkphp: the "Check PHP file" window, or with --save the same run without a window.

#include "AppIcon.h"
#include "BatchRun.h"
#include "CommandLine.h"
#include "ControlPanelUnit.h"
#include "FileDialogs.h"
#include "Interpreters.h"
#include "ResultBrowser.h"
#include "RunConfig.h"
#include "WindowShortcuts.h"
#include "common/Exception.h"
#include "runner/TerminationSignals.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFileInfo>
#include <QLineEdit>
#include <QMessageBox>
#include <QStandardPaths>
#include <QStyleFactory>

#include <cstdio>
#include <memory>

namespace {

// The options of the batch mode alone; given without --save or --compare they are a mistake.
const char *const kBatchOnlyOptions[] = {"timeout",    "max-output", "errors", "stats",
                                         "php-option", "env",        "cwd"};

// What --help says besides the options: the forms, the exit statuses, the window's keys.
QString DescriptionText() {
    return QStringLiteral(
               "Runs a PHP script through the PHP command-line interpreter and shows, renders and saves "
               "its output.\n\n"
               "Forms:\n"
               "  checkphp [--php INTERPRETER] [--params TEXT] [SCRIPT...]\n"
               "      the window; SCRIPT opens and runs at once (of several files, the first)\n"
               "  checkphp [--php INTERPRETER] [--params TEXT] --save FILE [--timeout SECONDS]\n"
               "           [--max-output SIZE] [--errors] [--stats] [--php-option OPTIONS]...\n"
               "           [--env NAME=VALUE]... [--cwd FOLDER] [SCRIPT]\n"
               "      batch mode: no window and no display; the output is saved to FILE\n"
               "  checkphp --php COMMAND --php COMMAND... --compare [--params TEXT] [--timeout SECONDS]\n"
               "           [--max-output SIZE] [--php-option OPTIONS]... [--env NAME=VALUE]... SCRIPT\n"
               "      runs SCRIPT on each interpreter (without --php: php and phpX.Y on PATH) and\n"
               "      prints a table and a unified diff of each output that differs from the first;\n"
               "      exits 0 when all outputs are the same, 1 when they differ, %1 on a mistake\n\n"
               "Exit status:\n"
               "  0       the window was closed; in batch mode, the interpreter's own exit code\n"
               "  %1       a mistake on the command line (both forms), an unreadable script\n"
               "  %2      the run failed after the interpreter had started (batch mode)\n"
               "  %3      the result file could not be written (batch mode)\n"
               "  %4      the output passed --max-output; the run was stopped (batch mode)\n"
               "  %5     the run ended by --timeout (batch mode)\n"
               "  %6     the interpreter could not be started (batch mode)\n"
               "  128+N   stopped by signal N: 130 SIGINT (Ctrl+C), 143 SIGTERM, 129 SIGHUP\n\n")
               .arg(app::kExitUsage)
               .arg(app::kExitRunFailed)
               .arg(app::kExitResultFile)
               .arg(app::kExitOutputLimit)
               .arg(app::kExitTimeOut)
               .arg(app::kExitNotStarted) +
           app::ShortcutHelpText();
}

void AddOptions(QCommandLineParser &AParser) {
    AParser.setApplicationDescription(DescriptionText());
    AParser.addHelpOption();
    AParser.addVersionOption();
    AParser.addOption(
        {QStringLiteral("php"),
         QStringLiteral("The PHP interpreter to run; with --compare, one of the interpreters to "
                        "compare (may be given more than once), a command as a shell reads "
                        "words, {dir} standing for the script's folder."),
         QStringLiteral("INTERPRETER")});
    AParser.addOption(
        {QStringLiteral("params"),
         QStringLiteral("The script's parameters, as a shell reads words ('b c' \"d e\" f\\ g: three)."),
         QStringLiteral("TEXT")});
    AParser.addOption(
        {QStringLiteral("save"),
         QStringLiteral("Batch mode: run without a window and save the result to FILE; exit with the "
                        "interpreter's exit code."),
         QStringLiteral("FILE")});
    AParser.addOption({QStringLiteral("timeout"),
                       QStringLiteral("Batch mode: stop the run SECONDS after its start (default: no limit; "
                                      "a run without output for 1000 s always ends)."),
                       QStringLiteral("SECONDS")});
    AParser.addOption({QStringLiteral("max-output"),
                       QStringLiteral("Batch mode: stop the run once its output passes SIZE (such as 64k, "
                                      "256M, 1G; 0: no limit; default 256M); exit status 75."),
                       QStringLiteral("SIZE")});
    AParser.addOption({QStringLiteral("errors"),
                       QStringLiteral("Batch mode: also write each PHP error, warning and stack frame to "
                                      "standard error as FILE:LINE: error: message (warning, note).")});
    AParser.addOption(
        {QStringLiteral("stats"),
         QStringLiteral("Batch mode: write the run's figures to standard error as one line: exit=0 "
                        "wall=0.412s user=0.301s sys=0.020s maxrss=12.6MB lines=13.")});
    AParser.addOption(
        {QStringLiteral("php-option"),
         QStringLiteral("Batch mode: options of the interpreter before the script, as a shell reads "
                        "words (-d display_errors=1); may be given more than once."),
         QStringLiteral("OPTIONS")});
    AParser.addOption(
        {QStringLiteral("env"),
         QStringLiteral("Batch mode: add NAME=VALUE to the script's environment; may be given more "
                        "than once."),
         QStringLiteral("NAME=VALUE")});
    AParser.addOption({QStringLiteral("cwd"),
                       QStringLiteral("Batch mode: run in FOLDER (default: the script's folder)."),
                       QStringLiteral("FOLDER")});
    AParser.addOption({QStringLiteral("compare"),
                       QStringLiteral("Batch mode: run SCRIPT on every --php and print a table and the "
                                      "differences of their outputs on standard output.")});
    AParser.addPositionalArgument(QStringLiteral("SCRIPT"), QStringLiteral("The PHP script to open and run."),
                                  QStringLiteral("[SCRIPT]"));
}

// Qt's own options of the window, which its application object takes from the command line
// ("-style fusion", "-platform offscreen"): whether AArgument is one, and whether a separate value
// follows it.
bool IsQtWindowOption(const QString &AArgument, bool &ATakesValue) {
    static const QStringList withValue = {
        QStringLiteral("platform"),      QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"), QStringLiteral("plugin"),
        QStringLiteral("display"),       QStringLiteral("qwindowgeometry"),
        QStringLiteral("geometry"),      QStringLiteral("qwindowtitle"),
        QStringLiteral("title"),         QStringLiteral("qwindowicon"),
        QStringLiteral("icon"),          QStringLiteral("style"),
        QStringLiteral("stylesheet"),    QStringLiteral("session"),
        QStringLiteral("name")};
    static const QStringList alone = {QStringLiteral("reverse"),     QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"),      QStringLiteral("dograb"),
                                      QStringLiteral("testability"), QStringLiteral("qmljsdebugger")};
    if (!AArgument.startsWith(QLatin1Char('-'))) return false;
    const QString name =
        AArgument.mid(AArgument.startsWith(QLatin1String("--")) ? 2 : 1).section(QLatin1Char('='), 0, 0);
    const bool inlineValue = AArgument.contains(QLatin1Char('='));
    if (withValue.contains(name)) {
        ATakesValue = !inlineValue;
        return true;
    }
    ATakesValue = false;
    return alone.contains(name) && (inlineValue == (name == QLatin1String("qmljsdebugger")));
}

// The command line as our parser reads it: Qt's window options left out (the window's
// application object takes them; the batch mode has no use for them). Everything after "--"
// is kept as it is.
QStringList OwnArguments(int argc, char **argv) {
    QStringList arguments;
    bool optionsEnded = false;
    for (int i = 0; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        bool takesValue = false;
        if (i > 0 && !optionsEnded && IsQtWindowOption(argument, takesValue)) {
            if (takesValue) ++i;
            continue;
        }
        if (argument == QLatin1String("--")) optionsEnded = true;
        arguments << argument;
    }
    return arguments;
}

// The option of the batch mode given without --save or --compare, or an empty string.
QString BatchOptionWithoutSave(const QCommandLineParser &AParser) {
    if (AParser.isSet(QStringLiteral("save")) || AParser.isSet(QStringLiteral("compare"))) return QString();
    for (const char *name : kBatchOnlyOptions)
        if (AParser.isSet(QString::fromLatin1(name))) return QString::fromLatin1(name);
    return QString();
}

// A mistake on the command line: one sentence and the usage line of --help on standard error.
int UsageError(const QCommandLineParser &AParser, const QString &ASentence) {
    const QString usage = AParser.helpText().section(QLatin1Char('\n'), 0, 0);
    std::fprintf(stderr, "checkphp: %s\n%s\n", ASentence.toLocal8Bit().constData(),
                 usage.toLocal8Bit().constData());
    return app::kExitUsage;
}

void SetApplicationNames() {
    QCoreApplication::setApplicationName(QStringLiteral("checkphp"));
    QCoreApplication::setApplicationVersion(QStringLiteral(CHECKPHP_VERSION));
}

// A file named on the command line as the window would get it from its dialog: a full path. A
// program name without a folder is looked up on PATH.
QString FullPath(const QString &AName, bool AProgram) {
    if (AName.isEmpty()) return AName;
    if (AProgram && !AName.contains(QLatin1Char('/'))) {
        const QString found = QStandardPaths::findExecutable(AName);
        if (!found.isEmpty()) return found;
    }
    return QFileInfo(AName).absoluteFilePath();
}

// The batch mode's standard error carries its own one-line messages only: diagnostics of the
// libraries (debug output, warnings) are dropped unless CHECKPHP_DEBUG is set.
void QuietMessageHandler(QtMsgType AType, const QMessageLogContext &, const QString &AMessage) {
    if (AType == QtDebugMsg || AType == QtInfoMsg || AType == QtWarningMsg) return;
    std::fprintf(stderr, "%s\n", AMessage.toLocal8Bit().constData());
}

// Everything that needs no display: mistakes on the command line, --help, --version and the
// batch mode.
int RunWithoutWindow(int argc, char **argv, const QStringList &AArguments) {
    if (qEnvironmentVariableIsEmpty("CHECKPHP_DEBUG")) qInstallMessageHandler(QuietMessageHandler);
    QCoreApplication application(argc, argv);
    SetApplicationNames();
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(AArguments)) return UsageError(parser, parser.errorText());
    parser.process(AArguments); // --help, --help-all and --version print and exit
    const QString batchOption = BatchOptionWithoutSave(parser);
    if (!batchOption.isEmpty())
        return UsageError(parser,
                          (batchOption == QLatin1String("errors") || batchOption == QLatin1String("stats")
                               ? QStringLiteral("--%1 needs --save FILE: it belongs to the batch mode.")
                               : QStringLiteral("--%1 needs --save FILE or --compare: it belongs to the "
                                                "batch mode."))
                              .arg(batchOption));
    const bool compare = parser.isSet(QStringLiteral("compare"));
    if (compare && parser.isSet(QStringLiteral("save")))
        return UsageError(parser, QStringLiteral("--compare writes to standard output; it takes no --save."));
    if (compare && (parser.isSet(QStringLiteral("errors")) || parser.isSet(QStringLiteral("stats"))))
        return UsageError(parser, QStringLiteral("--errors and --stats belong to --save, not --compare."));
    if (!compare && parser.values(QStringLiteral("php")).size() > 1)
        return UsageError(parser, QStringLiteral("Several --php need --compare."));
    const QStringList scripts = parser.positionalArguments();
    if (scripts.size() > 1)
        return UsageError(parser, QStringLiteral("The batch mode takes one SCRIPT only."));
    app::TBatchOptions options;
    options.Interpreter = FullPath(parser.value(QStringLiteral("php")), true);
    options.Params = parser.value(QStringLiteral("params"));
    options.Script = scripts.isEmpty() ? QString() : FullPath(scripts.constFirst(), false);
    options.ResultFile = parser.value(QStringLiteral("save"));
    options.ReportErrors = parser.isSet(QStringLiteral("errors"));
    options.ReportStats = parser.isSet(QStringLiteral("stats"));
    if (parser.isSet(QStringLiteral("timeout"))) {
        bool ok = false;
        options.TimeoutSeconds = parser.value(QStringLiteral("timeout")).toInt(&ok);
        if (!ok || options.TimeoutSeconds < 1)
            return UsageError(parser,
                              QStringLiteral("--timeout needs a whole number of seconds, 1 or more."));
    }
    if (parser.isSet(QStringLiteral("max-output")) &&
        !app::ParseByteSize(parser.value(QStringLiteral("max-output")), options.MaxOutputBytes)) {
        std::fprintf(stderr, "checkphp: --max-output needs a size such as 64k, 256M or 1G (0: no limit)\n");
        return app::kExitUsage;
    }
    options.InterpreterOptions = parser.values(QStringLiteral("php-option")).join(QLatin1Char(' '));
    QString problem;
    QStringList words;
    if (!app::SplitShellWords(options.Params, words, problem))
        return UsageError(parser, QStringLiteral("--params: %1.").arg(problem));
    if (!app::SplitShellWords(options.InterpreterOptions, words, problem))
        return UsageError(parser, QStringLiteral("--php-option: %1.").arg(problem));
    if (!app::ParseEnvironment(parser.values(QStringLiteral("env")).join(QLatin1Char('\n')),
                               options.Environment, problem))
        return UsageError(parser, QStringLiteral("--env: %1.").arg(problem));
    if (parser.isSet(QStringLiteral("cwd"))) {
        options.WorkingFolder = QFileInfo(parser.value(QStringLiteral("cwd"))).absoluteFilePath();
        if (!QFileInfo(options.WorkingFolder).isDir())
            return UsageError(parser,
                              QStringLiteral("--cwd: \"%1\" is not a folder.").arg(options.WorkingFolder));
    }
    if (compare) {
        if (options.Script.isEmpty()) return UsageError(parser, QStringLiteral("--compare needs a SCRIPT."));
        QStringList interpreters = parser.values(QStringLiteral("php"));
        if (interpreters.isEmpty()) interpreters = app::FindInterpretersOnPath();
        return app::CompareBatch(options, interpreters);
    }
    return app::RunBatch(options);
}

// The light grey neutral look.
void ApplySilverStyle(QApplication &AApplication) {
    AApplication.setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QPalette palette(QColor(0xE4, 0xE4, 0xE4), QColor(0xF0, 0xF0, 0xF0));
    palette.setColor(QPalette::Base, Qt::white);
    palette.setColor(QPalette::Text, Qt::black);
    palette.setColor(QPalette::WindowText, Qt::black);
    palette.setColor(QPalette::Disabled, QPalette::Text, QColor(0x6D, 0x6D, 0x6D));
    palette.setColor(QPalette::Highlight, QColor(0x33, 0x99, 0xFF));
    palette.setColor(QPalette::HighlightedText, Qt::white);
    AApplication.setPalette(palette);
}

} // namespace

int main(int argc, char **argv) {
    // The command line is read before anything needs a display: mistakes, --help and the batch
    // mode run without one.
    const QStringList arguments = OwnArguments(argc, argv);
    QCommandLineParser parser;
    AddOptions(parser);
    if (!parser.parse(arguments) || parser.isSet(QStringLiteral("save")) ||
        parser.isSet(QStringLiteral("compare")) || parser.isSet(QStringLiteral("help")) ||
        parser.isSet(QStringLiteral("help-all")) || parser.isSet(QStringLiteral("version")) ||
        !BatchOptionWithoutSave(parser).isEmpty())
        return RunWithoutWindow(argc, argv, arguments);

    app::TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    SetApplicationNames();
    ApplySilverStyle(application);
    application.setWindowIcon(app::AppIcon()); // the installed theme icon, else the same drawing
    QGuiApplication::setDesktopFileName(QString::fromLatin1(app::kAppIconName));
    common::SetErrorReporter([](const common::ErrorReport &AReport) {
        QMessageBox box(QMessageBox::Critical,
                        AReport.Caption.isEmpty() ? QStringLiteral("Check PHP file") : AReport.Caption,
                        app::ErrorDialogText(AReport.Message), QMessageBox::Ok, QApplication::activeWindow());
        box.exec();
    });

    // A file manager passes every selected file (Exec=checkphp %F): the first one is run.
    if (parser.positionalArguments().size() > 1)
        std::fprintf(stderr, "checkphp: %d files given; only the first is opened: %s\n",
                     int(parser.positionalArguments().size()),
                     parser.positionalArguments().constFirst().toLocal8Bit().constData());

    auto form = std::make_unique<app::TControlPanelForm>();
    // SIGINT, SIGTERM and SIGHUP close the window: destroying it stops a run and ends the child's
    // whole process group. The status is then 128 + the signal, as a shell reports it.
    runner::TTerminationSignals signalWatcher(
        [](int ASignal) { QApplication::exit(runner::TTerminationSignals::ExitStatusFor(ASignal)); });
    form->show();
    // The options do what "PHP" and then "Script" would do, so a given script runs at once.
    common::Guarded([&] {
        if (parser.isSet(QStringLiteral("params")))
            form->ParamsEdit->setText(parser.value(QStringLiteral("params")));
        if (parser.isSet(QStringLiteral("php")))
            form->ChooseInterpreter(FullPath(parser.value(QStringLiteral("php")), true));
        if (!parser.positionalArguments().isEmpty())
            form->OpenScript(FullPath(parser.positionalArguments().constFirst(), false));
    });
    const int status = application.exec();
    form.reset();
    return status;
}
