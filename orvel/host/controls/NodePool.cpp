// The node pool: one slot pool per thread (SlotPool.h), with slot sizes in steps of 8 bytes (node
// classes differ by a few fields) and a small reserve of heap blocks only.
#include "orvel/host/controls/NodePool.h"
#include "orvel/host/core/SlotPool.h"

namespace orvel {

namespace {
thread_local TSlotPool tNodes{TSlotPoolRules{3, NodeReserveLimit, false}};
} // namespace

void* AllocateNodeSlot(std::size_t size) {
    return tNodes.Allocate(size);
}

void ReleaseNodeSlot(void* slot, std::size_t size) noexcept {
    tNodes.Release(slot, size);
}

void ReleaseNodeReserve() noexcept {
    tNodes.ReleaseReserve();
}

std::size_t NodeSlotsInUse(std::size_t size) {
    return tNodes.SlotsInUse(size);
}

std::size_t NodeReserveBytes() {
    return tNodes.ReserveBytes();
}

std::size_t NodeMappedBytes() {
    return tNodes.MappedBytes();
}

} // namespace orvel
