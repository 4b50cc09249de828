#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "test_support.h"
#include "vq/file.h"

namespace {

// The device that refuses every byte written to it with ENOSPC, or null where there is none.
const vqChar* FullDevice() {
#ifdef _WIN32
    return nullptr;
#else
    return vqT("/dev/full");
#endif
}

std::filesystem::path FsPath(const std::string& utf8) { return std::filesystem::u8path(utf8); }

std::string ReadAll(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

TEST(FileStreamTest, WritesEverythingAndFlushesOnDestruction) {
    // Each flavour's binary runs in parallel with the others: a file of its own.
    vqtest::ScratchDir dir;
    std::string path = dir.Path("stream_test.bin");
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
}

TEST(FileStreamTest, FailuresShowInIsOk) {
    vqtest::ScratchDir scratch;
    vqFileOutputStream missing(vqString::FromUTF8(scratch.Path("no/such/dir/x.bin")));
    EXPECT_FALSE(missing.IsOk());
    missing.Write("abc", 3);
    EXPECT_FALSE(missing.IsOk());
    vqFileOutputStream dir(vqString::FromUTF8(scratch.Dir()));
    EXPECT_FALSE(dir.IsOk());
}

TEST(FileStreamTest, AFullDeviceFailsTheWrites) {
    if (!FullDevice()) GTEST_SKIP() << "this system has no device that is always full";
    vqFileOutputStream full(FullDevice());
    ASSERT_TRUE(full.IsOk());
    std::string block(1000, 'y');
    for (int i = 0; i < 100 && full.IsOk(); ++i) full.Write(block.data(), block.size());
    EXPECT_FALSE(full.IsOk());
    EXPECT_NE(full.GetLastErrno(), 0);
}

TEST(FileStreamTest, CreateNewRefusesEveryExistingName) {
    vqtest::ScratchDir dir;
    std::ofstream(FsPath(dir.Path("file"))) << "old";
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(dir.Path("dir"))));
    for (const char* name : {"file", "dir"}) {
        vqFileOutputStream out(vqString::FromUTF8(dir.Path(name)), vqFileOutputStream::NEW_ONLY);
        EXPECT_FALSE(out.IsOk()) << name;
        EXPECT_EQ(out.GetLastErrno(), EEXIST) << name;
    }
    EXPECT_EQ(ReadAll(dir.Path("file")), "old");

    {
        vqFileOutputStream out(vqString::FromUTF8(dir.Path("new")), vqFileOutputStream::NEW_ONLY);
        ASSERT_TRUE(out.IsOk());
        out.Write("fresh", 5);
        EXPECT_TRUE(out.Close());
        // Closed: nothing more reaches the file.
        out.Write("more", 4);
        EXPECT_FALSE(out.IsOk());
    }
    EXPECT_EQ(ReadAll(dir.Path("new")), "fresh");
    // Replacing empties an existing file.
    {
        vqFileOutputStream out(vqString::FromUTF8(dir.Path("new")));
        out.Write("x", 1);
    }
    EXPECT_EQ(ReadAll(dir.Path("new")), "x");
}

TEST(FileStreamTest, CreateNewRefusesFifosAndNeverFollowsALink) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs, and symbolic links need a privilege tests lack";
#else
    vqtest::ScratchDir dir;
    std::ofstream(dir.Path("file")) << "old";
    ASSERT_EQ(mkfifo(dir.Path("fifo").c_str(), 0644), 0);
    ASSERT_EQ(symlink(dir.Path("target").c_str(), dir.Path("dangling").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("file").c_str(), dir.Path("link").c_str()), 0);
    for (const char* name : {"fifo", "dangling", "link"}) {
        vqFileOutputStream out(vqString::FromUTF8(dir.Path(name)), vqFileOutputStream::NEW_ONLY);
        EXPECT_FALSE(out.IsOk()) << name;
        EXPECT_EQ(out.GetLastErrno(), EEXIST) << name;
    }
    EXPECT_EQ(ReadAll(dir.Path("file")), "old");
    EXPECT_NE(access(dir.Path("target").c_str(), F_OK), 0);
#endif
}

TEST(FileStreamTest, CloseReportsWhatTheLastFlushLost) {
    if (!FullDevice()) GTEST_SKIP() << "this system has no device that is always full";
    vqFileOutputStream full(FullDevice());
    ASSERT_TRUE(full.IsOk());
    full.Write("abc", 3);
    EXPECT_TRUE(full.IsOk());
    EXPECT_FALSE(full.Close());
    EXPECT_EQ(full.GetLastErrno(), ENOSPC);
}

TEST(FileStreamTest, FormatsAndTextGoStraightInAsUtf8) {
    vqtest::ScratchDir dir;
    // Long enough to cross the buffer several times, with characters of every length.
    vqString text;
    for (int i = 0; i < 30000; ++i)
        text += vqString::FromUTF8("a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80");
    std::string expected;
    {
        vqFileOutputStream out(vqString::FromUTF8(dir.Path("text")));
        out.Format(vqT("<%s %5d|%-4s|%.2g>"), vqT("tag"), -42, vqT("ab"), 2.8346);
        expected += vqString::Format(vqT("<%s %5d|%-4s|%.2g>"), vqT("tag"), -42, vqT("ab"), 2.8346)
                        .ToUTF8();
        out.WriteText(text.c_str(), text.length());
        expected += text.ToUTF8();
        out.WriteInt(-9223372036854775807LL - 1).Write(",", 1).WriteInt(0);
        expected += "-9223372036854775808,0";
        out.Format(vqT("[%s]"), text.c_str());
        expected += "[" + text.ToUTF8() + "]";
        EXPECT_TRUE(out.Close());
    }
    EXPECT_EQ(ReadAll(dir.Path("text")), expected);

    // A stream that never opened takes nothing and stays failed.
    vqFileOutputStream missing(vqString::FromUTF8(dir.Path("no/such/dir/x.txt")));
    missing.Format(vqT("%d"), 1);
    missing.WriteText(vqT("x"), 1);
    EXPECT_FALSE(missing.IsOk());
}

TEST(FileNameTest, LastComponentAcceptsBothSeparators) {
    EXPECT_EQ(vqFileNameFromPath(vqT("out\\pics\\a.svg")), vqString(vqT("a.svg")));
    EXPECT_EQ(vqFileNameFromPath(vqT("out/pics/b.svg")), vqString(vqT("b.svg")));
    EXPECT_EQ(vqFileNameFromPath(vqT("c.svg")), vqString(vqT("c.svg")));
    EXPECT_EQ(vqPathOnly(vqT("out/pics/b.svg")), vqString(vqT("out/pics")));
    // A directory is not a file.
    vqtest::ScratchDir dir;
    EXPECT_FALSE(vqFile::Exists(vqString::FromUTF8(dir.Dir())));
}

}  // namespace
