// SPDX-License-Identifier: MIT
// The recogniser of PHP's messages: real messages as PHP writes them in both configurations
// (Debian's CLI php.ini logs to standard error with "PHP " and two blanks; "php -n" displays on
// standard output with one blank; html_errors gives the HTML form; an error_log file adds a time
// stamp), and look-alikes that must not match.

#include "PhpMessages.h"

#include <QtTest>

using namespace app;

class TestPhpMessages : public QObject {
    Q_OBJECT

private slots:
    void recognisesRealMessages_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("severity");
        QTest::addColumn<QString>("file");
        QTest::addColumn<int>("lineNumber");
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("counted");
        QTest::addColumn<bool>("logged");
        const auto row = [](const char *AName, const char *ALine, TPhpSeverity ASeverity, const char *AFile,
                            int ANumber, const char *AText, bool ACounted, bool ALogged) {
            QTest::newRow(AName) << QString::fromUtf8(ALine) << int(ASeverity) << QString::fromUtf8(AFile)
                                 << ANumber << QString::fromUtf8(AText) << ACounted << ALogged;
        };
        // Displayed (php -n): one blank after the colon.
        row("display warning", "Warning: Undefined variable $x in /tmp/e1.php on line 3", psWarning,
            "/tmp/e1.php", 3, "Undefined variable $x", true, false);
        row("display parse error",
            "Parse error: syntax error, unexpected token \";\" in /tmp/e3.php on line 2", psError,
            "/tmp/e3.php", 2, "Parse error: syntax error, unexpected token \";\"", true, false);
        row("display deprecated", "Deprecated: old in /tmp/e1.php on line 6", psWarning, "/tmp/e1.php", 6,
            "Deprecated: old", true, false);
        row("display notice", "Notice: Only variables should be assigned by reference in /w/a.php on line 12",
            psWarning, "/w/a.php", 12, "Notice: Only variables should be assigned by reference", true, false);
        row("display recoverable",
            "Recoverable fatal error: Object of class C could not be converted to string in /w/a.php on line "
            "4",
            psError, "/w/a.php", 4,
            "Recoverable fatal error: Object of class C could not be converted to string", true, false);
        row("display fatal",
            "Fatal error: Cannot redeclare f() (previously declared in /w/a.php:2) in /w/a.php on line 3",
            psError, "/w/a.php", 3, "Cannot redeclare f() (previously declared in /w/a.php:2)", true, false);
        row("display uncaught", "Fatal error: Uncaught RuntimeException: boom in /tmp/e1.php:4", psError,
            "/tmp/e1.php", 4, "Uncaught RuntimeException: boom", true, false);
        row("display eval warning",
            "Warning: Undefined variable $y in /tmp/e1.php(5) : eval()'d code on line 1", psWarning,
            "/tmp/e1.php", 5, "Undefined variable $y", true, false);
        row("display eval parse error",
            "Parse error: syntax error, unexpected token \";\" in /tmp/e2.php(1) : eval()'d code on line 1",
            psError, "/tmp/e2.php", 1, "Parse error: syntax error, unexpected token \";\"", true, false);
        // Logged (Debian's CLI php.ini): "PHP " and two blanks.
        row("log warning", "PHP Warning:  Undefined variable $x in /tmp/e1.php on line 3", psWarning,
            "/tmp/e1.php", 3, "Undefined variable $x", true, true);
        row("log parse error",
            "PHP Parse error:  syntax error, unexpected token \";\" in /tmp/e3.php on line 2", psError,
            "/tmp/e3.php", 2, "Parse error: syntax error, unexpected token \";\"", true, true);
        row("log deprecated", "PHP Deprecated:  old in /tmp/e1.php on line 6", psWarning, "/tmp/e1.php", 6,
            "Deprecated: old", true, true);
        row("log notice", "PHP Notice:  Undefined offset: 3 in /w/a.php on line 9", psWarning, "/w/a.php", 9,
            "Notice: Undefined offset: 3", true, true);
        row("log uncaught", "PHP Fatal error:  Uncaught RuntimeException: boom in /tmp/e1.php:4", psError,
            "/tmp/e1.php", 4, "Uncaught RuntimeException: boom", true, true);
        row("log uncaught in eval",
            "PHP Fatal error:  Uncaught Error: Call to undefined function g() in /t/x.php(8) : eval()'d "
            "code:1",
            psError, "/t/x.php", 8, "Uncaught Error: Call to undefined function g()", true, true);
        row("log eval warning",
            "PHP Warning:  Undefined variable $y in /tmp/e1.php(5) : eval()'d code on line 1", psWarning,
            "/tmp/e1.php", 5, "Undefined variable $y", true, true);
        row("time stamped",
            "[09-Dec-2026 23:29:49 UTC] PHP Parse error:  syntax error, unexpected token \";\" in "
            "/tmp/e3.php on line 2",
            psError, "/tmp/e3.php", 2, "Parse error: syntax error, unexpected token \";\"", true, true);
        // Stack trace and its end.
        row("frame", "#0 /tmp/e1.php(7): fail()", psNote, "/tmp/e1.php", 7, "#0 fail()", false, false);
        row("frame with arguments", "#12 /srv/app/lib/Db.php(140): Db->query('SELECT 1', Array)", psNote,
            "/srv/app/lib/Db.php", 140, "#12 Db->query('SELECT 1', Array)", false, false);
        row("frame in eval", "#0 /t/x.php(8) : eval()'d code(1): f()", psNote, "/t/x.php", 8, "#0 f()", false,
            false);
        row("frame of eval", "#1 /t/x.php(8): eval()", psNote, "/t/x.php", 8, "#1 eval()", false, false);
        row("thrown", "  thrown in /tmp/e1.php on line 4", psNote, "/tmp/e1.php", 4, "thrown", false, false);
        // HTML (html_errors on).
        row("html warning",
            "<b>Warning</b>:  Undefined variable $x in <b>/tmp/e1.php</b> on line <b>3</b><br />", psWarning,
            "/tmp/e1.php", 3, "Undefined variable $x", true, false);
        row("html eval",
            "<b>Warning</b>:  Undefined variable $y in <b>/tmp/e1.php(5) : eval()'d code</b> on line "
            "<b>1</b><br />",
            psWarning, "/tmp/e1.php", 5, "Undefined variable $y", true, false);
        row("html deprecated", "<b>Deprecated</b>:  old in <b>/tmp/e1.php</b> on line <b>6</b><br />",
            psWarning, "/tmp/e1.php", 6, "Deprecated: old", true, false);
        row("html uncaught", "<b>Fatal error</b>:  Uncaught RuntimeException: boom in /tmp/e1.php:4", psError,
            "/tmp/e1.php", 4, "Uncaught RuntimeException: boom", true, false);
        row("html thrown", "  thrown in <b>/tmp/e1.php</b> on line <b>4</b><br />", psNote, "/tmp/e1.php", 4,
            "thrown", false, false);
        row("html uncaught escaped",
            "<b>Fatal error</b>:  Uncaught LogicException: low &lt;level&gt; &amp; &quot;q&quot; in "
            "/t/c.php:5",
            psError, "/t/c.php", 5, "Uncaught LogicException: low <level> & \"q\"", true, false);
        row("html link to the manual",
            "<b>Warning</b>:  file_get_contents(/a&amp;b) [<a "
            "href='https://www.php.net/function.file-get-contents'>function.file-get-contents</a>]: Failed "
            "in "
            "<b>/w/a&amp;b.php</b> on line <b>12</b><br />",
            psWarning, "/w/a&b.php", 12, "file_get_contents(/a&b) [function.file-get-contents]: Failed", true,
            false);
        row("html left unescaped",
            "<b>Warning</b>:  Undefined array key \"k<b>\" in <b>/w/a.php</b> on line <b>1</b>", psWarning,
            "/w/a.php", 1, "Undefined array key \"k<b>\"", true, false);
        // A chained exception, an error of its own.
        row("next", "Next RuntimeException: high level in /t/c.php:7", psError, "/t/c.php", 7,
            "Uncaught RuntimeException: high level", true, false);
        row("next without a message", "Next Foo\\Bar\\MyEx in /t/c.php:3", psError, "/t/c.php", 3,
            "Uncaught Foo\\Bar\\MyEx", true, false);
        // A message that itself names a file; a path with blanks.
        row("message with a path",
            "PHP Warning:  include(/nope.php): Failed to open stream: No such file or directory in /w/a.php "
            "on line 2",
            psWarning, "/w/a.php", 2, "include(/nope.php): Failed to open stream: No such file or directory",
            true, true);
        row("path with blanks", "Warning: Undefined variable $x in /home/me/my scripts/a.php on line 3",
            psWarning, "/home/me/my scripts/a.php", 3, "Undefined variable $x", true, false);
        row("command line code", "PHP Warning:  Undefined variable $q in Command line code on line 1",
            psWarning, "Command line code", 1, "Undefined variable $q", true, true);
    }

    void recognisesRealMessages() {
        QFETCH(QString, line);
        TPhpMessage message;
        QFETCH(int, severity);
        QFETCH(QString, file);
        QFETCH(int, lineNumber);
        QFETCH(QString, text);
        QFETCH(bool, counted);
        QFETCH(bool, logged);
        QVERIFY(RecognisePhpMessage(line, message));
        QCOMPARE(int(message.Severity), severity);
        QCOMPARE(message.File, file);
        QCOMPARE(message.Line, lineNumber);
        QCOMPARE(message.Text, text);
        QCOMPARE(message.Counted, counted);
        QCOMPARE(message.Logged, logged);
    }

    void rejectsLookAlikes_data() {
        QTest::addColumn<QString>("line");
        const char *lines[] = {
            "Warning: disk almost full",                             // no location
            "Warning: the value in cell on line 3",                  // no file
            "My Warning: Undefined variable $x in /a.php on line 3", // not at the start
            "Warning:Undefined variable $x in /a.php on line 3",     // no blank after the colon
            "Warning:   three blanks in /a.php on line 3",           // three blanks
            "Warning: Undefined variable $x in /a.php on line 3a",   // not a number
            "Warning: Undefined variable $x in /a.php on line 0",    // no line 0
            "Warning: Undefined variable $x in /a.php on line ",     // no number
            "Warnings: x in /a.php on line 3",                       // another word
            "Fatal error: Uncaught Exception: boom",                 // no location
            "Fatal error: Uncaught Exception: boom in /a.php:",      // no number
            "Warning: Uncaught Exception: boom in /a.php:4",         // only fatal errors are uncaught
            "#1 {main}",                                             // frame without a file
            "#0 [internal function]: f()",                           // no file either
            "#x /a.php(3): f()",                                     // not a frame number
            "#0/a.php(3): f()",                                      // no blank
            "   thrown in /a.php on line 4",                         // three blanks
            "Stack trace:",                                          //
            "<b>Warning</b> Undefined variable in <b>/a.php</b> on line <b>3</b>", // no colon
            "<td>Warning: x in /a.php on line 3</td>",                             // inside markup
            "PHP 8.2.36 (cli) (built: Nov 18 2026 20:02:04) (NTS)",                // php -v
            "[info] server started in /srv on line 2 of the log", // a log line of something else
            "Deprecated: old in  on line 6",                      // empty file
            "Notice: 1 in /a.php on line 99999999999",            // too large
            "Next: boom in /a.php:3",                             // no class
            "Next 9Lives: boom in /a.php:3",                      // not a class name
            "Next step, then: it in /a.php:3",                    // nor this
            "Next RuntimeException: boom",                        // no location
        };
        for (const char *l : lines)
            QTest::newRow(l) << QString::fromUtf8(l);
    }

    void rejectsLookAlikes() {
        QFETCH(QString, line);
        TPhpMessage message;
        QVERIFY(!RecognisePhpMessage(line, message));
    }

    void formatsForTools_data() {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("formatted");
        QTest::newRow("warning") << "PHP Warning:  Undefined variable $x in /w/s.php on line 7"
                                 << "/w/s.php:7: warning: Undefined variable $x";
        QTest::newRow("parse") << "Parse error: syntax error, unexpected end of file in /w/s.php on line 9"
                               << "/w/s.php:9: error: Parse error: syntax error, unexpected end of file";
        QTest::newRow("uncaught") << "PHP Fatal error:  Uncaught LogicException: no in /w/s.php:3"
                                  << "/w/s.php:3: error: Uncaught LogicException: no";
        QTest::newRow("frame") << "#0 /w/s.php(10): fail()"
                               << "/w/s.php:10: note: #0 fail()";
        QTest::newRow("deprecated") << "Deprecated: old in /w/s.php on line 6"
                                    << "/w/s.php:6: warning: Deprecated: old";
    }

    void formatsForTools() {
        QFETCH(QString, line);
        QFETCH(QString, formatted);
        TPhpMessage message;
        QVERIFY(RecognisePhpMessage(line, message));
        QCOMPARE(FormatForTools(message), formatted);
    }

    // Display and log both on: each message comes once logged and once displayed, each with its
    // stack trace; the second copy and its trace are dropped, a message repeated by the script
    // (a warning in a loop) is not.
    void filterDropsTheSecondCopyOnly() {
        const QStringList output = {
            QStringLiteral("PHP Warning:  Undefined variable $x in /w/s.php on line 3"),
            QStringLiteral("Warning: Undefined variable $x in /w/s.php on line 3"),
            QStringLiteral("PHP Warning:  Undefined variable $x in /w/s.php on line 3"), // the loop again
            QStringLiteral("Warning: Undefined variable $x in /w/s.php on line 3"),
            QStringLiteral("PHP Fatal error:  Uncaught RuntimeException: boom in /w/s.php:4"),
            QStringLiteral("#0 /w/s.php(7): fail()"),
            QStringLiteral("  thrown in /w/s.php on line 4"),
            QStringLiteral("Fatal error: Uncaught RuntimeException: boom in /w/s.php:4"),
            QStringLiteral("#0 /w/s.php(7): fail()"),
            QStringLiteral("  thrown in /w/s.php on line 4"),
        };
        TPhpMessageFilter filter;
        QList<int> accepted;
        for (int i = 0; i < output.size(); ++i) {
            TPhpMessage message;
            QVERIFY(RecognisePhpMessage(output[i], message));
            if (filter.Accept(message)) accepted << i;
        }
        QCOMPARE(accepted, (QList<int>{0, 2, 4, 5, 6}));
        // Two messages in the same form are both kept.
        filter.Reset();
        TPhpMessage a;
        QVERIFY(RecognisePhpMessage(output[1], a));
        QVERIFY(filter.Accept(a));
        QVERIFY(filter.Accept(a));
        // "Next" outside an uncaught exception's trace is some other text.
        filter.Reset();
        QVERIFY(RecognisePhpMessage(QStringLiteral("Next Step: look in /w/s.php:3"), a));
        QVERIFY(!filter.Accept(a));
    }

    void countText_data() {
        QTest::addColumn<int>("errors");
        QTest::addColumn<int>("warnings");
        QTest::addColumn<QString>("text");
        QTest::newRow("none") << 0 << 0 << QString();
        QTest::newRow("both") << 2 << 1 << QStringLiteral("2 errors, 1 warning");
        QTest::newRow("one error") << 1 << 0 << QStringLiteral("1 error");
        QTest::newRow("warnings") << 0 << 3 << QStringLiteral("3 warnings");
    }

    void countText() {
        QFETCH(int, errors);
        QFETCH(int, warnings);
        QFETCH(QString, text);
        QCOMPARE(ErrorCountText(errors, warnings), text);
    }
};

QTEST_GUILESS_MAIN(TestPhpMessages)
#include "tst_phpmessages.moc"
