// SPDX-License-Identifier: MIT
#pragma once
// TSet<E>: a set of the ordinals of an unscoped enumeration, held as a bitmask (bit = ordinal).

#include <cstdint>
#include <initializer_list>
#include <type_traits>

namespace lexedit {

template <typename E, typename Mask = uint64_t> class TSet {
    static_assert(std::is_enum_v<E>, "TSet holds enumeration values");

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> AValues) {
        for (E v : AValues)
            FMask |= Bit(v);
    }
    static constexpr TSet FromMask(Mask AMask) {
        TSet s;
        s.FMask = AMask;
        return s;
    }

    constexpr Mask ToMask() const { return FMask; }
    constexpr bool Contains(E AValue) const { return (FMask & Bit(AValue)) != 0; }
    constexpr bool Empty() const { return FMask == 0; }
    constexpr TSet &Include(E AValue) {
        FMask |= Bit(AValue);
        return *this;
    }
    constexpr TSet &Exclude(E AValue) {
        FMask &= ~Bit(AValue);
        return *this;
    }

    constexpr TSet operator+(TSet AOther) const { return FromMask(FMask | AOther.FMask); }
    constexpr TSet operator-(TSet AOther) const { return FromMask(FMask & ~AOther.FMask); }
    constexpr TSet operator*(TSet AOther) const { return FromMask(FMask & AOther.FMask); }
    constexpr TSet &operator+=(TSet AOther) { return *this = *this + AOther; }
    constexpr TSet &operator-=(TSet AOther) { return *this = *this - AOther; }
    constexpr TSet &operator*=(TSet AOther) { return *this = *this * AOther; }
    constexpr bool operator==(TSet AOther) const { return FMask == AOther.FMask; }
    constexpr bool operator!=(TSet AOther) const { return FMask != AOther.FMask; }
    // Subset test: every member of this set is in AOther.
    constexpr bool operator<=(TSet AOther) const { return (FMask & ~AOther.FMask) == 0; }

private:
    static constexpr Mask Bit(E AValue) { return Mask(1) << static_cast<unsigned>(AValue); }
    Mask FMask = 0;
};

} // namespace lexedit
