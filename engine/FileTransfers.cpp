#include "engine/FileTransfers.h"

#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "engine/FtpFileStream.h"
#include "engine/QueueEntries.h"
#include "engine/RemotePaths.h"
#include "ftp/IdException.h"
#include "ftp/listing/IdFTPList.h"
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

namespace {

// DownloadRemoteFileAs, and where a failed copy kept what arrived (`kept`: the target
// itself for a new name, the temporary copy beside an existing file when `keepPartial`).
void downloadAs(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                harbrook::TransferCount* count, int rights, bool keepPartial, std::string* kept,
                std::optional<std::int64_t> knownSize = std::nullopt,
                const std::function<void(const std::string& partFile)>& onPartFile = {});

}  // namespace

void DownloadRemoteFileAs(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                          harbrook::TransferCount* count, int rights) {
    downloadAs(connection, remotePath, localFile, count, rights, false, nullptr);
}

namespace {

void downloadAs(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                harbrook::TransferCount* count, int rights, bool keepPartial, std::string* kept,
                std::optional<std::int64_t> knownSize, const std::function<void(const std::string& partFile)>& onPartFile) {
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
    const std::int64_t remoteSize = knownSize ? *knownSize : connection.FileSize(remotePath);
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
        if (onPartFile) {
            onPartFile(localFile);
        }
        try {
            fetchInto(connection, remotePath, localFile, FileOpenMode::CreateNew, rights, {}, progress, opened);
        } catch (...) {
            std::error_code error;
            if (opened && progress.moved == 0) {
                fs::remove(localFile, error);
            } else if (opened && kept != nullptr) {
                *kept = localFile;
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
    if (onPartFile) {
        onPartFile(partial);
    }
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
        // What arrived may be continued later; the old file stays whole either way.
        if (keepPartial && progress.moved > 0 && fs::exists(partial, error)) {
            *kept = partial;
        } else {
            fs::remove(partial, error);
        }
        throw;
    }
}

}  // namespace

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
                throw harbrook::EContinuationRefused("Cannot continue " + m_what + ": the server did not send the file from byte " +
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
            throw harbrook::EContinuationRefused("Cannot continue " + m_what + ": the server sent more than the " +
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

namespace {

// Appends the rest of the remote file to `file` (holding `localSize` bytes of it),
// after the overlap before its end matched.
void continueInto(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                  std::int64_t localSize, std::int64_t remoteSize, harbrook::TransferCount& progress,
                  const std::string& what) {
    const std::int64_t overlap = std::min(localSize, kContinueOverlap);
    progress.expected = remoteSize - localSize;
    tftp_filestream file(localFile, harbrook::FileOpenMode::OpenWrite, 0, 0, remoteSize);
    file.SetPosition(localSize);
    ContinuationStream stream(file, tailOf(localFile, localSize, overlap), localSize, remoteSize, what);
    try {
        countedCopy(connection, progress, [&] { connection.Download(remotePath, stream, true); },
                    [&] { return stream.Added(); });
    } catch (...) {
        if (stream.TooLong()) {
            // What it got is not the file's rest: the local file goes back to what it was.
            file.SetSize(localSize);
        }
        throw;
    }
    checkComplete(connection, what, localSize + progress.moved, remoteSize);
}

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
    continueInto(connection, remotePath, localFile, local.size, remoteSize, progress, what);
}

namespace {

// What the server holds of `remoteName` once it has stopped growing (-1: nothing, or no
// SIZE). An upload of ours that broke off may still be landing there: a server that hung
// and woke up drains the old data connection into the file, and appending while it does
// would put that part in twice (APPE writes at the end, wherever that has got to).
std::int64_t settledRemoteSize(TIdFTP& connection, const std::string& remoteName, const std::string& what) {
    constexpr auto pause = std::chrono::milliseconds(150);
    constexpr auto patience = std::chrono::seconds(2);
    const auto until = std::chrono::steady_clock::now() + patience;
    std::int64_t size = connection.FileSize(remoteName);
    while (size >= 0) {
        std::this_thread::sleep_for(pause);
        const std::int64_t again = connection.FileSize(remoteName);
        if (again == size) {
            break;
        }
        if (std::chrono::steady_clock::now() >= until) {
            throw harbrook::EToolError("Cannot continue " + what + ": the remote file is still growing (" +
                                       std::to_string(again) + " bytes); another transfer is writing it");
        }
        size = again;
    }
    return size;
}

}  // namespace

void ContinueUpload(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                    harbrook::TransferCount* count) {
    harbrook::TransferCount unused;
    harbrook::TransferCount& progress = count != nullptr ? *count : unused;
    progress = {};
    const std::string what = "upload of " + harbrook::ShortenedForMessage(localFile);
    const std::int64_t remoteSize = settledRemoteSize(connection, remoteName, what);
    if (remoteSize < 0) {
        // Nothing there (or no SIZE): the upload starts from the beginning.
        UploadLocalFile(connection, localFile, remoteName, count);
        return;
    }
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

std::string PartialDownloadText(const PartialDownload& partial) {
    if (partial.Empty()) {
        return {};
    }
    return std::to_string(partial.remoteSize) + "\t" + partial.remoteStamp + "\t" + partial.remotePath + "\t" +
           partial.file;
}

bool ParsePartialDownload(const std::string& text, PartialDownload& partial) {
    partial = {};
    if (text.empty()) {
        return true;
    }
    const std::vector<std::string> fields = SplitAtTabs(text);
    if (fields.size() != 4 || fields[0].empty() || fields[3].empty() ||
        fields[0].find_first_not_of("0123456789") != std::string::npos || fields[0].size() > 18) {
        return false;
    }
    partial.remoteSize = std::stoll(fields[0]);
    partial.remoteStamp = fields[1];
    partial.remotePath = fields[2];
    partial.file = fields[3];
    return true;
}

namespace {

// What tells whether the remote file changed since a part of it was kept: its MDTM, or
// where the server has none the date its listing shows ("L" and the date as a day
// number), else nothing (no part is kept then).
std::string remoteStamp(TIdFTP& connection, const std::string& remotePath) {
    std::string stamp = connection.FileStamp(remotePath);
    if (!stamp.empty()) {
        return stamp;
    }
    try {
        connection.ListDirectory(nullptr, remotePath);
    } catch (const EIdReplyRFCError&) {
        // No listing of it either: no stamp.
        return {};
    }
    const TIdFTPListItems& items = connection.DirectoryItems();
    if (items.Count() == 1 && items[0].ItemType != ditDirectory && items[0].ModifiedAvail) {
        char text[64];
        std::snprintf(text, sizeof text, "L%.6f", static_cast<double>(items[0].ModifiedDate));
        stamp = text;
    }
    connection.ClearListing();
    return stamp;
}

}  // namespace

void DownloadResumable(TIdFTP& connection, const std::string& remotePath, const std::string& localFile,
                       PartialDownload& partial, harbrook::TransferCount* count,
                       const std::function<void(const PartialDownload& part)>& onPart) {
    harbrook::TransferCount unused;
    harbrook::TransferCount& progress = count != nullptr ? *count : unused;
    progress = {};
    const PartialDownload previous = partial;
    partial = {};
    const std::int64_t remoteSize = connection.FileSize(remotePath);
    const std::string stamp = remoteSize > 0 ? remoteStamp(connection, remotePath) : std::string();
    // What a record may name: the target itself, or a hidden copy beside it (the queue
    // file is the user's, but a damaged one must not point the append anywhere else).
    const fs::path target(localFile);
    const fs::path kept(previous.file);
    const bool besideTarget = !previous.Empty() && kept.parent_path() == target.parent_path() &&
                              (kept == target || kept.filename().string().rfind(".", 0) == 0);
    const bool unchanged = !previous.Empty() && previous.remotePath == remotePath &&
                           previous.remoteSize == remoteSize && remoteSize > 0 && !stamp.empty() &&
                           previous.remoteStamp == stamp;
    const harbrook::LocalEntry entry = besideTarget ? harbrook::InspectLocalEntry(previous.file) : harbrook::LocalEntry{};
    const bool resumable = unchanged && entry.kind == harbrook::LocalEntryKind::File && entry.size > 0 &&
                           entry.size < remoteSize && connection.ResumeSupported();
    if (resumable) {
        const std::string what = "download of " + harbrook::ShortenedForMessage(remotePath);
        try {
            continueInto(connection, remotePath, previous.file, entry.size, remoteSize, progress, what);
            if (kept != target) {
                // The old file stayed whole until now; its permission bits go to the copy.
                const harbrook::LocalEntry old = harbrook::InspectLocalEntry(localFile);
                std::error_code ignored;
                if (old.kind == harbrook::LocalEntryKind::File) {
                    fs::permissions(previous.file, static_cast<fs::perms>(old.permissions & 0777), ignored);
                }
                fs::rename(previous.file, localFile);
            }
            return;
        } catch (const harbrook::EContinuationRefused&) {
            // Not the file it was part of: fetched whole below, as if there were no record.
        } catch (...) {
            partial = previous;
            throw;
        }
    }
    std::error_code error;
    if (besideTarget && kept != target) {
        // A stale copy of an earlier attempt; the whole file comes anew.
        fs::remove(previous.file, error);
    }
    std::string left;
    try {
        downloadAs(connection, remotePath, localFile, count, 0, true, &left, remoteSize,
                   [&](const std::string& partFile) {
                       // Told before a byte arrives, so that even a killed program leaves a
                       // part it can continue.
                       if (onPart && !stamp.empty()) {
                           onPart(PartialDownload{remotePath, remoteSize, stamp, partFile});
                       }
                   });
    } catch (...) {
        if (!left.empty() && !stamp.empty()) {
            partial = {remotePath, remoteSize, stamp, left};
        } else if (!left.empty() && left != localFile) {
            fs::remove(left, error);
        }
        throw;
    }
}

namespace {

// The local file's size and modification time (whole seconds); size -1 when it is no
// plain file.
std::pair<std::int64_t, std::int64_t> localStamp(const std::string& file) {
    struct stat info {};
    if (::stat(file.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) {
        return {-1, -1};
    }
    return {static_cast<std::int64_t>(info.st_size), static_cast<std::int64_t>(info.st_mtime)};
}

}  // namespace

std::string PartialUploadText(const PartialUpload& partial) {
    if (partial.Empty()) {
        return {};
    }
    return "U\t" + std::to_string(partial.localSize) + "\t" + std::to_string(partial.localTime) + "\t" +
           partial.remoteName + "\t" + partial.localFile;
}

bool ParsePartialUpload(const std::string& text, PartialUpload& partial) {
    partial = {};
    if (text.empty()) {
        return true;
    }
    const std::vector<std::string> fields = SplitAtTabs(text);
    auto number = [](const std::string& field) {
        return !field.empty() && field.size() <= 18 && field.find_first_not_of("0123456789") == std::string::npos;
    };
    if (fields.size() != 5 || fields[0] != "U" || !number(fields[1]) || !number(fields[2]) || fields[3].empty() ||
        fields[4].empty()) {
        return false;
    }
    partial = {fields[4], std::stoll(fields[1]), std::stoll(fields[2]), fields[3]};
    return true;
}

void UploadResumable(TIdFTP& connection, const std::string& localFile, const std::string& remoteName,
                     PartialUpload& partial, const std::function<void(const PartialUpload& part)>& onPart) {
    const PartialUpload previous = partial;
    const auto [size, time] = localStamp(localFile);
    const PartialUpload record{localFile, size, time, remoteName};
    partial = record;
    if (size > 0 && previous.localFile == localFile && previous.remoteName == remoteName &&
        previous.localSize == size && previous.localTime == time) {
        const std::int64_t stored = connection.FileSize(remoteName);
        if (stored > 0 && stored <= size) {
            // Ours, and short: the rest goes on its end. Ours and whole: every byte went
            // out and only the server's last word was missing (it may have come late);
            // nothing is sent again.
            ContinueUpload(connection, localFile, remoteName);
            partial = {};
            return;
        }
    }
    if (onPart && size > 0) {
        onPart(record);
    }
    UploadLocalFile(connection, localFile, remoteName);
    partial = {};
}
