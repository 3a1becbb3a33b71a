// SPDX-License-Identifier: MIT
#pragma once

#include "core/errors.h"

#include <compare>
#include <cstdint>
#include <limits>

namespace ponpira {

// The program's one integer type: every counter, limit and flag is 16-bit signed, and leaving
// the range is an error, never a silent wrap-around.
class Int16 {
  public:
    static constexpr int min = std::numeric_limits<std::int16_t>::min();
    static constexpr int max = std::numeric_limits<std::int16_t>::max();

    constexpr Int16() = default;
    // Throws OverflowError when value lies outside the 16-bit range.
    constexpr Int16(int value) : value_(checked(value)) {} // NOLINT(google-explicit-constructor)

    constexpr int value() const { return value_; }

    friend constexpr Int16 operator+(Int16 a, Int16 b) { return Int16(a.value_ + b.value_); }
    friend constexpr Int16 operator-(Int16 a, Int16 b) { return Int16(a.value_ - b.value_); }
    friend constexpr Int16 operator*(Int16 a, Int16 b) { return Int16(a.value_ * b.value_); }
    friend constexpr bool operator==(Int16 a, Int16 b) = default;
    friend constexpr auto operator<=>(Int16 a, Int16 b) = default;

  private:
    static constexpr std::int16_t checked(int value) {
        if (value < min || value > max)
            throw OverflowError();
        return static_cast<std::int16_t>(value);
    }

    std::int16_t value_ = 0;
};

} // namespace ponpira
