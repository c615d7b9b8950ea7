// SPDX-License-Identifier: MIT
// Editor painting: the generated PHP file with the PHP highlighter in an editor whose viewport is
// 1920 x 1080 pixels (about 240 x 70 cells), against a QPlainTextEdit of the same size showing
// the same text with the same styled runs set by a QSyntaxHighlighter (the PHP highlighter's
// tokens and attributes), measured in the same run:
//  1. a full repaint of the viewport into an image;
//  2. a repaint of one row (target: at most 1/20 of a full repaint);
//  3. a single line of 5.5 MB loaded into an editor and its first screen painted (target:
//     within 100 ms).
//
//   QT_QPA_PLATFORM=offscreen ./bench_lexedit_paint [rounds, default 40]

#include "BenchPeers.h"
#include "BenchPhpFile.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QSyntaxHighlighter>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace lexedit;

namespace {

constexpr int ViewWidth = 1920, ViewHeight = 1080;

QFont EditorFont() {
    return BenchEditorFont(14);
}

// Median CPU time in ms of one call of each painter, in interleaved rounds (the machine is
// shared: a change of load affects all alike).
std::vector<double> Measure(int ARounds, const std::vector<std::function<void()>> &APainters) {
    std::vector<std::vector<double>> times(APainters.size());
    for (const auto &paint : APainters)
        paint();
    for (int round = 0; round < ARounds; ++round) {
        for (size_t i = 0; i < APainters.size(); ++i) {
            const std::clock_t start = std::clock();
            APainters[i]();
            times[i].push_back(double(std::clock() - start) * 1000.0 / CLOCKS_PER_SEC);
        }
    }
    std::vector<double> medians;
    for (auto &t : times) {
        std::sort(t.begin(), t.end());
        medians.push_back(t[t.size() / 2]);
    }
    return medians;
}

// An editor whose viewport is ViewWidth x ViewHeight.
void SizeViewport(QAbstractScrollArea &AArea) {
    AArea.resize(ViewWidth + 40, ViewHeight + 40);
    AArea.show();
    const QSize Extra = AArea.size() - AArea.viewport()->size();
    AArea.resize(ViewWidth + Extra.width(), ViewHeight + Extra.height());
    QApplication::processEvents();
}

// Wall-clock and CPU times in ms (the CPU time does not count the waits of a loaded machine).
struct LongLineTimes {
    double Total = 1e9;
    double Load = 1e9;
    double TotalCpu = 1e9;
};

double CpuMs(std::clock_t AStart) {
    return double(std::clock() - AStart) * 1000.0 / CLOCKS_PER_SEC;
}

// Best of three: the bytes loaded into a fresh editor with the highlighter, then its screen painted.
LongLineTimes LoadAndPaintLongLine(const QByteArray &ALong, TLexPHPLex &AHighlighter) {
    LongLineTimes Best;
    for (int i = 0; i < 3; ++i) {
        TLexEdit L;
        L.SetEditorFont(EditorFont());
        L.SetHighlighter(&AHighlighter);
        SizeViewport(L);
        // The screen exists before the file is opened (its first filling is not the editor's).
        QImage LongImage(L.viewport()->size(), QImage::Format_RGB32);
        LongImage.fill(Qt::white);
        QElapsedTimer T;
        T.start();
        const std::clock_t Cpu = std::clock();
        L.Lines()->LoadFromBytes(ALong);
        Best.Load = std::min(Best.Load, double(T.nsecsElapsed()) / 1e6);
        QPainter P(&LongImage);
        L.paintArea(P, LongImage.rect());
        Best.Total = std::min(Best.Total, double(T.nsecsElapsed()) / 1e6);
        Best.TotalCpu = std::min(Best.TotalCpu, CpuMs(Cpu));
    }
    return Best;
}

// Once: the line decoded into a fresh QPlainTextEdit with the PHP runs, and its screen rendered.
double PeerLoadAndPaintLongLine(const QByteArray &ALong) {
    TLexPHPLex PeerPhp;
    QPlainTextEdit Peer;
    Peer.setFont(EditorFont());
    Peer.setLineWrapMode(QPlainTextEdit::NoWrap);
    PhpRuns Runs(Peer.document(), PeerPhp, Peer.palette());
    SizeViewport(Peer);
    QImage PeerImage(Peer.viewport()->size(), QImage::Format_RGB32);
    PeerImage.fill(Qt::white);
    const std::clock_t Cpu = std::clock();
    Peer.setPlainText(QString::fromUtf8(ALong));
    Peer.viewport()->render(&PeerImage);
    return CpuMs(Cpu);
}

// The full repaint and the one-row repaint of the generated file, against the peer.
void PaintScreens(int Rounds, TLexPHPLex &Php) {
    const QString Text = QString::fromUtf8(GeneratePhp(5000));

    TLexEdit E;
    E.SetEditorFont(EditorFont());
    E.Gutter().SetShowLineNumbers(true);
    E.Gutter().SetFont(EditorFont());
    E.SetHighlighter(&Php);
    E.SetText(Text);
    E.SetTopLine(1001);
    SizeViewport(E);
    QImage Image(E.viewport()->size(), QImage::Format_RGB32);
    const QRect Row(0, 20 * E.LineHeight(), Image.width(), E.LineHeight());
    const auto PaintFull = [&] {
        QPainter P(&Image);
        E.paintArea(P, Image.rect());
    };
    const auto PaintRow = [&] {
        QPainter P(&Image);
        E.paintArea(P, Row);
    };

    TLexPHPLex PeerPhp;
    QPlainTextEdit Peer;
    Peer.setFont(EditorFont());
    Peer.setLineWrapMode(QPlainTextEdit::NoWrap);
    PhpRuns Runs(Peer.document(), PeerPhp, Peer.palette());
    Peer.setPlainText(Text);
    SizeViewport(Peer);
    Peer.verticalScrollBar()->setValue(1000);
    QImage PeerImage(Peer.viewport()->size(), QImage::Format_RGB32);
    const int PeerRowHeight = QFontMetrics(EditorFont()).height();
    const QRegion PeerRow(QRect(0, 20 * PeerRowHeight, PeerImage.width(), PeerRowHeight));
    const auto PeerFull = [&] { Peer.viewport()->render(&PeerImage); };
    const auto PeerOneRow = [&] { Peer.viewport()->render(&PeerImage, QPoint(), PeerRow); };

    const std::vector<double> Ms = Measure(Rounds, {PaintFull, PaintRow, PeerFull, PeerOneRow});
    std::printf("viewport %d x %d px, %d x %d cells (row %d px), median CPU time of %d rounds\n",
                Image.width(), Image.height(), E.CharsInWindow(), E.LinesInWindow(), E.LineHeight(), Rounds);
    std::printf("full repaint:   TLexEdit %7.3f ms   QPlainTextEdit + QSyntaxHighlighter %7.3f ms   "
                "TLexEdit / peer %.2f\n",
                Ms[0], Ms[2], Ms[0] / Ms[2]);
    std::printf("one row:        TLexEdit %7.3f ms   QPlainTextEdit + QSyntaxHighlighter %7.3f ms   "
                "row / full repaint %.3f (1/%.0f)\n",
                Ms[1], Ms[3], Ms[1] / Ms[0], Ms[0] / std::max(Ms[1], 1e-6));
}

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int Rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 40;
    // "long" as the second argument: only the long line, without its peer (for profiling).
    const bool OnlyLongLine = argc > 2 && qstrcmp(argv[2], "long") == 0;
    TLexPHPLex Php;
    if (!OnlyLongLine) PaintScreens(Rounds, Php);
    // One line of 5.5 MB: loaded into a fresh editor (ranges scanned) and its first screen painted;
    // the peer: a fresh QPlainTextEdit given the decoded line (its highlighter runs over it) and
    // its first screen rendered.
    QByteArray Long;
    const QByteArray Piece = "<?php $a = 'value'; echo $a; /* c */ ?><b>x</b> ";
    while (Long.size() < 5500000)
        Long += Piece;
    const LongLineTimes Ours = LoadAndPaintLongLine(Long, Php);
    const double PeerLong = OnlyLongLine ? 0.0 : PeerLoadAndPaintLongLine(Long); // CPU time
    std::printf(
        "5.5 MB single line loaded and painted: %.1f ms CPU time (wall clock %.1f ms, of which loading "
        "and scanning %.1f ms; best of 3; target 100 ms)",
        Ours.TotalCpu, Ours.Total, Ours.Load);
    if (PeerLong > 0)
        std::printf("; QPlainTextEdit + QSyntaxHighlighter %.1f ms CPU time, TLexEdit / peer %.3f\n",
                    PeerLong, Ours.TotalCpu / PeerLong);
    else
        std::printf("\n");
    return 0;
}
