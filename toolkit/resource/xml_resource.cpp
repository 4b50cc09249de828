#include "vq/xml_resource.h"

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

#include "bitmap_account.h"
#include "vq/file.h"
#include "vq/image.h"
#include "vq/log.h"
#include "vq/pnghandler.h"
#include "xml_reader.h"

namespace {

// Deeper documents are refused: nodes are freed recursively.
const int kMaxElementDepth = 256;
// Deeper object nesting is refused while creating: handlers recurse.
const int kMaxObjectDepth = 64;
// Identifiers handed out for names start here, above the toolkit's fixed ones.
const int kFirstResourceId = 10000;

const vqChar* kStringSource = vqT("<string>");

vqString TooLong() {
    return vqString::Format(vqT("longer than the %lu bytes a resource file may have"),
                            static_cast<unsigned long>(vqXML_RESOURCE_MAX_BYTES));
}

// Builds the loader's nodes from a document as the reader hands it over. Only the
// root element is kept when it is <resource>; elements nested more than
// kMaxElementDepth deep are left out and remembered.
class NodeBuilder : public vqxml::Handler {
public:
    void StartElement(const std::string& name, int line,
                      const vqxml::Attributes& attributes) override {
        ++m_depth;
        if (m_depth == 1) {
            m_rootName = vqString::FromUTF8(name);
            m_rootLine = line;
            if (name != "resource") return;
        }
        // Only children of built nodes are built.
        if (static_cast<int>(m_open.size()) != m_depth - 1) return;
        if (m_depth > kMaxElementDepth) {
            m_tooDeep = true;
            return;
        }
        auto* node = new vqXmlNode(vqString::FromUTF8(name), line);
        for (const auto& attr : attributes)
            node->AddAttribute(vqString::FromUTF8(attr.first), vqString::FromUTF8(attr.second));
        if (m_open.empty())
            m_root.reset(node);
        else
            m_open.back().node->AddChild(node);
        m_open.push_back({node, std::string()});
    }
    void Text(const std::string& text) override {
        if (!m_open.empty() && m_depth == static_cast<int>(m_open.size()))
            m_open.back().content += text;
    }
    void EndElement() override {
        if (!m_open.empty() && m_depth == static_cast<int>(m_open.size())) {
            m_open.back().node->SetContent(vqString::FromUTF8(m_open.back().content));
            m_open.pop_back();
        }
        --m_depth;
    }

    const vqString& RootName() const { return m_rootName; }
    int RootLine() const { return m_rootLine; }
    bool TooDeep() const { return m_tooDeep; }
    // The root node, which the caller owns from then on; null when none was built.
    vqXmlNode* TakeRoot() { return m_root.release(); }

private:
    struct Open {
        vqXmlNode* node;
        std::string content;
    };
    std::unique_ptr<vqXmlNode> m_root;
    std::vector<Open> m_open;
    int m_depth = 0;
    vqString m_rootName;
    int m_rootLine = 0;
    bool m_tooDeep = false;
};

// Reads a whole regular file of at most vqXML_RESOURCE_MAX_BYTES; false with the reason.
// Opening never blocks: a FIFO or device is refused before anything is read from it.
bool ReadFileBytes(const vqString& fileName, std::string* bytes, vqString* reason) {
    unsigned long long size = 0;
    int fd = vqFile::OpenRegular(fileName, &size, reason);
    if (fd < 0) return false;
    // The size is checked again while reading: the file may grow meanwhile.
    bool fits = size <= vqXML_RESOURCE_MAX_BYTES;
    char buffer[65536];
    while (fits) {
        ssize_t n = read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            *reason = vqErrnoText(errno);
            close(fd);
            return false;
        }
        if (n == 0) break;
        fits = bytes->size() + static_cast<size_t>(n) <= vqXML_RESOURCE_MAX_BYTES;
        if (fits) bytes->append(buffer, static_cast<size_t>(n));
    }
    close(fd);
    if (!fits) *reason = TooLong();
    return fits;
}

bool IsObjectNode(const vqXmlNode* node) { return node->GetName() == vqT("object"); }

bool Matches(const vqXmlNode* node, const vqString& name, const vqString& className) {
    return IsObjectNode(node) && node->GetAttribute(vqT("name")) == name &&
           (className.empty() || node->GetAttribute(vqT("class")) == className);
}

vqXmlNode* FindNested(vqXmlNode* node, const vqString& name, const vqString& className) {
    for (vqXmlNode* child : node->GetChildren()) {
        if (!IsObjectNode(child)) continue;
        if (Matches(child, name, className)) return child;
        if (vqXmlNode* found = FindNested(child, name, className)) return found;
    }
    return nullptr;
}

}  // namespace

// ---------------------------------------------------------------------------
// vqXmlNode

vqXmlNode::vqXmlNode(const vqString& name, int lineNumber)
    : m_name(name), m_parent(nullptr), m_lineNumber(lineNumber) {}

vqXmlNode::~vqXmlNode() {
    for (vqXmlNode* child : m_children) delete child;
}

bool vqXmlNode::HasAttribute(const vqString& name) const {
    for (const auto& attr : m_attributes)
        if (attr.first == name) return true;
    return false;
}

vqString vqXmlNode::GetAttribute(const vqString& name, const vqString& defaultValue) const {
    for (const auto& attr : m_attributes)
        if (attr.first == name) return attr.second;
    return defaultValue;
}

void vqXmlNode::AddAttribute(const vqString& name, const vqString& value) {
    m_attributes.emplace_back(name, value);
}

void vqXmlNode::AddChild(vqXmlNode* child) {
    if (!child) return;
    child->m_parent = this;
    m_children.push_back(child);
}

vqString vqXmlNode::GetFileName() const {
    const vqXmlNode* node = this;
    while (node->m_parent) node = node->m_parent;
    return node->m_fileName;
}

// ---------------------------------------------------------------------------
// vqXmlResource

vqXmlResource::vqXmlResource() : m_depth(0) {
    if (!vqImage::FindHandler(vqBITMAP_TYPE_PNG)) vqImage::AddHandler(new vqPNGHandler);
}

vqXmlResource::~vqXmlResource() {
    ClearHandlers();
    for (Document& doc : m_documents) delete doc.root;
}

void vqXmlResource::AddHandler(vqXmlResourceHandler* handler) {
    if (!handler) return;
    handler->SetParentResource(this);
    m_handlers.push_back(handler);
}

void vqXmlResource::InsertHandler(vqXmlResourceHandler* handler) {
    if (!handler) return;
    handler->SetParentResource(this);
    m_handlers.insert(m_handlers.begin(), handler);
}

void vqXmlResource::ClearHandlers() {
    for (vqXmlResourceHandler* handler : m_handlers) delete handler;
    m_handlers.clear();
}

void vqXmlResource::InitAllHandlers() { AddHandler(new vqPanelXmlHandler); }

bool vqXmlResource::Load(const vqString& fileName) {
    std::string bytes;
    vqString reason;
    if (!ReadFileBytes(fileName, &bytes, &reason)) {
        vqLogError(vqT("%s: cannot read the resource file: %s"), fileName.c_str(), reason.c_str());
        return false;
    }
    vqString baseDir = vqPathOnly(fileName);
    return Parse(bytes, fileName, baseDir.empty() ? vqString(vqT(".")) : baseDir);
}

bool vqXmlResource::LoadFromString(const vqString& text, const vqString& baseDir) {
    std::string bytes = text.ToUTF8();
    if (bytes.size() > vqXML_RESOURCE_MAX_BYTES) {
        vqLogError(vqT("%s: cannot read the resource file: %s"), kStringSource, TooLong().c_str());
        return false;
    }
    return Parse(bytes, kStringSource, baseDir.empty() ? vqString(vqT(".")) : baseDir);
}

bool vqXmlResource::Parse(const std::string& bytes, const vqString& fileName,
                          const vqString& baseDir) {
    NodeBuilder builder;
    vqxml::Error error;
    if (!vqxml::ParseDocument(bytes, builder, &error)) {
        vqLogError(vqT("%s:%d: not a resource file: %s"), fileName.c_str(), error.line,
                   vqString::FromUTF8(error.description).c_str());
        return false;
    }
    std::unique_ptr<vqXmlNode> root(builder.TakeRoot());
    if (builder.RootName() != vqT("resource")) {
        vqLogError(vqT("%s:%d: not a resource file: the root element is '%s', not 'resource'"),
                   fileName.c_str(), builder.RootLine(), builder.RootName().c_str());
        return false;
    }
    if (builder.TooDeep()) {
        vqLogError(vqT("%s: not loaded: elements are nested more than %d deep"), fileName.c_str(),
                   kMaxElementDepth);
        return false;
    }
    root->SetFileName(fileName);
    m_documents.push_back({fileName, baseDir, root.release(), std::make_shared<BitmapAccount>()});
    return true;
}

bool vqXmlResource::Unload(const vqString& fileName) {
    for (auto it = m_documents.begin(); it != m_documents.end(); ++it) {
        if (it->fileName == fileName) {
            delete it->root;
            m_documents.erase(it);
            return true;
        }
    }
    return false;
}

vqXmlNode* vqXmlResource::FindResource(const vqString& name, const vqString& className) const {
    for (const Document& doc : m_documents)
        for (vqXmlNode* node : doc.root->GetChildren())
            if (Matches(node, name, className)) return node;
    for (const Document& doc : m_documents)
        if (vqXmlNode* found = FindNested(doc.root, name, className)) return found;
    return nullptr;
}

const vqXmlResource::Document* vqXmlResource::FindDocument(const vqXmlNode* node) const {
    const vqXmlNode* root = node;
    while (root && root->GetParent()) root = root->GetParent();
    for (const Document& doc : m_documents)
        if (doc.root == root) return &doc;
    return nullptr;
}

vqString vqXmlResource::GetBaseDir(const vqXmlNode* node) const {
    const Document* doc = FindDocument(node);
    return doc ? doc->baseDir : vqString(vqT("."));
}

vqXmlResource::BitmapAccount* vqXmlResource::GetBitmapAccount(const vqXmlNode* node) const {
    const Document* doc = FindDocument(node);
    return doc ? doc->bitmaps.get() : nullptr;
}

vqObject* vqXmlResource::LoadObject(vqWindow* parent, const vqString& name,
                                    const vqString& className) {
    vqXmlNode* node = FindResource(name, className);
    if (!node) {
        vqLogError(vqT("No resource named '%s' of class '%s' is loaded."), name.c_str(),
                   className.c_str());
        return nullptr;
    }
    return CreateResFromNode(node, parent, nullptr);
}

bool vqXmlResource::LoadObject(vqObject* instance, vqWindow* parent, const vqString& name,
                               const vqString& className) {
    vqXmlNode* node = FindResource(name, className);
    if (!node) {
        vqLogError(vqT("No resource named '%s' of class '%s' is loaded."), name.c_str(),
                   className.c_str());
        return false;
    }
    return CreateResFromNode(node, parent, instance) != nullptr;
}

vqObject* vqXmlResource::CreateResFromNode(vqXmlNode* node, vqObject* parent, vqObject* instance,
                                           vqXmlResourceHandler* handlerToUse) {
    if (!node) return nullptr;
    vqString className = node->GetAttribute(vqT("class"));
    if (m_depth >= kMaxObjectDepth) {
        vqLogError(vqT("%s:%d: object '%s' of class '%s' not created: objects are nested more "
                       "than %d deep"),
                   node->GetFileName().c_str(), node->GetLineNumber(),
                   node->GetAttribute(vqT("name")).c_str(), className.c_str(), kMaxObjectDepth);
        return nullptr;
    }
    vqXmlResourceHandler* handler = nullptr;
    if (handlerToUse && handlerToUse->CanHandle(node)) handler = handlerToUse;
    for (size_t i = 0; !handler && i < m_handlers.size(); ++i)
        if (m_handlers[i]->CanHandle(node)) handler = m_handlers[i];
    if (!handler) {
        vqLogError(vqT("%s:%d: no handler creates objects of class '%s' (object '%s')"),
                   node->GetFileName().c_str(), node->GetLineNumber(), className.c_str(),
                   node->GetAttribute(vqT("name")).c_str());
        return nullptr;
    }

    // An object made for a "subclass" attribute is ours until the handler uses it.
    vqObject* ownInstance = nullptr;
    if (!instance && node->HasAttribute(vqT("subclass"))) {
        vqString subclass = node->GetAttribute(vqT("subclass"));
        ownInstance = vqClassInfo::CreateObject(subclass);
        if (!ownInstance)
            vqLogError(vqT("%s:%d: subclass '%s' of object '%s' is not a registered class"),
                       node->GetFileName().c_str(), node->GetLineNumber(), subclass.c_str(),
                       node->GetAttribute(vqT("name")).c_str());
        instance = ownInstance;
    }

    ++m_depth;
    vqObject* created = handler->CreateResource(node, parent, instance);
    --m_depth;
    if (ownInstance && created != ownInstance) delete ownInstance;
    return created;
}

int vqXmlResource::GetResourceId(const vqString& name) {
    static std::map<vqString, int> ids;
    static int next = kFirstResourceId;
    if (name.empty() || name == vqT("-1")) return vqID_ANY;
    auto it = ids.find(name);
    if (it != ids.end()) return it->second;
    ids[name] = next;
    return next++;
}
