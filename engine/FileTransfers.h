#pragma once

#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

#include "ftp/client/IdFTP.h"

namespace harbrook {

// A local folder could not be made for a download walk, or a local item is not what
// the operation needs.
class EToolError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A continued download met bytes that are not the rest of the local part (the server
// ignored REST, or the file changed): nothing of them was kept.
class EContinuationRefused : public EToolError {
public:
    using EToolError::EToolError;
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
// One local file stored under remoteName in the current remote folder. A folder or a
// file that cannot be read is refused before anything is sent. Where the server
// answers SIZE, a stored size other than the bytes sent is EIncompleteTransfer.
void UploadLocalFile(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                     harbrook::TransferCount* count = nullptr, bool append = false);
// Continues a partial local file at its size (REST and RETR), on the user's word: no
// record of the file is asked for. A missing local file is downloaded whole. The remote
// size must be known and not below the local one (equal: nothing to do), and the server
// must restart transfers. The last 4 KiB before the local end are asked for again and
// must match the local bytes before anything is written (a server that ignores REST, or
// a changed file, writes nothing); the local file never grows past the remote size (a
// server sending more puts it back as it was). At the end the local size must equal
// the remote size, else EIncompleteTransfer. `count` tells the bytes added.
void ContinueDownload(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                      harbrook::TransferCount* count = nullptr);
// Continues a partial remote file at its size: the rest of the local file is appended
// (APPE). Without a remote file (or its size) the file is uploaded whole. A remote file
// larger than the local one is an error; an equal one needs nothing. The size is read
// until it stops changing (a remote file still growing for 2 s is an error: something
// else is writing it). Where the server answers SIZE, the stored size must then equal
// the local size.
void ContinueUpload(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                    harbrook::TransferCount* count = nullptr);

// What a stopped download left to continue: the remote file as it was (path, SIZE and
// MDTM when it started) and the local file holding the part that arrived (the target,
// or the hidden copy beside an existing target). Empty: nothing to continue.
struct PartialDownload {
    std::string remotePath;
    std::int64_t remoteSize = -1;
    std::string remoteStamp;
    std::string file;
    bool Empty() const { return file.empty(); }
};
// One line of text for a queue entry ("SIZE<TAB>MDTM<TAB>PATH<TAB>FILE"; empty when
// empty), and back; false for a text that is not one.
std::string PartialDownloadText(const PartialDownload& partial);
bool ParsePartialDownload(const std::string& text, PartialDownload& partial);

// A download that a later attempt can continue. When `partial` names the part an
// earlier attempt left of this very remote file (same path, size and MDTM now), the
// server restarts transfers and the part is a plain file beside the target, smaller than
// the remote file, the download continues it (the 4 KiB before its end checked as
// ContinueDownload does; a mismatch fetches the whole file instead), and a hidden copy
// is renamed over the old target at the end. Otherwise the rules of DownloadRemoteFileAs
// apply, except that a failed copy's part is kept (where the server gives an MDTM).
// On failure `partial` tells what is left to continue; on success it is empty. `onPart`
// hears the record of a new part as soon as its file is chosen, before a byte arrives
// (the caller keeps it, so a program killed in the middle can continue).
void DownloadResumable(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                       PartialDownload& partial, harbrook::TransferCount* count = nullptr,
                       const std::function<void(const PartialDownload& part)>& onPart = {});

// What an upload that stopped early leaves to continue: the local file as it was when
// the upload began (size and modification time, whole seconds) and the remote name it
// went to (in the folder the upload ran in). Empty: nothing to continue.
struct PartialUpload {
    std::string localFile;
    std::int64_t localSize = -1;
    std::int64_t localTime = -1;
    std::string remoteName;
    bool Empty() const { return localFile.empty(); }
};
// "U<TAB>SIZE<TAB>TIME<TAB>REMOTE<TAB>LOCAL" (empty when empty), and back.
std::string PartialUploadText(const PartialUpload& partial);
bool ParsePartialUpload(const std::string& text, PartialUpload& partial);

// An upload that a later attempt can continue. When `partial` is the record of an
// earlier attempt of this local file to this remote name, the local file is unchanged
// since (size and time) and the server holds less of it than the whole (SIZE), the rest
// is appended (APPE from the server's size), and when it holds the whole, nothing more
// is sent; otherwise the file is uploaded whole. The
// stored size must then equal the local size (where the server answers SIZE). `onPart`
// hears the record before a byte goes out; on failure `partial` is that record.
void UploadResumable(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                     PartialUpload& partial, const std::function<void(const PartialUpload& part)>& onPart = {});
