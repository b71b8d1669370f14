#pragma once

#include <array>
#include <string>

#include "platform/ProfileFile.h"

// The main window's settings as the INI keeps them, section "main": the window's place
// and size ("left", "top", "width", " height" - with its blank, as it has always been
// written), the connection bar ("host", "user", "pass"), the last folders of the upload
// and download dialogs ("lastupload", "lastdownload") and the header sections' widths
// ("h1s0".."h1s2", "h2s0".."h2s4"); and, newer, the bar's port and TLS choice ("port",
// "explicittls"), the message log pane ("logshown", "logheight") and whether the user
// was told that no keyring answered and passwords stay in the files ("keyringnotice"),
// and the transfers' speed limits and files at once.
// With a keyring, "pass" is written empty and the password rests in the keyring.
struct WindowSettings {
    static constexpr const char* kSection = "main";
    // A width or height below this would make a window nobody can find; such a value
    // (and a negative header section) is read as the design value.
    static constexpr int kSmallestSide = 100;

    int left = 0;
    int top = 0;
    int width = 751;
    int height = 722;
    std::string host = "localhost";
    std::string user = "anonymous";
    std::string pass = "Visitor1";
    std::string lastUpload;
    std::string lastDownload;
    std::array<int, 3> remoteHeader = {200, 90, 100};
    std::array<int, 5> transferHeader = {200, 90, 90, 90, 90};
    int port = 21;
    bool explicitTls = false;
    bool logShown = false;
    // At least kSmallestLog.
    int logHeight = 150;
    static constexpr int kSmallestLog = 40;
    bool keyringNoticeGiven = false;
    // The transfer limits in KiB per second for each direction (0: none) and the files
    // moved at once per direction ("downloadlimit", "uploadlimit", "parallel").
    int downloadLimit = 0;
    int uploadLimit = 0;
    int parallelFiles = 2;
    static constexpr int kLargestLimit = 10000000;
};

// The settings in `ini`, each missing or unreadable key taken from `defaults`.
WindowSettings ReadWindowSettings(const harbrook::ProfileFile& ini, const WindowSettings& defaults = {});
void WriteWindowSettings(harbrook::ProfileFile& ini, const WindowSettings& settings);
