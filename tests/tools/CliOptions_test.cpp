#include "tools/harbrook-cli/CliOptions.h"

#include <gtest/gtest.h>

namespace harbrook::cli {
namespace {

using Args = std::vector<std::string>;

TEST(CliOptions, ParsesOptionsHostAndCommands) {
    std::string error;
    const auto options = parseCliOptions(
        {"--port", "2121", "--user", "u", "--pass", "p", "--tls", "--active", "--timeout", "3",
         "ftp.example", "mkdir x", "cd x", "pwd"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->port, 2121);
    EXPECT_EQ(options->user, "u");
    EXPECT_EQ(options->password, "p");
    EXPECT_TRUE(options->tls);
    EXPECT_TRUE(options->active);
    EXPECT_EQ(options->readTimeoutMs, 3000);
    EXPECT_EQ(options->host, "ftp.example");
    EXPECT_EQ(options->commands, (Args{"mkdir x", "cd x", "pwd"}));
}

TEST(CliOptions, Defaults) {
    std::string error;
    const auto options = parseCliOptions({"localhost"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->port, 21);
    EXPECT_EQ(options->user, "anonymous");
    EXPECT_FALSE(options->password);
    EXPECT_EQ(options->readTimeoutMs, 10000);
    EXPECT_EQ(options->transferTimeoutMs, 30000);
    EXPECT_TRUE(options->commands.empty());
}

TEST(CliOptions, Mistakes) {
    const std::pair<Args, std::string> rows[] = {
        {{}, "no host given"},
        {{"--port"}, "--port needs a value"},
        {{"--port", "0", "h"}, "--port needs a number from 1 to 65535"},
        {{"--port", "70000", "h"}, "--port needs a number from 1 to 65535"},
        {{"--port", "21x", "h"}, "--port needs a number from 1 to 65535"},
        {{"--timeout", "-1", "h"}, "--timeout needs a number of seconds from 1 to 86400"},
        {{"--bogus", "h"}, "unknown option --bogus"},
    };
    for (const auto& [args, message] : rows) {
        SCOPED_TRACE(message);
        std::string error;
        EXPECT_FALSE(parseCliOptions(args, error));
        EXPECT_EQ(error, message);
    }
}

TEST(CliOptions, CommandWords) {
    EXPECT_EQ(splitCommandWords("mv a b"), (Args{"mv", "a", "b"}));
    EXPECT_EQ(splitCommandWords("mv  \"a b\"  c"), (Args{"mv", "a b", "c"}));
    EXPECT_EQ(splitCommandWords("mv \"\" c"), (Args{"mv", "", "c"}));
    EXPECT_EQ(splitCommandWords(""), Args{});
}

}  // namespace
}  // namespace harbrook::cli
