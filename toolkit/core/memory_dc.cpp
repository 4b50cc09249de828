#include "vq/memory_dc.h"

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "font_cache.h"

const vqBitmap vqNullBitmap;

namespace {

// Blends one RGBA source pixel over a destination pixel ("source over").
void BlendPixel(unsigned char* dest, const unsigned char* src) {
    unsigned a = src[3];
    if (a == 255) {
        memcpy(dest, src, 4);
        return;
    }
    if (a == 0) return;
    for (int c = 0; c < 3; ++c)
        dest[c] = static_cast<unsigned char>((src[c] * a + dest[c] * (255 - a) + 127) / 255);
    dest[3] = static_cast<unsigned char>(a + (dest[3] * (255 - a) + 127) / 255);
}

// Adds a size to a coordinate for the bounding box, saturating instead of overflowing.
int Far(int x, int size) { return vqDCBase::ClampToInt(static_cast<long long>(x) + size); }

bool Draws(const vqPen& pen) { return pen.Ok() && pen.GetStyle() != vqTRANSPARENT; }
bool Fills(const vqBrush& brush) { return brush.Ok() && brush.GetStyle() != vqTRANSPARENT; }

}  // namespace

vqMemoryDC::vqMemoryDC() : m_target(nullptr) {}

vqMemoryDC::vqMemoryDC(vqBitmap& bitmap) : m_target(nullptr) { SelectObject(bitmap); }

vqMemoryDC::~vqMemoryDC() {}

void vqMemoryDC::SelectObject(vqBitmap& bitmap) {
    m_own = vqBitmap();
    m_target = bitmap.Ok() ? &bitmap : nullptr;
    // Unshare now, so earlier copies of the bitmap keep their pixels.
    if (m_target) m_target->GetWritableData();
}

void vqMemoryDC::SelectObject(const vqBitmap& bitmap) {
    m_own = bitmap;
    m_target = m_own.Ok() ? &m_own : nullptr;
}

const vqBitmap& vqMemoryDC::GetSelectedBitmap() const {
    return m_target ? *m_target : vqNullBitmap;
}

bool vqMemoryDC::IsOk() const { return m_target && m_target->Ok(); }

void vqMemoryDC::DoGetSize(int* width, int* height) const {
    if (width) *width = m_target ? m_target->GetWidth() : 0;
    if (height) *height = m_target ? m_target->GetHeight() : 0;
}

void vqMemoryDC::Clear() {
    if (!IsOk()) return;
    vqColour colour = m_backgroundBrush.Ok() ? m_backgroundBrush.GetColour() : vqWHITE;
    FillDeviceRect(0, 0, m_target->GetWidth(), m_target->GetHeight(), colour);
}

void vqMemoryDC::FillDeviceRect(long long x, long long y, long long width, long long height,
                                const vqColour& colour) {
    if (!IsOk()) return;
    const long long bw = m_target->GetWidth(), bh = m_target->GetHeight();
    long long x0 = std::max(0LL, x), y0 = std::max(0LL, y);
    long long x1 = std::min(bw, x + width), y1 = std::min(bh, y + height);
    if (x0 >= x1 || y0 >= y1) return;
    unsigned char* data = m_target->GetWritableData();
    const unsigned char px[4] = {colour.Red(), colour.Green(), colour.Blue(), 255};
    for (long long row = y0; row < y1; ++row) {
        unsigned char* p = data + (row * bw + x0) * 4;
        for (long long col = x0; col < x1; ++col, p += 4) memcpy(p, px, 4);
    }
}

bool vqMemoryDC::DoGetPixel(int x, int y, vqColour* colour) const {
    if (!IsOk()) return false;
    return m_target->GetPixel(LogicalToDeviceX(x), LogicalToDeviceY(y), colour);
}

void vqMemoryDC::DoDrawPoint(int x, int y) {
    if (!IsOk() || !Draws(m_pen)) return;
    m_target->SetPixel(LogicalToDeviceX(x), LogicalToDeviceY(y), m_pen.GetColour());
    CalcBoundingBox(x, y);
}

void vqMemoryDC::DoDrawLine(int x1, int y1, int x2, int y2) {
    if (!IsOk() || !Draws(m_pen)) return;
    CalcBoundingBox(x1, y1);
    CalcBoundingBox(x2, y2);
    double ax = LogicalToDeviceX(x1), ay = LogicalToDeviceY(y1);
    double bx = LogicalToDeviceX(x2), by = LogicalToDeviceY(y2);
    // Clip the segment to the bitmap (Liang-Barsky) so huge coordinates cost nothing.
    const double w = m_target->GetWidth(), h = m_target->GetHeight();
    double t0 = 0, t1 = 1, dx = bx - ax, dy = by - ay;
    const double p[4] = {-dx, dx, -dy, dy};
    const double q[4] = {ax, w - 1 - ax, ay, h - 1 - ay};
    for (int i = 0; i < 4; ++i) {
        if (p[i] == 0) {
            if (q[i] < 0) return;
            continue;
        }
        double t = q[i] / p[i];
        if (p[i] < 0)
            t0 = std::max(t0, t);
        else
            t1 = std::min(t1, t);
        if (t0 > t1) return;
    }
    int sx = static_cast<int>(ax + t0 * dx + 0.5), sy = static_cast<int>(ay + t0 * dy + 0.5);
    int ex = static_cast<int>(ax + t1 * dx + 0.5), ey = static_cast<int>(ay + t1 * dy + 0.5);
    const vqColour colour = m_pen.GetColour();
    int ddx = std::abs(ex - sx), ddy = -std::abs(ey - sy);
    int stepX = sx < ex ? 1 : -1, stepY = sy < ey ? 1 : -1, err = ddx + ddy;
    for (;;) {
        m_target->SetPixel(sx, sy, colour);
        if (sx == ex && sy == ey) break;
        int e2 = 2 * err;
        if (e2 >= ddy) err += ddy, sx += stepX;
        if (e2 <= ddx) err += ddx, sy += stepY;
    }
}

void vqMemoryDC::DoDrawRectangle(int x, int y, int width, int height) {
    if (!IsOk()) return;
    long long x0 = LogicalToDeviceX(x), y0 = LogicalToDeviceY(y);
    long long w = LogicalToDeviceXRel(width), h = LogicalToDeviceYRel(height);
    if (w < 0) x0 += w, w = -w;
    if (h < 0) y0 += h, h = -h;
    if (Fills(m_brush)) FillDeviceRect(x0, y0, w, h, m_brush.GetColour());
    if (Draws(m_pen)) {
        long long t = std::max(1, m_pen.GetWidth());
        const vqColour colour = m_pen.GetColour();
        FillDeviceRect(x0, y0, w, std::min(t, h), colour);
        FillDeviceRect(x0, y0 + h - std::min(t, h), w, std::min(t, h), colour);
        FillDeviceRect(x0, y0, std::min(t, w), h, colour);
        FillDeviceRect(x0 + w - std::min(t, w), y0, std::min(t, w), h, colour);
    }
    CalcBoundingBox(x, y);
    CalcBoundingBox(Far(x, width), Far(y, height));
}

void vqMemoryDC::PutPixels(const unsigned char* rgba, int srcWidth, int srcHeight, int srcX,
                           int srcY, int width, int height, int destX, int destY, bool blend) {
    if (!IsOk() || !rgba) return;
    const long long bw = m_target->GetWidth(), bh = m_target->GetHeight();
    // Clip against the source, then against the target, moving both corners together.
    long long sx = srcX, sy = srcY, dx = destX, dy = destY, w = width, h = height;
    if (sx < 0) dx -= sx, w += sx, sx = 0;
    if (sy < 0) dy -= sy, h += sy, sy = 0;
    w = std::min(w, srcWidth - sx), h = std::min(h, srcHeight - sy);
    if (dx < 0) sx -= dx, w += dx, dx = 0;
    if (dy < 0) sy -= dy, h += dy, dy = 0;
    w = std::min(w, bw - dx), h = std::min(h, bh - dy);
    if (w <= 0 || h <= 0) return;
    unsigned char* data = m_target->GetWritableData();
    for (long long row = 0; row < h; ++row) {
        const unsigned char* s = rgba + ((sy + row) * srcWidth + sx) * 4;
        unsigned char* d = data + ((dy + row) * bw + dx) * 4;
        if (!blend) {
            memmove(d, s, static_cast<size_t>(w) * 4);
        } else {
            for (long long col = 0; col < w; ++col) BlendPixel(d + col * 4, s + col * 4);
        }
    }
}

void vqMemoryDC::DoDrawBitmap(const vqBitmap& bitmap, int x, int y, bool useMask) {
    if (!IsOk() || !bitmap.Ok()) return;
    // Keep a shared copy: drawing a bitmap into itself must read the old pixels.
    vqBitmap source = bitmap;
    PutPixels(source.GetData(), source.GetWidth(), source.GetHeight(), 0, 0, source.GetWidth(),
              source.GetHeight(), LogicalToDeviceX(x), LogicalToDeviceY(y),
              useMask && source.HasAlpha());
    CalcBoundingBox(x, y);
    CalcBoundingBox(Far(x, source.GetWidth()), Far(y, source.GetHeight()));
}

void vqMemoryDC::DoDrawIcon(const vqIcon& icon, int x, int y) {
    if (!IsOk() || !icon.Ok()) return;
    vqBitmap source = icon;
    PutPixels(source.GetData(), source.GetWidth(), source.GetHeight(), 0, 0, source.GetWidth(),
              source.GetHeight(), LogicalToDeviceX(x), LogicalToDeviceY(y), true);
    CalcBoundingBox(x, y);
    CalcBoundingBox(Far(x, source.GetWidth()), Far(y, source.GetHeight()));
}

bool vqMemoryDC::DoBlit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc,
                        int ysrc, int rop, bool useMask, int, int) {
    vqMemoryDC* from = dynamic_cast<vqMemoryDC*>(source);
    if (!IsOk() || !from || !from->IsOk() || rop != vqCOPY) return false;
    // A shared copy: writing the target unshares it, so a blit within one bitmap
    // still reads the old pixels.
    vqBitmap pixels = from->GetSelectedBitmap();
    PutPixels(pixels.GetData(), pixels.GetWidth(), pixels.GetHeight(), from->LogicalToDeviceX(xsrc),
              from->LogicalToDeviceY(ysrc), width, height, LogicalToDeviceX(xdest),
              LogicalToDeviceY(ydest), useMask && pixels.HasAlpha());
    CalcBoundingBox(xdest, ydest);
    CalcBoundingBox(Far(xdest, width), Far(ydest, height));
    return true;
}

int vqMemoryDC::GetCharHeight() const {
    vqfont::Metrics m = vqfont::GetMetrics(m_font);
    return m.ascent + m.descent;
}

int vqMemoryDC::GetCharWidth() const { return vqfont::GetMetrics(m_font).charWidth; }

void vqMemoryDC::DoGetTextExtent(const vqString& string, int* width, int* height, int* descent,
                                 int* externalLeading, const vqFont* font) const {
    vqfont::TextExtent(font ? *font : m_font, string, width, height, descent, externalLeading);
}
