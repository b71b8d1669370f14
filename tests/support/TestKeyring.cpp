#include "tests/support/TestKeyring.h"

#include <signal.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace harbrook::testing {

namespace {

constexpr const char* kDaemon = "/usr/bin/gnome-keyring-daemon";

// Whether a name has an owner on the session bus (asked with dbus-send, which the bus
// package brings).
bool nameOwned(const std::string& name) {
    const std::string command =
        "dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus "
        "org.freedesktop.DBus.NameHasOwner string:" + name + " 2>/dev/null | grep -q 'boolean true'";
    return std::system(command.c_str()) == 0;
}

}  // namespace

std::string TestKeyring::unavailableReason() {
    if (::access(kDaemon, X_OK) != 0) {
        return "gnome-keyring-daemon is not installed";
    }
    // Never the user's own session: its keyring holds the user's real passwords.
    if (std::getenv("HARBROOK_PRIVATE_BUS") == nullptr || std::getenv("DBUS_SESSION_BUS_ADDRESS") == nullptr) {
        return "the test does not run on a private session bus (dbus-run-session)";
    }
    return {};
}

TestKeyring::TestKeyring(State state) {
    if (!unavailableReason().empty()) {
        return;
    }
    int input[2];
    if (::pipe(input) != 0) {
        return;
    }
    const std::string home = m_home.path();
    const std::string runtime = home + "/run";
    ::mkdir(runtime.c_str(), 0700);
    m_pid = ::fork();
    if (m_pid == 0) {
        ::dup2(input[0], 0);
        ::close(input[1]);
        const int quiet = ::open("/dev/null", O_WRONLY);
        ::dup2(quiet, 1);
        ::dup2(quiet, 2);
        ::setenv("HOME", home.c_str(), 1);
        ::setenv("XDG_DATA_HOME", (home + "/share").c_str(), 1);
        ::setenv("XDG_CONFIG_HOME", (home + "/config").c_str(), 1);
        ::setenv("XDG_CACHE_HOME", (home + "/cache").c_str(), 1);
        ::setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
        if (state == State::Unlocked) {
            ::execl(kDaemon, kDaemon, "--foreground", "--components=secrets", "--unlock", nullptr);
        } else {
            ::execl(kDaemon, kDaemon, "--foreground", "--components=secrets", nullptr);
        }
        ::_exit(127);
    }
    ::close(input[0]);
    if (state == State::Unlocked) {
        // The login password, read until the end of input.
        const char password[] = "harbrook-tests";
        [[maybe_unused]] const ssize_t written = ::write(input[1], password, sizeof password - 1);
    }
    ::close(input[1]);
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (!m_ready && std::chrono::steady_clock::now() < until) {
        m_ready = nameOwned("org.freedesktop.secrets");
        if (!m_ready) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
        }
    }
}

TestKeyring::~TestKeyring() {
    if (m_pid > 0) {
        ::kill(m_pid, SIGCONT);
        ::kill(m_pid, SIGKILL);
        ::waitpid(m_pid, nullptr, 0);
    }
}

void TestKeyring::freeze() {
    ::kill(m_pid, SIGSTOP);
}

void TestKeyring::thaw() {
    ::kill(m_pid, SIGCONT);
}

}  // namespace harbrook::testing
