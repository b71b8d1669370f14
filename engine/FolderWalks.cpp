#include "engine/FolderWalks.h"

#include <filesystem>

#include "engine/DirListings.h"
#include "engine/RemoteFolder.h"
#include "engine/FileTransfers.h"
#include "engine/OverwriteDecisions.h"
#include "engine/RemotePaths.h"
#include "platform/LocalFiles.h"
#include "platform/MessageText.h"

namespace fs = std::filesystem;

namespace {

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

}  // namespace

void DownloadRemoteFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remotePath,
                          TOverwriteDecider* decider, TSpreadPool::Group* spread) {
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
        // Where another connection finds the files of this folder.
        const std::string here = spread != nullptr ? connection.CurrentDirectory() : std::string();
        // Names from the server never leave the target folder: ".", "..", "a/b" and the
        // like are skipped (also what would make the walk loop for ever).
        for (const std::string& file : files) {
            if (!IsSafeRemoteName(file)) {
                continue;
            }
            std::string local = AddTrailingBackslash(target) + file;
            if (decider != nullptr && harbrook::InspectLocalEntry(local).kind != harbrook::LocalEntryKind::Missing &&
                PlanDownloadTarget(connection, file, connection.FileSize(file), local, *decider) !=
                    TargetPlan::Transfer) {
                continue;
            }
            if (spread != nullptr) {
                spread->Defer(
                    [here, file, local](TIdFTP& other) {
                        other.ChangeDirectory(here);
                        DownloadRemoteFileAs(other, file, local);
                    },
                    connection);
                continue;
            }
            DownloadRemoteFileAs(connection, file, local);
        }
        for (const std::string& sub : folders) {
            if (IsSafeRemoteName(sub)) {
                DownloadRemoteFolder(connection, target, sub + "/", decider, spread);
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

void UploadLocalFolder(TIdFTP& connection, const std::string& localFolder, const std::string& remoteName,
                       TOverwriteDecider* decider, TSpreadPool::Group* spread) {
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
    const std::string here = spread != nullptr ? connection.CurrentDirectory() : std::string();
    for (; entry != fs::directory_iterator(); entry.increment(error)) {
        const std::string name = entry->path().filename().string();
        // Hidden entries stay at home.
        if (name.empty() || name[0] == '.') {
            continue;
        }
        const std::string path = AddTrailingBackslash(localFolder) + name;
        if (entry->is_directory(error)) {
            UploadLocalFolder(connection, path, name, decider, spread);
            continue;
        }
        // A folder made just now has nothing to ask about.
        std::string chosen = name;
        if (decider != nullptr && exists && PlanUploadTarget(connection, path, chosen, *decider) != TargetPlan::Transfer) {
            continue;
        }
        if (spread != nullptr) {
            spread->Defer(
                [here, path, chosen](TIdFTP& other) {
                    other.ChangeDirectory(here);
                    UploadLocalFile(other, path, chosen);
                    RemoveDirListing(here);
                },
                connection);
            continue;
        }
        UploadLocalFile(connection, path, chosen);
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
