// SPDX-License-Identifier: MIT
// Code folding in the editor: switching it on, the caret after collapses and edits, nested
// expansion, the commands, gutter clicks, undo into a collapsed range, the fold ranges kept equal
// to a fresh scan through random edits, the rescan limits, and the pixels of the fold shapes,
// the collapsed-line rule and the indent guides.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditCodeFolding.h"
#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditSearch.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QMouseEvent>
#include <QPainter>
#include <QtTest>

using namespace lexedit;
using namespace editor_test;

namespace {

const QStringList Sample = {
    QStringLiteral("<?php"),          // 1
    QStringLiteral("function a() {"), // 2  range 2..6
    QStringLiteral("  if ($x) {"),    // 3  range 3..5
    QStringLiteral("    y();"),       // 4
    QStringLiteral("  }"),            // 5
    QStringLiteral("}"),              // 6
    QStringLiteral("/* c"),           // 7  range 7..8 (comment)
    QStringLiteral(" c */"),          // 8
    QStringLiteral("//#region r"),    // 9  range 9..11 (region)
    QStringLiteral("$z = 1;"),        // 10
    QStringLiteral("//#endregion"),   // 11
    QStringLiteral("$end;"),          // 12
};

struct TFoldEdit {
    TLexEdit E;
    TLexPHPLex H;
    int64_t Clock = 1000;
    explicit TFoldEdit(const QStringList &ALines = Sample) {
        E.setAttribute(Qt::WA_DontShowOnScreen);
        E.SetEditorFont(TestFont());
        E.Gutter().SetFont(TestFont());
        E.Gutter().SetShowLineNumbers(true);
        E.resize(500, 400);
        E.show();
        E.SetHighlighter(&H);
        E.Lines()->AddStrings(ALines);
        E.SetUseCodeFolding(true);
    }
    int IndexAt(int Line) const {
        int Index = -1;
        return E.AllFoldRanges().FoldStartAtLine(Line, Index) ? Index : -1;
    }
    bool Collapsed(int Line) const { return E.AllFoldRanges().CollapsedFoldStartAtLine(Line); }
    int CollapsedCount() const {
        const auto &R = E.AllFoldRanges().AllRanges();
        return int(std::count_if(R.begin(), R.end(), [](const TLexFoldRange &x) { return x.Collapsed; }));
    }
    void Send(QEvent::Type AType, QPoint AAt, Qt::MouseButton AButton, Qt::MouseButtons AButtons) {
        QMouseEvent Ev(AType, QPointF(AAt), QPointF(E.viewport()->mapToGlobal(AAt)), AButton, AButtons,
                       Qt::NoModifier);
        Ev.setTimestamp(quint64(Clock));
        QCoreApplication::sendEvent(E.viewport(), &Ev);
    }
    void Click(QPoint AAt) {
        Clock += 1000;
        Send(QEvent::MouseButtonPress, AAt, Qt::LeftButton, Qt::LeftButton);
        Send(QEvent::MouseButtonRelease, AAt, Qt::LeftButton, Qt::NoButton);
    }
    QImage Paint() {
        QImage Img(E.viewport()->size(), QImage::Format_RGB32);
        Img.fill(Qt::white);
        QPainter P(&Img);
        E.paintArea(P, Img.rect());
        return Img;
    }
};

QString Describe(const std::vector<TLexFoldRange> &R) {
    QStringList Parts;
    for (const TLexFoldRange &x : R)
        Parts << QStringLiteral("%1..%2:%3").arg(x.FromLine).arg(x.ToLine).arg(x.FoldType);
    return Parts.join(QLatin1Char(' '));
}

// The ranges of a fresh editor given the same lines.
QString FreshRanges(const QStringList &Lines) {
    TLexEdit E;
    TLexPHPLex H;
    E.SetHighlighter(&H);
    E.Lines()->AddStrings(Lines);
    E.SetUseCodeFolding(true);
    return Describe(E.AllFoldRanges().AllRanges());
}

} // namespace

class tst_lexedit_folding_editor : public QObject {
    Q_OBJECT

private slots:
    void useCodeFoldingNeedsAFoldingHighlighter();
    void foldingTurnsWordWrapOff();
    void gutterOffsetAndShapeRect();
    void caretAfterCollapse_data();
    void caretAfterCollapse();
    void collapseNearestPicksInnermost();
    void nestedUncollapseAroundLine();
    void hiddenLinesSkippedByRowsAndCaret();
    void foldCommands();
    void gutterClickToggles();
    void collapseMarkClickExpands();
    void foldClickAfterCollapseNearTheEndActsOnThePressedRow();
    void collapseAllAndExpandAroundACaretDeepInsideNesting();
    void undoIntoCollapsedRangeUncollapses();
    void gotoHiddenLineUncollapses();
    void searchHitOnHiddenLineUncollapses();
    void typingBreakAfterCollapsedLineShowsNewLine();
    void incrementalEqualsFullThroughEditor();
    void deletionInsideUpdateKeepsPendingRebuild();
    void rescanLimits();
    void highlighterChangeRescans();
    void paintsGutterShapes();
    void paintsCollapsedLineRuleAndSkipsHiddenLines();
    void indentGuidesFromOneWalkMatchPerRowRule();
    void collapseMarkRect();
    void editorsSharingLinesFoldApart();
};

void tst_lexedit_folding_editor::useCodeFoldingNeedsAFoldingHighlighter() {
    TLexEdit E;
    E.Lines()->AddStrings(Sample);
    E.SetUseCodeFolding(true);
    QVERIFY(!E.UseCodeFolding()); // no highlighter, no event
    TLexHTMLLex Html;
    E.SetHighlighter(&Html);
    E.SetUseCodeFolding(true);
    QVERIFY(!E.UseCodeFolding());
    int Scans = 0;
    E.OnScanForFoldRanges = [&](TCustomLexEdit *, TLexFoldRanges &F, const TLexEditStringList &, int From,
                                int To) {
        ++Scans;
        for (int i = From; i <= To; ++i)
            if (i == 1)
                F.StartFoldRange(2, 5);
            else if (i == 3)
                F.StopFoldRange(4, 5);
    };
    E.SetUseCodeFolding(true);
    QVERIFY(E.UseCodeFolding());
    QCOMPARE(Scans, 1);
    QCOMPARE(Describe(E.AllFoldRanges().AllRanges()), QStringLiteral("2..4:5"));
    E.SetUseCodeFolding(false);
    QCOMPARE(E.AllFoldRanges().Count(), 0);
}

void tst_lexedit_folding_editor::foldingTurnsWordWrapOff() {
    TFoldEdit T;
    T.E.SetUseCodeFolding(false);
    T.E.SetWordWrap(true);
    QVERIFY(T.E.WordWrap());
    T.E.SetUseCodeFolding(true);
    QVERIFY(T.E.UseCodeFolding());
    QVERIFY(!T.E.WordWrap());
    T.E.SetWordWrap(true); // refused while folding is on
    QVERIFY(!T.E.WordWrap());
}

void tst_lexedit_folding_editor::gutterOffsetAndShapeRect() {
    TFoldEdit T;
    QCOMPARE(T.E.Gutter().RightOffset(), 15);
    const QRect R = T.E.GetFoldShapeRect(T.E.TopLine());
    QCOMPARE(R.width(), 11);
    QCOMPARE(R.height(), 11);
    QCOMPARE(T.E.GutterWidth() - R.left(), 15);
    QCOMPARE(R.top(), (T.E.LineHeight() - 11) / 2);
    T.E.SetUseCodeFolding(false);
    QCOMPARE(T.E.Gutter().RightOffset(), 2);
}

void tst_lexedit_folding_editor::caretAfterCollapse_data() {
    QTest::addColumn<int>("caretLine");
    QTest::addColumn<int>("expectedLine");
    QTest::addColumn<int>("expectedChar");
    QTest::newRow("hidden line") << 4 << 2 << 15;
    QTest::newRow("last line") << 6 << 2 << 15;
    QTest::newRow("first line stays") << 2 << 2 << 3;
    QTest::newRow("after the range") << 7 << 7 << 3;
}

void tst_lexedit_folding_editor::caretAfterCollapse() {
    QFETCH(int, caretLine);
    QFETCH(int, expectedLine);
    QFETCH(int, expectedChar);
    TFoldEdit T;
    T.E.SetCaretXY(BufferCoord(3, caretLine));
    T.E.Collapse(T.IndexAt(2));
    QCOMPARE(T.E.CaretXY(), BufferCoord(expectedChar, expectedLine));
}

void tst_lexedit_folding_editor::collapseNearestPicksInnermost() {
    TFoldEdit T;
    T.E.SetCaretXY(BufferCoord(1, 4));
    T.E.CollapseNearest();
    QVERIFY(T.Collapsed(3));
    QVERIFY(!T.Collapsed(2));
    QCOMPARE(T.E.CaretY(), 3);
    T.E.CollapseNearest(); // the caret on line 3: the innermost expanded range around it is 2..6
    QVERIFY(T.Collapsed(2));
    QCOMPARE(T.E.CaretY(), 2);
    // On the last line of an expanded range.
    T.E.SetCaretXY(BufferCoord(1, 8));
    T.E.CollapseNearest();
    QVERIFY(T.Collapsed(7));
    T.E.SetCaretXY(BufferCoord(1, 12));
    T.E.UncollapseNearest(); // no collapsed range starts on line 12
    QVERIFY(T.Collapsed(7));
    T.E.SetCaretXY(BufferCoord(1, 7));
    T.E.UncollapseNearest();
    QVERIFY(!T.Collapsed(7));
}

void tst_lexedit_folding_editor::nestedUncollapseAroundLine() {
    TFoldEdit T;
    T.E.Collapse(T.IndexAt(3));
    T.E.Collapse(T.IndexAt(2));
    QCOMPARE(T.E.LineToRow(7), 3);
    T.E.UncollapseAroundLine(4);
    QVERIFY(!T.Collapsed(2));
    QVERIFY(!T.Collapsed(3));
    QCOMPARE(T.E.LineToRow(7), 7);
}

void tst_lexedit_folding_editor::hiddenLinesSkippedByRowsAndCaret() {
    TFoldEdit T;
    T.E.Collapse(T.IndexAt(2));
    QCOMPARE(T.E.DisplayLineCount(), 8);
    for (int l = 1; l <= 12; ++l)
        if (!T.E.AllFoldRanges().FoldHidesLine(l)) QCOMPARE(T.E.RowToLine(T.E.LineToRow(l)), l);
    T.E.SetCaretXY(BufferCoord(1, 2));
    T.E.CommandProcessor(ecDown, QChar(), nullptr);
    QCOMPARE(T.E.CaretY(), 7);
    T.E.CommandProcessor(ecUp, QChar(), nullptr);
    QCOMPARE(T.E.CaretY(), 2);
    QVERIFY(T.Collapsed(2));
}

void tst_lexedit_folding_editor::foldCommands() {
    TFoldEdit T;
    T.E.SetCaretXY(BufferCoord(1, 12));
    T.E.CommandProcessor(ecFoldAll, QChar(), nullptr);
    for (int l : {2, 3, 7, 9})
        QVERIFY(T.Collapsed(l));
    QCOMPARE(T.E.DisplayLineCount(), 12 - 4 - 1 - 2);
    T.E.CommandProcessor(ecUnfoldAll, QChar(), nullptr);
    QCOMPARE(T.E.DisplayLineCount(), 12);
    T.E.CommandProcessor(ecFoldLevel2, QChar(), nullptr);
    QVERIFY(T.Collapsed(3));
    QVERIFY(!T.Collapsed(2));
    QVERIFY(!T.Collapsed(7)); // a level-1 comment
    T.E.CommandProcessor(ecUnfoldLevel2, QChar(), nullptr);
    QVERIFY(!T.Collapsed(3));
    T.E.CommandProcessor(ecFoldRanges, QChar(), nullptr);
    QVERIFY(T.Collapsed(9));
    QVERIFY(!T.Collapsed(2));
    T.E.CommandProcessor(ecUnfoldRanges, QChar(), nullptr);
    QVERIFY(!T.Collapsed(9));
    T.E.SetCaretXY(BufferCoord(1, 10));
    T.E.CommandProcessor(ecFoldNearest, QChar(), nullptr);
    QVERIFY(T.Collapsed(9));
    QCOMPARE(T.E.CaretXY(), BufferCoord(12, 9));
    T.E.CommandProcessor(ecUnfoldNearest, QChar(), nullptr);
    QVERIFY(!T.Collapsed(9));
}

void tst_lexedit_folding_editor::gutterClickToggles() {
    TFoldEdit T;
    const QRect R = T.E.GetFoldShapeRect(2);
    T.Click(R.center());
    QVERIFY(T.Collapsed(2));
    T.Click(R.center());
    QVERIFY(!T.Collapsed(2));
    // A click in the gutter beside the shape does not toggle.
    T.Click(QPoint(1, R.center().y()));
    QVERIFY(!T.Collapsed(2));
    // Nor does a click on the shape column of a line that starts no range.
    T.Click(T.E.GetFoldShapeRect(4).center());
    QVERIFY(!T.Collapsed(3));
}

void tst_lexedit_folding_editor::collapseMarkClickExpands() {
    TFoldEdit T;
    T.E.SetCaretXY(BufferCoord(1, 12));
    T.E.Collapse(T.IndexAt(7));
    const QRect Mark = T.E.GetCollapseMarkRect(7);
    QVERIFY(!Mark.isNull());
    T.Click(Mark.center());
    QVERIFY(!T.Collapsed(7));
}

void tst_lexedit_folding_editor::foldClickAfterCollapseNearTheEndActsOnThePressedRow() {
    QStringList Lines(20, QStringLiteral("$a;"));
    Lines << QStringLiteral("{") << QStringLiteral("$b;") << QStringLiteral("}") << QStringLiteral("{")
          << QStringLiteral("$c;") << QStringLiteral("}") << QStringList(4, QStringLiteral("$d;"));
    TFoldEdit T(Lines);
    for (int i = 0; i < 4; ++i) // 22 rows
        T.E.resize(700, T.E.height() - T.E.viewport()->height() + 22 * T.E.LineHeight());
    T.E.SetTopLine(30);
    QCOMPARE(T.E.TopLine(), 9);
    // Collapsing 21..23 hides two rows near the end: the top line stays within its limit.
    T.Click(T.E.GetFoldShapeRect(21).center());
    QVERIFY(T.Collapsed(21));
    QCOMPARE(T.E.TopLine(), 7);
    T.Click(T.E.GetFoldShapeRect(T.E.LineToRow(24)).center());
    QVERIFY(T.Collapsed(24));
    T.Click(T.E.GetCollapseMarkRect(T.E.LineToRow(24)).center());
    QVERIFY(!T.Collapsed(24) && T.Collapsed(21));
}

void tst_lexedit_folding_editor::collapseAllAndExpandAroundACaretDeepInsideNesting() {
    const int Depth = 300;
    TFoldEdit T(QStringList(Depth, QStringLiteral("{")) + QStringList{QStringLiteral("$x;")} +
                QStringList(Depth, QStringLiteral("}")) + QStringList{QStringLiteral("$end;")});
    T.E.SetCaretXY(BufferCoord(2, Depth + 1));
    T.E.CommandProcessor(ecFoldAll, QChar(), nullptr);
    // Every range collapsed; the caret at the end of the outermost range's first line.
    QCOMPARE(T.CollapsedCount(), Depth);
    QCOMPARE(T.E.CaretXY(), BufferCoord(2, 1));
    QCOMPARE(T.E.DisplayLineCount(), 2);
    // Expanding around the innermost range's first line opens only the ranges hiding it.
    T.E.UncollapseAroundLine(Depth);
    QVERIFY(T.CollapsedCount() == 1 && T.Collapsed(Depth));
    QCOMPARE(T.E.DisplayLineCount(), 2 * Depth);
}

void tst_lexedit_folding_editor::undoIntoCollapsedRangeUncollapses() {
    TFoldEdit T;
    T.E.SetCaretXY(BufferCoord(5, 4));
    T.E.CommandProcessor(ecChar, QLatin1Char('q'), nullptr);
    QCOMPARE(T.E.Lines()->Get(3), QStringLiteral("    qy();"));
    T.E.SetCaretXY(BufferCoord(1, 12));
    T.E.Collapse(T.IndexAt(2));
    T.E.Undo();
    QCOMPARE(T.E.Lines()->Get(3), QStringLiteral("    y();"));
    QCOMPARE(T.E.CaretY(), 4);
    QVERIFY(!T.E.AllFoldRanges().FoldHidesLine(4));
}

void tst_lexedit_folding_editor::gotoHiddenLineUncollapses() {
    TFoldEdit T;
    T.E.Collapse(T.IndexAt(3));
    T.E.Collapse(T.IndexAt(2));
    T.E.SetCaretXY(BufferCoord(1, 4));
    QCOMPARE(T.E.CaretY(), 4);
    QVERIFY(!T.Collapsed(2));
    QVERIFY(!T.Collapsed(3));
}

void tst_lexedit_folding_editor::searchHitOnHiddenLineUncollapses() {
    TFoldEdit T;
    TLexEditSearch Search;
    T.E.SetSearchEngine(&Search);
    T.E.Collapse(T.IndexAt(3));
    T.E.Collapse(T.IndexAt(2));
    T.E.SetCaretXY(BufferCoord(1, 1));
    QCOMPARE(T.E.SearchReplace(QStringLiteral("y()"), QString(), TLexSearchOptions()), 1);
    QCOMPARE(T.E.CaretY(), 4);
    QVERIFY(!T.E.AllFoldRanges().FoldHidesLine(4));
    QVERIFY(!T.Collapsed(2));
    QVERIFY(!T.Collapsed(3));
    QVERIFY(!T.Collapsed(7) && !T.Collapsed(9)); // nothing else expanded
}

void tst_lexedit_folding_editor::typingBreakAfterCollapsedLineShowsNewLine() {
    TFoldEdit T;
    T.E.SetCaretXY(BufferCoord(1, 12));
    T.E.Collapse(T.IndexAt(9));
    T.E.SetCaretXY(BufferCoord(12, 9));
    T.E.CommandProcessor(ecLineBreak, QChar(), nullptr);
    QCOMPARE(T.E.CaretY(), 10);
    QVERIFY(!T.E.AllFoldRanges().FoldHidesLine(10));
}

void tst_lexedit_folding_editor::incrementalEqualsFullThroughEditor() {
    QRandomGenerator R(99);
    const QStringList Pieces = {
        QStringLiteral("function f() {"), QStringLiteral("}"),         QStringLiteral("/* x"),
        QStringLiteral("x */"),           QStringLiteral("//#region"), QStringLiteral("//#endregion"),
        QStringLiteral("$a = '{';"),      QStringLiteral("} else {"),  QStringLiteral("")};
    for (int Round = 0; Round < 15; ++Round) {
        TFoldEdit T;
        for (int Step = 0; Step < 25; ++Step) {
            const int Count = T.E.Lines()->Count();
            const int Line = 1 + R.bounded(Count);
            T.E.SetCaretXY(BufferCoord(1, Line));
            const QString Piece = Pieces[R.bounded(int(Pieces.size()))];
            switch (R.bounded(4)) {
            case 0: // type a piece and a line break
                T.E.SetSelText(Piece + QStringLiteral("\n"));
                break;
            case 1: // paste a block with a region
                T.E.SetSelText(QStringLiteral("//#region p\n") + Piece + QStringLiteral("\n//#endregion\n"));
                break;
            case 2: // delete a line
                T.E.CommandProcessor(ecDeleteLine, QChar(), nullptr);
                break;
            default: // collapse something, then undo the last edit
                if (T.E.AllFoldRanges().Count() > 0) T.E.Collapse(R.bounded(T.E.AllFoldRanges().Count()));
                T.E.Undo();
                break;
            }
            QCOMPARE(Describe(T.E.AllFoldRanges().AllRanges()), FreshRanges(T.E.Lines()->ToStringList()));
            QVERIFY(!T.E.AllFoldRanges().FoldHidesLine(T.E.CaretY()));
        }
    }
}

void tst_lexedit_folding_editor::deletionInsideUpdateKeepsPendingRebuild() {
    TFoldEdit T;
    {
        TLexEditStringList::UpdateGuard Bracket(*T.E.Lines());
        T.E.Lines()->Put(11, QStringLiteral("if ($end) {")); // a new open marker: rebuild due
        T.E.Lines()->Add(QStringLiteral("}"));
        T.E.Lines()->Delete(0); // no marker on it
    }
    QCOMPARE(Describe(T.E.AllFoldRanges().AllRanges()), FreshRanges(T.E.Lines()->ToStringList()));
    QVERIFY(T.E.AllFoldRanges().FoldStartAtLine(11));
}

void tst_lexedit_folding_editor::rescanLimits() {
    TLexEdit E;
    QList<QPair<int, int>> Calls;
    E.OnScanForFoldRanges = [&](TCustomLexEdit *, TLexFoldRanges &, const TLexEditStringList &, int From,
                                int To) { Calls << qMakePair(From, To); };
    E.SetUseCodeFolding(true); // an empty buffer: nothing to scan
    QVERIFY(E.UseCodeFolding());
    QVERIFY(Calls.isEmpty());
    for (int i = 0; i < 10; ++i)
        E.Lines()->Add(QStringLiteral("x"));
    Calls.clear();
    E.ReScanForFoldRanges(5, 1000);
    E.ReScanForFoldRanges(5, 2);
    E.ReScanForFoldRanges(10, 12);
    E.ReScanForFoldRanges(40, 40);
    QCOMPARE(Calls, (QList<QPair<int, int>>{{5, 9}, {5, 5}}));
}

void tst_lexedit_folding_editor::highlighterChangeRescans() {
    TFoldEdit T;
    T.E.Collapse(T.IndexAt(2));
    TLexHTMLLex Html;
    T.E.SetHighlighter(&Html);
    QVERIFY(!T.E.UseCodeFolding());
    QCOMPARE(T.E.DisplayLineCount(), 12);
    TLexPHPLex Php2;
    T.E.SetHighlighter(&Php2);
    T.E.SetUseCodeFolding(true);
    QCOMPARE(T.E.AllFoldRanges().Count(), 4);
}

void tst_lexedit_folding_editor::paintsGutterShapes() {
    TFoldEdit T;
    T.E.CodeFolding().SetFolderBarLinesColor(0x0000FF); // red
    T.E.Collapse(T.IndexAt(7));
    const QRgb Red = qRgb(255, 0, 0);
    const QImage Img = T.Paint();
    const int m = 2;
    // Row 2 starts the expanded range 2..6: frame, minus bar, a line down to the row's bottom.
    QRect R = T.E.GetFoldShapeRect(2);
    const int xMid = R.left() + R.width() / 2;
    const int yMid = R.top() + R.height() / 2;
    QCOMPARE(Img.pixel(R.left(), R.top()), Red);
    QCOMPARE(Img.pixel(R.right(), R.bottom()), Red);
    QCOMPARE(Img.pixel(R.left() + m, yMid), Red);
    QCOMPARE(Img.pixel(R.right() - m, yMid), Red);
    QVERIFY(Img.pixel(R.right() - m + 1, yMid) != Red); // the end point is not drawn
    QVERIFY(Img.pixel(xMid, R.top() + m) != Red);       // no plus bar: expanded
    QCOMPARE(Img.pixel(xMid, R.bottom() + 1), Red);     // on to the next row
    // Row 4 lies inside both ranges: the bar runs through the whole row.
    const int Top4 = (4 - T.E.TopLine()) * T.E.LineHeight();
    QCOMPARE(Img.pixel(xMid, Top4), Red);
    QCOMPARE(Img.pixel(xMid, Top4 + T.E.LineHeight() - 1), Red);
    // Row 6 ends the range 2..6: a corner to the right edge of the shape.
    R = T.E.GetFoldShapeRect(6);
    QCOMPARE(Img.pixel(R.right(), R.top() + R.height() / 2), Red);
    QVERIFY(Img.pixel(xMid, R.top() + R.height() / 2 + 2) != Red);
    // Row 7 starts the collapsed comment: a plus.
    R = T.E.GetFoldShapeRect(7);
    QCOMPARE(Img.pixel(xMid, R.top() + m), Red);
    QCOMPARE(Img.pixel(xMid, R.bottom() - m), Red);
    QVERIFY(Img.pixel(xMid, R.bottom() + 1) != Red);
    // Row 1 has no fold: nothing in the shape column.
    R = T.E.GetFoldShapeRect(1);
    for (int x = R.left(); x <= R.right(); ++x)
        for (int y = R.top(); y <= R.bottom(); ++y)
            QVERIFY(Img.pixel(x, y) != Red);
}

void tst_lexedit_folding_editor::paintsCollapsedLineRuleAndSkipsHiddenLines() {
    TFoldEdit T;
    T.E.CodeFolding().SetShowCollapsedLine(true);
    T.E.CodeFolding().SetShowHintMark(false);
    T.E.CodeFolding().SetIndentGuides(false);
    T.E.CodeFolding().SetCollapsedLineColor(0x00FF00); // green
    const QRgb Green = qRgb(0, 255, 0);
    T.E.Collapse(T.IndexAt(2));
    const QImage Img = T.Paint();
    const int h = T.E.LineHeight();
    const int Y = (2 - T.E.TopLine() + 1) * h - 1;
    for (int x = T.E.GutterWidth() + 2; x < Img.width(); x += 7)
        QCOMPARE(Img.pixel(x, Y), Green);
    // No other row has the rule.
    for (int Row = 1; Row <= 8; ++Row)
        if (Row != 2) QVERIFY(Img.pixel(T.E.GutterWidth() + 20, Row * h - 1) != Green);
    // Row 3 shows line 7 ("/* c"), not a hidden line: its text equals that of line 7 painted
    // unfolded on row 7.
    TFoldEdit U;
    const QImage Plain = U.Paint();
    const QRect Text3(T.E.GutterWidth() + 2, 2 * h, 200, h - 1);
    const QRect Text7(U.E.GutterWidth() + 2, 6 * h, 200, h - 1);
    QCOMPARE(Img.copy(Text3), Plain.copy(Text7));
}

void tst_lexedit_folding_editor::indentGuidesFromOneWalkMatchPerRowRule() {
    QRandomGenerator R(17);
    for (int Round = 0; Round < 8; ++Round) {
        TLexEdit E;
        TLexPHPLex H;
        E.setAttribute(Qt::WA_DontShowOnScreen);
        E.SetEditorFont(TestFont());
        E.resize(400, 400);
        E.show();
        E.SetHighlighter(&H);
        E.SetTabWidth(4);
        QStringList Lines;
        for (int i = 0; i < 40; ++i) {
            const int k = R.bounded(4);
            Lines << (k == 0   ? QString()
                      : k == 1 ? QStringLiteral("   ")
                               : QString(R.bounded(14), QLatin1Char(' ')) + QStringLiteral("x"));
        }
        E.Lines()->AddStrings(Lines);
        E.CodeFolding().SetIndentGuidesColor(0xFF00FF);
        E.OnScanForFoldRanges = [](TCustomLexEdit *, TLexFoldRanges &, const TLexEditStringList &, int, int) {
        };
        E.SetUseCodeFolding(true);
        QImage Img(E.viewport()->size(), QImage::Format_RGB32);
        Img.fill(Qt::white);
        {
            QPainter P(&Img);
            E.paintArea(P, Img.rect());
        }
        const QRgb Guide = qRgb(255, 0, 255);
        const int h = E.LineHeight();
        const int Rows = std::min(E.LinesInWindow(), 40);
        for (int Row = 1; Row <= Rows; ++Row) {
            // The rule: the indent of the first non-blank line from this one down.
            int Indent = 0;
            for (int l = Row; l <= 40; ++l) {
                if (!Lines[l - 1].trimmed().isEmpty()) {
                    Indent = int(Lines[l - 1].indexOf(QLatin1Char('x')));
                    break;
                }
            }
            for (int Step = 4; Step < 16; Step += 4) {
                const int X = Step * E.CharWidth() + E.GutterWidth() + 2 - 2;
                // A dot two pixels below the first of the row (the last dot of a row may fall on
                // the first pixel of the next one, keeping the dots in phase).
                const int Y = (Row - 1) * h + ((h % 2 == 1 && Row % 2 == 0) ? 1 : 0) + 2;
                const bool Drawn = Img.pixel(X, Y) == Guide;
                QVERIFY2(Drawn == (Step < Indent),
                         qPrintable(QStringLiteral("round %1 row %2 step %3").arg(Round).arg(Row).arg(Step)));
            }
        }
    }
}

void tst_lexedit_folding_editor::collapseMarkRect() {
    TFoldEdit T;
    QVERIFY(T.E.GetCollapseMarkRect(2).isNull()); // not collapsed
    T.E.Collapse(T.IndexAt(2));
    const QRect R = T.E.GetCollapseMarkRect(2);
    const int cw = T.E.CharWidth();
    QCOMPARE(R.left(), (14 + 1) * cw + T.E.GutterWidth() + 2);
    QCOMPARE(R.width(), 3 * cw + 4 * (cw / 7));
    QCOMPARE(R.top(), (2 - T.E.TopLine()) * T.E.LineHeight() + 1);
    QCOMPARE(R.height(), T.E.LineHeight() - 2);
    T.E.SetUseCodeFolding(false);
    QVERIFY(T.E.GetCollapseMarkRect(2).isNull());
}

void tst_lexedit_folding_editor::editorsSharingLinesFoldApart() {
    // A second editor showing the first one's lines keeps fold ranges of its own, in step with
    // edits made through either editor, and its collapsed ranges are its own.
    TFoldEdit T;
    TLexEdit B;
    B.SetLinesPointer(&T.E);
    B.SetUseCodeFolding(true);
    QVERIFY(B.UseCodeFolding());
    QCOMPARE(Describe(B.AllFoldRanges().AllRanges()), Describe(T.E.AllFoldRanges().AllRanges()));
    int Index = -1;
    QVERIFY(B.AllFoldRanges().FoldStartAtLine(2, Index));
    B.Collapse(Index);
    QVERIFY(!T.Collapsed(2));
    T.E.SetCaretXY(BufferCoord(1, 1));
    T.E.SetSelText(QStringLiteral("if (1) {\n}\n"));
    B.SetCaretXY(BufferCoord(1, 12));
    B.SetSelText(QStringLiteral("/* x\n y */\n"));
    const QString Fresh = FreshRanges(T.E.Lines()->ToStringList());
    QCOMPARE(Describe(T.E.AllFoldRanges().AllRanges()), Fresh);
    QCOMPARE(Describe(B.AllFoldRanges().AllRanges()), Fresh);
    QVERIFY(B.AllFoldRanges().CollapsedFoldStartAtLine(4)); // moved down by the two lines
    B.RemoveLinesPointer();
    QCOMPARE(B.Lines()->Count(), 0);
    QCOMPARE(B.AllFoldRanges().Count(), 0);
}

QTEST_MAIN(tst_lexedit_folding_editor)
#include "tst_lexedit_folding_editor.moc"
