#include "ResultBrowser.h"

#include <QBuffer>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace app {

namespace {
const QByteArray kScheme = QByteArrayLiteral("checkphp-result");
}

// Serves the current result document for every request of the private scheme.
class TResultSchemeHandler : public QWebEngineUrlSchemeHandler {
public:
    using QWebEngineUrlSchemeHandler::QWebEngineUrlSchemeHandler;
    QByteArray FDocument;

    void requestStarted(QWebEngineUrlRequestJob *AJob) override {
        auto *buffer = new QBuffer(AJob);
        buffer->setData(FDocument);
        buffer->open(QIODevice::ReadOnly);
        AJob->reply(QByteArrayLiteral("text/html;charset=utf-8"), buffer);
    }
};

// Blocks every request for local files, whatever the page asks for.
class TLocalFileBlocker : public QWebEngineUrlRequestInterceptor {
public:
    using QWebEngineUrlRequestInterceptor::QWebEngineUrlRequestInterceptor;
    void interceptRequest(QWebEngineUrlRequestInfo &AInfo) override {
        const QString scheme = AInfo.requestUrl().scheme();
        if (scheme == QLatin1String("file") || scheme == QLatin1String("qrc"))
            AInfo.block(true);
    }
};

void TResultBrowser::RegisterScheme() {
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

TResultBrowser::TResultBrowser(QWidget *AParent)
    : QWebEngineView(AParent), FProfile(new QWebEngineProfile(this)),
      FSchemeHandler(new TResultSchemeHandler(this)), FBlocker(new TLocalFileBlocker(this)) {
    FProfile->installUrlSchemeHandler(kScheme, FSchemeHandler);
    FProfile->setUrlRequestInterceptor(FBlocker);
    FProfile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    FProfile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    setPage(new QWebEnginePage(FProfile, this));
}

TResultBrowser::~TResultBrowser() {
    // The page refers to the profile: release it first.
    setPage(nullptr);
}

void TResultBrowser::WriteDocument(const QString &AText) {
    FSchemeHandler->FDocument = AText.toUtf8();
    ++FDocumentNumber;
    load(DocumentUrl());
}

QUrl TResultBrowser::DocumentUrl() const {
    return QUrl(QString::fromLatin1(kScheme) + QStringLiteral(":/result/") + QString::number(FDocumentNumber));
}

} // namespace app
