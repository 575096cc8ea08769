// Slots of one size for the nodes of trees: a tree makes and frees its nodes by the thousand, so
// they come from blocks carved into slots of their size instead of one heap block each. A
// released slot is kept for the next node of its size. Once a size holds a mebibyte of blocks,
// its further blocks are huge pages mapped on their own where the system has them. When the last
// node of a size goes, its mapped blocks go back to the system and its heap blocks are kept, up to
// NodeReserveLimit bytes, for the next nodes of any size (the rest go back to the heap): the next
// tree then writes to pages the process already has instead of faulting fresh ones in. Under
// AddressSanitizer a slot is poisoned while it is not in use, and kept blocks while they are
// kept, so that a node used after it was deleted is still reported.
#pragma once

#include <cstddef>

namespace orvel {

// A slot of size bytes from the pool of the calling thread, aligned for an object of that size
// whose alignment is at most 16 bytes. Sizes above the pool's largest slot come from the heap.
void* AllocateNodeSlot(std::size_t size);
// Gives back a slot that AllocateNodeSlot made with the same size.
void ReleaseNodeSlot(void* slot, std::size_t size) noexcept;

// The most bytes of emptied blocks a thread keeps for later nodes.
inline constexpr std::size_t NodeReserveLimit = 1u << 20;
// Gives the calling thread's kept blocks back to the heap (nothing needs to; a measurement of
// the memory new nodes take does).
void ReleaseNodeReserve() noexcept;

// For tests and measurements: the slots of one size in use, and the bytes kept, on the calling
// thread.
std::size_t NodeSlotsInUse(std::size_t size);
std::size_t NodeReserveBytes();
// The bytes of the calling thread's blocks mapped as huge pages of their own rather than taken
// from the heap.
std::size_t NodeMappedBytes();

} // namespace orvel
