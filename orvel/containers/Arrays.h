// Growable arrays of fixed-size items: TAbstractArray (one contiguous block growing in linear
// steps, bounds-checked, with overridable equality and emptiness tests) and TIntArray (32-bit
// integers with a comma-separated text form).
#pragma once

#include "orvel/host/core/Exceptions.h"

#include <cstdint>
#include <string>

namespace orvel {

class TAbstractArray {
public:
    // An empty array of items of itemSize bytes; a size of 0 raises EArrayError.
    explicit TAbstractArray(int32_t itemSize);
    TAbstractArray(const TAbstractArray&) = delete;
    TAbstractArray& operator=(const TAbstractArray&) = delete;
    virtual ~TAbstractArray();

    int32_t Count() const { return FCount; }
    int32_t Capacity() const { return FCapacity; }
    int32_t ItemSize() const { return FItemSize; }
    const void* Items() const { return FItems; }

    // Address of item index; EArrayError unless 0 <= index < Count.
    void* GetPtr(int32_t index) const;
    // Appends one slot and returns it, not cleared (zero when fresh, else stale bytes).
    void* Add();
    // Opens a slot at index (0..Count); zero-filled when items moved to make room.
    void* Insert(int32_t index);
    // Removes item index; what it held is not released.
    void Delete(int32_t index);
    void SetCount(int32_t newCount);
    void SetCapacity(int32_t newCapacity);
    void Clear();
    // First item, from 0 up, equal to the probe (stored item first); -1 when none.
    int32_t IndexOf(const void* item) const;
    int32_t Remove(const void* item);
    // Removes every item that IsEmpty reports, walking down from the last.
    void Pack();

protected:
    [[noreturn]] virtual void Error() const;
    virtual void Grow();
    virtual void HasChanged() {}
    virtual bool IsEqual(const void* item1, const void* item2) const;
    virtual bool IsEmpty(const void* /*item*/) const { return false; }

    int32_t MaxItems() const { return INT32_MAX / FItemSize; }

private:
    char* FItems = nullptr;
    int32_t FCount = 0;
    int32_t FCapacity = 0;
    int32_t FItemSize;
};

class TIntArray : public TAbstractArray {
public:
    TIntArray() : TAbstractArray(4) {}

    int32_t Get(int32_t index) const;
    void Put(int32_t index, int32_t value);
    int32_t Add(int32_t value);
    void Insert(int32_t index, int32_t value);
    int32_t IndexOf(int32_t value) const { return TAbstractArray::IndexOf(&value); }
    int32_t Remove(int32_t value) { return TAbstractArray::Remove(&value); }
    int32_t First() const { return Get(0); }
    int32_t Last() const { return Get(Count() - 1); }
    // False for an absent array or a different count; else item by item.
    bool IsEqualTo(const TIntArray* other) const;

    // " 1,-2,30": the first item after a blank, later ones after a comma; empty for no items.
    std::string GetText() const;
    // Clear, then read the items back; a piece StrToInt rejects raises EConvertError, keeping the
    // items read before it.
    void SetText(const std::string& value);

    using TAbstractArray::Add;
    using TAbstractArray::Insert;
};

} // namespace orvel
