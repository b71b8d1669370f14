// The same session of file commands through harbrook-cli against four real servers
// (pyftpdlib, vsftpd, pure-ftpd, proftpd), passive and active, plain and with TLS
// demanded for logins and data; every copy compared byte for byte.

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <set>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <memory>

#include "ftp/client/IdFTP.h"
#include "ftp/listing/IdFTPList.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsCertificate.h"
#include "tests/support/UnpackedFtpServers.h"
#include "tests/support/VsftpdServer.h"
#include "tests/tools/CliRunner.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

// A running server of either kind, as the session sees it.
struct Served {
    std::shared_ptr<void> server;
    std::uint16_t port = 0;
    std::string user;
    std::string password;
    std::string root;
};

template <typename Server>
Served served(std::shared_ptr<Server> server) {
    return {server, server->port(), server->user(), server->password(), server->root()};
}

struct Case {
    std::string server;
    bool active;
    bool tls;
};

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    std::string name = info.param.server + (info.param.active ? "Active" : "Passive") + (info.param.tls ? "Tls" : "Plain");
    name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
    return name;
}

// Why the case cannot run here, or the server started for it.
std::string start(const Case& c, Served& out) {
    if (c.server == "pyftpdlib") {
        if (std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            return reason;
        }
        out = served(std::make_shared<PyFtpdServer>(c.tls ? PyFtpdOptions::RequiringTls(TestCertificate::Trusted, true)
                                                           : PyFtpdOptions{}));
    } else if (c.server == "vsftpd") {
        if (std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
            return reason;
        }
        // Its defaults demand TLS for logins and data; the plain case lets it go.
        out = served(std::make_shared<VsftpdServer>(
            TestCertificate::Trusted, c.tls ? "" : "force_local_logins_ssl=NO\nforce_local_data_ssl=NO\n"));
    } else {
        const auto kind = c.server == "pure-ftpd" ? UnpackedFtpServer::Kind::PureFtpd : UnpackedFtpServer::Kind::Proftpd;
        if (std::string reason = UnpackedFtpServer::unavailableReason(kind); !reason.empty()) {
            return reason;
        }
        out = served(std::make_shared<UnpackedFtpServer>(kind, c.tls));
    }
    return {};
}

class FourServers : public ::testing::TestWithParam<Case> {};

TEST_P(FourServers, OneSessionOfEveryCommandByteExact) {
    const Case& c = GetParam();
    Served server;
    if (const std::string reason = start(c, server); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    TempDir local;
    writeRandomFile(local.file("blanks.bin"), 700000, 1);
    writeRandomFile(local.file("more.bin"), 123457, 2);
    writeFile(local.file("utf8.txt"), "caf\xc3\xa9\n");
    writeFile(local.file("dash.txt"), "a name that looks like an option\n");
    fs::create_directories(local.file("tree/inner/deeper"));
    writeRandomFile(local.file("tree/top.bin"), 50000, 3);
    writeRandomFile(local.file("tree/inner/mid.bin"), 1, 4);
    writeFile(local.file("tree/inner/deeper/empty.txt"), "");
    fs::create_directories(local.file("back"));

    std::vector<std::string> args = {"--port", std::to_string(server.port), "--user", server.user, "--timeout", "10"};
    if (c.active) {
        args.push_back("--active");
    }
    if (c.tls) {
        args.insert(args.end(), {"--require-tls", "--cacert", testAuthorityFile()});
    }
    args.push_back("127.0.0.1");
    const std::string dir = "'dir with blanks'";
    const std::vector<std::string> commands = {
        "mkdir " + dir,
        "cd " + dir,
        "put " + local.file("blanks.bin") + " 'two  blanks.bin'",
        "append " + local.file("more.bin") + " 'two  blanks.bin'",
        "put " + local.file("utf8.txt") + " 'caf\xc3\xa9 \xc3\xbc.txt'",
        "put -- " + local.file("dash.txt") + " -dash.txt",
        "size 'two  blanks.bin'",
        "ls",
        "pwd",
        "cd ..",
        "ls " + dir,
        "get " + dir + "/-dash.txt " + local.file("back/dash.txt"),
        "get '" + std::string("dir with blanks/caf\xc3\xa9 \xc3\xbc.txt") + "' " + local.file("back/utf8.txt"),
        "get " + dir + "/'two  blanks.bin' " + local.file("back/blanks.bin"),
        "mv " + dir + "/-dash.txt " + dir + "/renamed.txt",
        "rm " + dir + "/renamed.txt",
        "put -r " + local.file("tree"),
        "get -r tree " + local.file("back"),
        "rm -r tree",
        "mkdir empty",
        "rmdir empty",
    };
    args.insert(args.end(), commands.begin(), commands.end());
    const CliRun run = runCli(args, "HARBROOK_PASSWORD='" + server.password + "'");
    ASSERT_EQ(run.exitCode, 0) << run.err;

    const std::string remote = server.root + "/dir with blanks";
    std::string appended = readFile(local.file("blanks.bin")) + readFile(local.file("more.bin"));
    EXPECT_EQ(readFile(remote + "/two  blanks.bin"), appended) << "put, then append";
    EXPECT_NE(run.out.find(std::to_string(appended.size())), std::string::npos) << "size: " << run.out;
    EXPECT_EQ(readFile(remote + "/caf\xc3\xa9 \xc3\xbc.txt"), readFile(local.file("utf8.txt")));
    EXPECT_EQ(readFile(local.file("back/blanks.bin")), appended);
    EXPECT_EQ(readFile(local.file("back/utf8.txt")), readFile(local.file("utf8.txt")));
    EXPECT_EQ(readFile(local.file("back/dash.txt")), readFile(local.file("dash.txt")));
    EXPECT_FALSE(fs::exists(remote + "/-dash.txt")) << "moved";
    EXPECT_FALSE(fs::exists(remote + "/renamed.txt")) << "removed";
    for (const char* file : {"top.bin", "inner/mid.bin", "inner/deeper/empty.txt"}) {
        EXPECT_EQ(readFile(local.file("back/tree/") + file), readFile(local.file("tree/") + file)) << file;
    }
    EXPECT_FALSE(fs::exists(server.root + "/tree")) << "rm -r";
    EXPECT_FALSE(fs::exists(server.root + "/empty")) << "rmdir";
    for (const char* listed : {"two  blanks.bin", "-dash.txt"}) {
        EXPECT_NE(run.out.find(listed), std::string::npos) << listed << " in: " << run.out;
    }
    EXPECT_NE(run.out.find("/dir with blanks"), std::string::npos) << "pwd: " << run.out;
}

std::vector<Case> cases() {
    std::vector<Case> all;
    for (const char* server : {"pyftpdlib", "vsftpd", "pure-ftpd", "proftpd"}) {
        for (const bool active : {false, true}) {
            for (const bool tls : {false, true}) {
                all.push_back({server, active, tls});
            }
        }
    }
    return all;
}

INSTANTIATE_TEST_SUITE_P(Servers, FourServers, ::testing::ValuesIn(cases()), caseName);

// Where a server offers MLSD, its entries say what its LIST says: the same names, kinds
// and sizes (dates differ in zone and precision and are left out).
class MachineListings : public ::testing::TestWithParam<std::string> {};

TEST_P(MachineListings, AgreeWithTheServersList) {
    Served server;
    if (const std::string reason = start({GetParam(), false, false}, server); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    writeFile(server.root + "/a.txt", "abc");
    writeRandomFile(server.root + "/b b.bin", 1000, 5);
    writeFile(server.root + "/caf\xc3\xa9.txt", "");
    fs::create_directories(server.root + "/sub folder");
    if (::geteuid() == 0) {
        // Files the fixture made as root, handed to the account that serves them.
        for (const auto& entry : fs::directory_iterator(server.root)) {
            struct stat owner {};
            ::stat(server.root.c_str(), &owner);
            [[maybe_unused]] const int changed = ::chown(entry.path().c_str(), owner.st_uid, owner.st_gid);
        }
    }
    auto entries = [&](bool machine, std::string& layout) {
        TIdFTP ftp;
        ftp.SetHost("127.0.0.1");
        ftp.SetPort(server.port);
        ftp.SetUsername(server.user);
        ftp.SetPassword(server.password);
        ftp.SetReadTimeout(10000);
        ftp.SetPassive(true);
        ftp.SetUseMLIS(machine);
        ftp.Connect();
        ftp.ListDirectory();
        std::set<std::string> seen;
        for (const auto& item : ftp.DirectoryItems()) {
            const std::string name(item->FileName());
            if (name == "." || name == "..") {
                continue;
            }
            seen.insert(name + (item->ItemType == ditDirectory ? "/" : " " + std::to_string(item->Size)));
        }
        layout = ftp.ListParserIdentifier() + (ftp.UsingMLIS() ? " (MLSD)" : "");
        ftp.Disconnect();
        return seen;
    };
    std::string machineLayout;
    std::string listLayout;
    const std::set<std::string> byMachine = entries(true, machineLayout);
    const std::set<std::string> byList = entries(false, listLayout);
    EXPECT_EQ(byList, (std::set<std::string>{"a.txt 3", "b b.bin 1000", "caf\xc3\xa9.txt 0", "sub folder/"})) << listLayout;
    if (machineLayout.find("(MLSD)") == std::string::npos) {
        std::printf("[ figures  ] %s offers no MLSD (%s)\n", GetParam().c_str(), machineLayout.c_str());
        return;
    }
    EXPECT_EQ(byMachine, byList) << machineLayout << " against " << listLayout;
}

INSTANTIATE_TEST_SUITE_P(Servers, MachineListings, ::testing::Values("pyftpdlib", "vsftpd", "pure-ftpd", "proftpd"),
                         [](const ::testing::TestParamInfo<std::string>& info) {
                             std::string name = info.param;
                             name.erase(std::remove(name.begin(), name.end(), '-'), name.end());
                             return name;
                         });

}  // namespace
}  // namespace harbrook::testing
