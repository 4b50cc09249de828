// The picture part of the showcase: writes a resource file and two PNG files,
// loads a panel with two static pictures from it and prints what was created.
#include <cmath>
#include <cstdio>
#include <string>

#include "showcase.h"
#include "vq/image.h"
#include "vq/memory_dc.h"
#include "vq/panel.h"
#include "vq/picturehandler.h"
#include "vq/pnghandler.h"
#include "vq/static_picture.h"

namespace {

// A sun: a yellow disc with an orange rim on a sky-blue gradient.
vqBitmap DrawSun(int size) {
    vqBitmap bitmap(size, size, 32);
    const double c = (size - 1) / 2.0;
    for (int y = 0; y < size; ++y) {
        for (int x = 0; x < size; ++x) {
            double r = std::hypot(x - c, y - c) / c;
            vqColour colour(static_cast<unsigned char>(90 + 100 * y / size),
                            static_cast<unsigned char>(160 + 60 * y / size), 240);
            if (r < 0.55)
                colour = vqColour(255, 220, 40);
            else if (r < 0.65)
                colour = vqColour(240, 140, 20);
            bitmap.SetPixel(x, y, colour);
        }
    }
    return bitmap;
}

// Diagonal stripes in two greens, with a transparent border.
vqBitmap DrawStripes(int width, int height) {
    vqBitmap bitmap(width, height, 32);
    bitmap.SetHasAlpha(true);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            bool border = x < 2 || y < 2 || x >= width - 2 || y >= height - 2;
            bool dark = ((x + y) / 6) % 2 == 0;
            bitmap.SetPixel(x, y, dark ? vqColour(30, 110, 50) : vqColour(120, 200, 120),
                            border ? 0 : 255);
        }
    }
    return bitmap;
}

const char* kResource =
    "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
    "<resource>\n"
    "  <object class=\"vqPanel\" name=\"picture_panel\">\n"
    "    <size>320,200</size>\n"
    "    <style>vqTAB_TRAVERSAL|vqCLIP_CHILDREN</style>\n"
    "    <bg>#F0F0F0</bg>\n"
    "    <object class=\"vqStaticPicture\" name=\"sun\">\n"
    "      <bitmap>picture-sun.png</bitmap>\n"
    "      <size>96,96</size>\n"
    "      <pos>16,16</pos>\n"
    "      <style>vqBORDER_SIMPLE</style>\n"
    "      <tooltip>The sun, drawn at 64 x 64 and scaled to 96 x 96</tooltip>\n"
    "    </object>\n"
    "    <object class=\"vqStaticPicture\" name=\"stripes\">\n"
    "      <bitmap>picture-stripes.png</bitmap>\n"
    "      <pos>128,16</pos>\n"
    "    </object>\n"
    "  </object>\n"
    "</resource>\n";

std::string StyleNames(long style) {
    static const struct {
        long value;
        const char* name;
    } names[] = {{vqBORDER_NONE, "vqBORDER_NONE"},
                 {vqBORDER_SIMPLE, "vqBORDER_SIMPLE"},
                 {vqBORDER_SUNKEN, "vqBORDER_SUNKEN"},
                 {vqTAB_TRAVERSAL, "vqTAB_TRAVERSAL"},
                 {vqCLIP_CHILDREN, "vqCLIP_CHILDREN"},
                 {vqFULL_REPAINT_ON_RESIZE, "vqFULL_REPAINT_ON_RESIZE"}};
    std::string text;
    for (const auto& entry : names) {
        if (style & entry.value) text += (text.empty() ? "" : "|") + std::string(entry.name);
    }
    return text.empty() ? "0" : text;
}

void PrintWindow(const char* kind, vqWindow* window) {
    vqPoint pos = window->GetPosition();
    vqSize size = window->GetSize();
    showcase::Say("   %-15s %-8s id %d, position (%d, %d), size %d x %d, style 0x%08lx (%s)", kind,
                  window->GetName().ToUTF8().c_str(), window->GetId(), pos.x, pos.y, size.x, size.y,
                  window->GetWindowStyleFlag(), StyleNames(window->GetWindowStyleFlag()).c_str());
}

// Draws the panel as it would appear (its background, each shown picture's bitmap at
// the picture's position, a line round each picture with a simple border) and saves it.
bool SavePanel(vqWindow& panel, const std::string& file) {
    vqSize size = panel.GetSize();
    if (size.x <= 0 || size.y <= 0) return false;
    vqBitmap canvas(size.x, size.y, 24);
    vqMemoryDC dc(canvas);
    dc.SetBackground(vqBrush(panel.GetBackgroundColour()));
    dc.Clear();
    for (vqWindow* child : panel.GetChildren()) {
        auto* picture = vqDynamicCast<vqStaticPicture>(child);
        if (!picture || !picture->IsShown()) continue;
        vqPoint pos = picture->GetPosition();
        vqSize extent = picture->GetSize();
        dc.DrawBitmap(picture->GetBitmap(), pos.x, pos.y, true);
        if (picture->GetWindowStyleFlag() & vqBORDER_SIMPLE) {
            dc.SetPen(vqPen(vqColour(100, 100, 100), 1));
            dc.SetBrush(vqBrush(vqColour(0, 0, 0), vqTRANSPARENT));
            dc.DrawRectangle(pos.x, pos.y, extent.x, extent.y);
        }
    }
    dc.SelectObject(vqNullBitmap);
    return canvas.SaveFile(vqString::FromUTF8(file), vqBITMAP_TYPE_PNG);
}

bool Run(const std::string& outDir) {
    vqImage::AddHandler(new vqPNGHandler);
    const std::string sunFile = outDir + "/picture-sun.png";
    const std::string stripesFile = outDir + "/picture-stripes.png";
    const std::string resFile = outDir + "/picture.xml";
    if (!DrawSun(64).SaveFile(vqString::FromUTF8(sunFile), vqBITMAP_TYPE_PNG) ||
        !DrawStripes(120, 48).SaveFile(vqString::FromUTF8(stripesFile), vqBITMAP_TYPE_PNG))
        return false;
    FILE* f = fopen(resFile.c_str(), "w");
    if (!f) return false;
    fputs(kResource, f);
    fclose(f);
    for (const std::string* file : {&resFile, &sunFile, &stripesFile})
        showcase::Say("   wrote %s", file->c_str());

    vqXmlResource res;
    res.AddHandler(new vqStaticPictureXmlHandler);
    res.InitAllHandlers();
    if (!res.Load(vqString::FromUTF8(resFile))) return false;
    vqPanel frame(nullptr, vqID_ANY, vqPoint(0, 0), vqSize(640, 480));
    auto* panel =
        vqDynamicCast<vqPanel>(res.LoadObject(&frame, vqT("picture_panel"), vqT("vqPanel")));
    if (!panel) return false;
    showcase::Say("   loaded %s:", resFile.c_str());
    PrintWindow("vqPanel", panel);
    int pictures = 0;
    for (vqWindow* child : panel->GetChildren()) {
        auto* picture = vqDynamicCast<vqStaticPicture>(child);
        if (!picture) continue;
        ++pictures;
        PrintWindow("vqStaticPicture", picture);
        const vqBitmap& bitmap = picture->GetBitmap();
        std::string shown = outDir + "/picture-loaded-" + picture->GetName().ToUTF8() + ".png";
        showcase::Say("   %-15s %-8s bitmap %d x %d, saved as shown to %s", "", "",
                      bitmap.GetWidth(), bitmap.GetHeight(), shown.c_str());
        if (!bitmap.Ok() || !bitmap.SaveFile(vqString::FromUTF8(shown), vqBITMAP_TYPE_PNG))
            return false;
    }
    if (pictures != 2 || !SavePanel(*panel, outDir + "/picture-panel.png")) return false;
    showcase::Show("picture-panel.png", showcase::View::kPicture,
                   "the panel loaded from picture.xml as it would appear: its background, and "
                   "each static picture's bitmap at its position and size, the simple border "
                   "drawn round the sun");
    return true;
}

showcase::Registrar reg(40, "picture", "Static picture resource handler (pictureloader)", Run);

}  // namespace
