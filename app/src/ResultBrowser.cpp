#include "ResultBrowser.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
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
        if (scheme == QLatin1String("file") || scheme == QLatin1String("qrc")) AInfo.block(true);
    }
};

void TResultBrowser::PrepareEngine() {
    // The owner of /proc/self is the effective user.
    if (QFileInfo(QStringLiteral("/proc/self")).ownerId() == 0 &&
        qEnvironmentVariableIsEmpty("QTWEBENGINE_DISABLE_SANDBOX"))
        qputenv("QTWEBENGINE_DISABLE_SANDBOX", "1");
    QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
    QWebEngineUrlScheme scheme(kScheme);
    scheme.setSyntax(QWebEngineUrlScheme::Syntax::Path);
    scheme.setFlags(QWebEngineUrlScheme::SecureScheme);
    QWebEngineUrlScheme::registerScheme(scheme);
}

TResultBrowser::TResultBrowser(QWidget *AParent)
    : QWebEngineView(AParent), FProfile(new QWebEngineProfile),
      FSchemeHandler(new TResultSchemeHandler(FProfile)), FBlocker(new TLocalFileBlocker(FProfile)) {
    FProfile->installUrlSchemeHandler(kScheme, FSchemeHandler);
    FProfile->setUrlRequestInterceptor(FBlocker);
    FProfile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessFileUrls, false);
    FProfile->settings()->setAttribute(QWebEngineSettings::LocalContentCanAccessRemoteUrls, false);
    // A profile must outlive its pages: the page owns it, so it goes only after the page.
    auto *page = new QWebEnginePage(FProfile, this);
    FProfile->setParent(page);
    setPage(page);
}

TResultBrowser::~TResultBrowser() = default;

void TResultBrowser::WriteDocument(const QString &AText) {
    page()->setBackgroundColor(Qt::white);
    FSchemeHandler->FDocument = AText.toUtf8();
    ++FDocumentNumber;
    load(DocumentUrl());
}

QString TResultBrowser::PlaceholderText() {
    return QStringLiteral("Run a script, then press Execute to see its output rendered here.");
}

void TResultBrowser::ShowPlaceholder() {
    // In the window's own colours, so the pane reads as part of the window, not a blank page.
    const QColor back = palette().color(QPalette::Window);
    const QColor text = palette().color(QPalette::Disabled, QPalette::Text);
    page()->setBackgroundColor(back);
    setHtml(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                           "<body style=\"margin:0;height:100vh;display:flex;align-items:center;"
                           "justify-content:center;font:13px sans-serif;color:%1;background:%2\">"
                           "<p>%3</p></body></html>")
                .arg(text.name(), back.name(), PlaceholderText().toHtmlEscaped()));
}

QUrl TResultBrowser::DocumentUrl() const {
    return QUrl(QString::fromLatin1(kScheme) + QStringLiteral(":/result/") +
                QString::number(FDocumentNumber));
}

} // namespace app
