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
    if (m_styleDirty) NewGraphics();

    int w = 0, h = 0, descent = 0;
    DoGetTextExtent(text, &w, &h, &descent, nullptr, nullptr);
    const double rad = angle * kSVGPi * kSVGDegree;
    const double sine = std::sin(rad), cosine = std::cos(rad);

    // The element is anchored h below the reference point, turned with the text.
    CalcBoundingBox(x, y);
    CalcBoundingBox(SVGTrunc(x + w * cosine), SVGTrunc(y - h * sine));
    const int ax = SVGAdd(x, SVGTrunc(h * sine)), ay = SVGAdd(y, SVGTrunc(h * cosine));
    CalcBoundingBox(ax, ay);
    CalcBoundingBox(SVGTrunc(ax + h * sine), SVGTrunc(ay + h * cosine));

    const vqString rotate = vqString::Format(vqT("rotate( %g %d %d )  "), -angle, ax, ay);
    if (m_backgroundMode == vqSOLID) {
        const vqString background = SVGColourHex(m_textBackground);
        vqString rect = vqString::Format(
            vqT(" <rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\"  "), ax,
            SVGAdd(static_cast<long long>(ay) + descent, -static_cast<long long>(h)), w, h);
        rect += vqT("style=\"fill:#") + background + vqT("; ");
        rect += vqT("stroke-width:1; stroke:#") + background + vqT("; ");
        rect += vqT("\" transform=\"") + rotate + vqT("\"");
        rect += vqT(" /> \n");
        write(rect);
    }

    const vqString face = m_font.GetFaceName();
    const vqString foreground = SVGColourHex(m_textForeground);
    vqString s = vqString::Format(vqT(" <text x=\"%d\" y=\"%d\" "), ax, ay);
    if (!face.empty())
        s += vqT("style=\"font-family:") + vqXmlEscape(SVGFontFamily(face), true) + vqT("; ");
    else
        s += vqT("style=\" ");
    s += vqT("font-weight:") + vqString(WeightWord(m_font.GetWeight())) + vqT("; ");
    s += vqT("font-style:") + vqString(StyleWord(m_font.GetStyle())) + vqT("; ");
    s += vqString::Format(vqT("font-size:%dpt; fill:#"), m_font.GetPointSize()) + foreground;
    s += vqT("; stroke:#") + foreground + vqT("; ");
    s += vqT("stroke-width:0;\"  transform=\"") + rotate + vqT("\" >");
    s += vqXmlEscape(text, false);
    s += vqT("</text> \n");
    if (m_isOk) write(s);
}

void vqSVGFileDC::DoGetTextExtent(const vqString& text, int* width, int* height, int* descent,
                                  int* externalLeading, const vqFont* font) const {
    vqScreenDC screen;
    screen.SetFont(m_font);
    if (font) screen.SetFont(*font);
    screen.GetTextExtent(text, width, height, descent, externalLeading);
}

int vqSVGFileDC::GetCharHeight() const {
    vqScreenDC screen;
    screen.SetFont(m_font);
    return screen.GetCharHeight();
}

int vqSVGFileDC::GetCharWidth() const {
    vqScreenDC screen;
    screen.SetFont(m_font);
    return screen.GetCharWidth();
}
