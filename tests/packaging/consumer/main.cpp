// Draws a small SVG through the installed library and checks the result.
#include <cstdio>
#include <cstring>

#include "vq/svgfiledc.h"

int main(int argc, char** argv) {
    if (argc < 2) return 2;
    {
        vqSVGFileDC dc(vqString::FromUTF8(argv[1]), 100, 50);
        if (!dc.Ok()) return 1;
        dc.SetBrush(vqBrush(vqColour(255, 0, 0)));
        dc.DrawRectangle(10, 10, 30, 20);
    }
    FILE* f = fopen(argv[1], "rb");
    if (!f) return 1;
    char buf[4096];
    size_t n = fread(buf, 1, sizeof buf - 1, f);
    fclose(f);
    buf[n] = 0;
    bool ok = strstr(buf, "fill:#FF0000;") && strstr(buf, "<rect x=\"10\" y=\"10\"") &&
              strstr(buf, "</svg>");
    printf("%s: %s\n", argv[1], ok ? "ok" : "unexpected content");
    return ok ? 0 : 1;
}
