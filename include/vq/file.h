// File output stream and file-name helpers.
#ifndef VQ_FILE_H
#define VQ_FILE_H

#include <cstdio>
#include <vector>

#include "vq/string.h"

// Writes bytes to a file through a 64 KiB buffer. The file is created, or an
// existing one emptied, on construction; the destructor flushes and closes it.
// IsOk() turns false at the latest when buffered data fails to reach the file.
class VQ_BASE_API vqFileOutputStream {
public:
    explicit vqFileOutputStream(const vqString& fileName);
    ~vqFileOutputStream();
    vqFileOutputStream(const vqFileOutputStream&) = delete;
    vqFileOutputStream& operator=(const vqFileOutputStream&) = delete;

    // Appends size bytes (buffered); on failure IsOk() turns false.
    vqFileOutputStream& Write(const void* buffer, size_t size);
    // Pushes buffered bytes to the file; returns IsOk().
    bool Sync();
    bool IsOk() const { return m_ok; }
    bool Ok() const { return m_ok; }
    // errno of the first failure, 0 when none.
    int GetLastErrno() const { return m_errno; }

private:
    void Flush();

    int m_fd;
    bool m_ok;
    int m_errno;
    std::vector<char> m_buffer;
    size_t m_used;
};

class VQ_BASE_API vqFile {
public:
    // True when a regular file of that name exists.
    static bool Exists(const vqString& fileName);
    // Opens a regular file for reading without ever blocking: a FIFO, device or
    // directory is refused before anything is read from it. Returns the descriptor,
    // which the caller closes, and the file's size in *size (when given); -1 with the
    // reason in *reason (the errno text, or "not a regular file") on failure.
    static int OpenRegular(const vqString& fileName, unsigned long long* size, vqString* reason);
};

// The last component of a path; both '/' and '\\' separate components.
VQ_BASE_API vqString vqFileNameFromPath(const vqString& path);
// The path without its last component (empty when there is none).
VQ_BASE_API vqString vqPathOnly(const vqString& path);

#endif
