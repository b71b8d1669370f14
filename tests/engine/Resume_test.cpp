// Downloads and uploads that continue what an interrupted attempt left, against
// pyftpdlib and a scripted server: only the rest moves, the result is byte-exact, and a
// record that no longer fits (the remote or local file changed, a part that is not ours
// or not beside the target) gets the whole file.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <utime.h>

#include <filesystem>
#include <thread>

#include "engine/FtpTools.h"
#include "engine/TransferList.h"
#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kSize = 400000;

class ResumeDownload : public ::testing::Test {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
        InitTransferList();
        PyFtpdOptions options;
        options.keepLog = true;
        server = std::make_unique<PyFtpdServer>(options);
        writeRandomFile(server->root() + "/big.bin", kSize, 11);
        ftp.SetHost(server->host());
        ftp.SetPort(server->port());
        ftp.SetUsername(server->user());
        ftp.SetPassword(server->password());
        ftp.SetPassive(true);
        ftp.Connect();
    }
    void TearDown() override {
        DoneTransferList();
    }
    // The record an attempt that got `have` bytes into `file` would have left.
    PartialDownload partOf(const std::string& file, std::size_t have) {
        writeFile(file, readFile(server->root() + "/big.bin").substr(0, have));
        return {"big.bin", static_cast<std::int64_t>(kSize), ftp.FileStamp("big.bin"), file};
    }
    // The bytes the server sent for RETRs since `from` in its log.
    // The server writes its line once the transfer is over, which may come a moment
    // after the client has its 226.
    std::string sentSince(std::size_t from) {
        for (int waited = 0; waited < 3000; waited += 10) {
            const std::string log = server->log().substr(from);
            const std::size_t at = log.rfind("bytes=");
            if (at != std::string::npos && log.find('\n', at) != std::string::npos) {
                return log.substr(at + 6, log.find(' ', at) - at - 6);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return {};
    }

    std::unique_ptr<PyFtpdServer> server;
    TempDir local;
    TIdFTP ftp;
};

TEST_F(ResumeDownload, OnlyTheRestMovesIntoANewNameOrBesideAnOldFile) {
    const std::string whole = sha256OfFile(server->root() + "/big.bin");
    // A new name: the part is the target itself.
    PartialDownload partial = partOf(local.file("new.bin"), 150000);
    std::size_t from = server->log().size();
    DownloadResumable(ftp, "big.bin", local.file("new.bin"), partial);
    EXPECT_TRUE(partial.Empty());
    EXPECT_EQ(sha256OfFile(local.file("new.bin")), whole);
    EXPECT_EQ(sentSince(from), std::to_string(kSize - 150000 + 4096));

    // An old file of the name: the part is a hidden copy beside it; the old file stays
    // until the copy is whole, then the copy takes its name and its permission bits.
    writeFile(local.file("old.bin"), "the old copy");
    fs::permissions(local.file("old.bin"), fs::perms::owner_read | fs::perms::owner_write);
    partial = partOf(local.file(".old.bin.part"), 300000);
    from = server->log().size();
    DownloadResumable(ftp, "big.bin", local.file("old.bin"), partial);
    EXPECT_EQ(sha256OfFile(local.file("old.bin")), whole);
    EXPECT_FALSE(fs::exists(local.file(".old.bin.part")));
    EXPECT_EQ(fs::status(local.file("old.bin")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_EQ(sentSince(from), std::to_string(kSize - 300000 + 4096));
}

TEST_F(ResumeDownload, ARecordThatNoLongerFitsGetsTheWholeFile) {
    const std::string whole = readFile(server->root() + "/big.bin");
    struct Row {
        const char* label;
        std::function<PartialDownload()> record;
    };
    const Row rows[] = {
        {"the remote file changed since", [&] {
             PartialDownload partial = partOf(local.file(".t.part"), 100000);
             partial.remoteStamp = "19990101000000";
             return partial;
         }},
        {"another remote size", [&] {
             PartialDownload partial = partOf(local.file(".t.part"), 100000);
             partial.remoteSize = 1;
             return partial;
         }},
        {"a part that is not the file's start", [&] {
             PartialDownload partial = partOf(local.file(".t.part"), 100000);
             writeFile(local.file(".t.part"), std::string(100000, 'x'));
             return partial;
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        writeFile(local.file("t"), "old");
        PartialDownload partial = row.record();
        const std::size_t from = server->log().size();
        DownloadResumable(ftp, "big.bin", local.file("t"), partial);
        EXPECT_EQ(readFile(local.file("t")), whole);
        EXPECT_EQ(sentSince(from), std::to_string(kSize)) << "fetched whole";
        EXPECT_FALSE(fs::exists(local.file(".t.part"))) << "the stale part is gone";
    }
    // A record naming a file elsewhere is not followed: that file is never touched.
    TempDir elsewhere;
    PartialDownload partial = partOf(elsewhere.file("victim"), 100000);
    const std::string victim = readFile(elsewhere.file("victim"));
    DownloadResumable(ftp, "big.bin", local.file("u"), partial);
    EXPECT_EQ(readFile(local.file("u")), whole);
    EXPECT_EQ(readFile(elsewhere.file("victim")), victim);

    // The part replaced by a link to a file elsewhere, or by a folder: not continued,
    // the link's file never written, the file fetched whole.
    for (const bool link : {true, false}) {
        SCOPED_TRACE(link ? "a link" : "a folder");
        partial = partOf(local.file(".v.part"), 100000);
        fs::remove(local.file(".v.part"));
        if (link) {
            fs::create_symlink(elsewhere.file("victim"), local.file(".v.part"));
        } else {
            fs::create_directories(local.file(".v.part/inside"));
        }
        writeFile(local.file("v"), "old");
        const std::size_t from = server->log().size();
        DownloadResumable(ftp, "big.bin", local.file("v"), partial);
        EXPECT_EQ(readFile(local.file("v")), whole);
        EXPECT_EQ(sentSince(from), std::to_string(kSize));
        EXPECT_EQ(readFile(elsewhere.file("victim")), victim);
        EXPECT_EQ(fs::is_directory(local.file(".v.part/inside")), !link) << "a folder of something is left alone";
    }
}

// An upload that stopped early goes on from the server's size when the local file is
// unchanged since; a changed local file goes whole.
TEST_F(ResumeDownload, AnUploadContinuesFromTheServersSize) {
    writeRandomFile(local.file("up.bin"), kSize, 21);
    const std::string local300 = readFile(local.file("up.bin"));
    struct stat info {};
    ASSERT_EQ(::stat(local.file("up.bin").c_str(), &info), 0);
    const PartialUpload record{local.file("up.bin"), static_cast<std::int64_t>(kSize),
                               static_cast<std::int64_t>(info.st_mtime), "up.bin"};
    PartialUpload back;
    ASSERT_TRUE(ParsePartialUpload(PartialUploadText(record), back));
    EXPECT_EQ(PartialUploadText(back), PartialUploadText(record));
    EXPECT_FALSE(ParsePartialUpload(PartialDownloadText(PartialDownload{"a", 1, "t", "f"}), back))
        << "a download's record is no upload's";

    writeFile(server->root() + "/up.bin", local300.substr(0, 100000));
    PartialUpload partial = record;
    std::size_t from = server->log().size();
    UploadResumable(ftp, local.file("up.bin"), "up.bin", partial);
    EXPECT_TRUE(partial.Empty());
    EXPECT_EQ(readFile(server->root() + "/up.bin"), local300);
    EXPECT_EQ(sentSince(from), std::to_string(kSize - 100000));

    // The local file changed since the record: the server's part is not a part of it.
    writeFile(server->root() + "/up.bin", local300.substr(0, 100000));
    struct utimbuf later {info.st_atime, info.st_mtime + 60};
    ASSERT_EQ(::utime(local.file("up.bin").c_str(), &later), 0);
    partial = record;
    PartialUpload told;
    from = server->log().size();
    UploadResumable(ftp, local.file("up.bin"), "up.bin", partial, [&](const PartialUpload& part) { told = part; });
    EXPECT_EQ(readFile(server->root() + "/up.bin"), local300);
    EXPECT_EQ(sentSince(from), std::to_string(kSize)) << "uploaded whole";
    EXPECT_EQ(told.localTime, info.st_mtime + 60) << "the new attempt's record was told first";
}

// `client` logged in to the scripted server, passive.
void connectTo(TIdFTP& client, const ScriptedFtpServer& server) {
    client.SetHost(server.host());
    client.SetPort(server.port());
    client.SetUsername("u");
    client.SetPassword("p");
    client.SetReadTimeout(3000);
    client.SetPassive(true);
    client.Connect();
}

// Cut in the middle over an old file (the data connection reset after 8000 of 20000
// bytes): the old file stays whole, the part is kept with its record, and the next
// attempt asks for the rest from 4 KiB before the part's end and finishes it. A server
// without MDTM is judged by the date its listing of the file shows.
TEST(ResumeDownloadScripted, AnInterruptedDownloadLeavesARecordAndTheOldFile) {
    for (const bool byListing : {false, true}) {
        SCOPED_TRACE(byListing ? "the listing's date" : "MDTM");
        // The remote file's stamp, as the server gives it.
        auto stamp = [&](FtpScript& script) -> FtpScript& {
            if (!byListing) {
                return script.on("MDTM big.bin", "213 20260101120000");
            }
            return script.on("MDTM big.bin", "502 MDTM not implemented")
                .on("TYPE A", "200 ok")
                .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
                .acceptData()
                .on("LIST big.bin", "150 Here it comes")
                .sendData("-rw-r--r--   1 u  g  20000 Jan 01 12:00 big.bin\r\n")
                .closeData()
                .reply("226 Done")
                .on("TYPE I", "200 ok");
        };
        std::string content;
        for (int i = 0; content.size() < 20000; ++i) {
            content += "row " + std::to_string(i) + "\n";
        }
        content.resize(20000);
        const char* pasv = "227 Entering Passive Mode (127,0,0,1,{p1},{p2})";
        FtpScript script = loggedIn();
        stamp(script.on("SIZE big.bin", "213 20000"))
            // The old file is shorter than the remote one: the client asks once whether the
            // server restarts transfers.
            .on("REST 1", "350 ok")
            .on("REST 0", "350 ok")
            .passive("PASV", pasv)
            .acceptData()
            .on("RETR big.bin", "150 here")
            .sendData(content.substr(0, 8000))
            .resetData()
            .reply("426 Connection closed; transfer aborted");
        stamp(script.on("SIZE big.bin", "213 20000"))
            .passive("PASV", pasv)
            .acceptData()
            .on("REST 3904", "350 Restarting at 3904")
            .on("RETR big.bin", "150 here")
            .sendData(content.substr(3904))
            .closeData()
            .reply("226 done");
        ScriptedFtpServer server(script);
        InitTransferList();
        TempDir local;
        TIdFTP client;
        connectTo(client, server);
        writeFile(local.file("t"), "the old copy");
        PartialDownload partial;
        PartialDownload told;
        bool toldBeforeData = false;
        EXPECT_THROW(DownloadResumable(client, "big.bin", local.file("t"), partial, nullptr,
                                       [&](const PartialDownload& part) {
                                           told = part;
                                           toldBeforeData = !fs::exists(part.file) || fs::file_size(part.file) == 0;
                                       }),
                     std::exception);
        ASSERT_FALSE(partial.Empty()) << "what arrived is kept";
        EXPECT_TRUE(toldBeforeData) << "a killed program would still have the record";
        EXPECT_EQ(told.file, partial.file);
        EXPECT_EQ(PartialDownloadText(told), PartialDownloadText(partial));
        EXPECT_EQ(readFile(local.file("t")), "the old copy") << "the old file stays whole";
        EXPECT_EQ(fs::path(partial.file).parent_path(), fs::path(local.file("t")).parent_path());
        EXPECT_EQ(readFile(partial.file), content.substr(0, 8000));
        if (byListing) {
            EXPECT_EQ(partial.remoteStamp.rfind("L", 0), 0u) << partial.remoteStamp;
        } else {
            EXPECT_EQ(partial.remoteStamp, "20260101120000");
        }

        PartialDownload again;
        ASSERT_TRUE(ParsePartialDownload(PartialDownloadText(partial), again));
        DownloadResumable(client, "big.bin", local.file("t"), again);
        EXPECT_TRUE(server.failures().empty()) << server.failures().front();
        EXPECT_EQ(readFile(local.file("t")), content);
        EXPECT_FALSE(fs::exists(partial.file));
        EXPECT_TRUE(again.Empty());
        DoneTransferList();
    }
}

// A server that hung in an upload of ours and woke up drains the old data connection
// into the file while the retry asks for its size. The rest is appended only once the
// size has stopped changing; a file that keeps growing is refused with nothing sent; a
// file that is already whole (only the server's last reply was missing) gets nothing.
TEST(ResumeUploadScripted, TheRestGoesOnlyOnAFileThatStoppedGrowing) {
    std::string content;
    for (int i = 0; content.size() < 1000; ++i) {
        content += "row " + std::to_string(i) + "\n";
    }
    content.resize(1000);
    enum class Server { SettlesShort, AlreadyWhole, KeepsGrowing };
    for (const Server kind : {Server::SettlesShort, Server::AlreadyWhole, Server::KeepsGrowing}) {
        SCOPED_TRACE(kind == Server::SettlesShort   ? "settles at 300"
                     : kind == Server::AlreadyWhole ? "already whole"
                                                    : "keeps growing");
        TempDir local;
        writeFile(local.file("up.bin"), content);
        struct stat info {};
        ASSERT_EQ(::stat(local.file("up.bin").c_str(), &info), 0);
        FtpScript script = loggedIn();
        if (kind == Server::SettlesShort) {
            script.on("SIZE up.bin", "213 100")
                .on("SIZE up.bin", "213 200")
                .on("SIZE up.bin", "213 300")
                .on("SIZE up.bin", "213 300")
                .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
                .acceptData()
                .on("APPE up.bin", "150 go on")
                .receiveData()
                .reply("226 done")
                .on("SIZE up.bin", "213 1000");
        } else if (kind == Server::AlreadyWhole) {
            script.on("SIZE up.bin", "213 1000").on("SIZE up.bin", "213 1000").on("SIZE up.bin", "213 1000");
        } else {
            script.on("SIZE up.bin", "213 100");
            for (int size = 200; size < 1000; size += 20) {
                script.on("SIZE up.bin", "213 " + std::to_string(size));
            }
        }
        ScriptedFtpServer server(script);
        InitTransferList();
        TIdFTP client;
        connectTo(client, server);
        PartialUpload partial{local.file("up.bin"), 1000, static_cast<std::int64_t>(info.st_mtime), "up.bin"};
        if (kind == Server::KeepsGrowing) {
            try {
                UploadResumable(client, local.file("up.bin"), "up.bin", partial);
                ADD_FAILURE() << "appended to a file that kept growing";
            } catch (const EToolError& error) {
                EXPECT_NE(std::string(error.what()).find("up.bin"), std::string::npos) << error.what();
                EXPECT_NE(std::string(error.what()).find("still growing"), std::string::npos) << error.what();
            }
        } else {
            UploadResumable(client, local.file("up.bin"), "up.bin", partial);
            EXPECT_TRUE(partial.Empty());
            EXPECT_TRUE(server.failures().empty()) << server.failures().front();
            EXPECT_EQ(server.receivedData(), kind == Server::SettlesShort ? content.substr(300) : "")
                << "appended behind the settled size";
        }
        if (kind != Server::SettlesShort) {
            for (const std::string& line : server.received()) {
                EXPECT_NE(line.rfind("APPE", 0), 0u) << "nothing sent";
                EXPECT_NE(line.rfind("STOR", 0), 0u) << "nothing sent";
            }
        }
        DoneTransferList();
    }
}

}  // namespace
}  // namespace harbrook::testing
