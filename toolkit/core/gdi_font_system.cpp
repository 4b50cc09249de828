// Fonts through GDI: a face is a font made with CreateFontW and measured on a memory
// device context. Each font is made at 64 times its size, so an advance read in whole
// pixels is the advance at the asked size in 1/64 pixels, as unhinted as FreeType's.
#include "vq/platform/windows_fixups.h"

#include <algorithm>
#include <memory>
#include <string>

#include "font_system.h"

namespace vqfont {
namespace {

const int kDpi = 96;
// The largest em height, in pixels, a measuring font is made at.
const int kMaxMeasuringEm = 16384;

std::wstring Utf16(const std::string& utf8) {
    const std::u16string units = vqUTF8ToUTF16(utf8.data(), utf8.size());
    return std::wstring(units.begin(), units.end());
}

int CALLBACK NoteFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

// Rounds value / scale up.
int CeilDiv(long value, int scale) { return static_cast<int>((value + scale - 1) / scale); }

class GdiFace : public SystemFace {
public:
    GdiFace(HDC dc, HFONT font, int scale) : m_dc(dc), m_font(font), m_scale(scale) {}
    ~GdiFace() override { DeleteObject(m_font); }

    Metrics LineMetrics() const override {
        Metrics metrics;
        TEXTMETRICW tm;
        HGDIOBJ old = SelectObject(m_dc, m_font);
        if (GetTextMetricsW(m_dc, &tm)) {
            metrics.ascent = CeilDiv(tm.tmAscent, m_scale);
            metrics.descent = CeilDiv(tm.tmDescent, m_scale);
            metrics.leading = CeilDiv(tm.tmExternalLeading, m_scale);
        }
        SelectObject(m_dc, old);
        return metrics;
    }

    long Advance(char32_t ch) override {
        wchar_t units[2];
        int count = 1;
        if (ch >= 0x10000 && ch <= 0x10FFFF) {
            units[0] = static_cast<wchar_t>(0xD800 + ((ch - 0x10000) >> 10));
            units[1] = static_cast<wchar_t>(0xDC00 + ((ch - 0x10000) & 0x3FF));
            count = 2;
        } else {
            units[0] = ch <= 0xFFFF ? static_cast<wchar_t>(ch) : 0xFFFD;
        }
        SIZE size = {0, 0};
        HGDIOBJ old = SelectObject(m_dc, m_font);
        BOOL ok = GetTextExtentPoint32W(m_dc, units, count, &size);
        SelectObject(m_dc, old);
        return ok ? static_cast<long>(static_cast<long long>(size.cx) * 64 / m_scale) : 0;
    }

private:
    HDC m_dc;
    HFONT m_font;
    int m_scale;
};

class GdiSystem : public FontSystem {
public:
    GdiSystem() : m_dc(CreateCompatibleDC(nullptr)) {}
    ~GdiSystem() override {
        if (m_dc) DeleteDC(m_dc);
    }

    std::unique_ptr<SystemFace> Open(const FontRequest& request) override;
    size_t OpenedFonts() const override { return m_opened; }

private:
    bool Installed(const std::wstring& face);

    HDC m_dc;
    size_t m_opened = 0;
};

bool GdiSystem::Installed(const std::wstring& face) {
    LOGFONTW want = {};
    want.lfCharSet = DEFAULT_CHARSET;
    face.copy(want.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    EnumFontFamiliesExW(m_dc, &want, NoteFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

std::unique_ptr<SystemFace> GdiSystem::Open(const FontRequest& request) {
    if (!m_dc) return nullptr;
    // An empty face name, or one that is not installed, gives the default sans face.
    std::wstring face = Utf16(request.face);
    if (face.empty() || face.size() >= LF_FACESIZE || !Installed(face)) face = L"Arial";

    // The em height at 96 dpi, made 64 times larger while that stays a sane size.
    const double em = request.pointSize * static_cast<double>(kDpi) / 72.0;
    int scale = 64;
    while (scale > 1 && em * scale > kMaxMeasuringEm) scale /= 2;
    LOGFONTW lf = {};
    lf.lfHeight = -static_cast<LONG>(em * scale + 0.5);
    lf.lfWeight = request.weight == vqBOLD    ? FW_BOLD
                  : request.weight == vqLIGHT ? FW_LIGHT
                                              : FW_NORMAL;
    lf.lfItalic = request.style == vqITALIC || request.style == vqSLANT;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_OUTLINE_PRECIS;
    lf.lfQuality = ANTIALIASED_QUALITY;
    face.copy(lf.lfFaceName, LF_FACESIZE - 1);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return nullptr;
    ++m_opened;
    return std::unique_ptr<SystemFace>(new GdiFace(m_dc, font, scale));
}

}  // namespace

std::unique_ptr<FontSystem> MakeFontSystem() { return std::unique_ptr<FontSystem>(new GdiSystem); }

}  // namespace vqfont
