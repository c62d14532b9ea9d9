#include "platform/Text.h"

#include <gtest/gtest.h>

namespace {

TEST(TextTest, Utf8RoundTripsEveryPlane)
{
    const std::u16string text = u"A\u00e9\u20ac\U0001F600z";
    const std::string utf8 = platform::utf8FromWide(text);
    EXPECT_EQ(utf8, "A\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80z");
    EXPECT_EQ(platform::wideFromUtf8(utf8), text);
}

TEST(TextTest, MalformedInputBecomesReplacementCharacter)
{
    struct Case {
        const char* name;
        std::string utf8;
        bool valid;
    };
    const Case cases[] = {
        { "ascii", "abc", true },
        { "truncated sequence", "a\xE2\x82", false },
        { "overlong slash", "\xC0\xAF", false },
        { "encoded surrogate", "\xED\xA0\x80", false },
        { "beyond U+10FFFF", "\xF4\x90\x80\x80", false },
        { "stray continuation", "\x80", false },
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::isValidUtf8(c.utf8), c.valid);
        if (!c.valid) {
            EXPECT_NE(platform::wideFromUtf8(c.utf8).find(u'\uFFFD'), std::u16string::npos);
        }
    }
    EXPECT_FALSE(platform::isValidUtf16(std::u16string(1, char16_t(0xD800))));
    EXPECT_EQ(platform::utf8FromWide(std::u16string(1, char16_t(0xDC00))), "\xEF\xBF\xBD");
}

TEST(TextTest, CodePagesMapThroughIconv)
{
    bool lossy = true;
    EXPECT_EQ(platform::narrowFromWide(u"\u20ac\u00e9", platform::CodePage::Ansi, &lossy), "\x80\xE9");
    EXPECT_FALSE(lossy);
    EXPECT_EQ(platform::narrowFromWide(u"\u00e9\u2591", platform::CodePage::Oem, &lossy), "\x82\xB0");
    EXPECT_EQ(platform::narrowFromWide(u"a\u4e2d", platform::CodePage::Ansi, &lossy), "a?");
    EXPECT_TRUE(lossy);
    EXPECT_EQ(platform::wideFromNarrow("\x80\xE9", platform::CodePage::Ansi), u"\u20ac\u00e9");
    EXPECT_EQ(platform::wideFromNarrow("\x82", platform::CodePage::Oem), u"\u00e9");

    platform::setCodePages("ISO-8859-15", "IBM850");
    EXPECT_EQ(platform::narrowFromWide(u"\u20ac", platform::CodePage::Ansi), "\xA4");
    platform::setCodePages("WINDOWS-1252", "IBM437");
}

} // namespace
