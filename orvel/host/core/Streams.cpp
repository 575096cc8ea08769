// TStream, TMemoryStream and TFileStream.
#include "orvel/host/core/Streams.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvel {

// ---- TStream ----

int64_t TStream::Size() {
    int64_t pos = Seek(0, TSeekOrigin::soCurrent);
    int64_t size = Seek(0, TSeekOrigin::soEnd);
    Seek(pos, TSeekOrigin::soBeginning);
    return size;
}

void TStream::SetSize(int64_t) {
    throw EStreamError("Stream size cannot be changed");
}

void TStream::ReadBuffer(void* buffer, int64_t count) {
    if (count > 0 && Read(buffer, count) != count) throw EReadError("Stream read error");
}

void TStream::WriteBuffer(const void* buffer, int64_t count) {
    if (count > 0 && Write(buffer, count) != count) throw EWriteError("Stream write error");
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
    if (count == 0) {
        source.SetPosition(0);
        count = source.Size();
    }
    constexpr int64_t ChunkSize = 64 * 1024;
    std::vector<uint8_t> buffer(
        static_cast<size_t>(std::min(std::max<int64_t>(count, 0), ChunkSize)));
    int64_t left = count;
    while (left > 0) {
        int64_t n = std::min(left, ChunkSize);
        source.ReadBuffer(buffer.data(), n);
        WriteBuffer(buffer.data(), n);
        left -= n;
    }
    return std::max<int64_t>(count, 0);
}

// ---- TMemoryStream ----

int64_t TMemoryStream::Read(void* buffer, int64_t count) {
    int64_t size = Size();
    if (count <= 0 || FPosition >= size) return 0;
    int64_t n = std::min(count, size - FPosition);
    std::memcpy(buffer, FData.data() + FPosition, static_cast<size_t>(n));
    FPosition += n;
    return n;
}

int64_t TMemoryStream::Write(const void* buffer, int64_t count) {
    if (count <= 0) return 0;
    int64_t end = FPosition + count;
    if (end > Size()) FData.resize(static_cast<size_t>(end));
    std::memcpy(FData.data() + FPosition, buffer, static_cast<size_t>(count));
    FPosition = end;
    return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
    int64_t base = origin == TSeekOrigin::soBeginning ? 0
                   : origin == TSeekOrigin::soCurrent ? FPosition
                                                      : Size();
    int64_t pos = base + offset;
    if (pos < 0) throw EStreamError("Invalid stream position");
    FPosition = pos;
    return pos;
}

void TMemoryStream::SetSize(int64_t value) {
    if (value < 0) throw EStreamError("Invalid stream size");
    FData.resize(static_cast<size_t>(value));
}

void TMemoryStream::Clear() {
    FData.clear();
    FPosition = 0;
}

void TMemoryStream::LoadFromStream(TStream& stream) {
    stream.SetPosition(0);
    int64_t size = stream.Size();
    std::vector<uint8_t> data(static_cast<size_t>(size));
    stream.ReadBuffer(data.data(), size);
    FData = std::move(data);
    FPosition = 0;
}

void TMemoryStream::LoadFromFile(const std::string& fileName) {
    TFileStream file(fileName, fmOpenRead);
    LoadFromStream(file);
}

void TMemoryStream::SaveToStream(TStream& stream) const {
    stream.WriteBuffer(FData.data(), static_cast<int64_t>(FData.size()));
}

void TMemoryStream::SaveToFile(const std::string& fileName) const {
    TFileStream file(fileName, fmCreate);
    SaveToStream(file);
}

// ---- TFileStream ----

TFileStream::TFileStream(const std::string& fileName, uint16_t mode) : FFileName(fileName) {
    const char* how = "rb";
    if (mode == fmCreate)
        how = "w+b";
    else if ((mode & 3) == fmOpenWrite || (mode & 3) == fmOpenReadWrite)
        how = "r+b";
    FFile = std::fopen(fileName.c_str(), how);
    if (!FFile) {
        std::string reason = std::strerror(errno);
        if (mode == fmCreate)
            throw EFCreateError("Cannot create file \"" + fileName + "\". " + reason);
        throw EFOpenError("Cannot open file \"" + fileName + "\". " + reason);
    }
    FCanRead = mode == fmCreate || (mode & 3) != fmOpenWrite;
    FCanWrite = mode == fmCreate || (mode & 3) != fmOpenRead;
}

TFileStream::~TFileStream() {
    if (FFile) std::fclose(FFile);
}

int64_t TFileStream::Read(void* buffer, int64_t count) {
    if (count <= 0 || !FCanRead) return 0;
    if (FLastOp == 2) std::fseek(FFile, 0, SEEK_CUR);
    FLastOp = 1;
    return static_cast<int64_t>(std::fread(buffer, 1, static_cast<size_t>(count), FFile));
}

int64_t TFileStream::Write(const void* buffer, int64_t count) {
    if (count <= 0 || !FCanWrite) return 0;
    if (FLastOp == 1) std::fseek(FFile, 0, SEEK_CUR);
    FLastOp = 2;
    return static_cast<int64_t>(std::fwrite(buffer, 1, static_cast<size_t>(count), FFile));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET
                 : origin == TSeekOrigin::soCurrent ? SEEK_CUR
                                                    : SEEK_END;
    int64_t before = std::ftell(FFile);
    if (std::fseek(FFile, static_cast<long>(offset), whence) != 0) {
        std::fseek(FFile, static_cast<long>(before), SEEK_SET);
        throw EStreamError("Invalid stream position");
    }
    FLastOp = 0;
    return std::ftell(FFile);
}

} // namespace orvel
