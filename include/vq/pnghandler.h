// vqPNGHandler: reads and writes PNG files (libpng, or WIC on Windows), RGBA with 8 bits a channel.
//
// Register one with vqImage::AddHandler, which takes ownership; vqBitmap::SaveFile
// and vqBitmap::LoadFile with vqBITMAP_TYPE_PNG then reach it.
#ifndef VQ_PNGHANDLER_H
#define VQ_PNGHANDLER_H

#include "vq/image.h"

// The most pixels a PNG file may have to be read (64 Mi, 8192 x 8192): a larger one is
// refused from its header, before a single row is decoded.
constexpr size_t vqPNG_MAX_PIXELS = size_t(64) * 1024 * 1024;

class VQ_CORE_API vqPNGHandler : public vqImageHandler {
public:
    // Name "PNG file", extension "png", type vqBITMAP_TYPE_PNG, MIME type "image/png".
    vqPNGHandler();
    ~vqPNGHandler() override;

    const vqString& GetExtension() const { return m_extension; }
    const vqString& GetMimeType() const { return m_mimeType; }

    // Writes RGBA when the bitmap has alpha, else RGB. A bitmap without data, an
    // unwritable path or a failing write give false and one logged error naming the file.
    bool SaveFile(const vqBitmap& bitmap, const vqString& fileName) override;
    // The same into an open stream, which the caller closes (and checks).
    bool SaveStream(const vqBitmap& bitmap, vqFileOutputStream& stream,
                    const vqString& fileName) override;
    // Reads any PNG (palette, grey, 16-bit, interlaced) into 8-bit RGBA, replacing the
    // bitmap's data; the alpha flag follows the file. Every chunk but IHDR, PLTE, tRNS,
    // IDAT and IEND is skipped unread, whatever length it declares. False and a logged
    // error when the file cannot be opened, is not a regular file, is not a valid PNG
    // or has more than vqPNG_MAX_PIXELS pixels; the bitmap is then unchanged.
    bool LoadFile(vqBitmap* bitmap, const vqString& fileName) override;
    // As LoadFile, but refuses a picture of more than maxPixels pixels (0 or anything
    // above vqPNG_MAX_PIXELS means vqPNG_MAX_PIXELS) and logs nothing: on failure the
    // reason goes to *error (when given). Only regular files are opened, so a FIFO or a
    // device never blocks the caller.
    static bool Read(const vqString& fileName, size_t maxPixels, vqBitmap* bitmap, vqString* error);
    // The width and height of a PNG file, from its header alone (nothing is decoded).
    // False with the reason in *error (when given), nothing logged.
    static bool ReadSize(const vqString& fileName, vqSize* size, vqString* error);
    // True when the bytes start with the PNG signature.
    bool CanRead(const unsigned char* header, size_t size) const override;

private:
    vqString m_extension;
    vqString m_mimeType;
};

#endif
