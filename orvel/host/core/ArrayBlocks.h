// The blocks of Variant arrays. Views keep a key vector per node or item, made and freed by the
// hundred thousand: their blocks come from one slot pool (SlotPool.h) instead of one heap block
// each, so that a large tree's keys fill huge pages rather than faulting a page in every hundred
// keys. Arrays may be made on one thread and freed on another, so the pool is shared by all
// threads under a lock. Under AddressSanitizer every block comes from the heap, so that an array
// that is never freed is still reported as a leak.
#pragma once

#include <cstddef>

namespace orvel {

// A block of bytes for an array, aligned to 16.
void* AllocateArrayBlock(std::size_t bytes);
// Gives back a block that AllocateArrayBlock made with the same size.
void ReleaseArrayBlock(void* block, std::size_t bytes) noexcept;

// The most bytes of emptied blocks kept for later arrays.
inline constexpr std::size_t ArrayBlockReserveLimit = 1u << 20;
// For measurements: the kept blocks given back to the heap, and the bytes of the blocks mapped as
// huge pages of their own rather than taken from the heap.
void ReleaseArrayBlockReserve() noexcept;
std::size_t ArrayBlockMappedBytes();

} // namespace orvel
