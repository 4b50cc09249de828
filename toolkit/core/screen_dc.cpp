#include "vq/screen_dc.h"

#include "font_cache.h"

vqScreenDC::vqScreenDC() {}

vqScreenDC::~vqScreenDC() {}

int vqScreenDC::GetCharHeight() const {
    vqfont::Metrics m = vqfont::GetMetrics(m_font);
    return m.ascent + m.descent;
}

int vqScreenDC::GetCharWidth() const { return vqfont::GetMetrics(m_font).charWidth; }

size_t vqScreenDC::GetFontFilesRead() { return vqfont::OpenedFontCount(); }

void vqScreenDC::DoGetTextExtent(const vqString& string, int* width, int* height, int* descent,
                                 int* externalLeading, const vqFont* font) const {
    vqfont::TextExtent(font ? *font : m_font, string, width, height, descent, externalLeading);
}
