#include "engine/MessageLog.h"

#include <gtest/gtest.h>

#include "tests/ftp/FtpTestSupport.h"

namespace harbrook::testing {
namespace {

TEST(MessageLog, KeepsTheLastLinesAndNumbersThemOnward) {
    TMessageLog log;
    for (int i = 1; i <= 10050; ++i) {
        log.Append("main", LogLine::Kind::Reply, std::to_string(i));
    }
    std::vector<LogLine> lines = log.Since(0);
    ASSERT_EQ(lines.size(), TMessageLog::kMaxLines);
    EXPECT_EQ(lines.front().number, 51u);
    EXPECT_EQ(lines.front().text, "51");
    EXPECT_EQ(lines.back().number, 10050u);
    lines = log.Since(10040);
    ASSERT_EQ(lines.size(), 10u);
    EXPECT_EQ(lines.front().text, "10041");
    EXPECT_TRUE(log.Since(10050).empty());
    log.Clear();
    EXPECT_TRUE(log.Since(0).empty());
    log.Append("upload", LogLine::Kind::Command, "STOR a");
    ASSERT_EQ(log.Since(10050).size(), 1u) << "a reader that saw 10050 sees the next";
    EXPECT_EQ(log.Since(10050)[0].number, 10051u);
}

// A session's exchange in order: commands marked, the password masked, each line of a
// reply with the kind its code gives (a multi-line reply's lines all of it).
TEST(MessageLog, ASessionsLinesInOrder) {
    FtpScript script = greetAndLogin();
    script.on("FEAT", "211-Features:\r\n SIZE\r\n211 End")
        .on("SYST", "215 UNIX Type: L8")
        .on("TYPE I", "200 Type set to I")
        .on("CWD nowhere", "550-No such folder:\r\n nowhere\r\n550 End");
    ScriptedFtp s(script);
    TMessageLog log;
    AttachMessageLog(s.ftp, "main", log);
    s.ftp.Connect();
    EXPECT_THROW(s.ftp.ChangeDirectory("nowhere"), std::exception);
    std::vector<std::string> seen;
    for (const LogLine& line : log.Since(0)) {
        const std::string text = LogLineText(line);
        EXPECT_EQ(text.substr(2, 1), ":") << "starts with the time";
        seen.push_back(text.substr(9) + (line.kind == LogLine::Kind::Error ? " (error)" : ""));
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"[main] < 220 ready", "[main] > USER u", "[main] < 331 Password please",
                                              "[main] > PASS ****", "[main] < 230 In", "[main] > FEAT",
                                              "[main] < 211-Features:", "[main] < SIZE", "[main] < 211 End",
                                              "[main] > SYST", "[main] < 215 UNIX Type: L8", "[main] > TYPE I",
                                              "[main] < 200 Type set to I", "[main] > CWD nowhere",
                                              "[main] < 550-No such folder: (error)", "[main] < nowhere (error)",
                                              "[main] < 550 End (error)"}));
}

}  // namespace
}  // namespace harbrook::testing
