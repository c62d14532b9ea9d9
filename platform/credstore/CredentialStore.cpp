#include "platform/credstore/CredentialStore.h"

#include "platform/Error.h"
#include "platform/Text.h"
#include "platform/protect/DataProtection.h"
#include "platform/TextCase.h"
#include "platform/registry/RegistryKey.h"

#include <nettle/sha2.h>
#include <memory>
#include <optional>
#include <string.h>

namespace platform {

namespace {

constexpr std::u16string_view kRecordValue = u"Credential";
constexpr uint32_t kRecordVersion = 1;
constexpr uint32_t kMaxTargetLength = 32767;
// Binds each protected record to its store; the description binds it to its target.
constexpr std::string_view kEntropy = "credential store";

// One subkey per target and type, named by a digest of both so that the name is fixed, fits
// a key name whatever the target, and two writers of one target meet in the same key.
std::u16string subkeyFor(std::u16string_view target, uint32_t type)
{
    const std::u16string folded = foldCase(target);
    sha256_ctx context;
    sha256_init(&context);
    uint8_t typeBytes[4] = {uint8_t(type), uint8_t(type >> 8), uint8_t(type >> 16), uint8_t(type >> 24)};
    sha256_update(&context, sizeof typeBytes, typeBytes);
    for (char16_t unit : folded) {
        const uint8_t bytes[2] = {uint8_t(unit), uint8_t(unit >> 8)};
        sha256_update(&context, 2, bytes);
    }
    uint8_t digest[SHA256_DIGEST_SIZE];
    sha256_digest(&context, sizeof digest, digest);
    std::u16string name;
    for (uint8_t b : digest) {
        name.push_back(u"0123456789abcdef"[b >> 4]);
        name.push_back(u"0123456789abcdef"[b & 0xF]);
    }
    return std::u16string(kCredStoreKey) + u"\\" + name;
}

void putU32(std::vector<uint8_t>& out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(value >> (8 * i)));
}

void putText(std::vector<uint8_t>& out, std::u16string_view text)
{
    putU32(out, static_cast<uint32_t>(text.size()));
    for (char16_t unit : text) {
        out.push_back(uint8_t(unit));
        out.push_back(uint8_t(unit >> 8));
    }
}

// Record layout, little-endian: version, type, flags, target (u32 units + UTF-16LE), user
// (likewise), blob (u32 size + bytes).
std::vector<uint8_t> serialize(const CredStoreCredential& credential)
{
    std::vector<uint8_t> record;
    putU32(record, kRecordVersion);
    putU32(record, credential.type);
    putU32(record, credential.flags);
    putText(record, credential.target);
    putText(record, credential.user);
    putU32(record, static_cast<uint32_t>(credential.blob.size()));
    record.insert(record.end(), credential.blob.begin(), credential.blob.end());
    return record;
}

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& data) : m_data(data) {}
    std::optional<uint32_t> u32()
    {
        if (m_data.size() - m_at < 4)
            return std::nullopt;
        const uint8_t* p = m_data.data() + m_at;
        m_at += 4;
        return p[0] | (p[1] << 8) | (p[2] << 16) | (uint32_t(p[3]) << 24);
    }
    std::optional<std::u16string> text()
    {
        const auto units = u32();
        if (!units || (m_data.size() - m_at) / 2 < *units)
            return std::nullopt;
        std::u16string text;
        for (uint32_t i = 0; i < *units; ++i, m_at += 2)
            text.push_back(char16_t(m_data[m_at] | (m_data[m_at + 1] << 8)));
        return text;
    }
    std::optional<std::vector<uint8_t>> bytes()
    {
        const auto size = u32();
        if (!size || m_data.size() - m_at < *size)
            return std::nullopt;
        std::vector<uint8_t> bytes(m_data.begin() + m_at, m_data.begin() + m_at + *size);
        m_at += *size;
        return bytes;
    }
    bool atEnd() const { return m_at == m_data.size(); }

private:
    const std::vector<uint8_t>& m_data;
    size_t m_at = 0;
};

std::optional<CredStoreCredential> parse(const std::vector<uint8_t>& record)
{
    Reader reader(record);
    CredStoreCredential credential;
    const auto version = reader.u32();
    const auto type = reader.u32();
    const auto flags = reader.u32();
    if (!version || *version != kRecordVersion || !type || !flags)
        return std::nullopt;
    auto target = reader.text();
    auto user = target ? reader.text() : std::nullopt;
    auto blob = user ? reader.bytes() : std::nullopt;
    if (!blob || !reader.atEnd())
        return std::nullopt;
    credential.type = *type;
    credential.flags = *flags;
    credential.target = std::move(*target);
    credential.user = std::move(*user);
    credential.blob = std::move(*blob);
    return credential;
}

void wipe(std::vector<uint8_t>& bytes)
{
    if (!bytes.empty())
        ::explicit_bzero(bytes.data(), bytes.size());
}

// The credential in the key's record, or a status.
uint32_t readRecord(const RegistryKey& key, CredStoreCredential& credential)
{
    auto sealed = key.readValue(kRecordValue);
    if (!sealed)
        return lastError() == kErrorFileNotFound ? kErrorNotFound : lastError();
    auto opened = DataProtection::unprotect(sealed->data.data(), sealed->data.size(), kEntropy);
    if (!opened)
        return kErrorInvalidData;
    auto parsed = parse(opened->data);
    wipe(opened->data);
    if (!parsed || !equalsIgnoringCase(opened->description, parsed->target)) {
        if (parsed)
            wipe(parsed->blob);
        return kErrorInvalidData;
    }
    credential = std::move(*parsed);
    return kErrorSuccess;
}

uint32_t fail(uint32_t status)
{
    setLastError(status);
    return status;
}

} // namespace

uint32_t CredStoreRead(const char16_t* target, uint32_t targetLength, uint32_t type, uint32_t /*flags*/,
                       CredStoreCredential** credential)
{
    if (!credential)
        return fail(kErrorInvalidParameter);
    *credential = nullptr;
    if (!target || targetLength == 0 || targetLength > kMaxTargetLength + 1 || target[targetLength - 1] != 0)
        return fail(kErrorInvalidParameter);
    const std::u16string_view name(target, targetLength - 1);
    RegistryKey key = RegistryKey::open(subkeyFor(name, type));
    if (!key)
        return fail(lastError() == kErrorFileNotFound ? kErrorNotFound : lastError());
    auto found = std::make_unique<CredStoreCredential>();
    const uint32_t status = readRecord(key, *found);
    if (status != kErrorSuccess)
        return fail(status);
    // A digest collision or a moved record must not hand out another target's credential.
    if (found->type != type || !equalsIgnoringCase(found->target, name)) {
        wipe(found->blob);
        return fail(kErrorNotFound);
    }
    *credential = found.release();
    setLastError(kErrorSuccess);
    return kErrorSuccess;
}

void CredStoreFree(CredStoreCredential* credential)
{
    if (!credential)
        return;
    wipe(credential->blob);
    delete credential;
}

uint32_t CredStoreWrite(const CredStoreCredential& credential)
{
    if (credential.target.size() > kMaxTargetLength || !isValidUtf16(credential.target)
        || credential.target.find(u'\0') != std::u16string::npos || credential.user.find(u'\0') != std::u16string::npos
        || credential.blob.size() > 0xFFFFFF)
        return fail(kErrorInvalidParameter);
    std::vector<uint8_t> record = serialize(credential);
    auto sealed = DataProtection::protect(record.data(), record.size(), credential.target, kEntropy);
    wipe(record);
    if (!sealed)
        return fail(lastError());
    RegistryKey key = RegistryKey::create(subkeyFor(credential.target, credential.type));
    if (!key || !key.setValue(kRecordValue, kRegBinary, sealed->data(), sealed->size()))
        return fail(lastError());
    setLastError(kErrorSuccess);
    return kErrorSuccess;
}

uint32_t CredStoreDelete(std::u16string_view target, uint32_t type)
{
    if (!RegistryKey::deleteKey(subkeyFor(target, type)))
        return fail(lastError() == kErrorFileNotFound ? kErrorNotFound : lastError());
    setLastError(kErrorSuccess);
    return kErrorSuccess;
}

uint32_t CredStoreEnumerate(std::vector<CredStoreCredential>& credentials)
{
    credentials.clear();
    RegistryKey store = RegistryKey::open(kCredStoreKey);
    if (!store) {
        if (lastError() == kErrorFileNotFound)
            return kErrorSuccess;
        return fail(lastError());
    }
    for (uint32_t index = 0;; ++index) {
        const auto name = store.subkeyName(index);
        if (!name) {
            if (lastError() == kErrorNoMoreItems)
                break;
            return fail(lastError());
        }
        CredStoreCredential credential;
        if (readRecord(store.openSubkey(*name), credential) == kErrorSuccess)
            credentials.push_back(std::move(credential));
    }
    setLastError(kErrorSuccess);
    return kErrorSuccess;
}

} // namespace platform
