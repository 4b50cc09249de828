#include "vq/svgfiledc.h"

void vqSVGFileDC::DoDrawText(const vqString&, int, int) {}
void vqSVGFileDC::DoDrawRotatedText(const vqString&, int, int, double) {}
void vqSVGFileDC::DoGetTextExtent(const vqString&, int* x, int* y, int* descent,
                                  int* externalLeading, const vqFont*) const {
    if (x) *x = 0;
    if (y) *y = 0;
    if (descent) *descent = 0;
    if (externalLeading) *externalLeading = 0;
}
int vqSVGFileDC::GetCharHeight() const { return 0; }
int vqSVGFileDC::GetCharWidth() const { return 0; }
