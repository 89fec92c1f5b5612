#include "Crypto.h"

#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <openssl/hmac.h>
#include <openssl/kdf.h>
#include <openssl/rand.h>
#include <openssl/sha.h>

#include <cstring>
#include <stdexcept>
#include <vector>

namespace quillo::cloud::crypto {

std::string randomBytes(size_t count)
{
    std::string out(count, '\0');
    if (count && RAND_bytes(reinterpret_cast<unsigned char *>(out.data()), static_cast<int>(count)) != 1)
        throw std::runtime_error("secure random bytes unavailable");
    return out;
}

std::string randomToken(size_t byteCount) { return base64UrlEncode(randomBytes(byteCount)); }

std::string randomUuid()
{
    std::string b = randomBytes(16);
    b[6] = static_cast<char>((b[6] & 0x0f) | 0x40);
    b[8] = static_cast<char>((b[8] & 0x3f) | 0x80);
    static const char *hex = "0123456789abcdef";
    std::string out;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
        out += hex[(static_cast<unsigned char>(b[i]) >> 4) & 0xf];
        out += hex[static_cast<unsigned char>(b[i]) & 0xf];
    }
    return out;
}

std::string base64UrlEncode(std::string_view bytes)
{
    static const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
    std::string out;
    out.reserve((bytes.size() + 2) / 3 * 4);
    size_t i = 0;
    auto byte = [&](size_t k) { return static_cast<unsigned char>(bytes[k]); };
    for (; i + 2 < bytes.size(); i += 3) {
        uint32_t v = (byte(i) << 16) | (byte(i + 1) << 8) | byte(i + 2);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
        out += alphabet[v & 63];
    }
    if (bytes.size() - i == 1) {
        uint32_t v = byte(i) << 16;
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
    } else if (bytes.size() - i == 2) {
        uint32_t v = (byte(i) << 16) | (byte(i + 1) << 8);
        out += alphabet[(v >> 18) & 63];
        out += alphabet[(v >> 12) & 63];
        out += alphabet[(v >> 6) & 63];
    }
    return out;
}

static int base64UrlValue(char c)
{
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '-' || c == '+') return 62;
    if (c == '_' || c == '/') return 63;
    return -1;
}

std::optional<std::string> base64UrlDecode(std::string_view text)
{
    while (!text.empty() && text.back() == '=') text.remove_suffix(1);
    if (text.size() % 4 == 1) return std::nullopt;
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        int v = base64UrlValue(c);
        if (v < 0) return std::nullopt;
        acc = (acc << 6) | static_cast<uint32_t>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xff);
        }
    }
    return out;
}

std::string base32Encode(std::string_view bytes)
{
    static const char *alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZ234567";
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (unsigned char c : bytes) {
        acc = (acc << 8) | c;
        bits += 8;
        while (bits >= 5) {
            bits -= 5;
            out += alphabet[(acc >> bits) & 31];
        }
    }
    if (bits > 0) out += alphabet[(acc << (5 - bits)) & 31];
    return out;
}

std::optional<std::string> base32Decode(std::string_view text)
{
    std::string out;
    uint32_t acc = 0;
    int bits = 0;
    for (char c : text) {
        int v;
        if (c >= 'A' && c <= 'Z') v = c - 'A';
        else if (c >= 'a' && c <= 'z') v = c - 'a';
        else if (c >= '2' && c <= '7') v = c - '2' + 26;
        else if (c == '=' || c == ' ') continue;
        else return std::nullopt;
        acc = (acc << 5) | static_cast<uint32_t>(v);
        bits += 5;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xff);
        }
    }
    return out;
}

std::string sha256(std::string_view data)
{
    unsigned char digest[SHA256_DIGEST_LENGTH];
    SHA256(reinterpret_cast<const unsigned char *>(data.data()), data.size(), digest);
    return std::string(reinterpret_cast<char *>(digest), sizeof digest);
}

std::string sha256Hex(std::string_view data)
{
    static const char *hex = "0123456789abcdef";
    std::string raw = sha256(data), out;
    for (unsigned char c : raw) {
        out += hex[c >> 4];
        out += hex[c & 15];
    }
    return out;
}

static std::string hmac(const EVP_MD *md, std::string_view key, std::string_view data)
{
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    HMAC(md, key.data(), static_cast<int>(key.size()), reinterpret_cast<const unsigned char *>(data.data()),
         data.size(), out, &len);
    return std::string(reinterpret_cast<char *>(out), len);
}

std::string hmacSha256(std::string_view key, std::string_view data) { return hmac(EVP_sha256(), key, data); }

bool constantTimeEquals(std::string_view a, std::string_view b)
{
    return a.size() == b.size() && CRYPTO_memcmp(a.data(), b.data(), a.size()) == 0;
}

static std::string scryptRaw(std::string_view password, std::string_view salt, uint64_t n, uint64_t r, uint64_t p)
{
    std::string key(32, '\0');
    if (EVP_PBE_scrypt(password.data(), password.size(), reinterpret_cast<const unsigned char *>(salt.data()),
                       salt.size(), n, r, p, 130 * r * (n + p + 2) + (1u << 20),
                       reinterpret_cast<unsigned char *>(key.data()), key.size()) != 1)
        throw std::runtime_error("scrypt failed");
    return key;
}

std::string hashPassword(std::string_view password, uint64_t n)
{
    std::string salt = randomBytes(16);
    std::string key = scryptRaw(password, salt, n, 8, 1);
    return "scrypt$" + std::to_string(n) + "$8$1$" + base64UrlEncode(salt) + "$" + base64UrlEncode(key);
}

bool verifyPassword(std::string_view password, std::string_view stored)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        size_t dollar = stored.find('$', start);
        parts.emplace_back(
            stored.substr(start, dollar == std::string_view::npos ? std::string_view::npos : dollar - start));
        if (dollar == std::string_view::npos) break;
        start = dollar + 1;
    }
    if (parts.size() != 6 || parts[0] != "scrypt") return false;
    try {
        uint64_t n = std::stoull(parts[1]), r = std::stoull(parts[2]), p = std::stoull(parts[3]);
        auto salt = base64UrlDecode(parts[4]);
        auto expected = base64UrlDecode(parts[5]);
        if (!salt || !expected || n < 2 || n > (1u << 20) || r == 0 || r > 32 || p == 0 || p > 16) return false;
        return constantTimeEquals(scryptRaw(password, *salt, n, r, p), *expected);
    } catch (...) {
        return false;
    }
}

bool passwordNeedsRehash(std::string_view stored, uint64_t n)
{
    // "scrypt$N$r$..."
    if (stored.rfind("scrypt$", 0) != 0) return true;
    size_t a = stored.find('$', 7);
    if (a == std::string_view::npos) return true;
    try {
        return std::stoull(std::string(stored.substr(7, a - 7))) < n || stored.substr(a, 3) != "$8$";
    } catch (...) {
        return true;
    }
}

std::string totpCode(std::string_view secret, int64_t unixSeconds)
{
    auto key = base32Decode(secret);
    if (!key) return {};
    uint64_t counter = static_cast<uint64_t>(unixSeconds / 30);
    unsigned char msg[8];
    for (int i = 7; i >= 0; --i) {
        msg[i] = static_cast<unsigned char>(counter & 0xff);
        counter >>= 8;
    }
    std::string mac = hmac(EVP_sha1(), *key, std::string_view(reinterpret_cast<char *>(msg), 8));
    int offset = mac.back() & 0x0f;
    uint32_t bin = ((static_cast<unsigned char>(mac[offset]) & 0x7f) << 24) |
                   (static_cast<unsigned char>(mac[offset + 1]) << 16) |
                   (static_cast<unsigned char>(mac[offset + 2]) << 8) | static_cast<unsigned char>(mac[offset + 3]);
    std::string code = std::to_string(bin % 1000000);
    return std::string(6 - code.size(), '0') + code;
}

bool verifyTotp(std::string_view secret, std::string_view code, int64_t unixSeconds, int window)
{
    if (code.size() != 6) return false;
    for (int step = -window; step <= window; ++step)
        if (constantTimeEquals(totpCode(secret, unixSeconds + step * int64_t{30}), code)) return true;
    return false;
}

std::optional<int64_t> totpStep(std::string_view secret, std::string_view code, int64_t unixSeconds, int window)
{
    if (code.size() != 6) return std::nullopt;
    for (int step = -window; step <= window; ++step) {
        int64_t at = unixSeconds + step * int64_t{30};
        if (constantTimeEquals(totpCode(secret, at), code)) return at / 30;
    }
    return std::nullopt;
}

std::string hkdfSha256(std::string_view key, std::string_view salt, std::string_view info, size_t length)
{
    std::string out(length, '\0');
    EVP_PKEY_CTX *ctx = EVP_PKEY_CTX_new_id(EVP_PKEY_HKDF, nullptr);
    size_t outLength = length;
    bool ok = ctx && EVP_PKEY_derive_init(ctx) == 1 && EVP_PKEY_CTX_set_hkdf_md(ctx, EVP_sha256()) == 1 &&
              EVP_PKEY_CTX_set1_hkdf_salt(ctx, reinterpret_cast<const unsigned char *>(salt.data()),
                                          static_cast<int>(salt.size())) == 1 &&
              EVP_PKEY_CTX_set1_hkdf_key(ctx, reinterpret_cast<const unsigned char *>(key.data()),
                                         static_cast<int>(key.size())) == 1 &&
              EVP_PKEY_CTX_add1_hkdf_info(ctx, reinterpret_cast<const unsigned char *>(info.data()),
                                          static_cast<int>(info.size())) == 1 &&
              EVP_PKEY_derive(ctx, reinterpret_cast<unsigned char *>(out.data()), &outLength) == 1;
    EVP_PKEY_CTX_free(ctx);
    if (!ok || outLength != length) throw std::runtime_error("key derivation failed");
    return out;
}

std::string seal(std::string_view key, std::string_view plaintext)
{
    if (key.size() != 32) throw std::runtime_error("sealing needs a 32-byte key");
    std::string nonce = randomBytes(12);
    std::string out = nonce;
    out.resize(12 + plaintext.size() + 16);
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    int n = 0, tail = 0;
    auto *dst = reinterpret_cast<unsigned char *>(out.data());
    bool ok = ctx &&
              EVP_EncryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, reinterpret_cast<const unsigned char *>(key.data()),
                                 reinterpret_cast<const unsigned char *>(nonce.data())) == 1 &&
              EVP_EncryptUpdate(ctx, dst + 12, &n, reinterpret_cast<const unsigned char *>(plaintext.data()),
                                static_cast<int>(plaintext.size())) == 1 &&
              EVP_EncryptFinal_ex(ctx, dst + 12 + n, &tail) == 1 &&
              EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_GET_TAG, 16, dst + 12 + plaintext.size()) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) throw std::runtime_error("sealing failed");
    return out;
}

std::optional<std::string> open(std::string_view key, std::string_view sealed)
{
    if (key.size() != 32 || sealed.size() < 28) return std::nullopt;
    size_t length = sealed.size() - 28;
    std::string out(length, '\0');
    std::string tag(sealed.substr(12 + length));
    EVP_CIPHER_CTX *ctx = EVP_CIPHER_CTX_new();
    int n = 0, tail = 0;
    bool ok =
        ctx &&
        EVP_DecryptInit_ex(ctx, EVP_aes_256_gcm(), nullptr, reinterpret_cast<const unsigned char *>(key.data()),
                           reinterpret_cast<const unsigned char *>(sealed.data())) == 1 &&
        EVP_DecryptUpdate(ctx, reinterpret_cast<unsigned char *>(out.data()), &n,
                          reinterpret_cast<const unsigned char *>(sealed.data() + 12), static_cast<int>(length)) == 1 &&
        EVP_CIPHER_CTX_ctrl(ctx, EVP_CTRL_GCM_SET_TAG, 16, tag.data()) == 1 &&
        EVP_DecryptFinal_ex(ctx, reinterpret_cast<unsigned char *>(out.data()) + n, &tail) == 1;
    EVP_CIPHER_CTX_free(ctx);
    if (!ok) return std::nullopt;
    return out;
}

static bool uuidShape(std::string_view t, bool lowerOnly)
{
    if (t.size() != 36) return false;
    for (size_t i = 0; i < 36; ++i) {
        char c = t[i];
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != '-') return false;
        } else if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (!lowerOnly && c >= 'A' && c <= 'F'))) {
            return false;
        }
    }
    return true;
}

bool isLowerUuid(std::string_view text) { return uuidShape(text, true); }
bool isUuid(std::string_view text) { return uuidShape(text, false); }

bool isBase64Url(std::string_view text, size_t length)
{
    if (text.size() != length) return false;
    for (char c : text)
        if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_'))
            return false;
    return true;
}

}  // namespace quillo::cloud::crypto
