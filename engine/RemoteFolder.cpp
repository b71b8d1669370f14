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
    // Folders go to the upper list; files, links and anything else to the lower one.
    // Rows are made as the entries are parsed, a batch at a time, while the listing
    // arrives: the parsed entries of a million files are never all alive beside the
    // listing and the rows, and little is left to do after its last byte.
    TLines folders;
    TLines files;
    connection.ListDirectoryHandingOn(
        4096,
        [&](const TIdFTPListItems& items) {
            for (const auto& item : items) {
                TLines& rows = item->ItemType == ditDirectory ? folders : files;
                rows.push_back(DirListingLine(*item));
            }
        },
        [&] {
            folders.clear();
            files.clear();
        });
    // The folder's lines are all that is kept of the listing.
    connection.ClearListing();
    if (files.capacity() > files.size() + files.size() / 4 + 64) {
        // A folder of folders: the room set aside for files goes.
        files.shrink_to_fit();
    }
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
