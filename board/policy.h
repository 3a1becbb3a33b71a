// SPDX-License-Identifier: MIT
#pragma once

// What every request must pass before a handler sees it, in one place: the Host names the
// board serves, same-origin checks, rate limits and the client's address behind a proxy.
// Every answer, the engine's refusals included, gets the board's security headers here.

#include "board/handlers.h"
#include "board/http.h"

#include <chrono>
#include <cstddef>
#include <map>
#include <mutex>
#include <string>
#include <unordered_map>
#include <vector>

namespace board {

// The longest request body (the deletion form's); longer ones get 413.
inline constexpr std::size_t kMaxBody = 8192;

struct PolicyOptions {
    // Host names served besides localhost, 127.0.0.1 and [::1]; any case, no port.
    std::vector<std::string> hosts;
    // Connections from these numeric addresses come through a reverse proxy: the client is
    // the right-most X-Forwarded-For address that is not one of them.
    std::vector<std::string> trustedProxies;
    unsigned postsPerMinute = 10; // per client address, 0 for no limit
    unsigned deleteAttempts = 5;  // wrong passwords per post before a lock-out, 0 for none
};

using Clock = std::chrono::steady_clock;

// Posts per client as token buckets: a client may post `perMinute` at once, then one every
// 60 / perMinute seconds. Keeps at most `capacity` clients; one whose bucket has filled up
// again is forgotten first, as it would be allowed anyway.
class PostRate {
  public:
    PostRate(unsigned perMinute, std::size_t capacity);
    // Takes a token; false when the client has none left.
    bool take(const std::string& client, Clock::time_point now);

  private:
    struct Bucket {
        double tokens;
        Clock::time_point updated;
    };
    double refill(Bucket& bucket, Clock::time_point now) const;

    double perMinute_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::unordered_map<std::string, Bucket> buckets_;
};

// Wrong deletion passwords per post. After `attempts` of them the post takes no password for a
// while, a minute at first and twice as long after each further lock-out, up to a day, so that
// guessing a password takes years. Keeps at most `capacity` posts, dropping unlocked ones
// first.
class DeleteLockout {
  public:
    DeleteLockout(unsigned attempts, std::size_t capacity);
    // How long the post stays locked; zero when it takes a password now.
    Clock::duration lockedFor(Board board, std::int64_t id, Clock::time_point now);
    void record(Board board, std::int64_t id, DeleteResult result, Clock::time_point now);

  private:
    struct Entry {
        unsigned failures = 0;
        unsigned lockouts = 0;
        Clock::time_point lockedUntil{};
        Clock::time_point updated{};
    };
    unsigned attempts_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::map<std::pair<Board, std::int64_t>, Entry> entries_;
};

class Policy {
  public:
    Policy(PolicyOptions options, Handlers& handlers);

    http::Response handle(const http::Request& request);
    // An answer for a request the engine refused before it reached the policy.
    http::Response refuse(int status, const http::Request& request) const;
    http::Service service();

    // The client's address: the connection's, or behind a trusted proxy the one it forwards.
    std::string clientOf(const http::Request& request) const;

  private:
    http::Response route(const http::Request& request);
    bool servesHost(const http::Request& request) const;
    bool fromOwnPage(const http::Request& request) const;

    PolicyOptions options_;
    Handlers& handlers_;
    PostRate postRate_;
    DeleteLockout lockout_;
};

// The address in its canonical text, or empty when the text is not a numeric address.
std::string canonicalAddress(std::string_view text);

} // namespace board
