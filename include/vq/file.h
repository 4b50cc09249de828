// File output stream and file-name helpers.
#ifndef VQ_FILE_H
#define VQ_FILE_H

#include <cstdarg>
#include <cstdio>
#include <memory>

#include "vq/string.h"

// Writes bytes to a file through a 64 KiB buffer. The destructor flushes and
// closes it; Close() does so earlier and says whether every byte arrived.
// IsOk() turns false at the latest when buffered data fails to reach the file.
class VQ_BASE_API vqFileOutputStream {
public:
    enum OpenMode {
        // Creates the file, or empties an existing one (following a symbolic link).
        REPLACE,
        // Creates a new file; fails with EEXIST when anything of that name exists,
        // even a dangling symbolic link, a directory or a FIFO. Never follows a link.
        // (Not CREATE_NEW: <windows.h> defines that name as a macro.)
        NEW_ONLY
    };
    explicit vqFileOutputStream(const vqString& fileName, OpenMode mode = REPLACE);
    ~vqFileOutputStream();
    vqFileOutputStream(const vqFileOutputStream&) = delete;
    vqFileOutputStream& operator=(const vqFileOutputStream&) = delete;

    // Appends size bytes (buffered); on failure IsOk() turns false.
    vqFileOutputStream& Write(const void* buffer, size_t size);
    // Appends text of the build's width as UTF-8 (8-bit text as it is), converted
    // straight into the buffer.
    vqFileOutputStream& WriteText(const vqChar* text, size_t length);
    // Appends an integer in decimal.
    vqFileOutputStream& WriteInt(long long value);
    // Formats as vqString::Format does, straight into the buffer, as UTF-8.
    vqFileOutputStream& Format(const vqChar* format, ...);
    vqFileOutputStream& FormatV(const vqChar* format, va_list args);
    // Pushes buffered bytes to the file; returns IsOk().
    bool Sync();
    // Flushes and closes the file; returns IsOk(), which a failing close turns false
    // too. Later writes fail.
    bool Close();
    bool IsOk() const { return m_ok; }
    bool Ok() const { return m_ok; }
    // errno of the first failure, 0 when none.
    int GetLastErrno() const { return m_errno; }

private:
    class Sink;
    void Flush();

    int m_fd;
    bool m_ok;
    int m_errno;
    std::unique_ptr<char[]> m_buffer;
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

// The text of an errno value, for messages.
VQ_BASE_API vqString vqErrnoText(int err);

// The last component of a path; both '/' and '\\' separate components.
VQ_BASE_API vqString vqFileNameFromPath(const vqString& path);
// The path without its last component (empty when there is none).
VQ_BASE_API vqString vqPathOnly(const vqString& path);

#endif
