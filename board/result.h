// SPDX-License-Identifier: MIT
#pragma once

#include <optional>
#include <string_view>

namespace board {

// What the game writes at the start of a result post's comment.
struct GameResult {
    int seconds = 0;
    int clicks = 0;
    bool trick = false; // the game itself said the player used a trick
};

// Reads the sentence the game composes, "私は" (or "私は裏技を使って") S "秒で" C
// "回クリックできました。", from the start of a comment; nothing when the comment does not start
// with it exactly. Anyone can type a comment, so only the game's own form counts: ASCII digits
// without sign or leading zero, seconds 1..32767 and clicks 0..32767, the game's 16-bit range.
std::optional<GameResult> readGameResult(std::string_view comment);

} // namespace board
