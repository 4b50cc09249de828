// PNG through the Windows Imaging Component. The file's chunks are walked here first
// (headers only), so WIC never meets a chunk that claims more bytes than the file
// holds; WIC then decodes the pixels, converted to 8-bit BGRA, or encodes the rows.
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

std::wstring WidePath(const vqString& fileName) {
    const std::string utf8 = fileName.ToUTF8();
    const std::u16string utf16 = vqUTF8ToUTF16(utf8.data(), utf8.size());
    return std::wstring(utf16.begin(), utf16.end());
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

// Walks the chunks of a file of fileSize bytes whose signature was read: the header
// must come first with a valid size, and every chunk up to IEND must lie within the
// file. Fills the size and the alpha flag; false with the reason.
bool WalkChunks(int fd, unsigned long long fileSize, vqpng::Picture* out, vqString* error) {
    unsigned long long offset = sizeof vqpng::kSignature;
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

// Decodes the pixels of the file as 8-bit RGBA into out->bitmap.
bool DecodePixels(const vqString& fileName, vqpng::Picture* out, vqString* error) {
    ComScope com;
    if (!com.Ok()) {
        *error = Failure("COM cannot start", com.Result());
        return false;
    }
    Com<IWICImagingFactory> factory;
    if (!CreateFactory(&factory, error)) return false;
    Com<IWICStream> stream;
    Com<IWICBitmapDecoder> decoder;
    Com<IWICBitmapFrameDecode> frame;
    Com<IWICBitmapSource> bgra;
    HRESULT hr = factory->CreateStream(&stream);
    if (SUCCEEDED(hr))
        hr = stream->InitializeFromFilename(WidePath(fileName).c_str(), GENERIC_READ);
    if (FAILED(hr)) {
        *error = Failure("the file cannot be opened", hr);
        return false;
    }
    hr = factory->CreateDecoder(GUID_ContainerFormatPng, nullptr, &decoder);
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
    bool ok = WalkChunks(fd, size, out, error);
    _close(fd);
    if (!ok || maxPixels == 0) return ok;
    // Refuse from the header, before a single row is decoded.
    if (static_cast<unsigned long long>(out->width) * out->height > maxPixels) {
        *error = TooManyPixels(out->width, out->height, maxPixels);
        return false;
    }
    return DecodePixels(fileName, out, error);
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
