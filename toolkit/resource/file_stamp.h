// What tells whether a bitmap file is still the one a kept bitmap was read from, one
// backend per system (posix_file_stamp.cpp, win32_file_stamp.cpp; CMake builds the
// one that fits). Not installed.
#ifndef VQ_RESOURCE_FILE_STAMP_H
#define VQ_RESOURCE_FILE_STAMP_H

#include <string>
#include <tuple>

namespace vqres {

// A regular file's identity (device and file number), size and modification time.
struct FileStamp {
    unsigned long long device = 0, file = 0, size = 0;
    long long modifiedSeconds = 0;
    long modifiedNanoseconds = 0;

    bool operator==(const FileStamp& other) const {
        return std::tie(device, file, size, modifiedSeconds, modifiedNanoseconds) ==
               std::tie(other.device, other.file, other.size, other.modifiedSeconds,
                        other.modifiedNanoseconds);
    }
};

// Reads the stamp of the file of a UTF-8 name, following links. False when nothing
// of that name exists or it is not a regular file (a directory, FIFO or device); such
// a file is never opened for reading.
bool ReadFileStamp(const std::string& path, FileStamp* stamp);

}  // namespace vqres

#endif
