// vqSVGFileDC: a device context that writes every drawing call as SVG 1.0 text
// into a file; bitmaps go into numbered PNG files beside it.
//
// The application owns the surface. The file grows while drawing; the
// destructor writes the footer and closes it. Failures never throw: Ok() turns
// false when the file could not be created or a write did not reach it.
#ifndef VQ_SVGFILEDC_H
#define VQ_SVGFILEDC_H

#include "vq/dc.h"
#include "vq/file.h"

class vqScreenDC;

#ifdef VQMAKING_SVG
#define VQ_SVG_API VQ_EXPORT
#else
#define VQ_SVG_API VQ_IMPORT
#endif

class VQ_SVG_API vqSVGFileDC : public vqDC {
public:
    // Creates (or empties) the file and writes the header: 320 x 240 pixels at 72 dpi.
    vqSVGFileDC(vqString fileName);
    // A picture of width x height pixels at 72 dpi.
    vqSVGFileDC(vqString fileName, int width, int height);
    // A picture of width x height pixels at the given resolution. A resolution that is
    // not positive and finite falls back to 72 dpi, a negative width or height to
    // 320 x 240, each with one logged error naming the file.
    vqSVGFileDC(vqString fileName, int width, int height, float dpi);
    // Writes the footer and closes the file. A document that did not reach the file
    // in full (a full disk, say) is logged as an error naming the file.
    ~vqSVGFileDC() override;

    // True while the file opened and every write so far reached it.
    bool Ok() const override { return m_isOk; }
    void Clear() override {}
    bool StartDoc(const vqString&) override { return false; }
    void EndDoc() override {}
    void StartPage() override {}
    void EndPage() override {}

    // Pen and brush changes start a new style group before the next element.
    void SetFont(const vqFont& font) override;
    void SetPen(const vqPen& pen) override;
    void SetBrush(const vqBrush& brush) override;
    void SetBackground(const vqBrush& brush) override;
    void SetBackgroundMode(int mode) override;
    void SetPalette(const vqPalette&) override {}
    void DestroyClippingRegion() override {}

    // Measure with the current font on the screen context.
    int GetCharHeight() const override;
    int GetCharWidth() const override;
    bool CanDrawBitmap() const override { return true; }
    bool CanGetTextExtent() const override { return true; }
    int GetDepth() const override { return -1; }

    // Coordinate mapping; every setter makes the next element start a new group. While
    // the resulting scale or translation is not finite, every element is skipped with a
    // comment in the document in its place, as is one whose angle or radius is not.
    void SetMapMode(int mode) override;
    void GetUserScale(double* x, double* y) const override;
    void SetUserScale(double x, double y) override;
    void SetLogicalScale(double x, double y) override;
    void SetLogicalOrigin(int x, int y) override;
    void SetDeviceOrigin(int x, int y) override;
    void ComputeScaleAndOrigin() override;
    void SetAxisOrientation(bool xLeftRight, bool yBottomUp) override;
    void SetLogicalFunction(int) override {}

    void BeginDrawing() {}
    void EndDrawing() {}
    // Copies a region of a memory context into a PNG side file. Refuses (false, logged)
    // more than 2^26 pixels (8192 x 8192); false too for a rop other than vqCOPY or a mask.
    bool Blit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc, int ysrc,
              int rop = vqCOPY, bool useMask = false) {
        return DoBlit(xdest, ydest, width, height, source, xsrc, ysrc, rop, useMask, -1, -1);
    }
    void CrossHair(int x, int y) { DoCrossHair(x, y); }
    // Saves the bitmap as the first free "<name>_image<n>.png" beside the document,
    // skipping every name taken by anything (file, directory, link, FIFO); the side
    // file is created new, never through a link.
    void DrawBitmap(const vqBitmap& bitmap, int x, int y, bool useMask = false) {
        DoDrawBitmap(bitmap, x, y, useMask);
    }
    void DrawIcon(const vqIcon& icon, int x, int y) { DoDrawIcon(icon, x, y); }
    // Does nothing: the surface cannot flood-fill (a null colour is accepted).
    void FloodFill(int x, int y, vqColour* colour, int style = 1) {
        DoFloodFill(x, y, colour ? *colour : vqNullColour, style);
    }
    bool GetPixel(int x, int y, vqColour* colour) { return DoGetPixel(x, y, colour); }
    void GetClippingBox(int*, int*, int*, int*) {}
    void SetClippingRegion(int, int, int, int) {}
    int GetLogicalFunction() { return vqCOPY; }
    int GetMapMode() { return m_mapMode; }

    int LogicalToDeviceX(int x) const;
    int LogicalToDeviceY(int y) const;
    int LogicalToDeviceXRel(int x) const;
    int LogicalToDeviceYRel(int y) const;
    int DeviceToLogicalX(int x) const;
    int DeviceToLogicalY(int y) const;
    int DeviceToLogicalXRel(int x) const;
    int DeviceToLogicalYRel(int y) const;

    // Writes a polyline as one path element per neighbouring pair of points.
    void DoDrawLines(int n, vqPoint points[], int xoffset, int yoffset) override;

private:
    void Init(vqString fileName, int width, int height, float dpi);
    // The only ways anything reaches the file; each refreshes m_isOk. writef formats
    // like vqString::Format straight into the stream.
    void write(const vqString& text);
    void writef(const vqChar* format, ...);
    // Starts an element for the named call: false, with a comment written in its place,
    // when a, b or the mapping is not finite; else true, after any pending style group.
    bool BeginElement(const vqChar* call, double a = 0.0, double b = 0.0);
    // Writes a style group for the current pen, brush and mapping.
    void NewGraphics();
    // The kept screen context, with the surface's font selected.
    vqScreenDC& TextMeasure() const;

    int XLOG2DEV(int x) const { return LogicalToDeviceX(x); }
    int YLOG2DEV(int y) const { return LogicalToDeviceY(y); }
    int XLOG2DEVREL(int x) const { return LogicalToDeviceXRel(x); }
    int YLOG2DEVREL(int y) const { return LogicalToDeviceYRel(y); }
    int XDEV2LOG(int x) const { return DeviceToLogicalX(x); }
    int YDEV2LOG(int y) const { return DeviceToLogicalY(y); }
    int XDEV2LOGREL(int x) const { return DeviceToLogicalXRel(x); }
    int YDEV2LOGREL(int y) const { return DeviceToLogicalYRel(y); }

    bool DoFloodFill(int, int, const vqColour&, int) override { return false; }
    // The surface cannot read a pixel back: false, the colour untouched.
    bool DoGetPixel(int, int, vqColour*) const override { return false; }
    void DoDrawPoint(int x, int y) override;
    void DoDrawLine(int x1, int y1, int x2, int y2) override;
    void DoDrawArc(int x1, int y1, int x2, int y2, int xc, int yc) override;
    void DoDrawCheckMark(int x, int y, int width, int height) override;
    void DoDrawEllipticArc(int x, int y, int width, int height, double startAngle,
                           double endAngle) override;
    void DoDrawRectangle(int x, int y, int width, int height) override;
    void DoDrawRoundedRectangle(int x, int y, int width, int height, double radius) override;
    void DoDrawEllipse(int x, int y, int width, int height) override;
    void DoCrossHair(int, int) override {}
    void DoDrawIcon(const vqIcon& icon, int x, int y) override;
    void DoDrawBitmap(const vqBitmap& bitmap, int x, int y, bool useMask) override;
    void DoDrawText(const vqString& text, int x, int y) override;
    void DoDrawRotatedText(const vqString& text, int x, int y, double angle) override;
    bool DoBlit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc, int ysrc,
                int rop, bool useMask, int xsrcMask, int ysrcMask) override;
    void DoGetSize(int* width, int* height) const override;
    void DoDrawPolygon(int n, vqPoint points[], int xoffset, int yoffset, int fillStyle) override;
    void DoSetClippingRegionAsRegion(const vqRegion&) override {}
    void DoGetTextExtent(const vqString& string, int* x, int* y, int* descent, int* externalLeading,
                         const vqFont* font) const override;

    vqFileOutputStream* m_outputStream;
    vqString m_fileName;
    int m_imageCount;
    bool m_isOk;
    bool m_styleDirty;
    int m_widthPx;
    int m_heightPx;
    double m_logicalScaleX, m_logicalScaleY;
    double m_userScaleX, m_userScaleY;
    double m_scaleX, m_scaleY;
    double m_translateX, m_translateY;
    double m_pixelsPerMmX, m_pixelsPerMmY;
    // The screen context that measures text, made on first use and kept.
    mutable vqScreenDC* m_textMeasure;
};

#endif
