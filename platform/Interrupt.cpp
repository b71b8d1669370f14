#include "platform/Interrupt.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <system_error>

namespace harbrook {

namespace {
thread_local const TInterrupter* t_interrupter = nullptr;
}

TInterrupter::TInterrupter() : m_fd(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {
    if (m_fd < 0) {
        throw std::system_error(errno, std::generic_category(), "eventfd");
    }
}

TInterrupter::~TInterrupter() {
    ::close(m_fd);
}

void TInterrupter::Raise() {
    const std::uint64_t one = 1;
    // The counter only grows until Reset; a full counter is raised all the same.
    [[maybe_unused]] const ssize_t written = ::write(m_fd, &one, sizeof one);
}

void TInterrupter::Reset() {
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_fd, &value, sizeof value);
}

bool TInterrupter::Raised() const {
    pollfd entry{m_fd, POLLIN, 0};
    return ::poll(&entry, 1, 0) > 0 && (entry.revents & POLLIN) != 0;
}

ScopedInterrupter::ScopedInterrupter(const TInterrupter& interrupter) : m_outer(t_interrupter) {
    t_interrupter = &interrupter;
}

ScopedInterrupter::~ScopedInterrupter() {
    t_interrupter = m_outer;
}

const TInterrupter* ThreadInterrupter() {
    return t_interrupter;
}

void CheckInterrupted() {
    if (t_interrupter != nullptr && t_interrupter->Raised()) {
        throw EInterrupted();
    }
}

}  // namespace harbrook
