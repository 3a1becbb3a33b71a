// SPDX-License-Identifier: MIT
#include "board/dump.h"

#include <cstdio>

namespace board {

namespace {

// Stored texts are valid UTF-8 (the form decoder sees to that), so only quotes, backslashes
// and control characters need escapes.
void jsonString(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
        case '"':
            out += "\\\"";
            break;
        case '\\':
            out += "\\\\";
            break;
        case '\n':
            out += "\\n";
            break;
        case '\r':
            out += "\\r";
            break;
        case '\t':
            out += "\\t";
            break;
        default:
            if (static_cast<unsigned char>(c) < 0x20) {
                char buf[8];
                std::snprintf(buf, sizeof buf, "\\u%04x", static_cast<unsigned char>(c));
                out += buf;
            } else {
                out += c;
            }
        }
    }
    out += '"';
}

void field(std::string& out, const char* key, std::string_view value) {
    out += ", \"";
    out += key;
    out += "\": ";
    jsonString(out, value);
}

} // namespace

std::string postsToJson(const std::vector<Post>& posts) {
    std::string out = "[";
    for (std::size_t i = 0; i < posts.size(); ++i) {
        const Post& p = posts[i];
        out += i == 0 ? "\n  " : ",\n  ";
        out += "{\"id\": " + std::to_string(p.id);
        field(out, "board", boardName(p.board));
        field(out, "name", p.name);
        field(out, "email", p.email);
        field(out, "subject", p.subject);
        field(out, "comment", p.comment);
        field(out, "url", p.url);
        out += ", \"posted_at\": " + std::to_string(p.postedAt);
        out += p.hasPassword ? ", \"has_password\": true}" : ", \"has_password\": false}";
    }
    out += posts.empty() ? "]\n" : "\n]\n";
    return out;
}

} // namespace board
