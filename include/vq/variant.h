// vqDateTime, a calendar date and time of day, and vqVariant, a named value of
// one of a few kinds (string, long, double, bool, date-time, untyped pointer)
// with conversions between them that ignore the process locale.
#ifndef VQ_VARIANT_H
#define VQ_VARIANT_H

#include "vq/string.h"

class VQ_BASE_API vqDateTime {
public:
    // Which parts a value carries; a date column has no time of day and the reverse.
    enum Parts { DatePart = 1, TimePart = 2, Both = 3 };

    // An invalid value (IsValid() is false).
    vqDateTime();
    vqDateTime(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
               int millisecond = 0, Parts parts = Both);
    // A time of day only.
    static vqDateTime Time(int hour, int minute, int second, int millisecond = 0);

    // True when the fields make a real calendar date and time of day.
    bool IsValid() const;
    int GetYear() const { return m_year; }
    int GetMonth() const { return m_month; }
    int GetDay() const { return m_day; }
    int GetHour() const { return m_hour; }
    int GetMinute() const { return m_minute; }
    int GetSecond() const { return m_second; }
    int GetMillisecond() const { return m_millisecond; }
    Parts GetParts() const { return m_parts; }

    // "YYYY-MM-DD", "HH:MM:SS" or both joined by a blank, ".mmm" added when not zero;
    // an invalid value gives an empty string.
    vqString Format() const;
    // Writes the text Format gives into a buffer with room for vqVariant::kTextMax
    // characters and returns the end (no NUL is added).
    vqChar* WriteTo(vqChar* buffer) const;
    // Reads the forms Format writes; returns false and leaves the value alone otherwise.
    bool ParseISO(const vqString& text);

    bool operator==(const vqDateTime& other) const;
    bool operator!=(const vqDateTime& other) const { return !(*this == other); }

private:
    int m_year, m_month, m_day, m_hour, m_minute, m_second, m_millisecond;
    Parts m_parts;
};

class VQ_BASE_API vqVariant {
public:
    enum Kind { Null, String, Long, Double, Bool, DateTime, Pointer };

    vqVariant() : m_kind(Null) {}
    vqVariant(const vqString& value, const vqString& name = vqString());
    vqVariant(const vqChar* value, const vqString& name = vqString());
    vqVariant(long value, const vqString& name = vqString());
    vqVariant(int value, const vqString& name = vqString());
    vqVariant(double value, const vqString& name = vqString());
    vqVariant(bool value, const vqString& name = vqString());
    vqVariant(const vqDateTime& value, const vqString& name = vqString());
    // Holds the pointer itself; the caller keeps the object it points to.
    vqVariant(void* value, const vqString& name = vqString());

    Kind GetKind() const { return m_kind; }
    bool IsNull() const { return m_kind == Null; }
    // The kind's name: "null", "string", "long", "double", "bool", "datetime", "void*".
    vqString GetType() const;
    const vqString& GetName() const { return m_name; }
    void SetName(const vqString& name) { m_name = name; }
    void MakeNull() { m_kind = Null; }

    // Converting getters; a value that does not convert gives 0, 0.0, false, an
    // invalid date-time, an empty string or a null pointer.
    vqString GetString() const&;
    // Moves the text out of a temporary variant.
    vqString GetString() &&;
    long GetLong() const;
    double GetDouble() const;
    bool GetBool() const;
    vqDateTime GetDateTime() const;
    // Write the text GetString gives for a number, without building a variant: the one
    // place numbers become text. The buffer has room for kTextMax characters; returns
    // the end (no NUL is added).
    static vqChar* WriteText(vqChar* buffer, long value);
    static vqChar* WriteText(vqChar* buffer, double value);
    enum { kTextMax = vqDATE_TEXT_MAX + 1 + vqTIME_TEXT_MAX };
    // The value as a number; false, with out unchanged, when it is none: text that is not
    // a whole decimal number, a date-time, a pointer or null.
    bool ToDouble(double& out) const;
    void* GetVoidPtr() const { return m_kind == Pointer ? m_pointer : nullptr; }

    bool operator==(const vqVariant& other) const;

private:
    Kind m_kind;
    vqString m_name;
    vqString m_string;
    union {
        long m_long;
        double m_double;
        bool m_bool;
        void* m_pointer;
    };
    vqDateTime m_dateTime;
};

#endif
