#pragma once

namespace harbrook {

// Owns one socket descriptor and closes it when it goes away.
class SocketHandle {
public:
    SocketHandle() = default;
    explicit SocketHandle(int fd) : m_fd(fd) {}
    ~SocketHandle() { close(); }

    SocketHandle(const SocketHandle&) = delete;
    SocketHandle& operator=(const SocketHandle&) = delete;
    SocketHandle(SocketHandle&& other) noexcept : m_fd(other.release()) {}
    SocketHandle& operator=(SocketHandle&& other) noexcept;

    [[nodiscard]] int get() const { return m_fd; }
    [[nodiscard]] bool isValid() const { return m_fd >= 0; }
    explicit operator bool() const { return isValid(); }

    int release();
    void reset(int fd = -1);
    void close() { reset(); }

private:
    int m_fd = -1;
};

}  // namespace harbrook
