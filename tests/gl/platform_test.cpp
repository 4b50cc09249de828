// The Win32 stand-in: pixel-format choice (pure), and the USER32/GDI32/OPENGL32
// behaviours the canvas relies on.
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

PIXELFORMATDESCRIPTOR Offer(DWORD flags, BYTE colour, BYTE alpha, BYTE depth, BYTE stencil) {
    PIXELFORMATDESCRIPTOR f = Request(flags, PFD_TYPE_RGBA, colour, depth);
    f.cAlphaBits = alpha;
    f.cStencilBits = stencil;
    return f;
}

const DWORD kWindowGL = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL;

TEST(ChoosePixelFormat, FlagsAndPixelTypeMustMatchBeforeSizesCount) {
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
}

TEST(ChoosePixelFormat, PrefersEnoughBitsThenTheClosestAndTheFirstOfEquals) {
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
}

TEST(PixelFormatTables, DisplaysEnumerateLikeADriver) {
    const auto& trueColour = vqPlatformPixelFormats(vqPLATFORM_DISPLAY_TRUE_COLOUR);
    const auto& palette = vqPlatformPixelFormats(vqPLATFORM_DISPLAY_PALETTE_8);
    bool doubleBuffered = false, single = false, stencil = false;
    for (const auto& f : trueColour) {
        EXPECT_EQ(PFD_TYPE_RGBA, f.iPixelType);
        EXPECT_EQ(0u, f.dwFlags & PFD_NEED_PALETTE);
        EXPECT_EQ(sizeof(PIXELFORMATDESCRIPTOR), f.nSize);
        doubleBuffered |= (f.dwFlags & PFD_DOUBLEBUFFER) != 0;
        single |= !(f.dwFlags & PFD_DOUBLEBUFFER);
        stencil |= f.cStencilBits > 0;
    }
    EXPECT_TRUE(doubleBuffered && single && stencil);
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
    EXPECT_EQ(40u, sizeof(PIXELFORMATDESCRIPTOR));
}

LRESULT CALLBACK CountingProc(HWND, UINT msg, WPARAM, LPARAM lParam) {
    static LPARAM lastSize;
    if (msg == WM_SIZE) lastSize = lParam;
    return msg == 0xFFFF ? lastSize : 0;
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
    HWND Make(const char* cls, int w = 32, int h = 16) {
        return CreateWindowExA(0, cls, "", WS_VISIBLE, 0, 0, w, h, nullptr, nullptr, Instance(),
                               nullptr);
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
    EXPECT_EQ(DWORD(ERROR_CANNOT_FIND_WND_CLASS), GetLastError());
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
    EXPECT_EQ(0, std::memcmp(&pfd, &vqPlatformPixelFormats(vqPLATFORM_DISPLAY_TRUE_COLOUR)[1],
                             sizeof pfd));
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
    lp->palVersion = 0x200;
    EXPECT_EQ(nullptr, CreatePalette(lp));

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
}

}  // namespace
