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

namespace {

// How many bytes before the local end a continued download asks for again: the server
// must send exactly what the local file holds there, or it did not continue where it
// was asked (it ignored REST, or the file changed) and nothing is written.
constexpr std::int64_t kContinueOverlap = 4096;

// The local file's own bytes before its end, for that comparison.
std::string tailOf(const std::string& file, std::int64_t size, std::int64_t count) {
    harbrook::TFileStream stream(file, harbrook::FileOpenMode::OpenRead);
    stream.SetPosition(size - count);
    std::string bytes(static_cast<std::size_t>(count), '\0');
    std::int64_t got = 0;
    while (got < count) {
        const std::int64_t read = stream.Read(bytes.data() + got, count - got);
        if (read <= 0) {
            throw harbrook::EToolError("Cannot read \"" + harbrook::ShortenedForMessage(file) + "\"");
        }
        got += read;
    }
    return bytes;
}

// What a continued download writes through: the overlap is compared, not written; then
// the rest goes to the end of the file, never past the remote size.
class ContinuationStream : public harbrook::TStream {
public:
    ContinuationStream(tftp_filestream& file, std::string overlap, std::int64_t localSize, std::int64_t remoteSize,
                       std::string what)
        : m_file(file), m_overlap(std::move(overlap)), m_localSize(localSize), m_remoteSize(remoteSize),
          m_what(std::move(what)) {
        m_position = localSize - static_cast<std::int64_t>(m_overlap.size());
    }
    std::int64_t Read(void*, std::int64_t) override { return 0; }
    void Write(const void* buffer, std::int64_t count) override {
        const char* bytes = static_cast<const char*>(buffer);
        while (count > 0 && m_compared < m_overlap.size()) {
            const std::size_t step = std::min(m_overlap.size() - m_compared, static_cast<std::size_t>(count));
            if (m_overlap.compare(m_compared, step, bytes, step) != 0) {
                throw harbrook::EToolError("Cannot continue " + m_what + ": the server did not send the file from byte " +
                                           std::to_string(m_position) + " (it ignores REST, or the file changed)");
            }
            m_compared += step;
            bytes += step;
            count -= static_cast<std::int64_t>(step);
        }
        if (count <= 0) {
            return;
        }
        if (m_file.Position() + count > m_remoteSize) {
            m_tooLong = true;
            throw harbrook::EToolError("Cannot continue " + m_what + ": the server sent more than the " +
                                       std::to_string(m_remoteSize) + " bytes it announced");
        }
        m_file.Write(bytes, count);
    }
    std::int64_t Size() const override { return m_file.Size(); }
    void SetSize(std::int64_t) override {}
    // Bytes added to the local file.
    std::int64_t Added() const { return m_file.Position() - m_localSize; }
    bool TooLong() const { return m_tooLong; }

private:
    tftp_filestream& m_file;
    std::string m_overlap;
    std::size_t m_compared = 0;
    std::int64_t m_localSize;
    std::int64_t m_remoteSize;
    std::string m_what;
    bool m_tooLong = false;
};

}  // namespace

void ContinueDownload(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                      harbrook::TransferCount* count) {
    using harbrook::LocalEntryKind;
    harbrook::TransferCount unused;
    harbrook::TransferCount& progress = count != nullptr ? *count : unused;
    progress = {};
    const harbrook::LocalEntry local = harbrook::InspectLocalEntry(localFile);
    if (local.kind == LocalEntryKind::Missing) {
        DownloadRemoteFileAs(connection, remotePath, localFile, count);
        return;
    }
    const std::string what = "download of " + harbrook::ShortenedForMessage(remotePath);
    if (local.kind != LocalEntryKind::File) {
        // Appending through a link or into a device is not continuing a file.
        throw harbrook::EToolError("Cannot continue " + what + ": \"" + harbrook::ShortenedForMessage(localFile) +
                                   "\" is not a plain file");
    }
    const std::int64_t remoteSize = connection.FileSize(remotePath);
    if (remoteSize < 0) {
        throw harbrook::EToolError("Cannot continue " + what + ": the server gives no size for it");
    }
    progress.expected = remoteSize - local.size;
    if (local.size > remoteSize) {
        throw harbrook::EToolError("Cannot continue " + what + ": the local file (" + std::to_string(local.size) +
                                   " bytes) is larger than the remote one (" + std::to_string(remoteSize) + " bytes)");
    }
    if (local.size == remoteSize) {
        progress.expected = 0;
        return;
    }
    if (!connection.ResumeSupported()) {
        throw harbrook::EToolError("Cannot continue " + what + ": the server does not restart transfers (REST)");
    }
    const std::int64_t overlap = std::min(local.size, kContinueOverlap);
    tftp_filestream file(localFile, harbrook::FileOpenMode::OpenWrite, 0, 0, remoteSize);
    file.SetPosition(local.size);
    ContinuationStream stream(file, tailOf(localFile, local.size, overlap), local.size, remoteSize, what);
    try {
        countedCopy(connection, progress, [&] { connection.Download(remotePath, stream, true); },
                    [&] { return stream.Added(); });
    } catch (...) {
        if (stream.TooLong()) {
            // What it got is not the file's rest: the local file goes back to what it was.
            file.SetSize(local.size);
        }
        throw;
    }
    checkComplete(connection, what, local.size + progress.moved, remoteSize);
}

void ContinueUpload(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                    harbrook::TransferCount* count) {
    harbrook::TransferCount unused;
    harbrook::TransferCount& progress = count != nullptr ? *count : unused;
    progress = {};
    const std::int64_t remoteSize = connection.FileSize(remoteName);
    if (remoteSize < 0) {
        // Nothing there (or no SIZE): the upload starts from the beginning.
        UploadLocalFile(connection, localFile, remoteName, count);
        return;
    }
    const std::string what = "upload of " + harbrook::ShortenedForMessage(localFile);
    std::error_code error;
    if (fs::is_directory(localFile, error)) {
        throw harbrook::EToolError("Cannot open file \"" + localFile + "\". Is a directory");
    }
    tftp_filestream stream(localFile, harbrook::FileOpenMode::OpenRead, 0, 0);
    const std::int64_t localSize = stream.Size();
    if (remoteSize > localSize) {
        throw harbrook::EToolError("Cannot continue " + what + ": the remote file (" + std::to_string(remoteSize) +
                                   " bytes) is larger than the local one (" + std::to_string(localSize) + " bytes)");
    }
    progress.expected = localSize - remoteSize;
    if (remoteSize == localSize) {
        return;
    }
    // The rest goes on the end of what the server has (APPE, which every server offers).
    stream.SetPosition(remoteSize);
    countedCopy(connection, progress, [&] { connection.Upload(stream, remoteName, true); },
                [&] { return stream.BytesRead; });
    if (connection.TransferType() == ftBinary) {
        if (const std::int64_t stored = connection.FileSize(remoteName); stored >= 0) {
            checkComplete(connection, what, stored, localSize);
        }
    }
}
