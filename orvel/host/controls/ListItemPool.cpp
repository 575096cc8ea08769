// The list item pool: one slot pool per thread (SlotPool.h), with slot sizes in steps of 16
// bytes and a reserve large enough to keep the blocks, huge pages included, of a large list for
// the next load.
#include "orvel/host/controls/ListItemPool.h"
#include "orvel/host/core/SlotPool.h"

namespace orvel {

namespace {
thread_local TSlotPool tItems{TSlotPoolRules{4, ListItemReserveLimit, true}};
} // namespace

void* AllocateListItemSlot(std::size_t size) {
    return tItems.Allocate(size);
}

void ReleaseListItemSlot(void* slot, std::size_t size) noexcept {
    tItems.Release(slot, size);
}

void ReleaseListItemReserve() noexcept {
    tItems.ReleaseReserve();
}

std::size_t ListItemSlotsInUse(std::size_t size) {
    return tItems.SlotsInUse(size);
}

std::size_t ListItemReserveBytes() {
    return tItems.ReserveBytes();
}

std::size_t ListItemMappedBytes() {
    return tItems.MappedBytes();
}

} // namespace orvel
