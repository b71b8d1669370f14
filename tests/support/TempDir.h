#pragma once

#include <cstdint>
#include <map>
#include <string>

namespace harbrook::testing {

// A fresh folder under the system temp directory, removed with everything in it when
// the object goes away.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;

    const std::string& path() const { return m_path; }
    // path() + "/" + name
    std::string file(const std::string& name) const { return m_path + "/" + name; }

private:
    std::string m_path;
};

void writeFile(const std::string& path, const std::string& bytes);
std::string readFile(const std::string& path);

}  // namespace harbrook::testing

namespace harbrook::testing {

// Writes `size` bytes of repeatable pseudo-random content (chosen by `seed`) to path.
void writeRandomFile(const std::string& path, std::int64_t size, unsigned seed = 1);
// SHA-256 of a file's contents as hex.
std::string sha256OfFile(const std::string& path);
// Every entry below `root` by relative path: "<dir>" or the file's checksum.
std::map<std::string, std::string> treeOf(const std::string& root);

}  // namespace harbrook::testing
