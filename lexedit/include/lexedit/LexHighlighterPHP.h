// SPDX-License-Identifier: MIT
#pragma once
// The PHP highlighter: keywords, identifiers, variables, numbers, strings, comments,
// documentation comments, symbols and white space. The whole text is scanned as PHP (no special
// treatment of the open and close tags). Case-insensitive: keywords are found in any letter case
// while GetToken keeps the case of the line. Open block comments and open apostrophe and
// double-quote strings are carried to the next line through the range.
//
// It is a folding highlighter: braces (fold type 1, only those outside comments and strings),
// block comments over several lines (type 2) and region markers (FoldRegionType): a comment line
// starting "//#region", "#region" or "//region", ended by "//#endregion", "#endregion" or
// "//endregion", in any letter case.

#include "lexedit/LexEditCodeFolding.h"
#include "lexedit/LexEditHighlighter.h"

#include <array>

namespace lexedit {

namespace php {

// Token kinds (GetTokenKind returns the ordinal).
enum TtkTokenKind : uint8_t {
    tkSymbol,
    tkKey,
    tkComment,
    tkDocument,
    tkIdentifier,
    tkNull,
    tkNumber,
    tkSpace,
    tkString,
    tkUnknown,
    tkVariable
};

// Range states (the range value is the ordinal).
enum TRangeState : uint8_t {
    rsUnKnown,
    rsString39,
    rsString34,
    rsString96,
    rsComment,
    rsDocument,
    rsVarExpansion
};

} // namespace php

// Not final, so that a test can count its scans; the scanning loop is final, so its calls stay
// direct.
class TLexPHPLex : public TLexCustomCodeFoldingHighlighter {
public:
    explicit TLexPHPLex(QObject *AOwner = nullptr);
    ~TLexPHPLex() override;

    static const char *StaticClassName() { return "TLexPHPLex"; }
    const char *ClassName() const override { return StaticClassName(); }
    static TLexHighlighterCapabilities GetCapabilities() { return TLexCustomHighlighter::GetCapabilities(); }
    static QString GetLanguageName();
    static QString GetFriendlyLanguageName();
    TLexHighlighterCapabilities GetCapabilitiesProp() const override { return GetCapabilities(); }
    QString GetLanguageNameProp() const override { return GetLanguageName(); }
    QString GetFriendlyLanguageNameProp() const override { return GetFriendlyLanguageName(); }

    TLexHighlighterAttributes *GetDefaultAttribute(int Index) const override;
    bool GetEol() const final { return Run > fLineLen; }
    TLexRange GetRange() const override { return TLexRange(fRange); }
    void SetRange(TLexRange Value) override;
    void ResetRange() override { fRange = php::rsUnKnown; }
    TLexHighlighterAttributes *GetTokenAttribute() const final { return fTokenAttributes[FTokenID]; }
    int GetTokenKind() const override { return int(FTokenID); }
    php::TtkTokenKind GetTokenID() const { return FTokenID; }
    void Next() final;
    // The loop of Next without a virtual call per token.
    void NextToEol() final;
    int NextTokens(TLexTokenSpan *ATokens, int AMax) final;
    bool IsFilterStored() const override;
    QString GetSampleSource() const override;
    bool IsIdentChar(QChar AChar) const override;
    bool IsWordBreakChar(QChar AChar) const override;
    void ScanForFoldRanges(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan, int FromLine,
                           int ToLine) override;

    TLexHighlighterAttributes *CommentAttri() const { return fCommentAttri; }
    TLexHighlighterAttributes *DocumentAttri() const { return fDocumentAttri; }
    TLexHighlighterAttributes *IdentifierAttri() const { return fIdentifierAttri; }
    TLexHighlighterAttributes *KeyAttri() const { return fKeyAttri; }
    TLexHighlighterAttributes *NumberAttri() const { return fNumberAttri; }
    TLexHighlighterAttributes *SpaceAttri() const { return fSpaceAttri; }
    TLexHighlighterAttributes *StringAttri() const { return fStringAttri; }
    TLexHighlighterAttributes *SymbolAttri() const { return fSymbolAttri; }
    TLexHighlighterAttributes *VariableAttri() const { return fVariableAttri; }

private:
    // The marker of a line that neither starts nor ends a block comment: a region marker, else a
    // brace that is not matched on the line, else none.
    void ScanLineFolds(TLexFoldRanges &FoldRanges, const TLexEditStringList &LinesToScan, int Line);
    // The braces and the region marker of a line from its tokens (Region: 0 none, 1 start, 2 end).
    void ScanLineTokens(const TLexEditStringList &LinesToScan, int Line, char16_t &FirstBrace,
                        bool &MatchedLater, int &Region);
    // The work of Next.
    void Step();
    void NextProcedure();
    void AndSymbolProc();
    void AnsiCProc();
    void CRProc();
    void EqualProc();
    void GreaterProc();
    void IdentProc();
    void LFProc();
    void LowerProc();
    void MinusProc();
    void MultiplyProc();
    void NotSymbolProc();
    void NullProc();
    void NumberProc();
    void OrSymbolProc();
    void PlusProc();
    void PoundProc();
    void RemainderSymbolProc();
    void SlashProc();
    void SpaceProc();
    void String34Proc();
    void String39Proc();
    void String96Proc();
    void StringProc();
    void SymbolProc();
    void UnknownProc();
    void VariableProc();
    void VarExpansionProc();
    void XOrSymbolProc();
    bool IsEscaped() const;
    // A one- or two-character symbol: two when the next character is one of ASecond.
    void TwoCharSymbol(const char16_t *ASecond);

    php::TRangeState fRange = php::rsUnKnown;
    php::TtkTokenKind FTokenID = php::tkNull;
    TLexHighlighterAttributes *fCommentAttri = nullptr;
    TLexHighlighterAttributes *fIdentifierAttri = nullptr;
    TLexHighlighterAttributes *fKeyAttri = nullptr;
    TLexHighlighterAttributes *fNumberAttri = nullptr;
    TLexHighlighterAttributes *fSpaceAttri = nullptr;
    TLexHighlighterAttributes *fStringAttri = nullptr;
    TLexHighlighterAttributes *fSymbolAttri = nullptr;
    TLexHighlighterAttributes *fVariableAttri = nullptr;
    TLexHighlighterAttributes *fDocumentAttri = nullptr;
    // The attribute of each token kind (null for tkNull).
    std::array<TLexHighlighterAttributes *, php::tkVariable + 1> fTokenAttributes{};
};

} // namespace lexedit
