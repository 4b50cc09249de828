// The SVG part of the showcase: one drawing that uses every call of the
// surface, and a PNG preview of it when rsvg-convert is installed.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "showcase.h"
#include "vq/svgfiledc.h"

namespace {

void DrawShapes(vqSVGFileDC& dc) {
    // Title band.
    dc.SetPen(vqPen(vqColour(40, 40, 90), 1));
    dc.SetBrush(vqBrush(vqColour(225, 230, 245)));
    dc.DrawRoundedRectangle(10, 10, 620, 40, 8.5);

    // Lines with each cap, and a dotted pen (drawn solid, with a comment).
    const int caps[] = {vqCAP_ROUND, vqCAP_PROJECTING, vqCAP_BUTT};
    for (int i = 0; i < 3; ++i) {
        vqPen pen(vqColour(200, 60, 40), 9);
        pen.SetCap(caps[i]);
        dc.SetPen(pen);
        dc.DrawLine(40, 80 + 25 * i, 200, 80 + 25 * i);
    }
    dc.SetPen(vqPen(vqColour(90, 90, 90), 2, vqDOT));
    dc.DrawLine(40, 160, 200, 160);

    // A polyline with mitred and bevelled joins.
    vqPoint zigzag[] = {vqPoint(0, 40), vqPoint(30, 0), vqPoint(60, 40), vqPoint(90, 0),
                        vqPoint(120, 40)};
    vqPen join(vqColour(30, 120, 60), 6);
    join.SetJoin(vqJOIN_MITER);
    dc.SetPen(join);
    dc.DrawLines(5, zigzag, 240, 70);
    join.SetJoin(vqJOIN_BEVEL);
    dc.SetPen(join);
    dc.DrawLines(5, zigzag, 240, 125);

    // Points of growing pen width.
    for (int i = 1; i <= 6; ++i) {
        dc.SetPen(vqPen(vqColour(20, 20, 160), 2 * i));
        dc.DrawPoint(400 + 30 * i, 90);
    }
    dc.SetPen(vqPen(vqColour(0, 140, 0), 3));
    dc.DrawCheckMark(420, 120, 40, 40);
    dc.DrawCheckMark(480, 120, 40, 40);

    // Filled shapes: rectangle, rounded rectangle, ellipse, transparent fill.
    dc.SetPen(vqPen(vqColour(0, 0, 0), 2));
    dc.SetBrush(vqBrush(vqColour(250, 200, 60)));
    dc.DrawRectangle(40, 200, 120, 80);
    dc.SetBrush(vqBrush(vqColour(120, 180, 240)));
    dc.DrawRoundedRectangle(180, 200, 120, 80, 20);
    dc.SetBrush(vqBrush(vqColour(240, 120, 160)));
    dc.DrawEllipse(320, 200, 140, 80);
    dc.SetBrush(vqBrush(vqColour(0, 0, 0), vqTRANSPARENT));
    dc.DrawEllipse(480, 200, 80, 80);

    // A star twice: even-odd leaves the centre empty, winding fills it.
    vqPoint star[5];
    for (int i = 0; i < 5; ++i) {
        double a = -M_PI / 2 + i * 4 * M_PI / 5;
        star[i] = vqPoint(static_cast<int>(60 * cos(a)), static_cast<int>(60 * sin(a)));
    }
    dc.SetBrush(vqBrush(vqColour(160, 90, 200)));
    dc.DrawPolygon(5, star, 110, 370, vqODDEVEN_RULE);
    dc.DrawPolygon(5, star, 250, 370, vqWINDING_RULE);

    // The same rectangle under a user scale and a moved origin.
    dc.SetBrush(vqBrush(vqColour(90, 200, 170)));
    dc.SetDeviceOrigin(340, 320);
    dc.SetUserScale(2.0, 1.5);
    dc.DrawRectangle(0, 0, 40, 40);
    dc.SetUserScale(1.0, 1.0);
    dc.SetDeviceOrigin(0, 0);
    dc.SetPen(vqPen(vqColour(60, 60, 60), 1));
    dc.SetBrush(vqBrush(vqColour(0, 0, 0), vqTRANSPARENT));
    dc.DrawRectangle(340, 320, 40, 40);
}

bool RunSvg(const std::string& outDir) {
    std::string path = outDir + "/showcase.svg";
    {
        vqSVGFileDC dc(vqString::FromUTF8(path), 640, 480, 96);
        if (!dc.Ok()) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
        DrawShapes(dc);
        printf("   drawing bounds: (%d, %d) to (%d, %d)\n", dc.MinX(), dc.MinY(), dc.MaxX(),
               dc.MaxY());
    }
    printf("   SVG drawing:  %s\n", path.c_str());
    if (system("command -v rsvg-convert >/dev/null 2>&1") == 0) {
        std::string png = outDir + "/showcase-svg-preview.png";
        std::string cmd = "rsvg-convert -b white -o '" + png + "' '" + path + "'";
        if (system(cmd.c_str()) != 0) {
            fprintf(stderr, "rsvg-convert failed on %s\n", path.c_str());
            return false;
        }
        printf("   PNG preview:  %s\n", png.c_str());
    } else {
        printf("   (no PNG preview: rsvg-convert is not installed)\n");
    }
    return true;
}

showcase::Registrar reg(10, "SVG drawing surface (vectorpage)", RunSvg);

}  // namespace
