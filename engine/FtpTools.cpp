#include "engine/FtpTools.h"

#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <memory>
#include <random>

#include "engine/DirListings.h"
#include "engine/FtpFileStream.h"
#include "ftp/client/IdFTP.h"
#include "ftp/transport/IdSSLOpenSSL.h"
#include "platform/LocalFiles.h"
#include "platform/MessageText.h"

namespace fs = std::filesystem;

std::string AddTrailingBackslash(const std::string& localPath) {
    return localPath.empty() || localPath.back() == '/' ? localPath : localPath + "/";
}

std::string AddTrailingSlash(const std::string& remotePath) {
    return remotePath.empty() || remotePath.back() == '/' ? remotePath : remotePath + "/";
}

std::string ExtractRemoteDir(const std::string& remotePath) {
    const std::size_t slash = remotePath.rfind('/');
    return slash == std::string::npos ? std::string() : remotePath.substr(0, slash + 1);
}

std::string ExtractRemoteName(const std::string& remotePath) {
    const std::size_t slash = remotePath.rfind('/');
    return slash == std::string::npos ? remotePath : remotePath.substr(slash + 1);
}

std::string GetTempFolder() {
    std::error_code error;
    const fs::path folder = fs::temp_directory_path(error);
    return AddTrailingBackslash(error ? std::string("/tmp") : folder.string());
}

bool IsSafeRemoteName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}

CloneSnapshot TakeCloneSnapshot(TIdFTP& main) {
    CloneSnapshot snapshot;
    snapshot.host = main.Host();
    snapshot.port = main.Port();
    snapshot.user = main.Username();
    snapshot.password = main.Password();
    snapshot.passive = main.Passive();
    snapshot.connectTimeout = main.ConnectTimeout();
    snapshot.readTimeout = main.ReadTimeout();
    snapshot.listenTimeout = main.ListenTimeout();
    snapshot.transferTimeout = main.TransferTimeout();
    snapshot.ipVersion = main.IPVersion();
    // The clone speaks to the same port with the same TLS as the main session: on any
    // other port, or with the password sent in clear text where the session is
    // encrypted, it would fail or leak. It must meet the certificate the main session
    // accepted, so the user is asked once per session, never from a worker.
    if (const auto* tls = dynamic_cast<const TIdSSLIOHandlerSocketOpenSSL*>(main.IOHandler());
        tls != nullptr && main.UseTLS() != utNoTLSSupport && main.IsTLSInUse()) {
        snapshot.tls = true;
        snapshot.sslOptions = tls->SSLOptions();
        snapshot.useTLS = main.UseTLS() == utUseImplicitTLS ? utUseImplicitTLS : utUseRequireTLS;
        snapshot.authCmd = main.AUTHCmd();
        snapshot.dataPortProtection = main.DataPortProtection();
        snapshot.peerFingerprint = main.PeerCertificate().Sha256;
    }
    try {
        snapshot.folder = main.CurrentDirectory();
        snapshot.folderKnown = true;
    } catch (const std::exception&) {
        // The clone will not connect; its caller learns that from Connected().
    }
    return snapshot;
}

void ConnectClone(const CloneSnapshot& snapshot, TIdFTP& clone) {
    if (!snapshot.folderKnown) {
        return;
    }
    clone.SetPassive(snapshot.passive);
    clone.SetUsername(snapshot.user);
    clone.SetPassword(snapshot.password);
    clone.SetConnectTimeout(snapshot.connectTimeout);
    clone.SetReadTimeout(snapshot.readTimeout);
    clone.SetListenTimeout(snapshot.listenTimeout);
    clone.SetTransferTimeout(snapshot.transferTimeout);
    clone.SetIPVersion(snapshot.ipVersion);
    clone.SetAutoLogin(true);
    clone.SetPort(snapshot.port);
    if (snapshot.tls) {
        auto handler = std::make_unique<TIdSSLIOHandlerSocketOpenSSL>();
        handler->SSLOptions() = snapshot.sslOptions;
        clone.SetIOHandler(std::move(handler));
        clone.SetUseTLS(snapshot.useTLS);
        clone.SetAUTHCmd(snapshot.authCmd);
        clone.SetDataPortProtection(snapshot.dataPortProtection);
        clone.SetRequiredPeerFingerprints({snapshot.peerFingerprint});
    }
    try {
        clone.Connect(snapshot.host);
        clone.IOHandler()->SetLargeStream(true);
        clone.IOHandler()->SetRecvBufferSize(4096);
        clone.IOHandler()->SetSendBufferSize(4096);
        clone.ChangeDirectory(snapshot.folder);
    } catch (const std::exception&) {
        // The caller looks at Connected() to learn whether the clone can be used.
        try {
            if (clone.Connected()) {
                clone.Disconnect();
            }
        } catch (const std::exception&) {
            // Already giving up on this connection.
        }
    }
}

void CloneConnection(TIdFTP& main, TIdFTP& clone) {
    ConnectClone(TakeCloneSnapshot(main), clone);
}

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

// Makes `target` with any missing parents. Returns the outermost folder it made (empty
// when the target was there already), so a walk that fails before it put anything
// inside can take back exactly what it made.
std::string makeFolderWithParents(const std::string& target) {
    std::error_code error;
    if (fs::is_directory(target, error)) {
        return {};
    }
    fs::path outermost = fs::path(target).lexically_normal();
    while (outermost.has_parent_path() && outermost.parent_path() != outermost &&
           !fs::exists(outermost.parent_path(), error)) {
        outermost = outermost.parent_path();
    }
    fs::create_directories(target, error);
    if (!fs::is_directory(target, error)) {
        throw harbrook::EToolError("Failed to create directory\r" + harbrook::ShortenedForMessage(target));
    }
    return outermost.string();
}

// Removes `target` and its parents up to `outermost` while they are empty.
void removeEmptyFoldersUpTo(const std::string& target, const std::string& outermost) {
    std::error_code error;
    fs::path folder = fs::path(target).lexically_normal();
    const fs::path last = fs::path(outermost).lexically_normal();
    for (;;) {
        if (!fs::is_empty(folder, error) || error || !fs::remove(folder, error)) {
            return;
        }
        if (folder == last || !folder.has_parent_path() || folder.parent_path() == folder) {
            return;
        }
        folder = folder.parent_path();
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

void DownloadRemoteFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath) {
    const std::string folder = StripTrailingSlash(remotePath);
    const std::string target = AddTrailingBackslash(localFolder) + ExtractRemoteName(folder);
    // The remote folder is entered before the local one is made: a folder the server
    // does not have leaves nothing behind.
    const std::string dir = ExtractRemoteDir(remotePath);
    if (!dir.empty()) {
        connection.ChangeDirectory(dir);
    }
    // A link in the target's place is not a folder of ours: entering it would write
    // wherever it leads.
    if (harbrook::InspectLocalEntry(target).kind == harbrook::LocalEntryKind::Link) {
        throw harbrook::EToolError("Cannot download folder \"" + harbrook::ShortenedForMessage(folder) +
                                   "\": the local \"" + harbrook::ShortenedForMessage(target) +
                                   "\" is a symbolic link, which is not followed");
    }
    const std::string made = makeFolderWithParents(target);
    try {
        TLines folders;
        TLines files;
        ListRemoteNames(connection, folders, files, false);
        // Names from the server never leave the target folder: ".", "..", "a/b" and the
        // like are skipped (also what would make the walk loop for ever).
        for (const std::string& file : files) {
            if (IsSafeRemoteName(file)) {
                DownloadRemoteFile(connection, target, file);
            }
        }
        for (const std::string& sub : folders) {
            if (IsSafeRemoteName(sub)) {
                DownloadRemoteFolder(connection, target, sub + "/");
            }
        }
    } catch (...) {
        if (!made.empty()) {
            removeEmptyFoldersUpTo(target, made);
        }
        throw;
    }
    connection.ChangeToParent();
}

void UploadLocalFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remoteName) {
    // Read the local folder first: one that is missing or unreadable must not leave an
    // empty remote folder behind.
    std::error_code error;
    fs::directory_iterator entry(localFolder, error);
    if (error) {
        throw harbrook::EToolError("Cannot open folder \"" + localFolder + "\". " + error.message());
    }
    TLines folders;
    TLines files;
    ListRemoteNames(connection, folders, files, false);
    auto lower = [](std::string text) {
        std::transform(text.begin(), text.end(), text.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        return text;
    };
    const bool exists = std::any_of(folders.begin(), folders.end(), [&](const std::string& folder) {
        return lower(folder) == lower(remoteName);
    });
    if (!exists) {
        connection.MakeDirectory(remoteName);
    }
    connection.ChangeDirectory(remoteName);
    for (; entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        // Hidden entries stay at home.
        if (name.empty() || name[0] == '.') {
            continue;
        }
        const std::string path = AddTrailingBackslash(localFolder) + name;
        if (entry->is_directory(error)) {
            UploadLocalFolder(connection, path, name);
        } else {
            UploadLocalFile(connection, path, name);
        }
    }
    if (error) {
        throw harbrook::EToolError("Cannot read folder \"" + localFolder + "\". " + error.message());
    }
    RemoveDirListing(connection.CurrentDirectory());
    connection.ChangeToParent();
}

void DeleteRemoteFolder(TIdFTP& connection, const std::string& name) {
    connection.ChangeDirectory(name);
    TLines folders;
    TLines files;
    ListRemoteNames(connection, folders, files, false);
    for (const std::string& file : files) {
        if (IsSafeRemoteName(file)) {
            connection.RemoveFile(file);
        }
    }
    for (const std::string& sub : folders) {
        if (IsSafeRemoteName(sub)) {
            DeleteRemoteFolder(connection, sub);
        }
    }
    connection.ChangeToParent();
    connection.RemoveDirectory(name);
}
