// SPDX-License-Identifier: MIT
#include "lexedit/LexEditMiscProcs.h"
#include "lexedit/LexEditTextBuffer.h"
#include "textmodel_helpers.h"

#include <QtTest>

#include <functional>

using namespace lexedit;
using textmodel_test::LinesOf;
using textmodel_test::NotificationLog;

using ListOp = std::function<void(TLexEditStringList &)>;
Q_DECLARE_METATYPE(ListOp)

namespace {

const QChar Wide(0x4E00);

// Widens every CJK ideograph by one filler, as the editor does for double-width glyphs.
QString WidenIdeographs(const QString &S) {
    QString Result;
    for (QChar c : S) {
        if (c == Wide) Result += FillerChar;
        Result += c;
    }
    return Result;
}

void Fill(TLexEditStringList &L, const QStringList &Lines) {
    for (const QString &S : Lines)
        L.Add(S);
}

} // namespace

class TestLexEditTextBuffer : public QObject {
    Q_OBJECT
private slots:
    void notifications_data();
    void notifications();
    void outerBracketGivesOneChangePair();
    void invalidIndexLeavesListUnchanged_data();
    void invalidIndexLeavesListUnchanged();
    void capacityBelowCount();
    void capacityGrowsGeometrically();
    void readingOutOfRange();
    void newLinesAndPutKeepRange();
    void exchangeSwapsWholeRecords();
    void textProperty();
    void expandedLengths();
    void lineCharIndex();
    void longestLineFollowsEdits();
    void handlerErrorStillClosesBracket();
    void changingHandlerErrorChangesNothing();
    void randomEditsKeepCachesExact();
    void storageFormsRoundTrip_data();
    void storageFormsRoundTrip();
    void putSwitchesStorageForm();
    void longLinesAroundLatin1Limit();
    void returnedStringsAreIndependent();
    void objectsFollowTheirLines();
    void randomEditsMatchStringListModel();
};

void TestLexEditTextBuffer::notifications_data() {
    QTest::addColumn<ListOp>("op");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("lines");
    // Each operation runs on the list "a", "b", "c".
    QTest::newRow("Add") << ListOp([](TLexEditStringList &L) { QCOMPARE(L.Add("d"), 3); })
                         << QStringList{"changing", "inserted 3 1", "change"}
                         << QStringList{"a", "b", "c", "d"};
    QTest::newRow("Insert") << ListOp([](TLexEditStringList &L) { L.Insert(1, "x"); })
                            << QStringList{"changing", "inserted 1 1", "change"}
                            << QStringList{"a", "x", "b", "c"};
    QTest::newRow("InsertLines") << ListOp([](TLexEditStringList &L) { L.InsertLines(3, 2); })
                                 << QStringList{"changing", "inserted 3 2", "change"}
                                 << QStringList{"a", "b", "c", "", ""};
    QTest::newRow("InsertLines 0") << ListOp([](TLexEditStringList &L) { L.InsertLines(1, 0); })
                                   << QStringList{} << QStringList{"a", "b", "c"};
    QTest::newRow("InsertStrings from") << ListOp([](TLexEditStringList &L) {
        L.InsertStrings(0, {"p", "q", "r"}, 1);
    }) << QStringList{"changing", "inserted 0 2", "change"}
                                        << QStringList{"q", "r", "a", "b", "c"};
    QTest::newRow("InsertStrings none") << ListOp([](TLexEditStringList &L) { L.InsertStrings(0, {"p"}, 1); })
                                        << QStringList{} << QStringList{"a", "b", "c"};
    QTest::newRow("AddStrings") << ListOp([](TLexEditStringList &L) {
        L.AddStrings({"p", "q"});
    }) << QStringList{"changing", "inserted 3 2", "change"}
                                << QStringList{"a", "b", "c", "p", "q"};
    QTest::newRow("InsertText") << ListOp([](TLexEditStringList &L) { L.InsertText(1, "x\r\ny\rz\n"); })
                                << QStringList{"changing", "inserted 1 3", "change"}
                                << QStringList{"a", "x", "y", "z", "b", "c"};
    QTest::newRow("InsertText empty") << ListOp([](TLexEditStringList &L) { L.InsertText(1, ""); })
                                      << QStringList{} << QStringList{"a", "b", "c"};
    QTest::newRow("Put") << ListOp([](TLexEditStringList &L) { L.Put(1, "B"); })
                         << QStringList{"changing", "put 1 b", "change"} << QStringList{"a", "B", "c"};
    QTest::newRow("Put at Count appends")
        << ListOp([](TLexEditStringList &L) { L.Put(3, "d"); })
        << QStringList{"changing", "inserted 3 1", "change"} << QStringList{"a", "b", "c", "d"};
    QTest::newRow("PutObject") << ListOp([](TLexEditStringList &L) { L.PutObject(0, &L); })
                               << QStringList{"changing", "change"} << QStringList{"a", "b", "c"};
    QTest::newRow("PutRange") << ListOp([](TLexEditStringList &L) { L.PutRange(0, 42); }) << QStringList{}
                              << QStringList{"a", "b", "c"};
    QTest::newRow("Delete") << ListOp([](TLexEditStringList &L) { L.Delete(0); })
                            << QStringList{"changing", "deleted 0 1", "change"} << QStringList{"b", "c"};
    QTest::newRow("DeleteLines past end")
        << ListOp([](TLexEditStringList &L) { L.DeleteLines(1, 1000); })
        << QStringList{"changing", "deleted 1 2", "change"} << QStringList{"a"};
    QTest::newRow("DeleteLines 0") << ListOp([](TLexEditStringList &L) { L.DeleteLines(99, 0); })
                                   << QStringList{} << QStringList{"a", "b", "c"};
    QTest::newRow("Exchange") << ListOp([](TLexEditStringList &L) { L.Exchange(0, 2); })
                              << QStringList{"changing", "change"} << QStringList{"c", "b", "a"};
    QTest::newRow("Clear") << ListOp([](TLexEditStringList &L) { L.Clear(); })
                           << QStringList{"changing", "cleared", "change"} << QStringList{};
    QTest::newRow("Text write") << ListOp([](TLexEditStringList &L) {
        L.SetText("x\r\ny\r\n");
    }) << QStringList{"changing", "cleared", "inserted 0 1", "inserted 1 1", "change"}
                                << QStringList{"x", "y"};
    QTest::newRow("Text write empty") << ListOp([](TLexEditStringList &L) { L.SetText(""); })
                                      << QStringList{"changing", "cleared", "change"} << QStringList{};
    QTest::newRow("SetTextAndFileFormat")
        << ListOp([](TLexEditStringList &L) { L.SetTextAndFileFormat("x\ny\n"); })
        << QStringList{"changing", "cleared", "inserted 0 3", "change"} << QStringList{"x", "y", ""};
    QTest::newRow("TabWidth") << ListOp([](TLexEditStringList &L) { L.SetTabWidth(3); }) << QStringList{}
                              << QStringList{"a", "b", "c"};
}

void TestLexEditTextBuffer::notifications() {
    QFETCH(ListOp, op);
    QFETCH(QStringList, log);
    QFETCH(QStringList, lines);
    TLexEditStringList L;
    Fill(L, {"a", "b", "c"});
    NotificationLog Log(L);
    op(L);
    QCOMPARE(Log.Entries, log);
    QCOMPARE(LinesOf(L), lines);
    QCOMPARE(L.UpdateCount(), 0);
}

void TestLexEditTextBuffer::outerBracketGivesOneChangePair() {
    TLexEditStringList L;
    NotificationLog Log(L);
    L.Clear(); // empty list: nothing at all
    QCOMPARE(Log.Entries, QStringList{});
    {
        TLexEditStringList::UpdateGuard Guard(L);
        L.Add("a");
        L.Put(0, "b");
        L.Delete(0);
    }
    QCOMPARE(Log.Entries, (QStringList{"changing", "inserted 0 1", "put 0 a", "deleted 0 1", "change"}));
    L.EndUpdate(); // unbalanced: ignored
    QCOMPARE(L.UpdateCount(), 0);
}

void TestLexEditTextBuffer::invalidIndexLeavesListUnchanged_data() {
    QTest::addColumn<ListOp>("op");
    QTest::addColumn<int>("index");
    QTest::newRow("Insert -1") << ListOp([](TLexEditStringList &L) { L.Insert(-1, "x"); }) << -1;
    QTest::newRow("Insert Count+1") << ListOp([](TLexEditStringList &L) { L.Insert(4, "x"); }) << 4;
    QTest::newRow("InsertLines") << ListOp([](TLexEditStringList &L) { L.InsertLines(5, 0); }) << 5;
    QTest::newRow("InsertStrings") << ListOp([](TLexEditStringList &L) { L.InsertStrings(-2, {"x"}); }) << -2;
    QTest::newRow("InsertText") << ListOp([](TLexEditStringList &L) { L.InsertText(9, "x"); }) << 9;
    QTest::newRow("Put Count+1") << ListOp([](TLexEditStringList &L) { L.Put(4, "x"); }) << 4;
    QTest::newRow("Put -1") << ListOp([](TLexEditStringList &L) { L.Put(-1, "x"); }) << -1;
    QTest::newRow("PutObject Count") << ListOp([](TLexEditStringList &L) { L.PutObject(3, nullptr); }) << 3;
    QTest::newRow("PutRange Count") << ListOp([](TLexEditStringList &L) { L.PutRange(3, 1); }) << 3;
    QTest::newRow("Delete Count") << ListOp([](TLexEditStringList &L) { L.Delete(3); }) << 3;
    QTest::newRow("DeleteLines Count") << ListOp([](TLexEditStringList &L) { L.DeleteLines(3, 1); }) << 3;
    QTest::newRow("Exchange first") << ListOp([](TLexEditStringList &L) { L.Exchange(7, 8); }) << 7;
    QTest::newRow("Exchange second") << ListOp([](TLexEditStringList &L) { L.Exchange(0, -1); }) << -1;
}

void TestLexEditTextBuffer::invalidIndexLeavesListUnchanged() {
    QFETCH(ListOp, op);
    QFETCH(int, index);
    TLexEditStringList L;
    Fill(L, {"a", "b", "c"});
    L.PutRange(1, 7);
    NotificationLog Log(L);
    try {
        op(L);
        QFAIL("no exception");
    } catch (const ELexEditStringList &E) {
        QCOMPARE(E.Message(), QStringLiteral("Invalid stringlist index %1").arg(index));
        QCOMPARE(QString(E.ClassName()), QStringLiteral("ELexEditStringList"));
    }
    QCOMPARE(LinesOf(L), (QStringList{"a", "b", "c"}));
    QCOMPARE(L.GetRange(1), TLexRange(7));
    QCOMPARE(Log.Entries, QStringList{});
    QCOMPARE(L.UpdateCount(), 0);
}

void TestLexEditTextBuffer::capacityBelowCount() {
    TLexEditStringList L;
    Fill(L, {"a", "b", "c"});
    const int Cap = L.Capacity();
    QVERIFY_THROWS_EXCEPTION(EListError, L.SetCapacity(2));
    try {
        L.SetCapacity(2);
    } catch (const EListError &E) {
        QCOMPARE(E.Message(), QStringLiteral("Stringlist capacity cannot be smaller than count"));
    }
    QCOMPARE(L.Capacity(), Cap);
    QCOMPARE(LinesOf(L), (QStringList{"a", "b", "c"}));
    L.SetCapacity(100);
    QCOMPARE(L.Capacity(), 100);
    L.SetCapacity(3);
    QCOMPARE(L.Capacity(), 3);
    QCOMPARE(LinesOf(L), (QStringList{"a", "b", "c"}));
}

void TestLexEditTextBuffer::capacityGrowsGeometrically() {
    TLexEditStringList L;
    L.Add("x");
    QCOMPARE(L.Capacity(), 16); // grows by 16 while small
    int Reallocations = 0;
    int Cap = L.Capacity();
    // Many small bulk insertions: the capacity must not be set to exactly the new count each time.
    for (int i = 0; i < 5000; ++i) {
        L.InsertStrings(L.Count(), {"a", "b", "c"});
        if (L.Capacity() != Cap) {
            QVERIFY2(L.Capacity() >= Cap + Cap / 4, "growth below a quarter");
            Cap = L.Capacity();
            ++Reallocations;
        }
        QVERIFY(L.Capacity() >= L.Count());
    }
    QVERIFY2(Reallocations < 40, qPrintable(QString::number(Reallocations)));
    L.Clear();
    QCOMPARE(L.Capacity(), 0); // the array is freed
}

void TestLexEditTextBuffer::readingOutOfRange() {
    TLexEditStringList L;
    Fill(L, {"a"});
    QCOMPARE(L.Get(1), QString());
    QCOMPARE(L.Get(-1), QString());
    QCOMPARE(L.GetObject(5), nullptr);
    QCOMPARE(L.GetRange(5), TLexRange(0));
    QCOMPARE(L.ExpandedStrings(5), QString());
    QCOMPARE(L.ExpandedStringLengths(5), 0);
    QCOMPARE(L.LineCharLength(5), 0);
    QCOMPARE(L.LineCharIndex(5), 0);
    QCOMPARE(TLexEditStringList().GetSeparatedText(","), QString());
    QCOMPARE(TLexEditStringList().LengthOfLongestLine(), 0);
}

void TestLexEditTextBuffer::newLinesAndPutKeepRange() {
    TLexEditStringList L;
    Fill(L, {"a", "b"});
    L.InsertLines(1, 1);
    for (int i = 0; i < L.Count(); ++i) {
        QCOMPARE(L.GetRange(i), NullRange);
        QCOMPARE(L.GetObject(i), nullptr);
    }
    int Obj = 0;
    L.PutRange(0, 5);
    L.PutObject(0, &Obj);
    L.Put(0, "changed");
    QCOMPARE(L.GetRange(0), TLexRange(5));
    QCOMPARE(L.GetObject(0), static_cast<void *>(&Obj));
}

void TestLexEditTextBuffer::exchangeSwapsWholeRecords() {
    TLexEditStringList L;
    Fill(L, {"one", "\ttwo"});
    int Obj = 0;
    L.PutRange(0, 11);
    L.PutObject(1, &Obj);
    L.SetTabWidth(4);
    QCOMPARE(L.ExpandedStringLengths(1), 7);
    L.Exchange(0, 1);
    QCOMPARE(LinesOf(L), (QStringList{"\ttwo", "one"}));
    QCOMPARE(L.GetRange(1), TLexRange(11));
    QCOMPARE(L.GetRange(0), NullRange);
    QCOMPARE(L.GetObject(0), static_cast<void *>(&Obj));
    QCOMPARE(L.ExpandedStringLengths(0), 7);
    QCOMPARE(L.ExpandedStringLengths(1), 3);
    QCOMPARE(L.LineCharIndex(1), 4);
}

void TestLexEditTextBuffer::textProperty() {
    TLexEditStringList L;
    L.SetText("a\r\n");
    QCOMPARE(LinesOf(L), QStringList{"a"}); // no empty last line
    L.SetText("a\nb\rc\r\n\r\nd");
    QCOMPARE(LinesOf(L), (QStringList{"a", "b", "c", "", "d"}));
    QCOMPARE(L.Text(), QStringLiteral("a\r\nb\r\nc\r\n\r\nd"));
    QCOMPARE(L.GetSeparatedText("|"), QStringLiteral("a|b|c||d"));
    L.SetLineBreak("\n");
    QCOMPARE(L.Text(), QStringLiteral("a\nb\nc\n\nd"));
    L.SetText(QString("x") + QChar(0x2028) + "y"); // U+2028 is no break for Text
    QCOMPARE(L.Count(), 1);
}

void TestLexEditTextBuffer::expandedLengths() {
    TLexEditStringList L(&WidenIdeographs);
    Fill(L, {"\tx", QString("a") + Wide + "\t", "", "plain"});
    L.SetTabWidth(4);
    QCOMPARE(L.ExpandedStringLengths(0), 5);
    QCOMPARE(L.ExpandedStrings(0), QStringLiteral("\t\t\t\tx"));
    // The wide glyph takes columns 1 and 2, so the tab covers column 3 alone: the tab-expanded
    // text has 3 characters, the display form 4 cells.
    QCOMPARE(L.ExpandedStrings(1).size(), 3);
    QCOMPARE(L.ExpandedStringLengths(1), 4);
    QCOMPARE(L.ExpandedStringLengths(2), 0);
    QCOMPARE(L.ExpandedStrings(3), QStringLiteral("plain"));
    QCOMPARE(L.LengthOfLongestLine(), 5);
    L.SetTabWidth(8);
    QCOMPARE(L.ExpandedStringLengths(0), 9);
    QCOMPARE(L.LengthOfLongestLine(), 9);
    L.SetTabWidth(1);
    QCOMPARE(L.ExpandedStrings(0), QStringLiteral(" x"));
    QCOMPARE(L.LengthOfLongestLine(), 5);
}

void TestLexEditTextBuffer::lineCharIndex() {
    TLexEditStringList L;
    Fill(L, {"ab", "", "cde", "f"});
    QCOMPARE(L.LineCharIndex(0), 0);
    QCOMPARE(L.LineCharIndex(3), 5);
    L.Add("gh");
    QCOMPARE(L.LineCharIndex(4), 6);
    L.Put(0, "abcd");
    QCOMPARE(L.LineCharIndex(0), 0);
    QCOMPARE(L.LineCharIndex(4), 8);
    L.Insert(1, "xyz");
    QCOMPARE(L.LineCharIndex(2), 7);
    QCOMPARE(L.LineCharIndex(5), 11);
    L.Delete(0);
    QCOMPARE(L.LineCharIndex(4), 7);
    QCOMPARE(L.LineCharLength(0), 3);
}

void TestLexEditTextBuffer::longestLineFollowsEdits() {
    TLexEditStringList L;
    Fill(L, {"aaaa", "bb", "cccc"});
    QCOMPARE(L.LengthOfLongestLine(), 4);
    L.Put(0, "a"); // the first longest line shrinks: the tie partner takes over
    QCOMPARE(L.LengthOfLongestLine(), 4);
    L.Put(2, "c");
    QCOMPARE(L.LengthOfLongestLine(), 2);
    L.Put(1, "bbbbbbb"); // the longest line grows
    QCOMPARE(L.LengthOfLongestLine(), 7);
    L.Insert(0, "123456789");
    QCOMPARE(L.LengthOfLongestLine(), 9);
    L.Delete(0);
    QCOMPARE(L.LengthOfLongestLine(), 7);
    L.Exchange(0, 1);
    QCOMPARE(L.LengthOfLongestLine(), 7);
    L.DeleteLines(0, 2);
    QCOMPARE(L.LengthOfLongestLine(), 1);
    L.Clear();
    QCOMPARE(L.LengthOfLongestLine(), 0);
    Fill(L, {"", ""});
    QCOMPARE(L.LengthOfLongestLine(), 0);
}

void TestLexEditTextBuffer::handlerErrorStillClosesBracket() {
    TLexEditStringList L;
    NotificationLog Log(L);
    L.OnInserted = [](TLexEditStringList *, int, int) { throw common::Exception("handler failed"); };
    QVERIFY_THROWS_EXCEPTION(common::Exception, L.Add("a"));
    QCOMPARE(L.UpdateCount(), 0);
    QCOMPARE(Log.Entries, (QStringList{"changing", "change"}));
    QCOMPARE(L.Count(), 1);
}

void TestLexEditTextBuffer::changingHandlerErrorChangesNothing() {
    TLexEditStringList L;
    L.OnChanging = [](TLexEditStringList *) { throw common::Exception("no"); };
    QVERIFY_THROWS_EXCEPTION(common::Exception, L.Add("a"));
    QCOMPARE(L.Count(), 0);
    QCOMPARE(L.UpdateCount(), 0);
}

void TestLexEditTextBuffer::randomEditsKeepCachesExact() {
    // A model list and the buffer receive the same random operations; every cached value read
    // at random moments must equal a fresh computation on a new list with the same text.
    QRandomGenerator rng(20240611);
    int WideFactor = 1; // changed together with FontChanged()
    auto Widen = [&WideFactor](const QString &S) {
        QString Result;
        for (QChar c : S) {
            if (c == Wide)
                for (int k = 1; k < WideFactor; ++k)
                    Result += FillerChar;
            Result += c;
        }
        return Result;
    };
    auto RandomLine = [&rng]() {
        QString S;
        const int Len = int(rng.bounded(rng.bounded(4) == 0 ? 30 : 8));
        for (int i = 0; i < Len; ++i) {
            const int k = int(rng.bounded(10));
            S += k == 0 ? QChar('\t') : k == 1 ? Wide : QChar('a' + k);
        }
        return S;
    };
    for (int Round = 0; Round < 40; ++Round) {
        TLexEditStringList L(Widen);
        QStringList Model;
        int Width = 8;
        // Lines taken out whole, put back later somewhere (after other edits, tab width and
        // font changes), as the undo of a deletion of everything does.
        std::shared_ptr<TLexTakenLines> Taken;
        QStringList TakenModel;
        // Lines loaded from bytes point into a block the list holds.
        for (int k = 0; Round % 2 == 1 && k < 20; ++k)
            Model << RandomLine();
        L.LoadFromBytes(Model.join(QStringLiteral("\r\n")).toUtf8());
        Model = LinesOf(L);
        for (int Step = 0; Step < 300; ++Step) {
            const int n = L.Count();
            const int Index = n == 0 ? 0 : int(rng.bounded(n));
            switch (rng.bounded(12)) {
            case 0:
            case 1:
                L.Add(RandomLine());
                Model.append(L.Get(L.Count() - 1));
                break;
            case 2: {
                const int At = int(rng.bounded(n + 1));
                const QString S = RandomLine();
                L.Insert(At, S);
                Model.insert(At, S);
                break;
            }
            case 3:
                if (n > 0) {
                    const QString S = RandomLine();
                    L.Put(Index, S);
                    Model[Index] = S;
                }
                break;
            case 4:
                if (n > 0) {
                    const int Num = int(rng.bounded(4)) + 1;
                    L.DeleteLines(Index, Num);
                    Model.erase(Model.begin() + Index, Model.begin() + std::min<int>(n, Index + Num));
                }
                break;
            case 5:
                if (n > 0) {
                    const int Other = int(rng.bounded(n));
                    L.Exchange(Index, Other);
                    Model.swapItemsAt(Index, Other);
                }
                break;
            case 6: {
                QStringList Bulk;
                for (int k = int(rng.bounded(5)); k > 0; --k)
                    Bulk << RandomLine();
                const int At = int(rng.bounded(n + 1));
                L.InsertStrings(At, Bulk);
                for (int k = 0; k < Bulk.size(); ++k)
                    Model.insert(At + k, Bulk[k]);
                break;
            }
            case 7:
                if (rng.bounded(10) == 0) {
                    Width = int(rng.bounded(1, 10));
                    L.SetTabWidth(Width);
                } else if (rng.bounded(10) == 0) {
                    WideFactor = int(rng.bounded(1, 4));
                    L.FontChanged();
                } else if (rng.bounded(20) == 0) {
                    L.Clear();
                    Model.clear();
                }
                break;
            case 8:
                if (Taken) {
                    const int At = int(rng.bounded(n + 1));
                    L.RestoreLines(At, *Taken);
                    for (int k = 0; k < TakenModel.size(); ++k)
                        Model.insert(At + k, TakenModel[k]);
                    Taken.reset();
                } else if (n > 0) {
                    Taken = L.TakeLines(Index);
                    TakenModel = Model.mid(Index);
                    Model.erase(Model.begin() + Index, Model.end());
                }
                break;
            default: {
                // Reads that fill the caches at random moments.
                if (n > 0) {
                    L.ExpandedStringLengths(Index);
                    L.LineCharIndex(Index);
                }
                L.LengthOfLongestLine();
                break;
            }
            }
            QCOMPARE(L.Count(), int(Model.size()));
            if (Step % 7 != 0) continue;
            QCOMPARE(LinesOf(L), Model);
            TLexEditStringList Fresh(Widen);
            Fresh.SetTabWidth(Width);
            Fresh.AddStrings(Model);
            QCOMPARE(L.LengthOfLongestLine(), Fresh.LengthOfLongestLine());
            int Longest = 0, Sum = 0;
            for (int i = 0; i < L.Count(); ++i) {
                QCOMPARE(L.LineCharIndex(i), Sum);
                Sum += int(Model[i].size());
                // Tabs reach their stops in display columns, after the wide glyphs' fillers.
                QString Expanded;
                int Cells = 0;
                for (QChar c : Model[i]) {
                    if (c != QLatin1Char('\t')) {
                        Expanded += c;
                        Cells += int(Widen(QString(c)).size());
                    } else if (Width < 2) {
                        Expanded += QLatin1Char(' ');
                        ++Cells;
                    } else {
                        const int Stop = Width - Cells % Width;
                        Expanded += QString(Stop, QLatin1Char('\t'));
                        Cells += Stop;
                    }
                }
                QCOMPARE(L.ExpandedStringLengths(i), Cells);
                QCOMPARE(L.ExpandedStrings(i), Expanded);
                Longest = std::max(Longest, L.ExpandedStringLengths(i));
            }
            QCOMPARE(L.LengthOfLongestLine(), Longest);
        }
    }
}

namespace {

// Lines that probe the storage forms: below and at U+00FF (8-bit form), U+0100 and above (wide
// form), NUL, surrogate pairs and lone surrogates, tabs in both forms.
QStringList BoundaryLines() {
    return {
        QString(),
        QStringLiteral("a"),
        QString(QChar(0xFF)),
        QString(QChar(0x100)),
        QStringLiteral("caf") + QChar(0xE9) + QChar(0x7F) + QChar(0x80),
        QStringLiteral("x") + QChar(0xFF) + QChar(0x100) + QStringLiteral("y"),
        QString(QChar(0)),
        QStringLiteral("a") + QChar(0) + QStringLiteral("b") + QChar(0),
        QString::fromUcs4(U"\U0001F600 smile"),
        QString(QChar(0xD83D)),                 // lone high surrogate
        QString(QChar(0xDE00)) + QChar('z'),    // lone low surrogate
        QString(QChar(0xFFFF)) + QChar(0xFFFE), // the last code units
        QStringLiteral("\tx\ty"),
        QString(QChar(0x100)) + QStringLiteral("\t") + QChar(0xFF),
        QString(Wide) + QStringLiteral("\t"),
        QString(40, QChar(0xFF)),
        QString(40, QChar(0x100)),
    };
}

QString Expanded(const QString &S, int TabWidth) {
    bool HasTabs = false;
    return GetBestConvertTabsProcEx(TabWidth)(S, TabWidth, HasTabs);
}

// Every reader of the list agrees with the model lines.
void CompareWithModel(TLexEditStringList &L, const QStringList &Model, int TabWidth) {
    QCOMPARE(L.Count(), int(Model.size()));
    QCOMPARE(LinesOf(L), Model);
    QCOMPARE(L.Text(), Model.join(QStringLiteral("\r\n")));
    QCOMPARE(L.GetSeparatedText(QStringLiteral("|")), Model.join(QLatin1Char('|')));
    int Sum = 0, Longest = 0;
    for (int i = 0; i < Model.size(); ++i) {
        const QString Line = L.Get(i);
        QCOMPARE(Line, Model[i]);
        QCOMPARE(Line.size(), Model[i].size());
        QCOMPARE(L.Strings(i), Model[i]);
        QCOMPARE(L.LineCharLength(i), int(Model[i].size()));
        QCOMPARE(L.LineCharIndex(i), Sum);
        Sum += int(Model[i].size());
        const QString Exp = Expanded(Model[i], TabWidth);
        QCOMPARE(L.ExpandedStrings(i), Exp);
        QCOMPARE(L.ExpandedStringLengths(i), int(Exp.size()));
        Longest = std::max(Longest, int(Exp.size()));
    }
    QCOMPARE(L.LengthOfLongestLine(), Longest);
}

} // namespace

void TestLexEditTextBuffer::storageFormsRoundTrip_data() {
    QTest::addColumn<QString>("line");
    const QStringList Lines = BoundaryLines();
    for (int i = 0; i < Lines.size(); ++i)
        QTest::addRow("line %d", i) << Lines[i];
}

void TestLexEditTextBuffer::storageFormsRoundTrip() {
    // Each line through every way in: Add, Insert, InsertStrings, Put, the text setters.
    QFETCH(QString, line);
    TLexEditStringList L;
    L.Add(line);
    L.Insert(0, line);
    L.InsertStrings(1, {line, QStringLiteral("plain"), line});
    L.AddStrings({line});
    L.Put(2, line); // "plain" becomes the line
    QStringList Model(6, line);
    CompareWithModel(L, Model, 8);
    // The text setters cut at line breaks; none of the boundary lines holds one.
    L.SetText(Model.join(QStringLiteral("\n")));
    CompareWithModel(L, line.isEmpty() ? QStringList(5, QString()) : Model, 8);
    L.SetTextAndFileFormat(Model.join(QStringLiteral("\r\n")));
    CompareWithModel(L, Model, 8);
    L.SetTabWidth(3);
    CompareWithModel(L, Model, 3);
}

void TestLexEditTextBuffer::putSwitchesStorageForm() {
    // Every line put over every other: the old line handed to OnPut and the new line read back
    // are exact, whatever form each is held in.
    const QStringList Lines = BoundaryLines();
    TLexEditStringList L;
    L.AddStrings({QStringLiteral("before"), QString(), QStringLiteral("after")});
    QString LastOld;
    int Puts = 0;
    L.OnPut = [&](TLexEditStringList *, int Index, const QString &Old) {
        QCOMPARE(Index, 1);
        LastOld = Old;
        ++Puts;
    };
    QString Current;
    for (const QString &From : Lines) {
        for (const QString &To : Lines) {
            L.Put(1, From);
            QCOMPARE(LastOld, Current);
            L.Put(1, To);
            QCOMPARE(LastOld, From);
            QCOMPARE(L.Get(1), To);
            QCOMPARE(L.LineCharLength(1), int(To.size()));
            QCOMPARE(L.LineCharIndex(2), 6 + int(To.size()));
            QCOMPARE(L.ExpandedStrings(1), Expanded(To, 8));
            Current = To;
        }
    }
    QCOMPARE(Puts, 2 * int(Lines.size() * Lines.size()));
    QCOMPARE(L.Get(0), QStringLiteral("before"));
    QCOMPARE(L.Get(2), QStringLiteral("after"));
    // Without a handler the old line is not needed, and the new one is still exact.
    L.OnPut = nullptr;
    L.Put(1, Lines[4]);
    QCOMPARE(L.Get(1), Lines[4]);
}

void TestLexEditTextBuffer::longLinesAroundLatin1Limit() {
    // Lines of every length near the longest line kept as 8-bit characters; the last character
    // decides between the forms.
    TLexEditStringList L;
    L.SetTabWidth(4);
    QStringList Model;
    for (int Len : {4094, 4095, 4096, 4097, 4098, 10000}) {
        for (QChar Last : {QChar('a'), QChar(0xFF), QChar(0x100), QChar('\t'), QChar(0)}) {
            QString S(Len - 1, QChar(0xE0));
            S += Last;
            L.Add(S);
            Model << S;
        }
    }
    CompareWithModel(L, Model, 4);
    // Put switches a long line between the forms.
    for (int i = 0; i + 1 < Model.size(); ++i) {
        L.Put(i, Model[i + 1]);
        Model[i] = Model[i + 1];
    }
    CompareWithModel(L, Model, 4);
}

void TestLexEditTextBuffer::returnedStringsAreIndependent() {
    // A string read from the list keeps its value after the line changes or goes away, and
    // changing it changes nothing in the list.
    TLexEditStringList L;
    const QString WideLine = QStringLiteral("wide ") + QChar(0x4E00);
    L.AddStrings({QStringLiteral("narrow"), WideLine, QStringLiteral("\ttab")});
    const QString A = L.Get(0), B = L.Get(1), C = L.ExpandedStrings(2), T = L.Text();
    QStringList All = L.ToStringList();
    QString Changed = L.Get(1);
    Changed[0] = QChar('W');
    QCOMPARE(L.Get(1), WideLine);
    L.Put(0, QStringLiteral("other"));
    L.Put(1, QStringLiteral("other too"));
    L.Delete(2);
    L.Clear();
    QCOMPARE(A, QStringLiteral("narrow"));
    QCOMPARE(B, WideLine);
    QCOMPARE(C, QStringLiteral("\t\t\t\t\t\t\t\ttab"));
    QCOMPARE(T, QStringLiteral("narrow\r\n") + WideLine + QStringLiteral("\r\n\ttab"));
    QCOMPARE(All, (QStringList{QStringLiteral("narrow"), WideLine, QStringLiteral("\ttab")}));
}

void TestLexEditTextBuffer::objectsFollowTheirLines() {
    TLexEditStringList L;
    Fill(L, {"a", "b", "c", "d", "e"});
    int Objs[5] = {};
    for (int i = 0; i < 5; ++i)
        L.PutObject(i, &Objs[i]);
    L.PutObject(2, nullptr); // removes the object of "c"
    L.Insert(1, "x");        // a x b c d e
    L.InsertStrings(0, {"p", "q"});
    QCOMPARE(L.GetObject(0), nullptr);
    QCOMPARE(L.GetObject(2), static_cast<void *>(&Objs[0]));
    QCOMPARE(L.GetObject(3), nullptr);
    QCOMPARE(L.GetObject(4), static_cast<void *>(&Objs[1]));
    QCOMPARE(L.GetObject(5), nullptr);
    L.Exchange(4, 5); // b and c: the objects go along
    QCOMPARE(L.GetObject(4), nullptr);
    QCOMPARE(L.GetObject(5), static_cast<void *>(&Objs[1]));
    L.DeleteLines(2, 3); // p q | a x c | b d e
    QCOMPARE(LinesOf(L), (QStringList{"p", "q", "b", "d", "e"}));
    QCOMPARE(L.GetObject(2), static_cast<void *>(&Objs[1]));
    QCOMPARE(L.GetObject(3), static_cast<void *>(&Objs[3]));
    QCOMPARE(L.GetObject(4), static_cast<void *>(&Objs[4]));
    L.Put(3, "D"); // Put keeps the object
    QCOMPARE(L.GetObject(3), static_cast<void *>(&Objs[3]));
    L.Clear();
    L.Add("new");
    QCOMPARE(L.GetObject(0), nullptr);
}

void TestLexEditTextBuffer::randomEditsMatchStringListModel() {
    // Random operations on the list and on a QStringList model (with models of the objects and
    // ranges), with lines drawn from characters at the storage boundaries; after every step the
    // list must read exactly as the model, through every reader.
    QRandomGenerator rng(7140721);
    const QChar Alphabet[] = {QChar('a'),    QChar('z'),    QChar('\t'),   QChar(0),      QChar(0x7F),
                              QChar(0x80),   QChar(0xE9),   QChar(0xFF),   QChar(0x100),  QChar(0x101),
                              QChar(0x4E00), QChar(0xD83D), QChar(0xDE00), QChar(0xFFFF), QChar(' ')};
    const int AlphabetSize = int(sizeof(Alphabet) / sizeof(Alphabet[0]));
    auto RandomLine = [&]() {
        QString S;
        const int Len = rng.bounded(50) == 0 ? 4090 + int(rng.bounded(12)) : int(rng.bounded(12));
        // Most lines stay below U+0100, so that both forms are common.
        const int Limit = rng.bounded(3) == 0 ? AlphabetSize : 8;
        for (int i = 0; i < Len; ++i)
            S += Alphabet[rng.bounded(Limit)];
        if (rng.bounded(5) == 0) S += QString::fromUcs4(U"\U0001F600");
        return S;
    };
    int Objects[8] = {};
    for (int Round = 0; Round < 30; ++Round) {
        TLexEditStringList L;
        QStringList Model;
        QList<void *> ObjModel;
        QList<TLexRange> RangeModel;
        int Width = 8;
        QString PutOld;
        L.OnPut = [&PutOld](TLexEditStringList *, int, const QString &Old) { PutOld = Old; };
        for (int Step = 0; Step < 200; ++Step) {
            const int n = L.Count();
            const int Index = n == 0 ? 0 : int(rng.bounded(n));
            switch (rng.bounded(14)) {
            case 0:
            case 1: {
                const QString S = RandomLine();
                L.Add(S);
                Model << S;
                ObjModel << nullptr;
                RangeModel << NullRange;
                break;
            }
            case 2: {
                const int At = int(rng.bounded(n + 1));
                const QString S = RandomLine();
                L.Insert(At, S);
                Model.insert(At, S);
                ObjModel.insert(At, nullptr);
                RangeModel.insert(At, NullRange);
                break;
            }
            case 3:
            case 4:
                if (n > 0) {
                    const QString S = RandomLine();
                    L.Put(Index, S);
                    QCOMPARE(PutOld, Model[Index]);
                    Model[Index] = S;
                }
                break;
            case 5:
                if (n > 0) {
                    const int Num = int(rng.bounded(4)) + 1;
                    const int End = std::min(n, Index + Num);
                    L.DeleteLines(Index, Num);
                    Model.erase(Model.begin() + Index, Model.begin() + End);
                    ObjModel.erase(ObjModel.begin() + Index, ObjModel.begin() + End);
                    RangeModel.erase(RangeModel.begin() + Index, RangeModel.begin() + End);
                }
                break;
            case 6:
                if (n > 0) {
                    const int Other = int(rng.bounded(n));
                    L.Exchange(Index, Other);
                    Model.swapItemsAt(Index, Other);
                    ObjModel.swapItemsAt(Index, Other);
                    RangeModel.swapItemsAt(Index, Other);
                }
                break;
            case 7: {
                QStringList Bulk;
                for (int k = int(rng.bounded(5)); k > 0; --k)
                    Bulk << RandomLine();
                const int At = int(rng.bounded(n + 1));
                L.InsertStrings(At, Bulk);
                for (int k = 0; k < Bulk.size(); ++k) {
                    Model.insert(At + k, Bulk[k]);
                    ObjModel.insert(At + k, nullptr);
                    RangeModel.insert(At + k, NullRange);
                }
                break;
            }
            case 8:
                if (n > 0) {
                    void *Obj = rng.bounded(3) == 0 ? nullptr : &Objects[rng.bounded(8)];
                    L.PutObject(Index, Obj);
                    ObjModel[Index] = Obj;
                }
                break;
            case 9:
                if (n > 0) {
                    const TLexRange R = TLexRange(rng.bounded(100));
                    L.PutRange(Index, R);
                    RangeModel[Index] = R;
                }
                break;
            case 10:
                if (rng.bounded(4) == 0) {
                    Width = int(rng.bounded(1, 10));
                    L.SetTabWidth(Width);
                } else if (rng.bounded(8) == 0) {
                    // Replaces everything through the loader's path.
                    QStringList Lines;
                    for (int k = int(rng.bounded(6)); k > 0; --k)
                        Lines << RandomLine();
                    const QString Joined = Lines.join(QStringLiteral("\r\n"));
                    L.SetTextAndFileFormat(Joined);
                    // An empty text gives no lines, not one empty line.
                    Model = Joined.isEmpty() ? QStringList() : Lines;
                    ObjModel = QList<void *>(Model.size(), nullptr);
                    RangeModel = QList<TLexRange>(Model.size(), NullRange);
                } else if (rng.bounded(10) == 0) {
                    L.Clear();
                    Model.clear();
                    ObjModel.clear();
                    RangeModel.clear();
                }
                break;
            default:
                // Reads that fill the caches at random moments.
                if (n > 0) {
                    L.ExpandedStringLengths(Index);
                    L.LineCharIndex(Index);
                    QCOMPARE(L.Get(Index), Model[Index]);
                }
                L.LengthOfLongestLine();
                break;
            }
            QCOMPARE(L.Count(), int(Model.size()));
            for (int i = 0; i < Model.size(); ++i) {
                QCOMPARE(L.GetObject(i), ObjModel[i]);
                QCOMPARE(L.GetRange(i), RangeModel[i]);
            }
            if (Step % 5 == 0) CompareWithModel(L, Model, Width);
        }
        CompareWithModel(L, Model, Width);
    }
}

QTEST_GUILESS_MAIN(TestLexEditTextBuffer)
#include "tst_lexedittextbuffer.moc"
