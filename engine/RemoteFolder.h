#pragma once

#include <functional>
#include <string>

#include "engine/DirListings.h"

class TIdFTP;

// A remote folder as the remote pane shows it.
struct RemoteFolder {
    // What PWD answered.
    std::string path;
    // In the order the lists show them (RowLess); never null.
    TSharedLines folders;
    TSharedLines files;
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
