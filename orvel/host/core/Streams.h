// Streams of bytes: the abstract TStream (blob streams of datasets derive from it), a stream in
// memory and a stream over a file.
#pragma once

#include "orvel/host/core/Exceptions.h"
#include "orvel/host/core/Object.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace orvel {

ORVEL_EXCEPTION_CLASS(EStreamError, Exception)
ORVEL_EXCEPTION_CLASS(EFCreateError, EStreamError)
ORVEL_EXCEPTION_CLASS(EFOpenError, EStreamError)
ORVEL_EXCEPTION_CLASS(EWriteError, EFilerError)

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream : public TObject {
public:
    // Reads up to count bytes and answers how many were read (0 at the end, or for count <= 0).
    virtual int64_t Read(void* buffer, int64_t count) = 0;
    // Writes up to count bytes and answers how many were written.
    virtual int64_t Write(const void* buffer, int64_t count) = 0;
    // Moves the position and answers the new one; a position before the start raises
    // EStreamError and leaves the position unchanged.
    virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

    int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
    void SetPosition(int64_t value) { Seek(value, TSeekOrigin::soBeginning); }
    virtual int64_t Size();
    // Changes the size; streams that cannot raise EStreamError.
    virtual void SetSize(int64_t value);

    // Read and Write for exactly count bytes: EReadError / EWriteError when fewer were moved.
    void ReadBuffer(void* buffer, int64_t count);
    void WriteBuffer(const void* buffer, int64_t count);
    // Copies count bytes from source's position; count 0 copies the whole source from its start.
    // Answers the number of bytes copied; EReadError when source ends early.
    int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
public:
    TMemoryStream() = default;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    int64_t Size() override { return static_cast<int64_t>(FData.size()); }
    // Growing fills with zeros; the position is kept (it may then lie beyond the end).
    void SetSize(int64_t value) override;

    const uint8_t* Memory() const { return FData.data(); }
    uint8_t* Memory() { return FData.data(); }
    const std::vector<uint8_t>& Bytes() const { return FData; }
    void Clear();

    // Replace the contents (position 0) by the whole of a stream or file.
    void LoadFromStream(TStream& stream);
    void LoadFromFile(const std::string& fileName);
    // Write the whole contents, whatever the position.
    void SaveToStream(TStream& stream) const;
    void SaveToFile(const std::string& fileName) const;

private:
    std::vector<uint8_t> FData;
    int64_t FPosition = 0;
};

// File open modes: one access mode, or fmCreate (create or truncate, then read and write).
enum : uint16_t {
    fmOpenRead = 0x0000,
    fmOpenWrite = 0x0001,
    fmOpenReadWrite = 0x0002,
    fmCreate = 0xFF00
};

class TFileStream : public TStream {
public:
    // EFOpenError / EFCreateError, naming the file, when it cannot be opened or created.
    TFileStream(const std::string& fileName, uint16_t mode);
    ~TFileStream() override;

    int64_t Read(void* buffer, int64_t count) override;
    int64_t Write(const void* buffer, int64_t count) override;
    int64_t Seek(int64_t offset, TSeekOrigin origin) override;
    const std::string& FileName() const { return FFileName; }

private:
    std::string FFileName;
    std::FILE* FFile = nullptr;
    bool FCanRead = false;
    bool FCanWrite = false;
    int FLastOp = 0; // 1 read, 2 write: a C stream needs a seek between the two
};

} // namespace orvel
