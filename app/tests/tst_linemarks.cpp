// The marks beside the lines of an editor: they follow their lines through inserts and deletes
// anywhere (output appended, the user's edits), go with deleted lines, and keep their counts.

#include "LineMarks.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

using namespace app;

class TestLineMarks : public QObject {
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
};

QTEST_MAIN(TestLineMarks)
#include "tst_linemarks.moc"
