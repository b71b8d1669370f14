#include "platform/LargeMemory.h"

#include <sys/mman.h>

#include <time.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <cstring>
#include <deque>
#include <mutex>
#include <thread>
#include <utility>

namespace harbrook {

namespace {

// Large pieces are mapped in whole units of 2 MiB: a container grown into one (a line
// table, say) is not copied again for a long while.
constexpr std::size_t kUnit = std::size_t{2} << 20;
// From here on a piece is mapped on its own and made ready on another core.
constexpr std::size_t kLargeFrom = 256 << 10;
constexpr std::size_t kFirstBlock = 64 << 10;
constexpr std::size_t kLaterBlock = 2 << 20;

std::size_t roundedToUnits(std::size_t bytes) {
    return (bytes + kUnit - 1) / kUnit * kUnit;
}

// A large page made ready in more than this (on the warmer's own clock) was backed anew
// by the host: small pages cost less from then on. Large pages the kernel has at hand
// take 0.1-0.3 ms; small pages 0.4-2.5 ms a unit; a fresh large page 3-6 ms.
constexpr long kSlowLargeUnitNs = 1'500'000;

long threadClockNs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return now.tv_sec * 1'000'000'000L + now.tv_nsec;
}

// Which pages a new large piece gets. Large pages where they come cheap: on the virtual
// machines we run on, a small page costs a fault at its first touch that clearing does
// not spare (16 MiB in small pages 7-40 ms, in large pages the kernel has ready about 1).
// But a machine that hands free memory back to its host backs a fresh large page anew
// at its first touch, slower than small pages there; once one proved so, small pages
// for the rest of the run.
std::atomic<bool> g_smallPages{false};

// The pages of a new large piece made ready on another core, a unit at a time, while
// the one who asked for it goes on filling its start: clearing fresh memory is much of
// what a large listing costs, and the core that reads and parses it need not wait.
class PageWarmer {
public:
    static PageWarmer& instance() {
        // Never destroyed: pieces may be given back while the program ends.
        static PageWarmer* const warmer = new PageWarmer();
        return *warmer;
    }

    void Warm(char* at, std::size_t bytes, bool largePages) {
        const std::lock_guard lock(m_mutex);
        if (!m_started) {
            m_started = true;
            std::thread([this] { run(); }).detach();
        }
        for (std::size_t offset = 0; offset < bytes; offset += kUnit) {
            m_queue.push_back({at + offset, std::min(kUnit, bytes - offset), largePages});
        }
        m_wake.notify_one();
    }

    // [at, at + bytes) is about to be given back: nothing more is made ready in it (the
    // addresses may soon belong to another mapping).
    void Forget(char* at, std::size_t bytes) {
        std::unique_lock lock(m_mutex);
        const auto inside = [&](const Range& range) { return range.at >= at && range.at < at + bytes; };
        m_queue.erase(std::remove_if(m_queue.begin(), m_queue.end(), inside), m_queue.end());
        m_idle.wait(lock, [&] { return m_current.at == nullptr || !inside(m_current); });
    }

private:
    struct Range {
        char* at = nullptr;
        std::size_t bytes = 0;
        bool largePages = false;
    };

    void run() {
        std::unique_lock lock(m_mutex);
        for (;;) {
            m_wake.wait(lock, [&] { return !m_queue.empty(); });
            m_current = m_queue.front();
            m_queue.pop_front();
            lock.unlock();
            // Advice: where the kernel cannot, the pages fault in when first written.
            const long started = threadClockNs();
            madvise(m_current.at, m_current.bytes, MADV_POPULATE_WRITE);
            if (m_current.largePages && threadClockNs() - started > kSlowLargeUnitNs) {
                g_smallPages = true;
            }
            lock.lock();
            m_current = {};
            m_idle.notify_all();
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::condition_variable m_idle;
    std::deque<Range> m_queue;
    Range m_current;
    bool m_started = false;
};

}  // namespace

void useSmallPagesForLargePieces() {
    g_smallPages = true;
}

std::size_t largeCapacity(std::size_t bytes) {
    return bytes < kLargeFrom ? bytes : std::max(roundedToUnits(bytes), bytes);
}

void* allocateLarge(std::size_t bytes) {
    if (bytes < kLargeFrom) {
        return ::operator new(std::max<std::size_t>(bytes, 1));
    }
    const std::size_t size = roundedToUnits(bytes);
    const bool largePages = !g_smallPages;
    // For large pages, mapped one unit longer and trimmed to unit boundaries at both ends.
    const std::size_t mapped = largePages ? size + kUnit : size;
    if (size < bytes || mapped < size) {
        throw std::bad_alloc();
    }
    void* const start = mmap(nullptr, mapped, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (start == MAP_FAILED) {
        throw std::bad_alloc();
    }
    char* at = static_cast<char*>(start);
    if (largePages) {
        const auto first = reinterpret_cast<std::uintptr_t>(start);
        const std::uintptr_t aligned = (first + kUnit - 1) / kUnit * kUnit;
        at = static_cast<char*>(start) + (aligned - first);
        if (at > start) {
            munmap(start, static_cast<std::size_t>(at - static_cast<char*>(start)));
        }
        char* const end = static_cast<char*>(start) + mapped;
        if (end > at + size) {
            munmap(at + size, static_cast<std::size_t>(end - (at + size)));
        }
    }
    // Advice only; small pages are asked for also where the kernel would give large ones
    // unasked.
    madvise(at, size, largePages ? MADV_HUGEPAGE : MADV_NOHUGEPAGE);
    PageWarmer::instance().Warm(at, size, largePages);
    return at;
}

void releaseLarge(void* at, std::size_t bytes) noexcept {
    if (at == nullptr) {
        return;
    }
    if (bytes < kLargeFrom) {
        ::operator delete(at);
        return;
    }
    PageWarmer::instance().Forget(static_cast<char*>(at), roundedToUnits(bytes));
    munmap(at, roundedToUnits(bytes));
}

LargeText::LargeText(LargeText&& other) noexcept : m_blocks(std::move(other.m_blocks)) {
    other.m_blocks.clear();
}

LargeText& LargeText::operator=(LargeText&& other) noexcept {
    if (this != &other) {
        Clear();
        m_blocks = std::move(other.m_blocks);
        other.m_blocks.clear();
    }
    return *this;
}

char* LargeText::Room(std::size_t open, std::size_t count) {
    if (!m_blocks.empty()) {
        Block& last = m_blocks.back();
        if (last.size - last.kept >= open && last.size - last.kept - open >= count) {
            return last.data + last.kept;
        }
    }
    std::size_t size = m_blocks.empty() ? kFirstBlock : kLaterBlock;
    if (open + count > size) {
        // A line longer than a block: room for it and as much again.
        size = open + count + std::max(open + count, kFirstBlock);
    }
    m_blocks.reserve(m_blocks.size() + 1);
    Block block{static_cast<char*>(allocateLarge(size)), size, 0};
    if (open > 0) {
        const Block& last = m_blocks.back();
        std::memcpy(block.data, last.data + last.kept, open);
    }
    m_blocks.push_back(block);
    return block.data;
}

const char* LargeText::Keep(std::size_t count) {
    Block& last = m_blocks.back();
    const char* const kept = last.data + last.kept;
    last.kept += count;
    return kept;
}

const char* LargeText::Append(const char* bytes, std::size_t count) {
    char* const at = Room(0, count);
    if (count > 0) {
        std::memcpy(at, bytes, count);
    }
    return Keep(count);
}

void LargeText::Clear() noexcept {
    for (const Block& block : m_blocks) {
        releaseLarge(block.data, block.size);
    }
    m_blocks.clear();
}

}  // namespace harbrook
