// File stamps from stat(2).
#include <sys/stat.h>

#include "file_stamp.h"

namespace vqres {

bool ReadFileStamp(const std::string& path, FileStamp* stamp) {
    struct stat st;
    if (stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    stamp->device = static_cast<unsigned long long>(st.st_dev);
    stamp->file = static_cast<unsigned long long>(st.st_ino);
    stamp->size = static_cast<unsigned long long>(st.st_size);
    stamp->modifiedSeconds = static_cast<long long>(st.st_mtim.tv_sec);
    stamp->modifiedNanoseconds = static_cast<long>(st.st_mtim.tv_nsec);
    return true;
}

}  // namespace vqres
