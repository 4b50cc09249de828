// Text measuring shared by the screen and memory device contexts: fonts come from the
// system's backend (font_system.h) at 96 dpi, and everything learnt about a font is
// kept, so measuring again costs no file access.
#ifndef VQ_TOOLKIT_FONT_CACHE_H
#define VQ_TOOLKIT_FONT_CACHE_H

#include "vq/gdi.h"

namespace vqfont {

// Metrics of one font at the screen resolution, in pixels.
struct Metrics {
    int ascent = 0;     // above the baseline
    int descent = 0;    // below the baseline
    int leading = 0;    // extra space between lines
    int charWidth = 0;  // advance of "x"
};

// The font's metrics; zeros when no font could be found (logged once per font).
Metrics GetMetrics(const vqFont& font);

// Width of the text's advances in pixels (rounded up), with the font's metrics.
int MeasureWidth(const vqFont& font, const vqString& text, Metrics* metrics);

// Fills the toolkit's text extent outputs (each may be null) for text in font.
void TextExtent(const vqFont& font, const vqString& text, int* width, int* height, int* descent,
                int* externalLeading);

// Number of fonts opened so far (each one costs a file read); for tests of the cache.
size_t OpenedFontCount();

}  // namespace vqfont

#endif
