#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

class TIdTCPConnection;

// The message log: every command and reply of the main connection and the workers'
// connections, with the time and the connection it belongs to ("main", "upload",
// "download"). Only the last lines are kept; any thread appends, any thread reads.
struct LogLine {
    enum class Kind { Command, Reply, Error };
    // Counts from 1 for the life of the log (Clear does not start it again).
    std::uint64_t number = 0;
    // "HH:MM:SS" local time.
    std::string time;
    std::string connection;
    Kind kind = Kind::Reply;
    std::string text;
};

class TMessageLog {
public:
    static constexpr std::size_t kMaxLines = 10000;

    void Append(const std::string& connection, LogLine::Kind kind, const std::string& text);
    // A line made elsewhere; it gets the log's next number.
    void Append(LogLine line);
    // The kept lines numbered above `after`, oldest first.
    std::vector<LogLine> Since(std::uint64_t after) const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::deque<LogLine> m_lines;
    std::uint64_t m_last = 0;
};

// The process's log, which the window shows.
TMessageLog& MessageLog();

// "12:00:01 [main] USER anonymous": a line as the pane and `harbrook-cli -v` show it;
// commands are marked "> ", replies "< ".
std::string LogLineText(const LogLine& line);

// Every command and reply of `connection` goes to `log` under `name`: a reply of 4xx or
// 5xx as an error, lines of other replies as replies.
void AttachMessageLog(TIdTCPConnection& connection, const std::string& name, TMessageLog& log = MessageLog());
// The same lines (numbered 0) to a sink of the caller's (harbrook-cli -v: stderr).
void AttachLogSink(TIdTCPConnection& connection, const std::string& name,
                   std::function<void(const LogLine& line)> sink);
