// The canvas as a window: classes, construction and destruction order, ownership,
// palettes, event routing, class records, the module and the application class.
// Where the stand-in records the Win32 calls made, Windows shows their effects, which
// both check; the call order and arguments are checked where they are recorded.
#include <gtest/gtest.h>

#include <memory>

#include "gl_test_util.h"
#include "vq/glcanvas.h"
#include "vq/intl.h"
#include "vq/module.h"
#include "vq/win32_window_class.h"
#include "vq/settings.h"

namespace {

class CanvasTest : public ::testing::Test {
protected:
    void SetUp() override {
        RunGLModuleExit();  // every test starts with the classes unregistered
        frame.reset(new vqFrame(nullptr, vqID_ANY, vqT("frame")));
        ASSERT_NE(nullptr, frame->GetHWND());
    }
    void TearDown() override {
        StopRecording();
        frame.reset();
        RunGLModuleExit();
        if (HavePaletteDisplay()) UsePaletteDisplay(false);
    }
    std::unique_ptr<vqFrame> frame;
};

// True when the toolkit's instance has a window class of this name.
bool ClassExists(const vqChar* name) {
    TestWndClass wc;
    return ToolkitClassInfo(name, &wc);
}

TEST_F(CanvasTest, NullParentFailsQuietlyAndLeavesAnInertCanvas) {
    CapturedLog log;
    StartRecording();
    {
        vqGLCanvas canvas(nullptr, vqID_ANY);
        EXPECT_EQ(nullptr, canvas.GetHDC());
        EXPECT_EQ(nullptr, canvas.GetContext());
        EXPECT_EQ(nullptr, canvas.GetHWND());
        EXPECT_FALSE(canvas.GetBackgroundColour().Ok());
        canvas.SetCurrent();
        canvas.SwapBuffers();
        EXPECT_FALSE(canvas.Create(nullptr, 1, vqPoint(0, 0), vqSize(5, 5), 0, vqT("x")));
    }
    if (HaveRecorder()) {
        std::vector<std::string> calls = AllCalls();
        EXPECT_TRUE(calls.empty()) << "first call: " << calls[0];
    }
    EXPECT_FALSE(ClassExists(vqT("vqGLCanvasClass"))) << "no class registered for it";
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(CanvasTest, ClassesRegisterOnceWithTheirRecordsAndUnregisterAtExit) {
    StartRecording();
    vqGLCanvas* first = new vqGLCanvas(frame.get(), 1, nullptr);
    vqGLCanvas* second = new vqGLCanvas(frame.get(), 2, nullptr);
    EXPECT_NE(nullptr, second->GetHWND()) << "a second registration would have failed it";
    if (HaveRecorder()) {
        auto registered = Calls({Wide("RegisterClass"), Wide("LoadCursor")});
        ASSERT_EQ(3u, registered.size()) << "once, for the first canvas";
        EXPECT_EQ(Wide("LoadCursor") + "(null, #32512)", registered[0]);
        const std::string common = ", cbClsExtra=0, cbWndExtra=4";
        EXPECT_TRUE(StartsWith(
            registered[1], Wide("RegisterClass") + "(\"vqGLCanvasClass\", style=0x2B, wndproc="));
        EXPECT_TRUE(StartsWith(
            registered[2], Wide("RegisterClass") + "(\"vqGLCanvasClassNR\", style=0x28, wndproc="));
        for (const std::string& line : {registered[1], registered[2]}) {
            EXPECT_NE(std::string::npos, line.find(common));
            EXPECT_NE(std::string::npos, line.find("hIcon=null"));
            EXPECT_NE(std::string::npos, line.find("hbrBackground=null, menu=null"));
        }
        auto created = Calls({Wide("CreateWindowEx")});
        ASSERT_EQ(2u, created.size());
        EXPECT_TRUE(StartsWith(
            created[0], Wide("CreateWindowEx") + "(0x0, \"vqGLCanvasClass\", null, 0x56000000"));
    }
    // The classes as Win32 keeps them: the redrawing one, then the one without
    // CS_HREDRAW | CS_VREDRAW.
    const std::pair<const vqChar*, UINT> classes[] = {{vqT("vqGLCanvasClass"), 0x2Bu},
                                                      {vqT("vqGLCanvasClassNR"), 0x28u}};
    for (const auto& c : classes) {
        TestWndClass info;
        ASSERT_TRUE(ToolkitClassInfo(c.first, &info)) << vqString(c.first).ToUTF8();
        EXPECT_EQ(c.second, info.style);
        EXPECT_EQ(vqWndProc, info.lpfnWndProc);
        EXPECT_EQ(0, info.cbClsExtra);
        EXPECT_EQ(4, info.cbWndExtra);
        EXPECT_NE(nullptr, info.hCursor);
        EXPECT_EQ(nullptr, info.hIcon);
        EXPECT_EQ(nullptr, info.hbrBackground);
        EXPECT_EQ(nullptr, info.lpszMenuName);
    }
#ifdef _WIN32
    HWND hwnd = static_cast<HWND>(first->GetHWND());
    char className[32] = {};
    GetClassNameA(hwnd, className, sizeof className);
    EXPECT_STREQ("vqGLCanvasClass", className);
    EXPECT_EQ(LONG_PTR(WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN),
              GetWindowLongPtrA(hwnd, GWL_STYLE) &
                  (WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_POPUP));
    EXPECT_EQ(0, GetWindowLongPtrA(hwnd, GWL_EXSTYLE) & WS_EX_CLIENTEDGE);
#endif
    delete first;
    delete second;

    StartRecording();
    RunGLModuleExit();
    EXPECT_FALSE(ClassExists(vqT("vqGLCanvasClass")));
    EXPECT_FALSE(ClassExists(vqT("vqGLCanvasClassNR")));
    if (HaveRecorder()) {
        EXPECT_EQ((std::vector<std::string>{Wide("UnregisterClass") + "(\"vqGLCanvasClass\", " +
                                                HandleText(vqhInstance) + ")",
                                            Wide("UnregisterClass") + "(\"vqGLCanvasClassNR\", " +
                                                HandleText(vqhInstance) + ")"}),
                  Calls({Wide("UnregisterClass")}));
    }
    RunGLModuleExit();
    if (HaveRecorder()) {
        EXPECT_EQ(2u, Calls({Wide("UnregisterClass")}).size()) << "a second exit does nothing";
    }

    StartRecording();
    vqGLCanvas again(frame.get(), 3, nullptr);
    EXPECT_NE(nullptr, again.GetHWND());
    EXPECT_TRUE(ClassExists(vqT("vqGLCanvasClass"))) << "registered anew after exit";
    if (HaveRecorder()) {
        EXPECT_EQ(2u, Calls({Wide("RegisterClass")}).size()) << "registered anew after exit";
    }
}

TEST_F(CanvasTest, ExitWithoutCanvasUnregistersNothing) {
    // A class of the canvas's name that the library did not register stays registered.
    WNDCLASSA wc = {};
    wc.lpszClassName = "vqGLCanvasClass";
    wc.hInstance = vqhInstance;
    wc.lpfnWndProc = vqWndProc;
    ASSERT_NE(0, RegisterClassA(&wc));
    StartRecording();
    RunGLModuleExit();
    if (HaveRecorder()) {
        EXPECT_TRUE(Calls({Wide("UnregisterClass")}).empty());
    }
    EXPECT_TRUE(ClassExists(vqT("vqGLCanvasClass")));
    EXPECT_TRUE(UnregisterClassA("vqGLCanvasClass", vqhInstance));
}

TEST_F(CanvasTest, FailedRegistrationIsLoggedTranslatedAndRetried) {
    // Another class of the second name makes the canvas's registration fail.
    WNDCLASSA wc = {};
    wc.lpszClassName = "vqGLCanvasClassNR";
    wc.hInstance = vqhInstance;
    wc.lpfnWndProc = vqWndProc;
    ASSERT_NE(0, RegisterClassA(&wc));
    vqLocale locale;
    locale.AddTranslation(vqT("Failed to register OpenGL window class."),
                          vqT("Fensterklasse fehlt."));
    CapturedLog log;
    StartRecording();
    {
        vqGLCanvas canvas(frame.get(), vqID_ANY);
        EXPECT_EQ(nullptr, canvas.GetHWND());
        EXPECT_EQ(nullptr, canvas.GetHDC());
        EXPECT_EQ(nullptr, canvas.GetContext());
    }
    EXPECT_EQ(std::vector<std::string>{"Fensterklasse fehlt."}, log.errors);
    EXPECT_FALSE(ClassExists(vqT("vqGLCanvasClass"))) << "the first class is taken back";
    if (HaveRecorder()) {
        auto unregistered = Calls({Wide("UnregisterClass")});
        ASSERT_EQ(1u, unregistered.size()) << "the first class is taken back";
        EXPECT_NE(std::string::npos, unregistered[0].find("\"vqGLCanvasClass\""));
        EXPECT_TRUE(Calls({"GetDC", "ChoosePixelFormat", "wglCreateContext"}).empty());
    }

    EXPECT_TRUE(UnregisterClassA("vqGLCanvasClassNR", vqhInstance));
    vqGLCanvas canvas(frame.get(), vqID_ANY);
    EXPECT_NE(nullptr, canvas.GetHWND()) << "the next Create tries again";
}

TEST_F(CanvasTest, ConstructionAndDestructionRunInOrder) {
    StartRecording();
    auto* canvas = new vqGLCanvas(frame.get(), 7, vqPoint(1, 2), vqSize(30, 20));
    EXPECT_EQ(vqSystemSettingsNative::GetColour(vqSYS_COLOUR_BTNFACE),
              canvas->GetBackgroundColour());
    EXPECT_EQ(frame.get(), canvas->GetParent());
    EXPECT_EQ(1u, frame->GetChildren().size());
    EXPECT_EQ(7, canvas->GetId());
    HWND hwnd = static_cast<HWND>(canvas->GetHWND());
    RECT rect;
    ASSERT_TRUE(GetClientRect(hwnd, &rect));
    EXPECT_EQ(30, rect.right);
    EXPECT_EQ(20, rect.bottom);
    HDC dc = static_cast<HDC>(canvas->GetHDC());
    ASSERT_NE(nullptr, dc);
    // Where calls are recorded, the order below shows the format set; elsewhere Win32 tells.
    if (!HaveRecorder()) {
        EXPECT_NE(0, GetPixelFormat(dc)) << "the pixel format is set";
    }
    ASSERT_NE(nullptr, canvas->GetContext());
    if (HaveGL()) {
        EXPECT_NE(nullptr, canvas->GetContext()->GetGLRC());
    }
    const std::vector<std::string> names = {
        Wide("CreateWindowEx"), "GetDC",          "ChoosePixelFormat",
        "SetPixelFormat",       "GetPixelFormat", "wglCreateContext",
        "wglDeleteContext",     "ReleaseDC",      "DestroyWindow"};
    delete canvas;
    EXPECT_FALSE(IsWindow(hwnd));
    if (HaveRecorder()) {
        std::vector<std::string> order;
        for (const std::string& line : Calls(names))
            order.push_back(line.substr(0, line.find('(')));
        // Without EGL the context comes back null and is still deleted by its owner.
        std::vector<std::string> expected = {
            Wide("CreateWindowEx"), "GetDC",          "ChoosePixelFormat",
            "SetPixelFormat",       "GetPixelFormat", "wglCreateContext",
            "wglDeleteContext",     "ReleaseDC",      "DestroyWindow"};
        EXPECT_EQ(expected, order);
    }
    EXPECT_TRUE(frame->GetChildren().empty());
}

TEST_F(CanvasTest, FormsOwnOnlyTheContextTheyCreate) {
    vqGLCanvas form1(frame.get(), 1, nullptr);
    EXPECT_EQ(nullptr, form1.GetContext());
    StartRecording();
    form1.SetCurrent();
    EXPECT_EQ(nullptr, wglGetCurrentContext());
    if (HaveRecorder()) {
        EXPECT_TRUE(Calls({"wglMakeCurrent"}).empty());
    }
    {
        vqGLContext own(&form1);
        StartRecording();
        { vqGLCanvas borrower(frame.get(), 2, nullptr); }
        if (HaveRecorder()) {
            EXPECT_TRUE(Calls({"wglDeleteContext"}).empty()) << "form 1 deletes no context";
        }
        if (own.GetGLRC()) {
            own.SetCurrent(form1);
            EXPECT_EQ(own.GetGLRC(), wglGetCurrentContext()) << "the context lives on";
            wglMakeCurrent(nullptr, nullptr);
        }
    }
    VQ_REQUIRE_GL();
    vqGLCanvas form2(frame.get(), 3);
    ASSERT_NE(nullptr, form2.GetContext());
    HGLRC rc = form2.GetContext()->GetGLRC();
    ASSERT_NE(nullptr, rc);
    auto* form3 = new vqGLCanvas(frame.get(), form2.GetContext(), 4);
    auto* form4 = new vqGLCanvas(frame.get(), static_cast<const vqGLCanvas*>(nullptr), 5);
    auto* form4b = new vqGLCanvas(frame.get(), &form1, 6);
    const HGLRC owned[] = {form3->GetContext()->GetGLRC(), form4->GetContext()->GetGLRC(),
                           form4b->GetContext()->GetGLRC()};
    StartRecording();
    delete form3;
    delete form4;
    delete form4b;
    HDC dc = static_cast<HDC>(form2.GetHDC());
    for (HGLRC gone : owned) {
        ASSERT_NE(nullptr, gone);
        EXPECT_FALSE(wglMakeCurrent(dc, gone)) << "each deletes its own context";
    }
    form2.SetCurrent();
    EXPECT_EQ(rc, wglGetCurrentContext()) << "and no other";
    wglMakeCurrent(nullptr, nullptr);
    if (HaveRecorder()) {
        auto deleted = Calls({"wglDeleteContext"});
        EXPECT_EQ(3u, deleted.size()) << "each deletes exactly its own";
        for (const std::string& line : deleted)
            EXPECT_EQ(std::string::npos, line.find(HandleText(rc)));
    }
}

TEST_F(CanvasTest, DefaultPaletteOnThePaletteDisplayHasTheBitFieldColours) {
    VQ_REQUIRE_PALETTE_DISPLAY();
    UsePaletteDisplay(true);
    vqFrame paletteFrame(nullptr, vqID_ANY, vqT("8-bit"));
    StartRecording();
    vqGLCanvas canvas(&paletteFrame, 1, nullptr);
    ASSERT_TRUE(canvas.GetPalette()->Ok());
    HPALETTE pal = static_cast<HPALETTE>(canvas.GetPalette()->GetHPALETTE());
    ASSERT_EQ(256u, GetPaletteEntries(pal, 0, 0, nullptr));
    PALETTEENTRY e[256];
    GetPaletteEntries(pal, 0, 256, e);
    auto rgb = [&](int i) { return std::vector<int>{e[i].peRed, e[i].peGreen, e[i].peBlue}; };
    EXPECT_EQ((std::vector<int>{0, 0, 0}), rgb(0));
    EXPECT_EQ((std::vector<int>{255, 255, 255}), rgb(255));
    EXPECT_EQ((std::vector<int>{182, 0, 0}), rgb(5));
    EXPECT_EQ((std::vector<int>{255, 255, 0}), rgb(0x3F));
    EXPECT_EQ((std::vector<int>{72, 72, 170}), rgb(0x92));
    for (const PALETTEENTRY& entry : e) EXPECT_EQ(0, entry.peFlags);
    auto selected = Calls({"SelectPalette", "RealizePalette"});
    ASSERT_EQ(2u, selected.size());
    EXPECT_EQ("SelectPalette(" + HandleText(canvas.GetHDC()) + ", " + HandleText(pal) + ", FALSE)",
              selected[0]);
    EXPECT_EQ("RealizePalette(" + HandleText(canvas.GetHDC()) + ")", selected[1]);
}

// An application's palette of four entries.
vqPalette FourColours() {
    unsigned char r[4] = {0, 85, 170, 255}, g[4] = {1, 2, 3, 4}, b[4] = {9, 8, 7, 6};
    return vqPalette(4, r, g, b);
}

TEST_F(CanvasTest, ApplicationPaletteIsUnusedOnTrueColour) {
    vqPalette mine = FourColours();
    ASSERT_TRUE(mine.Ok());
    vqGLCanvas trueColour(frame.get(), 1, nullptr, vqDefaultPosition, vqDefaultSize, 0, vqT("c"),
                          mine);
    PIXELFORMATDESCRIPTOR pfd;
    HDC dc = static_cast<HDC>(trueColour.GetHDC());
    ASSERT_NE(0, DescribePixelFormat(dc, GetPixelFormat(dc), sizeof pfd, &pfd));
    EXPECT_EQ(0u, pfd.dwFlags & PFD_NEED_PALETTE);
    EXPECT_FALSE(trueColour.GetPalette()->Ok());
    EXPECT_FALSE(trueColour.CreateDefaultPalette().Ok()) << "more colour bits than a palette";
    vqQueryNewPaletteEvent query;
    query.SetPaletteRealized(true);
    int refreshes = trueColour.GetRefreshCount();
    EXPECT_TRUE(trueColour.ProcessEvent(query));
    EXPECT_FALSE(query.GetPaletteRealized());
    EXPECT_EQ(refreshes, trueColour.GetRefreshCount());
}

TEST_F(CanvasTest, ApplicationPaletteIsSharedWhereAPaletteIsNeeded) {
    VQ_REQUIRE_PALETTE_DISPLAY();
    vqPalette mine = FourColours();
    ASSERT_TRUE(mine.Ok());
    UsePaletteDisplay(true);
    vqFrame paletteFrame(nullptr, vqID_ANY, vqT("8-bit"));
    vqGLCanvas canvas(&paletteFrame, 1, nullptr, vqDefaultPosition, vqDefaultSize, 0, vqT("c"),
                      mine);
    EXPECT_TRUE(canvas.GetPalette()->IsSameAs(mine)) << "shared, not copied";

    // Palette events: reselect and refresh, unless the canvas changed the palette itself.
    HWND hwnd = static_cast<HWND>(canvas.GetHWND());
    int refreshes = canvas.GetRefreshCount();
    StartRecording();
    EXPECT_EQ(1, SendMessageW(hwnd, WM_QUERYNEWPALETTE, 0, 0));
    EXPECT_EQ(refreshes + 1, canvas.GetRefreshCount());
    EXPECT_EQ((std::vector<std::string>{"UnrealizeObject", "SelectPalette", "RealizePalette"}),
              Names(Calls({"UnrealizeObject", "SelectPalette", "RealizePalette"})));
    StartRecording();
    SendMessageW(hwnd, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(hwnd), 0);
    EXPECT_TRUE(Calls({"SelectPalette"}).empty());
    EXPECT_EQ(refreshes + 1, canvas.GetRefreshCount());
    SendMessageW(hwnd, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(paletteFrame.GetHWND()), 0);
    EXPECT_EQ(1u, Calls({"SelectPalette"}).size());
    EXPECT_EQ(refreshes + 2, canvas.GetRefreshCount());
}

// A canvas subclass whose own table sees size events first and passes them on.
class WatchingCanvas : public vqGLCanvas {
public:
    WatchingCanvas(vqWindow* parent) : vqGLCanvas(parent, vqID_ANY, nullptr) {}
    void OnSizeSeen(vqSizeEvent& event) {
        seen.push_back(event.GetSize());
        event.Skip();
    }
    std::vector<vqSize> seen;
    VQ_DECLARE_EVENT_TABLE()
};

VQ_BEGIN_EVENT_TABLE(WatchingCanvas, vqGLCanvas)
VQ_EVT_SIZE(WatchingCanvas::OnSizeSeen)
VQ_END_EVENT_TABLE()

TEST_F(CanvasTest, EventTableRoutesSizeAndPaletteEventsToTheCanvas) {
    EXPECT_EQ(&vqWindow::sm_eventTable, vqGLCanvas::sm_eventTable.baseTable);
    const vqEventTableEntry* e = vqGLCanvas::sm_eventTableEntries;
    EXPECT_EQ(vqEVT_SIZE, e[0].m_eventType);
    EXPECT_EQ(vqEVT_PALETTE_CHANGED, e[1].m_eventType);
    EXPECT_EQ(vqEVT_QUERY_NEW_PALETTE, e[2].m_eventType);
    EXPECT_EQ(vqEVT_NULL, e[3].m_eventType);
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(-1, e[i].m_id);
        EXPECT_EQ(-1, e[i].m_lastId);
        EXPECT_EQ(nullptr, e[i].m_callbackUserData);
    }
    EXPECT_EQ(1u, vqGLCanvas::sm_eventHashTable.GetEntries(vqEVT_SIZE).size());

    WatchingCanvas canvas(frame.get());
    vqSizeEvent size(vqSize(3, 4));
    EXPECT_TRUE(canvas.ProcessEvent(size)) << "the canvas's OnSize ends it";
    EXPECT_FALSE(size.GetSkipped());
    ASSERT_EQ(1u, canvas.seen.size());
    HWND hwnd = static_cast<HWND>(canvas.GetHWND());
    MoveWindow(hwnd, 0, 0, 64, 48, TRUE);
    ASSERT_EQ(2u, canvas.seen.size());
    EXPECT_EQ(vqSize(64, 48), canvas.seen[1]);
    EXPECT_EQ(vqSize(64, 48), canvas.GetSize());

    vqSizeEvent frameSize(vqSize(1, 1));
    EXPECT_FALSE(frame->ProcessEvent(frameSize)) << "a plain window has no size handler";
}

TEST(GLRegistry, ClassRecordsAreFoundByName) {
    for (const vqChar* name :
         {vqT("vqGLCanvas"), vqT("vqGLContext"), vqT("vqGLApp"), vqT("vqGLModule")})
        EXPECT_NE(nullptr, vqClassInfo::FindClass(name)) << vqString(name).ToUTF8();
    const vqClassInfo* canvas = vqClassInfo::FindClass(vqT("vqGLCanvas"));
    EXPECT_EQ(&vqWindow::ms_classInfo, canvas->GetBaseClass1());
    EXPECT_EQ(nullptr, canvas->GetBaseClass2());
    EXPECT_EQ(int(sizeof(vqGLCanvas)), canvas->GetSize());
    EXPECT_EQ(&vqObject::ms_classInfo, vqClassInfo::FindClass(vqT("vqGLContext"))->GetBaseClass1());
    EXPECT_EQ(&vqApp::ms_classInfo, vqClassInfo::FindClass(vqT("vqGLApp"))->GetBaseClass1());
    EXPECT_EQ(&vqModule::ms_classInfo, vqClassInfo::FindClass(vqT("vqGLModule"))->GetBaseClass1());
    EXPECT_EQ(nullptr, vqClassInfo::CreateObject(vqT("vqGLCanvas")));
    EXPECT_EQ(nullptr, vqClassInfo::CreateObject(vqT("vqGLContext")));
    EXPECT_EQ(nullptr, vqClassInfo::CreateObject(vqT("vqGLApp")));
    std::unique_ptr<vqObject> module(vqClassInfo::CreateObject(vqT("vqGLModule")));
    ASSERT_NE(nullptr, vqDynamicCast<vqModule>(module.get()));
    EXPECT_TRUE(static_cast<vqModule*>(module.get())->OnInit());
}

TEST(GLRegistry, ModuleSystemStartsAndStopsTheGLModule) {
    vqFrame frame(nullptr, vqID_ANY, vqT("f"));
    ASSERT_TRUE(vqInitialize());
    bool found = false;
    for (vqModule* m : vqModule::GetModules())
        found |= vqString(m->GetClassInfo()->GetClassName()) == vqT("vqGLModule");
    EXPECT_TRUE(found);
    { vqGLCanvas canvas(&frame, 1, nullptr); }
    EXPECT_TRUE(ClassExists(vqT("vqGLCanvasClass")));
    StartRecording();
    vqUninitialize();
    EXPECT_FALSE(ClassExists(vqT("vqGLCanvasClass"))) << "the module's exit ran";
    EXPECT_FALSE(ClassExists(vqT("vqGLCanvasClassNR")));
    if (HaveRecorder()) {
        EXPECT_EQ(2u, Calls({Wide("UnregisterClass")}).size());
    }
    StopRecording();
}

TEST(GLApp, InitGLVisualTestsTheRequestOnTheScreen) {
    vqGLApp app;
    CapturedLog log;
    EXPECT_TRUE(app.InitGLVisual(nullptr));
    int rgba[] = {VQ_GL_ATTR_RGBA, VQ_GL_ATTR_DOUBLE_BUFFER, VQ_GL_ATTR_DEPTH_BITS, 24, 0};
    EXPECT_TRUE(app.InitGLVisual(rgba));
    EXPECT_TRUE(log.errors.empty());
    int colourIndex[] = {0};
    StartRecording();
    EXPECT_FALSE(app.InitGLVisual(colourIndex)) << "no colour-index format on true colour";
    EXPECT_EQ(std::vector<std::string>{"Failed to initialize OpenGL"}, log.errors);
    if (HaveRecorder()) {
        auto calls = Calls({"GetDC", "ChoosePixelFormat", "ReleaseDC"});
        ASSERT_EQ(3u, calls.size());
        EXPECT_TRUE(StartsWith(calls[0], "GetDC(null"));
        EXPECT_TRUE(StartsWith(calls[2], "ReleaseDC(null"));
    }
    StopRecording();
    {
        vqLocale locale;
        locale.AddTranslation(vqT("Failed to initialize OpenGL"), vqT("Kein OpenGL"));
        EXPECT_FALSE(app.InitGLVisual(colourIndex));
    }
    EXPECT_EQ("Kein OpenGL", log.errors.back());
}

TEST(GLApp, InitGLVisualFindsColourIndexFormatsOnThePaletteDisplay) {
    VQ_REQUIRE_PALETTE_DISPLAY();
    vqGLApp app;
    CapturedLog log;
    int colourIndex[] = {0};
    UsePaletteDisplay(true);
    EXPECT_TRUE(app.InitGLVisual(colourIndex)) << "the 8-bit display has colour-index formats";
    UsePaletteDisplay(false);
    EXPECT_TRUE(log.errors.empty());
}

}  // namespace
