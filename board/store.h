// SPDX-License-Identifier: MIT
#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace board {

enum class Board { Main, Demo };

// The name a board has in the database and in dumps: "main" or "demo".
std::string_view boardName(Board board);

struct NewPost {
    Board board = Board::Main;
    std::string name, email, subject, comment, url;
    std::string password; // empty: the post cannot be deleted
};

struct Post {
    std::int64_t id = 0;
    Board board = Board::Main;
    std::string name, email, subject, comment, url;
    std::int64_t postedAt = 0; // seconds since the epoch
    bool hasPassword = false;
};

enum class DeleteResult { Deleted, WrongPassword, NoPassword, NotFound };

struct StoreLimits {
    // A post the same as one stored on its board less than this many seconds earlier, its
    // deletion key too, is that post again (a reload, a second press of the game's button):
    // stored once. 0: no check.
    std::int64_t duplicateSeconds = 10;
    // A board holding this many posts takes no new one: a flood must not push out what players
    // stored. Lowered by the operator, the oldest beyond it go when the store opens. At least 1.
    std::int64_t maxPostsPerBoard = 10000;
};

struct Added {
    std::int64_t id;
    bool duplicate;    // the post was already there: id is the stored copy's
    bool full = false; // the board holds maxPostsPerBoard posts: nothing stored, id is 0
    // Lets the engine that predates this struct build until it is replaced.
    operator std::int64_t() const { return id; }
};

// One line of a ranking: a main-board post whose comment starts with the game's result sentence.
struct RankEntry {
    std::int64_t id;
    std::string name;
    int seconds;
    int clicks;
    std::int64_t postedAt;
};

class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The posts of both boards in one SQLite database. Safe to use from many threads: each call
// borrows a connection of its own, and writes take turns inside this process.
class Store {
  public:
    enum class Mode { ReadWrite, ReadOnly };

    Store(std::string path, Mode mode = Mode::ReadWrite, StoreLimits limits = {});
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    using Added = board::Added;
    // Returns once the post is durably committed.
    Added add(const NewPost& post, std::int64_t postedAt);
    // Newest first.
    std::vector<Post> page(Board board, std::int64_t offset, std::int64_t limit);
    std::int64_t count(Board board);
    DeleteResult remove(Board board, std::int64_t id, std::string_view password);
    // Deletes whatever the post's password: Deleted or NotFound.
    DeleteResult removeAsOperator(Board board, std::int64_t id);
    // The best results of games of this many seconds on the main board: most clicks first,
    // the earlier post first among equals. Results the game itself called a trick, and those
    // over 20 clicks a second that it should have, are left out.
    std::vector<RankEntry> ranking(int seconds, int limit);
    // Every post of both boards, oldest first.
    std::vector<Post> all();

  private:
    struct Connection;
    class Lease;

    std::unique_ptr<Connection> open();

    std::string path_;
    Mode mode_;
    StoreLimits limits_;
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
    std::mutex writeMutex_;
};

} // namespace board
