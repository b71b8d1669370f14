#include "engine/DirListings.h"

#include <algorithm>
#include <mutex>

#include "engine/FileSizeText.h"
#include "engine/RemoteRules.h"
#include "ftp/client/IdFTP.h"
#include "platform/LocalFiles.h"

namespace {

struct tdirectorylistingRecord {
    std::mutex lock;
    std::vector<std::string> keys;
    std::vector<TLines> folderLists;
    std::vector<TLines> fileLists;
};

tdirectorylistingRecord DirListings;

// Index of the key, or -1; call with the lock held.
long indexOf(const std::string& key) {
    const auto found = std::find(DirListings.keys.begin(), DirListings.keys.end(), key);
    return found == DirListings.keys.end() ? -1 : found - DirListings.keys.begin();
}

}  // namespace

std::string StripTrailingSlash(const std::string& path) {
    if (path.size() > 1 && path.back() == '/') {
        return path.substr(0, path.size() - 1);
    }
    return path;
}

void InitDirListings() {
    ClearDirListings();
}

void DoneDirListings() {
    ClearDirListings();
}

void ClearDirListings() {
    std::lock_guard guard(DirListings.lock);
    DirListings.keys.clear();
    DirListings.folderLists.clear();
    DirListings.fileLists.clear();
}

bool DirListingExists(const std::string& path) {
    const std::string key = StripTrailingSlash(path);
    std::lock_guard guard(DirListings.lock);
    return indexOf(key) >= 0;
}

void StoreDirListing(const std::string& path, const TLines& folders, const TLines& files) {
    const std::string key = StripTrailingSlash(path);
    std::lock_guard guard(DirListings.lock);
    const long index = indexOf(key);
    if (index >= 0) {
        DirListings.folderLists[static_cast<std::size_t>(index)] = folders;
        DirListings.fileLists[static_cast<std::size_t>(index)] = files;
        return;
    }
    DirListings.keys.push_back(key);
    DirListings.folderLists.push_back(folders);
    DirListings.fileLists.push_back(files);
}

bool FetchDirListing(const std::string& path, TLines& folders, TLines& files) {
    const std::string key = StripTrailingSlash(path);
    std::lock_guard guard(DirListings.lock);
    const long index = indexOf(key);
    if (index < 0) {
        folders.clear();
        files.clear();
        return false;
    }
    folders = DirListings.folderLists[static_cast<std::size_t>(index)];
    files = DirListings.fileLists[static_cast<std::size_t>(index)];
    return true;
}

void RemoveDirListing(const std::string& path) {
    const std::string key = StripTrailingSlash(path);
    std::lock_guard guard(DirListings.lock);
    const long index = indexOf(key);
    if (index < 0) {
        return;
    }
    DirListings.keys.erase(DirListings.keys.begin() + index);
    DirListings.folderLists.erase(DirListings.folderLists.begin() + index);
    DirListings.fileLists.erase(DirListings.fileLists.begin() + index);
}

int DirListingCount() {
    std::lock_guard guard(DirListings.lock);
    return static_cast<int>(DirListings.keys.size());
}

std::string DirListingLine(const TIdFTPListItem& item) {
    // An entry whose listing gave no date shows none (rather than 30 December 1899).
    const std::string date =
        item.ModifiedAvail ? harbrook::FormatShortDateLongTime(item.ModifiedDate) : std::string();
    const std::string size =
        item.ItemType == ditDirectory ? std::string("-") : harbrook::FormatFileSize(item.Size);
    return std::string(item.FileName()) + "||" + size + "||" + date + "||";
}

RemoteFolder RefreshRemoteFolder(TIdFTP& connection, bool force,
                                 const std::function<void(const std::string& path)>& onPath) {
    RemoteFolder folder;
    folder.path = connection.CurrentDirectory();
    if (onPath) {
        onPath(folder.path);
    }
    if (FetchDirListing(folder.path, folder.folders, folder.files) && !force) {
        return folder;
    }
    folder.folders.clear();
    folder.files.clear();
    connection.ListDirectory();
    // Folders go to the upper list; files, links and anything else to the lower one.
    for (const auto& item : connection.DirectoryItems()) {
        (item->ItemType == ditDirectory ? folder.folders : folder.files).push_back(DirListingLine(*item));
    }
    // The folder's lines are all that is kept of the listing.
    connection.ClearListing();
    StoreDirListing(folder.path, folder.folders, folder.files);
    return folder;
}

void ListRemoteDir(TIdFTP& connection, TLines& folders, TLines& files, bool force) {
    RemoteFolder folder = RefreshRemoteFolder(connection, force);
    folders = std::move(folder.folders);
    files = std::move(folder.files);
}

void ListRemoteNames(TIdFTP& connection, TLines& folders, TLines& files, bool force) {
    ListRemoteDir(connection, folders, files, force);
    for (TLines* lines : {&folders, &files}) {
        for (std::string& line : *lines) {
            line = RowNameOf(line);
        }
    }
}
