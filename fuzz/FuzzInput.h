#pragma once

// What every fuzz target shares: the input as text, and a file holding it for the
// readers that take a path.

#include <sys/mman.h>
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace harbrook::fuzz {

inline std::string textOf(const std::uint8_t* data, std::size_t size) {
    return std::string(reinterpret_cast<const char*>(data), size);
}

// The input cut at LF into lines (without the LF), as a reader of lines gets them.
inline std::vector<std::string> linesOf(std::string_view text) {
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at <= text.size()) {
        const std::size_t end = text.find('\n', at);
        if (end == std::string_view::npos) {
            if (at < text.size()) {
                lines.emplace_back(text.substr(at));
            }
            break;
        }
        lines.emplace_back(text.substr(at, end - at));
        at = end + 1;
    }
    return lines;
}

// A file in memory holding the input, named by a path the readers can open; closed
// with the object.
class MemoryFile {
public:
    explicit MemoryFile(std::string_view bytes) : m_fd(::memfd_create("harbrook-fuzz", MFD_CLOEXEC)) {
        std::size_t done = 0;
        while (m_fd >= 0 && done < bytes.size()) {
            const ssize_t wrote = ::write(m_fd, bytes.data() + done, bytes.size() - done);
            if (wrote <= 0) {
                break;
            }
            done += static_cast<std::size_t>(wrote);
        }
    }
    ~MemoryFile() {
        if (m_fd >= 0) {
            ::close(m_fd);
        }
    }
    MemoryFile(const MemoryFile&) = delete;
    MemoryFile& operator=(const MemoryFile&) = delete;
    std::string path() const { return "/proc/self/fd/" + std::to_string(m_fd); }

private:
    int m_fd;
};

}  // namespace harbrook::fuzz
