// SPDX-License-Identifier: MIT
// Code folding on the generated PHP file of 1.4 M lines in foldable blocks (documentation
// comments, functions with a nested block, regions): the full fold scan, collapse-all and
// uncollapse-all (with the paint that follows), a keystroke with folding on against the same
// keystroke with folding off, and the caret moved down through 10,000 collapsed ranges, one key
// each; collapse-all and expanding around the caret inside 12,500 to 50,000 nested blocks,
// against the caret at the top. In the same run, where QScintilla is found at configure time,
// its fold-all on the same file with its C++ lexer (braces and block comments, as here), and a
// line break inserted in its middle.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_folding [lines, default 1400000] [keys, default 200]

#include "BenchPeers.h"
#include "BenchPhpFile.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditCodeFolding.h"
#include "lexedit/LexEditKeyCmds.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#ifdef LEX_HAVE_QSCINTILLA
#include <Qsci/qscilexercpp.h>
#include <Qsci/qsciscintilla.h>
#endif

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace lexedit;

namespace {

constexpr int ViewWidth = 1200, ViewHeight = 800;

double Median(std::vector<double> A) {
    std::sort(A.begin(), A.end());
    return A[A.size() / 2];
}

double TimeMs(const std::function<void()> &AFunction) {
    QElapsedTimer T;
    T.start();
    AFunction();
    return double(T.nsecsElapsed()) / 1e6;
}

double MedianMs(int ARuns, const std::function<void()> &ABefore, const std::function<void()> &AFunction) {
    std::vector<double> Ms;
    for (int i = 0; i < ARuns; ++i) {
        ABefore();
        Ms.push_back(TimeMs(AFunction));
    }
    return Median(Ms);
}

void Key(QWidget &AWidget, int AKey, const QString &AText) {
    QKeyEvent Press(QEvent::KeyPress, AKey, Qt::NoModifier, AText);
    QApplication::sendEvent(&AWidget, &Press);
    QKeyEvent Release(QEvent::KeyRelease, AKey, Qt::NoModifier, AText);
    QApplication::sendEvent(&AWidget, &Release);
    QApplication::processEvents();
}

// The median time of AKeys keys typed at the caret (characters, each undone by Backspace every
// other key so the line keeps its length), each with the repaint it causes.
double TypeKeys(TLexEdit &E, int AKeys, bool ALineBreaks) {
    std::vector<double> Ms;
    for (int i = 0; i < AKeys; ++i) {
        const bool Undo = i % 2 == 1;
        const int KeyCode = Undo ? Qt::Key_Backspace : ALineBreaks ? Qt::Key_Return : Qt::Key_A;
        const QString Text = Undo ? QString() : ALineBreaks ? QStringLiteral("\r") : QStringLiteral("a");
        Ms.push_back(TimeMs([&] { Key(E, KeyCode, Text); }));
    }
    return Median(Ms);
}

// Collapse-all, then expanding around the innermost line, on ADepth blocks nested in each other,
// with the caret on that innermost line or (the peer) on line 1.
double NestedMs(int ADepth, bool ACaretInside) {
    QStringList L;
    for (int i = 0; i < ADepth; ++i)
        L << QStringLiteral("{");
    L << QStringLiteral("$x;");
    for (int i = 0; i < ADepth; ++i)
        L << QStringLiteral("}");
    TLexPHPLex Php;
    TLexEdit E;
    E.SetHighlighter(&Php);
    E.Lines()->AddStrings(L);
    E.SetUseCodeFolding(true);
    // The median of five rounds, each from everything expanded and the caret in its place.
    return MedianMs(
        5,
        [&] {
            E.UncollapseAll();
            E.SetCaretXY(BufferCoord(1, ACaretInside ? ADepth + 1 : 1));
        },
        [&] {
            E.CollapseAll();
            E.UncollapseAroundLine(ADepth + 1);
        });
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const int WantedLines = argc > 1 ? std::max(1000, std::atoi(argv[1])) : 1400000;
    const int Keys = argc > 2 ? std::max(10, std::atoi(argv[2])) : 200;
    const QByteArray File = GeneratePhpWithFolds(WantedLines);

    TLexPHPLex Php;
    TLexEdit E;
    E.SetEditorFont(BenchEditorFont(13));
    E.Gutter().SetShowLineNumbers(true);
    E.SetHighlighter(&Php);
    E.Lines()->LoadFromBytes(File);
    const int Lines = E.Lines()->Count();
    E.resize(ViewWidth + 40, ViewHeight + 40);
    E.show();
    QApplication::processEvents();
    E.setFocus();

    // Full fold scan: folding switched on scans every line and builds the ranges.
    const double ScanMs = MedianMs(
        5, [&] { E.SetUseCodeFolding(false); }, [&] { E.SetUseCodeFolding(true); });
    const int Ranges = E.AllFoldRanges().Count();

    // Collapse-all and uncollapse-all, each with the paint after it.
    std::vector<double> CollapseMs, UncollapseMs;
    for (int i = 0; i < 5; ++i) {
        CollapseMs.push_back(TimeMs([&] {
            E.CollapseAll();
            QApplication::processEvents();
        }));
        UncollapseMs.push_back(TimeMs([&] {
            E.UncollapseAll();
            QApplication::processEvents();
        }));
    }

    // A keystroke in the middle of the file (inside a function body, in view), folding on and off.
    const int Middle = Lines / 2;
    int TypeLine = Middle;
    while (TypeLine < Lines && !E.Lines()->Get(TypeLine - 1).startsWith(QLatin1String("  $total")))
        ++TypeLine;
    auto PlaceCaret = [&] {
        E.SetCaretXY(BufferCoord(3, TypeLine));
        E.EnsureCursorPosVisible();
        QApplication::processEvents();
    };
    // Rounds alternate folding off and on, so that both see the same state of the process; the
    // medians of the rounds are compared.
    std::vector<double> KeyOnR, KeyOffR, BreakOnR, BreakOffR, KeyCollapsedR;
    for (int Round = 0; Round < 3; ++Round) {
        E.SetUseCodeFolding(false);
        PlaceCaret();
        KeyOffR.push_back(TypeKeys(E, Keys, false));
        BreakOffR.push_back(TypeKeys(E, Keys, true));
        E.SetUseCodeFolding(true);
        PlaceCaret();
        KeyOnR.push_back(TypeKeys(E, Keys, false));
        BreakOnR.push_back(TypeKeys(E, Keys, true));
        // With every range at level 2 collapsed (the nested blocks), typing in a function.
        E.CollapseLevel(2);
        PlaceCaret();
        KeyCollapsedR.push_back(TypeKeys(E, Keys, false));
        E.UncollapseAll();
    }
    const double KeyOn = Median(KeyOnR), KeyOff = Median(KeyOffR), BreakOn = Median(BreakOnR),
                 BreakOff = Median(BreakOffR), KeyOnCollapsed = Median(KeyCollapsedR);
    E.SetUseCodeFolding(false);

    // The caret down through 10,000 collapsed ranges, one Down key (and its paint) each: the
    // comments and functions collapsed (level 1; regions do not count as a level), each unit two
    // rows. The same keys with folding off for comparison.
    const int Moves = 10000;
    auto DownKeys = [&] {
        return TimeMs([&] {
            for (int i = 0; i < Moves; ++i)
                Key(E, Qt::Key_Down, QString());
        });
    };
    E.SetCaretXY(BufferCoord(1, 1));
    QApplication::processEvents();
    const double MovesOffMs = DownKeys();
    E.SetUseCodeFolding(true);
    E.SetCaretXY(BufferCoord(1, 1));
    E.CollapseLevel(1);
    QApplication::processEvents();
    const double MovesMs = DownKeys();
    const int CaretLine = E.CaretY();
    int Passed = 0;
    for (const TLexFoldRange &R : E.AllFoldRanges().AllRanges())
        if (R.FromLine < CaretLine && R.Collapsed) ++Passed;

    std::printf("code folding, %d lines, %d fold ranges (viewport %d x %d)\n", Lines, Ranges, ViewWidth,
                ViewHeight);
    std::printf("  full fold scan (UseCodeFolding on)      %8.1f ms   (target: at most 300 ms)\n", ScanMs);
    std::printf("  collapse-all + paint                    %8.1f ms   (target: at most 100 ms)\n",
                Median(CollapseMs));
    std::printf("  uncollapse-all + paint                  %8.1f ms\n", Median(UncollapseMs));
    std::printf("  a typed key + paint, folding on         %8.3f ms   off %.3f ms   on/off %.2f (target: at "
                "most 1.5)\n",
                KeyOn, KeyOff, KeyOn / KeyOff);
    std::printf("  a typed key, level 2 collapsed          %8.3f ms   on/off %.2f\n", KeyOnCollapsed,
                KeyOnCollapsed / KeyOff);
    std::printf("  a line break (and Backspace), folding on %7.3f ms   off %.3f ms   on/off %.2f\n", BreakOn,
                BreakOff, BreakOn / BreakOff);
    std::printf("  %d Down keys through collapsed ranges  %8.1f ms   (%.3f ms a key; caret on line %d, %d "
                "collapsed ranges passed; the same keys unfolded %.1f ms)\n",
                Moves, MovesMs, MovesMs / Moves, CaretLine, Passed, MovesOffMs);

    // Deep nesting: the cost must grow linearly with the depth, with the caret inside as at the top.
    double Previous = 0;
    for (int Depth : {12500, 25000, 50000}) {
        const double Inside = NestedMs(Depth, true);
        const double Top = NestedMs(Depth, false);
        std::printf("  %d nested blocks, collapse-all + expand around the innermost line: caret inside "
                    "%.1f ms, caret at the top %.1f ms, inside / top %.2f",
                    Depth, Inside, Top, Inside / Top);
        if (Previous > 0) std::printf("; against half the depth %.2f (linear: about 2)", Inside / Previous);
        std::printf("\n");
        Previous = Inside;
    }

#ifdef LEX_HAVE_QSCINTILLA
    {
        QsciScintilla Peer;
        QsciLexerCPP Lexer;
        Peer.setLexer(&Lexer);
        Peer.setFolding(QsciScintilla::BoxedTreeFoldStyle);
        Peer.resize(ViewWidth, ViewHeight);
        Peer.show();
        const double SetMs = TimeMs([&] {
            Peer.setText(QString::fromUtf8(File));
            QApplication::processEvents();
        });
        // The lexer styles and folds lazily: the whole text at once, as a full fold scan.
        const double StyleMs = TimeMs([&] { Peer.SendScintilla(QsciScintilla::SCI_COLOURISE, 0, -1); });
        std::vector<double> FoldAll, UnfoldAll;
        for (int i = 0; i < 3; ++i) {
            FoldAll.push_back(TimeMs([&] {
                Peer.foldAll(false);
                QApplication::processEvents();
            }));
            UnfoldAll.push_back(TimeMs([&] {
                Peer.foldAll(false);
                QApplication::processEvents();
            }));
        }
        // A line break inserted in the middle of the text with the paint after it, then taken
        // back (untimed), as the Enter key of TLexEdit's figure.
        std::vector<double> PeerBreaks;
        const int PeerMiddle = Peer.lines() / 2;
        for (int i = 0; i < Keys / 2; ++i) {
            PeerBreaks.push_back(TimeMs([&] {
                Peer.insertAt(QStringLiteral("\r\n"), PeerMiddle, 2);
                QApplication::processEvents();
            }));
            Peer.undo();
            QApplication::processEvents();
        }
        std::printf("QScintilla %s, the same file, C++ lexer\n", QSCINTILLA_VERSION_STR);
        std::printf("  setText %.1f ms; styling and folding the whole text %.1f ms (TLexEdit's full scan / "
                    "this %.2f)\n",
                    SetMs, StyleMs, ScanMs / StyleMs);
        std::printf(
            "  foldAll + paint %.1f ms, again (unfold) %.1f ms (TLexEdit's collapse-all / foldAll %.2f)\n",
            Median(FoldAll), Median(UnfoldAll), Median(CollapseMs) / Median(FoldAll));
        std::printf("  a line break inserted in the middle + paint %.3f ms (TLexEdit's line break, folding "
                    "off / this %.2f, on / this %.2f)\n",
                    Median(PeerBreaks), BreakOff / Median(PeerBreaks), BreakOn / Median(PeerBreaks));
    }
#else
    std::printf("(QScintilla was not found at configure time: no peer)\n");
#endif
    return 0;
}
