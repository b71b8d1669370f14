#pragma once

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace harbrook::testing {

// The reference server in a process of its own on a free port.
class ReferenceServer {
public:
    explicit ReferenceServer(const std::string& folder) {
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        m_pid = ::fork();
        if (m_pid == 0) {
            ::dup2(out[1], 1);
            ::execl(HARBROOK_UPDATE_SERVER_PATH, HARBROOK_UPDATE_SERVER_PATH, "--port", "0", folder.c_str(),
                    static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(out[1]);
        m_output = ::fdopen(out[0], "r");
        char line[512] = {};
        if (std::fgets(line, sizeof line, m_output) != nullptr) {
            const char* at = std::strstr(line, "listening on port ");
            m_port = at != nullptr ? static_cast<std::uint16_t>(std::atoi(at + 18)) : 0;
        }
    }
    ~ReferenceServer() {
        ::kill(m_pid, SIGTERM);
        ::waitpid(m_pid, nullptr, 0);
        std::fclose(m_output);
    }
    std::uint16_t port() const { return m_port; }

private:
    pid_t m_pid = -1;
    FILE* m_output = nullptr;
    std::uint16_t m_port = 0;
};

}  // namespace harbrook::testing
