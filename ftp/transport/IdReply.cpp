#include "ftp/transport/IdReply.h"

#include <charconv>

#include "ftp/IdException.h"

namespace harbrook {

bool parseWholeInteger(const std::string& text, long long& value) {
    const char* begin = text.data();
    const char* end = begin + text.size();
    if (begin != end && *begin == '+') {
        ++begin;
        if (begin != end && (*begin == '-' || *begin == '+')) {
            return false;
        }
    }
    if (begin == end) {
        return false;
    }
    auto [stop, error] = std::from_chars(begin, end, value);
    return error == std::errc() && stop == end;
}

std::string trimControl(const std::string& text) {
    size_t first = 0;
    size_t last = text.size();
    while (first < last && static_cast<unsigned char>(text[first]) <= ' ') {
        ++first;
    }
    while (last > first && static_cast<unsigned char>(text[last - 1]) <= ' ') {
        --last;
    }
    return text.substr(first, last - first);
}

}  // namespace harbrook

using harbrook::parseWholeInteger;
using harbrook::trimControl;

namespace {

int numericValue(const std::string& code) {
    long long value = 0;
    if (!parseWholeInteger(trimControl(code), value) || value < -2147483648LL ||
        value > 2147483647LL) {
        return 0;
    }
    return static_cast<int>(value);
}

// Text from the 1-based position `position` on, empty past the end.
std::string fromPosition(const std::string& line, size_t position) {
    return position - 1 < line.size() ? line.substr(position - 1) : std::string();
}

}  // namespace

void TIdReply::SetCode(const std::string& code) {
    const std::string trimmed = trimControl(code);
    if (!trimmed.empty()) {
        const int value = numericValue(trimmed);
        if (value < 100 || value > 999) {
            throw EIdException("Reply Code is not valid: " + code);
        }
    }
    m_text.clear();
    m_code = trimmed;
}

int TIdReply::NumericCode() const {
    return numericValue(m_code);
}

void TIdReply::Clear() {
    m_code.clear();
    m_text.clear();
}

void TIdReply::Assign(const TIdReply& source) {
    m_code = source.m_code;
    m_text = source.m_text;
}

std::string TIdReply::FormattedText() const {
    std::string text;
    for (const std::string& line : FormattedLines()) {
        text += line;
        text += "\r\n";
    }
    return text;
}

void TIdReply::RaiseReplyError() const {
    std::string message;
    for (const std::string& line : m_text) {
        message += line;
        message += "\r\n";
    }
    throw EIdReplyRFCError(NumericCode(), message);
}

bool TIdReply::IsEndMarker(const std::string& line) {
    long long value = 0;
    if (line.size() <= 3) {
        return parseWholeInteger(line, value);
    }
    return line[3] == ' ' && parseWholeInteger(line.substr(0, 3), value);
}

bool TIdReplyRFC::parseCodeAndText(const std::vector<std::string>& lines) {
    Clear();
    if (lines.empty()) {
        return false;
    }
    // "220-" and "220 " both give the code 220.
    std::string code = trimControl(lines.front().substr(0, 4));
    if (code.size() == 4 && code.back() == '-') {
        code.pop_back();
    }
    SetCode(code);

    bool indented = false;
    const size_t textStart = m_code.size() + 2;
    m_text.push_back(fromPosition(lines.front(), textStart));
    for (size_t i = 1; i < lines.size(); ++i) {
        const std::string& line = lines[i];
        if (!m_code.empty() && line.compare(0, m_code.size(), m_code) == 0) {
            m_text.push_back(fromPosition(line, textStart));
            continue;
        }
        // Middle lines of a multi-line reply need not repeat the code; some servers
        // indent them instead.
        indented = indented || (!line.empty() && line.front() == ' ');
        const size_t first = line.find_first_not_of(' ');
        m_text.push_back(first == std::string::npos ? std::string() : line.substr(first));
    }
    return indented;
}

void TIdReplyRFC::ParseLines(const std::vector<std::string>& lines) {
    parseCodeAndText(lines);
}

std::vector<std::string> TIdReplyRFC::formatLines(bool indentMidLines) const {
    std::vector<std::string> lines;
    const int code = NumericCode();
    if (code < 1) {
        return m_text;
    }
    if (m_text.empty()) {
        lines.push_back(m_code);
        return lines;
    }
    for (size_t i = 0; i + 1 < m_text.size(); ++i) {
        if (indentMidLines && i > 0) {
            lines.push_back(" " + m_text[i]);
        } else {
            lines.push_back(m_code + "-" + m_text[i]);
        }
    }
    lines.push_back(m_code + " " + m_text.back());
    return lines;
}

std::vector<std::string> TIdReplyRFC::FormattedLines() const {
    return formatLines(false);
}

void TIdReplyFTP::Assign(const TIdReply& source) {
    TIdReplyRFC::Assign(source);
    if (const auto* ftp = dynamic_cast<const TIdReplyFTP*>(&source)) {
        m_format = ftp->m_format;
    }
}

void TIdReplyFTP::ParseLines(const std::vector<std::string>& lines) {
    m_format = parseCodeAndText(lines) ? rfIndentMidLines : rfNormal;
}

std::vector<std::string> TIdReplyFTP::FormattedLines() const {
    return formatLines(m_format == rfIndentMidLines);
}
