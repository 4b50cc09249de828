// File stamps from the Win32 file API: the volume's serial number and the file index
// identify a file; the last write time comes in 100-nanosecond units.
#include "vq/platform/windows_fixups.h"

#include "file_stamp.h"
#include "vq/string.h"

namespace vqres {

bool ReadFileStamp(const std::string& path, FileStamp* stamp) {
    const std::u16string utf16 = vqUTF8ToUTF16(path.data(), path.size());
    const std::wstring name(utf16.begin(), utf16.end());
    // Opened for neither reading nor writing, so a device or pipe is never read.
    HANDLE handle =
        CreateFileW(name.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info;
    // NOTE: pipes and devices (CON, NUL, COM1) report another type than FILE_TYPE_DISK.
    const bool regular = GetFileType(handle) == FILE_TYPE_DISK &&
                         GetFileInformationByHandle(handle, &info) &&
                         !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
    CloseHandle(handle);
    if (!regular) return false;
    const unsigned long long written =
        (static_cast<unsigned long long>(info.ftLastWriteTime.dwHighDateTime) << 32) |
        info.ftLastWriteTime.dwLowDateTime;
    stamp->device = info.dwVolumeSerialNumber;
    stamp->file = (static_cast<unsigned long long>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
    stamp->size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    stamp->modifiedSeconds = static_cast<long long>(written / 10000000);
    stamp->modifiedNanoseconds = static_cast<long>(written % 10000000 * 100);
    return true;
}

}  // namespace vqres
