// Painting of the editor: the display form of lines and the column rule it shares with the
// mapping and the line buffer.

#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QtTest>

using namespace lexedit;
using namespace editor_test;

class TestLexEditPaint : public QObject {
    Q_OBJECT

private slots:
    void wideGlyphBeforeTabOneColumnRule();
};

// A glyph two cells wide before a tab: the tab reaches its stop in display columns everywhere.
void TestLexEditPaint::wideGlyphBeforeTabOneColumnRule() {
    TLexEdit E;
    E.SetTabWidth(4);
    InjectWidths(E, {{0x216B, 1.5}, {0x4E2D, 2.0}});
    const QString Twelve = QStringLiteral("\x216B");
    E.SetLines({Twelve + QStringLiteral("\tx"), QStringLiteral("ab\x4E2D\t\x4E2D\ty"), QStringLiteral("\tq")});
    const struct {
        int Line;
        int Width;
    } Expected[] = {{1, 5}, {2, 13}, {3, 5}};
    for (const auto &X : Expected) {
        const int Index = X.Line - 1;
        const int Len = E.Lines()->LineCharLength(Index);
        // The mapping's width of the line, the buffer's expanded length and the display form.
        QCOMPARE(E.BufferToDisplayPos(BufferCoord(Len + 1, X.Line)).Column - 1, X.Width);
        QCOMPARE(E.Lines()->ExpandedStringLengths(Index), X.Width);
        QCOMPARE(E.ExpandAtWideGlyphs(E.Lines()->ExpandedStrings(Index)).size(), qsizetype(X.Width));
    }
    QCOMPARE(E.Lines()->LengthOfLongestLine(), 13);
    // The last character of each line sits in the last column of its display form.
    const QString Shown = E.ExpandAtWideGlyphs(E.Lines()->ExpandedStrings(1));
    QCOMPARE(Shown.back(), QLatin1Char('y'));
    QCOMPARE(E.DisplayToBufferPos(DisplayCoord(13, 2)).Char, 7);
}

QTEST_MAIN(TestLexEditPaint)
#include "tst_lexedit_paint.moc"
