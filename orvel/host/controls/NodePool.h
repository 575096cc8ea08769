// Slots of one size for the nodes of trees: a tree makes and frees its nodes by the thousand, so
// they come from blocks carved into slots of their size instead of one heap block each. A
// released slot is kept for the next node of its size; when the last slot of a size is released,
// its blocks go back to the heap (or, mapped ones, to the system). Once a size holds a mebibyte
// of blocks, its further blocks are huge pages mapped on their own where the system has them.
// Under AddressSanitizer a slot is poisoned while it is not in use, so that a node used after it
// was deleted is still reported.
#pragma once

#include <cstddef>

namespace orvel {

// A slot of size bytes from the pool of the calling thread, aligned for an object of that size
// whose alignment is at most 16 bytes. Sizes above the pool's largest slot come from the heap.
void* AllocateNodeSlot(std::size_t size);
// Gives back a slot that AllocateNodeSlot made with the same size.
void ReleaseNodeSlot(void* slot, std::size_t size) noexcept;

// For tests and measurements: the slots of one size in use on the calling thread.
std::size_t NodeSlotsInUse(std::size_t size);
// The bytes of the calling thread's blocks mapped as huge pages of their own rather than taken
// from the heap.
std::size_t NodeMappedBytes();

} // namespace orvel
