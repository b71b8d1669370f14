// The transfer queue's states, sites and rows.

#include "engine/TransferQueue.h"

#include <gtest/gtest.h>

#include <thread>

#include "engine/QueueEntries.h"

namespace {

const TransferSite kHere{"ftp.example", 21, "me"};
const TransferSite kThere{"other.example", 2121, "you"};

TEST(TransferQueue, AnEntryWaitsRunsAndEndsFinishedOrFailed) {
    TTransferQueue queue;
    queue.Add(UploadQueueEntry("/home/me/a.txt", "/in"), kHere);
    queue.Add(UploadQueueEntry("/home/me/b.txt", "/in"), kThere);
    queue.Add(DownloadQueueEntry("/pub", "tree", true, "/tmp"), kHere);
    EXPECT_EQ(queue.Count(), 3);
    EXPECT_TRUE(queue.HasWaitingFor(kThere));

    const auto first = queue.Take(kHere);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->line, UploadQueueEntry("/home/me/a.txt", "/in"));
    EXPECT_EQ(queue.Count(), 3) << "a running entry is still to do";
    EXPECT_FALSE(queue.Remove(first->id)) << "a running entry is cancelled, not removed";
    queue.Fail(first->id, "Cannot open file\r\nmore");
    const auto second = queue.Take(kHere);
    ASSERT_TRUE(second);
    EXPECT_EQ(second->line, DownloadQueueEntry("/pub", "tree", true, "/tmp")) << "the other site's entry is passed";
    queue.Finish(second->id);
    EXPECT_FALSE(queue.Take(kHere));
    EXPECT_EQ(queue.Count(), 1);

    EXPECT_EQ(QueueRowLines(queue.Items(), kHere),
              (std::vector<std::string>{"a.txt||||||Failed||Cannot open file||",
                                        "b.txt||||||Waiting for you@other.example:2121||||",
                                        "tree/||||||Done||||"}));
    EXPECT_TRUE(queue.Retry(first->id));
    EXPECT_FALSE(queue.Retry(first->id)) << "only a failed entry is retried";
    queue.ClearFinished();
    EXPECT_EQ(QueueRowLines(queue.Items(), kThere),
              (std::vector<std::string>{"a.txt||||||Waiting for me@ftp.example:21||||", "b.txt||||||Waiting||||"}));
}

TEST(TransferQueue, AReturnedEntryKeepsItsPlaceAndTheListSeesWhatIsToRun) {
    TTransferQueue queue;
    for (const char* name : {"1", "2", "3"}) {
        queue.Add(name, kHere);
    }
    const auto taken = queue.Take(kHere);
    queue.Return(taken->id);
    EXPECT_EQ(queue.List(), (std::vector<std::string>{"1", "2", "3"}));
    queue.FailWaiting(kHere, "Failed to connect upload client.");
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_FALSE(queue.Get(0));
    queue.Add("4");
    EXPECT_TRUE(queue.HasWaitingFor(kThere)) << "an entry without a site runs anywhere";
    EXPECT_EQ(queue.Get(0), "4");
    queue.Delete(0);
    EXPECT_THROW(queue.Delete(0), std::out_of_range);
    EXPECT_EQ(queue.Items().size(), 3u);
}

TEST(TransferQueue, TheSummaryLine) {
    TTransferQueue queue;
    EXPECT_EQ(QueueSummaryLine("Downloads", queue.Items(), 0), "");
    constexpr std::int64_t kMiB = 1 << 20;
    for (int i = 0; i < 10; ++i) {
        queue.Add(std::to_string(i) + "=/tmp", kHere, i == 9 ? -1 : kMiB);
    }
    for (auto end : {&TTransferQueue::Finish, &TTransferQueue::Skip}) {
        (queue.*end)(queue.Take(kHere)->id);
    }
    queue.Fail(queue.Take(kHere)->id, "no");
    queue.Take(kHere);
    const auto items = queue.Items();
    // A skipped or failed entry moves no bytes, the one of unknown size is left out, the
    // running one has moved half of its file.
    const QueueProgress running{kMiB / 2, kMiB};
    EXPECT_EQ(QueueSummaryLine("Downloads", items, 9, running),
              "Downloads: 2 of 10 files, 1.50 MB of 7.00 MB, 5 s left; 1 running, 1 failed, 1 skipped, 6 waiting");
    EXPECT_EQ(QueueSummaryLine("Uploads", items, 4),
              "Uploads: 2 of 10 files, 1.00 MB of 7.00 MB; 1 running, 1 failed, 1 skipped, 6 waiting; "
              "5 more not shown");
    EXPECT_EQ(QueueRowLines(items, kHere, nullptr, 4).size(), 4u);
    EXPECT_EQ(QueueRowLines(items, kHere)[1], "1||||||Skipped||||");
    queue.ClearFinished();
    EXPECT_EQ(queue.Items().size(), 8u) << "the skipped go with the finished";
}

TEST(TransferQueue, TwoThreadsTakeEachEntryOnce) {
    TTransferQueue queue;
    for (int i = 0; i < 2000; ++i) {
        queue.Add(std::to_string(i), kHere);
    }
    std::atomic<int> taken{0};
    auto worker = [&] {
        while (const auto item = queue.Take(kHere)) {
            queue.Finish(item->id);
            ++taken;
        }
    };
    std::thread a(worker);
    std::thread b(worker);
    a.join();
    b.join();
    EXPECT_EQ(taken, 2000);
    EXPECT_EQ(queue.Count(), 0);
}

}  // namespace
