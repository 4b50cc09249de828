// The toolkit's one formatter, shared by vqString and vqFileOutputStream (not
// installed): printf conventions, numbers that never depend on the process
// locale, written piece by piece into any sink. A sink offers
//   Append(const vqChar*, n)      text of the build's width (literal runs, %s)
//   AppendAscii(const char*, n)   digits, signs, exponents
//   Fill(char, n)                 padding
//   AppendNarrow(const char*, n)  UTF-8 text (%hs in wide builds)
//   AppendWide(const wchar_t*, n) wide text (%ls in 8-bit builds)
#ifndef VQ_TOOLKIT_FORMAT_ENGINE_H
#define VQ_TOOLKIT_FORMAT_ENGINE_H

#include <charconv>
#include <cmath>
#include <cstdarg>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <cwchar>
#include <string>
#include <type_traits>
#include <locale.h>

#include "vq/string.h"

namespace vqfmt {

// Widths above this are taken as this, and so are precisions above kMaxPrecision.
const int kMaxWidth = 4096;
const int kMaxPrecision = 512;

const char32_t kReplacement = 0xFFFD;

// Encodes one code point as UTF-8 at out (room for 4 bytes); surrogates and values
// beyond U+10FFFF become U+FFFD. Returns the end.
inline char* EncodeUTF8(char32_t cp, char* out) {
    if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) cp = kReplacement;
    if (cp < 0x80) {
        *out++ = static_cast<char>(cp);
    } else if (cp < 0x800) {
        *out++ = static_cast<char>(0xC0 | (cp >> 6));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        *out++ = static_cast<char>(0xE0 | (cp >> 12));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        *out++ = static_cast<char>(0xF0 | (cp >> 18));
        *out++ = static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        *out++ = static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        *out++ = static_cast<char>(0x80 | (cp & 0x3F));
    }
    return out;
}

// Encodes UTF-16 or UTF-32 units (by their size) as UTF-8 at out, which has room
// for 4 bytes a unit; a surrogate pair becomes one code point, a lone surrogate
// U+FFFD. *used tells how many units were taken: all, unless the last is a high
// surrogate whose partner lies beyond length and more may follow (more == true).
template <class Unit>
char* EncodeUnits(const Unit* text, size_t length, char* out, size_t* used, bool more = false) {
    size_t i = 0;
    for (; i < length; ++i) {
        char32_t cp = static_cast<char32_t>(text[i]);
        if (cp < 0x80) {
            *out++ = static_cast<char>(cp);
            continue;
        }
        if (sizeof(Unit) == 2) {
            cp &= 0xFFFF;
            if (cp >= 0xD800 && cp <= 0xDBFF) {
                if (i + 1 == length && more) break;
                char32_t low = i + 1 < length ? static_cast<char32_t>(text[i + 1]) & 0xFFFF : 0;
                if (low >= 0xDC00 && low <= 0xDFFF) {
                    cp = 0x10000 + ((cp - 0xD800) << 10) + (low - 0xDC00);
                    ++i;
                }
            }
        }
        out = EncodeUTF8(cp, out);
    }
    *used = i;
    return out;
}

// Decodes one UTF-8 sequence of at most n bytes into cp; returns its length, or 0
// when it is malformed (stray or missing continuation byte, overlong form,
// surrogate, beyond U+10FFFF).
inline size_t DecodeUTF8(const unsigned char* s, size_t n, char32_t* cp) {
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

// Writes the decimal digits of value, with '-' when negative; returns the end.
// Needs room for 20 characters.
inline char* WriteInt(char* at, long long value) { return std::to_chars(at, at + 20, value).ptr; }

// Writes value as printf's "%0*lld" would: zero-padded to width characters, the
// sign counted. Needs room for the larger of width and 20 characters.
inline char* WriteZeroPadded(char* at, long long value, int width) {
    // The common case, a date or time field: the digits fill the width exactly.
    static const long long kPow10[] = {1, 10, 100, 1000, 10000};
    static const char kPairs[] =
        "00010203040506070809101112131415161718192021222324252627282930313233343536373839"
        "40414243444546474849505152535455565758596061626364656667686970717273747576777879"
        "8081828384858687888990919293949596979899";
    if (value >= 0 && width >= 1 && width <= 4 && value < kPow10[width]) {
        // Two digits at a time from the table, the odd one first.
        int i = width;
        unsigned v = static_cast<unsigned>(value);
        for (; i >= 2; i -= 2, v /= 100) memcpy(at + i - 2, kPairs + 2 * (v % 100), 2);
        if (i) at[0] = static_cast<char>('0' + v);
        return at + width;
    }
    char digits[20];
    char* end = WriteInt(digits, value);
    size_t n = static_cast<size_t>(end - digits);
    size_t sign = value < 0 ? 1 : 0;
    if (sign) *at++ = '-';
    for (size_t len = n; static_cast<long long>(len) < width; ++len) *at++ = '0';
    memcpy(at, digits + sign, n - sign);
    return at + (n - sign);
}

#if defined(_WIN32)
// Switches the calling thread to the C locale's numbers for the scope.
// NOTE: the C runtime has no uselocale; a thread gets a locale of its own through
// _configthreadlocale, and setlocale then changes that one alone.
class CLocaleScope {
public:
    CLocaleScope() : m_mode(_configthreadlocale(_ENABLE_PER_THREAD_LOCALE)) {
        const char* previous = setlocale(LC_NUMERIC, nullptr);
        if (previous && strcmp(previous, "C") != 0) {
            m_previous = previous;
            setlocale(LC_NUMERIC, "C");
        }
    }
    ~CLocaleScope() {
        if (!m_previous.empty()) setlocale(LC_NUMERIC, m_previous.c_str());
        if (m_mode > 0) _configthreadlocale(m_mode);
    }
    CLocaleScope(const CLocaleScope&) = delete;
    CLocaleScope& operator=(const CLocaleScope&) = delete;

private:
    int m_mode;
    std::string m_previous;
};
#else
// Switches the calling thread to the C locale for the scope.
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
#endif

// Reads the argument of %lc: a wint_t, which is passed as an int where it is narrower
// (16 bits on Windows).
inline wchar_t ReadWideChar(va_list* args) {
    typedef std::conditional<(sizeof(wint_t) < sizeof(int)), int, wint_t>::type Passed;
    return static_cast<wchar_t>(va_arg(*args, Passed));
}

// One conversion of a format.
struct Conversion {
    bool left = false, zero = false, plus = false, space = false, alt = false;
    int width = 0, precision = -1;
    // 0 none, 'H' hh, 'h', 'l', 'q' ll, 'j', 'z', 't', 'L'
    char length = 0;
    char type = 0;
};

inline int ClampInt(long long v, int most) { return v > most ? most : static_cast<int>(v); }

// Parses the conversion after a '%', taking '*' widths and precisions from args.
inline void ParseConversion(const vqChar*& p, Conversion& c, va_list* args) {
    for (;; ++p) {
        if (*p == '-')
            c.left = true;
        else if (*p == '0')
            c.zero = true;
        else if (*p == '+')
            c.plus = true;
        else if (*p == ' ')
            c.space = true;
        else if (*p == '#')
            c.alt = true;
        else if (*p != '\'')  // digit grouping: none in the C locale
            break;
    }
    if (*p == '*') {
        ++p;
        long long w = va_arg(*args, int);
        if (w < 0) c.left = true, w = -w;
        c.width = ClampInt(w, kMaxWidth);
    } else {
        long long w = 0;
        while (*p >= '0' && *p <= '9') w = ClampInt(w * 10 + (*p++ - '0'), kMaxWidth);
        c.width = static_cast<int>(w);
    }
    if (*p == '.') {
        ++p;
        if (*p == '*') {
            ++p;
            int pr = va_arg(*args, int);
            c.precision = pr < 0 ? -1 : ClampInt(pr, kMaxPrecision);
        } else {
            long long pr = 0;
            while (*p >= '0' && *p <= '9') pr = ClampInt(pr * 10 + (*p++ - '0'), kMaxPrecision);
            c.precision = static_cast<int>(pr);
        }
    }
    switch (*p) {
        case 'h':
            ++p;
            c.length = *p == 'h' ? (++p, 'H') : 'h';
            break;
        case 'l':
            ++p;
            c.length = *p == 'l' ? (++p, 'q') : 'l';
            break;
        case 'q':
        case 'j':
        case 'z':
        case 't':
        case 'L':
            c.length = static_cast<char>(*p++);
            break;
    }
    c.type = *p ? static_cast<char>(*p++) : 0;
}

inline long long ReadSigned(const Conversion& c, va_list* args) {
    switch (c.length) {
        case 'H':
            return static_cast<signed char>(va_arg(*args, int));
        case 'h':
            return static_cast<short>(va_arg(*args, int));
        case 'l':
            return va_arg(*args, long);
        case 'q':
            return va_arg(*args, long long);
        case 'j':
            return va_arg(*args, intmax_t);
        case 'z':
            return va_arg(*args, std::make_signed<size_t>::type);
        case 't':
            return va_arg(*args, ptrdiff_t);
        default:
            return va_arg(*args, int);
    }
}

inline unsigned long long ReadUnsigned(const Conversion& c, va_list* args) {
    switch (c.length) {
        case 'H':
            return static_cast<unsigned char>(va_arg(*args, unsigned));
        case 'h':
            return static_cast<unsigned short>(va_arg(*args, unsigned));
        case 'l':
            return va_arg(*args, unsigned long);
        case 'q':
            return va_arg(*args, unsigned long long);
        case 'j':
            return va_arg(*args, uintmax_t);
        case 'z':
            return va_arg(*args, size_t);
        case 't':
            return static_cast<unsigned long long>(va_arg(*args, ptrdiff_t));
        default:
            return va_arg(*args, unsigned);
    }
}

// Writes a number as sign, prefix, zeros and digits, padded to the width.
template <class Sink>
void PutNumber(Sink& sink, const Conversion& c, const char* sign, const char* prefix, size_t zeros,
               const char* digits, size_t n, bool zeroPad) {
    const size_t signLen = strlen(sign), prefixLen = strlen(prefix);
    const size_t len = signLen + prefixLen + zeros + n;
    const size_t pad = static_cast<size_t>(c.width) > len ? c.width - len : 0;
    if (pad && !c.left && !zeroPad) sink.Fill(' ', pad);
    if (signLen) sink.AppendAscii(sign, signLen);
    if (prefixLen) sink.AppendAscii(prefix, prefixLen);
    if (pad && !c.left && zeroPad) sink.Fill('0', pad);
    if (zeros) sink.Fill('0', zeros);
    sink.AppendAscii(digits, n);
    if (pad && c.left) sink.Fill(' ', pad);
}

template <class Sink>
void PutInteger(Sink& sink, const Conversion& c, va_list* args) {
    const bool isSigned = c.type == 'd' || c.type == 'i';
    unsigned long long magnitude;
    const char* sign = "";
    if (isSigned) {
        long long v = ReadSigned(c, args);
        magnitude = v < 0 ? 0ULL - static_cast<unsigned long long>(v) : v;
        sign = v < 0 ? "-" : c.plus ? "+" : c.space ? " " : "";
    } else {
        magnitude = ReadUnsigned(c, args);
    }
    const int base = c.type == 'x' || c.type == 'X' ? 16 : c.type == 'o' ? 8 : 10;
    char buf[24];
    size_t n = 0;
    if (magnitude != 0 || c.precision != 0) {
        char* end = std::to_chars(buf, buf + sizeof buf, magnitude, base).ptr;
        if (c.type == 'X')
            for (char* q = buf; q < end; ++q)
                if (*q >= 'a') *q = static_cast<char>(*q - 'a' + 'A');
        n = static_cast<size_t>(end - buf);
    }
    // The common case: plain digits, no flags.
    if (c.width == 0 && c.precision < 0 && !c.alt && !*sign) {
        sink.AppendAscii(buf, n);
        return;
    }
    size_t zeros = c.precision > static_cast<int>(n) ? c.precision - n : 0;
    const char* prefix = "";
    if (c.alt && magnitude != 0 && base == 16) prefix = c.type == 'X' ? "0X" : "0x";
    if (c.alt && base == 8 && zeros == 0 && (n == 0 || buf[0] != '0')) zeros = 1;
    PutNumber(sink, c, sign, prefix, zeros, buf, n, c.zero && c.precision < 0);
}

// Writes v as "%.*g" of precision (1 to 15) would when v is a short decimal: when v * 10^k
// rounds to a whole N below 10^precision for some k from 0 to 8, N / 10^k lies within half a
// unit in the last place of v, closer than half a step of precision significant digits,
// so it is the very number %g rounds v to. Returns the end, or null for other values.
inline char* WriteShortDecimalAsG(char* at, double v, int precision) {
    static const double kPow10[] = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                    1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
    const double magnitude = std::fabs(v);
    if (!(magnitude < kPow10[precision])) return nullptr;  // too large, infinite or NaN
    int k = 0;
    double scaled = 0;
    for (;; ++k) {
        if (k > 8) return nullptr;
        scaled = magnitude * kPow10[k];
        if (scaled >= kPow10[precision]) return nullptr;
        if (scaled == static_cast<double>(static_cast<long long>(scaled))) break;
    }
    char digits[20];
    int n = static_cast<int>(
        std::to_chars(digits, digits + sizeof digits, static_cast<long long>(scaled)).ptr - digits);
    while (k > 0 && digits[n - 1] == '0') --n, --k;
    const int exponent = n - 1 - k;  // of the first digit
    if (std::signbit(v)) *at++ = '-';
    if (exponent < -4 || exponent >= precision) {
        *at++ = digits[0];
        if (n > 1) *at++ = '.';
        memcpy(at, digits + 1, static_cast<size_t>(n - 1));
        at += n - 1;
        *at++ = 'e';
        *at++ = exponent < 0 ? '-' : '+';
        const int e = exponent < 0 ? -exponent : exponent;
        *at++ = static_cast<char>('0' + e / 10);
        *at++ = static_cast<char>('0' + e % 10);
    } else if (exponent >= 0) {
        memcpy(at, digits, static_cast<size_t>(exponent + 1));
        at += exponent + 1;
        if (n > exponent + 1) *at++ = '.';
        memcpy(at, digits + exponent + 1, static_cast<size_t>(n - exponent - 1));
        at += n - exponent - 1;
    } else {
        *at++ = '0';
        *at++ = '.';
        for (int i = -1; i > exponent; --i) *at++ = '0';
        memcpy(at, digits, static_cast<size_t>(n));
        at += n;
    }
    return at;
}

template <class Sink>
void PutFloat(Sink& sink, const Conversion& c, double v) {
    const char lower = static_cast<char>(c.type | 0x20);
    int precision = c.precision < 0 ? 6 : c.precision;
    char buf[kMaxPrecision + 330];  // %f of 1e308 at the largest precision
    char* end;
    if (lower == 'g' && precision <= 15 &&
        (end = WriteShortDecimalAsG(buf, v, precision < 1 ? 1 : precision)) != nullptr) {
        // A whole number or a short decimal, written from its digits: the common case.
    } else {
        std::chars_format f = lower == 'g'   ? std::chars_format::general
                              : lower == 'f' ? std::chars_format::fixed
                                             : std::chars_format::scientific;
        if (lower == 'g' && precision == 0) precision = 1;
        end = std::to_chars(buf, buf + sizeof buf, v, f, precision).ptr;
    }
    if (c.type != lower)
        for (char* q = buf; q < end; ++q)
            if (*q >= 'a' && *q <= 'z') *q = static_cast<char>(*q - 'a' + 'A');
    const char* digits = buf;
    const char* sign = "";
    if (*digits == '-') {
        sign = "-";
        ++digits;
    } else if (c.plus) {
        sign = "+";
    } else if (c.space) {
        sign = " ";
    }
    PutNumber(sink, c, sign, "", 0, digits, static_cast<size_t>(end - digits),
              c.zero && std::isfinite(v));
}

// Text padded to the width; the precision cuts it.
template <class Sink, class Char, class Put>
void PutText(Sink& sink, const Conversion& c, const Char* text, Put put) {
    if (!text) {
        static const Char kNull[] = {'(', 'n', 'u', 'l', 'l', ')', 0};
        text = kNull;
    }
    size_t n = 0;
    const size_t most = c.precision < 0 ? static_cast<size_t>(-1) : c.precision;
    while (n < most && text[n]) ++n;
    const size_t pad = static_cast<size_t>(c.width) > n ? c.width - n : 0;
    if (pad && !c.left) sink.Fill(' ', pad);
    put(text, n);
    if (pad && c.left) sink.Fill(' ', pad);
}

// Conversions the engine leaves to the C library, one at a time, in the C locale:
// %a, %A, %p and long double.
template <class Sink>
void PutThroughLibrary(Sink& sink, const Conversion& c, va_list* args) {
    char format[32];
    char* s = format;
    *s++ = '%';
    if (c.left) *s++ = '-';
    if (c.zero) *s++ = '0';
    if (c.plus) *s++ = '+';
    if (c.space) *s++ = ' ';
    if (c.alt) *s++ = '#';
    s += snprintf(s, 12, "%d", c.width);
    if (c.precision >= 0) s += snprintf(s, 12, ".%d", c.precision);
    if (c.length == 'L') *s++ = 'L';
    *s++ = c.type;
    *s = 0;
    char buf[kMaxWidth + kMaxPrecision + 5000];
    int n;
    {
        CLocaleScope cLocale;
        if (c.type == 'p')
            n = snprintf(buf, sizeof buf, format, va_arg(*args, void*));
        else if (c.length == 'L')
            n = snprintf(buf, sizeof buf, format, va_arg(*args, long double));
        else
            n = snprintf(buf, sizeof buf, format, va_arg(*args, double));
    }
    if (n > 0) sink.AppendAscii(buf, static_cast<size_t>(n) < sizeof buf ? n : sizeof buf - 1);
}

// Formats format with args into sink. Conversions: d i u o x X (with hh h l ll j
// z t), e E f F g G (numbers natively, never through the locale), a A and long
// double (the C library in the C locale), c and s (the build's width; l for
// wide, h for UTF-8 narrow text), p, %%; n stores nothing. Flags - 0 + space #,
// widths and precisions, also as *.
template <class Sink>
void FormatTo(Sink& sink, const vqChar* format, va_list args) {
    va_list ap;
    va_copy(ap, args);
    const vqChar* p = format;
    while (*p) {
        const vqChar* literal = p;
        while (*p && *p != '%') ++p;
        if (p != literal) sink.Append(literal, static_cast<size_t>(p - literal));
        if (!*p) break;
        const vqChar* start = p++;
        if (*p == '%') {
            sink.Append(p++, 1);
            continue;
        }
        Conversion c;
        ParseConversion(p, c, &ap);
        switch (c.type) {
            case 'd':
            case 'i':
            case 'u':
            case 'o':
            case 'x':
            case 'X':
                PutInteger(sink, c, &ap);
                break;
            case 'e':
            case 'E':
            case 'f':
            case 'F':
            case 'g':
            case 'G':
                if (c.length == 'L' || c.alt)
                    PutThroughLibrary(sink, c, &ap);
                else
                    PutFloat(sink, c, va_arg(ap, double));
                break;
            case 'a':
            case 'A':
            case 'p':
                PutThroughLibrary(sink, c, &ap);
                break;
            case 'c': {
                const size_t pad = c.width > 1 ? c.width - 1 : 0;
                if (pad && !c.left) sink.Fill(' ', pad);
#ifndef VQ_UNICODE
                if (c.length == 'l') {
                    const wchar_t ch = ReadWideChar(&ap);
                    sink.AppendWide(&ch, 1);
                } else
#endif
                {
                    const vqChar ch =
                        static_cast<vqChar>(c.length == 'l' ? ReadWideChar(&ap) : va_arg(ap, int));
                    sink.Append(&ch, 1);
                }
                if (pad && c.left) sink.Fill(' ', pad);
                break;
            }
            case 's':
                if (c.length == 'l')
                    PutText(sink, c, va_arg(ap, const wchar_t*),
                            [&](const wchar_t* t, size_t n) { sink.AppendWide(t, n); });
                else if (c.length == 'h')
                    PutText(sink, c, va_arg(ap, const char*),
                            [&](const char* t, size_t n) { sink.AppendNarrow(t, n); });
                else
                    PutText(sink, c, va_arg(ap, const vqChar*),
                            [&](const vqChar* t, size_t n) { sink.Append(t, n); });
                break;
            case 'n':
                (void)va_arg(ap, void*);  // never stores through the pointer
                break;
            case 0:
                sink.Append(start, static_cast<size_t>(p - start));
                va_end(ap);
                return;
            default:
                // Not a conversion: the text stands as written.
                sink.Append(start, static_cast<size_t>(p - start));
        }
    }
    va_end(ap);
}

}  // namespace vqfmt

#endif
