// The pixel account of one loaded resource file: what reading and scaling its
// bitmaps has cost so far, and the bitmaps made from files, kept for reuse.
#ifndef VQ_RESOURCE_BITMAP_ACCOUNT_H
#define VQ_RESOURCE_BITMAP_ACCOUNT_H

#include <sys/stat.h>

#include <map>
#include <string>
#include <tuple>

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
        dev_t device;
        ino_t inode;
        off_t size;
        struct timespec modified;
        vqBitmap bitmap;
    };

    // Pixels charged so far; never above vqXML_RESOURCE_MAX_FILE_PIXELS.
    size_t pixels = 0;
    std::map<Key, Kept> kept;

    size_t Left() const { return vqXML_RESOURCE_MAX_FILE_PIXELS - pixels; }
    // The kept bitmap for a key when the file is still the one it was read from.
    const vqBitmap* Find(const Key& key, const struct stat& st) const {
        auto it = kept.find(key);
        if (it == kept.end()) return nullptr;
        const Kept& k = it->second;
        bool same = k.device == st.st_dev && k.inode == st.st_ino && k.size == st.st_size &&
                    k.modified.tv_sec == st.st_mtim.tv_sec &&
                    k.modified.tv_nsec == st.st_mtim.tv_nsec;
        return same ? &k.bitmap : nullptr;
    }
    void Keep(const Key& key, const struct stat& st, const vqBitmap& bitmap) {
        kept[key] = Kept{st.st_dev, st.st_ino, st.st_size, st.st_mtim, bitmap};
    }
};

#endif
