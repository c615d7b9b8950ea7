// checkphp: the "Check PHP file" window, or with --save the same run without a window.

#include "AppController.h"
#include "AppIcon.h"
#include "BatchRun.h"
#include "ControlPanelUnit.h"
#include "ResultBrowser.h"
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

#include <cstring>
#include <memory>

namespace {

void AddOptions(QCommandLineParser &AParser) {
    AParser.setApplicationDescription(
        QStringLiteral("Runs a PHP script through the PHP command-line "
                       "interpreter and shows, renders and saves its output.\n\n") +
        app::ShortcutHelpText());
    AParser.addHelpOption();
    AParser.addVersionOption();
    AParser.addOption({QStringLiteral("php"), QStringLiteral("The PHP interpreter to run."),
                       QStringLiteral("INTERPRETER")});
    AParser.addOption({QStringLiteral("params"), QStringLiteral("Parameters appended to the command line."),
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
    AParser.addPositionalArgument(QStringLiteral("SCRIPT"),
                                  QStringLiteral("The PHP script to open and run."));
}

// Whether the arguments ask for something that needs no window.
bool WantsNoWindow(int argc, char **argv) {
    for (int i = 1; i < argc; ++i) {
        const char *a = argv[i];
        if (!std::strcmp(a, "--save") || !std::strncmp(a, "--save=", 7) || !std::strcmp(a, "--help") ||
            !std::strcmp(a, "--help-all") || !std::strcmp(a, "-h") || !std::strcmp(a, "--version") ||
            !std::strcmp(a, "-v") || !std::strcmp(a, "-?"))
            return true;
    }
    return false;
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

int RunWithoutWindow(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("CHECKPHP_DEBUG")) qInstallMessageHandler(QuietMessageHandler);
    QCoreApplication application(argc, argv);
    SetApplicationNames();
    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(application); // handles --help and --version
    const QStringList scripts = parser.positionalArguments();
    if (scripts.size() > 1) {
        std::fprintf(stderr, "checkphp: only one SCRIPT may be given\n");
        return app::kExitUsage;
    }
    app::TBatchOptions options;
    options.Interpreter = FullPath(parser.value(QStringLiteral("php")), true);
    options.Params = parser.value(QStringLiteral("params"));
    options.Script = scripts.isEmpty() ? QString() : FullPath(scripts.constFirst(), false);
    options.ResultFile = parser.value(QStringLiteral("save"));
    options.ReportErrors = parser.isSet(QStringLiteral("errors"));
    if (parser.isSet(QStringLiteral("timeout"))) {
        bool ok = false;
        options.TimeoutSeconds = parser.value(QStringLiteral("timeout")).toInt(&ok);
        if (!ok || options.TimeoutSeconds < 1) {
            std::fprintf(stderr, "checkphp: --timeout needs a whole number of seconds, 1 or more\n");
            return app::kExitUsage;
        }
    }
    if (parser.isSet(QStringLiteral("max-output")) &&
        !app::ParseByteSize(parser.value(QStringLiteral("max-output")), options.MaxOutputBytes)) {
        std::fprintf(stderr, "checkphp: --max-output needs a size such as 64k, 256M or 1G (0: no limit)\n");
        return app::kExitUsage;
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
    if (WantsNoWindow(argc, argv)) return RunWithoutWindow(argc, argv);

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

    QCommandLineParser parser;
    AddOptions(parser);
    parser.process(application);
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
