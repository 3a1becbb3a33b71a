// SPDX-License-Identifier: MIT
#include "board/result.h"

namespace board {

namespace {

constexpr int kMaxCount = 32767;

bool consume(std::string_view& text, std::string_view prefix) {
    if (!text.starts_with(prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// A decimal number as the game prints one: "0", or digits that do not start with 0.
std::optional<int> consumeNumber(std::string_view& text) {
    std::size_t n = 0;
    int value = 0;
    while (n < text.size() && text[n] >= '0' && text[n] <= '9') {
        value = value * 10 + (text[n] - '0');
        if (value > kMaxCount)
            return std::nullopt;
        ++n;
    }
    if (n == 0 || (n > 1 && text[0] == '0'))
        return std::nullopt;
    text.remove_prefix(n);
    return value;
}

} // namespace

std::optional<GameResult> readGameResult(std::string_view comment) {
    GameResult result;
    if (!consume(comment, "私は"))
        return std::nullopt;
    result.trick = consume(comment, "裏技を使って");
    auto seconds = consumeNumber(comment);
    if (!seconds || *seconds < 1 || !consume(comment, "秒で"))
        return std::nullopt;
    auto clicks = consumeNumber(comment);
    if (!clicks || !consume(comment, "回クリックできました。"))
        return std::nullopt;
    result.seconds = *seconds;
    result.clicks = *clicks;
    return result;
}

} // namespace board
