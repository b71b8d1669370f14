#pragma once

// harbrook-cli run as a program: in the foreground (its exit status and both outputs),
// or in the background for tests that act while it works.

#include <sys/wait.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/BackgroundProgram.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {

using CliRun = ProgramRun;

inline std::string shellQuote(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return quoted + "'";
}

inline CliRun runCli(const std::vector<std::string>& args, const std::string& environment = {}) {
    TempDir dir;
    std::string command = environment + " " + shellQuote(HARBROOK_CLI_PATH);
    // Appended piece by piece: GCC 12 at -O3 mistakes `" " + std::string` for an
    // overlapping copy (-Wrestrict).
    for (const std::string& arg : args) {
        command.append(" ").append(shellQuote(arg));
    }
    command.append(" >").append(dir.file("out")).append(" 2>").append(dir.file("err"));
    CliRun run;
    const int status = std::system(command.c_str());
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(dir.file("out"));
    run.err = readFile(dir.file("err"));
    return run;
}

// harbrook-cli running in the background, for tests that act while it works.
class BackgroundCli : public BackgroundProgram {
public:
    explicit BackgroundCli(const std::vector<std::string>& args) : BackgroundProgram(HARBROOK_CLI_PATH, args) {}
};

}  // namespace harbrook::testing
