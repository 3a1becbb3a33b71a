// SPDX-License-Identifier: MIT
#pragma once

#include "board/store.h"

#include <string>
#include <vector>

namespace board {

// A JSON array with one object per post, oldest first, for tests and for operators.
// The password hash stays out: "has_password" tells only whether there is one.
std::string postsToJson(const std::vector<Post>& posts);

} // namespace board
