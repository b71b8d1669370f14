#pragma once

#include <stdexcept>
#include <string>

class TIdFTP;

namespace harbrook {

// A local folder could not be made for a download walk.
class EToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

}  // namespace harbrook

// Path helpers. Local paths use the platform's separator ("/").
std::string AddTrailingBackslash(const std::string& localPath);
std::string AddTrailingSlash(const std::string& remotePath);
// a/b/c -> a/b/; a/b/ -> a/b/; c -> ""
std::string ExtractRemoteDir(const std::string& remotePath);
// a/b/c -> c; a/b/ -> ""
std::string ExtractRemoteName(const std::string& remotePath);
// The system's temporary folder, with a trailing separator.
std::string GetTempFolder();
// Whether a name a server listed may be used as one local file or folder name: not
// empty, ".", "..", and without "/" or NUL. Others are skipped by folder walks.
bool IsSafeRemoteName(const std::string& name);

// Prepares `clone` as a second session like `main` (host, port, account, passive mode,
// time-outs, TLS settings), connects it, gives it 4096-byte buffers and changes it into
// main's current folder. Errors are swallowed: Connected() tells whether it worked.
void CloneConnection(TIdFTP& main, TIdFTP& clone);

// One remote file into the local folder under its own name. An existing local file is
// replaced only once the new copy is complete.
void DownloadRemoteFile(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath);
// A remote folder and everything below it into a folder of the same name in localFolder.
void DownloadRemoteFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath);
// One local file stored under remoteName in the current remote folder.
void UploadLocalFile(TIdFTP& connection, const std::string& localFile, const std::string& remoteName);
// A local folder and everything below it (hidden entries left out) into remoteName.
void UploadLocalFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remoteName);
// A remote folder of the current remote folder with everything below it.
void DeleteRemoteFolder(TIdFTP& connection, const std::string& name);
