#pragma once

// A program of the project run in the background, for tests that act while it works
// (signal it, kill it, wait for it); its outputs go to files of its own.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace harbrook::testing {

struct ProgramRun {
    // -1 when the program did not exit by itself (a signal ended it).
    int exitCode = -1;
    std::string out;
    std::string err;
};

class BackgroundProgram {
public:
    BackgroundProgram(const std::string& path, const std::vector<std::string>& args) {
        m_pid = ::fork();
        if (m_pid == 0) {
            const int out = ::open(m_dir.file("out").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int err = ::open(m_dir.file("err").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            ::dup2(out, 1);
            ::dup2(err, 2);
            std::vector<char*> argv{const_cast<char*>(path.c_str())};
            for (const std::string& arg : args) {
                argv.push_back(const_cast<char*>(arg.c_str()));
            }
            argv.push_back(nullptr);
            ::execv(path.c_str(), argv.data());
            ::_exit(127);
        }
    }
    ~BackgroundProgram() {
        if (m_pid > 0) {
            ::kill(m_pid, SIGKILL);
            finish();
        }
    }
    BackgroundProgram(const BackgroundProgram&) = delete;
    BackgroundProgram& operator=(const BackgroundProgram&) = delete;

    void signal(int number) const { ::kill(m_pid, number); }
    // Whether the program has ended (it is then reaped: finish() reads its outputs).
    bool ended() {
        if (m_pid > 0 && ::waitpid(m_pid, &m_status, WNOHANG) == m_pid) {
            m_pid = -1;
        }
        return m_pid <= 0;
    }
    // Waits for the program to end.
    ProgramRun finish() {
        if (m_pid > 0) {
            ::waitpid(m_pid, &m_status, 0);
            m_pid = -1;
        }
        ProgramRun run;
        run.exitCode = WIFEXITED(m_status) ? WEXITSTATUS(m_status) : -1;
        run.out = readFile(m_dir.file("out"));
        run.err = readFile(m_dir.file("err"));
        return run;
    }

private:
    TempDir m_dir;
    pid_t m_pid = -1;
    int m_status = 0;
};

}  // namespace harbrook::testing
