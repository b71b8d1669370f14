#include "platform/ProfileFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>

namespace harbrook {

namespace {

bool sameName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : m_path(std::move(path)) {
    std::ifstream file(m_path, std::ios::binary);
    std::string line;
    Section* current = nullptr;
    while (std::getline(file, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        const std::size_t first = line.find_first_not_of(" \t");
        if (first != std::string::npos && line[first] == '[') {
            const std::size_t close = line.find(']', first);
            const std::string name = line.substr(first + 1, close == std::string::npos ? std::string::npos : close - first - 1);
            auto found = std::find_if(m_sections.begin(), m_sections.end(),
                                      [&](const Section& section) { return sameName(section.name, name); });
            if (found == m_sections.end()) {
                m_sections.push_back({name, {}});
                current = &m_sections.back();
            } else {
                current = &*found;
            }
            continue;
        }
        const std::size_t equals = line.find('=');
        if (current == nullptr || equals == std::string::npos || (first != std::string::npos && line[first] == ';')) {
            continue;
        }
        const std::string key = line.substr(0, equals);
        const std::string value = line.substr(equals + 1);
        auto entry = std::find_if(current->entries.begin(), current->entries.end(),
                                  [&](const Entry& candidate) { return sameName(candidate.key, key); });
        if (entry == current->entries.end()) {
            current->entries.push_back({key, value});
        }
    }
}

const ProfileFile::Entry* ProfileFile::find(const std::string& section, const std::string& key) const {
    for (const Section& candidate : m_sections) {
        if (!sameName(candidate.name, section)) {
            continue;
        }
        for (const Entry& entry : candidate.entries) {
            if (sameName(entry.key, key)) {
                return &entry;
            }
        }
    }
    return nullptr;
}

std::string ProfileFile::ReadString(const std::string& section, const std::string& key,
                                    const std::string& fallback) const {
    const Entry* entry = find(section, key);
    return entry != nullptr ? entry->value : fallback;
}

int ProfileFile::ReadInteger(const std::string& section, const std::string& key, int fallback) const {
    const Entry* entry = find(section, key);
    if (entry == nullptr) {
        return fallback;
    }
    int value = 0;
    const std::string& text = entry->value;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty() ? value : fallback;
}

void ProfileFile::WriteString(const std::string& section, const std::string& key, const std::string& value) {
    auto found = std::find_if(m_sections.begin(), m_sections.end(),
                              [&](const Section& candidate) { return sameName(candidate.name, section); });
    if (found == m_sections.end()) {
        m_sections.push_back({section, {}});
        found = m_sections.end() - 1;
    }
    // A value holding a line end would break the file's lines: it is cut there.
    const std::string oneLine = value.substr(0, value.find_first_of("\r\n"));
    for (Entry& entry : found->entries) {
        if (sameName(entry.key, key)) {
            entry.value = oneLine;
            return;
        }
    }
    found->entries.push_back({key, oneLine});
}

void ProfileFile::WriteInteger(const std::string& section, const std::string& key, int value) {
    WriteString(section, key, std::to_string(value));
}

bool ProfileFile::Save() const {
    std::string text;
    for (const Section& section : m_sections) {
        text.append("[").append(section.name).append("]\n");
        for (const Entry& entry : section.entries) {
            text.append(entry.key).append("=").append(entry.value).append("\n");
        }
    }
    return ReplaceFileWhole(m_path, text);
}

bool ReplaceFileWhole(const std::string& path, const std::string& text) {
    namespace fs = std::filesystem;
    const fs::path target(path);
    std::error_code error;
    if (target.has_parent_path()) {
        fs::create_directories(target.parent_path(), error);
    }
    std::mt19937 random(std::random_device{}());
    // Built by appending: GCC 12 at -O3 mistakes `"." + std::string` for an
    // overlapping copy (-Wrestrict).
    std::string name(1, '.');
    name.append(target.filename().string()).append(".").append(std::to_string(random() % 1000000)).append(".new");
    const std::string temporary = (target.parent_path() / name).string();
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        return false;
    }
    bool written = true;
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t put = ::write(fd, text.data() + done, text.size() - done);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put <= 0) {
            written = false;
            break;
        }
        done += static_cast<std::size_t>(put);
    }
    written = written && ::fsync(fd) == 0;
    written = ::close(fd) == 0 && written;
    if (!written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

std::string SettingsFilePath(const std::string& programFolder, const std::string& fileName) {
    if (!programFolder.empty() && ::access(programFolder.c_str(), W_OK) == 0) {
        return programFolder + "/" + fileName;
    }
    std::string config;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
        config = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        config = std::string(home) + "/.config";
    } else {
        config = "/tmp";
    }
    return config + "/harbrook/" + fileName;
}

}  // namespace harbrook
