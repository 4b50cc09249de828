#include "vq/svgfiledc.h"

#include "svg_private.h"

void vqSVGFileDC::DoDrawLine(int x1, int y1, int x2, int y2) {
    if (!BeginElement(vqT("DoDrawLine"))) return;
    if (m_isOk) writef(vqT("<path d=\"M%d %d L%d %d\" /> \n"), x1, y1, x2, y2);
    CalcBoundingBox(x1, y1);
    CalcBoundingBox(x2, y2);
}

void vqSVGFileDC::DoDrawLines(int n, vqPoint points[], int xoffset, int yoffset) {
    for (int i = 0; i + 1 < n; ++i)
        DoDrawLine(SVGAdd(points[i].x, xoffset), SVGAdd(points[i].y, yoffset),
                   SVGAdd(points[i + 1].x, xoffset), SVGAdd(points[i + 1].y, yoffset));
}

void vqSVGFileDC::DoDrawPoint(int x, int y) {
    if (!BeginElement(vqT("DoDrawPoint"))) return;
    // A zero-length line with round caps shows as a dot of the pen's width.
    writef(vqT("<g style = \"stroke-linecap:round;\" > \n"));
    DoDrawLine(x, y, x, y);
    writef(vqT("</g>"));
}

void vqSVGFileDC::DoDrawCheckMark(int x, int y, int width, int height) {
    vqDCBase::DoDrawCheckMark(x, y, width, height);
}

void vqSVGFileDC::DoDrawRectangle(int x, int y, int width, int height) {
    DoDrawRoundedRectangle(x, y, width, height, 0.0);
}

void vqSVGFileDC::DoDrawRoundedRectangle(int x, int y, int width, int height, double radius) {
    if (!BeginElement(vqT("DoDrawRoundedRectangle"), radius)) return;
    writef(vqT(" <rect x=\"%d\" y=\"%d\" width=\"%d\" height=\"%d\" rx=\"%g\"  /> \n"), x, y, width,
           height, radius);
    CalcBoundingBox(x, y);
    CalcBoundingBox(SVGAdd(x, width), SVGAdd(y, height));
}

void vqSVGFileDC::DoDrawPolygon(int n, vqPoint points[], int xoffset, int yoffset, int fillStyle) {
    if (!BeginElement(vqT("DoDrawPolygon"))) return;
    // One element, written piece by piece into the stream's buffer.
    static const char kEvenOdd[] = "<polygon style=\"fill-rule:evenodd; \" \npoints=\"";
    static const char kNonZero[] = "<polygon style=\"fill-rule:nonzero; \" \npoints=\"";
    if (fillStyle == vqODDEVEN_RULE)
        m_outputStream->Write(kEvenOdd, sizeof kEvenOdd - 1);
    else
        m_outputStream->Write(kNonZero, sizeof kNonZero - 1);
    for (int i = 0; i < n; ++i) {
        const int x = SVGAdd(points[i].x, xoffset), y = SVGAdd(points[i].y, yoffset);
        m_outputStream->WriteInt(x).Write(",", 1).WriteInt(y).Write("\n", 1);
        CalcBoundingBox(x, y);
    }
    m_outputStream->Write("\" /> \n", 6);
    m_isOk = m_outputStream->IsOk();
}

void vqSVGFileDC::DoDrawEllipse(int x, int y, int width, int height) {
    if (!BeginElement(vqT("DoDrawEllipse"))) return;
    const int rx = width / 2, ry = height / 2;
    writef(vqT("<ellipse cx=\"%d\" cy=\"%d\" rx=\"%d\" ry=\"%d\"  /> \n"), SVGAdd(x, rx),
           SVGAdd(y, ry), rx, ry);
    CalcBoundingBox(x, y);
    CalcBoundingBox(SVGAdd(x, width), SVGAdd(y, height));
}
