// The update check against scripted update servers: every log line and caption of the
// three exchanges, with a short read time-out.

#include "update/UpdateCheck.h"

#include <gtest/gtest.h>

#include <chrono>

#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <thread>

#include "tests/support/ScriptedFtpServer.h"
#include "tests/support/TempDir.h"
#include "tests/update/ReferenceServer.h"
#include "update/UpdateSignature.h"

namespace harbrook::testing {
namespace {

using harbrook::update::IUpdateView;
using harbrook::update::RunUpdateCheck;
using harbrook::update::UpdateSettings;

// A socket connected to 127.0.0.1:`port`, or -1.
int connectedToLoopback(std::uint16_t port) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

class RecordingView : public IUpdateView {
public:
    void Log(const std::string& text) override { logs.push_back(text); }
    void SetCaption(const std::string& text) override { caption = text; }
    void SetPosition(std::int64_t value) override { position = value; }
    void SetMaximum(std::int64_t value) override { maximum = value; }
    void ShowDownloadProgress(std::int64_t written) override { position = written; }
    void ProcessEvents() override {}
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    void ShowError(const std::string& text) override { errors.push_back(text); }
    std::string ChooseSavePath(const std::string& path) override {
        offered = path;
        return savePath;
    }
    bool ConfirmLaunch(const std::string& question) override {
        questions.push_back(question);
        return launch;
    }

    std::vector<std::string> logs;
    std::vector<std::string> messages;
    std::vector<std::string> errors;
    std::vector<std::string> questions;
    std::string caption;
    std::string offered;
    std::string savePath;
    bool launch = false;
    std::int64_t position = -1;
    std::int64_t maximum = 0;
};

FtpScript exchange(const std::string& command, const std::string& argument) {
    return FtpScript().expect("HarbrookUpdate").expect(command).expect(argument);
}

struct Check {
    explicit Check(std::vector<FtpScript> scripts) : server(std::move(scripts)) {
        settings.host = "127.0.0.1";
        settings.port = server.port();
        settings.readTimeoutMs = 300;
        settings.programName = "harbrook";
        settings.programFolder = folder.path();
        settings.ownBuild = 7;
    }
    std::vector<std::string> run() {
        result = RunUpdateCheck(settings, view);
        std::vector<std::string> logs = view.logs;
        logs.erase(logs.begin());  // "Checking updates on ..."
        return logs;
    }
    ScriptedFtpServer server;
    TempDir folder;
    UpdateSettings settings;
    RecordingView view;
    harbrook::update::UpdateResult result;
};

// The test key's signature of `bytes` (the build's default key is the test key).
std::string signatureOf(const std::string& bytes, const std::string& keyFile = HARBROOK_UPDATE_TEST_KEY) {
    TempDir dir;
    writeFile(dir.file("file"), bytes);
    const auto signature = harbrook::update::SignFile(dir.file("file"), readFile(keyFile));
    EXPECT_TRUE(signature.has_value());
    return signature.value_or("");
}

// The installer exchange, then the signature exchange answering `signature`.
FtpScript installer(const std::string& bytes) {
    return exchange("GETFILE", "HarbrookInstall.exe").reply("YES").reply(std::to_string(bytes.size())).send(bytes);
}
FtpScript signatureReply(const std::string& signature) {
    return exchange("GETFILE", "HarbrookInstall.exe.sig").reply("YES").reply(std::to_string(signature.size()))
        .send(signature);
}

FtpScript noMessage() {
    return exchange("GETMESSAGE", "harbrook").reply("NO");
}

FtpScript build(const std::string& line) {
    return exchange("GETBUILD", "harbrook").reply("YES").reply(line);
}

TEST(UpdateCheck, MessageAndBuildOutcomes) {
    {
        Check check({exchange("GETMESSAGE", "harbrook").reply("YES").reply("a").reply("b").reply(""), build("7")});
        EXPECT_EQ(check.run(), (std::vector<std::string>{"Message read", "No update available"}));
        EXPECT_EQ(check.view.logs.front(), "Checking updates on 127.0.0.1:4995..");
        EXPECT_EQ(check.view.messages, std::vector<std::string>{"a\rb\r"});
        EXPECT_EQ(check.view.caption, "No Update Available");
        EXPECT_EQ(check.view.position, 100);
    }
    {
        Check check({exchange("GETMESSAGE", "harbrook").reply("YES").reply(""), build("")});
        EXPECT_EQ(check.run(), (std::vector<std::string>{"Message was empty", "No update available"}));
    }
    {
        Check check({noMessage(), exchange("GETBUILD", "harbrook").reply("NO")});
        EXPECT_EQ(check.run(), std::vector<std::string>{"Invalid server response"}) << "no line for the message";
        EXPECT_EQ(check.view.caption, "Update Failed");
    }
    {
        Check check({exchange("GETMESSAGE", "harbrook").reply("YES").reply("a").close(), build("12345678901234567890")});
        EXPECT_EQ(check.run(), (std::vector<std::string>{"Connection error on Message Check",
                                                         "Connection error on update check"}));
        EXPECT_TRUE(check.view.messages.empty());
        EXPECT_EQ(check.view.caption, "Update Failed");
    }
    {
        // A silent server: every first read gives an empty line after the time-out.
        Check check({FtpScript().hang(), FtpScript().hang()});
        EXPECT_EQ(check.run(), std::vector<std::string>{"Invalid server response"});
    }
}

TEST(UpdateCheck, Downloads) {
    const std::string installerBytes(100000, 'i');
    {
        Check check({noMessage(), build("8"), installer(installerBytes), signatureReply(signatureOf(installerBytes))});
        check.view.savePath = check.folder.file("HarbrookInstall.exe");
        writeFile(check.view.savePath, "old");
        check.view.launch = true;
        EXPECT_EQ(check.run(), (std::vector<std::string>{"There is update available", "Downloading HarbrookInstall.exe..",
                                                         "Existing file deleted", "File downloaded succesfully"}));
        EXPECT_EQ(check.view.offered, check.folder.path() + "/HarbrookInstall.exe");
        EXPECT_EQ(readFile(check.view.savePath), installerBytes);
        EXPECT_EQ(check.view.caption, "Update Downloaded");
        EXPECT_EQ(check.view.questions, std::vector<std::string>{"Do you want to launch downloaded file now?"});
        EXPECT_EQ(check.result.launch, check.view.savePath);
        EXPECT_EQ(check.view.maximum, 100000);
    }
    {
        Check check({noMessage(), build("8"), exchange("GETFILE", "HarbrookInstall.exe").reply("YES").reply("ERR")});
        check.view.savePath = check.folder.file("HarbrookInstall.exe");
        writeFile(check.view.savePath, "untouched");
        EXPECT_EQ(check.run().back(), "Error retrieving file size");
        EXPECT_EQ(readFile(check.view.savePath), "untouched");
        EXPECT_EQ(check.view.caption, "Download Failed");
    }
    {
        Check check({noMessage(), build("8"),
                     exchange("GETFILE", "HarbrookInstall.exe").reply("YES").reply("100000").send("partial").close()});
        check.view.savePath = check.folder.file("HarbrookInstall.exe");
        EXPECT_EQ(check.run().back(), "Exception while downloading update");
        EXPECT_FALSE(std::filesystem::exists(check.view.savePath)) << "half an installer is not kept";
        EXPECT_EQ(check.view.caption, "Download Failed");
        EXPECT_EQ(check.view.position, 100);
    }
    for (const char* size : {"-5", "many"}) {
        SCOPED_TRACE(size);
        Check check({noMessage(), build("8"), exchange("GETFILE", "HarbrookInstall.exe").reply("YES").reply(size)});
        check.view.savePath = check.folder.file("HarbrookInstall.exe");
        EXPECT_EQ(check.run().back(), "Exception while downloading update");
    }
    {
        Check check({noMessage(), build("8"), exchange("GETFILE", "HarbrookInstall.exe").reply("NO")});
        check.view.savePath = check.folder.file("HarbrookInstall.exe");
        EXPECT_EQ(check.run().back(), "Invalid download response");
    }
    {
        Check check({noMessage(), build("8")});
        EXPECT_EQ(check.run().back(), "Updating interrupted") << "the save dialog cancelled";
        EXPECT_EQ(check.view.caption, "Interrupted");
        EXPECT_NE(check.view.position, 100) << "the check ends at once";
    }
}

// Only an installer whose signature verifies against the built-in key is offered for
// launch; every other is removed and the user told.
TEST(UpdateCheck, OnlyASignedInstallerIsOffered) {
    const std::string bytes(70000, 'x');
    const std::string good = signatureOf(bytes);
    TempDir keys;
    std::string otherPrivate;
    std::string otherPublic;
    ASSERT_TRUE(harbrook::update::MakeSigningKeys(otherPrivate, otherPublic));
    writeFile(keys.file("other.pem"), otherPrivate);
    std::string flipped = good;
    flipped[10] = static_cast<char>(flipped[10] ^ 1);
    struct Row {
        const char* label;
        std::string served;
        FtpScript signature;
        bool launches;
    };
    const std::vector<Row> rows = {
        {"signed", bytes, signatureReply(good), true},
        {"no signature", bytes, exchange("GETFILE", "HarbrookInstall.exe.sig").reply("YES").reply("ERR"), false},
        {"a wrong signature", bytes, signatureReply(flipped), false},
        {"the signature of another file", bytes, signatureReply(signatureOf("another installer")), false},
        {"a truncated installer", bytes.substr(0, 50000), signatureReply(good), false},
        {"signed with another key", bytes, signatureReply(signatureOf(bytes, keys.file("other.pem"))), false},
        {"a signature of the wrong length", bytes, signatureReply(good + "x"), false},
        {"an endless signature", bytes,
         exchange("GETFILE", "HarbrookInstall.exe.sig").reply("YES").reply("100000000").sendForever("s"), false},
        {"a server that closes", bytes, FtpScript().close(), false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        Check check({noMessage(), build("8"), installer(row.served), row.signature});
        check.view.savePath = check.folder.file("HarbrookInstall.exe");
        check.view.launch = true;
        const std::vector<std::string> logs = check.run();
        if (row.launches) {
            EXPECT_EQ(logs.back(), "File downloaded succesfully");
            EXPECT_EQ(check.result.launch, check.view.savePath);
            EXPECT_TRUE(check.view.errors.empty());
            continue;
        }
        EXPECT_EQ(logs.back(), "The update's signature is not valid");
        EXPECT_EQ(check.view.caption, "Update Rejected");
        EXPECT_EQ(check.view.errors,
                  std::vector<std::string>{"The downloaded update is not signed with Harbrook's key. It was not started."});
        EXPECT_TRUE(check.view.questions.empty()) << "no launch question";
        EXPECT_EQ(check.result.launch, "");
        EXPECT_FALSE(std::filesystem::exists(check.view.savePath)) << "the unsigned file is removed";
        EXPECT_EQ(check.view.position, 100);
    }
}

TEST(UpdateCheck, AnEndlessMessageIsCut) {
    FtpScript script = exchange("GETMESSAGE", "harbrook").reply("YES");
    std::string lines;
    for (int i = 0; i < 5000; ++i) {
        lines += "line " + std::to_string(i) + "\r\n";
    }
    script.send(lines).reply("");
    Check check({script, build("1")});
    check.run();
    ASSERT_EQ(check.view.messages.size(), 1u);
    EXPECT_EQ(std::count(check.view.messages[0].begin(), check.view.messages[0].end(), '\r'),
              harbrook::update::kMaxMessageLines);
}

// Few lines but long ones: the message stops at the byte cap, on a whole line.
TEST(UpdateCheck, ALongMessageIsCutAtItsByteCapOnAWholeLine) {
    FtpScript script = exchange("GETMESSAGE", "harbrook").reply("YES");
    std::string lines;
    for (int i = 0; i < 200; ++i) {
        std::string line = std::to_string(i) + ":";
        line.resize(1000, static_cast<char>('a' + i % 26));
        lines += line + "\r\n";
    }
    script.send(lines).reply("");
    Check check({script, build("1")});
    check.run();
    ASSERT_EQ(check.view.messages.size(), 1u);
    const std::string& shown = check.view.messages[0];
    EXPECT_LE(shown.size(), harbrook::update::kMaxMessageBytes);
    EXPECT_GT(shown.size(), harbrook::update::kMaxMessageBytes - 1002) << "as much as fits";
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.back(), '\r') << "ends on a whole line";
    const std::size_t lastStart = shown.rfind('\r', shown.size() - 2) + 1;
    EXPECT_EQ(shown.size() - lastStart, 1001u) << "the last line is whole";
}

// The reference server hands out the installer and its signature and nothing else: no
// name a client sends reaches its disk.
TEST(UpdateServer, GetFileServesOnlyTheInstallerAndItsSignature) {
    TempDir served;
    writeFile(served.file("build.txt"), "42\n");
    writeFile(served.file("message.txt"), "secret plans\n");
    ReferenceServer server(served.path());
    ASSERT_NE(server.port(), 0);
    for (const std::string name : {"build.txt", "message.txt", "../x", "/etc/passwd", "HarbrookInstall.exe/../build.txt",
                                   "./HarbrookInstall.exe"}) {
        SCOPED_TRACE(name);
        const int fd = connectedToLoopback(server.port());
        ASSERT_GE(fd, 0);
        const std::string request = "HarbrookUpdate\r\nGETFILE\r\n" + name + "\r\n";
        ASSERT_EQ(::send(fd, request.data(), request.size(), MSG_NOSIGNAL), static_cast<ssize_t>(request.size()));
        std::string answer;
        char chunk[4096];
        timeval wait{3, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
        for (ssize_t got; (got = ::recv(fd, chunk, sizeof chunk, 0)) > 0;) {
            answer.append(chunk, static_cast<std::size_t>(got));
        }
        ::close(fd);
        EXPECT_EQ(answer, "NO\r\n") << "refused, no bytes of any file";
    }
}

// A server that sends message lines for ever: the exchange ends within its bound.
TEST(UpdateCheck, AMessageWithoutEndIsBoundedInTime) {
    FtpScript script = exchange("GETMESSAGE", "harbrook").reply("YES");
    script.sendForever("one more line\r\n");
    Check check({script, build("1")});
    check.settings.messageTimeoutMs = 500;
    const auto start = std::chrono::steady_clock::now();
    const std::vector<std::string> logs = check.run();
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    ASSERT_FALSE(logs.empty());
    EXPECT_EQ(logs.front(), "Connection error on Message Check");
    EXPECT_TRUE(check.view.messages.empty());
}

TEST(UpdateServer, RoundTripAndHostileClients) {
    TempDir served;
    writeFile(served.file("message.txt"), "Harbrook 2 is out.\nIt is faster.\n");
    writeFile(served.file("build.txt"), "42\n");
    writeRandomFile(served.file("HarbrookInstall.exe"), 300000, 11);
    // Signed as a publisher signs: with the server's own command.
    const std::string sign = std::string(HARBROOK_UPDATE_SERVER_PATH) + " sign " + HARBROOK_UPDATE_TEST_KEY + " " +
                             served.file("HarbrookInstall.exe") + " >/dev/null";
    ASSERT_EQ(std::system(sign.c_str()), 0);
    ReferenceServer server(served.path());
    ASSERT_NE(server.port(), 0);

    // Clients that misbehave: an endless line, an early close, an unknown command.
    for (const std::string& request : {std::string(100000, 'x'), std::string("Harbrook"),
                                       std::string("HarbrookUpdate\r\nGETSECRET\r\n/etc/passwd\r\n")}) {
        const int fd = connectedToLoopback(server.port());
        ASSERT_GE(fd, 0);
        [[maybe_unused]] const ssize_t sent = ::send(fd, request.data(), request.size(), MSG_NOSIGNAL);
        ::close(fd);
    }

    TempDir program;
    UpdateSettings settings;
    settings.host = "127.0.0.1";
    settings.port = server.port();
    settings.readTimeoutMs = 3000;
    settings.programName = "harbrook";
    settings.programFolder = program.path();
    settings.ownBuild = 41;
    RecordingView view;
    view.savePath = program.file("HarbrookInstall.exe");
    view.launch = true;
    const auto result = RunUpdateCheck(settings, view);
    EXPECT_EQ(view.messages, std::vector<std::string>{"Harbrook 2 is out.\rIt is faster.\r"});
    EXPECT_EQ(view.logs.back(), "File downloaded succesfully");
    EXPECT_EQ(sha256OfFile(view.savePath), sha256OfFile(served.file("HarbrookInstall.exe")));
    EXPECT_EQ(result.launch, view.savePath);
}

// keygen makes a pair that sign and the check agree on; the keys are the publisher's.
TEST(UpdateServer, KeygenAndSign) {
    TempDir dir;
    const std::string server = HARBROOK_UPDATE_SERVER_PATH;
    ASSERT_EQ(std::system((server + " keygen " + dir.file("private.pem") + " " + dir.file("public.pem") + " >/dev/null")
                              .c_str()),
              0);
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("private.pem").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_NE(std::system((server + " keygen " + dir.file("private.pem") + " " + dir.file("x.pem") + " 2>/dev/null")
                              .c_str()),
              0)
        << "an existing key is never overwritten";
    writeRandomFile(dir.file("HarbrookInstall.exe"), 1 << 20, 3);
    ASSERT_EQ(std::system((server + " sign " + dir.file("private.pem") + " " + dir.file("HarbrookInstall.exe") +
                           " >/dev/null")
                              .c_str()),
              0);
    const std::string signature = readFile(dir.file("HarbrookInstall.exe.sig"));
    EXPECT_TRUE(harbrook::update::SignatureIsValid(dir.file("HarbrookInstall.exe"), signature,
                                                   readFile(dir.file("public.pem"))));
    EXPECT_FALSE(harbrook::update::SignatureIsValid(dir.file("HarbrookInstall.exe"), signature,
                                                    harbrook::update::BuiltInUpdateKey()))
        << "another key than the built-in one";
    EXPECT_FALSE(harbrook::update::SignatureIsValid(dir.file("missing"), signature, readFile(dir.file("public.pem"))));
    EXPECT_FALSE(harbrook::update::SignatureIsValid(dir.file("HarbrookInstall.exe"), signature, "not a key"));
}

}  // namespace
}  // namespace harbrook::testing
