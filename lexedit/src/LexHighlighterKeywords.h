// SPDX-License-Identifier: MIT
#pragma once
// The word characters and keyword tables of the PHP and HTML highlighters.

#include "LexKeywordTable.h"
#include "lexedit/LexHighlighterHtml.h"
#include "lexedit/LexHighlighterPHP.h"

#include <QChar>

namespace lexedit {

namespace php {

// Identifier characters of the ASCII range: letters, digits, "$" and "_".
constexpr std::array<bool, 128> MakeAsciiIdent() {
    std::array<bool, 128> t{};
    for (int c = '0'; c <= '9'; ++c)
        t[size_t(c)] = true;
    for (int c = 'A'; c <= 'Z'; ++c)
        t[size_t(c)] = true;
    for (int c = 'a'; c <= 'z'; ++c)
        t[size_t(c)] = true;
    t['$'] = true;
    t['_'] = true;
    return t;
}
inline constexpr std::array<bool, 128> AsciiIdent = MakeAsciiIdent();

// Letters and digits of any script, "$" and "_".
inline bool IsIdentCode(char16_t c) {
    return c < 128 ? AsciiIdent[c] : QChar::isLetterOrNumber(char32_t(c));
}

struct TKeywordTraits {
    using TKind = TtkTokenKind;
    static constexpr TKind KeyKind = tkKey;
    static constexpr TKind OtherKind = tkIdentifier;
    static constexpr uint32_t HashFactor = 155;
    static constexpr uint32_t CharFactor = 90;
    static bool IsWordChar(char16_t c) { return IsIdentCode(c); }
};

// The reserved words, in lower case.
using TKeywordTable = TLexKeywordTable<TKeywordTraits, 111, 439>;
extern const TKeywordTable Keywords;

} // namespace php

namespace html {

// Characters of a tag name: "/", digits, letters and "_".
inline bool IsIdentCode(char16_t c) {
    return (c >= u'/' && c <= u'9') || (c >= u'A' && c <= u'Z') || c == u'_' || (c >= u'a' && c <= u'z');
}

struct TKeywordTraits {
    using TKind = TtkTokenKind;
    static constexpr TKind KeyKind = tkKey;
    static constexpr TKind OtherKind = tkUndefKey;
    static constexpr uint32_t HashFactor = 627;
    static constexpr uint32_t CharFactor = 829;
    static bool IsWordChar(char16_t c) { return IsIdentCode(c); }
};

// The tag names, opening and closing forms, in lower case.
using TKeywordTable = TLexKeywordTable<TKeywordTraits, 257, 2179>;
extern const TKeywordTable TagNames;

} // namespace html

} // namespace lexedit
