// The browser pane of the window with the real interpreter: a renderer that ends abnormally is
// reported in the pane and Execute renders again; a result too large to render shows its first
// part and says how much was left out.

#include "ControlPanelUnit.h"
#include "ResultBrowser.h"
#include "window_fixture.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QWebEnginePage>
#include <QtTest>

#include <memory>
#include <optional>

using namespace app;
using namespace window_test;

class TestResultBrowser : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QList<common::ErrorReport> FErrors;
    std::unique_ptr<TControlPanelForm> FForm;
    TScriptedDialogs *FDialogs = nullptr;

    // Opens a script printing ASource's output and waits for the end of its run.
    bool Run(const QByteArray &ASource) {
        const QString path = FDir.filePath(QStringLiteral("page.php"));
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(ASource) != ASource.size()) return false;
        file.close();
        FDialogs->OpenAnswers = {Php(), path};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        return QTest::qWaitFor([&] { return !FForm->ConsoleCommand->IsRunning(); }, 20000);
    }

    // The page's text; empty when it does not arrive (a late answer goes nowhere).
    QString PageText() {
        auto text = std::make_shared<std::optional<QString>>();
        FForm->WB->page()->toPlainText([text](const QString &AText) { *text = AText; });
        if (!QTest::qWaitFor([&] { return text->has_value(); }, 10000)) return QString();
        return **text;
    }

    bool ExecuteAndWaitForPage() {
        QSignalSpy loaded(FForm->WB, &QWebEngineView::loadFinished);
        FForm->ExecuteScriptAction->trigger();
        return loaded.wait(30000) && loaded.constLast().constFirst().toBool();
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        QVERIFY2(!Php().isEmpty(), "php-cli must be installed");
        common::SetErrorReporter([this](const common::ErrorReport &AReport) { FErrors << AReport; });
    }

    void init() {
        FErrors.clear();
        QVERIFY(ShowNewForm(FForm, FDialogs));
    }

    void cleanup() {
        QCOMPARE(FDialogs->Unexpected, 0);
        QVERIFY(FErrors.isEmpty());
        FForm.reset();
    }

    // Regression: when the renderer ended (out of memory on a large page), the pane went blank
    // without a word.
    void endedRendererIsReportedAndExecuteRendersAgain() {
        QVERIFY(Run("<?php echo \"<p>rendered once</p>\\n\";\n"));
        QVERIFY(ExecuteAndWaitForPage());
        QVERIFY(PageText().contains(QStringLiteral("rendered once")));
        const qint64 renderer = FForm->WB->page()->renderProcessPid();
        QVERIFY(renderer > 0);
        QSignalSpy loaded(FForm->WB, &QWebEngineView::loadFinished);
        QCOMPARE(
            QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-KILL"), QString::number(renderer)}),
            0);
        QVERIFY(loaded.wait(30000));
        QTRY_VERIFY_WITH_TIMEOUT(PageText().contains(TResultBrowser::RendererEndedText()), 20000);
        QVERIFY(ExecuteAndWaitForPage());
        QTRY_VERIFY_WITH_TIMEOUT(PageText().contains(QStringLiteral("rendered once")), 20000);
        QVERIFY(!PageText().contains(TResultBrowser::RendererEndedText()));
    }

    // A result past the limit renders up to a line end before it and says what was left out,
    // also when the cut falls inside a comment.
    void largeResultRendersItsFirstPart() {
        QCOMPARE(FForm->WB->RenderLimit(), 1024 * 1024);
        FForm->WB->SetRenderLimit(1000);
        QVERIFY(Run("<?php echo \"<p>first</p>\\n<!-- open\\n\";\n"
                    "for ($i = 1; $i <= 300; ++$i) echo \"line $i\\n\";\n"));
        QVERIFY(ExecuteAndWaitForPage());
        const QString text = PageText();
        QVERIFY2(text.startsWith(QStringLiteral("first")), qPrintable(text));
        const QRegularExpressionMatch note =
            QRegularExpression(QStringLiteral("(\\d+) more lines are left out here \\([\\d.]+ kB\\): the "
                                              "page renders the first 1,000 bytes"))
                .match(text);
        QVERIFY2(note.hasMatch(), qPrintable(text));
        // Whole lines up to 1000 bytes are kept: the others are counted.
        const QByteArray all = FForm->ResultText().toUtf8();
        const int kept = all.left(all.lastIndexOf('\n', 1000)).count('\n') + 1;
        QCOMPARE(note.captured(1).toInt(), all.count('\n') + 1 - kept);
        QVERIFY(kept > 50 && kept < 302);
    }
};

int main(int argc, char **argv) {
    TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    TestResultBrowser test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_resultbrowser.moc"
