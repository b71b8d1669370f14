#pragma once

#include <optional>
#include <string>
#include <vector>

namespace harbrook::cli {

// One session command, read and checked before the session connects.
struct CliCommand {
    std::string verb;
    // "-r" for the tree forms of get, put and rm; "--raw" for ls.
    bool recursive = false;
    bool raw = false;
    // get and put of one file: -c continues a partial target at its size, -n never
    // overwrites an existing target.
    bool resume = false;
    bool noClobber = false;
    std::vector<std::string> names;
};

// Splits a command into words the way a shell does: blanks and tabs separate words;
// 'single quotes' keep everything literally; "double quotes" keep blanks, and in them
// a backslash escapes only " and \; outside quotes a backslash takes the next
// character literally. Returns nothing and sets `error` for an unclosed quote or a
// backslash at the end.
std::optional<std::vector<std::string>> splitCommandWords(const std::string& command,
                                                          std::string& error);

// Reads one command and checks its words (known verb, flags, number of names).
std::optional<CliCommand> parseCliCommand(const std::string& command, std::string& error);

}  // namespace harbrook::cli
