// A transfer cut at five points (the server killed, harbrook-cli killed, Ctrl-C), then
// continued with get -c / put -c: the result is byte-exact and, where the server logs
// its transfers, only the rest (and the 4 KiB overlap of a download) moved again. On
// pyftpdlib plain and over TLS (restarted on its port after a kill), and on vsftpd over
// TLS.

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <memory>
#include <thread>

#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"
#include "tests/support/TlsCertificate.h"
#include "tests/support/VsftpdServer.h"
#include "tests/tools/CliRunner.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

enum class Cut { ServerKilled, ClientKilled, CtrlC };
enum class Server { Pyftpd, PyftpdTls, Vsftpd };

struct Case {
    Server server;
    Cut cut;
    bool upload;
};

std::string caseName(const ::testing::TestParamInfo<Case>& info) {
    const char* cuts[] = {"ServerKilled", "ClientKilled", "CtrlC"};
    const char* servers[] = {"Pyftpd", "PyftpdTls", "Vsftpd"};
    return std::string(servers[static_cast<int>(info.param.server)]) + cuts[static_cast<int>(info.param.cut)] +
           (info.param.upload ? "Upload" : "Download");
}

// The file's size, or -1 while it is not there.
std::int64_t sizeOf(const std::string& path) {
    std::error_code error;
    const auto size = fs::file_size(path, error);
    return error ? -1 : static_cast<std::int64_t>(size);
}

// Waits until the file has stopped growing for 200 ms (the other side has let go of it).
std::int64_t settledSize(const std::string& path) {
    std::int64_t last = sizeOf(path);
    for (int waited = 0; waited < 5000; waited += 200) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        const std::int64_t now = sizeOf(path);
        if (now == last) {
            return now;
        }
        last = now;
    }
    return last;
}

class CliInterrupts : public ::testing::TestWithParam<Case> {
protected:
    static constexpr std::int64_t kSize = 1 << 20;
    static constexpr int kRate = 2 << 20;

    void SetUp() override {
        const bool onPyftpd = GetParam().server != Server::Vsftpd;
        const std::string reason = onPyftpd ? PyFtpdServer::unavailableReason() : VsftpdServer::unavailableReason();
        if (!reason.empty()) {
            GTEST_SKIP() << reason;
        }
        if (onPyftpd) {
            const bool tls = GetParam().server == Server::PyftpdTls;
            PyFtpdOptions options = tls ? PyFtpdOptions::RequiringTls(TestCertificate::Trusted, true) : PyFtpdOptions{};
            options.smoothRate = kRate;
            options.keepLog = true;
            pyftpd = std::make_unique<PyFtpdServer>(options);
            root = pyftpd->root();
            login = {"--port", std::to_string(pyftpd->port()), "--user", pyftpd->user(), "--pass", pyftpd->password(),
                     "--timeout", "3"};
            if (tls) {
                login.insert(login.end(), {"--require-tls", "--cacert", testAuthorityFile()});
            }
            login.push_back("127.0.0.1");
        } else {
            vsftpd = std::make_unique<VsftpdServer>(TestCertificate::Trusted,
                                                    "local_max_rate=" + std::to_string(kRate) + "\n");
            root = vsftpd->root();
            login = {"--port", std::to_string(vsftpd->port()), "--user", vsftpd->user(), "--pass", vsftpd->password(),
                     "--require-tls", "--cacert", testAuthorityFile(), "--timeout", "3", "127.0.0.1"};
        }
    }
    std::vector<std::string> with(const std::string& command) const {
        std::vector<std::string> args = login;
        args.push_back(command);
        return args;
    }
    std::string log() const { return pyftpd ? pyftpd->log() : std::string(); }

    std::unique_ptr<PyFtpdServer> pyftpd;
    std::unique_ptr<VsftpdServer> vsftpd;
    std::string root;
    std::vector<std::string> login;
    TempDir local;
};

TEST_P(CliInterrupts, FiveCutsThenTheRestByteExact) {
    const Case c = GetParam();
    writeRandomFile(root + "/source.bin", kSize, 5);
    writeRandomFile(local.file("source.bin"), kSize, 5);
    const std::string whole = sha256OfFile(local.file("source.bin"));
    for (const int percent : {10, 30, 50, 70, 90}) {
        SCOPED_TRACE(percent);
        const std::string name = "cut-" + std::to_string(percent) + ".bin";
        const std::string target = c.upload ? root + "/" + name : local.file(name);
        const std::string start = c.upload ? "put " + local.file("source.bin") + " " + name
                                           : "get source.bin " + target;
        BackgroundCli cli(with(start));
        const auto deadline = Clock::now() + std::chrono::seconds(10);
        while (sizeOf(target) < kSize * percent / 100 && Clock::now() < deadline) {
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
        ASSERT_GE(sizeOf(target), kSize * percent / 100) << "the transfer never got there";
        const auto cutAt = Clock::now();
        switch (c.cut) {
            case Cut::ServerKilled: pyftpd->kill(); break;
            case Cut::ClientKilled: cli.signal(SIGKILL); break;
            case Cut::CtrlC: cli.signal(SIGINT); break;
        }
        const CliRun cut = cli.finish();
        EXPECT_LT(Clock::now() - cutAt, std::chrono::seconds(5)) << "the cut ends the program soon";
        if (c.cut == Cut::ServerKilled) {
            pyftpd->restart();
        }
        const std::int64_t have = settledSize(target);
        ASSERT_GT(have, 0) << "what arrived is kept";
        // An upload cut at the client may still arrive whole: what the program had
        // handed to the kernel is delivered after it is gone. Everything else stops short.
        const bool deliveredAnyway = c.upload && c.cut != Cut::ServerKilled && have == kSize;
        if (!deliveredAnyway) {
            ASSERT_LT(have, kSize) << "cut before the end";
            EXPECT_NE(cut.exitCode, 0) << cut.err;
        }
        // (An upload the server confirmed before Ctrl-C took effect simply ends the
        // session after it: "interrupted".)
        if (c.cut != Cut::ClientKilled && !deliveredAnyway) {
            // "… interrupted after N of M bytes", or (an upload whose data had all gone)
            // "… interrupted before the server confirmed it".
            const std::string what = c.upload ? "upload of " + local.file("source.bin") : "download of source.bin";
            EXPECT_EQ(cut.err.rfind(what + " interrupted ", 0), 0u) << cut.err;
        }

        const std::size_t from = log().size();
        const std::string rest = c.upload ? "put -c " + local.file("source.bin") + " " + name
                                          : "get -c source.bin " + target;
        const CliRun again = runCli(with(rest));
        ASSERT_EQ(again.exitCode, 0) << again.err;
        EXPECT_EQ(sha256OfFile(target), whole);
        if (pyftpd && have < kSize) {
            const std::int64_t overlap = c.upload ? 0 : std::min<std::int64_t>(have, 4096);
            const std::string line = std::string(c.upload ? "APPE " : "RETR ") + root + "/" +
                                     (c.upload ? name : "source.bin") +
                                     " completed=1 bytes=" + std::to_string(kSize - have + overlap);
            for (int waited = 0; waited < 3000 && log().find(line, from) == std::string::npos; waited += 10) {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
            EXPECT_NE(log().find(line, from), std::string::npos) << log().substr(from);
        }
        // Nothing but the finished file: no part, no temporary copy left beside it.
        EXPECT_EQ(std::distance(fs::directory_iterator(fs::path(target).parent_path()), fs::directory_iterator()),
                  static_cast<std::ptrdiff_t>(percent / 20 + 2));
    }
}

INSTANTIATE_TEST_SUITE_P(Cuts, CliInterrupts,
                         ::testing::Values(Case{Server::Pyftpd, Cut::ServerKilled, false},
                                           Case{Server::Pyftpd, Cut::ServerKilled, true},
                                           Case{Server::Pyftpd, Cut::ClientKilled, false},
                                           Case{Server::Pyftpd, Cut::ClientKilled, true},
                                           Case{Server::Pyftpd, Cut::CtrlC, false},
                                           Case{Server::Pyftpd, Cut::CtrlC, true},
                                           Case{Server::PyftpdTls, Cut::ServerKilled, false},
                                           Case{Server::PyftpdTls, Cut::ServerKilled, true},
                                           Case{Server::Vsftpd, Cut::ClientKilled, false},
                                           Case{Server::Vsftpd, Cut::ClientKilled, true},
                                           Case{Server::Vsftpd, Cut::CtrlC, false},
                                           Case{Server::Vsftpd, Cut::CtrlC, true}),
                         caseName);

}  // namespace
}  // namespace harbrook::testing
