// The single commands of the FTP client: exact exchanges with a scripted server.

#include <gtest/gtest.h>

#include "ftp/client/IdFTP.h"
#include "ftp/client/IdFTPCommandText.h"
#include "ftp/IdFTPExceptions.h"
#include "tests/ftp/FtpTestSupport.h"

namespace harbrook::testing {
namespace {

TEST(IdFTPCommands, QuotedPathOfPwdReplies) {
    const std::pair<std::string, std::string> rows[] = {
        {"\"/home/user\" is current directory", "/home/user"},
        {"\"/\"", "/"},
        {"/home/user is current directory", ""},
        {"\"/home/unterminated", ""},
        {"\"/with \"\"quote\"\" inside\" is current", "/with \"quote\" inside"},
        {"\"\"", ""},
        {"Current folder is \"/a b\".", "/a b"},
    };
    for (const auto& [line, path] : rows) {
        SCOPED_TRACE(line);
        EXPECT_EQ(quotedPathOf(line), path);
    }
}

TEST(IdFTPCommands, SizeReplyValues) {
    const std::pair<Lines, std::int64_t> rows[] = {
        {{"1048576"}, 1048576},
        {{"0"}, 0},
        {{"8589934592"}, 8589934592LL},
        {{"213 42"}, 42},
        {{"File size: 42"}, -1},
        {{"not a number"}, -1},
        {{""}, -1},
        {{"999999999999999999999999999999"}, -1},
    };
    for (const auto& [text, size] : rows) {
        SCOPED_TRACE(text.front());
        EXPECT_EQ(sizeReplyValue(text), size);
    }
}

TEST(IdFTPCommands, AcceptedReplies) {
    FtpScript script = loggedIn();
    script.on("CWD /pub", "250 ok")
        .on("CWD sub", "200 ok too")
        .on("CDUP", "250 up")
        .on("PWD", "257 \"/pub\" is current directory")
        .on("MKD new", "257 \"/pub/new\" created")
        .on("RMD old", "250 removed")
        .on("DELE f.txt", "250 deleted")
        .on("RNFR a", "350 ready")
        .on("RNTO b", "250 renamed")
        .on("SIZE big.iso", "213 1048576")
        .on("SIZE gone", "550 No such file")
        .on("SIZE odd", "213 lots")
        .on("REST 1", "350 Restarting at 1")
        .on("REST 0", "350 Restarting at 0");
    ScriptedFtp s(script);
    s.ftp.Connect();
    s.ftp.ChangeDirectory("/pub");
    s.ftp.ChangeDirectory("sub");
    s.ftp.ChangeToParent();
    EXPECT_EQ(s.ftp.CurrentDirectory(), "/pub");
    s.ftp.MakeDirectory("new");
    s.ftp.RemoveDirectory("old");
    s.ftp.RemoveFile("f.txt");
    s.ftp.RenameFile("a", "b");
    EXPECT_EQ(s.ftp.FileSize("big.iso"), 1048576);
    EXPECT_EQ(s.ftp.FileSize("gone"), -1);
    EXPECT_EQ(s.ftp.FileSize("odd"), -1);
    EXPECT_TRUE(s.ftp.ResumeSupported());
    EXPECT_TRUE(s.ftp.ResumeSupported());
    const Lines sent = s.transcript();
    EXPECT_EQ(Lines(sent.begin() + 5, sent.end()),
              (Lines{"CWD /pub", "CWD sub", "CDUP", "PWD", "MKD new", "RMD old", "DELE f.txt",
                     "RNFR a", "RNTO b", "SIZE big.iso", "SIZE gone", "SIZE odd", "REST 1",
                     "REST 0", "QUIT"}));
    EXPECT_TRUE(s.server.failures().empty());
}

// The stamp tells later whether a remote file changed under a kept part; it is kept in
// tab-separated queue lines, so a stamp with a control character in it is none.
TEST(IdFTPCommands, ModificationStamps) {
    const std::pair<std::string, std::string> rows[] = {
        {"213 20260101120000", "20260101120000"},
        {"213 20260101120000.123  ", "20260101120000.123"},
        {"213 2026\t0101", ""},
        {"213 2026\r0101", ""},
        {"213 2026\x7f", ""},
        {"213 ", ""},
        {"550 No such file", ""},
    };
    FtpScript script = loggedIn();
    for (const auto& [reply, stamp] : rows) {
        script.expect("MDTM f").send(reply + "\r\n");
    }
    ScriptedFtp s(script);
    s.ftp.Connect();
    for (const auto& [reply, stamp] : rows) {
        SCOPED_TRACE(reply);
        EXPECT_EQ(s.ftp.FileStamp("f"), stamp);
    }
    EXPECT_TRUE(s.server.failures().empty());
}

TEST(IdFTPCommands, RefusedReplies) {
    struct Row {
        const char* label;
        std::string command;
        std::string reply;
        std::function<void(TIdFTP&)> call;
    };
    const Row rows[] = {
        {"CWD 550", "CWD nowhere", "550 No such directory",
         [](TIdFTP& f) { f.ChangeDirectory("nowhere"); }},
        {"CDUP 550", "CDUP", "550 At the top", [](TIdFTP& f) { f.ChangeToParent(); }},
        {"PWD 550", "PWD", "550 Lost", [](TIdFTP& f) { f.CurrentDirectory(); }},
        {"MKD 250 is not 257", "MKD x", "250 made", [](TIdFTP& f) { f.MakeDirectory("x"); }},
        {"RMD 550", "RMD full", "550 Not empty", [](TIdFTP& f) { f.RemoveDirectory("full"); }},
        {"DELE 450", "DELE busy", "450 Busy", [](TIdFTP& f) { f.RemoveFile("busy"); }},
        {"RNFR 550", "RNFR missing", "550 Missing", [](TIdFTP& f) { f.RenameFile("missing", "x"); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        FtpScript script = loggedIn();
        script.on(row.command, row.reply).on("NOOP", "200 still here");
        ScriptedFtp s(script);
        s.ftp.Connect();
        try {
            row.call(s.ftp);
            FAIL() << "accepted";
        } catch (const EIdReplyRFCError& error) {
            EXPECT_EQ(error.ErrorCode(), std::stoi(row.reply.substr(0, 3)));
            EXPECT_EQ(std::string(error.what()), row.reply.substr(4) + "\r\n");
        }
        s.ftp.SendCommand("NOOP", 200);
        const Lines sent = s.transcript();
        EXPECT_EQ(sent[sent.size() - 3], row.command) << "RNTO must not follow a refused RNFR";
    }
}

TEST(IdFTPCommands, RenameRefusedAtRnto) {
    FtpScript script = loggedIn();
    script.on("RNFR a", "350 ok").on("RNTO b", "553 Not allowed");
    ScriptedFtp s(script);
    s.ftp.Connect();
    EXPECT_EQ(errorOf([&] { s.ftp.RenameFile("a", "b"); }), "Not allowed\r\n");
}

TEST(IdFTPCommands, ResumeAnswerIsKeptPerClientAcrossConnects) {
    FtpScript first = loggedIn();
    first.on("REST 1", "502 No").on("REST 0", "502 No");
    ScriptedFtp s({first});
    s.ftp.Connect();
    EXPECT_FALSE(s.ftp.ResumeSupported());
    s.ftp.Disconnect();
    s.ftp.Connect();
    EXPECT_FALSE(s.ftp.ResumeSupported());
    s.ftp.Disconnect();
    ASSERT_TRUE(s.server.waitUntilFinished(5000, 2));
    const Lines second = s.server.received(1);
    EXPECT_EQ(std::count(second.begin(), second.end(), "REST 1"), 0);
}

TEST(IdFTPCommands, NamesWithLineBreaksAreRefusedBeforeSending) {
    FtpScript script = loggedIn();
    script.on("NOOP", "200 ok");
    ScriptedFtp s(script);
    s.ftp.Connect();
    const std::string hostile[] = {"a\r\nDELE important", "a\nb", "a\rb", std::string("a\0b", 3)};
    for (const std::string& name : hostile) {
        EXPECT_THROW(s.ftp.RemoveFile(name), EIdCommandLineInvalid);
        EXPECT_THROW(s.ftp.ChangeDirectory(name), EIdCommandLineInvalid);
        EXPECT_THROW(s.ftp.RenameFile(name, "ok"), EIdCommandLineInvalid);
        EXPECT_THROW(s.ftp.FileSize(name), EIdCommandLineInvalid);
    }
    s.ftp.SendCommand("NOOP", 200);
    const Lines sent = s.transcript();
    EXPECT_EQ(Lines(sent.begin() + 5, sent.end()), (Lines{"NOOP", "QUIT"}));
}

TEST(IdFTPCommands, DroppedConnectionRaisesTheConnectionError) {
    FtpScript script = loggedIn();
    script.expect("PWD").close();
    ScriptedFtp s(script);
    s.ftp.Connect();
    EXPECT_EQ(errorOf([&] { s.ftp.CurrentDirectory(); }), "Connection Closed Gracefully.");
    EXPECT_FALSE(s.ftp.Connected());
    s.ftp.Disconnect();
}

}  // namespace
}  // namespace harbrook::testing
