#include "vq/variant.h"

#include <charconv>
#include <cstdlib>
#include <string>

namespace {

bool IsLeap(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

int DaysInMonth(int year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeap(year) ? 29 : days[month - 1];
}

// Reads a whole decimal number from UTF-8 text; false when anything is left over.
template <class T>
bool ParseNumber(const std::string& text, T& out) {
    size_t first = text.find_first_not_of(" \t");
    size_t last = text.find_last_not_of(" \t");
    if (first == std::string::npos) return false;
    const char* begin = text.data() + first;
    const char* end = text.data() + last + 1;
    if (*begin == '+') ++begin;
    auto result = std::from_chars(begin, end, out);
    return result.ec == std::errc() && result.ptr == end;
}

}  // namespace

vqDateTime::vqDateTime()
    : m_year(0),
      m_month(0),
      m_day(0),
      m_hour(0),
      m_minute(0),
      m_second(0),
      m_millisecond(0),
      m_parts(Both) {}

vqDateTime::vqDateTime(int year, int month, int day, int hour, int minute, int second,
                       int millisecond, Parts parts)
    : m_year(year),
      m_month(month),
      m_day(day),
      m_hour(hour),
      m_minute(minute),
      m_second(second),
      m_millisecond(millisecond),
      m_parts(parts) {}

vqDateTime vqDateTime::Time(int hour, int minute, int second, int millisecond) {
    return vqDateTime(2000, 1, 1, hour, minute, second, millisecond, TimePart);
}

bool vqDateTime::IsValid() const {
    if (m_month < 1 || m_month > 12 || m_day < 1 || m_day > DaysInMonth(m_year, m_month))
        return false;
    return m_hour >= 0 && m_hour < 24 && m_minute >= 0 && m_minute < 60 && m_second >= 0 &&
           m_second < 61 && m_millisecond >= 0 && m_millisecond < 1000;
}

vqString vqDateTime::Format() const {
    vqChar text[vqVariant::kTextMax];
    return vqString(text, static_cast<size_t>(WriteTo(text) - text));
}

vqChar* vqDateTime::WriteTo(vqChar* at) const {
    if (!IsValid()) return at;
    if (m_parts & DatePart) at = vqWriteDate(at, m_year, m_month, m_day);
    if (m_parts == Both) *at++ = ' ';
    if (m_parts & TimePart)
        at = vqWriteTime(at, m_hour, m_minute, m_second, m_millisecond ? m_millisecond : -1);
    return at;
}

bool vqDateTime::ParseISO(const vqString& text) {
    std::string s = text.ToUTF8();
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, sec = 0, ms = 0;
    char tail[8] = "";
    vqDateTime parsed;
    if (sscanf(s.c_str(), "%d-%d-%d%*[ T]%d:%d:%d.%3d%7s", &y, &mo, &d, &h, &mi, &sec, &ms, tail) >=
            6 &&
        !tail[0]) {
        parsed = vqDateTime(y, mo, d, h, mi, sec, ms, Both);
    } else if (s.size() == 10 && sscanf(s.c_str(), "%d-%d-%d", &y, &mo, &d) == 3) {
        parsed = vqDateTime(y, mo, d, 0, 0, 0, 0, DatePart);
    } else if (sscanf(s.c_str(), "%d:%d:%d.%3d%7s", &h, &mi, &sec, &ms, tail) >= 3 && !tail[0] &&
               s.find('-') == std::string::npos) {
        parsed = Time(h, mi, sec, ms);
    } else {
        return false;
    }
    if (!parsed.IsValid()) return false;
    *this = parsed;
    return true;
}

bool vqDateTime::operator==(const vqDateTime& o) const {
    return m_year == o.m_year && m_month == o.m_month && m_day == o.m_day && m_hour == o.m_hour &&
           m_minute == o.m_minute && m_second == o.m_second && m_millisecond == o.m_millisecond;
}

vqVariant::vqVariant(const vqString& value, const vqString& name)
    : m_kind(String), m_name(name), m_string(value), m_long(0) {}
vqVariant::vqVariant(const vqChar* value, const vqString& name)
    : m_kind(String), m_name(name), m_string(value), m_long(0) {}
vqVariant::vqVariant(long value, const vqString& name)
    : m_kind(Long), m_name(name), m_long(value) {}
vqVariant::vqVariant(int value, const vqString& name) : m_kind(Long), m_name(name), m_long(value) {}
vqVariant::vqVariant(double value, const vqString& name)
    : m_kind(Double), m_name(name), m_double(value) {}
vqVariant::vqVariant(bool value, const vqString& name) : m_kind(Bool), m_name(name), m_long(0) {
    m_bool = value;
}
vqVariant::vqVariant(const vqDateTime& value, const vqString& name)
    : m_kind(DateTime), m_name(name), m_long(0), m_dateTime(value) {}
vqVariant::vqVariant(void* value, const vqString& name)
    : m_kind(Pointer), m_name(name), m_pointer(value) {}

vqString vqVariant::GetType() const {
    switch (m_kind) {
        case String:
            return vqT("string");
        case Long:
            return vqT("long");
        case Double:
            return vqT("double");
        case Bool:
            return vqT("bool");
        case DateTime:
            return vqT("datetime");
        case Pointer:
            return vqT("void*");
        default:
            return vqT("null");
    }
}

vqString vqVariant::GetString() && {
    if (m_kind == String) return std::move(m_string);
    return static_cast<const vqVariant&>(*this).GetString();
}

vqString vqVariant::GetString() const& {
    vqChar text[kTextMax];
    vqChar* end = text;
    switch (m_kind) {
        case String:
            return m_string;
        case Long:
            end = WriteText(text, m_long);
            break;
        case Double:
            end = WriteText(text, m_double);
            break;
        case Bool:
            return m_bool ? vqT("true") : vqT("false");
        case DateTime:
            end = m_dateTime.WriteTo(text);
            break;
        default:
            break;
    }
    return vqString(text, static_cast<size_t>(end - text));
}

vqChar* vqVariant::WriteText(vqChar* buffer, long value) { return vqWriteInt(buffer, value); }

vqChar* vqVariant::WriteText(vqChar* buffer, double value) {
    return vqWriteDouble(buffer, value, 15);
}

long vqVariant::GetLong() const {
    switch (m_kind) {
        case Long:
            return m_long;
        case Double:
            return static_cast<long>(m_double);
        case Bool:
            return m_bool ? 1 : 0;
        case String: {
            long value = 0;
            if (ParseNumber(m_string.ToUTF8(), value)) return value;
            double d = 0;
            return ParseNumber(m_string.ToUTF8(), d) ? static_cast<long>(d) : 0;
        }
        default:
            return 0;
    }
}

double vqVariant::GetDouble() const {
    switch (m_kind) {
        case Long:
            return static_cast<double>(m_long);
        case Double:
            return m_double;
        case Bool:
            return m_bool ? 1.0 : 0.0;
        case String: {
            double value = 0;
            return ParseNumber(m_string.ToUTF8(), value) ? value : 0.0;
        }
        default:
            return 0.0;
    }
}

bool vqVariant::ToDouble(double& out) const {
    double value = 0;
    switch (m_kind) {
        case Long:
            value = static_cast<double>(m_long);
            break;
        case Double:
            value = m_double;
            break;
        case Bool:
            value = m_bool ? 1.0 : 0.0;
            break;
        case String:
            if (!ParseNumber(m_string.ToUTF8(), value)) return false;
            break;
        default:
            return false;
    }
    out = value;
    return true;
}

bool vqVariant::GetBool() const {
    switch (m_kind) {
        case Long:
            return m_long != 0;
        case Double:
            return m_double != 0.0;
        case Bool:
            return m_bool;
        case String: {
            if (m_string == vqT("true") || m_string == vqT("yes")) return true;
            return GetDouble() != 0.0;
        }
        default:
            return false;
    }
}

vqDateTime vqVariant::GetDateTime() const {
    if (m_kind == DateTime) return m_dateTime;
    vqDateTime value;
    if (m_kind == String) value.ParseISO(m_string);
    return value;
}

bool vqVariant::operator==(const vqVariant& o) const {
    if (m_kind != o.m_kind) return false;
    switch (m_kind) {
        case String:
            return m_string == o.m_string;
        case Long:
            return m_long == o.m_long;
        case Double:
            return m_double == o.m_double;
        case Bool:
            return m_bool == o.m_bool;
        case DateTime:
            return m_dateTime == o.m_dateTime;
        case Pointer:
            return m_pointer == o.m_pointer;
        default:
            return true;
    }
}
