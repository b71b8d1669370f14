#include "engine/MessageLog.h"

#include <cctype>
#include <ctime>
#include <memory>

#include "ftp/transport/IdTCPConnection.h"

namespace {

std::string clockTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[16];
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

}  // namespace

void TMessageLog::Append(const std::string& connection, LogLine::Kind kind, const std::string& text) {
    Append(LogLine{0, clockTime(), connection, kind, text});
}

void TMessageLog::Append(LogLine line) {
    std::lock_guard guard(m_lock);
    line.number = ++m_last;
    m_lines.push_back(std::move(line));
    while (m_lines.size() > kMaxLines) {
        m_lines.pop_front();
    }
}

std::vector<LogLine> TMessageLog::Since(std::uint64_t after) const {
    std::lock_guard guard(m_lock);
    std::vector<LogLine> lines;
    // Numbers rise by one from line to line: the first wanted one is found by arithmetic.
    if (m_lines.empty() || after >= m_last) {
        return lines;
    }
    const std::uint64_t first = m_lines.front().number;
    const std::size_t from = after < first ? 0 : static_cast<std::size_t>(after - first + 1);
    lines.assign(m_lines.begin() + static_cast<std::ptrdiff_t>(from), m_lines.end());
    return lines;
}

void TMessageLog::Clear() {
    std::lock_guard guard(m_lock);
    m_lines.clear();
}

TMessageLog& MessageLog() {
    static TMessageLog log;
    return log;
}

std::string LogLineText(const LogLine& line) {
    return line.time + " [" + line.connection + "] " + (line.kind == LogLine::Kind::Command ? "> " : "< ") +
           line.text;
}

void AttachLogSink(TIdTCPConnection& connection, const std::string& name,
                   std::function<void(const LogLine& line)> sink) {
    // The kind of a reply's lines is that of its code, which only its first line has.
    auto failing = std::make_shared<bool>(false);
    connection.OnProtocolLine = [sink = std::move(sink), name, failing](bool sent, const std::string& text) {
        if (sent) {
            sink(LogLine{0, clockTime(), name, LogLine::Kind::Command, text});
            return;
        }
        if (text.size() >= 3 && text[0] >= '1' && text[0] <= '5' && std::isdigit(static_cast<unsigned char>(text[1])) &&
            std::isdigit(static_cast<unsigned char>(text[2])) && (text.size() == 3 || text[3] == ' ' || text[3] == '-')) {
            *failing = text[0] == '4' || text[0] == '5';
        }
        sink(LogLine{0, clockTime(), name, *failing ? LogLine::Kind::Error : LogLine::Kind::Reply, text});
    };
}

void AttachMessageLog(TIdTCPConnection& connection, const std::string& name, TMessageLog& log) {
    AttachLogSink(connection, name, [&log](const LogLine& line) { log.Append(line); });
}
