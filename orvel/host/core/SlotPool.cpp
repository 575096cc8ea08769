// The slot pool's blocks: how they are made (from the heap, or mapped as huge pages), kept in
// the reserve, and given back.
#include "orvel/host/core/SlotPool.h"

#include <algorithm>
#include <cstdint>
#include <new>

#if defined(__linux__)
#include <sys/mman.h>
#endif

// The sanitizer build keeps every block on the heap, where it watches them.
#if defined(__linux__) && defined(MADV_HUGEPAGE) && !defined(ORVEL_ASAN)
#define ORVEL_SLOT_POOL_HUGE 1
#endif

namespace orvel {

namespace {

// A size's first block holds a few slots (a list or tree of a few objects costs little more
// than its objects); each further block holds twice as many, up to the largest block, which
// stays below the size the heap would map on its own (such blocks would go back to the system
// when freed) and below a huge page's size, which tells the mapped blocks apart.
constexpr std::size_t kFirstBlockSlots = 8;
constexpr std::size_t kLargestBlockBytes = 64 * 1024;
// Once a size holds this much, its further blocks are huge pages (where the system has them).
constexpr std::size_t kHugeAfterBytes = 1u << 20;
constexpr std::size_t kHugeBlockBytes = 2u << 20;

} // namespace

// A block of one huge page, aligned to its size so that the system can back it with one page;
// none when the system refuses the mapping (or has no such pages).
void* TSlotPool::MapHugeBlock() noexcept {
#ifdef ORVEL_SLOT_POOL_HUGE
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
    FMappedBytes += kHugeBlockBytes;
    return reinterpret_cast<void*>(aligned);
#else
    return nullptr;
#endif
}

// A new block of the bytes asked for, or of one huge page when a huge one is wanted and to be had.
TSlotPool::TBlock* TSlotPool::AllocateBlock(std::size_t bytes, bool huge) {
    void* memory = huge ? MapHugeBlock() : nullptr;
    if (memory)
        bytes = kHugeBlockBytes;
    else
        memory = ::operator new(bytes);
    auto* block = static_cast<TBlock*>(memory);
    block->Bytes = bytes;
    return block;
}

namespace {
bool IsMapped(std::size_t blockBytes) noexcept {
#ifdef ORVEL_SLOT_POOL_HUGE
    return blockBytes == kHugeBlockBytes;
#else
    (void)blockBytes;
    return false;
#endif
}
} // namespace

void TSlotPool::FreeBlock(TBlock* block) noexcept {
    if (IsMapped(block->Bytes)) {
#ifdef ORVEL_SLOT_POOL_HUGE
        FMappedBytes -= kHugeBlockBytes;
        munmap(block, kHugeBlockBytes);
#endif
        return;
    }
    ORVEL_UNPOISON(block, block->Bytes);
    ::operator delete(block);
}

// A kept block with room for at least one slot, or none.
TSlotPool::TBlock* TSlotPool::TakeReserved(std::size_t slotSize) noexcept {
    while (TBlock* block = FReserve.Blocks) {
        FReserve.Blocks = block->Next;
        FReserve.Bytes -= block->Bytes;
        if (block->Bytes - kHeader >= slotSize) return block;
        FreeBlock(block);
    }
    return nullptr;
}

void TSlotPool::NewBlock(TSlotClass& c, std::size_t slotSize) {
    bool huge = c.BlockBytes >= kHugeAfterBytes;
    // A size that holds enough for huge pages takes no more of the small kept blocks, unless
    // the reserve keeps huge ones too.
    TBlock* block = !huge || FRules.KeepMapped ? TakeReserved(slotSize) : nullptr;
    if (!block) {
        std::size_t bytes =
            c.NextBlockBytes ? c.NextBlockBytes : kHeader + kFirstBlockSlots * slotSize;
        block = AllocateBlock(bytes, huge);
        ORVEL_POISON(reinterpret_cast<char*>(block) + kHeader, block->Bytes - kHeader);
    }
    block->Next = c.Blocks;
    c.Blocks = block;
    c.BlockBytes += block->Bytes;
    std::size_t slots = (block->Bytes - kHeader) / slotSize;
    c.NextBlockBytes =
        std::min(std::max(block->Bytes, kHeader + 2 * slots * slotSize), kLargestBlockBytes);
    c.Bump = reinterpret_cast<char*>(block) + kHeader;
    c.BumpEnd = reinterpret_cast<char*>(block) + block->Bytes;
}

// The last slot of the size is back: its blocks go to the reserve while it has room (mapped ones
// only when the pool keeps them), the rest back to the heap or the system.
void TSlotPool::RetireBlocks(TSlotClass& c) noexcept {
    for (TBlock* b = c.Blocks; b;) {
        TBlock* next = b->Next;
        bool keep = (FRules.KeepMapped || !IsMapped(b->Bytes)) &&
                    FReserve.Bytes + b->Bytes <= FRules.ReserveLimit;
        if (keep) {
            ORVEL_POISON(reinterpret_cast<char*>(b) + kHeader, b->Bytes - kHeader);
            b->Next = FReserve.Blocks;
            FReserve.Blocks = b;
            FReserve.Bytes += b->Bytes;
        } else {
            FreeBlock(b);
        }
        b = next;
    }
    c = TSlotClass{};
}

void TSlotPool::ReleaseReserve() noexcept {
    while (TBlock* block = FReserve.Blocks) {
        FReserve.Blocks = block->Next;
        FreeBlock(block);
    }
    FReserve = TReserve{};
}

} // namespace orvel
