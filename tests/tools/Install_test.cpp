// The install and the demo, from outside: what `make install` puts where, the installed
// program starting and keeping its settings in the user's configuration folder, and
// `make demo`'s server answering and stopping with the window.

#include <gtest/gtest.h>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/NetworkHelpers.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

// The width and height stored in a PNG file's header.
std::pair<int, int> pngSize(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    unsigned char header[24] = {};
    file.read(reinterpret_cast<char*>(header), sizeof header);
    auto big = [&](int at) { return (header[at] << 24) | (header[at + 1] << 16) | (header[at + 2] << 8) | header[at + 3]; };
    return {big(16), big(20)};
}

TEST(Install, TheInstalledTreeRunsAndKeepsSettingsInTheUsersConfig) {
    TempDir root;
    const std::string install = "DESTDIR=" + root.path() + " cmake --install " + HARBROOK_BUILD_DIR +
                                " --prefix /usr > " + root.file("install.log") + " 2>&1";
    ASSERT_EQ(std::system(install.c_str()), 0) << readFile(root.file("install.log"));
    const std::string usr = root.path() + "/usr";
    for (const char* program : {"harbrook", "harbrook-cli", "harbrook-update-server"}) {
        EXPECT_TRUE(fs::exists(usr + "/bin/" + program)) << program;
    }
    const std::string desktop = usr + "/share/applications/harbrook.desktop";
    ASSERT_TRUE(fs::exists(desktop));
    if (std::system("command -v desktop-file-validate >/dev/null 2>&1") == 0) {
        EXPECT_EQ(std::system(("desktop-file-validate " + desktop).c_str()), 0);
    }
    EXPECT_TRUE(fs::exists(usr + "/share/icons/hicolor/scalable/apps/harbrook.svg"));
    for (int size : {16, 32, 48, 256}) {
        const std::string png = usr + "/share/icons/hicolor/" + std::to_string(size) + "x" + std::to_string(size) +
                                "/apps/harbrook.png";
        EXPECT_EQ(pngSize(png), std::make_pair(size, size)) << png;
    }

    // The installed program starts (offscreen) and, asked to end, writes its settings to
    // the configuration folder.
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", root.file("config").c_str(), 1);
        const std::string program = usr + "/bin/harbrook";
        ::execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    ::kill(pid, SIGTERM);
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_TRUE(fs::exists(root.file("config/harbrook/Harbrook.ini")));
    EXPECT_FALSE(fs::exists(usr + "/bin/Harbrook.ini")) << "never beside an installed program";

    // Given an address, as a browser hands one over (the desktop entry's %u), it logs in
    // and enters the address's folder; the password in the address never reaches the INI.
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    EXPECT_NE(readFile(desktop).find("MimeType=x-scheme-handler/ftp;x-scheme-handler/ftps;"), std::string::npos);
    PyFtpdOptions logged;
    logged.keepLog = true;
    PyFtpdServer server(logged);
    fs::create_directories(server.root() + "/in here");
    const std::string address = "ftp://" + server.user() + ":" + server.password() + "@127.0.0.1:" +
                                std::to_string(server.port()) + "/in%20here";
    const pid_t opened = ::fork();
    if (opened == 0) {
        ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
        ::setenv("XDG_CONFIG_HOME", root.file("config").c_str(), 1);
        const std::string program = usr + "/bin/harbrook";
        ::execl(program.c_str(), program.c_str(), address.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    bool entered = false;
    for (int waited = 0; waited < 10000 && !entered; waited += 50) {
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        entered = server.log().find("CWD " + server.root() + "/in here 250") != std::string::npos;
    }
    ::kill(opened, SIGTERM);
    ::waitpid(opened, &status, 0);
    EXPECT_TRUE(entered) << server.log();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    const std::string ini = readFile(root.file("config/harbrook/Harbrook.ini"));
    EXPECT_NE(ini.find("host=127.0.0.1"), std::string::npos) << ini;
    EXPECT_EQ(ini.find(server.password()), std::string::npos) << ini;
}

TEST(Demo, TheServerAnswersAndStopsWithTheWindow) {
    const std::uint16_t port = unusedLoopbackPort();
    TempDir dir;
    const std::string window = std::string(HARBROOK_CLI_PATH) + " --port " + std::to_string(port) +
                               " --user demo --pass demo 127.0.0.1 ls 'cd pub' ls";
    const std::string command = "HARBROOK_DEMO_PORT=" + std::to_string(port) + " HARBROOK_DEMO_WINDOW=\"" + window +
                                "\" " + HARBROOK_SOURCE_DIR + "/scripts/demo " + HARBROOK_BUILD_DIR + " > " +
                                dir.file("out") + " 2>&1";
    ASSERT_EQ(std::system(command.c_str()), 0) << readFile(dir.file("out"));
    const std::string out = readFile(dir.file("out"));
    EXPECT_NE(out.find("Host: 127.0.0.1   Port: " + std::to_string(port)), std::string::npos) << out;
    EXPECT_NE(out.find("\tREADME.txt"), std::string::npos) << out;
    EXPECT_NE(out.find("\tlinux"), std::string::npos) << out;
    EXPECT_EQ(out.find("server.out"), std::string::npos) << "the server's log is not in the served tree";
    const std::string probe = std::string(HARBROOK_CLI_PATH) + " --timeout 2 --port " + std::to_string(port) +
                              " 127.0.0.1 pwd > /dev/null 2>&1";
    EXPECT_NE(std::system(probe.c_str()), 0) << "the demo server stopped with the window";
}

}  // namespace
}  // namespace harbrook::testing
