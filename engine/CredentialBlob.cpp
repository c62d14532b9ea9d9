#include "engine/CredentialBlob.h"

#include <algorithm>

#include "platform/crypto/CryptoProvider.h"

namespace Ntlm {

namespace {

uint32_t readU32(const uint8_t* p) { return p[0] | p[1] << 8 | p[2] << 16 | static_cast<uint32_t>(p[3]) << 24; }

void writeU32(uint8_t* p, uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

} // namespace

std::optional<CredentialBlob> CredentialBlob::parse(const uint8_t* data, size_t size)
{
    if (!data || size != kSize)
        return std::nullopt;
    CredentialBlob blob;
    blob.lmPresent = readU32(data);
    blob.ntPresent = readU32(data + 4);
    std::copy(data + 8, data + 24, blob.lmHash.begin());
    std::copy(data + 24, data + 40, blob.ntHash.begin());
    return blob;
}

std::array<uint8_t, CredentialBlob::kSize> CredentialBlob::serialize() const
{
    std::array<uint8_t, kSize> bytes{};
    writeU32(bytes.data(), lmPresent);
    writeU32(bytes.data() + 4, ntPresent);
    std::copy(lmHash.begin(), lmHash.end(), bytes.begin() + 8);
    std::copy(ntHash.begin(), ntHash.end(), bytes.begin() + 24);
    return bytes;
}

void CredentialBlob::wipe()
{
    platform::secureWipe(lmHash.data(), lmHash.size());
    platform::secureWipe(ntHash.data(), ntHash.size());
}

CredentialBlob MakeCredentialBlob(std::u16string_view password, bool storeLmHash)
{
    CredentialBlob blob;
    if (storeLmHash) {
        if (auto lm = LmHash(password)) {
            blob.lmPresent = 1;
            blob.lmHash = *lm;
            platform::secureWipe(lm->data(), lm->size());
        }
    }
    blob.ntPresent = 1;
    blob.ntHash = NtHash(password);
    return blob;
}

} // namespace Ntlm
