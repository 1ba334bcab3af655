#pragma once
// The encryption of RAR archives, done here so that no other program has to be given the
// password (its command line is readable by every local user). RAR 2.9-4.x: AES-128-CBC with
// key and IV from SHA-1 over the password (UTF-16LE) and an 8-byte salt. RAR5: AES-256-CBC with
// the key from PBKDF2-HMAC-SHA256, a password check value, and checksums of encrypted files
// keyed by the password (HMAC-SHA256) so that they do not give the contents away.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <string>

constexpr size_t kAesBlock = 16;

struct Rar3Key {
    std::array<unsigned char, 16> key{};
    std::array<unsigned char, 16> iv{};
};
// `salt` is 8 bytes, or empty for an archive written without one. The password is UTF-8.
Rar3Key DeriveRar3Key(const std::string& password, const std::string& salt);

struct Rar5Keys {
    std::array<unsigned char, 32> key{};     // AES-256
    std::array<unsigned char, 32> hashKey{}; // keys the checksums of encrypted files
    std::array<unsigned char, 8> check{};    // compared with the archive's check value
};
// `salt` is 16 bytes; 2^lg2Count rounds (lg2Count at most 24, as RAR itself allows).
Rar5Keys DeriveRar5Keys(const std::string& password, const std::string& salt, unsigned lg2Count);

// The CRC32 and BLAKE2sp an encrypted RAR5 file carries when its checksums are keyed.
uint32_t Rar5KeyedCrc(uint32_t crc, const std::array<unsigned char, 32>& hashKey);
std::array<unsigned char, 32> Rar5KeyedBlake2(const std::array<unsigned char, 32>& digest,
                                              const std::array<unsigned char, 32>& hashKey);
// The 4-byte sum that follows a RAR5 check value: false when the value itself is damaged.
bool Rar5CheckValueIntact(const unsigned char* value12);

// The keys of one password for each salt met: the derivation is slow on purpose, and the
// headers and files of a set share their salts.
class RarKeys {
  public:
    explicit RarKeys(std::string password) : password_(std::move(password)) {}
    const std::string& password() const { return password_; }
    const Rar3Key& Rar3(const std::string& salt);
    const Rar5Keys& Rar5(const std::string& salt, unsigned lg2Count);

  private:
    std::string password_;
    std::map<std::string, Rar3Key> rar3_;
    std::map<std::string, Rar5Keys> rar5_;
};

// AES-CBC over a stream that comes in pieces of any size (the volumes of a set): whole blocks
// are passed through as soon as they are complete, the rest is kept for the next piece.
class CbcStream {
  public:
    // `keyBytes` 16 or 32; `decrypt` false encrypts (the tests' writer of encrypted sets).
    CbcStream(const unsigned char* key, size_t keyBytes, const unsigned char* iv, bool decrypt);
    ~CbcStream();
    CbcStream(const CbcStream&) = delete;
    CbcStream& operator=(const CbcStream&) = delete;
    // Appends the result of the complete blocks of (kept bytes + `data`) to `out`.
    void Feed(const char* data, size_t size, std::string* out);
    // Bytes kept that do not fill a block yet.
    size_t pending() const { return pending_.size(); }

  private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
    std::string pending_;
};
