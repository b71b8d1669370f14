// The remote session without a window: commands queued from a stand-in GUI thread,
// against the scripted server (hangs at each stage, a server that goes away, NOOP,
// a reconnect) and pyftpdlib (a wrong password).

#include "engine/RemoteSession.h"

#include <gtest/gtest.h>

#include <chrono>
#include <mutex>
#include <thread>

#include "tests/ftp/FtpTestSupport.h"
#include "tests/support/PyFtpdServer.h"
#include "tests/support/ScriptedFtpServer.h"
#include "tests/support/TestDispatcher.h"
#include "tests/support/VsftpdServer.h"

namespace harbrook::testing {
namespace {

using Clock = std::chrono::steady_clock;

// What the window would see, in order, each line "event: text".
class RecordingView : public IRemoteSessionView {
public:
    explicit RecordingView(const TestDispatcher& gui) : m_gui(gui) {}
    void SessionActivity(const std::string& activity) override { add("activity: " + activity); }
    void SessionStatus(const std::string& status) override { add("status: " + status); }
    void SessionUp() override { add("up"); }
    void SessionLost() override { add("lost"); }
    void FolderReloading() override {}
    void FolderEntered(const std::string& path) override { add("folder: " + path); }
    void FolderListed(const RemoteFolder& folder, const std::optional<std::string>& mark) override {
        add("listed: " + std::to_string(folder.folders->size() + folder.files->size()) + " mark " +
            mark.value_or("none"));
    }
    void ShowError(const std::string& message) override { add("error: " + message); }
    bool AcceptCertificate(const std::string&, std::uint16_t, const TIdPeerCertificate&) override {
        add("certificate");
        return false;
    }
    bool GoOnInPlainText() override {
        add("plain?");
        return false;
    }
    void ViewReady(const std::string& name, const std::string&) override { add("view: " + name); }

    std::vector<std::string> events() const {
        std::lock_guard guard(m_lock);
        return m_events;
    }
    bool saw(const std::string& event) const {
        const auto all = events();
        return std::find(all.begin(), all.end(), event) != all.end();
    }
    // Every event delivered off the GUI thread would be a fault of the session.
    int wrongThread = 0;

private:
    void add(const std::string& event) {
        std::lock_guard guard(m_lock);
        if (!m_gui.OnGuiThread()) {
            ++wrongThread;
        }
        m_events.push_back(event);
    }
    const TestDispatcher& m_gui;
    mutable std::mutex m_lock;
    std::vector<std::string> m_events;
};

template <typename Done>
bool waitFor(Done done, int ms = 5000) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (!done() && Clock::now() < until) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return done();
}

long long msSince(Clock::time_point start) {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// The first listing after a login, complete: PWD `folder`, one folder "pub".
FtpScript& listRoot(FtpScript& script, const std::string& folder = "/") {
    return listFolder(script, folder, "drwxr-xr-x 2 u g 4096 Jan  1  2020 pub\r\n");
}

class RemoteSessionTest : public ::testing::Test {
protected:
    SessionSettings settingsFor(std::uint16_t port) {
        SessionSettings settings;
        settings.host = "127.0.0.1";
        settings.port = port;
        settings.user = "u";
        settings.password = "p";
        settings.readTimeoutMs = 20000;
        settings.connectTimeoutMs = 20000;
        return settings;
    }
    // Gives a command on the "GUI" thread, as the window does.
    bool give(const std::function<bool()>& command) {
        bool accepted = false;
        gui.RunAndWait([&] { accepted = command(); });
        return accepted;
    }
    bool idle(int ms = 5000) {
        return waitFor([&] { return !session.Busy(); }, ms);
    }

    TestDispatcher gui;
    RecordingView view{gui};
    TIdSSLIOHandlerSocketOpenSSL tls;
    TIdFTP client;
    TRemoteSession session{client, tls, view, gui};
};

// A server that stops answering at each stage of a session: the command is shown as
// running, Cancel ends it at once, and no second attempt (active mode) follows a Cancel.
TEST_F(RemoteSessionTest, CancelEndsAHangAtEveryStageAtOnce) {
    struct Case {
        const char* stage;
        FtpScript script;
        const char* runningActivity;
        bool resumable;
    };
    const FtpScript stalledList = stalledListing("/pub");
    std::vector<Case> cases = {
        {"a greeting 20 s late", FtpScript().pause(20000).reply("220 late"), "Connecting to 127.0.0.1:", false},
        {"PASS never answered", FtpScript().reply("220 ready").on("USER u", "331 Password please").hang(),
         "Connecting to 127.0.0.1:", false},
        {"LIST stalled", stalledList, "Listing /pub\u2026", true},
    };
    for (Case& row : cases) {
        SCOPED_TRACE(row.stage);
        ScriptedFtpServer server(row.script);
        ASSERT_TRUE(give([&] { return session.Connect(settingsFor(server.port())); }));
        ASSERT_TRUE(waitFor([&] { return session.Activity().rfind(row.runningActivity, 0) == 0; }))
            << session.Activity();
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        EXPECT_TRUE(session.Busy());
        EXPECT_FALSE(give([&] { return session.Refresh(true); })) << "one command at a time";
        const auto cancelled = Clock::now();
        gui.RunAndWait([&] { session.Cancel(); });
        ASSERT_TRUE(idle(1000)) << "Cancel ends the command at once";
        EXPECT_LT(msSince(cancelled), 1000);
        EXPECT_FALSE(session.Connected());
        EXPECT_EQ(session.Usable(), row.resumable) << "a session that stood reconnects on the next command";
        EXPECT_EQ(view.events().back(), "activity: ");
        EXPECT_TRUE(view.saw("status: Cancelled"));
        EXPECT_EQ(server.connectionCount(), 1u) << "no active-mode try after the user's Cancel";
        for (const std::string& event : view.events()) {
            EXPECT_EQ(event.rfind("error: ", 0), std::string::npos) << event;
        }
    }
    EXPECT_EQ(view.wrongThread, 0);
}

// Closing while a connect waits on a server that never greets ends within 2 s, and so
// does closing while a listing waits on one that never sends it.
TEST_F(RemoteSessionTest, ClosingDuringAHangIsBounded) {
    ScriptedFtpServer silent(FtpScript().pause(20000).reply("220 late"));
    TIdFTP other;
    RecordingView otherView{gui};
    auto closing = std::make_unique<TRemoteSession>(other, tls, otherView, gui);
    ASSERT_TRUE(give([&] { return closing->Connect(settingsFor(silent.port())); }));
    ASSERT_TRUE(waitFor([&] { return !closing->Activity().empty(); }));
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    const auto start = Clock::now();
    closing.reset();
    EXPECT_LT(msSince(start), 2000);
}

// Disconnect while a connect hangs: the session is down at once, with no box, and the
// next connect is taken.
TEST_F(RemoteSessionTest, ADisconnectDuringAConnectEndsIt) {
    FtpScript second = loggedIn();
    listRoot(second);
    ScriptedFtpServer server(
        std::vector<FtpScript>{FtpScript().reply("220 ready").on("USER u", "331 Password please").hang(), second});
    ASSERT_TRUE(give([&] { return session.Connect(settingsFor(server.port())); }));
    ASSERT_TRUE(waitFor([&] { return server.received().size() >= 2; }));
    gui.RunAndWait([&] { session.Disconnect(); });
    EXPECT_FALSE(session.Usable());
    ASSERT_TRUE(idle(1000));
    for (const std::string& event : view.events()) {
        EXPECT_EQ(event.rfind("error: ", 0), std::string::npos) << event;
    }
    ASSERT_TRUE(give([&] { return session.Connect(settingsFor(server.port())); }));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(view.saw("up"));
}

// A wrong password: one USER/PASS pair reaches the server and one box is shown.
TEST_F(RemoteSessionTest, AWrongPasswordIsSentOnce) {
    if (const std::string reason = PyFtpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    PyFtpdOptions options;
    options.keepLog = true;
    PyFtpdServer server(options);
    SessionSettings settings = settingsFor(server.port());
    settings.user = server.user();
    settings.password = "wrong";
    ASSERT_TRUE(give([&] { return session.Connect(settings); }));
    ASSERT_TRUE(idle());
    EXPECT_EQ(server.sessionsOpened(), 1);
    int boxes = 0;
    for (const std::string& event : view.events()) {
        boxes += event.rfind("error: ", 0) == 0 ? 1 : 0;
    }
    EXPECT_EQ(boxes, 1);
    EXPECT_FALSE(session.Usable());
}

// An idle session the server drops (421) is shown lost with the server's words, and
// the next Refresh logs in again, goes back into the folder and lists it.
TEST_F(RemoteSessionTest, ALostSessionIsShownAndTheNextCommandReconnects) {
    FtpScript first = loggedIn();
    listRoot(first, "/pub").pause(300).reply("421 Timeout: closing control connection.").close();
    FtpScript second = loggedIn();
    second.on("CWD /pub", "250 ok");
    listRoot(second, "/pub");
    ScriptedFtpServer server(std::vector<FtpScript>{first, second});
    session.WatchMs = 50;
    ASSERT_TRUE(give([&] { return session.Connect(settingsFor(server.port())); }));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(session.Connected());
    const auto dropped = Clock::now();
    ASSERT_TRUE(waitFor([&] { return view.saw("status: Disconnected: 421 Timeout: closing control connection."); }))
        << view.events().back();
    EXPECT_LT(msSince(dropped), 1500) << "seen within a moment of the 421";
    EXPECT_TRUE(view.saw("lost"));
    EXPECT_FALSE(session.Connected());
    EXPECT_TRUE(session.Usable()) << "the next command may reconnect";

    ASSERT_TRUE(give([&] { return session.Refresh(true); }));
    ASSERT_TRUE(idle());
    EXPECT_TRUE(session.Connected());
    EXPECT_TRUE(server.failures().empty()) << server.failures().front();
    const Lines sent = server.received(1);
    ASSERT_GE(sent.size(), 7u);
    EXPECT_EQ(Lines(sent.begin(), sent.begin() + 2), (Lines{"USER u", "PASS p"}));
    EXPECT_NE(std::find(sent.begin(), sent.end(), "CWD /pub"), sent.end());
    EXPECT_TRUE(view.saw("activity: Reconnecting to 127.0.0.1:" + std::to_string(server.port()) + "\u2026"));
    EXPECT_EQ(view.events().back(), "activity: ");
    EXPECT_EQ(view.events()[view.events().size() - 2], "listed: 1 mark none");
}

// A reload that fails ends the connection with a box. Where the server refused the
// listing, that is the end; where the connection broke under it (the server gone), the
// session is lost as when idle and the next Refresh logs in again.
TEST_F(RemoteSessionTest, AReloadBrokenByTheServerReconnectsARefusedOneDoesNot) {
    struct Case {
        const char* what;
        std::function<void(FtpScript&)> end;
        bool resumable;
    };
    const std::vector<Case> cases = {
        {"550 at LIST", [](FtpScript& script) { script.closeData().reply("550 Permission denied").on("TYPE I", "200 ok"); }, false},
        {"closed at LIST", [](FtpScript& script) { script.closeData().close(); }, true},
        {"reset at LIST", [](FtpScript& script) { script.resetData().reset(); }, true},
    };
    for (const Case& row : cases) {
        SCOPED_TRACE(row.what);
        RecordingView rowView{gui};
        TIdFTP rowClient;
        TRemoteSession rowSession{rowClient, tls, rowView, gui};
        FtpScript first = loggedIn();
        listRoot(first)
            .on("PWD", "257 \"/\"")
            .on("TYPE A", "200 ok")
            .passive("PASV", "227 Entering Passive Mode (127,0,0,1,{p1},{p2})")
            .acceptData()
            .expect("LIST");
        row.end(first);
        FtpScript second = loggedIn();
        second.on("CWD /", "250 ok");
        listRoot(second);
        ScriptedFtpServer server(std::vector<FtpScript>{first, second});
        ASSERT_TRUE(give([&] { return rowSession.Connect(settingsFor(server.port())); }));
        ASSERT_TRUE(waitFor([&] { return !rowSession.Busy(); }));
        ASSERT_TRUE(rowSession.Connected());
        ASSERT_TRUE(give([&] { return rowSession.Refresh(true); }));
        ASSERT_TRUE(waitFor([&] { return !rowSession.Busy(); }));
        EXPECT_FALSE(rowSession.Connected());
        const std::vector<std::string> events = rowView.events();
        EXPECT_TRUE(std::any_of(events.begin(), events.end(),
                                [](const std::string& event) { return event.rfind("error: ", 0) == 0; }));
        EXPECT_EQ(rowSession.Usable(), row.resumable);
        if (row.resumable) {
            ASSERT_TRUE(give([&] { return rowSession.Refresh(true); }));
            ASSERT_TRUE(waitFor([&] { return !rowSession.Busy(); }));
            EXPECT_TRUE(rowSession.Connected());
            EXPECT_EQ(server.connectionCount(), 2u);
        }
        rowSession.Close();
    }
}

// An idle session says NOOP every KeepAliveMs, and nothing else.
TEST_F(RemoteSessionTest, AnIdleSessionKeepsItselfAlive) {
    FtpScript script = loggedIn();
    listRoot(script).on("NOOP", "200 ok").on("NOOP", "200 ok");
    ScriptedFtpServer server(script);
    session.KeepAliveMs = 300;
    session.WatchMs = 50;
    ASSERT_TRUE(give([&] { return session.Connect(settingsFor(server.port())); }));
    ASSERT_TRUE(idle());
    ASSERT_TRUE(waitFor([&] {
        const Lines sent = server.received();
        return std::count(sent.begin(), sent.end(), "NOOP") >= 2;
    }));
    EXPECT_TRUE(session.Connected());
    EXPECT_FALSE(session.Busy()) << "a NOOP is not the user's command";
    EXPECT_TRUE(server.failures().empty()) << server.failures().front();
}

// vsftpd ends sessions idle for idle_session_timeout (421 Timeout): one that sends its
// NOOPs stays usable past it, one that does not is shown lost.
TEST_F(RemoteSessionTest, NoopKeepsAVsftpdSessionPastItsIdleTimeout) {
    if (const std::string reason = VsftpdServer::unavailableReason(); !reason.empty()) {
        GTEST_SKIP() << reason;
    }
    VsftpdServer server(TestCertificate::Trusted, "idle_session_timeout=2\n");
    SessionSettings settings = settingsFor(server.port());
    settings.user = server.user();
    settings.password = server.password();
    settings.tls = SessionSettings::Tls::Explicit;
    for (const bool keepAlive : {true, false}) {
        SCOPED_TRACE(keepAlive ? "with NOOP" : "without");
        TIdSSLIOHandlerSocketOpenSSL otherTls;
        TIdFTP other;
        RecordingView otherView{gui};
        TRemoteSession idler(other, otherTls, otherView, gui);
        idler.KeepAliveMs = keepAlive ? 700 : 600000;
        idler.WatchMs = 50;
        ASSERT_TRUE(give([&] { return idler.Connect(settings); }));
        ASSERT_TRUE(waitFor([&] { return !idler.Busy(); }, 10000));
        ASSERT_TRUE(idler.Connected()) << otherView.events().back();
        std::this_thread::sleep_for(std::chrono::milliseconds(4500));
        EXPECT_EQ(idler.Connected(), keepAlive);
        EXPECT_EQ(otherView.saw("lost"), !keepAlive);
        if (keepAlive) {
            ASSERT_TRUE(give([&] { return idler.Refresh(true); }));
            ASSERT_TRUE(waitFor([&] { return !idler.Busy(); }, 10000));
            EXPECT_TRUE(idler.Connected());
            EXPECT_EQ(otherView.events()[otherView.events().size() - 2], "listed: 0 mark none");
        } else {
            const std::vector<std::string> events = otherView.events();
            EXPECT_EQ(events.back().rfind("status: Disconnected: ", 0), 0u) << ::testing::PrintToString(events);
        }
    }
}

// Hostile or broken answers to the session's own commands: a box, the window goes on.
TEST_F(RemoteSessionTest, AHugePwdReplyEndsTheSessionWithABox) {
    // Past the reply cap of 100,000 lines.
    std::string huge = "257-\"/\"\r\n";
    for (int i = 0; i < 100000; ++i) {
        huge += " x\r\n";
    }
    huge += "257 \"/\"";
    FtpScript script = loggedIn();
    script.on("PWD", huge);
    ScriptedFtpServer server(script);
    ASSERT_TRUE(give([&] { return session.Connect(settingsFor(server.port())); }));
    ASSERT_TRUE(idle());
    bool box = false;
    for (const std::string& event : view.events()) {
        box = box || event.rfind("error: ", 0) == 0;
    }
    EXPECT_TRUE(box);
    EXPECT_FALSE(session.Connected());
}

// A worker asks for the snapshot while the user's command runs: it waits its turn on
// the session's thread; once the session is closed it gets none at once.
TEST_F(RemoteSessionTest, SnapshotsWaitTheirTurnAndEndWithTheSession) {
    FtpScript script = loggedIn();
    listRoot(script, "/pub").on("PWD", "257 \"/pub\"");
    ScriptedFtpServer server(script);
    ASSERT_TRUE(give([&] { return session.Connect(settingsFor(server.port())); }));
    const std::optional<CloneSnapshot> snapshot = session.Snapshot();
    ASSERT_TRUE(snapshot.has_value());
    EXPECT_EQ(snapshot->folder, "/pub");
    EXPECT_EQ(snapshot->port, server.port());
    EXPECT_TRUE(server.failures().empty()) << server.failures().front();
    session.Close();
    EXPECT_FALSE(session.Snapshot().has_value());
}

}  // namespace
}  // namespace harbrook::testing
