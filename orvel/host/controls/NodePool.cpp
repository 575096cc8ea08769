// The node pool: per thread, one free list and one list of blocks per slot size.
#include "orvel/host/controls/NodePool.h"
#include "orvel/host/core/Poisoning.h"

#include <algorithm>
#include <cstdint>
#include <new>

namespace orvel {

namespace {

// Slot sizes are multiples of 8 and slots follow a 16-byte header in a block the heap aligned to
// 16 bytes: a slot of size s is aligned to 16 when s is a multiple of 16, so that an object whose
// size is a multiple of its alignment (every object's is), up to 16, is aligned in its slot.
constexpr std::size_t kGrain = 8;
constexpr std::size_t kLargestSlot = 512; // larger nodes come from the heap
// A size's first block holds a few slots (a tree of a few nodes costs little more than its
// nodes); each further block holds twice as many, up to the largest block.
constexpr std::size_t kFirstBlockSlots = 8;
constexpr std::size_t kLargestBlockBytes = 64 * 1024;
constexpr std::size_t kClasses = kLargestSlot / kGrain;

// A block starts with this header; its slots follow.
struct TBlock {
    TBlock* Next;
    std::size_t Bytes;
};
constexpr std::size_t kHeader = 16;
static_assert(sizeof(TBlock) <= kHeader);

// The slots of one size. Plain data, so that a thread's pools need no destructor (a node freed
// late in the thread's life still finds its pool).
struct TSlotClass {
    void* FreeList; // released slots, linked through their first word
    char* Bump;     // the untouched rest of the newest block
    char* BumpEnd;
    TBlock* Blocks;
    std::size_t NextBlockBytes; // 0: the first block is still to come
    std::size_t InUse;
};

thread_local TSlotClass tClasses[kClasses];

std::size_t ClassOf(std::size_t size) {
    return (size + kGrain - 1) / kGrain - 1;
}

void NewBlock(TSlotClass& c, std::size_t slotSize) {
    std::size_t bytes = c.NextBlockBytes ? c.NextBlockBytes : kHeader + kFirstBlockSlots * slotSize;
    void* memory = ::operator new(bytes);
    auto* block = static_cast<TBlock*>(memory);
    block->Next = c.Blocks;
    block->Bytes = bytes;
    c.Blocks = block;
    std::size_t slots = (bytes - kHeader) / slotSize;
    c.NextBlockBytes =
        std::max(bytes, std::min(kHeader + 2 * slots * slotSize, kLargestBlockBytes));
    c.Bump = static_cast<char*>(memory) + kHeader;
    c.BumpEnd = static_cast<char*>(memory) + bytes;
    ORVEL_POISON(c.Bump, static_cast<std::size_t>(c.BumpEnd - c.Bump));
}

// The last slot of the size is back: its blocks go to the heap, so that a thread that emptied
// its trees holds no memory for them.
void ReleaseBlocks(TSlotClass& c) {
    for (TBlock* b = c.Blocks; b;) {
        TBlock* next = b->Next;
        ORVEL_UNPOISON(b, b->Bytes);
        ::operator delete(b);
        b = next;
    }
    c = TSlotClass{};
}

} // namespace

void* AllocateNodeSlot(std::size_t size) {
    if (size == 0 || size > kLargestSlot) return ::operator new(size);
    TSlotClass& c = tClasses[ClassOf(size)];
    const std::size_t slotSize = (ClassOf(size) + 1) * kGrain;
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

void ReleaseNodeSlot(void* slot, std::size_t size) noexcept {
    if (!slot) return;
    if (size == 0 || size > kLargestSlot) {
        ::operator delete(slot);
        return;
    }
    TSlotClass& c = tClasses[ClassOf(size)];
    if (--c.InUse == 0) {
        ReleaseBlocks(c);
        return;
    }
    *static_cast<void**>(slot) = c.FreeList;
    c.FreeList = slot;
    ORVEL_POISON(slot, (ClassOf(size) + 1) * kGrain);
}

std::size_t NodeSlotsInUse(std::size_t size) {
    if (size == 0 || size > kLargestSlot) return 0;
    return tClasses[ClassOf(size)].InUse;
}

} // namespace orvel
