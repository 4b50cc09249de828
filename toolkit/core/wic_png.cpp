// PNG through the Windows Imaging Component. The file's chunks are walked here first
// (headers only), and WIC reads the file through a stream that holds only the
// signature and the IHDR, PLTE, tRNS, IDAT and IEND chunks: every other chunk is
// skipped unread, whatever length it declares. WIC decodes the pixels, converted to
// 8-bit BGRA, and encodes the rows.
#include "vq/platform/windows_fixups.h"

#include <io.h>
#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "png_codec.h"
#include "vq/pnghandler.h"

namespace {

// Holds one COM interface, released when it goes.
template <class T>
class Com {
public:
    Com() {}
    // Takes over a reference.
    explicit Com(T* p) : m_p(p) {}
    ~Com() {
        if (m_p) m_p->Release();
    }
    Com(const Com&) = delete;
    Com& operator=(const Com&) = delete;
    T** operator&() { return &m_p; }
    T* operator->() const { return m_p; }
    T* get() const { return m_p; }

private:
    T* m_p = nullptr;
};

// COM for the calling thread while it lives. NOTE: a thread that chose the other
// apartment model already has COM, which serves WIC just as well.
class ComScope {
public:
    ComScope() : m_result(CoInitializeEx(nullptr, COINIT_MULTITHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(m_result)) CoUninitialize();
    }
    bool Ok() const { return SUCCEEDED(m_result) || m_result == RPC_E_CHANGED_MODE; }
    HRESULT Result() const { return m_result; }

private:
    HRESULT m_result;
};

vqString Failure(const char* what, HRESULT result) {
    char text[160];
    snprintf(text, sizeof text, "%s (error 0x%08lx)", what,
             static_cast<unsigned long>(static_cast<DWORD>(result)));
    return vqString::FromUTF8(text);
}

bool CreateFactory(IWICImagingFactory** factory, vqString* error) {
    HRESULT hr = CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IWICImagingFactory, reinterpret_cast<void**>(factory));
    if (FAILED(hr)) *error = Failure("the imaging component is not available", hr);
    return SUCCEEDED(hr);
}

unsigned long BigEndian(const unsigned char* p) {
    return (static_cast<unsigned long>(p[0]) << 24) | (static_cast<unsigned long>(p[1]) << 16) |
           (static_cast<unsigned long>(p[2]) << 8) | p[3];
}

// Reads exactly size bytes at offset; false when the file ends first or fails.
bool ReadAt(int fd, unsigned long long offset, unsigned char* bytes, unsigned size) {
    if (_lseeki64(fd, static_cast<long long>(offset), SEEK_SET) < 0) return false;
    unsigned got = 0;
    while (got < size) {
        int n = _read(fd, bytes + got, size - got);
        if (n <= 0) return false;
        got += static_cast<unsigned>(n);
    }
    return true;
}

// The largest chunk length a PNG file may declare.
const unsigned long kMaxChunkLength = 0x7FFFFFFFul;

// A stretch of the file that the decoder reads.
struct Segment {
    unsigned long long offset, length;
};

// Adds a stretch of the file, joining it to the last when they touch.
void Keep(std::vector<Segment>* kept, unsigned long long offset, unsigned long long length) {
    if (!kept->empty() && kept->back().offset + kept->back().length == offset)
        kept->back().length += length;
    else
        kept->push_back(Segment{offset, length});
}

// Walks the chunks of a file of fileSize bytes whose signature was read: the header
// must come first with a valid size, and every chunk up to IEND must lie within the
// file. Fills the size and the alpha flag, and *kept with the stretches the decoder
// reads; false with the reason.
bool WalkChunks(int fd, unsigned long long fileSize, vqpng::Picture* out,
                std::vector<Segment>* kept, vqString* error) {
    unsigned long long offset = sizeof vqpng::kSignature;
    kept->clear();
    Keep(kept, 0, offset);
    bool first = true;
    for (;;) {
        unsigned char head[8];
        if (!ReadAt(fd, offset, head, sizeof head)) {
            *error = vqT("the file is cut short.");
            return false;
        }
        const unsigned long length = BigEndian(head);
        const std::string type(reinterpret_cast<const char*>(head + 4), 4);
        if (length > kMaxChunkLength) {
            *error = vqT("a chunk declares an invalid length.");
            return false;
        }
        const unsigned long long next = offset + 12 + length;
        if (next > fileSize) {
            *error = vqT("the file is cut short.");
            return false;
        }
        if (type == "IHDR" || type == "PLTE" || type == "tRNS" || type == "IDAT" || type == "IEND")
            Keep(kept, offset, next - offset);
        if (first) {
            unsigned char header[13];
            if (type != "IHDR" || length != 13 || !ReadAt(fd, offset + 8, header, sizeof header)) {
                *error = vqT("the file does not start with a PNG header.");
                return false;
            }
            out->width = BigEndian(header);
            out->height = BigEndian(header + 4);
            // The same bounds as the libpng backend: no side beyond the largest picture.
            if (out->width == 0 || out->height == 0 || out->width > vqPNG_MAX_PIXELS ||
                out->height > vqPNG_MAX_PIXELS) {
                *error = vqT("the header gives an invalid picture size.");
                return false;
            }
            out->alpha = (header[9] & 4) != 0;
            first = false;
        } else if (type == "tRNS") {
            out->alpha = true;
        } else if (type == "IEND") {
            return true;
        }
        offset = next;
    }
}

// The kept stretches of a file as one read-only stream for the decoder, read through
// the file's descriptor (which the caller keeps open while the stream lives).
class SegmentStream final : public IStream {
public:
    SegmentStream(int fd, std::vector<Segment> segments)
        : m_fd(fd), m_segments(std::move(segments)) {
        for (const Segment& s : m_segments) m_size += s.length;
    }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID id, void** object) override {
        if (!object) return E_POINTER;
        if (IsEqualIID(id, IID_IUnknown) || IsEqualIID(id, IID_IStream) ||
            IsEqualIID(id, IID_ISequentialStream)) {
            *object = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override {
        return static_cast<ULONG>(InterlockedIncrement(&m_refs));
    }
    ULONG STDMETHODCALLTYPE Release() override {
        const LONG refs = InterlockedDecrement(&m_refs);
        if (refs == 0) delete this;
        return static_cast<ULONG>(refs);
    }

    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG size, ULONG* read) override {
        unsigned char* to = static_cast<unsigned char*>(buffer);
        ULONG done = 0;
        // Finds the segment holding the position, then reads across segments.
        unsigned long long start = 0;
        size_t i = 0;
        while (i < m_segments.size() && start + m_segments[i].length <= m_position)
            start += m_segments[i++].length;
        while (done < size && i < m_segments.size()) {
            const unsigned long long within = m_position - start;
            const unsigned long long left = m_segments[i].length - within;
            const unsigned chunk =
                static_cast<unsigned>(std::min<unsigned long long>(left, size - done));
            if (!ReadAt(m_fd, m_segments[i].offset + within, to + done, chunk)) {
                if (read) *read = done;
                return STG_E_READFAULT;
            }
            done += chunk;
            m_position += chunk;
            if (chunk == left) start += m_segments[i++].length;
        }
        if (read) *read = done;
        return done == size ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin,
                                   ULARGE_INTEGER* position) override {
        long long base = 0;
        if (origin == STREAM_SEEK_CUR)
            base = static_cast<long long>(m_position);
        else if (origin == STREAM_SEEK_END)
            base = static_cast<long long>(m_size);
        else if (origin != STREAM_SEEK_SET)
            return STG_E_INVALIDFUNCTION;
        const long long to = base + move.QuadPart;
        if (to < 0) return STG_E_INVALIDFUNCTION;
        m_position = static_cast<unsigned long long>(to);
        if (position) position->QuadPart = m_position;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat) return STG_E_INVALIDPOINTER;
        *stat = STATSTG();
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_size;
        stat->grfMode = STGM_READ;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override {
        return STG_E_ACCESSDENIED;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return STG_E_INVALIDFUNCTION;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~SegmentStream() {}

    LONG m_refs = 1;
    int m_fd;
    std::vector<Segment> m_segments;
    unsigned long long m_size = 0;
    unsigned long long m_position = 0;
};

// Decodes the pixels of the open file's kept stretches as 8-bit RGBA into out->bitmap.
bool DecodePixels(int fd, std::vector<Segment> kept, vqpng::Picture* out, vqString* error) {
    ComScope com;
    if (!com.Ok()) {
        *error = Failure("COM cannot start", com.Result());
        return false;
    }
    Com<IWICImagingFactory> factory;
    if (!CreateFactory(&factory, error)) return false;
    // Released last, after everything that may hold it.
    Com<IStream> stream(new SegmentStream(fd, std::move(kept)));
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICBitmapSource> bgra;
    HRESULT hr = factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, &decoder);
    if (SUCCEEDED(hr)) hr = decoder->Initialize(stream.get(), WICDecodeMetadataCacheOnDemand);
    if (SUCCEEDED(hr)) hr = decoder->GetFrame(0, &frame);
    UINT width = 0, height = 0;
    if (SUCCEEDED(hr)) hr = frame->GetSize(&width, &height);
    if (SUCCEEDED(hr) && (width != out->width || height != out->height)) hr = E_UNEXPECTED;
    if (SUCCEEDED(hr))
        hr = WICConvertBitmapSource(GUID_WICPixelFormat32bppBGRA, frame.get(), &bgra);
    if (FAILED(hr)) {
        *error = Failure("the picture cannot be decoded", hr);
        return false;
    }
    // Decode straight into the bitmap: one copy of the pixels, not two.
    vqBitmap bitmap(static_cast<int>(width), static_cast<int>(height), 32);
    unsigned char* rgba = bitmap.GetWritableData();
    if (!rgba) {
        *error = vqT("out of memory for the picture");
        return false;
    }
    const UINT stride = width * 4;
    hr = bgra->CopyPixels(nullptr, stride, stride * height, rgba);
    if (FAILED(hr)) {
        *error = Failure("the picture cannot be decoded", hr);
        return false;
    }
    for (size_t i = 0, n = static_cast<size_t>(width) * height * 4; i < n; i += 4)
        std::swap(rgba[i], rgba[i + 2]);
    out->bitmap = bitmap;
    return true;
}

// Rows handed to the encoder at a time, converted from RGBA.
const int kBandRows = 64;

}  // namespace

namespace vqpng {

bool ReadFile(const vqString& fileName, size_t maxPixels, Picture* out, vqString* error) {
    unsigned long long size = 0;
    int fd = OpenPngFile(fileName, &size, error);
    if (fd < 0) return false;
    std::vector<Segment> kept;
    bool ok = WalkChunks(fd, size, out, &kept, error);
    if (ok && maxPixels != 0) {
        // Refuse from the header, before a single row is decoded.
        if (static_cast<unsigned long long>(out->width) * out->height > maxPixels) {
            *error = TooManyPixels(out->width, out->height, maxPixels);
            ok = false;
        } else {
            ok = DecodePixels(fd, std::move(kept), out, error);
        }
    }
    _close(fd);
    return ok;
}

bool Encode(const vqBitmap& bitmap, vqFileOutputStream* out, vqString* reason) {
    const UINT width = static_cast<UINT>(bitmap.GetWidth()),
               height = static_cast<UINT>(bitmap.GetHeight());
    const bool alpha = bitmap.HasAlpha();
    const unsigned char* rgba = bitmap.GetData();
    ComScope com;
    if (!com.Ok()) {
        *reason = Failure("COM cannot start", com.Result());
        return false;
    }
    Com<IWICImagingFactory> factory;
    if (!CreateFactory(&factory, reason)) return false;
    Com<IStream> memory;
    Com<IWICBitmapEncoder> encoder;
    Com<IWICBitmapFrameEncode> frame;
    Com<IPropertyBag2> options;
    HRESULT hr = CreateStreamOnHGlobal(nullptr, TRUE, &memory);
    if (SUCCEEDED(hr)) hr = factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, &encoder);
    if (SUCCEEDED(hr)) hr = encoder->Initialize(memory.get(), WICBitmapEncoderNoCache);
    if (SUCCEEDED(hr)) hr = encoder->CreateNewFrame(&frame, &options);
    if (SUCCEEDED(hr)) hr = frame->Initialize(options.get());
    if (SUCCEEDED(hr)) hr = frame->SetSize(width, height);
    const WICPixelFormatGUID wanted =
        alpha ? GUID_WICPixelFormat32bppBGRA : GUID_WICPixelFormat24bppBGR;
    WICPixelFormatGUID format = wanted;
    if (SUCCEEDED(hr)) hr = frame->SetPixelFormat(&format);
    if (SUCCEEDED(hr) && !IsEqualGUID(format, wanted)) hr = WINCODEC_ERR_UNSUPPORTEDPIXELFORMAT;
    // Without alpha the rows are packed to BGR, with it to BGRA, a band at a time.
    const size_t channels = alpha ? 4 : 3, stride = width * channels;
    std::vector<unsigned char> band;
    for (UINT y = 0; SUCCEEDED(hr) && y < height; y += kBandRows) {
        const UINT rows = std::min<UINT>(kBandRows, height - y);
        band.resize(stride * rows);
        const unsigned char* from = rgba + static_cast<size_t>(y) * width * 4;
        for (size_t i = 0, n = static_cast<size_t>(width) * rows; i < n; ++i) {
            band[i * channels] = from[i * 4 + 2];
            band[i * channels + 1] = from[i * 4 + 1];
            band[i * channels + 2] = from[i * 4];
            if (alpha) band[i * channels + 3] = from[i * 4 + 3];
        }
        hr = frame->WritePixels(rows, static_cast<UINT>(stride), static_cast<UINT>(band.size()),
                                band.data());
    }
    if (SUCCEEDED(hr)) hr = frame->Commit();
    if (SUCCEEDED(hr)) hr = encoder->Commit();
    HGLOBAL global = nullptr;
    STATSTG stat = {};
    if (SUCCEEDED(hr)) hr = GetHGlobalFromStream(memory.get(), &global);
    if (SUCCEEDED(hr)) hr = memory->Stat(&stat, STATFLAG_NONAME);
    if (FAILED(hr)) {
        *reason = Failure("the picture cannot be encoded", hr);
        return false;
    }
    const void* bytes = GlobalLock(global);
    if (!bytes) {
        *reason = vqT("out of memory for the encoded picture");
        return false;
    }
    out->Write(bytes, static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(global);
    if (out->IsOk()) return true;
    *reason = vqErrnoText(out->GetLastErrno());
    return false;
}

}  // namespace vqpng
