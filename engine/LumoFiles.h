#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/DateTime.h"
#include "platform/Dialogs.h"
#include "platform/LumoComponent.h"

// Local-file services: the program's version and date, special folders, the disk
// serial, local-disk test and the folder chooser.
class TLumo_files : public TLumo_Custom_Component {
public:
    explicit TLumo_files(IFolderBrowser* folderBrowser = nullptr);

    std::string Version() const override { return "r1.17"; }
    const std::string& DiskSerial() const { return m_diskSerial; }
    bool ShowProgress = true;
    bool Confirmation = false;
    bool OnlocalDrive() const { return m_onLocalDrive; }
    std::function<void(const std::string& found)> OnFileFound;
    std::function<void(int count)> OnFindFileReady;

    std::string _Desktop() const;
    std::string _Programs() const;
    std::string _Startup() const;
    std::string _Personal() const;

    // The chooser BrowseForFolder shows; without one, the program's dialogs (Dialogs()).
    void SetFolderBrowser(IFolderBrowser* folderBrowser) { m_folderBrowser = folderBrowser; }

    harbrook::TDateTime FileDate(const std::string& path) const;
    std::string GetSpecialFolder(int folder) const;
    std::string BrowseForFolder(const std::string& caption, const std::string& initialFolder,
                                bool showEditBox, bool includeFiles) const;
    bool GetFileVersion(const std::string& path, int& major, int& minor, int& release, int& build) const;
    std::string GetDiskSerial(char driveLetter) const;
    bool IsLocalDrive(const std::string& path) const;

    // The running program's own file.
    static std::string ProgramPath();

private:
    IFolderBrowser* m_folderBrowser;
    std::string m_diskSerial;
    bool m_onLocalDrive;
};
