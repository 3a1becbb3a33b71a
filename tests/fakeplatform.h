// SPDX-License-Identifier: MIT
#pragma once

#include "platform/platform.h"

#include <QElapsedTimer>
#include <QHash>
#include <QStringList>
#include <functional>

// Stands in for the operating system: records every call and answers as the test says.
class FakePlatform : public ponpira::Platform {
  public:
    struct Message {
        QString prompt;
        QString title;
        QWidget* parent;
    };
    struct Opened {
        QString url;
    };
    struct Value {
        std::uint32_t type = 0; // 0: no such value
        QByteArray data;
    };

    QList<Message> messages;
    std::function<void(const Message&)> onMessage; // runs while the "box" is open
    QList<Opened> opened;
    bool openSucceeds = true;
    QStringList boardChecks; // "address port"
    ponpira::LocalBoardState boardState = ponpira::LocalBoardState::Answering;
    QStringList started;
    bool startSucceeds = true;
    QStringList existingFiles;
    // key path -> value name -> value; keys present here open, others do not.
    QHash<QString, QHash<QString, Value>> registry;
    int openKeys = 0; // opened minus closed
    QList<QPair<QWidget*, ponpira::ImeMode>> imeRequests;

    void messageBox(QWidget* parent, const QString& prompt, const QString& title) override {
        messages.append({prompt, title, parent});
        if (onMessage)
            onMessage(messages.last());
    }
    bool openUrl(QWidget*, const QString& url, const QString&) override {
        opened.append({url});
        return openSucceeds;
    }
    ponpira::LocalBoardState ensureLocalBoard(const QString& address, quint16 port) override {
        boardChecks.append(address + u' ' + QString::number(port));
        return boardState;
    }
    bool startProgram(const QString& path) override {
        started.append(path);
        return startSucceeds;
    }
    bool fileExists(const QString& path) override { return existingFiles.contains(path); }
    // As for an ordinary user: machine keys may be read, not written.
    std::int32_t regOpenKey(ponpira::RegKey root, const QString& subKey, std::uint32_t access,
                            ponpira::RegKey& key) override {
        key = 0;
        if (root != ponpira::hkeyLocalMachine || !registry.contains(subKey))
            return ponpira::errorFileNotFound;
        if ((access & ~ponpira::keyRead) != 0)
            return ponpira::errorAccessDenied;
        keys_.append(subKey);
        key = static_cast<ponpira::RegKey>(keys_.size());
        ++openKeys;
        return ponpira::errorSuccess;
    }
    std::int32_t regQueryValue(ponpira::RegKey key, const QString& valueName, std::uint32_t& type,
                               QByteArray& buffer, std::uint32_t& dataSize) override {
        const Value v = registry.value(keys_.value(int(key) - 1)).value(valueName);
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
    QString fromAnsi(const QByteArray& bytes) override { return QString::fromUtf8(bytes); }
    void applyImeMode(QWidget* box, ponpira::ImeMode mode) override {
        imeRequests.append({box, mode});
    }

  private:
    QStringList keys_;
};
