#include "platform/Dialogs.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace {

TEST(Dialogs, ApplicationErrorTextEndsInAFullStopOnce) {
    const std::pair<std::string, std::string> rows[] = {
        {"Connection refused", "Connection refused."},
        {"Transfers are disabled.", "Transfers are disabled."},
        {"550 No such file\r\n", "550 No such file\r\n"},
        {"Read timed out,", "Read timed out,"},
        {"ends in a dash -", "ends in a dash -"},
        {"ends in a slash /", "ends in a slash /."},
        {"question?", "question?."},
        {"", "."},
    };
    for (const auto& [message, shown] : rows) {
        SCOPED_TRACE(message);
        EXPECT_EQ(harbrook::ApplicationErrorText(message), shown);
    }
}

TEST(Dialogs, NoneBeforeTheGuiExists) {
    EXPECT_THROW(harbrook::Dialogs().ShowError("x"), std::logic_error);
    harbrook::Shell().OpenDocument("/nothing");  // silent, as shell failures are
}

}  // namespace
