// The showcase: writes a sample of every library's output into showcase-out/
// (or the directory given as the first argument) and prints where it went.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "showcase.h"

namespace showcase {
namespace {
struct Part {
    int order;
    const char* name;
    PartFn fn;
};
std::vector<Part>& Parts() {
    static std::vector<Part> parts;
    return parts;
}
}  // namespace

Registrar::Registrar(int order, const char* name, PartFn fn) {
    Parts().push_back({order, name, fn});
}

}  // namespace showcase

int main(int argc, char** argv) {
    std::string outDir = argc > 1 ? argv[1] : "showcase-out";
    mkdir(outDir.c_str(), 0777);
    auto parts = showcase::Parts();
    std::sort(parts.begin(), parts.end(),
              [](const showcase::Part& a, const showcase::Part& b) { return a.order < b.order; });
    int failed = 0;
    for (const auto& part : parts) {
        printf("== %s\n", part.name);
        if (!part.fn(outDir)) {
            printf("   FAILED\n");
            ++failed;
        }
    }
    printf("%zu parts written to %s/, %d failed\n", parts.size(), outDir.c_str(), failed);
    return failed ? 1 : 0;
}
