#include "platform/crypto/CryptoProvider.h"

#include <cstring>
#include <nettle/arcfour.h>
#include <nettle/des.h>
#include <nettle/hmac.h>
#include <nettle/md4.h>
#include <nettle/md5.h>

namespace platform {

static_assert(sizeof(md4_ctx) <= sizeof(Md4Context::state) && alignof(md4_ctx) <= 8);
static_assert(sizeof(md5_ctx) <= sizeof(Md5Context::state) && alignof(md5_ctx) <= 8);
static_assert(sizeof(hmac_md5_ctx) <= sizeof(HmacMd5Context::state) && alignof(hmac_md5_ctx) <= 8);
static_assert(sizeof(arcfour_ctx) <= sizeof(Rc4KeyState::state) && alignof(arcfour_ctx) == 1);

namespace {

template <class T> T* as(unsigned char* storage) { return reinterpret_cast<T*>(storage); }

} // namespace

void MD4Init(Md4Context* context) { md4_init(as<md4_ctx>(context->state)); }

void MD4Update(Md4Context* context, const void* data, size_t length)
{
    md4_update(as<md4_ctx>(context->state), length, static_cast<const uint8_t*>(data));
}

void MD4Final(Md4Context* context)
{
    md4_digest(as<md4_ctx>(context->state), sizeof(context->digest), context->digest);
}

void MD5Init(Md5Context* context) { md5_init(as<md5_ctx>(context->state)); }

void MD5Update(Md5Context* context, const void* data, size_t length)
{
    md5_update(as<md5_ctx>(context->state), length, static_cast<const uint8_t*>(data));
}

void MD5Final(Md5Context* context)
{
    md5_digest(as<md5_ctx>(context->state), sizeof(context->digest), context->digest);
}

void HMACMD5Init(HmacMd5Context* context, const void* key, size_t keyLength)
{
    hmac_md5_set_key(as<hmac_md5_ctx>(context->state), keyLength, static_cast<const uint8_t*>(key));
}

void HMACMD5Update(HmacMd5Context* context, const void* data, size_t length)
{
    hmac_md5_update(as<hmac_md5_ctx>(context->state), length, static_cast<const uint8_t*>(data));
}

void HMACMD5Final(HmacMd5Context* context, unsigned char* output)
{
    hmac_md5_digest(as<hmac_md5_ctx>(context->state), MD5_DIGEST_SIZE, output);
}

void rc4_key(Rc4KeyState* state, size_t keyLength, const void* key)
{
    arcfour_set_key(as<arcfour_ctx>(state->state), keyLength, static_cast<const uint8_t*>(key));
}

void rc4(Rc4KeyState* state, size_t length, void* data)
{
    auto* bytes = static_cast<uint8_t*>(data);
    arcfour_crypt(as<arcfour_ctx>(state->state), length, bytes, bytes);
}

uint32_t DES_ECB_LM(uint32_t operation, const unsigned char* key7, const unsigned char* input8,
                    unsigned char* output8)
{
    if (operation != kDesEncrypt || !key7 || !input8 || !output8)
        return 1;
    // Spread the 56 key bits over the high seven bits of eight bytes; the low bit is parity.
    uint8_t key[8];
    key[0] = key7[0];
    key[1] = static_cast<uint8_t>(key7[0] << 7 | key7[1] >> 1);
    key[2] = static_cast<uint8_t>(key7[1] << 6 | key7[2] >> 2);
    key[3] = static_cast<uint8_t>(key7[2] << 5 | key7[3] >> 3);
    key[4] = static_cast<uint8_t>(key7[3] << 4 | key7[4] >> 4);
    key[5] = static_cast<uint8_t>(key7[4] << 3 | key7[5] >> 5);
    key[6] = static_cast<uint8_t>(key7[5] << 2 | key7[6] >> 6);
    key[7] = static_cast<uint8_t>(key7[6] << 1);
    des_fix_parity(sizeof(key), key, key);
    des_ctx context;
    // Nettle reports weak keys but schedules them all the same; LM needs them (the empty
    // password's halves are the all-zero key).
    (void)des_set_key(&context, key);
    des_encrypt(&context, DES_BLOCK_SIZE, output8, input8);
    secureWipe(&context, sizeof(context));
    secureWipe(key, sizeof(key));
    return 0;
}

void secureWipe(void* data, size_t length)
{
    if (!data || length == 0)
        return;
    std::memset(data, 0, length);
    // Tells the optimiser the zeros are observed, so the store stays.
    __asm__ __volatile__("" : : "r"(data) : "memory");
}

} // namespace platform
