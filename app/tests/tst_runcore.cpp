// SPDX-License-Identifier: MIT
#include "AppSettings.h"
#include "CommandLine.h"
#include "FileWriting.h"
#include "Interpreters.h"
#include "OutputDiff.h"
#include "OutputLimit.h"
#include "RunHistory.h"
#include "RunSession.h"
#include "RunSpec.h"
#include "common/Exception.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

using namespace app;
using namespace Qt::Literals::StringLiterals;

class TestRunCore : public QObject {
    Q_OBJECT
private slots:

    // The last 20 runs are kept; past the budget the oldest outputs go first and say so, the
    // newest output always stays.
    void historyKeepsTheLastRunsWithinItsBudget() {
        TRunHistory history(1000);
        for (int i = 1; i <= 25; ++i) {
            TRunRecord run;
            run.Output = QByteArray(i == 25 ? 1500 : 300, char('a' + i % 26));
            history.Add(std::move(run));
            qint64 kept = 0;
            for (const TRunRecord &r : history.Runs())
                kept += r.Output.size();
            QCOMPARE(history.OutputBytes(), kept);
            QVERIFY(kept <= 1000 || history.Runs().back().Output.size() == kept);
        }
        QCOMPARE(int(history.Runs().size()), TRunHistory::kMaxRuns);
        QCOMPARE(history.Runs().front().Number, 6);
        QCOMPARE(history.Runs().back().Output.size(), 1500); // alone over the budget, still kept
        for (size_t i = 0; i + 1 < history.Runs().size(); ++i)
            QVERIFY(history.Runs()[i].OutputDropped);
        QVERIFY(history.Find(5) == nullptr && history.Find(25) != nullptr);
    }

    // php and phpX.Y on PATH are found once each (a link to the same file counts once), php
    // first and then the newest; {dir} in a command stands for the script's folder as one word.
    void interpretersOnPathAndTheirCommands() {
        QTemporaryDir dir;
        QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("a")) &&
                QDir(dir.path()).mkpath(QStringLiteral("b c")));
        const auto program = [&](const QString &AName) {
            QFile file(dir.filePath(AName));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("#!/bin/sh\n");
            file.close();
            QVERIFY(file.setPermissions(file.permissions() | QFile::ExeOwner));
        };
        program(QStringLiteral("a/php7.4"));
        program(QStringLiteral("a/php8.2"));
        program(QStringLiteral("a/phpize"));
        program(QStringLiteral("b c/php8.10"));
        QVERIFY(
            QFile::link(dir.filePath(QStringLiteral("a/php8.2")), dir.filePath(QStringLiteral("b c/php"))));
        QCOMPARE(FindInterpretersOnPath(dir.filePath(QStringLiteral("a")) + QLatin1Char(':') +
                                        dir.filePath(QStringLiteral("b c"))),
                 (QStringList{dir.filePath(QStringLiteral("b c/php8.10")),
                              dir.filePath(QStringLiteral("a/php8.2")),
                              dir.filePath(QStringLiteral("a/php7.4"))}));

        TRunSpec base;
        base.Script = dir.filePath(QStringLiteral("b c/s.php"));
        base.InterpreterOptions = QStringLiteral("-n");
        const TRunSpec spec = SpecForInterpreter(base, QStringLiteral("env -C {dir} php -d 'x={dir}/y'"));
        QCOMPARE(spec.Words(), (QStringList{QStandardPaths::findExecutable(QStringLiteral("env")),
                                            QStringLiteral("-C"), dir.filePath(QStringLiteral("b c")),
                                            QStringLiteral("php"), QStringLiteral("-d"),
                                            QStringLiteral("x=") + dir.filePath(QStringLiteral("b c/y")),
                                            QStringLiteral("-n"), base.Script}));
        QVERIFY_THROWS_EXCEPTION(common::Exception,
                                 SpecForInterpreter(base, QStringLiteral("no-such-php-here")));
        QVERIFY_THROWS_EXCEPTION(common::Exception, SpecForInterpreter(base, QStringLiteral("php '")));
    }
    void folderKeepsTrailingSeparator_data() {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("folder");
        QTest::newRow("interpreter") << "/usr/bin/php"
                                     << "/usr/bin/";
        QTest::newRow("root") << "/php"
                              << "/";
        QTest::newRow("no folder") << "php"
                                   << "";
        QTest::newRow("blank in folder") << "/opt/my php/php8.2"
                                         << "/opt/my php/";
    }
    void folderKeepsTrailingSeparator() {
        QFETCH(QString, file);
        QFETCH(QString, folder);
        QCOMPARE(FolderOf(file), folder);
    }

    // Paths without blanks or quotes go into the command line unchanged; others come back out
    // of the runner's splitting as exactly one argument.
    void quotedArgumentsSplitBackToOne_data() {
        QTest::addColumn<QString>("path");
        QTest::newRow("plain") << "/w/a.php";
        QTest::newRow("blank") << "/home/me/my scripts/a b.php";
        QTest::newRow("quote") << "/w/say \"hi\".php";
        QTest::newRow("quote only") << "/w/a\"b.php";
        QTest::newRow("tab") << "/w/a\tb.php";
        QTest::newRow("leading blank") << "/w/ a.php";
    }
    void quotedArgumentsSplitBackToOne() {
        QFETCH(QString, path);
        const QString quoted = QuoteCommandArgument(path);
        if (!path.contains(QLatin1Char(' ')) && !path.contains(QLatin1Char('"')) &&
            !path.contains(QLatin1Char('\t')))
            QCOMPARE(quoted, path);
        const QStringList args =
            QProcess::splitCommand(BuildCommandLine(QStringLiteral("/usr/bin/php ") + quoted, QString()));
        QCOMPARE(args, QStringList({QStringLiteral("/usr/bin/php"), path}));
    }

    // Property: words quoted for a shell split back to themselves, and the runner's command line
    // of a run splits (by the runner's own splitting) into the same words.
    void shellWordsRoundTripThroughTheRunner() {
        QStringList words;
        QString error;
        QVERIFY(SplitShellWords(QStringLiteral("'b c' \"d e\" f\\ g \"\\$x\\q\" ''"), words, error));
        QCOMPARE(words, QStringList({"b c", "d e", "f g", "$x\\q", ""}));
        QVERIFY(!SplitShellWords(QStringLiteral("a 'b"), words, error) &&
                error.contains(QStringLiteral("quote")));
        const QString alphabet = QStringLiteral("ab \t'\"\\$`*;&|<>()=-\u00E9\n");
        QRandomGenerator random(20261210);
        for (int round = 0; round < 500; ++round) {
            QStringList original;
            for (int w = int(random.bounded(5)); w > 0; --w) {
                QString word;
                for (int n = int(random.bounded(1, 7)); n > 0; --n)
                    word += alphabet[int(random.bounded(int(alphabet.size())))];
                original << word;
            }
            QStringList back;
            QVERIFY2(SplitShellWords(ShellCommandText(original), back, error), qPrintable(error));
            QCOMPARE(back, original);
            TRunSpec spec;
            spec.Interpreter = QStringLiteral("/usr/bin/php");
            spec.Script = QStringLiteral("/w/a b.php");
            spec.Params = ShellCommandText(original);
            QCOMPARE(QProcess::splitCommand(spec.CommandLine()), spec.Words());
        }
    }

    void commandLineAlwaysEndsInBlankAndParameters() {
        QCOMPARE(BuildCommandLine(QStringLiteral("C:\\php\\php.exe C:\\w\\a.php"), QString()),
                 QStringLiteral("C:\\php\\php.exe C:\\w\\a.php "));
        QCOMPARE(BuildCommandLine(QStringLiteral("/usr/bin/php /w/a.php /w/b.php"), QStringLiteral("-x 1")),
                 QStringLiteral("/usr/bin/php /w/a.php /w/b.php -x 1"));
    }

    void outputLinesDecodeAsUtf8_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::newRow("e acute") << QByteArray("\xC3\xA9") << QString(QChar(0xE9));
        QTest::newRow("ascii") << QByteArray("<b>x</b>") << QStringLiteral("<b>x</b>");
        QTest::newRow("euro") << QByteArray("\xE2\x82\xAC 5") << QStringLiteral("\u20AC 5");
        QTest::newRow("astral") << QByteArray("\xF0\x9F\x98\x80") << QString::fromUtf8("\xF0\x9F\x98\x80");
        QTest::newRow("lone continuation") << QByteArray("a\x80z") << QStringLiteral("a\uFFFDz");
        QTest::newRow("truncated") << QByteArray("a\xC3") << QStringLiteral("a\uFFFD");
        QTest::newRow("latin1 byte") << QByteArray("caf\xE9!") << QStringLiteral("caf\uFFFD!");
    }
    void outputLinesDecodeAsUtf8() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        // The runner hands over each byte as one Latin-1 character.
        QCOMPARE(DecodeResultLine(QString::fromLatin1(bytes)), expected);
    }

    // The batch mode builds the file's bytes line by line; they must be what joining the decoded
    // lines and encoding them gives, for any bytes the interpreter prints.
    void resultBytesEqualTheEncodedJoinedLines() {
        QRandomGenerator random(20261209);
        const QByteArray pieces[] = {
            "a",    "<p>",  " ",    "\xC3\xA9",     "\xE2\x82\xAC", "\xF0\x9F\x98\x80",
            "\xC3", "\x80", "\xFF", "\xED\xA0\x80", "\t",           "z"};
        for (int round = 0; round < 300; ++round) {
            TResultBytes bytes;
            QStringList decoded;
            const int lines = int(random.bounded(6));
            for (int l = 0; l < lines; ++l) {
                QByteArray raw;
                const int n = int(random.bounded(8));
                for (int k = 0; k < n; ++k)
                    raw += pieces[random.bounded(int(std::size(pieces)))];
                const QString line = QString::fromLatin1(raw); // as the runner delivers it
                bytes.AddLine(line);
                decoded << DecodeResultLine(line);
            }
            QCOMPARE(bytes.Bytes(), EncodeResultText(decoded.join(QStringLiteral("\r\n"))));
        }
    }

    void resultFileHoldsExactlyTheUtf8Text() {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("TestResults.html"));
        WriteResultFile(name, QString());
        QCOMPARE(QFileInfo(name).size(), 0);
        WriteResultFile(name, QStringLiteral("<p>\u00E9</p>\r\nline 2"));
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("<p>\xC3\xA9</p>\r\nline 2"));
    }

    void failedWriteKeepsTheOldFile() {
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("missing-folder/out.html"));
        QVERIFY_THROWS_EXCEPTION(common::Exception, WriteResultFile(name, QStringLiteral("x")));
        // A read-only folder: the existing file stays as it was.
        const QString roDir = dir.filePath(QStringLiteral("ro"));
        QVERIFY(QDir().mkpath(roDir));
        const QString existing = roDir + QStringLiteral("/keep.html");
        WriteResultFile(existing, QStringLiteral("old"));
        QFile::setPermissions(roDir, QFile::ReadOwner | QFile::ExeOwner);
        bool threw = false;
        try {
            WriteResultFile(existing, QStringLiteral("new"));
        } catch (const common::Exception &) {
            threw = true;
        }
        QFile::setPermissions(roDir, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        QFile file(existing);
        QVERIFY(file.open(QIODevice::ReadOnly));
        // Root may write anyway; either the write failed and the old text stays, or it succeeded.
        QCOMPARE(file.readAll(), threw ? QByteArray("old") : QByteArray("new"));
    }

    // Regression: the result file was always written through a temporary file renamed over the
    // target, which replaced a FIFO (or a device node) with a regular file.
    void resultIntoAFifoIsWrittenInPlace() {
        QTemporaryDir dir;
        const QString fifo = dir.filePath(QStringLiteral("result.fifo"));
        QCOMPARE(QProcess::execute(QStringLiteral("mkfifo"), {fifo}), 0);
        QProcess reader;
        reader.start(QStringLiteral("cat"), {fifo});
        QVERIFY(reader.waitForStarted());
        WriteResultFile(fifo, QStringLiteral("<p>one</p>\r\ntwo"));
        QVERIFY(reader.waitForFinished(10000));
        QCOMPARE(reader.readAllStandardOutput(), QByteArray("<p>one</p>\r\ntwo"));
        const QFileInfo info(fifo);
        QVERIFY(info.exists());
        QVERIFY(!info.isFile());
    }

    // Regression: replacing an existing file gave it the default mode (as root 0444 became 0644:
    // the "user" permission bits, which say what the process may do, were written as the owner's).
    void replacedFileKeepsItsMode_data() {
        QTest::addColumn<int>("mode");
        QTest::newRow("0600") << 0600;
        QTest::newRow("0640") << 0640;
        QTest::newRow("0444") << 0444;
    }
    void replacedFileKeepsItsMode() {
        QFETCH(int, mode);
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("kept.html"));
        WriteResultFile(name, QStringLiteral("old"));
        QFileDevice::Permissions perms;
        const QFileDevice::Permission bits[9] = {
            QFileDevice::ExeOther, QFileDevice::WriteOther, QFileDevice::ReadOther,
            QFileDevice::ExeGroup, QFileDevice::WriteGroup, QFileDevice::ReadGroup,
            QFileDevice::ExeOwner, QFileDevice::WriteOwner, QFileDevice::ReadOwner};
        for (int b = 0; b < 9; ++b)
            if (mode & (1 << b)) perms |= bits[b];
        QVERIFY(QFile::setPermissions(name, perms));
        const QFileDevice::Permissions ownerGroupOther =
            QFileDevice::Permissions(0x7077); // not the *User bits
        const bool writable = QFileInfo(name).isWritable();
        bool threw = false;
        try {
            WriteResultFile(name, QStringLiteral("new"));
        } catch (const common::Exception &) {
            threw = true;
        }
        QCOMPARE(threw, !writable); // a read-only file is refused unless the process may write anyway
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), writable ? QByteArray("new") : QByteArray("old"));
        QCOMPARE(QFile::permissions(name) & ownerGroupOther, perms);
    }

    // Regression: root replacing another user's result file made the file root's.
    void replacedFileKeepsItsOwnerAndGroup() {
        if (::geteuid() != 0) QSKIP("giving a file to another user needs root");
        QTemporaryDir dir;
        const QString name = dir.filePath(QStringLiteral("theirs.html"));
        WriteResultFile(name, QStringLiteral("old"));
        const QByteArray path = QFile::encodeName(name);
        const uid_t uid = 65534;
        const gid_t gid = 65533;
        QCOMPARE(::chown(path.constData(), uid, gid), 0);
        WriteResultFile(name, QStringLiteral("new"));
        struct stat st {};
        QCOMPARE(::stat(path.constData(), &st), 0);
        QCOMPARE(st.st_uid, uid);
        QCOMPARE(st.st_gid, gid);
        QFile file(name);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("new"));
    }

    void runStatusTellsWhichTimeOutEndedTheRun_data() {
        QTest::addColumn<int>("sinceStart");
        QTest::addColumn<int>("idle");
        QTest::addColumn<QString>("status");
        QTest::newRow("since the start") << 1 << 1000 << "timed out after 1 s \u2014 ";
        QTest::newRow("without output") << 0 << 1 << "timed out: no output for 1 s \u2014 ";
    }
    void runStatusTellsWhichTimeOutEndedTheRun() {
        QFETCH(int, sinceStart);
        QFETCH(int, idle);
        QFETCH(QString, status);
        TRunSession session;
        TRunSpec spec;
        spec.Interpreter = QStringLiteral("php");
        spec.Params = QStringLiteral("-r \"sleep(20);\"");
        spec.MaxTimeAfterBeginning = sinceStart;
        spec.MaxTimeAfterLastOutput = idle;
        session.Start(spec);
        QTRY_VERIFY_WITH_TIMEOUT(!session.IsRunning(), 15000);
        const TRunOutcome outcome = session.Outcome();
        QCOMPARE(outcome.EndStatus, runner::esTime);
        const QString text = outcome.StatusText();
        QVERIFY2(text.startsWith(status) && text.contains(QStringLiteral(" s, CPU ")) &&
                     text.endsWith(QStringLiteral(" MB peak, 0 lines")),
                 qPrintable(text));
        QVERIFY(!outcome.EndedBadly());
        TRunOutcome running;
        running.Running = true;
        running.WallMs = 1234;
        running.Lines = 1;
        QCOMPARE(running.StatusText(), QStringLiteral("running: 1.2 s, 1 line"));
    }

    // The figures of a run come from the kernel's accounting of the child and count the
    // children it waited for: a child of the script holds 64 MB, and the run lasts 300 ms at least.
    void figuresCountTheChildrenWaitedFor() {
        QTemporaryDir dir;
        const auto write = [&](const char *AName, const QByteArray &ASource) {
            QFile file(dir.filePath(QString::fromLatin1(AName)));
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(ASource);
        };
        write("child.php", "<?php $s = str_repeat('x', 64 << 20); echo strlen($s), \"\\n\";\n");
        write("parent.php",
              "<?php usleep(300000);\n"
              "passthru(escapeshellarg(PHP_BINARY) . ' ' . escapeshellarg(__DIR__ . '/child.php'));\n");
        TRunSession session;
        TRunSpec spec;
        spec.Interpreter = QStringLiteral("php");
        spec.Script = dir.filePath(QStringLiteral("parent.php"));
        session.Start(spec);
        QTRY_VERIFY_WITH_TIMEOUT(!session.IsRunning(), 15000);
        const TRunOutcome outcome = session.Outcome();
        const QString stats = outcome.StatsLine();
        QVERIFY2(outcome.Lines == 1 && outcome.Figures.Valid, qPrintable(stats));
        QVERIFY2(outcome.Figures.WallMilliseconds >= 300, qPrintable(stats));
        QVERIFY2(outcome.Figures.MaxResidentBytes >= qint64(64) << 20, qPrintable(stats));
        QVERIFY2(stats.startsWith(QStringLiteral("exit=0 wall=")) &&
                     stats.endsWith(QStringLiteral(" lines=1")),
                 qPrintable(stats));
    }

    // Property: the hunks of random texts (few distinct lines, random edits, a last line with or
    // without LF, NUL bytes) turn the old lines into the new ones, and what lies between them is
    // equal; GNU patch turns the old text into the new one with the unified diff, without offset
    // or fuzz. Texts whose diff has one answer give GNU diff's bytes exactly.
    void outputDiffRebuildsTheNewText() {
        const auto lines = [](const QByteArray &AText) {
            QList<QByteArray> result;
            for (qsizetype at = 0; at < AText.size();) {
                const qsizetype lf = AText.indexOf('\n', at);
                const qsizetype end = lf < 0 ? AText.size() : lf + 1;
                result.append(AText.mid(at, end - at));
                at = end;
            }
            return result;
        };
        QTemporaryDir dir;
        const auto write = [&](const char *AName, const QByteArray &ABytes) {
            QFile file(dir.filePath(QString::fromLatin1(AName)));
            QVERIFY(file.open(QIODevice::WriteOnly) && file.write(ABytes) == ABytes.size());
        };
        QRandomGenerator random(20261211);
        int patched = 0;
        for (int round = 0; round < 3000; ++round) {
            const QList<QByteArray> alphabet = {"a\n", "b\n", "c\n", "<p>d</p>\n", "e\0f\n"_qba, "\n"};
            const int letters = int(random.bounded(1, int(alphabet.size()) + 1));
            QList<QByteArray> oldLines, newLines;
            for (int n = int(random.bounded(12)); n > 0; --n)
                oldLines.append(alphabet[int(random.bounded(letters))]);
            newLines = oldLines;
            for (int edits = int(random.bounded(4)); edits > 0; --edits) {
                const int at = int(random.bounded(int(newLines.size()) + 1));
                if (random.bounded(3) == 0 && at < newLines.size())
                    newLines.removeAt(at);
                else
                    newLines.insert(at, alphabet[int(random.bounded(letters))]);
            }
            QByteArray oldText = oldLines.join(), newText = newLines.join();
            if (random.bounded(4) == 0) oldText.chop(oldText.endsWith('\n') ? 1 : 0);
            if (random.bounded(4) == 0) newText.chop(newText.endsWith('\n') ? 1 : 0);
            oldLines = lines(oldText);
            newLines = lines(newText);
            const TOutputDiff diff = TOutputDiff::Compare(oldText, newText);
            QCOMPARE(diff.Equal(), oldText == newText);
            QList<QByteArray> rebuilt;
            int oldAt = 0, newAt = 0;
            for (const TDiffHunk &h : diff.Hunks()) {
                // Between hunks: at least one line, equal on both sides.
                QVERIFY(h.OldCount + h.NewCount > 0 && h.OldStart - oldAt == h.NewStart - newAt);
                QVERIFY(oldAt == 0 || h.OldStart > oldAt);
                QCOMPARE(oldLines.mid(oldAt, h.OldStart - oldAt), newLines.mid(newAt, h.NewStart - newAt));
                rebuilt += oldLines.mid(oldAt, h.OldStart - oldAt) + newLines.mid(h.NewStart, h.NewCount);
                oldAt = h.OldStart + h.OldCount;
                newAt = h.NewStart + h.NewCount;
            }
            QVERIFY(oldAt <= oldLines.size() && newAt <= newLines.size());
            QCOMPARE(oldLines.mid(oldAt), newLines.mid(newAt));
            QCOMPARE(rebuilt + oldLines.mid(oldAt), newLines);
            const QByteArray unified =
                TOutputDiff::Unified(oldText, newText, "old", "new", int(random.bounded(4)));
            QCOMPARE(unified.isEmpty(), diff.Equal());
            if (diff.Equal() || newText.isEmpty() || newText.contains('\0') || patched >= 40) continue;
            ++patched;
            write("old", oldText);
            write("diff", unified);
            QProcess patch;
            patch.setWorkingDirectory(dir.path());
            patch.start(QStringLiteral("patch"), {"--fuzz=0", "-o", "out", "old", "diff"});
            QVERIFY(patch.waitForFinished(10000));
            const QByteArray said = patch.readAll();
            QVERIFY2(patch.exitCode() == 0 && !said.contains("offset") && !said.contains("fuzz"),
                     said + '\n' + unified);
            QFile out(dir.filePath(QStringLiteral("out")));
            QVERIFY(out.open(QIODevice::ReadOnly));
            QCOMPARE(out.readAll(), newText);
        }
        QCOMPARE(patched, 40);

        const QList<std::pair<QByteArray, QByteArray>> exact = {
            {"a\nb\n", "a\nb\n"},
            {"", "x\n"},
            {"x\ny\n", ""},
            {"a\nb\nc\n", "z\na\nb\nc\n"},
            {"a\nb", "a\nb\n"},
            {"a\nb\n", "a\nc"},
            {"a\0b\nc\n"_qba, "a\0c\nc\n"_qba},
            {"1\n2\n3\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n14\n15\n",
             "1\n2\nX\n4\n5\n6\n7\n8\n9\n10\n11\n12\n13\n15\n"},
        };
        for (const auto &[oldText, newText] : exact) {
            write("old", oldText);
            write("new", newText);
            QProcess gnu;
            gnu.start(QStringLiteral("diff"),
                      {"-a", "-u", "--label", "A", "--label", "B", dir.filePath("old"), dir.filePath("new")});
            QVERIFY(gnu.waitForFinished(10000));
            QCOMPARE(TOutputDiff::Unified(oldText, newText, "A", "B"), gnu.readAllStandardOutput());
        }
        QCOMPARE(TOutputDiff::Compare("a\0b\n"_qba, "a\0c\n"_qba).Hunks().size(), 1);
    }

    // Every size reads back from its text, and the texts a user types read as expected.
    void byteSizesReadBackFromTheirText() {
        for (int i = 0; i < 2000; ++i) {
            const int shift = int(QRandomGenerator::global()->bounded(41));
            const qint64 size = qint64(QRandomGenerator::global()->bounded(1024)) << shift;
            qint64 back = -1;
            QVERIFY2(ParseByteSize(ByteSizeText(size), back), qPrintable(ByteSizeText(size)));
            // One decimal of a unit: within a twentieth of it.
            QVERIFY2(std::abs(double(back - size)) <= double(size) / 20, qPrintable(ByteSizeText(size)));
        }
        for (const auto &[text, bytes] : {std::pair<const char *, qint64>{"256 MB", qint64(256) << 20},
                                          {"64k", 65536},
                                          {"1.5G", qint64(3) << 29},
                                          {"none", 0},
                                          {"0", 0}}) {
            qint64 read = -1;
            QVERIFY(ParseByteSize(QString::fromLatin1(text), read));
            QCOMPARE(read, bytes);
        }
        qint64 unchanged = 7;
        QVERIFY(!ParseByteSize(QStringLiteral("lots"), unchanged) &&
                !ParseByteSize(QStringLiteral("-1M"), unchanged));
        QCOMPARE(unchanged, qint64(7));
    }

    // A settings file that cannot be read (a folder in its place, or bytes that are no INI file)
    // is moved aside with a sentence, never lost or fatal.
    void unreadableSettingsAreMovedAside() {
        {
            QTemporaryDir garbageDir;
            const QString garbage = garbageDir.filePath(QStringLiteral("checkphp.ini"));
            QFile file(garbage);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("[Run\n\x00\xFF\xFE=\x01\n[[[", 14));
            file.close();
            TAppSettings settings(garbage);
            QVERIFY2(settings.Notice().contains(QStringLiteral("moved to")), qPrintable(settings.Notice()));
            QCOMPARE(QDir(garbageDir.path()).entryList(QDir::Files).size(), 1);
            QCOMPARE(settings.MaxOutput(), kDefaultMaxOutput);
        }
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("checkphp/checkphp.ini"));
        QVERIFY(QDir().mkpath(file)); // a folder where the file should be
        TAppSettings settings(file);
        QVERIFY(settings.Notice().contains(QStringLiteral("moved to")));
        QCOMPARE(QDir(dir.filePath(QStringLiteral("checkphp")))
                     .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                     .size(),
                 1);
        QCOMPARE(settings.MaxOutput(), kDefaultMaxOutput);
        settings.SetInterpreter(QStringLiteral("/opt/php"));
        settings.SetMaxOutput(qint64(1) << 30);
        TAppSettings again(file);
        QVERIFY(again.Notice().isEmpty());
        QCOMPARE(again.Interpreter(), QStringLiteral("/opt/php"));
        QCOMPARE(again.MaxOutput(), qint64(1) << 30);
    }
};

QTEST_GUILESS_MAIN(TestRunCore)
#include "tst_runcore.moc"
