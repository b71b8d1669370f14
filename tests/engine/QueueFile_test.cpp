// The transfer queues kept across a restart: the file's form, what it keeps, and files
// that are damaged.

#include "engine/QueueFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "engine/QueueEntries.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

TEST(QueueFile, KeepsWaitingAndFailedEntriesWithTheirSites) {
    TTransferQueue uploads;
    TTransferQueue downloads;
    const TransferSite site{"ftp.example", 2121, "me\tyou"};
    uploads.Add(UploadQueueEntry("/home/me/100% sure\n.txt", "/in"), site);
    uploads.Add(UploadQueueEntry("/home/me/b.txt", "/in"), site, 12345);
    downloads.Add(DownloadQueueEntry("/pub", "tree", true, "/tmp/x"), TransferSite{"other", 21, "anonymous"});
    downloads.Add(DownloadQueueEntry("/pub", "done.txt", false, "/tmp/x"));
    const auto running = uploads.Take(site);
    const auto failed = uploads.Take(site);
    uploads.Fail(failed->id, "Cannot open file\r\nreason");
    const auto finished = downloads.Take(TransferSite{"other", 21, "anonymous"});
    downloads.Finish(finished->id);

    TempDir dir;
    TQueueFile file(dir.file("transfer-queues"));
    ASSERT_TRUE(file.Save(uploads, downloads));
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("transfer-queues").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u) << "it names the user's files and accounts";

    const SavedQueues again = TQueueFile(dir.file("transfer-queues")).Load();
    ASSERT_EQ(again.uploads.size(), 2u);
    EXPECT_EQ(again.uploads[0].line, running->line);
    EXPECT_EQ(again.uploads[0].state, QueueState::Waiting) << "a running entry runs again";
    EXPECT_EQ(again.uploads[0].site, site);
    EXPECT_EQ(again.uploads[1].state, QueueState::Failed);
    EXPECT_EQ(again.uploads[1].error, "Cannot open file\r\nreason");
    EXPECT_EQ(again.uploads[1].size, 12345);
    EXPECT_EQ(again.uploads[0].size, -1);
    ASSERT_EQ(again.downloads.size(), 1u) << "finished entries are not kept";
    EXPECT_TRUE(again.downloads[0].site.Empty());
}

// A file written before each entry kept its size has 8 fields: read as it was, sizes
// unknown.
TEST(QueueFile, AFileFromBeforeSizesWereKeptIsRead) {
    SavedQueues queues;
    std::string problem;
    ASSERT_TRUE(ParseQueueFile("harbrook transfer queues 1\nup\twaiting\th\t21\tu\t/a=/in\t\t\n"
                               "down\tfailed\th\t21\tu\t/b=/tmp\tno\t\t42\n",
                               queues, problem))
        << problem;
    ASSERT_EQ(queues.uploads.size(), 1u);
    EXPECT_EQ(queues.uploads[0].size, -1);
    ASSERT_EQ(queues.downloads.size(), 1u);
    EXPECT_EQ(queues.downloads[0].size, 42);
    EXPECT_EQ(queues.downloads[0].error, "no");
}

TEST(QueueFile, DamagedFilesAreSetAsideAndQueueNothing) {
    const std::string header = "harbrook transfer queues 1\n";
    const std::string good = "up\twaiting\th\t21\tu\t/a=/in\t\t\n";
    const struct {
        const char* label;
        std::string text;
        const char* problem;
    } rows[] = {
        {"empty", "", "it is empty"},
        {"another file", "[main]\nhost=x\n", "it is not a list of transfer queues"},
        {"a newer version", "harbrook transfer queues 2\n" + good, "it is not a list of transfer queues"},
        {"too few fields", header + good + "up\twaiting\th\t21\n", "line 3 is not an entry"},
        {"a port out of range", header + "down\twaiting\th\t70000\tu\t/a=/b\t\t\n", "line 2 is not an entry"},
        {"a port that is no number", header + "down\twaiting\th\t2x\tu\t/a=/b\t\t\n", "line 2 is not an entry"},
        {"an unknown state", header + "up\trunning\th\t21\tu\t/a=/in\t\t\n", "line 2 is not an entry"},
        {"a bad escape", header + "up\twaiting\th\t21\tu\t/a%zz=/in\t\t\n", "line 2 is not an entry"},
        {"no entry", header + "up\twaiting\th\t21\tu\t\t\t\n", "line 2 is not an entry"},
        {"a size that is no number", header + "up\twaiting\th\t21\tu\t/a=/in\t\t\t12k\n", "line 2 is not an entry"},
        {"too many fields", header + "up\twaiting\th\t21\tu\t/a=/in\t\t\t1\t\n", "line 2 is not an entry"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        TempDir dir;
        writeFile(dir.file("transfer-queues"), row.text);
        TQueueFile file(dir.file("transfer-queues"));
        const SavedQueues queues = file.Load();
        EXPECT_TRUE(queues.uploads.empty() && queues.downloads.empty());
        const std::string problem = file.TakeLoadProblem();
        EXPECT_NE(problem.find(row.problem), std::string::npos) << problem;
        EXPECT_NE(problem.find("set aside"), std::string::npos) << problem;
        EXPECT_TRUE(std::filesystem::exists(dir.file("transfer-queues.bad")));
        EXPECT_TRUE(file.TakeLoadProblem().empty()) << "told once";
    }
    TempDir none;
    TQueueFile missing(none.file("transfer-queues"));
    EXPECT_TRUE(missing.Load().uploads.empty());
    EXPECT_TRUE(missing.TakeLoadProblem().empty()) << "no file yet is no problem";
}

}  // namespace
}  // namespace harbrook::testing
