#include <gtest/gtest.h>

#include <clocale>

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

TEST(StringTest, NumbersIgnoreTheProcessLocale) {
    const char* set = setlocale(LC_ALL, "de_DE.UTF-8");
    if (!set) set = setlocale(LC_ALL, "fr_FR.UTF-8");
    if (!set) GTEST_SKIP() << "no locale with a decimal comma is installed";
    EXPECT_EQ(vqString::Format(vqT("%g %.2f"), 2.5, 1.25), vqString(vqT("2.5 1.25")));
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

TEST(StringTest, DecToHexGivesTwoDigits) {
    EXPECT_EQ(vqDecToHex(0), vqString(vqT("00")));
    EXPECT_EQ(vqDecToHex(171), vqString(vqT("AB")));
    EXPECT_EQ(vqDecToHex(255), vqString(vqT("FF")));
}

TEST(StringTest, XmlEscapeCoversTextAndAttributes) {
    EXPECT_EQ(vqXmlEscape(vqT("a<b & \"c\">"), false), vqString(vqT("a&lt;b &amp; \"c\"&gt;")));
    EXPECT_EQ(vqXmlEscape(vqT("\"q\""), true), vqString(vqT("&quot;q&quot;")));
    EXPECT_EQ(vqXmlEscape(vqT("plain"), true), vqString(vqT("plain")));
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
