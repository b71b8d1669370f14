#pragma once

#include <memory>
#include <string>
#include <vector>


using TLines = std::vector<std::string>;
// Lines that are never changed once made: the cache and the window's lists share them
// (a folder of a million files is kept once).
using TSharedLines = std::shared_ptr<const TLines>;

// The process-wide cache of remote folder listings as the remote pane shows them: per
// normalised remote path, the folder lines and the file lines. Every operation holds the
// cache's lock for its whole body; callers get and give copies, or share lines.
void InitDirListings();
void DoneDirListings();
void ClearDirListings();
bool DirListingExists(const std::string& path);
void StoreDirListing(const std::string& path, const TLines& folders, const TLines& files);
// Copies the entry into the lists and answers true; empties them and answers false when
// the path is not cached.
bool FetchDirListing(const std::string& path, TLines& folders, TLines& files);
void StoreSharedDirListing(const std::string& path, TSharedLines folders, TSharedLines files);
// The entry's lines (never null: empty when the path is not cached, and false).
bool FetchSharedDirListing(const std::string& path, TSharedLines& folders, TSharedLines& files);
void RemoveDirListing(const std::string& path);
// The number of cached folders.
int DirListingCount();

// "/pub/" -> "/pub"; "/" stays; only one slash goes.
std::string StripTrailingSlash(const std::string& path);
