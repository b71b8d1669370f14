#include "platform/ProfileFile.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

TEST(ProfileFile, ReadsAsTheProfileFunctionsDo) {
    TempDir dir;
    writeFile(dir.file("a.ini"), "[other]\nhost=wrong\n[Main]\r\nHost=ftp.example\r\n height=500\nheight=1\n"
                                 "left=12x\nuser= spaced \nempty=\n;comment=1\n[main]\nlater=joined\n");
    const ProfileFile ini(dir.file("a.ini"));
    EXPECT_EQ(ini.ReadString("main", "host", "-"), "ftp.example") << "names without case, CR dropped";
    EXPECT_EQ(ini.ReadInteger("main", " height", 0), 500) << "the blank belongs to the key";
    EXPECT_EQ(ini.ReadInteger("main", "height", 0), 1);
    EXPECT_EQ(ini.ReadInteger("main", "left", 7), 7) << "not a whole number: the fallback";
    EXPECT_EQ(ini.ReadString("main", "user", "-"), " spaced ") << "values as written";
    EXPECT_EQ(ini.ReadString("main", "empty", "-"), "");
    EXPECT_EQ(ini.ReadString("main", ";comment", "-"), "-");
    EXPECT_EQ(ini.ReadString("main", "later", "-"), "joined");
    EXPECT_EQ(ini.ReadString("main", "missing", "-"), "-");
    EXPECT_EQ(ProfileFile(dir.file("none.ini")).ReadInteger("main", "left", 3), 3);
}

TEST(ProfileFile, SavesWholeAndPrivately) {
    TempDir dir;
    ProfileFile ini(dir.file("b.ini"));
    ini.WriteInteger("main", "left", -5);
    ini.WriteString("main", " height", "9");
    ini.WriteString("main", "pass", "p\nq");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(readFile(dir.file("b.ini")), "[main]\nleft=-5\n height=9\npass=p\n");
    struct stat info {};
    ASSERT_EQ(::stat(dir.file("b.ini").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    // A save that cannot finish (here the rename meets a folder of that name) leaves
    // what was there, and no temporary file.
    fs::create_directories(dir.file("c.ini"));
    writeFile(dir.file("c.ini/inside"), "old");
    ProfileFile blocked(dir.file("c.ini"));
    blocked.WriteString("main", "host", "new");
    EXPECT_FALSE(blocked.Save());
    EXPECT_EQ(readFile(dir.file("c.ini/inside")), "old");
    std::size_t files = 0;
    for (const auto& entry : fs::directory_iterator(dir.path())) {
        (void)entry;
        ++files;
    }
    EXPECT_EQ(files, 2u);
    EXPECT_FALSE(ProfileFile(dir.file("b.ini/below.ini")).Save()) << "no folder to write in";
}

// A save replaces the file rather than rewriting it: an older file readable by others
// becomes private, and a hard link to it (another name for the old file) keeps the old
// text.
TEST(ProfileFile, ASaveReplacesTheFileItDoesNotRewriteIt) {
    TempDir dir;
    const std::string path = dir.file("old.ini");
    writeFile(path, "[main]\npass=old secret\n");
    ASSERT_EQ(::chmod(path.c_str(), 0644), 0);
    ASSERT_EQ(::link(path.c_str(), dir.file("linked.ini").c_str()), 0);
    ProfileFile ini(path);
    ini.WriteString("main", "pass", "");
    ASSERT_TRUE(ini.Save());
    EXPECT_EQ(readFile(path), "[main]\npass=\n");
    struct stat info {};
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
    EXPECT_EQ(info.st_nlink, 1u) << "a new file, not the linked one";
    EXPECT_EQ(readFile(dir.file("linked.ini")), "[main]\npass=old secret\n");
}

TEST(ProfileFile, SettingsLiveBesideTheProgramOrInTheUsersConfig) {
    TempDir dir;
    EXPECT_EQ(SettingsFilePath(dir.path(), "Harbrook.ini"), dir.path() + "/Harbrook.ini");
    const char* old = std::getenv("XDG_CONFIG_HOME");
    const std::string saved = old != nullptr ? old : "";
    ::setenv("XDG_CONFIG_HOME", dir.file("config").c_str(), 1);
    EXPECT_EQ(SettingsFilePath("/nonexistent-program-folder", "Harbrook.ini"),
              dir.file("config") + "/harbrook/Harbrook.ini");
    if (old != nullptr) {
        ::setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

}  // namespace
}  // namespace harbrook::testing
