#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/TlsCertificate.h"

namespace harbrook::testing {

// What a scripted server does on one connection, step by step.
class FtpScript {
public:
    enum class StepKind {
        Send,
        Pause,
        Expect,
        ExpectPrefix,
        Close,
        Reset,
        Hang,
        SendForever,
        Passive,
        ActiveTarget,
        AcceptData,
        ConnectData,
        SendData,
        ReceiveData,
        CloseData,
        ResetData,
        StartTls,
        EndTls,
        StartDataTls,
    };
    struct Step {
        StepKind kind;
        std::string bytes;
        int pauseMs = 0;
        std::string reply;
    };

    // Writes the bytes exactly as given, in one write.
    FtpScript& send(std::string bytes);
    // Writes the line followed by CR LF.
    FtpScript& reply(const std::string& line);
    // Writes each piece with its own write, pausing between them.
    FtpScript& sendInPieces(const std::vector<std::string>& pieces, int pauseMs = 20);
    // Writes one byte at a time.
    FtpScript& sendByteByByte(const std::string& bytes, int pauseMs = 1);
    FtpScript& pause(int ms);
    // Waits for the next line from the client (without CR LF) and checks it.
    FtpScript& expect(std::string line);
    FtpScript& expectPrefix(std::string prefix);
    // Shorthand: expect(line) then reply(answer).
    FtpScript& on(std::string line, const std::string& answer);
    // Ends the server's sending side gracefully; what the client sends is still recorded.
    FtpScript& close();
    // Closes abruptly (a TCP reset).
    FtpScript& reset();
    // Never answers again; records whatever the client sends until it goes away.
    FtpScript& hang();
    // Sends the pattern over and over until the client goes away.
    FtpScript& sendForever(std::string pattern);

    // Switches the control connection to TLS (server side, a self-signed certificate);
    // from here on lines are read and written through TLS.
    FtpScript& startTls(TestCertificate certificate = TestCertificate::Trusted);
    // Leaves TLS on a live connection (after CCC): close_notify both ways, then plain.
    FtpScript& endTls();

    // Data connections. Expects `command` (PASV, EPSV...), opens a data listener on
    // 127.0.0.1 and answers `replyTemplate` with {p1},{p2} (the port as PASV numbers)
    // and {port} filled in.
    FtpScript& passive(std::string command, std::string replyTemplate);
    // Expects a PORT or EPRT command, notes where the client listens and answers.
    FtpScript& activeTarget(std::string commandPrefix, const std::string& answer);
    // Accepts the client's data connection (passive).
    FtpScript& acceptData();
    // Connects to where the client listens (active).
    FtpScript& connectData();
    FtpScript& sendData(std::string bytes);
    // Reads the data connection until the client closes it; see receivedData().
    FtpScript& receiveData();
    // TLS (server side) on the data connection, presenting `certificate`; sendData then
    // goes through it.
    FtpScript& startDataTls(TestCertificate certificate = TestCertificate::Trusted);
    FtpScript& closeData();
    FtpScript& resetData();

    const std::vector<Step>& steps() const { return m_steps; }

private:
    FtpScript& add(StepKind kind, std::string bytes = {}, int pauseMs = 0, std::string reply = {});

    std::vector<Step> m_steps;
};

// A fake FTP server on 127.0.0.1 and a free port, inside the test process. Each
// accepted connection plays a script (the n-th connection the n-th script; later ones
// the last) and records every line the client sends, so a test can assert the exact
// exchange. Once a script has run out, the connection answers from the default replies
// (by command verb; "QUIT" answers "221 Goodbye." and closes) and records the rest.
class ScriptedFtpServer {
public:
    explicit ScriptedFtpServer(FtpScript script);
    explicit ScriptedFtpServer(std::vector<FtpScript> scripts);
    ~ScriptedFtpServer();
    ScriptedFtpServer(const ScriptedFtpServer&) = delete;
    ScriptedFtpServer& operator=(const ScriptedFtpServer&) = delete;

    std::string host() const { return "127.0.0.1"; }
    std::uint16_t port() const { return m_port; }

    // The reply (without CR LF) to a command verb once a script has run out.
    void setDefaultReply(const std::string& verb, const std::string& line);

    // The lines the client sent on a connection, in order, without CR LF.
    std::vector<std::string> received(std::size_t connection = 0) const;
    // The bytes the client sent over data connections of a control connection.
    std::string receivedData(std::size_t connection = 0) const;
    // What went against the script ("expected USER x, got PASS y").
    std::vector<std::string> failures() const;
    std::size_t connectionCount() const;
    // Waits until at least `connections` connections were accepted and every accepted
    // one has finished (script played, client gone). False on time-out.
    bool waitUntilFinished(int ms = 5000, std::size_t connections = 1);

    void stop();

private:
    struct Connection {
        std::vector<std::string> lines;
        std::string data;
        bool finished = false;
    };
    class Session;

    void acceptLoop();
    void serve(int fd, std::size_t index);
    void record(std::size_t index, const std::string& line);
    void recordData(std::size_t index, const char* bytes, std::size_t count);
    void fail(const std::string& what);
    std::string defaultReply(const std::string& line) const;

    std::vector<FtpScript> m_scripts;
    std::map<std::string, std::string> m_defaults;
    int m_listenFd = -1;
    std::uint16_t m_port = 0;
    std::atomic<bool> m_stopping{false};
    std::thread m_acceptThread;
    std::vector<std::thread> m_connectionThreads;

    mutable std::mutex m_mutex;
    std::condition_variable m_changed;
    std::vector<Connection> m_connections;
    std::vector<std::string> m_failures;
};

}  // namespace harbrook::testing
