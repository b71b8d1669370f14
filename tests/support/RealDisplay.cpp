#include "tests/support/RealDisplay.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace harbrook::testing {

namespace {

bool hasCommand(const char* name) {
    return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0;
}

pid_t spawn(const std::vector<std::string>& args) {
    const pid_t pid = ::fork();
    if (pid == 0) {
        // Quiet, in a process group of its own so that nothing it starts outlives it, and
        // ended with the test program however that ends.
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        std::vector<char*> argv;
        for (const std::string& arg : args) {
            argv.push_back(const_cast<char*>(arg.c_str()));
        }
        argv.push_back(nullptr);
        ::execvp(argv[0], argv.data());
        ::_exit(127);
    }
    return pid;
}

void stopProcess(pid_t& pid) {
    if (pid <= 0) {
        return;
    }
    ::kill(-pid, SIGTERM);
    ::kill(pid, SIGTERM);
    for (int waited = 0; waited < 2000; waited += 10) {
        if (::waitpid(pid, nullptr, WNOHANG) == pid) {
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-pid, SIGKILL);
    ::kill(pid, SIGKILL);
    ::waitpid(pid, nullptr, 0);
    pid = -1;
}

}  // namespace

RealDisplay::RealDisplay() {
    for (const char* tool : {"Xvfb", "openbox", "xdotool", "wmctrl"}) {
        if (!hasCommand(tool)) {
            m_reason = std::string(tool) + " is not installed (scripts/install-deps installs it)";
            return;
        }
    }
    // Xvfb writes the display number it took to the descriptor it is given.
    int numberPipe[2];
    if (::pipe(numberPipe) != 0) {
        m_reason = "no pipe for Xvfb's display number";
        return;
    }
    m_server = ::fork();
    if (m_server == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGTERM);
        ::close(numberPipe[0]);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        const std::string fd = std::to_string(numberPipe[1]);
        const std::string screen = std::to_string(kWidth) + "x" + std::to_string(kHeight) + "x24";
        ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                 "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(numberPipe[1]);
    std::string number;
    pollfd wait{numberPipe[0], POLLIN, 0};
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline && number.find('\n') == std::string::npos) {
        if (::poll(&wait, 1, 100) > 0) {
            char buffer[16];
            const ssize_t got = ::read(numberPipe[0], buffer, sizeof buffer);
            if (got <= 0) {
                break;
            }
            number.append(buffer, static_cast<std::size_t>(got));
        }
    }
    ::close(numberPipe[0]);
    if (number.find('\n') == std::string::npos) {
        m_reason = "Xvfb did not start";
        stop();
        return;
    }
    number.pop_back();
    m_name = ":" + number;
    ::setenv("DISPLAY", m_name.c_str(), 1);
    m_windowManager = spawn({"openbox"});
    // The window manager is ready once it says who it is.
    for (int waited = 0; waited < 10000; waited += 50) {
        if (!RunOnDisplay("wmctrl -m").empty()) {
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    m_reason = "openbox did not start on " + m_name;
    stop();
}

RealDisplay::~RealDisplay() {
    stop();
}

void RealDisplay::stop() {
    stopProcess(m_windowManager);
    stopProcess(m_server);
}

std::string RunOnDisplay(const std::string& command) {
    FILE* pipe = ::popen((command + " 2>/dev/null").c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    std::string output;
    std::array<char, 4096> buffer;
    std::size_t got = 0;
    while ((got = std::fread(buffer.data(), 1, buffer.size(), pipe)) > 0) {
        output.append(buffer.data(), got);
    }
    return ::pclose(pipe) == 0 ? output : std::string();
}

}  // namespace harbrook::testing
