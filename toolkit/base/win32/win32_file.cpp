// The file backend over the Win32 file API: UTF-8 names become UTF-16, new files are
// made with CREATE_NEW and never through a reparse point, and only regular files
// (disk files that are not directories) are opened for reading.
#include "vq/platform/windows_fixups.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>
#include <string>

#include "../file_system.h"
#include "vq/string.h"

namespace {

std::wstring WideName(const std::string& path) {
    std::u16string utf16 = vqUTF8ToUTF16(path.data(), path.size());
    return std::wstring(utf16.begin(), utf16.end());
}

// Sets errno from a Win32 error code.
void SetErrno(DWORD error) {
    switch (error) {
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            errno = EEXIST;
            break;
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
        case ERROR_INVALID_NAME:
        case ERROR_BAD_NETPATH:
            errno = ENOENT;
            break;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
        case ERROR_WRITE_PROTECT:
            errno = EACCES;
            break;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            errno = ENOSPC;
            break;
        case ERROR_TOO_MANY_OPEN_FILES:
            errno = EMFILE;
            break;
        case ERROR_FILENAME_EXCED_RANGE:
            errno = ENAMETOOLONG;
            break;
        default:
            errno = EIO;
    }
}

// Hands an open handle to the C runtime as a descriptor; closes it on failure.
int ToDescriptor(HANDLE handle, int flags) {
    int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags);
    if (fd < 0) {
        CloseHandle(handle);
        errno = EMFILE;
    }
    return fd;
}

// Opens a name without reading or writing it (directories too) and tells whether it
// is a regular file; the handle is returned open when it is and wanted.
bool OpenIfRegular(const std::string& path, DWORD access, HANDLE* opened, unsigned long long* size,
                   bool* notRegular) {
    *notRegular = false;
    HANDLE handle = CreateFileW(
        WideName(path).c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
        nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrno(GetLastError());
        return false;
    }
    BY_HANDLE_FILE_INFORMATION info;
    // NOTE: pipes and devices (CON, NUL, COM1) report another type than FILE_TYPE_DISK.
    if (GetFileType(handle) != FILE_TYPE_DISK || !GetFileInformationByHandle(handle, &info) ||
        (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        CloseHandle(handle);
        *notRegular = true;
        errno = EINVAL;
        return false;
    }
    if (size)
        *size = (static_cast<unsigned long long>(info.nFileSizeHigh) << 32) | info.nFileSizeLow;
    if (opened)
        *opened = handle;
    else
        CloseHandle(handle);
    return true;
}

}  // namespace

namespace vqfs {

int OpenForWriting(const std::string& path, bool replace) {
    if (path.empty()) {
        errno = ENOENT;
        return -1;
    }
    // A new file never goes through a reparse point: CREATE_NEW fails on any name that
    // exists, a link or junction included, and the flag keeps the name's own entry.
    const DWORD disposition = replace ? CREATE_ALWAYS : CREATE_NEW;
    const DWORD flags =
        FILE_ATTRIBUTE_NORMAL | (replace ? 0 : static_cast<DWORD>(FILE_FLAG_OPEN_REPARSE_POINT));
    HANDLE handle = CreateFileW(WideName(path).c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                disposition, flags, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        SetErrno(GetLastError());
        return -1;
    }
    return ToDescriptor(handle, _O_WRONLY | _O_BINARY);
}

int OpenRegularForReading(const std::string& path, unsigned long long* size, bool* notRegular) {
    HANDLE handle = INVALID_HANDLE_VALUE;
    if (!OpenIfRegular(path, GENERIC_READ, &handle, size, notRegular)) return -1;
    return ToDescriptor(handle, _O_RDONLY | _O_BINARY);
}

bool IsRegularFile(const std::string& path) {
    bool notRegular = false;
    return OpenIfRegular(path, 0, nullptr, nullptr, &notRegular);
}

}  // namespace vqfs
