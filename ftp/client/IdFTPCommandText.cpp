#include "ftp/client/IdFTPCommandText.h"

#include <algorithm>

#include "ftp/IdFTPExceptions.h"
#include "ftp/transport/IdReply.h"

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

namespace {

std::vector<std::string> splitAt(const std::string& text, char delimiter) {
    std::vector<std::string> fields;
    std::size_t start = 0;
    for (;;) {
        const std::size_t end = text.find(delimiter, start);
        fields.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) {
            return fields;
        }
        start = end + 1;
    }
}

long long wholeNumber(const std::string& field) {
    const std::string trimmed = trimControl(field);
    long long value = 0;
    if (!parseWholeInteger(trimmed, value)) {
        throw EConvertError("'" + trimmed + "' is not a valid integer value");
    }
    return value;
}

[[noreturn]] void invalidPort(const std::string& text) {
    throw EIdFTPServerSentInvalidPort("Server sent invalid port number (" + text + ")");
}

}  // namespace

TIdFTPDataEndpoint parsePasvReply(const std::string& line) {
    const std::string text = trimControl(line);
    const std::size_t open = text.find('(');
    const std::size_t close = text.find(')');
    std::string numbers;
    if (open != std::string::npos && close != std::string::npos) {
        numbers = close > open ? text.substr(open + 1, close - open - 1) : std::string();
    } else {
        const std::size_t space = text.rfind(' ');
        numbers = space == std::string::npos ? text : text.substr(space + 1);
    }
    std::vector<std::string> fields = splitAt(numbers, ',');
    fields.resize(std::max<std::size_t>(fields.size(), 6));
    const long long high = wholeNumber(fields[4]);
    const long long low = wholeNumber(fields[5]);
    const long long port = (high % 256) * 256 + (low % 256);
    if (port < 1 || port > 65535) {
        invalidPort(trimControl(fields[4]) + "," + trimControl(fields[5]));
    }
    return {fields[0] + "." + fields[1] + "." + fields[2] + "." + fields[3],
            static_cast<std::uint16_t>(port)};
}

TIdFTPDataEndpoint parseEpsvReply(const std::string& line) {
    const std::string text = trimControl(line);
    const std::size_t open = text.find('(');
    const std::size_t close = text.find(')');
    if (open == std::string::npos || close == std::string::npos || close <= open + 1) {
        invalidPort(text);
    }
    const std::string inner = text.substr(open + 1, close - open - 1);
    std::vector<std::string> fields = splitAt(inner, inner.front());
    fields.resize(std::max<std::size_t>(fields.size(), 4));
    const std::string portText = trimControl(fields[3]);
    long long port = 0;
    if (!parseWholeInteger(portText, port) || port < 1 || port > 65535) {
        invalidPort(portText);
    }
    return {fields[2], static_cast<std::uint16_t>(port)};
}

}  // namespace harbrook
