#pragma once

#include <sys/types.h>

#include <string>

#include "tests/support/TempDir.h"

namespace harbrook::testing {

// A real Secret Service for one test: gnome-keyring-daemon on the test's private
// session bus (the test program runs under dbus-run-session with a bus of its own,
// which activates nothing), its keyrings in a folder of the test's own. Stopped (and
// the folder removed) when the object goes.
class TestKeyring {
public:
    enum class State {
        Unlocked,  // a login keyring made and opened with a password, as at a desktop login
        Locked,    // no keyring opened: every request would need a prompt nobody answers
    };
    explicit TestKeyring(State state);
    ~TestKeyring();
    TestKeyring(const TestKeyring&) = delete;
    TestKeyring& operator=(const TestKeyring&) = delete;

    // Why no test keyring can run here; empty when one can.
    static std::string unavailableReason();
    // Whether the daemon owns the Secret Service's name on the bus.
    bool ready() const { return m_ready; }
    // A daemon frozen (SIGSTOP) takes requests and never answers them.
    void freeze();
    void thaw();
    // The keyring's files, for tests that look for a password in them (they are
    // encrypted: a plain password must not be found there either).
    const std::string& folder() const { return m_home.path(); }

private:
    TempDir m_home;
    pid_t m_pid = -1;
    bool m_ready = false;
};

}  // namespace harbrook::testing
