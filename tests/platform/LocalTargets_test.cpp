// What stands at a local path, judged without following links, and names cut for
// messages.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "platform/LocalFiles.h"
#include "platform/MessageText.h"
#include "platform/Stream.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

TEST(LocalTargets, EntriesAreJudgedThemselves) {
    TempDir dir;
    writeFile(dir.file("file"), "12345");
    fs::create_directories(dir.file("folder"));
    ASSERT_EQ(::mkfifo(dir.file("pipe").c_str(), 0600), 0);
    fs::create_symlink(dir.file("file"), dir.file("to-file"));
    fs::create_symlink(dir.file("folder"), dir.file("to-folder"));
    fs::create_symlink(dir.file("pipe"), dir.file("to-pipe"));
    fs::create_symlink(dir.file("gone"), dir.file("dangling"));
    const struct {
        const char* name;
        LocalEntryKind kind;
        LocalEntryKind leadsTo;
    } rows[] = {
        {"file", LocalEntryKind::File, LocalEntryKind::File},
        {"folder", LocalEntryKind::Folder, LocalEntryKind::Folder},
        {"pipe", LocalEntryKind::Special, LocalEntryKind::Special},
        {"to-file", LocalEntryKind::Link, LocalEntryKind::File},
        {"to-folder", LocalEntryKind::Link, LocalEntryKind::Folder},
        {"to-pipe", LocalEntryKind::Link, LocalEntryKind::Special},
        {"dangling", LocalEntryKind::Link, LocalEntryKind::Missing},
        {"missing", LocalEntryKind::Missing, LocalEntryKind::Missing},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const LocalEntry entry = InspectLocalEntry(dir.file(row.name));
        EXPECT_EQ(entry.kind, row.kind);
        EXPECT_EQ(entry.leadsTo, row.leadsTo);
    }
    EXPECT_EQ(InspectLocalEntry(dir.file("file")).size, 5);
}

TEST(LocalTargets, CreateNewNeverFollowsOrTruncates) {
    TempDir dir;
    writeFile(dir.file("there"), "old");
    fs::create_symlink(dir.file("elsewhere"), dir.file("planted"));
    EXPECT_THROW(TFileStream(dir.file("there"), FileOpenMode::CreateNew), EStreamError);
    EXPECT_THROW(TFileStream(dir.file("planted"), FileOpenMode::CreateNew), EStreamError);
    EXPECT_EQ(readFile(dir.file("there")), "old");
    EXPECT_FALSE(fs::exists(dir.file("elsewhere")));
    {
        TFileStream made(dir.file("private"), FileOpenMode::CreateNew, 0600);
    }
    EXPECT_EQ(fs::status(dir.file("private")).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);
    EXPECT_THROW(TFileStream(dir.file("planted"), FileOpenMode::WriteInto), EStreamError);
}

TEST(MessageText, LongTextKeepsItsStartAndEnd) {
    EXPECT_EQ(ShortenedForMessage("short"), "short");
    const std::string exact(160, 'x');
    EXPECT_EQ(ShortenedForMessage(exact), exact);
    const std::string path = "/home/user/" + std::string(5000, 'a') + "/the-end.txt";
    const std::string shown = ShortenedForMessage(path);
    EXPECT_LE(shown.size(), 160u);
    EXPECT_EQ(shown.rfind("/home/user/", 0), 0u);
    EXPECT_EQ(shown.substr(shown.size() - 12), "/the-end.txt");
    EXPECT_NE(shown.find("\xE2\x80\xA6"), std::string::npos);
    // Two-byte letters on either side of the cut stay whole.
    std::string letters;
    for (int i = 0; i < 200; ++i) {
        letters += "\xC3\xA4";
    }
    const std::string cut = ShortenedForMessage(letters, 41);
    for (std::size_t i = 0; i < cut.size();) {
        const auto lead = static_cast<unsigned char>(cut[i]);
        ASSERT_TRUE(lead == 0xC3 || lead == 0xE2) << i;
        i += lead == 0xC3 ? 2 : 3;
        ASSERT_LE(i, cut.size());
    }
}

}  // namespace
}  // namespace harbrook::testing
