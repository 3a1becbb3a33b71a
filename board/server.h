#pragma once

#include "board/store.h"

#include <cstddef>
#include <httplib.h>

namespace board {

// The longest request line that the HTTP library reads; longer ones get 414.
inline constexpr std::size_t kMaxRequestLine = 8192;
// The longest request body (the deletion form's); longer ones get 413.
inline constexpr std::size_t kMaxBody = 8192;

// All that one request may bring, request line, headers and body together, and the time it may
// take to arrive. The library bounds each line and the body but not the number of header
// lines, nor how long a client that trickles its request may hold one of the server's threads.
inline constexpr std::size_t kMaxRequestBytes = 64 * 1024;
inline constexpr int kMaxRequestSeconds = 30;

// The library's server with the limits above on every connection. A request over them ends
// where it is and gets the board's error page (414 for a long request line, else 400).
class BoundedServer : public httplib::Server {
  private:
    bool process_and_close_socket(socket_t sock) override;
};

// Gives the server both boards' routes, its error pages and its limits.
void setUpServer(httplib::Server& server, Store& store);

} // namespace board
