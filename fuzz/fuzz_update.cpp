// The update check against a peer that answers each of its exchanges (message, build,
// installer, signature: one connection each) with a NUL-separated piece of the input.
// Whatever comes back, the check must end within its time-outs, keep no half installer
// and start nothing that is not signed with the built-in key.

#include <unistd.h>

#include <filesystem>
#include <string>

#include "fuzz/FuzzInput.h"
#include "fuzz/ScriptedPeer.h"
#include "update/UpdateCheck.h"

namespace {

class QuietView : public harbrook::update::IUpdateView {
public:
    explicit QuietView(std::string target) : m_target(std::move(target)) {}
    void Log(const std::string&) override {}
    void SetCaption(const std::string&) override {}
    void SetPosition(std::int64_t) override {}
    void SetMaximum(std::int64_t) override {}
    void ShowDownloadProgress(std::int64_t) override {}
    void ProcessEvents() override {}
    void ShowMessage(const std::string& message) override {
        if (message.size() > harbrook::update::kMaxMessageBytes) {
            __builtin_trap();
        }
    }
    void ShowError(const std::string&) override {}
    std::string ChooseSavePath(const std::string&) override { return m_target; }
    bool ConfirmLaunch(const std::string&) override { return true; }

private:
    std::string m_target;
};

const std::string& workFolder() {
    static const std::string folder = [] {
        std::string path = std::filesystem::temp_directory_path().string() + "/harbrook-fuzz-update-" +
                           std::to_string(::getpid());
        std::filesystem::create_directories(path);
        return path;
    }();
    return folder;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace harbrook;
    std::vector<fuzz::ScriptedPeer::Pieces> exchanges;
    for (std::string& piece : fuzz::piecesOf(fuzz::textOf(data, size), 4)) {
        exchanges.push_back({std::move(piece)});
    }
    const std::string target = workFolder() + "/HarbrookInstall.exe";
    update::UpdateResult result;
    {
        fuzz::ScriptedPeer peer(exchanges, false);
        update::UpdateSettings settings;
        settings.host = "127.0.0.1";
        settings.port = fuzz::ScriptedPeer::Port();
        settings.readTimeoutMs = 100;
        settings.messageTimeoutMs = 300;
        settings.programName = "harbrook";
        settings.programFolder = workFolder();
        settings.ownBuild = 1;
        QuietView view(target);
        result = update::RunUpdateCheck(settings, view);
    }
    // No key but the built-in one signs what a fuzzer makes up.
    if (!result.launch.empty()) {
        __builtin_trap();
    }
    std::error_code error;
    if (std::filesystem::exists(target, error)) {
        __builtin_trap();
    }
    return 0;
}
