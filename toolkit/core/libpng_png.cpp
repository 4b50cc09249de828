// PNG through libpng.
#include <png.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

#include "png_codec.h"
#include "vq/pnghandler.h"

namespace {

// Carries libpng's error text out of its callbacks.
struct PngError {
    char message[256];
};

void OnPngError(png_structp png, png_const_charp message) {
    PngError* error = static_cast<PngError*>(png_get_error_ptr(png));
    snprintf(error->message, sizeof error->message, "%s", message ? message : "libpng error");
    png_longjmp(png, 1);
}

void OnPngWarning(png_structp, png_const_charp) {}

// Passes libpng's output to the stream; a failing write ends the encoding.
void WriteToStream(png_structp png, png_bytep data, png_size_t length) {
    vqFileOutputStream* out = static_cast<vqFileOutputStream*>(png_get_io_ptr(png));
    if (!out->Write(data, length).IsOk()) png_error(png, strerror(out->GetLastErrno()));
}

void FlushStream(png_structp) {}

// Writes the rows to a stream; false with the reason in error.
bool WritePng(vqFileOutputStream* out, png_bytep* rows, int width, int height, bool alpha,
              PngError* error) {
    png_structp png =
        png_create_write_struct(PNG_LIBPNG_VER_STRING, error, OnPngError, OnPngWarning);
    if (!png) {
        snprintf(error->message, sizeof error->message, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        snprintf(error->message, sizeof error->message, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_set_write_fn(png, out, WriteToStream, FlushStream);
    // Favour speed: side files are written while drawing.
    png_set_compression_level(png, 1);
    png_set_IHDR(png, info, width, height, 8, alpha ? PNG_COLOR_TYPE_RGBA : PNG_COLOR_TYPE_RGB,
                 PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

// Decoded picture; filled through a pointer so it survives libpng's longjmp.
struct Decoded {
    PngError error;
    vqBitmap bitmap;
    std::vector<png_bytep> rows;
    png_uint_32 width = 0, height = 0;
    bool alpha = false;
};

void SetError(PngError* error, const char* message) {
    snprintf(error->message, sizeof error->message, "%s", message);
}

// The most bytes of one chunk held in memory. Only IHDR, PLTE (768 bytes), tRNS (256)
// and the streamed IDAT are read; every other chunk is skipped unread.
const png_alloc_size_t kPngMaxChunkBytes = 64 * 1024;

// Bounds what a file can make libpng hold: no side beyond the largest picture any read
// accepts, no ancillary chunk (text, palettes, profiles, unknown) allocated or kept, so
// a chunk that declares 2 GiB costs a skip through the file, not 2 GiB of memory.
void LimitReading(png_structp png) {
    png_set_user_limits(png, static_cast<png_uint_32>(vqPNG_MAX_PIXELS),
                        static_cast<png_uint_32>(vqPNG_MAX_PIXELS));
    png_set_chunk_malloc_max(png, kPngMaxChunkBytes);
    // NOTE: a cache limit of 1 makes libpng drop every text and sPLT chunk it meets.
    png_set_chunk_cache_max(png, 1);
    // A negative count means every chunk but IHDR, PLTE, tRNS, IDAT and IEND.
    png_set_keep_unknown_chunks(png, PNG_HANDLE_CHUNK_NEVER, nullptr, -1);
}

// Reads a PNG whose 8 signature bytes were already consumed: the header, then, when
// maxPixels is not zero, the pixels into out->bitmap unless the header gives more than
// maxPixels. False with the reason.
bool ReadPng(FILE* file, size_t maxPixels, Decoded* out) {
    png_structp png =
        png_create_read_struct(PNG_LIBPNG_VER_STRING, &out->error, OnPngError, OnPngWarning);
    if (!png) {
        SetError(&out->error, "out of memory");
        return false;
    }
    png_infop info = png_create_info_struct(png);
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        SetError(&out->error, "out of memory");
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    png_init_io(png, file);
    png_set_sig_bytes(png, 8);
    LimitReading(png);
    png_read_info(png, info);
    out->width = png_get_image_width(png, info);
    out->height = png_get_image_height(png, info);
    int colourType = png_get_color_type(png, info);
    out->alpha = (colourType & PNG_COLOR_MASK_ALPHA) || png_get_valid(png, info, PNG_INFO_tRNS);
    if (maxPixels == 0) {
        png_destroy_read_struct(&png, &info, nullptr);
        return true;
    }
    // Refuse from the header, before a single row is decoded.
    const size_t pixels = static_cast<size_t>(out->width) * out->height;
    if (pixels > maxPixels) {
        SetError(&out->error,
                 vqpng::TooManyPixels(out->width, out->height, maxPixels).ToUTF8().c_str());
        png_destroy_read_struct(&png, &info, nullptr);
        return false;
    }
    // Normalise every layout to 8-bit RGBA.
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    if (png_get_rowbytes(png, info) != static_cast<size_t>(out->width) * 4)
        png_error(png, "unexpected row layout");
    // Decode straight into the bitmap: one copy of the pixels, not two.
    unsigned char* rgba = nullptr;
    try {
        out->bitmap = vqBitmap(static_cast<int>(out->width), static_cast<int>(out->height), 32);
        rgba = out->bitmap.GetWritableData();
        out->rows.resize(out->height);
    } catch (const std::exception&) {
        rgba = nullptr;
    }
    if (!rgba) png_error(png, "out of memory for the picture");
    for (png_uint_32 y = 0; y < out->height; ++y)
        out->rows[y] = rgba + static_cast<size_t>(y) * out->width * 4;
    png_read_image(png, out->rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}

}  // namespace

namespace vqpng {

bool ReadFile(const vqString& fileName, size_t maxPixels, Picture* out, vqString* error) {
    int fd = OpenPngFile(fileName, nullptr, error);
    if (fd < 0) return false;
    FILE* file = fdopen(fd, "rb");
    if (!file) {
        *error = vqErrnoText(errno);
        close(fd);
        return false;
    }
    Decoded decoded;
    decoded.error.message[0] = 0;
    bool ok = ReadPng(file, maxPixels, &decoded);
    fclose(file);
    if (!ok) {
        *error = vqString::FromUTF8(decoded.error.message);
        return false;
    }
    out->bitmap = decoded.bitmap;
    out->width = decoded.width;
    out->height = decoded.height;
    out->alpha = decoded.alpha;
    return true;
}

// Encodes a bitmap with data into the stream; false with the reason.
bool Encode(const vqBitmap& bitmap, vqFileOutputStream* out, vqString* reason) {
    const int width = bitmap.GetWidth(), height = bitmap.GetHeight();
    const bool alpha = bitmap.HasAlpha();
    const unsigned char* rgba = bitmap.GetData();
    // Without alpha the rows are packed to RGB; with it they are written as held.
    std::vector<unsigned char> rgb;
    std::vector<png_bytep> rows(height);
    if (alpha) {
        for (int y = 0; y < height; ++y)
            rows[y] = const_cast<png_bytep>(rgba + static_cast<size_t>(y) * width * 4);
    } else {
        rgb.resize(static_cast<size_t>(width) * height * 3);
        for (size_t i = 0, n = static_cast<size_t>(width) * height; i < n; ++i)
            memcpy(&rgb[i * 3], rgba + i * 4, 3);
        for (int y = 0; y < height; ++y) rows[y] = rgb.data() + static_cast<size_t>(y) * width * 3;
    }
    PngError error;
    error.message[0] = 0;
    if (WritePng(out, rows.data(), width, height, alpha, &error) && out->IsOk()) return true;
    *reason =
        error.message[0] ? vqString::FromUTF8(error.message) : vqErrnoText(out->GetLastErrno());
    return false;
}

}  // namespace vqpng
