#include "platform/SocketHandle.h"

#include <unistd.h>

namespace harbrook {

SocketHandle& SocketHandle::operator=(SocketHandle&& other) noexcept {
    if (this != &other) {
        reset(other.release());
    }
    return *this;
}

int SocketHandle::release() {
    int fd = m_fd;
    m_fd = -1;
    return fd;
}

void SocketHandle::reset(int fd) {
    if (m_fd >= 0) {
        // The descriptor is gone whatever close() reports, and retrying on EINTR could
        // close a descriptor another thread has just been given.
        ::close(m_fd);
    }
    m_fd = fd;
}

}  // namespace harbrook
