#pragma once

#include <exception>
#include <string>

namespace harbrook::cli {

// Text from a server or the disk made safe for a terminal: CR LF and LF end lines; a
// lone CR (which separates a message from its path) becomes ": "; other control bytes,
// DEL and bytes that are not UTF-8 are written as \xNN, so a hostile server cannot
// drive the terminal. Trailing line ends are dropped.
std::string forTerminal(std::string text);

// The message of a failure in the program's one form: the library's own errors as
// they are, a file system error as `Cannot <what> "path". reason`.
std::string messageOf(const std::exception& failure);

}  // namespace harbrook::cli
