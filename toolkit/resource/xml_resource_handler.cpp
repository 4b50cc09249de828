#include <algorithm>
#include <climits>
#include <cstdint>
#include <cmath>
#include <utility>
#include <vector>

#include "bitmap_account.h"
#include "vq/art_provider.h"
#include "vq/file.h"
#include "vq/log.h"
#include "vq/pnghandler.h"
#include "vq/xml_resource.h"

VQ_IMPLEMENT_ABSTRACT_CLASS(vqXmlResourceHandler, vqObject)

namespace {

const int kMaxSide = vqXML_RESOURCE_MAX_BITMAP_SIDE;

size_t Pixels(const vqSize& size) {
    return size.x > 0 && size.y > 0 ? static_cast<size_t>(size.x) * size.y : 0;
}

vqString FileBudgetText() {
    return vqString::Format(vqT("the %lu pixels the bitmaps of one resource file may have"),
                            static_cast<unsigned long>(vqXML_RESOURCE_MAX_FILE_PIXELS));
}

// One side scaled in proportion, at least 1 and at most INT_MAX.
int ScaledSide(int side, int numerator, int denominator) {
    double scaled = std::round(static_cast<double>(side) * numerator / denominator);
    return static_cast<int>(std::min(static_cast<double>(INT_MAX), std::max(1.0, scaled)));
}

// The size a picture of source size is scaled to for a request (-1 for a free side):
// a free side keeps the picture's proportions, both free keep its size.
vqSize TargetSize(const vqSize& source, const vqSize& wanted) {
    if (wanted.x == -1 && wanted.y == -1) return source;
    if (wanted.x == -1) return vqSize(ScaledSide(wanted.y, source.x, source.y), wanted.y);
    if (wanted.y == -1) return vqSize(wanted.x, ScaledSide(wanted.x, source.y, source.x));
    return wanted;
}

// At most the first 64 characters of a value, "..." marking a cut, for quoting in a
// message: a malformed value may be megabytes long.
vqString Excerpt(const vqString& text) {
    const size_t kMost = 64;
    return text.length() <= kMost ? text : text.Mid(0, kMost) + vqT("...");
}

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

// Where one output column (or row) samples its source: the two source positions and
// the weight of the second.
struct Tap {
    size_t first, second;
    double weight;
};

std::vector<Tap> Taps(int from, int to) {
    std::vector<Tap> taps(static_cast<size_t>(to));
    for (int i = 0; i < to; ++i) {
        double f = (i + 0.5) * from / to - 0.5;
        f = f < 0 ? 0 : f;
        int i0 = static_cast<int>(f);
        int i1 = i0 + 1 < from ? i0 + 1 : i0;
        taps[i] = {static_cast<size_t>(i0), static_cast<size_t>(i1), f - i0};
    }
    return taps;
}

// Rounds a channel value (never negative) half away from zero, as std::lround does.
inline unsigned char RoundChannel(double v) {
    int r = static_cast<int>(v);
    return static_cast<unsigned char>(v - r >= 0.5 ? r + 1 : r);
}

// One source row interpolated across to the output width, channel by channel.
void BlendRow(const unsigned char* row, const std::vector<Tap>& cols, double* out) {
    for (const Tap& col : cols) {
        const unsigned char* a = row + col.first * 4;
        const unsigned char* b = row + col.second * 4;
        out[0] = a[0] + (b[0] - a[0]) * col.weight;
        out[1] = a[1] + (b[1] - a[1]) * col.weight;
        out[2] = a[2] + (b[2] - a[2]) * col.weight;
        out[3] = a[3] + (b[3] - a[3]) * col.weight;
        out += 4;
    }
}

// Scales an RGBA bitmap to width x height by bilinear interpolation: each output row
// blends two source rows, each interpolated across once for all the rows that use it.
vqBitmap ScaleBitmap(const vqBitmap& source, int width, int height) {
    const int sw = source.GetWidth(), sh = source.GetHeight();
    const unsigned char* src = source.GetData();
    vqBitmap result(width, height, source.GetDepth());
    result.SetHasAlpha(source.HasAlpha());
    unsigned char* out = result.GetWritableData();
    if (!src || !out) return vqBitmap();
    const std::vector<Tap> cols = Taps(sw, width), rows = Taps(sh, height);
    const size_t stride = static_cast<size_t>(sw) * 4, values = static_cast<size_t>(width) * 4;
    std::vector<double> upper(values), lower(values);
    size_t upperRow = SIZE_MAX, lowerRow = SIZE_MAX;
    for (const Tap& row : rows) {
        if (row.first != upperRow) {
            if (row.first == lowerRow)
                upper.swap(lower), std::swap(upperRow, lowerRow);
            else
                BlendRow(src + row.first * stride, cols, upper.data());
            upperRow = row.first;
        }
        if (row.second != lowerRow) {
            BlendRow(src + row.second * stride, cols, lower.data());
            lowerRow = row.second;
        }
        const double ty = row.weight;
        for (size_t i = 0; i < values; i += 4, out += 4) {
            out[0] = RoundChannel(upper[i] + (lower[i] - upper[i]) * ty);
            out[1] = RoundChannel(upper[i + 1] + (lower[i + 1] - upper[i + 1]) * ty);
            out[2] = RoundChannel(upper[i + 2] + (lower[i + 2] - upper[i + 2]) * ty);
            out[3] = RoundChannel(upper[i + 3] + (lower[i + 3] - upper[i + 3]) * ty);
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
    // One error for the whole value, however many of its names are unknown.
    size_t unknown = 0;
    vqString firstUnknown;
    const vqString::StdString& s = text.str();
    size_t start = 0;
    while (start <= s.size()) {
        size_t bar = s.find(vqT('|'), start);
        if (bar == vqString::StdString::npos) bar = s.size();
        // The name is s[first, last), compared in place: a value may hold millions.
        size_t first = start, last = bar;
        while (first < last && IsSpace(s[first])) ++first;
        while (last > first && IsSpace(s[last - 1])) --last;
        bool known = false;
        for (const auto& entry : m_styles) {
            if (entry.first.str().compare(0, vqString::StdString::npos, s, first, last - first) ==
                0) {
                style |= entry.second;
                known = true;
                break;
            }
        }
        if (!known && unknown++ == 0) firstUnknown = vqString(s.substr(first, last - first));
        start = bar + 1;
    }
    if (unknown == 1)
        ReportParamError(
            param, vqString::Format(vqT("unknown style name '%s'"), Excerpt(firstUnknown).c_str()));
    else if (unknown > 1)
        ReportParamError(param, vqString::Format(vqT("%lu unknown style names, the first '%s'"),
                                                 static_cast<unsigned long>(unknown),
                                                 Excerpt(firstUnknown).c_str()));
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
    if (size.x > kMaxSide || size.y > kMaxSide) {
        ReportParamError(param,
                         vqString::Format(vqT("cannot make a bitmap of %d x %d pixels (at most %d "
                                              "a side)"),
                                          size.x, size.y, kMaxSide));
        return vqBitmap();
    }
    // A node of no loaded file has no file to charge: its bitmap is charged alone.
    vqXmlResource::BitmapAccount own;
    vqXmlResource::BitmapAccount* account =
        m_resource ? m_resource->GetBitmapAccount(m_node) : nullptr;
    if (!account) account = &own;

    if (node->HasAttribute(vqT("stock_id"))) {
        vqString id = node->GetAttribute(vqT("stock_id"));
        vqString client = node->GetAttribute(vqT("stock_client"), defaultArtClient);
        vqSize hint = vqArtProvider::GetSizeHint(client);
        const size_t pixels =
            Pixels(vqSize(size.x == -1 ? hint.x : size.x, size.y == -1 ? hint.y : size.y));
        if (pixels > account->Left()) {
            ReportParamError(param, vqString::Format(vqT("art '%s' would pass %s"), id.c_str(),
                                                     FileBudgetText().c_str()));
            return vqBitmap();
        }
        vqBitmap art = vqArtProvider::GetBitmap(id, client, size);
        if (!art.Ok())
            ReportParamError(param, vqString::Format(vqT("no art for id '%s'"), id.c_str()));
        else
            account->pixels += pixels;
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
    vqres::FileStamp stamp;
    if (!vqres::ReadFileStamp(path.ToUTF8(), &stamp)) {
        ReportParamError(param, vqString::Format(vqT("bitmap file '%s' not found"), path.c_str()));
        return vqBitmap();
    }
    const vqXmlResource::BitmapAccount::Key key{path.ToUTF8(), size.x, size.y};
    if (const vqBitmap* kept = account->Find(key, stamp)) return *kept;

    // Check every bound from the file's header before a pixel is decoded.
    vqSize source;
    vqString reason;
    if (!vqPNGHandler::ReadSize(path, &source, &reason)) {
        ReportParamError(param, vqString::Format(vqT("cannot read bitmap file '%s': %s"),
                                                 path.c_str(), reason.c_str()));
        return vqBitmap();
    }
    const size_t sourcePixels = Pixels(source);
    if (sourcePixels > vqXML_RESOURCE_MAX_PICTURE_PIXELS) {
        ReportParamError(
            param, vqString::Format(vqT("bitmap file '%s' is %d x %d pixels, more than the "
                                        "%lu a picture may have"),
                                    path.c_str(), source.x, source.y,
                                    static_cast<unsigned long>(vqXML_RESOURCE_MAX_PICTURE_PIXELS)));
        return vqBitmap();
    }
    const vqSize target = TargetSize(source, size);
    if (target.x > kMaxSide || target.y > kMaxSide) {
        ReportParamError(param,
                         vqString::Format(vqT("cannot scale '%s' to %d x %d pixels (at most %d "
                                              "a side)"),
                                          path.c_str(), target.x, target.y, kMaxSide));
        return vqBitmap();
    }
    const size_t cost = sourcePixels + (target == source ? 0 : Pixels(target));
    if (cost > account->Left()) {
        ReportParamError(
            param, vqString::Format(vqT("reading '%s' at %d x %d would pass %s"), path.c_str(),
                                    target.x, target.y, FileBudgetText().c_str()));
        return vqBitmap();
    }
    vqBitmap bitmap;
    if (!vqPNGHandler::Read(path, sourcePixels, &bitmap, &reason) || bitmap.GetSize() != source) {
        if (reason.empty()) reason = vqT("the file changed while it was read");
        ReportParamError(param, vqString::Format(vqT("cannot read bitmap file '%s': %s"),
                                                 path.c_str(), reason.c_str()));
        return vqBitmap();
    }
    account->pixels += cost;
    if (target != source) bitmap = ScaleBitmap(bitmap, target.x, target.y);
    account->Keep(key, stamp, bitmap);
    return bitmap;
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
