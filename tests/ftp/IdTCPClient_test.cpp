// Connecting, commands and replies of the TCP client against a scripted server.

#include "ftp/transport/IdSimpleServer.h"
#include "ftp/transport/IdTCPClient.h"

#include <gtest/gtest.h>

#include <chrono>

#include "ftp/IdException.h"
#include "tests/support/NetworkHelpers.h"
#include "tests/support/ScriptedFtpServer.h"

namespace {

using harbrook::testing::FtpScript;
using harbrook::testing::SaturatedListener;
using harbrook::testing::ScriptedFtpServer;
using harbrook::testing::unusedLoopbackPort;
using Clock = std::chrono::steady_clock;
using Lines = std::vector<std::string>;

void prepare(TIdTCPClient& client, std::uint16_t port, int readTimeout = 3000) {
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    client.SetReadTimeout(readTimeout);
}

// Message of the EIdException that `action` throws; fails when it throws none.
template <typename Action>
std::string errorOf(Action action) {
    try {
        action();
    } catch (const EIdException& error) {
        return error.what();
    }
    ADD_FAILURE() << "no error raised";
    return {};
}

TEST(IdTCPClient, SendsCommandsAndReadsRepliesExactly) {
    ScriptedFtpServer server(FtpScript()
                                 .reply("220-Welcome")
                                 .reply("second line")
                                 .reply("220 ready")
                                 .on("HELP", "214-The following commands")
                                 .reply("   USER PASS")
                                 .reply("214 Done.")
                                 .on("NOOP", "200 OK"));
    TIdTCPClient client;
    prepare(client, server.port());
    client.Connect();

    EXPECT_EQ(client.ReadReply({220}), 220);
    EXPECT_EQ(client.LastCmdResult().Text(), (Lines{"Welcome", "second line", "ready"}));
    EXPECT_EQ(client.SendCommand("HELP", {214}), 214);
    EXPECT_EQ(client.LastCmdResult().Text(), (Lines{"The following commands", "USER PASS", "Done."}));
    EXPECT_EQ(client.SendCommand("NOOP", 200), 200);
    client.Disconnect();

    ASSERT_TRUE(server.waitUntilFinished());
    EXPECT_EQ(server.received(), (Lines{"HELP", "NOOP"}));
    EXPECT_TRUE(server.failures().empty());
}

TEST(IdTCPClient, ReplyShapes) {
    struct Row {
        const char* label;
        FtpScript script;
        int code;
        Lines text;
    };
    const Row rows[] = {
        {"a bare code ends a reply", FtpScript().send("226\r\n"), 226, {""}},
        {"blank lines before a reply are skipped",
         FtpScript().send("\r\n\r\n   \r\n250 done\r\n"), 250, {"done"}},
        {"LF endings", FtpScript().send("211-a\nb\n211 c\n"), 211, {"a", "b", "c"}},
        {"split across writes",
         FtpScript().sendInPieces({"21", "1-Fea", "tures:\r\n MD", "TM\r\n211 E", "nd\r\n"}), 211,
         {"Features:", "MDTM", "End"}},
        {"byte by byte", FtpScript().sendByteByByte("230 in\r\n"), 230, {"in"}},
        {"blank lines inside a reply are skipped", FtpScript().send("211-a\r\n\r\n211 b\r\n"), 211,
         {"a", "b"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedFtpServer server(row.script);
        TIdTCPClient client;
        prepare(client, server.port());
        client.Connect();
        EXPECT_EQ(client.ReadReply(), row.code);
        EXPECT_EQ(client.LastCmdResult().Text(), row.text);
    }
}

TEST(IdTCPClient, RefusedCodeRaisesWithTheServersText) {
    ScriptedFtpServer server(FtpScript().on("DELE x", "550 No such file"));
    TIdTCPClient client;
    prepare(client, server.port());
    client.Connect();
    try {
        client.SendCommand("DELE x", {250});
        FAIL() << "accepted";
    } catch (const EIdReplyRFCError& error) {
        EXPECT_EQ(error.ErrorCode(), 550);
        EXPECT_STREQ(error.what(), "No such file\r\n");
    }
    EXPECT_EQ(client.LastCmdResult().NumericCode(), 550);
}

TEST(IdTCPClient, HostileReplies) {
    struct Row {
        const char* label;
        FtpScript script;
        std::string message;
    };
    std::string manyLines = "211-start\r\n";
    for (int i = 0; i < 100001; ++i) {
        manyLines += "x\r\n";
    }
    const Row rows[] = {
        {"garbage before the code", FtpScript().send("hello world\r\n220 ok\r\n"),
         "Reply Code is not valid: hell"},
        {"code below 100", FtpScript().send("099 nope\r\n"), "Reply Code is not valid: 099"},
        {"single digit", FtpScript().send("7\r\n"), "Reply Code is not valid: 7"},
        {"negative code", FtpScript().send("-12 x\r\n"), "Reply Code is not valid: -12"},
        {"close mid-reply", FtpScript().send("220-first\r\nsecond\r\n").close(),
         "Connection Closed Gracefully."},
        {"close mid-line", FtpScript().send("220 no end").close(),
         "Connection Closed Gracefully."},
        {"endless line", FtpScript().sendForever("220-aaaaaaaaaaaaaaaa"),
         "Max line length exceeded."},
        {"never answering", FtpScript().hang(), "Read timed out."},
        {"reply that never ends", FtpScript().sendForever("220-more\r\n"),
         EIdReplyTooLong().what()},
        {"endless empty lines", FtpScript().sendForever(std::string(4096, '\n')),
         EIdReplyTooLong().what()},
        {"more than 100000 lines", FtpScript().send(manyLines).hang(), EIdReplyTooLong().what()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedFtpServer server(row.script);
        TIdTCPClient client;
        prepare(client, server.port(), 300);
        client.Connect();
        const auto start = Clock::now();
        EXPECT_EQ(errorOf([&] { client.ReadReply(); }), row.message);
        // Bounded, not timed: a hang would run into the ten seconds.
        EXPECT_LT(Clock::now() - start, std::chrono::seconds(10));
    }
}

// The client's local port range follows the listener's rules and errors.
TEST(IdTCPClient, LocalPortRangeRules) {
    TIdSimpleServer occupied;
    occupied.SetBoundIP("127.0.0.1");
    occupied.BeginListen();
    const int busy = occupied.ListenPort();
    const struct {
        int low;
        int high;
        int fixed;
        std::string message;
    } rows[] = {
        {2000, 1000, 0, "Invalid Port Range (2000 - 1000)"},
        {busy, busy, 0, "Can not bind in port range (" + std::to_string(busy) + " - " + std::to_string(busy) + ")"},
        {0, 0, busy, "Could not bind socket. Address and port are already in use."},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.message);
        TIdTCPClient client;
        client.SetHost("127.0.0.1");
        client.SetPort(static_cast<std::uint16_t>(busy));
        client.SetBoundIP("127.0.0.1");
        client.SetBoundPortMin(static_cast<std::uint16_t>(row.low));
        client.SetBoundPortMax(static_cast<std::uint16_t>(row.high));
        client.SetBoundPort(static_cast<std::uint16_t>(row.fixed));
        try {
            client.Connect();
            FAIL() << "bound and connected";
        } catch (const EIdException& error) {
            EXPECT_EQ(std::string(error.what()), row.message);
        }
    }
}

TEST(IdTCPClient, ResetByPeerIsASocketError) {
    ScriptedFtpServer server(FtpScript().pause(50).reset());
    TIdTCPClient client;
    prepare(client, server.port());
    client.Connect();
    const std::string message = errorOf([&] { client.ReadReply(); });
    EXPECT_TRUE(message == "Socket Error # 104\r\nConnection reset by peer." ||
                message == "Connection Closed Gracefully.")
        << message;
}

TEST(IdTCPClient, CommandsWithLineBreaksAreNeverSent) {
    ScriptedFtpServer server(FtpScript().on("NOOP", "200 OK"));
    TIdTCPClient client;
    prepare(client, server.port());
    client.Connect();
    for (const std::string& bad :
         {std::string("DELE a\r\nRMD /"), std::string("DELE a\nb"), std::string("DELE a\rb"),
          std::string("DELE a\0b", 8)}) {
        EXPECT_THROW(client.SendCommand(bad), EIdCommandLineInvalid);
    }
    client.SendCommand("NOOP", 200);
    client.Disconnect();
    ASSERT_TRUE(server.waitUntilFinished());
    EXPECT_EQ(server.received(), (Lines{"NOOP"}));
}

TEST(IdTCPClient, ConnectPreconditions) {
    ScriptedFtpServer server(FtpScript().hang());
    TIdTCPClient client;
    EXPECT_THROW(client.Connect(), EIdHostRequired);
    client.SetHost("127.0.0.1");
    EXPECT_THROW(client.Connect(), EIdPortRequired);
    client.SetPort(server.port());
    client.Connect();
    EXPECT_EQ(errorOf([&] { client.Connect(); }), "Already connected.");
    EXPECT_TRUE(client.Connected());
}

TEST(IdTCPClient, ConnectToAClosedPortIsRefused) {
    TIdTCPClient client;
    prepare(client, unusedLoopbackPort());
    EXPECT_EQ(errorOf([&] { client.Connect(); }),
              "Socket Error # 111\r\nConnection refused.");
    EXPECT_FALSE(client.Connected());
    EXPECT_EQ(client.IOHandler(), nullptr) << "the handler it made is released again";
}

TEST(IdTCPClient, ConnectTimesOutOnAHostThatNeverAnswers) {
    SaturatedListener blackHole;
    TIdTCPClient client;
    prepare(client, blackHole.port());
    client.SetConnectTimeout(300);
    const auto start = Clock::now();
    EXPECT_EQ(errorOf([&] { client.Connect(); }), "Connect timed out.");
    const auto elapsed = Clock::now() - start;
    EXPECT_GE(elapsed, std::chrono::milliseconds(280));
    EXPECT_LT(elapsed, std::chrono::seconds(2));
    EXPECT_FALSE(client.Connected());
}

TEST(IdTCPClient, StatusEventsAcrossALife) {
    ScriptedFtpServer server(FtpScript().hang());
    TIdTCPClient client;
    prepare(client, server.port());
    Lines events;
    client.OnStatus = [&](TIdStatus, const std::string& text) { events.push_back(text); };
    client.OnConnected = [&] { events.push_back("OnConnected"); };
    client.OnDisconnected = [&] { events.push_back("OnDisconnected"); };
    client.Connect();
    client.Disconnect();
    client.Disconnect();
    EXPECT_EQ(events, (Lines{"Resolving hostname 127.0.0.1.", "Connecting to 127.0.0.1.",
                             "Connected.", "OnConnected", "Disconnecting.", "OnDisconnected",
                             "Disconnected."}));
    EXPECT_FALSE(client.Connected());
}

TEST(IdTCPClient, ReconnectsAfterDisconnect) {
    ScriptedFtpServer server(FtpScript().reply("220 hi"));
    TIdTCPClient client;
    prepare(client, server.port());
    for (int round = 0; round < 2; ++round) {
        client.Connect();
        EXPECT_EQ(client.ReadReply({220}), 220);
        client.Disconnect();
    }
    EXPECT_TRUE(server.waitUntilFinished(5000, 2));
}

TEST(IdTCPClient, AConnectedHandlerCannotBeSwapped) {
    ScriptedFtpServer server(FtpScript().hang());
    TIdTCPClient client;
    prepare(client, server.port());
    client.Connect();
    EXPECT_EQ(errorOf([&] { client.SetIOHandler(nullptr); }),
              "Cannot change a connected IOHandler.");
}

TEST(IdTCPClient, CommandsNeedAHandler) {
    TIdTCPClient client;
    EXPECT_EQ(errorOf([&] { client.SendCommand("NOOP"); }), "Not Connected");
    EXPECT_EQ(errorOf([&] { client.ReadReply(); }), "Not Connected");
    EXPECT_FALSE(client.Connected());
}

}  // namespace
