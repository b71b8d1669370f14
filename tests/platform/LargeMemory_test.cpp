#include "platform/LargeMemory.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace {

using harbrook::LargeText;

std::string joined(const LargeText& text) {
    std::string all;
    text.ForEachBlock([&](const char* data, std::size_t size) { all.append(data, size); });
    return all;
}

// Bytes that differ from place to place, so a piece moved or dropped shows.
std::string pattern(std::size_t size, std::size_t seed) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i) {
        bytes[i] = static_cast<char>((i * 131 + seed * 7 + i / 977) & 0xFF);
    }
    return bytes;
}

// In large pages and, as after a large page proved slow, in small ones.
TEST(LargeMemory, EveryPieceIsUsableToItsCapacity) {
    for (const bool smallPages : {false, true}) {
        SCOPED_TRACE(smallPages ? "small pages" : "large pages");
        if (smallPages) {
            harbrook::useSmallPagesForLargePieces();
        }
        for (const std::size_t bytes : {std::size_t{1}, std::size_t{4096}, std::size_t{(256 << 10) - 1},
                                        std::size_t{256 << 10}, std::size_t{(2 << 20) - 1}, std::size_t{2 << 20},
                                        std::size_t{(2 << 20) + 1}, std::size_t{5 << 20}}) {
            SCOPED_TRACE(bytes);
            const std::size_t capacity = harbrook::largeCapacity(bytes);
            EXPECT_GE(capacity, bytes);
            auto* const at = static_cast<unsigned char*>(harbrook::allocateLarge(bytes));
            ASSERT_NE(at, nullptr);
            if (bytes >= std::size_t{256 << 10}) {
                // Whole units: a container grown into one fills it before it moves again.
                EXPECT_EQ(capacity % (2 << 20), 0u);
            }
            std::memset(at, 0xA5, capacity);
            EXPECT_EQ(at[0], 0xA5);
            EXPECT_EQ(at[capacity - 1], 0xA5);
            harbrook::releaseLarge(at, bytes);
        }
    }
}

TEST(LargeMemory, AContainerGrowsIntoLargePiecesWithItsContents) {
    std::vector<std::uint64_t, harbrook::LargeAllocator<std::uint64_t>> values;
    for (std::uint64_t i = 0; i < 700'000; ++i) {
        values.push_back(i * 3 + 1);
    }
    values.shrink_to_fit();
    for (std::uint64_t i = 0; i < values.size(); i += 997) {
        ASSERT_EQ(values[i], i * 3 + 1);
    }
    EXPECT_EQ(values.back(), 699'999u * 3 + 1);
}

// Text written as a listing arrives: pieces of many sizes, part of the last one kept
// open (an unfinished line) and carried on; the open part sometimes longer than a block.
TEST(LargeMemory, TextKeptPieceByPieceStaysWhereItWasWritten) {
    struct Case {
        const char* label;
        std::vector<std::size_t> pieces;
        std::size_t keepEvery;  // a piece of each `keepEvery` closes what is open
    };
    const std::vector<Case> cases = {
        {"small pieces, all kept", std::vector<std::size_t>(3000, 1500), 1},
        {"pieces kept every third", std::vector<std::size_t>(2000, 4000), 3},
        {"a line longer than the first blocks", {100, 70000, 300000, 5 << 20, 10}, 5},
        {"a line longer than the largest block", {1000, 9 << 20, 3 << 20, 100}, 2},
        {"empty pieces", {0, 0, 10, 0, 5}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        LargeText text;
        std::string expected;
        std::string open;
        std::vector<std::pair<const char*, std::string>> kept;  // where each kept piece lies
        for (std::size_t i = 0; i < c.pieces.size(); ++i) {
            const std::string piece = pattern(c.pieces[i], i);
            char* const at = text.Room(open.size(), piece.size());
            ASSERT_EQ(std::string(at, open.size()), open) << "piece " << i << ": the open bytes did not move along";
            std::memcpy(at + open.size(), piece.data(), piece.size());
            open += piece;
            if ((i + 1) % c.keepEvery == 0 || i + 1 == c.pieces.size()) {
                const char* const where = text.Keep(open.size());
                ASSERT_EQ(where, at);
                kept.emplace_back(where, open);
                expected += open;
                open.clear();
            }
        }
        for (const auto& [where, bytes] : kept) {
            ASSERT_EQ(std::memcmp(where, bytes.data(), bytes.size()), 0) << "a kept piece changed";
        }
        EXPECT_EQ(joined(text), expected);

        LargeText moved = std::move(text);
        EXPECT_TRUE(text.empty());
        EXPECT_EQ(joined(moved), expected);
        if (!kept.empty()) {
            EXPECT_EQ(std::memcmp(kept.front().first, kept.front().second.data(), kept.front().second.size()), 0);
        }
    }
}

TEST(LargeMemory, AppendedCopiesFollowOneAnother) {
    LargeText text;
    std::string expected;
    for (std::size_t i = 0; i < 400; ++i) {
        const std::string piece = pattern(40000 + i, i);
        const char* const at = text.Append(piece.data(), piece.size());
        ASSERT_EQ(std::string(at, piece.size()), piece);
        expected += piece;
    }
    EXPECT_EQ(joined(text), expected);
    text.Clear();
    EXPECT_TRUE(text.empty());
    EXPECT_EQ(joined(text), "");
}

}  // namespace
