// SPDX-License-Identifier: MIT
// HTML export of generated PHP files to an HTML file, against pygmentize (-l php -f html, Debian
// python3-pygments) exporting the same file in the same run; then copying a 100,000-line
// selection with the HTML flavour.
//
// The export is timed from the file on disk to the HTML file written (loading, highlighting,
// markup, writing as it goes), as the lexexport tool does it, with the highlighter's default attributes and
// with the colours the window gives the PHP view. Both sides are measured in CPU time (the
// machine is shared; wall time is printed too): the export's as the process's CPU time around
// it, the peer's as its user + system time reported by bash's time; each side's best of three
// runs counts (of up to ten for small files). The peer's start-up, measured on an empty file, is subtracted.
//
// Usage: QT_QPA_PLATFORM=offscreen bench_export [megabytes ...]   (default 1 50)

#include "BenchPhpFile.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexExportHTML.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QMimeData>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <ctime>

using namespace lexedit;

namespace {

void WindowColours(TLexPHPLex &APhp) {
    APhp.CommentAttri()->SetForeground(RGBToColor(0, 179, 0));
    APhp.IdentifierAttri()->SetForeground(RGBToColor(0, 128, 128));
    APhp.KeyAttri()->SetForeground(RGBToColor(128, 0, 128));
    APhp.NumberAttri()->SetForeground(RGBToColor(235, 183, 5));
    APhp.StringAttri()->SetForeground(RGBToColor(255, 0, 255));
}

double CpuSeconds() {
    return double(std::clock()) / CLOCKS_PER_SEC;
}

struct TExport {
    double Load = 0;
    double Export = 0;
    double Cpu = 0;
    qint64 Size = 0;
    double Total() const { return Load + Export; }
};

TExport ExportFile(const QString &AIn, const QString &AOut, bool AColours) {
    // Into a new file, as the peer writes: the pages of an earlier output are freed before timing.
    QFile::remove(AOut);
    TExport R;
    const double Cpu0 = CpuSeconds();
    QElapsedTimer T;
    T.start();
    TLexEditStringList Lines;
    Lines.LoadFromFile(AIn);
    R.Load = T.nsecsElapsed() / 1e9;
    T.restart();
    TLexPHPLex Php;
    if (AColours) WindowColours(Php);
    TLexExporterHTML X;
    X.SetHighlighter(&Php);
    X.SetExportAsText(true);
    X.ExportAllToFile(Lines, AOut);
    R.Export = T.nsecsElapsed() / 1e9;
    R.Cpu = CpuSeconds() - Cpu0;
    R.Size = QFileInfo(AOut).size();
    return R;
}

QString Pygmentize() {
    if (QFileInfo::exists(QStringLiteral("/usr/bin/pygmentize")))
        return QStringLiteral("/usr/bin/pygmentize");
    return QStandardPaths::findExecutable(QStringLiteral("pygmentize"));
}

// CPU seconds (user + system) of one pygmentize run, -1 when it failed; AWall gets its wall time.
double RunPeerOnce(const QString &AIn, const QString &AOut, double &AWall) {
    QProcess P;
    QElapsedTimer T;
    T.start();
    P.start(QStringLiteral("bash"),
            {QStringLiteral("-c"),
             QStringLiteral("TIMEFORMAT='%3U %3S'; time \"$0\" -l php -f html -o \"$1\" \"$2\""),
             Pygmentize(), AOut, AIn});
    if (!P.waitForFinished(-1) || P.exitCode() != 0) return -1;
    AWall = T.nsecsElapsed() / 1e9;
    const QList<QByteArray> Times = P.readAllStandardError().trimmed().split('\n').last().split(' ');
    if (Times.size() != 2) return -1;
    return Times[0].toDouble() + Times[1].toDouble();
}

// The best of three pygmentize runs (its times vary as much as ours on a shared machine).
double RunPeer(const QString &AIn, const QString &AOut, double &AWall) {
    double Best = -1;
    for (int Round = 0; Round < 3; ++Round) {
        double Wall = 0;
        const double Cpu = RunPeerOnce(AIn, AOut, Wall);
        if (Cpu < 0) return -1;
        if (Best < 0 || Cpu < Best) {
            Best = Cpu;
            AWall = Wall;
        }
    }
    return Best;
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    QList<int> Sizes;
    for (int i = 1; i < argc; ++i)
        Sizes << QByteArray(argv[i]).toInt();
    if (Sizes.isEmpty()) Sizes = {1, 50};
    QTemporaryDir Dir;
    const QString Peer = Pygmentize();
    std::printf("peer: %s -l php -f html\n", Peer.isEmpty() ? "(pygmentize not found)" : qPrintable(Peer));
    double PeerStart = 0;
    if (!Peer.isEmpty()) {
        QFile Empty(Dir.filePath(QStringLiteral("empty.php")));
        if (Empty.open(QIODevice::WriteOnly)) Empty.close();
        double Wall = 0;
        PeerStart = RunPeer(Empty.fileName(), Dir.filePath(QStringLiteral("empty.html")), Wall);
        std::printf("peer start-up on an empty file: %.3f s CPU (subtracted)\n", PeerStart);
    }
    for (int MB : Sizes) {
        const QByteArray Text = GeneratePhp(int(qint64(MB) * 1000000 / 38));
        const QString In = Dir.filePath(QStringLiteral("gen%1.php").arg(MB));
        QFile F(In);
        if (!F.open(QIODevice::WriteOnly) || F.write(Text) != Text.size()) return 1;
        F.close();
        const double InMB = Text.size() / 1e6;
        std::printf("\n%d MB of generated PHP (%.1f MB, %d lines)\n", MB, InMB,
                    int(qint64(MB) * 1000000 / 38));
        const QString Out = Dir.filePath(QStringLiteral("out%1.html").arg(MB));
        TExport Best[2];
        for (int Colours = 0; Colours < 2; ++Colours) {
            // Small files take a few milliseconds: more rounds, so that one interruption does not count.
            const int Rounds = std::clamp(50 / std::max(1, MB), 3, 10);
            for (int Round = 0; Round < Rounds; ++Round) {
                const TExport R = ExportFile(In, Out, Colours != 0);
                if (Round == 0 || R.Cpu < Best[Colours].Cpu) Best[Colours] = R;
            }
            const TExport &R = Best[Colours];
            std::printf(
                "  lexedit export, %s: %.3f s CPU, %.1f MB/s; wall %.3f s (load %.3f, export and write "
                "%.3f); output %.2f x input\n",
                Colours ? "window colours   " : "default attributes", R.Cpu, InMB / R.Cpu, R.Total(), R.Load,
                R.Export, double(R.Size) / Text.size());
        }
        if (Peer.isEmpty()) continue;
        const QString PeerOut = Dir.filePath(QStringLiteral("peer%1.html").arg(MB));
        double PeerWall = 0;
        const double PeerTime = RunPeer(In, PeerOut, PeerWall);
        if (PeerTime < 0) {
            std::printf("  pygmentize failed\n");
            continue;
        }
        const double Net = std::max(1e-3, PeerTime - PeerStart);
        const qint64 PeerSize = QFileInfo(PeerOut).size();
        std::printf("  pygmentize: %.3f s CPU (%.3f s without start-up), %.2f MB/s; wall %.3f s; output %.2f "
                    "x input\n",
                    PeerTime, Net, InMB / Net, PeerWall, double(PeerSize) / Text.size());
        for (int Colours = 0; Colours < 2; ++Colours)
            std::printf("  speed ratio, %s: %.1f x the peer in CPU time (target >= 20)\n",
                        Colours ? "window colours   " : "default attributes", Net / Best[Colours].Cpu);
    }

    // Copying a 100,000-line selection with the HTML flavour.
    {
        TLexPHPLex Php;
        WindowColours(Php);
        TLexEdit E;
        E.SetHighlighter(&Php);
        E.Lines()->LoadFromBytes(GeneratePhp(100000));
        E.SelectAll();
        double Best = 0;
        qint64 HtmlSize = 0;
        for (int Round = 0; Round < 3; ++Round) {
            QElapsedTimer T;
            T.start();
            E.CopyToClipboard();
            const double S = T.nsecsElapsed() / 1e9;
            if (Round == 0 || S < Best) Best = S;
            HtmlSize = QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/html")).size();
        }
        std::printf(
            "\ncopy of a 100,000-line selection with the HTML flavour: %.3f s (target < 1 s), HTML %.1f MB\n",
            Best, HtmlSize / 1e6);
    }
    return 0;
}
