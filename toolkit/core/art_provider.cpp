#include "vq/art_provider.h"

#include <cmath>
#include <memory>

namespace {

const int kMaxArtSide = 4096;

std::vector<std::unique_ptr<vqArtProvider>>& Providers() {
    static std::vector<std::unique_ptr<vqArtProvider>> providers;
    return providers;
}

struct Rgba {
    unsigned char r, g, b, a;
};

const Rgba kClear = {0, 0, 0, 0};
const Rgba kWhite = {255, 255, 255, 255};

// Distance from point p to the segment a-b, all in unit coordinates.
double SegmentDistance(double px, double py, double ax, double ay, double bx, double by) {
    double dx = bx - ax, dy = by - ay;
    double len2 = dx * dx + dy * dy;
    double t = len2 > 0 ? ((px - ax) * dx + (py - ay) * dy) / len2 : 0;
    t = t < 0 ? 0 : t > 1 ? 1 : t;
    double qx = ax + t * dx - px, qy = ay + t * dy - py;
    return std::sqrt(qx * qx + qy * qy);
}

// The colour of one built-in picture at unit coordinates (u, v), (0, 0) top left.
Rgba BuiltInPixel(int kind, double u, double v) {
    double cu = u - 0.5, cv = v - 0.5;
    double radius = std::sqrt(cu * cu + cv * cv);
    switch (kind) {
        case 0: {  // error: a red disc with a white cross
            if (radius > 0.46) return kClear;
            if (radius < 0.3 && (std::fabs(cu - cv) < 0.1 || std::fabs(cu + cv) < 0.1))
                return kWhite;
            return {204, 0, 0, 255};
        }
        case 1: {  // warning: a yellow triangle with a black exclamation mark
            double halfWidth = 0.46 * (v - 0.06) / 0.88;
            if (v < 0.06 || v > 0.94 || std::fabs(cu) > halfWidth) return kClear;
            if (SegmentDistance(u, v, 0.5, 0.35, 0.5, 0.68) < 0.06 ||
                SegmentDistance(u, v, 0.5, 0.82, 0.5, 0.82) < 0.06)
                return {0, 0, 0, 255};
            return {240, 200, 0, 255};
        }
        case 2: {  // information: a blue disc with a white "i"
            if (radius > 0.46) return kClear;
            if (SegmentDistance(u, v, 0.5, 0.45, 0.5, 0.75) < 0.07 ||
                SegmentDistance(u, v, 0.5, 0.27, 0.5, 0.27) < 0.07)
                return kWhite;
            return {0, 80, 200, 255};
        }
        default: {  // missing image: a white page in a grey frame, crossed out in red
            if (u < 0.06 || u > 0.94 || v < 0.06 || v > 0.94) return kClear;
            if (u < 0.14 || u > 0.86 || v < 0.14 || v > 0.86) return {128, 128, 128, 255};
            if (std::fabs(cu - cv) < 0.07 || std::fabs(cu + cv) < 0.07) return {220, 0, 0, 255};
            return kWhite;
        }
    }
}

int BuiltInKind(const vqString& id) {
    if (id == vqART_ERROR) return 0;
    if (id == vqART_WARNING) return 1;
    if (id == vqART_INFORMATION) return 2;
    if (id == vqART_MISSING_IMAGE) return 3;
    return -1;
}

vqBitmap DrawBuiltIn(int kind, const vqSize& size) {
    vqBitmap bitmap(size.x, size.y, 32);
    bitmap.SetHasAlpha(true);
    unsigned char* data = bitmap.GetWritableData();
    for (int y = 0; y < size.y; ++y) {
        for (int x = 0; x < size.x; ++x) {
            Rgba c = BuiltInPixel(kind, (x + 0.5) / size.x, (y + 0.5) / size.y);
            unsigned char* p = data + (static_cast<size_t>(y) * size.x + x) * 4;
            p[0] = c.r, p[1] = c.g, p[2] = c.b, p[3] = c.a;
        }
    }
    return bitmap;
}

}  // namespace

vqArtProvider::~vqArtProvider() {}

void vqArtProvider::Push(vqArtProvider* provider) {
    if (provider) Providers().emplace_back(provider);
}

bool vqArtProvider::Delete(vqArtProvider* provider) {
    auto& providers = Providers();
    for (auto it = providers.begin(); it != providers.end(); ++it) {
        if (it->get() == provider) {
            providers.erase(it);
            return true;
        }
    }
    return false;
}

vqSize vqArtProvider::GetSizeHint(const vqString& client) {
    return client == vqART_MESSAGE_BOX_C ? vqSize(32, 32) : vqSize(16, 16);
}

bool vqArtProvider::IsBuiltIn(const vqString& id) { return BuiltInKind(id) >= 0; }

vqBitmap vqArtProvider::GetBitmap(const vqString& id, const vqString& client, const vqSize& size) {
    vqSize hint = GetSizeHint(client);
    vqSize wanted(size.x == -1 ? hint.x : size.x, size.y == -1 ? hint.y : size.y);
    if (wanted.x <= 0 || wanted.y <= 0 || wanted.x > kMaxArtSide || wanted.y > kMaxArtSide)
        return vqBitmap();
    auto& providers = Providers();
    for (auto it = providers.rbegin(); it != providers.rend(); ++it) {
        vqBitmap bitmap = (*it)->CreateBitmap(id, client, wanted);
        if (bitmap.Ok()) return bitmap;
    }
    int kind = BuiltInKind(id);
    return kind < 0 ? vqBitmap() : DrawBuiltIn(kind, wanted);
}
