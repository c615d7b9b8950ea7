// SPDX-License-Identifier: MIT
#pragma once
// A fixed keyword table for a highlighter's scanner. Every keyword owns one slot of a table
// indexed by a multiplicative hash of its characters, so looking up the word at a scan position
// is one pass over its characters, one slot read and at most one comparison: no call through a
// pointer, no allocation. The table is built at compile time. Keywords are compared exactly, so a
// case-insensitive highlighter looks up in its lowered line and keeps its keywords in lower case.

#include <array>
#include <cstddef>
#include <cstdint>

namespace lexedit {

// TTraits supplies:
//   TKind                  the highlighter's token kind;
//   KeyKind, OtherKind     the kind of a keyword and of any other word;
//   HashFactor, CharFactor the hash h = h * HashFactor + c * CharFactor over the word's code
//                          units, taken modulo SlotCount;
//   IsWordChar(char16_t)   the characters a word is made of: the scan stops at the first other.
// A keyword holding a character that is no word character is kept but never found: its hash is
// taken over all its characters, while the scan stops before that character.
template <typename TTraits, size_t WordCount, size_t SlotCount> class TLexKeywordTable {
    static_assert(WordCount > 0 && WordCount <= 32767, "slots hold a keyword's index as int16_t");

public:
    using Traits = TTraits;
    using TKind = typename TTraits::TKind;
    using TWords = std::array<const char16_t *, WordCount>;

    struct TMatch {
        TKind Kind;
        int Length; // the word's code units (0 when the scan position holds no word character)
    };

    constexpr explicit TLexKeywordTable(const TWords &AWords) : fWords(AWords) {
        for (size_t s = 0; s < SlotCount; ++s)
            fSlots[s] = -1;
        for (size_t i = 0; i < WordCount; ++i) {
            uint32_t h = 0;
            size_t Len = 0;
            for (const char16_t *p = fWords[i]; *p; ++p, ++Len)
                h = h * TTraits::HashFactor + uint32_t(*p) * TTraits::CharFactor;
            int16_t &Slot = fSlots[h % SlotCount];
            if (Slot >= 0) ++fCollisions;
            Slot = int16_t(i);
            fLengths[i] = int(Len);
        }
    }

    // The word that starts at AStr (which ends with a character that is no word character, such
    // as the terminating NUL of a scanned line) and its kind.
    TMatch Find(const char16_t *AStr) const {
        uint32_t h = 0;
        const char16_t *p = AStr;
        while (TTraits::IsWordChar(*p)) {
            h = h * TTraits::HashFactor + uint32_t(*p) * TTraits::CharFactor;
            ++p;
        }
        const int Len = int(p - AStr);
        const int i = fSlots[h % SlotCount];
        if (i < 0 || fLengths[size_t(i)] != Len) return {TTraits::OtherKind, Len};
        const char16_t *w = fWords[size_t(i)];
        for (int k = 0; k < Len; ++k)
            if (w[k] != AStr[k]) return {TTraits::OtherKind, Len};
        return {TTraits::KeyKind, Len};
    }

    static constexpr size_t Count() { return WordCount; }
    constexpr const char16_t *Word(size_t AIndex) const { return fWords[AIndex]; }
    // True when no two keywords share a slot (a keyword that lost its slot would never be found).
    constexpr bool Distinct() const { return fCollisions == 0; }

private:
    TWords fWords;
    std::array<int, WordCount> fLengths{};
    std::array<int16_t, SlotCount> fSlots{};
    int fCollisions = 0;
};

} // namespace lexedit
