// Blocks carved into slots of one size each, for objects made and freed by the hundred thousand
// (the items of lists, the nodes of trees) instead of one heap block each. Every slot size has a
// free list of released slots and a list of blocks; each new block of a size is twice the last,
// and once a size holds a mebibyte its further blocks are huge pages mapped on their own where
// the system has them, so that filling them faults a page in for thousands of objects instead
// of every few dozen. When the last slot of a size is released, its blocks go to a reserve, up
// to a limit, for the next objects of any size: they then start in pages the process already has,
// which the heap, given the blocks back, would have trimmed. Under AddressSanitizer a slot is
// poisoned while it is not in use and kept blocks while they are kept, so that an object used
// after it was deleted is still reported; that build takes every block from the heap.
#pragma once

#include "orvel/host/core/Poisoning.h"

#include <cstddef>

namespace orvel {

// What sets one pool apart from another.
struct TSlotPoolRules {
    // Slot sizes are multiples of 1 << GrainShift (3 or 4); slots follow a 16-byte header in a
    // block aligned to 16, so a slot of a size that is a multiple of 16 is aligned to 16.
    unsigned GrainShift;
    // The most bytes of emptied blocks kept for later objects.
    std::size_t ReserveLimit;
    // Whether emptied huge-page blocks are kept too, or go straight back to the system.
    bool KeepMapped;
};

// One pool, meant to be a thread_local object: plain data with a constant initializer and no
// destructor to run, so that an object freed late in the thread's life still finds its pool.
class TSlotPool {
public:
    static constexpr std::size_t LargestSlot = 512; // larger objects come from the heap

    explicit constexpr TSlotPool(TSlotPoolRules rules) : FRules(rules) {}

    // A slot of size bytes, aligned for an object of that size whose alignment is at most 16.
    void* Allocate(std::size_t size) {
        if (size == 0 || size > LargestSlot) return ::operator new(size);
        TSlotClass& c = FClasses[ClassOf(size)];
        const std::size_t slotSize = SlotSizeOf(size);
        void* slot;
        if (c.FreeList) {
            slot = c.FreeList;
            ORVEL_UNPOISON(slot, slotSize);
            c.FreeList = *static_cast<void**>(slot);
        } else {
            if (static_cast<std::size_t>(c.BumpEnd - c.Bump) < slotSize) NewBlock(c, slotSize);
            slot = c.Bump;
            c.Bump += slotSize;
            ORVEL_UNPOISON(slot, slotSize);
        }
        ++c.InUse;
        return slot;
    }
    // Gives back a slot that Allocate made with the same size.
    void Release(void* slot, std::size_t size) noexcept {
        if (!slot) return;
        if (size == 0 || size > LargestSlot) {
            ::operator delete(slot);
            return;
        }
        TSlotClass& c = FClasses[ClassOf(size)];
        if (--c.InUse == 0) {
            RetireBlocks(c);
            return;
        }
        *static_cast<void**>(slot) = c.FreeList;
        c.FreeList = slot;
        ORVEL_POISON(slot, SlotSizeOf(size));
    }
    // Gives the kept blocks back to the heap and the system.
    void ReleaseReserve() noexcept;

    // For tests and measurements: the slots of one size in use, the bytes kept, and the bytes
    // of blocks mapped as huge pages of their own (in use or kept).
    std::size_t SlotsInUse(std::size_t size) const {
        return size == 0 || size > LargestSlot ? 0 : FClasses[ClassOf(size)].InUse;
    }
    std::size_t ReserveBytes() const { return FReserve.Bytes; }
    std::size_t MappedBytes() const { return FMappedBytes; }

private:
    // A block starts with this header; its slots follow. The header stays readable under the
    // sanitizer while the block is kept in the reserve.
    struct TBlock {
        TBlock* Next;
        std::size_t Bytes;
    };
    static constexpr std::size_t kHeader = 16;
    static_assert(sizeof(TBlock) <= kHeader);
    // The slots of one size.
    struct TSlotClass {
        void* FreeList = nullptr; // released slots, linked through their first word
        char* Bump = nullptr;     // the untouched rest of the newest block
        char* BumpEnd = nullptr;
        TBlock* Blocks = nullptr;
        std::size_t NextBlockBytes = 0; // 0: the first block is still to come
        std::size_t InUse = 0;
        std::size_t BlockBytes = 0; // of all its blocks
    };
    // Emptied blocks, whatever slot size they were carved for.
    struct TReserve {
        TBlock* Blocks = nullptr;
        std::size_t Bytes = 0;
    };
    static constexpr std::size_t kClasses = LargestSlot / 8;

    std::size_t ClassOf(std::size_t size) const { return (size - 1) >> FRules.GrainShift; }
    std::size_t SlotSizeOf(std::size_t size) const {
        return (ClassOf(size) + 1) << FRules.GrainShift;
    }
    void NewBlock(TSlotClass& c, std::size_t slotSize);
    void RetireBlocks(TSlotClass& c) noexcept;
    TBlock* AllocateBlock(std::size_t bytes, bool huge);
    void* MapHugeBlock() noexcept;
    void FreeBlock(TBlock* block) noexcept;
    TBlock* TakeReserved(std::size_t slotSize) noexcept;

    TSlotPoolRules FRules;
    TSlotClass FClasses[kClasses] = {};
    TReserve FReserve = {};
    std::size_t FMappedBytes = 0;
};

} // namespace orvel
