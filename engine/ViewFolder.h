#pragma once

#include <string>

// Where View puts the files it hands to the desktop's programs: a folder of the user's
// own, made by mkdtemp (so 0700 and under a name nobody could guess or plant) inside
// $XDG_RUNTIME_DIR when that is the user's private folder, else inside the system's
// temporary folder. Removed with everything in it when the object goes away. (A fixed
// name in the shared temporary folder let another user plant a link there.)
class TViewFolder {
public:
    TViewFolder() = default;
    ~TViewFolder();
    TViewFolder(const TViewFolder&) = delete;
    TViewFolder& operator=(const TViewFolder&) = delete;

    // The folder, with a trailing separator; made on first use. Throws EToolError when
    // it cannot be made.
    const std::string& Path();
    // Permission bits of the files put into it.
    static constexpr int kFileRights = 0600;

private:
    std::string m_path;
};

// The base folder a view folder is made in, for `runtimeDir` ($XDG_RUNTIME_DIR, may be
// empty): used only when it is a real folder (not a link) owned by this user and closed
// to others.
std::string ViewFolderBase(const std::string& runtimeDir);
