// The Win32 stand-in's pixel-format choice (pure), and the USER32/GDI32/OPENGL32
// behaviours the canvas relies on, checked against the stand-in on Linux and against
// the system's own DLLs on Windows.
#include <gtest/gtest.h>

#include <cstring>

#include "gl_test_util.h"

namespace {

PIXELFORMATDESCRIPTOR Request(DWORD flags, BYTE type, BYTE colour, BYTE depth) {
    PIXELFORMATDESCRIPTOR r;
    std::memset(&r, 0, sizeof r);
    r.nSize = sizeof r;
    r.nVersion = 1;
    r.dwFlags = flags;
    r.iPixelType = type;
    r.cColorBits = colour;
    r.cDepthBits = depth;
    return r;
}

#ifndef _WIN32
// A format the stand-in's scorer may choose from.
PIXELFORMATDESCRIPTOR Offer(DWORD flags, BYTE colour, BYTE alpha, BYTE depth, BYTE stencil) {
    PIXELFORMATDESCRIPTOR f = Request(flags, PFD_TYPE_RGBA, colour, depth);
    f.cAlphaBits = alpha;
    f.cStencilBits = stencil;
    return f;
}
#endif

const DWORD kWindowGL = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;

#ifdef _WIN32
const char* const kStandInScorer =
    "vqPlatformChoosePixelFormat is the stand-in's scorer over given tables; on Windows "
    "GDI32 chooses among the driver's formats (ChoosePixelFormat.TheDisplayHonours... "
    "checks what the canvas needs of it)";
#endif

TEST(ChoosePixelFormat, FlagsAndPixelTypeMustMatchBeforeSizesCount) {
#ifdef _WIN32
    GTEST_SKIP() << kStandInScorer;
#else
    const PIXELFORMATDESCRIPTOR formats[] = {
        Offer(kWindowGL, 24, 0, 16, 0),                              // single-buffered
        Offer(PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER, 24, 0, 16, 0),  // not for windows
        Offer(kWindowGL | PFD_DOUBLEBUFFER, 8, 0, 0, 0),             // double, poor sizes
    };
    PIXELFORMATDESCRIPTOR request = Request(kWindowGL | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 24, 16);
    EXPECT_EQ(3, vqPlatformChoosePixelFormat(formats, 3, request));
    request.dwFlags = kWindowGL;
    EXPECT_EQ(1, vqPlatformChoosePixelFormat(formats, 3, request));
    request.dwFlags = kWindowGL | PFD_DOUBLEBUFFER_DONTCARE;
    EXPECT_EQ(1, vqPlatformChoosePixelFormat(formats, 3, request)) << "better sizes win";
    request.iPixelType = PFD_TYPE_COLORINDEX;
    EXPECT_EQ(0, vqPlatformChoosePixelFormat(formats, 3, request));
    request = Request(kWindowGL | PFD_STEREO, PFD_TYPE_RGBA, 24, 16);
    EXPECT_EQ(0, vqPlatformChoosePixelFormat(formats, 3, request));
    EXPECT_EQ(0, vqPlatformChoosePixelFormat(formats, 0, request));
#endif
}

TEST(ChoosePixelFormat, PrefersEnoughBitsThenTheClosestAndTheFirstOfEquals) {
#ifdef _WIN32
    GTEST_SKIP() << kStandInScorer;
#else
    const PIXELFORMATDESCRIPTOR formats[] = {
        Offer(kWindowGL, 16, 0, 16, 0), Offer(kWindowGL, 32, 8, 24, 8),
        Offer(kWindowGL, 24, 0, 24, 0), Offer(kWindowGL, 24, 0, 16, 0),
        Offer(kWindowGL, 24, 0, 16, 0)};
    // 24 colour bits asked: 16 is too few, 24 exact beats 32; then depth 16 exact.
    EXPECT_EQ(4,
              vqPlatformChoosePixelFormat(formats, 5, Request(kWindowGL, PFD_TYPE_RGBA, 24, 16)));
    // Depth 24 asked: the 24-bit colour format with depth 24.
    EXPECT_EQ(3,
              vqPlatformChoosePixelFormat(formats, 5, Request(kWindowGL, PFD_TYPE_RGBA, 24, 24)));
    // More colour than any format: the largest.
    EXPECT_EQ(2,
              vqPlatformChoosePixelFormat(formats, 5, Request(kWindowGL, PFD_TYPE_RGBA, 48, 16)));
    PIXELFORMATDESCRIPTOR withStencil = Request(kWindowGL, PFD_TYPE_RGBA, 24, 24);
    withStencil.cStencilBits = 8;
    EXPECT_EQ(3, vqPlatformChoosePixelFormat(formats, 5, withStencil)) << "colour outranks stencil";
#endif
}

LRESULT CALLBACK PlainProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(wnd, msg, wParam, lParam);
}

// A window of its own class (with its own device context) for the pixel-format cases.
class FormatWindow {
public:
    FormatWindow() {
        WNDCLASSA wc = {};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = PlainProc;
        wc.hInstance = Instance();
        wc.lpszClassName = "vqTestFormats";
        RegisterClassA(&wc);
        m_wnd = CreateWindowExA(0, wc.lpszClassName, "", WS_POPUP, 0, 0, 8, 8, nullptr, nullptr,
                                Instance(), nullptr);
        m_dc = m_wnd ? GetDC(m_wnd) : nullptr;
    }
    ~FormatWindow() {
        if (m_wnd) DestroyWindow(m_wnd);
        UnregisterClassA("vqTestFormats", Instance());
    }
    HDC dc() const { return m_dc; }
    // The formats the window's display offers for OpenGL in windows.
    std::vector<PIXELFORMATDESCRIPTOR> WindowGLFormats() const {
        std::vector<PIXELFORMATDESCRIPTOR> formats;
        int count = DescribePixelFormat(m_dc, 1, 0, nullptr);
        for (int i = 1; i <= count; ++i) {
            PIXELFORMATDESCRIPTOR f;
            if (DescribePixelFormat(m_dc, i, sizeof f, &f) && (f.dwFlags & kWindowGL) == kWindowGL)
                formats.push_back(f);
        }
        return formats;
    }
    // The descriptor of the format the display chooses for a request; nSize 0 for none.
    PIXELFORMATDESCRIPTOR Chosen(const PIXELFORMATDESCRIPTOR& request) const {
        PIXELFORMATDESCRIPTOR f = {};
        int index = ChoosePixelFormat(m_dc, &request);
        if (index == 0 || !DescribePixelFormat(m_dc, index, sizeof f, &f)) f.nSize = 0;
        return f;
    }

private:
    static HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(0x4321); }
    HWND m_wnd = nullptr;
    HDC m_dc = nullptr;
};

TEST(ChoosePixelFormat, TheDisplayHonoursWhatTheCanvasAsks) {
    FormatWindow window;
    ASSERT_NE(nullptr, window.dc());
    // The canvas's default request: double-buffered RGBA, 16 colour and depth bits.
    PIXELFORMATDESCRIPTOR f =
        window.Chosen(Request(kWindowGL | PFD_DOUBLEBUFFER, PFD_TYPE_RGBA, 16, 16));
    ASSERT_EQ(sizeof f, f.nSize);
    EXPECT_EQ(kWindowGL | PFD_DOUBLEBUFFER, f.dwFlags & (kWindowGL | PFD_DOUBLEBUFFER));
    EXPECT_EQ(PFD_TYPE_RGBA, f.iPixelType);
    EXPECT_GE(f.cColorBits, 16);
    EXPECT_GE(f.cDepthBits, 16);
    // A list that leaves out double buffering gets a single-buffered format.
    f = window.Chosen(Request(kWindowGL, PFD_TYPE_RGBA, 0, 24));
    ASSERT_EQ(sizeof f, f.nSize);
    EXPECT_EQ(0u, f.dwFlags & PFD_DOUBLEBUFFER);
    EXPECT_GE(f.cDepthBits, 24);
    // A true-colour display has no colour-index format.
    EXPECT_EQ(0u, window.Chosen(Request(kWindowGL, PFD_TYPE_COLORINDEX, 0, 16)).nSize);
}

TEST(PixelFormatTables, TrueColourWindowsEnumerateLikeADriver) {
    FormatWindow window;
    ASSERT_NE(nullptr, window.dc());
    bool doubleBuffered = false, single = false, stencil = false;
    const std::vector<PIXELFORMATDESCRIPTOR> formats = window.WindowGLFormats();
    ASSERT_FALSE(formats.empty());
    for (const auto& f : formats) {
        EXPECT_EQ(PFD_TYPE_RGBA, f.iPixelType);
        EXPECT_EQ(0u, f.dwFlags & PFD_NEED_PALETTE);
        EXPECT_EQ(sizeof(PIXELFORMATDESCRIPTOR), f.nSize);
        EXPECT_GE(f.cColorBits, 16);
        doubleBuffered |= (f.dwFlags & PFD_DOUBLEBUFFER) != 0;
        single |= !(f.dwFlags & PFD_DOUBLEBUFFER);
        stencil |= f.cStencilBits > 0;
    }
    EXPECT_TRUE(doubleBuffered && single && stencil);
    EXPECT_EQ(40u, sizeof(PIXELFORMATDESCRIPTOR));
}

TEST(PixelFormatTables, PaletteDisplayOffersThreeThreeTwoFormats) {
    VQ_REQUIRE_PALETTE_DISPLAY();
#ifndef _WIN32
    const auto& palette = vqPlatformPixelFormats(vqPLATFORM_DISPLAY_PALETTE_8);
    int palettised = 0;
    for (const auto& f : palette) {
        EXPECT_EQ(8, f.cColorBits);
        if (f.iPixelType != PFD_TYPE_RGBA) continue;
        ++palettised;
        EXPECT_TRUE(f.dwFlags & PFD_NEED_PALETTE);
        EXPECT_EQ(3, f.cRedBits);
        EXPECT_EQ(0, f.cRedShift);
        EXPECT_EQ(3, f.cGreenBits);
        EXPECT_EQ(3, f.cGreenShift);
        EXPECT_EQ(2, f.cBlueBits);
        EXPECT_EQ(6, f.cBlueShift);
    }
    EXPECT_GT(palettised, 0);
#endif
}

LRESULT CALLBACK CountingProc(HWND wnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    static LPARAM lastSize;
    if (msg == WM_SIZE) lastSize = lParam;
    return msg == 0xFFFF ? lastSize : DefWindowProcA(wnd, msg, wParam, lParam);
}

class Win32Test : public ::testing::Test {
protected:
    void SetUp() override {
        WNDCLASSA wc = {};
        wc.style = CS_OWNDC;
        wc.lpfnWndProc = CountingProc;
        wc.hInstance = Instance();
        wc.lpszClassName = "vqTestOwnDC";
        ASSERT_NE(0, RegisterClassA(&wc));
        wc.style = 0;
        wc.lpszClassName = "vqTestCommonDC";
        ASSERT_NE(0, RegisterClassA(&wc));
    }
    void TearDown() override {
        UnregisterClassA("vqTestOwnDC", Instance());
        UnregisterClassA("vqTestCommonDC", Instance());
    }
    static HINSTANCE Instance() { return reinterpret_cast<HINSTANCE>(0x1234); }
    // A top-level window without frame or caption, so that its client area is its size.
    HWND Make(const char* cls, int w = 32, int h = 16) {
        return CreateWindowExA(0, cls, "", WS_POPUP | WS_VISIBLE, 0, 0, w, h, nullptr, nullptr,
                               Instance(), nullptr);
    }
};

TEST_F(Win32Test, ClassRegistersOncePerInstanceAndNotWhileWindowsExist) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = CountingProc;
    wc.hInstance = Instance();
    wc.lpszClassName = "VQTESTOWNDC";  // names ignore case
    EXPECT_EQ(0, RegisterClassA(&wc));
    EXPECT_EQ(DWORD(ERROR_CLASS_ALREADY_EXISTS), GetLastError());
    wc.hInstance = reinterpret_cast<HINSTANCE>(0x5678);
    ATOM other = RegisterClassA(&wc);
    EXPECT_NE(0, other) << "another instance may use the name";
    EXPECT_TRUE(UnregisterClassA("vqTestOwnDC", wc.hInstance));

    HWND wnd = Make("vqTestOwnDC");
    ASSERT_NE(nullptr, wnd);
    EXPECT_FALSE(UnregisterClassA("vqTestOwnDC", Instance()));
    EXPECT_EQ(DWORD(ERROR_CLASS_HAS_WINDOWS), GetLastError());
    EXPECT_TRUE(DestroyWindow(wnd));
    EXPECT_FALSE(IsWindow(wnd));
    EXPECT_EQ(nullptr, Make("vqNoSuchClass"));
#ifdef _WIN32
    // NOTE: Wine reports ERROR_CLASS_DOES_NOT_EXIST where Windows says it cannot find it.
    EXPECT_TRUE(GetLastError() == ERROR_CANNOT_FIND_WND_CLASS ||
                GetLastError() == ERROR_CLASS_DOES_NOT_EXIST)
        << GetLastError();
#else
    EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
#endif
    EXPECT_EQ(nullptr, CreateWindowExA(0, "vqTestOwnDC", "", WS_CHILD, 0, 0, 1, 1, nullptr, nullptr,
                                       Instance(), nullptr))
        << "a child needs a parent";
}

TEST_F(Win32Test, ClassOwnedDCIsTheSameHandleAndCommonDCsAreNew) {
    HWND own = Make("vqTestOwnDC"), common = Make("vqTestCommonDC");
    HDC a = GetDC(own), b = GetDC(own);
    EXPECT_EQ(a, b);
    EXPECT_EQ(1, ReleaseDC(own, a));
    EXPECT_EQ(a, GetDC(own)) << "releasing a class-owned DC keeps it";
    HDC c = GetDC(common), d = GetDC(common);
    EXPECT_NE(c, d);
    EXPECT_EQ(1, ReleaseDC(common, c));
    EXPECT_EQ(0, ReleaseDC(common, c)) << "a released common DC is gone";
    ReleaseDC(common, d);
    EXPECT_EQ(own, WindowFromDC(a));
    DestroyWindow(own);
    DestroyWindow(common);
}

TEST_F(Win32Test, PixelFormatIsSetOnceAndContextsNeedOne) {
    HWND wnd = Make("vqTestOwnDC");
    HDC dc = GetDC(wnd);
    EXPECT_EQ(0, GetPixelFormat(dc));
    EXPECT_EQ(nullptr, wglCreateContext(dc));
    EXPECT_EQ(DWORD(ERROR_INVALID_PIXEL_FORMAT), GetLastError());
    int count = DescribePixelFormat(dc, 1, 0, nullptr);
    ASSERT_GT(count, 2);
    EXPECT_FALSE(SetPixelFormat(dc, count + 1, nullptr));
    EXPECT_TRUE(SetPixelFormat(dc, 2, nullptr));
    EXPECT_EQ(2, GetPixelFormat(GetDC(wnd)));
    EXPECT_TRUE(SetPixelFormat(dc, 2, nullptr)) << "the same format again is harmless";
    EXPECT_FALSE(SetPixelFormat(dc, 1, nullptr));
    EXPECT_EQ(2, GetPixelFormat(dc));
    PIXELFORMATDESCRIPTOR pfd;
    EXPECT_EQ(count, DescribePixelFormat(dc, 2, sizeof pfd, &pfd));
    EXPECT_EQ(sizeof pfd, pfd.nSize);
#ifndef _WIN32
    // The stand-in describes the formats of its own table.
    EXPECT_EQ(0, std::memcmp(&pfd, &vqPlatformPixelFormats(vqPLATFORM_DISPLAY_TRUE_COLOUR)[1],
                             sizeof pfd));
#endif
    HDC screen = GetDC(nullptr);
    EXPECT_FALSE(SetPixelFormat(screen, 1, nullptr)) << "the screen's format is not ours to set";
    ReleaseDC(nullptr, screen);
    DestroyWindow(wnd);
}

TEST_F(Win32Test, MoveWindowSendsTheNewSize) {
    HWND wnd = Make("vqTestCommonDC", 10, 20);
    EXPECT_EQ(MAKELPARAM(10, 20), SendMessageA(wnd, 0xFFFF, 0, 0));
    EXPECT_TRUE(MoveWindow(wnd, 0, 0, 30, 40, TRUE));
    EXPECT_EQ(MAKELPARAM(30, 40), SendMessageA(wnd, 0xFFFF, 0, 0));
    RECT rect;
    EXPECT_TRUE(GetClientRect(wnd, &rect));
    EXPECT_EQ(30, rect.right);
    EXPECT_EQ(40, rect.bottom);
    DestroyWindow(wnd);
}

TEST_F(Win32Test, PalettesHoldTheirEntriesAndSelectionsSwap) {
    std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + 3 * sizeof(PALETTEENTRY));
    LOGPALETTE* lp = reinterpret_cast<LOGPALETTE*>(buffer.data());
    lp->palVersion = 0x300;
    lp->palNumEntries = 3;
    for (int i = 0; i < 3; ++i) lp->palPalEntry[i] = PALETTEENTRY{BYTE(i), BYTE(2 * i), 7, 0};
    HPALETTE pal = CreatePalette(lp);
    ASSERT_NE(nullptr, pal);
    EXPECT_EQ(3u, GetPaletteEntries(pal, 0, 0, nullptr));
    PALETTEENTRY e[3];
    EXPECT_EQ(2u, GetPaletteEntries(pal, 1, 5, e));
    EXPECT_EQ(4, e[1].peGreen);
#ifndef _WIN32
    // NOTE: Wine accepts any palVersion; the stand-in holds callers to 0x300, as the
    // canvas does.
    lp->palVersion = 0x200;
    EXPECT_EQ(nullptr, CreatePalette(lp));
#endif

    HWND wnd = Make("vqTestOwnDC");
    HDC dc = GetDC(wnd);
    HPALETTE stock = SelectPalette(dc, pal, FALSE);
    EXPECT_NE(nullptr, stock);
    EXPECT_EQ(pal, SelectPalette(dc, stock, FALSE));
    EXPECT_TRUE(UnrealizeObject(pal));
    EXPECT_TRUE(DeleteObject(pal));
    EXPECT_FALSE(DeleteObject(pal));
    DestroyWindow(wnd);
}

TEST_F(Win32Test, RecorderKeepsCallsInOrderWithArguments) {
    VQ_REQUIRE_RECORDER();
#ifndef _WIN32
    vqPlatformStartRecording();
    HWND wnd = Make("vqTestOwnDC");
    HDC dc = GetDC(wnd);
    DestroyWindow(wnd);
    vqPlatformStopRecording();
    DestroyWindow(Make("vqTestOwnDC"));  // not recorded
    auto calls = vqPlatformRecordedCalls();
    ASSERT_EQ(3u, calls.size());
    EXPECT_EQ("CreateWindowExA", calls[0].name);
    EXPECT_EQ("\"vqTestOwnDC\"", calls[0].args.at(1));
    EXPECT_EQ("32", calls[0].args.at(6));
    EXPECT_EQ("GetDC", calls[1].name);
    EXPECT_EQ("DestroyWindow", calls[2].name);
    EXPECT_NE(std::string::npos, calls[1].Text().find("GetDC("));
    (void)dc;
#endif
}

}  // namespace
