// SPDX-License-Identifier: MIT
// The match counter: after random edits its counts and matches equal a fresh search of every
// line as UTF-16 text, for both engines, on lines held as Latin-1 bytes (a loaded file's, searched
// many at a time) and on lines that are not Latin-1.

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditMatchCounter.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QRandomGenerator>
#include <QtTest>

#include <functional>
#include <memory>

using namespace lexedit;

Q_DECLARE_METATYPE(lexedit::TLexSearchOptions)

namespace {

QString RandomLine(QRandomGenerator &ARandom) {
    static const QStringList Pieces = {"foo", "Foo",    "FOO",    "fo", "o",  " ",      "x",
                                       "xx",  "\u00e9", "\u00c9", "_",  "\t", "\u03c9", "\U0001F600"};
    QString Line;
    for (int n = int(ARandom.bounded(7)); n > 0; --n)
        Line += Pieces[int(ARandom.bounded(Pieces.size()))];
    return Line;
}

// One random change of E's lines: through the buffer, as output is shown, or as an editing
// command that Undo takes back (the undo list is cleared after changes it does not record).
void RandomEdit(TLexEdit &E, QRandomGenerator &R) {
    TLexEditStringList &L = *E.Lines();
    const auto Line = [&] { return int(R.bounded(L.Count())); };
    const auto Coord = [&] {
        const int Y = Line();
        return BufferCoord(int(R.bounded(L.Get(Y).size() + 1)) + 1, Y + 1);
    };
    const std::function<void()> Edits[] = {[&] { L.Insert(int(R.bounded(L.Count() + 1)), RandomLine(R)); },
                                           [&] {
                                               E.AppendLines({RandomLine(R), RandomLine(R)});
                                           },
                                           [&] { L.Put(Line(), RandomLine(R)); },
                                           [&] { L.DeleteLines(Line(), 1 + int(R.bounded(2))); },
                                           [&] { L.Exchange(Line(), Line()); },
                                           [&] { E.ReplaceLine(Line() + 1, RandomLine(R)); },
                                           [&] {
                                               const TLexEditStringList::UpdateGuard Bracket(L);
                                               L.Insert(Line(), RandomLine(R));
                                               L.Put(Line(), RandomLine(R));
                                               L.Delete(Line());
                                           }};
    const int Kind = int(R.bounded(L.Count() == 0 ? 2 : 10));
    if (Kind < 7) {
        Edits[Kind]();
        E.ClearUndo();
        return;
    }
    const TBufferCoord A = Coord(), B = Coord();
    E.SetCaretAndSelection(B, A, B);
    if (Kind == 9)
        E.Undo();
    else
        E.SetSelText(RandomLine(R) + (Kind == 8 ? "\n" + RandomLine(R) : QString()));
}

} // namespace

class TestLexEditMatchCounter : public QObject {
    Q_OBJECT
private slots:
    void countFollowsRandomEdits_data() {
        QTest::addColumn<QString>("Pattern");
        QTest::addColumn<bool>("Regex");
        QTest::addColumn<TLexSearchOptions>("Options");
        const TLexSearchOptions Case{ssoMatchCase}, Word{ssoWholeWord};
        QTest::newRow("plain") << "foo" << false << TLexSearchOptions();
        QTest::newRow("plain, Latin-1 letter, case") << "\u00e9" << false << Case;
        QTest::newRow("plain, whole word") << "fo" << false << Word;
        QTest::newRow("plain, not Latin-1") << "\u03c9" << false << TLexSearchOptions();
        QTest::newRow("regex") << "fo+|\u00e9" << true << TLexSearchOptions();
        QTest::newRow("regex, empty matches") << "x*" << true << Case;
        QTest::newRow("regex, line anchors") << "^f|o$|^$" << true << TLexSearchOptions();
        QTest::newRow("regex, whole word") << "o+" << true << Word;
        QTest::newRow("regex, not Latin-1") << "\u03c9|o\\s" << true << TLexSearchOptions();
    }

    void countFollowsRandomEdits() {
        QFETCH(QString, Pattern);
        QFETCH(bool, Regex);
        QFETCH(TLexSearchOptions, Options);
        TLexEditSearch Plain;
        TLexEditRegexSearch Regexp;
        TLexEditSearchCustom &Fresh = Regex ? static_cast<TLexEditSearchCustom &>(Regexp) : Plain;
        Fresh.SetOptions(Options);
        Fresh.SetPattern(Pattern);
        for (quint32 Seed = 1; Seed <= 4; ++Seed) {
            QRandomGenerator R(Seed);
            auto E = std::make_unique<TLexEdit>();
            // A loaded Latin-1 file: its lines lie in one block of bytes.
            QString Text;
            for (int i = 0; i < 40; ++i)
                Text += RandomLine(R).remove(QChar(0x03c9)).remove(QString("\U0001F600")) +
                        (i % 3 ? "\n" : "\r\n");
            E->Lines()->LoadFromBytes(Text.toLatin1(), seAnsi);
            TLexMatchCounter Counter(E.get());
            Counter.SetSearch(Pattern, Options, Regex);
            for (int Step = 0; Step < 150; ++Step) {
                const TLexEditStringList &L = *E->Lines();
                qint64 Total = 0;
                for (int i = 0; i < L.Count(); ++i) {
                    std::vector<TLexMatch> Expected;
                    for (int j = 0, n = Fresh.FindAll(L.Get(i)); j < n; ++j)
                        Expected.push_back({Fresh.Results(j), Fresh.Lengths(j)});
                    QVERIFY2(Counter.MatchesOf(i + 1) == Expected,
                             qPrintable(QString("step %1 line %2: %3").arg(Step).arg(i + 1).arg(L.Get(i))));
                    QCOMPARE(Counter.CountOf(i + 1), int(Expected.size()));
                    if (!Expected.empty()) {
                        const int J = int(R.bounded(int(Expected.size())));
                        const TLexMatch &M = Expected[size_t(J)];
                        QCOMPARE(Counter.MatchNumber(BufferCoord(M.Char, i + 1),
                                                     BufferCoord(M.Char + M.Length, i + 1)),
                                 Total + J + 1);
                    }
                    Total += qint64(Expected.size());
                }
                QCOMPARE(Counter.Total(), Total);
                RandomEdit(*E, R);
            }
            // The editor gone first: the counter goes quiet.
            E.reset();
            QVERIFY(!Counter.Active());
            QCOMPARE(Counter.Total(), qint64(0));
        }
    }

    // An invalid regular expression is reported by SetSearch, not swallowed as "no matches".
    void invalidPatternThrowsAndLeavesInactive() {
        TLexEdit E;
        E.SetLines({"f(o", "fo foo"});
        TLexMatchCounter Counter(&E);
        Counter.SetSearch("fo", {}, false);
        QCOMPARE(Counter.Total(), qint64(2));
        QVERIFY_THROWS_EXCEPTION(ELexSearchError, Counter.SetSearch("f(o", {}, true));
        QVERIFY(!Counter.Active());
        QCOMPARE(Counter.Total(), qint64(0));
    }
};

QTEST_MAIN(TestLexEditMatchCounter)
#include "tst_lexedit_matchcounter.moc"
