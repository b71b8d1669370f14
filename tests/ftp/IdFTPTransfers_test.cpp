// Transfers against the scripted server: how data connections are agreed, the
// commands around them, the finishing replies and Abort, exchange by exchange.

#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

#include "ftp/client/IdFTP.h"
#include "ftp/client/IdFTPCommandText.h"
#include "ftp/IdFTPExceptions.h"
#include "ftp/transport/IdSimpleServer.h"
#include "tests/ftp/FtpTestSupport.h"

namespace harbrook::testing {
namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kExtendedFeatures = "211-Features:\r\n EPRT\r\n EPSV\r\n211 End";
constexpr const char* kPasv = "227 Entering Passive Mode (127,0,0,1,{p1},{p2})";

// The commands after the login's FEAT, SYST and TYPE I.
Lines afterLoginCommands(const Lines& sent) {
    return sent.size() > 5 ? Lines(sent.begin() + 5, sent.end()) : Lines{};
}

// The greeting, a login that needs no password, and what follows it; `feat` is the
// FEAT reply, which decides EPSV/EPRT/PRET.
FtpScript oneStepLogin(const std::string& feat) {
    return FtpScript()
        .reply("220 ready")
        .on("USER u", "230 In")
        .on("FEAT", feat)
        .on("SYST", "215 UNIX")
        .on("TYPE I", "200 ok");
}

FtpScript passiveDownload(FtpScript script, const std::string& pasvReply, const std::string& bytes) {
    return script.passive("PASV", pasvReply)
        .acceptData()
        .on("RETR f", "150 Opening BINARY mode data connection")
        .sendData(bytes)
        .closeData()
        .reply("226 Transfer complete");
}

// The transfer phase changes in one place; a trace shows every change in order.
TEST(IdFTPTransfers, PhaseChangesAreTraced) {
    using Phase = TIdFTP::TransferPhase;
    FtpScript script = passiveDownload(loggedIn(), "227 Entering Passive Mode (127,0,0,1,{p1},{p2})", "data");
    script.passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
        .acceptData()
        .on("RETR f", "550 No such file");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    std::vector<std::pair<Phase, Phase>> changes;
    s.ftp.OnTransferPhase = [&](Phase old, Phase next) { changes.emplace_back(old, next); };
    TMemoryStream stream;
    s.ftp.Download("f", stream);
    EXPECT_EQ(changes, (std::vector<std::pair<Phase, Phase>>{{Phase::Idle, Phase::Starting},
                                                            {Phase::Starting, Phase::Data},
                                                            {Phase::Data, Phase::Finishing},
                                                            {Phase::Finishing, Phase::Idle}}));
    changes.clear();
    EXPECT_THROW(s.ftp.Download("f", stream), EIdReplyRFCError);
    EXPECT_EQ(changes, (std::vector<std::pair<Phase, Phase>>{{Phase::Idle, Phase::Starting},
                                                            {Phase::Starting, Phase::Finishing},
                                                            {Phase::Finishing, Phase::Idle}}))
        << "a refused command never reaches the data phase";
}

// A listing that does not end is cut at the limit instead of filling the memory, and
// the session stays usable.
TEST(IdFTPTransfers, AListingLongerThanTheLimitFails) {
    std::string endless;
    while (endless.size() < 300000) {
        endless += "-rw-r--r-- 1 u g 1 Jan  1  2020 file" + std::to_string(endless.size()) + "\r\n";
    }
    FtpScript script = loggedIn();
    script.on("TYPE A", "200 ok")
        .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
        .acceptData()
        .on("LIST", "150 Here it comes")
        .sendData(endless)
        .closeData()
        .reply("226 Done")
        .on("TYPE I", "200 ok")
        .on("PWD", "257 \"/\"");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.SetMaxListingSize(100000);
    s.ftp.Connect();
    EXPECT_EQ(errorOf([&] { s.ftp.ListDirectory(); }), "Listing too long: more than 100000 bytes");
    EXPECT_EQ(s.ftp.CurrentDirectory(), "/") << "the session goes on";
}

TEST(IdFTPTransfers, PasvReplyForms) {
    struct Row {
        const char* line;
        std::string host;
        int port;
    };
    const Row rows[] = {
        {"Entering Passive Mode (10,0,0,5,19,137)", "10.0.0.5", 5001},
        {"Entering Passive Mode 10,0,0,5,19,137", "10.0.0.5", 5001},
        {"Entering Passive Mode (10,0,0,5, 19 , 137 ).", "10.0.0.5", 5001},
        {"Entering Passive Mode 10,0,0,5,275,393", "10.0.0.5", 5001},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.line);
        const TIdFTPDataEndpoint endpoint = parsePasvReply(row.line);
        EXPECT_EQ(endpoint.Host, row.host);
        EXPECT_EQ(endpoint.Port, row.port);
    }
    EXPECT_EQ(errorOf([] { parsePasvReply("Entering Passive Mode (10,0,0,5,x,137)"); }),
              "'x' is not a valid integer value");
    EXPECT_EQ(errorOf([] { parsePasvReply("Entering Passive Mode (10,0,0,5)"); }),
              "'' is not a valid integer value");
    EXPECT_EQ(errorOf([] { parsePasvReply("Entering Passive Mode (10,0,0,5,0,0)"); }),
              "Server sent invalid port number (0,0)");
}

TEST(IdFTPTransfers, EpsvReplyForms) {
    const TIdFTPDataEndpoint endpoint = parseEpsvReply("Entering Extended Passive Mode (|||6446|)");
    EXPECT_EQ(endpoint.Host, "");
    EXPECT_EQ(endpoint.Port, 6446);
    EXPECT_EQ(parseEpsvReply("Entering Extended Passive Mode (!!127.0.0.1!21!)").Port, 21);
    for (const char* bad : {"(|||0|)", "(|||70000|)", "(|||x|)", "(||||)", "no parentheses"}) {
        SCOPED_TRACE(bad);
        EXPECT_THROW(parseEpsvReply(bad), EIdFTPServerSentInvalidPort);
    }
    EXPECT_EQ(errorOf([] { parseEpsvReply("(|||70000|)"); }),
              "Server sent invalid port number (70000)");
}

TEST(IdFTPTransfers, ListingTextIsSplitIntoLines) {
    const std::pair<std::string, Lines> rows[] = {
        {"a\r\nb\nc\rd", {"a", "b", "c", "d"}},
        {"a\r\n", {"a"}},
        {"a\r\n\r\nb\r\n", {"a", "", "b"}},
        // A NUL is kept inside its line; what follows it is listing as well.
        {std::string("a\r\nb\0junk\r\nmore", 15), {"a", std::string("b\0junk", 6), "more"}},
        {"", {}},
    };
    for (const auto& [text, lines] : rows) {
        EXPECT_EQ(TIdListingLines::FromText(text).ToStrings(), lines);
    }
}

// Entries parsed while a listing of several blocks arrives are the entries of its whole
// parse, a CR LF cut by a block's end included; a layout that cannot parse in pieces
// (Windows NT) is parsed once it is in, and neither asks to start again.
TEST(IdFTPTransfers, EntriesParsedWhileTheListingArrivesAreThoseOfItsWholeParse) {
    std::string unix;
    // 65 bytes first, then 64 a line: the CR of line 4,097 is the last byte of the
    // first 256 KiB, its LF the first of the next.
    unix += "-rw-r--r-- 1 u g 10 Jan  1  2020 " + std::string(30, 'f') + "\r\n";
    for (int i = 1; unix.size() < 900000; ++i) {
        std::string line = "-rw-r--r-- 1 u g " + std::to_string(i % 1000) + " Mar  5 12:00 n" + std::to_string(i);
        unix += line + std::string(62 - line.size(), 'x') + "\r\n";
    }
    ASSERT_EQ(unix.substr(262143, 2), "\r\n");
    std::string windows;
    for (int i = 0; i < 3000; ++i) {
        const std::string size = std::to_string(1000 + i);
        windows += "05-26-95  10:57AM" + std::string(21 - size.size(), ' ') + size + " w" + std::to_string(i) + ".txt\r\n";
    }
    for (const std::string* listing : {&unix, &windows}) {
        const std::string& text = *listing;
        FtpScript script = loggedIn();
        for (int round = 0; round < 2; ++round) {
            script.on("TYPE A", "200 ok")
                .passive("PASV", kPasv)
                .acceptData()
                .on("LIST", "150 Here it comes")
                .sendData(text)
                .closeData()
                .reply("226 Done")
                .on("TYPE I", "200 ok");
        }
        ScriptedFtp s(script);
        s.ftp.SetPassive(true);
        s.ftp.Connect();
        s.ftp.ListDirectory();
        Lines whole;
        for (const auto& item : s.ftp.DirectoryItems()) {
            whole.push_back(std::string(item->FileName()) + " " + std::to_string(item->Size));
        }
        const std::string layout = s.ftp.ListParserIdentifier();
        Lines handed;
        int restarts = 0;
        s.ftp.ListDirectoryHandingOn(
            100,
            [&](const TIdFTPListItems& items) {
                for (const auto& item : items) {
                    handed.push_back(std::string(item->FileName()) + " " + std::to_string(item->Size));
                }
            },
            [&] { ++restarts; });
        SCOPED_TRACE(layout);
        EXPECT_EQ(layout, &text == &unix ? "Unix" : "Windows NT");
        EXPECT_EQ(s.ftp.ListParserIdentifier(), layout);
        EXPECT_EQ(handed.size(), whole.size());
        EXPECT_TRUE(handed == whole);
        EXPECT_EQ(restarts, 0);
        EXPECT_EQ(s.ftp.ListResult().Lines.size(), whole.size());
        EXPECT_TRUE(s.ftp.ListResult().Lines.ToStrings() == TIdListingLines::FromText(text).ToStrings())
            << "the blocks read as the text";
    }
}

// A listing that fails after entries were handed on while it arrived raises, and the
// last listing stays with its layout's name.
TEST(IdFTPTransfers, AListingThatFailsWhileParsedAheadLeavesTheLastOne) {
    std::string unix;
    while (unix.size() < 600000) {
        unix += "-rw-r--r-- 1 u g 1 Jan  1  2020 file" + std::to_string(unix.size()) + "\r\n";
    }
    FtpScript script = loggedIn();
    listing(script, "05-26-95  10:57AM               143712 one.txt\r\n");
    script.on("TYPE A", "200 ok")
        .passive("PASV", kPasv)
        .acceptData()
        .on("LIST", "150 Here it comes")
        // In three parts, time between them for the parse beside: the entries of the
        // first are handed on while the rest arrives.
        .sendData(unix.substr(0, 300000))
        .pause(150)
        .sendData(unix.substr(300000, 300000))
        .pause(150)
        .sendData(unix.substr(600000))
        .closeData()
        .reply("451 Local error in processing")
        .on("TYPE I", "200 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    s.ftp.ListDirectoryHandingOn(10, [](const TIdFTPListItems&) {}, {});
    ASSERT_EQ(s.ftp.ListParserIdentifier(), "Windows NT");
    std::size_t handed = 0;
    EXPECT_EQ(errorOf([&] {
                  s.ftp.ListDirectoryHandingOn(10, [&](const TIdFTPListItems& items) { handed += items.Count(); }, {});
              }),
              "Local error in processing\r\n");
    EXPECT_GT(handed, 0u) << "entries were handed on while it arrived";
    EXPECT_EQ(s.ftp.ListParserIdentifier(), "Windows NT");
    EXPECT_EQ(s.ftp.ListResult().Lines.ToStrings(), (Lines{"05-26-95  10:57AM               143712 one.txt"}));
}

TEST(IdFTPTransfers, PassiveDownloadGoesToTheControlPeer) {
    for (const std::string reply : {"227 Entering Passive Mode (10,0,0,5,{p1},{p2})",
                                    "227 Entering Passive Mode 10,0,0,5,{p1},{p2}"}) {
        SCOPED_TRACE(reply);
        ScriptedFtp s(passiveDownload(loggedIn(), reply, "hello, world"));
        s.ftp.SetPassive(true);
        s.ftp.Connect();
        TMemoryStream stream;
        Lines status;
        s.ftp.OnStatus = [&](TIdStatus, const std::string& text) { status.push_back(text); };
        s.ftp.Download("f", stream);
        EXPECT_EQ(stream.Bytes(), "hello, world");
        EXPECT_EQ(status, (Lines{"Starting FTP transfer", "Transfer complete"}));
        EXPECT_EQ(afterLoginCommands(s.transcript()), (Lines{"PASV", "RETR f", "QUIT"}));
        EXPECT_TRUE(s.server.failures().empty());
    }
}

TEST(IdFTPTransfers, EpsvUsesTheControlHostAndFallsBackToPasvForTheSession) {
    FtpScript script = oneStepLogin(kExtendedFeatures);
    script.passive("EPSV", "229 Entering Extended Passive Mode (|||{port}|)")
        .acceptData()
        .on("RETR f", "150 ok")
        .sendData("one")
        .closeData()
        .reply("226 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.SetUseExtensionDataPort(true);
    s.ftp.Connect();
    TMemoryStream stream;
    s.ftp.Download("f", stream);
    EXPECT_EQ(stream.Bytes(), "one");
    EXPECT_TRUE(s.ftp.UsingExtDataPort());

    FtpScript refusing = oneStepLogin(kExtendedFeatures)
                             .on("EPSV", "500 EPSV not understood");
    refusing.passive("PASV", kPasv).acceptData().on("RETR f", "150 ok").sendData("1").closeData().reply("226 ok");
    refusing.passive("PASV", kPasv).acceptData().on("RETR g", "150 ok").sendData("2").closeData().reply("226 ok");
    ScriptedFtp t(refusing);
    t.ftp.SetPassive(true);
    t.ftp.SetUseExtensionDataPort(true);
    t.ftp.Connect();
    TMemoryStream first;
    TMemoryStream second;
    t.ftp.Download("f", first);
    EXPECT_FALSE(t.ftp.UsingExtDataPort());
    t.ftp.Download("g", second);
    EXPECT_EQ(first.Bytes() + second.Bytes(), "12");
    EXPECT_EQ(Lines(t.transcript()), (Lines{"USER u", "FEAT", "SYST", "TYPE I", "EPSV", "PASV",
                                            "RETR f", "PASV", "RETR g", "QUIT"}));
}

TEST(IdFTPTransfers, EpsvWithAnImpossiblePortAbortsAndRaises) {
    for (const std::string port : {"0", "70000"}) {
        SCOPED_TRACE(port);
        FtpScript script = oneStepLogin(kExtendedFeatures)
                               .on("EPSV", "229 Entering Extended Passive Mode (|||" + port + "|)")
                               .on("ABOR", "225 No transfer to abort");
        ScriptedFtp s(script);
        s.ftp.SetPassive(true);
        s.ftp.SetUseExtensionDataPort(true);
        s.ftp.Connect();
        TMemoryStream stream;
        EXPECT_EQ(errorOf([&] { s.ftp.Download("f", stream); }),
                  "Server sent invalid port number (" + port + ")");
        EXPECT_EQ(s.transcript().back(), "QUIT");
        EXPECT_TRUE(s.server.failures().empty());
    }
}

TEST(IdFTPTransfers, ActiveModeFallsBackFromEprtToPort) {
    FtpScript script = oneStepLogin(kExtendedFeatures);
    script.expectPrefix("EPRT |1|127.0.0.1|")
        .reply("522 Use PORT")
        .activeTarget("PORT 127,0,0,1,", "200 PORT ok")
        .on("RETR f", "150 ok")
        .connectData()
        .sendData("active bytes")
        .closeData()
        .reply("226 ok")
        .activeTarget("PORT 127,0,0,1,", "200 PORT ok")
        .on("STOR g", "150 ok")
        .connectData()
        .receiveData()
        .reply("226 stored");
    ScriptedFtp s(script);
    s.ftp.SetPassive(false);
    s.ftp.SetUseExtensionDataPort(true);
    s.ftp.Connect();
    TMemoryStream stream;
    s.ftp.Download("f", stream);
    EXPECT_EQ(stream.Bytes(), "active bytes");
    TMemoryStream upload(std::string("up"));
    s.ftp.Upload(upload, "g");
    EXPECT_EQ(s.server.receivedData(), "up");
    s.transcript();
    EXPECT_TRUE(s.server.failures().empty()) << s.server.failures().front();
}

TEST(IdFTPTransfers, ListingInBinaryModeSwitchesToAsciiAroundIt) {
    FtpScript script = loggedIn();
    script.on("TYPE A", "200 ok")
        .passive("PASV", kPasv)
        .acceptData()
        .on("LIST", "150 Here it comes")
        .sendData("drwxr-xr-x 2 u g 4096 Jan 1 2024 pub\r\n-rw-r--r-- 1 u g 5 Jan 1 2024 a\n")
        .closeData()
        .reply("226 done")
        .on("TYPE I", "200 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    Lines listing;
    bool retrieved = false;
    s.ftp.OnRetrievedDir = [&] { retrieved = true; };
    s.ftp.ListDirectory(&listing);
    EXPECT_EQ(listing, (Lines{"drwxr-xr-x 2 u g 4096 Jan 1 2024 pub", "-rw-r--r-- 1 u g 5 Jan 1 2024 a"}));
    EXPECT_EQ(s.ftp.ListResult().Lines, listing);
    EXPECT_TRUE(s.ftp.ListResult().Detailed);
    EXPECT_TRUE(retrieved);
    // The parsed entries point into the lines the client keeps: no second copy.
    const TIdFTPListItems& items = s.ftp.DirectoryItems();
    ASSERT_EQ(items.Count(), 2u);
    for (std::size_t i = 0; i < items.Count(); ++i) {
        EXPECT_EQ(items[i].Data.data(), s.ftp.ListResult().Lines[i].data()) << i;
    }
    EXPECT_EQ(items[1].FileName(), "a");
    s.ftp.ClearListing();
    EXPECT_TRUE(s.ftp.ListResult().Lines.empty());
    EXPECT_EQ(s.ftp.DirectoryItems().Count(), 0u);
    EXPECT_EQ(afterLoginCommands(s.transcript()), (Lines{"TYPE A", "PASV", "LIST", "TYPE I", "QUIT"}));
}

TEST(IdFTPTransfers, NameListWithAPath) {
    FtpScript script = loggedIn();
    script.on("TYPE A", "200 ok")
        .passive("PASV", kPasv)
        .acceptData()
        .on("NLST /pub", "150 ok")
        .sendData("a\r\nb\r\n")
        .closeData()
        .reply("226 done")
        .on("TYPE I", "200 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    s.ftp.ListDirectory(nullptr, "/pub", false);
    EXPECT_EQ(s.ftp.ListResult().Lines, (Lines{"a", "b"}));
    EXPECT_FALSE(s.ftp.ListResult().Detailed);
}

TEST(IdFTPTransfers, StoreSendsTheWholeStreamAppendFromItsPosition) {
    FtpScript script = loggedIn();
    script.passive("PASV", kPasv)
        .on("STOR whole.txt", "150 ok")
        .acceptData()
        .receiveData()
        .reply("226 stored");
    FtpScript appendScript = loggedIn();
    appendScript.passive("PASV", kPasv)
        .on("APPE tail.txt", "150 ok")
        .acceptData()
        .receiveData()
        .reply("226 appended");
    for (const bool append : {false, true}) {
        SCOPED_TRACE(append ? "APPE" : "STOR");
        ScriptedFtp s(append ? appendScript : script);
        s.ftp.SetPassive(true);
        s.ftp.Connect();
        TMemoryStream source(std::string("0123456789"));
        source.SetPosition(4);
        s.ftp.Upload(source, append ? "tail.txt" : "whole.txt", append);
        s.transcript();
        EXPECT_EQ(s.server.receivedData(), append ? "456789" : "0123456789");
        EXPECT_TRUE(s.server.failures().empty());
    }
    TIdFTP ftp;
    TMemoryStream source;
    EXPECT_EQ(errorOf([&] { ftp.Upload(source, ""); }), "The destination filename can not be empty");
}

TEST(IdFTPTransfers, ExplicitTlsSendsProtectionSettingsBeforeEveryDataCommand) {
    FtpScript script = FtpScript()
                           .reply("220 ready")
                           .on("AUTH TLS", "234 Go ahead")
                           .startTls()
                           .on("USER u", "230 In")
                           .on("FEAT", "211 none")
                           .on("SYST", "215 UNIX")
                           .on("TYPE I", "200 ok");
    for (int round = 0; round < 2; ++round) {
        script.on("PBSZ 0", "200 PBSZ=0")
            .on("PROT C", "200 Protection set to Clear")
            .passive("PASV", kPasv)
            .acceptData()
            .on("RETR f", "150 ok")
            .sendData("x")
            .closeData()
            .reply("226 ok");
    }
    script.on("TYPE A", "200 ok")
        .on("PBSZ 0", "200 PBSZ=0")
        .on("PROT C", "200 Protection set to Clear")
        .passive("PASV", kPasv)
        .on("STOR g", "150 ok")
        .acceptData()
        .receiveData()
        .reply("226 ok");
    ScriptedFtp s(script);
    s.useTLS(utUseExplicitTLS);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    EXPECT_TRUE(s.ftp.IsTLSInUse());
    TMemoryStream stream;
    s.ftp.Download("f", stream);
    s.ftp.Download("f", stream);
    s.ftp.SetTransferType(ftASCII);
    TMemoryStream upload(std::string("u"));
    s.ftp.Upload(upload, "g");
    EXPECT_EQ(stream.Bytes(), "xx");
    EXPECT_EQ(s.transcript(),
              (Lines{"AUTH TLS", "USER u", "FEAT", "SYST", "TYPE I", "PBSZ 0", "PROT C", "PASV",
                     "RETR f", "PBSZ 0", "PROT C", "PASV", "RETR f", "TYPE A", "PBSZ 0", "PROT C",
                     "PASV", "STOR g", "QUIT"}));
    EXPECT_TRUE(s.server.failures().empty());
}

TEST(IdFTPTransfers, ClearingTheCommandChannelWithCcc) {
    FtpScript script = FtpScript()
                           .reply("220 ready")
                           .on("AUTH TLS", "234 Go ahead")
                           .startTls()
                           .on("USER u", "230 In")
                           .on("FEAT", "211 none")
                           .on("SYST", "215 UNIX")
                           .on("TYPE I", "200 ok")
                           .on("PBSZ 0", "200 PBSZ=0")
                           .on("PROT C", "200 Clear")
                           .on("CCC", "200 Command channel cleared")
                           .endTls();
    for (const char* name : {"RETR f", "RETR g"}) {
        script.passive("PASV", kPasv).acceptData().on(name, "150 ok").sendData("y").closeData().reply("226 ok");
    }
    ScriptedFtp s(script);
    s.useTLS(utUseExplicitTLS);
    s.ftp.SetUseCCC(true);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    TMemoryStream stream;
    s.ftp.Download("f", stream);
    EXPECT_EQ(errorOf([&] { s.ftp.SetDataPortProtection(ftpdpsPrivate); }),
              "Can not set DataPortProtection after CCC issued.");
    s.ftp.Download("g", stream);
    EXPECT_EQ(stream.Bytes(), "yy");
    EXPECT_EQ(s.transcript(), (Lines{"AUTH TLS", "USER u", "FEAT", "SYST", "TYPE I", "PBSZ 0", "PROT C",
                                     "CCC", "PASV", "RETR f", "PASV", "RETR g", "QUIT"}));
    EXPECT_TRUE(s.server.failures().empty());
}

TEST(IdFTPTransfers, PretAnnouncesTheTransferWhenOffered) {
    FtpScript script = oneStepLogin("211-Features:\r\n PRET\r\n211 End")
                           .on("PRET RETR f", "200 ready for RETR");
    script.passive("PASV", kPasv).acceptData().on("RETR f", "150 ok").sendData("p").closeData().reply("226 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    TMemoryStream stream;
    s.ftp.Download("f", stream);
    EXPECT_EQ(stream.Bytes(), "p");
    EXPECT_TRUE(s.server.failures().empty());
}

TEST(IdFTPTransfers, ExternalAddressIsAnnounced) {
    FtpScript script = loggedIn();
    script.expectPrefix("PORT 192,0,2,7,").reply("500 Illegal PORT command");
    ScriptedFtp s(script);
    s.ftp.SetPassive(false);
    s.ftp.SetExternalIP("192.0.2.7");
    s.ftp.Connect();
    TMemoryStream stream;
    EXPECT_EQ(errorOf([&] { s.ftp.Download("f", stream); }), "Illegal PORT command\r\n");
    EXPECT_TRUE(s.server.failures().empty());
}

TEST(IdFTPTransfers, ControlConnectionKeepsAlive) {
    ScriptedFtp s(loggedIn());
    s.ftp.Connect();
    const auto* control = dynamic_cast<const TIdIOHandlerSocket*>(s.ftp.IOHandler());
    ASSERT_NE(control, nullptr);
    int enabled = 0;
    socklen_t length = sizeof enabled;
    ASSERT_EQ(::getsockopt(control->Binding().Handle, SOL_SOCKET, SO_KEEPALIVE, &enabled, &length), 0);
    EXPECT_EQ(enabled, 1);
}

TEST(IdFTPTransfers, Answer450ToAListingIsAnEmptyListingButToRetrAnError) {
    FtpScript script = loggedIn();
    script.on("TYPE A", "200 ok")
        .passive("PASV", kPasv)
        .acceptData()
        .on("LIST", "450 No files found")
        .on("TYPE I", "200 ok")
        .passive("PASV", kPasv)
        .acceptData()
        .on("RETR busy", "450 File busy")
        .on("NOOP", "200 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    Lines status;
    s.ftp.OnStatus = [&](TIdStatus, const std::string& text) { status.push_back(text); };
    Lines listing = {"stale"};
    s.ftp.ListDirectory(&listing);
    EXPECT_TRUE(listing.empty());
    EXPECT_EQ(status, (Lines{"Starting FTP transfer", "Transfer aborted"}));

    TMemoryStream stream;
    try {
        s.ftp.Download("busy", stream);
        FAIL() << "a busy file was reported as an empty download";
    } catch (const EIdReplyRFCError& error) {
        EXPECT_EQ(error.ErrorCode(), 450);
        EXPECT_STREQ(error.what(), "File busy\r\n");
    }
    s.ftp.SendCommand("NOOP", 200);
    EXPECT_TRUE(s.server.failures().empty());
}

TEST(IdFTPTransfers, RefusedTransferCommandRaisesAndKeepsTheSession) {
    FtpScript script = loggedIn();
    script.passive("PASV", kPasv).acceptData().on("RETR nothere", "550 No such file").on("NOOP", "200 ok");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    TMemoryStream stream;
    EXPECT_EQ(errorOf([&] { s.ftp.Download("nothere", stream); }), "No such file\r\n");
    EXPECT_EQ(s.ftp.SendCommand("NOOP", 200), 200);
}

TEST(IdFTPTransfers, CompletionReplyOtherThan226Raises) {
    FtpScript script = loggedIn();
    script.passive("PASV", kPasv)
        .acceptData()
        .on("RETR f", "150 ok")
        .sendData("part")
        .closeData()
        .reply("451 Local error in processing")
        .on("NOOP", "200 ok");
    ScriptedFtp t(script);
    t.ftp.SetPassive(true);
    t.ftp.Connect();
    TMemoryStream stream;
    EXPECT_EQ(errorOf([&] { t.ftp.Download("f", stream); }), "Local error in processing\r\n");
    EXPECT_EQ(stream.Bytes(), "part") << "what arrived stays";
    EXPECT_EQ(t.ftp.SendCommand("NOOP", 200), 200);
}

TEST(IdFTPTransfers, EarlyCloseOfTheDataConnectionKeepsWhatArrived) {
    FtpScript script = loggedIn();
    script.passive("PASV", kPasv)
        .acceptData()
        .on("RETR f", "150 ok")
        .sendData("first half")
        .resetData()
        .reply("426 Connection closed; transfer aborted.");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    TMemoryStream stream;
    const std::string message = errorOf([&] { s.ftp.Download("f", stream); });
    EXPECT_TRUE(message == "Connection closed; transfer aborted.\r\n" ||
                message == "Socket Error # 104\r\nConnection reset by peer.")
        << message;
    EXPECT_EQ(stream.Bytes().substr(0, 10), std::string("first half").substr(0, stream.Bytes().size()));
}

TEST(IdFTPTransfers, EmptyDataConnectionIsAnEmptyFile) {
    ScriptedFtp s(passiveDownload(loggedIn(), kPasv, ""));
    s.ftp.SetPassive(true);
    s.ftp.Connect();
    TMemoryStream stream(std::string("old contents"));
    s.ftp.Download("f", stream);
    EXPECT_EQ(stream.Bytes(), "");
}

TEST(IdFTPTransfers, SilentDataConnectionTimesOut) {
    FtpScript script = loggedIn();
    script.passive("PASV", kPasv)
        .acceptData()
        .on("RETR f", "150 ok")
        .sendData("a little")
        .receiveData()
        .reply("426 Data connection closed");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.SetTransferTimeout(200);
    s.ftp.Connect();
    TMemoryStream stream;
    const auto start = Clock::now();
    EXPECT_EQ(errorOf([&] { s.ftp.Download("f", stream); }), "Read timed out.");
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(stream.Bytes(), "a little");
}

// A server that stalls a download answers only after the client gave up on it: that
// late reply is the download's, and the next command still gets its own (it used to get
// the 426, and every later command the reply of the one before). One that never
// answers closes the connection before the next command goes out.
TEST(IdFTPTransfers, ALateReplyIsNotTakenForTheNextCommands) {
    for (const bool late : {true, false}) {
        SCOPED_TRACE(late ? "answers late" : "never answers");
        FtpScript script = loggedIn();
        script.passive("PASV", kPasv).acceptData().on("RETR f", "150 ok").sendData("a little").pause(1500);
        if (late) {
            script.closeData().reply("426 Transfer aborted").on("SIZE f", "213 5").on("MDTM f", "213 20260101120000");
        } else {
            script.hang();
        }
        ScriptedFtp s(script);
        s.ftp.SetPassive(true);
        s.ftp.SetReadTimeout(300);
        s.ftp.SetTransferTimeout(300);
        s.ftp.Connect();
        TMemoryStream stream;
        const auto start = Clock::now();
        EXPECT_EQ(errorOf([&] { s.ftp.Download("f", stream); }), "Read timed out.");
        EXPECT_EQ(s.ftp.OwedReplies(), 1) << "the download's own reply is owed";
        // Well after the late reply (and longer than a read time-out after the failure).
        std::this_thread::sleep_until(start + std::chrono::milliseconds(1900));
        if (late) {
            EXPECT_EQ(s.ftp.FileSize("f"), 5);
            EXPECT_EQ(s.ftp.FileStamp("f"), "20260101120000");
            EXPECT_EQ(s.ftp.OwedReplies(), 0);
            EXPECT_TRUE(s.ftp.Connected());
        } else {
            const auto asked = Clock::now();
            EXPECT_EQ(errorOf([&] { s.ftp.FileSize("f"); }), EIdRepliesOutOfStep().what());
            EXPECT_LT(Clock::now() - asked, std::chrono::seconds(2)) << "one read time-out";
            EXPECT_FALSE(s.ftp.Connected());
            const Lines sent = s.server.received();
            EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](const std::string& line) {
                return line.rfind("SIZE", 0) == 0;
            })) << "SIZE was not sent";
        }
        EXPECT_TRUE(s.server.failures().empty()) << s.server.failures().front();
    }
}

TEST(IdFTPTransfers, ServerThatNeverConnectsInActiveMode) {
    FtpScript script = loggedIn();
    script.activeTarget("PORT 127,0,0,1,", "200 ok")
        .on("RETR f", "150 ok")
        .pause(400)
        .reply("425 Can't open data connection");
    ScriptedFtp s(script);
    s.ftp.SetPassive(false);
    s.ftp.SetListenTimeout(300);
    s.ftp.Connect();
    TMemoryStream stream;
    EXPECT_EQ(errorOf([&] { s.ftp.Download("f", stream); }), "Accept timed out.");
}

TEST(IdFTPTransfers, ActivePortRangeRules) {
    struct Row {
        int low;
        int high;
        int fixed;
        std::string message;
    };
    // A port in use for the "fixed port" and "range full" cases.
    TIdSimpleServer occupied;
    occupied.SetBoundIP("127.0.0.1");
    occupied.BeginListen();
    const int busy = occupied.ListenPort();
    const Row rows[] = {
        {2000, 1000, 0, "Invalid Port Range (2000 - 1000)"},
        {busy, busy, 0, "Can not bind in port range (" + std::to_string(busy) + " - " +
                            std::to_string(busy) + ")"},
        {0, 0, busy, "Could not bind socket. Address and port are already in use."},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.message);
        ScriptedFtp s(loggedIn());
        s.ftp.SetPassive(false);
        s.ftp.SetDataPortMin(static_cast<std::uint16_t>(row.low));
        s.ftp.SetDataPortMax(static_cast<std::uint16_t>(row.high));
        s.ftp.SetDataPort(static_cast<std::uint16_t>(row.fixed));
        s.ftp.Connect();
        TMemoryStream stream;
        EXPECT_EQ(errorOf([&] { s.ftp.Download("f", stream); }), row.message);
    }
}

TEST(IdFTPTransfers, AbortWithoutATransferSendsAborAndReadsItsReply) {
    FtpScript script = loggedIn();
    script.on("ABOR", "225 No transfer to abort").on("NOOP", "200 ok");
    ScriptedFtp s(script);
    s.ftp.Connect();
    s.ftp.Abort();
    EXPECT_EQ(s.ftp.LastCmdResult().NumericCode(), 225);
    EXPECT_EQ(s.ftp.SendCommand("NOOP", 200), 200);
}

TEST(IdFTPTransfers, AbortFromAnotherThreadEndsARunningDownload) {
    FtpScript script = loggedIn();
    script.passive("PASV", kPasv)
        .acceptData()
        .on("RETR big", "150 ok")
        .sendData(std::string(100000, 'd'))
        .receiveData()
        .expect("ABOR")
        .reply("426 Transfer aborted")
        .reply("226 ABOR successful")
        .on("NOOP", "200 still fine");
    ScriptedFtp s(script);
    s.ftp.SetPassive(true);
    s.ftp.SetTransferTimeout(5000);
    s.ftp.Connect();
    std::atomic<bool> dataFlowing{false};
    s.ftp.OnWork = [&](TWorkMode, std::int64_t count) {
        if (count >= 100000) {
            dataFlowing = true;
        }
    };
    Lines status;
    s.ftp.OnStatus = [&](TIdStatus, const std::string& text) { status.push_back(text); };
    std::thread aborter([&] {
        while (!dataFlowing) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        s.ftp.Abort();
    });
    TMemoryStream stream;
    const auto start = Clock::now();
    const std::string error = [&] {
        try {
            s.ftp.Download("big", stream);
            return std::string();
        } catch (const std::exception& failure) {
            return std::string(failure.what());
        }
    }();
    dataFlowing = true;
    aborter.join();
    EXPECT_EQ(error, "") << "an aborted download ends without an error of its own";
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(stream.Bytes().size(), 100000u);
    EXPECT_EQ(status.back(), "Transfer aborted");
    EXPECT_EQ(s.ftp.SendCommand("NOOP", 200), 200) << "the session goes on";
    EXPECT_TRUE(s.server.failures().empty());
}

}  // namespace
}  // namespace harbrook::testing
