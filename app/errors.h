// SPDX-License-Identifier: MIT
#pragma once

#include <QString>
#include <stdexcept>

namespace ponpira {

// The program's own run-time errors. Each carries the Japanese sentence that the player is shown
// when a handler fails, so the handler guard never has to guess what went wrong.
class Error : public std::runtime_error {
  public:
    explicit Error(const QString& message)
        : std::runtime_error(message.toStdString()), message_(message) {}
    const QString& message() const noexcept { return message_; }

  private:
    QString message_;
};

// A 16-bit counter, limit or product left -32768..32767.
class OverflowError : public Error {
  public:
    OverflowError() : Error(QStringLiteral("数値が扱える範囲（-32768～32767）を超えました。")) {}
};

// Text that should have been a number was not.
class ConversionError : public Error {
  public:
    explicit ConversionError(const QString& text)
        : Error(QStringLiteral("「%1」は数値として読めません。").arg(text)) {}
};

// A call was given something it cannot work with (for example a registry value with no data).
class InvalidArgumentError : public Error {
  public:
    InvalidArgumentError() : Error(QStringLiteral("引数が正しくありません。")) {}
};

} // namespace ponpira
