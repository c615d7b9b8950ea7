// SPDX-License-Identifier: MIT
#include "common/Exception.h"
#include "lexedit/LexEditUndo.h"

#include <QSet>
#include <QtTest>

using namespace lexedit;

namespace {

// A one-line editor over a string that records its changes the way the editor control does:
// positions are 1-based characters of line 1. Undo reverses an item and records its opposite
// on the redo stack; redo performs it again and records on the undo stack.
class MiniEditor {
public:
    MiniEditor() {
        Undo = CreateLexEditUndo([this](const TLexEditUndoItem &I) { UndoItem(I); },
                                 [this](const TLexEditUndoItem &I) { RedoItem(I); });
    }
    void Insert(int Pos, const QString &S, TLexChangeReason Reason = crInsert) {
        Text.insert(Pos - 1, S);
        Undo->AddUndoChange(Reason, BufferCoord(Pos, 1), BufferCoord(Pos + int(S.size()), 1), QString(),
                            smNormal);
    }
    void Remove(int Pos, int Len) {
        const QString Removed = Text.mid(Pos - 1, Len);
        Text.remove(Pos - 1, Len);
        Undo->AddUndoChange(crDelete, BufferCoord(Pos, 1), BufferCoord(Pos + Len, 1), Removed, smNormal);
    }

    QString Text;
    std::shared_ptr<ILexEditUndo> Undo;
    std::function<void()> DuringRedo; // run inside each redo callback

private:
    static bool IsInsert(TLexChangeReason R) {
        return R == crInsert || R == crIndent || R == crWhiteSpaceAdd;
    }
    void UndoItem(const TLexEditUndoItem &I) {
        const int Pos = I.ChangeStartPos.Char, Len = I.ChangeEndPos.Char - Pos;
        if (IsInsert(I.ChangeReason)) {
            const QString Removed = Text.mid(Pos - 1, Len);
            Text.remove(Pos - 1, Len);
            Undo->AddRedoChange(I.ChangeReason, I.ChangeStartPos, I.ChangeEndPos, Removed, I.ChangeSelMode,
                                I.GroupBreak);
        } else {
            Text.insert(Pos - 1, I.ChangeStr);
            Undo->AddRedoChange(I.ChangeReason, I.ChangeStartPos, I.ChangeEndPos, I.ChangeStr,
                                I.ChangeSelMode, I.GroupBreak);
        }
    }
    void RedoItem(const TLexEditUndoItem &I) {
        if (DuringRedo) DuringRedo();
        const int Pos = I.ChangeStartPos.Char, Len = I.ChangeEndPos.Char - Pos;
        if (IsInsert(I.ChangeReason)) {
            Text.insert(Pos - 1, I.ChangeStr);
            Undo->AddUndoChange(I.ChangeReason, I.ChangeStartPos, I.ChangeEndPos, QString(), I.ChangeSelMode,
                                I.GroupBreak);
        } else {
            const QString Removed = Text.mid(Pos - 1, Len);
            Text.remove(Pos - 1, Len);
            Undo->AddUndoChange(I.ChangeReason, I.ChangeStartPos, I.ChangeEndPos, Removed, I.ChangeSelMode,
                                I.GroupBreak);
        }
    }
};

int UndoCount(const MiniEditor &E) {
    return UndoStackCount(*E.Undo, false);
}
int RedoCount(const MiniEditor &E) {
    return UndoStackCount(*E.Undo, true);
}

} // namespace

class TestLexEditUndo : public QObject {
    Q_OBJECT
private slots:
    void groupUndo_data();
    void groupUndo();
    void groupBreakStopsUndo();
    void blockIsOneStep();
    void nestedBlocksShareNumber();
    void newChangeClearsRedo();
    void limitTrimsToThreeQuarters();
    void smallLimitsKeepNothing();
    void undoLimitKeepsNewestItemsAlsoWithinAGroup();
    void modifiedAndNotification();
    void modifiedWriteTrue();
    void lockRecordsNothing();
    void undoInsideBlockIsAssertion();
    void failingCallbackLeavesEngineUsable();
    void blockOpenedDuringRedoKeepsTheGroup();
    void randomHistoryUndoesAndRedoesExactly();
};

void TestLexEditUndo::groupUndo_data() {
    QTest::addColumn<bool>("group");
    QTest::addColumn<TLexChangeReason>("reason");
    QTest::addColumn<int>("undoSteps");
    QTest::newRow("inserts grouped") << true << crInsert << 1;
    QTest::newRow("inserts ungrouped") << false << crInsert << 3;
    QTest::newRow("indents never grouped") << true << crIndent << 3;
}

void TestLexEditUndo::groupUndo() {
    QFETCH(bool, group);
    QFETCH(TLexChangeReason, reason);
    QFETCH(int, undoSteps);
    MiniEditor E;
    E.Undo->SetGroupUndo(group);
    E.Insert(1, "a", reason);
    E.Insert(2, "b", reason);
    E.Insert(3, "c", reason);
    for (int i = 0; i < undoSteps; ++i) {
        QVERIFY(E.Undo->CanUndo());
        E.Undo->Undo();
    }
    QCOMPARE(E.Text, QString());
    QVERIFY(!E.Undo->CanUndo());
    // Redo groups the same way.
    for (int i = 0; i < undoSteps; ++i)
        E.Undo->Redo();
    QCOMPARE(E.Text, QStringLiteral("abc"));
    QVERIFY(!E.Undo->CanRedo());
}

void TestLexEditUndo::groupBreakStopsUndo() {
    MiniEditor E;
    E.Insert(1, "a");
    E.Undo->AddGroupBreak();
    E.Insert(2, "b");
    E.Undo->Undo();
    QCOMPARE(E.Text, QStringLiteral("a"));
    E.Undo->Undo();
    QCOMPARE(E.Text, QString());
    // Different reasons are separate steps.
    E.Insert(1, "xyz");
    E.Remove(2, 1);
    E.Undo->Undo();
    QCOMPARE(E.Text, QStringLiteral("xyz"));
}

void TestLexEditUndo::blockIsOneStep() {
    MiniEditor E;
    E.Insert(1, "hello");
    E.Undo->AddGroupBreak();
    E.Undo->BeginBlock();
    E.Remove(1, 1);
    E.Insert(1, "J");
    E.Undo->AddUndoChange(crCaret, BufferCoord(1, 1), BufferCoord(1, 1), QString(), smNormal);
    E.Undo->EndBlock();
    QCOMPARE(E.Text, QStringLiteral("Jello"));
    QVERIFY(UndoStackItem(*E.Undo, false, 0).GroupBreak); // EndBlock closes the group
    E.Undo->Undo();
    QCOMPARE(E.Text, QStringLiteral("hello"));
    E.Undo->EndBlock(); // without a block: ignored
    E.Undo->Redo();
    QCOMPARE(E.Text, QStringLiteral("Jello"));
}

void TestLexEditUndo::nestedBlocksShareNumber() {
    MiniEditor E;
    E.Undo->BeginBlock();
    E.Insert(1, "a");
    E.Undo->BeginBlock();
    E.Insert(2, "b");
    E.Undo->EndBlock();
    E.Remove(1, 1);
    E.Undo->EndBlock();
    QCOMPARE(UndoCount(E), 3);
    const int N = UndoStackItem(*E.Undo, false, 0).ChangeNumber;
    for (int i = 1; i < 3; ++i)
        QCOMPARE(UndoStackItem(*E.Undo, false, i).ChangeNumber, N);
    E.Undo->Undo();
    QCOMPARE(E.Text, QString());
    QVERIFY(!E.Undo->CanUndo());
}

void TestLexEditUndo::newChangeClearsRedo() {
    MiniEditor E;
    E.Insert(1, "a");
    E.Undo->AddGroupBreak();
    E.Insert(2, "b");
    E.Undo->Undo();
    E.Undo->Undo();
    QCOMPARE(RedoCount(E), 2);
    E.Undo->Redo(); // records undo items while redoing: the redo stack stays
    QCOMPARE(RedoCount(E), 1);
    E.Insert(1, "x");
    QVERIFY(!E.Undo->CanRedo());
}

void TestLexEditUndo::limitTrimsToThreeQuarters() {
    MiniEditor E;
    E.Undo->SetMaxUndoActions(8);
    for (int i = 0; i < 9; ++i) {
        E.Insert(i + 1, "x");
        E.Undo->AddGroupBreak();
    }
    QCOMPARE(UndoCount(E), 6);
    QVERIFY(E.Undo->FullUndoImpossible());
    // Lowering the limit trims at once.
    E.Undo->SetMaxUndoActions(4);
    QCOMPARE(UndoCount(E), 3);
    QCOMPARE(E.Undo->MaxUndoActions(), 4);
}

void TestLexEditUndo::smallLimitsKeepNothing() {
    for (int Limit : {1, 2, 3}) {
        MiniEditor E;
        E.Undo->SetMaxUndoActions(Limit);
        for (int i = 0; i <= Limit; ++i)
            E.Insert(1, "x");
        QCOMPARE(UndoCount(E), 0);
        QVERIFY(E.Undo->FullUndoImpossible());
    }
}

void TestLexEditUndo::undoLimitKeepsNewestItemsAlsoWithinAGroup() {
    // One compound edit larger than the limit is trimmed like any other items: the K newest
    // stay, and undoing them leaves the text the compound edit had after its first items.
    MiniEditor E;
    E.Undo->SetMaxUndoActions(4); // K = 3
    E.Undo->BeginBlock();
    for (int i = 0; i < 6; ++i)
        E.Insert(1, QString(QChar('a' + i)));
    E.Undo->EndBlock();
    QCOMPARE(E.Text, QStringLiteral("fedcba"));
    QCOMPARE(UndoCount(E), 4); // trimmed to 3 at the fifth item, then one more
    QVERIFY(E.Undo->FullUndoImpossible());
    E.Undo->Undo();
    QCOMPARE(E.Text, QStringLiteral("ba"));
    QVERIFY(!E.Undo->CanUndo());
    // A cut through an older group keeps the newest items of it.
    MiniEditor F;
    F.Undo->SetMaxUndoActions(8);
    F.Undo->BeginBlock(); // four items of one compound edit
    for (int i = 0; i < 4; ++i)
        F.Insert(1, "b");
    F.Undo->EndBlock();
    const int Block = UndoStackItem(*F.Undo, false, 0).ChangeNumber;
    for (int i = 0; i < 5; ++i) {
        F.Remove(1, 1);
        F.Undo->AddGroupBreak();
    }
    QCOMPARE(UndoCount(F), 6);
    QCOMPARE(UndoStackItem(*F.Undo, false, 5).ChangeNumber, Block);
    QVERIFY(UndoStackItem(*F.Undo, false, 4).ChangeNumber != Block);
    // Loss is reported only when something was dropped: not at the limit exactly.
    MiniEditor G;
    G.Undo->SetMaxUndoActions(8);
    G.Undo->BeginBlock();
    for (int i = 0; i < 8; ++i)
        G.Insert(1, "x");
    G.Undo->EndBlock();
    QCOMPARE(UndoCount(G), 8);
    QVERIFY(!G.Undo->FullUndoImpossible());
    G.Undo->SetMaxUndoActions(100); // raising the limit drops nothing
    QVERIFY(!G.Undo->FullUndoImpossible());
    G.Undo->Undo();
    QCOMPARE(G.Text, QString());
    // Pushing many items of one group stays within the limit all the time.
    MiniEditor H;
    H.Undo->SetMaxUndoActions(100);
    H.Undo->BeginBlock();
    for (int i = 0; i < 1000; ++i) {
        H.Insert(1, "y");
        QVERIFY(UndoCount(H) <= 100);
    }
    H.Undo->EndBlock();
    QVERIFY(UndoCount(H) >= 75);
}

void TestLexEditUndo::modifiedAndNotification() {
    MiniEditor E;
    int Raised = 0;
    E.Undo->SetOnModifiedChanged([&Raised](ILexEditUndo *) { ++Raised; });
    QVERIFY(!E.Undo->Modified());
    E.Insert(1, "a");
    E.Undo->SetModified(false); // saved
    QVERIFY(!E.Undo->Modified());
    Raised = 0;
    E.Remove(1, 1);
    QVERIFY(E.Undo->Modified());
    E.Undo->Undo();
    QVERIFY(!E.Undo->Modified());
    QCOMPARE(Raised, 2);
    E.Undo->Redo();
    QVERIFY(E.Undo->Modified());
    QCOMPARE(Raised, 3);
    // Inside a block the notification comes once, at the end.
    E.Undo->Undo();
    Raised = 0;
    E.Undo->BeginBlock();
    E.Insert(1, "x");
    E.Insert(1, "y");
    QCOMPARE(Raised, 0);
    E.Undo->EndBlock();
    QCOMPARE(Raised, 1);
}

void TestLexEditUndo::modifiedWriteTrue() {
    MiniEditor E;
    int Raised = 0;
    E.Undo->SetOnModifiedChanged([&Raised](ILexEditUndo *) { ++Raised; });
    E.Undo->SetModified(true);
    QVERIFY(E.Undo->Modified());
    QCOMPARE(Raised, 0); // writing does not notify
    E.Insert(1, "a");
    QVERIFY(E.Undo->Modified());
    E.Undo->Undo();
    QVERIFY(E.Undo->Modified()); // still differs from the saved state
    E.Undo->SetModified(false);
    QVERIFY(!E.Undo->Modified());
    // Clear of a saved text with a non-zero saved number reads modified.
    E.Undo->Redo();
    E.Undo->SetModified(false);
    E.Undo->Clear();
    QVERIFY(E.Undo->Modified());
}

void TestLexEditUndo::lockRecordsNothing() {
    MiniEditor E;
    E.Insert(1, "a");
    E.Undo->Undo();
    QCOMPARE(RedoCount(E), 1);
    E.Undo->Lock();
    E.Undo->Lock();
    E.Undo->Unlock();
    E.Insert(1, "b");
    QCOMPARE(UndoCount(E), 0);
    QCOMPARE(RedoCount(E), 1);
    E.Undo->Unlock();
    E.Undo->Unlock(); // not below 0
    E.Insert(1, "c");
    QCOMPARE(UndoCount(E), 1);
}

void TestLexEditUndo::undoInsideBlockIsAssertion() {
    MiniEditor E;
    E.Insert(1, "a");
    E.Undo->BeginBlock();
    QVERIFY_THROWS_EXCEPTION(common::EAssertionFailed, E.Undo->Undo());
    QVERIFY_THROWS_EXCEPTION(common::EAssertionFailed, E.Undo->Redo());
    E.Undo->EndBlock();
    QCOMPARE(E.Text, QStringLiteral("a"));
    // Undo from inside a redo callback.
    E.Undo->Undo();
    E.DuringRedo = [&E]() { E.Undo->Undo(); };
    try {
        E.Undo->Redo();
        QFAIL("no assertion");
    } catch (const common::EAssertionFailed &Error) {
        QCOMPARE(Error.Message(), QStringLiteral("Assertion failure"));
    }
}

void TestLexEditUndo::failingCallbackLeavesEngineUsable() {
    bool Fail = true;
    int Raised = 0;
    std::shared_ptr<ILexEditUndo> U;
    U = CreateLexEditUndo(
        [&](const TLexEditUndoItem &I) {
            if (Fail) throw common::Exception("undo failed");
            U->AddRedoChange(I.ChangeReason, I.ChangeStartPos, I.ChangeEndPos, I.ChangeStr, I.ChangeSelMode);
        },
        [&](const TLexEditUndoItem &) { throw common::Exception("redo failed"); });
    U->SetOnModifiedChanged([&Raised](ILexEditUndo *) { ++Raised; });
    U->AddUndoChange(crInsert, BufferCoord(1, 1), BufferCoord(2, 1), QString(), smNormal);
    U->AddUndoChange(crDelete, BufferCoord(1, 1), BufferCoord(2, 1), "x", smNormal);
    Raised = 0;
    QVERIFY_THROWS_EXCEPTION(common::Exception, U->Undo());
    QCOMPARE(UndoStackCount(*U, false), 1); // the failed item was taken off
    Fail = false;
    U->Undo(); // no assertion: the engine is not left inside an undo
    QVERIFY(!U->CanUndo());
    QCOMPARE(Raised, 1); // the modified state changed back to unmodified once
    QVERIFY_THROWS_EXCEPTION(common::Exception, U->Redo());
    QVERIFY(!U->CanRedo()); // the item was freed
    U->AddUndoChange(crInsert, BufferCoord(1, 1), BufferCoord(2, 1), QString(), smNormal);
    QVERIFY(U->CanUndo());
}

void TestLexEditUndo::blockOpenedDuringRedoKeepsTheGroup() {
    MiniEditor E;
    E.Insert(1, "ab");
    E.Undo->AddGroupBreak();
    E.Undo->BeginBlock();
    E.Remove(1, 1);
    E.Insert(2, "X");
    E.Remove(1, 1);
    E.Undo->EndBlock();
    QCOMPARE(E.Text, QStringLiteral("X"));
    E.Undo->Undo();
    QCOMPARE(E.Text, QStringLiteral("ab"));
    // The editor runs each redone change as a command inside its own block.
    E.DuringRedo = [&E]() {
        E.Undo->BeginBlock();
        E.Undo->AddUndoChange(crCaret, BufferCoord(1, 1), BufferCoord(1, 1), QString(), smNormal);
        E.Undo->EndBlock();
    };
    E.Undo->Redo();
    QCOMPARE(E.Text, QStringLiteral("X"));
    const int N = UndoStackItem(*E.Undo, false, 0).ChangeNumber;
    for (int i = 0; i < 6; ++i)
        QCOMPARE(UndoStackItem(*E.Undo, false, i).ChangeNumber, N);
    E.DuringRedo = nullptr;
    E.Undo->Undo(); // the whole redone step at once
    QCOMPARE(E.Text, QStringLiteral("ab"));
    E.Undo->Undo();
    QCOMPARE(E.Text, QString());
}

void TestLexEditUndo::randomHistoryUndoesAndRedoesExactly() {
    QRandomGenerator rng(977);
    for (int Round = 0; Round < 150; ++Round) {
        MiniEditor E;
        const bool Group = rng.bounded(2) == 0;
        const int Limit = Round % 3 == 0 ? int(rng.bounded(4, 30)) : 0;
        E.Undo->SetGroupUndo(Group);
        E.Undo->SetMaxUndoActions(Limit);
        QSet<QString> States{E.Text}; // texts that existed outside a compound edit
        QSet<QString> Ever{E.Text};   // every text that existed
        int Depth = 0;
        for (int Step = 0; Step < 60; ++Step) {
            const int k = int(rng.bounded(10));
            if (k < 4) {
                E.Insert(int(rng.bounded(E.Text.size() + 1)) + 1, QString(QChar('a' + int(rng.bounded(26)))));
            } else if (k < 6 && !E.Text.isEmpty()) {
                const int Pos = int(rng.bounded(E.Text.size()));
                E.Remove(Pos + 1, int(rng.bounded(1, int(E.Text.size()) - Pos + 1)));
            } else if (k == 6) {
                E.Insert(1, "  ", crIndent);
            } else if (k == 7) {
                E.Undo->AddGroupBreak();
            } else if (k == 8 && Depth < 3) {
                E.Undo->BeginBlock();
                ++Depth;
            } else if (k == 9 && Depth > 0) {
                E.Undo->EndBlock();
                --Depth;
            }
            Ever.insert(E.Text);
            if (Depth == 0) States.insert(E.Text);
        }
        while (Depth-- > 0)
            E.Undo->EndBlock();
        States.insert(E.Text);
        const QString Final = E.Text;
        QStringList Trail{E.Text};
        while (E.Undo->CanUndo()) {
            E.Undo->Undo();
            // The limit may have cut the oldest group kept: undoing what is left of it gives
            // a text from inside that compound edit.
            const bool CutGroup = !E.Undo->CanUndo() && E.Undo->FullUndoImpossible();
            QVERIFY2(States.contains(E.Text) || (CutGroup && Ever.contains(E.Text)),
                     "undo produced a text that never existed");
            Trail.prepend(E.Text);
        }
        if (Limit == 0) QCOMPARE(E.Text, QString());
        // Redo walks the same states forward and ends at the final text.
        int i = 1;
        while (E.Undo->CanRedo()) {
            E.Undo->Redo();
            if (Limit == 0)
                QCOMPARE(E.Text, Trail.value(i++));
            else
                QVERIFY(States.contains(E.Text));
        }
        QCOMPARE(E.Text, Final);
    }
}

QTEST_GUILESS_MAIN(TestLexEditUndo)
#include "tst_lexeditundo.moc"
