#include "engine/RemotePaths.h"

#include <filesystem>

namespace fs = std::filesystem;

std::string AddTrailingBackslash(const std::string& localPath) {
    return localPath.empty() || localPath.back() == '/' ? localPath : localPath + "/";
}

std::string AddTrailingSlash(const std::string& remotePath) {
    return remotePath.empty() || remotePath.back() == '/' ? remotePath : remotePath + "/";
}

std::string ExtractRemoteDir(const std::string& remotePath) {
    const std::size_t slash = remotePath.rfind('/');
    return slash == std::string::npos ? std::string() : remotePath.substr(0, slash + 1);
}

std::string ExtractRemoteName(const std::string& remotePath) {
    const std::size_t slash = remotePath.rfind('/');
    return slash == std::string::npos ? remotePath : remotePath.substr(slash + 1);
}

std::string GetTempFolder() {
    std::error_code error;
    const fs::path folder = fs::temp_directory_path(error);
    return AddTrailingBackslash(error ? std::string("/tmp") : folder.string());
}

bool IsSafeRemoteName(const std::string& name) {
    return !name.empty() && name != "." && name != ".." && name.find('/') == std::string::npos &&
           name.find('\0') == std::string::npos;
}
