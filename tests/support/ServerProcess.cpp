#include "tests/support/ServerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "tests/support/TempDir.h"

namespace harbrook::testing {

namespace {

bool accepting(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(port);
    const bool connected = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
    ::close(fd);
    return connected;
}

}  // namespace

pid_t startServerProcess(const std::vector<std::string>& args, std::uint16_t port,
                         const std::vector<std::string>& environment) {
    std::vector<std::string> owned = args;
    const pid_t parent = ::getpid();
    pid_t pid = ::fork();
    if (pid < 0) {
        return -1;
    }
    if (pid == 0) {
        ::setpgid(0, 0);
        ::prctl(PR_SET_PDEATHSIG, SIGKILL);
        if (::getppid() != parent) {
            ::_exit(127);
        }
        for (const std::string& line : environment) {
            ::putenv(const_cast<char*>(line.c_str()));
        }
        std::vector<char*> argv;
        for (std::string& arg : owned) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    for (int waited = 0; waited < 5000; waited += 20) {
        if (accepting(port)) {
            return pid;
        }
        int status = 0;
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            return -1;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stopServerProcess(pid, "\n");
    return -1;
}

int signalProcessesNaming(const std::string& marker, int signal) {
    int found = 0;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos) {
            continue;
        }
        std::string commandLine;
        try {
            commandLine = readFile(entry.path().string() + "/cmdline");
        } catch (const std::exception&) {
            continue;
        }
        if (commandLine.find(marker) != std::string::npos) {
            ++found;
            if (signal != 0) {
                ::kill(std::stoi(name), signal);
            }
        }
    }
    return found;
}

void stopServerProcess(pid_t& pid, const std::string& marker) {
    if (pid <= 0) {
        return;
    }
    // Stopped (frozen) processes hear SIGKILL, but not SIGTERM.
    ::kill(-pid, SIGCONT);
    signalProcessesNaming(marker, SIGCONT);
    ::kill(-pid, SIGTERM);
    signalProcessesNaming(marker, SIGKILL);
    int status = 0;
    for (int waited = 0; waited < 3000; waited += 10) {
        if (::waitpid(pid, &status, WNOHANG) == pid) {
            ::kill(-pid, SIGKILL);
            pid = -1;
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ::kill(-pid, SIGKILL);
    ::waitpid(pid, &status, 0);
    pid = -1;
}

}  // namespace harbrook::testing
