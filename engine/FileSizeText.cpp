#include "engine/FileSizeText.h"

#include <cstdio>

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

}  // namespace harbrook
