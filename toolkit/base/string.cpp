#include "vq/string.h"

#include <charconv>
#include <clocale>
#include <cstring>
#include <cstdio>
#include <cwchar>
#include <vector>
#if defined(__linux__) || defined(__APPLE__)
#include <locale.h>
#endif

const vqMBConvUTF8 vqConvUTF8;

namespace {

const char32_t kReplacement = 0xFFFD;

void AppendUTF8(std::string& out, char32_t cp) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

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
    std::string out;
    out.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if (sizeof(Unit) == 2) {
            cp &= 0xFFFF;
            if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < length) {
                char32_t low = static_cast<char32_t>(text[i + 1]) & 0xFFFF;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        AppendUTF8(out, cp);
    }
    return out;
}

// Decodes one UTF-8 sequence of at most n bytes into cp; returns its length, or 0
// when it is malformed (stray or missing continuation byte, overlong form,
// surrogate, beyond U+10FFFF).
size_t DecodeUTF8(const unsigned char* s, size_t n, char32_t* cp) {
    unsigned char c = s[0];
    if (c < 0x80) {
        *cp = c;
        return 1;
    }
    int extra = (c >> 5) == 6 ? 1 : (c >> 4) == 14 ? 2 : (c >> 3) == 30 ? 3 : -1;
    if (extra < 0 || static_cast<size_t>(extra) >= n) return 0;
    char32_t v = c & (0x3F >> extra);
    for (int k = 1; k <= extra; ++k) {
        if ((s[k] & 0xC0) != 0x80) return 0;
        v = (v << 6) | (s[k] & 0x3F);
    }
    static const char32_t kMin[] = {0, 0x80, 0x800, 0x10000};
    if (v < kMin[extra] || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF)) return 0;
    *cp = v;
    return static_cast<size_t>(extra) + 1;
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

#ifdef VQ_UNICODE
// Rewrites %s and %c to %ls and %lc so a wide format takes wide arguments.
std::wstring WidenConversions(const wchar_t* format) {
    std::wstring out;
    for (const wchar_t* p = format; *p; ++p) {
        out += *p;
        if (*p != L'%') continue;
        ++p;
        if (*p == L'%') {
            out += *p;
            continue;
        }
        bool hasLength = false;
        while (*p && wcschr(L"-+ #0123456789.*hlLqjzt", *p)) {
            if (wcschr(L"hlLqjzt", *p)) hasLength = true;
            out += *p++;
        }
        if (!*p) break;
        if ((*p == L's' || *p == L'c') && !hasLength) out += L'l';
        out += *p;
    }
    return out;
}
#endif

#if defined(__linux__) || defined(__APPLE__)
// Switches the calling thread to the C locale for the scope, so numbers always
// use a decimal point.
class CLocaleScope {
public:
    CLocaleScope() : m_previous(uselocale(CLocale())) {}
    ~CLocaleScope() { uselocale(m_previous); }

private:
    static locale_t CLocale() {
        static locale_t c = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(0));
        return c;
    }
    locale_t m_previous;
};
#else
class CLocaleScope {};
#endif

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

namespace {

// One conversion of a format: flags '-' and '0', a width, a precision, a length.
struct Conversion {
    bool left = false, zero = false;
    int width = 0, precision = -1, length = 0;  // length: 1 = l, 2 = ll or z
    char type = 0;
};

// Parses the conversion after a '%'; false for anything the direct path leaves
// to the C library (other flags, '*', unusual lengths or types).
bool ParseConversion(const vqChar*& p, Conversion& c) {
    for (;; ++p) {
        if (*p == '-')
            c.left = true;
        else if (*p == '0')
            c.zero = true;
        else
            break;
    }
    while (*p >= '0' && *p <= '9') c.width = c.width * 10 + (*p++ - '0');
    if (*p == '.') {
        ++p;
        c.precision = 0;
        while (*p >= '0' && *p <= '9') c.precision = c.precision * 10 + (*p++ - '0');
    }
    if (*p == 'l') {
        c.length = 1, ++p;
        if (*p == 'l') c.length = 2, ++p;
    } else if (*p == 'z') {
        c.length = 2, ++p;
    }
    if (c.width > 512 || c.precision > 64) return false;
    switch (*p) {
        case 'd':
        case 'i':
        case 'u':
        case 'x':
        case 'X':
            if (c.precision >= 0) return false;
            break;
        case 'g':
        case 'f':
        case 'e':
            if (c.length) return false;
            break;
        case 's':
        case 'c':
            if (c.length || c.zero || (*p == 'c' && c.precision >= 0)) return false;
            break;
        default:
            return false;
    }
    c.type = static_cast<char>(*p++);
    return true;
}

// Appends a field, padded to the conversion's width; zero padding goes after a sign.
void AppendPadded(vqString::StdString& out, const Conversion& c, const char* text, size_t n,
                  bool numeric) {
    size_t pad = c.width > static_cast<int>(n) ? c.width - n : 0;
    if (pad && !c.left && c.zero && numeric) {
        size_t sign = n && (text[0] == '-' || text[0] == '+') ? 1 : 0;
        out.append(text, text + sign);
        out.append(pad, '0');
        out.append(text + sign, text + n);
        return;
    }
    if (!c.left) out.append(pad, ' ');
    out.append(text, text + n);
    if (c.left) out.append(pad, ' ');
}

// Formats the common conversions without the C library's locale and set-up;
// false when the format holds another kind (args is then a spent copy).
// locale and its per-call set-up.
bool FormatDirect(const vqChar* p, va_list args, vqString::StdString& out) {
    out.reserve(64);
    char buf[512];  // holds any double in %f with precision 64
    while (*p) {
        const vqChar* literal = p;
        while (*p && *p != '%') ++p;
        out.append(literal, p);
        if (!*p) break;
        ++p;
        if (*p == '%') {
            out += *p++;
            continue;
        }
        Conversion c;
        if (!ParseConversion(p, c)) return false;
        std::to_chars_result r{buf, std::errc()};
        switch (c.type) {
            case 'd':
            case 'i':
                r = c.length == 0   ? std::to_chars(buf, buf + sizeof buf, va_arg(args, int))
                    : c.length == 1 ? std::to_chars(buf, buf + sizeof buf, va_arg(args, long))
                                    : std::to_chars(buf, buf + sizeof buf, va_arg(args, long long));
                break;
            case 'u':
            case 'x':
            case 'X': {
                int base = c.type == 'u' ? 10 : 16;
                r = c.length == 0
                        ? std::to_chars(buf, buf + sizeof buf, va_arg(args, unsigned), base)
                    : c.length == 1
                        ? std::to_chars(buf, buf + sizeof buf, va_arg(args, unsigned long), base)
                        : std::to_chars(buf, buf + sizeof buf, va_arg(args, unsigned long long),
                                        base);
                if (c.type == 'X')
                    for (char* q = buf; q < r.ptr; ++q)
                        if (*q >= 'a' && *q <= 'f') *q = static_cast<char>(*q - 'a' + 'A');
                break;
            }
            case 'g':
            case 'f':
            case 'e': {
                std::chars_format f = c.type == 'g'   ? std::chars_format::general
                                      : c.type == 'f' ? std::chars_format::fixed
                                                      : std::chars_format::scientific;
                int precision = c.precision < 0 ? 6 : c.precision;
                if (c.type == 'g' && precision == 0) precision = 1;
                r = std::to_chars(buf, buf + sizeof buf, va_arg(args, double), f, precision);
                break;
            }
            case 'c': {
                vqChar ch = static_cast<vqChar>(va_arg(args, int));
                size_t pad = c.width > 1 ? c.width - 1 : 0;
                if (!c.left) out.append(pad, ' ');
                out += ch;
                if (c.left) out.append(pad, ' ');
                continue;
            }
            case 's': {
                const vqChar* str = va_arg(args, const vqChar*);
                if (!str) str = vqT("(null)");
                size_t n = std::char_traits<vqChar>::length(str);
                if (c.precision >= 0 && static_cast<size_t>(c.precision) < n) n = c.precision;
                size_t pad = c.width > static_cast<int>(n) ? c.width - n : 0;
                if (!c.left) out.append(pad, ' ');
                out.append(str, n);
                if (c.left) out.append(pad, ' ');
                continue;
            }
        }
        if (r.ec != std::errc()) return false;
        AppendPadded(out, c, buf, static_cast<size_t>(r.ptr - buf), true);
    }
    return true;
}

}  // namespace

vqString vqString::FormatV(const vqChar* format, va_list args) {
    if (!format) return vqString();
    {
        vqString::StdString out;
        va_list copy;
        va_copy(copy, args);
        bool done = FormatDirect(format, copy, out);
        va_end(copy);
        if (done) return vqString(std::move(out));
    }
    CLocaleScope cLocale;
#ifdef VQ_UNICODE
    std::wstring fmt = WidenConversions(format);
    std::vector<wchar_t> buffer(256);
    for (;;) {
        va_list copy;
        va_copy(copy, args);
        int n = vswprintf(buffer.data(), buffer.size(), fmt.c_str(), copy);
        va_end(copy);
        if (n >= 0 && static_cast<size_t>(n) < buffer.size()) return vqString(buffer.data(), n);
        // NOTE: vswprintf reports truncation and encoding errors alike with -1.
        if (buffer.size() > (1u << 26)) return vqString();
        buffer.resize(buffer.size() * 4);
    }
#else
    char small[512];
    va_list copy;
    va_copy(copy, args);
    int n = vsnprintf(small, sizeof small, format, copy);
    va_end(copy);
    if (n < 0) return vqString();
    if (static_cast<size_t>(n) < sizeof small) return vqString(small, n);
    std::string big(static_cast<size_t>(n) + 1, '\0');
    vsnprintf(&big[0], big.size(), format, args);
    big.resize(n);
    return vqString(std::move(big));
#endif
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
