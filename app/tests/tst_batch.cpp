// SPDX-License-Identifier: MIT
// The batch mode end to end: checkphp --save runs the real interpreter without a display.

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

class TestBatch : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QByteArray FPath; // the PATH checkphp gets, when not empty

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
    void PrepareProcess(QProcess &AProcess) const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.remove(QStringLiteral("QT_QPA_PLATFORM"));
        if (!FPath.isEmpty()) env.insert(QStringLiteral("PATH"), QString::fromLocal8Bit(FPath));
        AProcess.setProcessEnvironment(env);
    }
    // AInput: a file for the standard input, or empty for an input pipe closed at once.
    Result Run(const QStringList &AArguments, const QString &AInput = QString()) {
        QProcess process;
        PrepareProcess(process);
        if (!AInput.isEmpty()) process.setStandardInputFile(AInput);
        process.start(QStringLiteral(CHECKPHP_BINARY), AArguments);
        if (AInput.isEmpty()) process.closeWriteChannel();
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

    // --compare runs the script on each interpreter (a wrapper, a command with arguments and
    // {dir}), groups identical outputs and prints a unified diff of each group that differs;
    // it exits 0 when all outputs are the same, 1 when they differ, 2 on a broken command.
    void compareGroupsTheOutputsAndExitsByThem() {
        QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("cmp dir")));
        const QString script = WriteFile(QStringLiteral("cmp dir/float.php"),
                                         "<?php echo 1/3, \"\\n\", basename(getcwd()), \"\\n\";\n");
        const QString wrapper =
            WriteFile(QStringLiteral("php5"), "#!/bin/sh\nexec php -d precision=5 \"$@\"\n");
        QVERIFY(QFile::setPermissions(wrapper, QFile::permissions(wrapper) | QFile::ExeOwner));
        const QString same = QStringLiteral("env -C {dir} php -d precision=14");
        Result r = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--php"), same,
                        QStringLiteral("--compare"), script});
        QCOMPARE(r.ExitCode, 0);
        QVERIFY2(!r.StdOut.contains("@@") && r.StdOut.count("  A\n") == 2, r.StdOut.constData());

        r = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--php"), wrapper,
                 QStringLiteral("--php"), same, QStringLiteral("--compare"), script});
        QCOMPARE(r.ExitCode, 1);
        const QString version =
            QString::fromLatin1(Run({QStringLiteral("--php"), QStringLiteral("php"),
                                     QStringLiteral("--params"), QStringLiteral("-r 'echo PHP_VERSION;'"),
                                     QStringLiteral("--save"), QStringLiteral("/dev/stdout")})
                                    .StdOut);
        const QStringList rows = QString::fromUtf8(r.StdOut).split(QLatin1Char('\n'));
        QVERIFY2(rows.size() > 4 && rows[1].startsWith(QStringLiteral("php ")) &&
                     rows[1].endsWith(QStringLiteral("  A")) && rows[2].startsWith(wrapper) &&
                     rows[2].endsWith(QStringLiteral("  B")) && rows[3].endsWith(QStringLiteral("  A")) &&
                     rows[2].contains(version),
                 r.StdOut.constData());
        QVERIFY2(r.StdOut.contains(
                     QStringLiteral(
                         "--- A: php\n+++ B: %1\n@@ -1,2 +1,2 @@\n-0.33333333333333\n+0.33333\n cmp dir\n")
                         .arg(wrapper)
                         .toUtf8()),
                 r.StdOut.constData());

        r = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--php"),
                 QStringLiteral("no-such-php-here"), QStringLiteral("--compare"), script});
        QCOMPARE(r.ExitCode, 2);
        QVERIFY2(r.StdErr.contains("no-such-php-here is not on PATH"), r.StdErr.constData());
    }

    // --params with shell quoting, --php-option, --env and --cwd all reach the script.
    void runConfigurationOptionsReachTheScript() {
        QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("cwd here")));
        const QString script = WriteFile(
            QStringLiteral("config.php"),
            "<?php echo json_encode([array_slice($argv, 1), ini_get('precision'), getenv('CHECKPHP_T'), "
            "basename(getcwd())]);\n");
        const Result r = Run({QStringLiteral("--params"), QStringLiteral("'b c' \"d e\" f\\ g"),
                              QStringLiteral("--php-option"), QStringLiteral("-d precision=5"),
                              QStringLiteral("--env"), QStringLiteral("CHECKPHP_T=x=y"),
                              QStringLiteral("--cwd"), FDir.filePath(QStringLiteral("cwd here")),
                              QStringLiteral("--save"), QStringLiteral("/dev/stdout"), script});
        QCOMPARE(r.ExitCode, 0);
        QCOMPARE(r.StdOut, QByteArray(R"([["b c","d e","f g"],"5","x=y","cwd here"])"));
        QCOMPARE(Run({QStringLiteral("--env"), QStringLiteral("=x"), QStringLiteral("--save"),
                      QStringLiteral("/dev/null"), script})
                     .ExitCode,
                 2);
    }

    // --stats writes the run's figures as one line a script can read.
    void statsLineDescribesTheRun() {
        const QString script = WriteFile(QStringLiteral("stats.php"), "<?php echo \"a\\nb\\n\"; exit(3);\n");
        const Result r =
            Run({QStringLiteral("--stats"), QStringLiteral("--save"), QStringLiteral("/dev/null"), script});
        QCOMPARE(r.ExitCode, 3);
        const QRegularExpression line(QStringLiteral(
            R"(^checkphp: exit=3 wall=\d+\.\d{3}s user=\d+\.\d{3}s sys=\d+\.\d{3}s maxrss=\d+\.\dMB lines=2\n$)"));
        QVERIFY2(line.match(QString::fromLocal8Bit(r.StdErr)).hasMatch(), r.StdErr.constData());
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
                                        << "ok.php" << 2 << "No PHP interpreter found.";
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
        FPath = interpreter.isEmpty() ? QByteArrayLiteral("/nonexistent") : QByteArray();
        const Result r = Run(args);
        FPath.clear();
        QCOMPARE(r.ExitCode, exitCode);
        const QString err = QString::fromLocal8Bit(r.StdErr);
        QCOMPARE(err.count(QLatin1Char('\n')), 1);
        QVERIFY2(err.contains(message), qPrintable(err));
        QVERIFY(!QFile::exists(out));
    }

    // A script that printed for ever filled the memory. --max-output stops it with a status of its
    // own and keeps what came; php from PATH runs it, in the script's folder. The benchmarks'
    // flood of 1 M lines (25 MB) stays under the default limit.
    void outputLimitStopsTheRunAndKeepsWhatCame() {
        const QString script =
            WriteFile(QStringLiteral("forever.php"),
                      "<?php echo getcwd(), \"\\n\"; while (true) echo str_repeat('x', 99), \"\\n\";\n");
        const QString out = FDir.filePath(QStringLiteral("limited.html"));
        Result r = Run(
            {QStringLiteral("--max-output"), QStringLiteral("64k"), QStringLiteral("--save"), out, script});
        QCOMPARE(r.ExitCode, 75);
        QVERIFY2(r.StdErr.contains("the output passed 64 KB"), r.StdErr.constData());
        QFile limited(out);
        QVERIFY(limited.open(QIODevice::ReadOnly));
        const QByteArray bytes = limited.readAll();
        QCOMPARE(bytes.left(bytes.indexOf('\r')), QDir(FDir.path()).canonicalPath().toLocal8Bit());
        QVERIFY2(bytes.size() > 60000 && bytes.size() < 70000, QByteArray::number(bytes.size()).constData());

        const QString flood = WriteFile(QStringLiteral("flood.php"),
                                        "<?php for ($i = 0; $i < 1000000; ++$i) echo \"line \", $i, "
                                        "\" of the flood\\n\";\n");
        r = Run({QStringLiteral("--save"), out, flood});
        QCOMPARE(r.ExitCode, 0);
        QVERIFY(QFileInfo(out).size() > 25000000);
    }

    QString ReadAll(const QString &AName) {
        QFile file(AName);
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll())
                                              : QStringLiteral("<missing>");
    }

    // Whether the process has ended (gone, or a zombie nobody has reaped yet).
    static bool ProcessEnded(qint64 APid) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(APid));
        if (!stat.open(QIODevice::ReadOnly)) return true;
        const QByteArray fields = stat.readAll();
        const int close = fields.lastIndexOf(')');
        return close > 0 && fields.mid(close + 2, 1) == "Z";
    }

    // A script that prints a line, writes its pid into the file given as its parameter and sleeps.
    QString SleeperScript() {
        return WriteFile(QStringLiteral("sleeper.php"),
                         "<?php\necho \"<p>before</p>\\n\";\n"
                         "file_put_contents($argv[1], getmypid());\nsleep(60);\n");
    }
    // Starts checkphp on the sleeper and waits until the interpreter runs; returns its pid.
    qint64 StartSleeper(QProcess &AProcess, const QString &AOut, const QString &APidFile) {
        QFile::remove(APidFile);
        PrepareProcess(AProcess);
        AProcess.start(QStringLiteral(CHECKPHP_BINARY),
                       {QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--params"), APidFile,
                        QStringLiteral("--save"), AOut, SleeperScript()});
        if (!QTest::qWaitFor([&] { return QFileInfo(APidFile).size() > 0; }, 20000)) return 0;
        return ReadAll(APidFile).toLongLong();
    }

    // Regression: the child ran in its own process group and nothing ended it when checkphp was
    // ended by a signal; the run must stop, the output be saved, and the status be 128 + signal.
    void terminationSignalStopsTheRunAndSavesTheOutput_data() {
        QTest::addColumn<QString>("signal");
        QTest::addColumn<int>("status");
        QTest::newRow("SIGINT (Ctrl+C)") << "INT" << 130;
        QTest::newRow("SIGTERM") << "TERM" << 143;
        QTest::newRow("SIGHUP") << "HUP" << 129;
    }
    void terminationSignalStopsTheRunAndSavesTheOutput() {
        QFETCH(QString, signal);
        QFETCH(int, status);
        const QString out = FDir.filePath(QStringLiteral("signal-%1.html").arg(signal));
        QProcess process;
        const qint64 php = StartSleeper(process, out, FDir.filePath(QStringLiteral("pid")));
        QVERIFY(php > 0);
        QCOMPARE(QProcess::execute(QStringLiteral("kill"),
                                   {QStringLiteral("-") + signal, QString::number(process.processId())}),
                 0);
        QVERIFY(process.waitForFinished(10000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), status);
        QCOMPARE(ReadAll(out), QStringLiteral("<p>before</p>"));
        QVERIFY(QTest::qWaitFor([&] { return ProcessEnded(php); }, 3000));
    }

    // Regression: a checkphp killed outright left the interpreter running for ever.
    void killedCheckphpTakesTheChildAlong() {
        QProcess process;
        const qint64 php = StartSleeper(process, FDir.filePath(QStringLiteral("killed.html")),
                                        FDir.filePath(QStringLiteral("pid-killed")));
        QVERIFY(php > 0);
        process.kill(); // SIGKILL: no handler runs
        QVERIFY(process.waitForFinished(10000));
        QVERIFY(QTest::qWaitFor([&] { return ProcessEnded(php); }, 3000));
    }

    // Regression: the child's input was a pipe nobody wrote to or closed, so a script reading its
    // input waited for the idle time-out and then exited 124 with nothing written.
    void scriptReadsTheStandardInputOfCheckphp_data() {
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::newRow("a file") << "input.txt"
                                << "[FIRST LINE\r\nSECOND]";
        QTest::newRow("/dev/null") << "/dev/null"
                                   << "[]";
        QTest::newRow("a pipe closed at once") << ""
                                               << "[]";
    }
    void scriptReadsTheStandardInputOfCheckphp() {
        QFETCH(QString, input);
        QFETCH(QString, expected);
        WriteFile(QStringLiteral("input.txt"), "first line\nsecond");
        const QString script = WriteFile(QStringLiteral("upper.php"),
                                         "<?php\necho '[', strtoupper(stream_get_contents(STDIN)), ']';\n");
        const QString out = FDir.filePath(QStringLiteral("upper.html"));
        QElapsedTimer t;
        t.start();
        const Result r =
            Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--timeout"),
                 QStringLiteral("30"), QStringLiteral("--save"), out, script},
                input.isEmpty() || input.startsWith(QLatin1Char('/')) ? input : FDir.filePath(input));
        QCOMPARE(r.ExitCode, 0);
        QVERIFY2(t.elapsed() < 20000, "the script waited for input");
        QCOMPARE(ReadAll(out), expected);
    }

    // Regression: a time-out returned before the result file was written, losing the output.
    void timeOutKeepsWhatWasPrinted() {
        const QString script = WriteFile(QStringLiteral("slow.php"),
                                         "<?php\necho \"<p>first</p>\\n<p>second</p>\\n\";\nsleep(30);\n");
        const QString out = FDir.filePath(QStringLiteral("slow.html"));
        QElapsedTimer t;
        t.start();
        const Result r = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--timeout"),
                              QStringLiteral("1"), QStringLiteral("--save"), out, script});
        QCOMPARE(r.ExitCode, 124);
        QVERIFY(t.elapsed() < 15000);
        QCOMPARE(QString::fromLocal8Bit(r.StdErr).count(QLatin1Char('\n')), 1);
        QCOMPARE(ReadAll(out), QStringLiteral("<p>first</p>\r\n<p>second</p>"));
        QCOMPARE(Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--timeout"),
                      QStringLiteral("soon"), QStringLiteral("--save"), out, script})
                     .ExitCode,
                 2);
    }

    // Regression: /dev/stdout could not be saved to, so the result could not be piped.
    void resultCanGoToStandardOutput() {
        const QString script = WriteFile(QStringLiteral("two.php"), "<?php\necho \"a\\nb\\n\";\n");
        const Result r = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--save"),
                              QStringLiteral("/dev/stdout"), script});
        QCOMPARE(r.ExitCode, 0);
        QCOMPARE(r.StdOut, QByteArray("a\r\nb"));
    }

    // --errors lists PHP's messages on standard error, once each although the script turns
    // display on beside Debian's log (so PHP writes each twice); the result file and the exit
    // code are those of a run without it.
    void errorsAreListedForTools() {
        const QString script =
            WriteFile(QStringLiteral("errors.php"),
                      "<?php\nini_set('display_errors', '1');\necho \"start\\n\";\necho $x;\n"
                      "trigger_error(\"old\", E_USER_DEPRECATED);\n"
                      "function fail() { throw new RuntimeException(\"boom\"); }\nfail();\n");
        const QString plainOut = FDir.filePath(QStringLiteral("plain.html"));
        const QString out = FDir.filePath(QStringLiteral("errors.html"));
        const Result plain =
            Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--save"), plainOut, script});
        const Result r = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--errors"),
                              QStringLiteral("--save"), out, script});
        QCOMPARE(plain.ExitCode, 255);
        QCOMPARE(r.ExitCode, 255);
        QVERIFY(plain.StdErr.isEmpty());
        const QString f = script;
        QCOMPARE(QString::fromLocal8Bit(r.StdErr),
                 QStringLiteral("%1:4: warning: Undefined variable $x\n"
                                "%1:5: warning: Deprecated: old\n"
                                "%1:6: error: Uncaught RuntimeException: boom\n"
                                "%1:7: note: #0 fail()\n"
                                "%1:6: note: thrown\n")
                     .arg(f));
        QFile a(plainOut), b(out);
        QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
        const QByteArray bytes = b.readAll();
        QCOMPARE(bytes, a.readAll());
        QVERIFY(bytes.contains("PHP Warning:  Undefined variable $x"));
        QVERIFY(bytes.contains("\r\nWarning: Undefined variable $x"));

        const QString parse = WriteFile(QStringLiteral("parse.php"), "<?php\n$a = ;\n");
        const Result p = Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--errors"),
                              QStringLiteral("--save"), out, parse});
        QCOMPARE(p.ExitCode, 255);
        QCOMPARE(
            QString::fromLocal8Bit(p.StdErr),
            QStringLiteral("%1:2: error: Parse error: syntax error, unexpected token \";\"\n").arg(parse));
    }

    // What --errors prints for a script, with the script's path as F.
    QString ErrorsOf(const QString &AName, const QByteArray &ASource) {
        const QString script = WriteFile(AName, ASource);
        const Result r =
            Run({QStringLiteral("--php"), QStringLiteral("php"), QStringLiteral("--errors"),
                 QStringLiteral("--save"), FDir.filePath(QStringLiteral("errors.html")), script});
        return QString::fromLocal8Bit(r.StdErr).replace(script, QStringLiteral("F"));
    }

    // Regression: with html_errors on, --errors printed PHP's HTML escapes ("Foo-&gt;bar()").
    void errorsOfHtmlFormattedMessagesArePlainText_data() {
        QTest::addColumn<QByteArray>("log");
        QTest::newRow("displayed") << QByteArray("0");
        // The logged copy comes first, with PHP's escapes, before any HTML shows they are escapes.
        QTest::newRow("displayed and logged") << QByteArray("1");
    }
    void errorsOfHtmlFormattedMessagesArePlainText() {
        QFETCH(QByteArray, log);
        QCOMPARE(
            ErrorsOf(QStringLiteral("html.php"),
                     "<?php\nini_set('display_errors', '1'); ini_set('log_errors', '" + log +
                         "'); "
                         "ini_set('html_errors', '1');\n"
                         "file_get_contents('/nonexistent/a&b');\n"
                         "class Foo { function bar() { throw new LogicException('x < y & \"z\"'); } }\n"
                         "(new Foo)->bar();\n"),
            QStringLiteral("F:3: warning: file_get_contents(/nonexistent/a&b): Failed to open stream: No "
                           "such file or directory\n"
                           "F:4: error: Uncaught LogicException: x < y & \"z\"\n"
                           "F:5: note: #0 Foo->bar()\n"
                           "F:4: note: thrown\n"));
    }

    // Regression: "Next X: message in FILE:N" of a chained exception was lost (only a note
    // "thrown" at its line); it is an error of its own, once although PHP writes it twice.
    void chainedExceptionIsAnErrorOfItsOwn() {
        QCOMPARE(ErrorsOf(QStringLiteral("chained.php"),
                          "<?php\nini_set('display_errors', '1');\nclass Foo { function bar() {\n"
                          "  try { throw new LogicException('low'); }\n"
                          "  catch (Exception $e) { throw new RuntimeException('high level', 0, $e); } } }\n"
                          "(new Foo)->bar();\n"),
                 QStringLiteral("F:4: error: Uncaught LogicException: low\n"
                                "F:6: note: #0 Foo->bar()\n"
                                "F:5: error: Uncaught RuntimeException: high level\n"
                                "F:6: note: #0 Foo->bar()\n"
                                "F:5: note: thrown\n"));
    }

    // Regression: an unknown option needed a display (abort, 134) or exited 1, and the batch
    // mode's options were ignored without --save; each is one sentence, the usage line and 2.
    void commandLineMistakesExitTwoWithoutADisplay_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("sentence");
        QTest::newRow("unknown option")
            << QStringList{"--frobnicate", "a.php"} << "Unknown option 'frobnicate'.";
        QTest::newRow("unknown, batch")
            << QStringList{"--save", "o.html", "--frobnicate"} << "Unknown option 'frobnicate'.";
        QTest::newRow("missing value") << QStringList{"--save"} << "Missing value after '--save'.";
        QTest::newRow("--errors alone") << QStringList{"--errors", "a.php"}
                                        << "--errors needs --save FILE: it belongs to the batch mode.";
        QTest::newRow("--timeout alone")
            << QStringList{"--timeout", "5"}
            << "--timeout needs --save FILE or --compare: it belongs to the batch mode.";
    }
    void commandLineMistakesExitTwoWithoutADisplay() {
        QFETCH(QStringList, arguments);
        QFETCH(QString, sentence);
        const Result r = Run(arguments);
        QCOMPARE(r.ExitCode, 2);
        QCOMPARE(
            QString::fromLocal8Bit(r.StdErr),
            QStringLiteral("checkphp: %1\nUsage: %2 [options] [SCRIPT]\n").arg(sentence, CHECKPHP_BINARY));
        QVERIFY(r.StdOut.isEmpty());
    }

    void helpAndVersionNeedNoDisplay() {
        const Result help = Run({QStringLiteral("--help")});
        QCOMPARE(help.ExitCode, 0);
        QVERIFY(help.StdOut.contains("--save"));
        QVERIFY(help.StdOut.contains("--php"));
        QVERIFY(help.StdOut.contains("--errors"));
        // The forms and the exit statuses.
        QVERIFY(help.StdOut.contains("--save FILE [--timeout SECONDS]"));
        for (const char *status : {"  2 ", "  70 ", "  74 ", "  75 ", "  124 ", "  127 ", "  128+N "})
            QVERIFY2(help.StdOut.contains(status), status);
        const Result version = Run({QStringLiteral("--version")});
        QCOMPARE(version.ExitCode, 0);
        QVERIFY(version.StdOut.startsWith("checkphp "));
    }
};

QTEST_GUILESS_MAIN(TestBatch)
#include "tst_batch.moc"
