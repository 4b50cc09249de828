// GDI objects of the toolkit: colours, pens, brushes, fonts, bitmaps, icons,
// palettes and the stock object table. Objects share data when copied.
#ifndef VQ_GDI_H
#define VQ_GDI_H

#include <cstdint>
#include <vector>

#include "vq/object.h"

class vqFileOutputStream;

struct vqPoint {
    int x = 0, y = 0;
    vqPoint() {}
    vqPoint(int px, int py) : x(px), y(py) {}
    bool operator==(const vqPoint& o) const { return x == o.x && y == o.y; }
};

struct vqSize {
    int x = 0, y = 0;
    vqSize() {}
    vqSize(int w, int h) : x(w), y(h) {}
    int GetWidth() const { return x; }
    int GetHeight() const { return y; }
    bool operator==(const vqSize& o) const { return x == o.x && y == o.y; }
    bool operator!=(const vqSize& o) const { return !(*this == o); }
};

struct vqRect {
    int x = 0, y = 0, width = 0, height = 0;
    vqRect() {}
    vqRect(int px, int py, int w, int h) : x(px), y(py), width(w), height(h) {}
};

// An RGB colour with a validity flag; the default colour is invalid.
class VQ_CORE_API vqColour {
public:
    vqColour() : m_red(0), m_green(0), m_blue(0), m_ok(false) {}
    vqColour(unsigned char r, unsigned char g, unsigned char b)
        : m_red(r), m_green(g), m_blue(b), m_ok(true) {}
    unsigned char Red() const { return m_red; }
    unsigned char Green() const { return m_green; }
    unsigned char Blue() const { return m_blue; }
    bool Ok() const { return m_ok; }
    bool IsOk() const { return m_ok; }
    void Set(unsigned char r, unsigned char g, unsigned char b) {
        m_red = r, m_green = g, m_blue = b, m_ok = true;
    }
    bool operator==(const vqColour& o) const {
        return m_ok == o.m_ok && m_red == o.m_red && m_green == o.m_green && m_blue == o.m_blue;
    }
    bool operator!=(const vqColour& o) const { return !(*this == o); }

private:
    unsigned char m_red, m_green, m_blue;
    bool m_ok;
};

// The invalid colour.
extern VQ_CORE_API const vqColour vqNullColour;
// True on a colour display (always, here).
VQ_CORE_API bool vqColourDisplay();

// A pen: colour, width, style, join and cap. A default-constructed pen has no data.
class VQ_CORE_API vqPen : public vqObject {
public:
    vqPen() {}
    vqPen(const vqColour& colour, int width = 1, int style = vqSOLID);
    bool Ok() const { return m_refData != nullptr; }
    bool IsOk() const { return Ok(); }

    // Queries of a pen without data give width 0, style 0, join 0, cap 0, vqNullColour.
    vqColour GetColour() const;
    int GetWidth() const;
    virtual int GetStyle() const;
    int GetJoin() const;
    int GetCap() const;

    void SetColour(const vqColour& colour);
    void SetWidth(int width);
    void SetStyle(int style);
    void SetJoin(int join);
    void SetCap(int cap);
    bool operator==(const vqPen& o) const;

protected:
    vqObjectRefData* CloneRefData(const vqObjectRefData* data) const override;
};

// A brush: colour and style. A default-constructed brush has no data.
class VQ_CORE_API vqBrush : public vqObject {
public:
    vqBrush() {}
    vqBrush(const vqColour& colour, int style = vqSOLID);
    bool Ok() const { return m_refData != nullptr; }
    bool IsOk() const { return Ok(); }
    // A brush without data reads as vqNullColour and style 0.
    vqColour GetColour() const;
    virtual int GetStyle() const;
    void SetColour(const vqColour& colour);
    void SetStyle(int style);

protected:
    vqObjectRefData* CloneRefData(const vqObjectRefData* data) const override;
};

// A font: point size, family, style, weight, underline and face name.
class VQ_CORE_API vqFont : public vqObject {
public:
    vqFont() {}
    vqFont(int pointSize, int family, int style, int weight, bool underline = false,
           const vqString& faceName = vqString());
    bool Ok() const { return m_refData != nullptr; }
    bool IsOk() const { return Ok(); }
    virtual int GetPointSize() const;
    virtual int GetFamily() const;
    virtual int GetStyle() const;
    virtual int GetWeight() const;
    virtual bool GetUnderlined() const;
    virtual vqString GetFaceName() const;
    void SetPointSize(int pointSize);
    void SetWeight(int weight);
    void SetStyle(int style);
    void SetFaceName(const vqString& faceName);

protected:
    vqObjectRefData* CloneRefData(const vqObjectRefData* data) const override;
};

// The most pixels a bitmap holds, width x height: 2^28 (1 GiB of RGBA).
const long long vqBITMAP_MAX_PIXELS = 1LL << 28;

// A bitmap with real pixels: RGBA, 8 bits a channel, rows top to bottom.
// A default-constructed bitmap has no data.
class VQ_CORE_API vqBitmap : public vqObject {
public:
    vqBitmap() {}
    // Makes a width x height bitmap, all pixels opaque black; depth is recorded (-1 = screen).
    // Beyond vqBITMAP_MAX_PIXELS, or without the memory, the bitmap has no data and an
    // error is logged; it never throws.
    vqBitmap(int width, int height, int depth = -1);
    bool Ok() const { return m_refData != nullptr; }
    bool IsOk() const { return Ok(); }
    int GetWidth() const;
    int GetHeight() const;
    int GetDepth() const;
    vqSize GetSize() const { return vqSize(GetWidth(), GetHeight()); }

    // Pixel access; coordinates outside the bitmap are ignored (GetPixel returns false).
    bool GetPixel(int x, int y, vqColour* colour, unsigned char* alpha = nullptr) const;
    void SetPixel(int x, int y, const vqColour& colour, unsigned char alpha = 255);
    // The RGBA bytes, width * height * 4; null without data. Writing unshares first.
    const unsigned char* GetData() const;
    unsigned char* GetWritableData();
    bool HasAlpha() const;
    void SetHasAlpha(bool hasAlpha);

    // Save or load through the image handler registered for the type (vqImage).
    bool SaveFile(const vqString& name, int type) const;
    // Saves into a stream the caller opened (and closes); name appears in messages.
    bool SaveFile(vqFileOutputStream& stream, const vqString& name, int type) const;
    bool LoadFile(const vqString& name, int type = vqBITMAP_TYPE_ANY);

protected:
    vqObjectRefData* CloneRefData(const vqObjectRefData* data) const override;
};

// An icon: a bitmap drawn with its alpha channel.
class VQ_CORE_API vqIcon : public vqBitmap {
public:
    vqIcon() {}
    vqIcon(int width, int height) : vqBitmap(width, height, 32) { SetHasAlpha(true); }
    void CopyFromBitmap(const vqBitmap& bitmap) { Ref(bitmap); }
};

// A palette of RGB entries. A default-constructed palette has no data.
class VQ_CORE_API vqPalette : public vqObject {
public:
    vqPalette() {}
    vqPalette(int n, const unsigned char* red, const unsigned char* green,
              const unsigned char* blue);
    // True when the palette holds a platform palette.
    virtual bool Ok() const;
    bool IsOk() const { return Ok(); }
    int GetColoursCount() const;
    bool GetRGB(int index, unsigned char* red, unsigned char* green, unsigned char* blue) const;
    // The platform palette handle (HPALETTE on Windows), null when there is none.
    void* GetHPALETTE() const;
    // Gives the palette a platform palette, which it then owns and deletes.
    void SetHPALETTE(void* handle);
};

// A region; clipping is not supported by the surfaces that use it.
class VQ_CORE_API vqRegion : public vqObject {};

// The shared stock objects, by item number.
class VQ_CORE_API vqStockGDI {
public:
    enum Item {
        BRUSH_BLACK = 0,
        BRUSH_BLUE,
        BRUSH_CYAN,
        BRUSH_GREEN,
        BRUSH_GREY,
        BRUSH_LIGHTGREY,
        BRUSH_MEDIUMGREY,
        BRUSH_RED,
        BRUSH_TRANSPARENT = 8,
        BRUSH_WHITE = 9,
        COLOUR_BLACK = 10,
        COLOUR_BLUE,
        COLOUR_CYAN,
        COLOUR_GREEN,
        COLOUR_LIGHTGREY,
        COLOUR_RED,
        COLOUR_WHITE = 16,
        CURSOR_CROSS,
        CURSOR_HOURGLASS,
        CURSOR_STANDARD,
        FONT_ITALIC = 20,
        FONT_NORMAL = 21,
        FONT_SMALL,
        FONT_SWISS,
        PEN_BLACK = 24,
        PEN_BLACKDASHED,
        PEN_CYAN,
        PEN_GREEN,
        PEN_GREY,
        PEN_LIGHTGREY,
        PEN_MEDIUMGREY,
        PEN_RED,
        PEN_TRANSPARENT,
        PEN_WHITE,
        ITEMCOUNT
    };
    static const vqBrush& GetBrush(Item item);
    static const vqColour& GetColour(Item item);
    static const vqFont& GetFont(Item item);
    static const vqPen& GetPen(Item item);
};

#define vqBLACK_PEN vqStockGDI::GetPen(vqStockGDI::PEN_BLACK)
#define vqTRANSPARENT_BRUSH vqStockGDI::GetBrush(vqStockGDI::BRUSH_TRANSPARENT)
#define vqWHITE_BRUSH vqStockGDI::GetBrush(vqStockGDI::BRUSH_WHITE)
#define vqNORMAL_FONT vqStockGDI::GetFont(vqStockGDI::FONT_NORMAL)
#define vqBLACK vqStockGDI::GetColour(vqStockGDI::COLOUR_BLACK)
#define vqWHITE vqStockGDI::GetColour(vqStockGDI::COLOUR_WHITE)

#endif
