#include "tools/harbrook-cli/CliMessages.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>

namespace harbrook::cli {

namespace {

// The length of the UTF-8 sequence at `i`, or 0 when the bytes there are not one.
std::size_t utf8SequenceAt(const std::string& text, std::size_t i) {
    const auto byte = [&](std::size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char lead = byte(i);
    std::size_t length = 0;
    unsigned int lowest = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        lowest = 0x80;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        lowest = 0x800;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        lowest = 0x10000;
    } else {
        return 0;
    }
    if (i + length > text.size()) {
        return 0;
    }
    unsigned int code = lead & (0xFF >> (length + 1));
    for (std::size_t k = 1; k < length; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80) {
            return 0;
        }
        code = (code << 6) | (byte(i + k) & 0x3F);
    }
    const bool surrogate = code >= 0xD800 && code <= 0xDFFF;
    return code >= lowest && code <= 0x10FFFF && !surrogate ? length : 0;
}

}  // namespace

std::string forTerminal(std::string text) {
    // Most text is plain already (every line of a long listing): one look, no rebuild.
    const bool plain = std::all_of(text.begin(), text.end(), [](char ch) {
        const auto c = static_cast<unsigned char>(ch);
        return c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F);
    });
    if (plain && (text.empty() || text.back() != '\n')) {
        return text;
    }
    std::string shown;
    shown.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        if (c == '\r') {
            if (i + 1 < text.size() && text[i + 1] == '\n') {
                continue;
            }
            if (i + 1 < text.size()) {
                shown += ": ";
            }
            continue;
        }
        if (c == '\n' || c == '\t' || (c >= 0x20 && c < 0x7F)) {
            shown += static_cast<char>(c);
            continue;
        }
        if (c >= 0x80) {
            if (const std::size_t length = utf8SequenceAt(text, i)) {
                shown.append(text, i, length);
                i += length - 1;
                continue;
            }
        }
        char escaped[8];
        std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
        shown += escaped;
    }
    while (!shown.empty() && shown.back() == '\n') {
        shown.pop_back();
    }
    return shown;
}

std::string messageOf(const std::exception& failure) {
    if (const auto* fileError = dynamic_cast<const std::filesystem::filesystem_error*>(&failure)) {
        // "filesystem error: cannot rename: No such file or directory [a] [b]" names the
        // operation between its first two colons.
        std::string what = fileError->what();
        std::string action = "use";
        const std::size_t first = what.find(": ");
        if (first != std::string::npos) {
            const std::size_t second = what.find(": ", first + 2);
            if (second != std::string::npos) {
                action = what.substr(first + 2, second - first - 2);
                if (action.rfind("cannot ", 0) == 0) {
                    action = action.substr(7);
                }
            }
        }
        std::string message = "Cannot " + action + " \"" + fileError->path1().string() + "\"";
        if (!fileError->path2().empty()) {
            message += " to \"" + fileError->path2().string() + "\"";
        }
        return message + ". " + fileError->code().message();
    }
    return failure.what();
}

}  // namespace harbrook::cli
