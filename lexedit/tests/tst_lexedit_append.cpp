// SPDX-License-Identifier: MIT
// Output shown as it comes (AppendLines, ReplaceLine): the user's selection keeps its text, its
// ends, its direction and its mode, the caret stays, and the view follows the end like a terminal
// only when the end was in view; under the update lock it moves once, when the lock ends.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QScrollBar>
#include <QtTest>

#include <algorithm>

using namespace lexedit;
using namespace editor_test;

namespace {

// An editor shown offscreen, about 30 columns and 10 rows.
struct TOutputView {
    TLexEdit E;
    TOutputView() {
        E.setAttribute(Qt::WA_DontShowOnScreen);
        E.SetEditorFont(TestFont());
        E.Gutter().SetFont(TestFont());
        E.resize(E.GutterWidth() + 30 * E.CharWidth(), 10 * E.LineHeight() + 4);
        E.show();
    }
    bool Ready() {
        return QTest::qWaitFor([&] { return E.LinesInWindow() >= 3 && E.CharsInWindow() >= 5; }, 2000);
    }
    int LastTop() const { return std::max(1, E.DisplayLineCount() - E.LinesInWindow() + 1); }
    bool EndInView() const { return E.TopLine() + E.LinesInWindow() - 1 >= E.DisplayLineCount(); }
};

// Words and blanks, now and then longer than a row.
QString OutputLine(QRandomGenerator &R, int AMaxLength = 40) {
    QString S;
    const int Length = R.bounded(AMaxLength + 1);
    while (S.size() < Length)
        S += R.bounded(5) == 0 ? QLatin1Char(' ') : QChar(u'a' + R.bounded(26));
    return S;
}

QStringList RandomLines(QRandomGenerator &R, int AMin, int AMax) {
    QStringList L;
    for (int i = R.bounded(AMin, AMax + 1); i > 0; --i)
        L << OutputLine(R);
    return L;
}

TBufferCoord RandomPos(QRandomGenerator &R, const TLexEditStringList &ALines) {
    const int Line = R.bounded(std::max(ALines.Count(), 1)) + 1;
    const int Length = Line <= ALines.Count() ? ALines.Get(Line - 1).size() : 0;
    return BufferCoord(R.bounded(Length + 1) + 1, Line);
}

// What the user sees of the selection.
struct TSelectionState {
    bool Avail;
    QString Text;
    TBufferCoord Begin;
    TBufferCoord End;
    TBufferCoord Caret;
    TLexSelectionMode Mode;
    explicit TSelectionState(const TCustomLexEdit &E)
        : Avail(E.SelAvail()), Text(E.SelText()), Begin(E.BlockBegin()), End(E.BlockEnd()),
          Caret(E.CaretXY()), Mode(E.ActiveSelectionMode()) {}
    bool operator==(const TSelectionState &O) const {
        return Avail == O.Avail && Text == O.Text && Begin == O.Begin && End == O.End && Caret == O.Caret &&
               Mode == O.Mode;
    }
};

} // namespace

class TestLexEditAppend : public QObject {
    Q_OBJECT

private slots:
    void appendsKeepTheSelection();
    void viewFollowsOnlyAnEndInView();
    void followingUnderTheLock_data();
    void followingUnderTheLock();
    void replacedLineClampsTheSelectionOnIt();
    void columnDraggedStraightDownKeepsItsAnchor();
    void nothingIsRecordedForUndo();
    void missingLineIsNotReplaced();
};

// Random selections (forward, backward, every mode, with and without word wrap), then random
// appends, alone or several under the lock, and rewrites of lines below the selection: the
// selected text, its ends, the caret and the mode stay. A selection command afterwards moves the
// same end from the same anchor as on an editor given that selection over the final text.
void TestLexEditAppend::appendsKeepTheSelection() {
    QRandomGenerator R(11);
    const TLexEditorCommand Commands[] = {ecSelLeft, ecSelRight, ecSelUp, ecSelDown};
    for (int Trial = 0; Trial < 150; ++Trial) {
        TOutputView V;
        QVERIFY(V.Ready());
        const bool Wrap = R.bounded(2) == 1;
        V.E.SetWordWrap(Wrap);
        V.E.SetLines(RandomLines(R, 1, 25));
        const auto Mode = TLexSelectionMode(R.bounded(3));
        V.E.SetSelectionMode(Mode);
        const TBufferCoord Anchor = RandomPos(R, *V.E.Lines());
        const TBufferCoord Moved = RandomPos(R, *V.E.Lines());
        V.E.SetCaretAndSelection(Moved, Anchor, Moved);
        const TSelectionState Before(V.E);
        const int LastLine = V.E.Lines()->Count();
        const QString Where = QStringLiteral("trial %1: mode %2, wrap %3, anchor %4:%5, end %6:%7")
                                  .arg(Trial)
                                  .arg(int(Mode))
                                  .arg(Wrap)
                                  .arg(Anchor.Line)
                                  .arg(Anchor.Char)
                                  .arg(Moved.Line)
                                  .arg(Moved.Char);
        for (int Step = R.bounded(1, 5); Step > 0; --Step) {
            switch (R.bounded(3)) {
            case 0:
                V.E.AppendLines(RandomLines(R, 1, 6));
                break;
            case 1: {
                TCustomLexEdit::TUpdateGuard Lock(V.E);
                for (int k = R.bounded(1, 4); k > 0; --k)
                    V.E.AppendLines(RandomLines(R, 1, 3));
                break;
            }
            default: {
                // A line below the selection and the caret, as a pending line of output is.
                const int Below = std::max(Anchor.Line, Moved.Line) + 1;
                if (Below <= V.E.Lines()->Count())
                    V.E.ReplaceLine(R.bounded(Below, V.E.Lines()->Count() + 1), OutputLine(R));
                else
                    V.E.AppendLines({OutputLine(R)});
            }
            }
            // Selected whole lines take the line break after the last one once a line follows.
            TSelectionState Expected = Before;
            if (Before.Avail && Mode == smLine && Before.End.Line == LastLine)
                Expected.Text += V.E.Lines()->LineBreak();
            QVERIFY2(TSelectionState(V.E) == Expected, qPrintable(Where));
        }
        // The direction: the same command on an editor given that selection afresh.
        TOutputView Fresh;
        QVERIFY(Fresh.Ready());
        Fresh.E.SetWordWrap(Wrap);
        QStringList Final;
        for (int i = 0; i < V.E.Lines()->Count(); ++i)
            Final << V.E.Lines()->Get(i);
        Fresh.E.SetLines(Final);
        QCOMPARE(Fresh.E.Lines()->Count(), V.E.Lines()->Count());
        Fresh.E.SetSelectionMode(Mode);
        Fresh.E.SetCaretAndSelection(Moved, Anchor, Moved);
        QVERIFY2(TSelectionState(V.E) == TSelectionState(Fresh.E), qPrintable(Where));
        const TLexEditorCommand Command = Commands[R.bounded(4)];
        V.E.CommandProcessor(Command, QChar(), nullptr);
        Fresh.E.CommandProcessor(Command, QChar(), nullptr);
        QVERIFY2(TSelectionState(V.E) == TSelectionState(Fresh.E), qPrintable(Where));
    }
}

// Random text, width, top line and appends (with and without word wrap, alone or several under
// the lock): the view shows the new end when the old end was in view, and stays otherwise; under
// the lock it does not move before the lock ends. The caret is never brought into view.
void TestLexEditAppend::viewFollowsOnlyAnEndInView() {
    QRandomGenerator R(29);
    int Followed = 0;
    int Stayed = 0;
    for (int Trial = 0; Trial < 200; ++Trial) {
        TOutputView V;
        QVERIFY(V.Ready());
        const bool Wrap = R.bounded(2) == 1;
        V.E.SetWordWrap(Wrap);
        V.E.SetLines(RandomLines(R, 0, 40));
        V.E.SetTopLine(R.bounded(V.E.DisplayLineCount() + 1) + 1);
        const int Top = V.E.TopLine();
        const bool InView = V.EndInView();
        const TBufferCoord Caret = V.E.CaretXY();
        const QString Where = QStringLiteral("trial %1: wrap %2, top %3, rows %4")
                                  .arg(Trial)
                                  .arg(Wrap)
                                  .arg(Top)
                                  .arg(V.E.DisplayLineCount());
        if (R.bounded(2) == 0) {
            V.E.AppendLines(RandomLines(R, 1, 30));
        } else {
            V.E.BeginUpdate();
            for (int k = R.bounded(1, 4); k > 0; --k) {
                V.E.AppendLines(RandomLines(R, 1, 10));
                QVERIFY2(V.E.TopLine() == Top, qPrintable(Where));
            }
            V.E.EndUpdate();
        }
        if (InView) {
            QVERIFY2(V.E.TopLine() == V.LastTop(), qPrintable(Where));
            QVERIFY2(V.EndInView(), qPrintable(Where));
            ++Followed;
        } else {
            QVERIFY2(V.E.TopLine() == Top, qPrintable(Where));
            ++Stayed;
        }
        QVERIFY2(V.E.CaretXY() == Caret, qPrintable(Where));
    }
    // Both kinds of case were met.
    QVERIFY(Followed > 20);
    QVERIFY(Stayed > 20);
}

// A batch under the lock is judged by the end the user could see before it: where the view is
// when the lock ends, not where it was at each line.
void TestLexEditAppend::followingUnderTheLock_data() {
    QTest::addColumn<int>("startLines");
    QTest::addColumn<bool>("scrolledBack"); // to the top before the lock
    QTest::addColumn<QString>("during");    // what happens between two appends under the lock
    QTest::addColumn<bool>("follows");
    QTest::newRow("empty view") << 0 << false << QString() << true;
    QTest::newRow("at the end") << 50 << false << QString() << true;
    QTest::newRow("scrolled back") << 50 << true << QString() << false;
    QTest::newRow("scrolled back inside the lock") << 50 << false << QStringLiteral("top") << false;
    // The bar's range is still the one from before the lock: dragged to its end, the view shows
    // the end the user had.
    QTest::newRow("dragged back to the old end") << 50 << true << QStringLiteral("drag to end") << true;
    QTest::newRow("cleared: what comes next is followed") << 50 << true << QStringLiteral("clear") << true;
}

void TestLexEditAppend::followingUnderTheLock() {
    QFETCH(int, startLines);
    QFETCH(bool, scrolledBack);
    QFETCH(QString, during);
    QFETCH(bool, follows);
    TOutputView V;
    QVERIFY(V.Ready());
    QStringList Start;
    for (int i = 1; i <= startLines; ++i)
        Start << QStringLiteral("line %1").arg(i);
    V.E.SetLines(Start);
    V.E.SetTopLine(scrolledBack ? 1 : startLines);
    QScrollBar &Bar = *V.E.verticalScrollBar();
    {
        TCustomLexEdit::TUpdateGuard Lock(V.E);
        V.E.AppendLines({QStringLiteral("a"), QStringLiteral("b")});
        if (during == QLatin1String("top")) {
            Bar.triggerAction(QAbstractSlider::SliderToMinimum);
            QCOMPARE(V.E.TopLine(), 1);
        } else if (during == QLatin1String("drag to end")) {
            Bar.setSliderPosition(Bar.maximum());
            QCOMPARE(V.E.TopLine(), startLines - V.E.LinesInWindow() + 1);
        } else if (during == QLatin1String("clear")) {
            V.E.Lines()->Clear();
        }
        for (int i = 0; i < 40; ++i)
            V.E.AppendLines({QStringLiteral("more %1").arg(i)});
    }
    if (follows) {
        QCOMPARE(V.E.TopLine(), V.LastTop());
        QVERIFY(V.E.TopLine() > 1);
    } else {
        QCOMPARE(V.E.TopLine(), 1);
    }
    // The bar shows where the view went.
    QCOMPARE(Bar.value(), V.E.TopLine());
}

// The rewritten line takes its new text; selection ends on it beyond its new end come back to it
// (so the selected text never reaches past the line), ends elsewhere and the caret stay.
void TestLexEditAppend::replacedLineClampsTheSelectionOnIt() {
    TOutputView V;
    QVERIFY(V.Ready());
    V.E.SetLines(
        {QStringLiteral("first line"), QStringLiteral("prompt> partial answer"), QStringLiteral("echo")});
    V.E.SetCaretAndSelection(BufferCoord(3, 1), BufferCoord(20, 2), BufferCoord(3, 1)); // backwards
    V.E.ReplaceLine(2, QStringLiteral("prompt> "));
    QCOMPARE(V.E.Lines()->Get(1), QStringLiteral("prompt> "));
    QCOMPARE(V.E.BlockBegin(), BufferCoord(3, 1));
    QCOMPARE(V.E.BlockEnd(), BufferCoord(9, 2));
    QCOMPARE(V.E.CaretXY(), BufferCoord(3, 1));
    QCOMPARE(V.E.SelText(),
             QStringLiteral("rst line") + V.E.Lines()->LineBreak() + QStringLiteral("prompt> "));
    // Still backwards: extending moves the caret's end, the anchor stays at the clamped end.
    V.E.CommandProcessor(ecSelRight, QChar(), nullptr);
    QCOMPARE(V.E.BlockBegin(), BufferCoord(4, 1));
    QCOMPARE(V.E.BlockEnd(), BufferCoord(9, 2));
}

// Regression: a column block of no width yet (the mouse went straight down from where it was
// pressed) counts as no selection, and output collapsed it onto the caret: the column the user
// had started lost its anchor, and widening it then started from the caret.
void TestLexEditAppend::columnDraggedStraightDownKeepsItsAnchor() {
    TOutputView V;
    QVERIFY(V.Ready());
    V.E.SetLines({QStringLiteral("abcdef"), QStringLiteral("ghijkl"), QStringLiteral("mnopqr")});
    V.E.SetSelectionMode(smColumn);
    V.E.SetCaretAndSelection(BufferCoord(3, 3), BufferCoord(3, 1), BufferCoord(3, 3));
    QVERIFY(!V.E.SelAvail());
    V.E.AppendLines({QStringLiteral("output")});
    V.E.ReplaceLine(4, QStringLiteral("output, longer"));
    QCOMPARE(V.E.BlockBegin(), BufferCoord(3, 1));
    QCOMPARE(V.E.BlockEnd(), BufferCoord(3, 3));
    V.E.CommandProcessor(ecSelRight, QChar(), nullptr);
    QCOMPARE(V.E.SelText(), QStringLiteral("c\r\ni\r\no"));
}

// The output is not an edit of the user's: nothing to undo.
void TestLexEditAppend::nothingIsRecordedForUndo() {
    TOutputView V;
    QVERIFY(V.Ready());
    V.E.AppendLines({QStringLiteral("one"), QStringLiteral("two")});
    V.E.ReplaceLine(2, QStringLiteral("three"));
    QCOMPARE(V.E.Lines()->Count(), 2);
    QVERIFY(!V.E.CanUndo());
}

// A line that does not exist is not replaced: an error, and the text, selection and view as
// before; an empty list appends nothing.
void TestLexEditAppend::missingLineIsNotReplaced() {
    TOutputView V;
    QVERIFY(V.Ready());
    V.E.SetLines({QStringLiteral("alpha"), QStringLiteral("beta")});
    V.E.SetCaretAndSelection(BufferCoord(3, 2), BufferCoord(2, 1), BufferCoord(3, 2));
    const TSelectionState Before(V.E);
    QVERIFY_THROWS_EXCEPTION(ELexEditStringList, V.E.ReplaceLine(3, QStringLiteral("gamma")));
    QVERIFY_THROWS_EXCEPTION(ELexEditStringList, V.E.ReplaceLine(0, QStringLiteral("gamma")));
    V.E.AppendLines({});
    QCOMPARE(V.E.Lines()->Count(), 2);
    QVERIFY(TSelectionState(V.E) == Before);
    QCOMPARE(V.E.PaintLock(), 0);
}

QTEST_MAIN(TestLexEditAppend)
#include "tst_lexedit_append.moc"
