#include "vq/dc.h"

#include <climits>
#include <cmath>

int vqDCBase::RoundScaled(double value, long long from) {
    double r = from > 0 ? value + 0.5 : value - 0.5;
    if (!(r > -2147483648.0)) return r != r ? 0 : INT_MIN;
    if (!(r < 2147483648.0)) return INT_MAX;
    return static_cast<int>(r);
}

vqDCBase::vqDCBase()
    : m_ok(true),
      m_isColourDisplay(true),
      m_clippingActive(false),
      m_isBBoxValid(false),
      m_logicalOriginX(0),
      m_logicalOriginY(0),
      m_deviceOriginX(0),
      m_deviceOriginY(0),
      m_logicalScaleX(1.0),
      m_logicalScaleY(1.0),
      m_userScaleX(1.0),
      m_userScaleY(1.0),
      m_scaleX(1.0),
      m_scaleY(1.0),
      m_axisSignX(1),
      m_axisSignY(1),
      m_minX(0),
      m_minY(0),
      m_maxX(0),
      m_maxY(0),
      m_logicalFunction(vqCOPY),
      m_backgroundMode(vqTRANSPARENT),
      m_mapMode(vqMM_TEXT),
      m_pen(vqBLACK_PEN),
      m_brush(vqWHITE_BRUSH),
      m_backgroundBrush(vqWHITE_BRUSH),
      m_textForeground(vqBLACK),
      m_textBackground(vqWHITE),
      m_font(vqNORMAL_FONT) {}

vqDCBase::~vqDCBase() {}

bool vqDCBase::Blit(int xdest, int ydest, int width, int height, vqDC* source, int xsrc, int ysrc,
                    int rop, bool useMask, int xsrcMask, int ysrcMask) {
    return DoBlit(xdest, ydest, width, height, source, xsrc, ysrc, rop, useMask, xsrcMask,
                  ysrcMask);
}

void vqDCBase::CalcBoundingBox(int x, int y) {
    if (m_isBBoxValid) {
        if (x < m_minX) m_minX = x;
        if (y < m_minY) m_minY = y;
        if (x > m_maxX) m_maxX = x;
        if (y > m_maxY) m_maxY = y;
    } else {
        m_isBBoxValid = true;
        m_minX = m_maxX = x;
        m_minY = m_maxY = y;
    }
}

void vqDCBase::SetMapMode(int mode) {
    // Pixels per millimetre of the device.
    vqSize ppi = GetPPI();
    double mmX = ppi.x / 25.4, mmY = ppi.y / 25.4;
    switch (mode) {
        case vqMM_LOMETRIC:
            SetLogicalScale(mmX / 10.0, mmY / 10.0);
            break;
        case vqMM_TWIPS:
            SetLogicalScale(mmX * 25.4 / 1440.0, mmY * 25.4 / 1440.0);
            break;
        case vqMM_POINTS:
            SetLogicalScale(mmX * 25.4 / 72.0, mmY * 25.4 / 72.0);
            break;
        case vqMM_METRIC:
            SetLogicalScale(mmX, mmY);
            break;
        default:
            SetLogicalScale(1.0, 1.0);
            break;
    }
    m_mapMode = mode;
}

void vqDCBase::GetUserScale(double* x, double* y) const {
    if (x) *x = m_userScaleX;
    if (y) *y = m_userScaleY;
}

void vqDCBase::SetUserScale(double x, double y) {
    m_userScaleX = x, m_userScaleY = y;
    ComputeScaleAndOrigin();
}

void vqDCBase::GetLogicalScale(double* x, double* y) const {
    if (x) *x = m_logicalScaleX;
    if (y) *y = m_logicalScaleY;
}

void vqDCBase::SetLogicalScale(double x, double y) {
    m_logicalScaleX = x, m_logicalScaleY = y;
    ComputeScaleAndOrigin();
}

void vqDCBase::SetLogicalOrigin(int x, int y) {
    m_logicalOriginX = ClampToInt(static_cast<long long>(x) * m_axisSignX);
    m_logicalOriginY = ClampToInt(static_cast<long long>(y) * m_axisSignY);
    ComputeScaleAndOrigin();
}

void vqDCBase::SetDeviceOrigin(int x, int y) {
    m_deviceOriginX = x, m_deviceOriginY = y;
    ComputeScaleAndOrigin();
}

void vqDCBase::ComputeScaleAndOrigin() {
    m_scaleX = m_logicalScaleX * m_userScaleX;
    m_scaleY = m_logicalScaleY * m_userScaleY;
}

void vqDCBase::SetAxisOrientation(bool xLeftRight, bool yBottomUp) {
    m_axisSignX = xLeftRight ? 1 : -1;
    m_axisSignY = yBottomUp ? -1 : 1;
    ComputeScaleAndOrigin();
}

int vqDCBase::LogicalToDeviceX(int x) const {
    const long long d = static_cast<long long>(x) - m_logicalOriginX;
    return ClampToInt(m_deviceOriginX +
                      m_axisSignX * static_cast<long long>(RoundScaled(d * m_scaleX, d)));
}
int vqDCBase::LogicalToDeviceY(int y) const {
    const long long d = static_cast<long long>(y) - m_logicalOriginY;
    return ClampToInt(m_deviceOriginY +
                      m_axisSignY * static_cast<long long>(RoundScaled(d * m_scaleY, d)));
}
int vqDCBase::LogicalToDeviceXRel(int x) const { return RoundScaled(x * m_scaleX, x); }
int vqDCBase::LogicalToDeviceYRel(int y) const { return RoundScaled(y * m_scaleY, y); }
int vqDCBase::DeviceToLogicalX(int x) const {
    if (m_scaleX == 0) return m_logicalOriginX;
    const long long d = static_cast<long long>(x) - m_deviceOriginX;
    return ClampToInt(m_logicalOriginX +
                      m_axisSignX * static_cast<long long>(RoundScaled(d / m_scaleX, d)));
}
int vqDCBase::DeviceToLogicalY(int y) const {
    if (m_scaleY == 0) return m_logicalOriginY;
    const long long d = static_cast<long long>(y) - m_deviceOriginY;
    return ClampToInt(m_logicalOriginY +
                      m_axisSignY * static_cast<long long>(RoundScaled(d / m_scaleY, d)));
}
int vqDCBase::DeviceToLogicalXRel(int x) const {
    return m_scaleX == 0 ? 0 : RoundScaled(x / m_scaleX, x);
}
int vqDCBase::DeviceToLogicalYRel(int y) const {
    return m_scaleY == 0 ? 0 : RoundScaled(y / m_scaleY, y);
}

void vqDCBase::DoDrawCheckMark(int x, int y, int width, int height) {
    // A short stroke down to a third of the width, then a long one up to the corner;
    // sums saturate at the int range.
    const long long lx = x, ly = y;
    const int x1 = x, y1 = ClampToInt(ly + height / 2);
    const int x2 = ClampToInt(lx + width / 3), y2 = ClampToInt(ly + height);
    const int x3 = ClampToInt(lx + width), y3 = y;
    DoDrawLine(x1, y1, x2, y2);
    DoDrawLine(x2, y2, x3, y3);
    CalcBoundingBox(x, y);
    CalcBoundingBox(x3, y2);
}

void vqDCBase::DoDrawLines(int n, vqPoint points[], int xoffset, int yoffset) {
    for (int i = 0; i + 1 < n; ++i)
        DoDrawLine(ClampToInt(static_cast<long long>(points[i].x) + xoffset),
                   ClampToInt(static_cast<long long>(points[i].y) + yoffset),
                   ClampToInt(static_cast<long long>(points[i + 1].x) + xoffset),
                   ClampToInt(static_cast<long long>(points[i + 1].y) + yoffset));
}

void vqDCBase::DoGetSize(int* width, int* height) const {
    if (width) *width = 0;
    if (height) *height = 0;
}

void vqDCBase::DoGetSizeMM(int* width, int* height) const {
    int w = 0, h = 0;
    DoGetSize(&w, &h);
    vqSize ppi = GetPPI();
    if (width) *width = ppi.x ? static_cast<int>(w * 25.4 / ppi.x) : 0;
    if (height) *height = ppi.y ? static_cast<int>(h * 25.4 / ppi.y) : 0;
}

void vqDCBase::DoGetClippingBox(int* x, int* y, int* w, int* h) const {
    if (x) *x = 0;
    if (y) *y = 0;
    DoGetSize(w, h);
}

void vqDCBase::DoGetLogicalOrigin(int* x, int* y) const {
    if (x) *x = m_logicalOriginX;
    if (y) *y = m_logicalOriginY;
}

void vqDCBase::DoGetDeviceOrigin(int* x, int* y) const {
    if (x) *x = m_deviceOriginX;
    if (y) *y = m_deviceOriginY;
}

void vqDCBase::DoGetTextExtent(const vqString&, int* x, int* y, int* descent, int* externalLeading,
                               const vqFont*) const {
    if (x) *x = 0;
    if (y) *y = 0;
    if (descent) *descent = 0;
    if (externalLeading) *externalLeading = 0;
}

VQ_IMPLEMENT_ABSTRACT_CLASS(vqDC, vqObject)

vqDC::~vqDC() {}
