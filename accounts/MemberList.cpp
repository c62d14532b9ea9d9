#include "accounts/MemberList.h"

#include "platform/TextCase.h"

namespace Accounts {

std::vector<MemberList::Entry> MemberList::entries() const
{
    std::vector<Entry> found;
    const size_t units = m_bytes.size() / 2;
    size_t unit = 0;
    while (unit < units) {
        Entry entry{{}, unit * 2, 0};
        while (unit < units && (m_bytes[unit * 2] | m_bytes[unit * 2 + 1]) != 0) {
            entry.name.push_back(char16_t(m_bytes[unit * 2] | (m_bytes[unit * 2 + 1] << 8)));
            ++unit;
        }
        if (entry.name.empty())
            break;
        const bool terminated = unit < units;
        entry.size = (entry.name.size() + (terminated ? 1 : 0)) * 2;
        found.push_back(std::move(entry));
        ++unit;
    }
    return found;
}

std::vector<std::u16string> MemberList::members() const
{
    std::vector<std::u16string> names;
    for (auto& entry : entries())
        names.push_back(std::move(entry.name));
    return names;
}

bool MemberList::contains(std::u16string_view user) const
{
    for (const auto& entry : entries())
        if (platform::equalsIgnoringCase(entry.name, user))
            return true;
    return false;
}

std::vector<uint8_t> MemberList::withAdded(std::u16string_view user) const
{
    std::vector<uint8_t> value;
    value.reserve((user.size() + 1) * 2 + m_bytes.size());
    for (char16_t unit : user) {
        value.push_back(uint8_t(unit));
        value.push_back(uint8_t(unit >> 8));
    }
    value.push_back(0);
    value.push_back(0);
    value.insert(value.end(), m_bytes.begin(), m_bytes.end());
    return value;
}

std::optional<std::vector<uint8_t>> MemberList::withRemoved(std::u16string_view user) const
{
    for (const auto& entry : entries()) {
        if (!platform::equalsIgnoringCase(entry.name, user))
            continue;
        std::vector<uint8_t> value(m_bytes.begin(), m_bytes.begin() + entry.offset);
        value.insert(value.end(), m_bytes.begin() + entry.offset + entry.size, m_bytes.end());
        return value;
    }
    return std::nullopt;
}

} // namespace Accounts
