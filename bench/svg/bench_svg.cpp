// CPU time of the SVG surface against a plain fprintf loop that writes the same
// bytes, in the same process, interleaved round by round. Three workloads: the
// mixed drawing, the same at ten times the size, and the mixed drawing with a
// 16 x 16 bitmap every 1000 elements. Each round runs both sides (alternating
// which goes first) and takes the ratio of their CPU times; the bench prints the
// minimum and the median ratio, checks that both wrote the same bytes, and
// reports how far each side raises the process's peak resident memory.
//
// What the plain loop knows in advance, gathered outside the timing: the height
// of each text (the surface measures it on the screen context every time) and the
// picture's PNG bytes (the surface encodes the bitmap every time).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "vq/pnghandler.h"
#include "vq/screen_dc.h"
#include "vq/svgfiledc.h"

#include "../bench_stats.h"

namespace {

using vqbench::Median;
using vqbench::Min;

const int kStyleEvery = 1000;   // iterations between pen and brush changes
const int kTextEvery = 10;      // iterations between texts
const int kBitmapEvery = 1000;  // elements between bitmaps (bitmap workload)
const char* kFace = "DejaVu Sans";
const int kPointSize = 10;

struct Workload {
    const char* name;
    int iterations;
    bool bitmaps;
    int rounds;
};

// Position and size used by iteration i.
struct Place {
    int x, y, w, h;
};

Place At(int i) { return {(i * 7) % 640, (i * 13) % 480, 5 + i % 50, 3 + i % 40}; }

vqColour PenColour(int i) {
    int s = i / kStyleEvery;
    return vqColour(s * 37 % 256, s * 91 % 256, s * 53 % 256);
}

vqColour BrushColour(int i) {
    int s = i / kStyleEvery + 7;
    return vqColour(s * 59 % 256, s * 17 % 256, s * 83 % 256);
}

int PenWidth(int i) { return 1 + i / kStyleEvery % 4; }

std::string Label(int i) { return "item " + std::to_string(i); }

vqFont TextFont() {
    return vqFont(kPointSize, vqSWISS, vqNORMAL, vqNORMAL, false, vqString::FromUTF8(kFace));
}

// The five corners of iteration i's polygon.
void Corners(const Place& p, vqPoint pts[5]) {
    pts[0] = vqPoint(p.x, p.y);
    pts[1] = vqPoint(p.x + p.w, p.y + 2);
    pts[2] = vqPoint(p.x + p.w - 3, p.y + p.h);
    pts[3] = vqPoint(p.x + p.w / 2, p.y + p.h + 4);
    pts[4] = vqPoint(p.x - 2, p.y + p.h / 2);
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

void RemoveSideFiles(const std::string& stem, int count) {
    for (int n = 0; n < count; ++n) remove(SideFile(stem, n).c_str());
}

double CpuSeconds() {
    timespec t;
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return t.tv_sec + t.tv_nsec * 1e-9;
}

// A line of /proc/self/status in KiB ("VmRSS:", "VmHWM:"), 0 when unknown.
double StatusKiB(const char* key) {
    double kib = 0;
    if (FILE* f = fopen("/proc/self/status", "r")) {
        char line[256];
        while (fgets(line, sizeof line, f))
            if (strncmp(line, key, strlen(key)) == 0) kib = atof(line + strlen(key));
        fclose(f);
    }
    return kib;
}

// Resets the peak resident size the kernel keeps for the process to the current
// size, and returns that size in KiB.
double ResetPeakMemory() {
    if (FILE* f = fopen("/proc/self/clear_refs", "w")) {
        fputs("5", f);
        fclose(f);
    }
    return StatusKiB("VmRSS:");
}

// How far the peak resident size rose above start (KiB) since the reset, in MiB.
double PeakGrowthMiB(double start) { return std::max(0.0, StatusKiB("VmHWM:") - start) / 1024; }

struct Run {
    double cpu = 0, peakMiB = 0;
    int bitmaps = 0;
};

Run RunSurface(const Workload& w, const std::string& path, const vqBitmap& picture) {
    Run run;
    const double resident = ResetPeakMemory();
    const double start = CpuSeconds();
    {
        vqSVGFileDC dc(vqString::FromUTF8(path), 640, 480);
        dc.SetFont(TextFont());
        long long elements = 0;
        auto counted = [&](const Place& p) {
            if (w.bitmaps && ++elements % kBitmapEvery == 0) {
                dc.DrawBitmap(picture, p.x, p.y);
                ++run.bitmaps;
            }
        };
        for (int i = 0; i < w.iterations; ++i) {
            if (i % kStyleEvery == 0) {
                dc.SetPen(vqPen(PenColour(i), PenWidth(i)));
                dc.SetBrush(vqBrush(BrushColour(i)));
            }
            const Place p = At(i);
            dc.DrawLine(p.x, p.y, p.x + p.w, p.y + p.h);
            counted(p);
            dc.DrawRectangle(p.x, p.y, 40, 25);
            counted(p);
            dc.DrawEllipse(p.x, p.y, p.w, p.h);
            counted(p);
            vqPoint pts[5];
            Corners(p, pts);
            dc.DrawPolygon(5, pts, 0, 0, vqODDEVEN_RULE);
            counted(p);
            if (i % kTextEvery == kTextEvery - 1) {
                dc.DrawText(vqString::FromUTF8(Label(i)), p.x, p.y);
                counted(p);
            }
        }
    }
    run.cpu = CpuSeconds() - start;
    run.peakMiB = PeakGrowthMiB(resident);
    return run;
}

// What the plain loop knows in advance.
struct Prepared {
    std::vector<int> textHeight;  // per text, in order
    std::string png;
};

// Writes the same document with fprintf (and fwrite for the PNG bytes) only. Its
// side files go to plainStem's names; the document refers to the surface's names.
Run RunPlain(const Workload& w, const std::string& path, const std::string& title,
             const std::string& plainStem, const std::string& surfaceName, const Prepared& prep) {
    Run run;
    const double resident = ResetPeakMemory();
    const double start = CpuSeconds();
    FILE* f = fopen(path.c_str(), "wb");
    if (!f) return run;
    // The same buffer size as the surface's stream.
    static char buffer[64 * 1024];
    setvbuf(f, buffer, _IOFBF, sizeof buffer);
    fputs("<?xml version=\"1.0\" standalone=\"no\"?>\n", f);
    fputs("<!DOCTYPE svg PUBLIC \"-//W3C//DTD SVG 20010904//EN\" \n", f);
    fputs("\"http://www.w3.org/TR/2001/REC-SVG-20010904/DTD/svg10.dtd\"> \n", f);
    fprintf(f,
            "<svg width=\"%.2gcm\" height=\"%.2gcm\" viewBox=\"0 0 %d %d \" "
            "xmlns=\"http://www.w3.org/2000/svg\" xmlns:xlink=\"http://www.w3.org/1999/xlink\"> \n",
            640 / 72.0 * 2.54, 480 / 72.0 * 2.54, 640, 480);
    fprintf(f, "<title>SVG Picture created as %s </title>\n", title.c_str());
    fputs("<desc>Picture generated by vqSVG v0100 </desc>\n", f);
    fputs("<g style=\"fill:black; stroke:black; stroke-width:1\">\n", f);
    long long elements = 0;
    auto counted = [&](const Place& p) {
        if (!w.bitmaps || ++elements % kBitmapEvery != 0) return;
        if (FILE* side = fopen(SideFile(plainStem, run.bitmaps).c_str(), "wb")) {
            fwrite(prep.png.data(), 1, prep.png.size(), side);
            fclose(side);
        }
        fprintf(f,
                " <image x=\"%d\" y=\"%d\" width=\"%dpx\" height=\"%dpx\"  xlink:href=\"%s\"> \n"
                "<title>Image from vqSVG</title>  </image>\n",
                p.x, p.y, 16, 16, SideFile(surfaceName, run.bitmaps).c_str());
        ++run.bitmaps;
    };
    for (int i = 0; i < w.iterations; ++i) {
        if (i % kStyleEvery == 0) {
            vqColour pen = PenColour(i), brush = BrushColour(i);
            fprintf(f,
                    "</g>\n<g style=\"fill:#%02X%02X%02X; fill-opacity:1.0; \n  "
                    "stroke:#%02X%02X%02X; stroke-linecap:round; stroke-linejoin:round; "
                    "stroke-opacity:1.0; stroke-opacity:1.0; stroke-width:%d\" \n   "
                    "transform=\"translate(%g %g) scale(%g %g)\">\n",
                    brush.Red(), brush.Green(), brush.Blue(), pen.Red(), pen.Green(), pen.Blue(),
                    PenWidth(i), 0.0, 0.0, 1.0, 1.0);
        }
        const Place p = At(i);
        fprintf(f, "<path d=\"M%d %d L%d %d\" /> \n", p.x, p.y, p.x + p.w, p.y + p.h);
        counted(p);
        fprintf(f, " <rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" rx=\"%g\"  /> \n", p.x, p.y,
                40, 25, 0.0);
        counted(p);
        fprintf(f, "<ellipse cx=\"%d\" cy=\"%d\" rx=\"%d\" ry=\"%d\"  /> \n", p.x + p.w / 2,
                p.y + p.h / 2, p.w / 2, p.h / 2);
        counted(p);
        vqPoint q[5];
        Corners(p, q);
        fprintf(f,
                "<polygon style=\"fill-rule:evenodd; \" \npoints=\"%d,%d\n%d,%d\n%d,%d\n%d,%d\n"
                "%d,%d\n\" /> \n",
                q[0].x, q[0].y, q[1].x, q[1].y, q[2].x, q[2].y, q[3].x, q[3].y, q[4].x, q[4].y);
        counted(p);
        if (i % kTextEvery == kTextEvery - 1) {
            const int y = p.y + prep.textHeight[i / kTextEvery];
            fprintf(f,
                    " <text x=\"%d\" y=\"%d\" style=\"font-family:%s; font-weight:normal; "
                    "font-style:normal; font-size:%dpt; fill:#000000; stroke:#000000; "
                    "stroke-width:0;\"  transform=\"rotate( %g %d %d )  \" >item %d</text> \n",
                    p.x, y, kFace, kPointSize, -0.0, p.x, y, i);
            counted(p);
        }
    }
    fputs("</g> \n</svg> \n", f);
    fclose(f);
    run.cpu = CpuSeconds() - start;
    run.peakMiB = PeakGrowthMiB(resident);
    return run;
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

// Runs one workload; false when the two sides wrote different bytes.
bool Measure(const Workload& w, const std::string& dir, const vqBitmap& picture,
             const Prepared& prep, double target) {
    const std::string surfacePath = dir + "/bench_surface.svg",
                      plainPath = dir + "/bench_plain.svg";
    const std::string surfaceStem = dir + "/bench_surface", plainStem = dir + "/bench_plain";
    std::vector<double> ratios, surfaceCpu, plainCpu;
    double surfacePeak = 0, plainPeak = 0;
    bool same = true;
    size_t bytes = 0;
    for (int round = 0; round < w.rounds; ++round) {
        Run s, p;
        // Alternate which side runs first, so neither always meets a warmer machine.
        if (round % 2 == 0) {
            s = RunSurface(w, surfacePath, picture);
            p = RunPlain(w, plainPath, "bench_surface.svg", plainStem, "bench_surface", prep);
        } else {
            p = RunPlain(w, plainPath, "bench_surface.svg", plainStem, "bench_surface", prep);
            s = RunSurface(w, surfacePath, picture);
        }
        if (round == 0) {
            const std::string doc = Slurp(surfacePath);
            bytes = doc.size();
            same = doc == Slurp(plainPath) && s.bitmaps == p.bitmaps;
            for (int n = 0; same && n < s.bitmaps; ++n)
                same = Slurp(SideFile(surfaceStem, n)) == prep.png &&
                       Slurp(SideFile(plainStem, n)) == prep.png;
        }
        // Every run starts from no files, so no run pays for truncating the last one.
        remove(surfacePath.c_str());
        remove(plainPath.c_str());
        RemoveSideFiles(surfaceStem, s.bitmaps);
        RemoveSideFiles(plainStem, p.bitmaps);
        ratios.push_back(s.cpu / p.cpu);
        surfaceCpu.push_back(s.cpu);
        plainCpu.push_back(p.cpu);
        surfacePeak = std::max(surfacePeak, s.peakMiB);
        plainPeak = std::max(plainPeak, p.peakMiB);
    }
    const long long elements = w.iterations * 4LL + w.iterations / kTextEvery;
    printf("svg: %s: %d iterations, %lld elements%s, %.1f MB of SVG\n", w.name, w.iterations,
           elements, w.bitmaps ? " plus a 16x16 bitmap every 1000" : "", bytes / 1e6);
    printf("svg:   surface/plain CPU over %d rounds: min %.3fx  median %.3fx  (target <= %.2fx)\n",
           w.rounds, Min(ratios), Median(ratios), target);
    printf("svg:   median CPU: surface %.3f s, plain %.3f s; %.0f ns per element for the surface\n",
           Median(surfaceCpu), Median(plainCpu), Median(surfaceCpu) * 1e9 / elements);
    printf(
        "svg:   peak memory growth during a run: surface %.2f MiB, plain %.2f MiB; same "
        "bytes: %s\n",
        surfacePeak, plainPeak, same ? "yes" : "NO");
    return same;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string dir = argc > 1 ? argv[1] : "/tmp";
    // A second argument scales every round count (never below 5), a third the
    // iteration counts (for a profiler: 0.05).
    const double roundScale = argc > 2 ? atof(argv[2]) : 1.0;
    const double sizeScale = argc > 3 ? atof(argv[3]) : 1.0;
    vqImage::AddHandler(new vqPNGHandler);
    const vqBitmap picture = Picture();

    const Workload workloads[] = {{"mixed", 200000, false, 9},
                                  {"mixed x10", 2000000, false, 5},
                                  {"mixed + bitmaps", 200000, true, 9}};
    const double targets[] = {1.15, 1.15, 1.3};
    int most = 0;
    for (const Workload& w : workloads) most = std::max(most, w.iterations);

    Prepared prep;
    {
        vqScreenDC screen;
        screen.SetFont(TextFont());
        for (int i = kTextEvery - 1; i < most; i += kTextEvery) {
            int width = 0, height = 0;
            screen.GetTextExtent(vqString::FromUTF8(Label(i)), &width, &height);
            prep.textHeight.push_back(height);
        }
        const std::string png = dir + "/bench_picture.png";
        picture.SaveFile(vqString::FromUTF8(png), vqBITMAP_TYPE_PNG);
        prep.png = Slurp(png);
        remove(png.c_str());
    }
    if (prep.png.empty()) {
        printf("svg: cannot write into %s\n", dir.c_str());
        return 1;
    }

    bool same = true;
    for (size_t k = 0; k < sizeof workloads / sizeof workloads[0]; ++k) {
        Workload w = workloads[k];
        w.rounds = std::max(5, static_cast<int>(w.rounds * roundScale + 0.5));
        w.iterations = std::max(kStyleEvery, static_cast<int>(w.iterations * sizeScale));
        same = Measure(w, dir, picture, prep, targets[k]) && same;
    }
    return same ? 0 : 1;
}
