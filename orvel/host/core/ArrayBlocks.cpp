// The array block pool: one slot pool for all threads, with slot sizes in steps of 8 bytes (a
// one-item key vector takes 32) and a small reserve of heap blocks, taken under a spin lock
// (nothing waits while holding it).
#include "orvel/host/core/ArrayBlocks.h"
#include "orvel/host/core/SlotPool.h"

#include <atomic>
#include <new>

namespace orvel {

namespace {

class TLock {
public:
    explicit TLock(std::atomic_flag& busy) : FBusy(busy) {
        while (FBusy.test_and_set(std::memory_order_acquire))
            FBusy.wait(true, std::memory_order_relaxed);
    }
    ~TLock() {
        FBusy.clear(std::memory_order_release);
        FBusy.notify_one();
    }
    TLock(const TLock&) = delete;
    TLock& operator=(const TLock&) = delete;

private:
    std::atomic_flag& FBusy;
};

// Plain data with a constant initializer and no destructor to run: an array freed late in the
// process still finds them.
constinit TSlotPool gBlocks{TSlotPoolRules{3, ArrayBlockReserveLimit, false}};
constinit std::atomic_flag gBusy;

} // namespace

void* AllocateArrayBlock(std::size_t bytes) {
#ifdef ORVEL_ASAN
    return ::operator new(bytes);
#else
    TLock lock(gBusy);
    return gBlocks.Allocate(bytes);
#endif
}

void ReleaseArrayBlock(void* block, std::size_t bytes) noexcept {
#ifdef ORVEL_ASAN
    (void)bytes;
    ::operator delete(block);
#else
    TLock lock(gBusy);
    gBlocks.Release(block, bytes);
#endif
}

void ReleaseArrayBlockReserve() noexcept {
    TLock lock(gBusy);
    gBlocks.ReleaseReserve();
}

std::size_t ArrayBlockMappedBytes() {
    TLock lock(gBusy);
    return gBlocks.MappedBytes();
}

} // namespace orvel
