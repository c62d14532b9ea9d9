#include "platform/TextCase.h"

#include <gtest/gtest.h>

namespace {

struct FoldCase {
    const char* name;
    std::u16string a;
    std::u16string b;
    bool equal;
};

TEST(TextCaseTest, ComparesBySimpleCaseFolding)
{
    const FoldCase cases[] = {
        {"ascii", u"Comm\\SecurityProviders", u"COMM\\securityproviders", true},
        {"latin-1", u"\u00C4rger", u"\u00E4RGER", true},
        {"final sigma", u"\u03A3\u0391\u03A3", u"\u03C3\u03B1\u03C2", true},
        {"kelvin sign", u"\u212A", u"k", true},
        {"long s", u"\u017F", u"S", true},
        {"cyrillic", u"\u0416\u0443\u043A", u"\u0436\u0423\u041A", true},
        {"deseret beyond the BMP", u"\U00010400", u"\U00010428", true},
        {"dotless i stays apart", u"\u0131", u"i", false},
        {"dotted capital I stays apart", u"\u0130", u"i", false},
        {"sharp s is not ss", u"\u00DF", u"ss", false},
        {"different letters", u"bob", u"bop", false},
        {"unpaired surrogate kept", std::u16string(1, char16_t(0xD800)), std::u16string(1, char16_t(0xD800)), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(platform::equalsIgnoringCase(c.a, c.b), c.equal);
    }
}

TEST(TextCaseTest, LettersAndDigitsOfAnyScript)
{
    for (char16_t c : std::u16string(u"aZ09\u00E9\u0416\u03A9\u4E2D\u0663"))
        EXPECT_TRUE(platform::isLetterOrDigit(c)) << int(c);
    for (char16_t c : std::u16string(u" _-\\.@\u00A0\u2014"))
        EXPECT_FALSE(platform::isLetterOrDigit(c)) << int(c);
    EXPECT_FALSE(platform::isLetterOrDigit(char16_t(0xD801)));
}

} // namespace
