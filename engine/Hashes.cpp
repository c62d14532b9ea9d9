#include "engine/Hashes.h"

#include "platform/TextCase.h"

#include <algorithm>
#include <cstring>

#include "engine/Entropy.h"
#include "platform/Text.h"
#include "platform/crypto/CryptoProvider.h"

namespace Ntlm {

namespace {

constexpr size_t kLmPasswordCharacters = 16;
constexpr size_t kLmKeyBytes = 14;
constexpr unsigned char kLmMagic[8] = {'K', 'G', 'S', '!', '@', '#', '$', '%'};

std::vector<uint8_t> utf16le(std::u16string_view text)
{
    std::vector<uint8_t> bytes;
    bytes.reserve(text.size() * 2);
    for (char16_t unit : text) {
        bytes.push_back(static_cast<uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<uint8_t>(unit >> 8));
    }
    return bytes;
}

void wipe(std::vector<uint8_t>& bytes) { platform::secureWipe(bytes.data(), bytes.size()); }
void wipe(std::string& text) { platform::secureWipe(text.data(), text.size()); }
void wipe(std::u16string& text) { platform::secureWipe(text.data(), text.size() * sizeof(char16_t)); }

uint64_t readU64(const uint8_t* p)
{
    uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

void writeU64(uint8_t* p, uint64_t value)
{
    for (int i = 0; i < 8; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

Hash16 hmacMd5(const Hash16& key, std::initializer_list<std::pair<const uint8_t*, size_t>> parts)
{
    platform::HmacMd5Context context;
    platform::HMACMD5Init(&context, key.data(), key.size());
    for (const auto& [data, length] : parts)
        platform::HMACMD5Update(&context, data, length);
    Hash16 out{};
    platform::HMACMD5Final(&context, out.data());
    platform::secureWipe(&context, sizeof(context));
    return out;
}

} // namespace

std::optional<Hash16> LmHash(std::string_view password)
{
    std::string taken(password.substr(0, std::min(password.size(), kLmPasswordCharacters)));
    for (char& c : taken)
        if (c >= 'a' && c <= 'z')
            c = static_cast<char>(c - 0x20);
    unsigned char key[kLmKeyBytes] = {};
    std::memcpy(key, taken.data(), std::min(taken.size(), kLmKeyBytes));
    wipe(taken);
    Hash16 hash{};
    const bool ok = platform::DES_ECB_LM(platform::kDesEncrypt, key, kLmMagic, hash.data()) == 0
        && platform::DES_ECB_LM(platform::kDesEncrypt, key + 7, kLmMagic, hash.data() + 8) == 0;
    platform::secureWipe(key, sizeof(key));
    if (!ok)
        return std::nullopt;
    return hash;
}

std::optional<Hash16> LmHash(std::u16string_view password)
{
    const auto first = password.substr(0, std::min(password.size(), kLmPasswordCharacters));
    if (!platform::isValidUtf16(first))
        return std::nullopt;
    std::string narrow = platform::narrowFromWide(first, platform::CodePage::Ansi);
    auto hash = LmHash(std::string_view(narrow));
    wipe(narrow);
    return hash;
}

Hash16 NtHash(std::u16string_view password)
{
    auto bytes = utf16le(password);
    platform::Md4Context context;
    platform::MD4Init(&context);
    platform::MD4Update(&context, bytes.data(), bytes.size());
    platform::MD4Final(&context);
    Hash16 hash{};
    std::memcpy(hash.data(), context.digest, hash.size());
    platform::secureWipe(&context, sizeof(context));
    wipe(bytes);
    return hash;
}

Hash16 NtHash(std::string_view password)
{
    std::u16string wide = platform::wideFromNarrow(password, platform::CodePage::Ansi);
    const Hash16 hash = NtHash(std::u16string_view(wide));
    wipe(wide);
    return hash;
}

std::optional<Response24> Desl(const Hash16& hash, const Challenge8& challenge)
{
    unsigned char thirdKey[7] = {hash[14], hash[15], 0, 0, 0, 0, 0};
    Response24 response{};
    const bool ok =
        platform::DES_ECB_LM(platform::kDesEncrypt, hash.data(), challenge.data(), response.data()) == 0
        && platform::DES_ECB_LM(platform::kDesEncrypt, hash.data() + 7, challenge.data(), response.data() + 8) == 0
        && platform::DES_ECB_LM(platform::kDesEncrypt, thirdKey, challenge.data(), response.data() + 16) == 0;
    platform::secureWipe(thirdKey, sizeof(thirdKey));
    if (!ok)
        return std::nullopt;
    return response;
}

Hash16 NtowfV2(const Hash16& ntHash, std::u16string_view user, std::u16string_view domain)
{
    auto userBytes = utf16le(platform::upperCase(user));
    auto domainBytes = utf16le(domain);
    const Hash16 key = hmacMd5(ntHash, {{userBytes.data(), userBytes.size()}, {domainBytes.data(), domainBytes.size()}});
    wipe(userBytes);
    wipe(domainBytes);
    return key;
}

std::optional<std::vector<uint8_t>> findAvPair(const std::vector<uint8_t>& targetInfo, uint16_t id)
{
    size_t offset = 0;
    while (offset + 4 <= targetInfo.size()) {
        const uint16_t pairId = static_cast<uint16_t>(targetInfo[offset] | targetInfo[offset + 1] << 8);
        const uint16_t length = static_cast<uint16_t>(targetInfo[offset + 2] | targetInfo[offset + 3] << 8);
        if (pairId == MsvAvEOL)
            return std::nullopt;
        if (offset + 4 + length > targetInfo.size())
            return std::nullopt;
        if (pairId == id)
            return std::vector<uint8_t>(targetInfo.begin() + offset + 4, targetInfo.begin() + offset + 4 + length);
        offset += 4 + length;
    }
    return std::nullopt;
}

ClientResponses BuildNtlmV2Response(const Hash16& ntHash, std::u16string_view user,
                                    std::u16string_view domain, const std::vector<uint8_t>& targetInfo,
                                    const Challenge8& serverChallenge, const NtlmV2Options& options)
{
    constexpr size_t kHeader = 44;
    std::vector<uint8_t> response(kHeader + targetInfo.size() + 4, 0);
    response[16] = 1; // RespType
    response[17] = 1; // HiRespType

    // A failed draw is not checked: the challenge then stays zero.
    Challenge8 clientChallenge{};
    providerRandom(clientChallenge.data(), clientChallenge.size());
    std::copy(clientChallenge.begin(), clientChallenge.end(), response.begin() + 32);

    const auto timestamp = findAvPair(targetInfo, MsvAvTimestamp);
    const bool hasTimestamp = timestamp && timestamp->size() == 8;
    writeU64(response.data() + 24, hasTimestamp ? readU64(timestamp->data()) : currentFileTime());
    std::copy(targetInfo.begin(), targetInfo.end(), response.begin() + kHeader);

    Hash16 responseKey = NtowfV2(ntHash, user, domain);
    ClientResponses out;
    const Hash16 proof = hmacMd5(responseKey, {{serverChallenge.data(), serverChallenge.size()},
                                               {response.data() + 16, response.size() - 16}});
    std::copy(proof.begin(), proof.end(), response.begin());
    out.sessionBaseKey = hmacMd5(responseKey, {{proof.data(), proof.size()}});

    // The time stamp's presence is what matters here, whatever its length.
    const bool hasTimestampPair = findAvPair(targetInfo, MsvAvTimestamp).has_value();
    if (options.sendLmResponse || (!hasTimestampPair && options.suppressChannelBindingInfo)) {
        const Hash16 lmProof = hmacMd5(responseKey, {{serverChallenge.data(), serverChallenge.size()},
                                                     {clientChallenge.data(), clientChallenge.size()}});
        out.lmChallengeResponse.assign(lmProof.begin(), lmProof.end());
        out.lmChallengeResponse.insert(out.lmChallengeResponse.end(), clientChallenge.begin(), clientChallenge.end());
    } else {
        out.lmChallengeResponse.assign(24, 0);
    }
    if (!options.sendLmResponse)
        out.ntChallengeResponse = std::move(response);
    platform::secureWipe(responseKey.data(), responseKey.size());
    return out;
}

Status BuildNtlmV2Responses(const std::optional<Hash16>& ntHash, std::u16string_view user,
                            std::u16string_view domain, const std::vector<uint8_t>& targetInfo,
                            const Challenge8& serverChallenge, const NtlmV2Options& options,
                            ClientResponses* responses)
{
    if (!ntHash)
        return SEC_E_NO_CREDENTIALS;
    *responses = BuildNtlmV2Response(*ntHash, user, domain, targetInfo, serverChallenge, options);
    return kStatusOk;
}

Status BuildLmResponse(const std::optional<Hash16>& lmHash, const Challenge8& serverChallenge,
                       ClientResponses* responses)
{
    if (!lmHash)
        return SEC_E_NO_CREDENTIALS;
    const auto response = Desl(*lmHash, serverChallenge);
    if (!response)
        return SEC_E_INSUFFICIENT_MEMORY;
    responses->lmChallengeResponse.assign(response->begin(), response->end());
    responses->ntChallengeResponse.clear();
    responses->sessionBaseKey.fill(0);
    return kStatusOk;
}

} // namespace Ntlm
