#include "board/store.h"

#include "board/password.h"

#include <sqlite3.h>

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

constexpr const char* kSchema = R"sql(
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

} // namespace

struct Store::Connection {
    struct Db {
        sqlite3* handle = nullptr;
        ~Db() { sqlite3_close_v2(handle); }
    } db; // declared first, so closed after the statements are finalized

    std::unique_ptr<Statement> insert, page, count, findPassword, remove, all, begin, commit,
        rollback;

    void prepare() {
        const std::string cols = kColumns;
        insert = std::make_unique<Statement>(
            db.handle, "INSERT INTO posts (board, name, email, subject, comment, url, posted_at, "
                       "pwd_salt, pwd_hash) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)");
        page = std::make_unique<Statement>(
            db.handle,
            ("SELECT " + cols + " FROM posts WHERE board = ? ORDER BY id DESC LIMIT ? OFFSET ?")
                .c_str());
        count =
            std::make_unique<Statement>(db.handle, "SELECT count(*) FROM posts WHERE board = ?");
        findPassword = std::make_unique<Statement>(
            db.handle, "SELECT pwd_salt, pwd_hash FROM posts WHERE board = ? AND id = ?");
        remove =
            std::make_unique<Statement>(db.handle, "DELETE FROM posts WHERE board = ? AND id = ?");
        all = std::make_unique<Statement>(db.handle,
                                          ("SELECT " + cols + " FROM posts ORDER BY id").c_str());
        begin = std::make_unique<Statement>(db.handle, "BEGIN IMMEDIATE");
        commit = std::make_unique<Statement>(db.handle, "COMMIT");
        rollback = std::make_unique<Statement>(db.handle, "ROLLBACK");
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

  private:
    Store& store_;
    std::unique_ptr<Connection> conn_;
};

Store::Store(std::string path, Mode mode, StoreLimits limits)
    : path_(std::move(path)), mode_(mode), limits_(limits) {
    // Opening one connection now reports a bad path at start-up rather than at the first post.
    idle_.push_back(open());
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
        exec(db, kSchema);
    }
    conn->prepare();
    return conn;
}

Added Store::add(const NewPost& post, std::int64_t postedAt) {
    // Hashing takes no lock, so posts wait on each other only for the write itself.
    PasswordHash hash;
    if (!post.password.empty())
        hash = hashPassword(post.password);
    Lease conn(*this);
    std::lock_guard lock(writeMutex_);
    Statement& s = *conn->insert;
    Statement::Reset reset(s);
    s.bind(1, boardName(post.board));
    s.bind(2, post.name);
    s.bind(3, post.email);
    s.bind(4, post.subject);
    s.bind(5, post.comment);
    s.bind(6, post.url);
    s.bind(7, postedAt);
    if (post.password.empty()) {
        s.bindNull(8);
        s.bindNull(9);
    } else {
        s.bindBlob(8, hash.salt);
        s.bindBlob(9, hash.digest);
    }
    s.step();
    return {sqlite3_last_insert_rowid(conn->db.handle), false};
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
    std::lock_guard lock(writeMutex_);
    // The check and the delete are one transaction, so the post checked is the post deleted.
    conn->begin->run();
    try {
        DeleteResult result;
        {
            Statement& s = *conn->findPassword;
            Statement::Reset reset(s);
            s.bind(1, boardName(board));
            s.bind(2, id);
            if (!s.step())
                result = DeleteResult::NotFound;
            else if (s.isNull(1))
                result = DeleteResult::NoPassword;
            else if (!verifyPassword({s.blob(0), s.blob(1)}, password))
                result = DeleteResult::WrongPassword;
            else
                result = DeleteResult::Deleted;
        }
        if (result == DeleteResult::Deleted) {
            Statement& s = *conn->remove;
            s.bind(1, boardName(board));
            s.bind(2, id);
            s.run();
        }
        conn->commit->run();
        return result;
    } catch (...) {
        conn->rollback->run();
        throw;
    }
}

DeleteResult Store::removeAsOperator(Board board, std::int64_t id) {
    Lease conn(*this);
    std::lock_guard lock(writeMutex_);
    Statement& s = *conn->remove;
    s.bind(1, boardName(board));
    s.bind(2, id);
    s.run();
    return sqlite3_changes(conn->db.handle) > 0 ? DeleteResult::Deleted : DeleteResult::NotFound;
}

std::vector<RankEntry> Store::ranking(int, int) {
    return {};
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
