// Helpers shared by the source files of the SVG surface; not installed.
#ifndef VQ_SVG_PRIVATE_H
#define VQ_SVG_PRIVATE_H

#include <climits>

#include "vq/gdi.h"
#include "vq/string.h"

// The six hexadecimal digits of a colour, red then green then blue, without "#".
vqString SVGColourHex(vqColour colour);
// The fill declarations for a brush of that colour and style, ending in a line feed.
vqString SVGFillStyle(vqColour colour, int brushStyle);

// Adds two coordinates, saturating at the int range instead of overflowing.
inline int SVGAdd(long long a, long long b) {
    long long sum = a + b;
    return sum > INT_MAX ? INT_MAX : sum < INT_MIN ? INT_MIN : static_cast<int>(sum);
}

#endif
