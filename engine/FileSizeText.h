#pragma once

#include <cstdint>
#include <string>

namespace harbrook {

// The one size text of the program: "1.00 KB", "4.66 GB", "1023 Byte(s)"; the decimal
// separator is the locale's.
std::string FormatFileSize(std::int64_t bytes);
// The bytes such a text stands for, as near as its three digits tell ("4.66 GB" is
// 5003613634); either decimal separator is read. -1 for any other text.
std::int64_t ApproximateFileSize(const std::string& text);

}  // namespace harbrook
