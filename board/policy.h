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
    // Per client address (IPv6 /64), 0 for no limit; twice as many per network and six
    // times as many per board.
    unsigned postsPerMinute = 10;
    unsigned deleteAttempts = 5; // wrong passwords per post before a lock-out, 0 for none
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

// Wrong deletion keys, counted for each post and for each client across all posts. After
// `attempts` wrong keys for a post (4 x `attempts` from one client) it takes no key for a while,
// a minute at first and twice as long after each further lock-out, up to a day, so that
// guessing a key takes years. A try counts from the moment it is let in, so that tries sent at
// once cannot pass the check together. Keeps at most `capacity` entries; when full, the one
// that matters least goes: unlocked before locked, then the fewest lock-outs and failures.
class DeleteLockout {
  public:
    DeleteLockout(unsigned attempts, std::size_t capacity);
    // Lets one try in for the post and the client, or none: how long to wait, zero when let in.
    Clock::duration admit(const std::string& post, const std::string& client,
                          Clock::time_point now);
    // What came of a try that was let in.
    void record(const std::string& post, const std::string& client, DeleteResult result,
                Clock::time_point now);

  private:
    struct Entry {
        unsigned failures = 0;
        unsigned pending = 0; // tries let in whose result is not known yet
        unsigned lockouts = 0;
        Clock::time_point lockedUntil{};
    };
    void makeRoom(std::size_t count, Clock::time_point now);
    void settle(const std::string& key, unsigned attempts, bool wrong, bool forget,
                Clock::time_point now);

    unsigned attempts_;
    std::size_t capacity_;
    std::mutex mutex_;
    std::unordered_map<std::string, Entry> entries_;
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
    // Posts per client, per network (IPv4 /24, IPv6 /48) and per board: a flood from many
    // addresses runs out of the board's budget, and then new posting waits, never old posts.
    PostRate postRate_, networkRate_, boardRate_;
    DeleteLockout lockout_;
};

// The address in its canonical text, or empty when the text is not a numeric address.
std::string canonicalAddress(std::string_view text);

} // namespace board
