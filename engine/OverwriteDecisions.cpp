#include "engine/OverwriteDecisions.h"

#include <algorithm>
#include <filesystem>

#include "engine/FileSizeText.h"
#include "engine/FileTransfers.h"
#include "engine/RemoteFolder.h"
#include "engine/RemotePaths.h"
#include "ftp/client/IdFTP.h"
#include "platform/LocalFiles.h"
#include "platform/MessageText.h"

std::string NumberedName(const std::string& name, int number) {
    const std::size_t dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(number) + ")";
    if (dot == std::string::npos || dot == 0) {
        return name + suffix;
    }
    return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string FreeName(const std::string& name, const std::function<bool(const std::string& name)>& taken) {
    for (int number = 1; number < 10000; ++number) {
        std::string candidate = NumberedName(name, number);
        if (!taken(candidate)) {
            return candidate;
        }
    }
    throw harbrook::EToolError("No free name for \"" + harbrook::ShortenedForMessage(name) + "\"");
}

std::string OverwriteMessage(bool download, const std::string& target, std::int64_t existingSize,
                             std::int64_t newSize) {
    std::string text = std::string(download ? "The local file \"" : "The remote file \"") +
                       harbrook::ShortenedForMessage(target) + "\" already exists";
    if (existingSize >= 0) {
        text += " (" + harbrook::FormatFileSize(existingSize) + ")";
    }
    text += ".";
    if (newSize >= 0) {
        text += std::string(download ? "\nThe remote file has " : "\nThe local file has ") +
                harbrook::FormatFileSize(newSize) + ".";
    }
    return text;
}

harbrook::OverwriteChoice TOverwriteDecider::Decide(const harbrook::OverwriteQuestion& question) {
    using harbrook::OverwriteChoice;
    // Several connections of one run ask in turn: the second waits for the first answer,
    // which may be meant for the rest.
    std::lock_guard hold(m_lock);
    if (m_forTheRest && (*m_forTheRest != OverwriteChoice::Resume || question.CanResume)) {
        return *m_forTheRest;
    }
    const harbrook::OverwriteAnswer answer = m_ask(question);
    // Only a box without the button could answer so; the safe reading is to leave it.
    const OverwriteChoice choice =
        answer.Choice == OverwriteChoice::Resume && !question.CanResume ? OverwriteChoice::Skip : answer.Choice;
    if (answer.ForTheRest) {
        m_forTheRest = choice;
    }
    return choice;
}

namespace {

// Whether the current remote folder holds `name`: by SIZE, or where the server has no
// SIZE, by the folder's listing.
bool remoteNameTaken(TIdFTP& client, const std::string& name) {
    if (client.FileSize(name) >= 0) {
        return true;
    }
    if (client.SupportsFeature("SIZE")) {
        return false;
    }
    TLines folders;
    TLines files;
    ListRemoteNames(client, folders, files, true);
    return std::find(files.begin(), files.end(), name) != files.end() ||
           std::find(folders.begin(), folders.end(), name) != folders.end();
}

}  // namespace

TargetPlan PlanDownloadTarget(TIdFTP& client, const std::string& remotePath, std::int64_t remoteSize,
                              std::string& target, TOverwriteDecider& decider) {
    const harbrook::LocalEntry existing = harbrook::InspectLocalEntry(target);
    if (existing.kind != harbrook::LocalEntryKind::File && existing.kind != harbrook::LocalEntryKind::Link) {
        return TargetPlan::Transfer;
    }
    // A file as long as the remote one "resumes" to nothing: a walk continued after a
    // cut passes over the files it had finished.
    const bool resumable = existing.kind == harbrook::LocalEntryKind::File && existing.size > 0 &&
                           remoteSize >= existing.size && client.ResumeSupported();
    switch (decider.Decide({OverwriteMessage(true, target, existing.size, remoteSize), resumable})) {
        case harbrook::OverwriteChoice::Skip:
            return TargetPlan::Skip;
        case harbrook::OverwriteChoice::Resume:
            ContinueDownload(client, remotePath, target);
            return TargetPlan::Done;
        case harbrook::OverwriteChoice::Rename: {
            namespace fs = std::filesystem;
            const fs::path place(target);
            target = (place.parent_path() / FreeName(place.filename().string(), [&](const std::string& name) {
                          return harbrook::InspectLocalEntry((place.parent_path() / name).string()).kind !=
                                 harbrook::LocalEntryKind::Missing;
                      })).string();
            return TargetPlan::Transfer;
        }
        case harbrook::OverwriteChoice::Overwrite:
            break;
    }
    return TargetPlan::Transfer;
}

TargetPlan PlanUploadTarget(TIdFTP& client, const std::string& localFile, std::string& remoteName,
                            TOverwriteDecider& decider) {
    if (!remoteNameTaken(client, remoteName)) {
        return TargetPlan::Transfer;
    }
    const std::int64_t remoteSize = client.FileSize(remoteName);
    const std::int64_t localSize = harbrook::InspectLocalEntry(localFile).size;
    const harbrook::OverwriteQuestion question{
        OverwriteMessage(false, AddTrailingSlash(client.CurrentDirectory()) + remoteName, remoteSize, localSize),
        remoteSize > 0 && localSize >= remoteSize};
    switch (decider.Decide(question)) {
        case harbrook::OverwriteChoice::Skip:
            return TargetPlan::Skip;
        case harbrook::OverwriteChoice::Resume:
            ContinueUpload(client, localFile, remoteName);
            return TargetPlan::Done;
        case harbrook::OverwriteChoice::Rename:
            remoteName = FreeName(remoteName, [&](const std::string& name) { return remoteNameTaken(client, name); });
            return TargetPlan::Transfer;
        case harbrook::OverwriteChoice::Overwrite:
            break;
    }
    return TargetPlan::Transfer;
}
