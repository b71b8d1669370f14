#include "engine/RemoteRules.h"

#include <algorithm>
#include <cctype>

#include "engine/RemotePaths.h"

RowMark RowToMark(const std::vector<std::string>& folderNames, int fileRows, const std::string& markPath) {
    std::string path = markPath;
    if (path.size() > 1 && path.back() == '/') {
        path.pop_back();
    }
    const std::size_t slash = path.rfind('/');
    if (path.size() > 1 && slash != std::string::npos) {
        const std::string name = path.substr(slash + 1);
        const auto found = std::find(folderNames.begin(), folderNames.end(), name);
        if (found != folderNames.end()) {
            return {RowMark::Pane::Folders, static_cast<int>(found - folderNames.begin())};
        }
    }
    if (!folderNames.empty()) {
        return {RowMark::Pane::Folders, 0};
    }
    if (fileRows > 0) {
        return {RowMark::Pane::Files, 0};
    }
    return {};
}

DeleteChoice ChooseForDelete(const std::vector<std::string>& selectedFolders,
                             const std::vector<std::string>& selectedFiles) {
    if (!selectedFolders.empty()) {
        return {selectedFolders, true};
    }
    return {selectedFiles, false};
}

bool IsViewableName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    for (const char* viewable : {".BAT", ".NFO", ".TXT", ".HTM", ".HTML"}) {
        if (extension == viewable) {
            return true;
        }
    }
    return false;
}

bool IsViewableSize(std::int64_t size) {
    return size <= kViewSizeLimit;
}

std::string ViewRefusal(const std::string& name) {
    if (name.empty()) {
        return kViewNoFileText;
    }
    if (!IsViewableName(name)) {
        return kViewTextOnlyText;
    }
    // A name from the server must not leave the view folder.
    if (!IsSafeRemoteName(name)) {
        return "Cannot view \"" + name + "\": the name is not a file name here";
    }
    return {};
}

std::string CaptionText(int major, int minor, int release, int build, const std::string& fileDate) {
    return "Harbrook [r" + std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(release) +
           "b" + std::to_string(build) + "; " + fileDate + "]";
}
