#include "engine/WindowQuestions.h"

#include "platform/MessageText.h"

namespace {

// A name longer than this makes the box wider than a screen.
constexpr std::size_t kShownNameLength = 80;

}  // namespace

std::string DeleteQuestion(const std::vector<std::string>& names, bool folders) {
    std::string question = folders ? "Are you sure to remove folder(s)\r\r" : "Are you sure to remove files(s)\r\r";
    const std::size_t shown = std::min(names.size(), kDeleteQuestionNames);
    for (std::size_t i = 0; i < shown; ++i) {
        question += harbrook::ShortenedForMessage(names[i], kShownNameLength) + "\n";
    }
    if (names.size() > shown) {
        question += "\xE2\x80\xA6 and " + std::to_string(names.size() - shown) + " more\n";
    }
    if (folders) {
        question += "\rEverything inside these folders is removed as well.\n";
    }
    return question;
}

std::string QuitQuestion(std::size_t queuedEntries) {
    if (queuedEntries == 0) {
        return {};
    }
    if (queuedEntries == 1) {
        return "1 transfer is running or waiting. Quit anyway?";
    }
    return std::to_string(queuedEntries) + " transfers are running or waiting. Quit anyway?";
}
