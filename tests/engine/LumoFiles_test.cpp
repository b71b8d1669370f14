// Local-file services.

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>

#include "engine/LumoFiles.h"
#include "platform/LocalFiles.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

class RecordingBrowser : public IFolderBrowser {
public:
    std::string ChooseFolder(const TLumoFolderRequest& request) override {
        last = request;
        return "/chosen";
    }
    TLumoFolderRequest last;
};

TEST(LocalFiles, SizesAndDates) {
    TempDir dir;
    writeFile(dir.file("f"), "12345");
    EXPECT_EQ(GetFileSize(dir.file("f")), 5);
    EXPECT_EQ(GetFileSize(dir.file("missing")), -1);
    EXPECT_EQ(GetFileDateTime(dir.file("missing")), -1.0);
    const DateTimeParts modified = decodeDateTime(GetFileDateTime(dir.file("f")));
    const DateTimeParts now = localNow();
    EXPECT_EQ(modified.year, now.year);
    EXPECT_EQ(modified.month, now.month);
}

TEST(LocalFiles, VersionStampOfOurExecutables) {
    int major = -1, minor = -1, release = -1, build = -1;
    ASSERT_TRUE(GetFileVersion(HARBROOK_CLI_PATH, major, minor, release, build));
    EXPECT_EQ(std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) +
                  "." + std::to_string(build),
              ProgramVersionText());
    TempDir dir;
    writeFile(dir.file("plain.txt"), "no stamp in here");
    int a = 7, b = 7, c = 7, d = 7;
    EXPECT_FALSE(GetFileVersion(dir.file("plain.txt"), a, b, c, d));
    EXPECT_FALSE(GetFileVersion(dir.file("missing"), a, b, c, d));
    EXPECT_EQ(a + b + c + d, 28) << "outputs untouched";
}

TEST(LocalFiles, LocalDisksAndSerial) {
    TempDir dir;
    EXPECT_TRUE(IsLocalDrive(dir.file("not-yet-there")));
    EXPECT_FALSE(IsLocalDrive("//server/share/file"));
    EXPECT_FALSE(IsLocalDrive("\\\\server\\share"));
    const std::string serial = GetDiskSerial('C');
    EXPECT_TRUE(serial.empty() || (serial.size() == 8 &&
                                   serial.find_first_not_of("0123456789ABCDEF") == std::string::npos))
        << serial;
}

TEST(LocalFiles, SpecialFoldersFollowXdg) {
    const char* oldHome = std::getenv("HOME");
    const std::string savedHome = oldHome != nullptr ? oldHome : "";
    ::setenv("HOME", "/nonexistent-home", 1);
    ::unsetenv("XDG_CONFIG_HOME");
    ::unsetenv("XDG_DATA_HOME");
    ::unsetenv("XDG_DESKTOP_DIR");
    ::setenv("XDG_DOCUMENTS_DIR", "/docs", 1);
    TLumo_files files;
    EXPECT_EQ(files._Desktop(), "/nonexistent-home/Desktop");
    EXPECT_EQ(files._Personal(), "/docs");
    EXPECT_EQ(files._Programs(), "/nonexistent-home/.local/share/applications");
    EXPECT_EQ(files._Startup(), "/nonexistent-home/.config/autostart");
    EXPECT_EQ(files.GetSpecialFolder(99), "");
    ::unsetenv("XDG_DOCUMENTS_DIR");
    ::setenv("HOME", savedHome.c_str(), 1);
}

TEST(LumoFiles, ComponentAndFolderChooser) {
    RecordingBrowser browser;
    TLumo_files files(&browser);
    EXPECT_EQ(files.Version(), "r1.17");
    files.SetVersion("changed");
    EXPECT_EQ(files.Version(), "r1.17");
    EXPECT_TRUE(files.OnlocalDrive());
    EXPECT_TRUE(files.ShowProgress);
    EXPECT_FALSE(files.Confirmation);

    TempDir dir;
    EXPECT_EQ(files.BrowseForFolder("Donwload to Folder", dir.path(), true, false), "/chosen");
    EXPECT_EQ(browser.last.Flags, 0x0051u);
    EXPECT_EQ(browser.last.InitialFolder, dir.path());
    files.BrowseForFolder("Pick", dir.file("missing"), false, true);
    EXPECT_EQ(browser.last.Flags, 0x0001u | 0x0040u | 0x0200u | 0x4000u);
    EXPECT_EQ(browser.last.InitialFolder, "") << "a missing folder is no starting point";

    // Without a chooser of its own, the program's dialogs are asked (here a cancel).
    DialogsScope scope;
    TLumo_files withoutChooser;
    EXPECT_EQ(withoutChooser.BrowseForFolder("Pick", "/", true, false), "");
    EXPECT_EQ(scope.dialogs.Shown(), std::vector<std::string>{"folder: Pick"});
    scope.dialogs.folderAnswers.push_back("/home/u");
    EXPECT_EQ(withoutChooser.BrowseForFolder("Donwload to Folder", "/", true, false), "/home/u");
}

}  // namespace
}  // namespace harbrook::testing
