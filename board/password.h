// SPDX-License-Identifier: MIT
#pragma once

#include <string>
#include <string_view>

namespace board {

// A deletion password as the database keeps it: never the password itself.
struct PasswordHash {
    // How the digest was made, with its cost, so that a key keeps verifying after the cost
    // changes: "pbkdf2-sha256$ITERATIONS", or kSaltedSha256 for the keys of the first board.
    std::string method;
    std::string salt; // 16 random bytes
    std::string digest;
};

// The first board's keys: SHA-256 of the salt followed by the password.
inline constexpr std::string_view kSaltedSha256 = "salted-sha256";

// PBKDF2-HMAC-SHA256. Players reuse passwords, so a copied database must not give them away
// cheaply; yet each post and each deletion pays this once, on a server of two cores. 100000
// rounds take some tens of milliseconds there; the server's rate limits bound the guessing.
inline constexpr int kPbkdf2Iterations = 100000;

PasswordHash hashPassword(std::string_view password);

// Compares in constant time, so that the answer's timing tells nothing about the digest.
// A method it does not know verifies nothing.
bool verifyPassword(const PasswordHash& stored, std::string_view password);

// SHA-256 of the bytes, 32 raw bytes.
std::string sha256(std::string_view bytes);

} // namespace board
