// The device-context base: drawing state, public drawing calls that reach the
// virtual Do operations, the logical-to-device mapping and the bounding box.
#ifndef VQ_DC_H
#define VQ_DC_H

#include <climits>

#include "vq/gdi.h"

class vqDC;

class VQ_CORE_API vqDCBase : public vqObject {
public:
    vqDCBase();
    ~vqDCBase() override;

    // Public drawing calls; each forwards to its virtual Do operation.
    void DrawLine(int x1, int y1, int x2, int y2) { DoDrawLine(x1, y1, x2, y2); }
    void DrawLines(int n, vqPoint points[], int xoffset = 0, int yoffset = 0) {
        DoDrawLines(n, points, xoffset, yoffset);
    }
    void DrawPoint(int x, int y) { DoDrawPoint(x, y); }
    void DrawCheckMark(int x, int y, int width, int height) {
        DoDrawCheckMark(x, y, width, height);
    }
    void DrawRectangle(int x, int y, int width, int height) {
        DoDrawRectangle(x, y, width, height);
    }
    void DrawRoundedRectangle(int x, int y, int width, int height, double radius) {
        DoDrawRoundedRectangle(x, y, width, height, radius);
    }
    void DrawEllipse(int x, int y, int width, int height) { DoDrawEllipse(x, y, width, height); }
    void DrawPolygon(int n, vqPoint points[], int xoffset = 0, int yoffset = 0,
                     int fillStyle = vqODDEVEN_RULE) {
        DoDrawPolygon(n, points, xoffset, yoffset, fillStyle);
    }
    void DrawArc(int x1, int y1, int x2, int y2, int xc, int yc) {
        DoDrawArc(x1, y1, x2, y2, xc, yc);
    }
    void DrawEllipticArc(int x, int y, int w, int h, double sa, double ea) {
        DoDrawEllipticArc(x, y, w, h, sa, ea);
    }
    void DrawText(const vqString& text, int x, int y) { DoDrawText(text, x, y); }
    void DrawRotatedText(const vqString& text, int x, int y, double angle) {
        DoDrawRotatedText(text, x, y, angle);
    }
    void DrawBitmap(const vqBitmap& bmp, int x, int y, bool useMask = false) {
        DoDrawBitmap(bmp, x, y, useMask);
    }
    void DrawIcon(const vqIcon& icon, int x, int y) { DoDrawIcon(icon, x, y); }
    bool Blit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc, int ysrc,
              int rop = vqCOPY, bool useMask = false, int xsrcMask = -1, int ysrcMask = -1);
    bool FloodFill(int x, int y, const vqColour& col, int style = 1) {
        return DoFloodFill(x, y, col, style);
    }
    bool GetPixel(int x, int y, vqColour* col) const { return DoGetPixel(x, y, col); }
    void CrossHair(int x, int y) { DoCrossHair(x, y); }
    // Measures text in the given font, or the current one when font is null.
    void GetTextExtent(const vqString& string, int* x, int* y, int* descent = nullptr,
                       int* externalLeading = nullptr, const vqFont* font = nullptr) const {
        DoGetTextExtent(string, x, y, descent, externalLeading, font);
    }
    void GetSize(int* width, int* height) const { DoGetSize(width, height); }
    vqSize GetSize() const {
        int w = 0, h = 0;
        DoGetSize(&w, &h);
        return vqSize(w, h);
    }
    void SetClippingRegion(int x, int y, int width, int height) {
        DoSetClippingRegion(x, y, width, height);
    }
    void GetClippingBox(int* x, int* y, int* w, int* h) const { DoGetClippingBox(x, y, w, h); }
    void GetLogicalOrigin(int* x, int* y) const { DoGetLogicalOrigin(x, y); }
    void GetDeviceOrigin(int* x, int* y) const { DoGetDeviceOrigin(x, y); }

    // Bounding box of everything drawn, in logical units.
    int MinX() const { return m_minX; }
    int MaxX() const { return m_maxX; }
    int MinY() const { return m_minY; }
    int MaxY() const { return m_maxY; }
    bool IsBoundingBoxValid() const { return m_isBBoxValid; }
    void ResetBoundingBox() {
        m_isBBoxValid = false;
        m_minX = m_maxX = m_minY = m_maxY = 0;
    }
    // Widens the bounding box to hold (x, y).
    virtual void CalcBoundingBox(int x, int y);

    // Document and page calls.
    virtual void Clear() {}
    virtual bool StartDoc(const vqString&) { return true; }
    virtual void EndDoc() {}
    virtual void StartPage() {}
    virtual void EndPage() {}

    // Drawing state.
    virtual void SetFont(const vqFont& font) { m_font = font; }
    virtual void SetPen(const vqPen& pen) { m_pen = pen; }
    virtual void SetBrush(const vqBrush& brush) { m_brush = brush; }
    virtual void SetBackground(const vqBrush& brush) { m_backgroundBrush = brush; }
    virtual void SetBackgroundMode(int mode) { m_backgroundMode = mode; }
    virtual void SetPalette(const vqPalette&) {}
    virtual void DestroyClippingRegion() { m_clippingActive = false; }
    virtual int GetCharHeight() const { return 0; }
    virtual int GetCharWidth() const { return 0; }
    virtual bool CanDrawBitmap() const { return false; }
    virtual bool CanGetTextExtent() const { return false; }
    virtual int GetDepth() const { return 0; }
    virtual vqSize GetPPI() const { return vqSize(96, 96); }
    virtual bool Ok() const { return IsOk(); }
    virtual bool IsOk() const { return m_ok; }
    virtual int GetBackgroundMode() const { return m_backgroundMode; }
    virtual const vqBrush& GetBackground() const { return m_backgroundBrush; }
    virtual const vqBrush& GetBrush() const { return m_brush; }
    virtual const vqFont& GetFont() const { return m_font; }
    virtual const vqPen& GetPen() const { return m_pen; }
    virtual const vqColour& GetTextForeground() const { return m_textForeground; }
    virtual const vqColour& GetTextBackground() const { return m_textBackground; }
    virtual void SetTextForeground(const vqColour& colour) { m_textForeground = colour; }
    virtual void SetTextBackground(const vqColour& colour) { m_textBackground = colour; }

    // Mapping between logical and device coordinates.
    virtual int GetMapMode() const { return m_mapMode; }
    virtual void SetMapMode(int mode);
    virtual void GetUserScale(double* x, double* y) const;
    virtual void SetUserScale(double x, double y);
    virtual void GetLogicalScale(double* x, double* y) const;
    virtual void SetLogicalScale(double x, double y);
    virtual void SetLogicalOrigin(int x, int y);
    virtual void SetDeviceOrigin(int x, int y);
    virtual void ComputeScaleAndOrigin();
    virtual void SetAxisOrientation(bool xLeftRight, bool yBottomUp);
    virtual int GetLogicalFunction() const { return m_logicalFunction; }
    virtual void SetLogicalFunction(int function) { m_logicalFunction = function; }

    // Rounds a scaled coordinate half away from zero, taking the direction from
    // the integer it was computed from; clamps to the int range.
    static int RoundScaled(double value, long long from);
    // Clamps a coordinate computed in 64 bits to the int range.
    static int ClampToInt(long long value) {
        return value > INT_MAX ? INT_MAX : value < INT_MIN ? INT_MIN : static_cast<int>(value);
    }

    int LogicalToDeviceX(int x) const;
    int LogicalToDeviceY(int y) const;
    int LogicalToDeviceXRel(int x) const;
    int LogicalToDeviceYRel(int y) const;
    int DeviceToLogicalX(int x) const;
    int DeviceToLogicalY(int y) const;
    int DeviceToLogicalXRel(int x) const;
    int DeviceToLogicalYRel(int y) const;

    // Draws a check mark as two lines through DoDrawLine (the generic version).
    virtual void DoDrawCheckMark(int x, int y, int width, int height);

protected:
    virtual bool DoFloodFill(int, int, const vqColour&, int) { return false; }
    virtual bool DoGetPixel(int, int, vqColour*) const { return false; }
    virtual void DoDrawPoint(int, int) {}
    virtual void DoDrawLine(int, int, int, int) {}
    virtual void DoDrawArc(int, int, int, int, int, int) {}
    virtual void DoDrawEllipticArc(int, int, int, int, double, double) {}
    virtual void DoDrawRectangle(int, int, int, int) {}
    virtual void DoDrawRoundedRectangle(int, int, int, int, double) {}
    virtual void DoDrawEllipse(int, int, int, int) {}
    virtual void DoCrossHair(int, int) {}
    virtual void DoDrawIcon(const vqIcon&, int, int) {}
    virtual void DoDrawBitmap(const vqBitmap&, int, int, bool) {}
    virtual void DoDrawText(const vqString&, int, int) {}
    virtual void DoDrawRotatedText(const vqString&, int, int, double) {}
    virtual bool DoBlit(int, int, int, int, vqDC*, int, int, int, bool, int, int) { return false; }
    virtual void DoGetSize(int* width, int* height) const;
    virtual void DoGetSizeMM(int* width, int* height) const;
    virtual void DoDrawLines(int n, vqPoint points[], int xoffset, int yoffset);
    virtual void DoDrawPolygon(int, vqPoint[], int, int, int) {}
    virtual void DoSetClippingRegionAsRegion(const vqRegion&) {}
    virtual void DoSetClippingRegion(int, int, int, int) {}
    virtual void DoGetClippingBox(int* x, int* y, int* w, int* h) const;
    virtual void DoGetLogicalOrigin(int* x, int* y) const;
    virtual void DoGetDeviceOrigin(int* x, int* y) const;
    virtual void DoGetTextExtent(const vqString& string, int* x, int* y, int* descent,
                                 int* externalLeading, const vqFont* font) const;

    bool m_ok;
    bool m_isColourDisplay : 1;
    bool m_clippingActive : 1;
    bool m_isBBoxValid : 1;

    int m_logicalOriginX, m_logicalOriginY;
    int m_deviceOriginX, m_deviceOriginY;
    double m_logicalScaleX, m_logicalScaleY;
    double m_userScaleX, m_userScaleY;
    double m_scaleX, m_scaleY;
    int m_axisSignX, m_axisSignY;

    int m_minX, m_minY, m_maxX, m_maxY;
    int m_logicalFunction;
    int m_backgroundMode;
    int m_mapMode;

    vqPen m_pen;
    vqBrush m_brush;
    vqBrush m_backgroundBrush;
    vqColour m_textForeground;
    vqColour m_textBackground;
    vqFont m_font;
    vqPalette m_palette;
};

// The platform part of a device context; constructed with no device behind it.
class VQ_CORE_API vqDC : public vqDCBase {
    VQ_DECLARE_ABSTRACT_CLASS(vqDC)
public:
    vqDC() {}
    ~vqDC() override;
};

#endif
