#pragma once
// The browser pane that renders the result text as a page.
//
// The whole text is served as one HTML document (UTF-8) through a private URL scheme, so that
// documents of any size load (setHtml stops at 2 MB). The pane uses its own off-the-record
// profile whose pages cannot reach local files: every request for a file: or qrc: URL is blocked.

#include <QByteArray>
#include <QString>
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

    // Replaces the page with AText as a new HTML document.
    void WriteDocument(const QString &AText);
    // The short neutral page shown until the first document is written.
    void ShowPlaceholder();
    static QString PlaceholderText();
    // The URL of the document last written.
    QUrl DocumentUrl() const;

private:
    QWebEngineProfile *FProfile;          // owned by the page
    TResultSchemeHandler *FSchemeHandler; // owned by the profile
    TLocalFileBlocker *FBlocker;          // owned by the profile
    quint64 FDocumentNumber = 0;
};

} // namespace app
