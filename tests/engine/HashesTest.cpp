#include <gtest/gtest.h>

#include "engine/CredentialBlob.h"
#include "engine/Hashes.h"
#include "platform/TextCase.h"
#include "platform/crypto/CryptoProvider.h"
#include "tests/engine/EngineTestSupport.h"

using namespace Ntlm;
using enginetest::bytes;
using enginetest::hex;

namespace {

const Challenge8 kServerChallenge = {0x01, 0x23, 0x45, 0x67, 0x89, 0xab, 0xcd, 0xef};

std::vector<uint8_t> avPair(uint16_t id, const std::vector<uint8_t>& value)
{
    std::vector<uint8_t> out(4 + value.size());
    out[0] = static_cast<uint8_t>(id);
    out[1] = static_cast<uint8_t>(id >> 8);
    out[2] = static_cast<uint8_t>(value.size());
    out[3] = static_cast<uint8_t>(value.size() >> 8);
    std::copy(value.begin(), value.end(), out.begin() + 4);
    return out;
}

std::vector<uint8_t> utf16(std::u16string_view text)
{
    std::vector<uint8_t> out;
    for (char16_t c : text) {
        out.push_back(static_cast<uint8_t>(c));
        out.push_back(static_cast<uint8_t>(c >> 8));
    }
    return out;
}

// The target information of the protocol's worked example: domain "Domain", server "Server".
std::vector<uint8_t> exampleTargetInfo()
{
    auto info = avPair(MsvAvNbDomainName, utf16(u"Domain"));
    auto server = avPair(MsvAvNbComputerName, utf16(u"Server"));
    info.insert(info.end(), server.begin(), server.end());
    info.insert(info.end(), {0, 0, 0, 0});
    return info;
}

} // namespace

// The published worked example: user "User", domain "Domain", password "Password", server
// challenge 0123456789abcdef, client challenge aa..aa, time 0.
TEST(HashesTest, PublishedExampleValues)
{
    enginetest::FixedEntropy entropy;
    const Hash16 lm = *LmHash(std::u16string_view(u"Password"));
    const Hash16 nt = NtHash(std::u16string_view(u"Password"));
    ClientResponses v2 = BuildNtlmV2Response(nt, u"User", u"Domain", exampleTargetInfo(), kServerChallenge, {});
    ClientResponses lmv2 = BuildNtlmV2Response(nt, u"User", u"Domain", exampleTargetInfo(), kServerChallenge,
                                               {.sendLmResponse = true});
    Hash16 ntSessionKeyV1{};
    {
        platform::Md4Context md4;
        platform::MD4Init(&md4);
        platform::MD4Update(&md4, nt.data(), nt.size());
        platform::MD4Final(&md4);
        std::copy(md4.digest, md4.digest + 16, ntSessionKeyV1.begin());
    }

    struct Case {
        const char* name;
        std::string actual;
        const char* expected;
    };
    const Case cases[] = {
        {"LM hash", hex(lm), "e52cac67419a9a224a3b108f3fa6cb6d"},
        {"NT hash", hex(nt), "a4f49c406510bdcab6824ee7c30fd852"},
        {"NTLMv1 session base key", hex(ntSessionKeyV1), "d87262b0cde4b1cb7499becccdf10784"},
        {"NTLMv1 response", hex(*Desl(nt, kServerChallenge)), "67c43011f30298a2ad35ece64f16331c44bdbed927841f94"},
        {"LM response", hex(*Desl(lm, kServerChallenge)), "98def7b87f88aa5dafe2df779688a172def11c7d5ccdef13"},
        {"NTOWFv2", hex(NtowfV2(nt, u"User", u"Domain")), "0c868a403bfd7a93a3001ef22ef02e3f"},
        {"LMv2 response", hex(lmv2.lmChallengeResponse), "86c35097ac9cec102554764a57cccc19aaaaaaaaaaaaaaaa"},
        {"NTProofStr", hex(v2.ntChallengeResponse.data(), 16), "68cd0ab851e51c96aabc927bebef6a1c"},
        {"NTLMv2 blob",
         hex(v2.ntChallengeResponse.data() + 16, v2.ntChallengeResponse.size() - 16),
         "0101000000000000" "0000000000000000" "aaaaaaaaaaaaaaaa" "00000000"
         "02000c0044006f006d00610069006e00" "01000c005300650072007600650072000000000000000000"},
        {"NTLMv2 session base key", hex(v2.sessionBaseKey), "8de40ccadbc14a82f15cb0ad0de95ca3"},
        {"LMv2 session base key", hex(lmv2.sessionBaseKey), "8de40ccadbc14a82f15cb0ad0de95ca3"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.actual, c.expected);
    }
    // Without SendLmResponse the LM slot is zeros; with it the NT response is left out.
    EXPECT_EQ(v2.lmChallengeResponse, std::vector<uint8_t>(24, 0));
    EXPECT_TRUE(lmv2.ntChallengeResponse.empty());
}

TEST(HashesTest, LmHashRules)
{
    struct Case {
        const char* name;
        std::string a;
        std::string b;
        bool same;
    };
    const Case cases[] = {
        {"ASCII case does not matter", "password", "PASSWORD", true},
        {"only the first 14 characters count", "abcdefghijklmnXYZ", "ABCDEFGHIJKLMN", true},
        {"the 14th character counts", "abcdefghijklmn", "abcdefghijklmo", false},
        {"non-ASCII letters are not upper-cased", "\xe9t\xe9", "\xc9T\xc9", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(*LmHash(std::string_view(c.a)) == *LmHash(std::string_view(c.b)), c.same);
    }
    EXPECT_EQ(hex(*LmHash(std::string_view(""))), "aad3b435b51404eeaad3b435b51404ee");
    // A UTF-16 password is converted with the system code page, so both forms agree.
    EXPECT_EQ(*LmHash(std::u16string_view(u"p\u00e4ss")), *LmHash(std::string_view("p\xe4ss")));
    // Of a UTF-16 password only the first 16 units are converted: a malformed 17th is ignored.
    std::u16string longWithBadTail = u"abcdefghijklmnop";
    longWithBadTail += char16_t(0xD800);
    EXPECT_TRUE(LmHash(std::u16string_view(longWithBadTail)).has_value());
    std::u16string badEarly = u"ab";
    badEarly += char16_t(0xDC00);
    EXPECT_FALSE(LmHash(std::u16string_view(badEarly)).has_value());
}

TEST(HashesTest, NtHashOfEmptyAndNarrowPasswords)
{
    EXPECT_EQ(hex(NtHash(std::u16string_view())), "31d6cfe0d16ae931b73c59d7e0c089c0");
    EXPECT_EQ(NtHash(std::string_view("p\xe4ss")), NtHash(std::u16string_view(u"p\u00e4ss")));
    // Case counts for the NT hash.
    EXPECT_NE(NtHash(std::u16string_view(u"password")), NtHash(std::u16string_view(u"PASSWORD")));
}

TEST(HashesTest, NtowfV2UpperCasesTheUserOnly)
{
    const Hash16 nt = NtHash(std::u16string_view(u"Password"));
    EXPECT_EQ(NtowfV2(nt, u"user", u"Domain"), NtowfV2(nt, u"USER", u"Domain"));
    EXPECT_NE(NtowfV2(nt, u"User", u"domain"), NtowfV2(nt, u"User", u"Domain"));
    EXPECT_EQ(platform::upperCase(u"j\u00f6rg\u0101"), u"J\u00d6RG\u0100");
    // An empty domain puts only the user name into the HMAC.
    EXPECT_NE(NtowfV2(nt, u"User", u""), NtowfV2(nt, u"User", u"Domain"));
}

TEST(HashesTest, TimeStampAndLmv2Choice)
{
    enginetest::FixedEntropy entropy(0xaa, 0x0102030405060708ULL);
    const Hash16 nt = NtHash(std::u16string_view(u"Password"));
    auto withStamp = avPair(MsvAvTimestamp, bytes("1122334455667788"));
    withStamp.insert(withStamp.end(), {0, 0, 0, 0});
    const auto without = exampleTargetInfo();

    struct Case {
        const char* name;
        const std::vector<uint8_t>* info;
        NtlmV2Options options;
        const char* timeStamp;
        bool lmv2;
    };
    const Case cases[] = {
        {"no time stamp pair: current time", &without, {}, "0807060504030201", false},
        {"time stamp pair is copied", &withStamp, {}, "1122334455667788", false},
        {"suppressed bindings without time stamp send LMv2", &without, {false, true}, "0807060504030201", true},
        {"suppressed bindings with time stamp do not", &withStamp, {false, true}, "1122334455667788", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto r = BuildNtlmV2Response(nt, u"User", u"Domain", *c.info, kServerChallenge, c.options);
        ASSERT_EQ(r.ntChallengeResponse.size(), 48 + c.info->size());
        EXPECT_EQ(hex(r.ntChallengeResponse.data() + 24, 8), c.timeStamp);
        ASSERT_EQ(r.lmChallengeResponse.size(), 24u);
        EXPECT_EQ(r.lmChallengeResponse == std::vector<uint8_t>(24, 0), !c.lmv2);
    }
}

TEST(HashesTest, FailedClientChallengeDrawLeavesZeros)
{
    EntropySeam seam;
    seam.providerRandom = [](uint8_t*, size_t) { return false; };
    setEntropySeam(seam);
    const auto r = BuildNtlmV2Response(NtHash(std::u16string_view(u"x")), u"u", u"", exampleTargetInfo(),
                                       kServerChallenge, {});
    resetEntropySeam();
    EXPECT_EQ(hex(r.ntChallengeResponse.data() + 32, 8), "0000000000000000");
}

TEST(HashesTest, MissingHashesFailTheirPath)
{
    ClientResponses out;
    EXPECT_EQ(BuildLmResponse(std::nullopt, kServerChallenge, &out), SEC_E_NO_CREDENTIALS);
    EXPECT_EQ(BuildNtlmV2Responses(std::nullopt, u"u", u"d", {}, kServerChallenge, {}, &out), SEC_E_NO_CREDENTIALS);

    ASSERT_EQ(BuildLmResponse(LmHash(std::string_view("Password")), kServerChallenge, &out), kStatusOk);
    EXPECT_EQ(hex(out.lmChallengeResponse), "98def7b87f88aa5dafe2df779688a172def11c7d5ccdef13");
    EXPECT_TRUE(out.ntChallengeResponse.empty());
    EXPECT_EQ(out.sessionBaseKey, Hash16{});
}

TEST(HashesTest, CredentialBlobLayoutAndContents)
{
    const CredentialBlob withLm = MakeCredentialBlob(u"Password", true);
    const auto raw = withLm.serialize();
    EXPECT_EQ(hex(raw), "0100000001000000" "e52cac67419a9a224a3b108f3fa6cb6d" "a4f49c406510bdcab6824ee7c30fd852");
    const auto parsed = CredentialBlob::parse(raw.data(), raw.size());
    ASSERT_TRUE(parsed);
    EXPECT_EQ(parsed->serialize(), raw);
    EXPECT_FALSE(CredentialBlob::parse(raw.data(), 39));
    std::vector<uint8_t> longer(raw.begin(), raw.end());
    longer.push_back(0);
    EXPECT_FALSE(CredentialBlob::parse(longer.data(), longer.size()));

    const CredentialBlob withoutLm = MakeCredentialBlob(u"Password", false);
    EXPECT_EQ(withoutLm.lmPresent, 0u);
    EXPECT_EQ(withoutLm.lmHash, Hash16{});
    EXPECT_EQ(withoutLm.ntPresent, 1u);
}
