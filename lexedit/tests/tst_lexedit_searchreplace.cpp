// SPDX-License-Identifier: MIT
// The editor's search and replace over the two search engines: the range rules, both directions,
// prompting, replace-all as one undo step, replacements with line breaks, failures, and a random
// replace-all property against a model built on QString::replace and QRegularExpression::replace.

#include "editor_helpers.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditRegexSearch.h"
#include "lexedit/LexEditSearch.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QtTest>

#include <memory>
#include <optional>
#include <vector>

using namespace lexedit;

namespace {

QStringList LinesOf(const TCustomLexEdit &E) {
    QStringList Result;
    for (int i = 0; i < E.Lines()->Count(); ++i)
        Result << E.Lines()->Get(i);
    return Result;
}

void Load(TCustomLexEdit &E, const QStringList &ALines) {
    E.SetLines(ALines);
    E.ClearUndo();
    E.SetCaretXY(BufferCoord(1, 1));
}

TLexSearchOptions Opts(std::initializer_list<TLexSearchOption> AItems) {
    TLexSearchOptions Result;
    for (TLexSearchOption O : AItems)
        Result.Include(O);
    return Result;
}

// Selects from ABegin to AEnd in AMode (the caret at AEnd).
void Select(TCustomLexEdit &E, TLexSelectionMode AMode, const TBufferCoord &ABegin,
            const TBufferCoord &AEnd) {
    E.SetSelectionMode(AMode);
    E.SetCaretAndSelection(AEnd, ABegin, AEnd);
    E.SetActiveSelectionMode(AMode);
}

// An engine that fails on the Nth line it is given (counting from 1), matching like the plain
// engine before that.
class TFailingEngine : public TLexEditSearch {
public:
    int FailAt = 0;
    int Calls = 0;
    int FindAll(const QString &NewText) override {
        if (++Calls == FailAt) throw ELexSearchError(QStringLiteral("engine failed"));
        return TLexEditSearch::FindAll(NewText);
    }
    int FindAllLatin1(QLatin1String NewText) override {
        if (++Calls == FailAt) throw ELexSearchError(QStringLiteral("engine failed"));
        return TLexEditSearch::FindAllLatin1(NewText);
    }
};

// Splits at CR LF, CR and LF, as insertion splits text into lines.
QStringList SplitBreaks(const QString &S) {
    static const QRegularExpression Breaks(QStringLiteral("\r\n|\r|\n"));
    return S.split(Breaks);
}

} // namespace

class TestLexEditSearchReplace : public QObject {
    Q_OBJECT
private slots:
    void noEngineRaisesAndChangesNothing();
    void lineBufferHandsOutLatin1Bytes();
    void emptySearchReturnsZero();
    void findForwardFromCaret();
    void findBackwardAtCaret();
    void findSelectsStreamInLineMode();
    void selectedOnlyWithoutSelectionSearchesAll();
    void threeOneLetterWords();
    void skipThenReplaceAll();
    void promptWithoutHandlerReplacesAll();
    void cancelKeepsMatchSelected();
    void columnSelectionOnly();
    void backwardReplaceAll();
    void backwardReplaceAllLeavesCaretAfterFirst();
    void regexReplacement_data();
    void regexReplacement();
    void catastrophicPatternReportsError();
    void engineFailureClosesLockAndUndoBlock();
    void engineDestroyedWhileAttached();
    void editorDestroyedBeforeEngine();
    // Regressions.
    void replaceByTextAroundLineBreakTerminates();
    void lineBreakOfEveryKindMovesRangeEnd_data();
    void lineBreakOfEveryKindMovesRangeEnd();
    void laterMatchesFollowInsertedLineBreak();
    // The property.
    void randomReplaceAllMatchesModel();
    void randomReplaceAllOfLoadedTextUndoesAndRedoes();
    void replacementTakesGroupsOfItsOwnMatch_data();
    void replacementTakesGroupsOfItsOwnMatch();
    void replaceAllExpandsByMatchIndex();
    void runawayPatternBoundedPerSearch();
    void loneSurrogateDoesNotStopSearch();
    void findStepsPastEmptyMatch();
};

void TestLexEditSearchReplace::lineBufferHandsOutLatin1Bytes() {
    TLexEdit E;
    Load(E, {"caf\u00e9 au lait", "\u03c9 omega", QString()});
    QLatin1String Bytes;
    QVERIFY(E.Lines()->GetLatin1(0, Bytes));
    QCOMPARE(QString(Bytes), E.Lines()->Get(0));
    QVERIFY(!E.Lines()->GetLatin1(1, Bytes)); // held as UTF-16
    QVERIFY(E.Lines()->GetLatin1(2, Bytes));
    QCOMPARE(Bytes.size(), 0);
    QVERIFY(!E.Lines()->GetLatin1(3, Bytes));
    QVERIFY(!E.Lines()->GetLatin1(-1, Bytes));
    // Both kinds of line are searched alike.
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    QCOMPARE(E.SearchReplace("A", "\u00e0", Opts({ssoReplaceAll, ssoEntireScope})), 4);
    QCOMPARE(LinesOf(E), QStringList({"c\u00e0f\u00e9 \u00e0u l\u00e0it", "\u03c9 omeg\u00e0", QString()}));
}

void TestLexEditSearchReplace::noEngineRaisesAndChangesNothing() {
    TLexEdit E;
    Load(E, {"abc abc"});
    try {
        E.SearchReplace("abc", "x", Opts({ssoReplaceAll, ssoEntireScope}));
        QFAIL("no error without an engine");
    } catch (const ELexEditError &Error) {
        QCOMPARE(Error.Message(), QString("No search engine has been assigned"));
    }
    QCOMPARE(LinesOf(E), QStringList({"abc abc"}));
    QVERIFY(!E.CanUndo());
    QCOMPARE(E.PaintLock(), 0);
}

void TestLexEditSearchReplace::emptySearchReturnsZero() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"abc"});
    QCOMPARE(E.SearchReplace(QString(), "x", Opts({ssoReplaceAll, ssoEntireScope})), 0);
    QCOMPARE(LinesOf(E), QStringList({"abc"}));
    QVERIFY(!E.CanUndo());
}

void TestLexEditSearchReplace::findForwardFromCaret() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab ab", "xx ab"});
    E.SetCaretXY(BufferCoord(4, 1)); // exactly at the second match
    QCOMPARE(E.SearchReplace("ab", QString(), {}), 1);
    QCOMPARE(E.BlockBegin(), BufferCoord(4, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(6, 1));
    QCOMPARE(E.CaretXY(), BufferCoord(6, 1));
    // Again from the caret left at the match's end: the next one.
    QCOMPARE(E.SearchReplace("ab", QString(), {}), 1);
    QCOMPARE(E.BlockBegin(), BufferCoord(4, 2));
    QCOMPARE(E.CaretXY(), BufferCoord(6, 2));
    QCOMPARE(E.SelText(), QString("ab"));
    QCOMPARE(E.SearchReplace("ab", QString(), {}), 0);
    // The whole text from its start.
    QCOMPARE(E.SearchReplace("ab", QString(), Opts({ssoEntireScope})), 1);
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 1));
}

void TestLexEditSearchReplace::findBackwardAtCaret() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab ab", "ab"});
    E.SetCaretXY(BufferCoord(6, 1)); // exactly at the end of the second match
    QCOMPARE(E.SearchReplace("ab", QString(), Opts({ssoBackwards})), 1);
    QCOMPARE(E.BlockBegin(), BufferCoord(4, 1));
    QCOMPARE(E.BlockEnd(), BufferCoord(6, 1));
    QCOMPARE(E.CaretXY(), BufferCoord(4, 1));
    QCOMPARE(E.SearchReplace("ab", QString(), Opts({ssoBackwards})), 1);
    QCOMPARE(E.CaretXY(), BufferCoord(1, 1));
    QCOMPARE(E.SearchReplace("ab", QString(), Opts({ssoBackwards})), 0);
    // Backwards over the whole text starts at its end.
    QCOMPARE(E.SearchReplace("ab", QString(), Opts({ssoBackwards, ssoEntireScope})), 1);
    QCOMPARE(E.BlockBegin(), BufferCoord(1, 2));
}

void TestLexEditSearchReplace::findSelectsStreamInLineMode() {
    // In line selection mode a match is still selected (and replaced) as its characters only.
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"one two", "two one"});
    E.SetSelectionMode(smLine);
    E.SetCaretXY(BufferCoord(1, 1));
    QCOMPARE(E.SearchReplace("two", "2", Opts({ssoReplace})), 1);
    QCOMPARE(LinesOf(E), QStringList({"one 2", "two one"}));
    QCOMPARE(E.SelectionMode(), smLine);
    QCOMPARE(E.SearchReplace("two", QString(), {}), 1);
    QCOMPARE(E.SelText(), QString("two"));
}

void TestLexEditSearchReplace::selectedOnlyWithoutSelectionSearchesAll() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"a b", "b a"});
    QCOMPARE(E.SearchReplace("a", "c", Opts({ssoReplaceAll, ssoSelectedOnly, ssoEntireScope})), 2);
    QCOMPARE(LinesOf(E), QStringList({"c b", "b c"}));
    // From the caret, without a selection: only what follows the caret.
    E.SetCaretXY(BufferCoord(2, 1));
    QCOMPARE(E.SearchReplace("c", "d", Opts({ssoReplaceAll, ssoSelectedOnly})), 1);
    QCOMPARE(LinesOf(E), QStringList({"c b", "b d"}));
}

void TestLexEditSearchReplace::threeOneLetterWords() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"a a a"});
    QCOMPARE(E.SearchReplace("a", "bb", Opts({ssoReplaceAll, ssoEntireScope})), 3);
    QCOMPARE(LinesOf(E), QStringList({"bb bb bb"}));
    QCOMPARE(E.PaintLock(), 0);
    // The caret after the last replacement, nothing selected.
    QCOMPARE(E.CaretXY(), BufferCoord(9, 1));
    QVERIFY(!E.SelAvail());
    E.Undo();
    QCOMPARE(LinesOf(E), QStringList({"a a a"}));
    QVERIFY(!E.CanUndo());
}

void TestLexEditSearchReplace::skipThenReplaceAll() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"x x", "x x"});
    std::vector<TBufferCoord> Asked;
    E.OnReplaceText = [&](TCustomLexEdit *, const QString &ASearch, const QString &AReplace, int Line,
                          int Column, TLexReplaceAction &Action) {
        QCOMPARE(ASearch, QString("x"));
        QCOMPARE(AReplace, QString("yy"));
        Asked.push_back(BufferCoord(Column, Line));
        Action = Asked.size() == 1 ? raSkip : raReplaceAll;
    };
    QCOMPARE(E.SearchReplace("x", "yy", Opts({ssoReplace, ssoPrompt, ssoEntireScope})), 3);
    QCOMPARE(LinesOf(E), QStringList({"x yy", "yy yy"}));
    QCOMPARE(int(Asked.size()), 2);
    QCOMPARE(Asked[0], BufferCoord(1, 1));
    QCOMPARE(Asked[1], BufferCoord(3, 1));
    QCOMPARE(E.PaintLock(), 0);
    // The replacements from the answer raReplaceAll on are one undo step.
    E.Undo();
    QCOMPARE(LinesOf(E), QStringList({"x x", "x x"}));
    QVERIFY(!E.CanUndo());
}

void TestLexEditSearchReplace::promptWithoutHandlerReplacesAll() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab", "ab ab"});
    QCOMPARE(E.SearchReplace("ab", "c", Opts({ssoReplaceAll, ssoPrompt, ssoEntireScope})), 3);
    QCOMPARE(LinesOf(E), QStringList({"c", "c c"}));
}

void TestLexEditSearchReplace::cancelKeepsMatchSelected() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab ab ab"});
    int Calls = 0;
    E.OnReplaceText = [&](TCustomLexEdit *, const QString &, const QString &, int, int,
                          TLexReplaceAction &Action) { Action = ++Calls == 1 ? raReplace : raCancel; };
    // The first is replaced; the answer for the second cancels, counted and still selected.
    QCOMPARE(E.SearchReplace("ab", "Z", Opts({ssoReplaceAll, ssoPrompt, ssoEntireScope})), 2);
    QCOMPARE(LinesOf(E), QStringList({"Z ab ab"}));
    QCOMPARE(E.BlockBegin(), BufferCoord(3, 1));
    QCOMPARE(E.SelText(), QString("ab"));
    QCOMPARE(E.PaintLock(), 0);
}

void TestLexEditSearchReplace::columnSelectionOnly() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab ab ab", "ab ab ab", "ab ab ab", "ab ab ab"});
    // Characters 2 to 6 of lines 2 and 3: the match at 4..5 lies inside, those at 1..2 and
    // 7..8 stick out on either side.
    Select(E, smColumn, BufferCoord(2, 2), BufferCoord(7, 3));
    QCOMPARE(E.SearchReplace("ab", "X", Opts({ssoReplaceAll, ssoSelectedOnly, ssoEntireScope})), 2);
    QCOMPARE(LinesOf(E), QStringList({"ab ab ab", "ab X ab", "ab X ab", "ab ab ab"}));
    E.Undo();
    QCOMPARE(LinesOf(E), QStringList({"ab ab ab", "ab ab ab", "ab ab ab", "ab ab ab"}));
}

void TestLexEditSearchReplace::backwardReplaceAllLeavesCaretAfterFirst() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"x ab ab", "ab"});
    E.SetCaretXY(BufferCoord(3, 2));
    QCOMPARE(E.SearchReplace("ab", "QQQ", Opts({ssoReplaceAll, ssoBackwards})), 3);
    QCOMPARE(LinesOf(E), QStringList({"x QQQ QQQ", "QQQ"}));
    // The last replacement made is the first match of the text.
    QCOMPARE(E.CaretXY(), BufferCoord(6, 1));
    QVERIFY(!E.SelAvail());
}

void TestLexEditSearchReplace::backwardReplaceAll() {
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab ab", "ab"});
    E.SetCaretXY(BufferCoord(3, 2)); // after the last match
    QCOMPARE(E.SearchReplace("ab", "x\ry", Opts({ssoReplaceAll, ssoBackwards})), 3);
    QCOMPARE(LinesOf(E), QStringList({"x", "y x", "y", "x", "y"}));
    E.Undo();
    QCOMPARE(LinesOf(E), QStringList({"ab ab", "ab"}));
}

void TestLexEditSearchReplace::regexReplacement_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("groups swapped") << "key=value, a=b"
                                    << "(\\w+)=(\\w+)"
                                    << "\\2=\\1"
                                    << "value=key, b=a";
    QTest::newRow("dollar groups") << "key=value"
                                   << "(\\w+)=(\\w+)"
                                   << "$2:$1"
                                   << "value:key";
    QTest::newRow("whole match") << "abc"
                                 << "b"
                                 << "[\\0]"
                                 << "a[b]c";
    QTest::newRow("upper to end") << "get name"
                                  << "(\\w+) (\\w+)"
                                  << "\\U\\1 \\2"
                                  << "GET NAME";
    QTest::newRow("upper until E") << "get name"
                                   << "(\\w+) (\\w+)"
                                   << "\\U\\1\\E \\2"
                                   << "GET name";
    QTest::newRow("lower") << "GET NAME"
                           << "(\\w+) (\\w+)"
                           << "\\L\\1\\E \\2"
                           << "get NAME";
    QTest::newRow("one upper") << "get name"
                               << "(\\w+) (\\w+)"
                               << "\\1\\u\\2"
                               << "getName";
    QTest::newRow("one lower") << "Get Name"
                               << "(\\w+) (\\w+)"
                               << "\\l\\1 \\2"
                               << "get Name";
    QTest::newRow("upper then one lower") << "ab cd"
                                          << "(\\w+) (\\w+)"
                                          << "\\U\\l\\1\\2"
                                          << "aBCD";
    QTest::newRow("escaped line break") << "a;b"
                                        << ";"
                                        << "\\n"
                                        << "a\nb";
    QTest::newRow("group that took no part") << "ac"
                                             << "a(b)?c"
                                             << "[\\1]"
                                             << "[]";
}

void TestLexEditSearchReplace::regexReplacement() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    TLexEdit E;
    TLexEditRegexSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {text});
    QVERIFY(E.SearchReplace(pattern, replacement, Opts({ssoReplaceAll, ssoEntireScope, ssoMatchCase})) > 0);
    QCOMPARE(LinesOf(E), SplitBreaks(expected));
    E.Undo();
    QCOMPARE(LinesOf(E), QStringList({text}));
}

void TestLexEditSearchReplace::catastrophicPatternReportsError() {
    TLexEdit E;
    TLexEditRegexSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"x", QString(30, u'a') + u'b'});
    QElapsedTimer Watchdog;
    Watchdog.start();
    try {
        E.SearchReplace("(a+)+$", "x", Opts({ssoReplaceAll, ssoEntireScope, ssoMatchCase}));
        QFAIL("a runaway pattern reported no error");
    } catch (const ELexSearchError &Error) {
        QCOMPARE(Error.Message(), QString("pattern too complex"));
    }
    // A generous bound, so that a loaded machine does not fail it: without the match limit the
    // pattern runs for minutes.
    QVERIFY2(Watchdog.elapsed() < 20000, "the match limit did not stop the pattern");
    QCOMPARE(E.PaintLock(), 0);
    QCOMPARE(LinesOf(E).at(1), QString(30, u'a') + u'b');
}

void TestLexEditSearchReplace::engineFailureClosesLockAndUndoBlock() {
    TLexEdit E;
    TFailingEngine Engine;
    Engine.FailAt = 3;
    E.SetSearchEngine(&Engine);
    Load(E, {"a a", "a", "a", "a"});
    try {
        E.SearchReplace("a", "b", Opts({ssoReplaceAll, ssoEntireScope}));
        QFAIL("the engine's failure did not reach the caller");
    } catch (const ELexSearchError &Error) {
        QCOMPARE(Error.Message(), QString("engine failed"));
    }
    // A silent replace-all searches everything before it replaces: the text is unchanged, the
    // lock is released and the block closed empty.
    QCOMPARE(LinesOf(E), QStringList({"a a", "a", "a", "a"}));
    QCOMPARE(E.PaintLock(), 0);
    QVERIFY(!E.CanUndo());
    // The editor goes on working.
    Engine.FailAt = 0;
    QCOMPARE(E.SearchReplace("a", "c", Opts({ssoReplaceAll, ssoEntireScope})), 5);
}

void TestLexEditSearchReplace::engineDestroyedWhileAttached() {
    TLexEdit E;
    TLexEdit Other;
    auto Engine = std::make_unique<TLexEditSearch>();
    E.SetSearchEngine(Engine.get());
    Other.SetSearchEngine(Engine.get());
    QCOMPARE(E.SearchEngine(), Engine.get());
    Engine.reset();
    QCOMPARE(E.SearchEngine(), nullptr);
    QCOMPARE(Other.SearchEngine(), nullptr);
    Load(E, {"abc"});
    QVERIFY_THROWS_EXCEPTION(ELexEditError, E.SearchReplace("a", "b", Opts({ssoReplaceAll})));
    // Switching engines keeps only the newest attached.
    TLexEditSearch First;
    TLexEditRegexSearch Second;
    E.SetSearchEngine(&First);
    E.SetSearchEngine(&Second);
    QCOMPARE(E.SearchEngine(), &Second);
    E.SetSearchEngine(nullptr);
    QCOMPARE(E.SearchEngine(), nullptr);
}

void TestLexEditSearchReplace::editorDestroyedBeforeEngine() {
    // The engine outlives the editor: its destruction must not touch the editor (the sanitizer
    // run catches a use after free here).
    TLexEditSearch Engine;
    {
        TLexEdit E;
        E.SetSearchEngine(&Engine);
    }
    TLexEdit Later;
    Later.SetSearchEngine(&Engine);
    Load(Later, {"a"});
    QCOMPARE(Later.SearchReplace("a", "b", Opts({ssoReplaceAll, ssoEntireScope})), 1);
}

void TestLexEditSearchReplace::replaceByTextAroundLineBreakTerminates() {
    // "a" by "a" CR LF "a": the inserted "a"s are never searched again, so the walk ends.
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"aa a", "a"});
    QCOMPARE(E.SearchReplace("a", "a\r\na", Opts({ssoReplaceAll, ssoEntireScope})), 4);
    QCOMPARE(LinesOf(E), QStringList({"a", "aa", "a a", "a", "a", "a"}));
    QCOMPARE(E.PaintLock(), 0);
    E.Undo();
    QCOMPARE(LinesOf(E), QStringList({"aa a", "a"}));
    QVERIFY(!E.CanUndo());
}

void TestLexEditSearchReplace::lineBreakOfEveryKindMovesRangeEnd_data() {
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QStringList>("expected");
    QTest::newRow("CR LF") << "<\r\n>" << QStringList({"<", "> <", ">", "<", "> x", "x x"});
    QTest::newRow("LF") << "<\n>" << QStringList({"<", "> <", ">", "<", "> x", "x x"});
    QTest::newRow("CR") << "<\r>" << QStringList({"<", "> <", ">", "<", "> x", "x x"});
    QTest::newRow("LF CR: two breaks")
        << "<\n\r>" << QStringList({"<", "", "> <", "", ">", "<", "", "> x", "x x"});
}

void TestLexEditSearchReplace::lineBreakOfEveryKindMovesRangeEnd() {
    // A selection of lines 1 and 2 (ending after the first x of line 2): the range end moves
    // down by every break a replacement inserts, so no x of line 3, and no x after the range
    // end on line 2, is replaced.
    QFETCH(QString, replacement);
    QFETCH(QStringList, expected);
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"x x", "x x", "x x"});
    Select(E, smNormal, BufferCoord(1, 1), BufferCoord(2, 2));
    QCOMPARE(E.SearchReplace("x", replacement, Opts({ssoReplaceAll, ssoSelectedOnly, ssoEntireScope})), 3);
    QCOMPARE(LinesOf(E), expected);
    E.Undo();
    QCOMPARE(LinesOf(E), QStringList({"x x", "x x", "x x"}));
}

void TestLexEditSearchReplace::laterMatchesFollowInsertedLineBreak() {
    // The later matches of a line stand on the last inserted line after a replacement with a
    // break, shifted by the length of its last piece: each is replaced where it is.
    TLexEdit E;
    TLexEditSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab-ab--ab", "ab"});
    QCOMPARE(E.SearchReplace("ab", "[\r\nLONG]", Opts({ssoReplaceAll, ssoEntireScope})), 4);
    QCOMPARE(LinesOf(E), QStringList({"[", "LONG]-[", "LONG]--[", "LONG]", "[", "LONG]"}));
}

void TestLexEditSearchReplace::randomReplaceAllMatchesModel() {
    // Random texts, patterns and replacements (with line breaks of every kind), replaced in the
    // whole text, from the caret either way, or in a normal, line or column selection. The text
    // equals a model that replaces in each line's part of the range with QString::replace or
    // QRegularExpression::replace, the count equals the model's, and one undo restores the text.
    // Patterns never overlap with themselves, so that a match of the whole line lies inside the
    // range exactly when it is a match of the range's part.
    QRandomGenerator R(20261210);
    // The Greek letter makes some lines UTF-16 lines of the buffer, the others stay Latin-1.
    const QString TextAlphabet = QStringLiteral("abcAB \u03c9");
    const QStringList RegexPatterns = {"a(b)", "(a)c", "b([ac])", "(a|c)b", "a(b|c)", "(b)( )", "(c)"};
    const QStringList Breaks = {"\r\n", "\n", "\r"};
    // Where a line break or a marker stands for one in the model's replacement.
    const QChar Marker(0xE000);
    TLexEdit E;
    TLexEditSearch Plain;
    TLexEditRegexSearch Regex;
    int Replaced = 0;
    const int Rounds = 10000;
    for (int Round = 0; Round < Rounds; ++Round) {
        QStringList Text;
        const int LineCount = 1 + R.bounded(6);
        for (int i = 0; i < LineCount; ++i) {
            QString S;
            const int Len = R.bounded(13);
            for (int j = 0; j < Len; ++j)
                S += TextAlphabet.at(R.bounded(int(TextAlphabet.size())));
            Text << S;
        }
        const bool UseRegex = R.bounded(2) == 1;
        const bool MatchCase = R.bounded(2) == 1;
        QString Pattern;
        if (UseRegex) {
            Pattern = RegexPatterns.at(R.bounded(int(RegexPatterns.size())));
        } else {
            for (;;) {
                Pattern.clear();
                const int Len = 1 + R.bounded(3);
                for (int j = 0; j < Len; ++j)
                    Pattern += QStringLiteral("abcA ").at(R.bounded(5));
                const QString P = MatchCase ? Pattern : Pattern.toLower();
                bool BorderFree = true;
                for (int k = 1; k < P.size(); ++k)
                    BorderFree = BorderFree && P.left(k) != P.right(k);
                if (BorderFree) break;
            }
        }
        QString Replacement;
        const int RLen = R.bounded(5);
        for (int j = 0; j < RLen; ++j) {
            const int Kind = R.bounded(UseRegex ? 8 : 7);
            if (Kind < 2)
                Replacement += Breaks.at(R.bounded(3));
            else if (Kind == 7)
                Replacement += QStringLiteral("\\1");
            else
                Replacement += QStringLiteral("abxyZ").at(Kind - 2);
        }
        // A CR followed by an LF is one break, as insertion splits text.
        const QString ModelReplacement = SplitBreaks(Replacement).join(Marker);

        // The range: 0 whole text, 1 from the caret forwards, 2 backwards to the caret,
        // 3 normal, 4 line, 5 column selection.
        const int Scope = R.bounded(6);
        Load(E, Text);
        E.SetSelectionMode(smNormal);
        const auto RandomPos = [&] {
            const int L = 1 + R.bounded(LineCount);
            return BufferCoord(1 + R.bounded(int(Text.at(L - 1).size()) + 1), L);
        };
        TLexSearchOptions Options = Opts({ssoReplaceAll});
        if (MatchCase) Options.Include(ssoMatchCase);
        if (R.bounded(2) == 1) Options.Include(ssoBackwards);
        TBufferCoord First = BufferCoord(1, 1);
        TBufferCoord Last = BufferCoord(int(Text.last().size()) + 1, LineCount);
        TLexSelectionMode Mode = smNormal;
        if (Scope == 0) {
            Options.Include(ssoEntireScope);
        } else if (Scope <= 2) {
            const TBufferCoord Caret = RandomPos();
            E.SetCaretXY(Caret);
            Options.Exclude(ssoBackwards);
            if (Scope == 1) {
                First = Caret;
            } else {
                Options.Include(ssoBackwards);
                Last = Caret;
            }
        } else {
            Mode = Scope == 3 ? smNormal : Scope == 4 ? smLine : smColumn;
            TBufferCoord A = RandomPos();
            TBufferCoord B = RandomPos();
            if (B < A) std::swap(A, B);
            if (Mode == smColumn) {
                // Characters of the longest line, so that the block may reach past short lines.
                int Width = 0;
                for (const QString &S : Text)
                    Width = std::max(Width, int(S.size()));
                A.Char = 1 + R.bounded(Width + 1);
                B.Char = 1 + R.bounded(Width + 1);
            }
            Select(E, Mode, A, B);
            Options.Include(ssoSelectedOnly);
            Options.Include(ssoEntireScope);
            if (E.SelAvail()) {
                First = A;
                Last = B;
            } else {
                Mode = smNormal;
            }
        }

        // The model.
        QStringList Model;
        int ModelCount = 0;
        const QRegularExpression Re(Pattern, MatchCase ? QRegularExpression::NoPatternOption
                                                       : QRegularExpression::CaseInsensitiveOption);
        const Qt::CaseSensitivity Cs = MatchCase ? Qt::CaseSensitive : Qt::CaseInsensitive;
        for (int L = 1; L <= LineCount; ++L) {
            const QString &S = Text.at(L - 1);
            if (L < First.Line || L > Last.Line) {
                Model << S;
                continue;
            }
            int Lo = 1;
            int Hi = int(S.size()) + 1;
            if (Mode == smColumn) {
                Lo = std::min(First.Char, Last.Char);
                Hi = std::max(First.Char, Last.Char);
            } else if (Mode != smLine) {
                if (L == First.Line) Lo = First.Char;
                if (L == Last.Line) Hi = Last.Char;
            }
            Lo = std::min(Lo, int(S.size()) + 1);
            Hi = std::clamp(Hi, Lo, int(S.size()) + 1);
            QString Part = S.mid(Lo - 1, Hi - Lo);
            if (UseRegex) {
                auto It = Re.globalMatch(Part);
                while (It.hasNext()) {
                    It.next();
                    ++ModelCount;
                }
                Part.replace(Re, ModelReplacement);
            } else {
                ModelCount += int(Part.count(Pattern, Cs));
                Part.replace(Pattern, ModelReplacement, Cs);
            }
            Model << (S.left(Lo - 1) + Part + S.mid(Hi - 1)).split(Marker);
        }

        E.SetSearchEngine(UseRegex ? static_cast<TLexEditSearchCustom *>(&Regex) : &Plain);
        const int Count = E.SearchReplace(Pattern, Replacement, Options);
        const QString Context =
            QStringLiteral("round %1: text %2, pattern \"%3\", replacement \"%4\", scope %5, "
                           "range %6:%7-%8:%9, options %10")
                .arg(Round)
                .arg(Text.join(u'|'), Pattern, QString(Replacement).replace('\r', "\\r").replace('\n', "\\n"))
                .arg(Scope)
                .arg(First.Line)
                .arg(First.Char)
                .arg(Last.Line)
                .arg(Last.Char)
                .arg(int(Options.ToMask()));
        QVERIFY2(LinesOf(E) == Model,
                 qPrintable(Context + "\n got: " + LinesOf(E).join(u'|') + "\n model: " + Model.join(u'|')));
        QVERIFY2(
            Count == ModelCount,
            qPrintable(Context + QStringLiteral(": %1 counted, %2 in the model").arg(Count).arg(ModelCount)));
        QCOMPARE(E.PaintLock(), 0);
        if (Count > 0) {
            E.Undo();
            QVERIFY2(LinesOf(E) == Text, qPrintable(Context + " (undo)"));
            E.Redo();
            QVERIFY2(LinesOf(E) == Model, qPrintable(Context + " (redo)"));
            E.Undo();
            QVERIFY2(LinesOf(E) == Text, qPrintable(Context + " (undo after redo)"));
        }
        QVERIFY2(!E.CanUndo(), qPrintable(Context + " (more than one undo step)"));
        Replaced += Count;
    }
    // The rounds did replace something (the generator's choices are not degenerate).
    QVERIFY(Replaced > Rounds / 2);
}

void TestLexEditSearchReplace::randomReplaceAllOfLoadedTextUndoesAndRedoes() {
    // Texts loaded from 8-bit bytes (the lines held in the loaded block), some lines short and
    // some about as long as the longest line held as bytes, with tabs. Replace-alls (lines that
    // grow past that length or get characters outside Latin-1, lines that shrink to nothing),
    // undos and redos in random order: after each the text equals the model's state, a regex
    // count over the buffer (which reads runs of lines from their blocks) equals the model's,
    // and every line's display length equals its expanded text's.
    QRandomGenerator R(20261211);
    const QString Alphabet = QStringLiteral("ab= \t\u00e9");
    const QStringList Patterns = {"a", "=", "b a", "\u00e9", "ab"};
    const QStringList Replacements = {"==", "", "\u03c9", "x", "xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"};
    TLexEdit E;
    TLexEditSearch Plain;
    TLexEditRegexSearch Regex;
    E.SetSearchEngine(&Plain);
    Regex.SetOptions(Opts({ssoMatchCase}));
    Regex.SetPattern(QStringLiteral("a"));
    int Replaced = 0;
    for (int Round = 0; Round < 150; ++Round) {
        QStringList Text;
        const int LineCount = 1 + R.bounded(25);
        for (int i = 0; i < LineCount; ++i) {
            const int Len = R.bounded(4) == 0 ? 4060 + R.bounded(40) : R.bounded(12);
            QString S;
            for (int j = 0; j < Len; ++j)
                S += Alphabet.at(R.bounded(int(Alphabet.size())));
            Text << S;
        }
        Text.last() += QLatin1Char('a'); // no line break ends the text
        E.Lines()->LoadFromBytes(Text.join(QStringLiteral("\r\n")).toLatin1(), seAnsi);
        E.ClearUndo();
        QCOMPARE(LinesOf(E), Text);
        std::vector<QStringList> States = {Text};
        size_t At = 0;
        for (int Step = 0; Step < 8; ++Step) {
            const int Kind = R.bounded(4);
            QString What;
            if (Kind <= 1) {
                const QString Pattern = Patterns.at(R.bounded(int(Patterns.size())));
                const QString Replacement = Replacements.at(R.bounded(int(Replacements.size())));
                TLexSearchOptions Options = Opts({ssoMatchCase, ssoReplaceAll, ssoEntireScope});
                if (R.bounded(2) == 1) Options.Include(ssoBackwards);
                What = QStringLiteral("replace \"%1\" by \"%2\"").arg(Pattern, Replacement);
                if (E.SearchReplace(Pattern, Replacement, Options) > 0) {
                    QStringList Model = States[At];
                    for (QString &S : Model)
                        S.replace(Pattern, Replacement);
                    States.resize(At + 1);
                    States.push_back(Model);
                    ++At;
                    ++Replaced;
                }
            } else if (Kind == 2) {
                What = QStringLiteral("undo");
                E.Undo();
                if (At > 0) --At;
            } else {
                What = QStringLiteral("redo");
                E.Redo();
                if (At + 1 < States.size()) ++At;
            }
            const QString Context = QStringLiteral("round %1 step %2: %3").arg(Round).arg(Step).arg(What);
            QVERIFY2(LinesOf(E) == States[At], qPrintable(Context));
            long long Model = 0;
            for (const QString &S : States[At])
                Model += S.count(QLatin1Char('a'));
            const long long Counted =
                Regex.FindAllLines(*E.Lines(), 0, E.Lines()->Count() - 1, [](int, int) { return true; });
            QVERIFY2(Counted == Model,
                     qPrintable(Context +
                                QStringLiteral(": %1 counted, %2 in the model").arg(Counted).arg(Model)));
            for (int i = 0; i < E.Lines()->Count(); ++i)
                QVERIFY2(E.Lines()->ExpandedStringLengths(i) == E.Lines()->ExpandedStrings(i).size(),
                         qPrintable(Context + QStringLiteral(": line %1").arg(i)));
        }
    }
    // The rounds did replace something (the generator's choices are not degenerate).
    QVERIFY(Replaced > 150);
}

void TestLexEditSearchReplace::replacementTakesGroupsOfItsOwnMatch_data() {
    // Matches of one line with the same text (lookarounds, empty matches) but different groups,
    // replaced all at once and one by one (prompted).
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("pattern");
    QTest::addColumn<QString>("replacement");
    QTest::addColumn<QString>("expected");
    QTest::newRow("lookbehind") << "1x2x"
                                << "(?<=(\\d))x"
                                << "[\\1]"
                                << "1[1]2[2]";
    QTest::newRow("lookahead") << "bcbcj"
                               << "bc(?=(.))"
                               << "\\1"
                               << "bjj";
    QTest::newRow("alternatives") << "ab ac"
                                  << "a(?=(b))|a(?=(c))"
                                  << "<\\1\\2>"
                                  << "<b>b <c>c";
    QTest::newRow("empty matches") << "\u00c5\u00e5"
                                   << "(?=(.))"
                                   << "\\1"
                                   << "\u00c5\u00c5\u00e5\u00e5";
}

void TestLexEditSearchReplace::replacementTakesGroupsOfItsOwnMatch() {
    QFETCH(QString, text);
    QFETCH(QString, pattern);
    QFETCH(QString, replacement);
    QFETCH(QString, expected);
    for (const bool Prompt : {false, true}) {
        TLexEdit E;
        TLexEditRegexSearch Engine;
        E.SetSearchEngine(&Engine);
        E.OnReplaceText = [](TCustomLexEdit *, const QString &, const QString &, int, int,
                             TLexReplaceAction &A) { A = raReplace; };
        Load(E, {text});
        TLexSearchOptions O = Opts({ssoReplaceAll, ssoEntireScope, ssoMatchCase});
        if (Prompt) O.Include(ssoPrompt);
        E.SearchReplace(pattern, replacement, O);
        QCOMPARE(LinesOf(E), QStringList({expected}));
    }
}

void TestLexEditSearchReplace::replaceAllExpandsByMatchIndex() {
    // Each replacement is made from the match the editor replaces, known by its index, never
    // looked up again by its text in the line's matches (which made a line with many matches
    // quadratic), on both replace-all paths.
    class TCountingEngine : public TLexEditRegexSearch {
    public:
        int Lookups = 0;
        QString Replace(const QString &aOccurrence, const QString &aReplacement) override {
            ++Lookups;
            return TLexEditRegexSearch::Replace(aOccurrence, aReplacement);
        }
    };
    QStringList Words;
    QStringList Want;
    for (int i = 0; i < 3000; ++i) {
        Words << QStringLiteral("n%1").arg(i);
        Want << QStringLiteral("<%1>").arg(i);
    }
    for (const bool Prompt : {false, true}) {
        TLexEdit E;
        TCountingEngine Engine;
        E.SetSearchEngine(&Engine);
        E.OnReplaceText = [](TCustomLexEdit *, const QString &, const QString &, int, int,
                             TLexReplaceAction &A) { A = raReplace; };
        Load(E, {Words.join(u' ')});
        TLexSearchOptions O = Opts({ssoReplaceAll, ssoEntireScope, ssoMatchCase});
        if (Prompt) O.Include(ssoPrompt);
        QCOMPARE(E.SearchReplace("n(\\d+)", "<\\1>", O), 3000);
        QCOMPARE(LinesOf(E), QStringList({Want.join(u' ')}));
        QCOMPARE(Engine.Lookups, 0);
    }
}

void TestLexEditSearchReplace::runawayPatternBoundedPerSearch() {
    // Each line stays under the match limit, but all of them together would take minutes: the
    // search has one budget, and past it fails with the text unchanged.
    TLexEdit E;
    TLexEditRegexSearch Engine;
    E.SetSearchEngine(&Engine);
    const QStringList Text(10000, QString(22, u'a') + QString(6, u'b'));
    Load(E, Text);
    for (const bool Replace : {true, false}) {
        try {
            E.SearchReplace("(.*a){25}", "x",
                            Replace ? Opts({ssoReplaceAll, ssoEntireScope}) : Opts({ssoEntireScope}));
            QFAIL("a runaway pattern reported no error");
        } catch (const ELexSearchError &Error) {
            QCOMPARE(Error.Message(), QString("pattern too complex"));
        }
        QVERIFY(LinesOf(E) == Text);
        QVERIFY(!E.CanUndo());
    }
    // A new search has a new budget.
    QCOMPARE(E.SearchReplace("a{22}", "x", Opts({ssoReplaceAll, ssoEntireScope})), 10000);
}

void TestLexEditSearchReplace::loneSurrogateDoesNotStopSearch() {
    TLexEdit E;
    TLexEditRegexSearch Engine;
    E.SetSearchEngine(&Engine);
    const QString Broken = QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y b");
    Load(E, {"b one", Broken, "last b"});
    QCOMPARE(E.SearchReplace("b", "B", Opts({ssoReplaceAll, ssoEntireScope, ssoMatchCase})), 3);
    QCOMPARE(LinesOf(E),
             QStringList({"B one", QStringLiteral("x") + QChar(0xD800) + QStringLiteral("y B"), "last B"}));
}

void TestLexEditSearchReplace::findStepsPastEmptyMatch() {
    // A find from the caret where an empty match stands finds the next match, forwards and
    // backwards, so repeated finds walk the line instead of staying put.
    TLexEdit E;
    TLexEditRegexSearch Engine;
    E.SetSearchEngine(&Engine);
    Load(E, {"ab xx cd"});
    QList<int> Forward;
    E.SetCaretXY(BufferCoord(1, 1));
    while (E.SearchReplace("x*", QString(), Opts({ssoMatchCase})) > 0)
        Forward << E.CaretX();
    QCOMPARE(Forward, QList<int>({2, 3, 6, 7, 8, 9}));
    QList<int> Backward;
    E.SetCaretXY(BufferCoord(9, 1));
    while (E.SearchReplace("x*", QString(), Opts({ssoMatchCase, ssoBackwards})) > 0)
        Backward << E.CaretX();
    QCOMPARE(Backward, QList<int>({8, 7, 6, 4, 3, 2, 1}));
    // A match that is not empty is still found where the caret stands.
    E.SetCaretXY(BufferCoord(4, 1));
    QCOMPARE(E.SearchReplace("x*", QString(), Opts({ssoMatchCase})), 1);
    QCOMPARE(E.SelText(), QString("xx"));
}

QTEST_MAIN(TestLexEditSearchReplace)
#include "tst_lexedit_searchreplace.moc"
