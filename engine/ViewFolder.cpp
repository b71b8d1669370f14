#include "engine/ViewFolder.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "engine/FtpTools.h"
#include "platform/MessageText.h"

std::string ViewFolderBase(const std::string& runtimeDir) {
    struct stat info {};
    if (!runtimeDir.empty() && ::lstat(runtimeDir.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
        info.st_uid == ::geteuid() && (info.st_mode & 077) == 0) {
        return AddTrailingBackslash(runtimeDir);
    }
    return GetTempFolder();
}

TViewFolder::~TViewFolder() {
    if (!m_path.empty()) {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
}

const std::string& TViewFolder::Path() {
    if (m_path.empty()) {
        const char* runtime = std::getenv("XDG_RUNTIME_DIR");
        std::string pattern = ViewFolderBase(runtime != nullptr ? runtime : "") + "harbrook-view-XXXXXX";
        std::vector<char> name(pattern.begin(), pattern.end());
        name.push_back('\0');
        if (::mkdtemp(name.data()) == nullptr) {
            const int reason = errno;
            throw harbrook::EToolError("Cannot make a folder for viewing files in \"" +
                                       harbrook::ShortenedForMessage(pattern) + "\". " + std::strerror(reason));
        }
        m_path = AddTrailingBackslash(name.data());
    }
    return m_path;
}
