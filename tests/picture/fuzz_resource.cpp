// libFuzzer target: loads the input as a resource document, with the static
// picture and panel handlers added, and creates every object it names.
#include <cstddef>
#include <cstdint>
#include <string>

#include "vq/log.h"
#include "vq/panel.h"
#include "vq/picturehandler.h"

namespace {

class QuietLog : public vqLog {
public:
    void DoLog(vqLogLevel, const vqString&) override {}
};

void IgnoreAssert(const char*, int, const char*, const char*, const vqString&) {}

// Creates every top-level object of the document that holds node.
void CreateAll(vqXmlResource& res, vqXmlNode* node, vqWindow* frame) {
    for (vqXmlNode* child : node->GetChildren()) {
        if (child->GetName() != vqT("object")) continue;
        res.CreateResFromNode(child, frame);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static QuietLog quiet;
    static bool once = [] {
        vqLog::SetActiveTarget(&quiet);
        vqSetAssertHandler(&IgnoreAssert);
        return true;
    }();
    (void)once;
    vqXmlResource res;
    res.AddHandler(new vqStaticPictureXmlHandler);
    res.InitAllHandlers();
    std::string text(reinterpret_cast<const char*>(data), size);
    if (!res.LoadFromString(vqString::FromUTF8(text), VQ_TEST_SOURCE_DIR "/tests/picture/corpus"))
        return 0;
    vqPanel frame(nullptr);
    for (const vqChar* name : {vqT("main"), vqT("picture"), vqT("p")})
        if (vqXmlNode* node = res.FindResource(name, vqT("")))
            CreateAll(res, node->GetParent(), &frame);
    return 0;
}
