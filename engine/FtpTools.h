#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

#include "ftp/client/IdFTP.h"
#include "ftp/transport/IdSSLOpenSSL.h"

namespace harbrook {

// A local folder could not be made for a download walk, or a local item is not what
// the operation needs.
class EToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A file copy was cut by Abort: what it moved is incomplete.
class ETransferAborted : public EToolError {
public:
    ETransferAborted() : EToolError("Transfer aborted") {}
};

// A binary copy moved fewer or more bytes than the size it should have had: "download
// of X incomplete: N of M bytes".
class EIncompleteTransfer : public EToolError {
public:
    EIncompleteTransfer(const std::string& what, std::int64_t moved, std::int64_t expected);
    const std::int64_t Moved;
    const std::int64_t Expected;
};

// How far one file copy got: bytes moved and the size it should reach (-1 unknown).
// Filled as the copy runs, so it tells how much had moved when a copy failed.
struct TransferCount {
    std::int64_t moved = 0;
    std::int64_t expected = -1;
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

// What a second session like the main one needs: the main client's settings (host,
// port, account, passive mode, time-outs, TLS settings) and its current folder. Taken
// where the main client lives (the GUI thread), used on a worker thread.
struct CloneSnapshot {
    std::string host;
    std::uint16_t port = 21;
    std::string user;
    std::string password;
    bool passive = false;
    int connectTimeout = 0;
    int readTimeout = 0;
    int listenTimeout = 0;
    int transferTimeout = 0;
    TIdIPVersion ipVersion = Id_IPv4;
    // TLS when the main session is encrypted (then required of the clone); off when the
    // main session runs in plain text, as the user agreed to.
    bool tls = false;
    TIdSSLOptions sslOptions;
    TIdUseTLS useTLS = utNoTLSSupport;
    TAuthCmd authCmd = tAuto;
    TIdFTPDataPortSecurity dataPortProtection = ftpdpsClear;
    // The certificate the main connection presented and the user accepted: a clone
    // must meet the very same one and asks nothing.
    std::string peerFingerprint;
    // The main client's PWD; unknown when it failed.
    std::string folder;
    bool folderKnown = false;
};

// Copies the main client's settings and asks it for its current folder (PWD, on the
// main connection: call it on the thread that owns the main client). A failed PWD
// leaves the folder unknown.
CloneSnapshot TakeCloneSnapshot(TIdFTP& main);
// Connects `clone` from the snapshot, gives it 4096-byte buffers and changes it into
// the snapshot's folder; safe on any thread, it touches only the clone. Errors are
// swallowed: Connected() tells whether it worked.
void ConnectClone(const CloneSnapshot& snapshot, TIdFTP& clone);
// Both steps on one thread.
void CloneConnection(TIdFTP& main, TIdFTP& clone);

// One remote file into the local folder under its own name. An existing local file is
// replaced only once the new copy is complete (a binary copy of known size: exactly
// that size, else EIncompleteTransfer). A new local file that failed before any byte
// arrived is removed again; one that got bytes keeps them. Links are never written
// through: a link of the name is replaced by the rename, a link to a device refused.
// A device or pipe of the name is written into as it is.
void DownloadRemoteFile(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath);
// The same rules for a download under any local name; a new file gets `rights` as its
// permission bits (0: the usual 0666 less the umask).
void DownloadRemoteFileAs(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                          harbrook::TransferCount* count = nullptr, int rights = 0);
// A remote folder and everything below it into a folder of the same name in localFolder.
// The local folder is made only once the remote one was entered, and removed again
// when the walk fails before anything was put in it. A symbolic link in the place of
// any folder of the walk is an error: the walk never enters one.
void DownloadRemoteFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath);
// One local file stored under remoteName in the current remote folder. A folder or a
// file that cannot be read is refused before anything is sent. Where the server
// answers SIZE, a stored size other than the bytes sent is EIncompleteTransfer.
void UploadLocalFile(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                     harbrook::TransferCount* count = nullptr, bool append = false);
// A local folder and everything below it (hidden entries left out) into remoteName. A
// local folder that cannot be read is refused before the remote folder is made.
void UploadLocalFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remoteName);
// A remote folder of the current remote folder with everything below it.
void DeleteRemoteFolder(TIdFTP& connection, const std::string& name);
