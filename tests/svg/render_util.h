// Renders a finished SVG document with rsvg-convert and reads the pixels back
// through the toolkit's PNG handler, for tests that check what a viewer shows.
#ifndef SVG_RENDER_UTIL_H
#define SVG_RENDER_UTIL_H

#include <cstdio>
#include <cstdlib>
#include <string>

#include "svg_test_util.h"
#include "vq/pnghandler.h"

namespace svgtest {

// The rendered picture; scale maps viewBox units to rendered pixels.
struct Rendered {
    vqBitmap pixels;
    double scale = 0;

    // True when the pixel under viewBox point (x, y) is covered (not transparent).
    bool Covered(double x, double y) const {
        unsigned char alpha = 0;
        vqColour c;
        pixels.GetPixel(static_cast<int>(x * scale), static_cast<int>(y * scale), &c, &alpha);
        return alpha > 128;
    }
    vqColour Colour(double x, double y) const {
        vqColour c;
        pixels.GetPixel(static_cast<int>(x * scale), static_cast<int>(y * scale), &c);
        return c;
    }
};

// Renders the document whose viewBox is viewWidth wide; fails the test when it cannot.
inline Rendered Render(const std::string& svgPath, int viewWidth) {
    Rendered r;
    if (!kCanRender) {
        ADD_FAILURE() << kCannotRender;
        return r;
    }
    std::string png = svgPath + ".render.png";
    if (system(("rsvg-convert -o '" + png + "' '" + svgPath + "' 2>/dev/null").c_str()) != 0) {
        ADD_FAILURE() << "rsvg-convert could not render " << svgPath;
        return r;
    }
    vqImage::AddHandler(new vqPNGHandler);
    EXPECT_TRUE(r.pixels.LoadFile(V(png), vqBITMAP_TYPE_PNG));
    r.scale = r.pixels.GetWidth() / static_cast<double>(viewWidth);
    std::remove(png.c_str());
    return r;
}

}  // namespace svgtest

#endif
