#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
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

    std::ofstream(dir + "/text.png") << "this is plain text, not a picture\n";
    EXPECT_FALSE(handler.LoadFile(&bmp, Path("text.png")));
    ASSERT_EQ(log.errors.size(), 2u);
    EXPECT_NE(log.errors[1].find("text.png"), std::string::npos);
    EXPECT_NE(log.errors[1].find("not a PNG"), std::string::npos);

    // A real PNG cut short after its header.
    ASSERT_TRUE(Pattern(64, 64, true).SaveFile(Path("whole.png"), vqBITMAP_TYPE_PNG));
    std::ifstream in(dir + "/whole.png", std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::ofstream(dir + "/cut.png", std::ios::binary) << bytes.substr(0, bytes.size() / 2);
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
    struct stat st;
    EXPECT_NE(stat((dir + "/empty.png").c_str(), &st), 0);

    // A device that refuses every byte: the error surfaces and nothing claims success.
    if (access("/dev/full", W_OK) == 0) {
        EXPECT_FALSE(handler.SaveFile(Pattern(300, 300, true), vqT("/dev/full")));
        EXPECT_EQ(log.errors.size(), 4u);
        // The failed save must not remove what it could not write to.
        struct stat dev;
        ASSERT_EQ(stat("/dev/full", &dev), 0);
        EXPECT_TRUE(S_ISCHR(dev.st_mode));
    }
}

TEST_F(PngHandlerTest, SavesIntoAnOpenStream) {
    vqtest::ErrorLog log;
    vqBitmap original = Pattern(7, 5, true);
    {
        vqFileOutputStream out(Path("stream.png"), vqFileOutputStream::CREATE_NEW);
        ASSERT_TRUE(original.SaveFile(out, Path("stream.png"), vqBITMAP_TYPE_PNG));
        EXPECT_TRUE(out.Close());
    }
    vqBitmap loaded;
    ASSERT_TRUE(loaded.LoadFile(Path("stream.png"), vqBITMAP_TYPE_PNG));
    ExpectSamePixels(original, loaded);

    // A stream that fails says so, once, naming the file it was given.
    vqFileOutputStream full(vqT("/dev/full"));
    vqBitmap big = Pattern(300, 300, true);
    EXPECT_FALSE(big.SaveFile(full, vqT("full.png"), vqBITMAP_TYPE_PNG));
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_NE(log.errors[0].find("full.png"), std::string::npos) << log.errors[0];
}

TEST_F(PngHandlerTest, NonAsciiFileNamesWork) {
    vqString name = Path("bild_\xc3\xa4\xc3\xb6.png");
    vqBitmap original = Pattern(5, 6, true);
    ASSERT_TRUE(original.SaveFile(name, vqBITMAP_TYPE_PNG));
    struct stat st;
    EXPECT_EQ(stat((dir + "/bild_\xc3\xa4\xc3\xb6.png").c_str(), &st), 0);
    vqBitmap loaded;
    ASSERT_TRUE(loaded.LoadFile(name, vqBITMAP_TYPE_PNG));
    ExpectSamePixels(original, loaded);
}

}  // namespace
