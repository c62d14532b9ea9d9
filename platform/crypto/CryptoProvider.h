// The cryptographic provider calls of the device platform, by their platform names: MD4, MD5,
// HMAC-MD5, RC4 and the DES encipherment the LM algorithms use. Computed by Nettle.
// The hash and RC4 calls cannot fail; DES_ECB_LM returns 0 on success.
#pragma once

#include <cstddef>
#include <cstdint>

namespace platform {

// Context records hold the library's state in opaque storage; the digest lands in `digest`.
struct Md4Context {
    alignas(8) unsigned char state[96];
    unsigned char digest[16];
};

struct Md5Context {
    alignas(8) unsigned char state[96];
    unsigned char digest[16];
};

struct HmacMd5Context {
    alignas(8) unsigned char state[288];
};

// One RC4 key stream; successive rc4 calls continue it.
struct Rc4KeyState {
    unsigned char state[258];
};

void MD4Init(Md4Context* context);
void MD4Update(Md4Context* context, const void* data, size_t length);
void MD4Final(Md4Context* context);

void MD5Init(Md5Context* context);
void MD5Update(Md5Context* context, const void* data, size_t length);
void MD5Final(Md5Context* context);

void HMACMD5Init(HmacMd5Context* context, const void* key, size_t keyLength);
void HMACMD5Update(HmacMd5Context* context, const void* data, size_t length);
// output receives the 16-byte HMAC-MD5 of the data chained since HMACMD5Init.
void HMACMD5Final(HmacMd5Context* context, unsigned char* output);

void rc4_key(Rc4KeyState* state, size_t keyLength, const void* key);
// Enciphers (or deciphers) data in place.
void rc4(Rc4KeyState* state, size_t length, void* data);

constexpr uint32_t kDesEncrypt = 1;
// DES in ECB mode of one 8-byte block under a 56-bit key given as 7 bytes, weak keys included.
// Only kDesEncrypt is supported; any other operation returns a non-zero failure.
uint32_t DES_ECB_LM(uint32_t operation, const unsigned char* key7, const unsigned char* input8,
                    unsigned char* output8);

// Overwrites memory in a way the compiler cannot drop, for keys and hashes that go away.
void secureWipe(void* data, size_t length);

} // namespace platform
