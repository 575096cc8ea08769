// Sets over an enumeration: bit n stands for the member with ordinal n (up to 64 members).
#pragma once

#include <cstdint>
#include <initializer_list>

namespace orvel {

template <class E, int Size> class TSet {
    static_assert(Size > 0 && Size <= 64, "a set holds at most 64 members");

public:
    constexpr TSet() = default;
    constexpr TSet(std::initializer_list<E> members) {
        for (E m : members)
            Include(m);
    }
    static constexpr TSet FromMask(uint64_t mask) {
        TSet s;
        s.FBits = mask & AllBits();
        return s;
    }

    constexpr bool Contains(E m) const { return (FBits >> Ordinal(m)) & 1u; }
    constexpr TSet& Include(E m) {
        FBits |= uint64_t(1) << Ordinal(m);
        return *this;
    }
    constexpr TSet& Exclude(E m) {
        FBits &= ~(uint64_t(1) << Ordinal(m));
        return *this;
    }
    constexpr bool Empty() const { return FBits == 0; }
    constexpr uint64_t Mask() const { return FBits; }
    static constexpr int Capacity() { return Size; }

    friend constexpr TSet operator+(TSet a, TSet b) { return FromMask(a.FBits | b.FBits); }
    friend constexpr TSet operator-(TSet a, TSet b) { return FromMask(a.FBits & ~b.FBits); }
    friend constexpr TSet operator*(TSet a, TSet b) { return FromMask(a.FBits & b.FBits); }
    friend constexpr bool operator==(TSet a, TSet b) { return a.FBits == b.FBits; }

private:
    static constexpr unsigned Ordinal(E m) { return static_cast<unsigned>(m); }
    static constexpr uint64_t AllBits() {
        return Size == 64 ? ~uint64_t(0) : (uint64_t(1) << Size) - 1;
    }
    uint64_t FBits = 0;
};

} // namespace orvel
