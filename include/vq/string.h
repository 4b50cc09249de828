// vqString: the toolkit's string of the build's character width, with
// printf-style formatting that ignores the process locale and UTF-8 conversion.
#ifndef VQ_STRING_H
#define VQ_STRING_H

#include <cstdarg>
#include <string>

#include "vq/defs.h"

// Tag type naming the UTF-8 conversion, as passed to vqString::mb_str.
class VQ_BASE_API vqMBConvUTF8 {};
extern VQ_BASE_API const vqMBConvUTF8 vqConvUTF8;

// Converts wide text (UTF-16 or UTF-32 by the width of wchar_t) to UTF-8; a lone
// surrogate or an invalid code point becomes U+FFFD, so it never fails.
VQ_BASE_API std::string vqWideToUTF8(const wchar_t* text, size_t length);
// Converts UTF-8 to wide text; malformed sequences become U+FFFD.
VQ_BASE_API std::wstring vqUTF8ToWide(const char* text, size_t length);
// The same conversions for UTF-16 text, whatever the width of wchar_t.
VQ_BASE_API std::string vqUTF16ToUTF8(const char16_t* text, size_t length);
VQ_BASE_API std::u16string vqUTF8ToUTF16(const char* text, size_t length);

class VQ_BASE_API vqString {
public:
    typedef std::basic_string<vqChar> StdString;

    vqString() {}
    vqString(const vqChar* text) : m_impl(text ? text : vqT("")) {}
    vqString(const vqChar* text, size_t length) : m_impl(text, length) {}
    vqString(const StdString& text) : m_impl(text) {}
    vqString(StdString&& text) : m_impl(std::move(text)) {}
    vqString(size_t count, vqChar ch) : m_impl(count, ch) {}

    // Makes a string from UTF-8 bytes (ANSI builds keep the bytes as they are).
    static vqString FromUTF8(const char* text, size_t length = std::string::npos);
    static vqString FromUTF8(const std::string& text) { return FromUTF8(text.data(), text.size()); }
    // Formats like printf, never with the process locale: d i u o x X (lengths hh h l
    // ll j z t), e E f F g G, a A, c, s (of the build's width; %ls wide, %hs UTF-8),
    // p, %%; flags - 0 + space #; widths and precisions, also as *. %n stores
    // nothing. Widths above 4096 and precisions above 512 count as those.
    static vqString Format(const vqChar* format, ...);
    static vqString FormatV(const vqChar* format, va_list args);

    // Replaces the content with the formatted text; returns its length.
    int Printf(const vqChar* format, ...);

    // Returns the text as UTF-8 bytes.
    std::string ToUTF8() const;
    std::string mb_str(const vqMBConvUTF8&) const { return ToUTF8(); }
    std::string utf8_str() const { return ToUTF8(); }

    const vqChar* c_str() const { return m_impl.c_str(); }
    const StdString& str() const { return m_impl; }
    StdString& str() { return m_impl; }

    size_t length() const { return m_impl.length(); }
    size_t Len() const { return m_impl.length(); }
    bool empty() const { return m_impl.empty(); }
    bool IsEmpty() const { return m_impl.empty(); }
    void Clear() { m_impl.clear(); }
    void Empty() { m_impl.clear(); }
    void reserve(size_t n) { m_impl.reserve(n); }

    // Compares exactly: negative, zero or positive.
    int Cmp(const vqChar* other) const { return m_impl.compare(other ? other : vqT("")); }
    int Cmp(const vqString& other) const { return m_impl.compare(other.m_impl); }
    bool IsSameAs(const vqString& other) const { return m_impl == other.m_impl; }

    vqString Mid(size_t first, size_t count = StdString::npos) const {
        return first >= m_impl.size() ? vqString() : vqString(m_impl.substr(first, count));
    }
    vqString BeforeLast(vqChar ch) const;
    vqString AfterLast(vqChar ch) const;
    int Find(vqChar ch, bool fromEnd = false) const;

    vqChar operator[](size_t i) const { return m_impl[i]; }

    vqString& operator+=(const vqString& other) {
        m_impl += other.m_impl;
        return *this;
    }
    vqString& operator+=(const vqChar* other) {
        m_impl += other;
        return *this;
    }
    vqString& operator+=(vqChar ch) {
        m_impl += ch;
        return *this;
    }
    vqString& Append(const vqChar* text, size_t length) {
        m_impl.append(text, length);
        return *this;
    }

    friend vqString operator+(const vqString& a, const vqString& b) {
        return vqString(a.m_impl + b.m_impl);
    }
    friend vqString operator+(const vqString& a, const vqChar* b) { return vqString(a.m_impl + b); }
    friend vqString operator+(const vqChar* a, const vqString& b) { return vqString(a + b.m_impl); }
    friend bool operator==(const vqString& a, const vqString& b) { return a.m_impl == b.m_impl; }
    friend bool operator==(const vqString& a, const vqChar* b) { return a.m_impl == b; }
    friend bool operator!=(const vqString& a, const vqString& b) { return a.m_impl != b.m_impl; }
    friend bool operator!=(const vqString& a, const vqChar* b) { return a.m_impl != b; }
    friend bool operator<(const vqString& a, const vqString& b) { return a.m_impl < b.m_impl; }

private:
    StdString m_impl;
};

// Escapes text for XML: & < > always, and " too when inAttribute is true. Every
// character XML 1.0 does not allow (controls other than tab, LF and CR, U+FFFE,
// U+FFFF, surrogates not in a pair) and, in 8-bit builds, every byte that starts
// no valid UTF-8 sequence becomes U+FFFD, so the result is always XML text.
VQ_BASE_API vqString vqXmlEscape(const vqString& text, bool inAttribute);
// The same, appending length characters of text to out.
VQ_BASE_API void vqXmlEscapeAppend(vqString::StdString& out, const vqChar* text, size_t length,
                                   bool inAttribute);

// Percent-encodes what a relative URI reference to a file of that name cannot hold
// as it is: '%', '#', '?', tab, LF, CR, and the UTF-8 bytes of every character XML
// does not allow or that is not UTF-8. Blanks and other letters stay as they are.
VQ_BASE_API vqString vqUriEscapePath(const vqString& path);

// Number text for callers that build text by hand, the same digits the formatter
// writes and never dependent on the locale. Each writes into a buffer and returns the
// end (no NUL is added).
const int vqNUMBER_TEXT_MAX = 32;
// Decimal digits, with '-' when negative ("%lld"); room for vqNUMBER_TEXT_MAX characters.
VQ_BASE_API char* vqWriteInt(char* buffer, long long value);
VQ_BASE_API wchar_t* vqWriteInt(wchar_t* buffer, long long value);
// A number as "%.*g" writes it, precision significant digits (a negative precision
// counts as 6, one above 17 as 17, which tells every double apart); room for
// vqNUMBER_TEXT_MAX characters.
VQ_BASE_API char* vqWriteDouble(char* buffer, double value, int precision);
VQ_BASE_API wchar_t* vqWriteDouble(wchar_t* buffer, double value, int precision);
// A date "YYYY-MM-DD" ("%04d-%02d-%02d"); room for vqDATE_TEXT_MAX characters.
const int vqDATE_TEXT_MAX = 3 * vqNUMBER_TEXT_MAX;
VQ_BASE_API char* vqWriteDate(char* buffer, int year, int month, int day);
VQ_BASE_API wchar_t* vqWriteDate(wchar_t* buffer, int year, int month, int day);
// A time "HH:MM:SS" ("%02d:%02d:%02d"), then ".mmm" ("%03d") when millisecond >= 0;
// room for vqTIME_TEXT_MAX characters.
const int vqTIME_TEXT_MAX = 4 * vqNUMBER_TEXT_MAX;
VQ_BASE_API char* vqWriteTime(char* buffer, int hour, int minute, int second, int millisecond = -1);
VQ_BASE_API wchar_t* vqWriteTime(wchar_t* buffer, int hour, int minute, int second,
                                 int millisecond = -1);

// Two upper-case hexadecimal digits of a byte value (0 to 255).
VQ_BASE_API vqString vqDecToHex(int value);

#endif
