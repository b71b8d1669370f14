#pragma once

#include <string>

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
