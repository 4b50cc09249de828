// GDI32 of the stand-in: the pixel formats each display offers, choosing and setting
// them, buffer swapping and logical palettes.
#include <algorithm>
#include <cstdio>
#include <tuple>

#include "win32_private.h"

namespace {

vqPlatformDisplay s_display = vqPLATFORM_DISPLAY_TRUE_COLOUR;

PIXELFORMATDESCRIPTOR Format(DWORD flags, BYTE type, BYTE colour, BYTE r, BYTE rs, BYTE g, BYTE gs,
                             BYTE b, BYTE bs, BYTE a, BYTE as, BYTE depth, BYTE stencil) {
    PIXELFORMATDESCRIPTOR f = {};
    f.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    f.nVersion = 1;
    f.dwFlags = flags;
    f.iPixelType = type;
    f.cColorBits = colour;
    f.cRedBits = r, f.cRedShift = rs, f.cGreenBits = g, f.cGreenShift = gs;
    f.cBlueBits = b, f.cBlueShift = bs, f.cAlphaBits = a, f.cAlphaShift = as;
    f.cDepthBits = depth, f.cStencilBits = stencil;
    f.iLayerType = PFD_MAIN_PLANE;
    return f;
}

const DWORD kDouble =
    PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER | PFD_SWAP_EXCHANGE;
const DWORD kSingle =
    PFD_DRAW_TO_WINDOW | PFD_DRAW_TO_BITMAP | PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL;

std::vector<PIXELFORMATDESCRIPTOR> TrueColourFormats() {
    std::vector<PIXELFORMATDESCRIPTOR> formats;
    const BYTE depthStencil[][2] = {{24, 8}, {24, 0}, {16, 0}, {32, 0}, {0, 0}};
    for (DWORD flags : {kDouble, kSingle})
        for (BYTE alpha : {8, 0})
            for (const auto& ds : depthStencil)
                formats.push_back(Format(flags, PFD_TYPE_RGBA, 24, 8, 16, 8, 8, 8, 0, alpha,
                                         alpha ? 24 : 0, ds[0], ds[1]));
    return formats;
}

std::vector<PIXELFORMATDESCRIPTOR> Palette8Formats() {
    std::vector<PIXELFORMATDESCRIPTOR> formats;
    for (DWORD flags : {kDouble, kSingle})
        for (BYTE depth : {16, 0})
            formats.push_back(Format(flags | PFD_NEED_PALETTE, PFD_TYPE_RGBA, 8, 3, 0, 3, 3, 2, 6,
                                     0, 0, depth, 0));
    for (DWORD flags : {kDouble, kSingle})
        for (BYTE depth : {16, 0})
            formats.push_back(
                Format(flags, PFD_TYPE_COLORINDEX, 8, 0, 0, 0, 0, 0, 0, 0, 0, depth, 0));
    return formats;
}

// Scores one size: first whether the format offers at least the request, then how far
// it is from it. Lower is better.
std::pair<int, int> SizeScore(int offered, int requested) {
    return {offered >= requested ? 0 : 1, std::abs(offered - requested)};
}

bool ValidDC(HDC dc) { return vqw32::g_dcs.count(dc) != 0; }

HPALETTE__ s_defaultPalette;  // the stock palette selected into every new DC

}  // namespace

namespace vqw32 {

vqPlatformDisplay DisplayOf(HDC dc) { return dc && dc->wnd ? Win(dc->wnd)->display : s_display; }

}  // namespace vqw32

using namespace vqw32;

void vqPlatformSetDisplay(vqPlatformDisplay display) { s_display = display; }
vqPlatformDisplay vqPlatformGetDisplay() { return s_display; }

const std::vector<PIXELFORMATDESCRIPTOR>& vqPlatformPixelFormats(vqPlatformDisplay display) {
    static const std::vector<PIXELFORMATDESCRIPTOR> trueColour = TrueColourFormats();
    static const std::vector<PIXELFORMATDESCRIPTOR> palette8 = Palette8Formats();
    return display == vqPLATFORM_DISPLAY_PALETTE_8 ? palette8 : trueColour;
}

int vqPlatformChoosePixelFormat(const PIXELFORMATDESCRIPTOR* formats, int count,
                                const PIXELFORMATDESCRIPTOR& request) {
    const DWORD required = request.dwFlags & (PFD_DRAW_TO_WINDOW | PFD_DRAW_TO_BITMAP |
                                              PFD_SUPPORT_GDI | PFD_SUPPORT_OPENGL);
    typedef std::tuple<std::pair<int, int>, std::pair<int, int>, std::pair<int, int>,
                       std::pair<int, int>, std::pair<int, int>, std::pair<int, int>>
        Score;
    int best = 0;
    Score bestScore;
    for (int i = 0; i < count; ++i) {
        const PIXELFORMATDESCRIPTOR& f = formats[i];
        if ((f.dwFlags & required) != required) continue;
        if (!(request.dwFlags & PFD_DOUBLEBUFFER_DONTCARE) &&
            (f.dwFlags & PFD_DOUBLEBUFFER) != (request.dwFlags & PFD_DOUBLEBUFFER))
            continue;
        if (!(request.dwFlags & PFD_STEREO_DONTCARE) &&
            (f.dwFlags & PFD_STEREO) != (request.dwFlags & PFD_STEREO))
            continue;
        if (f.iPixelType != request.iPixelType) continue;
        std::pair<int, int> depth = (request.dwFlags & PFD_DEPTH_DONTCARE)
                                        ? std::pair<int, int>(0, 0)
                                        : SizeScore(f.cDepthBits, request.cDepthBits);
        Score score(SizeScore(f.cColorBits, request.cColorBits),
                    SizeScore(f.cAlphaBits, request.cAlphaBits), depth,
                    SizeScore(f.cStencilBits, request.cStencilBits),
                    SizeScore(f.cAccumBits, request.cAccumBits),
                    SizeScore(f.cAuxBuffers, request.cAuxBuffers));
        if (!best || score < bestScore) best = i + 1, bestScore = score;
    }
    return best;
}

int WINAPI ChoosePixelFormat(HDC dc, const PIXELFORMATDESCRIPTOR* pfd) {
    int chosen = 0;
    if (!ValidDC(dc) || !pfd) {
        SetLastError(ERROR_INVALID_HANDLE);
    } else {
        const auto& formats = vqPlatformPixelFormats(DisplayOf(dc));
        chosen = vqPlatformChoosePixelFormat(formats.data(), int(formats.size()), *pfd);
        if (!chosen) SetLastError(ERROR_INVALID_PIXEL_FORMAT);
    }
    if (Recording()) {
        char flags[16];
        std::snprintf(flags, sizeof flags, "0x%X", pfd ? pfd->dwFlags : 0);
        Record("ChoosePixelFormat", {Hex(dc), pfd ? std::string("flags=") + flags : "null",
                                     "type=" + std::to_string(pfd ? pfd->iPixelType : 0),
                                     "colour=" + std::to_string(pfd ? pfd->cColorBits : 0),
                                     "depth=" + std::to_string(pfd ? pfd->cDepthBits : 0),
                                     "-> " + std::to_string(chosen)});
    }
    return chosen;
}

int WINAPI DescribePixelFormat(HDC dc, int format, UINT bytes, LPPIXELFORMATDESCRIPTOR pfd) {
    Record("DescribePixelFormat", {Hex(dc), std::to_string(format), std::to_string(bytes)});
    if (!ValidDC(dc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    const auto& formats = vqPlatformPixelFormats(DisplayOf(dc));
    if (!pfd) return int(formats.size());
    if (format < 1 || format > int(formats.size())) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return 0;
    }
    std::copy_n(reinterpret_cast<const BYTE*>(&formats[format - 1]),
                std::min<size_t>(bytes, sizeof(PIXELFORMATDESCRIPTOR)),
                reinterpret_cast<BYTE*>(pfd));
    return int(formats.size());
}

int WINAPI GetPixelFormat(HDC dc) {
    int format = ValidDC(dc) && dc->wnd ? Win(dc->wnd)->pixelFormat : 0;
    Record("GetPixelFormat", {Hex(dc), "-> " + std::to_string(format)});
    if (!format) SetLastError(ValidDC(dc) ? ERROR_INVALID_PIXEL_FORMAT : ERROR_INVALID_HANDLE);
    return format;
}

BOOL WINAPI SetPixelFormat(HDC dc, int format, const PIXELFORMATDESCRIPTOR*) {
    Record("SetPixelFormat", {Hex(dc), std::to_string(format)});
    if (!ValidDC(dc) || !dc->wnd) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    HWND wnd = dc->wnd;
    const auto& formats = vqPlatformPixelFormats(Win(wnd)->display);
    if (format < 1 || format > int(formats.size())) {
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    // A window's pixel format is set once; repeating the same one is harmless.
    if (Win(wnd)->pixelFormat) {
        if (Win(wnd)->pixelFormat == format) return TRUE;
        SetLastError(ERROR_INVALID_PIXEL_FORMAT);
        return FALSE;
    }
    Win(wnd)->pixelFormat = format;
    EglAttachWindow(wnd);
    return TRUE;
}

BOOL WINAPI SwapBuffers(HDC dc) {
    Record("SwapBuffers", {Hex(dc)});
    if (!ValidDC(dc) || !dc->wnd || !Win(dc->wnd)->pixelFormat) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    EglSwap(dc->wnd, wglGetCurrentContext());
    return TRUE;
}

HPALETTE WINAPI CreatePalette(const LOGPALETTE* logPalette) {
    HPALETTE palette = nullptr;
    if (!logPalette || logPalette->palVersion != 0x300 || logPalette->palNumEntries == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else {
        palette = new HPALETTE__;
        palette->entries.assign(logPalette->palPalEntry,
                                logPalette->palPalEntry + logPalette->palNumEntries);
        g_palettes.insert(palette);
    }
    Record("CreatePalette",
           {std::to_string(logPalette ? logPalette->palNumEntries : 0), "-> " + Hex(palette)});
    return palette;
}

UINT WINAPI GetPaletteEntries(HPALETTE palette, UINT start, UINT count, PALETTEENTRY* entries) {
    const HPALETTE__* p =
        palette == &s_defaultPalette || g_palettes.count(palette) ? palette : nullptr;
    if (!p) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    if (!entries) return UINT(p->entries.size());
    if (start >= p->entries.size()) return 0;
    UINT n = std::min<UINT>(count, UINT(p->entries.size()) - start);
    std::copy_n(p->entries.begin() + start, n, entries);
    return n;
}

HPALETTE WINAPI SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground) {
    Record("SelectPalette", {Hex(dc), Hex(palette), forceBackground ? "TRUE" : "FALSE"});
    if (!ValidDC(dc) || (palette != &s_defaultPalette && !g_palettes.count(palette))) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    HPALETTE previous = dc->palette ? dc->palette : &s_defaultPalette;
    dc->palette = palette;
    return previous;
}

UINT WINAPI RealizePalette(HDC dc) {
    Record("RealizePalette", {Hex(dc)});
    if (!ValidDC(dc)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return GDI_ERROR;
    }
    if (!dc->palette || dc->palette->realized) return 0;
    dc->palette->realized = true;
    // Only a palette-managed display maps entries into the system palette.
    return DisplayOf(dc) == vqPLATFORM_DISPLAY_PALETTE_8 ? UINT(dc->palette->entries.size()) : 0;
}

BOOL WINAPI UnrealizeObject(HGDIOBJ object) {
    Record("UnrealizeObject", {Hex(object)});
    HPALETTE palette = static_cast<HPALETTE>(object);
    if (!g_palettes.count(palette)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    palette->realized = false;
    return TRUE;
}

BOOL WINAPI DeleteObject(HGDIOBJ object) {
    Record("DeleteObject", {Hex(object)});
    HPALETTE palette = static_cast<HPALETTE>(object);
    if (!g_palettes.count(palette)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    // NOTE: GDI refuses to delete a selected object; here the DCs fall back to the stock
    // palette instead, so a palette never outlives its owner.
    for (HDC dc : g_dcs)
        if (dc->palette == palette) dc->palette = nullptr;
    g_palettes.erase(palette);
    delete palette;
    return TRUE;
}
