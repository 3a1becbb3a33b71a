// SPDX-License-Identifier: MIT
#include "core/errors.h"

#include "core/convert.h"

namespace ponpira {

Error::Error(std::u16string message)
    : std::runtime_error(toUtf8(message)), message_(std::move(message)) {}

} // namespace ponpira
