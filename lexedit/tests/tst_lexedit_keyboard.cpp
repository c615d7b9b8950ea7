// SPDX-License-Identifier: MIT
// Keyboard and input-method input through real Qt events: window shortcuts do not take the
// editor's keys, a key that ran a command types nothing, multi-unit text is one character, the
// composition string is painted and not stored, Alt with a keypad code types that character,
// Tab follows WantTabs.

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditKeyConst.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QAction>
#include <QImage>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMainWindow>
#include <QVBoxLayout>
#include <QtTest>

using namespace lexedit;

namespace {

const QString Pair = QString::fromUtf8("\xF0\x9F\x98\x80");

void SendKey(QWidget *W, int Key, Qt::KeyboardModifiers Mods, const QString &Text) {
    QKeyEvent Press(QEvent::KeyPress, Key, Mods, Text);
    QApplication::sendEvent(W, &Press);
    QKeyEvent Release(QEvent::KeyRelease, Key, Mods, Text);
    QApplication::sendEvent(W, &Release);
}

} // namespace

class TestLexEditKeyboard : public QObject {
    Q_OBJECT

private slots:
    void ctrlZReachesTheEditorDespiteAWindowShortcut();
    void keyThatRanACommandTypesNothing();
    void surrogatePairTypedAsOneEventIsOneCharacter();
    void preeditIsPaintedAndNotStored();
    void altWithKeypadCodeTypesTheCharacter();
    void tabFollowsWantTabs();
    void ctrlOrMetaWithAPrintableKeyTypesNothing();
};

void TestLexEditKeyboard::ctrlZReachesTheEditorDespiteAWindowShortcut() {
    QMainWindow Window;
    auto *Edit = new TLexEdit(&Window);
    Window.setCentralWidget(Edit);
    int Triggered = 0;
    QAction Action(QStringLiteral("Undo in the window"), &Window);
    Action.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    Window.addAction(&Action);
    connect(&Action, &QAction::triggered, [&] { ++Triggered; });
    Window.show();
    QApplication::setActiveWindow(&Window);
    Edit->setFocus();
    QVERIFY(QTest::qWaitForWindowActive(&Window));
    QTest::keyClicks(Edit, QStringLiteral("ab"));
    QCOMPARE(Edit->Text(), QStringLiteral("ab"));
    QTest::keyClick(Edit, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(Edit->Text(), QString());
    QCOMPARE(Triggered, 0);
    // A key the editor does not map still reaches the window's shortcut.
    QAction Other(QStringLiteral("Other"), &Window);
    Other.setShortcut(QKeySequence(Qt::CTRL | Qt::Key_G));
    Window.addAction(&Other);
    int OtherTriggered = 0;
    connect(&Other, &QAction::triggered, [&] { ++OtherTriggered; });
    QTest::keyClick(Edit, Qt::Key_G, Qt::ControlModifier);
    QCOMPARE(OtherTriggered, 1);
}

void TestLexEditKeyboard::keyThatRanACommandTypesNothing() {
    TLexEdit Edit;
    Edit.SetText(QStringLiteral("ab"));
    Edit.SetCaretXY(BufferCoord(2, 1));
    // Enter carries the text "\r": the line breaks and nothing is typed.
    SendKey(&Edit, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"));
    QCOMPARE(Edit.Lines()->ToStringList(), (QStringList{"a", "b"}));
    // A letter mapped to a command runs it and does not type the letter.
    Edit.Keystrokes().AddKey(ecLineStart, 'Q', TShiftState());
    SendKey(&Edit, Qt::Key_Q, Qt::NoModifier, QStringLiteral("q"));
    QCOMPARE(Edit.Text(), QStringLiteral("a\r\nb"));
    QCOMPARE(Edit.CaretX(), 1);
    SendKey(&Edit, Qt::Key_W, Qt::NoModifier, QStringLiteral("w"));
    QCOMPARE(Edit.Text(), QStringLiteral("a\r\nwb"));
}

void TestLexEditKeyboard::surrogatePairTypedAsOneEventIsOneCharacter() {
    TLexEdit Edit;
    SendKey(&Edit, 0, Qt::NoModifier, Pair);
    QCOMPARE(Edit.Text(), Pair);
    QCOMPARE(Edit.CaretX(), 3);
    // A lone half is never stored.
    SendKey(&Edit, 0, Qt::NoModifier, QString(Pair[0]));
    QCOMPARE(Edit.Text(), Pair);
    Edit.Undo();
    QCOMPARE(Edit.Text(), QString());
}

void TestLexEditKeyboard::preeditIsPaintedAndNotStored() {
    TLexEdit Edit;
    Edit.resize(300, 100);
    Edit.SetText(QStringLiteral("ab"));
    Edit.SetCaretXY(BufferCoord(3, 1));
    Edit.show();
    QVERIFY(QTest::qWaitForWindowExposed(&Edit));
    const QImage Before = Edit.viewport()->grab().toImage();
    QInputMethodEvent Compose(QStringLiteral("WWW"), {});
    QApplication::sendEvent(&Edit, &Compose);
    QCOMPARE(Edit.PreeditString(), QStringLiteral("WWW"));
    QCOMPARE(Edit.Text(), QStringLiteral("ab"));
    const QImage During = Edit.viewport()->grab().toImage();
    QVERIFY(During != Before);
    QInputMethodEvent Commit;
    Commit.setCommitString(QStringLiteral("xy"));
    QApplication::sendEvent(&Edit, &Commit);
    QCOMPARE(Edit.Text(), QStringLiteral("abxy"));
    QCOMPARE(Edit.PreeditString(), QString());
    QCOMPARE(Edit.CaretX(), 5);
}

void TestLexEditKeyboard::altWithKeypadCodeTypesTheCharacter() {
    TLexEdit Edit;
    const auto TypeCode = [&](const QString &Digits) {
        QKeyEvent AltDown(QEvent::KeyPress, Qt::Key_Alt, Qt::AltModifier);
        QApplication::sendEvent(&Edit, &AltDown);
        for (QChar d : Digits) {
            const int Key = Qt::Key_0 + (d.unicode() - '0');
            SendKey(&Edit, Key, Qt::AltModifier | Qt::KeypadModifier, QString(d));
        }
        QKeyEvent AltUp(QEvent::KeyRelease, Qt::Key_Alt, Qt::NoModifier);
        QApplication::sendEvent(&Edit, &AltUp);
    };
    TypeCode(QStringLiteral("9732"));
    QCOMPARE(Edit.Text(), QString(QChar(9732)));
    TypeCode(QStringLiteral("65"));
    QCOMPARE(Edit.Text(), QString(QChar(9732)) + QStringLiteral("A"));
    // 127 and surrogate halves are not characters of their own.
    TypeCode(QStringLiteral("127"));
    TypeCode(QStringLiteral("55357"));
    QCOMPARE(Edit.Text(), QString(QChar(9732)) + QStringLiteral("A"));
}

void TestLexEditKeyboard::tabFollowsWantTabs() {
    QWidget Window;
    auto *Layout = new QVBoxLayout(&Window);
    auto *Edit = new TLexEdit;
    auto *Next = new QLineEdit;
    Layout->addWidget(Edit);
    Layout->addWidget(Next);
    Window.show();
    QApplication::setActiveWindow(&Window);
    QVERIFY(QTest::qWaitForWindowActive(&Window));
    Edit->setFocus();
    QTest::keyClick(Edit, Qt::Key_Tab);
    QCOMPARE(Edit->Text(), QString());
    QVERIFY(Next->hasFocus());
    Edit->SetWantTabs(true);
    Edit->setFocus();
    QTest::keyClick(Edit, Qt::Key_Tab);
    QVERIFY(Edit->hasFocus());
    QCOMPARE(Edit->Text(), QStringLiteral("        ")); // tabs to spaces, to the next tab stop
}

QTEST_MAIN(TestLexEditKeyboard)
#include "tst_lexedit_keyboard.moc"

// Ctrl+-, Ctrl+. or Meta+, typed their character into the text. Now a key held with Ctrl or Meta
// runs its command or does nothing; AltGr still types.
void TestLexEditKeyboard::ctrlOrMetaWithAPrintableKeyTypesNothing() {
    TLexEdit Edit;
    const QString Start = QStringLiteral("<?php");
    Edit.SetText(Start);
    // The reported keys, with the default table.
    for (const int Key :
         {int(Qt::Key_Minus), int(Qt::Key_Period), int(Qt::Key_Comma), int(Qt::Key_Semicolon)})
        SendKey(&Edit, Key, Qt::ControlModifier, QString(QChar(Key)));
    QCOMPARE(Edit.Text(), Start);
    QVERIFY(!Edit.Modified());
    // With an empty table no key has a command: every printable key leaves the text as it was.
    Edit.Keystrokes().Clear();
    for (const Qt::KeyboardModifiers Mods :
         {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier,
          Qt::KeyboardModifiers(Qt::MetaModifier), Qt::ControlModifier | Qt::AltModifier})
        for (int Key = 0x21; Key <= 0x7E; ++Key) {
            SendKey(&Edit, Key, Mods, QString(QChar(Key)));
            QVERIFY2(Edit.Text() == Start, qPrintable(QStringLiteral("key %1 typed").arg(Key)));
        }
    // AltGr+Q and AltGr+E of a German layout, and a plain key, still type.
    Edit.SetCaretXY(BufferCoord(1, 1));
    SendKey(&Edit, Qt::Key_Q, Qt::GroupSwitchModifier, QStringLiteral("@"));
    SendKey(&Edit, Qt::Key_E, Qt::GroupSwitchModifier, QString(QChar(0x20AC)));
    SendKey(&Edit, Qt::Key_Minus, Qt::NoModifier, QStringLiteral("-"));
    QCOMPARE(Edit.Text(), QStringLiteral("@\u20AC-") + Start);
}
