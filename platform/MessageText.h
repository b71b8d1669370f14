#pragma once

#include <cstddef>
#include <string>

namespace harbrook {

// A path or name as it goes into a message: whole when short, otherwise its start and
// its end around "…" (a 4 KiB path would make a box or a terminal line unreadable).
// Never cuts inside a UTF-8 sequence.
std::string ShortenedForMessage(const std::string& text, std::size_t limit = 160);

}  // namespace harbrook
