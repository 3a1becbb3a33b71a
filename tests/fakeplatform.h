// SPDX-License-Identifier: MIT
#pragma once

#include "core/convert.h"
#include "core/platform.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Stands in for the operating system: records every call and answers as the test says. Free of
// Qt, so that the rules tests use it too.
class FakePlatform : public ponpira::Platform {
  public:
    struct Message {
        std::u16string prompt, title;
        void* parent;
    };
    struct Value {
        std::uint32_t type = 0; // 0: no such value
        std::string data;
    };

    std::vector<Message> messages;
    std::function<void(const Message&)> onMessage; // runs while the "box" is open
    std::vector<std::u16string> opened, started, existingFiles;
    std::vector<std::u16string> boardChecks; // "address port"
    bool openSucceeds = true, startSucceeds = true;
    ponpira::LocalBoardState boardState = ponpira::LocalBoardState::Answering;
    ponpira::BoardHostSetting boardSetting;
    // key path -> value name -> value; keys present here open, others do not.
    std::map<std::u16string, std::map<std::u16string, Value>> registry;
    int openKeys = 0; // opened minus closed
    std::vector<std::pair<void*, ponpira::ImeMode>> imeRequests;

    void messageBox(void* parent, const std::u16string& prompt,
                    const std::u16string& title) override {
        messages.push_back({prompt, title, parent});
        if (onMessage)
            onMessage(messages.back());
    }
    bool openUrl(void*, const std::u16string& url) override {
        opened.push_back(url);
        return openSucceeds;
    }
    ponpira::LocalBoardState ensureLocalBoard(const std::u16string& address,
                                              std::uint16_t port) override {
        boardChecks.push_back(address + u' ' + ponpira::fromAscii(std::to_string(port)));
        return boardState;
    }
    ponpira::BoardHostSetting boardHostSetting() override { return boardSetting; }
    bool startProgram(const std::u16string& path) override {
        started.push_back(path);
        return startSucceeds;
    }
    bool fileExists(const std::u16string& path) override {
        return std::find(existingFiles.begin(), existingFiles.end(), path) != existingFiles.end();
    }
    // As for an ordinary user: machine keys may be read, not written.
    std::int32_t regOpenKey(ponpira::RegKey root, const std::u16string& subKey,
                            std::uint32_t access, ponpira::RegKey& key) override {
        key = 0;
        if (root != ponpira::hkeyLocalMachine || !registry.contains(subKey))
            return ponpira::errorFileNotFound;
        if ((access & ~ponpira::keyRead) != 0)
            return ponpira::errorAccessDenied;
        keys_.push_back(subKey);
        key = static_cast<ponpira::RegKey>(keys_.size());
        ++openKeys;
        return ponpira::errorSuccess;
    }
    std::int32_t regQueryValue(ponpira::RegKey key, const std::u16string& valueName,
                               std::uint32_t& type, std::string& buffer,
                               std::uint32_t& dataSize) override {
        const Value v = registry[keys_.at(key - 1)][valueName];
        if (v.type == 0)
            return ponpira::errorFileNotFound;
        type = v.type;
        dataSize = std::uint32_t(v.data.size());
        if (v.data.size() > buffer.size())
            return ponpira::errorMoreData;
        std::copy(v.data.begin(), v.data.end(), buffer.begin());
        return ponpira::errorSuccess;
    }
    void regCloseKey(ponpira::RegKey key) override {
        if (key != 0 && key <= static_cast<ponpira::RegKey>(keys_.size()))
            --openKeys;
    }
    // The tests' registry holds UTF-8 where Windows would hold the ANSI code page.
    std::u16string fromAnsi(const std::string& bytes) override { return ponpira::fromUtf8(bytes); }
    void applyImeMode(void* box, ponpira::ImeMode mode) override {
        imeRequests.emplace_back(box, mode);
    }

  private:
    std::vector<std::u16string> keys_;
};
