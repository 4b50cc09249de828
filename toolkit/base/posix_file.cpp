// The file backend over POSIX calls.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "file_system.h"

namespace vqfs {

int OpenForWriting(const std::string& path, bool replace) {
    const int flags = replace ? O_CREAT | O_TRUNC : O_CREAT | O_EXCL | O_NOFOLLOW;
    int fd;
    do {
        fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC | flags, 0666);
    } while (fd < 0 && errno == EINTR);
    return fd;
}

int OpenRegularForReading(const std::string& path, unsigned long long* size, bool* notRegular) {
    *notRegular = false;
    int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) return -1;
    struct stat st;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)) {
        if (size) *size = static_cast<unsigned long long>(st.st_size);
        return fd;
    }
    const int err = errno;
    *notRegular = true;
    ::close(fd);
    errno = err;
    return -1;
}

bool IsRegularFile(const std::string& path) {
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

}  // namespace vqfs
