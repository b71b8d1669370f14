#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>
#include <string>
#include <vector>

#include "platform/SocketHandle.h"

namespace harbrook::testing {

// A loopback port that nothing listens on (bound once, then released).
std::uint16_t unusedLoopbackPort();

// A listener whose accept queue is full, so a further connect to it gets no answer
// and waits until the client gives up: a host that never answers, on loopback.
class SaturatedListener {
public:
    SaturatedListener();
    std::uint16_t port() const { return m_port; }

private:
    SocketHandle m_listener;
    std::vector<SocketHandle> m_fillers;
    std::uint16_t m_port = 0;
};

}  // namespace harbrook::testing

namespace harbrook::testing {

// Accepts one connection on a loopback port and keeps every byte it receives until
// the client closes, for checking what a client wrote.
class ByteSink {
public:
    ByteSink();
    ~ByteSink();
    ByteSink(const ByteSink&) = delete;
    ByteSink& operator=(const ByteSink&) = delete;

    std::uint16_t port() const { return m_port; }
    // The bytes received once the client has closed (or what came within ms).
    std::string waitForClose(int ms = 5000);

private:
    void run();

    SocketHandle m_listener;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::mutex m_mutex;
    std::condition_variable m_done;
    bool m_closed = false;
    std::string m_bytes;
    std::thread m_thread;
};

}  // namespace harbrook::testing
