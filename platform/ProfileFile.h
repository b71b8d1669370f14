#pragma once

#include <optional>
#include <string>
#include <vector>

namespace harbrook {

// A settings file in the profile format: "[section]" lines, then key=value lines.
// Section and key names are compared without regard to case; key text is otherwise
// exact (" height" keeps its blank) and values are kept as written.
class ProfileFile {
public:
    // Reads the file; a missing or unreadable file is an empty profile.
    explicit ProfileFile(std::string path);

    std::string ReadString(const std::string& section, const std::string& key, const std::string& fallback) const;
    // The fallback when the key is missing or its value is not a whole number.
    int ReadInteger(const std::string& section, const std::string& key, int fallback) const;
    void WriteString(const std::string& section, const std::string& key, const std::string& value);
    void WriteInteger(const std::string& section, const std::string& key, int value);

    // Writes the whole profile to a temporary file beside it, readable by the owner
    // only (it holds a password), and renames that over the old file: a failure at any
    // point leaves the old file whole. Returns false (and leaves the old file) when it
    // cannot be written.
    [[nodiscard]] bool Save() const;

    const std::string& Path() const { return m_path; }

private:
    struct Entry {
        std::string key;
        std::string value;
    };
    struct Section {
        std::string name;
        std::vector<Entry> entries;
    };
    const Entry* find(const std::string& section, const std::string& key) const;

    std::string m_path;
    std::vector<Section> m_sections;
};

// Writes `text` to a temporary file beside `path`, readable by the owner only, and
// renames it over `path`: a failure at any point leaves the old file whole. False when
// it cannot be written.
[[nodiscard]] bool ReplaceFileWhole(const std::string& path, const std::string& text);

// Where the program keeps its settings: beside the program when that folder can be
// written, otherwise in the user's configuration folder ($XDG_CONFIG_HOME/harbrook, or
// ~/.config/harbrook), so an installed program does not lose its settings.
std::string SettingsFilePath(const std::string& programFolder, const std::string& fileName);

}  // namespace harbrook
