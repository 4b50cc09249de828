#include "picture_test_util.h"

#include <png.h>

#include <cstdio>
#include <cstdlib>

#include "vq/image.h"
#include "vq/pnghandler.h"

namespace picturetest {

vqBitmap TwoColourBitmap(int width, int height) {
    vqBitmap bitmap(width, height, 32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, x < width / 2 ? vqColour(255, 0, 0) : vqColour(0, 0, 255));
    return bitmap;
}

bool SavePng(const vqBitmap& bitmap, const std::string& path) {
    if (!vqImage::FindHandler(vqBITMAP_TYPE_PNG)) vqImage::AddHandler(new vqPNGHandler);
    return bitmap.SaveFile(V(path), vqBITMAP_TYPE_PNG);
}

namespace {

bool WriteBlackRows(FILE* file, int width, int height) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        return false;
    }
    std::vector<png_byte> row((static_cast<size_t>(width) + 7) / 8, 0);
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        return false;
    }
    png_init_io(png, file);
    png_set_compression_level(png, 9);
    png_set_IHDR(png, info, width, height, 1, PNG_COLOR_TYPE_GRAY, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_write_info(png, info);
    for (int y = 0; y < height; ++y) png_write_row(png, row.data());
    png_write_end(png, nullptr);
    png_destroy_write_struct(&png, &info);
    return true;
}

}  // namespace

bool WriteBlackPng(const std::string& path, int width, int height) {
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    bool ok = WriteBlackRows(file, width, height);
    return fclose(file) == 0 && ok;
}

vqString V(const std::string& utf8) { return vqString::FromUTF8(utf8); }

}  // namespace picturetest
