// The surface's file-system needs over POSIX calls.
#include <sys/stat.h>

#include <cstdio>

#include "svg_private.h"

void SVGRemoveIfRegular(const std::string& path) {
    struct stat st;
    if (lstat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) std::remove(path.c_str());
}

vqString SVGStoredName(const vqString& name) { return name; }
