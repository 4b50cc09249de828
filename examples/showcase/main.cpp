// The showcase: writes a sample of every library's output into showcase-out/
// (or the directory given as the first argument), prints where it went and
// gathers it all on one page, index.html.
#include <sys/stat.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "showcase.h"

namespace showcase {
namespace {
struct Part {
    int order;
    const char* name;
    const char* title;
    PartFn fn;
};
std::vector<Part>& Parts() {
    static std::vector<Part> parts;
    return parts;
}
// The record of the part now running; null between parts.
PartRecord* g_running = nullptr;
}  // namespace

Registrar::Registrar(int order, const char* name, const char* title, PartFn fn) {
    Parts().push_back({order, name, title, fn});
}

void Say(const char* format, ...) {
    va_list args, again;
    va_start(args, format);
    va_copy(again, args);
    int n = vsnprintf(nullptr, 0, format, args);
    std::string line(n > 0 ? size_t(n) : 0, '\0');
    if (n > 0) vsnprintf(&line[0], line.size() + 1, format, again);
    va_end(again);
    va_end(args);
    printf("%s\n", line.c_str());
    if (g_running) g_running->facts.push_back(line);
}

void Show(const std::string& file, View view, const std::string& caption) {
    if (g_running) g_running->shown.push_back({file, view, caption});
}

}  // namespace showcase

int main(int argc, char** argv) {
    std::string outDir = argc > 1 ? argv[1] : "showcase-out";
    mkdir(outDir.c_str(), 0777);
    auto parts = showcase::Parts();
    std::sort(parts.begin(), parts.end(),
              [](const showcase::Part& a, const showcase::Part& b) { return a.order < b.order; });
    std::vector<showcase::PartRecord> records(parts.size());
    int failed = 0;
    for (size_t i = 0; i < parts.size(); ++i) {
        const auto& part = parts[i];
        records[i].name = part.name;
        records[i].title = part.title;
        showcase::g_running = &records[i];
        printf("== %s\n", part.name);
        records[i].ok = part.fn(outDir);
        if (!records[i].ok) {
            printf("   FAILED\n");
            ++failed;
        }
        fflush(stdout);
    }
    showcase::g_running = nullptr;
    std::string page = outDir + "/index.html";
    if (!showcase::WriteGallery(outDir, records)) {
        fprintf(stderr, "cannot write %s\n", page.c_str());
        return 1;
    }
    printf("%zu parts written to %s/, %d failed; see them all on %s\n", parts.size(),
           outDir.c_str(), failed, page.c_str());
    return failed ? 1 : 0;
}
