#include <gtest/gtest.h>

#include <clocale>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <random>

#include "vq/app.h"
#include "vq/log.h"
#include "vq/string.h"

namespace {

TEST(StringTest, PrintfFollowsPrintfConventions) {
    vqString s;
    s.Printf(vqT("%d|%i|%lu|%s|%.2g|%.2g|%.2g"), -3, 7, 4000000000UL, vqT("abc"), 0.0, 100.0,
             2.8346);
    EXPECT_EQ(s, vqString(vqT("-3|7|4000000000|abc|0|1e+02|2.8")));
    EXPECT_EQ(vqString::Format(vqT("%5s|%-3s|%%s|%c"), vqT("ab"), vqT("x"), vqT('z')),
              vqString(vqT("   ab|x  |%s|z")));
}

// Formats with the C library in the C locale, as the reference.
template <class... Args>
std::string Reference(const char* format, Args... args) {
    char buf[4096];
    snprintf(buf, sizeof buf, format, args...);
    return buf;
}

TEST(StringTest, DirectConversionsMatchTheCLibrary) {
    const double doubles[] = {0.0,         -0.0,
                              1.0,         1.5,
                              10.0,        100.0,
                              0.85,        2.8346456,
                              1234.5,      -5678.25,
                              1e-5,        123456789.0,
                              1e300,       -1e-300,
                              0.1 + 0.2,   99.0,
                              999999.0,    1e6,
                              -1e6,        1e15,
                              -1e16,       123456789012345.0,
                              0.5,         -7.0,
                              HUGE_VAL,    -HUGE_VAL,
                              std::nan("")};
    for (double d : doubles) {
        EXPECT_EQ(
            vqString::Format(vqT("%g|%.2g|%.15g|%f|%.3f|%e|%.0g"), d, d, d, d, d, d, d).ToUTF8(),
            Reference("%g|%.2g|%.15g|%f|%.3f|%e|%.0g", d, d, d, d, d, d, d))
            << d;
    }
    const long long ints[] = {0, 1, -1, 42, -2147483648LL, 2147483647LL, 9000000000LL};
    for (long long v : ints) {
        int i = static_cast<int>(v);
        EXPECT_EQ(vqString::Format(vqT("%d|%5d|%-5d|%05d|%02d|%x|%X|%u|%lld|%ld"), i, i, i, i, i, i,
                                   i, static_cast<unsigned>(i), v, static_cast<long>(v))
                      .ToUTF8(),
                  Reference("%d|%5d|%-5d|%05d|%02d|%x|%X|%u|%lld|%ld", i, i, i, i, i, i, i,
                            static_cast<unsigned>(i), v, static_cast<long>(v)))
            << v;
    }
    EXPECT_EQ(vqString::Format(vqT("[%6s][%-6s][%.2s][%3c][%%][%s]"), vqT("ab"), vqT("ab"),
                               vqT("abcdef"), vqT('z'), static_cast<const vqChar*>(nullptr))
                  .ToUTF8(),
              "[    ab][ab    ][ab][  z][%][(null)]");
    // Conversions outside the direct path still go through the C library.
    EXPECT_EQ(vqString::Format(vqT("%+d|%#x|%*d|%.3d"), 5, 255, 4, 7, 7).ToUTF8(),
              Reference("%+d|%#x|%*d|%.3d", 5, 255, 4, 7, 7));
}

TEST(StringTest, FlagsWidthsAndLengthsMatchTheCLibrary) {
    const long long ints[] = {0, 7, -7, 255, -2147483648LL, 4294967295LL, -9223372036854775807LL};
    for (long long v : ints) {
        const int i = static_cast<int>(v);
        EXPECT_EQ(vqString::Format(vqT("%+d|% d|%+5d|%-+6d|%.3d|%8.3d|%-8.3d|%.0d|%08.3d|%+05d"), i,
                                   i, i, i, i, i, i, i, i, i)
                      .ToUTF8(),
                  Reference("%+d|% d|%+5d|%-+6d|%.3d|%8.3d|%-8.3d|%.0d|%08.3d|%+05d", i, i, i, i, i,
                            i, i, i, i, i))
            << v;
        EXPECT_EQ(vqString::Format(vqT("%#x|%#X|%#o|%o|%#10x|%#010x|%.0o|%hhd|%hd|%hu"), i, i, i, i,
                                   i, i, i, i, i, i)
                      .ToUTF8(),
                  Reference("%#x|%#X|%#o|%o|%#10x|%#010x|%.0o|%hhd|%hd|%hu", i, i, i, i, i, i, i, i,
                            i, i))
            << v;
        // '#' keeps an octal zero even at precision 0. NOTE: MinGW's printf writes nothing
        // for a zero there, so the C library is no reference for that one value.
        EXPECT_EQ(vqString::Format(vqT("%#.0o"), i).ToUTF8(), i == 0 ? "0" : Reference("%#o", i))
            << v;
        EXPECT_EQ(
            vqString::Format(vqT("%lld|%llu|%llx|%jd|%zu|%td|%zd"), v,
                             static_cast<unsigned long long>(v), static_cast<unsigned long long>(v),
                             static_cast<intmax_t>(v), static_cast<size_t>(v),
                             static_cast<ptrdiff_t>(v), static_cast<ptrdiff_t>(v))
                .ToUTF8(),
            Reference("%lld|%llu|%llx|%jd|%zu|%td|%zd", v, static_cast<unsigned long long>(v),
                      static_cast<unsigned long long>(v), static_cast<intmax_t>(v),
                      static_cast<size_t>(v), static_cast<ptrdiff_t>(v), static_cast<ptrdiff_t>(v)))
            << v;
        EXPECT_EQ(vqString::Format(vqT("%*d|%-*d|%.*d|%*.*d"), 6, i, -6, i, 4, i, 7, 3, i).ToUTF8(),
                  Reference("%*d|%-*d|%.*d|%*.*d", 6, i, -6, i, 4, i, 7, 3, i))
            << v;
    }
    const double doubles[] = {0.0, -0.0, 2.5, -1234.5678, 1e-7, 6.02e23, HUGE_VAL, -HUGE_VAL};
    for (double d : doubles) {
        EXPECT_EQ(
            vqString::Format(vqT("%+g|% .3f|%010.2f|%-10.1e|%E|%G|%F|%+08.2g|%#g|%#.0f|%a|%.3A"), d,
                             d, d, d, d, d, d, d, d, d, d, d)
                .ToUTF8(),
            Reference("%+g|% .3f|%010.2f|%-10.1e|%E|%G|%F|%+08.2g|%#g|%#.0f|%a|%.3A", d, d, d, d, d,
                      d, d, d, d, d, d, d))
            << d;
    }
    EXPECT_EQ(vqString::Format(vqT("%Lg|%.3Lf"), 1.5L, -2.25L).ToUTF8(),
              Reference("%Lg|%.3Lf", 1.5L, -2.25L));
    // Text of the other width: %ls is wide and %hs UTF-8 in either build.
    EXPECT_EQ(vqString::Format(vqT("[%ls|%5ls|%hs|%-4hs|%lc]"), L"w\u00e9", L"ab", "n\xC3\xA9", "x",
                               static_cast<wint_t>(L'\u20AC'))
                  .ToUTF8(),
              "[w\xC3\xA9|   ab|n\xC3\xA9|x   |\xE2\x82\xAC]");
    // %n stores nothing; widths are bounded; a dangling '%' and unknown letters stay text.
    int untouched = 42;
    EXPECT_EQ(vqString::Format(vqT("ab%nc"), &untouched), vqString(vqT("abc")));
    EXPECT_EQ(untouched, 42);
    EXPECT_EQ(vqString::Format(vqT("%999999999d"), 1).length(), 4096u);
    EXPECT_EQ(vqString::Format(vqT("%.999999f"), 1.0).length(), 514u);
    EXPECT_EQ(vqString::Format(vqT("50%"), 1), vqString(vqT("50%")));
    EXPECT_EQ(vqString::Format(vqT("%y|%5k"), 1), vqString(vqT("%y|%5k")));
}

TEST(StringTest, GeneralNumbersMatchTheCLibrary) {
    std::mt19937_64 rng(20240611);
    for (int i = 0; i < 40000; ++i) {
        double d;
        if (i % 2) {
            // Any finite double, subnormals included.
            uint64_t bits = rng();
            memcpy(&d, &bits, sizeof d);
            if (!std::isfinite(d)) continue;
        } else {
            // A short decimal, as data holds them: k / 10^n.
            long long k = static_cast<long long>(rng() % 20000001) - 10000000;
            d = static_cast<double>(k) / std::pow(10.0, static_cast<double>(rng() % 25));
        }
        for (int precision : {1, 3, 6, 12, 15, 16, 17}) {
            ASSERT_EQ(vqString::Format(vqT("%.*g|%+.*G"), precision, d, precision, d).ToUTF8(),
                      Reference("%.*g|%+.*G", precision, d, precision, d))
                << precision << " digits of " << Reference("%a", d);
        }
    }
}

TEST(StringTest, NumberWritersMatchTheFormatter) {
    const long long values[] = {
        0, 5, -5, 42, 1999, -123456, 9223372036854775807LL, -9223372036854775807LL - 1};
    for (long long v : values) {
        for (int width : {0, 1, 2, 4, 8, 25, 32})
            EXPECT_EQ(vqString::Format(vqT("%0*lld"), width, v).ToUTF8(),
                      Reference("%0*lld", width, v))
                << v << "/" << width;
        char narrow[vqNUMBER_TEXT_MAX];
        wchar_t wide[vqNUMBER_TEXT_MAX];
        EXPECT_EQ(std::string(narrow, vqWriteInt(narrow, v)), Reference("%lld", v));
        EXPECT_EQ(std::wstring(wide, vqWriteInt(wide, v)), std::to_wstring(v));
    }

    char when[2 * vqDATE_TEXT_MAX + 2 * vqTIME_TEXT_MAX];
    char* at = vqWriteDate(when, 2024, 2, 9);
    *at++ = ' ';
    at = vqWriteTime(at, 7, 5, 3);
    *at++ = '|';
    at = vqWriteTime(at, 23, 59, 59, 7);
    *at++ = '|';
    at = vqWriteDate(at, 987, 12, 31);
    EXPECT_EQ(std::string(when, at), "2024-02-09 07:05:03|23:59:59.007|0987-12-31");
    char stamp[vqDATE_TEXT_MAX + vqTIME_TEXT_MAX];
    at = vqWriteDate(stamp, -7, 123, 2147483647);
    at = vqWriteTime(at, -1, 5, 2147483647, 0);
    wchar_t wideStamp[vqDATE_TEXT_MAX + vqTIME_TEXT_MAX];
    wchar_t* wat = vqWriteDate(wideStamp, -7, 123, 2147483647);
    wat = vqWriteTime(wat, -1, 5, 2147483647, 0);
    EXPECT_EQ(std::string(stamp, at), Reference("%04d-%02d-%02d%02d:%02d:%02d.%03d", -7, 123,
                                                2147483647, -1, 5, 2147483647, 0));
    EXPECT_EQ(std::wstring(wideStamp, wat), vqUTF8ToWide(stamp, at - stamp));

    const double reals[] = {
        0.0,  -0.0,          0.1,      1.0 / 3,   12345.25, -7.0, 1e15, 123456789012345678.0,
        1e-7, 6.02214076e23, HUGE_VAL, -HUGE_VAL, NAN};
    for (double v : reals) {
        for (int precision : {15, 6, 1, 0, -1, 17}) {
            std::string expected = Reference("%.*g", precision, v);
            EXPECT_EQ(vqString::Format(vqT("%.*g"), precision, v).ToUTF8(), expected)
                << v << "/" << precision;
            char narrow[vqNUMBER_TEXT_MAX];
            wchar_t wide[vqNUMBER_TEXT_MAX];
            EXPECT_EQ(std::string(narrow, vqWriteDouble(narrow, v, precision)), expected);
            EXPECT_EQ(std::wstring(wide, vqWriteDouble(wide, v, precision)),
                      vqUTF8ToWide(expected.data(), expected.size()));
        }
    }
    // Precisions beyond 17 count as 17.
    char narrow[vqNUMBER_TEXT_MAX];
    EXPECT_EQ(std::string(narrow, vqWriteDouble(narrow, 0.1, 400)), Reference("%.17g", 0.1));
}

TEST(StringTest, WideCharacterConversionReadsAPromotedArgument) {
    // wint_t is 16 bits on Windows and travels through "..." as an int.
    const wint_t euro = L'\u20AC', replacement = L'\uFFFD', a = L'a';
    EXPECT_EQ(vqString::Format(vqT("%lc|%3lc|%-2lc|%lc%d"), euro, replacement, a, a, 7).ToUTF8(),
              "\xE2\x82\xAC|  \xEF\xBF\xBD|a |a7");
}

// Switches the process to a locale whose decimal separator is a comma, if one is
// installed (de_DE.UTF-8 is made by scripts/install-deps.sh; Windows knows "German").
const char* SetDecimalCommaLocale() {
    for (const char* name : {"de_DE.UTF-8", "fr_FR.UTF-8", "German", "de-DE"}) {
        if (setlocale(LC_ALL, name)) {
            if (strcmp(localeconv()->decimal_point, ",") == 0) return name;
            setlocale(LC_ALL, "C");
        }
    }
    return nullptr;
}

TEST(StringTest, NumbersIgnoreTheProcessLocale) {
    // The conversions the formatter leaves to the C library (%a, %#, long double), as
    // they come out in the C locale.
    const vqChar* library = vqT("%#.2f|%.1Lf|%a|%#g|%Le");
    const vqString inC = vqString::Format(library, 1.25, 2.5L, 2.5, 2.5, 1.5L);
    ASSERT_EQ(inC.ToUTF8().find(','), std::string::npos) << inC.ToUTF8();
    if (!SetDecimalCommaLocale()) GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(vqString::Format(vqT("%g %.2f"), 2.5, 1.25), vqString(vqT("2.5 1.25")));
    EXPECT_EQ(vqString::Format(vqT("%+g %'.1f"), 2.5, 1.25), vqString(vqT("+2.5 1.2")));
    EXPECT_EQ(vqString::Format(library, 1.25, 2.5L, 2.5, 2.5, 1.5L).ToUTF8(), inC.ToUTF8());
    // The locale is the process's again afterwards.
    EXPECT_STREQ(localeconv()->decimal_point, ",");
    setlocale(LC_ALL, "C");
}

TEST(StringTest, Utf8RoundTripAndReplacement) {
    const char* utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";  // a, e-acute, euro, emoji
    vqString s = vqString::FromUTF8(utf8);
    EXPECT_EQ(s.ToUTF8(), std::string(utf8));
    std::wstring bad = vqUTF8ToWide("x\xC3(\xFFy", 5);
    EXPECT_EQ(bad, std::wstring(L"x\uFFFD(\uFFFDy"));
    wchar_t lone[] = {L'a', static_cast<wchar_t>(0xD800), L'b'};
    EXPECT_EQ(vqWideToUTF8(lone, 3), std::string("a\xEF\xBF\xBD"
                                                 "b"));
    EXPECT_EQ(vqWideToUTF8(L"\U0001F600", sizeof(wchar_t) == 2 ? 2 : 1),
              std::string("\xF0\x9F\x98\x80"));
}

TEST(StringTest, Utf16ConversionsPairAndReplaceSurrogates) {
    const char16_t pair[] = u"a\U0001F600";
    EXPECT_EQ(vqUTF16ToUTF8(pair, 3), std::string("a\xF0\x9F\x98\x80"));
    const char16_t lone[] = {u'x', 0xDC00, u'y'};
    EXPECT_EQ(vqUTF16ToUTF8(lone, 3), std::string("x\xEF\xBF\xBDy"));
    EXPECT_EQ(vqUTF8ToUTF16("\xF0\x9F\x98\x80z", 5), std::u16string(u"\U0001F600z"));
    EXPECT_EQ(vqUTF8ToUTF16("\xED\xA0\x80", 3), std::u16string(u"\uFFFD\uFFFD\uFFFD"));
}

TEST(StringTest, DecToHexGivesTwoDigits) {
    EXPECT_EQ(vqDecToHex(0), vqString(vqT("00")));
    EXPECT_EQ(vqDecToHex(171), vqString(vqT("AB")));
    EXPECT_EQ(vqDecToHex(255), vqString(vqT("FF")));
}

TEST(StringTest, XmlEscapeCoversTextAndAttributes) {
    EXPECT_EQ(vqXmlEscape(vqT("a<b & \"c\">"), false), vqString(vqT("a&lt;b &amp; \"c\"&gt;")));
    EXPECT_EQ(vqXmlEscape(vqT("\"q\""), true), vqString(vqT("&quot;q&quot;")));
    EXPECT_EQ(vqXmlEscape(vqT("plain"), true), vqString(vqT("plain")));
    EXPECT_EQ(vqXmlEscape(vqT("a\x01\tb\x1F\n"), false).ToUTF8(), "a\xEF\xBF\xBD\tb\xEF\xBF\xBD\n");
}

TEST(StringTest, XmlEscapeLeavesOnlyXmlCharacters) {
    auto escaped = [](const std::string& utf8) {
        return vqXmlEscape(vqString::FromUTF8(utf8), false).ToUTF8();
    };
    const std::string r = "\xEF\xBF\xBD";  // U+FFFD
    // The noncharacters U+FFFE and U+FFFF are not XML characters in either build.
    EXPECT_EQ(escaped("a\xEF\xBF\xBE"
                      "b\xEF\xBF\xBF"
                      "c"),
              "a" + r + "b" + r + "c");
    // Their neighbours and the planes beyond stay; so do DEL and the C1 controls.
    const std::string kept =
        "\xEF\xBF\xBD\xEE\x80\x80\xED\x9F\xBF\xF0\x9F\x98\x80"
        "\xF4\x8F\xBF\xBD\x7F\xC2\x85";
    EXPECT_EQ(escaped(kept), kept);
#ifdef VQ_UNICODE
    // Wide text: unpaired surrogates and values beyond U+10FFFF.
    std::wstring odd = L"a";
    odd += static_cast<wchar_t>(0xDC00);
    odd += L"b";
    odd += static_cast<wchar_t>(0xD800);
    if (sizeof(wchar_t) == 4) odd += static_cast<wchar_t>(0x110000);
    std::string expected = "a" + r + "b" + r + (sizeof(wchar_t) == 4 ? r : "");
    EXPECT_EQ(vqXmlEscape(vqString(odd), true).ToUTF8(), expected);
#else
    // 8-bit text: each byte that starts no UTF-8 sequence becomes one U+FFFD, as
    // the conversion to wide text does: a Latin-1 letter, a stray continuation byte,
    // a truncated sequence, an overlong form, an encoded surrogate, beyond U+10FFFF.
    const std::string bad = "caf\xE9|\x80|\xE2\x82|\xC0\xAF|\xED\xA0\x80|\xF4\x90\x80\x80";
    EXPECT_EQ(escaped(bad), "caf" + r + "|" + r + "|" + r + r + "|" + r + r + "|" + r + r + r +
                                "|" + r + r + r + r);
    const std::wstring wide = vqUTF8ToWide(bad.data(), bad.size());
    EXPECT_EQ(escaped(bad), vqWideToUTF8(wide.data(), wide.size()));
#endif
}

TEST(StringTest, UriEscapePathKeepsLettersAndBlanks) {
    auto escaped = [](const std::string& utf8) {
        return vqUriEscapePath(vqString::FromUTF8(utf8)).ToUTF8();
    };
    EXPECT_EQ(escaped("a b&c\"d\xC3\xA9.png"), "a b&c\"d\xC3\xA9.png");
    EXPECT_EQ(escaped("100%#1?\t\x01\xEF\xBF\xBF"), "100%25%231%3F%09%01%EF%BF%BF");
#ifndef VQ_UNICODE
    EXPECT_EQ(escaped("caf\xE9\xE2\x82"), "caf%E9%E2%82");
#endif
}

class CaptureLog : public vqLog {
public:
    void DoLog(vqLogLevel level, const vqString& text) override {
        levels.push_back(level);
        lines.push_back(text);
    }
    std::vector<vqLogLevel> levels;
    std::vector<vqString> lines;
};

TEST(LogTest, ActiveTargetReceivesFormattedLines) {
    CaptureLog capture;
    vqLog* previous = vqLog::SetActiveTarget(&capture);
    vqLogError(vqT("file %s, code %d"), vqT("a.svg"), 5);
    vqLogDebug(vqT("trace"));
    vqLog::SetActiveTarget(previous);
    ASSERT_EQ(capture.lines.size(), 2u);
    EXPECT_EQ(capture.lines[0], vqString(vqT("file a.svg, code 5")));
    EXPECT_EQ(capture.levels[0], vqLOG_Error);
    EXPECT_EQ(capture.levels[1], vqLOG_Debug);
}

TEST(LogTest, DebugArgumentsAreBuiltOnlyForAListener) {
    if (getenv("VQ_LOG_DEBUG")) GTEST_SKIP() << "VQ_LOG_DEBUG is set: debug lines always go out";
    int built = 0;
    auto argument = [&built] { return ++built; };
    ASSERT_FALSE(vqLogDebugEnabled());
    vqLogDebug(vqT("nobody reads %d"), argument());
    EXPECT_EQ(built, 0);
    {
        CaptureLog capture;
        vqLog* previous = vqLog::SetActiveTarget(&capture);
        EXPECT_TRUE(vqLogDebugEnabled());
        vqLogDebug(vqT("read %d"), argument());
        vqLog::SetActiveTarget(previous);
        ASSERT_EQ(capture.lines.size(), 1u);
        EXPECT_EQ(capture.lines[0], vqString(vqT("read 1")));
        // A target that goes away while installed takes the listening with it.
        vqLog::SetActiveTarget(&capture);
    }
    EXPECT_FALSE(vqLogDebugEnabled());
    vqLogDebug(vqT("nobody reads %d"), argument());
    EXPECT_EQ(built, 1);
}

TEST(LogTest, BuildCheckLogsOnlyAMismatch) {
    CaptureLog capture;
    vqLog* previous = vqLog::SetActiveTarget(&capture);
    EXPECT_TRUE(vqAppConsole::CheckBuildOptions(VQ_BUILD_OPTIONS_SIGNATURE, vqT("test")));
    EXPECT_TRUE(capture.lines.empty());
    EXPECT_FALSE(vqAppConsole::CheckBuildOptions(vqT("2.8 (other)"), vqT("vqGL")));
    vqLog::SetActiveTarget(previous);
    ASSERT_EQ(capture.lines.size(), 1u);
    EXPECT_NE(capture.lines[0].str().find(vqT("vqGL")), vqString::StdString::npos);
}

}  // namespace
