// A set of object addresses stored flat (open addressing, linear probing), for asking whether a
// pointer still names one of a collection's objects: only addresses are compared, never the
// objects, so a pointer to a freed object is safe to ask about. Adding costs no allocation of
// its own, which matters for collections of hundreds of thousands of objects.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orvel {

class TPointerSet {
public:
    bool Contains(const void* p) const {
        if (FSlots.empty() || !p) return false;
        uintptr_t key = reinterpret_cast<uintptr_t>(p);
        for (std::size_t i = Home(key);; i = (i + 1) & FMask) {
            if (FSlots[i] == key) return true;
            if (FSlots[i] == kEmpty) return false;
        }
    }

    // Adds p (a null pointer is never held); false when it was there already.
    bool Insert(const void* p) {
        if (!p) return false;
        if ((FUsed + 1) * 4 > FSlots.size() * 3) Rehash(FCount + 1);
        uintptr_t key = reinterpret_cast<uintptr_t>(p);
        std::size_t place = SIZE_MAX;
        for (std::size_t i = Home(key);; i = (i + 1) & FMask) {
            if (FSlots[i] == key) return false;
            if (FSlots[i] == kErased && place == SIZE_MAX) place = i;
            if (FSlots[i] == kEmpty) {
                if (place == SIZE_MAX) {
                    place = i;
                    ++FUsed;
                }
                break;
            }
        }
        FSlots[place] = key;
        ++FCount;
        return true;
    }

    // Removes p; false when it was not there.
    bool Erase(const void* p) {
        if (FSlots.empty() || !p) return false;
        uintptr_t key = reinterpret_cast<uintptr_t>(p);
        for (std::size_t i = Home(key);; i = (i + 1) & FMask) {
            if (FSlots[i] == key) {
                FSlots[i] = kErased;
                --FCount;
                return true;
            }
            if (FSlots[i] == kEmpty) return false;
        }
    }

    void Clear() {
        FSlots.clear();
        FSlots.shrink_to_fit();
        FMask = 0;
        FCount = FUsed = 0;
    }

    std::size_t Size() const { return FCount; }

    // Room for count addresses, so that adding that many rehashes no more.
    void Reserve(std::size_t count) {
        if (count * 2 > FSlots.size()) Rehash(count);
    }

private:
    // No object lies at address 0 or 1, so these mark free and emptied slots.
    static constexpr uintptr_t kEmpty = 0;
    static constexpr uintptr_t kErased = 1;

    std::size_t Home(uintptr_t key) const {
        // Fibonacci hashing spreads aligned addresses over the whole table.
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & FMask;
    }

    // A table for at least count entries, at most half full, without emptied slots.
    void Rehash(std::size_t count) {
        std::size_t size = 16;
        while (size < count * 2)
            size *= 2;
        std::vector<uintptr_t> old;
        old.swap(FSlots);
        FSlots.assign(size, kEmpty);
        FMask = size - 1;
        FUsed = 0;
        for (uintptr_t key : old)
            if (key != kEmpty && key != kErased) {
                std::size_t i = Home(key);
                while (FSlots[i] != kEmpty)
                    i = (i + 1) & FMask;
                FSlots[i] = key;
                ++FUsed;
            }
    }

    std::vector<uintptr_t> FSlots; // a power of two in size, or empty
    std::size_t FMask = 0;
    std::size_t FCount = 0; // addresses held
    std::size_t FUsed = 0;  // slots not empty: addresses held and emptied slots
};

} // namespace orvel
