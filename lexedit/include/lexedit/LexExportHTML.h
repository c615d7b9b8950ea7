// SPDX-License-Identifier: MIT
#pragma once
// HTML export of highlighted text.
//
// As text (ExportAsText) the export is a well-formed XHTML 1.0 Strict document, or with
// CreateHTMLFragment only its <pre> element: one CSS class per attribute of the highlighter
// (the highlighter's export name, its number, "-" and the attribute's name, lower-cased:
// "php1-comment"), one span per run of text in one look, "<br />" after every line but the last.
// Otherwise the export is the clipboard payload: a description block of five lines giving the
// byte offsets of the document and of the fragment in it, then the document, whose fragment is
// marked by <!--StartFragment--> and <!--EndFragment-->.
//
// Control characters other than TAB, lone surrogates and U+FFFE / U+FFFF are written as U+FFFD
// (XML allows none of them); "&", "<", ">" and the double quote as entities; blanks stay blanks
// inside the <pre> element. In the 8-bit encoding (Latin-1) a character above U+00FF is written
// as a numeric character reference, so no text is lost. Runs in the default look (the font's
// colour, no style, no background of their own) are written without a span.

#include "lexedit/LexEditExport.h"

#include <QByteArray>
#include <QHash>
#include <QString>

#include <vector>

namespace lexedit {

class TLexExporterHTML : public TLexCustomExporter {
public:
    explicit TLexExporterHTML(QObject *AOwner = nullptr);
    ~TLexExporterHTML() override;

    // As text: leave out the document around the <pre> element.
    bool CreateHTMLFragment() const { return fCreateHTMLFragment; }
    void SetCreateHTMLFragment(bool Value) { fCreateHTMLFragment = Value; }
    // Each span carries its look as a style attribute instead of a class, so that programs that
    // drop style sheets (mail, office suites, editing areas of browsers) keep the colours.
    bool InlineStyles() const { return fInlineStyles; }
    void SetInlineStyles(bool Value) { fInlineStyles = Value; }

    QString GetFormatName() const override { return QStringLiteral("HTML"); }
    TLexEncodings SupportedEncodings() const override { return {seUTF8, seUTF16LE, seUTF16BE, seAnsi}; }
    // Payload: text/html holding the document part of the payload as UTF-8. As text: text/plain.
    void FillMimeData(QMimeData &AData) const override;
    // The document part of the clipboard payload (from StartHTML to EndHTML) as UTF-8, or the
    // whole buffer as UTF-8 when the export is text.
    QByteArray HtmlUtf8() const;

    // The charset name of an encoding: "UTF-8", "UTF-16", "UTF-16", "ISO-8859-1".
    static QString HtmlEncodingStr(TLexEncoding AEncoding);
    // "#RRGGBB" of an RGB colour.
    static QString ColorToHTML(TColor ARGB);
    // Lower case; "." and "_" become "-"; only "-", "0"-"9" and "a"-"z" are kept.
    static QString MakeValidName(const QString &Name);
    // "&", "<", ">", the double and the single quote as entities.
    static QString EscapeXml(const QString &AText);

protected:
    void FormatAttributeDone(bool BackgroundChanged, bool ForegroundChanged, TFontStyles AStyles) override;
    void FormatAttributeInit(bool BackgroundChanged, bool ForegroundChanged, TFontStyles AStyles) override;
    void FormatAfterLastAttribute() override;
    void FormatBeforeFirstAttribute(bool BackgroundChanged, bool ForegroundChanged,
                                    TFontStyles AStyles) override;
    void FormatNewLine() override;
    QString GetHeader() override;
    QString GetFooter() override;
    QStringView ReplaceReservedChar(char16_t AChar) const override;
    QString UnencodableChar(char32_t ACode) const override;
    bool UseBom() const override;
    bool HeaderBeforeBody() const override { return ExportAsText(); }
    bool AsciiOnly() const override;
    void BeginExport() override;

private:
    void OpenSpan();
    // The opening tag of the run now open; empty in the default look.
    QString SpanTag();
    QString DocumentHead();
    // The CSS declarations of a look ("color: #...; font-weight: bold; ").
    QString LookToCSS(TColor BG, TColor FG, TFontStyles AStyle, bool ABackground) const;
    QString AttriToCSS(const TLexHighlighterAttributes &Attri, const QString &UniqueAttriName) const;
    QString PreStyle() const;
    // The opening of the text block and its end.
    QString TextOpen() const;
    QString TextClose() const;

    bool fCreateHTMLFragment = false;
    bool fInlineStyles = false;
    bool fSpanOpen = false;
    // The class names of the highlighter's attributes, made at the start of an export.
    QHash<const TLexHighlighterAttributes *, QString> fClassNames;
    const TLexCustomHighlighter *fClassNamesFor = nullptr;
    // The opening tag of the runs of each attribute, in the export encoding, by the attribute's
    // number in the export (RunAttributeIndex); made when first needed.
    struct TSpanTag {
        bool Made = false;
        QByteArray Open; // empty: the default look, no span
    };
    std::vector<TSpanTag> fSpanTags;
    // "</span>" and "<br />" in the export encoding.
    QByteArray fSpanClose;
    QByteArray fLineBreak;
};

} // namespace lexedit
