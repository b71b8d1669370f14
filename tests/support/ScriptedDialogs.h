#pragma once

#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "platform/Dialogs.h"

namespace harbrook::testing {

// Dialogs answered by the test: every box and dialog is recorded in order ("error: ...",
// "confirm: ...", "folder: <caption>"...), and answered from the queues below (a
// confirmation without a queued answer says "No", a dialog without one is cancelled).
class ScriptedDialogs : public IDialogs {
public:
    void ShowError(const std::string& message) override;
    bool Confirm(const std::string& message) override;
    TrustAnswer AskTrust(const std::string& title, const std::string& message) override;
    void ShowInformation(const std::string& title, const std::string& message) override;
    OverwriteAnswer AskOverwrite(const OverwriteQuestion& question) override;
    void ShowApplicationError(const std::string& message) override;
    std::vector<std::string> OpenFiles(const OpenFilesRequest& request) override;
    std::string ChooseFolder(const TLumoFolderRequest& request) override;
    std::string SaveFile(const SaveFileRequest& request) override;

    std::vector<std::string> Shown() const;

    std::deque<bool> confirmAnswers;
    // A trust question without a queued answer is cancelled.
    std::deque<TrustAnswer> trustAnswers;
    // An existing target without a queued answer is overwritten, as before the question
    // was asked.
    std::deque<OverwriteAnswer> overwriteAnswers;
    std::vector<OverwriteQuestion> overwriteQuestions;
    std::deque<std::vector<std::string>> openFilesAnswers;
    std::deque<std::string> folderAnswers;
    std::deque<std::string> saveAnswers;
    OpenFilesRequest lastOpenFiles;
    TLumoFolderRequest lastFolder;
    SaveFileRequest lastSave;

private:
    void record(const std::string& line);
    mutable std::mutex m_lock;
    std::vector<std::string> m_shown;
};

// Installs a ScriptedDialogs as the process's dialogs for one scope.
class DialogsScope {
public:
    DialogsScope() { SetDialogs(&dialogs); }
    ~DialogsScope() { SetDialogs(nullptr); }
    ScriptedDialogs dialogs;
};

// A shell that only records what it was asked to open and start.
class RecordingShell : public IShell {
public:
    bool OpenDocument(const std::string& path) override {
        opened.push_back(path);
        return opens;
    }
    // What OpenDocument answers: whether a program took the file.
    bool opens = true;
    void StartProgram(const std::string& program, const std::vector<std::string>& arguments) override {
        started.push_back(program);
        startedArguments.push_back(arguments);
    }
    void StartCommandLine(const std::string& commandLine) override { commandLines.push_back(commandLine); }
    std::vector<std::string> commandLines;
    std::vector<std::string> opened;
    std::vector<std::string> started;
    std::vector<std::vector<std::string>> startedArguments;
};

}  // namespace harbrook::testing
