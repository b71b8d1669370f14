#pragma once

#include <sys/mount.h>

#include <filesystem>
#include <string>

namespace harbrook::testing {

// A tmpfs of `kib` KiB over `folder` for the test's life; grown again by grow().
class SmallDisk {
public:
    SmallDisk(std::string folder, int kib) : m_folder(std::move(folder)) {
        std::filesystem::create_directories(m_folder);
        const std::string size = "size=" + std::to_string(kib) + "k,mode=0777";
        m_mounted = ::mount("tmpfs", m_folder.c_str(), "tmpfs", 0, size.c_str()) == 0;
    }
    ~SmallDisk() {
        if (m_mounted) {
            ::umount2(m_folder.c_str(), MNT_DETACH);
        }
    }
    SmallDisk(const SmallDisk&) = delete;
    SmallDisk& operator=(const SmallDisk&) = delete;
    bool mounted() const { return m_mounted; }
    void grow(int kib) {
        const std::string size = "size=" + std::to_string(kib) + "k";
        ::mount("tmpfs", m_folder.c_str(), "tmpfs", MS_REMOUNT, size.c_str());
    }

private:
    std::string m_folder;
    bool m_mounted = false;
};

}  // namespace harbrook::testing
