#include "engine/LumoFiles.h"

#include <unistd.h>

#include <filesystem>

#include "platform/LocalFiles.h"

TLumo_files::TLumo_files(IFolderBrowser* folderBrowser)
    : m_folderBrowser(folderBrowser),
      m_diskSerial(harbrook::GetDiskSerial('C')),
      m_onLocalDrive(harbrook::IsLocalDrive(ProgramPath())) {}

std::string TLumo_files::ProgramPath() {
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return length > 0 ? std::string(path, static_cast<std::size_t>(length)) : std::string();
}

std::string TLumo_files::_Desktop() const {
    return GetSpecialFolder(harbrook::kDesktopFolder);
}

std::string TLumo_files::_Programs() const {
    return GetSpecialFolder(harbrook::kProgramsFolder);
}

std::string TLumo_files::_Startup() const {
    return GetSpecialFolder(harbrook::kStartupFolder);
}

std::string TLumo_files::_Personal() const {
    return GetSpecialFolder(harbrook::kPersonalFolder);
}

harbrook::TDateTime TLumo_files::FileDate(const std::string& path) const {
    return harbrook::GetFileDateTime(path);
}

std::string TLumo_files::GetSpecialFolder(int folder) const {
    return harbrook::GetSpecialFolder(folder);
}

std::string TLumo_files::BrowseForFolder(const std::string& caption, const std::string& initialFolder,
                                         bool showEditBox, bool includeFiles) const {
    TLumoFolderRequest request;
    request.Caption = caption;
    std::error_code error;
    request.InitialFolder = std::filesystem::is_directory(initialFolder, error) ? initialFolder : "";
    request.Flags = 0x0001 | 0x0040;
    request.Flags |= showEditBox ? 0x0010 : 0x0200;
    if (includeFiles) {
        request.Flags |= 0x4000;
    }
    // Without a chooser of its own, the program's dialogs choose.
    IFolderBrowser& browser = m_folderBrowser != nullptr ? *m_folderBrowser : harbrook::Dialogs();
    return browser.ChooseFolder(request);
}

bool TLumo_files::GetFileVersion(const std::string& path, int& major, int& minor, int& release,
                                 int& build) const {
    return harbrook::GetFileVersion(path, major, minor, release, build);
}

std::string TLumo_files::GetDiskSerial(char driveLetter) const {
    return harbrook::GetDiskSerial(driveLetter);
}

bool TLumo_files::IsLocalDrive(const std::string& path) const {
    return harbrook::IsLocalDrive(path);
}
