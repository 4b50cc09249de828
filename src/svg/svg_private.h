// Helpers shared by the source files of the SVG surface; not installed.
#ifndef VQ_SVG_PRIVATE_H
#define VQ_SVG_PRIVATE_H

#include <climits>
#include <cmath>
#include <string>

#include "vq/dc.h"
#include "vq/string.h"

// The six hexadecimal digits of a colour, red then green then blue, without "#".
vqString SVGColourHex(vqColour colour);
// The fill declarations for a brush of that colour and style, ending in a line feed.
vqString SVGFillStyle(vqColour colour, int brushStyle);

// What the file system needs of the surface; one backend per system
// (posix_svg_files.cpp, win32_svg_files.cpp).
// Removes a file the surface created, unless something else has taken its name
// meanwhile: only a regular file goes, never a link, directory or device. The name is
// UTF-8; a failure is ignored.
void SVGRemoveIfRegular(const std::string& path);
// The name as the file system keeps it: unchanged on POSIX; on Windows, whose names
// are UTF-16, with each byte that is not UTF-8 (8-bit builds) replaced by U+FFFD.
vqString SVGStoredName(const vqString& name);

// Adds two coordinates, saturating at the int range instead of overflowing.
inline int SVGAdd(long long a, long long b) { return vqDCBase::ClampToInt(a + b); }

// Truncates toward zero like an int conversion, saturating at the int range (NaN gives 0).
inline int SVGTrunc(double value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483647.0) return INT_MAX;
    if (value <= -2147483648.0) return INT_MIN;
    return static_cast<int>(value);
}

// The most pixels a blit copies into a side file: 2^26 (8192 x 8192, 256 MiB of RGBA).
const long long kSVGMaxBlitPixels = 1LL << 26;

// Angles in degrees become radians as angle * kSVGPi * kSVGDegree (1/180).
const double kSVGPi = 3.141592653589793;
const double kSVGTwoPi = 6.283185307179586;
const double kSVGDegree = 0.005555555555555556;

#endif
