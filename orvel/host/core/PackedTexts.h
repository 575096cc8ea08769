// A short list of texts kept in one block, for controls that keep a few texts per row (a list
// item's column texts): each text is stored after its length, and a few dozen bytes live inside
// the object itself, so the usual row takes no heap block at all.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace orvel {

class TPackedTexts {
public:
    // Bytes kept inside the object; longer contents move to a heap block.
    static constexpr uint32_t InlineBytes = 24;

    TPackedTexts() noexcept = default;
    ~TPackedTexts() { Release(); }
    TPackedTexts(const TPackedTexts&) = delete;
    TPackedTexts& operator=(const TPackedTexts&) = delete;

    int Count() const { return static_cast<int>(FCount); }
    // The callers check the positions: Get, Put and Delete take 0..Count-1, Insert 0..Count.
    std::string_view Get(int Index) const;
    void Put(int Index, std::string_view Text);
    void Insert(int Index, std::string_view Text);
    void Delete(int Index);
    // Removes every text and gives a heap block back.
    void Clear() noexcept;
    // Bytes in use and bytes available (for tests and measurements).
    std::size_t Size() const { return FSize; }
    std::size_t Capacity() const { return FCapacity; }

private:
    char* Data() noexcept;
    const char* Data() const noexcept;
    bool OnHeap() const noexcept { return FCapacity > InlineBytes; }
    // The byte position of text Index (Count gives the end).
    uint32_t OffsetOf(int Index) const;
    // The bytes a text takes with its length.
    static uint32_t EntrySize(std::string_view Text);
    uint32_t EntrySizeAt(uint32_t Offset) const;
    std::string_view TextAt(uint32_t Offset) const;
    void WriteEntry(uint32_t Offset, std::string_view Text);
    bool Inside(std::string_view Text) const;
    // Replaces Old bytes at Offset by room for New bytes (moving what follows), growing the
    // block when needed; nothing changes when growing fails.
    void Resize(uint32_t Offset, uint32_t Old, uint32_t New);
    void Release() noexcept;

    uint32_t FCount = 0;
    uint32_t FSize = 0;
    uint32_t FCapacity = InlineBytes;
    // The texts, or (on the heap) the block's address.
    alignas(4) char FBuffer[InlineBytes] = {};
};

} // namespace orvel
