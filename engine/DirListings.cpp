#include "engine/DirListings.h"

#include <algorithm>
#include <mutex>


namespace {

struct tdirectorylistingRecord {
    std::mutex lock;
    std::vector<std::string> keys;
    std::vector<TSharedLines> folderLists;
    std::vector<TSharedLines> fileLists;
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
    StoreSharedDirListing(path, std::make_shared<const TLines>(folders), std::make_shared<const TLines>(files));
}

void StoreSharedDirListing(const std::string& path, TSharedLines folders, TSharedLines files) {
    const std::string key = StripTrailingSlash(path);
    std::unique_lock guard(DirListings.lock);
    const long index = indexOf(key);
    if (index >= 0) {
        // The lines replaced are let go of after the lock: a million of them take a while.
        std::swap(DirListings.folderLists[static_cast<std::size_t>(index)], folders);
        std::swap(DirListings.fileLists[static_cast<std::size_t>(index)], files);
        guard.unlock();
        return;
    }
    DirListings.keys.push_back(key);
    DirListings.folderLists.push_back(std::move(folders));
    DirListings.fileLists.push_back(std::move(files));
}

bool FetchSharedDirListing(const std::string& path, TSharedLines& folders, TSharedLines& files) {
    const std::string key = StripTrailingSlash(path);
    std::unique_lock guard(DirListings.lock);
    const long index = indexOf(key);
    if (index < 0) {
        guard.unlock();
        folders = std::make_shared<const TLines>();
        files = std::make_shared<const TLines>();
        return false;
    }
    folders = DirListings.folderLists[static_cast<std::size_t>(index)];
    files = DirListings.fileLists[static_cast<std::size_t>(index)];
    return true;
}

bool FetchDirListing(const std::string& path, TLines& folders, TLines& files) {
    TSharedLines sharedFolders;
    TSharedLines sharedFiles;
    const bool found = FetchSharedDirListing(path, sharedFolders, sharedFiles);
    folders = *sharedFolders;
    files = *sharedFiles;
    return found;
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
