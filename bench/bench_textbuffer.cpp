// SPDX-License-Identifier: MIT
// Line buffer benchmark: loading a large generated PHP file and a file of one 5.5 MB line, with
// the time and memory they take, against QScintilla loading the same file (read + setText) when
// it was found at configure time; reading the whole text back; reading every line (as
// highlighting does); appending lines one by one while reading the longest line length (as the
// editor does after each batch of runner output), against a plain QStringList that rescans all
// lines each time.
//
// Each load runs in a fresh child process, so that memory freed by another variant cannot hide
// what a variant takes; the variants take turns, several rounds, and the medians are compared.
// Memory is reported three ways, each divided by the characters loaded: the growth of the
// resident set, the growth of the heap in use (malloc's own count, including its per-block
// overhead), and the growth of the peak resident set during the load. The one-line file is also
// highlighted (the PHP highlighter over every line, as the editor rescans after a load), and the
// resident growth after that is reported too.
//
// Usage: bench_textbuffer [lines-to-append, default 1000000] [lines-in-file, default 1400000]
//                         [rounds, default 5]

#include "BenchPhpFile.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <malloc.h>
#include <map>
#include <vector>

#ifdef LEX_HAVE_QSCINTILLA
#include <Qsci/qsciscintilla.h>
#endif

using namespace lexedit;

namespace {

QString OutputLine(int i) {
    return QStringLiteral("<tr><td>%1</td><td>row value %2</td></tr>").arg(i).arg(i * 7 % 1000);
}

// Resident memory of this process in bytes (Linux /proc).
qint64 StatusBytes(const char *Key) {
    QFile F(QStringLiteral("/proc/self/status"));
    if (!F.open(QIODevice::ReadOnly)) return 0;
    const QByteArray Prefix = QByteArray(Key) + ':';
    for (const QByteArray &Line : F.readAll().split('\n'))
        if (Line.startsWith(Prefix))
            return Line.mid(Prefix.size()).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}

qint64 ResidentBytes() {
    return StatusBytes("VmRSS");
}
qint64 PeakResidentBytes() {
    return StatusBytes("VmHWM");
}

// Bytes of the heap in use: small blocks plus blocks mapped on their own.
qint64 HeapBytes() {
    const struct mallinfo2 M = mallinfo2();
    return qint64(M.uordblks + M.hblkhd);
}

double AppendBuffer(int N, long long &Check) {
    TLexEditStringList L;
    int Notified = 0;
    L.OnInserted = [&Notified](TLexEditStringList *, int, int) { ++Notified; };
    L.OnChange = [&Notified](TLexEditStringList *) { ++Notified; };
    QElapsedTimer T;
    T.start();
    for (int i = 0; i < N; ++i) {
        L.Add(OutputLine(i));
        if (i % 1000 == 999) Check += L.LengthOfLongestLine();
    }
    Check += Notified;
    return T.nsecsElapsed() / 1e9;
}

double AppendPeer(int N, long long &Check) {
    QStringList L;
    QElapsedTimer T;
    T.start();
    for (int i = 0; i < N; ++i) {
        L.append(OutputLine(i));
        if (i % 1000 == 999) {
            qsizetype Longest = 0;
            for (const QString &S : L)
                Longest = std::max(Longest, S.size());
            Check += Longest;
        }
    }
    return T.nsecsElapsed() / 1e9;
}

// One measurement in this (fresh) process: the variant loads the file; its figures are printed
// on one line for the parent.
int RunChild(const QString &Variant, const QString &Name) {
    const qint64 Chars = QFileInfo(Name).size();
    const double PerChar = double(Chars);
    qint64 Before = 0, HeapBefore = 0, PeakBefore = 0;
    auto Start = [&] {
        Before = ResidentBytes();
        HeapBefore = HeapBytes();
        PeakBefore = std::max(PeakResidentBytes(), Before);
    };
    double Load = 0, Highlight = 0;
    qint64 After = 0, HeapAfter = 0, PeakAfter = 0, AfterHighlight = 0;
    auto Stop = [&](QElapsedTimer &T) {
        Load = T.nsecsElapsed() / 1e9;
        After = ResidentBytes();
        HeapAfter = HeapBytes();
        PeakAfter = PeakResidentBytes();
    };
    long long Check = 0;
    if (Variant == QLatin1String("buffer")) {
        TLexEditStringList L;
        TLexPHPLex Highlighter;
        Start();
        QElapsedTimer T;
        T.start();
        L.LoadFromFile(Name);
        Stop(T);
        Check += L.Count();
        // The editor's rescan after a load: every line scanned, its end range stored.
        T.restart();
        Highlighter.ResetRange();
        for (int i = 0; i < L.Count(); ++i) {
            Highlighter.SetLine(L.Get(i), i);
            Highlighter.NextToEol();
            L.PutRange(i, Highlighter.GetRange());
        }
        Highlight = T.nsecsElapsed() / 1e9;
        AfterHighlight = ResidentBytes();
        Check += L.GetRange(L.Count() - 1) != NullRange;
    }
#ifdef LEX_HAVE_QSCINTILLA
    else if (Variant == QLatin1String("qscintilla")) {
        QsciScintilla Editor;
        Editor.setUtf8(true);
        Start();
        QElapsedTimer T;
        T.start();
        QFile F(Name);
        if (!F.open(QIODevice::ReadOnly)) return 1;
        Editor.setText(QString::fromUtf8(F.readAll()));
        Stop(T);
        Check += Editor.lines();
        AfterHighlight = After;
    }
#endif
    else {
        return 2;
    }
    std::printf("%.6f %.4f %.4f %.4f %.6f %.4f %lld\n", Load, double(After - Before) / PerChar,
                double(HeapAfter - HeapBefore) / PerChar, double(PeakAfter - PeakBefore) / PerChar, Highlight,
                double(AfterHighlight - Before) / PerChar, Check);
    return 0;
}

struct Figures {
    std::vector<double> Load, Resident, Heap, Peak, Highlight, AfterHighlight;
};

double Median(std::vector<double> V) {
    if (V.empty()) return 0;
    std::sort(V.begin(), V.end());
    return V.size() % 2 ? V[V.size() / 2] : (V[V.size() / 2 - 1] + V[V.size() / 2]) / 2;
}

bool Measure(const QString &Variant, const QString &Name, Figures &F) {
    QProcess P;
    P.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--child"), Variant, Name});
    if (!P.waitForFinished(600000) || P.exitStatus() != QProcess::NormalExit || P.exitCode() != 0) {
        std::printf("  %s: the child failed: %s\n", qPrintable(Variant),
                    P.readAllStandardError().constData());
        return false;
    }
    const QList<QByteArray> V = P.readAllStandardOutput().trimmed().split(' ');
    if (V.size() < 6) return false;
    F.Load.push_back(V[0].toDouble());
    F.Resident.push_back(V[1].toDouble());
    F.Heap.push_back(V[2].toDouble());
    F.Peak.push_back(V[3].toDouble());
    F.Highlight.push_back(V[4].toDouble());
    F.AfterHighlight.push_back(V[5].toDouble());
    return true;
}

// Loads File with every variant, Rounds times, the variants taking turns (the order alternates
// between rounds), and prints the medians and the ratios against QScintilla.
void CompareLoads(const char *Title, const QString &File, qint64 Chars, int Rounds, bool Highlighted) {
    QStringList Variants{QStringLiteral("buffer")};
#ifdef LEX_HAVE_QSCINTILLA
    Variants << QStringLiteral("qscintilla");
#endif
    std::map<QString, Figures> Results;
    for (int Round = 0; Round < Rounds; ++Round) {
        QStringList Order = Variants;
        if (Round % 2 == 1) std::reverse(Order.begin(), Order.end());
        for (const QString &Variant : Order)
            Measure(Variant, File, Results[Variant]);
    }
    std::printf("%s (%lld bytes), median of %d rounds:\n", Title, static_cast<long long>(Chars), Rounds);
    for (const QString &Variant : Variants) {
        const Figures &F = Results[Variant];
        std::printf("  %-10s load %.3f s; after load %.2f bytes/char resident, %.2f heap in use; peak during "
                    "load +%.2f bytes/char",
                    qPrintable(Variant), Median(F.Load), Median(F.Resident), Median(F.Heap), Median(F.Peak));
        if (Highlighted && Variant == QLatin1String("buffer"))
            std::printf("; highlighted in %.3f s, then %.2f bytes/char resident", Median(F.Highlight),
                        Median(F.AfterHighlight));
        std::printf("\n");
    }
#ifdef LEX_HAVE_QSCINTILLA
    std::printf("  buffer / QScintilla: load time %.2fx, resident after load %.2fx\n",
                Median(Results["buffer"].Load) / Median(Results["qscintilla"].Load),
                Median(Results["buffer"].Resident) / Median(Results["qscintilla"].Resident));
#else
    std::printf("  (QScintilla was not found at configure time: no peer)\n");
#endif
}

bool WriteFile(const QString &Name, const QByteArray &Bytes) {
    QFile F(Name);
    if (F.open(QIODevice::WriteOnly) && F.write(Bytes) == Bytes.size()) return true;
    std::printf("cannot write %s\n", qPrintable(Name));
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && qstrcmp(argv[1], "--child") == 0) {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
        QApplication App(argc, argv);
        return RunChild(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    QCoreApplication App(argc, argv);
    const int N = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int FileLines = argc > 2 ? std::atoi(argv[2]) : 1400000;
    const int Rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;
    long long Check = 0;

    QTemporaryDir Dir;
    const QString Name = Dir.filePath(QStringLiteral("big.php"));
    const QString LineName = Dir.filePath(QStringLiteral("line.php"));
    qint64 Chars = 0, LineChars = 0;
    {
        const QByteArray Bytes = GeneratePhp(FileLines);
        Chars = Bytes.size();
        if (!WriteFile(Name, Bytes)) return 1;
        // One line of about 5.5 MB: the generated lines joined by blanks.
        QByteArray Line = GeneratePhp(150000).replace("\r\n", " ");
        LineChars = Line.size();
        if (!WriteFile(LineName, Line)) return 1;
    }
    CompareLoads("Loading the generated PHP file", Name, Chars, Rounds, false);
    CompareLoads("Loading one long line", LineName, LineChars, Rounds, true);
    {
        TLexEditStringList L;
        L.LoadFromFile(Name);
        std::printf("Reading the loaded file back:\n");
        QElapsedTimer T;
        T.start();
        const QString Text = L.Text();
        const double TextTime = T.nsecsElapsed() / 1e9;
        Check += Text.size();
        T.restart();
        for (int i = 0; i < L.Count(); ++i)
            Check += L.Get(i).size();
        const double GetTime = T.nsecsElapsed() / 1e9;
        T.restart();
        for (int i = 0; i < L.Count(); ++i)
            Check += L.ExpandedStrings(i).size();
        const double ExpandedTime = T.nsecsElapsed() / 1e9;
        std::printf(
            "  Text: %.3f s; Get of every line: %.3f s (%.0f ns a line); ExpandedStrings of every line: "
            "%.3f s (%.0f ns a line)\n",
            TextTime, GetTime, GetTime * 1e9 / L.Count(), ExpandedTime, ExpandedTime * 1e9 / L.Count());
    }

    std::printf("Appending lines one by one, LengthOfLongestLine after every 1000:\n");
    const double Small = AppendBuffer(N / 10, Check);
    const double Big = AppendBuffer(N, Check);
    const double Peer = AppendPeer(N, Check);
    std::printf("  buffer %d lines: %.3f s; %d lines: %.3f s; scaling x%.1f for 10x lines\n", N / 10, Small,
                N, Big, Big / Small);
    std::printf("  QStringList with rescan, %d lines: %.3f s; buffer is %.1fx faster\n", N, Peer, Peer / Big);
    std::printf("(checksum %lld)\n", Check);
    return 0;
}
