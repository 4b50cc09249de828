// Fonts through fontconfig (finding a face) and FreeType (measuring it), each font
// file read once into memory.
#include <fontconfig/fontconfig.h>
#include <ft2build.h>
#include FT_FREETYPE_H

#include <cstdio>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "font_system.h"

namespace vqfont {
namespace {

const int kDpi = 96;

// One font file held in memory; faces made from it read no file afterwards.
struct FontFile {
    std::vector<unsigned char> bytes;
};

// Rounds a 26.6 value up to whole pixels.
int CeilPixels(FT_Pos value) { return static_cast<int>((value + 63) >> 6); }

class FreeTypeFace : public SystemFace {
public:
    // Keeps the file alive as long as the face reads from it.
    explicit FreeTypeFace(std::shared_ptr<FontFile> file) : m_file(std::move(file)) {}
    ~FreeTypeFace() override {
        if (m_face) FT_Done_Face(m_face);
    }
    FT_Face* FacePtr() { return &m_face; }
    FT_Face Face() const { return m_face; }

    Metrics LineMetrics() const override {
        Metrics metrics;
        const FT_Size_Metrics& m = m_face->size->metrics;
        metrics.ascent = CeilPixels(m.ascender);
        metrics.descent = CeilPixels(-m.descender);
        int lineHeight = CeilPixels(m.height);
        int height = metrics.ascent + metrics.descent;
        metrics.leading = lineHeight > height ? lineHeight - height : 0;
        return metrics;
    }

    long Advance(char32_t ch) override {
        FT_UInt glyph = FT_Get_Char_Index(m_face, ch);
        // Unhinted advances: widths scale with the size, as a vector renderer lays text out.
        if (FT_Load_Glyph(m_face, glyph, FT_LOAD_NO_HINTING) == 0) return m_face->glyph->advance.x;
        return 0;
    }

private:
    std::shared_ptr<FontFile> m_file;
    FT_Face m_face = nullptr;
};

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

class FreeTypeSystem : public FontSystem {
public:
    ~FreeTypeSystem() override {
        m_files.clear();
        if (m_library) FT_Done_FreeType(m_library);
        if (m_config) FcConfigDestroy(m_config);
    }

    std::unique_ptr<SystemFace> Open(const FontRequest& request) override;
    size_t OpenedFonts() const override { return m_files.size(); }

private:
    std::shared_ptr<FontFile> ReadFile(const std::string& path);

    FT_Library m_library = nullptr;
    bool m_libraryFailed = false;
    // An own configuration, released at exit; the implicit global one never is.
    FcConfig* m_config = nullptr;
    std::map<std::string, std::shared_ptr<FontFile>> m_files;
};

std::shared_ptr<FontFile> FreeTypeSystem::ReadFile(const std::string& path) {
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

std::unique_ptr<SystemFace> FreeTypeSystem::Open(const FontRequest& request) {
    if (!m_library && !m_libraryFailed) m_libraryFailed = FT_Init_FreeType(&m_library) != 0;
    if (!m_library) return nullptr;
    if (!m_config) m_config = FcInitLoadConfigAndFonts();
    if (!m_config) return nullptr;

    // An empty face name asks for the default sans face; fontconfig substitutes it
    // for a face that is not installed, too.
    FcPattern* pattern = FcPatternCreate();
    const char* family = request.face.empty() ? "sans-serif" : request.face.c_str();
    FcPatternAddString(pattern, FC_FAMILY, reinterpret_cast<const FcChar8*>(family));
    FcPatternAddInteger(pattern, FC_WEIGHT, FcWeightFor(request.weight));
    FcPatternAddInteger(pattern, FC_SLANT, FcSlantFor(request.style));
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
    if (path.empty()) return nullptr;

    std::shared_ptr<FontFile> file = ReadFile(path);
    if (!file || file->bytes.empty()) return nullptr;
    std::unique_ptr<FreeTypeFace> face(new FreeTypeFace(file));
    if (FT_New_Memory_Face(m_library, file->bytes.data(), static_cast<FT_Long>(file->bytes.size()),
                           index, face->FacePtr()) != 0) {
        *face->FacePtr() = nullptr;
        return nullptr;
    }
    if (FT_Set_Char_Size(face->Face(), 0, static_cast<FT_F26Dot6>(request.pointSize) * 64, kDpi,
                         kDpi) != 0)
        return nullptr;
    return face;
}

}  // namespace

std::unique_ptr<FontSystem> MakeFontSystem() {
    return std::unique_ptr<FontSystem>(new FreeTypeSystem);
}

}  // namespace vqfont
