#include "engine/OverwriteDecisions.h"

#include "engine/FileSizeText.h"
#include "engine/FileTransfers.h"
#include "platform/MessageText.h"

std::string NumberedName(const std::string& name, int number) {
    const std::size_t dot = name.rfind('.');
    const std::string suffix = " (" + std::to_string(number) + ")";
    if (dot == std::string::npos || dot == 0) {
        return name + suffix;
    }
    return name.substr(0, dot) + suffix + name.substr(dot);
}

std::string FreeName(const std::string& name, const std::function<bool(const std::string& name)>& taken) {
    for (int number = 1; number < 10000; ++number) {
        std::string candidate = NumberedName(name, number);
        if (!taken(candidate)) {
            return candidate;
        }
    }
    throw harbrook::EToolError("No free name for \"" + harbrook::ShortenedForMessage(name) + "\"");
}

std::string OverwriteMessage(bool download, const std::string& target, std::int64_t existingSize,
                             std::int64_t newSize) {
    std::string text = std::string(download ? "The local file \"" : "The remote file \"") +
                       harbrook::ShortenedForMessage(target) + "\" already exists";
    if (existingSize >= 0) {
        text += " (" + harbrook::FormatFileSize(existingSize) + ")";
    }
    text += ".";
    if (newSize >= 0) {
        text += std::string(download ? "\nThe remote file has " : "\nThe local file has ") +
                harbrook::FormatFileSize(newSize) + ".";
    }
    return text;
}

harbrook::OverwriteChoice TOverwriteDecider::Decide(const harbrook::OverwriteQuestion& question) {
    using harbrook::OverwriteChoice;
    if (m_forTheRest && (*m_forTheRest != OverwriteChoice::Resume || question.CanResume)) {
        return *m_forTheRest;
    }
    const harbrook::OverwriteAnswer answer = m_ask(question);
    // Only a box without the button could answer so; the safe reading is to leave it.
    const OverwriteChoice choice =
        answer.Choice == OverwriteChoice::Resume && !question.CanResume ? OverwriteChoice::Skip : answer.Choice;
    if (answer.ForTheRest) {
        m_forTheRest = choice;
    }
    return choice;
}
