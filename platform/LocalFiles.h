#pragma once

#include <cstdint>
#include <string>

#include "platform/DateTime.h"

namespace harbrook {

// The size of the file or folder entry at path; -1 when there is none.
std::int64_t GetFileSize(const std::string& path);
// What stands at a local path, the path itself judged (a symbolic link is not followed).
enum class LocalEntryKind { Missing, File, Folder, Link, Special };
struct LocalEntry {
    LocalEntryKind kind = LocalEntryKind::Missing;
    // For a link: what it leads to (Missing when it leads nowhere); else `kind`.
    LocalEntryKind leadsTo = LocalEntryKind::Missing;
    // Of the entry itself (a regular file's size and permission bits).
    std::int64_t size = -1;
    unsigned permissions = 0;
};
LocalEntry InspectLocalEntry(const std::string& path);

// Its last modification as local date-time; -1.0 when there is none.
TDateTime GetFileDateTime(const std::string& path);
// Whether the path lies on a local file system (not NFS, SMB/CIFS, a network FUSE mount
// or the like). A path that does not exist is judged by its nearest existing folder;
// a UNC-style "//server/share" path is never local.
bool IsLocalDrive(const std::string& path);
// The root file system's identifier as 8 upper-case hexadecimal digits; empty when it
// cannot be read. (A drive letter means nothing here; there is one root.)
std::string GetDiskSerial(char driveLetter);

// Shell folder numbers and where they live on an XDG desktop.
enum SpecialFolder { kDesktopFolder = 0, kProgramsFolder = 2, kPersonalFolder = 5, kStartupFolder = 7 };
// The folder's path; empty for an unknown number or without a home folder.
std::string GetSpecialFolder(int folder);

// The version numbers our build stamps into every executable. False (outputs untouched)
// for a file without a stamp or that cannot be read.
bool GetFileVersion(const std::string& path, int& major, int& minor, int& release, int& build);
// This program's own stamp, "major.minor.release.build".
const char* ProgramVersionText();

// Short date, a blank and long time in the user's locale; the blank and the time are
// left out when the time of day is 00:00:00.
std::string FormatShortDateLongTime(TDateTime value);

}  // namespace harbrook
