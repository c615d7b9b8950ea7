#include "lexedit/LexEditHighlighter.h" // EListError
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
        if (c == Wide)
            Result += FillerChar;
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
};

void TestLexEditTextBuffer::notifications_data() {
    QTest::addColumn<ListOp>("op");
    QTest::addColumn<QStringList>("log");
    QTest::addColumn<QStringList>("lines");
    // Each operation runs on the list "a", "b", "c".
    QTest::newRow("Add") << ListOp([](TLexEditStringList &L) { QCOMPARE(L.Add("d"), 3); })
                         << QStringList{"changing", "inserted 3 1", "change"} << QStringList{"a", "b", "c", "d"};
    QTest::newRow("Insert") << ListOp([](TLexEditStringList &L) { L.Insert(1, "x"); })
                            << QStringList{"changing", "inserted 1 1", "change"} << QStringList{"a", "x", "b", "c"};
    QTest::newRow("InsertLines") << ListOp([](TLexEditStringList &L) { L.InsertLines(3, 2); })
                                 << QStringList{"changing", "inserted 3 2", "change"}
                                 << QStringList{"a", "b", "c", "", ""};
    QTest::newRow("InsertLines 0") << ListOp([](TLexEditStringList &L) { L.InsertLines(1, 0); }) << QStringList{}
                                   << QStringList{"a", "b", "c"};
    QTest::newRow("InsertStrings from") << ListOp([](TLexEditStringList &L) {
        L.InsertStrings(0, {"p", "q", "r"}, 1);
    }) << QStringList{"changing", "inserted 0 2", "change"} << QStringList{"q", "r", "a", "b", "c"};
    QTest::newRow("InsertStrings none") << ListOp([](TLexEditStringList &L) { L.InsertStrings(0, {"p"}, 1); })
                                        << QStringList{} << QStringList{"a", "b", "c"};
    QTest::newRow("AddStrings") << ListOp([](TLexEditStringList &L) { L.AddStrings({"p", "q"}); })
                                << QStringList{"changing", "inserted 3 2", "change"}
                                << QStringList{"a", "b", "c", "p", "q"};
    QTest::newRow("InsertText") << ListOp([](TLexEditStringList &L) { L.InsertText(1, "x\r\ny\rz\n"); })
                                << QStringList{"changing", "inserted 1 3", "change"}
                                << QStringList{"a", "x", "y", "z", "b", "c"};
    QTest::newRow("InsertText empty") << ListOp([](TLexEditStringList &L) { L.InsertText(1, ""); }) << QStringList{}
                                      << QStringList{"a", "b", "c"};
    QTest::newRow("Put") << ListOp([](TLexEditStringList &L) { L.Put(1, "B"); })
                         << QStringList{"changing", "put 1 b", "change"} << QStringList{"a", "B", "c"};
    QTest::newRow("Put at Count appends") << ListOp([](TLexEditStringList &L) { L.Put(3, "d"); })
                                          << QStringList{"changing", "inserted 3 1", "change"}
                                          << QStringList{"a", "b", "c", "d"};
    QTest::newRow("PutObject") << ListOp([](TLexEditStringList &L) { L.PutObject(0, &L); })
                               << QStringList{"changing", "change"} << QStringList{"a", "b", "c"};
    QTest::newRow("PutRange") << ListOp([](TLexEditStringList &L) { L.PutRange(0, 42); }) << QStringList{}
                              << QStringList{"a", "b", "c"};
    QTest::newRow("Delete") << ListOp([](TLexEditStringList &L) { L.Delete(0); })
                            << QStringList{"changing", "deleted 0 1", "change"} << QStringList{"b", "c"};
    QTest::newRow("DeleteLines past end") << ListOp([](TLexEditStringList &L) { L.DeleteLines(1, 1000); })
                                          << QStringList{"changing", "deleted 1 2", "change"} << QStringList{"a"};
    QTest::newRow("DeleteLines 0") << ListOp([](TLexEditStringList &L) { L.DeleteLines(99, 0); }) << QStringList{}
                                   << QStringList{"a", "b", "c"};
    QTest::newRow("Exchange") << ListOp([](TLexEditStringList &L) { L.Exchange(0, 2); })
                              << QStringList{"changing", "change"} << QStringList{"c", "b", "a"};
    QTest::newRow("Clear") << ListOp([](TLexEditStringList &L) { L.Clear(); })
                           << QStringList{"changing", "cleared", "change"} << QStringList{};
    QTest::newRow("Text write") << ListOp([](TLexEditStringList &L) { L.SetText("x\r\ny\r\n"); })
                                << QStringList{"changing", "cleared", "inserted 0 1", "inserted 1 1", "change"}
                                << QStringList{"x", "y"};
    QTest::newRow("Text write empty") << ListOp([](TLexEditStringList &L) { L.SetText(""); })
                                      << QStringList{"changing", "cleared", "change"} << QStringList{};
    QTest::newRow("SetTextAndFileFormat") << ListOp([](TLexEditStringList &L) { L.SetTextAndFileFormat("x\ny\n"); })
                                          << QStringList{"changing", "cleared", "inserted 0 3", "change"}
                                          << QStringList{"x", "y", ""};
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
    // The tab-expanded text has 4 characters; the wide glyph adds one more cell.
    QCOMPARE(L.ExpandedStrings(1).size(), 4);
    QCOMPARE(L.ExpandedStringLengths(1), 5);
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
            if (Step % 7 != 0)
                continue;
            QCOMPARE(LinesOf(L), Model);
            TLexEditStringList Fresh(Widen);
            Fresh.SetTabWidth(Width);
            Fresh.AddStrings(Model);
            QCOMPARE(L.LengthOfLongestLine(), Fresh.LengthOfLongestLine());
            int Longest = 0, Sum = 0;
            for (int i = 0; i < L.Count(); ++i) {
                QCOMPARE(L.LineCharIndex(i), Sum);
                Sum += int(Model[i].size());
                bool HasTabs = false;
                const QString Expanded = GetBestConvertTabsProcEx(Width)(Model[i], Width, HasTabs);
                QCOMPARE(L.ExpandedStringLengths(i), int(Widen(Expanded).size()));
                QCOMPARE(L.ExpandedStrings(i), Expanded);
                Longest = std::max(Longest, L.ExpandedStringLengths(i));
            }
            QCOMPARE(L.LengthOfLongestLine(), Longest);
        }
    }
}

QTEST_GUILESS_MAIN(TestLexEditTextBuffer)
#include "tst_lexedittextbuffer.moc"
