// SPDX-License-Identifier: MIT
// The HTML format of the exporter: the XHTML document, its style block, the runs as spans, and
// the clipboard payload with its byte offsets.

#include "lexedit/LexExportHTML.h"

#include "lexedit/LexEditHighlighter.h"
#include "lexedit/LexEditMiscProcs.h"

#include <QMimeData>

#include <functional>
#include <vector>

namespace lexedit {

namespace {

using TAttriProc =
    std::function<bool(TLexCustomHighlighter *, TLexHighlighterAttributes *, const QString &, int)>;

const QString CRLF = QStringLiteral("\r\n");
const QString StartFragmentMark = QStringLiteral("<!--StartFragment-->");
const QString EndFragmentMark = QStringLiteral("<!--EndFragment-->");
const QString DocumentEnd = QStringLiteral("</body>\r\n</html>");

QString Number10(qsizetype Value) {
    return QStringLiteral("%1").arg(qlonglong(Value), 10, 10, QLatin1Char('0'));
}

// A CSS string holding AText, between single quotes.
QString CssString(const QString &AText) {
    QString R = QStringLiteral("'");
    for (QChar c : AText) {
        if (c == u'\'' || c == u'\\')
            R += QLatin1Char('\\') + QString(c);
        else if (c.unicode() >= 0x20 && c.unicode() != 0x7F)
            R += c;
    }
    return R + QLatin1Char('\'');
}

} // namespace

TLexExporterHTML::TLexExporterHTML(QObject *AOwner) : TLexCustomExporter(AOwner) {
    SetDefaultFilter(QStringLiteral("HTML Documents (*.htm;*.html)|*.htm;*.html"));
    SetEncoding(seUTF8);
}

TLexExporterHTML::~TLexExporterHTML() = default;

// ---- names and colours ----------------------------------------------------------------------------

QString TLexExporterHTML::HtmlEncodingStr(TLexEncoding AEncoding) {
    switch (AEncoding) {
    case seUTF8:
        return QStringLiteral("UTF-8");
    case seUTF16LE:
    case seUTF16BE:
        return QStringLiteral("UTF-16");
    case seAnsi:
        return QStringLiteral("ISO-8859-1");
    }
    return QString();
}

QString TLexExporterHTML::ColorToHTML(TColor ARGB) {
    const uint32_t v = uint32_t(ARGB);
    return QStringLiteral("#%1%2%3")
        .arg(v & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((v >> 8) & 0xFF, 2, 16, QLatin1Char('0'))
        .arg((v >> 16) & 0xFF, 2, 16, QLatin1Char('0'))
        .toUpper();
}

QString TLexExporterHTML::MakeValidName(const QString &Name) {
    QString R;
    for (QChar c : Name.toLower()) {
        if (c == u'.' || c == u'_' || c == u'-')
            R += QLatin1Char('-');
        else if ((c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'z'))
            R += c;
    }
    return R;
}

QString TLexExporterHTML::EscapeXml(const QString &AText) {
    QString R;
    R.reserve(AText.size());
    for (QChar c : AText) {
        switch (c.unicode()) {
        case u'&':
            R += QLatin1String("&amp;");
            break;
        case u'<':
            R += QLatin1String("&lt;");
            break;
        case u'>':
            R += QLatin1String("&gt;");
            break;
        case u'"':
            R += QLatin1String("&quot;");
            break;
        case u'\'':
            R += QLatin1String("&#39;");
            break;
        default:
            // Controls are not allowed in XML.
            R += (c.unicode() < 0x20 && c != u'\t') ? QChar(0xFFFD) : c;
        }
    }
    return R;
}

QStringView TLexExporterHTML::ReplaceReservedChar(char16_t AChar) const {
    switch (AChar) {
    case u'&':
        return u"&amp;";
    case u'<':
        return u"&lt;";
    case u'>':
        return u"&gt;";
    case u'"':
        return u"&quot;";
    case u'\t':
        return {};
    default:
        if (AChar < 0x20 || (AChar >= 0x7F && AChar <= 0x9F)) return u"\uFFFD";
        return {};
    }
}

QString TLexExporterHTML::UnencodableChar(char32_t ACode) const {
    return QStringLiteral("&#x%1;")
        .arg(uint(ACode), 0, 16)
        .toUpper()
        .replace(QLatin1String("&#X"), QLatin1String("&#x"));
}

bool TLexExporterHTML::AsciiOnly() const {
    // A fragment has no declaration of its encoding: in 8 bits it keeps to ASCII, so that it
    // reads the same in whatever document it is put.
    return Encoding() == seAnsi && ExportAsText() && fCreateHTMLFragment;
}

bool TLexExporterHTML::UseBom() const {
    return Encoding() == seUTF16LE || Encoding() == seUTF16BE;
}

// ---- styles --------------------------------------------------------------------------------------------

namespace {

QString StyleToCSS(TFontStyles AStyle) {
    QString R;
    if (AStyle.Contains(fsBold)) R += QLatin1String("font-weight: bold; ");
    if (AStyle.Contains(fsItalic)) R += QLatin1String("font-style: italic; ");
    if (AStyle.Contains(fsUnderline) && AStyle.Contains(fsStrikeOut))
        R += QLatin1String("text-decoration: underline line-through; ");
    else if (AStyle.Contains(fsUnderline))
        R += QLatin1String("text-decoration: underline; ");
    else if (AStyle.Contains(fsStrikeOut))
        R += QLatin1String("text-decoration: line-through; ");
    return R;
}

} // namespace

QString TLexExporterHTML::LookToCSS(TColor BG, TColor FG, TFontStyles AStyle, bool ABackground) const {
    QString R;
    if (ABackground) R += QStringLiteral("background-color: %1; ").arg(ColorToHTML(BG));
    // Inline, the default colour is inherited from where the text is pasted.
    if (FG != FontColorRGB() || !fInlineStyles) R += QStringLiteral("color: %1; ").arg(ColorToHTML(FG));
    return R + StyleToCSS(AStyle);
}

QString TLexExporterHTML::AttriToCSS(const TLexHighlighterAttributes &Attri,
                                     const QString &UniqueAttriName) const {
    QString R = QLatin1Char('.') + MakeValidName(UniqueAttriName) + QLatin1String(" { ");
    if (UseBackground() && Attri.Background() != clNone)
        R += QStringLiteral("background-color: %1; ")
                 .arg(ColorToHTML(ValidatedColor(Attri.Background(), clWindow)));
    if (Attri.Foreground() != clNone)
        R += QStringLiteral("color: %1; ").arg(ColorToHTML(ValidatedColor(Attri.Foreground(), clWindowText)));
    return R + StyleToCSS(Attri.Style()) + QLatin1Char('}');
}

QString TLexExporterHTML::PreStyle() const {
    QString R;
    if (fInlineStyles) R += QLatin1String("white-space: pre; ");
    R += QStringLiteral("font-family: %1, monospace; font-size: %2pt;")
             .arg(CssString(Font().Name))
             .arg(Font().Size);
    if (fInlineStyles && UseBackground())
        R += QStringLiteral(" color: %1; background-color: %2;")
                 .arg(ColorToHTML(FontColorRGB()), ColorToHTML(BackgroundRGB()));
    return R;
}

QString TLexExporterHTML::TextOpen() const {
    return QStringLiteral("<pre style=\"%1\"><code>").arg(EscapeXml(PreStyle()));
}

QString TLexExporterHTML::TextClose() const {
    return QStringLiteral("</code></pre>");
}

QString TLexExporterHTML::DocumentHead() {
    const QString Charset = HtmlEncodingStr(Encoding());
    QString R = QStringLiteral("<?xml version=\"1.0\" encoding=\"%1\"?>").arg(Charset) + CRLF;
    R += QLatin1String("<!DOCTYPE html PUBLIC \"-//W3C//DTD XHTML 1.0 Strict//EN\" "
                       "\"http://www.w3.org/TR/xhtml1/DTD/xhtml1-strict.dtd\">") +
         CRLF;
    R += QLatin1String("<html xmlns=\"http://www.w3.org/1999/xhtml\">") + CRLF;
    R += QLatin1String("<head>") + CRLF;
    R += QLatin1String("<title>") + EscapeXml(Title()) + QLatin1String("</title>") + CRLF;
    R += QStringLiteral("<meta http-equiv=\"Content-Type\" content=\"text/html; charset=%1\" />")
             .arg(Charset) +
         CRLF;
    R += QLatin1String("<meta name=\"generator\" content=\"LexEdit HTML exporter\" />") + CRLF;
    if (!fInlineStyles) {
        // No comment around the rules: an XML reader would drop them with it.
        R += QLatin1String("<style type=\"text/css\">") + CRLF;
        R += QStringLiteral("body { color: %1; background-color: %2; }")
                 .arg(ColorToHTML(FontColorRGB()), ColorToHTML(BackgroundRGB())) +
             CRLF;
        std::vector<TLexCustomHighlighter *> Visited;
        if (TLexCustomHighlighter *H = Highlighter()) {
            Visited.push_back(H);
            const TAttriProc Proc = [this, &R](TLexCustomHighlighter *, TLexHighlighterAttributes *Attri,
                                               const QString &Name, int) {
                R += AttriToCSS(*Attri, Name) + CRLF;
                return true;
            };
            EnumHighlighterAttris(H, true, Proc, 0, Visited);
        }
        R += QLatin1String("</style>") + CRLF;
    }
    R += QLatin1String("</head>") + CRLF;
    R += QLatin1String("<body>") + CRLF;
    return R;
}

QString TLexExporterHTML::GetHeader() {
    if (ExportAsText()) return (fCreateHTMLFragment ? QString() : DocumentHead()) + TextOpen();
    // The clipboard payload: the description block gives byte offsets into the payload. The
    // fragment is what lies between the two markers.
    const QString Head = DocumentHead();
    const QString Open = StartFragmentMark + TextOpen();
    const QString Close = TextClose() + EndFragmentMark;
    const auto Block = [](qsizetype StartHTML, qsizetype EndHTML, qsizetype StartFragment,
                          qsizetype EndFragment) {
        return QLatin1String("Version:0.9") + CRLF + QLatin1String("StartHTML:") + Number10(StartHTML) +
               CRLF + QLatin1String("EndHTML:") + Number10(EndHTML) + CRLF + QLatin1String("StartFragment:") +
               Number10(StartFragment) + CRLF + QLatin1String("EndFragment:") + Number10(EndFragment) + CRLF;
    };
    const qsizetype D = StringSize(Block(0, 0, 0, 0));
    const qsizetype H = StringSize(Head);
    const qsizetype F = StringSize(StartFragmentMark);
    const qsizetype O = StringSize(Open);
    const qsizetype B = GetBufferSize();
    const qsizetype C = StringSize(TextClose());
    const qsizetype E = StringSize(Close) + StringSize(DocumentEnd);
    return Block(D, D + H + O + B + E, D + H + F, D + H + O + B + C) + Head + Open;
}

QString TLexExporterHTML::GetFooter() {
    if (ExportAsText()) return TextClose() + CRLF + (fCreateHTMLFragment ? QString() : DocumentEnd + CRLF);
    return TextClose() + EndFragmentMark + DocumentEnd;
}

// ---- runs -----------------------------------------------------------------------------------------------

void TLexExporterHTML::OpenSpan() {
    // The opening tag of each attribute's runs is made once per export.
    const size_t Index = size_t(RunAttributeIndex());
    if (Index >= fSpanTags.size()) fSpanTags.resize(Index + 1);
    TSpanTag &Tag = fSpanTags[Index];
    if (!Tag.Made) {
        Tag.Open = Encoded(SpanTag());
        PadForAddBytes(Tag.Open);
        Tag.Made = true;
    }
    AddBytes(Tag.Open);
    fSpanOpen = !Tag.Open.isEmpty();
}

QString TLexExporterHTML::SpanTag() {
    const bool BG = UseBackground() && LastBG() != BackgroundRGB();
    if (!BG && LastFG() == FontColorRGB() && LastStyle().Empty()) return QString(); // the default look
    TLexCustomHighlighter *H = Highlighter();
    if (!fInlineStyles && H != nullptr && fClassNamesFor != H) {
        fClassNames.clear();
        std::vector<TLexCustomHighlighter *> Visited{H};
        const TAttriProc Proc = [this](TLexCustomHighlighter *, TLexHighlighterAttributes *Attri,
                                       const QString &Name, int) {
            if (!fClassNames.contains(Attri)) fClassNames.insert(Attri, MakeValidName(Name));
            return true;
        };
        EnumHighlighterAttris(H, false, Proc, 0, Visited);
        fClassNamesFor = H;
    }
    const auto Class = fInlineStyles ? fClassNames.constEnd() : fClassNames.constFind(RunAttribute());
    return Class != fClassNames.constEnd()
               ? QStringLiteral("<span class=\"%1\">").arg(*Class)
               : QStringLiteral("<span style=\"%1\">")
                     .arg(LookToCSS(LastBG(), LastFG(), LastStyle(), BG).trimmed());
}

void TLexExporterHTML::BeginExport() {
    fSpanTags.clear();
    fSpanOpen = false;
    fSpanClose = Encoded(u"</span>");
    fLineBreak = Encoded(u"<br />");
    PadForAddBytes(fSpanClose);
    PadForAddBytes(fLineBreak);
}

void TLexExporterHTML::FormatBeforeFirstAttribute(bool, bool, TFontStyles) {
    OpenSpan();
}

void TLexExporterHTML::FormatAttributeInit(bool, bool, TFontStyles) {
    OpenSpan();
}

void TLexExporterHTML::FormatAttributeDone(bool, bool, TFontStyles) {
    if (fSpanOpen) AddBytes(fSpanClose);
    fSpanOpen = false;
}

void TLexExporterHTML::FormatAfterLastAttribute() {
    FormatAttributeDone(false, false, TFontStyles());
}

void TLexExporterHTML::FormatNewLine() {
    AddBytes(fLineBreak);
}

// ---- the clipboard --------------------------------------------------------------------------------------

QByteArray TLexExporterHTML::HtmlUtf8() const {
    const QString All = BufferText();
    if (ExportAsText()) return All.toUtf8();
    // The offsets count bytes of the buffer.
    const QByteArray &Buf = Buffer();
    const auto Field = [&Buf](const char *Name) -> qsizetype {
        const qsizetype At = Buf.indexOf(Name);
        return At < 0 ? -1 : Buf.mid(At + qsizetype(qstrlen(Name)), 10).toLongLong();
    };
    if (Encoding() != seUTF8) {
        // The description block is text in the buffer's encoding: find the document in the
        // decoded text, and let its head name the encoding it now has.
        const qsizetype At = All.indexOf(QLatin1String("<?xml"));
        if (At < 0) return QByteArray();
        QString Html = All.mid(At);
        const QString Charset = HtmlEncodingStr(Encoding());
        const qsizetype HeadEnd = Html.indexOf(QLatin1String("</head>"));
        QString Head = Html.left(HeadEnd);
        Head.replace(QStringLiteral("encoding=\"%1\"").arg(Charset), QStringLiteral("encoding=\"UTF-8\""));
        Head.replace(QStringLiteral("charset=%1\"").arg(Charset), QStringLiteral("charset=UTF-8\""));
        return (Head + Html.mid(HeadEnd)).toUtf8();
    }
    const qsizetype Start = Field("StartHTML:");
    const qsizetype End = Field("EndHTML:");
    if (Start < 0 || End < Start || End > Buf.size()) return QByteArray();
    return Buf.mid(Start, End - Start);
}

void TLexExporterHTML::FillMimeData(QMimeData &AData) const {
    if (ExportAsText()) {
        TLexCustomExporter::FillMimeData(AData);
        return;
    }
    AData.setData(QStringLiteral("text/html"), HtmlUtf8());
}

} // namespace lexedit
