#include "vq/app.h"

#include "vq/log.h"

const vqChar* vqAppConsole::GetBuildOptions() { return VQ_BUILD_OPTIONS_SIGNATURE; }

bool vqAppConsole::CheckBuildOptions(const vqChar* optionsSignature, const vqChar* componentName) {
    vqString own(GetBuildOptions());
    if (own.Cmp(optionsSignature) == 0) return true;
    vqLogError(vqT("Mismatch between the program and library build versions detected.\n")
                   vqT("The library used %s,\nand %s used %s."),
               own.c_str(), componentName ? componentName : vqT("the library"),
               optionsSignature ? optionsSignature : vqT("(none)"));
    return false;
}
