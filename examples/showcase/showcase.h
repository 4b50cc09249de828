// The showcase's parts register themselves here; main runs them in order and
// writes the gallery page from what each part said and showed.
#ifndef SHOWCASE_H
#define SHOWCASE_H

#include <string>
#include <vector>

namespace showcase {

// A part writes its files into outDir and prints where each went; it returns
// false when it failed (the showcase then exits non-zero).
typedef bool (*PartFn)(const std::string& outDir);

// Registers a part: order sorts the parts, name heads its console section and
// title its section of the gallery page.
struct Registrar {
    Registrar(int order, const char* name, const char* title, PartFn fn);
};

// Prints one line of the running part's facts (printf format, newline added) and
// keeps it for the gallery page.
void Say(const char* format, ...) __attribute__((format(printf, 1, 2)));

// How the gallery page shows a file: a raster picture, or an SVG document drawn
// by the browser itself (so that its side files load too).
enum class View { kPicture, kDocument };

// Adds a file that the running part wrote (a name within outDir) to the gallery page.
void Show(const std::string& file, View view, const std::string& caption);

// What one part said and showed, for the gallery page.
struct Shown {
    std::string file;
    View view;
    std::string caption;
};
struct PartRecord {
    std::string name;
    std::string title;
    bool ok = false;
    std::vector<std::string> facts;
    std::vector<Shown> shown;
};

// Writes outDir/index.html, one section per part; returns false when it cannot.
bool WriteGallery(const std::string& outDir, const std::vector<PartRecord>& parts);

}  // namespace showcase

#endif
