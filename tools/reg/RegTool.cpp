// reg: reads and changes the device registry (HKEY_LOCAL_MACHINE of the device root that
// DEVICE_ROOT names) from a shell. Exit codes: 0 done, 1 the operation failed or was declined,
// 2 the command line is wrong.

#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/TextCase.h"
#include "platform/registry/RegistryKey.h"

#include <cstdio>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

namespace {

using platform::RegistryKey;
using platform::RegistryValue;

constexpr int kExitDone = 0;
constexpr int kExitFailed = 1;
constexpr int kExitSyntax = 2;

constexpr const char* kUsage =
    "REG QUERY KEY [/v NAME | /ve]\n"
    "REG ADD KEY [/v NAME | /ve] [/t TYPE] [/s SEPARATOR] [/d DATA] [/f]\n"
    "REG DELETE KEY [/v NAME | /ve | /va] [/f]\n"
    "\n"
    "  KEY   HKLM\\SUBKEY or HKEY_LOCAL_MACHINE\\SUBKEY\n"
    "  /v    the value NAME; /ve the default (unnamed) value; /va every value of the key\n"
    "  /t    REG_SZ (the default), REG_DWORD, REG_BINARY or REG_MULTI_SZ\n"
    "  /d    the data: text, a number (decimal or 0x hexadecimal), hexadecimal bytes, or\n"
    "        strings separated by SEPARATOR (\\0 unless /s gives one)\n"
    "  /f    replace or delete without asking\n"
    "\n"
    "Exit codes: 0 done, 1 failed or declined, 2 invalid command line.\n";

int syntaxError(const std::string& why)
{
    std::cerr << "ERROR: Invalid syntax. " << why << "\nType \"REG /?\" for usage.\n";
    return kExitSyntax;
}

std::string describe(uint32_t error)
{
    switch (error) {
    case platform::kErrorFileNotFound: return "The system was unable to find the specified registry key or value.";
    case platform::kErrorAccessDenied: return "Access is denied.";
    case platform::kErrorInvalidParameter: return "The parameter is incorrect.";
    case platform::kErrorBusy: return "The registry is busy; try again.";
    case platform::kErrorDiskFull: return "There is not enough space on the disk.";
    case platform::kErrorKeyDeleted: return "The key was deleted meanwhile.";
    case platform::kErrorBadDatabase:
    case platform::kErrorRegistryCorrupt: return "The registry database is damaged.";
    case platform::kErrorCantOpenKey:
    case platform::kErrorRegistryIoFailed: return "The registry database cannot be read or written.";
    default: return "The registry operation failed.";
    }
}

int failed(uint32_t error = platform::lastError())
{
    std::cerr << "ERROR: " << describe(error) << " (error " << error << ")\n";
    return kExitFailed;
}

struct Command {
    std::string verb;
    std::u16string keyPath; // below HKEY_LOCAL_MACHINE
    std::u16string shownKey;
    std::optional<std::u16string> valueName;
    bool allValues = false;
    std::optional<std::string> type;
    std::optional<std::u16string> data;
    std::u16string separator = u"\\0";
    bool force = false;
};

std::string upper(std::string text)
{
    for (char& c : text)
        if (c >= 'a' && c <= 'z')
            c = char(c - 'a' + 'A');
    return text;
}

// Splits off the root; only HKEY_LOCAL_MACHINE exists on the device.
bool parseKey(const std::string& text, Command& command)
{
    const size_t slash = text.find('\\');
    const std::string root = upper(text.substr(0, slash));
    if (root != "HKLM" && root != "HKEY_LOCAL_MACHINE")
        return false;
    std::string rest = slash == std::string::npos ? std::string() : text.substr(slash + 1);
    while (!rest.empty() && rest.back() == '\\')
        rest.pop_back();
    command.keyPath = platform::wideFromUtf8(rest);
    command.shownKey = u"HKEY_LOCAL_MACHINE" + (rest.empty() ? std::u16string() : u"\\" + command.keyPath);
    return true;
}

std::optional<int> parse(int argc, char** argv, Command& command)
{
    if (argc < 2)
        return syntaxError("An operation is needed.");
    command.verb = upper(argv[1]);
    if (command.verb == "/?" || command.verb == "-?" || command.verb == "/H" || command.verb == "--HELP") {
        std::cout << kUsage;
        return kExitDone;
    }
    if (command.verb != "QUERY" && command.verb != "ADD" && command.verb != "DELETE")
        return syntaxError("Unknown operation \"" + std::string(argv[1]) + "\".");
    if (argc < 3)
        return syntaxError("A key is needed.");
    if (!parseKey(argv[2], command)) {
        std::cerr << "ERROR: Invalid key name \"" << argv[2] << "\": it must start with HKLM\\.\n";
        return kExitSyntax;
    }
    for (int i = 3; i < argc; ++i) {
        const std::string option = upper(argv[i]);
        auto operand = [&]() -> const char* { return i + 1 < argc ? argv[++i] : nullptr; };
        if (option == "/V" || option == "-V") {
            const char* name = operand();
            if (!name || command.valueName)
                return syntaxError("/v needs one value name.");
            command.valueName = platform::wideFromUtf8(name);
        } else if (option == "/VE" || option == "-VE") {
            if (command.valueName)
                return syntaxError("/v and /ve exclude each other.");
            command.valueName = u"";
        } else if ((option == "/VA" || option == "-VA") && command.verb == "DELETE") {
            command.allValues = true;
        } else if ((option == "/T" || option == "-T") && command.verb == "ADD") {
            const char* type = operand();
            if (!type)
                return syntaxError("/t needs a type.");
            command.type = upper(type);
        } else if ((option == "/D" || option == "-D") && command.verb == "ADD") {
            const char* data = operand();
            if (!data)
                return syntaxError("/d needs data.");
            command.data = platform::wideFromUtf8(data);
        } else if ((option == "/S" || option == "-S") && command.verb == "ADD") {
            const char* separator = operand();
            if (!separator || !*separator)
                return syntaxError("/s needs a separator.");
            command.separator = platform::wideFromUtf8(separator);
        } else if ((option == "/F" || option == "-F") && command.verb != "QUERY") {
            command.force = true;
        } else {
            return syntaxError("Unexpected \"" + std::string(argv[i]) + "\".");
        }
    }
    if (command.allValues && command.valueName)
        return syntaxError("/va excludes /v and /ve.");
    if ((command.type || command.data) && !command.valueName)
        return syntaxError("/t and /d need /v or /ve.");
    return std::nullopt;
}

std::string typeName(uint32_t type)
{
    switch (type) {
    case 0: return "REG_NONE";
    case platform::kRegSz: return "REG_SZ";
    case 2: return "REG_EXPAND_SZ";
    case platform::kRegBinary: return "REG_BINARY";
    case platform::kRegDword: return "REG_DWORD";
    case platform::kRegMultiSz: return "REG_MULTI_SZ";
    default: {
        char text[16];
        std::snprintf(text, sizeof text, "0x%X", type);
        return text;
    }
    }
}

std::u16string unitsOf(const std::vector<uint8_t>& data)
{
    std::u16string units;
    for (size_t i = 0; i + 1 < data.size(); i += 2)
        units.push_back(char16_t(data[i] | (data[i + 1] << 8)));
    return units;
}

std::string hexBytes(const std::vector<uint8_t>& data)
{
    std::string text;
    char byte[3];
    for (uint8_t b : data) {
        std::snprintf(byte, sizeof byte, "%02X", b);
        text += byte;
    }
    return text;
}

std::string shownData(const RegistryValue& value)
{
    switch (value.type) {
    case platform::kRegSz:
    case 2: {
        std::u16string text = unitsOf(value.data);
        text = text.substr(0, text.find(u'\0'));
        return platform::utf8FromWide(text);
    }
    case platform::kRegMultiSz: {
        std::u16string units = unitsOf(value.data);
        std::string shown;
        size_t start = 0;
        while (start < units.size()) {
            const size_t end = std::min(units.find(u'\0', start), units.size());
            if (end == start)
                break;
            if (!shown.empty())
                shown += "\\0";
            shown += platform::utf8FromWide(units.substr(start, end - start));
            start = end + 1;
        }
        return shown;
    }
    case platform::kRegDword:
        if (value.data.size() == 4) {
            const uint32_t number = value.data[0] | (value.data[1] << 8) | (value.data[2] << 16)
                | (uint32_t(value.data[3]) << 24);
            char text[16];
            std::snprintf(text, sizeof text, "0x%x", number);
            return text;
        }
        return hexBytes(value.data);
    default: return hexBytes(value.data);
    }
}

void printValue(const std::u16string& name, const RegistryValue& value)
{
    std::cout << "    " << (name.empty() ? std::string("(Default)") : platform::utf8FromWide(name)) << "    "
              << typeName(value.type) << "    " << shownData(value) << "\n";
}

bool confirm(const std::string& question)
{
    std::cout << question << " (Yes/No)? " << std::flush;
    std::string answer;
    if (!std::getline(std::cin, answer)) {
        std::cout << "\n";
        return false;
    }
    answer = upper(answer);
    return answer == "Y" || answer == "YES";
}

// The key's path as its names were first spelled, which may differ from the typed one in case.
std::string spelledKey(const RegistryKey& key, const Command& command)
{
    const auto path = key.path();
    if (!path)
        return platform::utf8FromWide(command.shownKey);
    return "HKEY_LOCAL_MACHINE" + (path->empty() ? std::string() : "\\" + platform::utf8FromWide(*path));
}

std::u16string spelledValueName(const RegistryKey& key, const std::u16string& typed)
{
    for (uint32_t index = 0; auto name = key.valueName(index); ++index)
        if (platform::equalsIgnoringCase(*name, typed))
            return *name;
    return typed;
}

int query(const Command& command)
{
    RegistryKey key = RegistryKey::open(command.keyPath);
    if (!key)
        return failed();
    const std::string shownKey = spelledKey(key, command);
    std::cout << "\n" << shownKey << "\n";
    if (command.valueName) {
        const auto value = key.readValue(*command.valueName);
        if (!value)
            return failed();
        printValue(spelledValueName(key, *command.valueName), *value);
        return kExitDone;
    }
    RegistryValue value;
    uint32_t index = 0;
    for (; auto name = key.valueName(index, &value); ++index)
        printValue(*name, value);
    if (platform::lastError() != platform::kErrorNoMoreItems)
        return failed();
    if (index > 0)
        std::cout << "\n";
    index = 0;
    for (; auto name = key.subkeyName(index); ++index)
        std::cout << shownKey << "\\" << platform::utf8FromWide(*name) << "\n";
    if (platform::lastError() != platform::kErrorNoMoreItems)
        return failed();
    return kExitDone;
}

void appendUnits(std::vector<uint8_t>& out, std::u16string_view text)
{
    for (char16_t unit : text) {
        out.push_back(uint8_t(unit));
        out.push_back(uint8_t(unit >> 8));
    }
    out.push_back(0);
    out.push_back(0);
}

std::optional<uint32_t> parseNumber(const std::string& text)
{
    if (text.empty())
        return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    uint64_t number = 0;
    for (size_t i = hex ? 2 : 0; i < text.size(); ++i) {
        const char c = text[i];
        int digit;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        number = number * (hex ? 16 : 10) + digit;
        if (number > 0xFFFFFFFFu)
            return std::nullopt;
    }
    return static_cast<uint32_t>(number);
}

std::optional<int> encode(const Command& command, uint32_t& type, std::vector<uint8_t>& bytes)
{
    const std::string typeText = command.type.value_or("REG_SZ");
    const std::u16string data = command.data.value_or(u"");
    if (typeText == "REG_SZ") {
        type = platform::kRegSz;
        appendUnits(bytes, data);
    } else if (typeText == "REG_DWORD") {
        type = platform::kRegDword;
        const auto number = parseNumber(platform::utf8FromWide(data));
        if (!number)
            return syntaxError("REG_DWORD data must be a number from 0 to 4294967295 (or 0x0 to 0xFFFFFFFF).");
        for (int shift = 0; shift < 32; shift += 8)
            bytes.push_back(uint8_t(*number >> shift));
    } else if (typeText == "REG_BINARY") {
        type = platform::kRegBinary;
        const std::string hex = platform::utf8FromWide(data);
        if (hex.size() % 2 != 0)
            return syntaxError("REG_BINARY data must be pairs of hexadecimal digits.");
        for (size_t i = 0; i < hex.size(); i += 2) {
            const auto byte = parseNumber("0x" + hex.substr(i, 2));
            if (!byte)
                return syntaxError("REG_BINARY data must be pairs of hexadecimal digits.");
            bytes.push_back(uint8_t(*byte));
        }
    } else if (typeText == "REG_MULTI_SZ") {
        type = platform::kRegMultiSz;
        size_t start = 0;
        while (start < data.size()) {
            const size_t end = std::min(data.find(command.separator, start), data.size());
            if (end == start)
                return syntaxError("REG_MULTI_SZ data cannot hold an empty string.");
            appendUnits(bytes, std::u16string_view(data).substr(start, end - start));
            start = end == data.size() ? end : end + command.separator.size();
        }
        appendUnits(bytes, u"");
    } else {
        return syntaxError("Unsupported type \"" + typeText + "\".");
    }
    return std::nullopt;
}

int add(const Command& command)
{
    uint32_t type = 0;
    std::vector<uint8_t> bytes;
    if (command.valueName) {
        if (auto exit = encode(command, type, bytes))
            return *exit;
    }
    RegistryKey key = RegistryKey::create(command.keyPath);
    if (!key)
        return failed();
    if (command.valueName) {
        if (!command.force && key.readValue(*command.valueName)) {
            const std::string shown = command.valueName->empty() ? "(Default)" : platform::utf8FromWide(*command.valueName);
            if (!confirm("Value " + shown + " exists, overwrite")) {
                std::cout << "The operation was cancelled.\n";
                return kExitFailed;
            }
        }
        if (!key.setValue(*command.valueName, type, bytes.data(), bytes.size()))
            return failed();
    }
    std::cout << "The operation completed successfully.\n";
    return kExitDone;
}

int remove(const Command& command)
{
    RegistryKey key = RegistryKey::open(command.keyPath);
    if (!key)
        return failed();
    const std::string shownKey = spelledKey(key, command);
    if (command.valueName) {
        const std::string shown = command.valueName->empty() ? "(Default)" : platform::utf8FromWide(*command.valueName);
        if (!key.readValue(*command.valueName))
            return failed();
        if (!command.force && !confirm("Delete the registry value " + shown)) {
            std::cout << "The operation was cancelled.\n";
            return kExitFailed;
        }
        if (!key.deleteValue(*command.valueName))
            return failed();
    } else if (command.allValues) {
        if (!command.force && !confirm("Delete all values under the registry key " + shownKey)) {
            std::cout << "The operation was cancelled.\n";
            return kExitFailed;
        }
        // Deleting moves the indexes down, so the first value is taken until none is left.
        while (auto name = key.valueName(0))
            if (!key.deleteValue(*name))
                return failed();
        if (platform::lastError() != platform::kErrorNoMoreItems)
            return failed();
    } else {
        if (command.keyPath.empty()) {
            std::cerr << "ERROR: HKEY_LOCAL_MACHINE itself cannot be deleted.\n";
            return kExitFailed;
        }
        if (!command.force && !confirm("Permanently delete the registry key " + shownKey)) {
            std::cout << "The operation was cancelled.\n";
            return kExitFailed;
        }
        key.close();
        if (!RegistryKey::deleteKey(command.keyPath))
            return failed();
    }
    std::cout << "The operation completed successfully.\n";
    return kExitDone;
}

} // namespace

int main(int argc, char** argv)
{
    Command command;
    if (auto exit = parse(argc, argv, command))
        return *exit;
    if (command.verb == "QUERY")
        return query(command);
    if (command.verb == "ADD")
        return add(command);
    return remove(command);
}
