#include "tests/support/PyFtpdServer.h"

#include <gtest/gtest.h>

#include "ftp/IdException.h"
#include "ftp/transport/IdTCPClient.h"

namespace harbrook::testing {
namespace {

class PyFtpdServerTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
            GTEST_SKIP() << reason;
        }
    }
};

TEST_P(PyFtpdServerTest, GreetsAndAnswersCommands) {
    PyFtpdOptions options;
    options.tls = GetParam();
    PyFtpdServer server(options);

    TIdTCPClient client;
    client.SetHost(server.host());
    client.SetPort(server.port());
    client.SetReadTimeout(5000);
    client.Connect();
    EXPECT_EQ(client.ReadReply({220}), 220);
    EXPECT_EQ(client.LastCmdResult().Text().front(), "Harbrook test server ready.");

    client.SendCommand("FEAT", {211});
    const auto& features = client.LastCmdResult().Text();
    const bool offersTls = std::find(features.begin(), features.end(), "AUTH TLS") != features.end();
    EXPECT_EQ(offersTls, GetParam());

    client.SendCommand("USER " + server.user(), {331});
    client.SendCommand("PASS " + server.password(), {230});
    client.SendCommand("QUIT", {221});
    client.Disconnect();
}

INSTANTIATE_TEST_SUITE_P(PlainAndTls, PyFtpdServerTest, ::testing::Bool(),
                         [](const auto& info) { return info.param ? "ExplicitTls" : "Plain"; });

TEST(PyFtpdServer, StopsItsServer) {
    if (!PyFtpdServer::unavailableReason().empty()) {
        GTEST_SKIP() << PyFtpdServer::unavailableReason();
    }
    PyFtpdServer server;
    const auto port = server.port();
    server.stop();
    TIdTCPClient client;
    client.SetHost("127.0.0.1");
    client.SetPort(port);
    EXPECT_THROW(client.Connect(), EIdSocketError);
}

}  // namespace
}  // namespace harbrook::testing
