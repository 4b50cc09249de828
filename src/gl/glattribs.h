// The pixel-format request of the GL library: the default request and the
// translation of an attribute list into it.
#ifndef VQ_GL_GLATTRIBS_H
#define VQ_GL_GLATTRIBS_H

#include <vector>

#include "vq/platform/win32.h"

// The default request: RGBA, drawn to a window with OpenGL, double-buffered, 16
// colour bits, 16 depth bits, main plane; every other field 0.
PIXELFORMATDESCRIPTOR DefaultPixelFormatRequest();

// Applies a zero-terminated attribute list to a request. A null list leaves it as it
// is; a list starts from a colour-index, single-buffered request with 0 colour bits.
void ApplyAttributeList(PIXELFORMATDESCRIPTOR* request, const int* attribList);

// The entries of a palette that maps every pixel value of a format to its colour, by
// the format's red, green and blue bit fields (a channel without bits is 0); none for
// a format of more than 8 colour bits.
std::vector<PALETTEENTRY> DefaultPaletteEntries(const PIXELFORMATDESCRIPTOR& format);

#endif
