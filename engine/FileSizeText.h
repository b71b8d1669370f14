#pragma once

#include <cstdint>
#include <string>

namespace harbrook {

// The one size text of the program: "1.00 KB", "4.66 GB", "1023 Byte(s)"; the decimal
// separator is the locale's.
std::string FormatFileSize(std::int64_t bytes);

}  // namespace harbrook
