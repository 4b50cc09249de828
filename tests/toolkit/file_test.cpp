#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "vq/file.h"

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(FileStreamTest, WritesEverythingAndFlushesOnDestruction) {
    // Each flavour's binary runs in parallel with the others: a file of its own.
    std::string path =
        std::string(VQ_TEST_BINARY_DIR) + "/stream_test_" + std::to_string(getpid()) + ".bin";
    std::string expected;
    {
        vqFileOutputStream out(vqString::FromUTF8(path));
        ASSERT_TRUE(out.IsOk());
        // Cross the buffer size with small and large pieces.
        for (int i = 0; i < 5000; ++i) {
            std::string piece = "line " + std::to_string(i) + "\n";
            out.Write(piece.data(), piece.size());
            expected += piece;
        }
        std::string big(200000, 'x');
        out.Write(big.data(), big.size());
        expected += big;
        EXPECT_TRUE(out.IsOk());
    }
    EXPECT_EQ(ReadAll(path), expected);
    EXPECT_TRUE(vqFile::Exists(vqString::FromUTF8(path)));
    std::remove(path.c_str());
}

TEST(FileStreamTest, FailuresShowInIsOk) {
    vqFileOutputStream missing(vqT("/no/such/dir/x.bin"));
    EXPECT_FALSE(missing.IsOk());
    missing.Write("abc", 3);
    EXPECT_FALSE(missing.IsOk());
    vqFileOutputStream dir(vqT("/tmp"));
    EXPECT_FALSE(dir.IsOk());
    vqFileOutputStream full(vqT("/dev/full"));
    ASSERT_TRUE(full.IsOk());
    std::string block(1000, 'y');
    for (int i = 0; i < 100 && full.IsOk(); ++i) full.Write(block.data(), block.size());
    EXPECT_FALSE(full.IsOk());
    EXPECT_NE(full.GetLastErrno(), 0);
}

TEST(FileNameTest, LastComponentAcceptsBothSeparators) {
    EXPECT_EQ(vqFileNameFromPath(vqT("out\\pics\\a.svg")), vqString(vqT("a.svg")));
    EXPECT_EQ(vqFileNameFromPath(vqT("out/pics/b.svg")), vqString(vqT("b.svg")));
    EXPECT_EQ(vqFileNameFromPath(vqT("c.svg")), vqString(vqT("c.svg")));
    EXPECT_EQ(vqPathOnly(vqT("out/pics/b.svg")), vqString(vqT("out/pics")));
    EXPECT_FALSE(vqFile::Exists(vqT("/tmp")));
}

}  // namespace
