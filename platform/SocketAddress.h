#pragma once

#include <sys/socket.h>

#include <cstdint>
#include <optional>
#include <string>

namespace harbrook {

// An IPv4 or IPv6 socket address.
struct SocketAddress {
    sockaddr_storage storage{};
    socklen_t length = 0;

    int family() const { return storage.ss_family; }
    const sockaddr* get() const { return reinterpret_cast<const sockaddr*>(&storage); }
    sockaddr* get() { return reinterpret_cast<sockaddr*>(&storage); }
    std::string ip() const;
    std::uint16_t port() const;
    void setPort(std::uint16_t port);
};

// The address when `ip` is a literal of the family (AF_INET or AF_INET6).
std::optional<SocketAddress> numericAddress(const std::string& ip, std::uint16_t port, int family);

// Resolves a host name (or literal) of the family. Returns 0, or an error number for
// socketErrorText (kHostNotFoundError when the name is unknown). On a thread with an
// interrupter, raising it ends the wait for a slow resolver with EInterrupted.
[[nodiscard]] int resolveAddress(const std::string& host, std::uint16_t port, int family,
                                 SocketAddress& address);

// The host as a connect takes it, and the family to reach it over: a literal IPv6
// address (with or without brackets) or a name that has IPv6 addresses only goes over
// IPv6 (AF_INET6); anything else over IPv4, an unknown name too (the connect reports
// it). Both front ends choose so. Names are looked up as resolveAddress does.
struct HostChoice {
    std::string host;
    int family = AF_INET;
};
HostChoice ChooseHostFamily(const std::string& host);

// The resolver resolveAddress uses for names (getaddrinfo); a test may put a slow one
// in. Null restores getaddrinfo.
using HostLookup = int (*)(const std::string& host, std::uint16_t port, int family, SocketAddress& address);
void SetHostLookup(HostLookup lookup);

std::optional<SocketAddress> localAddressOf(int fd);
std::optional<SocketAddress> peerAddressOf(int fd);

// Waits until fd is ready for `events` (POLLIN, POLLOUT) within ms (-1: without
// limit). Hang-ups and errors count as ready so the next call reports them. The
// thread's interrupter, once raised, ends the wait with EInterrupted.
[[nodiscard]] bool waitForSocket(int fd, short events, int ms);

}  // namespace harbrook
