#include "font_cache.h"

#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

#include "vq/log.h"

namespace vqfont {
namespace {

const int kDpi = 96;

// One font file held in memory; faces made from it read no file afterwards.
struct FontFile {
    std::vector<unsigned char> bytes;
};

// One face at one size, with the advances measured so far.
struct SizedFace {
    FT_Face face = nullptr;
    Metrics metrics;
    FT_Pos ascii[128];  // 26.6 advances of ASCII characters, -1 until measured
    std::unordered_map<char32_t, FT_Pos> others;
    bool ok = false;

    ~SizedFace() {
        if (face) FT_Done_Face(face);
    }
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
        m_faces.clear();
        m_files.clear();
        if (m_library) FT_Done_FreeType(m_library);
        if (m_config) FcConfigDestroy(m_config);
    }

    SizedFace* Get(const vqFont& font);
    FT_Pos Advance(SizedFace* sized, char32_t ch);
    size_t OpenedFiles() const { return m_files.size(); }
    std::mutex& Mutex() { return m_mutex; }

private:
    bool Load(const Key& key, SizedFace* sized);
    std::shared_ptr<FontFile> ReadFile(const std::string& path);

    std::mutex m_mutex;
    FT_Library m_library = nullptr;
    bool m_libraryFailed = false;
    // An own configuration, released at exit; the implicit global one never is.
    FcConfig* m_config = nullptr;
    std::map<std::string, std::shared_ptr<FontFile>> m_files;
    std::map<Key, std::unique_ptr<SizedFace>> m_faces;
};

Cache& TheCache() {
    static Cache cache;
    return cache;
}

int FcWeightFor(int weight) {
    switch (weight) {
        case vqBOLD:
            return FC_WEIGHT_BOLD;
        case vqLIGHT:
            return FC_WEIGHT_LIGHT;
        default:
            return FC_WEIGHT_REGULAR;
    }
}

int FcSlantFor(int style) {
    switch (style) {
        case vqITALIC:
            return FC_SLANT_ITALIC;
        case vqSLANT:
            return FC_SLANT_OBLIQUE;
        default:
            return FC_SLANT_ROMAN;
    }
}

// Rounds a 26.6 value up to whole pixels.
int CeilPixels(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

std::shared_ptr<FontFile> Cache::ReadFile(const std::string& path) {
    auto found = m_files.find(path);
    if (found != m_files.end()) return found->second;
    std::shared_ptr<FontFile> file;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        file = std::make_shared<FontFile>();
        unsigned char block[65536];
        size_t n;
        while ((n = fread(block, 1, sizeof block, f)) > 0)
            file->bytes.insert(file->bytes.end(), block, block + n);
        fclose(f);
        m_files[path] = file;
    }
    return file;
}

bool Cache::Load(const Key& key, SizedFace* sized) {
    if (!m_library && !m_libraryFailed) m_libraryFailed = FT_Init_FreeType(&m_library) != 0;
    if (!m_library) return false;
    if (!m_config) m_config = FcInitLoadConfigAndFonts();
    if (!m_config) return false;

    // An empty face name asks for the default sans face; fontconfig substitutes it
    // for a face that is not installed, too.
    FcPattern* pattern = FcPatternCreate();
    const char* family = key.face.empty() ? "sans-serif" : key.face.c_str();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFor(key.weight));
    FcPatternAddInteger(pattern, FC_SLANT, FcSlantFor(key.style));
    FcConfigSubstitute(m_config, pattern, FcMatchPattern);
    FcDefaultSubstitute(pattern);
    FcResult result = FcResultNoMatch;
    FcPattern* match = FcFontMatch(m_config, pattern, &result);
    FcPatternDestroy(pattern);
    std::string path;
    int index = 0;
    if (match) {
        FcChar8* file = nullptr;
        if (FcPatternGetString(match, FC_FILE, 0, &file) == FcResultMatch && file)
            path = reinterpret_cast<const char*>(file);
        FcPatternGetInteger(match, FC_INDEX, 0, &index);
        FcPatternDestroy(match);
    }
    if (path.empty()) return false;

    std::shared_ptr<FontFile> file = ReadFile(path);
    if (!file || file->bytes.empty()) return false;
    if (FT_New_Memory_Face(m_library, file->bytes.data(), static_cast<FT_Long>(file->bytes.size()),
                           index, &sized->face) != 0) {
        sized->face = nullptr;
        return false;
    }
    if (FT_Set_Char_Size(sized->face, 0, static_cast<FT_F26Dot6>(key.pointSize) * 64, kDpi, kDpi) !=
        0)
        return false;
    const FT_Size_Metrics& m = sized->face->size->metrics;
    sized->metrics.ascent = CeilPixels(m.ascender);
    sized->metrics.descent = CeilPixels(-m.descender);
    int lineHeight = CeilPixels(m.height);
    int height = sized->metrics.ascent + sized->metrics.descent;
    sized->metrics.leading = lineHeight > height ? lineHeight - height : 0;
    sized->ok = true;
    sized->metrics.charWidth = CeilPixels(Advance(sized, U'x'));
    return true;
}

SizedFace* Cache::Get(const vqFont& font) {
    const vqFont& use = font.Ok() ? font : vqNORMAL_FONT;
    Key key{use.GetFaceName().ToUTF8(), use.GetWeight(), use.GetStyle(), use.GetPointSize()};
    if (key.pointSize < 1) key.pointSize = 1;
    auto found = m_faces.find(key);
    if (found != m_faces.end()) return found->second.get();
    std::unique_ptr<SizedFace> sized(new SizedFace);
    for (FT_Pos& a : sized->ascii) a = -1;
    if (!Load(key, sized.get())) {
        sized->ok = false;
        vqLogError(vqT("No usable font for '%s' at %d pt: text measures as empty."),
                   use.GetFaceName().c_str(), key.pointSize);
    }
    SizedFace* result = sized.get();
    m_faces[key] = std::move(sized);
    return result;
}

FT_Pos Cache::Advance(SizedFace* sized, char32_t ch) {
    if (!sized->ok) return 0;
    if (ch < 128 && sized->ascii[ch] >= 0) return sized->ascii[ch];
    if (ch >= 128) {
        auto found = sized->others.find(ch);
        if (found != sized->others.end()) return found->second;
    }
    FT_Pos advance = 0;
    FT_UInt glyph = FT_Get_Char_Index(sized->face, ch);
    // Unhinted advances: widths scale with the size, as a vector renderer lays text out.
    if (FT_Load_Glyph(sized->face, glyph, FT_LOAD_NO_HINTING) == 0)
        advance = sized->face->glyph->advance.x;
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
    FT_Pos total = 0;
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
    return cache.OpenedFiles();
}

}  // namespace vqfont
