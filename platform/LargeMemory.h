#pragma once

#include <cstddef>
#include <new>
#include <vector>

namespace harbrook {

// Memory for buffers that grow large and are kept: a listing's text and its line table,
// output held back until it may be written. Pieces of 256 KiB and more come straight
// from the system in whole units of 2 MiB, and their pages are made ready on another
// core while the first of them fill: a listing of 100,000 lines spent a third of its
// time clearing fresh memory. Smaller pieces come from the heap as usual (a small
// folder does not take 2 MiB).
[[nodiscard]] void* allocateLarge(std::size_t bytes);
// `bytes` as given to allocateLarge.
void releaseLarge(void* at, std::size_t bytes) noexcept;
// Small pages for the pieces mapped from now on, as when a large page proved slow to
// come by (tests run that way of mapping too).
void useSmallPagesForLargePieces();
// How many bytes a piece asked for with `bytes` really has (all of it may be used, and
// given as its size): whole units for one from the system.
std::size_t largeCapacity(std::size_t bytes);

template <class T>
struct LargeAllocator {
    using value_type = T;
    LargeAllocator() = default;
    template <class U>
    LargeAllocator(const LargeAllocator<U>&) noexcept {}
    T* allocate(std::size_t count) {
        if (count > static_cast<std::size_t>(-1) / sizeof(T)) {
            throw std::bad_array_new_length();
        }
        return static_cast<T*>(allocateLarge(count * sizeof(T)));
    }
    void deallocate(T* at, std::size_t count) noexcept { releaseLarge(at, count * sizeof(T)); }
    template <class U>
    bool operator==(const LargeAllocator<U>&) const noexcept {
        return true;
    }
};

// Text written piece by piece and kept where it was written (views into it stay valid):
// a first block of 64 KiB (most folders fit), then blocks of one unit each (at most one
// is left part empty).
class LargeText {
public:
    LargeText() = default;
    LargeText(LargeText&& other) noexcept;
    LargeText& operator=(LargeText&& other) noexcept;
    LargeText(const LargeText&) = delete;
    LargeText& operator=(const LargeText&) = delete;
    ~LargeText() { Clear(); }

    // Room for `count` bytes after the `open` bytes last written at the end, which are
    // not kept yet and move along when a new block is needed. Returns where the open
    // bytes now start; the room follows them.
    char* Room(std::size_t open, std::size_t count);
    // The `count` bytes after what was kept, written into the last room, are kept;
    // where they lie.
    const char* Keep(std::size_t count);
    // Appends a copy of the bytes and keeps them; where they now lie.
    const char* Append(const char* bytes, std::size_t count);
    // The kept text block by block, in order.
    template <class F>
    void ForEachBlock(F&& f) const {
        for (const Block& block : m_blocks) {
            if (block.kept > 0) {
                f(block.data, block.kept);
            }
        }
    }
    bool empty() const { return m_blocks.empty(); }
    void Clear() noexcept;

private:
    struct Block {
        char* data;
        std::size_t size;
        std::size_t kept;
    };
    std::vector<Block> m_blocks;
};

}  // namespace harbrook
