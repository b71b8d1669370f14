#include "engine/RemoteFolder.h"

#include "engine/RemoteRows.h"
#include "ftp/client/IdFTP.h"

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
