// SPDX-License-Identifier: MIT
// The window driven as a user would drive it, with answered dialogs and the real PHP interpreter.

#include "ControlPanelUnit.h"
#include "ElidedLabel.h"
#include "ResultBrowser.h"
#include "lexedit/LexEdit.h"
#include "lexedit/LexEditHighlighterOptions.h"
#include "lexedit/LexEditTextBuffer.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"
#include "window_fixture.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProcess>
#include <QScreen>
#include <QScrollBar>
#include <QSignalSpy>
#include <QSplitter>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QWebEnginePage>
#include <QtTest>

#include <memory>
#include <optional>

#include <algorithm>
#include <deque>

using namespace app;
using namespace window_test;

namespace {

// The next widget that Tab moves to.
QWidget *NextTabStop(QWidget *AWidget) {
    QWidget *w = AWidget->nextInFocusChain();
    while (w != AWidget && !(w->focusPolicy() & Qt::TabFocus))
        w = w->nextInFocusChain();
    return w;
}

// Glyphs are smoothed: the inside of a stroke is the token's colour within this much.
constexpr int kInkTolerance = 40;

// The cells of characters AFirst .. ALast (1-based) of buffer line ALine, in viewport pixels.
QRect CellsOf(const lexedit::TLexEdit &AEdit, int ALine, int AFirst, int ALast) {
    const QPoint topLeft = AEdit.RowColumnToPixels(lexedit::TDisplayCoord{AFirst, ALine});
    return QRect(topLeft.x(), topLeft.y(), (ALast - AFirst + 1) * AEdit.CharWidth(), AEdit.LineHeight());
}

lexedit::TColor Rgb(int R, int G, int B) {
    return lexedit::TColor(R | (G << 8) | (B << 16));
}

QColor ToQColor(lexedit::TColor AColor) {
    return QColor(int(AColor & 0xFF), int((AColor >> 8) & 0xFF), int((AColor >> 16) & 0xFF));
}

} // namespace

class TestControlPanel : public QObject {
    Q_OBJECT

    QTemporaryDir FDir;
    QList<common::ErrorReport> FErrors;
    std::unique_ptr<TControlPanelForm> FForm;
    TScriptedDialogs *FDialogs = nullptr;

    QString WriteScript(const QString &AName, const QByteArray &ASource) {
        const QString path = FDir.filePath(AName);
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly)) qFatal("cannot write test script");
        file.write(ASource);
        return path;
    }

    void WaitForRunEnd() { QTRY_VERIFY_WITH_TIMEOUT(!FForm->ConsoleCommand->IsRunning(), 20000); }

    // A renderer that was killed may answer late or never: the answer goes to shared state, so a
    // late one finds no dead stack frame.
    QString PagePlainText() {
        const auto text = std::make_shared<std::optional<QString>>();
        FForm->WB->page()->toPlainText([text](const QString &AText) { *text = AText; });
        if (!QTest::qWaitFor([&] { return text->has_value(); }, 20000)) qWarning("page text did not arrive");
        return text->value_or(QString());
    }

    QVariant RunJavaScript(const QString &ASource) {
        const auto result = std::make_shared<std::optional<QVariant>>();
        FForm->WB->page()->runJavaScript(ASource, [result](const QVariant &AValue) { *result = AValue; });
        if (!QTest::qWaitFor([&] { return result->has_value(); }, 20000))
            qWarning("script result did not arrive");
        return result->value_or(QVariant());
    }

    bool ExecuteAndWaitForPage() {
        QSignalSpy loaded(FForm->WB, &QWebEngineView::loadFinished);
        FForm->ExecuteScriptAction->trigger();
        return loaded.wait(30000) && loaded.constLast().constFirst().toBool();
    }

private slots:
    void initTestCase() {
        QVERIFY(FDir.isValid());
        QVERIFY2(!Php().isEmpty(), "php-cli must be installed");
        common::SetErrorReporter([this](const common::ErrorReport &AReport) { FErrors << AReport; });
    }

    void init() {
        FErrors.clear();
        QVERIFY(ShowNewForm(FForm, FDialogs, false));
    }

    void cleanup() {
        QCOMPARE(FDialogs->Unexpected, 0);
        FForm.reset();
    }

    void windowHasItsWidgetsNamesAndCaptions() {
        TControlPanelForm &f = *FForm;
        QCOMPARE(f.windowTitle(), QStringLiteral("Check PHP file"));
        const QStringList names = {"ControlPanel",
                                   "SpeedButton1",
                                   "SpeedButton2",
                                   "PHPFileButton",
                                   "SaveButton",
                                   "Panel2",
                                   "Label2",
                                   "ParamsEdit",
                                   "StatusPanel",
                                   "Label1",
                                   "ControlLabel",
                                   "Panel1",
                                   "PageControl",
                                   "CodeSheet",
                                   "TabSheet2",
                                   "PHPmemo",
                                   "WebMemo",
                                   "HSplitter",
                                   "WB",
                                   "ConsoleCommand",
                                   "OpenScriptAction",
                                   "SaveResultsAction",
                                   "ExecuteScriptAction",
                                   "SelectPHPFolderAction"};
        for (const QString &name : names)
            QVERIFY2(f.findChild<QObject *>(name) != nullptr, qPrintable(name));
        for (const QToolButton *button : {f.SpeedButton1, f.SpeedButton2, f.PHPFileButton, f.SaveButton}) {
            QVERIFY2(!button->icon().pixmap(48, 48).isNull(), qPrintable(button->objectName()));
            QCOMPARE(button->toolButtonStyle(), Qt::ToolButtonTextUnderIcon);
        }
        QCOMPARE(f.SpeedButton1->text(), QStringLiteral("PHP"));
        QCOMPARE(f.SpeedButton2->text(), QStringLiteral("Script"));
        QCOMPARE(f.PHPFileButton->text(), QStringLiteral("Execute"));
        QCOMPARE(f.SaveButton->text(), QStringLiteral("Save"));
        QCOMPARE(f.Label2->text(), QStringLiteral("Parameters:"));
        QCOMPARE(f.ControlLabel->text(), QStringLiteral(">"));
        QCOMPARE(f.Label1->text(), QStringLiteral("Colvane test No 2"));
        QCOMPARE(f.PageControl->tabText(0), QStringLiteral("PHP Code"));
        QCOMPARE(f.PageControl->tabText(1), QStringLiteral("HTML Result"));
        QCOMPARE(f.PageControl->tabPosition(), QTabWidget::South);
        QCOMPARE(f.PageControl->currentIndex(), 0);
        QVERIFY(f.ControlLabel->geometry().left() < f.Label1->geometry().left());
        QCOMPARE(f.ParamsEdit->text(), QString());
        QVERIFY(f.PhpFolder().isEmpty() && f.PhpScript().isEmpty() && f.Commands().isEmpty());
        // Tab order: the four buttons, the parameters, the browser, the pages.
        QCOMPARE(NextTabStop(f.SpeedButton1), static_cast<QWidget *>(f.SpeedButton2));
        QCOMPARE(NextTabStop(f.SpeedButton2), static_cast<QWidget *>(f.PHPFileButton));
        QCOMPARE(NextTabStop(f.PHPFileButton), static_cast<QWidget *>(f.SaveButton));
        QCOMPARE(NextTabStop(f.SaveButton), static_cast<QWidget *>(f.ParamsEdit));
    }

    void bothViewsAreHighlightedEditors() {
        using namespace lexedit;
        const auto Rgb = [](int R, int G, int B) { return TColor(R | (G << 8) | (B << 16)); };
        QCOMPARE(FForm->PHPmemo->Highlighter(), static_cast<TLexCustomHighlighter *>(FForm->PHPCode));
        QCOMPARE(FForm->WebMemo->Highlighter(), static_cast<TLexCustomHighlighter *>(FForm->HTML5));
        for (TLexEdit *E : {FForm->PHPmemo, FForm->WebMemo}) {
            QCOMPARE(E->EditorFont().pixelSize(), 13);
            QVERIFY(E->EditorFont().fixedPitch());
            QVERIFY(E->Gutter().ShowLineNumbers());
            QCOMPARE(E->Gutter().Font().pixelSize(), 11);
            QCOMPARE(E->UseCodeFolding(), E == FForm->PHPmemo); // the script folds, the output not
            QVERIFY(E->GutterWidth() > 0);
        }
        const TLexHTMLLex &H = *FForm->HTML5;
        QCOMPARE(H.AndAttri()->Foreground(), Rgb(0, 128, 64));
        QCOMPARE(H.CommentAttri()->Foreground(), Rgb(0, 128, 128));
        QCOMPARE(H.CommentAttri()->Style(), TFontStyles{fsItalic});
        QCOMPARE(H.IdentifierAttri()->Foreground(), Rgb(255, 128, 0));
        QCOMPARE(H.KeyAttri()->Foreground(), Rgb(128, 64, 0));
        QCOMPARE(H.KeyAttri()->Style(), TFontStyles());
        QCOMPARE(H.SymbolAttri()->Foreground(), Rgb(0, 64, 128));
        QCOMPARE(H.SymbolAttri()->Style(), TFontStyles());
        QCOMPARE(H.TextAttri()->Foreground(), Rgb(30, 30, 30));
        QCOMPARE(H.UndefKeyAttri()->Foreground(), Rgb(128, 64, 0));
        QCOMPARE(H.ValueAttri()->Foreground(), Rgb(0, 107, 159));
        const TLexPHPLex &P = *FForm->PHPCode;
        QCOMPARE(P.CommentAttri()->Foreground(), Rgb(0, 179, 0));
        QCOMPARE(P.IdentifierAttri()->Foreground(), Rgb(0, 128, 128));
        QCOMPARE(P.KeyAttri()->Foreground(), Rgb(128, 0, 128));
        QCOMPARE(P.NumberAttri()->Foreground(), Rgb(235, 183, 5));
        QCOMPARE(P.StringAttri()->Foreground(), Rgb(255, 0, 255));
        for (const TLexCustomHighlighter *Hl : {static_cast<const TLexCustomHighlighter *>(&H),
                                                static_cast<const TLexCustomHighlighter *>(&P)}) {
            QVERIFY(!Hl->Options().AutoDetectEnabled());
            QCOMPARE(Hl->Options().AutoDetectLineLimit(), 0u);
            QVERIFY(!Hl->Options().Visible());
        }
        // A highlighted sample shows the window's string colour (text is smoothed: the fullest
        // pixels of the glyphs are near it).
        FForm->show();
        QVERIFY(QTest::qWaitForWindowExposed(FForm.get()));
        FForm->PHPmemo->Lines()->Add(QStringLiteral("<?php $a = 'mmmmmmmmmmmmmmmm';"));
        const QImage Image = FForm->PHPmemo->viewport()->grab().toImage();
        bool Found = false;
        for (int y = 0; y < FForm->PHPmemo->LineHeight() && !Found; ++y)
            for (int x = FForm->PHPmemo->GutterWidth(); x < Image.width() && !Found; ++x) {
                const QColor C(Image.pixel(x, y));
                Found = C.red() >= 215 && C.green() <= 60 && C.blue() >= 215;
            }
        QVERIFY(Found);
    }

    // Each colour the window gives a highlighter is painted where a token of that attribute is,
    // and not where a token of a clearly different colour is.
    void editorsPaintEachOverrideColourWhereItsTokenIs_data() {
        QTest::addColumn<bool>("result");
        QTest::addColumn<QStringList>("sample");
        QTest::newRow("PHPmemo") << false
                                 << QStringList{QStringLiteral("<?php $x = 4242; // mmmm note"),
                                                QStringLiteral("echo \"mmmm\" . strlen($x);")};
        QTest::newRow("WebMemo") << true
                                 << QStringList{QStringLiteral("<p class=\"mmmm\">Text &amp; more</p>"),
                                                QStringLiteral("<!-- mmmm comment --><zzzz>")};
    }
    void editorsPaintEachOverrideColourWhereItsTokenIs() {
        using namespace lexedit;
        QFETCH(bool, result);
        QFETCH(QStringList, sample);
        FForm->PageControl->setCurrentIndex(result ? 1 : 0);
        TLexEdit &edit = result ? *FForm->WebMemo : *FForm->PHPmemo;
        QTRY_VERIFY(edit.isVisible());
        // The overridden attributes with the colours the window gives them.
        std::vector<std::pair<const TLexHighlighterAttributes *, TColor>> overridden;
        if (result) {
            const TLexHTMLLex &h = *FForm->HTML5;
            overridden = {{h.AndAttri(), Rgb(0, 128, 64)},         {h.CommentAttri(), Rgb(0, 128, 128)},
                          {h.IdentifierAttri(), Rgb(255, 128, 0)}, {h.KeyAttri(), Rgb(128, 64, 0)},
                          {h.SymbolAttri(), Rgb(0, 64, 128)},      {h.TextAttri(), Rgb(30, 30, 30)},
                          {h.UndefKeyAttri(), Rgb(128, 64, 0)},    {h.ValueAttri(), Rgb(0, 107, 159)}};
        } else {
            const TLexPHPLex &h = *FForm->PHPCode;
            overridden = {{h.CommentAttri(), Rgb(0, 179, 0)},
                          {h.IdentifierAttri(), Rgb(0, 128, 128)},
                          {h.KeyAttri(), Rgb(128, 0, 128)},
                          {h.NumberAttri(), Rgb(235, 183, 5)},
                          {h.StringAttri(), Rgb(255, 0, 255)}};
        }
        for (const QString &line : sample)
            edit.Lines()->Add(line);
        const QImage image = PaintEditor(edit);

        // Every token of the sample with its attribute and cells.
        struct Token {
            const TLexHighlighterAttributes *Attribute;
            QRect Cells;
            QString Text;
        };
        std::vector<Token> tokens;
        TLexCustomHighlighter &h = *edit.Highlighter();
        for (int i = 0; i < edit.Lines()->Count(); ++i) {
            if (i == 0)
                h.ResetRange();
            else
                h.SetRange(edit.Lines()->GetRange(i - 1));
            h.SetLine(edit.Lines()->Get(i), i);
            for (; !h.GetEol(); h.Next()) {
                const QString text = h.GetToken();
                if (text.trimmed().isEmpty()) continue;
                tokens.push_back(
                    {h.GetTokenAttribute(),
                     CellsOf(edit, i + 1, h.GetTokenPos() + 1, h.GetTokenPos() + int(text.size())), text});
            }
        }
        for (const auto &[attribute, expected] : overridden) {
            const QColor colour = ToQColor(expected);
            bool seen = false;
            for (const Token &t : tokens) {
                if (t.Attribute == attribute) {
                    seen = true;
                    QVERIFY2(NearestTo(image, t.Cells, colour) <= kInkTolerance,
                             qPrintable(QStringLiteral("%1 in %2: %3 off")
                                            .arg(attribute->Name(), t.Text)
                                            .arg(NearestTo(image, t.Cells, colour))));
                } else if (t.Attribute && ColourDistance(ToQColor(t.Attribute->Foreground()), colour) > 100) {
                    QVERIFY2(NearestTo(image, t.Cells, colour) > kInkTolerance,
                             qPrintable(QStringLiteral("%1 seen in %2").arg(attribute->Name(), t.Text)));
                }
            }
            QVERIFY2(seen, qPrintable(QStringLiteral("no %1 token in the sample").arg(attribute->Name())));
        }
    }

    // A real run: the script is shown highlighted, its output lines arrive in the result view
    // highlighted as HTML (also across lines: a comment opened on one output line colours the
    // next), and the view shows the end.
    void outputStreamsHighlightedIntoTheResultView() {
        FForm->PageControl->setCurrentIndex(1);
        QTRY_VERIFY(FForm->WebMemo->isVisible());
        StartScript(QStringLiteral("table.php"),
                    "<?php\necho \"<table>\\n\";\n"
                    "for ($i = 1; $i <= 300; $i++) { echo \"<tr><td>$i</td></tr>\\n\"; if ($i % 50 == 0) "
                    "usleep(20000); }\n"
                    "echo \"<!-- first\\nmmmmmmmm\\nlast -->\\n<p>done</p>\\n\";\n");
        WaitForRunEnd();
        lexedit::TLexEdit &view = *FForm->WebMemo;
        QTRY_COMPARE(view.PaintLock(), 0);
        QCOMPARE(view.Lines()->Count(), 305);
        QCOMPARE(view.Lines()->Get(300), QStringLiteral("<tr><td>300</td></tr>"));
        QCOMPARE(view.Lines()->Get(302), QStringLiteral("mmmmmmmm"));
        QVERIFY(view.TopLine() + view.LinesInWindow() - 1 >= 305); // the end is in view
        QVERIFY(view.TopLine() <= 301);
        const QImage out = PaintEditor(view);
        const auto near = [&](const QImage &AImage, const lexedit::TLexEdit &AEdit, int ALine, int AFirst,
                              int ALast, lexedit::TColor AColour) {
            return NearestTo(AImage, CellsOf(AEdit, ALine, AFirst, ALast), ToQColor(AColour));
        };
        // Line 301 "<tr><td>300</td></tr>": the tag names are keys, the symbols and the text have
        // their colours; line 303 lies inside the comment.
        QVERIFY(near(out, view, 301, 2, 3, Rgb(128, 64, 0)) <= kInkTolerance);
        QVERIFY(near(out, view, 301, 1, 1, Rgb(0, 64, 128)) <= kInkTolerance);
        QVERIFY(near(out, view, 301, 9, 11, Rgb(30, 30, 30)) <= kInkTolerance);
        QVERIFY(near(out, view, 303, 1, 8, Rgb(0, 128, 128)) <= kInkTolerance);
        QVERIFY(near(out, view, 303, 1, 8, Rgb(30, 30, 30)) > kInkTolerance);
        QVERIFY(near(out, view, 305, 2, 2, Rgb(128, 64, 0)) <= kInkTolerance); // after the comment

        // The script view: "echo" on line 2 is a key word, "300" on line 3 a number.
        FForm->PageControl->setCurrentIndex(0);
        QTRY_VERIFY(FForm->PHPmemo->isVisible());
        lexedit::TLexEdit &script = *FForm->PHPmemo;
        const QImage code = PaintEditor(script);
        QVERIFY(near(code, script, 2, 1, 4, Rgb(128, 0, 128)) <= kInkTolerance);
        QVERIFY(near(code, script, 3, 21, 23, Rgb(235, 183, 5)) <= kInkTolerance);
        QVERIFY(FErrors.isEmpty());
    }

    // Like a terminal: while output comes in, the result view follows it when the end it showed
    // is in view, and stays where the user scrolled otherwise; scrolling back to the end (also
    // while a batch is still open) follows again.
    void resultViewFollowsTheOutputWhileItsEndIsInView() {
        FForm->PageControl->setCurrentIndex(1);
        lexedit::TLexEdit &view = *FForm->WebMemo;
        QTRY_VERIFY(view.isVisible());
        const int rows = view.LinesInWindow();
        QVERIFY(rows >= 3);
        int next = 0;
        const auto batch = [&](int ACount) {
            for (int i = 0; i < ACount; ++i)
                FForm->ConsoleCommandNewLine(FForm->ConsoleCommand, QStringLiteral("<td>%1</td>").arg(++next),
                                             runner::otEntireLine);
        };
        const auto settled = [&] { return QTest::qWaitFor([&] { return view.PaintLock() == 0; }, 5000); };
        const auto scroll = [&](QAbstractSlider::SliderAction AAction) {
            view.verticalScrollBar()->triggerAction(AAction);
        };
        const auto atEnd = [&] { return view.TopLine() == std::max(1, view.Lines()->Count() - rows + 1); };

        batch(200); // into the empty view: it follows
        QVERIFY(settled());
        QVERIFY(atEnd());
        batch(1); // one more line: the view moves by a row
        QVERIFY(settled());
        QVERIFY(atEnd());

        scroll(QAbstractSlider::SliderPageStepSub); // the user looks back
        const int top = view.TopLine();
        QVERIFY(top < view.Lines()->Count() - rows + 1);
        batch(100);
        QVERIFY(settled());
        QCOMPARE(view.TopLine(), top);

        scroll(QAbstractSlider::SliderToMaximum); // back at the end: following again
        QCOMPARE(view.TopLine(), view.Lines()->Count() - rows + 1);
        batch(50);
        QVERIFY(settled());
        QVERIFY(atEnd());

        batch(30); // the user scrolls up while the batch is still open: the view stays
        QVERIFY(view.PaintLock() > 0);
        scroll(QAbstractSlider::SliderToMinimum);
        QVERIFY(settled());
        QCOMPARE(view.TopLine(), 1);

        batch(30); // and down to the end it could see while a batch is open: it follows
        QVERIFY(view.PaintLock() > 0);
        scroll(QAbstractSlider::SliderToMaximum);
        QVERIFY(settled());
        QVERIFY(atEnd());
        QCOMPARE(view.Lines()->Count(), next);
    }

    // A selection in the result view (made backwards here: the caret at its start) stays while
    // output is added, so it can be copied or extended during a run.
    void selectionInTheResultViewStaysWhileOutputComes() {
        FForm->PageControl->setCurrentIndex(1);
        lexedit::TLexEdit &view = *FForm->WebMemo;
        QTRY_VERIFY(view.isVisible());
        int next = 0;
        const auto batch = [&](int ACount) {
            for (int i = 0; i < ACount; ++i)
                FForm->ConsoleCommandNewLine(FForm->ConsoleCommand, QStringLiteral("<td>%1</td>").arg(++next),
                                             runner::otEntireLine);
            return QTest::qWaitFor([&] { return view.PaintLock() == 0; }, 5000);
        };
        QVERIFY(batch(20));
        view.SetCaretAndSelection(lexedit::BufferCoord(3, 4), lexedit::BufferCoord(5, 7),
                                  lexedit::BufferCoord(3, 4));
        const QString selected = view.SelText();
        QCOMPARE(selected, QStringLiteral("d>4</td>\r\n<td>5</td>\r\n<td>6</td>\r\n<td>"));
        QVERIFY(batch(100));
        QCOMPARE(view.SelText(), selected);
        QCOMPARE(view.CaretXY(), lexedit::BufferCoord(3, 4));
        // Extending it after the output: from the anchor it had.
        view.CommandProcessor(lexedit::ecSelUp, QChar(), nullptr);
        QCOMPARE(view.BlockBegin(), lexedit::BufferCoord(3, 3));
        QCOMPARE(view.BlockEnd(), lexedit::BufferCoord(5, 7));
        // Without a selection nothing is selected by the output.
        view.SetBlockBegin(view.CaretXY());
        QVERIFY(batch(10));
        QVERIFY(!view.SelAvail());
    }

    // While a script prints as fast as it can and the window cannot keep up (a handler that takes
    // at least 10 us a line: output is always waiting), the event loop keeps turning: a tab
    // switch posted and a 1 ms timer started in the middle of a delivery are served before 5,000
    // more lines have been delivered. (Each line takes at least 10 us, so the bound holds on a
    // machine of any speed while it still catches a delivery that does not give way.)
    void windowStaysResponsiveDuringAFlood() {
        constexpr qint64 kBound = 5000;
        qint64 lines = 0;
        qint64 worst = 0;
        int served = 0;
        int target = 1;
        qint64 nextPost = 5000;
        const runner::TNewLineEvent handler = FForm->ConsoleCommand->OnNewLine();
        FForm->ConsoleCommand->SetOnNewLine(
            [&, handler](QObject *ASender, const QString &ALine, runner::TOutputType AType) {
                handler(ASender, ALine, AType);
                ++lines;
                if (lines == nextPost) {
                    const qint64 posted = lines;
                    const auto serve = [&, posted] {
                        worst = std::max(worst, lines - posted);
                        ++served;
                        if (served < 10) nextPost = lines + 5000;
                    };
                    if (served % 2 == 0) {
                        QMetaObject::invokeMethod(
                            FForm->PageControl,
                            [&, serve] {
                                FForm->PageControl->setCurrentIndex(target);
                                target = 1 - target;
                                serve();
                            },
                            Qt::QueuedConnection);
                    } else {
                        QTimer::singleShot(1, FForm.get(), serve);
                    }
                }
                QElapsedTimer spin;
                spin.start();
                while (spin.nsecsElapsed() < 10000) {
                }
            });
        StartScript(QStringLiteral("flood.php"),
                    "<?php for ($i = 0; ; $i++) echo \"<tr><td>$i</td></tr>\\n\";\n");
        QTRY_VERIFY_WITH_TIMEOUT(served >= 10, 60000);
        QVERIFY(FForm->ConsoleCommand->Undelivered() > 0); // the window is behind
        QVERIFY2(worst <= kBound, qPrintable(QString::number(worst)));
        QCOMPARE(FForm->PageControl->currentIndex(), 1); // five switches: there, back, ..., there
        FForm->StopRunAction->trigger();
        WaitForRunEnd();
        QCOMPARE(qint64(FForm->WebMemo->Lines()->Count()), lines);
    }

    void windowGeometryFollowsTheLayout() {
        TControlPanelForm &f = *FForm;
        QCOMPARE(f.minimumSize(), QSize(804, 481));
        QCOMPARE(f.size(), QSize(804, 481));
        const int lefts[] = {4, 58, 112, 166};
        const QToolButton *buttons[] = {f.SpeedButton1, f.SpeedButton2, f.PHPFileButton, f.SaveButton};
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(buttons[i]->geometry(), QRect(lefts[i], 4, 48, 73));
        }
        QCOMPARE(f.ControlPanel->geometry(), QRect(0, 0, 804, 81));
        QCOMPARE(f.Panel2->geometry(), QRect(0, 91, 804, 24));
        QCOMPARE(f.StatusPanel->geometry(), QRect(0, 462, 804, 19));
        QCOMPARE(f.Panel1->geometry(), QRect(0, 125, 804, 327));
        QCOMPARE(f.PageControl->height(), 179);
        QCOMPARE(f.WB->height(), 327 - 179 - 5);
    }

    void windowOpensCentredOnTheScreen() {
        const QRect screen = FForm->screen()->availableGeometry();
        const QPoint offset = FForm->geometry().center() - screen.center();
        // A window manager's frame may shift the client area by its border.
        QVERIFY2(std::abs(offset.x()) <= 12 && std::abs(offset.y()) <= 40,
                 qPrintable(QStringLiteral("%1,%2").arg(offset.x()).arg(offset.y())));
    }

    void resizingGrowsOnlyTheBrowser() {
        TControlPanelForm &f = *FForm;
        const int pages = f.PageControl->height();
        const int browser = f.WB->height();
        f.resize(900, 681);
        QTRY_COMPARE(f.height(), 681);
        QTRY_COMPARE(f.WB->height(), browser + 200);
        QCOMPARE(f.PageControl->height(), pages);
        QCOMPARE(f.ControlPanel->height(), 81);
        QCOMPARE(f.Panel2->height(), 24);
        QCOMPARE(f.StatusPanel->height(), 19);
        // The window cannot be made smaller than its minimum.
        f.resize(300, 200);
        QTRY_VERIFY(f.width() >= 804 && f.height() >= 481);
    }

    void splitterKeepsThePagesAtLeast150High() {
        TControlPanelForm &f = *FForm;
        f.HSplitter->setSizes({1000, 1});
        QTRY_COMPARE(f.PageControl->height(), 150);
        QCOMPARE(f.HSplitter->handleWidth(), 5);
    }

    // Without an interpreter anywhere the script still loads, and a sentence says what is missing.
    void scriptWithoutAnInterpreterLoadsAndSaysWhatIsMissing() {
        QCOMPARE(FForm->RunStatusLabel->text(),
                 QStringLiteral("No PHP interpreter found. Choose one with the PHP button."));
        FDialogs->OpenAnswers = {WriteScript(QStringLiteral("early.php"), "<?php echo 1;\n")};
        FForm->OpenScriptAction->trigger();
        QCOMPARE(FForm->PHPmemo->Lines()->Get(0), QStringLiteral("<?php echo 1;"));
        QCOMPARE(FForm->RunStatusLabel->text(),
                 QStringLiteral("No PHP interpreter found. Choose one with the PHP button."));
        QVERIFY(!FForm->ConsoleCommand->IsRunning());
        QVERIFY(FForm->ConsoleCommand->CommandLine().isEmpty());
    }

    // A window started with php on PATH (as the menu entry starts it) names it and runs a script
    // given to it; the PHP button's choice is remembered for the next start.
    void phpOnPathRunsAScriptGivenAtStart() {
        std::unique_ptr<TControlPanelForm> form;
        TScriptedDialogs *dialogs = nullptr;
        QVERIFY(ShowNewForm(form, dialogs));
        QCOMPARE(form->Interpreter(), Php());
        QCOMPARE(form->RunStatusLabel->text(), QStringLiteral("Using php from PATH: ") + Php());
        form->OpenScript(WriteScript(QStringLiteral("given.php"), "<?php echo PHP_OS_FAMILY;\n"));
        QTRY_VERIFY_WITH_TIMEOUT(!form->ConsoleCommand->IsRunning(), 20000);
        QCOMPARE(form->WebMemo->Text(), QStringLiteral("Linux"));
        const QString chosen = FDir.filePath(QStringLiteral("php-link"));
        QVERIFY(QFile::link(Php(), chosen));
        dialogs->OpenAnswers = {chosen};
        form->SelectPHPFolderAction->trigger();
        form.reset();
        TScopedEnv noPhp("PATH", PathWithoutPhp());
        TControlPanelForm again;
        again.show();
        QCOMPARE(again.Interpreter(), chosen);
    }

    void cancelledInterpreterDialogChangesNothing() {
        FDialogs->OpenAnswers = {QString()};
        FForm->SelectPHPFolderAction->trigger();
        QCOMPARE(FDialogs->OpenFilterIndexes, QList<int>{1});
        QVERIFY(FForm->PhpFolder().isEmpty() && FForm->Commands().isEmpty());
        QCOMPARE(FForm->ControlLabel->text(), QStringLiteral(">"));
    }

    // Output streams into the result view while the script runs, decoded as UTF-8. A second
    // script took its place beside the first on the command line, which ran the first; now it
    // replaces it. A cancelled script dialog runs the script shown again.
    void secondScriptReplacesTheFirstOnTheCommandLine() {
        const QString php = Php();
        const QString a =
            WriteScript(QStringLiteral("a.php"),
                        "<?php\necho \"<h1>Title</h1>\\n\";\necho \"caf\xC3\xA9\\r\\n\";\necho \"end\";\n");
        const QString b = WriteScript(QStringLiteral("b.php"), "<?php echo 'b', $argv[1] ?? '';\n");
        FDialogs->OpenAnswers = {php, a};
        FForm->SelectPHPFolderAction->trigger();
        QCOMPARE(FForm->PhpFolder(), php.left(php.lastIndexOf(QLatin1Char('/')) + 1));
        QCOMPARE(FForm->Commands(), php);
        QCOMPARE(FForm->ControlLabel->text(), php);

        FForm->OpenScriptAction->trigger();
        QCOMPARE(FDialogs->OpenFilterIndexes, QList<int>({1, 2}));
        QCOMPARE(FForm->PhpScript(), a);
        QCOMPARE(FForm->ConsoleCommand->CommandLine(), php + QLatin1Char(' ') + a + QLatin1Char(' '));
        QCOMPARE(FForm->ControlLabel->text(), php + QLatin1Char(' ') + a);
        QVERIFY(FForm->PHPmemo->Text().startsWith(QStringLiteral("<?php\r\necho")));
        WaitForRunEnd();
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("<h1>Title</h1>\r\ncaf\u00E9\r\nend"));
        QVERIFY(FErrors.isEmpty());

        FForm->ParamsEdit->setText(QStringLiteral("x=1"));
        FDialogs->OpenAnswers = {b};
        FForm->OpenScriptAction->trigger();
        QCOMPARE(FForm->ConsoleCommand->CommandLine(), php + QLatin1Char(' ') + b + QStringLiteral(" x=1"));
        WaitForRunEnd();
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("bx=1"));

        FForm->ParamsEdit->setText(QString());
        FDialogs->OpenAnswers = {QString()};
        FForm->OpenScriptAction->trigger();
        QCOMPARE(FForm->PhpScript(), b);
        WaitForRunEnd();
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("b"));
    }

    // The script ran in the interpreter's folder: a relative file next to it was not found, and
    // a relative write landed in /usr/bin. It runs in its own folder, named in the tool tip.
    void scriptRunsInItsOwnFolder() {
        QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("project")));
        QFile data(FDir.filePath(QStringLiteral("project/data.txt")));
        QVERIFY(data.open(QIODevice::WriteOnly) && data.write("next to me") > 0);
        data.close();
        FDialogs->OpenAnswers = {Php(), WriteScript(QStringLiteral("project/rel.php"),
                                                    "<?php echo file_get_contents('data.txt');"
                                                    " file_put_contents('out.txt', 'written');\n")};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        WaitForRunEnd();
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("next to me"));
        QVERIFY(QFile::exists(FDir.filePath(QStringLiteral("project/out.txt"))));
        QVERIFY(FForm->ControlLabel->toolTip().endsWith(QStringLiteral("Runs in ") +
                                                        FDir.filePath(QStringLiteral("project"))));
    }

    void pathsWithBlanksReachTheInterpreterAsOneArgument() {
        const QString php = Php();
        QVERIFY(QDir(FDir.path()).mkpath(QStringLiteral("my scripts")));
        const QString script = WriteScript(QStringLiteral("my scripts/say \"hi\".php"),
                                           "<?php echo basename(__FILE__), \"|\", $argv[1] ?? '-';\n");
        FDialogs->OpenAnswers = {php, script};
        FForm->ParamsEdit->setText(QStringLiteral("p1"));
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        WaitForRunEnd();
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("say \"hi\".php|p1"));
    }

    void secondScriptWhileRunningIsRefusedBeforeAnythingChanges() {
        const QString php = Php();
        const QString slow = WriteScript(QStringLiteral("slow.php"),
                                         "<?php echo \"first\\n\"; flush(); sleep(3); echo \"last\\n\";\n");
        FDialogs->OpenAnswers = {php, slow};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("first"), 10000);
        const QString commands = FForm->Commands();
        FForm->OpenScriptAction->trigger(); // no answer queued: the dialog must not be shown
        QCOMPARE(FErrors.size(), 1);
        QCOMPARE(FErrors[0].ClassName, QStringLiteral("EConsoleCommand"));
        QCOMPARE(FErrors[0].Message, QStringLiteral("ConsoleCommand still running"));
        QCOMPARE(FForm->Commands(), commands);
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("first"));
        WaitForRunEnd();
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("first\r\nlast"));
    }

    void closingTheWindowDuringARunEndsTheChild() {
        const QString php = Php();
        const QString slow =
            WriteScript(QStringLiteral("forever.php"), "<?php echo \"started\\n\"; flush(); sleep(60);\n");
        FDialogs->OpenAnswers = {php, slow};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(FForm->WebMemo->Text(), QStringLiteral("started"), 10000);
        const qint64 pid = FForm->ConsoleCommand->ProcessInformation().dwProcessId;
        QVERIFY(pid > 0);
        QVERIFY(QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)));
        QElapsedTimer timer;
        timer.start();
        FForm->close();
        FForm.reset();
        QVERIFY(timer.elapsed() < 5000);
        QVERIFY(!QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)));
        // A fresh window for cleanup().
        FForm = std::make_unique<TControlPanelForm>();
        auto dialogs = std::make_unique<TScriptedDialogs>();
        FDialogs = dialogs.get();
        FForm->SetDialogs(std::move(dialogs));
    }

    // Chooses the interpreter and runs AScript at once.
    void StartScript(const QString &AName, const QByteArray &ASource) {
        FForm->activateWindow(); // the window's shortcuts need it active
        QVERIFY(QTest::qWaitForWindowActive(FForm.get()));
        FDialogs->OpenAnswers = {Php(), WriteScript(AName, ASource)};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
    }

    void stopButtonEndsAHangingRun() {
        QVERIFY(!FForm->StopButton->isEnabled());
        QCOMPARE(FForm->StopButton->text(), QStringLiteral("Stop"));
        QCOMPARE(FForm->StopButton->size(), FForm->SaveButton->size());
        QVERIFY(!FForm->StopButton->icon().pixmap(48, 48).isNull());
        // The child ignores SIGTERM and leaves a grandchild holding the output pipe.
        StartScript(QStringLiteral("hang.php"),
                    "<?php if (function_exists('pcntl_signal')) pcntl_signal(SIGTERM, SIG_IGN);\n"
                    "echo \"started\\n\"; flush(); system('sleep 60 &'); sleep(60);\n");
        QTRY_VERIFY_WITH_TIMEOUT(FForm->WebMemo->Lines()->Count() >= 1, 10000);
        QVERIFY(FForm->StopButton->isEnabled());
        QVERIFY(FForm->RunStatusLabel->text().startsWith(QStringLiteral("running: ")));
        const qint64 pid = FForm->ConsoleCommand->ProcessInformation().dwProcessId;
        QElapsedTimer t;
        t.start();
        QTest::mouseClick(FForm->StopButton, Qt::LeftButton);
        FForm->StopButton->click(); // a second press while stopping: nothing more happens
        QTRY_VERIFY_WITH_TIMEOUT(!FForm->ConsoleCommand->IsRunning(), 5000);
        QVERIFY2(t.elapsed() < 1500, qPrintable(QString::number(t.elapsed())));
        QVERIFY2(FForm->RunStatusLabel->text().startsWith(QStringLiteral("stopped \u2014 ")),
                 qPrintable(FForm->RunStatusLabel->text()));
        QVERIFY(FForm->RunStatusLabel->text().endsWith(QStringLiteral(", 1 line")));
        QVERIFY(!FForm->StopButton->isEnabled());
        FForm->StopRunAction->trigger(); // right after the end: nothing happens
        QVERIFY(
            QTest::qWaitFor([&] { return !QFileInfo::exists(QStringLiteral("/proc/%1").arg(pid)); }, 2000));
        QVERIFY(FErrors.isEmpty());
    }

    void statusTellsHowTheRunEnded_data() {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QString>("status");
        QTest::addColumn<bool>("warning");
        QTest::newRow("exit 0") << QByteArray("<?php echo 'a';\n") << "exit code 0 \u2014 " << false;
        QTest::newRow("exit 3") << QByteArray("<?php echo \"a\\nb\\n\"; exit(3);\n") << "exit code 3 \u2014 "
                                << true;
        QTest::newRow("killed by signal 9")
            << QByteArray("<?php echo \"a\\n\"; flush(); exec('kill -9 ' . getmypid());\n")
            << "killed by signal 9 (SIGKILL) \u2014 " << true;
    }
    void statusTellsHowTheRunEnded() {
        QFETCH(QByteArray, source);
        QFETCH(QString, status);
        QFETCH(bool, warning);
        StartScript(QStringLiteral("ends.php"), source);
        WaitForRunEnd();
        const QString text = FForm->RunStatusLabel->text();
        QVERIFY2(text.startsWith(status), qPrintable(text));
        QVERIFY2(text.contains(QStringLiteral(" s, CPU ")) && text.contains(QStringLiteral(" MB peak, ")),
                 qPrintable(text));
        QVERIFY2(text.endsWith(QStringLiteral(", %1 %2")
                                   .arg(FForm->WebMemo->Lines()->Count())
                                   .arg(FForm->WebMemo->Lines()->Count() == 1 ? QStringLiteral("line")
                                                                              : QStringLiteral("lines"))),
                 qPrintable(text));
        // And it is painted so: some pixel of the text is clearly red only for a warning.
        const QImage painted = FForm->RunStatusLabel->grab().toImage();
        bool red = false;
        for (int y = 0; y < painted.height() && !red; ++y)
            for (int x = 0; x < painted.width() && !red; ++x) {
                const QColor c = painted.pixelColor(x, y);
                red = c.red() > c.green() + 60 && c.red() > c.blue() + 60;
            }
        QCOMPARE(red, warning);
    }

    void f5RunsTheCommandAgain() {
        const QString counter = FDir.filePath(QStringLiteral("runs.txt"));
        QFile::remove(counter);
        FForm->ParamsEdit->setText(counter);
        StartScript(QStringLiteral("count.php"), "<?php file_put_contents($argv[1], 'x', FILE_APPEND);\n"
                                                 "echo \"run\\n\"; usleep(300000);\n");
        QTest::keyClick(FForm.get(), Qt::Key_F5); // during the run: ignored, no second child
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        WaitForRunEnd();
        QTest::keyClick(FForm.get(), Qt::Key_F5);
        QVERIFY(FForm->ConsoleCommand->IsRunning());
        WaitForRunEnd();
        QFile file(counter);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("xx"));
        QCOMPARE(FForm->WebMemo->Text(), QStringLiteral("run"));
        QVERIFY(FErrors.isEmpty());
    }

    void escDuringAFloodKeepsEveryDeliveredLine() {
        StartScript(QStringLiteral("flood.php"),
                    "<?php for ($i = 0; ; $i++) echo \"<tr><td>$i</td></tr>\\n\";\n");
        QTRY_VERIFY_WITH_TIMEOUT(FForm->WebMemo->Lines()->Count() >= 20000, 20000);
        const int seen = FForm->WebMemo->Lines()->Count();
        QTest::keyClick(FForm.get(), Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!FForm->ConsoleCommand->IsRunning(), 5000);
        const int kept = FForm->WebMemo->Lines()->Count();
        QVERIFY(kept >= seen);
        for (int i = 0; i < kept; ++i)
            if (FForm->WebMemo->Lines()->Get(i) != QStringLiteral("<tr><td>%1</td></tr>").arg(i))
                QFAIL(qPrintable(QStringLiteral("line %1: %2").arg(i).arg(FForm->WebMemo->Lines()->Get(i))));
        QVERIFY(FForm->RunStatusLabel->text().startsWith(QStringLiteral("stopped")));
    }

    void unreadableScriptChangesNothing() {
        const QString php = Php();
        FDialogs->OpenAnswers = {php, FDir.filePath(QStringLiteral("missing.php"))};
        FForm->SelectPHPFolderAction->trigger();
        FForm->PHPmemo->Lines()->Add(QStringLiteral("old text"));
        FForm->OpenScriptAction->trigger();
        QCOMPARE(FErrors.size(), 1);
        QVERIFY(FErrors[0].Message.contains(QStringLiteral("missing.php")));
        QCOMPARE(FForm->Commands(), php);
        QVERIFY(FForm->PhpScript().isEmpty());
        QCOMPARE(FForm->ControlLabel->text(), php);
        QCOMPARE(FForm->PHPmemo->Text(), QStringLiteral("old text"));
        QVERIFY(!FForm->ConsoleCommand->IsRunning());
        QVERIFY(FForm->ConsoleCommand->CommandLine().isEmpty());
    }

    void missingInterpreterGivesAClearError() {
        const QString script = WriteScript(QStringLiteral("c.php"), "<?php echo 1;\n");
        const QString missing = FDir.filePath(QStringLiteral("no-such-php"));
        FDialogs->OpenAnswers = {missing, script};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        WaitForRunEnd();
        QCOMPARE(FErrors.size(), 1);
        QCOMPARE(FErrors[0].ClassName, QStringLiteral("ECreateProcessError"));
        QVERIFY2(FErrors[0].Message.startsWith(QStringLiteral("Error creating Process: ") + missing +
                                               QLatin1Char(' ') + script),
                 qPrintable(FErrors[0].Message));
        QCOMPARE(FForm->WebMemo->Text(), QString());
    }

    // The status line tells a run that could not start (its error is of the runner's start
    // failures, told apart by type) from one that failed later.
    void missingInterpreterShowsThatTheRunCouldNotStart() {
        const QString script = WriteScript(QStringLiteral("s.php"), "<?php echo 1;\n");
        FDialogs->OpenAnswers = {FDir.filePath(QStringLiteral("no-such-php")), script};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        WaitForRunEnd();
        QCOMPARE(FErrors.size(), 1);
        QVERIFY2(FForm->RunStatusLabel->text().contains(QStringLiteral("could not start: ")),
                 qPrintable(FForm->RunStatusLabel->text()));
        // It counted the time the error box stood open as run time, and cut the command label
        // after a few characters: no time now, and a long label loses its middle.
        QVERIFY2(!FForm->RunStatusLabel->text().contains(QStringLiteral(" s, ")),
                 qPrintable(FForm->RunStatusLabel->text()));
        const auto *label = static_cast<TElidedLabel *>(FForm->ControlLabel);
        const QString shown = label->ShownText(200);
        QVERIFY2(shown.startsWith(FDir.path().left(4)) && shown.endsWith(QStringLiteral("s.php")) &&
                     shown.contains(QChar(0x2026)),
                 qPrintable(shown));
    }

    void executeRendersTheResultAsAPage() {
        FForm->WebMemo->Lines()->Add(QStringLiteral("<html><body><h1>Hello</h1>"));
        FForm->WebMemo->Lines()->Add(QStringLiteral("<p>caf\u00E9 \u20AC</p></body></html>"));
        QVERIFY(ExecuteAndWaitForPage());
        QCOMPARE(PagePlainText().trimmed(), QStringLiteral("Hello\n\ncaf\u00E9 \u20AC"));
        // Executing again replaces the page.
        FForm->WebMemo->Lines()->Clear();
        FForm->WebMemo->Lines()->Add(QStringLiteral("second"));
        QVERIFY(ExecuteAndWaitForPage());
        QCOMPARE(PagePlainText().trimmed(), QStringLiteral("second"));
    }

    void largeResultsRenderWhole() {
        QString text;
        const QString line = QStringLiteral("<p>") + QString(96, QLatin1Char('x')) + QStringLiteral("</p>");
        text.reserve(10 * 1024 * 1024 + 200);
        int count = 0;
        while (text.size() < 10 * 1024 * 1024) {
            text += line;
            ++count;
        }
        text += QStringLiteral("<p id=\"last\">the end</p>");
        FForm->WB->SetRenderLimit(text.size() + 1); // past setHtml's 2 MB, within the pane's limit
        QSignalSpy loaded(FForm->WB, &QWebEngineView::loadFinished);
        FForm->WB->WriteDocument(text);
        QVERIFY(loaded.wait(60000));
        QCOMPARE(RunJavaScript(QStringLiteral("document.getElementsByTagName('p').length")).toInt(),
                 count + 1);
        QCOMPARE(RunJavaScript(QStringLiteral("document.getElementById('last').textContent")).toString(),
                 QStringLiteral("the end"));
    }

    // Opens a script printing ASource's output with the php on the PATH and waits for its end.
    void RunScript(const QByteArray &ASource) {
        FDialogs->OpenAnswers = {Php(), WriteScript(QStringLiteral("page.php"), ASource)};
        FForm->SelectPHPFolderAction->trigger();
        FForm->OpenScriptAction->trigger();
        WaitForRunEnd();
    }

    // Regression: when the renderer ended (out of memory on a large page), the pane went blank
    // without a word.
    void endedRendererIsReportedAndExecuteRendersAgain() {
        RunScript("<?php echo \"<p>rendered once</p>\\n\";\n");
        QVERIFY(ExecuteAndWaitForPage());
        QVERIFY(PagePlainText().contains(QStringLiteral("rendered once")));
        const qint64 renderer = FForm->WB->page()->renderProcessPid();
        QVERIFY(renderer > 0);
        QSignalSpy loaded(FForm->WB, &QWebEngineView::loadFinished); // the sentence's page
        QCOMPARE(
            QProcess::execute(QStringLiteral("kill"), {QStringLiteral("-KILL"), QString::number(renderer)}),
            0);
        QVERIFY(loaded.wait(30000));
        QTRY_VERIFY_WITH_TIMEOUT(PagePlainText().contains(TResultBrowser::RendererEndedText()), 20000);
        // The notice's own load may finish after Execute began: wait for the page, not a load.
        FForm->ExecuteScriptAction->trigger();
        QTRY_COMPARE_WITH_TIMEOUT(PagePlainText().trimmed(), QStringLiteral("rendered once"), 30000);
    }

    // A result past the limit renders whole lines up to it and counts the lines left out, also
    // when the cut falls inside a comment.
    void largeResultRendersItsFirstPart() {
        QCOMPARE(FForm->WB->RenderLimit(), 1024 * 1024);
        FForm->WB->SetRenderLimit(1000);
        RunScript("<?php echo \"<p>first</p>\\n<!-- open\\n\";\nfor ($i = 1; $i <= 300; ++$i) echo \"line "
                  "$i\\n\";\n");
        QVERIFY(ExecuteAndWaitForPage());
        const QString text = PagePlainText();
        QVERIFY2(text.startsWith(QStringLiteral("first")), qPrintable(text));
        const QRegularExpressionMatch note =
            QRegularExpression(
                QStringLiteral("(\\d+) more lines are left out here \\([\\d.]+ kB\\): the page "
                               "renders the first 1,000 bytes"))
                .match(text);
        QVERIFY2(note.hasMatch(), qPrintable(text));
        const QByteArray all = FForm->ResultText().toUtf8();
        const int kept = all.left(all.lastIndexOf('\n', 1000)).count('\n') + 1;
        QCOMPARE(note.captured(1).toInt(), all.count('\n') + 1 - kept);
        QVERIFY(kept > 50 && kept < 302);
    }

    void pageCannotReadLocalFiles() {
        const QString secret = WriteScript(QStringLiteral("secret.txt"), "top secret");
        FForm->WebMemo->Lines()->Add(
            QStringLiteral("<html><body><script>"
                           "var r = 'blocked';"
                           "try { var x = new XMLHttpRequest(); x.open('GET', 'file://%1', false); x.send();"
                           "      if (x.responseText.length > 0) r = 'read'; } catch (e) {}"
                           "document.title = r;</script></body></html>")
                .arg(secret));
        QVERIFY(ExecuteAndWaitForPage());
        QTRY_COMPARE_WITH_TIMEOUT(FForm->WB->title(), QStringLiteral("blocked"), 10000);
    }

    void saveWritesUtf8WithCrLf() {
        FForm->WebMemo->Lines()->Add(QStringLiteral("<p>caf\u00E9</p>"));
        FForm->WebMemo->Lines()->Add(QStringLiteral("two"));
        const QString target = FDir.filePath(QStringLiteral("TestResults.html"));
        FDialogs->SaveAnswers = {target, QString()};
        FForm->SaveResultsAction->trigger();
        QFile file(target);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), QByteArray("<p>caf\xC3\xA9</p>\r\ntwo"));
        file.close();
        // Cancelling writes nothing.
        QFile::remove(target);
        FForm->SaveResultsAction->trigger();
        QVERIFY(!QFile::exists(target));
        QVERIFY(FErrors.isEmpty());
    }
};

int main(int argc, char **argv) {
    TResultBrowser::PrepareEngine();
    QApplication application(argc, argv);
    TestControlPanel test;
    return QTest::qExec(&test, argc, argv);
}
#include "tst_controlpanel.moc"
