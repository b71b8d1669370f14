#include "engine/FileSizeText.h"

#include <cstdio>
#include <limits>

namespace harbrook {

std::string FormatFileSize(std::int64_t bytes) {
    char text[64];
    if (bytes / 1073741824 > 0) {
        std::snprintf(text, sizeof text, "%.2f GB", static_cast<double>(bytes) / 1073741824.0);
    } else if (bytes / 1048576 > 0) {
        std::snprintf(text, sizeof text, "%.2f MB", static_cast<double>(bytes) / 1048576.0);
    } else if (bytes / 1024 > 0) {
        std::snprintf(text, sizeof text, "%.2f KB", static_cast<double>(bytes) / 1024.0);
    } else {
        return std::to_string(bytes) + " Byte(s)";
    }
    return text;
}

std::int64_t ApproximateFileSize(const std::string& text) {
    const std::size_t blank = text.find(' ');
    if (blank == std::string::npos || blank == 0) {
        return -1;
    }
    const std::string unit = text.substr(blank + 1);
    double scale = 0;
    if (unit == "Byte(s)") {
        scale = 1;
    } else if (unit == "KB") {
        scale = 1024.0;
    } else if (unit == "MB") {
        scale = 1048576.0;
    } else if (unit == "GB") {
        scale = 1073741824.0;
    } else {
        return -1;
    }
    // Digits with at most one separator; the locale may have written either.
    double whole = 0;
    double fraction = 0;
    double place = 1;
    bool separated = false;
    for (std::size_t i = 0; i < blank; ++i) {
        const char c = text[i];
        if ((c == '.' || c == ',') && !separated && i > 0) {
            separated = true;
        } else if (c >= '0' && c <= '9') {
            if (separated) {
                place /= 10;
                fraction += (c - '0') * place;
            } else {
                whole = whole * 10 + (c - '0');
            }
        } else {
            return -1;
        }
    }
    // A size text no file can have (a listing may claim any number) reads as the
    // largest size there is, not as whatever an overflowing conversion makes of it.
    const double bytes = (whole + fraction) * scale + 0.5;
    constexpr double kLargest = 9223372036854775807.0;
    return bytes >= kLargest ? std::numeric_limits<std::int64_t>::max() : static_cast<std::int64_t>(bytes);
}

}  // namespace harbrook
