#include "platform/Stream.h"

#include "platform/MessageText.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace harbrook {

std::int64_t TMemoryStream::Read(void* buffer, std::int64_t count) {
    const std::int64_t available = Size() - m_position;
    if (count <= 0 || available <= 0) {
        return 0;
    }
    const std::int64_t taken = std::min(count, available);
    std::memcpy(buffer, m_bytes.data() + m_position, static_cast<size_t>(taken));
    m_position += taken;
    return taken;
}

void TMemoryStream::Write(const void* buffer, std::int64_t count) {
    if (count <= 0) {
        return;
    }
    const auto end = static_cast<size_t>(m_position + count);
    if (end > m_bytes.size()) {
        m_bytes.resize(end);
    }
    std::memcpy(m_bytes.data() + m_position, buffer, static_cast<size_t>(count));
    m_position += count;
}

void TMemoryStream::SetSize(std::int64_t size) {
    m_bytes.resize(static_cast<size_t>(std::max<std::int64_t>(size, 0)));
    m_position = std::min(m_position, Size());
}

TFileStream::TFileStream(const std::string& path, FileOpenMode mode, unsigned permissions) : m_path(path) {
    int flags = O_CLOEXEC;
    bool creates = false;
    switch (mode) {
        case FileOpenMode::Create: flags |= O_RDWR | O_CREAT | O_TRUNC; creates = true; break;
        case FileOpenMode::CreateNew: flags |= O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW; creates = true; break;
        case FileOpenMode::OpenRead: flags |= O_RDONLY; break;
        case FileOpenMode::OpenWrite: flags |= O_WRONLY; break;
        case FileOpenMode::OpenReadWrite: flags |= O_RDWR; break;
        case FileOpenMode::WriteInto: flags |= O_WRONLY | O_NOFOLLOW; break;
    }
    do {
        m_fd = ::open(path.c_str(), flags, static_cast<mode_t>(permissions));
    } while (m_fd < 0 && errno == EINTR);
    if (m_fd < 0) {
        fail(creates ? "Cannot create file" : "Cannot open file");
    }
}

TFileStream::~TFileStream() {
    if (m_fd >= 0) {
        ::close(m_fd);
    }
}

std::int64_t TFileStream::Read(void* buffer, std::int64_t count) {
    if (count <= 0) {
        return 0;
    }
    for (;;) {
        const ssize_t got = ::pread(m_fd, buffer, static_cast<size_t>(count), m_position);
        if (got >= 0) {
            m_position += got;
            return got;
        }
        if (errno != EINTR) {
            fail("Read error on");
        }
    }
}

void TFileStream::Write(const void* buffer, std::int64_t count) {
    const char* bytes = static_cast<const char*>(buffer);
    while (count > 0) {
        // A pipe or a terminal has no positions: it takes the bytes in order.
        const ssize_t put = m_sequential ? ::write(m_fd, bytes, static_cast<size_t>(count))
                                         : ::pwrite(m_fd, bytes, static_cast<size_t>(count), m_position);
        if (put < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == ESPIPE && !m_sequential) {
                m_sequential = true;
                continue;
            }
            fail("Write error on");
        }
        bytes += put;
        count -= put;
        m_position += put;
    }
}

std::int64_t TFileStream::Size() const {
    struct stat info {};
    if (::fstat(m_fd, &info) != 0) {
        fail("Cannot read the size of");
    }
    return info.st_size;
}

void TFileStream::SetSize(std::int64_t size) {
    if (::ftruncate(m_fd, size) != 0) {
        fail("Cannot set the size of");
    }
    m_position = std::min(m_position, size);
}

void TFileStream::fail(const char* action) const {
    // A path can be as long as the system allows (4 KiB); the message stays readable.
    const int reason = errno;
    throw EStreamError(std::string(action) + " \"" + ShortenedForMessage(m_path) + "\". " + std::strerror(reason));
}

}  // namespace harbrook
