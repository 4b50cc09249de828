#include <algorithm>
#include <climits>
#include <cmath>

#include "vq/art_provider.h"
#include "vq/file.h"
#include "vq/log.h"
#include "vq/xml_resource.h"

VQ_IMPLEMENT_ABSTRACT_CLASS(vqXmlResourceHandler, vqObject)

namespace {

// Bitmaps are not read or scaled beyond this many pixels a side.
const int kMaxBitmapSide = 4096;

bool IsSpace(vqChar c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

vqString Trim(const vqString& text) {
    const vqString::StdString& s = text.str();
    size_t first = 0, last = s.size();
    while (first < last && IsSpace(s[first])) ++first;
    while (last > first && IsSpace(s[last - 1])) --last;
    return vqString(s.substr(first, last - first));
}

// Parses a whole decimal integer (optional sign, surrounding blanks) in int range.
bool ParseInt(const vqString& text, long* value) {
    vqString t = Trim(text);
    const vqString::StdString& s = t.str();
    size_t i = 0;
    bool negative = false;
    if (i < s.size() && (s[i] == '-' || s[i] == '+')) negative = s[i++] == '-';
    if (i == s.size()) return false;
    long long v = 0;
    for (; i < s.size(); ++i) {
        if (s[i] < '0' || s[i] > '9') return false;
        v = v * 10 + (s[i] - '0');
        if (v > static_cast<long long>(INT_MAX) + 1) return false;
    }
    v = negative ? -v : v;
    if (v > INT_MAX || v < INT_MIN) return false;
    *value = static_cast<long>(v);
    return true;
}

// Parses "a,b" into two integers.
bool ParsePair(const vqString& text, int* a, int* b) {
    int comma = text.Find(vqT(','));
    if (comma < 0) return false;
    long first, second;
    if (!ParseInt(text.Mid(0, comma), &first) || !ParseInt(text.Mid(comma + 1), &second))
        return false;
    *a = static_cast<int>(first);
    *b = static_cast<int>(second);
    return true;
}

int HexDigit(vqChar c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool IsAbsolutePath(const vqString& path) {
    if (path.empty()) return false;
    if (path[0] == '/' || path[0] == '\\') return true;
    return path.length() > 1 && path[1] == ':';
}

// Scales an RGBA bitmap to width x height by bilinear interpolation.
vqBitmap ScaleBitmap(const vqBitmap& source, int width, int height) {
    const int sw = source.GetWidth(), sh = source.GetHeight();
    const unsigned char* src = source.GetData();
    vqBitmap result(width, height, source.GetDepth());
    result.SetHasAlpha(source.HasAlpha());
    unsigned char* dst = result.GetWritableData();
    for (int y = 0; y < height; ++y) {
        double fy = (y + 0.5) * sh / height - 0.5;
        fy = fy < 0 ? 0 : fy;
        int y0 = static_cast<int>(fy);
        int y1 = y0 + 1 < sh ? y0 + 1 : y0;
        double ty = fy - y0;
        for (int x = 0; x < width; ++x) {
            double fx = (x + 0.5) * sw / width - 0.5;
            fx = fx < 0 ? 0 : fx;
            int x0 = static_cast<int>(fx);
            int x1 = x0 + 1 < sw ? x0 + 1 : x0;
            double tx = fx - x0;
            const unsigned char* p00 = src + (static_cast<size_t>(y0) * sw + x0) * 4;
            const unsigned char* p01 = src + (static_cast<size_t>(y0) * sw + x1) * 4;
            const unsigned char* p10 = src + (static_cast<size_t>(y1) * sw + x0) * 4;
            const unsigned char* p11 = src + (static_cast<size_t>(y1) * sw + x1) * 4;
            unsigned char* out = dst + (static_cast<size_t>(y) * width + x) * 4;
            for (int c = 0; c < 4; ++c) {
                double top = p00[c] + (p01[c] - p00[c]) * tx;
                double bottom = p10[c] + (p11[c] - p10[c]) * tx;
                out[c] = static_cast<unsigned char>(std::lround(top + (bottom - top) * ty));
            }
        }
    }
    return result;
}

}  // namespace

vqXmlResourceHandler::vqXmlResourceHandler()
    : m_resource(nullptr),
      m_node(nullptr),
      m_parent(nullptr),
      m_instance(nullptr),
      m_parentAsWindow(nullptr) {}

vqXmlResourceHandler::~vqXmlResourceHandler() {}

vqObject* vqXmlResourceHandler::CreateResource(vqXmlNode* node, vqObject* parent,
                                               vqObject* instance) {
    vqXmlNode* savedNode = m_node;
    vqString savedClass = m_class;
    vqObject* savedParent = m_parent;
    vqObject* savedInstance = m_instance;
    vqWindow* savedParentAsWindow = m_parentAsWindow;

    m_node = node;
    m_class = node ? node->GetAttribute(vqT("class")) : vqString();
    m_parent = parent;
    m_instance = instance;
    m_parentAsWindow = vqDynamicCast<vqWindow>(parent);

    vqObject* result = DoCreateResource();

    m_node = savedNode;
    m_class = savedClass;
    m_parent = savedParent;
    m_instance = savedInstance;
    m_parentAsWindow = savedParentAsWindow;
    return result;
}

bool vqXmlResourceHandler::IsOfClass(vqXmlNode* node, const vqString& className) const {
    return node && node->GetName() == vqT("object") &&
           node->GetAttribute(vqT("class")) == className;
}

void vqXmlResourceHandler::ReportError(const vqString& message) {
    if (!m_node) {
        vqLogError(vqT("%s"), message.c_str());
        return;
    }
    vqLogError(vqT("%s:%d: %s '%s': %s"), m_node->GetFileName().c_str(), m_node->GetLineNumber(),
               m_class.c_str(), m_node->GetAttribute(vqT("name")).c_str(), message.c_str());
}

void vqXmlResourceHandler::ReportParamError(const vqString& param, const vqString& message) {
    if (!m_node) {
        vqLogError(vqT("parameter '%s': %s"), param.c_str(), message.c_str());
        return;
    }
    vqXmlNode* paramNode = GetParamNode(param);
    int line = paramNode ? paramNode->GetLineNumber() : m_node->GetLineNumber();
    vqLogError(vqT("%s:%d: %s '%s', parameter '%s': %s"), m_node->GetFileName().c_str(), line,
               m_class.c_str(), m_node->GetAttribute(vqT("name")).c_str(), param.c_str(),
               message.c_str());
}

vqXmlNode* vqXmlResourceHandler::GetParamNode(const vqString& param) {
    if (!m_node) return nullptr;
    for (vqXmlNode* child : m_node->GetChildren())
        if (child->GetName() == param && child->GetName() != vqT("object")) return child;
    return nullptr;
}

bool vqXmlResourceHandler::HasParam(const vqString& param) {
    return GetParamNode(param) != nullptr;
}

vqString vqXmlResourceHandler::GetText(const vqString& param) {
    vqXmlNode* node = GetParamNode(param);
    return node ? node->GetNodeContent() : vqString();
}

void vqXmlResourceHandler::AddStyle(const vqString& name, long value) {
    for (auto& style : m_styles) {
        if (style.first == name) {
            style.second = value;
            return;
        }
    }
    m_styles.emplace_back(name, value);
}

#define VQ_ADD_STYLE(style) AddStyle(vqT(#style), style)

void vqXmlResourceHandler::AddWindowStyles() {
    VQ_ADD_STYLE(vqBORDER_NONE);
    VQ_ADD_STYLE(vqBORDER_SIMPLE);
    VQ_ADD_STYLE(vqBORDER_SUNKEN);
    VQ_ADD_STYLE(vqTAB_TRAVERSAL);
    VQ_ADD_STYLE(vqCLIP_CHILDREN);
    VQ_ADD_STYLE(vqFULL_REPAINT_ON_RESIZE);
}

long vqXmlResourceHandler::GetStyle(const vqString& param, long defaults) {
    vqString text = Trim(GetText(param));
    if (text.empty()) return defaults;
    long style = 0;
    const vqString::StdString& s = text.str();
    size_t start = 0;
    while (start <= s.size()) {
        size_t bar = s.find(vqT('|'), start);
        if (bar == vqString::StdString::npos) bar = s.size();
        vqString name = Trim(vqString(s.substr(start, bar - start)));
        bool known = false;
        for (const auto& entry : m_styles) {
            if (entry.first == name) {
                style |= entry.second;
                known = true;
                break;
            }
        }
        if (!known)
            ReportParamError(param, vqString::Format(vqT("unknown style name '%s'"), name.c_str()));
        start = bar + 1;
    }
    return style;
}

vqString vqXmlResourceHandler::GetName() {
    return m_node ? m_node->GetAttribute(vqT("name")) : vqString();
}

int vqXmlResourceHandler::GetID() { return vqXmlResource::GetResourceId(GetName()); }

vqSize vqXmlResourceHandler::GetSize(const vqString& param, vqWindow*) {
    vqXmlNode* node = GetParamNode(param);
    if (!node) return vqSize(-1, -1);
    int w, h;
    if (!ParsePair(node->GetNodeContent(), &w, &h) || w < -1 || h < -1) {
        ReportParamError(param, vqString::Format(vqT("'%s' is not a size (width,height)"),
                                                 node->GetNodeContent().c_str()));
        return vqSize(-1, -1);
    }
    return vqSize(w, h);
}

vqPoint vqXmlResourceHandler::GetPosition(const vqString& param) {
    vqXmlNode* node = GetParamNode(param);
    if (!node) return vqPoint(-1, -1);
    int x, y;
    if (!ParsePair(node->GetNodeContent(), &x, &y)) {
        ReportParamError(param, vqString::Format(vqT("'%s' is not a position (x,y)"),
                                                 node->GetNodeContent().c_str()));
        return vqPoint(-1, -1);
    }
    return vqPoint(x, y);
}

bool vqXmlResourceHandler::GetBool(const vqString& param, bool defaultValue) {
    vqXmlNode* node = GetParamNode(param);
    if (!node) return defaultValue;
    vqString text = Trim(node->GetNodeContent());
    if (text == vqT("1")) return true;
    if (text == vqT("0")) return false;
    ReportParamError(param, vqString::Format(vqT("'%s' is not 1 or 0"), text.c_str()));
    return defaultValue;
}

long vqXmlResourceHandler::GetLong(const vqString& param, long defaultValue) {
    vqXmlNode* node = GetParamNode(param);
    if (!node) return defaultValue;
    long value;
    if (!ParseInt(node->GetNodeContent(), &value)) {
        ReportParamError(
            param, vqString::Format(vqT("'%s' is not an integer"), node->GetNodeContent().c_str()));
        return defaultValue;
    }
    return value;
}

vqColour vqXmlResourceHandler::GetColour(const vqString& param) {
    vqXmlNode* node = GetParamNode(param);
    if (!node) return vqColour();
    vqString text = Trim(node->GetNodeContent());
    int digits[6];
    bool ok = text.length() == 7 && text[0] == '#';
    for (int i = 0; ok && i < 6; ++i) ok = (digits[i] = HexDigit(text[i + 1])) >= 0;
    if (!ok) {
        ReportParamError(param,
                         vqString::Format(vqT("'%s' is not a colour (#RRGGBB)"), text.c_str()));
        return vqColour();
    }
    return vqColour(static_cast<unsigned char>(digits[0] * 16 + digits[1]),
                    static_cast<unsigned char>(digits[2] * 16 + digits[3]),
                    static_cast<unsigned char>(digits[4] * 16 + digits[5]));
}

vqBitmap vqXmlResourceHandler::GetBitmap(const vqString& param, const vqString& defaultArtClient,
                                         vqSize size) {
    vqXmlNode* node = GetParamNode(param);
    if (!node) return vqBitmap();
    // Treat empty dimensions as unspecified.
    if (size.x <= 0) size.x = -1;
    if (size.y <= 0) size.y = -1;
    if (size.x > kMaxBitmapSide || size.y > kMaxBitmapSide) {
        ReportParamError(param,
                         vqString::Format(vqT("cannot make a bitmap of %d x %d pixels (at most %d "
                                              "a side)"),
                                          size.x, size.y, kMaxBitmapSide));
        return vqBitmap();
    }

    if (node->HasAttribute(vqT("stock_id"))) {
        vqString id = node->GetAttribute(vqT("stock_id"));
        vqString client = node->GetAttribute(vqT("stock_client"), defaultArtClient);
        vqBitmap art = vqArtProvider::GetBitmap(id, client, size);
        if (!art.Ok())
            ReportParamError(param, vqString::Format(vqT("no art for id '%s'"), id.c_str()));
        return art;
    }

    vqString file = Trim(node->GetNodeContent());
    if (file.empty()) {
        ReportParamError(param, vqT("no bitmap file named"));
        return vqBitmap();
    }
    vqString path = file;
    if (!IsAbsolutePath(file)) {
        vqString baseDir = m_resource ? m_resource->GetBaseDir(m_node) : vqString(vqT("."));
        path = baseDir + vqT("/") + file;
    }
    if (!vqFile::Exists(path)) {
        ReportParamError(param, vqString::Format(vqT("bitmap file '%s' not found"), path.c_str()));
        return vqBitmap();
    }
    vqBitmap bitmap;
    if (!bitmap.LoadFile(path, vqBITMAP_TYPE_ANY) || !bitmap.Ok()) {
        ReportParamError(param,
                         vqString::Format(vqT("cannot read bitmap file '%s'"), path.c_str()));
        return vqBitmap();
    }

    int width = size.x, height = size.y;
    if (width == -1 && height == -1) return bitmap;
    const int bw = bitmap.GetWidth(), bh = bitmap.GetHeight();
    if (bw <= 0 || bh <= 0) return bitmap;
    // Fill a missing dimension in the bitmap's proportions.
    if (width == -1) width = std::max(1L, std::lround(static_cast<double>(height) * bw / bh));
    if (height == -1) height = std::max(1L, std::lround(static_cast<double>(width) * bh / bw));
    if (width > kMaxBitmapSide || height > kMaxBitmapSide) {
        ReportParamError(param,
                         vqString::Format(vqT("cannot scale '%s' to %d x %d pixels (at most %d "
                                              "a side)"),
                                          path.c_str(), width, height, kMaxBitmapSide));
        return vqBitmap();
    }
    if (width == bw && height == bh) return bitmap;
    return ScaleBitmap(bitmap, width, height);
}

void vqXmlResourceHandler::SetupWindow(vqWindow* window) {
    if (!window) return;
    if (!GetBool(vqT("enabled"), true)) window->Enable(false);
    if (GetBool(vqT("hidden"), false)) window->Show(false);
    if (HasParam(vqT("tooltip"))) window->SetToolTip(GetText(vqT("tooltip")));
    if (HasParam(vqT("fg"))) {
        vqColour colour = GetColour(vqT("fg"));
        if (colour.Ok()) window->SetForegroundColour(colour);
    }
    if (HasParam(vqT("bg"))) {
        vqColour colour = GetColour(vqT("bg"));
        if (colour.Ok()) window->SetBackgroundColour(colour);
    }
}

void vqXmlResourceHandler::CreateChildren(vqObject* parent) {
    vqXmlNode* node = m_node;
    if (!node || !m_resource) return;
    for (vqXmlNode* child : node->GetChildren())
        if (child->GetName() == vqT("object")) m_resource->CreateResFromNode(child, parent);
}
