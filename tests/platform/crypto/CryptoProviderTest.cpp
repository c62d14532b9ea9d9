#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/crypto/CryptoProvider.h"
#include "platform/crypto/Random.h"

using namespace platform;

namespace {

std::string hex(const unsigned char* data, size_t length)
{
    static const char digits[] = "0123456789abcdef";
    std::string text;
    for (size_t i = 0; i < length; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

std::vector<unsigned char> bytes(const std::string& hexText)
{
    std::vector<unsigned char> out;
    for (size_t i = 0; i + 1 < hexText.size(); i += 2)
        out.push_back(static_cast<unsigned char>(std::stoi(hexText.substr(i, 2), nullptr, 16)));
    return out;
}

struct DigestCase {
    const char* name;
    std::string message;
    const char* md4;
    const char* md5;
};

} // namespace

TEST(CryptoProviderTest, DigestsMatchPublishedVectors)
{
    const DigestCase cases[] = {
        {"empty", "", "31d6cfe0d16ae931b73c59d7e0c089c0", "d41d8cd98f00b204e9800998ecf8427e"},
        {"abc", "abc", "a448017aaf21d8525fc10ae87aa6729d", "900150983cd24fb0d6963f7d28e17f72"},
        {"alphabet", "abcdefghijklmnopqrstuvwxyz", "d79e1c308aa5bbcdeea8ed63df412da9",
         "c3fcd3d76192e4007dfb496cca67e13b"},
        {"longer than one block",
         "12345678901234567890123456789012345678901234567890123456789012345678901234567890",
         "e33b4ddc9c38f2199c3e7b164fcc0536", "57edf4a22be3c955ac49da2e2107b67a"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Md4Context md4;
        MD4Init(&md4);
        // Chained updates must give the digest of the whole message.
        const size_t half = c.message.size() / 2;
        MD4Update(&md4, c.message.data(), half);
        MD4Update(&md4, c.message.data() + half, c.message.size() - half);
        MD4Final(&md4);
        EXPECT_EQ(hex(md4.digest, 16), c.md4);

        Md5Context md5;
        MD5Init(&md5);
        MD5Update(&md5, c.message.data(), half);
        MD5Update(&md5, c.message.data() + half, c.message.size() - half);
        MD5Final(&md5);
        EXPECT_EQ(hex(md5.digest, 16), c.md5);
    }
}

TEST(CryptoProviderTest, HmacMd5MatchesRfc2104AndChainsUpdates)
{
    const auto key = bytes("0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b0b");
    HmacMd5Context context;
    HMACMD5Init(&context, key.data(), key.size());
    HMACMD5Update(&context, "Hi ", 3);
    HMACMD5Update(&context, "There", 5);
    unsigned char out[16];
    HMACMD5Final(&context, out);
    EXPECT_EQ(hex(out, 16), "9294727a3638bb1c13f48ef8158bfc9d");

    const auto key2 = bytes("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa");
    std::vector<unsigned char> data(50, 0xdd);
    HMACMD5Init(&context, key2.data(), key2.size());
    HMACMD5Update(&context, data.data(), data.size());
    HMACMD5Final(&context, out);
    EXPECT_EQ(hex(out, 16), "56be34521d144c88dbb8c733f0e8b3f6");
}

TEST(CryptoProviderTest, Rc4ContinuesOneKeyStreamAcrossCalls)
{
    Rc4KeyState state;
    rc4_key(&state, 3, "Key");
    unsigned char text[] = {'P', 'l', 'a', 'i', 'n', 't', 'e', 'x', 't'};
    rc4(&state, 4, text);
    rc4(&state, sizeof(text) - 4, text + 4);
    EXPECT_EQ(hex(text, sizeof(text)), "bbf316e8d940af0ad3");

    // A fresh state with the same key deciphers it.
    rc4_key(&state, 3, "Key");
    rc4(&state, sizeof(text), text);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(text), sizeof(text)), "Plaintext");
}

TEST(CryptoProviderTest, DesEcbLmEnciphersWithSevenByteKeysIncludingWeakOnes)
{
    struct Case {
        const char* name;
        const char* key7;
        const char* input;
        const char* expected;
    };
    const Case cases[] = {
        // The all-zero key is weak; the LM hash of the empty password depends on it.
        {"weak all-zero key", "00000000000000", "4b47532140232425", "aad3b435b51404ee"},
        {"first half of the LM hash of Password", "50415353574f52", "4b47532140232425",
         "e52cac67419a9a22"},
        {"second half of the LM hash of Password", "44000000000000", "4b47532140232425",
         "4a3b108f3fa6cb6d"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto key = bytes(c.key7);
        const auto input = bytes(c.input);
        unsigned char out[8] = {};
        EXPECT_EQ(DES_ECB_LM(kDesEncrypt, key.data(), input.data(), out), 0u);
        EXPECT_EQ(hex(out, 8), c.expected);
    }
}

TEST(CryptoProviderTest, DesEcbLmRefusesOtherOperations)
{
    const unsigned char key[7] = {}, input[8] = {};
    unsigned char out[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_NE(DES_ECB_LM(0, key, input, out), 0u);
    EXPECT_NE(DES_ECB_LM(2, key, input, out), 0u);
    EXPECT_NE(DES_ECB_LM(kDesEncrypt, nullptr, input, out), 0u);
}

TEST(CryptoProviderTest, RandomBytesFillWholeBuffersAndDiffer)
{
    std::vector<unsigned char> first(4096, 0), second(4096, 0);
    ASSERT_TRUE(randomBytes(first.data(), first.size()));
    ASSERT_TRUE(randomBytes(second.data(), second.size()));
    EXPECT_NE(first, second);
    EXPECT_NE(std::vector<unsigned char>(first.end() - 16, first.end()), std::vector<unsigned char>(16, 0));
    EXPECT_TRUE(randomBytes(nullptr, 0));
}

TEST(CryptoProviderTest, SecureWipeZeroes)
{
    unsigned char secret[16];
    std::memset(secret, 0x5a, sizeof(secret));
    secureWipe(secret, sizeof(secret));
    EXPECT_EQ(hex(secret, 16), std::string(32, '0'));
}
