// Slots for the items of list views: a list makes and frees its items by the hundred thousand
// at every load, so they come from blocks carved into slots of their size instead of one heap
// block each. When the last item of a size goes, its blocks are not given back to the heap but
// kept, up to ListItemReserveLimit bytes, for the next load (of the same view or another one):
// that load then writes to pages the process already has instead of faulting fresh ones in.
// Under AddressSanitizer a slot is poisoned while it is not in use, and kept blocks while they
// are kept, so that an item used after it was deleted is still reported.
#pragma once

#include <cstddef>

namespace orvel {

// A slot of size bytes from the pool of the calling thread, aligned for an object of that size
// whose alignment is at most 16 bytes. Sizes above the pool's largest slot come from the heap.
void* AllocateListItemSlot(std::size_t size);
// Gives back a slot that AllocateListItemSlot made with the same size.
void ReleaseListItemSlot(void* slot, std::size_t size) noexcept;

// The most bytes of emptied blocks a thread keeps for later loads.
inline constexpr std::size_t ListItemReserveLimit = 32u << 20;
// Gives the calling thread's kept blocks back to the heap (an application that will load no
// large list again may call it; nothing else needs to).
void ReleaseListItemReserve() noexcept;

// For tests and measurements: the slots of one size in use, and the bytes kept, on the calling
// thread.
std::size_t ListItemSlotsInUse(std::size_t size);
std::size_t ListItemReserveBytes();
// The bytes of the calling thread's blocks mapped as huge pages of their own rather than taken
// from the heap (in use or kept).
std::size_t ListItemMappedBytes();

} // namespace orvel
