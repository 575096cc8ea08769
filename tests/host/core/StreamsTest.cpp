// Memory and file streams: reading, writing, seeking, copying and their errors.
#include "orvel/host/core/Streams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include <unistd.h>

using namespace orvel;

namespace {

std::string ReadAll(TStream& s) {
    std::string out(static_cast<size_t>(s.Size() - s.Position()), '\0');
    s.ReadBuffer(out.data(), static_cast<int64_t>(out.size()));
    return out;
}

TEST(MemoryStream, WritesReadsSeeksAndGrows) {
    TMemoryStream s;
    s.WriteBuffer("hello", 5);
    EXPECT_EQ(s.Size(), 5);
    EXPECT_EQ(s.Position(), 5);
    s.Seek(-3, TSeekOrigin::soEnd);
    s.WriteBuffer("LLO!", 4); // overwrites and extends
    s.SetPosition(0);
    EXPECT_EQ(ReadAll(s), "heLLO!");
    char c = 0;
    EXPECT_EQ(s.Read(&c, 1), 0); // at the end
    EXPECT_THROW(s.ReadBuffer(&c, 1), EReadError);
    // A position beyond the end is allowed; writing there fills the gap with zeros.
    s.SetPosition(8);
    s.WriteBuffer("x", 1);
    EXPECT_EQ(s.Size(), 9);
    EXPECT_EQ(s.Bytes()[7], 0);
    EXPECT_THROW(s.Seek(-1, TSeekOrigin::soBeginning), EStreamError);
    EXPECT_EQ(s.Position(), 9);
    s.SetSize(2);
    s.SetPosition(0);
    EXPECT_EQ(ReadAll(s), "he");
}

TEST(MemoryStream, CopyFromTakesCountOrTheWholeSource) {
    TMemoryStream src, dst;
    src.WriteBuffer("abcdef", 6);
    src.SetPosition(2);
    EXPECT_EQ(dst.CopyFrom(src, 3), 3);
    EXPECT_EQ(dst.CopyFrom(src, 0), 6); // count 0: from the start, all of it
    dst.SetPosition(0);
    EXPECT_EQ(ReadAll(dst), "cdeabcdef");
    src.SetPosition(4);
    EXPECT_THROW(dst.CopyFrom(src, 5), EReadError);
}

TEST(FileStream, RoundTripAndOpenErrors) {
    auto path = (std::filesystem::temp_directory_path() /
                 ("orvel_stream_" + std::to_string(::getpid()) + ".bin"))
                    .string();
    {
        TFileStream out(path, fmCreate);
        out.WriteBuffer("0123456789", 10);
        out.SetPosition(2);
        char two[2];
        out.ReadBuffer(two, 2); // read after write needs no help from the caller
        EXPECT_EQ(std::string(two, 2), "23");
        out.WriteBuffer("AB", 2);
    }
    {
        TFileStream in(path, fmOpenRead);
        EXPECT_EQ(in.Size(), 10);
        EXPECT_EQ(ReadAll(in), "0123AB6789");
        EXPECT_EQ(in.Write("x", 1), 0); // opened for reading only
        TMemoryStream copy;
        copy.LoadFromFile(path);
        EXPECT_EQ(copy.Size(), 10);
    }
    std::filesystem::remove(path);
    EXPECT_THROW(TFileStream(path, fmOpenRead), EFOpenError);
    EXPECT_THROW(TFileStream("/nonexistent-dir/x.bin", fmCreate), EFCreateError);
}

} // namespace
