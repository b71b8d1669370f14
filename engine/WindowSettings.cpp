#include "engine/WindowSettings.h"

#include <algorithm>

namespace {

std::string headerKey(char header, std::size_t section) {
    return std::string("h") + header + "s" + std::to_string(section);
}

int atLeast(int value, int smallest, int fallback) {
    return value >= smallest ? value : fallback;
}

}  // namespace

WindowSettings ReadWindowSettings(const harbrook::ProfileFile& ini, const WindowSettings& defaults) {
    const char* section = WindowSettings::kSection;
    WindowSettings settings;
    settings.left = ini.ReadInteger(section, "left", defaults.left);
    settings.top = ini.ReadInteger(section, "top", defaults.top);
    settings.width = atLeast(ini.ReadInteger(section, "width", defaults.width), WindowSettings::kSmallestSide,
                             defaults.width);
    settings.height = atLeast(ini.ReadInteger(section, " height", defaults.height), WindowSettings::kSmallestSide,
                              defaults.height);
    settings.host = ini.ReadString(section, "host", defaults.host);
    settings.user = ini.ReadString(section, "user", defaults.user);
    settings.pass = ini.ReadString(section, "pass", defaults.pass);
    settings.lastUpload = ini.ReadString(section, "lastupload", defaults.lastUpload);
    settings.lastDownload = ini.ReadString(section, "lastdownload", defaults.lastDownload);
    for (std::size_t i = 0; i < settings.remoteHeader.size(); ++i) {
        settings.remoteHeader[i] =
            atLeast(ini.ReadInteger(section, headerKey('1', i), defaults.remoteHeader[i]), 0, defaults.remoteHeader[i]);
    }
    for (std::size_t i = 0; i < settings.transferHeader.size(); ++i) {
        settings.transferHeader[i] = atLeast(ini.ReadInteger(section, headerKey('2', i), defaults.transferHeader[i]),
                                             0, defaults.transferHeader[i]);
    }
    const int port = ini.ReadInteger(section, "port", defaults.port);
    settings.port = port >= 1 && port <= 65535 ? port : defaults.port;
    settings.explicitTls = ini.ReadInteger(section, "explicittls", defaults.explicitTls ? 1 : 0) != 0;
    settings.logShown = ini.ReadInteger(section, "logshown", defaults.logShown ? 1 : 0) != 0;
    settings.logHeight =
        atLeast(ini.ReadInteger(section, "logheight", defaults.logHeight), WindowSettings::kSmallestLog, defaults.logHeight);
    settings.keyringNoticeGiven = ini.ReadInteger(section, "keyringnotice", defaults.keyringNoticeGiven ? 1 : 0) != 0;
    // A value out of range (a hand-edited file) is brought into it, not dropped.
    settings.downloadLimit =
        std::clamp(ini.ReadInteger(section, "downloadlimit", defaults.downloadLimit), 0, WindowSettings::kLargestLimit);
    settings.uploadLimit =
        std::clamp(ini.ReadInteger(section, "uploadlimit", defaults.uploadLimit), 0, WindowSettings::kLargestLimit);
    settings.parallelFiles = std::clamp(ini.ReadInteger(section, "parallel", defaults.parallelFiles), 1, 10);
    return settings;
}

void WriteWindowSettings(harbrook::ProfileFile& ini, const WindowSettings& settings) {
    const char* section = WindowSettings::kSection;
    ini.WriteInteger(section, "left", settings.left);
    ini.WriteInteger(section, "top", settings.top);
    ini.WriteInteger(section, "width", settings.width);
    ini.WriteInteger(section, " height", settings.height);
    ini.WriteString(section, "host", settings.host);
    ini.WriteString(section, "user", settings.user);
    ini.WriteString(section, "pass", settings.pass);
    ini.WriteString(section, "lastupload", settings.lastUpload);
    ini.WriteString(section, "lastdownload", settings.lastDownload);
    for (std::size_t i = 0; i < settings.remoteHeader.size(); ++i) {
        ini.WriteInteger(section, headerKey('1', i), settings.remoteHeader[i]);
    }
    for (std::size_t i = 0; i < settings.transferHeader.size(); ++i) {
        ini.WriteInteger(section, headerKey('2', i), settings.transferHeader[i]);
    }
    ini.WriteInteger(section, "port", settings.port);
    ini.WriteInteger(section, "explicittls", settings.explicitTls ? 1 : 0);
    ini.WriteInteger(section, "logshown", settings.logShown ? 1 : 0);
    ini.WriteInteger(section, "logheight", settings.logHeight);
    ini.WriteInteger(section, "keyringnotice", settings.keyringNoticeGiven ? 1 : 0);
    ini.WriteInteger(section, "downloadlimit", settings.downloadLimit);
    ini.WriteInteger(section, "uploadlimit", settings.uploadLimit);
    ini.WriteInteger(section, "parallel", settings.parallelFiles);
}
