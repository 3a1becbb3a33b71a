// SPDX-License-Identifier: MIT
#pragma once

#include <string>

namespace ponpira::win32 {

// One line in the file that PONPIRA_LOG names, if it names one: the performance counter in
// microseconds, then the line, UTF-8. The tests and benchmarks read what the program did and
// when; without the variable nothing is written, as the game keeps nothing.
void log(const std::wstring& line);

} // namespace ponpira::win32
