// The static picture handler in each configuration: classes accepted, values
// read from the node, instances filled in, failures and the debug assertion.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "picture_test_util.h"
#include "vq/panel.h"
#include "vq/picturehandler.h"
#include "vq/pnghandler.h"
#include "vq/static_picture.h"

using namespace picturetest;

namespace {

std::string Resource(const std::string& objects) {
    return "<?xml version=\"1.0\"?>\n<resource>\n" + objects + "</resource>\n";
}

class PictureHandlerTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SavePng(TwoColourBitmap(16, 8), dir.Path("pic.png")));
        res.AddHandler(new vqStaticPictureXmlHandler);
        res.InitAllHandlers();
        frame.reset(new vqPanel(nullptr, vqID_ANY, vqPoint(0, 0), vqSize(300, 200)));
    }
    bool Load(const std::string& objects) {
        return res.LoadFromString(V(Resource(objects)), V(dir.Dir()));
    }
    vqStaticPicture* LoadPicture(const char* name) {
        return vqDynamicCast<vqStaticPicture>(
            res.LoadObject(frame.get(), V(name), vqT("vqStaticPicture")));
    }

    ScratchDir dir;
    vqXmlResource res;
    std::unique_ptr<vqPanel> frame;
};

TEST_F(PictureHandlerTest, AcceptsOnlyObjectsOfClassStaticPicture) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"a\"/>\n"
             "<object class=\"vqStaticPictureX\" name=\"b\"/>\n"
             "<object class=\"vqPanel\" name=\"c\"/>\n"
             "<vqStaticPicture class=\"vqStaticPicture\" name=\"d\"/>\n"));
    vqStaticPictureXmlHandler handler;
    EXPECT_TRUE(handler.CanHandle(res.FindResource(vqT("a"), vqT(""))));
    EXPECT_FALSE(handler.CanHandle(res.FindResource(vqT("b"), vqT(""))));
    EXPECT_FALSE(handler.CanHandle(res.FindResource(vqT("c"), vqT(""))));
    EXPECT_EQ(res.FindResource(vqT("d"), vqT("")), nullptr);
    EXPECT_FALSE(handler.CanHandle(nullptr));
}

TEST_F(PictureHandlerTest, ClassRecordIsRegisteredAndCreatesHandlers) {
    vqClassInfo* info = vqClassInfo::FindClass(vqT("vqStaticPictureXmlHandler"));
    ASSERT_EQ(info, &vqStaticPictureXmlHandler::ms_classInfo);
    EXPECT_EQ(info->GetBaseClass1(), &vqXmlResourceHandler::ms_classInfo);
    EXPECT_EQ(info->GetBaseClass2(), nullptr);
    EXPECT_EQ(info->GetSize(), (int)sizeof(vqStaticPictureXmlHandler));
    std::unique_ptr<vqObject> made(vqClassInfo::CreateObject(vqT("vqStaticPictureXmlHandler")));
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetClassInfo(), info);
    // A handler made by name works once added to a loader, which owns it.
    ASSERT_TRUE(Load("<object class=\"vqStaticPicture\" name=\"byname\"/>\n"));
    vqXmlResource other;
    other.AddHandler(static_cast<vqXmlResourceHandler*>(made.release()));
    ASSERT_TRUE(
        other.LoadFromString(V(Resource("<object class=\"vqStaticPicture\" name=\"p\"/>"))));
    EXPECT_NE(vqDynamicCast<vqStaticPicture>(
                  other.LoadObject(frame.get(), vqT("p"), vqT("vqStaticPicture"))),
              nullptr);
}

TEST_F(PictureHandlerTest, NodeValuesReachTheControlAndSizeServesTwice) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"logo\">\n"
             "  <bitmap>pic.png</bitmap>\n"
             "  <size>48,24</size>\n"
             "  <pos>7,9</pos>\n"
             "  <style>vqBORDER_SIMPLE | vqTAB_TRAVERSAL</style>\n"
             "</object>\n"));
    vqStaticPicture* pic = LoadPicture("logo");
    ASSERT_NE(pic, nullptr);
    EXPECT_TRUE(pic->IsCreated());
    EXPECT_EQ(pic->GetParent(), frame.get());
    EXPECT_EQ(pic->GetName(), vqString(vqT("logo")));
    EXPECT_EQ(pic->GetId(), vqResourceId("logo"));
    EXPECT_EQ(pic->GetPosition(), vqPoint(7, 9));
    EXPECT_EQ(pic->GetWindowStyleFlag(), (long)(vqBORDER_SIMPLE | vqTAB_TRAVERSAL));
    // The same "size" scales the 16 x 8 bitmap and sizes the control.
    EXPECT_EQ(pic->GetSize(), vqSize(48, 24));
    ASSERT_TRUE(pic->GetBitmap().Ok());
    EXPECT_EQ(pic->GetBitmap().GetSize(), vqSize(48, 24));
    vqColour left, right;
    ASSERT_TRUE(pic->GetBitmap().GetPixel(0, 12, &left));
    ASSERT_TRUE(pic->GetBitmap().GetPixel(47, 12, &right));
    EXPECT_EQ(left, vqColour(255, 0, 0));
    EXPECT_EQ(right, vqColour(0, 0, 255));
}

TEST_F(PictureHandlerTest, MissingStyleGivesZeroAndMissingSizeTakesTheBitmaps) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"plain\">\n"
             "  <bitmap>pic.png</bitmap>\n"
             "</object>\n"));
    LogCollector log;
    vqStaticPicture* pic = LoadPicture("plain");
    ASSERT_NE(pic, nullptr);
    EXPECT_EQ(pic->GetWindowStyleFlag(), 0);
    EXPECT_EQ(pic->GetBitmap().GetSize(), vqSize(16, 8));
    EXPECT_EQ(pic->GetSize(), vqSize(16, 8));
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(PictureHandlerTest, InstanceIsFilledInInsteadOfANewControl) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"filled\">\n"
             "  <bitmap>pic.png</bitmap><size>8,4</size>\n"
             "</object>\n"));
    auto* instance = new vqStaticPicture;  // owned by the frame once created
    ASSERT_TRUE(res.LoadObject(instance, frame.get(), vqT("filled"), vqT("vqStaticPicture")));
    EXPECT_TRUE(instance->IsCreated());
    ASSERT_EQ(frame->GetChildren().size(), 1u);
    EXPECT_EQ(frame->GetChildren()[0], instance);
    EXPECT_EQ(instance->GetBitmap().GetSize(), vqSize(8, 4));
    // The handler returns the instance itself.
    vqStaticPictureXmlHandler handler;
    auto* second = new vqStaticPicture;
    vqObject* made =
        handler.CreateResource(res.FindResource(vqT("filled"), vqT("")), frame.get(), second);
    EXPECT_EQ(made, second);
}

TEST_F(PictureHandlerTest, InstanceOfAnotherClassIsNotUsed) {
    ASSERT_TRUE(Load("<object class=\"vqStaticPicture\" name=\"p\"><size>5,5</size></object>\n"));
    AssertRecorder asserts;
    vqPanel wrong;  // not a vqStaticPicture
    ASSERT_TRUE(res.LoadObject(&wrong, frame.get(), vqT("p"), vqT("vqStaticPicture")));
    EXPECT_EQ(wrong.GetParent(), nullptr);
    EXPECT_EQ(wrong.GetSize(), vqSize(0, 0));
    ASSERT_EQ(frame->GetChildren().size(), 1u);
    auto* made = vqDynamicCast<vqStaticPicture>(frame->GetChildren()[0]);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetSize(), vqSize(5, 5));
#ifdef VQ_DEBUG
    ASSERT_EQ(AssertRecorder::Records().size(), 1u);
    const AssertRecord& r = AssertRecorder::Records()[0];
    EXPECT_EQ(r.msg, "vqStaticCast() used incorrectly");
    EXPECT_EQ(r.cond, "ptr");
    EXPECT_TRUE(r.funcIsNull);
    EXPECT_NE(r.file.find("include/vq/"), std::string::npos) << r.file;
    EXPECT_GT(r.line, 0);
#else
    EXPECT_TRUE(AssertRecorder::Records().empty());
#endif
}

TEST_F(PictureHandlerTest, DefaultAssertHandlerLogsTheMisuseWithoutAFunctionName) {
    ASSERT_TRUE(Load("<object class=\"vqStaticPicture\" name=\"p\"/>\n"));
    LogCollector log;
    vqPanel wrong;
    ASSERT_TRUE(res.LoadObject(&wrong, frame.get(), vqT("p"), vqT("vqStaticPicture")));
#ifdef VQ_DEBUG
    ASSERT_EQ(log.errors.size(), 1u);
    EXPECT_EQ(log.Count({"checkcast.h:", "assert \"ptr\" failed: vqStaticCast() used incorrectly"}),
              1)
        << log.errors[0];
#else
    EXPECT_TRUE(log.errors.empty());
#endif
}

TEST_F(PictureHandlerTest, SubclassOfTheWrongKindIsReplacedWithoutLeaking) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"s\" subclass=\"vqPanel\"/>\n"
             "<object class=\"vqStaticPicture\" name=\"t\" "
             "subclass=\"vqStaticPicture\"/>\n"));
    AssertRecorder asserts;
    EXPECT_NE(LoadPicture("s"), nullptr);
    EXPECT_NE(LoadPicture("t"), nullptr);
#ifdef VQ_DEBUG
    EXPECT_EQ(AssertRecorder::Records().size(), 1u);
#else
    EXPECT_TRUE(AssertRecorder::Records().empty());
#endif
}

TEST_F(PictureHandlerTest, CreateFailureLogsTheNodeAndReturnsNull) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"orphan\">\n"
             "  <bitmap>pic.png</bitmap>\n"
             "</object>\n"));
    {
        // No parent: a control allocated by the handler is deleted (ASan checks).
        LogCollector log;
        EXPECT_EQ(res.LoadObject(nullptr, vqT("orphan"), vqT("vqStaticPicture")), nullptr);
        ASSERT_EQ(log.errors.size(), 1u);
        EXPECT_EQ(log.Count({"<string>:3:", "vqStaticPicture 'orphan'", "no parent"}), 1)
            << log.errors[0];
    }
    {
        // An instance already created: left to its owner, untouched.
        LogCollector log;
        auto* instance = new vqStaticPicture(frame.get(), 5, vqBitmap(), vqPoint(1, 1));
        EXPECT_FALSE(res.LoadObject(instance, frame.get(), vqT("orphan"), vqT("vqStaticPicture")));
        EXPECT_EQ(log.Count({"vqStaticPicture 'orphan'", "already created"}), 1);
        EXPECT_EQ(instance->GetId(), 5);
        EXPECT_FALSE(instance->GetBitmap().Ok());
        EXPECT_EQ(frame->GetChildren().size(), 1u);
    }
}

TEST_F(PictureHandlerTest, MalformedParametersLogOnceEachInTheConfigurationsOrder) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"bad\">\n"
             "  <bitmap>nowhere.png</bitmap>\n"
             "  <size>ten,4</size>\n"
             "  <pos>1;2</pos>\n"
             "  <style>vqBORDER_SUNKEN|vqNO_SUCH_STYLE</style>\n"
             "</object>\n"));
    LogCollector log;
    vqStaticPicture* pic = LoadPicture("bad");
    ASSERT_NE(pic, nullptr);
    // Defaults: no bitmap, the default size and position, the known style names.
    EXPECT_FALSE(pic->GetBitmap().Ok());
    EXPECT_EQ(pic->GetSize(), vqSize(20, 20));
    EXPECT_EQ(pic->GetPosition(), vqPoint(0, 0));
    EXPECT_EQ(pic->GetWindowStyleFlag(), (long)vqBORDER_SUNKEN);
    std::vector<std::string> params;
    for (const std::string& line : log.errors) {
        EXPECT_NE(line.find("vqStaticPicture 'bad'"), std::string::npos) << line;
        size_t at = line.find("parameter '");
        ASSERT_NE(at, std::string::npos) << line;
        params.push_back(line.substr(at + 11, line.find('\'', at + 11) - at - 11));
    }
#ifdef VQ_DEBUG
    std::vector<std::string> expected = {"style", "size", "pos", "size", "bitmap"};
#else
    std::vector<std::string> expected = {"size", "bitmap", "style", "size", "pos"};
#endif
    EXPECT_EQ(params, expected);
    EXPECT_EQ(log.Count({"<string>:5:", "'ten,4' is not a size"}), 2);
    EXPECT_EQ(log.Count({"<string>:6:", "'1;2' is not a position"}), 1);
    EXPECT_EQ(log.Count({"<string>:7:", "unknown style name 'vqNO_SUCH_STYLE'"}), 1);
    EXPECT_EQ(log.Count({"<string>:4:", "nowhere.png", "not found"}), 1);
}

TEST_F(PictureHandlerTest, CommonWindowSettingsAreApplied) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"set\">\n"
             "  <enabled>0</enabled><hidden>1</hidden>\n"
             "  <tooltip>Company logo</tooltip>\n"
             "  <fg>#102030</fg><bg>#A0b0C0</bg>\n"
             "</object>\n"
             "<object class=\"vqStaticPicture\" name=\"unset\"/>\n"));
    vqStaticPicture* pic = LoadPicture("set");
    ASSERT_NE(pic, nullptr);
    EXPECT_FALSE(pic->IsEnabled());
    EXPECT_FALSE(pic->IsShown());
    EXPECT_EQ(pic->GetToolTip(), vqString(vqT("Company logo")));
    EXPECT_EQ(pic->GetForegroundColour(), vqColour(0x10, 0x20, 0x30));
    EXPECT_EQ(pic->GetBackgroundColour(), vqColour(0xA0, 0xB0, 0xC0));
    vqStaticPicture* plain = LoadPicture("unset");
    ASSERT_NE(plain, nullptr);
    EXPECT_TRUE(plain->IsEnabled());
    EXPECT_TRUE(plain->IsShown());
    EXPECT_FALSE(plain->GetBackgroundColour().Ok());
}

TEST_F(PictureHandlerTest, ArtBitmapsAndAspectKeepingSizes) {
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"art\">\n"
             "  <bitmap stock_id=\"vqART_ERROR\"/><size>32,32</size>\n"
             "</object>\n"
             "<object class=\"vqStaticPicture\" name=\"wide\">\n"
             "  <bitmap>pic.png</bitmap><size>-1,20</size>\n"
             "</object>\n"
             "<object class=\"vqStaticPicture\" name=\"noart\">\n"
             "  <bitmap stock_id=\"vqART_NOTHING\"/>\n"
             "</object>\n"));
    vqStaticPicture* art = LoadPicture("art");
    ASSERT_NE(art, nullptr);
    EXPECT_EQ(art->GetBitmap().GetSize(), vqSize(32, 32));
    vqColour centre;
    ASSERT_TRUE(art->GetBitmap().GetPixel(8, 16, &centre));
    EXPECT_GT(centre.Red(), 150);
    EXPECT_LT(centre.Green(), 50);
    vqStaticPicture* wide = LoadPicture("wide");
    ASSERT_NE(wide, nullptr);
    EXPECT_EQ(wide->GetBitmap().GetSize(), vqSize(40, 20));
    LogCollector log;
    vqStaticPicture* noart = LoadPicture("noart");
    ASSERT_NE(noart, nullptr);
    EXPECT_FALSE(noart->GetBitmap().Ok());
    EXPECT_EQ(log.Count({"no art for id 'vqART_NOTHING'"}), 1);
}

TEST_F(PictureHandlerTest, PanelWithTwoPicturesFromAFile) {
    dir.Write("panel.xml", Resource("<object class=\"vqPanel\" name=\"main\">\n"
                                    "  <size>200,100</size>\n"
                                    "  <object class=\"vqStaticPicture\" name=\"one\">\n"
                                    "    <bitmap>pic.png</bitmap><pos>5,5</pos>\n"
                                    "  </object>\n"
                                    "  <object class=\"vqStaticPicture\" name=\"two\">\n"
                                    "    <bitmap>pic.png</bitmap><size>32,16</size>\n"
                                    "  </object>\n"
                                    "</object>\n"));
    vqXmlResource fileRes;
    fileRes.AddHandler(new vqStaticPictureXmlHandler);
    fileRes.InitAllHandlers();
    ASSERT_TRUE(fileRes.Load(V(dir.Path("panel.xml"))));
    auto* panel =
        vqDynamicCast<vqPanel>(fileRes.LoadObject(frame.get(), vqT("main"), vqT("vqPanel")));
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->GetChildren().size(), 2u);
    auto* one = vqDynamicCast<vqStaticPicture>(panel->GetChildren()[0]);
    auto* two = vqDynamicCast<vqStaticPicture>(panel->GetChildren()[1]);
    ASSERT_TRUE(one && two);
    EXPECT_EQ(one->GetBitmap().GetSize(), vqSize(16, 8));
    EXPECT_EQ(two->GetBitmap().GetSize(), vqSize(32, 16));
    EXPECT_NE(one->GetId(), two->GetId());
}

// A picture file whose header gives more pixels than a picture may have is refused
// before anything is decoded, whatever size the node asks for; one at the limit is read.
TEST_F(PictureHandlerTest, PictureFilesBeyondThePixelLimitAreRefusedFromTheirHeader) {
    const int width = vqXML_RESOURCE_MAX_BITMAP_SIDE;
    const int height = static_cast<int>(vqXML_RESOURCE_MAX_PICTURE_PIXELS / width);
    ASSERT_TRUE(WriteBlackPng(dir.Path("limit.png"), width, height));
    ASSERT_TRUE(WriteBlackPng(dir.Path("over.png"), width, height + 1));
    // 210 KB on disk, a gigabyte decoded.
    ASSERT_TRUE(WriteBlackPng(dir.Path("bomb.png"), 16384, 16384));
    ASSERT_TRUE(
        Load("<object class=\"vqStaticPicture\" name=\"limit\">\n"
             "  <bitmap>limit.png</bitmap><size>16,16</size></object>\n"
             "<object class=\"vqStaticPicture\" name=\"over\">\n"
             "  <bitmap>over.png</bitmap><size>16,16</size></object>\n"
             "<object class=\"vqStaticPicture\" name=\"bomb\">\n"
             "  <bitmap>bomb.png</bitmap><size>16,16</size></object>\n"));
    LogCollector log;
    vqStaticPicture* limit = LoadPicture("limit");
    ASSERT_NE(limit, nullptr);
    EXPECT_EQ(limit->GetBitmap().GetSize(), vqSize(16, 16));
    vqColour colour;
    ASSERT_TRUE(limit->GetBitmap().GetPixel(8, 8, &colour));
    EXPECT_EQ(colour, vqColour(0, 0, 0));
    EXPECT_TRUE(log.errors.empty());

    const std::string most = "more than the " + std::to_string(vqXML_RESOURCE_MAX_PICTURE_PIXELS);
    for (const char* name : {"over", "bomb"}) {
        vqStaticPicture* pic = LoadPicture(name);
        ASSERT_NE(pic, nullptr) << name;
        EXPECT_FALSE(pic->GetBitmap().Ok()) << name;
        EXPECT_EQ(pic->GetSize(), vqSize(16, 16)) << name;
        EXPECT_EQ(log.Count({"vqStaticPicture '" + std::string(name) + "', parameter 'bitmap'",
                             std::string(name) + ".png", most}),
                  1)
            << name;
    }
    EXPECT_EQ(log.Count({"<string>:8:", "16384 x 16384"}), 1);
    EXPECT_EQ(log.errors.size(), 2u);

    // The PNG reader itself refuses the bomb from its header, and leaves the bitmap be.
    vqBitmap kept = TwoColourBitmap(4, 4);
    EXPECT_FALSE(kept.LoadFile(V(dir.Path("bomb.png")), vqBITMAP_TYPE_PNG));
    EXPECT_EQ(kept.GetSize(), vqSize(4, 4));
    EXPECT_EQ(log.Count({"bomb.png", "more than the " + std::to_string(vqPNG_MAX_PIXELS)}), 1);
}

// Loads the panel of thirty pictures whose PNG declares a 2 GiB text chunk (in this
// death-test child) and exits 0 when the peak resident size grew by less than 64 MiB.
void LoadGreedyPanelAndExit(const std::string& file) {
    LogCollector quiet;
    const long before = vqtest::PeakResidentKiB();
    {
        vqXmlResource res;
        res.AddHandler(new vqStaticPictureXmlHandler);
        res.InitAllHandlers();
        vqPanel frame(nullptr);
        if (res.Load(V(file))) res.LoadObject(&frame, vqT("main"), vqT("vqPanel"));
    }
    const long grown = vqtest::PeakResidentKiB() - before;
    if (grown >= 64 * 1024) fprintf(stderr, "the peak resident size grew by %ld KiB\n", grown);
    fflush(stderr);
    std::_Exit(grown < 64 * 1024 ? 0 : 1);
}

// The corpus's picture whose text chunk declares 2^31 - 1 bytes, named thirty times:
// each is refused as a file cut short, with one error, and reading them all costs
// megabytes, not thirty times 2 GiB.
TEST_F(PictureHandlerTest, PicturesWithGreedyChunksAreRefusedCheaply) {
    const std::string xml =
        std::string(VQ_TEST_SOURCE_DIR) + "/tests/picture/corpus/limit_text_chunks.xml";
    EXPECT_EXIT(LoadGreedyPanelAndExit(xml), ::testing::ExitedWithCode(0), "");

    LogCollector log;
    vqXmlResource fileRes;
    fileRes.AddHandler(new vqStaticPictureXmlHandler);
    fileRes.InitAllHandlers();
    ASSERT_TRUE(fileRes.Load(V(xml)));
    auto* panel =
        vqDynamicCast<vqPanel>(fileRes.LoadObject(frame.get(), vqT("main"), vqT("vqPanel")));
    ASSERT_NE(panel, nullptr);
    ASSERT_EQ(panel->GetChildren().size(), 30u);
    for (vqWindow* child : panel->GetChildren()) {
        auto* picture = vqDynamicCast<vqStaticPicture>(child);
        ASSERT_NE(picture, nullptr);
        EXPECT_FALSE(picture->GetBitmap().Ok());
    }
    EXPECT_EQ(log.Count({"limit_text_chunks.xml:", "parameter 'bitmap'", "cannot read bitmap file",
                         "limit_text_chunk.png"}),
              30);
    EXPECT_EQ(log.errors.size(), 30u);
}

// A bitmap named as a FIFO or a device is refused unread: opening one would block
// or stream forever.
TEST_F(PictureHandlerTest, BitmapFilesMustBeRegularFiles) {
    Fifo fifo(dir, "pipe.png");
    ASSERT_FALSE(fifo.Path().empty()) << fifo.Error();
    LogCollector log;
    vqBitmap kept = TwoColourBitmap(4, 4);
    EXPECT_FALSE(kept.LoadFile(V(fifo.Path()), vqBITMAP_TYPE_PNG));
    const std::vector<std::string> devices = Devices();
    for (const std::string& device : devices)
        EXPECT_FALSE(kept.LoadFile(V(device), vqBITMAP_TYPE_PNG)) << device;
    // Finding a handler by the file's first bytes does not open the FIFO either.
    EXPECT_FALSE(kept.LoadFile(V(fifo.Path()), vqBITMAP_TYPE_ANY));
    EXPECT_EQ(kept.GetSize(), vqSize(4, 4));
    EXPECT_EQ(log.Count({"pipe.png", "not a regular file"}), 1);
    EXPECT_EQ(log.Count({"No image handler", "pipe.png"}), 1);
    for (const std::string& device : devices)
        EXPECT_EQ(log.Count({device, "not a regular file"}), 1) << device;

    ASSERT_TRUE(Load("<object class=\"vqStaticPicture\" name=\"pipe\"><bitmap>" + fifo.Path() +
                     "</bitmap></object>\n"));
    vqStaticPicture* pic = LoadPicture("pipe");
    ASSERT_NE(pic, nullptr);
    EXPECT_FALSE(pic->GetBitmap().Ok());
    EXPECT_EQ(log.Count({"<string>:3: vqStaticPicture 'pipe', parameter 'bitmap'", "pipe.png"}), 1);
    EXPECT_EQ(log.errors.size(), 3u + devices.size());
}

// A bitmap kept for a file is given again only while the file is unchanged: one
// written anew is read anew.
TEST_F(PictureHandlerTest, KeptBitmapsFollowTheirFile) {
    ASSERT_TRUE(Load(
        "<object class=\"vqStaticPicture\" name=\"p\"><bitmap>pic.png</bitmap><size>32,16</size>"
        "</object>\n"));
    vqStaticPicture* first = LoadPicture("p");
    vqStaticPicture* again = LoadPicture("p");
    ASSERT_TRUE(first && again);
    EXPECT_EQ(again->GetBitmap().GetData(), first->GetBitmap().GetData());
    vqBitmap green(12, 6, 32);
    for (int y = 0; y < 6; ++y)
        for (int x = 0; x < 12; ++x) green.SetPixel(x, y, vqColour(0, 255, 0));
    ASSERT_TRUE(SavePng(green, dir.Path("pic.png")));
    vqStaticPicture* changed = LoadPicture("p");
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed->GetBitmap().GetSize(), vqSize(32, 16));
    EXPECT_NE(changed->GetBitmap().GetData(), first->GetBitmap().GetData());
    vqColour colour;
    ASSERT_TRUE(changed->GetBitmap().GetPixel(0, 8, &colour));
    EXPECT_EQ(colour, vqColour(0, 255, 0));
}

// Every pixel decoded, scaled or drawn for one resource file is charged to it until
// the next bitmap would pass the budget; that one is refused with an error naming
// the line and object. A file asked for again at the same size is shared at no cost,
// and unloading the file gives a fresh budget.
TEST_F(PictureHandlerTest, BitmapsOfOneFileShareOnePixelBudget) {
    const int side = vqXML_RESOURCE_MAX_BITMAP_SIDE;
    ASSERT_TRUE(WriteBlackPng(dir.Path("full.png"), side, side));
    struct Request {
        std::string bitmap, size;
        size_t cost;
    };
    const size_t full = size_t(side) * side, pic = 16 * 8;
    std::vector<Request> requests;
    // Forty times the same file at the same size: read once.
    for (int i = 0; i < 40; ++i) requests.push_back({"pic.png", "64,32", i ? 0 : pic + 64 * 32});
    // The full-size file at four sizes that all keep it as it is.
    for (const char* size : {"-1,-1", "4096,-1", "-1,4096", "4096,4096"})
        requests.push_back({"full.png", size, full});
    requests.push_back({"pic.png", "2048,2048", pic + 2048 * 2048});
    requests.push_back({"<art>", "4096,4096", full});
    requests.push_back({"pic.png", "20,10", pic + 20 * 10});
    std::string objects;
    for (size_t i = 0; i < requests.size(); ++i) {
        const Request& r = requests[i];
        std::string bitmap = r.bitmap == "<art>" ? "<bitmap stock_id=\"vqART_ERROR\"/>"
                                                 : "<bitmap>" + r.bitmap + "</bitmap>";
        objects += "<object class=\"vqStaticPicture\" name=\"n" + std::to_string(i) + "\">" +
                   bitmap + "<size>" + r.size + "</size></object>\n";
    }
    ASSERT_TRUE(Load(objects));

    for (int pass = 0; pass < 2; ++pass) {
        LogCollector log;
        size_t left = vqXML_RESOURCE_MAX_FILE_PIXELS;
        int refused = 0;
        const unsigned char* shared = nullptr;
        for (size_t i = 0; i < requests.size(); ++i) {
            const std::string name = "n" + std::to_string(i);
            vqStaticPicture* made = LoadPicture(name.c_str());
            ASSERT_NE(made, nullptr) << name;
            const bool fits = requests[i].cost <= left;
            EXPECT_EQ(made->GetBitmap().Ok(), fits) << name;
            if (fits) left -= requests[i].cost;
            refused += !fits;
            EXPECT_EQ(log.Count({"<string>:" + std::to_string(i + 3) + ": vqStaticPicture '" +
                                     name + "', parameter 'bitmap'",
                                 "pixels the bitmaps of one resource file may have"}),
                      fits ? 0 : 1)
                << name;
            if (requests[i].size == "64,32") {
                if (!shared) shared = made->GetBitmap().GetData();
                EXPECT_EQ(made->GetBitmap().GetData(), shared) << name;
            }
        }
        EXPECT_GE(refused, 2);
        EXPECT_EQ(log.errors.size(), static_cast<size_t>(refused));
        // Unloading the file releases its bitmaps and its budget.
        frame.reset(new vqPanel(nullptr, vqID_ANY, vqPoint(0, 0), vqSize(300, 200)));
        ASSERT_TRUE(res.Unload(vqT("<string>")));
        ASSERT_TRUE(Load(objects));
    }
}

}  // namespace
