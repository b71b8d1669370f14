#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace harbrook {

// The path a PWD reply quotes: "/home/user" is current directory -> /home/user. A
// doubled quote inside stands for one quote. Empty without an opening and a closing
// quote.
std::string quotedPathOf(const std::string& line);

// The number of a 213 reply to SIZE ("213 1048576", or "1048576" alone), -1 when the
// text is not a number.
std::int64_t sizeReplyValue(const std::vector<std::string>& text);

}  // namespace harbrook
