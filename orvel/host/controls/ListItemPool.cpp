// The list item pool: per thread, one free list and one list of blocks per slot size, and one
// reserve of emptied blocks that any size may take up again.
#include "orvel/host/controls/ListItemPool.h"

#include <algorithm>
#include <cstdint>
#include <new>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ORVEL_LIST_POOL_ASAN 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define ORVEL_LIST_POOL_ASAN 1
#endif

#ifdef ORVEL_LIST_POOL_ASAN
#include <sanitizer/asan_interface.h>
#define ORVEL_POISON(p, n) ASAN_POISON_MEMORY_REGION(p, n)
#define ORVEL_UNPOISON(p, n) ASAN_UNPOISON_MEMORY_REGION(p, n)
#else
#define ORVEL_POISON(p, n) ((void)(p), (void)(n))
#define ORVEL_UNPOISON(p, n) ((void)(p), (void)(n))
#endif

namespace orvel {

namespace {

// Slot sizes are multiples of 16 and slots follow a 16-byte header in a block the heap aligned
// to 16 bytes, so every slot is aligned to 16.
constexpr std::size_t kGrain = 16;
constexpr std::size_t kLargestSlot = 512; // larger items come from the heap
// A size's first block holds a few slots (a list of a few items costs little more than its
// items); each further block holds twice as many, up to the largest block, which stays below
// the size the heap would map on its own (such blocks would go back to the system when freed).
constexpr std::size_t kFirstBlockSlots = 8;
constexpr std::size_t kLargestBlockBytes = 64 * 1024;
constexpr std::size_t kClasses = kLargestSlot / kGrain;

// A block starts with this header; its slots follow. The header stays readable under the
// sanitizer while the block is kept in the reserve.
struct TBlock {
    TBlock* Next;
    std::size_t Bytes;
};
constexpr std::size_t kHeader = 16;
static_assert(sizeof(TBlock) <= kHeader);

// The slots of one size. Plain data, so that a thread's pools need no destructor (an item freed
// late in the thread's life still finds its pool).
struct TSlotClass {
    void* FreeList; // released slots, linked through their first word
    char* Bump;     // the untouched rest of the newest block
    char* BumpEnd;
    TBlock* Blocks;
    std::size_t NextBlockBytes; // 0: the first block is still to come
    std::size_t InUse;
};

// Emptied blocks, whatever slot size they were carved for.
struct TReserve {
    TBlock* Blocks;
    std::size_t Bytes;
};

thread_local TSlotClass tClasses[kClasses];
thread_local TReserve tReserve;

std::size_t ClassOf(std::size_t size) {
    return (size + kGrain - 1) / kGrain - 1;
}

std::size_t SlotSizeOf(std::size_t size) {
    return (ClassOf(size) + 1) * kGrain;
}

void FreeBlock(TBlock* block) noexcept {
    ORVEL_UNPOISON(block, block->Bytes);
    ::operator delete(block);
}

// A kept block with room for at least one slot, or none.
TBlock* TakeReserved(std::size_t slotSize) noexcept {
    while (TBlock* block = tReserve.Blocks) {
        tReserve.Blocks = block->Next;
        tReserve.Bytes -= block->Bytes;
        if (block->Bytes - kHeader >= slotSize) return block;
        FreeBlock(block);
    }
    return nullptr;
}

void NewBlock(TSlotClass& c, std::size_t slotSize) {
    TBlock* block = TakeReserved(slotSize);
    if (!block) {
        std::size_t bytes =
            c.NextBlockBytes ? c.NextBlockBytes : kHeader + kFirstBlockSlots * slotSize;
        block = static_cast<TBlock*>(::operator new(bytes));
        block->Bytes = bytes;
        ORVEL_POISON(reinterpret_cast<char*>(block) + kHeader, bytes - kHeader);
    }
    block->Next = c.Blocks;
    c.Blocks = block;
    std::size_t slots = (block->Bytes - kHeader) / slotSize;
    c.NextBlockBytes =
        std::max(block->Bytes, std::min(kHeader + 2 * slots * slotSize, kLargestBlockBytes));
    c.Bump = reinterpret_cast<char*>(block) + kHeader;
    c.BumpEnd = reinterpret_cast<char*>(block) + block->Bytes;
}

// The last slot of the size is back: its blocks go to the reserve while it has room, the rest
// to the heap.
void RetireBlocks(TSlotClass& c) noexcept {
    for (TBlock* b = c.Blocks; b;) {
        TBlock* next = b->Next;
        if (tReserve.Bytes + b->Bytes <= ListItemReserveLimit) {
            ORVEL_POISON(reinterpret_cast<char*>(b) + kHeader, b->Bytes - kHeader);
            b->Next = tReserve.Blocks;
            tReserve.Blocks = b;
            tReserve.Bytes += b->Bytes;
        } else {
            FreeBlock(b);
        }
        b = next;
    }
    c = TSlotClass{};
}

} // namespace

void* AllocateListItemSlot(std::size_t size) {
    if (size == 0 || size > kLargestSlot) return ::operator new(size);
    TSlotClass& c = tClasses[ClassOf(size)];
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

void ReleaseListItemSlot(void* slot, std::size_t size) noexcept {
    if (!slot) return;
    if (size == 0 || size > kLargestSlot) {
        ::operator delete(slot);
        return;
    }
    TSlotClass& c = tClasses[ClassOf(size)];
    if (--c.InUse == 0) {
        RetireBlocks(c);
        return;
    }
    *static_cast<void**>(slot) = c.FreeList;
    c.FreeList = slot;
    ORVEL_POISON(slot, SlotSizeOf(size));
}

void ReleaseListItemReserve() noexcept {
    while (TBlock* block = tReserve.Blocks) {
        tReserve.Blocks = block->Next;
        FreeBlock(block);
    }
    tReserve = TReserve{};
}

std::size_t ListItemSlotsInUse(std::size_t size) {
    if (size == 0 || size > kLargestSlot) return 0;
    return tClasses[ClassOf(size)].InUse;
}

std::size_t ListItemReserveBytes() {
    return tReserve.Bytes;
}

} // namespace orvel
