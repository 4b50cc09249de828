// Build-compatibility text and its check, as the libraries call it at load.
#ifndef VQ_APP_H
#define VQ_APP_H

#include "vq/string.h"

#define VQ_STRINGIZE_(x) #x
#define VQ_STRINGIZE(x) VQ_STRINGIZE_(x)

#ifdef VQ_DEBUG
#define VQ_BUILD_DEBUG_FIELD "debug"
#else
#define VQ_BUILD_DEBUG_FIELD "no debug"
#endif
#ifdef VQ_UNICODE
#define VQ_BUILD_WIDTH_FIELD "Unicode"
#else
#define VQ_BUILD_WIDTH_FIELD "ANSI"
#endif
#if defined(__clang__)
#define VQ_BUILD_COMPILER_FIELD \
    "Clang " VQ_STRINGIZE(__clang_major__) "." VQ_STRINGIZE(__clang_minor__)
#elif defined(__GNUC__)
#define VQ_BUILD_COMPILER_FIELD "GCC " VQ_STRINGIZE(__GNUC__) "." VQ_STRINGIZE(__GNUC_MINOR__)
#elif defined(_MSC_VER)
#define VQ_BUILD_COMPILER_FIELD "MSVC " VQ_STRINGIZE(_MSC_VER)
#else
#define VQ_BUILD_COMPILER_FIELD "unknown compiler"
#endif

// The build text of the translation unit that expands it, for CheckBuildOptions.
#define VQ_BUILD_OPTIONS_SIGNATURE                                                        \
    vqT("2.8 (" VQ_BUILD_DEBUG_FIELD "," VQ_BUILD_WIDTH_FIELD "," VQ_BUILD_COMPILER_FIELD \
        ",vq containers,compatible with 2.6)")

class VQ_BASE_API vqAppConsole {
public:
    // Compares a library's build text with the toolkit's own; logs a mismatch with
    // vqLogError (naming the library) and returns false, true when they agree.
    static bool CheckBuildOptions(const vqChar* optionsSignature, const vqChar* componentName);
    // The toolkit's own build text.
    static const vqChar* GetBuildOptions();
};

#endif
