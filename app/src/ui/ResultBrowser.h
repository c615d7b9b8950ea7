// SPDX-License-Identifier: MIT
#pragma once
// The browser pane that renders the result text as a page.
//
// The whole text is served as one HTML document (UTF-8) through a private URL scheme, so that
// documents of any size load (setHtml stops at 2 MB). The pane uses its own off-the-record
// profile whose pages cannot reach local files: every request for a file: or qrc: URL is blocked.
// A result larger than RenderLimit() is rendered up to a line end before it, with a line at its
// end saying how much was left out: a page of many megabytes takes the renderer long, or past
// its memory. When the renderer ends abnormally (out of memory, crashed, killed), the pane says so
// in a sentence; the next document starts a new renderer.

#include <QByteArray>
#include <QString>
#include <QWebEnginePage>
#include <QWebEngineView>

class QWebEngineProfile;

namespace app {

class TResultSchemeHandler;
class TLocalFileBlocker;

class TResultBrowser : public QWebEngineView {
    Q_OBJECT
public:
    // Prepares the browser engine; must run before the application object is created: registers
    // the private scheme, shares OpenGL contexts, and turns the engine's sandbox off when running
    // as root (where it cannot start).
    static void PrepareEngine();

    explicit TResultBrowser(QWidget *AParent = nullptr);
    ~TResultBrowser() override;

    // The UTF-8 size above which a result is rendered in part: 1 MB, which keeps Execute within
    // a few seconds (bench/bench_resultpage: some 2.5 s a megabyte on a busy 2-core machine).
    static constexpr qsizetype kDefaultRenderLimit = 1024 * 1024;

    // Replaces the page with AText as a new HTML document (its first part when it is larger
    // than RenderLimit()).
    void WriteDocument(const QString &AText);
    // The short neutral page shown until the first document is written.
    void ShowPlaceholder();
    static QString PlaceholderText();
    // The same page with another line: NoInterpreterHint() when no interpreter was found.
    void ShowPlaceholder(const QString &AText);
    // The first start's hint: which keys choose the interpreter and open a script.
    static QString NoInterpreterHint(const QString &AChooseKeys, const QString &AOpenKeys);
    // The sentence shown when the page's renderer ended abnormally.
    static QString RendererEndedText();
    // The URL of the document last written.
    QUrl DocumentUrl() const;
    qsizetype RenderLimit() const { return FRenderLimit; }
    void SetRenderLimit(qsizetype ALimit) { FRenderLimit = ALimit; }

private:
    void RenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus AStatus);
    // A short sentence on a page in the window's own colours.
    void ShowNotice(const QString &AText);

    QWebEngineProfile *FProfile;          // owned by the page
    TResultSchemeHandler *FSchemeHandler; // owned by the profile
    TLocalFileBlocker *FBlocker;          // owned by the profile
    quint64 FDocumentNumber = 0;
    qsizetype FRenderLimit = kDefaultRenderLimit;
    bool FShowsRendererEnded = false; // the notice of an ended renderer is the page shown
};

} // namespace app
