// SPDX-License-Identifier: MIT
#pragma once
// Small text helpers shared by the editor library's implementation files.

#include <QStringView>

#include <algorithm>
#include <climits>
#include <cstdint>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

namespace lexedit {

// Whether S holds a surrogate pair (a high half followed by a low half) starting at index I.
inline bool IsSurrogatePairAt(QStringView S, qsizetype I) {
    return I >= 0 && I + 1 < S.size() && S[I].isHighSurrogate() && S[I + 1].isLowSurrogate();
}

// The index of the first code unit above 255 in S, or its size. Blocks of 16 units are tested
// at once, so that long Latin-1 lines pass quickly.
inline qsizetype IndexOfFirstAbove255(QStringView S) {
    const char16_t *P = S.utf16();
    const qsizetype n = S.size();
    qsizetype i = 0;
#ifdef __SSE2__
    const __m128i High = _mm_set1_epi16(short(0xFF00));
    const __m128i Zero = _mm_setzero_si128();
    for (; i + 16 <= n; i += 16) {
        const __m128i A = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + i));
        const __m128i B = _mm_loadu_si128(reinterpret_cast<const __m128i *>(P + i + 8));
        const __m128i Any = _mm_and_si128(_mm_or_si128(A, B), High);
        if (_mm_movemask_epi8(_mm_cmpeq_epi16(Any, Zero)) != 0xFFFF) break;
    }
#endif
    for (; i < n; ++i)
        if (P[i] > 255) return i;
    return n;
}

// V cut to the range of int.
inline int ClampToInt(int64_t V) {
    return int(std::clamp<int64_t>(V, INT_MIN, INT_MAX));
}

} // namespace lexedit
