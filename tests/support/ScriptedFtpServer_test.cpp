#include "tests/support/ScriptedFtpServer.h"

#include <gtest/gtest.h>

#include "ftp/transport/IdTCPClient.h"

namespace harbrook::testing {
namespace {

TEST(ScriptedFtpServer, ReportsWhatWentAgainstTheScript) {
    ScriptedFtpServer server(FtpScript().reply("220 hi").on("USER a", "331 pw").expectPrefix("PASS "));
    TIdTCPClient client;
    client.SetHost(server.host());
    client.SetPort(server.port());
    client.SetReadTimeout(2000);
    client.Connect();
    client.ReadReply({220});
    client.IOHandler()->WriteLine("USER b");
    client.Disconnect();
    ASSERT_TRUE(server.waitUntilFinished());
    EXPECT_EQ(server.received(), std::vector<std::string>{"USER b"});
    ASSERT_EQ(server.failures().size(), 1u);
    EXPECT_EQ(server.failures()[0], "connection 0: expected \"USER a\", got \"USER b\"");
}

TEST(ScriptedFtpServer, EachConnectionPlaysItsOwnScript) {
    ScriptedFtpServer server({FtpScript().reply("220 first"), FtpScript().reply("220 second")});
    for (const char* expected : {"first", "second", "second"}) {
        TIdTCPClient client;
        client.SetHost(server.host());
        client.SetPort(server.port());
        client.SetReadTimeout(2000);
        client.Connect();
        client.ReadReply({220});
        EXPECT_EQ(client.LastCmdResult().Text().front(), expected);
        client.Disconnect();
    }
    EXPECT_TRUE(server.waitUntilFinished(5000, 3));
}

}  // namespace
}  // namespace harbrook::testing
