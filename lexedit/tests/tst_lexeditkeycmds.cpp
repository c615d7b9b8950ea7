// SPDX-License-Identifier: MIT
#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditKeyConst.h"

#include <QBuffer>
#include <QSet>
#include <QtTest>

using namespace lexedit;

namespace {

const TShiftState None;
const TShiftState Shift{ssShift};
const TShiftState Ctrl{ssCtrl};
const TShiftState Alt{ssAlt};
const TShiftState CtrlShift{ssCtrl, ssShift};
const TShiftState ShiftAlt{ssShift, ssAlt};

QByteArray Save(const TLexEditKeyStrokes &AKeys) {
    QByteArray bytes;
    QBuffer buf(&bytes);
    buf.open(QIODevice::WriteOnly);
    AKeys.SaveToStream(buf);
    return bytes;
}

void Load(TLexEditKeyStrokes &AKeys, const QByteArray &ABytes) {
    QByteArray copy = ABytes;
    QBuffer buf(&copy);
    buf.open(QIODevice::ReadOnly);
    AKeys.LoadFromStream(buf);
}

bool SameTable(const TLexEditKeyStrokes &A, const TLexEditKeyStrokes &B) {
    if (A.Count() != B.Count()) return false;
    for (int i = 0; i < A.Count(); ++i) {
        const TLexEditKeyStroke *a = A.Items(i), *b = B.Items(i);
        if (a->Command() != b->Command() || a->Key() != b->Key() || a->Shift() != b->Shift() ||
            a->Key2() != b->Key2() || a->Shift2() != b->Shift2())
            return false;
    }
    return true;
}

// Feeds key presses through the two-key memory, as the editor does.
struct KeyFeeder {
    explicit KeyFeeder(const TLexEditKeyStrokes &AKeys) : Keys(AKeys) {}
    const TLexEditKeyStrokes &Keys;
    uint16_t LastKey = 0;
    TShiftState LastShift;
    TLexEditorCommand Press(uint16_t AKey, TShiftState AShift) {
        return TranslateKeyCode(Keys, AKey, AShift, LastKey, LastShift);
    }
};

} // namespace

class TestLexEditKeyCmds : public QObject {
    Q_OBJECT
private slots:
    void commandNamesRoundTripIgnoringCase() {
        QSet<int> codes;
        QSet<QString> names;
        for (const TLexEditorCommandIdent &e : EditorCommandStrs) {
            const QString name = QLatin1String(e.Name);
            QVERIFY2(!codes.contains(e.Value), e.Name);
            QVERIFY2(!names.contains(name.toLower()), e.Name);
            codes.insert(e.Value);
            names.insert(name.toLower());
            QString ident;
            QVERIFY(EditorCommandToIdent(e.Value, ident));
            QCOMPARE(ident, name);
            for (const QString &variant : {name, name.toUpper(), name.toLower()}) {
                TLexEditorCommand cmd = 0xFFFF;
                QVERIFY2(IdentToEditorCommand(variant, cmd), qPrintable(variant));
                QCOMPARE(cmd, e.Value);
            }
            QCOMPARE(EditorCommandToCodeString(e.Value), name);
        }
        QCOMPARE(codes.size(), EditorCommandCount);
    }

    void unnamedCommandsAndIdents() {
        QCOMPARE(EditorCommandToCodeString(1001), QStringLiteral("1001"));
        QCOMPARE(EditorCommandToCodeString(ecUp), QStringLiteral("ecUp"));
        QString ident = QStringLiteral("unchanged");
        QVERIFY(!EditorCommandToIdent(1001, ident));
        QVERIFY(!EditorCommandToIdent(18, ident));
        TLexEditorCommand cmd = 77;
        QVERIFY(!IdentToEditorCommand(QStringLiteral("ecUpp"), cmd));
        QVERIFY(!IdentToEditorCommand(QString(), cmd));
        QCOMPARE(cmd, TLexEditorCommand(77));
        // Selecting variants are the movement plus 100.
        QCOMPARE(ecSelGotoXY, TLexEditorCommand(117));
        QCOMPARE(ecSelLeft - ecLeft, 100);
    }

    void shortCutEncoding_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("shift");
        QTest::addColumn<int>("expected");
        QTest::newRow("plain") << int('A') << int(None.ToMask()) << 0x41;
        QTest::newRow("shift") << int(VK_UP) << int(Shift.ToMask()) << (0x2000 | 38);
        QTest::newRow("ctrl+shift") << int('K') << int(CtrlShift.ToMask()) << (0x6000 | 'K');
        QTest::newRow("alt") << int(VK_BACK) << int(Alt.ToMask()) << (0x8000 | 8);
        QTest::newRow("key too large") << 0x100 << int(Ctrl.ToMask()) << 0;
        QTest::newRow("mouse bits dropped")
            << int('B') << int(TShiftState{ssCtrl, ssLeft}.ToMask()) << (0x4000 | 'B');
    }
    void shortCutEncoding() {
        QFETCH(int, key);
        QFETCH(int, shift);
        QFETCH(int, expected);
        const TShortCut sc = ShortCut(uint16_t(key), TShiftState::FromMask(uint16_t(shift)));
        QCOMPARE(int(sc), expected);
        if (sc != 0) {
            uint16_t k;
            TShiftState s;
            ShortCutToKey(sc, k, s);
            QCOMPARE(int(k), key);
            QCOMPARE(int(s.ToMask()), shift & 7);
        }
    }

    void displayNames() {
        TLexEditKeyStrokes keys;
        keys.ResetDefaults();
        const TLexEditKeyStroke *lower = keys.Items(keys.FindCommand(ecLowerCase));
        QCOMPARE(lower->GetDisplayName(), QStringLiteral("ecLowerCase - Ctrl+K Ctrl+L"));
        const TLexEditKeyStroke *up = keys.Items(keys.FindCommand(ecUp));
        QCOMPARE(up->GetDisplayName(), QStringLiteral("ecUp - Up"));
        const TLexEditKeyStroke *fold = keys.Items(keys.FindCommand(ecFoldAll));
        QCOMPARE(fold->GetDisplayName(), QStringLiteral("ecFoldAll - Ctrl+Shift+-"));
        QCOMPARE(ShortCutToText(ShortCut(VK_NUMPAD0 + 5, Alt)), QStringLiteral("Alt+Num+5"));
        QCOMPARE(ShortCutToText(0), QString());
    }

    void defaultTableIsCompleteAndUnique() {
        TLexEditKeyStrokes keys;
        keys.AddKey(ecCopy, 'Q', Ctrl); // replaced by the defaults
        keys.ResetDefaults();
        QCOMPARE(keys.Count(), DefaultKeyStrokeCount);
        QCOMPARE(keys.Items(0)->Command(), ecUp);
        QCOMPARE(keys.Items(98)->Command(), ecUnfoldLevel3);
        QCOMPARE(keys.FindKeycode('Q', Ctrl), -1);
        // Every entry is found by its own keys, so no entry hides another.
        for (int i = 0; i < keys.Count(); ++i) {
            const TLexEditKeyStroke *k = keys.Items(i);
            QCOMPARE(k->Index(), i);
            QCOMPARE(k->Collection(), &keys);
            if (k->Key2() == 0) QCOMPARE(keys.FindKeycode(k->Key(), k->Shift()), i);
            QCOMPARE(keys.FindKeycode2(k->Key(), k->Shift(), k->Key2(), k->Shift2()), i);
            QCOMPARE(keys.FindShortcut2(k->ShortCut(), k->ShortCut2()), i);
        }
    }

    // The default table as the user sees it, in order.
    void defaultTableInOrder() {
        static const char *const expected[DefaultKeyStrokeCount] = {
            "ecUp - Up",
            "ecSelUp - Shift+Up",
            "ecScrollUp - Ctrl+Up",
            "ecDown - Down",
            "ecSelDown - Shift+Down",
            "ecScrollDown - Ctrl+Down",
            "ecLeft - Left",
            "ecSelLeft - Shift+Left",
            "ecWordLeft - Ctrl+Left",
            "ecSelWordLeft - Ctrl+Shift+Left",
            "ecRight - Right",
            "ecSelRight - Shift+Right",
            "ecWordRight - Ctrl+Right",
            "ecSelWordRight - Ctrl+Shift+Right",
            "ecPageDown - PgDown",
            "ecSelPageDown - Shift+PgDown",
            "ecPageBottom - Ctrl+PgDown",
            "ecSelPageBottom - Ctrl+Shift+PgDown",
            "ecPageUp - PgUp",
            "ecSelPageUp - Shift+PgUp",
            "ecPageTop - Ctrl+PgUp",
            "ecSelPageTop - Ctrl+Shift+PgUp",
            "ecLineStart - Home",
            "ecSelLineStart - Shift+Home",
            "ecEditorTop - Ctrl+Home",
            "ecSelEditorTop - Ctrl+Shift+Home",
            "ecLineEnd - End",
            "ecSelLineEnd - Shift+End",
            "ecEditorBottom - Ctrl+End",
            "ecSelEditorBottom - Ctrl+Shift+End",
            "ecToggleMode - Ins",
            "ecCopy - Ctrl+Ins",
            "ecCut - Shift+Del",
            "ecPaste - Shift+Ins",
            "ecDeleteChar - Del",
            "ecDeleteLastChar - Backspace",
            "ecDeleteLastChar - Shift+Backspace",
            "ecDeleteLastWord - Ctrl+Backspace",
            "ecUndo - Alt+Backspace",
            "ecRedo - Alt+Shift+Backspace",
            "ecLineBreak - Return",
            "ecLineBreak - Shift+Return",
            "ecTab - Tab",
            "ecShiftTab - Shift+Tab",
            "ecContextHelp - F1",
            "ecSelectAll - Ctrl+A",
            "ecCopy - Ctrl+C",
            "ecPaste - Ctrl+V",
            "ecCut - Ctrl+X",
            "ecBlockIndent - Ctrl+Shift+I",
            "ecBlockUnindent - Ctrl+Shift+U",
            "ecLineBreak - Ctrl+M",
            "ecInsertLine - Ctrl+N",
            "ecDeleteWord - Ctrl+T",
            "ecDeleteLine - Ctrl+Y",
            "ecDeleteEOL - Ctrl+Shift+Y",
            "ecUndo - Ctrl+Z",
            "ecRedo - Ctrl+Shift+Z",
            "ecGotoMarker0 - Ctrl+0",
            "ecGotoMarker1 - Ctrl+1",
            "ecGotoMarker2 - Ctrl+2",
            "ecGotoMarker3 - Ctrl+3",
            "ecGotoMarker4 - Ctrl+4",
            "ecGotoMarker5 - Ctrl+5",
            "ecGotoMarker6 - Ctrl+6",
            "ecGotoMarker7 - Ctrl+7",
            "ecGotoMarker8 - Ctrl+8",
            "ecGotoMarker9 - Ctrl+9",
            "ecSetMarker0 - Ctrl+Shift+0",
            "ecSetMarker1 - Ctrl+Shift+1",
            "ecSetMarker2 - Ctrl+Shift+2",
            "ecSetMarker3 - Ctrl+Shift+3",
            "ecSetMarker4 - Ctrl+Shift+4",
            "ecSetMarker5 - Ctrl+Shift+5",
            "ecSetMarker6 - Ctrl+Shift+6",
            "ecSetMarker7 - Ctrl+Shift+7",
            "ecSetMarker8 - Ctrl+Shift+8",
            "ecSetMarker9 - Ctrl+Shift+9",
            "ecNormalSelect - Ctrl+Shift+N",
            "ecColumnSelect - Ctrl+Shift+C",
            "ecLineSelect - Ctrl+Shift+L",
            "ecMatchBracket - Ctrl+Shift+B",
            "ecLowerCase - Ctrl+K Ctrl+L",
            "ecUpperCase - Ctrl+K Ctrl+U",
            "ecTitleCase - Ctrl+K Ctrl+T",
            "ecCopyLineUp - Alt+Shift+Up",
            "ecCopyLineDown - Alt+Shift+Down",
            "ecMoveLineUp - Alt+Up",
            "ecMoveLineDown - Alt+Down",
            "ecFoldAll - Ctrl+Shift+-",
            "ecUnfoldAll - Ctrl+Shift+=",
            "ecFoldNearest - Ctrl+/",
            "ecUnfoldNearest - Ctrl+Shift+/",
            "ecFoldLevel1 - Ctrl+K Ctrl+1",
            "ecFoldLevel2 - Ctrl+K Ctrl+2",
            "ecFoldLevel3 - Ctrl+K Ctrl+3",
            "ecUnfoldLevel1 - Ctrl+Shift+K Ctrl+Shift+1",
            "ecUnfoldLevel2 - Ctrl+Shift+K Ctrl+Shift+2",
            "ecUnfoldLevel3 - Ctrl+Shift+K Ctrl+Shift+3",
        };
        TLexEditKeyStrokes keys;
        keys.ResetDefaults();
        for (int i = 0; i < DefaultKeyStrokeCount; ++i)
            QCOMPARE(keys.Items(i)->GetDisplayName(), QString::fromLatin1(expected[i]));
    }

    void twoKeySequences() {
        TLexEditKeyStrokes keys;
        keys.ResetDefaults();
        KeyFeeder f(keys);
        QCOMPARE(f.Press('K', Ctrl), ecNone);
        QCOMPARE(f.LastKey, uint16_t('K'));
        QCOMPARE(f.Press('L', Ctrl), ecLowerCase);
        QCOMPARE(f.LastKey, uint16_t(0));

        // A modifier key in between cancels the sequence.
        QCOMPARE(f.Press('K', Ctrl), ecNone);
        QCOMPARE(f.Press(VK_SHIFT, CtrlShift), ecNone);
        QCOMPARE(f.LastKey, uint16_t(0));
        QCOMPARE(f.Press('L', Ctrl), ecNone);

        QCOMPARE(f.Press('K', CtrlShift), ecNone);
        QCOMPARE(f.Press('1', CtrlShift), ecUnfoldLevel1);
        QCOMPARE(f.Press('K', Ctrl), ecNone);
        QCOMPARE(f.Press('1', CtrlShift), ecSetMarker1); // pair does not match, single key does
        QCOMPARE(f.Press('K', Ctrl), ecNone);
        QCOMPARE(f.Press('1', Ctrl), ecFoldLevel1);

        // An unmatched letter is remembered and replaced; F1 matches and clears the memory.
        QCOMPARE(f.Press('Q', None), ecNone);
        QCOMPARE(f.Press('Q', None), ecNone);
        QCOMPARE(f.LastKey, uint16_t('Q'));
        QCOMPARE(f.Press(VK_F1, None), ecContextHelp);
        QCOMPARE(f.LastKey, uint16_t(0));
        QCOMPARE(f.LastShift, None);
        // A key above 145 is never remembered.
        QCOMPARE(f.Press(VK_OEM_1, Ctrl), ecNone);
        QCOMPARE(f.LastKey, uint16_t(0));
    }

    void setShortCutRefusesDuplicates() {
        TLexEditKeyStrokes keys;
        keys.ResetDefaults();
        TLexEditKeyStroke *up = keys.Items(keys.FindCommand(ecUp));
        const TShortCut ctrlC = ShortCut('C', Ctrl);
        try {
            up->SetShortCut(ctrlC);
            QFAIL("duplicate accepted");
        } catch (const ELexKeyError &e) {
            QCOMPARE(e.Message(), QStringLiteral("Shortcut already exists"));
        }
        QCOMPARE(up->Key(), VK_UP);      // unchanged
        up->SetShortCut(up->ShortCut()); // its own pair
        up->SetShortCut(0);
        QCOMPARE(up->Key(), uint16_t(0));
        up->SetShortCut(ShortCut('Q', Alt));
        QCOMPARE(keys.FindShortcut(ShortCut('Q', Alt)), up->Index());

        // The second key is checked together with the first.
        TLexEditKeyStroke *lower = keys.Items(keys.FindCommand(ecLowerCase));
        QVERIFY_THROWS_EXCEPTION(ELexKeyError, lower->SetShortCut2(ShortCut('U', Ctrl)));
        lower->SetShortCut2(ShortCut('W', Ctrl));
        QCOMPARE(lower->Key2(), uint16_t('W'));
        // The direct setters do not check.
        lower->SetKey2('U');
        QCOMPARE(keys.FindKeycode2('K', Ctrl, 'U', Ctrl), keys.FindCommand(ecLowerCase));
    }

    void addKeyRefusesExactDuplicates() {
        TLexEditKeyStrokes keys;
        keys.ResetDefaults();
        QVERIFY_THROWS_EXCEPTION(ELexKeyError, keys.AddKey(ecCopy, VK_UP, None));
        QVERIFY_THROWS_EXCEPTION(ELexKeyError, keys.AddKey(ecCopy, 'K', Ctrl, 'L', Ctrl));
        QCOMPARE(keys.Count(), DefaultKeyStrokeCount);
        // A second key makes a different combination, as does another shift state.
        keys.AddKey(1001, VK_UP, None, VK_DOWN, None);
        keys.AddKey(1002, 'K', Ctrl, 'Q', Ctrl);
        QCOMPARE(keys.Count(), DefaultKeyStrokeCount + 2);
        KeyFeeder f(keys);
        QCOMPARE(f.Press(VK_UP, None), ecUp);
        QCOMPARE(f.Press('K', Ctrl), ecNone);
        QCOMPARE(f.Press('Q', Ctrl), TLexEditorCommand(1002));
    }

    void itemsAndAssign() {
        TLexEditKeyStrokes a;
        a.ResetDefaults();
        TLexEditKeyStrokes b;
        b.AddKey(ecCopy, 'Q', Ctrl);
        b.Assign(a);
        QVERIFY(SameTable(a, b));
        QCOMPARE(b.Items(5)->Collection(), &b);
        b.Items(0)->SetCommand(ecDown);
        QCOMPARE(a.Items(0)->Command(), ecUp); // a copy, not shared
        b.SetItems(1, *a.Items(2));
        QCOMPARE(b.Items(1)->Command(), ecScrollUp);
        QCOMPARE(b.Items(1)->Shift(), Ctrl);
        QVERIFY_THROWS_EXCEPTION(ELexKeyError, b.Items(-1));
        QVERIFY_THROWS_EXCEPTION(ELexKeyError, b.Items(b.Count()));
        b.Delete(0);
        QCOMPARE(b.Count(), DefaultKeyStrokeCount - 1);
        QCOMPARE(b.Items(0)->Index(), 0);
        QCOMPARE(b.FindCommand(ecDown), 2);
        TLexEditKeyStroke *fresh = b.Add();
        QCOMPARE(fresh->Command(), ecNone);
        QCOMPARE(fresh->ShortCut(), TShortCut(0));
        QCOMPARE(b.FindShortcut(ShortCut('K', Ctrl)), b.FindCommand(ecLowerCase));
    }

    void streamRoundTrip() {
        TLexEditKeyStrokes a;
        a.ResetDefaults();
        a.AddKey(2000, 0x1FF, TShiftState{ssCtrl, ssAlt}, 7, Shift); // codes beyond a shortcut
        const QByteArray bytes = Save(a);
        QCOMPARE(bytes.size(), 4 + 10 * a.Count());
        QCOMPARE(quint8(bytes[0]), quint8(a.Count()));
        // First item: Up, no shift, no second key, ecUp, little-endian.
        QCOMPARE(bytes.mid(4, 10), QByteArray::fromHex("26000000000000000300"));
        TLexEditKeyStrokes b;
        Load(b, bytes);
        QVERIFY(SameTable(a, b));
        QCOMPARE(b.Items(b.Count() - 1)->Key(), uint16_t(0x1FF));
        TLexEditKeyStrokes empty;
        Load(b, Save(empty));
        QCOMPARE(b.Count(), 0);
    }

    void damagedStreamsLeaveTableIntact_data() {
        TLexEditKeyStrokes src;
        src.ResetDefaults();
        const QByteArray good = Save(src);
        QByteArray negative = good;
        negative[3] = char(0x80);
        QByteArray huge = good;
        huge[3] = char(0x7F);
        QByteArray oneMore = good;
        oneMore[0] = char(DefaultKeyStrokeCount + 1);
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("short count") << good.left(3);
        QTest::newRow("cut in an item") << good.left(good.size() - 3);
        QTest::newRow("count too large") << oneMore;
        QTest::newRow("huge count") << huge;
        QTest::newRow("negative count") << negative;
        QTest::newRow("garbage") << QByteArray("this is not a keystroke table");
    }
    void damagedStreamsLeaveTableIntact() {
        QFETCH(QByteArray, bytes);
        TLexEditKeyStrokes keys;
        keys.AddKey(ecCopy, 'Q', Ctrl);
        keys.AddKey(ecPaste, 'W', Ctrl, 'E', Shift);
        const QByteArray before = Save(keys);
        QVERIFY_THROWS_EXCEPTION(ELexKeyError, Load(keys, bytes));
        QCOMPARE(Save(keys), before);
    }

    void itemStreamShortReadKeepsItem() {
        TLexEditKeyStrokes keys;
        TLexEditKeyStroke *k = keys.AddKey(ecCopy, 'Q', Ctrl);
        QByteArray bytes = QByteArray::fromHex("0100020003000400");
        QBuffer buf(&bytes);
        buf.open(QIODevice::ReadOnly);
        QVERIFY_THROWS_EXCEPTION(ELexKeyError, k->LoadFromStream(buf));
        QCOMPARE(k->Key(), uint16_t('Q'));
        QCOMPARE(k->Command(), ecCopy);
    }
};

QTEST_GUILESS_MAIN(TestLexEditKeyCmds)
#include "tst_lexeditkeycmds.moc"
