// SPDX-License-Identifier: MIT
#pragma once

// The board's handlers: post, show, delete and ranking, each a plain function from a request
// that the policy has already let through to the answer.

#include "board/form.h"
#include "board/http.h"
#include "board/store.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace board {

// A request as the handlers see it.
struct Call {
    Board board = Board::Main;
    Form form;           // from the query, or from the body of a POST
    std::string client;  // the client's address, for the log
    std::int64_t no = 0; // the post a deletion names, read once by the policy
};

// A post's number as the board writes it: 1 to 18 ASCII digits, no leading zero. The lock-out
// and the deletion must read one text as one post, so nothing else is a number.
std::optional<std::int64_t> parsePostNumber(std::string_view text);

// One line on standard error, which journald keeps and stamps with the time. Never a
// password nor the operator's key.
void logLine(const std::string& line);

// An HTML page with the status; the policy adds the headers every answer carries.
http::Response htmlPage(int status, std::string html);
http::Response errorPage(int status, std::string_view message, Board board = Board::Main);

class Handlers {
  public:
    // An empty operator key: no one deletes others' posts.
    Handlers(Store& store, std::string operatorKey);

    // The board's page; "page" picks an older page, "posted" the notice after a post.
    http::Response show(const Call& call);
    // Stores the post and sends the browser to the page that shows it.
    http::Response post(const Call& call);
    // Deletes the post call.no with the password "pwd", or the operator's key; tells what came
    // of it, which the deletion lock-out counts. A deletion is answered with a redirect.
    http::Response erase(const Call& call, DeleteResult& result);
    // The best results of the main board for each game length.
    http::Response ranking(const Call& call);

    // Whether the text is the operator's key; compared in constant time.
    bool isOperatorKey(std::string_view text) const;

  private:
    Store& store_;
    std::string operatorKeyDigest_; // SHA-256 of the key; empty when there is none
};

} // namespace board
