// SPDX-License-Identifier: MIT
// The HTML flavour of a copy from the PHP view, loaded as a page into the window's browser pane:
// each token shows in its attribute's colour and style, and the lines and their leading blanks
// are kept.

#include "ResultBrowser.h"

#include "lexedit/LexEdit.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QApplication>
#include <QClipboard>
#include <QJsonArray>
#include <QJsonDocument>
#include <QMimeData>
#include <QSignalSpy>
#include <QtTest>

using namespace lexedit;

namespace {

QVariant RunJavaScript(QWebEngineView &AView, const QString &ASource) {
    QVariant Result;
    bool Done = false;
    AView.page()->runJavaScript(ASource, [&](const QVariant &AValue) {
        Result = AValue;
        Done = true;
    });
    if (!QTest::qWaitFor([&] { return Done; }, 20000)) qWarning("script result did not arrive");
    return Result;
}

QString Rgb(TColor C) {
    const uint32_t v = uint32_t(C);
    return QStringLiteral("rgb(%1, %2, %3)").arg(v & 0xFF).arg((v >> 8) & 0xFF).arg((v >> 16) & 0xFF);
}

} // namespace

class TestHtmlClipboard : public QObject {
    Q_OBJECT

private slots:
    void browserShowsTheCopiedColours();
};

void TestHtmlClipboard::browserShowsTheCopiedColours() {
    TLexPHPLex Php;
    Php.CommentAttri()->SetForeground(RGBToColor(0, 128, 0));
    Php.StringAttri()->SetForeground(RGBToColor(200, 0, 0));
    Php.KeyAttri()->SetForeground(RGBToColor(0, 0, 200));
    Php.VariableAttri()->SetForeground(RGBToColor(128, 0, 128));
    Php.NumberAttri()->SetForeground(RGBToColor(128, 128, 0));
    Php.SpaceAttri()->SetBackground(clBlack); // a dark editor background stays out
    TLexEdit E;
    E.SetHighlighter(&Php);
    const QStringList Lines{QStringLiteral("<?php"),
                            QStringLiteral("function f($x) {"),
                            QStringLiteral("    // twice <it>"),
                            QStringLiteral("    return $x * 42 . 'a & b';"),
                            QString(),
                            QStringLiteral("}")};
    E.SetLines(Lines);
    E.SelectAll();
    E.CopyToClipboard();
    const QByteArray Html = QGuiApplication::clipboard()->mimeData()->data(QStringLiteral("text/html"));
    QVERIFY(!Html.isEmpty());

    app::TResultBrowser View;
    View.resize(800, 600);
    View.show();
    QSignalSpy Loaded(&View, &QWebEngineView::loadFinished);
    View.WriteDocument(QString::fromUtf8(Html));
    QVERIFY(Loaded.wait(30000));
    QVERIFY(Loaded.constLast().constFirst().toBool());

    // The lines, their leading blanks and the empty line, as the page shows them.
    const QString Text =
        RunJavaScript(View, QStringLiteral("document.querySelector('pre').innerText")).toString();
    QCOMPARE(Text.split(QLatin1Char('\n')), Lines);
    QCOMPARE(RunJavaScript(View, QStringLiteral("getComputedStyle(document.querySelector('pre')).whiteSpace"))
                 .toString(),
             QStringLiteral("pre"));
    // No background from the editor: the page's own (transparent) one.
    QCOMPARE(
        RunJavaScript(View, QStringLiteral("getComputedStyle(document.querySelector('pre')).backgroundColor"))
            .toString(),
        QStringLiteral("rgba(0, 0, 0, 0)"));

    // Each span's text with its computed colour and weight.
    const QString Spans =
        RunJavaScript(View,
                      QStringLiteral("JSON.stringify(Array.from(document.querySelectorAll('pre span')).map("
                                     "s => [s.textContent, getComputedStyle(s).color, "
                                     "getComputedStyle(s).fontWeight, getComputedStyle(s).fontStyle]))"))
            .toString();
    const QJsonArray List = QJsonDocument::fromJson(Spans.toUtf8()).array();
    QVERIFY2(!List.isEmpty(), qPrintable(Spans));
    struct TExpect {
        QString Token;
        TColor Color;
        bool Bold;
        bool Italic;
    };
    const TExpect Expected[] = {
        {QStringLiteral("function"), Php.KeyAttri()->Foreground(), true, false},
        {QStringLiteral("return"), Php.KeyAttri()->Foreground(), true, false},
        {QStringLiteral("$x"), Php.VariableAttri()->Foreground(), false, false},
        {QStringLiteral("// twice <it>"), Php.CommentAttri()->Foreground(), false, true},
        {QStringLiteral("42"), Php.NumberAttri()->Foreground(), false, false},
        {QStringLiteral("'a & b'"), Php.StringAttri()->Foreground(), false, false}};
    for (const TExpect &X : Expected) {
        bool Found = false;
        for (const QJsonValue &V : List) {
            const QJsonArray S = V.toArray();
            if (!S.at(0).toString().contains(X.Token)) continue;
            Found = true;
            QCOMPARE(S.at(1).toString(), Rgb(X.Color));
            QCOMPARE(S.at(2).toString() == QLatin1String("700"), X.Bold);
            QCOMPARE(S.at(3).toString() == QLatin1String("italic"), X.Italic);
        }
        QVERIFY2(Found, qPrintable(X.Token + QStringLiteral(" not in a span: ") + Spans));
    }
}

int main(int argc, char **argv) {
    app::TResultBrowser::PrepareEngine();
    QApplication Application(argc, argv);
    TestHtmlClipboard Test;
    return QTest::qExec(&Test, argc, argv);
}
#include "tst_htmlclipboard.moc"
