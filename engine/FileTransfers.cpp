#include "engine/FileTransfers.h"

#include <unistd.h>

#include <filesystem>
#include <random>

#include "engine/FtpFileStream.h"
#include "engine/RemotePaths.h"
#include "platform/LocalFiles.h"
#include "platform/MessageText.h"

namespace fs = std::filesystem;

namespace {

// A name beside `target` that nothing uses yet, for the new copy of a download. The
// copy is then made with CreateNew, which fails rather than follow anything planted
// under the name in between.
std::string temporaryNameFor(const std::string& target) {
    // One generator per thread: the two workers download at once.
    thread_local std::mt19937 random(std::random_device{}());
    const fs::path path(target);
    for (;;) {
        // Built by appending: GCC 12 at -O3 mistakes `"." + std::string` for an
        // overlapping copy (-Wrestrict).
        std::string name(1, '.');
        name += path.filename().string();
        name += ".harbrook-" + std::to_string(random() % 1000000) + ".part";
        const std::string candidate = (path.parent_path() / name).string();
        if (harbrook::InspectLocalEntry(candidate).kind == harbrook::LocalEntryKind::Missing) {
            return candidate;
        }
    }
}

// Runs one file copy and notes in `count` how much it moved (`moved`), also when it
// fails. An aborted copy returns quietly, but is not whole: it becomes an error.
template <typename Copy, typename Moved>
void countedCopy(TIdFTP& connection, harbrook::TransferCount& count, Copy copy, Moved moved) {
    try {
        copy();
    } catch (...) {
        count.moved = moved();
        throw;
    }
    count.moved = moved();
    if (connection.LastTransferAborted()) {
        throw harbrook::ETransferAborted();
    }
}

// A binary copy of known size must move exactly that many bytes: a data connection
// cut short still ends with the server's 226 on many servers (or with none that the
// client could tell from a proper end). Text mode changes line ends, so its byte
// count may differ from the size.
void checkComplete(const TIdFTP& connection, const std::string& what, std::int64_t moved,
                   std::int64_t expected) {
    if (connection.TransferType() == ftBinary && expected >= 0 && moved != expected) {
        throw harbrook::EIncompleteTransfer(what, moved, expected);
    }
}

// Copies the remote file into `file` (shown in the transfer list as `displayName`) and
// records in `count` how much arrived, also when the copy fails.
void fetchInto(TIdFTP& connection, const std::string& remotePath, const std::string& file,
               harbrook::FileOpenMode mode, int rights, const std::string& displayName,
               harbrook::TransferCount& count, bool& opened) {
    tftp_filestream stream(file, mode, rights, 0, count.expected, displayName);
    opened = true;
    countedCopy(connection, count, [&] { connection.Download(remotePath, stream); },
                [&] { return stream.BytesWritten; });
    checkComplete(connection, "download of " + remotePath, count.moved, count.expected);
}

}  // namespace

namespace harbrook {

EIncompleteTransfer::EIncompleteTransfer(const std::string& what, std::int64_t moved, std::int64_t expected)
    : EToolError(ShortenedForMessage(what) + " incomplete: " + std::to_string(moved) + " of " +
                 std::to_string(expected) + " bytes"),
      Moved(moved),
      Expected(expected) {}

}  // namespace harbrook

void DownloadRemoteFile(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath) {
    DownloadRemoteFileAs(connection, remotePath,
                         AddTrailingBackslash(localFolder) + ExtractRemoteName(remotePath));
}

void DownloadRemoteFileAs(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                          harbrook::TransferCount* count, int rights) {
    using harbrook::FileOpenMode;
    using harbrook::LocalEntryKind;
    harbrook::TransferCount unused;
    harbrook::TransferCount& progress = count != nullptr ? *count : unused;
    progress = {};
    // What is there decides how the copy is written, judged before anything is asked
    // of the server: a link is never written through.
    const harbrook::LocalEntry local = harbrook::InspectLocalEntry(localFile);
    if (local.kind == LocalEntryKind::Folder) {
        throw harbrook::EToolError("Cannot write file \"" + harbrook::ShortenedForMessage(localFile) +
                                   "\": a folder of that name is in the way");
    }
    if (local.kind == LocalEntryKind::Link && local.leadsTo == LocalEntryKind::Special) {
        // Replacing it would take a name like /dev/stdout away from the system, and
        // writing through it is what a planted link wants.
        throw harbrook::EToolError("Cannot write file \"" + harbrook::ShortenedForMessage(localFile) +
                                   "\": it is a link to a device or pipe");
    }
    const std::int64_t remoteSize = connection.FileSize(remotePath);
    progress.expected = remoteSize;
    if (remoteSize > 0 && local.kind == LocalEntryKind::File && local.size < remoteSize) {
        // The rules keep a shorter local file when the server can restart transfers. The
        // transfer asks for the file from its start either way, so the answer changes
        // nothing but the REST probe the server sees.
        connection.ResumeSupported();
    }
    if (local.kind == LocalEntryKind::Special) {
        // A device or a pipe (/dev/null to time a download) is written into as it is:
        // it cannot be replaced by a file, and must not be.
        bool opened = false;
        fetchInto(connection, remotePath, localFile, FileOpenMode::WriteInto, rights, {}, progress, opened);
        return;
    }
    if (local.kind == LocalEntryKind::Missing) {
        // A new name keeps whatever arrived when the transfer fails; a file that got
        // nothing at all (the server refused, the connection was gone) is not left behind.
        bool opened = false;
        try {
            fetchInto(connection, remotePath, localFile, FileOpenMode::CreateNew, rights, {}, progress, opened);
        } catch (...) {
            std::error_code error;
            if (opened && progress.moved == 0) {
                fs::remove(localFile, error);
            }
            throw;
        }
        return;
    }
    // An existing file (or a link, which the rename replaces, never its target) is
    // replaced only by a complete copy: it is written beside it and renamed over it at
    // the end. The copy keeps the permissions of the file it replaces.
    const int keptRights =
        rights > 0 ? rights : local.kind == LocalEntryKind::File ? static_cast<int>(local.permissions & 0777) : 0;
    const std::string partial = temporaryNameFor(localFile);
    try {
        bool opened = false;
        fetchInto(connection, remotePath, partial, FileOpenMode::CreateNew, keptRights, localFile, progress,
                  opened);
        if (keptRights > 0) {
            // The umask applied at creation; the old file's bits are what it had.
            std::error_code ignored;
            fs::permissions(partial, static_cast<fs::perms>(keptRights), ignored);
        }
        fs::rename(partial, localFile);
    } catch (...) {
        std::error_code error;
        fs::remove(partial, error);
        throw;
    }
}

void UploadLocalFile(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                     harbrook::TransferCount* count, bool append) {
    harbrook::TransferCount unused;
    harbrook::TransferCount& progress = count != nullptr ? *count : unused;
    progress = {};
    std::error_code error;
    // A folder opens for reading like a file and fails only at the first read, after
    // the server has made an empty file of that name.
    if (fs::is_directory(localFile, error)) {
        throw harbrook::EToolError("Cannot open file \"" + localFile + "\". Is a directory");
    }
    {
        tftp_filestream stream(localFile, harbrook::FileOpenMode::OpenRead, 0, 0);
        progress.expected = stream.Size();
        countedCopy(connection, progress, [&] { connection.Upload(stream, remoteName, append); },
                    [&] { return stream.BytesRead; });
    }
    // The server's size of what it stored tells whether all of it arrived (where it
    // answers SIZE; an appended file holds more than was sent, so it is not judged).
    if (!append && connection.TransferType() == ftBinary) {
        if (const std::int64_t stored = connection.FileSize(remoteName); stored >= 0) {
            checkComplete(connection, "upload of " + localFile, stored, progress.moved);
        }
    }
}
