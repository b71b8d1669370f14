#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The questions the main window asks before it does something that cannot be undone,
// worded here so that they are tested without a window.

// "Are you sure to remove folder(s)" (or "files(s)", as it has always read), then the
// names, at most kDeleteQuestionNames of them and each cut to a readable length, then
// "… and N more" for the rest. For folders a last line says that everything inside
// them goes too. (20,000 names made a box taller than any screen.)
constexpr std::size_t kDeleteQuestionNames = 15;
std::string DeleteQuestion(const std::vector<std::string>& names, bool folders);

// "N transfers are running or waiting. Quit anyway?"; empty when none are (then the
// window closes without asking).
std::string QuitQuestion(std::size_t queuedEntries);
