// SPDX-License-Identifier: MIT
// Editing benchmark, on a generated PHP file of 1.4 M lines with the PHP highlighter attached:
//  1. typing 10,000 characters (through the command gate, as keys do) at line 1,000,000,
//     against the same typing at line 1,000 of a file a hundred times smaller (the cost of a
//     keystroke must not depend on the line count);
//  2. select all + delete + undo of the whole file, against loading the file into an editor
//     (the peer; target: at most the load), with the text checked to come back exactly.
// Best of three runs each: the machine may be shared.
//
// Usage: bench_editing [lines-in-file, default 1400000] [characters, default 10000]

#include "BenchPhpFile.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

using namespace lexedit;

namespace {

double Seconds(const QElapsedTimer &T) {
    return double(T.nsecsElapsed()) / 1e9;
}

bool WriteFile(const QString &Name, const QByteArray &Bytes) {
    QFile F(Name);
    return F.open(QIODevice::WriteOnly) && F.write(Bytes) == Bytes.size();
}

// Types ACount characters at the start of line ALine; returns seconds per keystroke.
double TypeAt(TLexEdit &E, int ALine, int ACount) {
    E.SetCaretXY(BufferCoord(1, ALine));
    static const QString Chars = QStringLiteral("abc def;");
    QElapsedTimer T;
    T.start();
    for (int i = 0; i < ACount; ++i)
        E.CommandProcessor(ecChar, Chars[i % Chars.size()], nullptr);
    const double S = Seconds(T);
    // Back to the text as loaded, for the next run.
    while (E.CanUndo())
        E.Undo();
    return S / ACount;
}

double Load(const QString &AName, long long &Check) {
    TLexEdit E;
    TLexPHPLex H;
    E.SetHighlighter(&H);
    QElapsedTimer T;
    T.start();
    E.Lines()->LoadFromFile(AName);
    const double S = Seconds(T);
    Check += E.Lines()->Count();
    return S;
}

// The phases of the last run: select all + delete, undo.
double DeleteS = 0, UndoS = 0;

double DeleteAllAndUndo(TLexEdit &E, long long &Check) {
    const QString Before = E.Text();
    QElapsedTimer T;
    T.start();
    E.SelectAll();
    E.SetSelText(QString());
    DeleteS = Seconds(T);
    E.Undo();
    const double S = Seconds(T);
    UndoS = S - DeleteS;
    Check += E.Lines()->Count();
    if (E.Text() != Before) std::printf("undo did not restore the text\n");
    return S;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const int FileLines = argc > 1 ? std::atoi(argv[1]) : 1400000;
    const int Chars = argc > 2 ? std::atoi(argv[2]) : 10000;
    long long Check = 0;

    QTemporaryDir Dir;
    const QString BigName = Dir.filePath(QStringLiteral("big.php"));
    const QString SmallName = Dir.filePath(QStringLiteral("small.php"));
    if (!Dir.isValid() || !WriteFile(BigName, GeneratePhp(FileLines)) ||
        !WriteFile(SmallName, GeneratePhp(std::max(FileLines / 100, 2000)))) {
        std::printf("cannot write the test files\n");
        return 1;
    }

    TLexPHPLex H;
    TLexEdit Big;
    Big.SetHighlighter(&H);
    Big.Lines()->LoadFromFile(BigName);
    TLexEdit Small;
    Small.SetHighlighter(&H);
    Small.Lines()->LoadFromFile(SmallName);
    const int BigLine = std::min(1000000, Big.Lines()->Count());
    const int SmallLine = std::min(1000, Small.Lines()->Count());

    double BigKey = 1e9;
    double SmallKey = 1e9;
    for (int Run = 0; Run < 3; ++Run) {
        BigKey = std::min(BigKey, TypeAt(Big, BigLine, Chars));
        SmallKey = std::min(SmallKey, TypeAt(Small, SmallLine, Chars));
    }
    std::printf("Typing %d characters at line %d of %d lines: %.2f us a keystroke; at line %d of %d lines: "
                "%.2f us; ratio %.2f (target: about 1)\n",
                Chars, BigLine, Big.Lines()->Count(), BigKey * 1e6, SmallLine, Small.Lines()->Count(),
                SmallKey * 1e6, BigKey / SmallKey);

    double LoadS = 1e9;
    double AllS = 1e9;
    for (int Run = 0; Run < 3; ++Run) {
        LoadS = std::min(LoadS, Load(BigName, Check));
        AllS = std::min(AllS, DeleteAllAndUndo(Big, Check));
    }
    std::printf("Select all + delete + undo of %d lines: %.3f s; peer, loading the file: %.3f s; ratio %.2f "
                "(target <= 1)\n",
                Big.Lines()->Count(), AllS, LoadS, AllS / LoadS);
    std::printf("  (last run: select all + delete %.3f s, undo %.3f s)\n", DeleteS, UndoS);
    std::printf("(check %lld)\n", Check);
    return 0;
}
