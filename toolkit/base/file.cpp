#include "vq/file.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "file_system.h"
#include "format_engine.h"

namespace {
const size_t kBufferSize = 64 * 1024;
// The most one write call is given: Windows' write takes an unsigned int.
const size_t kMostPerWrite = size_t(1) << 30;
}  // namespace

// Formats into the stream's buffer as UTF-8, flushing it when full.
class vqFileOutputStream::Sink {
public:
    explicit Sink(vqFileOutputStream& stream) : m_stream(stream) {}

    void AppendAscii(const char* text, size_t n) {
        if (m_stream.m_used + n <= kBufferSize) {
            memcpy(m_stream.m_buffer.get() + m_stream.m_used, text, n);
            m_stream.m_used += n;
        } else {
            m_stream.Write(text, n);
        }
    }
    void Append(const vqChar* text, size_t n) {
#ifdef VQ_UNICODE
        AppendWide(text, n);
#else
        AppendAscii(text, n);
#endif
    }
    void AppendNarrow(const char* text, size_t n) { AppendAscii(text, n); }
    // Encodes into the buffer in pieces that fit, 4 bytes a unit at most.
    void AppendWide(const wchar_t* text, size_t n) {
        while (n > 0 && m_stream.m_fd >= 0) {
            if (kBufferSize - m_stream.m_used < 64) m_stream.Flush();
            size_t room = (kBufferSize - m_stream.m_used) / 4;
            size_t take = n < room ? n : room, used = 0;
            char* at = m_stream.m_buffer.get() + m_stream.m_used;
            char* end = vqfmt::EncodeUnits(text, take, at, &used, take < n);
            m_stream.m_used += static_cast<size_t>(end - at);
            text += used;
            n -= used;
        }
    }
    void Fill(char c, size_t n) {
        char block[64];
        memset(block, c, sizeof block);
        for (; n > sizeof block; n -= sizeof block) AppendAscii(block, sizeof block);
        AppendAscii(block, n);
    }

private:
    vqFileOutputStream& m_stream;
};

vqFileOutputStream::vqFileOutputStream(const vqString& fileName, OpenMode mode)
    : m_fd(-1), m_ok(false), m_errno(0), m_used(0) {
    std::string path = fileName.ToUTF8();
    if (path.empty()) {
        m_errno = ENOENT;
        return;
    }
    m_fd = vqfs::OpenForWriting(path, mode == REPLACE);
    if (m_fd < 0) {
        m_errno = errno;
        return;
    }
    m_ok = true;
    m_buffer.reset(new char[kBufferSize]);
}

vqFileOutputStream::~vqFileOutputStream() { Close(); }

bool vqFileOutputStream::Close() {
    if (m_fd < 0) return m_ok;
    Flush();
    // NOTE: close reports late write errors on some file systems (NFS, quotas); it is
    // not retried after EINTR, since the descriptor is released either way on Linux.
    if (::close(m_fd) != 0 && m_ok) {
        m_ok = false;
        m_errno = errno;
    }
    m_fd = -1;
    return m_ok;
}

vqFileOutputStream& vqFileOutputStream::Write(const void* buffer, size_t size) {
    if (m_fd < 0) {
        m_ok = false;
        return *this;
    }
    const char* bytes = static_cast<const char*>(buffer);
    if (m_used + size > kBufferSize) {
        Flush();
        if (size >= kBufferSize) {
            while (size > 0 && m_ok) {
                ssize_t n = ::write(m_fd, bytes, size < kMostPerWrite ? size : kMostPerWrite);
                if (n < 0 && errno == EINTR) continue;
                if (n <= 0) {
                    m_ok = false;
                    if (!m_errno) m_errno = n < 0 ? errno : EIO;
                    break;
                }
                bytes += n;
                size -= static_cast<size_t>(n);
            }
            return *this;
        }
    }
    memcpy(m_buffer.get() + m_used, bytes, size);
    m_used += size;
    return *this;
}

vqFileOutputStream& vqFileOutputStream::WriteText(const vqChar* text, size_t length) {
    if (m_fd < 0) {
        m_ok = false;
        return *this;
    }
    Sink(*this).Append(text, length);
    return *this;
}

vqFileOutputStream& vqFileOutputStream::WriteInt(long long value) {
    char digits[24];
    return Write(digits, static_cast<size_t>(vqfmt::WriteInt(digits, value) - digits));
}

vqFileOutputStream& vqFileOutputStream::Format(const vqChar* format, ...) {
    va_list args;
    va_start(args, format);
    FormatV(format, args);
    va_end(args);
    return *this;
}

vqFileOutputStream& vqFileOutputStream::FormatV(const vqChar* format, va_list args) {
    if (m_fd < 0) {
        m_ok = false;
        return *this;
    }
    if (!format) return *this;
    Sink sink(*this);
    vqfmt::FormatTo(sink, format, args);
    return *this;
}

void vqFileOutputStream::Flush() {
    size_t done = 0;
    while (done < m_used) {
        ssize_t n = ::write(m_fd, m_buffer.get() + done, m_used - done);  // under kMostPerWrite
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            m_ok = false;
            if (!m_errno) m_errno = n < 0 ? errno : EIO;
            break;
        }
        done += static_cast<size_t>(n);
    }
    // Unwritten bytes are dropped: the stream has failed and stays failed.
    m_used = 0;
}

bool vqFileOutputStream::Sync() {
    if (m_fd >= 0) Flush();
    return m_ok;
}

bool vqFile::Exists(const vqString& fileName) { return vqfs::IsRegularFile(fileName.ToUTF8()); }

vqString vqErrnoText(int err) { return vqString::FromUTF8(strerror(err)); }

int vqFile::OpenRegular(const vqString& fileName, unsigned long long* size, vqString* reason) {
    bool notRegular = false;
    int fd = vqfs::OpenRegularForReading(fileName.ToUTF8(), size, &notRegular);
    if (fd < 0 && reason)
        *reason = notRegular ? vqString(vqT("not a regular file")) : vqErrnoText(errno);
    return fd;
}

namespace {
size_t LastSeparator(const vqString::StdString& path) { return path.find_last_of(vqT("/\\")); }
}  // namespace

vqString vqFileNameFromPath(const vqString& path) {
    size_t pos = LastSeparator(path.str());
    return pos == vqString::StdString::npos ? path : path.Mid(pos + 1);
}

vqString vqPathOnly(const vqString& path) {
    size_t pos = LastSeparator(path.str());
    return pos == vqString::StdString::npos ? vqString() : path.Mid(0, pos);
}
