// SPDX-License-Identifier: MIT
// Typing at the end of a large file, as a user sees it: one character typed (a real key event)
// at the end of the last line of the generated PHP file of 1.4 M lines, with the rescan, the
// scroll-bar update and the repaint of what changed (the event loop paints the pending region
// of the shown editor), against the same at the end of a file a hundred times smaller (the cost
// must not depend on the line count), and against QPlainTextEdit with a QSyntaxHighlighter giving
// the PHP highlighter's runs, typing at its end the same way. Then Ctrl+End from the top and the
// paint of the last screen.
//
//   QT_QPA_PLATFORM=offscreen build/bench/bench_lexedit_typing [lines, default 1400000] [keys, default 300]
//       [--no-peer]

#include "BenchPeers.h"
#include "BenchPhpFile.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QPaintEvent>
#include <QPlainTextEdit>
#include <QSyntaxHighlighter>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <vector>

using namespace lexedit;

namespace {

constexpr int ViewWidth = 1200, ViewHeight = 800;

QFont EditorFont() {
    return BenchEditorFont(13);
}

// Counts the paints of a viewport and the pixels they covered.
class PaintCounter : public QObject {
public:
    int Paints = 0;
    qint64 Pixels = 0;

protected:
    bool eventFilter(QObject *AObject, QEvent *AEvent) override {
        if (AEvent->type() == QEvent::Paint) {
            ++Paints;
            for (const QRect &R : static_cast<QPaintEvent *>(AEvent)->region())
                Pixels += qint64(R.width()) * R.height();
        }
        return QObject::eventFilter(AObject, AEvent);
    }
};

void SizeViewport(QAbstractScrollArea &AArea) {
    AArea.resize(ViewWidth + 40, ViewHeight + 40);
    AArea.show();
    const QSize Extra = AArea.size() - AArea.viewport()->size();
    AArea.resize(ViewWidth + Extra.width(), ViewHeight + Extra.height());
    QApplication::processEvents();
}

// Sends the key press and release of a key to the widget, then lets the event loop paint.
void Key(QWidget &AWidget, int AKey, Qt::KeyboardModifiers AModifiers, const QString &AText) {
    QKeyEvent Press(QEvent::KeyPress, AKey, AModifiers, AText);
    QApplication::sendEvent(&AWidget, &Press);
    QKeyEvent Release(QEvent::KeyRelease, AKey, AModifiers, AText);
    QApplication::sendEvent(&AWidget, &Release);
    QApplication::processEvents();
}

double Median(std::vector<double> A) {
    std::sort(A.begin(), A.end());
    return A[A.size() / 2];
}

struct TypingResult {
    double KeyMs = 0;       // median, one keystroke with its repaint
    double PaintedRows = 0; // rows' worth of pixels painted per keystroke
    double JumpMs = 0;      // Ctrl+End from the top with the paint of the last screen
};

// Types AKeys keys at the end of the widget's text (keys go to AKeyTarget; the caret is already at
// the end), one at a time with the paint after each: characters, and Return after every 40 of
// them so that the line stays within the window, as typing does. Then measures the jump.
TypingResult Type(QWidget &AKeyTarget, QWidget &AViewport, int ARowHeight, int AKeys,
                  const std::function<void()> &AToTop) {
    TypingResult Result;
    PaintCounter Counter;
    AViewport.installEventFilter(&Counter);
    std::vector<double> Ms;
    static const QString Chars = QStringLiteral("abc def;");
    for (int i = 0; i < AKeys; ++i) {
        const bool Return = i % 41 == 40;
        const QString Text = Return ? QStringLiteral("\r") : QString(Chars[i % Chars.size()]);
        QElapsedTimer T;
        T.start();
        Key(AKeyTarget,
            Return                       ? Qt::Key_Return
            : Text == QLatin1String(" ") ? Qt::Key_Space
                                         : Qt::Key_A,
            Qt::NoModifier, Text);
        Ms.push_back(double(T.nsecsElapsed()) / 1e6);
    }
    Result.KeyMs = Median(Ms);
    Result.PaintedRows = double(Counter.Pixels) / AKeys / (double(AViewport.width()) * ARowHeight);
    std::vector<double> Jumps;
    for (int i = 0; i < 5; ++i) {
        AToTop();
        QApplication::processEvents();
        QElapsedTimer T;
        T.start();
        Key(AKeyTarget, Qt::Key_End, Qt::ControlModifier, QString());
        Jumps.push_back(double(T.nsecsElapsed()) / 1e6);
    }
    Result.JumpMs = Median(Jumps);
    AViewport.removeEventFilter(&Counter);
    return Result;
}

TypingResult TypeInEditor(const QByteArray &AFile, int AKeys, int &ALines) {
    TLexPHPLex Php;
    TLexEdit E;
    E.SetEditorFont(EditorFont());
    E.Gutter().SetShowLineNumbers(true);
    E.SetHighlighter(&Php);
    E.Lines()->LoadFromBytes(AFile);
    ALines = E.Lines()->Count();
    SizeViewport(E);
    E.setFocus();
    Key(E, Qt::Key_End, Qt::ControlModifier, QString());
    return Type(E, *E.viewport(), E.LineHeight(), AKeys, [&] { E.SetCaretXY(BufferCoord(1, 1)); });
}

TypingResult TypeInPeer(const QByteArray &AFile, int AKeys) {
    TLexPHPLex Php;
    QPlainTextEdit Peer;
    Peer.setFont(EditorFont());
    Peer.setLineWrapMode(QPlainTextEdit::NoWrap);
    PhpRuns Runs(Peer.document(), Php, Peer.palette());
    Peer.setPlainText(QString::fromUtf8(AFile));
    SizeViewport(Peer);
    Peer.setFocus();
    Key(Peer, Qt::Key_End, Qt::ControlModifier, QString());
    return Type(Peer, *Peer.viewport(), QFontMetrics(EditorFont()).height(), AKeys,
                [&] { Peer.moveCursor(QTextCursor::Start); });
}

} // namespace

int main(int argc, char **argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication App(argc, argv);
    const int Lines = argc > 1 ? std::max(100, std::atoi(argv[1])) : 1400000;
    const int Keys = argc > 2 ? std::max(10, std::atoi(argv[2])) : 300;
    const QByteArray Big = GeneratePhp(Lines);
    const QByteArray Small = GeneratePhp(std::max(Lines / 100, 100));

    int BigLines = 0, SmallLines = 0;
    const TypingResult EBig = TypeInEditor(Big, Keys, BigLines);
    const TypingResult ESmall = TypeInEditor(Small, Keys, SmallLines);
    // The peer takes long to load the big file; --no-peer leaves it out.
    const bool WithPeer = !(argc > 3 && qstrcmp(argv[3], "--no-peer") == 0);
    QElapsedTimer PeerLoad;
    PeerLoad.start();
    const TypingResult PBig = WithPeer ? TypeInPeer(Big, Keys) : TypingResult{1, 1, 1};
    const double PeerSeconds = double(PeerLoad.nsecsElapsed()) / 1e9;
    const TypingResult PSmall = WithPeer ? TypeInPeer(Small, Keys) : TypingResult{1, 1, 1};

    std::printf(
        "one key typed at the end of the text, with rescan, scroll bars and the repaint (median of %d "
        "keys; viewport %d x %d)\n",
        Keys, ViewWidth, ViewHeight);
    std::printf("  TLexEdit        %8d lines: %.3f ms (%.1f rows painted a key)   %6d lines: %.3f ms   "
                "big/small %.2f\n",
                BigLines, EBig.KeyMs, EBig.PaintedRows, SmallLines, ESmall.KeyMs, EBig.KeyMs / ESmall.KeyMs);
    std::printf("  QPlainTextEdit  %8d lines: %.3f ms (%.1f rows painted a key)   %6d lines: %.3f ms   "
                "big/small %.2f\n",
                BigLines, PBig.KeyMs, PBig.PaintedRows, SmallLines, PSmall.KeyMs, PBig.KeyMs / PSmall.KeyMs);
    std::printf("  TLexEdit / QPlainTextEdit at %d lines: %.2f (target: at most 1 ms)\n", BigLines,
                EBig.KeyMs / PBig.KeyMs);
    std::printf("Ctrl+End from the top and the paint of the last screen (median of 5)\n");
    std::printf("  TLexEdit %.3f ms   QPlainTextEdit %.3f ms   ratio %.2f (target: at most 5 ms)\n",
                EBig.JumpMs, PBig.JumpMs, EBig.JumpMs / PBig.JumpMs);
    std::printf("(QPlainTextEdit took %.1f s to load and highlight the big file and type in it)\n",
                PeerSeconds);
    return 0;
}
