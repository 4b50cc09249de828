#include "vq/pnghandler.h"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "png_codec.h"
#include "vq/file.h"
#include "vq/log.h"

namespace vqpng {

const unsigned char kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1a, '\n'};

int OpenPngFile(const vqString& fileName, unsigned long long* size, vqString* error) {
    int fd = vqFile::OpenRegular(fileName, size, error);
    if (fd < 0) return -1;
    unsigned char signature[sizeof kSignature] = {0};
    size_t got = 0;
    while (got < sizeof signature) {
        const auto n = ::read(fd, signature + got, static_cast<unsigned>(sizeof signature - got));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        got += static_cast<size_t>(n);
    }
    if (got < sizeof signature || memcmp(signature, kSignature, sizeof signature) != 0) {
        ::close(fd);
        *error = vqT("not a PNG file.");
        return -1;
    }
    return fd;
}

vqString TooManyPixels(unsigned long width, unsigned long height, size_t maxPixels) {
    char text[160];
    snprintf(text, sizeof text, "the picture is %lu x %lu pixels, more than the %lu allowed", width,
             height, static_cast<unsigned long>(maxPixels));
    return vqString::FromUTF8(text);
}

}  // namespace vqpng

vqPNGHandler::vqPNGHandler()
    : vqImageHandler(vqT("PNG file"), vqBITMAP_TYPE_PNG),
      m_extension(vqT("png")),
      m_mimeType(vqT("image/png")) {}

vqPNGHandler::~vqPNGHandler() {}

bool vqPNGHandler::CanRead(const unsigned char* header, size_t size) const {
    return header && size >= sizeof vqpng::kSignature &&
           memcmp(header, vqpng::kSignature, sizeof vqpng::kSignature) == 0;
}

bool vqPNGHandler::SaveFile(const vqBitmap& bitmap, const vqString& fileName) {
    if (!bitmap.Ok()) {
        vqLogError(vqT("Cannot write PNG file '%s': the bitmap has no data."), fileName.c_str());
        return false;
    }
    vqFileOutputStream out(fileName);
    if (!out.IsOk()) {
        vqLogError(vqT("Cannot write PNG file '%s': %s"), fileName.c_str(),
                   vqErrnoText(out.GetLastErrno()).c_str());
        return false;
    }
    vqString reason;
    bool ok = vqpng::Encode(bitmap, &out, &reason);
    if (!out.Close() && ok) ok = false, reason = vqErrnoText(out.GetLastErrno());
    if (!ok) {
        vqLogError(vqT("Cannot write PNG file '%s': %s"), fileName.c_str(), reason.c_str());
        // Leave no truncated picture behind, but never unlink a device or anything else.
        const std::filesystem::path path = std::filesystem::u8path(fileName.ToUTF8());
        std::error_code error;
        if (std::filesystem::symlink_status(path, error).type() ==
            std::filesystem::file_type::regular)
            std::filesystem::remove(path, error);
    }
    return ok;
}

bool vqPNGHandler::SaveStream(const vqBitmap& bitmap, vqFileOutputStream& stream,
                              const vqString& fileName) {
    if (!bitmap.Ok()) {
        vqLogError(vqT("Cannot write PNG file '%s': the bitmap has no data."), fileName.c_str());
        return false;
    }
    vqString reason;
    if (vqpng::Encode(bitmap, &stream, &reason)) return true;
    vqLogError(vqT("Cannot write PNG file '%s': %s"), fileName.c_str(), reason.c_str());
    return false;
}

bool vqPNGHandler::ReadSize(const vqString& fileName, vqSize* size, vqString* error) {
    vqpng::Picture picture;
    vqString reason;
    if (!vqpng::ReadFile(fileName, 0, &picture, &reason)) {
        if (error) *error = reason;
        return false;
    }
    if (size) *size = vqSize(static_cast<int>(picture.width), static_cast<int>(picture.height));
    return true;
}

bool vqPNGHandler::Read(const vqString& fileName, size_t maxPixels, vqBitmap* bitmap,
                        vqString* error) {
    vqpng::Picture picture;
    vqString reason;
    maxPixels = maxPixels == 0 || maxPixels > vqPNG_MAX_PIXELS ? vqPNG_MAX_PIXELS : maxPixels;
    if (!vqpng::ReadFile(fileName, maxPixels, &picture, &reason)) {
        if (error) *error = reason;
        return false;
    }
    picture.bitmap.SetHasAlpha(picture.alpha);
    if (bitmap) *bitmap = picture.bitmap;
    return true;
}

bool vqPNGHandler::LoadFile(vqBitmap* bitmap, const vqString& fileName) {
    if (!bitmap) return false;
    vqString reason;
    if (!Read(fileName, vqPNG_MAX_PIXELS, bitmap, &reason)) {
        vqLogError(vqT("Cannot read PNG file '%s': %s"), fileName.c_str(), reason.c_str());
        return false;
    }
    return true;
}
