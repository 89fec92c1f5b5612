#pragma once
// Small wrappers over OpenSSL: random bytes, encodings, digests, password hashing, TOTP.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillo::cloud::crypto {

std::string randomBytes(size_t count);           // throws std::runtime_error without entropy
std::string randomToken(size_t byteCount = 32);  // base64url, no padding
std::string randomUuid();                        // version-4, lower case

std::string base64UrlEncode(std::string_view bytes);
std::optional<std::string> base64UrlDecode(std::string_view text);
std::string base32Encode(std::string_view bytes);
std::optional<std::string> base32Decode(std::string_view text);

std::string sha256(std::string_view data);  // raw 32 bytes
std::string sha256Hex(std::string_view data);
std::string hmacSha256(std::string_view key, std::string_view data);
bool constantTimeEquals(std::string_view a, std::string_view b);

// "scrypt$N$r$p$salt$hash", salt and hash base64url.
// N = 2^17 and r = 8: 128 MiB and about half a second per hash, what a stolen database costs an
// attacker per guess.
std::string hashPassword(std::string_view password, uint64_t n = uint64_t{1} << 17);
bool verifyPassword(std::string_view password, std::string_view stored);
// A hash made with less work than N (or other parameters) is redone at the next sign-in.
bool passwordNeedsRehash(std::string_view stored, uint64_t n);

// RFC 6238, SHA-1, 30-second steps, six digits.
std::string totpCode(std::string_view secret, int64_t unixSeconds);
bool verifyTotp(std::string_view secret, std::string_view code, int64_t unixSeconds, int window = 1);
// The time step a code belongs to, so that each step is accepted once.
std::optional<int64_t> totpStep(std::string_view secret, std::string_view code, int64_t unixSeconds, int window = 1);

// HKDF-SHA256 (RFC 5869).
std::string hkdfSha256(std::string_view key, std::string_view salt, std::string_view info, size_t length);
// AES-256-GCM: nonce, ciphertext and tag in one string; open returns nullopt on any tampering.
std::string seal(std::string_view key, std::string_view plaintext);
std::optional<std::string> open(std::string_view key, std::string_view sealed);

bool isLowerUuid(std::string_view text);
bool isUuid(std::string_view text);  // any case
bool isBase64Url(std::string_view text, size_t length);

}  // namespace quillo::cloud::crypto
