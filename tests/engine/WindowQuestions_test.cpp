// The questions the main window asks, and where View keeps its files.

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>

#include "engine/FtpTools.h"
#include "engine/ViewFolder.h"
#include "engine/WindowQuestions.h"
#include "tests/support/TempDir.h"

namespace harbrook::testing {
namespace {

namespace fs = std::filesystem;

std::vector<std::string> names(int count, const std::string& stem = "n") {
    std::vector<std::string> result;
    for (int i = 0; i < count; ++i) {
        result.push_back(stem + std::to_string(i));
    }
    return result;
}

TEST(WindowQuestions, DeleteQuestionShowsAtMostFifteenNames) {
    const struct {
        const char* label;
        std::vector<std::string> names;
        bool folders;
        std::string question;
    } rows[] = {
        {"two files", {"a", "b"}, false, "Are you sure to remove files(s)\r\ra\nb\n"},
        {"one folder", {"tree"}, true,
         "Are you sure to remove folder(s)\r\rtree\n\rEverything inside these folders is removed as well.\n"},
        {"fifteen", names(15), false,
         "Are you sure to remove files(s)\r\rn0\nn1\nn2\nn3\nn4\nn5\nn6\nn7\nn8\nn9\nn10\nn11\nn12\nn13\nn14\n"},
        {"sixteen", names(16), false,
         "Are you sure to remove files(s)\r\rn0\nn1\nn2\nn3\nn4\nn5\nn6\nn7\nn8\nn9\nn10\nn11\nn12\nn13\nn14\n"
         "\xE2\x80\xA6 and 1 more\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        EXPECT_EQ(DeleteQuestion(row.names, row.folders), row.question);
    }
    const std::string many = DeleteQuestion(names(20000, std::string(5000, 'x')), true);
    EXPECT_LT(many.size(), 15u * 81 + 200);
    EXPECT_NE(many.find("\xE2\x80\xA6 and 19985 more\n"), std::string::npos);
}

TEST(WindowQuestions, QuitQuestionCountsTheQueuedEntries) {
    EXPECT_EQ(QuitQuestion(0), "");
    EXPECT_EQ(QuitQuestion(1), "1 transfer is running or waiting. Quit anyway?");
    EXPECT_EQ(QuitQuestion(7), "7 transfers are running or waiting. Quit anyway?");
}

TEST(ViewFolder, MadePrivateAndRemovedWithItsFiles) {
    TempDir runtime;
    ::chmod(runtime.path().c_str(), 0700);
    EXPECT_EQ(ViewFolderBase(runtime.path()), runtime.path() + "/");
    ::chmod(runtime.path().c_str(), 0755);
    EXPECT_EQ(ViewFolderBase(runtime.path()), GetTempFolder()) << "open to others: not private";
    fs::create_symlink(runtime.path(), runtime.file("link"));
    EXPECT_EQ(ViewFolderBase(runtime.file("link")), GetTempFolder());
    EXPECT_EQ(ViewFolderBase(""), GetTempFolder());

    std::string path;
    {
        TViewFolder folder;
        path = folder.Path();
        EXPECT_EQ(folder.Path(), path) << "made once";
        EXPECT_EQ(fs::status(path).permissions() & fs::perms::all, fs::perms::owner_all);
        TViewFolder other;
        EXPECT_NE(other.Path(), path) << "no predictable name";
        writeFile(path + "readme.txt", "x");
    }
    EXPECT_FALSE(fs::exists(path));
}

}  // namespace
}  // namespace harbrook::testing
