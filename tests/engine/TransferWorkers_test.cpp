// The two worker bodies over a fake window: the main client lives on a stand-in GUI
// thread that keeps using it while the body runs on another thread.

#include "engine/TransferWorkers.h"

#include <gtest/gtest.h>

#include <atomic>
#include <deque>
#include <filesystem>
#include <mutex>
#include <set>

#include "engine/DirListings.h"
#include "engine/FtpFileStream.h"
#include "engine/LumoThread.h"
#include "engine/MessageLog.h"
#include "engine/QueueEntries.h"
#include "engine/RateLimit.h"
#include "engine/TransferList.h"
#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/ScriptedFtpServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TestDispatcher.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

class FakeHost : public ITransferHost {
public:
    explicit FakeHost(const PyFtpdServer& server)
        : FakeHost(server.host(), server.port(), server.user(), server.password()) {}
    FakeHost(const std::string& host, std::uint16_t port, const std::string& user, const std::string& password,
             int readTimeoutMs = 10000)
        : site{host, port, user} {
        gui.RunAndWait([&] {
            main.SetHost(host);
            main.SetPort(port);
            main.SetUsername(user);
            main.SetPassword(password);
            main.SetReadTimeout(readTimeoutMs);
            main.SetPassive(true);
            main.Connect();
        });
    }
    ~FakeHost() override {
        stopBrowsing();
        gui.RunAndWait([&] { main.Disconnect(); });
    }

    bool MainConnected() override {
        bool connected = false;
        gui.RunAndWait([&] { connected = main.Connected(); });
        return connected;
    }
    TransferSite MainSite() override { return site; }
    CloneSnapshot SnapshotMain() override {
        ++snapshots;
        CloneSnapshot snapshot;
        gui.RunAndWait([&] { snapshot = TakeCloneSnapshot(main); });
        if (!snapshotPassword.empty()) {
            snapshot.password = snapshotPassword;
        }
        return snapshot;
    }
    // Several connections of one run may call at once (the window serialises them on its
    // GUI thread; so does this lock).
    void ShowError(const std::string& message) override {
        std::lock_guard hold(calls);
        errors.push_back(message);
        queueSizeAtError.push_back(watchedQueue != nullptr ? watchedQueue->Count() : -1);
    }
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override {
        std::lock_guard hold(calls);
        questions.push_back(question);
        if (overwriteAnswers.empty()) {
            return {OverwriteChoice::Overwrite, false};
        }
        const OverwriteAnswer answer = overwriteAnswers.front();
        overwriteAnswers.pop_front();
        return answer;
    }
    void DropListing(const std::string& path) override {
        std::lock_guard hold(calls);
        dropped.push_back(path);
        if (afterDrop) {
            afterDrop();
        }
    }

    // The user keeps browsing while the worker runs: PWD after PWD on the main client,
    // on the GUI thread, until stopBrowsing.
    void keepBrowsing() {
        browsing = true;
        gui.Post([this] { browse(); });
    }
    void stopBrowsing() {
        if (browsing.exchange(false)) {
            gui.RunAndWait([] {});
        }
    }

    std::recursive_mutex calls;
    TestDispatcher gui;
    TransferSite site;
    TIdFTP main;
    int snapshots = 0;
    std::string snapshotPassword;
    std::vector<std::string> errors;
    std::vector<int> queueSizeAtError;
    std::vector<std::string> dropped;
    std::deque<OverwriteAnswer> overwriteAnswers;
    std::vector<OverwriteQuestion> questions;
    std::function<void()> afterDrop;
    TTransferQueue* watchedQueue = nullptr;
    std::atomic<bool> browsing{false};
    std::atomic<int> browseFailures{0};
    std::atomic<int> browses{0};

private:
    void browse() {
        if (!browsing) {
            return;
        }
        try {
            if (main.CurrentDirectory() != "/") {
                ++browseFailures;
            }
        } catch (const std::exception&) {
            ++browseFailures;
        }
        ++browses;
        gui.Post([this] { browse(); });
    }
};

class TransferWorkers : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        InitDirListings();
        InitTransferList();
    }
    void TearDown() override {
        SetTransfersDisabled(false);
        DoneDirListings();
    }
    TempDir local;
    TTransferQueue queue;
};

TEST_F(TransferWorkers, UploadsInQueueOrderThroughOneConnectionWhileTheUserBrowses) {
    PyFtpdServer server;
    FakeHost host(server);
    for (int i = 1; i <= 4; ++i) {
        fs::create_directories(server.root() + "/d" + std::to_string(i));
        writeRandomFile(local.file("f" + std::to_string(i)), 200000, static_cast<unsigned>(i));
    }
    fs::create_directories(local.file("tree/inner"));
    writeFile(local.file("tree/inner/x.txt"), "x");
    for (int i = 1; i <= 3; ++i) {
        queue.Add(UploadQueueEntry(local.file("f" + std::to_string(i)), "/d" + std::to_string(i)));
    }
    // An entry added while the body runs goes through the same connection.
    host.afterDrop = [&] {
        if (host.dropped.size() == 1) {
            queue.Add(UploadQueueEntry(local.file("f4"), "/d4"));
            queue.Add(UploadQueueEntry(local.file("tree"), "/d4"));
        }
    };
    host.keepBrowsing();
    UploadThreadBody(host, queue);
    host.stopBrowsing();

    EXPECT_EQ(host.snapshots, 1) << "one clone connection for the whole run";
    EXPECT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(host.dropped, (std::vector<std::string>{"/d1", "/d2", "/d3", "/d4", "/d4"}));
    for (int i = 1; i <= 4; ++i) {
        const std::string name = "f" + std::to_string(i);
        EXPECT_EQ(sha256OfFile(server.root() + "/d" + std::to_string(i) + "/" + name), sha256OfFile(local.file(name)));
    }
    EXPECT_EQ(readFile(server.root() + "/d4/tree/inner/x.txt"), "x");
    EXPECT_GT(host.browses, 0);
    EXPECT_EQ(host.browseFailures, 0) << "the main connection was never used by two threads";
}

TEST_F(TransferWorkers, DownloadsFoldersAndFilesInOrder) {
    PyFtpdServer server;
    FakeHost host(server);
    fs::create_directories(server.root() + "/pub/sub");
    writeFile(server.root() + "/pub/sub/deep.txt", "deep");
    writeFile(server.root() + "/pub/top.txt", "top");
    queue.Add(DownloadQueueEntry("/pub", "sub", true, local.path()));
    queue.Add(DownloadQueueEntry("/pub/", "top.txt", false, local.path()));
    DownloadThreadBody(host, queue);
    EXPECT_TRUE(host.errors.empty());
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(readFile(local.file("sub/deep.txt")), "deep");
    EXPECT_EQ(readFile(local.file("top.txt")), "top");
    EXPECT_TRUE(host.dropped.empty()) << "a download changes nothing on the server";
}

// A failing entry stays as failed with its error; the worker goes on with the rest.
TEST_F(TransferWorkers, AFailingEntryStaysFailedAndTheRestGoOn) {
    PyFtpdServer server;
    FakeHost host(server);
    host.watchedQueue = &queue;
    for (int i = 0; i < 5; ++i) {
        queue.Add(UploadQueueEntry(local.file(i == 0 ? "missing" : "f" + std::to_string(i)), "/"), host.site);
        writeFile(local.file("f" + std::to_string(i)), "f");
    }
    UploadThreadBody(host, queue);
    ASSERT_EQ(host.errors.size(), 1u) << "one box";
    EXPECT_NE(host.errors[0].find("missing"), std::string::npos) << host.errors[0];
    EXPECT_EQ(host.queueSizeAtError[0], 4) << "the failed entry no longer counts as to run";
    EXPECT_EQ(queue.Count(), 0);
    for (int i = 1; i < 5; ++i) {
        EXPECT_TRUE(fs::exists(server.root() + "/f" + std::to_string(i))) << i;
    }
    const std::vector<QueueItem> items = queue.Items();
    ASSERT_EQ(items.size(), 5u);
    EXPECT_EQ(items[0].state, QueueState::Failed);
    EXPECT_EQ(items[0].error, host.errors[0]);
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](const QueueItem& item) {
                  return item.state == QueueState::Finished;
              }),
              4);

    // Retried after the file appeared, it runs.
    writeFile(local.file("missing"), "now");
    ASSERT_TRUE(queue.Retry(items[0].id));
    UploadThreadBody(host, queue);
    EXPECT_EQ(readFile(server.root() + "/missing"), "now");
    EXPECT_EQ(host.errors.size(), 1u);
}

// Entries belong to the site they were queued for.
TEST_F(TransferWorkers, EntriesOfAnotherSiteWait) {
    PyFtpdServer server;
    FakeHost host(server);
    writeFile(server.root() + "/x", "x");
    queue.Add(DownloadQueueEntry("/", "x", false, local.file("elsewhere")), TransferSite{"other.example", 21, "u"});
    DownloadThreadBody(host, queue);
    EXPECT_EQ(host.snapshots, 0) << "nothing of this site, nothing opened";
    EXPECT_EQ(queue.Count(), 1);
    queue.Add(DownloadQueueEntry("/", "x", false, local.path()), host.site);
    DownloadThreadBody(host, queue);
    EXPECT_EQ(readFile(local.file("x")), "x");
    EXPECT_EQ(queue.Count(), 1) << "the other site's entry still waits";
    EXPECT_EQ(queue.Items().front().state, QueueState::Waiting);
}

TEST_F(TransferWorkers, DisconnectingKeepsTheQueueForTheNextConnect) {
    PyFtpdServer server;
    FakeHost host(server);
    writeRandomFile(server.root() + "/big.bin", 4 << 20, 3);
    queue.Add(DownloadQueueEntry("/", "big.bin", false, local.path()));
    queue.Add(DownloadQueueEntry("/", "big.bin", false, local.file("other")));
    SetTransfersDisabled(true);
    DownloadThreadBody(host, queue);
    ASSERT_EQ(host.errors, std::vector<std::string>{"Transfers are disabled"});
    EXPECT_EQ(queue.Count(), 2) << "the interrupted entry and the rest stay";

    SetTransfersDisabled(false);
    fs::create_directories(local.file("other"));
    DownloadThreadBody(host, queue);
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(sha256OfFile(local.file("other/big.bin")), sha256OfFile(server.root() + "/big.bin"));
}

// The same for uploads: the queue is kept whole for the next connect.
TEST_F(TransferWorkers, DisconnectingKeepsTheUploadQueueForTheNextConnect) {
    PyFtpdServer server;
    FakeHost host(server);
    writeRandomFile(local.file("up1.bin"), 4 << 20, 4);
    writeRandomFile(local.file("up2.bin"), 1 << 20, 5);
    queue.Add(UploadQueueEntry(local.file("up1.bin"), "/"));
    queue.Add(UploadQueueEntry(local.file("up2.bin"), "/"));
    SetTransfersDisabled(true);
    UploadThreadBody(host, queue);
    ASSERT_EQ(host.errors, std::vector<std::string>{"Transfers are disabled"});
    EXPECT_EQ(queue.Count(), 2) << "the interrupted entry and the rest stay";
    for (const QueueItem& item : queue.Items()) {
        EXPECT_EQ(item.state, QueueState::Waiting);
    }

    SetTransfersDisabled(false);
    UploadThreadBody(host, queue);
    EXPECT_EQ(host.errors.size(), 1u);
    EXPECT_EQ(queue.Count(), 0);
    for (const char* name : {"up1.bin", "up2.bin"}) {
        EXPECT_EQ(sha256OfFile(server.root() + "/" + name), sha256OfFile(local.file(name))) << name;
    }
}

TEST_F(TransferWorkers, CloneFailuresAndIdleRuns) {
    PyFtpdServer server;
    FakeHost host(server);
    TTransferQueue empty;
    UploadThreadBody(host, empty);
    EXPECT_EQ(host.snapshots, 0) << "nothing queued, nothing opened";

    host.snapshotPassword = "wrong";
    queue.Add(UploadQueueEntry(local.file("a"), "/"));
    UploadThreadBody(host, queue);
    queue.Add(DownloadQueueEntry("/", "a", false, local.path()));
    DownloadThreadBody(host, queue);
    EXPECT_EQ(host.errors, (std::vector<std::string>{"Failed to connect upload client.",
                                                      "Failed to create client for downloading."}));
    EXPECT_EQ(queue.Count(), 0);
    for (const QueueItem& item : queue.Items()) {
        EXPECT_EQ(item.state, QueueState::Failed) << "kept for a Retry, with why";
        EXPECT_FALSE(item.error.empty());
    }
    queue.Clear();

    host.gui.RunAndWait([&] { host.main.Disconnect(); });
    queue.Add(UploadQueueEntry(local.file("a"), "/"));
    const int before = host.snapshots;
    UploadThreadBody(host, queue);
    EXPECT_EQ(host.snapshots, before) << "no run while the main client is not connected";
    EXPECT_EQ(queue.Count(), 1);
    host.gui.RunAndWait([&] { host.main.Connect(); });
}

// Each answer to an existing local target does what it says; a target that is not
// there is not asked about, and only a shorter one can be resumed.
TEST_F(TransferWorkers, DownloadsAskAboutExistingTargets) {
    PyFtpdOptions logged;
    logged.keepLog = true;
    PyFtpdServer server(logged);
    FakeHost host(server);
    constexpr std::int64_t kSize = 100000;
    for (const char* name : {"a", "b", "c", "d", "e"}) {
        writeRandomFile(server.root() + "/" + name, kSize, static_cast<unsigned>(name[0]));
        queue.Add(DownloadQueueEntry("/", name, false, local.path()));
    }
    writeRandomFile(local.file("a"), 2 * kSize, 7);
    writeFile(local.file("b"), "old b");
    writeFile(local.file("c"), readFile(server.root() + "/c").substr(0, 40000));
    writeFile(local.file("d"), "old d");
    const std::string oldA = sha256OfFile(local.file("a"));
    host.overwriteAnswers = {{OverwriteChoice::Skip, false},
                             {OverwriteChoice::Rename, false},
                             {OverwriteChoice::Resume, false},
                             {OverwriteChoice::Overwrite, false}};
    const std::size_t from = server.log().size();
    DownloadThreadBody(host, queue);

    EXPECT_TRUE(host.errors.empty()) << host.errors.front();
    ASSERT_EQ(host.questions.size(), 4u) << "none for the new file";
    EXPECT_FALSE(host.questions[0].CanResume) << "the local file is longer";
    EXPECT_TRUE(host.questions[2].CanResume);
    EXPECT_NE(host.questions[1].Message.find(local.file("b") + "\" already exists (5 Byte(s))"), std::string::npos)
        << host.questions[1].Message;
    EXPECT_EQ(sha256OfFile(local.file("a")), oldA) << "skipped";
    EXPECT_EQ(readFile(local.file("b")), "old b") << "renamed beside it";
    EXPECT_EQ(readFile(local.file("b (1)")), readFile(server.root() + "/b"));
    EXPECT_EQ(readFile(local.file("c")), readFile(server.root() + "/c")) << "resumed";
    EXPECT_NE(server.log().find("RETR " + server.root() + "/c completed=1 bytes=64096", from), std::string::npos)
        << "only the rest from 4 KiB before its end: " << server.log().substr(from);
    EXPECT_EQ(readFile(local.file("d")), readFile(server.root() + "/d"));
    EXPECT_EQ(readFile(local.file("e")), readFile(server.root() + "/e"));
    const auto items = queue.Items();
    EXPECT_EQ(items[0].state, QueueState::Skipped);
    for (std::size_t i = 1; i < items.size(); ++i) {
        EXPECT_EQ(items[i].state, QueueState::Finished) << i;
        EXPECT_EQ(items[i].size, kSize) << "the server's size replaces the row's";
    }
}

// "The same for the rest" answers every later target of the run, in both directions.
TEST_F(TransferWorkers, OneAnswerForTheRestOfTheQueue) {
    PyFtpdServer server;
    FakeHost host(server);
    TTransferQueue uploads;
    for (int i = 0; i < 5; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        writeFile(server.root() + "/" + name, "remote " + name);
        writeFile(local.file(name), "local " + name);
        queue.Add(DownloadQueueEntry("/", name, false, local.path()));
        uploads.Add(UploadQueueEntry(local.file(name), "/"));
    }
    host.overwriteAnswers = {{OverwriteChoice::Skip, true}, {OverwriteChoice::Rename, true}};
    DownloadThreadBody(host, queue);
    UploadThreadBody(host, uploads);

    ASSERT_EQ(host.questions.size(), 2u) << "one per queue";
    for (int i = 0; i < 5; ++i) {
        const std::string name = "f" + std::to_string(i) + ".txt";
        EXPECT_EQ(readFile(local.file(name)), "local " + name) << "downloads skipped";
        EXPECT_EQ(readFile(server.root() + "/" + name), "remote " + name);
        EXPECT_EQ(readFile(server.root() + "/f" + std::to_string(i) + " (1).txt"), "local " + name)
            << "uploaded under a new name";
        EXPECT_FALSE(fs::exists(local.file("f" + std::to_string(i) + " (1).txt")));
    }
}

// An upload onto a remote file: Skip leaves it, Resume appends the rest of a part,
// Rename finds the first free number.
TEST_F(TransferWorkers, UploadsAskAboutExistingRemoteFiles) {
    PyFtpdOptions logged;
    logged.keepLog = true;
    PyFtpdServer server(logged);
    FakeHost host(server);
    writeRandomFile(local.file("big"), 300000, 3);
    writeFile(server.root() + "/big", readFile(local.file("big")).substr(0, 120000));
    writeFile(local.file("keep"), "new keep");
    writeFile(server.root() + "/keep", "old keep, longer than the new one");
    writeFile(local.file("n.txt"), "n");
    writeFile(server.root() + "/n.txt", "n0");
    writeFile(server.root() + "/n (1).txt", "n1");
    for (const char* name : {"big", "keep", "n.txt"}) {
        queue.Add(UploadQueueEntry(local.file(name), "/"));
    }
    host.overwriteAnswers = {{OverwriteChoice::Resume, false},
                             {OverwriteChoice::Skip, false},
                             {OverwriteChoice::Rename, false}};
    const std::size_t from = server.log().size();
    UploadThreadBody(host, queue);

    EXPECT_TRUE(host.errors.empty()) << host.errors.front();
    ASSERT_EQ(host.questions.size(), 3u);
    EXPECT_TRUE(host.questions[0].CanResume);
    EXPECT_FALSE(host.questions[1].CanResume) << "the remote file is longer";
    EXPECT_EQ(sha256OfFile(server.root() + "/big"), sha256OfFile(local.file("big")));
    EXPECT_NE(server.log().find("APPE " + server.root() + "/big completed=1 bytes=180000", from), std::string::npos)
        << "only the rest: " << server.log().substr(from);
    EXPECT_EQ(readFile(server.root() + "/keep"), "old keep, longer than the new one");
    EXPECT_EQ(readFile(server.root() + "/n (2).txt"), "n");
    EXPECT_EQ(readFile(server.root() + "/n.txt"), "n0");
    EXPECT_EQ(host.dropped, (std::vector<std::string>{"/", "/"})) << "a skipped upload changes nothing";
}

// A folder walk cut in the middle and queued again, answered "Resume" for the rest:
// the finished files are passed over, the cut one continues, the missing one comes
// whole, as a mirror that continues. An upload walk into a folder the server has asks
// about the files there.
TEST_F(TransferWorkers, FolderWalksAskAndContinue) {
    PyFtpdOptions logged;
    logged.keepLog = true;
    PyFtpdServer server(logged);
    FakeHost host(server);
    fs::create_directories(server.root() + "/tree");
    for (const char* name : {"done.bin", "cut.bin", "missing.bin"}) {
        writeRandomFile(server.root() + "/tree/" + name, 100000, static_cast<unsigned>(name[0]));
    }
    fs::create_directories(local.file("tree"));
    fs::copy_file(server.root() + "/tree/done.bin", local.file("tree/done.bin"));
    writeFile(local.file("tree/cut.bin"), readFile(server.root() + "/tree/cut.bin").substr(0, 30000));
    host.overwriteAnswers = {{OverwriteChoice::Resume, true}};
    queue.Add(DownloadQueueEntry("/", "tree", true, local.path()));
    const std::size_t from = server.log().size();
    DownloadThreadBody(host, queue);
    EXPECT_TRUE(host.errors.empty()) << host.errors.front();
    EXPECT_EQ(host.questions.size(), 1u);
    for (const char* name : {"done.bin", "cut.bin", "missing.bin"}) {
        EXPECT_EQ(sha256OfFile(local.file(std::string("tree/") + name)),
                  sha256OfFile(server.root() + "/tree/" + name))
            << name;
    }
    const std::string log = server.log().substr(from);
    EXPECT_EQ(log.find("done.bin"), std::string::npos) << "a finished file is not fetched again: " << log;
    EXPECT_NE(log.find("cut.bin completed=1 bytes=" + std::to_string(100000 - 30000 + 4096)), std::string::npos)
        << log;
    EXPECT_NE(log.find("missing.bin completed=1 bytes=100000"), std::string::npos) << log;

    // Upload: the server's tree has done.bin and cut.bin (its own); the first asked
    // about is skipped, the second overwritten, missing.bin goes without a question.
    writeFile(server.root() + "/tree/done.bin", "the server's own");
    writeFile(server.root() + "/tree/cut.bin", "the server's own");
    fs::remove(server.root() + "/tree/missing.bin");
    host.questions.clear();
    host.overwriteAnswers = {{OverwriteChoice::Skip, false}, {OverwriteChoice::Overwrite, false}};
    TTransferQueue uploads;
    uploads.Add(UploadQueueEntry(local.file("tree"), "/"));
    UploadThreadBody(host, uploads);
    EXPECT_TRUE(host.errors.empty()) << host.errors.front();
    ASSERT_EQ(host.questions.size(), 2u);
    const std::string first = host.questions[0].Message;
    const std::string skipped = first.find("done.bin") != std::string::npos ? "done.bin" : "cut.bin";
    const std::string replaced = skipped == "done.bin" ? "cut.bin" : "done.bin";
    EXPECT_EQ(readFile(server.root() + "/tree/" + skipped), "the server's own");
    EXPECT_EQ(sha256OfFile(server.root() + "/tree/" + replaced), sha256OfFile(local.file("tree/" + replaced)));
    EXPECT_EQ(sha256OfFile(server.root() + "/tree/missing.bin"), sha256OfFile(local.file("tree/missing.bin")));
}

// Several files at once: each on a connection of its own, started in queue order, all
// byte-exact; a server that allows fewer connections gets fewer, and the queue goes on.
TEST_F(TransferWorkers, ParallelFilesEachOnAConnectionOfTheirOwn) {
    struct Case {
        const char* what;
        int maxLogins;
        int connections;
        int expectedClones;
    };
    for (const Case& c : {Case{"four at once", 0, 4, 4}, Case{"the server allows two logins", 2, 4, 1},
                          Case{"more connections than entries", 0, 10, 6}}) {
        SCOPED_TRACE(c.what);
        PyFtpdOptions options;
        options.keepLog = true;
        options.maxLogins = c.maxLogins;
        options.smoothRate = 4 << 20;
        PyFtpdServer server(options);
        TTransferQueue uploads;
        std::vector<std::string> names;
        for (int i = 0; i < 6; ++i) {
            names.push_back("f" + std::to_string(i));
            writeRandomFile(local.file(names.back()), 300000 + i, static_cast<unsigned>(i + 1));
            uploads.Add(UploadQueueEntry(local.file(names.back()), "/"), TransferSite{server.host(), server.port(), server.user()});
        }
        MessageLog().Clear();
        {
            FakeHost host(server);
            const int before = server.sessionsOpened();
            UploadThreadBody(host, uploads, c.connections);
            EXPECT_EQ(host.errors, std::vector<std::string>{});
            EXPECT_EQ(host.dropped.size(), 6u) << "the folder's listing dropped after every file";
            EXPECT_EQ(server.sessionsOpened() - before, c.maxLogins > 0 ? c.connections : c.expectedClones)
                << "each extra connection was tried once";
        }
        EXPECT_EQ(uploads.Count(), 0);
        for (const std::string& name : names) {
            EXPECT_EQ(sha256OfFile(server.root() + "/" + name), sha256OfFile(local.file(name))) << name;
        }
        // Started in queue order: the first STORs the server saw are the first entries.
        const std::string log = server.log();
        std::set<std::string> firstStarted;
        std::size_t at = 0;
        for (int i = 0; i < std::min(c.expectedClones, 6); ++i) {
            at = log.find("STOR ", at);
            ASSERT_NE(at, std::string::npos);
            const std::size_t end = log.find_first_of(" \n", at + 5);
            firstStarted.insert(fs::path(log.substr(at + 5, end - at - 5)).filename().string());
            ++at;
        }
        const std::set<std::string> expected(names.begin(), names.begin() + std::min(c.expectedClones, 6));
        EXPECT_EQ(firstStarted, expected) << log;
        bool toldOnce = false;
        for (const LogLine& line : MessageLog().Since(0)) {
            toldOnce |= line.text.find("The server refused") != std::string::npos;
        }
        EXPECT_EQ(toldOnce, c.maxLogins > 0) << "a refusal is said in the log";
    }
}

// A disconnect in the middle of a parallel run: one box, every entry back in the queue
// (the interrupted ones with what they had moved), as with one connection.
TEST_F(TransferWorkers, ADisconnectStopsEveryConnectionOfTheRun) {
    PyFtpdOptions options;
    options.smoothRate = 1 << 20;
    PyFtpdServer server(options);
    TTransferQueue downloads;
    for (int i = 0; i < 5; ++i) {
        writeRandomFile(server.root() + "/d" + std::to_string(i), 3 << 20, static_cast<unsigned>(i + 7));
        downloads.Add(DownloadQueueEntry("/", "d" + std::to_string(i), false, local.path()),
                      TransferSite{server.host(), server.port(), server.user()});
    }
    FakeHost host(server);
    std::thread stopper([&] {
        // Once three are moving, the user disconnects.
        while (static_cast<int>(TransferRecords().size()) < 3) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        SetTransfersDisabled(true);
    });
    DownloadThreadBody(host, downloads, 3);
    stopper.join();
    EXPECT_EQ(host.errors, std::vector<std::string>{"Transfers are disabled"}) << "said once for the run";
    EXPECT_EQ(downloads.Count(), 5) << "every entry waits for the next connect";
    int withRecord = 0;
    for (const QueueItem& item : downloads.Items()) {
        EXPECT_EQ(item.state, QueueState::Waiting);
        withRecord += item.resume.empty() ? 0 : 1;
    }
    EXPECT_EQ(withRecord, 3) << "the three interrupted ones keep what they moved";
}

// A limit shared by every connection of the direction; however low, a disconnect still
// ends its wait at once.
TEST_F(TransferWorkers, ALimitOfOneBytePerSecondStillStopsAtOnce) {
    PyFtpdServer server;
    writeRandomFile(server.root() + "/slow", 100000, 3);
    TTransferQueue downloads;
    downloads.Add(DownloadQueueEntry("/", "slow", false, local.path()),
                  TransferSite{server.host(), server.port(), server.user()});
    DownloadRateLimit().SetRate(1);
    FakeHost host(server);
    std::thread stopper([&] {
        while (static_cast<int>(TransferRecords().size()) < 1) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        SetTransfersDisabled(true);
    });
    const auto started = std::chrono::steady_clock::now();
    DownloadThreadBody(host, downloads, 2);
    stopper.join();
    DownloadRateLimit().SetRate(0);
    EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(5));
    EXPECT_EQ(host.errors, std::vector<std::string>{"Transfers are disabled"});
    EXPECT_EQ(downloads.Count(), 1);
}

// A folder tree is walked once on one connection and its files spread over the run's
// connections: several move at once, every one byte-exact, both ways.
TEST_F(TransferWorkers, AFolderTreeSpreadsItsFilesOverTheConnections) {
    PyFtpdOptions options;
    options.keepLog = true;
    options.smoothRate = 8 << 20;
    PyFtpdServer server(options);
    const TransferSite site{server.host(), server.port(), server.user()};
    std::vector<std::string> files;
    for (const char* folder : {"tree", "tree/a", "tree/a/deep", "tree/b"}) {
        fs::create_directories(server.root() + "/" + folder);
        for (int i = 0; i < 6; ++i) {
            files.push_back(std::string(folder) + "/f" + std::to_string(i));
            writeRandomFile(server.root() + "/" + files.back(), 40000 + 1000 * i, static_cast<unsigned>(files.size()));
        }
    }
    std::atomic<bool> watching{true};
    std::atomic<std::size_t> most{0};
    std::thread watch([&] {
        while (watching) {
            most = std::max(most.load(), TransferRecords().size());
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
    });
    {
        FakeHost host(server);
        const int before = server.sessionsOpened();
        TTransferQueue downloads;
        downloads.Add(DownloadQueueEntry("/", "tree/", false, local.path()), site);
        DownloadThreadBody(host, downloads, 4);
        EXPECT_EQ(host.errors, std::vector<std::string>{});
        EXPECT_EQ(downloads.Count(), 0);
        EXPECT_EQ(server.sessionsOpened() - before, 4) << "one walks, three more help";
    }
    EXPECT_GE(most.load(), 2u) << "files moved at the same time";
    for (const std::string& file : files) {
        EXPECT_EQ(sha256OfFile(local.file(file)), sha256OfFile(server.root() + "/" + file)) << file;
    }
    // And back up, under another name.
    fs::rename(local.file("tree"), local.file("again"));
    most = 0;
    {
        FakeHost host(server);
        TTransferQueue uploads;
        uploads.Add(UploadQueueEntry(local.file("again"), "/"), site);
        UploadThreadBody(host, uploads, 4);
        EXPECT_EQ(host.errors, std::vector<std::string>{});
        EXPECT_EQ(uploads.Count(), 0);
    }
    watching = false;
    watch.join();
    EXPECT_GE(most.load(), 2u);
    for (const std::string& file : files) {
        const std::string again = "again" + file.substr(4);
        EXPECT_EQ(sha256OfFile(server.root() + "/" + again), sha256OfFile(server.root() + "/" + file)) << again;
    }
}

// A file of a spread tree that fails fails its entry, as a walk on one connection does;
// the other entries go on.
TEST_F(TransferWorkers, AFailingFileOfASpreadTreeFailsItsEntry) {
    PyFtpdServer server;
    const TransferSite site{server.host(), server.port(), server.user()};
    fs::create_directories(local.file("up/inner"));
    for (int i = 0; i < 8; ++i) {
        writeRandomFile(local.file("up/inner/f" + std::to_string(i)), 30000, static_cast<unsigned>(i + 1));
    }
    // Not readable: its upload fails (as root the mode alone would not stop it, so the
    // name is a folder's link to nowhere, which cannot be opened either way).
    fs::create_symlink(local.file("missing"), local.file("up/inner/broken"));
    writeRandomFile(local.file("single"), 1000, 9);
    FakeHost host(server);
    TTransferQueue uploads;
    uploads.Add(UploadQueueEntry(local.file("up"), "/"), site);
    uploads.Add(UploadQueueEntry(local.file("single"), "/"), site);
    UploadThreadBody(host, uploads, 3);
    ASSERT_EQ(host.errors.size(), 1u);
    const std::vector<QueueItem> items = uploads.Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].state, QueueState::Failed);
    EXPECT_EQ(items[0].error, host.errors[0]);
    EXPECT_EQ(items[1].state, QueueState::Finished);
    EXPECT_TRUE(fs::exists(server.root() + "/single"));
}

// The server never sent the reply of the first entry's download (it timed out, and then
// the owed reply did not come either): the worker's connection is out of step, and the
// second entry goes over a new login instead of failing for it.
TEST(TransferWorkersScripted, AnEntryAfterAServerThatNeverAnsweredGoesOverANewLogin) {
    InitDirListings();
    InitTransferList();
    const char* pasv = "227 Entering Passive Mode (127,0,0,1,{p1},{p2})";
    // A worker's login, then the start of a download of /`name` (`size` bytes) up to its
    // data connection.
    auto downloading = [&](const std::string& name, const std::string& size) {
        FtpScript script = loggedIn();
        script.on("CWD /", "250 ok")
            .on("SIZE /" + name, "213 " + size)
            .on("SIZE /" + name, "213 " + size)
            .on("MDTM /" + name, "213 20260101120000")
            .passive("PASV", pasv)
            .acceptData()
            .on("RETR /" + name, "150 here");
        return script;
    };
    FtpScript main = loggedIn();
    main.on("PWD", "257 \"/\"");
    FtpScript first = downloading("a", "8");
    first.sendData("abc").hang();
    FtpScript second = downloading("b", "5");
    second.sendData("12345").closeData().reply("226 done");
    ScriptedFtpServer server(std::vector<FtpScript>{main, first, second});
    TempDir local;
    TTransferQueue queue;
    {
        FakeHost host(server.host(), server.port(), "u", "p", 400);
        host.gui.RunAndWait([&] { host.main.SetTransferTimeout(400); });
        queue.Add(DownloadQueueEntry("/", "a", false, local.path()), host.site);
        queue.Add(DownloadQueueEntry("/", "b", false, local.path()), host.site);
        DownloadThreadBody(host, queue, 1);
        ASSERT_EQ(host.errors.size(), 1u) << "only the first entry failed";
        EXPECT_EQ(host.errors[0], "Read timed out.");
    }
    EXPECT_TRUE(server.failures().empty()) << server.failures().front();
    EXPECT_EQ(server.connectionCount(), 3u) << "the main one, the worker's, and its new login";
    EXPECT_EQ(readFile(local.file("b")), "12345");
    const std::vector<QueueItem> items = queue.Items();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].state, QueueState::Failed);
    EXPECT_EQ(items[1].state, QueueState::Finished);
    DoneDirListings();
}

}  // namespace
}  // namespace harbrook::testing
