// SPDX-License-Identifier: MIT
// The HTML highlighter.

#include "lexedit/LexHighlighterHtml.h"

#include "LexHighlighterKeywords.h"

#include <vector>

namespace lexedit {

using namespace html;

namespace {

const QString HTMLFilter = QStringLiteral("HTML Documents (*.htm;*.html)|*.htm;*.html");

// Lengths of the entity table entries.
const std::array<int, MAX_ESCAPEAMPS> &EscapeAmpLengths() {
    static const std::array<int, MAX_ESCAPEAMPS> Lengths = [] {
        std::array<int, MAX_ESCAPEAMPS> l{};
        for (size_t i = 0; i < l.size(); ++i)
            l[i] = int(std::char_traits<char16_t>::length(EscapeAmps[i]));
        return l;
    }();
    return Lengths;
}

// For each ASCII character, the entries whose second character it is, in table order.
const std::array<std::vector<int16_t>, 128> &EscapeAmpsBySecondChar() {
    static const std::array<std::vector<int16_t>, 128> Index = [] {
        std::array<std::vector<int16_t>, 128> x;
        for (size_t i = 0; i < EscapeAmps.size(); ++i)
            if (EscapeAmps[i][1] < 128) x[EscapeAmps[i][1]].push_back(int16_t(i));
        return x;
    }();
    return Index;
}

bool IsHexDigit(char16_t c) {
    return (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') || (c >= u'a' && c <= u'f');
}

[[maybe_unused]] const bool Registered = (RegisterPlaceableHighlighter<TLexHTMLLex>(), true);

} // namespace

TLexHTMLLex::TLexHTMLLex(QObject *AOwner) : TLexCustomHighlighter(AOwner) {
    SetCaseSensitive(false);
    fCommentAttri = new TLexHighlighterAttributes(QStringLiteral("Comment"), QStringLiteral("Comment"));
    AddAttribute(fCommentAttri);
    fIdentifierAttri =
        new TLexHighlighterAttributes(QStringLiteral("Identifier"), QStringLiteral("Identifier"));
    fIdentifierAttri->SetStyle({fsBold});
    AddAttribute(fIdentifierAttri);
    fKeyAttri =
        new TLexHighlighterAttributes(QStringLiteral("ReservedWord"), QStringLiteral("Reserved Word"));
    fKeyAttri->SetStyle({fsBold});
    fKeyAttri->SetForeground(0x00FF0080);
    AddAttribute(fKeyAttri);
    fSpaceAttri = new TLexHighlighterAttributes(QStringLiteral("Space"), QStringLiteral("Space"));
    AddAttribute(fSpaceAttri);
    fSymbolAttri = new TLexHighlighterAttributes(QStringLiteral("Symbol"), QStringLiteral("Symbol"));
    fSymbolAttri->SetStyle({fsBold});
    AddAttribute(fSymbolAttri);
    fTextAttri = new TLexHighlighterAttributes(QStringLiteral("Text"), QStringLiteral("Text"));
    AddAttribute(fTextAttri);
    fUndefKeyAttri =
        new TLexHighlighterAttributes(QStringLiteral("UnknownWord"), QStringLiteral("Unknown Word"));
    fUndefKeyAttri->SetStyle({fsBold});
    fUndefKeyAttri->SetForeground(clRed);
    AddAttribute(fUndefKeyAttri);
    fValueAttri = new TLexHighlighterAttributes(QStringLiteral("Value"), QStringLiteral("Value"));
    fValueAttri->SetForeground(0x00FF8000);
    AddAttribute(fValueAttri);
    fAndAttri =
        new TLexHighlighterAttributes(QStringLiteral("EscapeAmpersand"), QStringLiteral("Escape Ampersand"));
    fAndAttri->SetStyle({fsBold});
    fAndAttri->SetForeground(clLime);
    AddAttribute(fAndAttri);
    SetAttributesOnChange([this](QObject *Sender) { DefHighlightChange(Sender); });
    fTokenAttributes[tkAmpersand] = fAndAttri;
    fTokenAttributes[tkComment] = fCommentAttri;
    fTokenAttributes[tkIdentifier] = fIdentifierAttri;
    fTokenAttributes[tkKey] = fKeyAttri;
    fTokenAttributes[tkSpace] = fSpaceAttri;
    fTokenAttributes[tkSymbol] = fSymbolAttri;
    fTokenAttributes[tkText] = fTextAttri;
    fTokenAttributes[tkUndefKey] = fUndefKeyAttri;
    fTokenAttributes[tkValue] = fValueAttri;
    fRange = rsText;
    fDefaultFilter = HTMLFilter;
    fAndCode = -1;
}

TLexHTMLLex::~TLexHTMLLex() = default;

QString TLexHTMLLex::GetLanguageName() {
    return QStringLiteral("HTML");
}
QString TLexHTMLLex::GetFriendlyLanguageName() {
    return QStringLiteral("HTML");
}

TLexHighlighterAttributes *TLexHTMLLex::GetDefaultAttribute(int Index) const {
    switch (Index) {
    case LEX_ATTR_COMMENT:
        return fCommentAttri;
    case LEX_ATTR_IDENTIFIER:
        return fIdentifierAttri;
    case LEX_ATTR_KEYWORD:
        return fKeyAttri;
    case LEX_ATTR_WHITESPACE:
        return fSpaceAttri;
    case LEX_ATTR_SYMBOL:
        return fSymbolAttri;
    default:
        return nullptr;
    }
}

void TLexHTMLLex::SetRange(TLexRange Value) {
    // A value the scanner never produces (NullRange included) starts from the initial state.
    fRange = (Value >= rsAmpersand && Value <= rsDoubleQuoteValue) ? TRangeState(Value) : rsText;
    fAndCode = -1;
}

void TLexHTMLLex::ResetRange() {
    fRange = rsText;
    fAndCode = -1;
}

void TLexHTMLLex::DoSetLine(const QString &Value, int LineNumber) {
    fAndCode = -1;
    TLexCustomHighlighter::DoSetLine(Value, LineNumber);
}

bool TLexHTMLLex::IsFilterStored() const {
    return fDefaultFilter != HTMLFilter;
}

QString TLexHTMLLex::GetSampleSource() const {
    return QStringLiteral("<!-- Syntax highlighting -->\r\n"
                          "\r\n"
                          "<html>\r\n"
                          "<body bgcolor=\"red\">\r\n"
                          "  <form name=\"frmLogin\" action=\"doSomething.asp\">\r\n"
                          "    <input name=\"user\" value='any\r\n"
                          "      value'>\r\n"
                          "  </form>\r\n"
                          "  <invalid>Sample HTML code &copy; 2001</invalid>\r\n"
                          "</body>\r\n"
                          "</html>");
}

bool TLexHTMLLex::IsIdentChar(QChar AChar) const {
    return IsIdentCode(AChar.unicode());
}

// ---------------------------------------------------------------------------------------------
// Scanning

void TLexHTMLLex::NextToEol() {
    while (!GetEol())
        Next();
    ReleaseLargeLineCopy();
}

int TLexHTMLLex::NextTokens(TLexTokenSpan *ATokens, int AMax) {
    return ReadTokens(*this, ATokens, AMax);
}

void TLexHTMLLex::Next() {
    // A zero-length token at the position where the last one ended is skipped.
    do {
        fTokenPos = Run;
        if (Run > fLineLen) { // already past the end: stay there
            fTokenID = tkNull;
            break;
        }
        switch (fRange) {
        case rsComment:
            CommentProc();
            break;
        case rsText:
            TextProc();
            break;
        case rsQuoteValue:
        case rsDoubleQuoteValue:
            if (IsLineEnd(Run))
                NextProcedure();
            else
                StringProc();
            break;
        default:
            NextProcedure();
            break;
        }
    } while (Run == fOldRun && !GetEol());
    TLexCustomHighlighter::Next();
}

void TLexHTMLLex::NextProcedure() {
    const char16_t c = fLine[Run];
    switch (c) {
    case 0:
        NullProc();
        break;
    case 10:
        LFProc();
        break;
    case 13:
        CRProc();
        break;
    case u'"':
    case u'\'':
        StringProc();
        break;
    case u'&':
        AmpersandProc();
        break;
    case u'<':
        BraceOpenProc();
        break;
    case u'=':
        EqualProc();
        break;
    case u'>':
        BraceCloseProc();
        break;
    default:
        if (c <= 32)
            SpaceProc();
        else
            IdentProc();
        break;
    }
}

void TLexHTMLLex::NullProc() {
    fTokenID = tkNull;
    ++Run;
}

void TLexHTMLLex::LFProc() {
    fTokenID = tkSpace;
    ++Run;
}

void TLexHTMLLex::CRProc() {
    fTokenID = tkSpace;
    ++Run;
    if (fLine[Run] == 10) ++Run;
}

void TLexHTMLLex::SpaceProc() {
    fTokenID = tkSpace;
    ++Run;
    for (char16_t c = fLine[Run]; c >= 1 && c <= 32 && c != 9 && c != 10 && c != 13; c = fLine[Run])
        ++Run;
}

void TLexHTMLLex::EqualProc() {
    fTokenID = tkSymbol;
    ++Run;
    fRange = rsValue;
}

void TLexHTMLLex::BraceCloseProc() {
    fTokenID = tkSymbol;
    ++Run;
    fRange = rsText;
}

void TLexHTMLLex::BraceOpenProc() {
    ++Run;
    if (fLine[Run] == u'!' && fLine[Run + 1] == u'-' && fLine[Run + 2] == u'-') {
        fRange = rsComment;
        fTokenID = tkComment;
        Run += 3;
    } else {
        fRange = rsKey;
        fTokenID = tkSymbol;
    }
}

void TLexHTMLLex::CommentProc() {
    fTokenID = tkComment;
    if (IsLineEnd(Run)) {
        NextProcedure();
        return;
    }
    while (!IsLineEnd(Run)) {
        if (fLine[Run] == u'>' && Run >= 2 && fLine[Run - 1] == u'-' && fLine[Run - 2] == u'-') {
            ++Run;
            fRange = rsText;
            break;
        }
        ++Run;
    }
}

void TLexHTMLLex::IdentProc() {
    switch (fRange) {
    case rsKey: {
        fRange = rsParam;
        const auto Name = TagNames.Find(fLine + Run);
        fTokenID = Name.Kind;
        Run += Name.Length;
        break;
    }
    case rsValue:
        fRange = rsParam;
        fTokenID = tkValue;
        ++Run;
        while (fLine[Run] > 32 && fLine[Run] != u'>')
            ++Run;
        break;
    default:
        fTokenID = tkIdentifier;
        ++Run;
        for (char16_t c = fLine[Run]; c > 32 && c != u'=' && c != u'"' && c != u'>'; c = fLine[Run])
            ++Run;
        break;
    }
}

void TLexHTMLLex::StringProc() {
    char16_t Close;
    if (fRange == rsQuoteValue) {
        Close = u'\'';
        fTokenID = tkValue;
    } else if (fRange == rsDoubleQuoteValue) {
        Close = u'"';
        fTokenID = tkValue;
    } else {
        Close = fLine[Run];
        if (fRange != rsValue) { // a quote outside a value is part of a name
            IdentProc();
            return;
        }
        fRange = Close == u'"' ? rsDoubleQuoteValue : rsQuoteValue;
        fTokenID = tkValue;
        ++Run;
    }
    while (!IsLineEnd(Run)) {
        if (fLine[Run] == Close) {
            ++Run;
            fRange = rsParam;
            break;
        }
        ++Run;
    }
}

int TLexHTMLLex::MatchEntity(int APos) const {
    // Entries are tried in table order among those whose second character (after "&") is the
    // one in the line.
    const char16_t Second = fLine[APos + 1];
    if (Second >= 128) return -1;
    const auto &Lengths = EscapeAmpLengths();
    const int Avail = fLineLen - APos;
    for (int16_t i : EscapeAmpsBySecondChar()[Second]) {
        const int Len = Lengths[size_t(i)];
        if (Len > Avail) continue;
        const char16_t *Entry = EscapeAmps[size_t(i)];
        int k = 2;
        while (k < Len && fLine[APos + k] == Entry[k])
            ++k;
        if (k == Len) return i;
    }
    return -1;
}

void TLexHTMLLex::SkipReferenceDigits() {
    if (fLine[Run] == u'x' || fLine[Run] == u'X') {
        ++Run;
        while (IsHexDigit(fLine[Run]))
            ++Run;
    } else {
        while (fLine[Run] >= u'0' && fLine[Run] <= u'9')
            ++Run;
    }
}

void TLexHTMLLex::TextProc() {
    if (fLine[Run] < 32 || fLine[Run] == u'<') {
        NextProcedure();
        return;
    }
    fTokenID = tkText;
    for (;;) {
        for (char16_t c = fLine[Run]; c >= 32 && c != u'&' && c != u'<'; c = fLine[Run])
            ++Run;
        if (fLine[Run] != u'&') return;
        if (fLine[Run + 1] == u'#') {
            fAndCode = -1;
            const int p = Run;
            Run += 2;
            SkipReferenceDigits();
            if (fLine[Run] == u';') {
                Run = p; // the reference is the next token
                fRange = rsAmpersand;
            }
            return;
        }
        const int i = MatchEntity(Run);
        if (i >= 0) {
            fAndCode = i;
            fRange = rsAmpersand;
            return;
        }
        ++Run; // an "&" that starts no entity is text
    }
}

void TLexHTMLLex::AmpersandProc() {
    switch (fRange) {
    case rsAmpersand: {
        const auto &Lengths = EscapeAmpLengths();
        // The entity found by the text scan, checked again at this position.
        if (fAndCode >= 0 && fAndCode < MAX_ESCAPEAMPS && MatchEntity(Run) == fAndCode) {
            fTokenID = tkAmpersand;
            Run += Lengths[size_t(fAndCode)];
        } else if (fLine[Run + 1] == u'#') {
            fAndCode = -1;
            Run += 2;
            SkipReferenceDigits();
            if (fLine[Run] == u';') {
                ++Run;
                fTokenID = tkAmpersand;
            } else {
                fTokenID = tkText;
            }
        } else {
            fTokenID = tkText; // nothing consumed; the text scan takes over
        }
        fAndCode = -1;
        fRange = rsText;
        break;
    }
    case rsKey:
        fTokenID = tkText;
        ++Run;
        fRange = rsText;
        break;
    default:
        IdentProc();
        break;
    }
}

} // namespace lexedit
