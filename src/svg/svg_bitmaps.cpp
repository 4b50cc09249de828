#include "vq/svgfiledc.h"

void vqSVGFileDC::DoDrawIcon(const vqIcon&, int, int) {}
void vqSVGFileDC::DoDrawBitmap(const vqBitmap&, int, int, bool) {}
bool vqSVGFileDC::DoBlit(int, int, int, int, vqDC*, int, int, int, bool, int, int) { return false; }
