#include "engine/RemoteFolder.h"

#include <algorithm>

#include "engine/RemoteRows.h"
#include "ftp/client/IdFTP.h"

RemoteFolder RefreshRemoteFolder(TIdFTP& connection, bool force,
                                 const std::function<void(const std::string& path)>& onPath) {
    RemoteFolder folder;
    folder.path = connection.CurrentDirectory();
    if (onPath) {
        onPath(folder.path);
    }
    if (FetchSharedDirListing(folder.path, folder.folders, folder.files) && !force) {
        return folder;
    }
    connection.ListDirectory();
    // Folders go to the upper list; files, links and anything else to the lower one.
    TLines folders;
    TLines files;
    const TIdFTPListItems& items = connection.DirectoryItems();
    std::size_t folderCount = 0;
    for (const auto& item : items) {
        folderCount += item->ItemType == ditDirectory ? 1 : 0;
    }
    // Exactly the room needed: a million rows must not be moved while they grow.
    folders.reserve(folderCount);
    files.reserve(items.Count() - folderCount);
    for (const auto& item : items) {
        (item->ItemType == ditDirectory ? folders : files).push_back(DirListingLine(*item));
    }
    // The folder's lines are all that is kept of the listing.
    connection.ClearListing();
    // Sorted here, off the window's thread: a sorted list given lines in its order only
    // checks them (a million rows would hold the window for a second otherwise).
    for (TLines* lines : {&folders, &files}) {
        std::stable_sort(lines->begin(), lines->end(), RowLess);
    }
    folder.folders = std::make_shared<const TLines>(std::move(folders));
    folder.files = std::make_shared<const TLines>(std::move(files));
    StoreSharedDirListing(folder.path, folder.folders, folder.files);
    return folder;
}

void ListRemoteDir(TIdFTP& connection, TLines& folders, TLines& files, bool force) {
    const RemoteFolder folder = RefreshRemoteFolder(connection, force);
    folders = *folder.folders;
    files = *folder.files;
}

void ListRemoteNames(TIdFTP& connection, TLines& folders, TLines& files, bool force) {
    ListRemoteDir(connection, folders, files, force);
    for (TLines* lines : {&folders, &files}) {
        for (std::string& line : *lines) {
            line = RowNameOf(line);
        }
    }
}
