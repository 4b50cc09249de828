// Throughput of the SVG surface against a plain snprintf + fwrite loop that
// writes the same bytes, in the same run. Prints elements per second and the ratio.
// The mix holds text (measured on the screen context by the surface; measured
// once beforehand for the plain loop) and bitmaps (encoded to PNG by the surface
// on every call; written from bytes encoded once by the plain loop).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "vq/screen_dc.h"
#include "vq/pnghandler.h"
#include "vq/svgfiledc.h"

namespace {

const int kElements = 200000;
const int kStyleEvery = 1000;
const int kTextEvery = 10;
const int kBitmapEvery = 1000;
const char* kFace = "DejaVu Sans";
const int kPointSize = 10;

enum { kLine, kRectangle, kEllipse, kPolygon, kText, kBitmap };

// The element kind, coordinates and style of element i, shared by both writers.
struct Element {
    int kind, x, y, w, h;
};

Element Make(int i) {
    int kind = i % kTextEvery == kTextEvery - 1       ? kText
               : i % kBitmapEvery == kBitmapEvery / 2 ? kBitmap
                                                      : i % 4;
    return {kind, (i * 7) % 640, (i * 13) % 480, 5 + i % 50, 3 + i % 40};
}

std::string Label(int i) { return "Item " + std::to_string(i); }

vqFont TextFont() {
    return vqFont(kPointSize, vqSWISS, vqNORMAL, vqNORMAL, false, vqString::FromUTF8(kFace));
}

// The 16 x 16 picture every bitmap element draws.
vqBitmap Picture() {
    vqBitmap bmp(16, 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) bmp.SetPixel(x, y, vqColour(x * 16, y * 16, 128));
    return bmp;
}

std::string SideFile(const std::string& stem, int n) {
    return stem + "_image" + std::to_string(n) + ".png";
}

// Removes the side files of a run, so the next one numbers from 0 again.
void RemoveSideFiles(const std::string& stem) {
    for (int n = 0; n <= kElements / kBitmapEvery; ++n) remove(SideFile(stem, n).c_str());
}

vqColour StyleColour(int i) {
    int s = i / kStyleEvery;
    return vqColour(s * 37 % 256, s * 91 % 256, s * 53 % 256);
}

double Seconds(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

double RunSurface(const std::string& path, const vqBitmap& picture) {
    auto start = std::chrono::steady_clock::now();
    {
        vqSVGFileDC dc(vqString::FromUTF8(path), 640, 480);
        dc.SetFont(TextFont());
        for (int i = 0; i < kElements; ++i) {
            if (i % kStyleEvery == 0) {
                dc.SetPen(vqPen(StyleColour(i), 1 + i / kStyleEvery % 4));
                dc.SetBrush(vqBrush(StyleColour(i + 500)));
            }
            Element e = Make(i);
            switch (e.kind) {
                case kLine:
                    dc.DrawLine(e.x, e.y, e.x + e.w, e.y + e.h);
                    break;
                case kRectangle:
                    dc.DrawRectangle(e.x, e.y, e.w, e.h);
                    break;
                case kEllipse:
                    dc.DrawEllipse(e.x, e.y, e.w, e.h);
                    break;
                case kText:
                    dc.DrawText(vqString::FromUTF8(Label(i)), e.x, e.y);
                    break;
                case kBitmap:
                    dc.DrawBitmap(picture, e.x, e.y);
                    break;
                default: {
                    vqPoint pts[] = {vqPoint(e.x, e.y), vqPoint(e.x + e.w, e.y),
                                     vqPoint(e.x + e.w / 2, e.y + e.h)};
                    dc.DrawPolygon(3, pts, 0, 0, vqODDEVEN_RULE);
                }
            }
        }
    }
    return Seconds(start);
}

// What the plain loop knows in advance: each text's measured height, and the
// picture's PNG bytes.
struct Prepared {
    std::vector<int> textHeight;
    std::string png;
};

// Writes the same document (titled with the surface's file name, referring to the
// surface's side-file names) with snprintf and fwrite only; the side files go to
// plainStem's names.
double RunPlain(const std::string& path, const std::string& name, const std::string& plainStem,
                const std::string& surfaceStem, const Prepared& prep) {
    auto start = std::chrono::steady_clock::now();
    const std::string surfaceName = surfaceStem.substr(surfaceStem.rfind('/') + 1);
    int images = 0;
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return 0;
    char buf[512];
    auto put = [&](int n) { fwrite(buf, 1, n, f); };
    auto text = [&](const char* s) { fwrite(s, 1, strlen(s), f); };
    text("<?xml version=\"1.0\" standalone=\"no\"?>\n");
    text("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 20010904//EN\" \n");
    text("\"http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd\"> \n");
    put(snprintf(buf, sizeof buf,
                 "<svg width=\"%.2gcm\" height=\"%.2gcm\" viewBox=\"0 0 %d %d \" "
                 "xmlns=\"http://www.w3.org/2000/svg\" "
                 "xmlns:xlink=\"http://www.w3.org/1999/xlink\"> \n",
                 640 / 72.0 * 2.54, 480 / 72.0 * 2.54, 640, 480));
    put(snprintf(buf, sizeof buf, "<title>SVG Picture created as %s </title>\n", name.c_str()));
    text("<desc>Picture generated by vqSVG v0100 </desc>\n");
    text("<g style=\"fill:black; stroke:black; stroke-width:1\">\n");
    for (int i = 0; i < kElements; ++i) {
        if (i % kStyleEvery == 0) {
            vqColour p = StyleColour(i), b = StyleColour(i + 500);
            put(snprintf(buf, sizeof buf,
                         "</g>\n<g style=\"fill:#%02X%02X%02X; fill-opacity:1.0; \n  "
                         "stroke:#%02X%02X%02X; stroke-linecap:round; stroke-linejoin:round; "
                         "stroke-opacity:1.0; stroke-opacity:1.0; stroke-width:%d\" \n   "
                         "transform=\"translate(%g %g) scale(%g %g)\">\n",
                         b.Red(), b.Green(), b.Blue(), p.Red(), p.Green(), p.Blue(),
                         1 + i / kStyleEvery % 4, 0.0, 0.0, 1.0, 1.0));
        }
        Element e = Make(i);
        switch (e.kind) {
            case kLine:
                put(snprintf(buf, sizeof buf, "<path d=\"M%d %d L%d %d\" /> \n", e.x, e.y,
                             e.x + e.w, e.y + e.h));
                break;
            case kText: {
                int y = e.y + prep.textHeight[i / kTextEvery];
                put(snprintf(buf, sizeof buf,
                             " <text x=\"%d\" y=\"%d\" style=\"font-family:%s; "
                             "font-weight:normal; font-style:normal; font-size:%dpt; "
                             "fill:#000000; stroke:#000000; stroke-width:0;\"  "
                             "transform=\"rotate( %g %d %d )  \" >Item %d</text> \n",
                             e.x, y, kFace, kPointSize, -0.0, e.x, y, i));
                break;
            }
            case kBitmap: {
                FILE* side = fopen(SideFile(plainStem, images).c_str(), "wb");
                if (side) {
                    fwrite(prep.png.data(), 1, prep.png.size(), side);
                    fclose(side);
                }
                put(snprintf(buf, sizeof buf,
                             " <image x=\"%d\" y=\"%d\" width=\"%dpx\" height=\"%dpx\"  "
                             "xlink:href=\"%s\"> \n<title>Image from vqSVG</title>  </image>\n",
                             e.x, e.y, 16, 16, SideFile(surfaceName, images).c_str()));
                ++images;
                break;
            }
            case kRectangle:
                put(snprintf(buf, sizeof buf,
                             " <rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" rx=\"%g\"  /> \n",
                             e.x, e.y, e.w, e.h, 0.0));
                break;
            case kEllipse:
                put(snprintf(buf, sizeof buf,
                             "<ellipse cx=\"%d\" cy=\"%d\" rx=\"%d\" ry=\"%d\"  /> \n",
                             e.x + e.w / 2, e.y + e.h / 2, e.w / 2, e.h / 2));
                break;
            default:
                put(snprintf(buf, sizeof buf,
                             "<polygon style=\"fill-rule:evenodd; \" "
                             "\npoints=\"%d,%d\n%d,%d\n%d,%d\n\" /> \n",
                             e.x, e.y, e.x + e.w, e.y, e.x + e.w / 2, e.y + e.h));
        }
    }
    text("</g> \n</svg> \n");
    fclose(f);
    return Seconds(start);
}

std::string Slurp(const std::string& path) {
    std::string out;
    if (FILE* f = fopen(path.c_str(), "rb")) {
        char buf[65536];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
        fclose(f);
    }
    return out;
}

}  // namespace

int main(int argc, char** argv) {
    std::string dir = argc > 1 ? argv[1] : "/tmp";
    std::string a = dir + "/bench_surface.svg", b = dir + "/bench_plain.svg";
    std::string surfaceStem = dir + "/bench_surface", plainStem = dir + "/bench_plain";
    vqImage::AddHandler(new vqPNGHandler);
    const vqBitmap picture = Picture();

    // The plain loop's advance knowledge, gathered outside the timing.
    Prepared prep;
    {
        vqScreenDC screen;
        screen.SetFont(TextFont());
        for (int i = kTextEvery - 1; i < kElements; i += kTextEvery) {
            int w = 0, h = 0;
            screen.GetTextExtent(vqString::FromUTF8(Label(i)), &w, &h);
            prep.textHeight.push_back(h);
        }
        std::string png = dir + "/bench_picture.png";
        picture.SaveFile(vqString::FromUTF8(png), vqBITMAP_TYPE_PNG);
        prep.png = Slurp(png);
        remove(png.c_str());
    }

    double surface = 1e9, plain = 1e9;
    // Best of five, alternating, so both see the same machine state.
    for (int round = 0; round < 5; ++round) {
        RemoveSideFiles(surfaceStem);
        surface = std::min(surface, RunSurface(a, picture));
        RemoveSideFiles(plainStem);
        plain =
            std::min(plain, RunPlain(b, a.substr(a.rfind('/') + 1), plainStem, surfaceStem, prep));
    }
    const int lastImage = kElements / kBitmapEvery - 1;
    bool same = Slurp(a) == Slurp(b) && !prep.png.empty() &&
                Slurp(SideFile(surfaceStem, 0)) == prep.png &&
                Slurp(SideFile(surfaceStem, lastImage)) == Slurp(SideFile(plainStem, lastImage));

    // What measuring the texts costs the surface on its own.
    double measuring = 0;
    {
        std::string m = dir + "/bench_measure.svg";
        vqSVGFileDC dc(vqString::FromUTF8(m), 640, 480);
        dc.SetFont(TextFont());
        auto start = std::chrono::steady_clock::now();
        int sink = 0;
        for (int i = kTextEvery - 1; i < kElements; i += kTextEvery) {
            int w = 0, h = 0;
            dc.GetTextExtent(vqString::FromUTF8(Label(i)), &w, &h);
            sink += w;
        }
        measuring = Seconds(start);
        remove(m.c_str());
        if (sink == 0) printf("svg: (no glyph had a width)\n");
    }

    printf("svg: %d elements, style change every %d, text every %d, a 16x16 bitmap every %d\n",
           kElements, kStyleEvery, kTextEvery, kBitmapEvery);
    printf("svg: surface     %10.0f elements/s\n", kElements / surface);
    printf("svg: plain loop  %10.0f elements/s\n", kElements / plain);
    printf("svg: same bytes (document and side files): %s\n", same ? "yes" : "NO");
    printf("svg: text measuring %.2f us per text, %.0f%% of the surface's time\n",
           measuring * 1e6 / (kElements / kTextEvery), 100.0 * measuring / surface);
    printf("svg: ratio surface/plain time = %.2fx (target <= 2x)\n", surface / plain);
    if (same) {
        remove(a.c_str());
        remove(b.c_str());
        RemoveSideFiles(surfaceStem);
        RemoveSideFiles(plainStem);
    }
    return same ? 0 : 1;
}
