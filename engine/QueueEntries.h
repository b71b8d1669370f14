#pragma once

#include <string>
#include <vector>

// Entries of the two transfer queues: name=value, split at the first "=". A name may
// hold "=" and "%" (local and remote paths do): they are written "%3D" and "%25", so
// the first "=" of an entry is always the separator. The value is kept as it is.
struct QueueEntry {
    std::string name;
    std::string value;
};

std::string MakeQueueEntry(const std::string& name, const std::string& value);
// A field of a line-based file with "%", TAB, CR and LF written "%25", "%09", "%0D",
// "%0A"; and back (false for any other escape).
std::string EscapedField(const std::string& field);
bool UnescapedField(const std::string& field, std::string& out);
// The fields of a record line, split at every TAB ("a\t\tb" is "a", "", "b").
std::vector<std::string> SplitAtTabs(const std::string& text);
QueueEntry SplitQueueEntry(const std::string& entry);

// An upload: the local file or folder, into the remote folder (the main client's PWD
// when the entry was made).
std::string UploadQueueEntry(const std::string& localPath, const std::string& remoteFolder);
// A download of the row `name` of the remote folder (a whole folder when `isFolder`:
// its name then ends in "/") into the local folder.
std::string DownloadQueueEntry(const std::string& remoteFolder, const std::string& name, bool isFolder,
                               const std::string& localFolder);
