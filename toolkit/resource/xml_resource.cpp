#include "vq/xml_resource.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>
#include <pugixml.hpp>

#include "bitmap_account.h"
#include "vq/file.h"
#include "vq/image.h"
#include "vq/log.h"
#include "vq/pnghandler.h"

namespace {

// Deeper documents are refused: nodes are freed recursively.
const int kMaxElementDepth = 256;
// Deeper object nesting is refused while creating: handlers recurse.
const int kMaxObjectDepth = 64;
// Identifiers handed out for names start here, above the toolkit's fixed ones.
const int kFirstResourceId = 10000;

const vqChar* kStringSource = vqT("<string>");

vqString FromPugi(const pugi::char_t* text) { return vqString::FromUTF8(text); }

vqString TooLong() {
    return vqString::Format(vqT("longer than the %lu bytes a resource file may have"),
                            static_cast<unsigned long>(vqXML_RESOURCE_MAX_BYTES));
}

// Line numbers of byte offsets, from the offsets at which lines start.
class LineIndex {
public:
    explicit LineIndex(const std::string& bytes) {
        m_starts.push_back(0);
        for (size_t i = 0; i < bytes.size(); ++i)
            if (bytes[i] == '\n') m_starts.push_back(i + 1);
    }
    int LineOf(ptrdiff_t offset) const {
        if (offset < 0) return 0;
        auto it = std::upper_bound(m_starts.begin(), m_starts.end(), static_cast<size_t>(offset));
        return static_cast<int>(it - m_starts.begin());
    }

private:
    std::vector<size_t> m_starts;
};

// Copies a parsed element and its descendants; false when nested too deeply.
bool CopyElement(const pugi::xml_node& from, vqXmlNode* to, const LineIndex& lines, int depth) {
    if (depth > kMaxElementDepth) return false;
    for (const pugi::xml_attribute& attr : from.attributes())
        to->AddAttribute(FromPugi(attr.name()), FromPugi(attr.value()));
    std::string content;
    for (const pugi::xml_node& child : from.children()) {
        if (child.type() == pugi::node_pcdata || child.type() == pugi::node_cdata) {
            content += child.value();
        } else if (child.type() == pugi::node_element) {
            auto* node = new vqXmlNode(FromPugi(child.name()), lines.LineOf(child.offset_debug()));
            to->AddChild(node);
            if (!CopyElement(child, node, lines, depth + 1)) return false;
        }
    }
    to->SetContent(vqString::FromUTF8(content));
    return true;
}

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
    pugi::xml_document doc;
    pugi::xml_parse_result result =
        doc.load_buffer(bytes.data(), bytes.size(), pugi::parse_default, pugi::encoding_auto);
    LineIndex lines(bytes);
    if (!result) {
        vqLogError(vqT("%s:%d: not a resource file: %s"), fileName.c_str(),
                   lines.LineOf(result.offset), FromPugi(result.description()).c_str());
        return false;
    }
    pugi::xml_node rootElement = doc.document_element();
    if (vqString(FromPugi(rootElement.name())) != vqT("resource")) {
        vqLogError(vqT("%s:%d: not a resource file: the root element is '%s', not 'resource'"),
                   fileName.c_str(), lines.LineOf(rootElement.offset_debug()),
                   FromPugi(rootElement.name()).c_str());
        return false;
    }
    auto* root = new vqXmlNode(vqT("resource"), lines.LineOf(rootElement.offset_debug()));
    root->SetFileName(fileName);
    if (!CopyElement(rootElement, root, lines, 1)) {
        vqLogError(vqT("%s: not loaded: elements are nested more than %d deep"), fileName.c_str(),
                   kMaxElementDepth);
        delete root;
        return false;
    }
    m_documents.push_back({fileName, baseDir, root, std::make_shared<BitmapAccount>()});
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
