#pragma once

// Runs the real ponpira-board as a child process on 127.0.0.1 and talks HTTP to it.

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <sys/types.h>
#include <vector>

namespace boardtest {

inline constexpr std::string_view kMain = "/home/velmora/cgi-bin/aska/aska.cgi";
inline constexpr std::string_view kDemo = "/home/velmora/cgi-bin/aska/demoaska.cgi";

// A fresh folder, removed with its contents at the end.
class TempDir {
  public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

  private:
    std::filesystem::path path_;
};

struct RunResult {
    int exitCode = -1; // -1: killed or did not finish
    std::string out, err;
};

// Runs a program to the end (at most the given time), with extra NAME=VALUE environment.
RunResult runProgram(const std::vector<std::string>& argv, const std::vector<std::string>& env = {},
                     std::chrono::seconds limit = std::chrono::seconds(60));
// Runs ponpira-board with the arguments.
RunResult runBoard(const std::vector<std::string>& args);

std::string boardExe();
// A port on 127.0.0.1 that was free a moment ago.
int freePort();

class BoardProcess {
  public:
    // Starts the server on 127.0.0.1 on a free port and waits until it listens.
    explicit BoardProcess(std::filesystem::path db);
    ~BoardProcess();
    BoardProcess(const BoardProcess&) = delete;
    BoardProcess& operator=(const BoardProcess&) = delete;

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    // SIGTERM, then waits for the exit; returns the exit status (-1 if it had to be killed).
    int stop();
    // SIGKILL: no chance to finish anything.
    void kill();

  private:
    pid_t pid_ = -1;
    int port_ = 0;
};

struct Response {
    int status = 0; // 0: no answer
    std::string headers;
    std::string body;

    std::string header(std::string_view name) const;
};

// Sends the request bytes as they are and reads the answer to the end of the connection.
Response rawRequest(int port, std::string_view request);
Response get(int port, std::string_view target);
Response post(int port, std::string_view target, std::string_view formBody);

// Percent-encodes every byte but letters, digits and "-._~", as the game does.
std::string encode(std::string_view text);

// A post as the database holds it, read straight from the file.
struct StoredPost {
    std::int64_t id = 0;
    std::string board, name, email, subject, comment, url;
    std::int64_t postedAt = 0;
    std::optional<std::string> salt, hash;
};
std::vector<StoredPost> readDatabase(const std::filesystem::path& db);

// The query of a result post, keys in the game's order; values are encoded here.
std::string registTarget(std::string_view path, std::string_view name, std::string_view comment,
                         std::string_view pwd = "", std::string_view email = "",
                         std::string_view url = "", std::string_view sub = "結果");

} // namespace boardtest
