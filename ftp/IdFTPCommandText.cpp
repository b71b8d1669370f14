#include "ftp/IdFTPCommandText.h"

#include "ftp/IdReply.h"

namespace harbrook {

std::string quotedPathOf(const std::string& line) {
    const std::size_t open = line.find('"');
    if (open == std::string::npos) {
        return {};
    }
    std::string path;
    for (std::size_t i = open + 1; i < line.size(); ++i) {
        if (line[i] != '"') {
            path += line[i];
            continue;
        }
        if (i + 1 < line.size() && line[i + 1] == '"') {
            path += '"';
            ++i;
            continue;
        }
        return path;
    }
    return {};
}

std::int64_t sizeReplyValue(const std::vector<std::string>& text) {
    std::string joined;
    for (const std::string& line : text) {
        joined += line;
        joined += "\r\n";
    }
    joined = trimControl(joined);
    const std::size_t space = joined.find(' ');
    if (space != std::string::npos) {
        joined.erase(0, space + 1);
    }
    long long value = 0;
    return parseWholeInteger(joined, value) ? value : -1;
}

}  // namespace harbrook
