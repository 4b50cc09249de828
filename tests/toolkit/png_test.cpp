#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "test_support.h"
#include "vq/pnghandler.h"

namespace {

// A fresh directory per test, so the flavours running side by side never meet.
class PngHandlerTest : public ::testing::Test {
protected:
    void SetUp() override { vqImage::AddHandler(new vqPNGHandler); }
    vqString Path(const std::string& name) const { return vqString::FromUTF8(scratch.Path(name)); }

    vqtest::ScratchDir scratch;
    const std::string& dir = scratch.Dir();
};

bool FileExists(const std::string& utf8) {
    std::error_code error;
    return std::filesystem::exists(std::filesystem::u8path(utf8), error);
}

// A bitmap whose every pixel differs from its neighbours in each channel.
vqBitmap Pattern(int w, int h, bool alpha) {
    vqBitmap bmp(w, h, 32);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixel(x, y, vqColour(x * 7 % 256, y * 13 % 256, (x + y) * 29 % 256),
                         alpha ? (x * y + 1) % 256 : 255);
    bmp.SetHasAlpha(alpha);
    return bmp;
}

void ExpectSamePixels(const vqBitmap& a, const vqBitmap& b) {
    ASSERT_EQ(a.GetWidth(), b.GetWidth());
    ASSERT_EQ(a.GetHeight(), b.GetHeight());
    size_t n = static_cast<size_t>(a.GetWidth()) * a.GetHeight() * 4;
    EXPECT_EQ(std::vector<unsigned char>(a.GetData(), a.GetData() + n),
              std::vector<unsigned char>(b.GetData(), b.GetData() + n));
}

TEST_F(PngHandlerTest, RoundTripKeepsEveryPixelWithAndWithoutAlpha) {
    for (bool alpha : {true, false}) {
        vqBitmap original = Pattern(37, 11, alpha);
        vqString name = Path(alpha ? "rgba.png" : "rgb.png");
        ASSERT_TRUE(original.SaveFile(name, vqBITMAP_TYPE_PNG));
        vqBitmap loaded;
        ASSERT_TRUE(loaded.LoadFile(name, vqBITMAP_TYPE_PNG));
        EXPECT_EQ(loaded.HasAlpha(), alpha);
        ExpectSamePixels(original, loaded);
        // Detection by content reaches the same handler.
        vqBitmap detected;
        ASSERT_TRUE(detected.LoadFile(name));
        ExpectSamePixels(original, detected);
    }
}

// Pictures taller than the rows an encoder takes at a time, with odd widths, keep
// every row in place.
TEST_F(PngHandlerTest, RoundTripKeepsTheRowsOfLargerPictures) {
    for (bool alpha : {true, false}) {
        const vqBitmap original = Pattern(131, 203, alpha);
        const vqString name = Path(alpha ? "tall_rgba.png" : "tall_rgb.png");
        ASSERT_TRUE(original.SaveFile(name, vqBITMAP_TYPE_PNG));
        vqSize size;
        ASSERT_TRUE(vqPNGHandler::ReadSize(name, &size, nullptr));
        EXPECT_EQ(size, vqSize(131, 203));
        vqBitmap loaded;
        vqString error;
        ASSERT_TRUE(vqPNGHandler::Read(name, 0, &loaded, &error)) << error.ToUTF8();
        EXPECT_EQ(loaded.HasAlpha(), alpha);
        ExpectSamePixels(original, loaded);
        // A bound below the picture's pixels refuses it from the header.
        EXPECT_FALSE(vqPNGHandler::Read(name, 131 * 203 - 1, &loaded, &error));
        EXPECT_NE(error.ToUTF8().find("131 x 203"), std::string::npos) << error.ToUTF8();
    }
}

TEST_F(PngHandlerTest, HandlerNamesItsFormatAndStaysSingle) {
    vqPNGHandler handler;
    EXPECT_EQ(handler.GetName(), vqT("PNG file"));
    EXPECT_EQ(handler.GetExtension(), vqT("png"));
    EXPECT_EQ(handler.GetMimeType(), vqT("image/png"));
    EXPECT_EQ(handler.GetType(), vqBITMAP_TYPE_PNG);
    size_t count = vqImage::GetHandlerCount();
    for (int i = 0; i < 5; ++i) vqImage::AddHandler(new vqPNGHandler);
    EXPECT_EQ(vqImage::GetHandlerCount(), count);
}

TEST_F(PngHandlerTest, UnreadableFilesFailAndNameTheFile) {
    vqtest::ErrorLog log;
    vqBitmap bmp = Pattern(4, 4, false);
    vqPNGHandler handler;

    EXPECT_FALSE(handler.LoadFile(&bmp, Path("missing.png")));
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("missing.png"), std::string::npos) << log.errors[0];
    EXPECT_NE(log.errors[0].find("No such file"), std::string::npos) << log.errors[0];

    std::ofstream(std::filesystem::u8path(dir + "/text.png"))
        << "this is plain text, not a picture\n";
    EXPECT_FALSE(handler.LoadFile(&bmp, Path("text.png")));
    ASSERT_EQ(log.errors.size(), 2u);
    EXPECT_NE(log.errors[1].find("text.png"), std::string::npos);
    EXPECT_NE(log.errors[1].find("not a PNG"), std::string::npos);

    // A real PNG cut short after its header.
    ASSERT_TRUE(Pattern(64, 64, true).SaveFile(Path("whole.png"), vqBITMAP_TYPE_PNG));
    std::ifstream in(std::filesystem::u8path(dir + "/whole.png"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(std::filesystem::u8path(dir + "/cut.png"), std::ios::binary)
        << bytes.substr(0, bytes.size() / 2);
    EXPECT_FALSE(handler.LoadFile(&bmp, Path("cut.png")));
    ASSERT_EQ(log.errors.size(), 3u);
    EXPECT_NE(log.errors[2].find("cut.png"), std::string::npos);

    // Every failure leaves the bitmap as it was.
    ExpectSamePixels(bmp, Pattern(4, 4, false));
}

TEST_F(PngHandlerTest, SaveFailuresAreReportedAndLeaveNoFile) {
    vqtest::ErrorLog log;
    vqPNGHandler handler;
    EXPECT_FALSE(handler.SaveFile(Pattern(3, 3, false), Path("nodir/a.png")));
    EXPECT_FALSE(handler.SaveFile(vqBitmap(), Path("empty.png")));
    EXPECT_FALSE(handler.SaveFile(Pattern(3, 3, false), vqString::FromUTF8(dir)));
    ASSERT_EQ(log.errors.size(), 3u);
    EXPECT_NE(log.errors[0].find("nodir/a.png"), std::string::npos);
    EXPECT_NE(log.errors[1].find("empty.png"), std::string::npos);
    EXPECT_FALSE(FileExists(dir + "/empty.png"));

#ifndef _WIN32
    // A device that refuses every byte: the error surfaces and nothing claims success.
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(handler.SaveFile(Pattern(300, 300, true), vqT("/dev/full")));
        EXPECT_EQ(log.errors.size(), 4u);
        // The failed save must not remove what it could not write to.
        struct stat dev;
        ASSERT_EQ(stat("/dev/full", &dev), 0);
        EXPECT_TRUE(S_ISCHR(dev.st_mode));
    }
#endif
}

TEST_F(PngHandlerTest, SavesIntoAnOpenStream) {
    vqtest::ErrorLog log;
    vqBitmap original = Pattern(7, 5, true);
    {
        vqFileOutputStream out(Path("stream.png"), vqFileOutputStream::NEW_ONLY);
        ASSERT_TRUE(original.SaveFile(out, Path("stream.png"), vqBITMAP_TYPE_PNG));
        EXPECT_TRUE(out.Close());
    }
    vqBitmap loaded;
    ASSERT_TRUE(loaded.LoadFile(Path("stream.png"), vqBITMAP_TYPE_PNG));
    ExpectSamePixels(original, loaded);

    // A stream that fails says so, once, naming the file it was given: one whose every
    // write fails (a full device), or on Windows, which has none, one that never opened.
#ifdef _WIN32
    vqFileOutputStream full(vqString::FromUTF8(dir));
#else
    vqFileOutputStream full(vqT("/dev/full"));
#endif
    vqBitmap big = Pattern(300, 300, true);
    EXPECT_FALSE(big.SaveFile(full, vqT("full.png"), vqBITMAP_TYPE_PNG));
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("full.png"), std::string::npos) << log.errors[0];
}

TEST_F(PngHandlerTest, NonAsciiFileNamesWork) {
    vqString name = Path("bild_\xc3\xa4\xc3\xb6.png");
    vqBitmap original = Pattern(5, 6, true);
    ASSERT_TRUE(original.SaveFile(name, vqBITMAP_TYPE_PNG));
    EXPECT_TRUE(FileExists(dir + "/bild_\xc3\xa4\xc3\xb6.png"));
    vqBitmap loaded;
    ASSERT_TRUE(loaded.LoadFile(name, vqBITMAP_TYPE_PNG));
    ExpectSamePixels(original, loaded);
}

// PNG files made byte by byte, for what the encoder never writes.

// The CRC-32 of ISO 3309 that ends every chunk, bit by bit: the files are small.
uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return crc ^ 0xFFFFFFFFu;
}

std::string BigEndian(uint32_t value) {
    return {static_cast<char>(value >> 24), static_cast<char>(value >> 16),
            static_cast<char>(value >> 8), static_cast<char>(value)};
}

// A whole chunk: length, type, data and CRC.
std::string Chunk(const std::string& type, const std::string& data) {
    return BigEndian(static_cast<uint32_t>(data.size())) + type + data +
           BigEndian(Crc32(type + data));
}

const std::string kSignature("\x89PNG\r\n\x1a\n", 8);

std::string Header(uint32_t width, uint32_t height, int depth, int colourType) {
    return Chunk("IHDR", BigEndian(width) + BigEndian(height) + static_cast<char>(depth) +
                             static_cast<char>(colourType) + std::string(3, '\0'));
}

// A zlib stream holding the bytes in one stored (uncompressed) deflate block.
std::string StoredZlib(const std::string& raw) {
    uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) a = (a + byte) % 65521, b = (b + a) % 65521;
    const uint16_t n = static_cast<uint16_t>(raw.size());
    std::string out("\x78\x01\x01", 3);
    out += static_cast<char>(n & 0xFF), out += static_cast<char>(n >> 8);
    out += static_cast<char>(~n & 0xFF), out += static_cast<char>((~n >> 8) & 0xFF);
    return out + raw + BigEndian((b << 16) | a);
}

// The 61 bytes that made libpng allocate 2 GiB: a 1 x 1 header, then a chunk of the
// type declaring 2^31 - 1 bytes of which the file holds a keyword and a few more.
std::string GreedyChunkPng(const std::string& type) {
    std::string png = kSignature + Header(1, 1, 8, 0) + BigEndian(0x7FFFFFFFu) + type + "Comment";
    png.resize(61, '\0');
    return png;
}

// Reads each file every way the handler can, in this (death-test child) process; exits 0 when
// each was refused and the peak resident size grew by less than 64 MiB, else says why.
void ReadGreedyFilesAndExit(const std::vector<vqString>& files) {
    const long before = vqtest::PeakResidentKiB();
    int status = 0;
    for (const vqString& file : files) {
        vqBitmap bitmap;
        vqSize size;
        if (vqPNGHandler::Read(file, 0, &bitmap, nullptr) ||
            vqPNGHandler::ReadSize(file, &size, nullptr)) {
            fprintf(stderr, "%s was not refused\n", file.ToUTF8().c_str());
            status = 1;
        }
    }
    const long grown = vqtest::PeakResidentKiB() - before;
    if (grown >= 64 * 1024) {
        fprintf(stderr, "reading grew the peak resident size by %ld KiB\n", grown);
        status = 1;
    }
    fflush(stderr);
    _exit(status);
}

TEST_F(PngHandlerTest, ChunksDeclaringGigabytesAreRefusedWithoutAllocatingThem) {
    std::vector<vqString> files;
    for (const char* type : {"tEXt", "zTXt", "iTXt", "sPLT"}) {
        const std::string png = GreedyChunkPng(type);
        ASSERT_EQ(png.size(), 61u);
        scratch.Write(std::string(type) + ".png", png);
        files.push_back(Path(std::string(type) + ".png"));
    }
    EXPECT_EXIT(ReadGreedyFilesAndExit(files), ::testing::ExitedWithCode(0), "");

    // Refused as a file cut short, once each, naming the file; the bitmap is kept.
    vqtest::ErrorLog log;
    vqPNGHandler handler;
    vqBitmap kept = Pattern(4, 4, false);
    for (size_t i = 0; i < files.size(); ++i) {
        EXPECT_FALSE(handler.LoadFile(&kept, files[i]));
        ASSERT_EQ(log.errors.size(), i + 1);
        EXPECT_NE(log.errors[i].find(files[i].ToUTF8()), std::string::npos) << log.errors[i];
    }
    ExpectSamePixels(kept, Pattern(4, 4, false));
}

// Every ancillary chunk is skipped unread, however large, before the pixels or after
// them; the palette and its transparency are still read.
TEST_F(PngHandlerTest, AncillaryChunksOfAnySizeAreSkippedAndThePaletteKept) {
    const vqBitmap original = Pattern(9, 4, true);
    ASSERT_TRUE(original.SaveFile(Path("plain.png"), vqBITMAP_TYPE_PNG));
    std::ifstream in(std::filesystem::u8path(dir + "/plain.png"), std::ios::binary);
    const std::string plain((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    // The encoder writes IHDR first and IEND last (12 bytes).
    const size_t afterHeader = kSignature.size() + 25, iend = plain.size() - 12;
    ASSERT_EQ(plain.compare(afterHeader + 4, 4, "IDAT"), 0);
    const std::string text =
        Chunk("tEXt", "Comment" + std::string(1, '\0') + std::string(1 << 20, 'x'));
    const std::string palette =
        Chunk("sPLT", "p" + std::string(1, '\0') + "\x08" + std::string(6000, '\x7f'));
    const std::string international =
        Chunk("iTXt", "Title" + std::string(5, '\0') + std::string(100000, 'y'));
    scratch.Write("chunky.png", plain.substr(0, afterHeader) + text + palette +
                                    plain.substr(afterHeader, iend - afterHeader) + international +
                                    plain.substr(iend));
    vqBitmap loaded;
    ASSERT_TRUE(loaded.LoadFile(Path("chunky.png"), vqBITMAP_TYPE_PNG));
    ExpectSamePixels(original, loaded);

    // Two palette entries, the first fully transparent, and a large chunk between.
    const std::string indexed = kSignature + Header(2, 1, 8, 3) +
                                Chunk("PLTE", std::string("\xff\x00\x00\x00\x00\xff", 6)) +
                                Chunk("tRNS", std::string(1, '\0')) + text +
                                Chunk("IDAT", StoredZlib(std::string("\x00\x00\x01", 3))) +
                                Chunk("IEND", "");
    scratch.Write("indexed.png", indexed);
    ASSERT_TRUE(loaded.LoadFile(Path("indexed.png"), vqBITMAP_TYPE_PNG));
    EXPECT_TRUE(loaded.HasAlpha());
    ASSERT_EQ(loaded.GetSize(), vqSize(2, 1));
    const unsigned char* rgba = loaded.GetData();
    EXPECT_EQ(std::vector<unsigned char>(rgba, rgba + 8),
              (std::vector<unsigned char>{0xff, 0, 0, 0, 0, 0, 0xff, 0xff}));
}

}  // namespace
