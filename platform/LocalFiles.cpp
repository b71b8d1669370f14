#include "platform/LocalFiles.h"

#include <sys/stat.h>
#include <sys/statfs.h>
#include <sys/statvfs.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/HarbrookVersion.h"

namespace harbrook {

namespace {

constexpr double kUnixEpochDays = 25569.0;

// The stamp: a marker and the version text, kept in the executable's data. The reader
// builds its search pattern at run time, so the pattern itself is never taken for a stamp.
[[gnu::used]] const char kVersionStamp[] = "\x7fHARBROOK-FILE-VERSION:" HARBROOK_VERSION_TEXT;

std::string stampMarker() {
    std::string marker = "\x7f";
    for (char c : std::string("IBSCSPPL.GJMF.WFSTJPO;")) {
        marker += static_cast<char>(c - 1);
    }
    return marker;
}

std::string homeFolder() {
    const char* home = std::getenv("HOME");
    return home != nullptr ? home : "";
}

// XDG_<NAME>_DIR from the environment or ~/.config/user-dirs.dirs.
std::string xdgUserDir(const std::string& name, const std::string& fallback) {
    const std::string home = homeFolder();
    if (const char* value = std::getenv(("XDG_" + name + "_DIR").c_str()); value != nullptr && *value) {
        return value;
    }
    const char* config = std::getenv("XDG_CONFIG_HOME");
    const std::string file = (config != nullptr && *config ? std::string(config) : home + "/.config") +
                             "/user-dirs.dirs";
    std::ifstream in(file);
    std::string line;
    const std::string key = "XDG_" + name + "_DIR=";
    while (std::getline(in, line)) {
        if (line.rfind(key, 0) != 0) {
            continue;
        }
        std::string value = line.substr(key.size());
        if (value.size() >= 2 && value.front() == '"' && value.back() == '"') {
            value = value.substr(1, value.size() - 2);
        }
        if (value.rfind("$HOME", 0) == 0) {
            value = home + value.substr(5);
        }
        return value;
    }
    return home.empty() ? std::string() : home + "/" + fallback;
}

bool isNetworkFileSystemType(const std::string& type) {
    static const char* network[] = {"nfs", "nfs4", "cifs", "smb3", "smbfs", "ncpfs", "afs", "9p",
                                    "fuse.sshfs", "fuse.rclone", "fuse.s3fs", "davfs", "coda",
                                    "ceph", "glusterfs", "lustre"};
    for (const char* name : network) {
        if (type == name) {
            return true;
        }
    }
    return false;
}

// The file system type of the mount that holds `path`, from /proc/self/mounts.
std::string mountTypeOf(const std::string& path) {
    std::ifstream mounts("/proc/self/mounts");
    std::string device, mountPoint, type, rest;
    std::string bestType;
    std::size_t bestLength = 0;
    while (mounts >> device >> mountPoint >> type && std::getline(mounts, rest)) {
        const bool contains = path == mountPoint || mountPoint == "/" ||
                              (path.rfind(mountPoint, 0) == 0 && path.size() > mountPoint.size() &&
                               path[mountPoint.size()] == '/');
        if (contains && mountPoint.size() >= bestLength) {
            bestLength = mountPoint.size();
            bestType = type;
        }
    }
    return bestType;
}

}  // namespace

std::int64_t GetFileSize(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return -1;
    }
    return info.st_size;
}

namespace {

LocalEntryKind kindOf(mode_t mode) {
    if (S_ISREG(mode)) {
        return LocalEntryKind::File;
    }
    if (S_ISDIR(mode)) {
        return LocalEntryKind::Folder;
    }
    if (S_ISLNK(mode)) {
        return LocalEntryKind::Link;
    }
    return LocalEntryKind::Special;
}

}  // namespace

LocalEntry InspectLocalEntry(const std::string& path) {
    LocalEntry entry;
    struct stat info {};
    if (path.empty() || ::lstat(path.c_str(), &info) != 0) {
        return entry;
    }
    entry.kind = kindOf(info.st_mode);
    entry.leadsTo = entry.kind;
    entry.size = info.st_size;
    entry.permissions = info.st_mode & 07777;
    if (entry.kind == LocalEntryKind::Link) {
        struct stat target {};
        entry.leadsTo = ::stat(path.c_str(), &target) == 0 ? kindOf(target.st_mode) : LocalEntryKind::Missing;
    }
    return entry;
}

TDateTime GetFileDateTime(const std::string& path) {
    struct stat info {};
    if (path.empty() || ::stat(path.c_str(), &info) != 0) {
        return -1.0;
    }
    const double seconds = static_cast<double>(info.st_mtim.tv_sec) + info.st_mtim.tv_nsec / 1e9;
    return utcToLocal(seconds / 86400.0 + kUnixEpochDays);
}

bool IsLocalDrive(const std::string& path) {
    if (path.rfind("//", 0) == 0 || path.rfind("\\\\", 0) == 0) {
        return false;
    }
    std::error_code error;
    std::filesystem::path existing = std::filesystem::absolute(path.empty() ? "." : path, error);
    while (!existing.empty() && !std::filesystem::exists(existing, error)) {
        if (existing == existing.parent_path()) {
            break;
        }
        existing = existing.parent_path();
    }
    const std::string canonical = std::filesystem::weakly_canonical(existing, error).string();
    return !isNetworkFileSystemType(mountTypeOf(canonical.empty() ? existing.string() : canonical));
}

std::string GetDiskSerial(char) {
    struct statvfs info {};
    if (::statvfs("/", &info) != 0) {
        return {};
    }
    char text[16];
    std::snprintf(text, sizeof text, "%08lX", static_cast<unsigned long>(info.f_fsid & 0xFFFFFFFFul));
    return text;
}

std::string GetSpecialFolder(int folder) {
    const std::string home = homeFolder();
    if (home.empty()) {
        return {};
    }
    switch (folder) {
        case kDesktopFolder: return xdgUserDir("DESKTOP", "Desktop");
        case kPersonalFolder: return xdgUserDir("DOCUMENTS", "Documents");
        case kProgramsFolder: {
            const char* data = std::getenv("XDG_DATA_HOME");
            return (data != nullptr && *data ? std::string(data) : home + "/.local/share") + "/applications";
        }
        case kStartupFolder: {
            const char* config = std::getenv("XDG_CONFIG_HOME");
            return (config != nullptr && *config ? std::string(config) : home + "/.config") + "/autostart";
        }
        default: return {};
    }
}

const char* ProgramVersionText() {
    return kVersionStamp + std::strlen("\x7fHARBROOK-FILE-VERSION:");
}

bool GetFileVersion(const std::string& path, int& major, int& minor, int& release, int& build) {
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        return false;
    }
    const std::string marker = stampMarker();
    std::vector<char> chunk(1 << 16);
    std::string window;
    while (in) {
        in.read(chunk.data(), static_cast<std::streamsize>(chunk.size()));
        window.append(chunk.data(), static_cast<std::size_t>(in.gcount()));
        const std::size_t at = window.find(marker);
        if (at != std::string::npos && window.size() - at > marker.size() + 8) {
            int values[4];
            if (std::sscanf(window.c_str() + at + marker.size(), "%d.%d.%d.%d", &values[0], &values[1],
                            &values[2], &values[3]) == 4) {
                major = values[0];
                minor = values[1];
                release = values[2];
                build = values[3];
                return true;
            }
        }
        // Keep enough of the end for a marker split across two chunks.
        if (window.size() > marker.size() + 64) {
            window.erase(0, window.size() - marker.size() - 64);
        }
    }
    return false;
}

std::string FormatShortDateLongTime(TDateTime value) {
    const DateTimeParts parts = decodeDateTime(value);
    std::tm time{};
    time.tm_year = parts.year - 1900;
    time.tm_mon = parts.month - 1;
    time.tm_mday = parts.day;
    time.tm_hour = parts.hour;
    time.tm_min = parts.minute;
    time.tm_sec = parts.second;
    char text[128];
    const bool midnight = parts.hour == 0 && parts.minute == 0 && parts.second == 0;
    std::strftime(text, sizeof text, midnight ? "%x" : "%x %X", &time);
    return text;
}

}  // namespace harbrook
