// vqScreenDC: the device context of the screen, used here to measure text.
//
// Fonts are found through fontconfig from the face name, weight and style (an
// empty or unknown face name gives the default sans face) and measured with
// FreeType at 96 dpi. What is learnt about a font is kept for the life of the
// process, so measuring it again reads no file.
#ifndef VQ_SCREEN_DC_H
#define VQ_SCREEN_DC_H

#include "vq/dc.h"

class VQ_CORE_API vqScreenDC : public vqDC {
public:
    // Selects the stock normal font; no drawing reaches a screen here.
    vqScreenDC();
    ~vqScreenDC() override;

    // Height of a line of the current font (ascent plus descent) in pixels.
    int GetCharHeight() const override;
    // Advance of a lower-case "x" in the current font, in pixels.
    int GetCharWidth() const override;
    bool CanGetTextExtent() const override { return true; }
    int GetDepth() const override { return 24; }
    vqSize GetPPI() const override { return vqSize(96, 96); }

    // Number of font files read so far in this process (each one once).
    static size_t GetFontFilesRead();

protected:
    // Width (advances rounded up), height (ascent plus descent), descent and the
    // font's external leading, in pixels; font, when given, is used instead of the
    // current one. Text that cannot be decoded measures its replacement characters.
    void DoGetTextExtent(const vqString& string, int* width, int* height, int* descent,
                         int* externalLeading, const vqFont* font) const override;
};

#endif
