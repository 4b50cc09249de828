// What the PNG handler needs from a codec: reading a file's header and pixels into
// 8-bit RGBA, and encoding a bitmap into a stream. One backend per system
// (libpng_png.cpp, wic_png.cpp; CMake builds the one that fits); png_handler.cpp
// holds what both share. Not installed.
#ifndef VQ_TOOLKIT_PNG_CODEC_H
#define VQ_TOOLKIT_PNG_CODEC_H

#include <cstddef>

#include "vq/file.h"
#include "vq/gdi.h"

namespace vqpng {

// The 8 bytes every PNG file starts with.
extern const unsigned char kSignature[8];

// A picture read from a file: its size from the header, whether it has alpha (an
// alpha channel or a tRNS chunk), and the pixels when they were asked for.
struct Picture {
    vqBitmap bitmap;
    unsigned long width = 0, height = 0;
    bool alpha = false;
};

// Opens a regular file and reads its signature. Returns the descriptor, positioned
// after the signature, which the caller closes; -1 with the reason in *error when
// the file cannot be opened or is not a PNG file.
int OpenPngFile(const vqString& fileName, unsigned long long* size, vqString* error);

// The reason a picture of width x height is refused when more than maxPixels are allowed.
vqString TooManyPixels(unsigned long width, unsigned long height, size_t maxPixels);

// Reads a PNG file: the header, then, when maxPixels is not zero, the pixels into
// out->bitmap unless the header gives more than maxPixels. Every chunk but IHDR,
// PLTE, tRNS, IDAT and IEND is skipped unread. False with the reason in *error.
bool ReadFile(const vqString& fileName, size_t maxPixels, Picture* out, vqString* error);

// Encodes a bitmap with data into the stream, RGBA when it has alpha, else RGB.
// False with the reason in *reason.
bool Encode(const vqBitmap& bitmap, vqFileOutputStream* out, vqString* reason);

}  // namespace vqpng

#endif
