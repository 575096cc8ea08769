// TIntegerHandleMap: the handles of the keys of one integer field, by value, in one flat table.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel {

// Maps integer key values to record handles (never 0) with open addressing and linear probing.
// A lookup touches one slot, or a few neighbours, instead of a bucket and a node of its own.
// Values are placed in runs of eight: the run is scattered by a multiplicative hash and a value
// keeps its place inside it, so records read in key order find their handles side by side,
// while keys with a stride (every 1024th value, say) still spread over the whole table.
class TIntegerHandleMap {
public:
    // The handle of value, or 0 when it has none.
    int64_t Find(int64_t value) const {
        if (FSlots.empty()) return 0;
        for (std::size_t i = Home(value);; i = (i + 1) & Mask()) {
            const TSlot& slot = FSlots[i];
            if (slot.Handle == 0) return 0;
            if (slot.Value == value) return slot.Handle;
        }
    }

    // Gives value its handle (not 0); a value that has one keeps it.
    void Add(int64_t value, int64_t handle) {
        if ((FCount + 1) * 2 > FSlots.size()) Grow();
        if (Place(value, handle)) ++FCount;
    }

    std::size_t Count() const { return FCount; }

private:
    struct TSlot {
        int64_t Value = 0;
        int64_t Handle = 0; // 0: empty
    };
    static constexpr int kRunBits = 3;
    static constexpr uint64_t kGolden = 0x9E3779B97F4A7C15ULL;

    std::size_t Mask() const { return FSlots.size() - 1; }

    std::size_t Home(int64_t value) const {
        uint64_t v = static_cast<uint64_t>(value);
        uint64_t run = ((v >> kRunBits) * kGolden) >> FShift;
        return static_cast<std::size_t>((run << kRunBits) | (v & ((1U << kRunBits) - 1)));
    }

    // False when value was there already.
    bool Place(int64_t value, int64_t handle) {
        for (std::size_t i = Home(value);; i = (i + 1) & Mask()) {
            TSlot& slot = FSlots[i];
            if (slot.Handle == 0) {
                slot = {value, handle};
                return true;
            }
            if (slot.Value == value) return false;
        }
    }

    void Grow() {
        std::vector<TSlot> old;
        old.swap(FSlots);
        int bits = 6;
        while ((std::size_t{1} << bits) < old.size() * 2)
            ++bits;
        FSlots.assign(std::size_t{1} << bits, TSlot{});
        FShift = 64 - (bits - kRunBits);
        for (const TSlot& slot : old)
            if (slot.Handle != 0) Place(slot.Value, slot.Handle);
    }

    std::vector<TSlot> FSlots; // a power of two long, at most half full
    std::size_t FCount = 0;
    int FShift = 64;
};

} // namespace orvel
