// SPDX-License-Identifier: MIT
#pragma once

#include <stdexcept>
#include <string>

namespace ponpira {

// The program's own run-time errors. Each carries the Japanese sentence that the player is shown
// when a handler fails, so the handler guard never has to guess what went wrong.
class Error : public std::runtime_error {
  public:
    explicit Error(std::u16string message);
    const std::u16string& message() const noexcept { return message_; }

  private:
    std::u16string message_;
};

// A 16-bit counter, limit or product left -32768..32767.
class OverflowError : public Error {
  public:
    OverflowError() : Error(u"数値が扱える範囲（-32768～32767）を超えました。") {}
};

// Text that should have been a number was not.
class ConversionError : public Error {
  public:
    explicit ConversionError(const std::u16string& text)
        : Error(u"「" + text + u"」は数値として読めません。") {}
};

// A call was given something it cannot work with (for example a registry value with no data).
class InvalidArgumentError : public Error {
  public:
    InvalidArgumentError() : Error(u"引数が正しくありません。") {}
};

} // namespace ponpira
