// The pixel account of one loaded resource file: what reading and scaling its
// bitmaps has cost so far, and the bitmaps made from files, kept for reuse.
#ifndef VQ_RESOURCE_BITMAP_ACCOUNT_H
#define VQ_RESOURCE_BITMAP_ACCOUNT_H

#include <map>
#include <string>
#include <tuple>

#include "file_stamp.h"
#include "vq/xml_resource.h"

struct vqXmlResource::BitmapAccount {
    // A bitmap file asked for at one size (as the node asked, -1 for a free side).
    struct Key {
        std::string path;
        int width, height;
        bool operator<(const Key& other) const {
            return std::tie(path, width, height) < std::tie(other.path, other.width, other.height);
        }
    };
    // The result, and the file it came from as it was then.
    struct Kept {
        vqres::FileStamp file;
        vqBitmap bitmap;
    };

    // Pixels charged so far; never above vqXML_RESOURCE_MAX_FILE_PIXELS.
    size_t pixels = 0;
    std::map<Key, Kept> kept;

    size_t Left() const { return vqXML_RESOURCE_MAX_FILE_PIXELS - pixels; }
    // The kept bitmap for a key when the file is still the one it was read from.
    const vqBitmap* Find(const Key& key, const vqres::FileStamp& file) const {
        auto it = kept.find(key);
        return it != kept.end() && it->second.file == file ? &it->second.bitmap : nullptr;
    }
    void Keep(const Key& key, const vqres::FileStamp& file, const vqBitmap& bitmap) {
        kept[key] = Kept{file, bitmap};
    }
};

#endif
