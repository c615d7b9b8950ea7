// Line buffer benchmark: loading a large generated PHP file and the memory it takes; reading the
// whole text back; reading every line (as highlighting does); appending lines one by one while
// reading the longest line length (as the editor does after each batch of runner output),
// against a plain QStringList that rescans all lines each time.
//
// The load runs first, in a fresh process, so that memory freed by the other phases cannot hide
// what the buffer takes. Memory is reported three ways, each divided by the characters loaded:
// the growth of the resident set, the growth of the heap in use (malloc's own count, including
// its per-block overhead), and the growth of the peak resident set during the load.
//
// Usage: bench_textbuffer [lines-to-append, default 1000000] [lines-in-file, default 1400000]

#include "BenchPhpFile.h"
#include "lexedit/LexEditTextBuffer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdio>
#include <malloc.h>

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

} // namespace

int main(int argc, char **argv) {
    QCoreApplication App(argc, argv);
    const int N = argc > 1 ? std::atoi(argv[1]) : 1000000;
    const int FileLines = argc > 2 ? std::atoi(argv[2]) : 1400000;
    long long Check = 0;

    QTemporaryDir Dir;
    const QString Name = Dir.filePath(QStringLiteral("big.php"));
    qint64 Chars = 0;
    {
        const QByteArray Bytes = GeneratePhp(FileLines);
        Chars = Bytes.size();
        QFile F(Name);
        if (!F.open(QIODevice::WriteOnly) || F.write(Bytes) != Bytes.size()) {
            std::printf("cannot write %s\n", qPrintable(Name));
            return 1;
        }
    }
    {
        const qint64 Before = ResidentBytes();
        const qint64 HeapBefore = HeapBytes();
        const qint64 PeakBefore = std::max(PeakResidentBytes(), Before);
        TLexEditStringList L;
        QElapsedTimer T;
        T.start();
        L.LoadFromFile(Name);
        const double Load = T.nsecsElapsed() / 1e9;
        const qint64 After = ResidentBytes();
        const qint64 HeapAfter = HeapBytes();
        const qint64 PeakAfter = PeakResidentBytes();
        const double PerChar = double(Chars);
        std::printf("Loading %lld bytes, %d lines: %.3f s\n", static_cast<long long>(Chars), L.Count(), Load);
        std::printf("  memory after load: %.2f bytes/char resident, %.2f bytes/char heap in use; peak during "
                    "load +%.2f bytes/char\n",
                    double(After - Before) / PerChar, double(HeapAfter - HeapBefore) / PerChar,
                    double(PeakAfter - PeakBefore) / PerChar);
        T.restart();
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
