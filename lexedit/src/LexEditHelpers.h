#pragma once
// Small text helpers shared by the editor library's implementation files.

#include <QStringView>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace lexedit {

// Whether S holds a surrogate pair (a high half followed by a low half) starting at index I.
inline bool IsSurrogatePairAt(QStringView S, qsizetype I) {
    return I >= 0 && I + 1 < S.size() && S[I].isHighSurrogate() && S[I + 1].isLowSurrogate();
}

// The index of the first code unit above 255 in S, or its size. Blocks of 16 units are tested
// at once (the compiler makes vector code of the inner loop): long Latin-1 lines pass quickly.
inline qsizetype IndexOfFirstAbove255(QStringView S) {
    const char16_t *P = S.utf16();
    const qsizetype n = S.size();
    qsizetype i = 0;
    for (; i + 16 <= n; i += 16) {
        char16_t Any = 0;
        for (int k = 0; k < 16; ++k)
            Any |= P[i + k];
        if (Any > 255) break;
    }
    for (; i < n; ++i)
        if (P[i] > 255) return i;
    return n;
}

// V cut to the range of int.
inline int ClampToInt(int64_t V) {
    return int(std::clamp<int64_t>(V, INT_MIN, INT_MAX));
}

} // namespace lexedit
