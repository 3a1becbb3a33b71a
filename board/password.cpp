// SPDX-License-Identifier: MIT
#include "board/password.h"

#include <cerrno>
#include <charconv>
#include <openssl/crypto.h>
#include <openssl/evp.h>
#include <optional>
#include <stdexcept>
#include <sys/random.h>

namespace board {

std::string sha256(std::string_view bytes) {
    unsigned char out[EVP_MAX_MD_SIZE];
    unsigned int len = 0;
    if (EVP_Digest(bytes.data(), bytes.size(), out, &len, EVP_sha256(), nullptr) != 1)
        throw std::runtime_error("SHA-256 failed");
    return std::string(reinterpret_cast<char*>(out), len);
}

namespace {

constexpr std::string_view kPbkdf2Prefix = "pbkdf2-sha256$";
// A stored cost above this is a damaged row, not a reason to spend minutes on one request.
constexpr int kMaxIterations = 10'000'000;

std::string randomBytes(std::size_t n) {
    std::string out(n, '\0');
    std::size_t got = 0;
    while (got < n) {
        ssize_t r = getrandom(out.data() + got, n - got, 0);
        if (r < 0) {
            if (errno == EINTR)
                continue;
            throw std::runtime_error("getrandom failed");
        }
        got += static_cast<std::size_t>(r);
    }
    return out;
}

std::string pbkdf2(std::string_view salt, std::string_view password, int iterations) {
    unsigned char out[32];
    if (PKCS5_PBKDF2_HMAC(password.data(), static_cast<int>(password.size()),
                          reinterpret_cast<const unsigned char*>(salt.data()),
                          static_cast<int>(salt.size()), iterations, EVP_sha256(), sizeof out,
                          out) != 1)
        throw std::runtime_error("PBKDF2 failed");
    return std::string(reinterpret_cast<char*>(out), sizeof out);
}

std::optional<int> pbkdf2Iterations(std::string_view method) {
    if (!method.starts_with(kPbkdf2Prefix))
        return std::nullopt;
    method.remove_prefix(kPbkdf2Prefix.size());
    int n = 0;
    auto [end, ec] = std::from_chars(method.data(), method.data() + method.size(), n);
    if (ec != std::errc() || end != method.data() + method.size() || n < 1 || n > kMaxIterations)
        return std::nullopt;
    return n;
}

std::optional<std::string> digestFor(const PasswordHash& stored, std::string_view password) {
    if (stored.method == kSaltedSha256)
        return sha256(std::string(stored.salt).append(password));
    if (auto iterations = pbkdf2Iterations(stored.method))
        return pbkdf2(stored.salt, password, *iterations);
    return std::nullopt;
}

} // namespace

PasswordHash hashPassword(std::string_view password) {
    PasswordHash h;
    h.method = std::string(kPbkdf2Prefix) + std::to_string(kPbkdf2Iterations);
    h.salt = randomBytes(16);
    h.digest = pbkdf2(h.salt, password, kPbkdf2Iterations);
    return h;
}

bool verifyPassword(const PasswordHash& stored, std::string_view password) {
    auto digest = digestFor(stored, password);
    return digest && stored.digest.size() == digest->size() &&
           CRYPTO_memcmp(stored.digest.data(), digest->data(), digest->size()) == 0;
}

} // namespace board
