// SPDX-License-Identifier: MIT
// The browser pane's render time against the size of the result, which sets its render limit.
//
// Each round writes a document into the pane (TResultBrowser, the render limit raised past it)
// and measures until the page has loaded: the output of a script printing plain text lines (the
// benchmarks' flood, "N xxx...", which the page lays out as one paragraph) at 0.5, 1 and 2 MB,
// against the same bytes as "<p>" lines (the peer: a page of many small blocks). Last, the
// flood's whole 25 MB with the default limit, which renders its first part.
//
//   build/bench/bench_resultpage [ROUNDS, default 3]    (under xvfb-run, or QT_QPA_PLATFORM=offscreen)

#include "ResultBrowser.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Lines as the flood prints them up to ABytes of UTF-8, as plain text or each in a paragraph.
QString Flood(qsizetype ABytes, bool AParagraphs) {
    QString text;
    text.reserve(ABytes + 64);
    for (int i = 1; text.size() < ABytes; ++i) {
        if (AParagraphs) text += QStringLiteral("<p>");
        text += QString::number(i) + QStringLiteral(" xxxxxxxxxxxxxxxxxx");
        if (AParagraphs) text += QStringLiteral("</p>");
        text += QStringLiteral("\r\n");
    }
    return text;
}

// Milliseconds from writing AText to the page's load, or -1 when it did not load in 10 minutes.
double RenderMs(app::TResultBrowser &ABrowser, const QString &AText) {
    QSignalSpy loaded(&ABrowser, &QWebEngineView::loadFinished);
    QElapsedTimer timer;
    timer.start();
    ABrowser.WriteDocument(AText);
    if (!loaded.wait(600000) || !loaded.constLast().constFirst().toBool()) return -1;
    return double(timer.nsecsElapsed()) / 1e6;
}

double Median(std::vector<double> AValues) {
    std::sort(AValues.begin(), AValues.end());
    return AValues[AValues.size() / 2];
}

} // namespace

int main(int argc, char **argv) {
    app::TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    const int rounds = argc > 1 ? std::max(1, atoi(argv[1])) : 3;
    app::TResultBrowser browser;
    browser.resize(800, 300);
    browser.show();
    RenderMs(browser, QStringLiteral("<p>warm-up</p>"));
    std::printf("render limit %lld bytes; median of %d rounds\n",
                static_cast<long long>(app::TResultBrowser::kDefaultRenderLimit), rounds);
    std::printf("%-8s %14s %14s %8s\n", "size", "plain lines", "<p> lines", "ratio");
    for (const qsizetype size : {512 * 1024, 1024 * 1024, 2 * 1024 * 1024}) {
        const QString plain = Flood(size, false);
        const QString paragraphs = Flood(size, true);
        browser.SetRenderLimit(4 * size);
        std::vector<double> a, b;
        for (int r = 0; r < rounds; ++r) { // the two take turns
            a.push_back(RenderMs(browser, plain));
            b.push_back(RenderMs(browser, paragraphs));
        }
        std::printf("%5lld KB %11.0f ms %11.0f ms %7.1fx\n", static_cast<long long>(size / 1024), Median(a),
                    Median(b), Median(a) / Median(b));
    }
    browser.SetRenderLimit(app::TResultBrowser::kDefaultRenderLimit);
    const QString flood = Flood(25 * 1024 * 1024, false);
    const QString first = flood.left(app::TResultBrowser::kDefaultRenderLimit);
    std::vector<double> a, b;
    for (int r = 0; r < rounds; ++r) {
        a.push_back(RenderMs(browser, flood));
        b.push_back(RenderMs(browser, first));
    }
    std::printf("25 MB flood with the default limit: %.0f ms; its first 1 MB alone: %.0f ms; %.2fx\n",
                Median(a), Median(b), Median(a) / Median(b));
    return 0;
}
