// The node pool: per thread, one free list and one list of blocks per slot size, and one reserve
// of emptied heap blocks that any size may take up again.
#include "orvel/host/controls/NodePool.h"
#include "orvel/host/core/Poisoning.h"

#include <algorithm>
#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// Large trees take their nodes from blocks of one huge page each, mapped on their own: expanding
// a node of a hundred thousand children then takes one page fault for some thirteen thousand
// nodes instead of one for every twenty-seven, and the blocks freed with the tree cannot stay
// behind in the heap to be trimmed and faulted in again. The sanitizer build keeps every block
// on the heap, where it watches them.
#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(ORVEL_ASAN)
#define ORVEL_NODE_POOL_HUGE 1
#endif

namespace orvel {

namespace {

// Slot sizes are multiples of 8 and slots follow a 16-byte header in a block the heap aligned to
// 16 bytes: a slot of size s is aligned to 16 when s is a multiple of 16, so that an object whose
// size is a multiple of its alignment (every object's is), up to 16, is aligned in its slot.
constexpr std::size_t kGrain = 8;
constexpr std::size_t kLargestSlot = 512; // larger nodes come from the heap
// A size's first block holds a few slots (a tree of a few nodes costs little more than its
// nodes); each further block holds twice as many, up to the largest block, which stays below
// the size the heap would map on its own (such blocks would go back to the system when freed).
constexpr std::size_t kFirstBlockSlots = 8;
constexpr std::size_t kLargestBlockBytes = 64 * 1024;
constexpr std::size_t kClasses = kLargestSlot / kGrain;
// Once a size holds this much, its further blocks are huge pages (where the system has them).
constexpr std::size_t kHugeAfterBytes = 1u << 20;
#ifdef ORVEL_NODE_POOL_HUGE
constexpr std::size_t kHugeBlockBytes = 2u << 20;
#endif

// A block starts with this header; its slots follow. The header stays readable under the
// sanitizer while the block is kept in the reserve.
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
    std::size_t BlockBytes; // of all its blocks
};

// Emptied heap blocks, whatever slot size they were carved for.
struct TReserve {
    TBlock* Blocks;
    std::size_t Bytes;
};

thread_local TSlotClass tClasses[kClasses];
thread_local TReserve tReserve;
thread_local std::size_t tMappedBytes;

std::size_t ClassOf(std::size_t size) {
    return (size + kGrain - 1) / kGrain - 1;
}

std::size_t SlotSizeOf(std::size_t size) {
    return (ClassOf(size) + 1) * kGrain;
}

#ifdef ORVEL_NODE_POOL_HUGE
// A block of one huge page, aligned to its size so that the system can back it with one page;
// none when the system refuses the mapping.
void* MapHugeBlock() noexcept {
    void* raw = mmap(nullptr, 2 * kHugeBlockBytes, PROT_READ | PROT_WRITE,
                     MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (raw == MAP_FAILED) return nullptr;
    auto start = reinterpret_cast<std::uintptr_t>(raw);
    std::uintptr_t aligned = (start + kHugeBlockBytes - 1) & ~(kHugeBlockBytes - 1);
    if (aligned > start) munmap(raw, aligned - start);
    std::uintptr_t end = start + 2 * kHugeBlockBytes;
    if (end > aligned + kHugeBlockBytes)
        munmap(reinterpret_cast<void*>(aligned + kHugeBlockBytes), end - aligned - kHugeBlockBytes);
    madvise(reinterpret_cast<void*>(aligned), kHugeBlockBytes, MADV_HUGEPAGE);
    tMappedBytes += kHugeBlockBytes;
    return reinterpret_cast<void*>(aligned);
}
#endif

// A new block of the bytes asked for, or of one huge page when a huge one is wanted and to be had.
TBlock* AllocateBlock(std::size_t bytes, bool huge) {
    void* memory = nullptr;
#ifdef ORVEL_NODE_POOL_HUGE
    if (huge && (memory = MapHugeBlock())) bytes = kHugeBlockBytes;
#else
    (void)huge;
#endif
    if (!memory) memory = ::operator new(bytes);
    auto* block = static_cast<TBlock*>(memory);
    block->Bytes = bytes;
    return block;
}

bool IsMapped(const TBlock* block) noexcept {
#ifdef ORVEL_NODE_POOL_HUGE
    // Heap blocks never reach a huge page's size (see NewBlock).
    return block->Bytes == kHugeBlockBytes;
#else
    (void)block;
    return false;
#endif
}

void FreeBlock(TBlock* block) noexcept {
    if (IsMapped(block)) {
#ifdef ORVEL_NODE_POOL_HUGE
        tMappedBytes -= kHugeBlockBytes;
        munmap(block, kHugeBlockBytes);
#endif
        return;
    }
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
    // A size that holds enough for huge pages takes no more of the small kept blocks.
    TBlock* block = c.BlockBytes < kHugeAfterBytes ? TakeReserved(slotSize) : nullptr;
    if (!block) {
        std::size_t bytes =
            c.NextBlockBytes ? c.NextBlockBytes : kHeader + kFirstBlockSlots * slotSize;
        block = AllocateBlock(bytes, c.BlockBytes >= kHugeAfterBytes);
        ORVEL_POISON(reinterpret_cast<char*>(block) + kHeader, block->Bytes - kHeader);
    }
    block->Next = c.Blocks;
    c.Blocks = block;
    c.BlockBytes += block->Bytes;
    std::size_t slots = (block->Bytes - kHeader) / slotSize;
    // Heap blocks stay below a huge page's size, which tells the mapped blocks apart.
    c.NextBlockBytes =
        std::min(std::max(block->Bytes, kHeader + 2 * slots * slotSize), kLargestBlockBytes);
    c.Bump = reinterpret_cast<char*>(block) + kHeader;
    c.BumpEnd = reinterpret_cast<char*>(block) + block->Bytes;
}

// The last slot of the size is back: its heap blocks go to the reserve while it has room, the
// rest to the heap, its mapped blocks to the system. The next tree's nodes then start in pages
// the process already has: the heap, given the blocks back, would have trimmed them.
void RetireBlocks(TSlotClass& c) noexcept {
    for (TBlock* b = c.Blocks; b;) {
        TBlock* next = b->Next;
        if (!IsMapped(b) && tReserve.Bytes + b->Bytes <= NodeReserveLimit) {
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

void* AllocateNodeSlot(std::size_t size) {
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

void ReleaseNodeSlot(void* slot, std::size_t size) noexcept {
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

void ReleaseNodeReserve() noexcept {
    while (TBlock* block = tReserve.Blocks) {
        tReserve.Blocks = block->Next;
        FreeBlock(block);
    }
    tReserve = TReserve{};
}

std::size_t NodeSlotsInUse(std::size_t size) {
    if (size == 0 || size > kLargestSlot) return 0;
    return tClasses[ClassOf(size)].InUse;
}

std::size_t NodeReserveBytes() {
    return tReserve.Bytes;
}

std::size_t NodeMappedBytes() {
    return tMappedBytes;
}

} // namespace orvel
