#include "engine/GroupList.h"

#include <vector>

#include "accounts/AccountStore.h"
#include "platform/Text.h"

namespace Ntlm {

void LoadLocalGroupList(ContextRecord& context, std::u16string_view user)
{
    if (user.empty())
        return;
    const std::u16string name(user);
    uint32_t count = 0;
    if (!Accounts::AccountGetGroupList(name.c_str(), nullptr, &count) || count == 0)
        return;
    std::vector<char16_t> units(count);
    if (!Accounts::AccountGetGroupList(name.c_str(), units.data(), &count) || count > units.size())
        return;
    bool lossy = false;
    std::string oem = platform::narrowFromWide(std::u16string_view(units.data(), count), platform::CodePage::Oem, &lossy);
    if (oem.size() != count)
        return;
    context.groupList = std::move(oem);
    context.hasGroupList = true;
}

} // namespace Ntlm
