// The surface's file-system needs over the Win32 file API: UTF-8 names become UTF-16.
#include "vq/platform/windows_fixups.h"

#include <string>

#include "svg_private.h"

void SVGRemoveIfRegular(const std::string& path) {
    const std::u16string utf16 = vqUTF8ToUTF16(path.data(), path.size());
    const std::wstring name(utf16.begin(), utf16.end());
    const DWORD attributes = GetFileAttributesW(name.c_str());
    // NOTE: a link or junction reports FILE_ATTRIBUTE_REPARSE_POINT (the attributes are
    // the name's own, not its target's); like a directory or device it stays.
    const DWORD kept =
        FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE;
    if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & kept)) DeleteFileW(name.c_str());
}

vqString SVGStoredName(const vqString& name) {
    const std::string utf8 = name.ToUTF8();
    const std::u16string utf16 = vqUTF8ToUTF16(utf8.data(), utf8.size());
    return vqString::FromUTF8(vqUTF16ToUTF8(utf16.data(), utf16.size()));
}
