#include "platform/protect/DataProtection.h"

#include "platform/crypto/Random.h"

#include "platform/DeviceRoot.h"
#include "platform/Error.h"

#include <array>
#include <cerrno>
#include <cstring>
#include <string.h>
#include <fcntl.h>
#include <mutex>
#include <nettle/gcm.h>
#include <nettle/memops.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

namespace {

// Blob layout, little-endian: magic "DPB1", 12-byte nonce, u32 description size in bytes,
// description (UTF-16LE), sealed data, 16-byte tag.
constexpr uint8_t kMagic[4] = {'D', 'P', 'B', '1'};
constexpr size_t kNonceSize = GCM_IV_SIZE;
constexpr size_t kTagSize = GCM_DIGEST_SIZE;
constexpr size_t kHeaderSize = sizeof kMagic + kNonceSize + 4;
constexpr size_t kKeySize = 32;

using MachineKey = std::array<uint8_t, kKeySize>;

bool readKeyFile(const std::string& path, MachineKey& key)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return failWithErrno(errno);
    size_t have = 0;
    while (have < kKeySize) {
        const ssize_t got = ::read(fd, key.data() + have, kKeySize - have);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        have += size_t(got);
    }
    uint8_t extra;
    const bool exact = have == kKeySize && ::read(fd, &extra, 1) == 0;
    ::close(fd);
    if (!exact) {
        setLastError(kErrorInvalidData);
        return false;
    }
    return true;
}

// A new key is written in full under a private name and then linked into place, so that
// processes racing to create it all end up with the one that won and none sees half a key.
bool createKeyFile(const std::string& path)
{
    MachineKey key;
    if (!randomBytes(key.data(), key.size()))
        return false;
    std::array<uint8_t, 8> suffix;
    if (!randomBytes(suffix.data(), suffix.size()))
        return false;
    std::string temporary = path + ".";
    for (uint8_t b : suffix)
        temporary += "0123456789abcdef"[b & 0xF];
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0)
        return failWithErrno(errno);
    ::fchmod(fd, 0600);
    const bool written = ::write(fd, key.data(), key.size()) == ssize_t(key.size()) && ::fsync(fd) == 0;
    const int writeErrno = errno;
    ::close(fd);
    ::explicit_bzero(key.data(), key.size());
    if (!written) {
        ::unlink(temporary.c_str());
        return failWithErrno(writeErrno);
    }
    const bool linked = ::link(temporary.c_str(), path.c_str()) == 0 || errno == EEXIST;
    const int linkErrno = errno;
    ::unlink(temporary.c_str());
    return linked || failWithErrno(linkErrno);
}

std::mutex g_keyLock;
std::string g_keyPath; // Guarded by g_keyLock.
MachineKey g_key{};    // Guarded by g_keyLock.

bool machineKey(MachineKey& key)
{
    const std::string path = DeviceRoot::stateFolder() + "/" + std::string(DataProtection::kMachineKeyFile);
    std::lock_guard guard(g_keyLock);
    if (g_keyPath != path) {
        MachineKey loaded;
        if (!readKeyFile(path, loaded)) {
            if (lastError() != kErrorFileNotFound || !createKeyFile(path) || !readKeyFile(path, loaded))
                return false;
        }
        g_key = loaded;
        g_keyPath = path;
    }
    key = g_key;
    return true;
}

void putU32(uint8_t* out, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        out[i] = uint8_t(value >> (8 * i));
}

uint32_t getU32(const uint8_t* in) { return in[0] | (in[1] << 8) | (in[2] << 16) | (uint32_t(in[3]) << 24); }

// Everything before the sealed data, and the entropy, is authenticated.
void start(gcm_aes256_ctx& context, const MachineKey& key, const uint8_t* header, size_t headerSize,
           std::string_view entropy)
{
    gcm_aes256_set_key(&context, key.data());
    gcm_aes256_set_iv(&context, kNonceSize, header + sizeof kMagic);
    uint8_t entropySize[4];
    putU32(entropySize, static_cast<uint32_t>(entropy.size()));
    // GCM takes associated data in whole blocks until the last piece, so it goes in as one run.
    std::vector<uint8_t> associated(header, header + headerSize);
    associated.insert(associated.end(), entropySize, entropySize + 4);
    associated.insert(associated.end(), entropy.begin(), entropy.end());
    gcm_aes256_update(&context, associated.size(), associated.data());
}

} // namespace

std::optional<std::vector<uint8_t>> DataProtection::protect(const void* data, size_t size,
                                                            std::u16string_view description, std::string_view entropy)
{
    if ((size && !data) || size > 0x7FFFFFFF || description.size() > 0x3FFFFFFF || entropy.size() > 0xFFFFFFFF) {
        setLastError(kErrorInvalidParameter);
        return std::nullopt;
    }
    MachineKey key;
    if (!machineKey(key))
        return std::nullopt;
    const size_t headerSize = kHeaderSize + description.size() * 2;
    std::vector<uint8_t> blob(headerSize + size + kTagSize);
    std::memcpy(blob.data(), kMagic, sizeof kMagic);
    if (!randomBytes(blob.data() + sizeof kMagic, kNonceSize))
        return std::nullopt;
    putU32(blob.data() + sizeof kMagic + kNonceSize, static_cast<uint32_t>(description.size() * 2));
    uint8_t* text = blob.data() + kHeaderSize;
    for (char16_t unit : description) {
        *text++ = uint8_t(unit);
        *text++ = uint8_t(unit >> 8);
    }
    gcm_aes256_ctx context;
    start(context, key, blob.data(), headerSize, entropy);
    if (size)
        gcm_aes256_encrypt(&context, size, blob.data() + headerSize, static_cast<const uint8_t*>(data));
    gcm_aes256_digest(&context, kTagSize, blob.data() + headerSize + size);
    ::explicit_bzero(&context, sizeof context);
    ::explicit_bzero(key.data(), key.size());
    setLastError(kErrorSuccess);
    return blob;
}

std::optional<UnprotectedData> DataProtection::unprotect(const void* blob, size_t size, std::string_view entropy)
{
    if (!blob && size) {
        setLastError(kErrorInvalidParameter);
        return std::nullopt;
    }
    const auto* bytes = static_cast<const uint8_t*>(blob);
    if (size < kHeaderSize + kTagSize || std::memcmp(bytes, kMagic, sizeof kMagic) != 0) {
        setLastError(kErrorInvalidData);
        return std::nullopt;
    }
    const uint32_t descriptionSize = getU32(bytes + sizeof kMagic + kNonceSize);
    if (descriptionSize % 2 != 0 || descriptionSize > size - kHeaderSize - kTagSize) {
        setLastError(kErrorInvalidData);
        return std::nullopt;
    }
    MachineKey key;
    if (!machineKey(key))
        return std::nullopt;
    const size_t headerSize = kHeaderSize + descriptionSize;
    const size_t sealedSize = size - headerSize - kTagSize;
    UnprotectedData result;
    result.data.resize(sealedSize);
    gcm_aes256_ctx context;
    start(context, key, bytes, headerSize, entropy);
    if (sealedSize)
        gcm_aes256_decrypt(&context, sealedSize, result.data.data(), bytes + headerSize);
    uint8_t tag[kTagSize];
    gcm_aes256_digest(&context, kTagSize, tag);
    ::explicit_bzero(&context, sizeof context);
    ::explicit_bzero(key.data(), key.size());
    if (!nettle_memeql_sec(tag, bytes + headerSize + sealedSize, kTagSize)) {
        if (!result.data.empty())
            ::explicit_bzero(result.data.data(), result.data.size());
        setLastError(kErrorInvalidData);
        return std::nullopt;
    }
    for (size_t i = 0; i < descriptionSize; i += 2)
        result.description.push_back(char16_t(bytes[kHeaderSize + i] | (bytes[kHeaderSize + i + 1] << 8)));
    setLastError(kErrorSuccess);
    return result;
}

} // namespace platform
