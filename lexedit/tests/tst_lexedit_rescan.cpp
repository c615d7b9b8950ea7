// SPDX-License-Identifier: MIT
// The editor's reaction to buffer changes: stored highlighter ranges always equal a fresh full
// scan, rescans stop where the ranges agree again, loading notifies once, marks move with their
// lines, plug-ins are told, and editors sharing one buffer follow every change.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace lexedit;
using namespace editor_test;

namespace {

std::unique_ptr<TLexCustomHighlighter> MakeHighlighter(const QString &AName) {
    if (AName == QLatin1String("php")) return std::make_unique<TLexPHPLex>();
    return std::make_unique<TLexHTMLLex>();
}

QStringList PhpLines(int N) {
    QStringList L;
    for (int i = 0; i < N; ++i)
        L << QStringLiteral("$a%1 = 'x' . \"y\"; // line %1").arg(i);
    return L;
}

// An editor whose undo and redo callbacks record which editor ran them, whether it saw itself
// undoing, and move its caret as reversing an edit does.
class TRecordingUndoEdit : public TLexEdit {
public:
    QStringList *Log = nullptr;
    QString Name;

protected:
    void DoUndoItem(const TLexEditUndoItem &Item) override {
        *Log << QStringLiteral("%1 undo %2").arg(Name).arg(IsUndoRedoing());
        SetCaretXY(Item.ChangeStartPos);
        UndoRedo()->AddRedoChange(Item.ChangeReason, Item.ChangeStartPos, Item.ChangeEndPos, Item.ChangeStr,
                                  Item.ChangeSelMode);
    }
    void DoRedoItem(const TLexEditUndoItem &Item) override {
        *Log << QStringLiteral("%1 redo %2").arg(Name).arg(IsUndoRedoing());
        SetCaretXY(Item.ChangeEndPos);
        UndoRedo()->AddUndoChange(Item.ChangeReason, Item.ChangeStartPos, Item.ChangeEndPos, Item.ChangeStr,
                                  Item.ChangeSelMode);
    }
};

// Whether the caret and both block ends of AEdit lie on lines of its buffer.
bool CaretAndBlockInBuffer(const TCustomLexEdit &AEdit) {
    const int Last = std::max(AEdit.Lines()->Count(), 1);
    for (const TBufferCoord &P : {AEdit.CaretXY(), AEdit.BlockBegin(), AEdit.BlockEnd()})
        if (P.Line < 1 || P.Line > Last || P.Char < 1) return false;
    return true;
}

} // namespace

class TestLexEditRescan : public QObject {
    Q_OBJECT

private slots:
    void storedRangesEqualFullScan_data();
    void storedRangesEqualFullScan();
    void editKeepingEndRangeRescansOneLine();
    void wholeTextDeletionUndoneWithoutARescan();
    void openCommentRescansToEndAndBack();
    void appendAfterOpenComment();
    void loadFileNotifiesOnce();
    void marksFollowDeletedLines();
    void marksOnInsertionKeepLineAbove();
    void pluginsAreTold();
    void changeEventAfterEveryBracket();
    void sharedBufferSeenByBoth();
    void sharedBufferOneHighlighter();
    void destroyingFollowerLeavesOwnerWorking();
    void destroyingOwnerReleasesFollowers();
    void followerCannotBeFollowed();
    void undoFromFollowerRunsInFollower();
    void deletingLinesKeepsCaretAndBlockInBuffer();
    void exchangeOnShownBufferRescans();
    void exchangeInsideABracketWithOtherEditsRescans();
};

void TestLexEditRescan::storedRangesEqualFullScan_data() {
    QTest::addColumn<QString>("highlighter");
    QTest::addColumn<quint32>("seed");
    for (const char *H : {"php", "html"})
        for (quint32 Seed : {1u, 7u, 42u, 2026u})
            QTest::newRow(qPrintable(QStringLiteral("%1-%2").arg(QLatin1String(H)).arg(Seed)))
                << QString::fromLatin1(H) << Seed;
}

void TestLexEditRescan::storedRangesEqualFullScan() {
    QFETCH(QString, highlighter);
    QFETCH(quint32, seed);
    QRandomGenerator Random(seed);
    TLexEdit E;
    auto H = MakeHighlighter(highlighter);
    auto Reference = MakeHighlighter(highlighter);
    E.SetHighlighter(H.get());
    for (int i = 0; i < 30; ++i)
        E.Lines()->Add(RandomLine(Random));
    QCOMPARE(StoredRanges(*E.Lines()), FullScan(*Reference, *E.Lines()));
    for (int Step = 0; Step < 400; ++Step) {
        const QString What = RandomEdit(*E.Lines(), Random);
        if (StoredRanges(*E.Lines()) != FullScan(*Reference, *E.Lines()))
            QFAIL(qPrintable(QStringLiteral("ranges differ after step %1 (%2)").arg(Step).arg(What)));
        // Now and then a whole bracket of edits, reported at its end.
        if (Step % 50 == 49) {
            TLexEditStringList::UpdateGuard Bracket(*E.Lines());
            for (int k = 0; k < 5; ++k)
                RandomEdit(*E.Lines(), Random);
        }
    }
    // A highlighter change rescans everything as well.
    E.SetHighlighter(nullptr);
    E.Lines()->Insert(0, QStringLiteral("/* <!-- '"));
    E.SetHighlighter(H.get());
    QCOMPARE(StoredRanges(*E.Lines()), FullScan(*Reference, *E.Lines()));
}

void TestLexEditRescan::editKeepingEndRangeRescansOneLine() {
    TLexEdit E;
    TCountingHighlighter H(std::make_unique<TLexPHPLex>());
    E.SetHighlighter(&H);
    E.SetLines(PhpLines(50));
    H.ScannedLines = 0;
    E.Lines()->Put(10, QStringLiteral("$changed = 1; /* closed */"));
    QCOMPARE(H.ScannedLines, 1);
    H.ScannedLines = 0;
    E.Lines()->Insert(20, QStringLiteral("echo 2;"));
    QCOMPARE(H.ScannedLines, 2); // the new line, and the next one to see that it ends as before
    H.ScannedLines = 0;
    E.Lines()->Delete(30);
    QCOMPARE(H.ScannedLines, 1); // the line that moved up: same start state, same end
}

void TestLexEditRescan::wholeTextDeletionUndoneWithoutARescan() {
    TLexEdit E;
    TCountingHighlighter H(std::make_unique<TLexPHPLex>());
    TLexHTMLLex Html;
    E.SetHighlighter(&H);
    QStringList Lines = PhpLines(60);
    Lines[20] = QStringLiteral("/* open");
    E.SetLines(Lines);
    const QString Text = E.Text();
    // Undone as it was, then with another highlighter attached in between (every line scanned).
    for (TLexCustomHighlighter *Other : std::initializer_list<TLexCustomHighlighter *>{nullptr, &Html}) {
        E.SelectAll();
        E.SetSelText(QString());
        if (Other != nullptr) E.SetHighlighter(Other);
        H.ScannedLines = 0;
        E.Undo();
        QCOMPARE(E.Text(), Text);
        if (Other == nullptr) QCOMPARE(H.ScannedLines, 1); // the first line only
        QCOMPARE(StoredRanges(*E.Lines()), FullScan(Other != nullptr ? *Other : H.Inner(), *E.Lines()));
        E.Redo();
        QCOMPARE(E.Text(), QString());
        E.Undo();
    }
}

void TestLexEditRescan::openCommentRescansToEndAndBack() {
    TLexEdit E;
    TCountingHighlighter H(std::make_unique<TLexPHPLex>());
    E.SetHighlighter(&H);
    E.SetLines(PhpLines(40));
    H.ScannedLines = 0;
    E.Lines()->Put(9, QStringLiteral("/*"));
    QCOMPARE(H.ScannedLines, 31); // line 9 to the end
    for (int i = 9; i < 40; ++i)
        QCOMPARE(E.Lines()->GetRange(i), TLexRange(php::rsComment));
    H.ScannedLines = 0;
    E.Lines()->Put(20, QStringLiteral("*/ $b = 1;"));
    QCOMPARE(H.ScannedLines, 20);
    H.ScannedLines = 0;
    E.Lines()->Put(9, QStringLiteral("$a = 1;"));
    QCOMPARE(H.ScannedLines, 12); // lines 9..20: line 20 ends as it did before
    TLexPHPLex Reference;
    QCOMPARE(StoredRanges(*E.Lines()), FullScan(Reference, *E.Lines()));
}

void TestLexEditRescan::appendAfterOpenComment() {
    TLexEdit E;
    TLexHTMLLex H;
    E.SetHighlighter(&H);
    E.SetLines({QStringLiteral("<p>text</p>"), QStringLiteral("<!-- open")});
    const TLexRange Open = E.Lines()->GetRange(1);
    E.Lines()->Add(QStringLiteral("still inside"));
    QCOMPARE(E.Lines()->GetRange(2), Open);
    E.Lines()->Add(QStringLiteral("closed -->"));
    QCOMPARE(E.Lines()->GetRange(3), E.Lines()->GetRange(0));
}

void TestLexEditRescan::loadFileNotifiesOnce() {
    QTemporaryDir Dir;
    QVERIFY(Dir.isValid());
    const QString Name = Dir.filePath(QStringLiteral("a.php"));
    {
        QFile F(Name);
        QVERIFY(F.open(QIODevice::WriteOnly));
        F.write("<?php\r\n/* one\r\ntwo */\r\necho 3;\r\n");
    }
    TLexEdit E;
    TCountingHighlighter H(std::make_unique<TLexPHPLex>());
    E.SetHighlighter(&H);
    E.SetLines({QStringLiteral("old 1"), QStringLiteral("old 2")});
    E.SetCaretXY(BufferCoord(3, 2));
    TRecordingPlugin Plugin(&E);
    int Changes = 0;
    int Cleared = 0;
    E.OnChange = [&](TCustomLexEdit *) { ++Changes; };
    E.OnStatusChange = [&](TCustomLexEdit *, TLexStatusChanges C) { Cleared += C.Contains(scAll) ? 1 : 0; };
    H.ScannedLines = 0;
    E.Lines()->LoadFromFile(Name);
    QCOMPARE(Cleared, 1);
    QCOMPARE(Plugin.Log, QStringList({QStringLiteral("changing"), QStringLiteral("inserted 0 5"),
                                      QStringLiteral("changed")}));
    QCOMPARE(Changes, 1);
    QCOMPARE(H.ScannedLines, 5); // the whole text, once
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    QCOMPARE(E.Lines()->GetRange(1), TLexRange(php::rsComment));
}

void TestLexEditRescan::marksFollowDeletedLines() {
    TLexEdit E;
    E.SetLines(PhpLines(10));
    for (int Line : {2, 3, 4, 5, 6})
        E.Marks().Add(TLexEditMark{Line, 1, 0, -1, true, false});
    E.Lines()->DeleteLines(2, 3); // lines 3..5
    QList<int> Lines;
    for (int i = 0; i < E.Marks().Count(); ++i)
        Lines << E.Marks().Items(i).Line;
    QCOMPARE(Lines, QList<int>({2, 2, 2, 2, 3}));
}

void TestLexEditRescan::marksOnInsertionKeepLineAbove() {
    TLexEdit E;
    E.SetLines(PhpLines(5));
    E.Marks().Add(TLexEditMark{2, 1, 0, 0, true, false});
    E.Marks().Add(TLexEditMark{3, 1, 0, 1, true, false});
    // A line break typed at the end of line 2 inserts a line at index 2 (before line 3).
    E.Lines()->Insert(2, QString());
    QCOMPARE(E.Marks().Items(0).Line, 2);
    QCOMPARE(E.Marks().Items(1).Line, 4);
    E.Lines()->InsertStrings(0, {QStringLiteral("a"), QStringLiteral("b")});
    QCOMPARE(E.Marks().Items(0).Line, 4);
    QCOMPARE(E.Marks().Items(1).Line, 6);
}

void TestLexEditRescan::pluginsAreTold() {
    TLexEdit E;
    E.SetLines({QStringLiteral("a"), QStringLiteral("b")});
    auto Plugin = std::make_unique<TRecordingPlugin>(&E);
    QCOMPARE(E.PluginCount(), 1);
    E.Lines()->Put(1, QStringLiteral("B"));
    E.Lines()->Delete(0);
    QCOMPARE(Plugin->Log, QStringList({QStringLiteral("changing"), QStringLiteral("put 1 b"),
                                       QStringLiteral("changed"), QStringLiteral("changing"),
                                       QStringLiteral("deleted 0 1"), QStringLiteral("changed")}));
    Plugin.reset();
    QCOMPARE(E.PluginCount(), 0);
    // A plug-in outliving its editor is told that the editor is gone.
    auto Orphan = std::make_unique<TRecordingPlugin>(new TLexEdit());
    delete Orphan->Owner();
    QCOMPARE(Orphan->Owner(), nullptr);
}

void TestLexEditRescan::changeEventAfterEveryBracket() {
    TLexEdit E;
    int Changes = 0;
    E.OnChange = [&](TCustomLexEdit *Sender) {
        QCOMPARE(Sender, &E);
        ++Changes;
    };
    E.Lines()->Add(QStringLiteral("a"));
    QCOMPARE(Changes, 1);
    {
        TLexEditStringList::UpdateGuard Bracket(*E.Lines());
        E.Lines()->Add(QStringLiteral("b"));
        E.Lines()->Put(0, QStringLiteral("A"));
        QVERIFY(E.StateFlags().Contains(sfLinesChanging));
    }
    QCOMPARE(Changes, 2);
    QVERIFY(!E.StateFlags().Contains(sfLinesChanging));
}

void TestLexEditRescan::sharedBufferSeenByBoth() {
    TLexEdit Owner;
    TLexEdit Follower;
    Owner.SetLines({QStringLiteral("one"), QStringLiteral("two")});
    Follower.SetLines({QStringLiteral("own")});
    Follower.SetLinesPointer(&Owner);
    QCOMPARE(Follower.Lines(), Owner.Lines());
    QCOMPARE(Follower.ChainedEditor(), &Owner);
    QCOMPARE(Follower.UndoRedo(), Owner.UndoRedo());
    int OwnerChanges = 0;
    int FollowerChanges = 0;
    QStringList Order;
    Owner.OnChange = [&](TCustomLexEdit *) {
        ++OwnerChanges;
        Order << QStringLiteral("owner");
    };
    Follower.OnChange = [&](TCustomLexEdit *) {
        ++FollowerChanges;
        Order << QStringLiteral("follower");
    };
    Follower.Lines()->Add(QStringLiteral("three"));
    Owner.Lines()->Put(0, QStringLiteral("ONE"));
    QCOMPARE(OwnerChanges, 2);
    QCOMPARE(FollowerChanges, 2);
    QCOMPARE(Order.front(), QStringLiteral("owner"));
    QCOMPARE(Follower.Text(), QStringLiteral("ONE\r\ntwo\r\nthree"));
    // The follower's caret works on the shared lines.
    Follower.SetCaretXY(BufferCoord(99, 3));
    QCOMPARE(Follower.CaretXY().Line, 3);
    Follower.RemoveLinesPointer();
    QCOMPARE(Follower.Text(), QStringLiteral("own"));
    QCOMPARE(Follower.ChainedEditor(), nullptr);
    Owner.Lines()->Add(QStringLiteral("four"));
    QCOMPARE(FollowerChanges, 2);
    QCOMPARE(OwnerChanges, 3);
}

void TestLexEditRescan::sharedBufferOneHighlighter() {
    TLexEdit Owner;
    TLexEdit Follower;
    TCountingHighlighter Php(std::make_unique<TLexPHPLex>());
    TLexHTMLLex Html;
    Owner.SetHighlighter(&Php);
    Follower.SetHighlighter(&Html);
    Owner.SetLines(PhpLines(5));
    Follower.SetLinesPointer(&Owner);
    QCOMPARE(Follower.Highlighter(), &Php);
    // Every change is scanned once, with the one highlighter.
    Php.ScannedLines = 0;
    Follower.Lines()->Put(2, QStringLiteral("/* open"));
    QCOMPARE(Php.ScannedLines, 3);
    TLexPHPLex Reference;
    QCOMPARE(StoredRanges(*Owner.Lines()), FullScan(Reference, *Owner.Lines()));
    // Setting a highlighter on the follower sets it for the buffer.
    Follower.SetHighlighter(&Html);
    QCOMPARE(Owner.Highlighter(), &Html);
    QCOMPARE(Follower.Highlighter(), &Html);
    TLexHTMLLex HtmlReference;
    QCOMPARE(StoredRanges(*Owner.Lines()), FullScan(HtmlReference, *Owner.Lines()));
    Owner.SetHighlighter(&Php);
    QCOMPARE(Follower.Highlighter(), &Php);
}

void TestLexEditRescan::destroyingFollowerLeavesOwnerWorking() {
    TLexEdit Owner;
    TLexPHPLex H;
    Owner.SetHighlighter(&H);
    Owner.SetLines(PhpLines(3));
    {
        TLexEdit Follower;
        Follower.SetLinesPointer(&Owner);
        Follower.Lines()->Add(QStringLiteral("/* x"));
    }
    int Changes = 0;
    Owner.OnChange = [&](TCustomLexEdit *) { ++Changes; };
    Owner.Lines()->Add(QStringLiteral("y */"));
    QCOMPARE(Changes, 1);
    QCOMPARE(Owner.Lines()->Count(), 5);
    QCOMPARE(StoredRanges(*Owner.Lines()), FullScan(H, *Owner.Lines()));
}

void TestLexEditRescan::destroyingOwnerReleasesFollowers() {
    TLexEdit Follower;
    TLexEdit Second;
    TLexPHPLex H;
    Follower.SetLines({QStringLiteral("mine")});
    {
        TLexEdit Owner;
        Owner.SetHighlighter(&H);
        Owner.SetLines(PhpLines(3));
        Follower.SetLinesPointer(&Owner);
        Second.SetLinesPointer(&Follower); // joins the owner's buffer
        QCOMPARE(Second.ChainedEditor(), &Owner);
        Follower.RemoveLinesPointer(); // leaving in any order keeps the others hooked
        int SecondChanges = 0;
        Second.OnChange = [&](TCustomLexEdit *) { ++SecondChanges; };
        Owner.Lines()->Add(QStringLiteral("x"));
        QCOMPARE(SecondChanges, 1);
        Second.OnChange = nullptr;
        Follower.SetLinesPointer(&Owner);
    }
    QCOMPARE(Follower.ChainedEditor(), nullptr);
    QCOMPARE(Second.ChainedEditor(), nullptr);
    QCOMPARE(Follower.Text(), QStringLiteral("mine"));
    Follower.Lines()->Add(QStringLiteral("/* more"));
    Second.Lines()->Add(QStringLiteral("other"));
    QCOMPARE(Follower.Highlighter(), &H);
    QCOMPARE(StoredRanges(*Follower.Lines()), FullScan(H, *Follower.Lines()));
    QCOMPARE(Second.Text(), QStringLiteral("other"));
}

void TestLexEditRescan::followerCannotBeFollowed() {
    TLexEdit A;
    TLexEdit B;
    TLexEdit C;
    B.SetLinesPointer(&A);
    QVERIFY_THROWS_EXCEPTION(ELexEdit, A.SetLinesPointer(&C));
    QCOMPARE(A.ChainedEditor(), nullptr);
    QVERIFY_THROWS_EXCEPTION(ELexEdit, A.SetLinesPointer(nullptr));
}

void TestLexEditRescan::undoFromFollowerRunsInFollower() {
    QStringList Log;
    TRecordingUndoEdit Owner;
    TRecordingUndoEdit Follower;
    Owner.Log = Follower.Log = &Log;
    Owner.Name = QStringLiteral("owner");
    Follower.Name = QStringLiteral("follower");
    Owner.SetLines({QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")});
    Follower.SetLinesPointer(&Owner);
    Owner.SetCaretXY(BufferCoord(2, 1));
    Follower.UndoRedo()->AddUndoChange(crInsert, BufferCoord(1, 3), BufferCoord(3, 3), QString(), smNormal);
    Follower.Undo();
    Follower.Redo();
    QCOMPARE(Log, (QStringList{QStringLiteral("follower undo 1"), QStringLiteral("follower redo 1")}));
    // The owner's caret did not move and it never saw itself undoing.
    QCOMPARE(Owner.CaretXY(), BufferCoord(2, 1));
    QCOMPARE(Follower.CaretXY(), BufferCoord(3, 3));
    // The owner's own undo still reaches the owner, also after the follower has left.
    Log.clear();
    Owner.Undo();
    QCOMPARE(Log, QStringList{QStringLiteral("owner undo 1")});
    Follower.RemoveLinesPointer();
    Owner.Redo();
    QCOMPARE(Log.back(), QStringLiteral("owner redo 1"));
    // Read-only editors neither undo nor redo.
    Owner.SetReadOnly(true);
    QVERIFY(!Owner.CanUndo());
    Log.clear();
    Owner.Undo();
    QVERIFY(Log.isEmpty());
}

void TestLexEditRescan::deletingLinesKeepsCaretAndBlockInBuffer() {
    TLexEdit E;
    TLexEdit Follower;
    QStringList Ten;
    for (int i = 1; i <= 10; ++i)
        Ten << QStringLiteral("line %1").arg(i);
    E.SetLines(Ten);
    Follower.SetLinesPointer(&E);
    E.SetCaretXY(BufferCoord(3, 10));
    Follower.SetCaretAndSelection(BufferCoord(5, 10), BufferCoord(2, 9), BufferCoord(5, 10));
    E.Lines()->DeleteLines(1, 8);
    QCOMPARE(E.Lines()->Count(), 2);
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
    QVERIFY(CaretAndBlockInBuffer(E));
    QCOMPARE(Follower.CaretY(), 2);
    QVERIFY(CaretAndBlockInBuffer(Follower));
    // Also inside an open bracket, after each change; and for random edits.
    QRandomGenerator Random(14);
    for (int Step = 0; Step < 300; ++Step) {
        const int Count = E.Lines()->Count();
        if (Step % 3 == 0) E.SetCaretXY(BufferCoord(int(Random.bounded(1, 12)), std::max(Count, 1)));
        if (Step % 5 == 0)
            Follower.SetCaretAndSelection(BufferCoord(1, std::max(Count, 1)),
                                          BufferCoord(1, int(Random.bounded(1, std::max(Count, 1) + 1))),
                                          BufferCoord(1, std::max(Count, 1)));
        const QString What = RandomEdit(*E.Lines(), Random);
        if (!CaretAndBlockInBuffer(E) || !CaretAndBlockInBuffer(Follower))
            QFAIL(qPrintable(QStringLiteral("outside the buffer after step %1 (%2)").arg(Step).arg(What)));
        if (Step % 40 == 39) {
            TLexEditStringList::UpdateGuard Bracket(*E.Lines());
            for (int k = 0; k < 4; ++k) {
                RandomEdit(*E.Lines(), Random);
                QVERIFY(CaretAndBlockInBuffer(E));
                QVERIFY(CaretAndBlockInBuffer(Follower));
            }
        }
    }
}

void TestLexEditRescan::exchangeOnShownBufferRescans() {
    TLexEdit E;
    TLexPHPLex H;
    TLexPHPLex Reference;
    E.SetHighlighter(&H);
    E.SetLines({QStringLiteral("/*"), QStringLiteral("x"), QStringLiteral("*/"), QStringLiteral("y")});
    E.Lines()->Exchange(0, 3);
    QCOMPARE(E.Text(), QStringLiteral("y\r\nx\r\n*/\r\n/*"));
    QCOMPARE(StoredRanges(*E.Lines()), FullScan(Reference, *E.Lines()));
    // Random exchanges, also seen through an editor that shows the buffer.
    TLexEdit Follower;
    Follower.SetLinesPointer(&E);
    QRandomGenerator Random(5);
    for (int i = 0; i < 20; ++i)
        E.Lines()->Add(RandomLine(Random));
    for (int Step = 0; Step < 100; ++Step) {
        const int Count = E.Lines()->Count();
        TLexEditStringList &L = *(Step % 2 ? Follower.Lines() : E.Lines());
        L.Exchange(int(Random.bounded(Count)), int(Random.bounded(Count)));
        if (StoredRanges(*E.Lines()) != FullScan(Reference, *E.Lines()))
            QFAIL(qPrintable(QStringLiteral("ranges differ after exchange %1").arg(Step)));
    }
}

// Regression: inside an outer bracket that also reported other changes, an exchange went
// unnoticed and the swapped lines kept each other's stored ranges.
void TestLexEditRescan::exchangeInsideABracketWithOtherEditsRescans() {
    TLexEdit E;
    TLexPHPLex H;
    TLexPHPLex Reference;
    E.SetHighlighter(&H);
    E.SetLines({QStringLiteral("/*"), QStringLiteral("x"), QStringLiteral("*/"), QStringLiteral("y"),
                QStringLiteral("w")});
    {
        TLexEditStringList::UpdateGuard Bracket(*E.Lines());
        E.Lines()->Put(4, QStringLiteral("v"));
        E.Lines()->Exchange(0, 3);
    }
    QCOMPARE(StoredRanges(*E.Lines()), FullScan(Reference, *E.Lines()));
}

QTEST_MAIN(TestLexEditRescan)
#include "tst_lexedit_rescan.moc"
