#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/Dialogs.h"

// "NAME (n).EXT": the number goes before the last extension ("a.tar (1).gz"); a name
// whose only dot leads it (".profile") has none ("\.profile (1)").
std::string NumberedName(const std::string& name, int number);
// The first numbered name (1, 2, ...) that `taken` refuses; throws EToolError after
// 9999 taken ones.
std::string FreeName(const std::string& name, const std::function<bool(const std::string& name)>& taken);

// The question's text: which file exists, with its size and the size of what would
// replace it (a size below 0 is left out).
std::string OverwriteMessage(bool download, const std::string& target, std::int64_t existingSize,
                             std::int64_t newSize);

// One queue run's answers: the user is asked about every existing target until an
// answer is given for the rest of the queue, which then stands (a remembered "Resume"
// for a target that cannot be resumed asks again).
class TOverwriteDecider {
public:
    using Ask = std::function<harbrook::OverwriteAnswer(const harbrook::OverwriteQuestion& question)>;
    explicit TOverwriteDecider(Ask ask) : m_ask(std::move(ask)) {}
    harbrook::OverwriteChoice Decide(const harbrook::OverwriteQuestion& question);

private:
    Ask m_ask;
    std::optional<harbrook::OverwriteChoice> m_forTheRest;
};
