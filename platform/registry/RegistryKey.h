// The device registry: HKEY_LOCAL_MACHINE, kept in a database in the device root's state folder
// and shared by every process of that root. Key and value names compare ignoring case. Calls
// return false (or a closed key) on failure and leave the reason in lastError(); every write is
// one transaction and is on disk when the call returns.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace platform {

enum RegistryType : uint32_t {
    kRegSz = 1,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
};

// Longest key name (one path component) and value name, in UTF-16 units.
constexpr size_t kMaxKeyNameLength = 255;
constexpr size_t kMaxValueNameLength = 16383;

struct RegistryValue {
    uint32_t type = 0;
    std::vector<uint8_t> data;
};

struct RegistryKeyInfo {
    uint32_t subkeyCount = 0;
    uint32_t maxSubkeyNameLength = 0; // UTF-16 units, without the terminating zero
    uint32_t valueCount = 0;
    uint32_t maxValueNameLength = 0;
    uint32_t maxValueDataSize = 0;    // bytes
};

class RegistryDatabase;

// An open key; move-only, closes in its destructor. Paths are relative to HKEY_LOCAL_MACHINE
// (or to the key a call is made on), with '\' between key names; the empty path is the key
// itself. Missing keys and values fail with 2, malformed names with 87.
class RegistryKey {
public:
    enum class Disposition { Created, Existed };

    RegistryKey() = default;
    // HKEY_LOCAL_MACHINE itself.
    static RegistryKey localMachine();
    static RegistryKey open(std::u16string_view path);
    // Opens the key, creating it and any missing parents; disposition, when given, tells
    // whether the key existed.
    static RegistryKey create(std::u16string_view path, Disposition* disposition = nullptr);
    // Deletes a key with all its subkeys and values. HKEY_LOCAL_MACHINE itself cannot be
    // deleted (5). Keys still open on the deleted tree fail with 1018 from then on.
    static bool deleteKey(std::u16string_view path);

    RegistryKey openSubkey(std::u16string_view path) const;
    RegistryKey createSubkey(std::u16string_view path, Disposition* disposition = nullptr) const;
    bool deleteSubkey(std::u16string_view path) const;

    RegistryKey(RegistryKey&& other) noexcept;
    RegistryKey& operator=(RegistryKey&& other) noexcept;
    RegistryKey(const RegistryKey&) = delete;
    RegistryKey& operator=(const RegistryKey&) = delete;
    ~RegistryKey();

    bool isOpen() const { return m_database != nullptr; }
    explicit operator bool() const { return isOpen(); }
    void close();

    // Stores a value, replacing any value of that name (whatever its type). The data are kept
    // as given; the type is not checked against them. The empty name is the key's default value.
    bool setValue(std::u16string_view name, uint32_t type, const void* data, size_t size) const;
    bool setDword(std::u16string_view name, uint32_t value) const;
    // Stores text with its terminating zero as REG_SZ.
    bool setString(std::u16string_view name, std::u16string_view text) const;
    // Stores each string with its zero and one more zero as REG_MULTI_SZ.
    bool setMultiString(std::u16string_view name, const std::vector<std::u16string>& strings) const;

    // Reads a value in the manner of the device's registry: type (when given) gets the type;
    // size holds the buffer's capacity in bytes and gets the data's size. A null buffer asks
    // only for the size; a buffer that is too small fails with 234 and size set to the need.
    bool queryValue(std::u16string_view name, uint32_t* type, void* buffer, uint32_t* size) const;
    // The whole value, or nullopt (last error set).
    std::optional<RegistryValue> readValue(std::u16string_view name) const;
    bool deleteValue(std::u16string_view name) const;

    // The name of the subkey at index (in order of folded names); 259 after the last. count
    // holds the capacity in UTF-16 units with the zero and gets the length without it; too
    // small a buffer fails with 234 and count set to the name's length.
    bool enumSubkey(uint32_t index, char16_t* name, uint32_t* count) const;
    std::optional<std::u16string> subkeyName(uint32_t index) const;
    // The name of the value at index and, when wanted, the value itself; 259 after the last.
    std::optional<std::u16string> valueName(uint32_t index, RegistryValue* value = nullptr) const;
    std::optional<RegistryKeyInfo> queryInfo() const;

    // The path of this key below HKEY_LOCAL_MACHINE, with names spelled as created.
    std::optional<std::u16string> path() const;

private:
    RegistryKey(std::shared_ptr<RegistryDatabase> database, int64_t id);

    std::shared_ptr<RegistryDatabase> m_database;
    int64_t m_id = 0;
};

} // namespace platform
