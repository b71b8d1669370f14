#pragma once

#include <cstddef>
#include <string>

namespace harbrook {

// Bytes received and not yet consumed. Consuming from the front is cheap; the storage
// is compacted once the consumed part outweighs the rest.
class ByteQueue {
public:
    std::size_t size() const { return m_bytes.size() - m_head; }
    bool empty() const { return size() == 0; }
    const char* data() const { return m_bytes.data() + m_head; }

    // Room for up to `count` more bytes at the end; commit() says how many were filled.
    char* reserveTail(std::size_t count) {
        compact();
        m_filled = m_bytes.size();
        m_bytes.resize(m_filled + count);
        return m_bytes.data() + m_filled;
    }
    void commit(std::size_t count) { m_bytes.resize(m_filled + count); }

    void append(const char* bytes, std::size_t count) {
        compact();
        m_bytes.append(bytes, count);
    }

    // Position of `pattern` relative to the front, searching from `from` on.
    std::size_t find(const std::string& pattern, std::size_t from) const {
        const std::size_t found = m_bytes.find(pattern, m_head + from);
        return found == std::string::npos ? std::string::npos : found - m_head;
    }

    std::string take(std::size_t count) {
        std::string taken(data(), count);
        drop(count);
        return taken;
    }

    void drop(std::size_t count) {
        m_head += count;
        if (m_head == m_bytes.size()) {
            clear();
        }
    }

    void clear() {
        m_bytes.clear();
        m_head = 0;
    }

private:
    void compact() {
        if (m_head > 0 && m_head >= size()) {
            m_bytes.erase(0, m_head);
            m_head = 0;
        }
    }

    std::string m_bytes;
    std::size_t m_head = 0;
    std::size_t m_filled = 0;
};

}  // namespace harbrook
