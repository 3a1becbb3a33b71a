// SPDX-License-Identifier: MIT
#include "board/store.h"

#include "board/password.h"
#include "board/result.h"

#include <sqlite3.h>
#include <utility>

namespace board {

std::string_view boardName(Board board) {
    return board == Board::Demo ? "demo" : "main";
}

namespace {

Board boardFromName(std::string_view name) {
    return name == "demo" ? Board::Demo : Board::Main;
}

[[noreturn]] void fail(sqlite3* db, const std::string& what) {
    throw StoreError(what + ": " + (db ? sqlite3_errmsg(db) : "out of memory"));
}

class Statement {
  public:
    Statement(sqlite3* db, const char* sql) : db_(db) {
        if (sqlite3_prepare_v3(db, sql, -1, SQLITE_PREPARE_PERSISTENT, &stmt_, nullptr) !=
            SQLITE_OK)
            fail(db, std::string("cannot prepare ") + sql);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    void bind(int i, std::string_view text) {
        check(sqlite3_bind_text(stmt_, i, text.data(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT));
    }
    void bind(int i, std::int64_t value) { check(sqlite3_bind_int64(stmt_, i, value)); }
    void bindBlob(int i, std::string_view bytes) {
        check(sqlite3_bind_blob(stmt_, i, bytes.data(), static_cast<int>(bytes.size()),
                                SQLITE_TRANSIENT));
    }
    void bindNull(int i) { check(sqlite3_bind_null(stmt_, i)); }

    // True while there is a row to read.
    bool step() {
        int rc = sqlite3_step(stmt_);
        if (rc == SQLITE_ROW)
            return true;
        if (rc == SQLITE_DONE)
            return false;
        fail(db_, "query failed");
    }
    // Runs a statement that returns no rows, and makes it ready for the next use.
    void run() {
        Reset reset(*this);
        step();
    }

    std::string text(int col) {
        auto p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string();
    }
    std::string blob(int col) {
        auto p = static_cast<const char*>(sqlite3_column_blob(stmt_, col));
        return p ? std::string(p, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, col)))
                 : std::string();
    }
    std::int64_t int64(int col) { return sqlite3_column_int64(stmt_, col); }
    bool isNull(int col) { return sqlite3_column_type(stmt_, col) == SQLITE_NULL; }

    // Leaves the statement reset and unbound however the scope is left, so that a failed
    // query cannot keep a read transaction open on a pooled connection.
    class Reset {
      public:
        explicit Reset(Statement& s) : s_(s) {}
        ~Reset() {
            sqlite3_reset(s_.stmt_);
            sqlite3_clear_bindings(s_.stmt_);
        }
        Reset(const Reset&) = delete;
        Reset& operator=(const Reset&) = delete;

      private:
        Statement& s_;
    };

  private:
    void check(int rc) {
        if (rc != SQLITE_OK)
            fail(db_, "cannot bind a value");
    }

    sqlite3* db_;
    sqlite3_stmt* stmt_ = nullptr;
};

// The first board's schema, user_version 0. A fresh database starts from it too and takes every
// step below, so that a new database and an upgraded one cannot differ.
constexpr const char* kSchemaV0 = R"sql(
CREATE TABLE IF NOT EXISTS posts (
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    board TEXT NOT NULL CHECK (board IN ('main', 'demo')),
    name TEXT NOT NULL,
    email TEXT NOT NULL,
    subject TEXT NOT NULL,
    comment TEXT NOT NULL,
    url TEXT NOT NULL,
    posted_at INTEGER NOT NULL,
    pwd_salt BLOB,
    pwd_hash BLOB
);
CREATE INDEX IF NOT EXISTS posts_by_board ON posts (board, id);
)sql";

// Version 1: keys say how they were hashed (the first board's are salted SHA-256); the game's
// result is read once from the comment into columns, which a ranking can index; finding a
// repeated post looks only at its board's last seconds. Its rows' results are filled in by
// fillGameResults in the same transaction.
constexpr const char* kToV1 = R"sql(
ALTER TABLE posts ADD COLUMN pwd_method TEXT;
UPDATE posts SET pwd_method = 'salted-sha256' WHERE pwd_hash IS NOT NULL;
ALTER TABLE posts ADD COLUMN seconds INTEGER CHECK (seconds BETWEEN 1 AND 32767);
ALTER TABLE posts ADD COLUMN clicks INTEGER CHECK (clicks BETWEEN 0 AND 32767);
ALTER TABLE posts ADD COLUMN trick INTEGER CHECK (trick IN (0, 1));
CREATE INDEX posts_by_time ON posts (board, posted_at);
CREATE INDEX posts_ranking ON posts (seconds, clicks DESC, id)
    WHERE board = 'main' AND trick = 0 AND clicks <= 20 * seconds;
PRAGMA user_version = 1;
)sql";

constexpr std::int64_t kVersion = 1;

// The ranking's conditions, word for word those of posts_ranking, so that SQLite reads the index.
constexpr const char* kRanked = "board = 'main' AND trick = 0 AND clicks <= 20 * seconds";

constexpr const char* kColumns = "id, board, name, email, subject, comment, url, posted_at, "
                                 "pwd_hash IS NOT NULL";

Post readPost(Statement& s) {
    Post p;
    p.id = s.int64(0);
    p.board = boardFromName(s.text(1));
    p.name = s.text(2);
    p.email = s.text(3);
    p.subject = s.text(4);
    p.comment = s.text(5);
    p.url = s.text(6);
    p.postedAt = s.int64(7);
    p.hasPassword = s.int64(8) != 0;
    return p;
}

void exec(sqlite3* db, const char* sql) {
    char* message = nullptr;
    if (sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string text = message ? message : "unknown error";
        sqlite3_free(message);
        throw StoreError(std::string("cannot run ") + sql + ": " + text);
    }
}

// After a failed statement, undoes what the transaction did, if SQLite has not already (it
// rolls back by itself after some errors, a full disk among them). The first error is the one
// worth reporting, so a failing rollback says nothing.
void rollBack(sqlite3* db) {
    if (!sqlite3_get_autocommit(db))
        sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
}

std::int64_t userVersion(sqlite3* db) {
    Statement s(db, "PRAGMA user_version");
    s.step();
    return s.int64(0);
}

void bindResult(Statement& s, int first, const std::optional<GameResult>& result) {
    if (result) {
        s.bind(first, std::int64_t{result->seconds});
        s.bind(first + 1, std::int64_t{result->clicks});
        s.bind(first + 2, std::int64_t{result->trick});
    } else {
        s.bindNull(first);
        s.bindNull(first + 1);
        s.bindNull(first + 2);
    }
}

// Reads the result of every post stored before results had columns.
void fillGameResults(sqlite3* db) {
    std::vector<std::pair<std::int64_t, GameResult>> found;
    {
        Statement s(db, "SELECT id, comment FROM posts");
        while (s.step())
            if (auto result = readGameResult(s.text(1)))
                found.emplace_back(s.int64(0), *result);
    }
    Statement update(db, "UPDATE posts SET seconds = ?, clicks = ?, trick = ? WHERE id = ?");
    for (const auto& [id, result] : found) {
        bindResult(update, 1, result);
        update.bind(4, id);
        update.run();
    }
}

// Brings the database to kVersion, each step in one transaction with its new user_version: a
// step that fails leaves the database as it was before it.
void migrate(sqlite3* db, const std::string& path) {
    if (userVersion(db) == kVersion)
        return;
    // Several servers or connections may start at once: the first one to write takes the
    // steps, and the others find them taken.
    exec(db, "BEGIN IMMEDIATE");
    try {
        std::int64_t version = userVersion(db);
        if (version > kVersion)
            throw StoreError(path + " is of a newer board (database version " +
                             std::to_string(version) + "; this one knows up to " +
                             std::to_string(kVersion) + ")");
        if (version == 0) {
            exec(db, kSchemaV0);
            exec(db, kToV1);
            fillGameResults(db);
        }
        exec(db, "COMMIT");
    } catch (const StoreError& e) {
        rollBack(db);
        throw StoreError("cannot bring " + path + " up to date: " + e.what());
    } catch (...) {
        rollBack(db);
        throw;
    }
}

} // namespace

struct Store::Connection {
    struct Db {
        sqlite3* handle = nullptr;
        ~Db() { sqlite3_close_v2(handle); }
    } db; // declared first, so closed after the statements are finalized

    std::unique_ptr<Statement> insert, findCopy, trim, page, count, findPassword, remove,
        removeKeyed, ranking, all, begin, commit;

    void prepare() {
        const std::string cols = kColumns;
        auto make = [this](const std::string& sql) {
            return std::make_unique<Statement>(db.handle, sql.c_str());
        };
        insert = make("INSERT INTO posts (board, name, email, subject, comment, url, posted_at, "
                      "pwd_method, pwd_salt, pwd_hash, seconds, clicks, trick) "
                      "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
        findCopy = make("SELECT id, pwd_method, pwd_salt, pwd_hash FROM posts WHERE board = ? AND "
                        "posted_at > ? AND name = ? AND email = ? AND subject = ? AND comment = ? "
                        "AND url = ? ORDER BY id DESC LIMIT 2");
        trim = make("DELETE FROM posts WHERE board = ?1 AND id <= (SELECT id FROM posts WHERE "
                    "board = ?1 ORDER BY id DESC LIMIT 1 OFFSET ?2)");
        page = make("SELECT " + cols +
                    " FROM posts WHERE board = ? ORDER BY id DESC LIMIT ? OFFSET ?");
        count = make("SELECT count(*) FROM posts WHERE board = ?");
        findPassword =
            make("SELECT pwd_method, pwd_salt, pwd_hash FROM posts WHERE board = ? AND id = ?");
        remove = make("DELETE FROM posts WHERE board = ? AND id = ?");
        removeKeyed = make("DELETE FROM posts WHERE board = ? AND id = ? AND pwd_salt = ?");
        ranking =
            make(std::string("SELECT id, name, seconds, clicks, posted_at FROM posts WHERE ") +
                 kRanked + " AND seconds = ? ORDER BY clicks DESC, id LIMIT ?");
        all = make("SELECT " + cols + " FROM posts ORDER BY id");
        begin = make("BEGIN IMMEDIATE");
        commit = make("COMMIT");
    }
};

// Borrows a pooled connection for one call and gives it back afterwards.
class Store::Lease {
  public:
    explicit Lease(Store& store) : store_(store) {
        {
            std::lock_guard lock(store_.poolMutex_);
            if (!store_.idle_.empty()) {
                conn_ = std::move(store_.idle_.back());
                store_.idle_.pop_back();
            }
        }
        if (!conn_)
            conn_ = store_.open();
    }
    ~Lease() {
        // A connection that SQLite opened read-only, because the file could not be written at
        // the time, is let go rather than kept: the next call opens a fresh one, so posting
        // works again by itself once the file is writable. A connection that merely failed
        // (a full disk) stays, and with it the write-ahead log that reading needs.
        if (store_.mode_ == Mode::ReadWrite && sqlite3_db_readonly(conn_->db.handle, "main") == 1)
            return;
        std::lock_guard lock(store_.poolMutex_);
        store_.idle_.push_back(std::move(conn_));
    }
    Lease(const Lease&) = delete;
    Lease& operator=(const Lease&) = delete;

    Connection* operator->() { return conn_.get(); }
    sqlite3* db() { return conn_->db.handle; }

  private:
    Store& store_;
    std::unique_ptr<Connection> conn_;
};

Store::Store(std::string path, Mode mode, StoreLimits limits)
    : path_(std::move(path)), mode_(mode), limits_(limits) {
    if (limits_.duplicateSeconds < 0 || limits_.maxPostsPerBoard < 1)
        throw StoreError("the duplicate window cannot be negative, and a board keeps at least one "
                         "post");
    // Opening one connection now reports a bad path, or a database that cannot be brought up
    // to date, at start-up rather than at the first post.
    idle_.push_back(open());
    // The oldest posts go only here, when the operator has lowered the limit: posting never
    // pushes any out. A board within its limit writes nothing, so a read-only file still opens.
    if (mode_ == Mode::ReadWrite)
        for (Board board : {Board::Main, Board::Demo})
            if (count(board) > limits_.maxPostsPerBoard) {
                Lease conn(*this);
                Statement& s = *conn->trim;
                s.bind(1, boardName(board));
                s.bind(2, limits_.maxPostsPerBoard);
                s.run();
            }
}

Store::~Store() = default;

std::unique_ptr<Store::Connection> Store::open() {
    auto conn = std::make_unique<Connection>();
    int flags = SQLITE_OPEN_NOMUTEX |
                (mode_ == Mode::ReadOnly ? SQLITE_OPEN_READONLY
                                         : SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE);
    if (sqlite3_open_v2(path_.c_str(), &conn->db.handle, flags, nullptr) != SQLITE_OK)
        fail(conn->db.handle, "cannot open " + path_);
    sqlite3* db = conn->db.handle;
    sqlite3_extended_result_codes(db, 1);
    // Another process (a dump, a test) may hold the database for a moment.
    sqlite3_busy_timeout(db, 5000);
    if (mode_ == Mode::ReadWrite) {
        // WAL lets the pages be read while a post is written; FULL makes every acknowledged
        // post survive not only a killed server but a power cut.
        exec(db, "PRAGMA journal_mode = WAL");
        exec(db, "PRAGMA synchronous = FULL");
        migrate(db, path_);
    } else if (std::int64_t version = userVersion(db); version != kVersion) {
        // Reading must not change the file, so an old database is read by a board that writes.
        throw StoreError(
            path_ + " has database version " + std::to_string(version) +
            ", this board reads version " + std::to_string(kVersion) +
            (version < kVersion ? "; start the board on it once to bring it up to date" : ""));
    }
    conn->prepare();
    return conn;
}

Added Store::add(const NewPost& post, std::int64_t postedAt) {
    // Hashing takes no lock, so posts wait on each other only for the write itself.
    PasswordHash hash;
    if (!post.password.empty())
        hash = hashPassword(post.password);
    const std::optional<GameResult> result = readGameResult(post.comment);
    const std::string_view board = boardName(post.board);
    Lease conn(*this);
    std::lock_guard lock(writeMutex_);
    // The search for an earlier copy and the insert are one transaction, so that two copies
    // arriving together cannot both be stored.
    conn->begin->run();
    try {
        Added added{0, false};
        if (limits_.duplicateSeconds > 0) {
            Statement& s = *conn->findCopy;
            Statement::Reset reset(s);
            s.bind(1, board);
            s.bind(2, postedAt - limits_.duplicateSeconds);
            s.bind(3, post.name);
            s.bind(4, post.email);
            s.bind(5, post.subject);
            s.bind(6, post.comment);
            s.bind(7, post.url);
            // Another deletion key makes another post: its poster must be able to delete it.
            // A reload copies the latest post: two keys at most are hashed under the lock.
            while (!added.duplicate && s.step())
                if (s.isNull(3)
                        ? post.password.empty()
                        : !post.password.empty() &&
                              verifyPassword({s.text(1), s.blob(2), s.blob(3)}, post.password))
                    added = {s.int64(0), true};
        }
        if (!added.duplicate) {
            std::int64_t held = 0;
            {
                Statement& s = *conn->count;
                Statement::Reset reset(s);
                s.bind(1, board);
                s.step();
                held = s.int64(0);
            }
            if (held >= limits_.maxPostsPerBoard) {
                conn->commit->run();
                return {0, false, true};
            }
            {
                Statement& s = *conn->insert;
                Statement::Reset reset(s);
                s.bind(1, board);
                s.bind(2, post.name);
                s.bind(3, post.email);
                s.bind(4, post.subject);
                s.bind(5, post.comment);
                s.bind(6, post.url);
                s.bind(7, postedAt);
                if (post.password.empty()) {
                    s.bindNull(8);
                    s.bindNull(9);
                    s.bindNull(10);
                } else {
                    s.bind(8, hash.method);
                    s.bindBlob(9, hash.salt);
                    s.bindBlob(10, hash.digest);
                }
                bindResult(s, 11, result);
                s.step();
            }
            added.id = sqlite3_last_insert_rowid(conn.db());
        }
        conn->commit->run();
        return added;
    } catch (...) {
        rollBack(conn.db());
        throw;
    }
}

std::vector<Post> Store::page(Board board, std::int64_t offset, std::int64_t limit) {
    Lease conn(*this);
    Statement& s = *conn->page;
    Statement::Reset reset(s);
    s.bind(1, boardName(board));
    s.bind(2, limit);
    s.bind(3, offset);
    std::vector<Post> posts;
    while (s.step())
        posts.push_back(readPost(s));
    return posts;
}

std::int64_t Store::count(Board board) {
    Lease conn(*this);
    Statement& s = *conn->count;
    Statement::Reset reset(s);
    s.bind(1, boardName(board));
    s.step();
    return s.int64(0);
}

DeleteResult Store::remove(Board board, std::int64_t id, std::string_view password) {
    Lease conn(*this);
    PasswordHash stored;
    {
        Statement& s = *conn->findPassword;
        Statement::Reset reset(s);
        s.bind(1, boardName(board));
        s.bind(2, id);
        if (!s.step())
            return DeleteResult::NotFound;
        if (s.isNull(2))
            return DeleteResult::NoPassword;
        stored = {s.text(0), s.blob(1), s.blob(2)};
    }
    // The key is checked outside the write turn, which a slow hash would hold up for every
    // post. Posts never change and their ids are never reused, and the delete asks for the
    // same salt besides: the post checked is the post deleted, or none is.
    if (!verifyPassword(stored, password))
        return DeleteResult::WrongPassword;
    std::lock_guard lock(writeMutex_);
    Statement& s = *conn->removeKeyed;
    s.bind(1, boardName(board));
    s.bind(2, id);
    s.bindBlob(3, stored.salt);
    s.run();
    return sqlite3_changes(conn.db()) > 0 ? DeleteResult::Deleted : DeleteResult::NotFound;
}

DeleteResult Store::removeAsOperator(Board board, std::int64_t id) {
    Lease conn(*this);
    std::lock_guard lock(writeMutex_);
    Statement& s = *conn->remove;
    s.bind(1, boardName(board));
    s.bind(2, id);
    s.run();
    return sqlite3_changes(conn.db()) > 0 ? DeleteResult::Deleted : DeleteResult::NotFound;
}

std::vector<RankEntry> Store::ranking(int seconds, int limit) {
    std::vector<RankEntry> entries;
    if (limit <= 0)
        return entries;
    Lease conn(*this);
    Statement& s = *conn->ranking;
    Statement::Reset reset(s);
    s.bind(1, std::int64_t{seconds});
    s.bind(2, std::int64_t{limit});
    while (s.step())
        entries.push_back({s.int64(0), s.text(1), static_cast<int>(s.int64(2)),
                           static_cast<int>(s.int64(3)), s.int64(4)});
    return entries;
}

std::vector<Post> Store::all() {
    Lease conn(*this);
    Statement& s = *conn->all;
    Statement::Reset reset(s);
    std::vector<Post> posts;
    while (s.step())
        posts.push_back(readPost(s));
    return posts;
}

} // namespace board
