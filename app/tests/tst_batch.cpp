// The batch mode end to end: checkphp --save runs the real interpreter without a display.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestBatch : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;

    QString WriteFile(const QString &AName, const QByteArray &ABytes) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test file");
        file.write(ABytes);
        return path;
    }

    struct Result {
        int ExitCode = -1;
        QByteArray StdErr;
        QByteArray StdOut;
    };
    Result Run(const QStringList &AArguments) {
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        process.setProcessEnvironment(env);
        process.start(QStringLiteral(CHECKPHP_BINARY), AArguments);
        if (!process.waitForFinished(60000)) qWarning("checkphp did not finish");
        return {process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1,
                process.readAllStandardError(), process.readAllStandardOutput()};
    }

private slots:
    void initTestCase() { QVERIFY(!QStandardPaths::findExecutable(QStringLiteral("php")).isEmpty()); }

    void savesTheOutputAndReturnsTheExitCode() {
        const QString script = WriteFile(QStringLiteral("three.php"),
                                         "<?php\necho \"<p>one</p>\\n\";\necho \"caf\xC3\xA9\\r\\n\";\n"
                                         "echo $argv[1], \"\\n\";\nexit(3);\n");
        const QString out = FDir.filePath(QStringLiteral("out.html"));
        const Result r = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--params"),
                              QStringLiteral("last"), QStringLiteral("--save"), out, script});
        QCOMPARE(r.ExitCode, 3);
        QVERIFY2(r.StdErr.isEmpty(), r.StdErr.constData());
        QFile file(out);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("<p>one</p>\r\ncaf\xC3\xA9\r\nlast"));
    }

    void emptyOutputGivesAnEmptyFile() {
        const QString script = WriteFile(QStringLiteral("quiet.php"), "<?php\n");
        const QString out = FDir.filePath(QStringLiteral("empty.html"));
        const Result r =
            Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--save"), out, script});
        QCOMPARE(r.ExitCode, 0);
        QVERIFY(QFile::exists(out));
        QCOMPARE(QFileInfo(out).size(), 0);
    }

    void failuresGiveOneLineAndNoFile_data() {
        QTest::addColumn<QString>("interpreter");
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("missing interpreter") << "/nonexistent/php"
                                             << "ok.php" << 127 << "Error creating Process: ";
        QTest::newRow("missing script") << "php"
                                        << "missing.php" << 2 << "missing.php";
        QTest::newRow("no interpreter") << ""
                                        << "ok.php" << 2 << "No php.exe specified.";
    }
    void failuresGiveOneLineAndNoFile() {
        QFETCH(QString, interpreter);
        QFETCH(QString, script);
        QFETCH(int, exitCode);
        QFETCH(QString, message);
        WriteFile(QStringLiteral("ok.php"), "<?php echo 1;\n");
        const QString out = FDir.filePath(QStringLiteral("never.html"));
        QStringList args{QStringLiteral("--save"), out, FDir.filePath(script)};
        if (!interpreter.isEmpty()) args << QStringLiteral("--php") << interpreter;
        const Result r = Run(args);
        QCOMPARE(r.ExitCode, exitCode);
        const QString err = QString::fromLocal8Bit(r.StdErr);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(!QFile::exists(out));
    }

    void helpAndVersionNeedNoDisplay() {
        const Result help = Run({QStringLiteral("--help")});
        QCOMPARE(help.ExitCode, 0);
        QVERIFY(help.StdOut.contains("--save"));
        QVERIFY(help.StdOut.contains("--php"));
        const Result version = Run({QStringLiteral("--version")});
        QCOMPARE(version.ExitCode, 0);
        QVERIFY(version.StdOut.startsWith("checkphp "));
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
