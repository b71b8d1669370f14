#pragma once

// harbrook-cli run as a program: in the foreground (its exit status and both outputs),
// or in the background for tests that act while it works.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace harbrook::testing {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

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
class BackgroundCli {
public:
    explicit BackgroundCli(const std::vector<std::string>& args) {
        m_pid = ::fork();
        if (m_pid == 0) {
            const int out = ::open(m_dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(m_dir.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(HARBROOK_CLI_PATH)};
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(HARBROOK_CLI_PATH, argv.data());
            ::_exit(127);
        }
    }
    ~BackgroundCli() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            finish();
        }
    }
    void signal(int number) const { ::kill(m_pid, number); }
    CliRun finish() {
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        m_pid = -1;
        CliRun run;
        run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
        run.out = readFile(m_dir.file("out"));
        run.err = readFile(m_dir.file("err"));
        return run;
    }

private:
    TempDir m_dir;
    pid_t m_pid = -1;
};

}  // namespace harbrook::testing
