#pragma once

#include <string>
#include <string_view>

namespace board {

// A deletion password as the database keeps it: never the password itself.
struct PasswordHash {
    std::string salt;   // 16 random bytes
    std::string digest; // SHA-256 of salt followed by the password
};

PasswordHash hashPassword(std::string_view password);

// Compares in constant time, so that the answer's timing tells nothing about the digest.
bool verifyPassword(const PasswordHash& stored, std::string_view password);

// SHA-256 of the bytes, 32 raw bytes.
std::string sha256(std::string_view bytes);

} // namespace board
