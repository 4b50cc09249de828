#include "vq/svgfiledc.h"

// Arcs are written as pies closed through the centre.
void vqSVGFileDC::DoDrawArc(int, int, int, int, int, int) {}
void vqSVGFileDC::DoDrawEllipticArc(int, int, int, int, double, double) {}
