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

class StoreError : public std::runtime_error {
  public:
    using std::runtime_error::runtime_error;
};

// The posts of both boards in one SQLite database. Safe to use from many threads: each call
// borrows a connection of its own, and writes take turns inside this process.
class Store {
  public:
    enum class Mode { ReadWrite, ReadOnly };

    explicit Store(std::string path, Mode mode = Mode::ReadWrite);
    ~Store();
    Store(const Store&) = delete;
    Store& operator=(const Store&) = delete;

    // Returns the new post's id once the post is durably committed.
    std::int64_t add(const NewPost& post, std::int64_t postedAt);
    // Newest first.
    std::vector<Post> page(Board board, std::int64_t offset, std::int64_t limit);
    std::int64_t count(Board board);
    DeleteResult remove(Board board, std::int64_t id, std::string_view password);
    // Every post of both boards, oldest first.
    std::vector<Post> all();

  private:
    struct Connection;
    class Lease;

    std::unique_ptr<Connection> open();

    std::string path_;
    Mode mode_;
    std::mutex poolMutex_;
    std::vector<std::unique_ptr<Connection>> idle_;
    std::mutex writeMutex_;
};

} // namespace board
