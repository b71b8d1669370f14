// The listing cache, its line format, and listing a real server through it.

#include <gtest/gtest.h>

#include <filesystem>
#include <thread>

#include "engine/DirListings.h"
#include "engine/RemoteFolder.h"
#include "engine/RemoteRows.h"
#include "ftp/client/IdFTP.h"
#include "platform/LocalFiles.h"
#include "tests/support/PyFtpdServer.h"

namespace harbrook::testing {
namespace {

using Lines = std::vector<std::string>;

class DirListingsTest : public ::testing::Test {
protected:
    void SetUp() override { InitDirListings(); }
    void TearDown() override { DoneDirListings(); }
};

TEST(DirListingKeys, StripTrailingSlash) {
    const std::pair<const char*, const char*> rows[] = {
        {"/", "/"}, {"/pub/", "/pub"}, {"/pub//", "/pub/"}, {"/pub", "/pub"}, {"", ""}, {"a/", "a"},
    };
    for (const auto& [path, key] : rows) {
        EXPECT_EQ(StripTrailingSlash(path), key) << path;
    }
}

TEST_F(DirListingsTest, KeysAreNormalisedButCaseSensitive) {
    StoreDirListing("/pub/", {"d||-||x||"}, {"f||1 Byte(s)||x||"});
    Lines folders;
    Lines files;
    EXPECT_TRUE(FetchDirListing("/pub", folders, files));
    EXPECT_EQ(folders, Lines{"d||-||x||"});
    EXPECT_FALSE(DirListingExists("/Pub"));
    EXPECT_FALSE(FetchDirListing("/Pub", folders, files));
    EXPECT_TRUE(folders.empty() && files.empty()) << "a miss empties the caller's lists";
    StoreDirListing("/", {}, {});
    EXPECT_TRUE(FetchDirListing("/", folders, files)) << "an empty folder is an entry";
    EXPECT_TRUE(folders.empty() && files.empty());
    StoreDirListing("/pub", {"other||-||y||"}, {});
    EXPECT_EQ(DirListingCount(), 2) << "storing again replaces";
    FetchDirListing("/pub/", folders, files);
    EXPECT_EQ(folders, Lines{"other||-||y||"});
    EXPECT_TRUE(files.empty());
}

TEST_F(DirListingsTest, RemovalKeepsEveryOtherEntryWhole) {
    const Lines keys = {"/a", "/b", "/c", "/d"};
    for (const std::string removed : {"/a", "/c", "/d", "/b"}) {
        SCOPED_TRACE(removed);
        InitDirListings();
        for (const std::string& key : keys) {
            StoreDirListing(key, {key + "-dir"}, {key + "-file"});
        }
        RemoveDirListing(removed);
        RemoveDirListing("/missing");
        EXPECT_EQ(DirListingCount(), 3);
        for (const std::string& key : keys) {
            Lines folders;
            Lines files;
            EXPECT_EQ(FetchDirListing(key, folders, files), key != removed);
            if (key != removed) {
                EXPECT_EQ(folders, Lines{key + "-dir"});
                EXPECT_EQ(files, Lines{key + "-file"});
            }
        }
    }
    InitDirListings();
    StoreDirListing("/only", {}, {});
    RemoveDirListing("/only/");
    EXPECT_EQ(DirListingCount(), 0);
}

TEST(DirListingLine, Format) {
    TIdFTPListItem folder;
    folder.ItemType = ditDirectory;
    folder.Size = 4096;
    folder.SetFileName("docs");
    EXPECT_TRUE(tryEncodeDate(2024, 3, 5, folder.ModifiedDate));
    EXPECT_EQ(DirListingLine(folder), "docs||-||" + FormatShortDateLongTime(folder.ModifiedDate) + "||");
    EXPECT_EQ(FormatShortDateLongTime(folder.ModifiedDate).find(':'), std::string::npos)
        << "no time at 00:00:00";
    TIdFTPListItem link;
    link.ItemType = ditSymbolicLink;
    link.Size = 2048;
    link.ModifiedAvail = false;
    link.SetFileName("a|b");
    EXPECT_EQ(DirListingLine(link), "a|b||2.00 KB||||");
}

TEST_F(DirListingsTest, ManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t] {
            Lines folders;
            Lines files;
            for (int i = 0; i < 3000; ++i) {
                const std::string key = "/k" + std::to_string((t + i) % 9);
                StoreDirListing(key, {key}, {key});
                FetchDirListing(key, folders, files);
                DirListingExists(key);
                if (i % 5 == 0) {
                    RemoveDirListing(key);
                }
                if (i % 997 == 0) {
                    ClearDirListings();
                }
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_LE(DirListingCount(), 9);
}

TEST_F(DirListingsTest, ListRemoteDirUsesTheCache) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdServer server;
    writeFile(server.root() + "/a|b.txt", "12345");
    std::filesystem::create_directory(server.root() + "/sub");
    TIdFTP ftp;
    ftp.SetHost(server.host());
    ftp.SetPort(server.port());
    ftp.SetUsername(server.user());
    ftp.SetPassword(server.password());
    ftp.SetReadTimeout(5000);
    ftp.SetPassive(true);
    ftp.Connect();
    int listings = 0;
    ftp.OnRetrievedDir = [&] { ++listings; };

    Lines folders;
    Lines files;
    ListRemoteDir(ftp, folders, files, false);
    EXPECT_EQ(listings, 1);
    ASSERT_EQ(folders.size(), 1u);
    EXPECT_EQ(folders[0].substr(0, 8), "sub||-||");
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].substr(0, 20), "a|b.txt||5 Byte(s)||");
    EXPECT_TRUE(ftp.ListResult().Lines.empty()) << "the folder's lines are all that is kept";
    ListRemoteDir(ftp, folders, files, false);
    EXPECT_EQ(listings, 1) << "the second time comes from the cache";
    ListRemoteDir(ftp, folders, files, true);
    EXPECT_EQ(listings, 2) << "a forced listing asks the server";
    ListRemoteNames(ftp, folders, files, false);
    EXPECT_EQ(listings, 2);
    EXPECT_EQ(folders, Lines{"sub"});
    EXPECT_EQ(files, Lines{"a|b.txt"}) << "the whole name, | and all, as the window shows it";
    EXPECT_TRUE(DirListingExists("/"));
}

}  // namespace
}  // namespace harbrook::testing
