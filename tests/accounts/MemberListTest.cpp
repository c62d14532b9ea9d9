#include "accounts/MemberList.h"

#include <gtest/gtest.h>

namespace {

using Accounts::MemberList;

std::vector<uint8_t> bytes(std::u16string_view units)
{
    std::vector<uint8_t> out;
    for (char16_t unit : units) {
        out.push_back(uint8_t(unit));
        out.push_back(uint8_t(unit >> 8));
    }
    return out;
}

TEST(MemberListTest, AddsInFrontAndKeepsTheOldTerminators)
{
    const MemberList empty(MemberList::empty());
    EXPECT_TRUE(empty.members().empty());
    const auto once = empty.withAdded(u"bob");
    EXPECT_EQ(once, bytes(std::u16string(u"bob\0\0\0", 6)));
    const auto twice = MemberList(once).withAdded(u"amy");
    EXPECT_EQ(twice, bytes(std::u16string(u"amy\0bob\0\0\0", 10)));
    EXPECT_EQ(MemberList(twice).members(), (std::vector<std::u16string>{u"amy", u"bob"}));
}

TEST(MemberListTest, RemovesTheFirstMatchIgnoringCase)
{
    struct Case {
        const char* name;
        std::u16string value;
        std::u16string user;
        std::optional<std::u16string> result;
    };
    const Case cases[] = {
        {"first", std::u16string(u"amy\0bob\0\0\0", 10), u"AMY", std::u16string(u"bob\0\0\0", 6)},
        {"last", std::u16string(u"amy\0bob\0\0\0", 10), u"bob", std::u16string(u"amy\0\0\0", 6)},
        {"only the first of two", std::u16string(u"bob\0bob\0\0", 9), u"Bob", std::u16string(u"bob\0\0", 5)},
        {"not a member", std::u16string(u"amy\0\0", 5), u"bob", std::nullopt},
        {"prefix is not a match", std::u16string(u"bobby\0\0", 7), u"bob", std::nullopt},
        {"after the end of the list", std::u16string(u"amy\0\0bob\0", 9), u"bob", std::nullopt},
        {"without a final zero", std::u16string(u"amy\0bob", 7), u"bob", std::u16string(u"amy\0", 4)},
        {"empty value", u"", u"bob", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto removed = MemberList(bytes(c.value)).withRemoved(c.user);
        ASSERT_EQ(removed.has_value(), c.result.has_value());
        if (removed) {
            EXPECT_EQ(*removed, bytes(*c.result));
        }
    }
    std::vector<uint8_t> odd = bytes(std::u16string(u"amy\0", 4));
    odd.push_back(0x41);
    EXPECT_EQ(MemberList(odd).members(), std::vector<std::u16string>{u"amy"});
    EXPECT_TRUE(MemberList(bytes(u"\u00C4nne")).contains(u"\u00E4NNE"));
}

} // namespace
