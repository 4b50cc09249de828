#include "vq/gdi.h"

#include "vq/platform/win32.h"

#include <cstring>
#include <memory>
#include <new>

#include "vq/log.h"

const vqColour vqNullColour;

bool vqColourDisplay() { return true; }

namespace {

struct PenData : vqObjectRefData {
    vqColour colour;
    int width = 1, style = vqSOLID, join = vqJOIN_ROUND, cap = vqCAP_ROUND;
};

struct BrushData : vqObjectRefData {
    vqColour colour;
    int style = vqSOLID;
};

struct FontData : vqObjectRefData {
    int pointSize = 10, family = vqDEFAULT, style = vqNORMAL, weight = vqNORMAL;
    bool underline = false;
    vqString faceName;
};

struct BitmapData : vqObjectRefData {
    int width = 0, height = 0, depth = -1;
    bool hasAlpha = false;
    std::vector<unsigned char> rgba;
};

struct PaletteData : vqObjectRefData {
    std::vector<unsigned char> red, green, blue;
    void* handle = nullptr;  // the platform palette (HPALETTE), owned

    PaletteData() {}
    // A copy owns a platform palette of its own, made from the same entries.
    PaletteData(const PaletteData& other)
        : vqObjectRefData(other), red(other.red), green(other.green), blue(other.blue) {
        if (other.handle) handle = CopyPlatformPalette(other.handle);
    }
    ~PaletteData() override {
        if (handle) DeleteObject(static_cast<HPALETTE>(handle));
    }
    static void* CopyPlatformPalette(void* source);
};

template <class T>
T* Data(const vqObject* object) {
    return static_cast<T*>(object->GetRefData());
}

// Returns the object's data for writing: created when absent, unshared when shared.
template <class T>
T* Writable(vqObject* object) {
    if (!object->GetRefData()) {
        object->SetRefData(new T);
    } else if (object->GetRefData()->GetRefCount() > 1) {
        object->SetRefData(new T(*Data<T>(object)));
    }
    return Data<T>(object);
}

}  // namespace

vqPen::vqPen(const vqColour& colour, int width, int style) {
    PenData* d = new PenData;
    d->colour = colour, d->width = width, d->style = style;
    m_refData = d;
}
vqColour vqPen::GetColour() const { return m_refData ? Data<PenData>(this)->colour : vqNullColour; }
int vqPen::GetWidth() const { return m_refData ? Data<PenData>(this)->width : 0; }
int vqPen::GetStyle() const { return m_refData ? Data<PenData>(this)->style : 0; }
int vqPen::GetJoin() const { return m_refData ? Data<PenData>(this)->join : 0; }
int vqPen::GetCap() const { return m_refData ? Data<PenData>(this)->cap : 0; }
void vqPen::SetColour(const vqColour& colour) { Writable<PenData>(this)->colour = colour; }
void vqPen::SetWidth(int width) { Writable<PenData>(this)->width = width; }
void vqPen::SetStyle(int style) { Writable<PenData>(this)->style = style; }
void vqPen::SetJoin(int join) { Writable<PenData>(this)->join = join; }
void vqPen::SetCap(int cap) { Writable<PenData>(this)->cap = cap; }
bool vqPen::operator==(const vqPen& o) const {
    return GetColour() == o.GetColour() && GetWidth() == o.GetWidth() &&
           GetStyle() == o.GetStyle() && GetJoin() == o.GetJoin() && GetCap() == o.GetCap();
}
vqObjectRefData* vqPen::CloneRefData(const vqObjectRefData* data) const {
    return new PenData(*static_cast<const PenData*>(data));
}

vqBrush::vqBrush(const vqColour& colour, int style) {
    BrushData* d = new BrushData;
    d->colour = colour, d->style = style;
    m_refData = d;
}
vqColour vqBrush::GetColour() const {
    return m_refData ? Data<BrushData>(this)->colour : vqNullColour;
}
int vqBrush::GetStyle() const { return m_refData ? Data<BrushData>(this)->style : 0; }
void vqBrush::SetColour(const vqColour& colour) { Writable<BrushData>(this)->colour = colour; }
void vqBrush::SetStyle(int style) { Writable<BrushData>(this)->style = style; }
vqObjectRefData* vqBrush::CloneRefData(const vqObjectRefData* data) const {
    return new BrushData(*static_cast<const BrushData*>(data));
}

vqFont::vqFont(int pointSize, int family, int style, int weight, bool underline,
               const vqString& faceName) {
    FontData* d = new FontData;
    d->pointSize = pointSize, d->family = family, d->style = style, d->weight = weight;
    d->underline = underline, d->faceName = faceName;
    m_refData = d;
}
int vqFont::GetPointSize() const { return m_refData ? Data<FontData>(this)->pointSize : 0; }
int vqFont::GetFamily() const { return m_refData ? Data<FontData>(this)->family : 0; }
int vqFont::GetStyle() const { return m_refData ? Data<FontData>(this)->style : 0; }
int vqFont::GetWeight() const { return m_refData ? Data<FontData>(this)->weight : 0; }
bool vqFont::GetUnderlined() const { return m_refData && Data<FontData>(this)->underline; }
vqString vqFont::GetFaceName() const {
    return m_refData ? Data<FontData>(this)->faceName : vqString();
}
void vqFont::SetPointSize(int pointSize) { Writable<FontData>(this)->pointSize = pointSize; }
void vqFont::SetWeight(int weight) { Writable<FontData>(this)->weight = weight; }
void vqFont::SetStyle(int style) { Writable<FontData>(this)->style = style; }
void vqFont::SetFaceName(const vqString& faceName) {
    Writable<FontData>(this)->faceName = faceName;
}
vqObjectRefData* vqFont::CloneRefData(const vqObjectRefData* data) const {
    return new FontData(*static_cast<const FontData*>(data));
}

vqBitmap::vqBitmap(int width, int height, int depth) {
    if (width <= 0 || height <= 0) return;
    if (static_cast<long long>(width) * height > vqBITMAP_MAX_PIXELS) {
        vqLogError(vqT("Cannot make a %d x %d bitmap: more than %lld pixels."), width, height,
                   vqBITMAP_MAX_PIXELS);
        return;
    }
    std::unique_ptr<BitmapData> d;
    try {
        d.reset(new BitmapData);
        d->rgba.assign(static_cast<size_t>(width) * height * 4, 0);
    } catch (const std::bad_alloc&) {
        vqLogError(vqT("Cannot make a %d x %d bitmap: out of memory."), width, height);
        return;
    }
    d->width = width, d->height = height, d->depth = depth;
    for (size_t i = 3; i < d->rgba.size(); i += 4) d->rgba[i] = 255;
    m_refData = d.release();
}
int vqBitmap::GetWidth() const { return m_refData ? Data<BitmapData>(this)->width : 0; }
int vqBitmap::GetHeight() const { return m_refData ? Data<BitmapData>(this)->height : 0; }
int vqBitmap::GetDepth() const { return m_refData ? Data<BitmapData>(this)->depth : 0; }
bool vqBitmap::HasAlpha() const { return m_refData && Data<BitmapData>(this)->hasAlpha; }
void vqBitmap::SetHasAlpha(bool hasAlpha) {
    if (m_refData) Writable<BitmapData>(this)->hasAlpha = hasAlpha;
}
const unsigned char* vqBitmap::GetData() const {
    return m_refData ? Data<BitmapData>(this)->rgba.data() : nullptr;
}
unsigned char* vqBitmap::GetWritableData() {
    return m_refData ? Writable<BitmapData>(this)->rgba.data() : nullptr;
}
bool vqBitmap::GetPixel(int x, int y, vqColour* colour, unsigned char* alpha) const {
    if (!m_refData || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) return false;
    const unsigned char* p = GetData() + (static_cast<size_t>(y) * GetWidth() + x) * 4;
    if (colour) colour->Set(p[0], p[1], p[2]);
    if (alpha) *alpha = p[3];
    return true;
}
void vqBitmap::SetPixel(int x, int y, const vqColour& colour, unsigned char alpha) {
    if (!m_refData || x < 0 || y < 0 || x >= GetWidth() || y >= GetHeight()) return;
    unsigned char* p = GetWritableData() + (static_cast<size_t>(y) * GetWidth() + x) * 4;
    p[0] = colour.Red(), p[1] = colour.Green(), p[2] = colour.Blue(), p[3] = alpha;
}
vqObjectRefData* vqBitmap::CloneRefData(const vqObjectRefData* data) const {
    return new BitmapData(*static_cast<const BitmapData*>(data));
}

void* PaletteData::CopyPlatformPalette(void* source) {
    HPALETTE palette = static_cast<HPALETTE>(source);
    UINT count = GetPaletteEntries(palette, 0, 0, nullptr);
    if (!count) return nullptr;
    std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + count * sizeof(PALETTEENTRY));
    LOGPALETTE* logPalette = reinterpret_cast<LOGPALETTE*>(buffer.data());
    logPalette->palVersion = 0x300;
    logPalette->palNumEntries = WORD(count);
    GetPaletteEntries(palette, 0, count, logPalette->palPalEntry);
    return CreatePalette(logPalette);
}

vqPalette::vqPalette(int n, const unsigned char* red, const unsigned char* green,
                     const unsigned char* blue) {
    PaletteData* d = new PaletteData;
    for (int i = 0; i < n; ++i) {
        d->red.push_back(red[i]);
        d->green.push_back(green[i]);
        d->blue.push_back(blue[i]);
    }
    // The platform palette holds the same entries.
    if (n > 0 && n <= 0xFFFF) {
        std::vector<unsigned char> buffer(sizeof(LOGPALETTE) + n * sizeof(PALETTEENTRY));
        LOGPALETTE* logPalette = reinterpret_cast<LOGPALETTE*>(buffer.data());
        logPalette->palVersion = 0x300;
        logPalette->palNumEntries = WORD(n);
        for (int i = 0; i < n; ++i)
            logPalette->palPalEntry[i] = PALETTEENTRY{red[i], green[i], blue[i], 0};
        d->handle = CreatePalette(logPalette);
    }
    m_refData = d;
}
bool vqPalette::Ok() const { return m_refData && Data<PaletteData>(this)->handle; }
int vqPalette::GetColoursCount() const {
    if (!m_refData) return 0;
    const PaletteData* d = Data<PaletteData>(this);
    if (d->red.empty() && d->handle)
        return int(GetPaletteEntries(static_cast<HPALETTE>(d->handle), 0, 0, nullptr));
    return static_cast<int>(d->red.size());
}
bool vqPalette::GetRGB(int index, unsigned char* red, unsigned char* green,
                       unsigned char* blue) const {
    if (index < 0 || index >= GetColoursCount()) return false;
    const PaletteData* d = Data<PaletteData>(this);
    if (d->red.empty()) {
        PALETTEENTRY e;
        GetPaletteEntries(static_cast<HPALETTE>(d->handle), UINT(index), 1, &e);
        *red = e.peRed, *green = e.peGreen, *blue = e.peBlue;
        return true;
    }
    *red = d->red[index], *green = d->green[index], *blue = d->blue[index];
    return true;
}
void* vqPalette::GetHPALETTE() const {
    return m_refData ? Data<PaletteData>(this)->handle : nullptr;
}
void vqPalette::SetHPALETTE(void* handle) {
    PaletteData* d = Writable<PaletteData>(this);
    if (d->handle && d->handle != handle) DeleteObject(static_cast<HPALETTE>(d->handle));
    d->handle = handle;
}

const vqBrush& vqStockGDI::GetBrush(Item item) {
    static const vqBrush brushes[] = {vqBrush(vqColour(0, 0, 0)),
                                      vqBrush(vqColour(0, 0, 255)),
                                      vqBrush(vqColour(0, 255, 255)),
                                      vqBrush(vqColour(0, 255, 0)),
                                      vqBrush(vqColour(128, 128, 128)),
                                      vqBrush(vqColour(192, 192, 192)),
                                      vqBrush(vqColour(150, 150, 150)),
                                      vqBrush(vqColour(255, 0, 0)),
                                      vqBrush(vqColour(0, 0, 0), vqTRANSPARENT),
                                      vqBrush(vqColour(255, 255, 255))};
    static const vqBrush none;
    return item <= BRUSH_WHITE ? brushes[item] : none;
}

const vqColour& vqStockGDI::GetColour(Item item) {
    static const vqColour colours[] = {
        vqColour(0, 0, 0),       vqColour(0, 0, 255), vqColour(0, 255, 255),  vqColour(0, 255, 0),
        vqColour(192, 192, 192), vqColour(255, 0, 0), vqColour(255, 255, 255)};
    return item >= COLOUR_BLACK && item <= COLOUR_WHITE ? colours[item - COLOUR_BLACK]
                                                        : vqNullColour;
}

const vqFont& vqStockGDI::GetFont(Item item) {
    static const vqFont fonts[] = {
        vqFont(10, vqSWISS, vqITALIC, vqNORMAL), vqFont(10, vqSWISS, vqNORMAL, vqNORMAL),
        vqFont(8, vqSWISS, vqNORMAL, vqNORMAL), vqFont(10, vqSWISS, vqNORMAL, vqNORMAL)};
    static const vqFont none;
    return item >= FONT_ITALIC && item <= FONT_SWISS ? fonts[item - FONT_ITALIC] : none;
}

const vqPen& vqStockGDI::GetPen(Item item) {
    static const vqPen pens[] = {vqPen(vqColour(0, 0, 0)),
                                 vqPen(vqColour(0, 0, 0), 1, vqSHORT_DASH),
                                 vqPen(vqColour(0, 255, 255)),
                                 vqPen(vqColour(0, 255, 0)),
                                 vqPen(vqColour(128, 128, 128)),
                                 vqPen(vqColour(192, 192, 192)),
                                 vqPen(vqColour(150, 150, 150)),
                                 vqPen(vqColour(255, 0, 0)),
                                 vqPen(vqColour(0, 0, 0), 1, vqTRANSPARENT),
                                 vqPen(vqColour(255, 255, 255))};
    static const vqPen none;
    return item >= PEN_BLACK && item <= PEN_WHITE ? pens[item - PEN_BLACK] : none;
}
