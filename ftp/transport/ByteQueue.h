#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>

namespace harbrook {

// Bytes received and not yet consumed. Consuming from the front is cheap; the storage
// is compacted once the consumed part outweighs the rest. Room handed out for a read
// is not cleared first: a transfer reads into it block after block, and clearing each
// block before the kernel fills it would cost as much as copying it.
class ByteQueue {
public:
    std::size_t size() const { return m_tail - m_head; }
    bool empty() const { return size() == 0; }
    const char* data() const { return m_bytes.get() + m_head; }

    // Room for up to `count` more bytes at the end; commit() says how many were filled.
    char* reserveTail(std::size_t count) {
        makeRoom(count);
        return m_bytes.get() + m_tail;
    }
    void commit(std::size_t count) { m_tail += count; }

    void append(const char* bytes, std::size_t count) {
        makeRoom(count);
        std::memcpy(m_bytes.get() + m_tail, bytes, count);
        m_tail += count;
    }

    // Position of `pattern` relative to the front, searching from `from` on.
    std::size_t find(const std::string& pattern, std::size_t from) const {
        const std::string_view live(data(), size());
        return from > live.size() ? std::string::npos : live.find(pattern, from);
    }

    std::string take(std::size_t count) {
        std::string taken(data(), count);
        drop(count);
        return taken;
    }

    void drop(std::size_t count) {
        m_head += count;
        if (m_head == m_tail) {
            clear();
        }
    }

    void clear() {
        m_head = 0;
        m_tail = 0;
    }

private:
    void makeRoom(std::size_t count) {
        if (m_head > 0 && (m_head >= size() || m_capacity - m_tail < count)) {
            std::memmove(m_bytes.get(), data(), size());
            m_tail -= m_head;
            m_head = 0;
        }
        if (m_capacity - m_tail < count) {
            std::size_t capacity = m_capacity == 0 ? count : m_capacity;
            while (capacity - m_tail < count) {
                capacity *= 2;
            }
            auto bytes = std::make_unique_for_overwrite<char[]>(capacity);
            if (m_tail > 0) {
                std::memcpy(bytes.get(), m_bytes.get(), m_tail);
            }
            m_bytes = std::move(bytes);
            m_capacity = capacity;
        }
    }

    std::unique_ptr<char[]> m_bytes;
    std::size_t m_capacity = 0;
    std::size_t m_head = 0;
    std::size_t m_tail = 0;
};

}  // namespace harbrook
