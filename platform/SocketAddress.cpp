#include "platform/SocketAddress.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <memory>
#include <mutex>
#include <thread>

#include "platform/Interrupt.h"
#include "platform/SocketErrors.h"

namespace harbrook {

std::string SocketAddress::ip() const {
    char text[INET6_ADDRSTRLEN] = {};
    if (family() == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(&storage);
        inet_ntop(AF_INET, &v4->sin_addr, text, sizeof text);
    } else if (family() == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(&storage);
        inet_ntop(AF_INET6, &v6->sin6_addr, text, sizeof text);
    }
    return text;
}

std::uint16_t SocketAddress::port() const {
    if (family() == AF_INET) {
        return ntohs(reinterpret_cast<const sockaddr_in*>(&storage)->sin_port);
    }
    if (family() == AF_INET6) {
        return ntohs(reinterpret_cast<const sockaddr_in6*>(&storage)->sin6_port);
    }
    return 0;
}

void SocketAddress::setPort(std::uint16_t port) {
    if (family() == AF_INET) {
        reinterpret_cast<sockaddr_in*>(&storage)->sin_port = htons(port);
    } else if (family() == AF_INET6) {
        reinterpret_cast<sockaddr_in6*>(&storage)->sin6_port = htons(port);
    }
}

std::optional<SocketAddress> numericAddress(const std::string& ip, std::uint16_t port, int family) {
    SocketAddress address;
    if (family == AF_INET) {
        auto* v4 = reinterpret_cast<sockaddr_in*>(&address.storage);
        if (inet_pton(AF_INET, ip.c_str(), &v4->sin_addr) != 1) {
            return std::nullopt;
        }
        v4->sin_family = AF_INET;
        address.length = sizeof(sockaddr_in);
    } else {
        auto* v6 = reinterpret_cast<sockaddr_in6*>(&address.storage);
        if (inet_pton(AF_INET6, ip.c_str(), &v6->sin6_addr) != 1) {
            return std::nullopt;
        }
        v6->sin6_family = AF_INET6;
        address.length = sizeof(sockaddr_in6);
    }
    address.setPort(port);
    return address;
}

namespace {

// getaddrinfo into `address`: 0 or an error number.
int lookUp(const std::string& host, std::uint16_t port, int family, SocketAddress& address) {
    addrinfo hints{};
    hints.ai_family = family;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* results = nullptr;
    const int status = getaddrinfo(host.c_str(), nullptr, &hints, &results);
    if (status != 0 || results == nullptr) {
        if (results != nullptr) {
            freeaddrinfo(results);
        }
        if (status == EAI_SYSTEM && errno != 0) {
            return errno;
        }
        return kHostNotFoundError;
    }
    std::memcpy(&address.storage, results->ai_addr, results->ai_addrlen);
    address.length = results->ai_addrlen;
    freeaddrinfo(results);
    address.setPort(port);
    return 0;
}

std::atomic<HostLookup> g_lookup{nullptr};

int currentLookUp(const std::string& host, std::uint16_t port, int family, SocketAddress& address) {
    const HostLookup lookup = g_lookup.load();
    return lookup != nullptr ? lookup(host, port, family, address) : lookUp(host, port, family, address);
}

// A lookup the caller may stop waiting for: getaddrinfo cannot be interrupted, so it
// runs on a thread of its own that owns everything it uses and ends when the resolver
// does, while the caller goes at once.
int interruptibleLookUp(const std::string& host, std::uint16_t port, int family, SocketAddress& address,
                        const TInterrupter& interrupter) {
    struct Lookup {
        std::mutex lock;
        std::condition_variable done;
        bool finished = false;
        int error = 0;
        SocketAddress address;
    };
    auto lookup = std::make_shared<Lookup>();
    std::thread([lookup, host, port, family] {
        SocketAddress found;
        const int error = currentLookUp(host, port, family, found);
        std::lock_guard guard(lookup->lock);
        lookup->error = error;
        lookup->address = found;
        lookup->finished = true;
        lookup->done.notify_all();
    }).detach();
    std::unique_lock guard(lookup->lock);
    while (!lookup->done.wait_for(guard, std::chrono::milliseconds(20), [&] { return lookup->finished; })) {
        if (interrupter.Raised()) {
            throw EInterrupted();
        }
    }
    address = lookup->address;
    return lookup->error;
}

}  // namespace

int resolveAddress(const std::string& host, std::uint16_t port, int family,
                   SocketAddress& address) {
    if (auto literal = numericAddress(host, port, family)) {
        address = *literal;
        return 0;
    }
    if (const TInterrupter* interrupter = ThreadInterrupter()) {
        CheckInterrupted();
        return interruptibleLookUp(host, port, family, address, *interrupter);
    }
    return currentLookUp(host, port, family, address);
}

HostChoice ChooseHostFamily(const std::string& host) {
    HostChoice choice;
    choice.host = host;
    if (host.size() > 2 && host.front() == '[' && host.back() == ']') {
        choice.host = host.substr(1, host.size() - 2);
    }
    if (choice.host.find(':') != std::string::npos) {
        choice.family = AF_INET6;
        return choice;
    }
    SocketAddress ignored;
    if (resolveAddress(choice.host, 0, AF_INET, ignored) != 0 &&
        resolveAddress(choice.host, 0, AF_INET6, ignored) == 0) {
        choice.family = AF_INET6;
    }
    return choice;
}

void SetHostLookup(HostLookup lookup) {
    g_lookup = lookup;
}

std::optional<SocketAddress> localAddressOf(int fd) {
    SocketAddress address;
    address.length = sizeof address.storage;
    if (getsockname(fd, address.get(), &address.length) != 0) {
        return std::nullopt;
    }
    return address;
}

std::optional<SocketAddress> peerAddressOf(int fd) {
    SocketAddress address;
    address.length = sizeof address.storage;
    if (getpeername(fd, address.get(), &address.length) != 0) {
        return std::nullopt;
    }
    return address;
}

bool waitForSocket(int fd, short events, int ms) {
    using Clock = std::chrono::steady_clock;
    const auto start = Clock::now();
    for (;;) {
        int wait = ms;
        if (ms > 0) {
            const auto spent = std::chrono::duration_cast<std::chrono::milliseconds>(
                                   Clock::now() - start).count();
            wait = spent >= ms ? 0 : ms - static_cast<int>(spent);
        }
        const TInterrupter* interrupter = ThreadInterrupter();
        pollfd entries[2] = {{fd, events, 0}, {interrupter != nullptr ? interrupter->WaitHandle() : -1, POLLIN, 0}};
        const int ready = ::poll(entries, interrupter != nullptr ? 2 : 1, wait < 0 ? -1 : wait);
        if (ready > 0 && (entries[1].revents & POLLIN) != 0) {
            throw EInterrupted();
        }
        if (ready > 0) {
            return true;
        }
        if (ready == 0) {
            return false;
        }
        if (errno != EINTR) {
            // A descriptor poll cannot watch: let the next call on it report why.
            return true;
        }
    }
}

}  // namespace harbrook
