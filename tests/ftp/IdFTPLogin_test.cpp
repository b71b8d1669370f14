// Session set-up of the FTP client against a scripted server: greeting, TLS
// negotiation, login, features, system type and transfer type, exchange by exchange.

#include <gtest/gtest.h>

#include "ftp/client/IdFTP.h"
#include "ftp/IdFTPExceptions.h"
#include "tests/ftp/FtpTestSupport.h"

namespace harbrook::testing {
namespace {

const Lines kLoginTail = {"FEAT", "SYST", "TYPE I"};

Lines concat(Lines first, const Lines& second) {
    first.insert(first.end(), second.begin(), second.end());
    return first;
}

TEST(IdFTPLogin, PlainLoginExchange) {
    ScriptedFtp s(loggedIn());
    Lines events;
    s.ftp.OnBannerBeforeLogin = [&](const std::string& text) { events.push_back("before " + text); };
    s.ftp.OnBannerAfterLogin = [&](const std::string& text) { events.push_back("after " + text); };
    s.ftp.OnAfterClientLogin = [&] { events.push_back("client login"); };
    s.ftp.OnStatus = [&](TIdStatus status, const std::string& text) {
        if (status == ftpReady) {
            events.push_back(text);
        }
    };
    s.ftp.Connect();

    EXPECT_EQ(events, (Lines{"before 220 ready\r\n", "after 230 In\r\n", "client login",
                             "Connection established"}));
    EXPECT_EQ(s.ftp.Capabilities(), (Lines{"MDTM", "SIZE"}));
    EXPECT_TRUE(s.ftp.SupportsFeature("size"));
    EXPECT_FALSE(s.ftp.SupportsFeature("SIZ"));
    EXPECT_EQ(s.ftp.SystemDesc(), "UNIX Type: L8");
    EXPECT_EQ(s.ftp.Greeting().Text(), Lines{"ready"});
    EXPECT_EQ(s.transcript(), concat({"USER u", "PASS p"}, concat(kLoginTail, {"QUIT"})));
    EXPECT_TRUE(s.server.failures().empty());
}

struct AuthRow {
    const char* label;
    TIdUseTLS policy;
    TAuthCmd authCmd;
    FtpScript script;
    Lines expectedCommands;
    std::string error;  // empty: the login goes on in plain text
};

class AuthNegotiation : public ::testing::TestWithParam<int> {};

std::vector<AuthRow> authRows() {
    auto plainLogin = [](FtpScript script) {
        script.on("USER u", "331 pw").on("PASS p", "230 In");
        return afterLogin(script);
    };
    return {
        {"four 500 answers go on in plain text", utUseExplicitTLS, tAuto,
         plainLogin(FtpScript()
                        .reply("220 ready")
                        .on("AUTH TLS", "500 no")
                        .on("AUTH SSL", "500 no")
                        .on("AUTH TLS-C", "500 no")
                        .on("AUTH TLS-P", "500 no")),
         concat({"AUTH TLS", "AUTH SSL", "AUTH TLS-C", "AUTH TLS-P", "USER u", "PASS p"},
                concat(kLoginTail, {"QUIT"})),
         ""},
        {"534 moves on to AUTH SSL", utUseExplicitTLS, tAuto,
         plainLogin(FtpScript()
                        .reply("220 ready")
                        .on("AUTH TLS", "534 not here")
                        .on("AUTH SSL", "504 no")
                        .on("AUTH TLS-C", "500 no")
                        .on("AUTH TLS-P", "502 no")),
         concat({"AUTH TLS", "AUTH SSL", "AUTH TLS-C", "AUTH TLS-P", "USER u", "PASS p"},
                concat(kLoginTail, {"QUIT"})),
         ""},
        {"431 ends the connect", utUseExplicitTLS, tAuto,
         FtpScript().reply("220 ready").on("AUTH TLS", "431 busy"), {"AUTH TLS", "QUIT"},
         "Start SSL negotiation command failed."},
        {"required TLS refused outright", utUseRequireTLS, tAuto,
         FtpScript().reply("220 ready").on("AUTH TLS", "431 busy"), {"AUTH TLS", "QUIT"},
         "SSL is not available on this server."},
        {"required TLS never offered", utUseRequireTLS, tAuto,
         FtpScript()
             .reply("220 ready")
             .on("AUTH TLS", "500 no")
             .on("AUTH SSL", "500 no")
             .on("AUTH TLS-C", "500 no")
             .on("AUTH TLS-P", "500 no"),
         {"AUTH TLS", "AUTH SSL", "AUTH TLS-C", "AUTH TLS-P", "QUIT"},
         "Start SSL negotiation command failed."},
        {"a fixed AUTH command is tried alone", utUseExplicitTLS, tAuthSSL,
         FtpScript().reply("220 ready").on("AUTH SSL", "500 no"), {"AUTH SSL", "QUIT"},
         "Start SSL negotiation command failed."},
        {"TLS handshake met with garbage", utUseExplicitTLS, tAuto,
         FtpScript().reply("220 ready").on("AUTH TLS", "234 go").send("this is not TLS at all\r\n"),
         {"AUTH TLS"}, "SSL is not available on this server."},
        {"server hangs up after AUTH", utUseExplicitTLS, tAuto,
         FtpScript().reply("220 ready").on("AUTH TLS", "234 go").close(), {"AUTH TLS"},
         "SSL is not available on this server."},
        {"server resets after AUTH", utUseExplicitTLS, tAuto,
         FtpScript().reply("220 ready").on("AUTH TLS", "234 go").reset(), {"AUTH TLS"},
         "SSL is not available on this server."},
    };
}

TEST_P(AuthNegotiation, FollowsThePolicy) {
    AuthRow row = authRows()[static_cast<size_t>(GetParam())];
    SCOPED_TRACE(row.label);
    ScriptedFtp s(row.script);
    s.useTLS(row.policy);
    s.ftp.SetAUTHCmd(row.authCmd);
    int notAvailable = 0;
    s.ftp.OnTLSNotAvailable = [&](bool& goOn) {
        EXPECT_TRUE(goOn) << "preset to go on";
        ++notAvailable;
    };
    if (row.error.empty()) {
        s.ftp.Connect();
        EXPECT_EQ(notAvailable, 1);
        EXPECT_FALSE(s.ftp.IsTLSInUse());
    } else {
        EXPECT_EQ(errorOf([&] { s.ftp.Connect(); }), row.error);
        EXPECT_FALSE(s.ftp.Connected());
    }
    Lines sent = s.transcript();
    if (row.expectedCommands.back() != "QUIT") {
        // After AUTH the client's TLS hello follows as raw bytes; only the commands
        // before it are compared.
        sent.resize(std::min(sent.size(), row.expectedCommands.size()));
    }
    EXPECT_EQ(sent, row.expectedCommands);
}

INSTANTIATE_TEST_SUITE_P(Rows, AuthNegotiation,
                         ::testing::Range(0, static_cast<int>(authRows().size())));

TEST(IdFTPLogin, NotAvailableHandlerCanStopTheLogin) {
    ScriptedFtp s(FtpScript()
                      .reply("220 ready")
                      .on("AUTH TLS", "500 no")
                      .on("AUTH SSL", "500 no")
                      .on("AUTH TLS-C", "500 no")
                      .on("AUTH TLS-P", "500 no"));
    s.useTLS(utUseExplicitTLS);
    s.ftp.OnTLSNotAvailable = [](bool& goOn) { goOn = false; };
    EXPECT_EQ(errorOf([&] { s.ftp.Connect(); }), "Start SSL negotiation command failed.");
}

TEST(IdFTPLogin, RefusedNegotiationCanBeAllowedToGoOn) {
    FtpScript script = FtpScript().reply("220 ready").on("AUTH TLS", "431 later").on("USER u", "230 in");
    ScriptedFtp s(afterLogin(script));
    s.useTLS(utUseExplicitTLS);
    s.ftp.OnTLSNegCmdFailed = [](bool& goOn) {
        EXPECT_FALSE(goOn) << "preset to stop";
        goOn = true;
    };
    s.ftp.Connect();
    EXPECT_EQ(s.transcript(), concat({"AUTH TLS", "USER u"}, concat(kLoginTail, {"QUIT"})));
}

TEST(IdFTPLogin, GreetingShapes) {
    {
        FtpScript script = FtpScript().reply("120 wait a moment").pause(30);
        script.reply("220 ready").on("USER u", "331 pw").on("PASS p", "230 In");
        ScriptedFtp s(afterLogin(script));
        std::string warning;
        s.ftp.OnBannerWarning = [&](const std::string& text) { warning = text; };
        s.ftp.Connect();
        EXPECT_EQ(warning, "120 wait a moment\r\n");
        EXPECT_EQ(s.ftp.Greeting().Text(), Lines{"ready"});
    }
    {
        ScriptedFtp s(FtpScript().reply("421-Too many users").reply("421 try later"));
        try {
            s.ftp.Connect();
            FAIL() << "connected";
        } catch (const EIdReplyRFCError& error) {
            EXPECT_EQ(error.ErrorCode(), 421);
            EXPECT_STREQ(error.what(), "Too many users\r\ntry later\r\n");
        }
        EXPECT_FALSE(s.ftp.Connected());
        ASSERT_TRUE(s.server.waitUntilFinished());
        EXPECT_TRUE(s.server.received().empty()) << "no QUIT before a greeting";
    }
}

TEST(IdFTPLogin, EndlessGreetingHitsTheCap) {
    ScriptedFtp s(FtpScript().sendForever("220-Welcome to the endless banner\r\n"));
    EXPECT_EQ(errorOf([&] { s.ftp.Connect(); }), EIdReplyTooLong().what());
    EXPECT_FALSE(s.ftp.Connected());
}

// A FEAT of 10,000 features is a long reply, not a broken one: the login goes on and
// every feature is known.
TEST(IdFTPLogin, AFeatOfTenThousandLines) {
    std::string features = "211-Features:\r\n";
    for (int i = 0; i < 10000; ++i) {
        features += " X-FEATURE-" + std::to_string(i) + "\r\n";
    }
    features += "211 End";
    FtpScript script = greetAndLogin();
    script.on("FEAT", features).on("SYST", "215 UNIX Type: L8").on("TYPE I", "200 Type set to I");
    ScriptedFtp s(script);
    s.ftp.Connect();
    EXPECT_EQ(s.ftp.Capabilities().size(), 10000u);
    EXPECT_TRUE(s.ftp.SupportsFeature("X-FEATURE-9999"));
}

TEST(IdFTPLogin, UserAnswered230NeedsNoPassword) {
    FtpScript script = FtpScript().reply("220 ready").on("USER u", "230 Welcome, no password needed");
    ScriptedFtp s(afterLogin(script));
    s.ftp.Connect();
    EXPECT_EQ(s.ftp.LoginMsg().Text(), Lines{"Welcome, no password needed"});
    EXPECT_EQ(s.transcript(), concat({"USER u"}, concat(kLoginTail, {"QUIT"})));
}

TEST(IdFTPLogin, Accounts) {
    {
        ScriptedFtp s(FtpScript().reply("220 ready").on("USER u", "331 pw").on("PASS p", "332 Need account"));
        try {
            s.ftp.Connect();
            FAIL() << "logged in";
        } catch (const EIdReplyRFCError& error) {
            EXPECT_EQ(error.ErrorCode(), 332);
            EXPECT_STREQ(error.what(), "Need account\r\n");
        }
        EXPECT_EQ(s.transcript(), (Lines{"USER u", "PASS p", "QUIT"}));
    }
    {
        FtpScript script = FtpScript()
                               .reply("220 ready")
                               .on("USER u", "331 pw")
                               .on("PASS p", "332 Need account")
                               .on("ACCT billing", "230 In");
        ScriptedFtp s(afterLogin(script));
        s.ftp.OnNeedAccount = [](std::string& account) { account = "billing"; };
        s.ftp.Connect();
        EXPECT_EQ(s.transcript(),
                  concat({"USER u", "PASS p", "ACCT billing"}, concat(kLoginTail, {"QUIT"})));
    }
    {
        FtpScript script = FtpScript()
                               .reply("220 ready")
                               .on("USER u", "331 pw")
                               .on("PASS p", "230 Logged in, ACCOUNT optional")
                               .on("ACCT dept", "202 Not needed");
        ScriptedFtp s(afterLogin(script));
        s.ftp.SetAccount("dept");
        s.ftp.Connect();
        EXPECT_EQ(s.transcript(),
                  concat({"USER u", "PASS p", "ACCT dept"}, concat(kLoginTail, {"QUIT"})));
    }
}

TEST(IdFTPLogin, WrongPasswordCarriesTheServersText) {
    ScriptedFtp s(FtpScript().reply("220 ready").on("USER u", "331 pw").on("PASS p", "530 Login incorrect."));
    EXPECT_EQ(errorOf([&] { s.ftp.Connect(); }), "Login incorrect.\r\n");
    EXPECT_EQ(s.transcript(), (Lines{"USER u", "PASS p", "QUIT"}));
}

// Every refusal of a login step is a refused login (the session does not try again),
// with the server's code and text; a connection that drops is not.
TEST(IdFTPLogin, RefusedLoginStepsAreLoginRefusals) {
    struct Row {
        const char* label;
        FtpScript script;
        int code;
    };
    std::vector<Row> rows;
    rows.push_back({"USER refused", FtpScript().reply("220 ready").on("USER u", "421 Too many users"), 421});
    rows.push_back({"PASS refused", FtpScript().reply("220 ready").on("USER u", "331 pw").on("PASS p", "530 No"), 530});
    rows.push_back({"ACCT refused",
                    FtpScript().reply("220 ready").on("USER u", "331 pw").on("PASS p", "332 Account?").on("ACCT a", "431 No"),
                    431});
    for (Row& row : rows) {
        SCOPED_TRACE(row.label);
        ScriptedFtp s(row.script);
        s.ftp.SetAccount("a");
        try {
            s.ftp.Connect();
            ADD_FAILURE() << "logged in";
        } catch (const EIdFTPLoginRefused& refused) {
            EXPECT_EQ(refused.ErrorCode(), row.code);
        }
    }
    ScriptedFtp dropped(FtpScript().reply("220 ready").on("USER u", "331 pw").expect("PASS p").close());
    try {
        dropped.ftp.Connect();
        ADD_FAILURE() << "logged in";
    } catch (const EIdFTPLoginRefused&) {
        ADD_FAILURE() << "a dropped connection is not a refusal";
    } catch (const EIdException&) {
    }
}

TEST(IdFTPLogin, AnswersAOneTimePasswordChallenge) {
    FtpScript script = FtpScript()
                           .reply("220 ready")
                           .on("USER u", "331 Response to otp-md5 99 TeSt required for skey.")
                           .on("PASS BAIL TUFT BITS GANG CHEF THY", "230 In");
    ScriptedFtp s(afterLogin(script));
    s.ftp.SetPassword("This is a test.");
    s.ftp.Connect();
    EXPECT_TRUE(s.server.failures().empty());
    EXPECT_EQ(s.transcript()[1], "PASS BAIL TUFT BITS GANG CHEF THY");
}

TEST(IdFTPLogin, SystemFeaturesAndLanguages) {
    FtpScript script = FtpScript()
                           .reply("220 ready")
                           .on("USER u", "230 In")
                           .on("FEAT", "211 No features")
                           .on("SYST", "500 What?")
                           .on("TYPE I", "200 ok");
    ScriptedFtp s(script);
    s.ftp.Connect();
    EXPECT_TRUE(s.ftp.Capabilities().empty());
    EXPECT_EQ(s.ftp.SystemDesc(), "Unknown");

    FtpScript second = FtpScript()
                           .reply("220 ready")
                           .on("USER u", "230 In")
                           .on("FEAT", "211-Extensions:\r\n LANG EN*;FR ; ;DE\r\n UTF8\r\n211 END")
                           .on("SYST", "215 Windows_NT")
                           .on("TYPE I", "200 ok");
    ScriptedFtp t(second);
    t.ftp.Connect();
    EXPECT_EQ(t.ftp.LangsSupported(), (Lines{"EN*", "FR", "DE"}));
    EXPECT_EQ(t.ftp.SystemDesc(), "Windows_NT");
}

TEST(IdFTPLogin, ClientInfoAndNatFastTrack) {
    FtpScript script = FtpScript()
                           .reply("220 ready")
                           .on("USER u", "230 In")
                           .on("FEAT", "211-Features:\r\n CLNT\r\n EPSV\r\n EPRT\r\n211 End")
                           .on("CLNT Harbrook 1.0 Linux desktop", "200 Noted")
                           .on("EPSV ALL", "229 EPSV ALL ok")
                           .on("ABOR", "225 ok")
                           .on("SYST", "215 UNIX")
                           .on("TYPE A", "200 ok");
    ScriptedFtp s(script);
    s.ftp.ClientInfo().SetClientName("  Harbrook desktop");
    s.ftp.ClientInfo().SetClientVersion("1.0 beta");
    s.ftp.ClientInfo().SetPlatformDescription("Linux desktop");
    s.ftp.SetTryNATFastTrack(true);
    s.ftp.SetTransferType(ftASCII);
    s.ftp.Connect();
    EXPECT_TRUE(s.ftp.EPSVAllSent());
    EXPECT_TRUE(s.ftp.Passive());
    EXPECT_TRUE(s.ftp.UsingExtDataPort());
    EXPECT_EQ(s.transcript(), (Lines{"USER u", "FEAT", "CLNT Harbrook 1.0 Linux desktop", "EPSV ALL",
                                     "ABOR", "SYST", "TYPE A", "QUIT"}));
}

TEST(IdFTPLogin, ExtendedDataPortNeedsBothCommands) {
    FtpScript script = FtpScript()
                           .reply("220 ready")
                           .on("USER u", "230 In")
                           .on("FEAT", "211-Features:\r\n EPSV\r\n211 End")
                           .on("SYST", "215 UNIX")
                           .on("TYPE I", "200 ok");
    ScriptedFtp s(script);
    s.ftp.SetUseExtensionDataPort(true);
    s.ftp.Connect();
    EXPECT_FALSE(s.ftp.UsingExtDataPort());
}

TEST(IdFTPLogin, SiteZone) {
    struct Row {
        const char* label;
        std::string greeting;
        std::string feat;
        std::string zoneReply;
        double offsetMinutes;  // the stored offset in minutes; 99999: not available
        std::string error;
    };
    const Row rows[] = {
        {"Serv-U greeting, west of GMT", "220 Serv-U FTP Server v6.4 ready", "211 none",
         "210 UTC-300", 300, ""},
        {"FEAT lists ZONE, east of GMT", "220 ready", "211-Features:\r\n SITE PSWD;ZONE;CHMOD\r\n211 End",
         "210 UTC+90", -90, ""},
        {"no answer 210 leaves it unknown", "220 Titan FTP Server ready", "211 none",
         "500 unknown", 99999, ""},
        {"not a number", "220 BPFTP Server ready", "211 none", "210 UTCabc", 0,
         "'abc' is not a valid integer value"},
        {"a whole day or more", "220 Serv-U FTP Server", "211 none", "210 UTC-1440", 0,
         "Invalid argument to time encode"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.label);
        FtpScript script = FtpScript()
                               .reply(row.greeting)
                               .on("USER u", "230 In")
                               .on("FEAT", row.feat)
                               .on("SYST", "215 UNIX")
                               .on("SITE ZONE", row.zoneReply)
                               .on("TYPE I", "200 ok");
        ScriptedFtp s(script);
        if (!row.error.empty()) {
            EXPECT_EQ(errorOf([&] { s.ftp.Connect(); }), row.error);
            EXPECT_EQ(s.transcript().back(), "QUIT");
            continue;
        }
        s.ftp.Connect();
        if (row.offsetMinutes == 99999) {
            EXPECT_FALSE(s.ftp.TZInfo().GMTOffsetAvailable);
        } else {
            EXPECT_TRUE(s.ftp.TZInfo().GMTOffsetAvailable);
            EXPECT_NEAR(s.ftp.TZInfo().GMTOffset * 24 * 60, row.offsetMinutes, 1e-6);
        }
        EXPECT_TRUE(s.server.failures().empty());
    }
}

TEST(IdFTPLogin, WithoutAutoLoginOnlySystemAndFeatures) {
    ScriptedFtp s(FtpScript().reply("220 ready").on("SYST", "215 UNIX").on("FEAT", "211 none"));
    s.ftp.SetAutoLogin(false);
    s.ftp.Connect();
    EXPECT_EQ(s.transcript(), (Lines{"SYST", "FEAT", "QUIT"}));
}

// A handler that is not socket-based.
class MemoryHandler : public TIdIOHandler {
public:
    void Open() override {}
    bool Opened() const override { return false; }
    bool Readable(int) override { return false; }

protected:
    TransferResult ReceiveRaw(char*, std::size_t) override { return {}; }
    TransferResult SendRaw(const char*, std::size_t) override { return {}; }
    bool Writable(int) override { return false; }
};

TEST(IdFTPLogin, SettingRules) {
    // Handlers are borrowed: they must outlive the client.
    MemoryHandler memory;
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdIOHandlerStack plain;
    TIdFTP ftp;
    EXPECT_EQ(errorOf([&] { ftp.SetUseTLS(utUseExplicitTLS); }),
              "SSL IOHandler is required for this setting");
    EXPECT_EQ(errorOf([&] { ftp.SetAUTHCmd(tAuthSSL); }), "Can not set AUTH without SSL.");
    EXPECT_EQ(errorOf([&] { ftp.SetDataPortProtection(ftpdpsPrivate); }),
              "Can not set DataPortProtection with unencrypted connections.");
    EXPECT_EQ(errorOf([&] { ftp.SetUseCCC(true); }), "Can not set CCC without encyption.");
    EXPECT_EQ(errorOf([&] { ftp.SetIOHandler(&memory); }), "IOHandler is of wrong type.");

    ftp.SetIOHandler(&tls);
    ftp.SetUseTLS(utUseImplicitTLS);
    EXPECT_EQ(ftp.Port(), 990);
    ftp.SetUseTLS(utUseExplicitTLS);
    EXPECT_EQ(ftp.Port(), 21);
    ftp.SetAUTHCmd(tAuthTLSC);
    ftp.SetDataPortProtection(ftpdpsPrivate);
    ftp.SetUseCCC(true);
    ftp.SetUseTLS(utNoTLSSupport);
    EXPECT_EQ(ftp.AUTHCmd(), tAuto);
    EXPECT_EQ(ftp.DataPortProtection(), ftpdpsClear);
    EXPECT_FALSE(ftp.UseCCC());

    ftp.SetLoading(true);
    ftp.SetAUTHCmd(tAuthSSL);
    EXPECT_EQ(ftp.AUTHCmd(), tAuthSSL) << "stored without checks while loading";
    ftp.SetLoading(false);

    ftp.SetTryNATFastTrack(true);
    EXPECT_EQ(errorOf([&] { ftp.SetUseExtensionDataPort(false); }),
              "UseExtensionDataPort must be true for NAT fasttracking.");
    EXPECT_EQ(errorOf([&] { ftp.SetPassive(false); }),
              "Can not use active transfers with NAT fastracking.");
    ftp.SetTryNATFastTrack(false);
    ftp.SetIPVersion(Id_IPv6);
    EXPECT_TRUE(ftp.UseExtensionDataPort());
    EXPECT_EQ(errorOf([&] { ftp.SetUseExtensionDataPort(false); }),
              "UseExtensionDataPort must be true for IPv6 connections.");

    ftp.SetUseTLS(utUseExplicitTLS);
    ftp.SetIOHandler(&plain);
    EXPECT_EQ(ftp.UseTLS(), utNoTLSSupport) << "a plain handler turns TLS off";
}

TEST(IdFTPLogin, TlsPolicyCannotChangeWhileConnected) {
    ScriptedFtp s(loggedIn());
    s.ftp.SetIOHandler(&s.tls);
    s.ftp.Connect();
    EXPECT_EQ(errorOf([&] { s.ftp.SetUseTLS(utUseExplicitTLS); }),
              "This value can not be set while the client is connected.");
}

TEST(IdFTPLogin, ClientInfoText) {
    TIdFTPClientIdentifier info;
    EXPECT_EQ(info.ClientInfo(), "");
    info.SetClientVersion("2.0");
    EXPECT_EQ(info.ClientInfo(), "") << "no name, no text";
    info.SetClientName(" Harbrook  ");
    EXPECT_EQ(info.ClientInfo(), "Harbrook 2.0");
    info.SetPlatformDescription("Debian 12");
    EXPECT_EQ(info.ClientInfo(), "Harbrook 2.0 Debian 12");
    info.SetClientVersion("");
    EXPECT_EQ(info.ClientInfo(), "Harbrook") << "the platform needs a version";
}

// A server whose FEAT lists UTF8 is asked for UTF-8 names after the login, and its
// listing from then on gives them (this one sends Latin-1 until asked); one without it is
// not asked, and its names stay the bytes it sends. A refusal does not stop the session.
TEST(IdFTPLogin, Utf8NamesAreAskedForWhereOffered) {
    const std::string latin1 = "gr\xfc\xdf" "e.txt";
    const std::string utf8 = "gr\xc3\xbc\xc3\x9f" "e.txt";
    const struct {
        const char* label;
        const char* features;
        const char* answer;
        std::string name;
    } rows[] = {
        {"offered", "211-Features:\r\n SIZE\r\n UTF8\r\n211 End", "200 UTF8 set to on", utf8},
        {"offered, refused", "211-Features:\r\n UTF8\r\n211 End", "501 Not understood", latin1},
        {"not offered", "211-Features:\r\n SIZE\r\n211 End", nullptr, latin1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.label);
        FtpScript script = greetAndLogin();
        script.on("FEAT", row.features);
        if (row.answer != nullptr) {
            script.on("OPTS UTF8 ON", row.answer);
        }
        script.on("SYST", "215 UNIX Type: L8").on("TYPE I", "200 Type set to I");
        listing(script, "-rw-r--r--   1 u  g  5 Jan 01 12:00 " + row.name + "\r\n");
        ScriptedFtp s(script);
        s.ftp.SetPassive(true);
        s.ftp.SetAskForUtf8(true);
        s.ftp.Connect();
        s.ftp.ListDirectory();
        ASSERT_EQ(s.ftp.DirectoryItems().Count(), 1u);
        EXPECT_EQ(std::string(s.ftp.DirectoryItems()[0].FileName()), row.name);
        EXPECT_TRUE(s.server.failures().empty()) << s.server.failures().front();
    }
}

}  // namespace
}  // namespace harbrook::testing
