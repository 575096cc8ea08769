// Growable arrays.
#include "orvel/containers/Arrays.h"

#include "orvel/host/core/SysUtils.h"

#include <cstdlib>
#include <cstring>

namespace orvel {

TAbstractArray::TAbstractArray(int32_t itemSize) : FItemSize(itemSize) {
    if (itemSize <= 0) {
        FItemSize = 1;
        Error();
    }
}

TAbstractArray::~TAbstractArray() {
    std::free(FItems);
}

void TAbstractArray::Error() const {
    RaiseRes<EArrayError>(SArrayError);
}

void* TAbstractArray::GetPtr(int32_t index) const {
    if (index < 0 || index >= FCount) Error();
    return FItems + static_cast<std::size_t>(index) * static_cast<std::size_t>(FItemSize);
}

void TAbstractArray::Grow() {
    int32_t step = FCapacity > 8 ? 16 : (FCapacity > 4 ? 8 : 4);
    SetCapacity(FCapacity + step);
}

void TAbstractArray::SetCapacity(int32_t newCapacity) {
    if (newCapacity < FCount || newCapacity > MaxItems()) Error();
    std::size_t bytes = static_cast<std::size_t>(newCapacity) * static_cast<std::size_t>(FItemSize);
    if (bytes == 0) {
        std::free(FItems);
        FItems = nullptr;
    } else {
        void* block = std::realloc(FItems, bytes);
        if (!block) throw EOutOfResources("Out of memory");
        FItems = static_cast<char*>(block);
        if (newCapacity > FCapacity)
            std::memset(FItems + static_cast<std::size_t>(FCapacity) *
                                     static_cast<std::size_t>(FItemSize),
                        0,
                        static_cast<std::size_t>(newCapacity - FCapacity) *
                            static_cast<std::size_t>(FItemSize));
    }
    FCapacity = newCapacity;
}

void TAbstractArray::SetCount(int32_t newCount) {
    if (newCount < 0 || newCount > MaxItems()) Error();
    if (newCount > FCapacity) SetCapacity(newCount);
    FCount = newCount;
    HasChanged();
}

void* TAbstractArray::Add() {
    if (FCount == FCapacity) Grow();
    void* slot = FItems + static_cast<std::size_t>(FCount) * static_cast<std::size_t>(FItemSize);
    ++FCount;
    HasChanged();
    return slot;
}

void* TAbstractArray::Insert(int32_t index) {
    if (index < 0 || index > FCount) Error();
    if (FCount == FCapacity) Grow();
    const std::size_t size = static_cast<std::size_t>(FItemSize);
    char* slot = FItems + static_cast<std::size_t>(index) * size;
    if (index < FCount) {
        std::memmove(slot + size, slot, static_cast<std::size_t>(FCount - index) * size);
        std::memset(slot, 0, size);
    }
    ++FCount;
    HasChanged();
    return slot;
}

void TAbstractArray::Delete(int32_t index) {
    if (index < 0 || index >= FCount) Error();
    --FCount;
    if (index < FCount) {
        const std::size_t size = static_cast<std::size_t>(FItemSize);
        char* slot = FItems + static_cast<std::size_t>(index) * size;
        std::memmove(slot, slot + size, static_cast<std::size_t>(FCount - index) * size);
    }
    HasChanged();
}

void TAbstractArray::Clear() {
    SetCount(0);
    SetCapacity(0);
}

bool TAbstractArray::IsEqual(const void* item1, const void* item2) const {
    return std::memcmp(item1, item2, static_cast<std::size_t>(FItemSize)) == 0;
}

int32_t TAbstractArray::IndexOf(const void* item) const {
    for (int32_t i = 0; i < FCount; ++i)
        if (IsEqual(FItems + static_cast<std::size_t>(i) * static_cast<std::size_t>(FItemSize),
                    item))
            return i;
    return -1;
}

int32_t TAbstractArray::Remove(const void* item) {
    int32_t index = IndexOf(item);
    if (index >= 0) Delete(index);
    return index;
}

void TAbstractArray::Pack() {
    for (int32_t i = FCount - 1; i >= 0; --i)
        if (IsEmpty(GetPtr(i))) Delete(i);
}

// ---- TIntArray --------------------------------------------------------------------------------

int32_t TIntArray::Get(int32_t index) const {
    int32_t value;
    std::memcpy(&value, GetPtr(index), sizeof value);
    return value;
}

void TIntArray::Put(int32_t index, int32_t value) {
    std::memcpy(GetPtr(index), &value, sizeof value);
}

int32_t TIntArray::Add(int32_t value) {
    std::memcpy(TAbstractArray::Add(), &value, sizeof value);
    return Count() - 1;
}

void TIntArray::Insert(int32_t index, int32_t value) {
    std::memcpy(TAbstractArray::Insert(index), &value, sizeof value);
}

bool TIntArray::IsEqualTo(const TIntArray* other) const {
    if (!other || other->Count() != Count()) return false;
    for (int32_t i = 0; i < Count(); ++i)
        if (Get(i) != other->Get(i)) return false;
    return true;
}

std::string TIntArray::GetText() const {
    std::string text;
    for (int32_t i = 0; i < Count(); ++i) {
        text += i == 0 ? ' ' : ',';
        text += IntToStr(Get(i));
    }
    return text;
}

void TIntArray::SetText(const std::string& value) {
    Clear();
    std::size_t comma = value.find(',');
    if (comma == std::string::npos) {
        if (!value.empty()) Add(StrToInt(value));
        return;
    }
    std::size_t start = 0;
    while (comma != std::string::npos) {
        Add(StrToInt(value.substr(start, comma - start)));
        start = comma + 1;
        comma = value.find(',', start);
    }
    std::string rest = value.substr(start);
    if (!rest.empty()) Add(StrToInt(rest));
}

} // namespace orvel
