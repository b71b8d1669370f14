#pragma once

// The FTP tool operations, one job per unit: remote and local paths, the clone of the
// main connection, single-file transfers, and the folder walks.
#include "engine/CloneConnection.h"
#include "engine/FileTransfers.h"
#include "engine/FolderWalks.h"
#include "engine/RemotePaths.h"
