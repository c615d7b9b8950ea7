// SPDX-License-Identifier: MIT
#pragma once
// The HTML highlighter: text runs, character entities, tags (angle brackets, tag name, attribute
// names and values) and comments. Case-insensitive. An open comment, an open quoted attribute
// value or a position inside a tag is carried to the next line through the range. Scripts and
// style sheets get no treatment of their own: their content is text.

#include "lexedit/LexEditHighlighter.h"

#include <array>

namespace lexedit {

namespace html {

// Token kinds (GetTokenKind returns the ordinal).
enum TtkTokenKind : uint8_t {
    tkAmpersand,
    tkComment,
    tkIdentifier,
    tkKey,
    tkNull,
    tkSpace,
    tkSymbol,
    tkText,
    tkUndefKey,
    tkValue
};

// Range states (the range value is the ordinal).
enum TRangeState : uint8_t {
    rsAmpersand,
    rsComment,
    rsKey,
    rsParam,
    rsText,
    rsUnKnown,
    rsValue,
    rsQuoteValue,
    rsDoubleQuoteValue
};

inline constexpr int MAX_ESCAPEAMPS = 249;
extern const std::array<const char16_t *, MAX_ESCAPEAMPS> EscapeAmps;

} // namespace html

class TLexHTMLLex final : public TLexCustomHighlighter {
public:
    explicit TLexHTMLLex(QObject *AOwner = nullptr);
    ~TLexHTMLLex() override;

    static const char *StaticClassName() { return "TLexHTMLLex"; }
    const char *ClassName() const override { return StaticClassName(); }
    static TLexHighlighterCapabilities GetCapabilities() { return TLexCustomHighlighter::GetCapabilities(); }
    static QString GetLanguageName();
    static QString GetFriendlyLanguageName();
    TLexHighlighterCapabilities GetCapabilitiesProp() const override { return GetCapabilities(); }
    QString GetLanguageNameProp() const override { return GetLanguageName(); }
    QString GetFriendlyLanguageNameProp() const override { return GetFriendlyLanguageName(); }

    TLexHighlighterAttributes *GetDefaultAttribute(int Index) const override;
    bool GetEol() const override { return Run > fLineLen; }
    TLexRange GetRange() const override { return TLexRange(fRange); }
    void SetRange(TLexRange Value) override;
    void ResetRange() override;
    TLexHighlighterAttributes *GetTokenAttribute() const override { return fTokenAttributes[fTokenID]; }
    int GetTokenKind() const override { return int(fTokenID); }
    html::TtkTokenKind GetTokenID() const { return fTokenID; }
    void Next() override;
    // The loop of Next without a virtual call per token.
    void NextToEol() override;
    int NextTokens(TLexTokenSpan *ATokens, int AMax) override;
    bool IsFilterStored() const override;
    QString GetSampleSource() const override;
    bool IsIdentChar(QChar AChar) const override;

    TLexHighlighterAttributes *AndAttri() const { return fAndAttri; }
    TLexHighlighterAttributes *CommentAttri() const { return fCommentAttri; }
    TLexHighlighterAttributes *IdentifierAttri() const { return fIdentifierAttri; }
    TLexHighlighterAttributes *KeyAttri() const { return fKeyAttri; }
    TLexHighlighterAttributes *SpaceAttri() const { return fSpaceAttri; }
    TLexHighlighterAttributes *SymbolAttri() const { return fSymbolAttri; }
    TLexHighlighterAttributes *TextAttri() const { return fTextAttri; }
    TLexHighlighterAttributes *UndefKeyAttri() const { return fUndefKeyAttri; }
    TLexHighlighterAttributes *ValueAttri() const { return fValueAttri; }

protected:
    void DoSetLine(const QString &Value, int LineNumber) override;

private:
    void NextProcedure();
    void AmpersandProc();
    void BraceCloseProc();
    void BraceOpenProc();
    void CommentProc();
    void CRProc();
    void EqualProc();
    void IdentProc();
    void LFProc();
    void NullProc();
    void SpaceProc();
    void StringProc();
    void TextProc();
    // The entity of the table at Run, or -1; never compares past the end of the line.
    int MatchEntity(int APos) const;
    // Skips a numeric reference's digits after "&#" (hexadecimal after "x").
    void SkipReferenceDigits();

    int fAndCode = -1;
    html::TRangeState fRange = html::rsText;
    html::TtkTokenKind fTokenID = html::tkNull;
    TLexHighlighterAttributes *fAndAttri = nullptr;
    TLexHighlighterAttributes *fCommentAttri = nullptr;
    TLexHighlighterAttributes *fIdentifierAttri = nullptr;
    TLexHighlighterAttributes *fKeyAttri = nullptr;
    TLexHighlighterAttributes *fSpaceAttri = nullptr;
    TLexHighlighterAttributes *fSymbolAttri = nullptr;
    TLexHighlighterAttributes *fTextAttri = nullptr;
    TLexHighlighterAttributes *fUndefKeyAttri = nullptr;
    TLexHighlighterAttributes *fValueAttri = nullptr;
    // The attribute of each token kind (null for tkNull).
    std::array<TLexHighlighterAttributes *, html::tkValue + 1> fTokenAttributes{};
};

} // namespace lexedit
