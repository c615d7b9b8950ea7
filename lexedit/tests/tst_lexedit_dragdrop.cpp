// SPDX-License-Identifier: MIT
// The data object, the clipboard with its HTML flavour, and drag and drop: drags run through the
// injected drag start, drops arrive as Qt drag events at the viewport.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditDataObject.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QClipboard>
#include <QDropEvent>
#include <QGuiApplication>
#include <QMimeData>
#include <QRegularExpression>
#include <QUrl>
#include <QtTest>

#include <memory>
#include <random>

using namespace lexedit;
using namespace editor_test;

namespace {

// An editor whose drags are dropped by the test at DropAt with DropKeys.
class TDragEdit : public TLexEdit {
public:
    TDragEdit() {
        resize(900, 600);
        TLexMouseEnvironment Env = MouseEnvironment();
        Env.StartDrag = [this](QWidget *, std::unique_ptr<QMimeData> AData, Qt::DropActions AActions) {
            ++Drags;
            Offered = AActions;
            if (DropTarget == nullptr) return Qt::IgnoreAction; // Esc
            return Drop(*DropTarget, AData.get(), DropAt, DropKeys, AActions);
        };
        SetMouseEnvironment(Env);
    }
    // Sends enter, move and drop to ATarget's viewport at the caret position P; the action the
    // drop took, IgnoreAction when it was refused.
    static Qt::DropAction Drop(TCustomLexEdit &ATarget, const QMimeData *AData, TBufferCoord P,
                               Qt::KeyboardModifiers AKeys,
                               Qt::DropActions AActions = Qt::CopyAction | Qt::MoveAction) {
        const QPoint At =
            ATarget.RowColumnToPixels(ATarget.BufferToDisplayPos(P)) + QPoint(1, ATarget.LineHeight() / 2);
        QDragEnterEvent Enter(At, AActions, AData, Qt::LeftButton, AKeys);
        QCoreApplication::sendEvent(ATarget.viewport(), &Enter);
        if (!Enter.isAccepted()) return Qt::IgnoreAction;
        QDragMoveEvent Move(At, AActions, AData, Qt::LeftButton, AKeys);
        QCoreApplication::sendEvent(ATarget.viewport(), &Move);
        QDropEvent Drop(At, AActions, AData, Qt::LeftButton, AKeys);
        QCoreApplication::sendEvent(ATarget.viewport(), &Drop);
        return Drop.isAccepted() ? Drop.dropAction() : Qt::IgnoreAction;
    }
    TCustomLexEdit *DropTarget = this;
    TBufferCoord DropAt{1, 1};
    Qt::KeyboardModifiers DropKeys = Qt::NoModifier;
    int Drags = 0;
    Qt::DropActions Offered;
};

QStringList LinesOf(const TCustomLexEdit &E) {
    return E.Lines()->ToStringList();
}

void Select(TCustomLexEdit &E, TLexSelectionMode AMode, TBufferCoord A, TBufferCoord B) {
    E.SetSelectionMode(AMode);
    E.SetCaretAndSelection(B, A, B);
}

std::unique_ptr<QMimeData> TextData(const QString &AText) {
    auto D = std::make_unique<QMimeData>();
    D->setText(AText);
    return D;
}

// The text of the HTML flavour: <br /> as a line break, tags dropped, entities decoded.
QString TextOfHtml(const QByteArray &AHtml) {
    QString H = QString::fromUtf8(AHtml);
    const qsizetype Start = H.indexOf(QLatin1String("<code>"));
    const qsizetype End = H.lastIndexOf(QLatin1String("</code>"));
    if (Start < 0 || End < Start) return QStringLiteral("<no code element>");
    H = H.mid(Start + 6, End - Start - 6);
    H.replace(QLatin1String("<br />"), QLatin1String("\n"));
    H.remove(QRegularExpression(QStringLiteral("<[^>]*>")));
    H.replace(QLatin1String("&lt;"), QLatin1String("<"));
    H.replace(QLatin1String("&gt;"), QLatin1String(">"));
    H.replace(QLatin1String("&quot;"), QLatin1String("\""));
    H.replace(QLatin1String("&amp;"), QLatin1String("&"));
    return H;
}

const QMimeData *Clip() {
    return QGuiApplication::clipboard()->mimeData();
}

} // namespace

class TestLexEditDragDrop : public QObject {
    Q_OBJECT

private slots:
    void init() { QGuiApplication::clipboard()->clear(); }
    void dataObjectFormats();
    void htmlFlavourHoldsTheCopiedText();
    void htmlFlavourWithoutBackgroundByDefault();
    void columnCopyPastesAsColumn();
    void urlsAloneAreNotText();
    void cutIsOneUndoStep();
    // Regression tests of the faults mended.
    void copyLeavesTheBufferAlone();
    void columnBlockBeyondTheLineEndStillCopiesText();
    void invalidModeByteFallsBackToSelectionMode_data();
    void invalidModeByteFallsBackToSelectionMode();
    void lineMoveLandsOnTheDropLine();
    void columnMoveKeepsTheLines();
    void longFileNamesAreNotCut();
    void readOnlyRefusesDrops();
    // Drops.
    void dropFromElsewhereInsertsAndSelects();
    void ctrlDropCopiesOntoTheSelectionEdge();
    void moveOntoTheSelectionIsRefused();
    void moveWithinALine();
    void moveOfTwoLinesToALaterLine();
    void dragToAnotherEditorMovesAndCancelKeeps();
    void emptyAndForeignDropsAreRefused();
    void droppedFilesReachOnDropFiles();
    void hoverMovesTheCaretAndScrolls();
    void randomDrags_data();
    void randomDrags();
};

void TestLexEditDragDrop::dataObjectFormats() {
    TLexEdit E;
    E.SetLines({QStringLiteral("<?php echo 'x';"), QStringLiteral("$a = 1;")});
    Select(E, smColumn, BufferCoord(2, 1), BufferCoord(5, 2));
    E.CopyToClipboard();
    QVERIFY(Clip()->hasFormat(QStringLiteral("text/plain")));
    QCOMPARE(Clip()->data(LexEditClipboardFormat()), QByteArray(1, char(smColumn)));
    QVERIFY(!Clip()->hasFormat(QStringLiteral("text/html")));
    TLexPHPLex Php;
    E.SetHighlighter(&Php);
    E.CopyToClipboard();
    QVERIFY(Clip()->hasFormat(QStringLiteral("text/plain")));
    QVERIFY(Clip()->hasFormat(LexEditClipboardFormat()));
    QVERIFY(Clip()->hasFormat(QStringLiteral("text/html")));
    const std::unique_ptr<QMimeData> D = E.CreateDataObject(E.SelText());
    QCOMPARE(D->formats().size(), 3);
    // The HTML is a plain document with inline styles: no Windows description block.
    const QByteArray Html = D->data(QStringLiteral("text/html"));
    QVERIFY(Html.startsWith("<?xml"));
    QVERIFY(!Html.contains("Version:0.9"));
    QVERIFY(!Html.contains("class="));
}

void TestLexEditDragDrop::htmlFlavourHoldsTheCopiedText() {
    // In the three modes, with and without trimming, the HTML holds exactly the plain text.
    TLexPHPLex Php;
    Php.CommentAttri()->SetForeground(clGreen);
    Php.StringAttri()->SetForeground(clRed);
    TLexEdit E;
    E.SetHighlighter(&Php);
    E.SetLines({QStringLiteral("<?php /* comment"), QStringLiteral("  still */ $x = 'a <b> & c';"), QString(),
                QStringLiteral("\techo $x; // end"), QStringLiteral("?>")});
    std::mt19937 Random(5);
    for (int Round = 0; Round < 300; ++Round) {
        const auto Coord = [&] {
            const int L = int(Random() % 5) + 1;
            return BufferCoord(int(Random() % (E.Lines()->Get(L - 1).size() + 4)) + 1, L);
        };
        E.SetOptions(Round % 2 ? E.Options() + TLexEditorOptions{eoTrimTrailingSpaces}
                               : E.Options() - TLexEditorOptions{eoTrimTrailingSpaces});
        Select(E, TLexSelectionMode(Random() % 3), Coord(), Coord());
        if (!E.SelAvail()) continue;
        E.CopyToClipboard();
        QString Plain = Clip()->text();
        Plain.replace(QLatin1String("\r\n"), QLatin1String("\n"));
        QCOMPARE(TextOfHtml(Clip()->data(QStringLiteral("text/html"))), Plain);
    }
    // Colours of the highlighter, inline.
    Select(E, smNormal, BufferCoord(1, 1), BufferCoord(11, 2));
    E.CopyToClipboard();
    const QByteArray Html = Clip()->data(QStringLiteral("text/html"));
    QVERIFY2(Html.contains(
                 "<span style=\"color: #008000; font-style: italic;\">/* comment<br />  still */</span>"),
             Html.constData());
    QVERIFY(Html.contains("white-space: pre;"));
}

void TestLexEditDragDrop::htmlFlavourWithoutBackgroundByDefault() {
    TLexPHPLex Php;
    Php.SpaceAttri()->SetBackground(clBlack);
    Php.CommentAttri()->SetBackground(clNavy);
    TLexEdit E;
    E.SetColor(clBlack);
    E.SetHighlighter(&Php);
    E.SetLines({QStringLiteral("<?php // dark")});
    E.SelectAll();
    E.CopyToClipboard();
    QVERIFY(!Clip()->data(QStringLiteral("text/html")).contains("background"));
    E.SetHTMLCopyUseBackground(true);
    E.CopyToClipboard();
    QVERIFY(Clip()->data(QStringLiteral("text/html")).contains("background-color: #000080;"));
}

void TestLexEditDragDrop::columnCopyPastesAsColumn() {
    TLexEdit A;
    A.SetLines({QStringLiteral("abc"), QStringLiteral("def")});
    Select(A, smColumn, BufferCoord(2, 1), BufferCoord(3, 2));
    A.CopyToClipboard();
    TLexEdit B;
    B.SetLines({QStringLiteral("123"), QStringLiteral("456")});
    B.SetCaretXY(BufferCoord(1, 1));
    B.PasteFromClipboard();
    QCOMPARE(LinesOf(B), (QStringList{"b123", "e456"}));
    // Text of another program pastes in the editor's selection mode.
    QGuiApplication::clipboard()->setText(QStringLiteral("x\r\ny"));
    B.SetSelectionMode(smColumn);
    B.SetCaretXY(BufferCoord(2, 1));
    B.PasteFromClipboard();
    QCOMPARE(LinesOf(B), (QStringList{"bx123", "ey456"}));
}

void TestLexEditDragDrop::urlsAloneAreNotText() {
    TLexEdit E;
    auto D = std::make_unique<QMimeData>();
    D->setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.php"))});
    QGuiApplication::clipboard()->setMimeData(D.release());
    QVERIFY(!E.CanPaste());
    E.PasteFromClipboard();
    QCOMPARE(E.Text(), QString());
    QGuiApplication::clipboard()->setText(QStringLiteral("t"));
    QVERIFY(E.CanPaste());
    E.SetReadOnly(true);
    QVERIFY(!E.CanPaste());
}

void TestLexEditDragDrop::cutIsOneUndoStep() {
    TLexPHPLex Php;
    TLexEdit E;
    E.SetHighlighter(&Php);
    E.SetLines({QStringLiteral("<?php $a;"), QStringLiteral("$b;")});
    Select(E, smNormal, BufferCoord(3, 1), BufferCoord(2, 2));
    E.CutToClipboard();
    QCOMPARE(LinesOf(E), (QStringList{"<?b;"}));
    QCOMPARE(Clip()->text(), QStringLiteral("php $a;\r\n$"));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"<?php $a;", "$b;"}));
}

void TestLexEditDragDrop::copyLeavesTheBufferAlone() {
    // Copying with the HTML flavour adds nothing to the buffer and leaves it unmodified.
    TLexPHPLex Php;
    TLexEdit E;
    E.SetHighlighter(&Php);
    E.SetLines({QStringLiteral("<?php $a = 'x';")});
    E.SetModified(false);
    E.SelectAll();
    for (int i = 0; i < 3; ++i)
        E.CopyToClipboard();
    QCOMPARE(LinesOf(E), (QStringList{"<?php $a = 'x';"}));
    QVERIFY(!E.Modified());
    QVERIFY(!Clip()->data(QStringLiteral("text/html")).contains('\0'));
    QVERIFY(!Clip()->text().contains(QChar(0)));
}

void TestLexEditDragDrop::columnBlockBeyondTheLineEndStillCopiesText() {
    TLexPHPLex Php;
    TLexEdit E;
    E.SetOptions(E.Options() + TLexEditorOptions{eoScrollPastEol});
    E.SetHighlighter(&Php);
    E.SetLines({QStringLiteral("ab"), QStringLiteral("cd")});
    Select(E, smColumn, BufferCoord(6, 1), BufferCoord(9, 1));
    QVERIFY(E.SelAvail());
    E.CopyToClipboard();
    QCOMPARE(Clip()->text(), QStringLiteral("   "));
    QCOMPARE(Clip()->data(LexEditClipboardFormat()), QByteArray(1, char(smColumn)));
    QCOMPARE(TextOfHtml(Clip()->data(QStringLiteral("text/html"))), QStringLiteral("   "));
}

void TestLexEditDragDrop::invalidModeByteFallsBackToSelectionMode_data() {
    QTest::addColumn<QByteArray>("Mode");
    QTest::addColumn<QStringList>("Result");
    const QStringList Column{"ax1", "by2"};
    const QStringList Normal{"ax", "y1", "b2"};
    QTest::newRow("empty") << QByteArray() << Normal;
    QTest::newRow("3") << QByteArray(1, '\3') << Normal;
    QTest::newRow("255") << QByteArray(1, '\xFF') << Normal;
    QTest::newRow("two bytes") << QByteArray("\2\2", 2) << Normal;
    QTest::newRow("column") << QByteArray(1, '\2') << Column;
}

void TestLexEditDragDrop::invalidModeByteFallsBackToSelectionMode() {
    QFETCH(QByteArray, Mode);
    QFETCH(QStringList, Result);
    auto D = TextData(QStringLiteral("x\r\ny"));
    D->setData(LexEditClipboardFormat(), Mode);
    QGuiApplication::clipboard()->setMimeData(D.release());
    TLexEdit E;
    E.SetLines({QStringLiteral("a1"), QStringLiteral("b2")});
    E.SetCaretXY(BufferCoord(2, 1));
    E.PasteFromClipboard();
    QCOMPARE(LinesOf(E), Result);
}

void TestLexEditDragDrop::lineMoveLandsOnTheDropLine() {
    // Lines 2-3 dropped on line 5: they go before line 5, not one line lower.
    TDragEdit E;
    E.SetLines({"1", "2", "3", "4", "5", "6"});
    Select(E, smLine, BufferCoord(1, 2), BufferCoord(1, 3));
    E.DropAt = BufferCoord(1, 5);
    E.DragSelection();
    QCOMPARE(LinesOf(E), (QStringList{"1", "4", "2", "3", "5", "6"}));
    QCOMPARE(E.SelText(), QStringLiteral("2\r\n3\r\n"));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"1", "2", "3", "4", "5", "6"}));
    // Upwards.
    Select(E, smLine, BufferCoord(1, 5), BufferCoord(1, 6));
    E.DropAt = BufferCoord(1, 2);
    E.DragSelection();
    // Deleting lines down to the last leaves an empty last line, as cutting them does.
    QCOMPARE(LinesOf(E), (QStringList{"1", "5", "6", "2", "3", "4", ""}));
}

void TestLexEditDragDrop::columnMoveKeepsTheLines() {
    // A column block moved right on its own rows: no line moves, each row loses its piece and
    // gets it at the drop column.
    TDragEdit E;
    E.SetLines({"abcdefgh", "ijklmnop", "qrstuvwx"});
    Select(E, smColumn, BufferCoord(2, 1), BufferCoord(4, 2));
    E.DropAt = BufferCoord(7, 1);
    E.DragSelection();
    QCOMPARE(LinesOf(E), (QStringList{"adefbcgh", "ilmnjkop", "qrstuvwx"}));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"abcdefgh", "ijklmnop", "qrstuvwx"}));
    // Down and left, across the block's rows.
    Select(E, smColumn, BufferCoord(5, 1), BufferCoord(7, 2));
    E.DropAt = BufferCoord(1, 2);
    E.DragSelection();
    QCOMPARE(LinesOf(E), (QStringList{"abcdgh", "efijklop", "mnqrstuvwx"}));
}

void TestLexEditDragDrop::longFileNamesAreNotCut() {
    TLexEdit E;
    E.resize(900, 600);
    E.SetOptions(E.Options() + TLexEditorOptions{eoDropFiles});
    QStringList Got;
    QPoint At;
    E.OnDropFiles = [&](TCustomLexEdit *, int X, int Y, const QStringList &AFiles) {
        Got = AFiles;
        At = QPoint(X, Y);
    };
    const QString Long =
        QStringLiteral("/tmp/") + QString(300, QLatin1Char('d')) + QStringLiteral("/file.php");
    QMimeData D;
    D.setUrls({QUrl::fromLocalFile(Long), QUrl::fromLocalFile(QStringLiteral("/tmp/b c.html"))});
    QCOMPARE(TDragEdit::Drop(E, &D, BufferCoord(1, 1), Qt::NoModifier), Qt::CopyAction);
    QCOMPARE(Got, (QStringList{Long, QStringLiteral("/tmp/b c.html")}));
    // The point in viewport pixels.
    QCOMPARE(At, E.RowColumnToPixels(DisplayCoord(1, 1)) + QPoint(1, E.LineHeight() / 2));
}

void TestLexEditDragDrop::readOnlyRefusesDrops() {
    TLexEdit E;
    E.resize(900, 600);
    E.SetLines({QStringLiteral("abc")});
    E.SetReadOnly(true);
    E.SetOptions(E.Options() + TLexEditorOptions{eoDropFiles});
    int Files = 0;
    E.OnDropFiles = [&](TCustomLexEdit *, int, int, const QStringList &) { ++Files; };
    const auto D = TextData(QStringLiteral("x"));
    QCOMPARE(TDragEdit::Drop(E, D.get(), BufferCoord(2, 1), Qt::NoModifier), Qt::IgnoreAction);
    QMimeData F;
    F.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.php"))});
    QCOMPARE(TDragEdit::Drop(E, &F, BufferCoord(2, 1), Qt::NoModifier), Qt::IgnoreAction);
    QCOMPARE(LinesOf(E), (QStringList{"abc"}));
    QCOMPARE(Files, 0);
    // A read-only editor offers only a copy when its text is dragged out.
    TDragEdit S;
    S.SetLines({QStringLiteral("abc")});
    S.SetReadOnly(true);
    Select(S, smNormal, BufferCoord(1, 1), BufferCoord(2, 1));
    S.DropTarget = &E;
    S.DragSelection();
    QCOMPARE(S.Offered, Qt::DropActions(Qt::CopyAction));
}

void TestLexEditDragDrop::dropFromElsewhereInsertsAndSelects() {
    TLexEdit E;
    E.resize(900, 600);
    E.SetLines({QStringLiteral("hello world")});
    Select(E, smNormal, BufferCoord(1, 1), BufferCoord(3, 1));
    const auto D = TextData(QStringLiteral("big\r\n"));
    QCOMPARE(TDragEdit::Drop(E, D.get(), BufferCoord(7, 1), Qt::NoModifier), Qt::MoveAction);
    QCOMPARE(LinesOf(E), (QStringList{"hello big", "world"}));
    QCOMPARE(E.SelText(), QStringLiteral("big\r\n"));
    QCOMPARE(E.CaretXY(), BufferCoord(1, 2));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"hello world"}));
    // Ctrl copies; a source without move gets a copy.
    QCOMPARE(TDragEdit::Drop(E, D.get(), BufferCoord(1, 1), Qt::ControlModifier), Qt::CopyAction);
    QCOMPARE(TDragEdit::Drop(E, D.get(), BufferCoord(1, 1), Qt::NoModifier, Qt::CopyAction), Qt::CopyAction);
}

void TestLexEditDragDrop::ctrlDropCopiesOntoTheSelectionEdge() {
    TDragEdit E;
    E.SetLines({QStringLiteral("one two three")});
    Select(E, smNormal, BufferCoord(5, 1), BufferCoord(8, 1));
    E.DropAt = BufferCoord(8, 1);
    E.DropKeys = Qt::ControlModifier;
    E.DragSelection();
    QCOMPARE(LinesOf(E), (QStringList{"one twotwo three"}));
    QCOMPARE(E.BlockBegin(), BufferCoord(8, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(11, 1));
    // At the start edge too.
    Select(E, smNormal, BufferCoord(1, 1), BufferCoord(4, 1));
    E.DropAt = BufferCoord(1, 1);
    E.DragSelection();
    QCOMPARE(LinesOf(E), (QStringList{"oneone twotwo three"}));
}

void TestLexEditDragDrop::moveOntoTheSelectionIsRefused() {
    TDragEdit E;
    E.SetLines({QStringLiteral("one two three")});
    for (int At : {5, 6, 8}) {
        Select(E, smNormal, BufferCoord(5, 1), BufferCoord(8, 1));
        E.DropAt = BufferCoord(At, 1);
        E.DragSelection();
        QCOMPARE(LinesOf(E), (QStringList{"one two three"}));
        QCOMPARE(E.SelText(), QStringLiteral("two"));
    }
    QVERIFY(!E.CanUndo());
}

void TestLexEditDragDrop::moveWithinALine() {
    // Characters 5 to 10 of line 3 dropped at character 20 go in at character 15.
    TDragEdit E;
    E.SetLines({"", "", QStringLiteral("abcdEFGHIjklmnopqrstuvwxyz")});
    Select(E, smNormal, BufferCoord(5, 3), BufferCoord(10, 3));
    E.DropAt = BufferCoord(20, 3);
    E.DragSelection();
    QCOMPARE(E.Lines()->Get(2), QStringLiteral("abcdjklmnopqrsEFGHItuvwxyz"));
    QCOMPARE(E.BlockBegin(), BufferCoord(15, 3));
    QCOMPARE(E.BlockEnd(), BufferCoord(20, 3));
    E.Undo();
    QCOMPARE(E.Lines()->Get(2), QStringLiteral("abcdEFGHIjklmnopqrstuvwxyz"));
}

void TestLexEditDragDrop::moveOfTwoLinesToALaterLine() {
    TDragEdit E;
    E.SetLines({"aaaa", "bbbb", "cccc", "dddd"});
    Select(E, smNormal, BufferCoord(3, 1), BufferCoord(2, 2));
    E.DropAt = BufferCoord(2, 4);
    E.DragSelection();
    QCOMPARE(LinesOf(E), (QStringList{"aabbb", "cccc", "daa", "bddd"}));
    E.Undo();
    QCOMPARE(LinesOf(E), (QStringList{"aaaa", "bbbb", "cccc", "dddd"}));
}

void TestLexEditDragDrop::dragToAnotherEditorMovesAndCancelKeeps() {
    TDragEdit S;
    TLexEdit T;
    T.resize(900, 600);
    T.SetLines({QStringLiteral("xy")});
    S.SetLines({QStringLiteral("move me")});
    Select(S, smNormal, BufferCoord(1, 1), BufferCoord(5, 1));
    S.DropTarget = &T;
    S.DropAt = BufferCoord(2, 1);
    S.DragSelection();
    QCOMPARE(LinesOf(T), (QStringList{"xmovey"}));
    QCOMPARE(LinesOf(S), (QStringList{" me"}));
    // With Ctrl the source keeps its text; a cancelled drag (Esc) changes nothing.
    Select(S, smNormal, BufferCoord(2, 1), BufferCoord(4, 1));
    S.DropKeys = Qt::ControlModifier;
    S.DragSelection();
    QCOMPARE(LinesOf(S), (QStringList{" me"}));
    QCOMPARE(LinesOf(T), (QStringList{"xmemovey"}));
    S.DropTarget = nullptr;
    S.DropKeys = Qt::NoModifier;
    S.DragSelection();
    QCOMPARE(LinesOf(S), (QStringList{" me"}));
    QVERIFY(!S.StateFlags().Contains(sfOleDragSource));
}

void TestLexEditDragDrop::emptyAndForeignDropsAreRefused() {
    TLexEdit E;
    E.resize(900, 600);
    E.SetLines({QStringLiteral("abc")});
    const auto Empty = TextData(QString());
    QCOMPARE(TDragEdit::Drop(E, Empty.get(), BufferCoord(2, 1), Qt::NoModifier), Qt::IgnoreAction);
    QMimeData Image;
    Image.setData(QStringLiteral("image/png"), QByteArray("\x89PNG"));
    QCOMPARE(TDragEdit::Drop(E, &Image, BufferCoord(2, 1), Qt::NoModifier), Qt::IgnoreAction);
    // Files without eoDropFiles are not text.
    QMimeData F;
    F.setUrls({QUrl::fromLocalFile(QStringLiteral("/tmp/a.php"))});
    QCOMPARE(TDragEdit::Drop(E, &F, BufferCoord(2, 1), Qt::NoModifier), Qt::IgnoreAction);
    QCOMPARE(LinesOf(E), (QStringList{"abc"}));
    QVERIFY(!E.CanUndo());
}

void TestLexEditDragDrop::droppedFilesReachOnDropFiles() {
    TLexEdit E;
    E.resize(900, 600);
    E.SetLines({QStringLiteral("abc")});
    E.SetOptions(E.Options() + TLexEditorOptions{eoDropFiles});
    QStringList Got;
    E.OnDropFiles = [&](TCustomLexEdit *, int, int, const QStringList &AFiles) { Got = AFiles; };
    // Files from a file manager come with their names as text as well: the files win.
    QMimeData F;
    F.setUrls(
        {QUrl::fromLocalFile(QStringLiteral("/tmp/a.php")), QUrl(QStringLiteral("https://example.org/b"))});
    F.setText(QStringLiteral("/tmp/a.php"));
    QCOMPARE(TDragEdit::Drop(E, &F, BufferCoord(2, 1), Qt::NoModifier), Qt::CopyAction);
    QCOMPARE(Got, (QStringList{"/tmp/a.php"}));
    QCOMPARE(LinesOf(E), (QStringList{"abc"}));
    // Only remote URLs: the text is dropped.
    Got.clear();
    QMimeData R;
    R.setUrls({QUrl(QStringLiteral("https://example.org/b"))});
    R.setText(QStringLiteral("https://example.org/b"));
    QCOMPARE(TDragEdit::Drop(E, &R, BufferCoord(1, 1), Qt::ControlModifier), Qt::CopyAction);
    QVERIFY(Got.isEmpty());
    QCOMPARE(LinesOf(E), (QStringList{"https://example.org/babc"}));
}

void TestLexEditDragDrop::hoverMovesTheCaretAndScrolls() {
    TLexEdit E;
    E.resize(400, 200);
    QStringList L;
    for (int i = 0; i < 100; ++i)
        L << QStringLiteral("line %1").arg(i + 1);
    E.SetLines(L);
    Select(E, smNormal, BufferCoord(1, 1), BufferCoord(3, 1));
    const auto D = TextData(QStringLiteral("x"));
    const QPoint At = E.RowColumnToPixels(DisplayCoord(3, 2)) + QPoint(1, E.LineHeight() / 2);
    QDragEnterEvent Enter(At, Qt::CopyAction | Qt::MoveAction, D.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(E.viewport(), &Enter);
    QVERIFY(Enter.isAccepted());
    QDragMoveEvent Move(At, Qt::CopyAction | Qt::MoveAction, D.get(), Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(E.viewport(), &Move);
    QVERIFY(Move.isAccepted());
    QCOMPARE(E.CaretXY(), BufferCoord(3, 2));
    QCOMPARE(E.SelText(), QStringLiteral("li")); // the selection stays
    // Near the bottom edge: the caret stays in the window and the automatic scrolling starts.
    QDragMoveEvent Low(QPoint(At.x(), E.viewport()->height() - 1), Qt::MoveAction, D.get(), Qt::LeftButton,
                       Qt::NoModifier);
    QCoreApplication::sendEvent(E.viewport(), &Low);
    QVERIFY(E.CaretY() <= E.TopLine() + E.LinesInWindow() - 1);
    QTRY_VERIFY(E.TopLine() > 1);
    QDragLeaveEvent Leave;
    QCoreApplication::sendEvent(E.viewport(), &Leave);
    const int Top = E.TopLine();
    QTest::qWait(250);
    QCOMPARE(E.TopLine(), Top);
}

void TestLexEditDragDrop::randomDrags_data() {
    QTest::addColumn<int>("Mode");
    QTest::newRow("normal") << int(smNormal);
    QTest::newRow("line") << int(smLine);
    QTest::newRow("column") << int(smColumn);
}

void TestLexEditDragDrop::randomDrags() {
    // Random moves and copies within an editor: the text equals a model that cuts and inserts,
    // and one undo restores the text exactly.
    QFETCH(int, Mode);
    const TLexSelectionMode M = TLexSelectionMode(Mode);
    std::mt19937 Random(uint32_t(1000 + Mode));
    const QStringList Words{"a", "bc", "def", " ", "gh ij", "\t", "klmno", "pq"};
    int Done = 0;
    for (int Round = 0; Round < 400; ++Round) {
        QStringList Lines;
        const int N = int(Random() % 5) + 1;
        for (int i = 0; i < N; ++i) {
            QString S;
            const int W = int(Random() % 5);
            for (int w = 0; w < W; ++w)
                S += Words[int(Random() % Words.size())];
            Lines << S;
        }
        TDragEdit E;
        E.SetTabWidth(4);
        E.SetLines(Lines);
        const auto Coord = [&] {
            const int L = int(Random() % N) + 1;
            return BufferCoord(int(Random() % (Lines[L - 1].size() + 1)) + 1, L);
        };
        TBufferCoord A = Coord();
        TBufferCoord B = Coord();
        if (M == smColumn) {
            // Blocks within the text, without tabs, so that characters are columns.
            for (QString &S : Lines)
                S.replace(QLatin1Char('\t'), QLatin1Char(' '));
            E.SetLines(Lines);
        }
        Select(E, M, A, B);
        if (!E.SelAvail()) continue;
        const TBufferCoord P = Coord();
        const bool Copy = Random() % 3 == 0;
        const TBufferCoord BB = E.BlockBegin();
        const TBufferCoord BE = E.BlockEnd();
        const QString Sel = E.SelText();
        // The model.
        QStringList Want = Lines;
        bool Refused = false;
        if (M == smNormal) {
            const QString T = Lines.join(QLatin1Char('\n'));
            const auto Offset = [&](TBufferCoord C) {
                int O = 0;
                for (int L = 1; L < C.Line; ++L)
                    O += int(Lines[L - 1].size()) + 1;
                return O + C.Char - 1;
            };
            const int b = Offset(BB), e = Offset(BE), p = Offset(P);
            QString S = Sel;
            S.replace(QLatin1String("\r\n"), QLatin1String("\n"));
            Refused = (p > b && p < e) || (!Copy && (p == b || p == e));
            QString R;
            if (Copy)
                R = T.left(p) + S + T.mid(p);
            else if (p > e)
                R = T.left(b) + T.mid(e, p - e) + S + T.mid(p);
            else
                R = T.left(p) + S + T.mid(p, b - p) + T.mid(e);
            if (!Refused) Want = R.split(QLatin1Char('\n'));
        } else if (M == smLine) {
            const int b = BB.Line, e = BE.Line, p = P.Line;
            Refused = (p > b && p <= e) || (!Copy && p == b);
            // The lines the text holds (an empty last line of the buffer has no line break to
            // carry it).
            QStringList Block = Sel.split(QStringLiteral("\r\n"));
            if (Block.last().isEmpty()) Block.removeLast();
            QStringList R = Lines;
            for (int i = 0; i < Block.size(); ++i)
                R.insert(p - 1 + i, Block[i]);
            if (!Copy) {
                const int From = p <= b ? b - 1 + int(Block.size()) : b - 1;
                R.erase(R.begin() + From, R.begin() + From + (e - b + 1));
                // Deleting lines down to the last leaves an empty last line.
                if (e == N) R << QString();
            }
            if (!Refused) Want = R;
        } else {
            // The editor's own column cut and insert at the corrected point.
            int Left = std::min(BB.Char, BE.Char), Right = std::max(BB.Char, BE.Char);
            Left = std::min(std::min(A.Char, B.Char), Left);
            Right = std::max(std::max(A.Char, B.Char), Right);
            const int TopRow = std::min(A.Line, B.Line), BottomRow = std::max(A.Line, B.Line);
            const bool OnRows = P.Line >= TopRow && P.Line <= BottomRow;
            const int RowLen = int(Lines[P.Line - 1].size());
            Refused = OnRows &&
                      ((P.Char > Left && P.Char < Right) || (!Copy && (P.Char == Left || P.Char == Right)));
            TLexEdit Model;
            Model.SetLines(Lines);
            TBufferCoord Q = P;
            if (!Copy) {
                Select(Model, smColumn, A, B);
                Model.SetSelText(QString());
                if (OnRows && P.Char >= Right)
                    Q.Char -= std::min(Right, RowLen + 1) - std::min(Left, RowLen + 1);
            }
            Model.SetOptions(Model.Options() + TLexEditorOptions{eoScrollPastEol});
            Model.SetCaretXY(Q);
            Model.SetSelTextPrimitiveEx(smColumn, Sel);
            if (!Refused) Want = LinesOf(Model);
        }
        E.DropAt = P;
        E.DropKeys = Copy ? Qt::ControlModifier : Qt::NoModifier;
        E.DragSelection();
        const QString What = QStringLiteral("round %1: %2 of [%3,%4 - %5,%6] to %7,%8 in %9")
                                 .arg(Round)
                                 .arg(Copy ? "copy" : "move")
                                 .arg(BB.Char)
                                 .arg(BB.Line)
                                 .arg(BE.Char)
                                 .arg(BE.Line)
                                 .arg(P.Char)
                                 .arg(P.Line)
                                 .arg(Lines.join(QLatin1Char('|')));
        QVERIFY2(LinesOf(E) == Want, qPrintable(What + QStringLiteral(" gave ") + LinesOf(E).join('|') +
                                                QStringLiteral(" want ") + Want.join('|')));
        if (Refused) {
            QVERIFY2(!E.CanUndo(), qPrintable(What));
            continue;
        }
        ++Done;
        E.Undo();
        QVERIFY2(LinesOf(E) == Lines,
                 qPrintable(What + QStringLiteral(" undo gave ") + LinesOf(E).join('|')));
        E.Redo();
        QVERIFY2(LinesOf(E) == Want, qPrintable(What + QStringLiteral(" redo")));
    }
    QVERIFY(Done > 100);
}

QTEST_MAIN(TestLexEditDragDrop)
#include "tst_lexedit_dragdrop.moc"
