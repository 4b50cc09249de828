#include <cmath>

#include "svg_private.h"
#include "vq/screen_dc.h"
#include "vq/svgfiledc.h"

namespace {

// The CSS word for a font weight; values the toolkit does not define are "normal".
const vqChar* WeightWord(int weight) {
    switch (weight) {
        case vqLIGHT:
            return vqT("lighter");
        case vqBOLD:
            return vqT("bold");
        default:
            return vqT("normal");
    }
}

// The CSS word for a font style; 91 and 92 are not styles and say so.
const vqChar* StyleWord(int style) {
    switch (style) {
        case 91:
        case 92:
            return vqT("style error");
        case vqITALIC:
            return vqT("italic");
        case vqSLANT:
            return vqT("oblique");
        default:
            return vqT("normal");
    }
}

// True when c may stand in an unquoted CSS family name: letters, digits, '_',
// '-' and everything beyond ASCII.
bool IsCssNameChar(vqChar c) {
    const unsigned u = static_cast<unsigned>(c);
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') ||
           (u >= '0' && u <= '9') || c == '_' || c == '-';
}

// True when the face name reads as the same family without quotes: words of name
// characters, none starting with a digit or '-', separated by single blanks.
bool IsPlainCssFamily(const vqString::StdString& face) {
    bool wordStart = true;
    for (vqChar c : face) {
        if (c == ' ') {
            if (wordStart) return false;
            wordStart = true;
            continue;
        }
        if (!IsCssNameChar(c) || (wordStart && ((c >= '0' && c <= '9') || c == '-'))) return false;
        wordStart = false;
    }
    return !wordStart;
}

// The face name as a CSS font-family value: as it is when it reads as one family
// unquoted (so ordinary names stay unchanged), else a quoted CSS string, so caller
// text can never end the value or add declarations.
vqString SVGFontFamily(const vqString& face) {
    const vqString::StdString& in = face.str();
    if (IsPlainCssFamily(in)) return face;
    vqString::StdString out = vqT("'");
    for (vqChar c : in) {
        const unsigned u = static_cast<unsigned>(c);
        if (c == '\\' || c == '\'') {
            out += '\\';
            out += c;
        } else if (u < 0x20 || u == 0x7F) {
            // A control character is a hexadecimal escape; the blank ends it.
            out += vqString::Format(vqT("\\%X "), u).str();
        } else {
            out += c;
        }
    }
    out += '\'';
    return vqString(std::move(out));
}

}  // namespace

void vqSVGFileDC::DoDrawText(const vqString& text, int x, int y) {
    DoDrawRotatedText(text, x, y, 0.0);
}

void vqSVGFileDC::DoDrawRotatedText(const vqString& text, int x, int y, double angle) {
    // In radians, so that an angle too large to convert counts as not finite too.
    const double rad = angle * kSVGPi * kSVGDegree;
    if (!BeginElement(vqT("DoDrawRotatedText"), rad)) return;

    int w = 0, h = 0, descent = 0;
    DoGetTextExtent(text, &w, &h, &descent, nullptr, nullptr);
    const double sine = std::sin(rad), cosine = std::cos(rad);

    // The element is anchored h below the reference point, turned with the text.
    CalcBoundingBox(x, y);
    CalcBoundingBox(SVGTrunc(x + w * cosine), SVGTrunc(y - h * sine));
    const int ax = SVGAdd(x, SVGTrunc(h * sine)), ay = SVGAdd(y, SVGTrunc(h * cosine));
    CalcBoundingBox(ax, ay);
    CalcBoundingBox(SVGTrunc(ax + h * sine), SVGTrunc(ay + h * cosine));

    if (m_backgroundMode == vqSOLID) {
        const vqColour& b = m_textBackground;
        writef(
            vqT(" <rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"  style=\"fill:#%02X%02X%02X; ")
                vqT("stroke-width:1; stroke:#%02X%02X%02X; \" transform=\"rotate( %g %d %d )  \" "
                    "/> \n"),
            ax, SVGAdd(static_cast<long long>(ay) + descent, -static_cast<long long>(h)), w, h,
            b.Red(), b.Green(), b.Blue(), b.Red(), b.Green(), b.Blue(), -angle, ax, ay);
    }
    if (!m_isOk) return;

    // An empty face name leaves the family out.
    const vqString face = m_font.GetFaceName();
    const vqString family = face.empty() ? vqString() : vqXmlEscape(SVGFontFamily(face), true);
    const vqColour& f = m_textForeground;
    writef(vqT(" <text x=\"%d\" y=\"%d\" style=\"%s%s%sfont-weight:%s; font-style:%s; ")
               vqT("font-size:%dpt; fill:#%02X%02X%02X; stroke:#%02X%02X%02X; stroke-width:0;\"  ")
                   vqT("transform=\"rotate( %g %d %d )  \" >%s</text> \n"),
           ax, ay, face.empty() ? vqT(" ") : vqT("font-family:"), family.c_str(),
           face.empty() ? vqT("") : vqT("; "), WeightWord(m_font.GetWeight()),
           StyleWord(m_font.GetStyle()), m_font.GetPointSize(), f.Red(), f.Green(), f.Blue(),
           f.Red(), f.Green(), f.Blue(), -angle, ax, ay, vqXmlEscape(text, false).c_str());
}

// One screen context measures every text of the surface, with the surface's font.
vqScreenDC& vqSVGFileDC::TextMeasure() const {
    if (!m_textMeasure) m_textMeasure = new vqScreenDC;
    m_textMeasure->SetFont(m_font);
    return *m_textMeasure;
}

void vqSVGFileDC::DoGetTextExtent(const vqString& text, int* width, int* height, int* descent,
                                  int* externalLeading, const vqFont* font) const {
    vqScreenDC& screen = TextMeasure();
    if (font) screen.SetFont(*font);
    screen.GetTextExtent(text, width, height, descent, externalLeading);
}

int vqSVGFileDC::GetCharHeight() const { return TextMeasure().GetCharHeight(); }

int vqSVGFileDC::GetCharWidth() const { return TextMeasure().GetCharWidth(); }
