// SPDX-License-Identifier: MIT
// The PHP highlighter.

#include "lexedit/LexHighlighterPHP.h"

#include "LexHighlighterKeywords.h"

#include <QChar>

namespace lexedit {

using namespace php;

namespace php {

namespace {

constexpr TKeywordTable::TWords KeyWords = {u"__autoload",
                                            u"__call",
                                            u"__callstatic",
                                            u"__class__",
                                            u"__clone",
                                            u"__construct",
                                            u"__debuginfo",
                                            u"__destruct",
                                            u"__dir__",
                                            u"__file__",
                                            u"__function__",
                                            u"__get",
                                            u"__halt_compiler",
                                            u"__invoke",
                                            u"__isset",
                                            u"__line__",
                                            u"__method__",
                                            u"__namespace__",
                                            u"__set",
                                            u"__set_state",
                                            u"__sleep",
                                            u"__tostring",
                                            u"__trait__",
                                            u"__unset",
                                            u"__wakeup",
                                            u"abstract",
                                            u"and",
                                            u"array",
                                            u"as",
                                            u"binary",
                                            u"bool",
                                            u"boolean",
                                            u"break",
                                            u"callable",
                                            u"case",
                                            u"catch",
                                            u"cfunction",
                                            u"class",
                                            u"clone",
                                            u"const",
                                            u"continue",
                                            u"declare",
                                            u"default",
                                            u"die",
                                            u"do",
                                            u"double",
                                            u"echo",
                                            u"else",
                                            u"elseif",
                                            u"empty",
                                            u"enddeclare",
                                            u"endfor",
                                            u"endforeach",
                                            u"endif",
                                            u"endswitch",
                                            u"endwhile",
                                            u"eval",
                                            u"exception",
                                            u"exit",
                                            u"extends",
                                            u"false",
                                            u"final",
                                            u"finally",
                                            u"float",
                                            u"for",
                                            u"foreach",
                                            u"function",
                                            u"global",
                                            u"goto",
                                            u"if",
                                            u"implements",
                                            u"include",
                                            u"include_once",
                                            u"instanceof",
                                            u"insteadof",
                                            u"int",
                                            u"integer",
                                            u"interface",
                                            u"isset",
                                            u"list",
                                            u"mixed",
                                            u"namespace",
                                            u"new",
                                            u"null",
                                            u"object",
                                            u"old_function",
                                            u"or",
                                            u"parent",
                                            u"print",
                                            u"private",
                                            u"protected",
                                            u"public",
                                            u"real",
                                            u"require",
                                            u"require_once",
                                            u"return",
                                            u"self",
                                            u"static",
                                            u"string",
                                            u"switch",
                                            u"throw",
                                            u"trait",
                                            u"true",
                                            u"try",
                                            u"unset",
                                            u"use",
                                            u"var",
                                            u"void",
                                            u"while",
                                            u"xor",
                                            u"yield"};

} // namespace

constexpr TKeywordTable Keywords(KeyWords);
static_assert(Keywords.Distinct(), "every reserved word must own its slot");

} // namespace php

namespace {

// The symbols that are a token of one character whatever follows them.
bool IsOneCharSymbol(char16_t c) {
    switch (c) {
    case u'(':
    case u')':
    case u',':
    case u'.':
    case u':':
    case u';':
    case u'?':
    case u'@':
    case u'[':
    case u'\\':
    case u']':
    case u'{':
    case u'}':
    case u'~':
        return true;
    default:
        return false;
    }
}

// The characters that make a symbol of two characters after c ("+=", "->" …), or null when c
// does not start one.
const char16_t *SecondSymbolChars(char16_t c) {
    switch (c) {
    case u'=':
    case u'>':
        return u"=>";
    case u'&':
        return u"&=";
    case u'-':
        return u"-=>";
    case u'|':
        return u"=|";
    case u'+':
        return u"+=";
    case u'!':
    case u'%':
    case u'*':
    case u'^':
        return u"=";
    default:
        return nullptr;
    }
}

bool IsNumberChar(char16_t c) {
    return c == u'-' || c == u'.' || (c >= u'0' && c <= u'9') || (c >= u'A' && c <= u'F') ||
           (c >= u'a' && c <= u'f') || c == u'L' || c == u'l' || c == u'X' || c == u'x';
}

const QString PHPFilter = QStringLiteral("PHP Files (*.php;*.php3;*.phtml;*.inc)|*.php;*.php3;*.phtml;*.inc");

[[maybe_unused]] const bool Registered = (RegisterPlaceableHighlighter<TLexPHPLex>(), true);

} // namespace

TLexPHPLex::TLexPHPLex(QObject *AOwner) : TLexCustomCodeFoldingHighlighter(AOwner) {
    SetCaseSensitive(false);
    fCommentAttri = new TLexHighlighterAttributes(QStringLiteral("Comment"), QStringLiteral("Comment"));
    fCommentAttri->SetStyle({fsItalic});
    AddAttribute(fCommentAttri);
    fDocumentAttri =
        new TLexHighlighterAttributes(QStringLiteral("Documentation"), QStringLiteral("Documentation"));
    fDocumentAttri->SetStyle({fsItalic});
    AddAttribute(fDocumentAttri);
    fIdentifierAttri =
        new TLexHighlighterAttributes(QStringLiteral("Identifier"), QStringLiteral("Identifier"));
    AddAttribute(fIdentifierAttri);
    fKeyAttri =
        new TLexHighlighterAttributes(QStringLiteral("ReservedWord"), QStringLiteral("Reserved Word"));
    fKeyAttri->SetStyle({fsBold});
    AddAttribute(fKeyAttri);
    fNumberAttri = new TLexHighlighterAttributes(QStringLiteral("Number"), QStringLiteral("Number"));
    AddAttribute(fNumberAttri);
    fSpaceAttri = new TLexHighlighterAttributes(QStringLiteral("Space"), QStringLiteral("Space"));
    AddAttribute(fSpaceAttri);
    fStringAttri = new TLexHighlighterAttributes(QStringLiteral("String"), QStringLiteral("String"));
    AddAttribute(fStringAttri);
    fSymbolAttri = new TLexHighlighterAttributes(QStringLiteral("Symbol"), QStringLiteral("Symbol"));
    AddAttribute(fSymbolAttri);
    fVariableAttri = new TLexHighlighterAttributes(QStringLiteral("Variable"), QStringLiteral("Variable"));
    AddAttribute(fVariableAttri);
    SetAttributesOnChange([this](QObject *Sender) { DefHighlightChange(Sender); });
    fTokenAttributes[tkSymbol] = fSymbolAttri;
    fTokenAttributes[tkKey] = fKeyAttri;
    fTokenAttributes[tkComment] = fCommentAttri;
    fTokenAttributes[tkDocument] = fDocumentAttri;
    fTokenAttributes[tkIdentifier] = fIdentifierAttri;
    fTokenAttributes[tkUnknown] = fIdentifierAttri;
    fTokenAttributes[tkNumber] = fNumberAttri;
    fTokenAttributes[tkSpace] = fSpaceAttri;
    fTokenAttributes[tkString] = fStringAttri;
    fTokenAttributes[tkVariable] = fVariableAttri;
    fDefaultFilter = PHPFilter;
    fRange = rsUnKnown;
}

TLexPHPLex::~TLexPHPLex() = default;

QString TLexPHPLex::GetLanguageName() {
    return QStringLiteral("PHP");
}
QString TLexPHPLex::GetFriendlyLanguageName() {
    return QStringLiteral("PHP");
}

TLexHighlighterAttributes *TLexPHPLex::GetDefaultAttribute(int Index) const {
    switch (Index) {
    case LEX_ATTR_COMMENT:
        return fCommentAttri;
    case LEX_ATTR_IDENTIFIER:
        return fIdentifierAttri;
    case LEX_ATTR_KEYWORD:
        return fKeyAttri;
    case LEX_ATTR_STRING:
        return fStringAttri;
    case LEX_ATTR_WHITESPACE:
        return fSpaceAttri;
    case LEX_ATTR_SYMBOL:
        return fSymbolAttri;
    default:
        return nullptr;
    }
}

void TLexPHPLex::SetRange(TLexRange Value) {
    // A value the scanner never produces (NullRange included) starts from the initial state.
    fRange = (Value >= rsUnKnown && Value <= rsVarExpansion) ? TRangeState(Value) : rsUnKnown;
}

bool TLexPHPLex::IsFilterStored() const {
    return fDefaultFilter != PHPFilter;
}

QString TLexPHPLex::GetSampleSource() const {
    return QStringLiteral("// Syntax highlighting\r\n"
                          "function printNumber()\r\n"
                          "{\r\n"
                          "  $number = 1234;\r\n"
                          "  print \"The number is $number\";\r\n"
                          "  for ($i = 0; $i <= $number; $i++)\r\n"
                          "  {\r\n"
                          "    $x++;\r\n"
                          "    $x--;\r\n"
                          "    $x += 1.0;\r\n"
                          "  }\r\n"
                          "}");
}

bool TLexPHPLex::IsIdentChar(QChar AChar) const {
    return IsIdentCode(AChar.unicode());
}

bool TLexPHPLex::IsWordBreakChar(QChar AChar) const {
    const char16_t c = AChar.unicode();
    return c <= 35 || (c >= 37 && c <= 47) || (c >= 58 && c <= 64) || (c >= 91 && c <= 94) || c == 96 ||
           (c >= 123 && c <= 126) || c == 167;
}

// ---------------------------------------------------------------------------------------------
// Scanning

void TLexPHPLex::NextToEol() {
    while (!GetEol())
        Next();
    ReleaseLargeLineCopy();
}

inline void TLexPHPLex::Step() {
    // A zero-length token at the position where the last one ended is skipped.
    do {
        fTokenPos = Run;
        if (Run > fLineLen) { // already past the end: stay there
            FTokenID = tkNull;
            break;
        }
        switch (fRange) {
        case rsString39:
        case rsString34:
            StringProc();
            break;
        case rsComment:
        case rsDocument:
            AnsiCProc();
            break;
        case rsVarExpansion:
            VarExpansionProc();
            break;
        default:
            // A grave-accent string does not continue on the next line: its range is dropped
            // when the next token starts. The end-of-line token of the line that opened it keeps
            // it, so that the line's stored range says the string is open.
            if (!(fRange == rsString96 && Run == fLineLen && Run > 0)) fRange = rsUnKnown;
            NextProcedure();
            break;
        }
    } while (Run == fOldRun && !GetEol());
    TLexCustomHighlighter::Next();
}

void TLexPHPLex::Next() {
    Step();
}

namespace {

// The end of the symbol at P: one character, or two when the second is one of ASecond.
inline int SymbolEnd(const char16_t *P, int R, const char16_t *ASecond) {
    const char16_t Next = P[R + 1];
    if (Next != 0)
        for (const char16_t *q = ASecond; *q; ++q)
            if (*q == Next) return R + 2;
    return R + 1;
}

} // namespace

int TLexPHPLex::NextTokens(TLexTokenSpan *ATokens, int AMax) {
    // The loop of ReadTokens. Outside strings and comments the common tokens (blanks, words,
    // variables, numbers, symbols, the end of the line) are scanned right here, with the
    // position in locals, as their procedures would scan them; every other token takes Step.
    // A display form with wide glyphs keeps to Step, which moves the display position along.
    int n = 0;
    if (fExpandedLine != nullptr || fOldRun != 0) {
        while (n < AMax && !GetEol()) {
            TLexTokenSpan &T = ATokens[n++];
            T.Pos = fTokenPos;
            T.Attri = GetTokenAttribute();
            Step();
            T.End = GetEol() ? fLineLen : fTokenPos;
        }
        return n;
    }
    const char16_t *const L = fLine;
    const int Len = fLineLen;
    int R = Run;
    int Pos = fTokenPos;
    TtkTokenKind Id = FTokenID;
    bool Scanned = false;
    while (n < AMax && R <= Len) {
        TLexTokenSpan &T = ATokens[n++];
        T.Pos = Pos;
        T.Attri = fTokenAttributes[Id];
        const char16_t c = L[R];
        bool Fast = fRange == rsUnKnown;
        if (Fast) {
            const int Start = R;
            if (R == Len) {
                Id = tkNull; // the NUL after the line
                ++R;
            } else if ((c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z') || c == u'_') {
                const auto Word = Keywords.Find(L + R);
                Id = Word.Kind;
                R += Word.Length;
            } else if (c == u' ' || c == u'\t') {
                Id = tkSpace;
                ++R;
                while (L[R] <= 32 && !IsLineEnd(R))
                    ++R;
            } else if (c == u'$') {
                ++R;
                if (IsIdentCode(L[R])) {
                    Id = tkVariable;
                    while (IsIdentCode(L[R]))
                        ++R;
                } else {
                    Id = tkSymbol;
                }
            } else if (c >= u'0' && c <= u'9') {
                Id = tkNumber;
                ++R;
                while (IsNumberChar(L[R]) && !(L[R] == u'.' && L[R + 1] == u'.'))
                    ++R;
            } else if (IsOneCharSymbol(c)) {
                Id = tkSymbol;
                ++R;
            } else if (const char16_t *Second = SecondSymbolChars(c)) {
                Id = tkSymbol;
                R = SymbolEnd(L, R, Second);
            } else {
                Id = tkSymbol;
                switch (c) {
                case u'<':
                    R += L[R + 1] == u'<' ? (L[R + 2] == u'=' ? 3 : 2) : L[R + 1] == u'=' ? 2 : 1;
                    break;
                case u'/':
                    if (L[R + 1] == u'/') {
                        Id = tkComment; // to the end of the line
                        R += 2;
                        while (!IsLineEnd(R))
                            ++R;
                    } else if (L[R + 1] != u'*') {
                        R = SymbolEnd(L, R, u"=");
                    } else {
                        Fast = false; // a block comment
                    }
                    break;
                default:
                    Fast = false; // strings, comments, line breaks, other characters
                    break;
                }
            }
            if (Fast) {
                Pos = Start;
                Scanned = true;
            }
        }
        if (!Fast) {
            Run = R;
            fTokenPos = Pos;
            FTokenID = Id;
            Step();
            R = Run;
            Pos = fTokenPos;
            Id = FTokenID;
        }
        T.End = R > Len ? Len : Pos;
    }
    Run = R;
    fTokenPos = Pos;
    FTokenID = Id;
    if (Scanned) fExpandedTokenPos = ExpandedRun; // as Next does after each token
    return n;
}

void TLexPHPLex::NextProcedure() {
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
    case u'!':
        NotSymbolProc();
        break;
    case u'"':
        String34Proc();
        break;
    case u'#':
        PoundProc();
        break;
    case u'$':
        VariableProc();
        break;
    case u'%':
        RemainderSymbolProc();
        break;
    case u'&':
        AndSymbolProc();
        break;
    case u'\'':
        String39Proc();
        break;
    case u'*':
        MultiplyProc();
        break;
    case u'+':
        PlusProc();
        break;
    case u'-':
        MinusProc();
        break;
    case u'/':
        SlashProc();
        break;
    case u'<':
        LowerProc();
        break;
    case u'=':
        EqualProc();
        break;
    case u'>':
        GreaterProc();
        break;
    case u'^':
        XOrSymbolProc();
        break;
    case u'`':
        String96Proc();
        break;
    case u'|':
        OrSymbolProc();
        break;
    default:
        if (IsOneCharSymbol(c))
            SymbolProc();
        else if (c <= 32)
            SpaceProc();
        else if (c >= u'0' && c <= u'9')
            NumberProc();
        else if ((c >= u'A' && c <= u'Z') || (c >= u'a' && c <= u'z') || c == u'_')
            IdentProc();
        else
            UnknownProc(); // 127 and above
        break;
    }
}

void TLexPHPLex::TwoCharSymbol(const char16_t *ASecond) {
    FTokenID = tkSymbol;
    const char16_t Next = fLine[Run + 1];
    ++Run;
    if (Next != 0)
        for (const char16_t *p = ASecond; *p; ++p)
            if (*p == Next) {
                ++Run;
                break;
            }
}

void TLexPHPLex::AndSymbolProc() {
    TwoCharSymbol(SecondSymbolChars(u'&'));
}
void TLexPHPLex::EqualProc() {
    TwoCharSymbol(SecondSymbolChars(u'='));
}
void TLexPHPLex::GreaterProc() {
    TwoCharSymbol(SecondSymbolChars(u'>'));
}
void TLexPHPLex::MinusProc() {
    TwoCharSymbol(SecondSymbolChars(u'-'));
}
void TLexPHPLex::MultiplyProc() {
    TwoCharSymbol(SecondSymbolChars(u'*'));
}
void TLexPHPLex::NotSymbolProc() {
    TwoCharSymbol(SecondSymbolChars(u'!'));
}
void TLexPHPLex::OrSymbolProc() {
    TwoCharSymbol(SecondSymbolChars(u'|'));
}
void TLexPHPLex::PlusProc() {
    TwoCharSymbol(SecondSymbolChars(u'+'));
}
void TLexPHPLex::RemainderSymbolProc() {
    TwoCharSymbol(SecondSymbolChars(u'%'));
}
void TLexPHPLex::XOrSymbolProc() {
    TwoCharSymbol(SecondSymbolChars(u'^'));
}

void TLexPHPLex::CRProc() {
    FTokenID = tkSpace;
    ++Run;
    if (fLine[Run] == 10) ++Run;
}

void TLexPHPLex::LFProc() {
    FTokenID = tkSpace;
    ++Run;
}

void TLexPHPLex::NullProc() {
    FTokenID = tkNull;
    ++Run;
}

void TLexPHPLex::SymbolProc() {
    FTokenID = tkSymbol;
    ++Run;
}

void TLexPHPLex::UnknownProc() {
    FTokenID = tkUnknown;
    ++Run;
}

void TLexPHPLex::LowerProc() {
    FTokenID = tkSymbol;
    if (fLine[Run + 1] == u'<')
        Run += fLine[Run + 2] == u'=' ? 3 : 2;
    else if (fLine[Run + 1] == u'=')
        Run += 2;
    else
        ++Run;
}

void TLexPHPLex::SpaceProc() {
    FTokenID = tkSpace;
    ++Run;
    while (fLine[Run] <= 32 && !IsLineEnd(Run))
        ++Run;
}

void TLexPHPLex::IdentProc() {
    // The word ends at the first character that is no identifier character.
    const auto Word = Keywords.Find(fLine + Run);
    FTokenID = Word.Kind;
    Run += Word.Length;
}

void TLexPHPLex::VariableProc() {
    if (IsIdentCode(fLine[Run + 1])) {
        FTokenID = tkVariable;
        ++Run;
        while (IsIdentCode(fLine[Run]))
            ++Run;
    } else {
        FTokenID = tkSymbol;
        ++Run;
    }
}

void TLexPHPLex::NumberProc() {
    FTokenID = tkNumber;
    ++Run;
    while (IsNumberChar(fLine[Run])) {
        if (fLine[Run] == u'.' && fLine[Run + 1] == u'.') break;
        ++Run;
    }
}

void TLexPHPLex::PoundProc() {
    FTokenID = tkComment;
    do
        ++Run;
    while (!IsLineEnd(Run));
}

void TLexPHPLex::SlashProc() {
    switch (fLine[Run + 1]) {
    case u'/':
        FTokenID = tkComment;
        Run += 2;
        while (!IsLineEnd(Run))
            ++Run;
        break;
    case u'*':
        if (fLine[Run + 2] == u'*' && fLine[Run + 3] != u'/') {
            fRange = rsDocument;
            FTokenID = tkDocument;
        } else {
            fRange = rsComment;
            FTokenID = tkComment;
        }
        Run += 2;
        while (!IsLineEnd(Run)) {
            if (fLine[Run] == u'*' && fLine[Run + 1] == u'/') {
                Run += 2;
                fRange = rsUnKnown;
                break;
            }
            ++Run;
        }
        break;
    case u'=':
        FTokenID = tkSymbol;
        Run += 2;
        break;
    default:
        FTokenID = tkSymbol;
        ++Run;
        break;
    }
}

void TLexPHPLex::AnsiCProc() {
    FTokenID = fRange == rsComment ? tkComment : tkDocument;
    switch (fLine[Run]) {
    case 0:
        NullProc();
        return;
    case 10:
        LFProc();
        return;
    case 13:
        CRProc();
        return;
    default:
        break;
    }
    while (!IsLineEnd(Run)) {
        if (fLine[Run] == u'*' && fLine[Run + 1] == u'/') {
            Run += 2;
            fRange = rsUnKnown;
            break;
        }
        ++Run;
    }
}

void TLexPHPLex::String34Proc() {
    fRange = rsString34;
    ++Run;
    StringProc();
}

void TLexPHPLex::String39Proc() {
    fRange = rsString39;
    ++Run;
    StringProc();
}

void TLexPHPLex::String96Proc() {
    fRange = rsString96;
    ++Run;
    StringProc();
}

bool TLexPHPLex::IsEscaped() const {
    // An odd number of backslashes directly before Run, counted back to the line start.
    int i = Run - 1;
    while (i >= 0 && fLine[i] == u'\\')
        --i;
    return ((Run - i - 1) & 1) == 1;
}

void TLexPHPLex::StringProc() {
    if (IsLineEnd(Run) && fTokenPos == Run) {
        NextProcedure();
        return;
    }
    FTokenID = tkString;
    const char16_t Close = fRange == rsString39 ? u'\'' : fRange == rsString34 ? u'"' : u'`';
    while (!IsLineEnd(Run)) {
        const char16_t c = fLine[Run];
        if (c == Close && !IsEscaped()) break;
        if (fRange == rsString34 && c == u'$' && (fLine[Run + 1] == u'{' || IsIdentCode(fLine[Run + 1]))) {
            // The expansion starts at a "{" just before the "$" (never before this token).
            if (Run > 1 && fLine[Run - 1] == u'{' && Run > fTokenPos) --Run;
            if (!IsEscaped()) {
                fRange = rsVarExpansion; // the string token ends before the expansion
                return;
            }
            if (fLine[Run] == u'{') ++Run;
        }
        ++Run;
    }
    if (fLine[Run] == Close) fRange = rsUnKnown;
    if (!IsLineEnd(Run)) ++Run;
}

void TLexPHPLex::VarExpansionProc() {
    // The scan must stand at "$" or at "{$"; a range restored onto a line that does not (an empty
    // line, say) resumes the double-quoted string instead.
    const char16_t c = fLine[Run];
    if (!(c == u'$' || (c == u'{' && fLine[Run + 1] == u'$'))) {
        fRange = rsString34;
        StringProc();
        return;
    }
    fRange = rsString34;
    FTokenID = tkVariable;
    bool Braced = true;
    if (c == u'{') {
        Run += 2; // complex form "{$...}"
    } else {
        ++Run;
        if (fLine[Run] == u'{')
            ++Run; // brace form "${...}"
        else
            Braced = false;
    }
    if (Braced) {
        int Depth = 1;
        while (!IsLineEnd(Run)) {
            if (fLine[Run] == u'}') {
                if (--Depth == 0) {
                    ++Run;
                    break;
                }
            } else if (fLine[Run] == u'{') {
                ++Depth;
            }
            ++Run;
        }
        return;
    }
    // Simple form: the name, then any "[...]" and "->name" that complete it.
    while (IsIdentCode(fLine[Run]))
        ++Run;
    int t = Run;
    int b = 0;
    while (!IsLineEnd(t)) {
        if (fLine[t] == u'[') {
            ++t;
            if (fLine[t] == u'\'') {
                ++t;
                while (!IsLineEnd(t) && fLine[t] != u'\'')
                    ++t;
                if (fLine[t] == u'\'' && fLine[t + 1] == u']') {
                    t += 2;
                    Run = t;
                    continue;
                }
                break;
            }
            ++b;
        } else if (fLine[t] == u'-' && fLine[t + 1] == u'>') {
            t += 2;
        } else {
            break;
        }
        if (!IsIdentCode(fLine[t])) break;
        while (IsIdentCode(fLine[t]))
            ++t;
        while (fLine[t] == u']' && b > 0) {
            --b;
            ++t;
        }
        if (b == 0) Run = t;
    }
}

} // namespace lexedit
