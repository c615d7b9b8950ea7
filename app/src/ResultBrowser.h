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
    // Registers the private scheme; must run before the application object is created.
    static void RegisterScheme();

    explicit TResultBrowser(QWidget *AParent = nullptr);
    ~TResultBrowser() override;

    // Replaces the page with AText as a new HTML document.
    void WriteDocument(const QString &AText);
    // The URL of the document last written.
    QUrl DocumentUrl() const;

private:
    QWebEngineProfile *FProfile;           // owned (child object)
    TResultSchemeHandler *FSchemeHandler;  // owned (child object)
    TLocalFileBlocker *FBlocker;           // owned (child object)
    quint64 FDocumentNumber = 0;
};

} // namespace app
