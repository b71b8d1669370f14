#pragma once

#include <cstdint>
#include <string>
#include <vector>

// The rules of the remote pane, kept out of the window so they are tested without one.

// Which row a reload marks. `markPath` is the path whose last part names a folder to
// mark ("" or "/": none); when no folder row has that name, the first folder row is
// marked, else the first file row, else none.
struct RowMark {
    enum class Pane { None, Folders, Files };
    Pane pane = Pane::None;
    int row = -1;
};
RowMark RowToMark(const std::vector<std::string>& folderNames, int fileRows, const std::string& markPath);

// What Delete acts on: the selected folders when there are any (with everything inside
// them), else the selected files.
struct DeleteChoice {
    std::vector<std::string> names;
    bool folders = false;
};
DeleteChoice ChooseForDelete(const std::vector<std::string>& selectedFolders,
                             const std::vector<std::string>& selectedFiles);

// View: only text files (by extension, of any case), smaller than 64000 bytes, under a
// name that stays inside the view folder.
inline constexpr std::int64_t kViewSizeLimit = 64000;
inline constexpr const char* kViewNoFileText = "No file selected.";
inline constexpr const char* kViewTextOnlyText = "Only text files can be viewed";
inline constexpr const char* kViewTooLargeText = "Can only view files smaller than 64k";
bool IsViewableName(const std::string& name);
bool IsViewableSize(std::int64_t size);
// Why a file row cannot be viewed before anything is asked of the server; empty when
// it can. An empty name means no file row is selected.
std::string ViewRefusal(const std::string& name);

// The window's caption: "Harbrook [r1.2.3b4; 12/09/2026 10:00:00]".
std::string CaptionText(int major, int minor, int release, int build, const std::string& fileDate);
