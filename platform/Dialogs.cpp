#include "platform/Dialogs.h"

#include <stdexcept>

namespace harbrook {

namespace {

// Before the GUI exists nothing can be shown; a call then is a programming mistake.
class NoDialogs : public IDialogs {
public:
    [[noreturn]] static void missing() { throw std::logic_error("no dialogs set"); }
    std::string ChooseFolder(const TLumoFolderRequest&) override { missing(); }
    void ShowError(const std::string&) override { missing(); }
    bool Confirm(const std::string&) override { missing(); }
    TrustAnswer AskTrust(const std::string&, const std::string&) override { missing(); }
    void ShowInformation(const std::string&, const std::string&) override { missing(); }
    OverwriteAnswer AskOverwrite(const OverwriteQuestion&) override { missing(); }
    void ShowApplicationError(const std::string&) override { missing(); }
    std::vector<std::string> OpenFiles(const OpenFilesRequest&) override { missing(); }
    std::string SaveFile(const SaveFileRequest&) override { missing(); }
};

class NoShell : public IShell {
public:
    bool OpenDocument(const std::string&) override { return false; }
    void StartProgram(const std::string&, const std::vector<std::string>&) override {}
    void StartCommandLine(const std::string&) override {}
};

NoDialogs noDialogs;
NoShell noShell;
IDialogs* currentDialogs = &noDialogs;
IShell* currentShell = &noShell;

}  // namespace

IDialogs& Dialogs() {
    return *currentDialogs;
}

void SetDialogs(IDialogs* dialogs) {
    currentDialogs = dialogs != nullptr ? dialogs : &noDialogs;
}

IShell& Shell() {
    return *currentShell;
}

void SetShell(IShell* shell) {
    currentShell = shell != nullptr ? shell : &noShell;
}

std::string ApplicationErrorText(const std::string& message) {
    if (!message.empty() && static_cast<unsigned char>(message.back()) <= '.') {
        return message;
    }
    return message + ".";
}

}  // namespace harbrook
