#include <cmath>

#include "svg_private.h"
#include "vq/svgfiledc.h"

// Arcs are written as pies: the arc, a line to the centre and back to the start.

void vqSVGFileDC::DoDrawArc(int x1, int y1, int x2, int y2, int xc, int yc) {
    if (!BeginElement(vqT("DoDrawArc"))) return;

    // Differences and squares in 64 bits: no int input overflows them.
    const long long dx1 = static_cast<long long>(x1) - xc, dy1 = static_cast<long long>(y1) - yc;
    const long long dx2 = static_cast<long long>(x2) - xc, dy2 = static_cast<long long>(y2) - yc;
    auto square = [](long long d) {
        unsigned long long m = static_cast<unsigned long long>(d < 0 ? -d : d);
        return static_cast<double>(m * m);
    };
    const double r1 = std::sqrt(square(dy1) + square(dx1));
    const double r2 = std::sqrt(square(dy2) + square(dx2));
    if (std::fabs(r2 - r1) > 3.0)
        writef(vqT("<!--- vqSVGFileDC::DoDrawArc Error in getting radii of circle --> \n"));

    // Angles grow counter-clockwise on the screen (y taken as centre minus point).
    double theta1 = std::atan2(static_cast<double>(-dy1), static_cast<double>(dx1));
    if (theta1 < 0) theta1 += kSVGTwoPi;
    double theta2 = std::atan2(static_cast<double>(-dy2), static_cast<double>(dx2));
    if (theta2 < 0) theta2 += kSVGTwoPi;
    if (theta2 < theta1) theta2 += kSVGTwoPi;
    const int large = std::fabs(theta2 - theta1) > kSVGPi ? 1 : 0;

    if (m_isOk)
        writef(vqT("<path d=\"M%d %d A%g %g 0.0 %d %d %d %d L%d %d z  \" /> \n"), x1, y1, r1, r2,
               large, 0, x2, y2, xc, yc);
}

void vqSVGFileDC::DoDrawEllipticArc(int x, int y, int width, int height, double startAngle,
                                    double endAngle) {
    // In radians, so that an angle too large to convert counts as not finite too.
    const double s = startAngle * kSVGPi * kSVGDegree;
    const double e = endAngle * kSVGPi * kSVGDegree;
    if (!BeginElement(vqT("DoDrawEllipticArc"), s, e)) return;

    const int rx = width / 2, ry = height / 2;
    const double xc = static_cast<double>(x) + rx, yc = static_cast<double>(y) + ry;
    const double xs = xc + rx * std::cos(s), ys = yc - ry * std::sin(s);
    const double xe = xc + rx * std::cos(e), ye = yc - ry * std::sin(e);

    // d is the screen angle (clockwise) from the start point to the end point.
    const double d = std::atan2(ye - yc, xe - xc) - std::atan2(ys - yc, xs - xc);
    int large;
    if (d > -kSVGPi && d <= kSVGPi) {
        large = d > 0 ? 1 : 0;
    } else {
        // The arc runs counter-clockwise on the screen (sweep flag 0): large when that
        // sweep, -d brought into [0, 2 pi), passes half a turn.
        double sweep = std::fmod(-d, kSVGTwoPi);
        if (sweep < 0) sweep += kSVGTwoPi;
        large = sweep > kSVGPi ? 1 : 0;
    }

    if (m_isOk)
        writef(vqT("<path d=\"M%d %d A%d %d 0.0 %d %d  %d %d L %d %d z  \" /> \n"), SVGTrunc(xs),
               SVGTrunc(ys), rx, ry, large, 0, SVGTrunc(xe), SVGTrunc(ye), SVGTrunc(xc),
               SVGTrunc(yc));
}
