// A group's member list as stored in its "Users" value: UTF-16LE names, each with its zero,
// ended by an empty string. Works on the raw bytes so that whatever follows the list (the old
// terminators that adding leaves at the end) is kept as it is. Never fails.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace Accounts {

class MemberList {
public:
    explicit MemberList(std::vector<uint8_t> bytes) : m_bytes(std::move(bytes)) {}

    // The names up to the first empty string (or the end of the value).
    std::vector<std::u16string> members() const;
    bool contains(std::u16string_view user) const;

    // The value with user and its zero in front of the whole previous value.
    std::vector<uint8_t> withAdded(std::u16string_view user) const;
    // The value without the first member equal to user (ignoring case), or nullopt when none is.
    std::optional<std::vector<uint8_t>> withRemoved(std::u16string_view user) const;

    // The value of a new group: the empty list.
    static std::vector<uint8_t> empty() { return std::vector<uint8_t>(4, 0); }

private:
    struct Entry {
        std::u16string name;
        size_t offset; // byte offset of the name
        size_t size;   // bytes of the name and its zero (if present)
    };
    std::vector<Entry> entries() const;

    std::vector<uint8_t> m_bytes;
};

} // namespace Accounts
