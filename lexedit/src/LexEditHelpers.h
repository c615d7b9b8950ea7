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

// V cut to the range of int.
inline int ClampToInt(int64_t V) {
    return int(std::clamp<int64_t>(V, INT_MIN, INT_MAX));
}

} // namespace lexedit
