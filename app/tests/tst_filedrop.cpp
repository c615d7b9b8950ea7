// SPDX-License-Identifier: MIT
// Files dropped on the window: synthesised drag and drop events carrying text/uri-list, run by
// the real PHP interpreter.

#include "ControlPanelUnit.h"
#include "FileDrop.h"
#include "ResultBrowser.h"
#include "common/Exception.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "window_fixture.h"

#include <QApplication>
#include <QDropEvent>
#include <QFile>
#include <QLabel>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>
#include <QtTest>

#include <memory>

using namespace app;
using window_test::Php;
using window_test::ShowNewForm;
using window_test::StopRun;

namespace {

// Dialogs that record the messages; the tests open no dialog of their own.
class TRecordingDialogs : public TFileDialogs {
public:
    QStringList Informations;
    int Opened = 0;
    bool ExecuteOpen(int, QString &) override {
        ++Opened;
        return false;
    }
    bool ExecuteSave(QString &) override { return false; }
    void ShowInformation(const QString &AText) override { Informations << AText; }
    // Files the drop asked about, and the answer it gets.
    QStringList Questions;
    bool Answer = true;
    bool AskRunNonPhpFile(const QString &AFileName) override {
        Questions << AFileName;
        return Answer;
    }
    int UnsavedAsked = 0;
    TUnsavedAnswer AskUnsavedScript(const QString &) override {
        ++UnsavedAsked;
        return uaCancel;
    }
};

std::unique_ptr<QMimeData> UriList(const QStringList &AUrls) {
    auto data = std::make_unique<QMimeData>();
    QList<QUrl> urls;
    for (const QString &url : AUrls)
        urls << (url.contains(QLatin1String("://")) ? QUrl(url) : QUrl::fromLocalFile(url));
    data->setUrls(urls);
    return data;
}

// A drag entering AWidget, then (when it was accepted) the drop, as the platform sends them.
// Returns whether the drop was taken.
bool DragAndDrop(QWidget *AWidget, const QMimeData &AData) {
    const QPoint at = AWidget->rect().center();
    QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, &AData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(AWidget, &enter);
    if (!enter.isAccepted()) return false;
    QDropEvent drop(QPointF(at), Qt::CopyAction | Qt::MoveAction, &AData, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(AWidget, &drop);
    return drop.isAccepted() && drop.dropAction() == Qt::CopyAction;
}

// The widget a drag over AWidget's centre is given to, picked as Qt picks it: the deepest
// widget there, or the nearest of its parents that takes drops.
QWidget *DropTargetOver(QWidget *AWidget) {
    QWidget *window = AWidget->window();
    const QPoint at = AWidget->mapTo(window, AWidget->rect().center());
    QWidget *target = window->childAt(at);
    if (!target) target = window;
    while (!target->acceptDrops() && !target->isWindow())
        target = target->parentWidget();
    return target->acceptDrops() ? target : nullptr;
}

} // namespace

class TestFileDrop : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QList<common::ErrorReport> FErrors;
    std::unique_ptr<TControlPanelForm> FForm;
    TRecordingDialogs *FDialogs = nullptr;
    TFileDrop *FDrop = nullptr;

    QString WriteFile(const QString &AName, const QByteArray &ASource) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test file");
        file.write(ASource);
        return path;
    }

    void ChoosePhp() { FForm->ChooseInterpreter(Php()); }

    // Lets the queued opening of a drop happen.
    void SettleDrop() {
        QCoreApplication::processEvents();
        QTest::qWait(50);
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        QVERIFY2(!Php().isEmpty(), "php-cli must be installed");
        common::SetErrorReporter([this](const common::ErrorReport &AReport) { FErrors << AReport; });
    }

    void init() {
        FErrors.clear();
        QVERIFY(ShowNewForm(FForm, FDialogs, false));
        FDrop = FForm->findChild<TFileDrop *>();
        QVERIFY(FDrop);
    }

    void cleanup() {
        QVERIFY(StopRun(*FForm));
        QCOMPARE(FDialogs->Opened, 0); // a drop never opens the file dialog
        FForm.reset();
    }

    void droppedPhpFileOpensAndRuns() {
        ChoosePhp();
        const QString script =
            WriteFile(QStringLiteral("dropped.php"), "<?php\necho \"dropped: \", 6 * 7, \"\\n\";\n");
        const auto data = UriList({script});
        QVERIFY(DragAndDrop(FForm.get(), *data));
        QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("dropped: 42"), 20000);
        QTRY_VERIFY(!FForm->ConsoleCommand->IsRunning());
        QCOMPARE(FForm->PhpScript(), script);
        QVERIFY(FForm->Commands().endsWith(QLatin1Char(' ') + script));
        QCOMPARE(FForm->ControlLabel->text(), FForm->Commands());
        QVERIFY(FForm->PHPmemo->Text().startsWith(QStringLiteral("<?php")));
        QVERIFY(FDialogs->Questions.isEmpty());
        QVERIFY(FDialogs->Informations.isEmpty());
        QVERIFY(FErrors.isEmpty());
    }

    // A drop over any part of the window counts: the tool panel, the editors, the browser pane.
    void dropAnywhereOnTheWindowRuns_data() {
        QTest::addColumn<QString>("target");
        QTest::newRow("tool button") << QStringLiteral("SpeedButton2");
        QTest::newRow("script view") << QStringLiteral("PHPmemo");
        QTest::newRow("browser") << QStringLiteral("WB");
        QTest::newRow("status line") << QStringLiteral("StatusPanel");
    }
    void dropAnywhereOnTheWindowRuns() {
        QFETCH(QString, target);
        ChoosePhp();
        QWidget *over = FForm->findChild<QWidget *>(target);
        QVERIFY(over);
        QWidget *widget = DropTargetOver(over);
        QVERIFY(widget);
        const auto data = UriList({WriteFile(QStringLiteral("anywhere.php"), "<?php echo 'here';")});
        QVERIFY(DragAndDrop(widget, *data));
        QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("here"), 20000);
    }

    void dropBeforeTheInterpreterLoadsAndSaysWhatIsMissing() {
        const auto data = UriList({WriteFile(QStringLiteral("early.php"), "<?php echo 'early';")});
        QVERIFY(DragAndDrop(FForm.get(), *data));
        SettleDrop();
        QCOMPARE(FForm->RunStatusLabel->text(),
                 QStringLiteral("No PHP interpreter found. Choose one with the PHP button."));
        QVERIFY(FDialogs->Questions.isEmpty()); // nothing to confirm for a file that cannot run yet
        QCOMPARE(FForm->PHPmemo->Lines()->Get(0), QStringLiteral("<?php echo 'early';"));
        QCOMPARE(FForm->ConsoleCommand->EndStatus(), runner::esNone);
    }

    // A drop (and a script named on the command line) replaced modified text without the question
    // the Script button asks.
    void dropOverUnsavedEditsAsksFirst() {
        ChoosePhp();
        const QString first = WriteFile(QStringLiteral("first.php"), "<?php echo 1;");
        FForm->OpenScript(first);
        QVERIFY(StopRun(*FForm));
        FForm->PHPmemo->SetText(QStringLiteral("<?php echo 'edited';"));
        FForm->PHPmemo->SetModified(true);
        const auto data = UriList({WriteFile(QStringLiteral("second.php"), "<?php echo 2;")});
        QVERIFY(DragAndDrop(FForm.get(), *data));
        SettleDrop();
        QCOMPARE(FDialogs->UnsavedAsked, 1);
        QCOMPARE(FForm->PhpScript(), first);
        QCOMPARE(FForm->PHPmemo->Text(), QStringLiteral("<?php echo 'edited';"));
    }

    // A name without ".php" runs only when the user agrees; ".php" in any case needs no question.
    void nameWithoutPhpIsConfirmedFirst_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("answer");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("runs");
        QTest::newRow("text file, yes") << QStringLiteral("script.txt") << true << true << true;
        QTest::newRow("text file, no") << QStringLiteral("script.txt") << false << true << false;
        QTest::newRow("no extension, no") << QStringLiteral("script") << false << true << false;
        QTest::newRow(".php inside the name, no")
            << QStringLiteral("script.php.bak") << false << true << false;
        QTest::newRow("upper case .PHP") << QStringLiteral("SCRIPT.PHP") << false << false << true;
    }
    void nameWithoutPhpIsConfirmedFirst() {
        QFETCH(QString, name);
        QFETCH(bool, answer);
        QFETCH(bool, asked);
        QFETCH(bool, runs);
        ChoosePhp();
        const QString commandsBefore = FForm->Commands();
        FDialogs->Answer = answer;
        const QString file = WriteFile(name, "<?php echo 'ran';");
        const auto data = UriList({file});
        QVERIFY(DragAndDrop(FForm.get(), *data));
        SettleDrop();
        QCOMPARE(FDialogs->Questions, asked ? QStringList{file} : QStringList());
        if (runs) {
            QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("ran"), 20000);
            QCOMPARE(FForm->PhpScript(), file);
        } else {
            QTest::qWait(200);
            QCOMPARE(FForm->ConsoleCommand->EndStatus(), runner::esNone);
            QCOMPARE(FForm->Commands(), commandsBefore);
            QVERIFY(FForm->PhpScript().isEmpty());
            QCOMPARE(FForm->PHPmemo->Lines()->Count(), 0);
        }
    }

    // Drags that carry no local file are not taken: text stays the editors' own drag and drop.
    void dragsWithoutALocalFileAreLeftAlone_data() {
        QTest::addColumn<QString>("kind");
        QTest::newRow("plain text") << QStringLiteral("text");
        QTest::newRow("web address") << QStringLiteral("http");
        QTest::newRow("folder") << QStringLiteral("folder");
        QTest::newRow("missing file") << QStringLiteral("missing");
    }
    void dragsWithoutALocalFileAreLeftAlone() {
        QFETCH(QString, kind);
        ChoosePhp();
        std::unique_ptr<QMimeData> data;
        if (kind == QLatin1String("text")) {
            data = std::make_unique<QMimeData>();
            data->setText(WriteFile(QStringLiteral("named.php"), "<?php echo 1;"));
        } else if (kind == QLatin1String("http")) {
            data = UriList({QStringLiteral("http://example.org/index.php")});
        } else if (kind == QLatin1String("folder")) {
            data = UriList({FDir.path()});
        } else {
            data = UriList({FDir.filePath(QStringLiteral("missing.php"))});
        }
        QCOMPARE(TFileDrop::DroppedFile(*data), QString());
        for (QWidget *widget : {static_cast<QWidget *>(FForm.get()), FForm->PHPmemo->viewport()})
            QVERIFY(!DragAndDrop(widget, *data));
        SettleDrop();
        QCOMPARE(FForm->ConsoleCommand->EndStatus(), runner::esNone);
        QVERIFY(FDialogs->Questions.isEmpty());
    }

    // An editor that takes drops of its own (as one with drag and drop editing does) is still
    // offered every drag of text, and no drag of files.
    void editorTakingDropsIsOfferedTextDragsButNotFiles_data() {
        QTest::addColumn<bool>("file");
        QTest::newRow("file drag") << true;
        QTest::newRow("text drag") << false;
    }
    void editorTakingDropsIsOfferedTextDragsButNotFiles() {
        QFETCH(bool, file);
        struct TRecorder : QObject {
            int Offered = 0;
            bool eventFilter(QObject *, QEvent *AEvent) override {
                if (AEvent->type() == QEvent::DragEnter) ++Offered;
                return false;
            }
        } recorder;
        QWidget *viewport = FForm->PHPmemo->viewport();
        viewport->setAcceptDrops(true);
        viewport->installEventFilter(&recorder);
        std::unique_ptr<QMimeData> data;
        if (file) {
            data = UriList({WriteFile(QStringLiteral("passing.php"), "<?php echo 1;")});
        } else {
            data = std::make_unique<QMimeData>();
            data->setText(QStringLiteral("some text"));
        }
        const bool dropped = DragAndDrop(viewport, *data);
        viewport->removeEventFilter(&recorder);
        QCOMPARE(dropped, file);
        QCOMPARE(recorder.Offered, file ? 0 : 1);
        SettleDrop();
        // No interpreter is chosen: the file drop loads the file as the Script button does.
        QCOMPARE(FForm->PhpScript(), file ? FDir.filePath(QStringLiteral("passing.php")) : QString());
    }

    // The file is looked up again at the drop: one removed while it was dragged is not taken.
    void fileRemovedDuringTheDragIsNotTaken() {
        ChoosePhp();
        const QString script = WriteFile(QStringLiteral("vanishing.php"), "<?php echo 1;");
        const auto data = UriList({script});
        const QPoint at = FForm->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FForm.get(), &enter);
        QVERIFY(enter.isAccepted());
        QVERIFY(QFile::remove(script));
        QDragMoveEvent move(at, Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FForm.get(), &move); // the drag goes on as it began
        QVERIFY(move.isAccepted());
        QDropEvent drop(QPointF(at), Qt::CopyAction, data.get(), Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(FForm.get(), &drop);
        QVERIFY(!drop.isAccepted());
        SettleDrop();
        QCOMPARE(FForm->ConsoleCommand->EndStatus(), runner::esNone);
        QVERIFY(FErrors.isEmpty());
    }

    // Several files: the first local file that is not a folder is run.
    void severalFilesRunTheFirst() {
        ChoosePhp();
        const QString first = WriteFile(QStringLiteral("first.php"), "<?php echo 'first';");
        const QString second = WriteFile(QStringLiteral("second.php"), "<?php echo 'second';");
        const auto data = UriList({QStringLiteral("https://example.org/x.php"), FDir.path(), first, second});
        QCOMPARE(TFileDrop::DroppedFile(*data), first);
        QVERIFY(DragAndDrop(FForm.get(), *data));
        QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("first"), 20000);
        QVERIFY(!FForm->Commands().contains(second));
    }

    // During a run a drop is refused as the Script button refuses it, before anything changes.
    void dropDuringARunIsRefused() {
        ChoosePhp();
        const QString slow =
            WriteFile(QStringLiteral("slow.php"), "<?php echo \"started\\n\"; flush(); sleep(30);");
        FForm->OpenScript(slow);
        QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("started"), 20000);
        const auto data = UriList({WriteFile(QStringLiteral("other.txt"), "<?php echo 'other';")});
        QVERIFY(DragAndDrop(FForm.get(), *data));
        SettleDrop();
        QCOMPARE(FErrors.size(), 1);
        QCOMPARE(FErrors.constFirst().Message, QStringLiteral("ConsoleCommand still running"));
        QVERIFY(FDialogs->Questions.isEmpty());
        QCOMPARE(FForm->PhpScript(), slow);
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("started"));
        QVERIFY(FForm->ConsoleCommand->IsRunning());
    }
};

int main(int argc, char **argv) {
    TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    TestFileDrop test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_filedrop.moc"
