// The remote pane's rules: the row name, the row to mark, what Delete takes, what View
// refuses, the caption.

#include "engine/RemoteRows.h"
#include "engine/RemoteRules.h"

#include <gtest/gtest.h>

#include "engine/DirListings.h"
#include "ftp/listing/IdFTPList.h"

namespace {

TEST(RemoteRules, TheRowNameIsTheExactInverseOfTheRow) {
    // Every name a server may send comes back whole from its row, whatever it holds.
    for (const std::string name : {"a", "a|b.txt", "a||b", "ends|", "ends||", "|", "||", "||||", " blank ",
                                   "caf\xe9", "-", "x||-||"}) {
        SCOPED_TRACE(name);
        TIdFTPListItem file;
        file.SetFileName(name);
        file.Size = 5;
        file.ItemType = ditFile;
        EXPECT_EQ(RowNameOf(DirListingLine(file)), name);
        TIdFTPListItem folder;
        folder.SetFileName(name);
        folder.ItemType = ditDirectory;
        EXPECT_EQ(RowNameOf(DirListingLine(folder)), name);
    }
    EXPECT_EQ(RowNameOf("nothere||-||||"), "nothere");
    EXPECT_EQ(RowNameOf("not a row"), "not a row");
    EXPECT_EQ(RowNameOf("half||5||"), "half||5||") << "too few fields: all name";
}

TEST(RemoteRules, TheRowToMark) {
    using Pane = RowMark::Pane;
    const std::vector<std::string> folders = {"a", "b", "linux"};
    struct Case {
        std::vector<std::string> folders;
        int files;
        std::string path;
        Pane pane;
        int row;
    };
    const Case cases[] = {
        {folders, 2, "/pub/linux", Pane::Folders, 2},   // back from a folder: that folder
        {folders, 2, "/pub/linux/", Pane::Folders, 2},  // with its trailing slash
        {folders, 2, "/pub/gone", Pane::Folders, 0},    // a name not there: the first folder
        {folders, 2, "", Pane::Folders, 0},
        {folders, 2, "/", Pane::Folders, 0},
        {{}, 2, "/x/a.txt", Pane::Files, 0},            // no folders: the first file
        {{}, 0, "/x", Pane::None, -1},                  // an empty folder: nothing
        {{"a"}, 0, "a", Pane::Folders, 0},              // a bare name is no path
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.path);
        const RowMark mark = RowToMark(row.folders, row.files, row.path);
        EXPECT_EQ(mark.pane, row.pane);
        EXPECT_EQ(mark.row, row.row);
    }
}

TEST(RemoteRules, DeleteTakesFoldersFirst) {
    const DeleteChoice both = ChooseForDelete({"d"}, {"f1", "f2"});
    EXPECT_TRUE(both.folders);
    EXPECT_EQ(both.names, std::vector<std::string>{"d"});
    const DeleteChoice files = ChooseForDelete({}, {"f1", "f2"});
    EXPECT_FALSE(files.folders);
    EXPECT_EQ(files.names.size(), 2u);
    EXPECT_TRUE(ChooseForDelete({}, {}).names.empty());
}

TEST(RemoteRules, WhatViewRefuses) {
    const struct {
        const char* name;
        std::string refusal;
    } cases[] = {
        {"", "No file selected."},
        {"a.txt", ""},
        {"A.TXT", ""},
        {"page.Html", ""},
        {"x.htm", ""},
        {"run.bat", ""},
        {"info.nfo", ""},
        {"a.txt.gz", "Only text files can be viewed"},
        {"README", "Only text files can be viewed"},
        {".txt", ""},
        {"..txt", ""},
        {"../a.txt", "Cannot view \"../a.txt\": the name is not a file name here"},
    };
    for (const auto& row : cases) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ViewRefusal(row.name), row.refusal);
    }
    EXPECT_TRUE(IsViewableSize(64000));
    EXPECT_FALSE(IsViewableSize(64001));
}

TEST(RemoteRules, Caption) {
    EXPECT_EQ(CaptionText(1, 2, 3, 4, "12/09/2026 10:00:00"), "Harbrook [r1.2.3b4; 12/09/2026 10:00:00]");
}

}  // namespace
