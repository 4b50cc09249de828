// What the font cache needs from the system: faces found by name, weight, style and
// size, with their line metrics and the advance of each character. One backend per
// system (freetype_font_system.cpp, gdi_font_system.cpp; CMake builds the one that
// fits); font_cache.cpp keeps what they measure. Not installed.
#ifndef VQ_TOOLKIT_FONT_SYSTEM_H
#define VQ_TOOLKIT_FONT_SYSTEM_H

#include <memory>
#include <string>

#include "font_cache.h"

namespace vqfont {

// The font asked for: face name as UTF-8 (empty for the default sans face), the
// toolkit's weight and style, and a size of at least one point.
struct FontRequest {
    std::string face;
    int weight, style, pointSize;
};

// One face at one size, at 96 dpi.
class SystemFace {
public:
    virtual ~SystemFace() {}
    // Ascent, descent and leading in whole pixels (charWidth is left to the cache).
    virtual Metrics LineMetrics() const = 0;
    // The character's advance in 1/64 pixels; 0 for a character the face cannot draw
    // and has no replacement glyph for.
    virtual long Advance(char32_t ch) = 0;
};

// The system's fonts; the cache owns it and releases every face before it.
class FontSystem {
public:
    virtual ~FontSystem() {}
    // The installed face closest to the request (the default face for a name that is
    // not installed); null when no font can be used at all.
    virtual std::unique_ptr<SystemFace> Open(const FontRequest& request) = 0;
    // Font files (or system fonts) opened so far: each one costs a file read.
    virtual size_t OpenedFonts() const = 0;
};

// The backend this build uses.
std::unique_ptr<FontSystem> MakeFontSystem();

}  // namespace vqfont

#endif
