// SPDX-License-Identifier: MIT
// Paints a full editor screen of 240 x 70 cells of mixed-style text into an image through the
// text drawer, against two peers measured in the same run: a QPlainTextEdit painting the same
// text, and one QPainter::drawText call per character.
//
//   QT_QPA_PLATFORM=offscreen ./bench_lextextdrawer [screens]

#include "BenchPeers.h"
#include "lexedit/LexTextDrawer.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSyntaxHighlighter>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <functional>
#include <vector>

using namespace lexedit;

namespace {

constexpr int Columns = 240, Rows = 70;

QFont EditorFont() {
    return BenchEditorFont(14);
}

// Source-like lines; each is cut or repeated to the screen width.
QStringList ScreenText() {
    const QStringList samples = {
        QStringLiteral("<?php function check_file($name, array $options = []): bool { return "
                       "isset($options[$name]); } "),
        QStringLiteral(
            "    $result = preg_match('/^[a-z_][a-z0-9_]*$/i', $value) ? \"ok: $value\" : null; // check "),
        QStringLiteral("<div class=\"result\"><span id=\"line-42\">Warning: Undefined variable $x in "
                       "/tmp/a.php</span> "),
        QStringLiteral(
            "    foreach ($rows as $i => $row) { echo htmlspecialchars($row['title'], ENT_QUOTES); }     "),
    };
    QStringList lines;
    for (int r = 0; r < Rows; ++r) {
        QString s;
        while (s.size() < Columns)
            s += samples[r % samples.size()];
        lines << s.left(Columns);
    }
    return lines;
}

// Median CPU time in ms of one call of each painter, measured in interleaved rounds so that a
// change of machine load affects all of them alike. CPU time rather than wall time: the machine
// is shared.
std::vector<double> Measure(int ARounds, const std::vector<std::function<void()>> &APainters) {
    std::vector<std::vector<double>> times(APainters.size());
    for (const auto &paint : APainters)
        paint(); // warm up caches
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

// Gives a QPlainTextEdit the runs of the mixed-style screen: the same lengths, styles and colours.
class RunHighlighter : public QSyntaxHighlighter {
public:
    RunHighlighter(QTextDocument *ADocument, const QList<QTextCharFormat> &AFormats, const QColor &ASilver)
        : QSyntaxHighlighter(ADocument), FFormats(AFormats), FSilver(ASilver) {}

protected:
    void highlightBlock(const QString &AText) override {
        const int row = currentBlock().blockNumber();
        int col = 0, k = row;
        while (col < AText.size()) {
            const int len = std::min(int(AText.size()) - col, 3 + (k * 7) % 9);
            QTextCharFormat f = FFormats[k % FFormats.size()];
            if (k % 7 == 0) f.setBackground(FSilver);
            setFormat(col, len, f);
            col += len;
            ++k;
        }
    }

private:
    QList<QTextCharFormat> FFormats;
    QColor FSilver;
};

} // namespace

int main(int argc, char **argv) {
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    const int repeats = argc > 1 ? std::max(1, atoi(argv[1])) : 50;
    // "drawer" or "plain": only the drawer's mixed-style or plain screen (for profilers).
    const QByteArray only = argc > 2 ? QByteArray(argv[2]) : QByteArray();
    const QStringList lines = ScreenText();

    TheTextDrawer drawer(TFontStyles(), EditorFont());
    const int cw = drawer.CharWidth(), ch = drawer.CharHeight();
    QImage image(Columns * cw, Rows * ch, QImage::Format_RGB32);

    // Runs of 3 to 11 characters in rotating styles and colours, as a highlighter gives them.
    const TFontStyles styles[] = {TFontStyles(), TFontStyles{fsBold}, TFontStyles{fsItalic},
                                  TFontStyles{fsUnderline}, TFontStyles{fsBold, fsItalic}};
    const TColor colours[] = {clBlack, clNavy, clMaroon, clGreen, clPurple};
    int runs = 0;
    const auto paintDrawer = [&] {
        runs = 0;
        QPainter p(&image);
        drawer.BeginDrawing(&p);
        for (int r = 0; r < Rows; ++r) {
            const QString &line = lines[r];
            int col = 0, k = r;
            while (col < Columns) {
                const int len = std::min(Columns - col, 3 + (k * 7) % 9);
                drawer.SetStyle(styles[k % 5]);
                drawer.SetForeColor(colours[k % 5]);
                drawer.SetBackColor(k % 7 == 0 ? clSilver : clWhite);
                const QRect rect(col * cw, r * ch, len * cw, ch);
                drawer.ExtTextOut(rect.left(), rect.top(), TTextOutOptions{tooOpaque, tooClipped}, rect,
                                  QStringView(line).mid(col, len));
                col += len;
                ++k;
                ++runs;
            }
        }
        drawer.EndDrawing();
    };
    // The same screen as plain text, one run per line, as the QPlainTextEdit peer paints it.
    const auto paintDrawerPlain = [&] {
        QPainter p(&image);
        drawer.BeginDrawing(&p);
        drawer.SetStyle(TFontStyles());
        drawer.SetForeColor(clBlack);
        drawer.SetBackColor(clWhite);
        for (int r = 0; r < Rows; ++r) {
            const QRect rect(0, r * ch, Columns * cw, ch);
            drawer.ExtTextOut(0, rect.top(), TTextOutOptions{tooOpaque, tooClipped}, rect, lines[r]);
        }
        drawer.EndDrawing();
    };
    if (only == "drawer") {
        std::printf("TheTextDrawer, mixed styles: %8.3f ms per screen\n", Measure(repeats, {paintDrawer})[0]);
        return 0;
    }
    if (only == "plain") {
        std::printf("TheTextDrawer, plain: %8.3f ms per screen\n", Measure(repeats, {paintDrawerPlain})[0]);
        return 0;
    }

    QPlainTextEdit edit;
    edit.setFont(EditorFont());
    edit.setLineWrapMode(QPlainTextEdit::NoWrap);
    edit.setPlainText(lines.join(QLatin1Char('\n')));
    edit.resize(image.width() + 40, image.height() + 40);
    edit.show();
    QImage editImage(edit.viewport()->size(), QImage::Format_RGB32);
    const auto paintPlainTextEdit = [&] { edit.viewport()->render(&editImage); };

    // The same peer with the runs of the mixed-style screen set by a highlighter.
    QPlainTextEdit mixedEdit;
    mixedEdit.setFont(EditorFont());
    mixedEdit.setLineWrapMode(QPlainTextEdit::NoWrap);
    QList<QTextCharFormat> formats;
    for (int i = 0; i < 5; ++i) {
        QTextCharFormat f;
        f.setFontWeight(styles[i].Contains(fsBold) ? QFont::Bold : QFont::Normal);
        f.setFontItalic(styles[i].Contains(fsItalic));
        f.setFontUnderline(styles[i].Contains(fsUnderline));
        f.setForeground(ColorToQColor(colours[i], QGuiApplication::palette(), Qt::black));
        formats << f;
    }
    RunHighlighter highlighter(mixedEdit.document(), formats,
                               ColorToQColor(clSilver, QGuiApplication::palette(), Qt::gray));
    mixedEdit.setPlainText(lines.join(QLatin1Char('\n')));
    mixedEdit.resize(image.width() + 40, image.height() + 40);
    mixedEdit.show();
    QImage mixedEditImage(mixedEdit.viewport()->size(), QImage::Format_RGB32);
    const auto paintMixedPlainTextEdit = [&] { mixedEdit.viewport()->render(&mixedEditImage); };

    const int ascent = QFontMetrics(EditorFont()).ascent();
    const auto paintPerCharacter = [&] {
        QPainter p(&image);
        p.setFont(EditorFont());
        for (int r = 0; r < Rows; ++r)
            for (int c = 0; c < Columns; ++c)
                p.drawText(c * cw, r * ch + ascent, QString(lines[r][c]));
    };
    const std::vector<double> ms = Measure(repeats, {paintDrawer, paintDrawerPlain, paintPlainTextEdit,
                                                     paintPerCharacter, paintMixedPlainTextEdit});
    const double drawerMs = ms[0], drawerPlainMs = ms[1], plainMs = ms[2], perCharMs = ms[3],
                 mixedPeerMs = ms[4];

    std::printf("screen: %d x %d cells (%d x %d px), %d runs per screen, median CPU time of %d rounds\n",
                Columns, Rows, image.width(), image.height(), runs, repeats);
    std::printf("TheTextDrawer, mixed styles:       %8.3f ms per screen\n", drawerMs);
    std::printf("TheTextDrawer, plain, run per line: %7.3f ms per screen\n", drawerPlainMs);
    std::printf(
        "QPlainTextEdit, plain text:        %8.3f ms per screen (mixed / peer %.2f, plain / peer %.2f)\n",
        plainMs, drawerMs / plainMs, drawerPlainMs / plainMs);
    std::printf("QPlainTextEdit, the same runs:     %8.3f ms per screen (mixed / this peer %.2f)\n",
                mixedPeerMs, drawerMs / mixedPeerMs);
    std::printf("QPainter::drawText per character:  %8.3f ms per screen (drawer / peer %.2f)\n", perCharMs,
                drawerMs / perCharMs);
    std::printf("target: drawer <= 1.5 ms per screen: %s\n", drawerMs <= 1.5 ? "met" : "NOT met");
    return 0;
}
