// SPDX-License-Identifier: MIT
#include "ResultBrowser.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QFileInfo>
#include <QLocale>
#include <QMetaObject>
#include <QWebEngineProfile>
#include <QWebEngineSettings>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineUrlRequestJob>
#include <QWebEngineUrlScheme>
#include <QWebEngineUrlSchemeHandler>

namespace app {

namespace {
const QByteArray kScheme = QByteArrayLiteral("checkphp-result");

// What closes a comment or raw-text element (script, style, textarea, title) left open at the end
// of ADocument, so that a line added after it shows as text.
QByteArray ClosingFor(const QByteArray &ADocument) {
    QByteArray closing;
    const qsizetype comment = ADocument.lastIndexOf("<!--");
    if (comment >= 0 && ADocument.indexOf("-->", comment + 4) < 0) closing += "-->";
    const QByteArray lower = ADocument.toLower();
    for (const char *name : {"script", "style", "textarea", "title"}) {
        const qsizetype open = lower.lastIndexOf(QByteArray("<") + name);
        if (open >= 0 && lower.indexOf(QByteArray("</") + name, open) < 0)
            closing += QByteArray("</") + name + '>';
    }
    return closing;
}

// The size of AText in UTF-8.
qsizetype Utf8Size(QStringView AText) {
    qsizetype size = 0;
    for (const QChar c : AText) {
        const char16_t u = c.unicode();
        size += u < 0x80 ? 1 : u < 0x800 || QChar::isSurrogate(u) ? 2 : 3; // a pair: 4
    }
    return size;
}

// AHead (the UTF-8 of the text's beginning, longer than ALimit) cut to at most ALimit bytes at its
// last line end before it (at a character when its first line is longer), followed by a line
// saying how much was left out of it and of ATail, the text after it.
QByteArray FirstPartOf(const QByteArray &AHead, QStringView ATail, qsizetype ALimit) {
    qsizetype cut = AHead.lastIndexOf('\n', ALimit);
    qsizetype rest = cut + 1;
    if (cut <= 0) {
        cut = ALimit;
        while (cut > 0 && (uchar(AHead[cut]) & 0xC0) == 0x80) // inside a UTF-8 sequence
            --cut;
        rest = cut;
    }
    QByteArray first = AHead.left(cut);
    // The line the cut goes through counts as left out.
    const qsizetype lines =
        AHead.count('\n') - first.count('\n') + ATail.count(QLatin1Char('\n')) + (rest == cut ? 1 : 0);
    const qsizetype bytes = AHead.size() - rest + Utf8Size(ATail);
    const QLocale english(QLocale::English);
    const QString note =
        QStringLiteral("%1 more %2 left out here (%3): the page renders the first %4 of "
                       "a result. Save writes all of it.")
            .arg(english.toString(lines), QLatin1String(lines == 1 ? "line is" : "lines are"),
                 english.formattedDataSize(bytes, 1, QLocale::DataSizeTraditionalFormat),
                 english.formattedDataSize(ALimit, 0, QLocale::DataSizeTraditionalFormat));
    first += ClosingFor(first);
    first +=
        "\n<hr><p style=\"font:13px sans-serif;color:#6d6d6d\">" + note.toHtmlEscaped().toUtf8() + "</p>\n";
    return first;
}
} // namespace

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
    connect(page, &QWebEnginePage::renderProcessTerminated, this,
            [this](QWebEnginePage::RenderProcessTerminationStatus AStatus, int) {
                RenderProcessTerminated(AStatus);
            });
}

TResultBrowser::~TResultBrowser() = default;

void TResultBrowser::WriteDocument(const QString &AText) {
    page()->setBackgroundColor(Qt::white);
    FShowsRendererEnded = false;
    // Only what can be rendered is converted: a character takes at least one byte of UTF-8.
    const QStringView head = QStringView(AText).left(FRenderLimit + 1);
    QByteArray document = head.toUtf8();
    if (document.size() > FRenderLimit)
        document = FirstPartOf(document, QStringView(AText).mid(head.size()), FRenderLimit);
    FSchemeHandler->FDocument = std::move(document);
    ++FDocumentNumber;
    load(DocumentUrl());
}

QString TResultBrowser::PlaceholderText() {
    return QStringLiteral("Run a script, then press Execute to see its output rendered here.");
}

QString TResultBrowser::RendererEndedText() {
    return QStringLiteral("The page's renderer ended abnormally (it may have run out of memory); press "
                          "Execute to render the result again.");
}

void TResultBrowser::RenderProcessTerminated(QWebEnginePage::RenderProcessTerminationStatus AStatus) {
    // A renderer that ends with the page (or when it is replaced) ends normally. The notice's own
    // renderer ending is not noticed again, so that a renderer that cannot start does not loop.
    if (AStatus == QWebEnginePage::NormalTerminationStatus || FShowsRendererEnded) return;
    FShowsRendererEnded = true;
    // The page starts its new renderer from the event loop, not inside the old one's end.
    const quint64 document = FDocumentNumber;
    QMetaObject::invokeMethod(
        this,
        [this, document] {
            if (document == FDocumentNumber && FShowsRendererEnded) ShowNotice(RendererEndedText());
        },
        Qt::QueuedConnection);
}

void TResultBrowser::ShowPlaceholder() {
    ShowNotice(PlaceholderText());
}

void TResultBrowser::ShowPlaceholder(const QString &AText) {
    ShowNotice(AText);
}

QString TResultBrowser::NoInterpreterHint(const QString &AChooseKeys, const QString &AOpenKeys) {
    return QStringLiteral("No PHP interpreter found: press %1 to choose one, then %2 to open a script.")
        .arg(AChooseKeys, AOpenKeys);
}

void TResultBrowser::ShowNotice(const QString &AText) {
    // In the window's own colours, so the pane reads as part of the window, not a blank page.
    const QColor back = palette().color(QPalette::Window);
    const QColor text = palette().color(QPalette::Disabled, QPalette::Text);
    page()->setBackgroundColor(back);
    setHtml(QStringLiteral("<!DOCTYPE html><html><head><meta charset=\"utf-8\"></head>"
                           "<body style=\"margin:0;height:100vh;display:flex;align-items:center;"
                           "justify-content:center;font:13px sans-serif;color:%1;background:%2\">"
                           "<p>%3</p></body></html>")
                .arg(text.name(), back.name(), AText.toHtmlEscaped()));
}

QUrl TResultBrowser::DocumentUrl() const {
    return QUrl(QString::fromLatin1(kScheme) + QStringLiteral(":/result/") +
                QString::number(FDocumentNumber));
}

} // namespace app
