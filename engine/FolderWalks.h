#pragma once

#include <string>

#include "engine/FileSpread.h"
#include "ftp/client/IdFTP.h"

class TOverwriteDecider;

// A remote folder and everything below it into a folder of the same name in localFolder.
// The local folder is made only once the remote one was entered, and removed again
// when the walk fails before anything was put in it. A symbolic link in the place of
// any folder of the walk is an error: the walk never enters one. With a `decider`, a
// file whose target exists is asked about (Overwrite, Resume, Rename, Skip); without
// one it is replaced once the new copy is complete. With a `spread` group, the files
// are handed to its pool as jobs (the folders are walked and made here, in order, and the
// questions asked here); the caller then Finish()es the group.
void DownloadRemoteFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath,
                          TOverwriteDecider* decider = nullptr, TSpreadPool::Group* spread = nullptr);
// A local folder and everything below it (hidden entries left out) into remoteName. A
// local folder that cannot be read is refused before the remote folder is made. The
// `decider` is asked about files the remote folder has already, as for downloads.
void UploadLocalFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remoteName,
                       TOverwriteDecider* decider = nullptr, TSpreadPool::Group* spread = nullptr);
// A remote folder of the current remote folder with everything below it.
void DeleteRemoteFolder(TIdFTP& connection, const std::string& name);
