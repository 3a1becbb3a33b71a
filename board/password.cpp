#include "board/password.h"

#include <cerrno>
#include <openssl/crypto.h>
#include <openssl/evp.h>
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

std::string saltedDigest(std::string_view salt, std::string_view password) {
    std::string input;
    input.reserve(salt.size() + password.size());
    input.append(salt).append(password);
    return sha256(input);
}

} // namespace

PasswordHash hashPassword(std::string_view password) {
    PasswordHash h;
    h.salt = randomBytes(16);
    h.digest = saltedDigest(h.salt, password);
    return h;
}

bool verifyPassword(const PasswordHash& stored, std::string_view password) {
    std::string digest = saltedDigest(stored.salt, password);
    return stored.digest.size() == digest.size() &&
           CRYPTO_memcmp(stored.digest.data(), digest.data(), digest.size()) == 0;
}

} // namespace board
