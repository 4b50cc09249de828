// The showcase's parts register themselves here; main runs them in order.
#ifndef SHOWCASE_H
#define SHOWCASE_H

#include <string>

namespace showcase {

// A part writes its files into outDir and prints where each went; it returns
// false when it failed (the showcase then exits non-zero).
typedef bool (*PartFn)(const std::string& outDir);

struct Registrar {
    Registrar(int order, const char* name, PartFn fn);
};

}  // namespace showcase

#endif
