// SPDX-License-Identifier: MIT
// The base highlighter: attributes, change notification, character classes, the scanning core,
// Assign, the options record and the placeable-highlighter list.

#include "highlighter_helpers.h"

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditHighlighterOptions.h"
#include "lexedit/LexEditTypes.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QtTest>

using namespace lexedit;
using namespace lexedit_test;

namespace {

// Records the senders of a highlighter's change notifications.
struct TListener {
    QVector<QObject *> Senders;
    void Hook(TLexCustomHighlighter &H) {
        H.HookAttrChangeEvent(this, [this](QObject *Sender) { Senders << Sender; });
    }
};

} // namespace

class TestLexEditHighlighter : public QObject {
    Q_OBJECT

private slots:
    void attributeSettersNotifyOnlyOnChange();
    void attributeStyleFromInt_data();
    void attributeStyleFromInt();
    void attributeAssign();
    void chainAddRemoveAndOrder();
    void chainListenerMayRemoveItselfAndAddOthers();
    void chainExceptionHandling();
    void updateBracketsNotifyOnce();
    void loadingSuppressesNotification();
    void attributeListOrderAndBounds();
    void duplicateAttributeIsRejected();
    void exportName();
    void assignBetweenHighlighters();
    void assignFromUnrelatedClassFails();
    void wordBreakAndIdentChars();
    void emptyLineGivesEndOfLine();
    void caseInsensitiveKeepsTokenCase();
    void caseFoldingOverRandomText();
    void expandedPositions();
    void expandedScanSkipsFillersWithinTheLine();
    void genuineFillerCodeIsAnOrdinaryCharacter_data();
    void genuineFillerCodeIsAnOrdinaryCharacter();
    void optionsAssign();
    void placeableHighlighters();
};

void TestLexEditHighlighter::attributeSettersNotifyOnlyOnChange() {
    TLexHighlighterAttributes A(QStringLiteral("Name"), QStringLiteral("Friendly"));
    QCOMPARE(A.Background(), clNone);
    QCOMPARE(A.Foreground(), clNone);
    QVERIFY(A.Style().Empty());
    int Changes = 0;
    QObject *LastSender = nullptr;
    A.SetOnChange([&](QObject *Sender) {
        ++Changes;
        LastSender = Sender;
    });
    A.SetBackground(clNone);
    A.SetForeground(clNone);
    A.SetStyle({});
    A.SetColors(clNone, clNone);
    QCOMPARE(Changes, 0);
    A.SetBackground(clRed);
    QCOMPARE(Changes, 1);
    QCOMPARE(LastSender, &A);
    A.SetColors(clBlue, clGreen); // both differ: one notification
    QCOMPARE(Changes, 2);
    QCOMPARE(A.Foreground(), clBlue);
    QCOMPARE(A.Background(), clGreen);
    A.SetColors(clBlue, clGreen);
    QCOMPARE(Changes, 2);
    A.SetStyle({fsBold});
    QCOMPARE(Changes, 3);
    QVERIFY(A.GetFontStyleStored());
    A.InternalSaveDefaultValues();
    QVERIFY(!A.GetFontStyleStored() && !A.GetBackgroundColorStored() && !A.GetForegroundColorStored());
    A.SetForeground(clRed);
    QVERIFY(A.GetForegroundColorStored());
}

void TestLexEditHighlighter::attributeStyleFromInt_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("maxChanges");
    QTest::newRow("none") << 0 << 0 << 0;
    QTest::newRow("bold") << 1 << 1 << 1;
    QTest::newRow("italic") << 2 << 2 << 1;
    QTest::newRow("all") << 15 << 15 << 4;
    QTest::newRow("high bits ignored") << 0xF2 << 2 << 1;
}

void TestLexEditHighlighter::attributeStyleFromInt() {
    QFETCH(int, value);
    QFETCH(int, mask);
    QFETCH(int, maxChanges);
    TLexHighlighterAttributes A(QStringLiteral("A"), QStringLiteral("A"));
    int Changes = 0;
    A.SetOnChange([&](QObject *) { ++Changes; });
    A.SetIntegerStyle(value);
    QCOMPARE(A.IntegerStyle(), mask);
    QVERIFY(Changes <= maxChanges);
    // Setting it again keeps it (the style is rebuilt: first bold or nothing, then the rest).
    A.SetIntegerStyle(value);
    QCOMPARE(A.IntegerStyle(), mask);
}

void TestLexEditHighlighter::attributeAssign() {
    TLexHighlighterAttributes Src(QStringLiteral("Src"), QStringLiteral("Source friendly"));
    Src.SetColors(clRed, clBlue);
    Src.SetStyle({fsItalic, fsUnderline});
    TLexHighlighterAttributes Dst(QStringLiteral("Dst"), QStringLiteral("Dest friendly"));
    int Changes = 0;
    Dst.SetOnChange([&](QObject *) { ++Changes; });
    Dst.Assign(&Src);
    QCOMPARE(Dst.Name(), QStringLiteral("Src"));
    QCOMPARE(Dst.FriendlyName(), QStringLiteral("Dest friendly"));
    QCOMPARE(Dst.Foreground(), clRed);
    QCOMPARE(Dst.Background(), clBlue);
    QCOMPARE(Dst.Style(), (TFontStyles{fsItalic, fsUnderline}));
    QCOMPARE(Changes, 1);
    Dst.Assign(&Src);
    QCOMPARE(Changes, 1);
    QObject Other;
    QVERIFY_THROWS_EXCEPTION(EConvertError, Dst.Assign(&Other));
    QVERIFY_THROWS_EXCEPTION(EConvertError, Dst.Assign(nullptr));
}

void TestLexEditHighlighter::chainAddRemoveAndOrder() {
    QObject Sender;
    TLexNotifyEventChain Chain(&Sender);
    QStringList Calls;
    int a = 0, b = 0;
    Chain.Add(&a, [&](QObject *S) { Calls << QStringLiteral("a%1").arg(S == &Sender); });
    Chain.Add(&b, [&](QObject *) { Calls << QStringLiteral("b"); });
    Chain.Add(&a, [&](QObject *) { Calls << QStringLiteral("a2"); });
    Chain.Fire();
    QCOMPARE(Calls, (QStringList{"a1", "b", "a2"}));
    Chain.Remove(&a);
    QCOMPARE(Chain.Count(), 1);
    Calls.clear();
    Chain.Fire();
    QCOMPARE(Calls, QStringList{"b"});
    try {
        Chain.Add(&a, TNotifyEvent());
        QFAIL("no exception");
    } catch (const ELexMethodChain &E) {
        QCOMPARE(E.Message(),
                 QStringLiteral("TLexNotifyEventChain.Entry : the parameter `AEvent' must be specified."));
    }
    try {
        Chain.Remove(nullptr);
        QFAIL("no exception");
    } catch (const ELexMethodChain &E) {
        QCOMPARE(E.Message(),
                 QStringLiteral("TLexNotifyEventChain.Remove: the parameter `AEvent' must be specified."));
    }
}

void TestLexEditHighlighter::chainListenerMayRemoveItselfAndAddOthers() {
    TLexNotifyEventChain Chain(nullptr);
    int a = 0, b = 0, c = 0;
    QStringList Calls;
    Chain.Add(&a, [&](QObject *) {
        Calls << QStringLiteral("a");
        Chain.Remove(&a); // destroys the stored function while it runs from its copy
        Chain.Add(&c, [&](QObject *) { Calls << QStringLiteral("c"); });
    });
    Chain.Add(&b, [&](QObject *) { Calls << QStringLiteral("b"); });
    Chain.Fire();
    // "a" removed itself, so "b" moved to index 0 and is skipped; "c" was added and runs.
    QCOMPARE(Calls, (QStringList{"a", "c"}));
    Calls.clear();
    Chain.Fire();
    QCOMPARE(Calls, (QStringList{"b", "c"}));
}

void TestLexEditHighlighter::chainExceptionHandling() {
    TLexNotifyEventChain Chain(nullptr);
    int a = 0, b = 0;
    int BCalls = 0;
    Chain.Add(&a, [](QObject *) { throw common::Exception(QStringLiteral("boom")); });
    Chain.Add(&b, [&](QObject *) { ++BCalls; });
    // Without a handler the exception propagates and the rest is not called.
    QVERIFY_THROWS_EXCEPTION(common::Exception, Chain.Fire());
    QCOMPARE(BCalls, 0);
    // A handler that lets firing go on.
    QString Seen;
    Chain.SetExceptionHandler(
        [&](TLexMethodChain *, const std::exception &E, bool &) { Seen = QString::fromUtf8(E.what()); });
    Chain.Fire();
    QCOMPARE(Seen, QStringLiteral("boom"));
    QCOMPARE(BCalls, 1);
    // A handler that stops firing.
    Chain.SetExceptionHandler(
        [](TLexMethodChain *, const std::exception &, bool &DoContinue) { DoContinue = false; });
    Chain.Fire();
    QCOMPARE(BCalls, 1);
    // A handler that raises.
    Chain.SetExceptionHandler([](TLexMethodChain *, const std::exception &, bool &) { throw 42; });
    try {
        Chain.Fire();
        QFAIL("no exception");
    } catch (const ELexMethodChain &E) {
        QCOMPARE(E.Message(),
                 QStringLiteral("TLexNotifyEventChain.DoHandleException : MUST NOT occur any kind of "
                                "exception in ExceptionHandler"));
    }
}

void TestLexEditHighlighter::updateBracketsNotifyOnce() {
    TLexPHPLex H;
    TListener L;
    L.Hook(H);
    H.CommentAttri()->SetForeground(clRed);
    QCOMPARE(L.Senders, QVector<QObject *>{H.CommentAttri()});
    L.Senders.clear();
    H.BeginUpdate();
    H.CommentAttri()->SetForeground(clBlue);
    H.KeyAttri()->SetBackground(clGreen);
    H.StringAttri()->SetStyle({fsBold});
    QVERIFY(L.Senders.isEmpty());
    H.EndUpdate();
    QCOMPARE(L.Senders, QVector<QObject *>{nullptr});
    H.EndUpdate(); // unmatched: nothing
    H.BeginUpdate();
    H.EndUpdate(); // no change inside: nothing
    QCOMPARE(L.Senders.size(), 1);
    {
        TLexCustomHighlighter::TUpdateGuard Guard(H);
        H.SetEnabled(false);
    }
    QCOMPARE(L.Senders.size(), 2);
    H.UnhookAttrChangeEvent(&L);
    H.SetEnabled(true);
    QCOMPARE(L.Senders.size(), 2);
}

void TestLexEditHighlighter::loadingSuppressesNotification() {
    TLexHTMLLex H;
    TListener L;
    L.Hook(H);
    H.SetLoading(true);
    H.KeyAttri()->SetForeground(clRed);
    H.SetEnabled(false);
    QVERIFY(L.Senders.isEmpty());
    H.Loaded();
    QCOMPARE(L.Senders, QVector<QObject *>{nullptr});
}

void TestLexEditHighlighter::attributeListOrderAndBounds() {
    TLexPHPLex P;
    QStringList Names;
    for (int i = 0; i < P.AttrCount(); ++i)
        Names << P.Attribute(i)->Name();
    QCOMPARE(Names, (QStringList{"Comment", "Documentation", "Identifier", "Number", "ReservedWord", "Space",
                                 "String", "Symbol", "Variable"}));
    QVERIFY(P.GetAttribute(-1) == nullptr);
    QVERIFY(P.GetAttribute(P.AttrCount()) == nullptr);
    TLexHTMLLex H;
    Names.clear();
    for (int i = 0; i < H.AttrCount(); ++i)
        Names << H.Attribute(i)->Name();
    QCOMPARE(Names, (QStringList{"Comment", "EscapeAmpersand", "Identifier", "ReservedWord", "Space",
                                 "Symbol", "Text", "UnknownWord", "Value"}));
    // The standard attributes.
    QCOMPARE(P.CommentAttribute(), P.CommentAttri());
    QCOMPARE(P.StringAttribute(), P.StringAttri());
    QVERIFY(H.StringAttribute() == nullptr);
    QCOMPARE(H.WhitespaceAttribute(), H.SpaceAttri());
    QVERIFY(P.GetDefaultAttribute(6) == nullptr);
}

void TestLexEditHighlighter::duplicateAttributeIsRejected() {
    // A highlighter adding two attributes with names equal but for case fails to construct.
    class TDup : public TLexCustomHighlighter {
    public:
        TDup() {
            AddAttribute(new TLexHighlighterAttributes(QStringLiteral("Comment"), QStringLiteral("x")));
            AddAttribute(new TLexHighlighterAttributes(QStringLiteral("COMMENT"), QStringLiteral("y")));
        }
        TLexHighlighterAttributes *GetDefaultAttribute(int) const override { return nullptr; }
        bool GetEol() const override { return true; }
        int GetTokenKind() const override { return 0; }
        TLexHighlighterAttributes *GetTokenAttribute() const override { return nullptr; }
    };
    try {
        TDup D;
        QFAIL("no exception");
    } catch (const EStringListError &E) {
        QCOMPARE(E.Message(), QStringLiteral("String list does not allow duplicates"));
    }
}

void TestLexEditHighlighter::exportName() {
    TLexPHPLex P;
    QCOMPARE(P.GetExportName(), QStringLiteral("PHP"));
    QCOMPARE(P.ExportName(), QStringLiteral("PHP"));
    TLexHTMLLex H;
    QCOMPARE(H.ExportName(), QStringLiteral("HTML"));
    QCOMPARE(P.LanguageName(), QStringLiteral("PHP"));
    QCOMPARE(H.FriendlyLanguageName(), QStringLiteral("HTML"));
    QCOMPARE(TLexCustomHighlighter::GetLanguageName(), QStringLiteral("<Unknown>"));
    QVERIFY(P.Capabilities().Contains(hcRegistry));
    QVERIFY(!P.Capabilities().Contains(hcUserSettings));
}

void TestLexEditHighlighter::assignBetweenHighlighters() {
    TLexPHPLex Src;
    Src.CommentAttri()->SetColors(clRed, clYellow);
    Src.SymbolAttri()->SetStyle({fsUnderline});
    Src.VariableAttri()->SetForeground(clPurple);
    Src.SetDefaultFilter(QStringLiteral("Mine|*.x"));
    Src.SetEnabled(false);

    TLexHTMLLex Dst;
    TListener L;
    L.Hook(Dst);
    const TColor ValueBefore = Dst.ValueAttri()->Foreground();
    Dst.Assign(&Src);
    QCOMPARE(Dst.CommentAttri()->Foreground(), clRed);
    QCOMPARE(Dst.CommentAttri()->Background(), clYellow);
    QCOMPARE(Dst.SymbolAttri()->Style(), TFontStyles{fsUnderline});
    QCOMPARE(Dst.ValueAttri()->Foreground(), ValueBefore); // no such attribute in the source
    QCOMPARE(Dst.DefaultFilter(), QStringLiteral("Mine|*.x"));
    QVERIFY(Dst.IsFilterStored());
    QVERIFY(!Dst.Enabled());
    QCOMPARE(Dst.SampleSource(), TLexHTMLLex().SampleSource()); // other class: sample untouched
    QCOMPARE(L.Senders, QVector<QObject *>{nullptr});           // one notification for all

    TLexPHPLex Dst2;
    Dst2.Assign(&Src);
    QCOMPARE(Dst2.VariableAttri()->Foreground(), clPurple);
    QCOMPARE(Dst2.CommentAttri()->Name(), QStringLiteral("Comment"));
}

void TestLexEditHighlighter::assignFromUnrelatedClassFails() {
    TLexPHPLex P;
    QObject Other;
    try {
        P.Assign(&Other);
        QFAIL("no exception");
    } catch (const EConvertError &E) {
        QVERIFY(E.Message().startsWith(QStringLiteral("Cannot assign a ")));
    }
    // An attribute is not a highlighter either.
    QVERIFY_THROWS_EXCEPTION(EConvertError, P.Assign(P.CommentAttri()));
}

void TestLexEditHighlighter::wordBreakAndIdentChars() {
    TLexHTMLLex H; // uses the base word-break test
    QVERIFY(!H.IsWordBreakChar(u'_'));
    QVERIFY(H.IsWordBreakChar(QChar(167)));
    QVERIFY(H.IsWordBreakChar(QChar(176)));
    QVERIFY(H.IsWordBreakChar(QChar(180)));
    QVERIFY(!H.IsWordBreakChar(QChar(0x100)));
    QVERIFY(H.IsWordBreakChar(u' ') && H.IsWordBreakChar(u'!') && H.IsWordBreakChar(u'~') &&
            H.IsWordBreakChar(u'`'));
    QVERIFY(!H.IsWordBreakChar(u'a') && !H.IsWordBreakChar(u'0') && !H.IsWordBreakChar(QChar(0xE9)));
    QVERIFY(H.IsWhiteChar(QChar(0xE9)) && H.IsWhiteChar(u' ') && !H.IsWhiteChar(u'a') &&
            !H.IsWhiteChar(u'!'));
    QVERIFY(!H.IsWhiteChar(QChar(167)));

    H.SetAdditionalWordBreakChars(TLexCharSet{u'_', u'q'});
    QVERIFY(H.IsWordBreakChar(u'_'));
    QVERIFY(H.IsWordBreakChar(u'q'));
    H.SetAdditionalIdentChars(TLexCharSet{u'_'});
    QVERIFY(!H.IsWordBreakChar(u'_'));
    QVERIFY(!H.IsWordBreakChar(QChar(0x100 + u'_'))); // above 255: never

    // The PHP highlighter has its own classes, ignoring the additional sets.
    TLexPHPLex P;
    P.SetAdditionalWordBreakChars(TLexCharSet{u'a'});
    QVERIFY(P.IsIdentChar(u'a') && P.IsIdentChar(u'$') && P.IsIdentChar(QChar(0x416)) && P.IsIdentChar(u'7'));
    QVERIFY(!P.IsIdentChar(u'-') && !P.IsIdentChar(QChar(0)));
    QVERIFY(!P.IsWordBreakChar(u'$') && !P.IsWordBreakChar(u'_') && !P.IsWordBreakChar(u'a'));
    QVERIFY(P.IsWordBreakChar(u'#') && P.IsWordBreakChar(u'%') && P.IsWordBreakChar(QChar(167)));
    QVERIFY(!P.IsWordBreakChar(QChar(176)));
}

void TestLexEditHighlighter::emptyLineGivesEndOfLine() {
    TLexPHPLex P;
    P.ResetRange();
    P.SetLine(QString(), 0);
    QCOMPARE(P.GetTokenKind(), int(php::tkNull));
    QVERIFY(P.GetEol());
    QVERIFY(P.GetToken().isEmpty());
    P.Next(); // past the end: stays at the end
    QVERIFY(P.GetEol());
    QCOMPARE(P.GetTokenKind(), int(php::tkNull));
    TLexHTMLLex H;
    H.ResetRange();
    H.SetLine(QString(), 0);
    QVERIFY(H.GetEol());
    QCOMPARE(H.GetTokenKind(), int(html::tkNull));
    QCOMPARE(H.GetRange(), TLexRange(html::rsText));
}

void TestLexEditHighlighter::caseInsensitiveKeepsTokenCase() {
    TLexPHPLex P;
    P.ResetRange();
    P.SetLine(QStringLiteral("ECHO \u0130X"), 0);
    QCOMPARE(P.GetToken(), QStringLiteral("ECHO"));
    QCOMPARE(P.GetTokenKind(), int(php::tkKey));
    P.Next();
    P.Next();
    // U+0130 lowers to one code unit per unit, so positions and lengths stay those of the line.
    QCOMPARE(P.GetTokenPos(), 5);
    QCOMPARE(P.GetToken(), QStringLiteral("\u0130"));
}

// The scan of a line in any letter case finds the tokens of the same line lowered per code unit
// beforehand: the copy the scan reads is lowered in blocks of ASCII and unit by unit elsewhere,
// and the two must agree wherever a block starts or ends.
void TestLexEditHighlighter::caseFoldingOverRandomText() {
    QRandomGenerator Random(20261209);
    const QStringList Pieces = {QStringLiteral("ECHO"),
                                QStringLiteral("Function"),
                                QStringLiteral("$Var"),
                                QStringLiteral(" "),
                                QStringLiteral("wHiLe"),
                                QStringLiteral("'Str'"),
                                QStringLiteral("\u00C4\u00D6"),
                                QStringLiteral("\u0130"),
                                QStringLiteral("\u0391B"),
                                QStringLiteral("/* C */"),
                                QStringLiteral("ReTuRn"),
                                QStringLiteral("12"),
                                QStringLiteral("AZ@[`{az"),
                                QStringLiteral("ARRAY"),
                                QStringLiteral("As")};
    for (int Round = 0; Round < 300; ++Round) {
        QString Line;
        const int Count = int(Random.bounded(1, 40));
        for (int i = 0; i < Count; ++i)
            Line += Pieces[int(Random.bounded(int(Pieces.size())))];
        QString Lowered = Line;
        for (QChar &c : Lowered) {
            const char32_t l = QChar::toLower(char32_t(c.unicode()));
            if (l <= 0xFFFF) c = QChar(char16_t(l));
        }
        const auto Kinds = [](const QString &AText) {
            TLexPHPLex P;
            P.ResetRange();
            P.SetLine(AText, 0);
            QList<int> Result;
            while (!P.GetEol()) {
                Result << P.GetTokenKind() << P.GetTokenPos();
                P.Next();
            }
            return Result;
        };
        QCOMPARE(Kinds(Line), Kinds(Lowered));
    }
}

void TestLexEditHighlighter::expandedPositions() {
    TLexPHPLex P;
    const QString Wide = QStringLiteral("\u4E2D");
    const QString Line = QStringLiteral("a") + Wide + QStringLiteral("b");
    const QString Expanded = QStringLiteral("a") + FillerChar + Wide + QStringLiteral("b");
    P.ResetRange();
    P.SetLineExpandedAtWideGlyphs(Line, Expanded, 0);
    QCOMPARE(P.PosToExpandedPos(3), 4);
    QCOMPARE(P.PosToExpandedPos(1), 1);
    QCOMPARE(P.PosToExpandedPos(2), 3);
    // The whole line is one identifier (a letter of any script continues it).
    QCOMPARE(P.GetToken(), Line);
    QCOMPARE(P.GetExpandedToken(), Expanded);
    QCOMPARE(P.GetExpandedTokenPos(), 0);
    P.Next();
    QVERIFY(P.GetEol());
    // Without a display form the expanded values are the plain ones.
    P.SetLine(Line, 0);
    QCOMPARE(P.PosToExpandedPos(3), 3);
    QCOMPARE(P.GetExpandedToken(), Line);
}

void TestLexEditHighlighter::expandedScanSkipsFillersWithinTheLine() {
    // Display forms made only of fillers, or shorter than the line, never move the display
    // position past the end of the display form plus the end-of-line token.
    TLexPHPLex P;
    const QString Line = QStringLiteral("$a = 1;");
    const QString Fillers(40, FillerChar);
    for (const QString &Expanded : {Fillers, QString(), QStringLiteral("x")}) {
        P.ResetRange();
        P.SetLineExpandedAtWideGlyphs(Line, Expanded, 0);
        int Steps = 0;
        while (!P.GetEol() && ++Steps < 100) {
            QVERIFY(P.GetExpandedTokenPos() <= Expanded.size() + Line.size() + 1);
            P.Next();
        }
        QVERIFY(P.GetEol());
        QVERIFY(P.PosToExpandedPos(Line.size()) <= Expanded.size() + Line.size());
    }
}

void TestLexEditHighlighter::genuineFillerCodeIsAnOrdinaryCharacter_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QString>("display");
    const QChar F = FillerChar;
    const QString Wide = QStringLiteral("\u4E2D");
    QTest::newRow("in a string, no wide glyph")
        << (QStringLiteral("$a = '") + F + QStringLiteral("x'; echo $a;"))
        << (QStringLiteral("$a = '") + F + QStringLiteral("x'; echo $a;"));
    QTest::newRow("before a wide glyph") << (QStringLiteral("'") + F + Wide + QStringLiteral("' . $b"))
                                         << (QStringLiteral("'") + F + F + Wide + QStringLiteral("' . $b"));
    QTest::newRow("run of genuine codes after a wide glyph")
        << (Wide + F + F + QStringLiteral(" $c")) << (QString(F) + Wide + F + F + QStringLiteral(" $c"));
}

// Regression: a U+E000 of the text was skipped as if it were a filler, so every later token's
// display position and text were off by one.
void TestLexEditHighlighter::genuineFillerCodeIsAnOrdinaryCharacter() {
    QFETCH(QString, line);
    QFETCH(QString, display);
    TLexPHPLex P;
    P.ResetRange();
    P.SetLineExpandedAtWideGlyphs(line, display, 0);
    QString Joined;
    while (!P.GetEol()) {
        QCOMPARE(P.GetExpandedTokenPos(), Joined.size());
        QCOMPARE(P.GetExpandedTokenPos(), P.PosToExpandedPos(P.GetTokenPos()));
        Joined += P.GetExpandedToken();
        P.Next();
    }
    QCOMPARE(Joined, display);
    QCOMPARE(P.PosToExpandedPos(int(line.size())), int(display.size()));
}

void TestLexEditHighlighter::optionsAssign() {
    TLexEditHighlighterOptions A;
    QVERIFY(!A.AutoDetectEnabled() && A.AutoDetectLineLimit() == 0 && A.Title().isEmpty() && !A.Visible());
    A.SetAutoDetectEnabled(true);
    A.SetAutoDetectLineLimit(7);
    A.SetAutoDetectMatchExpression(QStringLiteral("^<\\?php"));
    A.SetDefaultExtension(QStringLiteral(".php"));
    A.SetLineCommentarStart(QStringLiteral("//"));
    A.SetLineCommentarEnd(QStringLiteral("!"));
    A.SetTitle(QStringLiteral("PHP"));
    A.SetVisible(true);
    TLexEditHighlighterOptions B;
    B.Assign(&A);
    QVERIFY(B == A);
    TLexEditHighlighterOptions C;
    A.AssignTo(&C);
    QVERIFY(C == A);
    C.Assign(nullptr);
    A.AssignTo(nullptr);
    QVERIFY(C == A);
    TLexPHPLex P;
    P.SetOptions(A);
    QCOMPARE(P.Options().Title(), QStringLiteral("PHP"));
    QCOMPARE(P.Options().AutoDetectLineLimit(), 7u);
}

void TestLexEditHighlighter::placeableHighlighters() {
    TLexHighlighterList &L = G_PlaceableHighlighters();
    const int Php = L.FindByName(QStringLiteral("PHP"));
    const int Html = L.FindByName(QStringLiteral("HTML"));
    QVERIFY(Php >= 0 && Html >= 0 && Php != Html);
    QCOMPARE(L.FindByFriendlyName(QStringLiteral("HTML")), Html);
    QCOMPARE(L.FindByName(QStringLiteral("php")), -1); // exact comparison
    QCOMPARE(QString::fromLatin1(L.Items(Php)->ClassName), QStringLiteral("TLexPHPLex"));
    const int Count = L.Count();
    RegisterPlaceableHighlighter<TLexPHPLex>();
    QCOMPARE(L.Count(), Count);
    TLexHTMLLex H;
    QCOMPARE(L.FindByClass(&H), Html);
    QCOMPARE(L.FindByClass(nullptr), -1);
    std::unique_ptr<TLexCustomHighlighter> Made(L.Items(Php)->Create(nullptr));
    QCOMPARE(QString::fromLatin1(Made->ClassName()), QStringLiteral("TLexPHPLex"));
    QVERIFY_THROWS_EXCEPTION(EListError, L.Items(Count));
    QVERIFY_THROWS_EXCEPTION(EListError, L.Items(-1));
}

QTEST_MAIN(TestLexEditHighlighter)
#include "tst_lexedithighlighter.moc"
