#include "update/UpdateCheck.h"

#include <charconv>
#include <chrono>
#include <filesystem>
#include <optional>
#include <stdexcept>

#include "engine/FileSizeText.h"
#include "engine/LumoFilestream.h"
#include "ftp/transport/IdTCPClient.h"
#include "platform/Stream.h"
#include "update/UpdateSignature.h"

namespace harbrook::update {

namespace {

// One exchange: its own connection, the greeting and the command, closed at the end
// whatever happened.
class Exchange {
public:
    Exchange(const UpdateSettings& settings, const std::string& host) {
        m_client.SetHost(host);
        m_client.SetPort(settings.port);
        m_client.SetReadTimeout(settings.readTimeoutMs);
    }
    ~Exchange() {
        try {
            m_client.Disconnect();
        } catch (const std::exception&) {
            // The exchange is over either way.
        }
    }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    void Send(const std::string& command, const std::string& argument) {
        if (!m_client.Connected()) {
            m_client.Connect();
        }
        TIdIOHandler& io = *m_client.IOHandler();
        io.WriteLine("HarbrookUpdate");
        io.WriteLine(command);
        io.WriteLine(argument);
    }
    // Up to LF, a CR before it dropped; empty after the read time-out.
    std::string ReadLine() { return m_client.IOHandler()->ReadLine(); }
    TIdIOHandler& IO() { return *m_client.IOHandler(); }

private:
    TIdTCPClient m_client;
};

bool parseInt32(const std::string& text, std::int32_t& value) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    return error == std::errc() && end == text.data() + text.size() && !text.empty();
}

void messageExchange(const UpdateSettings& settings, const std::string& host, IUpdateView& view) {
    std::string message;
    bool hasMessage = false;
    try {
        Exchange exchange(settings, host);
        exchange.Send("GETMESSAGE", settings.programName);
        if (exchange.ReadLine() != "YES") {
            return;
        }
        hasMessage = true;
        int lines = 0;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(settings.messageTimeoutMs);
        for (;;) {
            if (std::chrono::steady_clock::now() > deadline) {
                throw std::runtime_error("the message took too long");
            }
            std::string line = exchange.ReadLine();
            // An empty line ends the message (a read time-out gives one too); a
            // connection that closes before it makes ReadLine raise.
            if (line.empty()) {
                break;
            }
            if (lines < kMaxMessageLines && message.size() + line.size() < kMaxMessageBytes) {
                message += line + "\r";
            }
            ++lines;
        }
    } catch (const std::exception&) {
        view.Log("Connection error on Message Check");
        return;
    }
    if (!hasMessage) {
        return;
    }
    if (message.empty()) {
        view.Log("Message was empty");
    } else {
        view.Log("Message read");
        view.ShowMessage(message);
    }
}

// True when a newer build is there.
bool buildExchange(const UpdateSettings& settings, const std::string& host, IUpdateView& view) {
    try {
        Exchange exchange(settings, host);
        exchange.Send("GETBUILD", settings.programName);
        if (exchange.ReadLine() != "YES") {
            view.Log("Invalid server response");
            view.SetCaption("Update Failed");
            return false;
        }
        const std::string line = exchange.ReadLine();
        std::int32_t build = 0;
        if (!line.empty() && !parseInt32(line, build)) {
            throw std::runtime_error("not a build number");
        }
        if (!line.empty() && build > settings.ownBuild) {
            view.Log("There is update available");
            return true;
        }
        view.Log("No update available");
        view.SetCaption("No Update Available");
    } catch (const std::exception&) {
        view.Log("Connection error on update check");
        view.SetCaption("Update Failed");
    }
    return false;
}

// The installer's detached signature; nothing when the server has none to give.
std::optional<std::string> signatureExchange(const UpdateSettings& settings, const std::string& host) {
    try {
        Exchange exchange(settings, host);
        exchange.Send("GETFILE", kSignatureName);
        std::int32_t size = 0;
        if (exchange.ReadLine() != "YES" || !parseInt32(exchange.ReadLine(), size) || size <= 0 ||
            size > kMaxSignatureBytes) {
            return std::nullopt;
        }
        TMemoryStream signature;
        exchange.IO().ReadStream(signature, size);
        if (signature.Size() != size) {
            return std::nullopt;
        }
        return signature.Bytes();
    } catch (const std::exception&) {
        return std::nullopt;
    }
}

// Whoever answers on the update port must not be able to run code here: only an
// installer signed with the built-in key is kept.
bool signedWithOurKey(const UpdateSettings& settings, const std::string& host, const std::string& target) {
    const auto signature = signatureExchange(settings, host);
    return signature && SignatureIsValid(target, *signature,
                                         settings.publicKeyPem.empty() ? BuiltInUpdateKey() : settings.publicKeyPem);
}

void removeQuietly(const std::string& path) {
    std::error_code error;
    std::filesystem::remove(path, error);
}

void fileExchange(const UpdateSettings& settings, const std::string& host, const std::string& target,
                  IUpdateView& view, UpdateResult& result) {
    try {
        Exchange exchange(settings, host);
        exchange.Send("GETFILE", kInstallerName);
        if (exchange.ReadLine() != "YES") {
            view.Log("Invalid download response");
            view.SetCaption("Download Failed");
            return;
        }
        const std::string sizeLine = exchange.ReadLine();
        if (sizeLine.empty() || sizeLine == "ERR") {
            view.Log("Error retrieving file size");
            view.SetCaption("Download Failed");
            return;
        }
        try {
            std::int32_t size = 0;
            if (!parseInt32(sizeLine, size) || size < 0) {
                throw std::runtime_error("not a size");
            }
            std::error_code error;
            if (std::filesystem::exists(target, error) && std::filesystem::remove(target, error)) {
                view.Log("Existing file deleted");
            }
            view.SetPosition(10);
            view.SetCaption("Downloading " + FormatFileSize(size) + "..");
            view.ProcessEvents();
            bool complete = false;
            {
                TLumo_filestream file(target, FileOpenMode::Create, 0, 0);
                view.SetMaximum(size);
                file.OnProgress = [&view](TLumo_filestream&, const std::string&, std::int64_t written,
                                          std::int64_t) { view.ShowDownloadProgress(written); };
                exchange.IO().ReadStream(file, size);
                complete = file.Size() == size;
            }
            if (complete && !signedWithOurKey(settings, host, target)) {
                removeQuietly(target);
                view.Log("The update's signature is not valid");
                view.SetCaption("Update Rejected");
                view.ShowError(kUnsignedUpdateMessage);
            } else if (complete) {
                view.Log("File downloaded succesfully");
                view.SetCaption("Update Downloaded");
                if (view.ConfirmLaunch("Do you want to launch downloaded file now?")) {
                    result.launch = target;
                }
            } else {
                // Half an installer is of no use and must not be started by mistake.
                removeQuietly(target);
                view.Log("Failed to download update");
                view.SetCaption("Download Failed");
            }
        } catch (const std::exception&) {
            removeQuietly(target);
            view.Log("Exception while downloading update");
            view.SetCaption("Download Failed");
        }
    } catch (const std::exception&) {
        view.Log("Connection error on download");
        view.SetCaption("Download failed");
    }
}

}  // namespace

UpdateResult RunUpdateCheck(const UpdateSettings& settings, IUpdateView& view) {
    UpdateResult result;
    view.SetPosition(0);
    const std::string host = settings.host.empty() ? kDefaultUpdateHost : settings.host;
    view.Log("Checking updates on " + host + ":" + std::to_string(kUpdatePort) + "..");
    messageExchange(settings, host, view);
    if (buildExchange(settings, host, view)) {
        view.Log(std::string("Downloading ") + kInstallerName + "..");
        const std::string offered = settings.programFolder + "/" + kInstallerName;
        const std::string target = view.ChooseSavePath(offered);
        if (target.empty()) {
            view.Log("Updating interrupted");
            view.SetCaption("Interrupted");
            return result;
        }
        fileExchange(settings, host, target, view, result);
    }
    view.SetPosition(100);
    return result;
}

}  // namespace harbrook::update
