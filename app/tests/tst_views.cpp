// SPDX-License-Identifier: MIT
// The window's views: the marks beside the lines of an editor follow their lines through inserts
// and deletes anywhere (output appended, the user's edits), go with deleted lines, and keep their
// counts; the views join and load text as the result file and the script need; error dialogs
// read as sentences.

#include "FileDialogs.h"
#include "LineMarks.h"
#include "common/Exception.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QFile>
#include <QTemporaryDir>

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

using namespace app;

class TestViews : public QObject {
    Q_OBJECT

private slots:
    // Property: after any sequence of line inserts, deletes and mark changes, the marks equal a
    // plain model that keeps one kind per line and moves it with its line.
    void marksFollowTheirLines() {
        lexedit::TLexEdit edit;
        TLineMarks marks(&edit);
        lexedit::TLexEditStringList &lines = *edit.Lines();
        std::vector<TLineMarkKind> model;
        QRandomGenerator random(23);
        for (int i = 0; i < 20; ++i) {
            lines.Add(QString::number(i));
            model.push_back(lmNone);
        }
        for (int step = 0; step < 3000; ++step) {
            const int count = lines.Count();
            switch (random.bounded(5)) {
            case 0: { // a mark set or removed
                if (count == 0) break;
                const int line = random.bounded(count) + 1;
                const auto kind = TLineMarkKind(random.bounded(int(lmJumpTarget) + 1));
                marks.Set(line, kind);
                model[size_t(line - 1)] = kind;
                break;
            }
            case 1: { // lines inserted anywhere
                const int at = random.bounded(count + 1);
                const int n = random.bounded(1, 4);
                for (int i = 0; i < n; ++i)
                    lines.Insert(at, QStringLiteral("new"));
                model.insert(model.begin() + at, size_t(n), lmNone);
                break;
            }
            case 2: { // lines deleted
                if (count == 0) break;
                const int at = random.bounded(count);
                const int n = std::min(count - at, random.bounded(1, 4));
                lines.DeleteLines(at, n);
                model.erase(model.begin() + at, model.begin() + at + n);
                break;
            }
            default: // appended at the end, as output comes
                lines.Add(QStringLiteral("out"));
                model.push_back(lmNone);
                if (random.bounded(2)) {
                    marks.Set(lines.Count(), lmWarning);
                    model.back() = lmWarning;
                }
                break;
            }
            QCOMPARE(int(model.size()), lines.Count());
            if (step % 50 == 0 || step == 2999) {
                int counts[lmJumpTarget + 1] = {};
                for (int i = 0; i < lines.Count(); ++i) {
                    QCOMPARE(marks.Kind(i + 1), model[size_t(i)]);
                    ++counts[model[size_t(i)]];
                }
                for (int k = lmError; k <= lmJumpTarget; ++k) {
                    QCOMPARE(marks.CountOf(TLineMarkKind(k)), counts[k]);
                    int last = 0;
                    for (int i = 0; i < lines.Count(); ++i)
                        if (model[size_t(i)] == k) last = i + 1;
                    QCOMPARE(marks.LastOf(TLineMarkKind(k)), last);
                }
                QCOMPARE(marks.Kind(lines.Count() + 1), lmNone);
            }
        }
    }

    void clearRemovesEveryMark() {
        lexedit::TLexEdit edit;
        TLineMarks marks(&edit);
        edit.Lines()->Add(QStringLiteral("a"));
        edit.Lines()->Add(QStringLiteral("b"));
        marks.Set(1, lmError);
        marks.Set(2, lmPending);
        marks.Set(2, lmInput); // replaces
        QCOMPARE(marks.Count(), 2);
        QCOMPARE(marks.CountOf(lmPending), 0);
        QCOMPARE(marks.CountOf(lmInput), 1);
        marks.Clear();
        QCOMPARE(marks.Count(), 0);
        QCOMPARE(marks.CountOf(lmError), 0);
        QCOMPARE(marks.LastOf(lmInput), 0);
    }

    // The editor may go first: the marks outlive it without touching it.
    void editorDestroyedFirst() {
        auto edit = std::make_unique<lexedit::TLexEdit>();
        TLineMarks marks(edit.get());
        marks.Set(1, lmError);
        edit.reset();
        QVERIFY(marks.Owner() == nullptr);
        marks.RepaintGutter();
        QCOMPARE(marks.Kind(1), lmError);
    }

    void errorDialogsReadAsSentences_data() {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("shown");
        QTest::newRow("runner") << "ConsoleCommand still running"
                                << "ConsoleCommand still running.";
        QTest::newRow("lower case") << "cannot run \"x\": No such file or directory"
                                    << "Cannot run \"x\": No such file or directory.";
        QTest::newRow("already a sentence") << "No php.exe specified."
                                            << "No php.exe specified.";
        QTest::newRow("question") << "Save it?"
                                  << "Save it?";
        QTest::newRow("blanks") << "  disk full \n"
                                << "Disk full.";
        QTest::newRow("empty") << ""
                               << "An unknown error occurred.";
    }

    void errorDialogsReadAsSentences() {
        QFETCH(QString, message);
        QFETCH(QString, shown);
        QCOMPARE(ErrorDialogText(message), shown);
    }

    void memoLinesJoinWithCrLf() {
        lexedit::TLexEdit memo;
        QCOMPARE(memo.Lines()->Count(), 0);
        QCOMPARE(memo.Text(), QString());
        memo.Lines()->Add(QString());
        QCOMPARE(memo.Lines()->Count(), 1);
        memo.Lines()->Add(QStringLiteral("b"));
        QCOMPARE(memo.Text(), QStringLiteral("\r\nb"));
        memo.Lines()->Clear();
        memo.Lines()->Add(QStringLiteral("a"));
        memo.Lines()->Add(QStringLiteral("b"));
        QCOMPARE(memo.Lines()->Count(), 2);
        QCOMPARE(memo.Text(), QStringLiteral("a\r\nb"));
    }

    void memoLoadsByEncoding_data() {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("text");
        QTest::newRow("utf8 bom") << QByteArray("\xEF\xBB\xBF<?php\r\necho '\xC3\xA9';\r\n")
                                  << QStringLiteral("<?php\r\necho '\u00E9';\r\n");
        QTest::newRow("utf8 plain") << QByteArray("a\n\xC3\xA9\n") << QStringLiteral("a\r\n\u00E9\r\n");
        QTest::newRow("latin1") << QByteArray("caf\xE9\rb") << QStringLiteral("caf\u00E9\r\nb");
        QTest::newRow("utf16le") << QByteArray("\xFF\xFE"
                                               "a\0\n\0b\0",
                                               8)
                                 << QStringLiteral("a\r\nb");
        QTest::newRow("utf16be") << QByteArray("\xFE\xFF\0a\0\n\0b", 8) << QStringLiteral("a\r\nb");
    }
    void memoLoadsByEncoding() {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, text);
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("s.php")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        file.close();
        lexedit::TLexEdit memo;
        memo.Lines()->LoadFromFile(file.fileName());
        QCOMPARE(memo.Text(), text);
    }

    void memoLoadFailureChangesNothing() {
        lexedit::TLexEdit memo;
        memo.Lines()->Add(QStringLiteral("keep me"));
        QVERIFY_THROWS_EXCEPTION(common::Exception,
                                 memo.Lines()->LoadFromFile(QStringLiteral("/nonexistent/x.php")));
        QCOMPARE(memo.Text(), QStringLiteral("keep me"));
    }
};

QTEST_MAIN(TestViews)
#include "tst_views.moc"
