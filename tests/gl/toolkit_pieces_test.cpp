// The toolkit pieces the GL library stands on: colour database, locales, system
// colours, window styles and the module system's counting.
#include <gtest/gtest.h>

#include "vq/colour.h"
#include "vq/frame.h"
#include "vq/intl.h"
#include "vq/module.h"
#include "vq/win32_window_class.h"
#include "vq/settings.h"

namespace {

TEST(ColourDatabase, FindsNamesWithoutRegardToCaseOrGreySpelling) {
    vqColour white = vqTheColourDatabase->Find(vqT("WHITE"));
    EXPECT_EQ(vqColour(255, 255, 255), white);
    EXPECT_EQ(white, vqTheColourDatabase->Find(vqT("white")));
    EXPECT_EQ(vqTheColourDatabase->Find(vqT("DARK GREY")),
              vqTheColourDatabase->Find(vqT("dark gray")));
    EXPECT_TRUE(vqTheColourDatabase->Find(vqT("DARK GREY")).Ok());
    EXPECT_FALSE(vqTheColourDatabase->Find(vqT("")).Ok());
    EXPECT_FALSE(vqTheColourDatabase->Find(vqT("NOT A COLOUR")).Ok());
    vqColourDatabase own;
    own.AddColour(vqT("Brand Teal"), vqColour(1, 128, 128));
    EXPECT_EQ(vqColour(1, 128, 128), own.Find(vqT("BRAND TEAL")));
    EXPECT_EQ(vqString(vqT("BRAND TEAL")), own.FindName(vqColour(1, 128, 128)));
    EXPECT_FALSE(vqTheColourDatabase->Find(vqT("BRAND TEAL")).Ok()) << "databases are apart";
}

TEST(Locale, TheLatestLocaleTranslatesAndTheOlderComesBack) {
    EXPECT_EQ(nullptr, vqGetLocale());
    EXPECT_EQ(vqString(vqT("Open")), vqGetTranslation(vqT("Open")));
    {
        vqLocale outer;
        outer.AddTranslation(vqT("Open"), vqT("Offen"));
        {
            vqLocale inner;
            EXPECT_EQ(&inner, vqGetLocale());
            EXPECT_EQ(vqString(vqT("Open")), vqGetTranslation(vqT("Open")));
        }
        EXPECT_EQ(&outer, vqGetLocale());
        EXPECT_EQ(vqString(vqT("Offen")), vqGetTranslation(vqT("Open")));
    }
    EXPECT_EQ(nullptr, vqGetLocale());
}

TEST(SystemSettings, ColoursByNumberAndNoneOutOfRange) {
    EXPECT_TRUE(vqSystemSettingsNative::GetColour(vqSYS_COLOUR_BTNFACE).Ok());
    EXPECT_EQ(vqColour(255, 255, 255), vqSystemSettingsNative::GetColour(vqSYS_COLOUR_WINDOW));
    EXPECT_FALSE(vqSystemSettingsNative::GetColour(vqSYS_COLOUR_MAX).Ok());
    EXPECT_FALSE(vqSystemSettingsNative::GetColour(vqSystemColour(-1)).Ok());
}

TEST(WindowStyles, ToolkitBitsBecomePlatformStyles) {
    vqWindow window;
    vqWindowStyle ex = 0;
    EXPECT_EQ(vqWindowStyle(WS_CHILD | WS_VISIBLE), window.MSWGetStyle(0, &ex));
    EXPECT_EQ(0u, ex);
    vqWindowStyle style =
        window.MSWGetStyle(vqCLIP_CHILDREN | vqBORDER_SIMPLE | vqBORDER_SUNKEN, &ex);
    EXPECT_EQ(vqWindowStyle(WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN | WS_BORDER), style);
    EXPECT_EQ(vqWindowStyle(WS_EX_CLIENTEDGE), ex);
}

TEST(WindowStyles, PlatformWindowsGoWithTheirToolkitWindows) {
    HWND child;
    {
        vqFrame frame(nullptr, vqID_ANY, vqT("f"));
        vqWindow* inner = new vqWindow(&frame, 1);
        ASSERT_TRUE(inner->MSWCreate(vqT("vqFrameClass"), vqT(""), vqPoint(1, 2), vqSize(3, 4),
                                     WS_CHILD, 0));
        child = static_cast<HWND>(inner->GetHWND());
        EXPECT_EQ(inner, vqWindow::FindWindowByHWND(child));
        EXPECT_TRUE(IsWindow(child));
    }
    EXPECT_FALSE(IsWindow(child)) << "the frame's destruction destroyed its child's window";
    EXPECT_EQ(nullptr, vqWindow::FindWindowByHWND(child));
    vqWindow orphan;
    EXPECT_FALSE(
        orphan.MSWCreate(vqT("vqFrameClass"), vqT(""), vqPoint(0, 0), vqSize(1, 1), WS_CHILD, 0))
        << "a child window needs a parent window";
}

TEST(ModuleSystem, NestedInitialisationIsCounted) {
    ASSERT_TRUE(vqInitialize());
    size_t modules = vqModule::GetModules().size();
    EXPECT_GT(modules, 0u);
    ASSERT_TRUE(vqInitialize());
    EXPECT_EQ(modules, vqModule::GetModules().size()) << "started once";
    vqUninitialize();
    EXPECT_EQ(modules, vqModule::GetModules().size());
    vqUninitialize();
    EXPECT_TRUE(vqModule::GetModules().empty());
    vqUninitialize();  // unmatched: nothing happens
    EXPECT_TRUE(vqModule::GetModules().empty());
}

}  // namespace
