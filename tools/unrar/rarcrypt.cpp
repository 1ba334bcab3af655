#include "tools/unrar/rarcrypt.h"

#include <algorithm>
#include <cstring>
#include <mbedtls/aes.h>
#include <mbedtls/md.h>
#include <mbedtls/platform_util.h>
#include <mbedtls/sha1.h>
#include <mbedtls/sha256.h>

namespace {

// UTF-16LE of a UTF-8 password; a byte that starts no valid sequence stands for itself
// (Latin-1), so no password is refused.
std::string Utf16Le(const std::string& utf8) {
    std::string out;
    auto put = [&out](uint32_t unit) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    };
    const auto* s = reinterpret_cast<const unsigned char*>(utf8.data());
    const size_t n = utf8.size();
    for (size_t i = 0; i < n;) {
        uint32_t c = s[i];
        size_t extra = c >= 0xF0 && c < 0xF5   ? 3
                       : c >= 0xE0 && c < 0xF0 ? 2
                       : c >= 0xC2 && c < 0xE0 ? 1
                                               : 0;
        bool valid = extra > 0 && i + extra < n;
        for (size_t k = 1; valid && k <= extra; ++k)
            valid = i + k < n && (s[i + k] & 0xC0) == 0x80;
        if (!valid) {
            put(c);
            ++i;
            continue;
        }
        c &= 0x3F >> extra;
        for (size_t k = 1; k <= extra; ++k)
            c = (c << 6) | (s[i + k] & 0x3F);
        i += extra + 1;
        if (c >= 0x10000) {
            c -= 0x10000;
            put(0xD800 + (c >> 10));
            put(0xDC00 + (c & 0x3FF));
        } else {
            put(c);
        }
    }
    return out;
}

void Hmac(const mbedtls_md_info_t* sha256, const unsigned char* key, size_t keySize,
          const unsigned char* data, size_t size, unsigned char* out) {
    mbedtls_md_hmac(sha256, key, keySize, data, size, out);
}

} // namespace

Rar3Key DeriveRar3Key(const std::string& password, const std::string& salt) {
    // SHA-1 over 0x40000 rounds of (password, salt, round number in 3 bytes); every 0x4000th
    // round gives a byte of the IV, the final digest the key (its words little-endian).
    const std::string raw = Utf16Le(password) + salt;
    constexpr uint32_t kRounds = 0x40000;
    Rar3Key result;
    mbedtls_sha1_context sha;
    mbedtls_sha1_init(&sha);
    mbedtls_sha1_starts_ret(&sha);
    unsigned char digest[20];
    for (uint32_t i = 0; i < kRounds; ++i) {
        mbedtls_sha1_update_ret(&sha, reinterpret_cast<const unsigned char*>(raw.data()),
                                raw.size());
        const unsigned char number[3] = {static_cast<unsigned char>(i),
                                         static_cast<unsigned char>(i >> 8),
                                         static_cast<unsigned char>(i >> 16)};
        mbedtls_sha1_update_ret(&sha, number, sizeof number);
        if (i % (kRounds / 16) == 0) {
            mbedtls_sha1_context copy;
            mbedtls_sha1_init(&copy);
            mbedtls_sha1_clone(&copy, &sha);
            mbedtls_sha1_finish_ret(&copy, digest);
            mbedtls_sha1_free(&copy);
            result.iv[i / (kRounds / 16)] = digest[19];
        }
    }
    mbedtls_sha1_finish_ret(&sha, digest);
    mbedtls_sha1_free(&sha);
    for (size_t word = 0; word < 4; ++word)
        for (size_t byte = 0; byte < 4; ++byte)
            result.key[word * 4 + byte] = digest[word * 4 + 3 - byte];
    mbedtls_platform_zeroize(digest, sizeof digest);
    return result;
}

Rar5Keys DeriveRar5Keys(const std::string& password, const std::string& salt, unsigned lg2Count) {
    // PBKDF2-HMAC-SHA256 of one block: after 2^lg2Count rounds the key, 16 rounds on the
    // checksum key, 16 more the value the password check is folded from.
    const mbedtls_md_info_t* sha256 = mbedtls_md_info_from_type(MBEDTLS_MD_SHA256);
    const auto* pw = reinterpret_cast<const unsigned char*>(password.data());
    mbedtls_md_context_t md;
    mbedtls_md_init(&md);
    mbedtls_md_setup(&md, sha256, 1);
    mbedtls_md_hmac_starts(&md, pw, password.size());
    std::string first = salt + std::string("\0\0\0\1", 4);
    unsigned char u[32], f[32];
    mbedtls_md_hmac_update(&md, reinterpret_cast<const unsigned char*>(first.data()), first.size());
    mbedtls_md_hmac_finish(&md, u);
    std::memcpy(f, u, sizeof f);
    Rar5Keys keys;
    unsigned char v2[32];
    const uint64_t counts[3] = {(uint64_t(1) << lg2Count) - 1, 16, 16};
    unsigned char* outputs[3] = {keys.key.data(), keys.hashKey.data(), v2};
    for (int stage = 0; stage < 3; ++stage) {
        for (uint64_t round = 0; round < counts[stage]; ++round) {
            mbedtls_md_hmac_reset(&md);
            mbedtls_md_hmac_update(&md, u, sizeof u);
            mbedtls_md_hmac_finish(&md, u);
            for (size_t k = 0; k < sizeof f; ++k)
                f[k] ^= u[k];
        }
        std::memcpy(outputs[stage], f, sizeof f);
    }
    mbedtls_md_free(&md);
    for (size_t i = 0; i < sizeof v2; ++i)
        keys.check[i % keys.check.size()] ^= v2[i];
    mbedtls_platform_zeroize(u, sizeof u);
    mbedtls_platform_zeroize(f, sizeof f);
    mbedtls_platform_zeroize(v2, sizeof v2);
    return keys;
}

uint32_t Rar5KeyedCrc(uint32_t crc, const std::array<unsigned char, 32>& hashKey) {
    const unsigned char raw[4] = {
        static_cast<unsigned char>(crc), static_cast<unsigned char>(crc >> 8),
        static_cast<unsigned char>(crc >> 16), static_cast<unsigned char>(crc >> 24)};
    unsigned char digest[32];
    Hmac(mbedtls_md_info_from_type(MBEDTLS_MD_SHA256), hashKey.data(), hashKey.size(), raw,
         sizeof raw, digest);
    uint32_t keyed = 0;
    for (size_t i = 0; i < sizeof digest; ++i)
        keyed ^= uint32_t(digest[i]) << ((i & 3) * 8);
    return keyed;
}

std::array<unsigned char, 32> Rar5KeyedBlake2(const std::array<unsigned char, 32>& digest,
                                              const std::array<unsigned char, 32>& hashKey) {
    std::array<unsigned char, 32> keyed{};
    Hmac(mbedtls_md_info_from_type(MBEDTLS_MD_SHA256), hashKey.data(), hashKey.size(),
         digest.data(), digest.size(), keyed.data());
    return keyed;
}

bool Rar5CheckValueIntact(const unsigned char* value12) {
    unsigned char sum[32];
    mbedtls_sha256_ret(value12, 8, sum, 0);
    return std::memcmp(sum, value12 + 8, 4) == 0;
}

const Rar3Key& RarKeys::Rar3(const std::string& salt) {
    auto it = rar3_.find(salt);
    if (it == rar3_.end())
        it = rar3_.emplace(salt, DeriveRar3Key(password_, salt)).first;
    return it->second;
}

const Rar5Keys& RarKeys::Rar5(const std::string& salt, unsigned lg2Count) {
    std::string id = salt + char(lg2Count);
    auto it = rar5_.find(id);
    if (it == rar5_.end())
        it = rar5_.emplace(id, DeriveRar5Keys(password_, salt, lg2Count)).first;
    return it->second;
}

struct CbcStream::Impl {
    mbedtls_aes_context aes;
    unsigned char iv[kAesBlock];
    int mode;
};

CbcStream::CbcStream(const unsigned char* key, size_t keyBytes, const unsigned char* iv,
                     bool decrypt)
    : impl_(std::make_unique<Impl>()) {
    mbedtls_aes_init(&impl_->aes);
    const unsigned bits = static_cast<unsigned>(keyBytes * 8);
    if (decrypt)
        mbedtls_aes_setkey_dec(&impl_->aes, key, bits);
    else
        mbedtls_aes_setkey_enc(&impl_->aes, key, bits);
    std::memcpy(impl_->iv, iv, kAesBlock);
    impl_->mode = decrypt ? MBEDTLS_AES_DECRYPT : MBEDTLS_AES_ENCRYPT;
}

CbcStream::~CbcStream() {
    mbedtls_aes_free(&impl_->aes);
}

void CbcStream::Feed(const char* data, size_t size, std::string* out) {
    const char* end = data + size;
    if (!pending_.empty()) {
        size_t take = std::min<size_t>(kAesBlock - pending_.size(), size);
        pending_.append(data, take);
        data += take;
        if (pending_.size() < kAesBlock)
            return;
        size_t at = out->size();
        out->resize(at + kAesBlock);
        mbedtls_aes_crypt_cbc(&impl_->aes, impl_->mode, kAesBlock, impl_->iv,
                              reinterpret_cast<const unsigned char*>(pending_.data()),
                              reinterpret_cast<unsigned char*>(out->data() + at));
        pending_.clear();
    }
    size_t whole = size_t(end - data) / kAesBlock * kAesBlock;
    if (whole > 0) {
        size_t at = out->size();
        out->resize(at + whole);
        mbedtls_aes_crypt_cbc(&impl_->aes, impl_->mode, whole, impl_->iv,
                              reinterpret_cast<const unsigned char*>(data),
                              reinterpret_cast<unsigned char*>(out->data() + at));
        data += whole;
    }
    pending_.append(data, size_t(end - data));
}
