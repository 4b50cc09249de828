// The SVG part of the showcase: one drawing that uses every call of the
// surface, and a PNG preview of it when rsvg-convert is installed.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "showcase.h"
#include "vq/memory_dc.h"
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

// The face the text is measured with, named so that viewers render it alike.
const vqChar* kSans = vqT("DejaVu Sans");

// A caption under a picture, in a small font.
void Caption(vqSVGFileDC& dc, const char* text, int x, int y) {
    dc.SetFont(vqFont(8, vqSWISS, vqNORMAL, vqNORMAL, false, kSans));
    dc.SetTextForeground(vqColour(60, 60, 60));
    dc.DrawText(vqString::FromUTF8(text), x, y);
}

// A colour gradient, red to blue across and dark to green down.
vqBitmap Gradient(int w, int h) {
    vqBitmap bmp(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            bmp.SetPixel(
                x, y, vqColour(255 * (w - 1 - x) / (w - 1), 255 * y / (h - 1), 255 * x / (w - 1)));
    return bmp;
}

// A 32 x 32 icon: an orange disc with a white ring on a light tile.
vqIcon Badge() {
    vqIcon icon(32, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 32; ++x) {
            double d = std::hypot(x - 15.5, y - 15.5);
            vqColour c = d < 9    ? vqColour(250, 140, 20)
                         : d < 12 ? vqColour(255, 255, 255)
                         : d < 15 ? vqColour(200, 60, 30)
                                  : vqColour(235, 240, 250);
            icon.SetPixel(x, y, c, 255);
        }
    return icon;
}

void DrawTextAndPictures(vqSVGFileDC& dc) {
    // Text takes its colour from the text foreground, but its opacity from the
    // style group: keep the brush opaque while writing text.
    dc.SetBrush(vqBrush(vqColour(255, 255, 255)));
    dc.SetPen(vqPen(vqColour(0, 0, 0), 1));

    // A title in the band.
    dc.SetFont(vqFont(16, vqSWISS, vqNORMAL, vqBOLD, false, kSans));
    dc.SetTextForeground(vqColour(40, 40, 90));
    dc.DrawText(vqT("vqSVGFileDC: shapes, arcs, text and pictures"), 24, 12);

    // Plain, styled, background and rotated text on the right.
    dc.SetFont(vqFont(12, vqSWISS, vqNORMAL, vqNORMAL, false, vqT("DejaVu Serif")));
    dc.SetTextForeground(vqColour(0, 0, 0));
    dc.DrawText(vqT("Plain text, 12 pt serif"), 440, 300);
    dc.SetFont(vqFont(11, vqSWISS, vqITALIC, vqBOLD, false, kSans));
    dc.SetTextForeground(vqColour(170, 30, 30));
    dc.DrawText(vqString::FromUTF8("Bold italic: \xc3\xa9t\xc3\xa9 & <b>"), 440, 325);
    dc.SetFont(vqFont(12, vqSWISS, vqNORMAL, vqNORMAL, false, kSans));
    dc.SetBackgroundMode(vqSOLID);
    dc.SetTextBackground(vqColour(255, 230, 120));
    dc.SetTextForeground(vqColour(20, 20, 120));
    dc.DrawText(vqT("Text on a background"), 440, 352);
    dc.SetTextBackground(vqColour(200, 235, 200));
    dc.DrawRotatedText(vqT("Rotated 20 degrees"), 450, 430, 20.0);
    dc.SetBackgroundMode(vqTRANSPARENT);
    dc.SetTextForeground(vqColour(120, 40, 140));
    dc.DrawRotatedText(vqT("Upwards"), 600, 470, 90.0);

    // Pies: two circular arcs and two elliptic ones (captions need an opaque brush too).
    dc.SetPen(vqPen(vqColour(30, 30, 30), 2));
    dc.SetBrush(vqBrush(vqColour(120, 200, 120)));
    dc.DrawArc(110, 530, 60, 480, 60, 530);  // a quarter, right to top
    dc.SetBrush(vqBrush(vqColour(250, 170, 80)));
    dc.DrawArc(170, 480, 220, 530, 170, 530);  // three quarters, top round to the right
    dc.SetBrush(vqBrush(vqColour(130, 160, 240)));
    dc.DrawEllipticArc(240, 485, 110, 80, 30, 150);
    dc.SetBrush(vqBrush(vqColour(230, 120, 200)));
    dc.DrawEllipticArc(240, 505, 110, 80, 190, 350);
    Caption(dc, "arcs and elliptic arcs", 20, 578);

    // A bitmap, an icon and a blit from a memory context.
    vqBitmap gradient = Gradient(64, 48);
    dc.DrawBitmap(gradient, 380, 492);
    Caption(dc, "bitmap", 380, 548);
    dc.DrawIcon(Badge(), 466, 500);
    Caption(dc, "icon", 466, 548);

    vqBitmap canvas(120, 72);
    vqMemoryDC memory(canvas);
    memory.SetBackground(vqBrush(vqColour(245, 245, 235)));
    memory.Clear();
    memory.SetPen(vqPen(vqColour(0, 0, 0), 1, vqTRANSPARENT));
    memory.SetBrush(vqBrush(vqColour(60, 120, 200)));
    memory.DrawRectangle(8, 8, 40, 28);
    memory.SetBrush(vqBrush(vqColour(230, 80, 60)));
    memory.DrawRectangle(30, 22, 40, 28);
    memory.DrawBitmap(Gradient(32, 24), 78, 10);
    memory.SetPen(vqPen(vqColour(20, 20, 20)));
    memory.SetBrush(vqBrush(vqColour(0, 0, 0), vqTRANSPARENT));
    memory.DrawRectangle(0, 0, 120, 72);
    for (int i = 0; i < 5; ++i) memory.DrawLine(4, 64 - 2 * i, 116, 40 + 6 * i);
    memory.SelectObject(vqNullBitmap);
    vqMemoryDC source;
    source.SelectObject(static_cast<const vqBitmap&>(canvas));
    dc.Blit(524, 492, 100, 60, &source, 10, 6);
    Caption(dc, "memory DC blit", 524, 556);
}

bool RunSvg(const std::string& outDir) {
    std::string path = outDir + "/showcase.svg";
    // The surface never overwrites a side file: clear the last run's, so that the
    // numbering starts again and no stale pictures pile up.
    for (int i = 0;; ++i) {
        std::string old = outDir + "/showcase_image" + std::to_string(i) + ".png";
        if (std::remove(old.c_str()) != 0) break;
    }
    {
        vqSVGFileDC dc(vqString::FromUTF8(path), 640, 610, 96);
        if (!dc.Ok()) {
            fprintf(stderr, "cannot write %s\n", path.c_str());
            return false;
        }
        DrawShapes(dc);
        DrawTextAndPictures(dc);
        showcase::Say("   drawing bounds: (%d, %d) to (%d, %d)", dc.MinX(), dc.MinY(), dc.MaxX(),
                      dc.MaxY());
    }
    showcase::Say("   SVG drawing:  %s", path.c_str());
    showcase::Show("showcase.svg", showcase::View::kDocument,
                   "the SVG as this browser draws it: every drawing call of vqSVGFileDC, "
                   "its bitmap, icon and blit in PNG side files beside it");
    if (system("command -v rsvg-convert >/dev/null 2>&1") == 0) {
        std::string png = outDir + "/showcase-svg-preview.png";
        std::string cmd = "rsvg-convert -b white -o '" + png + "' '" + path + "'";
        if (system(cmd.c_str()) != 0) {
            fprintf(stderr, "rsvg-convert failed on %s\n", path.c_str());
            return false;
        }
        showcase::Say("   PNG preview:  %s", png.c_str());
        showcase::Show("showcase-svg-preview.png", showcase::View::kPicture,
                       "the same SVG rendered to PNG by rsvg-convert");
    } else {
        showcase::Say("   (no PNG preview: rsvg-convert is not installed)");
    }
    return true;
}

showcase::Registrar reg(10, "SVG drawing surface (vectorpage)", "SVG drawing surface (vectorpage)",
                        RunSvg);

}  // namespace
