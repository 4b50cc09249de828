#include "font_cache.h"

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "font_system.h"
#include "vq/log.h"

namespace vqfont {
namespace {

// One face at one size, with the advances measured so far.
struct SizedFace {
    std::unique_ptr<SystemFace> face;  // null when no font could be used
    Metrics metrics;
    long ascii[128];  // 26.6 advances of ASCII characters, -1 until measured
    std::unordered_map<char32_t, long> others;
};

struct Key {
    std::string face;
    int weight, style, pointSize;
    bool operator<(const Key& o) const {
        if (face != o.face) return face < o.face;
        if (weight != o.weight) return weight < o.weight;
        if (style != o.style) return style < o.style;
        return pointSize < o.pointSize;
    }
};

class Cache {
public:
    ~Cache() {
        // Faces go before the system that made them.
        m_faces.clear();
        m_system.reset();
    }

    SizedFace* Get(const vqFont& font);
    long Advance(SizedFace* sized, char32_t ch);
    size_t OpenedFonts() const { return m_system ? m_system->OpenedFonts() : 0; }
    std::mutex& Mutex() { return m_mutex; }

private:
    std::mutex m_mutex;
    std::unique_ptr<FontSystem> m_system;
    std::map<Key, std::unique_ptr<SizedFace>> m_faces;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

// Rounds a 26.6 value up to whole pixels.
int CeilPixels(long long value) { return static_cast<int>((value + 63) >> 6); }

SizedFace* Cache::Get(const vqFont& font) {
    const vqFont& use = font.Ok() ? font : vqNORMAL_FONT;
    Key key{use.GetFaceName().ToUTF8(), use.GetWeight(), use.GetStyle(), use.GetPointSize()};
    if (key.pointSize < 1) key.pointSize = 1;
    auto found = m_faces.find(key);
    if (found != m_faces.end()) return found->second.get();
    std::unique_ptr<SizedFace> sized(new SizedFace);
    for (long& a : sized->ascii) a = -1;
    if (!m_system) m_system = MakeFontSystem();
    if (m_system)
        sized->face = m_system->Open(FontRequest{key.face, key.weight, key.style, key.pointSize});
    if (sized->face) {
        sized->metrics = sized->face->LineMetrics();
        sized->metrics.charWidth = CeilPixels(Advance(sized.get(), U'x'));
    } else {
        vqLogError(vqT("No usable font for '%s' at %d pt: text measures as empty."),
                   use.GetFaceName().c_str(), key.pointSize);
    }
    SizedFace* result = sized.get();
    m_faces[key] = std::move(sized);
    return result;
}

long Cache::Advance(SizedFace* sized, char32_t ch) {
    if (!sized->face) return 0;
    if (ch < 128 && sized->ascii[ch] >= 0) return sized->ascii[ch];
    if (ch >= 128) {
        auto found = sized->others.find(ch);
        if (found != sized->others.end()) return found->second;
    }
    long advance = sized->face->Advance(ch);
    if (ch < 128)
        sized->ascii[ch] = advance;
    else
        sized->others[ch] = advance;
    return advance;
}

// Decodes UTF-8 into code points; a malformed byte becomes U+FFFD.
void DecodeUTF8(const std::string& text, std::vector<char32_t>* out) {
    out->clear();
    size_t i = 0, n = text.size();
    while (i < n) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        char32_t cp;
        int extra;
        if (c < 0x80) {
            cp = c, extra = 0;
        } else if ((c & 0xE0) == 0xC0) {
            cp = c & 0x1F, extra = 1;
        } else if ((c & 0xF0) == 0xE0) {
            cp = c & 0x0F, extra = 2;
        } else if ((c & 0xF8) == 0xF0) {
            cp = c & 0x07, extra = 3;
        } else {
            out->push_back(0xFFFD);
            ++i;
            continue;
        }
        bool good = true;
        for (int k = 1; k <= extra; ++k) {
            if (i + k >= n || (static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                good = false;
                break;
            }
            cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
        }
        if (!good) {
            out->push_back(0xFFFD);
            ++i;
            continue;
        }
        out->push_back(cp);
        i += extra + 1;
    }
}

}  // namespace

Metrics GetMetrics(const vqFont& font) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.Mutex());
    return cache.Get(font)->metrics;
}

int MeasureWidth(const vqFont& font, const vqString& text, Metrics* metrics) {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.Mutex());
    SizedFace* sized = cache.Get(font);
    if (metrics) *metrics = sized->metrics;
    long long total = 0;
#ifdef VQ_UNICODE
    const std::string utf8 = text.ToUTF8();
#else
    const std::string& utf8 = text.str();
#endif
    // ASCII needs no decoding; anything else goes through UTF-8.
    bool ascii = true;
    for (unsigned char c : utf8)
        if (c >= 0x80) {
            ascii = false;
            break;
        }
    if (ascii) {
        for (unsigned char c : utf8) total += cache.Advance(sized, c);
    } else {
        std::vector<char32_t> points;
        DecodeUTF8(utf8, &points);
        for (char32_t cp : points) total += cache.Advance(sized, cp);
    }
    return CeilPixels(total);
}

void TextExtent(const vqFont& font, const vqString& text, int* width, int* height, int* descent,
                int* externalLeading) {
    Metrics m;
    int w = MeasureWidth(font, text, &m);
    if (width) *width = w;
    if (height) *height = m.ascent + m.descent;
    if (descent) *descent = m.descent;
    if (externalLeading) *externalLeading = m.leading;
}

size_t OpenedFontCount() {
    Cache& cache = TheCache();
    std::lock_guard<std::mutex> lock(cache.Mutex());
    return cache.OpenedFonts();
}

}  // namespace vqfont
