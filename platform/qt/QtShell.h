#pragma once

#include "platform/Dialogs.h"

namespace harbrook {

// The desktop's "open" for documents (QDesktopServices) and detached program starts
// (QProcess); failures are silent.
class QtShell : public IShell {
public:
    bool OpenDocument(const std::string& path) override;
    void StartProgram(const std::string& program, const std::vector<std::string>& arguments) override;
    void StartCommandLine(const std::string& commandLine) override;
};

}  // namespace harbrook
