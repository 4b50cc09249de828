#include "vq/string.h"

#include <cstring>

#include "format_engine.h"

const vqMBConvUTF8 vqConvUTF8;

namespace {

using vqfmt::DecodeUTF8;
using vqfmt::kReplacement;

// Appends a code point in UTF-16 (two units from U+10000) or UTF-32.
template <class String>
void AppendUnits(String& out, char32_t cp) {
    typedef typename String::value_type Unit;
    if (sizeof(Unit) == 2 && cp >= 0x10000) {
        cp -= 0x10000;
        out += static_cast<Unit>(0xD800 + (cp >> 10));
        out += static_cast<Unit>(0xDC00 + (cp & 0x3FF));
    } else {
        out += static_cast<Unit>(cp);
    }
}

// Encodes UTF-16 or UTF-32 units (by their size) as UTF-8.
template <class Unit>
std::string UnitsToUTF8(const Unit* text, size_t length) {
    std::string out(length * 4, '\0');
    size_t used = 0;
    char* end = vqfmt::EncodeUnits(text, length, &out[0], &used);
    out.resize(static_cast<size_t>(end - out.data()));
    return out;
}

// Decodes UTF-8 into UTF-16 or UTF-32 units; each byte that starts no valid
// sequence becomes U+FFFD.
template <class String>
String UTF8ToUnits(const char* text, size_t length) {
    String out;
    out.reserve(length);
    const unsigned char* s = reinterpret_cast<const unsigned char*>(text);
    size_t i = 0;
    while (i < length) {
        char32_t cp = 0;
        size_t n = DecodeUTF8(s + i, length - i, &cp);
        AppendUnits(out, n ? cp : kReplacement);
        i += n ? n : 1;
    }
    return out;
}

// Formats into a string of the build's width.
class StringSink {
public:
    explicit StringSink(vqString::StdString& out) : m_out(out) {}
    void Append(const vqChar* text, size_t n) { m_out.append(text, n); }
    void AppendAscii(const char* text, size_t n) {
#ifdef VQ_UNICODE
        const size_t at = m_out.size();
        m_out.resize(at + n);
        for (size_t i = 0; i < n; ++i) m_out[at + i] = static_cast<wchar_t>(text[i]);
#else
        m_out.append(text, n);
#endif
    }
    void Fill(char c, size_t n) { m_out.append(n, static_cast<vqChar>(c)); }
    void AppendNarrow(const char* text, size_t n) {
#ifdef VQ_UNICODE
        m_out += vqUTF8ToWide(text, n);
#else
        m_out.append(text, n);
#endif
    }
    void AppendWide(const wchar_t* text, size_t n) {
#ifdef VQ_UNICODE
        m_out.append(text, n);
#else
        m_out += vqWideToUTF8(text, n);
#endif
    }

private:
    vqString::StdString& m_out;
};

}  // namespace

std::string vqWideToUTF8(const wchar_t* text, size_t length) { return UnitsToUTF8(text, length); }

std::wstring vqUTF8ToWide(const char* text, size_t length) {
    return UTF8ToUnits<std::wstring>(text, length);
}

std::string vqUTF16ToUTF8(const char16_t* text, size_t length) { return UnitsToUTF8(text, length); }

std::u16string vqUTF8ToUTF16(const char* text, size_t length) {
    return UTF8ToUnits<std::u16string>(text, length);
}

vqString vqString::FromUTF8(const char* text, size_t length) {
    if (!text) return vqString();
    if (length == std::string::npos) length = strlen(text);
#ifdef VQ_UNICODE
    return vqString(vqUTF8ToWide(text, length));
#else
    return vqString(text, length);
#endif
}

std::string vqString::ToUTF8() const {
#ifdef VQ_UNICODE
    return vqWideToUTF8(m_impl.data(), m_impl.size());
#else
    return m_impl;
#endif
}

vqString vqString::FormatV(const vqChar* format, va_list args) {
    if (!format) return vqString();
    StdString out;
    out.reserve(64);
    StringSink sink(out);
    vqfmt::FormatTo(sink, format, args);
    return vqString(std::move(out));
}

vqString vqString::Format(const vqChar* format, ...) {
    va_list args;
    va_start(args, format);
    vqString s = FormatV(format, args);
    va_end(args);
    return s;
}

int vqString::Printf(const vqChar* format, ...) {
    va_list args;
    va_start(args, format);
    *this = FormatV(format, args);
    va_end(args);
    return static_cast<int>(m_impl.size());
}

vqString vqString::BeforeLast(vqChar ch) const {
    size_t pos = m_impl.rfind(ch);
    return pos == StdString::npos ? vqString() : vqString(m_impl.substr(0, pos));
}

vqString vqString::AfterLast(vqChar ch) const {
    size_t pos = m_impl.rfind(ch);
    return pos == StdString::npos ? *this : vqString(m_impl.substr(pos + 1));
}

int vqString::Find(vqChar ch, bool fromEnd) const {
    size_t pos = fromEnd ? m_impl.rfind(ch) : m_impl.find(ch);
    return pos == StdString::npos ? -1 : static_cast<int>(pos);
}

namespace {

// Copies ASCII digits into a wide buffer; returns the end.
wchar_t* Widen(wchar_t* buffer, const char* text, size_t n) {
    for (size_t i = n; i-- > 0;) buffer[i] = static_cast<wchar_t>(text[i]);
    return buffer + n;
}

// Formats into a buffer known to be large enough.
class BufferSink {
public:
    explicit BufferSink(char* at) : m_at(at) {}
    void AppendAscii(const char* text, size_t n) {
        memcpy(m_at, text, n);
        m_at += n;
    }
    void Fill(char c, size_t n) {
        memset(m_at, c, n);
        m_at += n;
    }
    char* End() const { return m_at; }

private:
    char* m_at;
};

}  // namespace

char* vqWriteInt(char* buffer, long long value) { return vqfmt::WriteInt(buffer, value); }

wchar_t* vqWriteInt(wchar_t* buffer, long long value) {
    char digits[vqNUMBER_TEXT_MAX];
    return Widen(buffer, digits, static_cast<size_t>(vqfmt::WriteInt(digits, value) - digits));
}

char* vqWriteDouble(char* buffer, double value, int precision) {
    vqfmt::Conversion general;
    general.type = 'g';
    general.precision = precision < 0 ? -1 : vqfmt::ClampInt(precision, 17);
    BufferSink sink(buffer);
    vqfmt::PutFloat(sink, general, value);
    return sink.End();
}

wchar_t* vqWriteDouble(wchar_t* buffer, double value, int precision) {
    char digits[vqNUMBER_TEXT_MAX];
    char* end = vqWriteDouble(digits, value, precision);
    return Widen(buffer, digits, static_cast<size_t>(end - digits));
}

char* vqWriteDate(char* buffer, int year, int month, int day) {
    char* at = vqfmt::WriteZeroPadded(buffer, year, 4);
    *at++ = '-';
    at = vqfmt::WriteZeroPadded(at, month, 2);
    *at++ = '-';
    return vqfmt::WriteZeroPadded(at, day, 2);
}

wchar_t* vqWriteDate(wchar_t* buffer, int year, int month, int day) {
    char text[vqDATE_TEXT_MAX];
    return Widen(buffer, text, static_cast<size_t>(vqWriteDate(text, year, month, day) - text));
}

char* vqWriteTime(char* buffer, int hour, int minute, int second, int millisecond) {
    char* at = vqfmt::WriteZeroPadded(buffer, hour, 2);
    *at++ = ':';
    at = vqfmt::WriteZeroPadded(at, minute, 2);
    *at++ = ':';
    at = vqfmt::WriteZeroPadded(at, second, 2);
    if (millisecond >= 0) {
        *at++ = '.';
        at = vqfmt::WriteZeroPadded(at, millisecond, 3);
    }
    return at;
}

wchar_t* vqWriteTime(wchar_t* buffer, int hour, int minute, int second, int millisecond) {
    char text[vqTIME_TEXT_MAX];
    char* end = vqWriteTime(text, hour, minute, second, millisecond);
    return Widen(buffer, text, static_cast<size_t>(end - text));
}

vqString vqDecToHex(int value) {
    static const char digits[] = "0123456789ABCDEF";
    vqChar buf[3] = {static_cast<vqChar>(digits[(value >> 4) & 0xF]),
                     static_cast<vqChar>(digits[value & 0xF]), 0};
    return vqString(buf, 2);
}

namespace {

// The XML 1.0 Char production: tab, LF, CR and the code points from U+0020 on,
// less the surrogates, U+FFFE and U+FFFF.
inline bool IsXmlChar(char32_t c) {
    return c >= 0x20
               ? (c <= 0xD7FF || (c >= 0xE000 && c <= 0xFFFD) || (c >= 0x10000 && c <= 0x10FFFF))
               : (c == '\t' || c == '\n' || c == '\r');
}

#ifdef VQ_UNICODE
const wchar_t kXmlReplacement[] = L"\uFFFD";
#else
const char kXmlReplacement[] = "\xEF\xBF\xBD";
#endif

// The entity for a markup character, or null when c stands for itself.
inline const vqChar* XmlEntity(vqChar c, bool inAttribute) {
    switch (c) {
        case '&':
            return vqT("&amp;");
        case '<':
            return vqT("&lt;");
        case '>':
            return vqT("&gt;");
        case '"':
            return inAttribute ? vqT("&quot;") : nullptr;
        default:
            return nullptr;
    }
}

// Length of the code point at text[i] when it may stand in XML as it is: a
// valid UTF-8 sequence (8-bit builds) or a unit or surrogate pair (wide builds)
// of an XML character. 0 when it must be replaced; then skip gives the units
// the replacement stands for.
inline size_t XmlCharLength(const vqChar* text, size_t i, size_t n, size_t* skip) {
#ifdef VQ_UNICODE
    char32_t c = static_cast<char32_t>(text[i]);
    if (sizeof(wchar_t) == 2) {
        c &= 0xFFFF;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < n) {
            char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
            if (low >= 0xDC00 && low <= 0xDFFF) return 2;
        }
    }
    *skip = 1;
    return IsXmlChar(c) ? 1 : 0;
#else
    char32_t c = 0;
    size_t len = DecodeUTF8(reinterpret_cast<const unsigned char*>(text) + i, n - i, &c);
    *skip = len ? len : 1;
    return len && IsXmlChar(c) ? len : 0;
#endif
}

}  // namespace

void vqXmlEscapeAppend(vqString::StdString& out, const vqChar* text, size_t length,
                       bool inAttribute) {
    size_t run = 0;  // start of the characters not yet copied
    size_t i = 0;
    while (i < length) {
        const vqChar c = text[i];
        const unsigned u = static_cast<unsigned>(c);
        if (u >= 0x20 && u < 0x7F) {
            const vqChar* entity = u <= '>' ? XmlEntity(c, inAttribute) : nullptr;
            if (!entity) {
                ++i;
                continue;
            }
            out.append(text + run, i - run);
            out += entity;
            run = ++i;
            continue;
        }
        size_t skip = 1;
        size_t len = XmlCharLength(text, i, length, &skip);
        if (len) {
            i += len;
            continue;
        }
        // A character XML forbids, or bytes that are not UTF-8, become U+FFFD.
        out.append(text + run, i - run);
        out += kXmlReplacement;
        run = i += skip;
    }
    out.append(text + run, length - run);
}

vqString vqUriEscapePath(const vqString& path) {
    static const char kHex[] = "0123456789ABCDEF";
    const std::string bytes = path.ToUTF8();
    const unsigned char* s = reinterpret_cast<const unsigned char*>(bytes.data());
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        char32_t cp = 0;
        size_t len = DecodeUTF8(s + i, bytes.size() - i, &cp);
        const bool keep = len && IsXmlChar(cp) && cp != '%' && cp != '#' && cp != '?' &&
                          cp != '\t' && cp != '\n' && cp != '\r';
        if (!len) len = 1;
        for (size_t k = 0; k < len; ++k, ++i) {
            if (keep) {
                out += static_cast<char>(s[i]);
            } else {
                out += '%';
                out += kHex[s[i] >> 4];
                out += kHex[s[i] & 0xF];
            }
        }
    }
    return vqString::FromUTF8(out);
}

vqString vqXmlEscape(const vqString& text, bool inAttribute) {
    vqString::StdString out;
    out.reserve(text.length() + 8);
    vqXmlEscapeAppend(out, text.c_str(), text.length(), inAttribute);
    return vqString(std::move(out));
}
