// vqPNGHandler: reads and writes PNG files (libpng), RGBA with 8 bits a channel.
//
// Register one with vqImage::AddHandler, which takes ownership; vqBitmap::SaveFile
// and vqBitmap::LoadFile with vqBITMAP_TYPE_PNG then reach it.
#ifndef VQ_PNGHANDLER_H
#define VQ_PNGHANDLER_H

#include "vq/image.h"

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
    // bitmap's data; the alpha flag follows the file. False and a logged error when
    // the file cannot be opened or is not a valid PNG; the bitmap is then unchanged.
    bool LoadFile(vqBitmap* bitmap, const vqString& fileName) override;
    // True when the bytes start with the PNG signature.
    bool CanRead(const unsigned char* header, size_t size) const override;

private:
    vqString m_extension;
    vqString m_mimeType;
};

#endif
