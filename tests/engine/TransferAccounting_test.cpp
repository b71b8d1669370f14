// Sizes and durations as text, the transfer list, and the two counting file streams.

#include <gtest/gtest.h>

#include <limits>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "engine/FileSizeText.h"
#include "engine/FtpFileStream.h"
#include "engine/LumoFilestream.h"
#include "engine/RemoteRows.h"
#include "engine/TransferList.h"
#include "ftp/client/IdFTP.h"
#include "platform/Ticks.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

using Clock = std::chrono::steady_clock;

class TransferListTest : public ::testing::Test {
protected:
    void SetUp() override { InitTransferList(); }
    void TearDown() override { InitTransferList(); }
    TempDir dir;
};

TEST(FileSizeText, Values) {
    const std::pair<std::int64_t, const char*> rows[] = {
        {0, "0 Byte(s)"},        {1023, "1023 Byte(s)"},  {1024, "1.00 KB"},
        {1048575, "1024.00 KB"}, {1048576, "1.00 MB"},    {1073741824, "1.00 GB"},
        {5000000000LL, "4.66 GB"}, {-1, "-1 Byte(s)"},
    };
    for (const auto& [bytes, text] : rows) {
        EXPECT_EQ(FormatFileSize(bytes), text) << bytes;
    }
}

// The queue's summary reads the sizes the remote rows show back: within the half unit
// of the last digit, whichever decimal separator the locale wrote.
TEST(FileSizeText, ReadBackNearEnough) {
    for (const std::int64_t bytes : {std::int64_t{0}, std::int64_t{1023}, std::int64_t{1536}, std::int64_t{1048575},
                                     std::int64_t{123456789}, std::int64_t{5000000000LL}}) {
        const std::string text = FormatFileSize(bytes);
        std::string comma = text;
        std::replace(comma.begin(), comma.end(), '.', ',');
        for (const std::string& written : {text, comma}) {
            const std::int64_t read = ApproximateFileSize(written);
            EXPECT_LE(std::abs(read - bytes), bytes / 200 + 1) << written;
        }
    }
    for (const char* other : {"-", "", "1.00", "1.00 TB", "x KB", "1.0.0 KB", " KB", ".5 KB"}) {
        EXPECT_EQ(ApproximateFileSize(other), -1) << other;
    }
    EXPECT_EQ(RowSizeOf("a||b||1.00 KB||01.01.2026 10:00:00||"), 1024) << "a name with || in it";
    EXPECT_EQ(RowSizeOf("folder||-||01.01.2026 10:00:00||"), -1);
    // A listing may claim any size: the largest shows as what it is and reads back as
    // the largest size there is (the conversion overflowed before).
    const std::int64_t largest = std::numeric_limits<std::int64_t>::max();
    EXPECT_EQ(ApproximateFileSize(FormatFileSize(largest)), largest);
    EXPECT_EQ(ApproximateFileSize("99999999999999999999 GB"), largest);
}

TEST(TransferText, TicksAndDurations) {
    EXPECT_EQ(TickDifference(10, 25), 15u);
    EXPECT_EQ(TickDifference(4294967290u, 5), 10u);
    const std::pair<std::int64_t, const char*> rows[] = {
        {3601, "1.0 h"}, {3660, "1.0 h"}, {3600, "60.0 min"}, {150, "2.5 min"},
        {121, "2.0 min"}, {120, "120 s"},  {0, "0 s"},
    };
    for (const auto& [seconds, text] : rows) {
        EXPECT_EQ(FormatDuration(seconds), text) << seconds;
    }
    EXPECT_EQ(FormatRemaining(100, 100, 10), "-");
    EXPECT_EQ(FormatRemaining(0, 100, 0), "-");
    EXPECT_EQ(FormatRemaining(0, 1000, 10), "100 s");
}

TEST_F(TransferListTest, RecordsAndLines) {
    UpdateTransfer("/home/u/a.bin", 1000, 1, 4096, 1024);
    UpdateTransfer("/home/u/a.bin", 2000, 1, 4096, 2048);
    ASSERT_EQ(TransferRecords().size(), 1u) << "two blocks of one stream, one record";
    UpdateTransfer("/home/u/b.bin", 0, 2, 100, 0);
    UpdateTransfer("/home/u/c.bin", 0, 3, 100, 0);
    EndTransfer("", 0, 2, 0, 0, 0, 0);
    const auto records = TransferRecords();
    ASSERT_EQ(records.size(), 2u);
    EXPECT_EQ(records[0].Id, 1);
    EXPECT_EQ(records[1].Id, 3);
    EndTransfer("", 0, 99, 0, 0, 0, 0);
    EXPECT_EQ(TransferRecords().size(), 2u) << "an unknown id changes nothing";

    std::vector<std::string> lines = {"stale"};
    FillTransferLines(lines);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "a.bin||2.00 KB||4.00 KB||1.00 KB/s||2 s||");
    EXPECT_EQ(lines[1], "c.bin||0 Byte(s)||100 Byte(s)||0 Byte(s)/s||-||") << "Elapsed 0: speed 0";
}

TEST_F(TransferListTest, StreamRecordsFollowTheBlocks) {
    writeFile(dir.file("up.bin"), std::string(3000, 'u'));
    {
        tftp_filestream unused(dir.file("up.bin"), FileOpenMode::OpenRead, 0, 0);
        EXPECT_TRUE(TransferRecords().empty()) << "no block, no record";
    }
    {
        tftp_filestream download(dir.file("down.bin"), FileOpenMode::Create, 0, 0, 1000);
        download.Write("abc", 3);
        ASSERT_EQ(TransferRecords().size(), 1u);
        EXPECT_EQ(TransferRecords()[0].Size, 1000) << "the expected size from the first block";
        EXPECT_EQ(TransferRecords()[0].Position, 3);
        download.Write("def", 3);
        EXPECT_EQ(TransferRecords().size(), 1u);
        EXPECT_EQ(download.BytesWritten, 6);
    }
    EXPECT_TRUE(TransferRecords().empty()) << "gone with the stream";
    {
        tftp_filestream upload(dir.file("up.bin"), FileOpenMode::OpenRead, 0, 0);
        char buffer[1000];
        EXPECT_EQ(upload.Read(buffer, sizeof buffer), 1000);
        EXPECT_EQ(TransferRecords()[0].Size, 3000) << "no expected size: the file's size";
        EXPECT_EQ(upload.BytesRead, 1000);
    }
    {
        // Blocks larger than what is left: the bytes got count, not the bytes asked for.
        tftp_filestream upload(dir.file("up.bin"), FileOpenMode::OpenRead, 0, 0);
        char buffer[4096];
        std::int64_t total = 0;
        for (std::int64_t got; (got = upload.Read(buffer, sizeof buffer)) > 0;) {
            total += got;
        }
        EXPECT_EQ(total, 3000);
        EXPECT_EQ(upload.BytesRead, 3000);
        EXPECT_EQ(TransferRecords()[0].Position, 3000);
    }
    {
        // No expected size while writing: the size shown grows with the file, and a file
        // that was larger to begin with shows its size until the writes pass it.
        tftp_filestream fresh(dir.file("fresh.bin"), FileOpenMode::Create, 0, 0);
        fresh.Write("abcd", 4);
        EXPECT_EQ(TransferRecords().back().Size, 4);
        fresh.Write("efgh", 4);
        EXPECT_EQ(TransferRecords().back().Size, 8);
        tftp_filestream over(dir.file("up.bin"), FileOpenMode::OpenReadWrite, 0, 0);
        over.Write("xyz", 3);
        EXPECT_EQ(TransferRecords().back().Size, 3000);
        over.SetPosition(2999);
        over.Write("tail", 4);
        EXPECT_EQ(TransferRecords().back().Size, 3003);
    }
    tftp_filestream first(dir.file("x1"), FileOpenMode::Create, 0, 0, 0);
    tftp_filestream second(dir.file("x2"), FileOpenMode::Create, 0, 0, 0);
    EXPECT_NE(first.TransferId, second.TransferId) << "each stream has a line of its own";
}

TEST_F(TransferListTest, DisabledTransfersFailAtTheNextBlock) {
    SetTransfersDisabled(true);
    tftp_filestream stream(dir.file("d.bin"), FileOpenMode::Create, 0, 0, 10);
    try {
        stream.Write("abc", 3);
        FAIL() << "the block went through";
    } catch (const ETransfersDisabled& error) {
        EXPECT_STREQ(error.what(), "Transfers are disabled");
    }
    EXPECT_EQ(readFile(dir.file("d.bin")), "abc") << "the block itself was written";
    EXPECT_TRUE(TransferRecords().empty());
    SetTransfersDisabled(false);
    stream.Write("d", 1);
    EXPECT_EQ(TransferRecords().size(), 1u);
}

TEST_F(TransferListTest, ThrottleHoldsTheRate) {
    tftp_filestream stream(dir.file("slow.bin"), FileOpenMode::Create, 0, 4096, 0);
    const std::string block(4096, 's');
    const auto start = Clock::now();
    stream.Write(block.data(), static_cast<std::int64_t>(block.size()));
    const auto spent = Clock::now() - start;
    // Bounds, not a timing: about a second for 4096 bytes at 4096 bytes per second.
    EXPECT_GE(spent, std::chrono::milliseconds(700));
    EXPECT_LT(spent, std::chrono::milliseconds(3000));

    TLumo_filestream lumo(dir.file("lumo.bin"), FileOpenMode::Create, 0, 1000);
    std::int64_t progress = 0;
    lumo.OnProgress = [&](TLumo_filestream&, const std::string&, std::int64_t transferred, std::int64_t) {
        progress = transferred;
    };
    const auto lumoStart = Clock::now();
    lumo.Write(block.data(), 500);
    EXPECT_GE(Clock::now() - lumoStart, std::chrono::milliseconds(350));
    EXPECT_EQ(progress, 500);
    lumo.MaxRate = 0;
    const auto free = Clock::now();
    lumo.Write(block.data(), 4096);
    EXPECT_LT(Clock::now() - free, std::chrono::milliseconds(300)) << "no limit, no sleep";
}

// 5,000,000 bytes times 1000 does not fit 32 bits: a product computed in them would
// wrap to a wait of about 28 ms instead of 200 ms.
TEST_F(TransferListTest, ThrottleWaitOfLargeBlocksDoesNotWrap) {
    const std::string block(5'000'000, 'b');
    tftp_filestream stream(dir.file("large.bin"), FileOpenMode::Create, 0, 25'000'000, 0);
    TLumo_filestream lumo(dir.file("lumo-large.bin"), FileOpenMode::Create, 0, 25'000'000);
    for (TStream* target : {static_cast<TStream*>(&stream), static_cast<TStream*>(&lumo)}) {
        const auto start = Clock::now();
        target->Write(block.data(), static_cast<std::int64_t>(block.size()));
        const auto spent = Clock::now() - start;
        EXPECT_GE(spent, std::chrono::milliseconds(150));
        EXPECT_LT(spent, std::chrono::milliseconds(3000));
    }
}

TEST(LumoFilestream, ReportsWhenDone) {
    TempDir dir;
    std::int64_t written = -1;
    {
        TLumo_filestream stream(dir.file("f"), FileOpenMode::Create, 0, 0);
        stream.OnDone = [&](TLumo_filestream&, const std::string&, std::int64_t, std::int64_t size,
                            std::int64_t, std::int64_t bytesWritten, double) {
            written = bytesWritten;
            EXPECT_EQ(size, 5);
        };
        stream.Write("hello", 5);
    }
    EXPECT_EQ(written, 5);
    EXPECT_THROW(TLumo_filestream(dir.file("missing/f"), FileOpenMode::OpenRead, 0, 0), EStreamError);
}

TEST_F(TransferListTest, ManyThreadsAtOnce) {
    std::atomic<bool> stop{false};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < 2000; ++i) {
                const std::string name = std::string("f").append(std::to_string(t));
                UpdateTransfer(name, 10, t * 100000 + i % 7, 100, i);
                if (i % 3 == 0) {
                    EndTransfer("", 0, t * 100000 + i % 7, 0, 0, 0, 0);
                }
            }
        });
    }
    threads.emplace_back([&] {
        std::vector<std::string> lines;
        while (!stop) {
            FillTransferLines(lines);
            SetTransfersDisabled(false);
        }
    });
    for (std::size_t i = 0; i + 1 < threads.size(); ++i) {
        threads[i].join();
    }
    stop = true;
    threads.back().join();
    EXPECT_LE(TransferRecords().size(), 28u);
}

TEST_F(TransferListTest, DisablingEndsARealDownload) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdServer server;
    writeRandomFile(server.root() + "/big.bin", 8 << 20);
    TIdFTP ftp;
    ftp.SetHost(server.host());
    ftp.SetPort(server.port());
    ftp.SetUsername(server.user());
    ftp.SetPassword(server.password());
    ftp.SetReadTimeout(10000);
    ftp.SetPassive(true);
    ftp.Connect();
    ftp.OnWork = [](TWorkMode, std::int64_t count) {
        if (count > (1 << 20)) {
            SetTransfersDisabled(true);
        }
    };
    {
        tftp_filestream stream(dir.file("big.bin"), FileOpenMode::Create, 0, 0, 8 << 20);
        try {
            ftp.Download("big.bin", stream);
            FAIL() << "the download went on";
        } catch (const ETransfersDisabled& error) {
            EXPECT_STREQ(error.what(), "Transfers are disabled");
        }
        EXPECT_TRUE(TransferRecords().empty()) << "the record left with the error";
    }
    SetTransfersDisabled(false);
    ftp.OnWork = nullptr;
    EXPECT_EQ(ftp.CurrentDirectory(), "/") << "the session goes on";
}

}  // namespace
}  // namespace harbrook::testing
