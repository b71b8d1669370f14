#pragma once

#include <string>
#include <vector>


using TLines = std::vector<std::string>;

// The process-wide cache of remote folder listings as the remote pane shows them: per
// normalised remote path, the folder lines and the file lines. Every operation holds the
// cache's lock for its whole body; callers get and give copies.
void InitDirListings();
void DoneDirListings();
void ClearDirListings();
bool DirListingExists(const std::string& path);
void StoreDirListing(const std::string& path, const TLines& folders, const TLines& files);
// Copies the entry into the lists and answers true; empties them and answers false when
// the path is not cached.
bool FetchDirListing(const std::string& path, TLines& folders, TLines& files);
void RemoveDirListing(const std::string& path);
// The number of cached folders.
int DirListingCount();

// "/pub/" -> "/pub"; "/" stays; only one slash goes.
std::string StripTrailingSlash(const std::string& path);
