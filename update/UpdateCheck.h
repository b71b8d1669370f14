#pragma once

#include <cstdint>
#include <string>

// The update check of the update window, free of Qt: the three exchanges of the update
// protocol (each on a connection of its own to the update host) and the decisions
// between them. The window supplies what the check shows and asks through IUpdateView.

namespace harbrook::update {

inline constexpr std::uint16_t kUpdatePort = 4995;
// The built-in update host (the reference harbrook-update-server serves it).
inline constexpr const char* kDefaultUpdateHost = "localhost";
inline constexpr const char* kInstallerName = "HarbrookInstall.exe";
// Its detached signature, fetched with the same exchange.
inline constexpr const char* kSignatureName = "HarbrookInstall.exe.sig";
// A signature is 64 bytes; a server that announces more is not sending one.
inline constexpr std::int32_t kMaxSignatureBytes = 4096;
inline constexpr const char* kUnsignedUpdateMessage =
    "The downloaded update is not signed with Harbrook's key. It was not started.";
// A message longer than this many lines or bytes is cut there: a server must not
// freeze the program or fill its memory with an endless message.
inline constexpr int kMaxMessageLines = 1000;
inline constexpr std::size_t kMaxMessageBytes = 64 * 1024;

class IUpdateView {
public:
    virtual ~IUpdateView() = default;
    // A log line (the view adds the time) at the top of the log; the view repaints.
    virtual void Log(const std::string& text) = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual void SetPosition(std::int64_t position) = 0;
    virtual void SetMaximum(std::int64_t maximum) = 0;
    // The installer's download has `written` bytes: position and "X of Y" caption. It
    // may raise to end the download (the window was closed).
    virtual void ShowDownloadProgress(std::int64_t written) = 0;
    // Lets the window handle pending events.
    virtual void ProcessEvents() = 0;
    // The information box with the server's message; returns once it is closed.
    virtual void ShowMessage(const std::string& message) = 0;
    // An error box; returns once it is closed.
    virtual void ShowError(const std::string& message) = 0;
    // The save dialog, offering `path`; empty when cancelled.
    virtual std::string ChooseSavePath(const std::string& path) = 0;
    // "Do you want to launch downloaded file now?"
    virtual bool ConfirmLaunch(const std::string& question) = 0;
};

struct UpdateSettings {
    std::string host;  // empty: the built-in host
    std::uint16_t port = kUpdatePort;
    int readTimeoutMs = 5000;
    // The whole message exchange: each line within the read time-out is not enough
    // when a server sends lines for ever (the window waits on it).
    int messageTimeoutMs = 15000;
    std::string programName;   // the running program's file name, without folder
    std::string programFolder; // where the installer is offered
    std::int32_t ownBuild = 0;
    // The public key (PEM) an installer must be signed with; empty: the built-in one.
    std::string publicKeyPem;
};

struct UpdateResult {
    // The installer to start when the user said yes; empty otherwise.
    std::string launch;
};

// RunUpdateCheck's steps 1 to 6 and 8; the caller starts `launch` and ends the program.
// An installer is offered for launch only when its signature verifies; otherwise it is
// removed and the user told.
UpdateResult RunUpdateCheck(const UpdateSettings& settings, IUpdateView& view);

}  // namespace harbrook::update
