#include <gtest/gtest.h>

#include "accounts/AccountStore.h"
#include "engine/ContextAttributes.h"
#include "engine/ContextList.h"
#include "engine/GroupList.h"
#include "tests/support/DeviceRootTest.h"

using namespace Ntlm;

namespace {

class GroupListTest : public testsupport::DeviceRootTest {};

} // namespace

TEST_F(GroupListTest, AcceptedUserGetsTheGroupsOfTheAccountStore)
{
    ASSERT_TRUE(Accounts::AccountSetUserInfo(u"bob", u"pw"));
    ASSERT_TRUE(Accounts::AccountSetUserInfo(u"amy", u"pw"));
    ASSERT_TRUE(Accounts::AccountAddGroup(u"staff"));
    ASSERT_TRUE(Accounts::AccountAddGroup(u"admins"));
    ASSERT_TRUE(Accounts::AccountAddGroup(u"guests"));
    ASSERT_TRUE(Accounts::AccountAddUserToGroup(u"staff", u"bob"));
    ASSERT_TRUE(Accounts::AccountAddUserToGroup(u"admins", u"bob"));
    ASSERT_TRUE(Accounts::AccountAddUserToGroup(u"guests", u"amy"));

    struct Case {
        const char* name;
        std::u16string user;
        bool hasList;
        std::string list;
    };
    const Case cases[] = {
        {"member of two groups, in enumeration order", u"BOB", true, std::string("admins\0staff\0\0\0", 15)},
        {"member of none", u"carl", false, ""},
        {"no user name", u"", false, ""},
    };
    // carl has no account, so the store refuses and no list is kept.
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ContextRef context = ContextList::create();
        LoadLocalGroupList(*context, c.user);
        EXPECT_EQ(context->hasGroupList, c.hasList);
        EXPECT_EQ(context->groupList, c.list);
        if (c.hasList) {
            ContextAttributeValue value;
            ASSERT_EQ(NtlmQueryContextAttribute(context->handle(), SECPKG_ATTR_GROUP_LIST, &value), kStatusOk);
            EXPECT_EQ(value.text.size(), c.list.size());
            EXPECT_EQ(value.text.substr(0, 7), std::u16string(u"admins\0", 7));
        }
        NtlmDeleteContext(context->handle());
    }
}
