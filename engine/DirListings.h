#pragma once

#include <functional>
#include <string>
#include <vector>

class TIdFTP;
class TIdFTPListItem;

using TLines = std::vector<std::string>;

// The process-wide cache of remote folder listings as the remote pane shows them: per
// normalised remote path, the folder lines and the file lines. Every operation holds the
// cache's lock for its whole body; callers get and give copies.
void InitDirListings();
void DoneDirListings();
void ClearDirListings();
bool DirListingExists(const std::string& path);
void StoreDirListing(const std::string& path, const TLines& folders, const TLines& files);
// Copies the entry into the lists and answers true; empties them and answers false when
// the path is not cached.
bool FetchDirListing(const std::string& path, TLines& folders, TLines& files);
void RemoveDirListing(const std::string& path);
// The number of cached folders.
int DirListingCount();

// "/pub/" -> "/pub"; "/" stays; only one slash goes.
std::string StripTrailingSlash(const std::string& path);

// name||-||date|| for a folder, name||size||date|| for anything else.
std::string DirListingLine(const TIdFTPListItem& item);

// A remote folder as the remote pane shows it.
struct RemoteFolder {
    // What PWD answered.
    std::string path;
    TLines folders;
    TLines files;
};

// The connection's current folder (PWD), its lines from the cache or (when not cached or
// forced) listed, parsed and stored in the cache: the remote pane's reload.
// `onPath` hears the path as soon as PWD answered (the pane shows it before listing).
RemoteFolder RefreshRemoteFolder(TIdFTP& connection, bool force,
                                 const std::function<void(const std::string& path)>& onPath = {});

// The lines of the connection's current folder: from the cache, or (when not cached or
// forced) listed, stored and returned.
void ListRemoteDir(TIdFTP& connection, TLines& folders, TLines& files, bool force);
// The same cut to the bare names (RowNameOf).
void ListRemoteNames(TIdFTP& connection, TLines& folders, TLines& files, bool force);
