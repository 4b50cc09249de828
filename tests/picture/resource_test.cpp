// The resource loader and the base handler's parameter reading, through a
// small handler that records what it reads.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>

#include "picture_test_util.h"
#include "vq/art_provider.h"
#include "vq/panel.h"
#include "vq/picturehandler.h"
#include "vq/static_picture.h"

using namespace picturetest;

namespace {

std::string Resource(const std::string& objects) {
    return "<?xml version=\"1.0\"?>\n<resource>\n" + objects + "</resource>\n";
}

// Reads one parameter set from nodes of class "Probe" and returns a plain object.
class ProbeHandler : public vqXmlResourceHandler {
public:
    ProbeHandler() {
        AddStyle(vqT("ONE"), 1);
        AddStyle(vqT("FOUR"), 4);
    }
    bool CanHandle(vqXmlNode* node) override { return IsOfClass(node, vqT("Probe")); }
    vqObject* DoCreateResource() override {
        size = GetSize();
        pos = GetPosition();
        style = GetStyle(vqT("style"), 99);
        number = GetLong(vqT("number"), -7);
        flag = GetBool(vqT("flag"), true);
        colour = GetColour(vqT("colour"));
        ++created;
        return new vqObject;
    }
    vqSize size;
    vqPoint pos;
    long style = 0, number = 0;
    bool flag = false;
    vqColour colour;
    int created = 0;
};

class ResourceTest : public ::testing::Test {
protected:
    void SetUp() override {
        probe = new ProbeHandler;
        res.AddHandler(probe);
    }
    // Loads one probe object with the given parameters and creates it.
    void Probe(const std::string& params) {
        vqXmlResource one;
        probe = new ProbeHandler;
        one.AddHandler(probe);
        ASSERT_TRUE(one.LoadFromString(
            V(Resource("<object class=\"Probe\" name=\"p\">" + params + "</object>\n"))));
        std::unique_ptr<vqObject> made(one.LoadObject(nullptr, vqT("p"), vqT("Probe")));
        ASSERT_NE(made, nullptr);
        last = *probe;  // the loader deletes the handler
    }

    ScratchDir dir;
    vqXmlResource res;
    ProbeHandler* probe;
    ProbeHandler last;
};

TEST_F(ResourceTest, BrokenDocumentsAreRefusedWithTheFileAndLine) {
    LogCollector log;
    dir.Write("broken.xml", "<?xml version=\"1.0\"?>\n<resource>\n<object class=\"Probe\">\n");
    EXPECT_FALSE(res.Load(V(dir.Path("broken.xml"))));
    EXPECT_EQ(log.Count({dir.Path("broken.xml") + ":", "not a resource file"}), 1);
    dir.Write("other.xml", "<?xml version=\"1.0\"?>\n\n<svg/>\n");
    EXPECT_FALSE(res.Load(V(dir.Path("other.xml"))));
    EXPECT_EQ(log.Count({dir.Path("other.xml") + ":3:", "root element is 'svg'"}), 1);
    EXPECT_FALSE(res.Load(V(dir.Path("absent.xml"))));
    EXPECT_EQ(log.Count({dir.Path("absent.xml"), "cannot read", "No such file"}), 1);
    EXPECT_FALSE(res.LoadFromString(vqT("")));
    EXPECT_EQ(log.errors.size(), 4u);
    EXPECT_EQ(res.FindResource(vqT("p"), vqT("")), nullptr);
}

// A document that is not well-formed is refused with the line where reading stopped,
// and one cut short anywhere is refused, never half loaded.
TEST_F(ResourceTest, MalformedDocumentsNameTheLineWhereReadingStopped) {
    LogCollector log;
    EXPECT_FALSE(res.LoadFromString(V("<resource>\n<a>\n<b>\n</a>\n</resource>\n")));
    EXPECT_EQ(log.Count({"<string>:4: not a resource file"}), 1);
    const std::string whole = Resource(
        "<object class=\"Probe\" name=\"p\">\n  <size>1,2</size>\n  <pos>3,4</pos>\n</object>\n");
    ASSERT_TRUE(res.LoadFromString(V(whole)));
    ASSERT_TRUE(res.Unload(vqT("<string>")));
    for (size_t cut = whole.find("<resource>") + 1; cut < whole.rfind('>'); cut += 7) {
        EXPECT_FALSE(res.LoadFromString(V(whole.substr(0, cut)))) << cut;
        EXPECT_EQ(res.FindResource(vqT("p"), vqT("")), nullptr) << cut;
    }
    EXPECT_EQ(log.Count({"<string>:", "not a resource file"}), static_cast<int>(log.errors.size()));
}

// Text and attributes arrive as the document means them: references replaced, CDATA
// joined with the text around it, comments left out, attribute blanks made spaces,
// and every element on its own line.
TEST_F(ResourceTest, TextAttributesAndLinesAreReadAsWritten) {
    ASSERT_TRUE(res.LoadFromString(
        V(Resource("<!-- a comment -->\n"
                   "<object class=\"Probe\" name=\"a&amp;b\" title=\"x\ty &#x20AC;\">\n"
                   "  <tooltip>one &lt;<![CDATA[<two>]]><!-- no -->&#51;</tooltip>\n"
                   "  <blank>   </blank><empty/>\n"
                   "</object>\n"))));
    vqXmlNode* node = res.FindResource(V("a&b"), vqT("Probe"));
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(node->GetLineNumber(), 4);
    EXPECT_EQ(node->GetAttribute(vqT("title")).ToUTF8(), "x y \xE2\x82\xAC");
    ASSERT_EQ(node->GetChildren().size(), 3u);
    EXPECT_EQ(node->GetChildren()[0]->GetNodeContent().ToUTF8(), "one <<two>3");
    EXPECT_EQ(node->GetChildren()[0]->GetLineNumber(), 5);
    EXPECT_EQ(node->GetChildren()[1]->GetNodeContent(), vqString());
    EXPECT_EQ(node->GetChildren()[2]->GetName(), vqString(vqT("empty")));
    EXPECT_EQ(node->GetChildren()[2]->GetLineNumber(), 6);
    EXPECT_EQ(node->GetParent()->GetLineNumber(), 2);
}

// Only regular files are read, and only up to the stated size: a device or FIFO
// never blocks or streams forever, and a longer file or text is refused whole.
TEST_F(ResourceTest, LoadReadsOnlyRegularFilesOfBoundedSize) {
    LogCollector log;
    std::vector<std::string> refused = {dir.Dir()};
    for (const std::string& device : Devices()) refused.push_back(device);
    Fifo fifo(dir, "pipe.xml");
    ASSERT_FALSE(fifo.Path().empty()) << fifo.Error();
    refused.push_back(fifo.Path());
    for (const std::string& name : refused) {
        EXPECT_FALSE(res.Load(V(name))) << name;
        EXPECT_EQ(log.Count({name + ": cannot read", "not a regular file"}), 1) << name;
    }

    // Exactly at the bound a document loads; one byte more and it is refused unread.
    std::string head = "<resource><object class=\"Probe\" name=\"big\"/>", tail = "</resource>";
    std::string full =
        head + std::string(vqXML_RESOURCE_MAX_BYTES - head.size() - tail.size(), ' ');
    dir.Write("limit.xml", full + tail);
    EXPECT_TRUE(res.Load(V(dir.Path("limit.xml"))));
    EXPECT_NE(res.FindResource(vqT("big"), vqT("Probe")), nullptr);
    dir.Write("over.xml", full + " " + tail);
    EXPECT_FALSE(res.Load(V(dir.Path("over.xml"))));
    EXPECT_FALSE(res.LoadFromString(V(full + " " + tail)));
    std::string limit = std::to_string(vqXML_RESOURCE_MAX_BYTES) + " bytes";
    EXPECT_EQ(log.Count({dir.Path("over.xml") + ": cannot read", limit}), 1);
    EXPECT_EQ(log.Count({"<string>: cannot read", limit}), 1);
    // A sparse file of a gigabyte is refused from its size alone.
    dir.Write("sparse.xml", "");
    std::error_code error;
    std::filesystem::resize_file(std::filesystem::u8path(dir.Path("sparse.xml")), 1ull << 30,
                                 error);
    ASSERT_FALSE(error) << error.message();
    EXPECT_FALSE(res.Load(V(dir.Path("sparse.xml"))));
    EXPECT_EQ(log.Count({dir.Path("sparse.xml") + ": cannot read", limit}), 1);
    EXPECT_EQ(log.errors.size(), refused.size() + 3);
}

TEST_F(ResourceTest, FindsTopLevelThenNestedAndReportsWhatIsMissing) {
    ASSERT_TRUE(
        res.LoadFromString(V(Resource("<object class=\"Other\" name=\"x\">\n"
                                      "  <object class=\"Probe\" name=\"inner\"/>\n"
                                      "</object>\n"
                                      "<object class=\"Probe\" name=\"x\"/>\n"))));
    vqXmlNode* x = res.FindResource(vqT("x"), vqT("Probe"));
    ASSERT_NE(x, nullptr);
    EXPECT_EQ(x->GetLineNumber(), 6);
    EXPECT_EQ(res.FindResource(vqT("x"), vqT(""))->GetAttribute(vqT("class")),
              vqString(vqT("Other")));
    ASSERT_NE(res.FindResource(vqT("inner"), vqT("Probe")), nullptr);

    LogCollector log;
    EXPECT_EQ(res.LoadObject(nullptr, vqT("nothing"), vqT("Probe")), nullptr);
    EXPECT_EQ(log.Count({"'nothing'", "'Probe'"}), 1);
    EXPECT_EQ(res.LoadObject(nullptr, vqT("x"), vqT("Other")), nullptr);
    EXPECT_EQ(log.Count({"<string>:3:", "no handler", "'Other'"}), 1);
    EXPECT_EQ(probe->created, 0);
}

TEST_F(ResourceTest, WellFormedParametersAreRead) {
    Probe(
        "<size> 10 , 20 </size><pos>-5,3</pos><style>FOUR|ONE</style>"
        "<number>-2147483648</number><flag>0</flag><colour>#0a0B0c</colour>");
    EXPECT_EQ(last.size, vqSize(10, 20));
    EXPECT_EQ(last.pos, vqPoint(-5, 3));
    EXPECT_EQ(last.style, 5);
    EXPECT_EQ(last.number, -2147483648L);
    EXPECT_FALSE(last.flag);
    EXPECT_EQ(last.colour, vqColour(10, 11, 12));
}

TEST_F(ResourceTest, MissingParametersGiveDefaultsSilently) {
    LogCollector log;
    Probe("");
    EXPECT_EQ(last.size, vqSize(-1, -1));
    EXPECT_EQ(last.pos, vqPoint(-1, -1));
    EXPECT_EQ(last.style, 99);
    EXPECT_EQ(last.number, -7);
    EXPECT_TRUE(last.flag);
    EXPECT_FALSE(last.colour.Ok());
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(ResourceTest, MalformedParametersGiveDefaultsWithOneErrorEach) {
    LogCollector log;
    Probe(
        "<size>-2,5</size><pos>2147483648,0</pos><style>TWO</style>"
        "<number>12abc</number><flag>yes</flag><colour>red</colour>");
    EXPECT_EQ(last.size, vqSize(-1, -1));
    EXPECT_EQ(last.pos, vqPoint(-1, -1));
    EXPECT_EQ(last.style, 0);
    EXPECT_EQ(last.number, -7);
    EXPECT_TRUE(last.flag);
    EXPECT_FALSE(last.colour.Ok());
    ASSERT_EQ(log.errors.size(), 6u);
    for (const char* param : {"size", "pos", "style", "number", "flag", "colour"})
        EXPECT_EQ(log.Count({"<string>:3: Probe 'p', parameter '" + std::string(param) + "'"}), 1)
            << param;
}

// A style value logs one error however many of its names are unknown, and the known
// ones still count; the error quotes the first unknown name, cut when long.
TEST_F(ResourceTest, MalformedStyleLogsOneErrorHoweverLong) {
    const std::string before = "<style>", after = "</style>";
    const std::string wrapper =
        Resource("<object class=\"Probe\" name=\"p\">" + before + after + "</object>\n");
    struct Case {
        std::string value, message;
        long style;
    } cases[] = {
        // As large as a resource text may be, all separators: every name is empty.
        {std::string(vqXML_RESOURCE_MAX_BYTES - wrapper.size(), '|'),
         std::to_string(vqXML_RESOURCE_MAX_BYTES - wrapper.size() + 1) +
             " unknown style names, the first ''",
         0},
        {"ONE|TWO| FOUR |THREE||", "4 unknown style names, the first 'TWO'", 5},
        {"FOUR|" + std::string(1000, 'X'), "unknown style name '" + std::string(64, 'X') + "...'",
         4},
        {"ONE|ONE|", "unknown style name ''", 1},
    };
    for (const Case& c : cases) {
        LogCollector log;
        Probe(before + c.value + after);
        EXPECT_EQ(last.style, c.style) << c.message;
        ASSERT_EQ(log.errors.size(), 1u) << c.message;
        EXPECT_EQ(log.Count({"<string>:3: Probe 'p', parameter 'style': " + c.message}), 1)
            << log.errors[0].substr(0, 200);
        EXPECT_LT(log.errors[0].size(), 200u);
    }
    LogCollector log;
    Probe("<style> ONE | FOUR </style>");
    EXPECT_EQ(last.style, 5);
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(ResourceTest, IdentifiersAreStablePerName) {
    int a = vqXmlResource::GetResourceId(vqT("first_name"));
    EXPECT_EQ(vqXmlResource::GetResourceId(vqT("first_name")), a);
    EXPECT_NE(vqXmlResource::GetResourceId(vqT("second_name")), a);
    EXPECT_EQ(vqXmlResource::GetResourceId(vqT("")), (int)vqID_ANY);
    EXPECT_GT(a, 0);
}

TEST_F(ResourceTest, DeepNestingIsRefusedNotCrashed) {
    std::string deep;
    for (int i = 0; i < 5000; ++i) deep += "<a>";
    for (int i = 0; i < 5000; ++i) deep += "</a>";
    LogCollector log;
    EXPECT_FALSE(res.LoadFromString(V(Resource(deep))));
    EXPECT_EQ(log.Count({"nested"}), 1);

    // Panels nested 100 deep load down to the object limit.
    vqXmlResource panels;
    panels.InitAllHandlers();
    std::string nested;
    for (int i = 0; i < 100; ++i) nested += "<object class=\"vqPanel\" name=\"n\">";
    for (int i = 0; i < 100; ++i) nested += "</object>";
    ASSERT_TRUE(panels.LoadFromString(V(Resource(nested))));
    std::unique_ptr<vqObject> top(panels.LoadObject(nullptr, vqT("n"), vqT("vqPanel")));
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(log.Count({"nested more than"}), 2);
}

TEST_F(ResourceTest, UnloadForgetsTheFile) {
    dir.Write("a.xml", Resource("<object class=\"Probe\" name=\"fromfile\"/>\n"));
    ASSERT_TRUE(res.Load(V(dir.Path("a.xml"))));
    ASSERT_NE(res.FindResource(vqT("fromfile"), vqT("Probe")), nullptr);
    EXPECT_EQ(res.FindResource(vqT("fromfile"), vqT(""))->GetFileName(), V(dir.Path("a.xml")));
    EXPECT_TRUE(res.Unload(V(dir.Path("a.xml"))));
    EXPECT_FALSE(res.Unload(V(dir.Path("a.xml"))));
    EXPECT_EQ(res.FindResource(vqT("fromfile"), vqT("Probe")), nullptr);
}

TEST_F(ResourceTest, NonAsciiTextSurvivesInBothWidths) {
    ASSERT_TRUE(
        res.LoadFromString(V(Resource("<object class=\"Probe\" name=\"gr\xC3\xBC\xC3\x9F\">"
                                      "<tooltip>\xE2\x82\xAC 5</tooltip></object>\n"))));
    vqXmlNode* node = res.FindResource(V("gr\xC3\xBC\xC3\x9F"), vqT("Probe"));
    ASSERT_NE(node, nullptr);
    ASSERT_EQ(node->GetChildren().size(), 1u);
    EXPECT_EQ(node->GetChildren()[0]->GetNodeContent().ToUTF8(), "\xE2\x82\xAC 5");
}

// A provider that answers one id, to check it is asked before the built-in art.
class GreenProvider : public vqArtProvider {
protected:
    vqBitmap CreateBitmap(const vqString& id, const vqString&, const vqSize& size) override {
        if (id != vqART_ERROR) return vqBitmap();
        vqBitmap b(size.x, size.y);
        for (int y = 0; y < size.y; ++y)
            for (int x = 0; x < size.x; ++x) b.SetPixel(x, y, vqColour(0, 255, 0));
        return b;
    }
};

TEST(ArtProviderTest, BuiltInArtPushedProvidersAndLimits) {
    vqBitmap missing = vqArtProvider::GetBitmap(vqART_MISSING_IMAGE);
    EXPECT_EQ(missing.GetSize(), vqSize(16, 16));
    EXPECT_EQ(vqArtProvider::GetBitmap(vqART_INFORMATION, vqART_MESSAGE_BOX_C).GetSize(),
              vqSize(32, 32));
    EXPECT_EQ(vqArtProvider::GetBitmap(vqART_WARNING, vqART_OTHER_C, vqSize(24, -1)).GetSize(),
              vqSize(24, 16));
    EXPECT_FALSE(vqArtProvider::GetBitmap(vqT("vqART_UNKNOWN")).Ok());
    EXPECT_FALSE(vqArtProvider::GetBitmap(vqART_ERROR, vqART_OTHER_C, vqSize(5000, 5)).Ok());
    unsigned char alpha = 255;
    vqColour corner;
    ASSERT_TRUE(missing.GetPixel(0, 0, &corner, &alpha));
    EXPECT_EQ(alpha, 0);

    auto* green = new GreenProvider;
    vqArtProvider::Push(green);
    vqColour c;
    ASSERT_TRUE(vqArtProvider::GetBitmap(vqART_ERROR).GetPixel(8, 8, &c));
    EXPECT_EQ(c, vqColour(0, 255, 0));
    EXPECT_TRUE(vqArtProvider::GetBitmap(vqART_WARNING).Ok());
    EXPECT_TRUE(vqArtProvider::Delete(green));
    ASSERT_TRUE(vqArtProvider::GetBitmap(vqART_ERROR).GetPixel(8, 8, &c));
    EXPECT_NE(c, vqColour(0, 255, 0));
}

// Every file of the broken-input corpus loads or is refused without a crash, and
// whatever it describes can be created (the sanitizer build checks memory).
TEST(CorpusTest, BrokenFilesNeverCrashTheLoader) {
    std::string corpus = std::string(VQ_TEST_SOURCE_DIR) + "/tests/picture/corpus";
    std::error_code error;
    std::filesystem::directory_iterator entries(std::filesystem::u8path(corpus), error);
    ASSERT_FALSE(error) << corpus << ": " << error.message();
    int files = 0;
    LogCollector log;  // keeps the expected errors out of the output
    for (const std::filesystem::directory_entry& entry : entries) {
        ++files;
        vqXmlResource res;
        res.AddHandler(new vqStaticPictureXmlHandler);
        res.InitAllHandlers();
        if (!res.Load(V(corpus + "/" + entry.path().filename().u8string()))) continue;
        vqPanel frame(nullptr);
        for (const char* object : {"main", "picture", "p"}) {
            res.LoadObject(&frame, V(object), vqT(""));
        }
    }
    EXPECT_GE(files, 10);
    EXPECT_FALSE(log.errors.empty());
}

}  // namespace
