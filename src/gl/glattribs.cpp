#include "glattribs.h"

#include <cstring>

PIXELFORMATDESCRIPTOR DefaultPixelFormatRequest() {
    PIXELFORMATDESCRIPTOR request;
    std::memset(&request, 0, sizeof request);
    request.nSize = sizeof(PIXELFORMATDESCRIPTOR);
    request.nVersion = 1;
    request.dwFlags = PFD_DRAW_TO_WINDOW | PFD_SUPPORT_OPENGL | PFD_DOUBLEBUFFER;
    request.iPixelType = PFD_TYPE_RGBA;
    request.cColorBits = 16;
    request.cDepthBits = 16;
    request.iLayerType = PFD_MAIN_PLANE;
    return request;
}

void ApplyAttributeList(PIXELFORMATDESCRIPTOR* request, const int* attribList) {
    if (!attribList) return;
    request->iPixelType = PFD_TYPE_COLORINDEX;
    request->dwFlags &= ~PFD_DOUBLEBUFFER;
    request->cColorBits = 0;
    for (const int* p = attribList; *p != 0;) {
        int code = *p++;
        // Codes with a value read it here; the descriptor's fields are bytes.
        auto value = [&p]() { return *p++; };
        switch (code) {
            case 1:
                request->iPixelType = PFD_TYPE_RGBA;
                break;
            case 2:
                request->cColorBits = BYTE(value());
                break;
            case 3: {
                int layer = value();
                request->iLayerType = layer > 0 ? BYTE(1) : layer < 0 ? BYTE(0xFF) : BYTE(0);
                break;
            }
            case 4:
                request->dwFlags |= PFD_DOUBLEBUFFER;
                break;
            case 5:
                request->dwFlags |= PFD_STEREO;
                break;
            case 6:
                request->cAuxBuffers = BYTE(value());
                break;
            case 7:
                request->cRedBits = BYTE(value());
                request->cColorBits = BYTE(request->cColorBits + request->cRedBits);
                break;
            case 8:
                request->cGreenBits = BYTE(value());
                request->cColorBits = BYTE(request->cColorBits + request->cGreenBits);
                break;
            case 9:
                request->cBlueBits = BYTE(value());
                request->cColorBits = BYTE(request->cColorBits + request->cBlueBits);
                break;
            case 10:
                request->cAlphaBits = BYTE(value());
                break;
            case 11:
                request->cDepthBits = BYTE(value());
                break;
            case 12:
                request->cStencilBits = BYTE(value());
                break;
            case 13:
                request->cAccumRedBits = BYTE(value());
                request->cAccumBits = BYTE(request->cAccumBits + request->cAccumRedBits);
                break;
            case 14:
                request->cAccumGreenBits = BYTE(value());
                request->cAccumBits = BYTE(request->cAccumBits + request->cAccumGreenBits);
                break;
            case 15:
                request->cAccumBlueBits = BYTE(value());
                request->cAccumBits = BYTE(request->cAccumBits + request->cAccumBlueBits);
                break;
            case 16:
                request->cAccumAlphaBits = BYTE(value());
                request->cAccumBits = BYTE(request->cAccumBits + request->cAccumAlphaBits);
                break;
            default:
                // An unknown code is skipped alone; the next element is read as a code.
                break;
        }
    }
}

std::vector<PALETTEENTRY> DefaultPaletteEntries(const PIXELFORMATDESCRIPTOR& format) {
    std::vector<PALETTEENTRY> entries;
    if (format.cColorBits > 8) return entries;
    const int n = 1 << format.cColorBits;
    const int redMask = (1 << format.cRedBits) - 1;
    const int greenMask = (1 << format.cGreenBits) - 1;
    const int blueMask = (1 << format.cBlueBits) - 1;
    // A channel without bits maps to 0.
    auto channel = [](int i, int shift, int mask) {
        return mask ? BYTE(((i >> shift) & mask) * 255 / mask) : BYTE(0);
    };
    entries.resize(n);
    for (int i = 0; i < n; ++i) {
        PALETTEENTRY& e = entries[i];
        e.peRed = channel(i, format.cRedShift, redMask);
        e.peGreen = channel(i, format.cGreenShift, greenMask);
        e.peBlue = channel(i, format.cBlueShift, blueMask);
        e.peFlags = 0;
    }
    return entries;
}
