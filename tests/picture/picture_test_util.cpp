#include "picture_test_util.h"

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "vq/image.h"
#include "vq/pnghandler.h"

namespace picturetest {

ScratchDir::ScratchDir() {
    char templ[] = "/tmp/vq-picture-XXXXXX";
    const char* made = mkdtemp(templ);
    m_path = made ? made : "/tmp";
}

ScratchDir::~ScratchDir() {
    if (m_path == "/tmp") return;
    if (DIR* dir = opendir(m_path.c_str())) {
        while (dirent* entry = readdir(dir)) {
            std::string name = entry->d_name;
            if (name != "." && name != "..") unlink(File(name).c_str());
        }
        closedir(dir);
    }
    rmdir(m_path.c_str());
}

void ScratchDir::Write(const std::string& name, const std::string& content) const {
    FILE* f = fopen(File(name).c_str(), "wb");
    ASSERT_NE(f, nullptr) << File(name);
    fwrite(content.data(), 1, content.size(), f);
    fclose(f);
}

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

vqString V(const std::string& utf8) { return vqString::FromUTF8(utf8); }

}  // namespace picturetest
