#ifndef _WIN32
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <climits>
#include <cstring>
#include <filesystem>

#include "render_util.h"
#include "vq/memory_dc.h"

namespace {

using svgtest::Body;
using svgtest::FileExists;
using svgtest::InitialGroup;
using svgtest::ReadFile;
using svgtest::ScratchDir;
using svgtest::U8;
using svgtest::V;

// Makes a directory; false when it cannot.
bool MakeDirectory(const std::string& path) {
    std::error_code error;
    return std::filesystem::create_directory(U8(path), error);
}

// Renames a file or directory; false when it cannot.
bool Rename(const std::string& from, const std::string& to) {
    std::error_code error;
    std::filesystem::rename(U8(from), U8(to), error);
    return !error;
}

std::string Element(int x, int y, int w, int h, const std::string& href) {
    return " <image x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
           std::to_string(w) + "px\" height=\"" + std::to_string(h) + "px\"  xlink:href=\"" + href +
           "\"> \n<title>Image from vqSVG</title>  </image>\n";
}

// A bitmap whose pixels all differ.
vqBitmap Pattern(int w, int h) {
    vqBitmap bmp(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixel(x, y, vqColour(x * 8 % 256, y * 16 % 256, 255 - (x + y) % 256));
    return bmp;
}

void ExpectPngHolds(const std::string& path, const vqBitmap& expected) {
    vqBitmap loaded;
    vqImage::AddHandler(new vqPNGHandler);
    ASSERT_TRUE(loaded.LoadFile(V(path), vqBITMAP_TYPE_PNG)) << path;
    ASSERT_EQ(loaded.GetWidth(), expected.GetWidth());
    ASSERT_EQ(loaded.GetHeight(), expected.GetHeight());
    for (int y = 0; y < expected.GetHeight(); ++y)
        for (int x = 0; x < expected.GetWidth(); ++x) {
            vqColour a, b;
            loaded.GetPixel(x, y, &a);
            expected.GetPixel(x, y, &b);
            ASSERT_EQ(a, b) << path << " at " << x << "," << y;
        }
}

std::string AfterGroup(const std::string& path) {
    std::string body = Body(ReadFile(path));
    std::string group = InitialGroup();
    EXPECT_EQ(body.compare(0, group.size(), group), 0) << body;
    return body.compare(0, group.size(), group) == 0 ? body.substr(group.size()) : body;
}

// Runs a test body inside a scratch directory as the working directory.
class InDirectory {
public:
    explicit InDirectory(const std::string& dir) {
        std::error_code error;
        m_old = std::filesystem::current_path(error);
        EXPECT_FALSE(error) << error.message();
        std::filesystem::current_path(U8(dir), error);
        EXPECT_FALSE(error) << dir << ": " << error.message();
    }
    ~InDirectory() {
        std::error_code error;
        std::filesystem::current_path(m_old, error);
        EXPECT_FALSE(error) << error.message();
    }

private:
    std::filesystem::path m_old;
};

TEST(SvgBitmapTest, SideFilesBesideTheDocumentAndRelativeReferences) {
    ScratchDir dir;
    ASSERT_TRUE(MakeDirectory(dir.Path("out")));
    std::string svg = dir.Path("out/pic.svg");
    vqBitmap a = Pattern(32, 16), b = Pattern(5, 7);
    {
        vqSVGFileDC dc(V(svg));
        dc.DrawBitmap(a, 10, 20);
        dc.DrawBitmap(b, -3, 4, true);
        dc.DrawBitmap(a, 0, 0);
        EXPECT_TRUE(dc.Ok());
    }
    EXPECT_EQ(AfterGroup(svg), Element(10, 20, 32, 16, "pic_image0.png") +
                                   Element(-3, 4, 5, 7, "pic_image1.png") +
                                   Element(0, 0, 32, 16, "pic_image2.png"));
    ExpectPngHolds(dir.Path("out/pic_image0.png"), a);
    ExpectPngHolds(dir.Path("out/pic_image1.png"), b);
    ExpectPngHolds(dir.Path("out/pic_image2.png"), a);
    svgtest::ExpectValidDocument(svg);

    // A viewer finds the picture: its pixels show where the element puts them.
    if (!svgtest::kCanRender) GTEST_SKIP() << svgtest::kCannotRender;
    svgtest::Rendered r = svgtest::Render(svg, 320);
    vqColour expected;
    a.GetPixel(20, 8, &expected);
    vqColour shown = r.Colour(10 + 20.5, 20 + 8.5);
    EXPECT_NEAR(shown.Red(), expected.Red(), 40);
    EXPECT_NEAR(shown.Blue(), expected.Blue(), 40);
    EXPECT_TRUE(r.Covered(10 + 20.5, 20 + 8.5));
}

TEST(SvgBitmapTest, NumberingSkipsExistingFiles) {
    ScratchDir dir;
    std::ofstream(dir.Path("pic_image0.png")) << "old";
    std::ofstream(dir.Path("pic_image1.png")) << "old";
    std::string svg = dir.Path("pic.svg");
    {
        vqSVGFileDC dc(V(svg));
        dc.DrawBitmap(Pattern(2, 2), 0, 0);
        dc.DrawBitmap(Pattern(3, 3), 0, 0);
    }
    EXPECT_EQ(AfterGroup(svg),
              Element(0, 0, 2, 2, "pic_image2.png") + Element(0, 0, 3, 3, "pic_image3.png"));
    EXPECT_EQ(ReadFile(dir.Path("pic_image0.png")), "old");
    ExpectPngHolds(dir.Path("pic_image3.png"), Pattern(3, 3));
}

TEST(SvgBitmapTest, SideFileNamesFromUnusualDocumentNames) {
    ScratchDir dir;
    ASSERT_TRUE(MakeDirectory(dir.Path("my.dir")));
    {
        vqSVGFileDC dc(V(dir.Path("my.dir/picture")));
        dc.DrawBitmap(Pattern(2, 2), 0, 0);
    }
    EXPECT_TRUE(FileExists(dir.Path("my.dir/picture_image0.png")));
    EXPECT_EQ(AfterGroup(dir.Path("my.dir/picture")), Element(0, 0, 2, 2, "picture_image0.png"));

    {
        InDirectory here(dir.Dir());
        {
            vqSVGFileDC dc(vqT("picture"));
            dc.DrawBitmap(Pattern(2, 2), 0, 0);
        }
        EXPECT_TRUE(FileExists(dir.Path("picture_image0.png")));
    }

    // Markup characters and non-ASCII letters in the name are escaped in the reference.
    std::string odd = "a&b 'q' \xc3\xa9.svg";
    {
        vqSVGFileDC dc(V(dir.Path(odd)));
        dc.DrawBitmap(Pattern(2, 2), 0, 0);
    }
    EXPECT_TRUE(FileExists(dir.Path("a&b 'q' \xc3\xa9_image0.png")));
    EXPECT_EQ(AfterGroup(dir.Path(odd)), Element(0, 0, 2, 2, "a&amp;b 'q' \xc3\xa9_image0.png"));
    svgtest::ExpectValidDocument(dir.Path(odd));
#ifndef _WIN32
    // So is a quote, which Windows file names cannot hold.
    {
        vqSVGFileDC dc(V(dir.Path("\"q\".svg")));
        dc.DrawBitmap(Pattern(2, 2), 0, 0);
    }
    EXPECT_EQ(AfterGroup(dir.Path("\"q\".svg")), Element(0, 0, 2, 2, "&quot;q&quot;_image0.png"));
    svgtest::ExpectValidPosixOnlyDocument(dir.Path("\"q\".svg"));
#endif
}

TEST(SvgBitmapTest, ReferencesReachSideFilesWhoseNamesAreNotPlainUriText) {
    ScratchDir dir;
    // '#', '?' and '%' mean something in a URI; a noncharacter is not XML; in 8-bit
    // builds a Latin-1 byte is not UTF-8. Each is percent-encoded in the reference.
    // A document kept for the host is named alike on both systems; the others have names
    // only one system can hold.
    enum Document { kCompared, kPosixOnly, kUnchecked };
    struct Case {
        std::string stem, stored, href;
        Document document;
    };
    std::vector<Case> cases = {{"R&D #1 100%41 \xEF\xBF\xBE", "R&D #1 100%41 \xEF\xBF\xBE",
                                "R&amp;D %231 100%2541 %EF%BF%BE", kCompared}};
#ifdef _WIN32
#ifndef VQ_UNICODE
    // Windows names are UTF-16: the byte is stored as U+FFFD, and the reference says so.
    cases.push_back({"caf\xE9", "caf\xEF\xBF\xBD", "caf\xEF\xBF\xBD", kUnchecked});
#endif
#else
    // Windows names hold no '?'.
    cases.push_back({"R&D?1", "R&D?1", "R&amp;D%3F1", kPosixOnly});
#ifndef VQ_UNICODE
    cases.push_back({"caf\xE9", "caf\xE9", "caf%E9", kPosixOnly});
#endif
#endif
    vqBitmap red(40, 40);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 40; ++x) red.SetPixel(x, y, vqColour(255, 0, 0));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stem);
        std::string svg = dir.Path(c.stem + ".svg");
        {
            vqSVGFileDC dc(V(svg));
            dc.DrawBitmap(red, 10, 10);
            EXPECT_TRUE(dc.Ok());
        }
        const std::string stored = dir.Path(c.stored + ".svg");
        EXPECT_EQ(AfterGroup(stored), Element(10, 10, 40, 40, c.href + "_image0.png"));
        ExpectPngHolds(dir.Path(c.stored + "_image0.png"), red);
        if (c.document == kCompared) svgtest::ExpectValidDocument(stored);
        if (c.document == kPosixOnly) svgtest::ExpectValidPosixOnlyDocument(stored);
        if (!svgtest::kCanRender) continue;
        // The viewer finds the picture under that reference.
        svgtest::Rendered r = svgtest::Render(stored, 320);
        EXPECT_TRUE(r.Covered(30, 30));
        EXPECT_EQ(r.Colour(30, 30), vqColour(255, 0, 0));
    }
    if (!svgtest::kCanRender) GTEST_SKIP() << svgtest::kCannotRender;
}

TEST(SvgBitmapTest, NoDocumentMeansNoSideFile) {
    ScratchDir dir;
    InDirectory here(dir.Dir());
    vqSVGFileDC dc(vqT("missing/dir/pic.svg"));
    ASSERT_FALSE(dc.Ok());
    dc.DrawBitmap(Pattern(2, 2), 0, 0);
    dc.DrawIcon(vqIcon(2, 2), 0, 0);
    EXPECT_FALSE(dc.Ok());
    EXPECT_FALSE(FileExists("_image0.png"));
    EXPECT_FALSE(FileExists("missing"));
    EXPECT_FALSE(FileExists("pic_image0.png"));
}

TEST(SvgBitmapTest, FailedSaveWritesNothingUntilTheNextWrite) {
    ScratchDir dir;
    ASSERT_TRUE(MakeDirectory(dir.Path("sub")));
    std::string svg = dir.Path("moved/pic.svg");
    {
        vqSVGFileDC dc(V(dir.Path("sub/pic.svg")));
        // The open document moves away: its side files have no directory any more.
        ASSERT_TRUE(Rename(dir.Path("sub"), dir.Path("moved")));
        svgtest::ErrorLog log;
        dc.DrawBitmap(Pattern(2, 2), 0, 0);
        EXPECT_FALSE(dc.Ok());
        ASSERT_EQ(log.errors.size(), 1u);
        EXPECT_NE(log.errors[0].find("sub/pic_image0.png"), std::string::npos) << log.errors[0];
        EXPECT_NE(log.errors[0].find(strerror(ENOENT)), std::string::npos) << log.errors[0];
        dc.DrawLine(1, 2, 3, 4);                       // dropped
        dc.DrawArc(20, 10, 10, 0, 10, 10);             // dropped
        dc.DrawEllipticArc(0, 0, 100, 50, 0.0, 90.0);  // dropped
        EXPECT_FALSE(dc.Ok());
        dc.DrawRectangle(1, 2, 3, 4);  // written regardless; restores the state
        EXPECT_TRUE(dc.Ok());
        dc.DrawLine(5, 6, 7, 8);
        // A bitmap without data cannot be saved either, and leaves no file.
        ASSERT_TRUE(Rename(dir.Path("moved"), dir.Path("sub")));
        dc.DrawBitmap(vqBitmap(), 0, 0);
        EXPECT_FALSE(dc.Ok());
        EXPECT_FALSE(FileExists(dir.Path("sub/pic_image0.png")));
        ASSERT_TRUE(Rename(dir.Path("sub"), dir.Path("moved")));
    }
    EXPECT_EQ(AfterGroup(svg),
              " <rect x=\"1\" y=\"2\" width=\"3\" height=\"4\" rx=\"0\"  /> \n"
              "<path d=\"M5 6 L7 8\" /> \n");
}

TEST(SvgBitmapTest, SideFilesSkipNamesTakenByDirectories) {
    ScratchDir dir;
    std::string svg = dir.Path("pic.svg");
    ASSERT_TRUE(MakeDirectory(dir.Path("pic_image0.png")));
    ASSERT_TRUE(MakeDirectory(dir.Path("pic_image1.png")));
    {
        vqSVGFileDC dc(V(svg));
        svgtest::ErrorLog log;
        dc.DrawBitmap(Pattern(2, 3), 1, 1);
        EXPECT_TRUE(dc.Ok());
        EXPECT_TRUE(log.errors.empty()) << log.errors[0];
    }
    EXPECT_EQ(AfterGroup(svg), Element(1, 1, 2, 3, "pic_image2.png"));
    ExpectPngHolds(dir.Path("pic_image2.png"), Pattern(2, 3));
    EXPECT_TRUE(std::filesystem::is_directory(U8(dir.Path("pic_image1.png"))));
}

TEST(SvgBitmapTest, SideFilesSkipNamesTakenByAnythingAndNeverFollowLinks) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows has no FIFOs, and Wine makes no symbolic links";
#else
    ScratchDir dir;
    std::string svg = dir.Path("pic.svg");
    // Every kind of entry holds a name: a directory, a FIFO, links that lead nowhere
    // (to a missing file, to a missing directory) and a link to a file.
    ASSERT_EQ(mkdir(dir.Path("pic_image0.png").c_str(), 0755), 0);
    ASSERT_EQ(mkfifo(dir.Path("pic_image1.png").c_str(), 0644), 0);
    ASSERT_EQ(symlink(dir.Path("target.png").c_str(), dir.Path("pic_image2.png").c_str()), 0);
    ASSERT_EQ(symlink(dir.Path("nodir/x.png").c_str(), dir.Path("pic_image3.png").c_str()), 0);
    std::ofstream(dir.Path("victim.png")) << "keep";
    ASSERT_EQ(symlink(dir.Path("victim.png").c_str(), dir.Path("pic_image4.png").c_str()), 0);
    vqBitmap a = Pattern(2, 3), b = Pattern(4, 1);
    {
        vqSVGFileDC dc(V(svg));
        svgtest::ErrorLog log;
        dc.DrawBitmap(a, 1, 1);
        EXPECT_TRUE(dc.Ok());
        dc.DrawBitmap(b, 2, 2);
        EXPECT_TRUE(dc.Ok());
        EXPECT_TRUE(log.errors.empty()) << log.errors[0];
    }
    EXPECT_EQ(AfterGroup(svg),
              Element(1, 1, 2, 3, "pic_image5.png") + Element(2, 2, 4, 1, "pic_image6.png"));
    ExpectPngHolds(dir.Path("pic_image5.png"), a);
    ExpectPngHolds(dir.Path("pic_image6.png"), b);
    // Nothing was written through a link, and the entries in the way are as they were.
    EXPECT_FALSE(FileExists(dir.Path("target.png")));
    EXPECT_EQ(ReadFile(dir.Path("victim.png")), "keep");
    struct stat st;
    ASSERT_EQ(lstat(dir.Path("pic_image1.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(lstat(dir.Path("pic_image2.png").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
#endif
}

TEST(SvgBitmapTest, HugeBlitsAreRefusedWithoutDrawing) {
    ScratchDir dir;
    std::string svg = dir.Path("huge.svg");
    vqBitmap source = Pattern(20, 10);
    vqMemoryDC memory(source);
    {
        vqSVGFileDC dc(V(svg));
        svgtest::ErrorLog log;
        EXPECT_FALSE(dc.Blit(0, 0, INT_MAX, INT_MAX, &memory, 0, 0));
        EXPECT_FALSE(dc.Blit(0, 0, 30000, 30000, &memory, 0, 0));
        EXPECT_FALSE(dc.Blit(0, 0, 8193, 8192, &memory, 0, 0));
        EXPECT_FALSE(dc.Blit(0, 0, -30000, -30000, &memory, 0, 0));
        ASSERT_EQ(log.errors.size(), 4u);
        EXPECT_NE(log.errors[1].find("30000 x 30000"), std::string::npos) << log.errors[1];
        EXPECT_TRUE(dc.Ok());
        // A blit within the bound still works afterwards.
        EXPECT_TRUE(dc.Blit(1, 1, 2, 2, &memory, 0, 0));
    }
    EXPECT_EQ(AfterGroup(svg), Element(1, 1, 2, 2, "huge_image0.png"));
}

TEST(SvgBitmapTest, ReadOnlyDirectoryRefusesTheSideFile) {
#ifdef _WIN32
    GTEST_SKIP() << "a directory's read-only attribute does not stop making files in it on Windows";
#else
    if (geteuid() == 0) GTEST_SKIP() << "running as root: directory permissions do not stop writes";
    ScratchDir dir;
    std::string svg = dir.Path("pic.svg");
    {
        vqSVGFileDC dc(V(svg));
        ASSERT_EQ(chmod(dir.Dir().c_str(), 0555), 0);
        dc.DrawBitmap(Pattern(2, 2), 0, 0);
        EXPECT_FALSE(dc.Ok());
        ASSERT_EQ(chmod(dir.Dir().c_str(), 0755), 0);
    }
    EXPECT_FALSE(FileExists(dir.Path("pic_image0.png")));
    EXPECT_EQ(AfterGroup(svg), "");
#endif
}

TEST(SvgBitmapTest, IconsBecomePicturesOfTheirSize) {
    ScratchDir dir;
    std::string svg = dir.Path("icon.svg");
    vqIcon icon(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 6; ++x) icon.SetPixel(x, y, vqColour(0, 40 * x, 60 * y), 255);
    icon.SetPixel(5, 3, vqColour(255, 255, 255), 0);  // transparent: the black below shows
    {
        vqSVGFileDC dc(V(svg));
        dc.DrawIcon(icon, 7, 8);
    }
    EXPECT_EQ(AfterGroup(svg), Element(7, 8, 6, 4, "icon_image0.png"));
    vqBitmap expected = icon;
    expected.SetPixel(5, 3, vqColour(0, 0, 0));
    ExpectPngHolds(dir.Path("icon_image0.png"), expected);
}

TEST(SvgBitmapTest, BlitCopiesAMemoryContextRegion) {
    ScratchDir dir;
    std::string svg = dir.Path("blit.svg");
    vqBitmap source = Pattern(20, 10);
    vqMemoryDC memory(source);
    {
        vqSVGFileDC dc(V(svg));
        EXPECT_TRUE(dc.Blit(5, 6, 4, 3, &memory, 2, 1));
        EXPECT_FALSE(dc.Blit(0, 0, 4, 3, &memory, 0, 0, vqXOR));
        EXPECT_FALSE(dc.Blit(0, 0, 4, 3, &memory, 0, 0, vqCOPY, true));
        // A blit through the base class reaches the same operation.
        vqDC& base = dc;
        EXPECT_TRUE(base.Blit(0, 0, 2, 2, &memory, 0, 0));
    }
    EXPECT_EQ(AfterGroup(svg),
              Element(5, 6, 4, 3, "blit_image0.png") + Element(0, 0, 2, 2, "blit_image1.png"));
    vqBitmap region(4, 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x) {
            vqColour c;
            source.GetPixel(x + 2, y + 1, &c);
            region.SetPixel(x, y, c);
        }
    ExpectPngHolds(dir.Path("blit_image0.png"), region);

    // Without a document nothing is written, and the blit says so.
    vqSVGFileDC closed(vqT("/no/such/dir/blit.svg"));
    EXPECT_FALSE(closed.Blit(0, 0, 4, 3, &memory, 0, 0));
}

TEST(SvgBitmapTest, ManyBitmapsKeepOneHandler) {
    ScratchDir dir;
    std::string svg = dir.Path("many.svg");
    vqBitmap bmp = Pattern(3, 3);
    size_t handlers = 0;
    {
        vqSVGFileDC dc(V(svg));
        dc.DrawBitmap(bmp, 0, 0);
        handlers = vqImage::GetHandlerCount();
        for (int i = 1; i < 1000; ++i) dc.DrawBitmap(bmp, i % 100, i / 100);
        EXPECT_TRUE(dc.Ok());
    }
    EXPECT_EQ(vqImage::GetHandlerCount(), handlers);
    EXPECT_TRUE(FileExists(dir.Path("many_image999.png")));
    EXPECT_FALSE(FileExists(dir.Path("many_image1000.png")));
}

}  // namespace
