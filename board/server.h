#pragma once

#include "board/store.h"

#include <cstddef>

namespace httplib {
class Server;
}

namespace board {

// The longest request line that the HTTP library reads; longer ones get 414.
inline constexpr std::size_t kMaxRequestLine = 8192;
// The longest request body (the deletion form's); longer ones get 413.
inline constexpr std::size_t kMaxBody = 8192;

// Gives the server both boards' routes, its error pages and its limits.
void setUpServer(httplib::Server& server, Store& store);

} // namespace board
