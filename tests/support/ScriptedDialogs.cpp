#include "tests/support/ScriptedDialogs.h"

namespace harbrook::testing {

namespace {

template <typename Answer>
Answer takeOr(std::deque<Answer>& answers, Answer otherwise) {
    if (answers.empty()) {
        return otherwise;
    }
    Answer answer = std::move(answers.front());
    answers.pop_front();
    return answer;
}

}  // namespace

void ScriptedDialogs::record(const std::string& line) {
    std::lock_guard lock(m_lock);
    m_shown.push_back(line);
}

std::vector<std::string> ScriptedDialogs::Shown() const {
    std::lock_guard lock(m_lock);
    return m_shown;
}

void ScriptedDialogs::ShowError(const std::string& message) {
    record("error: " + message);
}

bool ScriptedDialogs::Confirm(const std::string& message) {
    record("confirm: " + message);
    return takeOr(confirmAnswers, false);
}

IDialogs::TrustAnswer ScriptedDialogs::AskTrust(const std::string& title, const std::string& message) {
    record("trust: " + title + ": " + message);
    return takeOr(trustAnswers, TrustAnswer::Cancel);
}

void ScriptedDialogs::ShowInformation(const std::string& title, const std::string& message) {
    record("information: " + title + ": " + message);
}

OverwriteAnswer ScriptedDialogs::AskOverwrite(const OverwriteQuestion& question) {
    record("overwrite: " + question.Message);
    {
        std::lock_guard lock(m_lock);
        overwriteQuestions.push_back(question);
    }
    return takeOr(overwriteAnswers, OverwriteAnswer{OverwriteChoice::Overwrite, false});
}

void ScriptedDialogs::ShowApplicationError(const std::string& message) {
    record("application error: " + message);
}

std::vector<std::string> ScriptedDialogs::OpenFiles(const OpenFilesRequest& request) {
    record("open files: " + request.Title);
    lastOpenFiles = request;
    return takeOr(openFilesAnswers, std::vector<std::string>{});
}

std::string ScriptedDialogs::ChooseFolder(const TLumoFolderRequest& request) {
    record("folder: " + request.Caption);
    lastFolder = request;
    return takeOr(folderAnswers, std::string());
}

std::string ScriptedDialogs::SaveFile(const SaveFileRequest& request) {
    record("save: " + request.Title);
    lastSave = request;
    return takeOr(saveAnswers, std::string());
}

}  // namespace harbrook::testing
