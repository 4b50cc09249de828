// Basic definitions shared by the toolkit stand-in and the add-on libraries:
// character width, export macros and the toolkit's numeric constants.
#ifndef VQ_DEFS_H
#define VQ_DEFS_H

#include <cstddef>

// On Windows every toolkit header comes with <windows.h>, its clashing macros taken
// back, so that the headers may be included before or after it.
#include "vq/platform/windows_fixups.h"

#if defined(_WIN32)
#define VQ_EXPORT __declspec(dllexport)
#define VQ_IMPORT __declspec(dllimport)
#else
#define VQ_EXPORT __attribute__((visibility("default")))
#define VQ_IMPORT __attribute__((visibility("default")))
#endif

// One export macro per library; the build defines VQMAKING_<LIB> for its own sources.
#ifdef VQMAKING_BASE
#define VQ_BASE_API VQ_EXPORT
#else
#define VQ_BASE_API VQ_IMPORT
#endif
#ifdef VQMAKING_CORE
#define VQ_CORE_API VQ_EXPORT
#else
#define VQ_CORE_API VQ_IMPORT
#endif

#ifdef VQ_UNICODE
typedef wchar_t vqChar;
#define vqT_(s) L##s
#else
typedef char vqChar;
#define vqT_(s) s
#endif
// Makes a literal of the build's character width.
#define vqT(s) vqT_(s)

// Pen and brush styles.
enum {
    vqSOLID = 100,
    vqDOT = 101,
    vqLONG_DASH = 102,
    vqSHORT_DASH = 103,
    vqDOT_DASH = 104,
    vqUSER_DASH = 105,
    vqTRANSPARENT = 106,
    vqSTIPPLE = 110,
    vqBDIAGONAL_HATCH = 111,
    vqCROSSDIAG_HATCH = 112,
    vqFDIAGONAL_HATCH = 113,
    vqCROSS_HATCH = 114,
    vqHORIZONTAL_HATCH = 115,
    vqVERTICAL_HATCH = 116
};
// Pen caps and joins.
enum { vqJOIN_BEVEL = 120, vqJOIN_MITER = 121, vqJOIN_ROUND = 122 };
enum { vqCAP_ROUND = 130, vqCAP_PROJECTING = 131, vqCAP_BUTT = 132 };
// Font families, styles and weights.
enum {
    vqDEFAULT = 70,
    vqDECORATIVE = 71,
    vqROMAN = 72,
    vqSCRIPT = 73,
    vqSWISS = 74,
    vqMODERN = 75,
    vqTELETYPE = 76
};
enum { vqNORMAL = 90, vqLIGHT = 91, vqBOLD = 92, vqITALIC = 93, vqSLANT = 94 };
// Logical functions (only copy is used).
enum { vqCLEAR = 0, vqXOR = 1, vqINVERT = 2, vqOR_REVERSE = 3, vqAND_REVERSE = 4, vqCOPY = 5 };
// Map modes.
enum {
    vqMM_TEXT = 1,
    vqMM_LOMETRIC = 2,
    vqMM_HIMETRIC = 3,
    vqMM_LOENGLISH = 4,
    vqMM_HIENGLISH = 5,
    vqMM_TWIPS = 6,
    vqMM_ISOTROPIC = 7,
    vqMM_ANISOTROPIC = 8,
    vqMM_POINTS = 9,
    vqMM_METRIC = 10
};
// Polygon fill rules.
enum { vqODDEVEN_RULE = 1, vqWINDING_RULE = 2 };
// Bitmap file types.
enum { vqBITMAP_TYPE_INVALID = 0, vqBITMAP_TYPE_PNG = 15, vqBITMAP_TYPE_ANY = 50 };
enum { vqID_ANY = -1 };

#endif
