// Rendering through the canvas: contexts made current, shared display lists, the
// current colour, presented frames, context copies; and the same calls without EGL.
#include <gtest/gtest.h>

#include <GL/gl.h>

#include <cmath>
#include <memory>

#include "gl_test_util.h"
#include "vq/colour.h"
#include "vq/glcanvas.h"

namespace {

class RenderTest : public ::testing::Test {
protected:
    void SetUp() override {
        VQ_REQUIRE_GL();
        frame.reset(new vqFrame(nullptr, vqID_ANY, vqT("frame")));
    }
    void TearDown() override {
        StopRecording();
        wglMakeCurrent(nullptr, nullptr);
        frame.reset();
    }
    std::vector<float> CurrentColour() {
        std::vector<float> c(4);
        glGetFloatv(GL_CURRENT_COLOR, c.data());
        c.resize(3);
        return c;
    }
    std::unique_ptr<vqFrame> frame;
};

TEST_F(RenderTest, SetColourUsesTheColourDatabaseScaledBy256) {
    vqGLCanvas canvas(frame.get(), vqID_ANY);
    canvas.SetCurrent();
    ASSERT_EQ(canvas.GetContext()->GetGLRC(), wglGetCurrentContext());
    canvas.SetColour(vqT("WHITE"));
    EXPECT_EQ((std::vector<float>{0.99609375f, 0.99609375f, 0.99609375f}), CurrentColour());
    canvas.SetColour(vqT("black"));
    EXPECT_EQ((std::vector<float>{0, 0, 0}), CurrentColour());
    vqColour sea = vqTheColourDatabase->Find(vqT("MEDIUM SEA GREEN"));
    ASSERT_TRUE(sea.Ok());
    canvas.SetColour(vqT("Medium Sea Green"));
    EXPECT_EQ((std::vector<float>{float(sea.Red() / 256.0), float(sea.Green() / 256.0),
                                  float(sea.Blue() / 256.0)}),
              CurrentColour());
    canvas.SetColour(vqT("no such colour"));
    canvas.SetColour(nullptr);
    EXPECT_EQ((std::vector<float>{float(sea.Red() / 256.0), float(sea.Green() / 256.0),
                                  float(sea.Blue() / 256.0)}),
              CurrentColour())
        << "unknown names and null leave the colour";
}

TEST_F(RenderTest, SwapBuffersPresentsTheClearedBackBuffer) {
    vqGLCanvas canvas(frame.get(), vqID_ANY, vqDefaultPosition, vqSize(24, 16));
    canvas.SetCurrent();
    const float rgb[3] = {0.25f, 0.5f, 0.75f};
    glClearColor(rgb[0], rgb[1], rgb[2], 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    HWND hwnd = static_cast<HWND>(canvas.GetHWND());
    int w = 0, h = 0;
    std::vector<unsigned char> pixels;
    ASSERT_TRUE(PresentAndReadFrame(canvas, &w, &h, &pixels));
    EXPECT_EQ(24, w);
    EXPECT_EQ(16, h);
    for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(std::lround(rgb[k] * 255), pixels[(5 * 24 + 7) * 4 + k], 1);

    // The next frame shows what was drawn for it.
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(PresentAndReadFrame(canvas, &w, &h, &pixels));
    EXPECT_EQ(255, pixels[0]);
    EXPECT_EQ(0, pixels[1]);

    // A resize gives surfaces of the new size, once the program's message loop ran.
    MoveWindow(hwnd, 0, 0, 40, 30, TRUE);
    DispatchPendingMessages();
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(PresentAndReadFrame(canvas, &w, &h, &pixels));
    EXPECT_EQ(40, w);
    EXPECT_EQ(30, h);
    EXPECT_EQ(255, pixels[(29 * 40 + 39) * 4]);
}

TEST_F(RenderTest, ThePresentedFrameStaysUntilTheNextSwap) {
#ifdef _WIN32
    GTEST_SKIP() << "what a window presented is read back only from the stand-in; under Wine "
                    "the front buffer of a child window reads back black";
#else
    vqGLCanvas canvas(frame.get(), vqID_ANY, vqDefaultPosition, vqSize(24, 16));
    canvas.SetCurrent();
    glClearColor(0.25f, 0.5f, 0.75f, 1.0f);
    glClear(GL_COLOR_BUFFER_BIT);
    HWND hwnd = static_cast<HWND>(canvas.GetHWND());
    int w = 0, h = 0;
    std::vector<unsigned char> pixels;
    canvas.SwapBuffers();
    // The next frame draws into the other buffer; the presented one stays until swapped.
    glClearColor(1, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(vqPlatformReadPresentedPixels(hwnd, &w, &h, &pixels));
    EXPECT_NEAR(64, pixels[0], 1);
    canvas.SwapBuffers();
    ASSERT_TRUE(vqPlatformReadPresentedPixels(hwnd, &w, &h, &pixels));
    EXPECT_EQ(255, pixels[0]);
    EXPECT_EQ(0, pixels[1]);
#endif
}

TEST_F(RenderTest, SharedContextsSeeEachOthersDisplayLists) {
    vqGLCanvas first(frame.get(), 1);
    vqGLCanvas sharing(frame.get(), &first, 2);
    vqGLCanvas alone(frame.get(), 3);
    first.SetCurrent();
    GLuint list = glGenLists(1);
    ASSERT_NE(0u, list);
    glNewList(list, GL_COMPILE);
    glColor3f(1, 0, 0);
    glEndList();
    sharing.SetCurrent();
    EXPECT_EQ(GL_TRUE, glIsList(list));
    alone.SetCurrent();
    EXPECT_EQ(GL_FALSE, glIsList(list));

    // Form 1 with application contexts: one shares, made current through the canvas.
    vqGLCanvas plain(frame.get(), 4, nullptr);
    vqGLContext a(&plain), b(&plain, &a);
    plain.SetCurrent(a);
    EXPECT_EQ(a.GetGLRC(), wglGetCurrentContext());
    GLuint own = glGenLists(1);
    glNewList(own, GL_COMPILE);
    glEndList();
    b.SetCurrent(plain);
    EXPECT_EQ(b.GetGLRC(), wglGetCurrentContext());
    EXPECT_EQ(GL_TRUE, glIsList(own));
    // Lists cannot be shared into a context that was used already.
    EXPECT_FALSE(wglShareLists(a.GetGLRC(), b.GetGLRC()));
}

TEST_F(RenderTest, ContextOfAnotherPixelFormatIsRefused) {
    int single[] = {VQ_GL_ATTR_RGBA, VQ_GL_ATTR_DEPTH_BITS, 24, 0};
    vqGLCanvas doubled(frame.get(), 1);
    vqGLCanvas singled(frame.get(), 2, vqDefaultPosition, vqDefaultSize, 0, vqT("s"), single);
    ASSERT_NE(GetPixelFormat(static_cast<HDC>(doubled.GetHDC())),
              GetPixelFormat(static_cast<HDC>(singled.GetHDC())));
    singled.SetCurrent(*doubled.GetContext());
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    EXPECT_EQ(DWORD(ERROR_INVALID_PIXEL_FORMAT), GetLastError());
}

TEST_F(RenderTest, ContextCopiesDeleteThePlatformContextOnce) {
    vqGLCanvas canvas(frame.get(), 1, nullptr);
    auto* original = new vqGLContext(&canvas);
    HGLRC rc = original->GetGLRC();
    ASSERT_NE(nullptr, rc);
    HDC dc = static_cast<HDC>(canvas.GetHDC());
    HGLRC replaced = nullptr;
    StartRecording();
    {
        vqGLContext copy(*original);
        EXPECT_EQ(rc, copy.GetGLRC());
        vqGLContext other(&canvas);
        replaced = other.GetGLRC();
        ASSERT_NE(nullptr, replaced);
        other = copy;
        EXPECT_EQ(rc, other.GetGLRC());
        other = other;
        EXPECT_EQ(rc, other.GetGLRC()) << "self-assignment changes nothing";
    }
    if (HaveRecorder()) {
        auto deleted = Calls({"wglDeleteContext"});
        ASSERT_EQ(1u, deleted.size()) << "only the context that other held before";
        EXPECT_EQ(std::string::npos, deleted[0].find(HandleText(rc)));
    }
    EXPECT_FALSE(wglMakeCurrent(dc, replaced)) << "the context other held before is deleted";
    original->SetCurrent(canvas);
    EXPECT_EQ(rc, wglGetCurrentContext()) << "the shared context is still alive";
    delete original;
    if (HaveRecorder()) {
        auto deleted = Calls({"wglDeleteContext"});
        ASSERT_EQ(2u, deleted.size());
        EXPECT_EQ("wglDeleteContext(" + HandleText(rc) + ")", deleted[1]);
    }
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    EXPECT_FALSE(wglMakeCurrent(dc, rc)) << "deleted with the last copy";
}

TEST_F(RenderTest, PaletteDisplayShowsPixelsThroughThePalette) {
    VQ_REQUIRE_PALETTE_DISPLAY();
    UsePaletteDisplay(true);
    {
        vqFrame paletteFrame(nullptr, vqID_ANY, vqT("8-bit"));
        vqGLCanvas canvas(&paletteFrame, 1, vqDefaultPosition, vqSize(8, 8));
        ASSERT_NE(nullptr, canvas.GetContext()->GetGLRC());
        canvas.SetCurrent();
        glClearColor(0.7f, 0.2f, 0.9f, 1);
        glClear(GL_COLOR_BUFFER_BIT);
        int w, h;
        std::vector<unsigned char> pixels;
        ASSERT_TRUE(PresentAndReadFrame(canvas, &w, &h, &pixels));
        // The screen shows the palette entry of the 3-3-2 value.
        unsigned char r = 0, g = 0, b = 0;
        int index = (std::lround(0.7 * 255) >> 5) | ((std::lround(0.2 * 255) >> 5) << 3) |
                    ((std::lround(0.9 * 255) >> 6) << 6);
        ASSERT_TRUE(canvas.GetPalette()->GetRGB(index, &r, &g, &b));
        EXPECT_EQ(r, pixels[0]);
        EXPECT_EQ(g, pixels[1]);
        EXPECT_EQ(b, pixels[2]);
        wglMakeCurrent(nullptr, nullptr);
    }
    UsePaletteDisplay(false);
}

// Runs with VQ_PLATFORM_NO_EGL=1 (ctest gl.noegl.*): no EGL display at all.
TEST(NoDisplay, ContextsAreNullAndTheCanvasStillWorks) {
#ifdef _WIN32
    GTEST_SKIP() << "a display without OpenGL is the stand-in's (VQ_PLATFORM_NO_EGL=1); "
                    "Windows always has OPENGL32";
#else
    if (vqPlatformHasGL())
        GTEST_SKIP() << "an EGL display is present; this case runs under VQ_PLATFORM_NO_EGL=1";
    vqFrame frame(nullptr, vqID_ANY, vqT("frame"));
    vqGLCanvas canvas(&frame, vqID_ANY);
    EXPECT_NE(nullptr, canvas.GetHDC());
    EXPECT_NE(0, GetPixelFormat(static_cast<HDC>(canvas.GetHDC())));
    ASSERT_NE(nullptr, canvas.GetContext());
    EXPECT_EQ(nullptr, canvas.GetContext()->GetGLRC());
    canvas.SetCurrent();
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    canvas.SwapBuffers();
    canvas.SetColour(vqT("RED"));
    int w, h;
    std::vector<unsigned char> pixels;
    EXPECT_FALSE(
        vqPlatformReadPresentedPixels(static_cast<HWND>(canvas.GetHWND()), &w, &h, &pixels));
    vqGLApp app;
    EXPECT_TRUE(app.InitGLVisual(nullptr)) << "pixel formats need no EGL";
#endif
}

}  // namespace
