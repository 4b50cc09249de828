// <windows.h> for the toolkit's headers and sources: includes it, then takes back
// the macros that would rename the toolkit's own names. Include this instead of
// <windows.h> itself; it declares nothing off Windows.
#ifndef VQ_PLATFORM_WINDOWS_FIXUPS_H
#define VQ_PLATFORM_WINDOWS_FIXUPS_H

#if defined(_WIN32)
#include <windows.h>
// NOTE: <windows.h> maps these names to their A/W forms, which would rename the
// toolkit's members and functions of the same names (vqObject::GetClassInfo,
// vqDC::DrawText, ...); Win32 callers use the A/W forms directly.
#undef DrawText
#undef FindResource
#undef GetCharWidth
#undef GetClassInfo
#undef GetClassName
#undef GetObject
#undef StartDoc
#endif

#endif
