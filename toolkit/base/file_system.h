// What the file classes need from the operating system, one backend per system
// (posix_file.cpp, win32/win32_file.cpp; CMake builds the one that fits). Names are
// UTF-8; a descriptor is the C runtime's, read, written and closed with read, write
// and close. Not installed.
#ifndef VQ_TOOLKIT_FILE_SYSTEM_H
#define VQ_TOOLKIT_FILE_SYSTEM_H

#include <string>

namespace vqfs {

// Opens a file for writing. replace: creates it or empties an existing one,
// following a symbolic link. Otherwise creates a new file and fails with EEXIST when
// anything of that name exists, even a dangling link; never goes through a link.
// Returns the descriptor, or -1 with errno set.
int OpenForWriting(const std::string& path, bool replace);

// Opens a regular file for reading without ever blocking; a FIFO, device or
// directory is refused (*notRegular turns true) before anything is read. Returns the
// descriptor and the size in *size (when given), or -1 with errno set.
int OpenRegularForReading(const std::string& path, unsigned long long* size, bool* notRegular);

// True when a regular file of that name exists.
bool IsRegularFile(const std::string& path);

}  // namespace vqfs

#endif
