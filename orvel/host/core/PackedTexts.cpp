// The packed text list: lengths and texts one after another, inside the object or in one block.
#include "orvel/host/core/PackedTexts.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <new>
#include <stdexcept>

namespace orvel {

namespace {

// A length below LongMark takes one byte; a longer one LongMark and four bytes.
constexpr unsigned char LongMark = 0xFF;
constexpr uint32_t LongHeader = 1 + sizeof(uint32_t);

} // namespace

char* TPackedTexts::Data() noexcept {
    if (!OnHeap()) return FBuffer;
    char* block;
    std::memcpy(&block, FBuffer, sizeof block);
    return block;
}

const char* TPackedTexts::Data() const noexcept {
    return const_cast<TPackedTexts*>(this)->Data();
}

uint32_t TPackedTexts::EntrySize(std::string_view Text) {
    constexpr std::size_t limit = std::numeric_limits<uint32_t>::max() - LongHeader;
    if (Text.size() > limit) throw std::length_error("a text too long for a packed text list");
    auto length = static_cast<uint32_t>(Text.size());
    return length + (length < LongMark ? 1 : LongHeader);
}

uint32_t TPackedTexts::EntrySizeAt(uint32_t Offset) const {
    return static_cast<uint32_t>(TextAt(Offset).size()) +
           (static_cast<unsigned char>(Data()[Offset]) < LongMark ? 1 : LongHeader);
}

std::string_view TPackedTexts::TextAt(uint32_t Offset) const {
    const char* at = Data() + Offset;
    auto mark = static_cast<unsigned char>(*at);
    if (mark < LongMark) return {at + 1, mark};
    uint32_t length;
    std::memcpy(&length, at + 1, sizeof length);
    return {at + LongHeader, length};
}

void TPackedTexts::WriteEntry(uint32_t Offset, std::string_view Text) {
    char* at = Data() + Offset;
    auto length = static_cast<uint32_t>(Text.size());
    if (length < LongMark) {
        *at++ = static_cast<char>(length);
    } else {
        *at++ = static_cast<char>(LongMark);
        std::memcpy(at, &length, sizeof length);
        at += sizeof length;
    }
    if (length) std::memcpy(at, Text.data(), length);
}

uint32_t TPackedTexts::OffsetOf(int Index) const {
    if (Index == Count()) return FSize;
    uint32_t offset = 0;
    for (int i = 0; i < Index; ++i)
        offset += EntrySizeAt(offset);
    return offset;
}

void TPackedTexts::Resize(uint32_t Offset, uint32_t Old, uint32_t New) {
    if (New > Old && New - Old > std::numeric_limits<uint32_t>::max() - FSize)
        throw std::length_error("packed text list too long");
    uint32_t size = FSize - Old + New;
    uint32_t tail = FSize - Offset - Old;
    if (size > FCapacity) {
        // A new block at least twice the old room, filled before the old one goes.
        uint64_t wanted = std::max<uint64_t>(size, uint64_t{FCapacity} * 2);
        auto capacity =
            static_cast<uint32_t>(std::min<uint64_t>(wanted, std::numeric_limits<uint32_t>::max()));
        auto* block = static_cast<char*>(::operator new(capacity));
        const char* old = Data();
        std::memcpy(block, old, Offset);
        std::memcpy(block + Offset + New, old + Offset + Old, tail);
        Release();
        FCapacity = capacity;
        std::memcpy(FBuffer, &block, sizeof block);
    } else if (tail) {
        char* data = Data();
        std::memmove(data + Offset + New, data + Offset + Old, tail);
    }
    FSize = size;
}

// A text taken from this list itself is copied out before the block changes under it.
bool TPackedTexts::Inside(std::string_view Text) const {
    auto at = reinterpret_cast<uintptr_t>(Text.data());
    auto begin = reinterpret_cast<uintptr_t>(Data());
    return !Text.empty() && at >= begin && at < begin + FCapacity;
}

std::string_view TPackedTexts::Get(int Index) const {
    return TextAt(OffsetOf(Index));
}

void TPackedTexts::Put(int Index, std::string_view Text) {
    uint32_t offset = OffsetOf(Index);
    uint32_t entry = EntrySize(Text);
    std::string copy;
    if (Inside(Text)) Text = copy.assign(Text);
    Resize(offset, EntrySizeAt(offset), entry);
    WriteEntry(offset, Text);
}

void TPackedTexts::Insert(int Index, std::string_view Text) {
    // The usual case, a short text added at the end where there is room, is written at once.
    if (Index == Count() && Text.size() < LongMark && Text.size() < FCapacity - FSize &&
        !Inside(Text)) {
        char* at = Data() + FSize;
        *at = static_cast<char>(Text.size());
        if (!Text.empty()) std::memcpy(at + 1, Text.data(), Text.size());
        FSize += static_cast<uint32_t>(Text.size()) + 1;
        ++FCount;
        return;
    }
    uint32_t offset = OffsetOf(Index);
    uint32_t entry = EntrySize(Text);
    std::string copy;
    if (Inside(Text)) Text = copy.assign(Text);
    Resize(offset, 0, entry);
    WriteEntry(offset, Text);
    ++FCount;
}

void TPackedTexts::Delete(int Index) {
    uint32_t offset = OffsetOf(Index);
    Resize(offset, EntrySizeAt(offset), 0);
    --FCount;
    if (FCount == 0) Clear();
}

void TPackedTexts::Clear() noexcept {
    Release();
    FCount = 0;
    FSize = 0;
}

void TPackedTexts::Release() noexcept {
    if (OnHeap()) ::operator delete(Data());
    FCapacity = InlineBytes;
}

} // namespace orvel
