// SPDX-License-Identifier: MIT
#pragma once

#include "board/store.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace board {

inline constexpr std::string_view kMainPath = "/home/velmora/cgi-bin/aska/aska.cgi";
inline constexpr std::string_view kDemoPath = "/home/velmora/cgi-bin/aska/demoaska.cgi";
// Where the boards' pages link to the ranking page.
inline constexpr std::string_view kRankingTarget =
    "/home/velmora/cgi-bin/aska/aska.cgi?mode=ranking";
static_assert(kRankingTarget.starts_with(kMainPath));

std::string_view boardPath(Board board);

// Escapes the five characters that could end a text or an attribute value.
std::string htmlEscape(std::string_view text);

// Only these become links: a "javascript:" or "data:" home page must stay text.
bool isWebUrl(std::string_view url);
bool looksLikeEmail(std::string_view email);

struct BoardView {
    Board board = Board::Main;
    std::vector<Post> posts; // newest first
    std::int64_t page = 1;   // from 1
    bool hasNextPage = false;
    std::string notice; // shown above the posts when not empty
    bool noticeIsError = false;
};

std::string renderBoard(const BoardView& view);
// The ranking page: one table per game length in seconds, in the order given.
std::string renderRanking(const std::vector<std::pair<int, std::vector<RankEntry>>>& bySeconds);
std::string renderError(std::string_view message, std::string_view backPath);

} // namespace board
