#include "picture_test_util.h"

#ifdef _WIN32
#include "vq/platform/windows_fixups.h"
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "vq/image.h"
#include "vq/pnghandler.h"

namespace picturetest {

vqBitmap TwoColourBitmap(int width, int height) {
    vqBitmap bitmap(width, height, 32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            bitmap.SetPixel(x, y, x < width / 2 ? vqColour(255, 0, 0) : vqColour(0, 0, 255));
    return bitmap;
}

bool SavePng(const vqBitmap& bitmap, const std::string& path) {
    if (!vqImage::FindHandler(vqBITMAP_TYPE_PNG)) vqImage::AddHandler(new vqPNGHandler);
    return bitmap.SaveFile(V(path), vqBITMAP_TYPE_PNG);
}

namespace {

// Packs bits as deflate does: values from their least significant bit, Huffman codes
// from their most significant one.
class BitWriter {
public:
    explicit BitWriter(std::string* out) : m_out(out) {}
    void Bits(uint32_t value, int count) {
        for (int i = 0; i < count; ++i) Bit((value >> i) & 1);
    }
    void Code(uint32_t code, int length) {
        for (int i = length - 1; i >= 0; --i) Bit((code >> i) & 1);
    }
    void Finish() {
        if (m_used) m_out->push_back(static_cast<char>(m_byte));
        m_byte = m_used = 0;
    }

private:
    void Bit(uint32_t bit) {
        m_byte |= bit << m_used;
        if (++m_used == 8) Finish();
    }
    std::string* m_out;
    uint32_t m_byte = 0;
    int m_used = 0;
};

// A zlib stream of count zero bytes: one literal zero, then copies of 258 bytes from
// one byte back, in one block of the fixed Huffman codes (13 bits per 258 bytes).
std::string ZeroStream(uint64_t count) {
    std::string out = "\x78\x01";  // deflate, 32 KiB window, no dictionary
    BitWriter bits(&out);
    bits.Bits(1, 1);                                        // the last block
    bits.Bits(1, 2);                                        // fixed codes
    const uint32_t kLiteralZero = 0x30, kLength258 = 0xC5;  // 8-bit codes
    uint64_t left = count;
    if (left > 0) bits.Code(kLiteralZero, 8), --left;
    for (; left >= 258; left -= 258) {
        bits.Code(kLength258, 8);
        bits.Code(0, 5);  // distance 1
    }
    for (; left > 0; --left) bits.Code(kLiteralZero, 8);
    bits.Code(0, 7);  // end of block
    bits.Finish();
    // Adler-32 of zero bytes: the first sum stays 1, the second adds 1 per byte.
    const uint32_t adler = static_cast<uint32_t>(count % 65521) << 16 | 1;
    for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<char>(adler >> shift));
    return out;
}

uint32_t Crc32(const std::string& bytes) {
    uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : bytes) {
        crc ^= byte;
        for (int i = 0; i < 8; ++i) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBigEndian(std::string* out, uint32_t value) {
    for (int shift = 24; shift >= 0; shift -= 8) out->push_back(static_cast<char>(value >> shift));
}

void PutChunk(std::string* png, const char* type, const std::string& data) {
    PutBigEndian(png, static_cast<uint32_t>(data.size()));
    const std::string typed = type + data;
    png->append(typed);
    PutBigEndian(png, Crc32(typed));
}

}  // namespace

bool WriteBlackPng(const std::string& path, int width, int height) {
    std::string header;
    PutBigEndian(&header, static_cast<uint32_t>(width));
    PutBigEndian(&header, static_cast<uint32_t>(height));
    header += std::string("\x01\x00\x00\x00\x00", 5);  // 1-bit grey, no interlace
    // Every row is its filter byte (none) and black pixels, all zero bytes.
    const uint64_t rowBytes = 1 + (static_cast<uint64_t>(width) + 7) / 8;
    const std::string pixels = ZeroStream(rowBytes * static_cast<uint64_t>(height));
    std::string png = "\x89PNG\r\n\x1a\n";
    PutChunk(&png, "IHDR", header);
    for (size_t at = 0; at < pixels.size(); at += 8192)
        PutChunk(&png, "IDAT", pixels.substr(at, 8192));
    PutChunk(&png, "IEND", "");
    FILE* file = fopen(path.c_str(), "wb");
    if (!file) return false;
    const bool written = fwrite(png.data(), 1, png.size(), file) == png.size();
    return fclose(file) == 0 && written;
}

vqString V(const std::string& utf8) { return vqString::FromUTF8(utf8); }

#ifdef _WIN32

std::vector<std::string> Devices() { return {"NUL"}; }

Fifo::Fifo(const ScratchDir&, const std::string& name) {
    static int made = 0;
    const std::string path = "\\\\.\\pipe\\vqtest-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(++made) + "-" + name;
    const std::wstring wide(path.begin(), path.end());
    // NOTE: each client that opens a named pipe takes one waiting server end.
    for (int i = 0; i < 8; ++i) {
        HANDLE end = CreateNamedPipeW(wide.c_str(), PIPE_ACCESS_DUPLEX, PIPE_TYPE_BYTE,
                                      PIPE_UNLIMITED_INSTANCES, 4096, 4096, 0, nullptr);
        if (end == INVALID_HANDLE_VALUE) {
            m_error = "CreateNamedPipeW failed with error " + std::to_string(GetLastError());
            return;
        }
        m_ends.push_back(end);
    }
    m_path = path;
}

Fifo::~Fifo() {
    for (void* end : m_ends) CloseHandle(end);
}

#else

std::vector<std::string> Devices() {
    std::vector<std::string> found;
    for (const char* device : {"/dev/zero", "/dev/urandom"})
        if (access(device, R_OK) == 0) found.push_back(device);
    return found;
}

Fifo::Fifo(const ScratchDir& dir, const std::string& name) {
    if (mkfifo(dir.Path(name).c_str(), 0600) == 0)
        m_path = dir.Path(name);
    else
        m_error = std::string("mkfifo failed: ") + std::strerror(errno);
}

Fifo::~Fifo() {}

#endif

}  // namespace picturetest
