// SPDX-License-Identifier: MIT
// Fold ranges and the PHP fold scan: markers to ranges, the row map of collapsed ranges against a
// plain walk over the ranges, the indexed queries against plain walks, line insertion and
// deletion, collapsed state through a stream and across rebuilds, incremental scans after random
// edits against a fresh full scan, and the folding options.

#include "lexedit/LexEditCodeFolding.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QBuffer>
#include <QRandomGenerator>
#include <QtTest>

#include <algorithm>

using namespace lexedit;

namespace {

// ---- plain walks over the ranges, as the queries are defined ------------------------------------

int WalkLineToRow(const std::vector<TLexFoldRange> &Ranges, int Line) {
    int Result = Line;
    int c = 0;
    for (const TLexFoldRange &R : Ranges) {
        if (R.FromLine >= Line) break;
        if (!R.Collapsed) continue;
        if (R.ToLine < Line) {
            Result -= std::max(0, R.ToLine - std::max(R.FromLine, c));
            c = std::max(c, R.ToLine);
        } else {
            Result -= Line - std::max(R.FromLine, c);
            break;
        }
    }
    return Result;
}

int WalkRowToLine(const std::vector<TLexFoldRange> &Ranges, int Row) {
    int Result = Row;
    int c = 0;
    for (const TLexFoldRange &R : Ranges) {
        if (R.FromLine >= Result) break;
        if (!R.Collapsed) continue;
        Result += std::max(0, R.ToLine - std::max(R.FromLine, c));
        c = std::max(c, R.ToLine);
    }
    return Result;
}

int WalkAround(const std::vector<TLexFoldRange> &Ranges, int Line, bool WantCollapsed, bool AcceptFrom,
               bool AcceptTo) {
    int Result = -1;
    for (size_t i = 0; i < Ranges.size(); ++i) {
        const TLexFoldRange &R = Ranges[i];
        if (R.FromLine > Line) break;
        const bool FromOk = R.FromLine < Line || (R.FromLine == Line && AcceptFrom);
        const bool ToOk = R.ToLine > Line || (R.ToLine == Line && AcceptTo);
        if (FromOk && ToOk && R.Collapsed == WantCollapsed) Result = int(i);
    }
    return Result;
}

int WalkEnd(const std::vector<TLexFoldRange> &Ranges, int Line) {
    for (size_t i = 0; i < Ranges.size(); ++i) {
        if (Ranges[i].FromLine > Line) break;
        if (Ranges[i].ToLine == Line) return int(i);
    }
    return -1;
}

std::vector<int> WalkLevel(const std::vector<TLexFoldRange> &Ranges, int Level) {
    std::vector<int> Result;
    std::vector<int> Stack;
    for (size_t i = 0; i < Ranges.size(); ++i) {
        const TLexFoldRange &R = Ranges[i];
        if (R.FoldType == FoldRegionType) continue;
        Stack.erase(std::remove_if(Stack.begin(), Stack.end(),
                                   [&](int k) { return Ranges[size_t(k)].ToLine <= R.FromLine; }),
                    Stack.end());
        Stack.push_back(int(i));
        if (int(Stack.size()) == Level) Result.push_back(int(i));
    }
    return Result;
}

// Random ranges: nested blocks, some overlapping regions and one-line ranges.
void RandomRanges(QRandomGenerator &R, TLexFoldRanges &F, int Lines) {
    F.Reset();
    for (int Line = 1; Line <= Lines; ++Line) {
        const int k = R.bounded(10);
        if (k < 4) {
            const int Len = R.bounded(k == 0 ? Lines / 2 + 1 : 8);
            F.AddByParts(k == 3 ? FoldRegionType : 1, Line, std::min(Lines, Line + Len));
        }
    }
    for (int i = 0; i < F.Count(); ++i)
        F.SetCollapsed(i, R.bounded(3) == 0);
}

// ---- a buffer scanned as the editor scans it ----------------------------------------------------

QStringList SplitLines(const QString &S) {
    return S.split(QLatin1Char('\n'));
}

void ScanAllRanges(TLexCustomHighlighter &H, TLexEditStringList &L) {
    H.ResetRange();
    for (int i = 0; i < L.Count(); ++i) {
        H.SetLine(L.Get(i), i);
        H.NextToEol();
        L.PutRange(i, H.GetRange());
    }
}

// A buffer with the PHP highlighter's ranges and fold ranges kept up to date line by line from
// the buffer's notifications: changed lines are rescanned until the end ranges agree again, and
// fold markers are taken again for every line whose text or start or end state changed.
struct TFoldedText {
    TLexEditStringList L;
    TLexPHPLex H;
    TLexFoldRanges F;

    // The highlighter scan from Index until a line ends as before; the last line scanned.
    int ScanFrom(int Index) {
        const int Count = L.Count();
        if (Index >= Count) return Count - 1;
        if (Index == 0)
            H.ResetRange();
        else
            H.SetRange(L.GetRange(Index - 1));
        for (;;) {
            H.SetLine(L.Get(Index), Index);
            H.NextToEol();
            const TLexRange Range = H.GetRange();
            if (Range == L.GetRange(Index)) return Index;
            L.PutRange(Index, Range);
            if (++Index >= Count) return Count - 1;
        }
    }
    void Rescan(int From, int To) {
        F.StartScanning();
        H.ScanForFoldRanges(F, L, From, To);
        F.StopScanning(L);
    }
    TFoldedText() {
        L.OnInserted = [this](TLexEditStringList *, int Index, int Count) {
            if (Loading) return;
            F.LinesInserted(Index, Count);
            int Last = Index;
            int i = Index;
            do {
                Last = ScanFrom(i);
                i = Last + 1;
            } while (i < Index + Count);
            Rescan(Index, Last);
        };
        L.OnDeleted = [this](TLexEditStringList *, int Index, int Count) {
            if (Loading) return;
            F.LinesDeleted(Index, Count);
            Rescan(Index, ScanFrom(Index));
        };
        L.OnPut = [this](TLexEditStringList *, int Index, const QString &) {
            if (!Loading) Rescan(Index, ScanFrom(Index));
        };
    }
    void SetText(const QString &S) {
        Loading = true;
        L.Clear();
        L.AddStrings(SplitLines(S));
        Loading = false;
        ScanAllRanges(H, L);
        F.Reset();
        H.InitFoldRanges(F);
        Rescan(0, L.Count() - 1);
    }
    bool Loading = false;
};

// Markers and ranges of a fresh full scan of the lines.
void FullScan(const QStringList &Lines, std::vector<TLineFoldInfo> &Infos,
              std::vector<TLexFoldRange> &Ranges) {
    TLexEditStringList L;
    L.AddStrings(Lines);
    TLexPHPLex H;
    ScanAllRanges(H, L);
    TLexFoldRanges F;
    F.StartScanning();
    H.ScanForFoldRanges(F, L, 0, L.Count() - 1);
    F.StopScanning(L);
    Infos = F.FoldInfos();
    Ranges = F.AllRanges();
}

std::vector<TLexFoldRange> WithoutCollapsed(std::vector<TLexFoldRange> R) {
    for (TLexFoldRange &x : R)
        x.Collapsed = false;
    return R;
}

QString Describe(const std::vector<TLexFoldRange> &R) {
    QStringList Parts;
    for (const TLexFoldRange &x : R)
        Parts << QStringLiteral("%1..%2:%3%4")
                     .arg(x.FromLine)
                     .arg(x.ToLine)
                     .arg(x.FoldType)
                     .arg(x.Collapsed ? "c" : "");
    return Parts.join(QLatin1Char(' '));
}

QString RangesOfText(const QString &Text) {
    std::vector<TLineFoldInfo> I;
    std::vector<TLexFoldRange> R;
    FullScan(SplitLines(Text), I, R);
    return Describe(R);
}

// The PHP highlighter counting the lines it is given to tokenise.
class TCountingPHPLex : public TLexPHPLex {
public:
    int SetLines = 0;
    void SetLine(const QString &Value, int LineNumber) override {
        ++SetLines;
        TLexPHPLex::SetLine(Value, LineNumber);
    }
};

// Pieces of PHP for random edits: blocks, comments, regions, strings holding braces.
const QStringList Pieces = {
    QStringLiteral("function f($a) {"),
    QStringLiteral("}"),
    QStringLiteral("  if ($a) { return 1; } else {"),
    QStringLiteral("/* open comment"),
    QStringLiteral("   still comment */ $x = 1;"),
    QStringLiteral("/** doc { */"),
    QStringLiteral("//#region setup"),
    QStringLiteral("//#endregion"),
    QStringLiteral("#region other"),
    QStringLiteral("#endregion"),
    QStringLiteral("$s = \"{ $b } {\";"),
    QStringLiteral("$t = '}';"),
    QStringLiteral("// a { in a comment"),
    QStringLiteral(""),
    QStringLiteral("    echo $a;"),
    QStringLiteral("class C {"),
    QStringLiteral("  }"),
    QStringLiteral("\"open string {"),
};

QString RandomPiece(QRandomGenerator &R) {
    return Pieces[R.bounded(int(Pieces.size()))];
}

} // namespace

class tst_lexedit_folding : public QObject {
    Q_OBJECT

private slots:
    void rangesFromMarkers_data();
    void rangesFromMarkers();
    void markerUnchangedKeepsFlag();
    void foldLineToRowExamples();
    void rowMapMatchesWalkAndRoundTrips();
    void indexedQueriesMatchWalks();
    void linesInsertedAndDeleted_data();
    void linesInsertedAndDeleted();
    void linesDeletedKeepsPendingRebuild();
    void rangesOutOfBoundsRaise();
    void addFoldRangeKeepsOrder();
    void collapsedStateRoundTripsThroughStream();
    void restoreIgnoresTrailingPartialInteger();
    void collapsedStateSurvivesRebuild();
    void indentationMode();
    void phpFoldScan_data();
    void phpFoldScan();
    void bracesInStringsAndCommentsDoNotFold_data();
    void bracesInStringsAndCommentsDoNotFold();
    void foldScanTokenisesEachLineOnce();
    void markersFollowTheTokens();
    void scanPastEndRecordsNothing();
    void incrementalEqualsFullAfterRandomEdits();
    void collapsedRangeStaysAfterEditsOutside();
    void insertThenDeleteRestoresRanges();
    void manyRangesWithoutCap();
    void scaledGutterShapeSize_data();
    void scaledGutterShapeSize();
    void codeFoldingOptions();
};

void tst_lexedit_folding::rangesFromMarkers_data() {
    QTest::addColumn<QString>("markers"); // line:o|c:type[:indent], comma separated
    QTest::addColumn<QString>("ranges");
    QTest::newRow("one range") << "2:o:1,5:c:1"
                               << "2..5:1";
    QTest::newRow("inner closes first") << "1:o:1,3:o:1,4:c:1"
                                        << "1..1:1 3..4:1";
    QTest::newRow("close of other type ignored") << "1:o:1,3:c:2,6:c:1"
                                                 << "1..6:1";
    QTest::newRow("close without open") << "2:c:1,3:o:1,4:c:1"
                                        << "3..4:1";
    QTest::newRow("interleaved types") << "1:o:1,2:o:99,4:c:1,6:c:99"
                                       << "1..4:1 2..6:99";
    QTest::newRow("indent closes at line before") << "1:o:1:0,3:o:1:1,5:o:1:0"
                                                  << "1..4:1 3..4:1 5..5:1";
    QTest::newRow("indent close marker") << "1:o:1:0,3:o:1:2,6:c:1:1"
                                         << "1..1:1 3..5:1";
}

void tst_lexedit_folding::rangesFromMarkers() {
    QFETCH(QString, markers);
    QFETCH(QString, ranges);
    TLexFoldRanges F;
    TLexEditStringList L;
    for (int i = 0; i < 10; ++i)
        L.Add(QStringLiteral("x"));
    for (const QString &M : markers.split(QLatin1Char(','))) {
        const QStringList P = M.split(QLatin1Char(':'));
        F.AddLineInfo(P[0].toInt(), P[2].toInt(), P[1] == QLatin1String("o") ? focOpen : focClose,
                      P.size() > 3 ? P[3].toInt() : -1);
    }
    QVERIFY(F.StopScanning(L));
    QVERIFY(!F.RangesNeedFixing());
    QCOMPARE(Describe(F.AllRanges()), ranges);
    QVERIFY(!F.StopScanning(L)); // nothing changed since
}

void tst_lexedit_folding::markerUnchangedKeepsFlag() {
    TLexFoldRanges F;
    TLexEditStringList L;
    L.AddStrings({QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")});
    F.StartFoldRange(1, 1);
    F.StopFoldRange(3, 1);
    QVERIFY(F.StopScanning(L));
    F.StartFoldRange(1, 1);
    QVERIFY(!F.RangesNeedFixing());
    F.StartFoldRange(1, 2);
    QVERIFY(F.RangesNeedFixing());
    F.NoFoldInfo(2); // no marker there: nothing changes
    F.StopScanning(L);
    F.NoFoldInfo(2);
    QVERIFY(!F.RangesNeedFixing());
    F.NoFoldInfo(3);
    QVERIFY(F.RangesNeedFixing());
}

void tst_lexedit_folding::foldLineToRowExamples() {
    TLexFoldRanges F;
    F.AddByParts(1, 2, 5);
    F.SetCollapsed(0, true);
    QCOMPARE(F.FoldLineToRow(6), 3);
    QCOMPARE(F.FoldLineToRow(4), 2);
    QCOMPARE(F.FoldRowToLine(3), 6);
    QVERIFY(!F.FoldHidesLine(2));
    for (int l = 3; l <= 5; ++l)
        QVERIFY(F.FoldHidesLine(l));
    QVERIFY(!F.FoldHidesLine(6));
    F.Reset();
    F.AddByParts(1, 2, 10);
    F.AddByParts(1, 4, 6);
    F.SetCollapsed(0, true);
    F.SetCollapsed(1, true);
    QCOMPARE(F.FoldLineToRow(11), 3);
    QCOMPARE(F.HiddenLineCount(), 8);
}

void tst_lexedit_folding::rowMapMatchesWalkAndRoundTrips() {
    QRandomGenerator R(25);
    TLexFoldRanges F;
    for (int Round = 0; Round < 300; ++Round) {
        const int Lines = 1 + R.bounded(60);
        RandomRanges(R, F, Lines);
        const auto &Ranges = F.AllRanges();
        for (int l = 1; l <= Lines + 2; ++l) {
            const int Row = F.FoldLineToRow(l);
            QCOMPARE(Row, WalkLineToRow(Ranges, l));
            if (!F.FoldHidesLine(l)) QCOMPARE(F.FoldRowToLine(Row), l);
        }
        for (int r = 1; r <= Lines + 2; ++r)
            QCOMPARE(F.FoldRowToLine(r), WalkRowToLine(Ranges, r));
    }
}

void tst_lexedit_folding::indexedQueriesMatchWalks() {
    QRandomGenerator R(7);
    TLexFoldRanges F;
    for (int Round = 0; Round < 200; ++Round) {
        const int Lines = 1 + R.bounded(50);
        RandomRanges(R, F, Lines);
        const auto &Ranges = F.AllRanges();
        for (int l = 0; l <= Lines + 1; ++l) {
            for (int Mask = 0; Mask < 8; ++Mask) {
                int Index = -1;
                const bool Found = F.FoldAroundLineEx(l, Mask & 1, Mask & 2, Mask & 4, Index);
                const int Expected = WalkAround(Ranges, l, Mask & 1, Mask & 2, Mask & 4);
                QCOMPARE(Found ? Index : -1, Expected);
            }
            int Index = -1;
            QCOMPARE(F.FoldEndAtLine(l, Index) ? Index : -1, WalkEnd(Ranges, l));
        }
        for (int Level = 1; Level <= 4; ++Level)
            QCOMPARE(F.FoldsAtLevel(Level), WalkLevel(Ranges, Level));
        // Lines inserted and deleted after the indexes were built: they follow.
        for (int Edit = 0; Edit < 4; ++Edit) {
            if (R.bounded(2) == 0)
                F.LinesInserted(R.bounded(Lines + 1), 1 + R.bounded(3));
            else
                F.LinesDeleted(R.bounded(Lines), 1 + R.bounded(3));
            for (int l = 0; l <= Lines + 4; ++l) {
                int Index = -1;
                QCOMPARE(F.FoldEndAtLine(l, Index) ? Index : -1, WalkEnd(F.AllRanges(), l));
                QCOMPARE(F.FoldHidesLine(l, Index) ? Index : -1,
                         WalkAround(F.AllRanges(), l, true, false, true));
                QCOMPARE(F.FoldLineToRow(l), WalkLineToRow(F.AllRanges(), l));
            }
        }
        // A collapse after the indexes were built is seen by them.
        if (F.Count() > 0) {
            const int k = R.bounded(F.Count());
            F.SetCollapsed(k, !F.Ranges(k).Collapsed);
            for (int l = 0; l <= Lines + 1; ++l) {
                int Index = -1;
                QCOMPARE(F.FoldHidesLine(l, Index) ? Index : -1,
                         WalkAround(F.AllRanges(), l, true, false, true));
                QCOMPARE(F.FoldLineToRow(l), WalkLineToRow(F.AllRanges(), l));
            }
        }
    }
}

void tst_lexedit_folding::linesInsertedAndDeleted_data() {
    QTest::addColumn<bool>("insert");
    QTest::addColumn<int>("index");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("ranges");
    QTest::addColumn<bool>("needsFixing");
    QTest::newRow("insert inside") << true << 3 << 2 << "2..7:1" << false;
    QTest::newRow("insert before") << true << 1 << 2 << "4..7:1" << false;
    QTest::newRow("insert after") << true << 5 << 2 << "2..5:1" << false;
    QTest::newRow("delete inside") << false << 2 << 2 << "2..3:1" << false;
    QTest::newRow("delete first line") << false << 1 << 1 << "" << true;
    QTest::newRow("delete last line") << false << 4 << 1 << "2..4:1" << true;
    QTest::newRow("delete before") << false << 0 << 1 << "1..4:1" << false;
}

void tst_lexedit_folding::linesInsertedAndDeleted() {
    QFETCH(bool, insert);
    QFETCH(int, index);
    QFETCH(int, count);
    QFETCH(QString, ranges);
    QFETCH(bool, needsFixing);
    TLexFoldRanges F;
    TLexEditStringList L;
    for (int i = 0; i < 8; ++i)
        L.Add(QString());
    F.StartFoldRange(2, 1);
    F.StopFoldRange(5, 1);
    F.StopScanning(L);
    if (insert)
        F.LinesInserted(index, count);
    else
        F.LinesDeleted(index, count);
    QCOMPARE(Describe(F.AllRanges()), ranges);
    QCOMPARE(F.RangesNeedFixing(), needsFixing);
    // The markers moved with the ranges: a rebuild from them gives the same ranges.
    if (!needsFixing) {
        const auto Before = F.AllRanges();
        F.RecreateFoldRanges(L);
        QCOMPARE(Describe(F.AllRanges()), Describe(Before));
    }
}

void tst_lexedit_folding::linesDeletedKeepsPendingRebuild() {
    // A marker recorded inside one update of the buffer, then lines deleted elsewhere before the
    // update ends: the rebuild is still due.
    TLexFoldRanges F;
    TLexEditStringList L;
    for (int i = 0; i < 10; ++i)
        L.Add(QString());
    F.StartFoldRange(2, 1);
    F.StopFoldRange(4, 1);
    F.StopScanning(L);
    F.StartFoldRange(6, 1);
    F.StopFoldRange(8, 1);
    F.LinesDeleted(8, 1); // line 9: no marker, no range
    QVERIFY(F.RangesNeedFixing());
    QVERIFY(F.StopScanning(L));
    QCOMPARE(Describe(F.AllRanges()), QStringLiteral("2..4:1 6..8:1"));
}

void tst_lexedit_folding::rangesOutOfBoundsRaise() {
    TLexFoldRanges F;
    F.AddByParts(1, 1, 3);
    QCOMPARE(F.Ranges(0).ToLine, 3);
    QVERIFY_THROWS_EXCEPTION(EArgumentOutOfRangeException, F.Ranges(1));
    QVERIFY_THROWS_EXCEPTION(EArgumentOutOfRangeException, F.Ranges(-1));
    QVERIFY_THROWS_EXCEPTION(EArgumentOutOfRangeException, F.SetCollapsed(1, true));
}

void tst_lexedit_folding::addFoldRangeKeepsOrder() {
    TLexFoldRanges F;
    F.AddFoldRange(TLexFoldRange::Create(10, 12, 1));
    F.AddFoldRange(TLexFoldRange::Create(2, 5, 1));
    F.AddFoldRange(TLexFoldRange::Create(7, 8, 2));
    F.AddFoldRange(TLexFoldRange::Create(7, 9, 1)); // the same first line replaces
    QCOMPARE(Describe(F.AllRanges()), QStringLiteral("2..5:1 7..9:1 10..12:1"));
    QVERIFY(F.FoldStartAtLine(2));
    QVERIFY(F.FoldStartAtLine(10));
    QVERIFY(!F.FoldStartAtLine(8));
}

void tst_lexedit_folding::collapsedStateRoundTripsThroughStream() {
    QRandomGenerator R(3);
    for (int Round = 0; Round < 50; ++Round) {
        TLexFoldRanges F;
        RandomRanges(R, F, 40);
        QBuffer B;
        B.open(QIODevice::ReadWrite);
        F.StoreCollapsedState(B);
        const auto Expected = F.AllRanges();
        int Collapsed = 0;
        for (int i = 0; i < F.Count(); ++i) {
            Collapsed += F.Ranges(i).Collapsed ? 1 : 0;
            F.SetCollapsed(i, false);
        }
        QCOMPARE(int(B.size()), 4 * Collapsed);
        B.seek(0);
        F.RestoreCollapsedState(B);
        QCOMPARE(Describe(F.AllRanges()), Describe(Expected));
    }
}

void tst_lexedit_folding::restoreIgnoresTrailingPartialInteger() {
    TLexFoldRanges F;
    F.AddByParts(1, 2, 4);
    F.AddByParts(1, 6, 9);
    // 6, then 1000 (no range there: a line past the end), then two bytes of a number.
    QByteArray Bytes;
    for (uint32_t V : {6u, 1000u})
        for (int k = 0; k < 4; ++k)
            Bytes.append(char((V >> (8 * k)) & 0xFF));
    Bytes.append(char(2));
    Bytes.append(char(0));
    QBuffer B(&Bytes);
    B.open(QIODevice::ReadOnly);
    F.RestoreCollapsedState(B);
    QCOMPARE(Describe(F.AllRanges()), QStringLiteral("2..4:1 6..9:1c"));
}

void tst_lexedit_folding::collapsedStateSurvivesRebuild() {
    TFoldedText T;
    T.SetText(QStringLiteral("<?php\nfunction a() {\n  x();\n}\n/* c\n c */\nfunction b() {\n}\n"));
    QCOMPARE(Describe(T.F.AllRanges()), QStringLiteral("2..4:1 5..6:2 7..8:1"));
    T.F.SetCollapsed(0, true);
    T.F.SetCollapsed(2, true);
    // A change of markers rebuilds the ranges: the collapsed ones stay collapsed.
    T.L.Insert(0, QStringLiteral("if (1) {"));
    QCOMPARE(Describe(T.F.AllRanges()), QStringLiteral("1..1:1 3..5:1c 6..7:2 8..9:1c"));
    T.L.Put(0, QStringLiteral("if (1) { }"));
    QCOMPARE(Describe(T.F.AllRanges()), QStringLiteral("3..5:1c 6..7:2 8..9:1c"));
}

void tst_lexedit_folding::indentationMode() {
    TLexFoldRanges F;
    F.SetCodeFoldingMode(cfmIndentation);
    TLexEditStringList L;
    L.AddStrings({QStringLiteral("a:"), QStringLiteral("  b"), QStringLiteral("  c:"),
                  QStringLiteral("    d"), QStringLiteral(""), QStringLiteral("e"), QStringLiteral("  f"),
                  QStringLiteral("  ")});
    F.StartFoldRange(1, 1, 0);
    F.StartFoldRange(3, 1, 1);
    F.StartFoldRange(6, 1, 0);
    F.StopScanning(L);
    // Open ranges end at the last line, then blank last lines are dropped.
    QCOMPARE(Describe(F.AllRanges()), QStringLiteral("1..4:1 3..4:1 6..7:1"));
    QCOMPARE(F.GetIndentLevel(5), 1);
    QCOMPARE(F.GetIndentLevel(1), -1);
}

void tst_lexedit_folding::phpFoldScan_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("ranges");
    QTest::newRow("braces") << "function f() {\n  body();\n}"
                            << "1..3:1";
    QTest::newRow("else keeps the range open") << "if ($a) {\n  x();\n} else {\n  y();\n}"
                                               << "1..5:1";
    QTest::newRow("block comment") << "$a;\n\n\n/* one\n two\n three */\n$b;"
                                   << "4..6:2";
    QTest::newRow("doc comment") << "/**\n * doc\n */\nfunction f() {}"
                                 << "1..3:2";
    QTest::newRow("region") << "//#REGION one\n$a;\n  //#EndRegion"
                            << "1..3:99";
    QTest::newRow("region lower case, blanks") << "\t  //#region\n$a;\n//#endregion"
                                               << "1..3:99";
    QTest::newRow("hash region") << "#region x\nf();\n#endregion"
                                 << "1..3:99";
    QTest::newRow("slash region") << "//region x\nf();\n//endregion"
                                  << "1..3:99";
    QTest::newRow("longer word is no region") << "//#regional\nf();\n//#endregion"
                                              << "";
    QTest::newRow("region around braces") << "//#region\nclass A {\n  f();\n}\n//#endregion"
                                          << "1..5:99 2..4:1";
    QTest::newRow("unclosed brace one line") << "function f() {\n  x();"
                                             << "1..1:1";
    QTest::newRow("nested") << "class A {\n  function f() {\n    x();\n  }\n}"
                            << "1..5:1 2..4:1";
    QTest::newRow("comment end and brace") << "/* a\n b */ if (1) {\n}"
                                           << "1..2:2";
}

void tst_lexedit_folding::phpFoldScan() {
    QFETCH(QString, text);
    QFETCH(QString, ranges);
    QCOMPARE(RangesOfText(text), ranges);
}

void tst_lexedit_folding::bracesInStringsAndCommentsDoNotFold_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("line comment") << "// {\nx();\n// }";
    QTest::newRow("hash comment") << "# {\nx();\n# }";
    QTest::newRow("block comment on one line") << "/* { */\nx();\n/* } */";
    QTest::newRow("doc comment on one line") << "/** { */\nx();\n/** } */";
    QTest::newRow("single-quoted string") << "$a = '{';\nx();\n$b = '}';";
    QTest::newRow("double-quoted string") << "$a = \"{\";\nx();\n$b = \"}\";";
    QTest::newRow("variable expansion") << "$a = \"{$b} {\";\nx();\n$c = \"${d}\";";
    QTest::newRow("multi-line string") << "$a = \"\n{\nx();\n}\n\";";
    QTest::newRow("inside a block comment") << "/*\n{\n*/\nf();\n/*\n}\n*/";
}

void tst_lexedit_folding::bracesInStringsAndCommentsDoNotFold() {
    QFETCH(QString, text);
    std::vector<TLineFoldInfo> I;
    std::vector<TLexFoldRange> R;
    FullScan(SplitLines(text), I, R);
    for (const TLexFoldRange &x : R)
        QVERIFY2(x.FoldType != 1, qPrintable(Describe(R)));
}

void tst_lexedit_folding::foldScanTokenisesEachLineOnce() {
    TLexEditStringList L;
    for (int i = 0; i < 200; ++i)
        L.Add(QStringLiteral("  if ($a) { f('{'); } else { g(\"}\"); } { { } // { }"));
    TCountingPHPLex H;
    ScanAllRanges(H, L);
    TLexFoldRanges F;
    H.SetLines = 0;
    H.ScanForFoldRanges(F, L, 0, L.Count() - 1);
    QVERIFY2(H.SetLines <= L.Count(), qPrintable(QString::number(H.SetLines)));
}

void tst_lexedit_folding::markersFollowTheTokens() {
    // Random lines of braces, strings, comments and region markers: every line's marker is the
    // one its tokens give (scanned from the stored state of the line before), whatever shortcut
    // the scan takes.
    QRandomGenerator R(31);
    const QStringList Bits = {
        QStringLiteral("{"),    QStringLiteral("}"),         QStringLiteral(" "),
        QStringLiteral("\""),   QStringLiteral("'"),         QStringLiteral("`"),
        QStringLiteral("/*"),   QStringLiteral("*/"),        QStringLiteral("//"),
        QStringLiteral("#"),    QStringLiteral("$a"),        QStringLiteral("${b}"),
        QStringLiteral("f();"), QStringLiteral("//#region"), QStringLiteral("#endregion"),
        QStringLiteral("\\"),   QStringLiteral("else")};
    for (int Round = 0; Round < 60; ++Round) {
        TLexEditStringList L;
        for (int i = 0; i < 40; ++i) {
            QString S;
            const int n = R.bounded(7);
            for (int k = 0; k < n; ++k)
                S += Bits[R.bounded(int(Bits.size()))];
            L.Add(S);
        }
        TLexPHPLex H;
        ScanAllRanges(H, L);
        TLexFoldRanges F;
        H.ScanForFoldRanges(F, L, 0, L.Count() - 1);
        TLexPHPLex T;
        for (int i = 0; i < L.Count(); ++i) {
            const auto Comment = [&](int k) {
                const TLexRange r = L.GetRange(k);
                return r == TLexRange(php::rsComment) || r == TLexRange(php::rsDocument);
            };
            const bool In = Comment(i), Prev = i > 0 && Comment(i - 1);
            QString Expected = QStringLiteral("none");
            if (In && !Prev) {
                Expected = QStringLiteral("open 2");
            } else if (!In && Prev) {
                Expected = QStringLiteral("close 2");
            } else if (!In) {
                if (i == 0)
                    T.ResetRange();
                else
                    T.SetRange(L.GetRange(i - 1));
                T.SetLine(L.Get(i), i);
                QString Braces;
                bool First = true;
                while (!T.GetEol()) {
                    const QString Tok = T.GetToken();
                    if (T.GetTokenID() == php::tkSymbol)
                        for (QChar c : Tok)
                            if (c == QLatin1Char('{') || c == QLatin1Char('}')) Braces += c;
                    if (First && T.GetTokenID() != php::tkSpace) {
                        First = false;
                        const QString U = Tok.toUpper();
                        auto Word = [&](const QString &W) {
                            return U.startsWith(W) &&
                                   (U.size() == W.size() ||
                                    !(U[W.size()].isLetterOrNumber() || U[W.size()] == QLatin1Char('_')));
                        };
                        if (T.GetTokenID() == php::tkComment) {
                            if (Word(QStringLiteral("//#REGION")) || Word(QStringLiteral("#REGION")) ||
                                Word(QStringLiteral("//REGION")))
                                Expected = QStringLiteral("open 99");
                            else if (Word(QStringLiteral("//#ENDREGION")) ||
                                     Word(QStringLiteral("#ENDREGION")) ||
                                     Word(QStringLiteral("//ENDREGION")))
                                Expected = QStringLiteral("close 99");
                        }
                    }
                    T.Next();
                }
                if (Expected == QLatin1String("none") && !Braces.isEmpty()) {
                    const QChar B = Braces[0];
                    if (!Braces.mid(1).contains(B == QLatin1Char('{') ? QLatin1Char('}') : QLatin1Char('{')))
                        Expected =
                            B == QLatin1Char('{') ? QStringLiteral("open 1") : QStringLiteral("close 1");
                }
            }
            QString Actual = QStringLiteral("none");
            for (const TLineFoldInfo &M : F.FoldInfos())
                if (M.Line == i + 1)
                    Actual = QStringLiteral("%1 %2")
                                 .arg(M.FoldOpenClose == focOpen ? "open" : "close")
                                 .arg(M.FoldType);
            QVERIFY2(Actual == Expected, qPrintable(QStringLiteral("line %1 [%2]: %3, expected %4")
                                                        .arg(i + 1)
                                                        .arg(L.Get(i), Actual, Expected)));
        }
    }
}

void tst_lexedit_folding::scanPastEndRecordsNothing() {
    TLexPHPLex H;
    TLexEditStringList Empty;
    TLexFoldRanges F;
    H.ScanForFoldRanges(F, Empty, 0, -1);
    H.ScanForFoldRanges(F, Empty, 0, 0);
    QCOMPARE(int(F.FoldInfos().size()), 0);
    TLexEditStringList L;
    L.AddStrings({QStringLiteral("{"), QStringLiteral("}")});
    ScanAllRanges(H, L);
    H.ScanForFoldRanges(F, L, 2, 5);
    H.ScanForFoldRanges(F, L, 7, 7);
    QCOMPARE(int(F.FoldInfos().size()), 0);
    QVERIFY(!F.RangesNeedFixing());
    H.ScanForFoldRanges(F, L, 1, 9); // clipped to the last line
    QCOMPARE(int(F.FoldInfos().size()), 1);
}

void tst_lexedit_folding::incrementalEqualsFullAfterRandomEdits() {
    QRandomGenerator R(2525);
    for (int Round = 0; Round < 40; ++Round) {
        TFoldedText T;
        QStringList Start;
        for (int i = 0; i < 30; ++i)
            Start << RandomPiece(R);
        T.SetText(Start.join(QLatin1Char('\n')));
        for (int Step = 0; Step < 40; ++Step) {
            const int Count = T.L.Count();
            const int k = R.bounded(6);
            if (k == 0 && Count > 1) { // delete a few lines
                const int i = R.bounded(Count);
                T.L.DeleteLines(i, std::min(Count - i, 1 + R.bounded(3)));
            } else if (k == 1) { // paste a block with regions
                QStringList Block = {QStringLiteral("//#region pasted"), RandomPiece(R), RandomPiece(R),
                                     QStringLiteral("//#endregion")};
                T.L.InsertStrings(R.bounded(Count + 1), Block);
            } else if (k == 2 && Count > 0) { // type an unclosed block comment
                const int i = R.bounded(Count);
                T.L.Put(i, T.L.Get(i) + QStringLiteral(" /*"));
            } else if (k == 3 && Count > 0) { // delete a brace
                const int i = R.bounded(Count);
                QString S = T.L.Get(i);
                const int p = std::max(S.indexOf(QLatin1Char('{')), S.indexOf(QLatin1Char('}')));
                if (p >= 0) S.remove(p, 1);
                T.L.Put(i, S);
            } else if (k == 4) {
                T.L.Insert(R.bounded(Count + 1), RandomPiece(R));
            } else if (Count > 0) {
                T.L.Put(R.bounded(Count), RandomPiece(R));
            }
            std::vector<TLineFoldInfo> I;
            std::vector<TLexFoldRange> Full;
            FullScan(T.L.ToStringList(), I, Full);
            QVERIFY2(T.F.FoldInfos() == I,
                     qPrintable(QStringLiteral("round %1 step %2").arg(Round).arg(Step)));
            QCOMPARE(Describe(WithoutCollapsed(T.F.AllRanges())), Describe(Full));
        }
    }
}

void tst_lexedit_folding::collapsedRangeStaysAfterEditsOutside() {
    QRandomGenerator R(11);
    for (int Round = 0; Round < 30; ++Round) {
        TFoldedText T;
        QStringList Start;
        // Pieces that leave no comment or string open, so nothing above swallows the function.
        while (Start.size() < 20) {
            const QString P = RandomPiece(R);
            if (!P.contains(QLatin1String("/* open")) && !P.startsWith(QLatin1Char('"'))) Start << P;
        }
        Start << QStringLiteral("function kept() {") << QStringLiteral("  $kept = 1;") << QStringLiteral("}");
        for (int i = 0; i < 20; ++i)
            Start << QStringLiteral("$z = %1;").arg(i);
        T.SetText(Start.join(QLatin1Char('\n')));
        int Index = 0;
        QVERIFY(T.F.FoldStartAtLine(21, Index));
        T.F.SetCollapsed(Index, true);
        int First = 21; // the line "function kept() {"
        for (int Step = 0; Step < 30; ++Step) {
            const bool Above = R.bounded(2) == 0;
            const int Count = T.L.Count();
            const int Line = Above ? R.bounded(First - 1) : First + 3 + R.bounded(Count - First - 2);
            const QString Safe = QStringLiteral("$y = %1; // }").arg(Step);
            switch (R.bounded(3)) {
            case 0:
                T.L.Insert(Line, Safe);
                if (Above) ++First;
                break;
            case 1:
                if (Line < Count && (Above ? First > 2 : Line >= First + 3)) {
                    T.L.Delete(Line);
                    if (Above) --First;
                }
                break;
            default:
                if (Line < Count) T.L.Put(Line, Safe);
                break;
            }
            QCOMPARE(T.L.Get(First - 1), QStringLiteral("function kept() {"));
            QVERIFY(T.F.CollapsedFoldStartAtLine(First, Index));
            QCOMPARE(T.F.Ranges(Index).ToLine, First + 2);
        }
    }
}

void tst_lexedit_folding::insertThenDeleteRestoresRanges() {
    QRandomGenerator R(5);
    for (int Round = 0; Round < 100; ++Round) {
        TFoldedText T;
        QStringList Start;
        for (int i = 0; i < 25; ++i)
            Start << RandomPiece(R);
        T.SetText(Start.join(QLatin1Char('\n')));
        for (int i = 0; i < T.F.Count(); ++i)
            T.F.SetCollapsed(i, R.bounded(2) == 0);
        const QString Before = Describe(T.F.AllRanges());
        const int At = R.bounded(T.L.Count() + 1);
        const int n = 1 + R.bounded(4);
        QStringList Block;
        for (int i = 0; i < n; ++i)
            Block << QStringLiteral("$v = %1;").arg(i);
        T.L.InsertStrings(At, Block);
        T.L.DeleteLines(At, n);
        QCOMPARE(Describe(T.F.AllRanges()), Before);
    }
}

void tst_lexedit_folding::manyRangesWithoutCap() {
    TFoldedText T;
    QStringList Lines;
    for (int i = 0; i < 20000; ++i)
        Lines << QStringLiteral("function f%1() {").arg(i) << QStringLiteral("  x();") << QStringLiteral("}");
    T.SetText(Lines.join(QLatin1Char('\n')));
    QCOMPARE(T.F.Count(), 20000);
    for (int i = 0; i < T.F.Count(); ++i)
        T.F.SetCollapsed(i, true);
    QCOMPARE(T.F.HiddenLineCount(), 40000);
    QCOMPARE(T.F.FoldLineToRow(60000), 20000);
    QCOMPARE(T.F.FoldRowToLine(20000), 59998);
}

void tst_lexedit_folding::scaledGutterShapeSize_data() {
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("ppi");
    QTest::addColumn<int>("expected");
    QTest::newRow("96") << 11 << 96 << 11;
    QTest::newRow("144 rounds up, odd") << 11 << 144 << 17;
    QTest::newRow("120 rounds to even, made odd") << 11 << 120 << 13;
    QTest::newRow("192") << 11 << 192 << 21;
    QTest::newRow("even size at 96") << 10 << 96 << 9;
}

void tst_lexedit_folding::scaledGutterShapeSize() {
    QFETCH(int, size);
    QFETCH(int, ppi);
    QFETCH(int, expected);
    TLexCodeFolding C;
    C.SetGutterShapeSize(size);
    QCOMPARE(C.ScaledGutterShapeSize(ppi), expected);
}

void tst_lexedit_folding::codeFoldingOptions() {
    TLexCodeFolding A;
    QCOMPARE(A.IndentGuides(), true);
    QCOMPARE(A.CollapsedLineColor(), clGrayText);
    QCOMPARE(A.FolderBarLinesColor(), clGrayText);
    QCOMPARE(A.IndentGuidesColor(), TColor(0x808080));
    QCOMPARE(A.ShowCollapsedLine(), false);
    QCOMPARE(A.ShowHintMark(), true);
    QCOMPARE(A.GutterShapeSize(), 11);
    int Changes = 0;
    A.SetOnChange([&](QObject *Sender) {
        QCOMPARE(Sender, &A);
        ++Changes;
    });
    A.SetShowCollapsedLine(false); // unchanged: no event
    QCOMPARE(Changes, 0);
    A.SetShowCollapsedLine(true);
    A.SetGutterShapeSize(13);
    QCOMPARE(Changes, 2);
    TLexCodeFolding B;
    B.Assign(&A);
    QCOMPARE(B.ShowCollapsedLine(), true);
    QCOMPARE(B.GutterShapeSize(), 13);
    QObject Other;
    QVERIFY_THROWS_EXCEPTION(EConvertError, B.Assign(&Other));
}

QTEST_MAIN(tst_lexedit_folding)
#include "tst_lexedit_folding.moc"
