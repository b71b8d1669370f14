#include "tools/harbrook-cli/CliOptions.h"

#include <filesystem>

#include "tests/support/TempDir.h"
#include "tools/harbrook-cli/CliCredentials.h"
#include "tools/harbrook-cli/CliMessages.h"
#include "tools/harbrook-cli/CliSession.h"

#include <gtest/gtest.h>

namespace harbrook::cli {
namespace {

using Args = std::vector<std::string>;

TEST(CliOptions, ParsesOptionsHostAndCommands) {
    std::string error;
    const auto options = parseCliOptions(
        {"--port", "2121", "--user", "u", "--pass", "p", "--tls", "--active", "--epsv", "--timeout", "3",
         "ftp.example", "mkdir x", "cd x", "pwd"},
        error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->port, 2121);
    EXPECT_EQ(options->user, "u");
    EXPECT_EQ(options->transferTimeoutMs, 3000) << "--timeout bounds stalled data connections too";
    EXPECT_EQ(options->password, "p");
    EXPECT_TRUE(options->tls);
    EXPECT_TRUE(options->active);
    EXPECT_TRUE(options->extendedDataPort);
    EXPECT_EQ(options->readTimeoutMs, 3000);
    EXPECT_EQ(options->host, "ftp.example");
    EXPECT_EQ(options->commands, (Args{"mkdir x", "cd x", "pwd"}));
}

// An address as HOST fills what no option gives; ftps:// and --implicit-tls mean TLS
// from the first byte on port 990 unless a port is given.
TEST(CliOptions, AnAddressAsHost) {
    std::string error;
    auto options = parseCliOptions({"ftp://me:p%40ss@[::1]:2121/pub%20lic", "pwd"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->host, "::1");
    EXPECT_EQ(options->port, 2121);
    EXPECT_EQ(options->user, "me");
    EXPECT_EQ(options->password, "p@ss");
    EXPECT_EQ(options->startFolder, "pub lic");
    EXPECT_FALSE(options->implicitTls);

    options = parseCliOptions({"--user", "other", "--port", "21", "ftps://me@host/", "pwd"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->user, "other") << "an option wins";
    EXPECT_EQ(options->port, 21);
    EXPECT_FALSE(options->password);
    EXPECT_TRUE(options->implicitTls);

    options = parseCliOptions({"ftps://host", "pwd"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->port, 990);
    options = parseCliOptions({"--implicit-tls", "host", "pwd"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->port, 990);
    EXPECT_TRUE(options->implicitTls);

    for (const auto& [args, why] : {std::pair<Args, const char*>{{"ftp://host:0/", "pwd"}, "not a number from 1"},
                                    {{"ftp://host/a%0Ab", "pwd"}, "control character"},
                                    {{"--tls", "ftps://host", "pwd"}, "choose one"}}) {
        EXPECT_FALSE(parseCliOptions(args, error));
        EXPECT_NE(error.find(why), std::string::npos) << error;
    }
}

TEST(CliOptions, Defaults) {
    std::string error;
    const auto options = parseCliOptions({"localhost", "pwd"}, error);
    ASSERT_TRUE(options);
    EXPECT_EQ(options->port, 21);
    EXPECT_FALSE(options->user);
    EXPECT_FALSE(options->password);
    EXPECT_EQ(options->readTimeoutMs, 10000);
    EXPECT_EQ(options->transferTimeoutMs, 30000);
}

TEST(CliOptions, Mistakes) {
    const std::pair<Args, std::string> rows[] = {
        {{}, "no host given"},
        {{"--port"}, "--port needs a value"},
        {{"--port", "0", "h"}, "--port needs a number: a port is a number from 1 to 65535"},
        {{"--port", "70000", "h"}, "--port needs a number: a port is a number from 1 to 65535"},
        {{"--port", "21x", "h"}, "--port needs a number: a port is a number from 1 to 65535"},
        {{"--timeout", "-1", "h"}, "--timeout needs a number of seconds from 1 to 86400"},
        {{"--bogus", "h"}, "unknown option --bogus"},
        {{"h"}, "no command given"},
        {{"h", "pwd", "--tls"}, "option --tls after HOST: options come before the host"},
        // A mistake in the third command stops the first two from running.
        {{"h", "mkdir a", "cd a", "frobnicate x"}, "unknown command 'frobnicate'"},
        {{"h", "pwd", "get onlyone"}, "'get onlyone': use get [-c|-n] REMOTE LOCAL or get -r REMOTEFOLDER LOCALDIR"},
        {{"h", "put -r a b"}, "'put -r a b': use put [-c|-n] LOCAL REMOTE or put -r LOCALDIR"},
        {{"h", "get -c a"}, "'get -c a': use get [-c|-n] REMOTE LOCAL or get -r REMOTEFOLDER LOCALDIR"},
        {{"h", "put -c -n a b"}, "'put -c -n a b': use put [-c|-n] LOCAL REMOTE or put -r LOCALDIR"},
        {{"h", "mv -c a b"}, "'mv -c a b': use mv OLD NEW"},
        {{"h", "cd"}, "'cd': use cd PATH"},
        {{"h", "pwd x"}, "'pwd x': use pwd"},
        {{"h", "mkdir \"open"}, "unclosed quote in 'mkdir \"open'"},
        {{"h", "mkdir x\\"}, "a backslash ends the command 'mkdir x\\'"},
        {{"h", "  "}, "empty command"},
        {{"-P", "0", "h", "pwd"}, "-P needs a number of files at once from 1 to 10"},
        {{"--parallel", "11", "h", "pwd"}, "--parallel needs a number of files at once from 1 to 10"},
        {{"-P", "abc", "h", "pwd"}, "-P needs a number of files at once from 1 to 10"},
        {{"--limit-rate", "10x", "h", "pwd"}, "--limit-rate needs bytes per second, as 500k, 10M or 2048 (0: no limit)"},
        {{"--limit-rate", "-5", "h", "pwd"}, "--limit-rate needs bytes per second, as 500k, 10M or 2048 (0: no limit)"},
    };
    for (const auto& [args, message] : rows) {
        SCOPED_TRACE(message);
        std::string error;
        EXPECT_FALSE(parseCliOptions(args, error));
        EXPECT_EQ(error, message);
    }
}

TEST(CliOptions, CommandWordsSplitAsAShellDoes) {
    const std::pair<std::string, Args> rows[] = {
        {"mv a b", {"mv", "a", "b"}},
        {"mv  \"a b\"  c", {"mv", "a b", "c"}},
        {"mv \"\" c", {"mv", "", "c"}},
        {"", {}},
        {"  mkdir\tx  ", {"mkdir", "x"}},
        {"mkdir 'q dir'", {"mkdir", "q dir"}},
        {"mkdir \"it's\"", {"mkdir", "it's"}},
        {"mkdir 'say \"hi\"'", {"mkdir", "say \"hi\""}},
        {"mkdir a\\ b", {"mkdir", "a b"}},
        {"mkdir \"a\\\"b\\\\c\\d\"", {"mkdir", "a\"b\\c\\d"}},
        {"mkdir 'a\\b'", {"mkdir", "a\\b"}},
        {"mkdir pre\"fix mid\"dle", {"mkdir", "prefix middle"}},
        {"cd caf\xc3\xa9", {"cd", "caf\xc3\xa9"}},
    };
    for (const auto& [command, words] : rows) {
        SCOPED_TRACE(command);
        std::string error;
        EXPECT_EQ(splitCommandWords(command, error), words) << error;
    }
}

TEST(CliOptions, EveryCommandTakesNamesTheSameWay) {
    const struct {
        std::string command;
        std::string verb;
        bool recursive;
        bool raw;
        Args names;
    } rows[] = {
        {"mkdir \"q dir\"", "mkdir", false, false, {"q dir"}},
        {"cd 'a b'", "cd", false, false, {"a b"}},
        {"rm -r \"old tree\"", "rm", true, false, {"old tree"}},
        {"rm -- -r", "rm", false, false, {"-r"}},
        {"size \"x y\"", "size", false, false, {"x y"}},
        {"ls", "ls", false, false, {}},
        {"ls --raw", "ls", false, true, {}},
        {"ls --raw 'a b'", "ls", false, true, {"a b"}},
        {"ls -dashdir", "ls", false, false, {"-dashdir"}},
        {"get -r pub 'local dir'", "get", true, false, {"pub", "local dir"}},
        {"put -r tree", "put", true, false, {"tree"}},
        {"append a \"b c\"", "append", false, false, {"a", "b c"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.command);
        std::string error;
        const auto parsed = parseCliCommand(row.command, error);
        ASSERT_TRUE(parsed) << error;
        EXPECT_EQ(parsed->verb, row.verb);
        EXPECT_EQ(parsed->recursive, row.recursive);
        EXPECT_EQ(parsed->raw, row.raw);
        EXPECT_EQ(parsed->names, row.names);
    }
}

TEST(CliCredentials, NetrcEntries) {
    const std::string netrc =
        "machine other.example login bob password bobpw\n"
        "macdef init\n"
        "machine ftp.example login eve password evil\n"
        "\n"
        "machine ftp.example\n  login alice\n  password 'alicepw'\n"
        "machine ftp.example login carol password carolpw\n"
        "default login anonymous password me@home\n";
    const struct {
        std::string host;
        std::optional<std::string> login;
        std::optional<std::pair<std::string, std::string>> expected;
    } rows[] = {
        {"ftp.example", std::nullopt, std::make_pair("alice", "'alicepw'")},
        {"ftp.example", "carol", std::make_pair("carol", "carolpw")},
        {"other.example", std::nullopt, std::make_pair("bob", "bobpw")},
        {"unknown.example", std::nullopt, std::make_pair("anonymous", "me@home")},
        {"ftp.example", "dave", std::nullopt},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.host + " " + row.login.value_or("-"));
        const auto entry = findNetrcEntry(netrc, row.host, row.login);
        ASSERT_EQ(entry.has_value(), row.expected.has_value());
        if (entry) {
            EXPECT_EQ(entry->login, row.expected->first);
            EXPECT_EQ(entry->password, row.expected->second);
        }
    }
    EXPECT_FALSE(findNetrcEntry("", "h", std::nullopt));
    EXPECT_FALSE(findNetrcEntry("machine", "h", std::nullopt));
    // An entry that names no login serves whatever account is given.
    const auto loginless = findNetrcEntry("machine h password p\n", "h", std::string("U"));
    ASSERT_TRUE(loginless.has_value());
    EXPECT_EQ(loginless->password, "p");
    CliOptions given;
    given.host = "h";
    given.user = "U";
    harbrook::testing::TempDir home;
    harbrook::testing::writeFile(home.file("netrc"), "machine h password p\n");
    const Credentials found = resolveCredentials(given, nullptr, home.file("netrc"));
    EXPECT_EQ(found.user, "U");
    EXPECT_EQ(found.password, "p");
}

TEST(CliCredentials, FirstSourceWins) {
    harbrook::testing::TempDir home;
    harbrook::testing::writeFile(home.file("netrc"), "machine h login nina password fromnetrc\n");
    auto options = [](std::optional<std::string> user, std::optional<std::string> password) {
        CliOptions result;
        result.host = "h";
        result.user = std::move(user);
        result.password = std::move(password);
        return result;
    };
    const struct {
        CliOptions options;
        const char* environment;
        std::string user;
        std::string password;
    } rows[] = {
        {options("u", "given"), "fromenv", "u", "given"},
        {options("u", std::nullopt), "fromenv", "u", "fromenv"},
        {options(std::nullopt, std::nullopt), nullptr, "nina", "fromnetrc"},
        {options("nina", std::nullopt), nullptr, "nina", "fromnetrc"},
        {options("someone", std::nullopt), nullptr, "someone", ""},
        {options("anonymous", std::nullopt), nullptr, "anonymous", "harbrook@"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.user + " " + row.password);
        const Credentials found = resolveCredentials(row.options, row.environment, home.file("netrc"));
        EXPECT_EQ(found.user, row.user);
        EXPECT_EQ(found.password, row.password);
    }
    const Credentials none = resolveCredentials(options(std::nullopt, std::nullopt), nullptr,
                                                home.file("missing"));
    EXPECT_EQ(none.user, "anonymous");
    EXPECT_EQ(none.password, "harbrook@");
}

TEST(CliMessages, TerminalTextIsEscaped) {
    const std::pair<std::string, std::string> rows[] = {
        {"550 No such file.\r\n", "550 No such file."},
        {"line one\r\nline two\r\n", "line one\nline two"},
        {"Failed to create directory\r/home/x", "Failed to create directory: /home/x"},
        {std::string("bell\a esc\x1b[2J nul") + '\0' + "!", "bell\\x07 esc\\x1B[2J nul\\x00!"},
        {"del\x7f", "del\\x7F"},
        {"caf\xc3\xa9 \xe6\x97\xa5", "caf\xc3\xa9 \xe6\x97\xa5"},
        {"latin \xe9t\xe9", "latin \\xE9t\\xE9"},
        {"cut \xe6\x97", "cut \\xE6\\x97"},
        {"overlong \xc0\xaf surrogate \xed\xa0\x80", "overlong \\xC0\\xAF surrogate \\xED\\xA0\\x80"},
        {"tab\tkept", "tab\tkept"},
    };
    for (const auto& [raw, shown] : rows) {
        SCOPED_TRACE(shown);
        EXPECT_EQ(forTerminal(raw), shown);
    }
}

TEST(CliMessages, FileSystemErrorsTakeTheProgramsForm) {
    namespace fs = std::filesystem;
    try {
        fs::rename("/nonexistent-harbrook/a", "/nonexistent-harbrook/b");
        FAIL() << "rename of a missing file worked";
    } catch (const fs::filesystem_error& failure) {
        EXPECT_EQ(messageOf(failure),
                  "Cannot rename \"/nonexistent-harbrook/a\" to \"/nonexistent-harbrook/b\". "
                  "No such file or directory");
    }
    EXPECT_EQ(messageOf(std::runtime_error("Transfers are disabled")), "Transfers are disabled");
}

}  // namespace
}  // namespace harbrook::cli
